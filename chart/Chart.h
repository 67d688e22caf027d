#pragma once
// The chart control: titles, walls and legend on top of the axis panel, the
// chart's part of the paint pipeline (titles, walls, the zoom rectangle), and
// the reading and writing of its stored layout.

#include <memory>
#include <string>
#include <vector>

#include "AxisPanel.h"

class TCustomChart;

enum TShapeStyle { fosRectangle, fosRoundRectangle };
enum TAlignment { taLeftJustify, taRightJustify, taCenter };
enum TTitleTextFormat { ttfNormal, ttfHtml };
enum TLegendAlignment { laLeft, laRight, laTop, laBottom };

// A shape with a brush and a frame pen.
class TChartCustomShapeBrushPen : public TChartObject {
public:
    explicit TChartCustomShapeBrushPen(TChartChangeSink* sink) : TChartObject(sink), FBrush(sink), FPen(sink) {}
    TChartBrush& Brush() { return FBrush; }
    TChartPen& Pen() { return FPen; }
    const TChartPen& Pen() const { return FPen; }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { Store(FVisible, v); }

    virtual void Publish(TPublisher& p);

protected:
    TChartBrush FBrush;
    TChartPen FPen;
    bool FVisible = true;
};

// A box with text: font, shadow, bevel, colour.
class TChartCustomShape : public TChartCustomShapeBrushPen {
public:
    explicit TChartCustomShape(TChartChangeSink* sink) : TChartCustomShapeBrushPen(sink), FFont(sink), FShadow(sink) {}

    TChartFont& Font() { return FFont; }
    TChartShadow& Shadow() { return FShadow; }
    TBevelCut Bevel() const { return FBevel; }
    void SetBevel(TBevelCut v) { Store(FBevel, v); }
    int BevelWidth() const { return FBevelWidth; }
    void SetBevelWidth(int v) { Store(FBevelWidth, v); }
    TColor Color() const { return FColor; }
    void SetColor(TColor v) { Store(FColor, v); }
    TShapeStyle ShapeStyle() const { return FShapeStyle; }
    void SetShapeStyle(TShapeStyle v) { Store(FShapeStyle, v); }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v) { Store(FTransparent, v); }

    // Shadow, fill, frame and bevel in r; a transparent shape draws none of them.
    void Draw(TChartCanvas& canvas, const TRect& r);

    void Publish(TPublisher& p) override;

protected:
    TChartFont FFont;
    TChartShadow FShadow;
    TBevelCut FBevel = bvNone;
    int FBevelWidth = 2;
    TColor FColor = clWhite;
    TShapeStyle FShapeStyle = fosRectangle;
    bool FTransparent = false;
};

// Shapes that can stand where the user put them.
class TChartCustomShapePosition : public TChartCustomShape {
public:
    using TChartCustomShape::TChartCustomShape;
    bool CustomPosition() const { return FCustomPosition; }
    void SetCustomPosition(bool v) { Store(FCustomPosition, v); }
    int Left() const { return FLeft; }
    void SetLeft(int v) { Store(FLeft, v); }
    int Top() const { return FTop; }
    void SetTop(int v) { Store(FTop, v); }

    void Publish(TPublisher& p) override;

protected:
    bool FCustomPosition = false;
    int FLeft = 0, FTop = 0;
};

class TChartTitle : public TChartCustomShapePosition {
public:
    explicit TChartTitle(TChartChangeSink* sink);

    const std::vector<std::string>& Text() const { return FText; }
    void SetText(const std::vector<std::string>& lines) { Store(FText, lines); }
    void SetCaption(const std::string& line) { SetText({line}); }
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment v) { Store(FAlignment, v); }
    bool AdjustFrame() const { return FAdjustFrame; }
    void SetAdjustFrame(bool v) { Store(FAdjustFrame, v); }
    TTitleTextFormat TextFormat() const { return FTextFormat; }
    void SetTextFormat(TTitleTextFormat v) { Store(FTextFormat, v); }
    bool IsFoot() const { return FIsFoot; }

    // Where the title stood in the last paint.
    TRect TitleBounds;

    // Draws the title and, unless custom-positioned, takes its room off the top
    // (or bottom) of the chart's PlotRect.
    void Paint(TCustomChart& chart);

    void Publish(TPublisher& p) override;

protected:
    std::vector<std::string> FText;
    TAlignment FAlignment = taCenter;
    bool FAdjustFrame = true;
    TTitleTextFormat FTextFormat = ttfNormal;
    bool FIsFoot = false;
};

class TChartFootTitle : public TChartTitle {
public:
    explicit TChartFootTitle(TChartChangeSink* sink);
};

class TChartWall : public TChartCustomShapeBrushPen {
public:
    TChartWall(TChartChangeSink* sink, TColor color) : TChartCustomShapeBrushPen(sink), FColor(color) {}
    TColor Color() const { return FColor; }
    void SetColor(TColor v) { Store(FColor, v); }
    int Size() const { return FSize; }
    void SetSize(int v) { Store(FSize, v); }
    bool Dark3D() const { return FDark3D; }
    void SetDark3D(bool v) { Store(FDark3D, v); }
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v) { Store(FTransparent, v); }
    TChartGradient& Gradient();
    bool HasGradient() const { return FGradient != nullptr; }

    void Publish(TPublisher& p) override;

protected:
    TColor FColor;
    int FSize = 0;
    bool FDark3D = true;
    bool FTransparent = false;
    std::unique_ptr<TChartGradient> FGradient;
};

class TChartBackWall : public TChartWall {
public:
    explicit TChartBackWall(TChartChangeSink* sink) : TChartWall(sink, clSilver) { FTransparent = true; }
};

class TChartRightWall : public TChartWall {
public:
    explicit TChartRightWall(TChartChangeSink* sink) : TChartWall(sink, clSilver) { FVisible = false; }
};

class TChartWalls {
public:
    explicit TChartWalls(TChartChangeSink* sink)
        : Back(sink), Left(sink, 0x80FFFF), Bottom(sink, clWhite), Right(sink) {}
    TChartBackWall Back;
    TChartWall Left, Bottom;
    TChartRightWall Right;
};

// The legend: a box naming the active series that show in it and have a
// title, each beside a sample of its line. Hidden in the curve chart, and
// then skipped everywhere.
class TChartLegend : public TChartCustomShapePosition {
public:
    explicit TChartLegend(TChartChangeSink* sink) : TChartCustomShapePosition(sink) {}
    TLegendAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TLegendAlignment v) { Store(FAlignment, v); }
    // Where the legend stood in the last paint; empty while it is not drawn,
    // and then nothing clicks on it.
    TRect Bounds;

    // Draws the legend on the side Alignment names (a column on the left or
    // right, a row at the top or bottom) and, unless custom-positioned, takes
    // its room off that side of the chart's PlotRect. Draws nothing, and
    // leaves Bounds empty, while hidden or without a series to name.
    void Paint(TCustomChart& chart);

    void Publish(TPublisher& p) override;

private:
    TLegendAlignment FAlignment = laRight;
};

// The axis ranges as they were before the first zoom or scroll.
struct TSavedAxisScale {
    bool Automatic = true, AutomaticMinimum = true, AutomaticMaximum = true;
    double Minimum = 0, Maximum = 0;
};

// The part of the chart under a point, as a press finds it.
enum TChartClickedPartStyle { cpNone, cpLegend, cpAxis, cpSeries, cpSeriesMarks, cpTitle, cpChartRect };

struct TChartClickedPart {
    TChartClickedPartStyle Part = cpNone;
    int PointIndex = -1;
    TChartSeries* ASeries = nullptr;
    TChartAxis* AAxis = nullptr;
    TChartTitle* ATitle = nullptr;
};

// ---------------------------------------------------------------------------
class TCustomChart : public TCustomAxisPanel {
public:
    TCustomChart();
    ~TCustomChart() override;

    TChartTitle& Title() { return *FTitle; }
    TChartTitle& SubTitle() { return *FSubTitle; }
    TChartFootTitle& Foot() { return *FFoot; }
    TChartFootTitle& SubFoot() { return *FSubFoot; }
    TChartWalls& Walls() { return *FWalls; }
    TChartBackWall& BackWall() { return FWalls->Back; }
    TChartWall& LeftWall() { return FWalls->Left; }
    TChartWall& BottomWall() { return FWalls->Bottom; }
    TChartRightWall& RightWall() { return FWalls->Right; }
    // The back wall's pen.
    TChartPen& Frame() { return FWalls->Back.Pen(); }
    TChartLegend& Legend() { return *FLegend; }
    TMouseButton ScrollMouseButton() const { return FScrollMouseButton; }
    void SetScrollMouseButton(TMouseButton v) { StoreProperty(FScrollMouseButton, v); }

    // One record per axis of the axis list (the depth axes' records unused).
    std::vector<TSavedAxisScale> SavedScales;
    bool ScalesSaved = false;

    // Shared by every chart: the keys a scroll drag needs, and whether the
    // wheel moves the vertical axes.
    static inline TShiftState ScrollModifierKeys = 0;
    static inline bool WheelScrollEnabled = true;

    // -- Mouse zoom and scroll -------------------------------------------------------
    void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseMove(TShiftState shift, int x, int y) override;
    void MouseUp(TMouseButton button, TShiftState shift, int x, int y) override;
    void MouseLeave() override;
    bool MouseWheel(int steps, TShiftState shift, int x, int y) override;

    // The part under (x, y), tested in a fixed order, the first match winning:
    // a custom-positioned legend, the series (points are not hit-tested: no
    // series here has click hooks), the shown axes, the legend, the titles,
    // the chart rectangle while a series is active.
    TChartClickedPart CalcClickedPart(int x, int y);
    // The axes' ranges from the zoom rectangle, every corner converted with the
    // last paint's mapping before any range changes.
    virtual void ZoomToRect();
    // Back to the scales from before the first zoom or scroll.
    virtual void ResetZoom();
    void ZoomToValues(double topMin, double topMax, double bottomMin, double bottomMax, double leftMin,
                      double leftMax, double rightMin, double rightMax);
    // Keeps the axes' scales for ResetZoom, once until it restores them.
    void SaveScales();

    // -- The chart's part of the pipeline -----------------------------------------
    TColor BackColor() const override;
    void PaintTitles(bool beforeSeries) override;
    int WallOffset(const TChartAxis& axis) const override;
    void PaintWalls() override;
    // The rubber band of a zoom drag, in the inverting pen mode.
    void DrawZoomRectangle() override;
    bool IsFreeColor(TColor color, bool checkBackground, const TChartSeries* except) const override;

    std::function<void(TCustomChart* Sender, TChartAxis* Axis, TMouseButton, TShiftState, int X, int Y)> OnClickAxis;
    std::function<void(TCustomChart* Sender, TMouseButton, TShiftState, int X, int Y)> OnClickBackground;
    std::function<void(TCustomChart* Sender, TMouseButton, TShiftState, int X, int Y)> OnClickLegend;
    std::function<void(TCustomChart* Sender, TChartSeries* Series, int ValueIndex, TMouseButton, TShiftState, int X, int Y)>
        OnClickSeries;
    std::function<void(TCustomChart* Sender, TChartTitle* ATitle, TMouseButton, TShiftState, int X, int Y)> OnClickTitle;
    std::function<void(TChartAxis* Sender, double& AMin, double& AMax, bool& AllowScroll)> OnAllowScroll;

    // -- Stored layout ---------------------------------------------------------------
    void Publish(TPublisher& p) override;
    // One stored property: a published one by its dotted name, or one of the
    // legacy keys "BorderStyle", "AllowZoom", "AnimatedZoom", "AnimatedZoomSteps"
    // and "PrintMargins". Raises Exception for a name the chart does not have.
    void ReadProperty(std::string_view name, const TLayoutValue& value);
    // Loads a whole record: loading state on, every entry, then Loaded.
    void LoadLayout(const TLayoutRecord& record);
    // Every published property that differs from a new chart's, then
    // "PrintMargins" when one of the four differs from 15.
    TLayoutRecord StoreLayout();

protected:
    // Starts the zoom and/or scroll drag a press may start; true when one did.
    bool StartDrag(TMouseButton button, TShiftState shift, int x, int y);
    // Moves one axis' range by the values between two pixels.
    void ScrollAxis(TChartAxis& axis, int fromPixel, int toPixel);
    // Outside painting the zoom rectangle is inverted straight into the kept
    // bitmap, which is then shown as it is (no render): erases it where it is
    // (erase), moves its corner to (x, y), draws it there (draw). A bitmap that
    // is out of date is rendered anew instead, which draws the rectangle at
    // the end of the paint.
    void MoveZoomRectangle(bool erase, int x, int y, bool draw);

    std::unique_ptr<TChartTitle> FTitle, FSubTitle;
    std::unique_ptr<TChartFootTitle> FFoot, FSubFoot;
    std::unique_ptr<TChartWalls> FWalls;
    std::unique_ptr<TChartLegend> FLegend;

private:
    TMouseButton FScrollMouseButton = mbRight;
};

// The chart as the window uses it; it publishes the properties and adds no behaviour.
class TChart : public TCustomChart {
public:
    TChart() = default;
};

