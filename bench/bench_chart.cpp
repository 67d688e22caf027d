// Times the chart's repaint: the whole paint pipeline into the off-screen
// bitmap of the window's 505 x 313 chart, with a level-storage curve of many
// points; then the same after a mouse zoom to the middle tenth of the storage
// range; then one move of the zoom band during a drag.
//
// Usage: bench_chart CURVE.txt [RUNS] [OUT.png]
//        bench_chart --deep-zoom EXAMPLE_CURVE.txt [RUNS]
//   CURVE.txt  heading line, then "level,storage" lines
//   RUNS       repaints timed for each view (default 200)
//   OUT.png    where to save the full view as drawn (optional)
//
// --deep-zoom times views zoomed far in, where the points map millions of
// pixels outside the chart: the example curve after repeated mouse zooms
// into its middle, and a 200-point zig-zag curve whose level axis is set to
// ranges of 1e-3 m and 1e-10 m around the middle of its swing.

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "Chart.h"
#include "Series.h"

namespace {

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

using Clock = std::chrono::steady_clock;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Median milliseconds of one full repaint.
double TimeRepaints(TChart& chart, int runs) {
    for (int i = 0; i < std::min(runs, 5); ++i) chart.Refresh();  // warm caches, fonts and the bitmap
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        chart.Refresh();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return Median(ms);
}

// The window's chart with a curve as its line.
struct BenchChart {
    BenchChart(const std::vector<double>& level, const std::vector<double>& storage) {
        chart.Canvas().SetPixelsPerInch(120);  // the layout's own resolution: 505 x 313
        chart.LoadLayout(Chart1StoredLayout());
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
        const int dx = r.Width() * percent / 200, dy = r.Height() * percent / 200;
        const int cx = (r.Left + r.Right) / 2, cy = (r.Top + r.Bottom) / 2;
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

}  // namespace

int main(int argc, char** argv) {
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
