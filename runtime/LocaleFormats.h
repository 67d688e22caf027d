#pragma once
// The locale's text settings, read once at start-up and not changed afterwards
// (tests set the record directly).

#include <array>
#include <string>

struct LocaleFormats {
    char decimalMark = '.';
    char thousandsMark = ',';
    char dateMark = '/';
    std::string shortDatePattern = "m/d/yy";
    std::string longDatePattern = "mmmm d, yyyy";
    char timeMark = ':';
    std::string amText = "am";
    std::string pmText = "pm";
    std::string shortTimePattern = "h:mm";
    std::string longTimePattern = "h:mm:ss";
    std::array<std::string, 12> shortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> longMonthNames{"January", "February", "March",     "April",
                                               "May",     "June",     "July",      "August",
                                               "September", "October", "November", "December"};
    std::array<std::string, 7> shortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> longDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    int centuryWindow = 50;
    // Whether the locale's character set has characters of more than one byte.
    // Text here is UTF-8 unless the locale says otherwise, so the default is true;
    // only a single-byte locale such as plain "C" turns it off.
    bool multiByteCharset = true;
};

// The process-wide record. It is made before any other static object of the
// program (the earliest initialisation priority), so it is there whoever asks
// first, and the hot paths that turn numbers into text reach it without a
// guard or a call. (Constant initialisation would do as well, but clang
// cannot constant-initialise libstdc++'s std::string; this serves both
// compilers.)
extern LocaleFormats ProcessFormats;
inline LocaleFormats& Formats() { return ProcessFormats; }

// Fills Formats() from the user's POSIX locale (setlocale(LC_ALL, "")). The
// program's locale is put back as it was afterwards, so reading the record has
// no other effect.
void LoadLocaleFormats();

// The raw settings of a POSIX locale, as nl_langinfo and localeconv give them.
// Empty texts mean the locale gives nothing for that setting.
struct PosixLocaleData {
    std::string dateFormat;         // D_FMT
    std::string timeFormat;         // T_FMT
    std::string timeFormatAmPm;     // T_FMT_AMPM, what %r stands for
    std::string dateTimeFormat;     // D_T_FMT, source of the long date
    std::string amText;             // AM_STR
    std::string pmText;             // PM_STR
    std::string decimalPoint;       // localeconv()->decimal_point
    std::string thousandsSeparator; // localeconv()->thousands_sep
    std::array<std::string, 12> shortMonthNames;  // ABMON_1 ...
    std::array<std::string, 12> longMonthNames;   // MON_1 ...
    std::array<std::string, 7> shortDayNames;     // ABDAY_1 ... (Sunday first)
    std::array<std::string, 7> longDayNames;      // DAY_1 ...
    bool multiByteCharset = true;                 // MB_CUR_MAX > 1
};

// The current locale's settings (whatever setlocale last chose).
PosixLocaleData ReadPosixLocale();

// Turns a locale's settings into the record; every field the locale leaves
// empty or unusable keeps the record's default.
LocaleFormats TranslateLocale(const PosixLocaleData& data);
