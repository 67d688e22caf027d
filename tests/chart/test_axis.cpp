// Axes: automatic range, pixel extent and mappings, the label step, the room an
// axis takes, value label texts, and the range setters with their errors.

#include "ChartTestHost.h"

#include "LocaleFormats.h"

#include <cmath>

namespace {

// A chart with one line series whose points are given, drawn at 120 ppi.
struct AxisFixture {
    explicit AxisFixture(int points = 0, double x0 = 0, double dx = 1, double y0 = 0, double dy = 1) {
        chart.Canvas().SetPixelsPerInch(120);
        series = new TChartSeries;
        series->SetParentChart(&chart);
        for (int i = 0; i < points; ++i) series->AddPoint(x0 + i * dx, y0 + i * dy);
    }
    // Sets an axis' scale and extent by hand, as a paint would have left them.
    static void Scale(TChartAxis& a, double lo, double hi, int start, int end) { a.SetScale(lo, hi, start, end); }
    // The extent between label positions a step needs: label size plus 10 %.
    int Spacing(TChartAxis& a, std::initializer_list<double> values) {
        chart.Canvas().SelectChartFont(a.LabelsFont());
        int size = 0;
        for (double v : values) size = std::max(size, a.LabelExtentAlongAxis(v));
        return size + static_cast<int>(std::nearbyint(size * 0.1));
    }

    TChart chart;
    TChartSeries* series;
};

template <class F>
std::string AxisError(F&& f) {
    try {
        f();
    } catch (const AxisException& e) {
        return e.Message;
    }
    return "no error";
}

}  // namespace

// ---------------------------------------------------------------------------
TEST(AxisStep, NextNiceStepRunsThroughOneTwoFive) {
    EXPECT_EQ(TChartAxis::NextNiceStep(1), 2);
    EXPECT_EQ(TChartAxis::NextNiceStep(2), 5);
    EXPECT_EQ(TChartAxis::NextNiceStep(5), 10);
    EXPECT_EQ(TChartAxis::NextNiceStep(10), 20);
    EXPECT_EQ(TChartAxis::NextNiceStep(0.3), 0.5);
    EXPECT_EQ(TChartAxis::NextNiceStep(1.9999), 2);
    EXPECT_EQ(TChartAxis::NextNiceStep(4.99), 5);
    EXPECT_EQ(TChartAxis::NextNiceStep(730), 1000);
    EXPECT_EQ(TChartAxis::NextNiceStep(INFINITY), 1);
    std::vector<double> run;
    for (double x = 0.1; run.size() < 6;) run.push_back(x = TChartAxis::NextNiceStep(x));
    EXPECT_EQ(run, (std::vector<double>{0.2, 0.5, 1, 2, 5, 10}));  // exact, not merely close
}

TEST(AxisStep, RangeOf2Point6OnBothAxes) {
    AxisFixture many(20, 1.5, 0.1, 495, 0.1);
    TChartAxis& left = many.chart.LeftAxis();
    // Room for exactly 10 labels.
    AxisFixture::Scale(left, 495, 497.6, 0, 10 * many.Spacing(left, {497.6, 495, 496.3}));
    EXPECT_EQ(left.ComputeLabelStep(), 0.5);  // 2.6 / 11 would give 11 labels

    TChartAxis& bottom = many.chart.BottomAxis();
    const int room = 10 * many.Spacing(bottom, {4.1, 1.5, 2.8});
    AxisFixture::Scale(bottom, 1.5, 4.1, 0, room);
    EXPECT_EQ(bottom.ComputeLabelStep(), 0.5);  // 20 points: no whole-value rule

    AxisFixture few(10, 1.5, 0.25, 495, 0.1);
    TChartAxis& fewBottom = few.chart.BottomAxis();
    AxisFixture::Scale(fewBottom, 1.5, 4.1, 0, room);
    EXPECT_EQ(fewBottom.ComputeLabelStep(), 1);  // at most 10 points: raised to 1
    // The vertical axis does not carry the X values: no such rule there.
    TChartAxis& fewLeft = few.chart.LeftAxis();
    AxisFixture::Scale(fewLeft, 495, 497.6, 0, 10 * few.Spacing(fewLeft, {497.6, 495, 496.3}));
    EXPECT_EQ(fewLeft.ComputeLabelStep(), 0.5);
}

TEST(AxisStep, AnIncrementStandsOnlyWhileItsLabelsFit) {
    AxisFixture f(50);
    TChartAxis& left = f.chart.LeftAxis();
    left.SetIncrement(0.1);
    const int s = f.Spacing(left, {100, 0, 0.1, 99.9});
    for (auto [labels, expected] : {std::pair{10, 10.0}, std::pair{25, 5.0}, std::pair{60, 2.0},
                                    std::pair{150, 1.0}, std::pair{600, 0.2}, std::pair{1000, 0.1}}) {
        AxisFixture::Scale(left, 0, 100, 0, labels * s);
        EXPECT_EQ(left.ComputeLabelStep(), expected) << labels << " labels fit";
    }
    // Without separation the first estimate is the result.
    left.SetLabelsSeparation(0);
    AxisFixture::Scale(left, 0, 100, 0, 10 * s);
    EXPECT_EQ(left.ComputeLabelStep(), 0.1);
    left.SetLabelsAlternate(true);
    EXPECT_EQ(left.ComputeLabelStep(), 0.05);
}

TEST(AxisStep, ZeroRangeAndNoRoom) {
    AxisFixture f;
    TChartAxis& left = f.chart.LeftAxis();
    AxisFixture::Scale(left, 0, 0, 10, 200);
    EXPECT_TRUE(left.Scale().RangeIsZero);
    EXPECT_EQ(left.ComputeLabelStep(), 1);
    AxisFixture::Scale(left, 0, 10, 10, 14);  // not even one label fits
    EXPECT_EQ(left.ComputeLabelStep(), 1e-12);
}

TEST(AxisStep, LabelExtentFollowsAngleAndLines) {
    AxisFixture f;
    TChartAxis& left = f.chart.LeftAxis();
    TChartAxis& bottom = f.chart.BottomAxis();
    TChartCanvas& c = f.chart.Canvas();
    c.SelectChartFont(left.LabelsFont());
    const int h = c.CharHeight(), w = c.MeasureWidth("1,234.5");
    EXPECT_EQ(left.LabelExtentAlongAxis(1234.5), h);
    EXPECT_EQ(bottom.LabelExtentAlongAxis(1234.5), w);
    left.SetLabelsAngle(450);  // stored modulo 360
    EXPECT_EQ(left.LabelsAngle(), 90);
    EXPECT_EQ(left.LabelExtentAlongAxis(1234.5), w);
    bottom.SetLabelsAngle(270);
    EXPECT_EQ(bottom.LabelExtentAlongAxis(1234.5), h);
    // Two lines from the application's label hook.
    f.chart.OnGetAxisLabel = [](TChartAxis*, TChartSeries*, int, std::string& text) { text = "a\rlonger line"; };
    EXPECT_EQ(bottom.LabelExtentAlongAxis(1), 2 * h);
    EXPECT_EQ(left.LabelExtentAlongAxis(1), c.MeasureWidth("longer line"));
}

// ---------------------------------------------------------------------------
TEST(AxisMapping, ValueToPixelRoundsTiesToEvenAndFollowsTheDirection) {
    AxisFixture f;
    TChartAxis& bottom = f.chart.BottomAxis();
    AxisFixture::Scale(bottom, 0, 2, 10, 12);  // one pixel per unit
    EXPECT_EQ(bottom.ValueToPixel(0.5), 10);   // 10.5
    EXPECT_EQ(bottom.ValueToPixel(1.5), 12);   // 11.5
    EXPECT_EQ(bottom.ValueToPixel(1.4), 11);
    bottom.SetInverted(true);
    EXPECT_EQ(bottom.ValueToPixel(0.5), 12);   // 11.5 from the right end
    EXPECT_EQ(bottom.ValueToPixel(0), 12);

    TChartAxis& left = f.chart.LeftAxis();
    AxisFixture::Scale(left, 0, 100, 20, 220);
    EXPECT_EQ(left.ValueToPixel(100), 20);  // the top pixel is the maximum
    EXPECT_EQ(left.ValueToPixel(0), 220);
    EXPECT_EQ(left.ValueToPixel(25), 170);
    left.SetInverted(true);
    EXPECT_EQ(left.ValueToPixel(25), 70);
}

TEST(AxisMapping, FarValuesAreClampedNotOverflowed) {
    AxisFixture f;
    TChartAxis& bottom = f.chart.BottomAxis();
    TChartAxis& left = f.chart.LeftAxis();
    AxisFixture::Scale(bottom, 0, 1, 0, 400);
    AxisFixture::Scale(left, 0, 1, 0, 400);
    EXPECT_EQ(bottom.ValueToPixel(1e300), PixelClampLimit);
    EXPECT_EQ(bottom.ValueToPixel(-1e300), -PixelClampLimit);
    EXPECT_EQ(left.ValueToPixel(1e300), -PixelClampLimit);
    EXPECT_EQ(bottom.ValueToPixel(167772.0), 67108800);  // just inside the limit
    EXPECT_EQ(bottom.ValueToPixel(167773.0), PixelClampLimit);
    EXPECT_EQ(PixelClampLimit, (1 << 26) - 1);
}

TEST(AxisMapping, ZeroRangeMapsToTheCentreAndAnEmptyExtentToZero) {
    AxisFixture f;
    TChartAxis& bottom = f.chart.BottomAxis();
    AxisFixture::Scale(bottom, 3, 3, 100, 301);
    EXPECT_EQ(bottom.ValueToPixel(3), 200);
    EXPECT_EQ(bottom.ValueToPixel(-1e9), 200);
    AxisFixture::Scale(bottom, 3, 7, 50, 50);
    EXPECT_EQ(bottom.PixelToValue(50), 0);
    EXPECT_EQ(bottom.PixelToValue(80), 0);
    // The margin step then makes the range 0 to 0.
    f.chart.SetFixedPlotRect(true);
    f.chart.SetPlotRect({50, 20, 50, 20});
    bottom.ComputePixelExtent();
    bottom.ApplyPixelMargins();
    EXPECT_EQ(bottom.Scale().ScaleMin, 0);
    EXPECT_EQ(bottom.Scale().ScaleMax, 0);
    EXPECT_TRUE(bottom.Scale().RangeIsZero);
}

TEST(AxisMapping, PixelToValueInvertsValueToPixel) {
    AxisFixture f;
    TChartAxis& bottom = f.chart.BottomAxis();
    TChartAxis& left = f.chart.LeftAxis();
    AxisFixture::Scale(bottom, 1.58, 7.185, 59, 494);
    AxisFixture::Scale(left, 495, 530, 30, 269);
    EXPECT_DOUBLE_EQ(bottom.PixelToValue(59), 1.58);
    EXPECT_DOUBLE_EQ(bottom.PixelToValue(494), 7.185);
    EXPECT_DOUBLE_EQ(left.PixelToValue(30), 530);
    EXPECT_DOUBLE_EQ(left.PixelToValue(269), 495);
    for (int px = 59; px <= 494; px += 7) EXPECT_EQ(bottom.ValueToPixel(bottom.PixelToValue(px)), px);
    for (int px = 30; px <= 269; px += 5) EXPECT_EQ(left.ValueToPixel(left.PixelToValue(px)), px);
    left.SetInverted(true);
    EXPECT_DOUBLE_EQ(left.PixelToValue(30), 495);
}

TEST(AxisMapping, PixelExtentFollowsStartAndEndPositions) {
    AxisFixture f;
    f.chart.SetPlotRect({50, 20, 450, 220});
    TChartAxis& bottom = f.chart.BottomAxis();
    bottom.ComputePixelExtent();
    EXPECT_EQ(bottom.Scale().PixelStart, 50);
    EXPECT_EQ(bottom.Scale().PixelEnd, 450);
    EXPECT_EQ(bottom.Scale().PixelCentre, 250);
    bottom.SetStartPosition(25);
    bottom.SetEndPosition(62.5);  // 250 exactly
    bottom.ComputePixelExtent();
    EXPECT_EQ(bottom.Scale().PixelStart, 150);
    EXPECT_EQ(bottom.Scale().PixelEnd, 300);
    TChartAxis& left = f.chart.LeftAxis();
    left.SetEndPosition(50.25);  // 100.5 rounds to 100
    left.ComputePixelExtent();
    EXPECT_EQ(left.Scale().PixelStart, 20);
    EXPECT_EQ(left.Scale().PixelEnd, 120);
    EXPECT_EQ(left.Scale().PixelLength, 100);
}

TEST(AxisMapping, MarginsAndOffsetsWidenTheRange) {
    AxisFixture f;
    f.chart.SetPlotRect({0, 0, 100, 200});
    TChartAxis& bottom = f.chart.BottomAxis();
    bottom.ComputePixelExtent();
    AxisFixture::Scale(bottom, 0, 100, 0, 100);
    bottom.ExtendRangeByPixels(10, 10);
    EXPECT_DOUBLE_EQ(bottom.Scale().ScaleMin, -12.5);
    EXPECT_DOUBLE_EQ(bottom.Scale().ScaleMax, 112.5);
    EXPECT_EQ(bottom.Scale().PixelStart, 0);
    EXPECT_EQ(bottom.ValueToPixel(0), 10);
    EXPECT_EQ(bottom.ValueToPixel(100), 90);

    // Offsets: the minimum's end is left on a horizontal axis, bottom on a vertical one.
    bottom.SetMinimumOffset(10);
    bottom.SetMaximumOffset(20);
    AxisFixture::Scale(bottom, 0, 70, 0, 100);
    bottom.ApplyPixelMargins();
    EXPECT_EQ(bottom.ValueToPixel(0), 10);
    EXPECT_EQ(bottom.ValueToPixel(70), 80);
    bottom.SetInverted(true);
    AxisFixture::Scale(bottom, 0, 70, 0, 100);
    bottom.ApplyPixelMargins();
    EXPECT_EQ(bottom.ValueToPixel(0), 90);
    EXPECT_EQ(bottom.ValueToPixel(70), 20);

    TChartAxis& left = f.chart.LeftAxis();
    left.ComputePixelExtent();
    left.SetMinimumOffset(10);
    left.LabelsEdgePos = 40;
    AxisFixture::Scale(left, 0, 180, 0, 200);
    left.ApplyPixelMargins();
    EXPECT_EQ(left.ValueToPixel(0), 190);  // 10 pixels kept free at the bottom
    EXPECT_EQ(left.ValueToPixel(180), 0);
    // With an offset the title band moves out from the labels edge.
    EXPECT_EQ(left.TitleEdgePos, 40 - left.LabelsBandSize());
}

// ---------------------------------------------------------------------------
TEST(AxisRange, AutomaticRangeComesFromTheBoundSeries) {
    AxisFixture f(5, 2, 0.5, 10, -1);  // X 2 .. 4, Y 10 .. 6
    TChart& c = f.chart;
    c.BottomAxis().ComputeAutoRange();
    c.LeftAxis().ComputeAutoRange();
    c.TopAxis().ComputeAutoRange();
    EXPECT_EQ(c.BottomAxis().Minimum(), 2);
    EXPECT_EQ(c.BottomAxis().Maximum(), 4);
    EXPECT_EQ(c.LeftAxis().Minimum(), 6);
    EXPECT_EQ(c.LeftAxis().Scale().ScaleMax, 10);
    EXPECT_EQ(c.TopAxis().Maximum(), 0);  // nothing bound: 0 to 0
    EXPECT_TRUE(c.TopAxis().Scale().RangeIsZero);

    // An inactive series counts only while no active one is bound to the axis.
    auto* other = new TChartSeries;
    other->SetParentChart(&c);
    other->AddPoint(-5, 100);
    other->AddPoint(50, 100);
    other->SetActive(false);
    EXPECT_EQ(c.DataExtremeForAxis(c.BottomAxis(), true), 2);
    f.series->SetActive(false);
    EXPECT_EQ(c.DataExtremeForAxis(c.BottomAxis(), true), -5);
    EXPECT_EQ(c.DataExtremeForAxis(c.BottomAxis(), false), 50);
    // An active but empty series keeps the inactive ones out, and gives nothing itself.
    f.series->SetActive(true);
    f.series->RemoveAllPoints();
    EXPECT_EQ(c.DataExtremeForAxis(c.BottomAxis(), true), 0);
    // A series bound to both horizontal axes measures on the top one too.
    other->SetActive(true);
    other->SetHorizAxis(aBothHorizAxis);
    EXPECT_EQ(c.DataExtremeForAxis(c.TopAxis(), false), 50);
    EXPECT_EQ(c.DataExtremeForAxis(c.BottomAxis(), true), -5);

    // A hand-set end stays while its flag is off.
    c.BottomAxis().SetAutomaticMaximum(false);
    c.BottomAxis().SetMaximum(70);
    c.BottomAxis().ComputeAutoRange();
    EXPECT_EQ(c.BottomAxis().Maximum(), 70);
    EXPECT_EQ(c.BottomAxis().Minimum(), -5);
}

TEST(AxisRange, VisibilityFollowsTheActiveSeries) {
    AxisFixture f(3);
    TChart& c = f.chart;
    auto shown = [&] {
        std::string s;
        for (TChartAxis* a : c.Axes()) s += a->ComputeIsShown() ? '1' : '0';
        return s;
    };
    EXPECT_EQ(shown(), "101000");  // bottom and left, even with an empty series
    f.series->RemoveAllPoints();
    EXPECT_EQ(shown(), "101000");
    f.series->SetHorizAxis(aTopAxis);
    f.series->SetVertAxis(aBothVertAxis);
    EXPECT_EQ(shown(), "011100");
    f.series->SetActive(false);  // no active series: every plain axis
    EXPECT_EQ(shown(), "111100");
    c.LeftAxis().SetVisible(false);
    EXPECT_EQ(shown(), "110100");
    c.DepthAxis().SetVisible(true);
    EXPECT_EQ(shown(), "110110");  // a default chart is 3D
    c.SetView3D(false);
    EXPECT_EQ(shown(), "110100");
    c.SetAxisVisible(false);
    EXPECT_EQ(shown(), "000000");
}

TEST(AxisRange, SetRangeOrdersAndKeepsAMinimumSpan) {
    AxisFixture f;
    TChartAxis& a = f.chart.LeftAxis();
    a.SetRange(5, 5);
    EXPECT_EQ(a.Minimum(), 5);
    EXPECT_EQ(a.Maximum(), 5 + 1e-10);
    EXPECT_FALSE(a.Automatic());
    EXPECT_FALSE(a.AutomaticMinimum());
    EXPECT_FALSE(a.AutomaticMaximum());
    a.SetRange(9, 3);
    EXPECT_EQ(a.Minimum(), 3);
    EXPECT_EQ(a.Maximum(), 9);
    a.SetRange(0, 0);
    EXPECT_EQ(a.Maximum(), 1e-10);
    // The next paint keeps a hand-set range.
    a.ComputeAutoRange();
    EXPECT_EQ(a.Scale().ScaleMax, 1e-10);
}

TEST(AxisRange, ShiftRangeWithAndWithoutLimits) {
    AxisFixture f(11, 0, 1, 0, 5);  // Y 0 .. 50
    ImageHost host(f.chart);
    TChartAxis& left = f.chart.LeftAxis();
    left.ComputeAutoRange();
    int requests = host.invalidations;
    left.ShiftRange(5, true);  // the data maximum is not above Maximum: nothing
    EXPECT_EQ(left.Maximum(), 50);
    EXPECT_TRUE(left.Automatic());
    EXPECT_EQ(host.invalidations, requests);
    left.ShiftRange(0, true);
    EXPECT_TRUE(left.Automatic());

    left.SetRange(0, 40);
    left.ShiftRange(5, true);
    EXPECT_EQ(left.Minimum(), 5);
    EXPECT_EQ(left.Maximum(), 45);
    left.ShiftRange(-10, true);  // the data minimum 0 lies below 5
    EXPECT_EQ(left.Minimum(), -5);
    left.ShiftRange(-10, true);  // not any more
    EXPECT_EQ(left.Minimum(), -5);

    // Without limits it always acts: a wheel step of 3 % of 0 .. 50.
    left.SetRange(0, 50);
    requests = host.invalidations;
    left.ShiftRange(1.5, false);
    EXPECT_EQ(left.Minimum(), 1.5);
    EXPECT_EQ(left.Maximum(), 51.5);
    EXPECT_EQ(host.invalidations, requests + 1);
    left.SetAutomatic(true);
    left.ShiftRange(0, false);
    EXPECT_FALSE(left.Automatic());
}

TEST(AxisRange, AutomaticFlagsFollowEachOther) {
    AxisFixture f;
    TChartAxis& a = f.chart.BottomAxis();
    a.SetAutomaticMinimum(false);
    EXPECT_FALSE(a.Automatic());
    EXPECT_TRUE(a.AutomaticMaximum());
    a.SetAutomaticMaximum(false);
    a.SetAutomaticMinimum(true);
    EXPECT_FALSE(a.Automatic());  // the other one is still off
    a.SetAutomaticMaximum(true);
    EXPECT_TRUE(a.Automatic());
    a.SetAutomatic(false);
    EXPECT_FALSE(a.AutomaticMinimum());
    EXPECT_FALSE(a.AutomaticMaximum());
    a.SetAutomatic(true);
    EXPECT_TRUE(a.AutomaticMinimum());
    EXPECT_TRUE(a.AutomaticMaximum());
}

TEST(AxisRange, ValidatingSettersRaiseAndKeepTheValue) {
    AxisFixture f(3, -2, 1, 1, 1);  // X -2 .. 0
    TChartAxis& a = f.chart.BottomAxis();
    a.SetMaximum(10);
    a.SetMinimum(4);
    EXPECT_EQ(AxisError([&] { a.SetMinimum(11); }), "Axis Minimum Value must be <= Maximum");
    EXPECT_EQ(AxisError([&] { a.SetMaximum(3); }), "Axis Maximum Value must be >= Minimum");
    EXPECT_EQ(a.Minimum(), 4);
    EXPECT_EQ(a.Maximum(), 10);
    a.SetMinimum(10);  // equal ends are fine
    EXPECT_TRUE(a.Automatic());  // the setters leave the flags alone

    EXPECT_EQ(AxisError([&] { a.SetIncrement(-0.5); }), "Axis increment must be >= 0");
    EXPECT_EQ(a.Increment(), 0);
    EXPECT_EQ(AxisError([&] { a.SetLabelsSeparation(-1); }), "Labels Separation % must be greater than 0");
    a.SetLabelsSeparation(0);
    EXPECT_EQ(a.LabelsSeparation(), 0);
    for (double base : {1.0, 0.0, -2.0})
        EXPECT_EQ(AxisError([&] { a.SetLogarithmicBase(base); }), "Axis Logarithmic Base should be <> 1 and > 0");
    EXPECT_EQ(a.LogarithmicBase(), 10);
    a.SetLogarithmicBase(2);
    EXPECT_EQ(AxisError([&] { a.SetLogarithmic(true); }), "Logarithmic Axis Min and Max values should be >= 0");
    EXPECT_FALSE(a.Logarithmic());
    EXPECT_EQ(AxisError([&] { f.chart.LeftAxis().SetLogarithmic(true); }), "no error");  // Y 1 .. 3
    f.series->XValues()->SetDateTime(true);
    EXPECT_TRUE(a.IsDateTimeAxis());
    EXPECT_EQ(AxisError([&] { a.SetLogarithmic(true); }), "DateTime Axis cannot be Logarithmic");
}

// ---------------------------------------------------------------------------
TEST(AxisSpace, BandSizesAndReservedRoom) {
    AxisFixture f(10, 0, 1, 495, 1);
    TChart& c = f.chart;
    TChartAxis& left = c.LeftAxis();
    TChartAxis& bottom = c.BottomAxis();
    EXPECT_EQ(left.TickAreaSize(), 7);
    left.MinorTicks().SetVisible(false);
    left.Ticks().SetVisible(false);
    EXPECT_EQ(left.TickAreaSize(), 3);
    left.Axis().SetVisible(false);
    left.SetMinorTickLength(5);
    left.MinorTicks().SetVisible(true);
    EXPECT_EQ(left.TickAreaSize(), 5);
    left.Axis().SetVisible(true);
    left.Ticks().SetVisible(true);

    c.SetPlotRect({11, 7, 494, 306});
    left.Title().SetCaption("水位 /m");
    bottom.Title().SetCaption("库容");
    for (TChartAxis* a : c.Axes()) a->ComputeAutoRange(), a->ComputePixelExtent();
    TChartCanvas& canvas = c.Canvas();
    canvas.SelectChartFont(left.Title().Font());
    const int titleH = canvas.CharHeight();
    canvas.SelectChartFont(left.LabelsFont());
    const int labelsH = canvas.CharHeight();

    TRect r = c.PlotRect();
    left.ReserveAxisSpace(r, true);
    EXPECT_EQ(left.TitleEdgePos, 11 + titleH);
    EXPECT_EQ(left.LabelsEdgePos, left.TitleEdgePos + left.MaxValueLabelWidth());
    EXPECT_EQ(r.Left, left.LabelsEdgePos + 7);
    EXPECT_EQ(r.Right, 494);

    r = c.PlotRect();
    bottom.ReserveAxisSpace(r, true);
    EXPECT_EQ(bottom.TitleEdgePos, 306 - titleH);
    EXPECT_EQ(bottom.LabelsEdgePos, bottom.TitleEdgePos - labelsH);
    EXPECT_EQ(r.Bottom, bottom.LabelsEdgePos - 7);
    EXPECT_EQ(r.Top, 7);

    // Without shrinking the axis only places itself, outward from the edge.
    r = c.PlotRect();
    c.RightAxis().ReserveAxisSpace(r, false);
    EXPECT_EQ(r, c.PlotRect());
    EXPECT_EQ(c.RightAxis().AxisLinePos, 494);
    EXPECT_EQ(c.RightAxis().LabelsEdgePos, 501);
    EXPECT_EQ(c.RightAxis().TitleEdgePos, 501 + c.RightAxis().LabelsBandSize());
    c.TopAxis().ReserveAxisSpace(r, false);
    EXPECT_EQ(c.TopAxis().LabelsEdgePos, 0);
    EXPECT_EQ(c.TopAxis().TitleEdgePos, 0 - labelsH);

    // Fixed band sizes replace the measured ones.
    left.SetTitleSize(20);
    left.SetLabelsSize(30);
    r = c.PlotRect();
    left.ReserveAxisSpace(r, true);
    EXPECT_EQ(r.Left, 11 + 20 + 30 + 7);
    left.SetLabels(false);
    left.Title().SetVisible(false);
    r = c.PlotRect();
    left.ReserveAxisSpace(r, true);
    EXPECT_EQ(r.Left, 11 + 7);
}

TEST(AxisSpace, PositionPercentMovesTheEdges) {
    AxisFixture f;
    TChartAxis& bottom = f.chart.BottomAxis();
    TChartAxis& top = f.chart.TopAxis();
    TChartAxis& left = f.chart.LeftAxis();
    const TRect r{0, 0, 300, 200};
    EXPECT_EQ(bottom.ApplyPositionPercent(150, r), 150);
    bottom.SetPositionPercent(10);
    EXPECT_EQ(bottom.ApplyPositionPercent(150, r), 130);  // 10 % of the height, upward
    top.SetPositionPercent(10);
    EXPECT_EQ(top.ApplyPositionPercent(150, r), 170);
    left.SetPositionPercent(10);
    EXPECT_EQ(left.ApplyPositionPercent(150, r), 180);    // 10 % of the width, rightward
    left.SetPositionUnits(muPixels);
    EXPECT_EQ(left.ApplyPositionPercent(150, r), 160);
}

TEST(AxisSpace, MaxValueLabelWidthMeasuresTheRoundedEndsWithoutTheHook) {
    AxisFixture f(30, 0, 1, 495, 1);
    TChartAxis& left = f.chart.LeftAxis();
    TChartCanvas& c = f.chart.Canvas();
    c.SelectChartFont(left.LabelsFont());
    AxisFixture::Scale(left, 1, 1234.5, 0, 200);
    int hookCalls = 0;
    f.chart.OnGetAxisLabel = [&](TChartAxis*, TChartSeries*, int, std::string& text) {
        ++hookCalls;
        text = "a much longer label than any value";
    };
    // The step is the one the drawing will use, hook and all.
    const double step = left.ComputeLabelStep();
    const double high = std::trunc(1234.5 / step) * step;
    hookCalls = 0;
    const int widest = left.MaxValueLabelWidth();
    EXPECT_EQ(hookCalls, 3);  // the step's three extents; none for the two ends measured
    EXPECT_TRUE(static_cast<bool>(f.chart.OnGetAxisLabel));  // switched on again
    f.chart.OnGetAxisLabel = nullptr;
    EXPECT_EQ(widest, c.MeasureWidth(left.FormatAxisValue(high)) + c.MeasureWidth(" "));
    left.SetRoundFirstLabel(false);
    EXPECT_EQ(left.MaxValueLabelWidth(), c.MeasureWidth("1,234.5") + c.MeasureWidth(" "));
    // No series bound: no value labels, no room.
    f.series->SetVertAxis(aRightAxis);
    EXPECT_EQ(left.ResolveLabelStyle(), talNone);
    EXPECT_EQ(left.MaxValueLabelWidth(), 0);
    // Point labels on the horizontal axis make it a text axis.
    f.series->AddPoint(100, 1, "dam crest");
    EXPECT_EQ(f.chart.BottomAxis().ResolveLabelStyle(), talText);
    EXPECT_EQ(f.chart.BottomAxis().MaxValueLabelWidth(), c.MeasureWidth("dam crest"));
}

TEST(AxisSpace, AnAxisThatLeavesNoRoomIsIgnored) {
    TChart chart;
    chart.Canvas().SetPixelsPerInch(120);
    ImageHost host(chart);
    chart.SetBounds(0, 0, 60, 200);
    host.Resize();
    auto* s = new TChartSeries;
    s->SetParentChart(&chart);
    s->AddPoint(0, 1234567.25);
    s->AddPoint(1, 7654321.75);
    chart.LeftAxis().Title().SetCaption("a title");
    host.Expose();
    // The left axis' labels are wider than the whole chart: it takes nothing.
    const int left = 1 + 3 * 60 / 100;
    EXPECT_EQ(chart.PlotRect().Left, left);
    EXPECT_GT(chart.PlotWidth(), 0);
    EXPECT_LT(chart.PlotRect().Bottom, 200 - 1 - 4 * 200 / 100);  // the bottom axis still did
}

// ---------------------------------------------------------------------------
TEST(AxisLabels, FormatAxisValueGroupsAndTrimsWithTheLocaleMarks) {
    AxisFixture f;
    const TChartAxis& a = f.chart.LeftAxis();
    EXPECT_EQ(a.FormatAxisValue(1000000), "1,000,000");
    EXPECT_EQ(a.FormatAxisValue(0.25), "0.25");
    EXPECT_EQ(a.FormatAxisValue(2), "2");
    EXPECT_EQ(a.FormatAxisValue(1.0004), "1");
    EXPECT_EQ(a.FormatAxisValue(-1234.5), "-1,234.5");
    EXPECT_EQ(a.FormatAxisValue(0.1 + 0.2), "0.3");
    EXPECT_EQ(a.FormatAxisValue(999.9996), "1,000");
    EXPECT_EQ(a.FormatAxisValue(123), "123");
    EXPECT_EQ(a.FormatAxisValue(0), "0");
    EXPECT_EQ(a.FormatAxisValue(-0.0001), "0");  // no sign on a value shown as zero
    EXPECT_EQ(a.FormatAxisValue(-2.7e-17), "0");

    LocaleFormats saved = Formats();
    Formats().decimalMark = ',';
    Formats().thousandsMark = '.';
    EXPECT_EQ(a.FormatAxisValue(1234567.125), "1.234.567,125");
    Formats() = saved;

    TChartAxis& b = f.chart.BottomAxis();
    b.SetAxisValuesFormat("0.00 m");
    EXPECT_EQ(b.FormatAxisValue(3.14159), "3.14 m");
    EXPECT_EQ(b.FormatAxisValue(12345.5), "12345.50 m");
    b.SetAxisValuesFormat("#.##");
    EXPECT_EQ(b.FormatAxisValue(0.5), ".5");
    b.SetAxisValuesFormat("0;(0)");
    EXPECT_EQ(b.FormatAxisValue(-7), "(7)");
    b.SetAxisValuesFormat("#,##0.###");
    b.SetLabelsMultiLine(true);
    f.chart.OnGetAxisLabel = [](TChartAxis*, TChartSeries*, int, std::string& text) { text += " m"; };
    EXPECT_EQ(b.FormatAxisValue(5), "5\rm");
}
