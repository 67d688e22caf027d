#include "AxisPanel.h"

#include <algorithm>

#include "ScopeExit.h"

void TChartAxes::Remove(TChartAxis* axis) { FItems.erase(std::remove(FItems.begin(), FItems.end(), axis), FItems.end()); }

// ---------------------------------------------------------------------------
TCustomAxisPanel::TCustomAxisPanel() {
    FBottomAxis = std::make_unique<TChartAxis>(this, true, false, 0);
    FTopAxis = std::make_unique<TChartAxis>(this, true, true, 0);
    FLeftAxis = std::make_unique<TChartAxis>(this, false, false, 90);
    FRightAxis = std::make_unique<TChartAxis>(this, false, true, 270);
    FDepthAxis = std::make_unique<TChartDepthAxis>(this, false);
    FDepthTopAxis = std::make_unique<TChartDepthAxis>(this, true);
    FPages = std::make_unique<TChartPage>();
}

TCustomAxisPanel::~TCustomAxisPanel() {
    FDestroying = true;
    // The series are the window's, but a chart that goes takes its series along.
    while (!FSeriesList.empty()) {
        TChartSeries* s = FSeriesList.back();
        DetachSeries(s);
        delete s;
    }
    FPages.reset();
    FBottomAxis.reset();
    FTopAxis.reset();
    FLeftAxis.reset();
    FRightAxis.reset();
    FDepthAxis.reset();
    FDepthTopAxis.reset();
}

int TCustomAxisPanel::ActiveSeriesCount() const {
    return static_cast<int>(std::count_if(FSeriesList.begin(), FSeriesList.end(), [](const TChartSeries* s) { return s->Active(); }));
}

void TCustomAxisPanel::AttachSeries(TChartSeries* series) {
    if (!series || std::find(FSeriesList.begin(), FSeriesList.end(), series) != FSeriesList.end()) return;
    if (series->ParentChart() != this) {
        series->SetParentChart(this);  // comes back here with the chart recorded
        return;
    }
    series->AttachedToChart();
    FSeriesList.push_back(series);
    BroadcastSeriesEvent(series, sekAdded);
    Invalidate();
}

void TCustomAxisPanel::DetachSeries(TChartSeries* series) {
    const auto it = std::find(FSeriesList.begin(), FSeriesList.end(), series);
    if (it == FSeriesList.end()) return;
    BroadcastSeriesEvent(series, sekRemoved);
    series->DetachedFromChart();
    FSeriesList.erase(std::find(FSeriesList.begin(), FSeriesList.end(), series));
    Invalidate();
}

void TCustomAxisPanel::BroadcastSeriesEvent(TChartSeries* series, TSeriesEventKind kind) {
    TChartSeriesEvent e;
    e.Series = series;
    e.Kind = kind;
    Broadcast(e);
}

TChartAxis* TCustomAxisPanel::AxisFor(THorizAxis axis) { return axis == aTopAxis ? FTopAxis.get() : FBottomAxis.get(); }
TChartAxis* TCustomAxisPanel::AxisFor(TVertAxis axis) { return axis == aRightAxis ? FRightAxis.get() : FLeftAxis.get(); }

bool TCustomAxisPanel::IsSeriesBoundTo(const TChartSeries& s, const TChartAxis& axis) const {
    if (&axis == FBottomAxis.get()) return s.HorizAxis() == aBottomAxis || s.HorizAxis() == aBothHorizAxis;
    if (&axis == FTopAxis.get()) return s.HorizAxis() == aTopAxis || s.HorizAxis() == aBothHorizAxis;
    if (&axis == FLeftAxis.get()) return s.VertAxis() == aLeftAxis || s.VertAxis() == aBothVertAxis;
    if (&axis == FRightAxis.get()) return s.VertAxis() == aRightAxis || s.VertAxis() == aBothVertAxis;
    return false;
}

double TCustomAxisPanel::DataExtremeForAxis(const TChartAxis& axis, bool wantMinimum) const {
    bool activeBound = false;
    for (const TChartSeries* s : FSeriesList)
        if (s->Active() && IsSeriesBoundTo(*s, axis)) {
            activeBound = true;
            break;
        }
    double result = 0;
    bool taken = false;
    for (const TChartSeries* s : FSeriesList) {
        if (!(s->Active() || !activeBound) || s->PointCount() == 0 || !IsSeriesBoundTo(*s, axis)) continue;
        const double v = axis.Horizontal() ? (wantMinimum ? s->LowestX() : s->HighestX())
                                           : (wantMinimum ? s->LowestY() : s->HighestY());
        if (!taken || (wantMinimum ? v < result : v > result)) result = v;
        taken = true;
    }
    return result;
}

bool TCustomAxisPanel::IsFreeColor(TColor color, bool checkBackground, const TChartSeries* except) const {
    for (const TChartSeries* s : FSeriesList)
        if (s != except && s->SeriesColor() == color) return false;
    return !checkBackground || color != Color();
}

// -- Pipeline -----------------------------------------------------------------------------
void TCustomAxisPanel::AxisLayoutPass() {
    for (TChartAxis* a : FAxes) {
        a->IsShown = a->ComputeIsShown();
        a->ComputeAutoRange();
    }
    for (TChartAxis* a : FAxes) a->ComputePixelExtent();
    TRect work = FPlotRect;
    for (int i = 0; i < FAxes.Count(); ++i) {
        TChartAxis* a = FAxes[i];
        if (!a->IsShown) continue;
        TRect copy = work;
        a->ReserveAxisSpace(copy, i <= 4);
        const TRect common = IntersectRect(copy, work);
        if (!common.IsEmpty()) work = common;  // an axis that leaves no room is ignored
    }
    if (!FFixedPlotRect) FPlotRect = work;
    NormalisePlotRect();
    for (TChartAxis* a : FAxes) a->ComputePixelExtent();
}

void TCustomAxisPanel::AxisMarginsPass() {
    for (TChartAxis* a : FAxes) a->ApplyPixelMargins();
}

void TCustomAxisPanel::FitForWalls() {
    // Flat charts have no depth; the walls move nothing.
    FDepth3D = 0;
    FHeight3D = 0;
    NormalisePlotRect();
}

bool TCustomAxisPanel::IsBackFaceCulled(int) const {
    // In a flat chart the projection is the identity.
    const long long x0 = FPlotRect.Left, y0 = FPlotRect.Top, x1 = FPlotRect.Right, y1 = FPlotRect.Top,
                    x2 = FPlotRect.Right, y2 = FPlotRect.Bottom;
    return !((x0 - x1) * (y2 - y1) - (x2 - x1) * (y0 - y1) < 0);
}

void TCustomAxisPanel::PaintAxes() {
    if (!FAxisVisible) return;
    if (OnBeforeDrawAxes) OnBeforeDrawAxes(this);
    for (TChartAxis* a : FAxes) {
        if (!a->IsShown) continue;
        if (a == FBottomAxis.get() && IsBackFaceCulled(0)) continue;
        a->DrawAxis();
    }
}

void TCustomAxisPanel::PaintSeries() {
    // Flat charts visit the series in list order.
    for (TChartSeries* s : FSeriesList) {
        if (!s->Active()) continue;
        s->ComputeShownRange();
        if (s->FirstShownIndex == -1) continue;
        if (s->BeforeDrawValues) s->BeforeDrawValues(s);
        if (FClipPoints) {
            FCanvas->ClipToRectangle({FPlotRect.Left + 1, FPlotRect.Top + 1, FPlotRect.Right, FPlotRect.Bottom});
            const TScopeExit unclip([this] { FCanvas->RemoveClip(); });
            s->DrawAllPoints();
        } else {
            s->DrawAllPoints();
        }
        if (s->AfterDrawValues) s->AfterDrawValues(s);
    }
}

void TCustomAxisPanel::RenderChart(const TRect& bounds) {
    // Changes made while painting (the automatic ranges written back, a hook
    // setting a property) ask for no further paint; afterwards, or after an
    // exception from a hook, repaint requests count again.
    const bool invalidateWas = FInvalidateEnabled;
    FInvalidateEnabled = false;
    const TScopeExit restore([this, invalidateWas] { FInvalidateEnabled = invalidateWas; });
    PaintPanelBackground(bounds);
    if (OnBeforeDrawChart) OnBeforeDrawChart(this);
    PaintTitles(true);
    FitForWalls();
    AxisLayoutPass();
    AxisMarginsPass();
    PaintWalls();
    if (FAxisBehind) PaintAxes();
    if (OnBeforeDrawSeries) OnBeforeDrawSeries(this);
    PaintSeries();
    if (!FAxisBehind) PaintAxes();
    PaintTitles(false);
    if (FZoom->Dragging) DrawZoomRectangle();
    FCanvas->ResetSurface();
    if (OnAfterDraw) OnAfterDraw(this);
}

void TCustomAxisPanel::Publish(TPublisher& p) {
    TCustomChartPanelExtended::Publish(p);
    p.Bool("AxisBehind", FAxisBehind, [this](bool v) { SetAxisBehind(v); });
    p.Bool("AxisVisible", FAxisVisible, [this](bool v) { SetAxisVisible(v); });
    p.Object("BottomAxis", [this](TPublisher& q) { FBottomAxis->Publish(q); });
    p.Integer("Chart3DPercent", FChart3DPercent, [this](int v) { SetChart3DPercent(v); });
    p.Bool("ClipPoints", FClipPoints, [this](bool v) { SetClipPoints(v); });
    p.Object("DepthAxis", [this](TPublisher& q) { FDepthAxis->Publish(q); });
    p.Object("DepthTopAxis", [this](TPublisher& q) { FDepthTopAxis->Publish(q); });
    p.Object("LeftAxis", [this](TPublisher& q) { FLeftAxis->Publish(q); });
    p.Integer("MaxPointsPerPage", FPages->MaxPointsPerPage, [this](int v) {
        if (v != FPages->MaxPointsPerPage) FPages->MaxPointsPerPage = v, Invalidate();
    });
    p.Object("RightAxis", [this](TPublisher& q) { FRightAxis->Publish(q); });
    p.Object("TopAxis", [this](TPublisher& q) { FTopAxis->Publish(q); });
    p.Bool("View3DWalls", FView3DWalls, [this](bool v) { SetView3DWalls(v); });
}
