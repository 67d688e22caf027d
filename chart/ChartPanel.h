#pragma once
// The chart control's panel: the drawing panel with its frame, margins and
// double-buffered paint, and the extended panel with the zoom and scroll
// settings. The engine knows no widgets: a host (chart/widget/ in the program,
// an image in tests and tools) tells it the control's size, hands it the
// window's canvas while painting and repaints when the engine asks.

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ChartCanvas.h"
#include "ChartLayout.h"

// ---------------------------------------------------------------------------
// What the engine needs of the window hosting it.
class TChartHost {
public:
    // Schedules a paint of the whole control.
    virtual void InvalidateWindow() = 0;
    // Paints the control at once (the engine's Paint runs inside).
    virtual void PaintNow() = 0;
    // The parent window's background colour, when there is a parent.
    virtual bool ParentColor(TColor& color) const = 0;
    virtual void SetCursor(int cursor) = 0;
    // The engine's bounds changed (read from a stored layout, say).
    virtual void BoundsChanged() {}

protected:
    ~TChartHost() = default;
};

// Mouse and keyboard state as the control's handlers receive it.
enum TMouseButton { mbLeft, mbRight, mbMiddle };
enum TShiftFlag : unsigned { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64 };
using TShiftState = unsigned;

inline constexpr int crDefault = 0;

enum TBevelCut { bvNone, bvLowered, bvRaised, bvSpace };
enum TMarginUnits { muPercent, muPixels };
enum TPanningMode { pmNone, pmHorizontal, pmVertical, pmBoth };
enum TChartZoomDirection { tzdHorizontal, tzdVertical, tzdBoth };

// ---------------------------------------------------------------------------
// Events the panel broadcasts to its listeners.
class TChartSeries;

struct TChartEvent {
    virtual ~TChartEvent() = default;
};
struct TChartMouseEvent : TChartEvent {
    enum TKind { cmeDown, cmeMove, cmeUp } Kind = cmeDown;
    TMouseButton Button = mbLeft;
    TShiftState Shift = 0;
    int X = 0, Y = 0;
};
struct TChartView3DEvent : TChartEvent {};
struct TChartSeriesEvent : TChartEvent {
    TChartSeries* Series = nullptr;
    int Kind = 0;  // 0 attached, 1 detached, 2 title, 3 colour, 5 active, 6 data
};

class TChartListener {
public:
    virtual void ChartEvent(const TChartEvent& event) = 0;

protected:
    ~TChartListener() = default;
};

// Listeners in the order they were added; a listener that handles a mouse
// event sets the panel's MouseHandled, which stops the broadcast.
class TChartEventListeners {
public:
    void Add(TChartListener* l) { FItems.push_back(l); }
    void Remove(TChartListener* l);
    int Count() const { return static_cast<int>(FItems.size()); }
    TChartListener* operator[](int i) const { return FItems[static_cast<std::size_t>(i)]; }

private:
    std::vector<TChartListener*> FItems;
};

// ---------------------------------------------------------------------------
class TView3DOptions : public TChartObject {
public:
    explicit TView3DOptions(TChartChangeSink* sink) : TChartObject(sink) {}

    bool Orthogonal() const { return FOrthogonal; }
    int OrthoAngle() const { return FOrthoAngle; }
    int Zoom() const { return FZoom; }
    int FontZoom() const { return FFontZoom; }
    int Perspective() const { return FPerspective; }
    int Elevation() const { return FElevation; }
    int Rotation() const { return FRotation; }
    int HorizOffset() const { return FHorizOffset; }
    int VertOffset() const { return FVertOffset; }

    void SetOrthogonal(bool v) { Store(FOrthogonal, v); }
    void SetOrthoAngle(int v) { Store(FOrthoAngle, v); }
    void SetZoom(int v) { Store(FZoom, v); }
    void SetFontZoom(int v) { Store(FFontZoom, v); }
    void SetPerspective(int v) { Store(FPerspective, v); }
    void SetElevation(int v) { Store(FElevation, v); }
    void SetRotation(int v) { Store(FRotation, v); }
    void SetHorizOffset(int v) { Store(FHorizOffset, v); }
    void SetVertOffset(int v) { Store(FVertOffset, v); }

    void Publish(TPublisher& p);

private:
    bool FOrthogonal = true;
    int FOrthoAngle = 45;
    int FZoom = 100;
    int FFontZoom = 100;
    int FPerspective = 15;
    int FElevation = 345;
    int FRotation = 345;
    int FHorizOffset = 0;
    int FVertOffset = 0;
};

// The state of one drag: the zoom rectangle's corners, or the scroll position.
class TZoomPanning : public TChartObject {
public:
    explicit TZoomPanning(TChartChangeSink* sink = nullptr) : TChartObject(sink) {}
    bool Dragging = false;
    int StartX = 0, StartY = 0, CurrentX = 0, CurrentY = 0;

    // Starts a drag at (x, y): both corners there.
    void Activate(int x, int y) {
        StartX = CurrentX = x;
        StartY = CurrentY = y;
        Dragging = true;
    }
    void Deactivate() { Dragging = false; }
};

// Mouse tests count all four edges as inside: left <= x <= right, top <= y <= bottom.
inline bool PointInRect(const TRect& r, int x, int y) {
    return r.Left <= x && x <= r.Right && r.Top <= y && y <= r.Bottom;
}

class TChartZoom : public TZoomPanning {
public:
    explicit TChartZoom(TChartChangeSink* sink) : TZoomPanning(sink) {}

    bool Allow() const { return FAllow; }
    bool Animated() const { return FAnimated; }
    int AnimatedSteps() const { return FAnimatedSteps; }
    TChartZoomDirection Direction() const { return FDirection; }
    TShiftState KeyShift() const { return FKeyShift; }
    int MinimumPixels() const { return FMinimumPixels; }
    TMouseButton MouseButton() const { return FMouseButton; }
    bool UpLeftZooms() const { return FUpLeftZooms; }

    void SetAllow(bool v) { Store(FAllow, v); }
    void SetAnimated(bool v) { Store(FAnimated, v); }
    void SetAnimatedSteps(int v) { Store(FAnimatedSteps, v); }
    void SetDirection(TChartZoomDirection v) { Store(FDirection, v); }
    void SetKeyShift(TShiftState v) { Store(FKeyShift, v); }
    void SetMinimumPixels(int v) { Store(FMinimumPixels, v); }
    void SetMouseButton(TMouseButton v) { Store(FMouseButton, v); }
    void SetUpLeftZooms(bool v) { Store(FUpLeftZooms, v); }

    // Created on first use: a clear white brush, a white one-pixel pen.
    TChartBrush& Brush();
    TChartPen& Pen();
    bool HasBrush() const { return FBrush != nullptr; }
    bool HasPen() const { return FPen != nullptr; }

    void Publish(TPublisher& p);

private:
    bool FAllow = true;
    bool FAnimated = false;
    int FAnimatedSteps = 8;
    TChartZoomDirection FDirection = tzdBoth;
    TShiftState FKeyShift = 0;
    int FMinimumPixels = 16;
    TMouseButton FMouseButton = mbLeft;
    bool FUpLeftZooms = false;
    std::unique_ptr<TChartBrush> FBrush;
    std::unique_ptr<TChartPen> FPen;
};

// A picture drawn behind the chart (none in this program).
class TBackImage : public TChartObject {
public:
    explicit TBackImage(TChartChangeSink* sink) : TChartObject(sink) {}
    const QImage& Picture() const { return FPicture; }
    void SetPicture(const QImage& image) {
        FPicture = image;
        Changed();
    }
    bool Inside() const { return FInside; }  // drawn inside the chart rectangle instead
    void SetInside(bool v) { Store(FInside, v); }

private:
    QImage FPicture;
    bool FInside = false;
};

// ---------------------------------------------------------------------------
// A panel of the GUI framework that never paints a caption: position, size and
// cursor of the control, the host window, and the load state.
class TCustomPanelNoCaption {
public:
    TCustomPanelNoCaption() = default;
    virtual ~TCustomPanelNoCaption() = default;
    TCustomPanelNoCaption(const TCustomPanelNoCaption&) = delete;
    TCustomPanelNoCaption& operator=(const TCustomPanelNoCaption&) = delete;

    int Left() const { return FLeft; }
    int Top() const { return FTop; }
    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    virtual void SetBounds(int left, int top, int width, int height);
    int Cursor() const { return FCursor; }
    void SetCursor(int cursor);

    TChartHost* Host() const { return FHost; }
    void SetHost(TChartHost* host) { FHost = host; }

    bool Loading() const { return FLoading; }
    bool Destroying() const { return FDestroying; }

protected:
    virtual void Resized() {}
    TChartHost* FHost = nullptr;
    bool FLoading = false;
    bool FDestroying = false;

private:
    int FLeft = 0, FTop = 0, FWidth = 400, FHeight = 250;
    int FCursor = crDefault;
};

// ---------------------------------------------------------------------------
class TCustomChartPanel : public TCustomPanelNoCaption, public TChartChangeSink {
public:
    TCustomChartPanel();
    ~TCustomChartPanel() override;

    // -- Panel frame ---------------------------------------------------------
    TColor Color() const { return FColor; }
    void SetColor(TColor v) { StoreProperty(FColor, v); }
    TBevelCut BevelInner() const { return FBevelInner; }
    void SetBevelInner(TBevelCut v) { StoreProperty(FBevelInner, v); }
    TBevelCut BevelOuter() const { return FBevelOuter; }
    void SetBevelOuter(TBevelCut v) { StoreProperty(FBevelOuter, v); }
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int v) { StoreProperty(FBevelWidth, v); }
    int BorderWidth() const { return FBorderWidth; }
    void SetBorderWidth(int v) { StoreProperty(FBorderWidth, v); }
    TChartHiddenPen& Border() { return *FBorder; }
    int BorderRound() const { return FBorderRound; }
    void SetBorderRound(int v) { StoreProperty(FBorderRound, v); }

    // -- Margins ---------------------------------------------------------------
    enum TMarginSide { mLeft, mTop, mRight, mBottom };
    int Margin(TMarginSide side) const { return FMargins[side]; }
    void SetMargin(TMarginSide side, int v) { StoreProperty(FMargins[side], v); }
    int MarginLeft() const { return FMargins[mLeft]; }
    int MarginTop() const { return FMargins[mTop]; }
    int MarginRight() const { return FMargins[mRight]; }
    int MarginBottom() const { return FMargins[mBottom]; }
    void SetMarginLeft(int v) { SetMargin(mLeft, v); }
    void SetMarginTop(int v) { SetMargin(mTop, v); }
    void SetMarginRight(int v) { SetMargin(mRight, v); }
    void SetMarginBottom(int v) { SetMargin(mBottom, v); }
    TMarginUnits MarginUnits() const { return FMarginUnits; }
    void SetMarginUnits(TMarginUnits v) { StoreProperty(FMarginUnits, v); }

    // Left, Top, Right, Bottom; nothing in this program prints.
    const std::array<int, 4>& PrintMargins() const { return FPrintMargins; }
    void SetPrintMargins(const std::array<int, 4>& v) { FPrintMargins = v; }
    bool PrintProportional() const { return FPrintProportional; }
    void SetPrintProportional(bool v) { FPrintProportional = v; }

    TChartShadow& Shadow() { return *FShadow; }
    bool View3D() const { return FView3D; }
    void SetView3D(bool v);
    TView3DOptions& View3DOptions() { return *FView3DOptions; }
    bool Monochrome() const { return FMonochrome; }
    void SetMonochrome(bool v) { StoreProperty(FMonochrome, v); }
    bool BufferedDisplay() const { return FCanvas->BufferedDisplay(); }
    void SetBufferedDisplay(bool v);

    TChartCanvas& Canvas() { return *FCanvas; }

    // -- Layout state ------------------------------------------------------------
    const TRect& PaintBounds() const { return FPaintBounds; }
    const TRect& PlotRect() const { return FPlotRect; }
    // Sets the chart rectangle and normalises it.
    void SetPlotRect(const TRect& r);
    int PlotWidth() const { return FPlotWidth; }
    int PlotHeight() const { return FPlotHeight; }
    int PlotCenterX() const { return FPlotCenterX; }
    int PlotCenterY() const { return FPlotCenterY; }
    bool FixedPlotRect() const { return FFixedPlotRect; }
    void SetFixedPlotRect(bool v) { FFixedPlotRect = v; }
    int Depth3D() const { return FDepth3D; }
    int Height3D() const { return FHeight3D; }

    // -- Control state -------------------------------------------------------------
    bool InvalidateEnabled() const { return FInvalidateEnabled; }
    void SetInvalidateEnabled(bool v) { FInvalidateEnabled = v; }
    bool IsPrinting() const { return FIsPrinting; }
    void SetIsPrinting(bool v) { FIsPrinting = v; }
    int RestCursor() const { return FRestCursor; }
    bool MouseHandled = false;
    TZoomPanning& ScrollState() { return *FScroll; }
    TChartEventListeners& Listeners() { return *FListeners; }
    // Pipeline runs since creation.
    long RenderCount() const { return FRenderCount; }

    // -- Virtual operations, in slot order ---------------------------------------
    // Marks the buffer dirty and asks the window for a paint, unless disabled.
    virtual void Invalidate();
    // The window's paint: copies the kept bitmap when it is clean, renders otherwise.
    virtual void Paint();
    virtual TColor BackColor() const { return FColor; }
    virtual void RenderChart(const TRect& bounds) { (void)bounds; }
    void ObjectChanged(TChartObject* sender) override;
    // Paints the whole chart onto canvas within rect.
    virtual void RenderTo(QPainter* canvas, const TRect& rect);
    virtual TRect PanelRectangle() const { return {0, 0, Width(), Height()}; }
    virtual void DrawBevels(TRect& r);

    // Invalidates, then paints at once.
    void Refresh();

    // Layout steps shared by the pipeline: the margins (algorithm of the chart
    // rectangle) and the repair of a collapsed rectangle.
    void ApplyMargins();
    void NormalisePlotRect();

    // -- Mouse: forwarded by the host --------------------------------------------
    virtual void MouseDown(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseMove(TShiftState shift, int x, int y);
    virtual void MouseUp(TMouseButton button, TShiftState shift, int x, int y);
    virtual void MouseLeave();
    // Whole wheel notches, positive away from the user (wheel up); returns
    // whether the turn was used. The panel only runs the wheel hooks.
    virtual bool MouseWheel(int steps, TShiftState shift, int x, int y);
    // The platform's colours changed.
    void SystemColorsChanged() { Invalidate(); }

    std::function<void(TCustomChartPanel* Sender, TMouseButton, TShiftState, int X, int Y)> OnMouseDown;
    std::function<void(TCustomChartPanel* Sender, TShiftState, int X, int Y)> OnMouseMove;
    std::function<void(TCustomChartPanel* Sender, TMouseButton, TShiftState, int X, int Y)> OnMouseUp;
    // The wheel hooks: OnMouseWheel first (WheelDelta 120 per notch, positive
    // away from the user), then, unless it handled the turn, the hook of the
    // turn's direction. A hook that sets Handled keeps the turn from the chart.
    std::function<void(TCustomChartPanel* Sender, TShiftState, int WheelDelta, int X, int Y, bool& Handled)> OnMouseWheel;
    std::function<void(TCustomChartPanel* Sender, TShiftState, int X, int Y, bool& Handled)> OnMouseWheelDown;
    std::function<void(TCustomChartPanel* Sender, TShiftState, int X, int Y, bool& Handled)> OnMouseWheelUp;

    // -- Stored layout -------------------------------------------------------------
    virtual void Publish(TPublisher& p);
    void BeginLoading() { FLoading = true; }
    // Loading finished: RestCursor takes the control's cursor.
    virtual void Loaded();

protected:
    void Broadcast(const TChartEvent& event);
    void Resized() override;
    template <class T, class U>
    void StoreProperty(T& field, const U& value) {
        if (!(field == value)) {
            field = value;
            Invalidate();
        }
    }

    std::unique_ptr<TChartCanvas> FCanvas;
    std::unique_ptr<TView3DOptions> FView3DOptions;
    std::unique_ptr<TChartShadow> FShadow;
    std::unique_ptr<TChartHiddenPen> FBorder;
    std::unique_ptr<TZoomPanning> FScroll;
    std::unique_ptr<TChartEventListeners> FListeners;

    TRect FPaintBounds;
    TRect FPlotRect;
    int FPlotWidth = 0, FPlotHeight = 0, FPlotCenterX = 0, FPlotCenterY = 0;
    bool FFixedPlotRect = false;
    int FDepth3D = 0, FHeight3D = 0;
    bool FInvalidateEnabled = false;  // on once construction has finished
    bool FIsPrinting = false;
    int FRestCursor = crDefault;
    long FRenderCount = 0;

private:
    TColor FColor = clBtnFace;
    TBevelCut FBevelInner = bvNone;
    TBevelCut FBevelOuter = bvRaised;
    int FBevelWidth = 1;
    int FBorderWidth = 0;
    int FBorderRound = 0;
    std::array<int, 4> FMargins{3, 4, 3, 4};
    TMarginUnits FMarginUnits = muPercent;
    std::array<int, 4> FPrintMargins{15, 15, 15, 15};
    bool FPrintProportional = true;
    bool FView3D = true;
    bool FMonochrome = false;
};

// ---------------------------------------------------------------------------
class TCustomChartPanelExtended : public TCustomChartPanel {
public:
    TCustomChartPanelExtended();
    ~TCustomChartPanelExtended() override;

    TPanningMode AllowPanning() const { return FAllowPanning; }
    void SetAllowPanning(TPanningMode v) { StoreProperty(FAllowPanning, v); }
    TChartZoom& Zoom() { return *FZoom; }
    // Created on first access.
    TChartGradient& Gradient();
    TBackImage& BackImage();
    bool HasGradient() const { return FGradient != nullptr; }
    bool HasBackImage() const { return FBackImage != nullptr; }
    bool IsZoomed = false;

    // Fills r with the gradient or the panel colour.
    virtual void FillBackground(const TRect& r);
    // Panel shadow, background, back image and bevels.
    virtual void PaintPanelBackground(const TRect& r);

    std::function<void(TCustomChartPanel* Sender)> OnAfterDraw;
    std::function<void(TCustomChartPanel* Sender)> OnScroll;
    std::function<void(TCustomChartPanel* Sender)> OnUndoZoom;
    std::function<void(TCustomChartPanel* Sender)> OnZoom;

    void Publish(TPublisher& p) override;

protected:
    std::unique_ptr<TChartZoom> FZoom;
    std::unique_ptr<TChartGradient> FGradient;
    std::unique_ptr<TBackImage> FBackImage;

private:
    TPanningMode FAllowPanning = pmBoth;
};
