#include "ChartEngineAxis.h"

#include "AxisPanel.h"
#include "AxisText.h"
#include "ScopeExit.h"

#include <algorithm>
#include <cmath>

#include "ChartAxisDates.h"
#include "FloatRules.h"
#include "LocaleFormats.h"
#include "NumberPattern.h"

// Geometry runs in the 64-bit-significand type and is stored as double where
// the chart keeps a double; nearest() rounds to the nearest integer, ties to even.
namespace {

using real = long double;

int Nearest(real x) { return static_cast<int>(RoundHalfEven(x)); }

int CountLines(const std::string& text) {
    return text.empty() ? 0 : 1 + static_cast<int>(std::count(text.begin(), text.end(), '\r'));
}

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
        PixelExtentIn(r.Left, r.Top, FChart->PlotWidth(), FChart->PlotHeight());
    }
    FScale.PixelLength = FScale.PixelEnd - FScale.PixelStart;
    FScale.PixelCentre = (FScale.PixelStart + FScale.PixelEnd) / 2;
    FScale.RefreshScale();
}

void TChartAxis::SetScale(double minimum, double maximum, int pixelStart, int pixelEnd) {
    FScale.ScaleMin = minimum;
    FScale.ScaleMax = maximum;
    FScale.PixelStart = pixelStart;
    FScale.PixelEnd = pixelEnd;
    FScale.PixelLength = pixelEnd - pixelStart;
    FScale.PixelCentre = (pixelStart + pixelEnd) / 2;
    FScale.RefreshScale();
}

void TChartAxis::PixelExtentIn(int left, int top, int width, int height) {
    const int origin = Horizontal() ? left : top;
    const real size = Horizontal() ? width : height;
    FScale.PixelStart = origin + Nearest(size * 0.01L * FStartPosition);
    FScale.PixelEnd = origin + Nearest(size * 0.01L * FEndPosition);
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
int TChartAxis::MultiLineWidth(const std::string& text) const {
    const TChartCanvas& c = FChart->Canvas();
    int widest = 0;
    std::size_t start = 0;
    while (true) {
        const std::size_t cr = text.find('\r', start);
        widest = std::max(widest, c.MeasureWidth(std::string_view(text).substr(start, cr == std::string::npos ? std::string::npos : cr - start)));
        if (cr == std::string::npos) break;
        start = cr + 1;
    }
    return widest;
}

int TChartAxis::LabelExtentAlongAxis(double value) {
    if (!FChart) return 0;
    const std::string text = FormatAxisValue(value);
    const int lines = CountLines(text);
    const bool across = Horizontal() ? (FLabelsAngle == 90 || FLabelsAngle == 270)
                                    : (FLabelsAngle == 0 || FLabelsAngle == 180);
    if (across) return FChart->Canvas().CharHeight() * lines;
    return MultiLineWidth(text);
}

double TChartAxis::ComputeLabelStep() {
    TLabelStepRules rules;
    rules.Increment = FIncrement;
    rules.LabelsSeparation = FLabelsSeparation;
    rules.LabelsAlternate = FLabelsAlternate;
    if (FChart)
        for (const TChartSeries* s : FChart->SeriesList())
            if (s->Active() && FChart->IsSeriesBoundTo(*s, *this) && s->YIsValue == Horizontal())
                rules.FewestPoints = std::min(rules.FewestPoints, s->PointCount());
    // Measured with the pattern's own decimals first.
    const double outer = FLabelStep;
    const TScopeExit restore([this, outer] { FLabelStep = outer; });
    FLabelStep = 0;
    double step = ::ComputeLabelStep(Scale(), rules, [this](double v) { return LabelExtentAlongAxis(v); });
    // A step finer than the pattern's decimals lengthens the labels by the
    // decimals it needs; while they would not fit apart, the next coarser
    // step of the 1-2-5 sequence (which needs fewer).
    const int patternDecimals = PatternDecimals(FAxisValuesFormat);
    const long double range = std::fabs(static_cast<real>(FScale.ScaleMax) - FScale.ScaleMin);
    for (int i = 0; i < 64 && !IsDateTimeAxis() && step > 1e-12 && range > 0 && StepDecimals(step) > patternDecimals; ++i) {
        FLabelStep = step;
        const double mid = static_cast<double>((static_cast<real>(FScale.ScaleMax) + FScale.ScaleMin) * 0.5L);
        const int size = std::max({LabelExtentAlongAxis(FScale.ScaleMin), LabelExtentAlongAxis(FScale.ScaleMax), LabelExtentAlongAxis(mid)});
        const long double apart = static_cast<long double>(FScale.PixelLength) * step / range;
        if (size + Nearest(FLabelsSeparation * 0.01L * size) <= apart) break;
        step = NextNiceStep(step);
    }
    return step;
}

int TChartAxis::StepDecimals(double step) {
    const long double s = std::fabs(static_cast<long double>(step));
    if (!(s > 0) || !std::isfinite(s)) return 0;
    long double scaled = s;
    for (int d = 0; d < 15; ++d, scaled *= 10)
        if (std::fabs(scaled - std::round(scaled)) <= 1e-9L * scaled) return d;
    return 15;
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

// -- Room beside the chart rectangle --------------------------------------------------------------
int TChartAxis::Outward(int pos, int n) const {
    if (Horizontal()) return FOtherSide ? pos - n : pos + n;
    return FOtherSide ? pos + n : pos - n;
}

int TChartAxis::TickAreaSize() const {
    int size = FAxisPen.Visible() ? FAxisPen.Width() + 1 : 0;
    if (FTicks.Visible()) size += FTickLength;
    if (FMinorTicks.Visible()) size = std::max(size, FMinorTickLength);
    return size;
}

int TChartAxis::BandSizeFor(TChartFont& font, int angle, int fixedSize, const std::string* text) {
    if (fixedSize != 0) return fixedSize;
    if (!FChart) return 0;
    TChartCanvas& c = FChart->Canvas();
    c.SelectChartFont(font);
    const bool across = Horizontal() ? (angle == 0 || angle == 180) : (angle == 90 || angle == 270);
    if (across) return c.CharHeight();
    return text ? c.MeasureWidth(*text) : MaxValueLabelWidth();
}

int TChartAxis::LabelsBandSize() {
    const int size = BandSizeFor(FLabelsFont, FLabelsAngle, FLabelsSize, nullptr);
    return FLabelsAlternate ? size * 2 : size;
}

TAxisLabelStyle TChartAxis::ResolveLabelStyle() const {
    if (FLabelStyle != talAuto) return FLabelStyle;
    if (!FChart) return talNone;
    bool bound = false;
    for (const TChartSeries* s : FChart->SeriesList()) {
        if (!s->Active() || !FChart->IsSeriesBoundTo(*s, *this)) continue;
        bound = true;
        if (s->YIsValue == Horizontal())
            for (int i = 0; i < s->Labels().Count(); ++i)
                if (!s->Labels().Label(i).empty()) return talText;
    }
    return bound ? talValue : talNone;
}

int TChartAxis::MaxValueLabelWidth() {
    if (!FChart) return 0;
    const TAxisLabelStyle style = ResolveLabelStyle();
    if (style == talNone) return 0;
    if (style == talText || style == talMark) {
        int widest = 0;
        for (const TChartSeries* s : FChart->SeriesList()) {
            if (!s->Active() || !FChart->IsSeriesBoundTo(*s, *this)) continue;
            if (style == talText)
                for (int i = 0; i < s->Labels().Count(); ++i) widest = std::max(widest, MultiLineWidth(s->Labels().Label(i)));
            else
                for (const auto& item : s->Marks().Items) widest = std::max(widest, MultiLineWidth(item.Text));
        }
        return widest;
    }
    if (IsDateTimeAxis()) return WidestDateLabel(*this) + FChart->Canvas().MeasureWidth(" ");
    // The band holds the labels drawn at this scale, each of them: the widest
    // may lie anywhere in the range (1.5 between 1 and 2).
    int widest = 0;
    const double step = ComputeLabelStep();
    {
        // The application's label hook does not take part in measuring; it is
        // back afterwards, also when the labels' values hook throws.
        auto hook = std::move(FChart->OnGetAxisLabel);
        FChart->OnGetAxisLabel = nullptr;
        const TScopeExit restore([this, &hook] { FChart->OnGetAxisLabel = std::move(hook); });
        const double outer = FLabelStep;
        const TScopeExit restoreStep([this, outer] { FLabelStep = outer; });
        FLabelStep = step;
        if (step > 0 && FScale.ScaleMax >= FScale.ScaleMin)
            ForEachValueLabel(step, [&](double v) {
                if (!FLabelsOnAxis) {
                    const int p = ValueToPixel(v);
                    if (!(FScale.PixelStart < p && p < FScale.PixelEnd)) return;
                }
                widest = std::max(widest, MultiLineWidth(FormatAxisValue(v)));
            });
    }
    return widest + FChart->Canvas().MeasureWidth(" ");
}

int TChartAxis::ApplyPositionPercent(int pos, const TRect& rect) const {
    if (FPositionPercent == 0) return pos;
    int shift = FPositionUnits == muPixels
                    ? Nearest(FPositionPercent)
                    : Nearest(FPositionPercent * 0.01L * (Horizontal() ? rect.Height() : rect.Width()));
    if (FOtherSide) shift = -shift;
    return Horizontal() ? pos - shift : pos + shift;
}

void TChartAxis::ReserveAxisSpace(TRect& rect, bool shrink) {
    const TRect given = rect;
    auto edge = [&]() -> int {
        if (Horizontal()) return FOtherSide ? rect.Top : rect.Bottom;
        return FOtherSide ? rect.Right : rect.Left;
    };
    if (!shrink) {
        AxisLinePos = ApplyPositionPercent(edge(), given);
        LabelsEdgePos = Outward(AxisLinePos, TickAreaSize());
        TitleEdgePos = Outward(LabelsEdgePos, LabelsBandSize());
        return;
    }
    auto cut = [&](int n) {
        if (Horizontal())
            (FOtherSide ? rect.Top += n : rect.Bottom -= n);
        else
            (FOtherSide ? rect.Right -= n : rect.Left += n);
    };
    if (FTitle.Visible() && !FTitle.Caption().empty()) {
        cut(BandSizeFor(FTitle.Font(), FTitle.Angle(), FTitleSize, &FTitle.Caption()));
        TitleEdgePos = edge();
    }
    if (FLabels) {
        int band;
        if (FChart && !FChart->FixedPlotRect()) {
            // The labels are measured at the length the axis will have: the
            // space still free, which the axes before this one have already
            // narrowed across it. The step, and so the labels drawn, depend on it.
            const int start = FScale.PixelStart, end = FScale.PixelEnd, length = FScale.PixelLength, centre = FScale.PixelCentre;
            PixelExtentIn(rect.Left, rect.Top, rect.Width(), rect.Height());
            FScale.PixelLength = FScale.PixelEnd - FScale.PixelStart;
            FScale.PixelCentre = (FScale.PixelStart + FScale.PixelEnd) / 2;
            FScale.RefreshScale();
            band = LabelsBandSize();
            FScale.PixelStart = start, FScale.PixelEnd = end, FScale.PixelLength = length, FScale.PixelCentre = centre;
            FScale.RefreshScale();
        } else {
            band = LabelsBandSize();
        }
        cut(band);
        LabelsEdgePos = edge();
    }
    const int ticks = TickAreaSize() + (FChart ? FChart->WallOffset(*this) : 0);
    if (ticks > 0) cut(ticks);
    TitleEdgePos = ApplyPositionPercent(TitleEdgePos, given);
    LabelsEdgePos = ApplyPositionPercent(LabelsEdgePos, given);
}

std::string TChartAxis::FormatAxisValue(double value) const {
    const LocaleFormats& f = Formats();
    const int decimals = FLabelStep > 0 ? StepDecimals(FLabelStep) : 0;
    std::string text = decimals > PatternDecimals(FAxisValuesFormat)
                           ? FormatNumberPattern(value, WidenPatternDecimals(FAxisValuesFormat, decimals), f.decimalMark,
                                                 f.thousandsMark)
                           : FormatNumberPattern(value, FAxisValuesFormat, f.decimalMark, f.thousandsMark);
    if (FChart && FChart->OnGetAxisLabel)
        FChart->OnGetAxisLabel(const_cast<TChartAxis*>(this), nullptr, -1, text);
    if (FLabelsMultiLine) std::replace(text.begin(), text.end(), ' ', '\r');
    return text;
}

// -- Drawing ---------------------------------------------------------------------------------------

void TChartAxis::DrawAxis() {
    if (!FChart) return;
    TChartCanvas& c = FChart->Canvas();
    const TRect& r = FChart->PlotRect();
    int edge;
    if (Horizontal())
        edge = FOtherSide ? r.Top : r.Bottom;
    else
        edge = FOtherSide ? r.Right : r.Left;
    AxisLinePos = ApplyPositionPercent(edge, r);

    DrawAxisTitle();
    TickPositions.clear();

    const TAxisLabelStyle style = ResolveLabelStyle();
    if (style != talNone) {
        c.SelectChartFont(FLabelsFont);
        const double step = ComputeLabelStep();
        if (step > 0 && FScale.ScaleMax >= FScale.ScaleMin) {
            if (style == talValue && IsDateTimeAxis())
                DrawDateLabels(*this);
            else if (style == talValue)
                DrawValueLabels(step);
            else
                DrawSeriesLabels(style);
        }
    }

    c.ClearBrush();
    c.SetBackgroundMode(bmTransparent);
    DrawAxisLine();
    DrawTicks(FTicks, 1, FTickLength);
    DrawGridLines();
    DrawTicks(FTicksInner, -1, -FTickInnerLength);
    DrawMinorTicks(FMinorTicks, false);
    DrawMinorTicks(FMinorGrid, true);
    c.SetBackgroundMode(bmOpaque);
}

void TChartAxis::DrawValueLabels(double step) {
    const double outer = FLabelStep;
    const TScopeExit restore([this, outer] { FLabelStep = outer; });
    FLabelStep = step;
    ForEachValueLabel(step, [this](double v) { DrawLabelAt(v); });
}

void TChartAxis::ForEachValueLabel(double step, const std::function<void(double)>& each) {
    if (TooManyLabels(Scale(), step)) return;
    if (FChart && FChart->OnGetNextAxisLabel) {
        // The application lists the values itself; the list ends when it says
        // so, and no later than the value labels' own limit.
        for (int i = 0; i < 10000; ++i) {
            double value = 0;
            bool stop = false;
            FChart->OnGetNextAxisLabel(this, i, value, stop);
            if (stop) break;
            each(value);
        }
        return;
    }
    ForEachLabelValue(Scale(), step, FRoundFirstLabel, each);
}

void TChartAxis::DrawSeriesLabels(TAxisLabelStyle style) {
    for (const TChartSeries* s : FChart->SeriesList()) {
        if (!s->Active() || !FChart->IsSeriesBoundTo(*s, *this) || s->YIsValue != Horizontal()) continue;
        const int count = s->PointCount();
        for (int i = 0; i < count; ++i) {
            const double value = Horizontal() ? s->XValueAt(i) : s->YValueAt(i);
            if (style == talText) {
                const std::string& text = s->Labels().Label(i);
                if (!text.empty()) DrawLabelAt(value, &text);
            } else if (style == talMark) {
                const auto& items = s->Marks().Items;
                if (i < static_cast<int>(items.size()) && !items[static_cast<std::size_t>(i)].Text.empty())
                    DrawLabelAt(value, &items[static_cast<std::size_t>(i)].Text);
            } else {
                DrawLabelAt(value);
            }
        }
        return;  // the first series on the axis gives the labels
    }
}

void TChartAxis::DrawLabelAt(double value, const std::string* text) {
    const int p = ValueToPixel(value);
    if (!FLabelsOnAxis && !(FScale.PixelStart < p && p < FScale.PixelEnd)) return;
    if (!FTickOnLabelsOnly) TickPositions.push_back(p);
    if (!FLabels) return;
    const std::string own = text ? std::string() : FormatAxisValue(value);
    if (FTickOnLabelsOnly) TickPositions.push_back(p);
    TChartCanvas& c = FChart->Canvas();
    // Selecting the font again costs a font and its metrics per label.
    if (c.RememberedFont() != &FLabelsFont) c.SelectChartFont(FLabelsFont);
    c.ClearBrush();
    // Text over a clear brush leaves the background showing.
    c.SetBackgroundMode(bmTransparent);
    const std::string& shown = text ? *text : own;
    if (Horizontal())
        PlaceAxisText(p, LabelsEdgePos, shown, FLabelsAngle, true);
    else
        PlaceAxisText(LabelsEdgePos, p, shown, FLabelsAngle, true);
}

void TChartAxis::PlaceAxisText(int x, int y, const std::string& text, int angle, bool labelBox) {
    TChartCanvas& c = FChart->Canvas();
    const int h = c.CharHeight();
    const int n = CountLines(text);
    const TAxisSide side = Horizontal() ? (FOtherSide ? sideTop : sideBottom) : (FOtherSide ? sideRight : sideLeft);
    TTextPlacement t = PlacementFor(side, angle, h, n);
    if (labelBox && !Horizontal() && FLabelsAlign == alOpposite && angle == 0) {
        // Aligned to the band's far side, toward the chart rectangle.
        if (FOtherSide) {
            t.Align = TA_RIGHT | TA_TOP;
            x += LabelsBandSize();
        } else {
            t.Align = TA_LEFT | TA_TOP;
            x -= LabelsBandSize();
        }
        c.SelectChartFont(FLabelsFont);  // LabelsBandSize may have measured in it
    }
    x += t.PreX;
    y += t.PreY;
    const int quarter = angle % 90 == 0 ? angle : 0;

    if (labelBox && !FItems.Format().Transparent() && n > 0) {
        // The box around every line, widened along the text by half a "W".
        const int pad = c.MeasureWidth("W") / 2;
        TRect box{0, 0, 0, 0};
        int lx = x, ly = y;
        std::size_t start = 0;
        for (int i = 0; i < n; ++i) {
            const std::size_t cr = text.find('\r', start);
            const std::string_view line = std::string_view(text).substr(start, cr == std::string::npos ? std::string::npos : cr - start);
            start = cr + 1;
            lx += t.StepX;
            ly += t.StepY;
            const TRect b = LineBox(lx, ly, c.MeasureWidth(line) + 2 * pad, h, t.Align, quarter);
            box = i == 0 ? b : TRect{std::min(box.Left, b.Left), std::min(box.Top, b.Top), std::max(box.Right, b.Right), std::max(box.Bottom, b.Bottom)};
        }
        const TAxisLabelFormat& f = FItems.Format();
        c.SelectChartPen(f.Pen());
        c.SelectBrush(f.Color(), bsSolid);
        c.RectangleOutline(box);
        c.ClearBrush();
    }

    c.SetTextAlignment(t.Align);
    std::size_t start = 0;
    for (int i = 0; i < n; ++i) {
        const std::size_t cr = text.find('\r', start);
        const std::string_view line = std::string_view(text).substr(start, cr == std::string::npos ? std::string::npos : cr - start);
        start = cr + 1;
        x += t.StepX;
        y += t.StepY;
        if (angle == 0)
            c.WriteText(x, y, line);
        else
            c.WriteRotatedText(x, y, angle, line);
    }
    c.SetTextAlignment(TA_LEFT | TA_TOP);
}

void TChartAxis::DrawAxisTitle() {
    if (!FTitle.Visible() || FTitle.Caption().empty()) return;
    TChartCanvas& c = FChart->Canvas();
    c.SelectChartFont(FTitle.Font());
    c.SetBackgroundMode(bmTransparent);
    if (Horizontal())
        PlaceAxisText(FScale.PixelCentre, TitleEdgePos, FTitle.Caption(), FTitle.Angle());
    else
        PlaceAxisText(TitleEdgePos, FScale.PixelCentre, FTitle.Caption(), FTitle.Angle());
}

void TChartAxis::DrawAxisLine() {
    if (!FAxisPen.Visible()) return;
    TChartCanvas& c = FChart->Canvas();
    if (FAxisPen.LineMode() != lmLine) {
        // A band as wide as the pen, centred on the axis line.
        const int w = std::max(FAxisPen.Width(), 1), from = AxisLinePos - w / 2;
        c.SelectBrush(FAxisPen.Color(), bsSolid);
        c.FillRectangle(Horizontal() ? TRect{FScale.PixelStart, from, FScale.PixelEnd, from + w} : TRect{from, FScale.PixelStart, from + w, FScale.PixelEnd});
        c.ClearBrush();
        return;
    }
    c.SelectChartPen(FAxisPen);
    if (Horizontal())
        c.HorizontalLine(FScale.PixelStart, FScale.PixelEnd, AxisLinePos);
    else
        c.VerticalLine(AxisLinePos, FScale.PixelStart, FScale.PixelEnd);
}

void TChartAxis::TickAt(int t, int offset, int length) {
    TChartCanvas& c = FChart->Canvas();
    // Outward is +y below the chart and +x right of it.
    const int dir = (Horizontal() != FOtherSide) ? 1 : -1;
    const int from = AxisLinePos + dir * offset, to = from + dir * length;
    if (Horizontal())
        c.VerticalLine(t, from, to);
    else
        c.HorizontalLine(from, to, t);
}

void TChartAxis::DrawTicks(const TChartPen& pen, int offset, int length) {
    if (!pen.Visible() || TickPositions.empty()) return;
    FChart->Canvas().SelectChartPen(pen);
    for (const int t : TickPositions) TickAt(t, offset, length);
}

void TChartAxis::GridLineAt(int t) {
    // The ends of the axis lie on the frame: no grid line over it.
    if (!(FScale.PixelStart < t && t < FScale.PixelEnd)) return;
    TChartCanvas& c = FChart->Canvas();
    const TRect& r = FChart->PlotRect();
    if (Horizontal())
        c.VerticalLine(t, r.Top + 1, r.Bottom);
    else
        c.HorizontalLine(r.Left + 1, r.Right, t);
}

void TChartAxis::DrawGridLines() {
    if (!FGrid.Visible() || TickPositions.empty()) return;
    FChart->Canvas().SelectChartPen(FGrid, FGrid.Color() == clDefault ? clChartGray : FGrid.Color());
    const int every = std::max(FGrid.DrawEvery(), 1);  // 0 or less: every line
    const int count = static_cast<int>(TickPositions.size());
    if (!FGrid.Centered()) {
        for (int i = 0; i < count; i += every) GridLineAt(TickPositions[static_cast<std::size_t>(i)]);
        return;
    }
    for (int i = every; i < count; i += every) {
        const auto k = static_cast<std::size_t>(i);
        GridLineAt(Nearest((static_cast<real>(TickPositions[k]) + TickPositions[k - 1]) * 0.5L));
    }
}

void TChartAxis::DrawMinorTicks(const TChartPen& pen, bool grid) {
    const int m = FMinorTickCount;
    if (TickPositions.empty() || !pen.Visible() || m < 1) return;
    FChart->Canvas().SelectChartPen(pen);
    auto mark = [&](int q) {
        if (!(FScale.PixelStart < q && q < FScale.PixelEnd)) return;
        if (grid)
            GridLineAt(q);
        else
            TickAt(q, 1, FMinorTickLength);
    };
    const std::vector<int>& t = TickPositions;
    const std::size_t count = t.size();
    if (count >= 2) {
        // The spacing of the first two labels continues beyond both ends.
        const real d = static_cast<real>(t[1] - t[0]) / (m + 1);
        for (int j = 1; j <= m; ++j) {
            mark(t[0] - Nearest(j * d));
            mark(t[count - 1] + Nearest(j * d));
        }
    }
    for (std::size_t i = 1; i < count; ++i) {
        const real d = static_cast<real>(t[i] - t[i - 1]) / (m + 1);
        for (int j = 1; j <= m; ++j) mark(t[i] - Nearest(j * d));
    }
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
