// Lake Powell's daily record 1963-2026 (22,661 days) through screening, the
// smoother held to the gauge, gauge noise and water years; its 1983 spill
// under the agency's balance against the published inflow.

#include "CurveLookup.h"
#include "Currency.h"
#include "FloodPeriods.h"
#include "FloodStamp.h"
#include "FloodSummary.h"
#include "InflowComparison.h"
#include "InflowNoise.h"
#include "InflowScreening.h"
#include "InflowTestSupport.h"
#include "InflowWork.h"
#include "RecordSeries.h"
#include "ToleranceSmoother.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>

namespace {

const std::string kRealData = std::string(QUELMORA_REALDATA_DIR) + "/";

std::size_t Negatives(const std::vector<double>& q) {
    return static_cast<std::size_t>(std::count_if(q.begin(), q.end(), [](double v) { return v < 0; }));
}

class Powell : public inflow_test::IsoLocaleTest {
protected:
    void SetUp() override {
        IsoLocaleTest::SetUp();
        work = std::make_unique<InflowWork>();
        work->FormCreate();
        work->ReadCurve(kRealData + "powell_curve_pre2017_live.txt");
        work->ReadFlood(kRealData + "powell_1963_2026_flood.txt");
        work->Compute();
        ASSERT_EQ(work->ComputedRecords, 22661u);
        r = RecordSeries(work->FloodSteps, work->ComputedRecords);
    }
    std::unique_ptr<InflowWork> work;
    TRecordSeries r;
};

TEST_F(Powell, TwoSpikesAreFlaggedAndTheirRepairKeepsTheVolume) {
    const TSpikeScreening s = ScreenSpikes(r.levels, 0.2);
    std::vector<std::string> days;
    for (const TSpike& spike : s.spikes) days.push_back(StampPattern("yyyy-mm-dd", r.times[spike.record]));
    EXPECT_EQ(days, (std::vector<std::string>{"1973-09-29", "1985-08-02"}));
    const TLevelRepair repair = RepairLevels(r.times, r.levels, s.flags);
    ASSERT_EQ(repair.repaired, 2u);
    const std::size_t day = s.spikes[1].record;   // 1985-08-02
    EXPECT_NEAR(work->FloodSteps[day].Qin, -1789.2, 0.05);
    EXPECT_NEAR(work->FloodSteps[day + 1].Qin, 2770.3, 0.05);

    // The repaired level as it is (1126.80445 m): the two days' balance.
    const TCurveLookup curve(work->CurvePoints);
    auto inflowOf = [&](std::size_t e, double vBefore, double vAfter) {
        return (vAfter - vBefore) * 1e8 / r.dt[e - 1] + (work->FloodSteps[e].Qout + work->FloodSteps[e - 1].Qout) / 2;
    };
    const double v = curve.Storage(repair.levels[day]);
    const double exact[2] = {inflowOf(day, r.storages[day - 1], v), inflowOf(day + 1, v, r.storages[day + 1])};
    EXPECT_NEAR(exact[0], 500.5, 0.05);
    EXPECT_NEAR(exact[1], 480.7, 0.05);

    // Through the records, whose levels carry four decimals as a file's do
    // (1126.8045): 0.05 mm more water on the day, some 0.37 m^3/s moved to it.
    for (const TSpike& spike : s.spikes)
        work->FloodSteps[spike.record].Z =
            DecimalToReal(DecimalFromText(DecimalToText(DecimalFromReal(repair.levels[spike.record]))));
    work->Compute();
    const double table[2] = {work->FloodSteps[day].Qin, work->FloodSteps[day + 1].Qin};
    EXPECT_NEAR(table[0], 500.5, 0.5);
    EXPECT_NEAR(table[1], 480.7, 0.5);
    EXPECT_NEAR(table[0] + table[1], exact[0] + exact[1], 1e-6);
    const TFloodSummary summary = SummarizeFlood(work->FloodSteps, work->ComputedRecords);
    EXPECT_NEAR(*summary.inflowVolume, 7328.1564, 0.001);
    std::printf("Powell --spike 0.2: 1985-08-02/03 %.4f %.4f (level %.5f), through the table %.4f %.4f; volume %.4f\n",
                exact[0], exact[1], repair.levels[day], table[0], table[1], *summary.inflowVolume);
}

TEST_F(Powell, TheSmootherHeldToTenMillimetresLeavesNoNegativeDay) {
    const TToleranceSmoothing s = SmoothToTolerance(r.levels, r.storages, r.inflow, r.dt, work->CurvePoints, 0.010);
    EXPECT_EQ(Negatives(r.inflow), 84u);
    EXPECT_EQ(Negatives(s.inflow), 0u);
    EXPECT_LE(s.rmsDeparture, 0.010);
    EXPECT_GE(s.rmsDeparture, 0.00995);
    const TFloodSummary summary = SummarizeFlood(work->FloodSteps, work->ComputedRecords, s.inflow);
    EXPECT_NEAR(*summary.inflowVolumeCorrected, *summary.inflowVolume, 0.01);
    // The spike of 1985-08-02 is what the smoother cannot follow.
    EXPECT_EQ(StampPattern("yyyy-mm-dd", r.times[s.largestAt]), "1985-08-02");
    EXPECT_GT(std::fabs(s.largestDeparture), 0.2);
    std::printf("Powell --smooth-tolerance 10: RMS %.2f mm, largest %.1f mm on record %zu, peak %.4f, "
                "volume %.4f (computed %.4f), weight %.4g, %d solves\n",
                s.rmsDeparture * 1000, s.largestDeparture * 1000, s.largestAt, summary.peakInflowCorrected->value,
                *summary.inflowVolumeCorrected, *summary.inflowVolume, s.weight, s.solves);
}

TEST_F(Powell, SixtyTwoNegativeDaysAreBeyondTheGaugesNoise) {
    const TGaugeNoise n = GaugeNoise(r.levels, r.inflow, r.dt, work->CurvePoints, {}, 0.003048);
    EXPECT_EQ(n.negativeSteps, 84u);
    EXPECT_EQ(n.withinNoise, 22u);
    EXPECT_EQ(n.beyondNoise, 62u);
    std::printf("Powell --gauge-resolution 0.003048: median sigma %.4f m^3/s\n", n.medianSigma);
}

TEST_F(Powell, WaterYearsKeepTheirVolumeAndLoseTheirNegativeDays) {
    const TPeriodRule rule{};
    const TPeriodRedistribution red = ScaleNegativeByPeriod(r.times, r.inflow, r.dt, rule);
    EXPECT_EQ(red.periods.size(), 63u);
    EXPECT_EQ(Negatives(red.inflow), 0u);
    std::size_t withNegatives = 0;
    const TPeriodScaling* most = &red.periods.front();
    for (const TPeriodScaling& p : red.periods) {
        withNegatives += p.negativeSteps > 0;
        EXPECT_NE(p.state, TPeriodScaling::TState::NegativeVolume);
        long double after = 0;
        for (std::size_t k = p.span.first == 0 ? 0 : p.span.first - 1; k < p.span.last; ++k)
            after += static_cast<long double>(red.inflow[k]) * r.dt[k];
        EXPECT_NEAR(static_cast<double>(after / 1e8L), p.volume, 1e-4) << PeriodLabel(p.span.period, rule);
        if (p.factor < most->factor) most = &p;
    }
    EXPECT_EQ(withNegatives, 32u);
    EXPECT_EQ(PeriodLabel(most->span.period, rule), "WY1982");
    EXPECT_NEAR((1 - most->factor) * 100, 1.02, 0.005);

    // The water years' rows add up to the whole record.
    const std::vector<TPeriodSummary> rows = SummarizePeriods(work->FloodSteps, work->ComputedRecords, red.inflow, rule);
    ASSERT_EQ(rows.size(), 63u);
    long double volume = 0, corrected = 0;
    std::size_t records = 0;
    for (const TPeriodSummary& row : rows) {
        volume += *row.inflowVolume;
        corrected += *row.inflowVolumeCorrected;
        records += row.records;
    }
    EXPECT_EQ(records, 22661u);
    EXPECT_NEAR(static_cast<double>(volume), 7328.1564, 0.001);
    EXPECT_NEAR(static_cast<double>(corrected), 7328.1564, 0.001);
}

TEST_F(Powell, TheAgencysBalanceAgainstThePublished1983Inflow) {
    work->ResetFloodTable();
    work->ReadFlood(kRealData + "powell_1983_flood_evap.txt");
    work->Balance.outflow = TBalanceOptions::TOutflow::End;
    work->Balance.bankStorage = 0.08;
    work->Balance.lossFields = {4};
    work->Compute();
    const TRecordSeries r1983 = RecordSeries(work->FloodSteps, work->ComputedRecords);
    std::ifstream in(kRealData + "powell_1983_published.csv");
    std::string line;
    std::getline(in, line);
    ASSERT_EQ(line.substr(0, line.find(',', 5)), "time,published_inflow_m3s");
    std::vector<DateTimeValue> times;
    std::vector<double> published;
    while (std::getline(in, line)) {
        const std::size_t comma = line.find(',');
        DateTimeValue t = 0;
        ASSERT_TRUE(ReadDocumentedStamp(line.substr(0, comma), t)) << line;
        times.push_back(t);
        published.push_back(std::stod(line.substr(comma + 1)));
    }
    const TInflowComparison c = CompareInflow(r1983.times, r1983.inflow, r1983.dt, times, published);
    EXPECT_EQ(c.records, 122u);   // the first day has no step
    EXPECT_NEAR(*c.rmse, 0.74, 0.005);
    EXPECT_NEAR(*c.bias, 0.0, 0.05);
    EXPECT_GT(*c.nse, 0.9999);
    std::printf("Powell 1983 against the published inflow: RMSE %.4f, NSE %.7f, bias %.4f, peak error %.4f m^3/s, "
                "volume error %.5f 10^8 m^3\n",
                *c.rmse, *c.nse, *c.bias, *c.peakError, *c.volumeError);
}

}  // namespace
