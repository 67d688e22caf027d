#pragma once
// Currency: a decimal with exactly four places, a signed 64-bit count of
// 1/10000. Every number read from a file or shown in a table passes through it.

#include <cstdint>
#include <string>
#include <string_view>

struct Currency {
    std::int64_t Units = 0;   // the value times 10000
    friend bool operator==(Currency, Currency) = default;
};

// Reads a number in the locale's decimal mark; EConvertError
// "'%s' is not a valid floating point value" on failure.
Currency DecimalFromText(std::string_view text);
// At most four decimals, no trailing zeros, no exponent, no thousands mark.
std::string DecimalToText(Currency value);
// Appends DecimalToText(value) to out (the hot path of the tables and files).
void AppendDecimalText(std::string& out, Currency value);
double DecimalToReal(Currency value);
// x * 10000 rounded to nearest, ties to even; EInvalidOp when out of range.
Currency DecimalFromReal(double value);
// Whether DecimalFromReal(value) succeeds: the value has a table text.
bool DecimalInRange(double value);
// Any double in the same form as DecimalToText(DecimalFromReal(value)) where
// that has one; beyond the decimal range, the value's own digits (there it
// has at most three binary decimals, all shown). Never fails: for messages
// that must name a value whatever it is ("NAN", "INF", "-INF").
std::string RealToText(double value);
