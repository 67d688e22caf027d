#pragma once
// Median timing of chart repaints, shared by the chart benchmarks.

#include "Chart.h"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Median milliseconds of one full repaint.
inline double TimeRepaints(TChart& chart, int runs) {
    for (int i = 0; i < std::min(runs, 5); ++i) chart.Refresh();  // warm caches, fonts and the bitmap
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        chart.Refresh();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return Median(ms);
}

}  // namespace bench
