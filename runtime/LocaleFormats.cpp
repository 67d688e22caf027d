#include "LocaleFormats.h"

#include <clocale>
#include <cstdlib>
#include <langinfo.h>
#include <string_view>
#include <vector>

namespace {

// One piece of a strftime pattern: a conversion or a run of literal text.
struct Token {
    bool conversion = false;
    char letter = 0;     // the conversion letter
    char pad = 0;      // '-' unpadded, '0' zero-padded, 0 the conversion's own padding
    std::string text;  // literal text
};

void AddLiteral(std::vector<Token>& tokens, char c) {
    if (tokens.empty() || tokens.back().conversion) tokens.push_back(Token{});
    tokens.back().text += c;
}

// Breaks a strftime pattern into elementary conversions and literal text. The
// composite conversions are replaced by what they stand for; %r counts as a
// 12-hour clock even when the locale's T_FMT_AMPM turns out odd. Field widths
// and the ^ # flags do not change the pattern we build; E and O (era and
// alternative digits) are read as the plain conversions, since this program
// has no era calendars.
void Tokenize(std::string_view format, const PosixLocaleData& data, int depth,
              std::vector<Token>& tokens, bool& usesR) {
    std::size_t i = 0;
    while (i < format.size()) {
        if (format[i] != '%') {
            AddLiteral(tokens, format[i]);
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        char pad = 0;
        for (; j < format.size(); ++j) {
            const char c = format[j];
            if (c == '-' || c == '_') pad = '-';
            else if (c == '0') pad = '0';
            else if (c != '^' && c != '#') break;
        }
        while (j < format.size() && format[j] >= '0' && format[j] <= '9') ++j;
        while (j < format.size() && (format[j] == 'E' || format[j] == 'O')) ++j;
        if (j >= format.size()) break; // an unfinished conversion at the end
        const char letter = format[j];
        i = j + 1;
        std::string_view expansion;
        switch (letter) {
        case 'r':
            usesR = true;
            expansion = data.timeFormatAmPm.empty() ? std::string_view("%I:%M:%S %p")
                                                    : std::string_view(data.timeFormatAmPm);
            break;
        case 'T': expansion = "%H:%M:%S"; break;
        case 'R': expansion = "%H:%M"; break;
        case 'D': expansion = "%m/%d/%y"; break;
        case 'F': expansion = "%Y-%m-%d"; break;
        case 'x': expansion = data.dateFormat; break;
        case 'X': expansion = data.timeFormat; break;
        case 'c': expansion = data.dateTimeFormat; break;
        case '%': AddLiteral(tokens, '%'); continue;
        case 'n': AddLiteral(tokens, '\n'); continue;
        case 't': AddLiteral(tokens, '\t'); continue;
        default: {
            Token token;
            token.conversion = true;
            token.letter = letter;
            token.pad = pad;
            tokens.push_back(std::move(token));
            continue;
        }
        }
        // A locale whose patterns refer to each other in a circle gets no further.
        if (depth < 4) Tokenize(expansion, data, depth + 1, tokens, usesR);
    }
}

std::vector<Token> Tokenize(std::string_view format, const PosixLocaleData& data,
                            bool* usesR = nullptr) {
    std::vector<Token> tokens;
    bool r = false;
    Tokenize(format, data, 0, tokens, r);
    if (usesR) *usesR = r;
    return tokens;
}

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Literal text of a strftime pattern, written so that the stamp patterns
// reproduce it: letters would be read as specifiers and '/' ':' as the
// separators, so those are quoted.
void AppendLiteral(std::string& out, std::string_view text, char dateMark, char timeMark) {
    bool open = false;
    for (const char c : text) {
        const bool quote = IsAsciiLetter(c) || (c == '/' && dateMark != '/') ||
                           (c == ':' && timeMark != ':') || c == '\'';
        if (c == '"') {
            if (open) out += '"';
            open = false;
            out += "'\"'";
        } else if (quote) {
            if (!open) out += '"';
            open = true;
            out += c;
        } else {
            if (open) out += '"';
            open = false;
            out += c;
        }
    }
    if (open) out += '"';
}

void AppendConversion(std::string& out, const Token& token) {
    const bool unpadded = token.pad == '-';
    const bool zeroPadded = token.pad == '0';
    switch (token.letter) {
    case 'Y': case 'G': out += "yyyy"; break;
    case 'y': case 'g': out += "yy"; break;
    case 'm': out += unpadded ? "m" : "mm"; break;
    case 'd': out += unpadded ? "d" : "dd"; break;
    case 'e': out += zeroPadded ? "dd" : "d"; break;
    case 'b': case 'h': out += "mmm"; break;
    case 'B': out += "mmmm"; break;
    case 'a': out += "ddd"; break;
    case 'A': out += "dddd"; break;
    case 'H': case 'I': out += unpadded ? "h" : "hh"; break;
    case 'k': case 'l': out += zeroPadded ? "hh" : "h"; break;
    case 'M': out += unpadded ? "n" : "nn"; break;
    case 'S': out += unpadded ? "s" : "ss"; break;
    case 'p': case 'P': out += "AMPM"; break;
    default: break; // week numbers, time zones and the like have no counterpart
    }
}

std::string PatternFromTokens(const std::vector<Token>& tokens, char dateMark, char timeMark) {
    std::string out;
    for (const Token& token : tokens) {
        if (token.conversion) AppendConversion(out, token);
        else AppendLiteral(out, token.text, dateMark, timeMark);
    }
    return out;
}

bool IsDateField(char letter) {
    switch (letter) {
    case 'd': case 'e': case 'm': case 'y': case 'Y': case 'C': case 'G': case 'g':
    case 'b': case 'B': case 'h':
        return true;
    default:
        return false;
    }
}

bool IsTimeField(char letter) {
    switch (letter) {
    case 'H': case 'I': case 'k': case 'l': case 'M': case 'S': case 'p': case 'P':
    case 'Z': case 'z': case 's':
        return true;
    default:
        return false;
    }
}

// The separator is the first character of the literal text that follows the
// first field; text that does not begin with a single-byte character (the
// 年 of "%Y年%m月%d日") gives none.
bool SeparatorAfter(const std::vector<Token>& tokens, bool (*isField)(char), char& mark) {
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (!tokens[i].conversion || !isField(tokens[i].letter)) continue;
        if (i + 1 >= tokens.size() || tokens[i + 1].conversion) return false;
        const unsigned char first = static_cast<unsigned char>(tokens[i + 1].text[0]);
        if (first >= 0x80) return false;
        mark = static_cast<char>(first);
        return true;
    }
    return false;
}

bool IsHour(char letter) { return letter == 'H' || letter == 'I' || letter == 'k' || letter == 'l'; }

char MarkFrom(const std::string& text, char fallback) {
    if (text.empty() || static_cast<unsigned char>(text[0]) >= 0x80) return fallback;
    return text[0];
}

void TrimBlanks(std::string& text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) {
        text.clear();
        return;
    }
    text.erase(text.find_last_not_of(' ') + 1);
    text.erase(0, first);
}

template <std::size_t N>
void TakeNames(std::array<std::string, N>& target, const std::array<std::string, N>& names) {
    for (std::size_t i = 0; i < N; ++i)
        if (!names[i].empty()) target[i] = names[i];
}

} // namespace

LocaleFormats TranslateLocale(const PosixLocaleData& data) {
    LocaleFormats f;

    const char decimal = MarkFrom(data.decimalPoint, f.decimalMark);
    // The data files separate their fields with commas: a decimal comma would
    // leave them unable to carry decimals and make the result file unreadable.
    f.decimalMark = decimal == ',' ? '.' : decimal;
    f.thousandsMark = MarkFrom(data.thousandsSeparator, f.thousandsMark);
    // Where the decimal comma gave way to the point, a thousands point would make
    // 1.234.5 of an axis label: the two marks trade places, as they would in a
    // locale that writes decimals with a point.
    if (decimal == ',' && f.thousandsMark == '.') f.thousandsMark = ',';

    // The time first: the date pattern quotes a ':' that is not the time mark.
    bool usesR = false;
    const std::vector<Token> time = Tokenize(data.timeFormat, data, &usesR);
    bool twelveHour = usesR;
    bool leadingZero = false;
    bool markerFirst = false;
    bool markerSeen = false;
    bool hourSeen = false;
    for (std::size_t i = 0; i < time.size(); ++i) {
        const Token& token = time[i];
        if (!token.conversion) continue;
        if (token.letter == 'I' || token.letter == 'l') twelveHour = true;
        if (hourSeen) continue;
        if (token.letter == 'p' || token.letter == 'P') markerSeen = true;
        if (!IsHour(token.letter)) continue;
        hourSeen = true;
        markerFirst = markerSeen;
        leadingZero = (token.letter == 'H' || token.letter == 'I') ? token.pad != '-' : token.pad == '0';
        if (i + 1 < time.size() && !time[i + 1].conversion)
            f.timeMark = MarkFrom(time[i + 1].text, f.timeMark);
    }
    const std::string hour = leadingZero ? "hh" : "h";
    std::string prefix;
    std::string suffix;
    if (twelveHour && markerFirst) prefix = "AMPM ";
    else if (twelveHour) suffix = " AMPM";
    f.shortTimePattern = prefix + hour + ":mm" + suffix;
    f.longTimePattern = prefix + hour + ":mm:ss" + suffix;

    const std::vector<Token> date = Tokenize(data.dateFormat, data);
    SeparatorAfter(date, IsDateField, f.dateMark);
    std::string shortDate = PatternFromTokens(date, f.dateMark, f.timeMark);
    if (!shortDate.empty()) f.shortDatePattern = std::move(shortDate);

    // POSIX has no long date of its own: it is the date part of the locale's
    // date and time, each time field dropped with the separator behind it.
    std::vector<Token> dateTime = Tokenize(data.dateTimeFormat, data);
    std::vector<Token> longDate;
    for (std::size_t i = 0; i < dateTime.size(); ++i) {
        if (dateTime[i].conversion && IsTimeField(dateTime[i].letter)) {
            if (i + 1 < dateTime.size() && !dateTime[i + 1].conversion) ++i;
            continue;
        }
        longDate.push_back(std::move(dateTime[i]));
    }
    std::string longDatePattern = PatternFromTokens(longDate, f.dateMark, f.timeMark);
    TrimBlanks(longDatePattern);
    bool hasField = false;
    for (const Token& token : longDate) hasField = hasField || token.conversion;
    if (hasField && !longDatePattern.empty()) f.longDatePattern = std::move(longDatePattern);

    if (!data.amText.empty()) f.amText = data.amText;
    if (!data.pmText.empty()) f.pmText = data.pmText;
    TakeNames(f.shortMonthNames, data.shortMonthNames);
    TakeNames(f.longMonthNames, data.longMonthNames);
    TakeNames(f.shortDayNames, data.shortDayNames);
    TakeNames(f.longDayNames, data.longDayNames);
    f.multiByteCharset = data.multiByteCharset;
    return f;
}

PosixLocaleData ReadPosixLocale() {
    auto info = [](nl_item item) {
        const char* text = nl_langinfo(item);
        return std::string(text ? text : "");
    };
    PosixLocaleData data;
    data.dateFormat = info(D_FMT);
    data.timeFormat = info(T_FMT);
    data.timeFormatAmPm = info(T_FMT_AMPM);
    data.dateTimeFormat = info(D_T_FMT);
    data.amText = info(AM_STR);
    data.pmText = info(PM_STR);
    static constexpr nl_item shortMonths[12] = {ABMON_1, ABMON_2, ABMON_3, ABMON_4,
                                                ABMON_5, ABMON_6, ABMON_7, ABMON_8,
                                                ABMON_9, ABMON_10, ABMON_11, ABMON_12};
    static constexpr nl_item longMonths[12] = {MON_1, MON_2, MON_3, MON_4, MON_5,  MON_6,
                                               MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    static constexpr nl_item shortDays[7] = {ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4,
                                             ABDAY_5, ABDAY_6, ABDAY_7};
    static constexpr nl_item longDays[7] = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    for (int i = 0; i < 12; ++i) {
        data.shortMonthNames[i] = info(shortMonths[i]);
        data.longMonthNames[i] = info(longMonths[i]);
    }
    for (int i = 0; i < 7; ++i) {
        data.shortDayNames[i] = info(shortDays[i]);
        data.longDayNames[i] = info(longDays[i]);
    }
    if (const lconv* numeric = std::localeconv()) {
        data.decimalPoint = numeric->decimal_point ? numeric->decimal_point : "";
        data.thousandsSeparator = numeric->thousands_sep ? numeric->thousands_sep : "";
    }
    data.multiByteCharset = MB_CUR_MAX > 1;
    return data;
}

[[gnu::init_priority(101)]] LocaleFormats ProcessFormats;

void LoadLocaleFormats() {
    const char* current = std::setlocale(LC_ALL, nullptr);
    const std::string previous = current ? current : "C";
    // When the user's settings name a locale that is not installed, the
    // program's locale stays as it is and that is what gets read.
    std::setlocale(LC_ALL, "");
    const PosixLocaleData data = ReadPosixLocale();
    std::setlocale(LC_ALL, previous.c_str());
    Formats() = TranslateLocale(data);
}
