#include "FloodStamp.h"

#include "Arithmetic.h"
#include "FloatRules.h"
#include "LocaleFormats.h"
#include "OptionText.h"

#include <cmath>
#include <cstdint>

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

// After a date at text[i]: nothing, blanks, or blanks and "h:mm[:ss]", then
// blanks. The forms an agency's date is followed by.
bool SplitOptionalTime(std::string_view text, std::size_t i, DocumentedStamp& parts) {
    if (i == text.size()) return true;
    if (text[i] != ' ') return false;
    SkipBlanks(text, i);
    if (i == text.size()) return true;
    return SplitColonTime(text, i, true, parts);
}

// Digits at text[i], at most `most` of them (one more puts the text out of
// form); their count, 0 for none.
int ReadDigits(std::string_view text, std::size_t& i, int most, int& value) {
    int count = 0;
    value = 0;
    while (i < text.size() && IsDigit(text[i])) {
        if (++count > most) return 0;
        value = value * 10 + (text[i++] - '0');
    }
    return count;
}

bool SplitMonthNameStamp(std::string_view text, DocumentedStamp& parts) {
    static constexpr const char* kMonths[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                                "jul", "aug", "sep", "oct", "nov", "dec"};
    std::size_t i = 0;
    if (!ReadSmall(text, i, parts.day) || i + 5 > text.size() || text[i] != '-' ||
        text[i + 4] != '-')
        return false;
    const std::string_view month = text.substr(i + 1, 3);
    parts.month = 0;
    for (int m = 0; m < 12; ++m)
        if (SameIgnoringCase(month, kMonths[m])) parts.month = m + 1;
    if (parts.month == 0) return false;
    i += 5;
    if (ReadDigits(text, i, 4, parts.year) != 4) return false;
    parts.hasTime = false;
    return SplitOptionalTime(text, i, parts);
}

bool SplitOrderedStamp(std::string_view text, TDateOrder order, DocumentedStamp& parts) {
    std::size_t i = 0;
    int n[3];
    int digits[3];
    char mark = 0;
    for (int k = 0; k < 3; ++k) {
        if (k > 0) {
            if (i >= text.size()) return false;
            const char c = text[i++];
            if (k == 1 ? (c != '/' && c != '.' && c != '-') : c != mark) return false;
            mark = c;
        }
        digits[k] = ReadDigits(text, i, 4, n[k]);
        if (digits[k] == 0) return false;
    }
    // Four digits first can only be a year: year first, whatever the order.
    if (digits[0] == 4) order = TDateOrder::Ymd;
    const int y = order == TDateOrder::Ymd ? 0 : 2;
    const int m = order == TDateOrder::Mdy ? 0 : 1;
    const int d = order == TDateOrder::Dmy ? 0 : order == TDateOrder::Mdy ? 1 : 2;
    if (digits[m] > 2 || digits[d] > 2 || digits[y] == 3) return false;
    parts.year = digits[y] == 4 ? n[y] : WindowedYear(n[y], CurrentYear(), Formats().centuryWindow);
    parts.month = n[m];
    parts.day = n[d];
    parts.hasTime = false;
    return SplitOptionalTime(text, i, parts);
}

// Whole milliseconds since 1970-01-01 UTC in a Unix stamp's text.
bool UnixMilliseconds(std::string_view text, TTimeFormat format, std::int64_t& ms) {
    std::size_t i = 0;
    SkipBlanks(text, i);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    // Beyond the years 1 to 9999 in either unit, yet far from overflowing
    // once seconds are made milliseconds.
    const int mostDigits = format == TTimeFormat::UnixSeconds ? 13 : 16;
    std::int64_t whole = 0;
    int digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        if (++digits > mostDigits) return false;
        whole = whole * 10 + (text[i++] - '0');
    }
    if (digits == 0) return false;
    // The fraction: in seconds its first three digits are milliseconds; the
    // digits after those decide the rounding.
    const int ownDigits = format == TTimeFormat::UnixSeconds ? 3 : 0;
    if (format == TTimeFormat::UnixSeconds) whole *= 1000;
    std::int64_t own = 0;
    int firstRest = -1;     // the first digit beyond the millisecond, -1 for none
    bool restAfter = false; // any non-zero digit after that one
    if (i < text.size() && text[i] == '.') {
        ++i;
        int fraction = 0;
        while (i < text.size() && IsDigit(text[i])) {
            const int digit = text[i++] - '0';
            if (fraction < ownDigits)
                own = own * 10 + digit;
            else if (fraction == ownDigits)
                firstRest = digit;
            else if (digit != 0)
                restAfter = true;
            ++fraction;
        }
        if (fraction == 0) return false;
        for (; fraction < ownDigits; ++fraction)
            own *= 10;
    }
    SkipBlanks(text, i);
    if (i != text.size()) return false;
    whole += own;
    if (firstRest > 5 || (firstRest == 5 && (restAfter || whole % 2 != 0))) ++whole;
    ms = negative ? -whole : whole;
    return true;
}

// The value of a split stamp; false for an invalid date or time.
bool EncodeStamp(const DocumentedStamp& parts, DateTimeValue& value) {
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

}  // namespace

bool ReadDocumentedStamp(std::string_view text, DateTimeValue& value) {
    DocumentedStamp parts;
    return SplitDocumentedStamp(text, parts) && EncodeStamp(parts, value);
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

bool ReadMonthNameStamp(std::string_view text, DateTimeValue& value) {
    DocumentedStamp parts;
    return SplitMonthNameStamp(text, parts) && EncodeStamp(parts, value);
}

bool ReadOrderedStamp(std::string_view text, TDateOrder order, DateTimeValue& value) {
    DocumentedStamp parts;
    return order != TDateOrder::Locale && SplitOrderedStamp(text, order, parts) &&
           EncodeStamp(parts, value);
}

bool ReadUnixStamp(std::string_view text, TTimeFormat format, int utcOffsetMinutes,
                   DateTimeValue& value) {
    if (format == TTimeFormat::Text) return false;
    std::int64_t ms = 0;
    if (!UnixMilliseconds(text, format, ms)) return false;
    constexpr std::int64_t kMsPerDay = 86400000;
    constexpr std::int64_t kDayOf1970 = 25569; // 1970-01-01 counted from 1899-12-30
    ms += static_cast<std::int64_t>(utcOffsetMinutes) * 60000;
    std::int64_t day = ms / kMsPerDay;
    std::int64_t msOfDay = ms % kMsPerDay;
    if (msOfDay < 0) {
        msOfDay += kMsPerDay;
        --day;
    }
    day += kDayOf1970;
    // The days of 0001-01-01 and 9999-12-31.
    constexpr std::int64_t kFirstDay = -693593, kLastDay = 2958465;
    if (day < kFirstDay || day > kLastDay) return false;
    const auto date = static_cast<DateTimeValue>(day);
    const auto m = static_cast<int>(msOfDay);
    double time = 0.0;
    if (!TryEncodeTime(m / 3600000, m / 60000 % 60, m / 1000 % 60, m % 1000, time)) return false;
    value = CombineDateTime(date, time);
    return true;
}

TDateOrder ParseDateOrder(std::string_view text) {
    const std::string_view t = TrimText(text);
    if (SameIgnoringCase(t, "dmy")) return TDateOrder::Dmy;
    if (SameIgnoringCase(t, "mdy")) return TDateOrder::Mdy;
    if (SameIgnoringCase(t, "ymd")) return TDateOrder::Ymd;
    RefuseOption("--date-order", "unknown order " + Quoted(text) + " (dmy, mdy or ymd)");
}

TTimeFormat ParseTimeFormat(std::string_view text) {
    const std::string_view t = TrimText(text);
    if (SameIgnoringCase(t, "unix-s")) return TTimeFormat::UnixSeconds;
    if (SameIgnoringCase(t, "unix-ms")) return TTimeFormat::UnixMilliseconds;
    RefuseOption("--time-format", "unknown format " + Quoted(text) + " (unix-s or unix-ms)");
}

int ParseUtcOffset(std::string_view text) {
    const std::string_view t = TrimText(text);
    int hours = -1, minutes = -1;
    if (t.size() == 6 && (t[0] == '+' || t[0] == '-') && t[3] == ':') {
        std::size_t i = 1;
        if (ReadDigits(t, i, 2, hours) != 2) hours = -1;
        i = 4;
        if (ReadDigits(t, i, 2, minutes) != 2) minutes = -1;
    }
    if (hours < 0 || minutes < 0 || minutes > 59)
        RefuseOption("--utc-offset", Quoted(text) + " is not +HH:MM or -HH:MM (as +08:00)");
    if (hours * 60 + minutes > 18 * 60)
        RefuseOption("--utc-offset", Quoted(text) + " is beyond 18 hours from UTC");
    const int offset = hours * 60 + minutes;
    return t[0] == '-' ? -offset : offset;
}

void CheckStampOptions(const TStampOptions& options, bool utcOffsetGiven) {
    const bool unix = options.timeFormat != TTimeFormat::Text;
    if (unix && options.dateOrder != TDateOrder::Locale)
        RefuseOption("--date-order", "Unix stamps (--time-format) have no dates to order");
    if (utcOffsetGiven && !unix)
        RefuseOption("--utc-offset",
                     "only Unix stamps are in UTC; give --time-format unix-s or unix-ms");
}

bool TFloodStampReader::ReadParts(std::string_view text, DateTimeValue& value) {
    DocumentedStamp parts;
    const bool split = SplitFullWidthStamp(text, parts) || SplitDocumentedStamp(text, parts) ||
                       SplitMonthNameStamp(text, parts) ||
                       (options_.dateOrder != TDateOrder::Locale &&
                        SplitOrderedStamp(text, options_.dateOrder, parts));
    if (!split) return false;
    if (parts.year != year_ || parts.month != month_ || parts.day != day_) {
        DateTimeValue date = 0.0;
        if (!TryEncodeDate(parts.year, parts.month, parts.day, date)) return false;
        year_ = parts.year;
        month_ = parts.month;
        day_ = parts.day;
        date_ = date;
    }
    if (!parts.hasTime) {
        value = date_;
        return true;
    }
    double time = 0.0;
    if (!TryEncodeTime(parts.hour, parts.minute, parts.second, 0, time)) return false;
    value = CombineDateTime(date_, time);
    return true;
}

bool TFloodStampReader::TryRead(std::string_view text, DateTimeValue& value) {
    if (options_.timeFormat != TTimeFormat::Text)
        return ReadUnixStamp(text, options_.timeFormat, options_.utcOffsetMinutes, value);
    if (ReadParts(text, value)) return true;
    return options_.dateOrder == TDateOrder::Locale && TryStampFromText(text, value);
}

DateTimeValue TFloodStampReader::Read(std::string_view text) {
    DateTimeValue value = 0.0;
    if (options_.timeFormat == TTimeFormat::Text) {
        if (ReadParts(text, value)) return value;
        if (options_.dateOrder == TDateOrder::Locale) return StampFromText(text);
    } else if (ReadUnixStamp(text, options_.timeFormat, options_.utcOffsetMinutes, value)) {
        return value;
    }
    std::string message = "'";
    message += text;
    message += "' is not a valid date and time";
    throw EConvertError(std::move(message));
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
