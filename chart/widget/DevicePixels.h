#pragma once
// Drawing bitmaps pixel for pixel on a desktop whose device pixel ratio is not
// 1: Qt scales a widget's painter from logical to device pixels, which would
// stretch a bitmap made at the screen's own pixels.

#include <QPainter>
#include <QTransform>

#include <cmath>

// Makes one unit of p one device pixel: the painter's scaling by ratio undone
// exactly (1 / ratio times ratio may miss 1 by a unit in the last place; the
// neighbour that gives 1 exactly is taken), so that a bitmap lands pixel for
// pixel and is never resampled.
inline void UseDevicePixels(QPainter& p, double ratio) {
    if (ratio == 1.0 || ratio <= 0) return;
    double s = 1.0 / ratio;
    for (double candidate : {s, std::nextafter(s, 0.0), std::nextafter(s, 2.0)})
        if (candidate * ratio == 1.0) {
            s = candidate;
            break;
        }
    p.setWorldTransform(QTransform::fromScale(s, s));
}
