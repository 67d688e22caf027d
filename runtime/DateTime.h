#pragma once
// DateTimeValue: days since 1899-12-30 00:00, the fraction the time of day.

#include <string>
#include <string_view>

using DateTimeValue = double;

// Reads a time stamp with the locale's separators and date order;
// EConvertError "'%s' is not a valid date and time" on failure.
DateTimeValue StampFromText(std::string_view text);
// The pattern "c": short date, then a blank and the long time unless the time
// of day is 00:00:00 to the second.
std::string StampToText(DateTimeValue value);
// Expands a pattern of the stamp pattern language.
std::string StampPattern(std::string_view pattern, DateTimeValue value);

// Checked building blocks, shared with readers that know their own format.
// Each returns false (and leaves out unchanged) for an invalid date or time.
bool TryEncodeDate(int year, int month, int day, DateTimeValue& out);
bool TryEncodeTime(int hour, int minute, int second, int millisecond, double& out);
// date + time for dates from day 0 on, date - time before.
DateTimeValue CombineDateTime(DateTimeValue date, double time);
