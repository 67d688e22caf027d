#pragma once
// Gaps in an agency's record, and the notes it puts after its data.
//
//   --missing skip        a record whose level, outflow or mapped loss is
//                         missing is skipped (the step around it spans the gap)
//   --missing-value V     (repeatable) a number that stands for "no value",
//                         as -96759
//
// A field is missing when it is blank (nothing but characters 0 to 32) or
// reads, as a number, the same four-decimal value as one of the missing values
// (so "-96759" and "-96759.0" are alike). Numbers are read as the file's
// numbers are, in the locale's decimal mark.

#include "Currency.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

enum class TMissingMode { Stop, Skip };
// --missing: "skip"; EOptionError otherwise.
TMissingMode ParseMissingMode(std::string_view text);
// --missing-value: a number; EOptionError "--missing-value: ..." otherwise.
Currency ParseMissingValue(std::string_view text);

class TMissingValues {
  public:
    TMissingValues() = default;
    explicit TMissingValues(std::vector<Currency> values) : values_(std::move(values)) {}
    void Add(Currency value) { values_.push_back(value); }
    const std::vector<Currency>& Values() const { return values_; }

    bool IsMissing(std::string_view field) const;
    // Why a missing field is missing, for the skip warning: "WHAT is blank"
    // or "WHAT is -96759 (a missing value)", WHAT as the caller names the
    // field ("level", "loss 'Evaporation (af)'").
    static std::string Reason(std::string_view what, std::string_view field);

  private:
    std::vector<Currency> values_;
};

// The first of the lines at the end of a file whose time field is no time
// stamp (isStamp[k]: whether data line k's time field reads as one): a block
// of notes an agency appends, blank lines included. isStamp.size() when the
// last line is a stamp, and also when no line is: a file of which no line
// reads is wrong, not notes.
std::size_t TrailingNotesStart(const std::vector<bool>& isStamp);

// The one warning for the notes block: "FILE:FIRST: N lines at the end taken
// as notes and ignored (their time field is no time stamp)".
std::string NotesWarning(std::string_view file, std::int64_t firstLine, std::size_t lines);

// The skipped records of one file, for the warnings on stderr: the first 20
// listed as "FILE:LINE: skipped: REASON", then "FILE: N more records skipped".
class TSkippedRecords {
  public:
    static constexpr std::size_t kListed = 20;
    void Add(std::int64_t line, std::string reason);
    std::size_t Count() const { return count_; }
    // One line (ending in '\n') per listed record, then the count of the rest.
    std::string Text(std::string_view file) const;

  private:
    struct TEntry {
        std::int64_t line;
        std::string reason;
    };
    std::vector<TEntry> listed_;
    std::size_t count_ = 0;
};
