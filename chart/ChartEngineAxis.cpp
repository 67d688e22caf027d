#include "ChartEngineAxis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "LocaleFormats.h"

// Geometry runs in the 64-bit-significand type and is stored as double where
// the chart keeps a double; nearest() rounds to the nearest integer, ties to even.
namespace {

using real = long double;

int Nearest(real x) { return static_cast<int>(std::nearbyint(x)); }

// trunc of a quotient as a whole number; quotients beyond the 64-bit range
// (a huge value over a tiny step) are cut without overflowing.
double TruncQuotient(double q) {
    if (std::fabs(q) < 9.2e18) return static_cast<double>(static_cast<long long>(q));
    return std::trunc(q);
}

int CountLines(const std::string& text) {
    return text.empty() ? 0 : 1 + static_cast<int>(std::count(text.begin(), text.end(), '\r'));
}

// ---------------------------------------------------------------------------
// Number patterns: '0' a digit always shown, '#' a digit shown when significant,
// '.' the decimal separator, ',' thousands grouping, quoted or other text kept,
// up to three sections (positive;negative;zero).
struct TPatternSection {
    std::string Prefix, Suffix;
    int MinIntDigits = 0, MinDecimals = 0, MaxDecimals = 0;
    bool Thousands = false, HasDigits = false;
};

TPatternSection ParseSection(std::string_view s) {
    TPatternSection sec;
    bool afterPoint = false, seenDigit = false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == '\'' || c == '"') {
            const std::size_t close = s.find(c, i + 1);
            const std::string_view lit = s.substr(i + 1, close == std::string_view::npos ? std::string_view::npos : close - i - 1);
            (seenDigit ? sec.Suffix : sec.Prefix) += lit;
            if (close == std::string_view::npos) break;
            i = close;
        } else if (c == '0' || c == '#') {
            if (!sec.Suffix.empty()) continue;  // digits after trailing text: not supported, dropped
            seenDigit = sec.HasDigits = true;
            if (afterPoint) {
                ++sec.MaxDecimals;
                if (c == '0') sec.MinDecimals = sec.MaxDecimals;
            } else if (c == '0') {
                ++sec.MinIntDigits;
            }
        } else if (c == '.' && !afterPoint) {
            afterPoint = true;
            seenDigit = true;
        } else if (c == ',') {
            if (!afterPoint) sec.Thousands = true;
        } else {
            (seenDigit ? sec.Suffix : sec.Prefix) += c;
        }
    }
    return sec;
}

// |v| written by the section, digits only; sets `zero` when every digit is 0.
std::string FormatDigits(double v, const TPatternSection& sec, char decimalMark, char thousandsMark, bool& zero) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "%.*f", sec.MaxDecimals, std::fabs(v));
    std::string digits(buf);
    std::string intPart = digits, frac;
    if (const std::size_t dot = digits.find('.'); dot != std::string::npos) {
        intPart = digits.substr(0, dot);
        frac = digits.substr(dot + 1);
    }
    while (static_cast<int>(frac.size()) > sec.MinDecimals && !frac.empty() && frac.back() == '0') frac.pop_back();
    zero = intPart.find_first_not_of('0') == std::string::npos && frac.find_first_not_of('0') == std::string::npos;
    // Leading zeros only as far as the pattern asks for them.
    const std::size_t firstNonZero = intPart.find_first_not_of('0');
    intPart = firstNonZero == std::string::npos ? std::string() : intPart.substr(firstNonZero);
    if (static_cast<int>(intPart.size()) < sec.MinIntDigits)
        intPart.insert(0, static_cast<std::size_t>(sec.MinIntDigits) - intPart.size(), '0');
    if (sec.Thousands && intPart.size() > 3) {
        std::string grouped;
        const std::size_t n = intPart.size();
        for (std::size_t i = 0; i < n; ++i) {
            if (i > 0 && (n - i) % 3 == 0) grouped += thousandsMark;
            grouped += intPart[i];
        }
        intPart = std::move(grouped);
    }
    if (!frac.empty()) intPart += decimalMark + frac;
    return intPart;
}

std::string FormatNumber(double v, const std::string& pattern) {
    const LocaleFormats& f = Formats();
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v < 0 ? "-INF" : "INF";
    if (pattern.empty()) {
        char buf[64];
        std::snprintf(buf, sizeof buf, "%.15g", v);
        std::string s(buf);
        std::replace(s.begin(), s.end(), '.', f.decimalMark);
        return s;
    }
    std::vector<std::string_view> sections;
    std::string_view rest(pattern);
    for (std::size_t pos; (pos = rest.find(';')) != std::string_view::npos && sections.size() < 2;) {
        sections.push_back(rest.substr(0, pos));
        rest = rest.substr(pos + 1);
    }
    sections.push_back(rest);

    const TPatternSection first = ParseSection(sections[0]);
    bool zero = false;
    if (!first.HasDigits) return first.Prefix + first.Suffix;
    std::string digits = FormatDigits(v, first, f.decimalMark, f.thousandsMark, zero);
    if (zero && sections.size() == 3 && !sections[2].empty()) {
        const TPatternSection z = ParseSection(sections[2]);
        bool dummy;
        return z.Prefix + (z.HasDigits ? FormatDigits(0, z, f.decimalMark, f.thousandsMark, dummy) : "") + z.Suffix;
    }
    if (v < 0 && sections.size() >= 2 && !sections[1].empty()) {
        const TPatternSection neg = ParseSection(sections[1]);
        if (!neg.HasDigits) return neg.Prefix + neg.Suffix;
        return neg.Prefix + FormatDigits(v, neg, f.decimalMark, f.thousandsMark, zero) + neg.Suffix;
    }
    // A value that rounds to zero is written without a sign.
    const bool minus = v < 0 && !zero;
    return (minus ? "-" : "") + first.Prefix + digits + first.Suffix;
}

}  // namespace

// ---------------------------------------------------------------------------
void TChartAxisTitle::SetAngle(int v) { Store(FAngle, ((v % 360) + 360) % 360); }

TChartAxis::TChartAxis(TCustomAxisPanel* chart, bool horizontal, bool otherSide, int titleAngle)
    : FChart(chart), FHorizontal(horizontal), FOtherSide(otherSide),
      FLabelsFont(chart), FAxisPen(chart), FTicks(chart), FTicksInner(chart), FMinorTicks(chart),
      FMinorGrid(chart), FGrid(chart), FTitle(chart, titleAngle) {
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
        const TChartValueList* list = (FHorizontal == s->YIsValue) ? s->XValues() : s->YValues();
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
    ScaleMax = FMaximum;
    ScaleMin = FMinimum;
    RefreshScale();
}

void TChartAxis::ComputePixelExtent() {
    if (FChart) {
        const TRect& r = FChart->PlotRect();
        const int origin = FHorizontal ? r.Left : r.Top;
        const real size = FHorizontal ? FChart->PlotWidth() : FChart->PlotHeight();
        PixelStart = origin + Nearest(size * 0.01L * FStartPosition);
        PixelEnd = origin + Nearest(size * 0.01L * FEndPosition);
    }
    PixelLength = PixelEnd - PixelStart;
    PixelCentre = (PixelStart + PixelEnd) / 2;
    RefreshScale();
}

void TChartAxis::RefreshScale() {
    ScaleRange = ScaleMax - ScaleMin;
    RangeIsZero = ScaleRange == 0;
    PixelsPerUnit = RangeIsZero ? 0.0 : static_cast<double>(static_cast<real>(PixelLength) / ScaleRange);
}

void TChartAxis::ExtendRangeByPixels(int before, int after) {
    const int fullStart = PixelStart, fullEnd = PixelEnd;
    PixelStart += before;
    PixelEnd -= after;
    PixelLength = PixelEnd - PixelStart;
    const double valueAtStart = PixelToValue(fullStart);
    const double valueAtEnd = PixelToValue(fullEnd);
    ComputePixelExtent();
    ScaleMin = valueAtStart;
    ScaleMax = valueAtEnd;
    if (ScaleMin > ScaleMax) std::swap(ScaleMin, ScaleMax);
    RefreshScale();
}

void TChartAxis::ApplyPixelMargins() {
    int before = 0, after = 0;
    if (FChart)
        for (TChartSeries* s : FChart->SeriesList()) {
            if (!s->Active() || !FChart->IsSeriesBoundTo(*s, *this)) continue;
            int a = 0, b = 0;
            if (FHorizontal) {
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
        const bool minimumBefore = FHorizontal != FInverted;
        (minimumBefore ? before : after) += FMinimumOffset;
        (minimumBefore ? after : before) += FMaximumOffset;
    }
    ExtendRangeByPixels(before, after);
    if (offsets) TitleEdgePos = Outward(LabelsEdgePos, LabelsBandSize());
}

// -- Mappings ---------------------------------------------------------------------------
int TChartAxis::ValueToPixel(double value) const {
    if (RangeIsZero) return PixelCentre;
    const double d = static_cast<double>((static_cast<real>(value) - ScaleMin) * PixelsPerUnit);
    real p;
    if (FHorizontal)
        p = FInverted ? PixelEnd - static_cast<real>(d) : PixelStart + static_cast<real>(d);
    else
        p = FInverted ? PixelStart + static_cast<real>(d) : PixelEnd - static_cast<real>(d);
    if (p > PixelClampLimit) return PixelClampLimit;
    if (p < -PixelClampLimit) return -PixelClampLimit;
    if (std::isnan(p)) return PixelCentre;  // no position for a value that is not a number
    return Nearest(p);
}

double TChartAxis::PixelToValue(int pixel) const {
    if (PixelLength <= 0) return 0;
    const real d = static_cast<real>(FInverted ? PixelEnd - pixel : pixel - PixelStart) * ScaleRange / PixelLength;
    return static_cast<double>(FHorizontal ? ScaleMin + d : ScaleMax - d);
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
    const bool across = FHorizontal ? (FLabelsAngle == 90 || FLabelsAngle == 270)
                                    : (FLabelsAngle == 0 || FLabelsAngle == 180);
    if (across) return FChart->Canvas().CharHeight() * lines;
    return MultiLineWidth(text);
}

double TChartAxis::NextNiceStep(double x) {
    if (std::isinf(x)) return 1;
    if (x >= 10) return static_cast<double>(NextNiceStep(static_cast<double>(x * 0.1L)) * 10.0L);
    if (x < 1) return static_cast<double>(NextNiceStep(static_cast<double>(x * 10.0L)) * 0.1L);
    return x < 2 ? 2 : x < 5 ? 5 : 10;
}

double TChartAxis::ComputeLabelStep() {
    int size = std::max(LabelExtentAlongAxis(ScaleMax), LabelExtentAlongAxis(ScaleMin));
    if (FIncrement == 0)
        size = std::max(size, LabelExtentAlongAxis(static_cast<double>((static_cast<real>(ScaleMax) + ScaleMin) * 0.5L)));
    else
        size = std::max({size, LabelExtentAlongAxis(ScaleMin + FIncrement), LabelExtentAlongAxis(ScaleMax - FIncrement)});

    int count = 1;
    if (size > 0) {
        const int s = FLabelsSeparation > 0 ? size + Nearest(FLabelsSeparation * 0.01L * size) : size;
        count = Nearest(static_cast<real>(PixelLength) / s);
    }
    if (count < 1) return FLabelsAlternate ? 1e-12 * 0.5 : 1e-12;

    double step;
    if (FIncrement > 0) {
        step = FIncrement;
    } else if (ScaleRange == 0) {
        step = 1;
    } else {
        step = static_cast<double>(std::fabs(ScaleRange) / static_cast<real>(count + 1));
        // Few points: no label between two whole values.
        if (ScaleRange >= 1 && FChart)
            for (const TChartSeries* s : FChart->SeriesList())
                if (s->Active() && FChart->IsSeriesBoundTo(*s, *this) && s->YIsValue == FHorizontal &&
                    s->PointCount() <= count) {
                    step = std::max(step, 1.0);
                    break;
                }
    }

    if (FLabelsSeparation > 0) {
        long long n = count + 1;
        while (true) {
            const real q = static_cast<real>(ScaleRange) / step;
            if (std::fabs(q) < 2147483647.0L) {
                n = static_cast<long long>(std::nearbyint(q));
                if (n > count) step = NextNiceStep(step);
            } else {
                step = NextNiceStep(step);
            }
            if (n <= count || step > ScaleRange || std::isinf(step)) break;
        }
    }
    double result = std::isinf(step) ? ScaleRange : std::max(step, 1e-12);
    if (FLabelsAlternate) result *= 0.5;
    return result;
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
    if (FHorizontal) return FOtherSide ? pos - n : pos + n;
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
    const bool across = FHorizontal ? (angle == 0 || angle == 180) : (angle == 90 || angle == 270);
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
        if (s->YIsValue == FHorizontal)
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
    const double step = ComputeLabelStep();
    double low = ScaleMin, high = ScaleMax;
    if (FRoundFirstLabel) {
        low = static_cast<double>(TruncQuotient(ScaleMin / step) * static_cast<real>(step));
        high = static_cast<double>(TruncQuotient(ScaleMax / step) * static_cast<real>(step));
    }
    // The application's label hook does not take part in measuring.
    auto hook = std::move(FChart->OnGetAxisLabel);
    FChart->OnGetAxisLabel = nullptr;
    const int widest = std::max(MultiLineWidth(FormatAxisValue(high)), MultiLineWidth(FormatAxisValue(low)));
    FChart->OnGetAxisLabel = std::move(hook);
    return widest + FChart->Canvas().MeasureWidth(" ");
}

int TChartAxis::ApplyPositionPercent(int pos, const TRect& rect) const {
    if (FPositionPercent == 0) return pos;
    int shift = FPositionUnits == muPixels
                    ? Nearest(FPositionPercent)
                    : Nearest(FPositionPercent * 0.01L * (FHorizontal ? rect.Height() : rect.Width()));
    if (FOtherSide) shift = -shift;
    return FHorizontal ? pos - shift : pos + shift;
}

void TChartAxis::ReserveAxisSpace(TRect& rect, bool shrink) {
    const TRect given = rect;
    auto edge = [&]() -> int {
        if (FHorizontal) return FOtherSide ? rect.Top : rect.Bottom;
        return FOtherSide ? rect.Right : rect.Left;
    };
    if (!shrink) {
        AxisLinePos = ApplyPositionPercent(edge(), given);
        LabelsEdgePos = Outward(AxisLinePos, TickAreaSize());
        TitleEdgePos = Outward(LabelsEdgePos, LabelsBandSize());
        return;
    }
    auto cut = [&](int n) {
        if (FHorizontal)
            (FOtherSide ? rect.Top += n : rect.Bottom -= n);
        else
            (FOtherSide ? rect.Right -= n : rect.Left += n);
    };
    if (FTitle.Visible() && !FTitle.Caption().empty()) {
        cut(BandSizeFor(FTitle.Font(), FTitle.Angle(), FTitleSize, &FTitle.Caption()));
        TitleEdgePos = edge();
    }
    if (FLabels) {
        cut(LabelsBandSize());
        LabelsEdgePos = edge();
    }
    const int ticks = TickAreaSize() + (FChart ? FChart->WallOffset(*this) : 0);
    if (ticks > 0) cut(ticks);
    TitleEdgePos = ApplyPositionPercent(TitleEdgePos, given);
    LabelsEdgePos = ApplyPositionPercent(LabelsEdgePos, given);
}

std::string TChartAxis::FormatAxisValue(double value) const {
    std::string text = FormatNumber(value, FAxisValuesFormat);
    if (FChart && FChart->OnGetAxisLabel)
        FChart->OnGetAxisLabel(const_cast<TChartAxis*>(this), nullptr, -1, text);
    if (FLabelsMultiLine) std::replace(text.begin(), text.end(), ' ', '\r');
    return text;
}

void TChartAxis::DrawAxis() {
    if (!FChart) return;
    const TRect& r = FChart->PlotRect();
    int edge;
    if (FHorizontal)
        edge = FOtherSide ? r.Top : r.Bottom;
    else
        edge = FOtherSide ? r.Right : r.Left;
    AxisLinePos = ApplyPositionPercent(edge, r);
    TickPositions.clear();
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
    p.Bool("Inverted", FInverted, [this](bool v) { SetInverted(v); });
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

void TChartAxes::Remove(TChartAxis* axis) { FItems.erase(std::remove(FItems.begin(), FItems.end(), axis), FItems.end()); }

// ---------------------------------------------------------------------------
TCustomAxisPanel::TCustomAxisPanel() {
    FBottomAxis = std::make_unique<TChartAxis>(this, true, false, 0);
    FTopAxis = std::make_unique<TChartAxis>(this, true, true, 0);
    FLeftAxis = std::make_unique<TChartAxis>(this, false, false, 90);
    FRightAxis = std::make_unique<TChartAxis>(this, false, true, 270);
    FDepthAxis = std::make_unique<TChartDepthAxis>(this, false);
    FDepthTopAxis = std::make_unique<TChartDepthAxis>(this, true);
    FPages = std::make_unique<TChartPage>();
}

TCustomAxisPanel::~TCustomAxisPanel() {
    FDestroying = true;
    // The series are the window's, but a chart that goes takes its series along.
    while (!FSeriesList.empty()) {
        TChartSeries* s = FSeriesList.back();
        DetachSeries(s);
        delete s;
    }
    FPages.reset();
    FBottomAxis.reset();
    FTopAxis.reset();
    FLeftAxis.reset();
    FRightAxis.reset();
    FDepthAxis.reset();
    FDepthTopAxis.reset();
}

int TCustomAxisPanel::ActiveSeriesCount() const {
    return static_cast<int>(std::count_if(FSeriesList.begin(), FSeriesList.end(), [](const TChartSeries* s) { return s->Active(); }));
}

void TCustomAxisPanel::AttachSeries(TChartSeries* series) {
    if (!series || std::find(FSeriesList.begin(), FSeriesList.end(), series) != FSeriesList.end()) return;
    if (series->ParentChart() != this) {
        series->SetParentChart(this);  // comes back here with the chart recorded
        return;
    }
    series->AttachedToChart();
    FSeriesList.push_back(series);
    BroadcastSeriesEvent(series, sekAdded);
    Invalidate();
}

void TCustomAxisPanel::DetachSeries(TChartSeries* series) {
    const auto it = std::find(FSeriesList.begin(), FSeriesList.end(), series);
    if (it == FSeriesList.end()) return;
    BroadcastSeriesEvent(series, sekRemoved);
    series->DetachedFromChart();
    FSeriesList.erase(std::find(FSeriesList.begin(), FSeriesList.end(), series));
    Invalidate();
}

void TCustomAxisPanel::BroadcastSeriesEvent(TChartSeries* series, TSeriesEventKind kind) {
    TChartSeriesEvent e;
    e.Series = series;
    e.Kind = kind;
    Broadcast(e);
}

TChartAxis* TCustomAxisPanel::AxisFor(THorizAxis axis) { return axis == aTopAxis ? FTopAxis.get() : FBottomAxis.get(); }
TChartAxis* TCustomAxisPanel::AxisFor(TVertAxis axis) { return axis == aRightAxis ? FRightAxis.get() : FLeftAxis.get(); }

bool TCustomAxisPanel::IsSeriesBoundTo(const TChartSeries& s, const TChartAxis& axis) const {
    if (&axis == FBottomAxis.get()) return s.HorizAxis() == aBottomAxis || s.HorizAxis() == aBothHorizAxis;
    if (&axis == FTopAxis.get()) return s.HorizAxis() == aTopAxis || s.HorizAxis() == aBothHorizAxis;
    if (&axis == FLeftAxis.get()) return s.VertAxis() == aLeftAxis || s.VertAxis() == aBothVertAxis;
    if (&axis == FRightAxis.get()) return s.VertAxis() == aRightAxis || s.VertAxis() == aBothVertAxis;
    return false;
}

double TCustomAxisPanel::DataExtremeForAxis(const TChartAxis& axis, bool wantMinimum) const {
    bool activeBound = false;
    for (const TChartSeries* s : FSeriesList)
        if (s->Active() && IsSeriesBoundTo(*s, axis)) {
            activeBound = true;
            break;
        }
    double result = 0;
    bool taken = false;
    for (const TChartSeries* s : FSeriesList) {
        if (!(s->Active() || !activeBound) || s->PointCount() == 0 || !IsSeriesBoundTo(*s, axis)) continue;
        const double v = axis.Horizontal() ? (wantMinimum ? s->LowestX() : s->HighestX())
                                           : (wantMinimum ? s->LowestY() : s->HighestY());
        if (!taken || (wantMinimum ? v < result : v > result)) result = v;
        taken = true;
    }
    return result;
}

bool TCustomAxisPanel::IsFreeColor(TColor color, bool checkBackground, const TChartSeries* except) const {
    for (const TChartSeries* s : FSeriesList)
        if (s != except && s->SeriesColor() == color) return false;
    return !checkBackground || color != Color();
}

// -- Pipeline -----------------------------------------------------------------------------
void TCustomAxisPanel::AxisLayoutPass() {
    for (TChartAxis* a : FAxes) {
        a->IsShown = a->ComputeIsShown();
        a->ComputeAutoRange();
    }
    for (TChartAxis* a : FAxes) a->ComputePixelExtent();
    TRect work = FPlotRect;
    for (int i = 0; i < FAxes.Count(); ++i) {
        TChartAxis* a = FAxes[i];
        if (!a->IsShown) continue;
        TRect copy = work;
        a->ReserveAxisSpace(copy, i <= 4);
        const TRect common = IntersectRect(copy, work);
        if (!common.IsEmpty()) work = common;  // an axis that leaves no room is ignored
    }
    if (!FFixedPlotRect) FPlotRect = work;
    NormalisePlotRect();
    for (TChartAxis* a : FAxes) a->ComputePixelExtent();
}

void TCustomAxisPanel::AxisMarginsPass() {
    for (TChartAxis* a : FAxes) a->ApplyPixelMargins();
}

void TCustomAxisPanel::FitForWalls() {
    // Flat charts have no depth; the walls move nothing.
    FDepth3D = 0;
    FHeight3D = 0;
    NormalisePlotRect();
}

bool TCustomAxisPanel::IsBackFaceCulled(int) const {
    // In a flat chart the projection is the identity.
    const long long x0 = FPlotRect.Left, y0 = FPlotRect.Top, x1 = FPlotRect.Right, y1 = FPlotRect.Top,
                    x2 = FPlotRect.Right, y2 = FPlotRect.Bottom;
    return !((x0 - x1) * (y2 - y1) - (x2 - x1) * (y0 - y1) < 0);
}

void TCustomAxisPanel::PaintAxes() {
    if (!FAxisVisible) return;
    if (OnBeforeDrawAxes) OnBeforeDrawAxes(this);
    for (TChartAxis* a : FAxes) {
        if (!a->IsShown) continue;
        if (a == FBottomAxis.get() && IsBackFaceCulled(0)) continue;
        a->DrawAxis();
    }
}

void TCustomAxisPanel::PaintSeries() {
    // Flat charts visit the series in list order.
    for (TChartSeries* s : FSeriesList) {
        if (!s->Active()) continue;
        s->ComputeShownRange();
        if (s->FirstShownIndex == -1) continue;
        if (s->BeforeDrawValues) s->BeforeDrawValues(s);
        const bool clip = FClipPoints;
        if (clip) FCanvas->ClipToRectangle({FPlotRect.Left + 1, FPlotRect.Top + 1, FPlotRect.Right, FPlotRect.Bottom});
        s->DrawAllPoints();
        if (clip) FCanvas->RemoveClip();
        if (s->AfterDrawValues) s->AfterDrawValues(s);
    }
}

void TCustomAxisPanel::RenderChart(const TRect& bounds) {
    const bool invalidateWas = FInvalidateEnabled;
    FInvalidateEnabled = false;
    PaintPanelBackground(bounds);
    if (OnBeforeDrawChart) OnBeforeDrawChart(this);
    PaintTitles(true);
    FitForWalls();
    AxisLayoutPass();
    AxisMarginsPass();
    PaintWalls();
    if (FAxisBehind) PaintAxes();
    if (OnBeforeDrawSeries) OnBeforeDrawSeries(this);
    PaintSeries();
    if (!FAxisBehind) PaintAxes();
    PaintTitles(false);
    if (FZoom->Dragging) DrawZoomRectangle();
    FCanvas->ResetSurface();
    if (OnAfterDraw) OnAfterDraw(this);
    FInvalidateEnabled = invalidateWas;
}

void TCustomAxisPanel::Publish(TPublisher& p) {
    TCustomChartPanelExtended::Publish(p);
    p.Bool("AxisBehind", FAxisBehind, [this](bool v) { SetAxisBehind(v); });
    p.Bool("AxisVisible", FAxisVisible, [this](bool v) { SetAxisVisible(v); });
    p.Object("BottomAxis", [this](TPublisher& q) { FBottomAxis->Publish(q); });
    p.Integer("Chart3DPercent", FChart3DPercent, [this](int v) { SetChart3DPercent(v); });
    p.Bool("ClipPoints", FClipPoints, [this](bool v) { SetClipPoints(v); });
    p.Object("DepthAxis", [this](TPublisher& q) { FDepthAxis->Publish(q); });
    p.Object("DepthTopAxis", [this](TPublisher& q) { FDepthTopAxis->Publish(q); });
    p.Object("LeftAxis", [this](TPublisher& q) { FLeftAxis->Publish(q); });
    p.Integer("MaxPointsPerPage", FPages->MaxPointsPerPage, [this](int v) {
        if (v != FPages->MaxPointsPerPage) FPages->MaxPointsPerPage = v, Invalidate();
    });
    p.Object("RightAxis", [this](TPublisher& q) { FRightAxis->Publish(q); });
    p.Object("TopAxis", [this](TPublisher& q) { FTopAxis->Publish(q); });
    p.Bool("View3DWalls", FView3DWalls, [this](bool v) { SetView3DWalls(v); });
}
