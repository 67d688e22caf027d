#include "InflowCorrection.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace {

// Index of position p in the series mirrored at both ends (..., x1, x0 | x0,
// x1, ..., x[n-1] | x[n-1], ...), repeated as often as a short record needs.
std::size_t Mirrored(long long p, long long n) {
    const long long period = 2 * n;
    long long q = p % period;
    if (q < 0) q += period;
    return static_cast<std::size_t>(q < n ? q : period - 1 - q);
}

void CheckSmoothing(std::span<const double> inflow, std::span<const double> dt, int window) {
    if (inflow.size() != dt.size()) throw std::invalid_argument("inflow and step lists differ in length");
    if (window < 3 || window % 2 == 0) throw std::invalid_argument("the smoothing window must be odd and at least 3");
}

// A sum carried with the error of each addition beside it (Neumaier's
// compensated summation), so that a long run of additions and subtractions
// keeps the sum to about the last bit of a long double.
struct TCompensatedSum {
    long double sum = 0, error = 0;
    void Add(long double x) {
        const long double t = sum + x;
        if (std::fabs(sum) >= std::fabs(x))
            error += (sum - t) + x;
        else
            error += (x - t) + sum;
        sum = t;
    }
    long double Value() const { return sum + error; }
};

} // namespace

std::vector<double> SmoothInflow(std::span<const double> inflow, std::span<const double> dt,
                                 int window) {
    CheckSmoothing(inflow, dt, window);
    if (window > kLongestSummedWindow) return SmoothInflowBySlidingSums(inflow, dt, window);
    const long long n = static_cast<long long>(inflow.size());
    const long long half = window / 2;
    std::vector<double> out(inflow.begin(), inflow.end());
    for (long long i = 0; i < n; ++i) {
        if (!(dt[i] > 0)) continue;
        long double water = 0, time = 0;
        // Inside the record the window needs no mirror (the same steps in
        // the same order).
        const bool inside = i - half >= 0 && i + half < n;
        for (long long d = -half; d <= half; ++d) {
            const std::size_t j = inside ? static_cast<std::size_t>(i + d) : Mirrored(i + d, n);
            if (!(dt[j] > 0)) continue;
            water += static_cast<long double>(inflow[j]) * dt[j];
            time += dt[j];
        }
        out[i] = static_cast<double>(water / time);
    }
    return out;
}

std::vector<double> SmoothInflowBySlidingSums(std::span<const double> inflow, std::span<const double> dt,
                                              int window) {
    CheckSmoothing(inflow, dt, window);
    std::vector<double> out(inflow.begin(), inflow.end());
    const long long n = static_cast<long long>(inflow.size());
    if (n == 0) return out;
    // The mirrored record repeats every 2n positions. A window of N positions
    // is k whole turns and the r = N - 2nk positions from its start.
    const long long period = 2 * n;
    const long long half = window / 2;
    const long long turns = window / period;
    const long long rest = window - turns * period;
    auto water = [&](long long p) {
        const std::size_t j = Mirrored(p, n);
        return dt[j] > 0 ? static_cast<long double>(inflow[j]) * dt[j] : 0.0L;
    };
    auto time = [&](long long p) {
        const std::size_t j = Mirrored(p, n);
        return dt[j] > 0 ? static_cast<long double>(dt[j]) : 0.0L;
    };
    TCompensatedSum turnWater, turnTime, restWater, restTime;
    for (long long p = 0; p < period; ++p) {
        turnWater.Add(water(p));
        turnTime.Add(time(p));
    }
    for (long long p = -half; p < -half + rest; ++p) {
        restWater.Add(water(p));
        restTime.Add(time(p));
    }
    const long double wholeWater = static_cast<long double>(turns) * turnWater.Value();
    const long double wholeTime = static_cast<long double>(turns) * turnTime.Value();
    for (long long i = 0; i < n; ++i) {
        if (dt[i] > 0) out[i] = static_cast<double>((wholeWater + restWater.Value()) / (wholeTime + restTime.Value()));
        // One step on: the rest's first position goes, the one after its end comes.
        const long long first = i - half;
        restWater.Add(water(first + rest));
        restWater.Add(-water(first));
        restTime.Add(time(first + rest));
        restTime.Add(-time(first));
    }
    return out;
}

TRedistribution RedistributeNegativeInflow(std::span<const double> inflow, std::span<const double> dt) {
    if (inflow.size() != dt.size()) throw std::invalid_argument("inflow and step lists differ in length");
    const std::size_t n = inflow.size();
    TRedistribution result;
    result.inflow.assign(inflow.begin(), inflow.end());

    long double total = 0;
    for (std::size_t i = 0; i < n; ++i)
        if (dt[i] > 0) total += static_cast<long double>(inflow[i]) * dt[i];
    if (total < 0) {
        result.done = false;
        return result;
    }

    // Water still owed by the negative steps met so far, m^3.
    long double owed = 0;
    std::vector<double>& q = result.inflow;
    // Takes what step i can give towards `owed`; the step keeps the rest.
    auto take = [&](std::size_t i) {
        const long double has = static_cast<long double>(q[i]) * dt[i];
        if (has >= owed) {
            q[i] = static_cast<double>((has - owed) / dt[i]);
            owed = 0;
        } else {
            q[i] = 0;
            owed -= has;
        }
    };
    for (std::size_t i = 0; i < n; ++i) {
        if (!(dt[i] > 0)) continue;
        if (q[i] < 0) {
            owed -= static_cast<long double>(q[i]) * dt[i];
            q[i] = 0;
        } else if (owed > 0 && q[i] > 0) {
            take(i);
        }
    }
    for (std::size_t i = n; i-- > 0 && owed > 0;)
        if (dt[i] > 0 && q[i] > 0) take(i);
    // What rounding may leave owed when the total is next to zero is below
    // any digit the results show; the series has no negative value either way.
    return result;
}

std::optional<std::size_t> FirstBackwardStep(std::span<const TFloodStep> steps, std::size_t computed) {
    const std::size_t n = std::min(computed, steps.size());
    for (std::size_t i = 1; i < n; ++i)
        if (!(steps[i].dt > 0)) return i;
    return std::nullopt;
}

TCorrectedInflow CorrectInflow(std::span<const TFloodStep> steps, std::size_t computed,
                               const TCorrectionOptions& options) {
    TCorrectedInflow result;
    const std::size_t n = std::min(computed, steps.size());
    if (!options.Any() || n < 2) return result;
    result.backwardStep = FirstBackwardStep(steps, computed);
    if (result.backwardStep) return result;
    std::vector<double> inflow(n - 1), dt(n - 1);
    for (std::size_t i = 1; i < n; ++i) {
        inflow[i - 1] = steps[i].Qin;
        dt[i - 1] = steps[i].dt;
    }
    if (options.smooth) inflow = SmoothInflow(inflow, dt, options.smooth);
    if (options.redistribute) {
        TRedistribution r = RedistributeNegativeInflow(inflow, dt);
        result.negativeVolume = !r.done;
        inflow = std::move(r.inflow);
    }
    result.inflow = std::move(inflow);
    return result;
}
