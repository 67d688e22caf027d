// Drawing an axis: its title, the labels of its ticks, the axis line, the
// ticks, the grid lines across the chart rectangle and the minor ticks. The
// ticks are those of TicksAt at the axis' scale, kept in DrawnTicks.

#include "ChartEngineAxis.h"

#include "AxisPanel.h"
#include "AxisText.h"

#include <algorithm>

#include "FloatRules.h"

namespace {

using real = long double;

int Nearest(real x) { return static_cast<int>(RoundHalfEven(x)); }

}  // namespace

void TChartAxis::DrawAxis() {
    if (!FChart) return;
    TChartCanvas& c = FChart->Canvas();
    const TRect& r = FChart->PlotRect();
    int edge;
    if (Horizontal())
        edge = FOtherSide ? r.Top : r.Bottom;
    else
        edge = FOtherSide ? r.Right : r.Left;
    AxisLinePos = ApplyPositionPercent(edge, r);

    DrawAxisTitle();
    DrawnTicks.clear();
    const TAxisLabelStyle style = ResolveLabelStyle();
    if (style != talNone) {
        c.SelectChartFont(FLabelsFont);
        DrawnTicks = TicksAt(FScale, FLabels ? TTickTexts::Hooked : TTickTexts::None, style);
        // Without labels the ticks stand only where they need none.
        if (!FLabels && FTickOnLabelsOnly) DrawnTicks.clear();
        if (FLabels) DrawLabels();
    }

    c.ClearBrush();
    c.SetBackgroundMode(bmTransparent);
    DrawAxisLine();
    DrawTicks(FTicks, 1, FTickLength);
    DrawGridLines();
    DrawTicks(FTicksInner, -1, -FTickInnerLength);
    DrawMinorTicks(FMinorTicks, false);
    DrawMinorTicks(FMinorGrid, true);
    c.SetBackgroundMode(bmOpaque);
}

void TChartAxis::DrawLabels() {
    if (DrawnTicks.empty()) return;
    TChartCanvas& c = FChart->Canvas();
    // Aligned to the band's far side: the band is measured once for all.
    const bool opposite = !Horizontal() && FLabelsAlign == alOpposite && FLabelsAngle == 0;
    const int band = opposite ? LabelsBandSize() : 0;
    for (const TAxisTick& t : DrawnTicks) {
        // Selecting the font again costs a font and its metrics per label.
        if (c.RememberedFont() != &FLabelsFont) c.SelectChartFont(FLabelsFont);
        c.ClearBrush();
        // Text over a clear brush leaves the background showing.
        c.SetBackgroundMode(bmTransparent);
        if (Horizontal())
            PlaceAxisText(t.Pixel, LabelsEdgePos, t.Text, FLabelsAngle, true, band);
        else
            PlaceAxisText(LabelsEdgePos, t.Pixel, t.Text, FLabelsAngle, true, band);
    }
}

void TChartAxis::PlaceAxisText(int x, int y, const std::string& text, int angle, bool labelBox, int oppositeShift) {
    TChartCanvas& c = FChart->Canvas();
    const int h = c.CharHeight();
    const int n = LineCount(text);
    const TAxisSide side = Horizontal() ? (FOtherSide ? sideTop : sideBottom) : (FOtherSide ? sideRight : sideLeft);
    TTextPlacement t = PlacementFor(side, angle, h, n);
    if (labelBox && !Horizontal() && FLabelsAlign == alOpposite && angle == 0) {
        // Aligned to the band's far side, toward the chart rectangle.
        if (FOtherSide) {
            t.Align = TA_RIGHT | TA_TOP;
            x += oppositeShift;
        } else {
            t.Align = TA_LEFT | TA_TOP;
            x -= oppositeShift;
        }
    }
    x += t.PreX;
    y += t.PreY;

    if (labelBox && !FItems.Format().Transparent() && n > 0) {
        // The box around every line, widened along the text by half a "W".
        const int pad = c.MeasureWidth("W") / 2;
        const int quarter = angle % 90 == 0 ? angle : 0;
        TRect box{0, 0, 0, 0};
        int lx = x, ly = y;
        bool first = true;
        ForEachLine(text, [&](std::string_view line) {
            lx += t.StepX;
            ly += t.StepY;
            const TRect b = LineBox(lx, ly, c.MeasureWidth(line) + 2 * pad, h, t.Align, quarter);
            box = first ? b : TRect{std::min(box.Left, b.Left), std::min(box.Top, b.Top), std::max(box.Right, b.Right), std::max(box.Bottom, b.Bottom)};
            first = false;
        });
        const TAxisLabelFormat& f = FItems.Format();
        c.SelectChartPen(f.Pen());
        c.SelectBrush(f.Color(), bsSolid);
        c.RectangleOutline(box);
        c.ClearBrush();
    }

    c.SetTextAlignment(t.Align);
    if (n > 0)
        ForEachLine(text, [&](std::string_view line) {
            x += t.StepX;
            y += t.StepY;
            if (angle == 0)
                c.WriteText(x, y, line);
            else
                c.WriteRotatedText(x, y, angle, line);
        });
    c.SetTextAlignment(TA_LEFT | TA_TOP);
}

void TChartAxis::DrawAxisTitle() {
    if (!FTitle.Visible() || FTitle.Caption().empty()) return;
    TChartCanvas& c = FChart->Canvas();
    c.SelectChartFont(FTitle.Font());
    c.SetBackgroundMode(bmTransparent);
    if (Horizontal())
        PlaceAxisText(FScale.PixelCentre, TitleEdgePos, FTitle.Caption(), FTitle.Angle());
    else
        PlaceAxisText(TitleEdgePos, FScale.PixelCentre, FTitle.Caption(), FTitle.Angle());
}

void TChartAxis::DrawAxisLine() {
    if (!FAxisPen.Visible()) return;
    TChartCanvas& c = FChart->Canvas();
    const int start = FScale.PixelStart, end = FScale.PixelEnd;
    if (FAxisPen.LineMode() != lmLine) {
        // A band as wide as the pen, centred on the axis line.
        const int w = std::max(FAxisPen.Width(), 1), from = AxisLinePos - w / 2;
        c.SelectBrush(FAxisPen.Color(), bsSolid);
        c.FillRectangle(Horizontal() ? TRect{start, from, end, from + w} : TRect{from, start, from + w, end});
        c.ClearBrush();
        return;
    }
    c.SelectChartPen(FAxisPen);
    if (Horizontal())
        c.HorizontalLine(start, end, AxisLinePos);
    else
        c.VerticalLine(AxisLinePos, start, end);
}

void TChartAxis::TickAt(int t, int offset, int length) {
    TChartCanvas& c = FChart->Canvas();
    // Outward is +y below the chart and +x right of it.
    const int dir = (Horizontal() != FOtherSide) ? 1 : -1;
    const int from = AxisLinePos + dir * offset, to = from + dir * length;
    if (Horizontal())
        c.VerticalLine(t, from, to);
    else
        c.HorizontalLine(from, to, t);
}

void TChartAxis::DrawTicks(const TChartPen& pen, int offset, int length) {
    if (!pen.Visible() || DrawnTicks.empty()) return;
    FChart->Canvas().SelectChartPen(pen);
    for (const TAxisTick& t : DrawnTicks) TickAt(t.Pixel, offset, length);
}

void TChartAxis::GridLineAt(int t) {
    // The ends of the axis lie on the frame: no grid line over it.
    if (!(FScale.PixelStart < t && t < FScale.PixelEnd)) return;
    TChartCanvas& c = FChart->Canvas();
    const TRect& r = FChart->PlotRect();
    if (Horizontal())
        c.VerticalLine(t, r.Top + 1, r.Bottom);
    else
        c.HorizontalLine(r.Left + 1, r.Right, t);
}

void TChartAxis::DrawGridLines() {
    if (!FGrid.Visible() || DrawnTicks.empty()) return;
    FChart->Canvas().SelectChartPen(FGrid, FGrid.Color() == clDefault ? clChartGray : FGrid.Color());
    const int every = std::max(FGrid.DrawEvery(), 1);  // 0 or less: every line
    const int count = static_cast<int>(DrawnTicks.size());
    auto at = [this](int i) { return DrawnTicks[static_cast<std::size_t>(i)].Pixel; };
    if (!FGrid.Centered()) {
        for (int i = 0; i < count; i += every) GridLineAt(at(i));
        return;
    }
    for (int i = every; i < count; i += every) GridLineAt(Nearest((static_cast<real>(at(i)) + at(i - 1)) * 0.5L));
}

void TChartAxis::DrawMinorTicks(const TChartPen& pen, bool grid) {
    const int m = FMinorTickCount;
    if (DrawnTicks.empty() || !pen.Visible() || m < 1) return;
    FChart->Canvas().SelectChartPen(pen);
    auto mark = [&](int q) {
        if (!(FScale.PixelStart < q && q < FScale.PixelEnd)) return;
        if (grid)
            GridLineAt(q);
        else
            TickAt(q, 1, FMinorTickLength);
    };
    const std::size_t count = DrawnTicks.size();
    auto at = [this](std::size_t i) { return DrawnTicks[i].Pixel; };
    if (count >= 2) {
        // The spacing of the first two labels continues beyond both ends.
        const real d = static_cast<real>(at(1) - at(0)) / (m + 1);
        for (int j = 1; j <= m; ++j) {
            mark(at(0) - Nearest(j * d));
            mark(at(count - 1) + Nearest(j * d));
        }
    }
    for (std::size_t i = 1; i < count; ++i) {
        const real d = static_cast<real>(at(i) - at(i - 1)) / (m + 1);
        for (int j = 1; j <= m; ++j) mark(at(i) - Nearest(j * d));
    }
}
