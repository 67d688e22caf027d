#pragma once
// How far apart an axis' value labels stand, and which values they show: from
// the scale, the settings below and the size of a label along the axis, which
// the caller measures (with a font, or anything else). No chart, no font and no
// drawing surface are needed here.

#include <climits>
#include <functional>

#include "AxisScale.h"

struct TLabelStepRules {
    // The smallest step wanted; 0: automatic.
    double Increment = 0;
    // Percent of a label's size kept free between neighbouring labels.
    int LabelsSeparation = 10;
    // Labels in two staggered rows: the step is halved.
    bool LabelsAlternate = false;
    // The fewest points among the series whose positions lie on the axis; a
    // range of 1 or more whose points all fit as labels gets no step below 1
    // (no label between two whole values). INT_MAX: no such series.
    int FewestPoints = INT_MAX;
};

// The size along the axis, in pixels, of the label of a value.
using TLabelExtent = std::function<int(double value)>;

// The step between value labels for the scale: as many labels as fit into
// the axis' length with their separation, on the 1-2-5 sequence once the
// first estimate is too fine. A step of 1e-12 means that no label fits.
double ComputeLabelStep(const TAxisScale& scale, const TLabelStepRules& rules, const TLabelExtent& labelExtent);

// The next step of the 1-2-5 sequence above x: 1 -> 2, 2 -> 5, 5 -> 10, 0.3 -> 0.5.
double NextNiceStep(double x);

// Each value label of a linear axis with the step, from the top of the range
// down: at whole multiples of the step when roundFirst (unless the range is
// one value at 15 digits), from ScaleMax itself otherwise. None when the range
// holds 10,000 steps or more, one for a range of (nearly) no width.
void ForEachLabelValue(const TAxisScale& scale, double step, bool roundFirst, const std::function<void(double)>& each);

// Whether the step gives too many labels to draw (or the range is no number).
bool TooManyLabels(const TAxisScale& scale, double step);

// The whole number of steps in value, cut toward zero, times the step.
long double WholeSteps(long double value, long double step);
