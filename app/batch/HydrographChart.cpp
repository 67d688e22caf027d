#include "HydrographChart.h"

#include "Chart.h"
#include "Series.h"

#include <algorithm>

namespace {

TLayoutRecord Chart2Layout() {
    TLayoutRecord r;
    r.Add("Left", TLayoutValue::Integer(kChart2Left));
    r.Add("Top", TLayoutValue::Integer(kChart2Top));
    r.Add("Width", TLayoutValue::Integer(kChart2Width));
    r.Add("Height", TLayoutValue::Integer(kChart2Height));
    r.Add("Legend.Alignment", TLayoutValue::Ident("laTop"));
    r.Add("MarginBottom", TLayoutValue::Integer(2));
    r.Add("MarginLeft", TLayoutValue::Integer(2));
    r.Add("MarginRight", TLayoutValue::Integer(2));
    r.Add("MarginTop", TLayoutValue::Integer(2));
    r.Add("Title.Text.Strings", TLayoutValue::Strings({"入库洪水过程线"}));
    r.Add("LeftAxis.Title.Caption", TLayoutValue::String("流量 / m^3/s"));
    r.Add("RightAxis.Title.Caption", TLayoutValue::String("水位 /m"));
    // Numbers as everywhere in the window: no thousands separator.
    r.Add("LeftAxis.AxisValuesFormat", TLayoutValue::String("0.###"));
    r.Add("RightAxis.AxisValuesFormat", TLayoutValue::String("0.###"));
    // The level's grid would cross the flows' grid at other heights.
    r.Add("RightAxis.Grid.Visible", TLayoutValue::Bool(false));
    r.Add("View3D", TLayoutValue::Bool(false));
    // The Chinese texts: "量" of 流量 fills in when drawn in whole pixels at
    // these sizes. The numbers stay crisp.
    for (const char* font : {"Title.Font", "Legend.Font", "LeftAxis.Title.Font", "RightAxis.Title.Font"})
        r.Add(std::string(font) + ".Smooth", TLayoutValue::Bool(true));
    return r;
}

TLineSeries* NewSeries(TChart& chart, const char* title, TColor color, bool right) {
    auto* s = new TLineSeries;
    s->SetTitle(title);
    s->SetSeriesColor(color);
    s->XValues()->SetDateTime(true);
    if (right) s->SetVertAxis(aRightAxis);
    s->SetParentChart(&chart);
    return s;
}

}  // namespace

THydrographChart::THydrographChart(TChart& chart) : FChart(chart) {
    FChart.LoadLayout(Chart2Layout());
    FInflow = NewSeries(chart, "入库流量", clRed, false);
    FInflow->SetStairs(true);
    FInflow->SetInvertedStairs(true);
    FOutflow = NewSeries(chart, "出库流量", clBlue, false);
    FLevel = NewSeries(chart, "库水位", clGreen, true);
    // Last, so that it is drawn over the computed inflow it smooths.
    FCorrected = NewSeries(chart, "修正入库流量", clFuchsia, false);
    FCorrected->SetStairs(true);
    FCorrected->SetInvertedStairs(true);
    // One-pixel lines take the engine's direct line stepper; wider ones go
    // through the painter's stroker, which a million records keep busy for
    // seconds.
    for (TLineSeries* s : {FInflow, FOutflow, FLevel, FCorrected}) s->LinePen().SetWidth(1);
    Show({}, 0);
}

void THydrographChart::Show(std::span<const TFloodStep> steps, std::size_t computed,
                            std::span<const double> corrected) {
    computed = std::min(computed, steps.size());
    for (TLineSeries* s : {FInflow, FOutflow, FLevel, FCorrected}) {
        s->BeginDataUpdate();
        s->RemoveAllPoints();
    }
    // Along the time axis the records stand at their real moments: before
    // 1899-12-30 a stored stamp is its date minus its time of day.
    auto at = [&](std::size_t i) { return static_cast<double>(ElapsedDays(steps[i].T)); };
    for (std::size_t i = 0; i < steps.size(); ++i) {
        FOutflow->AddPoint(at(i), steps[i].Qout);
        FLevel->AddPoint(at(i), steps[i].Z);
    }
    bool negative = false;
    if (computed >= 2) {
        FInflow->AddPoint(at(0), steps[1].Qin);
        for (std::size_t i = 1; i < computed; ++i) {
            FInflow->AddPoint(at(i), steps[i].Qin);
            negative = negative || steps[i].Qin < 0;
        }
        const std::size_t shown = std::min(computed - 1, corrected.size());
        if (shown > 0) FCorrected->AddPoint(at(0), corrected[0]);
        for (std::size_t k = 0; k < shown; ++k) FCorrected->AddPoint(at(k + 1), corrected[k]);
    }
    // The inflow names itself in the legend once there is one; the other two
    // stay active, so that an empty chart keeps its three axes.
    FInflow->SetActive(FInflow->PointCount() > 0);
    FCorrected->SetActive(FCorrected->PointCount() > 0);
    TChartAxis& left = FChart.LeftAxis();
    left.SetAutomatic(true);
    double highest = FInflow->PointCount() ? FInflow->HighestY() : 0.0;
    if (FOutflow->PointCount()) highest = std::max(highest, FOutflow->HighestY());
    if (FCorrected->PointCount()) highest = std::max(highest, FCorrected->HighestY());
    if (negative && highest < 0) {
        left.SetAutomaticMaximum(false);
        left.SetMaximum(0);
    }
    for (TLineSeries* s : {FInflow, FOutflow, FLevel, FCorrected}) s->EndDataUpdate();
}
