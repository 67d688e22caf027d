#pragma once
// A chart stand-in for the series tests: it keeps a series list the way the
// chart control does, records every repaint request and series event, and
// answers IsFreeColor from its series, its Color and its back wall colour.

#include <algorithm>
#include <utility>
#include <vector>

#include "ChartEngine.h"

class FakeChart : public TSeriesChartLink {
  public:
    ~FakeChart() {
        destroying = true;
        while (!list.empty())
            DetachSeries(list.back());
    }

    void Invalidate() override { ++invalidations; }
    void BroadcastSeriesEvent(TChartSeries* series, TSeriesEventKind kind) override {
        events.emplace_back(series, static_cast<int>(kind));
    }
    bool IsFreeColor(TColor color, bool checkBackground,
                     const TChartSeries* except) const override {
        for (const TChartSeries* s : list)
            if (s != except && s->SeriesColor() == color) return false;
        return !(checkBackground && (color == Color || color == BackWallColor));
    }
    const std::vector<TColor>* Palette() const override { return &palette; }
    // The axes are only handed out and compared, never used: distinct addresses do.
    TChartAxis* AxisFor(THorizAxis a) override { return AxisToken(static_cast<int>(a)); }
    TChartAxis* AxisFor(TVertAxis a) override { return AxisToken(10 + static_cast<int>(a)); }
    TChartAxis* AxisToken(int n) { return reinterpret_cast<TChartAxis*>(&axisTokens[n]); }
    void CheckDataSource(TChartSeries* series) override { dataSourceChecks.push_back(series); }
    bool IsDestroying() const override { return destroying; }

    void AttachSeries(TChartSeries* s) override {
        if (Contains(s)) return;
        if (s->ParentChart() != this) {
            s->SetParentChart(this);
            return;
        }
        s->AttachedToChart();
        list.push_back(s);
        BroadcastSeriesEvent(s, sekAdded);
        Invalidate();
    }
    void DetachSeries(TChartSeries* s) override {
        if (!Contains(s)) return;
        BroadcastSeriesEvent(s, sekRemoved);
        s->DetachedFromChart();
        list.erase(std::find(list.begin(), list.end(), s));
        Invalidate();
    }
    bool Contains(const TChartSeries* s) const {
        return std::find(list.begin(), list.end(), s) != list.end();
    }

    // The event kinds received for one series, in order.
    std::vector<int> KindsFor(const TChartSeries* s) const {
        std::vector<int> kinds;
        for (const auto& e : events)
            if (e.first == s) kinds.push_back(e.second);
        return kinds;
    }
    void ClearLog() {
        events.clear();
        invalidations = 0;
        dataSourceChecks.clear();
    }

    TColor Color = clBtnFace;
    TColor BackWallColor = clSilver;
    std::vector<TColor> palette; // empty: the default palette
    std::vector<TChartSeries*> list;
    std::vector<std::pair<TChartSeries*, int>> events;
    std::vector<TChartSeries*> dataSourceChecks;
    int invalidations = 0;
    bool destroying = false;

  private:
    long long axisTokens[16] = {};
};
