#include "DateTime.h"

#include "Arithmetic.h"
#include "Exceptions.h"
#include "FloatRules.h"
#include "LocaleFormats.h"

#include <cmath>
#include <cstdint>
#include <ctime>
#include <locale.h>
#include <wctype.h>

namespace {

constexpr std::int64_t kMsPerDay = 86400000;
constexpr std::int64_t kDayOf1970 = 25569; // 1970-01-01 counted from 1899-12-30

// Days from 1899-12-30 to a date of the Gregorian calendar, continued before
// its introduction and beyond year 9999.
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t monthFromMarch = (month + 9) % 12;
    const std::int64_t dayOfYear = (153 * monthFromMarch + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468 + kDayOf1970;
}

void CivilFromDays(std::int64_t days, long long& year, int& month, int& day) {
    const std::int64_t z = days - kDayOf1970 + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t dayOfEra = z - era * 146097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    year = yearOfEra + era * 400 + (month <= 2);
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static constexpr int lengths[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : lengths[month - 1];
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// ---------------------------------------------------------------- markers

// The case of non-ASCII letters is folded with the Unicode tables of C.UTF-8,
// so that a marker such as "ΜΜ" matches "μμ"; the user's own locale may use
// another character set, but text reaching this program is UTF-8.
locale_t UnicodeCtype() {
    static const locale_t ctype = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    return ctype;
}

// Length of the UTF-8 character at text[i] and its code point; 0 for bytes
// that do not form one.
std::size_t DecodeUtf8(std::string_view text, std::size_t i, char32_t& code) {
    const unsigned char lead = static_cast<unsigned char>(text[i]);
    std::size_t length;
    if (lead < 0x80) {
        code = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - i < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const unsigned char next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) return 0;
        code = (code << 6) | (next & 0x3F);
    }
    if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
        (code >= 0xD800 && code <= 0xDFFF))
        return 0;
    return length;
}

char32_t FoldCase(char32_t code) {
    const locale_t ctype = UnicodeCtype();
    return ctype ? static_cast<char32_t>(towlower_l(static_cast<wint_t>(code), ctype)) : code;
}

// Bytes of text, from its start, that match marker ignoring case; 0 when they
// do not. An empty marker never matches.
std::size_t MatchMarker(std::string_view text, std::string_view marker) {
    if (marker.empty()) return 0;
    std::size_t i = 0;
    std::size_t j = 0;
    while (j < marker.size()) {
        if (i >= text.size()) return 0;
        const unsigned char a = static_cast<unsigned char>(text[i]);
        const unsigned char b = static_cast<unsigned char>(marker[j]);
        if (a < 0x80 && b < 0x80) {
            if (AsciiLower(static_cast<char>(a)) != AsciiLower(static_cast<char>(b))) return 0;
            ++i;
            ++j;
            continue;
        }
        char32_t codeA;
        char32_t codeB;
        const std::size_t lengthA = DecodeUtf8(text, i, codeA);
        const std::size_t lengthB = DecodeUtf8(marker, j, codeB);
        if (lengthA == 0 || lengthB == 0) {
            if (a != b) return 0; // not UTF-8: bytes must be equal
            ++i;
            ++j;
            continue;
        }
        if (codeA != codeB && FoldCase(codeA) != FoldCase(codeB)) return 0;
        i += lengthA;
        j += lengthB;
    }
    return i;
}

// ---------------------------------------------------------------- reading

struct Scanner {
    std::string_view text;
    std::size_t pos = 0;

    bool AtEnd() const { return pos >= text.size(); }

    // Only the blank: a tab is text.
    void SkipBlanks() {
        while (pos < text.size() && text[pos] == ' ') ++pos;
    }

    // Digits while the value is below 1000; digits counts what was read.
    bool Number(int& value, int& digits) {
        SkipBlanks();
        int v = 0;
        int n = 0;
        while (pos < text.size() && IsDigit(text[pos]) && v < 1000) {
            v = v * 10 + (text[pos] - '0');
            ++pos;
            ++n;
        }
        if (n == 0) return false;
        value = v;
        digits = n;
        return true;
    }

    // The blanks stay skipped when the character is not there.
    bool Char(char c) {
        SkipBlanks();
        if (pos < text.size() && text[pos] == c) {
            ++pos;
            return true;
        }
        return false;
    }

    bool Marker(std::string_view marker) {
        SkipBlanks();
        const std::size_t length = MatchMarker(text.substr(pos), marker);
        pos += length;
        return length != 0;
    }
};

enum class DateOrder { MonthDayYear, DayMonthYear, YearMonthDay };

DateOrder OrderOf(std::string_view pattern) {
    for (const char c : pattern) {
        switch (AsciiLower(c)) {
        case 'd': return DateOrder::DayMonthYear;
        case 'e':
        case 'y': return DateOrder::YearMonthDay;
        case 'm': return DateOrder::MonthDayYear;
        default: break;
        }
    }
    return DateOrder::MonthDayYear;
}

bool HasDayName(std::string_view pattern) {
    int run = 0;
    for (const char c : pattern) {
        run = AsciiLower(c) == 'd' ? run + 1 : 0;
        if (run == 3) return true;
    }
    return false;
}

bool ReadDate(Scanner& in, const LocaleFormats& f, DateTimeValue& out) {
    int n1, n2, n3;
    int digits1, digits2, digits3;
    if (!in.Number(n1, digits1) || !in.Char(f.dateMark) || !in.Number(n2, digits2)) return false;
    const DateOrder order = OrderOf(f.shortDatePattern);
    int year = 0, month = 0, day = 0;
    if (in.Char(f.dateMark)) {
        if (!in.Number(n3, digits3)) return false;
        int yearDigits = digits3;
        switch (order) {
        case DateOrder::MonthDayYear: month = n1; day = n2; year = n3; break;
        case DateOrder::DayMonthYear: day = n1; month = n2; year = n3; break;
        case DateOrder::YearMonthDay:
            year = n1; month = n2; day = n3; yearDigits = digits1;
            break;
        }
        if (yearDigits <= 2) year = WindowedYear(year, CurrentYear(), f.centuryWindow);
    } else {
        year = CurrentYear();
        if (order == DateOrder::DayMonthYear) {
            day = n1;
            month = n2;
        } else {
            month = n1;
            day = n2;
        }
    }
    in.Char(f.dateMark);
    in.SkipBlanks();
    // Where dates may carry a day name (a multi-byte locale whose date shows
    // one), what follows the date up to the time is that name and is passed over.
    if (f.multiByteCharset && HasDayName(f.shortDatePattern)) {
        if (!f.shortTimePattern.empty() && IsDigit(f.shortTimePattern[0])) {
            while (!in.AtEnd() && !IsDigit(in.text[in.pos])) ++in.pos;
        } else {
            while (!in.AtEnd()) {
                const std::string_view rest = in.text.substr(in.pos);
                if (MatchMarker(rest, f.amText) || MatchMarker(rest, f.pmText)) break;
                while (!in.AtEnd() && in.text[in.pos] != ' ') ++in.pos;
                in.SkipBlanks();
            }
        }
    }
    return TryEncodeDate(year, month, day, out);
}

bool ReadTime(Scanner& in, const LocaleFormats& f, double& out) {
    int base = -1;
    if (in.Marker(f.amText) || in.Marker("AM")) base = 0;
    else if (in.Marker(f.pmText) || in.Marker("PM")) base = 12;
    if (base >= 0) in.SkipBlanks();
    int hour, digits;
    if (!in.Number(hour, digits)) return false;
    int minute = 0, second = 0, millisecond = 0;
    if (in.Char(f.timeMark)) {
        if (!in.Number(minute, digits)) return false;
        if (in.Char(f.timeMark)) {
            if (!in.Number(second, digits)) return false;
            if (in.Char(f.decimalMark) && !in.Number(millisecond, digits)) return false;
        }
    }
    if (base < 0) {
        if (in.Marker(f.amText) || in.Marker("AM")) base = 0;
        else if (in.Marker(f.pmText) || in.Marker("PM")) base = 12;
    }
    if (base >= 0) {
        if (hour < 1 || hour > 12) return false;
        hour = (hour == 12 ? 0 : hour) + base;
    }
    in.SkipBlanks();
    return TryEncodeTime(hour, minute, second, millisecond, out);
}

// ---------------------------------------------------------------- writing

void AppendNumber(std::string& out, long long value, int minDigits) {
    char digits[24];
    unsigned long long magnitude =
        value < 0 ? 0ULL - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value);
    char* end = digits + sizeof digits;
    char* p = end;
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    while (end - p < minDigits) *--p = '0';
    if (value < 0) *--p = '-';
    out.append(p, static_cast<std::size_t>(end - p));
}

bool StartsWithNoCase(std::string_view text, std::size_t at, std::string_view word) {
    if (text.size() - at < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k)
        if (AsciiLower(text[at + k]) != word[k]) return false;
    return true;
}

bool IsMarkerAt(std::string_view pattern, std::size_t at) {
    return StartsWithNoCase(pattern, at, "am/pm") || StartsWithNoCase(pattern, at, "a/p") ||
           StartsWithNoCase(pattern, at, "ampm");
}

// Whether a marker follows in the pattern outside quotes: an hour before one
// is written on the 12-hour clock.
bool MarkerAhead(std::string_view pattern, std::size_t from) {
    for (std::size_t j = from; j < pattern.size(); ++j) {
        const char c = pattern[j];
        if (c == '"' || c == '\'') {
            const std::size_t close = pattern.find(c, j + 1);
            if (close == std::string_view::npos) return false;
            j = close;
        } else if (AsciiLower(c) == 'a' && IsMarkerAt(pattern, j)) {
            return true;
        }
    }
    return false;
}

struct Writer {
    std::string& out;
    const StampParts& t;
    const LocaleFormats& f;
    bool markerWritten = false;

    void Reference(std::string_view pattern, int level) {
        // The locale's patterns are expanded once; a reference inside one of
        // them gives nothing, so patterns naming each other cannot recurse.
        if (level == 1) Expand(pattern, 2);
    }

    void Expand(std::string_view p, int level);
};

void Writer::Expand(std::string_view p, int level) {
    const bool afternoon = t.hour >= 12;
    char previous = 0; // the letter of the last specifier, for "m" after "h"
    std::size_t i = 0;
    while (i < p.size()) {
        const char c = p[i];
        const char lower = AsciiLower(c);
        if (c == '"' || c == '\'') {
            std::size_t close = p.find(c, i + 1);
            if (close == std::string_view::npos) close = p.size();
            out.append(p.substr(i + 1, close - i - 1));
            i = close + 1;
            continue;
        }
        if (c == '/') {
            out += f.dateMark;
            ++i;
            continue;
        }
        if (c == ':') {
            out += f.timeMark;
            ++i;
            continue;
        }
        if (lower == 'a' && IsMarkerAt(p, i)) {
            if (StartsWithNoCase(p, i, "am/pm")) {
                out.append(p.substr(afternoon ? i + 3 : i, 2));
                i += 5;
            } else if (StartsWithNoCase(p, i, "a/p")) {
                out += p[afternoon ? i + 2 : i];
                i += 3;
            } else {
                out += afternoon ? f.pmText : f.amText;
                i += 4;
            }
            markerWritten = true;
            previous = 'a';
            continue;
        }
        switch (lower) {
        case 'a': case 'c': case 'd': case 'e': case 'g': case 'h':
        case 'm': case 'n': case 's': case 't': case 'y': case 'z':
            break;
        default:
            // Bytes of multi-byte characters all lie above 0x7F, so copying
            // byte by byte keeps each character whole.
            out += c;
            ++i;
            continue;
        }
        std::size_t n = 1;
        while (i + n < p.size() && AsciiLower(p[i + n]) == lower) ++n;
        switch (lower) {
        case 'c':
            if (level == 1) {
                Expand(f.shortDatePattern, 2);
                if (t.hour != 0 || t.minute != 0 || t.second != 0) {
                    out += ' ';
                    Expand(f.longTimePattern, 2);
                }
            }
            break;
        case 'd':
            if (n <= 2) AppendNumber(out, t.day, static_cast<int>(n));
            else if (n == 3) out += f.shortDayNames[t.dayOfWeek];
            else if (n == 4) out += f.longDayNames[t.dayOfWeek];
            else Reference(n == 5 ? f.shortDatePattern : f.longDatePattern, level);
            break;
        case 'm':
            if (n <= 2 && previous == 'h') AppendNumber(out, t.minute, static_cast<int>(n));
            else if (n <= 2) AppendNumber(out, t.month, static_cast<int>(n));
            else if (n == 3) out += f.shortMonthNames[t.month - 1];
            else out += f.longMonthNames[t.month - 1];
            break;
        case 'y':
            if (n <= 2) AppendNumber(out, (t.year % 100 + 100) % 100, 2);
            else AppendNumber(out, t.year, 4);
            break;
        case 'e':
        case 'g':
            break; // era year and name: there are no era calendars here
        case 'h': {
            int hour = t.hour;
            if (markerWritten || MarkerAhead(p, i + n)) {
                hour %= 12;
                if (hour == 0) hour = 12;
            }
            AppendNumber(out, hour, n >= 2 ? 2 : 1);
            break;
        }
        case 'n': AppendNumber(out, t.minute, n >= 2 ? 2 : 1); break;
        case 's': AppendNumber(out, t.second, n >= 2 ? 2 : 1); break;
        case 'z': AppendNumber(out, t.millisecond, n >= 3 ? 3 : static_cast<int>(n)); break;
        case 't': Reference(n == 1 ? f.shortTimePattern : f.longTimePattern, level); break;
        case 'a':
            if (n == 3) out += f.shortDayNames[t.dayOfWeek];
            else if (n >= 4) out += f.longDayNames[t.dayOfWeek];
            else {
                out.append(p.substr(i, n)); // no specifier: the letters as written
                i += n;
                continue;
            }
            break;
        default: break;
        }
        i += n;
        previous = lower;
    }
}

} // namespace

// ---------------------------------------------------------------- public

bool TryEncodeDate(int year, int month, int day, DateTimeValue& out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 ||
        day > DaysInMonth(year, month))
        return false;
    out = static_cast<double>(DaysFromCivil(year, month, day));
    return true;
}

bool TryEncodeTime(int hour, int minute, int second, int millisecond, double& out) {
    if (hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 ||
        millisecond < 0 || millisecond > 999)
        return false;
    const long ms = hour * 3600000L + minute * 60000L + second * 1000L + millisecond;
    out = static_cast<double>(static_cast<long double>(ms) / static_cast<long double>(kMsPerDay));
    return true;
}

DateTimeValue CombineDateTime(DateTimeValue date, double time) {
    const long double sum = date >= 0 ? static_cast<long double>(date) + time
                                      : static_cast<long double>(date) - time;
    return static_cast<double>(sum);
}

DateTimeValue StampAtElapsedDays(long double days) {
    if (!(days < 0)) return static_cast<double>(days);
    const long double day = std::floor(days);
    return static_cast<double>(2 * day - days);
}

int WindowedYear(int year, int currentYear, int centuryWindow) {
    const int base = currentYear - centuryWindow;
    year += base / 100 * 100;
    if (centuryWindow > 0 && year < base) year += 100;
    return year;
}

int CurrentYear() {
    // Asked for by every date without a four-digit year: the calendar is
    // consulted once a minute, which is often enough for a New Year anywhere.
    thread_local std::time_t cachedMinute = -1;
    thread_local int cachedYear = 0;
    const std::time_t now = std::time(nullptr);
    if (now / 60 != cachedMinute) {
        std::tm local{};
        localtime_r(&now, &local);
        cachedYear = local.tm_year + 1900;
        cachedMinute = now / 60;
    }
    return cachedYear;
}

bool TryStampFromText(std::string_view text, DateTimeValue& out) {
    const LocaleFormats& f = Formats();
    Scanner in{text};
    DateTimeValue date;
    if (ReadDate(in, f, date)) {
        if (in.AtEnd()) {
            out = date;
            return true;
        }
        double time;
        // What follows the time is not looked at.
        if (ReadTime(in, f, time)) {
            out = CombineDateTime(date, time);
            return true;
        }
    }
    in.pos = 0;
    double time;
    if (ReadTime(in, f, time) && in.AtEnd()) {
        out = CombineDateTime(0, time);
        return true;
    }
    return false;
}

DateTimeValue StampFromText(std::string_view text) {
    DateTimeValue value;
    if (!TryStampFromText(text, value)) {
        std::string message;
        message.reserve(text.size() + 32);
        message += '\'';
        message += text;
        message += "' is not a valid date and time";
        throw EConvertError(std::move(message));
    }
    return value;
}

StampParts SplitStamp(DateTimeValue value) {
    StampParts t;
    if (std::isnan(value)) value = 0;
    // Rounded on the magnitude so that a negative value keeps its time of day
    // counted forward from the start of its day.
    const long double exact = std::fabs(static_cast<long double>(value)) * 86400000.0L;
    // Far beyond any calendar anyone reads; keeps the day count in range.
    constexpr long double limit = 9.0e18L;
    std::int64_t total = static_cast<std::int64_t>(limit);
    if (exact < limit) total = RoundHalfEven(exact);
    std::int64_t days = total / kMsPerDay;
    int timeOfDay = static_cast<int>(total % kMsPerDay);
    if (value < 0) days = -days;
    CivilFromDays(days, t.year, t.month, t.day);
    t.hour = timeOfDay / 3600000;
    timeOfDay %= 3600000;
    t.minute = timeOfDay / 60000;
    timeOfDay %= 60000;
    t.second = timeOfDay / 1000;
    t.millisecond = timeOfDay % 1000;
    int weekday = static_cast<int>(days % 7);
    if (weekday < 0) weekday += 7;
    t.dayOfWeek = (weekday + 6) % 7; // day 0 was a Saturday
    return t;
}

void AppendStampPattern(std::string& out, std::string_view pattern, DateTimeValue value) {
    const StampParts parts = SplitStamp(value);
    Writer writer{out, parts, Formats()};
    writer.Expand(pattern, 1);
}

std::string StampPattern(std::string_view pattern, DateTimeValue value) {
    std::string out;
    AppendStampPattern(out, pattern, value);
    return out;
}

void AppendStampText(std::string& out, DateTimeValue value) {
    AppendStampPattern(out, "c", value);
}

std::string StampToText(DateTimeValue value) {
    std::string out;
    AppendStampText(out, value);
    return out;
}
