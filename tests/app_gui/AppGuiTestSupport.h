#pragma once
// Shared by the window tests: one application object for the whole run, a
// scratch folder, and a stand-in for the message box and the file dialog.

#include "Application.h"
#include "LocaleFormats.h"
#include "Unit1.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <deque>
#include <optional>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

inline TApplication& App() {
    // The window keeps its size and last folder in the user's settings: a
    // test run keeps them in a folder of its own, which starts empty.
    static QTemporaryDir settings;
    static const bool settingsSet = qputenv("XDG_CONFIG_HOME", settings.path().toLocal8Bit());
    (void)settingsSet;
    static int argc = 1;
    static char arg0[] = "Other-Name";  // the error display's title must not come from here
    static char* argv[] = {arg0, nullptr};
    static TApplication* app = new TApplication(argc, argv);  // lives to the end of the run
    return *app;
}

// Records what the error display would show instead of opening a box.
struct ShownMessages {
    std::vector<std::pair<std::string, std::string>> shown;  // (caption, text)
    void Install() {
        App().MessageBox = [this](const std::string& title, const std::string& text) {
            shown.emplace_back(title, text);
        };
    }
};

inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A window whose file dialog answers from a queue ("" = cancel) and whose
// error display records.
class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        App();
        messages.Install();
        LocaleFormats& f = Formats();
        f.decimalMark = '.';
        f.dateMark = '-';
        f.shortDatePattern = "yyyy-mm-dd";
        f.timeMark = ':';
        f.longTimePattern = "hh:mm:ss";
        form = std::make_unique<TForm1>();
        form->ExecuteOpenDialog = [this] {
            ++dialogs;
            if (answers.empty()) return std::string();
            std::string name = answers.front();
            answers.pop_front();
            return name;
        };
        // The save dialog takes its answers from the same queue.
        form->ExecuteSaveDialog = [this](const TSaveRequest& request) {
            saveRequests.push_back(request);
            return form->ExecuteOpenDialog();
        };
        form->ExecuteSizeDialog = [this](QSize shown) {
            shownSizes.push_back(shown);
            return pictureSize;
        };
    }
    void TearDown() override {
        form.reset();
        App().MessageBox = &TApplication::ShowErrorBox;
    }

    std::string Path(const char* name) const { return dir.filePath(name).toStdString(); }
    void Answer(const std::string& fileName) { answers.push_back(fileName); }

    QTemporaryDir dir;
    ShownMessages messages;
    std::unique_ptr<TForm1> form;
    std::deque<std::string> answers;
    int dialogs = 0;
    std::vector<TSaveRequest> saveRequests;
    std::vector<QSize> shownSizes;
    std::optional<QSize> pictureSize;   // the size dialog's answer (none: cancelled)
};
