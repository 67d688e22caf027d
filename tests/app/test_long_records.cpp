// Screening, the smoother held to the gauge, gauge noise, periods and the
// comparison with a reference, each on small records worked out by hand or
// against a second computation written here.

#include "CurveLookup.h"
#include "CurveSegments.h"
#include "Exceptions.h"
#include "FloodPeriods.h"
#include "InflowComparison.h"
#include "InflowNoise.h"
#include "InflowScreening.h"
#include "InflowTestSupport.h"
#include "ToleranceSmoother.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
using F = TRecordFlag;

DateTimeValue Day(int y, int m, int d, int h = 0) {
    DateTimeValue t = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, t));
    return t + h / 24.0;
}

// ---------------------------------------------------------------- the curve read backwards

TEST(CurveSegments, LevelsReadBackLieOnTheLookupsSegments) {
    // A flat stretch (497-498), a vertical step (499), a top at 500.
    const std::vector<TCurvePoint> curve{{495, 1.58}, {496, 1.66}, {497, 1.74}, {498, 1.74},
                                         {499, 1.90}, {499, 2.00}, {500, 2.20}};
    const TCurveSegments segments(curve);
    ASSERT_TRUE(segments.Invertible());
    auto storageAt = [&](double z) {
        double v = kNaN;
        TCurveLookup::ScanStorage(curve, z, v);
        return v;
    };
    struct Case { double storage, level, expected; };
    for (const Case& c : std::vector<Case>{
             {1.62, 495.0, 495.5},     // on the level's segment
             {1.70, 495.5, 496.5},     // one segment up
             {1.54, 495.5, 494.5},     // below the curve: the first segment extended
             {2.30, 499.5, 500.5},     // above it: the last one extended
             {1.80, 496.5, 498.375},   // over the flat stretch, which the walk enters at its foot
             {1.74, 496.5, 497.0},     // the flat storage met from below: its lower edge
             {1.74, 499.5, 498.0},     // and from above: its upper edge
             {1.95, 499.5, 499.0},     // inside the vertical step
             {1.74, 497.5, 497.5}})    // unchanged storage: the level itself, flat or not
        EXPECT_DOUBLE_EQ(segments.LevelFor(c.storage, c.level, storageAt(c.level)), c.expected)
            << c.storage << " from " << c.level;
    EXPECT_NEAR(segments.Slope(0), 0.08, 1e-12);
    EXPECT_EQ(segments.SegmentOf(500), 5u);   // the top point belongs to the last segment
    EXPECT_EQ(segments.SegmentOf(500.01), TCurveSegments::npos);
    EXPECT_FALSE(TCurveSegments(std::vector<TCurvePoint>{{1, 2}, {2, 1}}).Invertible());
}

TEST(CurveSegments, TheLookupOfAReadBackLevelGivesTheStorageBack) {
    std::vector<TCurvePoint> curve;
    std::mt19937 random(5);
    std::uniform_real_distribution<double> rise(0.001, 0.5);
    double v = 10;
    for (int i = 0; i < 200; ++i) curve.push_back({1000 + 0.1524 * i, v += rise(random)});
    const TCurveLookup lookup(curve);
    const TCurveSegments segments(curve);
    std::uniform_real_distribution<double> level(1002, 1028), change(-1, 1);
    for (int round = 0; round < 2000; ++round) {
        const double z = level(random), s = lookup.Storage(z), target = s + change(random);
        const double back = segments.LevelFor(target, z, s);
        EXPECT_NEAR(lookup.Storage(back), target, 1e-12) << z;
    }
}

// ---------------------------------------------------------------- spikes

TEST(ScreenSpikes, FlagsReadingsThatLeaveTheirNeighboursMedian) {
    struct Case {
        const char* what;
        std::vector<double> levels;
        std::vector<F> given;
        std::vector<std::size_t> flagged;
    };
    const std::vector<double> flat{10, 10.01, 10, 10.02, 10.01, 10, 10.01, 10};
    auto with = [&](std::vector<std::pair<std::size_t, double>> changes) {
        std::vector<double> z = flat;
        for (auto [i, v] : changes) z[i] = v;
        return z;
    };
    const std::vector<Case> cases{
        {"clean", flat, {}, {}},
        {"middle", with({{4, 9.5}}), {}, {4}},
        {"first", with({{0, 10.6}}), {}, {0}},
        {"last", with({{7, 9.4}}), {}, {7}},
        {"second and last but one", with({{1, 10.4}, {6, 9.6}}), {}, {1, 6}},
        // Two bad readings side by side at an end: a shortened window would
        // take their value as its median.
        {"two at the start", with({{0, 10.5}, {1, 10.5}}), {}, {0, 1}},
        {"one just over the tolerance", with({{3, 10.2101}}), {}, {3}},
        {"one just within", with({{3, 10.2099}}), {}, {}},
        // A steady rise departs from the median only at the ends, by up to
        // two steps' rise (0.18, then 0.6).
        {"steady rise", {10, 10.09, 10.18, 10.27, 10.36, 10.45, 10.54, 10.63}, {}, {}},
        {"steep rise", {10, 10.3, 10.6, 10.9, 11.2, 11.5, 11.8, 12.1}, {}, {0, 1, 6, 7}},
        // Skipped records are neither judged nor in anyone's window.
        {"skipped", with({{2, kNaN}, {5, 42}}), {F::None, F::None, F::Skipped, F::None, F::None, F::Skipped, F::None, F::None},
         {}},
        {"skipped beside a spike", with({{2, 10.9}, {3, 0}}), {F::None, F::None, F::None, F::Skipped, F::None, F::None, F::None, F::None},
         {2}},
        {"three levels", {10, 11, 10}, {}, {1}},
        {"two levels", {10, 11}, {}, {}},
    };
    for (const Case& c : cases) {
        const TSpikeScreening s = ScreenSpikes(c.levels, 0.2, c.given);
        std::vector<std::size_t> flagged;
        for (std::size_t i = 0; i < s.flags.size(); ++i)
            if (s.flags[i] == F::Spike) flagged.push_back(i);
        EXPECT_EQ(flagged, c.flagged) << c.what;
        ASSERT_EQ(s.spikes.size(), flagged.size()) << c.what;
        for (const TSpike& spike : s.spikes) EXPECT_GT(std::fabs(c.levels[spike.record] - spike.median), 0.2) << c.what;
        for (std::size_t i = 0; i < c.given.size(); ++i)
            if (c.given[i] == F::Skipped) {
                EXPECT_EQ(s.flags[i], F::Skipped) << c.what;
            }
    }
    EXPECT_THROW(ScreenSpikes(flat, 0), std::invalid_argument);
}

TEST(RepairLevels, InterpolatesInTimeBetweenTheNearestGoodRecords) {
    // Hours 0, 1, 3, 6, 7: unequal steps.
    const std::vector<DateTimeValue> t{0, 1 / 24.0, 3 / 24.0, 6 / 24.0, 7 / 24.0};
    const std::vector<double> z{10, 99, 99, 13, 14};
    struct Case {
        std::vector<F> flags;
        std::vector<double> levels;
    };
    for (const Case& c : std::vector<Case>{
             {{F::None, F::Spike, F::Skipped, F::None, F::None}, {10, 10.5, 11.5, 13, 14}},
             {{F::Spike, F::None, F::Spike, F::None, F::Spike}, {99, 99, 64.6, 13, 13}},   // ends: the nearest good level
             {{F::None, F::Repaired, F::Spike, F::None, F::None}, {10, 99, 64.6, 13, 14}},   // a repaired level is trusted
         }) {
        const TLevelRepair r = RepairLevels(t, z, c.flags);
        EXPECT_TRUE(r.done);
        ASSERT_EQ(r.levels.size(), z.size());
        std::size_t repaired = 0;
        for (std::size_t i = 0; i < z.size(); ++i) {
            EXPECT_NEAR(r.levels[i], c.levels[i], 1e-12) << i;
            const bool bad = c.flags[i] == F::Spike || c.flags[i] == F::Skipped;
            EXPECT_EQ(r.flags[i], bad ? F::Repaired : c.flags[i]) << i;
            repaired += bad;
        }
        EXPECT_EQ(r.repaired, repaired);
        EXPECT_EQ(FlagName(r.flags[2]), "repaired");
    }
    const TLevelRepair none = RepairLevels(t, z, std::vector<F>(5, F::Spike));
    EXPECT_FALSE(none.done);
    EXPECT_EQ(none.levels, z);
}

// ---------------------------------------------------------------- gauge noise

TEST(GaugeNoise, SigmaIsTheFormulaAtTheStepsMeanLevel) {
    // 100 m -> 0, 101 m -> 1 (10^8 m^3): 10^8 m^2; 101 -> 103 m: 1.5 * 10^8 m^2.
    const std::vector<TCurvePoint> curve{{100, 0}, {101, 1}, {103, 4}};
    const double r = 0.01, dt = 3600;
    auto sigma = [&](double area) { return area * r * std::sqrt(2.0) / (std::sqrt(12.0) * dt); };
    const std::vector<double> levels{100.2, 100.4, 101.6, 102.0, 102.4};
    const double s1 = sigma(1e8), s2 = sigma(1.5e8);   // 113.4 and 170.1 m^3/s
    // Steps: on the first segment, across the break (mean 101.0: the second),
    // then twice on the second.
    const std::vector<double> inflow{-1.999 * s1, -2 * s2 - 0.01, 5, -1};
    const TGaugeNoise n = GaugeNoise(levels, inflow, std::vector<double>(4, dt), curve, {}, r);
    const std::vector<double> expected{s1, s2, s2, s2};
    for (std::size_t k = 0; k < 4; ++k) EXPECT_NEAR(n.sigma[k], expected[k], 1e-9) << k;
    EXPECT_EQ(n.negativeSteps, 3u);
    EXPECT_EQ(n.withinNoise, 2u);
    EXPECT_EQ(n.beyondNoise, 1u);
    EXPECT_NEAR(n.medianSigma, s2, 1e-9);

    // An area column (m^2 per point), interpolated at the mean level, and the
    // bank storage's factor.
    const TGaugeNoise a =
        GaugeNoise(std::vector<double>{100.2, 100.6}, std::vector<double>{0}, std::vector<double>{dt}, curve,
                   std::vector<double>{0.8e8, 1.2e8, 2e8}, r, 1.08);
    EXPECT_NEAR(a.sigma[0], 1.08 * sigma(0.96e8), 1e-9);
    EXPECT_NEAR(GaugeNoise(std::vector<double>{100.2, 100.4, 101.6}, std::vector<double>{1, 1},
                           std::vector<double>(2, dt), curve, {}, r)
                    .medianSigma,
                (s1 + s2) / 2, 1e-9);   // an even count: the mean of the middle two
    EXPECT_THROW(GaugeNoise(levels, inflow, std::vector<double>{dt, dt, 0, dt}, curve, {}, r), Exception);
}

// ---------------------------------------------------------------- the smoother held to the gauge

// A small record on a two-slope curve: levels zigzag around a rise, so the
// computed inflow zigzags too.
struct SmallRecord {
    std::vector<TCurvePoint> curve{{100, 0}, {101, 0.5}, {103, 3.5}};
    std::vector<double> levels, storages, inflow, dt;

    explicit SmallRecord(std::size_t records, unsigned seed = 3) {
        std::mt19937 random(seed);
        std::uniform_real_distribution<double> noise(-0.01, 0.01);
        const TCurveLookup lookup(curve);
        for (std::size_t k = 0; k < records; ++k) {
            // Seven of every ten steps an hour long, the others two hours.
            if (k > 0) dt.push_back(k % 10 < 7 ? 3600 : 7200);
            levels.push_back(100.9 + 0.02 * static_cast<double>(k) + noise(random));
            storages.push_back(lookup.Storage(levels.back()));
        }
        for (std::size_t j = 0; j + 1 < records; ++j)
            inflow.push_back((storages[j + 1] - storages[j]) * 1e8 / dt[j] + 50);
    }
};

long double Roughness(const std::vector<double>& q) {
    long double sum = 0;
    for (std::size_t j = 1; j < q.size(); ++j) sum += (static_cast<long double>(q[j]) - q[j - 1]) * (q[j] - q[j - 1]);
    return sum;
}

// The stated objective for a weight mu at storage departures c (c[k] for
// record k; c[0] = c[n] = 0), computed here from its formula.
long double Objective(const SmallRecord& r, const std::vector<long double>& c, double mu) {
    const std::size_t n = r.inflow.size();
    const TCurveSegments segments(r.curve);
    std::vector<double> rates, weights;
    for (double step : r.dt) rates.push_back(1e8 / step);
    for (std::size_t k = 1; k < n; ++k) weights.push_back(std::pow(segments.Slope(segments.SegmentOf(r.levels[k])), -2));
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const long double sbar = median(rates), wbar = median(weights);
    long double sum = 0, before = 0;
    for (std::size_t j = 1; j <= n; ++j) {
        const long double q = r.inflow[j - 1] + (c[j] - c[j - 1]) * rates[j - 1];
        if (j > 1) sum += (q - before) * (q - before);
        before = q;
        if (j < n) sum += mu * sbar * sbar * c[j] * c[j] * weights[j - 1] / wbar;
    }
    return sum;
}

TEST(SmoothToTolerance, TheWeightIsBisectedToTheToleranceAndTheSeriesIsTheMinimum) {
    const SmallRecord r(41);
    long double rougher = Roughness(r.inflow);
    for (double tolerance : {0.001, 0.003, 0.01}) {
        const TToleranceSmoothing s = SmoothToTolerance(r.levels, r.storages, r.inflow, r.dt, r.curve, tolerance);
        ASSERT_EQ(s.inflow.size(), r.inflow.size());
        EXPECT_FALSE(s.smoothestReached);
        // Bracketed, then bisected until the tolerance is nearly used up.
        EXPECT_GE(s.solves, 5) << tolerance;
        EXPECT_LE(s.rmsDeparture, tolerance);
        EXPECT_GE(s.rmsDeparture, 0.995 * tolerance);
        // The departures as reported are those of the series returned.
        const std::vector<double> e = ImpliedLevelDepartures(r.levels, r.storages, r.inflow, s.inflow, r.dt, r.curve);
        long double squares = 0;
        for (double v : e) squares += static_cast<long double>(v) * v;
        EXPECT_NEAR(static_cast<double>(std::sqrt(squares / 40)), s.rmsDeparture, 1e-15);
        EXPECT_EQ(e[s.largestAt], s.largestDeparture);
        EXPECT_EQ(e.front(), 0.0);
        EXPECT_NEAR(e.back(), 0.0, 1e-12);   // the lake ends where the gauge says: the volume is kept
        // A looser tolerance buys a smoother series.
        const long double roughness = Roughness(s.inflow);
        EXPECT_LT(roughness, rougher) << tolerance;
        rougher = roughness;
        // The series minimises the objective for its weight: no storage
        // departure moved either way lowers it (central differences are exact
        // on a quadratic but for rounding).
        std::vector<long double> c(r.levels.size(), 0);
        for (std::size_t k = 1; k < c.size(); ++k) c[k] = c[k - 1] + (s.inflow[k - 1] - r.inflow[k - 1]) * r.dt[k - 1] / 1e8L;
        const long double h = 1e-7;
        auto slope = [&](std::vector<long double> at, std::size_t k) {
            at[k] += h;
            const long double up = Objective(r, at, s.weight);
            at[k] -= 2 * h;
            return (up - Objective(r, at, s.weight)) / (2 * h);
        };
        const long double scale = std::fabs(slope(std::vector<long double>(c.size(), 0), 20));   // far from the minimum
        for (std::size_t k = 1; k + 1 < c.size(); ++k) EXPECT_LT(std::fabs(slope(c, k)), 1e-6 * scale) << tolerance << " record " << k;
    }
}

TEST(SmoothToTolerance, ShortRecordsHugeTolerancesAndBadInput) {
    const SmallRecord r(12);
    const TToleranceSmoothing wide = SmoothToTolerance(r.levels, r.storages, r.inflow, r.dt, r.curve, 100);
    EXPECT_TRUE(wide.smoothestReached);
    EXPECT_LE(wide.rmsDeparture, 100);
    // Two records: one step, nothing to move.
    const std::span<const double> z(r.levels), v(r.storages), q(r.inflow), dt(r.dt);
    const TToleranceSmoothing two = SmoothToTolerance(z.first(2), v.first(2), q.first(1), dt.first(1), r.curve, 0.01);
    EXPECT_EQ(two.inflow, std::vector<double>{r.inflow[0]});
    EXPECT_EQ(two.solves, 0);

    EXPECT_THROW(SmoothToTolerance(z, v, q.first(3), dt.first(3), r.curve, 0.01), std::invalid_argument);
    EXPECT_THROW(SmoothToTolerance(z, v, q, dt, r.curve, 0), std::invalid_argument);
    for (int what = 0; what < 4; ++what) {
        SmallRecord b(12);
        if (what == 0) b.dt[4] = 0;
        if (what == 1) b.inflow[4] = kNaN;
        if (what == 2) b.levels[5] = 200;   // off the curve
        if (what == 3) b.curve[1].V = 5;    // storage falls: no way back
        EXPECT_THROW(SmoothToTolerance(b.levels, b.storages, b.inflow, b.dt, b.curve, 0.01), Exception) << what;
    }
}

// ---------------------------------------------------------------- periods

TEST(FloodPeriods, ATimesPeriodAsTheTableShowsIt) {
    const TPeriodRule water{}, calendar{TPeriodKind::Year, 10}, month{TPeriodKind::Month, 10}, april{TPeriodKind::WaterYear, 4},
        january{TPeriodKind::WaterYear, 1};
    struct Case { DateTimeValue time; TPeriodRule rule; const char* label; };
    const double justBefore = 0.4 / 86400000;   // 0.4 ms: shown as the next midnight
    for (const Case& c : std::vector<Case>{
             {Day(1982, 9, 30, 23), water, "WY1982"},
             {Day(1982, 10, 1), water, "WY1983"},
             {Day(1982, 10, 1) - justBefore, water, "WY1983"},
             {Day(1982, 10, 1) - 2 * justBefore, water, "WY1982"},
             {Day(1982, 10, 1), january, "WY1982"},
             {Day(1983, 3, 31), april, "WY1983"},
             {Day(1983, 4, 1), april, "WY1984"},
             {Day(1982, 12, 31, 23), calendar, "1982"},
             {Day(1982, 10, 1), month, "1982-10"},
             {Day(1850, 3, 15, 12), month, "1850-03"},
             {Day(1850, 3, 15, 12), calendar, "1850"}}) {
        const std::int64_t p = PeriodOf(c.time, c.rule);
        EXPECT_EQ(PeriodLabel(p, c.rule), c.label);
        // The period's range holds the time (to the millisecond shown).
        EXPECT_LE(PeriodStart(p, c.rule), c.time + justBefore) << c.label;
        EXPECT_GT(PeriodEnd(p, c.rule), c.time + justBefore) << c.label;
    }
    EXPECT_EQ(PeriodStart(1983, water), Day(1982, 10, 1));
    EXPECT_EQ(PeriodEnd(1982 * 12 + 11, month), Day(1983, 1, 1));
    EXPECT_THROW(PeriodOf(0, TPeriodRule{TPeriodKind::WaterYear, 13}), std::invalid_argument);
}

// Daily records Jan 29 .. Feb 3 1983, then 1 March: January ends with a
// negative day, February's water is negative as a whole, March is clean. The
// step ending 1 February belongs to February.
struct ThreeMonths {
    std::vector<DateTimeValue> times{Day(1983, 1, 29), Day(1983, 1, 30), Day(1983, 1, 31), Day(1983, 2, 1),
                                     Day(1983, 2, 2),  Day(1983, 2, 3),  Day(1983, 3, 1)};
    std::vector<double> inflow{10, -4, -5, 3, -1, 7};
    std::vector<double> dt{86400, 86400, 86400, 86400, 86400, 26 * 86400.0};
    std::vector<double> storage{1.0, 1.1, 1.2, 1.15, 1.3, 1.25, 1.5};
    const TPeriodRule rule{TPeriodKind::Month, 10};

    std::vector<TFloodStep> Steps() const {
        std::vector<TFloodStep> steps(times.size());
        for (std::size_t i = 0; i < times.size(); ++i) {
            steps[i].T = times[i];
            steps[i].V = storage[i];
            if (i == 0) continue;
            steps[i].Qin = inflow[i - 1];
            steps[i].dt = dt[i - 1];
            steps[i].qMean = 2;
        }
        return steps;
    }
};

TEST(FloodPeriods, NegativeWaterIsTakenWithinItsPeriod) {
    const ThreeMonths m;
    const TPeriodRedistribution r = ScaleNegativeByPeriod(m.times, m.inflow, m.dt, m.rule);
    using S = TPeriodScaling::TState;
    EXPECT_EQ(r.inflow, (std::vector<double>{6, 0, -5, 3, -1, 7}));
    struct Row { const char* label; std::size_t first, last, negatives; S state; double volume, factor; };
    const std::vector<Row> expected{{"1983-01", 0, 2, 1, S::Scaled, 6 * 0.000864, 0.6},
                                    {"1983-02", 3, 5, 2, S::NegativeVolume, -3 * 0.000864, 1},
                                    {"1983-03", 6, 6, 0, S::Untouched, 7 * 26 * 0.000864, 1}};
    ASSERT_EQ(r.periods.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const TPeriodScaling& p = r.periods[i];
        EXPECT_EQ(PeriodLabel(p.span.period, m.rule), expected[i].label);
        EXPECT_EQ(p.span.first, expected[i].first);
        EXPECT_EQ(p.span.last, expected[i].last);
        EXPECT_EQ(p.negativeSteps, expected[i].negatives);
        EXPECT_EQ(p.state, expected[i].state);
        EXPECT_NEAR(p.volume, expected[i].volume, 1e-15);
        EXPECT_NEAR(p.factor, expected[i].factor, 1e-15);
    }
}

class PeriodRows : public inflow_test::IsoLocaleTest {};

TEST_F(PeriodRows, RowsAddUpAndTheFileKeepsItsFormsInAnyLocale) {
    Formats().decimalMark = ',';   // the file keeps '.'
    const ThreeMonths m;
    const std::vector<TFloodStep> steps = m.Steps();
    const std::vector<TPeriodSummary> rows = SummarizePeriods(steps, steps.size(), m.rule);
    EXPECT_EQ(PeriodSummaryText(rows),
              "period,start,end,records,peak_inflow,peak_inflow_time,inflow_volume,outflow_volume,storage_change,"
              "lowest_inflow,lowest_inflow_time,negative_inflow_steps,negative_inflow_volume\r\n"
              "1983-01,1983-01-29 00:00:00,1983-01-31 00:00:00,3,10,1983-01-30 00:00:00,0.0052,0.0035,0.2,"
              "-4,1983-01-31 00:00:00,1,-0.0035\r\n"
              "1983-02,1983-02-01 00:00:00,1983-02-03 00:00:00,3,3,1983-02-02 00:00:00,-0.0026,0.0052,0.05,"
              "-5,1983-02-01 00:00:00,2,-0.0052\r\n"
              "1983-03,1983-03-01 00:00:00,1983-03-01 00:00:00,1,7,1983-03-01 00:00:00,0.1572,0.0449,0.25,"
              "7,1983-03-01 00:00:00,0,0\r\n");
    // The periods' volumes and storage changes add up to the whole record's.
    const TFloodSummary whole = SummarizeFlood(steps, steps.size());
    long double inflow = 0, change = 0;
    for (const TPeriodSummary& row : rows) inflow += *row.inflowVolume, change += *row.storageChange;
    EXPECT_NEAR(static_cast<double>(inflow), *whole.inflowVolume, 1e-15);
    EXPECT_NEAR(static_cast<double>(change), *whole.storageChange, 1e-15);

    // The corrected series' items follow; the first record alone in its
    // period has no step items; a computation that stopped is cut there.
    const std::vector<double> corrected = ScaleNegativeByPeriod(m.times, m.inflow, m.dt, m.rule).inflow;
    const std::string text = PeriodSummaryText(SummarizePeriods(steps, 4, corrected, TPeriodRule{TPeriodKind::Year, 10}));
    EXPECT_EQ(text.substr(text.find("\r\n") + 2),
              "1983,1983-01-29 00:00:00,1983-02-01 00:00:00,4,10,1983-01-30 00:00:00,0.0009,0.0052,0.15,"
              "-5,1983-02-01 00:00:00,2,-0.0078,6,1983-01-30 00:00:00,0.0009\r\n");
    std::vector<TFloodStep> early = steps;
    early[0].T = Day(1982, 12, 31);
    const std::vector<TPeriodSummary> alone = SummarizePeriods(early, 2, m.rule);
    ASSERT_EQ(alone.size(), 2u);
    EXPECT_EQ(alone[0].records, 1u);
    EXPECT_FALSE(alone[0].peakInflow || alone[0].inflowVolume || alone[0].lowestInflow || alone[0].negativeInflowSteps);
    EXPECT_NE(PeriodSummaryText(alone).find("\r\n1982-12,1982-12-31 00:00:00,1982-12-31 00:00:00,1,,,,,,,,,\r\n"),
              std::string::npos);
}

// ---------------------------------------------------------------- comparison

TEST(CompareInflow, OnTheTimesBothHave) {
    std::vector<DateTimeValue> t;
    for (int k = 0; k < 6; ++k) t.push_back(Day(2024, 7, 24, k));
    const std::vector<double> inflow{10, 20, 30, 40, 50}, dt(5, 3600);
    const double ms = 1.0 / 86400000;
    // Shuffled; record 3 twice (the first counts), record 4 missing its
    // value, record 5 off by 0.3 ms, a time the computation lacks, and the
    // first record, which has no inflow.
    const std::vector<DateTimeValue> refTimes{t[5] + 0.3 * ms, t[3], t[2], Day(2024, 7, 25), t[3], t[4], t[0]};
    const std::vector<double> ref{50, 27, 22, 999, 1000, kNaN, 5};
    const TInflowComparison c = CompareInflow(t, inflow, dt, refTimes, ref);
    EXPECT_EQ(c.records, 3u);   // differences -2, +3, 0
    EXPECT_NEAR(*c.rmse, std::sqrt(13.0 / 3), 1e-12);
    EXPECT_NEAR(*c.bias, 1.0 / 3, 1e-12);
    EXPECT_NEAR(*c.nse, 1 - 13.0 / 446, 1e-12);   // reference mean 33
    EXPECT_EQ(*c.peakError, 0.0);
    EXPECT_NEAR(*c.volumeError, 3600e-8, 1e-15);

    const TInflowComparison none = CompareInflow(t, inflow, dt, std::vector<DateTimeValue>{t[0]}, std::vector<double>{1});
    EXPECT_EQ(none.records, 0u);
    EXPECT_FALSE(none.rmse || none.nse || none.bias || none.peakError || none.volumeError);
    const TInflowComparison flat = CompareInflow(t, inflow, dt, std::vector<DateTimeValue>{t[1], t[2]}, std::vector<double>{7, 7});
    EXPECT_EQ(flat.records, 2u);
    EXPECT_FALSE(flat.nse);
    EXPECT_NEAR(*flat.peakError, 13, 1e-12);
}

}  // namespace
