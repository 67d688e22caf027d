// The window's work driven as the buttons drive it: the table reset, the
// read, the computation and the result file, with what remains after each
// failure.

#include "Currency.h"
#include "DateTime.h"
#include "Exceptions.h"
#include "InflowTestSupport.h"
#include "InflowWork.h"
#include "RecordFormat.h"
#include "RecordLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <functional>
#include <cstdint>
#include <string>
#include <vector>

using namespace inflow_test;

namespace {

using Table = std::vector<std::vector<std::string>>;

Table Snapshot(const TStringGrid& grid) {
    Table table(static_cast<std::size_t>(grid.RowCount()));
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColCount(); ++c) table[r].emplace_back(grid.Cell(c, r));
    return table;
}

std::string B(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

DateTimeValue Stamp(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    DateTimeValue date = 0, time = 0;
    EXPECT_TRUE(TryEncodeDate(y, mo, d, date));
    EXPECT_TRUE(TryEncodeTime(h, mi, s, 0, time));
    return CombineDateTime(date, time);
}

double Number(const char* text) { return DecimalToReal(DecimalFromText(text)); }

std::uint64_t Bits(double x) { return std::bit_cast<std::uint64_t>(x); }

const char* kCurveHeading = "水位H(m),库容V(亿m3)";
const char* kFloodHeading = "时间T(m),库水位V(m),出库流量(m3/s)";

// The help text's flood record.
std::string HelpFlood() {
    return Lines({kFloodHeading, "2007-07-29 00-00-00,524.75,0", "2007-07-29 06-00-00,524.84,90",
                  "2007-07-29 07-00-00,524.88,90", "2007-07-29 08-00-00,524.89,90"});
}

// A curve with 1 m steps around the help text's levels.
std::string ExampleCurve() {
    return Lines({kCurveHeading, "523,5.575", "524,5.79", "525,6.01", "526,6.235"});
}

// n records an hour apart from 2007-07-29 00:00, levels rising by 0.01 m.
std::string FloodOf(int n) {
    std::vector<std::string> lines{kFloodHeading};
    for (int k = 0; k < n; ++k) {
        char line[64];
        std::snprintf(line, sizeof line, "2007-%02d-%02d %02d-00-00,%.2f,%d", 7 + (29 + k / 24) / 32,
                      (29 + k / 24 - 1) % 31 + 1, k % 24, 524.0 + 0.01 * k, 90 + k);
        lines.push_back(line);
    }
    return Lines(lines);
}

// The curve's plot as the reader drives it: what it shows, how often it was
// handed a curve.
class TRecordingPlot : public TCurvePlot {
public:
    void ClearCurve() override { points.clear(); }
    void ShowCurve(const std::vector<TCurvePoint>& curve) override {
        points = curve;
        ++shown;
    }
    std::vector<TCurvePoint> points;
    int shown = 0;
};

class Work : public IsoLocaleTest {
protected:
    void SetUp() override {
        IsoLocaleTest::SetUp();
        work.CurvePlot = &plot;
        work.FormCreate();
    }

    // The first button with the dialog answering fileName.
    void ReadCurveText(const std::string& text) {
        WriteFile(dir / "curve.txt", text);
        work.ResetCurveTable();
        work.ReadCurve(dir / "curve.txt");
    }
    void ReadFloodText(const std::string& text) {
        WriteFile(dir / "flood.txt", text);
        work.ResetFloodTable();
        work.ReadFlood(dir / "flood.txt");
    }
    std::string CurveError(const std::string& text) {
        return MessageOf([&] { ReadCurveText(text); });
    }
    std::string FloodError(const std::string& text) {
        return MessageOf([&] { ReadFloodText(text); });
    }

    void ExpectPlot(const std::vector<TCurvePoint>& inFileOrder) {
        ASSERT_EQ(plot.points.size(), inFileOrder.size());
        for (std::size_t i = 0; i < inFileOrder.size(); ++i) {
            EXPECT_EQ(plot.points[i].Z, inFileOrder[i].Z) << i;
            EXPECT_EQ(plot.points[i].V, inFileOrder[i].V) << i;
        }
    }
    void ExpectRowsEmpty(const TStringGrid& grid, int from, int to) {
        for (int r = from; r <= to; ++r)
            for (int c = 0; c < grid.ColCount(); ++c) EXPECT_EQ(grid.Cell(c, r), "") << c << "," << r;
    }

    ScratchDir dir;
    TRecordingPlot plot;
    InflowWork work;
};

}  // namespace

TEST_F(Work, FormCreateWritesHeadingsUnitsAndWidths) {
    const std::vector<std::string> headings{B(17) + "时" + B(3) + "间", "库水位Z", B(4) + "库容V",
                                            "库容增量dV", B(1) + "时段dt", B(1) + "dV/dt",
                                            "出库流量Q出", "平均出库流量q出", "平均入库流量Q入"};
    // The storage units read 10^8, the unit of the values.
    const std::vector<std::string> units{"yyyy-mm-dd hh-mm-ss", B(5) + "m", "10^8m^3",
                                         B(2) + "10^8m^3", B(5) + "s", B(1) + "m^3/s",
                                         B(6) + "m^3/s", B(9) + "m^3/s", B(10) + "m^3/s"};
    const std::vector<int> widths{140, 50, 65, 70, 45, 45, 75, 95, 95};
    ASSERT_EQ(work.StringGrid1.ColCount(), 9);
    for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(work.StringGrid1.Cell(c, 0), headings[c]) << c;
        EXPECT_EQ(work.StringGrid1.Cell(c, 1), units[c]) << c;
        EXPECT_EQ(work.StringGrid1.ColWidth(c), widths[c]) << c;
    }
    ASSERT_EQ(work.StringGrid2.ColCount(), 2);
    EXPECT_EQ(work.StringGrid2.Cell(0, 0), B(6) + "水" + B(1) + "位" + B(1) + "Z");
    EXPECT_EQ(work.StringGrid2.Cell(1, 0), B(6) + "库" + B(1) + "容" + B(1) + "V");
    EXPECT_EQ(work.StringGrid2.Cell(0, 1), B(11) + "m");
    EXPECT_EQ(work.StringGrid2.Cell(1, 1), B(3) + "10^8" + B(1) + "m^3");
    EXPECT_EQ(work.StringGrid2.ColWidth(0), 80);
    EXPECT_EQ(work.StringGrid2.ColWidth(1), 80);
    // Before any load: headings, units and three empty rows.
    for (const TStringGrid* grid : {&work.StringGrid1, &work.StringGrid2}) {
        EXPECT_EQ(grid->RowCount(), 5);
        ExpectRowsEmpty(*grid, 2, 4);
        EXPECT_EQ(grid->RowHeight(3), 24);
    }
    EXPECT_TRUE(work.CurvePoints.empty());
    EXPECT_TRUE(work.FloodSteps.empty());
}

TEST_F(Work, CurveOfTheHelpText) {
    ReadCurveText(Lines({kCurveHeading, "495,1.58", "496,1.66\t\t\t\t\t\t\t\t\t",
                         "497,1.74\t\t\t\t\t\t\t\t\t\t\t", "498, 1.82", "499,1.9,third piece",
                         "500,1.23456"}));
    EXPECT_EQ(work.StringGrid2.RowCount(), 10);
    const Table expected{{"495", "1.58"}, {"496", "1.66"}, {"497", "1.74"},
                         {"498", " 1.82"}, {"499", "1.9"},  {"500", "1.23456"}};
    for (int r = 0; r < 6; ++r) {
        EXPECT_EQ(work.StringGrid2.Cell(0, r + 2), expected[r][0]);
        EXPECT_EQ(work.StringGrid2.Cell(1, r + 2), expected[r][1]);
    }
    ExpectRowsEmpty(work.StringGrid2, 8, 9);
    ASSERT_EQ(work.CurvePoints.size(), 6u);
    EXPECT_EQ(work.CurvePoints[0].Z, 495);
    EXPECT_EQ(work.CurvePoints[1].V, Number("1.66"));
    EXPECT_EQ(work.CurvePoints[3].V, Number("1.82"));
    EXPECT_EQ(work.CurvePoints[5].V, Number("1.2346")) << "four decimals kept";
    ExpectPlot({{495, 1.58}, {496, 1.66}, {497, 1.74}, {498, 1.82}, {499, 1.9}, {500, Number("1.2346")}});
    EXPECT_EQ(plot.shown, 1);
}

// A Ctrl-Z ends its line's text, and reading goes on at the next line; one
// where a line starts ends the file.
TEST_F(Work, CtrlZEndsALineOrTheFile) {
    ReadCurveText(kCurveHeading + std::string("\n495,1.58\x1a\n496,1.66\n497,1.74\x1a junk\r\n\x1a"
                                              "498,1.82\n"));
    ASSERT_EQ(work.CurvePoints.size(), 3u);
    EXPECT_EQ(work.StringGrid2.Cell(1, 2), "1.58");
    EXPECT_EQ(work.CurvePoints[1].Z, 496);
    EXPECT_EQ(work.CurvePoints[2].V, 1.74);
    ExpectRowsEmpty(work.StringGrid2, 5, 9);
}

TEST_F(Work, CurveRowCounts) {
    auto curveOf = [](int n) {
        std::vector<std::string> lines{kCurveHeading};
        for (int k = 0; k < n; ++k) lines.push_back(std::to_string(495 + k) + "," + std::to_string(k + 1));
        return Lines(lines);
    };
    ReadCurveText(curveOf(8));
    EXPECT_EQ(work.StringGrid2.RowCount(), 10);
    EXPECT_EQ(work.StringGrid2.Cell(0, 9), "502");
    ReadCurveText(curveOf(9));
    EXPECT_EQ(work.StringGrid2.RowCount(), 11);
    EXPECT_EQ(work.StringGrid2.Cell(1, 10), "9");
    ReadCurveText(curveOf(30));
    EXPECT_EQ(work.StringGrid2.RowCount(), 32);
    ReadCurveText(curveOf(3));
    EXPECT_EQ(work.StringGrid2.RowCount(), 10) << "rows of the longer curve are gone";
    ExpectRowsEmpty(work.StringGrid2, 5, 9);
    EXPECT_EQ(work.CurvePoints.size(), 3u);
    ReadCurveText(Lines({kCurveHeading}));
    EXPECT_EQ(work.StringGrid2.RowCount(), 10);
    ExpectRowsEmpty(work.StringGrid2, 2, 9);
    EXPECT_TRUE(work.CurvePoints.empty());
    EXPECT_TRUE(plot.points.empty());
}

TEST_F(Work, CurveInFileOrder) {
    ReadCurveText(Lines({kCurveHeading, "497,1.74", "495,1.58", "496,1.66"}));
    ASSERT_EQ(work.CurvePoints.size(), 3u);
    EXPECT_EQ(work.CurvePoints[0].Z, 497);
    EXPECT_EQ(work.CurvePoints[1].Z, 495);
    EXPECT_EQ(work.CurvePoints[2].Z, 496);
    ExpectPlot({{497, 1.74}, {495, 1.58}, {496, 1.66}});
}

TEST_F(Work, CurveThatCannotBeOpenedLeavesTheOldCurve) {
    ReadCurveText(Lines({kCurveHeading, "495,1.58", "496,1.66", "497,1.74"}));
    EXPECT_EQ(MessageOf([&] {
                  work.ResetCurveTable();
                  work.ReadCurve(dir / "missing.txt");
              }),
              "File not found");
    EXPECT_EQ(work.StringGrid2.RowCount(), 10);
    ExpectRowsEmpty(work.StringGrid2, 2, 9);
    EXPECT_EQ(work.CurvePoints.size(), 3u);
    ExpectPlot({{495, 1.58}, {496, 1.66}, {497, 1.74}});
    EXPECT_EQ(plot.shown, 1);
}

// A curve that fails while being read leaves no curve: never part of the old
// one and part of the new, while the table shows where reading stopped.
TEST_F(Work, CurveFailingPartWayLeavesNoCurve) {
    const std::string good = Lines({kCurveHeading, "495,1.58", "496,1.66", "497,1.74"});

    ReadCurveText(good);
    EXPECT_EQ(CurveError(Lines({kCurveHeading, "495,1.58", "496,1.66", "497", "498,1.8"})),
              "List index out of bounds (1)");
    EXPECT_EQ(work.StringGrid2.Cell(1, 3), "1.66");
    EXPECT_EQ(work.StringGrid2.Cell(0, 4), "497");
    EXPECT_EQ(work.StringGrid2.Cell(1, 4), "");
    ExpectRowsEmpty(work.StringGrid2, 5, 9);
    EXPECT_TRUE(work.CurvePoints.empty());
    EXPECT_TRUE(plot.points.empty());

    ReadCurveText(good);
    EXPECT_EQ(CurveError(Lines({kCurveHeading, "495,1.58", ""})), "List index out of bounds (1)");
    EXPECT_TRUE(work.CurvePoints.empty());

    ReadCurveText(good);
    EXPECT_EQ(CurveError(Lines({kCurveHeading, "495,1.58", "496,abc", "497,1.74"})),
              "'abc' is not a valid floating point value");
    EXPECT_EQ(work.StringGrid2.Cell(1, 3), "abc");
    EXPECT_EQ(work.StringGrid2.Cell(1, 4), "1.74") << "the table is fully filled";
    EXPECT_TRUE(work.CurvePoints.empty());
    EXPECT_TRUE(plot.points.empty());

    ReadCurveText(good);
    EXPECT_EQ(CurveError(Lines({kCurveHeading, "495,"})), "'' is not a valid floating point value");
    EXPECT_EQ(CurveError(Lines({kCurveHeading, "495,\t1.58"})), "'\t1.58' is not a valid floating point value");
    EXPECT_EQ(CurveError(Lines({kCurveHeading, "495,1e20"})), "'1e20' is not a valid floating point value");

    // The rows grown before the failing line stay.
    std::vector<std::string> lines{kCurveHeading};
    for (int k = 0; k < 10; ++k) lines.push_back(std::to_string(495 + k) + ",1");
    lines.push_back("no comma");
    EXPECT_EQ(CurveError(Lines(lines)), "List index out of bounds (1)");
    EXPECT_EQ(work.StringGrid2.RowCount(), 13);
    EXPECT_EQ(work.StringGrid2.Cell(0, 12), "no comma");
    EXPECT_EQ(plot.shown, 4) << "only the good reads are shown";
}

TEST_F(Work, FloodOfTheHelpText) {
    ReadFloodText(HelpFlood());
    ASSERT_EQ(work.FloodSteps.size(), 4u);
    const DateTimeValue times[] = {Stamp(2007, 7, 29, 0), Stamp(2007, 7, 29, 6), Stamp(2007, 7, 29, 7),
                                   Stamp(2007, 7, 29, 8)};
    const char* levels[] = {"524.75", "524.84", "524.88", "524.89"};
    const char* outflows[] = {"0", "90", "90", "90"};
    for (int e = 0; e < 4; ++e) {
        const TFloodStep& s = work.FloodSteps[e];
        EXPECT_EQ(Bits(s.T), Bits(times[e])) << e;
        EXPECT_EQ(s.Z, Number(levels[e]));
        EXPECT_EQ(s.Qout, Number(outflows[e]));
        EXPECT_EQ(s.V + s.dV + s.dt + s.dVdt + s.qMean + s.Qin, 0.0);
        EXPECT_EQ(work.StringGrid1.Cell(1, e + 2), levels[e]);
        EXPECT_EQ(work.StringGrid1.Cell(6, e + 2), outflows[e]);
        for (int c : {2, 3, 4, 5, 7, 8}) EXPECT_EQ(work.StringGrid1.Cell(c, e + 2), "");
    }
    EXPECT_EQ(work.StringGrid1.Cell(0, 3), "2007-07-29 06-00-00") << "the file's text, as it stands";
    EXPECT_EQ(work.StringGrid1.RowCount(), 10);
    ExpectRowsEmpty(work.StringGrid1, 6, 9);
}

// The documented form is read with its minutes and seconds whatever the
// locale's separators are.
TEST_F(Work, FloodStampsInTheDocumentedFormUnderAnyLocale) {
    const std::string flood = Lines({kFloodHeading, "2007-07-29 06-30-15,524.84,90",
                                     "2007-07-29 07:45:00,524.88,90", "2007-07-30,524.89,90"});
    for (const char dateMark : {'/', '-', '.'}) {
        Formats().dateMark = dateMark;
        Formats().shortDatePattern = dateMark == '.' ? "dd.mm.yyyy" : "m/d/yy";
        ReadFloodText(flood);
        ASSERT_EQ(work.FloodSteps.size(), 3u);
        EXPECT_EQ(Bits(work.FloodSteps[0].T), Bits(Stamp(2007, 7, 29, 6, 30, 15)));
        EXPECT_EQ(Bits(work.FloodSteps[1].T), Bits(Stamp(2007, 7, 29, 7, 45)));
        EXPECT_EQ(Bits(work.FloodSteps[2].T), Bits(Stamp(2007, 7, 30)));
    }
    // Other texts are read by the locale, with its message when that fails.
    Formats().dateMark = '/';
    Formats().shortDatePattern = "m/d/yy";
    ReadFloodText(Lines({kFloodHeading, "7/29/2007 6:30:00,524.84,90"}));
    EXPECT_EQ(Bits(work.FloodSteps[0].T), Bits(Stamp(2007, 7, 29, 6, 30)));
    EXPECT_EQ(FloodError(Lines({kFloodHeading, "2007-07-29 06-30-00,524.84,90",
                                "2007-07-29 06.30.00,524.84,90"})),
              "'2007-07-29 06.30.00' is not a valid date and time");
}

TEST_F(Work, FloodRowCounts) {
    ReadCurveText(ExampleCurve());
    ReadFloodText(FloodOf(8));
    EXPECT_EQ(work.StringGrid1.RowCount(), 10);
    EXPECT_EQ(work.StringGrid1.Cell(0, 9), "2007-07-29 07-00-00");
    ReadFloodText(FloodOf(9));
    EXPECT_EQ(work.StringGrid1.RowCount(), 11);

    ReadFloodText(FloodOf(12));
    EXPECT_EQ(work.StringGrid1.RowCount(), 14);
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "(no error)");
    for (int r = 2; r <= 13; ++r) EXPECT_NE(work.StringGrid1.Cell(2, r), "") << r;
    for (int r = 3; r <= 13; ++r) EXPECT_NE(work.StringGrid1.Cell(8, r), "") << r;

    // Then a shorter record: its rows show only what was read.
    ReadFloodText(FloodOf(10));
    EXPECT_EQ(work.StringGrid1.RowCount(), 12);
    for (int r = 2; r <= 11; ++r) {
        EXPECT_NE(work.StringGrid1.Cell(0, r), "");
        EXPECT_NE(work.StringGrid1.Cell(1, r), "");
        EXPECT_NE(work.StringGrid1.Cell(6, r), "");
        for (int c : {2, 3, 4, 5, 7, 8}) EXPECT_EQ(work.StringGrid1.Cell(c, r), "") << c << "," << r;
    }
    // A fresh record: nothing of the last computation comes along.
    for (const TFloodStep& s : work.FloodSteps) EXPECT_EQ(s.V + s.dV + s.dt + s.dVdt + s.qMean + s.Qin, 0.0);
}

TEST_F(Work, FloodThatCannotBeOpenedLeavesTheOldRecord) {
    ReadFloodText(HelpFlood());
    ReadFloodText(FloodOf(12));
    EXPECT_EQ(MessageOf([&] {
                  work.ResetFloodTable();
                  work.ReadFlood(dir / "no-such-folder/flood.txt");
              }),
              "Invalid filename");
    EXPECT_EQ(work.StringGrid1.RowCount(), 10);
    ExpectRowsEmpty(work.StringGrid1, 2, 9);
    EXPECT_EQ(work.FloodSteps.size(), 12u);
}

TEST_F(Work, FloodFailingPartWayLeavesNoRecord) {
    const std::string bad[][2] = {
        {"2007-07-29 07-00-00", "List index out of bounds (1)"},
        {"2007-07-29 07-00-00,524.88", "List index out of bounds (2)"},
        {"", "List index out of bounds (1)"},
    };
    for (const auto& [line, message] : bad) {
        ReadFloodText(HelpFlood());
        EXPECT_EQ(FloodError(Lines({kFloodHeading, "2007-07-29 06-00-00,524.84,90", line,
                                    "2007-07-29 08-00-00,524.89,90"})),
                  message);
        EXPECT_EQ(work.StringGrid1.Cell(1, 2), "524.84");
        // The failing line's pieces are in their columns up to the missing one.
        EXPECT_EQ(work.StringGrid1.Cell(0, 3), line.substr(0, 19));
        EXPECT_EQ(work.StringGrid1.Cell(1, 3), line.size() > 20 ? "524.88" : "");
        EXPECT_EQ(work.StringGrid1.Cell(6, 3), "");
        ExpectRowsEmpty(work.StringGrid1, 4, 9);
        EXPECT_TRUE(work.FloodSteps.empty()) << line;
    }

    const std::string conversions[][2] = {
        {"2007/07/29 07-00-00,524.88,90", "'2007/07/29 07-00-00' is not a valid date and time"},
        {"2007-07-29 07-00-00,abc,90", "'abc' is not a valid floating point value"},
        {"2007-07-29 07-00-00,524.88,", "'' is not a valid floating point value"},
        {"2007-07-29 07-00-00,524.88, 9 0", "' 9 0' is not a valid floating point value"},
    };
    for (const auto& [line, message] : conversions) {
        ReadFloodText(HelpFlood());
        EXPECT_EQ(FloodError(Lines({kFloodHeading, "2007-07-29 06-00-00,524.84,90", line,
                                    "2007-07-29 08-00-00,524.89,90"})),
                  message);
        EXPECT_EQ(work.StringGrid1.Cell(0, 4), "2007-07-29 08-00-00") << "the table is fully filled";
        EXPECT_TRUE(work.FloodSteps.empty()) << line;
    }
    // Nothing is left to compute on, and nothing to write but the headings.
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "(no error)");
    EXPECT_EQ(work.StringGrid1.Cell(2, 2), "");
}

// The five-record case worked out by hand: the table, the arrays and the
// result file's data lines. By hand the third record's step is 330 s; as the
// difference of two time stamps in days it is 330.00000045 s, which puts its
// storage rate at 75757.575655 m^3/s and its inflow at 75867.825655: one unit
// of the fourth decimal below the hand's figures.
TEST_F(Work, ComputeAndWriteTheHandWorkedCase) {
    ReadCurveText(Lines({"level(m),storage(1e8 m3)", "495,1.58", "500,2.00", "505,2.5", "510,3.10", "525,5"}));
    ReadFloodText(Lines({"time,level(m),outflow(m3/s)", "2007-07-29 00-00-00,500,90",
                         "2007-07-29 01-00-00,502.5,100.5", "2007-07-29 01-05-30,505,120",
                         "2007-07-29 02-05-30,503.4,0", "2007-07-30 00-00-00,524.84,4999.99"}));
    work.Compute();

    const Table rows{
        {"2007-07-29 00-00-00", "500", "2", "", "", "", "90", "", ""},
        {"2007-07-29 01-00-00", "502.5", "2.25", "0.25", "3600", "6944.4444", "100.5", "95.25", "7039.6944"},
        {"2007-07-29 01-05-30", "505", "2.5", "0.25", "330", "75757.5757", "120", "110.25", "75867.8257"},
        {"2007-07-29 02-05-30", "503.4", "2.34", "-0.16", "3600", "-4444.4444", "0", "60", "-4384.4444"},
        {"2007-07-30 00-00-00", "524.84", "4.9797", "2.6397", "78870", "3346.9422", "4999.99", "2499.995",
         "5846.9372"},
    };
    const Table table = Snapshot(work.StringGrid1);
    for (int e = 0; e < 5; ++e) EXPECT_EQ(table[e + 2], rows[e]) << "row " << e + 2;
    ExpectRowsEmpty(work.StringGrid1, 7, 9);
    EXPECT_NEAR(work.FloodSteps[1].dt, 3600, 1e-6);
    EXPECT_EQ(work.FloodSteps[0].dV, 0) << "the first record gets its storage only";

    work.WriteResult(dir / "result.txt");
    std::string heading, units;
    for (int c = 0; c < 9; ++c) {
        heading += std::string(work.StringGrid1.Cell(c, 0)) + (c < 8 ? " , " : "");
        units += std::string(work.StringGrid1.Cell(c, 1)) + (c < 8 ? " , " : "");
    }
    EXPECT_TRUE(heading.starts_with(B(17) + "时"));
    EXPECT_TRUE(units.starts_with("yyyy-mm-dd hh-mm-ss , " + B(5) + "m , 10^8m^3 , "));
    EXPECT_EQ(ReadFile(dir / "result.txt"),
              heading + "\r\n" + units + "\r\n" +
                  "2007-07-29,500,2,0,0,0,90,0,0,\r\n"
                  "2007-07-29 01:00:00,502.5,2.25,0.25,3600,6944.4444,100.5,95.25,7039.6944,\r\n"
                  "2007-07-29 01:05:30,505,2.5,0.25,330,75757.5757,120,110.25,75867.8257,\r\n"
                  "2007-07-29 02:05:30,503.4,2.34,-0.16,3600,-4444.4444,0,60,-4384.4444,\r\n"
                  "2007-07-30,524.84,4.9797,2.6397,78870,3346.9422,4999.99,2499.995,5846.9372,\r\n");
}

// A value stored whose text cannot be made (beyond the decimal range): the
// field has the new value, the cell keeps the text an earlier run gave it,
// and the cells after it theirs.
TEST_F(Work, AComputedCellKeepsItsTextWhenItsNewValueHasNone) {
    // Records a millisecond apart (read the locale's way).
    ReadFloodText(Lines({kFloodHeading, "2007-07-29 06:00:00,524,0", "2007-07-29 06:00:00.001,524.1,8"}));
    ReadCurveText(Lines({kCurveHeading, "520,1", "530,3.5"}));
    work.Compute();
    const Table before = Snapshot(work.StringGrid1);
    EXPECT_EQ(before[3][4], "0.001");

    // Steep enough that the storage rate lies beyond the decimal texts.
    ReadCurveText(Lines({kCurveHeading, "520,0", "530,1000000"}));
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "Invalid floating point operation");
    const Table after = Snapshot(work.StringGrid1);
    EXPECT_EQ(after[2][2], "400000");
    EXPECT_EQ(after[3][2], "410000");
    EXPECT_EQ(after[3][3], "10000");
    EXPECT_EQ(after[3][4], "0.001");
    for (int c : {5, 7, 8}) EXPECT_EQ(after[3][c], before[3][c]) << c;
    EXPECT_GT(work.FloodSteps[1].dVdt, 9.3e14) << "the field holds the new value";

    // The earlier texts are the row's own now: a run that gets further
    // replaces them as usual.
    ReadCurveText(Lines({kCurveHeading, "520,1", "530,3.5"}));
    work.Compute();
    EXPECT_EQ(Snapshot(work.StringGrid1), before);
}

// Reading a record over a computed table without the reset first (not what
// the buttons do) keeps every computed text the reader does not overwrite.
TEST_F(Work, ReadingOverAComputedTableKeepsItsComputedTexts) {
    ReadCurveText(ExampleCurve());
    ReadFloodText(FloodOf(12));
    work.Compute();
    const Table computed = Snapshot(work.StringGrid1);
    WriteFile(dir / "short.txt", FloodOf(3));
    work.ReadFlood(dir / "short.txt");
    EXPECT_EQ(work.FloodSteps.size(), 3u);
    EXPECT_EQ(Snapshot(work.StringGrid1), computed) << "the same record's first lines: nothing changes";

    WriteFile(dir / "bad.txt", Lines({kFloodHeading, "2007-07-29 00-00-00,9,0", "x,1,1"}));
    EXPECT_EQ(MessageOf([&] { work.ReadFlood(dir / "bad.txt"); }), "'x' is not a valid date and time");
    EXPECT_TRUE(work.FloodSteps.empty());
    const Table failed = Snapshot(work.StringGrid1);
    EXPECT_EQ(failed[2][1], "9");
    for (int c : {2, 3, 4, 5, 7, 8}) {
        EXPECT_EQ(failed[2][c], computed[2][c]) << c;
        EXPECT_EQ(failed[13][c], computed[13][c]) << c;
    }
}

// The first record's cells other than the storage are not the computation's:
// they keep whatever text they hold.
TEST_F(Work, TheFirstRecordKeepsItsOtherCells) {
    ReadCurveText(ExampleCurve());
    ReadFloodText(HelpFlood());
    work.StringGrid1.SetCell(3, 2, "kept");
    work.StringGrid1.SetCell(8, 2, "also");
    work.Compute();
    EXPECT_EQ(work.StringGrid1.Cell(2, 2), "5.955");
    EXPECT_EQ(work.StringGrid1.Cell(3, 2), "kept");
    EXPECT_EQ(work.StringGrid1.Cell(4, 2), "");
    EXPECT_EQ(work.StringGrid1.Cell(8, 2), "also");
    // A cell written by hand into a computed row stays beside the computed ones.
    work.StringGrid1.SetCell(6, 3, "91");
    EXPECT_EQ(work.StringGrid1.Cell(6, 3), "91");
    EXPECT_EQ(work.StringGrid1.Cell(2, 3), "5.9748");
    EXPECT_EQ(work.StringGrid1.Cell(8, 3), "136.6667");
}

TEST_F(Work, ComputeEndsAfterTheLastRecordAndRepeats) {
    // No record at all: nothing to do, no error.
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "(no error)");
    EXPECT_EQ(work.StringGrid1.Cell(2, 2), "");

    ReadCurveText(ExampleCurve());
    ReadFloodText(HelpFlood());
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "(no error)");
    EXPECT_EQ(work.StringGrid1.Cell(4, 3), "21600");
    EXPECT_EQ(work.StringGrid1.Cell(7, 3), "45");
    EXPECT_EQ(work.StringGrid1.Cell(4, 4), "3600");
    EXPECT_EQ(work.StringGrid1.Cell(7, 4), "90");
    ExpectRowsEmpty(work.StringGrid1, 6, 9);

    const Table first = Snapshot(work.StringGrid1);
    const std::vector<TFloodStep> steps = work.FloodSteps;
    work.Compute();
    EXPECT_EQ(Snapshot(work.StringGrid1), first);
    for (std::size_t e = 0; e < steps.size(); ++e) {
        EXPECT_EQ(Bits(work.FloodSteps[e].V), Bits(steps[e].V));
        EXPECT_EQ(Bits(work.FloodSteps[e].Qin), Bits(steps[e].Qin));
    }
}

TEST_F(Work, ComputeFollowsTheFormulas) {
    // Storage 2 + (level - 500) on this curve.
    ReadCurveText(Lines({kCurveHeading, "500,2", "501,3"}));
    ReadFloodText(Lines({kFloodHeading, "2007-07-29 06-00-00,500,90", "2007-07-29 07-00-00,500.0001,90",
                         "2007-07-29 05-00-00,500.0002,30"}));
    work.Compute();
    // 0.0001 * 10^8 m^3 in 3600 s: 2.7777... shown with four decimals.
    EXPECT_EQ(work.StringGrid1.Cell(3, 3), "0.0001");
    EXPECT_EQ(work.StringGrid1.Cell(5, 3), "2.7778");
    EXPECT_EQ(work.StringGrid1.Cell(8, 3), "92.7778");
    // A step back in time computes, with the opposite sign.
    EXPECT_EQ(work.StringGrid1.Cell(4, 4), "-7200");
    EXPECT_EQ(work.StringGrid1.Cell(5, 4), "-1.3889");
    EXPECT_EQ(work.StringGrid1.Cell(7, 4), "60");
    const TFloodStep& s = work.FloodSteps[1];
    const TFloodStep& p = work.FloodSteps[0];
    EXPECT_EQ(Bits(s.dV), Bits(static_cast<double>(static_cast<long double>(s.V) - p.V)));
    EXPECT_EQ(Bits(s.dt), Bits(static_cast<double>((static_cast<long double>(s.T) - p.T) * 24 * 3600)));
    EXPECT_EQ(Bits(s.dVdt), Bits(static_cast<double>(static_cast<long double>(s.dV) * 1e8L / s.dt)));
    EXPECT_EQ(Bits(s.Qin), Bits(static_cast<double>(static_cast<long double>(s.dVdt) + s.qMean)));
}

TEST_F(Work, ComputeStopsAtAFailingRowAndKeepsWhatWasDone) {
    ReadCurveText(ExampleCurve());

    // The same time stamp twice with different storages.
    ReadFloodText(Lines({kFloodHeading, "2007-07-29 06-00-00,524.5,90", "2007-07-29 07-00-00,524.6,90",
                         "2007-07-29 07-00-00,524.7,90", "2007-07-29 08-00-00,524.8,90"}));
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "Floating point division by zero");
    EXPECT_NE(work.StringGrid1.Cell(8, 3), "");
    EXPECT_EQ(work.StringGrid1.Cell(3, 4), "0.022");
    EXPECT_EQ(work.StringGrid1.Cell(4, 4), "0");
    EXPECT_EQ(work.StringGrid1.Cell(5, 4), "") << "the storage rate is not stored";
    EXPECT_EQ(work.StringGrid1.Cell(2, 5), "");
    EXPECT_EQ(work.FloodSteps[2].dt, 0.0);
    EXPECT_EQ(work.FloodSteps[2].dVdt, 0.0);

    // ... and with the same storage.
    ReadFloodText(Lines({kFloodHeading, "2007-07-29 06-00-00,524.5,90", "2007-07-29 06-00-00,524.5,90"}));
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "Invalid floating point operation");

    // A level beyond the curve: no storage is made up for it.
    ReadFloodText(Lines({kFloodHeading, "2007-07-29 06-00-00,524.5,90", "2007-07-29 07-00-00,527.5,90",
                         "2007-07-29 08-00-00,524.8,90"}));
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "水位 527.5 m 超出库容水位曲线范围（523 – 526 m）");
    EXPECT_EQ(work.StringGrid1.Cell(2, 2), "5.9");
    for (int c : {2, 3, 4, 5, 7, 8}) EXPECT_EQ(work.StringGrid1.Cell(c, 3), "") << c;

    // Its top point is covered.
    ReadFloodText(Lines({kFloodHeading, "2007-07-29 06-00-00,526,90"}));
    work.Compute();
    EXPECT_EQ(work.StringGrid1.Cell(2, 2), "6.235");

    // Without a curve.
    ReadCurveText(Lines({kCurveHeading, "523,5.575"}));
    ReadFloodText(Lines({kFloodHeading, "2007-07-29 06-00-00,523,90"}));
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "库容水位曲线少于两个点");
    EXPECT_EQ(work.StringGrid1.Cell(2, 2), "");
}

TEST_F(Work, ResultFileLayout) {
    // With no record: the two heading lines alone.
    work.WriteResult(dir / "empty.txt");
    const std::string empty = ReadFile(dir / "empty.txt");
    ASSERT_EQ(std::count(empty.begin(), empty.end(), '\n'), 2);
    EXPECT_EQ(empty.substr(0, 20), B(17) + "时");
    const std::string firstLine = empty.substr(0, empty.find("\r\n"));
    EXPECT_TRUE(firstLine.ends_with(" , 平均入库流量Q入"));
    EXPECT_EQ(std::count(empty.begin(), empty.end(), ','), 16);
    EXPECT_EQ(empty.find("10^6"), std::string::npos);

    // Before the computation the computed fields are written as 0.
    ReadFloodText(HelpFlood());
    work.WriteResult(dir / "read.txt");
    const std::string read = ReadFile(dir / "read.txt");
    EXPECT_EQ(read.substr(empty.size()),
              "2007-07-29,524.75,0,0,0,0,0,0,0,\r\n"
              "2007-07-29 06:00:00,524.84,0,0,0,0,90,0,0,\r\n"
              "2007-07-29 07:00:00,524.88,0,0,0,0,90,0,0,\r\n"
              "2007-07-29 08:00:00,524.89,0,0,0,0,90,0,0,\r\n");
}

// The result file is replaced as a whole or not at all.
TEST_F(Work, ResultFileReplacedAtomically) {
    ReadCurveText(ExampleCurve());
    ReadFloodText(HelpFlood());
    work.Compute();
    const std::string target = dir / "result.txt";
    WriteFile(target, "an earlier result\r\n");
    work.FloodSteps[3].Qin = 1e300;   // beyond the range of the decimal texts
    EXPECT_EQ(MessageOf([&] { work.WriteResult(target); }), "Invalid floating point operation");
    EXPECT_EQ(ReadFile(target), "an earlier result\r\n");
    EXPECT_EQ(dir.Names(), (std::vector<std::string>{"curve.txt", "flood.txt", "result.txt"}))
        << "no temporary is left behind";

    work.FloodSteps[3].Qin = 1;
    work.WriteResult(target);
    EXPECT_NE(ReadFile(target).find("2007-07-29 08:00:00,524.89,"), std::string::npos);
    EXPECT_EQ(dir.Names().size(), 3u);

    EXPECT_EQ(MessageOf([&] { work.WriteResult(dir / "no-such-folder/result.txt"); }), "Invalid filename");
}

// A record long enough for the result file to be made in stretches side by
// side: every line in its place, each value the text the table shows, and a
// failure anywhere leaves the earlier file as it was.
TEST_F(Work, LongResultFileInOrderAndWholeOrNotAtAll) {
    ReadCurveText(Lines({kCurveHeading, "520,1", "530,3.5"}));
    const int n = 50000;  // one a second from midnight
    std::vector<std::string> lines{kFloodHeading};
    for (int k = 0; k < n; ++k) {
        char line[64];
        std::snprintf(line, sizeof line, "2007-07-29 %02d-%02d-%02d,%s,%d", k / 3600, k / 60 % 60, k % 60,
                      DecimalToText(Currency{5240000 + k % 9000 + k / 7}).c_str(), k % 500);
        lines.push_back(line);
    }
    ReadFloodText(Lines(lines));
    work.Compute();
    const std::string target = dir / "result.txt";
    work.WriteResult(target);

    const std::string written = ReadFile(target);
    std::vector<std::string_view> got;
    for (std::size_t at = 0; at < written.size();) {
        const std::size_t end = written.find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        got.emplace_back(written.data() + at, end - at);
        at = end + 2;
    }
    ASSERT_EQ(got.size(), static_cast<std::size_t>(n) + 2);
    const TStringGrid& grid = work.StringGrid1;
    for (int e = 1; e < n; ++e) {
        std::string want(grid.Cell(0, e + 2));  // the time of day written with ':'
        want[13] = want[16] = ':';
        for (int c = 1; c < 9; ++c) (want += ',') += grid.Cell(c, e + 2);
        want += ',';
        if (got[static_cast<std::size_t>(e) + 2] != want) {
            ADD_FAILURE() << "record " << e << ": " << got[static_cast<std::size_t>(e) + 2] << " / " << want;
            break;
        }
    }

    // Each computed text is its value's four-decimal text.
    for (int e = 1; e < n; e += 7) {
        const TFloodStep& st = work.FloodSteps[static_cast<std::size_t>(e)];
        const double values[] = {st.V, st.dV, st.dt, st.dVdt, 0, st.qMean, st.Qin};
        for (int c : {2, 3, 4, 5, 7, 8})
            ASSERT_EQ(grid.Cell(c, e + 2), DecimalToText(DecimalFromReal(values[c - 2]))) << e << "," << c;
    }

    // A value beyond the decimal texts in the first stretch, in the one made
    // beside it, and in the last: the message, the earlier file intact, no
    // temporary.
    for (const std::size_t bad : {100u, 20000u, 49999u}) {
        const double kept = work.FloodSteps[bad].Qin;
        work.FloodSteps[bad].Qin = 1e300;
        EXPECT_EQ(MessageOf([&] { work.WriteResult(target); }), "Invalid floating point operation") << bad;
        work.FloodSteps[bad].Qin = kept;
        EXPECT_EQ(ReadFile(target), written) << bad;
        EXPECT_EQ(dir.Names(), (std::vector<std::string>{"curve.txt", "flood.txt", "result.txt"})) << bad;
    }
}

// A long record whose computation fails far down, after stretches of rows
// were already turned into text beside the computing: every row before the
// failing one complete, the failing one with the texts made before its
// failure, the rows after it untouched.
TEST_F(Work, LongComputationStopsAtTheFailingRow) {
    ReadCurveText(Lines({kCurveHeading, "520,1", "530,3.5"}));
    const int n = 60000, bad = 40000;
    std::vector<std::string> lines{kFloodHeading};
    for (int k = 0; k < n; ++k) {
        const int t = k == bad ? k - 1 : k;  // the same time twice: a zero time step
        char line[64];
        std::snprintf(line, sizeof line, "2007-07-29 %02d-%02d-%02d,%s,%d", t / 3600, t / 60 % 60, t % 60,
                      DecimalToText(Currency{5240000 + k % 9000}).c_str(), k % 500);
        lines.push_back(line);
    }
    ReadFloodText(Lines(lines));
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "Floating point division by zero");
    const TStringGrid& grid = work.StringGrid1;
    for (int e = 1; e < bad; ++e)
        if (grid.Cell(8, e + 2).empty() || grid.Cell(2, e + 2).empty()) {
            ADD_FAILURE() << "record " << e << " lacks its texts";
            break;
        }
    // Storage, its change and the time step were made; the rate failed.
    const int row = bad + 2;
    EXPECT_FALSE(grid.Cell(2, row).empty());
    EXPECT_FALSE(grid.Cell(3, row).empty());
    EXPECT_EQ(grid.Cell(4, row), "0");
    for (int c : {5, 7, 8}) EXPECT_EQ(grid.Cell(c, row), "") << c;
    EXPECT_EQ(work.FloodSteps[bad].dVdt, 0.0);
    for (int e = bad + 1; e < n; e += 997) {
        for (int c : {2, 3, 4, 5, 7, 8}) ASSERT_EQ(grid.Cell(c, e + 2), "") << e << "," << c;
        EXPECT_EQ(work.FloodSteps[static_cast<std::size_t>(e)].V, 0.0);
    }
}

// Where each action failed, kept for the error's second line and the window's
// row: set by the failing action alone, cleared by the next one that starts;
// the computation names its record's line of the flood file as it was read.
TEST_F(Work, FailuresKeepTheirLine) {
    auto place = [&] { return work.FailedLine ? work.FailedLine->file + ":" + std::to_string(work.FailedLine->line) : ""; };
    ReadCurveText(Lines({kCurveHeading, "523,5.575", "535,8.5"}));
    // Record 598 (row and line 600) has a level above the curve.
    std::string flood = FloodOf(1000);
    std::size_t at = 0;
    for (int line = 1; line < 600; ++line) at = flood.find('\n', at) + 1;
    const std::string before = flood.substr(at, flood.find('\n', at) - at);
    const std::size_t level = at + before.find(',') + 1;
    flood.replace(level, before.find(',', before.find(',') + 1) - before.find(',') - 1, "536");
    const std::string failing = flood.substr(at, flood.find('\n', at) - at);
    ASSERT_EQ(failing, before.substr(0, before.find(',') + 1) + "536" + before.substr(before.rfind(',')));
    EXPECT_EQ(FloodError(ExampleCurve()), "List index out of bounds (2)");   // lines of two fields
    EXPECT_EQ(place(), dir / "flood.txt:2");
    ReadFloodText(flood);
    EXPECT_EQ(place(), "") << "a read that succeeds clears the place";
    EXPECT_NE(MessageOf([&] { work.Compute(); }), "(no error)");
    EXPECT_EQ(place(), dir / "flood.txt:600");
    EXPECT_EQ(ReadLineAt(work.FailedLine->file, 600, work.FailedLine->version), failing);

    // The file changed since it was read: the number stays, its text is gone.
    WriteFile(dir / "flood.txt", "another\nfile\n");
    EXPECT_NE(MessageOf([&] { work.Compute(); }), "(no error)");
    EXPECT_EQ(place(), dir / "flood.txt:600");
    EXPECT_EQ(ReadLineAt(work.FailedLine->file, 600, work.FailedLine->version), std::nullopt);

    // A table reset and not read again (the dialog cancelled) holds no file's
    // lines; the row is still told.
    work.ResetFloodTable();
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "'' is not a valid floating point value");
    EXPECT_EQ(place(), ":2");

    // A file that cannot be opened, and a curve too short for any level,
    // belong to no line.
    EXPECT_EQ(CurveError(Lines({kCurveHeading, "523,5.575", "x,5.79"})), "'x' is not a valid floating point value");
    EXPECT_EQ(place(), dir / "curve.txt:3");
    EXPECT_NE(MessageOf([&] { work.ReadCurve(dir / "missing.txt"); }), "(no error)");
    EXPECT_EQ(place(), "");
    ReadCurveText(Lines({kCurveHeading, "523,5.575"}));
    ReadFloodText(Lines({kFloodHeading, "2007-07-29 06-00-00,523,90"}));
    EXPECT_EQ(MessageOf([&] { work.Compute(); }), "库容水位曲线少于两个点");
    EXPECT_EQ(place(), "");
}

// A failure's row is the table's row that shows its line, also when lines
// before it were passed over (gaps skipped): the window scrolls there.
TEST_F(Work, AFailuresRowShowsItsLine) {
    ReadCurveText(Lines({kCurveHeading, "523,5.575", "535,8.5"}));
    work.FloodFormat = ReadRecordFormat(TFileKind::Flood, {{"--columns", "time=t,level=z,outflow=q"},
                                                           {"--missing", "skip"}, {"--date-order", "ymd"}});
    struct Case { const char* last; bool compute; };
    for (const Case c : {Case{"2007-07-29 18:00,x,1", false}, Case{"2007-07-29 18:00,525", false},
                         Case{"2007-07-29 18:00,536,1", true}}) {
        SCOPED_TRACE(c.last);
        const std::string text = Lines({"t,z,q", "2007-07-29 00:00,,1", "2007-07-29 06:00,,1", "2007-07-29 12:00,524,1",
                                        c.last, "2007-07-30 00:00,525,1"});
        const std::string error = MessageOf([&] {
            ReadFloodText(text);
            if (c.compute) work.Compute();
        });
        ASSERT_NE(error, "(no error)");
        ASSERT_TRUE(work.FailedLine);
        EXPECT_EQ(work.FailedLine->line, 5);
        EXPECT_EQ(work.FailedLine->Row(), 3);
        EXPECT_EQ(work.StringGrid1.Cell(0, static_cast<int>(work.FailedLine->Row())), "2007-07-29 18:00");
    }
}

// The records are what computes and what the result file holds, whether the
// tables are filled or not (batch mode fills none): every message, failing
// line, record and result byte is the same both ways, for files that read
// whole, fail part-way or fail to compute, and after the table's reset.
TEST_F(Work, TheRecordsAloneGiveEveryResultTheTablesGive) {
    const std::vector<std::string> floods{
        HelpFlood(),
        FloodOf(12),
        Lines({kFloodHeading, "2007-07-29 00-00-00,524.75,0", "2007-07-29 06-00-00,524.84"}),
        Lines({kFloodHeading, "2007-07-29 00-00-00,524.75,0", "2007-07-29 06-00-00,x,90"}),
        Lines({kFloodHeading, "2007-07-29 00-00-00,524.75,0", "2007-07-29 00-00-00,524.84,90"}),
        Lines({kFloodHeading, "2007-07-29 00-00-00,524.75,0", "2007-07-29 06-00-00,530,90"}),
        Lines({kFloodHeading, "2007-07-29 00-00-00,524.75,0,x", "2007-07-29 06-00-00,524.84,90,5"}),
    };
    WriteFile(dir / "curve.txt", ExampleCurve());
    // What each step of the window's road gives: its message, the failing
    // line, then the records and the result file.
    auto road = [&](InflowWork& w, const std::string& flood, bool reset) {
        std::vector<std::string> seen;
        auto step = [&](const std::function<void()>& action) {
            seen.push_back(MessageOf(action));
            seen.push_back(w.FailedLine ? w.FailedLine->file + ":" + std::to_string(w.FailedLine->line) : "-");
        };
        w.FormCreate();
        w.Balance.lossFields = flood.find(",x\n") != std::string::npos ? std::vector<int>{4} : std::vector<int>{};
        step([&] { w.ResetCurveTable(); w.ReadCurve(dir / "curve.txt"); });
        step([&] { w.ResetFloodTable(); w.ReadFlood(dir / "flood.txt"); });
        // The precision of the flows, as the outflows the table shows give it.
        if (w.ShowTables) {
            int decimals = 0;
            for (int r = 2; r < w.StringGrid1.RowCount() && w.FloodShown(); ++r)
                decimals = std::max(decimals, TextDecimals(w.StringGrid1.Cell(6, r)));
            EXPECT_EQ(w.FloodOutflowDecimals, decimals) << flood;
        }
        const int decimals = w.FloodOutflowDecimals;
        step([&] { w.Compute(); });
        if (reset) step([&] { w.ResetFloodTable(); w.Compute(); });
        seen.push_back(std::to_string(w.ComputedRecords) + (w.FloodShown() ? " shown" : " not shown"));
        for (const TFloodStep& s : w.FloodSteps)
            for (const double v : {s.T, s.Z, s.V, s.dV, s.dt, s.dVdt, s.Qout, s.qMean, s.Qin}) seen.push_back(RealToText(v));
        step([&] { w.WriteResult(dir / "result.txt"); });
        seen.push_back(ReadFile(dir / "result.txt"));
        seen.push_back(std::to_string(decimals));
        return seen;
    };
    for (const std::string& flood : floods) {
        WriteFile(dir / "flood.txt", flood);
        for (const bool reset : {false, true}) {
            InflowWork shown, unseen;
            unseen.ShowTables = false;
            const std::vector<std::string> a = road(shown, flood, reset), b = road(unseen, flood, reset);
            EXPECT_EQ(a, b) << flood << (reset ? " then reset" : "");
            EXPECT_EQ(unseen.StringGrid1.RowCount(), 10);   // reset, never filled
            for (int r = 2; r < 10; ++r) EXPECT_TRUE(unseen.StringGrid1.RowEmpty(r)) << r;
        }
    }

    // After the reset the records stay and their rows are empty: the run
    // stops at the first row's empty level, which belongs to no file, and the
    // result file holds as many records as the reset table has rows.
    WriteFile(dir / "flood.txt", FloodOf(12));
    const std::vector<std::string> afterReset = road(work, FloodOf(12), true);
    EXPECT_EQ(afterReset[6], "'' is not a valid floating point value");
    EXPECT_EQ(afterReset[7], ":2");
    EXPECT_EQ(afterReset[8], "0 not shown");
    const std::string result = afterReset[afterReset.size() - 2];
    EXPECT_EQ(std::count(result.begin(), result.end(), '\n'), 2 + 8);
    EXPECT_TRUE(result.starts_with(B(17) + "时" + B(3) + "间 , 库水位Z , " + B(4) + "库容V , 库容增量dV , "));
}

// Batch mode computes a long record while reading it, keeping no record: it
// must fail where and as reading then computing fails (a reading fault after
// a computing one still comes first), and write what WriteResult writes.
TEST_F(Work, ComputingWhileReadingGivesWhatReadingThenComputingGives) {
    const std::string a = "2007-07-29 00-00-00,524.75,0", b = "2007-07-29 06-00-00,524.84,90";
    std::string nul = Lines({kFloodHeading, a, b});
    nul[nul.size() - 3] = '\0';
    const std::vector<std::string> floods{
        HelpFlood(),
        FloodOf(5000),
        Lines({kFloodHeading}),
        Lines({kFloodHeading, a}),
        std::string(kFloodHeading) + "\r" + a + "\r" + b + "\r",
        Lines({kFloodHeading, a, "2007-07-29 06-00-00,524.84"}),
        Lines({kFloodHeading, a, "2007-07-29 06-00-00,x,90", b}),
        Lines({kFloodHeading, a, "2007-07-29 00-00-00,524.84,90"}),   // dt = 0
        Lines({kFloodHeading, a, "2007-07-29 06-00-00,530,90", b}),    // above the curve
        Lines({kFloodHeading, "2007-07-29 06-00-00,500,90", a}),       // the first record
        Lines({kFloodHeading, a, "2007-07-29 06-00-00,530,90", "2007-07-29 12-00-00,y,90"}),
        Lines({kFloodHeading, a, "2007-07-29 06-00-00,530,90", "2007-07-29 12-00-00"}),
        Lines({kFloodHeading, a, "2007-07-29 06-00-00,1e400,90"}),
        Lines({kFloodHeading, a, b, "2007-07-29 05-00-00,524.9,1e300"}),
        nul,
    };
    const std::vector<TBalanceOptions> balances = [] {
        std::vector<TBalanceOptions> all(3);
        all[1].outflow = TBalanceOptions::TOutflow::End;
        all[2].bankStorage = 1e305;
        return all;
    }();
    WriteFile(dir / "curve.txt", ExampleCurve());
    auto place = [](const InflowWork& w) {
        return w.FailedLine ? w.FailedLine->file + ":" + std::to_string(w.FailedLine->line) : "-";
    };
    for (const std::string& flood : floods) {
        WriteFile(dir / "flood.txt", flood);
        for (const TBalanceOptions& balance : balances) {
            InflowWork twice, once;
            std::vector<std::string> seen[2];
            for (InflowWork* w : {&twice, &once}) {
                w->ShowTables = false;
                w->Balance = balance;
                w->ReadCurve(dir / "curve.txt");
            }
            std::string error = MessageOf([&] {
                twice.ResetFloodTable();
                twice.ReadFlood(dir / "flood.txt");
                twice.Compute();
                twice.WriteResult(dir / "twice.txt");
                seen[0].push_back(std::to_string(twice.FloodSteps.size()));
            });
            seen[0].insert(seen[0].end(), {error, place(twice), std::to_string(twice.ComputedRecords),
                                           twice.LastReadCrAlone ? "CR" : "LF"});
            std::exception_ptr writeError;
            InflowWork::TStreamed streamed;
            error = MessageOf([&] {
                LineFile out;
                out.OpenWriteAtomic(dir / "once.txt", 4096);
                once.ComputeWhileReading(dir / "flood.txt", out, writeError, streamed);
                seen[1].push_back(std::to_string(streamed.records));
                out.Close();
            });
            // The failing step and the one before it, as the reasons for a
            // failure are judged on them.
            const std::size_t e = twice.ComputedRecords;
            const bool stopped = e > 0 && e < twice.FloodSteps.size();
            ASSERT_EQ(streamed.failedStep.has_value(), stopped) << flood;
            if (stopped) {
                for (const auto& [kept, made] : {std::pair{streamed.failedStep->first, twice.FloodSteps[e - 1]},
                                                 std::pair{streamed.failedStep->second, twice.FloodSteps[e]}})
                    EXPECT_EQ(std::vector<double>({kept.T, kept.V, kept.dV, kept.dt}),
                              std::vector<double>({made.T, made.V, made.dV, made.dt})) << flood;
            }
            seen[1].insert(seen[1].end(), {error, place(once), std::to_string(once.ComputedRecords),
                                           once.LastReadCrAlone ? "CR" : "LF"});
            EXPECT_EQ(seen[0], seen[1]) << flood << " K=" << balance.bankStorage;
            EXPECT_FALSE(writeError);
            EXPECT_TRUE(once.FloodSteps.empty());
            if (error == "(no error)") {
                EXPECT_EQ(ReadFile(dir / "once.txt"), ReadFile(dir / "twice.txt")) << flood;
            }
            std::filesystem::remove(dir / "once.txt");
            std::filesystem::remove(dir / "twice.txt");
            EXPECT_EQ(dir.Names(), (std::vector<std::string>{"curve.txt", "flood.txt"}));
        }
    }
}
