#pragma once
// The page "入库洪水过程线": Chart2, the flood's hydrograph, above the flood
// summary, both showing what the calculation table holds, and right of the
// summary the group "计算方法": how the next computation takes the balance's
// terms and which corrected inflow it adds.

#include "BalanceOptions.h"

#include <QWidget>

#include <memory>

class InflowWork;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;
class TChartWidget;
class THydrographChart;

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
    QSpinBox* SmoothBox = nullptr;          // 1 (不平滑), 3, 5, ...
    QCheckBox* RedistributeBox = nullptr;
    QLabel* MethodNote = nullptr;           // what the correction could not do

    // The choices as the group shows them; a loss field list that cannot be
    // read raises an error naming it.
    TBalanceOptions BalanceChoice() const;
    TCorrectionOptions CorrectionChoice() const;
    // Hands the group's choices to the next computation: the balance to the
    // work, the correction to this page's next Refresh.
    void ApplyChoices(InflowWork& work);

    // Shows the records the calculation table holds (none while it holds
    // none: after a reset or a failed read), the inflow and the summary of
    // the rows the last computation finished, and repaints.
    void Refresh(const InflowWork& work);

    // The summary's column widths and row height for the window's scale (the
    // measured height of "0", 16 in the layout; device pixels per logical one).
    void FitColumns(int measured, double ratio);

private:
    void CreateMethodGroup();

    std::unique_ptr<THydrographChart> FHydrograph;
    TCorrectionOptions FCorrection;   // applied by the last computation
};
