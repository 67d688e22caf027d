#pragma once
// The curve chart as a picture file, drawn by the same engine the window
// hosts, without a window: the chart of the window's layout at the layout's
// own 120 pixels per inch (505 x 313), written as PNG.

#include <memory>
#include <string>

#include "CurveChart.h"
#include "Series.h"

class TChart;
class QGuiApplication;

class TChartExport {
public:
    // Starts the off-screen graphics the text drawing needs (fonts), unless an
    // application object is already there.
    TChartExport();
    ~TChartExport();
    TChartExport(const TChartExport&) = delete;
    TChartExport& operator=(const TChartExport&) = delete;

    TChart& Chart() { return *FChart; }
    // The curve's plot, for the curve reader to fill.
    TCurvePlot& Plot() { return *FPlot; }

    // The whole picture encoded as PNG.
    std::string PngBytes();
    // Replaces fileName atomically (an earlier file survives a failed write);
    // "/dev/stdout" and other non-regular targets are written directly.
    void SavePng(const std::string& fileName);

private:
    std::unique_ptr<QGuiApplication> FApp;
    std::unique_ptr<TChart> FChart;
    TLineSeries* FSeries;  // freed by the chart
    std::unique_ptr<TSeriesCurvePlot> FPlot;
};
