// A series in a chart: joining and leaving, the automatic colour, the events
// it broadcasts and the repaints it asks for, and the update depth.

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "ChartEngine.h"
#include "Series.h"
#include "series_fake_chart.h"

namespace {

using Kinds = std::vector<int>;

TEST(SeriesAutoColour, FirstSeriesGetsRedTheNextGreen) {
    FakeChart chart;
    TLineSeries first, second;
    first.SetParentChart(&chart);
    EXPECT_EQ(first.SeriesColor(), clRed);
    EXPECT_EQ(first.AutoColor(), clRed);
    EXPECT_FALSE(first.IsColorStored()); // automatic: not written to a layout
    second.SetParentChart(&chart);
    EXPECT_EQ(second.SeriesColor(), clGreen);
    EXPECT_EQ(chart.list, (std::vector<TChartSeries*>{&first, &second}));
    // The colour event comes before the chart's own "attached".
    EXPECT_EQ(chart.KindsFor(&second), (Kinds{sekColorChanged, sekAdded}));
    EXPECT_EQ(second.ParentChart(), &chart);
}

TEST(SeriesAutoColour, RedTakenByAnExplicitColourGivesGreen) {
    FakeChart chart;
    TLineSeries red, s;
    red.SetSeriesColor(clRed);
    red.SetParentChart(&chart);
    EXPECT_EQ(red.SeriesColor(), clRed);
    EXPECT_EQ(chart.KindsFor(&red), (Kinds{sekAdded})); // no automatic step
    s.SetParentChart(&chart);
    EXPECT_EQ(s.SeriesColor(), clGreen);
}

TEST(SeriesAutoColour, BackgroundColoursAreSkipped) {
    FakeChart chart;
    chart.Color = clRed;
    chart.BackWallColor = clGreen;
    TLineSeries s;
    s.SetParentChart(&chart);
    EXPECT_EQ(s.SeriesColor(), clYellow);
}

TEST(SeriesAutoColour, ChartPaletteIsUsedAndItsLastEntryWhenNoneIsFree) {
    FakeChart chart;
    chart.palette = {clNavy, clOlive};
    TLineSeries a, b, c;
    a.SetParentChart(&chart);
    b.SetParentChart(&chart);
    c.SetParentChart(&chart);
    EXPECT_EQ(a.SeriesColor(), clNavy);
    EXPECT_EQ(b.SeriesColor(), clOlive);
    EXPECT_EQ(c.SeriesColor(), clOlive);
    // ColorEachPoint draws from the chart's palette too.
    c.AddPoint(0, 0);
    c.AddPoint(1, 0);
    c.AddPoint(2, 0);
    c.SetColorEachPoint(true);
    EXPECT_EQ(c.PointColor(0), clNavy);
    EXPECT_EQ(c.PointColor(1), clOlive);
    EXPECT_EQ(c.PointColor(2), clNavy);
}

TEST(SeriesAutoColour, ExplicitColourIsKept) {
    FakeChart chart;
    TLineSeries s;
    s.SetSeriesColor(clPurple);
    s.SetParentChart(&chart);
    EXPECT_EQ(s.SeriesColor(), clPurple);
    EXPECT_TRUE(s.IsColorStored());
    s.AddPoint(1, 1);
    EXPECT_EQ(s.PointColor(0), clPurple);
}

TEST(SeriesColourSetter, RepaintsOnChangeAndAlwaysBroadcasts) {
    FakeChart chart;
    TLineSeries s;
    s.SetParentChart(&chart);
    chart.ClearLog();
    s.SetSeriesColor(clRed); // the automatic colour, nothing stored: no change at all
    EXPECT_EQ(chart.invalidations, 0);
    EXPECT_TRUE(chart.events.empty());
    EXPECT_FALSE(s.IsColorStored());

    s.SetSeriesColor(clBlue);
    EXPECT_EQ(chart.invalidations, 1);
    EXPECT_EQ(chart.KindsFor(&s), (Kinds{sekColorChanged}));
    EXPECT_EQ(s.AutoColor(), clBlue);
    s.SetSeriesColor(clBlue); // stored already: event, no repaint
    EXPECT_EQ(chart.invalidations, 1);
    EXPECT_EQ(chart.KindsFor(&s), (Kinds{sekColorChanged, sekColorChanged}));
}

TEST(SeriesChart, ReattachingTakesNoNewColourAndMovingBetweenChartsDetachesFirst) {
    FakeChart one, two;
    TLineSeries s;
    s.SetParentChart(&one);
    EXPECT_EQ(s.GetHorizAxis(), one.AxisToken(aBottomAxis));
    EXPECT_EQ(s.GetVertAxis(), one.AxisToken(10 + aLeftAxis));
    EXPECT_EQ(one.dataSourceChecks, (std::vector<TChartSeries*>{&s}));
    one.ClearLog();
    s.SetParentChart(&one); // the same chart: nothing
    EXPECT_TRUE(one.events.empty());

    s.SetParentChart(&two);
    EXPECT_FALSE(one.Contains(&s));
    EXPECT_TRUE(two.Contains(&s));
    EXPECT_EQ(one.KindsFor(&s), (Kinds{sekRemoved}));
    EXPECT_EQ(one.invalidations, 1);
    EXPECT_EQ(s.ParentChart(), &two);
    EXPECT_EQ(s.Marks().ParentChart(), &two);
    EXPECT_EQ(s.GetHorizAxis(), two.AxisToken(aBottomAxis));
    EXPECT_EQ(s.SeriesColor(), clRed); // automatic again, from the new chart

    s.SetHorizAxis(aTopAxis);
    s.SetVertAxis(aRightAxis);
    EXPECT_EQ(s.GetHorizAxis(), two.AxisToken(aTopAxis));
    EXPECT_EQ(s.GetVertAxis(), two.AxisToken(10 + aRightAxis));

    s.SetParentChart(nullptr);
    EXPECT_FALSE(two.Contains(&s));
    EXPECT_EQ(s.GetHorizAxis(), nullptr);
    EXPECT_EQ(s.Marks().ParentChart(), nullptr);
}

TEST(SeriesChart, ChartSideAttachAndDetachKeepTheSeriesInformed) {
    FakeChart chart;
    TLineSeries s;
    chart.AttachSeries(&s); // from the chart's side
    EXPECT_EQ(s.ParentChart(), &chart);
    EXPECT_EQ(s.SeriesColor(), clRed);
    EXPECT_EQ(chart.list.size(), 1u);
    chart.DetachSeries(&s);
    EXPECT_EQ(s.ParentChart(), nullptr);
    EXPECT_TRUE(chart.list.empty());
    // The series works on without a chart.
    EXPECT_EQ(s.AddPoint(1, 2), 0);
    s.RemoveAllPoints();
}

TEST(SeriesChart, DestroyedSeriesLeavesItsChart) {
    FakeChart chart;
    int cleared = 0;
    {
        auto s = std::make_unique<TLineSeries>();
        s->SetParentChart(&chart);
        s->AddPoint(1, 1);
        s->OnClearValues = [&](TChartSeries*) { ++cleared; };
        chart.ClearLog();
        s.reset();
    }
    EXPECT_TRUE(chart.list.empty());
    EXPECT_EQ(cleared, 1);
    ASSERT_EQ(chart.events.size(), 1u);
    EXPECT_EQ(chart.events[0].second, sekRemoved);
}

TEST(SeriesChart, DestroyedChartIsNotAskedToRepaint) {
    TLineSeries s;
    {
        FakeChart chart;
        s.SetParentChart(&chart);
        s.AddPoint(1, 1);
        chart.destroying = true;
        chart.ClearLog();
        s.RemoveAllPoints();
        EXPECT_EQ(chart.invalidations, 0);
    } // the chart detaches the series as it goes
    EXPECT_EQ(s.ParentChart(), nullptr);
    s.AddPoint(2, 2);
    EXPECT_EQ(s.PointCount(), 1);
}

TEST(SeriesRepaints, EveryChangeOfAnActiveSeriesAsksOnce) {
    FakeChart chart;
    TLineSeries s;
    s.SetParentChart(&chart);
    chart.ClearLog();
    for (int i = 0; i < 5; ++i)
        s.AddPoint(i, i);
    EXPECT_EQ(chart.invalidations, 5);
    s.RemovePoint(0);
    EXPECT_EQ(chart.invalidations, 6);
    s.RemovePoints(0, 2);
    EXPECT_EQ(chart.invalidations, 7);
    s.RemoveAllPoints();
    EXPECT_EQ(chart.invalidations, 8);
    EXPECT_TRUE(chart.events.empty()); // data changes broadcast nothing

    s.SetColorEachPoint(true);
    s.SetColorEachPoint(true);
    EXPECT_EQ(chart.invalidations, 9);

    s.SetTitle("curve");
    s.SetTitle("curve");
    EXPECT_EQ(chart.invalidations, 10);
    EXPECT_EQ(chart.KindsFor(&s), (Kinds{sekTitleChanged}));
}

TEST(SeriesRepaints, InactiveSeriesKeepsPointsWithoutRepaints) {
    FakeChart chart;
    TLineSeries s;
    s.SetParentChart(&chart);
    s.AddPoint(1, 1);
    chart.ClearLog();
    s.SetActive(false);
    EXPECT_EQ(chart.invalidations, 1);
    EXPECT_EQ(chart.KindsFor(&s), (Kinds{sekActiveChanged}));
    s.AddPoint(2, 2);
    s.RemovePoint(0);
    s.RemoveAllPoints();
    EXPECT_EQ(chart.invalidations, 1);
    s.AddPoint(3, 3);
    s.SetActive(false); // unchanged: no repaint, the event all the same
    EXPECT_EQ(chart.invalidations, 1);
    EXPECT_EQ(chart.KindsFor(&s), (Kinds{sekActiveChanged, sekActiveChanged}));
    s.SetActive(true);
    EXPECT_EQ(chart.invalidations, 2);
    EXPECT_EQ(s.PointCount(), 1);
}

TEST(SeriesUpdateDepth, NestedUpdatesNotifyOnceAtTheEnd) {
    FakeChart chart;
    TLineSeries s;
    s.SetParentChart(&chart);
    chart.ClearLog();
    int afterAdds = 0;
    s.OnAfterAdd = [&](TChartSeries*, int) { ++afterAdds; };

    s.EndDataUpdate(); // at depth 0: nothing
    EXPECT_EQ(s.UpdateDepth(), 0);
    EXPECT_TRUE(chart.events.empty());
    EXPECT_EQ(chart.invalidations, 0);

    s.BeginDataUpdate();
    s.BeginDataUpdate();
    EXPECT_EQ(s.UpdateDepth(), 2);
    for (int i = 0; i < 1000; ++i)
        s.AddPoint(i % 7, i);
    EXPECT_EQ(afterAdds, 0);
    EXPECT_EQ(chart.invalidations, 0);
    s.EndDataUpdate();
    EXPECT_EQ(s.UpdateDepth(), 1);
    EXPECT_TRUE(chart.events.empty());
    EXPECT_EQ(chart.invalidations, 0);
    s.EndDataUpdate();
    EXPECT_EQ(s.UpdateDepth(), 0);
    EXPECT_EQ(chart.KindsFor(&s), (Kinds{sekDataChanged}));
    // The additions asked for nothing; the end of the update repaints once.
    EXPECT_EQ(chart.invalidations, 1);
    EXPECT_EQ(s.PointCount(), 1000);
    for (int i = 1; i < s.PointCount(); ++i)
        ASSERT_LE(s.XValueAt(i - 1), s.XValueAt(i));

    s.AddPoint(100, 0);
    EXPECT_EQ(afterAdds, 1);
    EXPECT_EQ(chart.invalidations, 2);
}

TEST(SeriesUpdateDepth, JoiningDuringAnUpdateSkipsTheDataSourceCheck) {
    FakeChart chart;
    TLineSeries s;
    s.BeginDataUpdate();
    s.SetParentChart(&chart);
    EXPECT_TRUE(chart.dataSourceChecks.empty());
    EXPECT_EQ(s.SeriesColor(), clRed);
    s.EndDataUpdate();
    s.SetParentChart(nullptr);
    s.SetParentChart(&chart);
    EXPECT_EQ(chart.dataSourceChecks, (std::vector<TChartSeries*>{&s}));
}

TEST(SeriesUpdateDepth, ValueSourceChangeAsksForACheckOutsideUpdates) {
    FakeChart chart;
    TLineSeries s;
    s.SetParentChart(&chart);
    chart.ClearLog();
    s.YValues()->SetValueSource("Level");
    s.YValues()->SetValueSource("Level");
    EXPECT_EQ(chart.dataSourceChecks.size(), 1u);
    s.BeginDataUpdate();
    s.YValues()->SetValueSource("Storage");
    EXPECT_EQ(chart.dataSourceChecks.size(), 1u);
    s.EndDataUpdate();
    s.XValues()->SetDateTime(true);
    s.XValues()->SetDateTime(true);
    EXPECT_EQ(chart.invalidations, 2); // the date flag once, the update's end once
}

} // namespace
