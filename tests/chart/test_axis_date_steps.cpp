// Date-time axis labels: steps of whole units over ranges from seconds to
// centuries, checked for overlap with a fake text measure, for alignment to
// the units' boundaries (the calendar done here with std::chrono), for
// completeness, for the forms of their texts, and for a bounded amount of
// work on degenerate and absurd ranges.

#include "AxisDateSteps.h"

#include "DateTime.h"
#include "InflowTestSupport.h"
#include "LocaleFormats.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <string>
#include <vector>

namespace {

// Days since 1899-12-30 of a civil date, by the standard library's calendar.
double DaysOf(int y, int m, int d) {
    using namespace std::chrono;
    const auto days = sys_days(year(y) / month(static_cast<unsigned>(m)) / day(static_cast<unsigned>(d))) -
                      sys_days(year(1899) / December / 30);
    return static_cast<double>(days.count());
}

double At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    return DaysOf(y, mo, d) + (h * 3600 + mi * 60 + s) / 86400.0;
}

// A fake font: digits 7 pixels, other ASCII 5, each other character (a
// multi-byte one) 12.
int Width(std::string_view text) {
    int w = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80 && (c & 0xC0) == 0x80) continue;   // continuation byte
        w += c >= '0' && c <= '9' ? 7 : c < 0x80 ? 5 : 12;
    }
    return w;
}

// The ISO test locale, with its short time.
class DateSteps : public inflow_test::IsoLocaleTest {
protected:
    void SetUp() override {
        IsoLocaleTest::SetUp();
        Formats().shortTimePattern = "hh:mm";
    }

    TDateLabels Choose(double lo, double hi, int length, int separation = 10) {
        return ChooseDateLabels(lo, hi, length, [this](std::string_view t) {
            ++measured;
            return Width(t);
        }, separation);
    }

    long long measured = 0;
};

std::string Two(int v) {
    char b[8];
    std::snprintf(b, sizeof b, "%02d", v);
    return b;
}

std::string DateText(const StampParts& p) {
    char b[32];
    std::snprintf(b, sizeof b, "%04lld-%02d-%02d", p.year, p.month, p.day);
    return b;
}

// The calendar fields of a moment x days after day 0 (an axis value), split
// on the line of time itself: whole days down, the rest the time of day.
StampParts Moment(double x) {
    using namespace std::chrono;
    const long long total = std::llround(static_cast<long double>(x) * 86400000.0L);
    long long day = total / 86400000;
    if (total % 86400000 < 0) --day;
    const long long ms = total - day * 86400000;
    const year_month_day date{sys_days(year(1899) / December / 30) + days(day)};
    StampParts p;
    p.year = static_cast<int>(date.year());
    p.month = static_cast<int>(static_cast<unsigned>(date.month()));
    p.day = static_cast<int>(static_cast<unsigned>(date.day()));
    p.hour = static_cast<int>(ms / 3600000);
    p.minute = static_cast<int>(ms / 60000 % 60);
    p.second = static_cast<int>(ms / 1000 % 60);
    p.millisecond = static_cast<int>(ms % 1000);
    return p;
}

bool Midnight(const StampParts& p) { return p.hour == 0 && p.minute == 0 && p.second == 0 && p.millisecond == 0; }

double StepDays(const TDateStep& s) {
    switch (s.unit) {
    case dsuSecond: return s.count / 86400.0;
    case dsuMinute: return s.count / 1440.0;
    case dsuHour: return s.count / 24.0;
    case dsuDay: return static_cast<double>(s.count);
    default: return 0;
    }
}

// Everything a good set of labels must satisfy, checked without the code's
// own helpers: no overlap with the separation kept, ascending, inside the
// range, where the axis maps them, on the step's boundaries, no boundary
// left out, texts in the ISO test locale's forms.
void ExpectSound(const TDateLabels& r, double lo, double hi, int length, int separation = 10) {
    SCOPED_TRACE(testing::Message() << "range " << lo << " .. " << hi << " over " << length << " px, step "
                                    << r.step.count << " of unit " << r.step.unit);
    ASSERT_NE(r.step.unit, dsuNone);
    ASSERT_FALSE(r.labels.empty());
    EXPECT_LE(r.labels.size(), static_cast<std::size_t>(length) + 1);
    const double tolerance = 1.0 / 86400000;   // a millisecond
    const long long n = r.step.count;
    for (std::size_t i = 0; i < r.labels.size(); ++i) {
        const TDateLabel& a = r.labels[i];
        SCOPED_TRACE(testing::Message() << "label " << i << " '" << a.text << "'");
        EXPECT_GE(a.value, lo - tolerance);
        EXPECT_LE(a.value, hi + tolerance);
        EXPECT_NEAR(a.offset, (a.value - lo) * length / (hi - lo), 0.5 + 1e-6);

        const StampParts p = Moment(a.value);
        switch (r.step.unit) {
        case dsuSecond: EXPECT_TRUE(p.millisecond == 0 && p.second % n == 0); break;
        case dsuMinute: EXPECT_TRUE(p.millisecond == 0 && p.second == 0 && p.minute % n == 0); break;
        case dsuHour: EXPECT_TRUE(p.millisecond == 0 && p.second == 0 && p.minute == 0 && p.hour % n == 0); break;
        case dsuDay: EXPECT_TRUE(Midnight(p) && (p.day - 1) % n == 0); break;
        case dsuMonth: EXPECT_TRUE(Midnight(p) && p.day == 1 && (p.month - 1) % n == 0); break;
        case dsuYear: EXPECT_TRUE(Midnight(p) && p.day == 1 && p.month == 1 && p.year % n == 0); break;
        default: break;
        }

        // Texts: dates alone at midnight; times of day otherwise, with the
        // date on a first label that is not at midnight.
        std::string expected;
        const std::string time = Two(p.hour) + ":" + Two(p.minute) +
                                 (r.step.unit == dsuSecond ? ":" + Two(p.second) : "");
        switch (r.step.unit) {
        case dsuSecond: case dsuMinute: case dsuHour:
            expected = Midnight(p) ? DateText(p) : i == 0 ? DateText(p) + " " + time : time;
            break;
        case dsuDay: expected = DateText(p); break;
        case dsuMonth: expected = DateText(p).substr(0, 7); break;
        case dsuYear: expected = DateText(p).substr(0, 4); break;
        default: break;
        }
        EXPECT_EQ(a.text, expected);

        if (i == 0) continue;
        const TDateLabel& b = r.labels[i - 1];
        // Rectangles centred on their offsets, the gap at least the
        // separation's share of the wider one (both rounded to pixels).
        const double wa = Width(a.text), wb = Width(b.text);
        const double gap = (a.offset - b.offset) - (wa + wb) / 2;
        EXPECT_GT(a.offset, b.offset);
        EXPECT_GE(gap, separation / 100.0 * std::max(wa, wb) - 0.5);

        // Consecutive labels are consecutive boundaries of the step.
        const StampParts q = Moment(b.value);
        switch (r.step.unit) {
        case dsuMonth: EXPECT_EQ((p.year * 12 + p.month) - (q.year * 12 + q.month), n); break;
        case dsuYear: EXPECT_EQ(p.year - q.year, n); break;
        case dsuDay:
            if (n > 1) {
                const double days = a.value - b.value;
                EXPECT_TRUE(days == n || (p.day == 1 && days > n && days < 2 * n)) << days;
                break;
            }
            [[fallthrough]];
        default: EXPECT_NEAR(a.value - b.value, StepDays(r.step), 1e-9); break;
        }
    }
    // Nothing left out before the first label or after the last.
    const StampParts first = SplitStamp(r.labels.front().value), last = SplitStamp(r.labels.back().value);
    switch (r.step.unit) {
    case dsuMonth: {
        // The first of the month n months before the first label, and after the last.
        auto firstOf = [](long long index) {
            const long long y = index >= 0 ? index / 12 : (index - 11) / 12;
            return DaysOf(static_cast<int>(y), static_cast<int>(index - y * 12) + 1, 1);
        };
        EXPECT_LT(firstOf(first.year * 12 + first.month - 1 - n), lo);
        EXPECT_GT(firstOf(last.year * 12 + last.month - 1 + n), hi);
        break;
    }
    case dsuYear:
        EXPECT_LT(DaysOf(static_cast<int>(first.year - n), 1, 1), lo);
        EXPECT_GT(DaysOf(static_cast<int>(last.year + n), 1, 1), hi);
        break;
    case dsuDay:
        if (n > 1) break;
        [[fallthrough]];
    default:
        EXPECT_LT(r.labels.front().value - StepDays(r.step), lo - 1e-9);
        EXPECT_GT(r.labels.back().value + StepDays(r.step), hi + 1e-9);
        break;
    }
}

}  // namespace

TEST_F(DateSteps, RangesFromSecondsToCenturies) {
    const double start = At(2024, 7, 24, 14, 7, 13);
    const double spans[] = {20.0 / 86400, 3.0 / 1440, 0.5 / 24, 3.0 / 24, 0.5, 1, 3.75, 12, 45, 123,
                            400, 3 * 365.25, 11 * 365.25, 62 * 365.25, 300 * 365.25, 2500 * 365.25};
    for (const double span : spans) {
        for (const int length : {120, 400, 1000, 3000}) {
            measured = 0;
            const TDateLabels r = Choose(start, start + span, length);
            ExpectSound(r, start, start + span, length);
            if (length >= 400) {
                EXPECT_GE(r.labels.size(), 2u) << span << " days over " << length;
            }
            // Every step tried makes at most one more label than fits.
            EXPECT_LT(measured, 60LL * (length + 2));
        }
    }
}

TEST_F(DateSteps, EachStepIsTheSmallestThatFits) {
    // The Zhejiang flood, 2024-07-24 14:00 to 07-28 08:00, on 600 pixels: 160
    // pixels a day. Six hours (40 pixels) leave room for "hh:mm" (35 + 4) but
    // not beside a date (70 + 35) / 2 + 7; twelve hours (80 pixels) do.
    TDateLabels r = Choose(At(2024, 7, 24, 14), At(2024, 7, 28, 8), 600);
    ExpectSound(r, At(2024, 7, 24, 14), At(2024, 7, 28, 8), 600);
    EXPECT_EQ(r.step.unit, dsuHour);
    EXPECT_EQ(r.step.count, 12);
    EXPECT_EQ(r.labels.front().text, "2024-07-25");
    EXPECT_EQ(r.labels[1].text, "12:00");
    EXPECT_EQ(r.labels.size(), 7u);

    // Lake Powell's 1983 spill, May to August, on 600 pixels (4.9 a day):
    // dates need 70 + 7 pixels, so 10-day dekads (49 pixels) overlap and
    // months (about 150) fit.
    r = Choose(At(1983, 5, 1), At(1983, 8, 31), 600);
    ExpectSound(r, At(1983, 5, 1), At(1983, 8, 31), 600);
    EXPECT_EQ(r.step.unit, dsuMonth);
    EXPECT_EQ(r.step.count, 1);
    ASSERT_EQ(r.labels.size(), 4u);
    EXPECT_EQ(r.labels.front().text, "1983-05");
    EXPECT_EQ(r.labels.front().offset, 0);

    // The same on 3000 pixels (24.4 a day): 5-day pentads (122 pixels) fit,
    // 2 days (49) do not.
    r = Choose(At(1983, 5, 1), At(1983, 8, 31), 3000);
    ExpectSound(r, At(1983, 5, 1), At(1983, 8, 31), 3000);
    EXPECT_EQ(r.step.unit, dsuDay);
    EXPECT_EQ(r.step.count, 5);
    EXPECT_EQ(r.labels[5].text, "1983-05-26");
    EXPECT_EQ(r.labels[6].text, "1983-06-01");   // six days on: a new month starts the count again

    // A first label between midnights carries its date, and is wider for it:
    // 57 minutes on 600 pixels (10.5 a minute); "2024-07-24 10:05" is 104
    // pixels, "10:10" 35. Five minutes (53 pixels) leave less than
    // (104 + 35) / 2 + 10, ten minutes (105) more. With 50 % kept free the
    // need is (104 + 35) / 2 + 52: fifteen minutes.
    r = Choose(At(2024, 7, 24, 10, 3), At(2024, 7, 24, 11, 0), 600, 10);
    ExpectSound(r, At(2024, 7, 24, 10, 3), At(2024, 7, 24, 11, 0), 600, 10);
    EXPECT_EQ(r.step.unit, dsuMinute);
    EXPECT_EQ(r.step.count, 10);
    EXPECT_EQ(r.labels.front().text, "2024-07-24 10:10");
    r = Choose(At(2024, 7, 24, 10, 3), At(2024, 7, 24, 11, 0), 600, 50);
    ExpectSound(r, At(2024, 7, 24, 10, 3), At(2024, 7, 24, 11, 0), 600, 50);
    EXPECT_EQ(r.step.count, 15);
}

TEST_F(DateSteps, DegenerateAndAbsurdRanges) {
    const double t = At(2024, 7, 24, 14);
    // One instant: one label in the middle, the whole stamp.
    TDateLabels r = Choose(t, t, 501);
    ASSERT_EQ(r.labels.size(), 1u);
    EXPECT_EQ(r.labels[0].offset, 250);
    EXPECT_EQ(r.labels[0].text, "2024-07-24 14:00:00");
    EXPECT_EQ(r.step.unit, dsuNone);

    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_TRUE(Choose(nan, t, 500).labels.empty());
    EXPECT_TRUE(Choose(t, nan, 500).labels.empty());
    EXPECT_TRUE(Choose(-inf, inf, 500).labels.empty());
    EXPECT_TRUE(Choose(-1e300, 1e300, 500).labels.empty());
    EXPECT_TRUE(Choose(t, t + 1, 0).labels.empty());
    EXPECT_TRUE(Choose(t, t + 1, -5).labels.empty());
    // No whole second inside: nothing to label.
    EXPECT_TRUE(Choose(t + 0.2 / 86400, t + 0.7 / 86400, 500).labels.empty());

    // The ends in the wrong order give the same labels.
    const TDateLabels forward = Choose(t, t + 2, 500), backward = Choose(t + 2, t, 500);
    ASSERT_EQ(forward.labels.size(), backward.labels.size());
    for (std::size_t i = 0; i < forward.labels.size(); ++i) EXPECT_EQ(forward.labels[i].text, backward.labels[i].text);

    // The widest range there is: a bounded search, year steps.
    measured = 0;
    r = Choose(-1e11, 1e11, 800);
    EXPECT_EQ(r.step.unit, dsuYear);
    EXPECT_GE(r.labels.size(), 2u);
    EXPECT_LT(measured, 1000);
    for (const TDateLabel& l : r.labels) EXPECT_EQ(SplitStamp(l.value).year % r.step.count, 0);

    // A huge axis and tiny labels: never more than 10,000 labels made.
    measured = 0;
    r = ChooseDateLabels(t, t + 3, 10000000, [this](std::string_view) { return ++measured, 1; });
    EXPECT_LE(r.labels.size(), 10000u);
    EXPECT_GE(r.labels.size(), 1000u);
    EXPECT_LT(measured, 200000);

    // An axis too short for two labels shows one.
    r = Choose(t, t + 1, 30);
    ASSERT_EQ(r.labels.size(), 1u);
}

TEST_F(DateSteps, BeforeDayZero) {
    // The axis runs on the line of time (-0.75 is 1899-12-29 06:00, whose
    // stored value is -1.25): the labels' values are multiples of the step on
    // it, and their texts show the values that stand for them.
    for (const auto& [lo, hi] : {std::pair{-2.6, -0.4}, std::pair{DaysOf(1850, 1, 1), DaysOf(1901, 6, 1)},
                                 std::pair{DaysOf(1899, 11, 3), DaysOf(1900, 2, 1)}}) {
        for (const int length : {200, 800, 2500}) {
            const TDateLabels r = Choose(lo, hi, length);
            ExpectSound(r, lo, hi, length);
        }
    }
    TDateLabels r = Choose(-1.5, -1.0, 200);
    ASSERT_EQ(r.step.unit, dsuHour);
    EXPECT_EQ(r.labels.back().text, "1899-12-29");
    EXPECT_EQ(r.labels.front().text, "1899-12-28 12:00");
    // Six hours after midnight lie to the right of it.
    r = Choose(ElapsedDays(-1.0), ElapsedDays(-1.25), 400);
    ASSERT_EQ(r.step.unit, dsuHour);
    EXPECT_EQ(r.labels.front().text, "1899-12-29");
    EXPECT_EQ(r.labels.back().text, "06:00");
    EXPECT_EQ(r.labels.back().offset, 400);

    // A record's stamp (date and time combined) and the label's value (seconds
    // counted from day 0) can be neighbouring doubles: the stamp that starts
    // the range still has its label.
    double date = 0, time = 0;
    ASSERT_TRUE(TryEncodeDate(1898, 11, 1, date));
    ASSERT_TRUE(TryEncodeTime(13, 1, 19, 0, time));
    const double stamp = static_cast<double>(ElapsedDays(CombineDateTime(date, time)));
    r = Choose(stamp, stamp + 20.0 / 86400, 5000);
    ASSERT_EQ(r.step.unit, dsuSecond);
    ASSERT_EQ(r.step.count, 1);
    EXPECT_EQ(r.labels.front().text, "1898-11-01 13:01:19");
    EXPECT_EQ(r.labels.front().offset, 0);
}

TEST_F(DateSteps, TextsFollowTheLocale) {
    LocaleFormats& f = Formats();
    f.dateMark = '/';
    f.shortDatePattern = "mm/dd/yyyy";
    f.shortTimePattern = "hh:mm AMPM";
    f.amText = "AM";
    f.pmText = "PM";
    // 38 hours on 800 pixels: "hh:mm AM" is 48 pixels, a date 66, the first
    // label (date and time) 119; three hours (63 pixels) cannot hold the first
    // beside the next, six hours (126) can.
    TDateLabels r = Choose(At(2024, 7, 24, 13), At(2024, 7, 26, 3), 800);
    ASSERT_EQ(r.step.unit, dsuHour);
    EXPECT_EQ(r.step.count, 6);
    std::vector<std::string> texts;
    for (const TDateLabel& l : r.labels) texts.push_back(l.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"07/24/2024 06:00 PM", "07/25/2024", "06:00 AM", "12:00 PM",
                                               "06:00 PM", "07/26/2024"}));

    // Months: "mm/yyyy" is 47 pixels, a month about 70.
    r = Choose(At(2023, 11, 5), At(2024, 9, 1), 700);
    ASSERT_EQ(r.step.unit, dsuMonth);
    EXPECT_EQ(r.step.count, 1);
    EXPECT_EQ(r.labels.front().text, "12/2023");

    f.shortDatePattern = "yyyy年mm月dd日";
    // Years: "1992年" is 40 pixels, a year 26, two years 52.
    r = Choose(At(1990, 3, 1), At(2024, 9, 1), 900);
    ASSERT_EQ(r.step.unit, dsuYear);
    EXPECT_EQ(r.step.count, 2);
    EXPECT_EQ(r.labels.front().text, "1992年");
}

TEST(DatePatterns, DayAndMonthLeaveWithTheirSeparators) {
    struct Case {
        const char* pattern;
        const char* monthYear;
        const char* year;
    };
    for (const Case c : {Case{"yyyy-mm-dd", "yyyy-mm", "yyyy"}, Case{"mm/dd/yy", "mm/yyyy", "yyyy"},
                         Case{"m/d/yy", "m/yyyy", "yyyy"}, Case{"dd.mm.yyyy", "mm.yyyy", "yyyy"},
                         Case{"yyyy年mm月dd日", "yyyy年mm月", "yyyy年"}, Case{"yyyy. mm. dd.", "yyyy. mm.", "yyyy."},
                         Case{"dd-mmm-yy", "mmm-yyyy", "yyyy"}, Case{"ddd dd/mm/yyyy", "mm/yyyy", "yyyy"},
                         Case{"d 'de' mmmm 'de' yyyy", "mmmm 'de' yyyy", "yyyy"}}) {
        EXPECT_EQ(MonthYearPattern(c.pattern), c.monthYear) << c.pattern;
        EXPECT_EQ(YearPattern(c.pattern), c.year) << c.pattern;
    }
    // Nothing left to show a month or a year by: the whole date, or the year.
    EXPECT_EQ(MonthYearPattern("dd/mm"), "ddddd");
    EXPECT_EQ(YearPattern("dd/mm"), "yyyy");
    EXPECT_EQ(MonthYearPattern(""), "ddddd");
}
