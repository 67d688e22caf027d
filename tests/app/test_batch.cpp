// The batch mode, through the built program: exit status, standard output and
// error, the result file.

#include "AppVersion.h"
#include "InflowTestSupport.h"
#include "InflowWork.h"
#include "LocaleFormats.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <sys/wait.h>

using namespace inflow_test;

namespace {

const std::string kExamples = std::string(QUELMORA_SOURCE_DIR) + "/examples/";

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
        const std::string command = "LC_ALL=C.UTF-8 '" + std::string(QUELMORA_EXECUTABLE) + "' " +
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
    std::string Expected(const std::string& curve, const std::string& flood) {
        InflowWork work;
        work.FormCreate();
        work.ResetCurveTable();
        work.ReadCurve(curve);
        work.ResetFloodTable();
        work.ReadFlood(flood);
        work.Compute();
        work.WriteResult(dir / "expected.txt");
        return ReadFile(dir / "expected.txt");
    }

    std::string Q(const std::string& path) { return "'" + path + "'"; }

    ScratchDir dir;
};

}  // namespace

TEST_F(Batch, VersionAndHelp) {
    const Outcome version = Run("--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, std::string("quelmora ") + kAppVersion + "\n");
    EXPECT_EQ(version.err, "");

    const Outcome help = Run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.starts_with("usage: quelmora --curve CURVE [--flood FLOOD] [--out RESULT]\n"));
    EXPECT_EQ(help.err, "");
}

TEST_F(Batch, BadArgumentsShowTheUsage) {
    const std::string curve = Q(kExamples + "curve.txt");
    for (const std::string& args :
         {std::string("--flood ") + curve, std::string("--curve"), "--curve " + curve + " --curve " + curve,
          std::string("--bogus"), "--curve " + curve + " stray", "--curve " + curve + " --out r.txt",
          std::string("--curve=")}) {
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
    EXPECT_EQ(noComma.err, "quelmora: List index out of bounds (1)\n") << "no period after ')'";
    EXPECT_EQ(ReadFile(result), "earlier\r\n");

    WriteFile(dir / "flood.txt", Lines({"time,level,outflow", "2007-07-29 00-00-00,530.2,0"}));
    const Outcome outside = Run("--curve " + Q(curve) + " --flood " + Q(dir / "flood.txt"));
    EXPECT_EQ(outside.status, 1);
    EXPECT_EQ(outside.err, "quelmora: 水位 530.2 m 超出库容水位曲线范围（495 – 530 m）.\n");
    EXPECT_EQ(outside.out, "");

    WriteFile(dir / "flood.txt", Lines({"time,level,outflow", "2007-07-29 00-00-00,x,0"}));
    EXPECT_EQ(Run("--curve " + Q(curve) + " --flood " + Q(dir / "flood.txt")).err,
              "quelmora: 'x' is not a valid floating point value.\n");
}
