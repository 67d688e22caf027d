#pragma once
// The line readers of the two kinds of file, one per kind for every format:
// the window's tables, batch mode (loading, or computing as it reads), the
// record check and the Python module all read a line through them. A line is
// cut at its commas (SplitFields); the chosen fields become numbers in the
// program's units (m, 10^8 m^3, m^3/s) and the time a time value. A field
// that cannot be read is kept as its fault, in field order, and the reading
// goes on: a check names them all, a load stops at the first.
//
// With the plain format (no option given) every field is read exactly as it
// always was: the same fields, the same numbers to the bit, the same errors.

#include "ColumnMap.h"
#include "FloodStamp.h"
#include "InflowTypes.h"
#include "RecordFormat.h"

#include <cstddef>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A field's fault, kept for the caller to raise or report.
struct TFieldFault {
    TRecordQuantity quantity;
    std::exception_ptr error;
};
using TFieldFaults = std::vector<TFieldFault>;

// "List index out of bounds (N)": a line of N fields where more are needed.
[[noreturn]] void RaiseMissingField(std::size_t fields);

class TCurveReader {
public:
    explicit TCurveReader(const TRecordFormat& format = {});
    // The file's first line: columns named by heading are found in it (an
    // EOptionError listing the file's headings when one is not).
    void Heading(std::string_view headingLine, std::string_view fileName);
    std::size_t FieldsNeeded() const { return fields_.FieldsNeeded(); }
    // A line of at least FieldsNeeded() fields; false (and the faults added)
    // when a field is no number.
    bool Read(const std::vector<std::string_view>& fields, TCurvePoint& point, TFieldFaults& faults) const;
    // Whether the columns name an area, and the line's area in m^2 (false,
    // and the fault added, when it is no number).
    bool HasArea() const { return fields_.area.has_value(); }
    bool ReadArea(const std::vector<std::string_view>& fields, double& area, TFieldFaults& faults) const;
    // The texts the curve table shows for a line: the file's own where its
    // unit is the program's, else the value's text. A line of too few fields
    // shows the fields it has (`count` of them: 0 to 2).
    void TableTexts(const std::vector<std::string_view>& fields, const TCurvePoint& point, bool read,
                    std::string (&texts)[2], int& count) const;

private:
    std::optional<TColumnOption> columns_;
    TRecordUnits units_;
    TCurveFields fields_;
};

// One flood record line as read.
struct TFloodLine {
    TFloodStep step;          // T, Z and Qout; the computed fields as new
    bool stamped = false;     // whether the time field read as a time stamp
    bool levelRead = false, outflowRead = false;
    std::string skipped;      // why the record is skipped (--missing skip); empty if not
    bool lossGap = false;     // a skipped record that misses a loss
    TFieldFaults faults;
    void Clear() {
        step = {};
        stamped = levelRead = outflowRead = lossGap = false;
        skipped.clear();
        faults.clear();
    }
};

class TFloodReader {
public:
    explicit TFloodReader(const TRecordFormat& format = {});
    void Heading(std::string_view headingLine, std::string_view fileName);
    std::size_t FieldsNeeded() const { return fields_.FieldsNeeded(); }
    // Whether the columns were chosen: then a block of lines at the end whose
    // time field is no stamp is the agency's notes, not records.
    bool Mapped() const { return mapped_; }
    // The losses the columns name; their texts are what LossText keeps, the
    // first as field 4, the next as field 5...
    std::size_t MappedLosses() const { return fields_.losses.size(); }
    const TRecordUnits& Units() const { return units_; }
    std::size_t TimeField() const { return fields_.time; }
    std::size_t OutflowField() const { return fields_.outflow; }
    // Whether a text reads as a time stamp of this record.
    bool IsStamp(std::string_view text, DateTimeValue& value) { return stamps_.TryRead(text, value); }

    // A line of at least FieldsNeeded() fields. `timeCell`: the time field
    // holds a time value itself (a workbook's date cell), taken as it is.
    void Read(const std::vector<std::string_view>& fields, TFloodLine& line,
              const DateTimeValue* timeCell = nullptr);
    // What the record keeps for the fields after the outflow (see
    // RecordFields.h): the line from its third comma on, or, with mapped
    // losses, ",L1,L2..." of those fields.
    std::string_view LossText(std::string_view text, const std::vector<std::string_view>& fields,
                              std::string& scratch) const;
    // The texts the calculation table shows in its time, level and outflow
    // columns (0, 1 and 6): the file's own where its unit is the program's,
    // else the value's text; of a line too short to read, what it has: the
    // count of leading cells it has a field for.
    int TableTexts(const std::vector<std::string_view>& fields, const TFloodLine& line, bool read,
                    std::string_view (&texts)[3], std::string (&made)[2]) const;

private:
    bool IsMissing(std::string_view field) const;

    TRecordFormat format_;
    bool plain_;
    TRecordUnits units_;
    TFloodFields fields_;
    bool mapped_ = false;
    TFloodStampReader stamps_;
    std::vector<std::string> lossNames_;
};

// The lines at the end of a mapped record that may be its notes: a line that
// cannot be read whose time field is no stamp is held back until a line with
// a stamp shows it was a record after all.
class TNotesTail {
public:
    // A line that failed and may be a note, with its failure.
    void Hold(std::int64_t line, std::exception_ptr failure) {
        if (!first_) {
            first_ = line;
            failure_ = std::move(failure);
        }
        ++count_;
    }
    // A line with a stamp: what was held was no note; its failure, if any.
    std::exception_ptr Release(std::int64_t& line) {
        std::exception_ptr failure = std::move(failure_);
        line = first_;
        first_ = 0;
        count_ = 0;
        failure_ = nullptr;
        return failure;
    }
    bool Holding() const { return first_ != 0; }
    std::int64_t First() const { return first_; }
    std::size_t Count() const { return count_; }

private:
    std::int64_t first_ = 0;
    std::size_t count_ = 0;
    std::exception_ptr failure_;
};
