#include "InflowNoise.h"

#include "CurveSegments.h"
#include "Currency.h"
#include "Exceptions.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

TGaugeNoise GaugeNoise(std::span<const double> levels, std::span<const double> inflow, std::span<const double> dt,
                       std::span<const TCurvePoint> curve, std::span<const double> area, double resolution,
                       double storageFactor) {
    const TCurveAt one{curve, area};
    return GaugeNoise(levels, inflow, dt, std::span<const TCurveAt>(&one, 1), {}, resolution, storageFactor);
}

TGaugeNoise GaugeNoise(std::span<const double> levels, std::span<const double> inflow, std::span<const double> dt,
                       std::span<const TCurveAt> curves, std::span<const std::size_t> curveOf, double resolution,
                       double storageFactor) {
    if (dt.size() != inflow.size() || (levels.empty() ? !inflow.empty() : inflow.size() + 1 != levels.size()))
        throw std::invalid_argument("N levels and N - 1 inflows and steps are needed");
    if (curves.empty() || (!curveOf.empty() && curveOf.size() != levels.size()))
        throw std::invalid_argument("a curve, and one curve index per level when given, are needed");
    for (const TCurveAt& c : curves)
        if (!c.area.empty() && c.area.size() != c.points.size())
            throw std::invalid_argument("one area per curve point is needed");
    for (const std::size_t c : curveOf)
        if (c >= curves.size()) throw std::invalid_argument("a curve index beyond the curves");
    if (!(resolution > 0)) throw std::invalid_argument("the gauge resolution must be positive");

    std::vector<TCurveSegments> allSegments;
    allSegments.reserve(curves.size());
    for (const TCurveAt& c : curves) allSegments.emplace_back(c.points);
    TGaugeNoise out;
    out.sigma.resize(inflow.size());
    // sqrt(2) / sqrt(12) = 1 / sqrt(6).
    const long double spread = static_cast<long double>(resolution) * storageFactor / std::sqrt(6.0L);
    for (std::size_t k = 0; k < inflow.size(); ++k) {
        if (!(dt[k] > 0))
            throw Exception("第 " + std::to_string(k + 1) + " 条记录（自 0 起计）的时段长度不为正，无法估计水位观测误差");
        const double mean = static_cast<double>((static_cast<long double>(levels[k]) + levels[k + 1]) / 2);
        const std::size_t which = curveOf.empty() ? 0 : curveOf[k + 1];
        const TCurveSegments& segments = allSegments[which];
        const std::span<const TCurvePoint> curve = curves[which].points;
        const std::span<const double> area = curves[which].area;
        const std::size_t i = segments.SegmentOf(mean);
        if (i == TCurveSegments::npos)
            throw Exception("第 " + std::to_string(k + 1) + " 条记录（自 0 起计）的时段平均水位 " + RealToText(mean) +
                            " m 超出库容水位曲线");
        long double a;
        if (area.empty()) {
            a = static_cast<long double>(segments.Slope(i)) * 1e8L;
        } else {
            const TCurvePoint& lo = curve[i];
            const TCurvePoint& hi = curve[i + 1];
            a = area[i] + ((static_cast<long double>(area[i + 1]) - area[i]) * (static_cast<long double>(mean) - lo.Z)) /
                              (static_cast<long double>(hi.Z) - lo.Z);
        }
        const double sigma = static_cast<double>(a * spread / dt[k]);
        out.sigma[k] = sigma;
        if (inflow[k] < 0) {
            ++out.negativeSteps;
            if (inflow[k] >= -2 * sigma) ++out.withinNoise;
            else ++out.beyondNoise;
        }
    }
    if (!out.sigma.empty()) {
        std::vector<double> sorted = out.sigma;
        const std::size_t mid = sorted.size() / 2;
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(mid), sorted.end());
        out.medianSigma = sorted[mid];
        if (sorted.size() % 2 == 0) {
            const double below = *std::max_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(mid));
            out.medianSigma = (below + sorted[mid]) / 2;
        }
    }
    return out;
}
