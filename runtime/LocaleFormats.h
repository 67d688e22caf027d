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
};

// The process-wide record.
LocaleFormats& Formats();

// Fills Formats() from the user's POSIX locale (setlocale(LC_ALL, "")).
void LoadLocaleFormats();
