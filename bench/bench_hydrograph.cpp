// Times a full repaint of the hydrograph chart (Chart2 at its layout size and
// 120 ppi) with a long flood record: whole, and zoomed to a tenth of it.
//
//        bench_hydrograph [RECORDS] [RUNS]
//
// The full repaint is also timed point by point (the drawing the column runs
// must match pixel for pixel), and the two pictures compared.
//
// The record is made here: hourly steps, a smooth flood wave with noise in
// the inflow, so that every pixel column holds many records.

#include "Chart.h"
#include "RepaintTiming.h"
#include "HydrographChart.h"
#include "Series.h"

#include <QGuiApplication>
#include <QImage>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

using bench::TimeRepaints;



}  // namespace

int main(int argc, char** argv) {
    const long records = argc > 1 ? std::max(2L, std::atol(argv[1])) : 1000000L;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
    QGuiApplication app(argc, argv);
    std::vector<TFloodStep> steps(static_cast<std::size_t>(records));
    unsigned seed = 12345;
    for (long i = 0; i < records; ++i) {
        TFloodStep& s = steps[static_cast<std::size_t>(i)];
        const double phase = static_cast<double>(i) / static_cast<double>(records);
        s.T = 45000 + static_cast<double>(i) / 24.0;
        s.Qout = 500 + 1500 * std::sin(phase * 3.14159) * std::sin(phase * 3.14159);
        seed = seed * 1103515245u + 12345u;
        s.Qin = s.Qout + 300 * std::sin(phase * 40) + static_cast<double>(seed % 200) - 100.0;
        s.Z = 150 + 2 * phase;
    }
    TChart chart;
    chart.Canvas().SetPixelsPerInch(120);
    THydrographChart hydro(chart);
    hydro.Show(steps, steps.size());
    const double full = TimeRepaints(chart, runs);
    const QImage byColumn = chart.Canvas().Bitmap().copy();
    // The same repaint point by point, the drawing every column run must
    // match pixel for pixel: the reference for the figure above.
    TCustomSeries::ColumnRuns = false;
    const double pointByPoint = TimeRepaints(chart, std::min(runs, 5));
    const bool same = chart.Canvas().Bitmap() == byColumn;
    TCustomSeries::ColumnRuns = true;
    const double lo = steps[static_cast<std::size_t>(records * 4 / 10)].T, hi = steps[static_cast<std::size_t>(records / 2)].T;
    chart.BottomAxis().SetMinMaxUnchecked(lo, hi);
    chart.BottomAxis().SetAutomatic(false);
    const double zoomed = TimeRepaints(chart, runs);
    std::printf("hydrograph %dx%d, %ld records, 3 series\n", chart.Width(), chart.Height(), records);
    std::printf("hydrograph full repaint median %.3f ms over %d repaints\n", full, runs);
    std::printf("hydrograph point-by-point full repaint median %.3f ms over %d repaints (%.1fx; same pixels: %s)\n",
                pointByPoint, std::min(runs, 5), pointByPoint / full, same ? "yes" : "NO");
    std::printf("hydrograph zoomed repaint median %.3f ms over %d repaints (a tenth shown)\n", zoomed, runs);
    return 0;
}
