#include "HydrographPage.h"

#include "ChartWidget.h"
#include "FloodSummary.h"
#include "HydrographChart.h"
#include "InflowWork.h"

#include <QHeaderView>
#include <QTableWidget>

#include <span>

namespace {

// The summary's place in the layout (pixels at 120 ppi), below the chart;
// the columns' widths likewise.
constexpr QRect kSummaryGeometry(0, kChart2Top + kChart2Height + 4, 470, 505 - (kChart2Top + kChart2Height + 4));
constexpr int kSummaryColumns[] = {150, 90, 70, 140};

QString Text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

THydrographPage::THydrographPage(QWidget* parent) : QWidget(parent) {
    Chart2 = new TChartWidget(this);
    Chart2->setObjectName(QStringLiteral("Chart2"));
    FHydrograph = std::make_unique<THydrographChart>(Chart2->Chart());
    Chart2->setGeometry(kChart2Left, kChart2Top, kChart2Width, kChart2Height);

    SummaryGrid = new QTableWidget(0, 4, this);
    SummaryGrid->setObjectName(QStringLiteral("SummaryGrid"));
    SummaryGrid->setGeometry(kSummaryGeometry);
    SummaryGrid->setHorizontalHeaderLabels(
        {QString::fromUtf8("项目"), QString::fromUtf8("数值"), QString::fromUtf8("单位"), QString::fromUtf8("时间")});
    SummaryGrid->verticalHeader()->hide();
    SummaryGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    FitColumns(16, 1.0);
}

void THydrographPage::FitColumns(int measured, double ratio) {
    // Layout pixels are device pixels; Qt takes logical ones.
    for (int c = 0; c < 4; ++c)
        SummaryGrid->setColumnWidth(c, static_cast<int>(kSummaryColumns[c] * measured / 16 / ratio + 0.5));
    SummaryGrid->verticalHeader()->setDefaultSectionSize(SummaryGrid->fontMetrics().height() + 4);
    SummaryGrid->verticalHeader()->setMinimumSectionSize(1);
}

THydrographPage::~THydrographPage() = default;

void THydrographPage::Refresh(const InflowWork& work) {
    // After a reset the table is empty while the last record's steps remain.
    const bool shown = work.StringGrid1.RowCount() > 2 && !work.StringGrid1.Cell(0, 2).empty();
    const std::span<const TFloodStep> steps =
        shown ? std::span<const TFloodStep>(work.FloodSteps) : std::span<const TFloodStep>();
    const std::size_t computed = shown ? work.ComputedRecords : 0;
    FHydrograph->Show(steps, computed);

    std::vector<TFloodSummaryRow> rows;
    try {
        rows = SummaryRows(SummarizeFlood(steps, computed));
    } catch (const std::exception&) {
        // A value beyond what the table can write (a flood the computation
        // itself could not finish sensibly): no summary rather than a wrong one.
        rows.clear();
    }
    SummaryGrid->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const TFloodSummaryRow& row = rows[static_cast<std::size_t>(r)];
        const std::string* cells[] = {&row.caption, &row.value, &row.unit, &row.time};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(Text(*cells[c]));
            if (c == 1) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            SummaryGrid->setItem(r, c, item);
        }
    }
    Chart2->repaint();
}
