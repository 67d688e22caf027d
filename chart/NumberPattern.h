#pragma once
// Numbers as the chart writes them: by a number pattern ("#,##0.###") with the
// decimal and thousands marks the caller names, and with a given count of
// significant digits. The digits never depend on the C library's locale
// (LC_NUMERIC, which the application object sets from the user's settings):
// only the marks passed in change the text.

#include <string>
#include <string_view>

// Number patterns: '0' a digit always shown, '#' a digit shown when
// significant, '.' the decimal separator, ',' (before the point) grouping of
// the integer digits by threes, quoted or other text kept, up to three
// sections (positive;negative;zero). Values are rounded to the pattern's
// decimals exactly (halfway cases of the binary value to even); a value that
// rounds to zero has no sign. Not-a-number and infinities are written NAN,
// INF and -INF; an empty pattern writes 15 significant digits.
std::string FormatNumberPattern(double v, std::string_view pattern, char decimalMark, char thousandsMark);

// v with `digits` significant digits (1 to 17), the way the C locale's "%.*g"
// writes it: "0.1", "1e+20", "-2.5".
std::string SignificantDigitsText(double v, int digits);

// The most decimals a pattern's sections show ("0.###": 3, "0": 0).
int PatternDecimals(std::string_view pattern);
// The pattern with at least `decimals` decimals in every section, the
// further ones written only when significant ('#'): "0.###" with 5 is
// "0.#####", "0" with 2 "0.##". A pattern that already has them is returned
// as it is.
std::string WidenPatternDecimals(std::string_view pattern, int decimals);
