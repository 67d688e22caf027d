// The widget hosting the chart: it paints every pixel itself from the chart's
// bitmap, follows the chart's stored size, forwards the mouse, and repaints on
// the platform's colour changes.

#include "ChartTestHost.h"
#include "CurveChart.h"
#include "ChartWidget.h"

#include <QApplication>
#include <QMouseEvent>
#include <QWheelEvent>

TEST(ChartWidget, NeverErasedAndPaintedFromTheKeptBitmap) {
    TChartWidget w;
    EXPECT_TRUE(w.testAttribute(Qt::WA_OpaquePaintEvent));
    EXPECT_TRUE(w.testAttribute(Qt::WA_NoSystemBackground));
    TChart& chart = w.Chart();
    chart.Canvas().SetPixelsPerInch(120);
    chart.LoadLayout(CurveChartLayout());
    EXPECT_EQ(w.geometry(), QRect(208, 56, 505, 313));  // the stored bounds reach the widget

    const QImage first = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(chart.RenderCount(), 1);
    EXPECT_EQ(first.size(), QSize(505, 313));
    EXPECT_EQ(PixelColor(first, 0, 0), ColorToRGB(clBtnHighlight));
    EXPECT_EQ(PixelColor(first, 504, 312), ColorToRGB(clBtnShadow));
    const TRect r = chart.PlotRect();
    EXPECT_EQ(PixelColor(first, r.Left, r.Top), clBlack);
    EXPECT_EQ(first, chart.Canvas().Bitmap());

    // Painted again without a change: copied, not rendered.
    const QImage second = w.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(chart.RenderCount(), 1);
    EXPECT_EQ(second, first);
    chart.Title().SetText({"changed"});
    w.grab();
    EXPECT_EQ(chart.RenderCount(), 2);
}

TEST(ChartWidget, ResizingTheWidgetResizesTheChart) {
    TChartWidget w;
    w.show();
    w.resize(300, 200);
    EXPECT_EQ(w.Chart().Width(), 300);
    EXPECT_EQ(w.Chart().Height(), 200);
    const QImage img = w.grab().toImage();
    EXPECT_EQ(w.Chart().PaintBounds(), (TRect{0, 0, 300, 200}));
    EXPECT_EQ(img.size(), QSize(300, 200));
    const long renders = w.Chart().RenderCount();
    w.resize(320, 200);
    w.grab();
    EXPECT_EQ(w.Chart().RenderCount(), renders + 1);
}

TEST(ChartWidget, MouseInputReachesTheChart) {
    TChartWidget w;
    w.resize(200, 100);
    std::vector<std::string> seen;
    TChart& c = w.Chart();
    c.OnMouseDown = [&](TCustomChartPanel*, TMouseButton b, TShiftState s, int x, int y) {
        seen.push_back("down " + std::to_string(b) + " " + std::to_string(s) + " " + std::to_string(x) + "," + std::to_string(y));
    };
    c.OnMouseMove = [&](TCustomChartPanel*, TShiftState s, int x, int y) {
        seen.push_back("move " + std::to_string(s) + " " + std::to_string(x) + "," + std::to_string(y));
    };
    c.OnMouseUp = [&](TCustomChartPanel*, TMouseButton b, TShiftState, int x, int y) {
        seen.push_back("up " + std::to_string(b) + " " + std::to_string(x) + "," + std::to_string(y));
    };
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 20), QPointF(10, 20), Qt::RightButton, Qt::RightButton,
                      Qt::ShiftModifier);
    QMouseEvent move(QEvent::MouseMove, QPointF(15, 25), QPointF(15, 25), Qt::NoButton, Qt::RightButton, Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(16, 26), QPointF(16, 26), Qt::RightButton, Qt::NoButton,
                        Qt::NoModifier);
    QApplication::sendEvent(&w, &press);
    QApplication::sendEvent(&w, &move);
    QApplication::sendEvent(&w, &release);
    EXPECT_EQ(seen, (std::vector<std::string>{"down 1 17 10,20", "move 16 15,25", "up 1 16,26"}));
}

TEST(ChartWidget, PaletteChangesRepaint) {
    TChartWidget w;
    w.resize(100, 80);
    w.grab();
    const long renders = w.Chart().RenderCount();
    QPalette pal = w.palette();
    pal.setColor(QPalette::Window, Qt::darkGreen);
    w.setPalette(pal);
    w.grab();
    EXPECT_EQ(w.Chart().RenderCount(), renders + 1);
}

TEST(ChartWidget, HostsAChartOwnedElsewhere) {
    TChart chart;
    chart.SetBounds(5, 6, 150, 90);
    {
        TChartWidget w(chart, nullptr);
        EXPECT_EQ(&w.Chart(), &chart);
        EXPECT_EQ(chart.Host(), &w);
        EXPECT_EQ(w.geometry(), QRect(5, 6, 150, 90));
        chart.SetCursor(-3);
        EXPECT_EQ(w.cursor().shape(), Qt::CrossCursor);
    }
    EXPECT_EQ(chart.Host(), nullptr);  // the widget let go of it
    chart.Invalidate();                // and nothing reaches the gone widget
}
