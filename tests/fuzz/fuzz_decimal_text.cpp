// DecimalFromText on arbitrary text. The first byte picks the decimal mark
// ('.' or ','), the rest is the text. Every text either fails with the one
// message or gives the value that the plain extended-precision reading gives;
// a value read, written and read again is the same; no floating point flag is
// left behind.

#include "Currency.h"
#include "Exceptions.h"
#include "FuzzSupport.h"

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

namespace {

bool Digit(char c) { return c >= '0' && c <= '9'; }

// The nearest long double to 10^k.
long double PowerOfTen(long long k) {
    if (k > 5000) return HUGE_VALL;
    if (k < -6000) return 0.0L;
    char text[32];
    std::snprintf(text, sizeof text, "1e%lld", k);
    return std::strtold(text, nullptr);
}

// The reading done the slow, literal way on the x87 unit: digits accumulated
// in extended precision, scaled by the power of ten, rounded to an integer.
std::optional<std::int64_t> ReferenceUnits(std::string_view text, char mark) {
    text = text.substr(0, text.find('\0'));
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ') ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    long double value = 0.0L;
    bool anyDigit = false;
    bool sawMark = false;
    long long decimals = 0;
    for (; i < text.size() && Digit(text[i]); ++i, anyDigit = true) value = value * 10.0L + (text[i] - '0');
    if (i < text.size() && text[i] == mark) {
        sawMark = true;
        for (++i; i < text.size() && Digit(text[i]); ++i, ++decimals) value = value * 10.0L + (text[i] - '0');
    }
    if (!anyDigit && !sawMark) return std::nullopt;
    long long exponent = 0;
    if (i < text.size() && (text[i] == 'E' || text[i] == 'e')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-')) negativeExponent = text[i++] == '-';
        for (; i < text.size() && Digit(text[i]) && exponent < 500; ++i) exponent = exponent * 10 + (text[i] - '0');
        if (negativeExponent) exponent = -exponent;
    }
    while (i < text.size() && text[i] == ' ') ++i;
    if (i != text.size()) return std::nullopt;
    long double scaled = value * PowerOfTen(exponent - decimals + 4);
    if (negative) scaled = -scaled;
    const long double whole = std::nearbyintl(scaled);   // ties to even
    if (!(whole >= -0x1p63L && whole < 0x1p63L)) return std::nullopt;
    return static_cast<std::int64_t>(whole);
}

std::optional<Currency> Read(std::string_view text) {
    try {
        return DecimalFromText(text);
    } catch (const EConvertError& e) {
        FUZZ_CHECK(e.Message == "'" + std::string(text) + "' is not a valid floating point value");
        return std::nullopt;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static LocaleFormats point = [] { LocaleFormats f; f.decimalMark = '.'; return f; }();
    static LocaleFormats comma = [] { LocaleFormats f; f.decimalMark = ','; return f; }();
    const LocaleFormats& formats = (data[0] & 1) ? comma : point;
    fuzz::UseFormats(formats);
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    std::feclearexcept(FE_ALL_EXCEPT);
    const std::optional<Currency> value = Read(text);
    FUZZ_CHECK(std::fetestexcept(FE_ALL_EXCEPT) == 0);

    std::fenv_t saved;
    std::feholdexcept(&saved);
    const std::optional<std::int64_t> expected = ReferenceUnits(text, formats.decimalMark);
    std::fesetenv(&saved);
    FUZZ_CHECK(value.has_value() == expected.has_value());
    if (!value) return 0;
    FUZZ_CHECK(value->Units == *expected);

    // Written and read again, also between blanks as a table cell may hold it.
    const std::string written = DecimalToText(*value);
    FUZZ_CHECK(!written.empty() && written.size() <= 21);
    FUZZ_CHECK(written.find_first_of("eE") == std::string::npos);
    FUZZ_CHECK(Read(written) == value);
    FUZZ_CHECK(Read(" " + written + "  ") == value);

    // Through a double and back: exact while the units fit the double with a
    // bit to spare.
    if (value->Units > -(std::int64_t{1} << 51) && value->Units < (std::int64_t{1} << 51))
        FUZZ_CHECK(DecimalFromReal(DecimalToReal(*value)) == *value);
    return 0;
}
