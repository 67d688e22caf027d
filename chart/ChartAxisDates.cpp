#include "ChartAxisDates.h"

#include "AxisDateSteps.h"
#include "AxisPanel.h"
#include "ChartEngine.h"
#include "ChartEngineAxis.h"

#include <algorithm>

namespace {

// The labels for the axis' scale of this paint, measured along the axis in
// its labels font: widths across a horizontal axis, line heights up a
// vertical one.
TDateLabels LabelsOf(TChartAxis& axis) {
    if (axis.Scale().RangeIsZero && axis.Scale().ScaleMin != axis.Scale().ScaleMax) return {};
    TChartCanvas& c = axis.ParentChart()->Canvas();
    c.SelectChartFont(axis.LabelsFont());
    const bool horizontal = axis.Horizontal();
    const int lineHeight = c.CharHeight();
    const TMeasureLabel measure = [&c, horizontal, lineHeight](std::string_view text) {
        return horizontal ? c.MeasureWidth(text) : lineHeight;
    };
    return ChooseDateLabels(axis.Scale().ScaleMin, axis.Scale().ScaleMax, std::max(axis.Scale().PixelLength, 0), measure,
                            axis.LabelsSeparation());
}

// Whether a shown series on the axis has a point: without one the axis has
// no time to show, and its range of zero would be labelled with day 0
// (1899-12-30).
bool HasPoints(TChartAxis& axis) {
    for (const TChartSeries* s : axis.ParentChart()->SeriesList())
        if (s->Active() && axis.ParentChart()->IsSeriesBoundTo(*s, axis) && s->PointCount() > 0) return true;
    return false;
}

}  // namespace

void DrawDateLabels(TChartAxis& axis) {
    if (!axis.ParentChart() || !HasPoints(axis)) return;
    const TDateLabels chosen = LabelsOf(axis);
    for (const TDateLabel& label : chosen.labels) axis.DrawLabelAt(label.value, &label.text);
}

int WidestDateLabel(TChartAxis& axis) {
    if (!axis.ParentChart()) return 0;
    const TDateLabels chosen = LabelsOf(axis);
    TChartCanvas& c = axis.ParentChart()->Canvas();
    int widest = 0;
    for (const TDateLabel& label : chosen.labels) widest = std::max(widest, c.MeasureWidth(label.text));
    return widest;
}
