#pragma once
// The two records every front end computes with: the curve's points and
// the flood's steps, with what the computation adds to each step.

#include "DateTime.h"
#include <span>

struct TCurvePoint {
    double Z = 0.0;   // water level, m
    double V = 0.0;   // storage, 10^8 m^3
};

// A curve as a computation takes it, with the lake's area at each point
// (m^2; empty when the curve gives none).
struct TCurveAt {
    std::span<const TCurvePoint> points;
    std::span<const double> area;
};

struct TFloodStep {
    DateTimeValue T = 0.0;   // time stamp
    double Z = 0.0;          // reservoir level, m
    double V = 0.0;          // storage, 10^8 m^3
    double dV = 0.0;         // storage change since the previous record, 10^8 m^3
    double dt = 0.0;         // time step since the previous record, s
    double dVdt = 0.0;       // storage rate, m^3/s
    double Qout = 0.0;       // outflow, m^3/s
    double qMean = 0.0;      // mean outflow over the step, m^3/s
    double Qin = 0.0;        // inflow, m^3/s
};
