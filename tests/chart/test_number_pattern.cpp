// Number texts of the chart: the pattern formatter with the marks it is given,
// exact rounding, and the same digits whatever the C library's numeric locale
// (the application object sets LC_NUMERIC from the user's settings).

#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <random>
#include <string>

#include "NumberPattern.h"

namespace {

// The C library's own text of a value in the "C" locale: the oracle the
// chart's digits must match in every locale.
std::string CText(const char* format, int precision, double v) {
    const std::string was = std::setlocale(LC_NUMERIC, nullptr);
    std::setlocale(LC_NUMERIC, "C");
    char buf[512];
    std::snprintf(buf, sizeof buf, format, precision, v);
    std::setlocale(LC_NUMERIC, was.c_str());
    return buf;
}

// Runs the checks with LC_NUMERIC switched to each of the locales the program
// meets (those installed), then back.
const char* const kLocales[] = {"C", "en_US.UTF-8", "de_DE.UTF-8", "fr_FR.UTF-8", "sv_SE.UTF-8", "zh_CN.UTF-8"};

class NumericLocale {
public:
    explicit NumericLocale(const char* name) : was_(std::setlocale(LC_NUMERIC, nullptr)) {
        ok_ = std::setlocale(LC_NUMERIC, name) != nullptr;
    }
    ~NumericLocale() { std::setlocale(LC_NUMERIC, was_.c_str()); }
    bool Ok() const { return ok_; }

private:
    std::string was_;
    bool ok_;
};

std::string Axis(double v, char decimal = '.', char thousands = ',') {
    return FormatNumberPattern(v, "#,##0.###", decimal, thousands);
}

}  // namespace

TEST(NumberPattern, AxisPatternInEveryNumericLocale) {
    int seen = 0;
    for (const char* name : kLocales) {
        NumericLocale locale(name);
        if (!locale.Ok()) continue;
        ++seen;
        SCOPED_TRACE(name);
        // The texts the issue saw garbled under a decimal comma.
        EXPECT_EQ(Axis(530), "530");
        EXPECT_EQ(Axis(4.5), "4.5");
        EXPECT_EQ(Axis(0.15), "0.15");
        EXPECT_EQ(Axis(1000000), "1,000,000");
        EXPECT_EQ(Axis(1000000, '.', ' '), "1 000 000");
        EXPECT_EQ(Axis(1234567.125, ',', '.'), "1.234.567,125");
        EXPECT_EQ(Axis(-1234.5), "-1,234.5");
        EXPECT_EQ(Axis(999.9996), "1,000");
        EXPECT_EQ(Axis(1.0004), "1");
        EXPECT_EQ(Axis(-0.0001), "0");  // no sign on a value shown as zero
        EXPECT_EQ(FormatNumberPattern(1130, "0.###", '.', ','), "1130");
        EXPECT_EQ(FormatNumberPattern(1130.25, "0.###", ',', '.'), "1130,25");
        EXPECT_EQ(FormatNumberPattern(12345.5, "0.00 m", '.', ','), "12345.50 m");
        EXPECT_EQ(FormatNumberPattern(0.5, "#.##", '.', ','), ".5");
        EXPECT_EQ(FormatNumberPattern(-7, "0;(0)", '.', ','), "(7)");
        EXPECT_EQ(FormatNumberPattern(0, "0.0;-0.0;'nil'", '.', ','), "nil");
        EXPECT_EQ(FormatNumberPattern(1.5, "", ',', '.'), "1,5");
        EXPECT_EQ(FormatNumberPattern(0.1 + 0.2, "", '.', ','), "0.3");
        EXPECT_EQ(SignificantDigitsText(0.1 + 0.2, 17), "0.30000000000000004");
        EXPECT_EQ(SignificantDigitsText(1e20, 15), "1e+20");
        EXPECT_EQ(SignificantDigitsText(-2.5, 15), "-2.5");
    }
    EXPECT_GE(seen, 1);
}

TEST(NumberPattern, DigitsAreTheExactlyRoundedOnesOfTheCLocale) {
    // Halfway cases of the binary value go to even, as the C library's "%.*f"
    // rounds: 0.125 to two decimals is 0.12, 0.375 is 0.38, 2.5 is 2.
    EXPECT_EQ(FormatNumberPattern(0.125, "0.00", '.', ','), "0.12");
    EXPECT_EQ(FormatNumberPattern(0.375, "0.00", '.', ','), "0.38");
    EXPECT_EQ(FormatNumberPattern(2.5, "0", '.', ','), "2");
    EXPECT_EQ(FormatNumberPattern(1e300, "0", '.', ','), CText("%.*f", 0, 1e300));

    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> mantissa(1.0, 10.0);
    std::uniform_int_distribution<int> exponent(-8, 17), decimals(0, 7);
    for (int k = 0; k < 20000; ++k) {
        const int d = decimals(rng);
        double v = mantissa(rng) * std::pow(10.0, exponent(rng));
        if (k % 3 == 0) v = std::round(v * 1000) / 1000 + 0.0005;  // near a three-decimal tie
        if (k % 2 == 0) v = -v;
        const std::string pattern = d == 0 ? "0" : "0." + std::string(static_cast<std::size_t>(d), '0');
        std::string expected = CText("%.*f", d, v);
        if (expected.find_first_not_of("-0.") == std::string::npos && expected[0] == '-') expected.erase(0, 1);
        {
            NumericLocale german("de_DE.UTF-8");
            ASSERT_EQ(FormatNumberPattern(v, pattern, '.', ','), expected) << v << " to " << d;
        }
        ASSERT_EQ(SignificantDigitsText(v, 15), CText("%.*g", 15, v)) << v;
    }
}

TEST(NumberPattern, DecimalsAndWideningThem) {
    struct Case {
        const char* pattern;
        int decimals;        // PatternDecimals
        int widenTo;
        const char* widened;
    };
    const Case cases[] = {
        {"0.###", 3, 5, "0.#####"},          {"#,##0.###", 3, 4, "#,##0.####"}, {"0", 0, 2, "0.##"},
        {"0.00", 2, 2, "0.00"},              {"0.0;-0.0", 1, 3, "0.0##;-0.0##"}, {"0.#' m'", 1, 2, "0.##' m'"},
        {"0.0E+00", 1, 3, "0.0##E+00"},      {"'x.'0", 0, 1, "'x.'0.#"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PatternDecimals(c.pattern), c.decimals) << c.pattern;
        EXPECT_EQ(WidenPatternDecimals(c.pattern, c.widenTo), c.widened) << c.pattern;
    }
    // A widened pattern writes what the step needs, no trailing zeros.
    EXPECT_EQ(FormatNumberPattern(48.5305, WidenPatternDecimals("0.###", 4), '.', ','), "48.5305");
    EXPECT_EQ(FormatNumberPattern(48.53, WidenPatternDecimals("0.###", 4), '.', ','), "48.53");
}
