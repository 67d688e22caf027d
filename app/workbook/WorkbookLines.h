#pragma once
// A workbook's sheet as lines for the readers of curves and records
// (FILE.xlsx for the first sheet, FILE.xlsx#SHEET for another): each row that
// holds a value is a line, numbered by its row, of its cells' texts joined by
// commas, column A the first field. The readers then take it as they take a
// text file: the same columns, units, gaps and messages ("book.xlsx#Data:17").
//
//  - A number is its stored text, so that the workbook and the CSV made from
//    it give the same values; a text of more digits than a double holds
//    ("0.27500000000000002"), or with an exponent, is the shortest text that
//    gives the same double ("0.275").
//  - A date cell is its time value itself (CellStamp), taken as the record's
//    time without a detour through a text; the line shows it as a stamp text.
//  - Empty cells and error cells (#N/A) are blank fields: missing values.
//  - A comma in a text becomes ';' and a line break a blank: a line's commas
//    part its cells.
//  - The heading is the first row that holds every heading the columns name
//    (title rows above it are passed over).
//
// This bridge lives apart from both the workbook reader (which knows nothing
// of records) and the core (which stays free of Qt): each front end installs
// it at start-up.

#include "LineSource.h"
#include "Workbook.h"

#include <memory>
#include <string>
#include <vector>

namespace workbook {

class SheetLines : public TLineSource {
public:
    explicit SheetLines(const WorkbookName& name, const ReadLimits& limits = {});
    bool AtEnd() override { return !ahead_; }
    void ReadLine(std::string& line) override;
    std::int64_t LineNumber() const override { return number_; }
    bool FieldStamp(std::size_t field, DateTimeValue& value) const override;
    bool SeeksHeading() const override { return true; }

private:
    void Fetch();

    SheetRows rows_;
    Row row_;
    bool ahead_ = false;
    std::int64_t number_ = 0;
    // The date cells of the line last read: field index and time value.
    std::vector<std::pair<std::size_t, DateTimeValue>> stamps_;
};

// The text a number cell gives its line.
std::string NumberFieldText(const Cell& cell);

// A source for a workbook name (by its .xlsx or .xlsm ending), or null.
std::unique_ptr<TLineSource> OpenWorkbookLines(const std::string& name);
// Lets every reader of the process take workbooks.
void InstallWorkbookLines();

} // namespace workbook
