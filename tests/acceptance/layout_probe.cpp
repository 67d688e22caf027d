// Prints where the main window's controls lie, so that the real-window test
// can click them. The layout is fitted to the screen's resolution and to the
// installed fonts when the window is created, so the places are only known
// inside the X server the test runs in, with its environment: this program
// builds the same window there, lays it out without mapping it, and prints
//
//     NAME LEFT TOP WIDTH HEIGHT
//
// per control, in device pixels (the X server's, which xdotool and import
// count) relative to the window's client area. Names: Form, Central (the
// client area below the menu, where the layout's coordinates start),
// BitBtn1..BitBtn4, about1, Tab1..Tab4 (the curve, the calculation table, the
// hydrograph, the help), StringGrid1, StringGrid2, Chart1,
// Image1; and "Ratio R PPI", the device pixel ratio and the screen's pixels
// per inch in device pixels.
//
// With QUELMORA_PROBE_CURVE and QUELMORA_PROBE_FLOOD set, the probe then reads
// those files as the window does, computes, and prints
//
//     Times READ RECOMPUTE         milliseconds to read the record and to
//                                  compute it again when the method changes
//     Fit CELLS                    every text of the tables fits its column
//                                  by the font's own measure (or "FitFail"
//                                  lines naming the first that does not)
//     Level1 LEFT TOP WIDTH HEIGHT INK
//                                  the level cell of the first record on the
//                                  calculation page, and how wide its text's
//                                  ink is drawn whole in that font
//     Result LEFT TOP WIDTH HEIGHT the heading of the result column once the
//                                  window's client area is QUELMORA_PROBE_SIZE
//                                  (WIDTHxHEIGHT device pixels), wholly in
//                                  view (or "ResultHidden")
// and, with QUELMORA_PROBE_RESULT_PNG, saves that heading's pixels there.

#include "Application.h"
#include "FormLayout.h"
#include "LocaleFormats.h"
#include "Unit1.h"

#include "GridView.h"
#include "HydrographPage.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QImage>
#include <QMenuBar>
#include <QPainter>
#include <QRect>
#include <QScrollArea>
#include <QTabBar>
#include <QTableWidget>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace {

double ratio = 1.0;

int Device(int logical) { return static_cast<int>(std::lround(logical * ratio)); }

// A rectangle in logical pixels as device pixels, by its edges.
void Print(const char* name, const QRect& r) {
    const int left = Device(r.x()), top = Device(r.y());
    std::printf("%s %d %d %d %d\n", name, left, top, Device(r.x() + r.width()) - left,
                Device(r.y() + r.height()) - top);
}

// A child's rectangle in the coordinates of the window's client area.
QRect InForm(const QWidget* form, const QWidget* child, const QRect& local) {
    return QRect(child->mapTo(form, local.topLeft()), local.size());
}

void Print(const QWidget* form, const char* name, const QWidget* child) {
    Print(name, InForm(form, child, child->rect()));
}

// Every text of a table against its column, as the fitting promises.
int CheckFits(TStringGridView& view, const char* name) {
    const QAbstractItemModel& m = *view.model();
    const QFontMetricsF cells(view.font()), headings(view.horizontalHeader()->font());
    const TGridMargins margins = view.Margins();
    int checked = 0;
    for (int c = 0; c < m.columnCount(); ++c) {
        const bool fixed = c == 0 && view.isColumnHidden(0);
        const int width = fixed ? view.verticalHeader()->width() : view.columnWidth(c);
        const QString heading = m.headerData(c, Qt::Horizontal).toString();
        if (headings.horizontalAdvance(heading) + margins.heading > width)
            std::printf("FitFail %s heading %d\n", name, c);
        for (int r = 0; r < m.rowCount(); ++r, ++checked) {
            const QString text = fixed ? m.headerData(r, Qt::Vertical).toString() : m.index(r, c).data().toString();
            if (cells.horizontalAdvance(text) + margins.cell + 1 > width) {
                std::printf("FitFail %s row %d column %d '%s'\n", name, r + 1, c, text.toUtf8().constData());
                return checked;
            }
        }
    }
    return checked;
}

// How wide a text's ink is when drawn whole in a font (device pixels).
int InkWidth(const QString& text, const QFont& font, double r) {
    QImage image(static_cast<int>(std::ceil((QFontMetrics(font).horizontalAdvance(text) + 20) * r)),
                 static_cast<int>(std::ceil((QFontMetrics(font).height() + 4) * r)), QImage::Format_RGB32);
    image.setDevicePixelRatio(r);
    image.fill(Qt::white);
    {
        QPainter p(&image);
        p.setFont(font);
        p.setPen(Qt::black);
        p.drawText(QPointF(5, QFontMetrics(font).ascent() + 2), text);
    }
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) left = std::min(left, x), right = std::max(right, x);
    return right < left ? 0 : right - left + 1;
}

}  // namespace

int main(int argc, char** argv) {
    LoadLocaleFormats();
    TApplication app(argc, argv);
    TForm1 form;
    form.setAttribute(Qt::WA_DontShowOnScreen);
    form.show();
    app.processEvents();
    ratio = form.devicePixelRatioF();

    std::printf("Ratio %g %d\n", ratio, ScreenPixelsPerInch());
    Print("Form", QRect(QPoint(0, 0), form.size()));
    Print(&form, "Central", form.centralWidget());
    Print(&form, "BitBtn1", form.BitBtn1);
    Print(&form, "BitBtn2", form.BitBtn2);
    Print(&form, "BitBtn3", form.BitBtn3);
    Print(&form, "BitBtn4", form.BitBtn4);
    Print("about1", InForm(&form, form.MainMenu1, form.MainMenu1->actionGeometry(form.about1)));
    const QTabBar* tabs = form.PageControl1->tabBar();
    const char* tabNames[] = {"Tab1", "Tab2", "Tab3", "Tab4"};
    for (int i = 0; i < tabs->count() && i < 4; ++i)
        Print(tabNames[i], InForm(&form, tabs, tabs->tabRect(i)));
    Print(&form, "StringGrid1", form.StringGrid1);
    Print(&form, "StringGrid2", form.StringGrid2);
    Print(&form, "Chart1", form.Chart1);
    Print(&form, "Image1", form.Image1);

    const char* curve = std::getenv("QUELMORA_PROBE_CURVE");
    const char* flood = std::getenv("QUELMORA_PROBE_FLOOD");
    if (curve && flood) {
        // How long the window takes: reading the record (the tables fitted
        // to it), and computing it again from the method group (a result on
        // show), each with its refresh of the views.
        form.OpenFiles(curve, "", false);
        QElapsedTimer timer;
        timer.start();
        form.OpenFiles("", flood, false);
        const qint64 readMs = timer.elapsed();
        form.BitBtn3->click();
        timer.restart();
        form.TabSheet4->SmoothBox->setValue(3);
        const qint64 recomputeMs = timer.elapsed();
        form.TabSheet4->SmoothBox->setValue(1);
        std::printf("Times %lld %lld\n", static_cast<long long>(readMs), static_cast<long long>(recomputeMs));
        form.PageControl1->setCurrentWidget(form.TabSheet2);
        app.processEvents();
        const int cells = CheckFits(*form.StringGrid1, "StringGrid1") + CheckFits(*form.StringGrid2, "StringGrid2");
        std::printf("Fit %d\n", cells);
        TStringGridView& grid = *form.StringGrid1;
        const QModelIndex level = grid.model()->index(1, 1);
        const QRect cell = grid.visualRect(level);
        const QRect inForm(grid.viewport()->mapTo(&form, cell.topLeft()), cell.size());
        const int left = Device(inForm.x()), top = Device(inForm.y());
        std::printf("Level1 %d %d %d %d %d\n", left, top, Device(inForm.x() + inForm.width()) - left,
                    Device(inForm.y() + inForm.height()) - top,
                    InkWidth(level.data().toString(), grid.font(), ratio));
        int w = 0, h = 0;
        if (const char* size = std::getenv("QUELMORA_PROBE_SIZE"); size && std::sscanf(size, "%dx%d", &w, &h) == 2) {
            form.resize(static_cast<int>(std::lround(w / ratio)), static_cast<int>(std::lround(h / ratio)));
            app.processEvents();
            QHeaderView* header = grid.horizontalHeader();
            const int c = grid.model()->columnCount() - 1;
            const QRect section(header->sectionViewportPosition(c), 0, header->sectionSize(c), header->height());
            if (section.left() < 0 || section.right() >= header->viewport()->width()) {
                std::printf("ResultHidden\n");
            } else {
                const QRect inWindow = InForm(&form, header->viewport(), section);
                Print("Result", inWindow);
                if (const char* png = std::getenv("QUELMORA_PROBE_RESULT_PNG")) {
                    // The whole window's device pixels, cut as the test cuts
                    // the screen's: by the same device rectangle.
                    QImage window = form.grab().toImage();
                    const int left = Device(inWindow.x()), top = Device(inWindow.y());
                    window.copy(left, top, Device(inWindow.x() + inWindow.width()) - left,
                                Device(inWindow.y() + inWindow.height()) - top)
                        .save(QString::fromLocal8Bit(png));
                }
            }
        }
    }
    std::fflush(stdout);
    return 0;
}
