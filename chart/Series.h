#pragma once
// The line series: a series whose consecutive points are joined by straight or
// stair segments, with an optional marker at each point.
//
// The classes hold the line series' settings with their defaults; the drawing
// that uses them overrides the hooks of TChartSeries.

#include <functional>

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

// The marker drawn at a point. Sizes are half-extents in pixels.
class TSeriesPointer {
  public:
    explicit TSeriesPointer(TCustomSeries* owner) : FOwner(owner) {}
    TSeriesPointer(const TSeriesPointer&) = delete;
    TSeriesPointer& operator=(const TSeriesPointer&) = delete;

    bool Visible() const { return FVisible; }
    void SetVisible(bool value);
    TSeriesPointerStyle Style() const { return FStyle; }
    void SetStyle(TSeriesPointerStyle value);
    int HorizSize() const { return FHorizSize; }
    int VertSize() const { return FVertSize; }
    // Throw ChartException "Pointer size must be greater than zero" for a size
    // of 0 or less, keeping the old size.
    void SetHorizSize(int value);
    void SetVertSize(int value);
    bool InflateMargins() const { return FInflateMargins; }
    void SetInflateMargins(bool value);

    bool Draw3D = true;
    bool Dark3D = true;
    int Transparency = 0;

    TCustomSeries* Owner() const { return FOwner; }

  private:
    void Changed() const;

    TCustomSeries* FOwner;
    bool FVisible = true;
    TSeriesPointerStyle FStyle = psRectangle;
    int FHorizSize = 4;
    int FVertSize = 4;
    bool FInflateMargins = true;
};

class TCustomLineSeries : public TChartSeries {};

class TCustomSeries : public TCustomLineSeries {
  public:
    using TOnGetPointerStyle =
        std::function<TSeriesPointerStyle(TChartSeries* Sender, int ValueIndex)>;
    using TOnClickPointer =
        std::function<void(TCustomSeries* Sender, int ValueIndex, int X, int Y)>;

    TCustomSeries();

    TSeriesPointer& Pointer() { return FPointer; }
    const TSeriesPointer& Pointer() const { return FPointer; }

    bool Stairs() const { return FStairs; }
    void SetStairs(bool value);
    bool InvertedStairs() const { return FInvertedStairs; }
    void SetInvertedStairs(bool value);
    bool ColorEachLine() const { return FColorEachLine; }
    void SetColorEachLine(bool value);

    // Only three-dimensional drawing uses these.
    int LineHeight = 0;
    bool Dark3D = true;

    bool ClickableLine = true;
    TCustomSeriesStack Stacked = cssNone;
    int Transparency = 0;

    bool DrawsLine() const { return FDrawsLine; }
    bool DrawsArea() const { return FDrawsArea; }

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
    TSeriesPointer FPointer;
    bool FStairs = false;
    bool FInvertedStairs = false;
    bool FColorEachLine = true;
};

class TLineSeries : public TCustomSeries {
  public:
    TLineSeries();
};
