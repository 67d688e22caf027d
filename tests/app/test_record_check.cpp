// The check of a curve and a flood record: every planted problem found at its
// line, nothing reported on clean files, real records' known faults found.

#include "InflowTestSupport.h"
#include "RecordCheck.h"

#include <gtest/gtest.h>

#include <map>

namespace {

using inflow_test::Lines;
using inflow_test::ScratchDir;
using inflow_test::WriteFile;

class RecordCheck : public inflow_test::IsoLocaleTest {
protected:
    // Problems as "NAME:LINE: message" with the folder left out of NAME.
    std::vector<std::string> Check(const std::string& curve, const std::string& flood,
                                   const TRecordCheckOptions& options = {}) {
        WriteFile(dir / "curve.txt", curve);
        if (!flood.empty()) WriteFile(dir / "flood.txt", flood);
        std::vector<std::string> out;
        for (TRecordProblem p : CheckRecordFiles(dir / "curve.txt", flood.empty() ? "" : dir / "flood.txt", options)) {
            p.file = p.file.substr(p.file.rfind('/') + 1);
            out.push_back(ProblemText(p));
        }
        return out;
    }
    ScratchDir dir;
    const std::string curve = Lines({"Z,V", "495,1.58", "496,1.66", "497,1.74", "498,1.83"});
};

std::string RealData(const std::string& name) { return std::string(QUELMORA_SOURCE_DIR) + "/../shared/realdata/" + name; }

} // namespace

TEST_F(RecordCheck, CleanFilesHaveNoProblem) {
    EXPECT_EQ(Check(curve, Lines({"T,Z,Q", "2007-07-29 00-00-00,495.5,0", "2007-07-29 03-00-00,496,90",
                                  "2007-07-29 06-00-00,497.5,90"})),
              std::vector<std::string>{});
    EXPECT_EQ(Check(curve, ""), std::vector<std::string>{});
}

TEST_F(RecordCheck, FindsEveryPlantedProblemAtItsLine) {
    const std::string badCurve = Lines({"Z,V", "495,1.58", "496", "497,x", "494.5,1.7", "498,1.83"});
    const std::string flood = Lines({
        "T,Z,Q,E",                           // 1
        "2007-07-29 00-00-00,495.5,0,1",     // 2
        "2007-07-29 03-00-00,,90,1",         // 3 blank level
        "2007-07-29 03-00-00,496,90,1",      // 4 repeated stamp
        "2007-07-29 02-00-00,496,90,1",      // 5 out of order
        "2007-07-29 06-00-00,499,90,1",      // 6 above the curve
        "2007-07-29 09-00-00,497,9o,1",      // 7 bad outflow
        "07/29/2007 12:00,497,90,1",         // 8 unreadable stamp
        "2007-07-30 09-00-00,497,90",        // 9 a 24-hour gap in a 3-hourly record; no loss field
        "2007-07-30 12-00-00,497",           // 10 cannot be split
        "note: levels read by hand",         // 11 a note line at the end
    });
    TRecordCheckOptions options;
    options.lossFields = {4};
    const std::vector<std::string> found = Check(badCurve, flood, options);
    const std::vector<std::string> expected = {
        "curve.txt:3: expected level,storage: found 1 field",
        "curve.txt:4: 'x' is not a valid floating point value",
        "curve.txt:5: level 494.5 m is below the level of line 2 (495 m)",
        "flood.txt:3: '' is not a valid floating point value",
        "flood.txt:4: time stamp repeats line 3's",
        "flood.txt:5: time stamp is earlier than line 3's (out of order)",
        "flood.txt:6: 水位 499 m 超出库容水位曲线范围（494.5 – 498 m）",
        "flood.txt:7: '9o' is not a valid floating point value",
        "flood.txt:8: '07/29/2007 12:00' is not a valid date and time",
        "flood.txt:9: no field 4 (losses): found 3 fields",
        "flood.txt:9: gap: a step of 24 h, where the record's usual step is 3 h",
        "flood.txt:10: expected time,level,outflow: found 2 fields",
        "flood.txt:11: expected time,level,outflow: found 1 field",
    };
    ASSERT_EQ(found.size(), expected.size()) << ::testing::PrintToString(found);
    for (std::size_t i = 0; i < found.size(); ++i)
        EXPECT_TRUE(found[i].starts_with(expected[i])) << found[i] << "\n  expected to start with\n" << expected[i];
}

TEST_F(RecordCheck, FilesThatCannotBeOpenedOrCurvesTooShort) {
    EXPECT_EQ(ProblemText(CheckRecordFiles(dir / "missing.txt", "").at(0)), dir / "missing.txt" + ": File not found");
    EXPECT_EQ(Check(Lines({"Z,V", "495,1.58"}), Lines({"T,Z,Q", "2007-07-29 00-00-00,495,0"})),
              std::vector<std::string>{"curve.txt: the curve has fewer than two points"});
}

TEST_F(RecordCheck, RawPowellRecordShowsItsBlanksNotesAndGaps) {
    const std::vector<TRecordProblem> problems =
        CheckRecordFiles(RealData("powell_curve_pre2017_live.txt"), RealData("powell_1963_2026_raw_flood.txt"));
    std::map<std::string, int> kinds;
    for (const TRecordProblem& p : problems) {
        ASSERT_GT(p.line, 1) << p.message;
        kinds[p.message.starts_with("''") ? "blank" : p.message.substr(0, 8)]++;
    }
    // 1963 has days with no level, and the source ends with four note lines.
    EXPECT_GT(kinds["blank"], 100);
    EXPECT_EQ(kinds["expected"], 4);
    // The cleaned record has none of these.
    const std::vector<TRecordProblem> clean =
        CheckRecordFiles(RealData("powell_curve_pre2017_live.txt"), RealData("powell_1963_2026_flood.txt"));
    for (const TRecordProblem& p : clean) EXPECT_TRUE(p.message.starts_with("gap: ")) << ProblemText(p);
}
