#pragma once
// 导入…: how a curve file or a flood record is to be read, chosen while seeing
// its first lines. The choices are the batch options that make them (shown as
// such, so that a reading set up here can be repeated in a script) and go
// through the same option reading as batch mode's; the dialog remembers them
// per file name, so that an agency's file downloaded again opens as before.

#include "RecordFormat.h"

#include <QDialog>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QTableWidget;

class TImportDialog : public QDialog {
    Q_OBJECT
  public:
    // Reads the file's first lines for the preview (a file that cannot be
    // read shows its reason in the dialog instead). The controls start from
    // the choices remembered for the file's name in `settingsFile`, or else
    // from a guess made from the headings.
    TImportDialog(TFileKind kind, const QString& fileName, const QString& settingsFile,
                  QWidget* parent = nullptr);

    // The choices as options; none when the file is to be read as the plain
    // reading reads it.
    TOptionPairs Options() const;
    void SetOptions(const TOptionPairs& options);
    // Why the choices cannot be read (the option reading's message, which
    // names the option); empty when they can. OK is enabled only then.
    QString Problem() const;

    // A curve's first day (days since 1899-12-30): agencies replace their
    // table after a resurvey. None when the curve holds from the start (the
    // box left empty) or the box holds no date (Problem says so).
    std::optional<std::int64_t> ValidFrom() const;
    void SetValidFrom(const QString& isoDay);

    // Remembered choices of a file name (its folder aside); empty when none.
    static TOptionPairs Remembered(const QString& settingsFile, TFileKind kind, const QString& fileName);

    void accept() override;

  private:
    void ReadPreview();
    void ReadSheetPreview();
    void BuildControls();
    void ApplyGuess();
    void Update();
    // The field a column option names, from 1; 0 when it names none here.
    int FieldOf(const TColumnRef& column) const;
    std::string ColumnText(int field) const;

    TFileKind kind_;
    QString fileName_;
    QString settingsFile_;
    std::string headingLine_;
    std::vector<std::string> headings_;      // as HeadingName gives them
    std::vector<std::vector<std::string>> rows_;  // the first data lines' fields
    QString readProblem_;

    QTableWidget* preview_ = nullptr;
    QComboBox* time_ = nullptr;
    QComboBox* level_ = nullptr;
    QComboBox* outflow_ = nullptr;
    QComboBox* storage_ = nullptr;
    QComboBox* area_ = nullptr;
    QListWidget* losses_ = nullptr;
    QComboBox* levelUnit_ = nullptr;
    QComboBox* storageUnit_ = nullptr;
    QComboBox* flowUnit_ = nullptr;
    QComboBox* lossUnit_ = nullptr;
    QComboBox* dateOrder_ = nullptr;
    QComboBox* timeFormat_ = nullptr;
    QLineEdit* utcOffset_ = nullptr;
    QCheckBox* skipMissing_ = nullptr;
    QLineEdit* missingValues_ = nullptr;
    QLineEdit* validFrom_ = nullptr;   // curves only
    QLineEdit* command_ = nullptr;
    QLabel* problem_ = nullptr;
    QWidget* ok_ = nullptr;
    bool updating_ = false;
};
