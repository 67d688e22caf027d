#include "Application.h"
#include "Batch.h"
#include "LocaleFormats.h"
#include "Unit1.h"

int main(int argc, char** argv) {
    LoadLocaleFormats();
    // With arguments the program works without a window (and without a display).
    if (argc > 1) return RunBatch(argc, argv);

    TApplication app(argc, argv);
    TForm1 Form1;
    Form1.show();
    app.exec();
    return 0;
}
