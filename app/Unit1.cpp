#include "Unit1.h"

#include "AboutUnit2.h"
#include "FormLayout.h"
#include "HydrographPage.h"
#include "ImageBox.h"
#include "ImportDialog.h"
#include "WindowArguments.h"
#include "Chart.h"
#include "ChartWidget.h"
#include "CurveChart.h"
#include "Series.h"
#include "ViewExports.h"

#include "Arithmetic.h"
#include "FloodSummary.h"
#include "ScopeExit.h"
#include "DatedCurves.h"
#include "FloodRun.h"
#include "LineFile.h"
#include "RecordGaps.h"
#include "ResultWorkbook.h"
#include "Workbook.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QScrollArea>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>
#include <QComboBox>
#include <QCompleter>
#include <QLabel>
#include <QCoreApplication>
#include <QEvent>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QPainter>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <sys/stat.h>

namespace {

// Stored window size and place, frame and caption included, in pixels of the
// layout.
constexpr QRect kStoredWindow(306, 152, 1110, 612);

// The settings kept between runs.
constexpr const char* kWindowSizeKey = "window/size";          // client size, device pixels
constexpr const char* kWindowScaleKey = "window/textHeight";   // the measured height it was kept at
constexpr const char* kWindowMaximizedKey = "window/maximized";
constexpr const char* kFolderKey = "files/folder";

// A click or menu choice, delivered to the window as an event through the
// application object: an exception thrown by the handler passes through Qt's
// event delivery (QApplication::notify and what it calls) up to our notify()
// override, which catches it; it never unwinds through the signal machinery
// of the button that was clicked.
class THandlerEvent : public QEvent {
public:
    static QEvent::Type EventType() {
        static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
        return type;
    }
    explicit THandlerEvent(void (TForm1::*handler)()) : QEvent(EventType()), Handler(handler) {}
    void (TForm1::*Handler)();
};

// A row is only in view on its table's page: that page is brought forward.
void ShowPageOf(QWidget* view) {
    for (QWidget* page = view; page && page->parentWidget(); page = page->parentWidget()) {
        auto* tabs = qobject_cast<QTabWidget*>(page->parentWidget()->parentWidget());
        if (tabs && tabs->indexOf(page) >= 0) {
            tabs->setCurrentWidget(page);
            return;
        }
    }
}

// Refreshes a view when the action ends, also when it ends by an exception;
// an action of the work that failed on a line of its file (with work given)
// then shows that line's row, before the message box opens.
class TRefreshOnExit {
public:
    explicit TRefreshOnExit(TStringGridView* view, const InflowWork* work = nullptr)
        : view_(view), work_(work), exceptions_(std::uncaught_exceptions()) {}
    ~TRefreshOnExit() {
        view_->Refresh();
        if (work_ && std::uncaught_exceptions() > exceptions_ && work_->FailedLine) {
            ShowPageOf(view_);
            view_->ShowRow(static_cast<int>(std::min<std::int64_t>(work_->FailedLine->Row(), INT_MAX)));
        }
    }
    TRefreshOnExit(const TRefreshOnExit&) = delete;
    TRefreshOnExit& operator=(const TRefreshOnExit&) = delete;

private:
    TStringGridView* view_;
    const InflowWork* work_;
    int exceptions_;
};

// Shows the calculation table's records on the hydrograph page when the
// action ends, also when it ends by an exception.
class TRefreshPageOnExit {
public:
    TRefreshPageOnExit(THydrographPage* page, const InflowWork& work) : page_(page), work_(work) {}
    ~TRefreshPageOnExit() { page_->Refresh(work_); }
    TRefreshPageOnExit(const TRefreshPageOnExit&) = delete;
    TRefreshPageOnExit& operator=(const TRefreshPageOnExit&) = delete;

private:
    THydrographPage* page_;
    const InflowWork& work_;
};

}  // namespace

TChartWidget* TForm1::CreateChart1(QWidget* parent) {
    auto* chart = new TChartWidget(parent);
    chart->setObjectName(QStringLiteral("Chart1"));
    chart->Chart().LoadLayout(CurveChartLayout());
    chart->setGeometry(208, 56, 505, 313);
    return chart;
}

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), Series1(std::make_unique<TLineSeries>()) {
    InstallFontSubstitutes();
    setupUi(this);
    Chart1 = CreateChart1(TabSheet1);
    // Above the chart, in room the layout leaves free; hidden until curves
    // were imported, so the designed window looks as it always did.
    CurveList = new QComboBox(TabSheet1);
    CurveList->setObjectName(QStringLiteral("CurveList"));
    CurveList->setGeometry(208, 20, 505, 26);
    CurveList->setToolTip(QString::fromUtf8("各条库容水位曲线及其生效日期：选中的一条显示在表格和图中；"
                                            "计算时每个时段用其末时刻所在日有效的曲线"));
    CurveList->hide();
    ImportNote = new QLabel(centralWidget());
    ImportNote->setObjectName(QStringLiteral("ImportNote"));
    ImportNote->setGeometry(744, 457, 337, 76);
    ImportNote->setWordWrap(true);
    ImportNote->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    ImportNote->setAutoFillBackground(true);
    ImportNote->setMargin(4);
    ImportNote->setFrameShape(QFrame::Box);
    ImportNote->hide();
    passedOverFile_.clear();
    TabSheet4 = new THydrographPage();
    Chart2 = TabSheet4->Chart2;
    PageControl1->insertTab(2, TabSheet4, QString::fromUtf8("入库洪水过程线"));
    ApplyStoredFonts(this);
    const TScreenScale screen = PrimaryScreenScale();
    ScaleLayout(this, screen);
    const int measured = MeasuredTextHeight(this);
    TabSheet4->FitColumns(measured, screen.DevicePixelRatio);
    StringGrid1->SetLayoutScale(measured);
    StringGrid2->SetLayoutScale(measured);
    StringGrid1->GridModel()->SetStampColumn(0);
    PageControl1->setCurrentIndex(0);
    ratio_ = screen.DevicePixelRatio;
    outerSize_ = ScaledOuterSize(this, kStoredWindow.size());
    move(ToLogical(kStoredWindow.topLeft(), ratio_));

    // The client area in a scroll area of no frame of its own: at the
    // designed size it shows as before; smaller, scroll bars rather than cut
    // controls; larger, the components grow (PlaceComponents).
    client_ = takeCentralWidget();
    clientScroll_ = new QScrollArea(this);
    clientScroll_->setObjectName(QStringLiteral("qt_client_scroll"));
    clientScroll_->setFrameShape(QFrame::NoFrame);
    clientScroll_->setWidgetResizable(false);
    clientScroll_->setWidget(client_);
    setCentralWidget(clientScroll_);
    clientScroll_->viewport()->installEventFilter(this);
    // Each component: its designed place, and its shares of the extra width
    // and height (move x, move y, grow x, grow y). The buttons and the
    // picture keep their size beside the pages; the tables and charts grow.
    auto grows = [this](QWidget* w, double moveX, double moveY, double growX, double growY) {
        growth_.push_back({w, w->geometry(), moveX, moveY, growX, growY});
    };
    grows(PageControl1, 0, 0, 1, 1);
    for (QWidget* w : {static_cast<QWidget*>(BitBtn1), static_cast<QWidget*>(BitBtn2), static_cast<QWidget*>(BitBtn3),
                       static_cast<QWidget*>(BitBtn4), static_cast<QWidget*>(Image1), static_cast<QWidget*>(ImportNote)})
        grows(w, 1, 0, 0, 0);
    grows(CurveList, 0, 0, 1, 0);
    grows(StringGrid2, 0, 0, 0, 1);
    grows(Chart1, 0, 0, 1, 1);
    grows(StringGrid1, 0, 0, 1, 1);
    grows(Memo1, 0, 0, 1, 1);
    // The hydrograph takes two thirds of the extra height, the summary the rest.
    grows(Chart2, 0, 0, 1, 2.0 / 3);
    grows(TabSheet4->SummaryPages, 0, 2.0 / 3, 1, 1.0 / 3);
    grows(TabSheet4->MethodGroup, 1, 2.0 / 3, 0, 0);
    client_->resize(DesignedClientSize());
    SetOuterSize(this, outerSize_, ratio_);
    RestoreWindowSize();
    if (const QScreen* shownOn = QWidget::screen())
        move(OnScreen(pos(), size().expandedTo(ToLogical(outerSize_, ratio_)), shownOn->availableGeometry()));

    // The form owns Series1 and frees it before its children: a series that
    // goes first leaves its chart, so the chart never frees it again.
    Series1->SetParentChart(&Chart1->Chart());
    CurvePlot1 = std::make_unique<TSeriesCurvePlot>(*Series1, [this] { Chart1->repaint(); });
    Work.CurvePlot = CurvePlot1.get();
    ExecuteOpenDialog = [this] { return ShowOpenDialog1(); };
    ExecuteSaveDialog = [this](const TSaveRequest& request) { return ShowSaveDialog(request); };
    ExecuteSizeDialog = [this](QSize shown) { return AskPictureSize(this, shown); };
    ExecuteImportDialog = [this](TFileKind kind, const std::string& fileName) { return ShowImportDialog(kind, fileName); };
    const TChartMenuHooks hooks{[this](const TSaveRequest& r) { return ExecuteSaveDialog(r); },
                                [this](QSize shown) { return ExecuteSizeDialog(shown); }};
    Chart1->SetValueReadout(true);
    Chart2->SetValueReadout(true);
    InstallChartMenu(Chart1, hooks);
    QMenu* pageMenu = InstallChartMenu(Chart2, hooks);
    // The page's files, in the chart's menu and in the summary's.
    auto* summaryMenu = new QMenu(TabSheet4->SummaryGrid);
    summaryMenu->setObjectName(QStringLiteral("SummaryMenu"));
    for (QMenu* menu : {pageMenu, summaryMenu}) {
        if (menu == pageMenu) menu->addSeparator();
        QAction* summary = menu->addAction(QString::fromUtf8("保存摘要…"));
        summary->setObjectName(QStringLiteral("SaveSummary"));
        QAction* corrected = menu->addAction(QString::fromUtf8("保存修正入库流量…"));
        corrected->setObjectName(QStringLiteral("SaveCorrected"));
        connect(summary, &QAction::triggered, this, [this] { RunHandler(&TForm1::SaveSummaryClick); });
        connect(corrected, &QAction::triggered, this, [this] { RunHandler(&TForm1::SaveCorrectedClick); });
    }
    TabSheet4->SummaryGrid->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(TabSheet4->SummaryGrid, &QWidget::customContextMenuRequested, this, [this, summaryMenu](QPoint at) {
        summaryMenu->popup(TabSheet4->SummaryGrid->viewport()->mapToGlobal(at));
    });
    for (QTableView* table : {static_cast<QTableView*>(StringGrid1), static_cast<QTableView*>(StringGrid2),
                              static_cast<QTableView*>(TabSheet4->SummaryGrid)})
        InstallCopyShortcut(table);
    // A result on show is computed again when the method changes, so that
    // chart, summary and table never show the settings of an earlier run.
    TabSheet4->OnChoicesChanged = [this] {
        if (Work.ComputedRecords > 0) RunHandler(&TForm1::BitBtn3Click);
    };
    // A reference is a CSV (or a workbook's sheet), as the import reads.
    TabSheet4->OnChooseCompareFile = [this] {
        offerData_ = true;
        const TScopeExit offered([this] { offerData_ = false; });
        return ExecuteOpenDialog();
    };
    // A flagged record's level cell is coloured, its flag told in the tip;
    // so is the outflow a record brought back by the repair lacked.
    StringGrid1->GridModel()->CellMark = [this](int col, int row) -> TStringGridModel::TCellMark {
        const std::vector<TRecordFlag>& flags = TabSheet4->Flags();
        const int record = row - 2;
        if ((col != 1 && col != 6) || record < 0 || static_cast<std::size_t>(record) >= flags.size() ||
            flags.size() != Work.FloodSteps.size())
            return {};
        const auto k = static_cast<std::size_t>(record);
        const QColor mended(190, 215, 255);
        if (col == 6)
            return Work.OutflowReplaced(k)
                       ? TStringGridModel::TCellMark{mended, QString::fromUtf8("缺测的出库流量，已按前后记录的时间线性插值补齐")}
                       : TStringGridModel::TCellMark{};
        switch (flags[k]) {
        case TRecordFlag::Spike:
            return {QColor(255, 200, 120), QString::fromUtf8("尖峰：偏离前后五个记录水位的中位数超过容差")};
        case TRecordFlag::Repaired:
            return {mended, Work.RecordRestored(k)
                                ? QString::fromUtf8("读入时跳过的缺测记录，已补回并按时间线性插值后参与计算")
                                : QString::fromUtf8("尖峰，已按时间线性插值修复后参与计算")};
        default:
            return {};
        }
    };

    connect(BitBtn1, &QPushButton::clicked, this, [this] { RunHandler(&TForm1::BitBtn1Click); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { RunHandler(&TForm1::BitBtn2Click); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { RunHandler(&TForm1::BitBtn3Click); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { RunHandler(&TForm1::BitBtn4Click); });
    connect(about1, &QAction::triggered, this, [this] { RunHandler(&TForm1::about1Click); });
    // 导入… in each reading button's own menu: the designed window keeps its
    // look, and the entry is beside the button it belongs to.
    for (auto [button, handler, name] : {std::tuple{BitBtn1, &TForm1::ImportCurveClick, "ImportCurve"},
                                         std::tuple{BitBtn2, &TForm1::ImportFloodClick, "ImportFlood"}}) {
        auto* menu = new QMenu(button);
        menu->setObjectName(QString::fromLatin1(name) + QStringLiteral("Menu"));
        QAction* import = menu->addAction(QString::fromUtf8("导入…"));
        import->setObjectName(QString::fromLatin1(name));
        connect(import, &QAction::triggered, this, [this, handler = handler] { RunHandler(handler); });
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        button->setToolTip(QString::fromUtf8("右键：导入… 按列名、单位、日期格式读取机构发布的文件"));
        connect(button, &QWidget::customContextMenuRequested, this,
                [menu, button = button](QPoint at) { menu->popup(button->mapToGlobal(at)); });
    }
    connect(CurveList, &QComboBox::activated, this, [this](int k) { ShowListedCurve(k); });

    FormCreate();
}

TForm1::~TForm1() {
    // The grid views read the form's grids while they hide; hide them now,
    // while the grids exist, not in QWidget's destructor after they are gone.
    hide();
}

void TForm1::RunHandler(Handler handler) {
    THandlerEvent event(handler);
    QCoreApplication::sendEvent(this, &event);
}

bool TForm1::event(QEvent* event) {
    if (event->type() == THandlerEvent::EventType()) {
        (this->*static_cast<THandlerEvent*>(event)->Handler)();
        return true;
    }
    return QMainWindow::event(event);
}

void TForm1::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    FitOuterSizeOnce(this, outerSize_, ratio_, outerSizeFitted_);
    PlaceComponents();
}

void TForm1::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    FitOuterSizeOnce(this, outerSize_, ratio_, outerSizeFitted_);
}

void TForm1::closeEvent(QCloseEvent* event) {
    SaveWindowSize();
    QMainWindow::closeEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (clientScroll_ && watched == clientScroll_->viewport() && event->type() == QEvent::Resize) PlaceComponents();
    return QMainWindow::eventFilter(watched, event);
}

QSize TForm1::DesignedClientSize() const {
    // The designed outer size less the frame and caption (once the window
    // manager has put them on) and the menu bar.
    const QSize frame = frameGeometry().size() - geometry().size();
    const int menu = menuBar() && menuBar()->isVisible() ? menuBar()->height() : 0;
    const QSize outer = ToLogical(outerSize_, ratio_);
    return {std::max(1, outer.width() - frame.width()), std::max(1, outer.height() - frame.height() - menu)};
}

void TForm1::PlaceComponents() {
    if (!clientScroll_) return;
    QSize designed = DesignedClientSize();
    const QSize shown = clientScroll_->viewport()->size();
    // A device pixel ratio that is no whole number rounds the frame and the
    // client area apart by a logical pixel or two: that much short of the
    // designed size is the designed size (the components keep a margin to
    // the window's edge), not a window to scroll.
    constexpr int kRounding = 2;
    if (shown.width() < designed.width() && shown.width() >= designed.width() - kRounding)
        designed.setWidth(shown.width());
    if (shown.height() < designed.height() && shown.height() >= designed.height() - kRounding)
        designed.setHeight(shown.height());
    const int extraX = std::max(0, shown.width() - designed.width());
    const int extraY = std::max(0, shown.height() - designed.height());
    client_->resize(designed.width() + extraX, designed.height() + extraY);
    auto share = [](int extra, double part) { return static_cast<int>(std::lround(extra * part)); };
    for (const TGrowth& g : growth_) {
        const QRect r(g.designed.x() + share(extraX, g.moveX), g.designed.y() + share(extraY, g.moveY),
                      g.designed.width() + share(extraX, g.growX), g.designed.height() + share(extraY, g.growY));
        if (g.widget->geometry() != r) g.widget->setGeometry(r);
    }
}

QString TForm1::SettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/quelmora/quelmora.conf");
}

void TForm1::RestoreWindowSize() {
    const QSettings settings(SettingsFile(), QSettings::IniFormat);
    const QSize kept = settings.value(kWindowSizeKey).toSize();
    const int keptScale = settings.value(kWindowScaleKey).toInt();
    if (kept.isValid() && keptScale > 0) {
        // Kept in device pixels at another density: as many text heights.
        const int measured = MeasuredTextHeight(this);
        const QSize device(MulDiv(kept.width(), measured, keptScale), MulDiv(kept.height(), measured, keptScale));
        resize(ToLogical(device, ratio_));
        // The window manager's frame goes around the kept size.
        outerSizeFitted_ = true;
    }
    if (settings.value(kWindowMaximizedKey).toBool()) setWindowState(windowState() | Qt::WindowMaximized);
}

void TForm1::SaveWindowSize() const {
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    const QSize normal = normalGeometry().isValid() ? normalGeometry().size() : size();
    settings.setValue(kWindowSizeKey, QSize(static_cast<int>(std::lround(normal.width() * ratio_)),
                                            static_cast<int>(std::lround(normal.height() * ratio_))));
    settings.setValue(kWindowScaleKey, MeasuredTextHeight(this));
    settings.setValue(kWindowMaximizedKey, isMaximized());
}

QString TForm1::LastFolder() const {
    const QString folder = QSettings(SettingsFile(), QSettings::IniFormat).value(kFolderKey).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void TForm1::RememberFolder(const QString& fileName) {
    QSettings(SettingsFile(), QSettings::IniFormat).setValue(kFolderKey, QFileInfo(fileName).absolutePath());
}

void TForm1::FormCreate() {
    Work.FormCreate();
    StringGrid1->SetGrid(&Work.StringGrid1);
    StringGrid2->SetGrid(&Work.StringGrid2);
}

std::string TForm1::ShowOpenDialog1() {
    if (!OpenDialog1) {
        OpenDialog1 = new QFileDialog(this);
        OpenDialog1->setNameFilter(QString::fromUtf8("文本文件 (*.txt)"));
        OpenDialog1->setFileMode(QFileDialog::AnyFile);
        OpenDialog1->setAcceptMode(QFileDialog::AcceptOpen);
        OpenDialog1->setOption(QFileDialog::DontConfirmOverwrite, true);
        OpenDialog1->setOption(QFileDialog::DontUseNativeDialog, true);
        OpenDialog1->setOption(QFileDialog::ReadOnly, false);
    }
    // The readers see the text file alone; the output may also be a workbook.
    const QString textFiles = QString::fromUtf8("文本文件 (*.txt)");
    const QString workbooks = QString::fromUtf8("Excel 工作簿 (*.xlsx)");
    const QString dataFiles = QString::fromUtf8("数据文件 (*.csv *.txt)");
    const QString allFiles = QString::fromUtf8("所有文件 (*)");
    // The import reads workbooks too (FILE.xlsx, or FILE.xlsx#SHEET typed).
    const QString sheets = QString::fromUtf8("Excel 工作簿 (*.xlsx *.xlsm)");
    OpenDialog1->setNameFilters(offerWorkbook_ ? QStringList{textFiles, workbooks}
                                : offerData_   ? QStringList{dataFiles, sheets, allFiles}
                                               : QStringList{textFiles});
    OpenDialog1->selectNameFilter(offerData_ ? dataFiles : textFiles);
    if (const QString folder = LastFolder(); !folder.isEmpty()) OpenDialog1->setDirectory(folder);
    // The dialog is kept between uses, and with it the name last chosen in its
    // name box; a name typed over that one and confirmed while the completion
    // list is open comes back joined to it. Each use starts with an empty box.
    if (auto* nameBox = OpenDialog1->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        nameBox->clear();
    const int result = OpenDialog1->exec();
    // A name typed and confirmed at once can leave the name box's completion
    // list open after the dialog has gone; it would swallow the next click.
    for (QCompleter* completer : OpenDialog1->findChildren<QCompleter*>())
        if (completer->popup() && completer->popup()->isVisible()) completer->popup()->hide();
    if (result != QDialog::Accepted) return {};
    const QStringList files = OpenDialog1->selectedFiles();
    if (files.isEmpty()) return {};
    RememberFolder(files.first());
    QString file = files.first();
    // The workbook type chosen and a name typed without its ending: the file
    // is a workbook all the same.
    if (offerWorkbook_ && OpenDialog1->selectedNameFilter() == workbooks &&
        !file.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive))
        file += QStringLiteral(".xlsx");
    return QFile::encodeName(file).toStdString();
}

std::string TForm1::ShowSaveDialog(const TSaveRequest& request) {
    QFileDialog dialog(this);
    dialog.setNameFilter(request.filter);
    dialog.setDefaultSuffix(request.suffix);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setOption(QFileDialog::DontUseNativeDialog, true);
    if (const QString folder = LastFolder(); !folder.isEmpty()) dialog.setDirectory(folder);
    const int result = dialog.exec();
    for (QCompleter* completer : dialog.findChildren<QCompleter*>())
        if (completer->popup() && completer->popup()->isVisible()) completer->popup()->hide();
    if (result != QDialog::Accepted) return {};
    const QStringList files = dialog.selectedFiles();
    if (files.isEmpty()) return {};
    RememberFolder(files.first());
    return QFile::encodeName(files.first()).toStdString();
}

void TForm1::CheckReadable(const std::string& name) {
    // A workbook's sheet (FILE.xlsx#SHEET) is its file's to open; whether the
    // sheet is there the reader says.
    const std::string fileName = workbook::SplitWorkbookName(name).file;
    // Opened once more by the read itself; a pipe or a device is left to it,
    // since opening one twice would take what the first open was sent.
    struct stat info {};
    if (::stat(fileName.c_str(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode)) return;
    LineFile file;
    file.OpenRead(fileName);
    file.Close();
}

void TForm1::BitBtn1Click() {
    // A cancelled dialog, or a file that cannot be opened, changes nothing:
    // the table is reset only once there is a file to fill it.
    const std::string fileName = ExecuteOpenDialog();
    if (fileName.empty()) return;
    CheckReadable(fileName);
    // The plain form, whatever an import read before; one curve from the start.
    Work.CurveFormat = {};
    ClearListedCurves();
    plainCurveFile_.clear();
    TRefreshOnExit refresh(StringGrid2, &Work);
    Work.ResetCurveTable();
    Work.ReadCurve(fileName);
    plainCurveFile_ = fileName;
}

void TForm1::BitBtn2Click() {
    const std::string fileName = ExecuteOpenDialog();
    if (fileName.empty()) return;
    CheckReadable(fileName);
    Work.FloodFormat = {};
    ReadFloodFile(fileName);
}

void TForm1::ReadFloodFile(const std::string& fileName) {
    TRefreshOnExit refresh(StringGrid1, &Work);
    TRefreshPageOnExit page(TabSheet4, Work);
    ImportNote->hide();
    passedOverFile_.clear();
    Work.ResetFloodTable();
    Work.ReadFlood(fileName);
    ShowPassedOver(fileName);
}

void TForm1::ShowPassedOver(std::string fileName) {
    passedOverFile_.clear();
    const std::size_t skipped = Work.FloodSkipped.Count();
    if (skipped == 0 && Work.FloodNotesLines == 0) return;
    QStringList said;
    if (skipped) {
        // What a repair brought back of them, since the last computation.
        const std::size_t left = Work.SkippedRecords().value_or(skipped);
        said << (left < skipped ? QString::fromUtf8("跳过 %1 条缺测记录（插值修复补回 %2 条）").arg(skipped).arg(skipped - left)
                                : QString::fromUtf8("跳过 %1 条缺测记录").arg(skipped));
    }
    if (Work.FloodNotesLines)
        said << QString::fromUtf8("文件末尾 %1 行说明已忽略（自第 %2 行）").arg(Work.FloodNotesLines).arg(Work.FloodNotesLine);
    const QString name = QFileInfo(QFile::decodeName(fileName.c_str())).fileName();
    ImportNote->setText(name + QStringLiteral("：") + said.join(QStringLiteral("；")));
    // The records themselves, as batch mode lists them.
    std::string detail = Work.FloodSkipped.Text(fileName);
    if (Work.FloodNotesLines) detail += NotesWarning(fileName, Work.FloodNotesLine, Work.FloodNotesLines);
    ImportNote->setToolTip(QString::fromUtf8(detail.data(), static_cast<qsizetype>(detail.size())).trimmed());
    ImportNote->show();
    ImportNote->raise();
    passedOverFile_ = std::move(fileName);
}

std::optional<TImportChoice> TForm1::ShowImportDialog(TFileKind kind, const std::string& fileName) {
    TImportDialog dialog(kind, QFile::decodeName(fileName.c_str()), SettingsFile(), this);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return TImportChoice{dialog.Options(), dialog.ValidFrom()};
}

// The file to import and the choices made for it; none when either dialog
// was cancelled.
std::optional<TForm1::TImport> TForm1::AskImport(TFileKind kind) {
    offerData_ = true;
    const TScopeExit offered([this] { offerData_ = false; });
    std::string fileName = ExecuteOpenDialog();
    offerData_ = false;
    if (fileName.empty()) return std::nullopt;
    std::optional<TImportChoice> choice = ExecuteImportDialog(kind, fileName);
    if (!choice) return std::nullopt;
    return TImport{std::move(fileName), std::move(*choice)};
}

void TForm1::ImportCurveClick() {
    if (const std::optional<TImport> import = AskImport(TFileKind::Curve)) ReadImportedCurve(import->file, import->choice);
}

void TForm1::ImportFloodClick() {
    const std::optional<TImport> import = AskImport(TFileKind::Flood);
    if (!import) return;
    CheckReadable(import->file);
    Work.FloodFormat = ReadRecordFormat(TFileKind::Flood, import->choice.options);
    ReadFloodFile(import->file);
}

void TForm1::ReadImportedCurve(const std::string& fileName, const TImportChoice& choice) {
    CheckReadable(fileName);
    const TRecordFormat format = ReadRecordFormat(TFileKind::Curve, choice.options);
    // A dated curve after a plain one: the plain one holds until its day.
    if (listedCurves_.empty() && choice.fromDay && !plainCurveFile_.empty() && !Work.CurvePoints.empty()) {
        TListedCurve plain{plainCurveFile_, std::nullopt, {}, Work.CurvePoints, Work.CurveAreas};
        for (std::size_t k = 0; k < Work.CurvePoints.size(); ++k) {
            const int row = static_cast<int>(k) + 2;
            plain.rows.emplace_back(Work.StringGrid2.Cell(0, row), Work.StringGrid2.Cell(1, row));
        }
        listedCurves_.push_back(std::move(plain));
    }
    plainCurveFile_.clear();
    Work.CurveFormat = format;
    {
        TRefreshOnExit refresh(StringGrid2, &Work);
        Work.ResetCurveTable();
        try {
            Work.ReadCurve(fileName);
        } catch (...) {
            // The curves read before stay as they were; only this one failed.
            if (!listedCurves_.empty()) {
                Work.FailedLine.reset();
                ApplyListedCurves(0);
            } else {
                Work.DatedCurves.clear();
                Work.CurvePointsFrom.reset();
            }
            throw;
        }
    }
    TListedCurve read{fileName, choice.fromDay, {}, Work.CurvePoints, Work.CurveAreas};
    for (std::size_t k = 0; k < Work.CurvePoints.size(); ++k) {
        const int row = static_cast<int>(k) + 2;
        read.rows.emplace_back(Work.StringGrid2.Cell(0, row), Work.StringGrid2.Cell(1, row));
    }
    // One curve per first day: the same day again replaces it.
    std::erase_if(listedCurves_, [&](const TListedCurve& c) { return c.fromDay == choice.fromDay; });
    listedCurves_.push_back(std::move(read));
    std::stable_sort(listedCurves_.begin(), listedCurves_.end(), [](const TListedCurve& a, const TListedCurve& b) {
        return a.fromDay.value_or(INT64_MIN) < b.fromDay.value_or(INT64_MIN);
    });
    const auto shown = std::find_if(listedCurves_.begin(), listedCurves_.end(),
                                    [&](const TListedCurve& c) { return c.fromDay == choice.fromDay; });
    ApplyListedCurves(static_cast<std::size_t>(shown - listedCurves_.begin()));
}

void TForm1::ApplyListedCurves(std::size_t shown) {
    const TListedCurve& first = listedCurves_.front();
    Work.CurvePoints = first.points;
    Work.CurveAreas = first.areas;
    Work.CurvePointsFile = first.file;
    Work.CurvePointsFrom = first.fromDay;
    Work.DatedCurves.clear();
    for (std::size_t k = 1; k < listedCurves_.size(); ++k)
        Work.DatedCurves.push_back(
            {listedCurves_[k].file, *listedCurves_[k].fromDay, listedCurves_[k].points, listedCurves_[k].areas});
    CurveList->clear();
    for (const TListedCurve& c : listedCurves_) {
        const QString name = QFileInfo(QFile::decodeName(c.file.c_str())).fileName();
        const QString from = c.fromDay ? QString::fromUtf8("自 ") + QString::fromStdString(DayText(*c.fromDay))
                                       : QString::fromUtf8("自起始");
        CurveList->addItem(from + QStringLiteral("  —  ") + name);
    }
    CurveList->setVisible(listedCurves_.size() > 1 || first.fromDay);
    ShowListedCurve(static_cast<int>(shown));
}

void TForm1::ShowListedCurve(int k) {
    if (k < 0 || static_cast<std::size_t>(k) >= listedCurves_.size()) return;
    const TListedCurve& c = listedCurves_[static_cast<std::size_t>(k)];
    TRefreshOnExit refresh(StringGrid2);
    Work.ResetCurveTable();
    const int rows = static_cast<int>(c.rows.size()) + 2;
    if (Work.StringGrid2.RowCount() < rows) Work.StringGrid2.SetRowCount(rows);
    for (std::size_t r = 0; r < c.rows.size(); ++r) {
        Work.StringGrid2.SetCell(0, static_cast<int>(r) + 2, c.rows[r].first);
        Work.StringGrid2.SetCell(1, static_cast<int>(r) + 2, c.rows[r].second);
    }
    CurvePlot1->ShowCurve(c.points);
    if (CurveList->currentIndex() != k) CurveList->setCurrentIndex(k);
}

void TForm1::ClearListedCurves() {
    listedCurves_.clear();
    Work.DatedCurves.clear();
    Work.CurvePointsFrom.reset();
    Work.CurvePointsFile.clear();
    CurveList->clear();
    CurveList->hide();
}

void TForm1::BitBtn3Click() {
    TRefreshOnExit refresh(StringGrid1, &Work);
    TRefreshPageOnExit page(TabSheet4, Work);
    TabSheet4->ApplyChoices(Work);
    TabSheet4->PrepareChecks(Work);
    Work.Compute();
    if (!passedOverFile_.empty()) ShowPassedOver(passedOverFile_);
}

void TForm1::BitBtn4Click() {
    offerWorkbook_ = true;
    const TScopeExit offered([this] { offerWorkbook_ = false; });
    const std::string fileName = ExecuteOpenDialog();
    if (fileName.empty()) return;
    if (workbook::IsWorkbookFileName(fileName)) {
        // The workbook of what the page shows: its correction and summary.
        const TCorrectionOptions correction = TabSheet4->AppliedCorrection();
        const TFloodRun run = TabSheet4->Run(Work);
        WriteResultWorkbook(fileName, {Work, run, correction.Any(), Work.FloodFormat.units,
                                       HydrographPng(Work, run, TabSheet4->Checks(Work, run))});
        return;
    }
    Work.WriteResult(fileName);
}

void TForm1::SaveSummaryClick() {
    const std::string fileName = ExecuteSaveDialog({QString::fromUtf8("CSV 文件 (*.csv)"), QStringLiteral("csv")});
    if (fileName.empty()) return;
    const TFloodRun run = TabSheet4->Run(Work);
    if (run.summaryError) std::rethrow_exception(run.summaryError);
    WriteSummaryText(*run.summary, fileName);
}

void TForm1::SaveCorrectedClick() {
    const std::string fileName = ExecuteSaveDialog({QString::fromUtf8("CSV 文件 (*.csv)"), QStringLiteral("csv")});
    if (fileName.empty()) return;
    const TFloodRun run = TabSheet4->Run(Work, false);
    WriteCorrectedText(Work.FloodSteps, Work.ComputedRecords, run.corrected, fileName);
}

void TForm1::OpenFiles(const std::string& curve, const std::string& flood, bool compute) {
    // As the buttons read them, each file in place of the dialog's answer.
    const auto dialog = std::move(ExecuteOpenDialog);
    const TScopeExit restore([&] { ExecuteOpenDialog = dialog; });
    for (const auto& [name, handler] : {std::pair{curve, &TForm1::BitBtn1Click}, std::pair{flood, &TForm1::BitBtn2Click}}) {
        if (name.empty()) continue;
        ExecuteOpenDialog = [name] { return name; };
        RunHandler(handler);
    }
    if (compute && !Work.FloodSteps.empty()) RunHandler(&TForm1::BitBtn3Click);
    if (!flood.empty()) PageControl1->setCurrentWidget(compute ? static_cast<QWidget*>(TabSheet4) : TabSheet2);
}

void TForm1::OpenFiles(const TWindowArguments& a) {
    if (a.curves.empty() && a.floodFormat.empty()) {
        OpenFiles(a.curve, a.flood, a.compute);
        return;
    }
    const auto open = std::move(ExecuteOpenDialog);
    const auto import = std::move(ExecuteImportDialog);
    const TScopeExit restore([&] {
        ExecuteOpenDialog = open;
        ExecuteImportDialog = import;
    });
    // Each file in place of the dialogs' answers, read as imported; a curve
    // that holds first is read first, as the others are dated after it.
    for (const TCurveArgument& c : a.curves) {
        ExecuteOpenDialog = [file = c.file] { return file; };
        ExecuteImportDialog = [&](TFileKind, const std::string&) { return TImportChoice{a.curveFormat, c.fromDay}; };
        RunHandler(&TForm1::ImportCurveClick);
    }
    if (a.curves.empty() && !a.curve.empty()) {
        ExecuteOpenDialog = [&] { return a.curve; };
        RunHandler(&TForm1::BitBtn1Click);
    }
    if (!a.flood.empty()) {
        ExecuteOpenDialog = [&] { return a.flood; };
        ExecuteImportDialog = [&](TFileKind, const std::string&) { return TImportChoice{a.floodFormat, std::nullopt}; };
        RunHandler(a.floodFormat.empty() ? &TForm1::BitBtn2Click : &TForm1::ImportFloodClick);
    }
    if (a.compute && !Work.FloodSteps.empty()) RunHandler(&TForm1::BitBtn3Click);
    if (!a.flood.empty()) PageControl1->setCurrentWidget(a.compute ? static_cast<QWidget*>(TabSheet4) : TabSheet2);
}

void TForm1::about1Click() {
    auto box = std::make_unique<TAboutForm>(this);
    box->exec();
}
