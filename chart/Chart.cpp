#include "Chart.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {
constexpr const char* kBevels[] = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
constexpr const char* kShapeStyles[] = {"fosRectangle", "fosRoundRectangle"};
constexpr const char* kAlignments[] = {"taLeftJustify", "taRightJustify", "taCenter"};
constexpr const char* kTextFormats[] = {"ttfNormal", "ttfHtml"};
constexpr const char* kLegendAlignments[] = {"laLeft", "laRight", "laTop", "laBottom"};
constexpr const char* kButtons[] = {"mbLeft", "mbRight", "mbMiddle"};

// The gap between a title and the chart rectangle.
constexpr int kTitleGap = 5;
}  // namespace

// ---------------------------------------------------------------------------
void TChartCustomShapeBrushPen::Publish(TPublisher& p) {
    p.Object("Brush", [this](TPublisher& q) { PublishBrush(q, FBrush); });
    p.Object("Pen", [this](TPublisher& q) { PublishPen(q, FPen); });
    p.Bool("Visible", FVisible, [this](bool v) { SetVisible(v); });
}

void TChartCustomShape::Draw(TChartCanvas& c, const TRect& r) {
    if (FTransparent) return;
    if (FShadow.Size() > 0) {
        c.SelectBrush(FShadow.Color(), bsSolid);
        c.FillRectangle({r.Left + FShadow.HorizSize(), r.Top + FShadow.VertSize(), r.Right + FShadow.HorizSize(),
                         r.Bottom + FShadow.VertSize()});
    }
    c.SelectChartBrush(FBrush, FBrush.Color() == clDefault ? FColor : FBrush.Color(), clNone);
    c.SelectChartPen(FPen);
    if (FShapeStyle == fosRoundRectangle)
        c.RoundRectangle(r, 8);
    else
        c.RectangleOutline(r);
    if (FBevel != bvNone) {
        TRect inner = r;
        const TColor hi = FBevel == bvLowered ? clBtnShadow : clBtnHighlight;
        const TColor lo = FBevel == bvRaised ? clBtnShadow : clBtnHighlight;
        c.DrawFrame3D(inner, hi, lo, FBevelWidth);
    }
}

void TChartCustomShape::Publish(TPublisher& p) {
    TChartCustomShapeBrushPen::Publish(p);
    p.Enum<TBevelCut>("Bevel", FBevel, kBevels, [this](TBevelCut v) { SetBevel(v); });
    p.Integer("BevelWidth", FBevelWidth, [this](int v) { SetBevelWidth(v); });
    p.Color("Color", FColor, [this](TColor v) { SetColor(v); });
    p.Object("Font", [this](TPublisher& q) { PublishFont(q, FFont); });
    p.Object("Shadow", [this](TPublisher& q) { PublishShadow(q, FShadow); });
    p.Enum<TShapeStyle>("ShapeStyle", FShapeStyle, kShapeStyles, [this](TShapeStyle v) { SetShapeStyle(v); });
    p.Bool("Transparent", FTransparent, [this](bool v) { SetTransparent(v); });
}

void TChartCustomShapePosition::Publish(TPublisher& p) {
    TChartCustomShape::Publish(p);
    p.Bool("CustomPosition", FCustomPosition, [this](bool v) { SetCustomPosition(v); });
    p.Integer("Left", FLeft, [this](int v) { SetLeft(v); });
    p.Integer("Top", FTop, [this](int v) { SetTop(v); });
}

void TChartLegend::Publish(TPublisher& p) {
    TChartCustomShapePosition::Publish(p);
    p.Enum<TLegendAlignment>("Alignment", FAlignment, kLegendAlignments, [this](TLegendAlignment v) { SetAlignment(v); });
}

TChartGradient& TChartWall::Gradient() {
    if (!FGradient) FGradient = std::make_unique<TChartGradient>(ChangeSink());
    return *FGradient;
}

void TChartWall::Publish(TPublisher& p) {
    TChartCustomShapeBrushPen::Publish(p);
    p.Color("Color", FColor, [this](TColor v) { SetColor(v); });
    p.Bool("Dark3D", FDark3D, [this](bool v) { SetDark3D(v); });
    p.LazyObject("Gradient", HasGradient(), [this](TPublisher& q) { PublishGradient(q, Gradient()); });
    p.Integer("Size", FSize, [this](int v) { SetSize(v); });
    p.Bool("Transparent", FTransparent, [this](bool v) { SetTransparent(v); });
}

// ---------------------------------------------------------------------------
TChartTitle::TChartTitle(TChartChangeSink* sink) : TChartCustomShapePosition(sink) {
    FTransparent = true;
    FFont.SetChangeSink(nullptr);
    FFont.SetColor(clBlue);
    FFont.SetChangeSink(sink);
}

TChartFootTitle::TChartFootTitle(TChartChangeSink* sink) : TChartTitle(sink) {
    FIsFoot = true;
    FFont.SetChangeSink(nullptr);
    FFont.SetColor(clRed);
    FFont.SetStyle(fsItalic);
    FFont.SetChangeSink(sink);
}

void TChartTitle::Paint(TCustomChart& chart) {
    if (!FVisible || FText.empty()) return;
    TChartCanvas& c = chart.Canvas();
    const int n = static_cast<int>(FText.size());

    int f = FPen.Visible() && FPen.Color() != clDefault ? FPen.Width() : 0;
    if (FBevel != bvNone) f = FBevelWidth;
    if (!FCustomPosition) {
        TitleBounds = chart.PlotRect();
        if (!FIsFoot) TitleBounds.Top += f;
    } else {
        TitleBounds = {FLeft, FTop, FLeft, FTop};
    }
    c.SelectChartFont(FFont);
    c.SetTextAlignment(TA_LEFT | TA_TOP);
    const int h = c.CharHeight();
    if (!FIsFoot || FCustomPosition)
        TitleBounds.Bottom = TitleBounds.Top + n * h;
    else
        TitleBounds.Top = TitleBounds.Bottom - n * h;
    if (!FCustomPosition) TitleBounds = InflateRect(TitleBounds, f, f);

    const int w = c.MeasureWidth("W");
    if (FAdjustFrame) {
        int m = 0;
        for (const std::string& line : FText) m = std::max(m, c.MeasureWidth(line));
        const int a = w + f + m;
        switch (FAlignment) {
        case taLeftJustify: TitleBounds.Right = TitleBounds.Left + a; break;
        case taRightJustify: TitleBounds.Left = TitleBounds.Right - a; break;
        case taCenter: {
            if (FCustomPosition) TitleBounds.Right = TitleBounds.Left + a;
            const int centre = (TitleBounds.Left + TitleBounds.Right) / 2, half = a / 2;
            TitleBounds.Left = centre - half;
            TitleBounds.Right = centre + half;
            break;
        }
        }
    }

    Draw(c, TitleBounds);
    c.SelectChartFont(FFont);
    c.SetTextAlignment(TA_LEFT | TA_TOP);
    c.SetBackgroundMode(bmTransparent);
    for (int i = 0; i < n; ++i) {
        const std::string& line = FText[static_cast<std::size_t>(i)];
        const int y = FIsFoot ? TitleBounds.Bottom - h - (i * h + f) : TitleBounds.Top + i * h + f;
        int x;
        switch (FAlignment) {
        case taLeftJustify: x = TitleBounds.Left + w / 2; break;
        case taRightJustify: x = TitleBounds.Right - c.MeasureWidth(line) - w / 2; break;
        default: x = (TitleBounds.Left + TitleBounds.Right) / 2 - c.MeasureWidth(line) / 2; break;
        }
        c.WriteText(x, y, line);
    }

    if (FCustomPosition) return;
    const int gap = kTitleGap + f + (FTransparent ? 0 : FShadow.VertSize());
    TRect r = chart.PlotRect();
    if (!chart.FixedPlotRect()) {
        if (FIsFoot)
            r.Bottom = TitleBounds.Bottom - gap - n * h;
        else
            r.Top = TitleBounds.Bottom + gap;
    }
    chart.SetPlotRect(r);
}

void TChartTitle::Publish(TPublisher& p) {
    TChartCustomShapePosition::Publish(p);
    p.Bool("AdjustFrame", FAdjustFrame, [this](bool v) { SetAdjustFrame(v); });
    p.Enum<TAlignment>("Alignment", FAlignment, kAlignments, [this](TAlignment v) { SetAlignment(v); });
    p.Strings("Text.Strings", FText, [this](const std::vector<std::string>& v) { SetText(v); });
    p.Enum<TTitleTextFormat>("TextFormat", FTextFormat, kTextFormats, [this](TTitleTextFormat v) { SetTextFormat(v); });
}

// ---------------------------------------------------------------------------
TCustomChart::TCustomChart()
    : FTitle(std::make_unique<TChartTitle>(this)),
      FSubTitle(std::make_unique<TChartTitle>(this)),
      FFoot(std::make_unique<TChartFootTitle>(this)),
      FSubFoot(std::make_unique<TChartFootTitle>(this)),
      FWalls(std::make_unique<TChartWalls>(this)),
      FLegend(std::make_unique<TChartLegend>(this)) {
    FInvalidateEnabled = true;  // construction is over
}

TCustomChart::~TCustomChart() {
    SavedScales.clear();
    FInvalidateEnabled = false;
    FDestroying = true;
    FSubTitle.reset();
    FTitle.reset();
    FSubFoot.reset();
    FFoot.reset();
    FWalls.reset();
    FLegend.reset();
}

TColor TCustomChart::BackColor() const { return FWalls->Back.Transparent() ? Color() : FWalls->Back.Color(); }

bool TCustomChart::IsFreeColor(TColor color, bool checkBackground, const TChartSeries* except) const {
    return TCustomAxisPanel::IsFreeColor(color, checkBackground, except) &&
           (!checkBackground || color != FWalls->Back.Color());
}

void TCustomChart::PaintTitles(bool beforeSeries) {
    // A hidden or custom-positioned legend takes no part here.
    for (TChartTitle* t : {FTitle.get(), FSubTitle.get(), static_cast<TChartTitle*>(FFoot.get()),
                           static_cast<TChartTitle*>(FSubFoot.get())})
        if (t->CustomPosition() != beforeSeries) t->Paint(*this);
    // After the titles, which stand outside it, before the axes take their room.
    if (beforeSeries) FLegend->Paint(*this);
}

int TCustomChart::WallOffset(const TChartAxis& axis) const {
    if (!View3D() || !View3DWalls()) return 0;
    if (&axis == FBottomAxis.get()) return FWalls->Bottom.Size();
    if (&axis == FLeftAxis.get()) return FWalls->Left.Size();
    if (&axis == FRightAxis.get()) return FWalls->Right.Size();
    return 0;
}

void TCustomChart::PaintWalls() {
    // A line series uses axes, so the walls go with any active series.
    TChartBackWall& wall = FWalls->Back;
    if (!View3DWalls() || !wall.Visible() || IsBackFaceCulled(Depth3D())) return;
    TChartCanvas& c = *FCanvas;
    c.SelectChartPen(wall.Pen());
    if (wall.Transparent())
        c.ClearBrush();
    else
        c.SelectChartBrush(wall.Brush(), wall.Color(), clNone);
    const TRect r = PlotRect();
    const TRect b{r.Left, r.Top, r.Right + 1, r.Bottom + 1};
    if (wall.HasGradient() && wall.Gradient().Visible() && !wall.Transparent()) {
        c.FillGradient(b, wall.Gradient());
        c.ClearBrush();
    }
    c.RectangleOutline(b);
}

void TCustomChart::DrawZoomRectangle() {
    TChartCanvas& c = *FCanvas;
    TChartZoom& zoom = *FZoom;
    const TColor b = ColorToRGB(BackColor());
    const TColor k = 0xFFFFFF - b;
    if (zoom.HasBrush()) {
        TChartBrush& brush = zoom.Brush();
        TColor colour = ColorToRGB(brush.Color()) ^ k;
        if (brush.Style() != bsSolid && colour == b) colour = b == clBlack ? clWhite : clBlack;
        c.SelectChartBrush(brush, colour, b);
    } else {
        c.ClearBrush();
    }
    // The inverting mode is how the rectangle is drawn, not a change to repaint for.
    TChartPen& pen = zoom.Pen();
    pen.SetChangeSink(nullptr);
    pen.SetMode(pmNotXor);
    pen.SetChangeSink(this);
    c.SelectChartPen(pen, ColorToRGB(pen.Color()) ^ k);
    if (!zoom.HasBrush() || zoom.Brush().Style() == bsClear) c.SetBackgroundMode(bmTransparent);
    c.RectangleOutline(zoom.StartX, zoom.StartY, zoom.CurrentX, zoom.CurrentY);
}

// -- Mouse zoom and scroll ---------------------------------------------------------------
namespace {
// Chart arithmetic carries the wide significand and rounds to double when stored.
using real = long double;

bool KeysHeld(TShiftState wanted, TShiftState shift) { return (wanted & ~shift) == 0; }
}  // namespace

void TCustomChart::MoveZoomRectangle(bool erase, int x, int y, bool draw) {
    TChartCanvas& c = *FCanvas;
    const QImage& kept = c.Bitmap();
    const bool usable = c.BufferedDisplay() && !c.BufferDirty() && kept.width() == Width() && kept.height() == Height();
    if (usable) {
        c.StartBuffer(nullptr, PanelRectangle());
        if (erase) DrawZoomRectangle();
    }
    FZoom->CurrentX = x;
    FZoom->CurrentY = y;
    if (!usable) {
        Invalidate();
        return;
    }
    if (draw) DrawZoomRectangle();
    c.SetPenMode(pmCopy);
    c.CopyBufferTo(nullptr, PanelRectangle());  // the picture is still the last paint's, with the band
    if (FHost) FHost->InvalidateWindow();
}

TChartClickedPart TCustomChart::CalcClickedPart(int x, int y) {
    TChartClickedPart part;
    const TChartLegend& legend = *FLegend;
    const bool legendHit = legend.Visible() && !legend.Bounds.IsEmpty() && PointInRect(legend.Bounds, x, y);
    if (legendHit && legend.CustomPosition()) {
        part.Part = cpLegend;
        return part;
    }
    for (TChartAxis* axis : FAxes) {
        if (!axis->IsShown) continue;
        const int along = axis->Horizontal() ? x : y, across = axis->Horizontal() ? y : x;
        const TAxisScale& s = axis->Scale();
        const int a0 = std::min(s.PixelStart, s.PixelEnd), a1 = std::max(s.PixelStart, s.PixelEnd);
        int c0, c1;
        if (axis->LabelsEdgePos < axis->AxisLinePos)
            c0 = axis->LabelsEdgePos, c1 = axis->AxisLinePos + 3;
        else
            c0 = axis->AxisLinePos - 3, c1 = axis->LabelsEdgePos;
        if (a0 <= along && along <= a1 && c0 <= across && across <= c1) {
            part.Part = cpAxis;
            part.AAxis = axis;
            return part;
        }
    }
    if (legendHit) {
        part.Part = cpLegend;
        return part;
    }
    for (TChartTitle* t : {FTitle.get(), FSubTitle.get(), static_cast<TChartTitle*>(FFoot.get()),
                           static_cast<TChartTitle*>(FSubFoot.get())})
        // A title without text is never drawn, so its bounds are no place on screen.
        if (t->Visible() && !t->Text().empty() && PointInRect(t->TitleBounds, x, y)) {
            part.Part = cpTitle;
            part.ATitle = t;
            return part;
        }
    if (PointInRect(PlotRect(), x, y) && ActiveSeriesCount() > 0) part.Part = cpChartRect;
    return part;
}

bool TCustomChart::StartDrag(TMouseButton button, TShiftState shift, int x, int y) {
    // Every series of this engine is drawn on axes, so a drag may always start.
    bool started = false;
    TChartZoom& zoom = *FZoom;
    const TRect r = PlotRect();
    if (zoom.Allow() && button == zoom.MouseButton() && KeysHeld(zoom.KeyShift(), shift)) {
        if (zoom.Direction() == tzdVertical) x = r.Left;
        if (zoom.Direction() == tzdHorizontal) y = r.Top;
        zoom.Activate(x, y);
        int cx = x, cy = y;
        if (zoom.Direction() == tzdVertical) cx = r.Right;
        if (zoom.Direction() == tzdHorizontal) cy = r.Bottom;
        MoveZoomRectangle(false, cx, cy, true);
        started = true;
    }
    if (AllowPanning() != pmNone && button == FScrollMouseButton && KeysHeld(ScrollModifierKeys, shift)) {
        FScroll->Activate(x, y);
        started = true;
    }
    if (started) SetCursor(RestCursor());
    return started;
}

void TCustomChart::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    MouseHandled = false;
    TCustomAxisPanel::MouseDown(button, shift, x, y);
    TChartMouseEvent event;
    event.Kind = TChartMouseEvent::cmeDown;
    event.Button = button, event.Shift = shift, event.X = x, event.Y = y;
    Broadcast(event);
    if (MouseHandled || FZoom->Dragging || FScroll->Dragging) return;

    // A hook claims the press by leaving MouseHandled set.
    auto hook = [this](auto& fn, auto&&... args) {
        if (!fn) return false;
        MouseHandled = true;
        fn(std::forward<decltype(args)>(args)...);
        return MouseHandled;
    };
    bool handled = false;
    const TChartClickedPart part = CalcClickedPart(x, y);
    switch (part.Part) {
    case cpAxis:
        handled = hook(OnClickAxis, this, part.AAxis, button, shift, x, y) || StartDrag(button, shift, x, y);
        break;
    case cpSeries:
        handled = hook(OnClickSeries, this, part.ASeries, part.PointIndex, button, shift, x, y) ||
                  StartDrag(button, shift, x, y);
        break;
    case cpTitle:
        handled = hook(OnClickTitle, this, part.ATitle, button, shift, x, y) || StartDrag(button, shift, x, y);
        break;
    case cpChartRect:
        handled = hook(OnClickBackground, this, button, shift, x, y) || StartDrag(button, shift, x, y);
        break;
    case cpLegend:
        handled = hook(OnClickLegend, this, button, shift, x, y);
        break;
    case cpSeriesMarks:
    case cpNone:
        break;
    }
    if (!handled) hook(OnClickBackground, this, button, shift, x, y);
    MouseHandled = false;
}

void TCustomChart::MouseMove(TShiftState shift, int x, int y) {
    MouseHandled = false;
    TCustomAxisPanel::MouseMove(shift, x, y);
    TChartMouseEvent event;
    event.Kind = TChartMouseEvent::cmeMove;
    event.Shift = shift, event.X = x, event.Y = y;
    Broadcast(event);
    if (MouseHandled) return;

    TChartZoom& zoom = *FZoom;
    const TRect r = PlotRect();
    if (zoom.Dragging) {
        // The axes stay while the rectangle follows the pointer.
        if (zoom.Direction() == tzdVertical) x = r.Right;
        if (zoom.Direction() == tzdHorizontal) y = r.Bottom;
        if (x != zoom.CurrentX || y != zoom.CurrentY) MoveZoomRectangle(true, x, y, true);
        return;
    }
    TZoomPanning& scroll = *FScroll;
    if (scroll.Dragging) {
        if (!PointInRect(r, x, y)) {
            scroll.Deactivate();
            return;
        }
        if (x == scroll.CurrentX && y == scroll.CurrentY) return;
        bool scrolled = false;
        SaveScales();
        const TPanningMode panning = AllowPanning();
        if (x != scroll.CurrentX && (panning == pmHorizontal || panning == pmBoth)) {
            for (TChartAxis* axis : FAxes)
                if (axis->Horizontal() && !axis->IsDepthAxis()) ScrollAxis(*axis, scroll.CurrentX, x);
            scrolled = true;
        }
        if (y != scroll.CurrentY && (panning == pmVertical || panning == pmBoth)) {
            for (TChartAxis* axis : FAxes)
                if (!axis->Horizontal() && !axis->IsDepthAxis()) ScrollAxis(*axis, scroll.CurrentY, y);
            scrolled = true;
        }
        scroll.CurrentX = x;
        scroll.CurrentY = y;
        if (scrolled) {
            if (OnScroll) OnScroll(this);
            Invalidate();
        }
        return;
    }
    SetCursor(RestCursor());
}

void TCustomChart::ScrollAxis(TChartAxis& axis, int fromPixel, int toPixel) {
    // The data under the pointer moves with it.
    const double delta = static_cast<double>(static_cast<real>(axis.PixelToValue(fromPixel)) - axis.PixelToValue(toPixel));
    double aMin = static_cast<double>(static_cast<real>(axis.Minimum()) + delta);
    double aMax = static_cast<double>(static_cast<real>(axis.Maximum()) + delta);
    bool allow = true;
    if (OnAllowScroll) OnAllowScroll(&axis, aMin, aMax, allow);
    if (allow) axis.SetRange(aMin, aMax);
}

void TCustomChart::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    MouseHandled = false;
    TCustomAxisPanel::MouseUp(button, shift, x, y);
    TChartMouseEvent event;
    event.Kind = TChartMouseEvent::cmeUp;
    event.Button = button, event.Shift = shift, event.X = x, event.Y = y;
    Broadcast(event);

    TChartZoom& zoom = *FZoom;
    if (zoom.Dragging && button == zoom.MouseButton()) {
        zoom.Deactivate();
        MoveZoomRectangle(true, zoom.CurrentX, zoom.CurrentY, false);
        const TChartZoomDirection dir = zoom.Direction();
        if (dir != tzdVertical) zoom.CurrentX = x;
        if (dir != tzdHorizontal) zoom.CurrentY = y;
        const int minimum = zoom.MinimumPixels();
        // A drag of exactly MinimumPixels is too small.
        const bool large = (dir == tzdVertical || std::abs(zoom.CurrentX - zoom.StartX) > minimum) &&
                           (dir == tzdHorizontal || std::abs(zoom.CurrentY - zoom.StartY) > minimum);
        if (large) {
            // With both directions only the horizontal one decides.
            const bool zoomIn = zoom.UpLeftZooms() || (dir == tzdVertical && zoom.StartY < zoom.CurrentY) ||
                                (dir != tzdVertical && zoom.StartX < zoom.CurrentX);
            if (zoomIn)
                ZoomToRect();
            else
                ResetZoom();
            Invalidate();
        }
    }
    FScroll->Deactivate();
}

void TCustomChart::MouseLeave() {
    // A zoom drag goes on: its button may come back inside.
    SetCursor(RestCursor());
    FScroll->Deactivate();
}

bool TCustomChart::MouseWheel(int steps, TShiftState shift, int x, int y) {
    if (TCustomAxisPanel::MouseWheel(steps, shift, x, y)) return true;
    if (!WheelScrollEnabled || steps == 0) return false;
    // Each notch moves the vertical axes by 3 % of their range: up toward the
    // larger values for a turn toward the user, down for one away.
    const int notches = std::abs(steps);
    for (int i = 0; i < notches; ++i)
        for (TChartAxis* axis : FAxes) {
            if (axis->Horizontal()) continue;
            const double d = static_cast<double>((static_cast<real>(axis->Maximum()) - axis->Minimum()) * 3 * 0.01L);
            axis->ShiftRange(steps < 0 ? d : -d, false);
        }
    return true;
}

void TCustomChart::SaveScales() {
    if (ScalesSaved) return;
    SavedScales.assign(static_cast<std::size_t>(FAxes.Count()), TSavedAxisScale{});
    for (int i = 0; i < FAxes.Count(); ++i) {
        const TChartAxis& a = *FAxes[i];
        if (a.IsDepthAxis()) continue;
        TSavedAxisScale& s = SavedScales[static_cast<std::size_t>(i)];
        s.Automatic = a.Automatic();
        s.AutomaticMinimum = a.AutomaticMinimum();
        s.AutomaticMaximum = a.AutomaticMaximum();
        s.Minimum = a.Minimum();
        s.Maximum = a.Maximum();
    }
    ScalesSaved = true;
}

void TCustomChart::ZoomToRect() {
    TChartZoom& z = *FZoom;
    if (z.StartX > z.CurrentX) std::swap(z.StartX, z.CurrentX);
    if (z.StartY > z.CurrentY) std::swap(z.StartY, z.CurrentY);
    // All eight values come from the mapping of the last paint, before any range moves.
    const double topMin = FTopAxis->PixelToValue(z.StartX), topMax = FTopAxis->PixelToValue(z.CurrentX);
    const double bottomMin = FBottomAxis->PixelToValue(z.StartX), bottomMax = FBottomAxis->PixelToValue(z.CurrentX);
    const double leftMin = FLeftAxis->PixelToValue(z.CurrentY), leftMax = FLeftAxis->PixelToValue(z.StartY);
    const double rightMin = FRightAxis->PixelToValue(z.CurrentY), rightMax = FRightAxis->PixelToValue(z.StartY);
    ZoomToValues(topMin, topMax, bottomMin, bottomMax, leftMin, leftMax, rightMin, rightMax);
}

void TCustomChart::ZoomToValues(double topMin, double topMax, double bottomMin, double bottomMax, double leftMin,
                                double leftMax, double rightMin, double rightMax) {
    SaveScales();
    struct Target {
        TChartAxis* Axis;
        double Min, Max;
    };
    const Target targets[] = {{FLeftAxis.get(), leftMin, leftMax},
                              {FRightAxis.get(), rightMin, rightMax},
                              {FTopAxis.get(), topMin, topMax},
                              {FBottomAxis.get(), bottomMin, bottomMax}};
    if (FZoom->Animated()) {
        // Each step covers a third of the distance still left.
        for (int step = 1; step < FZoom->AnimatedSteps(); ++step) {
            for (const Target& t : targets) {
                const real lo = t.Axis->Minimum(), hi = t.Axis->Maximum();
                t.Axis->SetRange(static_cast<double>(lo + (t.Min - lo) / 3), static_cast<double>(hi - (hi - t.Max) / 3));
            }
            Refresh();
        }
    }
    for (const Target& t : targets) t.Axis->SetRange(t.Min, t.Max);
    IsZoomed = true;
    if (OnZoom) OnZoom(this);
}

void TCustomChart::ResetZoom() {
    if (ScalesSaved) {
        const int n = std::min(FAxes.Count(), static_cast<int>(SavedScales.size()));
        for (int i = 0; i < n; ++i) {
            TChartAxis& a = *FAxes[i];
            if (a.IsDepthAxis()) continue;
            const TSavedAxisScale& s = SavedScales[static_cast<std::size_t>(i)];
            a.SetAutomatic(s.Automatic);
            a.SetAutomaticMinimum(s.AutomaticMinimum);
            a.SetAutomaticMaximum(s.AutomaticMaximum);
            a.SetMinMaxUnchecked(s.Minimum, s.Maximum);
        }
        SavedScales.clear();
        ScalesSaved = false;
    }
    if (OnUndoZoom) OnUndoZoom(this);
    Invalidate();
    IsZoomed = false;
}

// -- Stored layout --------------------------------------------------------------------
void TCustomChart::Publish(TPublisher& p) {
    TCustomAxisPanel::Publish(p);
    p.Object("BackWall", [this](TPublisher& q) { FWalls->Back.Publish(q); });
    p.Object("BottomWall", [this](TPublisher& q) { FWalls->Bottom.Publish(q); });
    p.Object("Foot", [this](TPublisher& q) { FFoot->Publish(q); });
    p.Object("LeftWall", [this](TPublisher& q) { FWalls->Left.Publish(q); });
    p.Object("Legend", [this](TPublisher& q) { FLegend->Publish(q); });
    p.Object("RightWall", [this](TPublisher& q) { FWalls->Right.Publish(q); });
    p.Enum<TMouseButton>("ScrollMouseButton", FScrollMouseButton, kButtons, [this](TMouseButton v) { SetScrollMouseButton(v); });
    p.Object("SubFoot", [this](TPublisher& q) { FSubFoot->Publish(q); });
    p.Object("SubTitle", [this](TPublisher& q) { FSubTitle->Publish(q); });
    p.Object("Title", [this](TPublisher& q) { FTitle->Publish(q); });
}

void TCustomChart::ReadProperty(std::string_view name, const TLayoutValue& value) {
    auto is = [name](std::string_view key) {
        return name.size() == key.size() && std::equal(name.begin(), name.end(), key.begin(), [](char a, char b) {
                   return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
               });
    };
    if (is("BorderStyle")) return Border().SetVisible(value.AsIdent() == "bsSingle");
    if (is("AllowZoom")) return FZoom->SetAllow(value.AsBool());
    if (is("AnimatedZoom")) return FZoom->SetAnimated(value.AsBool());
    if (is("AnimatedZoomSteps")) {
        const long long n = value.AsInteger();
        if (n < INT32_MIN || n > INT32_MAX) throw Exception("Invalid property value");
        return FZoom->SetAnimatedSteps(static_cast<int>(n));
    }
    if (is("PrintMargins")) {
        const auto& list = value.AsIntegers();
        if (list.size() != 4) throw Exception("Invalid property value");
        std::array<int, 4> m{};
        for (std::size_t i = 0; i < 4; ++i) {
            if (list[i] < INT32_MIN || list[i] > INT32_MAX) throw Exception("Invalid property value");
            m[i] = static_cast<int>(list[i]);
        }
        return SetPrintMargins(m);
    }
    // Frame is the back wall's pen.
    std::string path(name);
    constexpr std::string_view kFrame = "Frame.";
    if (name.size() > kFrame.size() &&
        std::equal(kFrame.begin(), kFrame.end(), name.begin(),
                   [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b)); }))
        path = "BackWall.Pen." + path.substr(kFrame.size());
    TPropertyWriter writer(path, value);
    Publish(writer);
    if (!writer.Found()) throw Exception("Property " + std::string(name) + " does not exist");
}

void TCustomChart::LoadLayout(const TLayoutRecord& record) {
    BeginLoading();
    try {
        for (const auto& [name, value] : record.Entries()) ReadProperty(name, value);
    } catch (...) {
        Loaded();
        throw;
    }
    Loaded();
}

TLayoutRecord TCustomChart::StoreLayout() {
    TPropertyCollector mine, defaults;
    Publish(mine);
    {
        TChart fresh;
        fresh.Publish(defaults);
    }
    TLayoutRecord out;
    for (const auto& [name, value] : mine.Record.Entries()) {
        const TLayoutValue* d = defaults.Record.Find(name);
        if (!d || !(*d == value)) out.Add(name, value);
    }
    const auto& m = PrintMargins();
    if (std::any_of(m.begin(), m.end(), [](int v) { return v != 15; }))
        out.Add("PrintMargins", TLayoutValue::Integers({m[0], m[1], m[2], m[3]}));
    return out;
}

