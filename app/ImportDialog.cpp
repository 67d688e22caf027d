#include "ImportDialog.h"

#include "DatedCurves.h"
#include "Exceptions.h"
#include "OptionText.h"
#include "RecordLine.h"
#include "StringList.h"
#include "WorkbookLines.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFontMetrics>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QStringList>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {

// Enough lines to see the headings, the stamps and a few values; the rest of
// the file is the reader's.
constexpr int kPreviewLines = 12;
constexpr qint64 kPreviewBytes = 1 << 20;

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

QString SettingsKey(TFileKind kind, const QString& fileName) {
    return QStringLiteral("Import/%1/%2")
        .arg(kind == TFileKind::Curve ? QStringLiteral("Curve") : QStringLiteral("Flood"),
             QFileInfo(fileName).fileName());
}

// A table's first day belongs to the file (the resurvey it comes from), so it
// is remembered with its name too, beside the options.
QString ValidFromKey(const QString& fileName) {
    return QStringLiteral("Import/CurveFrom/%1").arg(QFileInfo(fileName).fileName());
}

// The day of "yyyy-mm-dd" as the dated --curve reads it; none for another text.
std::optional<std::int64_t> IsoDay(const QString& text) {
    try {
        return ParseCurveArgument("f@" + text.trimmed().toStdString()).fromDay;
    } catch (const Exception&) {
        return std::nullopt;
    }
}

// A heading that an option cannot name (it would read as a number, or is
// empty) is named by its number.
bool NameableHeading(const std::string& heading) {
    if (heading.empty()) return false;
    return heading.find_first_not_of("0123456789+-.") != std::string::npos;
}

template <typename Unit, std::size_t N>
QComboBox* UnitBox(QWidget* parent, const char* name, const Unit (&units)[N]) {
    auto* box = new QComboBox(parent);
    box->setObjectName(QString::fromLatin1(name));
    for (const Unit unit : units) box->addItem(QString::fromLatin1(UnitName(unit)), static_cast<int>(unit));
    return box;
}

template <typename Unit>
void SelectUnit(QComboBox* box, Unit unit) {
    if (box) box->setCurrentIndex(std::max(0, box->findData(static_cast<int>(unit))));
}

template <typename Unit>
Unit ChosenUnit(const QComboBox* box) {
    return static_cast<Unit>(box->currentData().toInt());
}

}  // namespace

TImportDialog::TImportDialog(TFileKind kind, const QString& fileName, const QString& settingsFile, QWidget* parent)
    : QDialog(parent), kind_(kind), fileName_(fileName), settingsFile_(settingsFile) {
    setObjectName(QStringLiteral("ImportDialog"));
    setWindowTitle(QString::fromUtf8(kind == TFileKind::Curve ? "导入库容曲线 — " : "导入洪水过程 — ") +
                   QFileInfo(fileName).fileName());
    ReadPreview();
    BuildControls();
    const TOptionPairs remembered = Remembered(settingsFile_, kind_, fileName_);
    ApplyGuess();
    if (!remembered.empty()) SetOptions(remembered);
    if (validFrom_)
        validFrom_->setText(QSettings(settingsFile_, QSettings::IniFormat).value(ValidFromKey(fileName_)).toString());
    Update();
    // Room for several columns of the preview and the whole command, in the
    // font's own measure so that it grows with the density.
    const QFontMetrics metrics = fontMetrics();
    resize(std::max(sizeHint().width(), metrics.averageCharWidth() * 100),
           std::max(sizeHint().height(), metrics.height() * 30));
}

// A sheet's first rows through the readers' own source. Title rows above the
// table are passed over: the heading is the first row of two or more texts.
void TImportDialog::ReadSheetPreview() {
    try {
        const std::unique_ptr<TLineSource> source = workbook::OpenWorkbookLines(QFile::encodeName(fileName_).toStdString());
        std::string line;
        std::vector<std::string_view> fields;
        bool heading = true;
        for (int passed = 0; !source->AtEnd() && static_cast<int>(rows_.size()) < kPreviewLines;) {
            source->ReadLine(line);
            SplitFields(TrimText(line), fields);
            if (heading) {
                const auto texts = std::count_if(fields.begin(), fields.end(), [](std::string_view f) {
                    const std::string_view t = TrimText(f);
                    return !t.empty() && t.find_first_not_of("0123456789.+-eE ") != std::string_view::npos;
                });
                if (texts < 2 && ++passed < kPreviewLines) continue;
                headingLine_ = line;
                for (const std::string_view h : HeadingNames(headingLine_)) headings_.emplace_back(h);
                heading = false;
                continue;
            }
            rows_.emplace_back(fields.begin(), fields.end());
        }
    } catch (const Exception& e) {
        readProblem_ = QString::fromStdString(e.what());
    }
}

void TImportDialog::ReadPreview() {
    if (workbook::IsWorkbookFileName(workbook::SplitWorkbookName(QFile::encodeName(fileName_).toStdString()).file)) {
        ReadSheetPreview();
        return;
    }
    QFile file(fileName_);
    if (!file.open(QIODevice::ReadOnly)) {
        readProblem_ = fileName_ + QStringLiteral(": ") + file.errorString();
        return;
    }
    const QByteArray bytes = file.read(kPreviewBytes);
    const std::string_view text(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    bool heading = true;
    while (start < text.size() && static_cast<int>(rows_.size()) < kPreviewLines) {
        std::size_t end = text.find('\n', start);
        const bool whole = end != std::string_view::npos;
        if (!whole) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        start = end + 1;
        if (heading) {
            headingLine_ = std::string(line);
            for (const std::string_view h : HeadingNames(headingLine_)) headings_.emplace_back(h);
            heading = false;
            continue;
        }
        if (!whole && bytes.size() == kPreviewBytes) break;  // a line cut by the preview's limit
        SplitFields(line, fields);
        rows_.emplace_back(fields.begin(), fields.end());
    }
}

void TImportDialog::BuildControls() {
    auto* layout = new QVBoxLayout(this);
    preview_ = new QTableWidget(this);
    preview_->setObjectName(QStringLiteral("ImportPreview"));
    preview_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    preview_->verticalHeader()->setVisible(false);
    std::size_t fields = headings_.size();
    for (const auto& row : rows_) fields = std::max(fields, row.size());
    preview_->setColumnCount(static_cast<int>(fields));
    preview_->setRowCount(static_cast<int>(rows_.size()));
    for (std::size_t r = 0; r < rows_.size(); ++r)
        for (std::size_t c = 0; c < rows_[r].size(); ++c)
            preview_->setItem(static_cast<int>(r), static_cast<int>(c), new QTableWidgetItem(Utf8(rows_[r][c])));
    layout->addWidget(preview_, 1);

    auto columnBox = [&](const char* name, bool allowNone) {
        auto* box = new QComboBox(this);
        box->setObjectName(QString::fromLatin1(name));
        if (allowNone) box->addItem(QString::fromUtf8("（无）"), 0);
        for (std::size_t f = 1; f <= fields; ++f) {
            const std::string heading = f <= headings_.size() ? headings_[f - 1] : std::string();
            box->addItem(QString::number(f) + QStringLiteral(": ") + Utf8(heading), static_cast<int>(f));
        }
        return box;
    };
    auto* columns = new QGroupBox(QString::fromUtf8("列"), this);
    auto* columnForm = new QFormLayout(columns);
    auto* units = new QGroupBox(QString::fromUtf8("单位"), this);
    auto* unitForm = new QFormLayout(units);
    levelUnit_ = UnitBox(this, "LevelUnit", {TLevelUnit::M, TLevelUnit::Ft});
    unitForm->addRow(QString::fromUtf8("水位"), levelUnit_);
    if (kind_ == TFileKind::Curve) {
        level_ = columnBox("LevelColumn", false);
        storage_ = columnBox("StorageColumn", false);
        area_ = columnBox("AreaColumn", true);
        columnForm->addRow(QString::fromUtf8("水位"), level_);
        columnForm->addRow(QString::fromUtf8("库容"), storage_);
        columnForm->addRow(QString::fromUtf8("面积"), area_);
        storageUnit_ = UnitBox(this, "StorageUnit",
                               {TStorageUnit::E8M3, TStorageUnit::E6M3, TStorageUnit::M3, TStorageUnit::Af,
                                TStorageUnit::Kaf, TStorageUnit::Maf});
        unitForm->addRow(QString::fromUtf8("库容"), storageUnit_);
    } else {
        time_ = columnBox("TimeColumn", false);
        level_ = columnBox("LevelColumn", false);
        outflow_ = columnBox("OutflowColumn", false);
        losses_ = new QListWidget(this);
        losses_->setObjectName(QStringLiteral("LossColumns"));
        for (int i = 0; i < time_->count(); ++i) {
            auto* item = new QListWidgetItem(time_->itemText(i), losses_);
            item->setData(Qt::UserRole, time_->itemData(i));
            item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
            item->setCheckState(Qt::Unchecked);
        }
        losses_->setMaximumHeight(losses_->fontMetrics().height() * 5);
        losses_->setToolTip(QString::fromUtf8("蒸发、引水等损失：加在出库流量项上"));
        columnForm->addRow(QString::fromUtf8("时间"), time_);
        columnForm->addRow(QString::fromUtf8("水位"), level_);
        columnForm->addRow(QString::fromUtf8("出库流量"), outflow_);
        columnForm->addRow(QString::fromUtf8("损失"), losses_);
        flowUnit_ = UnitBox(this, "FlowUnit", {TFlowUnit::M3s, TFlowUnit::Cfs});
        lossUnit_ = UnitBox(this, "LossUnit", {TLossUnit::M3s, TLossUnit::Cfs, TLossUnit::M3, TLossUnit::Af});
        lossUnit_->setToolTip(QString::fromUtf8("体积单位（m3、af）为该时段内损失的水量"));
        unitForm->addRow(QString::fromUtf8("流量"), flowUnit_);
        unitForm->addRow(QString::fromUtf8("损失"), lossUnit_);
    }
    auto* row = new QHBoxLayout;
    row->addWidget(columns);
    row->addWidget(units);
    if (kind_ == TFileKind::Flood) {
        auto* stamps = new QGroupBox(QString::fromUtf8("时间与缺测"), this);
        auto* stampForm = new QFormLayout(stamps);
        dateOrder_ = new QComboBox(this);
        dateOrder_->setObjectName(QStringLiteral("DateOrder"));
        dateOrder_->addItem(QString::fromUtf8("按区域设置"), QString());
        for (const char* order : {"dmy", "mdy", "ymd"}) dateOrder_->addItem(QString::fromLatin1(order), QString::fromLatin1(order));
        timeFormat_ = new QComboBox(this);
        timeFormat_->setObjectName(QStringLiteral("TimeFormat"));
        timeFormat_->addItem(QString::fromUtf8("日期时间文本"), QString());
        for (const char* format : {"unix-s", "unix-ms"}) timeFormat_->addItem(QString::fromLatin1(format), QString::fromLatin1(format));
        utcOffset_ = new QLineEdit(this);
        utcOffset_->setObjectName(QStringLiteral("UtcOffset"));
        utcOffset_->setPlaceholderText(QStringLiteral("+08:00"));
        utcOffset_->setToolTip(QString::fromUtf8("Unix 时间为 UTC；加上此偏移得到水库当地时间"));
        skipMissing_ = new QCheckBox(QString::fromUtf8("跳过缺测记录"), this);
        skipMissing_->setObjectName(QStringLiteral("SkipMissing"));
        skipMissing_->setToolTip(QString::fromUtf8("水位、出库流量或损失为空或为缺测值的记录被跳过，前后两条记录之间的时段跨过空缺"));
        missingValues_ = new QLineEdit(this);
        missingValues_->setObjectName(QStringLiteral("MissingValues"));
        missingValues_->setPlaceholderText(QStringLiteral("-96759"));
        missingValues_->setToolTip(QString::fromUtf8("表示“无数据”的数值，以空格分开"));
        stampForm->addRow(QString::fromUtf8("日期顺序"), dateOrder_);
        stampForm->addRow(QString::fromUtf8("时间格式"), timeFormat_);
        stampForm->addRow(QString::fromUtf8("UTC 偏移"), utcOffset_);
        stampForm->addRow(skipMissing_);
        stampForm->addRow(QString::fromUtf8("缺测值"), missingValues_);
        row->addWidget(stamps);
    }
    layout->addLayout(row);
    auto* commandForm = new QFormLayout;
    if (kind_ == TFileKind::Curve) {
        validFrom_ = new QLineEdit(this);
        validFrom_->setObjectName(QStringLiteral("ValidFrom"));
        validFrom_->setPlaceholderText(QString::fromUtf8("yyyy-mm-dd；空：从头起"));
        validFrom_->setToolTip(QString::fromUtf8("此曲线自该日 0 时起适用，直到下一条曲线的生效日；"
                                                 "各条曲线列在库容水位曲线页上"));
        auto* label = new QLabel(QString::fromUtf8("生效日期(&D)"), this);
        label->setBuddy(validFrom_);
        commandForm->addRow(label, validFrom_);
        connect(validFrom_, &QLineEdit::textChanged, this, [this] { Update(); });
    }
    command_ = new QLineEdit(this);
    command_->setObjectName(QStringLiteral("ImportCommand"));
    command_->setReadOnly(true);
    command_->setToolTip(QString::fromUtf8("批处理模式中的相同选项"));
    commandForm->addRow(QString::fromUtf8("命令行选项"), command_);
    layout->addLayout(commandForm);
    problem_ = new QLabel(this);
    problem_->setObjectName(QStringLiteral("ImportProblem"));
    problem_->setWordWrap(true);
    problem_->setStyleSheet(QStringLiteral("color: #b00000"));
    layout->addWidget(problem_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &TImportDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    ok_ = buttons->button(QDialogButtonBox::Ok);
    layout->addWidget(buttons);

    for (QComboBox* box : {time_, level_, outflow_, storage_, area_, levelUnit_, storageUnit_, flowUnit_,
                           lossUnit_, dateOrder_, timeFormat_})
        if (box) connect(box, &QComboBox::currentIndexChanged, this, [this] { Update(); });
    for (QLineEdit* edit : {utcOffset_, missingValues_})
        if (edit) connect(edit, &QLineEdit::textChanged, this, [this] { Update(); });
    if (skipMissing_) connect(skipMissing_, &QCheckBox::toggled, this, [this] { Update(); });
    if (losses_) connect(losses_, &QListWidget::itemChanged, this, [this] { Update(); });
}

void TImportDialog::ApplyGuess() {
    const TFormatGuess guess = GuessFormat(kind_, headingLine_);
    const bool was = std::exchange(updating_, true);
    auto select = [](QComboBox* box, int field) {
        if (box) box->setCurrentIndex(std::max(0, box->findData(field)));
    };
    select(level_, guess.level);
    SelectUnit(levelUnit_, guess.units.level);
    if (kind_ == TFileKind::Curve) {
        select(storage_, guess.storage);
        select(area_, guess.area);
        SelectUnit(storageUnit_, guess.units.storage);
    } else {
        select(time_, guess.time);
        select(outflow_, guess.outflow);
        for (int i = 0; i < losses_->count(); ++i) {
            const int field = losses_->item(i)->data(Qt::UserRole).toInt();
            const bool loss = std::find(guess.losses.begin(), guess.losses.end(), field) != guess.losses.end();
            losses_->item(i)->setCheckState(loss ? Qt::Checked : Qt::Unchecked);
        }
        SelectUnit(flowUnit_, guess.units.flow);
        SelectUnit(lossUnit_, guess.units.loss);
        // Blank cells in the chosen columns of the first lines: the agency
        // leaves days without a value, which the reading must skip.
        std::vector<int> chosen{guess.level, guess.outflow};
        chosen.insert(chosen.end(), guess.losses.begin(), guess.losses.end());
        bool blank = false;
        for (const auto& r : rows_)
            for (const int field : chosen)
                if (static_cast<std::size_t>(field) <= r.size() && TrimText(r[field - 1]).empty()) blank = true;
        skipMissing_->setChecked(blank);
    }
    updating_ = was;
}

int TImportDialog::FieldOf(const TColumnRef& column) const {
    const int fields = preview_->columnCount();
    if (column.number > 0) return column.number <= fields ? column.number : 0;
    for (std::size_t i = 0; i < headings_.size(); ++i)
        if (SameIgnoringCase(headings_[i], column.heading)) return static_cast<int>(i) + 1;
    return 0;
}

std::string TImportDialog::ColumnText(int field) const {
    if (field >= 1 && static_cast<std::size_t>(field) <= headings_.size()) {
        const std::string& heading = headings_[field - 1];
        const auto same = std::count_if(headings_.begin(), headings_.end(),
                                        [&](const std::string& h) { return SameIgnoringCase(h, heading); });
        if (NameableHeading(heading) && same == 1) return heading;
    }
    return std::to_string(field);
}

TOptionPairs TImportDialog::Options() const {
    TOptionPairs options;
    auto field = [](const QComboBox* box) { return box->currentData().toInt(); };
    std::string unitList;
    auto addUnit = [&](const char* quantity, const char* unit, const char* plain) {
        if (std::string_view(unit) == plain) return;
        if (!unitList.empty()) unitList += ',';
        unitList += quantity;
        unitList += '=';
        unitList += unit;
    };
    addUnit("level", UnitName(ChosenUnit<TLevelUnit>(levelUnit_)), UnitName(TLevelUnit::M));
    if (kind_ == TFileKind::Curve) {
        const int level = field(level_), storage = field(storage_), area = field(area_);
        if (level != 1 || storage != 2 || area != 0) {
            std::string text = "level=" + ColumnText(level) + ",storage=" + ColumnText(storage);
            if (area != 0) text += ",area=" + ColumnText(area);
            options.emplace_back("--curve-columns", text);
        }
        addUnit("storage", UnitName(ChosenUnit<TStorageUnit>(storageUnit_)), UnitName(TStorageUnit::E8M3));
    } else {
        const int time = field(time_), level = field(level_), outflow = field(outflow_);
        std::vector<int> losses;
        for (int i = 0; i < losses_->count(); ++i)
            if (losses_->item(i)->checkState() == Qt::Checked) losses.push_back(losses_->item(i)->data(Qt::UserRole).toInt());
        if (time != 1 || level != 2 || outflow != 3 || !losses.empty()) {
            std::string text = "time=" + ColumnText(time) + ",level=" + ColumnText(level) + ",outflow=" + ColumnText(outflow);
            for (const int loss : losses) text += ",loss=" + ColumnText(loss);
            options.emplace_back("--columns", text);
        }
        addUnit("flow", UnitName(ChosenUnit<TFlowUnit>(flowUnit_)), UnitName(TFlowUnit::M3s));
        addUnit("loss", UnitName(ChosenUnit<TLossUnit>(lossUnit_)), UnitName(TLossUnit::M3s));
    }
    if (!unitList.empty()) options.emplace_back("--units", unitList);
    if (kind_ == TFileKind::Flood) {
        if (const QString order = dateOrder_->currentData().toString(); !order.isEmpty())
            options.emplace_back("--date-order", order.toStdString());
        if (const QString format = timeFormat_->currentData().toString(); !format.isEmpty())
            options.emplace_back("--time-format", format.toStdString());
        if (const QString offset = utcOffset_->text().trimmed(); !offset.isEmpty())
            options.emplace_back("--utc-offset", offset.toStdString());
        if (skipMissing_->isChecked()) options.emplace_back("--missing", "skip");
        for (const QString& value : missingValues_->text().split(QLatin1Char(' '), Qt::SkipEmptyParts))
            options.emplace_back("--missing-value", value.toStdString());
    }
    return options;
}

void TImportDialog::SetOptions(const TOptionPairs& options) {
    TRecordFormat format;
    try {
        format = ReadRecordFormat(kind_, options);
    } catch (const Exception&) {
        return;  // choices remembered by another version, or for another file: the guess stands
    }
    const bool was = std::exchange(updating_, true);
    auto select = [](QComboBox* box, int field) {
        if (box && field > 0) box->setCurrentIndex(std::max(0, box->findData(field)));
    };
    if (format.columns) {
        if (losses_)
            for (int i = 0; i < losses_->count(); ++i) losses_->item(i)->setCheckState(Qt::Unchecked);
        if (area_) area_->setCurrentIndex(0);
        for (const TColumnChoice& choice : format.columns->choices) {
            const int field = FieldOf(choice.column);
            switch (choice.quantity) {
            case TRecordQuantity::Time: select(time_, field); break;
            case TRecordQuantity::Level: select(level_, field); break;
            case TRecordQuantity::Outflow: select(outflow_, field); break;
            case TRecordQuantity::Storage: select(storage_, field); break;
            case TRecordQuantity::Area: select(area_, field); break;
            case TRecordQuantity::Value: break;   // no file the dialog reads has one
            case TRecordQuantity::Loss:
                for (int i = 0; i < losses_->count(); ++i)
                    if (losses_->item(i)->data(Qt::UserRole).toInt() == field) losses_->item(i)->setCheckState(Qt::Checked);
                break;
            }
        }
    }
    SelectUnit(levelUnit_, format.units.level);
    SelectUnit(storageUnit_, format.units.storage);
    SelectUnit(flowUnit_, format.units.flow);
    SelectUnit(lossUnit_, format.units.loss);
    if (kind_ == TFileKind::Flood) {
        dateOrder_->setCurrentIndex(static_cast<int>(format.stamps.dateOrder));
        timeFormat_->setCurrentIndex(static_cast<int>(format.stamps.timeFormat));
        QString offset, values;
        for (const auto& [name, value] : options) {
            if (name == "--utc-offset") offset = QString::fromStdString(value);
            if (name == "--missing-value") values += (values.isEmpty() ? QString() : QStringLiteral(" ")) + QString::fromStdString(value);
        }
        utcOffset_->setText(offset);
        missingValues_->setText(values);
        skipMissing_->setChecked(format.missing == TMissingMode::Skip);
    }
    updating_ = was;
    Update();
}

std::optional<std::int64_t> TImportDialog::ValidFrom() const {
    return validFrom_ ? IsoDay(validFrom_->text()) : std::nullopt;
}

void TImportDialog::SetValidFrom(const QString& isoDay) {
    if (validFrom_) validFrom_->setText(isoDay);
}

QString TImportDialog::Problem() const {
    if (!readProblem_.isEmpty()) return readProblem_;
    if (validFrom_ && !validFrom_->text().trimmed().isEmpty() && !ValidFrom())
        return QString::fromUtf8("生效日期 “%1” 不是 yyyy-mm-dd 形式的日期").arg(validFrom_->text().trimmed());
    try {
        const TRecordFormat format = ReadRecordFormat(kind_, Options());
        const std::string name = QFileInfo(fileName_).fileName().toStdString();
        if (format.columns && kind_ == TFileKind::Flood) ResolveFloodColumns(*format.columns, headingLine_, name);
        if (format.columns && kind_ == TFileKind::Curve) ResolveCurveColumns(*format.columns, headingLine_, name);
    } catch (const Exception& e) {
        return QString::fromStdString(e.Message);
    }
    return {};
}

void TImportDialog::Update() {
    if (updating_) return;
    TOptionPairs options = Options();
    // A dated curve is repeated in a script by its --curve FILE@DATE.
    if (const std::optional<std::int64_t> day = ValidFrom())
        options.insert(options.begin(), {"--curve", QFileInfo(fileName_).fileName().toStdString() + "@" + DayText(*day)});
    command_->setText(QString::fromStdString(OptionCommandText(options)));
    command_->setCursorPosition(0);
    const QString problem = Problem();
    problem_->setText(problem);
    problem_->setVisible(!problem.isEmpty());
    ok_->setEnabled(problem.isEmpty());
    if (utcOffset_) utcOffset_->setEnabled(timeFormat_->currentIndex() != 0 || !utcOffset_->text().isEmpty());
    // The preview's headings say which quantity each chosen column gives.
    QStringList labels;
    for (int c = 0; c < preview_->columnCount(); ++c) {
        const std::size_t f = static_cast<std::size_t>(c) + 1;
        labels << QString::number(f) + QStringLiteral(": ") +
                      (f <= headings_.size() ? Utf8(headings_[f - 1]) : QString());
    }
    auto mark = [&](const QComboBox* box, const char* quantity) {
        if (!box) return;
        const int field = box->currentData().toInt();
        if (field >= 1 && field <= labels.size()) labels[field - 1] += QStringLiteral("\n") + QString::fromUtf8(quantity);
    };
    mark(time_, "时间");
    mark(level_, "水位");
    mark(outflow_, "出库流量");
    mark(storage_, "库容");
    mark(area_, "面积");
    if (losses_)
        for (int i = 0; i < losses_->count(); ++i)
            if (losses_->item(i)->checkState() == Qt::Checked) {
                const int field = losses_->item(i)->data(Qt::UserRole).toInt();
                if (field >= 1 && field <= labels.size()) labels[field - 1] += QString::fromUtf8("\n损失");
            }
    preview_->setHorizontalHeaderLabels(labels);
    preview_->resizeColumnsToContents();
}

TOptionPairs TImportDialog::Remembered(const QString& settingsFile, TFileKind kind, const QString& fileName) {
    const QStringList flat = QSettings(settingsFile, QSettings::IniFormat).value(SettingsKey(kind, fileName)).toStringList();
    TOptionPairs options;
    for (qsizetype i = 0; i + 1 < flat.size(); i += 2) options.emplace_back(flat[i].toStdString(), flat[i + 1].toStdString());
    return options;
}

void TImportDialog::accept() {
    if (!Problem().isEmpty()) return;
    QStringList flat;
    for (const auto& [name, value] : Options()) flat << QString::fromStdString(name) << QString::fromStdString(value);
    QSettings settings(settingsFile_, QSettings::IniFormat);
    settings.setValue(SettingsKey(kind_, fileName_), flat);
    if (validFrom_) settings.setValue(ValidFromKey(fileName_), validFrom_->text().trimmed());
    QDialog::accept();
}
