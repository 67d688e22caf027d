// The options that describe a file, read the one way every front end reads
// them, and the first guess a dialog starts from.

#include "OptionText.h"
#include "RecordFormat.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace {

std::string FirstLine(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

const std::string kPublished = std::string(QUELMORA_REALDATA_DIR) + "/as-published/";

// The agencies' heading lines as published, and headings of the kind a
// Chinese or a scripted export writes: what the guess takes from each.
TEST(RecordFormat, GuessesColumnsAndUnitsFromHeadings) {
    struct Case {
        TFileKind kind;
        std::string heading;
        int time, level, outflow, storage, area;
        std::vector<int> losses;
        TRecordUnits units;
    };
    const TRecordUnits plain;
    TRecordUnits powellDaily;
    powellDaily.level = TLevelUnit::Ft;
    powellDaily.flow = TFlowUnit::Cfs;
    powellDaily.loss = TLossUnit::Af;
    TRecordUnits powellCurve;
    powellCurve.level = TLevelUnit::Ft;
    powellCurve.storage = TStorageUnit::Af;
    TRecordUnits maf;
    maf.storage = TStorageUnit::Maf;
    TRecordUnits cfsOnly;
    cfsOnly.flow = TFlowUnit::Cfs;
    const Case cases[] = {
        {TFileKind::Flood, FirstLine(kPublished + "powell_daily_usbr.csv"), 1, 2, 10, 2, 0, {4}, powellDaily},
        {TFileKind::Flood, FirstLine(kPublished + "tankan_event_2024072617.csv"), 1, 3, 5, 2, 0, {}, plain},
        {TFileKind::Curve, FirstLine(kPublished + "powell_capacity_pre2017.csv"), 1, 1, 3, 2, 4, {}, powellCurve},
        {TFileKind::Curve, FirstLine(kPublished + "powell_capacity_2017.csv"), 1, 1, 3, 2, 3, {}, powellCurve},
        // The program's own files: the plain positions.
        {TFileKind::Flood, "时间,库水位,出库流量", 1, 2, 3, 2, 0, {}, plain},
        {TFileKind::Curve, "水位,库容", 1, 1, 3, 2, 0, {}, plain},
        // Nothing named: the plain positions, whatever the headings say.
        {TFileKind::Flood, "a,b,c,d", 1, 2, 3, 2, 0, {}, plain},
        {TFileKind::Curve, "", 1, 1, 3, 2, 0, {}, plain},
        // Names in another order, a unit after '_', a loss beside them.
        {TFileKind::Flood, "outflow_cfs,evap_loss,stage,datetime", 4, 3, 1, 2, 0, {2}, cfsOnly},
        // A storage that is the only named column keeps the level apart.
        {TFileKind::Curve, "x,storage (maf)", 1, 1, 3, 2, 0, {}, maf},
        {TFileKind::Curve, "storage (maf),x", 1, 2, 3, 1, 0, {}, maf},
        {TFileKind::Flood, "q,outflow,time", 3, 1, 2, 2, 0, {}, plain},
    };
    for (const Case& c : cases) {
        const TFormatGuess g = GuessFormat(c.kind, c.heading);
        SCOPED_TRACE(c.heading);
        EXPECT_EQ(g.level, c.level);
        EXPECT_EQ(g.units, c.units);
        if (c.kind == TFileKind::Flood) {
            EXPECT_EQ(g.time, c.time);
            EXPECT_EQ(g.outflow, c.outflow);
            EXPECT_EQ(g.losses, c.losses);
        } else {
            EXPECT_EQ(g.storage, c.storage);
            EXPECT_EQ(g.area, c.area);
        }
    }
}

// What is read, and every refusal naming its option.
TEST(RecordFormat, ReadsEachOptionOnceAndRefusesWithTheOptionsName) {
    const TRecordFormat f = ReadRecordFormat(
        TFileKind::Flood, {{"--columns", "time=Date,level=2,outflow=3,loss=4"},
                           {"--units", "level=ft,flow=cfs"},
                           {"--date-order", "dmy"},
                           {"--missing", "skip"},
                           {"--missing-value", "-96759"},
                           {"--missing-value", "-1"}});
    ASSERT_TRUE(f.columns);
    EXPECT_EQ(f.columns->choices.size(), 4u);
    EXPECT_EQ(f.units.flow, TFlowUnit::Cfs);
    EXPECT_EQ(f.stamps.dateOrder, TDateOrder::Dmy);
    EXPECT_EQ(f.missing, TMissingMode::Skip);
    EXPECT_EQ(f.missingValues.Values().size(), 2u);
    EXPECT_FALSE(f.IsDefault());
    EXPECT_TRUE(ReadRecordFormat(TFileKind::Curve, {}).IsDefault());

    struct Refusal {
        TFileKind kind;
        TOptionPairs given;
        std::string message;  // its beginning
    };
    const Refusal refusals[] = {
        {TFileKind::Curve, {{"--columns", "time=1,level=2,outflow=3"}}, "--columns: does not describe a curve file"},
        {TFileKind::Flood, {{"--curve-columns", "level=1,storage=2"}}, "--curve-columns: does not describe a flood"},
        {TFileKind::Curve, {{"--missing", "skip"}}, "--missing: does not describe a curve"},
        {TFileKind::Flood, {{"--units", "level=ft"}, {"--units", "flow=cfs"}}, "--units: given twice"},
        {TFileKind::Flood, {{"--units", "flow=cms"}}, "--units: "},
        {TFileKind::Flood, {{"--missing-value", "n/a"}}, "--missing-value: "},
        {TFileKind::Flood, {{"--utc-offset", "+08:00"}}, "--utc-offset: "},
        {TFileKind::Flood, {{"--time-format", "unix-s"}, {"--date-order", "dmy"}}, "--date-order: "},
        {TFileKind::Curve, {{"--curve-columns", "level=1"}}, "--curve-columns: "},
    };
    for (const Refusal& r : refusals) {
        try {
            ReadRecordFormat(r.kind, r.given);
            ADD_FAILURE() << r.message << " not refused";
        } catch (const EOptionError& e) {
            EXPECT_EQ(e.Message.rfind(r.message, 0), 0u) << e.Message;
        }
    }
}

// The command text a shell reads back into the same (name, value) pairs.
TEST(RecordFormat, CommandTextQuotesWhatAShellWouldSplit) {
    EXPECT_EQ(OptionCommandText({}), "");
    EXPECT_EQ(OptionCommandText({{"--units", "level=ft,flow=cfs"}, {"--missing", "skip"}}),
              "--units level=ft,flow=cfs --missing skip");
    EXPECT_EQ(OptionCommandText({{"--columns", "time=Date,level=Elevation (feet)"}}),
              "--columns \"time=Date,level=Elevation (feet)\"");
    EXPECT_EQ(OptionCommandText({{"--columns", "level=a\"b $x"}}), "--columns \"level=a\\\"b \\$x\"");
}

}  // namespace
