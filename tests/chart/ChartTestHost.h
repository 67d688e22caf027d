#pragma once
// An image standing in for the chart's window: it counts the paint requests the
// chart makes and paints the chart on request, as an exposure would.

#include <QPainter>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "Chart.h"
#include "CurveChart.h"
#include "ChartTestSupport.h"


class ImageHost : public TChartHost {
public:
    explicit ImageHost(TCustomChart& chart) : chart_(chart) {
        chart.SetHost(this);
        Resize();
    }
    ~ImageHost() { chart_.SetHost(nullptr); }

    void InvalidateWindow() override { ++invalidations; }
    void PaintNow() override { Expose(); }
    bool ParentColor(TColor& c) const override {
        if (!hasParent) return false;
        c = parentColor;
        return true;
    }
    void SetCursor(int cursor) override { lastCursor = cursor; }
    void BoundsChanged() override { Resize(); }

    // The window shows again: the chart paints (copying or rendering).
    void Expose() {
        QPainter p(&screen);
        chart_.Canvas().SetControlCanvas(&p);
        chart_.Paint();
        chart_.Canvas().SetControlCanvas(nullptr);
    }
    void Resize() {
        screen = QImage(chart_.Width(), chart_.Height(), QImage::Format_RGB32);
        screen.fill(Qt::black);
    }

    QImage screen;
    int invalidations = 0;
    int lastCursor = -1;
    bool hasParent = false;
    TColor parentColor = clWhite;

private:
    TCustomChart& chart_;
};

// The window's chart as its stored layout has it, at the layout's 120 pixels
// per inch, with a series attached in the place of its Series1.
struct Chart1Fixture {
    Chart1Fixture() {
        chart.Canvas().SetPixelsPerInch(120);
        chart.LoadLayout(CurveChartLayout());
        host = std::make_unique<ImageHost>(chart);
        series = new TChartSeries;  // the chart frees it
        series->SetParentChart(&chart);
    }
    // The example curve of the distribution: X = storage, Y = level.
    void LoadExampleCurve() {
        std::ifstream in(std::string(QUELMORA_SOURCE_DIR) + "/examples/curve.txt");
        std::string line;
        std::getline(in, line);
        series->RemoveAllPoints();
        while (std::getline(in, line)) {
            std::istringstream fields(line);
            double z, v;
            char comma;
            if (fields >> z >> comma >> v) series->AddPoint(v, z);
        }
    }

    TChart chart;
    std::unique_ptr<ImageHost> host;
    TChartSeries* series = nullptr;
};
