#pragma once
// The main window: the curve and calculation tables, the chart of the curve,
// the help text, the picture, the four action buttons and the menu item
// "about". The work behind the buttons is InflowWork's; the window shows the
// file dialog and refreshes its views.

#include "ChartWidget.h"
#include "InflowWork.h"
#include "ui_Unit1.h"

#include <QMainWindow>

#include <functional>
#include <memory>
#include <string>

class QFileDialog;
class THydrographPage;
class TLineSeries;
class TSeriesCurvePlot;

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

    // The page "入库洪水过程线" and its chart Chart2.
    THydrographPage* TabSheet4 = nullptr;
    TChartWidget* Chart2 = nullptr;

    // Shows the file dialog; returns the chosen file name, or an empty text
    // when the user cancels. Tests put their own dialog here.
    std::function<std::string()> ExecuteOpenDialog;

    // The handlers. Clicks and the menu item run them as events through the
    // application object (a TApplication), whose error display shows what
    // they throw.
    void FormCreate();
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void BitBtn4Click();
    void about1Click();

    // The one file dialog: filter "文本文件 (*.txt)", any file name accepted,
    // no overwrite prompt; the same for reading and for output.
    std::string ShowOpenDialog1();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void moveEvent(QMoveEvent* event) override;

private:
    using Handler = void (TForm1::*)();
    void RunHandler(Handler handler);
    // The one place that decides what Chart1 is.
    static TChartWidget* CreateChart1(QWidget* parent);

    QFileDialog* OpenDialog1 = nullptr;
    // The window's outer size in device pixels, and device pixels per
    // logical pixel of the screen it was fitted to.
    QSize outerSize_;
    double ratio_ = 1.0;
    bool outerSizeFitted_ = false;
};
