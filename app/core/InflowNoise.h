#pragma once
// How much of a computed inflow the gauge's precision can explain.
//
// A level read to a resolution R is off by an error spread evenly over one
// step of R, whose standard deviation is R / sqrt(12). A step's storage change
// takes the difference of two such readings (sqrt(2) times that, the two
// errors being independent), over the lake's surface A, spread over the step's
// length dt; so each computed inflow carries
//     sigma = A * R * sqrt(2) / (sqrt(12) * dt)      (m^3/s)
// from the gauge alone. A negative inflow of -2 sigma or more is within what
// the gauge explains (a smoother may take it away); one further below needs
// another explanation (a wrong outflow, a missing loss, a bad reading).

#include "InflowTypes.h"

#include <cstddef>
#include <span>
#include <vector>

struct TGaugeNoise {
    std::vector<double> sigma;           // m^3/s per step: sigma[k] for the step ending at record k + 1
    std::size_t negativeSteps = 0;       // steps with inflow < 0
    std::size_t withinNoise = 0;         // of those, inflow >= -2 sigma
    std::size_t beyondNoise = 0;         // of those, inflow < -2 sigma
    double medianSigma = 0.0;            // m^3/s (the mean of the middle two for an even count); 0 without steps
};

// levels of the N records (m), inflow and dt of the N - 1 steps (m^3/s, s),
// the curve, the resolution R (level units, > 0). A is taken at the step's
// mean level (z_k + z_{k+1}) / 2 on the curve segment that holds it (as the
// storage lookup finds it): from `area` when given, one value per curve point
// in m^2, interpolated linearly on the segment; otherwise the segment's slope
// dV/dZ times 10^8 (storage being in 10^8 m^3). `storageFactor` multiplies
// sigma as the balance multiplies the storage term: 1 + K with a bank storage
// K, 1 for the plain balance.
//
// Raises std::invalid_argument for lists of the wrong lengths (area: empty or
// one per curve point) or a resolution that is not positive; Exception for a
// mean level no segment holds (naming the record of the step's end) or a step
// whose length is not positive.
TGaugeNoise GaugeNoise(std::span<const double> levels, std::span<const double> inflow, std::span<const double> dt,
                       std::span<const TCurvePoint> curve, std::span<const double> area, double resolution,
                       double storageFactor = 1.0);

// The same with a curve per record, as dated curves give it: curveOf[k] is
// the index in `curves` of record k's curve (N of them), and each step takes
// its area from the curve of its end, as the balance takes its storages.
// Raises std::invalid_argument for an index beyond `curves` or a list of
// another length.
TGaugeNoise GaugeNoise(std::span<const double> levels, std::span<const double> inflow, std::span<const double> dt,
                       std::span<const TCurveAt> curves, std::span<const std::size_t> curveOf, double resolution,
                       double storageFactor = 1.0);
