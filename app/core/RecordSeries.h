#pragma once
// A computed flood record as the parallel lists the long-record work takes
// (screening, the held smoother, gauge noise, periods, comparison): the
// records' own values, and the values of the steps between them.

#include "InflowTypes.h"

#include <cstddef>
#include <span>
#include <vector>

struct TRecordSeries {
    // One per record.
    std::vector<DateTimeValue> times;
    std::vector<double> levels;     // m
    std::vector<double> storages;   // 10^8 m^3
    // One per step: [k] for the step ending at record k + 1.
    std::vector<double> inflow;     // m^3/s
    std::vector<double> dt;         // s
};

// The first `computed` records of steps (no more than it holds), as
// SummarizeFlood and CorrectInflow take them.
TRecordSeries RecordSeries(std::span<const TFloodStep> steps, std::size_t computed);
