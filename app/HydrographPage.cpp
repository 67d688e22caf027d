#include "HydrographPage.h"

#include "ChartWidget.h"
#include "FloodSummary.h"
#include "HydrographChart.h"
#include "FloodRun.h"
#include "InflowWork.h"
#include "ColumnMap.h"
#include "InflowScreening.h"
#include "RecordRepair.h"

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
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
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

    SummaryPages = new QTabWidget(this);
    SummaryPages->setObjectName(QStringLiteral("SummaryPages"));
    SummaryPages->setGeometry(kSummaryGeometry);
    SummaryGrid = new TSummaryTable(0, 4, SummaryPages);
    SummaryGrid->setObjectName(QStringLiteral("SummaryGrid"));
    SummaryPages->addTab(SummaryGrid, QString::fromUtf8("洪水特征"));
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

    PeriodGrid = new TSummaryTable(0, 0, SummaryPages);
    PeriodGrid->setObjectName(QStringLiteral("PeriodGrid"));
    PeriodGrid->verticalHeader()->hide();
    PeriodGrid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    PeriodGrid->setSelectionBehavior(QAbstractItemView::SelectRows);
    PeriodGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    PeriodGrid->setToolTip(QString::fromUtf8("单击一行，过程线缩放到该时期"));
    SummaryPages->addTab(PeriodGrid, QString::fromUtf8("分期统计"));
    SummaryPages->setTabVisible(1, false);
    connect(PeriodGrid, &QTableWidget::cellClicked, this, [this](int row, int) { ZoomToPeriod(row); });
    CreateCheckGroup();
}

void THydrographPage::CreateCheckGroup() {
    CheckGroup = new QWidget(SummaryPages);
    CheckGroup->setObjectName(QStringLiteral("CheckGroup"));
    SummaryPages->addTab(CheckGroup, QString::fromUtf8("筛查与检验"));
    // Two columns of a caption and its box (pixels at 120 ppi, inside the page).
    constexpr int kCaption = 100, kBox = 118, kHalf = 232, kTop = 6;
    auto place = [&](QWidget* w, const char* name, int column, int row, int left, int width) {
        w->setObjectName(QString::fromLatin1(name));
        w->setGeometry(column * kHalf + left, kTop + row * kMethodRowStep, width, kMethodRowHeight);
    };
    auto addRow = [&](const char* caption, const char* name, int column, int row, QWidget* box) {
        auto* label = new QLabel(QString::fromUtf8(caption), CheckGroup);
        place(label, (std::string(name) + "Label").c_str(), column, row, 6, kCaption);
        label->setBuddy(box);
        place(box, name, column, row, kBox - 6 + 6, kHalf - kBox - 8);
    };
    auto number = [&](double top, int decimals, double step, const char* off, const char* suffix) {
        auto* box = new QDoubleSpinBox(CheckGroup);
        // Numbers in the window are written with '.' in every locale.
        box->setLocale(QLocale::c());
        box->setRange(0.0, top);
        box->setDecimals(decimals);
        box->setSingleStep(step);
        box->setSpecialValueText(QString::fromUtf8(off));
        box->setSuffix(QString::fromUtf8(suffix));
        box->setKeyboardTracking(false);
        return box;
    };
    SpikeBox = number(100.0, 3, 0.05, "不筛查", " m");
    SpikeBox->setToolTip(QString::fromUtf8(
        "尖峰水位：|Z − 前后共五个记录水位的中位数| > 容差 的记录被标记，计算表中水位格着色，过程线上标出"));
    addRow("尖峰容差", "SpikeBox", 0, 0, SpikeBox);
    RepairBox = new QCheckBox(QString::fromUtf8("插值修复"), CheckGroup);
    RepairBox->setToolTip(QString::fromUtf8(
        "标记的水位按时间线性插值：Z = Za + (Zb − Za)·(t − ta)/(tb − ta)，a、b 为前后最近的未标记记录；"
        "导入时选了“跳过缺测记录”的，前后都有记录的缺测记录补回表中，所缺水位、出库流量同样插值"));
    place(RepairBox, "RepairBox", 1, 0, 6, kHalf - 12);

    GaugeBox = number(10.0, 6, 0.001, "不估计", " m");
    GaugeBox->setToolTip(QString::fromUtf8(
        "水尺分辨率 R：每时段入库流量的标准差 σ = A·R·√2/(√12·Δt)，A 为时段平均水位处的水面面积；"
        "过程线画出 ±2σ 带"));
    addRow("水尺分辨率", "GaugeBox", 0, 1, GaugeBox);
    SmoothToleranceBox = number(10000.0, 1, 1.0, "不使用", " mm");
    SmoothToleranceBox->setToolTip(QString::fromUtf8(
        "最平滑的修正入库流量 (Σ(Q[k+1] − Q[k])² 最小)，其推算水位与实测水位的均方根差不超过此值"));
    addRow("平滑容差", "SmoothToleranceBox", 1, 1, SmoothToleranceBox);

    ScaleBox = new QComboBox(CheckGroup);
    for (const char* item : {"不分期", "按年", "按水文年", "按月"}) ScaleBox->addItem(QString::fromUtf8(item));
    ScaleBox->setToolTip(QString::fromUtf8(
        "每期内负入流置 0，正入流乘以 (正水量 + 负水量)/正水量，该期水量不变"));
    addRow("分期重新分配", "ScaleBox", 0, 2, ScaleBox);
    WaterYearBox = new QSpinBox(CheckGroup);
    WaterYearBox->setRange(1, 12);
    WaterYearBox->setValue(10);
    WaterYearBox->setSuffix(QString::fromUtf8(" 月"));
    WaterYearBox->setKeyboardTracking(false);
    WaterYearBox->setToolTip(QString::fromUtf8("水文年自该月 1 日起，以结束的年份命名"));
    addRow("水文年起始", "WaterYearBox", 1, 2, WaterYearBox);

    PeriodBox = new QComboBox(CheckGroup);
    for (const char* item : {"水文年", "年", "月"}) PeriodBox->addItem(QString::fromUtf8(item));
    PeriodBox->setToolTip(QString::fromUtf8("“分期统计”表每行一期（记录跨一年以上时显示）"));
    addRow("分期统计", "PeriodBox", 0, 3, PeriodBox);

    auto* compareLabel = new QLabel(QString::fromUtf8("对比入库流量"), CheckGroup);
    place(compareLabel, "CompareEditLabel", 0, 4, 6, kCaption);
    CompareEdit = new QLineEdit(CheckGroup);
    CompareEdit->setPlaceholderText(QString::fromUtf8("CSV 文件：time,value (m^3/s)"));
    CompareEdit->setToolTip(QString::fromUtf8(
        "参考入库流量：过程线画出“对比入库流量”，摘要加 RMSE、NSE、偏差（计算 − 参考）"));
    compareLabel->setBuddy(CompareEdit);
    place(CompareEdit, "CompareEdit", 0, 4, kBox, 2 * kHalf - kBox - 80);
    CompareButton = new QPushButton(QString::fromUtf8("选择…"), CheckGroup);
    place(CompareButton, "CompareButton", 1, 4, kHalf - 72, 64);
    CompareColumnsEdit = new QLineEdit(CheckGroup);
    CompareColumnsEdit->setPlaceholderText(QString::fromUtf8("列：time=列名,value=列名"));
    CompareColumnsEdit->setToolTip(QString::fromUtf8("参考文件中时间与流量的列（列名或列号）；空为前两列"));
    auto* columnsLabel = new QLabel(QString::fromUtf8("对比列"), CheckGroup);
    place(columnsLabel, "CompareColumnsEditLabel", 0, 5, 6, kCaption);
    columnsLabel->setBuddy(CompareColumnsEdit);
    place(CompareColumnsEdit, "CompareColumnsEdit", 0, 5, kBox, 2 * kHalf - kBox - 16);

    auto changed = [this] {
        if (OnChoicesChanged) OnChoicesChanged();
    };
    connect(CompareButton, &QPushButton::clicked, this, [this, changed] {
        if (!OnChooseCompareFile) return;
        const std::string name = OnChooseCompareFile();
        if (name.empty()) return;
        CompareEdit->setText(QString::fromStdString(name));
        changed();
    });
    for (QDoubleSpinBox* box : {SpikeBox, GaugeBox, SmoothToleranceBox})
        connect(box, &QDoubleSpinBox::valueChanged, this, changed);
    connect(RepairBox, &QCheckBox::toggled, this, changed);
    connect(ScaleBox, &QComboBox::currentIndexChanged, this, changed);
    connect(WaterYearBox, &QSpinBox::valueChanged, this, changed);
    connect(PeriodBox, &QComboBox::currentIndexChanged, this, changed);
    for (QLineEdit* edit : {CompareEdit, CompareColumnsEdit})
        connect(edit, &QLineEdit::editingFinished, this, [edit, changed] {
            if (edit->isModified()) {
                edit->setModified(false);
                changed();
            }
        });
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
    c.smoothTolerance = SmoothToleranceBox->value() / 1000.0;
    using P = TCorrectionOptions::TScalePeriod;
    constexpr P kScales[] = {P::None, P::Year, P::WaterYear, P::Month};
    c.scaleBy = kScales[std::clamp(ScaleBox->currentIndex(), 0, 3)];
    c.waterYearStart = WaterYearBox->value();
    // The corrections that exclude each other, refused as the batch mode does.
    if (c.smooth != 0 && c.smoothTolerance > 0)
        throw Exception("平滑与平滑容差只能选一种：滑动平均 " + std::to_string(c.smooth) + " 时段，或平滑容差");
    if (c.redistribute && c.scaleBy != P::None)
        throw Exception("负入流重新分配与分期重新分配只能选一种");
    return c;
}

TPeriodRule THydrographPage::PeriodRule() const {
    constexpr TPeriodKind kKinds[] = {TPeriodKind::WaterYear, TPeriodKind::Year, TPeriodKind::Month};
    return {kKinds[std::clamp(PeriodBox->currentIndex(), 0, 2)], WaterYearBox->value()};
}

void THydrographPage::PrepareChecks(InflowWork& work) {
    FFlags.clear();
    // The checks screen the record as read, whatever the last repair made.
    work.UndoRepair();
    FWithReference = false;
    FReference = {};
    FGauge = GaugeBox->value();
    const std::string compare = CompareEdit->text().trimmed().toStdString();
    if (!compare.empty()) {
        const std::string columns = CompareColumnsEdit->text().trimmed().toStdString();
        std::optional<TColumnOption> fields;
        if (!columns.empty()) fields = ParseCompareColumns(columns);
        FReference = ReadReferenceSeries(compare, fields, work.FloodFormat.units.flow, work.FloodFormat.stamps);
        FWithReference = true;
    }
    const double tolerance = SpikeBox->value();
    const bool repair = RepairBox->isChecked();
    if ((tolerance <= 0 && !repair) || work.FloodSteps.empty()) return;
    // The same screening and repair as batch mode's: the skipped records
    // between two read come back as rows of the table.
    try {
        TRecordRepair done = ScreenAndRepair(work, tolerance > 0 ? std::optional(tolerance) : std::nullopt, repair);
        FFlags = std::move(done.flags);
    } catch (const Exception&) {
        throw Exception("插值修复：没有保留原水位的记录可作插值依据，未作修复");
    }
}

void THydrographPage::ZoomToPeriod(int row) {
    if (row < 0 || row >= static_cast<int>(FPeriods.size())) return;
    const std::int64_t period = FPeriods[static_cast<std::size_t>(row)].period;
    const DateTimeValue from = PeriodStart(period, FPeriodRule), to = PeriodEnd(period, FPeriodRule);
    if (!std::isfinite(from) || !std::isfinite(to)) return;
    FHydrograph->ZoomTime(static_cast<double>(ElapsedDays(from)), static_cast<double>(ElapsedDays(to)));
    Chart2->repaint();
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

TFloodRun THydrographPage::Run(const InflowWork& work, bool withSummary) const {
    return RunWith(work, FCorrection, withSummary);
}

TFloodRun THydrographPage::RunWith(const InflowWork& work, const TCorrectionOptions& correction, bool withSummary) const {
    const bool shown = work.FloodShown();
    const std::span<const TFloodStep> steps =
        shown ? std::span<const TFloodStep>(work.FloodSteps) : std::span<const TFloodStep>();
    const std::size_t computed = shown ? work.ComputedRecords : 0;
    // As batch mode runs it: each step on the curve valid at its time, with
    // the curves' areas where they give them.
    InflowWork::TRunHeld held;
    TRunInputs inputs = work.RunInputs(held);
    if (FGauge > 0 && computed > 0) inputs.gaugeResolution = FGauge;
    inputs.withReference = FWithReference && computed > 0;
    inputs.referenceTimes = FReference.times;
    inputs.reference = FReference.values;
    if (RepairBox->isChecked() && FFlags.size() == steps.size())
        inputs.repairedRecords =
            static_cast<std::size_t>(std::count(FFlags.begin(), FFlags.end(), TRecordFlag::Repaired));
    return RunFlood(steps, computed, correction, withSummary, inputs);
}

THydrographChecks THydrographPage::Checks(const InflowWork& work, const TFloodRun& run) const {
    THydrographChecks checks;
    const bool computed = work.FloodShown() && work.ComputedRecords > 0;
    if (run.noise) checks.sigma = run.noise->sigma;
    if (work.FloodShown() && FFlags.size() == work.FloodSteps.size()) checks.flags = FFlags;
    if (FWithReference && computed) {
        checks.referenceTimes = FReference.times;
        checks.reference = FReference.values;
    }
    return checks;
}

void THydrographPage::Refresh(const InflowWork& work) {
    // After a reset the table is empty while the last record's steps remain.
    const bool shown = work.FloodShown();
    const std::span<const TFloodStep> steps =
        shown ? std::span<const TFloodStep>(work.FloodSteps) : std::span<const TFloodStep>();
    const std::size_t computed = shown ? work.ComputedRecords : 0;
    // The checks belong to the computation that made them: none after a
    // read or a reset.
    if (computed == 0) {
        FFlags.clear();
        FWithReference = false;
        FReference = {};
        FGauge = 0.0;
    }
    TFloodRun run;
    QString checkError;
    try {
        run = RunWith(work, FCorrection, true);
    } catch (const std::exception& e) {
        // What the checks could not do is told; the plain run is shown.
        checkError = QString::fromUtf8(e.what());
        TCorrectionOptions plain = FCorrection;
        plain.smoothTolerance = 0;
        run = RunFlood(steps, computed, plain);
    }
    FHydrograph->SetMarkPeaks(true, FlowDecimals(work));
    FHydrograph->Show(steps, computed, run.corrected, Checks(work, run));
    FillPeriods(work, steps, computed, run.corrected, FCorrection.Any());
    MethodNote->setText(
        !checkError.isEmpty() ? checkError
        : run.backwardStep
            ? QString::fromUtf8("记录未按时间先后排列（第 %1 行早于上一行）：不作修正，也不计洪量。")
                  .arg(work.RecordLine(*run.backwardStep).line)
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

void THydrographPage::FillPeriods(const InflowWork& work, std::span<const TFloodStep> steps, std::size_t computed,
                                  std::span<const double> corrected, bool withCorrected) {
    FPeriods.clear();
    FPeriodRule = PeriodRule();
    // More than a year between the first and the last record computed.
    const bool long_ = computed >= 2 && steps[computed - 1].T - steps[0].T > 366.0;
    bool ordered = true;
    for (std::size_t i = 1; i < computed && ordered; ++i) ordered = steps[i].T >= steps[i - 1].T;
    if (long_ && ordered) {
        try {
            FPeriods = withCorrected && corrected.size() + 1 == computed
                           ? SummarizePeriods(steps, computed, corrected, FPeriodRule)
                           : SummarizePeriods(steps, computed, FPeriodRule);
        } catch (const std::exception&) {
            FPeriods.clear();
        }
    }
    SummaryPages->setTabVisible(1, !FPeriods.empty());
    const bool withCorrectedColumns = !FPeriods.empty() && FPeriods.front().corrected;
    QStringList headings;
    for (const char* h : {"时期", "记录数", "洪峰流量", "峰现时间", "入库水量", "出库水量", "蓄量变化", "最小入流",
                          "负入流时段", "负入流水量"})
        headings << QString::fromUtf8(h);
    if (withCorrectedColumns) headings << QString::fromUtf8("修正洪峰") << QString::fromUtf8("修正入库水量");
    PeriodGrid->clear();
    PeriodGrid->setColumnCount(static_cast<int>(headings.size()));
    PeriodGrid->setHorizontalHeaderLabels(headings);
    PeriodGrid->setRowCount(static_cast<int>(FPeriods.size()));
    const int flows = FlowDecimals(work);
    auto flow = [&](const std::optional<TFloodPeak>& p) { return p ? RoundedText(p->value, flows) : QString(); };
    auto volume = [&](const std::optional<double>& v) { return v ? RoundedText(*v, 4) : QString(); };
    for (int r = 0; r < static_cast<int>(FPeriods.size()); ++r) {
        const TPeriodSummary& p = FPeriods[static_cast<std::size_t>(r)];
        QStringList cells{Text(p.label),
                          QString::number(p.records),
                          flow(p.peakInflow),
                          p.peakInflow ? QString::fromStdString(StampPattern(kCopyStampPattern, p.peakInflow->time)) : QString(),
                          volume(p.inflowVolume),
                          volume(p.outflowVolume),
                          volume(p.storageChange),
                          flow(p.lowestInflow),
                          p.negativeInflowSteps ? QString::number(*p.negativeInflowSteps) : QString(),
                          volume(p.negativeInflowVolume)};
        if (withCorrectedColumns) cells << flow(p.peakInflowCorrected) << volume(p.inflowVolumeCorrected);
        for (int c = 0; c < static_cast<int>(cells.size()); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c != 0 && c != 3) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            PeriodGrid->setItem(r, c, item);
        }
    }
    PeriodGrid->verticalHeader()->setDefaultSectionSize(PeriodGrid->fontMetrics().height() + 4);
    PeriodGrid->resizeColumnsToContents();
}
