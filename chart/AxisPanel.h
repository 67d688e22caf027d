#pragma once
// The axis panel: the part of the chart control that owns the series list and
// the six axes, decides which axes show and what range they take from the
// series, and runs the paint pipeline (background, titles, axes, series).

#include <functional>
#include <memory>
#include <vector>

#include "ChartEngine.h"
#include "ChartEngineAxis.h"
#include "ChartPanel.h"

// The chart's axes in creation order; the chart owns them.
class TChartAxes {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TChartAxis* operator[](int i) const { return FItems[static_cast<std::size_t>(i)]; }
    void Add(TChartAxis* axis) { FItems.push_back(axis); }
    void Remove(TChartAxis* axis);
    auto begin() const { return FItems.begin(); }
    auto end() const { return FItems.end(); }

private:
    std::vector<TChartAxis*> FItems;
};

// Paging of the points (none: MaxPointsPerPage 0).
struct TChartPage {
    int MaxPointsPerPage = 0;
    int Page = 1;
};

// ---------------------------------------------------------------------------
class TCustomAxisPanel : public TCustomChartPanelExtended, public TSeriesChartLink {
public:
    TCustomAxisPanel();
    // Detaches and frees the series still attached, then the axes.
    ~TCustomAxisPanel() override;

    // -- Series -------------------------------------------------------------------
    const std::vector<TChartSeries*>& SeriesList() const { return FSeriesList; }
    int SeriesCount() const { return static_cast<int>(FSeriesList.size()); }
    TChartSeries* Series(int i) const { return FSeriesList[static_cast<std::size_t>(i)]; }
    int ActiveSeriesCount() const;
    void AttachSeries(TChartSeries* series) override;
    void DetachSeries(TChartSeries* series) override;
    // Whether the series is bound to the axis (to it alone or to its pair).
    bool IsSeriesBoundTo(const TChartSeries& series, const TChartAxis& axis) const;
    // The smallest or largest data value of the series bound to the axis.
    double DataExtremeForAxis(const TChartAxis& axis, bool wantMinimum) const;

    // -- Axes -----------------------------------------------------------------------
    TChartAxes& Axes() { return FAxes; }
    const TChartAxes& Axes() const { return FAxes; }
    TChartAxis& BottomAxis() { return *FBottomAxis; }
    TChartAxis& TopAxis() { return *FTopAxis; }
    TChartAxis& LeftAxis() { return *FLeftAxis; }
    TChartAxis& RightAxis() { return *FRightAxis; }
    TChartAxis& DepthAxis() { return *FDepthAxis; }
    TChartAxis& DepthTopAxis() { return *FDepthTopAxis; }

    bool AxisBehind() const { return FAxisBehind; }
    void SetAxisBehind(bool v) { StoreProperty(FAxisBehind, v); }
    bool AxisVisible() const { return FAxisVisible; }
    void SetAxisVisible(bool v) { StoreProperty(FAxisVisible, v); }
    bool ClipPoints() const { return FClipPoints; }
    void SetClipPoints(bool v) { StoreProperty(FClipPoints, v); }
    bool View3DWalls() const { return FView3DWalls; }
    void SetView3DWalls(bool v) { StoreProperty(FView3DWalls, v); }
    int Chart3DPercent() const { return FChart3DPercent; }
    void SetChart3DPercent(int v) { StoreProperty(FChart3DPercent, v); }
    TChartPage& Pages() { return *FPages; }
    // The chart's own palette (empty: the default one).
    std::vector<TColor> ColorPalette;

    // -- Pipeline ---------------------------------------------------------------------
    void RenderChart(const TRect& bounds) override;
    // Visibility, automatic ranges, pixel extents, reserved space, the shrunk chart rectangle.
    void AxisLayoutPass();
    // Every axis' pixel margins, in list order.
    void AxisMarginsPass();
    virtual void PaintTitles(bool beforeSeries) { (void)beforeSeries; }
    virtual void FitForWalls();
    virtual int WallOffset(const TChartAxis& axis) const { (void)axis; return 0; }
    virtual void PaintWalls() {}
    virtual bool IsBackFaceCulled(int z) const;
    virtual void PaintAxes();
    virtual void PaintSeries();
    virtual void DrawZoomRectangle() {}
    bool IsFreeColor(TColor color, bool checkBackground, const TChartSeries* except) const override;

    // -- What series need of their chart ----------------------------------------------------
    void Invalidate() override { TCustomChartPanelExtended::Invalidate(); }
    void BroadcastSeriesEvent(TChartSeries* series, TSeriesEventKind kind) override;
    const std::vector<TColor>* Palette() const override { return ColorPalette.empty() ? nullptr : &ColorPalette; }
    TChartAxis* AxisFor(THorizAxis axis) override;
    TChartAxis* AxisFor(TVertAxis axis) override;
    void CheckDataSource(TChartSeries*) override {}
    bool IsDestroying() const override { return FDestroying; }

    std::function<void(TCustomAxisPanel* Sender)> OnBeforeDrawChart;
    std::function<void(TCustomAxisPanel* Sender)> OnBeforeDrawAxes;
    std::function<void(TCustomAxisPanel* Sender)> OnBeforeDrawSeries;
    std::function<void(TChartAxis* Sender, TChartSeries* Series, int ValueIndex, std::string& LabelText)> OnGetAxisLabel;
    std::function<void(TChartAxis* Sender, int LabelIndex, double& LabelValue, bool& Stop)> OnGetNextAxisLabel;

    void Publish(TPublisher& p) override;

protected:
    TChartAxes FAxes;
    std::unique_ptr<TChartAxis> FBottomAxis, FTopAxis, FLeftAxis, FRightAxis, FDepthAxis, FDepthTopAxis;

private:
    std::vector<TChartSeries*> FSeriesList;
    std::unique_ptr<TChartPage> FPages;
    bool FAxisBehind = true, FAxisVisible = true, FClipPoints = true, FView3DWalls = true;
    int FChart3DPercent = 15;
};
