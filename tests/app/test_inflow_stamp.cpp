// Time stamps of the flood record (the documented form whatever the locale)
// and of the result file.

#include "DateTime.h"
#include "Exceptions.h"
#include "FloodStamp.h"
#include "LocaleFormats.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <fstream>
#include <random>
#include <string>

namespace {

class StampTest : public ::testing::Test {
protected:
    void SetUp() override { saved_ = Formats(); }
    void TearDown() override { Formats() = saved_; }

    static void UseSlashLocale() {
        LocaleFormats& f = Formats();
        f.dateMark = '/';
        f.shortDatePattern = "m/d/yy";
        f.timeMark = ':';
        f.longTimePattern = "h:mm:ss";
    }

private:
    LocaleFormats saved_;
};

DateTimeValue Encode(int y, int mo, int d, int h = 0, int mi = 0, int s = 0) {
    DateTimeValue date = 0, time = 0;
    EXPECT_TRUE(TryEncodeDate(y, mo, d, date));
    EXPECT_TRUE(TryEncodeTime(h, mi, s, 0, time));
    return CombineDateTime(date, time);
}

std::uint64_t Bits(double x) { return std::bit_cast<std::uint64_t>(x); }

}  // namespace

TEST_F(StampTest, DocumentedFormWhateverTheLocale) {
    UseSlashLocale();   // where the locale's own reading fails on every such stamp
    DateTimeValue v = -1;
    ASSERT_TRUE(ReadDocumentedStamp("2007-07-29 06-30-15", v));
    EXPECT_EQ(Bits(v), Bits(Encode(2007, 7, 29, 6, 30, 15)));
    ASSERT_TRUE(ReadDocumentedStamp("2007-07-29 06:30:15", v));
    EXPECT_EQ(Bits(v), Bits(Encode(2007, 7, 29, 6, 30, 15)));
    ASSERT_TRUE(ReadDocumentedStamp("2007-7-9 6-5-3", v));
    EXPECT_EQ(Bits(v), Bits(Encode(2007, 7, 9, 6, 5, 3)));
    ASSERT_TRUE(ReadDocumentedStamp("2007-07-29", v));
    EXPECT_EQ(Bits(v), Bits(Encode(2007, 7, 29)));
    ASSERT_TRUE(ReadDocumentedStamp("2007-07-29   23-59-59  ", v));
    EXPECT_EQ(Bits(v), Bits(Encode(2007, 7, 29, 23, 59, 59)));
    ASSERT_TRUE(ReadDocumentedStamp("2007-07-29 ", v));
    EXPECT_EQ(Bits(v), Bits(Encode(2007, 7, 29)));
    ASSERT_TRUE(ReadDocumentedStamp("2008-02-29 00-00-00", v));
    EXPECT_EQ(Bits(v), Bits(Encode(2008, 2, 29)));
    ASSERT_TRUE(ReadDocumentedStamp("1899-12-29 12-00-00", v)) << "before day 0: date - time";
    EXPECT_EQ(Bits(v), Bits(Encode(1899, 12, 29, 12)));
    EXPECT_EQ(v, -1.5);
}

TEST_F(StampTest, TextsOutsideTheDocumentedForm) {
    for (const char* text : {"2007-07-29 06-30:15", "2007-07-29 06:30-15", "207-07-29", "20070-07-29",
                             "2007-007-29", "2007-07-029", "2007-07-29 06-30", "2007-07-29 06",
                             "2007-07-29 006-30-15", "2007-07-29T06-30-15", "2007/07/29 06-30-15",
                             " 2007-07-29", "2007-07-29 06-30-15 x", "2007-07-29 06-30-15.5", "",
                             "2007-02-29", "2007-13-01", "2007-00-10", "2007-07-32",
                             "2007-07-29 24-00-00", "2007-07-29 23-60-00", "2007-07-29 23-00-60",
                             "0000-01-01"}) {
        DateTimeValue v = 123;
        EXPECT_FALSE(ReadDocumentedStamp(text, v)) << text;
        EXPECT_EQ(v, 123) << text;
    }
}

TEST_F(StampTest, IsoAndYearFirstSlashFormsWhateverTheLocale) {
    UseSlashLocale();
    const struct {
        const char* text;
        DateTimeValue value;
    } cases[] = {
        {"2024-07-24T14:00:00", Encode(2024, 7, 24, 14)},
        {"2024-07-24T14:05", Encode(2024, 7, 24, 14, 5)},
        {"2024-7-4T9:05:07", Encode(2024, 7, 4, 9, 5, 7)},
        {"2024/7/24 14:00", Encode(2024, 7, 24, 14)},
        {"2024/07/24 14:00:30", Encode(2024, 7, 24, 14, 0, 30)},
        {"2024/7/24", Encode(2024, 7, 24)},
        {"2024/7/24  8:00  ", Encode(2024, 7, 24, 8)},
    };
    for (const auto& c : cases) {
        DateTimeValue v = -1;
        ASSERT_TRUE(ReadDocumentedStamp(c.text, v)) << c.text;
        EXPECT_EQ(Bits(v), Bits(c.value)) << c.text;
    }
    for (const char* text : {"2024-07-24T14", "2024-07-24T14:00:", "2024-07-24T", "2024-07-24 T14:00",
                             "2024/7/24T14:00", "2024/7-24 14:00", "2024-7/24", "2024/7/24 14", "2024/7/24 14-00",
                             "24/7/2024 14:00", "2024/2/30", "2024/7/24 24:00", "2024-07-24T14:60"}) {
        DateTimeValue v = 123;
        EXPECT_FALSE(ReadDocumentedStamp(text, v)) << text;
    }
}

// The real record as its source wrote it, and as ISO 8601 has it, read under
// a locale whose own reading knows neither: the same values as the converted file.
TEST_F(StampTest, RealRecordInSpreadsheetForms) {
    UseSlashLocale();
    const std::string dir = std::string(QUELMORA_SOURCE_DIR) + "/../shared/realdata/";
    auto stamps = [&](const std::string& name) {
        std::ifstream in(dir + name);
        std::string line;
        std::getline(in, line);
        std::vector<std::uint64_t> out;
        TFloodStampReader reader;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            out.push_back(Bits(reader.Read(line.substr(0, line.find(',')))));
        }
        return out;
    };
    const std::vector<std::uint64_t> documented = stamps("tankan_flood.txt");
    ASSERT_EQ(documented.size(), 31u);
    EXPECT_EQ(stamps("tankan_flood_slash_stamps.txt"), documented);
    EXPECT_EQ(stamps("tankan_flood_iso_t_stamps.txt"), documented);
}

// Where the locale itself reads the documented form completely, both
// readings agree to the last bit.
TEST_F(StampTest, SameValueAsTheLocaleReadingWhereThatWorks) {
    LocaleFormats& f = Formats();
    f.dateMark = '-';
    f.shortDatePattern = "yyyy-mm-dd";
    f.timeMark = '-';
    std::mt19937 rng(11);
    for (int k = 0; k < 2000; ++k) {
        const int y = std::uniform_int_distribution<int>(1900, 2100)(rng);
        const int mo = std::uniform_int_distribution<int>(1, 12)(rng);
        const int d = std::uniform_int_distribution<int>(1, 28)(rng);
        const int h = std::uniform_int_distribution<int>(0, 23)(rng);
        const int mi = std::uniform_int_distribution<int>(0, 59)(rng);
        const int s = std::uniform_int_distribution<int>(0, 59)(rng);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d-%02d-%02d", y, mo, d, h, mi, s);
        DateTimeValue ours = 0;
        ASSERT_TRUE(ReadDocumentedStamp(text, ours)) << text;
        ASSERT_EQ(Bits(ours), Bits(StampFromText(text))) << text;
    }
}

TEST_F(StampTest, FloodReaderFallsBackToTheLocale) {
    UseSlashLocale();
    TFloodStampReader reader;
    EXPECT_EQ(Bits(reader.Read("2007-07-29 06-30-00")), Bits(Encode(2007, 7, 29, 6, 30)));
    EXPECT_EQ(Bits(reader.Read("2007-07-29 07-00-00")), Bits(Encode(2007, 7, 29, 7)));
    EXPECT_EQ(Bits(reader.Read("2007-07-30")), Bits(Encode(2007, 7, 30)));
    // The locale's own form still reads.
    EXPECT_EQ(Bits(reader.Read("7/29/2007 6:30:00")), Bits(StampFromText("7/29/2007 6:30:00")));
    // Neither form: the locale's message.
    try {
        reader.Read("2007/07/29 06-00-00");
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'2007/07/29 06-00-00' is not a valid date and time");
    }
    // An impossible date in the documented form is no stamp, even right after
    // valid ones of other days.
    EXPECT_THROW(reader.Read("2007-02-30 06-00-00"), EConvertError);
    EXPECT_THROW(reader.Read("0000-00-00"), EConvertError);
    EXPECT_EQ(Bits(reader.Read("2007-07-30 01-00-00")), Bits(Encode(2007, 7, 30, 1)));
}

// The result file's stamps, made with reuse of dates and times of day, are
// StampToText's own under every kind of pattern.
TEST_F(StampTest, StampTextsEqualStampToText) {
    struct Patterns {
        const char* date;
        const char* time;
    };
    const Patterns cases[] = {
        {"yyyy-mm-dd", "hh:mm:ss"},        {"m/d/yy", "h:mm:ss"},
        {"yyyy-M-d", "AMPM h:mm:ss"},      {"dd.mm.yyyy", "h:mm:ss AMPM"},
        {"dddd d mmmm yyyy", "hh:mm:ss"},  {"yyyy-mm-dd hh", "hh:mm:ss"},   // no reuse
        {"yyyy-mm-dd", "hh:nn"},           {"ddddd", "tt"},                 // no reuse
    };
    std::mt19937 rng(5);
    for (const Patterns& p : cases) {
        LocaleFormats& f = Formats();
        f.shortDatePattern = p.date;
        f.longTimePattern = p.time;
        f.amText = "上午";
        f.pmText = "下午";
        TStampTexts texts;
        double t = 39292.0;   // 2007-07-29
        for (int k = 0; k < 3000; ++k) {
            const int step = std::uniform_int_distribution<int>(0, 9)(rng);
            if (step < 5) t += 5.0 / 1440;          // five minutes on
            else if (step < 8) t += 1.0 / 24;       // an hour on
            else if (step == 8) t = std::floor(t) + 1;   // midnight
            else t = std::floor(t) + 0.0004 / 86400;     // milliseconds alone
            for (const double value : {t, -t, t * 1e-6}) {
                std::string out = "x";
                texts.Append(out, value);
                ASSERT_EQ(out, "x" + StampToText(value)) << p.date << " | " << p.time << " " << value;
            }
        }
    }
}
