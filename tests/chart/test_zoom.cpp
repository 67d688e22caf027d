// Mouse zoom and scroll on the chart engine: the press, move and release
// handlers, the part under the pointer, the wheel, and undoing.

#include "test_zoom_fixture.h"

#include <cmath>

// The window's chart with the example curve: PlotRect (59, 30, 494, 269).
struct CurveChart : ZoomChart {
    CurveChart() {
        LoadExampleCurve();
        Paint();
    }
};

TEST(ZoomDrag, MoreThanMinimumPixelsEachWayZoomsAndExactlyMinimumDoesNothing) {
    struct Case {
        int x1, y1;
        bool zooms;
    };
    for (const Case c : {Case{117, 150, true}, Case{116, 150, false}, Case{117, 116, false}, Case{117, 117, true}}) {
        SCOPED_TRACE(std::to_string(c.x1) + "," + std::to_string(c.y1));
        CurveChart f;
        TChart& chart = f.chart;
        const double b0 = chart.BottomAxis().PixelToValue(100), b1 = chart.BottomAxis().PixelToValue(c.x1);
        const double l0 = chart.LeftAxis().PixelToValue(c.y1), l1 = chart.LeftAxis().PixelToValue(100);
        const QImage before = f.host->screen.copy();
        const long renders = chart.RenderCount();
        f.Drag(mbLeft, 100, 100, c.x1, c.y1);
        EXPECT_EQ(chart.IsZoomed, c.zooms);
        EXPECT_EQ(chart.ScalesSaved, c.zooms);
        if (c.zooms) {
            EXPECT_EQ(chart.BottomAxis().Minimum(), b0);
            EXPECT_EQ(chart.BottomAxis().Maximum(), b1);
            EXPECT_EQ(chart.LeftAxis().Minimum(), l0);
            EXPECT_EQ(chart.LeftAxis().Maximum(), l1);
            EXPECT_FALSE(chart.BottomAxis().Automatic());
            EXPECT_TRUE(chart.Canvas().BufferDirty());
        } else {
            // No repaint asked for: the window shows the kept picture, band erased.
            EXPECT_TRUE(chart.BottomAxis().Automatic());
            EXPECT_FALSE(chart.Canvas().BufferDirty());
            f.host->Expose();
            EXPECT_EQ(chart.RenderCount(), renders);
            EXPECT_EQ(f.host->screen, before);
        }
    }
}

TEST(ZoomDrag, OnlyTheHorizontalDirectionDecidesBetweenZoomAndUndo) {
    CurveChart f;
    TChart& chart = f.chart;
    const double b0 = chart.BottomAxis().PixelToValue(100), b1 = chart.BottomAxis().PixelToValue(150);
    const double l0 = chart.LeftAxis().PixelToValue(150), l1 = chart.LeftAxis().PixelToValue(100);
    f.Drag(mbLeft, 100, 150, 150, 100);  // up and to the right
    EXPECT_EQ(chart.BottomAxis().Minimum(), b0);
    EXPECT_EQ(chart.BottomAxis().Maximum(), b1);
    EXPECT_EQ(chart.LeftAxis().Minimum(), l0);
    EXPECT_EQ(chart.LeftAxis().Maximum(), l1);
    f.Paint();
    f.Drag(mbLeft, 200, 100, 150, 150);  // down and to the left
    EXPECT_FALSE(chart.IsZoomed);
    EXPECT_FALSE(chart.ScalesSaved);
    f.Paint();
    EXPECT_EQ(RangeOf(chart.BottomAxis()), "1.58 .. 7.185 auto");
    EXPECT_EQ(RangeOf(chart.LeftAxis()), "495 .. 530 auto");
}

TEST(ZoomDrag, UndoRestoresTheScalesFromBeforeTheFirstZoomAndASecondUndoOnlyRepaints) {
    CurveChart f;
    TChart& chart = f.chart;
    chart.LeftAxis().SetRange(490, 540);
    f.Paint();
    int undos = 0;
    chart.OnUndoZoom = [&](TCustomChartPanel* sender) { undos += sender == &chart; };
    f.Drag(mbLeft, 100, 100, 300, 200);
    f.Paint();
    f.Drag(mbLeft, 150, 120, 250, 180);
    f.Paint();
    EXPECT_NE(RangeOf(chart.LeftAxis()), "490 .. 540");
    f.Drag(mbLeft, 300, 100, 100, 200);
    EXPECT_EQ(undos, 1);
    f.Paint();
    EXPECT_EQ(RangeOf(chart.LeftAxis()), "490 .. 540");
    EXPECT_EQ(RangeOf(chart.BottomAxis()), "1.58 .. 7.185 auto");

    const long renders = chart.RenderCount();
    chart.IsZoomed = true;
    f.Drag(mbLeft, 300, 100, 100, 200);
    EXPECT_EQ(undos, 2);
    EXPECT_FALSE(chart.IsZoomed);
    f.host->Expose();
    EXPECT_EQ(chart.RenderCount(), renders + 1);
    EXPECT_EQ(RangeOf(chart.LeftAxis()), "490 .. 540");
}

TEST(ZoomDrag, RectangleCornersAreNormalisedAndConvertedWithTheLastPaintsMapping) {
    CurveChart forward, backward;
    forward.Drag(mbLeft, 100, 100, 300, 200);
    backward.chart.Zoom().SetUpLeftZooms(true);
    backward.Drag(mbLeft, 300, 200, 100, 100);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(backward.chart.Axes()[i]->Minimum(), forward.chart.Axes()[i]->Minimum());
        EXPECT_EQ(backward.chart.Axes()[i]->Maximum(), forward.chart.Axes()[i]->Maximum());
    }
    // The hidden axes had 0 .. 0 and get the least range a zoom leaves.
    EXPECT_EQ(forward.chart.TopAxis().Maximum(), 1e-10);

    // Reaching beyond the axes widens the range on that side.
    CurveChart wide;
    wide.Drag(mbLeft, 59, 30, 500, 269);
    EXPECT_EQ(wide.chart.BottomAxis().Minimum(), 1.58);
    EXPECT_GT(wide.chart.BottomAxis().Maximum(), 7.185);
}

TEST(ZoomDrag, OneDirectionSpansThePlotRectTheOtherWay) {
    CurveChart f;
    TChart& chart = f.chart;
    chart.Zoom().SetDirection(tzdHorizontal);
    const double b0 = chart.BottomAxis().PixelToValue(100);
    f.Drag(mbLeft, 100, 100, 150, 101);  // the height does not count
    EXPECT_TRUE(chart.IsZoomed);
    EXPECT_EQ(chart.BottomAxis().Minimum(), b0);
    EXPECT_EQ(RangeOf(chart.LeftAxis()), "495 .. 530");  // top to bottom of PlotRect

    CurveChart v;
    v.chart.Zoom().SetDirection(tzdVertical);
    const double l1 = v.chart.LeftAxis().PixelToValue(100), l0 = v.chart.LeftAxis().PixelToValue(150);
    v.chart.MouseDown(mbLeft, 0, 200, 100);
    EXPECT_EQ(v.chart.Zoom().StartX, 59);
    EXPECT_EQ(v.chart.Zoom().CurrentX, 494);
    v.chart.MouseMove(0, 201, 40);
    EXPECT_EQ(v.chart.Zoom().CurrentX, 494);
    v.chart.MouseUp(mbLeft, 0, 210, 150);  // dragged down: zooms
    EXPECT_EQ(RangeOf(v.chart.BottomAxis()), "1.58 .. 7.185");
    EXPECT_EQ(v.chart.LeftAxis().Minimum(), l0);
    EXPECT_EQ(v.chart.LeftAxis().Maximum(), l1);
}

TEST(ZoomDrag, AnimatedZoomCoversAThirdOfTheRestEachStep) {
    CurveChart f;
    TChart& chart = f.chart;
    chart.Zoom().SetAnimated(true);
    chart.Zoom().SetAnimatedSteps(3);
    const double target = chart.BottomAxis().PixelToValue(300);
    std::vector<double> maxima;
    chart.OnAfterDraw = [&](TCustomChartPanel*) { maxima.push_back(chart.BottomAxis().Maximum()); };
    f.Drag(mbLeft, 100, 100, 300, 200);
    ASSERT_EQ(maxima.size(), 2u);
    const double first = 7.185 - (7.185 - target) / 3;
    EXPECT_DOUBLE_EQ(maxima[0], first);
    EXPECT_DOUBLE_EQ(maxima[1], first - (first - target) / 3);
    EXPECT_EQ(chart.BottomAxis().Maximum(), target);
}

TEST(ZoomDrag, AnEmptySeriesZoomsToTheLeastRangeAndACurveLoadedLaterStaysInIt) {
    ZoomChart f;
    f.Paint();
    f.Drag(mbLeft, 100, 100, 200, 200);
    EXPECT_EQ(RangeOf(f.chart.BottomAxis()), "0 .. 1e-10");
    EXPECT_EQ(RangeOf(f.chart.LeftAxis()), "0 .. 1e-10");
    f.LoadExampleCurve();
    f.Paint();
    EXPECT_EQ(f.chart.BottomAxis().Scale().ScaleMin, 0);
    EXPECT_DOUBLE_EQ(f.chart.BottomAxis().Scale().ScaleMax, 1e-10);
    EXPECT_DOUBLE_EQ(f.chart.LeftAxis().Scale().ScaleMax, 1e-10);
    // The curve lies beyond the tiny range: its points are placed far off.
    EXPECT_EQ(f.series->PointXPixel(0), PixelClampLimit);
    f.chart.ResetZoom();
    f.Paint();
    EXPECT_EQ(RangeOf(f.chart.BottomAxis()), "1.58 .. 7.185 auto");
}

TEST(ChartPress, ThePartUnderThePointInItsOrder) {
    CurveChart f;
    TChart& chart = f.chart;
    struct Probe {
        int x, y;
        TChartClickedPartStyle part;
        TChartAxis* axis;
    };
    TChartAxis* left = &chart.LeftAxis();
    TChartAxis* bottom = &chart.BottomAxis();
    for (const Probe p : {Probe{52, 100, cpAxis, left}, Probe{51, 100, cpNone, nullptr}, Probe{62, 100, cpAxis, left},
                          Probe{63, 100, cpChartRect, nullptr}, Probe{59, 29, cpNone, nullptr},
                          Probe{200, 265, cpChartRect, nullptr}, Probe{200, 266, cpAxis, bottom},
                          Probe{200, 276, cpAxis, bottom}, Probe{200, 277, cpNone, nullptr},
                          Probe{494, 30, cpChartRect, nullptr}, Probe{495, 100, cpNone, nullptr},
                          Probe{252, 10, cpTitle, nullptr}, Probe{0, 0, cpNone, nullptr}}) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        const TChartClickedPart part = chart.CalcClickedPart(p.x, p.y);
        EXPECT_EQ(part.Part, p.part);
        EXPECT_EQ(part.AAxis, p.axis);
        if (p.part == cpTitle) {
            EXPECT_EQ(part.ATitle, &chart.Title());
        }
    }

    // Without an active series the chart rectangle starts nothing, an axis does.
    f.series->SetActive(false);
    f.Paint();
    chart.MouseDown(mbLeft, 0, 200, 100);
    EXPECT_FALSE(chart.Zoom().Dragging);
    chart.MouseDown(mbLeft, 0, 200, chart.BottomAxis().AxisLinePos);
    EXPECT_TRUE(chart.Zoom().Dragging);
}

TEST(ChartPress, HooksClaimThePressAndASecondButtonDuringADragIsIgnored) {
    CurveChart f;
    TChart& chart = f.chart;
    std::vector<std::string> calls;
    chart.OnClickAxis = [&](TCustomChart*, TChartAxis* a, TMouseButton, TShiftState, int, int) {
        calls.push_back(a == &chart.LeftAxis() ? "left axis" : "axis");
    };
    chart.OnClickBackground = [&](TCustomChart*, TMouseButton, TShiftState, int, int) {
        calls.push_back("background");
        chart.MouseHandled = false;  // seen, not claimed
    };
    chart.MouseDown(mbLeft, 0, 55, 100);
    EXPECT_FALSE(chart.Zoom().Dragging);
    EXPECT_FALSE(chart.MouseHandled);
    chart.MouseDown(mbLeft, 0, 200, 100);
    EXPECT_TRUE(chart.Zoom().Dragging);
    EXPECT_EQ(calls, (std::vector<std::string>{"left axis", "background"}));

    chart.MouseDown(mbRight, 0, 210, 110);
    EXPECT_FALSE(chart.ScrollState().Dragging);
    chart.MouseUp(mbRight, 0, 300, 200);  // not the zoom button: the band stays
    EXPECT_TRUE(chart.Zoom().Dragging);
    chart.MouseUp(mbLeft, 0, 300, 200);
    EXPECT_TRUE(chart.IsZoomed);
}

TEST(ScrollDrag, TheDataFollowsThePointer) {
    PinnedChart right, left, down;
    right.Drag(mbRight, 200, 100, 210, 100);
    EXPECT_EQ(RangeOf(right.chart.BottomAxis()), "-2.5 .. 97.5");
    EXPECT_EQ(RangeOf(right.chart.LeftAxis()), "0 .. 50");
    EXPECT_TRUE(right.chart.ScalesSaved);
    left.Drag(mbRight, 200, 100, 190, 100);
    EXPECT_EQ(RangeOf(left.chart.BottomAxis()), "2.5 .. 102.5");
    down.Drag(mbRight, 200, 100, 200, 110);
    EXPECT_EQ(RangeOf(down.chart.LeftAxis()), "2.5 .. 52.5");
    EXPECT_EQ(RangeOf(down.chart.BottomAxis()), "0 .. 100");

    // Each move counts the travel since the one before, painted or not.
    PinnedChart steps;
    steps.chart.MouseDown(mbRight, 0, 200, 100);
    steps.chart.MouseMove(0, 205, 100);
    steps.chart.MouseMove(0, 210, 100);
    steps.chart.MouseMove(0, 210, 100);
    EXPECT_EQ(RangeOf(steps.chart.BottomAxis()), "-2.5 .. 97.5");
    steps.chart.MouseUp(mbRight, 0, 210, 100);
    steps.chart.ResetZoom();
    EXPECT_EQ(RangeOf(steps.chart.BottomAxis()), "0 .. 100");
}

TEST(ScrollDrag, EndsOnLeavingThePlotRectOrTheControl) {
    PinnedChart f;
    TChart& chart = f.chart;
    chart.MouseDown(mbRight, 0, 200, 100);
    chart.MouseMove(0, 450, 100);  // the right edge is still inside
    EXPECT_EQ(RangeOf(chart.BottomAxis()), "-62.5 .. 37.5");
    chart.MouseMove(0, 451, 100);
    EXPECT_FALSE(chart.ScrollState().Dragging);
    chart.MouseMove(0, 300, 100);  // button still held: no scroll any more
    EXPECT_EQ(RangeOf(chart.BottomAxis()), "-62.5 .. 37.5");

    PinnedChart g;
    g.chart.MouseDown(mbRight, 0, 200, 100);
    g.chart.MouseLeave();
    g.chart.MouseMove(0, 300, 100);
    EXPECT_EQ(RangeOf(g.chart.BottomAxis()), "0 .. 100");
    EXPECT_FALSE(g.chart.ScalesSaved);
}

TEST(ScrollDrag, PanningModeAndTheScrollHooks) {
    PinnedChart f;
    TChart& chart = f.chart;
    chart.SetAllowPanning(pmHorizontal);
    int scrolls = 0;
    chart.OnScroll = [&](TCustomChartPanel*) { ++scrolls; };
    chart.OnAllowScroll = [&](TChartAxis* axis, double& lo, double& hi, bool& allow) {
        if (axis == &chart.TopAxis()) allow = false;
        lo = std::floor(lo), hi = std::floor(hi);
    };
    chart.MouseDown(mbRight, 0, 200, 100);
    chart.MouseMove(0, 200, 120);  // vertical travel only: nothing allowed moves
    EXPECT_EQ(scrolls, 0);
    EXPECT_TRUE(chart.ScalesSaved);
    chart.MouseMove(0, 210, 140);
    EXPECT_EQ(scrolls, 1);
    EXPECT_EQ(RangeOf(chart.BottomAxis()), "-3 .. 97");
    EXPECT_EQ(RangeOf(chart.LeftAxis()), "0 .. 50");
    EXPECT_TRUE(chart.TopAxis().Automatic());

    chart.SetAllowPanning(pmNone);
    chart.MouseUp(mbRight, 0, 210, 140);
    chart.MouseDown(mbRight, 0, 200, 100);
    EXPECT_FALSE(chart.ScrollState().Dragging);
}

TEST(Wheel, ShiftsTheVerticalAxesByThreePercentWithoutSavingThem) {
    PinnedChart f;
    TChart& chart = f.chart;
    int scrolls = 0;
    chart.OnScroll = [&](TCustomChartPanel*) { ++scrolls; };
    EXPECT_TRUE(chart.MouseWheel(-1, 0, 200, 100));  // toward the user
    EXPECT_EQ(RangeOf(chart.LeftAxis()), "1.5 .. 51.5");
    EXPECT_EQ(RangeOf(chart.BottomAxis()), "0 .. 100");
    EXPECT_FALSE(chart.ScalesSaved);
    EXPECT_EQ(scrolls, 0);
    EXPECT_TRUE(chart.Canvas().BufferDirty());

    PinnedChart g;
    g.chart.MouseWheel(1, 0, 200, 100);
    EXPECT_EQ(RangeOf(g.chart.LeftAxis()), "-1.5 .. 48.5");

    PinnedChart h;
    h.chart.OnMouseWheelDown = [](TCustomChartPanel*, TShiftState, int, int, bool& handled) { handled = true; };
    EXPECT_TRUE(h.chart.MouseWheel(-1, 0, 200, 100));
    EXPECT_EQ(RangeOf(h.chart.LeftAxis()), "0 .. 50");
    TCustomChart::WheelScrollEnabled = false;
    const bool used = h.chart.MouseWheel(1, 0, 200, 100);
    TCustomChart::WheelScrollEnabled = true;
    EXPECT_FALSE(used);
    EXPECT_EQ(RangeOf(h.chart.LeftAxis()), "0 .. 50");
}
