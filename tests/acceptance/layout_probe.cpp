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
// BitBtn1..BitBtn4, about1, Tab1..Tab3, StringGrid1, StringGrid2, Chart1,
// Image1; and "Ratio R PPI", the device pixel ratio and the screen's pixels
// per inch in device pixels.

#include "Application.h"
#include "FormLayout.h"
#include "LocaleFormats.h"
#include "Unit1.h"

#include <QMenuBar>
#include <QRect>
#include <QTabBar>
#include <QWidget>

#include <cmath>
#include <cstdio>

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
    const char* tabNames[] = {"Tab1", "Tab2", "Tab3"};
    for (int i = 0; i < tabs->count() && i < 3; ++i)
        Print(tabNames[i], InForm(&form, tabs, tabs->tabRect(i)));
    Print(&form, "StringGrid1", form.StringGrid1);
    Print(&form, "StringGrid2", form.StringGrid2);
    Print(&form, "Chart1", form.Chart1);
    Print(&form, "Image1", form.Image1);
    std::fflush(stdout);
    return 0;
}
