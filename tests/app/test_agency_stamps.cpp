// Time stamps of agency files: the month-name form, numeric dates in a given
// order and Unix stamps, read alike under locales that know none of them.

#include "AgencyTestSupport.h"
#include "DateTime.h"
#include "Exceptions.h"
#include "FloodStamp.h"
#include "LocaleFormats.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

using agency_test::Bits;

namespace {

DateTimeValue At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    DateTimeValue date = 0, time = 0;
    EXPECT_TRUE(TryEncodeDate(y, mo, d, date) && TryEncodeTime(h, mi, s, ms, time));
    return CombineDateTime(date, time);
}

class AgencyStamps : public ::testing::Test {
protected:
    void SetUp() override { saved_ = Formats(); }
    void TearDown() override { Formats() = saved_; }
    static void UseLocale(char mark, const char* pattern) {
        LocaleFormats& f = Formats();
        f.dateMark = mark;
        f.shortDatePattern = pattern;
        f.timeMark = ':';
        f.decimalMark = mark == '.' ? ',' : '.';
    }

private:
    LocaleFormats saved_;
};

}  // namespace

TEST_F(AgencyStamps, FormsWhateverTheLocale) {
    using O = TDateOrder;
    constexpr TStampOptions s{O::Locale, TTimeFormat::UnixSeconds}, ms{O::Locale, TTimeFormat::UnixMilliseconds};
    const struct {
        TStampOptions options;
        const char* text;
        double expected;   // NAN: refused
    } cases[] = {
        {{}, "11-Mar-1963", At(1963, 3, 11)},          {{}, "01-oct-2004 06:30", At(2004, 10, 1, 6, 30)},
        {{}, "1-DEC-2004 6:05:09  ", At(2004, 12, 1, 6, 5, 9)},
        {{}, "2024-07-01", At(2024, 7, 1)},            {{}, "11-Mar-63", NAN},
        {{}, "31-Feb-2020", NAN},                      {{}, "11-Mae-1963 1:00", NAN},
        {{O::Dmy}, "01/10/2004", At(2004, 10, 1)},     {{O::Dmy}, "1.10.2004 14:00", At(2004, 10, 1, 14)},
        {{O::Dmy}, "01-10-2004 14:00:30 ", At(2004, 10, 1, 14, 0, 30)},
        {{O::Dmy}, "2024-07-01 06:00", At(2024, 7, 1, 6)}, {{O::Dmy}, "11-Mar-1963", At(1963, 3, 11)},
        {{O::Dmy}, "01/10-2004", NAN},                 {{O::Dmy}, "01/10/204", NAN},
        {{O::Dmy}, "29/02/2023", NAN},                 {{O::Dmy}, "01/10/2004 6", NAN},
        {{O::Mdy}, "10/01/2004 6:00", At(2004, 10, 1, 6)}, {{O::Mdy}, "13/01/2004", NAN},
        {{O::Ymd}, "2004.10.1 06:00", At(2004, 10, 1, 6)},
        {{O::Ymd}, "04/10/01", At(WindowedYear(4, CurrentYear(), 50), 10, 1)},
        {s, " +86400.5 ", At(1970, 1, 2, 0, 0, 0, 500)}, {ms, "-1", At(1969, 12, 31, 23, 59, 59, 999)},
        {s, "-2209165200", At(1899, 12, 29, 23)},      {s, "0.0005", At(1970, 1, 1)},
        {s, "-0.0015", At(1969, 12, 31, 23, 59, 59, 998)}, {s, "0.00050001", At(1970, 1, 1, 0, 0, 0, 1)},
        {ms, "3.5", At(1970, 1, 1, 0, 0, 0, 4)},       {s, "253402300799", At(9999, 12, 31, 23, 59, 59)},
        {s, "-62135596800", At(1, 1, 1)},              {s, "253402300800", NAN},
        {s, "-62135596801", NAN},                      {{O::Locale, TTimeFormat::UnixSeconds, -330}, "0", At(1969, 12, 31, 18, 30)},
        {s, "1e9", NAN},                               {s, "1.", NAN},
        {s, "2024-07-01", NAN},                        {s, "99999999999999", NAN},
    };
    for (const auto& [mark, pattern] : {std::pair{'/', "m/d/yy"}, std::pair{'.', "dd.mm.yyyy"}}) {
        UseLocale(mark, pattern);
        for (const auto& c : cases) {
            TFloodStampReader reader(c.options);
            DateTimeValue value = -7;
            ASSERT_EQ(reader.TryRead(c.text, value), !std::isnan(c.expected)) << c.text << " under " << pattern;
            if (std::isnan(c.expected)) {
                EXPECT_THROW(reader.Read(c.text), EConvertError);
                continue;
            }
            EXPECT_EQ(Bits(value), Bits(c.expected)) << c.text << " under " << pattern;
            EXPECT_EQ(Bits(reader.Read(c.text)), Bits(c.expected)) << c.text;
        }
    }
    // Without a date order the locale reads what none of the forms does, as
    // before; with one it is not asked.
    EXPECT_EQ(Bits(TFloodStampReader().Read("01.10.2004")), Bits(At(2004, 10, 1)));
    EXPECT_THROW(TFloodStampReader({O::Mdy}).Read("13.01.2004"), EConvertError);
}

// A Unix stamp gives the value its local date and time give as text, to the
// bit, over the whole calendar (before 1899-12-30 too) and at every offset.
TEST_F(AgencyStamps, UnixStampsAsTheirText) {
    UseLocale('-', "yyyy-mm-dd");
    using namespace std::chrono;
    constexpr std::int64_t kFirst = -62135596800000LL, kLast = 253402300799999LL;
    std::mt19937_64 rng(1970);
    for (int k = 0; k < 20000; ++k) {
        // Most within a few centuries of now, the rest anywhere; a third in whole seconds.
        const std::int64_t span = k % 4 ? 8000000000000LL : kLast - kFirst;
        std::int64_t ms = (k % 4 ? -3000000000000LL : kFirst) + static_cast<std::int64_t>(rng() % span);
        if (k % 3 == 0) ms -= ms % 1000;
        const int offset = static_cast<int>(rng() % (2 * 18 * 60 + 1)) - 18 * 60;
        const std::int64_t local = ms + offset * 60000LL;
        if (local < kFirst || local > kLast) continue;
        const auto day = floor<days>(sys_time<milliseconds>(milliseconds(local)));
        const year_month_day ymd(day);
        const std::int64_t t = local - duration_cast<milliseconds>(day.time_since_epoch()).count();
        char text[64], seconds[64];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d.%03d", static_cast<int>(ymd.year()),
                      static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()), static_cast<int>(t / 3600000),
                      static_cast<int>(t / 60000 % 60), static_cast<int>(t / 1000 % 60), static_cast<int>(t % 1000));
        std::snprintf(seconds, sizeof seconds, "%s%lld.%03lld", ms < 0 ? "-" : "", std::llabs(ms) / 1000,
                      std::llabs(ms) % 1000);
        const DateTimeValue expected = StampFromText(text);
        DateTimeValue fromMs = 0, fromS = 0;
        ASSERT_TRUE(ReadUnixStamp(std::to_string(ms), TTimeFormat::UnixMilliseconds, offset, fromMs)) << ms;
        ASSERT_TRUE(ReadUnixStamp(seconds, TTimeFormat::UnixSeconds, offset, fromS)) << seconds;
        ASSERT_EQ(Bits(fromMs), Bits(expected)) << ms << " at " << offset << " is " << text;
        ASSERT_EQ(Bits(fromS), Bits(expected)) << seconds << " at " << offset << " is " << text;
    }
}
