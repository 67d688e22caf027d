#include "AboutUnit2.h"

#include "FormLayout.h"
#include "ImageBox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

#include <cmath>

TAboutForm* AboutForm = nullptr;

namespace {
// The stored place; the size comes from the screen.
constexpr QPoint kStoredPosition(287, 187);
}  // namespace

std::function<QSize()> TAboutForm::ScreenSize = [] {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return QSize(1440, 900);
    // Qt reports logical pixels; the rule counts the screen's own.
    const QSizeF device = QSizeF(screen->geometry().size()) * screen->devicePixelRatio();
    return QSize(static_cast<int>(std::lround(device.width())),
                 static_cast<int>(std::lround(device.height())));
};

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    InstallFontSubstitutes();
    setupUi(this);
    ApplyStoredFonts(this);
    ScaleLayout(this, PrimaryScreenScale());
    // Labels take the size of their text, as the toolkit's labels do unless
    // told otherwise; the substitute fonts are not as narrow as the originals.
    for (QLabel* label : findChildren<QLabel*>()) label->adjustSize();
    move(ToLogical(kStoredPosition, FittedScreen(this).DevicePixelRatio));
    AboutForm = this;
    FormCreate();
}

TAboutForm::~TAboutForm() {
    if (AboutForm == this) AboutForm = nullptr;
}

QSize TAboutForm::SizeForScreen(QSize screen) {
    // Extended precision as all of the program's arithmetic; trunc toward 0.
    const long double w = static_cast<long double>(screen.width()) / 1440 * 635;
    const long double h = static_cast<long double>(screen.height()) / 900 * 374;
    return {static_cast<int>(w), static_cast<int>(h)};
}

void TAboutForm::FormCreate() {
    outer_ = SizeForScreen(ScreenSize());
    SetOuterSize(this, outer_, FittedScreen(this).DevicePixelRatio);
}

void TAboutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FitOuterSizeOnce(this, outer_, FittedScreen(this).DevicePixelRatio, outerSizeFitted_);
}

void TAboutForm::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    FitOuterSizeOnce(this, outer_, FittedScreen(this).DevicePixelRatio, outerSizeFitted_);
}
