#pragma once
// Chart2, the flood's hydrograph: the inflow as stairs (each computed value
// is the mean over its step, so it holds from the previous record's time to
// its own), the outflow as a line through the records, both in m^3/s on the
// left axis, and the level as a line on the right axis in m; time runs along
// the bottom axis as dates and times. A corrected inflow, when one was made,
// is drawn as stairs of its own beside the computed one. The window shows it on its page, the
// batch mode draws it as a picture: both set it up here.
//
// What a long record's checks found is drawn with it when given: the band of
// two standard deviations the gauge's resolution leaves around the inflow,
// the times whose level was flagged, and a reference inflow to compare with.
// Without them the chart is drawn as before, pixel for pixel.

#include "ChartColors.h"
#include "DateTime.h"
#include "InflowScreening.h"
#include "InflowTypes.h"

#include <cstddef>
#include <span>

class TChart;
class TLineSeries;

// The checks' results a hydrograph draws; each empty span draws nothing.
struct THydrographChecks {
    // One value per step, indexed as the corrected inflow: the inflow's
    // standard deviation from the gauge (m^3/s); the band is inflow +- 2 sigma.
    std::span<const double> sigma;
    // One per record: spike and repaired records are marked at their time.
    std::span<const TRecordFlag> flags;
    // A reference inflow (m^3/s) at its own times; NaN where it has none.
    std::span<const DateTimeValue> referenceTimes;
    std::span<const double> reference;
};

// The series' colours, for those who look for them in a picture.
inline constexpr TColor kBandColor = 0x00C8C8FF;       // light red: inflow +- 2 sigma
inline constexpr TColor kFlagColor = 0x000080FF;       // orange: flagged levels
inline constexpr TColor kReferenceColor = 0x00404040;  // dark grey: the reference

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
    TLineSeries& BandHigh() { return *FBandHigh; }
    TLineSeries& BandLow() { return *FBandLow; }
    TLineSeries& Flagged() { return *FFlagged; }
    TLineSeries& Reference() { return *FReference; }

    // The records as the tables show them: every record's outflow and level,
    // and the inflow of the first `computed` records (none before a
    // computation). The inflow of record i (i >= 1) is drawn from T[i-1] to
    // T[i]; the first record has none of its own, so the stairs begin at its
    // time with the second record's value. The left axis keeps 0 in view
    // whenever an inflow is negative. The corrected inflow, when given, is
    // indexed as FloodRun.h says and drawn like the inflow; without it the
    // corrected series is inactive and out of the legend.
    // The checks, when given, add their series (see THydrographChecks).
    void Show(std::span<const TFloodStep> steps, std::size_t computed, std::span<const double> corrected = {},
              const THydrographChecks& checks = {});

    // Shows the time from `from` to `to` (days as the bottom axis counts
    // them), as a zoom does: "show all" goes back to the whole record.
    void ZoomTime(double from, double to);

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
    // Behind the series: the band's fill and the flagged times' lines.
    void DrawBehindSeries();

    TChart& FChart;
    bool FMarkPeaks = false;
    int FPeakDecimals = 1;
    TLineSeries* FInflow;
    TLineSeries* FOutflow;
    TLineSeries* FLevel;
    TLineSeries* FCorrected;
    TLineSeries* FBandHigh;
    TLineSeries* FBandLow;
    TLineSeries* FFlagged;
    TLineSeries* FReference;
};
