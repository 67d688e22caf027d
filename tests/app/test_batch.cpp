// The batch mode, through the built program: exit status, standard output and
// error, the result file.

#include "../runtime/CLibraryLocale.h"
#include "AppVersion.h"
#include "ChartEngine.h"
#include "ChartExport.h"
#include "CurveChart.h"
#include "FloodSummary.h"
#include "HydrographChart.h"
#include "InflowCorrection.h"
#include "InflowTestSupport.h"
#include "InflowWork.h"
#include "LocaleFormats.h"
#include "RecordCheck.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <utility>
#include <vector>

using namespace inflow_test;

namespace {

const std::string kExamples = std::string(QUELMORA_SOURCE_DIR) + "/examples/";
const std::string kRealData = std::string(QUELMORA_REALDATA_DIR) + "/";

// The buttons' work on a curve and a flood record, computed in this process.
struct Computed {
    InflowWork work;
    Computed(const std::string& curve, const std::string& flood, const TBalanceOptions& balance = {}) {
        work.Balance = balance;
        work.FormCreate();
        work.ResetCurveTable();
        work.ReadCurve(curve);
        work.ResetFloodTable();
        work.ReadFlood(flood);
        work.Compute();
    }
};

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

class Batch : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // The program and this test read the same locale.
        setenv("LC_ALL", "C.UTF-8", 1);
        LoadLocaleFormats();
    }

    // Runs the program with arguments (shell words) under the test locale;
    // `tail` may redirect its standard output elsewhere.
    Outcome Run(const std::string& arguments, const std::string& tail = "") {
        const std::string out = dir / "stdout", err = dir / "stderr";
        const std::string command = "LC_ALL=" + locale + " '" + std::string(QUELMORA_EXECUTABLE) + "' " +
                                    arguments + " </dev/null 2>'" + err + "'" +
                                    (tail.empty() ? " >'" + out + "'" : " " + tail);
        const int raw = std::system(command.c_str());
        Outcome o;
        o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        o.out = ReadFile(out);
        o.err = ReadFile(err);
        std::filesystem::remove(out);
        std::filesystem::remove(err);
        return o;
    }

    // What the buttons' work writes for these files, in this process.
    std::string Expected(const std::string& curve, const std::string& flood, const TBalanceOptions& balance = {}) {
        Computed(curve, flood, balance).work.WriteResult(dir / "expected.txt");
        return ReadFile(dir / "expected.txt");
    }

    std::string Q(const std::string& path) { return "'" + path + "'"; }

    ScratchDir dir;
    std::string locale = "C.UTF-8";  // the program's
};

}  // namespace

TEST_F(Batch, VersionAndHelp) {
    const Outcome version = Run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("quelmora ") + kAppVersion + "\n");
    EXPECT_EQ(version.err, "");

    const Outcome help = Run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: quelmora --curve CURVE [--flood FLOOD] [--out RESULT] [--chart PNG]\n"));
    EXPECT_EQ(help.err, "");
}

TEST_F(Batch, BadArgumentsShowTheUsage) {
    const std::string curve = Q(kExamples + "curve.txt");
    for (const std::string& args :
         {std::string("--flood ") + curve, std::string("--curve"), "--curve " + curve + " --curve " + curve,
          std::string("--bogus"), "--curve " + curve + " stray", "--curve " + curve + " --out r.txt",
          std::string("--curve="),
          // The flood's outputs need a flood; --check writes nothing.
          "--curve " + curve + " --summary s.csv", "--curve " + curve + " --hydrograph h.png",
          "--check --curve " + curve + " --out r.txt", "--check --curve " + curve + " --summary s.csv",
          "--check --curve " + curve + " --chart c.png", "--check --flood " + curve,
          // The balance and correction choices take only what they can read.
          "--curve " + curve + " --outflow middle", "--curve " + curve + " --outflow",
          "--curve " + curve + " --bank-storage -0.1", "--curve " + curve + " --bank-storage 0,08",
          "--curve " + curve + " --bank-storage nan", "--curve " + curve + " --losses 3",
          "--curve " + curve + " --losses 4,", "--curve " + curve + " --losses '4;5'",
          "--curve " + curve + " --smooth 4", "--curve " + curve + " --smooth 1", "--curve " + curve + " --smooth 3.0",
          "--curve " + curve + " --negative clip", "--curve " + curve + " --smooth 3 --smooth 5",
          "--curve " + curve + " --corrected c.csv", "--check --curve " + curve + " --corrected c.csv",
          // A value forgotten, the next option taken for it; a field counted twice.
          "--curve " + curve + " --out --help", "--curve " + curve + " --summary --check",
          "--curve " + curve + " --smooth --negative redistribute", "--curve " + curve + " --losses 4,5,4"}) {
        const Outcome o = Run(args);
        EXPECT_EQ(o.status, 2) << args;
        EXPECT_EQ(o.out, "") << args;
        EXPECT_NE(o.err.find("usage: quelmora"), std::string::npos) << args;
        EXPECT_TRUE(o.err.starts_with("quelmora: ")) << args;
    }
}

TEST_F(Batch, ExamplesToStandardOutput) {
    const std::string curve = kExamples + "curve.txt", flood = kExamples + "flood.txt";
    const std::string expected = Expected(curve, flood);
    // Two heading lines and the four records, each line ended by CR LF.
    ASSERT_EQ(std::count(expected.begin(), expected.end(), '\n'), 6);
    ASSERT_EQ(std::count(expected.begin(), expected.end(), '\r'), 6);

    const Outcome o = Run("--curve " + Q(curve) + " --flood " + Q(flood));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(o.out, expected);
    EXPECT_NE(o.out.find(",524.89,5.9858,"), std::string::npos);

    EXPECT_EQ(Run("--curve=" + Q(curve) + " --flood=" + Q(flood) + " --out -").out, expected);

    // Through a pipe as well as into a file.
    const Outcome piped = Run("--curve " + Q(curve) + " --flood " + Q(flood), "| cat >" + Q(dir / "piped.txt"));
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(ReadFile(dir / "piped.txt"), expected);
}

TEST_F(Batch, ResultFile) {
    const std::string curve = kExamples + "curve.txt", flood = kExamples + "flood.txt";
    const std::string result = dir / "result.txt";
    WriteFile(result, "an earlier, longer result that must go away entirely\r\n");
    const Outcome o = Run("--curve " + Q(curve) + " --flood " + Q(flood) + " --out " + Q(result));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(ReadFile(result), Expected(curve, flood));

    // The curve alone is read and nothing written.
    const Outcome curveOnly = Run("--curve " + Q(curve));
    EXPECT_EQ(curveOnly.status, 0);
    EXPECT_EQ(curveOnly.out, "");
    EXPECT_EQ(curveOnly.err, "");
}

TEST_F(Batch, ErrorsAsTheErrorDisplayShowsThem) {
    const std::string curve = kExamples + "curve.txt";
    const Outcome missing = Run("--curve " + Q(dir / "missing.txt"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "quelmora: File not found.\n");
    EXPECT_EQ(missing.out, "");

    // A failing flood record leaves an earlier result file as it was.
    const std::string result = dir / "result.txt";
    WriteFile(result, "earlier\r\n");
    WriteFile(dir / "flood.txt", Lines({"time,level,outflow", "2007-07-29 00-00-00,524.75,0", "2007-07-29 06"}));
    const Outcome noComma = Run("--curve " + Q(curve) + " --flood " + Q(dir / "flood.txt") + " --out " + Q(result));
    EXPECT_EQ(noComma.status, 1);
    EXPECT_EQ(noComma.err, "quelmora: List index out of bounds (1)\nquelmora: " + dir / "flood.txt" + ":3: 2007-07-29 06\n")
        << "no period after ')'";
    EXPECT_EQ(ReadFile(result), "earlier\r\n");

    WriteFile(dir / "flood.txt", Lines({"time,level,outflow", "2007-07-29 00-00-00,530.2,0"}));
    const Outcome outside = Run("--curve " + Q(curve) + " --flood " + Q(dir / "flood.txt"));
    EXPECT_EQ(outside.status, 1);
    EXPECT_EQ(outside.err, "quelmora: 水位 530.2 m 超出库容水位曲线范围（495 – 530 m）.\nquelmora: " + dir / "flood.txt" +
                               ":2: 2007-07-29 00-00-00,530.2,0\n");
    EXPECT_EQ(outside.out, "");

    WriteFile(dir / "flood.txt", Lines({"time,level,outflow", "2007-07-29 00-00-00,x,0"}));
    EXPECT_EQ(Run("--curve " + Q(curve) + " --flood " + Q(dir / "flood.txt")).err,
              "quelmora: 'x' is not a valid floating point value.\nquelmora: " + dir / "flood.txt" +
                  ":2: 2007-07-29 00-00-00,x,0\n");
}

// The second line names the failing line of its file as the readers counted
// it (a blank line and a line cut by a Ctrl-Z count as lines), with its text
// as read: without the line end, a Ctrl-Z ending the text. The file's name is
// the one given.
TEST_F(Batch, ErrorsNameTheirLine) {
    const std::string curve = kExamples + "curve.txt";
    struct Case {
        const char* what;
        std::string flood;
        std::string message;
        std::string place;
    };
    const std::string first = "2007-07-29 00-00-00,495.5,0\n";
    const std::vector<Case> cases{
        {"CR LF line ends", "h\r\n" + first + "2007-07-29 06-00-00,49 6,90\r\n",
         "'49 6' is not a valid floating point value.", ":3: 2007-07-29 06-00-00,49 6,90"},
        {"a line cut by a Ctrl-Z before the failing one",
         "h\n" + first + "2007-07-29 06-00-00,496,90\x1a,x\r\n2007-07-29 07-00-00,496.5,90\n2007-07-29 08,497,\n",
         "'2007-07-29 08' is not a valid date and time.", ":5: 2007-07-29 08,497,"},
        {"the failing line cut by a Ctrl-Z", "h\n" + first + "2007-07-29 06-00-00,496\x1a,90\n",
         "List index out of bounds (2)", ":3: 2007-07-29 06-00-00,496"},
        {"a last line without its end", "h\n" + first + "\t2007-07-29 06-00-00,496,9O",
         "'9O' is not a valid floating point value.", ":3: \t2007-07-29 06-00-00,496,9O"},
        {"a stamp", "h\n" + first + "2007-07-32 06-00-00,496,90\n",
         "'2007-07-32 06-00-00' is not a valid date and time.", ":3: 2007-07-32 06-00-00,496,90"},
        {"a level outside the curve, computed", "h\n" + first + "2007-07-29 06-00-00,496,90\n2007-07-29 07-00-00,494,90\n",
         "水位 494 m 超出库容水位曲线范围（495 – 530 m）.", ":4: 2007-07-29 07-00-00,494,90"},
    };
    const std::string given = dir / "./flood.txt";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFile(dir / "flood.txt", c.flood);
        const Outcome o = Run("--curve " + Q(curve) + " --flood " + Q(given));
        EXPECT_EQ(o.status, 1);
        EXPECT_EQ(o.err, "quelmora: " + c.message + "\nquelmora: " + given + c.place + "\n");
    }

    // A record read from a pipe cannot be read again: the place alone, never
    // a line of what the pipe still holds (reading stopped at the failing
    // line, more than a read buffer before the end).
    std::string longer = "h\n" + first + "2007-07-29 06-00-00\n";
    for (int k = 0; k < 40000; ++k) longer += first;
    WriteFile(dir / "flood.txt", longer);
    const std::string piped = "cat " + Q(dir / "flood.txt") + " | LC_ALL=C.UTF-8 '" + QUELMORA_EXECUTABLE +
                              "' --curve " + Q(curve) + " --flood /dev/stdin >/dev/null 2>" + Q(dir / "err.txt");
    const int raw = std::system(piped.c_str());
    EXPECT_EQ(WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, 1);
    EXPECT_EQ(ReadFile(dir / "err.txt"), "quelmora: List index out of bounds (1)\nquelmora: /dev/stdin:3\n");

    // A failure of the curve as a whole belongs to no line.
    WriteFile(dir / "one.txt", Lines({"level,storage", "495,1.58"}));
    WriteFile(dir / "flood.txt", "h\n" + first);
    const Outcome one = Run("--curve " + Q(dir / "one.txt") + " --flood " + Q(dir / "flood.txt"));
    EXPECT_EQ(one.status, 1);
    EXPECT_EQ(one.err, "quelmora: 库容水位曲线少于两个点.\n");
}

namespace {

// Width and height from a PNG's header chunk, or {-1, -1} when it is none.
std::pair<long, long> PngSize(const std::string& png) {
    if (png.size() < 24 || !png.starts_with("\x89PNG\r\n\x1a\n") || png.compare(12, 4, "IHDR") != 0)
        return {-1, -1};
    auto be32 = [&](std::size_t at) {
        long v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = v << 8 | static_cast<unsigned char>(png[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

}  // namespace

TEST_F(Batch, ChartPicture) {
    const std::string curve = kExamples + "curve.txt", flood = kExamples + "flood.txt";
    const std::string png = dir / "chart.png";
    // With the curve alone: the picture and nothing on standard output.
    const Outcome alone = Run("--curve " + Q(curve) + " --chart " + Q(png));
    EXPECT_EQ(alone.status, 0);
    EXPECT_EQ(alone.out, "");
    EXPECT_EQ(alone.err, "");
    const std::string picture = ReadFile(png);
    EXPECT_EQ(PngSize(picture), (std::pair<long, long>{505, 313}));

    // Beside the result; the same picture again, to standard output when asked.
    const std::string result = dir / "result.txt";
    const Outcome both = Run("--curve " + Q(curve) + " --flood " + Q(flood) + " --out " + Q(result) + " --chart -");
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(both.out, picture);
    EXPECT_EQ(ReadFile(result), Expected(curve, flood));

    // A curve that fails to read draws nothing: an earlier picture stays.
    WriteFile(dir / "bad.txt", Lines({"level,storage", "495,1.5", "496"}));
    const Outcome bad = Run("--curve " + Q(dir / "bad.txt") + " --chart " + Q(png));
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.err, "quelmora: List index out of bounds (1)\nquelmora: " + dir / "bad.txt" + ":3: 496\n");
    EXPECT_EQ(ReadFile(png), picture);

    // An unwritable target is reported like a result file that cannot be written.
    const Outcome folder = Run("--curve " + Q(curve) + " --chart " + Q(dir / "no/such/x.png"));
    EXPECT_EQ(folder.status, 1);
    EXPECT_EQ(folder.err, "quelmora: " + dir / "no/such/x.png" + ": Invalid filename.\n");
}

TEST_F(Batch, StandardOutputSharedWithTheShell) {
    // A script writing before and after the result into one redirected file.
    const std::string curve = kExamples + "curve.txt", flood = kExamples + "flood.txt";
    const std::string file = dir / "log.txt";
    const std::string command = "(echo before; LC_ALL=C.UTF-8 '" + std::string(QUELMORA_EXECUTABLE) + "' --curve " +
                                Q(curve) + " --flood " + Q(flood) + "; echo after) >" + Q(file) + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(ReadFile(file), "before\n" + Expected(curve, flood) + "after\n");
}

// Drawing the chart starts Qt's application object, which switches the C
// library to the user's locale; under a decimal comma nothing of ours may
// change with it: the result keeps its points, the messages their numbers.
TEST_F(Batch, DecimalCommaLocaleLeavesNumbersAlone) {
    {
        TCLibraryLocale probe("de_DE.UTF-8");
        ASSERT_TRUE(probe.Active()) << "de_DE.UTF-8 is not installed (tools/setup.sh generates it)";
    }
    locale = "de_DE.UTF-8";
    const std::string curve = kExamples + "curve.txt", flood = kExamples + "flood.txt";
    const Outcome plain = Run("--curve " + Q(curve) + " --flood " + Q(flood));
    const Outcome charted = Run("--curve " + Q(curve) + " --flood " + Q(flood) + " --chart " + Q(dir / "c.png"));
    EXPECT_EQ(charted.status, 0);
    EXPECT_EQ(charted.out, plain.out);
    EXPECT_NE(plain.out.find(" 06:00:00,524.84,5.9748,0.0198,21600,91.6667,90,45,136.6667,\r\n"), std::string::npos)
        << plain.out;

    // The largest decimal lies beyond the decimal range once it is a double.
    WriteFile(dir / "flood.txt", Lines({"time,level,outflow", "2007-07-29 00-00-00,922337203685477.5807,0"}));
    const Outcome outside = Run("--curve " + Q(curve) + " --flood " + Q(dir / "flood.txt") + " --chart " + Q(dir / "c.png"));
    EXPECT_EQ(outside.status, 1);
    EXPECT_EQ(outside.err, "quelmora: 水位 922337203685477.625 m 超出库容水位曲线范围（495 – 530 m）.\nquelmora: " +
                               dir / "flood.txt" + ":2: 2007-07-29 00-00-00,922337203685477.5807,0\n");
}

// The plot the window and the picture share: storage across and level up, in
// the series' order by storage; a curve shown repaints once, a failed one
// only empties the series.
TEST(SeriesCurvePlot, FillsTheSeriesByStorage) {
    TChartSeries series;
    int repaints = 0;
    TSeriesCurvePlot plot(series, [&] { ++repaints; });
    plot.ShowCurve({{497, 1.74}, {495, 1.58}, {496, 1.66}});
    ASSERT_EQ(series.PointCount(), 3);
    const double storages[] = {1.58, 1.66, 1.74}, levels[] = {495, 496, 497};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(series.XValueAt(i), storages[i]) << i;
        EXPECT_EQ(series.YValueAt(i), levels[i]) << i;
    }
    EXPECT_EQ(repaints, 1);
    plot.ShowCurve({{500, 2}});
    EXPECT_EQ(series.PointCount(), 1);
    plot.ClearCurve();
    EXPECT_EQ(series.PointCount(), 0);
    EXPECT_EQ(repaints, 2);
}


TEST_F(Batch, SummaryOfTheTankanFlood) {
    const std::string curve = kRealData + "tankan_curve.txt", flood = kRealData + "tankan_flood.txt";
    const Computed computed(curve, flood);
    const std::string expected =
        SummaryText(SummarizeFlood(computed.work.FloodSteps, computed.work.ComputedRecords));
    EXPECT_NE(expected.find("\r\npeak_inflow,1228.0833,m^3/s,2024-07-26 17:00:00\r\n"), std::string::npos) << expected;
    EXPECT_NE(expected.find("\r\ninflow_volume,1.4763,10^8m^3,\r\n"), std::string::npos) << expected;

    // Beside the result file, and on standard output when the result has a file.
    const std::string summary = dir / "summary.csv", result = dir / "result.txt";
    const Outcome o =
        Run("--curve " + Q(curve) + " --flood " + Q(flood) + " --out " + Q(result) + " --summary " + Q(summary));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.out, "");
    EXPECT_EQ(o.err, "");
    EXPECT_EQ(ReadFile(summary), expected);
    const Outcome piped = Run("--curve " + Q(curve) + " --flood " + Q(flood) + " --out " + Q(result) + " --summary -");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, expected);

    // With the result on standard output, the summary in its file.
    const Outcome both = Run("--curve " + Q(curve) + " --flood " + Q(flood) + " --summary=" + Q(summary));
    EXPECT_EQ(both.status, 0);
    EXPECT_EQ(both.out, Expected(curve, flood));
    EXPECT_EQ(ReadFile(summary), expected);

    // A computation that fails writes no summary: an earlier one stays, and
    // the error reads as without the option.
    WriteFile(dir / "flood.txt", Lines({"time,level,outflow", "2007-07-29 00-00-00,524.75,0",
                                        "2007-07-29 06-00-00,524.84,90", "2007-07-29 06-00-00,524.88,90"}));
    WriteFile(summary, "earlier\r\n");
    const std::string examplesCurve = Q(kExamples + "curve.txt");
    const Outcome plain = Run("--curve " + examplesCurve + " --flood " + Q(dir / "flood.txt") + " --out " + Q(result));
    const Outcome failed = Run("--curve " + examplesCurve + " --flood " + Q(dir / "flood.txt") + " --out " + Q(result) +
                               " --summary " + Q(summary));
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.err.starts_with("quelmora: ")) << failed.err;
    EXPECT_EQ(failed.err, plain.err);
    EXPECT_EQ(ReadFile(summary), "earlier\r\n");
}

TEST_F(Batch, HydrographPicture) {
    const std::string curve = kRealData + "tankan_curve.txt", flood = kRealData + "tankan_flood.txt";
    const std::string png = dir / "hydrograph.png", result = dir / "result.txt";
    const Outcome o = Run("--curve " + Q(curve) + " --flood " + Q(flood) + " --out " + Q(result) + " --hydrograph " + Q(png));
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err, "");
    const std::string picture = ReadFile(png);
    EXPECT_EQ(PngSize(picture), (std::pair<long, long>{kChart2Width, kChart2Height}));

    // The page's chart for the same computation, drawn here at 120 ppi.
    const Computed computed(curve, flood);
    THydrographExport here;
    here.Show(computed.work.FloodSteps, computed.work.ComputedRecords);
    ASSERT_EQ(here.Hydrograph().Inflow().PointCount(), static_cast<int>(computed.work.FloodSteps.size()));
    EXPECT_EQ(picture, here.PngBytes());
    // Not the chart before the computation (no inflow): the inflow is drawn.
    here.Show(computed.work.FloodSteps, 0);
    EXPECT_NE(picture, here.PngBytes());

    // To standard output, the result in its file.
    const Outcome piped = Run("--curve " + Q(curve) + " --flood " + Q(flood) + " --out " + Q(result) + " --hydrograph -");
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.out, picture);
}

TEST_F(Batch, CheckReportsEveryProblemWithItsLine) {
    const std::string curve = kExamples + "curve.txt", flood = dir / "planted.txt";
    WriteFile(flood, Lines({"time,level,outflow",
                            "2007-07-29 00-00-00,524.75,0",
                            "2007-07-29 06-00-00,524.84",
                            "2007-07-29 06-00-00,x,90",
                            "2007-07-29 06-00-00,524.88,90",
                            "2007-07-29 03-00-00,524.88,90",
                            "2007-07-29 12-00-00,531,90",
                            "2007-07-29 18-00-00,524.9,90",
                            "2007-07-31 18-00-00,524.9,90"}));
    const Outcome o = Run("--check --curve " + Q(curve) + " --flood " + Q(flood));
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "");
    std::string expected;
    for (const TRecordProblem& p : CheckRecordFiles(curve, flood)) expected += ProblemText(p) + "\n";
    EXPECT_EQ(o.out, expected);
    const std::string at = flood + ":";
    for (const std::string& line :
         {at + "3: expected time,level,outflow: found 2 fields\n", at + "4: 'x' is not a valid floating point value\n",
          at + "5: time stamp repeats line 4's\n", at + "6: time stamp is earlier than line 4's (out of order)\n",
          at + "9: gap: a step of 48 h, where the record's usual step is 6 h\n"})
        EXPECT_NE(o.out.find(line), std::string::npos) << line << o.out;
    EXPECT_NE(o.out.find(at + "7: "), std::string::npos) << "the level outside the curve";
    EXPECT_EQ(std::count(o.out.begin(), o.out.end(), '\n'), 6) << o.out;

    // Clean files (a real record of even steps): nothing printed, exit 0.
    const Outcome clean =
        Run("--check --curve " + Q(kRealData + "tankan_curve.txt") + " --flood " + Q(kRealData + "tankan_flood.txt"));
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "");
    EXPECT_EQ(clean.err, "");
    EXPECT_EQ(Run("--curve " + Q(curve) + " --check").status, 0);

    // A file that cannot be opened is a problem of the file as a whole.
    const Outcome missing = Run("--check --curve " + Q(curve) + " --flood " + Q(dir / "missing.txt"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.out.starts_with(dir / "missing.txt" + ": ")) << missing.out;
}

TEST_F(Batch, CorrectedInflowOfTheWholePowellRecord) {
    const std::string curve = kRealData + "powell_curve_pre2017_live.txt",
                      flood = kRealData + "powell_1963_2026_flood.txt";
    const std::string summary = dir / "summary.csv", corrected = dir / "corrected.csv", result = dir / "result.txt";
    const Outcome o = Run("--curve " + Q(curve) + " --flood " + Q(flood) + " --out " + Q(result) + " --summary " +
                          Q(summary) + " --corrected " + Q(corrected) + " --negative redistribute");
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_EQ(o.err, "");
    // The corrections leave the computation and its file alone.
    EXPECT_EQ(ReadFile(result), Expected(curve, flood));

    const Computed computed(curve, flood);
    const std::string plain = SummaryText(SummarizeFlood(computed.work.FloodSteps, computed.work.ComputedRecords));
    const std::string text = ReadFile(summary);
    ASSERT_TRUE(text.starts_with(plain)) << text;
    // The redistributed series keeps the record's water to the summary's digits.
    const std::size_t at = plain.find("\r\ninflow_volume,") + 16;
    const std::string volume = plain.substr(at, plain.find(',', at) - at);
    EXPECT_NE(text.find("\r\ninflow_volume_corrected," + volume + ",10^8m^3,\r\n"), std::string::npos) << text;

    // One line a step, the computed inflow beside the corrected one; the
    // dozens of negative days are gone from the corrected column only.
    const std::string lines = ReadFile(corrected);
    ASSERT_TRUE(lines.starts_with("time,inflow,corrected_inflow\r\n"));
    // Written line by line, the text made whole here.
    const TCorrectedInflow here = CorrectInflow(computed.work.FloodSteps, computed.work.ComputedRecords, {0, true});
    EXPECT_TRUE(lines == CorrectedText(computed.work.FloodSteps, computed.work.ComputedRecords, here.inflow));
    std::size_t count = 0, negativeIn = 0, negativeOut = 0;
    for (std::size_t p = lines.find("\r\n") + 2; p < lines.size(); p = lines.find("\r\n", p) + 2) {
        ++count;
        const std::size_t c1 = lines.find(',', p), c2 = lines.find(',', c1 + 1);
        negativeIn += lines[c1 + 1] == '-';
        negativeOut += lines[c2 + 1] == '-';
    }
    EXPECT_EQ(count, computed.work.FloodSteps.size() - 1);
    EXPECT_GT(negativeIn, 50u);
    EXPECT_EQ(negativeOut, 0u);
}

TEST_F(Batch, NegativeRecordVolumeIsSaidAndKept) {
    // A lake that only falls while nothing leaves it: every inflow is negative.
    WriteFile(dir / "flood.txt", Lines({"time,level,outflow", "2007-07-29 00-00-00,524.9,0",
                                        "2007-07-29 06-00-00,524.8,0", "2007-07-29 12-00-00,524.7,0"}));
    const std::string curve = Q(kExamples + "curve.txt");
    const Outcome o = Run("--curve " + curve + " --flood " + Q(dir / "flood.txt") + " --out " + Q(dir / "r.txt") +
                          " --negative redistribute --corrected -");
    EXPECT_EQ(o.status, 0);
    EXPECT_EQ(o.err,
              "quelmora: the record's inflow volume is negative: its negative inflows cannot be redistributed; "
              "the corrected inflow keeps them\n");
    const Outcome plain = Run("--curve " + curve + " --flood " + Q(dir / "flood.txt") + " --out " + Q(dir / "r.txt") +
                              " --corrected -");
    EXPECT_EQ(plain.err, "");
    EXPECT_EQ(o.out, plain.out);
    EXPECT_NE(o.out.find(",-"), std::string::npos) << o.out;
}

// The balance's choices reach the computation, each as itself: Lake Powell's
// 1983 spill as the agency computes it, against its published inflow.
TEST_F(Batch, TheAgencysBalanceOfLakePowell) {
    const std::string curve = kRealData + "powell_curve_pre2017_live.txt";
    const std::string flood = kRealData + "powell_1983_flood_evap.txt";
    const std::string files = "--curve " + Q(curve) + " --flood " + Q(flood);
    TBalanceOptions end, bank, losses, agency;
    end.outflow = agency.outflow = TBalanceOptions::TOutflow::End;
    bank.bankStorage = agency.bankStorage = 0.08;
    losses.lossFields = agency.lossFields = {4};
    const std::vector<std::pair<std::string, TBalanceOptions>> cases{
        {"--outflow end", end},
        {"--bank-storage=0.08", bank},
        {"--losses 4", losses},
        {"--outflow end --bank-storage 0.08 --losses 4", agency},
        {"--outflow mean --bank-storage 0", {}},
    };
    const std::string plain = Expected(curve, flood);
    std::string agencyResult;
    for (const auto& [options, balance] : cases) {
        const Outcome o = Run(files + " " + options);
        EXPECT_EQ(o.status, 0) << options;
        EXPECT_EQ(o.err, "") << options;
        EXPECT_EQ(o.out, Expected(curve, flood, balance)) << options;
        EXPECT_EQ(o.out == plain, balance.IsPlain()) << options;
        if (balance == agency) agencyResult = o.out;
    }

    // The inflow column of the result file (four decimals) against the
    // published series.
    std::vector<double> inflow;
    std::size_t start = 0;
    for (int line = 0; start < agencyResult.size(); ++line) {
        const std::size_t end = agencyResult.find("\r\n", start);
        const std::string text = agencyResult.substr(start, end - start);
        start = end + 2;
        if (line < 2) continue;
        // The ninth value, before the line's last comma.
        const std::size_t last = text.rfind(',', text.size() - 2);
        inflow.push_back(std::stod(text.substr(last + 1)));
    }
    const std::vector<double> published = ReadPublishedInflow(kRealData + "powell_1983_published.csv");
    ASSERT_EQ(inflow.size(), 123u);
    EXPECT_LT(Rmse(inflow, published, 1), 1.0);

    // A record without the loss field fails as a bad outflow does.
    const Outcome missing = Run("--curve " + Q(curve) + " --flood " + Q(kRealData + "powell_1983_flood.txt") +
                                " --losses 4 --out " + Q(dir / "result.txt"));
    EXPECT_EQ(missing.status, 1);
    EXPECT_TRUE(missing.err.starts_with("quelmora: '' is not a valid floating point value.\n")) << missing.err;
    EXPECT_FALSE(std::filesystem::exists(dir / "result.txt"));
}

TEST_F(Batch, BadBalanceChoicesShowTheUsage) {
    const std::string files = "--curve " + Q(kExamples + "curve.txt") + " --flood " + Q(kExamples + "flood.txt");
    for (const auto& [options, reason] : std::vector<std::pair<std::string, std::string>>{
             {"--outflow start", "--outflow is mean or end, not 'start'"},
             {"--bank-storage -0.1", "--bank-storage needs a number K >= 0, not '-0.1'"},
             {"--bank-storage nan", "--bank-storage needs a number K >= 0, not 'nan'"},
             {"--bank-storage 0.08x", "--bank-storage needs a number K >= 0, not '0.08x'"},
             {"--losses 3", "--losses needs field numbers of 4 or more, as 4,5; not '3'"},
             {"--losses 4,,5", "--losses needs field numbers of 4 or more, as 4,5; not '4,,5'"},
             {"--losses=", "--losses needs a value"},
         }) {
        const Outcome o = Run(files + " " + options);
        EXPECT_EQ(o.status, 2) << options;
        EXPECT_EQ(o.out, "") << options;
        EXPECT_TRUE(o.err.starts_with("quelmora: " + reason + "\nusage: quelmora")) << options << "\n" << o.err;
    }
}
