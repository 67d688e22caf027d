// Zoom and scroll through the hosting widget, shown on the offscreen screen:
// the rubber band is inverted into the kept bitmap and copied to the window,
// so dragging it runs no render, and the window shows exactly one band.

#include "ChartWidget.h"
#include "CurveChart.h"
#include "test_zoom_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QWheelEvent>

#include <set>
#include <utility>

namespace {

struct ShownChart {
    ShownChart() {
        TChart& chart = widget.Chart();
        chart.Canvas().SetPixelsPerInch(120);
        chart.LoadLayout(CurveChartLayout());
        series = new TLineSeries;
        series->SetParentChart(&chart);
        LoadExampleCurve(*series);
        widget.show();
        Settle();
    }
    // Lets pending paints happen.
    void Settle() {
        QElapsedTimer t;
        t.start();
        do QApplication::processEvents();
        while ((widget.Chart().RenderCount() == 0 || widget.Chart().Canvas().BufferDirty()) && t.elapsed() < 2000);
        QApplication::processEvents();
    }
    QImage Screen() { return widget.grab().toImage().convertToFormat(QImage::Format_RGB32); }
    void Send(QEvent::Type type, int x, int y, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(x, y), widget.mapToGlobal(QPointF(x, y)), button, held, Qt::NoModifier);
        QApplication::sendEvent(&widget, &e);
        QApplication::processEvents();
    }

    TChartWidget widget;
    TLineSeries* series = nullptr;
};

// The pixels that differ between two pictures.
std::set<std::pair<int, int>> Changed(const QImage& a, const QImage& b) {
    std::set<std::pair<int, int>> out;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (a.pixel(x, y) != b.pixel(x, y)) out.insert({x, y});
    return out;
}

// The outline of a rectangle, right column and bottom row excluded.
std::set<std::pair<int, int>> Outline(int left, int top, int right, int bottom) {
    std::set<std::pair<int, int>> out;
    for (int x = left; x < right; ++x) out.insert({x, top}), out.insert({x, bottom - 1});
    for (int y = top; y < bottom; ++y) out.insert({left, y}), out.insert({right - 1, y});
    return out;
}

}  // namespace

TEST(ZoomWidget, DraggingTheBandRunsNoRenderAndExactlyOneBandIsOnScreen) {
    ShownChart s;
    TChart& chart = s.widget.Chart();
    const QImage before = s.Screen();
    const long renders = chart.RenderCount();
    ASSERT_GE(renders, 1);

    s.Send(QEvent::MouseButtonPress, 100, 100, Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= 6; ++i) s.Send(QEvent::MouseMove, 100 + 10 * i, 100 + 13 * i, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(chart.RenderCount(), renders);
    EXPECT_EQ(Changed(before, s.Screen()), Outline(100, 100, 160, 178));
    EXPECT_EQ(s.Screen(), chart.Canvas().Bitmap());

    // A full repaint in the middle of the drag draws the band once again.
    chart.Invalidate();
    s.Settle();
    EXPECT_EQ(chart.RenderCount(), renders + 1);
    EXPECT_EQ(Changed(before, s.Screen()), Outline(100, 100, 160, 178));
    s.Send(QEvent::MouseMove, 90, 95, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(Changed(before, s.Screen()), Outline(90, 95, 100, 100));
    EXPECT_EQ(chart.RenderCount(), renders + 1);

    // Too small a drag: the band goes, the picture is the old one, no render.
    s.Send(QEvent::MouseButtonRelease, 90, 95, Qt::LeftButton, Qt::NoButton);
    EXPECT_EQ(s.Screen(), before);
    EXPECT_EQ(chart.RenderCount(), renders + 1);
    EXPECT_FALSE(chart.IsZoomed);

    s.Send(QEvent::MouseButtonPress, 100, 100, Qt::LeftButton, Qt::LeftButton);
    s.Send(QEvent::MouseMove, 300, 200, Qt::NoButton, Qt::LeftButton);
    s.Send(QEvent::MouseButtonRelease, 300, 200, Qt::LeftButton, Qt::NoButton);
    s.Settle();
    EXPECT_TRUE(chart.IsZoomed);
    EXPECT_EQ(chart.RenderCount(), renders + 2);
    EXPECT_FALSE(chart.BottomAxis().Automatic());
}

TEST(ZoomWidget, RightDragScrollsUntilThePointerLeavesAndTheWheelShifts) {
    ShownChart s;
    TChart& chart = s.widget.Chart();
    const double b0 = chart.BottomAxis().Minimum(), step = chart.BottomAxis().PixelToValue(210) - chart.BottomAxis().PixelToValue(200);
    const long renders = chart.RenderCount();
    s.Send(QEvent::MouseButtonPress, 200, 100, Qt::RightButton, Qt::RightButton);
    s.Send(QEvent::MouseMove, 210, 100, Qt::NoButton, Qt::RightButton);
    EXPECT_DOUBLE_EQ(chart.BottomAxis().Minimum(), b0 - step);
    s.Settle();
    EXPECT_EQ(chart.RenderCount(), renders + 1);  // one repaint for the move

    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&s.widget, &leave);
    s.Send(QEvent::MouseMove, 250, 100, Qt::NoButton, Qt::RightButton);
    EXPECT_DOUBLE_EQ(chart.BottomAxis().Minimum(), b0 - step);
    s.Send(QEvent::MouseButtonRelease, 250, 100, Qt::RightButton, Qt::NoButton);

    const double lo = chart.LeftAxis().Minimum(), hi = chart.LeftAxis().Maximum();
    QWheelEvent wheel(QPointF(200, 100), s.widget.mapToGlobal(QPointF(200, 100)), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&s.widget, &wheel);
    EXPECT_DOUBLE_EQ(chart.LeftAxis().Minimum(), lo + (hi - lo) * 0.03);
    EXPECT_DOUBLE_EQ(chart.LeftAxis().Maximum(), hi + (hi - lo) * 0.03);
}
