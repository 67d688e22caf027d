#pragma once
// Corrections of a computed inflow series for noise and negative values, made
// beside the computed series and never in its place.
//
// Both work on the steps of a record: value i is the mean inflow (m^3/s) over
// step i, whose length is dt[i] seconds, so that value × length is the water
// (m^3) that came in during the step. Both keep that water: the corrected
// series has the computed series' volume.

#include "BalanceOptions.h"
#include "InflowTypes.h"

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

// A centred moving average over `window` steps (odd, at least 3), each value
// weighted by its step's length. Near the record's ends the window is mirrored
// at the end (the first steps count again in reverse order) rather than
// cut off on one side, so that it stays centred; with equal steps this keeps
// the volume exactly and leaves a constant series unchanged. Steps of zero or
// negative length carry no water and keep their value.
//
// Windows up to kLongestSummedWindow steps add up each window's water and
// time in order, step by step; longer ones slide sums along the record (see
// SmoothInflowBySlidingSums), so that the cost does not grow with the window.
std::vector<double> SmoothInflow(std::span<const double> inflow, std::span<const double> dt,
                                 int window);
inline constexpr int kLongestSummedWindow = 63;
// The same average for any window, at a cost independent of its length: the
// window's water and time are carried from one step to the next (one step
// out, one in) as compensated sums, whole turns of the mirrored record
// counted at once. Agrees with the step-by-step sums to about 1e-17 of the
// window's water, not always to the last bit.
std::vector<double> SmoothInflowBySlidingSums(std::span<const double> inflow, std::span<const double> dt,
                                              int window);

struct TRedistribution {
    std::vector<double> inflow;   // the corrected series
    // False when the whole record's volume is negative: no series without
    // negative values can keep it, and `inflow` is the input unchanged.
    bool done = true;
};

// Every negative value is set to 0 and its water taken from the steps after it
// (each giving what it has, in order), and what is still owed at the record's
// end from the steps before it, from the last backwards.
TRedistribution RedistributeNegativeInflow(std::span<const double> inflow,
                                           std::span<const double> dt);

// The first of the `computed` records (after the first) whose step does not
// go forward in time (a record out of time order); none when every step does.
// Its water would count with the wrong sign.
std::optional<std::size_t> FirstBackwardStep(std::span<const TFloodStep> steps, std::size_t computed);

// The corrected inflow of a computed flood record, as the options ask
// (smoothing first, then redistribution), one value per step of the
// `computed` records as FloodRun.h indexes them; empty when no correction is
// chosen, fewer than two records are computed, or a step goes back in time.
struct TCorrectedInflow {
    std::vector<double> inflow;
    // Redistribution was asked and the record's whole volume is negative: the
    // series is kept as it was before that step.
    bool negativeVolume = false;
    // A correction was asked and this record's step goes back in time: no
    // corrected series is made (the water of such a step has the wrong sign).
    std::optional<std::size_t> backwardStep;
};
TCorrectedInflow CorrectInflow(std::span<const TFloodStep> steps, std::size_t computed,
                               const TCorrectionOptions& options);
