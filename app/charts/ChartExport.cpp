#include "ChartExport.h"

#include "Chart.h"
#include "Exceptions.h"
#include "HydrographChart.h"
#include "LineFile.h"
#include "Series.h"

#include <QBuffer>
#include <QByteArray>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

namespace {

// The application object wants argc and argv that outlive it.
int gArgc = 3;
char gArg0[] = "quelmora";
char gArg1[] = "-platform";
char gArg2[] = "offscreen";
char* gArgv[] = {gArg0, gArg1, gArg2, nullptr};

// Qt's remarks about its own set-up (no runtime folder, say) are no business
// of a script reading the batch mode's standard error; real trouble still shows.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

}  // namespace

TChartPicture::TChartPicture() {
    // Fonts need a GUI application; the off-screen platform needs no display.
    if (!QGuiApplication::instance()) {
        qInstallMessageHandler(QuietMessages);
        // The application takes the arguments it knows out of argv: a second
        // picture, after the first one's application has gone, needs them
        // back, or it finds no platform and aborts.
        gArgc = 3;
        gArgv[0] = gArg0;
        gArgv[1] = gArg1;
        gArgv[2] = gArg2;
        gArgv[3] = nullptr;
        FApp = std::make_unique<QGuiApplication>(gArgc, gArgv);
    }
    FChart = std::make_unique<TChart>();
    FChart->Canvas().SetPixelsPerInch(120);
}

TChartPicture::~TChartPicture() {
    FChart.reset();  // frees the series, then the canvas, while fonts still exist
}

TChartExport::TChartExport() {
    Chart().LoadLayout(CurveChartLayout());
    FSeries = new TLineSeries;
    FSeries->SetParentChart(&Chart());
    FPlot = std::make_unique<TSeriesCurvePlot>(*FSeries);
}

TChartExport::~TChartExport() = default;

THydrographExport::THydrographExport() : FHydrograph(std::make_unique<THydrographChart>(Chart())) {}

THydrographExport::~THydrographExport() = default;

void THydrographExport::Show(std::span<const TFloodStep> steps, std::size_t computed,
                             std::span<const double> corrected, const THydrographChecks& checks) {
    FHydrograph->Show(steps, computed, corrected, checks);
}

std::string TChartPicture::PngBytes() {
    FChart->Refresh();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!FChart->Canvas().Bitmap().save(&buffer, "PNG")) throw Exception("The chart could not be encoded as PNG");
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

void TChartPicture::SavePng(const std::string& fileName) {
    const std::string png = PngBytes();
    LineFile file;
    file.OpenWriteAtomic(fileName, 1 << 16);
    file.Write(png);
    file.Close();
}
