// What the window does beyond its buttons: the values under the mouse, the
// hydrograph's zoom in time, its empty axis, the peak marks, the dialogs that
// change nothing when cancelled, the last folder, and the command line that
// opens the window with files.

#include "AppGuiTestSupport.h"
#include "DateTime.h"
#include "ChartWidget.h"
#include "HydrographChart.h"
#include "HydrographPage.h"
#include "Series.h"
#include "WindowArguments.h"
#include "Workbook.h"
#include "Currency.h"
#include "RecordLine.h"
#include <sstream>

#include <QLabel>
#include <QMenu>
#include <QMouseEvent>
#include <QRegularExpression>
#include <QSettings>
#include <QTest>
#include <QWheelEvent>

namespace {

const std::string kRealData = QUELMORA_REALDATA_DIR;

class ExtrasTest : public WindowTest {
protected:
    void LoadTankan(bool compute = true) {
        Answer(kRealData + "/tankan_curve.txt");
        form->BitBtn1Click();
        Answer(kRealData + "/tankan_flood.txt");
        form->BitBtn2Click();
        if (compute) form->BitBtn3Click();
        ASSERT_TRUE(messages.shown.empty());
    }
    void Show(QWidget* page) {
        form->PageControl1->setCurrentWidget(page);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        QApplication::processEvents();
    }
    static void Mouse(TChartWidget* w, QEvent::Type type, QPoint p, Qt::MouseButton button, Qt::MouseButtons held) {
        QMouseEvent e(type, QPointF(p), w->mapToGlobal(QPointF(p)), button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }
    // A device point as the widget's logical one (the tests run at ratio 1).
    static QPoint Logical(TChartWidget* w, int x, int y) {
        const double r = w->devicePixelRatioF();
        return {static_cast<int>(std::lround(x / r)), static_cast<int>(std::lround(y / r))};
    }
};

TEST_F(ExtrasTest, TheReadoutShowsTheNearestRecordAndLeavesTheChartAlone) {
    LoadTankan();
    Show(form->TabSheet4);
    TChartWidget* chart = form->Chart2;
    chart->repaint();
    TChart& c = chart->Chart();
    const TRect plot = c.PlotRect();
    const QImage before = c.Canvas().Bitmap().copy();
    const long renders = c.RenderCount();

    // Over the chart rectangle: the time of the nearest record and each
    // series' value there.
    const auto& steps = form->Work.FloodSteps;
    const int x = c.BottomAxis().ValueToPixel(steps[10].T) + 1, y = plot.Top + plot.Height() / 2;
    const QString text = chart->ReadoutText(x, y);
    const QStringList lines = text.split('\n');
    ASSERT_EQ(lines.size(), 4) << text.toStdString();
    EXPECT_EQ(lines[0], QString::fromStdString(StampPattern("yyyy-mm-dd hh':'nn", steps[10].T)));
    EXPECT_EQ(lines[1], QString::fromUtf8("入库流量  ") + QString::number(steps[10].Qin, 'f', 4).remove(QRegularExpression("\\.?0+$")));
    EXPECT_EQ(lines[2], QString::fromUtf8("出库流量  ") + QString::number(steps[10].Qout));
    EXPECT_EQ(lines[3], QString::fromUtf8("库水位  ") + QString::number(steps[10].Z));
    EXPECT_TRUE(chart->ReadoutText(plot.Left - 5, y).isEmpty());

    // The box follows the mouse and goes when it leaves; the chart's picture
    // is neither drawn again nor changed.
    Mouse(chart, QEvent::MouseMove, Logical(chart, x, y), Qt::NoButton, Qt::NoButton);
    ASSERT_NE(chart->Readout(), nullptr);
    EXPECT_TRUE(chart->Readout()->isVisible());
    EXPECT_EQ(chart->Readout()->text(), text);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(chart, &leave);
    EXPECT_FALSE(chart->Readout()->isVisible());
    chart->repaint();
    EXPECT_EQ(c.RenderCount(), renders);
    EXPECT_EQ(c.Canvas().Bitmap(), before);

    // The curve chart names its axes: storage across, level up.
    form->PageControl1->setCurrentIndex(0);
    QApplication::processEvents();
    form->Chart1->repaint();
    const TRect p1 = form->Chart1->Chart().PlotRect();
    const QStringList curve = form->Chart1->ReadoutText(p1.Left + 1, p1.Top + 1).split('\n');
    ASSERT_EQ(curve.size(), 2);
    EXPECT_TRUE(curve[0].startsWith(QString::fromUtf8("库容 / 10^8m^3  "))) << curve[0].toStdString();
    EXPECT_TRUE(curve[1].startsWith(QString::fromUtf8("水位 /m  120"))) << curve[1].toStdString();
}

TEST_F(ExtrasTest, TheHydrographZoomsAndMovesInTimeWithTheFlowsInView) {
    LoadTankan();
    Show(form->TabSheet4);
    TChartWidget* chart = form->Chart2;
    chart->repaint();
    TChart& c = chart->Chart();
    THydrographChart& h = form->TabSheet4->Hydrograph();
    const TRect plot = c.PlotRect();
    // A rectangle over the middle third, from high to low: time zooms, the
    // flows fit the records in view with room above and below.
    const int x0 = plot.Left + plot.Width() / 3, x1 = plot.Left + 2 * plot.Width() / 3;
    const double from = c.BottomAxis().PixelToValue(x0), to = c.BottomAxis().PixelToValue(x1);
    Mouse(chart, QEvent::MouseButtonPress, Logical(chart, x0, plot.Top + 20), Qt::LeftButton, Qt::LeftButton);
    Mouse(chart, QEvent::MouseMove, Logical(chart, x1, plot.Top + 40), Qt::NoButton, Qt::LeftButton);
    Mouse(chart, QEvent::MouseButtonRelease, Logical(chart, x1, plot.Top + 40), Qt::LeftButton, Qt::NoButton);
    EXPECT_NEAR(c.BottomAxis().Minimum(), from, 1e-9);
    EXPECT_NEAR(c.BottomAxis().Maximum(), to, 1e-9);
    double high = -1e300, low = 1e300;
    for (TLineSeries* s : {&h.Inflow(), &h.Outflow()})
        for (int i = 0; i < s->PointCount(); ++i) {
            // The points in view, and the ones just outside whose lines enter it.
            const bool in = s->XValueAt(i) >= from && s->XValueAt(i) <= to;
            const bool next = (i + 1 < s->PointCount() && s->XValueAt(i + 1) >= from && s->XValueAt(i) < from) ||
                              (i > 0 && s->XValueAt(i - 1) <= to && s->XValueAt(i) > to);
            if (in || next) high = std::max(high, s->YValueAt(i)), low = std::min(low, s->YValueAt(i));
        }
    // A flow below zero keeps zero in view; flows above it do not reach
    // below zero for the room.
    if (low < 0) high = std::max(high, 0.0);
    const double room = (high - low) * 0.05;
    EXPECT_NEAR(c.LeftAxis().Maximum(), high + room, 1e-6);
    EXPECT_NEAR(c.LeftAxis().Minimum(), low >= 0 ? std::max(0.0, low - room) : low - room, 1e-6);
    EXPECT_GT(c.RightAxis().Maximum(), c.RightAxis().Minimum());

    // The wheel moves in time, 3 % of the shown time a notch; toward the
    // user is later. The flows follow.
    const double span = c.BottomAxis().Maximum() - c.BottomAxis().Minimum();
    QWheelEvent wheel(QPointF(Logical(chart, plot.Left + 5, plot.Top + 5)), chart->mapToGlobal(QPointF(0, 0)), QPoint(),
                      QPoint(0, -240), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(chart, &wheel);
    EXPECT_NEAR(c.BottomAxis().Minimum(), from + 2 * 0.03 * span, 1e-9);
    // "显示全部": the whole record and the axes' own ranges again.
    chart->findChild<QMenu*>(QStringLiteral("ChartMenu"))->findChild<QAction*>(QStringLiteral("ShowAll"))->trigger();
    EXPECT_TRUE(c.BottomAxis().Automatic());
    EXPECT_TRUE(c.LeftAxis().Automatic());
    EXPECT_FALSE(c.IsZoomed);
}

TEST_F(ExtrasTest, AnEmptyHydrographHasNoDateLabelsAndTheComputedOneItsPeaks) {
    Show(form->TabSheet4);
    TChart& c = form->Chart2->Chart();
    form->Chart2->repaint();
    EXPECT_TRUE(c.BottomAxis().TickPositions().empty());
    EXPECT_FALSE(c.LeftAxis().TickPositions().empty());

    LoadTankan();
    form->Chart2->repaint();
    EXPECT_FALSE(c.BottomAxis().TickPositions().empty());
    // The peaks: the summary's, marked where the records are.
    THydrographChart& h = form->TabSheet4->Hydrograph();
    const auto& steps = form->Work.FloodSteps;
    const int in = h.PeakIndex(h.Inflow()), out = h.PeakIndex(h.Outflow());
    std::size_t peakIn = 1, peakOut = 0;
    for (std::size_t i = 1; i < steps.size(); ++i)
        if (steps[i].Qin > steps[peakIn].Qin) peakIn = i;
    for (std::size_t i = 0; i < steps.size(); ++i)
        if (steps[i].Qout > steps[peakOut].Qout) peakOut = i;
    EXPECT_EQ(h.Inflow().XValueAt(in), steps[peakIn].T);
    EXPECT_EQ(h.Outflow().XValueAt(out), steps[peakOut].T);
    // The mark's square is drawn in the series' colour at the peak.
    const int x = c.BottomAxis().ValueToPixel(steps[peakIn].T), y = c.LeftAxis().ValueToPixel(steps[peakIn].Qin);
    EXPECT_EQ(c.Canvas().Bitmap().pixelColor(x + 2, y + 2), QColor(Qt::red));
}

TEST_F(ExtrasTest, CancelledDialogsChangeNothingAndTheFolderIsKept) {
    LoadTankan();
    const std::vector<TFloodStep> steps = form->Work.FloodSteps;
    const std::string curveCell = std::string(form->Work.StringGrid2.Cell(0, 5));
    const std::string floodCell = std::string(form->Work.StringGrid1.Cell(8, 5));
    const int curvePoints = form->Series1->PointCount();
    for (const std::string& answer : {std::string(), Path("missing.txt")}) {
        Answer(answer);
        form->BitBtn1->click();
        Answer(answer);
        form->BitBtn2->click();
        EXPECT_EQ(std::string(form->Work.StringGrid2.Cell(0, 5)), curveCell);
        EXPECT_EQ(std::string(form->Work.StringGrid1.Cell(8, 5)), floodCell);
        EXPECT_EQ(form->Series1->PointCount(), curvePoints);
        EXPECT_EQ(form->TabSheet4->Hydrograph().Inflow().PointCount(), static_cast<int>(steps.size()));
        EXPECT_EQ(form->Work.ComputedRecords, steps.size());
        ASSERT_EQ(form->Work.FloodSteps.size(), steps.size());
        EXPECT_EQ(form->Work.FloodSteps.back().Qin, steps.back().Qin);
    }
    EXPECT_EQ(messages.shown.size(), 2u);   // the missing file, twice

    // The dialogs open where the last file was chosen.
    QFile::remove(TForm1::SettingsFile());
    Answer(Path("summary.csv"));
    form->SaveSummaryClick();
    EXPECT_EQ(saveRequests.back().suffix, QStringLiteral("csv"));
    EXPECT_TRUE(QFile::exists(QString::fromStdString(Path("summary.csv"))));
    Answer(Path("corrected.csv"));
    form->SaveCorrectedClick();
    EXPECT_TRUE(ReadFile(Path("corrected.csv")).starts_with("time,inflow,corrected_inflow\r\n"));
    QFile::remove(TForm1::SettingsFile());
}

// The fourth button writes a workbook for a name ending in .xlsx, the result
// file otherwise; the workbook's table holds the result file's numbers.
TEST_F(ExtrasTest, OutputAsAWorkbook) {
    LoadTankan();
    Answer(Path("result.txt"));
    form->BitBtn4->click();
    Answer(Path("result.XLSX"));
    form->BitBtn4->click();
    ASSERT_TRUE(messages.shown.empty());
    EXPECT_EQ(workbook::SheetNames(Path("result.XLSX")), (std::vector<std::string>{"计算表", "摘要", "过程线"}));
    const workbook::Sheet table = workbook::ReadSheet({Path("result.XLSX"), std::string("计算表")});
    std::istringstream result(ReadFile(Path("result.txt")));
    std::string line;
    int row = 0;
    while (std::getline(result, line)) {
        ++row;
        if (row <= 2) continue;
        std::vector<std::string_view> fields;
        SplitFields(line, fields);
        ASSERT_GE(fields.size(), 9u);
        EXPECT_EQ(CellStamp(table.At(row, 1)), StampFromText(fields[0])) << row;
        for (int c = 2; c <= 9; ++c)
            EXPECT_EQ(table.At(row, c).number, DecimalToReal(DecimalFromText(fields[static_cast<std::size_t>(c - 1)])))
                << row << ":" << c;
    }
    EXPECT_EQ(table.rows.size(), form->Work.FloodSteps.size() + 2);
}

TEST(WindowArguments, FilesOptionsAndTheirKinds) {
    QTemporaryDir dir;
    const std::string curve = dir.filePath("c.txt").toStdString(), flood = dir.filePath("f.txt").toStdString(),
                      wide = dir.filePath("w.txt").toStdString();
    WriteFile(curve, "H,V\n495,1.58\n496,1.66\n");
    WriteFile(flood, "T,Z,Q\n2007-07-29 00-00-00,524.75,0\n");
    WriteFile(wide, "H,V,A\n495,1.58,3\n");   // a curve with a further field
    EXPECT_EQ(RecordFileKind(curve), TRecordFileKind::Curve);
    EXPECT_EQ(RecordFileKind(flood), TRecordFileKind::Flood);
    EXPECT_EQ(RecordFileKind(wide), TRecordFileKind::Curve);
    EXPECT_EQ(RecordFileKind(dir.filePath("none.txt").toStdString()), TRecordFileKind::Unknown);

    struct Case {
        std::vector<std::string> args;
        std::string curve, flood;
        bool compute;
        int smooth;
        const char* error;   // a part of the reason, or null
    };
    const std::string missing = dir.filePath("none.txt").toStdString();
    const std::vector<Case> cases{
        {{"--window"}, "", "", false, 0, nullptr},
        {{"--window", "--curve", curve, "--flood=" + flood, "--compute"}, curve, flood, true, 0, nullptr},
        {{"--window", flood, curve}, curve, flood, false, 0, nullptr},
        {{"--window", wide, "--smooth", "5", "--negative", "redistribute"}, wide, "", false, 5, nullptr},
        {{"--window", missing}, missing, "", false, 0, nullptr},   // read, and refused, by the window
        {{"--window", "--smooth", "4"}, "", "", false, 0, "--smooth"},
        {{"--window", "--out", "x"}, "", "", false, 0, "unknown argument"},
        {{"--window", curve, wide}, "", "", false, 0, "two curves"},
        {{"--window", "--compute"}, "", "", false, 0, "--compute needs"},
        {{"--window", "--curve"}, "", "", false, 0, "needs a value"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"quelmora"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        const int argc = static_cast<int>(args.size());
        EXPECT_TRUE(WantsWindow(argc, argv.data()));
        if (c.error) {
            try {
                ParseWindowArguments(argc, argv.data());
                ADD_FAILURE() << "accepted: " << c.args.back();
            } catch (const std::invalid_argument& e) {
                EXPECT_NE(std::string(e.what()).find(c.error), std::string::npos) << e.what();
            }
            continue;
        }
        const TWindowArguments a = ParseWindowArguments(argc, argv.data());
        EXPECT_EQ(a.curve, c.curve);
        EXPECT_EQ(a.flood, c.flood);
        EXPECT_EQ(a.compute, c.compute);
        EXPECT_EQ(a.correction.smooth, c.smooth);
    }
    char prog[] = "quelmora", out[] = "--out";
    char* batch[] = {prog, out, nullptr};
    EXPECT_FALSE(WantsWindow(2, batch));
}

TEST_F(ExtrasTest, OpenFilesReadsAsTheButtonsAndShowsTheChoices) {
    TBalanceOptions balance;
    balance.outflow = TBalanceOptions::TOutflow::End;
    form->TabSheet4->SetChoices(balance, TCorrectionOptions{3, false});
    form->OpenFiles(kRealData + "/tankan_curve.txt", kRealData + "/tankan_flood.txt", true);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(form->Work.ComputedRecords, form->Work.FloodSteps.size());
    EXPECT_EQ(form->Work.Balance.outflow, TBalanceOptions::TOutflow::End);
    EXPECT_TRUE(form->TabSheet4->Hydrograph().CorrectedInflow().Active());
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet4);
    // The dialog is the user's again afterwards.
    form->BitBtn1Click();
    EXPECT_EQ(dialogs, 1);
    // A file that cannot be read shows its error as the button does.
    form->OpenFiles(Path("missing.txt"), "", false);
    EXPECT_EQ(messages.shown.size(), 1u);
}

}  // namespace
