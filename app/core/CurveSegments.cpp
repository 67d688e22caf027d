#include "CurveSegments.h"

#include "Currency.h"
#include "Exceptions.h"

#include <algorithm>

TCurveSegments::TCurveSegments(std::span<const TCurvePoint> points) : points_(points) {
    ascending_ = true;
    invertible_ = points.size() >= 2;
    for (std::size_t i = 1; i < points.size(); ++i) {
        // "!(a <= b)" so that a value that is not a number counts as a fall.
        if (!(points[i - 1].Z <= points[i].Z)) ascending_ = false;
        if (!(points[i - 1].V <= points[i].V)) invertible_ = false;
    }
    invertible_ = invertible_ && ascending_;
}

std::size_t TCurveSegments::SegmentOf(double level) const {
    const std::size_t n = points_.size();
    if (n < 2) return npos;
    // The last segment, when it rises, is closed at its top.
    if (level == points_[n - 1].Z && points_[n - 2].Z < points_[n - 1].Z) return n - 2;
    if (!ascending_) {
        std::size_t found = npos;
        for (std::size_t i = 0; i + 1 < n; ++i)
            if (level >= points_[i].Z && level < points_[i + 1].Z) found = i;
        return found;
    }
    if (!(level >= points_[0].Z) || !(level < points_[n - 1].Z)) return npos;
    // The last point at or below the level starts the segment.
    const auto above = std::upper_bound(points_.begin(), points_.end(), level,
                                        [](double z, const TCurvePoint& p) { return z < p.Z; });
    return static_cast<std::size_t>(above - points_.begin()) - 1;
}

double TCurveSegments::Slope(std::size_t i) const {
    const TCurvePoint& lo = points_[i];
    const TCurvePoint& hi = points_[i + 1];
    if (!(hi.V > lo.V)) return 0.0;
    return static_cast<double>((static_cast<long double>(hi.V) - lo.V) / (static_cast<long double>(hi.Z) - lo.Z));
}

double TCurveSegments::LevelFor(double storage, double level, double levelStorage) const {
    if (storage == levelStorage) return level;
    const std::size_t i = SegmentOf(level);
    if (i == npos) {
        throw Exception("水位 " + RealToText(level) + " m 超出库容水位曲线范围（" +
                        RealToText(points_.front().Z) + " – " + RealToText(points_.back().Z) + " m）");
    }
    return LevelFrom(i, storage, level, levelStorage);
}

double TCurveSegments::LevelFrom(std::size_t i, double storage, double level, double levelStorage) const {
    if (storage == levelStorage) return level;
    if (!invertible_)
        throw Exception("库容水位曲线的水位须递增、库容须不减，才能由库容反求水位");
    const std::size_t last = points_.size() - 2;
    // Storages never fall, so the segment that holds the storage lies in the
    // direction the storage moved.
    const bool up = storage > levelStorage;
    if (up) {
        while (i < last && storage > points_[i + 1].V) ++i;
    } else {
        while (i > 0 && storage < points_[i].V) --i;
    }
    const TCurvePoint& lo = points_[i];
    const TCurvePoint& hi = points_[i + 1];
    // A segment whose storage does not rise holds its storage at every one of
    // its levels: the storage is first met at the edge the walk came in by.
    if (!(hi.V > lo.V)) return up ? lo.Z : hi.Z;
    return static_cast<double>(static_cast<long double>(lo.Z) +
                               ((static_cast<long double>(storage) - lo.V) * (static_cast<long double>(hi.Z) - lo.Z)) /
                                   (static_cast<long double>(hi.V) - lo.V));
}
