#pragma once
// The chart control: titles, walls and legend on top of the axis panel, the
// chart's part of the paint pipeline (titles, walls, the zoom rectangle), and
// the reading and writing of its stored layout.

#include <memory>
#include <string>
#include <vector>

#include "ChartEngineAxis.h"

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

// The legend: hidden in this program, and then it is skipped everywhere.
class TChartLegend : public TChartCustomShapePosition {
public:
    explicit TChartLegend(TChartChangeSink* sink) : TChartCustomShapePosition(sink) {}
    TLegendAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TLegendAlignment v) { Store(FAlignment, v); }

    void Publish(TPublisher& p) override;

private:
    TLegendAlignment FAlignment = laRight;
};

// The axis ranges as they were before the first zoom or scroll.
struct TSavedAxisScale {
    bool Automatic = true, AutomaticMinimum = true, AutomaticMaximum = true;
    double Minimum = 0, Maximum = 0;
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

    std::vector<TSavedAxisScale> SavedScales;
    bool ScalesSaved = false;

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

// The settings the main window's layout stores for its chart Chart1.
TLayoutRecord Chart1StoredLayout();
