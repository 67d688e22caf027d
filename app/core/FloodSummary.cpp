#include "FloodSummary.h"

#include "Currency.h"
#include "DateTime.h"
#include "FloatRules.h"
#include "InflowCorrection.h"
#include "LineFile.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace {

// The index of the first largest value of field over steps[first, last), or
// last when none is a number.
template <class Field>
std::size_t FirstLargest(std::span<const TFloodStep> steps, std::size_t first, std::size_t last,
                         Field field) {
    std::size_t best = last;
    for (std::size_t i = first; i < last; ++i) {
        const double v = field(steps[i]);
        if (std::isnan(v)) continue;
        if (best == last || v > field(steps[best])) best = i;   // strictly larger: ties keep the first
    }
    return best;
}

template <class Field>
std::optional<TFloodPeak> Peak(std::span<const TFloodStep> steps, std::size_t first, std::size_t last,
                               Field field) {
    const std::size_t i = FirstLargest(steps, first, last, field);
    if (i == last) return std::nullopt;
    return TFloodPeak{field(steps[i]), steps[i].T};
}

// ---------------------------------------------------------------- items

// What an item's value measures, for the units it is given in.
enum class TQuantity { None, Flow, Level, Storage };

struct TItemInfo {
    const char* name;
    const char* caption;
    const char* unit;
    TQuantity quantity = TQuantity::None;
};

// The order of the summary file and of the window's list.
constexpr std::array<TItemInfo, 29> kItems{{
    {"records", "记录数", ""},
    {"start", "起始时间", ""},
    {"end", "终止时间", ""},
    {"peak_inflow", "洪峰流量 / 峰现时间", "m^3/s", TQuantity::Flow},
    {"peak_outflow", "最大出库流量", "m^3/s", TQuantity::Flow},
    {"max_level", "最高库水位", "m", TQuantity::Level},
    {"inflow_volume", "入库洪量", "10^8m^3", TQuantity::Storage},
    {"outflow_volume", "出库洪量", "10^8m^3", TQuantity::Storage},
    {"storage_change", "库容变化", "10^8m^3", TQuantity::Storage},
    {"peak_attenuation", "削峰率", "%"},
    {"peak_lag", "峰现滞时", "h"},
    {"negative_inflow_steps", "负入流时段数", ""},
    {"negative_inflow_volume", "负入流水量", "10^8m^3", TQuantity::Storage},
    {"peak_inflow_corrected", "修正洪峰流量 / 峰现时间", "m^3/s", TQuantity::Flow},
    {"inflow_volume_corrected", "修正入库洪量", "10^8m^3", TQuantity::Storage},
    {"smooth_rms_departure", "修正水位偏差均方根", "m", TQuantity::Level},
    {"smooth_largest_departure", "修正水位最大偏差 / 时间", "m", TQuantity::Level},
    {"smooth_solves", "修正求解次数", ""},
    {"noise_sigma_median", "水位观测误差流量中位数", "m^3/s", TQuantity::Flow},
    {"negative_within_noise", "误差内负入流时段数", ""},
    {"negative_beyond_noise", "超出误差负入流时段数", ""},
    {"compare_records", "对比记录数", ""},
    {"compare_rmse", "对比均方根误差", "m^3/s", TQuantity::Flow},
    {"compare_nse", "对比纳什效率系数", ""},
    {"compare_bias", "对比平均偏差", "m^3/s", TQuantity::Flow},
    {"compare_peak_error", "对比洪峰误差", "m^3/s", TQuantity::Flow},
    {"compare_volume_error", "对比洪量误差", "10^8m^3", TQuantity::Storage},
    {"skipped_records", "跳过记录数", ""},
    {"repaired_records", "修复记录数", ""},
}};
constexpr std::size_t kPlainItems = 13;

// One item's content: a count, or a value, a time, or both.
struct TItem {
    const TItemInfo* info;
    std::optional<std::size_t> count;
    std::optional<double> value;
    std::optional<DateTimeValue> time;
};

std::vector<TItem> Items(const TFloodSummary& s) {
    auto peak = [](const TItemInfo& info, const std::optional<TFloodPeak>& p) {
        TItem item{&info, std::nullopt, std::nullopt, std::nullopt};
        if (p) {
            item.value = p->value;
            item.time = p->time;
        }
        return item;
    };
    auto value = [](const TItemInfo& info, const std::optional<double>& v) {
        return TItem{&info, std::nullopt, v, std::nullopt};
    };
    auto time = [](const TItemInfo& info, const std::optional<DateTimeValue>& t) {
        return TItem{&info, std::nullopt, std::nullopt, t};
    };
    std::vector<TItem> items{{
        {&kItems[0], s.records, std::nullopt, std::nullopt},
        time(kItems[1], s.start),
        time(kItems[2], s.end),
        peak(kItems[3], s.peakInflow),
        peak(kItems[4], s.peakOutflow),
        peak(kItems[5], s.maxLevel),
        value(kItems[6], s.inflowVolume),
        value(kItems[7], s.outflowVolume),
        value(kItems[8], s.storageChange),
        value(kItems[9], s.peakAttenuation),
        value(kItems[10], s.peakLag),
        {&kItems[11], s.negativeInflowSteps, std::nullopt, std::nullopt},
        value(kItems[12], s.negativeInflowVolume),
    }};
    static_assert(kPlainItems == 13);
    if (s.skippedRecords) items.push_back({&kItems[27], *s.skippedRecords, std::nullopt, std::nullopt});
    if (s.repairedRecords) items.push_back({&kItems[28], *s.repairedRecords, std::nullopt, std::nullopt});
    if (s.corrected) {
        items.push_back(peak(kItems[13], s.peakInflowCorrected));
        items.push_back(value(kItems[14], s.inflowVolumeCorrected));
    }
    if (s.heldDeparture) {
        items.push_back(value(kItems[15], s.heldDeparture->rms));
        items.push_back(peak(kItems[16], TFloodPeak{s.heldDeparture->largest, s.heldDeparture->time}));
        items.push_back({&kItems[17], static_cast<std::size_t>(s.heldDeparture->solves), std::nullopt, std::nullopt});
    }
    if (s.noise) {
        items.push_back(value(kItems[18], s.noise->medianSigma));
        items.push_back({&kItems[19], s.noise->within, std::nullopt, std::nullopt});
        items.push_back({&kItems[20], s.noise->beyond, std::nullopt, std::nullopt});
    }
    if (s.comparison) {
        const TInflowComparison& c = *s.comparison;
        items.push_back({&kItems[21], c.records, std::nullopt, std::nullopt});
        items.push_back(value(kItems[22], c.rmse));
        items.push_back(value(kItems[23], c.nse));
        items.push_back(value(kItems[24], c.bias));
        items.push_back(value(kItems[25], c.peakError));
        items.push_back(value(kItems[26], c.volumeError));
    }
    return items;
}

// The table's text of a number with '.' in place of the locale's mark: the
// text is a minus sign, digits and at most one mark, so the one character
// after the sign that is not a digit is the mark.
void AppendScriptNumber(std::string& out, double value) {
    const std::size_t from = out.size();
    const Currency units = DecimalFromReal(value);
    AppendDecimalText(out, units);
    for (std::size_t i = from + (units.Units < 0 ? 1 : 0); i < out.size(); ++i) {
        if (out[i] < '0' || out[i] > '9') {
            out[i] = '.';
            break;
        }
    }
}

// What a summary item that has no four-decimal text says: its name, its value
// and unit, and the range it lies beyond.
std::string BeyondTheNumbers(const TSummaryItem& item, double value) {
    char number[32];
    const auto end = std::to_chars(number, number + sizeof number, value).ptr;
    return item.name + " is " + std::string(number, end) + (item.unit.empty() ? "" : " ") + item.unit +
           ": beyond the numbers of four decimals a summary writes (up to 922337203685477.5807)";
}

// An item's value and unit in the units asked for; a percentage, hours and
// counts have none to change.
void InUnits(TSummaryItem& item, TQuantity quantity, const TRecordUnits& units) {
    TUnitFactor factor;
    switch (quantity) {
    case TQuantity::None:
        return;
    case TQuantity::Flow:
        factor = UnitFactor(units.flow);
        item.unit = UnitText(units.flow);
        break;
    case TQuantity::Level:
        factor = UnitFactor(units.level);
        item.unit = UnitText(units.level);
        break;
    case TQuantity::Storage:
        factor = UnitFactor(units.storage);
        item.unit = UnitText(units.storage);
        break;
    }
    if (item.value) item.value = ToUnit(*item.value, factor);
}

// yyyy-mm-dd hh:mm:ss whatever the locale: the pattern's ':' would be the
// locale's time mark, so it is quoted; '-' and the blank are literal anyway.
// The minutes are "nn", which never reads as a month.
constexpr std::string_view kScriptStampPattern = "yyyy-mm-dd hh':'nn':'ss";

// The text is made before the file is touched, so a value that cannot be
// written leaves an earlier file as it was.
void WriteWholeText(const std::string& text, const std::string& fileName) {
    LineFile file;
    file.OpenWriteAtomic(fileName);
    file.Write(text);
    file.Close();
}

// The longest record whose peaks are one flood's: over a year the largest
// inflow and the largest outflow may belong to different floods, and the time
// between them is no lag.
constexpr long double kLagSpanDays = 365.0L;

// The peaks compared: attenuation and lag.
void Attenuation(TFloodSummary& s) {
    if (s.peakInflow && s.peakOutflow) {
        const TFloodPeak in = *s.peakInflow, out = *s.peakOutflow;
        // An inflow that never rises above zero has no peak to attenuate: the
        // ratio would be meaningless (or a division by zero), so the item
        // stays empty rather than showing a number nobody can read.
        if (in.value > 0)
            s.peakAttenuation =
                EvalFormula([&] { return (1.0L - static_cast<long double>(out.value) / in.value) * 100.0L; });
        if (s.start && s.end && ElapsedDays(*s.end) - ElapsedDays(*s.start) < kLagSpanDays)
            s.peakLag = EvalFormula([&] { return (ElapsedDays(out.time) - ElapsedDays(in.time)) * 24.0L; });
    }
}

}  // namespace

TFloodSummary SummarizeFlood(std::span<const TFloodStep> steps, std::size_t computed) {
    TFloodSummary s;
    const std::size_t n = std::min(computed, steps.size());
    s.records = n;
    if (n == 0) return s;
    s.start = steps[0].T;
    s.end = steps[n - 1].T;
    s.peakOutflow = Peak(steps, 0, n, [](const TFloodStep& r) { return r.Qout; });
    s.maxLevel = Peak(steps, 0, n, [](const TFloodStep& r) { return r.Z; });
    if (n < 2) return s;

    // The first record has no step: its Qin, qMean and dt are not results.
    s.peakInflow = Peak(steps, 1, n, [](const TFloodStep& r) { return r.Qin; });
    s.storageChange =
        EvalFormula([&] { return static_cast<long double>(steps[n - 1].V) - steps[0].V; });
    Attenuation(s);
    s.backwardStep = FirstBackwardStep(steps, n);
    if (s.backwardStep) return s;
    long double inflow = 0, outflow = 0, negative = 0;
    std::size_t negativeSteps = 0;
    for (std::size_t i = 1; i < n; ++i) {
        const long double in = static_cast<long double>(steps[i].Qin) * steps[i].dt;
        inflow += in;
        outflow += static_cast<long double>(steps[i].qMean) * steps[i].dt;
        if (steps[i].Qin < 0) {
            ++negativeSteps;
            negative += in;
        }
    }
    s.inflowVolume = EvalFormula([&] { return inflow / 1e8L; });
    s.outflowVolume = EvalFormula([&] { return outflow / 1e8L; });
    s.negativeInflowSteps = negativeSteps;
    s.negativeInflowVolume = EvalFormula([&] { return negative / 1e8L; });
    return s;
}

TFloodSummary SummarizeFlood(std::span<const TFloodStep> steps, std::size_t computed,
                             std::span<const double> corrected) {
    TFloodSummary s = SummarizeFlood(steps, computed);
    s.corrected = true;
    const std::size_t n = std::min({computed, steps.size(), corrected.size() + 1});
    if (n < 2 || s.backwardStep) return s;
    std::size_t best = 0;
    bool found = false;
    long double water = 0;
    for (std::size_t i = 1; i < n; ++i) {
        const double q = corrected[i - 1];
        water += static_cast<long double>(q) * steps[i].dt;
        if (std::isnan(q)) continue;
        if (!found || q > corrected[best - 1]) best = i;   // ties keep the first
        found = true;
    }
    if (found) s.peakInflowCorrected = TFloodPeak{corrected[best - 1], steps[best].T};
    s.inflowVolumeCorrected = EvalFormula([&] { return water / 1e8L; });
    return s;
}

namespace {

constexpr std::string_view kCorrectedHeading = "time,inflow,corrected_inflow\r\n";

// The corrected inflow's lines after its heading, appended to out; lineDone
// runs after each.
template <class LineDone>
void AppendCorrectedLines(std::string& out, std::span<const TFloodStep> steps, std::size_t computed,
                          std::span<const double> corrected, LineDone lineDone) {
    const std::size_t n = std::min(computed, steps.size());
    for (std::size_t i = 1; i < n; ++i) {
        AppendStampPattern(out, kScriptStampPattern, steps[i].T);
        out += ',';
        AppendScriptNumber(out, steps[i].Qin);
        out += ',';
        AppendScriptNumber(out, i - 1 < corrected.size() ? corrected[i - 1] : steps[i].Qin);
        out += "\r\n";
        lineDone();
    }
}

}  // namespace

std::string CorrectedText(std::span<const TFloodStep> steps, std::size_t computed,
                          std::span<const double> corrected) {
    std::string text(kCorrectedHeading);
    AppendCorrectedLines(text, steps, computed, corrected, [] {});
    return text;
}

void WriteCorrectedText(LineFile& file, std::span<const TFloodStep> steps, std::size_t computed,
                        std::span<const double> corrected) {
    file.Write(kCorrectedHeading);
    // Made in the channel's buffer, which goes out whenever it is full.
    AppendCorrectedLines(file.Pending(), steps, computed, corrected, [&] { file.Commit(); });
}

void WriteCorrectedText(std::span<const TFloodStep> steps, std::size_t computed,
                        std::span<const double> corrected, const std::string& fileName) {
    WriteWholeText(CorrectedText(steps, computed, corrected), fileName);
}

std::vector<TSummaryItem> SummaryItems(const TFloodSummary& summary, const TRecordUnits& units) {
    std::vector<TSummaryItem> items;
    for (const TItem& item : Items(summary)) {
        TSummaryItem& out = items.emplace_back();
        out.name = item.info->name;
        out.caption = item.info->caption;
        out.unit = item.info->unit;
        out.count = item.count;
        out.value = item.value;
        out.time = item.time;
        // In the program's own units nothing is converted: the items stay
        // what they always were, to the byte.
        if (!units.AllDefault()) InUnits(out, item.info->quantity, units);
    }
    return items;
}

double SummaryNumber(const TSummaryItem& item) {
    const double value = item.value.value_or(0.0);
    if (!DecimalInRange(value)) throw ESummaryValue(BeyondTheNumbers(item, value));
    return DecimalToReal(DecimalFromReal(value));
}

std::string SummaryText(const TFloodSummary& summary, const TRecordUnits& units) {
    std::string text = "item,value,unit,time\r\n";
    for (const TSummaryItem& item : SummaryItems(summary, units)) {
        text += item.name;
        text += ',';
        if (item.count) text += std::to_string(*item.count);
        if (item.value) {
            if (!DecimalInRange(*item.value)) throw ESummaryValue(BeyondTheNumbers(item, *item.value));
            AppendScriptNumber(text, *item.value);
        }
        text += ',';
        text += item.unit;
        text += ',';
        if (item.time) AppendStampPattern(text, kScriptStampPattern, *item.time);
        text += "\r\n";
    }
    return text;
}

void WriteSummaryText(const TFloodSummary& summary, const std::string& fileName, const TRecordUnits& units) {
    WriteWholeText(SummaryText(summary, units), fileName);
}

std::vector<TFloodSummaryRow> SummaryRows(const TFloodSummary& summary) {
    std::vector<TFloodSummaryRow> rows;
    for (const TItem& item : Items(summary)) {
        TFloodSummaryRow& row = rows.emplace_back();
        row.item = item.info->name;
        row.caption = item.info->caption;
        row.unit = item.info->unit;
        if (item.count) row.value = std::to_string(*item.count);
        if (item.value) row.value = DecimalToText(DecimalFromReal(*item.value));
        if (item.time) row.time = StampToText(*item.time);
    }
    return rows;
}
