// A sheet read as a curve or a record must give what the same table as a
// text file gives: the same values to the bit, the same messages, and the
// sheet's row numbers where the text file has its line numbers. Each case
// writes one random table both ways (the sheet with title rows above its
// heading, an empty row, numbers stored with 17 digits as Excel stores them,
// dates as date cells, gaps as empty or #N/A cells) and reads both through
// the load and the check.

#include "WorkbookLines.h"
#include "../app/InflowTestSupport.h"
#include "ZipFixture.h"

#include "DateTime.h"
#include "InflowWork.h"
#include "LocaleFormats.h"
#include "RecordCheck.h"
#include "RecordFormat.h"

#include <gtest/gtest.h>

#include <cctype>
#include <charconv>
#include <functional>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>

using inflow_test::ScratchDir;
using inflow_test::WriteFile;

namespace {

struct Value {
    enum Kind { Number, Text, Date, Gap } kind = Number;
    double number = 0;
    std::string text;
};

struct Case {
    const char* name;
    bool flood;
    TOptionPairs options;
    std::vector<std::string> headings;
    int titleRows;
    bool gaps;          // blank cells among the levels (empty or #N/A in the sheet)
    bool fault;         // one level that is no number
    bool excelDigits;   // numbers stored with 17 significant digits
    int shift = 0;      // empty columns left of the table (blank fields in the text file)
};

std::string Shortest(double v) {
    char b[64];
    const auto r = std::to_chars(b, b + sizeof b, v, std::chars_format::fixed);
    return std::string(b, r.ptr);
}

std::string Seventeen(double v) {
    char b[64];
    std::snprintf(b, sizeof b, "%.17g", v);
    return b;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (const char c : s) out += c == '&' ? "&amp;" : c == '<' ? "&lt;" : std::string(1, c);
    return out;
}

struct Table {
    std::vector<std::vector<Value>> rows;   // data rows, below the heading
};

Table MakeTable(const Case& c, std::mt19937& rng) {
    Table t;
    std::uniform_int_distribution<int> cents(0, 999999);
    const int n = 40;
    DateTimeValue day = 0;
    TryEncodeDate(2024, 7, 20, day);
    for (int r = 0; r < n; ++r) {
        std::vector<Value> row;
        for (std::size_t k = 0; k < c.headings.size(); ++k) {
            Value v;
            if (c.flood && k == 0) {
                double time = 0;
                TryEncodeTime(r % 24, (r * 7) % 60, 0, 0, time);
                v.kind = Value::Date;
                v.number = CombineDateTime(day + r / 24, time);
            } else {
                // Rising levels for a curve; any values otherwise.
                v.number = c.flood || k > 1 ? cents(rng) / 100.0 : 100 + r * 0.5 + cents(rng) / 1e7;
                if (!c.flood && k == 1) v.number = r * 3.25 + cents(rng) / 1e6;
            }
            row.push_back(v);
        }
        t.rows.push_back(row);
    }
    if (c.gaps)
        for (int r = 5; r < n; r += 9) t.rows[static_cast<std::size_t>(r)][1].kind = Value::Gap;
    if (c.fault) t.rows[23][1] = {Value::Text, 0, "12..5"};
    return t;
}

std::string CsvText(const Case& c, const Table& t) {
    const std::string left(static_cast<std::size_t>(c.shift), ',');
    std::string out = left;
    for (std::size_t k = 0; k < c.headings.size(); ++k) out += (k ? "," : "") + c.headings[k];
    out += "\n";
    for (const auto& row : t.rows) {
        out += left;
        for (std::size_t k = 0; k < row.size(); ++k) {
            if (k) out += ",";
            const Value& v = row[k];
            if (v.kind == Value::Number) out += Shortest(v.number);
            if (v.kind == Value::Text) out += v.text;
            if (v.kind == Value::Date) {
                const StampParts p = SplitStamp(v.number);
                char b[64];
                std::snprintf(b, sizeof b, "%04lld-%02d-%02d %02d:%02d:%02d", p.year, p.month, p.day, p.hour, p.minute,
                              p.second);
                out += b;
            }
        }
        out += "\n";
    }
    return out;
}

// The sheet, and the row each text line lands on (line 1: the heading).
std::string SheetXmlOf(const Case& c, const Table& t, std::map<std::int64_t, std::int64_t>& rowOfLine) {
    std::string data;
    int row = 1;
    auto cell = [&](int column, const std::string& body) {
        return "<c r=\"" + workbook::CellName(row, column) + "\"" + body + "</c>";
    };
    auto text = [&](int column, const std::string& s) {
        return cell(column, " t=\"inlineStr\"><is><t>" + Escape(s) + "</t></is>");
    };
    for (int k = 0; k < c.titleRows; ++k, ++row)
        data += "<row r=\"" + std::to_string(row) + "\">" + text(1, "Reservoir report, part " + std::to_string(k)) + "</row>";
    data += "<row r=\"" + std::to_string(row) + "\">";
    for (std::size_t k = 0; k < c.headings.size(); ++k) data += text(static_cast<int>(k) + 1 + c.shift, c.headings[k]);
    data += "</row>";
    rowOfLine[1] = row++;
    std::int64_t line = 2;
    for (const auto& values : t.rows) {
        if (line == 12) ++row;   // an empty row: no line at all
        data += "<row r=\"" + std::to_string(row) + "\">";
        for (std::size_t k = 0; k < values.size(); ++k) {
            const Value& v = values[k];
            const int column = static_cast<int>(k) + 1 + c.shift;
            if (v.kind == Value::Number)
                data += cell(column, "><v>" + (c.excelDigits ? Seventeen(v.number) : Shortest(v.number)) + "</v>");
            if (v.kind == Value::Text) data += text(column, v.text);
            if (v.kind == Value::Date) data += cell(column, " s=\"1\"><v>" + Seventeen(v.number) + "</v>");
            // Gaps alternate between an error cell and no cell at all.
            if (v.kind == Value::Gap && line % 2) data += cell(column, " t=\"e\"><v>#N/A</v>");
        }
        data += "</row>";
        rowOfLine[line++] = row++;
    }
    return zipfixture::SheetXml(data);
}

const Case kCases[] = {
    {"plain curve", false, {}, {"level", "storage"}, 0, false, false, true},
    {"curve by headings below titles, in ft and acre-ft", false,
     {{"--curve-columns", "level=Elevation (ft),storage=Live Storage (ac-ft)"}, {"--units", "level=ft,storage=af"}},
     {"Row", "Elevation (ft)", "Live Storage (ac-ft)", "Area (acres)"}, 2, false, false, true, 2},
    {"curve with a level that is no number", false, {{"--curve-columns", "level=2,storage=3"}},
     {"n", "z", "v"}, 0, false, true, false},
    {"plain record of date cells", true, {}, {"time", "level", "outflow"}, 0, false, false, true},
    {"record by headings with gaps skipped", true,
     {{"--columns", "time=Date,level=Elevation,outflow=Release,loss=Evaporation"},
      {"--units", "level=ft,flow=cfs,loss=af"}, {"--missing", "skip"}},
     {"Date", "Elevation", "Release", "Evaporation"}, 1, true, false, true, 1},
    {"record with gaps not skipped", true, {{"--columns", "time=1,level=2,outflow=3"}, {"--missing-value", "-1"}},
     {"t", "z", "q"}, 0, true, false, false},
    {"record with a level that is no number", true, {{"--columns", "time=t,level=z,outflow=q"}}, {"t", "z", "q"}, 3,
     false, true, true},
};

class WorkbookLinesTest : public ::testing::TestWithParam<Case> {
protected:
    static void SetUpTestSuite() {
        LoadLocaleFormats();
        workbook::InstallWorkbookLines();
    }
};

std::string Message(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "";
}

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    for (std::size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size()) s.replace(at, from.size(), to);
    return s;
}

TEST_P(WorkbookLinesTest, SheetReadsAsItsTextFile) {
    const Case& c = GetParam();
    std::mt19937 rng(static_cast<unsigned>(std::strlen(c.name)) * 7919u);
    const Table table = MakeTable(c, rng);
    ScratchDir dir;
    const std::string csv = (dir.path() / "table.csv").string();
    const std::string book = (dir.path() / "book.xlsx").string();
    const std::string sheet = book + "#Data";
    WriteFile(csv, CsvText(c, table));
    std::map<std::int64_t, std::int64_t> rowOf;
    const std::string sheetXml = SheetXmlOf(c, table, rowOf);
    zipfixture::MakeZip(book, zipfixture::MinimalBook(
                                  {{"Notes", zipfixture::SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>")},
                                   {"Data", sheetXml}},
                                  "", zipfixture::StylesXml("", "<xf numFmtId=\"0\"/><xf numFmtId=\"22\"/>")));

    const TRecordFormat format = ReadRecordFormat(c.flood ? TFileKind::Flood : TFileKind::Curve, c.options);
    auto load = [&](const std::string& name, InflowWork& work) {
        (c.flood ? work.FloodFormat : work.CurveFormat) = format;
        return Message([&] { c.flood ? work.ReadFlood(name) : work.ReadCurve(name); });
    };
    InflowWork fromText, fromSheet;
    const std::string textError = load(csv, fromText);
    const std::string sheetError = load(sheet, fromSheet);
    // A gap not skipped fails as a level that is no number does.
    const bool fails = c.fault || (c.gaps && format.missing != TMissingMode::Skip);
    EXPECT_EQ(fails, !textError.empty()) << textError;
    EXPECT_EQ(textError, Replace(sheetError, sheet, csv));
    ASSERT_EQ(fromText.FailedLine.has_value(), fromSheet.FailedLine.has_value());
    if (fromText.FailedLine) {
        EXPECT_EQ(fromSheet.FailedLine->file, sheet);
        EXPECT_EQ(rowOf.at(fromText.FailedLine->line), fromSheet.FailedLine->line);
    }
    ASSERT_EQ(fromText.CurvePoints.size(), fromSheet.CurvePoints.size());
    for (std::size_t i = 0; i < fromText.CurvePoints.size(); ++i) {
        EXPECT_EQ(0, std::memcmp(&fromText.CurvePoints[i], &fromSheet.CurvePoints[i], sizeof(TCurvePoint))) << i;
    }
    ASSERT_EQ(fromText.FloodSteps.size(), fromSheet.FloodSteps.size());
    for (std::size_t i = 0; i < fromText.FloodSteps.size(); ++i) {
        EXPECT_EQ(0, std::memcmp(&fromText.FloodSteps[i], &fromSheet.FloodSteps[i], sizeof(TFloodStep))) << i;
        EXPECT_EQ(fromText.FloodFieldTexts.AfterOutflow(i), fromSheet.FloodFieldTexts.AfterOutflow(i)) << i;
    }
    EXPECT_EQ(Replace(fromText.FloodSkipped.Text(csv), csv, "F"), [&] {
        // The skipped records' lines, as the sheet's rows.
        std::string told = fromSheet.FloodSkipped.Text(sheet);
        std::string mapped;
        for (std::size_t at = 0, end; (end = told.find('\n', at)) != std::string::npos; at = end + 1) {
            std::string line = told.substr(at, end - at + 1);
            const std::size_t colon = line.find(':', sheet.size() + 1);
            if (line.rfind(sheet + ":", 0) == 0 && colon != std::string::npos) {
                const std::int64_t row = std::stoll(line.substr(sheet.size() + 1, colon - sheet.size() - 1));
                for (const auto& [l, r] : rowOf)
                    if (r == row) line = "F:" + std::to_string(l) + line.substr(colon);
            }
            mapped += line;
        }
        return Replace(mapped, sheet, "F");
    }());
    if (c.gaps && format.missing == TMissingMode::Skip) {
        EXPECT_GT(fromSheet.FloodSkipped.Count(), 0u);
    }

    // The check: the same problems, at the sheet's rows.
    TRecordCheckOptions options;
    (c.flood ? options.format : options.curveFormat) = format;
    const std::string curveCsv = c.flood ? std::string(QUELMORA_SOURCE_DIR "/examples/curve.txt") : csv;
    const std::string curveSheet = c.flood ? curveCsv : sheet;
    const auto textProblems = CheckRecordFiles(curveCsv, c.flood ? csv : "", options);
    const auto sheetProblems = CheckRecordFiles(curveSheet, c.flood ? sheet : "", options);
    ASSERT_EQ(textProblems.size(), sheetProblems.size());
    for (std::size_t i = 0; i < textProblems.size(); ++i) {
        const TRecordProblem& a = textProblems[i];
        const TRecordProblem& b = sheetProblems[i];
        EXPECT_EQ(a.message, Replace(b.message, sheet, csv));
        EXPECT_EQ(a.file == csv ? sheet : a.file, b.file);
        EXPECT_EQ(a.line == 0 || a.file != csv ? a.line : rowOf.at(a.line), b.line) << a.message;
    }
    if (fails) {
        EXPECT_FALSE(sheetProblems.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WorkbookLinesTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& info) {
                             std::string n;
                             for (const char ch : std::string(info.param.name)) n += std::isalnum(static_cast<unsigned char>(ch)) ? ch : '_';
                             return n;
                         });

// A heading that no row holds is refused with the headings of the row that
// holds most of those named, not with the title above the table; a number
// cell keeps its stored text unless it has more digits than a double holds.
TEST(WorkbookLines, RefusalAndNumberTexts) {
    LoadLocaleFormats();
    workbook::InstallWorkbookLines();
    ScratchDir dir;
    const std::string book = (dir.path() / "b.xlsx").string();
    zipfixture::MakeZip(book, zipfixture::MinimalBook({{"S", zipfixture::SheetXml(
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>Title</t></is></c></row>"
        "<row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>Elevation</t></is></c>"
        "<c r=\"B3\" t=\"inlineStr\"><is><t>Volume</t></is></c></row>"
        "<row r=\"4\"><c r=\"A4\"><v>1</v></c><c r=\"B4\"><v>2</v></c></row>")}}));
    InflowWork work;
    work.CurveFormat = ReadRecordFormat(TFileKind::Curve, {{"--curve-columns", "level=Elevation,storage=Storage"}});
    const std::string message = Message([&] { work.ReadCurve(book); });
    EXPECT_NE(message.find("'Elevation', 'Volume'"), std::string::npos) << message;

    const struct {
        const char* stored;
        const char* text;
    } numbers[] = {{"3490.5", "3490.5"}, {"0.27500000000000002", "0.275"}, {"3.1E-2", "0.031"},
                   {"-1E-3", "-0.001"}, {"20392.950000000001", "20392.95"}, {"123456789012345", "123456789012345"},
                   {"1E+21", "1000000000000000000000"}};
    for (const auto& n : numbers) {
        workbook::Cell cell;
        cell.type = workbook::CellType::Number;
        cell.text = n.stored;
        std::from_chars(n.stored, n.stored + std::strlen(n.stored), cell.number);
        EXPECT_EQ(workbook::NumberFieldText(cell), n.text) << n.stored;
    }
}

}  // namespace
