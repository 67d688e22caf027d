#pragma once
// The window's chart with a line series in it, rendered off screen, and a
// reference drawing: the segments a line should consist of, drawn through a
// surface of their own with the same clip. A rendered line is right when its
// pixels are exactly the reference's.

#include <QDir>

#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

#include "ChartTestHost.h"
#include "CurveChart.h"
#include "Series.h"

struct LineChart {
    LineChart() {
        chart.Canvas().SetPixelsPerInch(120);
        chart.LoadLayout(CurveChartLayout());
        host = std::make_unique<ImageHost>(chart);
        series = new TLineSeries; // the chart frees it
        series->SetParentChart(&chart);
    }

    void Add(std::initializer_list<std::pair<double, double>> points) {
        for (const auto& [x, y] : points)
            series->AddPoint(x, y);
    }
    // Runs the whole pipeline and returns the window's picture.
    const QImage& Render() {
        chart.Refresh();
        return host->screen;
    }
    // A point's pixel as the last paint placed it.
    QPoint Pixel(int index) const {
        return {series->PointXPixel(index), series->PointYPixel(index)};
    }
    // The part of the chart the series may paint.
    TRect Inside() const {
        const TRect& p = chart.PlotRect();
        return {p.Left + 1, p.Top + 1, p.Right, p.Bottom};
    }

    TChart chart;
    std::unique_ptr<ImageHost> host;
    TLineSeries* series = nullptr;
};

struct RefSegment {
    QPoint From, To;
    TColor Color = clRed;
};

// The segments drawn with a one-pixel solid pen (or a wider round one) on
// white, clipped to `clip`.
inline QImage ReferenceDrawing(QSize size, const TRect& clip, const std::vector<RefSegment>& segments,
                               int penWidth = 1) {
    TChartCanvas canvas;
    canvas.StartBuffer(nullptr, {0, 0, size.width(), size.height()});
    canvas.SelectBrush(clWhite, bsSolid);
    canvas.FillRectangle({0, 0, size.width(), size.height()});
    canvas.ClipToRectangle(clip);
    TChartPen pen;
    pen.SetWidth(penWidth);
    for (const RefSegment& s : segments) {
        canvas.SelectChartPen(pen, s.Color);
        canvas.MoveTo(s.From.x(), s.From.y());
        canvas.LineTo(s.To.x(), s.To.y());
    }
    canvas.CopyBufferTo(nullptr, {0, 0, size.width(), size.height()});
    return canvas.Bitmap().copy();
}

// Compares, pixel by pixel over the whole picture, where each colour was painted.
inline ::testing::AssertionResult SameInk(const QImage& actual, const QImage& expected,
                                          std::initializer_list<TColor> colors) {
    if (actual.size() != expected.size()) return ::testing::AssertionFailure() << "sizes differ";
    int mismatches = 0;
    std::string first;
    for (int y = 0; y < actual.height(); ++y)
        for (int x = 0; x < actual.width(); ++x)
            for (TColor c : colors) {
                const bool a = PixelColor(actual, x, y) == c, e = PixelColor(expected, x, y) == c;
                if (a != e) {
                    if (mismatches++ == 0)
                        first = "(" + std::to_string(x) + ", " + std::to_string(y) + ") " +
                                (a ? "painted" : "missing");
                }
            }
    if (mismatches == 0) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << mismatches << " pixels differ, first at " << first;
}

inline int CountInk(const QImage& img, TColor color) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            n += PixelColor(img, x, y) == color;
    return n;
}

inline int CountInkInColumn(const QImage& img, int x, TColor color) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        n += PixelColor(img, x, y) == color;
    return n;
}

inline QString RenderPath(const char* name) {
    const QString dir = QString(QUELMORA_BINARY_DIR) + "/chart_renders";
    QDir().mkpath(dir);
    return dir + "/" + name;
}
