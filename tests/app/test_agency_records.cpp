// Dated curves, gaps and notes, and the plausibility of units: on the real
// Powell files where they show what these are for.

#include "DatedCurves.h"
#include "FloodStamp.h"
#include "OptionText.h"
#include "Plausibility.h"
#include "RecordGaps.h"
#include "RecordLine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kPublished = std::string(QUELMORA_REALDATA_DIR) + "/as-published/";

std::vector<std::string> Lines(const std::string& name) {
    std::ifstream in(kPublished + name, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

template <class F> std::string Refusal(F parse) {
    try {
        parse();
    } catch (const EOptionError& e) {
        return e.what();
    }
    return "";
}

std::int64_t Day(int y, int m, int d) {
    DateTimeValue v = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, v));
    return static_cast<std::int64_t>(v);
}

} // namespace

TEST(AgencyCurves, CurveArguments) {
    const struct {
        const char* text;
        TCurveArgument expected;
    } read[] = {
        {"powell_capacity_2017.csv@2022-07-01", {"powell_capacity_2017.csv", Day(2022, 7, 1)}},
        {"a@b/c.csv@1983-5-1", {"a@b/c.csv", Day(1983, 5, 1)}},
        {"backup@home/curve.csv", {"backup@home/curve.csv", std::nullopt}},
        {"odd@2022-07-01@", {"odd@2022-07-01", std::nullopt}},
        {"curve@2x.txt", {"curve@2x.txt", std::nullopt}},
        {"plain.txt", {"plain.txt", std::nullopt}},
    };
    for (const auto& r : read)
        EXPECT_EQ(ParseCurveArgument(r.text), r.expected) << r.text;
    EXPECT_EQ(Refusal([] { ParseCurveArgument("c.csv@2022-02-30"); }),
              "--curve: '2022-02-30' in 'c.csv@2022-02-30' is no date YYYY-MM-DD (a name ending so "
              "is written with '@' at its end)");
    EXPECT_EQ(Refusal([] { ParseCurveArgument("c.csv@22-07-01"); }).substr(0, 25),
              "--curve: '22-07-01' in 'c");
    EXPECT_EQ(Refusal([] { ParseCurveArgument("@2022-07-01"); }),
              "--curve: no file name in '@2022-07-01'");
    EXPECT_EQ(Refusal([] { ParseCurveArgument("@"); }), "--curve: no file name in '@'");
}

// Powell's table changed on 2022-07-01: the step that ends that day, and
// every later one, takes the new curve from midnight on.
TEST(AgencyCurves, ValidFromMidnight) {
    const TCurveSchedule s({ParseCurveArgument("pre2017.csv"),
                            ParseCurveArgument("2017.csv@2022-07-01"),
                            ParseCurveArgument("old.csv@1899-12-29")});
    auto at = [&](int y, int mo, int d, int h, int mi = 0) {
        DateTimeValue date = 0, time = 0;
        TryEncodeDate(y, mo, d, date);
        TryEncodeTime(h, mi, 0, 0, time);
        return s.CurveAt(CombineDateTime(date, time));
    };
    EXPECT_EQ(at(1983, 5, 1, 0), 2u);
    EXPECT_EQ(at(2022, 6, 30, 0), 2u);
    EXPECT_EQ(at(2022, 6, 30, 23, 59), 2u);
    EXPECT_EQ(at(2022, 7, 1, 0), 1u);
    EXPECT_EQ(at(2022, 7, 1, 12), 1u);
    EXPECT_EQ(at(2026, 1, 11, 0), 1u);
    // Before 1899-12-30 a value is date - time of day, yet the day is the date's.
    EXPECT_EQ(at(1899, 12, 29, 12), 2u);
    EXPECT_EQ(at(1899, 12, 29, 0), 2u);
    EXPECT_EQ(at(1899, 12, 28, 23), 0u);
    EXPECT_EQ(at(1899, 12, 30, 0), 2u);

    // The days around the switch in two parts, as a check reports them.
    std::vector<DateTimeValue> days;
    for (int d = 28; d <= 30; ++d)
        days.push_back(static_cast<double>(Day(2022, 6, d)));
    for (int d = 1; d <= 3; ++d)
        days.push_back(static_cast<double>(Day(2022, 7, d)));
    EXPECT_EQ(CurveSpans(s, days), (std::vector<TCurveSpan>{{2u, 0, 2}, {1u, 3, 5}}));

    const TCurveSchedule dated({ParseCurveArgument("2017.csv@2022-07-01")});
    EXPECT_FALSE(dated.CurveAt(static_cast<double>(Day(2022, 6, 30))));
    EXPECT_EQ(dated.NoCurveMessage(static_cast<double>(Day(2022, 6, 30)) + 0.5),
              "no curve holds on 2022-06-30: the first, '2017.csv', holds from 2022-07-01 (a curve "
              "without a date "
              "holds from the start)");
    EXPECT_TRUE(TCurveSchedule({ParseCurveArgument("a")}).IsSingle());
    EXPECT_EQ(Refusal([] {
                  TCurveSchedule({ParseCurveArgument("a"), ParseCurveArgument("b")});
              }),
              "--curve: 'a' and 'b' both have no date; give all but one a date as FILE@YYYY-MM-DD");
    EXPECT_EQ(Refusal([] {
                  TCurveSchedule({ParseCurveArgument("a@2022-07-01"), ParseCurveArgument("c"),
                                  ParseCurveArgument("b@2022-7-1")});
              }),
              "--curve: 'a' and 'b' both hold from 2022-07-01");
}

// The agency's file ends in a blank line and four notes; every line before
// them reads as a stamp.
TEST(AgencyGaps, NotesAtTheEndOfPowellsFile) {
    const std::vector<std::string> lines = Lines("powell_daily_usbr.csv");
    ASSERT_EQ(lines.size(), 22959u);
    TFloodStampReader reader;
    std::vector<bool> isStamp;
    std::vector<std::string_view> fields;
    for (std::size_t k = 1; k < lines.size(); ++k) {
        SplitFields(TrimBlanks(lines[k]), fields);
        DateTimeValue t = 0;
        isStamp.push_back(reader.TryRead(fields[0], t));
    }
    const std::size_t notes = TrailingNotesStart(isStamp);
    EXPECT_EQ(notes + 2, 22955u) << "the first note's line";
    EXPECT_EQ(
        std::count(isStamp.begin(), isStamp.begin() + static_cast<std::ptrdiff_t>(notes), false),
        0);
    EXPECT_EQ(NotesWarning("p.csv", 22955, isStamp.size() - notes),
              "p.csv:22955: 5 lines at the end taken as notes and ignored (their time field is no "
              "time stamp)");
    EXPECT_EQ(TrailingNotesStart({false, false}), 2u)
        << "nothing reads: no notes, the lines are wrong";
    EXPECT_EQ(TrailingNotesStart({true, false, true}), 3u);
    EXPECT_EQ(TrailingNotesStart({}), 0u);
}

TEST(AgencyGaps, MissingFieldsAndTheirWarnings) {
    TMissingValues none;
    TMissingValues sentinels({ParseMissingValue("-96759")});
    sentinels.Add(ParseMissingValue("9999.5"));
    const struct {
        const char* field;
        bool blankOnly, withSentinels;
    } cases[] = {
        {"", true, true},        {" ", true, true},          {" \t\r", true, true},
        {"-96759", false, true}, {"-96759.00", false, true}, {" -96759 ", false, true},
        {"9999.5", false, true}, {"96759", false, false},    {"-96759.0001", false, false},
        {"abc", false, false},   {"0", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(none.IsMissing(c.field), c.blankOnly) << "'" << c.field << "'";
        EXPECT_EQ(sentinels.IsMissing(c.field), c.withSentinels) << "'" << c.field << "'";
    }
    EXPECT_EQ(ParseMissingMode("skip"), TMissingMode::Skip);
    EXPECT_EQ(Refusal([] { ParseMissingMode("drop"); }), "--missing: takes skip, not 'drop'");
    EXPECT_EQ(Refusal([] { ParseMissingValue("-9x"); }), "--missing-value: '-9x' is no number");
    EXPECT_EQ(Refusal([] { ParseMissingValue(" "); }), "--missing-value: ' ' is no number");

    TSkippedRecords skipped;
    for (int line = 2; line < 25; ++line)
        skipped.Add(line, TMissingValues::Reason(line % 2 ? "level" : "loss 'Evaporation (af)'",
                                                 line % 2 ? " " : "-96759"));
    EXPECT_EQ(skipped.Count(), 23u);
    const std::string text = skipped.Text("p.csv");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 21);
    EXPECT_TRUE(
        text.starts_with("p.csv:2: skipped: loss 'Evaporation (af)' is -96759 (a missing value)\n"
                         "p.csv:3: skipped: level is blank\n"));
    EXPECT_TRUE(
        text.ends_with("p.csv:21: skipped: level is blank\np.csv: 3 more records skipped\n"));
}

TEST(AgencyPlausibility, UnitsAndSentinelRows) {
    TUnitPlausibility plain;
    for (const double z : {3538.72 * 0.3048, 3700 * 0.3048})
        plain.Level(z);
    plain.Flow(-96759 * 0.028316846592);
    plain.Flow(300000);
    EXPECT_FALSE(plain.Message());
    TUnitPlausibility feet = plain;
    feet.Level(3370); // feet taken for metres
    feet.Flow(-116534306.8);
    EXPECT_EQ(*feet.Message(), "the values look like other units than the ones assumed (a flow of "
                               "-116534306.8 m^3/s is more than any "
                               "river has carried; levels from 1078.6019 to 3370 m span more than "
                               "1000 m); give the files' units with "
                               "--units, as --units level=ft,storage=af,flow=cfs");

    // The pre-2017 table's last row (3800 ft, 10^9 acre-ft) is its sentinel;
    // the 2017 table has none.
    auto storages = [](const std::string& name) {
        std::vector<double> out;
        std::vector<std::string_view> fields;
        const std::vector<std::string> lines = Lines(name);
        for (std::size_t k = 1; k < lines.size(); ++k) {
            SplitFields(lines[k], fields);
            out.push_back(std::stod(std::string(fields[1])));
        }
        return out;
    };
    const std::vector<double> pre = storages("powell_capacity_pre2017.csv");
    const std::vector<TStorageStepOutlier> outliers = StorageStepOutliers(pre);
    ASSERT_EQ(outliers.size(), 1u);
    EXPECT_EQ(outliers[0].point, pre.size() - 1);
    EXPECT_EQ(StorageStepWarning(outliers[0]).substr(0, 40),
              "storage step 973774776.72 is over 100 ti");
    EXPECT_TRUE(StorageStepOutliers(storages("powell_capacity_2017.csv")).empty());
    EXPECT_TRUE(StorageStepOutliers({5, 5, 5, 7}).empty()) << "a median step of 0 flags nothing";
}
