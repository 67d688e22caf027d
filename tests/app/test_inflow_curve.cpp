// Storage from level: the search against the full scan, the covered range and
// its errors.

#include "CurveLookup.h"
#include "Exceptions.h"
#include "InflowWork.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<TCurvePoint> HelpCurve() { return {{495, 1.58}, {496, 1.66}, {497, 1.74}}; }

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

// A level that sits on, next to or between the curve's levels.
double PickLevel(std::mt19937& rng, const std::vector<TCurvePoint>& curve) {
    const int kind = std::uniform_int_distribution<int>(0, 5)(rng);
    if (curve.empty() || kind == 0) return std::uniform_real_distribution<double>(440, 560)(rng);
    const TCurvePoint& p = curve[std::uniform_int_distribution<std::size_t>(0, curve.size() - 1)(rng)];
    switch (kind) {
    case 1: return p.Z;
    case 2: return std::nextafter(p.Z, -1e9);
    case 3: return std::nextafter(p.Z, 1e9);
    default: return p.Z + std::uniform_real_distribution<double>(-0.5, 0.5)(rng);
    }
}

std::uint64_t Bits(double x) { return std::bit_cast<std::uint64_t>(x); }

}  // namespace

TEST(CurveLookup, TheHelpTextCurve) {
    InflowWork work;
    work.CurvePoints = HelpCurve();
    EXPECT_DOUBLE_EQ(work.FromZGetV(495.5), 1.62);
    EXPECT_EQ(work.FromZGetV(495), 1.58) << "the first point is included";
    EXPECT_EQ(work.FromZGetV(496), 1.66);
    // The top point closes the last rising interval.
    EXPECT_EQ(work.FromZGetV(497), 1.74);
}

TEST(CurveLookup, LevelsOutsideTheCurveNameLevelAndRange) {
    InflowWork work;
    work.CurvePoints = HelpCurve();
    EXPECT_EQ(MessageOf([&] { work.FromZGetV(530.2); }),
              "水位 530.2 m 超出库容水位曲线范围（495 – 497 m）");
    EXPECT_EQ(MessageOf([&] { work.FromZGetV(494.9999); }),
              "水位 494.9999 m 超出库容水位曲线范围（495 – 497 m）");
    EXPECT_EQ(MessageOf([&] { work.FromZGetV(497.0001); }),
              "水位 497.0001 m 超出库容水位曲线范围（495 – 497 m）");

    // Every level in the table's number form, also beyond the decimal range
    // (where the largest decimal lies once it is a double).
    EXPECT_EQ(MessageOf([&] { work.FromZGetV(922337203685477.625); }),
              "水位 922337203685477.625 m 超出库容水位曲线范围（495 – 497 m）");
    EXPECT_EQ(MessageOf([&] { work.FromZGetV(-1e20); }),
              "水位 -100000000000000000000 m 超出库容水位曲线范围（495 – 497 m）");
    work.CurvePoints = {{-922337203685477.75, 1}, {0.00015, 2}, {1e16, 3}};
    EXPECT_EQ(MessageOf([&] { work.FromZGetV(2e16); }),
              "水位 20000000000000000 m 超出库容水位曲线范围（-922337203685477.75 – 10000000000000000 m）");

    work.CurvePoints = {{495, 1.58}};
    EXPECT_EQ(MessageOf([&] { work.FromZGetV(495); }), "库容水位曲线少于两个点");
    work.CurvePoints.clear();
    EXPECT_EQ(MessageOf([&] { work.FromZGetV(495); }), "库容水位曲线少于两个点");

    // A top that ends a flat or falling interval is not covered.
    work.CurvePoints = {{495, 1.58}, {496, 1.66}, {496, 1.7}};
    EXPECT_EQ(MessageOf([&] { work.FromZGetV(496); }),
              "水位 496 m 超出库容水位曲线范围（495 – 496 m）");
    work.CurvePoints = {{495, 1.58}, {497, 1.74}, {496, 1.66}};
    EXPECT_DOUBLE_EQ(work.FromZGetV(496.5), 1.58 + (1.74 - 1.58) * 1.5 / 2.0);
    EXPECT_NE(MessageOf([&] { work.FromZGetV(497); }), "(no error)");
}

TEST(CurveLookup, TheLastMatchingIntervalWins) {
    // Levels that go up, down and up again: 495.5 lies in [495, 497) and in
    // [495, 496); the later interval gives the storage.
    const std::vector<TCurvePoint> curve{{495, 1.0}, {497, 3.0}, {495, 5.0}, {496, 6.0}};
    TCurveLookup lookup(curve);
    EXPECT_FALSE(lookup.Ascending());
    EXPECT_EQ(lookup.Storage(495.5), 5.5);
    EXPECT_EQ(lookup.Storage(496.5), 2.5);
    EXPECT_EQ(lookup.Storage(496), 6.0) << "the top of the last, rising interval";
}

TEST(CurveLookup, InterpolationInExtendedPrecisionAndItsGrouping) {
    // The product (V1 - V0) * (Z - Z0) first, then the quotient, then the sum,
    // all with a 64-bit significand: levels where double arithmetic would round
    // differently must come out as the formula says.
    const std::vector<TCurvePoint> curve{{450, 0.2}, {450.07, 0.2031}, {450.1, 0.2047}};
    TCurveLookup lookup(curve);
    int differsInDouble = 0;
    for (int k = 0; k < 1000; ++k) {
        const double level = 450 + k * 0.0001;
        const std::size_t i = level < 450.07 ? 0 : 1;
        const TCurvePoint& lo = curve[i];
        const TCurvePoint& hi = curve[i + 1];
        const long double dz = static_cast<long double>(level) - lo.Z;
        const long double dv = static_cast<long double>(hi.V) - lo.V;
        const long double span = static_cast<long double>(hi.Z) - lo.Z;
        const double formula = static_cast<double>(lo.V + (dv * dz) / span);
        const double inDouble = lo.V + ((hi.V - lo.V) * (level - lo.Z)) / (hi.Z - lo.Z);
        differsInDouble += inDouble != formula;
        ASSERT_EQ(lookup.Storage(level), formula) << level;
    }
    EXPECT_GT(differsInDouble, 0);
}

// The search must give the scan's answer bit for bit, on rising curves with
// runs of equal levels (searched) and on curves that fall somewhere (scanned).
TEST(CurveLookup, SearchEqualsScanOnRandomCurves) {
    std::mt19937 rng(2024);
    int searched = 0, scanned = 0, covered = 0, uncovered = 0;
    for (int trial = 0; trial < 3000; ++trial) {
        const int n = std::uniform_int_distribution<int>(0, 40)(rng);
        const int shape = trial % 3;   // 0 rising, 1 rising with equal runs, 2 any order
        std::vector<TCurvePoint> curve;
        double z = std::uniform_real_distribution<double>(440, 460)(rng);
        double v = 0.2;
        for (int i = 0; i < n; ++i) {
            if (shape == 2) {
                z = std::round(std::uniform_real_distribution<double>(440, 470)(rng) * 100) / 100;
            } else if (i > 0 && !(shape == 1 && rng() % 3 == 0)) {
                z = std::round((z + std::uniform_real_distribution<double>(0.01, 0.1)(rng)) * 100) / 100;
            }
            v = std::round((v + std::uniform_real_distribution<double>(0, 0.05)(rng)) * 10000) / 10000;
            curve.push_back({z, v});
        }
        const TCurveLookup lookup(curve);
        (lookup.Ascending() ? searched : scanned)++;
        for (int k = 0; k < 40; ++k) {
            const double level = PickLevel(rng, curve);
            double fast = -1, scan = -1;
            const bool fastFound = lookup.TryStorage(level, fast);
            const bool scanFound = TCurveLookup::ScanStorage(curve, level, scan);
            ASSERT_EQ(fastFound, scanFound) << "trial " << trial << " level " << level;
            if (scanFound) {
                ASSERT_EQ(Bits(fast), Bits(scan))
                    << "trial " << trial << " level " << level;
                ++covered;
            } else {
                ++uncovered;
            }
        }
    }
    // Both roads and both outcomes were really taken.
    EXPECT_GT(searched, 1500);
    EXPECT_GT(scanned, 500);
    EXPECT_GT(covered, 20000);
    EXPECT_GT(uncovered, 5000);
}

// Levels crowded into a few of the search's buckets, far from the rest.
TEST(CurveLookup, CrowdedLevelsAreFoundAsTheScanFindsThem) {
    std::vector<TCurvePoint> curve;
    for (int i = 0; i < 2000; ++i) curve.push_back({450 + i * 1e-5, 0.2 + i * 1e-4});
    curve.push_back({450.05, 0.5});
    curve.push_back({1000, 9});
    curve.push_back({1000, 9.5});
    curve.push_back({1000.0001, 9.6});
    const TCurveLookup lookup(curve);
    ASSERT_TRUE(lookup.Ascending());
    std::mt19937 rng(3);
    for (int k = 0; k < 20000; ++k) {
        const double level = k % 2 ? PickLevel(rng, curve)
                                   : 450 + std::uniform_real_distribution<double>(0, 0.03)(rng);
        double fast = -1, scan = -1;
        ASSERT_EQ(lookup.TryStorage(level, fast), TCurveLookup::ScanStorage(curve, level, scan)) << level;
        ASSERT_EQ(Bits(fast), Bits(scan)) << level;
    }
}

TEST(CurveLookup, RisingCurveIsSearchedAndFallingOneScanned) {
    std::vector<TCurvePoint> rising{{1, 1}, {2, 2}, {2, 3}, {3, 4}};
    EXPECT_TRUE(TCurveLookup(rising).Ascending());
    std::vector<TCurvePoint> falling{{1, 1}, {3, 2}, {2, 3}};
    EXPECT_FALSE(TCurveLookup(falling).Ascending());
    const double nan = std::numeric_limits<double>::quiet_NaN();
    double storage = 0;
    EXPECT_FALSE(TCurveLookup(rising).TryStorage(nan, storage));
    // Within a run of equal levels the interval after the run matches.
    EXPECT_EQ(TCurveLookup(rising).Storage(2), 3.0);
    EXPECT_EQ(TCurveLookup(rising).Storage(2.5), 3.5);
}
