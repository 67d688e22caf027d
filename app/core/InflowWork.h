#pragma once
// The work behind the main window's actions, free of widgets and of the
// chart: the window's handlers, the batch mode and the tests all run this
// code, in order, on the calling thread.

#include "BalanceOptions.h"
#include "InflowTypes.h"
#include "RecordFields.h"
#include "StringGrid.h"
#include "StringList.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class TCurveLookup;

// Where the curve is drawn: the window's chart series (the batch mode's
// picture has one too). The curve reader hands it the points it read.
class TCurvePlot {
public:
    virtual ~TCurvePlot() = default;
    // A curve that failed to read: nothing to show.
    virtual void ClearCurve() = 0;
    // The curve just read, in file order; shown at once.
    virtual void ShowCurve(const std::vector<TCurvePoint>& points) = 0;
};

class InflowWork : private TStringGrid::TCellSource {
public:
    InflowWork();
    // The calculation table's computed cells are made from FloodSteps.
    InflowWork(const InflowWork&) = delete;
    InflowWork& operator=(const InflowWork&) = delete;

    TStringGrid StringGrid1;   // inflow calculation table, 9 columns
    TStringGrid StringGrid2;   // level-storage curve table, 2 columns
    std::vector<TCurvePoint> CurvePoints;
    std::vector<TFloodStep> FloodSteps;
    // Each record's fields after the outflow, as read (the losses the
    // computation may be asked to take); replaced and emptied with FloodSteps.
    TRecordFieldTexts FloodFieldTexts;

    // The curve's plot; may be left out (batch mode without a picture).
    TCurvePlot* CurvePlot = nullptr;

    // How the next computation takes the balance's terms; the defaults give
    // the plain balance.
    TBalanceOptions Balance;

    // How many records, from the first, the last computation finished (the
    // records whose rows it wrote whole): every record after a computation
    // that succeeded, the failing record's index after one that stopped; 0
    // before any computation and after a flood record was (re)read or reset.
    std::size_t ComputedRecords = 0;

    // Headings, units and column widths of both tables.
    void FormCreate();

    // The first button: the table reset (before the file dialog), then the read.
    // A file that cannot be opened leaves the curve as it was; one that fails
    // while being read leaves no curve at all (CurvePoints and the plot
    // empty), never part of the old one and part of the new.
    void ResetCurveTable();
    void ReadCurve(const std::string& fileName);
    // The second button; a failed read likewise leaves FloodSteps empty.
    void ResetFloodTable();
    void ReadFlood(const std::string& fileName);
    // The third button: rows 2 .. 1 + FloodSteps.size() of StringGrid1 (no
    // further than the table goes). The computed columns of a row show the
    // texts of its FloodSteps values from then on.
    void Compute();
    // The fourth button: the result file, replaced as a whole or not at all.
    void WriteResult(const std::string& fileName);

    static void DivideComma(std::string_view line, TStringList& list);
    // Storage for a level on CurvePoints; a level outside the curve, or a
    // curve of fewer than two points, raises an error naming the level and
    // the curve's range.
    double FromZGetV(double Z) const;

private:
    void AppendDerivedCell(int row, int k, std::string& out) const override;
    void ComputeRow(int row, const TCurveLookup& curve);
    // The losses' part of the outflow term of the step ending at record e
    // (e >= 1); a field missing or not a number fails as an outflow does.
    long double LossTerm(std::size_t e) const;
};
