// Agency files as they come: the field splitter, the heading line and the
// column options, on the published files' own heading lines.

#include "ColumnMap.h"
#include "OptionText.h"
#include "RecordLine.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

const std::string kPublished = std::string(QUELMORA_REALDATA_DIR) + "/as-published/";

std::string FirstLine(const std::string& name) {
    std::ifstream in(kPublished + name, std::ios::binary);
    std::string line;
    std::getline(in, line);
    return line;
}

// The message of the EOptionError `parse` raises, or "" when it raises none.
template <class F> std::string Refusal(F parse) {
    try {
        parse();
    } catch (const EOptionError& e) {
        return e.what();
    }
    return "";
}

} // namespace

TEST(AgencyFields, SplitAtEveryCommaWithoutQuoting) {
    const struct {
        const char* line;
        std::vector<std::string_view> fields;
    } cases[] = {
        {"", {""}},
        {"a", {"a"}},
        {",", {"", ""}},
        {"10-Jan-2026,3538.72,6368608,133,4802, ,",
         {"10-Jan-2026", "3538.72", "6368608", "133", "4802", " ", ""}},
        {"\"a,b\",c", {"\"a", "b\"", "c"}},
    };
    std::vector<std::string_view> fields{"stale"};
    for (const auto& c : cases) {
        SplitFields(c.line, fields);
        EXPECT_EQ(fields, c.fields) << c.line;
    }
    EXPECT_EQ(HeadingName("\xEF\xBB\xBF time \r"), "time");
    EXPECT_EQ(HeadingName(" \xEF\xBB\xBFtime"), "time");
    EXPECT_EQ(HeadingNames("\xEF\xBB\xBFtime,prcp, level ,"),
              (std::vector<std::string_view>{"time", "prcp", "level", ""}));
}

TEST(AgencyColumns, OptionTexts) {
    using Q = TRecordQuantity;
    const TColumnOption columns = ParseFloodColumns(
        " TIME = Date ,level=2, outflow=Total Release (cfs),loss=4,Loss=Inflow** (cfs)");
    const std::vector<TColumnChoice> expected{{Q::Time, {0, "Date"}},
                                              {Q::Level, {2, ""}},
                                              {Q::Outflow, {0, "Total Release (cfs)"}},
                                              {Q::Loss, {4, ""}},
                                              {Q::Loss, {0, "Inflow** (cfs)"}}};
    EXPECT_EQ(columns.choices, expected);
    EXPECT_TRUE(columns.NamesHeadings());
    EXPECT_FALSE(ParseCurveColumns("level=1,storage=2").NamesHeadings());
    EXPECT_EQ(ParseCurveColumns("storage=b,area=3,level=a").choices.size(), 3u);

    const struct {
        bool curve;
        const char* text;
        const char* message;
    } refused[] = {
        {false, "", "--columns: no columns given"},
        {false, "time=1,,level=2,outflow=3",
         "--columns: empty item in 'time=1,,level=2,outflow=3'"},
        {false, "time=1,level", "--columns: 'level' is not QUANTITY=COLUMN"},
        {false, "time=1,flow=2",
         "--columns: unknown quantity 'flow' (time, level, outflow or loss)"},
        {true, "level=1,volume=2",
         "--curve-columns: unknown quantity 'volume' (level, storage or area)"},
        {false, "time=1,level=,outflow=3", "--columns: no column given for level"},
        {false, "time=1,level=0,outflow=3",
         "--columns: bad field number '0' for level (fields count from 1)"},
        {false, "time=1,level=-2,outflow=3",
         "--columns: bad field number '-2' for level (fields count from 1)"},
        {false, "time=1,level=2.5,outflow=3",
         "--columns: bad field number '2.5' for level (fields count from 1)"},
        {false, "time=1,level=2,outflow=3,level=4", "--columns: level given twice"},
        {false, "time=1,level=2,outflow=2", "--columns: level and outflow both name field 2"},
        {false, "time=Date,level=date,outflow=3",
         "--columns: time and level both name heading 'date'"},
        {false, "time=1,level=2,outflow=3,loss=4,loss=4",
         "--columns: loss and loss both name field 4"},
        {false, "time=1,level=2",
         "--columns: no column for outflow (time, level and outflow are needed)"},
        {true, "storage=2,area=3",
         "--curve-columns: no column for level (level and storage are needed)"},
    };
    for (const auto& r : refused)
        EXPECT_EQ(Refusal([&] { r.curve ? ParseCurveColumns(r.text) : ParseFloodColumns(r.text); }),
                  r.message)
            << r.text;
}

TEST(AgencyColumns, PublishedHeadings) {
    const std::string powell = FirstLine("powell_daily_usbr.csv");
    const TFloodFields p = ResolveFloodColumns(
        ParseFloodColumns(
            "time=Date,level=Elevation (feet),outflow=Total Release (cfs),loss=Evaporation (af)"),
        powell, "powell_daily_usbr.csv");
    EXPECT_EQ(std::vector<std::size_t>({p.time, p.level, p.outflow}),
              std::vector<std::size_t>({0, 1, 9}));
    EXPECT_EQ(p.losses, std::vector<std::size_t>{3});
    EXPECT_EQ(p.FieldsNeeded(), 10u);
    // The byte-order mark before "time" does not hide it.
    const TFloodFields t =
        ResolveFloodColumns(ParseFloodColumns("time=time,level=LEVEL,outflow=5"),
                            FirstLine("tankan_event_2024072617.csv"), "tankan.csv");
    EXPECT_EQ(std::vector<std::size_t>({t.time, t.level, t.outflow}),
              std::vector<std::size_t>({0, 2, 4}));
    const TCurveFields c2017 = ResolveCurveColumns(
        ParseCurveColumns("level=elevation (FEET),storage=Capacity (acre-feet),area=3"),
        FirstLine("powell_capacity_2017.csv"), "c");
    EXPECT_EQ(std::vector<std::size_t>({c2017.level, c2017.storage, *c2017.area}),
              std::vector<std::size_t>({0, 1, 2}));
    const TCurveFields pre =
        ResolveCurveColumns(ParseCurveColumns("level=1,storage=Live Storage (ac-ft)"),
                            FirstLine("powell_capacity_pre2017.csv"), "c");
    EXPECT_EQ(std::vector<std::size_t>({pre.level, pre.storage}), std::vector<std::size_t>({0, 1}));
    EXPECT_FALSE(pre.area);

    EXPECT_EQ(Refusal([&] {
                  ResolveFloodColumns(
                      ParseFloodColumns("time=time,level=Level (m),outflow=outflow"),
                      FirstLine("tankan_event_2024072617.csv"), "tankan.csv");
              }),
              "--columns: no heading 'Level (m)' in tankan.csv; its headings: 'time', 'prcp', "
              "'level', 'inflow', 'outflow'");
    EXPECT_EQ(Refusal([&] {
                  ResolveFloodColumns(ParseFloodColumns("time=1,level=Elevation (feet),outflow=2"),
                                      powell, "p.csv");
              }),
              "--columns: level and outflow both name field 2 of p.csv");
    EXPECT_EQ(Refusal([&] {
                  ResolveCurveColumns(ParseCurveColumns("level=a,storage=B"), "a,b, A", "x.csv");
              }),
              "--curve-columns: heading 'a' names fields 1 and 3 of x.csv; give its field number");
    EXPECT_EQ(Refusal([&] {
                  ResolveCurveColumns(ParseCurveColumns("level=a,storage=2"), " , ", "x.csv");
              }),
              "--curve-columns: no heading 'a' in x.csv; its heading line names no column");
}
