// An exception thrown by an application hook in the middle of a paint leaves
// the chart as it was before the paint: repaint requests on, the label hook
// in place, no clip left on the surface, an axis whose band was being
// measured mapping as before; and the next paint draws the chart.

#include "ChartTestHost.h"
#include "CurveChart.h"

#include "Series.h"

#include <stdexcept>

namespace {

struct Hooked {
    Hooked() {
        chart.Canvas().SetPixelsPerInch(120);
        chart.LoadLayout(CurveChartLayout());
        host = std::make_unique<ImageHost>(chart);
        line = new TLineSeries;  // the chart frees it
        line->SetParentChart(&chart);
        line->AddPoint(1, 495);
        line->AddPoint(2, 510);
        line->AddPoint(3, 530);
        chart.OnGetAxisLabel = [this](TChartAxis*, TChartSeries*, int, std::string& text) {
            ++labelCalls;
            text += "";
        };
    }
    // A paint that throws; true when the exception came out of it.
    bool Throws() {
        try {
            chart.Refresh();
        } catch (const std::runtime_error&) {
            return true;
        }
        return false;
    }
    // After the failed paint: repaints are asked for again and the next paint
    // draws the curve and its labels through the hook.
    void ExpectRecovered(const char* where) {
        SCOPED_TRACE(where);
        EXPECT_TRUE(chart.InvalidateEnabled());
        EXPECT_FALSE(chart.Canvas().IsClipped());
        ASSERT_TRUE(chart.OnGetAxisLabel);
        const int requests = host->invalidations;
        chart.LeftAxis().SetLabelsSeparation(chart.LeftAxis().LabelsSeparation() + 1);
        EXPECT_GT(host->invalidations, requests);
        labelCalls = 0;
        chart.Refresh();
        EXPECT_GT(labelCalls, 0);
        EXPECT_GT(CountColour(host->screen, ColorToRGB(line->SeriesColor())), 100);
    }
    static int CountColour(const QImage& img, TColor c) {
        int n = 0;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) n += PixelColor(img, x, y) == c;
        return n;
    }

    TChart chart;
    std::unique_ptr<ImageHost> host;
    TLineSeries* line = nullptr;
    int labelCalls = 0;
};

}  // namespace

TEST(RenderExceptions, AHookThrowingBeforeTheSeriesLeavesRepaintsOn) {
    Hooked h;
    h.chart.OnBeforeDrawSeries = [](TCustomAxisPanel*) { throw std::runtime_error("before series"); };
    EXPECT_TRUE(h.Throws());
    h.chart.OnBeforeDrawSeries = nullptr;
    h.ExpectRecovered("before the series");
}

TEST(RenderExceptions, AValuesHookThrowingWhileLabelsAreMeasuredKeepsTheLabelHook) {
    // The labels' values come from the application; the first call throws,
    // while the label width is measured and the text hook is put aside.
    Hooked h;
    int calls = 0;
    h.chart.OnGetNextAxisLabel = [&calls](TChartAxis*, int, double&, bool&) {
        if (++calls == 1) throw std::runtime_error("label values");
    };
    EXPECT_TRUE(h.Throws());
    EXPECT_EQ(calls, 1);
    h.chart.OnGetNextAxisLabel = nullptr;
    h.ExpectRecovered("measuring the labels");
}

TEST(RenderExceptions, AHookThrowingInsideTheClippedSeriesLeavesNoClip) {
    Hooked h;
    h.line->Pointer().SetVisible(true);
    h.line->OnGetPointerStyle = [](TChartSeries*, int index) -> TSeriesPointerStyle {
        if (index == 1) throw std::runtime_error("pointer style");
        return psRectangle;
    };
    EXPECT_TRUE(h.Throws());
    h.line->OnGetPointerStyle = nullptr;
    h.ExpectRecovered("drawing the series");
}

TEST(RenderExceptions, AValuesHookThrowingWhileTheBandIsMeasuredLeavesTheAxisScale) {
    // The band is measured at the length the axis will have, on a copy of
    // its scale: a throw leaves the scale the last paint mapped with.
    Hooked h;
    h.chart.Refresh();
    TChartAxis& left = h.chart.LeftAxis();
    const TAxisScale before = left.Scale();
    h.chart.OnGetNextAxisLabel = [](TChartAxis*, int, double&, bool&) { throw std::runtime_error("label values"); };
    TRect rect{0, 0, 300, 100};
    EXPECT_THROW(left.ReserveAxisSpace(rect, true), std::runtime_error);
    const TAxisScale& after = left.Scale();
    EXPECT_EQ(after.PixelStart, before.PixelStart);
    EXPECT_EQ(after.PixelEnd, before.PixelEnd);
    EXPECT_EQ(after.PixelLength, before.PixelLength);
    EXPECT_EQ(after.PixelsPerUnit, before.PixelsPerUnit);
    EXPECT_EQ(left.ValueToPixel(510), before.ValueToPixel(510));
    h.chart.OnGetNextAxisLabel = nullptr;
}
