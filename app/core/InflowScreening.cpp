#include "InflowScreening.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

std::string_view FlagName(TRecordFlag flag) {
    switch (flag) {
    case TRecordFlag::None: return "";
    case TRecordFlag::Spike: return "spike";
    case TRecordFlag::Repaired: return "repaired";
    case TRecordFlag::Skipped: return "skipped";
    }
    return "";
}

TSpikeScreening ScreenSpikes(std::span<const double> levels, double tolerance, std::span<const TRecordFlag> given) {
    if (!(tolerance > 0)) throw std::invalid_argument("the spike tolerance must be positive");
    if (!given.empty() && given.size() != levels.size())
        throw std::invalid_argument("one flag per level is needed");
    TSpikeScreening out;
    out.flags.assign(levels.size(), TRecordFlag::None);
    if (!given.empty()) std::copy(given.begin(), given.end(), out.flags.begin());

    std::vector<std::size_t> usable;
    usable.reserve(levels.size());
    for (std::size_t i = 0; i < levels.size(); ++i)
        if (out.flags[i] != TRecordFlag::Skipped && std::isfinite(levels[i])) usable.push_back(i);
    const std::size_t count = usable.size();
    if (count < 3) return out;

    constexpr std::size_t kWindow = 5;
    const std::size_t width = std::min(count, kWindow);
    std::array<double, kWindow> window{};
    for (std::size_t p = 0; p < count; ++p) {
        // Centred, shifted inwards at the ends to keep its width.
        const std::size_t first = std::min(p >= 2 ? p - 2 : 0, count - width);
        // Five values at most: sorted by insertion.
        for (std::size_t w = 0; w < width; ++w) {
            const double v = levels[usable[first + w]];
            std::size_t at = w;
            for (; at > 0 && window[at - 1] > v; --at) window[at] = window[at - 1];
            window[at] = v;
        }
        const double median = width % 2 ? window[width / 2] : (window[width / 2 - 1] + window[width / 2]) / 2;
        const std::size_t record = usable[p];
        if (std::fabs(levels[record] - median) > tolerance && out.flags[record] == TRecordFlag::None) {
            out.flags[record] = TRecordFlag::Spike;
            out.spikes.push_back({record, median});
        }
    }
    return out;
}

TLevelRepair RepairLevels(std::span<const DateTimeValue> times, std::span<const double> levels,
                          std::span<const TRecordFlag> flags) {
    if (times.size() != levels.size() || flags.size() != levels.size())
        throw std::invalid_argument("one time and one flag per level are needed");
    TLevelRepair out;
    out.levels.assign(levels.begin(), levels.end());
    out.flags.assign(flags.begin(), flags.end());
    const std::size_t n = levels.size();
    auto bad = [&](std::size_t i) { return flags[i] == TRecordFlag::Spike || flags[i] == TRecordFlag::Skipped; };

    constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    // The next good record at or after each record.
    std::vector<std::size_t> next(n + 1, kNone);
    for (std::size_t i = n; i-- > 0;) next[i] = bad(i) ? next[i + 1] : i;
    if (n > 0 && next[0] == kNone) {
        bool any = false;
        for (std::size_t i = 0; i < n; ++i) any = any || bad(i);
        out.done = !any;
        return out;
    }
    std::size_t before = kNone;
    for (std::size_t i = 0; i < n; ++i) {
        if (!bad(i)) {
            before = i;
            continue;
        }
        const std::size_t after = next[i];
        double z;
        if (before == kNone) {
            z = levels[after];
        } else if (after == kNone || !(times[after] != times[before])) {
            z = levels[before];
        } else {
            const long double za = levels[before], zb = levels[after];
            z = static_cast<double>(za + (zb - za) * (static_cast<long double>(times[i]) - times[before]) /
                                             (static_cast<long double>(times[after]) - times[before]));
        }
        out.levels[i] = z;
        out.flags[i] = TRecordFlag::Repaired;
        ++out.repaired;
    }
    return out;
}
