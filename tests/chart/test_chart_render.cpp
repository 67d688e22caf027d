// The window's chart rendered off screen as a picture file (for a look at it),
// checked where its numbers put the bevel, the title and the frame.

#include "ChartTestHost.h"

#include <QDir>

namespace {

QString OutputPath(const char* name) {
    const QString dir = QString(QUELMORA_BINARY_DIR) + "/chart_renders";
    QDir().mkpath(dir);
    return dir + "/" + name;
}

// Checks the picture of Chart1 against its layout state and writes it out.
void CheckAndSave(Chart1Fixture& f, const char* file) {
    const QImage& img = f.host->screen;
    ASSERT_EQ(img.size(), QSize(505, 313));
    const TColor hi = ColorToRGB(clBtnHighlight), lo = ColorToRGB(clBtnShadow), face = ColorToRGB(clBtnFace);
    EXPECT_EQ(PixelColor(img, 0, 0), hi);
    EXPECT_EQ(PixelColor(img, 504, 312), lo);
    EXPECT_EQ(PixelColor(img, 1, 1), face);

    const TRect r = f.chart.PlotRect();
    EXPECT_EQ(r.Right, 494);
    EXPECT_LT(r.Left, 120);   // the left axis' bands are narrow: a title line and three digits
    EXPECT_GT(r.Bottom, 240);
    for (int x = r.Left; x <= r.Right; ++x) {
        ASSERT_EQ(PixelColor(img, x, r.Top), clBlack) << x;
        ASSERT_EQ(PixelColor(img, x, r.Bottom), clBlack) << x;
    }
    for (int y = r.Top; y <= r.Bottom; ++y) {
        ASSERT_EQ(PixelColor(img, r.Left, y), clBlack) << y;
        ASSERT_EQ(PixelColor(img, r.Right, y), clBlack) << y;
    }
    // Every blue pixel belongs to the title, inside its bounds.
    const TRect t = f.chart.Title().TitleBounds;
    int blue = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (PixelColor(img, x, y) == clBlue) {
                ++blue;
                ASSERT_TRUE(x >= t.Left && x < t.Right && y >= t.Top && y < t.Bottom) << x << "," << y;
            }
    EXPECT_GT(blue, 60);

    const QString path = OutputPath(file);
    ASSERT_TRUE(img.save(path));
    EXPECT_EQ(QImage(path).convertToFormat(QImage::Format_RGB32), img);
}

}  // namespace

TEST(Chart1Render, LoadedCurve) {
    Chart1Fixture f;
    f.LoadExampleCurve();
    f.host->Expose();
    CheckAndSave(f, "chart1_curve.png");
    EXPECT_DOUBLE_EQ(f.chart.BottomAxis().Maximum(), 7.185);
}

TEST(Chart1Render, EmptySeries) {
    Chart1Fixture f;
    f.host->Expose();
    CheckAndSave(f, "chart1_empty.png");
    EXPECT_TRUE(f.chart.LeftAxis().Scale().RangeIsZero);
    EXPECT_TRUE(f.chart.BottomAxis().Scale().RangeIsZero);
}
