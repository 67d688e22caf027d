#include "FormLayout.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QStackedWidget>
#include <QVariant>
#include <QWidget>

#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kDesignPpi = 120;
constexpr int kDesignTextHeight = 16;
constexpr const char* kFontHeightProperty = "fontHeight";
constexpr const char* kMeasuredProperty = "quelmoraMeasuredTextHeight";

// A component is a widget the layout places itself: named in the layout, and
// not one whose place its parent decides (a main window's central widget and
// menu bar, the pages of a tab control). Qt's own inner widgets are named
// "qt_..." or not at all.
bool IsComponent(const QWidget* w, const QWidget* form) {
    if (w == form) return false;
    const QString name = w->objectName();
    if (name.isEmpty() || name.startsWith(QLatin1String("qt_"))) return false;
    if (qobject_cast<const QMenuBar*>(w)) return false;
    if (auto* main = qobject_cast<const QMainWindow*>(form); main && main->centralWidget() == w)
        return false;
    if (qobject_cast<const QStackedWidget*>(w->parentWidget())) return false;
    return true;
}

void SetPixelHeight(QWidget* w, int pixels) {
    QFont f = w->font();
    f.setPixelSize(pixels > 0 ? pixels : 1);
    w->setFont(f);
}

}  // namespace

void InstallFontSubstitutes() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    const QStringList latinFirst{QStringLiteral("Liberation Sans"),
                                 QStringLiteral("WenQuanYi Micro Hei")};
    const QStringList chineseFirst{QStringLiteral("WenQuanYi Micro Hei"),
                                   QStringLiteral("Liberation Sans")};
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), latinFirst);
    for (const char* chinese : {"华文中宋", "宋体", "新宋体"})
        QFont::insertSubstitutions(QString::fromUtf8(chinese), chineseFirst);
}

void ApplyStoredFonts(QWidget* root) {
    auto apply = [](QWidget* w) {
        const QVariant h = w->property(kFontHeightProperty);
        if (h.isValid()) SetPixelHeight(w, std::abs(h.toInt()));
    };
    apply(root);
    for (QWidget* w : root->findChildren<QWidget*>()) apply(w);
}

int ScreenPixelsPerInch() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? static_cast<int>(std::lround(screen->logicalDotsPerInchY())) : kDesignPpi;
}

void ScaleLayout(QWidget* form, int screenPpi) {
    if (screenPpi != kDesignPpi) {
        const int pixels = form->font().pixelSize();
        if (pixels > 0) SetPixelHeight(form, MulDiv(pixels, screenPpi, kDesignPpi));
    }
    const int measured = QFontMetrics(form->font()).height();
    form->setProperty(kMeasuredProperty, measured);
    if (measured == kDesignTextHeight) return;

    // Collect first: changing geometry and fonts must not disturb the walk.
    QList<QWidget*> components;
    for (QWidget* w : form->findChildren<QWidget*>())
        if (IsComponent(w, form)) components.append(w);
    for (QWidget* w : components) {
        const QRect g = w->geometry();
        w->setGeometry(MulDiv(g.x(), measured, kDesignTextHeight),
                       MulDiv(g.y(), measured, kDesignTextHeight),
                       MulDiv(g.width(), measured, kDesignTextHeight),
                       MulDiv(g.height(), measured, kDesignTextHeight));
        if (w->testAttribute(Qt::WA_SetFont) && w->font().pixelSize() > 0)
            SetPixelHeight(w, MulDiv(w->font().pixelSize(), measured, kDesignTextHeight));
    }
}

int MeasuredTextHeight(const QWidget* form) {
    const QVariant m = form->property(kMeasuredProperty);
    return m.isValid() ? m.toInt() : kDesignTextHeight;
}

void SetOuterSize(QWidget* window, QSize outer) {
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->resize(outer - frame);
}

void FitOuterSizeOnce(QWidget* window, QSize outer, bool& done) {
    if (done || window->frameGeometry().size() == window->geometry().size()) return;
    done = true;
    SetOuterSize(window, outer);
}
