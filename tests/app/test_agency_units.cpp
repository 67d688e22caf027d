// Units of agency files: the option, the exact factors, and the one rounding
// of each conversion, checked against exact decimal arithmetic (the product
// of two decimals is a decimal; strtod rounds a decimal text correctly).

#include "Currency.h"
#include "Exceptions.h"
#include "OptionText.h"
#include "RecordUnits.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <random>
#include <string>

namespace {

std::uint64_t Bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

// Decimal digit strings, most significant first.
std::string Multiply(const std::string& a, const std::string& b) {
    std::vector<int> sum(a.size() + b.size(), 0);
    for (std::size_t i = a.size(); i-- > 0;)
        for (std::size_t j = b.size(); j-- > 0;)
            sum[i + j + 1] += (a[i] - '0') * (b[j] - '0');
    for (std::size_t k = sum.size(); k-- > 1;) {
        sum[k - 1] += sum[k] / 10;
        sum[k] %= 10;
    }
    std::string out;
    for (const int d : sum)
        out += static_cast<char>('0' + d);
    return out;
}

// digits / divisor to 80 more digits, then a 1 when anything is left: a
// decimal that rounds as the exact quotient does. Its exponent drops by 81.
std::string Divide(const std::string& digits, std::uint64_t divisor) {
    std::string out;
    __extension__ unsigned __int128 rest = 0;
    const std::string padded = digits + std::string(80, '0');
    for (const char c : padded) {
        rest = rest * 10 + static_cast<unsigned>(c - '0');
        out += static_cast<char>('0' + static_cast<int>(rest / divisor));
        rest %= divisor;
    }
    return out + (rest ? "1" : "0");
}

// The nearest double to digits * 10^exponent / divisor, by strtod.
double Nearest(bool negative, std::string digits, int exponent, std::uint64_t divisor = 1) {
    if (divisor != 1) {
        digits = Divide(digits, divisor);
        exponent -= 81;
    }
    const std::string text = (negative ? "-" : "") + digits + "e" + std::to_string(exponent);
    return std::strtod(text.c_str(), nullptr);
}

// The nearest double to (units / 10^4) * (factorDigits * 10^factorExponent) [/ divisor].
double Exact(std::int64_t units, const char* factorDigits, int factorExponent,
             std::uint64_t divisor = 1) {
    const std::uint64_t magnitude = units < 0 ? 0ULL - static_cast<std::uint64_t>(units) : units;
    return Nearest(units < 0, Multiply(std::to_string(magnitude), factorDigits), factorExponent - 4,
                   divisor);
}

// The nearest double to x * den / num: x = m * 2^e = m * 5^-e * 10^e.
double ExactBack(double x, TUnitFactor f) {
    int e = 0;
    const auto m = static_cast<std::uint64_t>(std::ldexp(std::frexp(std::fabs(x), &e), 53));
    e -= 53;
    std::string digits = Multiply(std::to_string(m), std::to_string(f.den));
    for (int k = 0; k < -e; ++k)
        digits = Multiply(digits, "5");
    if (e > 0) digits = Multiply(digits, std::to_string(1ULL << e));
    return Nearest(x < 0, digits, e < 0 ? e : 0, f.num);
}

} // namespace

TEST(AgencyUnits, OptionTexts) {
    const TRecordUnits u = ParseUnits(" level=FT, storage=af ,flow=cfs,loss=AF");
    EXPECT_EQ(u, (TRecordUnits{TLevelUnit::Ft, TStorageUnit::Af, TFlowUnit::Cfs, TLossUnit::Af}));
    EXPECT_TRUE(ParseUnits("level=m").AllDefault());
    EXPECT_EQ(ParseUnits("storage=maf").storage, TStorageUnit::Maf);
    const struct {
        const char* text;
        const char* message;
    } refused[] = {
        {"", "--units: no units given"},
        {"flow=cms", "--units: unknown flow unit 'cms' (m3/s or cfs)"},
        {"storage=acre-ft",
         "--units: unknown storage unit 'acre-ft' (1e8m3, 1e6m3, m3, af, kaf or maf)"},
        {"loss=kaf", "--units: unknown loss unit 'kaf' (m3/s, cfs, m3 or af)"},
        {"level=yd", "--units: unknown level unit 'yd' (m or ft)"},
        {"depth=m", "--units: unknown quantity 'depth' (level, storage, flow or loss)"},
        {"flow=cfs,flow=cfs", "--units: flow given twice"},
        {"ft", "--units: 'ft' is not QUANTITY=UNIT"},
        {"level=ft,", "--units: empty item in 'level=ft,'"},
    };
    for (const auto& r : refused) {
        std::string message;
        try {
            ParseUnits(r.text);
        } catch (const EOptionError& e) {
            message = e.what();
        }
        EXPECT_EQ(message, r.message) << r.text;
    }
}

// Every conversion is the double nearest the exact value, for values across
// the range the files hold and beyond; the program's own units are not
// converted at all.
TEST(AgencyUnits, ExactFactorsRoundedOnce) {
    const struct {
        TUnitFactor factor;
        const char* digits; // the factor as the agencies define it
        int exponent;
    } units[] = {
        {UnitFactor(TLevelUnit::Ft), "3048", -4},
        {UnitFactor(TStorageUnit::E6M3), "1", -2},
        {UnitFactor(TStorageUnit::M3), "1", -8},
        {UnitFactor(TStorageUnit::Af), "123348183754752", -11 - 8},
        {UnitFactor(TStorageUnit::Kaf), "123348183754752", -11 - 5},
        {UnitFactor(TStorageUnit::Maf), "123348183754752", -11 - 2},
        {UnitFactor(TFlowUnit::Cfs), "28316846592", -12},
        {UnitFactor(TLossUnit::Af), "123348183754752", -11},
    };
    std::mt19937_64 rng(20);
    for (const auto& u : units) {
        for (int k = 0; k < 3000; ++k) {
            // Magnitudes from 10^-4 to about 10^14, each decade alike.
            const int decade = static_cast<int>(rng() % 18);
            std::int64_t units = static_cast<std::int64_t>(rng() % 9000000000000000000ULL);
            for (int d = 18; d > decade; --d)
                units /= 10;
            if (rng() % 2) units = -units;
            const Currency c{units};
            const double ours = FromUnit(c, u.factor);
            ASSERT_EQ(Bits(ours), Bits(Exact(units, u.digits, u.exponent)))
                << units << " * " << u.digits;
            ASSERT_EQ(Bits(ToUnit(ours, u.factor)), Bits(ExactBack(ours, u.factor))) << ours;
            // A multiple of num back gives a dyadic value: ties to even are met.
            const double dyadic = std::ldexp(
                static_cast<double>(u.factor.num * (1 + rng() % ((1ULL << 53) / u.factor.num))),
                static_cast<int>(rng() % 80) - 60);
            ASSERT_EQ(Bits(ToUnit(dyadic, u.factor)), Bits(ExactBack(dyadic, u.factor))) << dyadic;
            // Back in the user's unit, the text written with four decimals
            // is the text read, wherever a double holds 4 decimals exactly.
            if (units < (std::int64_t{1} << 50) && units > -(std::int64_t{1} << 50)) {
                ASSERT_EQ(DecimalFromReal(ToUnit(ours, u.factor)), c) << units << " * " << u.digits;
            }
        }
    }
    // The program's own units: DecimalToReal's value, not a product.
    for (const std::int64_t units :
         {std::int64_t{1}, std::int64_t{-3}, std::int64_t{12345678}, INT64_MAX}) {
        const Currency c{units};
        for (const TUnitFactor one : {UnitFactor(TLevelUnit::M), UnitFactor(TStorageUnit::E8M3),
                                      UnitFactor(TFlowUnit::M3s), UnitFactor(TLossUnit::M3s)}) {
            EXPECT_EQ(Bits(FromUnit(c, one)), Bits(DecimalToReal(c)));
            EXPECT_EQ(Bits(ToUnit(0.1, one)), Bits(0.1));
        }
    }
    // The published constants themselves.
    EXPECT_EQ(FromUnit(DecimalFromText("1"), UnitFactor(TLevelUnit::Ft)), 0.3048);
    EXPECT_EQ(FromUnit(DecimalFromText("1"), UnitFactor(TFlowUnit::Cfs)), 0.028316846592);
    EXPECT_EQ(FromUnit(DecimalFromText("1"), UnitFactor(TLossUnit::Af)), 1233.48183754752);
    EXPECT_EQ(FromUnit(DecimalFromText("100000000"), UnitFactor(TStorageUnit::Af)),
              1233.48183754752);
}

// A volume over its step: the exact volume divided by the exact step.
TEST(AgencyUnits, LossVolumesOverTheStep) {
    std::mt19937_64 rng(21);
    for (const std::uint64_t dt : {86400ULL, 3600ULL, 10800ULL, 7ULL}) {
        for (int k = 0; k < 2000; ++k) {
            const auto units = static_cast<std::int64_t>(rng() % 100000000000ULL) - 50000000000LL;
            const Currency c{units};
            ASSERT_EQ(Bits(LossRate(c, TLossUnit::Af, static_cast<double>(dt))),
                      Bits(Exact(units, "123348183754752", -11, dt)))
                << units << " af / " << dt;
            ASSERT_EQ(Bits(LossRate(c, TLossUnit::M3, static_cast<double>(dt))),
                      Bits(Exact(units, "1", 0, dt)));
        }
    }
    // Steps of any length: dt = M * 2^k, so volume / dt = (volume / M) * 2^-k.
    for (int k = 0; k < 2000; ++k) {
        const double dt = 1 + std::ldexp(static_cast<double>(rng() >> 11), -53) * 1e6;
        int e = 0;
        const auto m = static_cast<std::uint64_t>(std::ldexp(std::frexp(dt, &e), 53));
        const auto units = static_cast<std::int64_t>(rng() % 100000000000ULL) - 50000000000LL;
        ASSERT_EQ(Bits(LossRate(Currency{units}, TLossUnit::Af, dt)),
                  Bits(std::ldexp(Exact(units, "123348183754752", -11, m), 53 - e)))
            << units << " af / " << dt;
    }
    // The agency's day: 133 acre-ft of evaporation as a flow.
    EXPECT_NEAR(LossRate(DecimalFromText("133"), TLossUnit::Af, 86400), 1.89877, 1e-5);
    EXPECT_EQ(Bits(LossRate(DecimalFromText("5.5"), TLossUnit::Cfs, 0)),
              Bits(FromUnit(DecimalFromText("5.5"), UnitFactor(TFlowUnit::Cfs))));
    EXPECT_EQ(Bits(LossRate(DecimalFromText("5.5"), TLossUnit::M3s, 86400)), Bits(5.5));
    EXPECT_EQ(LossRate(DecimalFromText("-10"), TLossUnit::M3, -5), 2.0);
    EXPECT_THROW(LossRate(DecimalFromText("1"), TLossUnit::Af, 0), EZeroDivide);
    EXPECT_THROW(LossRate(DecimalFromText("1"), TLossUnit::M3, std::nan("")), EInvalidOp);
    EXPECT_STREQ(UnitSuffix(TFlowUnit::Cfs), "cfs");
    EXPECT_STREQ(UnitSuffix(TFlowUnit::M3s), "m3s");
    EXPECT_STREQ(UnitText(TStorageUnit::E8M3), "10^8m^3");
}
