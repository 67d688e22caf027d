#pragma once
// Where an axis writes a text of one or more lines beside itself: the
// alignment and the shifts of its anchor, for each side and angle, and the box
// a line covers on the screen. Lines are separated by carriage returns
// (code 13).

#include <string_view>

#include "ChartCanvas.h"

// The number of lines of a text: none in an empty text.
int LineCount(std::string_view text);

// Calls each(line) for every line of a text in order, an empty text being
// one empty line.
template <class Each>
void ForEachLine(std::string_view text, Each&& each) {
    std::size_t start = 0;
    while (true) {
        const std::size_t cr = text.find('\r', start);
        each(text.substr(start, cr == std::string_view::npos ? std::string_view::npos : cr - start));
        if (cr == std::string_view::npos) return;
        start = cr + 1;
    }
}

// Where the lines of an axis text go: the alignment they are written with,
// the shift of the anchor before the first line, and the step before each line.
struct TTextPlacement {
    int Align = TA_LEFT | TA_TOP;
    int PreX = 0, PreY = 0, StepX = 0, StepY = 0;
};

enum TAxisSide { sideBottom, sideTop, sideLeft, sideRight };

// The placement of n lines of height h on that side at that angle. Angles 0
// and 90 are the ones the chart uses; 180 and 270 mirror them, so that the
// text still stands outside the anchor, centred on it.
TTextPlacement PlacementFor(TAxisSide side, int angle, int h, int n);

// The screen box of one line of width w written at (x, y) with the alignment
// and angle (a multiple of 90 degrees).
TRect LineBox(int x, int y, int w, int h, int align, int angle);
