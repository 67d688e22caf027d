#pragma once
// The one way a line of a curve file or a flood record is cut into fields,
// and how a heading line is read when columns are chosen by their headings.
//
// A line is cut at every comma; there is no quoting. None of the files the
// program reads quotes its fields (the agencies' CSV exports included: their
// headings and note lines hold blanks, parentheses and '*', never a comma), and
// a quote-aware cut would change where the fields of an existing file begin
// as soon as a '"' appears in one of them.

#include <string_view>
#include <vector>

// The UTF-8 byte-order mark some programs put before a file's first line.
inline constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The pieces of `line` between its commas, in order, as views into `line`:
// n commas give n + 1 pieces, an empty line one empty piece. Pieces are not
// trimmed. `fields` is cleared first; its capacity is reused from line to line.
void SplitFields(std::string_view line, std::vector<std::string_view>& fields);

// `text` without a leading byte-order mark.
std::string_view WithoutByteOrderMark(std::string_view text);

// A heading as it is compared: a byte-order mark and blanks (characters 0 to
// 32) off both ends. Used alike for the file's headings and the headings a
// user names in an option.
std::string_view HeadingName(std::string_view text);

// The headings of a heading line: the line cut like any other, each piece as
// HeadingName gives it (so field k of the data lines is heading k).
std::vector<std::string_view> HeadingNames(std::string_view headingLine);

// The decimals a number text is written with, after its point ("481.4": 1,
// "541": 0): the precision a record's values were taken to.
int TextDecimals(std::string_view text);
