// The hydrograph chart: its series hold exactly the records the tables show
// (after a load, a computation, a failed computation), and its picture, read
// back by pixels, has the stairs, the right axis with its labels, the date
// labels along the bottom and the legend.

#include "HydrographChart.h"

#include "ChartTestSupport.h"
#include "Chart.h"
#include "InflowTestSupport.h"
#include "InflowWork.h"
#include "Series.h"

#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <string>
#include <vector>

namespace {

const std::string kRealData = QUELMORA_REALDATA_DIR;

struct Hydrograph : ::testing::Test {
    Hydrograph() : hydro(chart) { chart.Canvas().SetPixelsPerInch(120); }
    QImage Picture() {
        chart.Refresh();
        return chart.Canvas().Bitmap().copy();
    }
    void LoadTankan() {
        work.FormCreate();
        work.ReadCurve(kRealData + "/tankan_curve.txt");
        work.ResetFloodTable();
        work.ReadFlood(kRealData + "/tankan_flood.txt");
    }
    TChart chart;
    THydrographChart hydro;
    InflowWork work;
};

int CountColour(const QImage& image, const TRect& r, QRgb rgb) {
    int n = 0;
    for (int y = std::max(r.Top, 0); y < std::min(r.Bottom, image.height()); ++y)
        for (int x = std::max(r.Left, 0); x < std::min(r.Right, image.width()); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) == (rgb & 0xFFFFFF)) ++n;
    return n;
}

constexpr QRgb kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x008000;

TEST_F(Hydrograph, SeriesHoldTheTablesRecords) {
    LoadTankan();
    const auto& steps = work.FloodSteps;
    ASSERT_EQ(steps.size(), 31u);
    hydro.Show(steps, work.ComputedRecords);
    EXPECT_EQ(hydro.Outflow().PointCount(), 31);
    EXPECT_EQ(hydro.Level().PointCount(), 31);
    EXPECT_EQ(hydro.Inflow().PointCount(), 0);
    EXPECT_FALSE(hydro.Inflow().Active());
    for (int i = 0; i < 31; ++i) {
        EXPECT_EQ(hydro.Outflow().XValueAt(i), steps[i].T);
        EXPECT_EQ(hydro.Outflow().YValueAt(i), steps[i].Qout);
        EXPECT_EQ(hydro.Level().YValueAt(i), steps[i].Z);
    }

    work.Compute();
    EXPECT_EQ(work.ComputedRecords, 31u);
    hydro.Show(steps, work.ComputedRecords);
    ASSERT_EQ(hydro.Inflow().PointCount(), 31);
    EXPECT_TRUE(hydro.Inflow().Active());
    // Stairs drawn vertical first: point i's value holds from T[i-1] to T[i];
    // the first point only starts the first step, at the first record's time.
    EXPECT_EQ(hydro.Inflow().XValueAt(0), steps[0].T);
    EXPECT_EQ(hydro.Inflow().YValueAt(0), steps[1].Qin);
    for (int i = 1; i < 31; ++i) {
        EXPECT_EQ(hydro.Inflow().XValueAt(i), steps[i].T);
        EXPECT_EQ(hydro.Inflow().YValueAt(i), steps[i].Qin);
    }
    EXPECT_TRUE(hydro.Inflow().Stairs());
    EXPECT_TRUE(hydro.Inflow().InvertedStairs());
    EXPECT_EQ(hydro.Level().VertAxis(), aRightAxis);
}

TEST_F(Hydrograph, FailedComputationShowsTheRowsComputed) {
    inflow_test::ScratchDir dir;
    // The 5th record lies above the curve: the computation stops there.
    const std::string flood = dir / "flood.txt";
    inflow_test::WriteFile(flood, inflow_test::Lines({"T,Z,Q", "2007-07-29 00-00-00,524.75,0",
                                                        "2007-07-29 06-00-00,524.84,90",
                                                        "2007-07-29 07-00-00,524.88,90",
                                                        "2007-07-29 08-00-00,524.89,90",
                                                        "2007-07-29 09-00-00,999,90",
                                                        "2007-07-29 10-00-00,524.9,90"}));
    work.FormCreate();
    work.ReadCurve(std::string(QUELMORA_SOURCE_DIR) + "/examples/curve.txt");
    work.ReadFlood(flood);
    EXPECT_ANY_THROW(work.Compute());
    EXPECT_EQ(work.ComputedRecords, 4u);
    hydro.Show(work.FloodSteps, work.ComputedRecords);
    EXPECT_EQ(hydro.Inflow().PointCount(), 4);
    EXPECT_EQ(hydro.Outflow().PointCount(), 6);
    EXPECT_EQ(hydro.Inflow().YValueAt(3), work.FloodSteps[3].Qin);

    // A flood record read anew has no computed rows.
    work.ResetFloodTable();
    EXPECT_EQ(work.ComputedRecords, 0u);
}

// Records of 1850: their stored stamps run backwards within a day (date
// minus time of day), their places along the time axis run forward.
TEST_F(Hydrograph, RecordsBeforeEighteenNinetyNineStandAtTheirMoments) {
    double day = 0, time = 0;
    ASSERT_TRUE(TryEncodeDate(1850, 6, 1, day));
    std::vector<TFloodStep> steps(4);
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(TryEncodeTime(i * 6, 0, 0, 0, time));
        steps[i].T = CombineDateTime(day, time);
    }
    hydro.Show(steps, 4);
    for (int i = 1; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(hydro.Outflow().XValueAt(i) - hydro.Outflow().XValueAt(i - 1), 0.25) << i;
        EXPECT_DOUBLE_EQ(hydro.Inflow().XValueAt(i) - hydro.Inflow().XValueAt(i - 1), 0.25) << i;
    }
}

TEST_F(Hydrograph, NegativeInflowKeepsZeroInView) {
    std::vector<TFloodStep> steps(3);
    for (int i = 0; i < 3; ++i) steps[i].T = 45000 + i / 8.0;
    steps[0].Qout = steps[1].Qout = steps[2].Qout = 0;
    steps[1].Qin = -50;
    steps[2].Qin = -20;
    hydro.Show(steps, 3);
    Picture();
    EXPECT_GE(chart.LeftAxis().Scale().ScaleMax, 0.0);
    EXPECT_LE(chart.LeftAxis().Scale().ScaleMin, -50.0);
}

TEST_F(Hydrograph, PictureShowsStairsRightAxisDatesAndLegend) {
    LoadTankan();
    work.Compute();
    hydro.Show(work.FloodSteps, work.ComputedRecords);
    const QImage image = Picture();
    ASSERT_EQ(image.width(), kChart2Width);
    const TRect plot = chart.PlotRect();
    TChartAxis& left = chart.LeftAxis();
    TChartAxis& bottom = chart.BottomAxis();
    TChartAxis& right = chart.RightAxis();
    EXPECT_TRUE(right.IsShown);
    EXPECT_TRUE(bottom.IsDateTimeAxis());
    EXPECT_FALSE(left.IsDateTimeAxis());

    // The peak inflow's step: a red horizontal run at its row, from the
    // previous record's column to its own.
    const auto& steps = work.FloodSteps;
    std::size_t peak = 1;
    for (std::size_t i = 1; i < steps.size(); ++i)
        if (steps[i].Qin > steps[peak].Qin) peak = i;
    const int row = left.ValueToPixel(steps[peak].Qin);
    const int x0 = bottom.ValueToPixel(steps[peak - 1].T), x1 = bottom.ValueToPixel(steps[peak].T);
    int run = 0;
    for (int x = x0 + 2; x <= x1 - 2; ++x)
        if ((image.pixel(x, row) & 0xFFFFFF) == kRed || (image.pixel(x, row + 1) & 0xFFFFFF) == kRed) ++run;
    EXPECT_EQ(run, x1 - x0 - 3) << "row " << row << " from " << x0 << " to " << x1;
    // Nothing red above the peak inside the chart rectangle.
    EXPECT_EQ(CountColour(image, {plot.Left + 1, plot.Top + 1, plot.Right, row - 1}, kRed), 0);

    // The level on the right axis: a green line through each record's point
    // at the right axis' pixel for it (the level is drawn last, on top).
    for (std::size_t i = 1; i + 1 < steps.size(); ++i) {
        const int lx = bottom.ValueToPixel(steps[i].T), ly = right.ValueToPixel(steps[i].Z);
        // The lowest level lies on the bottom axis line, which is drawn over it.
        if (ly >= plot.Bottom - 1) continue;
        EXPECT_GT(CountColour(image, {lx - 1, ly - 1, lx + 2, ly + 2}, kGreen), 0) << i;
    }
    // Right axis labels: dark text right of the chart rectangle.
    EXPECT_GT(CountColour(image, {plot.Right + 6, plot.Top, image.width(), plot.Bottom}, 0x000000), 50);
    EXPECT_FALSE(right.TickPositions().empty());
    // The bottom axis' ticks stand at whole hours (3-hourly records over four days).
    ASSERT_GE(bottom.TickPositions().size(), 2u);
    for (int t : bottom.TickPositions()) {
        const double hours = bottom.PixelToValue(t) * 24;
        EXPECT_NEAR(hours, std::round(hours), 24.0 / bottom.Scale().PixelLength * 2) << t;
    }
    // The legend above the chart rectangle names three series, each with its
    // colour's sample.
    const TRect legend = chart.Legend().Bounds;
    EXPECT_LT(legend.Bottom, plot.Top);
    EXPECT_GT(CountColour(image, legend, kRed), 10);
    EXPECT_GT(CountColour(image, legend, kBlue), 10);
    EXPECT_GT(CountColour(image, legend, kGreen), 10);
}

TEST_F(Hydrograph, LegendHiddenDrawsNothingAndTakesNoRoom) {
    LoadTankan();
    hydro.Show(work.FloodSteps, 0);
    Picture();
    const TRect withLegend = chart.PlotRect();
    chart.Legend().SetVisible(false);
    const QImage image = Picture();
    EXPECT_LT(chart.PlotRect().Top, withLegend.Top);
    EXPECT_EQ(chart.Legend().Bounds, (TRect{0, 0, 0, 0}));
}

}  // namespace

TEST_F(Hydrograph, CorrectedInflowIsItsOwnStairsAndLegendEntry) {
    LoadTankan();
    work.Compute();
    const auto& steps = work.FloodSteps;
    hydro.Show(steps, work.ComputedRecords);
    const QImage plain = Picture();
    EXPECT_FALSE(hydro.CorrectedInflow().Active());
    constexpr QRgb kFuchsia = 0xFF00FF;
    EXPECT_EQ(CountColour(plain, {0, 0, plain.width(), plain.height()}, kFuchsia), 0);

    // A flat corrected series at a value the computed one crosses: its stairs
    // are one fuchsia row across the record, and the legend names it.
    std::vector<double> corrected(steps.size() - 1, 500.0);
    hydro.Show(steps, work.ComputedRecords, corrected);
    ASSERT_TRUE(hydro.CorrectedInflow().Active());
    ASSERT_EQ(hydro.CorrectedInflow().PointCount(), static_cast<int>(steps.size()));
    EXPECT_EQ(hydro.CorrectedInflow().XValueAt(0), steps[0].T);
    EXPECT_EQ(hydro.CorrectedInflow().XValueAt(5), steps[5].T);
    const QImage image = Picture();
    const TRect plot = chart.PlotRect();
    const int row = chart.LeftAxis().ValueToPixel(500.0);
    const int x0 = chart.BottomAxis().ValueToPixel(steps.front().T), x1 = chart.BottomAxis().ValueToPixel(steps.back().T);
    EXPECT_GE(CountColour(image, {x0, row, x1 + 1, row + 1}, kFuchsia), (x1 - x0) * 9 / 10);
    EXPECT_GT(CountColour(image, chart.Legend().Bounds, kFuchsia), 10);
    // The computed inflow stays drawn beside it.
    EXPECT_GT(CountColour(image, {plot.Left, plot.Top, plot.Right, plot.Bottom}, kRed), 100);

    // Fewer corrected values than computed steps (a computation that stopped
    // early): only those are drawn; back to none, the picture is the plain one.
    hydro.Show(steps, 5, corrected);
    EXPECT_EQ(hydro.CorrectedInflow().PointCount(), 5);
    hydro.Show(steps, work.ComputedRecords);
    EXPECT_TRUE(Picture() == plain);
}

TEST_F(Hydrograph, ChineseTextsAreSmoothTheNumbersCrisp) {
    LoadTankan();
    work.Compute();
    hydro.Show(work.FloodSteps, work.ComputedRecords);
    EXPECT_TRUE(chart.Title().Font().Smooth());
    EXPECT_TRUE(chart.Legend().Font().Smooth());
    EXPECT_TRUE(chart.LeftAxis().Title().Font().Smooth());
    EXPECT_TRUE(chart.RightAxis().Title().Font().Smooth());
    EXPECT_FALSE(chart.LeftAxis().LabelsFont().Smooth());
    EXPECT_FALSE(chart.BottomAxis().LabelsFont().Smooth());
    const QImage image = Picture();
    const TRect plot = chart.PlotRect();
    const QRgb paper = image.pixel(1, plot.Top + 2) & 0xFFFFFF;
    // Pixels that are neither the panel nor black: the smoothed glyphs' edges.
    auto edges = [&](const TRect& r) {
        int n = 0;
        for (int y = r.Top; y < r.Bottom; ++y)
            for (int x = r.Left; x < r.Right; ++x) {
                const QRgb p = image.pixel(x, y) & 0xFFFFFF;
                n += p != paper && p != 0;
            }
        return n;
    };
    // The left axis' title stands at the chart's left edge, its labels next
    // to the axis line.
    EXPECT_GT(edges({0, plot.Top, 22, plot.Bottom}), 20);
    EXPECT_EQ(edges({plot.Left - 34, plot.Top + 2, plot.Left - 6, plot.Bottom - 2}), 0);
}
