// An axis' ticks: the label texts, the list of ticks (value, pixel, text) for
// value, date and point labels, and the room that list takes beside the chart
// rectangle. The drawing draws the list it gets here, and the labels band is
// measured from the list of the layout's scale, so the two cannot disagree
// about which labels there are.

#include "ChartEngineAxis.h"

#include "AxisDateSteps.h"
#include "AxisPanel.h"
#include "AxisText.h"

#include <algorithm>
#include <cmath>

#include "FloatRules.h"
#include "LocaleFormats.h"
#include "NumberPattern.h"

namespace {

int Nearest(long double x) { return static_cast<int>(RoundHalfEven(x)); }

}  // namespace

// -- Label texts ----------------------------------------------------------------------------
std::string TChartAxis::FormatAxisValue(double value, double step) const { return LabelText(value, step, true); }

std::string TChartAxis::LabelText(double value, double step, bool hook) const {
    const LocaleFormats& f = Formats();
    const int decimals = step > 0 ? StepDecimals(step) : 0;
    std::string text = decimals > PatternDecimals(FAxisValuesFormat)
                           ? FormatNumberPattern(value, WidenPatternDecimals(FAxisValuesFormat, decimals), f.decimalMark,
                                                 f.thousandsMark)
                           : FormatNumberPattern(value, FAxisValuesFormat, f.decimalMark, f.thousandsMark);
    if (hook && FChart && FChart->OnGetAxisLabel)
        FChart->OnGetAxisLabel(const_cast<TChartAxis*>(this), nullptr, -1, text);
    if (FLabelsMultiLine) std::replace(text.begin(), text.end(), ' ', '\r');
    return text;
}

int TChartAxis::StepDecimals(double step) {
    const long double s = std::fabs(static_cast<long double>(step));
    if (!(s > 0) || !std::isfinite(s)) return 0;
    long double scaled = s;
    for (int d = 0; d < 15; ++d, scaled *= 10)
        if (std::fabs(scaled - std::round(scaled)) <= 1e-9L * scaled) return d;
    return 15;
}

// -- The tick list ----------------------------------------------------------------------------
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

std::vector<int> TChartAxis::TickPositions() const {
    std::vector<int> pixels;
    pixels.reserve(DrawnTicks.size());
    for (const TAxisTick& t : DrawnTicks) pixels.push_back(t.Pixel);
    return pixels;
}

TAxisTicks TChartAxis::TicksAt(const TAxisScale& scale, TTickTexts texts) {
    return TicksAt(scale, texts, ResolveLabelStyle());
}

TAxisTicks TChartAxis::TicksAt(const TAxisScale& scale, TTickTexts texts, TAxisLabelStyle style) {
    TAxisTicks ticks;
    if (!FChart || style == talNone) return ticks;
    // The value step decides for every style whether the scale has labels.
    const double step = ComputeLabelStep(scale);
    if (!(step > 0 && scale.ScaleMax >= scale.ScaleMin)) return ticks;
    if (style == talValue && IsDateTimeAxis())
        DateTicks(ticks, scale, texts);
    else if (style == talValue)
        ValueTicks(ticks, scale, step, texts);
    else
        SeriesTicks(ticks, scale, texts, style);
    return ticks;
}

template <class MakeText>
void TChartAxis::Add(TAxisTicks& ticks, const TAxisScale& scale, double value, MakeText&& text) const {
    const int p = scale.ValueToPixel(value);
    if (!FLabelsOnAxis && !(scale.PixelStart < p && p < scale.PixelEnd)) return;
    ticks.push_back({value, p, text()});
}

void TChartAxis::ValueTicks(TAxisTicks& ticks, const TAxisScale& scale, double step, TTickTexts texts) {
    if (TooManyLabels(scale, step)) return;
    auto add = [&](double v) {
        Add(ticks, scale, v, [&] { return texts == TTickTexts::None ? std::string() : LabelText(v, step, texts == TTickTexts::Hooked); });
    };
    if (FChart->OnGetNextAxisLabel) {
        // The application lists the values itself; the list ends when it says
        // so, and no later than the value labels' own limit.
        for (int i = 0; i < 10000; ++i) {
            double value = 0;
            bool stop = false;
            FChart->OnGetNextAxisLabel(this, i, value, stop);
            if (stop) break;
            add(value);
        }
        return;
    }
    ForEachLabelValue(scale, step, FRoundFirstLabel, add);
}

void TChartAxis::DateTicks(TAxisTicks& ticks, const TAxisScale& scale, TTickTexts texts) {
    // Without a point on the axis there is no time to show, and a range of
    // zero would be labelled with day 0 (1899-12-30).
    bool points = false;
    for (const TChartSeries* s : FChart->SeriesList())
        points = points || (s->Active() && FChart->IsSeriesBoundTo(*s, *this) && s->PointCount() > 0);
    if (!points || (scale.RangeIsZero && scale.ScaleMin != scale.ScaleMax)) return;
    // Whole time units chosen so that the labels, measured along the axis in
    // their font (widths across a horizontal axis, line heights up a
    // vertical one), neither overlap nor fall between minutes or hours.
    TChartCanvas& c = FChart->Canvas();
    c.SelectChartFont(FLabelsFont);
    const bool horizontal = Horizontal();
    const int lineHeight = c.CharHeight();
    const TMeasureLabel measure = [&c, horizontal, lineHeight](std::string_view text) {
        return horizontal ? c.MeasureWidth(text) : lineHeight;
    };
    TDateLabels chosen = ChooseDateLabels(scale.ScaleMin, scale.ScaleMax, std::max(scale.PixelLength, 0), measure, FLabelsSeparation);
    for (TDateLabel& label : chosen.labels)
        Add(ticks, scale, label.value, [&] { return texts == TTickTexts::None ? std::string() : std::move(label.text); });
}

void TChartAxis::SeriesTicks(TAxisTicks& ticks, const TAxisScale& scale, TTickTexts texts, TAxisLabelStyle style) {
    const bool withTexts = texts != TTickTexts::None;
    for (const TChartSeries* s : FChart->SeriesList()) {
        if (!s->Active() || !FChart->IsSeriesBoundTo(*s, *this) || s->YIsValue != Horizontal()) continue;
        const int count = s->PointCount();
        for (int i = 0; i < count; ++i) {
            const double value = Horizontal() ? s->XValueAt(i) : s->YValueAt(i);
            const std::string* given = nullptr;
            if (style == talText) {
                given = &s->Labels().Label(i);
            } else if (style == talMark) {
                const auto& items = s->Marks().Items;
                if (i < static_cast<int>(items.size())) given = &items[static_cast<std::size_t>(i)].Text;
            }
            if (style == talText || style == talMark) {
                if (given && !given->empty()) Add(ticks, scale, value, [&] { return withTexts ? *given : std::string(); });
            } else {
                Add(ticks, scale, value, [&] { return withTexts ? LabelText(value, 0, texts == TTickTexts::Hooked) : std::string(); });
            }
        }
        return;  // the first series on the axis gives the labels
    }
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

int TChartAxis::BandSizeFor(TChartFont& font, int angle, int fixedSize, const std::string* text, const TAxisScale& scale) {
    if (fixedSize != 0) return fixedSize;
    if (!FChart) return 0;
    TChartCanvas& c = FChart->Canvas();
    c.SelectChartFont(font);
    const bool across = Horizontal() ? (angle == 0 || angle == 180) : (angle == 90 || angle == 270);
    if (across) return c.CharHeight();
    return text ? c.MeasureWidth(*text) : MaxValueLabelWidth(scale);
}

int TChartAxis::LabelsBandSize() { return LabelsBandSize(FScale); }

int TChartAxis::LabelsBandSize(const TAxisScale& scale) {
    const int size = BandSizeFor(FLabelsFont, FLabelsAngle, FLabelsSize, nullptr, scale);
    return FLabelsAlternate ? size * 2 : size;
}

int TChartAxis::MaxValueLabelWidth() { return MaxValueLabelWidth(FScale); }

int TChartAxis::MaxValueLabelWidth(const TAxisScale& scale) {
    if (!FChart) return 0;
    const TAxisLabelStyle style = ResolveLabelStyle();
    if (style == talNone) return 0;
    if (style == talText || style == talMark) {
        // Room for every point label or mark of the series on the axis.
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
    // The band holds the labels the scale has, each of them (the widest may
    // lie anywhere in the range: 1.5 between 1 and 2), as the axis writes
    // them: the application's label hook takes no part in measuring.
    int widest = 0;
    for (const TAxisTick& t : TicksAt(scale, TTickTexts::Plain, style)) widest = std::max(widest, MultiLineWidth(t.Text));
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
        cut(BandSizeFor(FTitle.Font(), FTitle.Angle(), FTitleSize, &FTitle.Caption(), FScale));
        TitleEdgePos = edge();
    }
    if (FLabels) {
        // The labels are measured at the length the axis will have: the space
        // still free, which the axes before this one have already narrowed
        // across it. The step, and so the labels drawn, depend on it.
        TAxisScale at = FScale;
        if (FChart && !FChart->FixedPlotRect()) PixelExtentIn(at, rect.Left, rect.Top, rect.Width(), rect.Height());
        cut(LabelsBandSize(at));
        LabelsEdgePos = edge();
    }
    const int ticks = TickAreaSize() + (FChart ? FChart->WallOffset(*this) : 0);
    if (ticks > 0) cut(ticks);
    TitleEdgePos = ApplyPositionPercent(TitleEdgePos, given);
    LabelsEdgePos = ApplyPositionPercent(LabelsEdgePos, given);
}
