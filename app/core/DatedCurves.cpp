#include "DatedCurves.h"

#include "Arithmetic.h"
#include "OptionText.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

constexpr const char* kOption = "--curve";

// "YYYY-M-D" with month and day of one or two digits.
bool ReadIsoDay(std::string_view text, std::int64_t& day) {
    int parts[3] = {0, 0, 0};
    std::size_t i = 0;
    for (int k = 0; k < 3; ++k) {
        if (k > 0 && (i >= text.size() || text[i++] != '-')) return false;
        int digits = 0;
        while (i < text.size() && IsDigit(text[i])) {
            parts[k] = parts[k] * 10 + (text[i++] - '0');
            if (++digits > (k == 0 ? 4 : 2)) return false;
        }
        if (k == 0 ? digits != 4 : digits == 0) return false;
    }
    DateTimeValue value = 0;
    if (i != text.size() || !TryEncodeDate(parts[0], parts[1], parts[2], value)) return false;
    day = static_cast<std::int64_t>(value);
    return true;
}

} // namespace

TCurveArgument ParseCurveArgument(std::string_view text) {
    TCurveArgument curve;
    if (text.empty()) RefuseOption(kOption, "no file given");
    if (text.back() == '@') {
        curve.file = text.substr(0, text.size() - 1);
    } else {
        const std::size_t at = text.rfind('@');
        const std::string_view suffix =
            at == std::string_view::npos ? std::string_view() : text.substr(at + 1);
        const bool dateLike = !suffix.empty() &&
                              suffix.find_first_not_of("0123456789-") == std::string_view::npos &&
                              suffix.find_first_of("0123456789") != std::string_view::npos;
        if (!dateLike) {
            curve.file = text;
        } else {
            std::int64_t day = 0;
            if (!ReadIsoDay(suffix, day))
                RefuseOption(
                    kOption,
                    Quoted(suffix) + " in " + Quoted(text) +
                        " is no date YYYY-MM-DD (a name ending so is written with '@' at its end)");
            curve.file = text.substr(0, at);
            curve.fromDay = day;
        }
    }
    if (curve.file.empty()) RefuseOption(kOption, "no file name in " + Quoted(text));
    return curve;
}

std::int64_t StampDay(DateTimeValue time) {
    return static_cast<std::int64_t>(time >= 0 ? std::floor(time) : std::trunc(time));
}

std::string DayText(std::int64_t day) {
    const StampParts p = SplitStamp(static_cast<double>(day));
    char text[32];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d", p.year, p.month, p.day);
    return text;
}

TCurveSchedule::TCurveSchedule(std::vector<TCurveArgument> curves) : curves_(std::move(curves)) {
    if (curves_.empty()) RefuseOption(kOption, "no curve given");
    for (std::size_t k = 0; k < curves_.size(); ++k) {
        const TCurveArgument& c = curves_[k];
        if (!c.fromDay) {
            if (undated_)
                RefuseOption(kOption,
                             Quoted(curves_[*undated_].file) + " and " + Quoted(c.file) +
                                 " both have no date; give all but one a date as FILE@YYYY-MM-DD");
            undated_ = k;
        } else {
            byDay_.emplace_back(*c.fromDay, k);
        }
    }
    std::sort(byDay_.begin(), byDay_.end());
    for (std::size_t k = 1; k < byDay_.size(); ++k)
        if (byDay_[k].first == byDay_[k - 1].first) {
            const auto [a, b] = std::minmax(byDay_[k - 1].second, byDay_[k].second);
            RefuseOption(kOption, Quoted(curves_[a].file) + " and " + Quoted(curves_[b].file) +
                                      " both hold from " + DayText(byDay_[k].first));
        }
}

std::optional<std::size_t> TCurveSchedule::CurveAt(DateTimeValue time) const {
    if (byDay_.empty()) return undated_;
    const std::int64_t day = StampDay(time);
    // The last dated curve from that day or before.
    const auto after =
        std::upper_bound(byDay_.begin(), byDay_.end(), day,
                         [](std::int64_t d, const auto& entry) { return d < entry.first; });
    if (after == byDay_.begin()) return undated_;
    return std::prev(after)->second;
}

std::string TCurveSchedule::NoCurveMessage(DateTimeValue time) const {
    const std::size_t first = byDay_.empty() ? 0 : byDay_.front().second;
    return "no curve holds on " + DayText(StampDay(time)) + ": the first, " +
           Quoted(curves_[first].file) + ", holds from " +
           DayText(byDay_.empty() ? 0 : byDay_.front().first) +
           " (a curve without a date holds from the start)";
}

std::vector<TCurveSpan> CurveSpans(const TCurveSchedule& schedule,
                                   const std::vector<DateTimeValue>& times) {
    std::vector<TCurveSpan> spans;
    for (std::size_t k = 0; k < times.size(); ++k) {
        const std::optional<std::size_t> curve = schedule.CurveAt(times[k]);
        if (spans.empty() || spans.back().curve != curve)
            spans.push_back({curve, k, k});
        else
            spans.back().lastRecord = k;
    }
    return spans;
}
