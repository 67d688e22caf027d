#pragma once
// What follows a computation, the same in every front end: the corrected
// inflow the options ask for, and the flood's summary over the computed
// records with the corrected items when a correction was made.
//
// The corrected series has one value per step: corrected[k] belongs to record
// k + 1 (the step from record k to record k + 1; the first record has no step
// of its own). Every series of step values handed to the summary, the
// hydrograph and the corrected-inflow file is indexed so.

#include "BalanceOptions.h"
#include "FloodSummary.h"
#include "InflowTypes.h"

#include <cstddef>
#include <exception>
#include <optional>
#include <span>
#include <vector>

struct TFloodRun {
    // Empty when no correction is chosen, fewer than two records are
    // computed, or a step goes back in time.
    std::vector<double> corrected;
    // Redistribution was asked and the record's whole volume is negative: the
    // corrected series keeps its negative values.
    bool negativeVolume = false;
    // A correction was asked and this record's step goes back in time: no
    // corrected series is made.
    std::optional<std::size_t> backwardStep;
    // When asked for: the summary, or why it could not be made (a value
    // beyond every number).
    std::optional<TFloodSummary> summary;
    std::exception_ptr summaryError;
};

// The run over the first `computed` records of `steps`.
TFloodRun RunFlood(std::span<const TFloodStep> steps, std::size_t computed, const TCorrectionOptions& correction,
                   bool withSummary = true);
