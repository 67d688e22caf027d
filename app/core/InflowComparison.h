#pragma once
// The computed inflow against a reference series (an agency's published
// inflow, another tool's result), on the times both have.

#include "DateTime.h"

#include <cstddef>
#include <optional>
#include <span>

// Differences are computed minus reference. Every item is empty without a
// common time; the NSE also when the reference is constant there.
struct TInflowComparison {
    std::size_t records = 0;             // times both have, with a value in both
    std::optional<double> rmse;          // m^3/s, sqrt(mean((c - r)^2))
    std::optional<double> nse;           // 1 - sum (c - r)^2 / sum (r - mean r)^2
    std::optional<double> bias;          // m^3/s, mean(c - r)
    std::optional<double> peakError;     // m^3/s, max c - max r over the common times
    std::optional<double> volumeError;   // 10^8 m^3, sum (c - r) * dt over the common times
};

// times holds the N records of the computed series, inflow and dt its N - 1
// steps (inflow[k] and dt[k] for the step ending at record k + 1, stamped
// with that record's time, as the table shows it); the reference is a value
// per time, in any order. Times are matched as the tables show them, to the
// whole millisecond. A time the reference repeats is taken at its first
// value; values that are not numbers count as missing, on either side. Raises
// std::invalid_argument for lists of the wrong lengths.
TInflowComparison CompareInflow(std::span<const DateTimeValue> times, std::span<const double> inflow,
                                std::span<const double> dt, std::span<const DateTimeValue> referenceTimes,
                                std::span<const double> reference);
