#include "ToleranceSmoother.h"

#include "CurveSegments.h"
#include "Currency.h"
#include "Exceptions.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>

namespace {

double Median(std::vector<double> values) {
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid), values.end());
    return values[mid];
}

// The five-diagonal symmetric matrix B^T B (B the consecutive differences of
// the inflow as a function of the unknown storage departures) and the right
// side -B^T g, built once; each weight then adds to the diagonal only.
struct TSystem {
    std::vector<double> d, e, f;   // diagonal, first and second off-diagonal
    std::vector<double> rhs;
    std::vector<double> w;         // normalised fidelity weights
};

class TSolver {
public:
    explicit TSolver(const TSystem& system) : s_(system) {
        const std::size_t m = s_.d.size();
        dd_.resize(m);
        inv_.resize(m);
        l1_.resize(m);
        l2_.resize(m);
        x_.resize(m);
    }

    // (B^T B + mu W) x = rhs by LDL^T, O(m).
    const std::vector<double>& Solve(double mu) {
        const std::size_t m = s_.d.size();
        for (std::size_t i = 0; i < m; ++i) {
            const double l2 = i >= 2 ? s_.f[i - 2] * inv_[i - 2] : 0.0;
            const double l1 = i >= 1 ? (s_.e[i - 1] - (i >= 2 ? s_.f[i - 2] * l1_[i - 1] : 0.0)) * inv_[i - 1] : 0.0;
            double di = s_.d[i] + mu * s_.w[i];
            if (i >= 1) di -= l1 * l1 * dd_[i - 1];
            if (i >= 2) di -= l2 * l2 * dd_[i - 2];
            dd_[i] = di;
            inv_[i] = 1.0 / di;
            l1_[i] = l1;
            l2_[i] = l2;
            double y = s_.rhs[i];
            if (i >= 1) y -= l1 * x_[i - 1];
            if (i >= 2) y -= l2 * x_[i - 2];
            x_[i] = y;
        }
        for (std::size_t i = 0; i < m; ++i) x_[i] *= inv_[i];
        for (std::size_t i = m; i-- > 0;) {
            double v = x_[i];
            if (i + 1 < m) v -= l1_[i + 1] * x_[i + 1];
            if (i + 2 < m) v -= l2_[i + 2] * x_[i + 2];
            x_[i] = v;
        }
        return x_;
    }
    const std::vector<double>& Solution() const { return x_; }

private:
    const TSystem& s_;
    std::vector<double> dd_, inv_, l1_, l2_, x_;
};

[[noreturn]] void RaiseRecord(std::size_t record, const std::string& what) {
    throw Exception("第 " + std::to_string(record) + " 条记录（自 0 起计）" + what + "，无法按水位容差修正入库流量");
}

struct TDepartures {
    double rms = 0.0, largest = 0.0;
    std::size_t at = 0;
};

// The departures of the implied levels for storage departures c (c[k] for
// record k, c[0] = 0), over records 1 .. N-1.
TDepartures Measure(std::span<const TCurveSegments* const> curve, std::span<const std::size_t> segment,
                    std::span<const double> levels, std::span<const double> storages,
                    std::span<const double> c) {
    TDepartures out;
    long double squares = 0;
    const std::size_t n = levels.size();
    for (std::size_t k = 1; k < n; ++k) {
        const double storage = static_cast<double>(static_cast<long double>(storages[k]) + c[k]);
        const double e = curve[k]->LevelFrom(segment[k], storage, levels[k], storages[k]) - levels[k];
        squares += static_cast<long double>(e) * e;
        if (std::fabs(e) > std::fabs(out.largest)) {
            out.largest = e;
            out.at = k;
        }
    }
    out.rms = n > 1 ? static_cast<double>(std::sqrt(squares / static_cast<long double>(n - 1))) : 0.0;
    return out;
}

void CheckLengths(std::span<const double> levels, std::span<const double> storages, std::span<const double> inflow,
                  std::span<const double> dt) {
    if (storages.size() != levels.size() || dt.size() != inflow.size() ||
        (!levels.empty() && inflow.size() + 1 != levels.size()) || (levels.empty() && !inflow.empty()))
        throw std::invalid_argument("N levels and storages and N - 1 inflows and steps are needed");
}

}  // namespace

std::vector<double> ImpliedLevelDepartures(std::span<const double> levels, std::span<const double> storages,
                                           std::span<const double> inflow, std::span<const double> corrected,
                                           std::span<const double> dt, std::span<const TCurvePoint> curve) {
    CheckLengths(levels, storages, inflow, dt);
    if (corrected.size() != inflow.size()) throw std::invalid_argument("the corrected series differs in length");
    const TCurveSegments segments(curve);
    std::vector<double> out(levels.size(), 0.0);
    long double c = 0;
    for (std::size_t k = 1; k < levels.size(); ++k) {
        c += (static_cast<long double>(corrected[k - 1]) - inflow[k - 1]) * dt[k - 1] / 1e8L;
        const double storage = static_cast<double>(static_cast<long double>(storages[k]) + c);
        out[k] = segments.LevelFor(storage, levels[k], storages[k]) - levels[k];
    }
    return out;
}

TToleranceSmoothing SmoothToTolerance(std::span<const double> levels, std::span<const double> storages,
                                      std::span<const double> inflow, std::span<const double> dt,
                                      std::span<const TCurvePoint> curve, double tolerance) {
    const TCurveAt one{curve, {}};
    return SmoothToTolerance(levels, storages, inflow, dt, std::span<const TCurveAt>(&one, 1), {}, tolerance);
}

TToleranceSmoothing SmoothToTolerance(std::span<const double> levels, std::span<const double> storages,
                                      std::span<const double> inflow, std::span<const double> dt,
                                      std::span<const TCurveAt> curves, std::span<const std::size_t> curveOf,
                                      double tolerance) {
    CheckLengths(levels, storages, inflow, dt);
    if (curves.empty() || (!curveOf.empty() && curveOf.size() != levels.size()))
        throw std::invalid_argument("a curve, and one curve index per level when given, are needed");
    for (const std::size_t c : curveOf)
        if (c >= curves.size()) throw std::invalid_argument("a curve index beyond the curves");
    if (!(tolerance > 0) || !std::isfinite(tolerance))
        throw std::invalid_argument("the level tolerance must be a positive number");
    TToleranceSmoothing result;
    result.inflow.assign(inflow.begin(), inflow.end());
    const std::size_t records = levels.size();
    for (std::size_t k = 0; k < records; ++k) {
        if (!std::isfinite(levels[k]) || !std::isfinite(storages[k])) RaiseRecord(k, "的水位或库容不是数");
        if (k == 0) continue;
        if (!std::isfinite(inflow[k - 1])) RaiseRecord(k, "的入库流量不是数");
        if (!(dt[k - 1] > 0) || !std::isfinite(dt[k - 1])) RaiseRecord(k, "的时段长度不为正");
    }
    if (records < 3) return result;

    std::vector<TCurveSegments> allSegments;
    allSegments.reserve(curves.size());
    for (const TCurveAt& c : curves) allSegments.emplace_back(c.points);
    // Each record's curve; one that no record uses need not be invertible.
    std::vector<const TCurveSegments*> curveAt(records);
    std::vector<std::size_t> segment(records);
    for (std::size_t k = 0; k < records; ++k) {
        curveAt[k] = &allSegments[curveOf.empty() ? 0 : curveOf[k]];
        if (!curveAt[k]->Invertible()) throw Exception("库容水位曲线的水位须递增、库容须不减，才能由库容反求水位");
        segment[k] = curveAt[k]->SegmentOf(levels[k]);
        if (segment[k] == TCurveSegments::npos) RaiseRecord(k, "的水位 " + RealToText(levels[k]) + " m 超出库容水位曲线");
    }

    // Steps j = 1 .. n end at records 1 .. n; the unknowns are c_1 .. c_{n-1}
    // (c_0 = c_n = 0), unknown a standing for c_{a+1}.
    const std::size_t n = records - 1, m = n - 1;
    std::vector<double> rate(n);   // 10^8 / dt_j, m^3/s per 10^8 m^3
    for (std::size_t j = 0; j < n; ++j) rate[j] = static_cast<double>(1e8L / dt[j]);
    const double rateScale = Median(rate);

    TSystem system;
    system.d.assign(m, 0.0);
    system.e.assign(m, 0.0);
    system.f.assign(m, 0.0);
    system.rhs.assign(m, 0.0);
    system.w.resize(m);
    // A level on a segment whose storage does not rise has no first-order
    // departure; the nearest segment that rises stands in for its weight.
    auto slopeAt = [&](std::size_t k) {
        const std::size_t s = segment[k];
        const TCurveSegments& segments = *curveAt[k];
        const std::size_t size = curves[curveOf.empty() ? 0 : curveOf[k]].points.size();
        for (std::size_t d = 0; d < size; ++d) {
            if (s + d + 1 < size) {
                const double a = segments.Slope(s + d);
                if (a > 0) return a;
            }
            if (d <= s) {
                const double a = segments.Slope(s - d);
                if (a > 0) return a;
            }
        }
        throw Exception("库容水位曲线的库容处处不变，无法由库容反求水位");
    };
    for (std::size_t a = 0; a < m; ++a) {
        const double slope = slopeAt(a + 1);
        system.w[a] = 1.0 / (slope * slope);
    }
    const double weightScale = Median(system.w);
    for (double& w : system.w) w /= weightScale;

    // Row r: the difference q_{r+2} - q_{r+1} (steps numbered from 1), whose
    // storage part is s_{r+2} (c_{r+2} - c_{r+1}) - s_{r+1} (c_{r+1} - c_r).
    for (std::size_t r = 0; r + 1 < n; ++r) {
        const double sLo = rate[r] / rateScale, sHi = rate[r + 1] / rateScale;
        const double g = (inflow[r + 1] - inflow[r]) / rateScale;
        // (unknown, coefficient): c_r is unknown r - 1, c_{r+1} unknown r, c_{r+2} unknown r + 1.
        std::size_t col[3];
        double coef[3];
        int count = 0;
        if (r >= 1) col[count] = r - 1, coef[count++] = sLo;
        col[count] = r, coef[count++] = -(sLo + sHi);
        if (r + 1 < m) col[count] = r + 1, coef[count++] = sHi;
        for (int p = 0; p < count; ++p) {
            system.rhs[col[p]] -= coef[p] * g;
            for (int q = p; q < count; ++q) {
                const double v = coef[p] * coef[q];
                const std::size_t lo = col[p], gap = col[q] - col[p];
                if (gap == 0) system.d[lo] += v;
                else if (gap == 1) system.e[lo] += v;
                else system.f[lo] += v;
            }
        }
    }

    TSolver solver(system);
    std::vector<double> c(records, 0.0);
    std::vector<double> kept;   // the solution of the weight `hi`
    auto trial = [&](double mu) {
        const std::vector<double>& x = solver.Solve(mu);
        ++result.solves;
        for (std::size_t a = 0; a < m; ++a) c[a + 1] = x[a];
        return Measure(curveAt, segment, levels, storages, c);
    };

    constexpr double kStep = 16.0, kFloor = 1e-12, kCeiling = 1e30;
    double lo = 0, hi = 0;   // lo exceeds the tolerance, hi keeps it
    double rmsHi = 0;
    auto keep = [&](double mu, double rms) {
        hi = mu;
        rmsHi = rms;
        kept = solver.Solution();
    };
    double mu = 1.0;
    if (const double rms = trial(mu).rms; rms <= tolerance) {
        keep(mu, rms);
        while (lo == 0) {
            if (mu / kStep < kFloor) {
                result.smoothestReached = true;
                break;
            }
            mu /= kStep;
            if (const double r = trial(mu).rms; r <= tolerance) keep(mu, r);
            else lo = mu;
        }
    } else {
        lo = mu;
        while (hi == 0) {
            mu *= kStep;
            if (mu > kCeiling) return result;   // not even the stiffest weight: the computed series
            if (const double r = trial(mu).rms; r <= tolerance) keep(mu, r);
            else lo = mu;
        }
    }
    while (!result.smoothestReached && rmsHi < 0.995 * tolerance && hi / lo > 1.001) {
        const double mid = std::sqrt(lo * hi);
        if (const double r = trial(mid).rms; r <= tolerance) keep(mid, r);
        else lo = mid;
    }

    // The series of the weight kept, and its departures as the rounded series
    // gives them.
    result.weight = hi;
    for (std::size_t j = 0; j < n; ++j) {
        const long double cHi = j + 1 < n ? static_cast<long double>(kept[j]) : 0.0L;
        const long double cLo = j >= 1 ? static_cast<long double>(kept[j - 1]) : 0.0L;
        result.inflow[j] = static_cast<double>(inflow[j] + (cHi - cLo) * 1e8L / dt[j]);
    }
    long double running = 0;
    for (std::size_t k = 1; k < records; ++k) {
        running += (static_cast<long double>(result.inflow[k - 1]) - inflow[k - 1]) * dt[k - 1] / 1e8L;
        c[k] = static_cast<double>(running);
    }
    const TDepartures final = Measure(curveAt, segment, levels, storages, c);
    result.rmsDeparture = final.rms;
    result.largestDeparture = final.largest;
    result.largestAt = final.at;
    return result;
}
