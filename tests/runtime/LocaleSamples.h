#pragma once
// The settings glibc gives for some common locales, as the start-up reads them
// (nl_langinfo and localeconv): shared by the locale tests and the fuzz targets.

#include "LocaleFormats.h"

namespace locale_samples {

inline PosixLocaleData CUtf8() {
    PosixLocaleData d;
    d.dateFormat = "%m/%d/%y";
    d.timeFormat = "%H:%M:%S";
    d.timeFormatAmPm = "%I:%M:%S %p";
    d.dateTimeFormat = "%a %b %e %H:%M:%S %Y";
    d.amText = "AM";
    d.pmText = "PM";
    d.decimalPoint = ".";
    d.thousandsSeparator = "";
    return d;
}

inline PosixLocaleData EnUs() {
    PosixLocaleData d = CUtf8();
    d.dateFormat = "%m/%d/%Y";
    d.timeFormat = "%r";
    d.dateTimeFormat = "%a %d %b %Y %r %Z";
    d.thousandsSeparator = ",";
    return d;
}

inline PosixLocaleData DeDe() {
    PosixLocaleData d;
    d.dateFormat = "%d.%m.%Y";
    d.timeFormat = "%T";
    d.timeFormatAmPm = "";
    d.dateTimeFormat = "%a %d %b %Y %T %Z";
    d.decimalPoint = ",";
    d.thousandsSeparator = ".";
    d.shortMonthNames = {"Jan", "Feb", "Mär", "Apr", "Mai", "Jun",
                         "Jul", "Aug", "Sep", "Okt", "Nov", "Dez"};
    d.longMonthNames = {"Januar", "Februar", "März",      "April",   "Mai",      "Juni",
                        "Juli",   "August",  "September", "Oktober", "November", "Dezember"};
    d.shortDayNames = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};
    d.longDayNames = {"Sonntag",    "Montag",  "Dienstag", "Mittwoch",
                      "Donnerstag", "Freitag", "Samstag"};
    return d;
}

inline PosixLocaleData SvSe() {
    PosixLocaleData d;
    d.dateFormat = "%Y-%m-%d";
    d.timeFormat = "%H:%M:%S";
    d.dateTimeFormat = "%a %e %b %Y %H:%M:%S";
    d.decimalPoint = ",";
    d.thousandsSeparator = "\u202F";
    return d;
}

inline PosixLocaleData ZhCn() {
    PosixLocaleData d;
    d.dateFormat = "%Y年%m月%d日";
    d.timeFormat = "%H时%M分%S秒";
    d.timeFormatAmPm = "%p %I时%M分%S秒";
    d.dateTimeFormat = "%Y年%m月%d日 %A %H时%M分%S秒";
    d.amText = "上午";
    d.pmText = "下午";
    d.decimalPoint = ".";
    d.thousandsSeparator = ",";
    d.longDayNames = {"星期日", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"};
    return d;
}

}  // namespace locale_samples
