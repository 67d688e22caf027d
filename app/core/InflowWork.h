#pragma once
// The work behind the main window's actions, free of widgets: the window's
// handlers, the batch mode and the tests all run this code.

#include "InflowTypes.h"
#include "StringGrid.h"
#include "StringList.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TChartSeries;

class InflowWork {
public:
    InflowWork();

    TStringGrid StringGrid1;   // inflow calculation table, 9 columns
    TStringGrid StringGrid2;   // level-storage curve table, 2 columns
    std::vector<TCurvePoint> CurvePoints;
    std::vector<TFloodStep> FloodSteps;

    // The chart's series that the curve reader fills (may be absent in batch mode).
    TChartSeries* Series1 = nullptr;
    // Chart1's immediate repaint, run after a curve was read (may be empty).
    std::function<void()> RepaintChart;

    // Headings, units and column widths of both tables.
    void FormCreate();

    // The first button: the table reset (before the file dialog), then the read.
    void ResetCurveTable();
    void ReadCurve(const std::string& fileName);
    // The second button.
    void ResetFloodTable();
    void ReadFlood(const std::string& fileName);
    // The third button.
    void Compute();
    // The fourth button.
    void WriteResult(const std::string& fileName);

    static void DivideComma(std::string_view line, TStringList& list);
    double FromZGetV(double Z) const;
};
