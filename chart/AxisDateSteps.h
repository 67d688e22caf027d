#pragma once
// Labels for a date-time axis: steps of whole time units, chosen so that the
// labels do not overlap, at the units' own boundaries (whole minutes, hours,
// midnights, the first of a month, the first of a year), with texts in the
// locale's date and time forms.
//
// The step is the smallest of
//     1, 2, 5, 10, 15, 30 seconds;   1, 2, 5, 10, 15, 30 minutes;
//     1, 2, 3, 6, 12 hours;          1, 2, 5, 10 days;
//     1, 2, 3, 6 months;             1, 2, 5, 10, 20, 50, ... years
// whose labels, each measured, keep at least LabelsSeparation percent of the
// wider of two neighbours free between them. Every sub-day step divides a day,
// so its labels are the multiples of the step counted from midnight. Steps of
// 2, 5 and 10 days count from the first of each month (the 1st, 6th, 11th ...
// for 5 days: pentads and dekads as hydrologists tally them); a label closer
// than the step to the next month's first is left out. Months count from
// January, years from year 0.
//
// Texts:
// - steps under a day: the time of day (the locale's short time, or long time
//   for steps of seconds); a label at midnight shows the date alone instead,
//   and the first label, when not at midnight, shows the date and the time, so
//   that every label can be placed in its day;
// - steps of days: the date (the locale's short date);
// - steps of months: the short date without its day (MonthYearPattern);
// - steps of years: the year alone (YearPattern).
// So dates stand alone exactly where a label falls at midnight.

#include "DateTime.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum TDateStepUnit { dsuNone, dsuSecond, dsuMinute, dsuHour, dsuDay, dsuMonth, dsuYear };

struct TDateStep {
    TDateStepUnit unit = dsuNone;
    long long count = 0;   // whole units per step
};

struct TDateLabel {
    DateTimeValue value = 0;
    // Pixels from the minimum's end of the axis, as the axis maps a value:
    // nearest((value - minimum) * (pixelLength / (maximum - minimum))).
    int offset = 0;
    std::string text;
};

struct TDateLabels {
    TDateStep step;                  // dsuNone when no step applies
    std::vector<TDateLabel> labels;  // ascending
};

// A label text's extent along the axis, in pixels.
using TMeasureLabel = std::function<int(std::string_view text)>;

// The labels of a date-time axis showing [minimum, maximum] (days after day
// 0 as ElapsedDays counts them, which from 1899-12-30 on are the DateTimeValues
// themselves; the two ends may come in either order) over pixelLength pixels.
// A label's value is such a moment too; its text shows the DateTimeValue
// that stands for it.
// - minimum == maximum: one label in the middle, in the form of StampToText.
// - No labels for a pixel length below 1, for a bound that is not a finite
//   number or lies beyond 10^11 days (some 270 million years; the calendar's
//   arithmetic stays exact well inside that), and for a range in which no
//   whole second falls.
// - At most min(pixelLength + 1, 10000) labels: a step that would give more
//   is passed over without making them, so the work is bounded whatever the
//   range; steps under a day are passed over where the value's resolution
//   cannot place them to the millisecond (beyond some 70,000 years).
// - When the labels of every step overlap (an axis too short for even two
//   labels), the first label of the coarsest step that had any stands alone.
// Texts come from Formats() through StampPattern.
TDateLabels ChooseDateLabels(DateTimeValue minimum, DateTimeValue maximum, int pixelLength,
                             const TMeasureLabel& measure, int labelsSeparation = 10);

// A short date pattern without its day (the field and the separator joining it
// to the rest; a separator with non-ASCII characters after a field, like the
// "日" of "yyyy年mm月dd日", belongs to that field), years written with four
// digits: "yyyy-mm-dd" gives "yyyy-mm", "mm/dd/yy" gives "mm/yyyy",
// "dd.mm.yyyy" gives "mm.yyyy", "yyyy年mm月dd日" gives "yyyy年mm月". Without
// a month or a year to keep, the pattern "ddddd" (the whole short date).
std::string MonthYearPattern(std::string_view shortDatePattern);
// Likewise without day and month: "yyyy", "yyyy年"; "yyyy" when no year is left.
std::string YearPattern(std::string_view shortDatePattern);
