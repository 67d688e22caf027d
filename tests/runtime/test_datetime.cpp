#include "DateTime.h"
#include "Exceptions.h"
#include "LocaleFormats.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>

namespace {

// Every test starts from the record's fallbacks and leaves the record as it found it.
class Stamp : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = Formats();
        Formats() = LocaleFormats{};
    }
    void TearDown() override { Formats() = saved_; }

    // A locale with the short date yyyy-M-d, '-' between date parts, ':' in
    // times and a 24-hour clock without leading zero.
    static void UseIsoDates(char timeMark = ':') {
        LocaleFormats& f = Formats();
        f.dateMark = '-';
        f.shortDatePattern = "yyyy-M-d";
        f.timeMark = timeMark;
        f.shortTimePattern = "h:mm";
        f.longTimePattern = "h:mm:ss";
    }

    static void UseUsDates() {
        LocaleFormats& f = Formats();
        f.dateMark = '/';
        f.shortDatePattern = "M/d/yyyy";
        f.amText = "AM";
        f.pmText = "PM";
        f.shortTimePattern = "h:mm AMPM";
        f.longTimePattern = "h:mm:ss AMPM";
    }

private:
    LocaleFormats saved_;
};

// The calendar fields of a value, independent of the pattern language.
std::string Fields(DateTimeValue value) {
    const StampParts t = SplitStamp(value);
    char text[64];
    std::snprintf(text, sizeof text, "%04lld-%02d-%02d %02d:%02d:%02d.%03d", t.year, t.month,
                  t.day, t.hour, t.minute, t.second, t.millisecond);
    return text;
}

std::string ErrorOf(std::string_view text) {
    try {
        StampFromText(text);
    } catch (const EConvertError& e) {
        return e.Message;
    }
    return "(no error)";
}

constexpr double kJuly29 = 39292; // 2007-07-29

} // namespace

// ---------------------------------------------------------------- calendar

TEST(Calendar, DayNumbersFromTheEpoch) {
    struct Case {
        int y, m, d;
        double days;
    };
    const Case cases[] = {{1899, 12, 30, 0},      {1899, 12, 31, 1},  {1900, 1, 1, 2},
                          {1900, 2, 28, 60},      {1900, 3, 1, 61},   {2000, 1, 1, 36526},
                          {2007, 7, 29, kJuly29}, {1, 1, 1, -693593}, {9999, 12, 31, 2958465}};
    for (const Case& c : cases) {
        DateTimeValue value = -1e9;
        ASSERT_TRUE(TryEncodeDate(c.y, c.m, c.d, value)) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(value, c.days) << c.y << "-" << c.m << "-" << c.d;
        const StampParts back = SplitStamp(value);
        EXPECT_EQ(back.year, c.y);
        EXPECT_EQ(back.month, c.m);
        EXPECT_EQ(back.day, c.d);
    }
    EXPECT_EQ(SplitStamp(0).dayOfWeek, 6);       // a Saturday
    EXPECT_EQ(SplitStamp(kJuly29).dayOfWeek, 0); // a Sunday
    EXPECT_EQ(SplitStamp(-1).dayOfWeek, 5);
}

TEST(Calendar, InvalidDatesAndTimesLeaveTheOutputAlone) {
    DateTimeValue value = 123.5;
    EXPECT_TRUE(TryEncodeDate(2000, 2, 29, value));
    EXPECT_TRUE(TryEncodeDate(2004, 2, 29, value));
    value = 123.5;
    EXPECT_FALSE(TryEncodeDate(1900, 2, 29, value));
    EXPECT_FALSE(TryEncodeDate(2007, 2, 29, value));
    EXPECT_FALSE(TryEncodeDate(2007, 4, 31, value));
    EXPECT_FALSE(TryEncodeDate(0, 1, 1, value));
    EXPECT_FALSE(TryEncodeDate(10000, 1, 1, value));
    EXPECT_FALSE(TryEncodeDate(2007, 0, 1, value));
    EXPECT_FALSE(TryEncodeDate(2007, 13, 1, value));
    EXPECT_FALSE(TryEncodeDate(2007, 1, 0, value));
    EXPECT_FALSE(TryEncodeDate(2007, 1, 32, value));
    EXPECT_EQ(value, 123.5);

    double time = 0.75;
    EXPECT_TRUE(TryEncodeTime(6, 0, 0, 0, time));
    EXPECT_EQ(time, 0.25);
    EXPECT_TRUE(TryEncodeTime(23, 59, 59, 999, time));
    EXPECT_LT(time, 1.0);
    time = 0.75;
    EXPECT_FALSE(TryEncodeTime(24, 0, 0, 0, time));
    EXPECT_FALSE(TryEncodeTime(0, 60, 0, 0, time));
    EXPECT_FALSE(TryEncodeTime(0, 0, 60, 0, time));
    EXPECT_FALSE(TryEncodeTime(0, 0, 0, 1000, time));
    EXPECT_FALSE(TryEncodeTime(-1, 0, 0, 0, time));
    EXPECT_EQ(time, 0.75);
}

TEST(Calendar, TimeIsSubtractedFromDatesBeforeDayZero) {
    EXPECT_EQ(CombineDateTime(kJuly29, 0.25), kJuly29 + 0.25);
    EXPECT_EQ(CombineDateTime(0, 0.25), 0.25);
    EXPECT_EQ(CombineDateTime(-1, 0.25), -1.25);
    // Taken apart again, -1.25 is 06:00 on the day before day 0.
    EXPECT_EQ(Fields(-1.25), "1899-12-29 06:00:00.000");
    // The time of day of a negative value counts from the start of its day
    // on the magnitude: -0.25 is 06:00 on day 0 itself.
    EXPECT_EQ(Fields(-0.25), "1899-12-30 06:00:00.000");
}

// Before day 0 a stored value is its date minus its time of day; the moment
// it stands for runs forward with the clock across day 0 and turns back into
// the very value; from day 0 on it is the value.
TEST(Calendar, MomentsRunForwardBeforeDayZero) {
    for (const int year : {1, 1850, 1899}) {
        double first = 0;
        ASSERT_TRUE(TryEncodeDate(year, 12, 27, first));
        long double previous = ElapsedDays(first) - 1.0L / 48;
        for (int halfHour = 0; halfHour < 6 * 48; ++halfHour) {
            double time = 0;
            ASSERT_TRUE(TryEncodeTime(halfHour / 2 % 24, halfHour % 2 * 30, 0, 0, time));
            const DateTimeValue value = CombineDateTime(first + halfHour / 48, time);
            const long double moment = ElapsedDays(value);
            EXPECT_NEAR(static_cast<double>(moment - previous), 1.0 / 48, 1e-9) << year << " " << halfHour;
            EXPECT_EQ(StampAtElapsedDays(moment), value);
            EXPECT_TRUE(value < 0 || moment == value);
            previous = moment;
        }
    }
}

TEST(Calendar, TwoDigitYearWindow) {
    EXPECT_EQ(WindowedYear(7, 2025, 50), 2007);
    EXPECT_EQ(WindowedYear(7, 2056, 50), 2007);
    EXPECT_EQ(WindowedYear(7, 2057, 50), 2007);
    EXPECT_EQ(WindowedYear(7, 2058, 50), 2107);
    EXPECT_EQ(WindowedYear(75, 2025, 50), 1975);
    EXPECT_EQ(WindowedYear(74, 2025, 50), 2074);
    EXPECT_EQ(WindowedYear(99, 2025, 50), 1999);
    // Without a window the years stay in the century of the current year.
    EXPECT_EQ(WindowedYear(99, 2025, 0), 2099);
    EXPECT_EQ(WindowedYear(7, 2025, 0), 2007);
}

// ---------------------------------------------------------------- the flood record's form

TEST_F(Stamp, DocumentedFormWithColonTimesReadsWholeHours) {
    UseIsoDates(':');
    EXPECT_EQ(StampFromText("2007-07-29 00-00-00"), kJuly29);
    EXPECT_EQ(StampFromText("2007-07-29 06-00-00"), kJuly29 + 0.25);
    EXPECT_EQ(Fields(StampFromText("2007-07-29 07-00-00")), "2007-07-29 07:00:00.000");
    EXPECT_EQ(Fields(StampFromText("2007-07-29 08-00-00")), "2007-07-29 08:00:00.000");
    // Minutes after the first '-' are not read.
    EXPECT_EQ(StampFromText("2007-07-29 06-30-00"), kJuly29 + 0.25);
}

TEST_F(Stamp, DocumentedFormWithDashTimesReadsCompletely) {
    UseIsoDates('-');
    EXPECT_EQ(Fields(StampFromText("2007-07-29 06-30-15")), "2007-07-29 06:30:15.000");
    EXPECT_EQ(StampFromText("2007-07-29 00-00-00"), kJuly29);
    // The same value as the building blocks give for it.
    double time = 0;
    ASSERT_TRUE(TryEncodeTime(6, 30, 15, 0, time));
    EXPECT_EQ(StampFromText("2007-07-29 06-30-15"), CombineDateTime(kJuly29, time));
}

TEST_F(Stamp, DocumentedFormFailsWithSlashDates) {
    Formats().dateMark = '/';
    for (const char* text : {"2007-07-29 00-00-00", "2007-07-29 06-00-00", "2007-07-29 07-00-00",
                             "2007-07-29 08-00-00"})
        EXPECT_EQ(ErrorOf(text), std::string("'") + text + "' is not a valid date and time");
    EXPECT_THROW(StampFromText("2007-07-29 06-00-00"), EConvertError);
    DateTimeValue value = 7;
    EXPECT_FALSE(TryStampFromText("2007-07-29 06-00-00", value));
    EXPECT_EQ(value, 7);
}

TEST_F(Stamp, DateAloneAndTimeAlone) {
    UseIsoDates();
    EXPECT_EQ(StampFromText("2007-07-29"), kJuly29);
    EXPECT_EQ(StampFromText("2007-07-29-"), kJuly29); // a trailing date mark is allowed
    EXPECT_EQ(StampFromText("  2007 - 07 - 29  "), kJuly29);
    EXPECT_EQ(Fields(StampFromText("6:30")), "1899-12-30 06:30:00.000");
    EXPECT_EQ(Fields(StampFromText(" 23:59:59.999 ")), "1899-12-30 23:59:59.999");
    // Milliseconds are the number written, not a fraction.
    EXPECT_EQ(Fields(StampFromText("6:30:15.5")), "1899-12-30 06:30:15.005");
    // After a date anything behind the time is ignored; a time alone must use
    // up the text.
    EXPECT_EQ(StampFromText("2007-07-29 6:00 high water"), kJuly29 + 0.25);
    EXPECT_THROW(StampFromText("6:00 high water"), EConvertError);
    EXPECT_THROW(StampFromText(""), EConvertError);
    EXPECT_EQ(ErrorOf(""), "'' is not a valid date and time");
}

TEST_F(Stamp, TwoDigitAndShortYears) {
    UseIsoDates();
    if (CurrentYear() <= 2056) {
        EXPECT_EQ(StampFromText("07-07-29"), kJuly29);
    }
    const int windowed = WindowedYear(7, CurrentYear(), 50);
    EXPECT_EQ(SplitStamp(StampFromText("7-7-29")).year, windowed);
    // Leading zeros make the year four digits long: no window.
    DateTimeValue year7 = 0;
    ASSERT_TRUE(TryEncodeDate(7, 7, 29, year7));
    EXPECT_EQ(StampFromText("0007-07-29"), year7);
    EXPECT_THROW(StampFromText("0000-07-29"), EConvertError);
    // Two numbers are month and day of the current year.
    EXPECT_EQ(SplitStamp(StampFromText("7-29")).year, CurrentYear());
    EXPECT_EQ(Fields(StampFromText("7-29")).substr(4), "-07-29 00:00:00.000");
}

TEST_F(Stamp, NumbersStopAtFourDigitsAndTabsAreNotBlanks) {
    UseIsoDates();
    EXPECT_THROW(StampFromText("20071-07-29"), EConvertError);
    // The limit is on the value: leading zeros do not use it up.
    EXPECT_EQ(StampFromText("00002007-07-29"), kJuly29);
    EXPECT_EQ(Fields(StampFromText("6:00005")), "1899-12-30 06:05:00.000");
    EXPECT_THROW(StampFromText("12345"), EConvertError);
    EXPECT_THROW(StampFromText("2007-07-29\t06:00"), EConvertError);
    EXPECT_THROW(StampFromText("\t6:00"), EConvertError);
    EXPECT_THROW(StampFromText("2007-13-29"), EConvertError);
    EXPECT_THROW(StampFromText("2007-02-29"), EConvertError);
    EXPECT_THROW(StampFromText("24:00"), EConvertError);
    EXPECT_THROW(StampFromText("6:60"), EConvertError);
    EXPECT_THROW(StampFromText("6:"), EConvertError);
    EXPECT_THROW(StampFromText("6:30:"), EConvertError);
    EXPECT_THROW(StampFromText("6:30:15."), EConvertError);
}

TEST_F(Stamp, WritesTheShortDateAndTheLongTimeUnlessMidnight) {
    UseIsoDates();
    EXPECT_EQ(StampToText(kJuly29 + 0.25), "2007-7-29 6:00:00");
    EXPECT_EQ(StampToText(kJuly29), "2007-7-29");
    // Milliseconds alone do not bring the time in.
    double ms = 0;
    ASSERT_TRUE(TryEncodeTime(0, 0, 0, 250, ms));
    EXPECT_EQ(StampToText(CombineDateTime(kJuly29, ms)), "2007-7-29");
    double second = 0;
    ASSERT_TRUE(TryEncodeTime(0, 0, 1, 0, second));
    EXPECT_EQ(StampToText(CombineDateTime(kJuly29, second)), "2007-7-29 0:00:01");
    EXPECT_EQ(StampToText(-1.25), "1899-12-29 6:00:00");

    std::string line = "T=";
    AppendStampText(line, kJuly29 + 0.5);
    line += ',';
    AppendStampText(line, kJuly29);
    EXPECT_EQ(line, "T=2007-7-29 12:00:00,2007-7-29");
}

// ---------------------------------------------------------------- date orders

TEST_F(Stamp, DateOrderComesFromTheFirstDateLetter) {
    struct Case {
        const char* pattern;
        const char* text;
        const char* fields;
    };
    const Case cases[] = {
        {"dd/mm/yyyy", "01/02/2007", "2007-02-01"},  {"mm/dd/yyyy", "01/02/2007", "2007-01-02"},
        {"yyyy/mm/dd", "2007/01/02", "2007-01-02"},  {"ee/mm/dd", "2007/01/02", "2007-01-02"},
        {"'h'", "01/02/2007", "2007-01-02"},      {"D.M.Y", "01/02/2007", "2007-02-01"},
        {"M/d/yyyy", "1/2/2007", "2007-01-02"},
    };
    for (const Case& c : cases) {
        Formats().shortDatePattern = c.pattern;
        EXPECT_EQ(Fields(StampFromText(c.text)).substr(0, 10), c.fields) << c.pattern;
    }
    // With two numbers the order decides between day-month and month-day.
    Formats().shortDatePattern = "dd/mm/yyyy";
    EXPECT_EQ(Fields(StampFromText("29/07")).substr(4, 6), "-07-29");
    Formats().shortDatePattern = "yyyy/mm/dd";
    EXPECT_EQ(Fields(StampFromText("07/29")).substr(4, 6), "-07-29");
}

TEST_F(Stamp, SeveralLocaleRecords) {
    // Month-day-year with slashes and a two-digit year, the fallback record.
    LocaleFormats& f = Formats();
    EXPECT_EQ(StampToText(kJuly29 + 0.75), "7/29/07 18:00:00");
    if (CurrentYear() <= 2056) {
        EXPECT_EQ(StampFromText("7/29/07 18:00"), kJuly29 + 0.75);
    }
    // Year-month-day with dashes and leading zeros.
    f.dateMark = '-';
    f.shortDatePattern = "yyyy-mm-dd";
    f.longTimePattern = "hh:mm:ss";
    EXPECT_EQ(StampToText(kJuly29 + 0.75), "2007-07-29 18:00:00");
    EXPECT_EQ(StampFromText("2007-07-29 18:00:00"), kJuly29 + 0.75);
}

// ---------------------------------------------------------------- 12-hour clocks

TEST_F(Stamp, ReadsMarkersBeforeAndAfterTheTime) {
    UseUsDates();
    EXPECT_EQ(Fields(StampFromText("7/29/2007 6:30 PM")), "2007-07-29 18:30:00.000");
    EXPECT_EQ(Fields(StampFromText("7/29/2007 6:30PM")), "2007-07-29 18:30:00.000");
    EXPECT_EQ(Fields(StampFromText("7/29/2007 PM 6:30")), "2007-07-29 18:30:00.000");
    EXPECT_EQ(Fields(StampFromText("7/29/2007 12:00 AM")), "2007-07-29 00:00:00.000");
    EXPECT_EQ(Fields(StampFromText("12:15 pm")), "1899-12-30 12:15:00.000");
    EXPECT_EQ(Fields(StampFromText("am 12:15")), "1899-12-30 00:15:00.000");
    EXPECT_EQ(Fields(StampFromText("18:30")), "1899-12-30 18:30:00.000");
    // With a marker the hour must lie on the 12-hour clock.
    EXPECT_THROW(StampFromText("13:00 PM"), EConvertError);
    EXPECT_THROW(StampFromText("0:30 AM"), EConvertError);
}

TEST_F(Stamp, LocaleMarkersAndTheEnglishOnesBothCount) {
    LocaleFormats& f = Formats();
    f.amText = "上午";
    f.pmText = "下午";
    EXPECT_EQ(Fields(StampFromText("下午 6:30")), "1899-12-30 18:30:00.000");
    EXPECT_EQ(Fields(StampFromText("6:30下午")), "1899-12-30 18:30:00.000");
    EXPECT_EQ(Fields(StampFromText("6:30 pm")), "1899-12-30 18:30:00.000");
    // Case is ignored beyond ASCII too.
    f.amText = "πμ";
    f.pmText = "μμ";
    EXPECT_EQ(Fields(StampFromText("6:30 ΜΜ")), "1899-12-30 18:30:00.000");
    EXPECT_EQ(Fields(StampFromText("ΠΜ 12:30")), "1899-12-30 00:30:00.000");
    // An empty marker never matches.
    f.amText.clear();
    f.pmText.clear();
    EXPECT_EQ(Fields(StampFromText("6:30 AM")), "1899-12-30 06:30:00.000");
    EXPECT_THROW(StampFromText("6:30 x"), EConvertError);
}

TEST_F(Stamp, WritesTwelveHourForms) {
    UseUsDates();
    const double evening = kJuly29 + 0.75 + 1.0 / 48; // 18:30
    const double night = kJuly29 + 1.0 / 96;          // 00:15
    EXPECT_EQ(StampToText(evening), "7/29/2007 6:30:00 PM");
    EXPECT_EQ(StampPattern("h:mm AMPM", night), "12:15 AM");
    EXPECT_EQ(StampPattern("hh:nn am/pm", evening), "06:30 pm");
    EXPECT_EQ(StampPattern("hh:nn AM/pm", night), "12:15 AM");
    EXPECT_EQ(StampPattern("h:nn A/P", evening), "6:30 P");
    EXPECT_EQ(StampPattern("h:nn a/p", night), "12:15 a");
    // A marker already written makes the hour 12-hour as well.
    EXPECT_EQ(StampPattern("AMPM h:mm", evening), "PM 6:30");
    EXPECT_EQ(StampPattern("ampm h:mm", kJuly29 + 0.5), "PM 12:00");
    // A quoted marker is text and keeps the 24-hour clock.
    EXPECT_EQ(StampPattern("h 'AMPM'", evening), "18 AMPM");
    EXPECT_EQ(StampPattern("h", evening), "18");
}

// ---------------------------------------------------------------- the pattern language

TEST_F(Stamp, PatternNamesNumbersAndSeparators) {
    const double t = kJuly29 + (6 * 3600 + 5 * 60 + 9) / 86400.0;
    EXPECT_EQ(StampPattern("dddd, mmmm d, yyyy", t), "Sunday, July 29, 2007");
    EXPECT_EQ(StampPattern("ddd mmm dd", t), "Sun Jul 29");
    EXPECT_EQ(StampPattern("aaa aaaa", t), "Sun Sunday");
    EXPECT_EQ(StampPattern("DDDD MMMM", t), "Sunday July");
    EXPECT_EQ(StampPattern("y yy yyy yyyy", t), "07 07 2007 2007");
    EXPECT_EQ(StampPattern("d dd m mm", kJuly29 + 3), "1 01 8 08");
    EXPECT_EQ(StampPattern("h hh n nn s ss", t), "6 06 5 05 9 09");
    // An m straight after an hour is minutes, anywhere else the month.
    EXPECT_EQ(StampPattern("h:m mm", t), "6:5 07");
    EXPECT_EQ(StampPattern("hh mm", t), "06 05");
    EXPECT_EQ(StampPattern("mm hh", t), "07 06");
    // Separators are the locale's.
    Formats().dateMark = '.';
    Formats().timeMark = '-';
    EXPECT_EQ(StampPattern("dd/mm/yyyy hh:nn", t), "29.07.2007 06-05");
    // Quotes, other letters and multi-byte characters.
    EXPECT_EQ(StampPattern("'at' h\"d\"d", t), "at 6d29");
    EXPECT_EQ(StampPattern("yyyy年m月d日", t), "2007年7月29日");
    EXPECT_EQ(StampPattern("x-w", t), "x-w");
    EXPECT_EQ(StampPattern("'unclosed", t), "unclosed");
    // No era calendar: era letters write nothing.
    EXPECT_EQ(StampPattern("[e][gg]", t), "[][]");
    // Year 7 keeps four digits.
    DateTimeValue year7 = 0;
    ASSERT_TRUE(TryEncodeDate(7, 1, 2, year7));
    EXPECT_EQ(StampPattern("yyyy yy", year7), "0007 07");
}

TEST_F(Stamp, MillisecondDigits) {
    double time = 0;
    ASSERT_TRUE(TryEncodeTime(6, 0, 0, 5, time));
    EXPECT_EQ(StampPattern("z|zz|zzz|zzzz", time), "5|05|005|005");
    ASSERT_TRUE(TryEncodeTime(6, 0, 0, 250, time));
    EXPECT_EQ(StampPattern("z|zz|zzz", time), "250|250|250");
}

TEST_F(Stamp, ReferencesExpandOneLevelDeep) {
    LocaleFormats& f = Formats();
    f.shortDatePattern = "yyyy-M-d";
    f.longDatePattern = "d mmmm yyyy";
    f.shortTimePattern = "h:mm";
    f.longTimePattern = "h:mm:ss";
    const double t = kJuly29 + 0.25;
    EXPECT_EQ(StampPattern("ddddd", t), "2007-7-29");
    EXPECT_EQ(StampPattern("dddddd", t), "29 July 2007");
    EXPECT_EQ(StampPattern("ddddddd", t), "29 July 2007");
    EXPECT_EQ(StampPattern("t|tt", t), "6:00|6:00:00");
    EXPECT_EQ(StampPattern("c", t), "2007-7-29 6:00:00");
    EXPECT_EQ(StampPattern("[c]", kJuly29), "[2007-7-29]");
    // A reference met inside the locale's patterns writes nothing.
    f.shortDatePattern = "yyyy-M-d t c";
    f.longTimePattern = "h:mm:ss ddddd";
    EXPECT_EQ(StampPattern("ddddd", t), "2007-7-29  ");
    EXPECT_EQ(StampToText(t), "2007-7-29   6:00:00 ");
}

// ---------------------------------------------------------------- splitting a value

TEST_F(Stamp, SplitsToWholeMillisecondsTiesToEven) {
    // 1/2048 and 3/2048 of a day are exactly 42187.5 and 126562.5 ms.
    EXPECT_EQ(Fields(1.0 / 2048), "1899-12-30 00:00:42.188");
    EXPECT_EQ(Fields(3.0 / 2048), "1899-12-30 00:02:06.562");
    EXPECT_EQ(Fields(-1.0 / 2048), "1899-12-30 00:00:42.188");
    EXPECT_EQ(Fields(-3.0 / 2048), "1899-12-30 00:02:06.562");
    EXPECT_EQ(StampPattern("zzz", kJuly29 + 5.0 / 2048), "938"); // 210937.5 ms
    // Rounding may carry into the next day.
    EXPECT_EQ(Fields(kJuly29 + 0.9999999999), "2007-07-30 00:00:00.000");
    UseIsoDates();
    EXPECT_EQ(StampToText(kJuly29 + 0.9999999999), "2007-7-30");
    EXPECT_EQ(StampToText(kJuly29 + 0.99999), "2007-7-29 23:59:59");
}

TEST_F(Stamp, ValuesBeyondTheCalendarDoNotBreakTheWriter) {
    UseIsoDates();
    EXPECT_EQ(StampToText(2958466), "10000-1-1");
    EXPECT_EQ(StampToText(std::numeric_limits<double>::quiet_NaN()), "1899-12-30");
    EXPECT_GT(SplitStamp(1e300).year, 100000000);
    EXPECT_GT(SplitStamp(std::numeric_limits<double>::infinity()).year, 100000000);
    EXPECT_LT(SplitStamp(-1e300).year, -100000000);
    EXPECT_FALSE(StampToText(-std::numeric_limits<double>::infinity()).empty());
}

// ---------------------------------------------------------------- day names in dates

TEST_F(Stamp, DayNameAfterTheDateIsPassedOverInMultiByteLocales) {
    LocaleFormats& f = Formats();
    f.shortDatePattern = "yyyy/m/d dddd";
    f.amText = "上午";
    f.pmText = "下午";
    f.shortTimePattern = "AMPM h:mm";
    f.multiByteCharset = true;
    EXPECT_EQ(Fields(StampFromText("2007/7/29 星期日 下午 6:30")), "2007-07-29 18:30:00.000");
    EXPECT_EQ(Fields(StampFromText("2007/7/29 上午 6:30")), "2007-07-29 06:30:00.000");
    // Without a marker the words up to the end are passed over, the time included.
    EXPECT_EQ(StampFromText("2007/7/29 星期日 18:30"), kJuly29);
    // A time pattern that starts with a digit stops the skipping at the first digit.
    f.shortTimePattern = "0h:mm";
    EXPECT_EQ(Fields(StampFromText("2007/7/29 星期日 18:30")), "2007-07-29 18:30:00.000");
    // Single-byte locales read the name as a failed time.
    f.shortTimePattern = "AMPM h:mm";
    f.multiByteCharset = false;
    EXPECT_THROW(StampFromText("2007/7/29 星期日 下午 6:30"), EConvertError);
}
