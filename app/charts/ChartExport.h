#pragma once
// The window's charts as picture files, drawn by the same engine the window
// hosts, without a window: a chart of the window's layout at the layout's own
// 120 pixels per inch, written as PNG. The curve chart (505 x 313) and the
// hydrograph Chart2 (720 x 290) each set up their chart on the shared picture.

#include <cstddef>
#include <memory>
#include <span>
#include <string>

#include "CurveChart.h"
#include "HydrographChart.h"
#include "InflowTypes.h"
#include "Series.h"

class TChart;
class QGuiApplication;
class THydrographChart;

// An off-screen chart at 120 pixels per inch and its PNG.
class TChartPicture {
public:
    // Starts the off-screen graphics the text drawing needs (fonts), unless an
    // application object is already there.
    TChartPicture();
    virtual ~TChartPicture();
    TChartPicture(const TChartPicture&) = delete;
    TChartPicture& operator=(const TChartPicture&) = delete;

    TChart& Chart() { return *FChart; }

    // The whole picture encoded as PNG.
    std::string PngBytes();
    // Replaces fileName atomically (an earlier file survives a failed write);
    // "/dev/stdout" and other non-regular targets are written directly.
    void SavePng(const std::string& fileName);

private:
    std::unique_ptr<QGuiApplication> FApp;
    std::unique_ptr<TChart> FChart;
};

// The curve chart Chart1, filled by the curve reader through Plot().
class TChartExport : public TChartPicture {
public:
    TChartExport();
    ~TChartExport() override;

    // The curve's plot, for the curve reader to fill.
    TCurvePlot& Plot() { return *FPlot; }

private:
    TLineSeries* FSeries;  // freed by the chart
    std::unique_ptr<TSeriesCurvePlot> FPlot;
};

// The hydrograph Chart2, as the page shows it for the same records.
class THydrographExport : public TChartPicture {
public:
    THydrographExport();
    ~THydrographExport() override;

    THydrographChart& Hydrograph() { return *FHydrograph; }
    // What the page shows after a load or a computation (see THydrographChart::Show).
    void Show(std::span<const TFloodStep> steps, std::size_t computed, std::span<const double> corrected = {},
              const THydrographChecks& checks = {});

private:
    std::unique_ptr<THydrographChart> FHydrograph;
};
