#include "InflowWork.h"

#include "Currency.h"
#include "CurveLookup.h"
#include "DatedCurves.h"
#include "FloatRules.h"
#include "InflowBalance.h"
#include "InflowCorrection.h"
#include "LargeMemory.h"
#include "FloodStamp.h"
#include "Exceptions.h"
#include "LineFile.h"
#include "LineSource.h"
#include "RecordLine.h"
#include "RecordReader.h"

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
// The table's columns as its cell source gives them: the record's time,
// level and outflow texts, then the computed fields in the balance's order.
constexpr int kTextCells = 3;
constexpr std::array<int, kTextCells + kBalanceFields> kDerivedColumns{0, 1, 6, 2, 3, 4, 5, 7, 8};
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

// A table row's cells as its text store keeps them: joined by commas (which
// no field holds); a row of one empty cell still has its place.
void JoinRowTexts(const std::string_view* cells, int count, std::string& out) {
    out.clear();
    for (int k = 0; k < count; ++k) {
        if (k > 0) out += ',';
        out += cells[k];
    }
    if (out.empty()) out = ',';
}

void GrowFor(TStringGrid& grid, int row) {
    if (grid.RowCount() < row + 1) grid.SetRowCount(grid.RowCount() + 1);
}

// Reads a line and fails for a file that is no text: a NUL byte in any line
// (the heading too) shows UTF-16 or a binary file, whose lines mean nothing.
class TTextLines {
public:
    TTextLines(TLineSource& file, const std::string& fileName) : file_(file), fileName_(fileName) {}
    void Read(std::string& line) {
        file_.ReadLine(line);
        if (first_) {
            first_ = false;
            start_ = line.substr(0, 2);
        }
        if (file_.LastLineHadNul()) [[unlikely]]
            throw Exception(fileName_ + ": " + NotTextReason(start_, line));
    }

    // The heading: the first line, or the line the columns name headings of.
    void ReadHeading(const std::optional<TColumnOption>& columns, std::string& line) {
        ReadHeadingLine(file_, columns, fileName_, line);
        if (first_) {
            first_ = false;
            start_ = line.substr(0, 2);
        }
        if (file_.LastLineHadNul()) [[unlikely]]
            throw Exception(fileName_ + ": " + NotTextReason(start_, line));
    }

private:
    TLineSource& file_;
    const std::string& fileName_;
    bool first_ = true;
    std::string start_;   // the first line's first bytes: a byte-order mark?
};

// The flood record's lines as the format reads them, for the load and for
// the computation while reading alike. Each call of Next gives the next line
// that is a record, or one that failed to read; lines skipped as gaps and the
// agency's notes at the end are passed over (and counted). The first failure
// to read is kept and raised by Finish, once every line is in, except a line
// of too few fields, which fails at once.
class TFloodLines {
public:
    TFloodLines(const std::string& fileName, const TRecordFormat& format)
        : fileName_(fileName), columns_(format.columns), file_(OpenLineSource(fileName)), reader_(format) {
        // A file that cannot be opened leaves everything as it was.
        version_ = file_->Version();
    }
    void ReadHeading() {
        lines_.ReadHeading(columns_, line_);
        lineNo_ = file_->LineNumber();
        reader_.Heading(line_, fileName_);
        needed_ = reader_.FieldsNeeded();
    }

    enum class TKind { Record, Failed, End };
    // `shortLine` is called with a line of too few fields before it fails.
    template <class ShortLine>
    TKind Next(ShortLine&& shortLine) {
        for (;;) {
            if (file_->AtEnd()) return TKind::End;
            lines_.Read(line_);
            lineNo_ = file_->LineNumber();
            text_ = TrimText(line_);
            SplitFields(text_, fields_);
            const bool enough = fields_.size() >= needed_;
            if (enough) {
                DateTimeValue cell;
                const bool dated = file_->FieldStamp(reader_.TimeField(), cell);
                reader_.Read(fields_, read_, dated ? &cell : nullptr);
            }
            if (reader_.Mapped() && (!enough || !read_.faults.empty()) && !TimeIsStamp(enough)) {
                // Notes at the end, unless a record follows.
                notes_.Hold(lineNo_, enough ? read_.faults.front().error : nullptr);
                if (!enough) notesShort_.emplace_back(lineNo_, fields_.size());
                continue;
            }
            if (notes_.Holding()) ReleaseNotes();
            if (!enough) {
                shortLine(fields_);
                failedLine_ = lineNo_;
                RaiseMissingField(fields_.size());
            }
            if (!read_.faults.empty()) {
                NoteFailure(read_.faults.front().error, lineNo_);
                return TKind::Failed;
            }
            if (!read_.skipped.empty()) {
                Skipped.Add(lineNo_, read_.skipped);
                if (KeepGaps) {
                    Gaps.push_back({lineNo_, records_, read_.step, read_.levelRead, read_.outflowRead, read_.lossGap,
                                    std::string(LossText()), {}});
                    // A repair may give it a row in the table: the texts a record's row has.
                    if (KeepGapTexts) {
                        std::string_view shown[3];
                        std::string made[2];
                        const int count = reader_.TableTexts(fields_, read_, true, shown, made);
                        JoinRowTexts(shown, count, Gaps.back().shown);
                    }
                }
                if (!tracking_) {
                    tracking_ = true;
                    for (std::size_t k = 0; k < records_; ++k) lines.push_back(static_cast<std::int64_t>(k) + kFirstDataRow);
                }
                continue;
            }
            // A sheet's rows may start below title rows or leave empty rows out.
            if (!tracking_ && lineNo_ != static_cast<std::int64_t>(records_) + kFirstDataRow) {
                tracking_ = true;
                for (std::size_t k = 0; k < records_; ++k) lines.push_back(static_cast<std::int64_t>(k) + kFirstDataRow);
            }
            if (tracking_) lines.push_back(lineNo_);
            ++records_;
            return TKind::Record;
        }
    }
    // After the last line: the notes taken as such, the first failure raised.
    void Finish(std::optional<TFailedLine>& failed) {
        if (notes_.Holding()) {
            NotesFirst = notes_.First();
            NotesCount = notes_.Count();
        }
        CrAlone = file_->LinesEndWithCrAlone();
        file_->Close();
        if (conversionError_) {
            failed = TFailedLine{fileName_, conversionLine_, version_};
            std::rethrow_exception(conversionError_);
        }
    }
    // The failure of a line of too few fields.
    std::optional<TFailedLine> ShortLineFailure() const {
        if (!failedLine_) return std::nullopt;
        return TFailedLine{fileName_, failedLine_, version_};
    }

    bool Failed() const { return conversionError_ != nullptr; }
    const TFloodLine& Line() const { return read_; }
    const std::vector<std::string_view>& Fields() const { return fields_; }
    std::string_view Text() const { return text_; }
    std::int64_t LineNumber() const { return lineNo_; }
    std::string_view LossText() { return reader_.LossText(text_, fields_, lossScratch_); }
    const TFloodReader& Reader() const { return reader_; }
    const std::optional<TFileVersion>& Version() const { return version_; }
    std::size_t Records() const { return records_; }

    // The file line of each record, kept only once a line was passed over
    // (until then record k is on line k + 2).
    std::vector<std::int64_t> lines;
    TSkippedRecords Skipped;
    // The skipped records with what they read, when kept.
    bool KeepGaps = false;
    bool KeepGapTexts = false;
    std::vector<InflowWork::TSkippedRecord> Gaps;
    std::int64_t NotesFirst = 0;
    std::size_t NotesCount = 0;
    bool CrAlone = false;

private:
    bool TimeIsStamp(bool enough) {
        if (enough) return read_.stamped;
        const std::size_t time = reader_.TimeField();
        DateTimeValue value;
        return time < fields_.size() && (file_->FieldStamp(time, value) || reader_.IsStamp(fields_[time], value));
    }
    void NoteFailure(std::exception_ptr failure, std::int64_t line) {
        if (conversionError_) return;
        conversionError_ = std::move(failure);
        conversionLine_ = line;
    }
    // Lines held as notes were records after all: the first one's failure is
    // the record's.
    void ReleaseNotes() {
        std::int64_t first = 0;
        std::exception_ptr failure = notes_.Release(first);
        // A line of too few fields fails before any number does.
        if (!notesShort_.empty()) {
            first = notesShort_.front().first;
            failedLine_ = first;
            RaiseMissingField(notesShort_.front().second);
        }
        notesShort_.clear();
        NoteFailure(std::move(failure), first);
    }

    std::string fileName_;
    std::optional<TColumnOption> columns_;
    std::unique_ptr<TLineSource> file_;
    std::optional<TFileVersion> version_;
    TTextLines lines_{*file_, fileName_};
    TFloodReader reader_;
    bool tracking_ = false;
    std::size_t needed_ = 3;
    std::string line_;
    std::string_view text_;
    std::vector<std::string_view> fields_;
    TFloodLine read_;
    std::string lossScratch_;
    TNotesTail notes_;
    std::vector<std::pair<std::int64_t, std::size_t>> notesShort_;
    std::int64_t lineNo_ = 1;
    std::int64_t failedLine_ = 0;
    std::exception_ptr conversionError_;
    std::int64_t conversionLine_ = 0;
    std::size_t records_ = 0;
};

// The curve each step takes: CurvePoints alone, or the one valid on the day
// of the step's end.
class TCurvesInTime {
public:
    explicit TCurvesInTime(const InflowWork& work) {
        lookups_.emplace_back(work.CurvePoints);
        if (work.DatedCurves.empty()) return;
        std::vector<TCurveArgument> args{{work.CurvePointsFile, work.CurvePointsFrom}};
        for (const InflowWork::TDatedCurve& c : work.DatedCurves) {
            args.push_back({c.file, c.fromDay});
            lookups_.emplace_back(c.points);
        }
        schedule_.emplace(std::move(args));
    }
    // The curve for the step ending at `time`, and its index.
    const TCurveLookup& At(DateTimeValue time, std::size_t& index) const {
        index = 0;
        if (!schedule_) return lookups_.front();
        const std::optional<std::size_t> k = schedule_->CurveAt(time);
        if (!k) throw Exception(schedule_->NoCurveMessage(time));
        index = *k;
        return lookups_[*k];
    }

private:
    std::vector<TCurveLookup> lookups_;
    std::optional<TCurveSchedule> schedule_;
};

}  // namespace

InflowWork::InflowWork() : StringGrid1(kFloodColumns, 5), StringGrid2(kCurveColumns, 5) {
    StringGrid1.SetDerivedColumns({kDerivedColumns.begin(), kDerivedColumns.end()}, this);
    StringGrid2.SetDerivedColumns({0, 1}, &curveCells_);
}

void InflowWork::TRowTexts::Add(std::size_t row, const std::string_view* cells, int count) {
    JoinRowTexts(cells, count, scratch_);
    texts_.Add(row, scratch_);
}

std::string_view InflowWork::TRowTexts::Cell(std::size_t row, int k) const {
    std::string_view text = texts_.AfterOutflow(row);
    if (text == ",") return {};
    for (; k > 0; --k) {
        const std::size_t comma = text.find(',');
        if (comma == std::string_view::npos) return {};
        text.remove_prefix(comma + 1);
    }
    return text.substr(0, text.find(','));
}

void InflowWork::TCurveCells::AppendDerivedCell(int row, int k, std::string& out) const {
    out += texts_.Cell(static_cast<std::size_t>(row - kFirstDataRow), k);
}

void InflowWork::AppendDerivedCell(int row, int k, std::string& out) const {
    const std::size_t record = static_cast<std::size_t>(row - kFirstDataRow);
    if ((k == 1 && LevelReplaced(record)) || (k == 2 && OutflowReplaced(record))) {
        out += RealToText(k == 1 ? FloodSteps[record].Z : FloodSteps[record].Qout);
        return;
    }
    if (k < kTextCells) {
        out += floodTexts_.Cell(record, k);
        return;
    }
    // Made like the computation made it; a value changed beyond the decimal
    // range since (only by hand) still shows, in the same form.
    out += RealToText(BalanceField(FloodSteps[record], k - kTextCells));
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
    curveTexts_.Clear();
}

void InflowWork::ReadCurve(const std::string& fileName) {
    FailedLine.reset();
    // A file that cannot be opened leaves the curve as it was.
    const std::unique_ptr<TLineSource> source = OpenLineSource(fileName);
    TLineSource& file = *source;
    const std::optional<TFileVersion> version = file.Version();
    TTextLines lines(file, fileName);
    LastReadCrAlone = false;
    // The line a failure belongs to, while one can fail (a sheet's row
    // numbers need not follow the table's rows).
    std::int64_t failedLine = 0, failedRow = 0;
    try {
        std::string line;
        std::vector<std::string_view> fields;
        std::vector<TCurvePoint> points;
        std::vector<double> areas;
        TCurveReader reader(CurveFormat);
        const std::size_t needed = reader.FieldsNeeded();
        const bool fileTexts = CurveFormat.IsDefault();
        TFieldFaults faults;
        std::string texts[2];
        // The texts are converted as their lines are read; the first failure
        // is kept and raised once every line is in, as a pass over the
        // filled table would.
        std::exception_ptr conversionError;
        std::int64_t conversionLine = 0;
        lines.ReadHeading(CurveFormat.columns, line);
        reader.Heading(line, fileName);
        // The rows keep what they show of the old curve while it is replaced.
        if (ShowTables) {
            StringGrid2.StoreDerivedCells();
            curveTexts_.Clear();
        }
        int row = kFirstDataRow;
        while (!file.AtEnd()) {
            lines.Read(line);
            SplitFields(TrimText(line), fields);
            const bool enough = fields.size() >= needed;
            TCurvePoint point;
            double area = 0;
            const bool read = enough && !conversionError && reader.Read(fields, point, faults) &&
                              (!reader.HasArea() || reader.ReadArea(fields, area, faults));
            if (ShowTables) {
                GrowFor(StringGrid2, row);
                // The row shows the cells its line has; a line of one field
                // leaves the row's other cell as it was.
                int count = 0;
                if (fileTexts) {
                    count = static_cast<int>(std::min<std::size_t>(fields.size(), 2));
                    curveTexts_.Add(static_cast<std::size_t>(row - kFirstDataRow), fields.data(), count);
                } else {
                    reader.TableTexts(fields, point, read, texts, count);
                    const std::string_view cells[2] = {texts[0], texts[1]};
                    curveTexts_.Add(static_cast<std::size_t>(row - kFirstDataRow), cells, count);
                }
                StringGrid2.SetDerivedCount(row, count);
            }
            if (!enough) {
                failedLine = file.LineNumber();
                failedRow = row;
                RaiseMissingField(fields.size());
            }
            if (!conversionError) {
                if (read) {
                    points.push_back(point);
                    if (reader.HasArea()) areas.push_back(area);
                } else {
                    conversionError = faults.front().error;
                    conversionLine = file.LineNumber();
                    failedRow = row;
                    std::vector<TCurvePoint>().swap(points);
                    areas.clear();
                }
            }
            ++row;
        }
        LastReadCrAlone = file.LinesEndWithCrAlone();
        file.Close();
        if (conversionError) {
            failedLine = conversionLine;
            std::rethrow_exception(conversionError);
        }
        CurvePoints = std::move(points);
        CurveAreas = std::move(areas);
    } catch (...) {
        if (failedLine) FailedLine = TFailedLine{fileName, failedLine, version, ShowTables ? failedRow : 0};
        // The table shows where reading stopped; nothing computes on a part.
        std::vector<TCurvePoint>().swap(CurvePoints);
        CurveAreas.clear();
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
    recordLines_.clear();
    StringGrid1.SetRowCount(kResetRows);
    for (int r = kFirstDataRow; r < kResetRows; ++r) StringGrid1.SetRowCells(r, nullptr, 0);
    floodTexts_.Clear();
}

void InflowWork::ReadFlood(const std::string& fileName) {
    FailedLine.reset();
    // A file that cannot be opened leaves the record as it was.
    TFloodLines reading(fileName, FloodFormat);
    LastReadCrAlone = false;
    floodShown_ = false;
    ComputedRecords = 0;
    // The rows keep what they show of the old record (after the table reset:
    // nothing) while it is replaced.
    if (ShowTables) {
        StringGrid1.StoreDerivedCells();
        floodTexts_.Clear();
    }
    // What the reading passed over, for the caller to tell.
    reading.KeepGaps = FloodFormat.missing == TMissingMode::Skip;
    reading.KeepGapTexts = reading.KeepGaps && ShowTables;
    auto noteReading = [&] {
        FloodSkipped = reading.Skipped;
        FloodGaps = std::move(reading.Gaps);
        restoredGaps_ = 0;
        FloodNotesLine = reading.NotesFirst;
        FloodNotesLines = reading.NotesCount;
    };
    // The row the next line is shown in, and the one a failure belongs to.
    int row = kFirstDataRow;
    std::int64_t failedRow = 0;
    try {
        std::vector<TFloodStep> steps;
        TRecordFieldTexts fieldTexts;
        int outflowDecimals = 0;
        bool failed = false;
        TRecordCountGuess guess(fileName);
        std::string_view shown[3];
        std::string made[2];
        // The texts are converted as their rows are filled, in the same order
        // as a pass over the filled table would take; the first failure is
        // kept and raised once every line is in the table, as that pass would.
        auto show = [&](const std::vector<std::string_view>& fields, const TFloodLine* line) {
            GrowFor(StringGrid1, row);
            static const TFloodLine kUnread;
            // A line of fewer fields shows those it has; the row's other
            // cells stay as they were.
            const int count =
                reading.Reader().TableTexts(fields, line ? *line : kUnread, line && line->faults.empty(), shown, made);
            floodTexts_.Add(static_cast<std::size_t>(row - kFirstDataRow), shown, count);
            StringGrid1.SetDerivedCount(row, count);
        };
        reading.ReadHeading();
        for (;;) {
            const auto kind = reading.Next([&](const std::vector<std::string_view>& fields) {
                if (ShowTables) show(fields, nullptr);
            });
            if (kind == TFloodLines::TKind::End) break;
            if (const std::size_t expected = guess.AfterLine(reading.Text().size())) {
                ReserveLarge(steps, expected);
                if (ShowTables)
                    StringGrid1.ReserveRows(static_cast<int>(std::min<std::size_t>(expected + 2, INT_MAX)));
            }
            if (ShowTables) show(reading.Fields(), &reading.Line());
            if (reading.Failed()) {
                if (!failed) {
                    failed = true;
                    // This line's row; for notes taken back as records, the row after them.
                    failedRow = row;
                    std::vector<TFloodStep>().swap(steps);
                    fieldTexts.Clear();
                }
            } else {
                steps.push_back(reading.Line().step);
                outflowDecimals =
                    std::max(outflowDecimals, TextDecimals(reading.Fields()[reading.Reader().OutflowField()]));
                // Kept whatever the balance's choices are now: they may
                // change before the next computation.
                if (const std::string_view losses = reading.LossText(); !losses.empty())
                    fieldTexts.Add(steps.size() - 1, losses);
            }
            ++row;
        }
        reading.Finish(FailedLine);
        LastReadCrAlone = reading.CrAlone;
        FloodSteps = std::move(steps);
        ForgetRepair();
        FloodFieldTexts = std::move(fieldTexts);
        FloodOutflowDecimals = outflowDecimals;
        recordLines_ = std::move(reading.lines);
    } catch (...) {
        if (!FailedLine) {
            FailedLine = reading.ShortLineFailure();
            if (FailedLine) failedRow = row;
        }
        if (FailedLine && ShowTables) FailedLine->row = failedRow;
        LastReadCrAlone = reading.CrAlone;
        std::vector<TFloodStep>().swap(FloodSteps);
        ForgetRepair();
        FloodFieldTexts.Clear();
        FloodOutflowDecimals = 0;
        recordLines_.clear();
        noteReading();
        throw;
    }
    noteReading();
    floodFile_ = fileName;
    floodVersion_ = reading.Version();
    floodUnits_ = reading.Reader().Units();
    mappedLosses_ = reading.Reader().MappedLosses();
    floodShown_ = true;
}

std::vector<std::string> InflowWork::PassedOver(std::string_view file) const {
    std::string text = FloodSkipped.Text(file);
    if (FloodNotesLines) text += NotesWarning(file, FloodNotesLine, FloodNotesLines) + "\n";
    std::vector<std::string> lines;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = text.find('\n', start);
        lines.push_back(text.substr(start, end - start));
        start = end == std::string::npos ? text.size() : end + 1;
    }
    return lines;
}

namespace {
constexpr auto kByRecord = [](const auto& a, const auto& b) { return a.first < b.first; };

// Keeps `read` as the record's value as read, unless one is kept already.
void KeepRead(std::vector<std::pair<std::size_t, double>>& kept, std::size_t record, double read) {
    const auto at = std::lower_bound(kept.begin(), kept.end(), std::pair{record, 0.0}, kByRecord);
    if (at == kept.end() || at->first != record) kept.insert(at, {record, read});
}
}  // namespace

void InflowWork::ReplaceLevel(std::size_t record, double level) {
    KeepRead(readLevels_, record, FloodSteps.at(record).Z);
    FloodSteps[record].Z = level;
}

void InflowWork::ReplaceOutflow(std::size_t record, double outflow) {
    KeepRead(readOutflows_, record, FloodSteps.at(record).Qout);
    FloodSteps[record].Qout = outflow;
}

void InflowWork::RestoreReadValues() {
    for (const auto& [record, level] : readLevels_)
        if (record < FloodSteps.size()) FloodSteps[record].Z = level;
    for (const auto& [record, outflow] : readOutflows_)
        if (record < FloodSteps.size()) FloodSteps[record].Qout = outflow;
    readLevels_.clear();
    readOutflows_.clear();
}

bool InflowWork::LevelReplaced(std::size_t record) const {
    return std::binary_search(readLevels_.begin(), readLevels_.end(), std::pair{record, 0.0}, kByRecord);
}

bool InflowWork::OutflowReplaced(std::size_t record) const {
    return std::binary_search(readOutflows_.begin(), readOutflows_.end(), std::pair{record, 0.0}, kByRecord);
}

void InflowWork::ForgetRepair() {
    readLevels_.clear();
    readOutflows_.clear();
    restoredRecords_.clear();
    gapsAsRead_.clear();
    restoredGaps_ = 0;
}

void InflowWork::SetFlood(std::vector<TFloodStep> steps, TRecordFieldTexts fieldTexts) {
    ResetFloodTable();
    FailedLine.reset();
    LastReadCrAlone = false;
    FloodSteps = std::move(steps);
    FloodFieldTexts = std::move(fieldTexts);
    FloodOutflowDecimals = 0;
    // Values in the program's units, every one a record.
    floodUnits_ = {};
    mappedLosses_ = 0;
    FloodSkipped = {};
    FloodGaps.clear();
    ForgetRepair();
    FloodNotesLine = 0;
    FloodNotesLines = 0;
    floodShown_ = true;
}

// ---------------------------------------------------------------------------
// The computation

void InflowWork::Compute() {
    ComputedRecords = 0;
    FailedLine.reset();
    lossRecord_.reset();
    if (FloodSteps.empty()) return;
    computing_ = Balance;
    // Losses the columns named are the fields after the outflow as kept.
    if (mappedLosses_ > 0) {
        computing_.lossFields.clear();
        for (std::size_t k = 0; k < mappedLosses_; ++k) computing_.lossFields.push_back(kFirstLossField + static_cast<int>(k));
    }
    const TCurvesInTime curves(*this);
    try {
        // After the table's reset the records remain while their rows are
        // empty: the first row's level is an empty text, which is no number.
        if (!floodShown_) ReadNumber({});
        std::size_t previous = 0;
        for (std::size_t e = 0; e < FloodSteps.size(); ++e) {
            std::size_t index = 0;
            const TCurveLookup& curve = curves.At(FloodSteps[e].T, index);
            ComputeRow(e, curve, e > 0 && index != previous);
            previous = index;
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
void InflowWork::ComputeRow(std::size_t e, const TCurveLookup& curve, bool newCurve) {
    TStringGrid& grid = StringGrid1;
    const int r = static_cast<int>(e) + kFirstDataRow;
    TFloodStep& step = FloodSteps[e];
    const TFloodStep given = step;
    // The losses' texts are read now; one that is no number stops the row
    // where the outflow term is made, after the storage term's cells.
    TStepLosses losses;
    std::optional<std::size_t> lossRecord;   // whose field failed
    if (e > 0 && !computing_.lossFields.empty()) {
        try {
            losses.value = LossTerm(e);
        } catch (const Exception&) {
            losses.error = std::current_exception();
            lossRecord = lossRecord_;
            lossRecord_.reset();   // a failure before it is raised is this record's
        }
    }
    // The day a curve changes has no jump: the record before is taken again
    // on the step's curve.
    TFloodStep before;
    if (newCurve) {
        before = FloodSteps[e - 1];
        before.V = curve.Storage(before.Z);
    }
    const TBalanceResult result =
        BalanceStep(e > 0 ? (newCurve ? &before : &FloodSteps[e - 1]) : nullptr, given, curve, computing_, losses);
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
        if (grid.DerivedCount(r) > kTextCells + shown) grid.StoreDerivedCells(r);
        BalanceField(step, shown) = BalanceField(result.values, shown);
    }
    // The cells made now, and those an earlier run made beyond them, show
    // their fields' texts.
    grid.SetDerivedCount(r, std::max(grid.DerivedCount(r), kTextCells + shown));
    if (result.error) {
        if (result.error == losses.error) lossRecord_ = lossRecord;
        std::rethrow_exception(result.error);
    }
}

long double InflowWork::LossTerm(std::size_t e) const {
    const TLossUnit unit = floodUnits_.loss;
    // A volume is the water lost over the step that ends at its record.
    const bool volume = IsVolume(unit);
    const double dt = volume ? static_cast<double>((ElapsedDays(FloodSteps[e].T) - ElapsedDays(FloodSteps[e - 1].T)) *
                                                   24.0L * 3600.0L)
                             : 0.0;
    auto value = [&](std::size_t record, int field) -> long double {
        // A missing field reads as an empty one, which no number is.
        std::string_view text;
        LossFieldText(FloodFieldTexts.AfterOutflow(record), field, text);
        lossRecord_ = record;
        const long double read = unit == TLossUnit::M3s ? ReadNumber(text) : LossRate(DecimalFromText(text), unit, dt);
        lossRecord_.reset();
        return read;
    };
    const bool atEnd = computing_.outflow == TBalanceOptions::TOutflow::End;
    long double sum = 0;
    for (const int field : computing_.lossFields) {
        if (atEnd || volume) {
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

void InflowWork::RequireTimeOrder() {
    const std::optional<std::size_t> back = FirstBackwardStep(FloodSteps, ComputedRecords);
    if (!back) return;
    FailedLine = RecordLine(*back);
    throw Exception("a record earlier than the one before it (a step of " +
                    DecimalToText(DecimalFromReal(FloodSteps[*back].dt)) +
                    " s): the summary and the corrected inflow need the records in time order");
}

std::vector<TCurveAt> InflowWork::CurvesInTime() const {
    std::vector<TCurveAt> curves;
    if (DatedCurves.empty()) return curves;
    curves.push_back({CurvePoints, CurveAreas});
    for (const TDatedCurve& c : DatedCurves) curves.push_back({c.points, c.areas});
    return curves;
}

TRunInputs InflowWork::RunInputs(TRunHeld& held) const {
    held.curves = CurvesInTime();
    held.curveOf = RecordCurves();
    TRunInputs inputs;
    inputs.curve = CurvePoints;
    inputs.area = CurveAreas;
    inputs.curves = held.curves;
    inputs.curveOf = held.curveOf;
    inputs.storageFactor = 1.0 + Balance.bankStorage;
    inputs.skippedRecords = SkippedRecords();
    return inputs;
}

std::vector<std::size_t> InflowWork::RecordCurves() const {
    std::vector<std::size_t> of;
    if (DatedCurves.empty()) return of;
    const TCurvesInTime curves(*this);
    of.resize(FloodSteps.size());
    for (std::size_t k = 0; k < of.size(); ++k) curves.At(FloodSteps[k].T, of[k]);
    return of;
}

std::optional<std::size_t> InflowWork::SkippedRecords() const {
    if (FloodFormat.missing != TMissingMode::Skip) return std::nullopt;
    return FloodSkipped.Count() - restoredGaps_;
}

std::vector<InflowWork::TRestored> InflowWork::RestoreSkipped() {
    // The records are put back among the values as read, in the record as read.
    UndoRepair();
    std::vector<TRestored> restored;
    const std::size_t n = FloodSteps.size();
    auto between = [&](const TSkippedRecord& g) { return g.before > 0 && g.before < n && !g.lossGap; };
    const std::size_t count = static_cast<std::size_t>(std::count_if(FloodGaps.begin(), FloodGaps.end(), between));
    if (count == 0) return restored;
    // The table's rows are the records while it shows them.
    const bool rows = ShowTables && floodShown_;
    gapsAsRead_ = FloodGaps;
    // Every record's line is kept once a line was passed over.
    std::vector<std::int64_t> lines = recordLines_;
    if (lines.size() < n)
        for (std::size_t k = lines.size(); k < n; ++k) lines.push_back(static_cast<std::int64_t>(k) + kFirstDataRow);
    std::vector<TFloodStep> steps;
    std::vector<std::int64_t> newLines;
    TRecordFieldTexts texts;
    TRowTexts shown;
    std::vector<int> newRows;
    steps.reserve(n + count);
    newLines.reserve(n + count);
    std::vector<TSkippedRecord> left;
    std::size_t g = 0;
    for (std::size_t k = 0; k <= n; ++k) {
        for (; g < FloodGaps.size() && FloodGaps[g].before == k; ++g) {
            TSkippedRecord& gap = FloodGaps[g];
            if (!between(gap)) {
                gap.before = steps.size();
                left.push_back(std::move(gap));
                continue;
            }
            restored.push_back({steps.size(), gap.levelRead, gap.outflowRead});
            restoredRecords_.push_back(steps.size());
            if (rows) {
                shown.AddJoined(steps.size(), gap.shown);
                newRows.push_back(static_cast<int>(k) + kFirstDataRow);
            }
            texts.Add(steps.size(), gap.losses);
            steps.push_back(gap.step);
            newLines.push_back(gap.line);
        }
        if (k == n) break;
        if (rows) shown.AddJoined(steps.size(), floodTexts_.Joined(k));
        texts.Add(steps.size(), FloodFieldTexts.AfterOutflow(k));
        steps.push_back(FloodSteps[k]);
        newLines.push_back(lines[k]);
    }
    for (; g < FloodGaps.size(); ++g) {
        FloodGaps[g].before = steps.size();
        left.push_back(std::move(FloodGaps[g]));
    }
    FloodSteps = std::move(steps);
    FloodFieldTexts = std::move(texts);
    recordLines_ = std::move(newLines);
    FloodGaps = std::move(left);
    restoredGaps_ = restored.size();
    ComputedRecords = 0;
    if (rows) {
        floodTexts_ = std::move(shown);
        rowsAsRead_ = StringGrid1.RowCount();
        StringGrid1.InsertRows(newRows);
        for (const std::size_t record : restoredRecords_)
            StringGrid1.SetDerivedCount(static_cast<int>(record) + kFirstDataRow, kTextCells);
        // The empty rows a short record leaves in the table make room for
        // the rows put in, as a read of the whole record would have it.
        const int least = std::max(kResetRows, static_cast<int>(FloodSteps.size()) + kFirstDataRow);
        int count = StringGrid1.RowCount();
        while (count > least && StringGrid1.DerivedCount(count - 1) == 0 && StringGrid1.RowEmpty(count - 1)) --count;
        StringGrid1.SetRowCount(count);
    }
    return restored;
}

void InflowWork::UndoRepair() {
    RestoreReadValues();
    if (restoredRecords_.empty()) return;
    const bool rows = ShowTables && floodShown_;
    std::vector<TFloodStep> steps;
    std::vector<std::int64_t> lines;
    TRecordFieldTexts texts;
    TRowTexts shown;
    std::vector<int> goneRows;
    steps.reserve(FloodSteps.size() - restoredRecords_.size());
    lines.reserve(steps.capacity());
    std::size_t next = 0;
    for (std::size_t k = 0; k < FloodSteps.size(); ++k) {
        if (next < restoredRecords_.size() && restoredRecords_[next] == k) {
            ++next;
            if (rows) goneRows.push_back(static_cast<int>(k) + kFirstDataRow);
            continue;
        }
        if (rows) shown.AddJoined(steps.size(), floodTexts_.Joined(k));
        texts.Add(steps.size(), FloodFieldTexts.AfterOutflow(k));
        if (k < recordLines_.size()) lines.push_back(recordLines_[k]);
        steps.push_back(FloodSteps[k]);
    }
    FloodSteps = std::move(steps);
    FloodFieldTexts = std::move(texts);
    recordLines_ = std::move(lines);
    FloodGaps = std::move(gapsAsRead_);
    gapsAsRead_.clear();
    restoredRecords_.clear();
    restoredGaps_ = 0;
    ComputedRecords = 0;
    if (rows) {
        floodTexts_ = std::move(shown);
        StringGrid1.DeleteRows(goneRows);
        if (StringGrid1.RowCount() < rowsAsRead_) StringGrid1.SetRowCount(rowsAsRead_);
    }
}

TFailedLine InflowWork::RecordLine(std::size_t record) const {
    // Record k is shown in row k + 2 of the table.
    const auto row = static_cast<std::int64_t>(record) + kFirstDataRow;
    if (record < recordLines_.size()) return TFailedLine{floodFile_, recordLines_[record], floodVersion_, row};
    return TFailedLine{floodFile_, row, floodVersion_, row};
}

void InflowWork::WriteResult(const std::string& fileName) {
    LineFile file;
    // Into a temporary that replaces the file only when complete; the
    // channel's destructor removes it when anything below fails.
    file.OpenWriteAtomic(fileName, kWriteBuffer);
    WriteResult(file);
    file.Close();
}

std::size_t InflowWork::ResultRecords() const {
    // Every record the table shows; after the table's reset, as many of the
    // records kept as its empty rows.
    return floodShown_ ? FloodSteps.size() : std::min<std::size_t>(kResetRows - kFirstDataRow, FloodSteps.size());
}

const std::string& InflowWork::ResultHeading(int line, int column) {
    const ColumnLayout& c = FloodColumns().at(static_cast<std::size_t>(column));
    return line == 0 ? c.heading : c.unit;
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

    const std::size_t n = ResultRecords();
    TStampTexts stamps;
    for (std::size_t e = 0; e < n; ++e) AppendResultLine(file, FloodSteps[e], stamps);
}

void InflowWork::ComputeWhileReading(const std::string& fileName, LineFile& out, std::exception_ptr& writeError,
                                     TStreamed& streamed) {
    streamed = {};
    ResetFloodTable();
    std::vector<TFloodStep>().swap(FloodSteps);
    ForgetRepair();
    FloodFieldTexts.Clear();
    FailedLine.reset();
    lossRecord_.reset();
    TFloodLines reading(fileName, FloodFormat);
    LastReadCrAlone = false;
    const TCurvesInTime curves(*this);
    std::size_t previousCurve = 0;
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

    TFloodStep previous;
    std::exception_ptr computeError;
    std::size_t failing = 0;
    std::optional<std::pair<TFloodStep, TFloodStep>> failedStep;
    std::size_t e = 0;
    auto noteReading = [&] {
        FloodSkipped = reading.Skipped;
        FloodGaps.clear();
        restoredGaps_ = 0;
        FloodNotesLine = reading.NotesFirst;
        FloodNotesLines = reading.NotesCount;
        recordLines_ = std::move(reading.lines);
    };
    try {
        reading.ReadHeading();
        for (;; ++e) {
            const auto kind = reading.Next([](const std::vector<std::string_view>&) {});
            if (kind == TFloodLines::TKind::End) break;
            // After a failed reading or computation the rest is only read,
            // for its faults.
            if (reading.Failed() || computeError) continue;
            const TFloodStep& step = reading.Line().step;
            TBalanceResult result;
            try {
                std::size_t index = 0;
                const TCurveLookup& curve = curves.At(step.T, index);
                if (e > 0 && index != previousCurve) previous.V = curve.Storage(previous.Z);
                previousCurve = index;
                result = BalanceStep(e > 0 ? &previous : nullptr, step, curve, Balance);
            } catch (const Exception&) {
                result.error = std::current_exception();
            }
            if (result.error) {
                computeError = result.error;
                failing = e;
                if (e > 0) failedStep.emplace(previous, result.values);
                continue;
            }
            write([&] { AppendResultLine(out, result.values, stamps); });
            streamed.plausibility.Level(result.values.Z);
            streamed.plausibility.Flow(result.values.Qout);
            if (e > 0) streamed.plausibility.Flow(result.values.Qin);
            previous = result.values;
        }
        reading.Finish(FailedLine);
    } catch (...) {
        if (!FailedLine) FailedLine = reading.ShortLineFailure();
        LastReadCrAlone = reading.CrAlone;
        noteReading();
        throw;
    }
    LastReadCrAlone = reading.CrAlone;
    noteReading();
    floodFile_ = fileName;
    floodVersion_ = reading.Version();
    floodUnits_ = reading.Reader().Units();
    floodShown_ = true;
    streamed.records = reading.Records();
    if (computeError) {
        ComputedRecords = failing;
        streamed.failedStep = failedStep;
        NoteFailedRecord(computeError);
        std::rethrow_exception(computeError);
    }
    ComputedRecords = streamed.records;
}
