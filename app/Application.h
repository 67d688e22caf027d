#pragma once
// The application object: every exception that leaves an event handler ends
// that handler and is shown by the error display; the message loop goes on.

#include "ErrorReport.h"

#include <QApplication>
#include <QTranslator>

#include <exception>
#include <string>

class TApplication : public QApplication {
    Q_OBJECT

public:
    TApplication(int& argc, char** argv);

    static TApplication* Instance();

    // The caption of the error display: the program file's name by the title
    // rule.
    const std::string& Title() const { return title_; }

    // Shows (caption, text). By default a modal message box with the stop
    // icon and one OK button; tests put their own display here.
    ErrorDisplay MessageBox;

    // The error display: releases the mouse grab, then shows e's message with
    // the period rule (an EAbort shows nothing).
    void ShowException(const std::exception& e);

    bool notify(QObject* receiver, QEvent* event) override;

    // The message box the error display shows unless replaced.
    static void ShowErrorBox(const std::string& title, const std::string& text);

    // Loads Qt's own translations (the qt6-translations-l10n package) for the
    // locale's languages into translator; false when none is installed (the
    // C locale, a language Qt has no texts for).
    static bool LoadQtTranslation(QTranslator& translator, const QLocale& locale);

private:
    std::string title_;
    // Qt's texts for the user's locale, installed at start when there are any.
    QTranslator qtTexts_;
};

// The program file's path (/proc/self/exe), empty when it cannot be read.
std::string ProgramFilePath();
