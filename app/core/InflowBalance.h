#pragma once
// The water balance of one record, apart from any table: its storage from its
// level on the curve and, when a record comes before it, the step's storage
// change, length, storage rate, outflow term and inflow. Pure: it reads its
// arguments and returns the values; the caller decides what to keep and show.

#include "BalanceOptions.h"
#include "InflowTypes.h"

#include <exception>

class TCurveLookup;

// The losses' part of a step's outflow term (BalanceOptions' loss fields, read
// by the caller). A field that could not be read is its error: the step then
// stops where the outflow term is made, after the storage term.
struct TStepLosses {
    long double value = 0;
    std::exception_ptr error;
};

// The computed fields in the order the balance makes them: V, dV, dt, dVdt,
// qMean, Qin (index 0 to 5).
inline constexpr int kBalanceFields = 6;
double& BalanceField(TFloodStep& step, int k);
double BalanceField(const TFloodStep& step, int k);

struct TBalanceResult {
    // The step with its computed fields: the first `stored` hold the new
    // values, the others are the step's as given.
    TFloodStep values;
    // The first `shown` computed fields have values a table can show (within
    // the decimal range). `stored` is `shown`, or one more when that field got
    // a value beyond the range (kept, though it has no text).
    int shown = 0;
    int stored = 0;
    // Why the step stopped before its last field; none when it was made whole.
    std::exception_ptr error;
};

// The step ending at `step` (its T, Z and Qout), with `previous` the record
// before it, or none for the first record (which gets only its storage).
// Every formula is taken with a 64-bit significand and rounded to double once,
// in the order V, dV, dt, dVdt, qMean, Qin; the first one that fails (a level
// outside the curve, a division by zero, an invalid operation, an overflow, a
// value beyond the decimal range, a loss field that is no number) stops the
// step there.
TBalanceResult BalanceStep(const TFloodStep* previous, const TFloodStep& step, const TCurveLookup& curve,
                           const TBalanceOptions& options, const TStepLosses& losses = {});
