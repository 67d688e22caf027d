#include "AxisLabelSteps.h"

#include <algorithm>

#include "NumberPattern.h"

namespace {

using real = long double;

int Nearest(real x) { return static_cast<int>(RoundHalfEven(x)); }

// Two values that read the same with 15 significant digits are one label.
bool SameAt15Digits(double a, double b) { return SignificantDigitsText(a, 15) == SignificantDigitsText(b, 15); }

}  // namespace

// The quotient is rounded to double before it is cut: in the wider type 1 / 0.1
// lies just under 10, and a value that is a whole number of steps (a range
// from 0 to 1 by 0.1) would lose a step. Quotients beyond the 64-bit range (a
// huge value over a tiny step) are cut without overflowing.
long double WholeSteps(long double value, long double step) {
    const double q = static_cast<double>(value / step);
    const real whole = std::fabs(q) < 9.2e18 ? static_cast<real>(static_cast<long long>(q)) : std::trunc(q);
    return whole * step;
}

double NextNiceStep(double x) {
    if (std::isinf(x)) return 1;
    // A step that underflowed to nothing (a range of a few denormals) would
    // recurse for ever below; the smallest step the axis uses is next.
    if (x == 0) return 1e-12;
    if (x >= 10) return static_cast<double>(NextNiceStep(static_cast<double>(x * 0.1L)) * 10.0L);
    if (x < 1) return static_cast<double>(NextNiceStep(static_cast<double>(x * 10.0L)) * 0.1L);
    return x < 2 ? 2 : x < 5 ? 5 : 10;
}

double ComputeLabelStep(const TAxisScale& scale, const TLabelStepRules& rules, const TLabelExtent& labelExtent) {
    const double min = scale.ScaleMin, max = scale.ScaleMax, range = scale.ScaleRange;
    int size = labelExtent(max);
    size = std::max(size, labelExtent(min));
    if (rules.Increment == 0)
        size = std::max(size, labelExtent(static_cast<double>((static_cast<real>(max) + min) * 0.5L)));
    else
        size = std::max({size, labelExtent(min + rules.Increment), labelExtent(max - rules.Increment)});

    // How many labels fit, each with its share of free space.
    int count = 1;
    if (size > 0) {
        const int s = rules.LabelsSeparation > 0 ? size + Nearest(rules.LabelsSeparation * 0.01L * size) : size;
        count = Nearest(static_cast<real>(scale.PixelLength) / s);
    }
    if (count < 1) return rules.LabelsAlternate ? 1e-12 * 0.5 : 1e-12;

    double step;
    if (rules.Increment > 0) {
        step = rules.Increment;
    } else if (range == 0) {
        step = 1;
    } else {
        step = static_cast<double>(std::fabs(range) / static_cast<real>(count + 1));
        if (range >= 1 && rules.FewestPoints <= count) step = std::max(step, 1.0);
    }

    // Wider steps of the 1-2-5 sequence until the labels fit.
    if (rules.LabelsSeparation > 0) {
        long long n = count + 1;
        while (true) {
            const real q = static_cast<real>(range) / step;
            if (std::fabs(q) < 2147483647.0L) {
                n = RoundHalfEven(q);
                if (n > count) step = NextNiceStep(step);
            } else {
                step = NextNiceStep(step);
            }
            if (n <= count || step > range || std::isinf(step)) break;
        }
    }
    double result = std::isinf(step) ? range : std::max(step, 1e-12);
    if (rules.LabelsAlternate) result *= 0.5;
    return result;
}

bool TooManyLabels(const TAxisScale& scale, double step) {
    // Not "q >= 10000": a range that is not a number draws nothing either.
    return !(std::fabs(scale.ScaleRange / static_cast<real>(step)) < 10000);
}

void ForEachLabelValue(const TAxisScale& scale, double step, bool roundFirst, const std::function<void(double)>& each) {
    if (TooManyLabels(scale, step)) return;
    const real s = step;
    const double min = scale.ScaleMin, max = scale.ScaleMax;
    double v = max;
    // A quotient rounded up past the top is brought back by the loop below.
    if (roundFirst && !SameAt15Digits(min, max)) v = static_cast<double>(WholeSteps(max, s));
    // A step below the spacing of values this large would leave v where it is.
    while (v > max) {
        const double next = static_cast<double>(v - s);
        if (!(next < v)) break;
        v = next;
    }

    if (scale.RangeIsZero || std::fabs(static_cast<real>(max) - min) < 1e-10L || SameAt15Digits(v, static_cast<double>(v - s))) {
        each(v);
        return;
    }
    // Repeated subtraction may leave the lowest label a hair below a
    // non-negative minimum; it still belongs to the range.
    const double low = min >= 0 ? static_cast<double>((min - 1e-12L) / (1 + 1e-12L)) : min;
    while (v >= low) {
        each(v);
        v = static_cast<double>(v - s);
    }
}
