#include "RecordSeries.h"

#include <algorithm>

TRecordSeries RecordSeries(std::span<const TFloodStep> steps, std::size_t computed) {
    const std::size_t n = std::min(computed, steps.size());
    TRecordSeries s;
    s.times.reserve(n);
    s.levels.reserve(n);
    s.storages.reserve(n);
    s.inflow.reserve(n > 0 ? n - 1 : 0);
    s.dt.reserve(n > 0 ? n - 1 : 0);
    for (std::size_t i = 0; i < n; ++i) {
        s.times.push_back(steps[i].T);
        s.levels.push_back(steps[i].Z);
        s.storages.push_back(steps[i].V);
        if (i == 0) continue;
        s.inflow.push_back(steps[i].Qin);
        s.dt.push_back(steps[i].dt);
    }
    return s;
}
