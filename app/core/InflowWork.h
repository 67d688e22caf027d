#pragma once
// The work behind the main window's actions, free of widgets and of the
// chart: the window's handlers, the batch mode and the tests all run this
// code, in order, on the calling thread.

#include "BalanceOptions.h"
#include "FloodRun.h"
#include "InflowTypes.h"
#include "LineFile.h"
#include "Plausibility.h"
#include "RecordFormat.h"
#include "RecordFields.h"
#include "StringGrid.h"
#include "StringList.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
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

// The line of a file that an action failed on, and the table's row that
// shows it. Data row r of a table holds line r of its file (line 1 is the
// heading) until a line is passed over (a gap skipped, a sheet's title
// rows): from there the row is its own.
struct TFailedLine {
    // As given to the reader; empty when the rows come from no file (the
    // computation after a flood table was reset but not read again).
    std::string file;
    std::int64_t line = 0;
    // The file as it was read: a changed file has no text for the line.
    std::optional<TFileVersion> version;
    // The row showing the line (or, for a line the table does not show, the
    // row after it); 0: the row is the line's number.
    std::int64_t row = 0;
    std::int64_t Row() const { return row ? row : line; }
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
    // The lake's area at each curve point, m^2, when the curve's columns name
    // one (--curve-columns ...,area=COL); empty otherwise.
    std::vector<double> CurveAreas;
    std::vector<TFloodStep> FloodSteps;
    // Each record's fields after the outflow, as read (the losses the
    // computation may be asked to take); replaced and emptied with FloodSteps.
    TRecordFieldTexts FloodFieldTexts;
    // The most decimals an outflow of the record was written with (0 before
    // a record is read): the precision its flows are shown to.
    int FloodOutflowDecimals = 0;

    // What the last flood read passed over: the records skipped as gaps
    // (--missing skip), and the block of notes at the file's end (its first
    // line and how many lines; 0 for none).
    TSkippedRecords FloodSkipped;
    std::int64_t FloodNotesLine = 0;
    std::size_t FloodNotesLines = 0;
    // Those as the warnings every front end gives, one per line ("FILE:LINE:
    // skipped: ...", then the notes); empty when nothing was passed over.
    std::vector<std::string> PassedOver(std::string_view file) const;
    // Each record the last ReadFlood skipped as a gap, with what it could
    // read: its time always (a time that cannot be read fails the line), its
    // level and outflow where they were there. A repair may bring it back.
    struct TSkippedRecord {
        std::int64_t line = 0;
        std::size_t before = 0;   // the records of FloodSteps before it: its place among them
        TFloodStep step;
        bool levelRead = false, outflowRead = false;
        bool lossGap = false;     // a mapped loss was missing
        std::string losses;       // its fields after the outflow, as FloodFieldTexts keeps them
        std::string shown;        // its row's texts in the calculation table, when the tables are filled
    };
    std::vector<TSkippedRecord> FloodGaps;
    // What RestoreSkipped put back: the record's index in FloodSteps and
    // which of its values it had.
    struct TRestored {
        std::size_t record = 0;
        bool levelRead = false, outflowRead = false;
    };
    // Puts the skipped records that lie between two records read, and miss no
    // loss, back into FloodSteps at their places (with FloodFieldTexts and the
    // record lines), in record order; the others stay in FloodGaps. Their
    // missing level or outflow is left for the caller to fill in before any
    // computation. A record before the first read or after the last has no
    // neighbour on one side to interpolate from; a missing loss has no value
    // the computation could take. The calculation table, when it shows the
    // record, gets their rows in their places. Records put back before are
    // taken out first: the same records come back in the same places.
    std::vector<TRestored> RestoreSkipped();
    // The record as its read left it: the records RestoreSkipped put back go
    // back to FloodGaps (and their rows out of the table), and the levels and
    // outflows a repair replaced are the ones read again. A front end that
    // lets the repair be chosen again and again starts every run from here.
    void UndoRepair();
    // Whether record `record` is one RestoreSkipped put back.
    bool RecordRestored(std::size_t record) const {
        return std::binary_search(restoredRecords_.begin(), restoredRecords_.end(), record);
    }

    // Whether the readers and the computation fill the tables; batch mode,
    // which never shows them, leaves them empty (the records are the same).
    bool ShowTables = true;
    // Whether the calculation table shows FloodSteps: after a flood record
    // was read whole, until the table's reset or the next read.
    bool FloodShown() const { return floodShown_; }

    // More curves for one record, each valid from a day (days since
    // 1899-12-30) until the next: agencies replace their table after a
    // resurvey. CurvePoints holds before the first of them: from the start,
    // or from CurvePointsFrom when it has a date too. A step takes both its
    // storages from the curve valid at its end. Empty: CurvePoints alone.
    struct TDatedCurve {
        std::string file;
        std::int64_t fromDay = 0;
        std::vector<TCurvePoint> points;
        std::vector<double> areas = {};   // as CurveAreas
    };
    std::vector<TDatedCurve> DatedCurves;
    std::optional<std::int64_t> CurvePointsFrom;
    std::string CurvePointsFile;   // for messages about the curves' days
    // The curves in time, for a computation after the balance: CurvePoints
    // first, then DatedCurves in order, each with its areas; and each
    // record's curve among them (the one its storage was taken on: valid on
    // its day). Empty lists without DatedCurves. Raises as the computation
    // does for a record no curve holds for.
    std::vector<TCurveAt> CurvesInTime() const;
    std::vector<std::size_t> RecordCurves() const;
    // A run's inputs as the record gives them, the same for every front end:
    // its curve and areas, each record's curve in time, the balance's storage
    // factor and the records skipped. `held` keeps the lists the inputs point
    // into and must outlive the run.
    struct TRunHeld {
        std::vector<TCurveAt> curves;
        std::vector<std::size_t> curveOf;
    };
    TRunInputs RunInputs(TRunHeld& held) const;

    // How the next ReadCurve and ReadFlood read their files: which fields
    // hold what, in which units, how stamps are written, what a gap is. The
    // defaults are the plain form (level,storage; time,level,outflow; m,
    // 10^8 m^3, m^3/s; the locale's stamps).
    TRecordFormat CurveFormat;
    TRecordFormat FloodFormat;

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

    // Where the last ReadCurve, ReadFlood or Compute failed, when the failure
    // belongs to a line: the curve file's or the flood file's line that could
    // not be read, or the flood file's line of the record whose computation
    // failed. None after a failure of the file as a whole (it cannot be
    // opened or read) or of the curve as a whole (fewer than two points), and
    // after a success. Cleared when each of the three starts.
    std::optional<TFailedLine> FailedLine;

    // Whether the file of the last ReadCurve or ReadFlood held a CR but no
    // LF: its lines end with CR alone, which the reader does not take as line
    // ends, so the whole file was one line (the heading).
    bool LastReadCrAlone = false;

    // Headings, units and column widths of both tables.
    void FormCreate();

    // The first button: the table reset (before the file dialog), then the read.
    // A file that cannot be opened leaves the curve as it was; one that fails
    // while being read leaves no curve at all (CurvePoints and the plot
    // empty), never part of the old one and part of the new. A file that
    // holds NUL bytes (UTF-16 text, say) is no text and fails as a whole.
    void ResetCurveTable();
    void ReadCurve(const std::string& fileName);
    // The second button; a failed read likewise leaves FloodSteps empty.
    void ResetFloodTable();
    void ReadFlood(const std::string& fileName);
    // A record given as values rather than read (a script's arrays): it takes
    // the flood record's place as a read that succeeded does, the fields
    // after each outflow as their texts (see TRecordFieldTexts). Its records
    // belong to no file: a failure of their computation names none, only the
    // line their index stands for (record k as line k + 2).
    void SetFlood(std::vector<TFloodStep> steps, TRecordFieldTexts fieldTexts);
    // A level mended by a repair (a spike interpolated between its good
    // neighbours): the record computes with it, the table and the result
    // file show it, and the level as read is kept to be put back. Reading or
    // setting a record forgets them.
    void ReplaceLevel(std::size_t record, double level);
    bool LevelReplaced(std::size_t record) const;
    // Likewise an outflow a skipped record lacked, interpolated in time.
    void ReplaceOutflow(std::size_t record, double outflow);
    bool OutflowReplaced(std::size_t record) const;
    // The levels and outflows as read again, in place of the replaced ones.
    void RestoreReadValues();
    // The third button: rows 2 .. 1 + FloodSteps.size() of StringGrid1 (no
    // further than the table goes). The computed columns of a row show the
    // texts of its FloodSteps values from then on.
    void Compute();
    // The fourth button: the result file, replaced as a whole or not at all.
    void WriteResult(const std::string& fileName);
    // The result file's text into a channel open for writing (left open).
    void WriteResult(LineFile& file);
    // How many records, from the first, the result file holds.
    std::size_t ResultRecords() const;
    // The result file's heading (line 0) and unit (line 1) texts of a column
    // (0 to 8), as its two heading lines write them.
    static const std::string& ResultHeading(int line, int column);
    // Reading, computing and writing the result in one pass, for a record too
    // long to keep (the batch mode with no output that needs the series and no
    // losses): each record is computed as it is read, its result line written
    // to `out` at once, and only the record before it kept. It fails as
    // ResetFloodTable, ReadFlood, Compute would (the same error and
    // FailedLine, the reading's failures before the computation's); what was
    // written is then the caller's to discard. A write that fails is kept in
    // `writeError` and nothing more is written; the reading and computing go
    // on, as their failures come first. FloodSteps stays empty; after a
    // computation that failed, `streamed.failedStep` holds the record before the
    // failing one and the failing one with the fields it got.
    struct TStreamed {
        std::size_t records = 0;
        // The levels and flows met, for telling values in other units.
        TUnitPlausibility plausibility;
        std::optional<std::pair<TFloodStep, TFloodStep>> failedStep;
    };
    void ComputeWhileReading(const std::string& fileName, LineFile& out, std::exception_ptr& writeError,
                             TStreamed& streamed);
    // Refuses computed records out of time order, naming the first whose step
    // goes back: the summary and the corrected inflow would count its water
    // with the wrong sign.
    void RequireTimeOrder();
    // The records the reader skipped as gaps, for the summary: none unless
    // skipping was asked for.
    std::optional<std::size_t> SkippedRecords() const;
    // The flood file's line that holds record `record` (0 for the first), as
    // a failure's place.
    TFailedLine RecordLine(std::size_t record) const;

    // Storage for a level on CurvePoints; a level outside the curve, or a
    // curve of fewer than two points, raises an error naming the level and
    // the curve's range.
    double FromZGetV(double Z) const;

private:
    // The tables' cells come from the records: the calculation table's time,
    // level and outflow from the texts its file had (or the values' texts in
    // other units), its computed cells from FloodSteps; the curve table's
    // from its file's texts. A text store keeps, per row, the cells read for
    // it, joined by commas (which no field holds), also of the lines that
    // failed to read: the table shows where reading stopped.
    class TRowTexts {
    public:
        void Add(std::size_t row, const std::string_view* cells, int count);
        // Cell k of a row's texts ("" when the row has fewer).
        std::string_view Cell(std::size_t row, int k) const;
        void Clear() { texts_.Clear(); }
        // A row's cells as stored (joined), to move them to another row.
        std::string_view Joined(std::size_t row) const { return texts_.AfterOutflow(row); }
        void AddJoined(std::size_t row, std::string_view joined) { texts_.Add(row, joined); }

    private:
        TRecordFieldTexts texts_;
        std::string scratch_;
    };
    class TCurveCells : public TStringGrid::TCellSource {
    public:
        explicit TCurveCells(const TRowTexts& texts) : texts_(texts) {}
        void AppendDerivedCell(int row, int k, std::string& out) const override;

    private:
        const TRowTexts& texts_;
    };
    TRowTexts floodTexts_;
    // The levels (outflows) as read of the records ReplaceLevel
    // (ReplaceOutflow) changed, by record.
    using TReadValues = std::vector<std::pair<std::size_t, double>>;
    TReadValues readLevels_;
    TReadValues readOutflows_;
    TRowTexts curveTexts_;
    TCurveCells curveCells_{curveTexts_};

    void AppendDerivedCell(int row, int k, std::string& out) const override;
    // `newCurve`: the step's curve is not its previous record's, whose
    // storage is then taken again on it.
    void ComputeRow(std::size_t record, const TCurveLookup& curve, bool newCurve);
    // The losses' part of the outflow term of the step ending at record e
    // (e >= 1); a field missing or not a number fails as an outflow does.
    long double LossTerm(std::size_t e) const;
    // The result file's heading and unit lines.
    static void WriteResultHeading(LineFile& file);
    // What a failed computation leaves in FailedLine: the failing record's
    // line (or the one before it whose loss field failed), unless the curve
    // itself is at fault.
    void NoteFailedRecord(const std::exception_ptr& error);

    // The flood file whose records the table holds (set by a read that
    // succeeded, cleared by the table's reset), for the computation's
    // failures.
    std::string floodFile_;
    bool floodShown_ = false;
    std::optional<TFileVersion> floodVersion_;
    // The units the record was read in (its losses are converted when the
    // computation reads them), and the file line of each record once the
    // reader passed a line over (empty: record k is on line k + 2).
    TRecordUnits floodUnits_;
    std::size_t mappedLosses_ = 0;
    // The balance's options as the running computation takes them: with the
    // losses the columns named as its loss fields.
    TBalanceOptions computing_;
    std::vector<std::int64_t> recordLines_;
    // The skipped records RestoreSkipped put back since the last read, their
    // places in FloodSteps (ascending), and the gaps as the read left them.
    std::size_t restoredGaps_ = 0;
    std::vector<std::size_t> restoredRecords_;
    std::vector<TSkippedRecord> gapsAsRead_;
    int rowsAsRead_ = 0;   // the calculation table's rows before they were put in
    // Forgets what a repair did: after a read or a record set.
    void ForgetRepair();
    // The record whose loss field could not be read, while a computation
    // runs: the record before the one computed when its field is the one
    // missing.
    mutable std::optional<std::size_t> lossRecord_;
};
