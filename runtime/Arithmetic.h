#pragma once
// Small integer and character helpers shared by the runtime, the computation
// and the windows.

#include <cstdint>

// The digits '0' to '9' only, whatever the locale (isdigit follows it).
constexpr bool IsDigit(char c) noexcept { return static_cast<unsigned char>(c) - unsigned{'0'} <= 9U; }

// number * numerator / denominator, the product taken in 64 bits and the
// quotient rounded to nearest, halves away from zero, for any signs; 0 when
// the denominator is 0.
constexpr int MulDiv(int number, int numerator, int denominator) noexcept {
    if (denominator == 0) return 0;
    const std::int64_t p = static_cast<std::int64_t>(number) * numerator;
    const std::int64_t d = denominator;
    const bool negative = (p < 0) != (d < 0);
    const std::int64_t ap = p < 0 ? -p : p;
    const std::int64_t ad = d < 0 ? -d : d;
    const std::int64_t q = (2 * ap + ad) / (2 * ad);
    return static_cast<int>(negative ? -q : q);
}
