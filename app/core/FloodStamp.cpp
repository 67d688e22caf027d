#include "FloodStamp.h"

#include "Arithmetic.h"
#include "FloatRules.h"
#include "LocaleFormats.h"

#include <cmath>

namespace {

// Reads one or two digits at text[i]; a third digit puts the text out of form.
bool ReadSmall(std::string_view text, std::size_t& i, int& value) {
    if (i >= text.size() || !IsDigit(text[i])) return false;
    value = text[i++] - '0';
    if (i < text.size() && IsDigit(text[i])) value = value * 10 + (text[i++] - '0');
    return !(i < text.size() && IsDigit(text[i]));
}

void SkipBlanks(std::string_view text, std::size_t& i) {
    while (i < text.size() && text[i] == ' ') ++i;
}

struct DocumentedStamp {
    int year = 0, month = 0, day = 0;
    bool hasTime = false;
    int hour = 0, minute = 0, second = 0;
};

// Reads "h:mm" or "h:mm:ss" at text[i] (one or two digits each), then blanks
// to the end: the time of the ISO and the year-first slash forms.
bool SplitColonTime(std::string_view text, std::size_t i, bool secondsOptional, DocumentedStamp& parts) {
    if (!ReadSmall(text, i, parts.hour) || i >= text.size() || text[i++] != ':') return false;
    if (!ReadSmall(text, i, parts.minute)) return false;
    parts.second = 0;
    if (i < text.size() && text[i] == ':') {
        ++i;
        if (!ReadSmall(text, i, parts.second)) return false;
    } else if (!secondsOptional) {
        return false;
    }
    SkipBlanks(text, i);
    parts.hasTime = true;
    return i == text.size();
}

// The documented form "yyyy-mm-dd hh-mm-ss" (or "hh:mm:ss"), and two forms
// that spreadsheets and loggers write, which no locale reading is needed for
// either: ISO's "yyyy-mm-ddThh:mm[:ss]" and the year-first "yyyy/m/d[ h:mm[:ss]]".
// Day-first and month-first forms are ambiguous and stay with the locale.
bool SplitDocumentedStamp(std::string_view text, DocumentedStamp& parts) {
    if (text.size() < 8) return false;
    for (std::size_t k = 0; k < 4; ++k)
        if (!IsDigit(text[k])) return false;
    parts.year = (text[0] - '0') * 1000 + (text[1] - '0') * 100 + (text[2] - '0') * 10 + (text[3] - '0');
    std::size_t i = 4;
    const char dateMark = text[i++];
    if ((dateMark != '-' && dateMark != '/') || !ReadSmall(text, i, parts.month)) return false;
    if (i >= text.size() || text[i++] != dateMark || !ReadSmall(text, i, parts.day)) return false;
    if (i == text.size()) return true;
    if (dateMark == '-' && text[i] == 'T') return SplitColonTime(text, i + 1, true, parts);
    if (text[i] != ' ') return false;
    SkipBlanks(text, i);
    if (i == text.size()) return true;
    if (dateMark == '/') return SplitColonTime(text, i, true, parts);
    if (!ReadSmall(text, i, parts.hour) || i >= text.size()) return false;
    const char mark = text[i++];
    if (mark != '-' && mark != ':') return false;
    if (!ReadSmall(text, i, parts.minute)) return false;
    if (i >= text.size() || text[i++] != mark || !ReadSmall(text, i, parts.second)) return false;
    SkipBlanks(text, i);
    parts.hasTime = true;
    return i == text.size();
}

// The patterns as the locale reading builds them: an hour of one or two
// digits, ":mm:ss", the day-half marker before or after or none.
bool IsPlainLongTime(std::string_view pattern) {
    if (pattern.starts_with("AMPM ")) pattern.remove_prefix(5);
    else if (pattern.ends_with(" AMPM")) pattern.remove_suffix(5);
    return pattern == "h:mm:ss" || pattern == "hh:mm:ss";
}

// No letter of the date pattern may bring in the time of day (hours, minutes,
// seconds, milliseconds, time patterns, the day-half markers).
bool DateShowsNoTime(std::string_view pattern) {
    for (const char c : pattern) {
        switch (c) {
        case 'h': case 'H': case 'n': case 'N': case 's': case 'S': case 'z': case 'Z':
        case 't': case 'T': case 'c': case 'C': case 'a': case 'A':
            return false;
        default: break;
        }
    }
    return true;
}

}  // namespace

bool ReadDocumentedStamp(std::string_view text, DateTimeValue& value) {
    DocumentedStamp parts;
    if (!SplitDocumentedStamp(text, parts)) return false;
    DateTimeValue date = 0.0;
    if (!TryEncodeDate(parts.year, parts.month, parts.day, date)) return false;
    if (!parts.hasTime) {
        value = date;
        return true;
    }
    double time = 0.0;
    if (!TryEncodeTime(parts.hour, parts.minute, parts.second, 0, time)) return false;
    value = CombineDateTime(date, time);
    return true;
}

// The documented form with every field at full width, as files mostly have
// it: "yyyy-mm-dd hh-mm-ss" (or with ':' in the time).
bool SplitFullWidthStamp(std::string_view t, DocumentedStamp& parts) {
    if (t.size() != 19 || t[4] != '-' || t[7] != '-' || t[10] != ' ' || t[13] != t[16] ||
        (t[13] != '-' && t[13] != ':'))
        return false;
    static constexpr int kDigits[] = {0, 1, 2, 3, 5, 6, 8, 9, 11, 12, 14, 15, 17, 18};
    for (const int k : kDigits)
        if (!IsDigit(t[static_cast<std::size_t>(k)])) return false;
    auto two = [&](std::size_t k) { return (t[k] - '0') * 10 + (t[k + 1] - '0'); };
    parts.year = two(0) * 100 + two(2);
    parts.month = two(5);
    parts.day = two(8);
    parts.hasTime = true;
    parts.hour = two(11);
    parts.minute = two(14);
    parts.second = two(17);
    return true;
}

DateTimeValue TFloodStampReader::Read(std::string_view text) {
    DocumentedStamp parts;
    if (SplitFullWidthStamp(text, parts) || SplitDocumentedStamp(text, parts)) {
        bool dateOk = true;
        if (parts.year != year_ || parts.month != month_ || parts.day != day_) {
            DateTimeValue date = 0.0;
            dateOk = TryEncodeDate(parts.year, parts.month, parts.day, date);
            if (dateOk) {
                year_ = parts.year;
                month_ = parts.month;
                day_ = parts.day;
                date_ = date;
            }
        }
        if (dateOk) {
            if (!parts.hasTime) return date_;
            double time = 0.0;
            if (TryEncodeTime(parts.hour, parts.minute, parts.second, 0, time))
                return CombineDateTime(date_, time);
        }
    }
    return StampFromText(text);
}

TStampTexts::TStampTexts() {
    const LocaleFormats& f = Formats();
    reuse_ = DateShowsNoTime(f.shortDatePattern) && IsPlainLongTime(f.longTimePattern);
}

void TStampTexts::Append(std::string& out, DateTimeValue value) {
    // Days from 1899-12-30 to the end of year 9999.
    constexpr double kLastDay = 2958466.0;
    constexpr long double kMsPerDay = 86400000.0L;
    if (reuse_ && value >= 0.0 && value < kLastDay) {
        const long double ms = static_cast<long double>(value) * kMsPerDay;
        const long double whole = static_cast<long double>(RoundHalfEven(ms));
        // Far from a half millisecond, so any rounding of the split agrees.
        if (std::fabs(ms - whole) < 0.25L) {
            const auto total = static_cast<std::int64_t>(whole);
            const std::int64_t day = total / 86400000;
            const auto msOfDay = static_cast<std::int32_t>(total % 86400000);
            if (day != day_) {
                dateText_ = StampToText(static_cast<double>(day));
                day_ = day;
            }
            std::int32_t* slot;
            if (msOfDay % 1000 == 0) {
                if (bySecond_.empty()) bySecond_.assign(86400, -1);
                slot = &bySecond_[static_cast<std::size_t>(msOfDay / 1000)];
            } else {
                slot = &byMillisecond_.try_emplace(msOfDay, -1).first->second;
            }
            if (*slot < 0) {
                std::string full = StampToText(value);
                if (!full.starts_with(dateText_)) {
                    out += full;
                    return;
                }
                texts_.push_back(full.substr(dateText_.size()));
                *slot = static_cast<std::int32_t>(texts_.size() - 1);
            }
            out += dateText_;
            out += texts_[static_cast<std::size_t>(*slot)];
            return;
        }
    }
    out += StampToText(value);
}
