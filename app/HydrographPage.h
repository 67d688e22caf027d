#pragma once
// The page "入库洪水过程线": Chart2, the flood's hydrograph, above the flood
// summary, both showing what the calculation table holds, and right of the
// summary the group "计算方法": how the next computation takes the balance's
// terms and which corrected inflow it adds.

#include "BalanceOptions.h"
#include "FloodPeriods.h"
#include "FloodRun.h"
#include "HydrographChart.h"
#include "InflowScreening.h"
#include "ReferenceSeries.h"

#include <QSpinBox>
#include <QWidget>

#include <span>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class InflowWork;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableWidget;
class TChartWidget;
class THydrographChart;

// The smoothing window: 1 ("不平滑") or an odd number of steps, 3 or more,
// as the batch mode's --smooth takes it; an even number is never taken (the
// box steps by 2, and a typed one goes back to the last value).
class TSmoothBox : public QSpinBox {
public:
    using QSpinBox::QSpinBox;

protected:
    QValidator::State validate(QString& input, int& pos) const override;
};

class THydrographPage : public QWidget {
public:
    explicit THydrographPage(QWidget* parent = nullptr);
    ~THydrographPage() override;

    TChartWidget* Chart2 = nullptr;
    // Below the chart, one page each: the summary "洪水特征", the table by
    // period "分期统计" (shown when the record spans more than a year; a
    // click on a row zooms the chart to the period), and the checks
    // "筛查与检验" that do not fit into the method group.
    QTabWidget* SummaryPages = nullptr;
    QTableWidget* SummaryGrid = nullptr;
    QTableWidget* PeriodGrid = nullptr;
    QWidget* CheckGroup = nullptr;
    THydrographChart& Hydrograph() { return *FHydrograph; }

    // The group "计算方法" and its choices; every default is the plain
    // balance without a corrected inflow.
    QGroupBox* MethodGroup = nullptr;
    QComboBox* OutflowBox = nullptr;        // 时段平均 / 时段末
    QDoubleSpinBox* BankStorageBox = nullptr;
    QLineEdit* LossFieldsEdit = nullptr;    // "4,5": fields of the flood record
    TSmoothBox* SmoothBox = nullptr;        // 1 (不平滑), 3, 5, ...
    QCheckBox* RedistributeBox = nullptr;
    QLabel* MethodNote = nullptr;           // what the correction could not do

    // The checks; every default checks nothing and draws nothing.
    QDoubleSpinBox* SpikeBox = nullptr;           // m; 0: no screening
    QCheckBox* RepairBox = nullptr;               // flagged levels interpolated
    QDoubleSpinBox* SmoothToleranceBox = nullptr; // mm; 0: none
    QDoubleSpinBox* GaugeBox = nullptr;           // m; 0: no band
    QComboBox* ScaleBox = nullptr;                // 不分期 / 年 / 水文年 / 月
    QSpinBox* WaterYearBox = nullptr;             // the month a water year begins with
    QComboBox* PeriodBox = nullptr;               // the table's periods: 水文年 / 年 / 月
    QLineEdit* CompareEdit = nullptr;             // a reference inflow file; empty: none
    QLineEdit* CompareColumnsEdit = nullptr;      // "time=COL,value=COL"; empty: time,value
    QPushButton* CompareButton = nullptr;
    // Asks for the reference's file name (the window's file dialog); empty
    // when cancelled.
    std::function<std::string()> OnChooseCompareFile;

    // Before a computation: flags the levels as read that depart from their
    // neighbours' median (and interpolates them when asked: the record, its
    // table and its result file then hold the interpolated levels, as batch
    // mode's do) and reads the reference. Raises the readers' errors, naming
    // the file.
    void PrepareChecks(InflowWork& work);
    // One per record of the last computation, none without screening.
    const std::vector<TRecordFlag>& Flags() const { return FFlags; }
    // The period table's rule, and the chart zoomed to a row's period.
    TPeriodRule PeriodRule() const;
    void ZoomToPeriod(int row);

    // The choices as the group shows them; a loss field list that cannot be
    // read raises an error naming it.
    TBalanceOptions BalanceChoice() const;
    TCorrectionOptions CorrectionChoice() const;
    // Hands the group's choices to the next computation: the balance to the
    // work, the correction to this page's next Refresh.
    void ApplyChoices(InflowWork& work);
    // Shows these choices in the group (as given at start).
    void SetChoices(const TBalanceOptions& balance, const TCorrectionOptions& correction);
    // The correction the last computation applied.
    const TCorrectionOptions& AppliedCorrection() const { return FCorrection; }
    // The run of what the page shows (the computed records, the applied
    // correction, the checks' inputs), for what the window saves; raises
    // the held smoother's and the noise estimate's errors.
    TFloodRun Run(const InflowWork& work, bool withSummary = true) const;
    // What the hydrograph draws of the checks for that run.
    THydrographChecks Checks(const InflowWork& work, const TFloodRun& run) const;

    // Shows the records the calculation table holds (none while it holds
    // none: after a reset or a failed read), the inflow and the summary of
    // the rows the last computation finished, and repaints.
    void Refresh(const InflowWork& work);

    // The summary's column widths and row height for the window's scale (the
    // measured height of "0", 16 in the layout; device pixels per logical one).
    void FitColumns(int measured, double ratio);

    // Called when a choice of the group changes (a box left after typing, for
    // the loss fields); the window recomputes when a result is shown.
    std::function<void()> OnChoicesChanged;

    // The flows' decimals in the summary: the outflow texts' (at most 1).
    static int FlowDecimals(const InflowWork& work);
    // value with at most decimals decimals, rounded to nearest, no trailing
    // zeros, '.' as every number in the window.
    static QString RoundedText(double value, int decimals);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TFloodRun RunWith(const InflowWork& work, const TCorrectionOptions& correction, bool withSummary) const;
    void CreateMethodGroup();
    void CreateCheckGroup();
    void FillPeriods(const InflowWork& work, std::span<const TFloodStep> steps, std::size_t computed,
                     std::span<const double> corrected, bool withCorrected);
    // Widens the summary's columns to their texts; the last takes the rest.
    void FitSummaryColumns();

    int measured_ = 16;
    double ratio_ = 1.0;

    std::unique_ptr<THydrographChart> FHydrograph;
    TCorrectionOptions FCorrection;   // applied by the last computation
    // The checks of the last computation.
    double FGauge = 0.0;
    std::vector<TRecordFlag> FFlags;
    bool FWithReference = false;
    TReferenceSeries FReference;
    std::vector<TPeriodSummary> FPeriods;
    TPeriodRule FPeriodRule;
};
