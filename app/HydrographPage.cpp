#include "HydrographPage.h"

#include "ChartWidget.h"
#include "FloodSummary.h"
#include "HydrographChart.h"
#include "FloodRun.h"
#include "InflowWork.h"

#include "Currency.h"
#include "DateTime.h"
#include "Exceptions.h"
#include "GridView.h"
#include "ViewExports.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSpinBox>
#include <QTableWidget>

#include <algorithm>
#include <cmath>
#include <span>

namespace {

// The summary's place in the layout (pixels at 120 ppi), below the chart;
// the columns' widths likewise.
constexpr QRect kSummaryGeometry(0, kChart2Top + kChart2Height + 4, 470, 505 - (kChart2Top + kChart2Height + 4));
constexpr int kSummaryColumns[] = {150, 90, 70, 140};
// The group right of the summary, and its rows: captions left, boxes right.
constexpr QRect kMethodGeometry(478, kSummaryGeometry.top(), kChart2Width - 478, kSummaryGeometry.height());
constexpr int kMethodCaptionWidth = 96, kMethodBoxLeft = 104, kMethodRowTop = 22, kMethodRowStep = 28,
              kMethodRowHeight = 24;

QString Text(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

}  // namespace

// The summary with its grid one device pixel wide at any ratio.
class TSummaryTable : public QTableWidget {
public:
    TSummaryTable(int rows, int columns, QWidget* parent) : QTableWidget(rows, columns, parent) { setShowGrid(false); }

protected:
    void paintEvent(QPaintEvent* event) override {
        QTableWidget::paintEvent(event);
        PaintEvenGrid(*this);
    }
};

QValidator::State TSmoothBox::validate(QString& input, int& pos) const {
    const QValidator::State state = QSpinBox::validate(input, pos);
    if (state != QValidator::Acceptable) return state;
    const int steps = valueFromText(input);
    // "不平滑" is 1; an even number may still become an odd one as typing goes on.
    if (steps == 1 || TCorrectionOptions::SmoothWindowAllowed(steps)) return state;
    return QValidator::Intermediate;
}

THydrographPage::THydrographPage(QWidget* parent) : QWidget(parent) {
    Chart2 = new TChartWidget(this);
    Chart2->setObjectName(QStringLiteral("Chart2"));
    FHydrograph = std::make_unique<THydrographChart>(Chart2->Chart());
    Chart2->setGeometry(kChart2Left, kChart2Top, kChart2Width, kChart2Height);

    SummaryGrid = new TSummaryTable(0, 4, this);
    SummaryGrid->setObjectName(QStringLiteral("SummaryGrid"));
    SummaryGrid->setGeometry(kSummaryGeometry);
    SummaryGrid->setHorizontalHeaderLabels(
        {QString::fromUtf8("项目"), QString::fromUtf8("数值"), QString::fromUtf8("单位"), QString::fromUtf8("时间")});
    SummaryGrid->verticalHeader()->hide();
    SummaryGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    // A cell clips its text at its edge; the columns are made wide enough.
    SummaryGrid->setTextElideMode(Qt::ElideNone);
    SummaryGrid->horizontalHeader()->setMinimumSectionSize(1);
    SummaryGrid->viewport()->installEventFilter(this);
    FitColumns(16, 1.0);
    CreateMethodGroup();
}

void THydrographPage::CreateMethodGroup() {
    MethodGroup = new QGroupBox(QString::fromUtf8("计算方法"), this);
    MethodGroup->setObjectName(QStringLiteral("MethodGroup"));
    MethodGroup->setGeometry(kMethodGeometry);
    const int boxWidth = kMethodGeometry.width() - kMethodBoxLeft - 8;
    int row = 0;
    // One caption and its box a row, named so that the window's scaling
    // places them like every other component.
    auto addRow = [&](const char* caption, const char* name, QWidget* box) {
        auto* label = new QLabel(QString::fromUtf8(caption), MethodGroup);
        label->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
        const int top = kMethodRowTop + row * kMethodRowStep;
        label->setGeometry(8, top, kMethodCaptionWidth, kMethodRowHeight);
        label->setBuddy(box);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(kMethodBoxLeft, top, boxWidth, kMethodRowHeight);
        ++row;
    };

    OutflowBox = new QComboBox(MethodGroup);
    OutflowBox->addItem(QString::fromUtf8("时段平均"));
    OutflowBox->addItem(QString::fromUtf8("时段末"));
    OutflowBox->setToolTip(QString::fromUtf8("时段出库流量：两端记录的平均值，或时段末的记录值"));
    addRow("出库流量", "OutflowBox", OutflowBox);

    BankStorageBox = new QDoubleSpinBox(MethodGroup);
    // Numbers in the window are written with '.' in every locale.
    BankStorageBox->setLocale(QLocale::c());
    BankStorageBox->setRange(0.0, 10.0);
    BankStorageBox->setDecimals(3);
    BankStorageBox->setSingleStep(0.01);
    BankStorageBox->setToolTip(QString::fromUtf8("库容项取 (1 + K) · dV · 10^8 / dt"));
    // A number typed counts when it is complete (Return, or the box left).
    BankStorageBox->setKeyboardTracking(false);
    addRow("岸边调蓄 K", "BankStorageBox", BankStorageBox);

    LossFieldsEdit = new QLineEdit(MethodGroup);
    LossFieldsEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("([0-9]+(,[0-9]+)*,?)?")), LossFieldsEdit));
    LossFieldsEdit->setPlaceholderText(QString::fromUtf8("如 4,5"));
    LossFieldsEdit->setToolTip(
        QString::fromUtf8("洪水记录第 4 列起的损失流量 (m^3/s)，加入出库项，取法同出库流量"));
    addRow("损失字段", "LossFieldsEdit", LossFieldsEdit);

    SmoothBox = new TSmoothBox(MethodGroup);
    SmoothBox->setKeyboardTracking(false);
    SmoothBox->setRange(1, 99);
    SmoothBox->setSingleStep(2);
    SmoothBox->setSpecialValueText(QString::fromUtf8("不平滑"));
    SmoothBox->setSuffix(QString::fromUtf8(" 时段"));
    SmoothBox->setToolTip(QString::fromUtf8("入库流量按时段长加权的中心滑动平均"));
    addRow("平滑", "SmoothBox", SmoothBox);

    RedistributeBox = new QCheckBox(QString::fromUtf8("负入流重新分配"), MethodGroup);
    RedistributeBox->setObjectName(QStringLiteral("RedistributeBox"));
    RedistributeBox->setToolTip(QString::fromUtf8("负入流置 0，其水量从随后的时段扣除，总水量不变"));
    RedistributeBox->setGeometry(8, kMethodRowTop + row * kMethodRowStep, kMethodGeometry.width() - 16,
                                 kMethodRowHeight);
    ++row;

    MethodNote = new QLabel(MethodGroup);
    MethodNote->setObjectName(QStringLiteral("MethodNote"));
    MethodNote->setWordWrap(true);
    MethodNote->setStyleSheet(QStringLiteral("color: #b00000"));
    const int noteTop = kMethodRowTop + row * kMethodRowStep;
    MethodNote->setGeometry(8, noteTop, kMethodGeometry.width() - 16, kMethodGeometry.height() - noteTop - 4);
    MethodNote->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    auto changed = [this] {
        if (OnChoicesChanged) OnChoicesChanged();
    };
    connect(OutflowBox, &QComboBox::currentIndexChanged, this, changed);
    connect(BankStorageBox, &QDoubleSpinBox::valueChanged, this, changed);
    connect(SmoothBox, &QSpinBox::valueChanged, this, changed);
    connect(RedistributeBox, &QCheckBox::toggled, this, changed);
    // The loss fields when typing ends, and only when they changed.
    connect(LossFieldsEdit, &QLineEdit::editingFinished, this, [this, changed] {
        if (LossFieldsEdit->isModified()) {
            LossFieldsEdit->setModified(false);
            changed();
        }
    });
}

TBalanceOptions THydrographPage::BalanceChoice() const {
    TBalanceOptions b;
    if (OutflowBox->currentIndex() == 1) b.outflow = TBalanceOptions::TOutflow::End;
    b.bankStorage = BankStorageBox->value();
    const QString text = LossFieldsEdit->text().trimmed();
    if (!text.isEmpty()) {
        for (const QString& piece : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
            bool ok = false;
            const int field = piece.toInt(&ok);
            if (!ok || field < 4)
                throw Exception("损失字段须为第 4 列起的字段号，如 4,5：'" + text.toStdString() + "'");
            // Counted twice, a loss would be taken twice.
            if (std::find(b.lossFields.begin(), b.lossFields.end(), field) != b.lossFields.end())
                throw Exception("损失字段 " + std::to_string(field) + " 重复：'" + text.toStdString() + "'");
            b.lossFields.push_back(field);
        }
    }
    return b;
}

TCorrectionOptions THydrographPage::CorrectionChoice() const {
    TCorrectionOptions c;
    const int n = SmoothBox->value();
    c.smooth = TCorrectionOptions::SmoothWindowAllowed(n) ? n : 0;
    c.redistribute = RedistributeBox->isChecked();
    return c;
}

void THydrographPage::SetChoices(const TBalanceOptions& balance, const TCorrectionOptions& correction) {
    OutflowBox->setCurrentIndex(balance.outflow == TBalanceOptions::TOutflow::End ? 1 : 0);
    BankStorageBox->setValue(balance.bankStorage);
    QStringList fields;
    for (int f : balance.lossFields) fields << QString::number(f);
    LossFieldsEdit->setText(fields.join(QLatin1Char(',')));
    SmoothBox->setValue(correction.smooth >= 3 ? correction.smooth : 1);
    RedistributeBox->setChecked(correction.redistribute);
}

void THydrographPage::ApplyChoices(InflowWork& work) {
    work.Balance = BalanceChoice();
    FCorrection = CorrectionChoice();
}

void THydrographPage::FitColumns(int measured, double ratio) {
    measured_ = measured;
    ratio_ = ratio;
    SummaryGrid->verticalHeader()->setDefaultSectionSize(SummaryGrid->fontMetrics().height() + 4);
    SummaryGrid->verticalHeader()->setMinimumSectionSize(1);
    FitSummaryColumns();
}

void THydrographPage::FitSummaryColumns() {
    // Each column as wide as its widest text with the cell's margins (the
    // layout's width, scaled like the window, until there are texts); the
    // last takes what the view has left. Qt takes logical pixels.
    const int margin = 2 * (SummaryGrid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, SummaryGrid) + 1) + 2;
    const int headingMargin = margin + 2 * SummaryGrid->style()->pixelMetric(QStyle::PM_HeaderMargin, nullptr, SummaryGrid);
    QHeaderView* header = SummaryGrid->horizontalHeader();
    int used = 0;
    const int columns = SummaryGrid->columnCount();
    for (int c = 0; c < columns; ++c) {
        std::vector<QString> texts;
        for (int r = 0; r < SummaryGrid->rowCount(); ++r)
            if (const QTableWidgetItem* item = SummaryGrid->item(r, c)) texts.push_back(item->text());
        int width = texts.empty() ? static_cast<int>(std::lround(kSummaryColumns[c] * measured_ / 16 / ratio_))
                                  : WidestText(SummaryGrid->font(), texts) + margin;
        const QTableWidgetItem* heading = SummaryGrid->horizontalHeaderItem(c);
        if (heading) width = std::max(width, WidestText(header->font(), {heading->text()}) + headingMargin);
        // The last column takes what the view has left.
        if (c == columns - 1) width = std::max(width, SummaryGrid->viewport()->width() - used);
        header->resizeSection(c, width);
        used += width;
    }
}

bool THydrographPage::eventFilter(QObject* watched, QEvent* event) {
    if (watched == SummaryGrid->viewport() && event->type() == QEvent::Resize) FitSummaryColumns();
    return QWidget::eventFilter(watched, event);
}

int THydrographPage::FlowDecimals(const InflowWork& work) {
    return std::min(work.FloodOutflowDecimals, 1);
}

QString THydrographPage::RoundedText(double value, int decimals) {
    QString text = QString::number(value, 'f', decimals);
    if (text.contains(QLatin1Char('.'))) {
        while (text.endsWith(QLatin1Char('0'))) text.chop(1);
        if (text.endsWith(QLatin1Char('.'))) text.chop(1);
    }
    if (text == QLatin1String("-0")) text = QStringLiteral("0");
    return text;
}

THydrographPage::~THydrographPage() = default;

void THydrographPage::Refresh(const InflowWork& work) {
    // After a reset the table is empty while the last record's steps remain.
    const bool shown = work.FloodShown();
    const std::span<const TFloodStep> steps =
        shown ? std::span<const TFloodStep>(work.FloodSteps) : std::span<const TFloodStep>();
    const std::size_t computed = shown ? work.ComputedRecords : 0;
    const TFloodRun run = RunFlood(steps, computed, FCorrection);
    FHydrograph->SetMarkPeaks(true, FlowDecimals(work));
    FHydrograph->Show(steps, computed, run.corrected);
    MethodNote->setText(
        run.backwardStep
            ? QString::fromUtf8("记录未按时间先后排列（第 %1 行早于上一行）：不作修正，也不计洪量。")
                  .arg(*run.backwardStep + 2)
        : run.negativeVolume
            ? QString::fromUtf8("整个记录的入库水量为负，负入流无法重新分配；修正入库流量保留了它们。")
            : QString());

    std::vector<TFloodSummaryRow> rows;
    const TFloodSummary summary = run.summary.value_or(TFloodSummary{});
    try {
        if (run.summaryError) std::rethrow_exception(run.summaryError);
        rows = SummaryRows(summary);
    } catch (const std::exception&) {
        // A value beyond what the table can write (a flood the computation
        // itself could not finish sensibly): no summary rather than a wrong one.
        rows.clear();
    }
    // Flows to the record's own precision (no finer than 0.1 m^3/s), the
    // attenuation to 0.1 %: more decimals would claim an accuracy the levels
    // and outflows do not have. The summary file keeps the table's four.
    const int flowDecimals = FlowDecimals(work);
    auto shownValue = [&](const TFloodSummaryRow& row) -> QString {
        const std::optional<TFloodPeak>* peak = row.item == "peak_inflow"             ? &summary.peakInflow
                                                : row.item == "peak_outflow"          ? &summary.peakOutflow
                                                : row.item == "peak_inflow_corrected" ? &summary.peakInflowCorrected
                                                                                      : nullptr;
        if (peak && *peak) return RoundedText((*peak)->value, flowDecimals);
        if (row.item == "peak_attenuation" && summary.peakAttenuation) return RoundedText(*summary.peakAttenuation, 1);
        return Text(row.value);
    };
    auto copyTime = [&](const TFloodSummaryRow& row) -> QString {
        const std::optional<DateTimeValue> time = row.item == "start" ? summary.start
                                                  : row.item == "end" ? summary.end
                                                  : row.item == "peak_inflow" && summary.peakInflow ? std::optional(summary.peakInflow->time)
                                                  : row.item == "peak_outflow" && summary.peakOutflow ? std::optional(summary.peakOutflow->time)
                                                  : row.item == "max_level" && summary.maxLevel ? std::optional(summary.maxLevel->time)
                                                  : row.item == "peak_inflow_corrected" && summary.peakInflowCorrected
                                                      ? std::optional(summary.peakInflowCorrected->time)
                                                      : std::nullopt;
        return time ? QString::fromStdString(StampPattern(kCopyStampPattern, *time)) : QString();
    };
    SummaryGrid->setRowCount(static_cast<int>(rows.size()));
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const TFloodSummaryRow& row = rows[static_cast<std::size_t>(r)];
        const QString cells[] = {Text(row.caption), shownValue(row), Text(row.unit), Text(row.time)};
        for (int c = 0; c < 4; ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 1) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            if (c == 3 && !cells[c].isEmpty()) item->setData(kCopyRole, copyTime(row));
            SummaryGrid->setItem(r, c, item);
        }
    }
    FitSummaryColumns();
    Chart2->repaint();
}
