#pragma once
// Storage from level on the level-storage curve, as stored in file order: the
// interval i with Z[i] <= level < Z[i+1] gives
//     V[i] + ((V[i+1] - V[i]) * (level - Z[i])) / (Z[i+1] - Z[i]),
// the last matching interval winning, and the last interval, when it rises,
// also covers its top point (a level equal to the last point's level gets the
// last point's storage). Any other level has no storage.
//
// A lookup decides once whether the levels never fall; then the one interval
// that can match is found through buckets of levels and binary search, in
// O(log n) at worst; otherwise every interval is scanned. Both give the same
// result bit for bit.

#include "InflowTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class TCurveLookup {
public:
    // The points are referenced, not copied: they must outlive the lookup and
    // stay unchanged while it is used.
    explicit TCurveLookup(const std::vector<TCurvePoint>& points);

    // Storage for a level; false when no interval covers it.
    bool TryStorage(double level, double& storage) const;
    // Storage for a level; raises the curve's range error when none is defined.
    double Storage(double level) const;

    bool Ascending() const { return ascending_; }

    // The full scan, whatever the shape of the curve (the reference).
    static bool ScanStorage(const std::vector<TCurvePoint>& points, double level, double& storage);

private:
    [[noreturn]] void RaiseOutside(double level) const;

    const std::vector<TCurvePoint>& points_;
    bool ascending_ = false;
    std::size_t LastAtOrBelow(double level, std::size_t from) const;

    // Steps from a bucket's candidate before halving takes over (levels
    // crowded into few buckets).
    static constexpr int kWalk = 8;

    bool topCovered_ = false;
    std::vector<std::uint32_t> starts_;   // per bucket; empty: no buckets
    double scale_ = 0.0;                  // buckets per metre
};
