#include "AxisText.h"

#include <algorithm>

#include "FloatRules.h"

namespace {

int Nearest(long double x) { return static_cast<int>(RoundHalfEven(x)); }

}  // namespace

int LineCount(std::string_view text) {
    return text.empty() ? 0 : 1 + static_cast<int>(std::count(text.begin(), text.end(), '\r'));
}

TTextPlacement PlacementFor(TAxisSide side, int angle, int h, int n) {
    const int half = h / 2;
    const int centred = Nearest(h * 0.5L * (n + 1));
    const int block = Nearest(static_cast<long double>(h) * n);
    TTextPlacement t;
    switch (angle) {
    case 90:
        t.StepX = h;
        switch (side) {
        case sideBottom: t.Align = TA_RIGHT | TA_TOP, t.PreX = -half - centred; break;
        case sideTop: t.Align = TA_LEFT | TA_TOP, t.PreX = -half - centred; break;
        case sideLeft: t.Align = TA_CENTER | TA_BOTTOM, t.PreX = -block; break;
        case sideRight: t.Align = TA_CENTER | TA_TOP, t.PreX = -h; break;
        }
        break;
    case 180:
        t.StepY = -h;
        switch (side) {
        case sideBottom: t.Align = TA_CENTER | TA_TOP, t.PreY = block + h; break;
        case sideTop: t.Align = TA_CENTER | TA_TOP, t.PreY = h; break;
        case sideLeft: t.Align = TA_LEFT | TA_TOP, t.PreY = half + centred; break;
        case sideRight: t.Align = TA_RIGHT | TA_TOP, t.PreY = half + centred; break;
        }
        break;
    case 270:
        t.StepX = -h;
        switch (side) {
        case sideBottom: t.Align = TA_LEFT | TA_TOP, t.PreX = half + centred; break;
        case sideTop: t.Align = TA_RIGHT | TA_TOP, t.PreX = half + centred; break;
        case sideLeft: t.Align = TA_CENTER | TA_TOP, t.PreX = h; break;
        case sideRight: t.Align = TA_CENTER | TA_TOP, t.PreX = block + h; break;
        }
        break;
    default:  // 0, and any other angle placed as if it were 0
        t.StepY = h;
        switch (side) {
        case sideBottom: t.Align = TA_CENTER | TA_TOP, t.PreY = -h; break;
        case sideTop: t.Align = TA_CENTER | TA_BOTTOM, t.PreY = -block; break;
        case sideLeft: t.Align = TA_RIGHT | TA_TOP, t.PreY = -half - centred; break;
        case sideRight: t.Align = TA_LEFT | TA_TOP, t.PreY = -half - centred; break;
        }
        break;
    }
    return t;
}

TRect LineBox(int x, int y, int w, int h, int align, int angle) {
    int l0, l1, t0, t1;  // the box in the text's own frame
    if ((align & TA_CENTER) == TA_CENTER)
        l0 = -(w / 2);
    else if (align & TA_RIGHT)
        l0 = -w;
    else
        l0 = 0;
    l1 = l0 + w;
    t0 = (align & TA_BOTTOM) ? -h : 0;
    t1 = t0 + h;
    switch (angle) {
    case 90: return {x + t0, y - l1, x + t1, y - l0};
    case 180: return {x - l1, y - t1, x - l0, y - t0};
    case 270: return {x - t1, y + l0, x - t0, y + l1};
    default: return {x + l0, y + t0, x + l1, y + t1};
    }
}
