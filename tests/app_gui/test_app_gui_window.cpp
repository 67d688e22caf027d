// The main window driven through its real handlers: buttons clicked, the file
// dialog and the message box replaced.

#include "AboutUnit2.h"
#include "AppGuiTestSupport.h"
#include "FormLayout.h"
#include "HydrographPage.h"
#include "Series.h"

#include <QScreen>
#include <QAbstractItemModel>
#include <QDir>
#include <QHeaderView>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTimer>

namespace {

std::string Blanks(int n) { return std::string(static_cast<std::size_t>(n), ' '); }

std::string Text(const QVariant& v) { return v.toString().toStdString(); }

// What the user sees in a cell: grid row 0 is the view's header.
std::string Shown(TStringGridView* view, int col, int gridRow) {
    QAbstractItemModel* m = view->model();
    if (gridRow == 0) return Text(m->headerData(col, Qt::Horizontal));
    return Text(m->data(m->index(gridRow - 1, col)));
}

int ShownRows(TStringGridView* view) { return view->model()->rowCount() + 1; }

const char* kCurve = "水位H(m),库容V(亿m3)\n524,2\n525,2.1\n526,2.3\n";
const char* kFlood =
    "时间T(m),库水位V(m),出库流量(m3/s)\n"
    "2007-07-29 00-00-00,524.5,0\n"
    "2007-07-29 06-00-00,524.8,90\n"
    "2007-07-29 07-00-00,525.5,110\n";

}  // namespace

TEST_F(WindowTest, StartsOnTheFirstPageWithTheStoredLayoutAndEmptyTables) {
    EXPECT_EQ(form->windowTitle().toStdString(), "Quelmora");
    // The designed place where the screen holds the window there; else
    // inside the screen along each side it fits, at the screen's edge along
    // one it does not (the offscreen screen is 800 pixels wide).
    const QRect available = form->screen()->availableGeometry();
    const QRect frame = form->frameGeometry();
    if (available.contains(QRect(QPoint(306, 152), frame.size()))) {
        EXPECT_EQ(form->pos(), QPoint(306, 152));
    }
    auto inside = [](int at, int length, int first, int extent) {
        return length <= extent ? at >= first && at + length <= first + extent : at == first;
    };
    EXPECT_TRUE(inside(frame.x(), frame.width(), available.x(), available.width())) << frame.x();
    EXPECT_TRUE(inside(frame.y(), frame.height(), available.y(), available.height())) << frame.y();
    EXPECT_EQ(form->font().pixelSize(), MulDiv(13, ScreenPixelsPerInch(), 120));
    EXPECT_EQ(form->PageControl1->currentWidget(), form->TabSheet1);
    EXPECT_EQ(form->PageControl1->tabText(0).toStdString(), "库容水位曲线 ");
    EXPECT_EQ(form->PageControl1->tabText(1).toStdString(), "入库洪水计算表");
    // The hydrograph page stands between the table and the help.
    EXPECT_EQ(form->PageControl1->tabText(2).toStdString(), "入库洪水过程线");
    EXPECT_EQ(form->PageControl1->tabText(3).toStdString(), "  说  明");

    const int m = MeasuredTextHeight(form.get());
    auto s = [m](int v) { return MulDiv(v, m, 16); };
    // The window's outer size scales with its components.
    EXPECT_EQ(form->frameGeometry().size(), QSize(s(1110), s(612)));
    const std::vector<std::pair<QPushButton*, std::string>> buttons{
        {form->BitBtn1, "读取库容水位曲线"}, {form->BitBtn2, "读取库水及泄流过程"},
        {form->BitBtn3, "计    算"}, {form->BitBtn4, "输    出"}};
    for (const auto& [b, caption] : buttons) {
        EXPECT_EQ(b->text().toStdString(), caption);
        EXPECT_EQ(b->font().pixelSize(), s(17));
    }
    EXPECT_EQ(form->BitBtn4->geometry(), QRect(s(920), s(80), s(161), s(41)));
    EXPECT_EQ(form->StringGrid1->geometry(), QRect(0, s(3), s(721), s(502)));
    ASSERT_NE(form->Chart1, nullptr);
    EXPECT_EQ(form->Chart1->parentWidget(), form->TabSheet1);
    EXPECT_EQ(form->Chart1->geometry(), QRect(s(208), s(56), s(505), s(313)));
    const QList<QAction*> items = form->MainMenu1->actions();
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(items[0]->text().toStdString(), "about");
    EXPECT_EQ(items[0]->menu(), nullptr);

    // Headings and units, three empty data rows; sizes from the grid plus
    // the view's grid line.
    ASSERT_EQ(ShownRows(form->StringGrid1), 5);
    ASSERT_EQ(ShownRows(form->StringGrid2), 5);
    EXPECT_EQ(form->StringGrid1->model()->columnCount(), 9);
    EXPECT_EQ(Shown(form->StringGrid1, 0, 0), Blanks(17) + "时" + Blanks(3) + "间");
    EXPECT_EQ(Shown(form->StringGrid1, 2, 1), "10^8m^3");
    EXPECT_EQ(Shown(form->StringGrid2, 1, 0), Blanks(6) + "库" + Blanks(1) + "容" + Blanks(1) + "V");
    for (int r = 2; r < 5; ++r)
        for (int c = 0; c < 9; ++c) EXPECT_EQ(Shown(form->StringGrid1, c, r), "");
    const int widths[9] = {140, 50, 65, 70, 45, 45, 75, 95, 95};
    // Column 0 is the fixed column, shown as the row header. The layout's
    // widths and heights scaled like the window are the least a column and
    // a row get (the headings may widen a column).
    EXPECT_GE(form->StringGrid1->verticalHeader()->width(), s(widths[0]) + 1);
    for (int c = 1; c < 9; ++c)
        EXPECT_GE(form->StringGrid1->horizontalHeader()->sectionSize(c), s(widths[c]) + 1) << c;
    EXPECT_GE(form->StringGrid2->rowHeight(0), s(24) + 1);
    EXPECT_GE(form->StringGrid2->horizontalHeader()->height(), s(24) + 1);
}

TEST_F(WindowTest, TablesDrawFixedCellsAsFixedAndNeverEdit) {
    form->show();
    TStringGridView* view = form->StringGrid2;
    QAbstractItemModel* m = view->model();
    // Row 0 is the column header, column 0 the row header; the model's own
    // column 0 is not shown twice.
    EXPECT_TRUE(view->horizontalHeader()->isVisible());
    EXPECT_TRUE(view->verticalHeader()->isVisible());
    EXPECT_TRUE(view->isColumnHidden(0));
    EXPECT_FALSE(view->isColumnHidden(1));
    EXPECT_EQ(Text(m->headerData(0, Qt::Vertical)), Blanks(11) + "m");  // grid row 1, column 0
    EXPECT_TRUE(m->data(m->index(0, 0), Qt::BackgroundRole).isValid());  // drawn in the fixed face
    EXPECT_FALSE(m->data(m->index(0, 1), Qt::BackgroundRole).isValid());
    EXPECT_EQ(view->verticalHeader()->width(), view->Fit().colWidths[0]);
    EXPECT_EQ(view->Corner()->width(), view->verticalHeader()->width());
    EXPECT_FALSE(m->flags(m->index(1, 0)) & Qt::ItemIsSelectable);
    for (int r = 0; r < m->rowCount(); ++r)
        for (int c = 0; c < m->columnCount(); ++c) EXPECT_FALSE(m->flags(m->index(r, c)) & Qt::ItemIsEditable);
    const QRect cell = view->visualRect(m->index(1, 1));
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::keyClick(view, Qt::Key_F2);
    QTest::keyClicks(view, "9");
    EXPECT_EQ(view->findChild<QLineEdit*>(), nullptr);  // no cell editor
    EXPECT_TRUE(view->selectionModel()->isSelected(m->index(1, 1)));
    EXPECT_EQ(Shown(view, 1, 2), "");
}

TEST_F(WindowTest, FixedColumnAndRowStayWhileTheRestScrolls) {
    std::string flood = "h\n";
    for (int i = 0; i < 40; ++i)
        flood += "2007-07-" + std::to_string(10 + i / 24) + " " + (i % 24 < 10 ? "0" : "") +
                 std::to_string(i % 24) + "-00-00,524.5,90\n";
    WriteFile(Path("flood.txt"), flood);
    Answer(Path("flood.txt"));
    form->BitBtn2->click();
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    TStringGridView* view = form->StringGrid1;
    // Narrower than its columns and shorter than its rows at any resolution.
    view->resize(400, 200);
    QApplication::processEvents();
    QScrollBar* across = view->horizontalScrollBar();
    QScrollBar* down = view->verticalScrollBar();
    ASSERT_GT(across->maximum(), 0);
    ASSERT_GT(down->maximum(), 0);

    // The fixed column: left of the scrolling cells, as wide as column 0.
    const QRect fixed(view->verticalHeader()->geometry());
    const QRect heading(view->Corner()->geometry());
    EXPECT_EQ(fixed.left(), heading.left());
    EXPECT_EQ(fixed.width(), view->Fit().colWidths[0]);
    EXPECT_EQ(view->viewport()->geometry().left(), fixed.right() + 1);
    EXPECT_EQ(view->columnViewportPosition(1), 0);

    const QImage before = view->grab().toImage();
    across->setValue(across->maximum());
    QApplication::processEvents();
    const QImage after = view->grab().toImage();
    // The rest scrolled: column 1 is out of sight, the last one in it.
    EXPECT_LT(view->columnViewportPosition(1), 0);
    EXPECT_LE(view->columnViewportPosition(8) + view->columnWidth(8), view->viewport()->width());
    // The time column and its heading look exactly as before; the cells
    // beside them do not.
    const QRect left(heading.left(), heading.top(), fixed.width(), fixed.bottom() - heading.top());
    EXPECT_EQ(before.copy(left), after.copy(left));
    const QRect cells(fixed.right() + 1, fixed.top(), 200, fixed.height());
    EXPECT_NE(before.copy(cells), after.copy(cells));
    EXPECT_EQ(view->verticalHeader()->geometry(), fixed);

    // Down: the time stamps go with their rows; row 0 stays.
    const int headerTop = view->horizontalHeader()->geometry().top();
    down->setValue(10);
    QApplication::processEvents();
    EXPECT_EQ(view->verticalHeader()->visualIndexAt(0), view->rowAt(0));
    EXPECT_EQ(Text(view->model()->headerData(view->rowAt(0), Qt::Vertical)), "2007-07-10 09-00-00");
    EXPECT_EQ(view->horizontalHeader()->geometry().top(), headerTop);
}

TEST_F(WindowTest, HorizontalScrollBarShowsWheneverTheColumnsDoNotFitAlsoBeforeALoad) {
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    TStringGridView* view = form->StringGrid1;
    int columns = view->verticalHeader()->width();
    for (int c = 1; c < 9; ++c) columns += view->columnWidth(c);
    const int frame = 2 * view->frameWidth();
    // Nothing loaded: heading, units and three empty rows.
    ASSERT_EQ(view->model()->rowCount(), 4);
    view->resize(columns + frame - 30, view->height());
    QApplication::processEvents();
    EXPECT_TRUE(view->horizontalScrollBar()->isVisible());
    EXPECT_GT(view->horizontalScrollBar()->maximum(), 0);
    view->horizontalScrollBar()->setValue(view->horizontalScrollBar()->maximum());
    QApplication::processEvents();
    EXPECT_LE(view->columnViewportPosition(8) + view->columnWidth(8), view->viewport()->width());

    view->resize(columns + frame + 30, view->height());
    QApplication::processEvents();
    EXPECT_FALSE(view->horizontalScrollBar()->isVisible());

    // As the window opens: shown when the layout's table is narrower than
    // its columns at this resolution, hidden otherwise.
    TForm1 fresh;
    fresh.PageControl1->setCurrentWidget(fresh.TabSheet2);
    fresh.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&fresh));
    EXPECT_EQ(fresh.StringGrid1->horizontalScrollBar()->isVisible(),
              fresh.StringGrid1->width() < columns + frame);
}

TEST_F(WindowTest, HelpTextHasItsTwentyOneLinesExactly) {
    const std::vector<std::string> lines{
        Blanks(51) + "说" + Blanks(6) + "明",
        "",
        "输入数据文件为txt格式（文件开头、结尾都不允许有空行），文件格式如下：",
        "库容水位曲线文件，第一行为说明，第二行开始为数据。数据行每行两个数据：水位H(m),库容V(亿m3)，数据间逗号分隔。",
        "例",
        "",
        "水位H(m),库容V(亿m3)",
        "495,1.58",
        "496,1.66" + std::string(9, '\t'),
        "497,1.74" + std::string(11, '\t'),
        "",
        "入库洪水信息文件也是txt文件，第一行为说明，第二行开始为数据（注意，库水位对应库容单位为10^8 m^3）。",
        "数据每行三个数据，分别为时间，库水位（m）和入库流量(m3/s),数据间加逗号分隔。",
        "时间格式为 yyyy-mm-dd hh-mm-ss",
        "例",
        "",
        "时间T(m),库水位V(m),出库流量(m3/s)",
        "2007-07-29 00-00-00,524.75,0",
        "2007-07-29 06-00-00,524.84,90",
        "2007-07-29 07-00-00,524.88,90",
        "2007-07-29 08-00-00,524.89,90",
    };
    QPlainTextEdit* memo = form->Memo1;
    // The 21 lines first, as they are; the window's later parts after a
    // blank line, and a scroll bar to reach them.
    ASSERT_GT(memo->document()->blockCount(), 22);
    for (int i = 0; i < 21; ++i)
        EXPECT_EQ(memo->document()->findBlockByNumber(i).text().toStdString(), lines[static_cast<std::size_t>(i)])
            << "line " << i + 1;
    EXPECT_EQ(memo->document()->findBlockByNumber(21).text(), QString());
    const QString more = memo->toPlainText().section('\n', 22);
    for (const char* part : {"入库洪水过程线", "计算方法", "放大", "右键菜单", "Ctrl+C", "--window"})
        EXPECT_TRUE(more.contains(QString::fromUtf8(part))) << part;
    EXPECT_FALSE(memo->isReadOnly());
    EXPECT_EQ(memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    EXPECT_EQ(memo->verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(memo->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
}

TEST_F(WindowTest, CurveFloodComputeAndOutputThroughTheButtons) {
    WriteFile(Path("curve.txt"), kCurve);
    WriteFile(Path("flood.txt"), kFlood);
    Answer(Path("curve.txt"));
    Answer(Path("flood.txt"));
    Answer(Path("result.txt"));

    const int curveRefreshes = form->StringGrid2->RefreshCount();
    form->BitBtn1->click();
    EXPECT_EQ(form->StringGrid2->RefreshCount(), curveRefreshes + 1);
    ASSERT_EQ(ShownRows(form->StringGrid2), 10);
    EXPECT_EQ(Shown(form->StringGrid2, 0, 2), "524");
    EXPECT_EQ(Shown(form->StringGrid2, 1, 4), "2.3");
    EXPECT_EQ(Shown(form->StringGrid2, 0, 5), "");
    ASSERT_EQ(form->Work.CurvePoints.size(), 3u);
    EXPECT_EQ(form->Work.CurvePoints[1].V, 2.1);
    ASSERT_EQ(form->Series1->PointCount(), 3);  // the form's series is the one filled
    EXPECT_EQ(form->Series1->XValueAt(2), 2.3);

    const int floodRefreshes = form->StringGrid1->RefreshCount();
    form->BitBtn2->click();
    form->BitBtn3->click();
    EXPECT_EQ(form->StringGrid1->RefreshCount(), floodRefreshes + 2);
    ASSERT_EQ(ShownRows(form->StringGrid1), 10);
    EXPECT_EQ(Shown(form->StringGrid1, 0, 3), "2007-07-29 06-00-00");
    EXPECT_EQ(Shown(form->StringGrid1, 2, 2), "2.05");
    EXPECT_EQ(Shown(form->StringGrid1, 3, 2), "");
    EXPECT_EQ(Shown(form->StringGrid1, 5, 3), "138.8889");
    EXPECT_EQ(Shown(form->StringGrid1, 8, 4), "3433.3333");

    form->BitBtn4->click();
    EXPECT_EQ(dialogs, 3);
    EXPECT_TRUE(messages.shown.empty());
    const std::string expected =
        Blanks(17) + "时" + Blanks(3) + "间 , 库水位Z , " + Blanks(4) + "库容V , 库容增量dV , " +
        " 时段dt ,  dV/dt , 出库流量Q出 , 平均出库流量q出 , 平均入库流量Q入\r\n" +
        "yyyy-mm-dd hh-mm-ss , " + Blanks(5) + "m , 10^8m^3 , " + Blanks(2) + "10^8m^3 , " +
        Blanks(5) + "s ,  m^3/s , " + Blanks(6) + "m^3/s , " + Blanks(9) + "m^3/s , " +
        Blanks(10) + "m^3/s\r\n" +
        "2007-07-29,524.5,2.05,0,0,0,0,0,0,\r\n"
        "2007-07-29 06:00:00,524.8,2.08,0.03,21600,138.8889,90,45,183.8889,\r\n"
        "2007-07-29 07:00:00,525.5,2.2,0.12,3600,3333.3333,110,100,3433.3333,\r\n";
    EXPECT_EQ(ReadFile(Path("result.txt")), expected);
}

TEST_F(WindowTest, BadFilesShowTheExactMessageAndLeaveWhatWasRead) {
    WriteFile(Path("nocomma.txt"), "h\n524,2\n525\n");
    WriteFile(Path("notnumber.txt"), "h\n524,2\n525,abc\n");
    const std::string title = App().Title();

    Answer(Path("nocomma.txt"));
    const int refreshes = form->StringGrid2->RefreshCount();
    form->BitBtn1->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0], std::make_pair(title, std::string("List index out of bounds (1)")));
    EXPECT_EQ(form->StringGrid2->RefreshCount(), refreshes + 1);  // also when the action fails
    EXPECT_EQ(Shown(form->StringGrid2, 1, 2), "2");
    EXPECT_TRUE(form->Work.CurvePoints.empty());

    Answer(Path("notnumber.txt"));
    form->BitBtn1->click();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].second, "'abc' is not a valid floating point value.");
    EXPECT_EQ(Shown(form->StringGrid2, 1, 3), "abc");  // the table shows where reading stopped
    EXPECT_TRUE(form->Work.CurvePoints.empty());

    // A file that cannot be opened changes nothing: the table still shows
    // where the last read stopped.
    Answer(Path("missing.txt"));
    form->BitBtn1->click();
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[2].second, "File not found.");
    EXPECT_EQ(Shown(form->StringGrid2, 1, 3), "abc");

    for (const auto& shown : messages.shown) EXPECT_EQ(shown.first, title);
}

TEST_F(WindowTest, CancelKeepsTableChartAndData) {
    WriteFile(Path("curve.txt"), kCurve);
    WriteFile(Path("flood.txt"), kFlood);
    Answer(Path("curve.txt"));
    Answer(Path("flood.txt"));
    form->BitBtn1->click();
    form->BitBtn2->click();
    ASSERT_EQ(form->Work.CurvePoints.size(), 3u);
    ASSERT_EQ(form->Work.FloodSteps.size(), 3u);

    // A cancelled dialog changes nothing: the table, the chart and the data
    // stay together (the table is no longer emptied before the dialog).
    const std::string curveRow = Shown(form->StringGrid2, 0, 4), floodRow = Shown(form->StringGrid1, 1, 2);
    form->BitBtn1->click();  // the dialog is cancelled
    EXPECT_EQ(Shown(form->StringGrid2, 0, 4), curveRow);
    ASSERT_EQ(form->Work.CurvePoints.size(), 3u);
    EXPECT_EQ(form->Work.CurvePoints[2].Z, 526.0);
    EXPECT_EQ(form->Series1->PointCount(), 3);

    form->BitBtn2->click();
    EXPECT_EQ(Shown(form->StringGrid1, 1, 2), floodRow);
    ASSERT_EQ(form->Work.FloodSteps.size(), 3u);
    EXPECT_EQ(form->Work.FloodSteps[2].Qout, 110.0);

    Answer("");  // an empty name counts as a cancel
    form->BitBtn4->click();
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 2);
}

TEST_F(WindowTest, ALargeRecordReachesTheViewInOneRefresh) {
    std::string flood = "h\n";
    const int records = 20000;
    for (int i = 0; i < records; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "2007-07-%02d %02d-00-00,524.%d,90\n", 1 + i / 24 % 28,
                      i % 24, i % 10);
        flood += line;
    }
    WriteFile(Path("big.txt"), flood);
    Answer(Path("big.txt"));
    QSignalSpy resets(form->StringGrid1->model(), &QAbstractItemModel::modelReset);
    QSignalSpy inserts(form->StringGrid1->model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy changes(form->StringGrid1->model(), &QAbstractItemModel::dataChanged);
    form->BitBtn2->click();
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(inserts.count(), 0);
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(ShownRows(form->StringGrid1), records + 2);
    EXPECT_EQ(Shown(form->StringGrid1, 1, records + 1), "524.9");
}

TEST_F(WindowTest, AboutOpensAFreshModalBoxEachTime) {
    std::vector<QSize> sizes;
    std::vector<const void*> boxes;
    auto closeWhenShown = [&] {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<TAboutForm*>(QApplication::activeModalWidget());
            if (!box) return;
            sizes.push_back(box->frameGeometry().size());
            boxes.push_back(AboutForm == box ? box : nullptr);
            box->reject();
        });
    };
    const auto saved = TAboutForm::ScreenSize;
    TAboutForm::ScreenSize = [] { return QSize(1024, 768); };
    form->show();
    closeWhenShown();
    form->about1->trigger();
    EXPECT_EQ(AboutForm, nullptr);  // freed when the modal loop returned
    closeWhenShown();
    form->about1->trigger();
    TAboutForm::ScreenSize = saved;
    ASSERT_EQ(sizes.size(), 2u);
    EXPECT_EQ(sizes[0], QSize(451, 319));
    EXPECT_EQ(sizes[1], sizes[0]);
    EXPECT_NE(boxes[0], nullptr);
    EXPECT_EQ(AboutForm, nullptr);
}

TEST_F(WindowTest, AWindowStillOnScreenIsDestroyedSafely) {
    // Quitting with the window open: the views are hidden while the tables
    // they read still exist.
    WriteFile(Path("curve.txt"), kCurve);
    WriteFile(Path("flood.txt"), kFlood);
    Answer(Path("curve.txt"));
    Answer(Path("flood.txt"));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->BitBtn1->click();
    form->BitBtn2->click();
    form.reset();  // with the views' relayout after the loads still pending
    EXPECT_TRUE(messages.shown.empty());
}

// After a failed load or computation the failing row is the current row of
// its table, selected and scrolled into sight, however far down it lies;
// the message box reads as always.
TEST_F(WindowTest, AFailureShowsItsRow) {
    std::string flood = "时间T(m),库水位V(m),出库流量(m3/s)\n";
    auto record = [](int k, const std::string& level) {
        char stamp[32];
        std::snprintf(stamp, sizeof stamp, "2007-%02d-%02d %02d-00-00", 7 + k / 24 / 28, k / 24 % 28 + 1, k % 24);
        return std::string(stamp) + "," + level + ",90\n";
    };
    std::string badLevel = flood, outside = flood;
    for (int row = 2; row < 1002; ++row) {
        badLevel += record(row, row == 600 ? "52x" : "525");
        outside += record(row, row == 800 ? "527" : "525");
    }
    WriteFile(Path("curve.txt"), kCurve);
    WriteFile(Path("bad.txt"), badLevel);
    WriteFile(Path("outside.txt"), outside);
    form->PageControl1->setCurrentWidget(form->TabSheet2);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    TStringGridView* view = form->StringGrid1;
    auto expectShown = [&](int gridRow) {
        const QModelIndex current = view->currentIndex();
        EXPECT_EQ(current.row() + 1, gridRow);
        EXPECT_EQ(current.column(), 1) << "the first column beside the fixed one";
        EXPECT_TRUE(view->selectionModel()->isSelected(current));
        EXPECT_TRUE(view->selectionModel()->isSelected(view->model()->index(current.row(), 8)));
        EXPECT_TRUE(view->viewport()->rect().contains(view->visualRect(current)))
            << "row " << gridRow << " at " << view->visualRect(current).y();
        // Brought from out of sight: with rows around it, not at an edge.
        const int middle = view->visualRect(current).center().y(), height = view->viewport()->height();
        EXPECT_GT(middle, height / 3);
        EXPECT_LT(middle, height * 2 / 3);
    };

    Answer(Path("curve.txt"));
    form->BitBtn1->click();
    Answer(Path("bad.txt"));
    form->BitBtn2->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].second, "'52x' is not a valid floating point value.");
    expectShown(600);

    Answer(Path("outside.txt"));
    form->BitBtn2->click();
    EXPECT_EQ(messages.shown.size(), 1u) << "the record reads";
    view->scrollToTop();
    // Computed from the hydrograph page, the failure brings the table's page.
    form->PageControl1->setCurrentWidget(form->TabSheet4);
    form->BitBtn3->click();
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].second, "水位 527 m 超出库容水位曲线范围（524 – 526 m）.");
    EXPECT_EQ(form->PageControl1->currentWidget(), static_cast<QWidget*>(form->TabSheet2));
    expectShown(800);
}
