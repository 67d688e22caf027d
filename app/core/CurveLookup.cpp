#include "CurveLookup.h"

#include "Currency.h"
#include "Exceptions.h"
#include "FloatRules.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

namespace {

// The interpolation, in its grouping: the product first, then the quotient,
// then the sum.
inline double Interpolate(const TCurvePoint& lo, const TCurvePoint& hi, double level) {
    return EvalFormula([&] {
        return static_cast<long double>(lo.V) +
               ((static_cast<long double>(hi.V) - lo.V) * (static_cast<long double>(level) - lo.Z)) /
                   (static_cast<long double>(hi.Z) - lo.Z);
    });
}

}  // namespace

TCurveLookup::TCurveLookup(const std::vector<TCurvePoint>& points) : points_(points) {
    const std::size_t n = points.size();
    ascending_ = true;
    for (std::size_t i = 1; i < n; ++i) {
        // "!(a <= b)" so that a level that is not a number counts as a fall.
        if (!(points[i - 1].Z <= points[i].Z)) {
            ascending_ = false;
            break;
        }
    }
    topCovered_ = n >= 2 && points[n - 2].Z < points[n - 1].Z;

    // Buckets of equal width over the levels, each with the last point at or
    // below its lower edge: a level's bucket puts the search next to its
    // interval at once.
    if (!ascending_ || n < 2) return;
    const double low = points[0].Z, span = points[n - 1].Z - low;
    const double scale = static_cast<double>(n) / span;
    if (!(span > 0) || !std::isfinite(span) || !std::isfinite(scale)) return;
    scale_ = scale;
    starts_.resize(n);
    std::size_t i = 0;
    for (std::size_t b = 0; b < n; ++b) {
        const double edge = low + static_cast<double>(b) / scale;
        while (i + 1 < n && points[i + 1].Z <= edge) ++i;
        starts_[b] = static_cast<std::uint32_t>(i);
    }
}

bool TCurveLookup::ScanStorage(const std::vector<TCurvePoint>& points, double level,
                               double& storage) {
    const std::size_t n = points.size();
    bool found = false;
    for (std::size_t i = 0; i + 1 < n; ++i) {
        const TCurvePoint& lo = points[i];
        const TCurvePoint& hi = points[i + 1];
        if (level >= lo.Z && level < hi.Z) {
            storage = Interpolate(lo, hi, level);
            found = true;
        }
    }
    // The last interval, when it rises, is closed at its top: it is also the
    // last one examined, so it wins over any earlier match.
    if (n >= 2 && points[n - 2].Z < points[n - 1].Z && level == points[n - 1].Z) {
        storage = points[n - 1].V;
        found = true;
    }
    return found;
}

bool TCurveLookup::TryStorage(double level, double& storage) const {
    if (!ascending_) return ScanStorage(points_, level, storage);
    const std::size_t n = points_.size();
    if (n < 2) return false;
    if (level == points_[n - 1].Z) {
        if (!topCovered_) return false;
        storage = points_[n - 1].V;
        return true;
    }
    // With levels that never fall at most one interval can match: the one
    // that starts at the last point at or below the level.
    if (!(level >= points_[0].Z)) return false;   // below the curve, or not a number
    if (level > points_[n - 1].Z) return false;
    std::size_t i;
    if (!starts_.empty()) {
        // From the bucket's first candidate, a few steps to the interval.
        const double position = (level - points_[0].Z) * scale_;
        const std::size_t buckets = starts_.size();
        i = starts_[position < static_cast<double>(buckets) ? static_cast<std::size_t>(position)
                                                            : buckets - 1];
        while (i > 0 && points_[i].Z > level) --i;   // the bucket's edge rounded past the level
        int steps = 0;
        while (points_[i + 1].Z <= level && ++steps <= kWalk) ++i;
        if (steps > kWalk) i = LastAtOrBelow(level, i);
    } else {
        i = LastAtOrBelow(level, 0);
    }
    storage = Interpolate(points_[i], points_[i + 1], level);
    return true;
}

// The last point at or below the level, from `from` on (which is at or below
// it, as is the first point; the last point is above it).
std::size_t TCurveLookup::LastAtOrBelow(double level, std::size_t from) const {
    const auto above =
        std::upper_bound(points_.begin() + static_cast<std::ptrdiff_t>(from), points_.end(), level,
                         [](double z, const TCurvePoint& p) { return z < p.Z; });
    return static_cast<std::size_t>(above - points_.begin()) - 1;
}

double TCurveLookup::Storage(double level) const {
    double storage = 0.0;
    if (!TryStorage(level, storage)) RaiseOutside(level);
    return storage;
}

void TCurveLookup::RaiseOutside(double level) const {
    if (points_.size() < 2) throw Exception("库容水位曲线少于两个点");
    double low = points_[0].Z, high = points_[0].Z;
    for (const TCurvePoint& p : points_) {
        if (p.Z < low) low = p.Z;
        if (p.Z > high) high = p.Z;
    }
    throw Exception("水位 " + RealToText(level) + " m 超出库容水位曲线范围（" + RealToText(low) +
                    " – " + RealToText(high) + " m）");
}
