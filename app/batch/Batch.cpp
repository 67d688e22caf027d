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
#include "InflowScreening.h"
#include "InflowWork.h"
#include "LineFile.h"
#include "LineSource.h"
#include "OutputSet.h"
#include "RecordCheck.h"
#include "ReferenceSeries.h"
#include "RecordLine.h"
#include "RecordRepair.h"
#include "OptionText.h"
#include "Plausibility.h"
#include "RecordFormat.h"
#include "RecordGaps.h"
#include "DatedCurves.h"
#include "ResultWorkbook.h"
#include "FloodPeriods.h"
#include "TidyTable.h"
#include "WorkbookLines.h"

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
    "                [--smooth N | --smooth-tolerance MM]\n"
    "                [--negative redistribute|scale:PERIOD] [--water-year-start M]\n"
    "                [--spike TOL [--repair]] [--gauge-resolution R]\n"
    "                [--summary-by PERIOD FILE] [--compare FILE\n"
    "                [--compare-columns time=COL,value=COL]] [FORMAT...]\n"
    "       quelmora --check --curve CURVE [--flood FLOOD] [--losses F[,F...]]\n"
    "                [--spike TOL] [FORMAT...]\n"
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
    "                  Every file read may be an Excel workbook: FILE.xlsx (its\n"
    "                  first sheet) or FILE.xlsx#SHEET; its rows are the lines\n"
    "                  (title rows above the headings --columns names skipped),\n"
    "                  date cells the times, empty and #N/A cells blank\n"
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
    "  --smooth-tolerance MM\n"
    "                  the smoothest inflow whose implied levels (the recorded\n"
    "                  storage plus the running sum of corrected - computed\n"
    "                  inflow, read back on the curve) stay within an RMS of\n"
    "                  MM millimetres of the recorded ones; reports the RMS\n"
    "                  and the largest departure and where (not with --smooth)\n"
    "  --negative redistribute\n"
    "                  negative inflows set to 0 and their water taken from\n"
    "                  the following steps, keeping the volume\n"
    "  --negative scale:water-year|scale:year|scale:month\n"
    "                  within each period negative inflows set to 0 and the\n"
    "                  positive ones scaled down to keep the period's volume;\n"
    "                  a period whose volume is negative is kept and reported\n"
    "  --water-year-start M\n"
    "                  the month (1-12) water years begin with (default 10);\n"
    "                  a water year is named by the year it ends in\n"
    "\n"
    "Screening, uncertainty and comparison:\n"
    "  --spike TOL     flags a level that departs from the median of the five\n"
    "                  records around it by more than TOL (level unit); told\n"
    "                  on standard error, by --check, and in --table's flag\n"
    "                  column\n"
    "  --repair        replaces the flagged levels by linear interpolation in\n"
    "                  time between the nearest unflagged records before the\n"
    "                  computation; with --missing skip, a skipped record that\n"
    "                  lies between two records (and misses no loss) comes\n"
    "                  back with its missing level and outflow interpolated\n"
    "                  likewise; flagged repaired; adds repaired_records to\n"
    "                  the summary, whose skipped_records counts those still\n"
    "                  out (needs --spike or --missing skip)\n"
    "  --gauge-resolution R\n"
    "                  the level's resolution (level unit): each step's inflow\n"
    "                  carries sigma = A R sqrt(2) / (sqrt(12) dt), A the\n"
    "                  lake's area at the step's mean level (the curve's area\n"
    "                  column where --curve-columns names one, else the\n"
    "                  segment's slope; with several --curve, the curve of\n"
    "                  the step's end); adds\n"
    "                  noise_sigma_median, negative_within_noise (inflow >=\n"
    "                  -2 sigma) and negative_beyond_noise to the summary and\n"
    "                  a sigma column to --table\n"
    "  --summary-by year|water-year|month FILE\n"
    "                  one summary row per period (CSV, the summary's number\n"
    "                  forms; with --units, flows and volumes in its units,\n"
    "                  each such heading ending in its unit, as inflow_volume_af);\n"
    "                  \"-\" for standard output\n"
    "  --compare FILE  a reference inflow (CSV: a heading, then time,value in\n"
    "                  m^3/s, or in the --units flow unit): adds compare_records,\n"
    "                  compare_rmse, compare_nse, compare_bias,\n"
    "                  compare_peak_error and compare_volume_error (computed -\n"
    "                  reference, on the times both have) to the summary\n"
    "  --compare-columns time=COL,value=COL\n"
    "                  the reference's fields by heading or number\n"
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
    "          loss=m3/s|cfs|m3|af,area=km2|m2|ha|acres\n"
    "                  the files' units (defaults m, 1e8m3, m3/s, m3/s, km2),\n"
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
    std::optional<std::string> smoothTolerance;
    std::optional<std::string> waterYearStart;
    std::optional<std::string> spike;
    bool repair = false;
    std::optional<std::string> gaugeResolution;
    std::optional<std::string> summaryBy;       // the period, then summaryByFile
    std::optional<std::string> summaryByFile;
    std::optional<std::string> compare;
    std::optional<std::string> compareColumns;
    // As read: in the program's units (m).
    std::optional<double> spikeTolerance;
    std::optional<double> resolution;
    std::optional<TPeriodRule> summaryRule;
    std::optional<TColumnOption> compareFields;
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
    if (name == "--smooth-tolerance") return &options.smoothTolerance;
    if (name == "--water-year-start") return &options.waterYearStart;
    if (name == "--spike") return &options.spike;
    if (name == "--gauge-resolution") return &options.gaugeResolution;
    if (name == "--summary-by") return &options.summaryBy;
    if (name == "--compare") return &options.compare;
    if (name == "--compare-columns") return &options.compareColumns;
    return nullptr;
}


void ReadChoices(BatchOptions& options) {
    TMethodChoices choices{options.balance, options.correction};
    const std::pair<std::string_view, const std::optional<std::string>*> method[] = {
        {"--outflow", &options.outflow}, {"--bank-storage", &options.bankStorage}, {"--losses", &options.losses},
        {"--smooth", &options.smooth}, {"--negative", &options.negative}};
    try {
        for (const auto& [name, value] : method)
            if (*value) ReadMethodOption(name, **value, choices);
    } catch (const std::invalid_argument& e) {
        throw UsageError{e.what()};
    }
    options.balance = choices.balance;
    options.correction = choices.correction;
    if (options.smoothTolerance) {
        const auto mm = WholeNumber<double>(*options.smoothTolerance);
        if (!mm || !std::isfinite(*mm) || *mm <= 0)
            throw UsageError{"--smooth-tolerance needs millimetres > 0, not '" + *options.smoothTolerance + "'"};
        if (options.smooth) throw UsageError{"--smooth-tolerance and --smooth are two smoothings: choose one"};
        options.correction.smoothTolerance = *mm / 1000.0;
    }
    if (options.waterYearStart) {
        const auto m = WholeNumber<int>(*options.waterYearStart);
        if (!m || *m < 1 || *m > 12)
            throw UsageError{"--water-year-start needs a month 1-12, not '" + *options.waterYearStart + "'"};
        options.correction.waterYearStart = *m;
    }
}

// A positive length in the level unit the files are read in, in m.
std::optional<double> LevelLength(const std::optional<std::string>& text, const char* option, TLevelUnit unit) {
    if (!text) return std::nullopt;
    const auto v = WholeNumber<double>(*text);
    if (!v || !std::isfinite(*v) || *v <= 0)
        throw UsageError{std::string(option) + " needs a level difference > 0, not '" + *text + "'"};
    const TUnitFactor f = UnitFactor(unit);
    return static_cast<double>(static_cast<long double>(*v) * f.num / f.den);
}

// The screening, noise, period and comparison options, once the files'
// units are known.
void ReadRecordWork(BatchOptions& options) {
    const TLevelUnit level = options.floodFormat.units.level;
    options.spikeTolerance = LevelLength(options.spike, "--spike", level);
    options.resolution = LevelLength(options.gaugeResolution, "--gauge-resolution", level);
    if (options.repair && !options.spike && options.floodFormat.missing != TMissingMode::Skip)
        throw UsageError{"--repair mends the levels --spike flags and the records --missing skip skips: it needs "
                         "one of them"};
    if (options.summaryBy) {
        TPeriodRule rule;
        rule.startMonth = options.correction.waterYearStart;
        const std::string& p = *options.summaryBy;
        if (p == "year") rule.kind = TPeriodKind::Year;
        else if (p == "water-year") rule.kind = TPeriodKind::WaterYear;
        else if (p == "month") rule.kind = TPeriodKind::Month;
        else throw UsageError{"--summary-by takes year, water-year or month, not '" + p + "'"};
        options.summaryRule = rule;
    }
    if (options.waterYearStart && options.correction.scaleBy != TCorrectionOptions::TScalePeriod::WaterYear &&
        !(options.summaryRule && options.summaryRule->kind == TPeriodKind::WaterYear))
        throw UsageError{"--water-year-start is for --negative scale:water-year or --summary-by water-year"};
    if (options.compareColumns) {
        if (!options.compare) throw UsageError{"--compare-columns describes the --compare file: it needs --compare"};
        try {
            options.compareFields = ParseCompareColumns(*options.compareColumns);
        } catch (const EOptionError& e) {
            throw UsageError{e.what()};
        }
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
        if (arg == "--repair") {
            if (options.repair) throw UsageError{"--repair given twice"};
            options.repair = true;
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
                            slot == &options.smooth || slot == &options.negative || slot == &options.smoothTolerance ||
                            slot == &options.waterYearStart || slot == &options.spike ||
                            slot == &options.gaugeResolution || slot == &options.summaryBy ||
                            slot == &options.compareColumns;
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
        // --summary-by PERIOD FILE: the file follows the period.
        if (slot == &options.summaryBy) {
            if (i + 1 >= argc) throw UsageError{"--summary-by needs a period and a file name"};
            std::string file = argv[++i];
            if (file.empty()) throw UsageError{"--summary-by needs a period and a file name"};
            if (file.starts_with("--") || file == "-h")
                throw UsageError{"--summary-by needs a file name after its period, not the option '" + file +
                                 "' (a file of that name is given as ./" + file + ")"};
            options.summaryByFile = std::move(file);
        }
    }
    if (options.help || options.version) return options;
    if (!options.curve) throw UsageError{"--curve is required"};
    ReadChoices(options);
    ReadFormats(options);
    ReadCurves(options);
    ReadRecordWork(options);
    if (options.check) {
        if (options.out || options.chart || options.hydrograph || options.summary || options.corrected ||
            options.table || options.xlsx || options.summaryBy)
            throw UsageError{"--check writes nothing: no --out, --chart, --hydrograph, --summary, --corrected, "
                             "--table, --xlsx or --summary-by with it"};
        if (options.spike && !options.flood) throw UsageError{"--spike screens the flood record: it needs --flood"};
        return options;
    }
    for (const auto& [given, name] : {std::pair{options.summaryBy.has_value(), "--summary-by"},
                                      std::pair{options.spike.has_value(), "--spike"},
                                      std::pair{options.gaugeResolution.has_value(), "--gauge-resolution"},
                                      std::pair{options.smoothTolerance.has_value(), "--smooth-tolerance"},
                                      std::pair{options.compare.has_value(), "--compare"}})
        if (given && !options.flood) throw UsageError{std::string(name) + " needs --flood"};
    if (options.out && !options.flood) throw UsageError{"--out needs --flood"};
    if (options.hydrograph && !options.flood) throw UsageError{"--hydrograph needs --flood"};
    if (options.summary && !options.flood) throw UsageError{"--summary needs --flood"};
    if (options.corrected && !options.flood) throw UsageError{"--corrected needs --flood"};
    if (options.table && !options.flood) throw UsageError{"--table needs --flood"};
    if (options.xlsx && !options.flood) throw UsageError{"--xlsx needs --flood"};
    return options;
}

// A level in the files' level unit, '.' decimals, four of them.
std::string LevelText(double metres, TLevelUnit unit) {
    char text[48];
    const auto end = std::to_chars(text, text + sizeof text, ToUnit(metres, UnitFactor(unit)),
                                   std::chars_format::fixed, 4).ptr;
    return std::string(text, end) + " " + UnitText(unit);
}

// What the screening says of one flagged record.
std::string SpikeText(const TSpike& spike, double level, const BatchOptions& options) {
    const TLevelUnit unit = options.floodFormat.units.level;
    return "spike: level " + LevelText(level, unit) + " departs from " + LevelText(spike.median, unit) +
           ", the median of the five records around it, by more than --spike " + *options.spike;
}

// What a repair did to a skipped record, and why one stays out.
std::string RestoredText(const TFloodStep& step, const InflowWork::TRestored& r, const BatchOptions& options) {
    std::string text = "skipped record repaired:";
    if (!r.levelRead) text += " level " + LevelText(step.Z, options.floodFormat.units.level) + ";";
    if (!r.outflowRead) {
        char value[48];
        const auto end = std::to_chars(value, value + sizeof value, ToUnit(step.Qout, UnitFactor(options.floodFormat.units.flow)),
                                       std::chars_format::fixed, 3).ptr;
        text += " outflow " + std::string(value, end) + " " + UnitText(options.floodFormat.units.flow) + ";";
    }
    text.back() = ' ';
    return text + "interpolated in time";
}

std::string LeftOutText(const InflowWork::TSkippedRecord& gap) {
    if (gap.lossGap) return "skipped record not repaired: a loss is missing";
    return gap.before == 0 ? "skipped record not repaired: no record before it to interpolate from"
                           : "skipped record not repaired: no record after it to interpolate from";
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
    std::vector<TRecordProblem> problems = CheckRecordFiles(*options.curve, options.flood.value_or(""), check);
    if (options.spikeTolerance || options.repair) {
        // The record as a computation reads it; one that cannot be read has
        // its problems listed already.
        InflowWork work;
        work.ShowTables = false;
        work.FormCreate();
        work.FloodFormat = options.floodFormat;
        bool read = true;
        try {
            work.ReadFlood(*options.flood);
        } catch (const std::exception&) {
            read = false;
        }
        if (read) {
            const TRecordRepair repair = ScreenAndRepair(work, options.spikeTolerance, options.repair);
            for (std::size_t i = 0; i < repair.spikes.size(); ++i)
                problems.push_back({*options.flood, work.RecordLine(repair.spikes[i].record).line,
                                    "warning: " + SpikeText(repair.spikes[i], repair.spikeLevels[i], options)});
            for (const InflowWork::TRestored& r : repair.restored)
                problems.push_back({*options.flood, work.RecordLine(r.record).line,
                                    "warning: " + RestoredText(work.FloodSteps[r.record], r, options)});
            // In the record's line order, after the curve's problems.
            auto key = [&](const TRecordProblem& p) {
                const bool flood = p.file == *options.flood;
                return std::pair{flood, flood ? p.line : 0};
            };
            std::stable_sort(problems.begin(), problems.end(),
                             [&](const TRecordProblem& a, const TRecordProblem& b) { return key(a) < key(b); });
        }
    }
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
    std::string lines;
    for (const std::string& line : work.PassedOver(file))
        lines += std::string(kAppName) + ": " + EscapeControls(line) + "\n";
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
           !MapsLosses(options.floodFormat) && !options.spike && !options.repair && !options.summaryBy && !options.gaugeResolution &&
           !options.compare;
}

// Prints at most the first lines of a list on standard error, then how many
// more there were.
void TellListed(const std::vector<std::string>& lines, const std::string& more) {
    constexpr std::size_t kListed = 20;
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < kListed; ++i)
        text += std::string(kAppName) + ": " + EscapeControls(lines[i]) + "\n";
    if (lines.size() > kListed)
        text += std::string(kAppName) + ": " + std::to_string(lines.size() - kListed) + " more " + more + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
}

// The screening and repair of the record read (see RecordRepair.h), told on
// standard error. The flags, one per record.
std::vector<TRecordFlag> ScreenAndRepair(InflowWork& work, const BatchOptions& options) {
    const TRecordRepair repair = ScreenAndRepair(work, options.spikeTolerance, options.repair);
    std::vector<std::string> told;
    for (std::size_t i = 0; i < repair.spikes.size(); ++i) {
        const TSpike& spike = repair.spikes[i];
        std::string line = *options.flood + ":" + std::to_string(work.RecordLine(spike.record).line) + ": " +
                           SpikeText(spike, repair.spikeLevels[i], options);
        if (options.repair)
            line += "; repaired to " + LevelText(work.FloodSteps[spike.record].Z, options.floodFormat.units.level);
        told.push_back(std::move(line));
    }
    TellListed(told, "spikes flagged");
    if (options.repair && work.SkippedRecords()) {
        told.clear();
        for (const InflowWork::TRestored& r : repair.restored)
            told.push_back(*options.flood + ":" + std::to_string(work.RecordLine(r.record).line) + ": " +
                           RestoredText(work.FloodSteps[r.record], r, options));
        TellListed(told, "skipped records repaired");
        told.clear();
        for (const InflowWork::TSkippedRecord& gap : work.FloodGaps)
            told.push_back(*options.flood + ":" + std::to_string(gap.line) + ": " + LeftOutText(gap));
        TellListed(told, "skipped records not repaired");
    }
    return repair.flags;
}

// What the corrections found, on standard error: how far the held smoother
// moved the levels, the periods whose negative inflows could not be scaled.
void TellRun(const TFloodRun& run, const InflowWork& work, const BatchOptions& options) {
    if (run.held) {
        auto mm = [](double m) {
            char text[48];
            const auto end = std::to_chars(text, text + sizeof text, m * 1000.0, std::chars_format::fixed, 1).ptr;
            return std::string(text, end);
        };
        std::string line = "--smooth-tolerance " + *options.smoothTolerance + ": level departure RMS " +
                           mm(run.held->rmsDeparture) + " mm, largest " + mm(run.held->largestDeparture) + " mm at " +
                           *options.flood + ":" + std::to_string(work.RecordLine(run.held->largestAt).line) + " (" +
                           std::to_string(run.held->solves) + " solves)";
        TellListed({line}, "");
    }
    std::vector<std::string> negative;
    for (const TPeriodScaling& p : run.periods)
        if (p.state == TPeriodScaling::TState::NegativeVolume)
            negative.push_back(PeriodLabel(p.span.period, ScaleRule(options.correction)) +
                               ": the period's inflow volume is negative: its negative inflows are kept");
    TellListed(negative, "periods with a negative volume");
}

void Run(const BatchOptions& options, InflowWork& work) {
    // Every name is known before anything is read: an output that would
    // replace an input or another output is refused now.
    TOutputSet outputs;
    // A workbook's sheet (book.xlsx#Data) is the workbook's file.
    const auto input = [](const std::string& name) { return workbook::SplitWorkbookName(name).file; };
    outputs.AddInput("--curve", input(*options.curve));
    for (const TCurveArgument& c : options.datedCurves) outputs.AddInput("--curve", input(c.file));
    if (options.flood) outputs.AddInput("--flood", input(*options.flood));
    if (options.compare) outputs.AddInput("--compare", input(*options.compare));
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
    const std::size_t summaryByOut = add("--summary-by", options.summaryByFile);
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
        work.DatedCurves.push_back({c.file, *c.fromDay, std::move(work.CurvePoints), std::move(work.CurveAreas)});
        work.CurvePoints.clear();
        work.CurveAreas.clear();
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
    std::vector<TRecordFlag> flags;
    TReferenceSeries reference;
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
        if (options.spikeTolerance || options.repair) flags = ScreenAndRepair(work, options);
        if (options.compare)
            reference = ReadReferenceSeries(*options.compare, options.compareFields, work.FloodFormat.units.flow,
                                            work.FloodFormat.stamps);
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
        if (options.summary || options.corrected || options.xlsx || options.correction.Any() || options.summaryBy ||
            options.gaugeResolution || options.compare) {
            work.RequireTimeOrder();
        }
        InflowWork::TRunHeld held;
        TRunInputs inputs = work.RunInputs(held);
        inputs.gaugeResolution = options.resolution;
        inputs.withReference = options.compare.has_value();
        inputs.referenceTimes = reference.times;
        inputs.reference = reference.values;
        if (options.repair)
            inputs.repairedRecords = static_cast<std::size_t>(
                std::count(flags.begin(), flags.end(), TRecordFlag::Repaired));
        run = RunFlood(work.FloodSteps, computed, options.correction, options.summary || options.xlsx, inputs);
        TellRun(run, work, options);
        if (run.negativeVolume)
            std::fprintf(stderr,
                         "%s: the record's inflow volume is negative: its negative inflows cannot be redistributed; "
                         "the corrected inflow keeps them\n",
                         kAppName);
        if (run.summaryError) std::rethrow_exception(run.summaryError);
        outputs.SetWriter(result, [&](LineFile& file) { work.WriteResult(file); });
        // The hydrograph and the workbook's picture draw the checks alike;
        // the writers run at the commit, after this block: they keep a copy.
        THydrographChecks checks;
        if (run.noise) checks.sigma = run.noise->sigma;
        checks.flags = flags;
        checks.referenceTimes = reference.times;
        checks.reference = reference.values;
        if (hydrographOut != kNone)
            outputs.SetWriter(hydrographOut, [&, checks](LineFile& file) {
                THydrographExport hydrograph;
                hydrograph.Show(work.FloodSteps, work.ComputedRecords, run.corrected, checks);
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
                TTidyTableSource table{work.FloodSteps, work.ComputedRecords, std::nullopt, work.FloodFormat.units, std::nullopt, std::nullopt};
                if (options.correction.Any()) table.corrected = std::span<const double>(run.corrected);
                if (run.noise) table.sigma = std::span<const double>(run.noise->sigma);
                std::vector<TSkippedRow> gaps;
                if (options.spike || options.repair) {
                    table.flags = std::span<const TRecordFlag>(flags);
                    for (const InflowWork::TSkippedRecord& g : work.FloodGaps)
                        gaps.push_back({g.before, g.step.T, g.levelRead ? std::optional(g.step.Z) : std::nullopt,
                                        g.outflowRead ? std::optional(g.step.Qout) : std::nullopt});
                    table.skipped = gaps;
                }
                WriteTidyTable(file, table);
            });
        if (summaryByOut != kNone) {
            const std::vector<TPeriodSummary> rows =
                options.correction.Any()
                    ? SummarizePeriods(work.FloodSteps, computed, run.corrected, *options.summaryRule)
                    : SummarizePeriods(work.FloodSteps, computed, *options.summaryRule);
            outputs.SetWriter(summaryByOut, [text = PeriodSummaryText(rows, work.FloodFormat.units)](LineFile& file) {
                file.Write(text);
            });
        }
        if (xlsxOut != kNone)
            outputs.SetWriter(xlsxOut, [&, checks](LineFile& file) {
                WriteResultWorkbook(file, {work, run, options.correction.Any(), work.FloodFormat.units,
                                           HydrographPng(work, run, checks)});
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
    if (const std::optional<std::string> line = SourceLineAt(failed.file, failed.line, failed.version)) {
        text += ": ";
        text += ShortenedText(*line);
    }
    PrintError(text);
}

}  // namespace

int RunBatch(int argc, char** argv) {
    workbook::InstallWorkbookLines();
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

