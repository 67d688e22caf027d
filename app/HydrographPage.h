#pragma once
// The page "入库洪水过程线": Chart2, the flood's hydrograph, above the flood
// summary, both showing what the calculation table holds, and right of the
// summary the group "计算方法": how the next computation takes the balance's
// terms and which corrected inflow it adds.

#include "BalanceOptions.h"

#include <QSpinBox>
#include <QWidget>

#include <functional>
#include <memory>

class InflowWork;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
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
    QTableWidget* SummaryGrid = nullptr;
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
    void CreateMethodGroup();
    // Widens the summary's columns to their texts; the last takes the rest.
    void FitSummaryColumns();

    int measured_ = 16;
    double ratio_ = 1.0;

    std::unique_ptr<THydrographChart> FHydrograph;
    TCorrectionOptions FCorrection;   // applied by the last computation
};
