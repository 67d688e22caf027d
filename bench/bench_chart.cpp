// Times the chart's repaint: the whole paint pipeline into the off-screen
// bitmap of the window's 505 x 313 chart, with a level-storage curve of many
// points; then the same after a mouse zoom to the middle tenth of the storage
// range; then one move of the zoom band during a drag.
//
// Usage: bench_chart CURVE.txt [RUNS] [OUT.png]
//   CURVE.txt  heading line, then "level,storage" lines
//   RUNS       repaints timed for each view (default 200)
//   OUT.png    where to save the full view as drawn (optional)

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
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
    while (p < end) {
        char* q;
        const double z = std::strtod(p, &q);
        if (q != p && *q == ',') {
            const char* r = q + 1;
            const double v = std::strtod(r, &q);
            if (q != r) level.push_back(z), storage.push_back(v);
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
    for (int i = 0; i < 5; ++i) chart.Refresh();  // warm caches, fonts and the bitmap
    std::vector<double> ms;
    ms.reserve(static_cast<std::size_t>(runs));
    for (int i = 0; i < runs; ++i) {
        const auto t0 = Clock::now();
        chart.Refresh();
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
    }
    return Median(ms);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: bench_chart CURVE.txt [RUNS] [OUT.png]\n");
        return 2;
    }
    const int runs = argc >= 3 ? std::max(1, std::atoi(argv[2])) : 200;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);

    std::vector<double> level, storage;
    if (!ReadCurve(argv[1], level, storage)) {
        std::fprintf(stderr, "bench_chart: cannot read %s\n", argv[1]);
        return 1;
    }

    TChart chart;
    chart.Canvas().SetPixelsPerInch(120);  // the layout's own resolution: 505 x 313
    chart.LoadLayout(Chart1StoredLayout());
    auto* series = new TLineSeries;  // the chart frees it
    series->SetParentChart(&chart);
    series->BeginDataUpdate();
    for (std::size_t i = 0; i < level.size(); ++i) series->AddPoint(storage[i], level[i]);
    series->EndDataUpdate();

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
