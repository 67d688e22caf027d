// Time stamps of agency files: the month-name form, numeric dates in a given
// order, Unix seconds and milliseconds with an offset, and their options.

#include "DateTime.h"
#include "Exceptions.h"
#include "FloodStamp.h"
#include "LocaleFormats.h"
#include "OptionText.h"

#include <gtest/gtest.h>

#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>

namespace {

std::uint64_t Bits(double x) {
    return std::bit_cast<std::uint64_t>(x);
}

DateTimeValue Encode(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    DateTimeValue date = 0, time = 0;
    EXPECT_TRUE(TryEncodeDate(y, mo, d, date)) << y << '-' << mo << '-' << d;
    EXPECT_TRUE(TryEncodeTime(h, mi, s, ms, time));
    return CombineDateTime(date, time);
}

class AgencyStamps : public ::testing::Test {
  protected:
    void SetUp() override { saved_ = Formats(); }
    void TearDown() override { Formats() = saved_; }
    // Locales whose own reading knows none of the forms below.
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

template <class F> std::string Refusal(F parse) {
    try {
        parse();
    } catch (const EOptionError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST_F(AgencyStamps, FormsWhateverTheLocale) {
    using O = TDateOrder;
    using F = TTimeFormat;
    const int y04 = WindowedYear(4, CurrentYear(), 50);
    const struct {
        TStampOptions options;
        const char* text;
        double expected; // NAN: refused
    } cases[] = {
        {{}, "11-Mar-1963", Encode(1963, 3, 11)},
        {{}, "01-oct-2004 06:30", Encode(2004, 10, 1, 6, 30)},
        {{}, "1-DEC-2004 6:05:09  ", Encode(2004, 12, 1, 6, 5, 9)},
        {{}, "2024-07-01", Encode(2024, 7, 1)},
        {{}, "11-Mar-63", NAN},
        {{}, "31-Feb-2020", NAN},
        {{}, "11-Mae-1963", NAN},
        {{}, "11-Mar-1963 25:00", NAN},
        {{O::Dmy}, "01/10/2004", Encode(2004, 10, 1)},
        {{O::Dmy}, "1.10.2004 14:00", Encode(2004, 10, 1, 14)},
        {{O::Dmy}, "01-10-2004 14:00:30 ", Encode(2004, 10, 1, 14, 0, 30)},
        {{O::Dmy}, "2024-07-01 06:00", Encode(2024, 7, 1, 6)},
        {{O::Dmy}, "11-Mar-1963", Encode(1963, 3, 11)},
        {{O::Dmy}, "01/10-2004", NAN},
        {{O::Dmy}, "13/13/2004", NAN},
        {{O::Dmy}, "01/10/204", NAN},
        {{O::Dmy}, "29/02/2023", NAN},
        {{O::Dmy}, "001/10/2004", NAN},
        {{O::Dmy}, "01/10/2004 6", NAN},
        {{O::Mdy}, "10/01/2004", Encode(2004, 10, 1)},
        {{O::Mdy}, "10/01/2004 6:00", Encode(2004, 10, 1, 6)},
        {{O::Mdy}, "13/01/2004", NAN},
        {{O::Mdy}, "2004/10/01 6:00", Encode(2004, 10, 1, 6)},
        {{O::Mdy}, "2004/13/01", NAN},
        {{O::Ymd}, "2004.10.01 06:00", Encode(2004, 10, 1, 6)},
        {{O::Ymd}, "04/10/01", Encode(y04, 10, 1)},
        {{O::Ymd}, "2004-10-01T06:00", Encode(2004, 10, 1, 6)},
        {{O::Locale, F::UnixSeconds}, "0", Encode(1970, 1, 1)},
        {{O::Locale, F::UnixSeconds}, " +86400.5 ", Encode(1970, 1, 2, 0, 0, 0, 500)},
        {{O::Locale, F::UnixMilliseconds}, "-1", Encode(1969, 12, 31, 23, 59, 59, 999)},
        {{O::Locale, F::UnixSeconds}, "-2209161600", 0.0},
        {{O::Locale, F::UnixSeconds}, "-2209165200", Encode(1899, 12, 29, 23)},
        {{O::Locale, F::UnixSeconds}, "0.0005", Encode(1970, 1, 1)},
        {{O::Locale, F::UnixSeconds}, "0.0015", Encode(1970, 1, 1, 0, 0, 0, 2)},
        {{O::Locale, F::UnixSeconds}, "-0.0015", Encode(1969, 12, 31, 23, 59, 59, 998)},
        {{O::Locale, F::UnixSeconds}, "0.00050001", Encode(1970, 1, 1, 0, 0, 0, 1)},
        {{O::Locale, F::UnixMilliseconds}, "3.5", Encode(1970, 1, 1, 0, 0, 0, 4)},
        {{O::Locale, F::UnixSeconds}, "253402300799", Encode(9999, 12, 31, 23, 59, 59)},
        {{O::Locale, F::UnixSeconds}, "-62135596800", Encode(1, 1, 1)},
        {{O::Locale, F::UnixSeconds}, "253402300800", NAN},
        {{O::Locale, F::UnixSeconds}, "-62135596801", NAN},
        {{O::Locale, F::UnixSeconds, 480}, "0", Encode(1970, 1, 1, 8)},
        {{O::Locale, F::UnixSeconds, -330}, "0", Encode(1969, 12, 31, 18, 30)},
        {{O::Locale, F::UnixSeconds}, "1e9", NAN},
        {{O::Locale, F::UnixSeconds}, "1.", NAN},
        {{O::Locale, F::UnixSeconds}, "", NAN},
        {{O::Locale, F::UnixSeconds}, "2024-07-01", NAN},
        {{O::Locale, F::UnixSeconds}, "99999999999999", NAN},
    };
    for (const auto& [mark, pattern] : {std::pair{'/', "m/d/yy"}, std::pair{'.', "dd.mm.yyyy"}}) {
        UseLocale(mark, pattern);
        for (const auto& c : cases) {
            TFloodStampReader reader(c.options);
            DateTimeValue value = -7;
            const bool read = reader.TryRead(c.text, value);
            ASSERT_EQ(read, !std::isnan(c.expected)) << c.text << " under " << pattern;
            if (!read) {
                try {
                    reader.Read(c.text);
                    ADD_FAILURE() << c.text;
                } catch (const EConvertError& e) {
                    EXPECT_EQ(std::string(e.what()),
                              "'" + std::string(c.text) + "' is not a valid date and time");
                }
                continue;
            }
            EXPECT_EQ(Bits(value), Bits(c.expected)) << c.text << " under " << pattern;
            EXPECT_EQ(Bits(reader.Read(c.text)), Bits(c.expected)) << c.text;
        }
    }
    // Without a date order the locale reads what none of the forms does, as before.
    UseLocale('/', "m/d/yy");
    EXPECT_EQ(Bits(TFloodStampReader().Read("10/01/2004")), Bits(StampFromText("10/01/2004")));
    UseLocale('.', "dd.mm.yyyy");
    EXPECT_EQ(Bits(TFloodStampReader().Read("01.10.2004")), Bits(Encode(2004, 10, 1)));
    EXPECT_THROW(TFloodStampReader({TDateOrder::Mdy}).Read("13.01.2004"), EConvertError)
        << "the locale is not asked";
}

// A Unix stamp gives the value its local date and time give as text, to the
// bit, over the whole calendar (before 1899-12-30 too) and every offset.
TEST_F(AgencyStamps, UnixStampsAsTheirText) {
    UseLocale('-', "yyyy-mm-dd");
    using namespace std::chrono;
    constexpr std::int64_t kFirst = -62135596800000LL, kLast = 253402300799999LL;
    std::mt19937_64 rng(1970);
    for (int k = 0; k < 20000; ++k) {
        // Most of them within a few centuries of now, the rest anywhere.
        const std::int64_t span = k % 4 ? 8000000000000LL : kLast - kFirst;
        const std::int64_t origin = k % 4 ? -3000000000000LL : kFirst;
        const int offset = static_cast<int>(rng() % (2 * 18 * 60 + 1)) - 18 * 60;
        std::int64_t ms =
            origin + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>(span));
        if (k % 3 == 0) ms -= ms % 1000; // whole seconds
        const std::int64_t local = ms + offset * 60000LL;
        if (local < kFirst || local > kLast) continue;
        const auto day = floor<days>(sys_time<milliseconds>(milliseconds(local)));
        const year_month_day ymd(day);
        const std::int64_t msOfDay =
            local - duration_cast<milliseconds>(day.time_since_epoch()).count();
        char text[64];
        std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d.%03d",
                      static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                      static_cast<unsigned>(ymd.day()), static_cast<int>(msOfDay / 3600000),
                      static_cast<int>(msOfDay / 60000 % 60), static_cast<int>(msOfDay / 1000 % 60),
                      static_cast<int>(msOfDay % 1000));
        const DateTimeValue expected = StampFromText(text);
        const std::uint64_t magnitude = ms < 0 ? 0ULL - static_cast<std::uint64_t>(ms) : ms;
        char seconds[64];
        std::snprintf(seconds, sizeof seconds, "%s%llu.%03llu", ms < 0 ? "-" : "",
                      static_cast<unsigned long long>(magnitude / 1000),
                      static_cast<unsigned long long>(magnitude % 1000));
        DateTimeValue fromMs = 0, fromS = 0;
        ASSERT_TRUE(
            ReadUnixStamp(std::to_string(ms), TTimeFormat::UnixMilliseconds, offset, fromMs))
            << ms;
        ASSERT_TRUE(ReadUnixStamp(seconds, TTimeFormat::UnixSeconds, offset, fromS)) << seconds;
        ASSERT_EQ(Bits(fromMs), Bits(expected)) << ms << " at " << offset << " is " << text;
        ASSERT_EQ(Bits(fromS), Bits(expected)) << seconds << " at " << offset << " is " << text;
    }
}

TEST(AgencyStampOptions, OptionTexts) {
    EXPECT_EQ(ParseDateOrder("DMY"), TDateOrder::Dmy);
    EXPECT_EQ(ParseDateOrder("mdy"), TDateOrder::Mdy);
    EXPECT_EQ(ParseDateOrder(" ymd"), TDateOrder::Ymd);
    EXPECT_EQ(ParseTimeFormat("unix-s"), TTimeFormat::UnixSeconds);
    EXPECT_EQ(ParseTimeFormat("unix-ms"), TTimeFormat::UnixMilliseconds);
    EXPECT_EQ(ParseUtcOffset("+08:00"), 480);
    EXPECT_EQ(ParseUtcOffset("-05:30"), -330);
    EXPECT_EQ(ParseUtcOffset("-18:00"), -1080);
    EXPECT_EQ(ParseUtcOffset("+00:00"), 0);
    const struct {
        std::string message;
        const char* expected;
    } refused[] = {
        {Refusal([] { ParseDateOrder("dm"); }),
         "--date-order: unknown order 'dm' (dmy, mdy or ymd)"},
        {Refusal([] { ParseTimeFormat("unix"); }),
         "--time-format: unknown format 'unix' (unix-s or unix-ms)"},
        {Refusal([] { ParseUtcOffset("8"); }),
         "--utc-offset: '8' is not +HH:MM or -HH:MM (as +08:00)"},
        {Refusal([] { ParseUtcOffset("+8:00"); }),
         "--utc-offset: '+8:00' is not +HH:MM or -HH:MM (as +08:00)"},
        {Refusal([] { ParseUtcOffset("+0800"); }),
         "--utc-offset: '+0800' is not +HH:MM or -HH:MM (as +08:00)"},
        {Refusal([] { ParseUtcOffset("+08:60"); }),
         "--utc-offset: '+08:60' is not +HH:MM or -HH:MM (as +08:00)"},
        {Refusal([] { ParseUtcOffset("+18:01"); }),
         "--utc-offset: '+18:01' is beyond 18 hours from UTC"},
        {Refusal([] {
             CheckStampOptions({TDateOrder::Dmy, TTimeFormat::UnixSeconds}, false);
         }),
         "--date-order: Unix stamps (--time-format) have no dates to order"},
        {Refusal([] { CheckStampOptions({TDateOrder::Dmy}, true); }),
         "--utc-offset: only Unix stamps are in UTC; give --time-format unix-s or unix-ms"},
        {Refusal([] {
             CheckStampOptions({TDateOrder::Locale, TTimeFormat::UnixMilliseconds, 60}, true);
         }),
         ""},
    };
    for (const auto& r : refused)
        EXPECT_EQ(r.message, r.expected);
}
