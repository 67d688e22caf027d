// The options that describe an agency's files: what each reads, and that
// each bad text is refused with a message naming the option and the text.

#include "AgencyTestSupport.h"
#include "ColumnMap.h"
#include "DatedCurves.h"
#include "FloodStamp.h"
#include "RecordGaps.h"
#include "RecordUnits.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>

using agency_test::Refusal;

TEST(AgencyOptions, WhatTheyRead) {
    using Q = TRecordQuantity;
    const TColumnOption columns =
        ParseFloodColumns(" TIME = Date ,level=2, outflow=Total Release (cfs),loss=4,Loss=Inflow** (cfs)");
    EXPECT_EQ(columns.choices, (std::vector<TColumnChoice>{{Q::Time, {0, "Date"}}, {Q::Level, {2, ""}},
                                                           {Q::Outflow, {0, "Total Release (cfs)"}},
                                                           {Q::Loss, {4, ""}}, {Q::Loss, {0, "Inflow** (cfs)"}}}));
    EXPECT_TRUE(columns.NamesHeadings());
    EXPECT_FALSE(ParseCurveColumns("storage=2 , level=1").NamesHeadings());
    EXPECT_EQ(ParseUnits(" level=FT, storage=af ,flow=cfs,loss=AF"),
              (TRecordUnits{TLevelUnit::Ft, TStorageUnit::Af, TFlowUnit::Cfs, TLossUnit::Af}));
    EXPECT_TRUE(ParseUnits("level=m").AllDefault());
    EXPECT_EQ(ParseDateOrder(" DMY"), TDateOrder::Dmy);
    EXPECT_EQ(ParseTimeFormat("unix-ms"), TTimeFormat::UnixMilliseconds);
    EXPECT_EQ(ParseUtcOffset("-05:30"), -330);
    EXPECT_EQ(ParseUtcOffset("+18:00"), 1080);
    EXPECT_EQ(ParseMissingMode("skip"), TMissingMode::Skip);
    EXPECT_EQ(ParseMissingValue("-96759.0"), Currency{-967590000});
    // The '@' rule: only a date-like text after the last '@' is a date.
    const std::pair<const char*, TCurveArgument> curves[] = {
        {"powell_capacity_2017.csv@2022-07-01", {"powell_capacity_2017.csv", 44743}},
        {"a@b/c.csv@1983-5-1", {"a@b/c.csv", 30437}},
        {"backup@home/curve.csv", {"backup@home/curve.csv", std::nullopt}},
        {"odd@2022-07-01@", {"odd@2022-07-01", std::nullopt}},
        {"curve@2x.txt", {"curve@2x.txt", std::nullopt}},
    };
    for (const auto& [text, curve] : curves) EXPECT_EQ(ParseCurveArgument(text), curve) << text;
}

TEST(AgencyOptions, Refusals) {
    const std::map<std::string, std::function<void(const char*)>> parse{
        {"--columns", [](const char* t) { ParseFloodColumns(t); }},
        {"--curve-columns", [](const char* t) { ParseCurveColumns(t); }},
        {"--units", [](const char* t) { ParseUnits(t); }},
        {"--date-order", [](const char* t) { ParseDateOrder(t); }},
        {"--time-format", [](const char* t) { ParseTimeFormat(t); }},
        {"--utc-offset", [](const char* t) { ParseUtcOffset(t); }},
        {"--curve", [](const char* t) { ParseCurveArgument(t); }},
        {"--missing", [](const char* t) { ParseMissingMode(t); }},
        {"--missing-value", [](const char* t) { ParseMissingValue(t); }},
    };
    const struct {
        const char* option;
        const char* text;
        const char* message;   // after "OPTION: "
    } refused[] = {
        {"--columns", "", "no columns given"},
        {"--columns", "time=1,,level=2,outflow=3", "empty item in 'time=1,,level=2,outflow=3'"},
        {"--columns", "time=1,level", "'level' is not QUANTITY=COLUMN"},
        {"--columns", "time=1,flow=2", "unknown quantity 'flow' (time, level, outflow or loss)"},
        {"--curve-columns", "level=1,volume=2", "unknown quantity 'volume' (level, storage or area)"},
        {"--columns", "time=1,level=,outflow=3", "no column given for level"},
        {"--columns", "time=1,level=0,outflow=3", "bad field number '0' for level (fields count from 1)"},
        {"--columns", "time=1,level=2.5,outflow=3", "bad field number '2.5' for level (fields count from 1)"},
        {"--columns", "time=1,level=2,outflow=3,level=4", "level given twice"},
        {"--columns", "time=1,level=2,outflow=2", "level and outflow both name field 2"},
        {"--columns", "time=Date,level=date,outflow=3", "time and level both name heading 'date'"},
        {"--columns", "time=1,level=2", "no column for outflow (time, level and outflow are needed)"},
        {"--curve-columns", "storage=2,area=3", "no column for level (level and storage are needed)"},
        {"--units", "", "no units given"},
        {"--units", "flow=cms", "unknown flow unit 'cms' (m3/s or cfs)"},
        {"--units", "storage=acre-ft", "unknown storage unit 'acre-ft' (1e8m3, 1e6m3, m3, af, kaf or maf)"},
        {"--units", "loss=kaf", "unknown loss unit 'kaf' (m3/s, cfs, m3 or af)"},
        {"--units", "area=sqmi", "unknown area unit 'sqmi' (km2, m2, ha or acres)"},
        {"--units", "depth=m", "unknown quantity 'depth' (level, storage, flow, loss or area)"},
        {"--units", "flow=cfs,flow=cfs", "flow given twice"},
        {"--units", "ft", "'ft' is not QUANTITY=UNIT"},
        {"--date-order", "dm", "unknown order 'dm' (dmy, mdy or ymd)"},
        {"--time-format", "unix", "unknown format 'unix' (unix-s or unix-ms)"},
        {"--utc-offset", "+8:00", "'+8:00' is not +HH:MM or -HH:MM (as +08:00)"},
        {"--utc-offset", "+08:60", "'+08:60' is not +HH:MM or -HH:MM (as +08:00)"},
        {"--utc-offset", "+18:01", "'+18:01' is beyond 18 hours from UTC"},
        {"--curve", "c.csv@2022-02-30",
         "'2022-02-30' in 'c.csv@2022-02-30' is no date YYYY-MM-DD (a name ending so is written with '@' at its end)"},
        {"--curve", "c.csv@22-07-01",
         "'22-07-01' in 'c.csv@22-07-01' is no date YYYY-MM-DD (a name ending so is written with '@' at its end)"},
        {"--curve", "@2022-07-01", "no file name in '@2022-07-01'"},
        {"--missing", "drop", "takes skip, not 'drop'"},
        {"--missing-value", "-9x", "'-9x' is no number"},
        {"--missing-value", " ", "' ' is no number"},
    };
    for (const auto& r : refused)
        EXPECT_EQ(Refusal([&] { parse.at(r.option)(r.text); }), std::string(r.option) + ": " + r.message)
            << r.option << ' ' << r.text;
    // Options that do not go together.
    EXPECT_EQ(Refusal([] { CheckStampOptions({TDateOrder::Dmy, TTimeFormat::UnixSeconds}, false); }),
              "--date-order: Unix stamps (--time-format) have no dates to order");
    EXPECT_EQ(Refusal([] { CheckStampOptions({TDateOrder::Dmy}, true); }),
              "--utc-offset: only Unix stamps are in UTC; give --time-format unix-s or unix-ms");
    EXPECT_EQ(Refusal([] { CheckStampOptions({TDateOrder::Locale, TTimeFormat::UnixSeconds, 60}, true); }), "");
    EXPECT_EQ(Refusal([] { TCurveSchedule({ParseCurveArgument("a"), ParseCurveArgument("b")}); }),
              "--curve: 'a' and 'b' both have no date; give all but one a date as FILE@YYYY-MM-DD");
    EXPECT_EQ(Refusal([] {
                  TCurveSchedule({ParseCurveArgument("a@2022-07-01"), ParseCurveArgument("c"),
                                  ParseCurveArgument("b@2022-7-1")});
              }),
              "--curve: 'a' and 'b' both hold from 2022-07-01");
}
