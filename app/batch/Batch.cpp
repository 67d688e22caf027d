#include "Batch.h"

#include "AppVersion.h"
#include "BalanceOptions.h"
#include "ChartExport.h"
#include "Currency.h"
#include "ErrorReport.h"
#include "Exceptions.h"
#include "FloodRun.h"
#include "FloodSummary.h"
#include "InflowCorrection.h"
#include "InflowWork.h"
#include "LineFile.h"
#include "OutputSet.h"
#include "RecordCheck.h"
#include "RecordLine.h"
#include "OptionText.h"
#include "Plausibility.h"
#include "RecordFormat.h"
#include "RecordGaps.h"
#include "DatedCurves.h"
#include "ResultWorkbook.h"
#include "TidyTable.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <filesystem>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: quelmora --curve CURVE [--flood FLOOD] [--out RESULT] [--chart PNG]\n"
    "                [--hydrograph PNG] [--summary FILE] [--corrected FILE]\n"
    "                [--table FILE] [--xlsx FILE]\n"
    "                [--outflow mean|end] [--bank-storage K] [--losses F[,F...]]\n"
    "                [--smooth N] [--negative redistribute] [FORMAT...]\n"
    "       quelmora --check --curve CURVE [--flood FLOOD] [--losses F[,F...]]\n"
    "                [FORMAT...]\n"
    "       quelmora --help | --version\n"
    "       quelmora                      (the window)\n"
    "       quelmora --window [--curve CURVE] [--flood FLOOD] [--compute]\n"
    "                [--outflow ...] [--bank-storage ...] [--losses ...]\n"
    "                [--smooth ...] [--negative ...] [FILE...]\n"
    "                                     (the window with the files read, as\n"
    "                                     its buttons read them; a FILE is a\n"
    "                                     curve or a record by its fields)\n"
    "\n"
    "Back-calculates a reservoir's inflow from its level-storage curve and a\n"
    "flood record of levels and outflows, as the window's four buttons do.\n"
    "\n"
    "  --curve CURVE   the level-storage curve file (a heading line, then\n"
    "                  \"level,storage\" lines; m and 10^8 m^3)\n"
    "  --flood FLOOD   the flood record file (a heading line, then\n"
    "                  \"yyyy-mm-dd hh-mm-ss,level,outflow\" lines); without it\n"
    "                  only the curve is read\n"
    "  --out RESULT    where the result file goes; standard output when absent\n"
    "                  or \"-\" (needs --flood)\n"
    "  --chart PNG     draws the curve chart as the window shows it after the\n"
    "                  curve is read (505 x 313 pixels) into a PNG file;\n"
    "                  \"-\" for standard output\n"
    "  --hydrograph PNG\n"
    "                  draws the flood's hydrograph as the window's page shows\n"
    "                  it after the computation (720 x 290 pixels) into a PNG\n"
    "                  file; \"-\" for standard output (needs --flood)\n"
    "  --summary FILE  writes the flood's summary after the computation (CSV:\n"
    "                  item,value,unit,time); \"-\" for standard output (needs\n"
    "                  --flood)\n"
    "  --corrected FILE\n"
    "                  writes the computed and the corrected inflow (CSV:\n"
    "                  time,inflow,corrected_inflow); \"-\" for standard output\n"
    "                  (needs --flood)\n"
    "  --table FILE    writes every record's values for scripts (CSV, LF, '.'\n"
    "                  decimals, numbers read back exactly; columns time (ISO),\n"
    "                  level, storage, storage change, step, storage rate,\n"
    "                  outflow, outflow term, inflow and, with a correction,\n"
    "                  the corrected inflow, each heading with its unit, as\n"
    "                  inflow_m3s); \"-\" for standard output (needs --flood)\n"
    "  --xlsx FILE     writes the results as an Excel workbook: the result\n"
    "                  table, the summary, the corrected inflow (with a\n"
    "                  correction) and the hydrograph; \"-\" for standard\n"
    "                  output (needs --flood)\n"
    "\n"
    "The water balance (the defaults give the plain balance):\n"
    "  --outflow mean|end\n"
    "                  the outflow over a step: the mean of the records at its\n"
    "                  two ends (default), or the outflow recorded at its end\n"
    "  --bank-storage K\n"
    "                  K >= 0: the storage term becomes (1 + K) dV 10^8 / dt\n"
    "                  (default 0)\n"
    "  --losses F[,F...]\n"
    "                  further fields of the flood record (4 = the fourth,\n"
    "                  after the outflow), flows in m^3/s added to the\n"
    "                  outflow term, taken as mean or end like the outflow\n"
    "\n"
    "The corrected inflow, beside the computed one (smoothing first):\n"
    "  --smooth N      a centred moving average over N steps (odd, >= 3),\n"
    "                  each weighted by its step's length\n"
    "  --negative redistribute\n"
    "                  negative inflows set to 0 and their water taken from\n"
    "                  the following steps, keeping the volume\n"
    "\n"
    "How the files are laid out (FORMAT; without these, as above):\n"
    "  --columns time=COL,level=COL,outflow=COL[,loss=COL...]\n"
    "                  the flood record's fields by heading (as the first\n"
    "                  line has it; case and blanks aside) or number from 1;\n"
    "                  other fields are ignored; the losses are added to the\n"
    "                  outflow term as with --losses\n"
    "  --curve-columns level=COL,storage=COL[,area=COL]\n"
    "                  the curve file's fields likewise\n"
    "  --units level=m|ft,storage=1e8m3|1e6m3|m3|af|kaf|maf,flow=m3/s|cfs,\n"
    "          loss=m3/s|cfs|m3|af\n"
    "                  the files' units (defaults m, 1e8m3, m3/s, m3/s),\n"
    "                  converted exactly when read; a loss in m3 or af is the\n"
    "                  volume over the step that ends at its record\n"
    "  --date-order dmy|mdy|ymd\n"
    "                  numeric dates with '/', '.' or '-' in this order,\n"
    "                  whatever the locale\n"
    "  --time-format unix-s|unix-ms\n"
    "                  stamps as seconds or milliseconds since 1970-01-01 UTC\n"
    "  --utc-offset +HH:MM\n"
    "                  the reservoir's local time from UTC stamps\n"
    "  --missing skip  a record whose level, outflow or mapped loss is blank\n"
    "                  or a missing value is skipped, with a warning; the step\n"
    "                  around it spans the gap\n"
    "  --missing-value V\n"
    "                  (repeatable) a number that stands for no value\n"
    "With --columns, lines at the end of the record whose time is no time\n"
    "stamp are the agency's notes: ignored, with one warning.\n"
    "\n"
    "  --check         reads the curve and the flood record and prints every\n"
    "                  problem, one per line as FILE:LINE: MESSAGE, without\n"
    "                  computing or writing anything; exit status 0 when\n"
    "                  clean, 1 otherwise\n"
    "  --help          this text\n"
    "  --version       the program's version\n"
    "\n"
    "At most one output goes to standard output; the result goes there when\n"
    "--out is absent. No output may name an input or another output's file;\n"
    "every output is written, or none. A file whose name begins with two\n"
    "dashes is given with ./ before it.\n";

struct BatchOptions {
    std::optional<std::string> curve;
    // Every --curve in order (the first also in `curve`), and as read: the
    // curve that holds from the start (or the earliest), the dated others.
    std::vector<std::string> curveTexts;
    TCurveArgument firstCurve;
    std::vector<TCurveArgument> datedCurves;
    std::optional<std::string> curve2;   // a further --curve while it is read
    std::optional<std::string> flood;
    std::optional<std::string> out;
    std::optional<std::string> chart;
    std::optional<std::string> hydrograph;
    std::optional<std::string> summary;
    std::optional<std::string> corrected;
    std::optional<std::string> table;
    std::optional<std::string> xlsx;
    // The choices as given, checked and read once all arguments are in.
    std::optional<std::string> outflow;
    std::optional<std::string> bankStorage;
    std::optional<std::string> losses;
    std::optional<std::string> smooth;
    std::optional<std::string> negative;
    TBalanceOptions balance;
    TCorrectionOptions correction;
    // The files' layout options as given, and as read.
    TOptionPairs format;
    TRecordFormat curveFormat;
    TRecordFormat floodFormat;
    bool check = false;
    bool help = false;
    bool version = false;
};

struct UsageError {
    std::string reason;
};

// An option whose value the data shows to be unusable (exit status 2, without
// the usage).
struct OptionFault {
    std::string reason;
};

// The result goes out in pieces of this size.
constexpr std::size_t kResultBuffer = 256 * 1024;

// The options with a value, as "--name VALUE" or "--name=VALUE".
std::optional<std::string>* ValueOption(BatchOptions& options, std::string_view name) {
    if (name == "--curve") return &options.curve;
    if (name == "--flood") return &options.flood;
    if (name == "--out") return &options.out;
    if (name == "--chart") return &options.chart;
    if (name == "--hydrograph") return &options.hydrograph;
    if (name == "--summary") return &options.summary;
    if (name == "--corrected") return &options.corrected;
    if (name == "--table") return &options.table;
    if (name == "--xlsx") return &options.xlsx;
    if (name == "--outflow") return &options.outflow;
    if (name == "--bank-storage") return &options.bankStorage;
    if (name == "--losses") return &options.losses;
    if (name == "--smooth") return &options.smooth;
    if (name == "--negative") return &options.negative;
    return nullptr;
}


// A whole argument as a number, the same under every locale.
template <typename T>
std::optional<T> WholeNumber(const std::string& text) {
    T value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (error != std::errc() || stop != end) return std::nullopt;
    return value;
}

void ReadChoices(BatchOptions& options) {
    if (options.outflow) {
        if (*options.outflow == "end")
            options.balance.outflow = TBalanceOptions::TOutflow::End;
        else if (*options.outflow != "mean")
            throw UsageError{"--outflow is mean or end, not '" + *options.outflow + "'"};
    }
    if (options.bankStorage) {
        const auto k = WholeNumber<double>(*options.bankStorage);
        if (!k || !std::isfinite(*k) || *k < 0)
            throw UsageError{"--bank-storage needs a number K >= 0, not '" + *options.bankStorage + "'"};
        options.balance.bankStorage = *k;
    }
    if (options.losses) {
        const std::string& list = *options.losses;
        std::vector<std::string_view> pieces;
        SplitFields(list, pieces);
        for (const std::string_view piece : pieces) {
            const auto field = WholeNumber<int>(std::string(piece));
            if (!field || *field < 4)
                throw UsageError{"--losses needs field numbers of 4 or more, as 4,5; not '" + list + "'"};
            // Counted twice, a loss would be taken twice.
            std::vector<int>& fields = options.balance.lossFields;
            if (std::find(fields.begin(), fields.end(), *field) != fields.end())
                throw UsageError{"--losses names field " + std::to_string(*field) + " twice: '" + list + "'"};
            fields.push_back(*field);
        }
    }
    if (options.smooth) {
        const auto n = WholeNumber<int>(*options.smooth);
        if (!n || *n < 3 || *n % 2 == 0)
            throw UsageError{"--smooth needs an odd number of steps, 3 or more, not '" + *options.smooth + "'"};
        options.correction.smooth = *n;
    }
    if (options.negative) {
        if (*options.negative != "redistribute")
            throw UsageError{"--negative takes redistribute, not '" + *options.negative + "'"};
        options.correction.redistribute = true;
    }
}

// The layout options, each to the file it describes (--units to both).
void ReadFormats(BatchOptions& options) {
    TOptionPairs curve, flood;
    for (const auto& pair : options.format) {
        if (IsFormatOption(TFileKind::Curve, pair.first)) curve.push_back(pair);
        if (IsFormatOption(TFileKind::Flood, pair.first)) flood.push_back(pair);
        if (!IsFormatOption(TFileKind::Curve, pair.first) && !options.flood)
            throw UsageError{pair.first + " describes the flood record: it needs --flood"};
    }
    try {
        options.curveFormat = ReadRecordFormat(TFileKind::Curve, curve);
        options.floodFormat = ReadRecordFormat(TFileKind::Flood, flood);
    } catch (const EOptionError& e) {
        throw UsageError{e.what()};
    }
    if (options.floodFormat.columns && !options.balance.lossFields.empty())
        throw UsageError{"--losses counts the fields of the plain record; with --columns, name the losses there as "
                         "loss=COL"};
}

// One curve as before; several, each but one with its first day.
void ReadCurves(BatchOptions& options) {
    std::vector<TCurveArgument> curves;
    try {
        // A single curve that names an existing file is that file, '@' and all.
        std::error_code noFile;
        if (options.curveTexts.size() == 1 && std::filesystem::exists(options.curveTexts.front(), noFile)) {
            curves.push_back({options.curveTexts.front(), std::nullopt});
        } else {
            for (const std::string& text : options.curveTexts) curves.push_back(ParseCurveArgument(text));
        }
        const TCurveSchedule schedule(curves);   // refuses two undated, two from one day
    } catch (const EOptionError& e) {
        throw UsageError{e.what()};
    }
    // The curve that holds first reads as the only curve does.
    const auto first = std::min_element(curves.begin(), curves.end(), [](const TCurveArgument& a, const TCurveArgument& b) {
        return a.fromDay.value_or(INT64_MIN) < b.fromDay.value_or(INT64_MIN);
    });
    options.firstCurve = *first;
    options.curve = first->file;
    for (auto c = curves.begin(); c != curves.end(); ++c)
        if (c != first) options.datedCurves.push_back(*c);
    std::sort(options.datedCurves.begin(), options.datedCurves.end(),
              [](const TCurveArgument& a, const TCurveArgument& b) { return *a.fromDay < *b.fromDay; });
}

// Whether the columns name losses.
bool MapsLosses(const TRecordFormat& format) {
    if (!format.columns) return false;
    return std::any_of(format.columns->choices.begin(), format.columns->choices.end(),
                       [](const TColumnChoice& c) { return c.quantity == TRecordQuantity::Loss; });
}

BatchOptions ParseArguments(int argc, char** argv) {
    BatchOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--version") {
            options.version = true;
            continue;
        }
        if (arg == "--check") {
            options.check = true;
            continue;
        }
        const std::size_t equals = arg.find('=');
        const std::string_view name = arg.substr(0, equals);
        if (IsFormatOption(TFileKind::Flood, name) || IsFormatOption(TFileKind::Curve, name)) {
            std::string value;
            if (equals != std::string_view::npos) {
                value = std::string(arg.substr(equals + 1));
            } else {
                if (i + 1 >= argc || std::string_view(argv[i + 1]).starts_with("--"))
                    throw UsageError{std::string(name) + " needs a value"};
                value = argv[++i];
            }
            if (value.empty()) throw UsageError{std::string(name) + " needs a value"};
            options.format.emplace_back(std::string(name), std::move(value));
            continue;
        }
        std::optional<std::string>* slot = arg.starts_with("--") ? ValueOption(options, name) : nullptr;
        if (!slot) throw UsageError{"unknown argument '" + std::string(arg) + "'"};
        // Several curves, each from its day on.
        if (slot == &options.curve && options.curve) slot = &options.curve2;
        const bool choice = slot == &options.outflow || slot == &options.bankStorage || slot == &options.losses ||
                            slot == &options.smooth || slot == &options.negative;
        const std::string missing = std::string(name) + (choice ? " needs a value" : " needs a file name");
        std::string value;
        if (equals != std::string_view::npos) {
            value = std::string(arg.substr(equals + 1));
        } else {
            if (i + 1 >= argc) throw UsageError{missing};
            value = argv[++i];
            // "--out --help": the option's value forgotten, the next option
            // taken for it.
            if (value.starts_with("--") || value == "-h")
                throw UsageError{missing + ", not the option '" + value + "'" +
                                 (choice ? "" : " (a file of that name is given as ./" + value + ")")};
        }
        if (slot->has_value()) throw UsageError{std::string(name) + " given twice"};
        if (value.empty()) throw UsageError{missing};
        if (slot == &options.curve || slot == &options.curve2) options.curveTexts.push_back(value);
        *slot = std::move(value);
        options.curve2.reset();
    }
    if (options.help || options.version) return options;
    if (!options.curve) throw UsageError{"--curve is required"};
    ReadChoices(options);
    ReadFormats(options);
    ReadCurves(options);
    if (options.check) {
        if (options.out || options.chart || options.hydrograph || options.summary || options.corrected ||
            options.table || options.xlsx)
            throw UsageError{"--check writes nothing: no --out, --chart, --hydrograph, --summary, --corrected, "
                             "--table or --xlsx with it"};
        return options;
    }
    if (options.out && !options.flood) throw UsageError{"--out needs --flood"};
    if (options.hydrograph && !options.flood) throw UsageError{"--hydrograph needs --flood"};
    if (options.summary && !options.flood) throw UsageError{"--summary needs --flood"};
    if (options.corrected && !options.flood) throw UsageError{"--corrected needs --flood"};
    if (options.table && !options.flood) throw UsageError{"--table needs --flood"};
    if (options.xlsx && !options.flood) throw UsageError{"--xlsx needs --flood"};
    return options;
}

// Every problem of the files on standard output; true when there is none.
bool Check(const BatchOptions& options) {
    if (StandardOutputWasClosed())
        throw EOutputRefused(std::string(TOutputSet::kStandardOutput) + ": Bad file descriptor", 1);
    TRecordCheckOptions check;
    check.lossFields = options.balance.lossFields;
    check.curveFormat = options.curveFormat;
    check.format = options.floodFormat;
    check.datedCurves = options.datedCurves;
    check.curveFrom = options.firstCurve.fromDay;
    const std::vector<TRecordProblem> problems = CheckRecordFiles(*options.curve, options.flood.value_or(""), check);
    std::string text;
    for (const TRecordProblem& problem : problems) {
        // A line quoted from a file reaches a terminal as text.
        text += EscapeControls(ProblemText(problem));
        text += '\n';
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return problems.empty();
}

// "no records: ..." for a file that gave none.
std::string NoRecords(const std::string& file, const char* what, bool crAlone) {
    return file + ": no " + what + ": " +
           (crAlone ? "its lines end with CR alone, which the reader does not take as line ends"
                    : "the file has no line after its heading");
}

// After a computation that failed with K > 0: whether the storage term failed
// where the plain one (K = 0) has a value the table can show, which makes the
// fault the option's rather than the record's.
bool BankStorageToBlame(const TFloodStep& prev, const TFloodStep& step, double k) {
    const long double dt = (ElapsedDays(step.T) - ElapsedDays(prev.T)) * 24.0L * 3600.0L;
    const long double plain = (static_cast<long double>(step.V) - prev.V) * 1e8L / dt;
    const long double withBanks = (1.0L + k) * plain;
    auto shown = [](long double x) { return std::isfinite(x) && DecimalInRange(static_cast<double>(x)); };
    return shown(plain) && !shown(withBanks);
}

bool BankStorageToBlame(const InflowWork& work, double k) {
    const std::size_t e = work.ComputedRecords;
    if (k == 0 || e == 0 || e >= work.FloodSteps.size()) return false;
    return BankStorageToBlame(work.FloodSteps[e - 1], work.FloodSteps[e], k);
}

// The fault of a computation that failed because of --bank-storage.
OptionFault BankStorageFault(InflowWork& work, const BatchOptions& options) {
    work.FailedLine.reset();
    return OptionFault{"--bank-storage " + *options.bankStorage +
                       " is too large: the storage term (1 + K) dV 10^8 / dt goes beyond every number at " +
                       *options.flood + ":" + std::to_string(work.RecordLine(work.ComputedRecords).line) +
                       ", where the plain term has one"};
}

// What the reader passed over, on standard error: the records skipped as
// gaps and the notes at the end.
void TellPassedOver(const InflowWork& work, const std::string& file) {
    std::string text = work.FloodSkipped.Text(file);
    if (work.FloodNotesLines) text += NotesWarning(file, work.FloodNotesLine, work.FloodNotesLines) + "\n";
    if (text.empty()) return;
    std::string lines;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = text.find('\n', start);
        lines += std::string(kAppName) + ": " + EscapeControls(text.substr(start, end - start)) + "\n";
        start = end + 1;
    }
    std::fwrite(lines.data(), 1, lines.size(), stderr);
}

// Values no river or lake has: said once, naming --units.
void TellUnits(const TUnitPlausibility& plausibility) {
    if (const std::optional<std::string> message = plausibility.Message())
        std::fprintf(stderr, "%s: %s\n", kAppName, EscapeControls(*message).c_str());
}

// Only the result asked for, and a balance that needs no further field: each
// record can be written as it is computed, none kept.
bool ResultAlone(const BatchOptions& options) {
    return options.flood && !options.hydrograph && !options.summary && !options.corrected && !options.table &&
           !options.xlsx && !options.correction.Any() && options.balance.lossFields.empty() &&
           !MapsLosses(options.floodFormat);
}

void Run(const BatchOptions& options, InflowWork& work) {
    // Every name is known before anything is read: an output that would
    // replace an input or another output is refused now.
    TOutputSet outputs;
    outputs.AddInput("--curve", *options.curve);
    for (const TCurveArgument& c : options.datedCurves) outputs.AddInput("--curve", c.file);
    if (options.flood) outputs.AddInput("--flood", *options.flood);
    constexpr std::size_t kNone = SIZE_MAX;
    auto add = [&](const char* option, const std::optional<std::string>& name, std::size_t buffer = 1 << 16) {
        return name ? outputs.AddOutput(option, *name, buffer) : kNone;
    };
    // The result goes to standard output when --out is absent.
    const std::size_t result = options.flood ? outputs.AddOutput(options.out ? "--out" : "the result (no --out)",
                                                                 options.out.value_or("-"), kResultBuffer)
                                             : kNone;
    const std::size_t chartOut = add("--chart", options.chart);
    const std::size_t hydrographOut = add("--hydrograph", options.hydrograph);
    const std::size_t summaryOut = add("--summary", options.summary);
    const std::size_t correctedOut = add("--corrected", options.corrected, kResultBuffer);
    const std::size_t tableOut = add("--table", options.table, kResultBuffer);
    const std::size_t xlsxOut = add("--xlsx", options.xlsx);
    outputs.Check(StandardOutputWasClosed());

    // Then every input is read and the work done, before any output is made.
    // No table is shown: the records alone are made.
    work.ShowTables = false;
    work.FormCreate();
    std::optional<TChartExport> chart;
    if (options.chart) chart.emplace();
    work.CurveFormat = options.curveFormat;
    work.FloodFormat = options.floodFormat;
    // The dated curves first: the last read is the one the chart shows.
    for (const TCurveArgument& c : options.datedCurves) {
        work.ReadCurve(c.file);
        if (work.CurvePoints.empty()) throw Exception(NoRecords(c.file, "points", work.LastReadCrAlone));
        work.DatedCurves.push_back({c.file, *c.fromDay, std::move(work.CurvePoints)});
        work.CurvePoints.clear();
    }
    work.CurvePointsFile = *options.curve;
    work.CurvePointsFrom = options.firstCurve.fromDay;
    if (chart) work.CurvePlot = &chart->Plot();
    work.ResetCurveTable();
    work.ReadCurve(*options.curve);
    if (work.CurvePoints.empty()) throw Exception(NoRecords(*options.curve, "points", work.LastReadCrAlone));
    if (chartOut != kNone) outputs.SetWriter(chartOut, [&](LineFile& file) { file.Write(chart->PngBytes()); });

    // A result that can be staged is made while the record is read: a long
    // record then costs no memory. Anything else (standard output, a pipe)
    // gets it once every record was computed, as a failure must leave it
    // untouched.
    LineFile* early = ResultAlone(options) ? outputs.StageEarly(result) : nullptr;
    if (early) {
        work.Balance = options.balance;
        std::exception_ptr writeError;
        InflowWork::TStreamed streamed;
        try {
            work.ComputeWhileReading(*options.flood, *early, writeError, streamed);
        } catch (const EMathError&) {
            const double k = options.balance.bankStorage;
            if (k == 0 || !streamed.failedStep || !BankStorageToBlame(streamed.failedStep->first, streamed.failedStep->second, k))
                throw;
            throw BankStorageFault(work, options);
        }
        TellPassedOver(work, *options.flood);
        if (streamed.records == 0) throw Exception(NoRecords(*options.flood, "records", work.LastReadCrAlone));
        if (writeError) outputs.EarlyWriteFailed(result, writeError);
        TellUnits(streamed.plausibility);
    }

    TFloodRun run;
    if (options.flood && !early) {
        work.Balance = options.balance;
        work.ResetFloodTable();
        try {
            work.ReadFlood(*options.flood);
        } catch (...) {
            TellPassedOver(work, *options.flood);
            throw;
        }
        TellPassedOver(work, *options.flood);
        if (work.FloodSteps.empty()) throw Exception(NoRecords(*options.flood, "records", work.LastReadCrAlone));
        try {
            work.Compute();
        } catch (const EMathError&) {
            if (!BankStorageToBlame(work, options.balance.bankStorage)) throw;
            throw BankStorageFault(work, options);
        }
        const std::size_t computed = work.ComputedRecords;
        TUnitPlausibility plausibility;
        for (std::size_t e = 0; e < computed; ++e) {
            const TFloodStep& step = work.FloodSteps[e];
            plausibility.Level(step.Z);
            plausibility.Flow(step.Qout);
            if (e > 0) plausibility.Flow(step.Qin);
        }
        TellUnits(plausibility);
        // A step back in time would count its water with the wrong sign.
        if (options.summary || options.corrected || options.xlsx || options.correction.Any()) {
            if (const auto back = FirstBackwardStep(work.FloodSteps, computed)) {
                work.FailedLine = work.RecordLine(*back);
                throw Exception("a record earlier than the one before it (a step of " +
                                DecimalToText(DecimalFromReal(work.FloodSteps[*back].dt)) +
                                " s): the summary and the corrected inflow need the records in time order");
            }
        }
        run = RunFlood(work.FloodSteps, computed, options.correction, options.summary || options.xlsx);
        if (run.negativeVolume)
            std::fprintf(stderr,
                         "%s: the record's inflow volume is negative: its negative inflows cannot be redistributed; "
                         "the corrected inflow keeps them\n",
                         kAppName);
        if (run.summaryError) std::rethrow_exception(run.summaryError);
        outputs.SetWriter(result, [&](LineFile& file) { work.WriteResult(file); });
        if (hydrographOut != kNone)
            outputs.SetWriter(hydrographOut, [&](LineFile& file) {
                THydrographExport hydrograph;
                hydrograph.Show(work.FloodSteps, work.ComputedRecords, run.corrected);
                file.Write(hydrograph.PngBytes());
            });
        // The summary, the table and the workbook's summary in the flood
        // record's units, as --units gives them (the program's own without
        // it: the summary is then what it always was).
        if (summaryOut != kNone)
            outputs.SetWriter(summaryOut, [&](LineFile& file) { file.Write(SummaryText(*run.summary, work.FloodFormat.units)); });
        if (correctedOut != kNone)
            outputs.SetWriter(correctedOut, [&](LineFile& file) {
                WriteCorrectedText(file, work.FloodSteps, work.ComputedRecords, run.corrected);
            });
        if (tableOut != kNone)
            outputs.SetWriter(tableOut, [&](LineFile& file) {
                TTidyTableSource table{work.FloodSteps, work.ComputedRecords, std::nullopt, work.FloodFormat.units};
                if (options.correction.Any()) table.corrected = std::span<const double>(run.corrected);
                WriteTidyTable(file, table);
            });
        if (xlsxOut != kNone)
            outputs.SetWriter(xlsxOut, [&](LineFile& file) {
                WriteResultWorkbook(file, {work, run, options.correction.Any(), work.FloodFormat.units,
                                           HydrographPng(work, run)});
            });
    }
    // Everything or nothing; standard output last.
    std::fflush(stdout);
    outputs.Commit();
}

// "quelmora: TEXT" on standard error, control characters escaped.
void PrintError(const std::string& text) {
    const std::string line = std::string(kAppName) + ": " + EscapeControls(text) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

// The second line of an error that belongs to a line of a file: the place,
// and the line as read when the file still holds it (a long one shortened as
// the message is).
void PrintFailedLine(const TFailedLine& failed) {
    if (failed.file.empty()) return;
    std::string text = failed.file + ":" + std::to_string(failed.line);
    if (const std::optional<std::string> line = ReadLineAt(failed.file, failed.line, failed.version)) {
        text += ": ";
        text += ShortenedText(*line);
    }
    PrintError(text);
}

}  // namespace

int RunBatch(int argc, char** argv) {
    BatchOptions options;
    try {
        options = ParseArguments(argc, argv);
    } catch (const UsageError& e) {
        PrintError(e.reason);
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (options.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (options.version) {
        std::printf("%s %s\n", kAppName, kAppVersion);
        return 0;
    }
    InflowWork work;
    try {
        if (options.check) return Check(options) ? 0 : 1;
        Run(options, work);
    } catch (const EAbort&) {
        return 1;
    } catch (const OptionFault& e) {
        PrintError(ErrorDisplayText(e.reason));
        return 2;
    } catch (const EOutputRefused& e) {
        PrintError(ErrorDisplayText(e));
        return e.Status;
    } catch (const EOptionError& e) {
        // A column the file does not have: the option's fault.
        PrintError(ErrorDisplayText(e));
        return 2;
    } catch (const std::exception& e) {
        // The message whole, as the error display shows it: a text read from
        // a file may hold a NUL, which what() and "%s" would stop at.
        std::fflush(stdout);
        PrintError(ErrorDisplayText(e));
        if (work.FailedLine) PrintFailedLine(*work.FailedLine);
        return 1;
    }
    return 0;
}

// ---------------------------------------------------------------------------
// The method options for the window's start: the batch mode's own reading.

bool IsMethodOption(std::string_view name) {
    return name == "--outflow" || name == "--bank-storage" || name == "--losses" || name == "--smooth" ||
           name == "--negative";
}

TMethodChoices ReadMethodChoices(const std::vector<std::pair<std::string, std::string>>& given) {
    BatchOptions options;
    for (const auto& [name, value] : given) {
        std::optional<std::string>* slot = IsMethodOption(name) ? ValueOption(options, name) : nullptr;
        if (!slot) throw std::invalid_argument("unknown argument '" + name + "'");
        if (slot->has_value()) throw std::invalid_argument(name + " given twice");
        if (value.empty()) throw std::invalid_argument(name + " needs a value");
        *slot = value;
    }
    try {
        ReadChoices(options);
    } catch (const UsageError& e) {
        throw std::invalid_argument(e.reason);
    }
    return {options.balance, options.correction};
}
