#include "ChartPanel.h"

#include <algorithm>

void TChartEventListeners::Remove(TChartListener* l) {
    FItems.erase(std::remove(FItems.begin(), FItems.end(), l), FItems.end());
}

// ---------------------------------------------------------------------------
namespace {
constexpr const char* kDirections[] = {"tzdHorizontal", "tzdVertical", "tzdBoth"};
constexpr const char* kButtons[] = {"mbLeft", "mbRight", "mbMiddle"};
constexpr const char* kBevels[] = {"bvNone", "bvLowered", "bvRaised", "bvSpace"};
constexpr const char* kMarginUnits[] = {"muPercent", "muPixels"};
constexpr const char* kPanning[] = {"pmNone", "pmHorizontal", "pmVertical", "pmBoth"};
}  // namespace

void TView3DOptions::Publish(TPublisher& p) {
    p.Integer("Elevation", FElevation, [this](int v) { SetElevation(v); });
    p.Integer("FontZoom", FFontZoom, [this](int v) { SetFontZoom(v); });
    p.Integer("HorizOffset", FHorizOffset, [this](int v) { SetHorizOffset(v); });
    p.Integer("OrthoAngle", FOrthoAngle, [this](int v) { SetOrthoAngle(v); });
    p.Bool("Orthogonal", FOrthogonal, [this](bool v) { SetOrthogonal(v); });
    p.Integer("Perspective", FPerspective, [this](int v) { SetPerspective(v); });
    p.Integer("Rotation", FRotation, [this](int v) { SetRotation(v); });
    p.Integer("VertOffset", FVertOffset, [this](int v) { SetVertOffset(v); });
    p.Integer("Zoom", FZoom, [this](int v) { SetZoom(v); });
}

TChartBrush& TChartZoom::Brush() {
    if (!FBrush) {
        FBrush = std::make_unique<TChartBrush>(nullptr, clWhite);
        FBrush->SetStyle(bsClear);
        FBrush->SetChangeSink(ChangeSink());
    }
    return *FBrush;
}

TChartPen& TChartZoom::Pen() {
    if (!FPen) {
        FPen = std::make_unique<TChartPen>(nullptr);
        FPen->SetColor(clWhite);
        FPen->SetChangeSink(ChangeSink());
    }
    return *FPen;
}

void TChartZoom::Publish(TPublisher& p) {
    p.Bool("Allow", FAllow, [this](bool v) { SetAllow(v); });
    p.Bool("Animated", FAnimated, [this](bool v) { SetAnimated(v); });
    p.Integer("AnimatedSteps", FAnimatedSteps, [this](int v) { SetAnimatedSteps(v); });
    p.LazyObject("Brush", HasBrush(), [this](TPublisher& q) { PublishBrush(q, Brush()); });
    p.Enum<TChartZoomDirection>("Direction", FDirection, kDirections, [this](TChartZoomDirection v) { SetDirection(v); });
    p.Integer("KeyShift", FKeyShift, [this](int v) { SetKeyShift(static_cast<TShiftState>(v)); });
    p.Integer("MinimumPixels", FMinimumPixels, [this](int v) { SetMinimumPixels(v); });
    p.Enum<TMouseButton>("MouseButton", FMouseButton, kButtons, [this](TMouseButton v) { SetMouseButton(v); });
    p.LazyObject("Pen", HasPen(), [this](TPublisher& q) { PublishPen(q, Pen()); });
    p.Bool("UpLeftZooms", FUpLeftZooms, [this](bool v) { SetUpLeftZooms(v); });
}

// ---------------------------------------------------------------------------
void TCustomPanelNoCaption::SetBounds(int left, int top, int width, int height) {
    const bool resized = width != FWidth || height != FHeight;
    FLeft = left, FTop = top, FWidth = width, FHeight = height;
    if (resized) Resized();
}

void TCustomPanelNoCaption::SetCursor(int cursor) {
    FCursor = cursor;
    if (FHost) FHost->SetCursor(cursor);
}

// ---------------------------------------------------------------------------
TCustomChartPanel::TCustomChartPanel()
    : FCanvas(std::make_unique<TChartCanvas>()),
      FView3DOptions(std::make_unique<TView3DOptions>(this)),
      FShadow(std::make_unique<TChartShadow>(this)),
      FBorder(std::make_unique<TChartHiddenPen>(nullptr)),
      FScroll(std::make_unique<TZoomPanning>()),
      FListeners(std::make_unique<TChartEventListeners>()) {
    FBorder->SetEndStyle(esFlat);
    FBorder->SetChangeSink(this);
    // InvalidateEnabled stays off until the most derived constructor ends.
}

TCustomChartPanel::~TCustomChartPanel() {
    FCanvas.reset();
    FBorder.reset();
    FShadow.reset();
    FView3DOptions.reset();
    FScroll.reset();
    FListeners.reset();
}

void TCustomChartPanel::SetView3D(bool v) {
    if (v == FView3D) return;
    FView3D = v;
    Invalidate();
    Broadcast(TChartView3DEvent{});
}

void TCustomChartPanel::SetBufferedDisplay(bool v) {
    if (v == FCanvas->BufferedDisplay()) return;
    FCanvas->SetBufferedDisplay(v);
    Invalidate();
}

void TCustomChartPanel::SetPlotRect(const TRect& r) {
    FPlotRect = r;
    NormalisePlotRect();
}

void TCustomChartPanel::Invalidate() {
    if (!FInvalidateEnabled) return;
    FCanvas->SetBufferDirty(true);
    if (FHost) FHost->InvalidateWindow();
}

void TCustomChartPanel::Paint() {
    if (FIsPrinting) return;
    if (!FCanvas->RecopyBuffer()) RenderTo(FCanvas->ControlCanvas(), PanelRectangle());
}

void TCustomChartPanel::Refresh() {
    Invalidate();
    if (FHost)
        FHost->PaintNow();
    else
        Paint();
}

void TCustomChartPanel::ObjectChanged(TChartObject*) { Invalidate(); }

void TCustomChartPanel::Resized() { Invalidate(); }

void TCustomChartPanel::RenderTo(QPainter* canvas, const TRect& rect) {
    ++FRenderCount;
    FCanvas->SetMonochrome(FMonochrome);
    FCanvas->SetFontZoom(FView3DOptions->FontZoom());
    FPaintBounds = FCanvas->StartBuffer(canvas, rect);
    ApplyMargins();
    NormalisePlotRect();
    RenderChart(FPaintBounds);
    FCanvas->CopyBufferTo(canvas, rect);
}

void TCustomChartPanel::ApplyMargins() {
    const int w = FPaintBounds.Width(), h = FPaintBounds.Height();
    int inset = FBorderWidth;
    if (FBevelInner != bvNone) inset += FBevelWidth;
    if (FBevelOuter != bvNone) inset += FBevelWidth;
    if (FBorder->Visible()) inset += FBorder->Width();
    if (FFixedPlotRect) return;
    int m[4];
    for (int i = 0; i < 4; ++i) {
        const int size = (i == mLeft || i == mRight) ? w : h;
        m[i] = FMarginUnits == muPercent ? FMargins[i] * size / 100 : FMargins[i];
    }
    FPlotRect = {FPaintBounds.Left + inset + m[mLeft], FPaintBounds.Top + inset + m[mTop],
                 FPaintBounds.Right - inset - m[mRight], FPaintBounds.Bottom - inset - m[mBottom]};
}

void TCustomChartPanel::NormalisePlotRect() {
    TRect& r = FPlotRect;
    if (!FFixedPlotRect) {
        r.Left = std::max(r.Left, FPaintBounds.Left);
        r.Top = std::max(r.Top, FPaintBounds.Top);
        // A negative extent becomes one pixel; an empty one the whole control.
        if (r.Right < r.Left)
            r.Right = r.Left + 1;
        else if (r.Right == r.Left)
            r.Right = r.Left + Width();
        if (r.Bottom < r.Top)
            r.Bottom = r.Top + 1;
        else if (r.Bottom == r.Top)
            r.Bottom = r.Top + Height();
    }
    FPlotWidth = r.Right - r.Left;
    FPlotHeight = r.Bottom - r.Top;
    FPlotCenterX = (r.Left + r.Right) / 2;
    FPlotCenterY = (r.Top + r.Bottom) / 2;
}

void TCustomChartPanel::DrawBevels(TRect& r) {
    TChartCanvas& c = *FCanvas;
    c.ClearBrush();
    if (FBorder->Visible()) {
        c.SelectChartPen(*FBorder);
        if (FBorderRound > 0)
            c.RoundRectangle(r, FBorderRound);
        else
            c.RectangleOutline(r);
        const int w = std::max(FBorder->Width(), 1);
        r = InflateRect(r, -w, -w);
    }
    if (FIsPrinting) return;
    auto bevel = [&](TBevelCut cut) {
        switch (cut) {
        case bvNone: break;
        case bvRaised: c.DrawFrame3D(r, clBtnHighlight, clBtnShadow, FBevelWidth); break;
        case bvLowered: c.DrawFrame3D(r, clBtnShadow, clBtnHighlight, FBevelWidth); break;
        case bvSpace: c.DrawFrame3D(r, clBtnHighlight, clBtnHighlight, FBevelWidth); break;
        }
    };
    bevel(FBevelOuter);
    if (FBorderWidth > 0) c.DrawFrame3D(r, FColor, FColor, FBorderWidth);
    bevel(FBevelInner);
}

void TCustomChartPanel::Broadcast(const TChartEvent& event) {
    for (int i = 0; i < FListeners->Count(); ++i) {
        (*FListeners)[i]->ChartEvent(event);
        if (MouseHandled && dynamic_cast<const TChartMouseEvent*>(&event)) break;
    }
}

void TCustomChartPanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseDown) OnMouseDown(this, button, shift, x, y);
}

void TCustomChartPanel::MouseMove(TShiftState shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(this, shift, x, y);
}

void TCustomChartPanel::MouseUp(TMouseButton button, TShiftState shift, int x, int y) {
    if (OnMouseUp) OnMouseUp(this, button, shift, x, y);
}

void TCustomChartPanel::MouseLeave() {}

bool TCustomChartPanel::MouseWheel(int steps, TShiftState shift, int x, int y) {
    bool handled = false;
    if (OnMouseWheel) OnMouseWheel(this, shift, steps * 120, x, y, handled);
    if (!handled) {
        if (steps < 0 && OnMouseWheelDown) OnMouseWheelDown(this, shift, x, y, handled);
        if (steps > 0 && OnMouseWheelUp) OnMouseWheelUp(this, shift, x, y, handled);
    }
    return handled;
}

void TCustomChartPanel::Loaded() {
    FLoading = false;
    FRestCursor = Cursor();
}

void TCustomChartPanel::Publish(TPublisher& p) {
    auto bounds = [this](int l, int t, int w, int h) {
        SetBounds(l, t, w, h);
        if (FHost) FHost->BoundsChanged();
    };
    p.Integer("Left", Left(), [&](int v) { bounds(v, Top(), Width(), Height()); });
    p.Integer("Top", Top(), [&](int v) { bounds(Left(), v, Width(), Height()); });
    p.Integer("Width", Width(), [&](int v) { bounds(Left(), Top(), v, Height()); });
    p.Integer("Height", Height(), [&](int v) { bounds(Left(), Top(), Width(), v); });
    p.Integer("Cursor", Cursor(), [this](int v) { SetCursor(v); });
    p.Enum<TBevelCut>("BevelInner", FBevelInner, kBevels, [this](TBevelCut v) { SetBevelInner(v); });
    p.Enum<TBevelCut>("BevelOuter", FBevelOuter, kBevels, [this](TBevelCut v) { SetBevelOuter(v); });
    p.Integer("BevelWidth", FBevelWidth, [this](int v) { SetBevelWidth(v); });
    p.Object("Border", [this](TPublisher& q) { PublishPen(q, *FBorder); });
    p.Integer("BorderRound", FBorderRound, [this](int v) { SetBorderRound(v); });
    p.Integer("BorderWidth", FBorderWidth, [this](int v) { SetBorderWidth(v); });
    p.Bool("BufferedDisplay", BufferedDisplay(), [this](bool v) { SetBufferedDisplay(v); });
    p.Color("Color", FColor, [this](TColor v) { SetColor(v); });
    p.Integer("MarginBottom", MarginBottom(), [this](int v) { SetMarginBottom(v); });
    p.Integer("MarginLeft", MarginLeft(), [this](int v) { SetMarginLeft(v); });
    p.Integer("MarginRight", MarginRight(), [this](int v) { SetMarginRight(v); });
    p.Integer("MarginTop", MarginTop(), [this](int v) { SetMarginTop(v); });
    p.Enum<TMarginUnits>("MarginUnits", FMarginUnits, kMarginUnits, [this](TMarginUnits v) { SetMarginUnits(v); });
    p.Bool("Monochrome", FMonochrome, [this](bool v) { SetMonochrome(v); });
    p.Bool("PrintProportional", FPrintProportional, [this](bool v) { SetPrintProportional(v); });
    p.Object("Shadow", [this](TPublisher& q) { PublishShadow(q, *FShadow); });
    p.Bool("View3D", FView3D, [this](bool v) { SetView3D(v); });
    p.Object("View3DOptions", [this](TPublisher& q) { FView3DOptions->Publish(q); });
}

// ---------------------------------------------------------------------------
TCustomChartPanelExtended::TCustomChartPanelExtended() : FZoom(std::make_unique<TChartZoom>(this)) {}

TCustomChartPanelExtended::~TCustomChartPanelExtended() {
    FZoom.reset();
    FGradient.reset();
    FBackImage.reset();
}

TChartGradient& TCustomChartPanelExtended::Gradient() {
    if (!FGradient) FGradient = std::make_unique<TChartGradient>(this);
    return *FGradient;
}

TBackImage& TCustomChartPanelExtended::BackImage() {
    if (!FBackImage) FBackImage = std::make_unique<TBackImage>(this);
    return *FBackImage;
}

void TCustomChartPanelExtended::FillBackground(const TRect& r) {
    if (FGradient && FGradient->Visible()) {
        FCanvas->FillGradient(r, *FGradient);
        return;
    }
    if (FIsPrinting || Color() == clNone) return;
    FCanvas->SelectBrush(Color(), bsSolid);
    FCanvas->FillRectangle(r);
}

void TCustomChartPanelExtended::PaintPanelBackground(const TRect& rect) {
    TRect r = rect;
    const TChartShadow& shadow = *FShadow;
    if (shadow.Size() > 0) {
        TColor parent = Color();
        if (FHost) FHost->ParentColor(parent);
        FCanvas->SelectBrush(parent, bsSolid);
        FCanvas->FillRectangle(r);
        r.Right -= shadow.HorizSize();
        r.Bottom -= shadow.VertSize();
        FCanvas->SelectBrush(shadow.Color(), bsSolid);
        FCanvas->FillRectangle({r.Left + shadow.HorizSize(), r.Top + shadow.VertSize(),
                                r.Right + shadow.HorizSize(), r.Bottom + shadow.VertSize()});
    }
    FillBackground(r);
    if (FBackImage && !FBackImage->Picture().isNull() && !FBackImage->Inside())
        FCanvas->DrawImage(r, FBackImage->Picture());
    DrawBevels(r);
}

void TCustomChartPanelExtended::Publish(TPublisher& p) {
    TCustomChartPanel::Publish(p);
    p.Enum<TPanningMode>("AllowPanning", FAllowPanning, kPanning, [this](TPanningMode v) { SetAllowPanning(v); });
    p.LazyObject("BackImage", HasBackImage(), [this](TPublisher& q) {
        q.Bool("Inside", BackImage().Inside(), [this](bool v) { BackImage().SetInside(v); });
    });
    p.LazyObject("Gradient", HasGradient(), [this](TPublisher& q) { PublishGradient(q, Gradient()); });
    p.Object("Zoom", [this](TPublisher& q) { FZoom->Publish(q); });
}
