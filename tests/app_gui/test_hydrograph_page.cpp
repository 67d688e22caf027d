// The hydrograph page in the real window: its place among the pages, what
// Chart2 and the summary show after each action (load, compute, failures),
// the charts' menu (save writes the control's picture, copy fills the
// clipboard) and Ctrl+C in the tables.

#include "AppGuiTestSupport.h"
#include "ChartWidget.h"
#include "HydrographChart.h"
#include "HydrographPage.h"
#include "InflowWork.h"
#include "Series.h"
#include "ViewExports.h"
#include "Batch.h"
#include "ChartExport.h"
#include "Currency.h"
#include "DateTime.h"
#include "GridView.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QMenu>
#include <QTableWidget>
#include <QTest>

namespace {

const std::string kRealData = QUELMORA_REALDATA_DIR;

class PageTest : public WindowTest {
protected:
    THydrographChart& Hydro() { return form->TabSheet4->Hydrograph(); }
    TChartWidget& Chart(QWidget* w) { return *static_cast<TChartWidget*>(w); }
    void Load(const std::string& curve, const std::string& flood) {
        Answer(kRealData + "/" + curve);
        form->BitBtn1->click();
        Answer(kRealData + "/" + flood);
        form->BitBtn2->click();
    }
    void LoadTankan() { Load("tankan_curve.txt", "tankan_flood.txt"); }
    void LoadPowell() { Load("powell_curve_pre2017_live.txt", "powell_1963_2026_flood.txt"); }
    QString SummaryValue(int row) { return form->TabSheet4->SummaryGrid->item(row, 1)->text(); }
};

TEST_F(PageTest, SitsBetweenTheTableAndTheHelp) {
    QTabWidget* pages = form->PageControl1;
    ASSERT_EQ(pages->count(), 4);
    EXPECT_EQ(pages->tabText(0), QString::fromUtf8("库容水位曲线 "));
    EXPECT_EQ(pages->tabText(1), QString::fromUtf8("入库洪水计算表"));
    EXPECT_EQ(pages->tabText(2), QString::fromUtf8("入库洪水过程线"));
    EXPECT_EQ(pages->tabText(3), QString::fromUtf8("  说  明"));
    EXPECT_EQ(pages->widget(2), form->TabSheet4);
    EXPECT_EQ(form->Chart2->objectName(), QStringLiteral("Chart2"));
}

TEST_F(PageTest, LoadShowsOutflowAndLevelComputeAddsInflow) {
    LoadTankan();
    const auto& steps = form->Work.FloodSteps;
    EXPECT_EQ(Hydro().Outflow().PointCount(), static_cast<int>(steps.size()));
    EXPECT_EQ(Hydro().Level().PointCount(), static_cast<int>(steps.size()));
    EXPECT_EQ(Hydro().Inflow().PointCount(), 0);
    EXPECT_TRUE(SummaryValue(3).isEmpty());  // no peak inflow before computing

    form->BitBtn3->click();
    EXPECT_EQ(Hydro().Inflow().PointCount(), static_cast<int>(steps.size()));
    // The summary's peak inflow is the largest inflow of the table, to the
    // outflow texts' precision (Tankan's: 0.1 m^3/s).
    double peak = steps[1].Qin;
    for (std::size_t i = 1; i < steps.size(); ++i) peak = std::max(peak, steps[i].Qin);
    EXPECT_EQ(SummaryValue(3), QString::number(peak, 'f', 1));
    EXPECT_EQ(SummaryValue(0), QString::number(steps.size()));
    EXPECT_TRUE(messages.shown.empty());

    // A cancelled second load, or one whose file cannot be opened, changes
    // nothing: table, chart and result stay together.
    Answer("");
    form->BitBtn2->click();
    EXPECT_EQ(Hydro().Outflow().PointCount(), static_cast<int>(steps.size()));
    EXPECT_EQ(Hydro().Inflow().PointCount(), static_cast<int>(steps.size()));
    Answer(Path("missing.txt"));
    form->BitBtn2->click();
    EXPECT_EQ(Hydro().Outflow().PointCount(), static_cast<int>(steps.size()));
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(PageTest, FailedComputationShowsTheRowsItComputed) {
    WriteFile(Path("flood.txt"), "T,Z,Q\n2007-07-29 00-00-00,524.75,0\n2007-07-29 06-00-00,524.84,90\n"
                                 "2007-07-29 06-00-00,524.88,90\n2007-07-29 08-00-00,524.89,90\n");
    Answer(std::string(QUELMORA_SOURCE_DIR) + "/examples/curve.txt");
    form->BitBtn1->click();
    Answer(Path("flood.txt"));
    form->BitBtn2->click();
    form->BitBtn3->click();
    ASSERT_EQ(messages.shown.size(), 1u);  // the same time twice: division by zero
    EXPECT_EQ(form->Work.ComputedRecords, 2u);
    EXPECT_EQ(Hydro().Inflow().PointCount(), 2);
    EXPECT_EQ(Hydro().Outflow().PointCount(), 4);
}

TEST_F(PageTest, ChartMenuSavesTheControlsPictureAndCopiesIt) {
    LoadTankan();
    form->BitBtn3->click();
    for (QWidget* chart : {form->Chart1, form->Chart2}) {
        auto* menu = chart->findChild<QMenu*>(QStringLiteral("ChartMenu"));
        ASSERT_NE(menu, nullptr);
        auto action = [menu](const char* name) { return menu->findChild<QAction*>(QString::fromLatin1(name)); };
        ASSERT_NE(action("SavePng"), nullptr);
        EXPECT_EQ(action("ShowAll")->text(), QString::fromUtf8("显示全部"));
        EXPECT_EQ(action("SavePng")->text(), QString::fromUtf8("保存为 PNG…"));
        EXPECT_EQ(action("CopyPicture")->text(), QString::fromUtf8("复制到剪贴板"));
        const std::string png = Path("chart.png");
        Answer(png);
        action("SavePng")->trigger();
        // A save dialog for PNG pictures.
        ASSERT_FALSE(saveRequests.empty());
        EXPECT_EQ(saveRequests.back().suffix, QStringLiteral("png"));
        EXPECT_TRUE(saveRequests.back().filter.contains(QStringLiteral("*.png")));
        QImage saved(QString::fromStdString(png));
        ASSERT_FALSE(saved.isNull()) << (messages.shown.empty() ? "" : messages.shown.back().second) << dialogs;
        const QImage shown = Chart(chart).Chart().Canvas().Bitmap();
        EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), shown.convertToFormat(QImage::Format_RGB32));
        // Cancelling the dialog writes nothing.
        std::remove(png.c_str());
        Answer("");
        action("SavePng")->trigger();
        EXPECT_FALSE(QFile::exists(QString::fromStdString(png)));

        // At a size of the user's: the shown size offered first; the control
        // keeps its own size and picture.
        const QSize own(Chart(chart).Chart().Width(), Chart(chart).Chart().Height());
        pictureSize = QSize(1000, 600);
        Answer(png);
        action("SavePngSized")->trigger();
        EXPECT_EQ(shownSizes.back(), own);
        EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(1000, 600));
        EXPECT_EQ(QSize(Chart(chart).Chart().Width(), Chart(chart).Chart().Height()), own);
        EXPECT_EQ(ChartPicture(Chart(chart)), shown.convertToFormat(QImage::Format_RGB32));
        // A cancelled size asks for no file.
        pictureSize.reset();
        const std::size_t asked = saveRequests.size();
        action("SavePngSized")->trigger();
        EXPECT_EQ(saveRequests.size(), asked);

        action("CopyPicture")->trigger();
        EXPECT_EQ(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32),
                  shown.convertToFormat(QImage::Format_RGB32));
    }
    // A target that cannot be written shows the error, as for the result file.
    Answer(Path("no/such/folder/c.png"));
    form->Chart2->findChild<QMenu*>(QStringLiteral("ChartMenu"))->findChild<QAction*>(QStringLiteral("SavePng"))->trigger();
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(PageTest, CtrlCCopiesTheSelectedCells) {
    // First a desktop that writes decimals with a point, whatever the
    // locale the tests run under.
    QLocale::setDefault(QLocale::c());
    LoadTankan();
    form->BitBtn3->click();
    TStringGridView* table = form->StringGrid1;
    form->PageControl1->setCurrentIndex(1);
    // The units row and the first record, columns 1 and 2: the headings come
    // along. Texts trimmed, times as spreadsheets read them.
    table->selectionModel()->select(QItemSelection(table->model()->index(0, 1), table->model()->index(1, 2)),
                                    QItemSelectionModel::ClearAndSelect);
    const QString text = SelectedCellsText(*table);
    const TStringGrid& g = form->Work.StringGrid1;
    auto cell = [&](int c, int r) {
        return QString::fromUtf8(g.Cell(c, r).data(), static_cast<qsizetype>(g.Cell(c, r).size())).trimmed();
    };
    const QString expected = QString::fromUtf8("时   间\t库水位Z\t库容V\n") +
                             QStringLiteral("yyyy-mm-dd hh-mm-ss\tm\t10^8m^3\n") +
                             QStringLiteral("2024-07-24 14:00:00\t") + cell(1, 2) + '\t' + cell(2, 2) + '\n';
    EXPECT_EQ(text, expected);
    // A record further down: no headings.
    table->selectionModel()->select(table->model()->index(5, 8), QItemSelectionModel::ClearAndSelect);
    // The file writes 2024-07-25 02-00-00.
    QString time = cell(0, 6);
    time[13] = ':';
    time[16] = ':';
    const QString sixth = time + '\t' + cell(8, 6) + '\n';
    EXPECT_EQ(SelectedCellsText(*table), sixth);
    // Through the key, onto the clipboard.
    form->show();
    QApplication::setActiveWindow(form.get());
    table->setFocus();
    QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(QApplication::clipboard()->text(), sixth);
    // A desktop that writes decimals with a comma gets them so; a text that
    // is no number stays as it is.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    QString german = cell(8, 6);
    german.replace('.', ',');
    EXPECT_EQ(SelectedCellsText(*table), time + '\t' + german + '\n');
    EXPECT_EQ(CopiedCellText(QStringLiteral(" 10^8m^3 "), ','), QStringLiteral("10^8m^3"));
    EXPECT_EQ(CopiedCellText(QStringLiteral("-398.6111"), ','), QStringLiteral("-398,6111"));
    EXPECT_EQ(CopiedCellText(QStringLiteral("1.2.3"), ','), QStringLiteral("1.2.3"));
    QLocale::setDefault(QLocale::c());

    // The summary: its first two rows with their headings, its times as ISO.
    QTableWidget* summary = form->TabSheet4->SummaryGrid;
    summary->selectionModel()->select(QItemSelection(summary->model()->index(0, 0), summary->model()->index(1, 3)),
                                      QItemSelectionModel::ClearAndSelect);
    const QString s = SelectedCellsText(*summary);
    EXPECT_EQ(s, QString::fromUtf8("项目\t数值\t单位\t时间\n记录数\t31\t\t\n起始时间\t\t\t2024-07-24 14:00:00\n"));
}

}  // namespace

TEST_F(PageTest, MethodChoicesRecomputeAResultOnShow) {
    THydrographPage& page = *form->TabSheet4;
    // The defaults are the plain balance without a correction.
    EXPECT_EQ(page.BalanceChoice(), TBalanceOptions{});
    EXPECT_EQ(page.CorrectionChoice(), TCorrectionOptions{});
    LoadTankan();
    // No result yet: the choices wait for the computation.
    page.OutflowBox->setCurrentIndex(1);
    EXPECT_EQ(form->Work.Balance, TBalanceOptions{});
    page.OutflowBox->setCurrentIndex(0);
    form->BitBtn3->click();
    ASSERT_TRUE(messages.shown.empty());
    const int plainRows = page.SummaryGrid->rowCount();
    EXPECT_FALSE(Hydro().CorrectedInflow().Active());

    // With a result on show every change computes again at once, so that
    // chart, summary and table never show the settings of an earlier run.
    page.OutflowBox->setCurrentIndex(1);
    EXPECT_EQ(form->Work.Balance.outflow, TBalanceOptions::TOutflow::End);
    page.BankStorageBox->setValue(0.08);
    EXPECT_EQ(form->Work.Balance.bankStorage, 0.08);
    page.SmoothBox->stepUp();
    EXPECT_EQ(page.CorrectionChoice(), (TCorrectionOptions{3, false}));
    EXPECT_TRUE(Hydro().CorrectedInflow().Active());
    page.RedistributeBox->setChecked(true);
    EXPECT_EQ(page.AppliedCorrection(), (TCorrectionOptions{3, true}));
    page.OutflowBox->setCurrentIndex(0);
    page.BankStorageBox->setValue(0);
    ASSERT_TRUE(messages.shown.empty());
    EXPECT_EQ(form->Work.Balance, TBalanceOptions{});
    EXPECT_EQ(Hydro().CorrectedInflow().PointCount(), static_cast<int>(form->Work.FloodSteps.size()));
    ASSERT_EQ(page.SummaryGrid->rowCount(), plainRows + 2);
    EXPECT_EQ(page.SummaryGrid->item(plainRows, 0)->text(), QString::fromUtf8("修正洪峰流量 / 峰现时间"));
    EXPECT_EQ(page.SummaryGrid->item(plainRows + 1, 0)->text(), QString::fromUtf8("修正入库洪量"));
    // The smoothed flood keeps its volume: the two volumes read alike.
    EXPECT_EQ(page.SummaryGrid->item(plainRows + 1, 1)->text(), page.SummaryGrid->item(6, 1)->text());
    EXPECT_TRUE(page.MethodNote->text().isEmpty());

    // The loss fields count when typing ends; a list that names no field
    // after the outflow is refused with its text, as 计算 refuses it.
    page.LossFieldsEdit->setText(QStringLiteral("3"));
    EXPECT_TRUE(messages.shown.empty());
    page.LossFieldsEdit->setModified(true);
    emit page.LossFieldsEdit->editingFinished();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].second.find("'3'"), std::string::npos) << messages.shown[0].second;

    // On 计算 too, a list that names no field after the outflow, or a field
    // twice, is refused with its text, and the computation is not run.
    for (const char* list : {"3", "4,5,4"}) {
        messages.shown.clear();
        page.LossFieldsEdit->setText(QString::fromLatin1(list));
        form->BitBtn3->click();
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_NE(messages.shown[0].second.find("'" + std::string(list) + "'"), std::string::npos)
            << messages.shown[0].second;
        EXPECT_TRUE(Hydro().CorrectedInflow().Active());
    }
}

// One rule for the smoothing window in the window and in batch mode: the box
// takes exactly the numbers --smooth takes (1 standing for none).
TEST_F(PageTest, TheSmoothingBoxTakesWhatBatchModeTakes) {
    const std::string curve = std::string(QUELMORA_SOURCE_DIR) + "/examples/curve.txt";
    TSmoothBox* box = form->TabSheet4->SmoothBox;
    for (int n = 1; n <= 12; ++n) {
        QString text = QString::number(n);
        int pos = text.size();
        const bool taken = static_cast<const QAbstractSpinBox*>(box)->validate(text, pos) == QValidator::Acceptable;
        std::string arg = "--smooth=" + std::to_string(n);
        std::string curveArg = "--curve=" + curve;
        char* argv[] = {const_cast<char*>("quelmora"), curveArg.data(), arg.data(), nullptr};
        testing::internal::CaptureStderr();
        const int status = RunBatch(3, argv);
        testing::internal::GetCapturedStderr();
        if (n == 1)
            EXPECT_TRUE(taken);   // "不平滑"
        else
            EXPECT_EQ(taken, status == 0) << n;
    }
    // The box steps from none through the odd numbers.
    box->setValue(1);
    box->stepUp();
    EXPECT_EQ(box->value(), 3);
    box->stepUp();
    EXPECT_EQ(box->value(), 5);
}

TEST_F(PageTest, NegativeRecordVolumeIsSaidBesideTheChoices) {
    WriteFile(Path("flood.txt"), "T,Z,Q\n2007-07-29 00-00-00,524.9,0\n2007-07-29 06-00-00,524.8,0\n"
                                 "2007-07-29 12-00-00,524.7,0\n");
    Answer(std::string(QUELMORA_SOURCE_DIR) + "/examples/curve.txt");
    form->BitBtn1->click();
    Answer(Path("flood.txt"));
    form->BitBtn2->click();
    form->TabSheet4->RedistributeBox->setChecked(true);
    form->BitBtn3->click();
    ASSERT_TRUE(messages.shown.empty());
    EXPECT_FALSE(form->TabSheet4->MethodNote->text().isEmpty());
    EXPECT_LT(Hydro().CorrectedInflow().YValueAt(1), 0.0);
    // A record read anew clears the note with the series.
    Answer(Path("flood.txt"));
    form->BitBtn2->click();
    EXPECT_TRUE(form->TabSheet4->MethodNote->text().isEmpty());

    // Records out of time order: no corrected series (its water would have
    // the wrong sign), and the note names the row.
    WriteFile(Path("flood.txt"), "T,Z,Q\n2007-07-29 00-00-00,524.9,0\n2007-07-29 12-00-00,524.8,90\n"
                                 "2007-07-29 06-00-00,524.7,0\n");
    Answer(Path("flood.txt"));
    form->BitBtn2->click();
    form->BitBtn3->click();
    ASSERT_TRUE(messages.shown.empty());
    EXPECT_TRUE(form->TabSheet4->MethodNote->text().contains(QStringLiteral("第 4 行")))
        << form->TabSheet4->MethodNote->text().toStdString();
    EXPECT_FALSE(Hydro().CorrectedInflow().Active());
}

namespace {

// Pixels of one colour in the chart's plot area.
int CountColour(const QImage& image, TColor colour) {
    const QRgb want = qRgb(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                           static_cast<int>((colour >> 16) & 0xFF));
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xFFFFFF) == (want & 0xFFFFFF);
    return n;
}

QImage Picture(THydrographExport& e) {
    const std::string png = e.PngBytes();
    QImage image;
    image.loadFromData(reinterpret_cast<const uchar*>(png.data()), static_cast<int>(png.size()), "PNG");
    return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

// Each check draws its own colour and nothing else changes: the picture
// with every check empty is the plain one, pixel for pixel, and each
// colour shows exactly when its check is given.
TEST_F(PageTest, ChecksDrawTheirOwnColoursOnly) {
    LoadTankan();
    form->BitBtn3->click();
    const auto& steps = form->Work.FloodSteps;
    const std::size_t computed = form->Work.ComputedRecords;
    ASSERT_GE(computed, 10u);
    std::vector<double> sigma(computed - 1, 40.0);
    std::vector<TRecordFlag> flags(steps.size(), TRecordFlag::None);
    flags[computed / 2] = TRecordFlag::Spike;
    flags[computed / 3] = TRecordFlag::Repaired;
    std::vector<DateTimeValue> times;
    std::vector<double> reference;
    for (std::size_t i = 1; i < computed; ++i) {
        times.push_back(steps[i].T);
        reference.push_back(i % 7 == 3 ? std::nan("") : steps[i].Qin * 1.3 + 50.0);
    }
    THydrographExport plain;
    plain.Show(steps, computed);
    const QImage base = Picture(plain);
    struct Case {
        bool band, flag, ref;
    } cases[] = {{false, false, false}, {true, false, false}, {false, true, false},
                 {false, false, true},  {true, true, true}};
    for (const Case& c : cases) {
        THydrographChecks checks;
        if (c.band) checks.sigma = sigma;
        if (c.flag) checks.flags = flags;
        if (c.ref) {
            checks.referenceTimes = times;
            checks.reference = reference;
        }
        THydrographExport e;
        e.Show(steps, computed, {}, checks);
        const QImage image = Picture(e);
        const std::string where = std::string(c.band ? "band " : "") + (c.flag ? "flags " : "") + (c.ref ? "reference" : "");
        if (!c.band && !c.flag && !c.ref) {
            EXPECT_EQ(image, base);
        }
        EXPECT_EQ(CountColour(image, kBandColor) > 200, c.band) << where;
        EXPECT_EQ(CountColour(image, kFlagColor) > 20, c.flag) << where;
        EXPECT_EQ(CountColour(image, kReferenceColor) > 100, c.ref) << where;
        EXPECT_EQ(e.Hydrograph().Flagged().PointCount(), c.flag ? 4 : 0) << where;
    }
}

// The checks in the window on Powell's sixty years: the spikes flagged in
// the table and on the chart, the band drawn, the period table shown, a
// click on a period zooming the chart to it; and without the checks none of
// it. Pictures go to QUELMORA_SHOT_DIR when it is set.
TEST_F(PageTest, PowellChecksInTheWindow) {
    LoadPowell();
    THydrographPage& page = *form->TabSheet4;
    page.SpikeBox->setValue(0.2);
    page.GaugeBox->setValue(0.003048);
    form->BitBtn3->click();
    ASSERT_TRUE(messages.shown.empty()) << messages.shown[0].second;
    std::vector<std::string> flagged;
    for (std::size_t i = 0; i < page.Flags().size(); ++i)
        if (page.Flags()[i] == TRecordFlag::Spike)
            flagged.push_back(StampPattern("yyyy-mm-dd", form->Work.FloodSteps[i].T));
    EXPECT_EQ(flagged, (std::vector<std::string>{"1973-09-29", "1985-08-02"}));
    EXPECT_EQ(Hydro().Flagged().PointCount(), 4);
    EXPECT_TRUE(Hydro().BandHigh().Active());
    // The level cell of a flagged record is coloured; its neighbour is not.
    std::size_t spike = 0;
    while (page.Flags()[spike] != TRecordFlag::Spike) ++spike;
    TStringGridModel* model = form->StringGrid1->GridModel();
    const int row = static_cast<int>(spike) + 1;
    EXPECT_TRUE(model->data(model->index(row, 1), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(model->data(model->index(row + 1, 1), Qt::BackgroundRole).isValid());
    EXPECT_FALSE(model->data(model->index(row, 2), Qt::BackgroundRole).isValid());
    // Sixty-three water years; a click on WY1983 shows October 1982 to
    // September 1983.
    ASSERT_TRUE(page.SummaryPages->isTabVisible(1));
    ASSERT_EQ(page.PeriodGrid->rowCount(), 63);
    int wy1983 = -1;
    for (int r = 0; r < page.PeriodGrid->rowCount(); ++r)
        if (page.PeriodGrid->item(r, 0)->text() == QStringLiteral("WY1983")) wy1983 = r;
    ASSERT_GE(wy1983, 0);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->PageControl1->setCurrentWidget(form->TabSheet4);
    page.SummaryPages->setCurrentWidget(page.PeriodGrid);
    page.PeriodGrid->scrollToItem(page.PeriodGrid->item(wy1983, 0));
    QApplication::processEvents();
    const QRect cell = page.PeriodGrid->visualItemRect(page.PeriodGrid->item(wy1983, 0));
    QTest::mouseClick(page.PeriodGrid->viewport(), Qt::LeftButton, {}, cell.center());
    const TChartAxis& bottom = Hydro().Chart().BottomAxis();
    EXPECT_FALSE(bottom.Automatic());
    EXPECT_EQ(StampPattern("yyyy-mm-dd", StampAtElapsedDays(bottom.Minimum())), "1982-10-01");
    EXPECT_EQ(StampPattern("yyyy-mm-dd", StampAtElapsedDays(bottom.Maximum())), "1983-10-01");
    if (const char* shots = std::getenv("QUELMORA_SHOT_DIR")) {
        page.Chart2->repaint();
        form->grab().save(QString::fromUtf8(shots) + "/window_powell_wy1983_zoom.png");
        page.SummaryPages->setCurrentWidget(page.CheckGroup);
        QApplication::processEvents();
        form->grab().save(QString::fromUtf8(shots) + "/window_powell_checks_page.png");
        form->PageControl1->setCurrentWidget(form->TabSheet2);
        form->StringGrid1->ShowRow(row + 1);
        QApplication::processEvents();
        form->grab().save(QString::fromUtf8(shots) + "/window_powell_flagged_cell.png");
    }
    // Without the checks: nothing flagged, no band, no period table for a short record.
    page.SpikeBox->setValue(0.0);
    page.GaugeBox->setValue(0.0);
    form->BitBtn3->click();
    EXPECT_TRUE(page.Flags().empty());
    EXPECT_FALSE(Hydro().Flagged().Active());
    EXPECT_FALSE(Hydro().BandHigh().Active());
    EXPECT_FALSE(model->data(model->index(row, 1), Qt::BackgroundRole).isValid());
    LoadTankan();
    form->BitBtn3->click();
    EXPECT_FALSE(page.SummaryPages->isTabVisible(1));
}

// A repaired level is the record's level: the table, the result file and
// the storage beside it all hold it; computed again without the repair, the
// level as read comes back.
TEST_F(PageTest, ARepairedLevelIsTheRecordsLevel) {
    LoadPowell();
    THydrographPage& page = *form->TabSheet4;
    TStringGridModel* model = form->StringGrid1->GridModel();
    auto cell = [&](int row, int column) { return model->data(model->index(row, column), Qt::DisplayRole).toString().toStdString(); };
    auto resultLine = [&](std::size_t record) {
        Answer(Path("result.txt"));
        form->BitBtn4->click();
        std::istringstream lines(ReadFile(Path("result.txt")));
        std::string line;
        for (std::size_t k = 0; k < record + 3 && std::getline(lines, line);) ++k;
        return line;
    };
    page.SpikeBox->setValue(0.2);
    form->BitBtn3->click();
    std::size_t spike = 0;
    while (StampPattern("yyyy-mm-dd", form->Work.FloodSteps[spike].T) != "1985-08-02") ++spike;
    const int row = static_cast<int>(spike) + 1;
    const std::string read = cell(row, 1);
    const std::string plainLine = resultLine(spike);
    page.RepairBox->setChecked(true);
    for (int pass = 0; pass < 2; ++pass) {   // twice: the second repairs the levels as read, not the first's
        form->BitBtn3->click();
        ASSERT_TRUE(messages.shown.empty()) << messages.shown[0].second;
        EXPECT_NE(cell(row, 1), read);
        EXPECT_EQ(cell(row, 1), RealToText(form->Work.FloodSteps[spike].Z));
        EXPECT_EQ(cell(row, 2), RealToText(form->Work.FromZGetV(form->Work.FloodSteps[spike].Z)));
        EXPECT_NEAR(form->Work.FloodSteps[spike].Qin, 500.47, 0.01);
        const std::string line = resultLine(spike);
        EXPECT_EQ(line.substr(line.find(',') + 1, cell(row, 1).size() + 1), cell(row, 1) + ",") << line;
    }
    page.RepairBox->setChecked(false);
    form->BitBtn3->click();
    EXPECT_EQ(cell(row, 1), read);
    EXPECT_NEAR(form->Work.FloodSteps[spike].Qin, -1789.2, 0.05);
    EXPECT_EQ(resultLine(spike), plainLine);
}

// The reference chosen in the window is drawn and compared, its columns named.
TEST_F(PageTest, PowellReferenceInTheWindow) {
    Answer(kRealData + "/powell_curve_pre2017_live.txt");
    form->BitBtn1->click();
    Answer(kRealData + "/powell_1983_flood.txt");
    form->BitBtn2->click();
    THydrographPage& page = *form->TabSheet4;
    Answer(kRealData + "/powell_1983_published.csv");
    page.CompareButton->click();
    page.CompareColumnsEdit->setText(QStringLiteral("time=time,value=published_inflow_m3s"));
    form->BitBtn3->click();
    ASSERT_TRUE(messages.shown.empty()) << messages.shown[0].second;
    EXPECT_TRUE(Hydro().Reference().Active());
    EXPECT_GT(Hydro().Reference().PointCount(), 100);
    bool compared = false;
    for (int r = 0; r < page.SummaryGrid->rowCount(); ++r)
        compared = compared || page.SummaryGrid->item(r, 0)->text().contains(QString::fromUtf8("对比均方根误差"));
    EXPECT_TRUE(compared);
    if (const char* shots = std::getenv("QUELMORA_SHOT_DIR")) {
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        form->PageControl1->setCurrentWidget(form->TabSheet4);
        QApplication::processEvents();
        form->grab().save(QString::fromUtf8(shots) + "/window_powell1983_reference.png");
    }
    // A file that is not there is refused by name, and nothing is drawn.
    page.CompareEdit->setText(QStringLiteral("/nonexistent/reference.csv"));
    form->BitBtn3->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_NE(messages.shown[0].second.find("/nonexistent/reference.csv"), std::string::npos) << messages.shown[0].second;
}
