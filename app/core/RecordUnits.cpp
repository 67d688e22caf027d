#include "RecordUnits.h"

#include "Exceptions.h"
#include "OptionText.h"

#include <array>
#include <bit>
#include <cmath>
#include <limits>
#include <string>

namespace {

__extension__ typedef unsigned __int128 U128;

int BitLength(U128 x) {
    const auto high = static_cast<std::uint64_t>(x >> 64);
    const auto low = static_cast<std::uint64_t>(x);
    if (high) return 128 - __builtin_clzll(high);
    return low ? 64 - __builtin_clzll(low) : 0;
}

// The double nearest to (a / b) * 2^e2, ties to even, negated when `negative`;
// b > 0, b < 2^127. Exact: an integer quotient of 55 or more bits and whether
// anything was left over decide the rounding. (Results below the normal range
// would be rounded twice; no quantity comes near it.)
double NearestRatio(bool negative, U128 a, U128 b, int e2) {
    if (a == 0) return 0.0;
    while ((b & 1) == 0) {
        b >>= 1;
        --e2;
    }
    // a * 2^s / b >= 2^54: at least 55 bits of quotient.
    const int s = 55 + BitLength(b) - BitLength(a);
    U128 q, r;
    if (s <= 0) {
        q = a / b;
        r = a % b;
    } else if (BitLength(a) + s <= 127) {
        q = (a << s) / b;
        r = (a << s) % b;
    } else {
        q = a / b;
        r = a % b;
        for (int i = 0; i < s; ++i) {
            r <<= 1;
            q <<= 1;
            if (r >= b) {
                r -= b;
                q |= 1;
            }
        }
    }
    int e = e2 - (s > 0 ? s : 0);
    bool sticky = r != 0;
    // Down to 54 bits: 53 for the double and one to round by.
    const int excess = BitLength(q) - 54;
    if (excess > 0) {
        sticky = sticky || (q & ((U128{1} << excess) - 1)) != 0;
        q >>= excess;
        e += excess;
    }
    auto mantissa = static_cast<std::uint64_t>(q >> 1);
    if ((q & 1) != 0 && (sticky || (mantissa & 1) != 0)) ++mantissa;
    const double magnitude = std::ldexp(static_cast<double>(mantissa), e + 1);
    return negative ? -magnitude : magnitude;
}

// The nearest double to a positive value known as an approximation `q`
// whose relative error is below 2^-60 (a few roundings with a 64-bit
// significand): the rounding of q, where q lies far enough from the middle
// between two doubles that the exact value must round the same way;
// otherwise `exact()`. About one value in a hundred takes the exact road.
template <class Exact> double NearestFrom(long double q, Exact exact) {
    if constexpr (std::numeric_limits<long double>::digits >= 64) {
        const auto d = static_cast<double>(q);
        const auto bits = std::bit_cast<std::uint64_t>(d);
        const auto field = static_cast<int>(bits >> 52); // biased exponent (d > 0)
        // Normal, not a power of two (whose lower neighbour is nearer), and
        // far from overflow and underflow.
        if ((bits & ((std::uint64_t{1} << 52) - 1)) != 0 && field > 64 && field < 2000) {
            // Half a unit in the last place of d; the exact value lies within
            // |q| * 2^-60 <= halfUlp * 2^-6 of q.
            const auto halfUlp =
                static_cast<long double>(std::bit_cast<double>(std::uint64_t(field - 53) << 52));
            if (std::fabs(q - static_cast<long double>(d)) < halfUlp - halfUlp / 64) return d;
        }
    }
    return exact();
}

U128 Magnitude(std::int64_t units) {
    return units < 0 ? U128{0ULL - static_cast<std::uint64_t>(units)}
                     : U128{static_cast<std::uint64_t>(units)};
}

// A finite double as mantissa * 2^exponent with a whole 53-bit mantissa.
void Dyadic(double value, std::uint64_t& mantissa, int& exponent) {
    int e = 0;
    const double fraction = std::frexp(std::fabs(value), &e);
    mantissa = static_cast<std::uint64_t>(std::ldexp(fraction, 53));
    exponent = e - 53;
}

// acre-ft = 43560 ft^3 = 60228605349 / 48828125 m^3; cfs = 0.3048^3 m^3/s.
constexpr std::uint64_t kAcreFootNum = 60228605349ULL;
constexpr std::uint64_t kAcreFootDen = 48828125ULL;
constexpr TUnitFactor kOne{1, 1};
constexpr TUnitFactor kAcreFoot{kAcreFootNum, kAcreFootDen};
constexpr TUnitFactor kCubicFoot{55306341, 1953125000};   // 0.3048^3

// A unit: its option spelling, its text in a summary, its suffix in a
// column name, and its factor to the program's own unit.
template <class Unit>
struct TUnitRow {
    Unit unit;
    const char* name;
    const char* text;
    const char* suffix;
    TUnitFactor factor;
};

constexpr std::array<TUnitRow<TLevelUnit>, 2> kLevelUnits{{
    {TLevelUnit::M, "m", "m", "m", kOne},
    {TLevelUnit::Ft, "ft", "ft", "ft", {381, 1250}},
}};
// To 10^8 m^3.
constexpr std::array<TUnitRow<TStorageUnit>, 6> kStorageUnits{{
    {TStorageUnit::E8M3, "1e8m3", "10^8m^3", "1e8m3", kOne},
    {TStorageUnit::E6M3, "1e6m3", "10^6m^3", "1e6m3", {1, 100}},
    {TStorageUnit::M3, "m3", "m^3", "m3", {1, 100000000}},
    {TStorageUnit::Af, "af", "af", "af", {kAcreFootNum, kAcreFootDen * 100000000}},
    {TStorageUnit::Kaf, "kaf", "kaf", "kaf", {kAcreFootNum, kAcreFootDen * 100000}},
    {TStorageUnit::Maf, "maf", "maf", "maf", {kAcreFootNum, kAcreFootDen * 100}},
}};
constexpr std::array<TUnitRow<TFlowUnit>, 2> kFlowUnits{{
    {TFlowUnit::M3s, "m3/s", "m^3/s", "m3s", kOne},
    {TFlowUnit::Cfs, "cfs", "cfs", "cfs", kCubicFoot},
}};
// Rates to m^3/s, volumes to m^3.
constexpr std::array<TUnitRow<TLossUnit>, 4> kLossUnits{{
    {TLossUnit::M3s, "m3/s", "m^3/s", "m3s", kOne},
    {TLossUnit::Cfs, "cfs", "cfs", "cfs", kCubicFoot},
    {TLossUnit::M3, "m3", "m^3", "m3", kOne},
    {TLossUnit::Af, "af", "af", "af", kAcreFoot},
}};

// To m^2; an acre is 43560 ft^2.
constexpr std::array<TUnitRow<TAreaUnit>, 4> kAreaUnits{{
    {TAreaUnit::Km2, "km2", "km^2", "km2", {1000000, 1}},
    {TAreaUnit::M2, "m2", "m^2", "m2", kOne},
    {TAreaUnit::Ha, "ha", "ha", "ha", {10000, 1}},
    {TAreaUnit::Acres, "acres", "acres", "acres", {40468564224ULL, 10000000}},
}};

template <class Unit, std::size_t N>
const TUnitRow<Unit>& RowOf(const std::array<TUnitRow<Unit>, N>& rows, Unit unit) {
    for (const auto& row : rows)
        if (row.unit == unit) return row;
    return rows[0];
}

template <class Unit, std::size_t N>
Unit ParseUnit(const std::array<TUnitRow<Unit>, N>& rows, const char* quantity,
               std::string_view text) {
    for (const auto& row : rows)
        if (SameIgnoringCase(text, row.name)) return row.unit;
    std::string choices;
    for (std::size_t i = 0; i < N; ++i) {
        if (i > 0) choices += i + 1 == N ? " or " : ", ";
        choices += rows[i].name;
    }
    RefuseOption("--units", std::string("unknown ") + quantity + " unit " + Quoted(text) + " (" +
                                choices + ")");
}

} // namespace

TRecordUnits ParseUnits(std::string_view text) {
    constexpr const char* kOption = "--units";
    TRecordUnits units;
    if (TrimText(text).empty()) RefuseOption(kOption, "no units given");
    bool seen[5] = {false, false, false, false, false};
    for (const std::string_view item : SplitOptionList(text)) {
        if (item.empty()) RefuseOption(kOption, "empty item in " + Quoted(text));
        std::string_view quantity, unit;
        if (!SplitOptionItem(item, quantity, unit))
            RefuseOption(kOption, Quoted(item) + " is not QUANTITY=UNIT");
        static constexpr const char* kQuantities[5] = {"level", "storage", "flow", "loss", "area"};
        int k = 0;
        while (k < 5 && !SameIgnoringCase(quantity, kQuantities[k]))
            ++k;
        if (k == 5)
            RefuseOption(kOption, "unknown quantity " + Quoted(quantity) +
                                      " (level, storage, flow, loss or area)");
        if (seen[k]) RefuseOption(kOption, std::string(kQuantities[k]) + " given twice");
        seen[k] = true;
        switch (k) {
        case 0:
            units.level = ParseUnit(kLevelUnits, "level", unit);
            break;
        case 1:
            units.storage = ParseUnit(kStorageUnits, "storage", unit);
            break;
        case 2:
            units.flow = ParseUnit(kFlowUnits, "flow", unit);
            break;
        case 3:
            units.loss = ParseUnit(kLossUnits, "loss", unit);
            break;
        default:
            units.area = ParseUnit(kAreaUnits, "area", unit);
            break;
        }
    }
    return units;
}

TUnitFactor UnitFactor(TLevelUnit unit) { return RowOf(kLevelUnits, unit).factor; }
TUnitFactor UnitFactor(TStorageUnit unit) { return RowOf(kStorageUnits, unit).factor; }
TUnitFactor UnitFactor(TFlowUnit unit) { return RowOf(kFlowUnits, unit).factor; }
TUnitFactor UnitFactor(TLossUnit unit) { return RowOf(kLossUnits, unit).factor; }
TUnitFactor UnitFactor(TAreaUnit unit) { return RowOf(kAreaUnits, unit).factor; }

bool IsVolume(TLossUnit unit) { return unit == TLossUnit::M3 || unit == TLossUnit::Af; }

double FromUnit(Currency value, TUnitFactor factor) {
    if (factor.IsOne()) return DecimalToReal(value);
    if (value.Units == 0) return 0.0;
    const bool negative = value.Units < 0;
    const U128 magnitude = Magnitude(value.Units);
    // Two roundings at most: the product and the quotient.
    const double d = NearestFrom(
        static_cast<long double>(magnitude) * factor.num /
            (static_cast<long double>(factor.den) * 10000.0L),
        [&] { return NearestRatio(false, magnitude * factor.num, U128{factor.den} * 10000, 0); });
    return negative ? -d : d;
}

double LossRate(Currency value, TLossUnit unit, double stepSeconds) {
    if (!IsVolume(unit)) return FromUnit(value, UnitFactor(unit));
    if (!std::isfinite(stepSeconds)) throw EInvalidOp();
    if (stepSeconds == 0) throw EZeroDivide();
    const TUnitFactor factor = UnitFactor(unit);
    std::uint64_t mantissa = 0;
    int exponent = 0;
    Dyadic(stepSeconds, mantissa, exponent);
    if (value.Units == 0) return 0.0;
    const bool negative = (value.Units < 0) != (stepSeconds < 0);
    const U128 magnitude = Magnitude(value.Units);
    // volume / dt = U * num / (den * 10^4 * mantissa * 2^exponent); four
    // roundings at most on the short road.
    const double d =
        NearestFrom(static_cast<long double>(magnitude) * factor.num /
                        (static_cast<long double>(factor.den) * 10000.0L) /
                        std::fabs(static_cast<long double>(stepSeconds)),
                    [&] {
                        return NearestRatio(false, magnitude * factor.num,
                                            U128{factor.den} * 10000 * mantissa, -exponent);
                    });
    return negative ? -d : d;
}

double ToUnit(double value, TUnitFactor factor) {
    if (factor.IsOne() || value == 0 || !std::isfinite(value)) return value;
    std::uint64_t mantissa = 0;
    int exponent = 0;
    Dyadic(value, mantissa, exponent);
    // Two roundings at most on the short road.
    const double d =
        NearestFrom(std::fabs(static_cast<long double>(value)) * factor.den / factor.num, [&] {
            return NearestRatio(false, U128{mantissa} * factor.den, U128{factor.num}, exponent);
        });
    return value < 0 ? -d : d;
}

const char* UnitName(TLevelUnit unit) { return RowOf(kLevelUnits, unit).name; }
const char* UnitName(TStorageUnit unit) { return RowOf(kStorageUnits, unit).name; }
const char* UnitName(TFlowUnit unit) { return RowOf(kFlowUnits, unit).name; }
const char* UnitName(TLossUnit unit) { return RowOf(kLossUnits, unit).name; }
const char* UnitText(TLevelUnit unit) { return RowOf(kLevelUnits, unit).text; }
const char* UnitText(TStorageUnit unit) { return RowOf(kStorageUnits, unit).text; }
const char* UnitText(TFlowUnit unit) { return RowOf(kFlowUnits, unit).text; }
const char* UnitSuffix(TLevelUnit unit) { return RowOf(kLevelUnits, unit).suffix; }
const char* UnitSuffix(TStorageUnit unit) { return RowOf(kStorageUnits, unit).suffix; }
const char* UnitSuffix(TFlowUnit unit) { return RowOf(kFlowUnits, unit).suffix; }
