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
#include "FloodPeriods.h"
#include "FloodSummary.h"
#include "InflowComparison.h"
#include "InflowNoise.h"
#include "InflowTypes.h"
#include "ToleranceSmoother.h"

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
    // The smoother held to the gauge, when asked for (its series is in
    // `corrected`, before any redistribution; this one's `inflow` is empty).
    std::optional<TToleranceSmoothing> held;
    // The periods of a redistribution by period, when asked for.
    std::vector<TPeriodScaling> periods;
    // Each step's error from the gauge's resolution, when it is given.
    std::optional<TGaugeNoise> noise;
    // The computed inflow against a reference, when one is given.
    std::optional<TInflowComparison> comparison;
    // When asked for: the summary, or why it could not be made (a value
    // beyond every number).
    std::optional<TFloodSummary> summary;
    std::exception_ptr summaryError;
};

// What the corrections and reports beyond the moving average need besides
// the records: the curve (the held smoother reads levels back on it, the
// gauge noise takes the lake's area from it), the gauge, a reference series.
struct TRunInputs {
    std::span<const TCurvePoint> curve;
    // The lake's area at each point of `curve` (m^2), when the curve gives
    // it; empty: the gauge noise takes the segments' slopes.
    std::span<const double> area;
    // Several curves by date: each record's curve (an index into `curves`,
    // see InflowWork::RecordCurves). Empty: `curve` alone.
    std::span<const TCurveAt> curves;
    std::span<const std::size_t> curveOf;
    // 1 + K with a bank storage K: the storage term's factor.
    double storageFactor = 1.0;
    // The gauge's resolution, m; none for no noise estimate.
    std::optional<double> gaugeResolution;
    // A reference inflow (m^3/s) at its times; compared when given.
    bool withReference = false;
    std::span<const DateTimeValue> referenceTimes;
    std::span<const double> reference;
    // The records the reader skipped as gaps, when skipping was asked for.
    std::optional<std::size_t> skippedRecords;
    // The records a repair mended, when a repair was asked for.
    std::optional<std::size_t> repairedRecords;
};

// The run over the first `computed` records of `steps`. The held smoother and
// the gauge noise raise the errors of SmoothToTolerance and GaugeNoise.
TFloodRun RunFlood(std::span<const TFloodStep> steps, std::size_t computed, const TCorrectionOptions& correction,
                   bool withSummary = true, const TRunInputs& inputs = {});

// The period rule a redistribution by period uses.
TPeriodRule ScaleRule(const TCorrectionOptions& correction);
