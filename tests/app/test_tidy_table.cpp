// The tidy table and the summary in the user's units: every cell of the
// table read back against the computed records, in each set of units, with
// and without a correction.

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
    std::istringstream in(text);
    while (std::getline(in, piece, mark)) pieces.push_back(piece);
    if (!text.empty() && text.back() == mark && mark == ',') pieces.emplace_back();
    return pieces;
}

// The exact double a script reads from a cell.
double Read(const std::string& text) {
    double value = NAN;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    EXPECT_TRUE(error == std::errc() && end == text.data() + text.size()) << "'" << text << "'";
    return value;
}

// The value back in the program's unit, with the exact factor, and how far
// it may lie from the computed one: a value in the program's unit is the
// computed one itself; another is one rounding away (the way back adds one
// more, in long double).
void ExpectInUnit(const std::string& cell, double computed, TUnitFactor f, const std::string& where) {
    const double v = Read(cell);
    if (f.IsOne()) {
        EXPECT_EQ(v, computed) << where;
        return;
    }
    const long double back = static_cast<long double>(v) * f.num / f.den;
    EXPECT_LE(std::fabs(back - computed), std::fabs(static_cast<long double>(computed)) * 3e-16L) << where << " " << cell;
}

class TidyTable : public IsoLocaleTest {};

TEST_F(TidyTable, EveryCellIsTheRecordsValueInItsUnit) {
    const std::string data = std::string(QUELMORA_REALDATA_DIR) + "/";
    InflowWork work;
    work.FormCreate();
    work.ResetCurveTable();
    work.ReadCurve(data + "tankan_curve.txt");
    work.ResetFloodTable();
    work.ReadFlood(data + "tankan_flood.txt");
    work.Compute();
    const std::size_t n = work.ComputedRecords;
    ASSERT_GT(n, 20u);
    TCorrectionOptions smooth;
    smooth.smooth = 5;
    const std::vector<double> corrected = RunFlood(work.FloodSteps, n, smooth, false).corrected;
    ASSERT_EQ(corrected.size(), n - 1);

    struct Case {
        const char* units;
        bool correction;
        const char* heading;
    } cases[] = {
        {"", false,
         "time,level_m,storage_1e8m3,storage_change_1e8m3,step_s,storage_rate_m3s,outflow_m3s,outflow_term_m3s,"
         "inflow_m3s"},
        {"", true,
         "time,level_m,storage_1e8m3,storage_change_1e8m3,step_s,storage_rate_m3s,outflow_m3s,outflow_term_m3s,"
         "inflow_m3s,corrected_inflow_m3s"},
        {"level=ft,storage=af,flow=cfs", true,
         "time,level_ft,storage_af,storage_change_af,step_s,storage_rate_cfs,outflow_cfs,outflow_term_cfs,"
         "inflow_cfs,corrected_inflow_cfs"},
        {"storage=1e6m3", false,
         "time,level_m,storage_1e6m3,storage_change_1e6m3,step_s,storage_rate_m3s,outflow_m3s,outflow_term_m3s,"
         "inflow_m3s"},
        {"storage=maf,flow=cfs", true,
         "time,level_m,storage_maf,storage_change_maf,step_s,storage_rate_cfs,outflow_cfs,outflow_term_cfs,"
         "inflow_cfs,corrected_inflow_cfs"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("units '") + c.units + "'" + (c.correction ? " corrected" : ""));
        const TRecordUnits units = *c.units ? ParseUnits(c.units) : TRecordUnits{};
        TTidyTableSource source{work.FloodSteps, n, std::nullopt, units};
        if (c.correction) source.corrected = std::span<const double>(corrected);
        const std::string text = TidyTableText(source);
        ASSERT_EQ(text.find('\r'), std::string::npos);
        const std::vector<std::string> lines = Split(text, '\n');
        ASSERT_EQ(lines.size(), n + 1);
        EXPECT_EQ(lines[0], c.heading);
        const TUnitFactor level = UnitFactor(units.level), storage = UnitFactor(units.storage),
                          flow = UnitFactor(units.flow), none{};
        for (std::size_t i = 0; i < n; ++i) {
            const TFloodStep& s = work.FloodSteps[i];
            const std::vector<std::string> cells = Split(lines[i + 1], ',');
            ASSERT_EQ(cells.size(), c.correction ? 10u : 9u) << lines[i + 1];
            const std::string where = "record " + std::to_string(i);
            EXPECT_EQ(cells[0], StampPattern("yyyy-mm-dd'T'hh':'nn':'ss", s.T)) << where;
            ExpectInUnit(cells[1], s.Z, level, where + " level");
            ExpectInUnit(cells[2], s.V, storage, where + " storage");
            ExpectInUnit(cells[6], s.Qout, flow, where + " outflow");
            const std::pair<int, std::pair<double, TUnitFactor>> steps[] = {
                {3, {s.dV, storage}}, {4, {s.dt, none}}, {5, {s.dVdt, flow}}, {7, {s.qMean, flow}}, {8, {s.Qin, flow}}};
            for (const auto& [column, value] : steps) {
                if (i == 0) EXPECT_EQ(cells[static_cast<std::size_t>(column)], "") << where << " column " << column;
                else ExpectInUnit(cells[static_cast<std::size_t>(column)], value.first, value.second,
                                  where + " column " + std::to_string(column));
            }
            if (c.correction) {
                if (i == 0) EXPECT_EQ(cells[9], "");
                else ExpectInUnit(cells[9], corrected[i - 1], flow, where + " corrected");
            }
        }

        // The summary in the same units: its unit column names them, and
        // each value is the program's one converted, to four decimals.
        const TFloodSummary summary = SummarizeFlood(work.FloodSteps, n);
        const std::vector<std::string> plain = Split(SummaryText(summary), '\n');
        const std::vector<std::string> given = Split(SummaryText(summary, units), '\n');
        ASSERT_EQ(plain.size(), given.size());
        for (std::size_t k = 1; k < plain.size(); ++k) {
            const std::vector<std::string> a = Split(plain[k], ','), b = Split(given[k], ',');
            ASSERT_EQ(a.size(), 4u);
            ASSERT_EQ(b.size(), 4u);
            EXPECT_EQ(a[0], b[0]);
            EXPECT_EQ(a[3], b[3]);
            const TUnitFactor f = a[2] == "m^3/s" ? flow : a[2] == "m" ? level : a[2] == "10^8m^3" ? storage : none;
            const std::string unit = a[2] == "m^3/s" ? UnitText(units.flow)
                                   : a[2] == "m"     ? UnitText(units.level)
                                   : a[2] == "10^8m^3" ? UnitText(units.storage)
                                                     : a[2];
            EXPECT_EQ(b[2], unit) << a[0];
            if (a[1].empty() || f.IsOne()) {
                EXPECT_EQ(b[1], a[1]) << a[0];
            } else {
                // Four decimals of the converted value: within half a unit of
                // the fourth place of the exact conversion.
                const long double exact = static_cast<long double>(Read(a[1])) * f.den / f.num;
                EXPECT_LE(std::fabs(Read(b[1]) - exact),
                          0.00005L + std::fabs(exact) * 1e-15L + 0.0001L * f.den / f.num / 2)
                    << a[0] << ": " << b[1];
            }
        }
    }
}

}  // namespace
