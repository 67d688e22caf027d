#pragma once
// Charts for the mouse tests: the window's chart with a line series, and a bare
// chart whose rectangle is pinned so that its axes have round pixel lengths.

#include <fstream>
#include <sstream>
#include <string>

#include "ChartTestHost.h"
#include "CurveChart.h"
#include "Series.h"

// The example curve of the distribution: X = storage, Y = level.
inline void LoadExampleCurve(TChartSeries& series) {
    std::ifstream in(std::string(QUELMORA_SOURCE_DIR) + "/examples/curve.txt");
    std::string line;
    std::getline(in, line);
    series.RemoveAllPoints();
    double z, v;
    char comma;
    while (std::getline(in, line))
        if (std::istringstream(line) >> z >> comma >> v) series.AddPoint(v, z);
}

struct ZoomChart {
    ZoomChart() {
        chart.Canvas().SetPixelsPerInch(120);
        chart.LoadLayout(CurveChartLayout());
        host = std::make_unique<ImageHost>(chart);
        series = new TLineSeries;  // the chart frees it
        series->SetParentChart(&chart);
    }
    void LoadExampleCurve() { ::LoadExampleCurve(*series); }
    void Paint() { chart.Refresh(); }
    void Drag(TMouseButton button, int x0, int y0, int x1, int y1) {
        chart.MouseDown(button, 0, x0, y0);
        chart.MouseMove(0, x1, y1);
        chart.MouseUp(button, 0, x1, y1);
    }

    TChart chart;
    std::unique_ptr<ImageHost> host;
    TLineSeries* series = nullptr;
};

// Chart rectangle (50, 20, 450, 220): the bottom axis 400 pixels long, the
// left one 200; bottom 0 to 100, left 0 to 50, both set by hand.
struct PinnedChart : ZoomChart {
    PinnedChart() {
        chart.SetFixedPlotRect(true);
        chart.SetPlotRect({50, 20, 450, 220});
        series->AddPoint(10, 10);
        series->AddPoint(90, 40);
        chart.BottomAxis().SetRange(0, 100);
        chart.LeftAxis().SetRange(0, 50);
        Paint();
    }
};

inline std::string RangeOf(TChartAxis& a) {
    std::ostringstream s;
    s << a.Minimum() << " .. " << a.Maximum() << (a.Automatic() ? " auto" : "");
    return s.str();
}
