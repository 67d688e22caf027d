#pragma once
// Chart2, the flood's hydrograph: the inflow as stairs (each computed value
// is the mean over its step, so it holds from the previous record's time to
// its own), the outflow as a line through the records, both in m^3/s on the
// left axis, and the level as a line on the right axis in m; time runs along
// the bottom axis as dates and times. A corrected inflow, when one was made,
// is drawn as stairs of its own beside the computed one. The window shows it on its page, the
// batch mode draws it as a picture: both set it up here.

#include "InflowTypes.h"

#include <cstddef>
#include <span>

class TChart;
class TLineSeries;

// The page chart's place and size in the window's layout (pixels at 120 ppi).
inline constexpr int kChart2Left = 0, kChart2Top = 3, kChart2Width = 720, kChart2Height = 290;

class THydrographChart {
public:
    // Gives the chart its layout and its three series (the chart owns them).
    explicit THydrographChart(TChart& chart);

    TChart& Chart() { return FChart; }
    TLineSeries& Inflow() { return *FInflow; }
    TLineSeries& Outflow() { return *FOutflow; }
    TLineSeries& Level() { return *FLevel; }
    TLineSeries& CorrectedInflow() { return *FCorrected; }

    // The records as the tables show them: every record's outflow and level,
    // and the inflow of the first `computed` records (none before a
    // computation). The inflow of record i (i >= 1) is drawn from T[i-1] to
    // T[i]; the first record has none of its own, so the stairs begin at its
    // time with the second record's value. The left axis keeps 0 in view
    // whenever an inflow is negative. The corrected inflow, when given, is
    // indexed as FloodRun.h says and drawn like the inflow; without it the
    // corrected series is inactive and out of the legend.
    void Show(std::span<const TFloodStep> steps, std::size_t computed, std::span<const double> corrected = {});

    // Zooming and scrolling move in time only (a rectangle's width, a right
    // drag, the wheel: 3 % of the shown time a notch, later toward the
    // user); the flow and level axes then fit what is in view, with 5 % room
    // above and below. The whole record (unzoomed) keeps the axes' own ranges.
    void FitVerticalToView();
    void ShiftTime(int notches);

    // Marks the peak inflow and the peak outflow on the chart with their
    // values (with at most `decimals` decimals); off by default, so that the
    // batch mode's picture is as it always was.
    void SetMarkPeaks(bool on, int decimals = 1);
    // The peak of a series: its largest value, the first of equal ones (the
    // stairs' first point, which repeats the second's value, left out); -1
    // for none.
    int PeakIndex(const TLineSeries& s) const;

private:
    void DrawPeaks();

    TChart& FChart;
    bool FMarkPeaks = false;
    int FPeakDecimals = 1;
    TLineSeries* FInflow;
    TLineSeries* FOutflow;
    TLineSeries* FLevel;
    TLineSeries* FCorrected;
};
