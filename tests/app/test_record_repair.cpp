// Records skipped as gaps brought back by a repair, a curve's area column in
// its unit, dated curves under the noise and the held smoother, and the
// per-period rows in the user's units.

#include "Currency.h"
#include "CurveLookup.h"
#include "FloodPeriods.h"
#include "FloodRun.h"
#include "InflowTestSupport.h"
#include "InflowWork.h"
#include "RecordFormat.h"
#include "RecordRepair.h"
#include "TidyTable.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

using namespace inflow_test;

namespace {

TRecordFormat Format(TFileKind kind, const TOptionPairs& given) { return ReadRecordFormat(kind, given); }

// The records of a table's text: its cells by row.
std::vector<std::vector<std::string>> Cells(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string>& row = rows.emplace_back();
        std::size_t start = 0;
        for (;;) {
            const std::size_t comma = line.find(',', start);
            row.push_back(line.substr(start, comma - start));
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    }
    return rows;
}

}  // namespace

// Gaps at both ends, a missing level, a missing outflow, both, and a missing
// loss: only those between two records read and with their losses come back,
// each where its time puts it, with its line and loss, the level and outflow
// interpolated in time (steps of 6 h and 12 h: not the plain mean).
TEST(RestoreSkipped, BringsBackTheGapsBetweenRecordsAndInterpolatesThem) {
    ScratchDir dir;
    const std::string flood = dir / "f.csv";
    WriteFile(flood, Lines({"t,z,q,e",
                            "2024-07-01 00:00,,5,1",         // before the first record: stays out
                            "2024-07-01 06:00,100.0,10,1",
                            "2024-07-01 12:00,,20,2",        // level missing
                            "2024-07-02 00:00,100.6,30,3",
                            "2024-07-02 06:00,100.9,,4",     // outflow missing
                            "2024-07-02 12:00,101.2,50,",    // loss missing: stays out
                            "2024-07-02 18:00,,,6",          // both missing
                            "2024-07-03 06:00,102.0,70,7",
                            "2024-07-03 12:00,,80,8"}));      // after the last: stays out
    InflowWork work;
    work.ShowTables = false;
    work.FloodFormat = Format(TFileKind::Flood, {{"--columns", "time=t,level=z,outflow=q,loss=e"},
                                                 {"--missing", "skip"}, {"--date-order", "ymd"}});
    work.ReadFlood(flood);
    ASSERT_EQ(work.FloodSteps.size(), 3u);
    ASSERT_EQ(work.FloodGaps.size(), 6u);
    EXPECT_EQ(work.SkippedRecords(), 6u);

    const TRecordRepair r = ScreenAndRepair(work, std::nullopt, true);
    struct Want { int line; double z, q; TRecordFlag flag; const char* loss; };
    // The outflow of 07-02 06:00 lies between 00:00 (30) and 07-03 06:00 (70):
    // the record of 12:00 stays out, and 18:00 has none of its own.
    const Want want[] = {{3, 100.0, 10, TRecordFlag::None, ",1"},      {4, 100.2, 20, TRecordFlag::Repaired, ",2"},
                         {5, 100.6, 30, TRecordFlag::None, ",3"},      {6, 100.9, 38, TRecordFlag::Repaired, ",4"},
                         {8, 101.45, 54, TRecordFlag::Repaired, ",6"}, {9, 102.0, 70, TRecordFlag::None, ",7"}};
    ASSERT_EQ(work.FloodSteps.size(), std::size(want));
    for (std::size_t k = 0; k < std::size(want); ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(work.RecordLine(k).line, want[k].line);
        EXPECT_NEAR(work.FloodSteps[k].Z, want[k].z, 1e-12);
        EXPECT_NEAR(work.FloodSteps[k].Qout, want[k].q, 1e-12);
        EXPECT_EQ(r.flags[k], want[k].flag);
        EXPECT_EQ(work.FloodFieldTexts.AfterOutflow(k), want[k].loss);
    }
    EXPECT_EQ(r.restored.size(), 3u);
    // What stays out keeps its place among the records now there.
    ASSERT_EQ(work.FloodGaps.size(), 3u);
    EXPECT_EQ(work.FloodGaps[0].before, 0u);
    EXPECT_EQ(work.FloodGaps[1].before, 4u);
    EXPECT_TRUE(work.FloodGaps[1].lossGap);
    EXPECT_EQ(work.FloodGaps[2].before, 6u);
    EXPECT_EQ(work.SkippedRecords(), 3u);

    // The record computes with the losses the columns name, each where it belongs.
    work.CurvePoints = {{99, 0}, {103, 4}};
    work.Compute();
    EXPECT_EQ(work.ComputedRecords, 6u);
    // Outflow and loss as the means at the step's ends: 06:00 to 12:00 of
    // the first day, and the step over the loss gap.
    EXPECT_NEAR(work.FloodSteps[1].qMean, (10 + 20) / 2.0 + (1 + 2) / 2.0, 1e-9);
    EXPECT_NEAR(work.FloodSteps[4].qMean, (38 + 54) / 2.0 + (4 + 6) / 2.0, 1e-9);

    // The table shows what stays out, in time order, flagged.
    std::vector<TSkippedRow> gaps;
    for (const auto& g : work.FloodGaps)
        gaps.push_back({g.before, g.step.T, g.levelRead ? std::optional(g.step.Z) : std::nullopt,
                        g.outflowRead ? std::optional(g.step.Qout) : std::nullopt});
    TTidyTableSource table{work.FloodSteps, 6, std::nullopt, {}, std::nullopt, std::span<const TRecordFlag>(r.flags)};
    table.skipped = gaps;
    const auto rows = Cells(TidyTableText(table));
    ASSERT_EQ(rows.size(), 1u + 6 + 3);
    std::vector<std::string> flags, times;
    for (std::size_t i = 1; i < rows.size(); ++i) {
        ASSERT_EQ(rows[i].size(), rows[0].size()) << i;
        flags.push_back(rows[i].back());
        times.push_back(rows[i][0].substr(5, 8));
    }
    EXPECT_EQ(flags, (std::vector<std::string>{"skipped", "", "repaired", "", "repaired", "skipped", "repaired", "",
                                               "skipped"}));
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_EQ(rows[6][1], "101.2");   // the level the gap had
    EXPECT_EQ(rows[6][8], "");        // and no inflow

}

// In the window a repair may be chosen and dropped again and again: the
// records it brings back get their rows in the calculation table, in their
// places and showing the interpolated values, and leave again with them;
// the record is then the one read, to the table's last cell.
TEST(RestoreSkipped, TheTableGrowsAndShrinksWithTheRepair) {
    ScratchDir dir;
    const std::string flood = dir / "f.csv";
    WriteFile(flood, Lines({"t,z,q", "2024-07-01 00:00,,5", "2024-07-01 06:00,100.0,10", "2024-07-01 12:00,,20",
                            "2024-07-02 00:00,100.6,30", "2024-07-02 06:00,100.9,", "2024-07-02 12:00,101.2,50",
                            "2024-07-02 18:00,130,60", "2024-07-03 00:00,101.6,61", "2024-07-03 06:00,101.7,62",
                            "2024-07-03 12:00,,80"}));
    InflowWork work;
    work.FormCreate();
    work.FloodFormat = Format(TFileKind::Flood, {{"--columns", "time=t,level=z,outflow=q"}, {"--missing", "skip"},
                                                 {"--date-order", "ymd"}});
    work.CurvePoints = {{99, 0}, {131, 40}};
    auto table = [&] {
        std::vector<std::vector<std::string>> rows;
        for (int r = 0; r < work.StringGrid1.RowCount(); ++r) {
            std::vector<std::string>& row = rows.emplace_back();
            for (int c = 0; c < work.StringGrid1.ColCount(); ++c) row.emplace_back(work.StringGrid1.Cell(c, r));
        }
        return rows;
    };
    auto record = [&] {
        std::vector<std::vector<double>> steps;
        for (std::size_t k = 0; k < work.FloodSteps.size(); ++k) {
            const TFloodStep& s = work.FloodSteps[k];
            steps.push_back({s.T, s.Z, s.Qout, s.V, s.Qin, static_cast<double>(work.RecordLine(k).line)});
        }
        return steps;
    };
    {
        const std::string whole = dir / "whole.csv";
        WriteFile(whole, Lines({"t,z,q", "2024-07-01 06:00,100.0,10", "2024-07-01 12:00,100.2,20",
                                "2024-07-02 00:00,100.6,30", "2024-07-02 06:00,100.9,40", "2024-07-02 12:00,101.2,50",
                                "2024-07-02 18:00,101.4,60", "2024-07-03 00:00,101.6,61", "2024-07-03 06:00,101.7,62"}));
        work.ReadFlood(whole);
        work.Compute();
    }
    const auto mendedTable = table();
    work.ResetFloodTable();
    work.ReadFlood(flood);
    work.Compute();
    const auto readTable = table();
    const auto readRecord = record();
    ASSERT_EQ(work.FloodSteps.size(), 6u);

    std::vector<std::vector<std::string>> repairedTable;
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        // The spike at 07-02 18:00 and the two gaps between records read.
        const TRecordRepair repair = ScreenAndRepair(work, 1.0, true);
        work.Compute();
        ASSERT_EQ(work.FloodSteps.size(), 8u);
        const auto shown = table();
        // The table of the record written out whole with the mended values:
        // every row in its place, computed with what it shows.
        EXPECT_EQ(shown, mendedTable);
        EXPECT_EQ(std::count(repair.flags.begin(), repair.flags.end(), TRecordFlag::Repaired), 3);
        if (round == 0) repairedTable = shown;
        EXPECT_EQ(shown, repairedTable) << "the same repair again shows the same table";

        // Dropped: the record and its table as read, the gaps as read.
        ScreenAndRepair(work, std::nullopt, false);
        work.Compute();
        EXPECT_EQ(table(), readTable);
        EXPECT_EQ(record(), readRecord);
        EXPECT_EQ(work.FloodGaps.size(), 4u);
        EXPECT_EQ(work.SkippedRecords(), 4u);
    }
}

// The area column read in its unit becomes the lake's area under sigma:
// A R sqrt(2) / (sqrt(12) dt) with A interpolated at the step's mean level.
TEST(CurveArea, ReadInItsUnitAndTakenBySigma) {
    ScratchDir dir;
    const std::string curve = dir / "c.csv", flood = dir / "f.txt";
    WriteFile(curve, Lines({"z,v,a", "100,0,200", "101,1,300", "103,4,500"}));
    WriteFile(flood, Lines({"t,z,q", "2024-07-01 00:00,100.2,10", "2024-07-01 06:00,100.6,10",
                            "2024-07-01 12:00,101.8,10"}));
    struct Case { const char* unit; double m2; };
    for (const Case c : {Case{"area=acres", 4046.8564224}, Case{"area=ha", 1e4}, Case{"area=km2", 1e6},
                         Case{"area=m2", 1}}) {
        SCOPED_TRACE(c.unit);
        InflowWork work;
        work.ShowTables = false;
        work.CurveFormat = Format(TFileKind::Curve, {{"--curve-columns", "level=z,storage=v,area=a"}, {"--units", c.unit}});
        work.ReadCurve(curve);
        ASSERT_EQ(work.CurveAreas.size(), 3u);
        EXPECT_DOUBLE_EQ(work.CurveAreas[1], 300 * c.m2);
        work.FloodFormat = Format(TFileKind::Flood, {{"--date-order", "ymd"}});
        work.ReadFlood(flood);
        work.Compute();
        TRunInputs inputs;
        inputs.curve = work.CurvePoints;
        inputs.area = work.CurveAreas;
        inputs.gaugeResolution = 0.01;
        const TFloodRun run = RunFlood(work.FloodSteps, work.ComputedRecords, {}, false, inputs);
        ASSERT_TRUE(run.noise);
        const double means[2] = {100.4, 101.2}, areas[2] = {240, 320};
        for (int k = 0; k < 2; ++k) {
            SCOPED_TRACE(means[k]);
            const double sigma = areas[k] * c.m2 * 0.01 * std::sqrt(2.0) / (std::sqrt(12.0) * 21600);
            EXPECT_NEAR(run.noise->sigma[k], sigma, 1e-12 * sigma) << k;
        }
    }
}

// Per-period rows in the user's units are the program's rows converted, the
// headings naming the unit; in the program's units they stay as they were.
TEST(PeriodSummaryText, InTheUsersUnits) {
    std::vector<TFloodStep> steps(40);
    DateTimeValue start = 0;
    ASSERT_TRUE(TryEncodeDate(2019, 12, 20, start));
    for (std::size_t k = 0; k < steps.size(); ++k) {
        TFloodStep& s = steps[k];
        s.T = start + static_cast<double>(k);
        s.V = 2 + 0.01 * std::sin(static_cast<double>(k));
        s.Qout = 100 + static_cast<double>(k);
        if (k == 0) continue;
        s.dt = 86400;
        s.dV = s.V - steps[k - 1].V;
        s.qMean = (s.Qout + steps[k - 1].Qout) / 2;
        s.Qin = s.dV * 1e8 / s.dt + s.qMean;
    }
    const std::vector<double> corrected(39, 120.0);
    const auto periods = SummarizePeriods(steps, steps.size(), corrected, TPeriodRule{TPeriodKind::Month, 10});
    const auto plain = Cells(PeriodSummaryText(periods));
    TRecordUnits units;
    units.flow = TFlowUnit::Cfs;
    units.storage = TStorageUnit::Af;
    const auto mine = Cells(PeriodSummaryText(periods, units));
    ASSERT_EQ(plain.size(), mine.size());
    EXPECT_EQ(plain[0][4], "peak_inflow");
    EXPECT_EQ(mine[0][4], "peak_inflow_cfs");
    EXPECT_EQ(mine[0][6], "inflow_volume_af");
    EXPECT_EQ(mine[0].back(), "inflow_volume_corrected_af");
    for (std::size_t i = 1; i < plain.size(); ++i)
        for (std::size_t c = 0; c < plain[0].size(); ++c) {
            const std::string& h = mine[0][c];
            const bool flow = h.ends_with("_cfs"), volume = h.ends_with("_af");
            if (!flow && !volume) {
                EXPECT_EQ(mine[i][c], plain[i][c]) << h;
                continue;
            }
            const double factor = flow ? 0.028316846592 : 1233.48183754752 / 1e8;
            // Both written to four decimals.
            EXPECT_NEAR(std::stod(mine[i][c]) * factor, std::stod(plain[i][c]), 0.6e-4 * factor + 0.6e-4) << h;
        }
}

// Dated curves: each record's storage on the curve of its day, each step's
// area from the curve of its end. A resurvey that shifts every storage by the
// same amount changes no inflow, so the held smoother must give what it gives
// on the old curve alone; reading the new storages back on the old curve
// instead would move the levels by the shift. A resurvey that doubles the
// area doubles sigma from the switch on.
TEST(DatedCurves, NoiseAndTheHeldSmootherTakeEachRecordsCurve) {
    std::vector<TCurvePoint> a;
    for (int i = 0; i <= 100; ++i) a.push_back({100 + 0.1 * i, 2 + 0.05 * i + 0.0003 * i * i});
    std::vector<TCurvePoint> shifted = a, doubled = a;
    for (TCurvePoint& p : shifted) p.V += 0.5;
    for (TCurvePoint& p : doubled) p.V *= 2;
    const TCurveLookup la(a), ls(shifted);
    const std::size_t n = 80, from = 45;
    std::vector<TFloodStep> single(n), dated(n);
    std::vector<std::size_t> curveOf(n);
    for (std::size_t k = 0; k < n; ++k) {
        const double z = std::round((103 + 2 * std::sin(k / 15.0) + 0.004 * std::sin(k * 2.7)) * 1000) / 1000;
        curveOf[k] = k >= from;
        for (auto* steps : {&single, &dated}) {
            TFloodStep& s = (*steps)[k];
            s.T = 45000 + static_cast<double>(k);
            s.Z = z;
            s.Qout = 200;
            const TCurveLookup& on = steps == &dated && k >= from ? ls : la;
            s.V = on.Storage(z);
            if (k == 0) continue;
            s.dt = 86400;
            // Both storages of a step on the curve of its end.
            s.dV = s.V - on.Storage((*steps)[k - 1].Z);
            s.qMean = 200;
            s.Qin = s.dV * 1e8 / s.dt + s.qMean;
        }
    }
    TCorrectionOptions held;
    held.smoothTolerance = 0.002;
    TRunInputs one;
    one.curve = a;
    one.gaugeResolution = 0.01;
    const TFloodRun base = RunFlood(single, n, held, false, one);

    const std::vector<TCurveAt> curves{{a, {}}, {shifted, {}}};
    TRunInputs two = one;
    two.curves = curves;
    two.curveOf = curveOf;
    const TFloodRun run = RunFlood(dated, n, held, false, two);
    ASSERT_TRUE(base.held && run.held);
    EXPECT_NEAR(run.held->rmsDeparture, base.held->rmsDeparture, 1e-9);
    ASSERT_EQ(run.corrected.size(), base.corrected.size());
    for (std::size_t j = 0; j < base.corrected.size(); ++j) EXPECT_NEAR(run.corrected[j], base.corrected[j], 1e-4) << j;
    for (std::size_t j = 0; j < base.noise->sigma.size(); ++j)
        EXPECT_NEAR(run.noise->sigma[j], base.noise->sigma[j], 1e-9 * base.noise->sigma[j]);
    // The old curve alone under the new storages: the shift shows as departure.
    const TFloodRun wrong = RunFlood(dated, n, held, false, one);
    EXPECT_GT(std::fabs(wrong.held->rmsDeparture - base.held->rmsDeparture) + std::fabs(wrong.corrected[50] - base.corrected[50]), 1e-3);

    const std::vector<TCurveAt> resurvey{{a, {}}, {doubled, {}}};
    std::vector<double> levels, inflow, dt;
    for (const TFloodStep& s : single) levels.push_back(s.Z);
    for (std::size_t k = 1; k < n; ++k) inflow.push_back(single[k].Qin), dt.push_back(86400);
    const TGaugeNoise noise = GaugeNoise(levels, inflow, dt, resurvey, curveOf, 0.01);
    for (std::size_t j = 0; j + 1 < n; ++j)
        EXPECT_DOUBLE_EQ(noise.sigma[j], base.noise->sigma[j] * (j + 1 >= from ? 2 : 1)) << j;
    EXPECT_THROW(GaugeNoise(levels, inflow, dt, resurvey, std::vector<std::size_t>(n, 2), 0.01), std::invalid_argument);
}
