// Reading workbooks: the agency's own workbook against the same tables saved
// as CSV, cells of every kind from hand-made parts, LibreOffice's workbook,
// and hostile files that must end in a message naming the file.

#include "Workbook.h"
#include "../app/InflowTestSupport.h"
#include "ZipFixture.h"

#include "Currency.h"
#include "LineFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace workbook;
using inflow_test::ReadFile;
using inflow_test::ScratchDir;
using zipfixture::MakeZip;
using zipfixture::MinimalBook;
using zipfixture::SheetXml;

namespace {

std::vector<std::string> SplitCsv(const std::string& line) {
    std::vector<std::string> fields;
    std::stringstream s(line);
    for (std::string f; std::getline(s, f, ',');) fields.push_back(f);
    return fields;
}

} // namespace

// The two tables of the agency's workbook, saved as CSV with the numbers
// unchanged, must give the same cells: the heading row is found below the
// title rows, and every number's stored text reads through the program's own
// decimal reading as the CSV's text does, and to the same double.
TEST(WorkbookRead, AgencyWorkbookGivesTheNumbersOfItsCsvTables) {
    const std::string dir = std::string(QUELMORA_REALDATA_DIR) + "/as-published/";
    const std::string book = dir + "powell_area_capacity.xlsx";
    EXPECT_EQ(SheetNames(book), (std::vector<std::string>{"ReadMe", "2017Bathymetry", "Pre2017Bathymetry",
                                                          "LakePowellLookup", "BathymetryCompare"}));
    for (const auto& [sheetName, csv] : {std::pair{"Pre2017Bathymetry", "powell_capacity_pre2017.csv"},
                                         std::pair{"2017Bathymetry", "powell_capacity_2017.csv"}}) {
        SCOPED_TRACE(sheetName);
        const Sheet sheet = ReadSheet(SplitWorkbookName(book + "#" + sheetName));
        EXPECT_EQ(sheet.name, sheetName);
        std::ifstream in(dir + csv);
        std::string line;
        std::getline(in, line);
        const auto headings = SplitCsv(line);

        // The first row holding the headings side by side.
        int headingRow = 0, firstColumn = 0;
        for (const Row& row : sheet.rows) {
            for (const Cell& c : row.cells) {
                bool all = true;
                for (std::size_t k = 0; k < headings.size() && all; ++k)
                    all = sheet.At(row.number, c.column + static_cast<int>(k)).text == headings[k];
                if (all) {
                    headingRow = row.number;
                    firstColumn = c.column;
                    break;
                }
            }
            if (headingRow) break;
        }
        ASSERT_GT(headingRow, 0);

        int r = headingRow, lines = 0;
        while (std::getline(in, line)) {
            ++r;
            ++lines;
            const auto fields = SplitCsv(line);
            for (std::size_t k = 0; k < fields.size(); ++k) {
                const Cell& cell = sheet.At(r, firstColumn + static_cast<int>(k));
                SCOPED_TRACE(CellName(r, cell.column) + " " + cell.text + " / " + fields[k]);
                ASSERT_EQ(cell.type, CellType::Number);
                EXPECT_FALSE(cell.date);
                EXPECT_EQ(DecimalFromText(cell.text), DecimalFromText(fields[k]));
                EXPECT_EQ(cell.number, std::strtod(fields[k].c_str(), nullptr));
            }
        }
        // No number below the table that the CSV lacks.
        EXPECT_EQ(sheet.At(r + 1, firstColumn).type, CellType::Empty);
        EXPECT_GT(lines, 500);
    }
}

TEST(WorkbookRead, NamesSplitAtTheSheetOnlyWhereAWorkbookIsNamed) {
    ScratchDir dir;
    for (const char* name : {"book.xlsx", "odd#name.xlsx", "ODD.XLSM", "plain#1.csv"}) std::ofstream(dir / name) << "x";
    const std::string d = (dir / "");
    const struct {
        std::string name, file;
        std::optional<std::string> sheet;
    } cases[] = {
        {d + "book.xlsx", d + "book.xlsx", std::nullopt},
        {d + "book.xlsx#Data", d + "book.xlsx", "Data"},
        {d + "book.xlsx#a#b", d + "book.xlsx", "a#b"},           // a sheet name may hold '#'
        {d + "odd#name.xlsx", d + "odd#name.xlsx", std::nullopt}, // so may a file's
        {d + "odd#name.xlsx#计算表", d + "odd#name.xlsx", "计算表"},
        {d + "ODD.XLSM#S", d + "ODD.XLSM", "S"},
        {d + "plain#1.csv", d + "plain#1.csv", std::nullopt},
        {d + "missing.xlsx#S", d + "missing.xlsx", "S"},          // the workbook is what is missing
        {d + "missing#S", d + "missing#S", std::nullopt},
        {d + "book.xlsx#", d + "book.xlsx", ""},
    };
    for (const auto& c : cases) {
        const WorkbookName n = SplitWorkbookName(c.name);
        EXPECT_EQ(n.file, c.file) << c.name;
        EXPECT_EQ(n.sheet, c.sheet) << c.name;
    }
    EXPECT_EQ(CellName(1, 1), "A1");
    EXPECT_EQ(CellName(1048576, 16384), "XFD1048576");
    EXPECT_EQ(CellName(7, 28), "AB7");
}

// Every kind of cell, each in a cell of its own: (XML of the cell, its style's
// number format, what the reader must make of it).
TEST(WorkbookRead, CellsOfEveryKind) {
    struct Case {
        std::string xml;                 // the <c> element, at the column given by r
        CellType type;
        std::string text;
        double number;
        bool date;
    };
    // Styles: 0 General, 1 built-in date 14, 2 "0.00", 3 custom date, 4 elapsed
    // hours, 5 quoted letters only, 6 Chinese date (built-in 31), 7 [Red] and
    // a locale with a number, 8 scientific.
    const std::string styles = zipfixture::StylesXml(
        "<numFmt numFmtId=\"164\" formatCode=\"yyyy\\-mm\\-dd hh:mm\"/>"
        "<numFmt numFmtId=\"165\" formatCode=\"[h]:mm:ss\"/>"
        "<numFmt numFmtId=\"166\" formatCode=\"0.0&quot; days, m&quot;\"/>"
        "<numFmt numFmtId=\"167\" formatCode=\"[Red][$-804]#,##0.00_);\\(0\\)\"/>",
        "<xf numFmtId=\"0\"/><xf numFmtId=\"14\"/><xf numFmtId=\"2\"/><xf numFmtId=\"164\"/><xf numFmtId=\"165\"/>"
        "<xf numFmtId=\"166\"/><xf numFmtId=\"31\"/><xf numFmtId=\"167\"/><xf numFmtId=\"11\"/>");
    const std::string strings = zipfixture::SharedStringsXml(
        "<si><t>Elevation (ft)</t></si>"
        "<si><r><rPr><b/></rPr><t>Live </t></r><r><t xml:space=\"preserve\">Storage </t></r>"
        "<rPh sb=\"0\" eb=\"1\"><t>phonetic</t></rPh></si>"
        "<si><t>line_x000D_end _x005F_x0041_ 水位</t></si>");
    const std::vector<Case> cases = {
        {"<c r=\"A1\"><v>3490.5</v></c>", CellType::Number, "3490.5", 3490.5, false},
        {"<c r=\"B1\" s=\"2\"><v>3.1E-2</v></c>", CellType::Number, "3.1E-2", 0.031, false},
        {"<c r=\"C1\"><v> 7 </v></c>", CellType::Number, "7", 7, false},
        {"<c r=\"D1\" t=\"s\"><v>0</v></c>", CellType::Text, "Elevation (ft)", 0, false},
        {"<c r=\"E1\" t=\"s\"><v>1</v></c>", CellType::Text, "Live Storage ", 0, false},
        {"<c r=\"F1\" t=\"s\"><v>2</v></c>", CellType::Text, "line\rend _x0041_ 水位", 0, false},
        {"<c r=\"G1\" t=\"inlineStr\"><is><r><t>a</t></r><r><t>b</t></r></is></c>", CellType::Text, "ab", 0, false},
        {"<c r=\"H1\" t=\"str\"><f>A1&amp;\"\"</f><v>3490.5</v></c>", CellType::Text, "3490.5", 0, false},
        {"<c r=\"I1\" t=\"b\"><v>1</v></c>", CellType::Boolean, "TRUE", 1, false},
        {"<c r=\"J1\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>", CellType::Error, "#DIV/0!", 0, false},
        {"<c r=\"K1\" s=\"1\"><v>45497.583333333336</v></c>", CellType::Number, "45497.583333333336",
         45497.583333333336, true},
        {"<c r=\"L1\" s=\"3\"><v>45497.5</v></c>", CellType::Number, "45497.5", 45497.5, true},
        {"<c r=\"M1\" s=\"4\"><v>1.25</v></c>", CellType::Number, "1.25", 1.25, true},
        {"<c r=\"N1\" s=\"5\"><v>2</v></c>", CellType::Number, "2", 2, false},
        {"<c r=\"O1\" s=\"6\"><v>45000</v></c>", CellType::Number, "45000", 45000, true},
        {"<c r=\"P1\" s=\"7\"><v>12</v></c>", CellType::Number, "12", 12, false},
        {"<c r=\"Q1\" s=\"8\"><v>1E+300</v></c>", CellType::Number, "1E+300", 1e300, false},
        {"<c r=\"R1\" t=\"d\"><v>2024-07-24T14:00:00Z</v></c>", CellType::Number, "2024-07-24T14:00:00Z",
         45497 + 14.0 / 24, true},
        // Serial 61 is 1900-03-01 in Excel as here. Below it Excel counts a
        // 29 February 1900 that never was, so its serials 1..60 show one day
        // later than these day counts; records of floods lie far above.
        {"<c r=\"S1\" s=\"1\"><v>61</v></c>", CellType::Number, "61", 61, true},
        {"<c r=\"T1\"><v>4.9406564584124654E-324</v></c>", CellType::Number, "4.9406564584124654E-324", 4.9406564584124654E-324, false},
        {"<c r=\"XFD1\"><v>-0</v></c>", CellType::Number, "-0", 0, false},
    };
    std::string row;
    for (const auto& c : cases) row += c.xml;
    // Cells without a value, a formula without its result, a row without a
    // number and cells without references follow what is before them.
    const std::string data = "<row r=\"1\">" + row +
                             "</row><row r=\"3\"><c r=\"A3\" s=\"1\"/><c r=\"B3\"><f>A1</f></c></row>"
                             "<row><c><v>1</v></c><c t=\"s\"><v>0</v></c></row>"
                             "<row r=\"1048576\"><c r=\"C1048576\"><v>9</v></c></row>";
    ScratchDir dir;
    for (const bool date1904 : {false, true}) {
        MakeZip(dir / "cells.xlsx", MinimalBook({{"Cells", SheetXml(data)}}, strings, styles,
                                                date1904 ? "<workbookPr date1904=\"1\"/>" : ""));
        const Sheet sheet = ReadSheet({dir / "cells.xlsx", std::nullopt});
        EXPECT_EQ(sheet.date1904, date1904);
        ASSERT_EQ(sheet.rows.size(), 3u);
        ASSERT_EQ(sheet.rows[0].cells.size(), cases.size());
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const Case& c = cases[i];
            const Cell& cell = sheet.rows[0].cells[i];
            SCOPED_TRACE(c.xml);
            EXPECT_EQ(cell.type, c.type);
            EXPECT_EQ(cell.text, c.text);
            EXPECT_EQ(cell.date, c.date);
            // The 1904 system's serials are moved to the program's epoch; ISO
            // stamps name their day themselves.
            const double shift = date1904 && c.date && c.xml.find("t=\"d\"") == std::string::npos ? 1462 : 0;
            EXPECT_EQ(cell.number, c.number + shift);
        }
        EXPECT_EQ(sheet.rows[1].number, 4); // row 3 holds no value
        EXPECT_EQ(sheet.At(4, 1).number, 1);
        EXPECT_EQ(sheet.At(4, 2).text, "Elevation (ft)");
        EXPECT_EQ(sheet.At(1048576, 3).text, "9");
        EXPECT_EQ(sheet.At(3, 1).type, CellType::Empty);
    }
    DateTimeValue march1 = 0;
    ASSERT_TRUE(TryEncodeDate(1900, 3, 1, march1));
    EXPECT_EQ(march1, 61);
}

// LibreOffice's own workbook (tests/data/libreoffice.xlsx, made from
// libreoffice.fods by soffice --convert-to xlsx).
TEST(WorkbookRead, LibreOfficeWorkbook) {
    const std::string book = std::string(QUELMORA_SOURCE_DIR) + "/tests/data/libreoffice.xlsx";
    EXPECT_EQ(SheetNames(book), (std::vector<std::string>{"水位", "Record"}));
    const Sheet curve = ReadSheet(SplitWorkbookName(book));
    EXPECT_EQ(curve.At(1, 1).text, "水位 (m)");
    EXPECT_EQ(curve.At(1, 2).text, "库容 (亿m³)");
    EXPECT_EQ(curve.At(2, 1).number, 120);
    EXPECT_EQ(curve.At(3, 2).number, 0.0165);
    EXPECT_EQ(DecimalFromText(curve.At(4, 2).text), DecimalFromText("0.0281"));
    const Sheet record = ReadSheet(SplitWorkbookName(book + "#Record"));
    // LibreOffice stores 15 significant digits: the stamps lie within a
    // microsecond of the whole hour, and are taken as stored.
    EXPECT_TRUE(record.At(2, 1).date);
    EXPECT_EQ(record.At(2, 1).text, "45497.5833333333");
    EXPECT_EQ(record.At(2, 1).number, 45497.5833333333);
    const StampParts p = SplitStamp(record.At(3, 1).number);
    EXPECT_EQ(std::vector<long long>({p.year, p.month, p.day, p.hour, p.minute, p.second, p.millisecond}),
              std::vector<long long>({2024, 7, 24, 17, 0, 0, 0}));
    // One value for the moment, however a workbook stored it: LibreOffice's
    // 15 digits, openpyxl's sum of day and time in doubles, the exact value.
    double time = 0;
    ASSERT_TRUE(TryEncodeTime(14, 0, 0, 0, time));
    DateTimeValue july24 = 0;
    ASSERT_TRUE(TryEncodeDate(2024, 7, 24, july24));
    for (const double stored : {record.At(2, 1).number, 45497.58333333334, 45497.583333333336}) {
        Cell cell;
        cell.number = stored;
        EXPECT_EQ(CellStamp(cell), CombineDateTime(july24, time)) << stored;
    }
    EXPECT_EQ(record.At(2, 2).number, 160.31);
    EXPECT_EQ(record.At(2, 3).text, "note");
    // TRUE goes out as the number 1.
    EXPECT_EQ(record.At(3, 3).type, CellType::Number);
    EXPECT_EQ(record.At(3, 3).number, 1);
}

// Hostile and damaged files end in the program's errors, whose messages name
// the file (and the sheet).
TEST(WorkbookRead, HostileFilesEndInMessages) {
    ScratchDir dir;
    const std::string good = SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>");
    const auto book = [&](const std::string& sheetXml) { return MinimalBook({{"S", sheetXml}}); };
    const auto write = [&](const std::string& name, const std::string& bytes) { inflow_test::WriteFile(dir / name, bytes); };
    MakeZip(dir / "good.xlsx", book(good));
    const std::string goodBytes = ReadFile(dir / "good.xlsx");
    // A stored part whose bytes are changed after the archive was made.
    MakeZip(dir / "crc.xlsx", book(good), false);
    {
        std::fstream f(dir / "crc.xlsx", std::ios::in | std::ios::out | std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(f)), {});
        const auto at = bytes.find("<v>1</v>");
        f.seekp(static_cast<std::streamoff>(at + 3));
        f.put('2');
    }
    // A zip bomb in small: a sheet of 8 MiB of rows that packs into a few kB.
    std::string bomb;
    for (int i = 1; i <= 200000; ++i) bomb += "<row r=\"" + std::to_string(i) + "\"><c><v>0</v></c></row>";
    MakeZip(dir / "bomb.xlsx", book(SheetXml(bomb)));
    // A shared-string table of a million entries, every cell pointing past it.
    std::string sst;
    for (int i = 0; i < 1000000; ++i) sst += "<si/>";
    MakeZip(dir / "sst.xlsx", MinimalBook({{"S", SheetXml("<row r=\"1\"><c r=\"A1\" t=\"s\"><v>1000000</v></c></row>")}},
                                          zipfixture::SharedStringsXml(sst)));

    const ReadLimits tight{1 << 20, 25'000'000};
    struct Case {
        std::string what;
        std::function<void()> make;
        std::string name;
        std::string message;
        ReadLimits limits = {};
    };
    const std::string d = dir / "";
    const std::vector<Case> cases = {
        {"missing", [] {}, "nothing.xlsx", "nothing.xlsx: File not found"},
        {"a folder", [&] { fs::create_directory(dir / "folder.xlsx"); }, "folder.xlsx", "folder.xlsx: File access denied"},
        {"empty", [&] { write("empty.xlsx", ""); }, "empty.xlsx", "empty.xlsx: not a workbook (not a zip archive)"},
        {"text", [&] { write("text.xlsx", "level,storage\n1,2\n"); }, "text.xlsx", "text.xlsx: not a workbook (not a zip archive)"},
        {"old format", [&] { write("old.xlsx", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(600, '\0')); },
         "old.xlsx", "old.xlsx: not a workbook (a workbook with a password, or one in the old .xls format"},
        {"truncated", [&] { write("cut.xlsx", goodBytes.substr(0, goodBytes.size() / 2)); }, "cut.xlsx",
         "cut.xlsx: not a workbook (not a zip archive)"},
        {"no workbook part", [&] { MakeZip(dir / "nobook.xlsx", {{"a.txt", "x"}}); }, "nobook.xlsx",
         "nobook.xlsx: not a workbook (no xl/workbook.xml)"},
        {"no such sheet", [] {}, "good.xlsx#Data", "good.xlsx#Data: no such sheet; the workbook has: S"},
        {"sheet part missing", [&] {
             auto parts = book(good);
             std::erase_if(parts, [](const auto& p) { return p.first == "xl/worksheets/sheet1.xml"; });
             MakeZip(dir / "nosheet.xlsx", parts);
         }, "nosheet.xlsx", "nosheet.xlsx#S: malformed workbook: xl/worksheets/sheet1.xml, the sheet's part, is missing"},
        {"bad XML", [&] { MakeZip(dir / "xml.xlsx", book(SheetXml("<row r=\"1\"><c r=\"A1\"><v>1</c></row>"))); },
         "xml.xlsx", "xml.xlsx#S: malformed workbook: xl/worksheets/sheet1.xml line 1: "},
        {"ends early", [&] { MakeZip(dir / "early.xlsx", book(good.substr(0, good.size() - 30))); },
         "early.xlsx", "early.xlsx#S: malformed workbook: xl/worksheets/sheet1.xml line 1: the part ends early"},
        {"entities", [&] {
             MakeZip(dir / "dtd.xlsx", book("<!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>" + good));
         }, "dtd.xlsx", "dtd.xlsx#S: malformed workbook: xl/worksheets/sheet1.xml line 1: a document type declaration"},
        {"checksum", [] {}, "crc.xlsx", "crc.xlsx#S: malformed workbook: xl/worksheets/sheet1.xml is damaged (its checksum does not match)"},
        {"bomb", [] {}, "bomb.xlsx", "bomb.xlsx#S: xl/worksheets/sheet1.xml unpacks to more than 1048576 bytes; not read", tight},
        {"too many cells", [] {}, "bomb.xlsx", "bomb.xlsx#S: more than 150000 cells; not read", ReadLimits{std::uint64_t{1} << 30, 150000}},
        {"huge shared strings", [] {}, "sst.xlsx", "sst.xlsx#S: malformed workbook: xl/worksheets/sheet1.xml line 1: cell A1 refers to shared string '1000000', but the workbook has 1000000"},
        {"cell beyond XFD", [&] { MakeZip(dir / "xfe.xlsx", book(SheetXml("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>"))); },
         "xfe.xlsx", "cell reference 'XFE1' (cells run from A1 to XFD1048576)"},
        {"row beyond the last", [&] { MakeZip(dir / "row.xlsx", book(SheetXml("<row r=\"1048577\"/>"))); },
         "row.xlsx", "row 1048577 lies beyond the sheet's 1048576 rows"},
        {"absurd reference", [&] { MakeZip(dir / "abs.xlsx", book(SheetXml("<row r=\"1\"><c r=\"A99999999999999999999\"><v>1</v></c></row>"))); },
         "abs.xlsx", "cell reference 'A99999999999999999999'"},
        {"rows out of order", [&] { MakeZip(dir / "order.xlsx", book(SheetXml("<row r=\"5\"/><row r=\"3\"/>"))); },
         "order.xlsx", "row 3 after row 5"},
        {"cells out of order", [&] { MakeZip(dir / "cells.xlsx", book(SheetXml("<row r=\"1\"><c r=\"B1\"><v>1</v></c><c r=\"A1\"><v>1</v></c></row>"))); },
         "cells.xlsx", "cell A1 after cell B1"},
        {"cell of another row", [&] { MakeZip(dir / "other.xlsx", book(SheetXml("<row r=\"1\"><c r=\"B2\"><v>1</v></c></row>"))); },
         "other.xlsx", "cell B2 in row 1"},
        {"not a number", [&] { MakeZip(dir / "nan.xlsx", book(SheetXml("<row r=\"1\"><c r=\"A1\"><v>nan</v></c></row>"))); },
         "nan.xlsx", "cell A1 holds 'nan', not a number"},
        {"number beyond doubles", [&] { MakeZip(dir / "inf.xlsx", book(SheetXml("<row r=\"1\"><c r=\"A1\"><v>1E999</v></c></row>"))); },
         "inf.xlsx", "cell A1 holds '1E999', not a number"},
        {"no sheets", [&] { MakeZip(dir / "none.xlsx", MinimalBook({})); }, "none.xlsx", "none.xlsx: the workbook has no sheets"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        c.make();
        const std::string message = inflow_test::MessageOf([&] { ReadSheet(SplitWorkbookName(d + c.name), c.limits); });
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_EQ(message.rfind(d, 0), 0u) << "names the file: " << message;
    }
    // The bomb is no bomb under the default bound: 200,000 rows come out whole.
    EXPECT_EQ(ReadSheet({d + "bomb.xlsx", std::nullopt}).rows.size(), 200000u);
}
