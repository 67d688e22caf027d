// The drawing surface, pixel by pixel: which pixels each primitive paints, the
// inverting pen mode, the one-level clip, text measuring, alignment and rotation.

#include "ChartTestSupport.h"

#include <QPainter>
#include <QPalette>

#include <random>

namespace {

constexpr TColor kPaper = 0x00F0E0D0;  // a background no primitive paints with

// A canvas drawing straight onto an image (no off-screen buffer in between).
struct Surface {
    explicit Surface(int w = 40, int h = 30) : image(w, h, QImage::Format_RGB32) {
        image.fill(ToQColor(kPaper));
        painter = std::make_unique<QPainter>(&image);
        canvas.SetBufferedDisplay(false);
        canvas.SetPixelsPerInch(120);
        canvas.StartBuffer(painter.get(), {0, 0, w, h});
    }
    // Ends painting; the image can then be read.
    const QImage& Done() {
        painter.reset();
        return image;
    }
    void Pen(TColor c, TPenStyle style = psSolid, TPenMode mode = pmCopy) {
        TSurfacePen p;
        p.Color = c, p.Style = style, p.Mode = mode;
        canvas.SelectPen(p);
    }

    QImage image;
    std::unique_ptr<QPainter> painter;
    TChartCanvas canvas;
};

int CountInk(const QImage& img, TColor ink) {
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) n += PixelColor(img, x, y) == ink;
    return n;
}

}  // namespace

TEST(CanvasLines, HorizontalAndVerticalLinesLeaveOutTheEndPointEitherWay) {
    Surface s(30, 30);
    s.Pen(clRed);
    s.canvas.HorizontalLine(10, 20, 2);  // 10 .. 19
    s.canvas.HorizontalLine(20, 10, 5);  // 20 .. 11
    s.canvas.VerticalLine(3, 10, 20);    // 10 .. 19
    s.canvas.VerticalLine(6, 20, 10);    // 20 .. 11
    s.canvas.HorizontalLine(25, 25, 8);  // no pixel at all
    const QImage& img = s.Done();
    EXPECT_EQ(RowPattern(img, 2, 8, 23, clRed), "..##########...");
    EXPECT_EQ(RowPattern(img, 5, 8, 23, clRed), "...##########..");
    EXPECT_EQ(ColumnPattern(img, 3, 8, 23, clRed), "..##########...");
    EXPECT_EQ(ColumnPattern(img, 6, 8, 23, clRed), "...##########..");
    EXPECT_EQ(CountInk(img, clRed), 40);
}

TEST(CanvasLines, LineToJoinsSegmentsWithoutPaintingAVertexTwice) {
    Surface s(30, 30);
    s.Pen(clBlue, psSolid, pmXor);  // a pixel painted twice would return to the background
    s.canvas.MoveTo(2, 2);
    s.canvas.LineTo(12, 2);
    s.canvas.LineTo(12, 12);
    s.canvas.LineTo(2, 12);
    s.canvas.LineTo(2, 2);
    EXPECT_EQ(s.canvas.PenX(), 2);
    EXPECT_EQ(s.canvas.PenY(), 2);
    const QImage& img = s.Done();
    const TColor xored = kPaper ^ ColorToRGB(clBlue);
    EXPECT_EQ(CountInk(img, xored), 40);
    EXPECT_EQ(RowPattern(img, 2, 0, 15, xored), "..###########..");
    EXPECT_EQ(ColumnPattern(img, 12, 0, 15, xored), "..###########..");
}

TEST(CanvasLines, DiagonalLinesStepOnePixelPerColumnAndStopShortOfTheEnd) {
    Surface s(30, 30);
    s.Pen(clRed);
    s.canvas.MoveTo(1, 1);
    s.canvas.LineTo(11, 11);   // 45 degrees: (1,1) .. (10,10)
    s.canvas.MoveTo(20, 2);
    s.canvas.LineTo(26, 5);    // shallow, drawn left to right
    const QImage& img = s.Done();
    for (int i = 1; i <= 10; ++i) EXPECT_EQ(PixelColor(img, i, i), clRed) << i;
    EXPECT_NE(PixelColor(img, 11, 11), clRed);
    // One pixel per column from 20 to 25, rising by 3 rows over 6 columns.
    int painted = 0;
    for (int x = 20; x <= 26; ++x) {
        int inColumn = 0;
        for (int y = 0; y < 10; ++y) inColumn += PixelColor(img, x, y) == clRed;
        EXPECT_EQ(inColumn, x < 26 ? 1 : 0) << x;
        painted += inColumn;
    }
    EXPECT_EQ(painted, 6);
    EXPECT_EQ(PixelColor(img, 20, 2), clRed);
    EXPECT_EQ(PixelColor(img, 25, 5), clRed);  // the last column reaches the end row
}

TEST(CanvasLines, DottedAndSmallDotPensFollowTheirPatterns) {
    Surface s(40, 12);
    TChartCanvas& c = s.canvas;
    TDottedGrayPen dotted;
    c.SelectChartPen(dotted);
    c.HorizontalLine(0, 18, 1);
    c.SetBackgroundMode(bmOpaque);  // gaps take the background colour
    c.SetBackgroundColour(clYellow);
    c.HorizontalLine(0, 18, 3);
    c.SetBackgroundMode(bmTransparent);
    TChartPen small;
    small.SetSmallDots(true);
    small.SetColor(clRed);
    c.SelectChartPen(small);
    c.HorizontalLine(0, 10, 5);
    small.SetSmallSpace(2);
    c.SelectChartPen(small);
    c.HorizontalLine(0, 12, 7);
    const QImage& img = s.Done();
    EXPECT_EQ(RowPattern(img, 1, 0, 20, clChartGray), "###...###...###.....");
    EXPECT_EQ(RowPattern(img, 3, 0, 18, clYellow), "...###...###...###");
    EXPECT_EQ(RowPattern(img, 5, 0, 11, clRed), "#.#.#.#.#..");
    EXPECT_EQ(RowPattern(img, 7, 0, 13, clRed), "#...#...#....");
}

TEST(CanvasPens, HiddenPenDrawsNothingAndLaterDrawingStillWorks) {
    Surface s(20, 20);
    TChartHiddenPen hidden;
    hidden.SetColor(clRed);
    s.canvas.SelectChartPen(hidden, clRed);
    EXPECT_EQ(s.canvas.Pen().Style, psClear);
    s.canvas.HorizontalLine(0, 10, 1);
    s.canvas.MoveTo(0, 0);
    s.canvas.LineTo(10, 10);
    s.canvas.ClearBrush();
    s.canvas.RectangleOutline(2, 2, 8, 8);
    TChartPen visible;
    s.canvas.SelectChartPen(visible, clBlue);
    s.canvas.HorizontalLine(0, 5, 15);
    const QImage& img = s.Done();
    EXPECT_EQ(CountInk(img, clRed), 0);
    EXPECT_EQ(CountInk(img, clBlue), 5);
}

TEST(CanvasPens, ChartPenSelectionFollowsWidthMonochromeAndEndStyle) {
    TChartCanvas c;
    TChartPen pen;
    pen.SetWidth(2);
    pen.SetEndStyle(esFlat);
    pen.SetMode(pmXor);
    c.SelectChartPen(pen, clGreen);
    EXPECT_TRUE(c.Pen().Wide);
    EXPECT_EQ(c.Pen().Color, clGreen);
    EXPECT_EQ(c.Pen().EndStyle, esFlat);
    EXPECT_EQ(c.Pen().Mode, pmXor);
    pen.SetWidth(1);
    c.SetMonochrome(true);
    c.SelectChartPen(pen, clGreen);
    EXPECT_FALSE(c.Pen().Wide);
    EXPECT_EQ(c.Pen().Color, clBlack);
    TChartBrush brush;
    c.SelectChartBrush(brush, clRed, clNone);
    EXPECT_EQ(c.Brush().Color, clWhite);
    EXPECT_EQ(c.BackgroundMode(), bmTransparent);
    c.SetMonochrome(false);
    c.SelectChartBrush(brush, clRed, clAqua);
    EXPECT_EQ(c.Brush().Color, clRed);
    EXPECT_EQ(c.BackgroundMode(), bmOpaque);
    EXPECT_EQ(c.BackgroundColour(), clAqua);
}

TEST(CanvasRectangles, OutlineAndFillLeaveOutTheRightColumnAndBottomRow) {
    Surface s(20, 20);
    s.Pen(clBlack);
    s.canvas.SelectBrush(clRed, bsSolid);
    s.canvas.RectangleOutline(2, 3, 12, 9);
    s.Pen(clBlack, psClear);
    s.canvas.SelectBrush(clBlue, bsSolid);
    s.canvas.RectangleOutline(14, 3, 18, 6);  // no pen: the brush alone
    s.canvas.SelectBrush(clGreen, bsSolid);
    s.canvas.FillRectangle({14, 10, 17, 12});
    const QImage& img = s.Done();
    EXPECT_EQ(RowPattern(img, 3, 0, 14, clBlack), "..##########..");
    EXPECT_EQ(RowPattern(img, 8, 0, 14, clBlack), "..##########..");
    EXPECT_EQ(RowPattern(img, 5, 0, 14, clBlack), "..#........#..");
    EXPECT_EQ(RowPattern(img, 5, 0, 14, clRed), "...########...");
    EXPECT_EQ(ColumnPattern(img, 2, 0, 11, clBlack), "...######..");
    EXPECT_EQ(CountInk(img, clRed), 8 * 4);
    EXPECT_EQ(CountInk(img, clBlue), 4 * 3);
    EXPECT_EQ(InkBounds(img.copy(13, 9, 7, 11), kPaper), (TRect{1, 1, 4, 3}));
}

TEST(CanvasRectangles, NormalisesReversedCornersAndDrawsThinFramesOnce) {
    Surface s(20, 20);
    s.Pen(clBlue, psSolid, pmXor);
    s.canvas.ClearBrush();
    s.canvas.RectangleOutline(12, 9, 2, 3);  // corners given the other way round
    s.canvas.RectangleOutline(15, 2, 16, 7); // one column wide
    const QImage& img = s.Done();
    const TColor xored = kPaper ^ ColorToRGB(clBlue);
    EXPECT_EQ(RowPattern(img, 3, 0, 14, xored), "..##########..");
    EXPECT_EQ(CountInk(img, xored), 2 * 10 + 2 * 4 + 5);
    EXPECT_EQ(ColumnPattern(img, 15, 0, 9, xored), "..#####..");
}

TEST(CanvasPens, NotXorOutlineIsTheInverseOfPenXorBackgroundAndUndoesItself) {
    Surface s(24, 24);
    std::mt19937 rng(7);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) s.image.setPixel(x, y, 0xFF000000u | (rng() & 0xFFFFFFu));
    const QImage before = s.image.copy();
    s.Pen(0x3366CC, psSolid, pmNotXor);
    s.canvas.ClearBrush();
    s.canvas.RectangleOutline(3, 4, 20, 18);
    QPainter* p = s.painter.get();
    p->end();
    const QImage once = s.image.copy();
    p->begin(&s.image);
    s.canvas.StartBuffer(p, {0, 0, 24, 24});
    s.canvas.RectangleOutline(3, 4, 20, 18);
    const QImage& twice = s.Done();
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) {
            const bool frame = (x >= 3 && x <= 19 && (y == 4 || y == 17)) || (y >= 4 && y <= 17 && (x == 3 || x == 19));
            const TColor b = PixelColor(before, x, y);
            const TColor expected = frame ? (~(ColorToRGB(0x3366CC) ^ b)) & 0xFFFFFF : b;
            ASSERT_EQ(PixelColor(once, x, y), expected) << x << "," << y;
            ASSERT_EQ(PixelColor(twice, x, y), b) << x << "," << y;
        }
}

TEST(CanvasFrames, Frame3DPaintsTopLeftThenBottomRightRingByRing) {
    Surface s(12, 10);
    TRect r{0, 0, 10, 8};
    s.canvas.DrawFrame3D(r, clWhite, clGray, 2);
    EXPECT_EQ(r, (TRect{2, 2, 8, 6}));
    const QImage& img = s.Done();
    // Outer ring: top row white but its last pixel, left column white but its last.
    EXPECT_EQ(RowPattern(img, 0, 0, 12, clWhite), "#########...");
    EXPECT_EQ(ColumnPattern(img, 0, 0, 10, clWhite), "#######...");
    EXPECT_EQ(RowPattern(img, 7, 0, 12, clGray), "##########..");  // bottom-left corner grey
    EXPECT_EQ(ColumnPattern(img, 9, 0, 10, clGray), "########..");
    // Inner ring, one pixel in.
    EXPECT_EQ(RowPattern(img, 1, 0, 12, clWhite), "########....");  // outer left column, then inner top
    EXPECT_EQ(RowPattern(img, 6, 0, 12, clGray), ".#########..");  // ends on the outer right column
    EXPECT_EQ(PixelColor(img, 2, 2), kPaper);
}

TEST(CanvasClip, NestedClipsRememberOneRegionOnly) {
    Surface s(30, 30);
    TChartCanvas& c = s.canvas;
    c.SelectBrush(clRed, bsSolid);
    c.ClipToRectangle({0, 0, 20, 20});   // a clip already in force
    c.ClipToRectangle({5, 5, 25, 25});   // first of the two nested calls
    c.ClipToRectangle({10, 0, 30, 12});  // second
    c.FillRectangle({0, 0, 30, 30});
    c.RemoveClip();  // back to the first call's clip: (5,5)-(20,20)
    c.SelectBrush(clBlue, bsSolid);
    c.FillRectangle({0, 0, 30, 30});
    c.RemoveClip();  // nothing remembered: no clip at all
    EXPECT_FALSE(c.IsClipped());
    c.SelectBrush(clGreen, bsSolid);
    c.FillRectangle({0, 0, 1, 30});
    c.FillRectangle({29, 0, 30, 30});
    const QImage& img = s.Done();
    // Red only where all three met, then overpainted in blue where the first call allowed.
    EXPECT_EQ(InkBounds(img.copy(1, 0, 28, 30), kPaper), (TRect{4, 5, 19, 20}));
    EXPECT_EQ(CountInk(img, clRed), 0);  // (10..19, 5..11) lies inside the blue area too
    EXPECT_EQ(CountInk(img, clBlue), 15 * 15);
    EXPECT_EQ(CountInk(img, clGreen), 60);
}

TEST(CanvasClip, ClipLimitsLinesToTheInsideAndRemoveClipWithoutClipIsHarmless) {
    Surface s(20, 20);
    s.canvas.RemoveClip();
    s.Pen(clRed);
    s.canvas.ClipToRectangle({5, 5, 10, 10});
    s.canvas.HorizontalLine(0, 20, 7);
    s.canvas.RemoveClip();
    s.canvas.HorizontalLine(0, 20, 12);
    const QImage& img = s.Done();
    EXPECT_EQ(RowPattern(img, 7, 0, 20, clRed), ".....#####..........");
    EXPECT_EQ(CountInk(img, clRed), 25);
}

TEST(CanvasText, FontsAreSizedAtTheSurfacesPixelsPerInch) {
    TChartCanvas c;
    TChartFont font;
    c.SetPixelsPerInch(120);
    c.SelectChartFont(font);
    EXPECT_EQ(c.Font().pixelSize(), 13);  // 8 points at 120 ppi
    c.SetPixelsPerInch(96);
    EXPECT_EQ(c.Font().pixelSize(), 11);  // the remembered font follows the surface
    c.SetFontZoom(150);
    EXPECT_EQ(c.Font().pixelSize(), 16);  // 12 points at 96 ppi
    font.SetSize(10);
    font.SetStyle(fsBold | fsItalic);
    c.SetFontZoom(100);
    c.SelectChartFont(font);
    EXPECT_EQ(c.Font().pixelSize(), 13);
    EXPECT_TRUE(c.Font().bold());
    EXPECT_TRUE(c.Font().italic());
    c.ResetSurface();
    EXPECT_EQ(c.RememberedFont(), nullptr);
    EXPECT_FALSE(c.Font().bold());
    EXPECT_EQ(c.Font().pixelSize(), 11);
}

TEST(CanvasText, ShadowSizesCountIntoHeightAndWidth) {
    TChartCanvas c;
    c.SetPixelsPerInch(120);
    TChartFont plain, shadowed;
    c.SelectChartFont(plain);
    const int h = c.CharHeight(), w = c.MeasureWidth("Level 12");
    EXPECT_GT(h, 10);
    EXPECT_GT(w, 20);
    shadowed.Shadow().SetVertSize(-3);
    shadowed.Shadow().SetHorizSize(2);
    c.SelectChartFont(shadowed);
    EXPECT_EQ(c.CharHeight(), h + 3);
    EXPECT_EQ(c.MeasureWidth("Level 12"), w + 2);
    shadowed.SetInterCharSize(1);
    c.SelectChartFont(shadowed);
    EXPECT_GT(c.MeasureWidth("Level 12"), w + 2);
}

TEST(CanvasText, AlignmentFlagsPlaceTheTextCellAroundThePoint) {
    struct Case { int flags; int dx; int dy; };  // cell origin relative to the point, in w/h units
    TChartCanvas probe;
    probe.SetPixelsPerInch(120);
    TChartFont font;
    probe.SelectChartFont(font);
    const int w = probe.MeasureWidth("H8"), h = probe.CharHeight();
    for (Case k : {Case{TA_LEFT | TA_TOP, 0, 0}, Case{TA_RIGHT | TA_TOP, -2, 0},
                   Case{TA_CENTER | TA_TOP, -1, 0}, Case{TA_CENTER | TA_BOTTOM, -1, -2},
                   Case{TA_LEFT | TA_BOTTOM, 0, -2}}) {
        Surface s(80, 60);
        s.canvas.SelectChartFont(font);
        s.canvas.SetTextAlignment(k.flags);
        s.canvas.SetBackgroundMode(bmOpaque);
        s.canvas.SetBackgroundColour(clYellow);
        s.canvas.WriteText(40, 30, "H8");
        const QImage& img = s.Done();
        const int left = 40 + (k.dx == -2 ? -w : k.dx == -1 ? -(w / 2) : 0);
        const int top = 30 + (k.dy == -2 ? -h : 0);
        EXPECT_EQ(InkBounds(img, kPaper), (TRect{left, top, left + w, top + h})) << "flags " << k.flags;
        // The glyphs themselves are black and inside the cell.
        EXPECT_GT(CountInk(img, clBlack), 10);
    }
}

TEST(CanvasText, RotatedTextAlignsInItsOwnFrameAndReducesTheAngle) {
    TChartFont font;
    auto render = [&](int angle, int flags) {
        auto s = std::make_unique<Surface>(80, 80);
        s->canvas.SelectChartFont(font);
        s->canvas.SetTextAlignment(flags);
        s->canvas.WriteRotatedText(40, 40, angle, "Hg");
        return s->Done().copy();
    };
    TChartCanvas probe;
    probe.SetPixelsPerInch(120);
    probe.SelectChartFont(font);
    const int w = probe.MeasureWidth("Hg"), h = probe.CharHeight();

    // 90 degrees, left-top: the text reads upward from the point and lies right of it.
    const TRect up = InkBounds(render(90, TA_LEFT | TA_TOP), kPaper);
    EXPECT_GE(up.Left, 40);
    EXPECT_LE(up.Right, 40 + h);
    EXPECT_LE(up.Bottom, 41);
    EXPECT_GE(up.Top, 40 - w);
    // "Bottom" is the side facing +x: the text now lies left of the point.
    const TRect upBottom = InkBounds(render(90, TA_LEFT | TA_BOTTOM), kPaper);
    EXPECT_LE(upBottom.Right, 40);
    EXPECT_GE(upBottom.Left, 40 - h);
    // Centred along the rotated line: half above, half below the point.
    const TRect upCentre = InkBounds(render(90, TA_CENTER | TA_TOP), kPaper);
    EXPECT_GT(upCentre.Bottom, 40 + w / 4);
    EXPECT_LT(upCentre.Top, 40 - w / 4);
    // 450 degrees is 90 degrees.
    EXPECT_EQ(render(450, TA_LEFT | TA_TOP), render(90, TA_LEFT | TA_TOP));
    // 270 degrees reads downward and lies left of the point.
    const TRect down = InkBounds(render(270, TA_LEFT | TA_TOP), kPaper);
    EXPECT_LE(down.Right, 41);
    EXPECT_GE(down.Top, 39);
}

TEST(CanvasText, ShadowIsWrittenFirstAndDisplaced) {
    TChartFont font;
    font.SetColor(clBlack);
    font.Shadow().SetColor(clRed);
    font.Shadow().SetHorizSize(3);
    font.Shadow().SetVertSize(2);
    Surface s(80, 40);
    s.canvas.SelectChartFont(font);
    s.canvas.WriteText(10, 10, "HH");
    const QImage& img = s.Done();
    // Where the text and its shadow overlap the text wins; the shadow sticks
    // out 3 to the right and 2 below.
    QImage red(img.size(), QImage::Format_RGB32), black(img.size(), QImage::Format_RGB32);
    red.fill(Qt::white), black.fill(Qt::white);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (PixelColor(img, x, y) == clRed) red.setPixel(x, y, 0xFF000000);
            if (PixelColor(img, x, y) == clBlack) black.setPixel(x, y, 0xFF000000);
        }
    const TRect rb = InkBounds(red, clWhite), bb = InkBounds(black, clWhite);
    ASSERT_FALSE(rb.IsEmpty());
    ASSERT_FALSE(bb.IsEmpty());
    EXPECT_EQ(rb.Right, bb.Right + 3);
    EXPECT_EQ(rb.Bottom, bb.Bottom + 2);
}

TEST(CanvasText, SmoothFontsAloneGetGreyEdgesWithoutColourFringes) {
    // The pixels of a text that are neither paper nor ink, and whether any
    // of them is coloured (red, green and blue unequal on black on white).
    struct Edges {
        int grey = 0;
        bool coloured = false;
    };
    auto write = [](bool smooth, const char* text) {
        TChartFont font;
        font.SetColor(clBlack);
        font.SetSmooth(smooth);
        Surface s(120, 40);
        s.image.fill(Qt::white);
        s.canvas.SelectChartFont(font);
        s.canvas.WriteText(4, 8, text);
        const QImage& img = s.Done();
        Edges e;
        for (int y = 0; y < img.height(); ++y)
            for (int x = 0; x < img.width(); ++x) {
                const QRgb p = img.pixel(x, y) & 0xFFFFFF;
                if (p == 0xFFFFFF || p == 0) continue;
                ++e.grey;
                e.coloured = e.coloured || qRed(p) != qGreen(p) || qGreen(p) != qBlue(p);
            }
        return e;
    };
    for (const char* text : {"1130.5", "\u6d41\u91cf m^3/s"}) {
        EXPECT_EQ(write(false, text).grey, 0) << text;
        const Edges smooth = write(true, text);
        EXPECT_GT(smooth.grey, 10) << text;
        EXPECT_FALSE(smooth.coloured) << text;
    }
    // The two are different faces of the same size: the text's cell stays.
    TChartCanvas c;
    c.SetPixelsPerInch(120);
    TChartFont crisp, smooth;
    smooth.SetSmooth(true);
    c.SelectChartFont(crisp);
    const int h = c.CharHeight();
    EXPECT_FALSE(c.Font().styleStrategy() & QFont::PreferAntialias);
    c.SelectChartFont(smooth);
    EXPECT_EQ(c.CharHeight(), h);
    EXPECT_TRUE(c.Font().styleStrategy() & QFont::PreferAntialias);
}

TEST(CanvasBuffer, StartBufferCopyAndRecopy) {
    TChartCanvas c;
    QImage screen(50, 40, QImage::Format_RGB32);
    screen.fill(Qt::black);
    QPainter control(&screen);
    c.SetControlCanvas(&control);
    EXPECT_TRUE(c.BufferDirty());
    EXPECT_FALSE(c.RecopyBuffer());  // nothing kept yet

    const TRect bounds = c.StartBuffer(&control, {5, 6, 25, 16});
    EXPECT_EQ(bounds, (TRect{0, 0, 20, 10}));
    EXPECT_EQ(c.Bitmap().size(), QSize(20, 10));
    c.SelectBrush(clRed, bsSolid);
    c.FillRectangle(bounds);
    c.CopyBufferTo(&control, {5, 6, 25, 16});
    EXPECT_FALSE(c.BufferDirty());
    EXPECT_EQ(c.Target(), &control);

    EXPECT_TRUE(c.RecopyBuffer());  // the kept bitmap goes to (0, 0)
    control.end();
    EXPECT_EQ(InkBounds(screen, clBlack), (TRect{0, 0, 25, 16}));
    EXPECT_EQ(PixelColor(screen, 24, 15), clRed);
    EXPECT_EQ(PixelColor(screen, 2, 2), clRed);
    EXPECT_EQ(PixelColor(screen, 2, 14), clBlack);
    c.SetBufferDirty(true);
    EXPECT_FALSE(c.RecopyBuffer());
}

TEST(CanvasColours, SystemColoursComeFromThePlatformPalette) {
    const QPalette pal = QGuiApplication::palette();
    const QColor face = pal.color(QPalette::Active, QPalette::Button);
    EXPECT_EQ(ToQColor(clBtnFace).rgb(), face.rgb());
    EXPECT_EQ(ToQColor(clBtnHighlight).rgb(), pal.color(QPalette::Active, QPalette::Light).rgb());
    EXPECT_EQ(ToQColor(clBtnShadow).rgb(), pal.color(QPalette::Active, QPalette::Dark).rgb());
    EXPECT_EQ(ColorToRGB(clRed), 0x0000FFu);
    EXPECT_EQ(ToQColor(clRed), QColor(255, 0, 0));
    EXPECT_EQ(ToQColor(0x00336699), QColor(0x99, 0x66, 0x33));
}

// The chart's own bitmap is written directly; any other target goes through the
// painter. Both must give the same pixels.
TEST(CanvasBuffer, BitmapAndPainterTargetsPaintTheSamePixels) {
    auto scene = [](TChartCanvas& c) {
        for (int band = 0; band < 8; ++band) {
            c.SelectBrush(0x102030u * static_cast<TColor>(band + 1), bsSolid);
            c.FillRectangle({0, band * 10, 90, band * 10 + 10});
        }
        TSurfacePen pen;
        for (int mode = pmBlack; mode <= pmNotXor; ++mode) {
            pen.Mode = static_cast<TPenMode>(mode);
            pen.Color = 0x3366CC;
            c.SelectPen(pen);
            c.MoveTo(2, 2 + 4 * mode);
            c.LineTo(60 + mode, 9 + 4 * mode);
        }
        pen = TSurfacePen{};
        pen.Style = psDashDot;
        pen.Color = clRed;
        c.SelectPen(pen);
        c.SetBackgroundMode(bmOpaque);
        c.SetBackgroundColour(clYellow);
        c.VerticalLine(70, 78, 0);
        c.SetBackgroundMode(bmTransparent);
        c.ClipToRectangle({20, 30, 80, 70});
        pen = TSurfacePen{};
        pen.Mode = pmNotXor;
        c.SelectPen(pen);
        c.SelectBrush(clLime, bsSolid);
        c.RectangleOutline(10, 25, 85, 75);
        c.MoveTo(0, 79);
        c.LineTo(89, 0);
        c.RemoveClip();
        TRect r{40, 5, 88, 60};
        c.DrawFrame3D(r, clWhite, clGray, 2);
    };
    TChartCanvas buffered;
    QImage viaPainter(90, 80, QImage::Format_RGB32);
    viaPainter.fill(Qt::black);
    {
        QPainter p(&viaPainter);
        buffered.StartBuffer(&p, {0, 0, 90, 80});
        scene(buffered);
        buffered.CopyBufferTo(&p, {0, 0, 90, 80});
    }
    Surface direct(90, 80);
    scene(direct.canvas);
    const QImage& img = direct.Done();
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 90; ++x) ASSERT_EQ(PixelColor(viaPainter, x, y), PixelColor(img, x, y)) << x << "," << y;
    EXPECT_EQ(buffered.Bitmap().convertToFormat(QImage::Format_RGB32), viaPainter);
}
