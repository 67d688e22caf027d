#include "Exceptions.h"
#include "FloatRules.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "Currency.h"

namespace {

template <class E, class F> void ExpectRaises(F&& formula, const char* message) {
    try {
        const double value = EvalFormula(formula);
        ADD_FAILURE() << "no exception, result " << value;
    } catch (const E& e) {
        EXPECT_EQ(e.Message, message);
    }
    EXPECT_EQ(std::fetestexcept(kFloatErrorFlags), 0) << "flags left set after raising";
}

} // namespace

TEST(RaiseFloatFlags, OneExceptionPerFlag) {
    struct Case {
        int flags;
        const char* message;
    };
    for (const Case c : {Case{FE_DIVBYZERO, "Floating point division by zero"},
                         Case{FE_INVALID, "Invalid floating point operation"},
                         Case{FE_OVERFLOW, "Floating point overflow"}}) {
        std::feraiseexcept(c.flags);
        try {
            RaiseFloatFlags(std::fetestexcept(FE_ALL_EXCEPT));
            ADD_FAILURE() << "nothing raised for " << c.flags;
        } catch (const EMathError& e) {
            EXPECT_EQ(e.Message, c.message);
        }
        EXPECT_EQ(std::fetestexcept(kFloatErrorFlags), 0);
    }
    EXPECT_THROW(RaiseFloatFlags(FE_DIVBYZERO), EZeroDivide);
    EXPECT_THROW(RaiseFloatFlags(FE_INVALID), EInvalidOp);
    EXPECT_THROW(RaiseFloatFlags(FE_OVERFLOW), EOverflow);
}

TEST(RaiseFloatFlags, CauseBeforeConsequence) {
    // inf from a division or an overflow, then inf - inf: the first is reported.
    EXPECT_THROW(RaiseFloatFlags(FE_DIVBYZERO | FE_INVALID), EZeroDivide);
    EXPECT_THROW(RaiseFloatFlags(FE_OVERFLOW | FE_INVALID | FE_INEXACT), EOverflow);
    EXPECT_THROW(RaiseFloatFlags(FE_DIVBYZERO | FE_OVERFLOW), EZeroDivide);
}

TEST(RaiseFloatFlags, SilentFlagsRaiseNothing) {
    EXPECT_NO_THROW(RaiseFloatFlags(0));
    EXPECT_NO_THROW(RaiseFloatFlags(FE_INEXACT | FE_UNDERFLOW));
}

TEST(EvalFormula, ErrorsRaiseTheirExceptions) {
    // Ordinary locals, as the computation uses them: the optimiser must not
    // move the arithmetic out from between the flag calls.
    long double one = 1, zero = 0, big = 1e4000L;
    ExpectRaises<EZeroDivide>([&] { return one / zero; }, "Floating point division by zero");
    ExpectRaises<EZeroDivide>([&] { return -one / zero; }, "Floating point division by zero");
    ExpectRaises<EInvalidOp>([&] { return zero / zero; }, "Invalid floating point operation");
    ExpectRaises<EInvalidOp>([&] { return std::sqrt(-one); }, "Invalid floating point operation");
    ExpectRaises<EOverflow>([&] { return big * big; }, "Floating point overflow");
    ExpectRaises<EZeroDivide>([&] { return one / zero - one / zero; },
                              "Floating point division by zero");
}

TEST(EvalFormula, OverflowInTheFinalRoundingToDouble) {
    long double dmax = std::numeric_limits<double>::max();
    long double ten = 10;
    // Finite in extended precision, too large for a double.
    ExpectRaises<EOverflow>([&] { return dmax * ten; }, "Floating point overflow");
    ExpectRaises<EOverflow>([&] { return -dmax * ten; }, "Floating point overflow");
    // Back into range before it is stored: fine.
    EXPECT_EQ(EvalFormula([&] { return dmax * ten / ten; }), std::numeric_limits<double>::max());
}

TEST(EvalFormula, UnderflowAndInexactAreSilent) {
    long double tiny = 1e-300L, tinier = 1e-4000L, three = 3, one = 1;
    EXPECT_EQ(EvalFormula([&] { return tiny * tiny; }), 0.0);       // in range until stored
    EXPECT_EQ(EvalFormula([&] { return tinier * tinier; }), 0.0);   // underflows in extended
    EXPECT_EQ(EvalFormula([&] { return one / three; }), 1.0 / 3.0); // inexact
    EXPECT_TRUE(std::isinf(
        EvalFormula([&] { return std::numeric_limits<long double>::infinity() * one; })));
}

TEST(EvalFormula, ComputesInExtendedAndRoundsOnceWhenStored) {
    // 1e16 + 1 is exact with 64 bits, a tie lost to 1e16 with 53.
    double a = 1e16, one = 1;
    EXPECT_EQ(EvalFormula([&] { return static_cast<long double>(a) + one - a; }), 1.0);
    EXPECT_EQ(a + one - a, 0.0);

    // 1 + 2^-53 + 2^-70 rounds up to 1 + 2^-52 directly to double, but to
    // 1 + 2^-53 in extended first, a tie that the store then rounds to 1.
    double x = 1.0, y = std::ldexp(1.0, -53) + std::ldexp(1.0, -70);
    EXPECT_EQ(x + y, 1.0 + std::ldexp(1.0, -52));
    EXPECT_EQ(EvalFormula([&] { return static_cast<long double>(x) + y; }), 1.0);
}

TEST(EvalFormula, EachFormulaStartsFromCleanErrorFlags) {
    long double one = 1, two = 2;
    // A flag left over from elsewhere is not blamed on the next formula.
    std::feraiseexcept(FE_DIVBYZERO | FE_OVERFLOW | FE_INVALID);
    EXPECT_EQ(EvalFormula([&] { return one / two; }), 0.5);
    EXPECT_EQ(std::fetestexcept(kFloatErrorFlags), 0);

    long double zero = 0;
    EXPECT_THROW(EvalFormula([&] { return one / zero; }), EZeroDivide);
    EXPECT_EQ(EvalFormula([&] { return one + two; }), 3.0);
}

// The same integers as nearbyint (the library's round to nearest, ties to
// even) for ties, values next to ties, small and huge values of both types.
TEST(RoundHalfEven, EqualsNearbyintEverywhereInRange) {
    std::vector<long double> values;
    for (long long k = -1000; k <= 1000; ++k) {
        const long double tie = static_cast<long double>(k) + 0.5L;
        values.insert(values.end(), {tie, std::nextafter(tie, -1e30L), std::nextafter(tie, 1e30L),
                                     static_cast<long double>(k), static_cast<long double>(k) * 0.25L});
    }
    // Ties and their neighbours where a long double just has room for a half
    // (2^62 + 0.5) and where a double does (2^52 + 0.5), and the largest values.
    for (const long double base : {0x1p62L, 0x1p52L, 0x1p40L, 86400000.0L * 2958466.0L}) {
        for (int d = -8; d <= 8; ++d) {
            const long double tie = base + d + 0.5L;
            values.insert(values.end(), {tie, -tie, std::nextafter(tie, 0.0L), std::nextafter(tie, 1e30L)});
        }
    }
    values.insert(values.end(), {0x1p63L - 1, -0x1p63L, std::nextafter(0x1p63L, 0.0L), 0.0L, -0.0L,
                                 0.49999999999999999995L, -0.5L, -1.5L, -2.5L});
    std::mt19937_64 random(3);
    for (int i = 0; i < 200000; ++i) {
        // Any magnitude below 2^63, any fraction bits.
        const long double x = std::ldexp(static_cast<long double>(random() >> 1), -static_cast<int>(random() % 127));
        values.push_back(random() % 2 ? x : -x);
    }
    for (const long double x : values) {
        ASSERT_EQ(RoundHalfEven(x), static_cast<long long>(std::nearbyint(x))) << static_cast<double>(x);
        const double d = static_cast<double>(x);
        ASSERT_EQ(RoundHalfEven(d), static_cast<long long>(std::nearbyint(d))) << d;
    }
}

// The conversion that switches the floating point environment for absurd
// texts hands the caller's to-nearest mode back: ties still go to even.
TEST(RoundHalfEven, ToNearestAfterTheConversionsThatSwitchTheEnvironment) {
    DecimalFromText(std::string(4000, '1') + "e-3990");
    EXPECT_EQ(std::fegetround(), FE_TONEAREST);
    EXPECT_EQ(RoundHalfEven(2.5L), 2);
    EXPECT_EQ(RoundHalfEven(3.5), 4);
    EXPECT_EQ(RoundHalfEven(-2.5), -2);
}
