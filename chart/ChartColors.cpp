#include "ChartColors.h"

#include <QGuiApplication>
#include <QPalette>

#include <iterator>

namespace {

constexpr TColor RGB(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }

// Before a GUI application exists (batch runs, early start-up) the classic
// desktop colours stand in for the platform's.
constexpr TColor kClassic[31] = {
    RGB(200, 200, 200), RGB(0, 128, 128),   RGB(0, 0, 128),     RGB(128, 128, 128),
    RGB(212, 208, 200), RGB(255, 255, 255), RGB(0, 0, 0),       RGB(0, 0, 0),
    RGB(0, 0, 0),       RGB(255, 255, 255), RGB(212, 208, 200), RGB(212, 208, 200),
    RGB(128, 128, 128), RGB(10, 36, 106),   RGB(255, 255, 255), RGB(212, 208, 200),
    RGB(128, 128, 128), RGB(128, 128, 128), RGB(0, 0, 0),       RGB(212, 208, 200),
    RGB(255, 255, 255), RGB(64, 64, 64),    RGB(212, 208, 200), RGB(0, 0, 0),
    RGB(255, 255, 225), RGB(181, 181, 181), RGB(0, 0, 128),     RGB(166, 202, 240),
    RGB(192, 192, 192), RGB(49, 106, 197),  RGB(212, 208, 200),
};

TColor FromQColor(const QColor& c) { return RGB(c.red(), c.green(), c.blue()); }

// The palette colour that plays a system colour's part, when one does.
bool PaletteColor(unsigned index, const QPalette& pal, QColor& out) {
    using R = QPalette::ColorRole;
    R role;
    QPalette::ColorGroup group = QPalette::Active;
    switch (index) {
    case 0: role = R::Button; break;                       // clScrollBar
    case 2: role = R::Highlight; break;                    // clActiveCaption
    case 3: role = R::Mid; break;                          // clInactiveCaption
    case 4: role = R::Window; break;                       // clMenu
    case 5: role = R::Base; break;                         // clWindow
    case 6: role = R::Shadow; break;                       // clWindowFrame
    case 7: role = R::WindowText; break;                   // clMenuText
    case 8: role = R::Text; break;                         // clWindowText
    case 9: role = R::HighlightedText; break;              // clCaptionText
    case 10: case 11: role = R::Button; break;             // clActiveBorder, clInactiveBorder
    case 12: role = R::Mid; break;                         // clAppWorkSpace
    case 13: role = R::Highlight; break;                   // clHighlight
    case 14: role = R::HighlightedText; break;             // clHighlightText
    case 15: role = R::Button; break;                      // clBtnFace
    case 16: role = R::Dark; break;                        // clBtnShadow
    case 17: role = R::Text, group = QPalette::Disabled; break;  // clGrayText
    case 18: role = R::ButtonText; break;                  // clBtnText
    case 19: role = R::WindowText, group = QPalette::Disabled; break;  // clInactiveCaptionText
    case 20: role = R::Light; break;                       // clBtnHighlight
    case 21: role = R::Shadow; break;                      // cl3DDkShadow
    case 22: role = R::Midlight; break;                    // cl3DLight
    case 23: role = R::ToolTipText; break;                 // clInfoText
    case 24: role = R::ToolTipBase; break;                 // clInfoBk
    case 26: role = R::Link; break;                        // clHotLight
    case 29: role = R::Highlight; break;                   // clMenuHighlight
    case 30: role = R::Window; break;                      // clMenuBar
    default: return false;
    }
    out = pal.color(group, role);
    return true;
}

}  // namespace

TColor ColorToRGB(TColor c) {
    if (c == clDefault) return clBlack;
    if (c == clNone) return clWhite;
    if (!IsSystemColor(c)) return c & 0xFFFFFF;
    const unsigned index = c & 0xFF;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        QColor q;
        if (PaletteColor(index, QGuiApplication::palette(), q)) return FromQColor(q);
    }
    return index < std::size(kClassic) ? kClassic[index] : clBlack;
}
