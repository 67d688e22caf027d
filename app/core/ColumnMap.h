#pragma once
// Columns chosen by heading or by number: which field of an agency's file
// holds each quantity.
//
//   --columns time=COL,level=COL,outflow=COL[,loss=COL...]   (the flood record)
//   --curve-columns level=COL,storage=COL[,area=COL]         (a curve file)
//
// COL is a heading of the file's first line or a field number from 1. A COL
// of digits only is a number (a heading "2024" cannot be named, its number
// can); one of digits, signs and points otherwise ("-1", "2.5", "0") is a bad
// number. Any other COL is a heading, compared with the file's headings after
// both lost a byte-order mark and their blanks, ASCII case ignored; it may
// hold blanks, parentheses and '*' but no comma (commas cut the option, as
// they cut the file's lines). Quantity names ignore ASCII case. `loss` may
// repeat; its columns are the losses in the order given. Other fields of the
// file are ignored.
//
// Every refusal is an EOptionError whose message begins with the option's name.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class TRecordQuantity { Time, Level, Outflow, Loss, Storage, Area, Value };

// "time", "level", "outflow", "loss", "storage", "area", "value".
const char* QuantityName(TRecordQuantity quantity);

// One column as the option names it.
struct TColumnRef {
    int number = 0;      // field number from 1; 0 when named by heading
    std::string heading; // as HeadingName gives it, when number is 0
    friend bool operator==(const TColumnRef&, const TColumnRef&) = default;
};

struct TColumnChoice {
    TRecordQuantity quantity;
    TColumnRef column;
    friend bool operator==(const TColumnChoice&, const TColumnChoice&) = default;
};

// A columns option: its name and its choices in the order written.
struct TColumnOption {
    std::string name; // "--columns" or "--curve-columns"
    std::vector<TColumnChoice> choices;
    // Whether any column is named by heading (the file's first line is then
    // needed to resolve the choices).
    bool NamesHeadings() const;
};

// --columns: time, level and outflow needed, losses optional, in any order.
TColumnOption ParseFloodColumns(std::string_view text);
// --curve-columns: level and storage needed, area optional.
TColumnOption ParseCurveColumns(std::string_view text);
// --compare-columns time=COL,value=COL: a reference series' two fields.
TColumnOption ParseCompareColumns(std::string_view text);

// Field indexes from 0, one per choice of the option, in its order. Headings are
// looked up in `headingLine` (the file's first line, untrimmed); a heading
// not found, or found in two fields, is refused with the file's headings
// listed; two choices that land on the same field are refused. Numbers are
// not checked against the heading line: an agency's heading may be shorter
// than its data lines (a trailing comma on each data line); a line that lacks
// a chosen field is the reader's to report.
std::vector<std::size_t> ResolveColumns(const TColumnOption& columns, std::string_view headingLine,
                                        std::string_view fileName);

// How many of the headings the columns name a line holds: of a sheet's rows
// before its heading, the one that comes closest is the one a refusal lists.
std::size_t HeadingsFound(const TColumnOption& columns, std::string_view line);

// The fields of a flood record, indexes from 0.
struct TFloodFields {
    std::size_t time = 0, level = 1, outflow = 2;
    std::vector<std::size_t> losses; // in the order of the option
    // Fields a line must have: one past the highest chosen index.
    std::size_t FieldsNeeded() const;
};
TFloodFields ResolveFloodColumns(const TColumnOption& columns, std::string_view headingLine,
                                 std::string_view fileName);

// The fields of a curve file, indexes from 0.
struct TCurveFields {
    std::size_t level = 0, storage = 1;
    std::optional<std::size_t> area;
    std::size_t FieldsNeeded() const;
};
TCurveFields ResolveCurveColumns(const TColumnOption& columns, std::string_view headingLine,
                                 std::string_view fileName);
