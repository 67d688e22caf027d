// The workbook reader on arbitrary bytes. Bytes that start as a zip archive
// does ("PK") are the file itself: damaged archives, bombs, truncations.
// Other bytes are the parts of a workbook, separated by lines "@@": the
// sheet, the shared strings, the styles and (when given) the workbook part,
// stored in a fresh archive, so that mutations reach the XML readers instead
// of ending at the archive's checksums. Every sheet read must keep the
// reader's promises, and a small one must survive being written by the
// writer and read again. The first sheet is then read as the readers of
// curves and records take it, row by row: its lines must be the sheet's rows,
// and a load that fails must name one of them.

#include "FuzzSupport.h"
#include "../workbook/ZipFixture.h"

#include "InflowWork.h"
#include "RecordFormat.h"
#include "Workbook.h"
#include "WorkbookLines.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace workbook;

std::vector<std::string> SplitParts(std::string_view in) {
    std::vector<std::string> parts;
    for (;;) {
        const auto at = in.find("\n@@\n");
        parts.emplace_back(in.substr(0, at));
        if (at == std::string_view::npos) break;
        in.remove_prefix(at + 4);
    }
    return parts;
}

void CheckSheet(const Sheet& sheet) {
    int lastRow = 0;
    for (const Row& row : sheet.rows) {
        FUZZ_CHECK(row.number > lastRow && row.number <= kMaxRows);
        FUZZ_CHECK(!row.cells.empty());
        lastRow = row.number;
        int lastColumn = 0;
        for (const Cell& cell : row.cells) {
            FUZZ_CHECK(cell.column > lastColumn && cell.column <= kMaxColumns);
            lastColumn = cell.column;
            FUZZ_CHECK(cell.type != CellType::Empty);
            FUZZ_CHECK(&sheet.At(row.number, cell.column) == &cell);
            if (cell.type == CellType::Number) {
                FUZZ_CHECK(std::isfinite(cell.number));
                // A plain number is its stored text's value.
                if (!cell.date) FUZZ_CHECK(std::strtod(cell.text.c_str(), nullptr) == cell.number);
            } else if (cell.type == CellType::Boolean) {
                FUZZ_CHECK((cell.number == 1 && cell.text == "TRUE") || (cell.number == 0 && cell.text == "FALSE"));
            }
        }
    }
}

// The sheet's cells written by the writer and read again: texts exactly,
// numbers within the writer's 16 digits.
void WriteBack(const Sheet& sheet) {
    std::size_t cells = 0;
    for (const Row& row : sheet.rows) cells += row.cells.size();
    if (cells == 0 || cells > 300 || sheet.rows.back().number > 400) return;
    OutDocument doc;
    OutSheet& out = doc.sheets.emplace_back();
    out.name = "S";
    std::vector<std::vector<OutCell>> grid(static_cast<std::size_t>(sheet.rows.back().number));
    for (const Row& row : sheet.rows)
        for (const Cell& cell : row.cells) {
            if (cell.column > 64) continue;
            if (cell.type == CellType::Text && cell.text.size() > 32767) return;
            auto& line = grid[static_cast<std::size_t>(row.number - 1)];
            line.resize(std::max(line.size(), static_cast<std::size_t>(cell.column)));
            OutCell& o = line[static_cast<std::size_t>(cell.column - 1)];
            if (cell.type == CellType::Text || cell.type == CellType::Error) o = OutCell::Txt(cell.text);
            else if (std::fabs(cell.number) <= 9.99999999999999e307) o = OutCell::Num(cell.number);
        }
    out.SetCells(grid);
    const std::string path = fuzz::ScratchDir::Get().File("back.xlsx");
    // Nothing here may fail: the texts fit, the numbers are in range.
    Sheet back;
    try {
        WriteWorkbook(doc, path);
        back = ReadSheet({path, std::nullopt});
    } catch (const Exception& e) {
        std::fprintf(stderr, "write back: %s\n", e.what());
        std::abort();
    }
    for (std::size_t r = 0; r < grid.size(); ++r)
        for (std::size_t c = 0; c < grid[r].size(); ++c) {
            const OutCell& o = grid[r][c];
            const Cell& b = back.At(static_cast<int>(r + 1), static_cast<int>(c + 1));
            if (o.kind == OutCell::Kind::Text) {
                FUZZ_CHECK(o.text.empty() ? b.type == CellType::Empty : b.type == CellType::Text && b.text == o.text);
            } else if (o.kind == OutCell::Kind::Number) {
                FUZZ_CHECK(b.type == CellType::Number);
                FUZZ_CHECK(std::fabs(b.number - o.number) <= 6.2e-16 * std::fabs(o.number) + 5e-324);
            } else {
                FUZZ_CHECK(b.type == CellType::Empty);
            }
        }
}

// The sheet as lines: one per row that holds a value (a row of blank texts
// only gives none), numbered by its row, a date cell's stamp where its field
// is; then loaded as a curve and as a record, plain and by headings.
void ReadAsLines(const std::string& path, const Sheet& sheet, const ReadLimits& limits) {
    std::vector<int> rows;
    for (const Row& row : sheet.rows) {
        bool blank = true;
        for (const Cell& c : row.cells)
            blank = blank && c.type == CellType::Text && c.text.find_first_not_of(" \t\r\n") == std::string::npos;
        if (!blank) rows.push_back(row.number);
    }
    SheetLines lines({path, sheet.name}, limits);
    std::string line;
    std::size_t k = 0;
    while (!lines.AtEnd()) {
        lines.ReadLine(line);
        FUZZ_CHECK(k < rows.size() && lines.LineNumber() == rows[k]);
        const Row& row = *std::find_if(sheet.rows.begin(), sheet.rows.end(),
                                       [&](const Row& r) { return r.number == rows[k]; });
        // Fields run from column A: the line has a comma before each cell's column.
        FUZZ_CHECK(static_cast<std::size_t>(std::count(line.begin(), line.end(), ',')) ==
                   static_cast<std::size_t>(row.cells.back().column - 1));
        for (const Cell& c : row.cells) {
            DateTimeValue stamp;
            FUZZ_CHECK(lines.FieldStamp(static_cast<std::size_t>(c.column - 1), stamp) ==
                       (c.type == CellType::Number && c.date));
        }
        ++k;
    }
    FUZZ_CHECK(k == rows.size());

    const std::string name = path + "#" + sheet.name;
    const TOptionPairs formats[] = {{}, {{"--columns", "time=time,level=level,outflow=outflow"}, {"--missing", "skip"}}};
    for (const TOptionPairs& options : formats) {
        InflowWork work;
        work.ShowTables = false;
        work.FloodFormat = ReadRecordFormat(TFileKind::Flood, options);
        try {
            work.ReadCurve(name);
        } catch (const Exception&) {
        }
        try {
            work.ReadFlood(name);
        } catch (const Exception&) {
        }
        if (work.FailedLine) FUZZ_CHECK(std::binary_search(rows.begin(), rows.end(), work.FailedLine->line));
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string path = fuzz::ScratchDir::Get().File("book.xlsx");
    const std::string_view in(reinterpret_cast<const char*>(data), size);
    if (in.starts_with("PK")) {
        fuzz::WriteBytes(path, data, size);
    } else {
        const auto parts = SplitParts(in);
        auto book = zipfixture::MinimalBook({{"S", parts[0]}}, parts.size() > 1 ? parts[1] : "",
                                            parts.size() > 2 ? parts[2] : "");
        if (parts.size() > 3)
            for (auto& [name, contents] : book)
                if (name == "xl/workbook.xml") contents = parts[3];
        zipfixture::MakeZip(path, book, false);
    }
    // Small bounds: a bomb is refused after 8 MiB, not after a gigabyte.
    const ReadLimits limits{8 << 20, 1'000'000};
    static const bool installed = (InstallWorkbookLines(), true);
    (void)installed;
    try {
        const auto names = SheetNames(path, limits);
        for (std::size_t i = 0; i < names.size() && i < 3; ++i) {
            const Sheet sheet = ReadSheet({path, names[i]}, limits);
            FUZZ_CHECK(sheet.name == names[i]);
            CheckSheet(sheet);
            WriteBack(sheet);
            if (i == 0) ReadAsLines(path, sheet, limits);
        }
    } catch (const Exception&) {
        // A message for the user: the expected end of most inputs.
    }
    return 0;
}
