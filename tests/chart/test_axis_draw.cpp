// Axis drawing, read back from rendered pictures: value labels and their
// order, ticks, grid lines, minor ticks, axis line and titles.

#include "ChartTestHost.h"
#include "CurveChart.h"

#include "Series.h"

#include <QDir>

#include <algorithm>
#include <utility>
#include <vector>

namespace {

TColor Face() { return ColorToRGB(clBtnFace); }

using Labels = std::vector<std::pair<double, std::string>>;

// Where an axis' labels should stand: a bottom label centred on its pixel with
// its top on the labels edge, a top one standing on the edge; a left label
// right-aligned at the edge, a right one left-aligned there, each with its
// top half a line above its pixel. Drawn on a plain face-coloured picture.
using AxisLabels = std::vector<std::pair<TChartAxis*, Labels>>;
QImage ExpectedLabels(const AxisLabels& axes, int width, int height) {
    TChartCanvas c;
    c.SetPixelsPerInch(120);
    const TRect all{0, 0, width, height};
    c.StartBuffer(nullptr, all);
    c.SelectBrush(clBtnFace, bsSolid);
    c.FillRectangle(all);
    for (const auto& [axis, labels] : axes) {
        c.SelectChartFont(axis->LabelsFont());
        const int h = c.CharHeight();
        for (const auto& [value, text] : labels) {
            const int p = axis->ValueToPixel(value);
            if (axis->Horizontal()) {
                c.SetTextAlignment(TA_CENTER | (axis->OtherSide() ? TA_BOTTOM : TA_TOP));
                c.WriteText(p, axis->LabelsEdgePos, text);
            } else {
                c.SetTextAlignment((axis->OtherSide() ? TA_LEFT : TA_RIGHT) | TA_TOP);
                c.WriteText(axis->LabelsEdgePos, p - h / 2, text);
            }
        }
    }
    c.CopyBufferTo(nullptr, all);
    return c.Bitmap().copy();
}
QImage ExpectedLabels(TChartAxis& axis, const Labels& labels, int width, int height) {
    return ExpectedLabels(AxisLabels{{&axis, labels}}, width, height);
}

::testing::AssertionResult SameIn(const QImage& actual, const QImage& expected, const TRect& band) {
    int ink = 0;
    for (int y = band.Top; y < band.Bottom; ++y)
        for (int x = band.Left; x < band.Right; ++x) {
            const TColor a = PixelColor(actual, x, y), e = PixelColor(expected, x, y);
            if (a != e)
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << a << ", expected " << e
                                                     << " in " << ToString(band);
            ink += e != Face();
        }
    if (ink == 0) return ::testing::AssertionFailure() << "no text at all in " << ToString(band);
    return ::testing::AssertionSuccess();
}

// The labels bands of the window's chart: left of the plot for the left axis,
// under it (right of the left labels) for the bottom axis; the bevel left out.
TRect LeftLabelsBand(TChart& c) { return {c.LeftAxis().TitleEdgePos, 1, c.LeftAxis().LabelsEdgePos, c.Height() - 1}; }
TRect BottomLabelsBand(TChart& c) {
    return {c.LeftAxis().LabelsEdgePos, c.BottomAxis().LabelsEdgePos, c.Width() - 1, c.BottomAxis().TitleEdgePos};
}

std::vector<int> PixelsOf(const TChartAxis& axis, std::initializer_list<double> values) {
    std::vector<int> out;
    for (double v : values) out.push_back(axis.ValueToPixel(v));
    return out;
}

// The grey pixels on the line across the plot at position t of the axis.
int GridPixels(const QImage& img, const TChart& c, const TChartAxis& axis, int t) {
    const TRect r = c.PlotRect();
    const std::string s = axis.Horizontal() ? ColumnPattern(img, t, r.Top + 1, r.Bottom, clChartGray)
                                            : RowPattern(img, t, r.Left + 1, r.Right, clChartGray);
    return static_cast<int>(std::count(s.begin(), s.end(), '#'));
}
// A dotted grid line (three pixels on, three off) covers half the plot.
bool IsGridLine(const QImage& img, const TChart& c, const TChartAxis& axis, int t) {
    const TRect r = c.PlotRect();
    const int length = (axis.Horizontal() ? r.Height() : r.Width()) - 1;
    return GridPixels(img, c, axis, t) >= length / 2 - 3;
}

// The ink (anything not face-coloured) inside an area, in picture coordinates.
TRect InkIn(const QImage& img, const TRect& area) {
    const TRect r = InkBounds(img.copy(area.Left, area.Top, area.Width(), area.Height()), Face());
    return r.IsEmpty() ? r : TRect{r.Left + area.Left, r.Top + area.Top, r.Right + area.Left, r.Bottom + area.Top};
}

// The window's chart with its series holding the given points, painted.
struct DrawnChart1 : Chart1Fixture {
    explicit DrawnChart1(std::initializer_list<std::pair<double, double>> points = {}) {
        for (auto [x, y] : points) series->AddPoint(x, y);
    }
    const QImage& Paint() {
        host->Expose();
        return host->screen;
    }
};

}  // namespace

// ---------------------------------------------------------------------------
TEST(AxisDraw, EmptySeriesDrawsOneZeroWithTickAndGridAtEachCentre) {
    DrawnChart1 f;
    const QImage& img = f.Paint();
    TChart& c = f.chart;
    const TRect r = c.PlotRect();
    TChartAxis& left = c.LeftAxis();
    TChartAxis& bottom = c.BottomAxis();
    ASSERT_TRUE(left.Scale().RangeIsZero && bottom.Scale().RangeIsZero);

    EXPECT_EQ(left.TickPositions(), std::vector<int>{left.Scale().PixelCentre});
    EXPECT_EQ(bottom.TickPositions(), std::vector<int>{bottom.Scale().PixelCentre});
    EXPECT_TRUE(SameIn(img, ExpectedLabels(left, {{0, "0"}}, c.Width(), c.Height()), LeftLabelsBand(c)));
    EXPECT_TRUE(SameIn(img, ExpectedLabels(bottom, {{0, "0"}}, c.Width(), c.Height()), BottomLabelsBand(c)));

    // One tick, four pixels long, just outside each axis line.
    EXPECT_EQ(RowPattern(img, left.Scale().PixelCentre, r.Left - 6, r.Left, clChartGray), "..####");
    EXPECT_EQ(RowPattern(img, left.Scale().PixelCentre + 3, r.Left - 6, r.Left, clChartGray), "......");
    EXPECT_EQ(ColumnPattern(img, bottom.Scale().PixelCentre, r.Bottom + 1, r.Bottom + 6, clChartGray), "####.");
    // One dotted grid line each, across the whole plot; beside it at most the
    // pixel where the other one crosses.
    EXPECT_TRUE(IsGridLine(img, c, left, left.Scale().PixelCentre));
    EXPECT_TRUE(IsGridLine(img, c, bottom, bottom.Scale().PixelCentre));
    EXPECT_LE(GridPixels(img, c, left, left.Scale().PixelCentre - 1), 1);
    EXPECT_LE(GridPixels(img, c, bottom, bottom.Scale().PixelCentre + 1), 1);

    // The axis lines: two black pixels wide, over the frame's edge (the
    // ticks, drawn later, take one pixel of the left one).
    std::string leftLine(static_cast<std::size_t>(r.Height()), '#');
    leftLine[static_cast<std::size_t>(left.Scale().PixelCentre - r.Top)] = '.';
    EXPECT_EQ(RowPattern(img, r.Bottom - 1, r.Left, r.Right, clBlack), std::string(static_cast<std::size_t>(r.Width()), '#'));
    EXPECT_EQ(ColumnPattern(img, r.Left - 1, r.Top, r.Bottom, clBlack), leftLine);
    EXPECT_EQ(PixelColor(img, r.Left - 2, r.Top + 5), Face());
    EXPECT_EQ(PixelColor(img, r.Left + 5, r.Bottom + 1), Face());
}

TEST(AxisDraw, TitlesStandOutsideTheLabelsTheLeftOneReadingUpward) {
    for (const bool curve : {false, true}) {
        SCOPED_TRACE(curve ? "curve" : "empty");
        DrawnChart1 f;
        if (curve) f.LoadExampleCurve();
        const QImage& img = f.Paint();
        TChartAxis& left = f.chart.LeftAxis();
        TChartAxis& bottom = f.chart.BottomAxis();
        TChartCanvas& c = f.chart.Canvas();
        c.SelectChartFont(left.Title().Font());
        const int h = c.CharHeight(), w = c.MeasureWidth(left.Title().Caption());

        // Left: all of it just outside TitleEdgePos, centred on the axis, as
        // tall as the text is long.
        const TRect ink = InkIn(img, {1, 1, left.TitleEdgePos + 1, f.chart.Height() - 1});
        EXPECT_LE(ink.Right, left.TitleEdgePos);
        EXPECT_GE(ink.Left, left.TitleEdgePos - h);
        EXPECT_GT(ink.Height(), w - 6);
        EXPECT_LE(ink.Height(), w);
        EXPECT_LE(std::abs((ink.Top + ink.Bottom) / 2 - left.Scale().PixelCentre), 3);
        // Reading upward, "水" is at the bottom and the short "m" at the top,
        // on the letters' bottom to the right; reading downward the top rows
        // would hold the "水", right across the band.
        std::size_t first = std::string::npos, last = 0;
        for (int y = ink.Top; y < ink.Top + 5; ++y) {
            const std::string row = RowPattern(img, y, ink.Left, ink.Right, clBlack);
            first = std::min(first, row.find('#'));
            if (row.rfind('#') != std::string::npos) last = std::max(last, row.rfind('#'));
        }
        EXPECT_GE(first, 3u);
        EXPECT_GE(last + 2, static_cast<std::size_t>(ink.Width()));
        EXPECT_FALSE(InkIn(img, {left.TitleEdgePos, 1, left.LabelsEdgePos, f.chart.Height() - 1}).IsEmpty());

        // Bottom: centred on the axis, its top on TitleEdgePos.
        const TRect under = InkIn(img, {1, bottom.TitleEdgePos, f.chart.Width() - 1, f.chart.Height() - 1});
        EXPECT_GE(under.Top, bottom.TitleEdgePos);
        EXPECT_LE(under.Bottom, bottom.TitleEdgePos + h);
        EXPECT_LE(std::abs((under.Left + under.Right) / 2 - bottom.Scale().PixelCentre), 3);
    }
}

// ---------------------------------------------------------------------------
TEST(AxisDraw, ZeroToTenWithStepTwoRunsDownFromTheTopWithoutGridAtTheEnds) {
    DrawnChart1 f({{0, 0}, {10, 10}});
    f.chart.LeftAxis().SetIncrement(2);
    f.chart.BottomAxis().SetIncrement(2);
    const QImage& img = f.Paint();
    TChart& c = f.chart;
    const TRect r = c.PlotRect();
    const Labels expected{{10, "10"}, {8, "8"}, {6, "6"}, {4, "4"}, {2, "2"}, {0, "0"}};

    for (TChartAxis* a : {&c.LeftAxis(), &c.BottomAxis()}) {
        SCOPED_TRACE(a->Horizontal() ? "bottom" : "left");
        EXPECT_EQ(a->TickPositions(), PixelsOf(*a, {10, 8, 6, 4, 2, 0}));
        // The two ends lie on the axis' ends: ticks there, grid lines not.
        const int top = a->ValueToPixel(10), zero = a->ValueToPixel(0);
        EXPECT_EQ(std::minmax(top, zero), std::minmax(a->Scale().PixelStart, a->Scale().PixelEnd));
        for (const int t : a->TickPositions()) {
            const bool end = t == a->Scale().PixelStart || t == a->Scale().PixelEnd;
            if (end)
                EXPECT_EQ(GridPixels(img, c, *a, t), 0) << t;
            else
                EXPECT_TRUE(IsGridLine(img, c, *a, t)) << t;
            const std::string tick = a->Horizontal() ? ColumnPattern(img, t, r.Bottom + 1, r.Bottom + 6, clChartGray)
                                                     : RowPattern(img, t, r.Left - 6, r.Left, clChartGray);
            EXPECT_EQ(tick, a->Horizontal() ? "####." : "..####") << t;
        }
    }
    // The frame at the top and right stays solid black where the end labels stand.
    EXPECT_EQ(RowPattern(img, r.Top, r.Left, r.Right + 1, clBlack), std::string(static_cast<std::size_t>(r.Width() + 1), '#'));
    EXPECT_EQ(ColumnPattern(img, r.Right, r.Top, r.Bottom + 1, clBlack), std::string(static_cast<std::size_t>(r.Height() + 1), '#'));

    EXPECT_TRUE(SameIn(img, ExpectedLabels(c.LeftAxis(), expected, c.Width(), c.Height()), LeftLabelsBand(c)));
    EXPECT_TRUE(SameIn(img, ExpectedLabels(c.BottomAxis(), expected, c.Width(), c.Height()), BottomLabelsBand(c)));
}

TEST(AxisDraw, FirstLabelIsTheTopRoundedDownToTheStep) {
    DrawnChart1 f({{0, 1.55}, {1, 3.02}});
    TChart& c = f.chart;
    TChartAxis& left = c.LeftAxis();
    left.SetIncrement(0.5);
    const QImage& img = f.Paint();
    // 3.02 / 0.5 cut to 6: labels 3, 2.5, 2; 1.5 lies below 1.55.
    EXPECT_EQ(left.TickPositions(), PixelsOf(left, {3, 2.5, 2}));
    EXPECT_TRUE(SameIn(img, ExpectedLabels(left, {{3, "3"}, {2.5, "2.5"}, {2, "2"}}, c.Width(), c.Height()), LeftLabelsBand(c)));

    // Without rounding the labels start at the top of the range itself.
    left.SetRoundFirstLabel(false);
    const QImage& uneven = f.Paint();
    EXPECT_EQ(left.TickPositions(), PixelsOf(left, {3.02, 2.52, 2.02}));
    EXPECT_TRUE(SameIn(uneven, ExpectedLabels(left, {{3.02, "3.02"}, {2.52, "2.52"}, {2.02, "2.02"}}, c.Width(), c.Height()),
                       LeftLabelsBand(c)));
}

// ---------------------------------------------------------------------------
// One axis drawn on its own into the chart's bitmap, its scale set by hand.
namespace {
struct AxisAlone {
    AxisAlone() {
        chart.Canvas().SetPixelsPerInch(120);
        series = new TChartSeries;
        series->SetParentChart(&chart);
        series->AddPoint(0, 0);
        chart.SetPlotRect({20, 20, 280, 180});
    }
    // The bottom axis from x = 75 to 165 at 10 pixels per unit, from 1.5 to 10.5.
    void BottomScale() {
        TChartAxis& a = chart.BottomAxis();
        a.SetIncrement(4);
        a.SetScale(1.5, 10.5, 75, 165);
        a.LabelsEdgePos = 187;
    }
    const QImage& Draw(TChartAxis& a) {
        TChartCanvas& c = chart.Canvas();
        const TRect all{0, 0, 300, 220};
        c.StartBuffer(nullptr, all);
        c.SelectBrush(clWhite, bsSolid);
        c.FillRectangle(all);
        a.DrawAxis();
        c.CopyBufferTo(nullptr, all);
        return c.Bitmap();
    }
    TChart chart;
    TChartSeries* series;
};
std::string Marks(const std::string& row, int from) {
    std::string s;
    for (std::size_t i = 0; i < row.size(); ++i)
        if (row[i] == '#') s += std::to_string(from + static_cast<int>(i)) + " ";
    return s;
}
}  // namespace

TEST(AxisDraw, MinorTicksBetweenAndBeyondTheLabels) {
    AxisAlone f;
    f.BottomScale();
    TChartAxis& a = f.chart.BottomAxis();
    const QImage& img = f.Draw(a);
    ASSERT_EQ(a.TickPositions(), (std::vector<int>{140, 100}));  // labels 8 and 4
    const int y = a.AxisLinePos;
    ASSERT_EQ(y, 180);
    // Minor ticks are two pixels long, the label ticks four; 70 and 170 lie
    // outside 75 ... 165.
    EXPECT_EQ(Marks(RowPattern(img, y + 1, 60, 190, clChartGray), 60), "80 90 100 110 120 130 140 150 160 ");
    EXPECT_EQ(Marks(RowPattern(img, y + 2, 60, 190, clChartGray), 60), "80 90 100 110 120 130 140 150 160 ");
    EXPECT_EQ(Marks(RowPattern(img, y + 3, 60, 190, clChartGray), 60), "100 140 ");
    EXPECT_EQ(Marks(RowPattern(img, y + 5, 60, 190, clChartGray), 60), "");

    // Shown as a minor grid instead, with the ticks off: the minor grid's own
    // pen (solid black once shown) across the plot, at the same places.
    a.MinorTicks().Hide();
    a.MinorGrid().Show();
    const QImage& grid = f.Draw(a);
    EXPECT_EQ(Marks(RowPattern(grid, y + 1, 60, 190, clChartGray), 60), "100 140 ");
    EXPECT_EQ(Marks(RowPattern(grid, 21, 60, 190, clBlack), 60), "80 90 110 120 130 150 160 ");
    EXPECT_EQ(Marks(RowPattern(grid, 21, 60, 190, clChartGray), 60), "100 140 ");
    EXPECT_EQ(ColumnPattern(grid, 110, 20, 181, clBlack), "." + std::string(160, '#'));
    EXPECT_EQ(Marks(RowPattern(grid, 20, 60, 190, clBlack), 60), "");

    // No minor ticks at all for a count below one (and no division by zero).
    a.MinorGrid().Hide();
    a.MinorTicks().Show();
    a.SetMinorTickCount(-1);
    EXPECT_EQ(Marks(RowPattern(f.Draw(a), y + 1, 60, 190, clChartGray), 60), "100 140 ");
}

TEST(AxisDraw, TicksAndGridFollowTheirSwitches) {
    AxisAlone f;
    f.BottomScale();
    TChartAxis& a = f.chart.BottomAxis();
    a.SetIncrement(2);  // labels 10, 8, 6, 4, 2 at 160, 140, 120, 100, 80
    a.SetLabelsSeparation(0);  // the increment stands, however close the labels
    a.MinorTicks().Hide();
    auto gridAt = [&](const QImage& img) { return Marks(RowPattern(img, 21, 60, 190, clChartGray), 60); };

    EXPECT_EQ(gridAt(f.Draw(a)), "80 100 120 140 160 ");
    a.Grid().SetDrawEvery(2);
    EXPECT_EQ(gridAt(f.Draw(a)), "80 120 160 ");  // entries 0, 2, 4 of 160 ... 80
    a.Grid().SetCentered(true);
    EXPECT_EQ(gridAt(f.Draw(a)), "90 130 ");  // between entries 1/2 and 3/4
    a.Grid().SetDrawEvery(0);                 // read as every line
    EXPECT_EQ(gridAt(f.Draw(a)), "90 110 130 150 ");
    a.Grid().SetCentered(false);
    a.Grid().SetDrawEvery(1);
    a.Grid().SetColor(clDefault);  // the automatic colour is drawn grey
    EXPECT_EQ(gridAt(f.Draw(a)), "80 100 120 140 160 ");
    a.Grid().SetColor(clRed);
    EXPECT_EQ(Marks(RowPattern(f.Draw(a), 21, 60, 190, clRed), 60), "80 100 120 140 160 ");

    // Labels only inside the axis: the label 10 stands just inside 165, 2 at 80;
    // with an axis from 80 to 160 both end labels drop out.
    a.SetScale(2, 10, 80, 160);
    a.SetLabelsOnAxis(false);
    f.Draw(a);
    EXPECT_EQ(a.TickPositions(), (std::vector<int>{140, 120, 100}));
    a.SetLabelsOnAxis(true);
    f.Draw(a);
    EXPECT_EQ(a.TickPositions(), (std::vector<int>{160, 140, 120, 100, 80}));

    // Labels off: no ticks either, unless ticks need no labels.
    a.SetLabels(false);
    f.Draw(a);
    EXPECT_TRUE(a.TickPositions().empty());
    a.SetTickOnLabelsOnly(false);
    const QImage& bare = f.Draw(a);
    EXPECT_EQ(a.TickPositions(), (std::vector<int>{160, 140, 120, 100, 80}));
    EXPECT_TRUE(InkBounds(bare.copy(0, a.LabelsEdgePos, 300, 30), clWhite).IsEmpty());  // no text
    a.SetLabels(true);
    f.Draw(a);
    EXPECT_EQ(a.TickPositions(), (std::vector<int>{160, 140, 120, 100, 80}));  // still once each

    // Inner ticks run inward from the line; a hidden axis pen draws no line.
    a.SetTickOnLabelsOnly(true);
    a.SetTickInnerLength(3);
    a.Grid().Hide();
    a.Axis().Hide();
    const QImage& inner = f.Draw(a);
    // 177..179 inward from the line, 181..184 outward.
    EXPECT_EQ(ColumnPattern(inner, 120, 174, 186, clChartGray), "...###.####.");
    EXPECT_EQ(Marks(RowPattern(inner, 180, 60, 190, clBlack), 60), "");
}

TEST(AxisDraw, TheOtherSidesAndUprightLabels) {
    // A series on the top and right axes: those two are shown, the others not.
    TChart chart;
    chart.Canvas().SetPixelsPerInch(120);
    ImageHost host(chart);
    auto* s = new TChartSeries;
    s->SetParentChart(&chart);
    s->SetHorizAxis(aTopAxis);
    s->SetVertAxis(aRightAxis);
    s->AddPoint(0, 0);
    s->AddPoint(10, 10);
    TChartAxis& top = chart.TopAxis();
    TChartAxis& right = chart.RightAxis();
    top.SetIncrement(5);
    right.SetIncrement(5);
    host.Expose();
    const QImage& img = host.screen;
    ASSERT_TRUE(top.IsShown && right.IsShown);
    ASSERT_FALSE(chart.BottomAxis().IsShown || chart.LeftAxis().IsShown);
    EXPECT_EQ(top.TickPositions(), PixelsOf(top, {10, 5, 0}));
    EXPECT_EQ(right.TickPositions(), PixelsOf(right, {10, 5, 0}));
    const Labels labels{{10, "10"}, {5, "5"}, {0, "0"}};
    const QImage expected = ExpectedLabels({{&top, labels}, {&right, labels}}, chart.Width(), chart.Height());
    EXPECT_TRUE(SameIn(img, expected, {1, 1, right.LabelsEdgePos, top.LabelsEdgePos}));
    EXPECT_TRUE(SameIn(img, expected, {right.LabelsEdgePos, 1, chart.Width() - 1, chart.Height() - 1}));
    // Ticks point outward: up from the top axis line, right from the right one.
    EXPECT_EQ(ColumnPattern(img, top.ValueToPixel(5), top.AxisLinePos - 6, top.AxisLinePos, clChartGray), "..####");
    EXPECT_EQ(RowPattern(img, right.ValueToPixel(5), right.AxisLinePos + 1, right.AxisLinePos + 7, clChartGray), "####..");

    // Bottom labels turned to read upward: below the edge, across p - half
    // to p - half + h, as tall as the text is long.
    DrawnChart1 f({{1000, 495}, {5000, 530}});
    TChartAxis& bottom = f.chart.BottomAxis();
    bottom.SetLabelsAngle(90);
    bottom.SetIncrement(1000);
    const QImage& up = f.Paint();
    f.chart.Canvas().SelectChartFont(bottom.LabelsFont());
    const int lh = f.chart.Canvas().CharHeight(), wide = f.chart.Canvas().MeasureWidth("4,000");
    ASSERT_EQ(bottom.TickPositions(), PixelsOf(bottom, {5000, 4000, 3000, 2000, 1000}));
    const int p = bottom.ValueToPixel(4000);
    const TRect label = InkIn(up, {p - lh / 2 - 2, bottom.LabelsEdgePos, p - lh / 2 + lh + 2, bottom.TitleEdgePos});
    EXPECT_GE(label.Left, p - lh / 2);
    EXPECT_LE(label.Right, p - lh / 2 + lh);
    EXPECT_GT(label.Height(), wide - 6);
    EXPECT_LE(label.Height(), wide);
}

TEST(AxisDraw, AnOpaqueLabelFormatBoxesEachLabel) {
    AxisAlone f;
    f.BottomScale();
    TChartAxis& a = f.chart.BottomAxis();
    a.Items().Format().SetTransparent(false);
    a.Items().Format().SetColor(clYellow);
    const QImage& img = f.Draw(a);
    TChartCanvas& c = f.chart.Canvas();
    c.SelectChartFont(a.LabelsFont());
    const int h = c.CharHeight(), w = c.MeasureWidth("8") + c.MeasureWidth("W") / 2 * 2;
    // The box of "8": yellow inside a black frame, centred on 140 from the labels edge down.
    const int left = 140 - w / 2, right = left + w;
    EXPECT_EQ(RowPattern(img, a.LabelsEdgePos, left - 2, right + 2, clBlack), ".." + std::string(static_cast<std::size_t>(w), '#') + "..");
    EXPECT_EQ(PixelColor(img, left + 1, a.LabelsEdgePos + 1), clYellow);
    EXPECT_EQ(PixelColor(img, right - 1, a.LabelsEdgePos + h - 1), clBlack);
    EXPECT_EQ(PixelColor(img, right - 2, a.LabelsEdgePos + h - 2), clYellow);
}

// ---------------------------------------------------------------------------
// The window's chart with the example curve as a line, written out for a look.
TEST(AxisDraw, Chart1PictureWithTheCurve) {
    TChart chart;
    chart.Canvas().SetPixelsPerInch(120);
    chart.LoadLayout(CurveChartLayout());
    ImageHost host(chart);
    auto* line = new TLineSeries;
    line->SetParentChart(&chart);
    std::ifstream in(std::string(QUELMORA_SOURCE_DIR) + "/examples/curve.txt");
    std::string text;
    std::getline(in, text);
    double z, v;
    char comma;
    while (in >> z >> comma >> v) line->AddPoint(v, z);
    host.Expose();
    const QImage& img = host.screen;
    TChartAxis& left = chart.LeftAxis();
    TChartAxis& bottom = chart.BottomAxis();
    EXPECT_EQ(left.TickPositions(), PixelsOf(left, {530, 525, 520, 515, 510, 505, 500, 495}));
    EXPECT_EQ(bottom.TickPositions(), PixelsOf(bottom, {7, 6.5, 6, 5.5, 5, 4.5, 4, 3.5, 3, 2.5, 2}));
    const Labels bottomLabels{{7, "7"}, {6.5, "6.5"}, {6, "6"}, {5.5, "5.5"}, {5, "5"}, {4.5, "4.5"},
                              {4, "4"}, {3.5, "3.5"}, {3, "3"}, {2.5, "2.5"}, {2, "2"}};
    EXPECT_TRUE(SameIn(img, ExpectedLabels(bottom, bottomLabels, chart.Width(), chart.Height()), BottomLabelsBand(chart)));

    const QString dir = QString(QUELMORA_BINARY_DIR) + "/chart_renders";
    QDir().mkpath(dir);
    ASSERT_TRUE(img.save(dir + "/chart1_axes_curve.png"));
}

// ---------------------------------------------------------------------------
// Deep in a zoom the labels take the decimals their step needs, so that no
// two read alike, and stand apart; a step the pattern writes keeps its texts.
TEST(AxisDraw, LabelsTellTheirTicksApartAtEveryZoom) {
    struct Case {
        double lo, hi;   // both axes' range
        bool widened;    // labels need more decimals than "0.###" has
    };
    const Case cases[] = {{0, 10, false},       {1.55, 3.02, false},     {48.5, 48.6, false},
                          {48.53, 48.532, true}, {48.5301, 48.5302, true}, {-0.0004, 0.0011, true},
                          {1039.06, 1039.0635, true}};
    for (const Case& k : cases) {
        DrawnChart1 f({{k.lo, k.lo}, {k.hi, k.hi}});
        TChart& c = f.chart;
        c.BottomAxis().SetRange(k.lo, k.hi);
        c.LeftAxis().SetRange(k.lo, k.hi);
        f.Paint();
        for (TChartAxis* axis : {&c.BottomAxis(), &c.LeftAxis()}) {
            const TAxisTicks& ticks = axis->DrawnTicks;
            ASSERT_GE(ticks.size(), 2u) << k.lo << ".." << k.hi;
            std::vector<std::string> sorted;
            for (const TAxisTick& t : ticks) sorted.push_back(t.Text);
            std::sort(sorted.begin(), sorted.end());
            EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end())
                << k.lo << ".." << k.hi << ": a label repeats, the first " << ticks.front().Text;
            // The decimals of the labels: the pattern's unless widened (up
            // the left axis; along the bottom a coarser step may serve
            // instead, its labels fitting apart).
            std::size_t decimals = 0;
            for (const TAxisTick& t : ticks)
                if (const std::size_t point = t.Text.find('.'); point != std::string::npos)
                    decimals = std::max(decimals, t.Text.size() - point - 1);
            if (!axis->Horizontal()) {
                EXPECT_EQ(decimals > 3, k.widened) << k.lo << ".." << k.hi << ": " << ticks.front().Text;
            }
            // Along the bottom axis the labels stand apart.
            if (axis->Horizontal()) {
                c.Canvas().SelectChartFont(axis->LabelsFont());
                for (std::size_t i = 1; i < ticks.size(); ++i)
                    EXPECT_GE(std::abs(ticks[i].Pixel - ticks[i - 1].Pixel),
                              (c.Canvas().MeasureWidth(ticks[i].Text) + c.Canvas().MeasureWidth(ticks[i - 1].Text)) / 2)
                        << ticks[i - 1].Text << " and " << ticks[i].Text;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// The tick list is the axis: its labels are the texts written, at their
// pixels; the ticks stand at those pixels and nowhere else, grid lines at
// those inside the axis; and the labels band up the left axis holds the
// widest of them and no more. On value and date axes, inverted, zoomed,
// logarithmic, with the labels at the ends left out, and without points.
TEST(AxisTicks, TheListIsWhatIsDrawnAndWhatTheBandHolds) {
    enum Data { Values, DatesAlong, DatesUp, NoDatesUp };
    struct Case {
        const char* name;
        Data data;
        bool inverted = false, logarithmic = false, inside = false;
        double from = 0, to = 0;  // a range set on the date axis, or on both value axes
    };
    const double day = 45000.3;  // 2023-03-15 07:12
    const Case cases[] = {
        {"values", Values},
        {"values inverted", Values, true},
        {"values logarithmic", Values, false, true},
        {"values inside", Values, false, false, true, 2, 6},
        {"values zoomed deep", Values, false, false, false, 5.00001, 5.00004},
        {"dates along", DatesAlong},
        {"dates along inverted", DatesAlong, true},
        {"dates along zoomed", DatesAlong, false, false, false, day + 1, day + 1 + 20.0 / 1440},
        {"dates up", DatesUp},
        {"dates up, a minute, inside", DatesUp, false, false, true, day, day + 1.0 / 1440},
        {"dates up inverted", DatesUp, true},
        {"no dates up", NoDatesUp},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        DrawnChart1 f;
        TChart& c = f.chart;
        TChartAxis& bottom = c.BottomAxis();
        TChartAxis& left = c.LeftAxis();
        TChartAxis& dates = k.data == DatesAlong ? bottom : left;
        if (k.data == DatesAlong) f.series->XValues()->SetDateTime(true);
        if (k.data == DatesUp || k.data == NoDatesUp) f.series->YValues()->SetDateTime(true);
        for (int i = 0; i < 40 && k.data != NoDatesUp; ++i) {
            const double t = day + i * 3.0 / 39, v = 1 + 0.2 * i + (i % 3);
            if (k.data == DatesUp)
                f.series->AddPoint(v, t);
            else
                f.series->AddPoint(k.data == DatesAlong ? t : v, v * v);
        }
        for (TChartAxis* a : {&bottom, &left}) {
            a->MinorTicks().Hide();  // the tick row shows the label ticks alone
            a->SetInverted(k.inverted);
            a->SetLogarithmic(k.logarithmic);
            a->SetLabelsOnAxis(!k.inside);
            if (k.from != k.to && (k.data == Values || a == &dates)) a->SetRange(k.from, k.to);
        }
        const QImage& img = f.Paint();
        const TRect r = c.PlotRect();
        TChartCanvas& canvas = c.Canvas();

        AxisLabels expected;
        std::vector<Labels> labels(2);
        for (TChartAxis* a : {&bottom, &left}) {
            SCOPED_TRACE(a->Horizontal() ? "bottom" : "left");
            const TAxisTicks& ticks = a->DrawnTicks;
            const int start = a->Scale().PixelStart, end = a->Scale().PixelEnd;
            // The ticks of the axis in order (value labels from the top of
            // the range down, date labels from the start), each at its value.
            const bool up = a->IsDateTimeAxis() ? !k.inverted == a->Horizontal() : k.inverted == a->Horizontal();
            for (std::size_t i = 0; i < ticks.size(); ++i) {
                EXPECT_EQ(ticks[i].Pixel, a->ValueToPixel(ticks[i].Value)) << ticks[i].Text;
                EXPECT_FALSE(ticks[i].Text.empty());
                if (k.inside) {
                    EXPECT_TRUE(start < ticks[i].Pixel && ticks[i].Pixel < end) << ticks[i].Text;
                }
                if (i > 0) {
                    EXPECT_EQ(ticks[i].Pixel > ticks[i - 1].Pixel, up) << ticks[i].Text;
                }
            }
            EXPECT_EQ(ticks.empty(), k.data == NoDatesUp && a == &left);
            // Ticks at the tick pixels and nowhere else along the axis.
            std::string tickRow, tickAt;
            const int size = a->Horizontal() ? img.width() : img.height();
            tickRow = a->Horizontal() ? RowPattern(img, a->AxisLinePos + 3, 0, size, clChartGray)
                                      : ColumnPattern(img, a->AxisLinePos - 3, 0, size, clChartGray);
            tickAt.assign(static_cast<std::size_t>(size), '.');
            for (const TAxisTick& t : ticks) {
                if (t.Pixel >= 0 && t.Pixel < size) tickAt[static_cast<std::size_t>(t.Pixel)] = '#';
                if (start < t.Pixel && t.Pixel < end) {
                    EXPECT_TRUE(IsGridLine(img, c, *a, t.Pixel)) << t.Text;
                }
            }
            EXPECT_EQ(tickRow, tickAt);
            Labels& own = labels[a->Horizontal() ? 0 : 1];
            for (const TAxisTick& t : ticks) own.emplace_back(t.Value, t.Text);
            expected.emplace_back(a, own);
        }

        // The labels written are the ticks' texts at their pixels.
        const QImage written = ExpectedLabels(expected, c.Width(), c.Height());
        const TRect leftBand{left.TitleEdgePos, 1, left.LabelsEdgePos, bottom.LabelsEdgePos};
        const TRect bottomBand{1, bottom.LabelsEdgePos, c.Width() - 1, bottom.TitleEdgePos};
        EXPECT_TRUE(SameIn(img, written, bottomBand));
        if (left.DrawnTicks.empty()) {
            EXPECT_TRUE(InkIn(img, leftBand).IsEmpty());
        } else {
            EXPECT_TRUE(SameIn(img, written, leftBand));
        }
        // The left band: the widest label drawn and a space, measured from
        // the same list at the layout's scale.
        canvas.SelectChartFont(left.LabelsFont());
        int widest = 0;
        for (const TAxisTick& t : left.DrawnTicks) widest = std::max(widest, canvas.MeasureWidth(t.Text));
        EXPECT_EQ(left.LabelsEdgePos - left.TitleEdgePos, widest + canvas.MeasureWidth(" "));
        EXPECT_EQ(r.Left, left.LabelsEdgePos + 7);
    }
}
