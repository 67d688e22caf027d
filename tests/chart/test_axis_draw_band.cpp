// The band beside the left axis holds the labels the axis draws: none of them
// reaches into the title, and the band is no wider than its widest label.

#include "ChartTestHost.h"

#include "Series.h"

namespace {

struct BandCase {
    double low, high;
};

// Black pixels (the labels' ink; the title is written in another colour) in
// the columns [from, to) and the rows around the axis.
struct Ink {
    int count = 0;
    int leftmost = 1 << 30;
};
Ink BlackIn(const QImage& img, int from, int to, int top, int bottom) {
    Ink ink;
    for (int y = std::max(top, 0); y < std::min(bottom, img.height()); ++y)
        for (int x = std::max(from, 0); x < std::min(to, img.width()); ++x)
            if (PixelColor(img, x, y) == clBlack) {
                ++ink.count;
                ink.leftmost = std::min(ink.leftmost, x);
            }
    return ink;
}

}  // namespace

TEST(AxisLabelBand, HoldsTheWidestLabelDrawnAndNoMore) {
    // Ranges whose end labels are narrower than the ones between them (2 and
    // 1 around 1.5), and a few that are not.
    const BandCase cases[] = {{1, 2}, {0, 1}, {-1, 1}, {0, 0.25}, {-0.05, 0.05}, {495, 530}, {1027, 1131}, {9.5, 10.5}};
    for (const BandCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.low) + " .. " + std::to_string(c.high));
        Chart1Fixture f;
        f.chart.LeftAxis().Title().Font().SetColor(clRed);
        f.series->AddPoint(0, c.low);
        f.series->AddPoint(1, (c.low + c.high) / 2);
        f.series->AddPoint(2, c.high);
        f.host->Expose();
        const QImage& img = f.host->screen;
        const TChartAxis& a = f.chart.LeftAxis();
        ASSERT_FALSE(a.TickPositions().empty());
        const int rowsTop = a.Scale().PixelStart - 20, rowsBottom = a.Scale().PixelEnd + 20;
        // Nothing of a label left of the band, where the title stands.
        EXPECT_EQ(BlackIn(img, 2, a.TitleEdgePos, rowsTop, rowsBottom).count, 0);
        // The widest label starts right after the band's free space.
        f.chart.Canvas().SelectChartFont(f.chart.LeftAxis().LabelsFont());
        const int space = f.chart.Canvas().MeasureWidth(" ");
        const Ink labels = BlackIn(img, a.TitleEdgePos, a.LabelsEdgePos, rowsTop, rowsBottom);
        ASSERT_GT(labels.count, 0);
        EXPECT_LE(labels.leftmost - a.TitleEdgePos, space + 2);
        EXPECT_GE(labels.leftmost - a.TitleEdgePos, space - 1);
    }
}

TEST(AxisLabelBand, MeasuredAtTheStepTheAxisDrawsWith) {
    // The left axis is measured before the bottom axis' bands have narrowed
    // the chart from below; the step it then draws with is the one measured,
    // and its band holds the widest label it draws.
    Chart1Fixture f;
    f.series->AddPoint(0, 0);
    f.series->AddPoint(1, 0.8);
    f.host->Expose();
    TChartAxis& a = f.chart.LeftAxis();
    f.chart.Canvas().SelectChartFont(a.LabelsFont());
    ASSERT_GE(a.DrawnTicks.size(), 2u);
    int widest = 0;
    for (const TAxisTick& t : a.DrawnTicks) widest = std::max(widest, f.chart.Canvas().MeasureWidth(t.Text));
    EXPECT_EQ(a.LabelsEdgePos - a.TitleEdgePos, widest + f.chart.Canvas().MeasureWidth(" "));
}
