#pragma once
// The units of an agency's files and their exact conversion to the program's
// own (m, 10^8 m^3, m^3/s), once, as the numbers are read:
//
//   --units level=m|ft,storage=1e8m3|1e6m3|m3|af|kaf|maf,flow=m3/s|cfs,loss=m3/s|cfs|m3|af,
//           area=km2|m2|ha|acres
//
// Defaults: m, 1e8m3, m3/s, m3/s, km2 (a curve's area column, read only when
// --curve-columns names one). 1 acre = 4046.8564224 m^2 exactly. Every factor is an exact fraction
// (1 ft = 0.3048 m, 1 acre-ft = 1233.48183754752 m^3, 1 cfs = 0.028316846592
// m^3/s = 0.3048^3). A number read from a file is a decimal with four places
// (Currency, the count U of 1/10000); in a unit whose factor is num/den it
// becomes the double nearest to the exact value U * num / (den * 10^4), ties
// to even: one rounding, the same on every machine. In the program's own units
// nothing is multiplied: the value is DecimalToReal's, bit for bit as without
// --units. The way back for results (a table or summary in the user's units)
// is the double nearest to the exact value x * den / num, and x itself in the
// program's own units.

#include "Currency.h"

#include <cstdint>
#include <string_view>

enum class TLevelUnit { M, Ft };
enum class TStorageUnit { E8M3, E6M3, M3, Af, Kaf, Maf };
enum class TFlowUnit { M3s, Cfs };
// A loss in a volume unit (m3, af) is the volume lost over the step that ends
// at its record, as agencies report a day's evaporation.
enum class TLossUnit { M3s, Cfs, M3, Af };
enum class TAreaUnit { Km2, M2, Ha, Acres };

struct TRecordUnits {
    TLevelUnit level = TLevelUnit::M;
    TStorageUnit storage = TStorageUnit::E8M3;
    TFlowUnit flow = TFlowUnit::M3s;
    TLossUnit loss = TLossUnit::M3s;
    TAreaUnit area = TAreaUnit::Km2;
    bool AllDefault() const { return *this == TRecordUnits{}; }
    friend bool operator==(const TRecordUnits&, const TRecordUnits&) = default;
};

// The text of --units; quantities and units ignore ASCII case, each quantity
// at most once, those not named keep their default. EOptionError otherwise,
// as "--units: unknown flow unit 'cms' (m3/s or cfs)".
TRecordUnits ParseUnits(std::string_view text);

// value in the program's unit = value in the unit * num / den.
struct TUnitFactor {
    std::uint64_t num = 1;
    std::uint64_t den = 1;
    bool IsOne() const { return num == den; }
};
TUnitFactor UnitFactor(TLevelUnit unit);   // to m
TUnitFactor UnitFactor(TStorageUnit unit); // to 10^8 m^3
TUnitFactor UnitFactor(TFlowUnit unit);    // to m^3/s
TUnitFactor UnitFactor(TLossUnit unit);    // to m^3/s, or to m^3 for a volume
TUnitFactor UnitFactor(TAreaUnit unit);    // to m^2
bool IsVolume(TLossUnit unit);

// A number read from a file, in the program's unit (see above).
double FromUnit(Currency value, TUnitFactor factor);
// A loss read from a file as a flow in m^3/s. A volume is spread over its
// step of `stepSeconds` (the step's dt): the double nearest to the exact
// volume in m^3 divided by the exact dt, one rounding. A rate ignores the step.
// EZeroDivide for a volume over a step of 0 s; EInvalidOp for a step that is
// no finite number.
double LossRate(Currency value, TLossUnit unit, double stepSeconds);
// A result in the program's unit, in the user's: the nearest double to
// value * den / num; not-a-number and infinities as they are.
double ToUnit(double value, TUnitFactor factor);

// The option's spelling: "ft", "1e8m3", "m3/s", "af"...
const char* UnitName(TLevelUnit unit);
const char* UnitName(TStorageUnit unit);
const char* UnitName(TFlowUnit unit);
const char* UnitName(TLossUnit unit);
// As a summary's unit column writes units ("m", "10^8m^3", "m^3/s", and the
// others as the option spells them).
const char* UnitText(TLevelUnit unit);
const char* UnitText(TStorageUnit unit);
const char* UnitText(TFlowUnit unit);
// For column names such as inflow_cfs: the option's spelling without '/'
// ("m3s", "cfs", "ft", "1e8m3", "af").
const char* UnitSuffix(TLevelUnit unit);
const char* UnitSuffix(TStorageUnit unit);
const char* UnitSuffix(TFlowUnit unit);
