// The legend's layout and drawing.

#include "Chart.h"
#include "Series.h"

#include <algorithm>
#include <vector>

namespace {

// Pixels between the legend and the chart rectangle, and inside its frame.
constexpr int kLegendGap = 5;

}  // namespace

void TChartLegend::Paint(TCustomChart& chart) {
    Bounds = {0, 0, 0, 0};
    if (!FVisible) return;
    std::vector<TChartSeries*> named;
    for (TChartSeries* s : chart.SeriesList())
        if (s->Active() && s->ShowInLegend && !s->Title().empty()) named.push_back(s);
    if (named.empty()) return;

    TChartCanvas& c = chart.Canvas();
    c.SelectChartFont(FFont);
    const int h = c.CharHeight();
    const int pad = c.MeasureWidth("W") / 2;
    // A sample of the line as long as two text heights, then a space, then the title.
    const int sample = 2 * h;
    const int space = c.MeasureWidth(" ");
    std::vector<int> widths;
    for (const TChartSeries* s : named) widths.push_back(sample + space + c.MeasureWidth(s->Title()));

    const bool row = FAlignment == laTop || FAlignment == laBottom;
    int w = 0, hgt = 0;
    if (row) {
        for (std::size_t i = 0; i < widths.size(); ++i) w += widths[i] + (i > 0 ? 2 * pad : 0);
        hgt = h;
    } else {
        w = *std::max_element(widths.begin(), widths.end());
        hgt = h * static_cast<int>(named.size());
    }
    w += 2 * pad;
    hgt += 2 * (pad / 2) + 2;

    const TRect plot = chart.PlotRect();
    TRect box;
    if (FCustomPosition) {
        box = {FLeft, FTop, FLeft + w, FTop + hgt};
    } else {
        switch (FAlignment) {
        case laLeft: box = {plot.Left, plot.Top, plot.Left + w, plot.Top + hgt}; break;
        case laRight: box = {plot.Right - w, plot.Top, plot.Right, plot.Top + hgt}; break;
        case laTop: {
            const int left = (plot.Left + plot.Right - w) / 2;
            box = {left, plot.Top, left + w, plot.Top + hgt};
            break;
        }
        case laBottom: {
            const int left = (plot.Left + plot.Right - w) / 2;
            box = {left, plot.Bottom - hgt, left + w, plot.Bottom};
            break;
        }
        }
    }
    Bounds = box;
    Draw(c, box);

    int x = box.Left + pad, y = box.Top + pad / 2 + 1;
    for (std::size_t i = 0; i < named.size(); ++i) {
        TChartSeries* s = named[i];
        const int mid = y + h / 2;
        const auto* shaped = dynamic_cast<const TCustomSeries*>(s);
        const bool marked = shaped && shaped->Pointer().Visible();
        if (s->Pen().Visible()) {
            c.SelectChartPen(s->Pen(), s->SeriesColor());
            c.MoveTo(x, mid);
            c.LineTo(x + sample, mid);
        } else if (!marked) {
            // A series drawn without a line (a filled band): a patch of its colour.
            c.SelectPen(TSurfacePen{s->SeriesColor()});
            c.SelectBrush(s->SeriesColor(), bsSolid);
            c.FillRectangle({x, mid - h / 4, x + sample, mid + h / 4 + 1});
        }
        if (marked) {
            // The series' marker in the sample's middle.
            const int mx = x + sample / 2, hs = shaped->Pointer().HorizSize(), vs = shaped->Pointer().VertSize();
            c.SelectPen(TSurfacePen{clBlack});
            c.SelectBrush(s->SeriesColor(), bsSolid);
            c.RectangleOutline(mx - hs, mid - vs, mx + hs + 1, mid + vs + 1);
        }
        c.SelectChartFont(FFont);
        c.SetTextAlignment(TA_LEFT | TA_TOP);
        c.SetBackgroundMode(bmTransparent);
        c.WriteText(x + sample + space, y, s->Title());
        if (row)
            x += widths[i] + 2 * pad;
        else
            y += h;
    }
    c.SetBackgroundMode(bmOpaque);

    if (FCustomPosition || chart.FixedPlotRect()) return;
    TRect r = plot;
    const int shadow = FTransparent ? 0 : FShadow.Size();
    switch (FAlignment) {
    case laLeft: r.Left = box.Right + kLegendGap + shadow; break;
    case laRight: r.Right = box.Left - kLegendGap; break;
    case laTop: r.Top = box.Bottom + kLegendGap + shadow; break;
    case laBottom: r.Bottom = box.Top - kLegendGap; break;
    }
    chart.SetPlotRect(r);
}
