#pragma once
// Excel workbooks (.xlsx) in and out: a sheet read as rows of cells, and a
// document of sheets written with libxlsxwriter. No widgets and no knowledge
// of curves or records: the readers of those take their cells from here.

#include "DateTime.h"
#include "Exceptions.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class LineFile;

namespace workbook {

// A workbook that cannot be read or written as one: not a zip archive, a part
// missing or malformed, an unknown sheet, a part that unpacks beyond the
// bound. The message names the file, and the sheet where there is one
// ("book.xlsx#Data: no such sheet; the workbook has: Sheet1, Sheet2").
// A file that cannot be opened or created at all raises EInOutError instead,
// with the file's name before the usual text ("book.xlsx: File not found").
class EWorkbookError : public Exception {
public:
    EWorkbookError(std::string file, std::string message)
        : Exception(std::move(message)), File(std::move(file)) {}
    std::string File; // the workbook as the user named it, without the sheet
};

// ---- Names --------------------------------------------------------------

// A workbook named on a command line or in a dialog: FILE or FILE#SHEET.
struct WorkbookName {
    std::string file;
    std::optional<std::string> sheet; // none: the first sheet
};

// Splits FILE#SHEET so that a file whose own name holds '#' still works:
//  1. a name that exists as a file is the file, whatever it holds;
//  2. otherwise the last '#' whose left part ends in .xlsx or .xlsm (any case)
//     and names an existing file splits it (the sheet may hold '#' itself);
//  3. otherwise the last '#' whose left part ends in .xlsx or .xlsm splits it,
//     so that the missing workbook, not the whole name, is reported missing;
//  4. otherwise the name is the file.
WorkbookName SplitWorkbookName(const std::string& name);
// Whether a file name ends in .xlsx or .xlsm, ASCII case ignored.
bool IsWorkbookFileName(std::string_view file);

// ---- Reading ------------------------------------------------------------

enum class CellType : std::uint8_t { Empty, Number, Text, Boolean, Error };

struct Cell {
    int column = 0;                    // 1 for column A
    CellType type = CellType::Empty;
    // A number shown with a date or time format. Its number is then a
    // DateTimeValue: days from 1899-12-30, whatever date system the workbook
    // keeps (1904 workbooks' serials are moved by 1462 days).
    bool date = false;
    double number = 0;                 // Number: the value; Boolean: 1 or 0
    // Number: the stored text, exactly as the workbook holds it ("3490.5",
    // "0.27500000000000002", "1E-3"; for a date, the stored serial or ISO
    // text); Text: the text; Boolean: "TRUE" or "FALSE"; Error: "#N/A", ...
    std::string text;
};

struct Row {
    int number = 0;                    // 1 for the first row
    std::vector<Cell> cells;           // ascending columns; cells without a value left out
};

struct Sheet {
    std::string name;
    bool date1904 = false;             // the workbook counts its serials from 1904-01-01
    std::vector<Row> rows;             // ascending; rows without a value left out
    // The cell at (row, column), 1-based; a cell of type Empty where there is none.
    const Cell& At(int row, int column) const;
};

// A date cell's time as a text stamp of the same moment reads: the stored
// serial rounded to whole milliseconds and encoded as the text readers encode
// dates and times. Workbooks store the same moment differently (LibreOffice
// keeps 15 digits, openpyxl adds day and time in doubles, libxlsxwriter
// keeps 16 digits); this gives them all, and the CSV's stamp, one value.
// Beyond the years 1..9999 the number as it is.
DateTimeValue CellStamp(const Cell& cell);

// Bounds against hostile or damaged files, each refused with a message
// rather than read: any single part of the workbook (the sheet, the shared
// strings, ...) that unpacks to more bytes than maxPartBytes (the default
// holds a sheet of a million rows of about 30 columns; a zip bomb stops
// there), and, for ReadSheet, a sheet of more cells than maxCells (about
// 60 bytes each: the default stays within 1.5 GB). ReadSheetRows holds one
// row at a time and knows no cell bound.
struct ReadLimits {
    std::uint64_t maxPartBytes = std::uint64_t{1} << 30;
    std::size_t maxCells = 25'000'000;
};

// The sheets' names in the workbook's order.
std::vector<std::string> SheetNames(const std::string& file, const ReadLimits& limits = {});

// Reads the sheet (the first one when none is named) whole.
Sheet ReadSheet(const WorkbookName& name, const ReadLimits& limits = {});

// Streams the sheet: onRow sees each row that holds a value, in order, and
// may keep what it needs (the row is reused for the next one). For sheets too
// large to hold as cells. onSheet (may be empty) gets the sheet's name and
// date system, without rows, before the first row.
void ReadSheetRows(const WorkbookName& name, const std::function<void(const Sheet& header)>& onSheet,
                   const std::function<void(const Row&)>& onRow, const ReadLimits& limits = {});

// The sheet's rows pulled one at a time, for a reader that asks for its next
// line (ReadSheetRows gives them to a callback): only the row at hand, the
// shared strings and the styles are held. The workbook is opened and the
// sheet chosen when made; a fault of the file raises as ReadSheetRows does.
class SheetRows {
public:
    explicit SheetRows(const WorkbookName& name, const ReadLimits& limits = {});
    ~SheetRows();
    SheetRows(const SheetRows&) = delete;
    SheetRows& operator=(const SheetRows&) = delete;
    // The sheet's name and date system.
    const Sheet& Header() const { return header_; }
    // The next row that holds a value; false after the last (once the rest
    // of the sheet's part was checked).
    bool Next(Row& row);

private:
    struct Parts;
    std::unique_ptr<Parts> parts_;
    Sheet header_;
    bool finished_ = false;
};

// "A1" for (1, 1); columns run A..XFD (16384), rows 1..1048576.
std::string CellName(int row, int column);
inline constexpr int kMaxRows = 1048576;
inline constexpr int kMaxColumns = 16384;

// ---- Writing ------------------------------------------------------------

struct OutCell {
    enum class Kind : std::uint8_t { Empty, Number, Text, Date } kind = Kind::Empty;
    double number = 0;                 // Number; Date: a DateTimeValue (days from 1899-12-30)
    std::string text;                  // Text (UTF-8); an empty text leaves the cell empty

    static OutCell Num(double v) { return {Kind::Number, v, {}}; }
    static OutCell Txt(std::string t) { return {Kind::Text, 0, std::move(t)}; }
    static OutCell Time(DateTimeValue v) { return {Kind::Date, v, {}}; }
};

// A PNG picture placed with its top left corner at a cell (0-based).
struct OutPicture {
    int row = 0;
    int column = 0;
    std::string png;                   // the file's bytes
    double scale = 1.0;
};

// A sheet of rows × columns cells, asked for row by row (row 0 first) while
// the workbook is written: a table of a million records need not be copied
// into cells first. SetCells fills it from cells already made.
struct OutSheet {
    std::string name;                  // at most 31 characters, none of []:*?/\ .
    std::vector<double> columnWidths;  // in characters, from column A; 0 keeps the default
    std::string dateFormat = "yyyy-mm-dd hh:mm:ss";
    int rows = 0;
    int columns = 0;
    std::function<OutCell(int row, int column)> cell;
    std::vector<OutPicture> pictures;

    void SetCells(std::vector<std::vector<OutCell>> cells);
};

struct OutDocument {
    std::vector<OutSheet> sheets;
};

// Writes the document to exactly `path` (replacing a file there), leaving no
// other file behind. Numbers are stored with 16 significant digits, as
// libxlsxwriter writes them: a number of at most 16 significant digits (every
// four-decimal value below 10^12) reads back as the same double; any other
// within 6.2e-16 of its size, and a time before the year 2173 within a
// microsecond (so in the same millisecond).
// Raises EInOutError ("PATH: ...") when the file cannot be created and
// EWorkbookError naming PATH (and the sheet and cell) for anything else; on
// failure a regular file at PATH is removed.
void WriteWorkbook(const OutDocument& document, const std::string& path);
// Writes the document into a channel open for writing (one of a run's outputs
// made all or none, standard output, a pipe): libxlsxwriter writes only to a
// named file, so the workbook is made in a private temporary first (beside
// the channel's file where its folder takes one, else in TMPDIR or /tmp),
// then copied into the channel; the temporary goes in every case.
void WriteWorkbook(const OutDocument& document, LineFile& file);

} // namespace workbook
