// Agency files opened in the window: through 导入… (the import dialog's own
// choices), through --window with the layout options, and through the
// computation set up as batch mode sets it up. The three must give the same
// inflow, step for step.

#include "AppGuiTestSupport.h"
#include "Currency.h"
#include "FloodRun.h"
#include "GridView.h"
#include "HydrographPage.h"
#include "ImportDialog.h"
#include "RecordRepair.h"
#include "WindowArguments.h"
#include "WorkbookLines.h"

#include <QAction>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QComboBox>
#include <QLabel>

#include <cmath>
#include <cstring>

namespace {

const std::string kPublished = QUELMORA_REALDATA_DIR "/as-published/";
const std::string kPre2017 = kPublished + "powell_capacity_pre2017.csv";
const std::string k2017 = kPublished + "powell_capacity_2017.csv";
const std::string kDaily = kPublished + "powell_daily_usbr.csv";

std::int64_t Day(int y, int m, int d) {
    DateTimeValue t = 0;
    EXPECT_TRUE(TryEncodeDate(y, m, d, t));
    return StampDay(t);
}

TWindowArguments Parse(std::vector<std::string> args) {
    args.insert(args.begin(), {"quelmora", "--window"});
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return ParseWindowArguments(static_cast<int>(args.size()), argv.data());
}

class WindowImportTest : public WindowTest {
protected:
    // The import dialog's own choices for a file (its guess from the headings).
    TImportChoice DialogChoice(TFileKind kind, const std::string& file, const char* validFrom = "") {
        TImportDialog dialog(kind, QString::fromStdString(file), dir.filePath("import.conf"));
        dialog.SetValidFrom(QString::fromUtf8(validFrom));
        EXPECT_EQ(dialog.Problem(), QString()) << file;
        return {dialog.Options(), dialog.ValidFrom()};
    }
    // The curves and the record read as batch mode reads them: the dated
    // curve first, the main curve last; computed.
    static void ReadAsBatch(InflowWork& batch, const TImportChoice& pre, const TImportChoice& resurvey,
                            const std::string& flood, const TImportChoice& floodChoice) {
        batch.ShowTables = false;
        batch.FormCreate();
        batch.CurveFormat = ReadRecordFormat(TFileKind::Curve, resurvey.options);
        batch.ReadCurve(k2017);
        batch.DatedCurves.push_back(
            {k2017, *resurvey.fromDay, std::move(batch.CurvePoints), std::move(batch.CurveAreas)});
        batch.CurvePointsFile = kPre2017;
        batch.CurveFormat = ReadRecordFormat(TFileKind::Curve, pre.options);
        batch.ResetCurveTable();
        batch.ReadCurve(kPre2017);
        batch.FloodFormat = ReadRecordFormat(TFileKind::Flood, floodChoice.options);
        batch.ReadFlood(flood);
    }
    void Import(TForm1& window, TFileKind kind, const std::string& file, const TImportChoice& choice) {
        Answer(file);
        window.ExecuteImportDialog = [&](TFileKind asked, const std::string& name) {
            EXPECT_EQ(asked, kind);
            EXPECT_EQ(name, file);
            return std::optional<TImportChoice>(choice);
        };
        // As the menu entry runs it: an error reaches the error display.
        const char* action = kind == TFileKind::Curve ? "ImportCurve" : "ImportFlood";
        window.findChild<QAction*>(QString::fromLatin1(action))->trigger();
    }
};

TEST_F(WindowImportTest, PowellAsPublishedGivesTheSameInflowEveryWay) {
    const TImportChoice pre = DialogChoice(TFileKind::Curve, kPre2017);
    const TImportChoice resurvey = DialogChoice(TFileKind::Curve, k2017, "2022-07-01");
    const TImportChoice daily = DialogChoice(TFileKind::Flood, kDaily);
    ASSERT_EQ(resurvey.fromDay, Day(2022, 7, 1));

    // Through the menu entries, the later curve first: the list orders them.
    Import(*form, TFileKind::Curve, k2017, resurvey);
    Import(*form, TFileKind::Curve, kPre2017, pre);
    Import(*form, TFileKind::Flood, kDaily, daily);
    form->BitBtn3Click();
    ASSERT_TRUE(messages.shown.empty()) << messages.shown.front().second;
    InflowWork& work = form->Work;
    ASSERT_EQ(work.ComputedRecords, work.FloodSteps.size());
    ASSERT_EQ(work.DatedCurves.size(), 1u);
    EXPECT_EQ(work.DatedCurves[0].file, k2017);
    EXPECT_EQ(work.CurvePointsFile, kPre2017);

    // The same through the command line, with the options written by hand.
    TForm1 byArguments;
    byArguments.OpenFiles(Parse({"--curve", kPre2017, "--curve", k2017 + "@2022-07-01", "--curve-columns",
                                 "level=1,storage=2", "--flood", kDaily, "--columns",
                                 "time=Date,level=Elevation (feet),outflow=Total Release (cfs),loss=Evaporation (af)",
                                 "--units", "level=ft,storage=af,flow=cfs,loss=af", "--missing", "skip", "--compute"}));
    ASSERT_TRUE(messages.shown.empty()) << messages.shown.front().second;

    // And the computation alone, read as batch mode reads: dated curves
    // first, the main curve last.
    InflowWork batch;
    ReadAsBatch(batch, pre, resurvey, kDaily, daily);
    batch.Compute();

    const std::vector<TFloodStep>& a = work.FloodSteps;
    for (const std::vector<TFloodStep>* other : {&byArguments.Work.FloodSteps, &batch.FloodSteps}) {
        ASSERT_EQ(other->size(), a.size());
        for (std::size_t k = 0; k < a.size(); ++k)
            ASSERT_EQ(std::memcmp(&a[k], &(*other)[k], sizeof(TFloodStep)), 0) << "record " << k;
    }
    // The day the switch took place lies inside the record.
    EXPECT_TRUE(std::any_of(a.begin(), a.end(), [&](const TFloodStep& s) { return StampDay(s.T) == *resurvey.fromDay; }));

    // Both curves are listed, each shown on choice; the computation keeps both.
    EXPECT_FALSE(form->CurveList->isHidden());
    ASSERT_EQ(form->CurveList->count(), 2);
    EXPECT_TRUE(form->CurveList->itemText(1).contains(QStringLiteral("2022-07-01")));
    form->ShowListedCurve(1);
    EXPECT_EQ(work.StringGrid2.Cell(0, 2), "954.024");   // 3130 ft in metres
    EXPECT_EQ(work.DatedCurves.size(), 1u);
    // The skipped days are said beside the picture, their count in words.
    EXPECT_FALSE(form->ImportNote->isHidden());
    EXPECT_TRUE(form->ImportNote->text().contains(QString::number(work.FloodSkipped.Count())));
    EXPECT_GT(work.FloodSkipped.Count(), 0u);

    // The plain buttons read the plain form again, with one curve.
    Answer(QUELMORA_SOURCE_DIR "/examples/curve.txt");
    form->BitBtn1Click();
    Answer(QUELMORA_SOURCE_DIR "/examples/flood.txt");
    form->BitBtn2Click();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_TRUE(form->CurveList->isHidden());
    EXPECT_TRUE(work.DatedCurves.empty());
    EXPECT_TRUE(work.CurveFormat.IsDefault() && work.FloodFormat.IsDefault());
    EXPECT_TRUE(form->ImportNote->isHidden());
}

// A dated curve imported after a plain read holds from its day, the plain one
// before it; a curve that then fails to import leaves both in use.
// A workbook's sheet named as FILE.xlsx#SHEET reads in the window as the
// workbook's first sheet and as the CSV it was made from; a sheet that is not
// there is refused by its name.
TEST_F(WindowImportTest, AWorkbooksSheetReadsByItsName) {
    workbook::InstallWorkbookLines();
    const std::string data = QUELMORA_SOURCE_DIR "/tests/data/workbook/";
    std::vector<std::vector<TFloodStep>> records;
    std::vector<std::size_t> curvePoints;
    for (const std::string flood : {"flood_hourly.csv", "flood_hourly.xlsx", "flood_hourly.xlsx#flood_hourly"}) {
        Answer(data + (flood.ends_with("csv") ? "curve.xlsx" : "curve.xlsx#curve"));
        form->BitBtn1->click();
        Answer(data + flood);
        form->BitBtn2->click();
        ASSERT_TRUE(messages.shown.empty()) << flood << ": " << messages.shown[0].second;
        curvePoints.push_back(form->Work.CurvePoints.size());
        records.push_back(form->Work.FloodSteps);
    }
    ASSERT_GT(records[0].size(), 10u);
    for (std::size_t k = 1; k < records.size(); ++k) {
        EXPECT_EQ(curvePoints[k], curvePoints[0]);
        ASSERT_EQ(records[k].size(), records[0].size());
        for (std::size_t i = 0; i < records[0].size(); ++i) {
            EXPECT_EQ(records[k][i].T, records[0][i].T) << k << " " << i;
            EXPECT_EQ(records[k][i].Z, records[0][i].Z) << k << " " << i;
            EXPECT_EQ(records[k][i].Qout, records[0][i].Qout) << k << " " << i;
        }
    }
    Answer(data + "flood_hourly.xlsx#Missing");
    form->BitBtn2->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].second.find("no such sheet"), std::string::npos) << messages.shown[0].second;
}

TEST_F(WindowImportTest, APlainCurveHoldsUntilTheDatedOneAndSurvivesAFailedImport) {
    Answer(QUELMORA_SOURCE_DIR "/examples/curve.txt");
    form->BitBtn1Click();
    const std::vector<TCurvePoint> plain = form->Work.CurvePoints;
    WriteFile(Path("later.csv"), "H,V\n495,1.6\n530,9.9\n");
    Import(*form, TFileKind::Curve, Path("later.csv"), {{}, Day(2007, 7, 29)});
    ASSERT_TRUE(messages.shown.empty());
    auto check = [&] {
        const std::vector<TCurvePoint>& now = form->Work.CurvePoints;
        ASSERT_EQ(now.size(), plain.size());
        for (std::size_t k = 0; k < now.size(); ++k) EXPECT_TRUE(now[k].Z == plain[k].Z && now[k].V == plain[k].V);
        ASSERT_EQ(form->Work.DatedCurves.size(), 1u);
        EXPECT_EQ(form->Work.DatedCurves[0].fromDay, Day(2007, 7, 29));
        EXPECT_EQ(form->CurveList->count(), 2);
    };
    check();
    // Shown is the curve just read.
    EXPECT_EQ(form->CurveList->currentIndex(), 1);
    EXPECT_EQ(form->Work.StringGrid2.Cell(1, 3), "9.9");
    WriteFile(Path("bad.csv"), "H,V\n3500,x\n");
    Import(*form, TFileKind::Curve, Path("bad.csv"), {{}, Day(2024, 1, 1)});
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].second.find("'x'"), std::string::npos) << messages.shown[0].second;
    check();
    // The same day again replaces the curve of that day.
    Import(*form, TFileKind::Curve, Path("later.csv"), {{}, Day(2007, 7, 29)});
    check();
    // The record computes with both.
    Answer(QUELMORA_SOURCE_DIR "/examples/flood.txt");
    form->BitBtn2Click();
    form->BitBtn3Click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(form->Work.ComputedRecords, form->Work.FloodSteps.size());
}

TEST(WindowArguments, LayoutOptionsAndDatedCurves) {
    QTemporaryDir dir;
    const std::string at = dir.filePath("odd@2022-07-01").toStdString();
    WriteFile(at, "H,V\n495,1.58\n");
    struct Case {
        std::vector<std::string> args;
        const char* error = nullptr;   // part of the usage error; null: accepted
        std::vector<TCurveArgument> curves = {};
        TOptionPairs curveFormat = {}, floodFormat = {};
    };
    const std::int64_t july = Day(2022, 7, 1);
    const Case cases[] = {
        // Plain files stay plain.
        {{"--curve", "c.txt", "--flood", "f.txt"}, nullptr, {}, {}, {}},
        // The dated one after the undated, whatever the order given.
        {{"--curve", "new.csv@2022-07-01", "--curve", "old.csv", "--flood", "f.csv", "--units", "level=ft"},
         nullptr,
         {{"old.csv", std::nullopt}, {"new.csv", july}},
         {{"--units", "level=ft"}},
         {{"--units", "level=ft"}}},
        {{"--curve", "c.csv", "--curve-columns", "level=1,storage=2"}, nullptr, {{"c.csv", std::nullopt}},
         {{"--curve-columns", "level=1,storage=2"}}, {}},
        {{"--curve", "c.csv@2022-07-01"}, nullptr, {{"c.csv", july}}, {}, {}},
        // A single existing file is that file, '@' and all.
        {{"--curve", at}, nullptr, {}, {}, {}},
        {{"--flood=f.csv", "--missing", "skip", "--missing-value", "-96759", "--missing-value=-1", "--utc-offset",
          "+08:00", "--time-format", "unix-s"},
         nullptr,
         {},
         {},
         {{"--missing", "skip"}, {"--missing-value", "-96759"}, {"--missing-value", "-1"}, {"--utc-offset", "+08:00"}, {"--time-format", "unix-s"}}},
        // Bad values: batch mode's messages, naming the option.
        {{"--curve", "c.csv", "--units", "level=yards"}, "--units"},
        {{"--flood", "f.csv", "--date-order", "ydm"}, "--date-order"},
        {{"--flood", "f.csv", "--utc-offset", "8"}, "--utc-offset"},
        {{"--flood", "f.csv", "--missing", "drop"}, "--missing"},
        {{"--flood", "f.csv", "--time-format", "unix"}, "--time-format"},
        {{"--flood", "f.csv", "--columns", "time=1,level=2"}, "--columns"},
        {{"--curve", "c.csv", "--curve-columns", "level=0,storage=2"}, "--curve-columns"},
        {{"--flood", "f.csv", "--date-order", "dmy", "--date-order", "mdy"}, "--date-order"},
        {{"--curve", "a.csv", "--curve", "b.csv"}, "--curve"},
        {{"--curve", "a.csv@2022-07-01", "--curve", "b.csv@2022-7-1"}, "--curve"},
        {{"--curve", "a.csv@2022-13-01"}, "--curve"},
        {{"--curve", "c.csv", "--missing", "skip"}, "needs --flood"},
        {{"--flood", "f.csv", "--losses", "4", "--columns", "time=1,level=2,outflow=3,loss=4"}, "--losses"},
        {{"--flood", "f.csv", "--columns"}, "--columns needs a value"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.front() + " " + c.args.back());
        if (c.error) {
            try {
                Parse(c.args);
                ADD_FAILURE() << "accepted";
            } catch (const std::invalid_argument& e) {
                EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
            }
            continue;
        }
        const TWindowArguments a = Parse(c.args);
        EXPECT_EQ(a.curves, c.curves);
        EXPECT_EQ(a.curveFormat, c.curveFormat);
        EXPECT_EQ(a.floodFormat, c.floodFormat);
        if (!c.curves.empty()) {
            EXPECT_EQ(a.curve, c.curves.front().file);
        }
    }
}

}  // namespace

// Powell as published with a day's level and another's outflow blanked: the
// window's repair brings both days back as rows of the table, interpolated,
// and computes with every curve in time and its area, as batch mode does;
// unchecked, the rows leave and the record is the one read.
TEST_F(WindowImportTest, TheRepairBringsSkippedDaysBackAsRowsAndTakesThemOut) {
    std::string text = ReadFile(kDaily);
    auto blank = [&](const std::string& day, int field) {
        const std::size_t at = text.find("\n" + day + ",");
        ASSERT_NE(at, std::string::npos) << day;
        std::size_t start = at + 1;
        for (int f = 0; f < field; ++f) start = text.find(',', start) + 1;
        text.replace(start, text.find(',', start) - start, "");
    };
    blank("02-Aug-1985", 1);   // Elevation (feet)
    blank("15-Jun-2000", 9);   // Total Release (cfs)
    const std::string daily = Path("daily.csv");
    WriteFile(daily, text);
    const TImportChoice pre = DialogChoice(TFileKind::Curve, kPre2017);
    const TImportChoice resurvey = DialogChoice(TFileKind::Curve, k2017, "2022-07-01");
    const TImportChoice flood = DialogChoice(TFileKind::Flood, daily);
    Import(*form, TFileKind::Curve, kPre2017, pre);
    Import(*form, TFileKind::Curve, k2017, resurvey);
    Import(*form, TFileKind::Flood, daily, flood);
    InflowWork& work = form->Work;
    ASSERT_FALSE(work.CurveAreas.empty()) << "the agency's curve gives the lake's area";
    const std::size_t read = work.FloodSteps.size();
    const int readRows = work.StringGrid1.RowCount();
    THydrographPage& page = *form->TabSheet4;
    page.GaugeBox->setValue(0.003048);
    page.RepairBox->setChecked(true);
    form->BitBtn3Click();
    ASSERT_TRUE(messages.shown.empty()) << messages.shown.front().second;
    ASSERT_EQ(work.FloodSteps.size(), read + 2);
    EXPECT_EQ(work.StringGrid1.RowCount(), readRows + 2);

    // Batch mode's reading and repair of the same files.
    InflowWork batch;
    ReadAsBatch(batch, pre, resurvey, daily, flood);
    ScreenAndRepair(batch, std::nullopt, true);
    batch.Compute();
    ASSERT_EQ(batch.FloodSteps.size(), work.FloodSteps.size());
    for (std::size_t k = 0; k < read + 2; ++k)
        ASSERT_EQ(std::memcmp(&batch.FloodSteps[k], &work.FloodSteps[k], sizeof(TFloodStep)), 0) << "record " << k;
    InflowWork::TRunHeld held;
    TRunInputs inputs = batch.RunInputs(held);
    inputs.gaugeResolution = 0.003048;
    const TFloodRun batchRun = RunFlood(batch.FloodSteps, batch.ComputedRecords, {}, true, inputs);
    const TFloodRun windowRun = page.Run(work);
    ASSERT_TRUE(batchRun.noise && windowRun.noise);
    EXPECT_EQ(windowRun.noise->sigma, batchRun.noise->sigma);

    // The rows of the two days: in their places, with what they lacked.
    TStringGridModel* model = form->StringGrid1->GridModel();
    for (const auto& [day, column] : {std::pair{"1985-08-02", 1}, std::pair{"2000-06-15", 6}}) {
        std::size_t k = 0;
        while (k < work.FloodSteps.size() && StampPattern("yyyy-mm-dd", work.FloodSteps[k].T) != day) ++k;
        ASSERT_LT(k, work.FloodSteps.size()) << day;
        ASSERT_TRUE(work.RecordRestored(k)) << day;
        const int row = static_cast<int>(k) + 2;
        const double value = column == 1 ? work.FloodSteps[k].Z : work.FloodSteps[k].Qout;
        EXPECT_EQ(work.StringGrid1.Cell(column, row), RealToText(value)) << day;
        EXPECT_TRUE(std::isfinite(value) && value > 0) << day;
        EXPECT_TRUE(model->CellMark(column, row).tip.contains(QString::fromUtf8("插值"))) << day;
    }

    EXPECT_TRUE(form->ImportNote->text().contains(QString::fromUtf8("补回 2 条"))) << form->ImportNote->text().toStdString();

    page.RepairBox->setChecked(false);
    form->BitBtn3Click();
    ASSERT_TRUE(messages.shown.empty()) << messages.shown.front().second;
    EXPECT_FALSE(form->ImportNote->text().contains(QString::fromUtf8("补回"))) << form->ImportNote->text().toStdString();
    EXPECT_EQ(work.FloodSteps.size(), read);
    EXPECT_EQ(work.StringGrid1.RowCount(), readRows);
    EXPECT_EQ(work.SkippedRecords(), work.FloodSkipped.Count());
}
