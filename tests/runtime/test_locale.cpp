#include "DateTime.h"
#include "LocaleFormats.h"
#include "LocaleSamples.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>

namespace {

using namespace locale_samples;

class Locale : public ::testing::Test {
protected:
    void SetUp() override { saved_ = Formats(); }
    void TearDown() override { Formats() = saved_; }

private:
    LocaleFormats saved_;
};

constexpr double kJuly29 = 39292; // 2007-07-29

} // namespace

TEST(TranslateLocale, CUtf8) {
    const LocaleFormats f = TranslateLocale(CUtf8());
    EXPECT_EQ(f.dateMark, '/');
    EXPECT_EQ(f.shortDatePattern, "mm/dd/yy");
    EXPECT_EQ(f.longDatePattern, "ddd mmm d yyyy");
    EXPECT_EQ(f.timeMark, ':');
    EXPECT_EQ(f.shortTimePattern, "hh:mm");
    EXPECT_EQ(f.longTimePattern, "hh:mm:ss");
    EXPECT_EQ(f.amText, "AM");
    EXPECT_EQ(f.pmText, "PM");
    EXPECT_EQ(f.decimalMark, '.');
    EXPECT_EQ(f.thousandsMark, ','); // the locale has none
}

TEST(TranslateLocale, EnUsTwelveHourClock) {
    const LocaleFormats f = TranslateLocale(EnUs());
    EXPECT_EQ(f.shortDatePattern, "mm/dd/yyyy");
    EXPECT_EQ(f.longDatePattern, "ddd dd mmm yyyy");
    EXPECT_EQ(f.shortTimePattern, "hh:mm AMPM");
    EXPECT_EQ(f.longTimePattern, "hh:mm:ss AMPM");
    EXPECT_EQ(f.timeMark, ':');
}

TEST(TranslateLocale, DeDeDecimalCommaBecomesPoint) {
    const LocaleFormats f = TranslateLocale(DeDe());
    EXPECT_EQ(f.dateMark, '.');
    EXPECT_EQ(f.shortDatePattern, "dd.mm.yyyy");
    EXPECT_EQ(f.longTimePattern, "hh:mm:ss");
    EXPECT_EQ(f.shortTimePattern, "hh:mm");
    EXPECT_EQ(f.decimalMark, '.');
    EXPECT_EQ(f.thousandsMark, ','); // never the same mark as the decimals
    // The locale has no markers: the fallbacks stay.
    EXPECT_EQ(f.amText, "am");
    EXPECT_EQ(f.pmText, "pm");
    EXPECT_EQ(f.longMonthNames[2], "März");
    EXPECT_EQ(f.shortDayNames[0], "So");
}

TEST(TranslateLocale, SvSeIsoDates) {
    const LocaleFormats f = TranslateLocale(SvSe());
    EXPECT_EQ(f.dateMark, '-');
    EXPECT_EQ(f.shortDatePattern, "yyyy-mm-dd");
    EXPECT_EQ(f.longDatePattern, "ddd d mmm yyyy");
    EXPECT_EQ(f.decimalMark, '.');
    EXPECT_EQ(f.thousandsMark, ','); // a narrow no-break space is not one byte
    EXPECT_EQ(f.longTimePattern, "hh:mm:ss");
}

TEST(TranslateLocale, ZhCnMultiByteSeparatorsFallBack) {
    const LocaleFormats f = TranslateLocale(ZhCn());
    EXPECT_EQ(f.dateMark, '/');
    EXPECT_EQ(f.timeMark, ':');
    EXPECT_EQ(f.shortDatePattern, "yyyy年mm月dd日");
    EXPECT_EQ(f.longDatePattern, "yyyy年mm月dd日 dddd");
    EXPECT_EQ(f.longTimePattern, "hh:mm:ss");
    EXPECT_EQ(f.amText, "上午");
    EXPECT_EQ(f.pmText, "下午");
    EXPECT_EQ(f.longDayNames[0], "星期日");
    EXPECT_EQ(f.longDayNames.size(), 7u);
    EXPECT_EQ(f.longMonthNames[0], "January"); // not given: fallback
}

TEST(TranslateLocale, MarkerBeforeTheHour) {
    PosixLocaleData d = ZhCn();
    d.timeFormat = "%r";
    LocaleFormats f = TranslateLocale(d);
    EXPECT_EQ(f.shortTimePattern, "AMPM hh:mm");
    EXPECT_EQ(f.longTimePattern, "AMPM hh:mm:ss");
    d.timeFormat = "%p%I:%M";
    f = TranslateLocale(d);
    EXPECT_EQ(f.longTimePattern, "AMPM hh:mm:ss");
    EXPECT_EQ(f.timeMark, ':');
}

TEST(TranslateLocale, HourFormsAndTimeSeparators) {
    struct Case {
        const char* timeFormat;
        const char* longTime;
        char mark;
    };
    const Case cases[] = {
        {"%l:%M:%S %p", "h:mm:ss AMPM", ':'}, {"%-I:%M %p", "h:mm:ss AMPM", ':'},
        {"%I.%M.%S", "hh:mm:ss AMPM", '.'},   {"%-H:%M", "h:mm:ss", ':'},
        {"%_H:%M", "h:mm:ss", ':'},           {"%k.%M", "h:mm:ss", '.'},
        {"%0k-%M", "hh:mm:ss", '-'},          {"%H%M%S", "hh:mm:ss", ':'},
        {"%OH:%EM", "hh:mm:ss", ':'},         {"%R", "hh:mm:ss", ':'},
        {"", "h:mm:ss", ':'},                 {"%M min", "h:mm:ss", ':'},
    };
    for (const Case& c : cases) {
        PosixLocaleData d = CUtf8();
        d.timeFormat = c.timeFormat;
        const LocaleFormats f = TranslateLocale(d);
        EXPECT_EQ(f.longTimePattern, c.longTime) << c.timeFormat;
        EXPECT_EQ(f.timeMark, c.mark) << c.timeFormat;
    }
}

TEST(TranslateLocale, DatePatternsAndSeparators) {
    struct Case {
        const char* dateFormat;
        const char* pattern;
        char mark;
    };
    const Case cases[] = {
        {"%D", "mm/dd/yy", '/'},
        {"%F", "yyyy-mm-dd", '-'},
        {"%e.%m.%Y", "d.mm.yyyy", '.'},
        {"%-d/%-m/%Y", "d/m/yyyy", '/'},
        {"%d.%m.%Y.", "dd.mm.yyyy.", '.'},
        {"%Y. %m. %d.", "yyyy. mm. dd.", '.'},
        {"%Y%m%d", "yyyymmdd", '/'},
        {"%d %b %Y", "dd mmm yyyy", ' '},
        {"%d de %B de %Y", "dd \"de\" mmmm \"de\" yyyy", ' '},
        {"%d.%m.%Y/%j", "dd.mm.yyyy\"/\"", '.'},
        {"%x", "m/d/yy", '/'}, // refers only to itself: nothing usable
        {"", "m/d/yy", '/'},
    };
    for (const Case& c : cases) {
        PosixLocaleData d = CUtf8();
        d.dateFormat = c.dateFormat;
        const LocaleFormats f = TranslateLocale(d);
        EXPECT_EQ(f.shortDatePattern, c.pattern) << c.dateFormat;
        EXPECT_EQ(f.dateMark, c.mark) << c.dateFormat;
    }
}

TEST(TranslateLocale, NothingUsableKeepsEveryFallback) {
    PosixLocaleData d;
    d.decimalPoint = "\xC2\xB7"; // a middle dot: not one byte
    d.shortMonthNames[4] = "mai";
    const LocaleFormats f = TranslateLocale(d);
    const LocaleFormats fallback;
    EXPECT_EQ(f.decimalMark, fallback.decimalMark);
    EXPECT_EQ(f.thousandsMark, fallback.thousandsMark);
    EXPECT_EQ(f.dateMark, fallback.dateMark);
    EXPECT_EQ(f.timeMark, fallback.timeMark);
    EXPECT_EQ(f.shortDatePattern + "|" + f.longDatePattern, "m/d/yy|mmmm d, yyyy");
    EXPECT_EQ(f.shortTimePattern + "|" + f.longTimePattern, "h:mm|h:mm:ss");
    EXPECT_EQ(f.amText + "|" + f.pmText, "am|pm");
    EXPECT_EQ(f.shortMonthNames[4], "mai");
    EXPECT_EQ(f.shortMonthNames[3], fallback.shortMonthNames[3]);
    EXPECT_EQ(f.longDayNames, fallback.longDayNames);
    EXPECT_EQ(f.centuryWindow, 50);
}

TEST(TranslateLocale, PatternsThatReferToThemselvesStop) {
    PosixLocaleData d = CUtf8();
    d.timeFormat = "%r";
    d.timeFormatAmPm = "%r %X";
    const LocaleFormats f = TranslateLocale(d);
    EXPECT_EQ(f.longTimePattern, "h:mm:ss AMPM"); // %r: a 12-hour clock, no hour found
}

// The translated records drive reading and writing.
TEST_F(Locale, TranslatedRecordsReadAndWriteStamps) {
    Formats() = TranslateLocale(DeDe());
    EXPECT_EQ(StampToText(kJuly29 + 0.25), "29.07.2007 06:00:00");
    EXPECT_EQ(StampFromText("29.07.2007 06:00:00"), kJuly29 + 0.25);
    EXPECT_EQ(StampPattern("dddd, d. mmmm", kJuly29), "Sonntag, 29. Juli");
    // The decimal mark is the point, so milliseconds read.
    EXPECT_EQ(StampPattern("zzz", StampFromText("29.07.2007 06:00:00.250")), "250");

    Formats() = TranslateLocale(EnUs());
    EXPECT_EQ(StampToText(kJuly29 + 0.75), "07/29/2007 06:00:00 PM");
    EXPECT_EQ(StampFromText("07/29/2007 06:00:00 PM"), kJuly29 + 0.75);

    Formats() = TranslateLocale(SvSe());
    EXPECT_EQ(StampToText(kJuly29 + 0.25), "2007-07-29 06:00:00");
    EXPECT_EQ(StampFromText("2007-07-29 06-00-00"), kJuly29 + 0.25);

    Formats() = TranslateLocale(ZhCn());
    EXPECT_EQ(StampToText(kJuly29 + 0.25), "2007年07月29日 06:00:00");
    EXPECT_EQ(StampFromText("2007/07/29 06:00"), kJuly29 + 0.25);
    EXPECT_EQ(StampPattern("dddddd", kJuly29), "2007年07月29日 星期日");

    // Literal words of a date format come out as written.
    PosixLocaleData es = CUtf8();
    es.dateFormat = "%d de %B de %Y";
    es.longMonthNames[6] = "julio";
    Formats() = TranslateLocale(es);
    EXPECT_EQ(StampToText(kJuly29), "29 de julio de 2007");
}

TEST_F(Locale, LoadsTheUsersLocaleAndLeavesTheProgramsAlone) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    const char* oldAll = std::getenv("LC_ALL");
    const std::string saved = oldAll ? oldAll : "";
    setenv("LC_ALL", "C.UTF-8", 1);
    Formats() = LocaleFormats{};
    Formats().shortDatePattern = "unset";
    LoadLocaleFormats();
    if (oldAll) setenv("LC_ALL", saved.c_str(), 1);
    else unsetenv("LC_ALL");

    EXPECT_EQ(std::string(std::setlocale(LC_ALL, nullptr)), before);
    EXPECT_EQ(Formats().shortDatePattern, "mm/dd/yy");
    EXPECT_EQ(Formats().longTimePattern, "hh:mm:ss");
    EXPECT_EQ(Formats().amText, "AM");
    EXPECT_EQ(Formats().longMonthNames[6], "July");
    EXPECT_TRUE(Formats().multiByteCharset);
}
