#include "CLibraryLocale.h"
#include "Currency.h"
#include "Exceptions.h"
#include "LocaleFormats.h"

#include <gtest/gtest.h>

#include <bit>
#include <cfenv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <charconv>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();

std::int64_t Units(std::string_view text) {
    return DecimalFromText(text).Units;
}

// Fails with exactly the message the user reads, the argument unchanged.
void ExpectRejected(std::string_view text) {
    try {
        const Currency c = DecimalFromText(text);
        ADD_FAILURE() << "accepted '" << text << "' as " << c.Units;
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message, "'" + std::string(text) + "' is not a valid floating point value");
    }
}

class DecimalMark {
  public:
    explicit DecimalMark(char mark) : saved_(Formats().decimalMark) {
        Formats().decimalMark = mark;
    }
    ~DecimalMark() { Formats().decimalMark = saved_; }

  private:
    char saved_;
};

// The conversion as written down, on the FPU: digits accumulated in long
// double, multiplied by the nearest long double to 10^scale, rounded to
// nearest. Independent of the shortcuts the implementation takes.
bool LiteralConversion(const std::string& digits, long scale, bool negative, std::int64_t& out) {
    long double value = 0;
    for (char c : digits)
        value = value * 10.0L + (c - '0');
    const long double power = std::strtold(("1e" + std::to_string(scale)).c_str(), nullptr);
    long double product = value * power;
    if (negative) product = -product;
    const long double rounded = std::nearbyint(product);
    if (!(rounded >= -0x1p63L && rounded < 0x1p63L)) return false;
    out = static_cast<std::int64_t>(rounded);
    return true;
}

} // namespace

TEST(DecimalFromText, ReadsPlainNumbers) {
    EXPECT_EQ(Units("1.58"), 15800);
    EXPECT_EQ(Units("-12.3456"), -123456);
    EXPECT_EQ(Units("+007.10"), 71000);
    EXPECT_EQ(Units("5."), 50000);
    EXPECT_EQ(Units(".25"), 2500);
}

TEST(DecimalFromText, RoundsFifthDecimalToNearestEven) {
    EXPECT_EQ(Units("1.23455"), 12346);
    EXPECT_EQ(Units("1.23445"), 12344);
    EXPECT_EQ(Units("-1.23455"), -12346);
    EXPECT_EQ(Units("0.00005"), 0);
    EXPECT_EQ(Units("0.00015"), 2);
    EXPECT_EQ(Units("0.000250001"), 3);
    EXPECT_EQ(Units("0.00024999"), 2);
    EXPECT_EQ(Units("3.5E-4"), 4);
}

TEST(DecimalFromText, InexactPowerOfTenDecidesTiesWithManyDecimals) {
    // 10^-3 is not exact in extended precision: 1500 * 10^-3 falls just below
    // 1.5 and rounds down, although the written value is a tie that goes up.
    EXPECT_EQ(Units("0.0001500"), 1);
    EXPECT_EQ(Units("0.00015"), 2);
    EXPECT_EQ(Units("10.0003500"), 100003);
    EXPECT_EQ(Units("10.00035"), 100004);
}

TEST(DecimalFromText, ExponentForms) {
    EXPECT_EQ(Units("1.5E2"), 1500000);
    EXPECT_EQ(Units("1.5e+2"), 1500000);
    EXPECT_EQ(Units("-2.5e-1"), -2500);
    EXPECT_EQ(Units("1E0000000000000000002"), 1000000); // leading zeros keep it below 500
    // An exponent without digits is 0.
    EXPECT_EQ(Units("1E"), 10000);
    EXPECT_EQ(Units("1e+"), 10000);
    EXPECT_EQ(Units("1E- "), 10000);
    EXPECT_EQ(Units("1E-4999"), 0); // far below the smallest unit
    // Digits stop being read once the exponent reaches 500.
    EXPECT_EQ(Units("0E600"), 0);
    EXPECT_EQ(Units("0E-0004999"), 0);
    ExpectRejected("0E-5000");
    ExpectRejected("0E5000");
    // 0 times a power of ten beyond the extended range is not a number.
    EXPECT_EQ(Units("0E4928"), 0);
    ExpectRejected("0E4929");
    ExpectRejected("E5");
    ExpectRejected("1 E5");
    ExpectRejected("1E+-5");
}

TEST(DecimalFromText, BlanksAreSkippedOtherCharactersAreNot) {
    EXPECT_EQ(Units(" 1.5"), 15000);
    EXPECT_EQ(Units("1.5   "), 15000);
    EXPECT_EQ(Units("   -1.5  "), -15000);
    ExpectRejected("");
    ExpectRejected("   ");
    ExpectRejected("\t1.5");
    ExpectRejected("1.5\t");
    ExpectRejected("1. 5");
    ExpectRejected("- 1");
    ExpectRejected("1,000");
    ExpectRejected("1.5a");
}

TEST(DecimalFromText, TextEndsAtFirstNul) {
    EXPECT_EQ(Units(std::string_view("1.5\0junk", 8)), 15000);
    EXPECT_EQ(Units(std::string_view("2 \0", 3)), 20000);
    // The message still quotes the whole argument.
    ExpectRejected(std::string_view("\0"
                                    "12",
                                    3));
    ExpectRejected(std::string_view("1x\0"
                                    "2",
                                    4));
}

TEST(DecimalFromText, LoneDecimalMarkIsZeroLoneSignFails) {
    EXPECT_EQ(Units("."), 0);
    EXPECT_EQ(Units("-."), 0);
    EXPECT_EQ(Units("+."), 0);
    EXPECT_EQ(Units(" . "), 0);
    ExpectRejected("+");
    ExpectRejected("-");
    ExpectRejected(" - ");
    ExpectRejected("+-1");
}

TEST(DecimalFromText, RangeEndsAt2To63Units) {
    EXPECT_EQ(Units("922337203685477.5807"), kMax);
    ExpectRejected("922337203685477.5808");
    EXPECT_EQ(Units("-922337203685477.5808"), kMin);
    ExpectRejected("-922337203685477.5809");
    EXPECT_EQ(Units("9223372036854775807E-4"), kMax);
    ExpectRejected("9223372036854775808E-4");
    EXPECT_EQ(Units("-9223372036854775808e-4"), kMin);
    EXPECT_EQ(Units("9.2233720368547758E14"), 9223372036854775800);
    ExpectRejected("9.2233720368547759E14");
    EXPECT_EQ(Units("1E14"), 1000000000000000000);
    ExpectRejected("1E15");
    ExpectRejected("-99999999999999999999999999.5");
    EXPECT_EQ(Units("92233720368547.758075"), 922337203685477581);
    // With 20 digits and more the total is rounded: these digits accumulate to
    // 922337203685477580800, so the value rounds to 2^63, out of range,
    // although the number written is not.
    std::int64_t literal = 0;
    EXPECT_FALSE(LiteralConversion("922337203685477580749", -2, false, literal));
    ExpectRejected("922337203685477.580749");
}

TEST(DecimalFromText, AgreesWithLiteralExtendedArithmetic) {
    std::mt19937_64 random(20240611);
    auto below = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
    int accepted = 0;
    for (int i = 0; i < 200000; ++i) {
        // Mostly up to 40 digits; now and then long enough for the total to
        // lose many bits, or for the power of ten to leave the table.
        const bool longer = below(6) == 0;
        std::string whole, fraction;
        for (unsigned n = below(longer ? 40 : 14); n > 0; --n)
            whole += static_cast<char>('0' + below(10));
        for (unsigned n = below(longer ? 80 : 28); n > 0; --n)
            fraction += static_cast<char>('0' + below(10));
        // Many ties: end the fraction in 5 followed by zeros.
        if (below(3) == 0 && fraction.size() > 5) {
            fraction[fraction.size() - 1 - below(3)] = '5';
            for (std::size_t j = fraction.size() - 1; fraction[j] != '5'; --j)
                fraction[j] = '0';
        }
        if (whole.empty() && fraction.empty()) whole = "0";
        const bool negative = below(2) == 0;
        const int exponent = below(4) == 0 ? static_cast<int>(below(60)) - 40 : 0;
        std::string text = (negative ? "-" : "") + whole + "." + fraction;
        if (exponent != 0) text += "E" + std::to_string(exponent);
        const long scale = exponent - static_cast<long>(fraction.size()) + 4;

        std::int64_t expected = 0;
        if (LiteralConversion(whole + fraction, scale, negative, expected)) {
            ++accepted;
            ASSERT_EQ(Units(text), expected) << text;
        } else {
            ASSERT_THROW(DecimalFromText(text), EConvertError) << text;
        }
    }
    EXPECT_GT(accepted, 100000); // the mix exercises both outcomes
}

TEST(DecimalFromText, CommaDecimalMark) {
    DecimalMark comma(',');
    EXPECT_EQ(Units("1,58"), 15800);
    EXPECT_EQ(Units(",5"), 5000);
    EXPECT_EQ(Units("-1,23455"), -12346);
    EXPECT_EQ(Units("1,5E2"), 1500000);
    ExpectRejected("1.58");
    ExpectRejected("1,234,5");
    EXPECT_EQ(DecimalToText(Currency{15800}), "1,58");
    EXPECT_EQ(DecimalToText(Currency{-5}), "-0,0005");
}

TEST(DecimalToText, Forms) {
    EXPECT_EQ(DecimalToText(Currency{0}), "0");
    EXPECT_EQ(DecimalToText(Currency{900000}), "90");
    EXPECT_EQ(DecimalToText(Currency{15800}), "1.58");
    EXPECT_EQ(DecimalToText(Currency{5}), "0.0005");
    EXPECT_EQ(DecimalToText(Currency{-5}), "-0.0005");
    EXPECT_EQ(DecimalToText(Currency{-123456}), "-12.3456");
    EXPECT_EQ(DecimalToText(Currency{-100010000}), "-10001");
    EXPECT_EQ(DecimalToText(Currency{1000001}), "100.0001");
    EXPECT_EQ(DecimalToText(Currency{kMin}), "-922337203685477.5808");
    EXPECT_EQ(DecimalToText(Currency{kMax}), "922337203685477.5807");

    std::string line = "x,";
    AppendDecimalText(line, Currency{15800});
    line += ',';
    AppendDecimalText(line, Currency{-900000});
    EXPECT_EQ(line, "x,1.58,-90");
}

TEST(DecimalToText, ReadsBackToTheSameValue) {
    std::mt19937_64 random(7);
    std::string text;
    for (int i = 0; i < 200000; ++i) {
        // Spread over every length: shift a random value by a random amount.
        const auto bits = static_cast<std::int64_t>(random());
        const std::int64_t units = bits >> (random() % 64);
        text.clear();
        AppendDecimalText(text, Currency{units});
        ASSERT_LE(text.size(), 21U);
        ASSERT_EQ(text.find_first_of("eE"), std::string::npos) << text;
        ASSERT_EQ(Units(text), units) << text;
        if (text.find('.') != std::string::npos) {
            ASSERT_NE(text.back(), '0') << text;
        }
    }
}

TEST(DecimalToReal, DividesByTenThousand) {
    EXPECT_EQ(DecimalToReal(Currency{15800}), 1.58);
    EXPECT_EQ(DecimalToReal(Currency{-5}), -0.0005);
    EXPECT_EQ(DecimalToReal(Currency{0}), 0.0);
    EXPECT_EQ(DecimalToReal(Currency{kMax}), 922337203685477.625);
    EXPECT_EQ(DecimalToReal(Currency{kMin}), -922337203685477.625);
}

TEST(DecimalFromReal, RoundsToNearestEven) {
    EXPECT_EQ(DecimalFromReal(1.58).Units, 15800);
    EXPECT_EQ(DecimalFromReal(-12.3456).Units, -123456);
    EXPECT_EQ(DecimalFromReal(0.03125).Units, 312); // 312.5 exactly
    EXPECT_EQ(DecimalFromReal(0.09375).Units, 938); // 937.5 exactly
    EXPECT_EQ(DecimalFromReal(-0.03125).Units, -312);
    EXPECT_EQ(DecimalFromReal(0.00005).Units, 1); // the double lies just above 0.00005
    EXPECT_EQ(DecimalFromReal(922337203685477.5).Units, 9223372036854775000);
    EXPECT_EQ(DecimalFromReal(-922337203685477.5).Units, -9223372036854775000);
}

TEST(DecimalFromReal, OutOfRangeAndNotANumberAreInvalid) {
    for (double x :
         {922337203685477.625, -922337203685477.625, 1e300, -1e19,
          std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(),
          std::numeric_limits<double>::quiet_NaN()}) {
        try {
            DecimalFromReal(x);
            ADD_FAILURE() << "accepted " << x;
        } catch (const EInvalidOp& e) {
            EXPECT_EQ(e.Message, "Invalid floating point operation");
        }
    }
}

// The conversion as written down: the extended product rounded by the FPU.
TEST(DecimalFromReal, AgreesWithTheRoundedExtendedProduct) {
    std::vector<double> values;
    std::mt19937_64 random(13);
    for (int i = 0; i < 300000; ++i) {
        // Every exponent, random significands; and exact ties (odd multiples
        // of a half ten-thousandth are dyadic for small powers of two).
        values.push_back(std::bit_cast<double>(random()));
        values.push_back(std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 80) - 70));
        values.push_back(static_cast<double>(2 * static_cast<std::int64_t>(random() % 2000000) + 1) /
                         std::ldexp(1.0, static_cast<int>(random() % 6) + 1) / 10000.0 * (i % 2 ? 1 : -1));
    }
    for (const double edge : {922337203685477.5, 922337203685477.625, 922337203685477.75, 0.00005, 5e-5,
                              std::nextafter(0.00005, 0.0), 0.0, -0.0, std::numeric_limits<double>::denorm_min()}) {
        values.push_back(edge);
        values.push_back(-edge);
    }
    for (const double x : values) {
        const long double scaled = static_cast<long double>(x) * 10000.0L;
        const bool inRange = scaled >= -0x1p63L && scaled < 0x1p63L - 0.5L;  // NaN: false
        ASSERT_EQ(DecimalInRange(x), inRange) << x;
        if (!inRange) {
            ASSERT_THROW(DecimalFromReal(x), EInvalidOp) << x;
            continue;
        }
        ASSERT_EQ(DecimalFromReal(x).Units, std::llrint(scaled)) << x;
    }
}

TEST(DecimalFromReal, RecoversEveryValueShownWithFifteenDigits) {
    std::mt19937_64 random(11);
    for (int i = 0; i < 200000; ++i) {
        const std::int64_t units =
            static_cast<std::int64_t>(random() % 2000000000000000ULL) - 1000000000000000LL;
        ASSERT_EQ(DecimalFromReal(DecimalToReal(Currency{units})).Units, units);
    }
}

namespace {

// 2^k in decimal by doubling a digit string: independent of the limbs the
// conversion uses.
std::string PowerOfTwoDigits(int k) {
    std::string digits = "1";  // most significant first
    for (int i = 0; i < k; ++i) {
        int carry = 0;
        for (auto d = digits.rbegin(); d != digits.rend(); ++d) {
            const int twice = (*d - '0') * 2 + carry;
            *d = static_cast<char>('0' + twice % 10);
            carry = twice / 10;
        }
        if (carry) digits.insert(digits.begin(), '1');
    }
    return digits;
}

}  // namespace

TEST(RealToText, TheTableFormWhereTheDecimalRangeReaches) {
    std::mt19937_64 random(5);
    for (int i = 0; i < 100000; ++i) {
        const double x = std::ldexp(static_cast<double>(random() >> 11), static_cast<int>(random() % 100) - 80) *
                         (random() % 2 ? 1 : -1);
        if (!(std::fabs(x) < 9.2e14)) continue;
        ASSERT_EQ(RealToText(x), DecimalToText(DecimalFromReal(x))) << x;
    }
    EXPECT_EQ(RealToText(922337203685477.5), "922337203685477.5");
    EXPECT_EQ(RealToText(0.00005), "0.0001");
}

// Beyond the decimal range (a level read as the largest decimal already lies
// there once it is a double) the value's own digits, never an exponent.
TEST(RealToText, BeyondTheDecimalRangeTheValuesOwnDigits) {
    EXPECT_EQ(RealToText(922337203685477.625), "922337203685477.625");
    EXPECT_EQ(RealToText(-922337203685477.625), "-922337203685477.625");
    EXPECT_EQ(RealToText(-922337203685477.75), "-922337203685477.75");
    EXPECT_EQ(RealToText(1e15 + 0.5), "1000000000000000.5");
    EXPECT_EQ(RealToText(std::nextafter(0x1p53, 0.0)), "9007199254740991");
    std::mt19937_64 random(9);
    for (int i = 0; i < 20000; ++i) {
        const std::uint64_t whole = (random() >> (random() % 15)) | (std::uint64_t{1} << 50);
        const double x = static_cast<double>(whole);
        char digits[24];
        const auto end = std::to_chars(digits, digits + sizeof digits, static_cast<std::uint64_t>(x)).ptr;
        ASSERT_EQ(RealToText(x), std::string(digits, end));
        ASSERT_EQ(RealToText(-x), "-" + std::string(digits, end));
    }
    for (int k : {63, 64, 100, 500, 1023}) EXPECT_EQ(RealToText(std::ldexp(1.0, k)), PowerOfTwoDigits(k)) << k;
    EXPECT_EQ(RealToText(std::numeric_limits<double>::max()).size(), 309U);
    EXPECT_EQ(RealToText(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(RealToText(std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(RealToText(-std::numeric_limits<double>::infinity()), "-INF");

    DecimalMark comma(',');
    EXPECT_EQ(RealToText(922337203685477.625), "922337203685477,625");
    EXPECT_EQ(RealToText(1.5), "1,5");
}

// The application object switches the C library to the user's locale; no
// number of ours, read or written, may change with it.
TEST(NumberTexts, TheSameUnderDecimalCommaCLibraryLocales) {
    const std::vector<std::string> texts = {
        "1.5", "-0.00005", "922337203685477.5807", "1e-3", "12.34567e2",
        // More than 19 digits and a scale beyond the tabled powers: the FPU road.
        "12345678901234567890123456789012345678901234567890e-46", std::string(4000, '1') + "e-3990"};
    const std::vector<double> reals = {0.1, 530.2, 922337203685477.625, -1e300, std::ldexp(1.0, 70)};
    auto all = [&] {
        std::vector<std::string> out;
        for (const std::string& t : texts) out.push_back(std::to_string(DecimalFromText(t).Units));
        for (const double x : reals) out.push_back(RealToText(x));
        return out;
    };
    const std::vector<std::string> inC = all();
    EXPECT_EQ(inC[5], "12345679");  // 1234.5678901...
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8"}) {
        TCLibraryLocale locale(name);
        ASSERT_TRUE(locale.Active()) << name << " is not installed (tools/setup.sh generates it)";
        ASSERT_EQ(TCLibraryLocale::DecimalPoint(), ",");
        EXPECT_EQ(all(), inC) << name;
    }
}

TEST(FloatEnvironment, ConversionLeavesCallersFlagsAsTheyWere) {
    // Every way through the conversion, failures included. The last two run
    // on the FPU; the very last overflows to infinity while accumulating and
    // then multiplies it by 0.
    const std::string texts[] = {"1.5",
                                 "1.23455",
                                 "0.1234567890123456789012345",
                                 "1E-60",
                                 "1E5000",
                                 "99999999999999999999999",
                                 "0E4999",
                                 "x",
                                 "123456789012345678901234567890123456789012345678901234567890E-54",
                                 "0." + std::string(5000, '9') + "E-100"};
    for (int preset : {0, FE_OVERFLOW, FE_INEXACT | FE_UNDERFLOW, FE_ALL_EXCEPT}) {
        for (const std::string& text : texts) {
            std::feclearexcept(FE_ALL_EXCEPT);
            std::feraiseexcept(preset);
            try {
                DecimalFromText(text);
            } catch (const EConvertError&) {
            }
            const int after = std::fetestexcept(FE_ALL_EXCEPT);
            std::feclearexcept(FE_ALL_EXCEPT);
            EXPECT_EQ(after, preset) << text;
        }
    }
}

TEST(FloatEnvironment, ConversionRoundsToNearestWhateverTheCallerSet) {
    // The last two are near ties whose digits no longer fit in 64 bits; the
    // very last has its power of ten beyond the table and runs on the FPU.
    const std::string texts[] = {"1.23445",
                                 "-1.23455",
                                 "0.66666666666666666666666666",
                                 "-0.33333333333333333333333333",
                                 "1.2344500000000000000000000001",
                                 "123455" + std::string(40, '0') + "E-45"};
    std::int64_t nearest[std::size(texts)];
    for (std::size_t i = 0; i < std::size(texts); ++i)
        nearest[i] = Units(texts[i]);
    EXPECT_EQ(nearest[0], 12344);
    EXPECT_EQ(nearest[1], -12346);
    EXPECT_EQ(nearest[2], 6667);
    EXPECT_EQ(nearest[3], -3333);
    for (int mode : {FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        ASSERT_EQ(std::fesetround(mode), 0);
        std::int64_t got[std::size(texts)];
        for (std::size_t i = 0; i < std::size(texts); ++i)
            got[i] = Units(texts[i]);
        const int modeAfter = std::fegetround();
        std::fesetround(FE_TONEAREST);
        EXPECT_EQ(modeAfter, mode);
        for (std::size_t i = 0; i < std::size(texts); ++i)
            EXPECT_EQ(got[i], nearest[i]) << texts[i];
    }
}

TEST(FloatEnvironment, ConversionMasksTrapsForItsOwnDuration) {
    std::feclearexcept(FE_ALL_EXCEPT);
    // With traps on, an unmasked inexact or invalid operation inside the
    // conversion would end the test with SIGFPE.
    ASSERT_NE(feenableexcept(FE_INEXACT | FE_INVALID | FE_OVERFLOW | FE_UNDERFLOW), -1);
    const std::int64_t a = Units("0.1234567890123456789012345");
    const std::int64_t b = Units("1.23455");
    const std::int64_t c =
        Units("123456789012345678901234567890123456789012345678901234567890E-54");
    bool rejected = false;
    try {
        DecimalFromText("0." + std::string(5000, '9') + "E-100"); // overflows, then inf * 0
    } catch (const EConvertError&) {
        rejected = true;
    }
    const int trapsAfter = fegetexcept();
    fedisableexcept(FE_ALL_EXCEPT);
    EXPECT_EQ(a, 1235);
    EXPECT_EQ(b, 12346);
    EXPECT_EQ(c, 1234567890);
    EXPECT_TRUE(rejected);
    EXPECT_EQ(trapsAfter, FE_INEXACT | FE_INVALID | FE_OVERFLOW | FE_UNDERFLOW);
}
