// Units of agency files: every conversion is the double nearest the exact
// value, checked against exact decimal arithmetic (the product of two
// decimals is a decimal, a quotient is taken to 80 more digits; strtod rounds
// a decimal text correctly), and the program's own units convert nothing.

#include "AgencyTestSupport.h"
#include "Currency.h"
#include "Exceptions.h"
#include "RecordUnits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>

using agency_test::Bits;

namespace {

// Digit strings, most significant first.
std::string Multiply(const std::string& a, const std::string& b) {
    std::vector<int> sum(a.size() + b.size(), 0);
    for (std::size_t i = 0; i < a.size(); ++i)
        for (std::size_t j = 0; j < b.size(); ++j) sum[i + j + 1] += (a[i] - '0') * (b[j] - '0');
    for (std::size_t k = sum.size() - 1; k > 0; --k) sum[k - 1] += sum[k] / 10, sum[k] %= 10;
    std::string out;
    for (const int d : sum) out += static_cast<char>('0' + d);
    return out;
}

// The nearest double to digits * 10^exponent / divisor: the quotient to 80
// more digits, then a 1 when anything is left, rounds as the exact one does.
double Nearest(bool negative, const std::string& digits, int exponent, std::uint64_t divisor = 1) {
    std::string text = negative ? "-" : "";
    __extension__ unsigned __int128 rest = 0;
    for (const char c : digits + std::string(80, '0')) {
        rest = rest * 10 + static_cast<unsigned>(c - '0');
        text += static_cast<char>('0' + static_cast<int>(rest / divisor));
        rest %= divisor;
    }
    text += (rest ? "1e" : "0e") + std::to_string(exponent - 81);
    return std::strtod(text.c_str(), nullptr);
}

// (units / 10^4) * factorDigits * 10^factorExponent [/ divisor].
double Exact(std::int64_t units, const char* factorDigits, int factorExponent, std::uint64_t divisor = 1) {
    const std::uint64_t magnitude = units < 0 ? 0ULL - static_cast<std::uint64_t>(units) : units;
    return Nearest(units < 0, Multiply(std::to_string(magnitude), factorDigits), factorExponent - 4, divisor);
}

// x * den / num, with x = m * 2^e = m * 5^-e * 10^e.
double ExactBack(double x, TUnitFactor f) {
    int e = 0;
    const auto m = static_cast<std::uint64_t>(std::ldexp(std::frexp(std::fabs(x), &e), 53));
    e -= 53;
    std::string digits = Multiply(std::to_string(m), std::to_string(f.den));
    for (int k = 0; k < -e; ++k) digits = Multiply(digits, "5");
    for (int k = 0; k < e; ++k) digits = Multiply(digits, "2");
    return Nearest(x < 0, digits, e < 0 ? e : 0, f.num);
}

}  // namespace

TEST(AgencyUnits, ExactFactorsRoundedOnce) {
    const struct {
        TUnitFactor factor;
        const char* digits;   // the factor as the agencies define it, times 10^exponent
        int exponent;
    } units[] = {
        {UnitFactor(TLevelUnit::Ft), "3048", -4},
        {UnitFactor(TStorageUnit::E6M3), "1", -2},
        {UnitFactor(TStorageUnit::M3), "1", -8},
        {UnitFactor(TStorageUnit::Af), "123348183754752", -19},
        {UnitFactor(TStorageUnit::Kaf), "123348183754752", -16},
        {UnitFactor(TStorageUnit::Maf), "123348183754752", -13},
        {UnitFactor(TFlowUnit::Cfs), "28316846592", -12},
        {UnitFactor(TLossUnit::Af), "123348183754752", -11},
    };
    std::mt19937_64 rng(20);
    for (const auto& u : units) {
        for (int k = 0; k < 3000; ++k) {
            // Magnitudes from 10^-4 to about 10^14, each decade alike.
            auto units = static_cast<std::int64_t>(rng() % 9000000000000000000ULL);
            for (int d = static_cast<int>(rng() % 18); d < 18; ++d) units /= 10;
            if (rng() % 2) units = -units;
            const double ours = FromUnit(Currency{units}, u.factor);
            ASSERT_EQ(Bits(ours), Bits(Exact(units, u.digits, u.exponent))) << units << " * " << u.digits;
            ASSERT_EQ(Bits(ToUnit(ours, u.factor)), Bits(ExactBack(ours, u.factor))) << ours;
            // A multiple of num gives a dyadic value back: ties to even are met.
            const double dyadic = std::ldexp(
                static_cast<double>(u.factor.num * (1 + rng() % ((1ULL << 53) / u.factor.num))),
                static_cast<int>(rng() % 80) - 60);
            ASSERT_EQ(Bits(ToUnit(dyadic, u.factor)), Bits(ExactBack(dyadic, u.factor))) << dyadic;
            // The way back writes the text that was read (while a double
            // holds four decimals exactly).
            if (std::llabs(units) < (1LL << 50)) {
                ASSERT_EQ(DecimalFromReal(ToUnit(ours, u.factor)).Units, units);
            }
        }
    }
    // The program's own units: DecimalToReal's value, not a product.
    for (const std::int64_t units : {std::int64_t{1}, std::int64_t{-3}, std::int64_t{12345678}, INT64_MAX})
        for (const TUnitFactor one : {UnitFactor(TLevelUnit::M), UnitFactor(TStorageUnit::E8M3),
                                      UnitFactor(TFlowUnit::M3s), UnitFactor(TLossUnit::M3s)}) {
            EXPECT_EQ(Bits(FromUnit(Currency{units}, one)), Bits(DecimalToReal(Currency{units})));
            EXPECT_EQ(Bits(ToUnit(0.1, one)), Bits(0.1));
        }
    EXPECT_EQ(FromUnit(Currency{10000}, UnitFactor(TFlowUnit::Cfs)), 0.028316846592);
    EXPECT_EQ(FromUnit(Currency{1000000000000}, UnitFactor(TStorageUnit::Af)), 1233.48183754752);
}

// A volume over its step: the exact volume divided by the exact step.
TEST(AgencyUnits, LossVolumesOverTheStep) {
    std::mt19937_64 rng(21);
    for (int k = 0; k < 8000; ++k) {
        const auto units = static_cast<std::int64_t>(rng() % 100000000000ULL) - 50000000000LL;
        // Whole steps, and any step dt = m * 2^(e-53), so volume / dt = (volume / m) * 2^(53-e).
        const std::uint64_t whole[] = {86400, 3600, 10800, 7};
        const double dt = k % 2 ? static_cast<double>(whole[k / 2 % 4])
                                : 1 + std::ldexp(static_cast<double>(rng() >> 11), -53) * 1e6;
        int e = 0;
        const auto m = static_cast<std::uint64_t>(std::ldexp(std::frexp(dt, &e), 53));
        ASSERT_EQ(Bits(LossRate(Currency{units}, TLossUnit::Af, dt)),
                  Bits(std::ldexp(Exact(units, "123348183754752", -11, m), 53 - e)))
            << units << " af / " << dt;
        ASSERT_EQ(Bits(LossRate(Currency{units}, TLossUnit::M3, dt)), Bits(std::ldexp(Exact(units, "1", 0, m), 53 - e)));
    }
    const Currency c = DecimalFromText("5.5");
    EXPECT_EQ(Bits(LossRate(c, TLossUnit::Cfs, 0)), Bits(FromUnit(c, UnitFactor(TFlowUnit::Cfs))));
    EXPECT_EQ(Bits(LossRate(c, TLossUnit::M3s, 86400)), Bits(5.5));
    EXPECT_EQ(LossRate(DecimalFromText("-10"), TLossUnit::M3, -5), 2.0);
    EXPECT_THROW(LossRate(c, TLossUnit::Af, 0), EZeroDivide);
    EXPECT_THROW(LossRate(c, TLossUnit::M3, std::nan("")), EInvalidOp);
}
