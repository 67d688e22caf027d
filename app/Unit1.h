#pragma once
// The main window: the curve and calculation tables, the chart of the curve,
// the help text, the picture, the four action buttons and the menu item
// "about". The work behind the buttons is InflowWork's; the window shows the
// file dialogs and refreshes its views.

#include "ChartWidget.h"
#include "InflowWork.h"
#include "RecordFormat.h"
#include "ViewExports.h"
#include "ui_Unit1.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QComboBox;
class QFileDialog;
class QLabel;
class QScrollArea;
class THydrographPage;
class TLineSeries;
class TSeriesCurvePlot;
struct TWindowArguments;

// How the import dialog says a file is to be read: the layout options, and
// for a curve the first day it holds (none: from the start).
struct TImportChoice {
    TOptionPairs options;
    std::optional<std::int64_t> fromDay;
};

class TForm1 : public QMainWindow, public Ui::TForm1Layout {
    Q_OBJECT

public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // The tables, the arrays and the actions' work.
    InflowWork Work;
    // The chart's only series; the curve reader fills it through CurvePlot1.
    std::unique_ptr<TLineSeries> Series1;
    std::unique_ptr<TSeriesCurvePlot> CurvePlot1;
    // The chart of the curve (created by CreateChart1).
    TChartWidget* Chart1 = nullptr;
    // The curves read through the import dialog, each with its first day,
    // above the chart; shown only while there is more than one curve or a
    // dated one. Choosing one shows it in the table and the chart.
    QComboBox* CurveList = nullptr;
    // What the last imported record's reading passed over (records skipped
    // as gaps, notes at its end), over the foot of the picture; hidden
    // when nothing was passed over.
    QLabel* ImportNote = nullptr;

    // The page "入库洪水过程线" and its chart Chart2.
    THydrographPage* TabSheet4 = nullptr;
    TChartWidget* Chart2 = nullptr;

    // Shows the file dialog; returns the chosen file name, or an empty text
    // when the user cancels. Tests put their own dialog here.
    std::function<std::string()> ExecuteOpenDialog;
    // The save dialog for a file type (asks before replacing a file, adds
    // the type's extension); empty when cancelled. Tests replace it.
    std::function<std::string(const TSaveRequest&)> ExecuteSaveDialog;
    // The picture size dialog of the chart menu; none when cancelled.
    std::function<std::optional<QSize>(QSize shown)> ExecuteSizeDialog;
    // The import dialog for a chosen file; none when cancelled. Tests put
    // their own here.
    std::function<std::optional<TImportChoice>(TFileKind, const std::string& fileName)> ExecuteImportDialog;

    // The handlers. Clicks and the menu item run them as events through the
    // application object (a TApplication), whose error display shows what
    // they throw.
    void FormCreate();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void about1Click();
    // 导入… of each button's menu: the file dialog, then the import dialog;
    // the file is read as its options say (the plain buttons read the plain
    // form). Imported curves with their days are kept together; the
    // computation takes each step's curve by its day.
    void ImportCurveClick();
    void ImportFloodClick();
    struct TImport {
        std::string file;
        TImportChoice choice;
    };
    std::optional<TImport> AskImport(TFileKind kind);
    // Shows curve k of CurveList in the table and the chart.
    void ShowListedCurve(int k);
    // The summary and the corrected inflow as --summary and --corrected
    // write them (the computation's records, the group's correction).
    void SaveSummaryClick();
    void SaveCorrectedClick();

    // The one file dialog of reading and output: filter "文本文件 (*.txt)",
    // any file name accepted, no overwrite prompt. It opens in the folder
    // last used.
    std::string ShowOpenDialog1();
    std::string ShowSaveDialog(const TSaveRequest& request);

    // Files given at start (empty: none): read as the buttons read them, the
    // errors shown as theirs; computed when compute is set.
    void OpenFiles(const std::string& curve, const std::string& flood, bool compute);
    // The same with layout options and dated curves: files the options
    // describe are read as the import dialog would read them.
    void OpenFiles(const TWindowArguments& arguments);

    // The size the layout was made for, of the area below the menu (logical
    // pixels): larger, the tables and charts grow; smaller, it scrolls.
    QSize DesignedClientSize() const;
    QScrollArea* ClientScroll() const { return clientScroll_; }

    // Where the window keeps its size and the last folder between runs.
    static QString SettingsFile();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    using Handler = void (TForm1::*)();
    void RunHandler(Handler handler);
    // The one place that decides what Chart1 is.
    static TChartWidget* CreateChart1(QWidget* parent);
    // A dialog's chosen file's folder is where the next dialog opens.
    void RememberFolder(const QString& fileName);
    QString LastFolder() const;
    // Fails as the read would when the file cannot be opened, before the
    // table is touched; nothing to do for a pipe or a device.
    static void CheckReadable(const std::string& fileName);
    // Places the components for the client area's size: each keeps its
    // designed place and size, plus its share of what the area has beyond
    // the designed size.
    void PlaceComponents();
    void RestoreWindowSize();
    void SaveWindowSize() const;

    std::optional<TImportChoice> ShowImportDialog(TFileKind kind, const std::string& fileName);
    void ReadFloodFile(const std::string& fileName);
    void ReadImportedCurve(const std::string& fileName, const TImportChoice& choice);
    // The work's curves from listedCurves_ (the first by day as CurvePoints,
    // the others dated), the list box refreshed, curve `shown` in view.
    void ApplyListedCurves(std::size_t shown);
    void ClearListedCurves();
    // The note beside the picture: what the flood file's read passed over
    // (and what a repair brought back of it); hidden when nothing was.
    void ShowPassedOver(std::string fileName);   // a copy: it may be given passedOverFile_
    std::string passedOverFile_;   // the file the note tells of; empty: no note

    QFileDialog* OpenDialog1 = nullptr;
    // While an import asks for its file: the agencies' files end in .csv.
    bool offerData_ = false;
    // The curves read through the import dialog, as read: the table's texts
    // (rows from 2) and the points. Empty after a plain read.
    struct TListedCurve {
        std::string file;
        std::optional<std::int64_t> fromDay;
        std::vector<std::pair<std::string, std::string>> rows;
        std::vector<TCurvePoint> points;
        std::vector<double> areas;   // the lake's area at each point, when the curve's columns name it
    };
    std::vector<TListedCurve> listedCurves_;
    // The curve file of the last plain read that succeeded: the curve from
    // the start when a dated one is imported after it.
    std::string plainCurveFile_;
    // While the fourth button asks for its file: the dialog offers a workbook
    // as a second file type beside the text file.
    bool offerWorkbook_ = false;
    // The window's outer size in device pixels, and device pixels per
    // logical pixel of the screen it was fitted to.
    QSize outerSize_;
    double ratio_ = 1.0;
    bool outerSizeFitted_ = false;

    // The client area scrolls when smaller than designed.
    QScrollArea* clientScroll_ = nullptr;
    QWidget* client_ = nullptr;
    struct TGrowth {
        QWidget* widget;
        QRect designed;   // logical pixels
        // Shares of the extra width and height: moving, growing.
        double moveX, moveY, growX, growY;
    };
    std::vector<TGrowth> growth_;
};
