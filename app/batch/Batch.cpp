#include "Batch.h"

#include "AppVersion.h"
#include "ChartExport.h"
#include "ErrorReport.h"
#include "Exceptions.h"
#include "InflowWork.h"

#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr const char* kUsage =
    "usage: quelmora --curve CURVE [--flood FLOOD] [--out RESULT] [--chart PNG]\n"
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
    "  --help          this text\n"
    "  --version       the program's version\n";

struct BatchOptions {
    std::optional<std::string> curve;
    std::optional<std::string> flood;
    std::optional<std::string> out;
    std::optional<std::string> chart;
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
    if (options.out && !options.flood) throw UsageError{"--out needs --flood"};
    if (IsStdout(options.chart) && options.flood && (!options.out || IsStdout(options.out)))
        throw UsageError{"the chart and the result cannot both go to standard output"};
    return options;
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
