#include "FloodPeriods.h"

#include "Currency.h"
#include "LocaleFormats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace {

void CheckRule(const TPeriodRule& rule) {
    if (rule.startMonth < 1 || rule.startMonth > 12) throw std::invalid_argument("a water year starts in month 1-12");
}

// Floor division for period numbers of years before 0.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// The year and month a period begins with.
void FirstMonth(std::int64_t period, const TPeriodRule& rule, std::int64_t& year, int& month) {
    switch (rule.kind) {
    case TPeriodKind::Year:
        year = period;
        month = 1;
        return;
    case TPeriodKind::WaterYear:
        year = rule.startMonth == 1 ? period : period - 1;
        month = rule.startMonth;
        return;
    case TPeriodKind::Month:
        year = FloorDiv(period, 12);
        month = static_cast<int>(period - year * 12) + 1;
        return;
    }
}

DateTimeValue FirstMidnight(std::int64_t year, int month) {
    DateTimeValue out = std::numeric_limits<double>::quiet_NaN();
    if (year >= 1 && year <= 9999) TryEncodeDate(static_cast<int>(year), month, 1, out);
    return out;
}

// The summary file's number form: the table's text, its decimal mark '.'
// whatever the locale's.
void AppendNumber(std::string& out, double value) {
    std::string text = DecimalToText(DecimalFromReal(value));
    std::replace(text.begin(), text.end(), Formats().decimalMark, '.');
    out += text;
}

// yyyy-mm-dd hh:mm:ss whatever the locale: the quoted ':' is not the locale's
// time mark.
void AppendTime(std::string& out, DateTimeValue time) { AppendStampPattern(out, "yyyy-mm-dd hh':'nn':'ss", time); }

void AppendPeak(std::string& out, const std::optional<TFloodPeak>& peak) {
    out += ',';
    if (peak) AppendNumber(out, peak->value);
    out += ',';
    if (peak) AppendTime(out, peak->time);
}

void AppendValue(std::string& out, const std::optional<double>& value) {
    out += ',';
    if (value) AppendNumber(out, *value);
}

}  // namespace

std::int64_t PeriodOf(DateTimeValue time, const TPeriodRule& rule) {
    CheckRule(rule);
    const StampParts parts = SplitStamp(time);
    switch (rule.kind) {
    case TPeriodKind::Year: return parts.year;
    case TPeriodKind::WaterYear: return parts.year + (rule.startMonth > 1 && parts.month >= rule.startMonth ? 1 : 0);
    case TPeriodKind::Month: return parts.year * 12 + parts.month - 1;
    }
    return 0;
}

std::string PeriodLabel(std::int64_t period, const TPeriodRule& rule) {
    CheckRule(rule);
    switch (rule.kind) {
    case TPeriodKind::Year: return std::to_string(period);
    case TPeriodKind::WaterYear: return "WY" + std::to_string(period);
    case TPeriodKind::Month: {
        std::int64_t year = 0;
        int month = 1;
        FirstMonth(period, rule, year, month);
        return std::to_string(year) + (month < 10 ? "-0" : "-") + std::to_string(month);
    }
    }
    return {};
}

DateTimeValue PeriodStart(std::int64_t period, const TPeriodRule& rule) {
    CheckRule(rule);
    std::int64_t year = 0;
    int month = 1;
    FirstMonth(period, rule, year, month);
    return FirstMidnight(year, month);
}

DateTimeValue PeriodEnd(std::int64_t period, const TPeriodRule& rule) { return PeriodStart(period + 1, rule); }

std::vector<TPeriodSpan> SplitPeriods(std::span<const DateTimeValue> times, const TPeriodRule& rule) {
    std::vector<TPeriodSpan> spans;
    for (std::size_t i = 0; i < times.size(); ++i) {
        const std::int64_t period = PeriodOf(times[i], rule);
        if (spans.empty() || spans.back().period != period) spans.push_back({period, i, i});
        else spans.back().last = i;
    }
    return spans;
}

TPeriodRedistribution ScaleNegativeByPeriod(std::span<const DateTimeValue> times, std::span<const double> inflow,
                                            std::span<const double> dt, const TPeriodRule& rule) {
    if (dt.size() != inflow.size() || (times.empty() ? !inflow.empty() : inflow.size() + 1 != times.size()))
        throw std::invalid_argument("N times and N - 1 inflows and steps are needed");
    TPeriodRedistribution out;
    out.inflow.assign(inflow.begin(), inflow.end());
    for (const TPeriodSpan& span : SplitPeriods(times, rule)) {
        TPeriodScaling& p = out.periods.emplace_back();
        p.span = span;
        // The steps ending at the period's records: inflow[k - 1] for record k.
        const std::size_t from = span.first == 0 ? 0 : span.first - 1, to = span.last;
        long double positive = 0, negative = 0;
        for (std::size_t k = from; k < to; ++k) {
            if (!(dt[k] > 0) || std::isnan(inflow[k])) continue;
            const long double water = static_cast<long double>(inflow[k]) * dt[k];
            if (inflow[k] < 0) {
                ++p.negativeSteps;
                negative += water;
            } else {
                positive += water;
            }
        }
        const long double volume = positive + negative;
        p.volume = static_cast<double>(volume / 1e8L);
        if (p.negativeSteps == 0) continue;
        if (volume < 0) {
            p.state = TPeriodScaling::TState::NegativeVolume;
            continue;
        }
        p.state = TPeriodScaling::TState::Scaled;
        const long double factor = volume / positive;   // positive > 0: volume >= 0 > negative
        p.factor = static_cast<double>(factor);
        for (std::size_t k = from; k < to; ++k) {
            if (!(dt[k] > 0) || std::isnan(inflow[k])) continue;
            out.inflow[k] = inflow[k] < 0 ? 0.0 : static_cast<double>(inflow[k] * factor);
        }
    }
    return out;
}

namespace {

std::vector<TPeriodSummary> Summarize(std::span<const TFloodStep> steps, std::size_t computed,
                                      const std::span<const double>* corrected, const TPeriodRule& rule) {
    const std::size_t n = std::min(computed, steps.size());
    std::vector<DateTimeValue> times(n);
    for (std::size_t i = 0; i < n; ++i) times[i] = steps[i].T;
    std::vector<TPeriodSummary> rows;
    for (const TPeriodSpan& span : SplitPeriods(times, rule)) {
        TPeriodSummary& row = rows.emplace_back();
        row.period = span.period;
        row.label = PeriodLabel(span.period, rule);
        row.records = span.last - span.first + 1;
        row.first = steps[span.first].T;
        row.last = steps[span.last].T;
        // From the record before the period: its steps are the summary's.
        const std::size_t from = span.first == 0 ? 0 : span.first - 1;
        const std::span<const TFloodStep> part = steps.subspan(from, span.last + 1 - from);
        TFloodSummary s;
        if (corrected) {
            const std::span<const double> c = *corrected;
            const std::span<const double> own = from < c.size() ? c.subspan(from, std::min(c.size() - from, part.size() - 1))
                                                                : std::span<const double>{};
            s = SummarizeFlood(part, part.size(), own);
        } else {
            s = SummarizeFlood(part, part.size());
        }
        row.peakInflow = s.peakInflow;
        row.inflowVolume = s.inflowVolume;
        row.outflowVolume = s.outflowVolume;
        row.storageChange = s.storageChange;
        row.negativeInflowSteps = s.negativeInflowSteps;
        row.negativeInflowVolume = s.negativeInflowVolume;
        row.corrected = s.corrected;
        row.peakInflowCorrected = s.peakInflowCorrected;
        row.inflowVolumeCorrected = s.inflowVolumeCorrected;
        for (std::size_t i = 1; i < part.size(); ++i) {
            const double q = part[i].Qin;
            if (std::isnan(q)) continue;
            if (!row.lowestInflow || q < row.lowestInflow->value) row.lowestInflow = TFloodPeak{q, part[i].T};
        }
    }
    return rows;
}

}  // namespace

std::vector<TPeriodSummary> SummarizePeriods(std::span<const TFloodStep> steps, std::size_t computed,
                                             const TPeriodRule& rule) {
    return Summarize(steps, computed, nullptr, rule);
}

std::vector<TPeriodSummary> SummarizePeriods(std::span<const TFloodStep> steps, std::size_t computed,
                                             std::span<const double> corrected, const TPeriodRule& rule) {
    return Summarize(steps, computed, &corrected, rule);
}

std::string PeriodSummaryText(std::span<const TPeriodSummary> rows, const TRecordUnits& units) {
    const bool corrected = !rows.empty() && rows.front().corrected;
    // Headings name their unit only when it is not the program's own.
    const bool named = units.flow != TFlowUnit::M3s || units.storage != TStorageUnit::E8M3;
    const std::string q = named ? std::string("_") + UnitSuffix(units.flow) : "";
    const std::string v = named ? std::string("_") + UnitSuffix(units.storage) : "";
    std::string text = "period,start,end,records,peak_inflow" + q + ",peak_inflow_time,inflow_volume" + v +
                       ",outflow_volume" + v + ",storage_change" + v + ",lowest_inflow" + q +
                       ",lowest_inflow_time,negative_inflow_steps,negative_inflow_volume" + v;
    if (corrected)
        text += ",peak_inflow_corrected" + q + ",peak_inflow_corrected_time,inflow_volume_corrected" + v;
    text += "\r\n";
    const TUnitFactor flow = UnitFactor(units.flow), storage = UnitFactor(units.storage);
    auto peakIn = [&](std::optional<TFloodPeak> p) {
        if (p) p->value = ToUnit(p->value, flow);
        return p;
    };
    auto volumeIn = [&](std::optional<double> x) {
        if (x) x = ToUnit(*x, storage);
        return x;
    };
    for (const TPeriodSummary& given : rows) {
        TPeriodSummary row = given;
        row.peakInflow = peakIn(row.peakInflow);
        row.lowestInflow = peakIn(row.lowestInflow);
        row.peakInflowCorrected = peakIn(row.peakInflowCorrected);
        row.inflowVolume = volumeIn(row.inflowVolume);
        row.outflowVolume = volumeIn(row.outflowVolume);
        row.storageChange = volumeIn(row.storageChange);
        row.negativeInflowVolume = volumeIn(row.negativeInflowVolume);
        row.inflowVolumeCorrected = volumeIn(row.inflowVolumeCorrected);
        text += row.label;
        text += ',';
        AppendTime(text, row.first);
        text += ',';
        AppendTime(text, row.last);
        text += ',';
        text += std::to_string(row.records);
        AppendPeak(text, row.peakInflow);
        AppendValue(text, row.inflowVolume);
        AppendValue(text, row.outflowVolume);
        AppendValue(text, row.storageChange);
        AppendPeak(text, row.lowestInflow);
        text += ',';
        if (row.negativeInflowSteps) text += std::to_string(*row.negativeInflowSteps);
        AppendValue(text, row.negativeInflowVolume);
        if (corrected) {
            AppendPeak(text, row.peakInflowCorrected);
            AppendValue(text, row.inflowVolumeCorrected);
        }
        text += "\r\n";
    }
    return text;
}
