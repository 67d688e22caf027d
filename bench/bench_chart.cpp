// Times the chart's repaint: the whole paint pipeline into the off-screen
// bitmap of the window's 505 x 313 chart, with a level-storage curve of many
// points; then the same after a mouse zoom to the middle tenth of the storage
// range; then one move of the zoom band during a drag.
//
// Usage: bench_chart CURVE.txt [RUNS] [OUT.png]
//        bench_chart --deep-zoom EXAMPLE_CURVE.txt [RUNS]
//        bench_chart --pictures EXAMPLE_CURVE.txt DIR
//   CURVE.txt  heading line, then "level,storage" lines
//   RUNS       repaints timed for each view (default 200)
//   OUT.png    where to save the full view as drawn (optional)
//
// --deep-zoom times views zoomed far in, where the points map millions of
// pixels outside the chart: the example curve after repeated mouse zooms
// into its middle, and a 200-point zig-zag curve whose level axis is set to
// ranges of 1e-3 m and 1e-10 m around the middle of its swing.
//
// --pictures writes PNGs of many views into DIR (the example curve whole,
// zoomed, scrolled, deeply zoomed, with markers and a dotted line; the
// zig-zag; a 100,000-point curve whole, zoomed and inverted), so that two
// builds can be compared picture by picture (tests/chart/same_pictures.sh).

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Chart.h"
#include "RepaintTiming.h"
#include "CurveChart.h"
#include "Series.h"

namespace {

using bench::Clock;
using bench::Median;
using bench::TimeRepaints;

// The curve file's first two fields of each line after the heading.
bool ReadCurve(const char* path, std::vector<double>& level, std::vector<double>& storage) {
    std::FILE* f = std::fopen(path, "rb");
    if (!f) return false;
    std::string text;
    char buf[1 << 16];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;) text.append(buf, n);
    std::fclose(f);
    const char* p = text.c_str();
    const char* end = p + text.size();
    p = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
    if (!p) return true;
    ++p;
    // The numbers are read the same in every locale (the application object
    // sets the C library's numeric locale from the user's).
    while (p < end) {
        double z, v;
        const auto a = std::from_chars(p, end, z);
        if (a.ec == std::errc() && a.ptr < end && *a.ptr == ',') {
            const auto b = std::from_chars(a.ptr + 1, end, v);
            if (b.ec == std::errc()) level.push_back(z), storage.push_back(v);
        }
        const char* nl = static_cast<const char*>(std::memchr(p, '\n', static_cast<std::size_t>(end - p)));
        p = nl ? nl + 1 : end;
    }
    return true;
}



// The window's chart with a curve as its line.
struct BenchChart {
    BenchChart(const std::vector<double>& level, const std::vector<double>& storage) {
        chart.Canvas().SetPixelsPerInch(120);  // the layout's own resolution: 505 x 313
        chart.LoadLayout(CurveChartLayout());
        series = new TLineSeries;  // the chart frees it
        series->SetParentChart(&chart);
        series->BeginDataUpdate();
        for (std::size_t i = 0; i < level.size(); ++i) series->AddPoint(storage[i], level[i]);
        series->EndDataUpdate();
    }
    // A mouse drag over the middle part of the chart rectangle, both ways.
    void ZoomToMiddle(int percent) {
        chart.Refresh();
        const TRect r = chart.PlotRect();
        ZoomAround((r.Left + r.Right) / 2, (r.Top + r.Bottom) / 2, percent);
    }
    // The same around a point of the curve, which then stays in view.
    void ZoomToPoint(int index, int percent) {
        chart.Refresh();
        ZoomAround(series->PointXPixel(index), series->PointYPixel(index), percent);
    }
    void ZoomAround(int cx, int cy, int percent) {
        const TRect r = chart.PlotRect();
        const int dx = r.Width() * percent / 200, dy = r.Height() * percent / 200;
        chart.MouseDown(mbLeft, 0, cx - dx, cy - dy);
        chart.MouseMove(0, cx + dx, cy + dy);
        chart.MouseUp(mbLeft, 0, cx + dx, cy + dy);
    }
    TChart chart;
    TLineSeries* series;
};

int DeepZoom(const char* example, int runs) {
    std::vector<double> level, storage;
    if (!ReadCurve(example, level, storage) || level.size() < 2) {
        std::fprintf(stderr, "bench_chart: cannot read %s\n", example);
        return 1;
    }
    BenchChart curve(level, storage);
    std::printf("example curve, %zu points: unzoomed %.3f ms", level.size(), TimeRepaints(curve.chart, runs));
    for (int zooms = 1; zooms <= 8; ++zooms) {
        curve.ZoomToMiddle(10);
        if (zooms % 2 == 0) std::printf(", %d zooms %.3f ms", zooms, TimeRepaints(curve.chart, runs));
    }
    std::printf(" (level range %.3g m)\n", curve.chart.LeftAxis().Maximum() - curve.chart.LeftAxis().Minimum());

    // A zig-zag between 500 m and 510 m, one point per 0.01 of storage.
    std::vector<double> zigLevel, zigStorage;
    for (int i = 0; i < 200; ++i) {
        zigLevel.push_back(i % 2 ? 510.0 : 500.0);
        zigStorage.push_back(1 + 0.01 * i);
    }
    BenchChart zig(zigLevel, zigStorage);
    std::printf("zig-zag curve, 200 points: unzoomed %.3f ms", TimeRepaints(zig.chart, runs));
    for (double range : {1e-3, 1e-10}) {
        zig.chart.LeftAxis().SetRange(505 - range / 2, 505 + range / 2);
        std::printf(", level range %g m %.3f ms", range, TimeRepaints(zig.chart, runs));
    }
    std::printf("\n");
    return 0;
}

// A level-storage curve of n points with a little noise, the same every time.
void LongCurve(int n, std::vector<double>& level, std::vector<double>& storage) {
    unsigned state = 12345;
    for (int i = 0; i < n; ++i) {
        state = state * 1103515245u + 12345u;
        const double t = static_cast<double>(i) / n;
        storage.push_back(1 + 6 * t);
        level.push_back(495 + 35 * std::sqrt(t) + 0.02 * static_cast<double>(state >> 16 & 1023) / 1024);
    }
}

int Pictures(const char* example, const char* dir) {
    std::vector<double> level, storage;
    if (!ReadCurve(example, level, storage) || level.size() < 2) {
        std::fprintf(stderr, "bench_chart: cannot read %s\n", example);
        return 1;
    }
    bool ok = true;
    auto save = [&](TChart& chart, const char* name) {
        chart.Refresh();
        ok = chart.Canvas().Bitmap().save(QString::fromLocal8Bit(dir) + "/" + name + ".png") && ok;
    };
    {
        BenchChart c(level, storage);
        const int middle = static_cast<int>(level.size() / 2);
        save(c.chart, "example");
        c.ZoomToPoint(middle, 30);
        save(c.chart, "example-zoom1");
        for (int i = 0; i < 3; ++i) c.ZoomToPoint(middle, 30);
        save(c.chart, "example-zoom4");
        // Scroll with the right button: a quarter of the chart to the left and up.
        const TRect r = c.chart.PlotRect();
        c.chart.MouseDown(mbRight, 0, r.Left + r.Width() / 2, r.Top + r.Height() / 2);
        c.chart.MouseMove(0, r.Left + r.Width() / 4, r.Top + r.Height() / 4);
        c.chart.MouseUp(mbRight, 0, r.Left + r.Width() / 4, r.Top + r.Height() / 4);
        save(c.chart, "example-scrolled");
        for (int i = 0; i < 6; ++i) c.ZoomToPoint(middle, 10);
        save(c.chart, "example-deep");
    }
    {
        BenchChart c(level, storage);
        c.series->Pointer().SetVisible(true);
        c.series->LinePen().SetStyle(psDot);
        save(c.chart, "example-markers-dotted");
        c.chart.BottomAxis().SetInverted(true);
        c.chart.LeftAxis().SetInverted(true);
        c.ZoomToPoint(static_cast<int>(level.size() / 3), 40);
        save(c.chart, "example-inverted-zoom");
    }
    {
        std::vector<double> zigLevel, zigStorage;
        for (int i = 0; i < 200; ++i) {
            zigLevel.push_back(i % 2 ? 510.0 : 500.0);
            zigStorage.push_back(1 + 0.01 * i);
        }
        BenchChart c(zigLevel, zigStorage);
        save(c.chart, "zigzag");
        c.chart.LeftAxis().SetRange(505 - 5e-4, 505 + 5e-4);
        save(c.chart, "zigzag-1e-3");
        c.chart.LeftAxis().SetRange(505 - 5e-11, 505 + 5e-11);
        save(c.chart, "zigzag-1e-10");
    }
    {
        std::vector<double> longLevel, longStorage;
        LongCurve(100000, longLevel, longStorage);
        BenchChart c(longLevel, longStorage);
        save(c.chart, "long");
        c.ZoomToPoint(50000, 10);
        save(c.chart, "long-zoom");
        c.ZoomToPoint(50000, 10);
        save(c.chart, "long-zoom2");
        c.chart.BottomAxis().SetInverted(true);
        save(c.chart, "long-zoom2-inverted");
    }
    if (!ok) std::fprintf(stderr, "bench_chart: cannot write the pictures into %s\n", dir);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--pictures") == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return Pictures(argv[2], argv[3]);
    }
    const bool deep = argc >= 2 && std::strcmp(argv[1], "--deep-zoom") == 0;
    if (deep ? (argc < 3 || argc > 4) : (argc < 2 || argc > 4)) {
        std::fprintf(stderr, "usage: bench_chart CURVE.txt [RUNS] [OUT.png]\n"
                             "       bench_chart --deep-zoom EXAMPLE_CURVE.txt [RUNS]\n");
        return 2;
    }
    const int runsArg = deep ? 3 : 2;
    const int runs = argc > runsArg ? std::max(1, std::atoi(argv[runsArg])) : 200;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (deep) return DeepZoom(argv[2], runs);

    std::vector<double> level, storage;
    if (!ReadCurve(argv[1], level, storage)) {
        std::fprintf(stderr, "bench_chart: cannot read %s\n", argv[1]);
        return 1;
    }

    BenchChart bench(level, storage);
    TChart& chart = bench.chart;
    TLineSeries* series = bench.series;

    const double full = TimeRepaints(chart, runs);
    if (argc == 4 && !chart.Canvas().Bitmap().save(QString::fromLocal8Bit(argv[3]))) {
        std::fprintf(stderr, "bench_chart: cannot write %s\n", argv[3]);
        return 1;
    }

    // Zoom with the mouse to the middle tenth of the chart rectangle's width.
    const TRect r = chart.PlotRect();
    const int x0 = r.Left + r.Width() * 45 / 100, x1 = r.Left + r.Width() * 55 / 100;
    chart.MouseDown(mbLeft, 0, x0, r.Top);
    chart.MouseMove(0, x1, r.Bottom);
    chart.MouseUp(mbLeft, 0, x1, r.Bottom);
    const double zoomed = TimeRepaints(chart, runs);
    const int shown = series->LastShownIndex - series->FirstShownIndex + 1;

    // The band following the pointer: erase and draw, no render.
    const long renders = chart.RenderCount();
    chart.MouseDown(mbLeft, 0, r.Left + 10, r.Top + 10);
    std::vector<double> us;
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        chart.MouseMove(0, r.Left + 40 + i % 200, r.Top + 40 + i % 150);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
    }
    chart.MouseUp(mbLeft, 0, r.Left + 10, r.Top + 10);
    const long dragRenders = chart.RenderCount() - renders;

    std::printf("chart %dx%d, %zu points\n", chart.Width(), chart.Height(), level.size());
    std::printf("full repaint median %.3f ms over %d repaints\n", full, runs);
    std::printf("zoomed repaint median %.3f ms over %d repaints (%d points shown)\n", zoomed, runs, shown);
    std::printf("zoom band move median %.1f us over %d moves (%ld renders)\n", Median(us), runs, dragRenders);
    return 0;
}
