// The axis' parts that need no chart and no font: the scale map (value <->
// pixel, with the clamp and the rounding), the gallop search that finds a
// pixel's last value, and the label step and label values,
// with label sizes given by the test.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "AxisLabelSteps.h"
#include "AxisScale.h"

namespace {

using real = long double;

TAxisScale Scale(double min, double max, int start, int end, bool alongX = true, bool reversed = false) {
    TAxisScale s;
    s.ScaleMin = min, s.ScaleMax = max;
    s.PixelStart = start, s.PixelEnd = end, s.PixelLength = end - start, s.PixelCentre = (start + end) / 2;
    s.AlongX = alongX, s.Reversed = reversed;
    s.RefreshScale();
    return s;
}

// The mapping as the axis is described, with the library's nearbyint for the
// rounding: what the fast rounding must give, value for value.
int ReferencePixel(const TAxisScale& s, double value) {
    if (s.ScaleMax - s.ScaleMin == 0) return s.PixelCentre;
    const double ppu = static_cast<double>(static_cast<real>(s.PixelLength) / (s.ScaleMax - s.ScaleMin));
    const double d = static_cast<double>((static_cast<real>(value) - s.ScaleMin) * ppu);
    real p;
    if (s.AlongX) p = s.Reversed ? s.PixelEnd - static_cast<real>(d) : s.PixelStart + static_cast<real>(d);
    else p = s.Reversed ? s.PixelStart + static_cast<real>(d) : s.PixelEnd - static_cast<real>(d);
    if (p > PixelClampLimit) return PixelClampLimit;
    if (p < -PixelClampLimit) return -PixelClampLimit;
    if (std::isnan(p)) return s.PixelCentre;
    return static_cast<int>(std::nearbyint(p));
}

// A label size from the text's digit count: no font needed.
int DigitsWide(double v, int perDigit) {
    const std::string text = std::to_string(std::llround(std::fabs(v) * 1000));
    return perDigit * static_cast<int>(text.size());
}

}  // namespace

TEST(AxisScale, PixelsAreTheNearestIntegersTiesToEvenAsNearbyintGivesThem) {
    // Ties: one pixel per unit, values on halves, both parities, every direction.
    for (bool alongX : {true, false})
        for (bool reversed : {false, true}) {
            const TAxisScale s = Scale(0, 400, 100, 500, alongX, reversed);
            for (int k = -20; k <= 420; ++k) {
                const double v = k + 0.5;
                EXPECT_EQ(s.ValueToPixel(v), ReferencePixel(s, v)) << v;
            }
            // A tie maps to the even pixel.
            EXPECT_EQ(s.ValueToPixel(0.5) % 2, 0);
            EXPECT_EQ(s.ValueToPixel(1.5) % 2, 0);
        }
    // Random scales and values, near ties and far beyond the clamp.
    std::mt19937_64 rng(1234);
    std::uniform_real_distribution<double> unit(0, 1);
    for (int k = 0; k < 200000; ++k) {
        const double min = (unit(rng) - 0.5) * std::pow(10.0, static_cast<int>(unit(rng) * 12) - 4);
        const double width = std::pow(10.0, static_cast<int>(unit(rng) * 20) - 12) * (0.5 + unit(rng));
        const int start = static_cast<int>(unit(rng) * 100), length = 1 + static_cast<int>(unit(rng) * 600);
        const TAxisScale s = Scale(min, min + width, start, start + length, k % 2 == 0, k % 3 == 0);
        double v = min + (unit(rng) * 3 - 1) * width;
        if (k % 5 == 0) v = min + std::round(unit(rng) * 2 * length) / 2 / s.PixelsPerUnit;  // a near tie
        if (k % 7 == 0) v = (unit(rng) - 0.5) * 1e300;                                       // far out
        ASSERT_EQ(s.ValueToPixel(v), ReferencePixel(s, v)) << min << " .. " << min + width << " at " << v;
    }
}

TEST(AxisScale, TheClampAndTheValuesWithoutAPlace) {
    const TAxisScale s = Scale(0, 1, 0, 1);  // one pixel per unit
    EXPECT_EQ(s.ValueToPixel(67108862.5), 67108862);  // a tie just inside: to even
    EXPECT_EQ(s.ValueToPixel(67108863.0), PixelClampLimit);
    EXPECT_EQ(s.ValueToPixel(67108863.25), PixelClampLimit);
    EXPECT_EQ(s.ValueToPixel(-67108863.75), -PixelClampLimit);
    EXPECT_EQ(s.ValueToPixel(1e308), PixelClampLimit);
    EXPECT_EQ(s.ValueToPixel(-std::numeric_limits<double>::infinity()), -PixelClampLimit);
    EXPECT_EQ(s.ValueToPixel(std::numeric_limits<double>::quiet_NaN()), s.PixelCentre);
    const TAxisScale zero = Scale(5, 5, 10, 30);
    EXPECT_TRUE(zero.RangeIsZero);
    EXPECT_EQ(zero.PixelsPerUnit, 0);
    EXPECT_EQ(zero.ValueToPixel(1e9), 20);
    EXPECT_EQ(Scale(0, 1, 10, 10).PixelToValue(10), 0);  // no length: every pixel is 0
}

TEST(AxisScale, PixelToValueInvertsValueToPixelOnEveryPixel) {
    for (bool alongX : {true, false})
        for (bool reversed : {false, true}) {
            const TAxisScale s = Scale(-3.7, 12.25, 40, 437, alongX, reversed);
            for (int p = s.PixelStart; p <= s.PixelEnd; ++p) ASSERT_EQ(s.ValueToPixel(s.PixelToValue(p)), p) << p;
            // The left end of a horizontal axis holds the minimum, the top of
            // a vertical one the maximum; inverted, the other way round.
            EXPECT_DOUBLE_EQ(s.PixelToValue(s.PixelStart), alongX != reversed ? -3.7 : 12.25);
        }
}

TEST(AxisLabelSteps, TheStepGrowsAlongOneTwoFiveUntilTheLabelsFit) {
    TLabelStepRules rules;
    const auto tenWide = [](double) { return 10; };  // 10 px + 10 % free: 11 px a label
    // 110 px: ten labels fit. 2.6 / 11 = 0.236 gives 11 labels; 0.5 gives 5.
    EXPECT_EQ(ComputeLabelStep(Scale(0, 2.6, 0, 110), rules, tenWide), 0.5);
    // With no more points than labels on the axis: no step below 1.
    rules.FewestPoints = 10;
    EXPECT_EQ(ComputeLabelStep(Scale(0, 2.6, 0, 110), rules, tenWide), 1);
    rules.FewestPoints = 11;
    EXPECT_EQ(ComputeLabelStep(Scale(0, 2.6, 0, 110), rules, tenWide), 0.5);
    // An increment stands only while its labels fit: 0.1 on 100 becomes 10.
    rules = {};
    rules.Increment = 0.1;
    EXPECT_EQ(ComputeLabelStep(Scale(0, 100, 0, 110), rules, tenWide), 10);
    rules.Increment = 25;
    EXPECT_EQ(ComputeLabelStep(Scale(0, 100, 0, 110), rules, tenWide), 25);
    // Without separation the first estimate is the step.
    rules = {};
    rules.LabelsSeparation = 0;
    EXPECT_DOUBLE_EQ(ComputeLabelStep(Scale(0, 2.6, 0, 110), rules, tenWide), 2.6 / 12);
    // A zero range steps by 1; no room for one label: 1e-12; two rows halve.
    rules = {};
    EXPECT_EQ(ComputeLabelStep(Scale(5, 5, 0, 110), rules, tenWide), 1);
    EXPECT_EQ(ComputeLabelStep(Scale(0, 1, 0, 5), rules, tenWide), 1e-12);
    rules.LabelsAlternate = true;
    EXPECT_EQ(ComputeLabelStep(Scale(0, 2.6, 0, 110), rules, tenWide), 0.25);
}

TEST(AxisLabelSteps, LabelSizesAreAskedAtTheEndsAndTheMiddleOrOneIncrementIn) {
    std::vector<double> asked;
    const auto record = [&](double v) {
        asked.push_back(v);
        return DigitsWide(v, 7);
    };
    TLabelStepRules rules;
    ComputeLabelStep(Scale(2, 10, 0, 300), rules, record);
    EXPECT_EQ(asked, (std::vector<double>{10, 2, 6}));
    asked.clear();
    rules.Increment = 0.5;
    ComputeLabelStep(Scale(2, 10, 0, 300), rules, record);
    EXPECT_EQ(asked, (std::vector<double>{10, 2, 2.5, 9.5}));
    // Wider labels, fewer of them: the step never falls as the labels grow.
    double last = 0;
    for (int perDigit = 1; perDigit < 40; ++perDigit) {
        const double step = ComputeLabelStep(Scale(1000, 1001.5, 0, 240), {}, [&](double v) { return DigitsWide(v, perDigit); });
        EXPECT_GE(step, last) << perDigit;
        last = step;
    }
}

TEST(AxisLabelSteps, NextNiceStepAndTinyRanges) {
    EXPECT_EQ(NextNiceStep(1), 2);
    EXPECT_EQ(NextNiceStep(2), 5);
    EXPECT_EQ(NextNiceStep(5), 10);
    EXPECT_EQ(NextNiceStep(10), 20);
    EXPECT_DOUBLE_EQ(NextNiceStep(0.3), 0.5);
    EXPECT_EQ(NextNiceStep(std::numeric_limits<double>::infinity()), 1);
    // A range of a few denormals makes a first estimate of 0, which once
    // recursed until the stack ran out.
    EXPECT_EQ(NextNiceStep(0), 1e-12);
    const double step = ComputeLabelStep(Scale(0, 5e-324, 0, 200), {}, [](double) { return 10; });
    EXPECT_EQ(step, 1e-12);
}

TEST(AxisLabelSteps, LabelValuesFromTheTopDown) {
    const auto values = [](const TAxisScale& s, double step, bool roundFirst) {
        std::vector<double> out;
        ForEachLabelValue(s, step, roundFirst, [&](double v) { out.push_back(v); });
        return out;
    };
    EXPECT_EQ(values(Scale(0, 10, 0, 100), 2, true), (std::vector<double>{10, 8, 6, 4, 2, 0}));
    EXPECT_EQ(values(Scale(1.55, 3.02, 0, 100), 0.5, true), (std::vector<double>{3, 2.5, 2}));
    // Not rounded: from the top itself, however uneven.
    EXPECT_EQ(values(Scale(1.55, 3.02, 0, 100), 0.5, false), (std::vector<double>{3.02, 2.52, 2.02}));
    // 0 to 1 by 0.1 keeps both ends (a quotient of 9.999... would lose the top).
    const std::vector<double> tenths = values(Scale(0, 1, 0, 100), 0.1, true);
    ASSERT_EQ(tenths.size(), 11u);
    EXPECT_EQ(tenths.front(), 1);
    EXPECT_NEAR(tenths.back(), 0, 1e-15);
    // A negative minimum is the bound itself.
    EXPECT_EQ(values(Scale(-1, 1, 0, 100), 0.5, true), (std::vector<double>{1, 0.5, 0, -0.5, -1}));
    // One label for a range of no width; none for 10,000 steps or more.
    EXPECT_EQ(values(Scale(7, 7, 0, 100), 1, true), std::vector<double>{7});
    EXPECT_EQ(values(Scale(0, 5e-11, 0, 100), 1e-12, true).size(), 1u);
    EXPECT_TRUE(values(Scale(0, 10000, 0, 100), 1, true).empty());
    EXPECT_EQ(values(Scale(0, 9999, 0, 100), 1, true).size(), 10000u);
    EXPECT_TRUE(values(Scale(0, std::numeric_limits<double>::quiet_NaN(), 0, 100), 1, true).empty());
}

// Label values on a vertical scale of 100 pixels per unit, as the pixels of
// the labels: which values got one, and where.
namespace {
struct LabelRun {
    std::vector<int> Run(double lo, double hi, double step, int pixels = 0) {
        scale = Scale(lo, hi, 0, pixels ? pixels : static_cast<int>(std::nearbyint((hi - lo) * 100)), false);
        std::vector<int> out;
        ForEachLabelValue(scale, step, true, [&](double v) { out.push_back(scale.ValueToPixel(v)); });
        return out;
    }
    TAxisScale scale;
};
}  // namespace

TEST(AxisLabelSteps, LabelValuesKeepTheirBounds) {
    LabelRun f;
    const TAxisScale& a = f.scale;
    // Repeated subtraction ends a hair under 0.5: still the label 0.5.
    std::vector<int> t = f.Run(0.5, 1.6, 0.1);
    ASSERT_EQ(t.size(), 12u);
    EXPECT_EQ(t.front(), a.ValueToPixel(1.6));
    EXPECT_EQ(t.back(), a.ValueToPixel(0.5));
    // Below zero the minimum itself bounds: -3 comes out a hair under -3 and is left out.
    t = f.Run(-3, -2, 0.1);
    ASSERT_EQ(t.size(), 10u);
    EXPECT_EQ(t.back(), a.ValueToPixel(-2.9));
    // A top that is a whole number of steps keeps its label although 1 / 0.1
    // lies just under 10 in the wider type; likewise 0.2 and 0.3.
    t = f.Run(0.5, 1, 0.1);
    ASSERT_EQ(t.size(), 6u);
    EXPECT_EQ(t.front(), a.ValueToPixel(1));
    EXPECT_EQ(f.Run(0, 1, 0.2).front(), a.ValueToPixel(1));
    EXPECT_EQ(f.Run(0, 0.9, 0.3).size(), 4u);
    // A top a hair under a whole number of steps starts one step lower.
    t = f.Run(0.5, 0.9999999999999999, 0.1);
    EXPECT_EQ(t.front(), a.ValueToPixel(0.9));

    // A range of zero, or too narrow to tell values apart: one label.
    EXPECT_EQ(f.Run(5, 5, 1, 200), std::vector<int>{100});
    EXPECT_EQ(f.Run(5, 5 + 5e-11, 1e-11, 200).size(), 1u);
    // Values too large for the step to move them: one label, not an endless run.
    EXPECT_EQ(f.Run(1e20 - 16384.0 * 100, 1e20, 1000, 200).size(), 1u);
    // 10000 labels or more: none.
    EXPECT_TRUE(f.Run(0, 10, 5e-4, 200).empty());
    EXPECT_GE(f.Run(0, 10, 10.0 / 9999, 200).size(), 9999u);
    EXPECT_TRUE(f.Run(0, 10, 1e-12, 200).empty());
}

// The ends of a pixel's values: the line drawing finds a column's points by
// comparing values with them, so they must be exact to the last double.
TEST(AxisScale, PixelEdgeValueIsTheLastDoubleOfItsPixel) {
    std::mt19937_64 random(11);
    struct Case { double min, max; int start, end; };
    const Case cases[] = {
        {-3.7, 12.25, 40, 437},           // a few values per pixel
        {45000, 45000 + 1e6 / 24, 3, 707}, // dates of a long hourly record
        {1e15, 1e15 + 3, 0, 600},          // few doubles per pixel
        {0, 1e-300, 10, 500},              // tiny values
        {-1e300, 1e300, 5, 300},           // huge ones
        {0, 1, 0, 1},                      // one pixel per unit: the clamp is in reach
    };
    for (const Case& c : cases)
        for (bool alongX : {true, false})
            for (bool reversed : {false, true}) {
                const TAxisScale s = Scale(c.min, c.max, c.start, c.end, alongX, reversed);
                std::uniform_real_distribution<double> along(0, 1);
                for (int k = 0; k < 200; ++k) {
                    // A value on the axis or somewhat beyond its ends.
                    const double t = along(random) * 1.4 - 0.2;
                    const double v = c.min + (c.max - c.min) * t;
                    const int p = s.ValueToPixel(v);
                    for (bool upward : {true, false}) {
                        const double edge = s.PixelEdgeValue(p, v, upward);
                        ASSERT_EQ(s.ValueToPixel(edge), p) << v << (upward ? " up" : " down");
                        ASSERT_TRUE(upward ? edge >= v : edge <= v);
                        if (std::isinf(edge)) continue;
                        const double next = std::nextafter(edge, upward ? HUGE_VAL : -HUGE_VAL);
                        ASSERT_NE(s.ValueToPixel(next), p) << v << (upward ? " up" : " down");
                    }
                }
            }
    // Beyond the clamp every value has the clamped pixel: no end.
    const TAxisScale s = Scale(0, 1, 0, 1);
    EXPECT_EQ(s.PixelEdgeValue(PixelClampLimit, 1e20, true), HUGE_VAL);
    EXPECT_EQ(s.PixelEdgeValue(PixelClampLimit, 1e20, false), std::nextafter(67108862.5, HUGE_VAL)); // the tie goes to even
    EXPECT_EQ(s.PixelEdgeValue(-PixelClampLimit, -1e20, false), -HUGE_VAL);
    // A zero range puts every value at the centre.
    const TAxisScale zero = Scale(5, 5, 10, 30);
    EXPECT_EQ(zero.PixelEdgeValue(20, 5, true), HUGE_VAL);
    EXPECT_EQ(zero.PixelEdgeValue(20, 5, false), -HUGE_VAL);
}

// The gallop search finds the end of the run from any guess (wrapped below
// zero or beyond the limit too), never probes outside (0, limit), and costs
// two probes for a guess at the end.
TEST(GallopSearch, LastHoldingFindsTheEndFromAnyGuess) {
    using u64 = unsigned long long;
    for (const u64 limit : {1ULL, 2ULL, 3ULL, 10ULL, 1000ULL, 1ULL << 40}) {
        for (const u64 end : {u64{0}, u64{1}, limit / 3, limit / 2, limit - 1}) {
            if (end >= limit) continue;
            for (const u64 guess : {u64{0}, u64{1}, end, end + 1, end - 1, end + 5, end - 5, limit - 1, limit, limit + 7}) {
                int probes = 0;
                const u64 found = LastHolding(limit, guess, [&](u64 d) {
                    ++probes;
                    EXPECT_TRUE(d > 0 && d < limit) << d;
                    return d <= end;
                });
                EXPECT_EQ(found, end) << limit << " " << guess;
                EXPECT_LE(probes, 2 * std::log2(static_cast<double>(limit)) + 2) << limit << " " << guess;
                if (guess > 0 && guess < limit && (guess == end || guess == end + 1)) {
                    EXPECT_LE(probes, 2) << limit << " " << guess;
                }
            }
        }
    }
}
