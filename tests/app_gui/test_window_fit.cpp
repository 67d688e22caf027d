// The window at every density and under several locales: after loading the
// real records, every cell's text fits its column by the font's own measure,
// and no column is wider than the layout or its widest text asks. Then the
// window's growth, its scroll bars and its kept size.

#include "AppGuiTestSupport.h"
#include "FormLayout.h"
#include "GridView.h"
#include "HydrographPage.h"

#include <QFontMetricsF>
#include <QGroupBox>
#include <QTabWidget>
#include <QHeaderView>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QTableWidget>
#include <QTest>

#include <clocale>

namespace {

const std::string kRealData = QUELMORA_REALDATA_DIR;

// The locale's formats for the readers and the tables, and Qt's for the
// clipboard; false when the locale is not generated here.
bool UseLocale(const char* name) {
    const std::string before = std::setlocale(LC_ALL, nullptr);
    if (!std::setlocale(LC_ALL, name)) return false;
    Formats() = TranslateLocale(ReadPosixLocale());
    std::setlocale(LC_ALL, before.c_str());
    QLocale::setDefault(QLocale(QString::fromLatin1(name).section('.', 0, 0)));
    return true;
}

// Checks every text of a view against its section: cells (and the fixed
// column) with the delegate's margins and the grid line, headings with the
// header's; returns the widest need of each column, in logical pixels.
std::vector<double> CheckFits(TStringGridView& view, const std::string& where) {
    const QAbstractItemModel& m = *view.model();
    const QFontMetricsF cells(view.font()), headings(view.horizontalHeader()->font());
    const TGridMargins margins = view.Margins();
    std::vector<double> need(static_cast<std::size_t>(m.columnCount()), 0);
    auto width = [&](int c) {
        return c == 0 && view.isColumnHidden(0) ? view.verticalHeader()->width() : view.columnWidth(c);
    };
    for (int c = 0; c < m.columnCount(); ++c) {
        const QString heading = m.headerData(c, Qt::Horizontal).toString();
        double widest = headings.horizontalAdvance(heading) + margins.heading;
        for (int r = 0; r < m.rowCount(); ++r) {
            const QString text = c == 0 && view.isColumnHidden(0) ? m.headerData(r, Qt::Vertical).toString()
                                                                   : m.index(r, c).data().toString();
            const double w = cells.horizontalAdvance(text) + margins.cell + 1;
            widest = std::max(widest, w);
            if (w > width(c)) {
                ADD_FAILURE() << where << ": column " << c << " is " << width(c) << " wide, its text '"
                              << text.toStdString() << "' of row " << r + 1 << " needs " << w;
                return need;
            }
        }
        EXPECT_LE(headings.horizontalAdvance(heading) + margins.heading, width(c)) << where << " heading " << c;
        need[static_cast<std::size_t>(c)] = widest;
    }
    return need;
}

class DensityTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        messages.Install();
    }
    void TearDown() override {
        OverrideScreenScale(nullptr);
        QLocale::setDefault(QLocale::c());
        LoadLocaleFormats();
        App().MessageBox = &TApplication::ShowErrorBox;
    }
    ShownMessages messages;
};

TEST_F(DensityTest, EveryTextFitsItsColumnAtEveryDensityAndLocale) {
    struct Pair {
        const char* curve;
        const char* flood;
    };
    const Pair records[] = {{"/tankan_curve.txt", "/tankan_flood.txt"},
                            {"/powell_curve_pre2017_live.txt", "/powell_1963_2026_flood.txt"}};
    const int layoutWidths[9] = {140, 50, 65, 70, 45, 45, 75, 95, 95};
    for (const char* locale : {"C.UTF-8", "de_DE.UTF-8", "zh_CN.UTF-8"}) {
        if (!UseLocale(locale)) {
            ADD_FAILURE() << "the locale " << locale << " is not generated (tools/setup.sh generates it)";
            continue;
        }
        for (const int ppi : {96, 120, 144}) {
            const TScreenScale screen{ppi, 1.0, static_cast<double>(ppi)};
            OverrideScreenScale(&screen);
            TForm1 form;
            const int measured = MeasuredTextHeight(&form);
            for (const Pair& pair : records) {
                const std::string where = std::string(locale) + " at " + std::to_string(ppi) + " ppi, " + pair.flood;
                std::deque<std::string> answers{kRealData + pair.curve, kRealData + pair.flood};
                form.ExecuteOpenDialog = [&answers] {
                    std::string name = answers.front();
                    answers.pop_front();
                    return name;
                };
                form.BitBtn1Click();
                form.BitBtn2Click();
                form.BitBtn3Click();
                ASSERT_TRUE(messages.shown.empty()) << where << ": " << messages.shown.front().second;
                const std::vector<double> need = CheckFits(*form.StringGrid1, where);
                CheckFits(*form.StringGrid2, where);
                // The layout's width, scaled, is the least a column gets, and
                // a column is no wider than that or its widest text (with the
                // two pixels of rounding the fitting keeps).
                for (int c = 0; c < 9 && need.size() == 9; ++c) {
                    const int device = form.StringGrid1->Fit().colWidths[static_cast<std::size_t>(c)];
                    const int design = MulDiv(layoutWidths[c], measured, 16) + 1;
                    EXPECT_GE(device, design) << where << " column " << c;
                    EXPECT_LE(device, std::max<double>(design, std::ceil(need[static_cast<std::size_t>(c)]) + 2))
                        << where << " column " << c;
                }
                // Rows as high as the text.
                EXPECT_GE(form.StringGrid1->verticalHeader()->defaultSectionSize(),
                          QFontMetrics(form.StringGrid1->font()).height()) << where;

                // The summary: every text in full, the time column included.
                QTableWidget& summary = *form.TabSheet4->SummaryGrid;
                const QFontMetricsF metrics(summary.font());
                for (int r = 0; r < summary.rowCount(); ++r)
                    for (int c = 0; c < summary.columnCount(); ++c) {
                        const QTableWidgetItem* item = summary.item(r, c);
                        if (!item) continue;
                        EXPECT_LE(metrics.horizontalAdvance(item->text()) + 6, summary.columnWidth(c))
                            << where << " summary " << item->text().toStdString();
                    }
            }
        }
    }
}

class GrowTest : public WindowTest {};

TEST_F(GrowTest, LargerTheTablesAndChartsGrowSmallerItScrolls) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    QApplication::processEvents();
    const QSize designed = form->DesignedClientSize();
    QScrollArea* scroll = form->ClientScroll();
    // At its designed size: nothing scrolls and every component stands where
    // the layout put it.
    EXPECT_EQ(scroll->viewport()->size(), designed);
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
    EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
    struct Place {
        QWidget* w;
        QRect at;
    };
    std::vector<Place> before;
    for (QWidget* w : {static_cast<QWidget*>(form->PageControl1), static_cast<QWidget*>(form->BitBtn1),
                       static_cast<QWidget*>(form->Image1), static_cast<QWidget*>(form->StringGrid1),
                       static_cast<QWidget*>(form->StringGrid2), static_cast<QWidget*>(form->Chart1),
                       static_cast<QWidget*>(form->Chart2), static_cast<QWidget*>(form->TabSheet4->SummaryPages),
                       static_cast<QWidget*>(form->TabSheet4->MethodGroup)})
        before.push_back({w, w->geometry()});

    // Larger by (300, 240): the tables and charts take it, the buttons and
    // the picture move beside them at their own size.
    form->resize(form->size() + QSize(300, 240));
    QApplication::processEvents();
    auto now = [&](int i) { return before[static_cast<std::size_t>(i)].w->geometry(); };
    auto was = [&](int i) { return before[static_cast<std::size_t>(i)].at; };
    EXPECT_EQ(now(0).size(), was(0).size() + QSize(300, 240));
    for (int i : {1, 2}) {
        EXPECT_EQ(now(i).size(), was(i).size());
        EXPECT_EQ(now(i).topLeft(), was(i).topLeft() + QPoint(300, 0));
    }
    EXPECT_EQ(now(3).size(), was(3).size() + QSize(300, 240));   // the calculation table
    EXPECT_EQ(now(4).height(), was(4).height() + 240);            // the curve table
    EXPECT_EQ(now(5).size(), was(5).size() + QSize(300, 240));   // the curve chart
    EXPECT_EQ(now(6).size(), was(6).size() + QSize(300, 160));   // the hydrograph
    EXPECT_EQ(now(7).width(), was(7).width() + 300);              // the summary
    EXPECT_EQ(now(8).size(), was(8).size());                      // the method group
    // The charts draw at their new size.
    EXPECT_EQ(form->Chart1->Chart().Width(), static_cast<int>(std::lround(now(5).width() * form->devicePixelRatioF())));

    // Smaller than designed: every component at its designed place and
    // size, scroll bars to reach them.
    form->resize(form->size() - QSize(300, 240) - QSize(200, 150));
    QApplication::processEvents();
    for (const Place& p : before) EXPECT_EQ(p.w->geometry(), p.at) << p.w->objectName().toStdString();
    EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible());
    EXPECT_TRUE(scroll->verticalScrollBar()->isVisible());
}

TEST_F(GrowTest, TheWindowKeepsItsSizeBetweenRuns) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    form->resize(form->size() + QSize(120, 80));
    QApplication::processEvents();
    const QSize kept = form->size();
    form->close();
    EXPECT_TRUE(QFile::exists(TForm1::SettingsFile()));
    TForm1 next;
    EXPECT_EQ(next.size(), kept);
    // Forgotten again, for the other tests.
    QFile::remove(TForm1::SettingsFile());
}

}  // namespace
