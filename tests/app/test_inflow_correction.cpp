// Smoothing and redistribution of a computed inflow series: both keep the
// water, neither leaves what it promises to remove.

#include "InflowCorrection.h"
#include "FloodSummary.h"
#include "InflowTestSupport.h"
#include "InflowWork.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

long double Volume(const std::vector<double>& q, const std::vector<double>& dt) {
    long double v = 0;
    for (std::size_t i = 0; i < q.size(); ++i) v += static_cast<long double>(q[i]) * dt[i];
    return v;
}

// The computed inflow and step lengths of a real record (records after the first).
struct Series {
    std::vector<double> q, dt;
};

Series RealInflow(const std::string& curve, const std::string& flood) {
    const std::string dir = std::string(QUELMORA_SOURCE_DIR) + "/../shared/realdata/";
    InflowWork work;
    work.FormCreate();
    work.ReadCurve(dir + curve);
    work.ReadFlood(dir + flood);
    work.Compute();
    Series s;
    for (std::size_t i = 1; i < work.FloodSteps.size(); ++i) {
        s.q.push_back(work.FloodSteps[i].Qin);
        s.dt.push_back(work.FloodSteps[i].dt);
    }
    return s;
}

using inflow_test::IsoLocaleTest;

} // namespace

TEST(SmoothInflow, EqualStepsKeepVolumeAndConstants) {
    std::mt19937 random(7);
    std::uniform_real_distribution<double> flow(-500, 5000);
    for (int n : {1, 2, 3, 4, 7, 50}) {
        for (int window : {3, 5, 9, 101}) {
            std::vector<double> q(n), dt(n, 10800);
            for (double& v : q) v = flow(random);
            const std::vector<double> s = SmoothInflow(q, dt, window);
            ASSERT_EQ(s.size(), q.size());
            EXPECT_NEAR(static_cast<double>(Volume(s, dt)), static_cast<double>(Volume(q, dt)), 1e-6 * n * 5000 * 10800)
                << "n " << n << " window " << window;
            const std::vector<double> flat = SmoothInflow(std::vector<double>(n, 123.5), dt, window);
            for (double v : flat) EXPECT_DOUBLE_EQ(v, 123.5);
        }
    }
}

TEST(SmoothInflow, InteriorIsTheStepWeightedMean) {
    const std::vector<double> q{10, 20, 40, 80, 160, 320, 640};
    const std::vector<double> dt{3600, 3600, 7200, 3600, 3600, 10800, 3600};
    const std::vector<double> s = SmoothInflow(q, dt, 3);
    // Step 3 (80) between 40 over two hours and 160 over one.
    EXPECT_DOUBLE_EQ(s[3], (40.0 * 7200 + 80 * 3600 + 160 * 3600) / (7200 + 3600 + 3600));
    // At the first step the window mirrors: the first step counts twice.
    EXPECT_DOUBLE_EQ(s[0], (10.0 * 3600 * 2 + 20 * 3600) / (3 * 3600));
    // A spike is spread, not kept.
    const std::vector<double> spike = SmoothInflow(std::vector<double>{0, 0, 0, 900, 0, 0, 0}, std::vector<double>(7, 1), 3);
    EXPECT_EQ(spike, (std::vector<double>{0, 0, 300, 300, 300, 0, 0}));
}

TEST(SmoothInflow, RefusesEvenOrShortWindows) {
    const std::vector<double> q{1, 2, 3}, dt{1, 1, 1};
    EXPECT_THROW(SmoothInflow(q, dt, 2), std::invalid_argument);
    EXPECT_THROW(SmoothInflow(q, dt, 4), std::invalid_argument);
    EXPECT_THROW(SmoothInflow(q, dt, 1), std::invalid_argument);
    EXPECT_THROW(SmoothInflow(q, std::vector<double>{1, 1}, 3), std::invalid_argument);
}

TEST(RedistributeNegativeInflow, TakesFromTheFollowingStepsThenThePreceding) {
    const std::vector<double> dt(6, 100);
    // -50 owes 5000 m^3: the next step gives its 3000, the one after 2000 of its 4000.
    TRedistribution r = RedistributeNegativeInflow(std::vector<double>{10, -50, 30, 40, 5, 5}, dt);
    EXPECT_TRUE(r.done);
    EXPECT_EQ(r.inflow, (std::vector<double>{10, 0, 0, 20, 5, 5}));
    // A negative value at the end takes from the steps before it, last first.
    r = RedistributeNegativeInflow(std::vector<double>{10, 20, 7, 0, 0, -25}, dt);
    EXPECT_TRUE(r.done);
    EXPECT_EQ(r.inflow, (std::vector<double>{10, 2, 0, 0, 0, 0}));
    // A record of only negative water cannot be mended: it is kept and said so.
    r = RedistributeNegativeInflow(std::vector<double>{10, -20, 5}, std::vector<double>(3, 100));
    EXPECT_FALSE(r.done);
    EXPECT_EQ(r.inflow, (std::vector<double>{10, -20, 5}));
    // Steps of unequal length count their water, not their rate.
    r = RedistributeNegativeInflow(std::vector<double>{-10, 30}, std::vector<double>{200, 100});
    EXPECT_EQ(r.inflow, (std::vector<double>{0, 10}));
}

TEST(RedistributeNegativeInflow, RandomSeriesKeepVolumeAndLoseEveryNegative) {
    std::mt19937 random(11);
    std::uniform_real_distribution<double> flow(-800, 1000), step(600, 86400);
    for (int round = 0; round < 200; ++round) {
        const int n = 1 + round % 40;
        std::vector<double> q(n), dt(n);
        for (int i = 0; i < n; ++i) q[i] = flow(random), dt[i] = step(random);
        const TRedistribution r = RedistributeNegativeInflow(q, dt);
        if (Volume(q, dt) < 0) {
            EXPECT_FALSE(r.done);
            EXPECT_EQ(r.inflow, q);
            continue;
        }
        EXPECT_TRUE(r.done);
        for (double v : r.inflow) EXPECT_GE(v, 0.0);
        EXPECT_NEAR(static_cast<double>(Volume(r.inflow, dt)), static_cast<double>(Volume(q, dt)),
                    1e-9 * n * 1000 * 86400);
    }
}

class RealRecordCorrection : public IsoLocaleTest {};

TEST_F(RealRecordCorrection, WholePowellRecordLosesItsNegativeDaysAndKeepsItsWater) {
    const Series s = RealInflow("powell_curve_pre2017_live.txt", "powell_1963_2026_flood.txt");
    ASSERT_GT(s.q.size(), 22000u);
    const auto negatives = std::count_if(s.q.begin(), s.q.end(), [](double v) { return v < 0; });
    EXPECT_GT(negatives, 50);   // the plain balance has dozens of negative days
    const TRedistribution r = RedistributeNegativeInflow(s.q, s.dt);
    ASSERT_TRUE(r.done);
    EXPECT_EQ(std::count_if(r.inflow.begin(), r.inflow.end(), [](double v) { return v < 0; }), 0);
    const long double before = Volume(s.q, s.dt), after = Volume(r.inflow, s.dt);
    EXPECT_LT(std::fabs(static_cast<double>(after - before)), 1.0) << "m^3 of " << static_cast<double>(before);
    // Smoothing first, then redistribution, keeps the daily record's water too.
    const std::vector<double> smooth = SmoothInflow(s.q, s.dt, 7);
    EXPECT_LT(std::fabs(static_cast<double>(Volume(smooth, s.dt) - before)), 1e-9 * static_cast<double>(before));
    const TRedistribution both = RedistributeNegativeInflow(smooth, s.dt);
    ASSERT_TRUE(both.done);
    EXPECT_EQ(std::count_if(both.inflow.begin(), both.inflow.end(), [](double v) { return v < 0; }), 0);
}

TEST_F(RealRecordCorrection, TankanSmoothingKeepsTheFloodVolume) {
    const Series s = RealInflow("tankan_curve.txt", "tankan_flood.txt");
    ASSERT_EQ(s.q.size(), 30u);
    for (double step : s.dt) ASSERT_EQ(step, 10800.0);   // 3-hourly throughout
    const long double before = Volume(s.q, s.dt);
    for (int window : {3, 5, 7}) {
        const std::vector<double> smooth = SmoothInflow(s.q, s.dt, window);
        EXPECT_NEAR(static_cast<double>(Volume(smooth, s.dt)), static_cast<double>(before), 1e-6 * static_cast<double>(before));
        // Smoothing lowers the peak of a single flood.
        EXPECT_LT(*std::max_element(smooth.begin(), smooth.end()), *std::max_element(s.q.begin(), s.q.end()));
    }
}

namespace {

// Records six hours apart with the given inflows (the first has no step).
std::vector<TFloodStep> Steps(const std::vector<double>& qin) {
    std::vector<TFloodStep> steps(qin.size());
    for (std::size_t i = 0; i < qin.size(); ++i) {
        steps[i].T = 45000 + static_cast<double>(i) / 4;
        steps[i].Qin = qin[i];
        steps[i].dt = i == 0 ? 0 : 21600;
    }
    return steps;
}

} // namespace

TEST(CorrectInflow, SmoothsFirstThenRedistributes) {
    const std::vector<TFloodStep> steps = Steps({0, 0, -90, 0, 0, 180});
    EXPECT_TRUE(CorrectInflow(steps, 6, {}).inflow.empty());
    // Smoothed over three steps: -30, -30, -30, 60, 120; the 90 owed is taken
    // from the next steps. The other order would give 0, 0, 0, 30, 60.
    const TCorrectedInflow both = CorrectInflow(steps, 6, {3, true});
    EXPECT_FALSE(both.negativeVolume);
    EXPECT_EQ(both.inflow, (std::vector<double>{0, 0, 0, 0, 90}));
    EXPECT_EQ(CorrectInflow(steps, 6, {3, false}).inflow, (std::vector<double>{-30, -30, -30, 60, 120}));
    // Only the computed records; none without two of them.
    EXPECT_EQ(CorrectInflow(steps, 6, {0, true}).inflow, (std::vector<double>{0, 0, 0, 0, 90}));
    EXPECT_EQ(CorrectInflow(steps, 3, {3, false}).inflow, (std::vector<double>{-30, -60}));
    EXPECT_TRUE(CorrectInflow(steps, 1, {3, true}).inflow.empty());
    // A record whose water is negative as a whole keeps its (smoothed) series.
    const TCorrectedInflow negative = CorrectInflow(Steps({0, -30, -30, -30, 30}), 5, {3, true});
    EXPECT_TRUE(negative.negativeVolume);
    EXPECT_EQ(negative.inflow, (std::vector<double>{-30, -30, -10, 10}));
}

TEST(CorrectInflow, SummaryAndFileCarryTheCorrectedSeries) {
    const std::vector<TFloodStep> steps = Steps({0, 0, -90, 0, 0, 180});
    const TCorrectedInflow c = CorrectInflow(steps, 6, {3, true});
    const std::string plain = SummaryText(SummarizeFlood(steps, 6));
    const std::string text = SummaryText(SummarizeFlood(steps, 6, c.inflow));
    // The corrected items follow the others, which stay as they were.
    ASSERT_TRUE(text.starts_with(plain)) << text;
    EXPECT_EQ(text.substr(plain.size()),
              "peak_inflow_corrected,90,m^3/s,2023-03-16 06:00:00\r\n"
              "inflow_volume_corrected,0.0194,10^8m^3,\r\n");
    EXPECT_NE(plain.find("\r\ninflow_volume,0.0194,10^8m^3,\r\n"), std::string::npos) << plain;
    // Corrected series of a failed computation: the items are there, empty.
    const std::string none = SummaryText(SummarizeFlood(steps, 1, {}));
    EXPECT_TRUE(none.ends_with("\r\npeak_inflow_corrected,,m^3/s,\r\ninflow_volume_corrected,,10^8m^3,\r\n")) << none;

    EXPECT_EQ(CorrectedText(steps, 4, c.inflow),
              "time,inflow,corrected_inflow\r\n"
              "2023-03-15 06:00:00,0,0\r\n"
              "2023-03-15 12:00:00,-90,0\r\n"
              "2023-03-15 18:00:00,0,0\r\n");
    // Without a correction the corrected value is the computed one.
    EXPECT_EQ(CorrectedText(steps, 3, {}),
              "time,inflow,corrected_inflow\r\n2023-03-15 06:00:00,0,0\r\n2023-03-15 12:00:00,-90,-90\r\n");
}

// A step back in time (records out of order) would carry its water with the
// wrong sign: no corrected series, and no volume in the summary.
TEST(CorrectInflow, StepsBackInTimeMakeNoCorrectedSeriesNorVolumes) {
    std::vector<TFloodStep> steps = Steps({0, 100, 80, -20, 60});
    steps[3].dt = -21600;   // the fourth record before the third
    const TCorrectedInflow c = CorrectInflow(steps, 5, {0, true});
    EXPECT_EQ(c.backwardStep, 3u);
    EXPECT_TRUE(c.inflow.empty());
    const TFloodSummary s = SummarizeFlood(steps, 5, c.inflow);
    EXPECT_FALSE(s.inflowVolume || s.outflowVolume || s.negativeInflowVolume || s.inflowVolumeCorrected);
    EXPECT_FALSE(CorrectInflow(steps, 3, {0, true}).backwardStep) << "only the computed records count";
}

// The centred, step-weighted, mirrored average as plainly as it can be said.
static std::vector<double> MirroredMean(const std::vector<double>& q, const std::vector<double>& dt, long long window) {
    const long long n = static_cast<long long>(q.size());
    std::vector<double> out(q);
    for (long long i = 0; i < n; ++i) {
        long double water = 0, time = 0;
        for (long long p = i - window / 2; p <= i + window / 2; ++p) {
            long long m = ((p % (2 * n)) + 2 * n) % (2 * n);
            if (m >= n) m = 2 * n - 1 - m;
            if (dt[m] > 0) water += static_cast<long double>(q[m]) * dt[m], time += dt[m];
        }
        if (dt[i] > 0) out[i] = static_cast<double>(water / time);
    }
    return out;
}

// Windows up to kLongestSummedWindow add up in order as they always did (to
// the bit); longer ones slide their sums, whole turns of the mirrored record
// at once, and agree to about the last bit whatever the window's length.
TEST(SmoothInflow, SlidingSumsAgreeWithTheAverageWrittenOut) {
    std::mt19937 random(17);
    std::uniform_real_distribution<double> flow(-800, 6000), hours(0.5, 48);
    for (const int n : {1, 2, 5, 40, 700}) {
        std::vector<double> q(n), dt(n);
        for (int i = 0; i < n; ++i) {
            q[i] = flow(random);
            dt[i] = i % 17 == 5 ? 0 : std::round(hours(random)) * 3600;
        }
        for (const long long window : {3LL, 63LL, 65LL, 2LL * n + 1, 6LL * n + 3, 4001LL}) {
            SCOPED_TRACE(testing::Message() << n << " records, window " << window);
            const std::vector<double> expected = MirroredMean(q, dt, window);
            const std::vector<double> smoothed = SmoothInflow(q, dt, static_cast<int>(window));
            const std::vector<double> sliding = SmoothInflowBySlidingSums(q, dt, static_cast<int>(window));
            for (int i = 0; i < n; ++i) {
                EXPECT_NEAR(sliding[i], expected[i], 1e-13 * std::max(1.0, std::fabs(expected[i]))) << i;
                EXPECT_EQ(smoothed[i], window <= kLongestSummedWindow ? expected[i] : sliding[i]) << i;
            }
        }
    }
    const std::vector<double> two = SmoothInflow(std::vector<double>{100, 300}, std::vector<double>(2, 3600), 2147483647);
    EXPECT_NEAR(two[0], 200, 1e-6);
    EXPECT_NEAR(two[1], 200, 1e-6);
}
