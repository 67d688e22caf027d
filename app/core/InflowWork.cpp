#include "InflowWork.h"

#include "Currency.h"
#include "CurveLookup.h"
#include "FloatRules.h"
#include "InflowBalance.h"
#include "FloodStamp.h"
#include "Exceptions.h"
#include "LineFile.h"
#include "RecordLine.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace {

constexpr int kFloodColumns = 9;
constexpr int kCurveColumns = 2;
// Rows of a table after its reset: headings, units, eight data rows.
constexpr int kResetRows = 10;
constexpr int kFirstDataRow = 2;
// The table columns that show the computed fields, in the balance's order.
constexpr std::array<int, kBalanceFields> kComputedColumns{2, 3, 4, 5, 7, 8};
// The result file goes out in pieces of this size.
constexpr std::size_t kWriteBuffer = 256 * 1024;

std::string Blanks(int count) { return std::string(static_cast<std::size_t>(count), ' '); }

struct ColumnLayout {
    std::string heading;
    std::string unit;
    int width;
};

// The storage columns are in 10^8 m^3 (the factor 1e8 of the storage rate).
const std::array<ColumnLayout, kFloodColumns>& FloodColumns() {
    static const std::array<ColumnLayout, kFloodColumns> columns{{
        {Blanks(17) + "时" + Blanks(3) + "间", "yyyy-mm-dd hh-mm-ss", 140},
        {"库水位Z", Blanks(5) + "m", 50},
        {Blanks(4) + "库容V", "10^8m^3", 65},
        {"库容增量dV", Blanks(2) + "10^8m^3", 70},
        {Blanks(1) + "时段dt", Blanks(5) + "s", 45},
        {Blanks(1) + "dV/dt", Blanks(1) + "m^3/s", 45},
        {"出库流量Q出", Blanks(6) + "m^3/s", 75},
        {"平均出库流量q出", Blanks(9) + "m^3/s", 95},
        {"平均入库流量Q入", Blanks(10) + "m^3/s", 95},
    }};
    return columns;
}

const std::array<ColumnLayout, kCurveColumns>& CurveColumns() {
    static const std::array<ColumnLayout, kCurveColumns> columns{{
        {Blanks(6) + "水" + Blanks(1) + "位" + Blanks(1) + "Z", Blanks(11) + "m", 80},
        {Blanks(6) + "库" + Blanks(1) + "容" + Blanks(1) + "V",
         Blanks(3) + "10^8" + Blanks(1) + "m^3", 80},
    }};
    return columns;
}

inline double ReadNumber(std::string_view text) { return DecimalToReal(DecimalFromText(text)); }

inline void AppendNumber(std::string& out, double value) {
    AppendDecimalText(out, DecimalFromReal(value));
}

// A line with fewer fields than a record needs fails as asking the list of
// its pieces for the first missing one did: "List index out of bounds (n)".
[[noreturn]] void RaiseMissingField(std::size_t fields) {
    throw EStringListError("List index out of bounds (" + std::to_string(fields) + ")");
}

// A long record's length, guessed from the file's size and its first lines,
// so that the arrays are sized once instead of growing step by step (each
// step moves everything and touches fresh memory).
class TRecordCountGuess {
public:
    explicit TRecordCountGuess(const std::string& fileName) {
        std::error_code error;
        const auto size = std::filesystem::file_size(fileName, error);
        fileSize_ = error ? 0 : static_cast<std::size_t>(size);
    }
    // After each line: once, the expected count of lines; otherwise 0.
    std::size_t AfterLine(std::size_t length) {
        bytes_ += length + 1;
        if (++lines_ != kSample || fileSize_ == 0) return 0;
        const double perLine = static_cast<double>(bytes_) / static_cast<double>(lines_);
        const double guess = static_cast<double>(fileSize_) / perLine * 1.05;
        // A record line with a time stamp is hardly shorter than this.
        return static_cast<std::size_t>(std::min(guess, static_cast<double>(fileSize_ / 8))) + kSample;
    }

private:
    static constexpr std::size_t kSample = 4096;
    std::size_t fileSize_ = 0;
    std::size_t bytes_ = 0;
    std::size_t lines_ = 0;
};

void GrowFor(TStringGrid& grid, int row) {
    if (grid.RowCount() < row + 1) grid.SetRowCount(grid.RowCount() + 1);
}

// Reads a line and fails for a file that is no text: a NUL byte in any line
// (the heading too) shows UTF-16 or a binary file, whose lines mean nothing.
class TTextLines {
public:
    TTextLines(LineFile& file, const std::string& fileName) : file_(file), fileName_(fileName) {}
    void Read(std::string& line) {
        file_.ReadLine(line);
        if (first_) {
            first_ = false;
            start_ = line.substr(0, 2);
        }
        if (file_.LastLineHadNul()) [[unlikely]]
            throw Exception(fileName_ + ": " + NotTextReason(start_, line));
    }

private:
    LineFile& file_;
    const std::string& fileName_;
    bool first_ = true;
    std::string start_;   // the first line's first bytes: a byte-order mark?
};

}  // namespace

InflowWork::InflowWork() : StringGrid1(kFloodColumns, 5), StringGrid2(kCurveColumns, 5) {
    StringGrid1.SetDerivedColumns({kComputedColumns.begin(), kComputedColumns.end()}, this);
}

void InflowWork::AppendDerivedCell(int row, int k, std::string& out) const {
    const TFloodStep& step = FloodSteps[static_cast<std::size_t>(row - kFirstDataRow)];
    // Made like the computation made it; a value changed beyond the decimal
    // range since (only by hand) still shows, in the same form.
    out += RealToText(BalanceField(step, k));
}

void InflowWork::FormCreate() {
    const auto& flood = FloodColumns();
    for (int c = 0; c < kFloodColumns; ++c) {
        StringGrid1.SetCell(c, 0, flood[static_cast<std::size_t>(c)].heading);
        StringGrid1.SetCell(c, 1, flood[static_cast<std::size_t>(c)].unit);
        StringGrid1.SetColWidth(c, flood[static_cast<std::size_t>(c)].width);
    }
    const auto& curve = CurveColumns();
    for (int c = 0; c < kCurveColumns; ++c) {
        StringGrid2.SetCell(c, 0, curve[static_cast<std::size_t>(c)].heading);
        StringGrid2.SetCell(c, 1, curve[static_cast<std::size_t>(c)].unit);
        StringGrid2.SetColWidth(c, curve[static_cast<std::size_t>(c)].width);
    }
}

double InflowWork::FromZGetV(double Z) const { return TCurveLookup(CurvePoints).Storage(Z); }

// ---------------------------------------------------------------------------
// The curve

void InflowWork::ResetCurveTable() {
    StringGrid2.SetRowCount(kResetRows);
    for (int r = kFirstDataRow; r < kResetRows; ++r) {
        StringGrid2.SetCell(0, r, "");
        StringGrid2.SetCell(1, r, "");
    }
}

void InflowWork::ReadCurve(const std::string& fileName) {
    FailedLine.reset();
    LineFile file;
    // A file that cannot be opened leaves the curve as it was.
    file.OpenRead(fileName);
    const std::optional<TFileVersion> version = file.Version();
    TTextLines lines(file, fileName);
    LastReadCrAlone = false;
    int failedRow = 0;   // the row a failure belongs to, while one can fail
    try {
        std::string line;
        std::vector<std::string_view> fields;
        std::vector<TCurvePoint> points;
        // The texts are converted as their lines are read; the first failure
        // is kept and raised once every line is in, as a pass over the
        // filled table would.
        std::exception_ptr conversionError;
        int conversionRow = 0;
        lines.Read(line);   // the heading
        int row = kFirstDataRow;
        while (!file.AtEnd()) {
            lines.Read(line);
            SplitFields(TrimText(line), fields);
            if (ShowTables) {
                GrowFor(StringGrid2, row);
                if (fields.size() >= 2)
                    StringGrid2.SetRowCells(row, fields.data(), 2);
                else
                    StringGrid2.SetCell(0, row, fields[0]);   // the row's other cell stays
            }
            if (fields.size() < 2) {
                failedRow = row;
                RaiseMissingField(fields.size());
            }
            if (!conversionError) {
                try {
                    TCurvePoint& p = points.emplace_back();
                    p.Z = ReadNumber(fields[0]);
                    p.V = ReadNumber(fields[1]);
                } catch (const Exception&) {
                    conversionError = std::current_exception();
                    conversionRow = row;
                    std::vector<TCurvePoint>().swap(points);
                }
            }
            ++row;
        }
        LastReadCrAlone = file.LinesEndWithCrAlone();
        file.Close();
        if (conversionError) {
            failedRow = conversionRow;
            std::rethrow_exception(conversionError);
        }
        CurvePoints = std::move(points);
    } catch (...) {
        if (failedRow) FailedLine = TFailedLine{fileName, failedRow, version};
        // The table shows where reading stopped; nothing computes on a part.
        std::vector<TCurvePoint>().swap(CurvePoints);
        if (CurvePlot) CurvePlot->ClearCurve();
        throw;
    }
    if (CurvePlot) CurvePlot->ShowCurve(CurvePoints);
}

// ---------------------------------------------------------------------------
// The flood record

void InflowWork::ResetFloodTable() {
    ComputedRecords = 0;
    floodShown_ = false;
    floodFile_.clear();
    floodVersion_.reset();
    StringGrid1.SetRowCount(kResetRows);
    for (int r = kFirstDataRow; r < kResetRows; ++r) StringGrid1.SetRowCells(r, nullptr, 0);
}

void InflowWork::ReadFlood(const std::string& fileName) {
    FailedLine.reset();
    LineFile file;
    // A file that cannot be opened leaves the record as it was.
    file.OpenRead(fileName);
    const std::optional<TFileVersion> version = file.Version();
    TTextLines lines(file, fileName);
    LastReadCrAlone = false;
    floodShown_ = false;
    ComputedRecords = 0;
    int failedRow = 0;   // the row a failure belongs to, while one can fail
    // The rows keep what they show of the old record (after the table reset:
    // nothing) while it is replaced.
    if (ShowTables) StringGrid1.StoreDerivedCells();
    try {
        std::string line;
        std::vector<std::string_view> fields;
        std::array<std::string_view, kFloodColumns> cells;
        std::vector<TFloodStep> steps;
        TRecordFieldTexts fieldTexts;
        TFloodStampReader stamps;
        // The texts are converted as their rows are filled, in the same order
        // as a pass over the filled table would take; the first failure is
        // kept and raised once every line is in the table, as that pass would.
        std::exception_ptr conversionError;
        int conversionRow = 0;
        int outflowDecimals = 0;
        TRecordCountGuess guess(fileName);
        lines.Read(line);   // the heading
        int row = kFirstDataRow;
        while (!file.AtEnd()) {
            lines.Read(line);
            if (const std::size_t expected = guess.AfterLine(line.size())) {
                steps.reserve(expected);
                if (ShowTables)
                    StringGrid1.ReserveRows(static_cast<int>(std::min<std::size_t>(expected + 2, INT_MAX)));
            }
            const std::string_view text = TrimText(line);
            SplitFields(text, fields);
            if (ShowTables) {
                GrowFor(StringGrid1, row);
                // One write for the three cells; the row's other cells stay.
                if (StringGrid1.RowEmpty(row))
                    cells.fill({});
                else
                    StringGrid1.GetRowCells(row, cells.data(), kFloodColumns);
                // A line of fewer fields shows those it has.
                constexpr std::array<int, 3> kColumns{0, 1, 6};
                for (std::size_t k = 0; k < 3 && k < fields.size(); ++k) cells[static_cast<std::size_t>(kColumns[k])] = fields[k];
                StringGrid1.SetRowCells(row, cells.data(), kFloodColumns);
            }
            if (fields.size() < 3) {
                failedRow = row;
                RaiseMissingField(fields.size());
            }
            if (!conversionError) {
                try {
                    TFloodStep& s = steps.emplace_back();
                    s.T = stamps.Read(fields[0]);
                    s.Z = ReadNumber(fields[1]);
                    s.Qout = ReadNumber(fields[2]);
                    outflowDecimals = std::max(outflowDecimals, TextDecimals(fields[2]));
                    // Kept whatever the balance's choices are now: they may
                    // change before the next computation. The rest of the line
                    // from the comma after the outflow, if any.
                    if (fields.size() > 3)
                        fieldTexts.Add(steps.size() - 1,
                                       text.substr(static_cast<std::size_t>(fields[2].data() - text.data()) + fields[2].size()));
                } catch (const Exception&) {
                    conversionError = std::current_exception();
                    conversionRow = row;
                    std::vector<TFloodStep>().swap(steps);
                    fieldTexts.Clear();
                }
            }
            ++row;
        }
        LastReadCrAlone = file.LinesEndWithCrAlone();
        file.Close();
        if (conversionError) {
            failedRow = conversionRow;
            std::rethrow_exception(conversionError);
        }
        FloodSteps = std::move(steps);
        FloodFieldTexts = std::move(fieldTexts);
        FloodOutflowDecimals = outflowDecimals;
    } catch (...) {
        if (failedRow) FailedLine = TFailedLine{fileName, failedRow, version};
        std::vector<TFloodStep>().swap(FloodSteps);
        FloodFieldTexts.Clear();
        FloodOutflowDecimals = 0;
        throw;
    }
    floodFile_ = fileName;
    floodVersion_ = version;
    floodShown_ = true;
}

void InflowWork::SetFlood(std::vector<TFloodStep> steps, TRecordFieldTexts fieldTexts) {
    ResetFloodTable();
    FailedLine.reset();
    LastReadCrAlone = false;
    FloodSteps = std::move(steps);
    FloodFieldTexts = std::move(fieldTexts);
    FloodOutflowDecimals = 0;
    floodShown_ = true;
}

// ---------------------------------------------------------------------------
// The computation

void InflowWork::Compute() {
    ComputedRecords = 0;
    FailedLine.reset();
    lossRecord_.reset();
    if (FloodSteps.empty()) return;
    const TCurveLookup curve(CurvePoints);
    try {
        // After the table's reset the records remain while their rows are
        // empty: the first row's level is an empty text, which is no number.
        if (!floodShown_) ReadNumber({});
        for (std::size_t e = 0; e < FloodSteps.size(); ++e) {
            ComputeRow(e, curve);
            ComputedRecords = e + 1;
        }
    } catch (...) {
        NoteFailedRecord(std::current_exception());
        throw;
    }
}

void InflowWork::NoteFailedRecord(const std::exception_ptr& error) {
    // The record that failed is the one after those computed, or the one
    // before it whose loss field could not be read.
    auto failedRecord = [&] { FailedLine = RecordLine(lossRecord_.value_or(ComputedRecords)); };
    try {
        std::rethrow_exception(error);
    } catch (const EConvertError&) {
        failedRecord();
    } catch (...) {
        // A curve of fewer than two points fails every record alike: the
        // fault is the curve's, not the record's.
        if (CurvePoints.size() >= 2) failedRecord();
    }
}

// Each value goes into its field and its text into the row, in the order of
// the formulas; a failure stops the row there. The texts are made from the
// fields when the table is read, so the row only counts how many it shows.
void InflowWork::ComputeRow(std::size_t e, const TCurveLookup& curve) {
    TStringGrid& grid = StringGrid1;
    const int r = static_cast<int>(e) + kFirstDataRow;
    TFloodStep& step = FloodSteps[e];
    const TFloodStep given = step;
    // The losses' texts are read now; one that is no number stops the row
    // where the outflow term is made, after the storage term's cells.
    TStepLosses losses;
    std::optional<std::size_t> lossRecord;   // whose field failed
    if (e > 0 && !Balance.lossFields.empty()) {
        try {
            losses.value = LossTerm(e);
        } catch (const Exception&) {
            losses.error = std::current_exception();
            lossRecord = lossRecord_;
            lossRecord_.reset();   // a failure before it is raised is this record's
        }
    }
    const TBalanceResult result = BalanceStep(e > 0 ? &FloodSteps[e - 1] : nullptr, given, curve, Balance, losses);
    if (!ShowTables) {
        step = result.values;
        if (result.error) {
            if (result.error == losses.error) lossRecord_ = lossRecord;
            std::rethrow_exception(result.error);
        }
        return;
    }
    // A field whose new value has no text: its cell keeps the text it showed,
    // made from the old value, stored in the row before the value changes.
    const int shown = result.shown;
    for (int k = 0; k < shown; ++k) BalanceField(step, k) = BalanceField(result.values, k);
    if (result.stored > shown) {
        if (grid.DerivedCount(r) > shown) grid.StoreDerivedCells(r);
        BalanceField(step, shown) = BalanceField(result.values, shown);
    }
    // The cells made now, and those an earlier run made beyond them, show
    // their fields' texts.
    grid.SetDerivedCount(r, std::max(grid.DerivedCount(r), shown));
    if (result.error) {
        if (result.error == losses.error) lossRecord_ = lossRecord;
        std::rethrow_exception(result.error);
    }
}

long double InflowWork::LossTerm(std::size_t e) const {
    auto value = [&](std::size_t record, int field) {
        // A missing field reads as an empty one, which no number is.
        std::string_view text;
        LossFieldText(FloodFieldTexts.AfterOutflow(record), field, text);
        lossRecord_ = record;
        const long double read = ReadNumber(text);
        lossRecord_.reset();
        return read;
    };
    const bool atEnd = Balance.outflow == TBalanceOptions::TOutflow::End;
    long double sum = 0;
    for (const int field : Balance.lossFields) {
        if (atEnd) {
            sum += value(e, field);
        } else {
            // In record order, as the outflows were read.
            const long double start = value(e - 1, field);
            sum += (value(e, field) + start) / 2.0L;
        }
    }
    return sum;
}

// ---------------------------------------------------------------------------
// The result file

namespace {

// Each line is made right in the file's buffer, and goes out whole or not at
// all (a target that is no regular file keeps the lines before).
void AppendResultLine(LineFile& file, const TFloodStep& s, TStampTexts& stamps) {
    std::string& out = file.Pending();
    const std::size_t lineStart = out.size();
    try {
        stamps.Append(out, s.T);
        out += ',';
        for (const double value : {s.Z, s.V, s.dV, s.dt, s.dVdt, s.Qout, s.qMean, s.Qin}) {
            AppendNumber(out, value);
            out += ',';
        }
        out += "\r\n";
    } catch (...) {
        out.resize(lineStart);
        throw;
    }
    file.Commit();
}

}  // namespace

TFailedLine InflowWork::RecordLine(std::size_t record) const {
    return TFailedLine{floodFile_, static_cast<std::int64_t>(record) + kFirstDataRow, floodVersion_};
}

void InflowWork::WriteResult(const std::string& fileName) {
    LineFile file;
    // Into a temporary that replaces the file only when complete; the
    // channel's destructor removes it when anything below fails.
    file.OpenWriteAtomic(fileName, kWriteBuffer);
    WriteResult(file);
    file.Close();
}

void InflowWork::WriteResultHeading(LineFile& file) {
    const auto& columns = FloodColumns();
    for (const std::string ColumnLayout::*text : {&ColumnLayout::heading, &ColumnLayout::unit}) {
        for (std::size_t c = 0; c < columns.size(); ++c) {
            file.Write(columns[c].*text);
            if (c + 1 < columns.size()) file.Write(" , ");
        }
        file.EndLine();
    }
}

void InflowWork::WriteResult(LineFile& file) {
    WriteResultHeading(file);

    // Every record the table shows; after the table's reset, as many of the
    // records kept as its empty rows.
    const std::size_t n = floodShown_ ? FloodSteps.size()
                                      : std::min<std::size_t>(kResetRows - kFirstDataRow, FloodSteps.size());
    TStampTexts stamps;
    for (std::size_t e = 0; e < n; ++e) AppendResultLine(file, FloodSteps[e], stamps);
}

void InflowWork::ComputeWhileReading(const std::string& fileName, LineFile& out, std::exception_ptr& writeError,
                                     TStreamed& streamed) {
    streamed = {};
    ResetFloodTable();
    std::vector<TFloodStep>().swap(FloodSteps);
    FloodFieldTexts.Clear();
    FailedLine.reset();
    lossRecord_.reset();
    LineFile file;
    file.OpenRead(fileName);
    const std::optional<TFileVersion> version = file.Version();
    TTextLines lines(file, fileName);
    LastReadCrAlone = false;
    const TCurveLookup curve(CurvePoints);
    TStampTexts stamps;
    auto write = [&](auto&& make) {
        if (writeError) return;
        try {
            make();
        } catch (...) {
            writeError = std::current_exception();
        }
    };
    write([&] { WriteResultHeading(out); });

    std::string line;
    std::vector<std::string_view> fields;
    TFloodStampReader stampReader;
    TFloodStep previous;
    std::exception_ptr conversionError;
    std::int64_t conversionRow = 0;
    std::exception_ptr computeError;
    std::size_t failing = 0;
    std::optional<std::pair<TFloodStep, TFloodStep>> failedStep;
    std::size_t e = 0;
    lines.Read(line);   // the heading
    for (; !file.AtEnd(); ++e) {
        lines.Read(line);
        SplitFields(TrimText(line), fields);
        if (fields.size() < 3) {
            FailedLine = TFailedLine{fileName, static_cast<std::int64_t>(e) + kFirstDataRow, version};
            RaiseMissingField(fields.size());
        }
        if (conversionError) continue;
        TFloodStep step;
        try {
            step.T = stampReader.Read(fields[0]);
            step.Z = ReadNumber(fields[1]);
            step.Qout = ReadNumber(fields[2]);
        } catch (const Exception&) {
            conversionError = std::current_exception();
            conversionRow = static_cast<std::int64_t>(e) + kFirstDataRow;
            continue;
        }
        // After a failed computation the rest is only read, for its faults.
        if (computeError) continue;
        const TBalanceResult result = BalanceStep(e > 0 ? &previous : nullptr, step, curve, Balance);
        if (result.error) {
            computeError = result.error;
            failing = e;
            if (e > 0) failedStep.emplace(previous, result.values);
            continue;
        }
        write([&] { AppendResultLine(out, result.values, stamps); });
        previous = result.values;
    }
    LastReadCrAlone = file.LinesEndWithCrAlone();
    file.Close();
    if (conversionError) {
        FailedLine = TFailedLine{fileName, conversionRow, version};
        std::rethrow_exception(conversionError);
    }
    floodFile_ = fileName;
    floodVersion_ = version;
    floodShown_ = true;
    streamed.records = e;
    if (computeError) {
        ComputedRecords = failing;
        streamed.failedStep = failedStep;
        NoteFailedRecord(computeError);
        std::rethrow_exception(computeError);
    }
    ComputedRecords = e;
}
