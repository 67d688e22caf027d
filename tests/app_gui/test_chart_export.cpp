// The batch mode's chart picture against the window's chart: at 120 pixels per
// inch and the layout's own 505 x 313 (the window's font measure may scale its
// chart a little), after the same curve is read the PNG holds the very pixels
// the window painted.

#include "AppGuiTestSupport.h"
#include "ChartExport.h"
#include "ChartWidget.h"

#include <QImage>
#include <QTest>

#include <cstdlib>
#include <sys/wait.h>

namespace {

const std::string kCurve = std::string(QUELMORA_SOURCE_DIR) + "/examples/curve.txt";

class ChartPicture : public WindowTest {
protected:
    static void SetUpTestSuite() {
        // Before the application object exists: the window's design resolution.
        qputenv("QT_FONT_DPI", "120");
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    }

    QImage WindowChartAfterReading(const std::string& curve) {
        Answer(curve);
        form->BitBtn1Click();
        auto* widget = static_cast<TChartWidget*>(form->Chart1);
        widget->resize(505, 313);
        widget->repaint();
        return widget->Chart().Canvas().Bitmap().convertToFormat(QImage::Format_RGB32);
    }

    QImage BatchPicture(const std::string& curve) {
        const std::string png = Path("chart.png");
        const std::string command = "'" + std::string(QUELMORA_EXECUTABLE) + "' --curve '" + curve +
                                    "' --chart '" + png + "' 2>/dev/null";
        const int raw = std::system(command.c_str());
        EXPECT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << command;
        QImage image;
        EXPECT_TRUE(image.load(QString::fromStdString(png), "PNG"));
        return image.convertToFormat(QImage::Format_RGB32);
    }
};

TEST_F(ChartPicture, BatchPictureIsTheWindowsChart) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    const QImage window = WindowChartAfterReading(kCurve);
    ASSERT_EQ(window.size(), QSize(505, 313));
    const QImage batch = BatchPicture(kCurve);
    ASSERT_EQ(batch.size(), window.size());
    int differing = 0;
    for (int y = 0; y < window.height(); ++y)
        for (int x = 0; x < window.width(); ++x) differing += window.pixel(x, y) != batch.pixel(x, y);
    EXPECT_EQ(differing, 0);
}

TEST_F(ChartPicture, InProcessExportDrawsTheCurveTheReaderLoaded) {
    // Two points: the line runs corner to corner of the plot, in the series' red.
    const std::string curve = Path("two.txt");
    WriteFile(curve, "水位H(m),库容V(亿m3)\n100,1\n110,3\n");
    TChartExport exporter;
    InflowWork work;
    work.FormCreate();
    work.CurvePlot = &exporter.Plot();
    work.ResetCurveTable();
    work.ReadCurve(curve);
    const std::string png = exporter.PngBytes();
    ASSERT_TRUE(png.starts_with("\x89PNG\r\n\x1a\n"));
    QImage image;
    ASSERT_TRUE(image.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG"));
    const TRect plot = exporter.Chart().PlotRect();
    int red = 0, onDiagonal = 0;
    for (int y = plot.Top; y < plot.Bottom; ++y)
        for (int x = plot.Left; x < plot.Right; ++x) {
            const QRgb c = image.pixel(x, y);
            if (qRed(c) > 200 && qGreen(c) < 60 && qBlue(c) < 60) {
                ++red;
                // y falls as x grows: bottom-left to top-right.
                const double t = double(x - plot.Left) / (plot.Right - plot.Left);
                const double expectedY = plot.Bottom - t * (plot.Bottom - plot.Top);
                onDiagonal += std::abs(y - expectedY) <= 2.5;
            }
        }
    EXPECT_GT(red, plot.Right - plot.Left - 10);
    EXPECT_EQ(onDiagonal, red);
}

}  // namespace
