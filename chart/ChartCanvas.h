#pragma once
// The chart's drawing surface: chart pens, brushes and fonts, and the flat
// drawing operations the chart paints with. Underneath is a QPainter on a
// QImage (the chart's off-screen bitmap) or on whatever the host hands in.
//
// Lines, rectangle outlines and fills are rasterised here, not by Qt: the chart
// is pixel-exact and its rules (end point excluded whichever way a line runs,
// right column and bottom row of a rectangle excluded) are not Qt's. Only wide
// pens and text go to QPainter's own drawing.

#include <QFont>
#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "ChartColors.h"

// ---------------------------------------------------------------------------
// Rectangles: left and top inclusive, right and bottom exclusive, as the
// platform's rectangles are.
struct TRect {
    int Left = 0, Top = 0, Right = 0, Bottom = 0;

    int Width() const { return Right - Left; }
    int Height() const { return Bottom - Top; }
    bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
    friend bool operator==(const TRect&, const TRect&) = default;
};

// Grows (d > 0) or shrinks (d < 0) a rectangle on every side.
inline TRect InflateRect(TRect r, int dx, int dy) {
    return {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy};
}
// The common part of two rectangles; empty (IsEmpty) when they do not meet.
TRect IntersectRect(const TRect& a, const TRect& b);

// ---------------------------------------------------------------------------
// Change reporting. Every pen, brush, font and other object a chart owns is
// created with the chart as its sink; a setter that really changes a value
// reports the change, which makes the chart repaint.
class TChartObject;

class TChartChangeSink {
public:
    virtual void ObjectChanged(TChartObject* sender) = 0;

protected:
    ~TChartChangeSink() = default;
};

class TChartObject {
public:
    explicit TChartObject(TChartChangeSink* sink = nullptr) : FSink(sink) {}
    virtual ~TChartObject() = default;
    TChartObject(const TChartObject&) = delete;
    TChartObject& operator=(const TChartObject&) = delete;

    TChartChangeSink* ChangeSink() const { return FSink; }
    void SetChangeSink(TChartChangeSink* sink) { FSink = sink; }

protected:
    void Changed() {
        if (FSink) FSink->ObjectChanged(this);
    }
    // The property rule: store and report only when the value differs.
    template <class T, class U>
    void Store(T& field, const U& value) {
        if (!(field == value)) {
            field = value;
            Changed();
        }
    }

private:
    TChartChangeSink* FSink;
};

// ---------------------------------------------------------------------------
// Pens

enum TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear, psInsideFrame };

// The raster operations of lines and outlines, in the platform's order.
enum TPenMode {
    pmBlack, pmWhite, pmNop, pmNot, pmCopy, pmNotCopy, pmMergePenNot, pmMaskPenNot,
    pmMergeNotPen, pmMaskNotPen, pmMerge, pmNotMerge, pmMask, pmNotMask, pmXor, pmNotXor
};

enum TPenEndStyle { esRound, esSquare, esFlat };

class TChartPen : public TChartObject {
public:
    explicit TChartPen(TChartChangeSink* sink = nullptr) : TChartObject(sink) {}

    TColor Color() const { return FColor; }
    int Width() const { return FWidth; }
    TPenStyle Style() const { return FStyle; }
    TPenMode Mode() const { return FMode; }
    bool Visible() const { return FVisible; }
    bool SmallDots() const { return FSmallDots; }
    int SmallSpace() const { return FSmallSpace; }
    TPenEndStyle EndStyle() const { return FEndStyle; }

    void SetColor(TColor v) { Store(FColor, v); }
    void SetWidth(int v) { Store(FWidth, v); }
    void SetStyle(TPenStyle v) { Store(FStyle, v); }
    void SetMode(TPenMode v) { Store(FMode, v); }
    void SetVisible(bool v) { Store(FVisible, v); }
    void SetSmallDots(bool v) { Store(FSmallDots, v); }
    void SetSmallSpace(int v) { Store(FSmallSpace, v); }
    void SetEndStyle(TPenEndStyle v) { Store(FEndStyle, v); }
    void Show() { SetVisible(true); }
    void Hide() { SetVisible(false); }

protected:
    TColor FColor = clBlack;
    int FWidth = 1;
    TPenStyle FStyle = psSolid;
    TPenMode FMode = pmCopy;
    bool FVisible = true;
    bool FSmallDots = false;
    int FSmallSpace = 0;
    TPenEndStyle FEndStyle = esRound;
};

class TChartHiddenPen : public TChartPen {
public:
    explicit TChartHiddenPen(TChartChangeSink* sink = nullptr) : TChartPen(sink) { FVisible = false; }
};

inline constexpr TColor clChartGray = 8421504;  // 0x808080

class TDottedGrayPen : public TChartPen {
public:
    explicit TDottedGrayPen(TChartChangeSink* sink = nullptr) : TChartPen(sink) {
        FColor = clChartGray;
        FStyle = psDot;
    }
};

class TDarkGrayPen : public TChartPen {
public:
    explicit TDarkGrayPen(TChartChangeSink* sink = nullptr) : TChartPen(sink) { FColor = clChartGray; }
};

// ---------------------------------------------------------------------------
// Brushes

enum TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross, bsDiagCross };

class TChartBrush : public TChartObject {
public:
    explicit TChartBrush(TChartChangeSink* sink = nullptr, TColor color = clDefault)
        : TChartObject(sink), FColor(color) {}

    TColor Color() const { return FColor; }
    TBrushStyle Style() const { return FStyle; }
    // A pattern bitmap (empty: none): painted with the brush colour where the
    // pattern is dark and the background colour elsewhere.
    const QImage& Image() const { return FImage; }

    void SetColor(TColor v) { Store(FColor, v); }
    void SetStyle(TBrushStyle v) { Store(FStyle, v); }
    void SetImage(const QImage& image) {
        FImage = image;
        Changed();
    }
    void Clear() { SetStyle(bsClear); }

protected:
    TColor FColor;
    TBrushStyle FStyle = bsSolid;
    QImage FImage;
};

// ---------------------------------------------------------------------------
// Shadows and gradients

class TChartShadow : public TChartObject {
public:
    explicit TChartShadow(TChartChangeSink* sink = nullptr) : TChartObject(sink) {}

    TColor Color() const { return FColor; }
    int HorizSize() const { return FHorizSize; }
    int VertSize() const { return FVertSize; }
    int Transparency() const { return FTransparency; }  // percent, 0 = opaque
    // The larger of the two sizes: a shadow shows only when it is above 0.
    int Size() const { return FHorizSize > FVertSize ? FHorizSize : FVertSize; }

    void SetColor(TColor v) { Store(FColor, v); }
    void SetHorizSize(int v) { Store(FHorizSize, v); }
    void SetVertSize(int v) { Store(FVertSize, v); }
    void SetTransparency(int v) { Store(FTransparency, v); }

private:
    TColor FColor = clSilver;
    int FHorizSize = 0;
    int FVertSize = 0;
    int FTransparency = 0;
};

enum TGradientDirection { gdTopBottom, gdBottomTop, gdLeftRight, gdRightLeft };

class TChartGradient : public TChartObject {
public:
    explicit TChartGradient(TChartChangeSink* sink = nullptr) : TChartObject(sink) {}

    bool Visible() const { return FVisible; }
    TColor StartColor() const { return FStartColor; }
    TColor EndColor() const { return FEndColor; }
    TGradientDirection Direction() const { return FDirection; }

    void SetVisible(bool v) { Store(FVisible, v); }
    void SetStartColor(TColor v) { Store(FStartColor, v); }
    void SetEndColor(TColor v) { Store(FEndColor, v); }
    void SetDirection(TGradientDirection v) { Store(FDirection, v); }

private:
    bool FVisible = false;
    TColor FStartColor = clWhite;
    TColor FEndColor = clYellow;
    TGradientDirection FDirection = gdTopBottom;
};

// ---------------------------------------------------------------------------
// Fonts

enum TFontStyle : unsigned { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = unsigned;

inline constexpr int DEFAULT_CHARSET = 1;

class TChartFont : public TChartObject {
public:
    explicit TChartFont(TChartChangeSink* sink = nullptr);

    const std::string& Name() const { return FName; }
    int Size() const { return FSize; }  // points
    TFontStyles Style() const { return FStyle; }
    TColor Color() const { return FColor; }
    int Charset() const { return FCharset; }
    int InterCharSize() const { return FInterCharSize; }
    // Glyphs drawn with grey edges. Off, text is drawn in whole pixels like
    // the lines; a dense Chinese glyph (量) at 12 or 13 pixels then fills in,
    // which smoothing keeps readable.
    bool Smooth() const { return FSmooth; }
    TChartHiddenPen& OutLine() { return FOutLine; }
    const TChartHiddenPen& OutLine() const { return FOutLine; }
    TChartShadow& Shadow() { return FShadow; }
    const TChartShadow& Shadow() const { return FShadow; }
    TChartGradient& Gradient() { return FGradient; }
    const TChartGradient& Gradient() const { return FGradient; }

    void SetName(const std::string& v) { Store(FName, v); }
    void SetSize(int v) { Store(FSize, v); }
    void SetStyle(TFontStyles v) { Store(FStyle, v); }
    void SetColor(TColor v) { Store(FColor, v); }
    void SetCharset(int v) { Store(FCharset, v); }
    void SetInterCharSize(int v) { Store(FInterCharSize, v); }
    void SetSmooth(bool v) { Store(FSmooth, v); }

private:
    std::string FName = "Arial";
    int FSize = 8;
    TFontStyles FStyle = 0;
    TColor FColor = clBlack;
    int FCharset = DEFAULT_CHARSET;
    int FInterCharSize = 0;
    bool FSmooth = false;
    TChartHiddenPen FOutLine;
    TChartShadow FShadow;
    TChartGradient FGradient;
};

// The families a font name resolves to on this platform, most wanted first:
// the name itself, its metric-compatible free face, and the face that carries
// the Chinese texts.
QStringList PlatformFontFamilies(const std::string& name);

// ---------------------------------------------------------------------------
// Text alignment flags and background modes

enum : int {
    TA_LEFT = 0, TA_RIGHT = 2, TA_CENTER = 6,  // horizontal
    TA_TOP = 0, TA_BOTTOM = 8                   // vertical
};
enum TBackgroundMode : int { bmTransparent = 1, bmOpaque = 2 };

// ---------------------------------------------------------------------------
// The surface's current pen: a platform pen, possibly set up from a chart pen.
struct TSurfacePen {
    TColor Color = clBlack;
    int Width = 1;
    TPenStyle Style = psSolid;
    TPenMode Mode = pmCopy;
    TPenEndStyle EndStyle = esRound;
    bool Wide = false;       // width 2 or more, with caps and joins
    int AlternateSpace = -1; // >= 0: a one-pixel pen painting 1 pixel, then 1 + AlternateSpace gaps
};

struct TSurfaceBrush {
    TColor Color = clWhite;
    TBrushStyle Style = bsSolid;
    QImage Pattern;  // non-empty: a pattern brush
};

class TChartCanvas {
public:
    TChartCanvas();
    ~TChartCanvas();
    TChartCanvas(const TChartCanvas&) = delete;
    TChartCanvas& operator=(const TChartCanvas&) = delete;

    // -- Surface properties -------------------------------------------------
    int PixelsPerInch() const { return FPixelsPerInch; }
    void SetPixelsPerInch(int ppi);
    int FontZoom() const { return FFontZoom; }  // percent
    void SetFontZoom(int percent);
    bool Monochrome() const { return FMonochrome; }
    void SetMonochrome(bool v) { FMonochrome = v; }
    bool BufferedDisplay() const { return FBufferedDisplay; }
    void SetBufferedDisplay(bool v) { FBufferedDisplay = v; }

    // -- Targets and the off-screen bitmap ----------------------------------
    // The control's own canvas: what the host paints the window with while it
    // handles a paint (nullptr outside). Drawing goes here when no buffer is open.
    void SetControlCanvas(QPainter* painter);
    QPainter* ControlCanvas() const { return FControl; }

    // With buffering (the default): size the bitmap to rect, draw into it from
    // now on and return (0, 0, width, height). Without: draw on canvas, return rect.
    TRect StartBuffer(QPainter* canvas, const TRect& rect);
    // Copy the whole bitmap to canvas at rect's top-left corner, mark the
    // buffer clean and draw on the control's canvas again.
    void CopyBufferTo(QPainter* canvas, const TRect& rect);
    // When the buffer is clean, copy it to the control's canvas at (0, 0).
    bool RecopyBuffer();
    bool BufferDirty() const { return FBufferDirty; }
    void SetBufferDirty(bool v) { FBufferDirty = v; }
    const QImage& Bitmap() const { return FBitmap; }
    // The painter drawing goes to now (nullptr: nothing is drawn).
    QPainter* Target() const { return FTarget; }

    // -- Pens, brushes, fonts -----------------------------------------------
    void SelectChartPen(const TChartPen& pen, TColor color);
    void SelectChartPen(const TChartPen& pen) { SelectChartPen(pen, pen.Color()); }
    void SelectPen(const TSurfacePen& pen) { FPen = pen; }  // a plain pen, taken over unchanged
    const TSurfacePen& Pen() const { return FPen; }
    void SetPenMode(TPenMode mode) { FPen.Mode = mode; }

    void SelectChartBrush(const TChartBrush& brush, TColor color, TColor backColor);
    void SelectChartBrush(const TChartBrush& brush) { SelectChartBrush(brush, brush.Color(), clNone); }
    void SelectBrush(TColor color, TBrushStyle style);
    void ClearBrush() { FBrush.Style = bsClear; }
    const TSurfaceBrush& Brush() const { return FBrush; }

    void SelectChartFont(const TChartFont& font);
    const QFont& Font() const { return FFont; }
    TColor FontColor() const { return FFontColor; }
    const TChartFont* RememberedFont() const { return FChartFont; }

    // Pen black, width 1, solid; brush white, solid; font black, regular,
    // default character set, "Arial", 8 points; background white and
    // transparent; alignment left-top; no remembered chart font.
    void ResetSurface();

    // -- Text -----------------------------------------------------------------
    int CharHeight() const;
    int MeasureWidth(std::string_view text) const;
    void SetTextAlignment(int flags) { FAlign = flags; }
    int TextAlignment() const { return FAlign; }
    void SetBackgroundMode(TBackgroundMode mode) { FBackMode = mode; }
    TBackgroundMode BackgroundMode() const { return FBackMode; }
    void SetBackgroundColour(TColor color) { FBackColor = color; }
    TColor BackgroundColour() const { return FBackColor; }
    void WriteText(int x, int y, std::string_view text);
    void WriteRotatedText(int x, int y, int angle, std::string_view text);

    // -- Lines and rectangles -------------------------------------------------
    void HorizontalLine(int x0, int x1, int y);
    void VerticalLine(int x, int y0, int y1);
    void MoveTo(int x, int y) { FPenX = x, FPenY = y; }
    void LineTo(int x, int y);
    int PenX() const { return FPenX; }
    int PenY() const { return FPenY; }
    void RectangleOutline(int left, int top, int right, int bottom);
    void RectangleOutline(const TRect& r) { RectangleOutline(r.Left, r.Top, r.Right, r.Bottom); }
    void FillRectangle(const TRect& r);
    // A rectangle with rounded corners of the given radius, outlined and filled.
    void RoundRectangle(const TRect& r, int radius);
    // A 3D frame of width lines on r's outermost pixels; r ends up inside it.
    void DrawFrame3D(TRect& r, TColor topColor, TColor bottomColor, int width);
    void FillGradient(const TRect& r, const TChartGradient& gradient);
    void DrawImage(const TRect& r, const QImage& image);

    // -- Clipping ---------------------------------------------------------------
    void ClipToRectangle(const TRect& r);
    void RemoveClip();
    bool IsClipped() const { return FClip.has_value(); }
    const std::optional<QRegion>& ClipRegion() const { return FClip; }

    // Pixels the one-pixel line stepper has visited since the surface was
    // made: each visible pixel of a line once, none outside what can show.
    long long LineSteps() const { return FLineSteps; }

private:
    void SetTarget(QPainter* painter);
    void ApplyClip();
    void Plot(int x, int y, int w, int h, TPenMode mode, const QColor& c);
    bool DrawableArea(TRect& area) const;
    void CosmeticLine(int x0, int y0, int x1, int y1);
    void WideLine(int x0, int y0, int x1, int y1);
    void Line(int x0, int y0, int x1, int y1);
    void FillInside(int left, int top, int right, int bottom);
    void DrawTextAt(int x, int y, std::string_view text, const QColor& color, bool opaque);
    // A platform font and what the chart keeps asking of it, kept for each
    // font selected (a chart uses a handful): selecting one again resolves no
    // font, and a text measured once is not laid out again.
    struct TFontKey {
        std::string Name;
        int PixelSize = 0;
        TFontStyles Style = 0;
        int InterChar = 0;
        bool Plain = false;  // the surface's own font: only family and size set
        bool Smooth = false;
        friend bool operator==(const TFontKey&, const TFontKey&) = default;
    };
    struct TFontFace {
        TFontFace(TFontKey key, const QFont& font)
            : Key(std::move(key)), Font(font), Metrics(font), Height(Metrics.height()), Ascent(Metrics.ascent()) {}
        int Width(std::string_view text);
        TFontKey Key;
        QFont Font;
        QFontMetrics Metrics;
        int Height, Ascent;
        std::unordered_map<std::string, int> Widths;
    };
    TFontFace& FaceFor(const TFontKey& key);
    void UseFace(TFontFace& face);

    int FPixelsPerInch = 96;
    int FFontZoom = 100;
    bool FMonochrome = false;
    bool FBufferedDisplay = true;
    bool FBufferDirty = true;

    QImage FBitmap;
    std::unique_ptr<QPainter> FBufferPainter;
    std::uint32_t* FBits = nullptr;  // the bitmap's pixels while a buffer is open
    int FStride = 0;                 // pixels per bitmap row
    QPainter* FControl = nullptr;
    QPainter* FTarget = nullptr;

    TSurfacePen FPen;
    TSurfaceBrush FBrush;
    QFont FFont;
    TColor FFontColor = clBlack;
    const TChartFont* FChartFont = nullptr;
    std::vector<std::unique_ptr<TFontFace>> FFaces;
    TFontFace* FFace = nullptr;  // the current font's, never null after construction
    int FAlign = TA_LEFT | TA_TOP;
    TBackgroundMode FBackMode = bmTransparent;
    TColor FBackColor = clWhite;
    int FPenX = 0, FPenY = 0;
    long long FLineSteps = 0;

    std::optional<QRegion> FClip;                 // none: unclipped
    std::optional<std::optional<QRegion>> FSaved; // the one remembered clip
};

// The platform colour of a chart colour (system colours resolved).
QColor ToQColor(TColor c);
