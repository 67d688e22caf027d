// Value lists on their own: ordered insertion, storage growth, lazy statistics
// and the reordering operations.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "ChartEngine.h"

namespace {

std::vector<double> Values(const TChartValueList& l) {
    std::vector<double> v;
    for (int i = 0; i < l.ValueCount(); ++i)
        v.push_back(l[i]);
    return v;
}

TEST(ValueListOrder, AscendingScanPlacesEachValueAfterItsEquals) {
    TChartValueList l(nullptr, "X");
    l.Order = loAscending;
    EXPECT_EQ(l.AddOrdered(3), 0);
    EXPECT_EQ(l.AddOrdered(1), 0);
    EXPECT_EQ(l.AddOrdered(2), 1);
    EXPECT_EQ(l.AddOrdered(2), 2);   // after the earlier 2
    EXPECT_EQ(l.AddOrdered(3), 4);   // equal to the last: appended
    EXPECT_EQ(l.AddOrdered(0.5), 0); // runs off the front
    EXPECT_EQ(Values(l), (std::vector<double>{0.5, 1, 2, 2, 3, 3}));
    EXPECT_EQ(l.PendingValue, 0.5);
}

TEST(ValueListOrder, DescendingIsTheMirrorImage) {
    TChartValueList l(nullptr, "X");
    l.Order = loDescending;
    EXPECT_EQ(l.AddOrdered(1), 0);
    EXPECT_EQ(l.AddOrdered(3), 0);
    EXPECT_EQ(l.AddOrdered(2), 1);
    EXPECT_EQ(l.AddOrdered(2), 2);
    EXPECT_EQ(l.AddOrdered(1), 4);
    EXPECT_EQ(l.AddOrdered(5), 0);
    EXPECT_EQ(Values(l), (std::vector<double>{5, 3, 2, 2, 1, 1}));
}

TEST(ValueListOrder, NoneKeepsArrivalOrderAndSettingOrderDoesNotResort) {
    TChartValueList l(nullptr, "Y");
    for (double v : {3.0, 1.0, 2.0})
        l.AddOrdered(v);
    EXPECT_EQ(Values(l), (std::vector<double>{3, 1, 2}));
    l.Order = loAscending;
    EXPECT_EQ(Values(l), (std::vector<double>{3, 1, 2}));
    // The next value still scans from the end only.
    EXPECT_EQ(l.AddOrdered(1.5), 2);
    EXPECT_EQ(Values(l), (std::vector<double>{3, 1, 1.5, 2}));
}

TEST(ValueListStorage, GrowsInFixedStepsOfAThousand) {
    TChartValueList l(nullptr, "X");
    l.Order = loAscending;
    EXPECT_EQ(l.Capacity(), 0);
    std::vector<int> capacities;
    for (int i = 0; i < 1001; ++i) {
        const int before = l.Capacity();
        l.AddOrdered(i);
        if (l.Capacity() != before) capacities.push_back(l.Capacity());
    }
    // The first allocation, then exactly one growth for the 1001st value.
    EXPECT_EQ(capacities, (std::vector<int>{1000, 2000}));
    for (int i = 1001; i < 2000; ++i)
        l.AddOrdered(i);
    EXPECT_EQ(l.Capacity(), 2000);
    l.InsertAt(0, -1); // InsertAt grows the same way
    EXPECT_EQ(l.Capacity(), 3000);
    EXPECT_EQ(l.ValueCount(), 2001);
    EXPECT_EQ(l[0], -1);
    EXPECT_EQ(l[1000], 999);
    EXPECT_EQ(l.LastValue(), 1999);
    l.RemoveAt(0);
    EXPECT_EQ(l.Capacity(), 3000); // removal keeps the storage
    l.RemoveAll();
    EXPECT_EQ(l.ValueCount(), 0);
    EXPECT_EQ(l.Capacity(), 0); // ... RemoveAll releases it
    EXPECT_EQ(l.ValueArray(), nullptr);
}

TEST(ValueListStats, ComputedLazilyAndOnlyWhenRead) {
    TChartValueList l(nullptr, "Y");
    EXPECT_TRUE(l.StatsStale());
    EXPECT_EQ(l.Minimum(), 0);
    EXPECT_EQ(l.Maximum(), 0);
    EXPECT_EQ(l.Sum(), 0);
    EXPECT_EQ(l.AbsSum(), 0);
    EXPECT_FALSE(l.StatsStale());

    for (double v : {2.0, -3.0, 5.0, 1.0})
        l.AddOrdered(v);
    EXPECT_TRUE(l.StatsStale());
    EXPECT_TRUE(l.StatsStale()); // nothing read yet: still stale
    EXPECT_EQ(l.Maximum(), 5);
    EXPECT_FALSE(l.StatsStale());
    EXPECT_EQ(l.Minimum(), -3);
    EXPECT_EQ(l.Sum(), 5);
    EXPECT_EQ(l.AbsSum(), 11);
    EXPECT_EQ(l.Spread(), 8);

    // Every kind of change makes them stale again and a read brings them back.
    l.SetValue(1, 7);
    EXPECT_TRUE(l.StatsStale());
    EXPECT_EQ(l.Minimum(), 1);
    EXPECT_EQ(l.Maximum(), 7);
    l.RemoveAt(1);
    EXPECT_TRUE(l.StatsStale());
    EXPECT_EQ(l.Maximum(), 5);
    l.InsertAt(0, -10);
    EXPECT_EQ(l.Minimum(), -10);
    EXPECT_EQ(l.AbsSum(), 18);
    l.RemoveAll();
    EXPECT_TRUE(l.StatsStale());
    EXPECT_EQ(l.Maximum(), 0);
    EXPECT_EQ(l.Spread(), 0);
}

TEST(ValueListStats, FirstValueSeedsBothExtremesAndNaNNeverBecomesOne) {
    // The first value seeds minimum and maximum; a later value is tested
    // against the minimum first and only otherwise against the maximum.
    TChartValueList l(nullptr, "Y");
    for (double v : {4.0, 4.0, 9.0, -1.0})
        l.AddOrdered(v);
    EXPECT_EQ(l.Minimum(), -1);
    EXPECT_EQ(l.Maximum(), 9);
    l.RemoveAll();
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double v : {2.0, nan, 6.0})
        l.AddOrdered(v);
    EXPECT_EQ(l.Minimum(), 2);
    EXPECT_EQ(l.Maximum(), 6);
    EXPECT_TRUE(std::isnan(l.Sum()));
}

TEST(ValueListStats, SumsAddWithTheWideSignificandAndRoundOnStoring) {
    // 1 + (2^-53 + 2^-64): plain double addition rounds up to 1 + 2^-52; with a
    // 64-bit significand the sum first rounds to 1 + 2^-53, a tie that then
    // rounds to 1 when stored.
    const double small = std::ldexp(1.0, -53) + std::ldexp(1.0, -64);
    TChartValueList l(nullptr, "Y");
    l.AddOrdered(1.0);
    l.AddOrdered(small);
    EXPECT_EQ(l.Sum(), 1.0);
    l.SetValue(1, -small);
    EXPECT_EQ(l.AbsSum(), 1.0);
}

TEST(ValueListReorder, SwapRenumberRotateAndSort) {
    TChartValueList l(nullptr, "X");
    for (double v : {5.0, 8.0, 1.0, 8.0})
        l.AddOrdered(v);
    (void)l.Maximum();
    l.SwapAt(0, 2);
    EXPECT_TRUE(l.StatsStale());
    EXPECT_EQ(Values(l), (std::vector<double>{1, 8, 5, 8}));
    l.Rotate();
    EXPECT_EQ(Values(l), (std::vector<double>{8, 5, 8, 1}));

    EXPECT_EQ(l.CompareAt(0, 1), 1);
    EXPECT_EQ(l.CompareAt(1, 0), -1);
    EXPECT_EQ(l.CompareAt(0, 2), 0);
    l.SortValues(); // loNone: left alone
    EXPECT_EQ(Values(l), (std::vector<double>{8, 5, 8, 1}));
    l.Order = loAscending;
    l.SortValues();
    EXPECT_EQ(Values(l), (std::vector<double>{1, 5, 8, 8}));
    l.Order = loDescending;
    EXPECT_EQ(l.CompareAt(0, 1), 1); // 1 vs 5, negated
    l.SortValues();
    EXPECT_EQ(Values(l), (std::vector<double>{8, 8, 5, 1}));

    l.Renumber();
    EXPECT_EQ(Values(l), (std::vector<double>{0, 1, 2, 3}));
    EXPECT_EQ(l.Sum(), 6);
}

} // namespace

// The extremes of a stretch of a long list come partly from extremes kept per
// block: they must be the plain ones for every stretch, with values that are
// no number, and again after any change.
TEST(ValueListExtremes, EveryStretchGivesThePlainExtremesBeforeAndAfterAChange) {
    TChartValueList l(nullptr, "Y");
    std::mt19937 random(5);
    std::uniform_real_distribution<double> value(-1000, 1000);
    for (int i = 0; i < 5000; ++i)
        l.AddOrdered(value(random));
    auto plain = [&](int from, int count, double& lo, double& hi, bool& nan) {
        lo = HUGE_VAL, hi = -HUGE_VAL, nan = false;
        for (int i = from; i < from + count; ++i) {
            const double v = l.Value(i);
            if (v != v) nan = true;
            else lo = std::min(lo, v), hi = std::max(hi, v);
        }
    };
    auto check = [&](const char* when) {
        std::uniform_int_distribution<int> start(0, l.ValueCount() - 1);
        for (int k = 0; k < 400; ++k) {
            const int from = start(random);
            const int count = std::uniform_int_distribution<int>(0, l.ValueCount() - from)(random);
            double lo, hi, elo = HUGE_VAL, ehi = -HUGE_VAL;
            bool nan, enan = false;
            plain(from, count, lo, hi, nan);
            l.Extremes(from, count, elo, ehi, enan);
            ASSERT_EQ(elo, lo) << when << " from " << from << " count " << count;
            ASSERT_EQ(ehi, hi) << when << " from " << from << " count " << count;
            ASSERT_EQ(enan, nan) << when << " from " << from << " count " << count;
        }
    };
    check("first");
    // A change after the blocks were made: a new extreme inside a block.
    l.SetValue(2500, 1e6);
    l.SetValue(130, -1e6);
    check("after SetValue");
    l.RemoveRange(0, 100);
    check("after RemoveRange");
    l.SetValue(777, std::numeric_limits<double>::quiet_NaN());
    check("with a value that is no number");
    l.SetValue(777, 3);
    check("without it again");
}

TEST(ValueListExtremes, RisingIsWhatTheValuesDoNotWhatOrderSays) {
    TChartValueList l(nullptr, "X");
    l.Order = loAscending;
    EXPECT_TRUE(l.Rising());
    for (double v : {1.0, 2.0, 2.0, 5.0})
        l.AddOrdered(v);
    EXPECT_TRUE(l.Rising()); // equal neighbours keep it
    l.SetValue(1, 7);        // set by hand past its neighbour
    EXPECT_FALSE(l.Rising());
    l.SetValue(1, 2);
    EXPECT_TRUE(l.Rising());
    l.SetValue(3, std::numeric_limits<double>::quiet_NaN());
    EXPECT_FALSE(l.Rising());
    l.RemoveAt(3);
    EXPECT_TRUE(l.Rising());
}
