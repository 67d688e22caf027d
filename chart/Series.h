#pragma once
// The line series: a series whose consecutive points are joined by straight or
// stair segments in a flat chart, with an optional marker at each point.
//
// Drawing is a hot path (a curve may have hundreds of thousands of points): a
// pass fetches what it needs of the chart and the series once, then maps and
// draws point by point without allocating and without virtual calls. Only the
// points inside the visible horizontal range (plus one beyond each edge) are
// mapped at all.

#include <functional>

#include "Chart.h"
#include "ChartEngine.h"

enum TSeriesPointerStyle {
    psRectangle,
    psCircle,
    psTriangle,
    psDownTriangle,
    psCross,
    psDiagCross,
    psStar,
    psDiamond,
    psSmallDot,
    psNothing,
    psLeftTriangle,
    psRightTriangle,
};

// Stacking of several series on one another; the series of this program stand alone.
enum TCustomSeriesStack { cssNone };

class TCustomSeries;

// The marker drawn at a point: a shape with brush and pen. Sizes are
// half-extents in pixels. Of the styles only psRectangle is drawn; the others
// draw nothing.
class TSeriesPointer : public TChartCustomShapeBrushPen {
  public:
    explicit TSeriesPointer(TCustomSeries* owner);

    TSeriesPointerStyle Style() const { return FStyle; }
    void SetStyle(TSeriesPointerStyle value) { Store(FStyle, value); }
    int HorizSize() const { return FHorizSize; }
    int VertSize() const { return FVertSize; }
    // Throw ChartException "Pointer size must be greater than zero" for a size
    // of 0 or less, keeping the old size.
    void SetHorizSize(int value);
    void SetVertSize(int value);
    // Whether a visible pointer asks the axes for room at their ends.
    bool InflateMargins() const { return FInflateMargins; }
    void SetInflateMargins(bool value) { Store(FInflateMargins, value); }
    bool Draw3D() const { return FDraw3D; }
    void SetDraw3D(bool value) { Store(FDraw3D, value); }
    bool Dark3D() const { return FDark3D; }
    void SetDark3D(bool value) { Store(FDark3D, value); }
    int Transparency() const { return FTransparency; }
    void SetTransparency(int value) { Store(FTransparency, value); }
    TChartGradient& Gradient() { return FGradient; }

    // Takes over every setting of another pointer (not its owner).
    void Assign(const TSeriesPointer& source);

    TCustomSeries* Owner() const { return FOwner; }

  private:
    TCustomSeries* FOwner;
    TSeriesPointerStyle FStyle = psRectangle;
    int FHorizSize = 4;
    int FVertSize = 4;
    bool FInflateMargins = true;
    bool FDraw3D = true;
    bool FDark3D = true;
    int FTransparency = 0;
    TChartGradient FGradient;
};

// A series drawn as a line: the element's pen is its line pen.
class TCustomLineSeries : public TChartSeries {
  public:
    TChartPen& LinePen() { return Pen(); }
    const TChartPen& LinePen() const { return Pen(); }
};

class TCustomSeries : public TCustomLineSeries {
  public:
    using TOnGetPointerStyle =
        std::function<TSeriesPointerStyle(TChartSeries* Sender, int ValueIndex)>;
    using TOnClickPointer =
        std::function<void(TCustomSeries* Sender, int ValueIndex, int X, int Y)>;

    TCustomSeries();

    TSeriesPointer& Pointer() { return FPointer; }
    const TSeriesPointer& Pointer() const { return FPointer; }
    TChartHiddenPen& OutLine() { return FOutLine; }
    TChartShadow& Shadow() { return FShadow; }

    bool Stairs() const { return FStairs; }
    void SetStairs(bool value);
    bool InvertedStairs() const { return FInvertedStairs; }
    void SetInvertedStairs(bool value);
    bool ColorEachLine() const { return FColorEachLine; }
    void SetColorEachLine(bool value);

    // Only three-dimensional drawing uses these.
    int LineHeight = 0;
    TBrushStyle LineBrush = bsSolid;
    bool Dark3D = true;

    bool ClickableLine = true;
    TCustomSeriesStack Stacked = cssNone;
    int Transparency = 0;

    bool DrawsLine() const { return FDrawsLine; }
    bool DrawsArea() const { return FDrawsArea; }

    // Takes over the line settings, the pointer and the line pen of another
    // series (not its points, colour or chart).
    virtual void Assign(const TCustomSeries& source);

    // --- drawing
    // The visible points: for ascending or descending X, from the first point
    // at or beyond the left edge of the chart rectangle to the first at or
    // beyond its right edge (mirrored for an inverted axis); otherwise all.
    void ComputeShownRange() override;
    void DrawAllPoints() override;
    // Whether dense runs within one pixel column are drawn as one span (on by
    // default; the tests turn it off to compare with drawing point by point).
    static inline bool ColumnRuns = true;
    // One point of a pass over FirstShownIndex..LastShownIndex: the segment
    // from the previous point (or from the edge, for the first shown point of
    // a zoomed view) and the pointers.
    void DrawPoint(int index) final;
    bool DrawForward() const override;
    int PointXPixel(int index) const final;
    int PointYPixel(int index) const final;
    // Pixels the series needs free at the axis ends: pointer, stairs, outline.
    void HorizMargins(int& left, int& right) override;
    void VertMargins(int& top, int& bottom) override;

    // The drawing reads these directly; a subclass cannot change them.
    TColor PointColor(int index) const final { return TChartSeries::PointColor(index); }
    double XValueAt(int index) const final { return TChartSeries::XValueAt(index); }
    double YValueAt(int index) const final { return TChartSeries::YValueAt(index); }

    TOnGetPointerStyle OnGetPointerStyle;
    TOnClickPointer OnClickPointer;

    // The previous point of the current drawing pass.
    int PrevX = 0;
    int PrevY = 0;
    TColor PrevColor = clNone;

  protected:
    bool FDrawsLine = false;
    bool FDrawsArea = false;

  private:
    struct TDrawPass;
    // False when the series cannot draw (no chart with a surface, no axes).
    bool BeginPass(TDrawPass& pass) const;
    void DrawPointIn(TDrawPass& pass, int index);
    // Draws the run of points from `index` on that share the previous point's
    // pixel column; false (nothing drawn) when fewer than two do.
    bool DrawColumnRun(TDrawPass& pass, int& index);
    // The same for X that never fall: the run is found by bisection and its
    // rows by comparing values, so a column costs a few mappings however
    // many points it holds. `hint` carries the last run's length over.
    bool DrawRisingRun(TDrawPass& pass, int& index, unsigned long long& hint);
    // Widens low..high to the rows of the values yLow..yHigh (and of a value
    // that is no number).
    static void RowsOf(const TDrawPass& pass, double yLow, double yHigh, bool noNumber, int& low, int& high);
    // The previous point's column from PrevY through the rows low..high to
    // the row of point lastIndex, as the point-by-point segments cover it.
    void DrawColumnSpan(TDrawPass& pass, int low, int high, int lastIndex);
    void Segment(const TDrawPass& pass, TColor color, int x0, int y0, int x1, int y1);
    void DrawPointer(const TDrawPass& pass, int index, int x, int y, TColor color);
    // The row where the line from point index - 1 to point index crosses the
    // pass's edge column.
    int EdgeRow(TDrawPass& pass, int index) const;

    TSeriesPointer FPointer;
    TChartHiddenPen FOutLine;
    TChartShadow FShadow;
    bool FStairs = false;
    bool FInvertedStairs = false;
    bool FColorEachLine = true;
};

class TLineSeries : public TCustomSeries {
  public:
    TLineSeries();
    // A line series stays a line series whatever it copies.
    void Assign(const TCustomSeries& source) override;
};
