// The chart control: its chart rectangle from margins, frame, titles and axes;
// the bevels and the frame in the rendered picture; when it repaints and when
// an exposure only copies; series attachment; the stored layout.

#include "ChartTestHost.h"
#include "CurveChart.h"

#include <QPalette>

namespace {

TColor Face() { return ColorToRGB(clBtnFace); }
TColor Highlight() { return ColorToRGB(clBtnHighlight); }
TColor Shadow() { return ColorToRGB(clBtnShadow); }

// The height and widths the title's font gives at 120 ppi.
struct TitleMetrics {
    int h, w, text;
};
TitleMetrics MeasureTitle(TChartTitle& title, const std::string& line) {
    TChartCanvas probe;
    probe.SetPixelsPerInch(120);
    probe.SelectChartFont(title.Font());
    return {probe.CharHeight(), probe.MeasureWidth("W"), probe.MeasureWidth(line)};
}

class RecordingListener : public TChartListener {
public:
    void ChartEvent(const TChartEvent& e) override {
        if (auto* s = dynamic_cast<const TChartSeriesEvent*>(&e)) kinds.push_back(s->Kind);
        if (dynamic_cast<const TChartView3DEvent*>(&e)) ++view3d;
    }
    std::vector<int> kinds;
    int view3d = 0;
};

}  // namespace

// ---------------------------------------------------------------------------
TEST(ChartLayout, MarginsAndBevelGiveThePlotRectBeforeTitlesAndAxes) {
    Chart1Fixture f;
    TRect atStart;
    f.chart.OnBeforeDrawChart = [&](TCustomAxisPanel* c) { atStart = c->PlotRect(); };
    f.host->Expose();
    EXPECT_EQ(atStart, (TRect{11, 7, 494, 306}));  // 2 % of 505 and 313 inside a 1-pixel bevel

    // With no title and no axes nothing else takes room, and the frame lies on those edges.
    f.chart.Title().SetVisible(false);
    f.chart.SetAxisVisible(false);
    f.host->Expose();
    EXPECT_EQ(f.chart.PlotRect(), (TRect{11, 7, 494, 306}));
    EXPECT_EQ(f.chart.PlotWidth(), 483);
    EXPECT_EQ(f.chart.PlotHeight(), 299);
    EXPECT_EQ(f.chart.PlotCenterX(), 252);
    EXPECT_EQ(f.chart.PlotCenterY(), 156);
    const QImage& img = f.host->screen;
    EXPECT_EQ(RowPattern(img, 7, 10, 496, clBlack), "." + std::string(484, '#') + ".");
    EXPECT_EQ(RowPattern(img, 306, 10, 496, clBlack), "." + std::string(484, '#') + ".");
    EXPECT_EQ(ColumnPattern(img, 11, 6, 308, clBlack), "." + std::string(300, '#') + ".");
    EXPECT_EQ(ColumnPattern(img, 494, 6, 308, clBlack), "." + std::string(300, '#') + ".");
    EXPECT_EQ(PixelColor(img, 12, 8), Face());  // a transparent back wall fills nothing
    EXPECT_EQ(PixelColor(img, 493, 305), Face());
}

TEST(ChartLayout, TitleBoundsAndLineFollowTheMeasuredTextHeight) {
    Chart1Fixture f;
    f.LoadExampleCurve();
    f.host->Expose();
    const std::string text = "库容水位曲线";
    const TitleMetrics m = MeasureTitle(f.chart.Title(), text);
    ASSERT_GT(m.h, 0);
    const int a = m.w + 1 + m.text;  // "W" + frame + the line
    const TRect expected{252 - a / 2, 7, 252 + a / 2, 9 + m.h};
    EXPECT_EQ(f.chart.Title().TitleBounds, expected);
    EXPECT_EQ(f.chart.PlotRect().Top, 15 + m.h);

    // The blue glyphs lie in the line's cell: from y = 8, centred on x = 252.
    QImage blue(f.host->screen.size(), QImage::Format_RGB32);
    blue.fill(Qt::white);
    for (int y = 0; y < blue.height(); ++y)
        for (int x = 0; x < blue.width(); ++x)
            if (PixelColor(f.host->screen, x, y) == clBlue) blue.setPixel(x, y, 0xFF000000u);
    const TRect ink = InkBounds(blue, clWhite);
    ASSERT_FALSE(ink.IsEmpty());
    EXPECT_GE(ink.Left, 252 - m.text / 2);
    EXPECT_LE(ink.Right, 252 - m.text / 2 + m.text);
    EXPECT_GE(ink.Top, 8);
    EXPECT_LE(ink.Bottom, 8 + m.h);
    EXPECT_GT(ink.Width(), m.text / 2);
}

TEST(ChartLayout, FootTitlesTakeTheirRoomOffTheBottom) {
    Chart1Fixture f;
    f.chart.SetAxisVisible(false);
    f.chart.Title().SetVisible(false);
    f.chart.Foot().SetText({"first", "second"});
    f.host->Expose();
    const TitleMetrics m = MeasureTitle(f.chart.Foot(), "first");
    const TRect& b = f.chart.Foot().TitleBounds;
    EXPECT_EQ(b.Bottom, 307);  // PlotRect bottom grown by the frame
    EXPECT_EQ(b.Top, 306 - 2 * m.h - 1);
    EXPECT_EQ(f.chart.PlotRect().Bottom, 307 - 6 - 2 * m.h);
    EXPECT_EQ(f.chart.PlotRect().Top, 7);
}

TEST(ChartLayout, ShownAxesTakeTheirBandsOffTheLeftAndBottom) {
    Chart1Fixture f;
    f.LoadExampleCurve();
    f.host->Expose();
    TChartAxis& left = f.chart.LeftAxis();
    TChartAxis& bottom = f.chart.BottomAxis();
    EXPECT_TRUE(left.IsShown);
    EXPECT_TRUE(bottom.IsShown);
    EXPECT_FALSE(f.chart.TopAxis().IsShown);
    EXPECT_FALSE(f.chart.RightAxis().IsShown);
    TChartCanvas probe;
    probe.SetPixelsPerInch(120);
    probe.SelectChartFont(left.Title().Font());
    const int titleH = probe.CharHeight();
    // Left: title band, value labels band, then the 7 pixels of axis line and ticks.
    EXPECT_EQ(left.TitleEdgePos, 11 + titleH);
    EXPECT_GT(left.LabelsEdgePos, left.TitleEdgePos);
    EXPECT_EQ(f.chart.PlotRect().Left, left.LabelsEdgePos + 7);
    // Bottom: title band and one text line of labels.
    EXPECT_EQ(bottom.TitleEdgePos, 306 - titleH);
    EXPECT_EQ(bottom.LabelsEdgePos, bottom.TitleEdgePos - titleH);
    EXPECT_EQ(f.chart.PlotRect().Bottom, bottom.LabelsEdgePos - 7);
    EXPECT_EQ(f.chart.PlotRect().Right, 494);
    // The axes then span the new rectangle.
    EXPECT_EQ(bottom.Scale().PixelStart, f.chart.PlotRect().Left);
    EXPECT_EQ(bottom.Scale().PixelEnd, 494);
    EXPECT_EQ(left.Scale().PixelStart, f.chart.PlotRect().Top);
    EXPECT_EQ(left.Scale().PixelEnd, f.chart.PlotRect().Bottom);
    EXPECT_DOUBLE_EQ(bottom.Minimum(), 1.58);
    EXPECT_DOUBLE_EQ(bottom.Maximum(), 7.185);
    EXPECT_EQ(left.Minimum(), 495);
    EXPECT_EQ(left.Maximum(), 530);
    // The frame stands on the shrunk rectangle (the two-pixel axis lines cover
    // it and the pixel left of it, above it).
    const TRect r = f.chart.PlotRect();
    EXPECT_EQ(PixelColor(f.host->screen, r.Left, r.Top + 10), clBlack);
    EXPECT_EQ(PixelColor(f.host->screen, r.Left + 1, r.Top + 10), Face());
    EXPECT_EQ(PixelColor(f.host->screen, r.Left + 10, r.Bottom), clBlack);
    EXPECT_EQ(PixelColor(f.host->screen, r.Left + 10, r.Bottom - 2), Face());
}

TEST(ChartLayout, WithoutSeriesEveryVisibleAxisIsShown) {
    TChart chart;
    ImageHost host(chart);
    host.Expose();
    EXPECT_TRUE(chart.BottomAxis().IsShown);
    EXPECT_TRUE(chart.TopAxis().IsShown);
    EXPECT_TRUE(chart.LeftAxis().IsShown);
    EXPECT_TRUE(chart.RightAxis().IsShown);
    EXPECT_FALSE(chart.DepthAxis().IsShown);
    EXPECT_FALSE(chart.DepthTopAxis().IsShown);
    // All four took room: the rectangle is inside the margins on every side.
    const TRect r = chart.PlotRect();
    const int l = 1 + 3 * 400 / 100, t = 1 + 4 * 250 / 100;
    EXPECT_GT(r.Left, l);
    EXPECT_GT(r.Top, t);
    EXPECT_LT(r.Right, 400 - l);
    EXPECT_LT(r.Bottom, 250 - t);
}

TEST(ChartLayout, CollapsedRectanglesAreRepairedBothWays) {
    TChart chart;
    ImageHost host(chart);
    chart.SetAxisVisible(false);
    chart.SetMarginUnits(muPixels);
    chart.SetBounds(0, 0, 100, 80);
    host.Resize();
    // Negative width and height: one pixel.
    chart.SetMarginLeft(60), chart.SetMarginRight(40);
    chart.SetMarginTop(50), chart.SetMarginBottom(30);
    host.Expose();
    EXPECT_EQ(chart.PlotRect(), (TRect{61, 51, 62, 52}));
    // Zero width and height: as wide and high as the whole control.
    chart.SetMarginLeft(50), chart.SetMarginRight(48);
    chart.SetMarginTop(40), chart.SetMarginBottom(38);
    host.Expose();
    EXPECT_EQ(chart.PlotRect(), (TRect{51, 41, 151, 121}));
    EXPECT_EQ(chart.PlotWidth(), 100);
    EXPECT_EQ(chart.PlotCenterY(), 81);
}

TEST(ChartLayout, FrameInsetCountsBevelsBorderWidthAndAVisibleBorder) {
    TChart chart;
    ImageHost host(chart);
    chart.SetAxisVisible(false);
    chart.SetMarginUnits(muPixels);
    for (auto side : {TCustomChartPanel::mLeft, TCustomChartPanel::mTop, TCustomChartPanel::mRight, TCustomChartPanel::mBottom})
        chart.SetMargin(side, 0);
    host.Expose();
    EXPECT_EQ(chart.PlotRect(), (TRect{1, 1, 399, 249}));
    chart.SetBevelInner(bvLowered);
    chart.SetBevelWidth(2);
    chart.SetBorderWidth(3);
    chart.Border().SetVisible(true);
    host.Expose();
    EXPECT_EQ(chart.PlotRect(), (TRect{8, 8, 392, 242}));  // 2 + 2 + 3 + the border's 1
    // Outermost: the border line; then the raised outer bevel.
    EXPECT_EQ(PixelColor(host.screen, 0, 0), clBlack);
    EXPECT_EQ(PixelColor(host.screen, 1, 1), Highlight());
    EXPECT_EQ(PixelColor(host.screen, 2, 2), Highlight());
    EXPECT_EQ(PixelColor(host.screen, 397, 3), Shadow());
}

TEST(ChartPaint, RaisedBevelIsHighlightTopLeftAndShadowBottomRight) {
    Chart1Fixture f;
    f.host->Expose();
    const QImage& img = f.host->screen;
    EXPECT_EQ(RowPattern(img, 0, 0, 505, Highlight()), std::string(504, '#') + ".");
    EXPECT_EQ(ColumnPattern(img, 0, 0, 313, Highlight()), std::string(312, '#') + ".");
    EXPECT_EQ(RowPattern(img, 312, 0, 505, Shadow()), std::string(505, '#'));
    EXPECT_EQ(ColumnPattern(img, 504, 0, 313, Shadow()), std::string(313, '#'));
    EXPECT_EQ(PixelColor(img, 1, 1), Face());
    EXPECT_EQ(PixelColor(img, 503, 311), Face());
    // Lowered: the colours trade places.
    f.chart.SetBevelOuter(bvLowered);
    f.host->Expose();
    EXPECT_EQ(PixelColor(img, 5, 0), Shadow());
    EXPECT_EQ(PixelColor(img, 504, 5), Highlight());
}

TEST(ChartPaint, SettingAPropertyToItsOwnValueSchedulesNoRepaint) {
    Chart1Fixture f;
    f.host->Expose();
    const int before = f.host->invalidations;
    f.chart.SetMarginLeft(2);
    f.chart.SetView3D(false);
    f.chart.SetColor(clBtnFace);
    f.chart.Title().Font().SetColor(clBlue);
    f.chart.Title().SetText({"库容水位曲线"});
    f.chart.BottomAxis().SetInverted(false);
    f.chart.LeftAxis().Title().SetCaption("水位 /m");
    f.chart.BackWall().Pen().SetWidth(1);
    f.chart.Zoom().SetAllow(true);
    f.chart.View3DOptions().SetZoom(100);
    EXPECT_EQ(f.host->invalidations, before);
    EXPECT_FALSE(f.chart.Canvas().BufferDirty());

    // Every one of them repaints when the value does change.
    int expected = before;
    auto changed = [&](const char* what) {
        EXPECT_EQ(f.host->invalidations, ++expected) << what;
        EXPECT_TRUE(f.chart.Canvas().BufferDirty()) << what;
    };
    f.chart.SetMarginLeft(3), changed("margin");
    f.chart.Title().Font().SetColor(clRed), changed("title font");
    f.chart.Title().SetText({"x"}), changed("title text");
    f.chart.BottomAxis().SetInverted(true), changed("axis");
    f.chart.LeftAxis().LabelsFont().SetSize(9), changed("labels font");
    f.chart.BackWall().Pen().SetWidth(2), changed("frame pen");
    f.chart.Zoom().SetAllow(false), changed("zoom");
    f.chart.View3DOptions().SetZoom(90), changed("3D options");
    f.chart.Legend().Shadow().SetVertSize(3), changed("legend shadow");
    f.chart.Border().SetColor(clRed), changed("border");
}

TEST(ChartPaint, AnExposureWithoutInvalidationOnlyCopies) {
    Chart1Fixture f;
    f.LoadExampleCurve();
    f.host->Expose();
    EXPECT_EQ(f.chart.RenderCount(), 1);
    const QImage first = f.host->screen.copy();
    // Another window covered the chart and went away.
    f.host->screen.fill(Qt::black);
    f.host->Expose();
    EXPECT_EQ(f.chart.RenderCount(), 1);
    EXPECT_EQ(f.host->screen, first);
    // A change renders anew, once.
    f.chart.Title().SetText({"other"});
    f.host->Expose();
    f.host->Expose();
    EXPECT_EQ(f.chart.RenderCount(), 2);
    EXPECT_NE(f.host->screen, first);
    // Refresh always runs the pipeline.
    f.chart.Refresh();
    EXPECT_EQ(f.chart.RenderCount(), 3);
    // Printing paints nothing at all.
    f.chart.SetIsPrinting(true);
    f.chart.Invalidate();
    f.host->Expose();
    EXPECT_EQ(f.chart.RenderCount(), 3);
}

TEST(ChartPaint, ChangesWhilePaintingScheduleNoRepaint) {
    Chart1Fixture f;
    int drawn = 0;
    f.chart.OnBeforeDrawChart = [&](TCustomAxisPanel*) {
        EXPECT_FALSE(f.chart.InvalidateEnabled());
        f.chart.Title().Font().SetSize(8 + (++drawn % 2));  // a real change every time
    };
    bool afterDraw = false;
    f.chart.OnAfterDraw = [&](TCustomChartPanel*) { afterDraw = true; };
    f.host->Expose();
    const int requests = f.host->invalidations;
    f.host->Expose();
    EXPECT_EQ(drawn, 1);
    EXPECT_TRUE(afterDraw);
    EXPECT_EQ(f.host->invalidations, requests);
    EXPECT_TRUE(f.chart.InvalidateEnabled());
    // Switched off by hand, invalidation requests are dropped too.
    f.chart.SetInvalidateEnabled(false);
    f.chart.SetMarginTop(9);
    EXPECT_EQ(f.host->invalidations, requests);
}

TEST(ChartPaint, PipelineRunsItsStepsInOrder) {
    Chart1Fixture f;
    f.LoadExampleCurve();
    std::vector<std::string> steps;
    f.chart.OnBeforeDrawChart = [&](TCustomAxisPanel*) { steps.push_back("chart"); };
    f.chart.OnBeforeDrawAxes = [&](TCustomAxisPanel*) { steps.push_back("axes"); };
    f.chart.OnBeforeDrawSeries = [&](TCustomAxisPanel*) { steps.push_back("series"); };
    f.series->BeforeDrawValues = [&](TChartSeries*) { steps.push_back("values"); };
    f.series->AfterDrawValues = [&](TChartSeries*) { steps.push_back("values done"); };
    f.chart.OnAfterDraw = [&](TCustomChartPanel*) { steps.push_back("after"); };
    f.host->Expose();
    EXPECT_EQ(steps, (std::vector<std::string>{"chart", "axes", "series", "values", "values done", "after"}));
    EXPECT_FALSE(f.chart.Canvas().IsClipped());  // the series clip is removed again
    steps.clear();
    f.chart.SetAxisBehind(false);
    f.host->Expose();
    EXPECT_EQ(steps, (std::vector<std::string>{"chart", "series", "values", "values done", "axes", "after"}));
    // An empty series is skipped, events and all; axes and frame are still there.
    steps.clear();
    f.series->RemoveAllPoints();
    f.host->Expose();
    EXPECT_EQ(steps, (std::vector<std::string>{"chart", "series", "axes", "after"}));
    EXPECT_TRUE(f.chart.LeftAxis().IsShown);
    EXPECT_TRUE(f.chart.BottomAxis().IsShown);
    EXPECT_EQ(PixelColor(f.host->screen, f.chart.PlotRect().Left, f.chart.PlotRect().Top), clBlack);
}

// ---------------------------------------------------------------------------
TEST(ChartSeries, AttachAndDetachBroadcastAndRepaint) {
    TChart chart;
    ImageHost host(chart);
    RecordingListener listener;
    chart.Listeners().Add(&listener);
    auto* a = new TChartSeries;
    const int before = host.invalidations;
    a->SetParentChart(&chart);
    EXPECT_EQ(chart.SeriesCount(), 1);
    EXPECT_EQ(a->SeriesColor(), clRed);
    EXPECT_EQ(listener.kinds, (std::vector<int>{3, 0}));  // automatic colour, then attached
    EXPECT_GT(host.invalidations, before);
    chart.AttachSeries(a);  // already there: ignored
    EXPECT_EQ(chart.SeriesCount(), 1);
    EXPECT_EQ(listener.kinds.size(), 2u);

    // A back wall in the first palette colour makes the next series green.
    chart.BackWall().SetColor(clRed);
    auto* b = new TChartSeries;
    chart.AttachSeries(b);
    EXPECT_EQ(b->ParentChart(), &chart);
    EXPECT_EQ(b->SeriesColor(), clGreen);
    EXPECT_EQ(chart.SeriesList(), (std::vector<TChartSeries*>{a, b}));
    EXPECT_EQ(chart.ActiveSeriesCount(), 2);
    b->SetActive(false);
    EXPECT_EQ(chart.ActiveSeriesCount(), 1);

    listener.kinds.clear();
    chart.DetachSeries(a);
    EXPECT_EQ(listener.kinds, (std::vector<int>{1}));
    EXPECT_EQ(a->ParentChart(), nullptr);
    EXPECT_EQ(chart.SeriesList(), (std::vector<TChartSeries*>{b}));
    chart.DetachSeries(a);  // not there: nothing
    EXPECT_EQ(listener.kinds.size(), 1u);
    delete a;
    chart.Listeners().Remove(&listener);
}

TEST(ChartSeries, TheChartFreesTheSeriesStillAttached) {
    struct Watched : TChartSeries {
        explicit Watched(int& gone) : gone_(gone) {}
        ~Watched() override { ++gone_; }
        int& gone_;
    };
    int gone = 0;
    {
        TChart chart;
        (new Watched(gone))->SetParentChart(&chart);
        (new Watched(gone))->SetParentChart(&chart);
        auto* kept = new Watched(gone);
        kept->SetParentChart(&chart);
        chart.DetachSeries(kept);
        delete kept;
        EXPECT_EQ(gone, 1);
    }
    EXPECT_EQ(gone, 3);
}

TEST(ChartSeries, BackColorAndFreeColours) {
    TChart chart;
    EXPECT_EQ(chart.BackColor(), clBtnFace);
    chart.BackWall().SetTransparent(false);
    EXPECT_EQ(chart.BackColor(), clSilver);
    EXPECT_FALSE(chart.IsFreeColor(clSilver, true, nullptr));
    EXPECT_TRUE(chart.IsFreeColor(clSilver, false, nullptr));
    EXPECT_FALSE(chart.IsFreeColor(clBtnFace, true, nullptr));
    TChartSeries* s = new TChartSeries;
    s->SetParentChart(&chart);
    EXPECT_FALSE(chart.IsFreeColor(clRed, false, nullptr));
    EXPECT_TRUE(chart.IsFreeColor(clRed, false, s));
}

TEST(ChartSeries, View3DChangesBroadcast) {
    TChart chart;
    RecordingListener listener;
    chart.Listeners().Add(&listener);
    chart.SetView3D(false);
    chart.SetView3D(false);
    EXPECT_EQ(listener.view3d, 1);
    chart.Listeners().Remove(&listener);
}

// ---------------------------------------------------------------------------
TEST(ChartStoredLayout, Chart1RecordSetsTheWindowsChart) {
    TChart chart;
    chart.LoadLayout(CurveChartLayout());
    EXPECT_FALSE(chart.Legend().Visible());
    EXPECT_FALSE(chart.View3D());
    EXPECT_EQ(chart.MarginLeft(), 2);
    EXPECT_EQ(chart.MarginTop(), 2);
    EXPECT_EQ(chart.MarginRight(), 2);
    EXPECT_EQ(chart.MarginBottom(), 2);
    EXPECT_EQ(chart.Title().Text(), (std::vector<std::string>{"库容水位曲线"}));
    EXPECT_EQ(chart.BottomAxis().Title().Caption(), "库容 / 10^8m^3");
    EXPECT_EQ(chart.LeftAxis().Title().Caption(), "水位 /m");
    EXPECT_EQ(chart.PrintMargins(), (std::array<int, 4>{15, 13, 15, 13}));
    EXPECT_EQ(chart.Width(), 505);
    EXPECT_EQ(chart.Height(), 313);
    EXPECT_EQ(chart.Left(), 208);
    EXPECT_FALSE(chart.Loading());

    // Stored again, the record holds what differs from a new chart, margins last.
    const TLayoutRecord stored = chart.StoreLayout();
    ASSERT_NE(stored.Find("PrintMargins"), nullptr);
    EXPECT_EQ(stored.Find("PrintMargins")->AsIntegers(), (std::vector<long long>{15, 13, 15, 13}));
    EXPECT_EQ(stored.Find("Legend.Visible")->AsBool(), false);
    EXPECT_EQ(stored.Find("MarginLeft")->AsInteger(), 2);
    EXPECT_EQ(stored.Find("BottomAxis.Title.Caption")->AsString(), "库容 / 10^8m^3");
    EXPECT_EQ(stored.Find("MarginUnits"), nullptr);  // at its default
    EXPECT_EQ(stored.Find("LeftAxis.Automatic"), nullptr);
    TChart copy;
    copy.LoadLayout(stored);
    EXPECT_EQ(copy.StoreLayout().Entries(), stored.Entries());
}

TEST(ChartStoredLayout, PrintMarginsAreWrittenOnlyWhenOneDiffersFrom15) {
    TChart chart;
    EXPECT_EQ(chart.StoreLayout().Find("PrintMargins"), nullptr);
    chart.SetPrintMargins({15, 15, 15, 16});
    EXPECT_NE(chart.StoreLayout().Find("PrintMargins"), nullptr);
    TLayoutRecord r;
    r.Add("PrintMargins", TLayoutValue::Integers({15, 15, 15, 15}));
    chart.LoadLayout(r);
    EXPECT_EQ(chart.StoreLayout().Find("PrintMargins"), nullptr);
}

TEST(ChartStoredLayout, LegacyKeysSetBorderAndZoom) {
    TChart chart;
    TLayoutRecord r;
    r.Add("BorderStyle", TLayoutValue::Ident("bsSingle"));
    r.Add("AllowZoom", TLayoutValue::Bool(false));
    r.Add("AnimatedZoom", TLayoutValue::Bool(true));
    r.Add("AnimatedZoomSteps", TLayoutValue::Integer(5));
    r.Add("Frame.Color", TLayoutValue::Ident("clRed"));
    chart.LoadLayout(r);
    EXPECT_TRUE(chart.Border().Visible());
    EXPECT_FALSE(chart.Zoom().Allow());
    EXPECT_TRUE(chart.Zoom().Animated());
    EXPECT_EQ(chart.Zoom().AnimatedSteps(), 5);
    EXPECT_EQ(chart.Frame().Color(), clRed);
    chart.ReadProperty("BorderStyle", TLayoutValue::Ident("bsNone"));
    EXPECT_FALSE(chart.Border().Visible());
    // Legacy keys are read, never written: the published settings carry them.
    const TLayoutRecord stored = chart.StoreLayout();
    EXPECT_EQ(stored.Find("AllowZoom"), nullptr);
    EXPECT_EQ(stored.Find("Zoom.Allow")->AsBool(), false);
    EXPECT_EQ(stored.Find("BackWall.Pen.Color")->AsIdent(), "clRed");
}

TEST(ChartStoredLayout, UnknownNamesAndWrongValuesAreErrors) {
    TChart chart;
    try {
        chart.ReadProperty("Title.Colour", TLayoutValue::Ident("clRed"));
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Property Title.Colour does not exist");
    }
    try {
        chart.ReadProperty("MarginLeft", TLayoutValue::String("2"));
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Invalid property value");
    }
    EXPECT_THROW(chart.ReadProperty("BevelOuter", TLayoutValue::Ident("bvSideways")), Exception);
    EXPECT_THROW(chart.ReadProperty("PrintMargins", TLayoutValue::Integers({1, 2})), Exception);
    EXPECT_EQ(chart.MarginLeft(), 3);
    EXPECT_EQ(chart.BevelOuter(), bvRaised);
    // A failed load still ends the loading state.
    TLayoutRecord r;
    r.Add("NoSuchThing", TLayoutValue::Integer(1));
    EXPECT_THROW(chart.LoadLayout(r), Exception);
    EXPECT_FALSE(chart.Loading());
}

TEST(ChartStoredLayout, AxisRangeChecksWaitUntilLoadingHasFinished) {
    TChart chart;
    TLayoutRecord r;
    r.Add("LeftAxis.Minimum", TLayoutValue::Float(10));  // above the stored Maximum for now
    r.Add("LeftAxis.Maximum", TLayoutValue::Float(20));
    r.Add("LeftAxis.Automatic", TLayoutValue::Bool(false));
    chart.LoadLayout(r);
    EXPECT_EQ(chart.LeftAxis().Minimum(), 10);
    EXPECT_EQ(chart.LeftAxis().Maximum(), 20);
    // While loading, Automatic leaves the other two flags alone.
    EXPECT_FALSE(chart.LeftAxis().Automatic());
    EXPECT_TRUE(chart.LeftAxis().AutomaticMinimum());
    EXPECT_THROW(chart.LeftAxis().SetMinimum(30), AxisException);
}

TEST(ChartStoredLayout, LoadingFinishesWithTheRestCursor) {
    TChart chart;
    ImageHost host(chart);
    TLayoutRecord r;
    r.Add("Cursor", TLayoutValue::Integer(-3));
    r.Add("Width", TLayoutValue::Integer(120));
    chart.LoadLayout(r);
    EXPECT_EQ(chart.RestCursor(), -3);
    EXPECT_EQ(host.lastCursor, -3);
    EXPECT_EQ(host.screen.width(), 120);  // the host followed the stored size
}
