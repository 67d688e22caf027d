#pragma once
// The scale of an axis: the range of values it shows, the pixels it spans, and
// the mapping between the two. A small value: the line drawing takes a copy of
// each axis' scale and maps its points through it, inline, without the axis.
//
// Geometry runs in the 64-bit-significand type (long double) and is stored as
// double where the chart keeps a double; pixels are the nearest integers, ties
// to even.

#include <cmath>

#include "FloatRules.h"

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

    // The value at a pixel; 0 when the axis has no length. The top pixel of
    // a vertical axis is ScaleMax.
    double PixelToValue(int pixel) const {
        using real = long double;
        if (PixelLength <= 0) return 0;
        const real d = static_cast<real>(Reversed ? PixelEnd - pixel : pixel - PixelStart) * ScaleRange / PixelLength;
        return static_cast<double>(AlongX ? ScaleMin + d : ScaleMax - d);
    }
};
