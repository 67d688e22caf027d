#include "HydrographChart.h"

#include "Chart.h"
#include "Series.h"

#include <algorithm>
#include <cmath>
#include <charconv>
#include <functional>
#include <string>
#include <initializer_list>
#include <limits>
#include <vector>

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
    // The checks' series: inactive, hence out of the legend and of the
    // ranges, until Show is given what they draw. The band's two bounds
    // draw no line of their own: the fill behind every series is the band,
    // and the lower bound stays out of the legend.
    FBandHigh = NewSeries(chart, "入库流量 ±2σ", kBandColor, false);
    FBandLow = NewSeries(chart, "", kBandColor, false);
    FBandLow->ShowInLegend = false;
    for (TLineSeries* s : {FBandHigh, FBandLow}) {
        s->LinePen().SetVisible(false);
        s->SetStairs(true);
        s->SetInvertedStairs(true);
    }
    FReference = NewSeries(chart, "对比入库流量", kReferenceColor, false);
    FReference->SetStairs(true);
    FReference->SetInvertedStairs(true);
    // A marker on each flagged level; the null points between them keep the
    // markers apart (no line joins two flags).
    FFlagged = NewSeries(chart, "异常水位", kFlagColor, true);
    FFlagged->Pointer().SetVisible(true);
    FFlagged->Pointer().SetHorizSize(3);
    FFlagged->Pointer().SetVertSize(3);
    FFlagged->LinePen().SetVisible(false);
    for (TLineSeries* s : {FInflow, FOutflow, FLevel, FCorrected, FBandHigh, FBandLow, FReference, FFlagged})
        s->LinePen().SetWidth(1);
    for (TLineSeries* s : {FBandHigh, FBandLow, FReference, FFlagged}) s->SetActive(false);
    FChart.OnBeforeDrawSeries = [this](TCustomAxisPanel*) { DrawBehindSeries(); };
    FChart.Zoom().SetDirection(tzdHorizontal);
    FChart.SetAllowPanning(pmHorizontal);
    FChart.OnZoom = [this](TCustomChartPanel*) { FitVerticalToView(); };
    FChart.OnScroll = [this](TCustomChartPanel*) { FitVerticalToView(); };
    FChart.OnMouseWheel = [this](TCustomChartPanel*, TShiftState, int delta, int, int, bool& handled) {
        handled = true;
        ShiftTime(delta / 120);
    };
    Show({}, 0);
}

namespace {

// The points of a series (ascending in time) from the last at or before
// `from` to the first at or after `to`: the lines and stairs that cross the
// view come from them.
std::pair<int, int> PointsAround(const TLineSeries& s, double from, double to) {
    const int n = s.PointCount();
    int lo = 0, hi = n;
    while (lo < hi) {   // first point at or after from
        const int mid = lo + (hi - lo) / 2;
        if (s.XValueAt(mid) < from) lo = mid + 1; else hi = mid;
    }
    const int first = std::max(0, lo - 1);
    int a = lo, b = n;
    while (a < b) {   // first point after to
        const int mid = a + (b - a) / 2;
        if (s.XValueAt(mid) <= to) a = mid + 1; else b = mid;
    }
    return {first, std::min(n - 1, a)};
}

}  // namespace

void THydrographChart::FitVerticalToView() {
    const TChartAxis& bottom = FChart.BottomAxis();
    if (bottom.Automatic()) return;
    const double from = bottom.Minimum(), to = bottom.Maximum();
    auto fit = [&](TChartAxis& axis, std::initializer_list<TLineSeries*> series, bool flows) {
        double low = std::numeric_limits<double>::infinity(), high = -low;
        for (TLineSeries* s : series) {
            if (!s->Active() || s->PointCount() == 0) continue;
            const auto [first, last] = PointsAround(*s, from, to);
            for (int i = first; i <= last; ++i) {
                const double y = s->YValueAt(i);
                if (std::isfinite(y)) low = std::min(low, y), high = std::max(high, y);
            }
        }
        if (!(low <= high)) return;   // nothing in view: the range stays
        // A flow below zero shows zero with it.
        if (flows && low < 0) high = std::max(high, 0.0);
        const double room = high > low ? (high - low) * 0.05 : std::max(std::fabs(high) * 0.05, 1e-6);
        double bottomEnd = low - room;
        // Flows that are all positive do not reach below zero for the room.
        if (flows && low >= 0) bottomEnd = std::max(bottomEnd, 0.0);
        axis.SetRange(bottomEnd, high + room);
    };
    fit(FChart.LeftAxis(), {FInflow, FOutflow, FCorrected, FBandHigh, FBandLow, FReference}, true);
    fit(FChart.RightAxis(), {FLevel}, false);
}

void THydrographChart::SetMarkPeaks(bool on, int decimals) {
    FPeakDecimals = decimals;
    if (on == FMarkPeaks) return;
    FMarkPeaks = on;
    FChart.OnAfterDraw = on ? std::function<void(TCustomChartPanel*)>([this](TCustomChartPanel*) { DrawPeaks(); })
                            : nullptr;
    FChart.Invalidate();
}

int THydrographChart::PeakIndex(const TLineSeries& s) const {
    const int n = s.PointCount();
    int best = -1;
    for (int i = s.Stairs() ? 1 : 0; i < n; ++i)
        if (best < 0 || s.YValueAt(i) > s.YValueAt(best)) best = i;
    return best;
}

void THydrographChart::DrawPeaks() {
    TChartCanvas& c = FChart.Canvas();
    const TRect& plot = FChart.PlotRect();
    c.SelectChartFont(FChart.Legend().Font());
    const int h = c.CharHeight();
    for (TLineSeries* s : {FInflow, FOutflow}) {
        if (!s->Active()) continue;
        const int i = PeakIndex(*s);
        if (i < 0) continue;
        const int x = FChart.BottomAxis().ValueToPixel(s->XValueAt(i));
        const int y = FChart.LeftAxis().ValueToPixel(s->YValueAt(i));
        if (!PointInRect(plot, x, y)) continue;
        // A square on the peak, its value beside it, inside the chart rectangle.
        c.SelectPen(TSurfacePen{});
        c.SelectBrush(s->SeriesColor(), bsSolid);
        c.FillRectangle({x - 3, y - 3, x + 4, y + 4});
        // Written with '.' whatever the C library's locale, as every number here.
        char text[64];
        const auto written = std::to_chars(text, text + sizeof text, s->YValueAt(i), std::chars_format::fixed, FPeakDecimals);
        std::string t(text, written.ec == std::errc() ? written.ptr : text);
        if (t.find('.') != std::string::npos) {
            while (t.back() == '0') t.pop_back();
            if (t.back() == '.') t.pop_back();
        }
        const int w = c.MeasureWidth(t);
        int tx = x + 6, ty = y - h / 2;
        if (tx + w > plot.Right - 2) tx = x - 6 - w;
        ty = std::clamp(ty, plot.Top + 2, std::max(plot.Top + 2, plot.Bottom - h - 2));
        c.SelectChartFont(FChart.Legend().Font());
        c.SetBackgroundMode(bmOpaque);
        c.SetBackgroundColour(clWhite);
        c.SetTextAlignment(TA_LEFT | TA_TOP);
        c.WriteText(tx, ty, t);
    }
    c.ResetSurface();
}

void THydrographChart::ShiftTime(int notches) {
    if (notches == 0) return;
    TChartAxis& bottom = FChart.BottomAxis();
    // Kept for "show all", like a zoom or a scroll.
    FChart.SaveScales();
    const double d = (bottom.Maximum() - bottom.Minimum()) * 0.03 * std::abs(notches);
    bottom.ShiftRange(notches < 0 ? d : -d, false);
    FChart.IsZoomed = true;
    FitVerticalToView();
}

void THydrographChart::Show(std::span<const TFloodStep> steps, std::size_t computed,
                            std::span<const double> corrected, const THydrographChecks& checks) {
    computed = std::min(computed, steps.size());
    const std::initializer_list<TLineSeries*> all = {FInflow,   FOutflow, FLevel,     FCorrected,
                                                     FBandHigh, FBandLow, FReference, FFlagged};
    for (TLineSeries* s : all) {
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
        // The band as the inflow's stairs, two sigma above and below.
        const std::size_t banded = std::min(computed - 1, checks.sigma.size());
        for (std::size_t k = 0; k < banded; ++k) {
            const double q = steps[k + 1].Qin, band = 2.0 * checks.sigma[k];
            if (k == 0) {
                FBandHigh->AddPoint(at(0), q + band);
                FBandLow->AddPoint(at(0), q - band);
            }
            FBandHigh->AddPoint(at(k + 1), q + band);
            FBandLow->AddPoint(at(k + 1), q - band);
        }
    }
    for (std::size_t i = 0; i < std::min(steps.size(), checks.flags.size()); ++i) {
        if (checks.flags[i] != TRecordFlag::Spike && checks.flags[i] != TRecordFlag::Repaired) continue;
        FFlagged->AddPoint(at(i), steps[i].Z);
        FFlagged->AddPoint(at(i), steps[i].Z, {}, clNone);
    }
    // The reference's missing values break its line; they take the last
    // value known so that they stretch no axis.
    double known = 0.0;
    for (std::size_t j = 0; j < std::min(checks.referenceTimes.size(), checks.reference.size()); ++j) {
        const double x = static_cast<double>(ElapsedDays(checks.referenceTimes[j]));
        const double q = checks.reference[j];
        if (std::isfinite(q)) {
            known = q;
            FReference->AddPoint(x, q);
        } else {
            FReference->AddPoint(x, known, {}, clNone);
        }
    }
    // The inflow names itself in the legend once there is one; the other two
    // stay active, so that an empty chart keeps its three axes.
    FInflow->SetActive(FInflow->PointCount() > 0);
    for (TLineSeries* s : {FCorrected, FBandHigh, FBandLow, FReference, FFlagged}) s->SetActive(s->PointCount() > 0);
    TChartAxis& left = FChart.LeftAxis();
    left.SetAutomatic(true);
    double highest = FInflow->PointCount() ? FInflow->HighestY() : 0.0;
    for (TLineSeries* s : {FOutflow, FCorrected, FBandHigh, FReference})
        if (s->PointCount()) highest = std::max(highest, s->HighestY());
    if (negative && highest < 0) {
        left.SetAutomaticMaximum(false);
        left.SetMaximum(0);
    }
    for (TLineSeries* s : all) s->EndDataUpdate();
    // Zoomed in time, the new records are fitted in view.
    FitVerticalToView();
}

void THydrographChart::ZoomTime(double from, double to) {
    if (!(from < to)) return;
    TChartAxis& bottom = FChart.BottomAxis();
    // Kept for "show all", like a zoom by the mouse.
    if (!FChart.IsZoomed) FChart.SaveScales();
    bottom.SetRange(from, to);
    FChart.IsZoomed = true;
    FitVerticalToView();
    FChart.Invalidate();
}

void THydrographChart::DrawBehindSeries() {
    const bool band = FBandHigh->Active() && FBandHigh->PointCount() == FBandLow->PointCount();
    if (!band && !FFlagged->Active()) return;
    TChartCanvas& c = FChart.Canvas();
    const TRect plot = FChart.PlotRect();
    c.ClipToRectangle(plot);
    const TChartAxis& bottom = FChart.BottomAxis();
    const TChartAxis& left = FChart.LeftAxis();
    if (band) {
        // Each pixel column filled from the highest upper bound to the lowest
        // lower bound of the steps it holds: a million steps cost a pass over
        // them and one rectangle per column.
        const int width = plot.Right - plot.Left;
        std::vector<int> top(static_cast<std::size_t>(std::max(width, 0)), std::numeric_limits<int>::max());
        std::vector<int> foot(top.size(), std::numeric_limits<int>::min());
        const auto [first, last] = PointsAround(*FBandHigh, bottom.Minimum(), bottom.Maximum());
        for (int i = std::max(first, 1); i <= last; ++i) {
            int x0 = bottom.ValueToPixel(FBandHigh->XValueAt(i - 1)), x1 = bottom.ValueToPixel(FBandHigh->XValueAt(i));
            if (x0 > x1) std::swap(x0, x1);
            x0 = std::max(x0, plot.Left);
            x1 = std::min(x1, plot.Right - 1);
            const int yHigh = left.ValueToPixel(FBandHigh->YValueAt(i)), yLow = left.ValueToPixel(FBandLow->YValueAt(i));
            for (int x = x0; x <= x1; ++x) {
                const auto col = static_cast<std::size_t>(x - plot.Left);
                top[col] = std::min(top[col], std::min(yHigh, yLow));
                foot[col] = std::max(foot[col], std::max(yHigh, yLow));
            }
        }
        c.SelectPen(TSurfacePen{});
        c.SelectBrush(kBandColor, bsSolid);
        for (std::size_t col = 0; col < top.size(); ++col)
            if (top[col] <= foot[col]) {
                const int x = plot.Left + static_cast<int>(col);
                c.FillRectangle({x, top[col], x + 1, foot[col] + 1});
            }
    }
    if (FFlagged->Active()) {
        // A dotted line across the plot at each flagged time: one day in
        // sixty years is a pixel wide.
        TSurfacePen pen;
        pen.Color = kFlagColor;
        pen.Style = psDot;
        c.SelectPen(pen);
        for (int i = 0; i < FFlagged->PointCount(); i += 2) {
            const int x = bottom.ValueToPixel(FFlagged->XValueAt(i));
            if (x < plot.Left || x >= plot.Right) continue;
            c.VerticalLine(x, plot.Top, plot.Bottom);
        }
    }
    c.RemoveClip();
    c.ResetSurface();
}
