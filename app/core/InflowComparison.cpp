#include "InflowComparison.h"

#include "FloatRules.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

namespace {

// A time to the whole millisecond, as the tables show it; false for a time
// that is not a number or beyond any calendar.
bool MillisecondOf(DateTimeValue time, std::int64_t& out) {
    const long double ms = static_cast<long double>(time) * 86400000.0L;
    if (!std::isfinite(ms) || std::fabs(ms) > 9e18L) return false;
    out = RoundHalfEven(ms);
    return true;
}

}  // namespace

TInflowComparison CompareInflow(std::span<const DateTimeValue> times, std::span<const double> inflow,
                                std::span<const double> dt, std::span<const DateTimeValue> referenceTimes,
                                std::span<const double> reference) {
    if (dt.size() != inflow.size() || (times.empty() ? !inflow.empty() : inflow.size() + 1 != times.size()) ||
        referenceTimes.size() != reference.size())
        throw std::invalid_argument("N times and N - 1 inflows and steps, and one reference value per time, are needed");

    // The reference by time; a stable sort keeps a repeated time's first value first.
    std::vector<std::pair<std::int64_t, double>> byTime;
    byTime.reserve(reference.size());
    for (std::size_t i = 0; i < reference.size(); ++i) {
        std::int64_t key;
        if (MillisecondOf(referenceTimes[i], key)) byTime.emplace_back(key, reference[i]);
    }
    std::stable_sort(byTime.begin(), byTime.end(), [](const auto& a, const auto& b) { return a.first < b.first; });

    std::vector<std::size_t> steps;   // k of the matched steps
    std::vector<double> matched;      // their reference values
    for (std::size_t k = 0; k < inflow.size(); ++k) {
        std::int64_t key;
        if (std::isnan(inflow[k]) || !MillisecondOf(times[k + 1], key)) continue;
        const auto it = std::lower_bound(byTime.begin(), byTime.end(), key,
                                         [](const auto& entry, std::int64_t t) { return entry.first < t; });
        if (it == byTime.end() || it->first != key || std::isnan(it->second)) continue;
        steps.push_back(k);
        matched.push_back(it->second);
    }

    TInflowComparison out;
    out.records = steps.size();
    if (steps.empty()) return out;
    long double squares = 0, sum = 0, water = 0, referenceSum = 0;
    double peak = inflow[steps[0]], referencePeak = matched[0];
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const std::size_t k = steps[i];
        const long double d = static_cast<long double>(inflow[k]) - matched[i];
        squares += d * d;
        sum += d;
        water += d * dt[k];
        referenceSum += matched[i];
        peak = std::max(peak, inflow[k]);
        referencePeak = std::max(referencePeak, matched[i]);
    }
    const long double count = static_cast<long double>(steps.size());
    const long double referenceMean = referenceSum / count;
    long double spread = 0;
    for (double r : matched) spread += (r - referenceMean) * (r - referenceMean);
    out.rmse = static_cast<double>(std::sqrt(squares / count));
    out.bias = static_cast<double>(sum / count);
    out.peakError = peak - referencePeak;
    out.volumeError = static_cast<double>(water / 1e8L);
    if (spread > 0) out.nse = static_cast<double>(1 - squares / spread);
    return out;
}
