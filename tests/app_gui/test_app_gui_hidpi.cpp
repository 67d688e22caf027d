// The windows on a desktop set to 120 pixels per inch the usual way, as Qt
// sees one: 96 logical pixels per inch at a device pixel ratio of 1.25. The
// layout stands at its own device pixels, the chart and the picture reach the
// screen pixel for pixel, and the mouse is counted in device pixels.

#include "AboutUnit2.h"
#include "AppGuiTestSupport.h"
#include "ChartExport.h"
#include "ChartWidget.h"
#include "FormLayout.h"
#include "HydrographChart.h"
#include "HydrographPage.h"

#include <QImage>
#include <QMouseEvent>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

const std::string kCurve = std::string(QUELMORA_SOURCE_DIR) + "/examples/curve.txt";
constexpr double kRatio = 1.25;

class HighDpiWindow : public WindowTest {
protected:
    static void SetUpTestSuite() {
        // Before the application object exists.
        qputenv("QT_SCALE_FACTOR", "1.25");
    }

    void ShowWithCurve() {
        Answer(kCurve);
        form->BitBtn1Click();
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QApplication::processEvents();
    }

    // A widget's rectangle in the device pixels of the window's client area
    // below the menu, where the layout's coordinates start.
    QRect DeviceInLayout(const QWidget* w) const {
        const QPoint origin = w->mapTo(form->centralWidget(), QPoint(0, 0));
        auto d = [](int v) { return static_cast<int>(std::lround(v * kRatio)); };
        return QRect(QPoint(d(origin.x()), d(origin.y())),
                     QPoint(d(origin.x() + w->width()) - 1, d(origin.y() + w->height()) - 1));
    }

    static bool Near(const QRect& a, const QRect& b) {
        return std::abs(a.left() - b.left()) <= 1 && std::abs(a.top() - b.top()) <= 1 &&
               std::abs(a.width() - b.width()) <= 1 && std::abs(a.height() - b.height()) <= 1;
    }
};

TEST_F(HighDpiWindow, TheLayoutStandsAtItsOwnDevicePixels) {
    const TScreenScale screen = PrimaryScreenScale();
    ASSERT_EQ(screen.DevicePixelRatio, kRatio);
    ASSERT_EQ(screen.PixelsPerInch, 120);
    EXPECT_EQ(MeasuredTextHeight(form.get()), 16);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));

    const QSize outer = form->frameGeometry().size();
    EXPECT_LE(std::abs(outer.width() * kRatio - 1110), 1);
    EXPECT_LE(std::abs(outer.height() * kRatio - 612), 1);
    const std::vector<std::pair<QWidget*, QRect>> places{
        {form->BitBtn1, {744, 8, 161, 41}},      {form->BitBtn2, {912, 8, 161, 41}},
        {form->BitBtn3, {744, 80, 161, 41}},     {form->BitBtn4, {920, 80, 161, 41}},
        {form->Image1, {744, 128, 337, 405}},    {form->PageControl1, {0, 0, 729, 537}},
    };
    for (const auto& [w, place] : places)
        EXPECT_TRUE(Near(DeviceInLayout(w), place))
            << w->objectName().toStdString() << " stands at " << DeviceInLayout(w).x() << ","
            << DeviceInLayout(w).y() << " " << DeviceInLayout(w).width() << "x" << DeviceInLayout(w).height();
    // Inside the pages, relative to the page.
    auto inPage = [&](QWidget* w) {
        return QRect(DeviceInLayout(w).topLeft() - DeviceInLayout(w->parentWidget()).topLeft(),
                     DeviceInLayout(w).size());
    };
    EXPECT_TRUE(Near(inPage(form->Chart1), QRect(208, 56, 505, 313)));
    EXPECT_TRUE(Near(inPage(form->StringGrid2), QRect(0, 9, 193, 496)));
    // The design fonts at their own pixels: the window's 13, the buttons' 17.
    EXPECT_EQ(DeviceFontHeight(form->font(), screen), 13);
    EXPECT_EQ(DeviceFontHeight(form->BitBtn1->font(), screen), 17);
    // The tables' columns at their device widths: the grid's (plus the grid
    // line) or wider where a heading needs it, edges landing on device pixels.
    EXPECT_LE(std::abs(form->StringGrid1->verticalHeader()->width() * kRatio - 141), 1);
    int edge = form->StringGrid1->verticalHeader()->width();
    const int widths[9] = {140, 50, 65, 70, 45, 45, 75, 95, 95};
    for (int c = 1; c < 9; ++c) edge += form->StringGrid1->horizontalHeader()->sectionSize(c);
    int fitted = 0;
    for (int c = 0; c < 9; ++c) {
        const int w = form->StringGrid1->Fit().colWidths[static_cast<std::size_t>(c)];
        EXPECT_GE(w, widths[c] + 1) << c;
        fitted += w;
    }
    EXPECT_LE(std::abs(edge * kRatio - fitted), 1);
}

TEST_F(HighDpiWindow, ChartAndPictureReachTheScreenPixelForPixel) {
    ShowWithCurve();
    auto* widget = static_cast<TChartWidget*>(form->Chart1);
    TChart& chart = widget->Chart();
    // The layout's 505 x 313 pixels, at 120 pixels per inch.
    ASSERT_EQ(QSize(chart.Width(), chart.Height()), QSize(505, 313));
    EXPECT_EQ(chart.Canvas().PixelsPerInch(), 120);
    widget->repaint();
    const QImage shown = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(505, 313));
    EXPECT_EQ(shown, chart.Canvas().Bitmap().convertToFormat(QImage::Format_RGB32));

    // The same picture as the batch mode's export at the layout's size.
    TChartExport exporter;
    InflowWork work;
    work.FormCreate();
    work.CurvePlot = &exporter.Plot();
    work.ResetCurveTable();
    work.ReadCurve(kCurve);
    const std::string png = exporter.PngBytes();
    QImage exported;
    ASSERT_TRUE(exported.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG"));
    EXPECT_EQ(shown, exported.convertToFormat(QImage::Format_RGB32));

    // The picture box (337 x 405 device pixels, give or take the part of a
    // pixel that logical pixels leave): the picture at its own pixels from
    // the top-left corner.
    const QImage box = form->Image1->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage& picture = form->Image1->Picture();
    ASSERT_LE(std::abs(box.width() - 337), 1);
    ASSERT_LE(std::abs(box.height() - 405), 1);
    int differing = 0;
    for (int y = 0; y < box.height(); ++y)
        for (int x = 0; x < box.width(); ++x) differing += box.pixel(x, y) != picture.pixel(x, y);
    EXPECT_EQ(differing, 0);
}

// The hydrograph page's Chart2 after a computation is the batch mode's
// --hydrograph picture of the same records, pixel for pixel.
TEST_F(HighDpiWindow, HydrographChartIsTheBatchPicture) {
    const std::string realData = QUELMORA_REALDATA_DIR;
    Answer(realData + "/tankan_curve.txt");
    form->BitBtn1->click();
    Answer(realData + "/tankan_flood.txt");
    form->BitBtn2->click();
    form->BitBtn3->click();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->PageControl1->setCurrentWidget(form->TabSheet4);
    QApplication::processEvents();

    auto* widget = static_cast<TChartWidget*>(form->Chart2);
    ASSERT_EQ(QSize(widget->Chart().Width(), widget->Chart().Height()), QSize(kChart2Width, kChart2Height));
    EXPECT_EQ(widget->Chart().Canvas().PixelsPerInch(), 120);
    widget->repaint();
    const QImage shown = widget->grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), QSize(kChart2Width, kChart2Height));

    // The batch picture has no peak marks unless asked for; the window's has.
    THydrographExport exporter;
    exporter.Hydrograph().SetMarkPeaks(true, THydrographPage::FlowDecimals(form->Work));
    exporter.Show(form->Work.FloodSteps, form->Work.ComputedRecords);
    const std::string png = exporter.PngBytes();
    QImage exported;
    ASSERT_TRUE(exported.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG"));
    EXPECT_EQ(shown, exported.convertToFormat(QImage::Format_RGB32));
}

TEST_F(HighDpiWindow, TheChartCountsTheMouseInDevicePixels) {
    ShowWithCurve();
    auto* widget = static_cast<TChartWidget*>(form->Chart1);
    TChart& chart = widget->Chart();
    widget->repaint();
    // A drag over 80 x 80 logical pixels: 100 x 100 device pixels, from
    // device (125, 100) to (225, 200).
    const double bottomMin = chart.BottomAxis().PixelToValue(125);
    const double bottomMax = chart.BottomAxis().PixelToValue(225);
    const double leftMin = chart.LeftAxis().PixelToValue(200);
    const double leftMax = chart.LeftAxis().PixelToValue(100);
    auto send = [&](QEvent::Type type, QPointF p, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, p, widget->mapToGlobal(p), button, held, Qt::NoModifier);
        QApplication::sendEvent(widget, &e);
    };
    send(QEvent::MouseButtonPress, {100, 80}, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, {140, 120}, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {180, 160}, Qt::LeftButton, Qt::NoButton);
    EXPECT_DOUBLE_EQ(chart.BottomAxis().Minimum(), bottomMin);
    EXPECT_DOUBLE_EQ(chart.BottomAxis().Maximum(), bottomMax);
    EXPECT_DOUBLE_EQ(chart.LeftAxis().Minimum(), leftMin);
    EXPECT_DOUBLE_EQ(chart.LeftAxis().Maximum(), leftMax);
}

TEST_F(HighDpiWindow, TheAboutBoxTakesItsSizeFromTheScreensDevicePixels) {
    // The offscreen screen is 640 x 640 logical pixels: 800 x 800 device.
    EXPECT_EQ(TAboutForm::ScreenSize(), QSize(800, 800));
    TAboutForm box;
    box.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&box));
    const QSize want = TAboutForm::SizeForScreen(QSize(800, 800));
    EXPECT_LE(std::abs(box.frameGeometry().width() * kRatio - want.width()), 1);
    EXPECT_LE(std::abs(box.frameGeometry().height() * kRatio - want.height()), 1);
    EXPECT_EQ(DeviceFontHeight(box.Label1->font(), PrimaryScreenScale()), 27);
}

}  // namespace

namespace {
// At a device pixel ratio of 1.25 Qt's own grid pen is 1.25 device pixels
// wide and its lines come out 1 or 2 pixels thick; the tables' grid is one
// device pixel everywhere.
TEST_F(HighDpiWindow, TableGridLinesAreOneDevicePixelThick) {
    Answer(std::string(QUELMORA_SOURCE_DIR) + "/examples/curve.txt");
    form->BitBtn1Click();
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
    TStringGridView* view = form->StringGrid2;
    // The thickness of each grid line crossed going down the first data
    // column, near its right edge (where no text reaches).
    auto thicknesses = [&] {
        const QImage shown = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        const int x = static_cast<int>(std::lround((view->columnViewportPosition(1) + view->columnWidth(1)) * kRatio)) - 4;
        std::vector<int> runs;
        int run = 0;
        for (int y = 0; y < shown.height(); ++y) {
            const int g = qGray(shown.pixel(x, y));
            const bool grid = g < 250 && g > 100;
            if (grid) ++run;
            if ((!grid || y == shown.height() - 1) && run > 0) runs.push_back(run), run = 0;
        }
        return runs;
    };
    const std::vector<int> ours = thicknesses();
    EXPECT_GT(ours.size(), 5u);
    for (int t : ours) EXPECT_EQ(t, 1);
    // Qt's own grid, drawn as well, has thicker lines: the measure sees them.
    view->setShowGrid(true);
    const std::vector<int> qts = thicknesses();
    EXPECT_NE(std::count(qts.begin(), qts.end(), 1), static_cast<long>(qts.size()));
    view->setShowGrid(false);
}
}  // namespace
