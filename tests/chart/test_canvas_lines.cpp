// The one-pixel line stepper against a plain reference: the same pixels for
// lines of any length and direction, inside and across the bitmap's edges and a
// clip, with every pen pattern and raster mode; and only the visible part of a
// line costs steps, however far its ends lie outside.

#include "ChartTestSupport.h"

#include <QPainter>

#include <random>

namespace {

constexpr TColor kPaper = 0x00F0E0D0;
constexpr int kFar = 67108863;  // the largest pixel position a data value maps to

struct LinePen {
    TColor Color = clRed;
    TPenStyle Style = psSolid;
    TPenMode Mode = pmCopy;
    bool Opaque = false;  // gaps of a dotted line in the background colour
};

// Pixel i of a line lies i steps along its major axis from the start and
// m(i) = floor((2 i minor + major) / (2 major)) steps across it; the end point
// is left out. This walks the visible stretch of the major axis and computes
// each pixel on its own, without the stepper's bounds or carried remainder.
void ReferenceLine(QImage& img, const TRect& visible, int x0, int y0, int x1, int y1, const LinePen& pen) {
    __extension__ using wide = __int128;
    const long long dx = static_cast<long long>(x1) - x0, dy = static_cast<long long>(y1) - y0;
    const bool xMajor = std::llabs(dx) >= std::llabs(dy);
    const long long major = xMajor ? std::llabs(dx) : std::llabs(dy), minor = xMajor ? std::llabs(dy) : std::llabs(dx);
    const int sa = (xMajor ? dx : dy) < 0 ? -1 : 1, sb = (xMajor ? dy : dx) < 0 ? -1 : 1;
    const long long a0 = xMajor ? x0 : y0, b0 = xMajor ? y0 : x0;
    const int aFrom = xMajor ? visible.Left : visible.Top, aTo = xMajor ? visible.Right : visible.Bottom;
    const QRgb ink = ToQColor(pen.Color).rgb(), gap = ToQColor(clWhite).rgb();
    for (int a = aFrom; a < aTo; ++a) {
        const long long i = sa > 0 ? a - a0 : a0 - a;
        if (i < 0 || i >= major) continue;
        const long long m = static_cast<long long>((2 * static_cast<wide>(i) * minor + major) / (2 * static_cast<wide>(major)));
        const long long b = b0 + sb * m;
        const int x = static_cast<int>(xMajor ? a : b), y = static_cast<int>(xMajor ? b : a);
        if (x < visible.Left || x >= visible.Right || y < visible.Top || y >= visible.Bottom) continue;
        const bool on = pen.Style != psDot || i % 6 < 3;
        const QRgb screen = img.pixel(x, y);
        if (on)
            img.setPixel(x, y, pen.Mode == pmXor ? ((ink ^ screen) & 0xFFFFFFu) | 0xFF000000u : ink);
        else if (pen.Opaque)
            img.setPixel(x, y, gap);
    }
}

QImage Paper(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(ToQColor(kPaper));
    return img;
}

// Draws lines on the chart's own bitmap (the buffered surface), optionally
// clipped, and returns the bitmap.
struct BufferedSurface {
    BufferedSurface(int w, int h) : width(w), height(h) {
        canvas.StartBuffer(nullptr, {0, 0, w, h});
        canvas.SelectBrush(kPaper, bsSolid);
        canvas.FillRectangle({0, 0, w, h});
    }
    void Pen(const LinePen& p) {
        TSurfacePen s;
        s.Color = p.Color, s.Style = p.Style, s.Mode = p.Mode;
        canvas.SelectPen(s);
        canvas.SetBackgroundMode(p.Opaque ? bmOpaque : bmTransparent);
        canvas.SetBackgroundColour(clWhite);
    }
    QImage Done() {
        canvas.CopyBufferTo(nullptr, {0, 0, width, height});
        return canvas.Bitmap().copy();
    }
    int width, height;
    TChartCanvas canvas;
};

int RandomEnd(std::mt19937& rng, int low, int high) {
    // Most ends near the bitmap, some a few screens away, some as far as a
    // data value can map.
    switch (std::uniform_int_distribution<int>(0, 5)(rng)) {
    case 0: return std::uniform_int_distribution<int>(-kFar, kFar)(rng);
    case 1: return std::uniform_int_distribution<int>(-5000, 5000)(rng);
    default: return std::uniform_int_distribution<int>(low, high)(rng);
    }
}

::testing::AssertionResult SameImages(const QImage& actual, const QImage& expected) {
    for (int y = 0; y < expected.height(); ++y)
        for (int x = 0; x < expected.width(); ++x)
            if (actual.pixel(x, y) != expected.pixel(x, y))
                return ::testing::AssertionFailure() << "pixel " << x << "," << y << " is " << std::hex << actual.pixel(x, y)
                                                     << ", expected " << expected.pixel(x, y);
    return ::testing::AssertionSuccess();
}

}  // namespace

TEST(CanvasLineStepper, PaintsTheReferencePixelsOfRandomLinesInsideAndAcrossTheEdges) {
    std::mt19937 rng(20240611);
    const LinePen pens[] = {{clRed, psSolid, pmCopy, false},
                            {clBlue, psDot, pmCopy, true},
                            {clGreen, psDot, pmCopy, false},
                            {0x00336699, psSolid, pmXor, false}};
    const int w = 37, h = 23;
    int lines = 0;
    for (int round = 0; round < 400; ++round) {
        const LinePen& pen = pens[round % 4];
        // Every other round inside a clip that leaves a margin on some sides.
        const bool clipped = round % 2 == 1;
        const TRect clip{std::uniform_int_distribution<int>(-3, 12)(rng), std::uniform_int_distribution<int>(-3, 8)(rng),
                         std::uniform_int_distribution<int>(20, w + 3)(rng), std::uniform_int_distribution<int>(12, h + 3)(rng)};
        const TRect visible = clipped ? IntersectRect(clip, {0, 0, w, h}) : TRect{0, 0, w, h};
        BufferedSurface s(w, h);
        if (clipped) s.canvas.ClipToRectangle(clip);
        s.Pen(pen);
        QImage expected = Paper(w, h);
        for (int k = 0; k < 8; ++k, ++lines) {
            const int x0 = RandomEnd(rng, -30, w + 30), y0 = RandomEnd(rng, -30, h + 30);
            const int x1 = RandomEnd(rng, -30, w + 30), y1 = RandomEnd(rng, -30, h + 30);
            s.canvas.MoveTo(x0, y0);
            s.canvas.LineTo(x1, y1);
            ReferenceLine(expected, visible, x0, y0, x1, y1, pen);
        }
        const QImage actual = s.Done();
        ASSERT_TRUE(SameImages(actual, expected)) << "round " << round;
    }
    EXPECT_EQ(lines, 3200);
}

TEST(CanvasLineStepper, EdgeCasesOfTheVisibleStretch) {
    // Lines that touch the bitmap in one pixel, run along its edges, start or
    // end exactly on them, or pass a corner by one pixel.
    const int w = 20, h = 12;
    const int cases[][4] = {
        {-5, -5, 0, 0},   {-5, -5, 1, 1},     {0, 0, 20, 12},  {19, 11, -1, -1},  {-10, 0, 30, 0},
        {-10, 11, 30, 11}, {0, -10, 0, 30},   {19, 30, 19, -10}, {-1, 12, 20, -1}, {20, 0, -1, 12},
        {-40, 13, 60, -2}, {21, -3, -2, 14},  {5, 5, 6, 100000}, {5, 5, 100000, 6}, {-100000, 6, 5, 5},
        {-kFar, -kFar, kFar, kFar}, {kFar, -kFar, -kFar, kFar}, {-kFar, 5, kFar, 6}, {7, -kFar, 8, kFar},
    };
    const LinePen pen{clRed, psDot, pmCopy, true};
    BufferedSurface s(w, h);
    s.Pen(pen);
    QImage expected = Paper(w, h);
    for (const auto& c : cases) {
        s.canvas.MoveTo(c[0], c[1]);
        s.canvas.LineTo(c[2], c[3]);
        ReferenceLine(expected, {0, 0, w, h}, c[0], c[1], c[2], c[3], pen);
    }
    EXPECT_TRUE(SameImages(s.Done(), expected));
}

TEST(CanvasLineStepper, APainterTargetGetsTheSamePixelsAsTheBitmap) {
    // Drawing straight on a window's painter (no buffer) takes the stepper's
    // other way out, through the painter and its clip.
    std::mt19937 rng(7);
    const int w = 31, h = 19;
    QImage image = Paper(w, h);
    QImage expected = Paper(w, h);
    {
        QPainter painter(&image);
        TChartCanvas canvas;
        canvas.SetBufferedDisplay(false);
        canvas.StartBuffer(&painter, {0, 0, w, h});
        canvas.ClipToRectangle({3, 2, 25, 30});
        TSurfacePen p;
        p.Color = clBlue;
        canvas.SelectPen(p);
        for (int k = 0; k < 300; ++k) {
            const int x0 = RandomEnd(rng, -20, w + 20), y0 = RandomEnd(rng, -20, h + 20);
            const int x1 = RandomEnd(rng, -20, w + 20), y1 = RandomEnd(rng, -20, h + 20);
            canvas.MoveTo(x0, y0);
            canvas.LineTo(x1, y1);
            ReferenceLine(expected, {3, 2, 25, h}, x0, y0, x1, y1, {clBlue});
        }
    }
    EXPECT_TRUE(SameImages(image, expected));
}

TEST(CanvasLineStepper, StepsOnlyThePixelsThatCanShow) {
    BufferedSurface s(505, 313);
    s.Pen({});
    TChartCanvas& c = s.canvas;
    auto steps = [&c](int x0, int y0, int x1, int y1) {
        const long long before = c.LineSteps();
        c.MoveTo(x0, y0);
        c.LineTo(x1, y1);
        return c.LineSteps() - before;
    };
    // Across the whole bitmap from far outside: one step per visible column or row.
    EXPECT_EQ(steps(-kFar, 100, kFar, 200), 505);
    EXPECT_EQ(steps(250, -kFar, 251, kFar), 313);
    EXPECT_LE(steps(-kFar, -kFar + 7, kFar, kFar - 3), 313);
    // Falling across the bitmap, at x = 0 through y = 150.
    const long long falling = steps(kFar, 150 - 45000000, -kFar, 150 + 45000000);
    EXPECT_GT(falling, 200);
    EXPECT_LE(falling, 260);
    // Past the bitmap: nothing at all.
    EXPECT_EQ(steps(-kFar, -10, kFar, -kFar), 0);
    EXPECT_EQ(steps(600, -kFar, 700, kFar), 0);
    EXPECT_EQ(steps(-kFar, 400, kFar, 313), 0);
    // A short line inside costs its own length, as before.
    EXPECT_EQ(steps(10, 10, 110, 60), 100);
    // Inside a clip only the clip's part counts.
    c.ClipToRectangle({100, 50, 200, 150});
    EXPECT_EQ(steps(-kFar, 100, kFar, 101), 100);
    EXPECT_EQ(steps(0, 0, 505, 313), 100);
    c.RemoveClip();
}
