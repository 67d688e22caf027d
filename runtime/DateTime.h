#pragma once
// DateTimeValue: days since 1899-12-30 00:00, the fraction the time of day.

#include <cmath>
#include <string>
#include <string_view>

using DateTimeValue = double;

// Reads a time stamp with the locale's separators and date order;
// EConvertError "'%s' is not a valid date and time" on failure.
DateTimeValue StampFromText(std::string_view text);
// The same reading without the exception: false, and out unchanged, where
// StampFromText would raise.
bool TryStampFromText(std::string_view text, DateTimeValue& out);
// The pattern "c": short date, then a blank and the long time unless the time
// of day is 00:00:00 to the second.
std::string StampToText(DateTimeValue value);
// StampToText appended to out, for writers that build a line in one buffer.
void AppendStampText(std::string& out, DateTimeValue value);
// Expands a pattern of the stamp pattern language.
std::string StampPattern(std::string_view pattern, DateTimeValue value);
void AppendStampPattern(std::string& out, std::string_view pattern, DateTimeValue value);

// Checked building blocks, shared with readers that know their own format.
// Each returns false (and leaves out unchanged) for an invalid date or time.
bool TryEncodeDate(int year, int month, int day, DateTimeValue& out);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, double& out);
// date + time for dates from day 0 on, date - time before.
DateTimeValue CombineDateTime(DateTimeValue date, double time);

// The moment a value stands for, in days after day 0 (before it, negative).
// A value before day 0 holds its date minus its time of day, so that 06:00
// lies before 00:00 of its day there; this turns it back into date plus time.
// Values from day 0 on are the moment itself, returned unchanged. Time
// differences, orderings and positions along a time axis are taken from it,
// the stored value only being shown and written.
inline long double ElapsedDays(DateTimeValue value) {
    if (!(value < 0)) return value;
    // The day's number is the value rounded up; the time of day is what lies
    // below it.
    const long double day = std::ceil(static_cast<long double>(value));
    return 2 * day - value;
}
// The value that stands for the moment `days` after day 0: the inverse of
// ElapsedDays (a time axis' label position back to the value its text shows).
DateTimeValue StampAtElapsedDays(long double days);

// A value taken apart as StampToText sees it: rounded to whole milliseconds
// (ties to even), the calendar continued beyond 1..9999 where the value lies
// there. Not-a-number counts as 0.
struct StampParts {
    long long year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int dayOfWeek = 6; // 0 Sunday ... 6 Saturday
};
StampParts SplitStamp(DateTimeValue value);

// A year written with one or two digits, placed in the hundred years that
// begin centuryWindow years before currentYear (with a window of 0 or less, in
// the century of currentYear - centuryWindow).
int WindowedYear(int year, int currentYear, int centuryWindow);
// The local calendar year now.
int CurrentYear();
