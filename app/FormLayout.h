#pragma once
// Loading a stored window layout: the layouts are drawn in pixels for a screen
// of 120 pixels per inch with a text height of 16 (the height of "0" in the
// window's font), and are fitted to the screen and the installed fonts when a
// window is created.
//
// Every size in a layout counts device pixels, the screen's own. Qt places
// widgets in logical pixels, which a desktop set above 96 pixels per inch
// turns into device pixels by its device pixel ratio (1.25 at 120): the
// fitting works in device pixels throughout and hands Qt the logical values
// only at the end.

#include "Arithmetic.h"   // MulDiv

#include <QRect>
#include <QSize>

class QFont;
class QWidget;

// The layouts name Windows fonts; map them to the fonts a Linux desktop has
// (Latin glyphs first, then Chinese). Safe to call more than once.
void InstallFontSubstitutes();

// Fonts in the layouts carry their height in pixels as the dynamic property
// "fontHeight" (negative: character height without internal leading, the
// form the layouts were saved in). Applies it to root and its descendants,
// as pixels of the layout, before any fitting.
void ApplyStoredFonts(QWidget* root);

// A screen as the layouts see it.
struct TScreenScale {
    // Pixels per inch counted in device pixels: Qt's logical DPI times the
    // device pixel ratio (120 on a desktop set to Xft.dpi 120, whether Qt
    // reports 120 at ratio 1 or 96 at ratio 1.25).
    int PixelsPerInch = 120;
    // Device pixels per logical pixel.
    double DevicePixelRatio = 1.0;
    // Qt's logical DPI, by which it turns a font's points into logical pixels.
    double LogicalDpi = 120;
};

// The primary screen's scale (where the windows open).
TScreenScale PrimaryScreenScale();
// A scale every window made after this takes instead of the primary
// screen's (none: the screen's own again); for tests of other densities.
void OverrideScreenScale(const TScreenScale* scale);

// The primary screen's pixels per inch in device pixels.
int ScreenPixelsPerInch();

// Device and logical pixels. A rectangle is converted by its edges, so that
// neighbours stay neighbours.
QRect ToLogical(const QRect& device, double ratio);
QSize ToLogical(QSize device, double ratio);
QPoint ToLogical(QPoint device, double ratio);

// A widget's font height in device pixels, and setting it: a whole number of
// logical pixels when the ratio is 1, else the point size that gives exactly
// that many device pixels.
void SetDeviceFontHeight(QWidget* w, int pixels, const TScreenScale& screen);
int DeviceFontHeight(const QFont& font, const TScreenScale& screen);

// The height of "0" in font at a height of pixels, on the scale of the
// layouts' design font: the substitute fonts do not have the design font's
// internal leading, so the measure is the font's own line height taken
// relative to its height at the layout's font height designPixels, on which
// the design font measured 16. At designPixels it is 16 exactly.
int MeasureTextHeight(const QFont& font, int pixels, int designPixels);

// Fits a form loaded from its layout to a screen: the form's font height is
// multiplied by the screen's pixels per inch / 120; then the height of "0" in
// that font is measured, and the position and size of every component, and
// the fonts that components hold of their own, are multiplied by measured
// height / 16, all in device pixels. Remembers the measure and the screen for
// the form's outer size.
void ScaleLayout(QWidget* form, const TScreenScale& screen);

// The measured height of "0" from the form's last ScaleLayout, or 16 when it
// was never fitted.
int MeasuredTextHeight(const QWidget* form);

// The screen the form was last fitted to (the default when never fitted).
TScreenScale FittedScreen(const QWidget* form);

// A stored outer size scaled like the form's components: by measured / 16.
// (The layouts' own rule leaves it unscaled, which leaves a third of the
// window empty at 96 pixels per inch and clips the components at 144.)
QSize ScaledOuterSize(const QWidget* form, QSize stored);

// Where a window of `outer` size goes, its designed top left being `wanted`:
// there, unless it would reach past the screen's available area, when it
// moves left and up just enough to lie inside it (at the area's top left when
// larger). All in one coordinate system (logical pixels). The designed place
// suits the design density; a window grown for a denser screen would
// otherwise hang off its right or bottom edge.
QPoint OnScreen(QPoint wanted, QSize outer, const QRect& available);

// Sizes a top-level window so that its outer size, frame and caption
// included, is outer device pixels; before the frame is known the whole size
// goes to the client area.
void SetOuterSize(QWidget* window, QSize outer, double ratio);

// Once the window manager has framed the window (known at the first show or
// move event that reports a frame), sizes it to outer once more so that the
// frame and caption fit inside. done records that it happened.
void FitOuterSizeOnce(QWidget* window, QSize outer, double ratio, bool& done);
