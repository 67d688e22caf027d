#include "Currency.h"

#include "Arithmetic.h"
#include "Exceptions.h"
#include "LocaleFormats.h"

#include <bit>
#include <cerrno>
#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include <locale.h>
#include <stdlib.h>

// The text conversion is defined in terms of x87 extended arithmetic: digits
// accumulated with a 64-bit significand, scaled by a power of ten, rounded to
// an integer. Numbers in data files almost always have at most four decimals
// and fewer than 20 digits; for them every step of that arithmetic is exact,
// so plain integer code gives the same result. Beyond that (more decimals,
// so an inexact power of ten; more digits, so a rounded total) the extended
// operations are reproduced bit for bit in integer arithmetic. Either way the
// floating point unit is not touched, and its state need not be saved and
// restored. Only absurd texts (thousands of digits, or 20 or more significant
// digits with more than 44 decimals) run on the FPU, in a saved and restored
// environment.

static_assert(std::numeric_limits<long double>::digits == 64,
              "long double must be the x87 type with a 64-bit significand");

namespace {

constexpr std::uint64_t kTwoTo63 = std::uint64_t{1} << 63;

constexpr std::uint64_t kPow10[19] = {1ULL,
                                      10ULL,
                                      100ULL,
                                      1000ULL,
                                      10000ULL,
                                      100000ULL,
                                      1000000ULL,
                                      10000000ULL,
                                      100000000ULL,
                                      1000000000ULL,
                                      10000000000ULL,
                                      100000000000ULL,
                                      1000000000000ULL,
                                      10000000000000ULL,
                                      100000000000000ULL,
                                      1000000000000000ULL,
                                      10000000000000000ULL,
                                      100000000000000000ULL,
                                      1000000000000000000ULL};

// The most digits that, times 10^k, stay within the range of each sign.
struct DigitLimits {
    std::uint64_t v[std::size(kPow10)];
    constexpr explicit DigitLimits(std::uint64_t limit) : v{} {
        for (std::size_t k = 0; k < std::size(kPow10); ++k)
            v[k] = limit / kPow10[k];
    }
    constexpr std::uint64_t operator[](std::int64_t k) const { return v[k]; }
};
constexpr DigitLimits kMaxPositiveDigits(kTwoTo63 - 1);
constexpr DigitLimits kMaxNegativeDigits(kTwoTo63);

// Powers of ten as the nearest long double: 10^0 to 10^27 are exact, the
// negative ones are rounded to nearest by the compiler.
constexpr int kMaxTabledPow = 27;
constexpr long double kPosPow[kMaxTabledPow + 1] = {
    1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,
    1e10L, 1e11L, 1e12L, 1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L,
    1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};
constexpr int kMaxTabledNegPow = 40;
constexpr long double kNegPow[kMaxTabledNegPow + 1] = {
    1e0L,   1e-1L,  1e-2L,  1e-3L,  1e-4L,  1e-5L,  1e-6L,  1e-7L,  1e-8L,  1e-9L,  1e-10L,
    1e-11L, 1e-12L, 1e-13L, 1e-14L, 1e-15L, 1e-16L, 1e-17L, 1e-18L, 1e-19L, 1e-20L, 1e-21L,
    1e-22L, 1e-23L, 1e-24L, 1e-25L, 1e-26L, 1e-27L, 1e-28L, 1e-29L, 1e-30L, 1e-31L, 1e-32L,
    1e-33L, 1e-34L, 1e-35L, 1e-36L, 1e-37L, 1e-38L, 1e-39L, 1e-40L};

// The largest power of ten that is finite in long double (LDBL_MAX ~ 1.19e4932).
constexpr std::int64_t kMaxFinitePow10 = 4932;

// A long double taken apart: |value| = significand * 2^exponent.
struct Binary {
    std::uint64_t significand;
    int exponent;
    bool negative;
    bool finite;
};

Binary Decompose(long double x) {
    // x87 layout: 64-bit significand with explicit leading bit, then sign and
    // 15-bit biased exponent. Read as bytes: no floating point operation.
    unsigned char bytes[sizeof(long double)];
    std::memcpy(bytes, &x, sizeof bytes);
    Binary b{};
    std::memcpy(&b.significand, bytes, 8);
    const int biased = (bytes[8] | (bytes[9] << 8)) & 0x7fff;
    b.exponent = (biased == 0 ? 1 : biased) - 16383 - 63; // subnormals share the least exponent
    b.negative = (bytes[9] & 0x80) != 0;
    b.finite = biased != 0x7fff;
    return b;
}

// 10^-n taken apart at compile time: doubling is exact, so the loop only
// shifts the significand up to its integer form.
constexpr Binary DecomposeConstant(long double x) {
    int exponent = 0;
    while (x < 0x1p63L) {
        x *= 2;
        --exponent;
    }
    return {static_cast<std::uint64_t>(x), exponent, false, true};
}

struct NegPowTable {
    Binary p[kMaxTabledNegPow + 1];
    constexpr NegPowTable() : p{} {
        for (int n = 0; n <= kMaxTabledNegPow; ++n)
            p[n] = DecomposeConstant(kNegPow[n]);
    }
};

constexpr NegPowTable kNegPowBits;

struct Wide {
    std::uint64_t hi, lo;
};

Wide Multiply(std::uint64_t a, std::uint64_t b) {
    const std::uint64_t a0 = a & 0xffffffffU, a1 = a >> 32;
    const std::uint64_t b0 = b & 0xffffffffU, b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const std::uint64_t mid = (p00 >> 32) + (p01 & 0xffffffffU) + (p10 & 0xffffffffU);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (mid >> 32), (mid << 32) | (p00 & 0xffffffffU)};
}

// True when the discarded low bits force rounding up under nearest-even.
bool RoundsUp(std::uint64_t discarded, std::uint64_t half, std::uint64_t kept) {
    return discarded > half || (discarded == half && (kept & 1U) != 0);
}

// A non-negative long double value held as integers: q * 2^t.
struct Emulated {
    std::uint64_t q;
    int t;
};

// (hi:lo) * 2^t rounded to a 64-bit significand, nearest-even.
Emulated Round(Wide w, int t) {
    if (w.hi == 0) return {w.lo, t};
    int shift = 64 - std::countl_zero(w.hi); // 1..64 bits beyond the significand
    std::uint64_t q = shift == 64 ? w.hi : (w.hi << (64 - shift)) | (w.lo >> shift);
    const std::uint64_t dropped = shift == 64 ? w.lo : w.lo & ((std::uint64_t{1} << shift) - 1);
    if (RoundsUp(dropped, std::uint64_t{1} << (shift - 1), q)) {
        if (++q == 0) { // carried out of the top: 2^64 = 2^63 * 2
            q = kTwoTo63;
            ++shift;
        }
    }
    return {q, t + shift};
}

// value * 10 + digit, each operation rounded to the 64-bit significand.
Emulated TimesTenPlus(Emulated v, unsigned digit) {
    const Emulated m = Round(Multiply(v.q, 10), v.t);
    if (m.t >= 64) return m; // the digit lies far below half the last place
    Wide w = m.t == 0 ? Wide{0, m.q} : Wide{m.q >> (64 - m.t), m.q << m.t};
    w.lo += digit;
    if (w.lo < digit) ++w.hi;
    return Round(w, 0);
}

// q * 2^t rounded to an integer, nearest-even, within the magnitude limit.
// False when out of range.
bool RoundToUnits(std::uint64_t q, int t, std::uint64_t limit, std::uint64_t& magnitude) {
    if (t >= 0) {
        if (t >= 64 || q > (limit >> t)) return false;
        magnitude = q << t;
        return true;
    }
    const int shift = -t;
    if (shift > 64) {
        magnitude = 0; // below one half
    } else if (shift == 64) {
        magnitude = q > kTwoTo63 ? 1 : 0; // exactly one half goes to the even 0
    } else {
        magnitude = q >> shift;
        const std::uint64_t mask = (std::uint64_t{1} << shift) - 1;
        if (RoundsUp(q & mask, std::uint64_t{1} << (shift - 1), magnitude)) ++magnitude;
    }
    return magnitude <= limit;
}

// A long double rounded to whole units, nearest-even, whatever the FPU's
// rounding mode; false for a NaN, an infinity or a value outside 64 bits.
bool ToUnits(long double x, std::int64_t& units) {
    const Binary b = Decompose(x);
    if (!b.finite) return false;
    std::uint64_t magnitude = 0;
    if (!RoundToUnits(b.significand, b.exponent, b.negative ? kTwoTo63 : kTwoTo63 - 1, magnitude))
        return false;
    units = static_cast<std::int64_t>(b.negative ? 0 - magnitude : magnitude);
    return true;
}

// v * 10^-n with the product rounded to a 64-bit significand, then to an
// integer: what the extended multiply and the integer conversion give.
bool ScaleDown(Emulated v, int n, std::uint64_t limit, std::uint64_t& magnitude) {
    const Binary p = kNegPowBits.p[n];
    const Emulated product = Round(Multiply(v.q, p.significand), v.t + p.exponent);
    return RoundToUnits(product.q, product.t, limit, magnitude);
}

// Past this many digits beyond the first 64 bits the emulation hands over to
// the FPU, which also covers the overflow to infinity (near 4932 digits).
constexpr int kMaxWideDigits = 4000;

// The running digit total: an exact integer while it fits in 64 bits (the
// usual case), the emulated extended register after that.
struct DigitTotal {
    std::uint64_t exact = 0;
    Emulated wide{};
    int wideDigits = 0;
    bool fits = true;

    void Add(unsigned digit) {
        constexpr std::uint64_t cut = std::numeric_limits<std::uint64_t>::max() / 10;
        constexpr unsigned lastDigit = std::numeric_limits<std::uint64_t>::max() % 10;
        if (fits) {
            if (exact < cut || (exact == cut && digit <= lastDigit)) {
                exact = exact * 10 + digit;
                return;
            }
            fits = false;
            wide = {exact, 0};
        }
        if (++wideDigits <= kMaxWideDigits) wide = TimesTenPlus(wide, digit);
    }
};

enum class Scaled { ok, fail, fpu };

Scaled ScaleTotal(const DigitTotal& total, std::int64_t scale, bool negative, std::int64_t& units) {
    const std::uint64_t limit = negative ? kTwoTo63 : kTwoTo63 - 1;
    std::uint64_t magnitude = 0;
    if (!total.fits) {
        // At least 2^64 before scaling: only a negative power brings it into range.
        if (scale >= 0) return Scaled::fail;
        if (scale < -kMaxTabledNegPow || total.wideDigits > kMaxWideDigits) return Scaled::fpu;
        if (!ScaleDown(total.wide, static_cast<int>(-scale), limit, magnitude)) return Scaled::fail;
    } else if (total.exact == 0) {
        // 0 times an overflowed power of ten is not a number.
        if (scale > kMaxFinitePow10) return Scaled::fail;
    } else if (scale >= 0) {
        // Compared with a tabled quotient: a 64-bit division costs more than
        // the whole scan of a typical number.
        if (scale >= static_cast<std::int64_t>(std::size(kPow10)) ||
            total.exact > (negative ? kMaxNegativeDigits : kMaxPositiveDigits)[scale])
            return Scaled::fail;
        magnitude = total.exact * kPow10[scale];
    } else if (scale >= -kMaxTabledNegPow) {
        if (!ScaleDown({total.exact, 0}, static_cast<int>(-scale), limit, magnitude))
            return Scaled::fail;
    }
    // else: below 2^64 * 10^-41, far under one half: 0.
    units = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
    return Scaled::ok;
}

// The nearest long double to 10^k.
long double Pow10(std::int64_t k) {
    if (k >= 0 && k <= kMaxTabledPow) return kPosPow[k];
    if (k < 0 && k >= -kMaxTabledNegPow) return kNegPow[-k];
    if (k > kMaxFinitePow10) return std::numeric_limits<long double>::infinity();
    if (k < -5000) return 0.0L; // below half the smallest subnormal
    char text[16] = "1e";
    char* p = text + 2;
    if (k < 0) *p++ = '-';
    std::uint64_t m = k < 0 ? static_cast<std::uint64_t>(-k) : static_cast<std::uint64_t>(k);
    char rev[8];
    int n = 0;
    do {
        rev[n++] = static_cast<char>('0' + m % 10);
        m /= 10;
    } while (m != 0);
    while (n > 0)
        *p++ = rev[--n];
    *p = '\0';
    // Correctly rounded, and read in the C locale: an exponent-only text reads
    // alike in every locale today, but the program's locale is the user's
    // once the application object has set it, and no number of ours may
    // depend on that.
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
    const int savedErrno = errno;
    const long double value = strtold_l(text, nullptr, cLocale);
    errno = savedErrno;
    return value;
}


// The general case, literally in extended precision: every floating point
// exception masked, round to nearest, and the caller's environment restored.
bool ScaleExtended(const char* intBegin, const char* intEnd, const char* fracBegin,
                   const char* fracEnd, std::int64_t scale, bool negative, std::int64_t& units) {
    std::fenv_t caller;
    std::fegetenv(&caller);
    std::fesetenv(FE_DFL_ENV);
    // The volatile accesses pin the arithmetic between the two environment
    // switches; the compiler does not otherwise treat the FPU state as live.
    volatile long double start = 0.0L;
    long double value = start;
    for (const char* p = intBegin; p != intEnd; ++p)
        value = value * 10.0L + (*p - '0');
    for (const char* p = fracBegin; p != fracEnd; ++p)
        value = value * 10.0L + (*p - '0');
    volatile long double product = value * Pow10(scale);
    std::fesetenv(&caller);
    return ToUnits(negative ? -product : product, units); // negation and rounding: integer work
}

[[noreturn]] void FailConversion(std::string_view text) {
    std::string message;
    message.reserve(text.size() + 40);
    message += '\'';
    message.append(text);
    message += "' is not a valid floating point value";
    throw EConvertError(std::move(message));
}

const char* Accumulate(const char* p, const char* end, DigitTotal& total) {
    for (; p != end && IsDigit(*p); ++p)
        total.Add(static_cast<unsigned>(*p - '0'));
    return p;
}

} // namespace

Currency DecimalFromText(std::string_view text) {
    // The text ends at its first NUL. No step below consumes a NUL (unless it
    // were the decimal mark, which no locale has), so every scan stops there
    // by itself and only the final check needs to know.
    const char* const begin = text.data();
    const char* const end = begin + text.size();
    const char mark = Formats().decimalMark;

    const char* p = begin;
    while (p != end && *p == ' ')
        ++p;
    bool negative = false;
    if (p != end && (*p == '+' || *p == '-')) {
        negative = *p == '-';
        ++p;
    }
    DigitTotal total;
    const char* const intBegin = p;
    p = Accumulate(p, end, total);
    const char* const intEnd = p;
    const char* fracBegin = p;
    const char* fracEnd = p;
    bool sawMark = false;
    if (p != end && *p == mark) {
        sawMark = true;
        fracBegin = ++p;
        p = Accumulate(p, end, total);
        fracEnd = p;
    }
    if (intEnd == intBegin && !sawMark) FailConversion(text);
    int exponent = 0;
    if (p != end && (*p == 'E' || *p == 'e')) {
        ++p;
        bool negativeExponent = false;
        if (p != end && (*p == '+' || *p == '-')) {
            negativeExponent = *p == '-';
            ++p;
        }
        // Digits beyond the point where the exponent reached 500 stay unread.
        for (; p != end && IsDigit(*p) && exponent < 500; ++p)
            exponent = exponent * 10 + (*p - '0');
        if (negativeExponent) exponent = -exponent;
    }
    while (p != end && *p == ' ')
        ++p;
    if (p != end && *p != '\0') FailConversion(text);

    const std::int64_t scale = std::int64_t{exponent} - (fracEnd - fracBegin) + 4;
    std::int64_t units = 0;
    const Scaled s = ScaleTotal(total, scale, negative, units);
    if (s == Scaled::fail || (s == Scaled::fpu && !ScaleExtended(intBegin, intEnd, fracBegin,
                                                                 fracEnd, scale, negative, units)))
        FailConversion(text);
    return Currency{units};
}

namespace {

constexpr char kDigitPairs[] = "00010203040506070809"
                               "10111213141516171819"
                               "20212223242526272829"
                               "30313233343536373839"
                               "40414243444546474849"
                               "50515253545556575859"
                               "60616263646566676869"
                               "70717273747576777879"
                               "80818283848586878889"
                               "90919293949596979899";

} // namespace

void AppendDecimalText(std::string& out, Currency value) {
    // Longest text: "-922337203685477.5808", 21 characters. The whole part is
    // written backwards up to `point`, the fraction forwards from it.
    char buffer[32];
    char* const point = buffer + 20;
    const std::uint64_t magnitude = value.Units < 0 ? 0 - static_cast<std::uint64_t>(value.Units)
                                                    : static_cast<std::uint64_t>(value.Units);
    std::uint64_t whole = magnitude / 10000;
    const unsigned fraction = static_cast<unsigned>(magnitude % 10000);

    char* first = point;
    while (whole >= 100) {
        const unsigned pair = static_cast<unsigned>(whole % 100);
        whole /= 100;
        first -= 2;
        std::memcpy(first, kDigitPairs + 2 * pair, 2);
    }
    if (whole >= 10) {
        first -= 2;
        std::memcpy(first, kDigitPairs + 2 * whole, 2);
    } else {
        *--first = static_cast<char>('0' + whole);
    }
    if (value.Units < 0) *--first = '-';

    char* last = point;
    if (fraction != 0) {
        *last++ = Formats().decimalMark;
        std::memcpy(last, kDigitPairs + 2 * (fraction / 100), 2);
        std::memcpy(last + 2, kDigitPairs + 2 * (fraction % 100), 2);
        last += 4;
        while (last[-1] == '0')
            --last; // fraction is not 0: stops at a digit
    }
    out.append(first, static_cast<std::size_t>(last - first));
}

std::string DecimalToText(Currency value) {
    std::string text;
    AppendDecimalText(text, value);
    return text;
}

double DecimalToReal(Currency value) {
    return static_cast<double>(static_cast<long double>(value.Units) / 10000.0L);
}

namespace {

// value * 10000 rounded to nearest, ties to even, as the extended product
// rounded by the FPU, but in integers: a double's 53-bit significand times
// 625 stays below 2^63, so the product (times 2^4) is exact in 64 bits and
// only its rounding to an integer remains. False for a NaN, an infinity and
// a value outside the 64-bit range (-2^63 itself is in it).
bool RealToUnits(double value, std::int64_t& units) {
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const int biased = static_cast<int>((bits >> 52) & 0x7ff);
    if (biased == 0x7ff) return false;
    std::uint64_t significand = bits & ((std::uint64_t{1} << 52) - 1);
    int exponent = -1074;
    if (biased != 0) {
        significand |= std::uint64_t{1} << 52;
        exponent = biased - 1075;
    }
    const bool negative = (bits >> 63) != 0;
    const std::uint64_t product = significand * 625;
    const int shift = -(exponent + 4);
    std::uint64_t magnitude = 0;
    if (shift > 0 && shift < 64) {
        // The usual case, a value with a fraction: below 2^63 after the shift.
        // Without branches: the discarded bits follow the data, not a pattern.
        magnitude = product >> shift;
        const std::uint64_t rest = product & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        magnitude += static_cast<std::uint64_t>(rest > half) | (static_cast<std::uint64_t>(rest == half) & magnitude);
    } else if (!RoundToUnits(product, -shift, negative ? kTwoTo63 : kTwoTo63 - 1, magnitude)) {
        return false;
    }
    units = static_cast<std::int64_t>(negative ? 0 - magnitude : magnitude);
    return true;
}

} // namespace

Currency DecimalFromReal(double value) {
    Currency c;
    if (!RealToUnits(value, c.Units)) throw EInvalidOp();
    return c;
}

bool DecimalInRange(double value) {
    std::int64_t units;
    return RealToUnits(value, units);
}

namespace {

// The digits of a non-negative integer m * 2^shift (shift >= 0): base 10^9
// limbs, doubled shift times. Only messages come here, so plainness wins.
std::string WholeDigits(std::uint64_t m, int shift) {
    constexpr std::uint32_t kLimb = 1000000000;
    std::vector<std::uint32_t> limbs;  // least significant first
    do {
        limbs.push_back(static_cast<std::uint32_t>(m % kLimb));
        m /= kLimb;
    } while (m != 0);
    for (int k = 0; k < shift; ++k) {
        std::uint32_t carry = 0;
        for (std::uint32_t& limb : limbs) {
            const std::uint64_t twice = std::uint64_t{limb} * 2 + carry;
            limb = static_cast<std::uint32_t>(twice % kLimb);
            carry = static_cast<std::uint32_t>(twice / kLimb);
        }
        if (carry != 0) limbs.push_back(carry);
    }
    std::string text = std::to_string(limbs.back());
    for (std::size_t i = limbs.size() - 1; i-- > 0;) {
        const std::string part = std::to_string(limbs[i]);
        text.append(9 - part.size(), '0');
        text += part;
    }
    return text;
}

} // namespace

std::string RealToText(double value) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value < 0 ? "-INF" : "INF";
    if (DecimalInRange(value)) return DecimalToText(DecimalFromReal(value));
    // |value| >= 2^63 / 10^4 > 2^49: a 53-bit significand leaves at most three
    // binary places below the point, so the value is its own text.
    int exponent = 0;
    const double fraction = std::frexp(std::fabs(value), &exponent);
    const auto significand = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    const int shift = exponent - 53;
    std::string text = value < 0 ? "-" : "";
    if (shift >= 0) return text + WholeDigits(significand, shift);
    const int places = -shift;  // 1 to 3
    text += WholeDigits(significand >> places, 0);
    // The binary places in ten-thousandths: 10000 / 2^places is whole.
    unsigned units = static_cast<unsigned>(significand & ((1U << places) - 1)) * (10000U >> places);
    if (units != 0) {
        text += Formats().decimalMark;
        char digits[4];
        for (int k = 3; k >= 0; --k, units /= 10) digits[k] = static_cast<char>('0' + units % 10);
        int length = 4;
        while (digits[length - 1] == '0') --length;
        text.append(digits, static_cast<std::size_t>(length));
    }
    return text;
}
