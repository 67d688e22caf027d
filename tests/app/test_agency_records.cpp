// The blocks a reader of agency files is built from, on the agencies' own
// files: fields and headings, notes at the end, gaps, dated curves, and
// values that betray the wrong units.

#include "AgencyTestSupport.h"
#include "ColumnMap.h"
#include "DatedCurves.h"
#include "FloodStamp.h"
#include "Plausibility.h"
#include "RecordGaps.h"
#include "RecordLine.h"

#include <gtest/gtest.h>

#include <algorithm>

using agency_test::PublishedLines;
using agency_test::Refusal;
using Fields = std::vector<std::size_t>;

namespace {

DateTimeValue At(int y, int mo, int d, int h = 0, int mi = 0) {
    DateTimeValue date = 0, time = 0;
    EXPECT_TRUE(TryEncodeDate(y, mo, d, date) && TryEncodeTime(h, mi, 0, 0, time));
    return CombineDateTime(date, time);
}

}  // namespace

TEST(AgencyRecords, FieldsAndPublishedHeadings) {
    std::vector<std::string_view> fields{"stale"};
    SplitFields("", fields);
    EXPECT_EQ(fields, std::vector<std::string_view>{""});
    SplitFields("10-Jan-2026,3538.72,133, ,\"a,b\"", fields);   // no quoting
    EXPECT_EQ(fields, (std::vector<std::string_view>{"10-Jan-2026", "3538.72", "133", " ", "\"a", "b\""}));
    EXPECT_EQ(HeadingNames(" \xEF\xBB\xBFtime ,prcp,\tlevel\r,"), (std::vector<std::string_view>{"time", "prcp", "level", ""}));

    const std::string powell = PublishedLines("powell_daily_usbr.csv")[0];
    const TFloodFields p = ResolveFloodColumns(
        ParseFloodColumns("time=Date,level=Elevation (feet),outflow=Total Release (cfs),loss=Evaporation (af)"), powell, "p");
    EXPECT_EQ((Fields{p.time, p.level, p.outflow, p.losses.at(0), p.FieldsNeeded()}), (Fields{0, 1, 9, 3, 10}));
    // The byte-order mark before "time" does not hide it.
    const std::string tankan = PublishedLines("tankan_event_2024072617.csv")[0];
    const TFloodFields t = ResolveFloodColumns(ParseFloodColumns("time=time,level=LEVEL,outflow=5"), tankan, "t");
    EXPECT_EQ((Fields{t.time, t.level, t.outflow}), (Fields{0, 2, 4}));
    const TCurveFields c = ResolveCurveColumns(ParseCurveColumns("level=elevation (FEET),storage=Capacity (acre-feet),area=3"),
                                               PublishedLines("powell_capacity_2017.csv")[0], "c");
    EXPECT_EQ((Fields{c.level, c.storage, c.area.value()}), (Fields{0, 1, 2}));
    EXPECT_EQ(ResolveCurveColumns(ParseCurveColumns("level=1,storage=Live Storage (ac-ft)"),
                                  PublishedLines("powell_capacity_pre2017.csv")[0], "c").storage, 1u);

    EXPECT_EQ(Refusal([&] { ResolveFloodColumns(ParseFloodColumns("time=time,level=Level (m),outflow=5"), tankan, "t.csv"); }),
              "--columns: no heading 'Level (m)' in t.csv; its headings: 'time', 'prcp', 'level', 'inflow', 'outflow'");
    EXPECT_EQ(Refusal([&] { ResolveFloodColumns(ParseFloodColumns("time=1,level=Elevation (feet),outflow=2"), powell, "p"); }),
              "--columns: level and outflow both name field 2 of p");
    EXPECT_EQ(Refusal([] { ResolveCurveColumns(ParseCurveColumns("level=a,storage=B"), "a,b, A", "x"); }),
              "--curve-columns: heading 'a' names fields 1 and 3 of x; give its field number");
}

// Powell's file ends in a blank line and four notes; every line before them
// reads as a stamp.
TEST(AgencyRecords, NotesAtTheEndOfPowellsFile) {
    const std::vector<std::string> lines = PublishedLines("powell_daily_usbr.csv");
    TFloodStampReader reader;
    std::vector<bool> isStamp;
    std::vector<std::string_view> fields;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        SplitFields(TrimText(lines[k]), fields);
        DateTimeValue t = 0;
        isStamp.push_back(reader.TryRead(fields[0], t));
    }
    const std::size_t notes = TrailingNotesStart(isStamp);
    EXPECT_EQ(notes + 2, 22955u) << "the file line of the first note";
    EXPECT_EQ(std::count(isStamp.begin(), isStamp.end(), true), static_cast<std::ptrdiff_t>(notes));
    EXPECT_EQ(NotesWarning("p.csv", 22955, isStamp.size() - notes),
              "p.csv:22955: 5 lines at the end taken as notes and ignored (their time field is no time stamp)");
    EXPECT_EQ(TrailingNotesStart({false, false}), 2u) << "nothing reads: the lines are wrong, not notes";
    EXPECT_EQ(TrailingNotesStart({true, false, true}), 3u);
}

TEST(AgencyRecords, MissingFieldsAndTheirWarnings) {
    const TMissingValues blanks, sentinels({ParseMissingValue("-96759"), ParseMissingValue("9999.5")});
    const struct {
        const char* field;
        bool blank, sentinel;
    } cases[] = {{"", true, true},          {" \t\r", true, true},         {"-96759.00", false, true},
                 {" -96759 ", false, true}, {"9999.5", false, true},       {"96759", false, false},
                 {"abc", false, false},     {"-96759.0001", false, false}};
    for (const auto& c : cases) {
        EXPECT_EQ(blanks.IsMissing(c.field), c.blank) << "'" << c.field << "'";
        EXPECT_EQ(sentinels.IsMissing(c.field), c.sentinel) << "'" << c.field << "'";
    }
    TSkippedRecords skipped;
    for (int line = 2; line < 25; ++line)
        skipped.Add(line, TMissingValues::Reason(line % 2 ? "level" : "loss 'Evaporation (af)'", line % 2 ? " " : "-96759"));
    const std::string text = skipped.Text("p.csv");
    EXPECT_EQ(skipped.Count(), 23u);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21);
    EXPECT_TRUE(text.starts_with("p.csv:2: skipped: loss 'Evaporation (af)' is -96759 (a missing value)\n"
                                 "p.csv:3: skipped: level is blank\n"));
    EXPECT_TRUE(text.ends_with("p.csv:21: skipped: level is blank\np.csv: 3 more records skipped\n"));
}

// Powell's table changed on 2022-07-01: from that midnight the new one holds.
TEST(AgencyRecords, DatedCurvesFromMidnight) {
    const TCurveSchedule s({ParseCurveArgument("pre2017.csv"), ParseCurveArgument("2017.csv@2022-07-01"),
                            ParseCurveArgument("old.csv@1899-12-29")});
    const struct {
        DateTimeValue time;
        std::size_t curve;
    } cases[] = {{At(2022, 6, 30, 23, 59), 2}, {At(2022, 7, 1), 1}, {At(2022, 7, 1, 12), 1}, {At(1983, 5, 1), 2},
                 // Before 1899-12-30 a value is date - time of day, yet the day is the date's.
                 {At(1899, 12, 29, 12), 2}, {At(1899, 12, 29), 2}, {At(1899, 12, 28, 23), 0}};
    for (const auto& c : cases) EXPECT_EQ(s.CurveAt(c.time), c.curve) << c.time;
    std::vector<DateTimeValue> days;
    for (int d = 0; d < 6; ++d) days.push_back(At(2022, 6, 28) + d);
    EXPECT_EQ(CurveSpans(s, days), (std::vector<TCurveSpan>{{2u, 0, 2}, {1u, 3, 5}}));

    const TCurveSchedule dated({ParseCurveArgument("2017.csv@2022-07-01")});
    EXPECT_FALSE(dated.CurveAt(At(2022, 6, 30, 23)));
    EXPECT_EQ(dated.NoCurveMessage(At(2022, 6, 30, 12)),
              "no curve holds on 2022-06-30: the first, '2017.csv', holds from 2022-07-01 (a curve without a date "
              "holds from the start)");
}

TEST(AgencyRecords, ImplausibleUnitsAndSentinelRows) {
    TUnitPlausibility metres;
    for (const double z : {1078.6, 1127.76}) metres.Level(z);
    for (const double q : {-2739.9, 300000.0}) metres.Flow(q);
    EXPECT_FALSE(metres.Message());
    TUnitPlausibility feet = metres;
    feet.Level(3370);
    feet.Flow(-116534306.8);
    EXPECT_EQ(feet.Message().value_or(""),
              "the values look like other units than the ones assumed (a flow of -116534306.8 m^3/s is more than any "
              "river has carried; levels from 1078.6 to 3370 m span more than 1000 m); give the files' units with "
              "--units, as --units level=ft,storage=af,flow=cfs");

    // The pre-2017 table's last row (3800 ft, 10^9 acre-ft) is a sentinel;
    // the 2017 table has none.
    auto outliers = [](const std::string& name) {
        std::vector<double> storages;
        std::vector<std::string_view> fields;
        const std::vector<std::string> lines = PublishedLines(name);
        for (std::size_t k = 1; k < lines.size(); ++k) {
            SplitFields(lines[k], fields);
            storages.push_back(std::stod(std::string(fields[1])));
        }
        return StorageStepOutliers(storages);
    };
    const std::vector<TStorageStepOutlier> pre = outliers("powell_capacity_pre2017.csv");
    ASSERT_EQ(pre.size(), 1u);
    EXPECT_EQ(pre[0].point, 684u);
    EXPECT_TRUE(StorageStepWarning(pre[0]).starts_with("storage step 973774776.72 is over 100 times"));
    EXPECT_TRUE(outliers("powell_capacity_2017.csv").empty());
    EXPECT_TRUE(StorageStepOutliers({5, 5, 5, 7}).empty()) << "a median step of 0 flags nothing";
}
