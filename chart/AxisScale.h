#pragma once
// The scale of an axis: the range of values it shows, the pixels it spans, and
// the mapping between the two. A small value: the line drawing takes a copy of
// each axis' scale and maps its points through it, inline, without the axis.
//
// Geometry runs in the 64-bit-significand type (long double) and is stored as
// double where the chart keeps a double; pixels are the nearest integers, ties
// to even.

#include <bit>
#include <cmath>

#include "FloatRules.h"
#include "GallopSearch.h"

// Screen positions computed from data values stay within this bound, so that
// the graphics layer's 32-bit coordinates never overflow.
inline constexpr int PixelClampLimit = 67108863;  // 2^26 - 1

struct TAxisScale {
    double ScaleMin = 0, ScaleMax = 0, ScaleRange = 0;
    bool RangeIsZero = true;
    // x (along x) or y pixels of the two ends; PixelStart is the left or top one.
    int PixelStart = 0, PixelEnd = 0, PixelLength = 0, PixelCentre = 0;
    double PixelsPerUnit = 0;
    // The pixels are x coordinates (a horizontal axis) or y ones; the values
    // run right to left or top to bottom (an inverted axis).
    bool AlongX = true, Reversed = false;

    // ScaleRange, RangeIsZero and PixelsPerUnit from the ends.
    void RefreshScale() {
        ScaleRange = ScaleMax - ScaleMin;
        RangeIsZero = ScaleRange == 0;
        PixelsPerUnit = RangeIsZero ? 0.0 : static_cast<double>(static_cast<long double>(PixelLength) / ScaleRange);
    }

    // The pixels of the two ends, the length and centre between them, and
    // the scale for them.
    void SetExtent(int start, int end) {
        PixelStart = start;
        PixelEnd = end;
        PixelLength = end - start;
        PixelCentre = (start + end) / 2;
        RefreshScale();
    }

    // The pixel of a value, clamped to +-PixelClampLimit; the centre for a
    // zero range and for a value that is no number.
    int ValueToPixel(double value) const {
        using real = long double;
        if (RangeIsZero) return PixelCentre;
        const double d = static_cast<double>((static_cast<real>(value) - ScaleMin) * PixelsPerUnit);
        const real p = AlongX != Reversed ? PixelStart + static_cast<real>(d) : PixelEnd - static_cast<real>(d);
        if (p > PixelClampLimit) return PixelClampLimit;
        if (p < -PixelClampLimit) return -PixelClampLimit;
        if (p != p) return PixelCentre;
        return static_cast<int>(RoundHalfEven(p));
    }

    // The largest (upward) or smallest value that ValueToPixel maps to
    // `pixel`, given a value `inside` that maps there (a number). The mapping
    // is monotone, so the values of one pixel are an interval; its end is
    // guessed by the inverse of the mapping and then settled by the mapping
    // itself, probing neighbouring doubles, since the inverse alone can miss
    // the rounding by an ulp or more. Infinite when the interval has no end.
    double PixelEdgeValue(int pixel, double inside, bool upward) const;

    // The value at a pixel; 0 when the axis has no length. The top pixel of
    // a vertical axis is ScaleMax.
    double PixelToValue(int pixel) const {
        using real = long double;
        if (PixelLength <= 0) return 0;
        const real d = static_cast<real>(Reversed ? PixelEnd - pixel : pixel - PixelStart) * ScaleRange / PixelLength;
        return static_cast<double>(AlongX ? ScaleMin + d : ScaleMax - d);
    }
};

inline double TAxisScale::PixelEdgeValue(int pixel, double inside, bool upward) const {
    // Doubles in order as integers: -inf is 0, +-0 one place, +inf the last.
    using key_t = unsigned long long;
    constexpr key_t infinity = 0x7FF0000000000000ULL, sign = 0x8000000000000000ULL;
    auto key = [](double v) {
        const auto b = std::bit_cast<key_t>(v);
        return b & sign ? infinity - (b & ~sign) : infinity + b;
    };
    auto value = [](key_t k) {
        return k >= infinity ? std::bit_cast<double>(k - infinity) : std::bit_cast<double>((infinity - k) | sign);
    };
    const key_t from = key(inside);
    key_t guess = 0;
    if (!RangeIsZero && PixelsPerUnit != 0) {
        // Where the unrounded position is half a pixel away.
        using real = long double;
        const bool forward = AlongX != Reversed;
        const bool rising = forward == (PixelsPerUnit > 0);
        const real t = static_cast<real>(pixel) + (upward == rising ? 0.5L : -0.5L);
        const real d = forward ? t - PixelStart : PixelEnd - t;
        const double g = static_cast<double>(ScaleMin + d / PixelsPerUnit);
        if (g == g) {
            const key_t k = key(g);
            if (upward ? k > from : k < from) guess = upward ? k - from : from - k;
        }
    }
    const key_t limit = upward ? 2 * infinity - from + 1 : from + 1;
    const key_t last = LastHolding(limit, guess, [&](key_t d) {
        return ValueToPixel(value(upward ? from + d : from - d)) == pixel;
    });
    return value(upward ? from + last : from - last);
}
