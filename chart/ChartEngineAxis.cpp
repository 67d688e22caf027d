// An axis' settings, its range and pixel extent, its label step and its
// stored layout; its ticks and the room they take are in ChartAxisTicks.cpp,
// the drawing in ChartAxisDraw.cpp.

#include "ChartEngineAxis.h"

#include "AxisPanel.h"
#include "AxisText.h"

#include <algorithm>
#include <cmath>

#include "FloatRules.h"
#include "NumberPattern.h"

// Geometry runs in the 64-bit-significand type and is stored as double where
// the chart keeps a double; nearest() rounds to the nearest integer, ties to even.
namespace {

using real = long double;

int Nearest(real x) { return static_cast<int>(RoundHalfEven(x)); }

}  // namespace

// ---------------------------------------------------------------------------
void TChartAxisTitle::SetAngle(int v) { Store(FAngle, ((v % 360) + 360) % 360); }

TChartAxis::TChartAxis(TCustomAxisPanel* chart, bool horizontal, bool otherSide, int titleAngle)
    : FChart(chart), FOtherSide(otherSide),
      FLabelsFont(chart), FAxisPen(chart), FTicks(chart), FTicksInner(chart), FMinorTicks(chart),
      FMinorGrid(chart), FGrid(chart), FTitle(chart, titleAngle), FItems(chart) {
    FScale.AlongX = horizontal;
    if (FChart) FChart->Axes().Add(this);
}

TChartAxis::~TChartAxis() {
    if (FChart) FChart->Axes().Remove(this);
}

void TChartAxis::Changed() {
    if (FChart) FChart->Invalidate();
}

bool TChartAxis::ChartLoading() const { return FChart && FChart->Loading(); }

// -- Setters --------------------------------------------------------------------
void TChartAxis::SetAutomatic(bool v) {
    bool changed = FAutomatic != v;
    FAutomatic = v;
    if (!ChartLoading()) {
        changed = changed || FAutomaticMinimum != v || FAutomaticMaximum != v;
        FAutomaticMinimum = FAutomaticMaximum = v;
    }
    if (changed) Changed();
}

void TChartAxis::SetAutomaticMinimum(bool v) {
    const bool before = FAutomatic;
    const bool changed = FAutomaticMinimum != v;
    FAutomaticMinimum = v;
    if (!v)
        FAutomatic = false;
    else if (FAutomaticMaximum)
        FAutomatic = true;
    if (changed || before != FAutomatic) Changed();
}

void TChartAxis::SetAutomaticMaximum(bool v) {
    const bool before = FAutomatic;
    const bool changed = FAutomaticMaximum != v;
    FAutomaticMaximum = v;
    if (!v)
        FAutomatic = false;
    else if (FAutomaticMinimum)
        FAutomatic = true;
    if (changed || before != FAutomatic) Changed();
}

void TChartAxis::SetMinimum(double v) {
    if (!ChartLoading() && v > FMaximum) throw AxisException("Axis Minimum Value must be <= Maximum");
    StoreProperty(FMinimum, v);
}

void TChartAxis::SetMaximum(double v) {
    if (!ChartLoading() && v < FMinimum) throw AxisException("Axis Maximum Value must be >= Minimum");
    StoreProperty(FMaximum, v);
}

void TChartAxis::SetMinMaxUnchecked(double minimum, double maximum) {
    if (minimum == FMinimum && maximum == FMaximum) return;
    FMinimum = minimum;
    FMaximum = maximum;
    Changed();
}

void TChartAxis::SetIncrement(double v) {
    if (v < 0) throw AxisException("Axis increment must be >= 0");
    StoreProperty(FIncrement, v);
}

void TChartAxis::SetLabelsSeparation(int v) {
    if (v < 0) throw AxisException("Labels Separation % must be greater than 0");
    StoreProperty(FLabelsSeparation, v);
}

void TChartAxis::SetLabelsAngle(int v) { StoreProperty(FLabelsAngle, ((v % 360) + 360) % 360); }

void TChartAxis::SetLogarithmicBase(double v) {
    if (v <= 0 || v == 1) throw AxisException("Axis Logarithmic Base should be <> 1 and > 0");
    StoreProperty(FLogarithmicBase, v);
}

void TChartAxis::SetLogarithmic(bool v) {
    if (v && !FLogarithmic && !ChartLoading()) {
        if (IsDateTimeAxis()) throw AxisException("DateTime Axis cannot be Logarithmic");
        // The range the next paint would show.
        const double lo = (FAutomatic || FAutomaticMinimum) && FChart ? FChart->DataExtremeForAxis(*this, true) : FMinimum;
        const double hi = (FAutomatic || FAutomaticMaximum) && FChart ? FChart->DataExtremeForAxis(*this, false) : FMaximum;
        if (lo < 0 || hi < 0) throw AxisException("Logarithmic Axis Min and Max values should be >= 0");
    }
    StoreProperty(FLogarithmic, v);
}

bool TChartAxis::IsDateTimeAxis() const {
    if (!FChart || IsDepthAxis()) return false;
    for (const TChartSeries* s : FChart->SeriesList()) {
        if (!s->Active() || !FChart->IsSeriesBoundTo(*s, *this)) continue;
        const TChartValueList* list = (Horizontal() == s->YIsValue) ? s->XValues() : s->YValues();
        if (list->DateTime()) return true;
    }
    return false;
}

// -- Layout -----------------------------------------------------------------------
bool TChartAxis::ComputeIsShown() const {
    if (!FChart || !FChart->AxisVisible() || !FVisible) return false;
    if (IsDepthAxis()) return FChart->View3D();
    if (FChart->ActiveSeriesCount() == 0) return true;
    for (const TChartSeries* s : FChart->SeriesList()) {
        if (!s->Active()) continue;
        if (FChart->IsSeriesBoundTo(*s, *this)) return true;
    }
    return false;
}

void TChartAxis::ComputeAutoRange() {
    if (FChart) {
        if (FAutomatic || FAutomaticMaximum) FMaximum = FChart->DataExtremeForAxis(*this, false);
        if (FAutomatic || FAutomaticMinimum) FMinimum = FChart->DataExtremeForAxis(*this, true);
    }
    FScale.ScaleMax = FMaximum;
    FScale.ScaleMin = FMinimum;
    FScale.RefreshScale();
}

void TChartAxis::ComputePixelExtent() {
    if (FChart) {
        const TRect& r = FChart->PlotRect();
        PixelExtentIn(FScale, r.Left, r.Top, FChart->PlotWidth(), FChart->PlotHeight());
    } else {
        FScale.SetExtent(FScale.PixelStart, FScale.PixelEnd);
    }
}

void TChartAxis::SetScale(double minimum, double maximum, int pixelStart, int pixelEnd) {
    FScale.ScaleMin = minimum;
    FScale.ScaleMax = maximum;
    FScale.SetExtent(pixelStart, pixelEnd);
}

void TChartAxis::PixelExtentIn(TAxisScale& scale, int left, int top, int width, int height) const {
    const int origin = Horizontal() ? left : top;
    const real size = Horizontal() ? width : height;
    scale.SetExtent(origin + Nearest(size * 0.01L * FStartPosition), origin + Nearest(size * 0.01L * FEndPosition));
}

void TChartAxis::ExtendRangeByPixels(int before, int after) {
    const int fullStart = FScale.PixelStart, fullEnd = FScale.PixelEnd;
    FScale.PixelStart += before;
    FScale.PixelEnd -= after;
    FScale.PixelLength = FScale.PixelEnd - FScale.PixelStart;
    const double valueAtStart = PixelToValue(fullStart);
    const double valueAtEnd = PixelToValue(fullEnd);
    ComputePixelExtent();
    FScale.ScaleMin = valueAtStart;
    FScale.ScaleMax = valueAtEnd;
    if (FScale.ScaleMin > FScale.ScaleMax) std::swap(FScale.ScaleMin, FScale.ScaleMax);
    FScale.RefreshScale();
}

void TChartAxis::ApplyPixelMargins() {
    int before = 0, after = 0;
    if (FChart)
        for (TChartSeries* s : FChart->SeriesList()) {
            if (!s->Active() || !FChart->IsSeriesBoundTo(*s, *this)) continue;
            int a = 0, b = 0;
            if (Horizontal()) {
                s->HorizMargins(a, b);
                if (FAutomaticMinimum) before = std::max(before, a);
                if (FAutomaticMaximum) after = std::max(after, b);
            } else {
                s->VertMargins(a, b);
                if (FAutomaticMaximum) before = std::max(before, a);
                if (FAutomaticMinimum) after = std::max(after, b);
            }
        }
    const bool offsets = FMinimumOffset != 0 || FMaximumOffset != 0;
    if (offsets) {
        // The minimum's end: left of a horizontal axis, bottom of a vertical one.
        const bool minimumBefore = Horizontal() != FScale.Reversed;
        (minimumBefore ? before : after) += FMinimumOffset;
        (minimumBefore ? after : before) += FMaximumOffset;
    }
    ExtendRangeByPixels(before, after);
    if (offsets) TitleEdgePos = Outward(LabelsEdgePos, LabelsBandSize());
}

// -- Label step -----------------------------------------------------------------------------
int TChartAxis::MultiLineWidth(std::string_view text) const {
    const TChartCanvas& c = FChart->Canvas();
    int widest = 0;
    ForEachLine(text, [&](std::string_view line) { widest = std::max(widest, c.MeasureWidth(line)); });
    return widest;
}

int TChartAxis::LabelExtentAlongAxis(double value, double step) {
    if (!FChart) return 0;
    const std::string text = FormatAxisValue(value, step);
    const bool across = Horizontal() ? (FLabelsAngle == 90 || FLabelsAngle == 270)
                                     : (FLabelsAngle == 0 || FLabelsAngle == 180);
    if (across) return FChart->Canvas().CharHeight() * LineCount(text);
    return MultiLineWidth(text);
}

double TChartAxis::ComputeLabelStep() { return ComputeLabelStep(FScale); }

double TChartAxis::ComputeLabelStep(const TAxisScale& scale) {
    TLabelStepRules rules;
    rules.Increment = FIncrement;
    rules.LabelsSeparation = FLabelsSeparation;
    rules.LabelsAlternate = FLabelsAlternate;
    if (FChart)
        for (const TChartSeries* s : FChart->SeriesList())
            if (s->Active() && FChart->IsSeriesBoundTo(*s, *this) && s->YIsValue == Horizontal())
                rules.FewestPoints = std::min(rules.FewestPoints, s->PointCount());
    // Measured with the pattern's own decimals first.
    double step = ::ComputeLabelStep(scale, rules, [this](double v) { return LabelExtentAlongAxis(v); });
    // A step finer than the pattern's decimals lengthens the labels by the
    // decimals it needs; while they would not fit apart, the next coarser
    // step of the 1-2-5 sequence (which needs fewer).
    const int patternDecimals = PatternDecimals(FAxisValuesFormat);
    const long double range = std::fabs(static_cast<real>(scale.ScaleMax) - scale.ScaleMin);
    for (int i = 0; i < 64 && !IsDateTimeAxis() && step > 1e-12 && range > 0 && StepDecimals(step) > patternDecimals; ++i) {
        const double mid = static_cast<double>((static_cast<real>(scale.ScaleMax) + scale.ScaleMin) * 0.5L);
        const int size = std::max({LabelExtentAlongAxis(scale.ScaleMin, step), LabelExtentAlongAxis(scale.ScaleMax, step),
                                   LabelExtentAlongAxis(mid, step)});
        const long double apart = static_cast<long double>(scale.PixelLength) * step / range;
        if (size + Nearest(FLabelsSeparation * 0.01L * size) <= apart) break;
        step = NextNiceStep(step);
    }
    return step;
}

// -- Changing the range by hand -----------------------------------------------------------------
void TChartAxis::SetRange(double minimum, double maximum) {
    const bool flags = FAutomatic || FAutomaticMinimum || FAutomaticMaximum;
    FAutomatic = FAutomaticMinimum = FAutomaticMaximum = false;
    if (minimum > maximum) std::swap(minimum, maximum);
    if (static_cast<real>(maximum) - minimum < 1e-10L) maximum = static_cast<double>(minimum + 1e-10L);
    if (flags || minimum != FMinimum || maximum != FMaximum) {
        FMinimum = minimum;
        FMaximum = maximum;
        Changed();
    }
}

void TChartAxis::ShiftRange(double delta, bool checkLimits) {
    if (checkLimits) {
        if (!FChart) return;
        const bool act = (delta > 0 && FChart->DataExtremeForAxis(*this, false) > FMaximum) ||
                         (delta < 0 && FChart->DataExtremeForAxis(*this, true) < FMinimum);
        if (!act) return;
    }
    FAutomatic = FAutomaticMaximum = FAutomaticMinimum = false;
    FMaximum = static_cast<double>(static_cast<real>(FMaximum) + delta);
    FMinimum = static_cast<double>(static_cast<real>(FMinimum) + delta);
    Changed();
}

// -- Stored layout -------------------------------------------------------------------------------
namespace {
constexpr const char* kLabelStyles[] = {"talAuto", "talNone", "talValue", "talMark", "talText", "talPointValue"};
constexpr const char* kLabelAligns[] = {"alDefault", "alOpposite"};
constexpr const char* kLineModes[] = {"lmLine", "lmCylinder", "lmRectangle"};
constexpr const char* kUnits[] = {"muPercent", "muPixels"};
}  // namespace

void TChartAxis::Publish(TPublisher& p) {
    p.Object("Axis", [this](TPublisher& q) {
        PublishPen(q, FAxisPen);
        q.Enum<TAxisLineMode>("LineMode", FAxisPen.LineMode(), kLineModes, [this](TAxisLineMode v) { FAxisPen.SetLineMode(v); });
    });
    p.String("AxisValuesFormat", FAxisValuesFormat, [this](const std::string& v) { SetAxisValuesFormat(v); });
    p.Bool("Automatic", FAutomatic, [this](bool v) { SetAutomatic(v); });
    p.Bool("AutomaticMaximum", FAutomaticMaximum, [this](bool v) { SetAutomaticMaximum(v); });
    p.Bool("AutomaticMinimum", FAutomaticMinimum, [this](bool v) { SetAutomaticMinimum(v); });
    p.Double("EndPosition", FEndPosition, [this](double v) { SetEndPosition(v); });
    p.Object("Grid", [this](TPublisher& q) {
        PublishPen(q, FGrid);
        q.Bool("Centered", FGrid.Centered(), [this](bool v) { FGrid.SetCentered(v); });
        q.Integer("DrawEvery", FGrid.DrawEvery(), [this](int v) { FGrid.SetDrawEvery(v); });
    });
    p.Double("Increment", FIncrement, [this](double v) { SetIncrement(v); });
    p.Bool("Inverted", FScale.Reversed, [this](bool v) { SetInverted(v); });
    p.Bool("Labels", FLabels, [this](bool v) { SetLabels(v); });
    p.Enum<TAxisLabelAlign>("LabelsAlign", FLabelsAlign, kLabelAligns, [this](TAxisLabelAlign v) { SetLabelsAlign(v); });
    p.Bool("LabelsAlternate", FLabelsAlternate, [this](bool v) { SetLabelsAlternate(v); });
    p.Integer("LabelsAngle", FLabelsAngle, [this](int v) { SetLabelsAngle(v); });
    p.Bool("LabelsExponent", FLabelsExponent, [this](bool v) { SetLabelsExponent(v); });
    p.Object("LabelsFont", [this](TPublisher& q) { PublishFont(q, FLabelsFont); });
    p.Bool("LabelsMultiLine", FLabelsMultiLine, [this](bool v) { SetLabelsMultiLine(v); });
    p.Bool("LabelsOnAxis", FLabelsOnAxis, [this](bool v) { SetLabelsOnAxis(v); });
    p.Integer("LabelsSeparation", FLabelsSeparation, [this](int v) { SetLabelsSeparation(v); });
    p.Integer("LabelsSize", FLabelsSize, [this](int v) { SetLabelsSize(v); });
    p.Enum<TAxisLabelStyle>("LabelStyle", FLabelStyle, kLabelStyles, [this](TAxisLabelStyle v) { SetLabelStyle(v); });
    p.Bool("Logarithmic", FLogarithmic, [this](bool v) { SetLogarithmic(v); });
    p.Double("LogarithmicBase", FLogarithmicBase, [this](double v) { SetLogarithmicBase(v); });
    p.Double("Maximum", FMaximum, [this](double v) { SetMaximum(v); });
    p.Integer("MaximumOffset", FMaximumOffset, [this](int v) { SetMaximumOffset(v); });
    p.Double("Minimum", FMinimum, [this](double v) { SetMinimum(v); });
    p.Integer("MinimumOffset", FMinimumOffset, [this](int v) { SetMinimumOffset(v); });
    p.Object("MinorGrid", [this](TPublisher& q) { PublishPen(q, FMinorGrid); });
    p.Integer("MinorTickCount", FMinorTickCount, [this](int v) { SetMinorTickCount(v); });
    p.Integer("MinorTickLength", FMinorTickLength, [this](int v) { SetMinorTickLength(v); });
    p.Object("MinorTicks", [this](TPublisher& q) { PublishPen(q, FMinorTicks); });
    p.Double("PositionPercent", FPositionPercent, [this](double v) { SetPositionPercent(v); });
    p.Enum<TMarginUnits>("PositionUnits", FPositionUnits, kUnits, [this](TMarginUnits v) { SetPositionUnits(v); });
    p.Bool("RoundFirstLabel", FRoundFirstLabel, [this](bool v) { SetRoundFirstLabel(v); });
    p.Double("StartPosition", FStartPosition, [this](double v) { SetStartPosition(v); });
    p.Integer("TickInnerLength", FTickInnerLength, [this](int v) { SetTickInnerLength(v); });
    p.Integer("TickLength", FTickLength, [this](int v) { SetTickLength(v); });
    p.Bool("TickOnLabelsOnly", FTickOnLabelsOnly, [this](bool v) { SetTickOnLabelsOnly(v); });
    p.Object("Ticks", [this](TPublisher& q) { PublishPen(q, FTicks); });
    p.Object("TicksInner", [this](TPublisher& q) { PublishPen(q, FTicksInner); });
    p.Object("Title", [this](TPublisher& q) {
        q.Integer("Angle", FTitle.Angle(), [this](int v) { FTitle.SetAngle(v); });
        q.String("Caption", FTitle.Caption(), [this](const std::string& v) { FTitle.SetCaption(v); });
        q.Object("Font", [this](TPublisher& r) { PublishFont(r, FTitle.Font()); });
        q.Bool("Visible", FTitle.Visible(), [this](bool v) { FTitle.SetVisible(v); });
    });
    p.Integer("TitleSize", FTitleSize, [this](int v) { SetTitleSize(v); });
    p.Bool("Visible", FVisible, [this](bool v) { SetVisible(v); });
}

TChartDepthAxis::TChartDepthAxis(TCustomAxisPanel* chart, bool otherSide) : TChartAxis(chart, false, otherSide, 0) {
    SetVisible(false);
}
