#pragma once
// Several level-storage curves for one record, each valid from a date:
// agencies replace their table after a new survey.
//
//   --curve FILE[@YYYY-MM-DD]   (repeatable)
//
// The curve without a date holds from the start; each dated one from that
// day's midnight until the next dated one. A step takes both of its storages
// (the record before and the record at its end) from the curve valid at its
// end, so that the day of a switch has no jump in storage.
//
// The '@' rule (a file name may itself contain '@'): only the text after the
// LAST '@' can be a date, and only when it is made of digits and '-' alone;
// it must then be a valid date YYYY-M-D (month and day of one or two digits),
// else the option is refused. Any other '@' belongs to the file name
// ("backup@home/curve.csv"). A name that itself ends in '@' and a date is
// written with one more '@' at the end ("odd@2022-07-01@"): a trailing '@' is
// dropped and the curve has no date.

#include "DateTime.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct TCurveArgument {
    std::string file;
    // The first day the curve holds (days since 1899-12-30); none: from the start.
    std::optional<std::int64_t> fromDay;
    friend bool operator==(const TCurveArgument&, const TCurveArgument&) = default;
};

// One --curve value; EOptionError "--curve: ..." for a bad date after '@' or
// no file name.
TCurveArgument ParseCurveArgument(std::string_view text);

// The day a time stamp falls on: date + time of day from 1899-12-30 on, date -
// time of day before it, so the day is the value's whole part toward zero
// for earlier values and its floor for later ones.
std::int64_t StampDay(DateTimeValue time);

// "yyyy-mm-dd" of a day count, for messages.
std::string DayText(std::int64_t day);

class TCurveSchedule {
  public:
    // The curves in the order given (their indexes are the caller's).
    // EOptionError "--curve: ..." for no curve, two without a date, or two
    // from the same day.
    explicit TCurveSchedule(std::vector<TCurveArgument> curves);

    // The index of the curve valid at `time`, or none when the time lies
    // before the first dated curve and there is no undated one. The step that
    // ends at a record uses CurveAt(that record's time) for both its storages.
    std::optional<std::size_t> CurveAt(DateTimeValue time) const;

    // The message for a record at `time` that no curve holds for (the caller
    // puts "FILE:LINE: " before it).
    std::string NoCurveMessage(DateTimeValue time) const;

    const std::vector<TCurveArgument>& Curves() const { return curves_; }
    bool IsSingle() const { return curves_.size() == 1 && !curves_[0].fromDay; }

  private:
    std::vector<TCurveArgument> curves_;
    std::optional<std::size_t> undated_;
    // The dated curves by their first day: (day, index), ascending.
    std::vector<std::pair<std::int64_t, std::size_t>> byDay_;
};

// Records in a row that use the same curve (what a check reports: which
// curve each part of the record uses). `curve` is none for records no curve
// holds for.
struct TCurveSpan {
    std::optional<std::size_t> curve;
    std::size_t firstRecord = 0;
    std::size_t lastRecord = 0;
    friend bool operator==(const TCurveSpan&, const TCurveSpan&) = default;
};
std::vector<TCurveSpan> CurveSpans(const TCurveSchedule& schedule,
                                   const std::vector<DateTimeValue>& times);
