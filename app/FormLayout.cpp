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

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

constexpr int kDesignPpi = 120;
constexpr int kDesignTextHeight = 16;
constexpr const char* kFontHeightProperty = "fontHeight";
constexpr const char* kMeasuredProperty = "quelmoraMeasuredTextHeight";
constexpr const char* kPpiProperty = "quelmoraScreenPpi";
constexpr const char* kRatioProperty = "quelmoraScreenRatio";
constexpr const char* kDpiProperty = "quelmoraScreenLogicalDpi";

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

// The layout's font height of w in pixels, 0 when the layout gives w none.
int StoredFontHeight(const QWidget* w) {
    const QVariant h = w->property(kFontHeightProperty);
    return h.isValid() ? std::abs(h.toInt()) : 0;
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
        const int h = StoredFontHeight(w);
        if (h > 0) SetPixelHeight(w, h);
    };
    apply(root);
    for (QWidget* w : root->findChildren<QWidget*>()) apply(w);
}

namespace {
bool gOverridden = false;
TScreenScale gOverride;
}  // namespace

void OverrideScreenScale(const TScreenScale* scale) {
    gOverridden = scale != nullptr;
    if (scale) gOverride = *scale;
}

TScreenScale PrimaryScreenScale() {
    if (gOverridden) return gOverride;
    TScreenScale scale;
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return scale;
    // Qt turns points into pixels with the whole number a widget reports.
    scale.LogicalDpi = std::round(screen->logicalDotsPerInchY());
    scale.DevicePixelRatio = screen->devicePixelRatio();
    if (scale.LogicalDpi <= 0 || scale.DevicePixelRatio <= 0) return TScreenScale{};
    scale.PixelsPerInch = static_cast<int>(std::lround(scale.LogicalDpi * scale.DevicePixelRatio));
    return scale;
}

int ScreenPixelsPerInch() { return PrimaryScreenScale().PixelsPerInch; }

QPoint ToLogical(QPoint device, double ratio) {
    return {static_cast<int>(std::lround(device.x() / ratio)),
            static_cast<int>(std::lround(device.y() / ratio))};
}

QSize ToLogical(QSize device, double ratio) {
    return {static_cast<int>(std::lround(device.width() / ratio)),
            static_cast<int>(std::lround(device.height() / ratio))};
}

QRect ToLogical(const QRect& device, double ratio) {
    const QPoint topLeft = ToLogical(device.topLeft(), ratio);
    const QPoint bottomRight =
        ToLogical(QPoint(device.x() + device.width(), device.y() + device.height()), ratio);
    return {topLeft, QSize(bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y())};
}

void SetDeviceFontHeight(QWidget* w, int pixels, const TScreenScale& screen) {
    QFont f = w->font();
    pixels = std::max(pixels, 1);
    if (screen.DevicePixelRatio == 1.0)
        f.setPixelSize(pixels);
    else
        f.setPointSizeF(pixels * 72.0 / (screen.LogicalDpi * screen.DevicePixelRatio));
    w->setFont(f);
}

int DeviceFontHeight(const QFont& font, const TScreenScale& screen) {
    if (font.pixelSize() > 0)
        return static_cast<int>(std::lround(font.pixelSize() * screen.DevicePixelRatio));
    return static_cast<int>(
        std::lround(font.pointSizeF() * screen.LogicalDpi * screen.DevicePixelRatio / 72.0));
}

int MeasureTextHeight(const QFont& font, int pixels, int designPixels) {
    if (pixels == designPixels || pixels <= 0 || designPixels <= 0) return kDesignTextHeight;
    QFont f = font;
    f.setPixelSize(pixels);
    const qreal height = QFontMetricsF(f).height();
    f.setPixelSize(designPixels);
    const qreal designHeight = QFontMetricsF(f).height();
    if (designHeight <= 0) return kDesignTextHeight;
    return static_cast<int>(std::lround(height * kDesignTextHeight / designHeight));
}

void ScaleLayout(QWidget* form, const TScreenScale& screen) {
    const double ratio = screen.DevicePixelRatio;
    const int design = StoredFontHeight(form) > 0 ? StoredFontHeight(form) : form->font().pixelSize();
    int measured = kDesignTextHeight;
    if (design > 0) {
        const int pixels = screen.PixelsPerInch == kDesignPpi
                               ? design
                               : MulDiv(design, screen.PixelsPerInch, kDesignPpi);
        SetDeviceFontHeight(form, pixels, screen);
        measured = MeasureTextHeight(form->font(), pixels, design);
    }
    form->setProperty(kMeasuredProperty, measured);
    form->setProperty(kPpiProperty, screen.PixelsPerInch);
    form->setProperty(kRatioProperty, screen.DevicePixelRatio);
    form->setProperty(kDpiProperty, screen.LogicalDpi);
    if (measured == kDesignTextHeight && ratio == 1.0) return;

    // Collect first: changing geometry and fonts must not disturb the walk.
    QList<QWidget*> components;
    for (QWidget* w : form->findChildren<QWidget*>())
        if (IsComponent(w, form)) components.append(w);
    for (QWidget* w : components) {
        const QRect g = w->geometry();
        const QRect device(MulDiv(g.x(), measured, kDesignTextHeight),
                           MulDiv(g.y(), measured, kDesignTextHeight),
                           MulDiv(g.width(), measured, kDesignTextHeight),
                           MulDiv(g.height(), measured, kDesignTextHeight));
        w->setGeometry(ToLogical(device, ratio));
        // Only the layout's own fonts: the others follow the form's.
        if (const int h = StoredFontHeight(w); h > 0)
            SetDeviceFontHeight(w, MulDiv(h, measured, kDesignTextHeight), screen);
    }
}

int MeasuredTextHeight(const QWidget* form) {
    const QVariant m = form->property(kMeasuredProperty);
    return m.isValid() ? m.toInt() : kDesignTextHeight;
}

TScreenScale FittedScreen(const QWidget* form) {
    TScreenScale screen;
    const QVariant ppi = form->property(kPpiProperty);
    if (!ppi.isValid()) return screen;
    screen.PixelsPerInch = ppi.toInt();
    screen.DevicePixelRatio = form->property(kRatioProperty).toDouble();
    screen.LogicalDpi = form->property(kDpiProperty).toDouble();
    return screen;
}

QSize ScaledOuterSize(const QWidget* form, QSize stored) {
    const int measured = MeasuredTextHeight(form);
    return {MulDiv(stored.width(), measured, kDesignTextHeight),
            MulDiv(stored.height(), measured, kDesignTextHeight)};
}

QPoint OnScreen(QPoint wanted, QSize outer, const QRect& available) {
    if (!available.isValid()) return wanted;
    auto place = [](int at, int length, int first, int extent) {
        if (at + length > first + extent) at = first + extent - length;
        return std::max(at, first);
    };
    return {place(wanted.x(), outer.width(), available.left(), available.width()),
            place(wanted.y(), outer.height(), available.top(), available.height())};
}

void SetOuterSize(QWidget* window, QSize outer, double ratio) {
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    window->resize(ToLogical(outer, ratio) - frame);
}

void FitOuterSizeOnce(QWidget* window, QSize outer, double ratio, bool& done) {
    if (done || window->frameGeometry().size() == window->geometry().size()) return;
    done = true;
    SetOuterSize(window, outer, ratio);
}
