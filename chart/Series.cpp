// The line series' settings.

#include "Series.h"

namespace {
const char* const PointerSizeMessage = "Pointer size must be greater than zero";
}

// ---------------------------------------------------------------------------
// TSeriesPointer

void TSeriesPointer::Changed() const {
    if (FOwner) FOwner->Repaint();
}

void TSeriesPointer::SetVisible(bool value) {
    if (FVisible == value) return;
    FVisible = value;
    Changed();
}

void TSeriesPointer::SetStyle(TSeriesPointerStyle value) {
    if (FStyle == value) return;
    FStyle = value;
    Changed();
}

void TSeriesPointer::SetHorizSize(int value) {
    if (value <= 0) throw ChartException(PointerSizeMessage);
    if (FHorizSize == value) return;
    FHorizSize = value;
    Changed();
}

void TSeriesPointer::SetVertSize(int value) {
    if (value <= 0) throw ChartException(PointerSizeMessage);
    if (FVertSize == value) return;
    FVertSize = value;
    Changed();
}

void TSeriesPointer::SetInflateMargins(bool value) {
    if (FInflateMargins == value) return;
    FInflateMargins = value;
    Changed();
}

// ---------------------------------------------------------------------------
// TCustomSeries, TLineSeries

TCustomSeries::TCustomSeries() : FPointer(this) {}

void TCustomSeries::SetStairs(bool value) {
    if (FStairs == value) return;
    FStairs = value;
    Repaint();
}

void TCustomSeries::SetInvertedStairs(bool value) {
    if (FInvertedStairs == value) return;
    FInvertedStairs = value;
    Repaint();
}

void TCustomSeries::SetColorEachLine(bool value) {
    if (FColorEachLine == value) return;
    FColorEachLine = value;
    Repaint();
}

TLineSeries::TLineSeries() {
    FDrawsLine = true;
    FDrawsArea = false;
    // A line series shows the line, not markers, unless asked to.
    Pointer().SetVisible(false);
}
