#pragma once
// Loading a stored window layout: the layouts are drawn at 120 pixels per inch
// with a text height of 16 (the height of "0" in the window's font), and are
// fitted to the screen and the installed fonts when a window is created.

#include "Arithmetic.h"   // MulDiv

#include <QSize>

class QWidget;

// The layouts name Windows fonts; map them to the fonts a Linux desktop has
// (Latin glyphs first, then Chinese). Safe to call more than once.
void InstallFontSubstitutes();

// Fonts in the layouts carry their height in pixels as the dynamic property
// "fontHeight" (negative: character height without internal leading, the
// form the layouts were saved in). Applies it to root and its descendants.
void ApplyStoredFonts(QWidget* root);

// The screen's logical pixels per inch, rounded.
int ScreenPixelsPerInch();

// Fits a form loaded at 120 pixels per inch to a screen of screenPpi: the
// form's font height is multiplied by screenPpi / 120; then, when the height
// of "0" in that font differs from 16, the position and size of every
// component, and the fonts that components hold of their own, are multiplied
// by measured height / 16. The form's own outer size is not touched.
void ScaleLayout(QWidget* form, int screenPpi);

// The form's own scale factor numerator from the last ScaleLayout (the
// measured height of "0"), or 16 when nothing was scaled.
int MeasuredTextHeight(const QWidget* form);

// Sizes a top-level window so that its outer size, frame and caption
// included, is outer; before the frame is known the whole size goes to the
// client area.
void SetOuterSize(QWidget* window, QSize outer);

// Once the window manager has framed the window (known at the first show or
// move event that reports a frame), sizes it to outer once more so that the
// frame and caption fit inside. done records that it happened.
void FitOuterSizeOnce(QWidget* window, QSize outer, bool& done);
