#include "InflowWork.h"

#include "ChartColors.h"
#include "ChartEngine.h"
#include "Currency.h"
#include "CurveLookup.h"
#include "FloatRules.h"
#include "FloodStamp.h"
#include "Exceptions.h"
#include "LineFile.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>
#include <exception>
#include <filesystem>
#include <string>
#include <system_error>
#include <thread>

namespace {

constexpr int kFloodColumns = 9;
constexpr int kCurveColumns = 2;
// Rows of a table after its reset: headings, units, eight data rows.
constexpr int kResetRows = 10;
constexpr int kFirstDataRow = 2;
// Room a record's row keeps for the six texts the computation adds (a few
// digits each), so that computing rewrites the row where it stands.
constexpr std::size_t kComputedTextRoom = 48;
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

// The text of a column's values that mostly repeat the one before in their
// four decimals (the time step of records at a fixed interval): made once
// per run of equal values.
class TRepeatedNumberText {
public:
    void Append(std::string& out, double value) {
        const Currency units = DecimalFromReal(value);
        if (!valid_ || units != units_) {
            text_.clear();
            AppendDecimalText(text_, units);
            units_ = units;
            valid_ = true;
        }
        out += text_;
    }

private:
    bool valid_ = false;
    Currency units_;
    std::string text_;
};

// The first N pieces of a line as DivideComma cuts it; false when the line
// has fewer (the caller then takes the list's own road, which
// fails at the first missing piece).
template <std::size_t N>
bool FirstPieces(std::string_view line, std::array<std::string_view, N>& pieces) {
    std::size_t start = 0;
    for (std::size_t k = 0; k < N; ++k) {
        if (start > line.size()) return false;
        const void* comma = std::memchr(line.data() + start, ',', line.size() - start);
        const std::size_t end =
            comma ? static_cast<std::size_t>(static_cast<const char*>(comma) - line.data())
                  : line.size();
        pieces[k] = line.substr(start, end - start);
        start = end + 1;   // past the comma, or past the end when there was none
    }
    return true;
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

}  // namespace

InflowWork::InflowWork() : StringGrid1(kFloodColumns, 5), StringGrid2(kCurveColumns, 5) {}

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

void InflowWork::DivideComma(std::string_view line, TStringList& list) {
    list.Clear();
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = line.find(',', start);
        if (comma == std::string_view::npos) break;
        list.Add(line.substr(start, comma - start));
        start = comma + 1;
    }
    list.Add(line.substr(start));
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
    LineFile file;
    // A file that cannot be opened leaves the curve as it was.
    file.OpenRead(fileName);
    try {
        std::string line;
        TStringList list;
        std::array<std::string_view, 2> pieces;
        file.ReadLine(line);   // the heading
        int count = 0;
        int row = kFirstDataRow;
        while (!file.AtEnd()) {
            file.ReadLine(line);
            const std::string_view text = TrimText(line);
            if (FirstPieces(text, pieces)) {
                ++count;
                GrowFor(StringGrid2, row);
                StringGrid2.SetRowCells(row, pieces.data(), 2);
            } else {
                DivideComma(text, list);
                ++count;
                GrowFor(StringGrid2, row);
                StringGrid2.SetCell(0, row, list.Get(0));
                StringGrid2.SetCell(1, row, list.Get(1));
            }
            ++row;
        }
        file.Close();

        std::vector<TCurvePoint> points(static_cast<std::size_t>(count));
        std::array<std::string_view, 2> cells;
        for (int r = kFirstDataRow; r < kFirstDataRow + count; ++r) {
            StringGrid2.GetRowCells(r, cells.data(), 2);
            TCurvePoint& p = points[static_cast<std::size_t>(r - kFirstDataRow)];
            p.Z = ReadNumber(cells[0]);
            p.V = ReadNumber(cells[1]);
        }
        CurvePoints = std::move(points);
    } catch (...) {
        // The table shows where reading stopped; nothing computes on a part.
        std::vector<TCurvePoint>().swap(CurvePoints);
        if (Series1) Series1->RemoveAllPoints();
        throw;
    }

    if (Series1) {
        Series1->RemoveAllPoints();
        for (const TCurvePoint& p : CurvePoints) Series1->AddPoint(p.V, p.Z, "", clDefault);
    }
    if (RepaintChart) RepaintChart();
}

// ---------------------------------------------------------------------------
// The flood record

void InflowWork::ResetFloodTable() {
    ComputedRecords = 0;
    StringGrid1.SetRowCount(kResetRows);
    for (int r = kFirstDataRow; r < kResetRows; ++r) StringGrid1.SetRowCells(r, nullptr, 0);
}

void InflowWork::ReadFlood(const std::string& fileName) {
    LineFile file;
    // A file that cannot be opened leaves the record as it was.
    file.OpenRead(fileName);
    try {
        std::string line;
        TStringList list;
        std::array<std::string_view, 3> pieces;
        std::array<std::string_view, kFloodColumns> cells;
        std::vector<TFloodStep> steps;
        TFloodStampReader stamps;
        // The texts are converted as their rows are filled, in the same order
        // as a pass over the filled table would take; the first failure is
        // kept and raised once every line is in the table, as that pass would.
        std::exception_ptr conversionError;
        TRecordCountGuess guess(fileName);
        file.ReadLine(line);   // the heading
        int count = 0;
        int row = kFirstDataRow;
        while (!file.AtEnd()) {
            file.ReadLine(line);
            if (const std::size_t expected = guess.AfterLine(line.size())) {
                steps.reserve(expected);
                StringGrid1.ReserveRows(static_cast<int>(std::min<std::size_t>(expected + 2, INT_MAX)));
            }
            const std::string_view text = TrimText(line);
            if (FirstPieces(text, pieces)) {
                ++count;
                GrowFor(StringGrid1, row);
                // One write for the three cells; the row's other cells stay.
                if (StringGrid1.RowEmpty(row))
                    cells.fill({});
                else
                    StringGrid1.GetRowCells(row, cells.data(), kFloodColumns);
                cells[0] = pieces[0];
                cells[1] = pieces[1];
                cells[6] = pieces[2];
                StringGrid1.SetRowCells(row, cells.data(), kFloodColumns, kComputedTextRoom);
            } else {
                // Fewer than three pieces: the pieces there are land in their
                // columns before the missing one fails.
                DivideComma(text, list);
                ++count;
                GrowFor(StringGrid1, row);
                StringGrid1.SetCell(0, row, list.Get(0));
                StringGrid1.SetCell(1, row, list.Get(1));
                StringGrid1.SetCell(6, row, list.Get(2));
            }
            if (!conversionError) {
                try {
                    TFloodStep& s = steps.emplace_back();
                    s.T = stamps.Read(pieces[0]);
                    s.Z = ReadNumber(pieces[1]);
                    s.Qout = ReadNumber(pieces[2]);
                } catch (const Exception&) {
                    conversionError = std::current_exception();
                    std::vector<TFloodStep>().swap(steps);
                }
            }
            ++row;
        }
        file.Close();
        if (conversionError) std::rethrow_exception(conversionError);
        FloodSteps = std::move(steps);
    } catch (...) {
        std::vector<TFloodStep>().swap(FloodSteps);
        throw;
    }
}

// ---------------------------------------------------------------------------
// The computation

namespace {

// The texts the computation puts into a stretch of rows, kept as the decimal
// values they show until they are written out. Finding the values, and every
// failure, happens row by row in order; only turning the values into text is
// handed to a second thread, while the next stretch is computed.
struct TComputedStretch {
    static constexpr int kTexts = 6;   // storage, dV, dt, dV/dt, mean outflow, inflow
    int firstRow = 0;
    int rows = 0;
    std::vector<std::array<Currency, kTexts>> values;
    std::vector<std::uint8_t> made;    // texts of each row: 6, 1 for the first record, fewer after a failure
    std::string texts;
    std::vector<std::uint32_t> ends;   // where each made text ends in texts

    // Texts in row order; the time step mostly repeats, so its text is reused.
    void MakeTexts() {
        texts.clear();
        ends.clear();
        bool stepValid = false;
        Currency stepUnits{};
        std::string stepText;
        for (int i = 0; i < rows; ++i) {
            const auto& v = values[static_cast<std::size_t>(i)];
            for (int k = 0; k < made[static_cast<std::size_t>(i)]; ++k) {
                if (k == 2) {
                    if (!stepValid || !(v[2] == stepUnits)) {
                        stepText.clear();
                        AppendDecimalText(stepText, v[2]);
                        stepUnits = v[2];
                        stepValid = true;
                    }
                    texts += stepText;
                } else {
                    AppendDecimalText(texts, v[static_cast<std::size_t>(k)]);
                }
                ends.push_back(static_cast<std::uint32_t>(texts.size()));
            }
        }
    }

    // Writes the texts into their rows; the rows' other cells stay.
    void WriteTexts(TStringGrid& grid) const {
        static constexpr std::array<int, kTexts> column{2, 3, 4, 5, 7, 8};
        std::array<std::string_view, kFloodColumns> cells;
        std::size_t t = 0, start = 0;
        for (int i = 0; i < rows; ++i) {
            const int n = made[static_cast<std::size_t>(i)];
            if (n == 0) continue;
            const int r = firstRow + i;
            grid.GetRowCells(r, cells.data(), kFloodColumns);
            for (int k = 0; k < n; ++k, ++t) {
                cells[static_cast<std::size_t>(column[static_cast<std::size_t>(k)])] =
                    std::string_view(texts).substr(start, ends[t] - start);
                start = ends[t];
            }
            grid.SetRowCells(r, cells.data(), kFloodColumns);
        }
    }
};

// Rows per stretch of the computation.
constexpr int kComputeStretch = 16384;

}  // namespace

void InflowWork::Compute() {
    ComputedRecords = 0;
    TStringGrid& grid = StringGrid1;
    const int rowCount = grid.RowCount();
    if (rowCount < 3) return;
    // The rows that hold a record, and no further than the table.
    const long long lastRow =
        std::min<long long>(rowCount - 1, kFirstDataRow - 1 + static_cast<long long>(FloodSteps.size()));
    if (lastRow < kFirstDataRow) return;

    const TCurveLookup curve(CurvePoints);
    std::array<std::string_view, kFloodColumns> cells;
    std::exception_ptr failure;
    int failedRow = 0;

    // The values of rows first .. first + count - 1, in order; stops at the
    // first failure, whose row keeps the texts made before it.
    auto computeStretch = [&](TComputedStretch& out, int first, int count) {
        out.firstRow = first;
        out.rows = 0;
        out.values.resize(static_cast<std::size_t>(count));
        out.made.assign(static_cast<std::size_t>(count), 0);
        for (int i = 0; i < count; ++i) {
            const int r = first + i;
            grid.GetRowCells(r, cells.data(), kFloodColumns);
            TFloodStep& step = FloodSteps[static_cast<std::size_t>(r - kFirstDataRow)];
            auto& v = out.values[static_cast<std::size_t>(i)];
            std::uint8_t& made = out.made[static_cast<std::size_t>(i)];
            out.rows = i + 1;
            try {
                // Both conversions of the level text give the same storage: one serves.
                const double storage = curve.Storage(ReadNumber(cells[1]));
                v[made] = DecimalFromReal(storage), ++made;
                step.V = storage;
                if (r > kFirstDataRow) {
                    const TFloodStep& prev = FloodSteps[static_cast<std::size_t>(r - kFirstDataRow - 1)];
                    step.dV = EvalFormula([&] { return static_cast<long double>(step.V) - prev.V; });
                    v[made] = DecimalFromReal(step.dV), ++made;
                    step.dt = EvalFormula(
                        [&] { return (static_cast<long double>(step.T) - prev.T) * 24.0L * 3600.0L; });
                    v[made] = DecimalFromReal(step.dt), ++made;
                    step.dVdt = EvalFormula([&] { return static_cast<long double>(step.dV) * 1e8L / step.dt; });
                    v[made] = DecimalFromReal(step.dVdt), ++made;
                    step.qMean =
                        EvalFormula([&] { return (static_cast<long double>(step.Qout) + prev.Qout) / 2.0L; });
                    v[made] = DecimalFromReal(step.qMean), ++made;
                    step.Qin = EvalFormula([&] { return static_cast<long double>(step.dVdt) + step.qMean; });
                    v[made] = DecimalFromReal(step.Qin), ++made;
                }
            } catch (...) {
                failure = std::current_exception();
                failedRow = r;
                return;
            }
        }
    };

    // One stretch is turned into text beside the computing of the next; a
    // stretch's texts reach the table before the next stretch's.
    TComputedStretch stretches[2];
    int current = 0;
    std::thread helper;
    bool pending = false;  // stretches[1 - current] awaits its texts
    auto finishPending = [&] {
        if (!pending) return;
        if (helper.joinable()) helper.join();
        stretches[1 - current].WriteTexts(grid);
        pending = false;
    };
    try {
        for (int first = kFirstDataRow; first <= static_cast<int>(lastRow) && !failure; first += kComputeStretch) {
            const int count = std::min<int>(kComputeStretch, static_cast<int>(lastRow) - first + 1);
            TComputedStretch& mine = stretches[current];
            computeStretch(mine, first, count);
            finishPending();
            if (failure || first + count > static_cast<int>(lastRow)) {
                mine.MakeTexts();
                mine.WriteTexts(grid);
                break;
            }
            try {
                helper = std::thread([&mine] { mine.MakeTexts(); });
            } catch (const std::system_error&) {
                mine.MakeTexts();  // no thread to be had: in turn
            }
            pending = true;
            current = 1 - current;
        }
        finishPending();
    } catch (...) {
        if (helper.joinable()) helper.join();
        throw;
    }
    ComputedRecords = static_cast<std::size_t>((failure ? failedRow : lastRow + 1) - kFirstDataRow);
    if (failure) std::rethrow_exception(failure);
}

// ---------------------------------------------------------------------------
// The result file

namespace {

// One stretch of the result file's record lines, made apart from the writing
// so that two stretches can be made at once. Making stops at the first record
// that cannot be written; the lines before it are kept, so the file receives
// exactly what a record-by-record run would have written before failing.
struct TResultLines {
    std::string text;
    std::exception_ptr failure;

    void Make(const std::vector<TFloodStep>& steps, std::size_t begin, std::size_t end) {
        text.clear();
        failure = nullptr;
        TStampTexts stamps;
        TRepeatedNumberText stepTexts;
        try {
            for (std::size_t e = begin; e < end; ++e) {
                const std::size_t lineStart = text.size();
                try {
                    AppendLine(steps[e], stamps, stepTexts);
                } catch (...) {
                    text.resize(lineStart);
                    throw;
                }
            }
        } catch (...) {
            failure = std::current_exception();
        }
    }

    void AppendLine(const TFloodStep& s, TStampTexts& stamps, TRepeatedNumberText& stepTexts) {
        stamps.Append(text, s.T);
        text += ',';
        for (const double value : {s.Z, s.V, s.dV}) {
            AppendNumber(text, value);
            text += ',';
        }
        stepTexts.Append(text, s.dt);
        text += ',';
        for (const double value : {s.dVdt, s.Qout, s.qMean, s.Qin}) {
            AppendNumber(text, value);
            text += ',';
        }
        text += "\r\n";
    }

    void WriteTo(LineFile& file) const {
        file.Write(text);
        if (failure) std::rethrow_exception(failure);
    }
};

// Records per stretch, and the fewest records worth a second thread.
constexpr std::size_t kStretch = 16384;
constexpr std::size_t kParallelFrom = 2 * kStretch;

}  // namespace

void InflowWork::WriteResult(const std::string& fileName) {
    LineFile file;
    // Into a temporary that replaces the file only when complete; the
    // channel's destructor removes it when anything below fails.
    file.OpenWriteAtomic(fileName, kWriteBuffer);
    const int cols = StringGrid1.ColCount();
    for (int row = 0; row < 2; ++row) {
        for (int c = 0; c < cols; ++c) {
            file.Write(StringGrid1.Cell(c, row));
            if (c + 1 < cols) file.Write(" , ");
        }
        file.EndLine();
    }

    const std::size_t tableRows =
        StringGrid1.RowCount() > 2 ? static_cast<std::size_t>(StringGrid1.RowCount() - 2) : 0;
    const std::size_t n = std::min(tableRows, FloodSteps.size());
    // Number to text is most of the work: a second thread makes every other
    // stretch while this one makes and writes its own, then writes the
    // other's, so the lines reach the file in order.
    TResultLines mine, other;
    std::size_t e = 0;
    if (n >= kParallelFrom) {
        for (; e + kStretch < n; e += 2 * kStretch) {
            const std::size_t mid = e + kStretch, end = std::min(n, mid + kStretch);
            std::thread helper;
            try {
                helper = std::thread([&] { other.Make(FloodSteps, mid, end); });
            } catch (const std::system_error&) {
                other.Make(FloodSteps, mid, end);  // no thread to be had: in turn
            }
            try {
                mine.Make(FloodSteps, e, mid);
                mine.WriteTo(file);
            } catch (...) {
                if (helper.joinable()) helper.join();
                throw;
            }
            if (helper.joinable()) helper.join();
            other.WriteTo(file);
        }
    }
    if (e < n) {
        mine.Make(FloodSteps, e, n);
        mine.WriteTo(file);
    }
    file.Close();
}
