#include "ChartCanvas.h"

#include "Arithmetic.h"
#include "FloatRules.h"

#include <QLinearGradient>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

TRect IntersectRect(const TRect& a, const TRect& b) {
    TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
            std::min(a.Bottom, b.Bottom)};
    if (r.IsEmpty()) return {};
    return r;
}

TChartFont::TChartFont(TChartChangeSink* sink)
    : TChartObject(sink), FOutLine(sink), FShadow(sink), FGradient(sink) {}

QStringList PlatformFontFamilies(const std::string& name) {
    QStringList families{QString::fromStdString(name)};
    // Metric-compatible free faces of the common Windows faces.
    static const char* const kSubstitutes[][2] = {
        {"Arial", "Liberation Sans"},          {"Helvetica", "Liberation Sans"},
        {"MS Sans Serif", "Liberation Sans"},  {"Tahoma", "Liberation Sans"},
        {"Verdana", "Liberation Sans"},        {"Times New Roman", "Liberation Serif"},
        {"Courier New", "Liberation Mono"},    {"Courier", "Liberation Mono"},
    };
    for (const auto& s : kSubstitutes)
        if (name == s[0]) families << QString::fromLatin1(s[1]);
    // Chinese texts (titles, captions) come from this face whatever the name.
    families << QStringLiteral("WenQuanYi Micro Hei");
    return families;
}

// ---------------------------------------------------------------------------
namespace {

QPainter::CompositionMode RasterMode(TPenMode mode) {
    switch (mode) {
    case pmBlack: return QPainter::RasterOp_ClearDestination;
    case pmWhite: return QPainter::RasterOp_SetDestination;
    case pmNot: return QPainter::RasterOp_NotDestination;
    case pmNotCopy: return QPainter::RasterOp_NotSource;
    case pmMergePenNot: return QPainter::RasterOp_SourceOrNotDestination;
    case pmMaskPenNot: return QPainter::RasterOp_SourceAndNotDestination;
    case pmMergeNotPen: return QPainter::RasterOp_NotSourceOrDestination;
    case pmMaskNotPen: return QPainter::RasterOp_NotSourceAndDestination;
    case pmMerge: return QPainter::RasterOp_SourceOrDestination;
    case pmNotMerge: return QPainter::RasterOp_NotSourceAndNotDestination;  // ~(s | d)
    case pmMask: return QPainter::RasterOp_SourceAndDestination;
    case pmNotMask: return QPainter::RasterOp_NotSourceOrNotDestination;    // ~(s & d)
    case pmXor: return QPainter::RasterOp_SourceXorDestination;
    case pmNotXor: return QPainter::RasterOp_NotSourceXorDestination;
    case pmNop:
    case pmCopy: break;
    }
    return QPainter::CompositionMode_SourceOver;
}

// Dash patterns of one-pixel pens, in pixels: on, off, on, off, ...
struct TDashPattern {
    int Count = 0;  // 0: solid
    int Lengths[6] = {};
    int Period = 0;
};

TDashPattern PatternFor(const TSurfacePen& pen) {
    TDashPattern p;
    auto set = [&p](std::initializer_list<int> lengths) {
        for (int v : lengths) p.Lengths[p.Count++] = v, p.Period += v;
    };
    if (pen.AlternateSpace >= 0) {
        set({1, 1 + pen.AlternateSpace});
        return p;
    }
    switch (pen.Style) {
    case psDash: set({18, 6}); break;
    case psDot: set({3, 3}); break;
    case psDashDot: set({9, 6, 3, 6}); break;
    case psDashDotDot: set({9, 3, 3, 3, 3, 3}); break;
    default: break;
    }
    return p;
}

// Whether pixel number i of a styled line is painted (even slots are "on").
bool PatternOn(const TDashPattern& p, long long i) {
    if (p.Count == 0) return true;
    int k = static_cast<int>(i % p.Period);
    for (int slot = 0; slot < p.Count; ++slot) {
        if (k < p.Lengths[slot]) return (slot & 1) == 0;
        k -= p.Lengths[slot];
    }
    return true;
}

Qt::PenStyle QtPenStyle(TPenStyle s) {
    switch (s) {
    case psDash: return Qt::DashLine;
    case psDot: return Qt::DotLine;
    case psDashDot: return Qt::DashDotLine;
    case psDashDotDot: return Qt::DashDotDotLine;
    case psClear: return Qt::NoPen;
    default: return Qt::SolidLine;
    }
}

Qt::BrushStyle QtHatch(TBrushStyle s) {
    switch (s) {
    case bsHorizontal: return Qt::HorPattern;
    case bsVertical: return Qt::VerPattern;
    case bsFDiagonal: return Qt::FDiagPattern;
    case bsBDiagonal: return Qt::BDiagPattern;
    case bsCross: return Qt::CrossPattern;
    case bsDiagCross: return Qt::DiagCrossPattern;
    default: return Qt::SolidPattern;
    }
}

QString ToQString(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

// ---------------------------------------------------------------------------
TChartCanvas::TChartCanvas() { ResetSurface(); }

TChartCanvas::~TChartCanvas() {
    FBufferPainter.reset();
}

void TChartCanvas::SetPixelsPerInch(int ppi) {
    if (ppi > 0 && ppi != FPixelsPerInch) {
        FPixelsPerInch = ppi;
        if (FChartFont) SelectChartFont(*FChartFont);
    }
}

void TChartCanvas::SetFontZoom(int percent) {
    if (percent != FFontZoom) {
        FFontZoom = percent;
        if (FChartFont) SelectChartFont(*FChartFont);
    }
}

void TChartCanvas::SetControlCanvas(QPainter* painter) {
    const bool drawingOnControl = FTarget == FControl;
    FControl = painter;
    if (drawingOnControl) SetTarget(painter);
}

void TChartCanvas::SetTarget(QPainter* painter) {
    FTarget = painter;
    if (FTarget) {
        FTarget->setRenderHint(QPainter::Antialiasing, false);
        FTarget->setRenderHint(QPainter::SmoothPixmapTransform, false);
        ApplyClip();
    }
}

TRect TChartCanvas::StartBuffer(QPainter* canvas, const TRect& rect) {
    if (!FBufferedDisplay) {
        SetTarget(canvas);
        return rect;
    }
    const int w = std::max(rect.Width(), 0), h = std::max(rect.Height(), 0);
    FBufferPainter.reset();
    // A bitmap of no pixels cannot be painted on; keep one pixel, draw nothing off it.
    const int bw = std::max(w, 1), bh = std::max(h, 1);
    FBits = nullptr;
    if (FBitmap.width() != bw || FBitmap.height() != bh) FBitmap = QImage(bw, bh, QImage::Format_RGB32);
    FBufferPainter = std::make_unique<QPainter>(&FBitmap);
    FBits = reinterpret_cast<std::uint32_t*>(FBitmap.bits());
    FStride = FBitmap.bytesPerLine() / 4;
    SetTarget(FBufferPainter.get());
    return {0, 0, w, h};
}

void TChartCanvas::CopyBufferTo(QPainter* canvas, const TRect& rect) {
    if (FBufferedDisplay) {
        FBufferPainter.reset();
        FBits = nullptr;
        if (canvas && !FBitmap.isNull()) {
            canvas->save();
            canvas->setCompositionMode(QPainter::CompositionMode_Source);
            canvas->drawImage(QPoint(rect.Left, rect.Top), FBitmap);
            canvas->restore();
        }
    }
    FBufferDirty = false;
    SetTarget(FControl);
}

bool TChartCanvas::RecopyBuffer() {
    if (FBufferDirty || !FBufferedDisplay || FBitmap.isNull()) return false;
    if (FControl) {
        FControl->save();
        FControl->setCompositionMode(QPainter::CompositionMode_Source);
        FControl->setClipping(false);
        FControl->drawImage(QPoint(0, 0), FBitmap);
        FControl->restore();
    }
    return true;
}

// ---------------------------------------------------------------------------
void TChartCanvas::SelectChartPen(const TChartPen& pen, TColor color) {
    if (FMonochrome) color = clBlack;
    if (!pen.Visible()) {
        FPen.Style = psClear;
        return;
    }
    if (pen.SmallDots()) {
        FPen = TSurfacePen{};
        FPen.Color = color;
        FPen.Mode = pen.Mode();
        FPen.AlternateSpace = pen.SmallSpace() <= 0 ? 0 : pen.SmallSpace();
        return;
    }
    FPen.Color = color;
    FPen.Style = pen.Style();
    FPen.Width = pen.Width();
    FPen.Mode = pen.Mode();
    FPen.EndStyle = pen.EndStyle();
    FPen.Wide = pen.Width() >= 2;
    FPen.AlternateSpace = -1;
}

void TChartCanvas::SelectBrush(TColor color, TBrushStyle style) {
    FBrush.Color = color;
    FBrush.Style = style;
    FBrush.Pattern = QImage();
}

void TChartCanvas::SelectChartBrush(const TChartBrush& brush, TColor color, TColor backColor) {
    if (FMonochrome) color = clWhite;
    if (!brush.Image().isNull()) {
        FBrush.Color = color;
        FBrush.Style = bsClear;
        FBrush.Pattern = brush.Image();
        FBackColor = backColor;
        FBackMode = bmOpaque;
        return;
    }
    FBrush.Color = color;
    FBrush.Style = brush.Style();
    FBrush.Pattern = QImage();
    if (backColor == clNone) {
        FBackMode = bmTransparent;
    } else {
        FBackMode = bmOpaque;
        FBackColor = backColor;
    }
}

TChartCanvas::TFontFace& TChartCanvas::FaceFor(const TFontKey& key) {
    for (const auto& face : FFaces)
        if (face->Key == key) return *face;
    // A chart uses a handful of fonts; a host that keeps changing them starts
    // the list afresh now and then.
    if (FFaces.size() >= 32) {
        FFace = nullptr;
        FFaces.clear();
    }
    QFont f;
    f.setFamilies(PlatformFontFamilies(key.Name));
    f.setPixelSize(key.PixelSize);
    if (!key.Plain) {
        f.setBold(key.Style & fsBold);
        f.setItalic(key.Style & fsItalic);
        f.setUnderline(key.Style & fsUnderline);
        f.setStrikeOut(key.Style & fsStrikeOut);
        f.setLetterSpacing(QFont::AbsoluteSpacing, key.InterChar);
    }
    f.setKerning(false);
    // Pixel-exact like the lines, unless asked otherwise; smoothed glyphs get
    // grey edges only, never the screen's colour fringes, so that the window
    // and an exported picture stay alike on any desktop.
    f.setStyleStrategy(key.Smooth ? QFont::StyleStrategy(QFont::PreferAntialias | QFont::NoSubpixelAntialias)
                                  : QFont::NoAntialias);
    // Qt drops hinting at device pixel ratios other than 1; the same glyphs
    // at every ratio keep the window's chart equal to the exported one.
    f.setHintingPreference(QFont::PreferVerticalHinting);
    FFaces.push_back(std::make_unique<TFontFace>(key, f));
    return *FFaces.back();
}

void TChartCanvas::UseFace(TFontFace& face) {
    FFace = &face;
    FFont = face.Font;
}

void TChartCanvas::SelectChartFont(const TChartFont& font) {
    int points = font.Size();
    if (FFontZoom != 100) points = static_cast<int>(RoundHalfEven(points * static_cast<long double>(FFontZoom) * 0.01L));
    UseFace(FaceFor({font.Name(), std::max(1, MulDiv(std::abs(points), FPixelsPerInch, 72)), font.Style(),
                     font.InterCharSize(), false, font.Smooth()}));
    FFontColor = FMonochrome ? clBlack : font.Color();
    FChartFont = &font;
}

void TChartCanvas::ResetSurface() {
    FPen = TSurfacePen{};
    FBrush = TSurfaceBrush{};
    UseFace(FaceFor({"Arial", MulDiv(8, FPixelsPerInch, 72), 0, 0, true}));
    FFontColor = clBlack;
    FChartFont = nullptr;
    FBackColor = clWhite;
    FBackMode = bmTransparent;
    FAlign = TA_LEFT | TA_TOP;
}

int TChartCanvas::TFontFace::Width(std::string_view text) {
    std::string key(text);
    if (const auto it = Widths.find(key); it != Widths.end()) return it->second;
    if (Widths.size() >= 4096) Widths.clear();
    const int w = Metrics.horizontalAdvance(ToQString(text));
    Widths.emplace(std::move(key), w);
    return w;
}

// ---------------------------------------------------------------------------
int TChartCanvas::CharHeight() const {
    int h = FFace->Height;
    if (FChartFont) h += std::abs(FChartFont->Shadow().VertSize());
    return h;
}

int TChartCanvas::MeasureWidth(std::string_view text) const {
    int w = FFace->Width(text);
    if (FChartFont) w += std::abs(FChartFont->Shadow().HorizSize());
    return w;
}

void TChartCanvas::DrawTextAt(int x, int y, std::string_view text, const QColor& color, bool opaque) {
    const QString s = ToQString(text);
    const int w = FFace->Width(text), h = FFace->Height;
    if ((FAlign & TA_CENTER) == TA_CENTER)
        x -= w / 2;
    else if (FAlign & TA_RIGHT)
        x -= w;
    if (FAlign & TA_BOTTOM) y -= h;
    if (opaque) {
        FTarget->setCompositionMode(QPainter::CompositionMode_SourceOver);
        FTarget->fillRect(QRect(x, y, w, h), ToQColor(FBackColor));
    }
    FTarget->setFont(FFont);
    FTarget->setPen(color);
    FTarget->setCompositionMode(QPainter::CompositionMode_SourceOver);
    FTarget->drawText(QPoint(x, y + FFace->Ascent), s);
}

void TChartCanvas::WriteText(int x, int y, std::string_view text) {
    if (!FTarget || text.empty()) return;
    int dx = 0, dy = 0;
    if (FChartFont) {
        const TChartShadow& sh = FChartFont->Shadow();
        if (sh.HorizSize() != 0 || sh.VertSize() != 0) {
            // A negative size leaves the shadow at the point and moves the text instead.
            const int sx = std::max(sh.HorizSize(), 0), sy = std::max(sh.VertSize(), 0);
            dx = std::max(-sh.HorizSize(), 0);
            dy = std::max(-sh.VertSize(), 0);
            FTarget->save();
            if (sh.Transparency() > 0) FTarget->setOpacity((100 - std::min(sh.Transparency(), 100)) / 100.0);
            DrawTextAt(x + sx, y + sy, text, ToQColor(FMonochrome ? clBlack : sh.Color()), false);
            FTarget->restore();
        }
    }
    DrawTextAt(x + dx, y + dy, text, ToQColor(FFontColor), FBackMode == bmOpaque);
}

void TChartCanvas::WriteRotatedText(int x, int y, int angle, std::string_view text) {
    while (angle > 360) angle -= 360;
    FBrush.Style = bsClear;
    if (!FTarget) return;
    FTarget->save();
    FTarget->translate(x, y);
    FTarget->rotate(-angle);  // counter-clockwise on screen
    WriteText(0, 0, text);
    FTarget->restore();
}

// ---------------------------------------------------------------------------
// The raster operation of a pen on a screen pixel, on the colour bits.
static inline std::uint32_t ApplyMode(TPenMode mode, std::uint32_t pen, std::uint32_t screen) {
    switch (mode) {
    case pmBlack: return 0;
    case pmWhite: return ~0u;
    case pmNop: return screen;
    case pmNot: return ~screen;
    case pmCopy: return pen;
    case pmNotCopy: return ~pen;
    case pmMergePenNot: return pen | ~screen;
    case pmMaskPenNot: return pen & ~screen;
    case pmMergeNotPen: return ~pen | screen;
    case pmMaskNotPen: return ~pen & screen;
    case pmMerge: return pen | screen;
    case pmNotMerge: return ~(pen | screen);
    case pmMask: return pen & screen;
    case pmNotMask: return ~(pen & screen);
    case pmXor: return pen ^ screen;
    case pmNotXor: return ~(pen ^ screen);
    }
    return pen;
}

// n pixels of one value: a few by hand, then the filled part copied onto
// the rest, doubling each time.
static void FillRow(std::uint32_t* p, int n, std::uint32_t value) {
    const int head = std::min(n, 16);
    for (int i = 0; i < head; ++i) p[i] = value;
    for (int done = head; done < n;) {
        const int chunk = std::min(done, n - done);
        std::memcpy(p + done, p, static_cast<std::size_t>(chunk) * sizeof value);
        done += chunk;
    }
}

void TChartCanvas::Plot(int x, int y, int w, int h, TPenMode mode, const QColor& c) {
    if (FBits && FTarget == FBufferPainter.get()) {
        // Into the chart's own bitmap: straight into its pixels, inside the clip.
        int x0 = std::max(x, 0), y0 = std::max(y, 0);
        int x1 = std::min(x + w, FBitmap.width()), y1 = std::min(y + h, FBitmap.height());
        if (FClip) {
            const QRect cr = FClip->boundingRect();
            x0 = std::max(x0, cr.left()), y0 = std::max(y0, cr.top());
            x1 = std::min(x1, cr.left() + cr.width()), y1 = std::min(y1, cr.top() + cr.height());
        }
        const std::uint32_t pen = c.rgb();
        if (x1 <= x0 || y1 <= y0) return;
        std::uint32_t* first = FBits + static_cast<std::ptrdiff_t>(y0) * FStride;
        if (mode == pmCopy) {
            // One row, then copies of it: the library's copy moves many
            // pixels a step where a plain loop writes one (the panel and the
            // wall fill most of the bitmap at every paint).
            FillRow(first + x0, x1 - x0, pen);
            for (int row = y0 + 1; row < y1; ++row)
                std::memcpy(first + static_cast<std::ptrdiff_t>(row - y0) * FStride + x0, first + x0,
                            static_cast<std::size_t>(x1 - x0) * sizeof pen);
            return;
        }
        for (int row = y0; row < y1; ++row) {
            std::uint32_t* line = FBits + static_cast<std::ptrdiff_t>(row) * FStride;
            for (int col = x0; col < x1; ++col) line[col] = ApplyMode(mode, pen, line[col]) | 0xFF000000u;
        }
        return;
    }
    FTarget->setCompositionMode(RasterMode(mode));
    FTarget->fillRect(QRect(x, y, w, h), c);
}

// The pixels the current target can show, in its coordinates: the bitmap's
// (or, on another target, the device's) rectangle and the clip's. False when
// there are none. On another target the rectangle is a little larger than what
// shows: anything beyond it falls off the device anyway.
bool TChartCanvas::DrawableArea(TRect& area) const {
    if (FBits && FTarget == FBufferPainter.get()) {
        area = {0, 0, FBitmap.width(), FBitmap.height()};
    } else {
        const QPaintDevice* device = FTarget ? FTarget->device() : nullptr;
        if (!device) return false;
        const QRect onDevice(-2, -2, device->width() + 4, device->height() + 4);
        const QTransform& t = FTarget->combinedTransform();
        const QRect r = t.isIdentity() ? onDevice : t.inverted().mapRect(onDevice).adjusted(-2, -2, 2, 2);
        area = {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
    }
    if (FClip) {
        const QRect c = FClip->boundingRect();
        area = IntersectRect(area, {c.left(), c.top(), c.left() + c.width(), c.top() + c.height()});
    }
    return !area.IsEmpty();
}

// One-pixel lines: every pixel from the start up to, not including, the end.
// Pixel i (i = 0 .. steps - 1) lies i steps along the major axis from the
// start and, across it, on the grid line nearest to the exact line, halves
// rounded away from the start. Only the pixels inside the drawable area are
// stepped: a line of a deeply zoomed chart may run for millions of pixels
// beyond the bitmap, and the part inside costs what it costs unzoomed.
void TChartCanvas::CosmeticLine(int x0, int y0, int x1, int y1) {
    __extension__ using wide = __int128;
    TRect area;
    if (!DrawableArea(area)) return;

    const long long dx = static_cast<long long>(x1) - x0, dy = static_cast<long long>(y1) - y0;
    const long long adx = dx < 0 ? -dx : dx, ady = dy < 0 ? -dy : dy;
    const bool xMajor = adx >= ady;
    const long long major = xMajor ? adx : ady, minor = xMajor ? ady : adx;
    const long long steps = major;
    // Start, direction and visible bounds (inclusive) along each axis.
    const long long a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
    const int sa = (xMajor ? dx : dy) < 0 ? -1 : 1, sb = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const long long aLow = xMajor ? area.Left : area.Top, aHigh = (xMajor ? area.Right : area.Bottom) - 1LL;
    const long long bLow = xMajor ? area.Top : area.Left, bHigh = (xMajor ? area.Bottom : area.Right) - 1LL;

    // The steps whose major coordinate a0 + sa * i is visible.
    long long first = std::max(0LL, sa > 0 ? aLow - a0 : a0 - aHigh);
    long long last = std::min(steps - 1, sa > 0 ? aHigh - a0 : a0 - aLow);
    // The minor offsets m whose coordinate b0 + sb * m is visible; m(i) =
    // floor((2 i minor + major) / (2 major)) never falls as i grows.
    const long long mLow = std::max(0LL, sb > 0 ? bLow - b0 : b0 - bHigh);
    const long long mHigh = std::min(minor, sb > 0 ? bHigh - b0 : b0 - bLow);
    if (mLow > mHigh) return;
    const wide twoMajor = 2 * static_cast<wide>(major), twoMinor = 2 * static_cast<wide>(minor);
    if (minor == 0) {
        if (mLow > 0) return;  // the row (or column) of the line is not visible
    } else {
        // m(i) >= mLow  <=>  2 i minor >= 2 major mLow - major
        const wide needLow = twoMajor * mLow - major;
        if (needLow > 0) first = std::max(first, static_cast<long long>((needLow + twoMinor - 1) / twoMinor));
        // m(i) <= mHigh  <=>  2 i minor < 2 major (mHigh + 1) - major
        const wide needHigh = twoMajor * (mHigh + 1) - major;
        last = std::min(last, static_cast<long long>((needHigh - 1) / twoMinor));
    }
    if (first > last) return;
    FLineSteps += last - first + 1;

    const TDashPattern pattern = PatternFor(FPen);
    const TPenMode mode = FPen.Mode;
    const QColor color = ToQColor(FPen.Color);
    const bool fillGaps = pattern.Count > 0 && FBackMode == bmOpaque;
    const QColor gapColor = ToQColor(FBackColor);

    // Pixels are collected into runs along the major axis, one fill per run.
    long long runStart = 0, runLen = 0, runMinor = 0;
    bool runOn = false;
    auto flush = [&] {
        if (runLen == 0) return;
        if (runOn || fillGaps) {
            const QColor& c = runOn ? color : gapColor;
            const TPenMode m = runOn ? mode : pmCopy;
            const long long from = sa > 0 ? a0 + runStart : a0 - (runStart + runLen - 1);
            const int across = static_cast<int>(b0 + sb * runMinor), along = static_cast<int>(from);
            if (xMajor)
                Plot(along, across, static_cast<int>(runLen), 1, m, c);
            else
                Plot(across, along, 1, static_cast<int>(runLen), m, c);
        }
        runLen = 0;
    };
    // The minor offset of the first visible step, then carried along as in
    // Bresenham's stepper: the remainder grows by 2 minor per step.
    const wide start = static_cast<wide>(first) * twoMinor + major;
    long long m = static_cast<long long>(start / twoMajor);
    long long rest = static_cast<long long>(start % twoMajor);
    const long long grow = static_cast<long long>(twoMinor), wrap = static_cast<long long>(twoMajor);
    for (long long i = first; i <= last; ++i) {
        const bool on = PatternOn(pattern, i);
        if (runLen > 0 && (m != runMinor || on != runOn)) flush();
        if (runLen == 0) {
            runStart = i;
            runMinor = m;
            runOn = on;
        }
        ++runLen;
        rest += grow;
        if (rest >= wrap) {
            rest -= wrap;
            ++m;
        }
    }
    flush();
}

void TChartCanvas::WideLine(int x0, int y0, int x1, int y1) {
    QPen qp(ToQColor(FPen.Color));
    qp.setWidth(FPen.Width);
    qp.setStyle(QtPenStyle(FPen.Style));
    switch (FPen.EndStyle) {
    case esRound: qp.setCapStyle(Qt::RoundCap), qp.setJoinStyle(Qt::RoundJoin); break;
    case esSquare: qp.setCapStyle(Qt::SquareCap), qp.setJoinStyle(Qt::BevelJoin); break;
    case esFlat: qp.setCapStyle(Qt::FlatCap), qp.setJoinStyle(Qt::MiterJoin); break;
    }
    FTarget->setCompositionMode(RasterMode(FPen.Mode));
    FTarget->setPen(qp);
    FTarget->setBrush(Qt::NoBrush);
    FTarget->drawLine(x0, y0, x1, y1);
}

void TChartCanvas::Line(int x0, int y0, int x1, int y1) {
    if (!FTarget || FPen.Style == psClear || FPen.Mode == pmNop) return;
    if (FPen.Wide && FPen.AlternateSpace < 0)
        WideLine(x0, y0, x1, y1);
    else if (x0 != x1 || y0 != y1)
        CosmeticLine(x0, y0, x1, y1);
}

void TChartCanvas::HorizontalLine(int x0, int x1, int y) {
    Line(x0, y, x1, y);
    MoveTo(x1, y);
}

void TChartCanvas::VerticalLine(int x, int y0, int y1) {
    Line(x, y0, x, y1);
    MoveTo(x, y1);
}

void TChartCanvas::LineTo(int x, int y) {
    Line(FPenX, FPenY, x, y);
    MoveTo(x, y);
}

// ---------------------------------------------------------------------------
// Fills [left, right) x [top, bottom) with the current brush.
void TChartCanvas::FillInside(int left, int top, int right, int bottom) {
    if (!FTarget || right <= left || bottom <= top) return;
    const QRect r(left, top, right - left, bottom - top);
    if (!FBrush.Pattern.isNull()) {
        // A pattern bitmap: brush colour where the pattern is dark, background elsewhere.
        QImage tile = FBrush.Pattern.convertToFormat(QImage::Format_RGB32);
        const QRgb fg = ToQColor(FBrush.Color).rgb(), bg = ToQColor(FBackColor).rgb();
        for (int y = 0; y < tile.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(tile.scanLine(y));
            for (int x = 0; x < tile.width(); ++x) line[x] = qGray(line[x]) < 128 ? fg : bg;
        }
        FTarget->setCompositionMode(QPainter::CompositionMode_SourceOver);
        FTarget->setBrushOrigin(0, 0);
        FTarget->fillRect(r, QBrush(tile));
        return;
    }
    if (FBrush.Style == bsClear) return;
    FTarget->setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (FBrush.Style == bsSolid) {
        Plot(left, top, right - left, bottom - top, pmCopy, ToQColor(FBrush.Color));
        return;
    }
    if (FBackMode == bmOpaque) FTarget->fillRect(r, ToQColor(FBackColor));
    FTarget->setBrushOrigin(0, 0);
    FTarget->fillRect(r, QBrush(ToQColor(FBrush.Color), QtHatch(FBrush.Style)));
}

void TChartCanvas::FillRectangle(const TRect& r) { FillInside(r.Left, r.Top, r.Right, r.Bottom); }

void TChartCanvas::RectangleOutline(int left, int top, int right, int bottom) {
    if (!FTarget) return;
    if (left > right) std::swap(left, right);
    if (top > bottom) std::swap(top, bottom);
    const bool outline = FPen.Style != psClear && FPen.Mode != pmNop;
    if (!outline) {
        FillInside(left, top, right, bottom);
        return;
    }
    if (FPen.Wide && FPen.AlternateSpace < 0) {
        FillInside(left, top, right, bottom);
        QPen qp(ToQColor(FPen.Color));
        qp.setWidth(FPen.Width);
        qp.setStyle(QtPenStyle(FPen.Style));
        qp.setJoinStyle(FPen.EndStyle == esRound ? Qt::RoundJoin : Qt::MiterJoin);
        FTarget->setCompositionMode(RasterMode(FPen.Mode));
        FTarget->setPen(qp);
        FTarget->setBrush(Qt::NoBrush);
        FTarget->drawRect(QRect(left, top, right - left - 1, bottom - top - 1));
        return;
    }
    if (right - left < 1 || bottom - top < 1) return;
    FillInside(left + 1, top + 1, right - 1, bottom - 1);
    const int r = right - 1, b = bottom - 1;
    if (r == left || b == top) {
        // One pixel wide or high: a single line, each pixel painted once.
        Line(left, top, r + (r == left ? 0 : 1), b + (r == left ? 1 : 0));
        return;
    }
    // A closed loop painting every frame pixel once, so that an inverting
    // mode drawn twice restores the picture.
    Line(left, top, r, top);
    Line(r, top, r, b);
    Line(r, b, left, b);
    Line(left, b, left, top);
}

void TChartCanvas::RoundRectangle(const TRect& r, int radius) {
    if (!FTarget || r.IsEmpty()) return;
    QPen qp(ToQColor(FPen.Color));
    qp.setWidth(std::max(FPen.Width, 1));
    qp.setStyle(QtPenStyle(FPen.Style));
    FTarget->setCompositionMode(RasterMode(FPen.Mode));
    FTarget->setPen(FPen.Style == psClear ? QPen(Qt::NoPen) : qp);
    if (FBrush.Style == bsSolid)
        FTarget->setBrush(ToQColor(FBrush.Color));
    else if (FBrush.Style == bsClear)
        FTarget->setBrush(Qt::NoBrush);
    else
        FTarget->setBrush(QBrush(ToQColor(FBrush.Color), QtHatch(FBrush.Style)));
    FTarget->drawRoundedRect(QRect(r.Left, r.Top, r.Width() - 1, r.Height() - 1), radius, radius);
}

void TChartCanvas::DrawFrame3D(TRect& r, TColor topColor, TColor bottomColor, int width) {
    TSurfacePen pen;  // solid, one pixel, copy mode
    const TSurfacePen saved = FPen;
    for (int i = 0; i < width; ++i) {
        const int right = r.Right - 1, bottom = r.Bottom - 1;
        pen.Color = topColor;
        SelectPen(pen);
        VerticalLine(r.Left, bottom, r.Top);   // up the left side
        HorizontalLine(r.Left, right, r.Top);  // along the top
        pen.Color = bottomColor;
        SelectPen(pen);
        VerticalLine(right, r.Top, bottom);         // down the right side
        HorizontalLine(right, r.Left - 1, bottom);  // along the bottom, corner included
        r = InflateRect(r, -1, -1);
    }
    FPen = saved;
}

void TChartCanvas::FillGradient(const TRect& r, const TChartGradient& gradient) {
    if (!FTarget || r.IsEmpty()) return;
    QPointF a(r.Left, r.Top), b(r.Left, r.Bottom);
    switch (gradient.Direction()) {
    case gdTopBottom: break;
    case gdBottomTop: std::swap(a, b); break;
    case gdLeftRight: b = QPointF(r.Right, r.Top); break;
    case gdRightLeft: a = QPointF(r.Right, r.Top), b = QPointF(r.Left, r.Top); break;
    }
    QLinearGradient g(a, b);
    g.setColorAt(0, ToQColor(gradient.StartColor()));
    g.setColorAt(1, ToQColor(gradient.EndColor()));
    FTarget->setCompositionMode(QPainter::CompositionMode_SourceOver);
    FTarget->fillRect(QRect(r.Left, r.Top, r.Width(), r.Height()), QBrush(g));
}

void TChartCanvas::DrawImage(const TRect& r, const QImage& image) {
    if (!FTarget || r.IsEmpty() || image.isNull()) return;
    FTarget->save();
    FTarget->setCompositionMode(QPainter::CompositionMode_SourceOver);
    FTarget->setClipRect(QRect(r.Left, r.Top, r.Width(), r.Height()), Qt::IntersectClip);
    FTarget->drawImage(QPoint(r.Left, r.Top), image);
    FTarget->restore();
}

// ---------------------------------------------------------------------------
void TChartCanvas::ClipToRectangle(const TRect& r) {
    const QRegion region(r.IsEmpty() ? QRect() : QRect(r.Left, r.Top, r.Width(), r.Height()));
    FSaved = FClip;  // one level only: an earlier remembered region is forgotten
    FClip = FClip ? FClip->intersected(region) : region;
    ApplyClip();
}

void TChartCanvas::RemoveClip() {
    if (FSaved && *FSaved)
        FClip = **FSaved;
    else
        FClip.reset();
    FSaved.reset();
    ApplyClip();
}

void TChartCanvas::ApplyClip() {
    if (!FTarget) return;
    if (FClip)
        FTarget->setClipRegion(*FClip);
    else
        FTarget->setClipping(false);
}

QColor ToQColor(TColor c) {
    const TColor rgb = ColorToRGB(c);
    return QColor(static_cast<int>(rgb & 0xFF), static_cast<int>((rgb >> 8) & 0xFF),
                  static_cast<int>((rgb >> 16) & 0xFF));
}
