// Writing workbooks: random documents written and read back (under a locale
// whose decimal mark is a comma too), and failures that leave nothing behind.

#include "Workbook.h"
#include "../app/InflowTestSupport.h"

#include <unzip.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;
using namespace workbook;
using inflow_test::ReadFile;
using inflow_test::ScratchDir;

namespace {

// One part of a zip archive, or "(missing)".
std::string ZipPart(const std::string& zip, const std::string& part) {
    unzFile z = unzOpen64(zip.c_str());
    if (!z) return "(no archive)";
    std::string out = "(missing)";
    if (unzLocateFile(z, part.c_str(), 1) == UNZ_OK && unzOpenCurrentFile(z) == UNZ_OK) {
        out.clear();
        char buf[4096];
        for (int n; (n = unzReadCurrentFile(z, buf, sizeof buf)) > 0;) out.append(buf, static_cast<std::size_t>(n));
        unzCloseCurrentFile(z);
    }
    unzClose(z);
    return out;
}

// What a written cell must read back as.
struct Expected {
    OutCell cell;
    bool exact; // a number of at most 16 significant digits
};

class RandomDocument {
public:
    explicit RandomDocument(unsigned seed) : random_(seed) {}

    OutDocument Make(std::vector<std::map<std::pair<int, int>, Expected>>& expected) {
        OutDocument doc;
        const std::vector<std::string> names = {"计算表", "摘要", "修正", "过程线", "Sheet 5"};
        const int sheets = 1 + static_cast<int>(random_() % names.size());
        for (int s = 0; s < sheets; ++s) {
            auto& want = expected.emplace_back();
            std::vector<std::vector<OutCell>> cells(1 + random_() % 60);
            for (std::size_t r = 0; r < cells.size(); ++r) {
                cells[r].resize(random_() % 9);
                for (std::size_t c = 0; c < cells[r].size(); ++c) {
                    bool exact = true;
                    cells[r][c] = Cell(exact);
                    const OutCell& cell = cells[r][c];
                    if (cell.kind != OutCell::Kind::Empty && !(cell.kind == OutCell::Kind::Text && cell.text.empty()))
                        want[{static_cast<int>(r) + 1, static_cast<int>(c) + 1}] = {cells[r][c], exact};
                }
            }
            OutSheet sheet;
            sheet.name = names[static_cast<std::size_t>(s)];
            sheet.columnWidths = {18.5, 0, 9};
            sheet.SetCells(std::move(cells));
            doc.sheets.push_back(std::move(sheet));
        }
        return doc;
    }

private:
    OutCell Cell(bool& exact) {
        switch (random_() % 7) {
        case 0:
            return {};
        case 1: {
            // A four-decimal value of the result file's range.
            const long long units = static_cast<long long>(random_() % 2000000000000ULL) - 1000000000000LL;
            return OutCell::Num(static_cast<double>(units) / 10000.0);
        }
        case 2: {
            // Up to 16 significant digits at any scale.
            char text[64];
            std::snprintf(text, sizeof text, "%lldE%d",
                          static_cast<long long>(random_() % 10000000000000000ULL) * (random_() % 2 ? 1 : -1),
                          static_cast<int>(random_() % 200) - 100);
            return OutCell::Num(std::strtod(text, nullptr));
        }
        case 3: {
            // Any finite double: it comes back within the bound of 16 digits.
            double v;
            do {
                const std::uint64_t bits = random_();
                std::memcpy(&v, &bits, sizeof v);
            } while (!std::isfinite(v) || std::fabs(v) > 9.99999999999999e307);
            exact = false;
            return OutCell::Num(v);
        }
        case 4:
        case 5: {
            // Whole milliseconds from 1900-03-01 to 2173.
            const double day = 61 + static_cast<double>(random_() % 99000);
            const double ms = static_cast<double>(random_() % 86400000);
            exact = false;
            return OutCell::Time(day + ms / 86400000.0);
        }
        default: {
            static const std::vector<std::string> pieces = {
                "水位", "m³/s", " ", "  lead", "trail  ", "<&>\"'", "\t", "\n", "\r", "\r\n", std::string(1, '\x01'),
                std::string(1, '\0'), "_x0041_", "_x005F_", "_x", "\xEF\xBF\xBE", "😀", "ä", "Σ", "2024-07-24", "3.5"};
            std::string text;
            for (auto n = random_() % 6; n > 0; --n) text += pieces[random_() % pieces.size()];
            return OutCell::Txt(text);
        }
        }
    }

    std::mt19937_64 random_;
};

class LocaleScope {
public:
    explicit LocaleScope(const char* name) : was_(std::setlocale(LC_ALL, nullptr)) {
        ok_ = std::setlocale(LC_ALL, name) != nullptr;
    }
    ~LocaleScope() { std::setlocale(LC_ALL, was_.c_str()); }
    bool ok() const { return ok_; }

private:
    std::string was_;
    bool ok_;
};

} // namespace

// Random documents written and read back must give every cell again: texts
// byte for byte (blanks, line ends, control characters, escapes, Chinese,
// NUL), numbers of up to 16 digits exactly, any other number and every time
// within 16 digits' reach. Under de_DE too, whose C library writes "0,5".
TEST(WorkbookWrite, RandomDocumentsReadBackAsWritten) {
    for (const char* locale : {"C", "de_DE.UTF-8", "zh_CN.UTF-8"}) {
        const LocaleScope scope(locale);
        if (!scope.ok()) {
            ADD_FAILURE() << "locale " << locale << " missing (tools/setup.sh makes it)";
            continue;
        }
        for (unsigned seed = 1; seed <= 8; ++seed) {
            SCOPED_TRACE(std::string(locale) + " seed " + std::to_string(seed));
            ScratchDir dir;
            std::vector<std::map<std::pair<int, int>, Expected>> expected;
            const OutDocument doc = RandomDocument(seed).Make(expected);
            WriteWorkbook(doc, dir / "out.xlsx");
            EXPECT_EQ(dir.Names(), std::vector<std::string>{"out.xlsx"});

            std::vector<std::string> names;
            for (const auto& s : doc.sheets) names.push_back(s.name);
            ASSERT_EQ(SheetNames(dir / "out.xlsx"), names);
            for (std::size_t s = 0; s < doc.sheets.size(); ++s) {
                const Sheet sheet = ReadSheet({dir / "out.xlsx", names[s]});
                std::size_t cells = 0;
                for (const auto& row : sheet.rows) cells += row.cells.size();
                EXPECT_EQ(cells, expected[s].size());
                for (const auto& [at, want] : expected[s]) {
                    const Cell& got = sheet.At(at.first, at.second);
                    SCOPED_TRACE(names[s] + "!" + CellName(at.first, at.second) + " " + got.text);
                    switch (want.cell.kind) {
                    case OutCell::Kind::Text:
                        EXPECT_EQ(got.type, CellType::Text);
                        EXPECT_EQ(got.text, want.cell.text);
                        break;
                    case OutCell::Kind::Number:
                    case OutCell::Kind::Date: {
                        EXPECT_EQ(got.type, CellType::Number);
                        EXPECT_EQ(got.date, want.cell.kind == OutCell::Kind::Date);
                        const double v = want.cell.number;
                        if (want.exact) EXPECT_EQ(got.number, v);
                        else EXPECT_LE(std::fabs(got.number - v), 6.2e-16 * std::fabs(v));
                        if (want.cell.kind == OutCell::Kind::Date) {
                            EXPECT_LE(std::fabs(got.number - v), 1e-6 / 86400);
                            EXPECT_EQ(SplitStamp(got.number).millisecond, SplitStamp(v).millisecond);
                            EXPECT_EQ(SplitStamp(got.number).second, SplitStamp(v).second);
                        }
                        break;
                    }
                    case OutCell::Kind::Empty:
                        break;
                    }
                }
            }
        }
    }
}

// The picture goes into the workbook byte for byte, with the cells' widths.
TEST(WorkbookWrite, PictureAndColumnWidths) {
    ScratchDir dir;
    const std::string png = ReadFile(std::string(QUELMORA_SOURCE_DIR) + "/resources/icons/48x48/quelmora.png");
    ASSERT_GT(png.size(), 100u);
    OutDocument doc;
    OutSheet& sheet = doc.sheets.emplace_back();
    sheet.name = "过程线";
    sheet.columnWidths = {20};
    sheet.pictures.push_back({1, 1, png, 0.5});
    sheet.SetCells({{OutCell::Txt("hydrograph")}});
    WriteWorkbook(doc, dir / "picture.xlsx");
    EXPECT_EQ(ZipPart(dir / "picture.xlsx", "xl/media/image1.png"), png);
    EXPECT_NE(ZipPart(dir / "picture.xlsx", "xl/worksheets/sheet1.xml").find("<col min=\"1\" max=\"1\" width=\"20.7109375\""),
              std::string::npos);
    EXPECT_EQ(ReadSheet({dir / "picture.xlsx", std::nullopt}).At(1, 1).text, "hydrograph");
}

// Every failure names the destination, and leaves no file behind: not the
// destination, not libxlsxwriter's temporaries.
TEST(WorkbookWrite, FailuresNameTheFileAndLeaveNothing) {
    const auto sheetOf = [](const std::string& name, std::vector<std::vector<OutCell>> cells) {
        OutDocument doc;
        doc.sheets.emplace_back().name = name;
        doc.sheets.back().SetCells(std::move(cells));
        return doc;
    };
    OutDocument twice = sheetOf("计算表", {{OutCell::Num(1)}});
    twice.sheets.push_back(twice.sheets.front());
    OutDocument throwing = sheetOf("S", {});
    throwing.sheets[0].rows = 3;
    throwing.sheets[0].columns = 1;
    throwing.sheets[0].cell = [](int r, int) -> OutCell {
        if (r == 2) throw EConvertError("the caller's own error");
        return OutCell::Num(r);
    };
    OutDocument tooLong = sheetOf("S", {});
    tooLong.sheets[0].rows = kMaxRows + 1;
    OutDocument badPicture = sheetOf("S", {{OutCell::Num(1)}});
    badPicture.sheets[0].pictures.push_back({0, 0, "not a png", 1});
    OutDocument big = sheetOf("S", {});
    big.sheets[0].rows = 20000;
    big.sheets[0].columns = 5;
    big.sheets[0].cell = [](int r, int c) { return OutCell::Num(r * 10.0 + c + 0.25); };

    struct Case {
        std::string what;
        OutDocument doc;
        std::string file;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"missing folder", sheetOf("S", {}), "no/such/folder/out.xlsx", "no/such/folder/out.xlsx: "},
        {"sheet name", sheetOf("a[b]", {}), "out.xlsx", "out.xlsx#a[b]: "},
        {"sheet twice", twice, "out.xlsx", "out.xlsx#计算表: "},
        {"no sheets", OutDocument{}, "out.xlsx", "out.xlsx: a workbook needs at least one sheet"},
        {"not a number", sheetOf("S", {{}, {OutCell::Num(1), OutCell::Num(std::nan(""))}}), "out.xlsx",
         "out.xlsx#S: cell B2: no finite number"},
        {"too large", sheetOf("S", {{OutCell::Num(-1e308)}}), "out.xlsx", "out.xlsx#S: cell A1: a number beyond the largest"},
        {"infinite time", sheetOf("S", {{OutCell::Time(INFINITY)}}), "out.xlsx", "out.xlsx#S: cell A1: no finite number"},
        {"text too long", sheetOf("S", {{OutCell::Txt(std::string(32768, 'x'))}}), "out.xlsx", "out.xlsx#S: cell A1: "},
        {"caller's error", throwing, "out.xlsx", "the caller's own error"},
        {"too many rows", tooLong, "out.xlsx", "out.xlsx#S: 1048577 rows; a sheet holds at most 1048576"},
        {"bad picture", badPicture, "out.xlsx", "out.xlsx#S: the picture at A1: "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir dir;
        std::string message = "(no error)";
        try {
            WriteWorkbook(c.doc, dir / c.file);
        } catch (const Exception& e) {
            message = e.Message;
        }
        EXPECT_NE(message.find(c.message), std::string::npos) << message;
        EXPECT_EQ(dir.Names(), std::vector<std::string>{}) << message;
    }

    // The disk fills while the workbook is written: a file size limit makes
    // the writes fail for real.
    ScratchDir dir;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    for (const rlim_t limit : {rlim_t{2000}, rlim_t{40000}, rlim_t{150000}}) {
        SCOPED_TRACE(limit);
        rlimit tight = saved;
        tight.rlim_cur = limit;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tight), 0);
        std::string message = "(no error)";
        try {
            WriteWorkbook(big, dir / "big.xlsx");
        } catch (const Exception& e) {
            message = e.Message;
        }
        setrlimit(RLIMIT_FSIZE, &saved);
        EXPECT_EQ(message.rfind(dir / "big.xlsx", 0), 0u) << message;
        EXPECT_EQ(dir.Names(), std::vector<std::string>{}) << message;
    }
    std::signal(SIGXFSZ, oldHandler);
    WriteWorkbook(big, dir / "big.xlsx");
    EXPECT_EQ(ReadSheet({dir / "big.xlsx", std::nullopt}).At(20000, 5).number, 199994.25);

    // A device is written to but never removed.
    struct stat st;
    if (::stat("/dev/full", &st) == 0) {
        EXPECT_THROW(WriteWorkbook(sheetOf("S", {{OutCell::Num(1)}}), "/dev/full"), Exception);
        ASSERT_EQ(::stat("/dev/full", &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode));
    }
}
