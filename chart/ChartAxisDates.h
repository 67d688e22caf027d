#pragma once
// Labels of an axis that shows date-times (a series bound to it holds
// date-times on it): whole time units chosen by ChooseDateLabels, so that the
// labels neither overlap nor fall between minutes or hours. The ticks and the
// grid lines stand at those labels, as at value labels.

class TChartAxis;

// Draws the axis' date labels (each through DrawLabelAt, so that ticks and
// grid follow them); the caller has selected the labels font.
void DrawDateLabels(TChartAxis& axis);
// The widest of the labels DrawDateLabels would draw, in pixels.
int WidestDateLabel(TChartAxis& axis);
