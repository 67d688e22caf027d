// A series' points without a chart (the batch mode's situation): ordering,
// extremes, colours, labels, removal and the addition hooks.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ChartEngine.h"
#include "Series.h"

namespace {

std::vector<double> Xs(const TChartSeries& s) {
    std::vector<double> v;
    for (int i = 0; i < s.PointCount(); ++i)
        v.push_back(s.XValueAt(i));
    return v;
}
std::vector<double> Ys(const TChartSeries& s) {
    std::vector<double> v;
    for (int i = 0; i < s.PointCount(); ++i)
        v.push_back(s.YValueAt(i));
    return v;
}

TEST(SeriesOrder, OutOfOrderXIsSortedAndYFollows) {
    TLineSeries s;
    EXPECT_EQ(s.AddPoint(3, 30), 0);
    EXPECT_EQ(s.AddPoint(1, 10), 0);
    EXPECT_EQ(s.AddPoint(2, 20), 1);
    EXPECT_EQ(Xs(s), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(Ys(s), (std::vector<double>{10, 20, 30}));
    EXPECT_EQ(s.PointCount(), 3);
}

TEST(SeriesOrder, EqualXKeepsArrivalOrder) {
    TLineSeries s;
    s.AddPoint(5, 1);
    s.AddPoint(2, 2);
    EXPECT_EQ(s.AddPoint(2, 3), 1); // after the earlier 2
    EXPECT_EQ(s.AddPoint(5, 4), 3);
    EXPECT_EQ(Xs(s), (std::vector<double>{2, 2, 5, 5}));
    EXPECT_EQ(Ys(s), (std::vector<double>{2, 3, 1, 4}));
}

TEST(SeriesOrder, ManyAscendingPointsAreAppended) {
    // The curve reader's pattern, with no chart attached.
    TLineSeries s;
    s.RemoveAllPoints();
    const int n = 100000;
    for (int i = 0; i < n; ++i)
        ASSERT_EQ(s.AddPoint(0.5 * i, 400.0 + i, "", clDefault), i);
    EXPECT_EQ(s.PointCount(), n);
    EXPECT_EQ(s.XValues()->Capacity(), 100000);
    EXPECT_EQ(s.LowestX(), 0);
    EXPECT_EQ(s.HighestX(), 0.5 * (n - 1));
    EXPECT_EQ(s.LowestY(), 400);
    EXPECT_EQ(s.HighestY(), 400.0 + n - 1);
    EXPECT_EQ(s.PointColors(), nullptr);
    EXPECT_EQ(s.Labels().Count(), 0);
}

TEST(SeriesExtremes, EmptySeriesIsZeroAndNullPointsCount) {
    TLineSeries s;
    EXPECT_EQ(s.LowestX(), 0);
    EXPECT_EQ(s.HighestX(), 0);
    EXPECT_EQ(s.LowestY(), 0);
    EXPECT_EQ(s.HighestY(), 0);

    s.AddPoint(2, 5);
    s.AddPoint(-4, 50, "", clNone); // a null point: stored, not drawn
    s.AddPoint(3, 7);
    EXPECT_TRUE(s.IsNullPoint(0));
    EXPECT_FALSE(s.IsNullPoint(1));
    EXPECT_EQ(s.LowestX(), -4);
    EXPECT_EQ(s.HighestX(), 3);
    EXPECT_EQ(s.LowestY(), 5);
    EXPECT_EQ(s.HighestY(), 50);

    s.RemovePoint(0);
    EXPECT_EQ(s.LowestX(), 2);
    EXPECT_EQ(s.HighestY(), 7);
    s.RemoveAllPoints();
    EXPECT_EQ(s.HighestX(), 0);
    EXPECT_EQ(s.LowestY(), 0);
}

TEST(SeriesColours, ColourListOnlyWhenNeededAndGoneAfterClearing) {
    TLineSeries s;
    s.SetSeriesColor(clBlue);
    s.AddPoint(1, 1);
    s.AddPoint(2, 2);
    EXPECT_EQ(s.PointColors(), nullptr);
    EXPECT_EQ(s.PointColor(0), clBlue);

    s.AddPoint(1.5, 9, "", clYellow); // lands between the two
    ASSERT_NE(s.PointColors(), nullptr);
    EXPECT_EQ(*s.PointColors(), (std::vector<TColor>{clDefault, clYellow, clDefault}));
    EXPECT_EQ(s.PointColor(0), clBlue);
    EXPECT_EQ(s.PointColor(1), clYellow);
    s.AddPoint(0, 0); // once present, every point has an entry
    EXPECT_EQ(*s.PointColors(), (std::vector<TColor>{clDefault, clDefault, clYellow, clDefault}));

    s.RemoveAllPoints();
    EXPECT_EQ(s.PointColors(), nullptr);
    s.AddPoint(1, 1);
    s.AddPoint(2, 2);
    EXPECT_EQ(s.PointColors(), nullptr);
    EXPECT_EQ(s.PointColor(0), clBlue);
    EXPECT_EQ(s.PointColor(1), clBlue);
}

TEST(SeriesColours, ColorEachPointTakesPaletteEntriesModuloItsLength) {
    TLineSeries s;
    s.SetSeriesColor(clBlack);
    for (int i = 0; i < 23; ++i)
        s.AddPoint(i, i, "", i == 4 ? clNone : clDefault);
    s.SetColorEachPoint(true);
    EXPECT_EQ(s.PointColor(0), clRed);
    EXPECT_EQ(s.PointColor(1), clGreen);
    EXPECT_EQ(s.PointColor(4), clNone); // an own colour wins
    EXPECT_EQ(s.PointColor(19), clMedGray);
    EXPECT_EQ(s.PointColor(20), clRed);
    EXPECT_EQ(s.PointColor(22), clYellow);
    s.SetColorEachPoint(false);
    EXPECT_EQ(s.PointColor(22), clBlack);
}

TEST(SeriesLabels, EmptyLabelsCreateNoEntriesAndALateOnePads) {
    TLineSeries s;
    for (int i = 0; i < 5; ++i)
        s.AddPoint(i, i, "", clDefault);
    EXPECT_EQ(s.Labels().Count(), 0);
    EXPECT_EQ(s.AddPoint(5, 5, "five"), 5);
    ASSERT_EQ(s.Labels().Count(), 6);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(s.Labels().Label(i), "");
    EXPECT_EQ(s.Labels().Label(5), "five");
    // With entries present, even an empty label is inserted, keeping them in step.
    EXPECT_EQ(s.AddPoint(2.5, 0), 3);
    EXPECT_EQ(s.Labels().Count(), 7);
    EXPECT_EQ(s.Labels().Label(6), "five");
    EXPECT_EQ(s.Labels().Label(100), "");
}

TEST(SeriesRemove, OutOfBoundsIndexRaisesAndRemovesNothing) {
    TLineSeries s;
    s.AddPoint(1, 10);
    s.AddPoint(2, 20);
    s.AddPoint(3, 30);
    try {
        s.RemovePoint(3);
        FAIL() << "no exception";
    } catch (const ChartException& e) {
        EXPECT_STREQ(e.what(), "Series Delete: ValueIndex 3 out of bounds (0 to 2).");
    }
    EXPECT_EQ(s.PointCount(), 3);
    EXPECT_EQ(Ys(s), (std::vector<double>{10, 20, 30}));
    try {
        s.RemovePoint(-1);
        FAIL() << "no exception";
    } catch (const ChartException& e) {
        EXPECT_STREQ(e.what(), "Series Delete: ValueIndex -1 out of bounds (0 to 2).");
    }
    EXPECT_EQ(s.PointCount(), 3);
    // It is an Exception of the program, shown by the error display.
    EXPECT_THROW(TLineSeries().RemovePoint(0), Exception);
}

TEST(SeriesRemove, OnePointLeavesEveryListInStep) {
    TLineSeries s;
    s.AddPoint(1, 10, "a");
    s.AddPoint(2, 20, "b", clAqua);
    s.AddPoint(3, 30, "c", clLime);
    s.Marks().Positions.resize(3);
    s.Marks().Positions[2].Left = 33;
    s.Marks().Items.resize(2);
    s.Marks().Items[1].Text = "m1";

    s.RemovePoint(1);
    EXPECT_EQ(Xs(s), (std::vector<double>{1, 3}));
    EXPECT_EQ(Ys(s), (std::vector<double>{10, 30}));
    EXPECT_EQ(*s.PointColors(), (std::vector<TColor>{clDefault, clLime}));
    EXPECT_EQ(s.Labels().Label(1), "c");
    ASSERT_EQ(s.Marks().Positions.size(), 2u);
    EXPECT_EQ(s.Marks().Positions[1].Left, 33);
    ASSERT_EQ(s.Marks().Items.size(), 1u); // the item at 1 went with its point

    s.RemoveAllPoints();
    EXPECT_TRUE(s.Marks().Positions.empty());
    EXPECT_TRUE(s.Marks().Items.empty());
    EXPECT_EQ(s.Labels().Count(), 0);
}

TEST(SeriesRemove, RunOfPointsWithRenumbering) {
    TLineSeries s;
    for (int i = 0; i < 6; ++i)
        s.AddPoint(10 * i, i, "", i == 1 || i == 2 ? clTeal : clDefault);
    s.RemovePoints(1, 2);
    EXPECT_EQ(Xs(s), (std::vector<double>{0, 30, 40, 50}));
    EXPECT_EQ(Ys(s), (std::vector<double>{0, 3, 4, 5}));
    ASSERT_NE(s.PointColors(), nullptr);
    EXPECT_EQ(s.PointColors()->size(), 4u);

    s.RemovePoints(2, 100, true); // clipped to the end, then 0, 1, ...
    EXPECT_EQ(Xs(s), (std::vector<double>{0, 1}));
    EXPECT_EQ(Ys(s), (std::vector<double>{0, 3}));
    EXPECT_EQ(s.HighestX(), 1);

    s.RemovePoints(2, 1); // at the point count: nothing
    EXPECT_EQ(s.PointCount(), 2);
    s.RemovePoints(0, 2);
    EXPECT_EQ(s.PointCount(), 0);
    EXPECT_EQ(s.PointColors(), nullptr); // dropped once empty
}

TEST(SeriesHooks, BeforeAddCanRefuseAndAfterAddSeesTheIndex) {
    TLineSeries s;
    std::vector<double> pendingSeen;
    std::vector<int> added;
    int cleared = 0;
    s.OnBeforeAdd = [&](TChartSeries* sender) {
        pendingSeen.push_back(sender->XValues()->PendingValue);
        return sender->YValues()->PendingValue >= 0;
    };
    s.OnAfterAdd = [&](TChartSeries* sender, int index) {
        EXPECT_EQ(sender, &s);
        added.push_back(index);
    };
    s.OnClearValues = [&](TChartSeries*) { ++cleared; };

    EXPECT_EQ(s.AddPoint(5, 1), 0);
    EXPECT_EQ(s.AddPoint(6, -1, "no", clRed), -1);
    EXPECT_EQ(s.AddPoint(4, 1), 0);
    EXPECT_EQ(pendingSeen, (std::vector<double>{5, 6, 4}));
    EXPECT_EQ(added, (std::vector<int>{0, 0}));
    EXPECT_EQ(Xs(s), (std::vector<double>{4, 5}));
    EXPECT_EQ(s.PointColors(), nullptr); // the refused point left no trace
    EXPECT_EQ(s.Labels().Count(), 0);

    s.BeginDataUpdate();
    s.AddPoint(7, 1);
    EXPECT_EQ(added.size(), 2u); // no OnAfterAdd inside an update
    s.EndDataUpdate();
    EXPECT_EQ(added.size(), 2u);

    s.RemoveAllPoints();
    EXPECT_EQ(cleared, 1);
    EXPECT_EQ(s.FirstShownIndex, -1);
    EXPECT_EQ(s.LastShownIndex, -1);
}

TEST(SeriesSort, SortingXMovesYColoursAndLabelsInStep) {
    TLineSeries s;
    s.XValues()->Order = loNone;
    s.AddPoint(3, 30, "c", clNavy);
    s.AddPoint(1, 10, "a");
    s.AddPoint(2, 20);
    s.AddPoint(1, 11);
    s.XValues()->Order = loAscending;
    s.XValues()->SortValues();
    EXPECT_EQ(Xs(s), (std::vector<double>{1, 1, 2, 3}));
    EXPECT_EQ(Ys(s), (std::vector<double>{10, 11, 20, 30}));
    EXPECT_EQ(s.PointColor(3), clNavy);
    EXPECT_EQ(s.PointColors()->size(), 4u);
    EXPECT_EQ((*s.PointColors())[0], clDefault);
    EXPECT_EQ(s.Labels().Label(0), "a");
    EXPECT_EQ(s.Labels().Label(1), "");
    EXPECT_EQ(s.Labels().Label(3), "c");
}

TEST(SeriesDefaults, ValueListsInCreationOrderAndLineSeriesHidesItsPointer) {
    TLineSeries s;
    ASSERT_EQ(s.ValuesList().Count(), 2);
    EXPECT_EQ(s.ValuesList()[0], s.XValues());
    EXPECT_EQ(s.ValuesList()[1], s.YValues());
    EXPECT_EQ(s.XValues()->Name, "X");
    EXPECT_EQ(s.XValues()->Order, loAscending);
    EXPECT_EQ(s.YValues()->Name, "Y");
    EXPECT_EQ(s.YValues()->Order, loNone);
    EXPECT_EQ(s.SeriesColor(), clDefault);
    EXPECT_FALSE(s.Pointer().Visible());
    EXPECT_TRUE(s.DrawsLine());
    EXPECT_FALSE(s.DrawsArea());
}

TEST(SeriesPointer, SizeMustBePositive) {
    TLineSeries s;
    s.Pointer().SetHorizSize(6);
    EXPECT_EQ(s.Pointer().HorizSize(), 6);
    try {
        s.Pointer().SetHorizSize(0);
        FAIL() << "no exception";
    } catch (const ChartException& e) {
        EXPECT_STREQ(e.what(), "Pointer size must be greater than zero");
    }
    EXPECT_EQ(s.Pointer().HorizSize(), 6);
    EXPECT_THROW(s.Pointer().SetVertSize(-3), ChartException);
    EXPECT_EQ(s.Pointer().VertSize(), 4);
}

} // namespace
