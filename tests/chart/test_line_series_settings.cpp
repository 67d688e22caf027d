// The line series' settings and what the axes and the paint learn from them:
// the room it asks at the axis ends, the pointer size rule, copying settings,
// and the shown range of a long curve under a zoom.

#include "test_line_series_fixture.h"

#include <cmath>

namespace {
std::vector<int> Margins(TLineSeries& s) {
    int left = -1, right = -1, top = -1, bottom = -1;
    s.HorizMargins(left, right);
    s.VertMargins(top, bottom);
    return {left, right, top, bottom};
}
} // namespace

TEST(LineMargins, PointerStairsAndOutlineEachRaiseTheRoomAsked) {
    TLineSeries s;
    EXPECT_EQ(Margins(s), (std::vector<int>{0, 0, 0, 0}));
    s.Pointer().SetVisible(true);
    s.Pointer().SetVertSize(6);
    EXPECT_EQ(Margins(s), (std::vector<int>{5, 5, 7, 7}));
    s.Pointer().SetInflateMargins(false);
    EXPECT_EQ(Margins(s), (std::vector<int>{0, 0, 0, 0}));
    // Hidden, the pointer asks nothing whatever InflateMargins says.
    s.Pointer().SetInflateMargins(true);
    s.Pointer().SetVisible(false);
    EXPECT_EQ(Margins(s), (std::vector<int>{0, 0, 0, 0}));

    s.SetStairs(true);
    s.LinePen().SetWidth(3);
    EXPECT_EQ(Margins(s), (std::vector<int>{3, 3, 3, 3}));
    // Each side takes the largest amount asked.
    s.Pointer().SetVisible(true);
    s.Pointer().SetHorizSize(8);
    s.OutLine().SetVisible(true);
    s.OutLine().SetWidth(7);
    EXPECT_EQ(Margins(s), (std::vector<int>{9, 9, 7, 7}));
}

TEST(LineMargins, TheAxesKeepTheAskedPixelsFreeAtTheirEnds) {
    LineChart c;
    c.Add({{0, 0}, {10, 100}});
    c.series->Pointer().SetVisible(true);
    c.Render();
    const TRect plot = c.chart.PlotRect();
    EXPECT_EQ(c.Pixel(0), QPoint(plot.Left + 5, plot.Bottom - 5));
    EXPECT_EQ(c.Pixel(1), QPoint(plot.Right - 5, plot.Top + 5));
}

TEST(LinePointer, SizesMustBePositiveAndARefusedSizeChangesNothing) {
    LineChart c;
    c.Render();
    const int invalidations = c.host->invalidations;
    for (int bad : {0, -1}) {
        try {
            c.series->Pointer().SetVertSize(bad);
            ADD_FAILURE() << "no error for " << bad;
        } catch (const ChartException& e) {
            EXPECT_STREQ(e.what(), "Pointer size must be greater than zero");
        }
        EXPECT_THROW(c.series->Pointer().SetHorizSize(bad), ChartException);
    }
    EXPECT_EQ(c.series->Pointer().VertSize(), 4);
    EXPECT_EQ(c.series->Pointer().HorizSize(), 4);
    EXPECT_EQ(c.host->invalidations, invalidations);
    c.series->Pointer().SetHorizSize(1);
    EXPECT_EQ(c.series->Pointer().HorizSize(), 1);
    EXPECT_GT(c.host->invalidations, invalidations);
}

namespace {
// A series that shows markers only.
class MarkerSeries : public TCustomSeries {
  public:
    MarkerSeries() { FDrawsLine = false; }
};
} // namespace

TEST(LineSettings, ALineSeriesCopiesSettingsButStaysALine) {
    MarkerSeries markers;
    markers.SetStairs(true);
    markers.Pointer().SetHorizSize(7);
    markers.LinePen().SetWidth(2);
    TLineSeries line;
    line.Assign(markers);
    EXPECT_TRUE(line.DrawsLine());
    EXPECT_TRUE(line.Stairs());
    EXPECT_TRUE(line.Pointer().Visible());
    EXPECT_EQ(line.Pointer().HorizSize(), 7);
    EXPECT_EQ(line.LinePen().Width(), 2);
    // The other way round the flags travel.
    markers.Assign(TLineSeries());
    EXPECT_TRUE(markers.DrawsLine());
    EXPECT_FALSE(markers.Pointer().Visible());
}

TEST(LineSettings, ASeriesThatDrawsNoLineShowsOnlyItsMarkers) {
    TChart chart;
    ImageHost host(chart);
    chart.SetView3D(false);
    auto* s = new MarkerSeries; // the chart frees it
    s->SetParentChart(&chart);
    s->AddPoint(0, 0);
    s->AddPoint(1, 10);
    s->AddPoint(2, 5);
    chart.Refresh();
    EXPECT_EQ(CountInk(host.screen, clRed), 3 * 49);
}

TEST(LineShownRange, ALongCurveUnderAZoomIsCutToThePointsAroundTheView) {
    LineChart c;
    constexpr int n = 100000;
    c.series->BeginDataUpdate();
    for (int i = 0; i < n; ++i)
        c.series->AddPoint(i * 0.01, std::sin(i * 1e-4));
    c.series->EndDataUpdate();
    c.Render();
    EXPECT_EQ(c.series->FirstShownIndex, 0);
    EXPECT_EQ(c.series->LastShownIndex, n - 1);

    c.chart.BottomAxis().SetRange(200.005, 300.005);
    c.Render();
    // Point 20000 lies left of the view, 20001 inside; 30000 inside, 30001 beyond.
    EXPECT_EQ(c.series->FirstShownIndex, 20001);
    EXPECT_EQ(c.series->LastShownIndex, 30001);

    // A view ending exactly on a point keeps that point as the last.
    c.chart.BottomAxis().SetRange(950, 960);
    c.Render();
    const double hi = c.chart.BottomAxis().PixelToValue(c.chart.PlotRect().Right);
    const int last = c.series->LastShownIndex;
    EXPECT_GE(c.series->XValueAt(last), hi);
    EXPECT_LT(c.series->XValueAt(last - 1), hi);
    EXPECT_GT(CountInk(c.host->screen, clRed), c.chart.PlotWidth() / 2);

    // Past the end of the data: nothing to show.
    c.chart.BottomAxis().SetRange(2000, 3000);
    c.Render();
    EXPECT_EQ(c.series->FirstShownIndex, -1);
    EXPECT_EQ(CountInk(c.host->screen, clRed), 0);
}

// A long noisy record puts hundreds of points in each pixel column; drawn as
// one span per column the picture is exactly the point-by-point one, for
// lines and both kinds of stairs, whole and zoomed.
TEST(LineColumnRuns, DenseNoisySeriesDrawTheSamePixelsAsPointByPoint) {
    struct Restore {
        ~Restore() { TCustomSeries::ColumnRuns = true; }
    } restore;
    for (int kind = 0; kind < 3; ++kind) {
        for (bool zoom : {false, true}) {
            LineChart c;
            c.series->SetStairs(kind > 0);
            c.series->SetInvertedStairs(kind == 2);
            unsigned seed = 7u + static_cast<unsigned>(kind);
            for (int i = 0; i < 60000; ++i) {
                seed = seed * 1103515245u + 12345u;
                const double noise = static_cast<double>(seed >> 16 & 1023) / 1023.0;
                c.series->AddPoint(i, std::sin(i / 4000.0) * 100 + noise * 40 * (1 + (i / 7000) % 3));
            }
            if (zoom) {
                c.chart.BottomAxis().SetMinMaxUnchecked(21000, 29000);
                c.chart.BottomAxis().SetAutomatic(false);
            }
            TCustomSeries::ColumnRuns = false;
            const QImage pointByPoint = c.Render().copy();
            TCustomSeries::ColumnRuns = true;
            const QImage byColumn = c.Render().copy();
            EXPECT_EQ(byColumn, pointByPoint) << "kind " << kind << (zoom ? " zoomed" : " whole");
        }
    }
}
