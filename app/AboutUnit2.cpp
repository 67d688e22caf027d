#include "AboutUnit2.h"

#include "FormLayout.h"
#include "ImageBox.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>

TAboutForm* AboutForm = nullptr;

namespace {
// The stored place; the size comes from the screen.
constexpr QPoint kStoredPosition(287, 187);
}  // namespace

std::function<QSize()> TAboutForm::ScreenSize = [] {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->geometry().size() : QSize(1440, 900);
};

TAboutForm::TAboutForm(QWidget* parent) : QDialog(parent) {
    InstallFontSubstitutes();
    setupUi(this);
    ApplyStoredFonts(this);
    ScaleLayout(this, ScreenPixelsPerInch());
    // Labels take the size of their text, as the toolkit's labels do unless
    // told otherwise; the substitute fonts are not as narrow as the originals.
    for (QLabel* label : findChildren<QLabel*>()) label->adjustSize();
    move(kStoredPosition);
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
    SetOuterSize(this, outer_);
}

void TAboutForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    FitOuterSizeOnce(this, outer_, outerSizeFitted_);
}

void TAboutForm::moveEvent(QMoveEvent* event) {
    QDialog::moveEvent(event);
    FitOuterSizeOnce(this, outer_, outerSizeFitted_);
}
