#include "Application.h"
#include "Batch.h"
#include "HydrographPage.h"
#include "LocaleFormats.h"
#include "OutputSet.h"
#include "Unit1.h"
#include "WindowArguments.h"
#include "WorkbookLines.h"

#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace {

bool Set(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

// Without a display Qt cannot start the window and aborts with a core dump.
// Where none is named (nor a platform chosen by hand), a newcomer's first run
// on a server says so and shows the way to the batch mode.
bool NoDisplay() { return !Set("DISPLAY") && !Set("WAYLAND_DISPLAY") && !Set("QT_QPA_PLATFORM"); }

int SayNoDisplay(const char* program) {
    // The examples beside the program's sources, or where the package put them.
    std::string examples = "examples";
    std::error_code error;
    if (!std::filesystem::exists("examples/curve.txt", error) &&
        std::filesystem::exists("/usr/share/doc/quelmora/examples/curve.txt", error))
        examples = "/usr/share/doc/quelmora/examples";
    std::fprintf(stderr,
                 "%s: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set): the window needs one.\n"
                 "Without a window, the batch mode computes the example flood:\n"
                 "    %s --curve %s/curve.txt --flood %s/flood.txt\n"
                 "and %s --help lists its options.\n",
                 "quelmora", program, examples.c_str(), examples.c_str(), program);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Before any file is opened: none may take the place of a closed standard
    // output or error.
    GuardStandardDescriptors();
    LoadLocaleFormats();
    // Curves and records may be workbooks, in the window and in batch mode.
    workbook::InstallWorkbookLines();
    // With arguments the program works without a window (and without a
    // display), unless they ask for the window with files to read.
    const bool window = WantsWindow(argc, argv);
    if (argc > 1 && !window) return RunBatch(argc, argv);
    TWindowArguments arguments;
    if (window) {
        try {
            arguments = ParseWindowArguments(argc, argv);
        } catch (const std::invalid_argument& e) {
            std::fprintf(stderr, "quelmora: %s\n%s", e.what(), kWindowUsage);
            return 2;
        }
    }
    if (NoDisplay()) return SayNoDisplay(argv[0]);

    TApplication app(argc, argv);
    TForm1 Form1;
    Form1.TabSheet4->SetChoices(arguments.balance, arguments.correction);
    Form1.show();
    if (!arguments.curve.empty() || !arguments.flood.empty())
        // Once the window is up, so that an error box has it behind.
        QTimer::singleShot(0, &Form1, [&Form1, &arguments] { Form1.OpenFiles(arguments); });
    app.exec();
    return 0;
}
