#pragma once
// The page "入库洪水过程线": Chart2, the flood's hydrograph, above the flood
// summary, both showing what the calculation table holds. The room right of
// the summary is kept for the page's later settings.

#include <QWidget>

#include <memory>

class InflowWork;
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

    // Shows the records the calculation table holds (none while it holds
    // none: after a reset or a failed read), the inflow and the summary of
    // the rows the last computation finished, and repaints.
    void Refresh(const InflowWork& work);

    // The summary's column widths and row height for the window's scale (the
    // measured height of "0", 16 in the layout; device pixels per logical one).
    void FitColumns(int measured, double ratio);

private:
    std::unique_ptr<THydrographChart> FHydrograph;
};
