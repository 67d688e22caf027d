#include "Batch.h"

#include "AppVersion.h"
#include "ChartExport.h"
#include "ErrorReport.h"
#include "Exceptions.h"
#include "FloodSummary.h"
#include "InflowWork.h"
#include "RecordCheck.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kUsage =
    "usage: quelmora --curve CURVE [--flood FLOOD] [--out RESULT] [--chart PNG]\n"
    "                [--hydrograph PNG] [--summary FILE]\n"
    "       quelmora --check --curve CURVE [--flood FLOOD]\n"
    "       quelmora --help | --version\n"
    "       quelmora                      (the window)\n"
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
    "  --check         reads the curve and the flood record and prints every\n"
    "                  problem, one per line as FILE:LINE: MESSAGE, without\n"
    "                  computing or writing anything; exit status 0 when\n"
    "                  clean, 1 otherwise\n"
    "  --help          this text\n"
    "  --version       the program's version\n"
    "\n"
    "At most one output goes to standard output; the result goes there when\n"
    "--out is absent.\n";

struct BatchOptions {
    std::optional<std::string> curve;
    std::optional<std::string> flood;
    std::optional<std::string> out;
    std::optional<std::string> chart;
    std::optional<std::string> hydrograph;
    std::optional<std::string> summary;
    bool check = false;
    bool help = false;
    bool version = false;
};

struct UsageError {
    std::string reason;
};

// The options with a value, as "--name VALUE" or "--name=VALUE".
std::optional<std::string>* ValueOption(BatchOptions& options, std::string_view name) {
    if (name == "--curve") return &options.curve;
    if (name == "--flood") return &options.flood;
    if (name == "--out") return &options.out;
    if (name == "--chart") return &options.chart;
    if (name == "--hydrograph") return &options.hydrograph;
    if (name == "--summary") return &options.summary;
    return nullptr;
}

bool IsStdout(const std::optional<std::string>& name) { return name && *name == "-"; }

// The channel writes a non-regular target such as standard output directly.
std::string Target(const std::optional<std::string>& name) {
    return !name || *name == "-" ? std::string("/dev/stdout") : *name;
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
        std::optional<std::string>* slot = arg.starts_with("--") ? ValueOption(options, name) : nullptr;
        if (!slot) throw UsageError{"unknown argument '" + std::string(arg) + "'"};
        std::string value;
        if (equals != std::string_view::npos) {
            value = std::string(arg.substr(equals + 1));
        } else {
            if (i + 1 >= argc) throw UsageError{std::string(name) + " needs a file name"};
            value = argv[++i];
        }
        if (slot->has_value()) throw UsageError{std::string(name) + " given twice"};
        if (value.empty()) throw UsageError{std::string(name) + " needs a file name"};
        *slot = std::move(value);
    }
    if (options.help || options.version) return options;
    if (!options.curve) throw UsageError{"--curve is required"};
    if (options.check) {
        if (options.out || options.chart || options.hydrograph || options.summary)
            throw UsageError{"--check writes nothing: no --out, --chart, --hydrograph or --summary with it"};
        return options;
    }
    if (options.out && !options.flood) throw UsageError{"--out needs --flood"};
    if (options.hydrograph && !options.flood) throw UsageError{"--hydrograph needs --flood"};
    if (options.summary && !options.flood) throw UsageError{"--summary needs --flood"};
    // Two outputs on standard output would run into each other.
    const bool resultToStdout = options.flood && (!options.out || IsStdout(options.out));
    const int toStdout = int(resultToStdout) + int(IsStdout(options.chart)) + int(IsStdout(options.hydrograph)) +
                         int(IsStdout(options.summary));
    if (toStdout > 1) throw UsageError{"only one output can go to standard output"};
    return options;
}

// Every problem of the files on standard output; true when there is none.
bool Check(const BatchOptions& options) {
    const std::vector<TRecordProblem> problems = CheckRecordFiles(*options.curve, options.flood.value_or(""));
    std::string text;
    for (const TRecordProblem& problem : problems) {
        text += ProblemText(problem);
        text += '\n';
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
    return problems.empty();
}

void Run(const BatchOptions& options) {
    InflowWork work;
    work.FormCreate();
    std::optional<TChartExport> chart;
    if (options.chart) {
        chart.emplace();
        work.CurvePlot = &chart->Plot();
    }
    work.ResetCurveTable();
    work.ReadCurve(*options.curve);
    if (chart) {
        std::fflush(stdout);
        chart->SavePng(Target(options.chart));
    }
    if (!options.flood) return;
    work.ResetFloodTable();
    work.ReadFlood(*options.flood);
    work.Compute();
    std::fflush(stdout);
    work.WriteResult(Target(options.out));
    if (options.summary) {
        std::fflush(stdout);
        WriteSummaryText(SummarizeFlood(work.FloodSteps, work.ComputedRecords), Target(options.summary));
    }
    if (options.hydrograph) {
        THydrographExport hydrograph;
        hydrograph.Show(work.FloodSteps, work.ComputedRecords);
        std::fflush(stdout);
        hydrograph.SavePng(Target(options.hydrograph));
    }
}

}  // namespace

int RunBatch(int argc, char** argv) {
    BatchOptions options;
    try {
        options = ParseArguments(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "%s: %s\n%s", kAppName, e.reason.c_str(), kUsage);
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
    try {
        if (options.check) return Check(options) ? 0 : 1;
        Run(options);
    } catch (const EAbort&) {
        return 1;
    } catch (const std::exception& e) {
        // The message whole, as the error display shows it: a text read from
        // a file may hold a NUL, which what() and "%s" would stop at.
        const std::string text = ErrorDisplayText(e);
        std::fflush(stdout);
        std::fprintf(stderr, "%s: ", kAppName);
        std::fwrite(text.data(), 1, text.size(), stderr);
        std::fputc('\n', stderr);
        return 1;
    }
    return 0;
}
