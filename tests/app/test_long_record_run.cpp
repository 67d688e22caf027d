// The long-record choices as a run makes them: the chain of corrections, the
// summary's added items, the table's added columns, the reference's reader.

#include "CurveLookup.h"
#include "CurveSegments.h"
#include "Exceptions.h"
#include "FloodRun.h"
#include "ReferenceSeries.h"
#include "TidyTable.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<TCurvePoint> Curve() {
    std::vector<TCurvePoint> c;
    for (int i = 0; i <= 200; ++i) c.push_back({100 + 0.1 * i, 2 + 0.5 * i * 0.1 + 0.002 * i * i * 0.01});
    return c;
}

// Daily records from 2019-07-01: a level that rises and falls, read to 1 cm,
// and the inflow of the balance with a storage factor f.
std::vector<TFloodStep> Record(std::size_t n, double f, unsigned seed) {
    const auto curve = Curve();
    const TCurveLookup lookup(curve);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> noise(-0.01, 0.01);
    DateTimeValue start = 0;
    EXPECT_TRUE(TryEncodeDate(2019, 7, 1, start));
    std::vector<TFloodStep> steps(n);
    for (std::size_t k = 0; k < n; ++k) {
        TFloodStep& s = steps[k];
        s.T = start + static_cast<double>(k);
        s.Z = std::round((105 + 3 * std::sin(k / 40.0) + noise(random)) * 100) / 100;
        s.V = lookup.Storage(s.Z);
        s.Qout = 300 + 100 * std::cos(k / 30.0);
        if (k == 0) continue;
        s.dt = 86400;
        s.dV = s.V - steps[k - 1].V;
        s.qMean = (s.Qout + steps[k - 1].Qout) / 2;
        s.Qin = f * s.dV * 1e8 / s.dt + s.qMean;
    }
    return steps;
}

double Volume(const std::vector<TFloodStep>& steps, std::span<const double> q) {
    long double v = 0;
    for (std::size_t k = 0; k < q.size(); ++k) v += static_cast<long double>(q[k]) * steps[k + 1].dt;
    return static_cast<double>(v / 1e8L);
}

}  // namespace

// Every chain keeps the record's water; the held smoother's departures,
// worked out here from the lake's own storages (V + c / f, read back on the
// curve), stay within the tolerance also with bank storage; redistribution
// leaves no negative step.
TEST(RunFlood, CorrectionChainsKeepTheWaterAndTheLevels) {
    using P = TCorrectionOptions::TScalePeriod;
    const auto curve = Curve();
    const TCurveSegments segments(curve);
    struct Case { double f; double tolerance; bool redistribute; P scale; };
    for (const Case c : {Case{1.0, 0.004, false, P::None}, Case{1.08, 0.004, false, P::None},
                         Case{1.08, 0.002, true, P::None}, Case{1.0, 0.003, false, P::WaterYear},
                         Case{1.0, 0, false, P::Month}, Case{1.0, 0, false, P::Year}}) {
        SCOPED_TRACE(testing::Message() << "f " << c.f << " tol " << c.tolerance << " scale " << int(c.scale));
        const auto steps = Record(500, c.f, 7);
        TCorrectionOptions options;
        options.smoothTolerance = c.tolerance;
        options.redistribute = c.redistribute;
        options.scaleBy = c.scale;
        TRunInputs inputs;
        inputs.curve = curve;
        inputs.storageFactor = c.f;
        const TFloodRun run = RunFlood(steps, steps.size(), options, true, inputs);
        ASSERT_EQ(run.corrected.size(), steps.size() - 1);
        std::vector<double> computed;
        for (std::size_t k = 1; k < steps.size(); ++k) computed.push_back(steps[k].Qin);
        EXPECT_NEAR(Volume(steps, run.corrected), Volume(steps, computed), 1e-9);
        if (c.redistribute || c.scale != P::None) {
            for (double q : run.corrected) ASSERT_GE(q, 0.0);
        }
        ASSERT_EQ(run.held.has_value(), c.tolerance > 0);
        ASSERT_EQ(run.summary->heldDeparture.has_value(), c.tolerance > 0);
        if (!run.held) continue;
        // Departures of the held series alone (before any redistribution).
        TFloodRun alone = RunFlood(steps, steps.size(), TCorrectionOptions{0, false, c.tolerance}, false, inputs);
        long double c8 = 0, squares = 0;
        for (std::size_t k = 1; k < steps.size(); ++k) {
            c8 += (static_cast<long double>(alone.corrected[k - 1]) - steps[k].Qin) * steps[k].dt / 1e8L;
            const double z = segments.LevelFor(static_cast<double>(steps[k].V + c8 / c.f), steps[k].Z, steps[k].V);
            squares += (static_cast<long double>(z) - steps[k].Z) * (z - steps[k].Z);
        }
        const double rms = static_cast<double>(std::sqrt(squares / (steps.size() - 1)));
        EXPECT_LE(rms, c.tolerance * (1 + 1e-9));
        EXPECT_NEAR(rms, run.summary->heldDeparture->rms, 1e-9);
        EXPECT_GT(rms, c.tolerance * 0.99);   // the smoothest within it, not any within it
    }
}

// The added items follow the corrected ones, in their order, only when
// chosen; a record of a year or more has no peak lag.
TEST(RunFlood, SummaryItemsAndThePeakLagsSpan) {
    const auto curve = Curve();
    for (std::size_t n : {365u, 366u}) {
        const auto steps = Record(n, 1.0, 3);
        TRunInputs inputs;
        inputs.curve = curve;
        inputs.gaugeResolution = 0.01;
        const std::vector<DateTimeValue> times{steps[2].T, steps[3].T};
        const std::vector<double> values{steps[2].Qin + 1, steps[3].Qin - 1};
        inputs.withReference = true;
        inputs.referenceTimes = times;
        inputs.reference = values;
        const TFloodRun run = RunFlood(steps, n, TCorrectionOptions{0, false, 0.005}, true, inputs);
        std::string names;
        for (const TSummaryItem& item : SummaryItems(*run.summary)) names += item.name + " ";
        EXPECT_NE(names.find("inflow_volume_corrected smooth_rms_departure smooth_largest_departure smooth_solves "
                             "noise_sigma_median negative_within_noise negative_beyond_noise compare_records "
                             "compare_rmse compare_nse compare_bias compare_peak_error compare_volume_error "),
                  std::string::npos) << names;
        EXPECT_EQ(run.summary->comparison->records, 2u);
        EXPECT_DOUBLE_EQ(*run.summary->comparison->rmse, 1.0);
        EXPECT_EQ(run.summary->noise->within + run.summary->noise->beyond, *run.summary->negativeInflowSteps);
        // 364 days from first to last: one year's flood; 365 days: no lag.
        EXPECT_EQ(run.summary->peakLag.has_value(), n == 365u);
        const TFloodRun plain = RunFlood(steps, n, {});
        EXPECT_EQ(SummaryItems(*plain.summary).size(), 13u);
    }
}

TEST(TidyTable, SigmaAndFlagColumns) {
    const auto steps = Record(3, 1.0, 1);
    const std::vector<double> sigma{1.5, 2.25};
    const std::vector<TRecordFlag> flags{TRecordFlag::None, TRecordFlag::Repaired, TRecordFlag::Spike};
    TTidyTableSource source{steps, 3, std::nullopt, {}, std::span<const double>(sigma),
                            std::span<const TRecordFlag>(flags)};
    const std::string text = TidyTableText(source);
    EXPECT_NE(text.find(",inflow_m3s,sigma_m3s,flag\n"), std::string::npos);
    EXPECT_NE(text.find(",,\n"), std::string::npos);          // the first record: no step, no flag
    EXPECT_NE(text.find(",1.5,repaired\n"), std::string::npos);
    EXPECT_NE(text.find(",2.25,spike\n"), std::string::npos);
}

// The reference file: its forms, its gaps, and every refusal naming the
// option, the file and the line.
TEST(ReferenceSeries, ReadsTimesAndValuesOrNamesTheLine) {
    struct Case { std::string text; const char* columns; TFlowUnit unit; std::size_t values; double second; const char* error; };
    const double nan = std::nan("");
    const Case cases[] = {
        {"time,q\n2020-01-01 00:00:00,10.5\n2020-01-02,\n2020-01-03 00-00-00,7\n", nullptr, TFlowUnit::M3s, 3, nan, nullptr},
        {"a,Date,Q (cfs)\nx,01-Mar-2020,100\nx,02-Mar-2020,200\nnotes here\n", "time=Date,value=Q (cfs)", TFlowUnit::Cfs,
         2, 200 * 0.028316846592, nullptr},
        {"time,q\n2020-01-01,1\nnot a time,2\n", nullptr, TFlowUnit::M3s, 0, 0, ":3: "},
        {"t,v\n2020-01-01,1\nnote,\n2020-01-03,3\n", "time=1,value=2", TFlowUnit::M3s, 0, 0, ":3: "},
        {"time,q\n2020-01-01,1x\n", nullptr, TFlowUnit::M3s, 0, 0, ":2: '1x' is no number"},
        {"time,q\n2020-01-01\n", nullptr, TFlowUnit::M3s, 0, 0, ":2: no value field"},
    };
    const std::string file = testing::TempDir() + "reference.csv";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::ofstream(file, std::ios::binary) << c.text;
        std::optional<TColumnOption> columns;
        if (c.columns) columns = ParseCompareColumns(c.columns);
        if (c.error) {
            try {
                ReadReferenceSeries(file, columns, c.unit, {});
                ADD_FAILURE() << "read";
            } catch (const Exception& e) {
                EXPECT_NE(std::string(e.what()).find("--compare " + file + c.error), std::string::npos) << e.what();
            }
            continue;
        }
        const TReferenceSeries s = ReadReferenceSeries(file, columns, c.unit, {});
        ASSERT_EQ(s.values.size(), c.values);
        EXPECT_EQ(s.times[1] - s.times[0], 1.0);
        if (std::isnan(c.second)) EXPECT_TRUE(std::isnan(s.values[1]));
        else EXPECT_NEAR(s.values[1], c.second, 1e-12);
    }
    std::remove(file.c_str());
}
