#pragma once
// The curve's chart as the main window shows it, shared by the window and the
// batch mode's picture: the settings the window's layout stores for its chart
// Chart1, and the plot that puts a curve just read into the chart's series.

#include "ChartLayout.h"
#include "InflowWork.h"

#include <functional>
#include <vector>

class TChartSeries;

// The stored settings of Chart1, applied with TCustomChart::LoadLayout.
TLayoutRecord CurveChartLayout();

// Fills a series with a curve: storage across (X), level up (Y).
class TSeriesCurvePlot : public TCurvePlot {
public:
    // repaint: the chart's immediate repaint once a curve is shown (may be empty).
    explicit TSeriesCurvePlot(TChartSeries& series, std::function<void()> repaint = {});

    void ClearCurve() override;
    void ShowCurve(const std::vector<TCurvePoint>& points) override;

private:
    TChartSeries& series_;
    std::function<void()> repaint_;
};
