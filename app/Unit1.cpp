#include "Unit1.h"

#include "AboutUnit2.h"
#include "FormLayout.h"
#include "HydrographPage.h"
#include "ImageBox.h"
#include "Chart.h"
#include "ChartWidget.h"
#include "CurveChart.h"
#include "Series.h"
#include "ViewExports.h"

#include "Arithmetic.h"
#include "FloodSummary.h"
#include "ScopeExit.h"
#include "FloodRun.h"
#include "LineFile.h"
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
#include <QCompleter>
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
            view_->ShowRow(static_cast<int>(std::min<std::int64_t>(work_->FailedLine->line, INT_MAX)));
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
                       static_cast<QWidget*>(BitBtn4), static_cast<QWidget*>(Image1)})
        grows(w, 1, 0, 0, 0);
    grows(StringGrid2, 0, 0, 0, 1);
    grows(Chart1, 0, 0, 1, 1);
    grows(StringGrid1, 0, 0, 1, 1);
    grows(Memo1, 0, 0, 1, 1);
    // The hydrograph takes two thirds of the extra height, the summary the rest.
    grows(Chart2, 0, 0, 1, 2.0 / 3);
    grows(TabSheet4->SummaryGrid, 0, 2.0 / 3, 1, 1.0 / 3);
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

    connect(BitBtn1, &QPushButton::clicked, this, [this] { RunHandler(&TForm1::BitBtn1Click); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { RunHandler(&TForm1::BitBtn2Click); });
    connect(BitBtn3, &QPushButton::clicked, this, [this] { RunHandler(&TForm1::BitBtn3Click); });
    connect(BitBtn4, &QPushButton::clicked, this, [this] { RunHandler(&TForm1::BitBtn4Click); });
    connect(about1, &QAction::triggered, this, [this] { RunHandler(&TForm1::about1Click); });

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
    OpenDialog1->setNameFilters(offerWorkbook_ ? QStringList{textFiles, workbooks} : QStringList{textFiles});
    OpenDialog1->selectNameFilter(textFiles);
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

void TForm1::CheckReadable(const std::string& fileName) {
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
    TRefreshOnExit refresh(StringGrid2, &Work);
    Work.ResetCurveTable();
    Work.ReadCurve(fileName);
}

void TForm1::BitBtn2Click() {
    const std::string fileName = ExecuteOpenDialog();
    if (fileName.empty()) return;
    CheckReadable(fileName);
    TRefreshOnExit refresh(StringGrid1, &Work);
    TRefreshPageOnExit page(TabSheet4, Work);
    Work.ResetFloodTable();
    Work.ReadFlood(fileName);
}

void TForm1::BitBtn3Click() {
    TRefreshOnExit refresh(StringGrid1, &Work);
    TRefreshPageOnExit page(TabSheet4, Work);
    TabSheet4->ApplyChoices(Work);
    Work.Compute();
}

void TForm1::BitBtn4Click() {
    offerWorkbook_ = true;
    const TScopeExit offered([this] { offerWorkbook_ = false; });
    const std::string fileName = ExecuteOpenDialog();
    if (fileName.empty()) return;
    if (workbook::IsWorkbookFileName(fileName)) {
        // The workbook of what the page shows: its correction and summary.
        const TCorrectionOptions correction = TabSheet4->AppliedCorrection();
        const TFloodRun run = RunFlood(Work.FloodSteps, Work.ComputedRecords, correction);
        WriteResultWorkbook(fileName, {Work, run, correction.Any(), Work.FloodFormat.units, HydrographPng(Work, run)});
        return;
    }
    Work.WriteResult(fileName);
}

void TForm1::SaveSummaryClick() {
    const std::string fileName = ExecuteSaveDialog({QString::fromUtf8("CSV 文件 (*.csv)"), QStringLiteral("csv")});
    if (fileName.empty()) return;
    const TFloodRun run = RunFlood(Work.FloodSteps, Work.ComputedRecords, TabSheet4->AppliedCorrection());
    if (run.summaryError) std::rethrow_exception(run.summaryError);
    WriteSummaryText(*run.summary, fileName);
}

void TForm1::SaveCorrectedClick() {
    const std::string fileName = ExecuteSaveDialog({QString::fromUtf8("CSV 文件 (*.csv)"), QStringLiteral("csv")});
    if (fileName.empty()) return;
    const TFloodRun run = RunFlood(Work.FloodSteps, Work.ComputedRecords, TabSheet4->AppliedCorrection(), false);
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

void TForm1::about1Click() {
    auto box = std::make_unique<TAboutForm>(this);
    box->exec();
}
