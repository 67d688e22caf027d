#include "Application.h"

#include "Exceptions.h"
#include "FormLayout.h"

#include <QIcon>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QWidget>

#include <climits>
#include <unistd.h>

std::string ProgramFilePath() {
    char buffer[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buffer) return {};
    return std::string(buffer, static_cast<std::size_t>(n));
}

TApplication::TApplication(int& argc, char** argv)
    : QApplication(argc, argv), MessageBox(&TApplication::ShowErrorBox),
      title_(ApplicationTitle(ProgramFilePath())) {
    InstallFontSubstitutes();
    // The desktop's name for the program: its menu entry and its task icon.
    setDesktopFileName(QStringLiteral("quelmora"));
    QIcon icon;
    icon.addFile(QStringLiteral(":/icons/quelmora-48.png"));
    icon.addFile(QStringLiteral(":/icons/quelmora-256.png"));
    setWindowIcon(icon);
    // The file dialog's and the message box's own texts in the user's
    // language; the program's own texts are not translated.
    if (LoadQtTranslation(qtTexts_, QLocale())) installTranslator(&qtTexts_);
}

bool TApplication::LoadQtTranslation(QTranslator& translator, const QLocale& locale) {
    // "qt" is Qt's catalogue for a language: it names the modules' files
    // (qtbase_zh_CN.qm, ...) or holds the texts itself.
    return translator.load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

TApplication* TApplication::Instance() { return qobject_cast<TApplication*>(instance()); }

void TApplication::ShowErrorBox(const std::string& title, const std::string& text) {
    QMessageBox box(QMessageBox::Critical, QString::fromLocal8Bit(title),
                    QString::fromLocal8Bit(text), QMessageBox::Ok, activeWindow());
    box.exec();
}

void TApplication::ShowException(const std::exception& e) {
    ReportError(e, title_, MessageBox, [] {
        if (QWidget* grabber = QWidget::mouseGrabber()) grabber->releaseMouse();
    });
}

bool TApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        ShowException(e);
    } catch (...) {
        ShowException(Exception("Unknown error"));
    }
    return false;
}
