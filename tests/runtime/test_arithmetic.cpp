#include "Arithmetic.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

// Halves away from zero whatever the signs, the product never overflowing on
// the way: checked against the exact quotient in long double.
TEST(MulDiv, RoundsHalvesAwayFromZeroForAnySigns) {
    EXPECT_EQ(MulDiv(5, 3, 2), 8);    // 7.5
    EXPECT_EQ(MulDiv(-5, 3, 2), -8);
    EXPECT_EQ(MulDiv(5, 3, -2), -8);
    EXPECT_EQ(MulDiv(-5, -3, -2), -8);
    EXPECT_EQ(MulDiv(13, 96, 120), 10);  // 10.4
    EXPECT_EQ(MulDiv(2000000000, 3, 4), 1500000000);
    EXPECT_EQ(MulDiv(7, 1, 0), 0);
    std::mt19937 random(17);
    std::uniform_int_distribution<int> any(-2000000, 2000000), divisor(-1000, 1000);
    for (int i = 0; i < 100000; ++i) {
        const int a = any(random), b = any(random) / 1000, c = divisor(random);
        if (c == 0) continue;
        const long double exact = static_cast<long double>(a) * b / c;
        const long double rounded = std::copysign(std::floor(std::fabs(exact) + 0.5L), exact);
        if (std::fabs(rounded) > 2147483647.0L) continue;  // no int holds it
        ASSERT_EQ(MulDiv(a, b, c), static_cast<int>(rounded)) << a << " " << b << " " << c;
    }
}
