#pragma once
// The level-storage curve read as segments: which segment holds a level, the
// lake's surface area there, and the level that a storage implies. The
// storage lookup answers "how much water at this level"; the corrections of
// the inflow also need the way back, and they need it to agree with the
// lookup's linear interpolation to the last digit that matters: a level read
// back from a storage lies on the same straight segment the storage came from.

#include "InflowTypes.h"

#include <cstddef>
#include <span>

class TCurveSegments {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // The points are referenced, not copied: they must outlive this object.
    explicit TCurveSegments(std::span<const TCurvePoint> points);

    // The segment i (points i and i + 1) holding a level as the storage
    // lookup takes it: Z[i] <= level < Z[i+1], the last such segment when the
    // levels fall somewhere, and the last segment also holding its top point.
    // npos for a level no segment holds.
    std::size_t SegmentOf(double level) const;

    // dV/dZ of segment i in 10^8 m^3 per metre: times 10^8 the surface area in
    // m^2. 0 for a segment whose storage does not rise; a segment whose two
    // levels are equal never holds a level and is never asked.
    double Slope(std::size_t i) const;

    // The level whose storage is `storage`, read back from the segment that
    // holds `level` (whose storage on the curve is `levelStorage`): on that
    // segment, Z[i] + (storage - V[i]) * (Z[i+1] - Z[i]) / (V[i+1] - V[i]);
    // a storage beyond the segment walks to the neighbouring segments until
    // one holds it, and beyond the curve's first or last point the end segment
    // is extended. An unchanged storage gives the level itself, also on a
    // segment whose storage does not rise. Needs storages that never fall as
    // the levels rise (Invertible).
    double LevelFor(double storage, double level, double levelStorage) const;
    // The same from a segment already found: SegmentOf(level), not npos.
    double LevelFrom(std::size_t segment, double storage, double level, double levelStorage) const;

    // Whether levels rise and storages never fall from point to point: the
    // curves whose storage has one level.
    bool Invertible() const { return invertible_; }

private:
    std::span<const TCurvePoint> points_;
    bool ascending_ = false;
    bool invertible_ = false;
};
