#pragma once
// A corrected inflow held to the gauge: the smoothest series whose water,
// added up step by step, keeps the lake within a stated distance of the levels
// that were read.
//
// A computed daily inflow carries every reading error of the level twice
// (once in each of its two storages), so it zigzags and goes negative; a
// moving average removes the zigzag but also moves water between days by an
// amount nobody checks. Here the check is the gauge itself. The corrected
// series q, beside the computed Q, implies at each record k the storage
//     S_k = V_k + c_k,   c_k = sum over the steps up to k of (q_j - Q_j) * dt_j / 10^8
// (10^8 m^3; V_k the storage of the recorded level) and so a level, read back
// from S_k on the curve's segments (TCurveSegments::LevelFor: exactly the
// straight segment the storage lookup interpolates on). Its departure from
// the recorded level is what the correction costs; the tolerance bounds its
// root mean square.
//
// Formulation: penalised least squares (as Deng et al. 2015, J. Hydrol. 529,
// smooth a reservoir's inflow), written in the storage departures c rather
// than the inflows. For a weight mu,
//     minimise  sum_j (q_{j+1} - q_j)^2  +  mu * sbar^2 * sum_k (c_k / a_k)^2 / wbar
// where q_j = Q_j + (c_j - c_{j-1}) * 10^8 / dt_j, a_k is dV/dZ of the
// curve segment holding record k's level (so c_k / a_k is the level departure
// to first order), sbar the median of 10^8 / dt and wbar the median of
// 1 / a_k^2 (they make mu a pure number whatever the units and the step).
// c_0 = 0 (the running sum starts at the first record) and c_n = 0 at the
// last record: the corrected series keeps the record's volume exactly, as
// every correction here does, and the lake ends where the gauge says. Each
// consecutive difference involves three c's, so the normal equations are a
// symmetric positive definite five-diagonal system, factored (LDL^T) and
// solved in O(n).
//
// The weight: a larger mu holds the levels closer, a smaller one smooths
// more. mu is found by bisection on log mu: from 1, multiplied or divided by
// 16 until one weight keeps the true RMS departure (levels read back on the
// curve, not the first-order a_k) within the tolerance and the next does not,
// then halved in log until the smoother end of that bracket lies within
// 0.5 % of the tolerance (or the bracket is narrower than 0.1 %). The result
// is the bracket's end that keeps the tolerance; its RMS never exceeds it.
// When even mu = 1e-12 stays within it (a tolerance beyond what the record
// needs), that series is taken: smoother ones are not told apart from a
// straight line in the precision of the solve.

#include "InflowTypes.h"

#include <cstddef>
#include <span>
#include <vector>

struct TToleranceSmoothing {
    // The corrected inflow, m^3/s: inflow[k] for the step ending at record k + 1.
    std::vector<double> inflow;
    // Departures of the implied levels from the recorded ones, m, over the
    // records after the first (the first one's is 0 by construction, the
    // last one's too).
    double rmsDeparture = 0.0;
    double largestDeparture = 0.0;   // signed (implied - recorded), the largest in size
    std::size_t largestAt = 0;       // its record (0 when there is none)
    double weight = 0.0;             // mu
    int solves = 0;                  // five-diagonal systems solved
    bool smoothestReached = false;   // mu went down to its floor within the tolerance
};

// levels and storages of the N records (m, 10^8 m^3: Z and V as computed),
// inflow and dt of the N - 1 steps (Qin and dt of records 1 .. N-1), the curve
// the storages came from, and the tolerance as an RMS in metres (the level's
// unit). Fewer than three records leave nothing to move: the series is
// returned as it is. Raises std::invalid_argument for lists of the wrong
// lengths or a tolerance that is not positive; Exception for a step whose
// length is not positive or a value that is not a number (naming the record,
// counted from 0), a level outside the curve, or a curve that cannot be read
// backwards (TCurveSegments::Invertible).
TToleranceSmoothing SmoothToTolerance(std::span<const double> levels, std::span<const double> storages,
                                      std::span<const double> inflow, std::span<const double> dt,
                                      std::span<const TCurvePoint> curve, double tolerance);

// The same with a curve per record, as dated curves give it: curveOf[k] is
// the index in `curves` of record k's curve, the one its storage was taken
// on; its implied level is read back on that curve. (The areas are not used.)
TToleranceSmoothing SmoothToTolerance(std::span<const double> levels, std::span<const double> storages,
                                      std::span<const double> inflow, std::span<const double> dt,
                                      std::span<const TCurveAt> curves, std::span<const std::size_t> curveOf,
                                      double tolerance);

// The implied level's departure at each of the N records (m; record 0's is 0)
// for a corrected series beside the computed one, as above. For reports and
// checks of any corrected series (a moving average, a redistribution).
std::vector<double> ImpliedLevelDepartures(std::span<const double> levels, std::span<const double> storages,
                                           std::span<const double> inflow, std::span<const double> corrected,
                                           std::span<const double> dt, std::span<const TCurvePoint> curve);
