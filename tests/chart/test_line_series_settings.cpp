// The line series' settings and what the axes and the paint learn from them:
// the room it asks at the axis ends, the pointer size rule, copying settings,
// and the shown range of a long curve under a zoom.

#include "test_line_series_fixture.h"

#include <cmath>
#include <limits>
#include <vector>

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

namespace {

// One dense noisy series drawn both ways; the pictures must be equal and
// hold a line.
struct RunCase {
    const char* name;
    int kind = 0;             // 0 line, 1 stairs, 2 inverted stairs
    int perX = 1;             // points sharing one X (the inflow's stairs)
    bool noNumbers = false;   // some Y that are no number
    bool nulls = false;       // some points with no colour
    bool invertX = false, invertY = false;
    double x0 = 0, dx = 1;    // X of point i: x0 + (i / perX) * dx
    double yScale = 100;
    bool zoom = false;        // to a range that starts and ends inside columns
    bool shuffled = false;    // X in no order
    bool brokenOrder = false; // ascending by Order, one value set out of it
};

::testing::AssertionResult SameBothWays(const RunCase& rc) {
    struct Restore {
        ~Restore() { TCustomSeries::ColumnRuns = true; }
    } restore;
    LineChart c;
    c.series->SetStairs(rc.kind > 0);
    c.series->SetInvertedStairs(rc.kind == 2);
    if (rc.shuffled) c.series->XValues()->Order = loNone;
    constexpr int n = 40000;
    std::vector<int> order(n);
    for (int i = 0; i < n; ++i) order[static_cast<std::size_t>(i)] = i;
    unsigned seed = 99;
    if (rc.shuffled)
        for (int i = n - 1; i > 0; --i) {
            seed = seed * 1103515245u + 12345u;
            std::swap(order[static_cast<std::size_t>(i)], order[(seed >> 8) % static_cast<unsigned>(i + 1)]);
        }
    c.series->BeginDataUpdate();
    for (int k = 0; k < n; ++k) {
        const int i = order[static_cast<std::size_t>(k)];
        seed = seed * 1103515245u + 12345u;
        const double noise = static_cast<double>(seed >> 16 & 1023) / 1023.0;
        double y = (std::sin(i / 3000.0) + noise * 0.4 * (1 + (i / 5000) % 3)) * rc.yScale;
        if (rc.noNumbers && i % 997 == 5) y = std::numeric_limits<double>::quiet_NaN();
        const TColor color = rc.nulls && i % 1499 == 7 ? clNone : clDefault;
        c.series->AddPoint(rc.x0 + (i / rc.perX) * rc.dx, y, {}, color);
    }
    c.series->EndDataUpdate();
    if (rc.brokenOrder) c.series->XValues()->SetValue(n / 2, rc.x0 + (n / rc.perX) * rc.dx * 0.9);
    c.chart.BottomAxis().SetInverted(rc.invertX);
    c.chart.LeftAxis().SetInverted(rc.invertY);
    if (rc.zoom) {
        const double span = (n / rc.perX) * rc.dx;
        c.chart.BottomAxis().SetMinMaxUnchecked(rc.x0 + span * 0.3137, rc.x0 + span * 0.7071);
        c.chart.BottomAxis().SetAutomatic(false);
    }
    TCustomSeries::ColumnRuns = false;
    const QImage pointByPoint = c.Render().copy();
    TCustomSeries::ColumnRuns = true;
    const QImage byColumn = c.Render().copy();
    const int ink = CountInk(pointByPoint, clRed);
    if (ink < c.chart.PlotWidth()) return ::testing::AssertionFailure() << rc.name << ": hardly a line (" << ink << " pixels)";
    if (byColumn != pointByPoint) {
        int differ = 0;
        for (int y = 0; y < byColumn.height(); ++y)
            for (int x = 0; x < byColumn.width(); ++x) differ += byColumn.pixel(x, y) != pointByPoint.pixel(x, y);
        return ::testing::AssertionFailure() << rc.name << ": " << differ << " pixels differ";
    }
    return ::testing::AssertionSuccess();
}

} // namespace

// Rising X find a column's points by bisection and its rows from the lowest
// and highest value; other X go point by point. Every road draws what the
// point-by-point drawing draws.
TEST(LineColumnRuns, EveryRoadDrawsThePointByPointPixels) {
    std::vector<RunCase> cases;
    for (int kind = 0; kind < 3; ++kind) {
        RunCase r;
        r.kind = kind;
        r.name = "two points per X";
        r.perX = 2;
        cases.push_back(r);
        r.name = "two points per X, zoomed, both axes inverted";
        r.zoom = r.invertX = r.invertY = true;
        cases.push_back(r);
    }
    RunCase r;
    r.name = "values that are no number";
    r.noNumbers = true;
    cases.push_back(r);
    r.zoom = true;
    r.name = "values that are no number, zoomed";
    cases.push_back(r);
    r = {};
    r.name = "points with no colour";
    r.nulls = true;
    r.zoom = true;
    cases.push_back(r);
    r = {};
    r.name = "inverted horizontal axis, zoomed";
    r.invertX = true;
    r.zoom = true;
    cases.push_back(r);
    r = {};
    r.name = "few doubles per column, huge values";
    r.x0 = 1e15;
    r.dx = 1.0 / 16;
    r.yScale = 1e300;
    r.zoom = true;
    cases.push_back(r);
    r = {};
    r.name = "dates of an hourly record";
    r.x0 = 45000;
    r.dx = 1.0 / 24;
    r.perX = 2;
    r.kind = 2;
    cases.push_back(r);
    r = {};
    r.name = "X in no order";
    r.shuffled = true;
    cases.push_back(r);
    r = {};
    r.name = "an ascending list with one value set out of order";
    r.brokenOrder = true;
    cases.push_back(r);
    for (const RunCase& rc : cases) EXPECT_TRUE(SameBothWays(rc));
}
