#pragma once
// An axis of the chart: its range and pixel extent (a TAxisScale), its label
// step (AxisLabelSteps), its ticks with their labels (TicksAt), the room they
// take beside the chart rectangle, and the drawing of its title, labels,
// line, ticks and grid. The chart that owns the axes is TCustomAxisPanel
// (AxisPanel.h).
//
// ChartEngineAxis.cpp: settings, range, pixel extent, label step, stored layout.
// ChartAxisTicks.cpp:  label texts, the tick list and the room it takes.
// ChartAxisDraw.cpp:   drawing the title, labels, line, ticks and grid.

#include <string>
#include <string_view>
#include <vector>

#include "AxisLabelSteps.h"
#include "AxisScale.h"
#include "ChartEngine.h"
#include "ChartPanel.h"

class TCustomAxisPanel;

// Errors of the axis setters.
class AxisException : public Exception {
    using Exception::Exception;
};

enum TAxisLabelStyle { talAuto, talNone, talValue, talMark, talText, talPointValue };
enum TAxisLabelAlign { alDefault, alOpposite };
enum TAxisLineMode { lmLine, lmCylinder, lmRectangle };

// The axis line's pen: black, two pixels, drawn as a line.
class TChartAxisPen : public TChartPen {
public:
    explicit TChartAxisPen(TChartChangeSink* sink) : TChartPen(sink) { FWidth = 2; }
    TAxisLineMode LineMode() const { return FLineMode; }
    void SetLineMode(TAxisLineMode v) { Store(FLineMode, v); }

private:
    TAxisLineMode FLineMode = lmLine;
};

// Grid lines: grey, dotted, at every DrawEvery-th label.
class TAxisGridPen : public TDottedGrayPen {
public:
    explicit TAxisGridPen(TChartChangeSink* sink) : TDottedGrayPen(sink) {}
    int DrawEvery() const { return FDrawEvery; }
    bool Centered() const { return FCentered; }
    void SetDrawEvery(int v) { Store(FDrawEvery, v); }
    void SetCentered(bool v) { Store(FCentered, v); }

private:
    int FDrawEvery = 1;
    bool FCentered = false;
};

// The box behind each value label: transparent unless asked otherwise, then
// filled in its colour and framed with its pen.
class TAxisLabelFormat : public TChartObject {
public:
    explicit TAxisLabelFormat(TChartChangeSink* sink) : TChartObject(sink), FPen(sink) {}
    bool Transparent() const { return FTransparent; }
    void SetTransparent(bool v) { Store(FTransparent, v); }
    TColor Color() const { return FColor; }
    void SetColor(TColor v) { Store(FColor, v); }
    TChartPen& Pen() { return FPen; }
    const TChartPen& Pen() const { return FPen; }

private:
    bool FTransparent = true;
    TColor FColor = clWhite;
    TChartPen FPen;
};

// The axis' label items: their common format (custom items are not kept).
class TAxisItems {
public:
    explicit TAxisItems(TChartChangeSink* sink) : FFormat(sink) {}
    TAxisLabelFormat& Format() { return FFormat; }
    const TAxisLabelFormat& Format() const { return FFormat; }

private:
    TAxisLabelFormat FFormat;
};

// One tick of an axis: the value it marks, its pixel along the axis, and the
// text of its label (empty when the texts were not asked for).
struct TAxisTick {
    double Value = 0;
    int Pixel = 0;
    std::string Text;
};
using TAxisTicks = std::vector<TAxisTick>;

// What a tick list carries besides values and pixels: no texts (ticks
// without labels), the texts as the axis writes them (measuring the labels
// band), or as the application's label hook (OnGetAxisLabel) leaves them.
enum class TTickTexts { None, Plain, Hooked };

class TChartAxisTitle : public TChartObject {
public:
    TChartAxisTitle(TChartChangeSink* sink, int angle) : TChartObject(sink), FAngle(angle), FFont(sink) {}

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& v) { Store(FCaption, v); }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { Store(FVisible, v); }
    int Angle() const { return FAngle; }
    void SetAngle(int v);  // stored modulo 360
    TChartFont& Font() { return FFont; }

private:
    std::string FCaption;
    bool FVisible = true;
    int FAngle;
    TChartFont FFont;
};

// ---------------------------------------------------------------------------
class TChartAxis {
public:
    // The axis adds itself to the chart's axis list.
    TChartAxis(TCustomAxisPanel* chart, bool horizontal, bool otherSide, int titleAngle);
    virtual ~TChartAxis();
    TChartAxis(const TChartAxis&) = delete;
    TChartAxis& operator=(const TChartAxis&) = delete;

    TCustomAxisPanel* ParentChart() const { return FChart; }
    bool Horizontal() const { return FScale.AlongX; }
    bool OtherSide() const { return FOtherSide; }
    virtual bool IsDepthAxis() const { return false; }

    // -- Range ------------------------------------------------------------------
    bool Automatic() const { return FAutomatic; }
    bool AutomaticMinimum() const { return FAutomaticMinimum; }
    bool AutomaticMaximum() const { return FAutomaticMaximum; }
    // Outside loading, also sets AutomaticMinimum and AutomaticMaximum.
    void SetAutomatic(bool v);
    void SetAutomaticMinimum(bool v);
    void SetAutomaticMaximum(bool v);
    double Minimum() const { return FMinimum; }
    double Maximum() const { return FMaximum; }
    // Raise AxisException for a minimum above the maximum (and the reverse),
    // except while the chart loads its stored layout.
    void SetMinimum(double v);
    void SetMaximum(double v);
    // Stores both ends without those checks (undoing a zoom).
    void SetMinMaxUnchecked(double minimum, double maximum);
    double Increment() const { return FIncrement; }
    void SetIncrement(double v);
    bool Inverted() const { return FScale.Reversed; }
    void SetInverted(bool v) { StoreProperty(FScale.Reversed, v); }
    bool Logarithmic() const { return FLogarithmic; }
    void SetLogarithmic(bool v);
    double LogarithmicBase() const { return FLogarithmicBase; }
    void SetLogarithmicBase(double v);
    int MinimumOffset() const { return FMinimumOffset; }
    void SetMinimumOffset(int v) { StoreProperty(FMinimumOffset, v); }
    int MaximumOffset() const { return FMaximumOffset; }
    void SetMaximumOffset(int v) { StoreProperty(FMaximumOffset, v); }
    double StartPosition() const { return FStartPosition; }
    void SetStartPosition(double v) { StoreProperty(FStartPosition, v); }
    double EndPosition() const { return FEndPosition; }
    void SetEndPosition(double v) { StoreProperty(FEndPosition, v); }
    bool Visible() const { return FVisible; }
    void SetVisible(bool v) { StoreProperty(FVisible, v); }

    // -- Labels -----------------------------------------------------------------
    bool Labels() const { return FLabels; }
    void SetLabels(bool v) { StoreProperty(FLabels, v); }
    TChartFont& LabelsFont() { return FLabelsFont; }
    const std::string& AxisValuesFormat() const { return FAxisValuesFormat; }
    void SetAxisValuesFormat(const std::string& v) { StoreProperty(FAxisValuesFormat, v); }
    TAxisLabelStyle LabelStyle() const { return FLabelStyle; }
    void SetLabelStyle(TAxisLabelStyle v) { StoreProperty(FLabelStyle, v); }
    int LabelsAngle() const { return FLabelsAngle; }
    void SetLabelsAngle(int v);  // stored modulo 360
    int LabelsSeparation() const { return FLabelsSeparation; }
    void SetLabelsSeparation(int v);
    bool LabelsAlternate() const { return FLabelsAlternate; }
    void SetLabelsAlternate(bool v) { StoreProperty(FLabelsAlternate, v); }
    int LabelsSize() const { return FLabelsSize; }
    void SetLabelsSize(int v) { StoreProperty(FLabelsSize, v); }
    TAxisLabelAlign LabelsAlign() const { return FLabelsAlign; }
    void SetLabelsAlign(TAxisLabelAlign v) { StoreProperty(FLabelsAlign, v); }
    bool LabelsOnAxis() const { return FLabelsOnAxis; }
    void SetLabelsOnAxis(bool v) { StoreProperty(FLabelsOnAxis, v); }
    bool LabelsMultiLine() const { return FLabelsMultiLine; }
    void SetLabelsMultiLine(bool v) { StoreProperty(FLabelsMultiLine, v); }
    bool LabelsExponent() const { return FLabelsExponent; }
    void SetLabelsExponent(bool v) { StoreProperty(FLabelsExponent, v); }
    bool RoundFirstLabel() const { return FRoundFirstLabel; }
    void SetRoundFirstLabel(bool v) { StoreProperty(FRoundFirstLabel, v); }
    bool TickOnLabelsOnly() const { return FTickOnLabelsOnly; }
    void SetTickOnLabelsOnly(bool v) { StoreProperty(FTickOnLabelsOnly, v); }

    // -- Lines ------------------------------------------------------------------
    TChartAxisPen& Axis() { return FAxisPen; }
    TDarkGrayPen& Ticks() { return FTicks; }
    TDarkGrayPen& TicksInner() { return FTicksInner; }
    TDarkGrayPen& MinorTicks() { return FMinorTicks; }
    TChartHiddenPen& MinorGrid() { return FMinorGrid; }
    TAxisGridPen& Grid() { return FGrid; }
    int TickLength() const { return FTickLength; }
    void SetTickLength(int v) { StoreProperty(FTickLength, v); }
    int TickInnerLength() const { return FTickInnerLength; }
    void SetTickInnerLength(int v) { StoreProperty(FTickInnerLength, v); }
    int MinorTickLength() const { return FMinorTickLength; }
    void SetMinorTickLength(int v) { StoreProperty(FMinorTickLength, v); }
    int MinorTickCount() const { return FMinorTickCount; }
    void SetMinorTickCount(int v) { StoreProperty(FMinorTickCount, v); }

    // -- Title and position -------------------------------------------------------
    TChartAxisTitle& Title() { return FTitle; }
    int TitleSize() const { return FTitleSize; }
    void SetTitleSize(int v) { StoreProperty(FTitleSize, v); }
    double PositionPercent() const { return FPositionPercent; }
    void SetPositionPercent(double v) { StoreProperty(FPositionPercent, v); }
    TMarginUnits PositionUnits() const { return FPositionUnits; }
    void SetPositionUnits(TMarginUnits v) { StoreProperty(FPositionUnits, v); }

    // -- State of the last paint ----------------------------------------------------
    // The range shown and the pixels spanned (ScaleMin, PixelStart, ...): a
    // copy maps values without the axis, as the line drawing does.
    const TAxisScale& Scale() const { return FScale; }
    // Sets the range and the pixels as a paint leaves them (an axis drawn on
    // its own); the next paint computes its own.
    void SetScale(double minimum, double maximum, int pixelStart, int pixelEnd);
    bool IsShown = false;
    int AxisLinePos = 0, LabelsEdgePos = 0, TitleEdgePos = 0;
    // The ticks the last paint drew: the ticks and grid lines stand at their
    // pixels, and while Labels is on their texts are the labels written.
    TAxisTicks DrawnTicks;
    // Their pixels, in drawing order.
    std::vector<int> TickPositions() const;

    // Whether a series bound to the axis holds date-times on it.
    bool IsDateTimeAxis() const;

    // -- The layout pass --------------------------------------------------------
    // The visibility rule of this paint.
    bool ComputeIsShown() const;
    void ComputeAutoRange();
    void ComputePixelExtent();
    void ExtendRangeByPixels(int before, int after);
    // The series' pixel margins and the offsets.
    void ApplyPixelMargins();

    // -- Mappings ---------------------------------------------------------------
    int ValueToPixel(double value) const { return FScale.ValueToPixel(value); }
    double PixelToValue(int pixel) const { return FScale.PixelToValue(pixel); }

    // -- Label step -----------------------------------------------------------------
    // The caller has selected the labels font. The extent is that of the
    // value's label among labels of that step (0: the pattern's own text).
    int LabelExtentAlongAxis(double value, double step = 0);
    // The step of the value labels at the axis' scale, or at another one.
    double ComputeLabelStep();
    double ComputeLabelStep(const TAxisScale& scale);
    static double NextNiceStep(double x) { return ::NextNiceStep(x); }

    // -- Changing the range by hand -----------------------------------------------------
    void SetRange(double minimum, double maximum);
    void ShiftRange(double delta, bool checkLimits);

    // -- Ticks ----------------------------------------------------------------------
    TAxisLabelStyle ResolveLabelStyle() const;
    // The ticks of the axis at a scale, in drawing order: value labels from
    // the top of the range down (or the application's own values), date
    // labels ascending, a series' point labels in point order; those whose
    // pixel lies outside the axis are left out unless LabelsOnAxis. The
    // drawing draws them and the labels band is measured from them. The
    // caller has selected the labels font.
    TAxisTicks TicksAt(const TAxisScale& scale, TTickTexts texts);
    // A value label's text: the axis' pattern, through the application's
    // label hook. Among labels of a step finer than the pattern writes (deep
    // in a zoom) the text takes the decimals the step needs, so that no two
    // labels read the same.
    std::string FormatAxisValue(double value, double step = 0) const;
    // The decimals a step's multiples need (0.0005: 4), at most 15.
    static int StepDecimals(double step);

    // -- Room beside the chart rectangle -------------------------------------------------
    // Measured at the length the axis will have; a hook that throws leaves
    // the axis' scale as it was.
    void ReserveAxisSpace(TRect& rect, bool shrink);
    int TickAreaSize() const;
    // The labels band and the widest value label with a space, at the
    // axis' scale or at another one.
    int LabelsBandSize();
    int LabelsBandSize(const TAxisScale& scale);
    int MaxValueLabelWidth();
    int MaxValueLabelWidth(const TAxisScale& scale);
    int ApplyPositionPercent(int pos, const TRect& rect) const;

    TAxisItems& Items() { return FItems; }

    // -- Drawing ------------------------------------------------------------------
    // Title and labels first, then the axis line, ticks, grid, inner ticks,
    // minor ticks and minor grid over them, all at DrawnTicks.
    virtual void DrawAxis();

    virtual void Publish(TPublisher& p);

protected:
    template <class T, class U>
    void StoreProperty(T& field, const U& value);
    void Changed();
    bool ChartLoading() const;
    // PixelStart and PixelEnd within a rectangle of that place and size.
    void PixelExtentIn(TAxisScale& scale, int left, int top, int width, int height) const;
    // The side of PlotRect the axis stands on, moved outward by n.
    int Outward(int pos, int n) const;

    TCustomAxisPanel* FChart;
    TAxisScale FScale;

private:
    int MultiLineWidth(std::string_view text) const;

    // The parts of TicksAt. Add appends the tick of a value unless its pixel
    // is left out, with its text made by `text` only when it is kept.
    TAxisTicks TicksAt(const TAxisScale& scale, TTickTexts texts, TAxisLabelStyle style);
    template <class MakeText>
    void Add(TAxisTicks& ticks, const TAxisScale& scale, double value, MakeText&& text) const;
    void ValueTicks(TAxisTicks& ticks, const TAxisScale& scale, double step, TTickTexts texts);
    void DateTicks(TAxisTicks& ticks, const TAxisScale& scale, TTickTexts texts);
    void SeriesTicks(TAxisTicks& ticks, const TAxisScale& scale, TTickTexts texts, TAxisLabelStyle style);
    // The label text of a value, through the hook or not.
    std::string LabelText(double value, double step, bool hook) const;

    // The band a font takes across the axis: a line's height, or the width
    // of a text of its own (the title) or of the widest value label.
    int BandSizeFor(TChartFont& font, int angle, int fixedSize, const std::string* text, const TAxisScale& scale);

    // The labels of DrawnTicks, each over its box.
    void DrawLabels();
    // Writes a text of one or more lines beside the axis, anchored at (x, y),
    // in the current font. A value label (labelBox) gets the label format's
    // box behind it, and up a vertical axis with LabelsAlign alOpposite it is
    // aligned to the band's far side, oppositeShift (the band's size) away.
    void PlaceAxisText(int x, int y, const std::string& text, int angle, bool labelBox = false, int oppositeShift = 0);
    void DrawAxisTitle();
    void DrawAxisLine();
    // A tick at every one of DrawnTicks; a positive offset starts outside
    // the axis line, a negative one inside, and the tick runs length pixels
    // outward (negative: inward).
    void DrawTicks(const TChartPen& pen, int offset, int length);
    // One tick from AxisLinePos + offset (outward), length pixels outward.
    void TickAt(int t, int offset, int length);
    void DrawGridLines();
    void GridLineAt(int t);
    // Minor ticks (grid False) or minor grid lines between and beyond the ticks.
    void DrawMinorTicks(const TChartPen& pen, bool grid);

    bool FOtherSide;
    bool FAutomatic = true, FAutomaticMinimum = true, FAutomaticMaximum = true;
    double FMinimum = 0, FMaximum = 0, FIncrement = 0;
    bool FLogarithmic = false;
    double FLogarithmicBase = 10;
    int FMinimumOffset = 0, FMaximumOffset = 0;
    double FStartPosition = 0, FEndPosition = 100;
    bool FVisible = true;

    bool FLabels = true;
    TChartFont FLabelsFont;
    std::string FAxisValuesFormat = "#,##0.###";
    TAxisLabelStyle FLabelStyle = talAuto;
    int FLabelsAngle = 0;
    int FLabelsSeparation = 10;
    bool FLabelsAlternate = false;
    int FLabelsSize = 0;
    TAxisLabelAlign FLabelsAlign = alDefault;
    bool FLabelsOnAxis = true, FLabelsMultiLine = false, FLabelsExponent = false;
    bool FRoundFirstLabel = true, FTickOnLabelsOnly = true;

    TChartAxisPen FAxisPen;
    TDarkGrayPen FTicks, FTicksInner, FMinorTicks;
    TChartHiddenPen FMinorGrid;
    TAxisGridPen FGrid;
    int FTickLength = 4, FTickInnerLength = 0, FMinorTickLength = 2, FMinorTickCount = 3;

    TChartAxisTitle FTitle;
    TAxisItems FItems;
    int FTitleSize = 0;
    double FPositionPercent = 0;
    TMarginUnits FPositionUnits = muPercent;
};

// The axes of 3D depth: hidden, and shown only in 3D charts.
class TChartDepthAxis : public TChartAxis {
public:
    TChartDepthAxis(TCustomAxisPanel* chart, bool otherSide);
    bool IsDepthAxis() const override { return true; }
};

template <class T, class U>
void TChartAxis::StoreProperty(T& field, const U& value) {
    if (!(field == value)) {
        field = value;
        Changed();
    }
}
