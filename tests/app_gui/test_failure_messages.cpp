// Every failure message a user can reach, read exactly as the message box
// shows it: each case of one table goes through the window's real handlers
// (the file dialog and the message box replaced) and through the batch mode
// of the built program (its standard error line and exit status).

#include "AppGuiTestSupport.h"
#include "FailureTestSupport.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>

#include <algorithm>
#include <initializer_list>
#include <ostream>
#include <optional>
#include <string>
#include <vector>

using namespace failure_test;

namespace {

const std::string kCurveHeading = "水位H(m),库容V(亿m3)";
const std::string kFloodHeading = "时间T(m),库水位V(m),出库流量(m3/s)";

std::string CurveOf(std::initializer_list<std::string> points) {
    std::string text = kCurveHeading + "\n";
    for (const std::string& p : points) text += p + "\n";
    return text;
}

std::string FloodOf(std::initializer_list<std::string> records) {
    std::string text = kFloodHeading + "\n";
    for (const std::string& r : records) text += r + "\n";
    return text;
}

// A curve from 495 to 497 m and a record inside it that computes cleanly.
const std::string kCurve = CurveOf({"495,1.58", "496,1.66", "497,1.74"});
const std::string kFlood =
    FloodOf({"2007-07-29 00-00-00,495.5,0", "2007-07-29 06-00-00,496,90", "2007-07-29 07-00-00,496.5,90"});

// One failure: the files handed over, the names chosen for them, and the
// message the user reads.
struct FailureCase {
    std::string id;                    // the test's name
    std::string curve = kCurve;        // written as curve.txt
    std::optional<std::string> flood;  // written as flood.txt; without it only the curve is read
    bool output = false;               // the result file is written as well
    std::string curveName = "curve.txt";
    std::string floodName = "flood.txt";
    std::string outName = "result.txt";
    bool asNobody = false;             // files are reached as the user nobody
    std::string message;               // as the message box shows it
    // What batch mode says instead, when it says more: "{out}" stands for the
    // result file's name, "{curve}" for the curve's.
    std::string batchMessage;
    // The line the failure belongs to (0: none), in the curve file for the
    // curve's cases, else in the flood file; it is also the row the window
    // shows.
    int line = 0;
    bool lineInCurve = false;
};

FailureCase CurveCase(std::string id, std::string curve, std::string message, int line) {
    FailureCase c;
    c.id = std::move(id);
    c.curve = std::move(curve);
    c.message = std::move(message);
    c.line = line;
    c.lineInCurve = true;
    return c;
}

FailureCase CurveNamed(std::string id, std::string name, std::string message, bool asNobody = false) {
    FailureCase c;
    c.id = std::move(id);
    c.curveName = std::move(name);
    c.asNobody = asNobody;
    c.message = std::move(message);
    return c;
}

FailureCase FloodCase(std::string id, std::string flood, std::string message, int line = 0) {
    FailureCase c;
    c.id = std::move(id);
    c.flood = std::move(flood);
    c.message = std::move(message);
    c.line = line;
    return c;
}

FailureCase FloodNamed(std::string id, std::string name, std::string message, bool asNobody = false) {
    FailureCase c = FloodCase(std::move(id), kFlood, std::move(message));
    c.floodName = std::move(name);
    c.asNobody = asNobody;
    return c;
}

FailureCase ComputeCase(std::string id, std::string curve, std::string flood, std::string message,
                        int line = 0) {
    FailureCase c = FloodCase(std::move(id), std::move(flood), std::move(message), line);
    c.curve = std::move(curve);
    return c;
}

FailureCase OutputNamed(std::string id, std::string name, std::string message, bool asNobody = false) {
    FailureCase c = FloodCase(std::move(id), kFlood, std::move(message));
    // Batch mode names the output that failed.
    c.batchMessage = "{out}: " + c.message;
    c.output = true;
    c.outName = std::move(name);
    c.asNobody = asNobody;
    return c;
}

// A text far too long to show whole: the message shows its start and its end.
const std::string kMillionDigits(1000000, '7');

std::string ShortenedNumberMessage(const std::string& number) {
    const std::string tail = "' is not a valid floating point value";
    const std::size_t length = 1 + number.size() + tail.size();
    return "'" + number.substr(0, 599) + " … (" + std::to_string(length - 800) + " bytes left out) … " +
           number.substr(number.size() - (200 - tail.size())) + tail + ".";
}

const std::vector<FailureCase>& Cases() {
    static const std::vector<FailureCase> cases{
        // Reading the curve.
        CurveNamed("CurveMissing", "missing.txt", "File not found."),
        CurveNamed("CurveInMissingFolder", "no-folder/curve.txt", "Invalid filename."),
        CurveNamed("CurveBelowAFile", "plain.txt/curve.txt", "Invalid filename."),
        CurveNamed("CurveNameTooLong", std::string(300, 'n') + ".txt", "Invalid filename."),
        CurveNamed("CurveIsAFolder", "folder", "File access denied."),
        CurveNamed("CurveNotReadable", "locked-curve.txt", "File access denied.", true),
        CurveCase("CurveLineWithoutComma", CurveOf({"495,1.58", "496;1.66", "497,1.74"}),
                  "List index out of bounds (1)", 3),
        CurveCase("CurveBlankLineAtTheEnd", CurveOf({"495,1.58", "496,1.66", ""}), "List index out of bounds (1)", 4),
        CurveCase("CurveLevelNotANumber", CurveOf({"495,1.58", "abc,1.66"}),
                  "'abc' is not a valid floating point value.", 3),
        CurveCase("CurveStorageEmpty", CurveOf({"495,1.58", "496,"}), "'' is not a valid floating point value.", 3),
        CurveCase("CurveTabBeforeStorage", CurveOf({"495,1.58", "496,\t1.66"}),
                  "'\t1.66' is not a valid floating point value.", 3),
        CurveCase("CurveSignAlone", CurveOf({"495,1.58", "+,1.66"}), "'+' is not a valid floating point value.", 3),
        CurveCase("CurveWideDigits", CurveOf({"495,1.58", "４９６,1.66"}),
                  "'４９６' is not a valid floating point value.", 3),
        CurveCase("CurveBeyondTheDecimalRange", CurveOf({"495,1.58", "496,922337203685478"}),
                  "'922337203685478' is not a valid floating point value.", 3),
        // The lines are all in the table before a number is read.
        CurveCase("CurveLineErrorBeforeNumberError", CurveOf({"495,x", "496"}), "List index out of bounds (1)", 3),
        CurveCase("CurveNumberOfAMillionDigits", CurveOf({"495,1.58", "496," + kMillionDigits}),
                  ShortenedNumberMessage(kMillionDigits), 3),

        // Reading the flood record.
        FloodNamed("FloodMissing", "missing.txt", "File not found."),
        FloodNamed("FloodInMissingFolder", "no-folder/flood.txt", "Invalid filename."),
        FloodNamed("FloodIsAFolder", "folder", "File access denied."),
        FloodNamed("FloodNotReadable", "locked-flood.txt", "File access denied.", true),
        FloodCase("FloodLineWithoutComma", FloodOf({"2007-07-29 00-00-00,495.5,0", "2007-07-29 06-00-00"}),
                  "List index out of bounds (1)", 3),
        FloodCase("FloodLineWithOneComma", FloodOf({"2007-07-29 00-00-00,495.5,0", "2007-07-29 06-00-00,496"}),
                  "List index out of bounds (2)", 3),
        FloodCase("FloodBlankLine", FloodOf({"2007-07-29 00-00-00,495.5,0", "", "2007-07-29 07-00-00,496.5,90"}),
                  "List index out of bounds (1)", 3),
        FloodCase("FloodStampWithSlashes", FloodOf({"2007/07/29 00-00-00,495.5,0"}),
                  "'2007/07/29 00-00-00' is not a valid date and time.", 2),
        FloodCase("FloodStampNoSuchDay", FloodOf({"2007-02-30 00-00-00,495.5,0"}),
                  "'2007-02-30 00-00-00' is not a valid date and time.", 2),
        FloodCase("FloodStampHour24", FloodOf({"2007-07-29 24-00-00,495.5,0"}),
                  "'2007-07-29 24-00-00' is not a valid date and time.", 2),
        FloodCase("FloodStampEmpty", FloodOf({",495.5,0"}), "'' is not a valid date and time.", 2),
        FloodCase("FloodLevelNotANumber", FloodOf({"2007-07-29 00-00-00,abc,0"}),
                  "'abc' is not a valid floating point value.", 2),
        FloodCase("FloodOutflowEmpty", FloodOf({"2007-07-29 00-00-00,495.5,"}),
                  "'' is not a valid floating point value.", 2),
        FloodCase("FloodOutflowWithBlankInside", FloodOf({"2007-07-29 00-00-00,495.5,9 0"}),
                  "'9 0' is not a valid floating point value.", 2),
        // A row's stamp is read before its level; the first bad row is the one told.
        FloodCase("FloodStampBeforeLevel", FloodOf({"2007-07-29 00-00-00,495.5,0", "2007-7-29 xx,x,0", "x,x,x"}),
                  "'2007-7-29 xx' is not a valid date and time.", 3),
        FloodCase("FloodLineErrorBeforeNumberError", FloodOf({"2007-07-29 00-00-00,x,0", "2007-07-29 06-00-00,1"}),
                  "List index out of bounds (2)", 3),

        // The computation.
        ComputeCase("LevelAboveTheCurve", kCurve, FloodOf({"2007-07-29 00-00-00,495.5,0", "2007-07-29 06-00-00,530.2,90"}),
                    "水位 530.2 m 超出库容水位曲线范围（495 – 497 m）.", 3),
        ComputeCase("LevelBelowTheCurve", kCurve, FloodOf({"2007-07-29 00-00-00,490,0"}),
                    "水位 490 m 超出库容水位曲线范围（495 – 497 m）.", 2),
        ComputeCase("LevelJustAboveTheTop", kCurve, FloodOf({"2007-07-29 00-00-00,497.0001,0"}),
                    "水位 497.0001 m 超出库容水位曲线范围（495 – 497 m）.", 2),
        ComputeCase("CurveFalling", CurveOf({"497,1.74", "496,1.66", "495,1.58"}),
                    FloodOf({"2007-07-29 00-00-00,496,0"}), "水位 496 m 超出库容水位曲线范围（495 – 497 m）.", 2),
        ComputeCase("CurveOfOnePoint", CurveOf({"495,1.58"}), kFlood, "库容水位曲线少于两个点."),
        [] {
            // Batch mode stops at a file with no point at all.
            FailureCase c = ComputeCase("CurveOfNoPoint", CurveOf({}), kFlood, "库容水位曲线少于两个点.");
            c.batchMessage = "{curve}: no points: the file has no line after its heading.";
            return c;
        }(),
        ComputeCase("SameStampOtherStorage", kCurve,
                    FloodOf({"2007-07-29 06-00-00,495.5,0", "2007-07-29 06-00-00,496,90"}),
                    "Floating point division by zero.", 3),
        ComputeCase("SameStampSameStorage", kCurve,
                    FloodOf({"2007-07-29 06-00-00,495.5,0", "2007-07-29 06-00-00,495.5,90"}),
                    "Invalid floating point operation.", 3),
        ComputeCase("StorageRateBeyondTheDecimalRange", CurveOf({"0,0", "1,900000000000000"}),
                    FloodOf({"2007-07-29 06-00-00,0,0", "2007-07-29 07-00-00,1,0"}),
                    "Invalid floating point operation.", 3),

        // The result file.
        OutputNamed("ResultIsAFolder", "folder", "File access denied."),
        OutputNamed("ResultInMissingFolder", "no-folder/result.txt", "Invalid filename."),
        OutputNamed("ResultBelowAFile", "plain.txt/result.txt", "Invalid filename."),
        OutputNamed("ResultNameEndsInSlash", "new/", "Invalid filename."),
        OutputNamed("ResultNameTooLong", std::string(300, 'r') + ".txt", "Invalid filename."),
        OutputNamed("ResultNotWritable", "readonly.txt", "File access denied.", true),
        OutputNamed("ResultInClosedFolder", "closed/result.txt", "File access denied.", true),
    };
    return cases;
}

// The scratch folder of a case: its two files, and the things the names
// point at (a folder, a plain file, files and a folder that only root may
// read or change).
void Furnish(const ScratchFolder& folder, const FailureCase& c) {
    PutFile(folder / "curve.txt", c.curve);
    if (c.flood) PutFile(folder / "flood.txt", *c.flood);
    fs::create_directory(folder / "folder");
    PutFile(folder / "plain.txt", "a plain file");
    PutFile(folder / "locked-curve.txt", kCurve);
    PutFile(folder / "locked-flood.txt", kFlood);
    fs::permissions(folder / "locked-curve.txt", fs::perms(0600));
    fs::permissions(folder / "locked-flood.txt", fs::perms(0600));
    PutFile(folder / "readonly.txt", "an earlier result\r\n");
    fs::permissions(folder / "readonly.txt", fs::perms(0644));
    fs::create_directory(folder / "closed");
    fs::permissions(folder / "closed", fs::perms(0755));
}

// What a failure must leave: every name as it was (no temporary, no result
// file), the earlier result unchanged.
void ExpectFolderUntouched(const ScratchFolder& folder, const std::vector<std::string>& before) {
    EXPECT_EQ(folder.Names(), before);
    EXPECT_TRUE(folder.Names("closed").empty());
    EXPECT_TRUE(folder.Names("folder").empty());
    EXPECT_EQ(GetFile(folder / "readonly.txt"), "an earlier result\r\n");
}

bool SkipAsNobody(const FailureCase& c) { return c.asNobody && geteuid() != 0; }

// Both halves read the locale the program reads.
void UseTheProgramsLocale() {
    setenv("LC_ALL", "C.UTF-8", 1);
    LoadLocaleFormats();
}

class ThroughTheWindow : public WindowTest, public ::testing::WithParamInterface<FailureCase> {
protected:
    void SetUp() override {
        setenv("LC_ALL", "C.UTF-8", 1);
        WindowTest::SetUp();
        UseTheProgramsLocale();
    }
};

class ThroughBatchMode : public ::testing::TestWithParam<FailureCase> {
protected:
    static void SetUpTestSuite() { UseTheProgramsLocale(); }
};

std::string CaseName(const ::testing::TestParamInfo<FailureCase>& info) { return info.param.id; }

// A failing case is named, not dumped.
void PrintTo(const FailureCase& c, std::ostream* os) { *os << c.id; }

// Line n of a case's file (its lines end in a line feed alone).
std::string LineOf(const std::string& content, int n) {
    std::size_t start = 0;
    for (int k = 1; k < n; ++k) start = content.find('\n', start) + 1;
    return content.substr(start, content.find('\n', start) - start);
}

// A line as the second line of an error shows it: a long one (ASCII here) by
// its first 600 and last 200 bytes.
std::string ShownLine(const std::string& line) {
    if (line.size() <= 1000) return line;
    return line.substr(0, 600) + " … (" + std::to_string(line.size() - 800) + " bytes left out) … " +
           line.substr(line.size() - 200);
}

// Compares texts that may be a megabyte long without printing them whole.
void ExpectSameText(const std::string& actual, const std::string& expected) {
    if (actual.size() + expected.size() < 4000) {
        EXPECT_EQ(actual, expected);
        return;
    }
    const auto diff = std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end());
    EXPECT_TRUE(actual == expected) << "lengths " << actual.size() << " and " << expected.size()
                                    << ", first difference at byte " << (diff.first - actual.begin());
}

}  // namespace

// The buttons in their order, as a user goes through them, up to the first
// message.
TEST_P(ThroughTheWindow, ShowsTheMessage) {
    const FailureCase& c = GetParam();
    if (SkipAsNobody(c)) GTEST_SKIP() << "only root can check files as another user";
    ScratchFolder folder;
    Furnish(folder, c);
    const std::vector<std::string> before = folder.Names();
    Answer(folder / c.curveName);
    Answer(folder / c.floodName);
    Answer(folder / c.outName);
    {
        std::optional<FileAccessAsNobody> nobody;
        if (c.asNobody) {
            nobody.emplace();
            ASSERT_TRUE(nobody->Active()) << "the file system identity did not change";
        }
        form->BitBtn1->click();
        if (messages.shown.empty() && c.flood) {
            form->BitBtn2->click();
            if (messages.shown.empty()) form->BitBtn3->click();
            if (messages.shown.empty() && c.output) form->BitBtn4->click();
        }
    }
    ASSERT_EQ(messages.shown.size(), 1u) << "exactly one message";
    ExpectSameText(messages.shown[0].second, c.message);
    EXPECT_EQ(messages.shown[0].first, App().Title());
    ExpectFolderUntouched(folder, before);
    // The failing file's table shows the failing row, current and selected;
    // a failure without a line selects nothing.
    for (TStringGridView* view : {form->StringGrid1, form->StringGrid2}) {
        SCOPED_TRACE(view->objectName().toStdString());
        const bool concerned = c.line > 0 && (view == form->StringGrid2) == c.lineInCurve;
        if (!concerned) {
            EXPECT_FALSE(view->selectionModel()->hasSelection());
            continue;
        }
        const QModelIndex current = view->currentIndex();
        EXPECT_EQ(current.row() + 1, c.line) << "the grid row";
        EXPECT_TRUE(view->selectionModel()->isSelected(current));
    }
}

TEST_P(ThroughBatchMode, PrintsTheMessageAndExitsWithOne) {
    const FailureCase& c = GetParam();
    if (SkipAsNobody(c)) GTEST_SKIP() << "only root can run the program as another user";
    ScratchFolder folder;
    Furnish(folder, c);
    const std::vector<std::string> before = folder.Names();
    std::vector<std::string> arguments{"--curve", folder / c.curveName};
    if (c.flood) {
        arguments.insert(arguments.end(), {"--flood", folder / c.floodName});
        if (c.output) arguments.insert(arguments.end(), {"--out", folder / c.outName});
    }
    RunOptions options;
    options.asNobody = c.asNobody;
    const ProgramRun run = RunProgram(QUELMORA_EXECUTABLE, arguments, options);
    EXPECT_EQ(run.status, 1);
    std::string message = c.batchMessage.empty() ? c.message : c.batchMessage;
    for (const auto& [mark, name] : {std::pair<std::string, std::string>{"{out}", c.outName}, {"{curve}", c.curveName}})
        if (const std::size_t at = message.find(mark); at != std::string::npos) message.replace(at, mark.size(), folder / name);
    std::string expected = ErrorLine(message);
    if (c.line > 0) {
        const std::string file = folder / (c.lineInCurve ? c.curveName : c.floodName);
        expected += "quelmora: " + file + ":" + std::to_string(c.line) + ": " +
                    ShownLine(LineOf(c.lineInCurve ? c.curve : *c.flood, c.line)) + "\n";
    }
    ExpectSameText(run.err, expected);
    EXPECT_EQ(run.out, "") << "nothing is written when a step before the result fails";
    ExpectFolderUntouched(folder, before);
}

INSTANTIATE_TEST_SUITE_P(Failures, ThroughTheWindow, ::testing::ValuesIn(Cases()), CaseName);
INSTANTIATE_TEST_SUITE_P(Failures, ThroughBatchMode, ::testing::ValuesIn(Cases()), CaseName);

// The table shows where reading stopped, also a line of a megabyte: its cell
// paints as one holding only its first characters (the cell cuts it off at its
// edge either way), and the view is never handed the whole text to lay out.
TEST_F(WindowTest, AHugeCellPaintsAsItsVisibleStart) {
    const std::string digits(1000000, '7');
    WriteFile(Path("huge.txt"), kCurveHeading + "\n495,1.58\n496," + digits + "\n");
    WriteFile(Path("start.txt"), kCurveHeading + "\n495,1.58\n496," + digits.substr(0, 200) + "\n");
    form->show();
    Answer(Path("start.txt"));
    form->BitBtn1->click();
    const QImage start = form->StringGrid2->grab().toImage();
    Answer(Path("huge.txt"));
    form->BitBtn1->click();
    ASSERT_EQ(messages.shown.size(), 2u);
    ASSERT_EQ(form->Work.StringGrid2.Cell(1, 3).size(), digits.size()) << "the grid keeps the whole text";
    const QAbstractItemModel* model = form->StringGrid2->model();
    const QString shown = model->data(model->index(2, 1)).toString();
    EXPECT_LE(shown.size(), 1000);
    EXPECT_TRUE(digits.starts_with(shown.toStdString()));
    EXPECT_GE(shown.size(), 200);
    EXPECT_EQ(form->StringGrid2->grab().toImage(), start);
}

// The writer meets a value beyond the decimal texts only after the
// computation stopped at it, which the window lets a user go on from (batch
// mode stops there): the earlier result stays as it was.
TEST_F(WindowTest, ResultAfterAComputationThatStoppedAtAHugeValue) {
    UseTheProgramsLocale();
    ScratchFolder folder;
    PutFile(folder / "curve.txt", CurveOf({"0,0", "1,900000000000000"}));
    PutFile(folder / "flood.txt", FloodOf({"2007-07-29 06-00-00,0,0", "2007-07-29 07-00-00,1,0"}));
    PutFile(folder / "result.txt", "an earlier result\r\n");
    Answer(folder / "curve.txt");
    Answer(folder / "flood.txt");
    Answer(folder / "result.txt");
    form->BitBtn1->click();
    form->BitBtn2->click();
    form->BitBtn3->click();
    form->BitBtn4->click();
    std::vector<std::string> texts;
    for (const auto& shown : messages.shown) texts.push_back(shown.second);
    EXPECT_EQ(texts, (std::vector<std::string>{"Invalid floating point operation.",
                                               "Invalid floating point operation."}));
    EXPECT_EQ(GetFile(folder / "result.txt"), "an earlier result\r\n");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"curve.txt", "flood.txt", "result.txt"}));
}
