#include "CurveChart.h"

#include "ChartColors.h"
#include "ChartEngine.h"

#include <utility>

TLayoutRecord CurveChartLayout() {
    TLayoutRecord r;
    r.Add("Left", TLayoutValue::Integer(208));
    r.Add("Top", TLayoutValue::Integer(56));
    r.Add("Width", TLayoutValue::Integer(505));
    r.Add("Height", TLayoutValue::Integer(313));
    r.Add("Legend.Visible", TLayoutValue::Bool(false));
    r.Add("MarginBottom", TLayoutValue::Integer(2));
    r.Add("MarginLeft", TLayoutValue::Integer(2));
    r.Add("MarginRight", TLayoutValue::Integer(2));
    r.Add("MarginTop", TLayoutValue::Integer(2));
    r.Add("Title.Text.Strings", TLayoutValue::Strings({"库容水位曲线"}));
    // The storage is in 10^8 m^3, as the curve file and the computation have it.
    r.Add("BottomAxis.Title.Caption", TLayoutValue::String("库容 / 10^8m^3"));
    r.Add("LeftAxis.Title.Caption", TLayoutValue::String("水位 /m"));
    // The labels are written like every other number of the window: no
    // thousands separator. Where the locale's decimal mark is ',' the program
    // writes decimals with '.', so a grouping ',' would read as a decimal
    // comma there ("1,130" for 1130 m); without grouping a label reads the same
    // in every locale.
    r.Add("BottomAxis.AxisValuesFormat", TLayoutValue::String("0.###"));
    r.Add("LeftAxis.AxisValuesFormat", TLayoutValue::String("0.###"));
    r.Add("View3D", TLayoutValue::Bool(false));
    r.Add("PrintMargins", TLayoutValue::Integers({15, 13, 15, 13}));
    return r;
}

TSeriesCurvePlot::TSeriesCurvePlot(TChartSeries& series, std::function<void()> repaint)
    : series_(series), repaint_(std::move(repaint)) {}

void TSeriesCurvePlot::ClearCurve() { series_.RemoveAllPoints(); }

void TSeriesCurvePlot::ShowCurve(const std::vector<TCurvePoint>& points) {
    series_.RemoveAllPoints();
    for (const TCurvePoint& p : points) series_.AddPoint(p.V, p.Z, "", clDefault);
    if (repaint_) repaint_();
}
