#include "Application.h"
#include "Batch.h"
#include "HydrographPage.h"
#include "LocaleFormats.h"
#include "Unit1.h"
#include "WindowArguments.h"

#include <QTimer>

#include <cstdio>
#include <stdexcept>

int main(int argc, char** argv) {
    LoadLocaleFormats();
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

    TApplication app(argc, argv);
    TForm1 Form1;
    Form1.TabSheet4->SetChoices(arguments.balance, arguments.correction);
    Form1.show();
    if (!arguments.curve.empty() || !arguments.flood.empty())
        // Once the window is up, so that an error box has it behind.
        QTimer::singleShot(0, &Form1, [&Form1, &arguments] {
            Form1.OpenFiles(arguments.curve, arguments.flood, arguments.compute);
        });
    app.exec();
    return 0;
}
