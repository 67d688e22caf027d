// The tidy table and the summary in the user's units: every cell read back
// against the computed records, for each set of units, with and without a
// correction.

#include "FloodRun.h"
#include "FloodSummary.h"
#include "InflowTestSupport.h"
#include "InflowWork.h"
#include "TidyTable.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <sstream>

using namespace inflow_test;

namespace {

std::vector<std::string> Split(const std::string& text, char mark) {
    std::vector<std::string> pieces;
    std::string piece;
    std::istringstream in(text + (mark == ',' ? "," : ""));
    while (std::getline(in, piece, mark)) pieces.push_back(piece);
    return pieces;
}

// The cell as a script reads it, back in the program's unit with the exact
// factor: the computed value itself in the program's unit, else one rounding
// (and the way back's) away.
void ExpectInUnit(const std::string& cell, double computed, TUnitFactor f, const std::string& where) {
    double v = NAN;
    const auto [end, error] = std::from_chars(cell.data(), cell.data() + cell.size(), v);
    ASSERT_TRUE(error == std::errc() && end == cell.data() + cell.size()) << where << ": '" << cell << "'";
    const long double back = static_cast<long double>(v) * f.num / f.den;
    EXPECT_LE(std::fabs(back - computed), f.IsOne() ? 0 : std::fabs(computed) * 3e-16L) << where << ": " << cell;
}

class TidyTable : public IsoLocaleTest {};

TEST_F(TidyTable, EveryCellIsTheRecordsValueInItsUnit) {
    const std::string data = std::string(QUELMORA_REALDATA_DIR) + "/";
    InflowWork work;
    work.FormCreate();
    work.ReadCurve(data + "tankan_curve.txt");
    work.ReadFlood(data + "tankan_flood.txt");
    work.Compute();
    const std::size_t n = work.ComputedRecords;
    ASSERT_GT(n, 20u);
    TCorrectionOptions smooth;
    smooth.smooth = 5;
    const std::vector<double> corrected = RunFlood(work.FloodSteps, n, smooth, false).corrected;
    const TFloodSummary summary = SummarizeFlood(work.FloodSteps, n);
    const std::vector<std::string> plainSummary = Split(SummaryText(summary), '\n');

    const struct {
        const char* units;
        bool correction;
        const char* heading;
    } cases[] = {
        {"", false, "level_m,storage_1e8m3,storage_change_1e8m3,step_s,storage_rate_m3s,outflow_m3s,outflow_term_m3s,inflow_m3s"},
        {"", true, "level_m,storage_1e8m3,storage_change_1e8m3,step_s,storage_rate_m3s,outflow_m3s,outflow_term_m3s,inflow_m3s,corrected_inflow_m3s"},
        {"level=ft,storage=af,flow=cfs", true, "level_ft,storage_af,storage_change_af,step_s,storage_rate_cfs,outflow_cfs,outflow_term_cfs,inflow_cfs,corrected_inflow_cfs"},
        {"storage=1e6m3", false, "level_m,storage_1e6m3,storage_change_1e6m3,step_s,storage_rate_m3s,outflow_m3s,outflow_term_m3s,inflow_m3s"},
        {"storage=maf,flow=cfs", true, "level_m,storage_maf,storage_change_maf,step_s,storage_rate_cfs,outflow_cfs,outflow_term_cfs,inflow_cfs,corrected_inflow_cfs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("units '") + c.units + "'" + (c.correction ? ", corrected" : ""));
        const TRecordUnits units = *c.units ? ParseUnits(c.units) : TRecordUnits{};
        TTidyTableSource source{work.FloodSteps, n, std::nullopt, units, std::nullopt, std::nullopt};
        if (c.correction) source.corrected = std::span<const double>(corrected);
        const std::string text = TidyTableText(source);
        ASSERT_EQ(text.find('\r'), std::string::npos);
        const std::vector<std::string> lines = Split(text, '\n');
        ASSERT_EQ(lines.size(), n + 1);
        EXPECT_EQ(lines[0], std::string("time,") + c.heading);
        const TUnitFactor level = UnitFactor(units.level), storage = UnitFactor(units.storage),
                          flow = UnitFactor(units.flow), none{};
        for (std::size_t i = 0; i < n; ++i) {
            const TFloodStep& s = work.FloodSteps[i];
            const std::vector<std::string> cells = Split(lines[i + 1], ',');
            ASSERT_EQ(cells.size(), c.correction ? 10u : 9u) << lines[i + 1];
            EXPECT_EQ(cells[0], StampPattern("yyyy-mm-dd'T'hh':'nn':'ss", s.T));
            const double step = i > 0 ? 1 : NAN;   // the first record ends no step: empty cells
            const std::pair<double, TUnitFactor> expected[] = {
                {s.Z, level},         {s.V, storage},   {s.dV * step, storage}, {s.dt * step, none},
                {s.dVdt * step, flow}, {s.Qout, flow},  {s.qMean * step, flow}, {s.Qin * step, flow},
                {i > 0 ? corrected[i - 1] : NAN, flow}};
            for (std::size_t k = 1; k < cells.size(); ++k) {
                const std::string where = "record " + std::to_string(i) + " column " + std::to_string(k);
                if (std::isnan(expected[k - 1].first)) EXPECT_EQ(cells[k], "") << where;
                else ExpectInUnit(cells[k], expected[k - 1].first, expected[k - 1].second, where);
            }
        }

        // The summary in the same units: each value the program's one
        // converted, to four decimals; the unit column names the unit.
        const std::vector<std::string> given = Split(SummaryText(summary, units), '\n');
        ASSERT_EQ(given.size(), plainSummary.size());
        for (std::size_t k = 1; k < given.size(); ++k) {
            const std::vector<std::string> a = Split(plainSummary[k], ','), b = Split(given[k], ',');
            ASSERT_TRUE(a.size() == 4 && b.size() == 4 && a[0] == b[0] && a[3] == b[3]) << given[k];
            const auto [f, unit] = a[2] == "m^3/s"     ? std::pair{flow, UnitText(units.flow)}
                                   : a[2] == "m"       ? std::pair{level, UnitText(units.level)}
                                   : a[2] == "10^8m^3" ? std::pair{storage, UnitText(units.storage)}
                                                       : std::pair{none, a[2].c_str()};
            EXPECT_EQ(b[2], unit) << a[0];
            if (a[1].empty() || f.IsOne()) EXPECT_EQ(b[1], a[1]) << a[0];
            else EXPECT_NEAR(std::stold(b[1]), std::stold(a[1]) * f.den / f.num, 0.00005L + 0.0001L * f.den / f.num) << a[0];
        }
    }
}

}  // namespace
