#pragma once
// The work behind the main window's actions, free of widgets: the window's
// handlers, the batch mode and the tests all run this code.

#include "InflowTypes.h"
#include "StringGrid.h"
#include "StringList.h"

#include <cstddef>
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

    // How many records, from the first, the last computation finished (the
    // records whose rows it wrote whole): every record after a computation
    // that succeeded, the failing record's index after one that stopped; 0
    // before any computation and after a flood record was (re)read or reset.
    std::size_t ComputedRecords = 0;

    // The chart's series that the curve reader fills (may be absent in batch mode).
    TChartSeries* Series1 = nullptr;
    // Chart1's immediate repaint, run after a curve was read (may be empty).
    std::function<void()> RepaintChart;

    // Headings, units and column widths of both tables.
    void FormCreate();

    // The first button: the table reset (before the file dialog), then the read.
    // A file that cannot be opened leaves the curve as it was; one that fails
    // while being read leaves no curve at all (CurvePoints and Series1 empty),
    // never part of the old one and part of the new.
    void ResetCurveTable();
    void ReadCurve(const std::string& fileName);
    // The second button; a failed read likewise leaves FloodSteps empty.
    void ResetFloodTable();
    void ReadFlood(const std::string& fileName);
    // The third button: rows 2 .. 1 + FloodSteps.size() of StringGrid1 (no
    // further than the table goes).
    void Compute();
    // The fourth button: the result file, replaced as a whole or not at all.
    void WriteResult(const std::string& fileName);

    static void DivideComma(std::string_view line, TStringList& list);
    // Storage for a level on CurvePoints; a level outside the curve, or a
    // curve of fewer than two points, raises an error naming the level and
    // the curve's range.
    double FromZGetV(double Z) const;
};
