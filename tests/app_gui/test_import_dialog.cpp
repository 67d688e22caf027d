// The import dialog on the agencies' files as published: it starts from the
// options that read them, says why a choice cannot be read, and remembers
// the choices per file name.

#include "AppGuiTestSupport.h"
#include "ImportDialog.h"
#include "RecordFormat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>

#include <filesystem>

namespace {

const QString kPublished = QStringLiteral(QUELMORA_REALDATA_DIR "/as-published/");

class ImportDialogTest : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    QTemporaryDir dir;
    QString settings() const { return dir.filePath(QStringLiteral("quelmora.conf")); }
};

TEST_F(ImportDialogTest, StartsFromTheOptionsThatReadTheAgenciesFiles) {
    struct Case {
        TFileKind kind;
        QString file;
        TOptionPairs expected;
    };
    const Case cases[] = {
        {TFileKind::Flood, kPublished + "powell_daily_usbr.csv",
         {{"--columns", "time=Date,level=Elevation (feet),outflow=Total Release (cfs),loss=Evaporation (af)"},
          {"--units", "level=ft,flow=cfs,loss=af"},
          {"--missing", "skip"}}},
        {TFileKind::Flood, kPublished + "tankan_event_2024072617.csv",
         {{"--columns", "time=time,level=level,outflow=outflow"}}},
        {TFileKind::Curve, kPublished + "powell_capacity_pre2017.csv",
         {{"--curve-columns", "level=Elevation (ft),storage=Live Storage (ac-ft),area=Area (acres)"},
          {"--units", "level=ft,storage=af"}}},
        // The program's own files are read as the plain buttons read them.
        {TFileKind::Flood, QStringLiteral(QUELMORA_SOURCE_DIR "/examples/flood.txt"), {}},
        {TFileKind::Curve, QStringLiteral(QUELMORA_SOURCE_DIR "/examples/curve.txt"), {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.toStdString());
        TImportDialog dialog(c.kind, c.file, settings());
        EXPECT_EQ(dialog.Options(), c.expected);
        EXPECT_EQ(dialog.Problem(), QString());
        EXPECT_GT(dialog.findChild<QTableWidget*>(QStringLiteral("ImportPreview"))->rowCount(), 0);
        EXPECT_EQ(dialog.findChild<QLineEdit*>(QStringLiteral("ImportCommand"))->text().toStdString(),
                  OptionCommandText(c.expected));
        // What the dialog shows, it can be given back.
        dialog.SetOptions(c.expected);
        EXPECT_EQ(dialog.Options(), c.expected);
    }
}

TEST_F(ImportDialogTest, NamesTheOptionOfAChoiceThatCannotBeRead) {
    TImportDialog dialog(TFileKind::Flood, kPublished + "powell_daily_usbr.csv", settings());
    auto* missing = dialog.findChild<QLineEdit*>(QStringLiteral("MissingValues"));
    auto* problem = dialog.findChild<QLabel*>(QStringLiteral("ImportProblem"));
    missing->setText(QStringLiteral("-96759 n/a"));
    EXPECT_TRUE(dialog.Problem().startsWith(QStringLiteral("--missing-value: "))) << dialog.Problem().toStdString();
    EXPECT_EQ(problem->text(), dialog.Problem());
    missing->setText(QStringLiteral("-96759"));
    EXPECT_EQ(dialog.Problem(), QString());
    // Two quantities from one column.
    auto* level = dialog.findChild<QComboBox*>(QStringLiteral("LevelColumn"));
    auto* outflow = dialog.findChild<QComboBox*>(QStringLiteral("OutflowColumn"));
    outflow->setCurrentIndex(level->currentIndex());
    EXPECT_TRUE(dialog.Problem().startsWith(QStringLiteral("--columns"))) << dialog.Problem().toStdString();
    // An offset without Unix stamps.
    outflow->setCurrentIndex(outflow->findData(10));
    dialog.findChild<QLineEdit*>(QStringLiteral("UtcOffset"))->setText(QStringLiteral("+08:00"));
    EXPECT_TRUE(dialog.Problem().startsWith(QStringLiteral("--utc-offset"))) << dialog.Problem().toStdString();
    dialog.findChild<QComboBox*>(QStringLiteral("TimeFormat"))->setCurrentIndex(1);
    EXPECT_EQ(dialog.Problem(), QString());
    // A file that cannot be read says so, with its name.
    TImportDialog none(TFileKind::Curve, dir.filePath(QStringLiteral("none.csv")), settings());
    EXPECT_TRUE(none.Problem().contains(QStringLiteral("none.csv")));
}

TEST_F(ImportDialogTest, RemembersTheChoicesPerFileName) {
    const QString copy = dir.filePath(QStringLiteral("tankan_event_2024072617.csv"));
    ASSERT_TRUE(QFile::copy(kPublished + "tankan_event_2024072617.csv", copy));
    TOptionPairs chosen;
    {
        TImportDialog dialog(TFileKind::Flood, kPublished + "tankan_event_2024072617.csv", settings());
        dialog.findChild<QComboBox*>(QStringLiteral("DateOrder"))->setCurrentIndex(3);  // ymd
        dialog.findChild<QCheckBox*>(QStringLiteral("SkipMissing"))->setChecked(true);
        chosen = dialog.Options();
        dialog.accept();
    }
    ASSERT_EQ(chosen.size(), 3u);
    EXPECT_EQ(TImportDialog::Remembered(settings(), TFileKind::Flood, copy), chosen);
    // The same name in another folder opens as left; the curve of that name
    // and a cancelled dialog keep nothing.
    EXPECT_EQ(TImportDialog(TFileKind::Flood, copy, settings()).Options(), chosen);
    EXPECT_TRUE(TImportDialog::Remembered(settings(), TFileKind::Curve, copy).empty());
    {
        TImportDialog dialog(TFileKind::Flood, copy, settings());
        dialog.findChild<QCheckBox*>(QStringLiteral("SkipMissing"))->setChecked(false);
        dialog.reject();
    }
    EXPECT_EQ(TImportDialog::Remembered(settings(), TFileKind::Flood, copy), chosen);
}

}  // namespace
