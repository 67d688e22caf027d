// The line series drawn in the window's chart: which segments appear, where a
// zoomed line meets the chart's edges, null points, stairs, colours, pointers,
// an inverted axis. Every rendered line is compared pixel for pixel with the
// segments it should consist of.

#include "test_line_series_fixture.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <random>

namespace {

// The pixel of a data point on the chart's bottom and left axes, as the last paint mapped them.
QPoint At(LineChart& c, double x, double y) {
    return {c.chart.BottomAxis().ValueToPixel(x), c.chart.LeftAxis().ValueToPixel(y)};
}

std::vector<RefSegment> Polyline(const std::vector<QPoint>& points, TColor color = clRed) {
    std::vector<RefSegment> s;
    for (std::size_t i = 1; i < points.size(); ++i)
        s.push_back({points[i - 1], points[i], color});
    return s;
}

::testing::AssertionResult LooksLike(LineChart& c, const std::vector<RefSegment>& segments,
                                     std::initializer_list<TColor> colors = {clRed}, int penWidth = 1) {
    const QImage& img = c.host->screen;
    return SameInk(img, ReferenceDrawing(img.size(), c.Inside(), segments, penWidth), colors);
}

} // namespace

TEST(LineDrawing, OnePointLeavesNoInkUnlessItsPointerShows) {
    LineChart c;
    // A wide pen would leave a round dot for a segment of no length.
    c.series->LinePen().SetWidth(3);
    c.Add({{2, 7}});
    EXPECT_EQ(CountInk(c.Render(), clRed), 0);
    EXPECT_EQ(c.series->FirstShownIndex, 0);
    EXPECT_EQ(c.series->LastShownIndex, 0);

    c.series->Pointer().SetVisible(true);
    const QImage& img = c.Render();
    const QPoint p = c.Pixel(0);
    // Both axes have a zero range: the point sits at their centres.
    EXPECT_EQ(p, QPoint(c.chart.BottomAxis().Scale().PixelCentre, c.chart.LeftAxis().Scale().PixelCentre));
    // A 9 x 9 marker, both corners included: a black frame around red.
    EXPECT_EQ(CountInk(img, clRed), 49);
    for (int d = -4; d <= 4; ++d) {
        EXPECT_EQ(PixelColor(img, p.x() + d, p.y() - 4), clBlack) << d;
        EXPECT_EQ(PixelColor(img, p.x() + d, p.y() + 4), clBlack) << d;
        EXPECT_EQ(PixelColor(img, p.x() - 4, p.y() + d), clBlack) << d;
        EXPECT_EQ(PixelColor(img, p.x() + 4, p.y() + d), clBlack) << d;
    }
    EXPECT_EQ(PixelColor(img, p.x(), p.y()), clRed);
    EXPECT_NE(PixelColor(img, p.x() + 5, p.y()), clBlack);
    EXPECT_NE(PixelColor(img, p.x(), p.y() + 5), clBlack);
}

TEST(LineDrawing, PointsOnOnePixelAreNotJoinedAndTheLineGoesOnFromThere) {
    LineChart c;
    c.series->LinePen().SetWidth(3);
    c.Add({{5, 5}, {5, 5}, {5, 5}});
    EXPECT_EQ(CountInk(c.Render(), clRed), 0);

    c.series->RemoveAllPoints();
    c.series->LinePen().SetWidth(1);
    c.Add({{0, 0}, {1e-9, 1e-9}, {2e-9, 0}, {10, 10}, {20, 0}});
    c.Render();
    ASSERT_EQ(c.Pixel(0), c.Pixel(1));
    ASSERT_EQ(c.Pixel(0), c.Pixel(2));
    EXPECT_TRUE(LooksLike(c, Polyline({c.Pixel(0), c.Pixel(3), c.Pixel(4)})));

    // No segment means no pen set up for it: with the last two points on one
    // pixel, the pen is still the one of the segment before.
    c.series->RemoveAllPoints();
    c.series->SetColorEachPoint(true);
    c.series->AddPoint(0, 0, "", clGreen);
    c.series->AddPoint(10, 10, "", clTeal);
    c.series->AddPoint(10 + 1e-9, 10, "", clPurple);
    TColor penAtEnd = clNone;
    c.series->AfterDrawValues = [&](TChartSeries*) { penAtEnd = c.chart.Canvas().Pen().Color; };
    c.Render();
    ASSERT_EQ(c.Pixel(1), c.Pixel(2));
    EXPECT_EQ(penAtEnd, clTeal);
    EXPECT_EQ(CountInk(c.host->screen, clPurple), 0);
}

TEST(LineDrawing, ANullPointBreaksTheLineOnBothSides) {
    LineChart c;
    c.Add({{0, 0}, {1, 30}});
    c.series->AddPoint(2, 10, "", clNone);
    c.Add({{3, 40}, {4, 20}});
    c.Render();
    const auto p = [&](int i) { return At(c, i, c.series->YValueAt(i)); };
    EXPECT_TRUE(LooksLike(c, {{p(0), p(1)}, {p(3), p(4)}}));

    // Null at either end: the line runs between the others only.
    c.series->RemoveAllPoints();
    c.series->AddPoint(0, 0, "", clNone);
    c.Add({{1, 30}, {2, 10}, {3, 40}});
    c.series->AddPoint(4, 20, "", clNone);
    c.Render();
    EXPECT_TRUE(LooksLike(c, Polyline({p(1), p(2), p(3)})));

    // Two nulls in a row, and a point left alone between nulls.
    c.series->RemoveAllPoints();
    c.Add({{0, 0}});
    c.series->AddPoint(1, 30, "", clNone);
    c.Add({{2, 10}});
    c.series->AddPoint(3, 40, "", clNone);
    c.series->AddPoint(4, 20, "", clNone);
    c.Add({{5, 50}, {6, 0}});
    c.Render();
    EXPECT_TRUE(LooksLike(c, {{p(5), p(6)}}));
}

TEST(LineDrawing, AZoomedLineStartsAtTheLeftEdgeBetweenTheNeighboursAndLeavesOnTheRight) {
    LineChart c;
    c.Add({{0, 0}, {1, 10}, {2, 20}, {3, 40}, {4, 30}, {5, 50}, {6, 60}});
    c.chart.BottomAxis().SetRange(2.5, 4.5);
    c.chart.LeftAxis().SetRange(0, 60);
    const QImage& img = c.Render();
    EXPECT_EQ(c.series->FirstShownIndex, 3);
    EXPECT_EQ(c.series->LastShownIndex, 5); // the first point beyond the right edge
    const TRect plot = c.chart.PlotRect();
    // The left column is X = 2.5: halfway from point 2 (Y 20) to point 3 (Y 40).
    const QPoint edge(plot.Left, c.chart.LeftAxis().ValueToPixel(30));
    EXPECT_TRUE(LooksLike(c, Polyline({edge, At(c, 3, 40), At(c, 4, 30), At(c, 5, 50)})));
    // Drawn up to both edges: the first and last columns inside the frame carry the line.
    EXPECT_GT(CountInkInColumn(img, plot.Left + 1, clRed), 0);
    EXPECT_GT(CountInkInColumn(img, plot.Right - 1, clRed), 0);
    EXPECT_EQ(CountInkInColumn(img, plot.Right + 1, clRed), 0);

    // Stairs leave a point level: the line enters at the height of point 2.
    c.series->SetStairs(true);
    c.Render();
    const QPoint p2 = At(c, 2, 20), p3 = At(c, 3, 40), p4 = At(c, 4, 30), p5 = At(c, 5, 50);
    EXPECT_TRUE(LooksLike(c, {{{plot.Left, p2.y()}, {p3.x(), p2.y()}},
                              {{p3.x(), p2.y()}, p3},
                              {p3, {p4.x(), p3.y()}},
                              {{p4.x(), p3.y()}, p4},
                              {p4, {p5.x(), p4.y()}},
                              {{p5.x(), p4.y()}, p5}}));
}

TEST(LineDrawing, TheEdgeInterpolationFollowsTheLogarithmsOnALogarithmicAxis) {
    LineChart c;
    c.Add({{0, 1}, {1, 10}, {2, 1000}, {3, 100}});
    c.chart.LeftAxis().SetLogarithmic(true);
    c.chart.BottomAxis().SetRange(1.5, 3);
    c.chart.LeftAxis().SetRange(0, 1000);
    c.Render();
    // Halfway between 10 and 1000 in logarithms is 100 (the linear mean would be 505).
    const QPoint edge(c.chart.PlotRect().Left, c.chart.LeftAxis().ValueToPixel(100));
    ASSERT_NE(edge.y(), c.chart.LeftAxis().ValueToPixel(505));
    EXPECT_TRUE(LooksLike(c, Polyline({edge, c.Pixel(2), c.Pixel(3)})));
}

TEST(LineDrawing, NothingShownSkipsTheSeriesAndItsEvents) {
    LineChart c;
    int before = 0, after = 0;
    c.series->BeforeDrawValues = [&](TChartSeries*) { ++before; };
    c.series->AfterDrawValues = [&](TChartSeries*) { ++after; };
    c.Add({{0, 0}, {1, 5}, {2, 3}});
    c.Render();
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    EXPECT_GT(CountInk(c.host->screen, clRed), 0);

    c.chart.BottomAxis().SetRange(10, 20);
    EXPECT_EQ(CountInk(c.Render(), clRed), 0);
    EXPECT_EQ(c.series->FirstShownIndex, -1);
    EXPECT_EQ(c.series->LastShownIndex, -1);
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
}

TEST(LineDrawing, UnorderedPointsAreAllDrawnInStoredOrderWhateverTheZoom) {
    LineChart c;
    c.series->XValues()->Order = loNone;
    c.Add({{3, 0}, {1, 10}, {4, 5}, {0, 8}});
    c.chart.BottomAxis().SetRange(1.5, 2.5);
    c.chart.LeftAxis().SetRange(0, 10);
    c.Render();
    EXPECT_EQ(c.series->FirstShownIndex, 0);
    EXPECT_EQ(c.series->LastShownIndex, 3);
    EXPECT_TRUE(LooksLike(c, Polyline({At(c, 3, 0), At(c, 1, 10), At(c, 4, 5), At(c, 0, 8)})));
}

TEST(LineDrawing, AnInvertedAxisDrawsFromTheLastPointToTheFirst) {
    LineChart c;
    c.series->Pointer().SetVisible(true);
    std::vector<int> order;
    c.series->OnGetPointerStyle = [&](TChartSeries*, int index) {
        order.push_back(index);
        return psRectangle;
    };
    c.Add({{0, 0}, {1, 30}, {2, 10}, {3, 40}});
    c.Render();
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_TRUE(c.series->DrawForward());

    order.clear();
    c.chart.BottomAxis().SetInverted(true);
    c.Render();
    EXPECT_EQ(order, (std::vector<int>{3, 2, 1, 0}));
    EXPECT_FALSE(c.series->DrawForward());
    EXPECT_GT(c.Pixel(0).x(), c.Pixel(3).x());

    // Without markers the line is the same polyline, mirrored.
    c.series->Pointer().SetVisible(false);
    c.Render();
    EXPECT_TRUE(LooksLike(c, Polyline({c.Pixel(3), c.Pixel(2), c.Pixel(1), c.Pixel(0)})));
}

TEST(LineDrawing, AZoomedLineOnAnInvertedAxisReachesBothEdges) {
    LineChart c;
    c.Add({{0, 0}, {1, 10}, {2, 30}, {3, 20}, {4, 40}});
    c.chart.BottomAxis().SetInverted(true);
    c.chart.BottomAxis().SetRange(0.5, 3.5);
    c.chart.LeftAxis().SetRange(0, 40);
    const QImage& img = c.Render();
    EXPECT_EQ(c.series->FirstShownIndex, 1);
    EXPECT_EQ(c.series->LastShownIndex, 4);
    const TRect plot = c.chart.PlotRect();
    // The right column is X = 0.5, halfway from point 0 (Y 0) to point 1 (Y 10).
    const QPoint edge(plot.Right, c.chart.LeftAxis().ValueToPixel(5));
    EXPECT_TRUE(LooksLike(c, Polyline({c.Pixel(4), c.Pixel(3), c.Pixel(2), c.Pixel(1), edge})));
    EXPECT_GT(CountInkInColumn(img, plot.Left + 1, clRed), 0);
    EXPECT_GT(CountInkInColumn(img, plot.Right - 1, clRed), 0);
}

TEST(LineDrawing, StairsGoAcrossThenUpOrUpThenAcross) {
    LineChart c;
    c.Add({{0, 0}, {1, 20}, {2, 10}, {3, 30}});
    c.series->SetStairs(true);
    c.Render();
    // A pen one pixel wide asks one pixel at each end of both axes.
    const TRect plot = c.chart.PlotRect();
    EXPECT_EQ(c.Pixel(0), QPoint(plot.Left + 1, plot.Bottom - 1));
    EXPECT_EQ(c.Pixel(3), QPoint(plot.Right - 1, plot.Top + 1));
    std::vector<RefSegment> across;
    for (int i = 1; i < 4; ++i) {
        const QPoint a = c.Pixel(i - 1), b = c.Pixel(i);
        across.push_back({a, {b.x(), a.y()}});
        across.push_back({{b.x(), a.y()}, b});
    }
    EXPECT_TRUE(LooksLike(c, across));

    c.series->SetInvertedStairs(true);
    c.Render();
    std::vector<RefSegment> up;
    for (int i = 1; i < 4; ++i) {
        const QPoint a = c.Pixel(i - 1), b = c.Pixel(i);
        up.push_back({a, {a.x(), b.y()}});
        up.push_back({{a.x(), b.y()}, b});
    }
    EXPECT_TRUE(LooksLike(c, up));
    ASSERT_TRUE(c.host->screen.save(RenderPath("line_inverted_stairs.png")));
}

TEST(LineDrawing, EachLineTakesItsPointsColourOnlyWithColorEachPointAndColorEachLine) {
    LineChart c;
    // A palette of the chart's own, clear of the title's blue.
    c.chart.ColorPalette = {clRed, clLime, clOlive, clPurple};
    c.Add({{0, 0}});
    c.series->AddPoint(1, 30, "", clGreen);
    c.series->AddPoint(2, 10, "", clTeal);
    c.Add({{3, 40}});
    c.Render();
    const QPoint p0 = c.Pixel(0), p1 = c.Pixel(1), p2 = c.Pixel(2), p3 = c.Pixel(3);
    const std::initializer_list<TColor> inks = {clRed, clGreen, clTeal, clPurple};
    EXPECT_TRUE(LooksLike(c, Polyline({p0, p1, p2, p3}), inks));

    // The segment into a point has the point's colour; an automatic point takes
    // its palette entry.
    c.series->SetColorEachPoint(true);
    c.Render();
    EXPECT_TRUE(LooksLike(c, {{p0, p1, clGreen}, {p1, p2, clTeal}, {p2, p3, clPurple}}, inks));

    c.series->SetColorEachLine(false);
    c.Render();
    EXPECT_TRUE(LooksLike(c, Polyline({p0, p1, p2, p3}), inks));
}

TEST(LineDrawing, TheLinePenDrawsTheLine) {
    LineChart c;
    c.Add({{0, 0}, {1, 30}, {2, 10}});
    c.Render();
    const int invalidations = c.host->invalidations;
    c.series->LinePen().SetWidth(1);
    EXPECT_EQ(c.host->invalidations, invalidations) << "an unchanged width repaints nothing";
    c.series->LinePen().SetWidth(3);
    EXPECT_GT(c.host->invalidations, invalidations);
    c.Render();
    EXPECT_TRUE(LooksLike(c, Polyline({c.Pixel(0), c.Pixel(1), c.Pixel(2)}), {clRed}, 3));

    // The pen's own colour is not the line's: the series colour is.
    c.series->LinePen().SetColor(clGreen);
    EXPECT_EQ(CountInk(c.Render(), clGreen), 0);

    c.series->LinePen().SetVisible(false);
    EXPECT_EQ(CountInk(c.Render(), clRed), 0);
}

TEST(LineDrawing, PointersGoOverTheSegmentsAndFollowTheirStyle) {
    LineChart c;
    c.series->Pointer().SetVisible(true);
    c.series->Pointer().Brush().SetColor(clYellow);
    c.Add({{0, 0}, {1, 30}, {2, 10}, {3, 40}});
    c.series->OnGetPointerStyle = [](TChartSeries*, int index) {
        return index == 2 ? psNothing : psRectangle;
    };
    const QImage& img = c.Render();
    for (int i : {0, 1, 3}) {
        const QPoint p = c.Pixel(i);
        // Filled after the lines that reach it: no red inside the frame.
        for (int dy = -3; dy <= 3; ++dy)
            for (int dx = -3; dx <= 3; ++dx)
                ASSERT_EQ(PixelColor(img, p.x() + dx, p.y() + dy), clYellow) << i << " " << dx << "," << dy;
        EXPECT_EQ(PixelColor(img, p.x() - 4, p.y() - 4), clBlack) << i;
        EXPECT_EQ(PixelColor(img, p.x() + 4, p.y() + 4), clBlack) << i;
    }
    EXPECT_EQ(PixelColor(img, c.Pixel(2).x(), c.Pixel(2).y()), clRed);
    EXPECT_EQ(CountInk(img, clYellow), 3 * 49);

    // A null point gets no marker; nor does any segment touch it.
    c.series->OnGetPointerStyle = nullptr;
    c.series->RemoveAllPoints();
    c.Add({{0, 0}});
    c.series->AddPoint(1, 30, "", clNone);
    c.Add({{2, 10}});
    c.series->AddPoint(3, 40, "", clNone);
    c.Render();
    EXPECT_EQ(CountInk(img, clYellow), 2 * 49);
    EXPECT_EQ(CountInk(img, clRed), 0);
}

TEST(LineDrawing, TheExampleCurveAcrossTheChartAndZoomed) {
    LineChart c;
    std::ifstream in(std::string(QUELMORA_SOURCE_DIR) + "/examples/curve.txt");
    std::string line;
    std::getline(in, line);
    std::vector<QPointF> curve;
    while (std::getline(in, line)) {
        // The file's decimal points, whatever locale the test runs under.
        double z = 0, v = 0;
        const char* end = line.data() + line.size();
        const auto [comma, zError] = std::from_chars(line.data(), end, z);
        if (zError == std::errc() && comma != end && *comma == ',' &&
            std::from_chars(comma + 1, end, v).ec == std::errc()) {
            c.series->AddPoint(v, z);
            curve.emplace_back(v, z);
        }
    }
    ASSERT_GT(curve.size(), 10u);
    const QImage& img = c.Render();
    ASSERT_TRUE(img.save(RenderPath("line_example_curve.png")));
    std::vector<QPoint> pixels;
    for (const QPointF& p : curve)
        pixels.push_back(At(c, p.x(), p.y()));
    EXPECT_TRUE(LooksLike(c, Polyline(pixels)));
    // The automatic ranges put the ends of the curve on the corners of the chart.
    const TRect plot = c.chart.PlotRect();
    EXPECT_EQ(pixels.front(), QPoint(plot.Left, plot.Bottom));
    EXPECT_EQ(pixels.back(), QPoint(plot.Right, plot.Top));

    c.chart.BottomAxis().SetRange(3, 4);
    c.chart.LeftAxis().SetRange(505, 515);
    c.Render();
    ASSERT_TRUE(img.save(RenderPath("line_example_curve_zoomed.png")));
    const int first = c.series->FirstShownIndex;
    ASSERT_GT(first, 0);
    ASSERT_LT(c.series->LastShownIndex, static_cast<int>(curve.size()) - 1);
    EXPECT_LT(curve[static_cast<std::size_t>(first - 1)].x(), 3);
    EXPECT_GE(curve[static_cast<std::size_t>(first)].x(), 3);
    const QPointF a = curve[static_cast<std::size_t>(first - 1)], b = curve[static_cast<std::size_t>(first)];
    const double yEdge = a.y() + (3 - a.x()) * (b.y() - a.y()) / (b.x() - a.x());
    std::vector<QPoint> shown{{plot.Left, c.chart.LeftAxis().ValueToPixel(yEdge)}};
    for (int i = first; i <= c.series->LastShownIndex; ++i)
        shown.push_back(At(c, curve[static_cast<std::size_t>(i)].x(), curve[static_cast<std::size_t>(i)].y()));
    EXPECT_TRUE(LooksLike(c, Polyline(shown)));
}

TEST(LineDrawing, EveryPixelOfALongCurveIsTheOneItsAxesGive) {
    // The pass maps as few values as it can; whatever the data, the picture must
    // be the polyline through each point's own mapping.
    std::mt19937 random(20240611);
    std::uniform_real_distribution<double> unit(0, 1);
    const auto check = [&](LineChart& c, const char* what) {
        c.Render();
        std::vector<QPoint> pixels;
        for (int i = 0; i < c.series->PointCount(); ++i)
            pixels.push_back(At(c, c.series->XValueAt(i), c.series->YValueAt(i)));
        if (!c.series->DrawForward()) std::reverse(pixels.begin(), pixels.end());
        EXPECT_TRUE(LooksLike(c, Polyline(pixels))) << what;
    };

    LineChart smooth;
    smooth.series->BeginDataUpdate();
    for (int i = 0; i < 20000; ++i)
        smooth.series->AddPoint(i * 0.001, std::sin(i * 3e-4) + 1e-3 * unit(random));
    smooth.series->EndDataUpdate();
    check(smooth, "a dense smooth curve");
    smooth.chart.BottomAxis().SetInverted(true);
    check(smooth, "the same, inverted");
    smooth.chart.LeftAxis().SetRange(0.2, 0.4); // most points far outside the rows
    check(smooth, "the same, zoomed in height");

    LineChart noisy;
    for (int i = 0; i < 3000; ++i)
        noisy.series->AddPoint(unit(random) * 10, unit(random));
    noisy.series->AddPoint(5, std::numeric_limits<double>::quiet_NaN());
    check(noisy, "sorted positions, random heights, one of them not a number");

    LineChart unordered;
    unordered.series->XValues()->Order = loNone;
    for (int i = 0; i < 3000; ++i)
        unordered.series->AddPoint(unit(random), i % 500 < 250 ? i % 250 : 0.5 * unit(random));
    check(unordered, "positions in no order");
}

TEST(LineDrawing, ADeepZoomStepsNoMoreThanTheVisiblePixelsOfEachSegment) {
    // A zig-zag through a level range of 1e-10 m: every segment's ends map to
    // the clamp, some 67 million pixels beyond the bitmap, and each segment
    // still costs at most the chart's height in steps.
    LineChart c;
    for (int i = 0; i < 200; ++i)
        c.series->AddPoint(1 + 0.01 * i, i % 2 ? 510.0 : 500.0);
    c.chart.LeftAxis().SetRange(505 - 5e-11, 505 + 5e-11);
    long long start = 0, steps = -1;
    c.series->BeforeDrawValues = [&](TChartSeries*) { start = c.chart.Canvas().LineSteps(); };
    c.series->AfterDrawValues = [&](TChartSeries*) { steps = c.chart.Canvas().LineSteps() - start; };
    const QImage& img = c.Render();
    EXPECT_EQ(c.Pixel(0).y(), PixelClampLimit);
    EXPECT_EQ(c.Pixel(1).y(), -PixelClampLimit);
    EXPECT_GT(steps, 0);
    EXPECT_LE(steps, 199LL * c.chart.PlotHeight());
    // The segments cross the chart as near-vertical lines, side by side.
    EXPECT_GE(CountInk(img, c.series->SeriesColor()), 150 * c.chart.PlotHeight() / 2);
}
