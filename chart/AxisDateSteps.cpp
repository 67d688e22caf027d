#include "AxisDateSteps.h"

#include "FloatRules.h"
#include "LocaleFormats.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

namespace {

using real = long double;

constexpr double kMaxDays = 1e11;
constexpr std::size_t kMaxLabels = 10000;
constexpr double kMsPerDay = 86400000.0;
// Label values a quarter of a millisecond beyond an end still count: the
// stamps of a record (date plus time of day) and a label's value (a count of
// units divided out) may round to neighbouring doubles, and the texts resolve
// milliseconds only.
constexpr double kTolerance = 0.25 / kMsPerDay;

long long FloorDiv(long long a, long long b) {
    const long long q = a / b;
    return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

// The day number of the first of a month, counted as year * 12 + month - 1.
// The Gregorian calendar repeats every 400 years (146097 days), so any year
// is brought into one the runtime encodes and the cycles are added back.
double MonthStart(long long monthIndex) {
    const long long year = FloorDiv(monthIndex, 12);
    const int month = static_cast<int>(monthIndex - year * 12) + 1;
    const long long cycles = FloorDiv(year - 2000, 400);
    DateTimeValue day = 0;
    TryEncodeDate(static_cast<int>(year - cycles * 400), month, 1, day);  // 2000..2399: valid
    return day + static_cast<double>(cycles) * 146097.0;
}

// The month index of the day that holds an integer day number.
long long MonthIndexOf(double day) {
    const StampParts p = SplitStamp(day);
    return static_cast<long long>(p.year) * 12 + (p.month - 1);
}

struct TCandidate {
    TDateStepUnit unit;
    long long count;
    double minGap;   // the least and the most days between neighbouring labels
    double maxGap;
};

constexpr double UnitsPerDay(TDateStepUnit unit) {
    return unit == dsuSecond ? 86400.0 : unit == dsuMinute ? 1440.0 : 24.0;
}

TCandidate SubDay(TDateStepUnit unit, long long count) {
    const double days = static_cast<double>(static_cast<real>(count) / UnitsPerDay(unit));
    return {unit, count, days, days};
}

// The steps in ascending order; the years go on in 1-2-5 order after these.
std::vector<TCandidate> FixedCandidates() {
    std::vector<TCandidate> c;
    for (long long n : {1, 2, 5, 10, 15, 30}) c.push_back(SubDay(dsuSecond, n));
    for (long long n : {1, 2, 5, 10, 15, 30}) c.push_back(SubDay(dsuMinute, n));
    for (long long n : {1, 2, 3, 6, 12}) c.push_back(SubDay(dsuHour, n));
    c.push_back({dsuDay, 1, 1, 1});
    // The month's last label may stand up to 2n - 1 days before the next first.
    for (long long n : {2, 5, 10}) c.push_back({dsuDay, n, double(n), double(2 * n - 1)});
    // February is the shortest month, runs of 31-day months the longest.
    for (long long n : {1, 2, 3, 6}) c.push_back({dsuMonth, n, 28.0 * n, 31.0 * n});
    return c;
}

TCandidate Years(long long n) { return {dsuYear, n, 365.0 * n, 366.0 * n}; }

// Calls emit(value) for each label value of the candidate in [lo, hi], in
// ascending order, until emit returns false.
template <class Emit>
void ForEachLabelValue(const TCandidate& c, double lo, double hi, Emit&& emit) {
    switch (c.unit) {
    case dsuSecond:
    case dsuMinute:
    case dsuHour: {
        // Multiples of the step counted from day 0's midnight: every step here
        // divides a day, so they are the multiples counted from any midnight.
        const real perDay = UnitsPerDay(c.unit);
        for (long long k = static_cast<long long>(std::floor(static_cast<real>(lo) * perDay / c.count));;
             ++k) {
            const double v = static_cast<double>(static_cast<real>(k * c.count) / perDay);
            if (v < lo) continue;
            if (v > hi || !emit(v)) return;
        }
    }
    case dsuDay:
        if (c.count == 1) {
            for (double d = std::ceil(lo); d <= hi; d += 1)
                if (!emit(d)) return;
            return;
        }
        for (long long m = MonthIndexOf(std::floor(lo));; ++m) {
            const double first = MonthStart(m);
            const double length = MonthStart(m + 1) - first;
            if (first > hi) return;
            for (long long j = 0; double(j * c.count + c.count) <= length; ++j) {
                const double v = first + double(j * c.count);
                if (v < lo) continue;
                if (v > hi || !emit(v)) return;
            }
        }
    case dsuMonth:
        for (long long m = FloorDiv(MonthIndexOf(std::floor(lo)), c.count) * c.count;; m += c.count) {
            const double v = MonthStart(m);
            if (v < lo) continue;
            if (v > hi || !emit(v)) return;
        }
    case dsuYear: {
        const long long year = FloorDiv(MonthIndexOf(std::floor(lo)), 12);
        for (long long y = FloorDiv(year, c.count) * c.count;; y += c.count) {
            const double v = MonthStart(y * 12);
            if (v < lo) continue;
            if (v > hi || !emit(v)) return;
        }
    }
    case dsuNone: return;
    }
}

bool IsMidnight(double v) {
    const StampParts p = SplitStamp(StampAtElapsedDays(v));
    return p.hour == 0 && p.minute == 0 && p.second == 0 && p.millisecond == 0;
}

struct TPatterns {
    std::string monthYear;
    std::string year;
};

// The text of the label at v, a moment in days after day 0 (ElapsedDays),
// shown as the value that stands for it.
std::string LabelText(const TCandidate& c, double at, bool first, const TPatterns& patterns) {
    const DateTimeValue v = StampAtElapsedDays(at);
    switch (c.unit) {
    case dsuSecond:
    case dsuMinute:
    case dsuHour: {
        if (IsMidnight(at)) return StampPattern("ddddd", v);
        const bool seconds = c.unit == dsuSecond;
        if (first) return StampPattern(seconds ? "ddddd tt" : "ddddd t", v);
        return StampPattern(seconds ? "tt" : "t", v);
    }
    case dsuDay: return StampPattern("ddddd", v);
    case dsuMonth: return StampPattern(patterns.monthYear, v);
    case dsuYear: return StampPattern(patterns.year, v);
    case dsuNone: break;
    }
    return {};
}

// The labels of one candidate, measured as they are made; false as soon as
// two neighbours overlap or there are more than `limit` of them (the labels
// made so far are left in `out`).
bool MakeLabels(const TCandidate& c, double minimum, double maximum, double pixelsPerDay,
                std::size_t limit, int separation, const TMeasureLabel& measure,
                const TPatterns& patterns, std::vector<TDateLabel>& out, std::vector<int>& widths) {
    out.clear();
    widths.clear();
    bool fits = true;
    ForEachLabelValue(c, minimum - kTolerance, maximum + kTolerance, [&](double v) {
        if (out.size() >= limit) return fits = false;
        TDateLabel label;
        label.value = v;
        // As the axis maps a value: the distance in double, then to nearest.
        const double d = static_cast<double>((static_cast<real>(v) - minimum) * pixelsPerDay);
        label.offset = static_cast<int>(RoundHalfEven(d));
        label.text = LabelText(c, v, out.empty(), patterns);
        const int width = std::max(0, measure(label.text));
        if (!out.empty()) {
            // Centred labels: half of each width, plus the separation kept free.
            const int previous = widths.back();
            const long long gap = static_cast<long long>(
                RoundHalfEven(separation * 0.01L * std::max(previous, width)));
            const long long distance = static_cast<long long>(label.offset) - out.back().offset;
            if (distance < 1 || 2 * distance < static_cast<long long>(previous) + width + 2 * gap)
                fits = false;
        }
        out.push_back(std::move(label));
        widths.push_back(width);
        return fits;
    });
    return fits;
}

// ---------------------------------------------------------------- patterns

struct TToken {
    std::string text;
    char field = 0;   // the lower-case letter of a field, 0 for a separator
};

std::vector<TToken> Tokenize(std::string_view p) {
    std::vector<TToken> tokens;
    auto separator = [&](std::string_view text) {
        if (tokens.empty() || tokens.back().field != 0) tokens.push_back({});
        tokens.back().text.append(text);
    };
    std::size_t i = 0;
    while (i < p.size()) {
        const char c = p[i];
        if (c == '"' || c == '\'') {
            std::size_t close = p.find(c, i + 1);
            close = close == std::string_view::npos ? p.size() : close + 1;
            separator(p.substr(i, close - i));
            i = close;
            continue;
        }
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c;
        if (lower >= 'a' && lower <= 'z') {
            std::size_t n = 1;
            while (i + n < p.size() && (p[i + n] | 0x20) == lower) ++n;
            tokens.push_back({std::string(p.substr(i, n)), lower});
            i += n;
            continue;
        }
        separator(p.substr(i, 1));
        ++i;
    }
    return tokens;
}

bool HasWideCharacter(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

// Removes every field whose letter is in `letters`, with the separator that
// joins it to the rest.
void RemoveFields(std::vector<TToken>& tokens, std::string_view letters) {
    for (std::size_t i = 0; i < tokens.size();) {
        if (tokens[i].field == 0 || letters.find(tokens[i].field) == std::string_view::npos) {
            ++i;
            continue;
        }
        const bool separatorAfter = i + 1 < tokens.size() && tokens[i + 1].field == 0;
        const bool fieldBefore = std::any_of(tokens.begin(), tokens.begin() + static_cast<std::ptrdiff_t>(i),
                                             [](const TToken& t) { return t.field != 0; });
        if (separatorAfter && (HasWideCharacter(tokens[i + 1].text) || !fieldBefore)) {
            tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i),
                         tokens.begin() + static_cast<std::ptrdiff_t>(i + 2));
        } else if (fieldBefore && i > 0 && tokens[i - 1].field == 0) {
            tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i - 1),
                         tokens.begin() + static_cast<std::ptrdiff_t>(i + 1));
            --i;
        } else {
            tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
}

bool HasField(const std::vector<TToken>& tokens, char letter) {
    return std::any_of(tokens.begin(), tokens.end(), [&](const TToken& t) { return t.field == letter; });
}

// The remaining pattern with every year written in four digits; empty when
// a field of `needed` is missing.
std::string Join(std::vector<TToken>& tokens, std::string_view needed) {
    for (const char letter : needed)
        if (!HasField(tokens, letter)) return {};
    std::string out;
    for (const TToken& t : tokens) out += t.field == 'y' ? "yyyy" : t.text;
    return out;
}

}  // namespace

std::string MonthYearPattern(std::string_view shortDatePattern) {
    std::vector<TToken> tokens = Tokenize(shortDatePattern);
    RemoveFields(tokens, "da");   // days, and day names
    std::string out = Join(tokens, "my");
    return out.empty() ? "ddddd" : out;
}

std::string YearPattern(std::string_view shortDatePattern) {
    std::vector<TToken> tokens = Tokenize(shortDatePattern);
    RemoveFields(tokens, "dam");
    std::string out = Join(tokens, "y");
    return out.empty() ? "yyyy" : out;
}

TDateLabels ChooseDateLabels(DateTimeValue minimum, DateTimeValue maximum, int pixelLength,
                             const TMeasureLabel& measure, int labelsSeparation) {
    TDateLabels result;
    if (pixelLength < 1 || !std::isfinite(minimum) || !std::isfinite(maximum)) return result;
    if (minimum > maximum) std::swap(minimum, maximum);
    if (minimum < -kMaxDays || maximum > kMaxDays) return result;
    if (minimum == maximum) {
        result.labels.push_back({minimum, pixelLength / 2, StampToText(StampAtElapsedDays(minimum))});
        return result;
    }

    const double range = maximum - minimum;
    const double pixelsPerDay = static_cast<double>(static_cast<real>(pixelLength) / range);
    // Two labels at one pixel overlap, so more than one a pixel cannot fit.
    const std::size_t limit = std::min<std::size_t>(static_cast<std::size_t>(pixelLength) + 1, kMaxLabels);
    const double magnitude = std::max(std::fabs(minimum), std::fabs(maximum));
    const double resolution = std::nextafter(magnitude, std::numeric_limits<double>::infinity()) - magnitude;
    // A value off by half its resolution must still split into the right millisecond.
    const bool subDayPlaceable = resolution * kMsPerDay < 0.5;
    const int separation = std::max(0, labelsSeparation);

    const LocaleFormats& f = Formats();
    const TPatterns patterns{MonthYearPattern(f.shortDatePattern), YearPattern(f.shortDatePattern)};

    std::vector<TDateLabel> labels;
    std::vector<int> widths;
    TDateLabels fallback;
    enum class TOutcome { fits, overlaps, none, skipped };
    auto tryCandidate = [&](const TCandidate& c) {
        if (c.unit <= dsuHour && !subDayPlaceable) return TOutcome::skipped;
        // At least range / maxGap labels: skip without making them when that is too many.
        if (std::floor(range / c.maxGap) > static_cast<double>(limit)) return TOutcome::skipped;
        const bool fits = MakeLabels(c, minimum, maximum, pixelsPerDay, limit, separation, measure,
                                     patterns, labels, widths);
        if (labels.empty()) return TOutcome::none;
        if (fits) {
            result.step = {c.unit, c.count};
            result.labels = std::move(labels);
            return TOutcome::fits;
        }
        fallback.step = {c.unit, c.count};
        fallback.labels.assign(1, labels.front());
        return TOutcome::overlaps;
    };

    for (const TCandidate& c : FixedCandidates()) {
        const TOutcome outcome = tryCandidate(c);
        if (outcome == TOutcome::fits) return result;
        // A step of one unit labels every boundary a coarser step does: when
        // it finds none in the range, no coarser step will.
        if (outcome == TOutcome::none && c.count == 1) return fallback;
    }
    // Years: 1, 2, 5, 10, 20, 50 ... A power of ten that finds no label in the
    // range ends the search (its multiples find none either); a step beyond
    // the range holds at most one label, which always fits, so the search
    // ends within a few steps of the range's length in years.
    for (long long decade = 1; decade <= 1000000000000LL; decade *= 10) {
        for (const long long n : {decade, 2 * decade, 5 * decade}) {
            const TOutcome outcome = tryCandidate(Years(n));
            if (outcome == TOutcome::fits) return result;
            if (outcome == TOutcome::none && n == decade) return fallback;
        }
    }
    return fallback;
}
