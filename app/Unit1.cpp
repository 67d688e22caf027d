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

#include <QAbstractItemView>
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
#include <cstdint>
#include <exception>

namespace {

// Stored window size and place, frame and caption included, in pixels of the
// layout.
constexpr QRect kStoredWindow(306, 152, 1110, 612);

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
    chart->Chart().LoadLayout(Form1Chart1Layout());
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
    TabSheet4->FitColumns(MeasuredTextHeight(this), screen.DevicePixelRatio);
    PageControl1->setCurrentIndex(0);
    ratio_ = screen.DevicePixelRatio;
    outerSize_ = ScaledOuterSize(this, kStoredWindow.size());
    move(ToLogical(kStoredWindow.topLeft(), ratio_));
    SetOuterSize(this, outerSize_, ratio_);

    // The form owns Series1 and frees it before its children: a series that
    // goes first leaves its chart, so the chart never frees it again.
    Series1->SetParentChart(&Chart1->Chart());
    CurvePlot1 = std::make_unique<TSeriesCurvePlot>(*Series1, [this] { Chart1->repaint(); });
    Work.CurvePlot = CurvePlot1.get();
    ExecuteOpenDialog = [this] { return ShowOpenDialog1(); };
    for (TChartWidget* chart : {Chart1, Chart2})
        InstallChartMenu(chart, [this] { return ExecuteOpenDialog(); });
    for (QTableView* table : {static_cast<QTableView*>(StringGrid1), static_cast<QTableView*>(StringGrid2),
                              static_cast<QTableView*>(TabSheet4->SummaryGrid)})
        InstallCopyShortcut(table);

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
}

void TForm1::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    FitOuterSizeOnce(this, outerSize_, ratio_, outerSizeFitted_);
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
    return QFile::encodeName(files.first()).toStdString();
}

void TForm1::BitBtn1Click() {
    TRefreshOnExit refresh(StringGrid2, &Work);
    Work.ResetCurveTable();
    const std::string fileName = ExecuteOpenDialog();
    if (fileName.empty()) return;
    Work.ReadCurve(fileName);
}

void TForm1::BitBtn2Click() {
    TRefreshOnExit refresh(StringGrid1, &Work);
    TRefreshPageOnExit page(TabSheet4, Work);
    Work.ResetFloodTable();
    const std::string fileName = ExecuteOpenDialog();
    if (fileName.empty()) return;
    Work.ReadFlood(fileName);
}

void TForm1::BitBtn3Click() {
    TRefreshOnExit refresh(StringGrid1, &Work);
    TRefreshPageOnExit page(TabSheet4, Work);
    TabSheet4->ApplyChoices(Work);
    Work.Compute();
}

void TForm1::BitBtn4Click() {
    const std::string fileName = ExecuteOpenDialog();
    if (fileName.empty()) return;
    Work.WriteResult(fileName);
}

void TForm1::about1Click() {
    auto box = std::make_unique<TAboutForm>(this);
    box->exec();
}
