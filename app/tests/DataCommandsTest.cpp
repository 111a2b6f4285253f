#include "BackupRestore.h"
#include "Constants.h"
#include "IniText.h"
#include "DataCommands.h"
#include "FileDialog.h"
#include "ImportDialog.h"
#include "LogBackup.h"
#include "LogExport.h"
#include "LogFigures.h"
#include "MessageBox.h"
#include "RestoreDialog.h"
#include "Settings.h"
#include "TestSupport.h"
#include "file/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// The active log as the main window gives it, with every replacement recorded.
struct FakeLog {
    ActiveLogAccess access(bool imperial = true)
    {
        ActiveLogAccess a;
        a.imperial = imperial;
        a.entries = entries;
        a.height1 = "5";
        a.height2 = "10";
        a.replace = [this](const QList<LogEntry>& rows, const QString& step) {
            entries = rows;
            steps.append(step);
        };
        return a;
    }
    QList<LogEntry> entries;
    QStringList steps;
};

// A backup as the settings store leaves one: the settings file of that day.
void WriteBackup(const QDate& day, const QList<LogEntry>& men, const QList<LogEntry>& women)
{
    IniDocument document;
    document.setText(SettingsSection, Keys::FitnessMen, JoinStoredLog(men));
    document.setText(SettingsSection, Keys::FitnessWomen, JoinStoredLog(women));
    QDir().mkpath(BackupFolder());
    QFile file(BackupFolder() + "/" + BackupFileName(day));
    if (file.open(QIODevice::WriteOnly))
        file.write(IniDocumentText(document));
}

class DataCommands : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override
    {
        SetImportFileResponder({});
        SetRestoreDialogHook({});
        SetBackupDayForTesting(QDate());
        QDir(BackupFolder()).removeRecursively();
        ClearSettings();
    }
    QTemporaryDir dir;
};

TEST_F(DataCommands, ExportWritesTheLogWithTheWorkbooksFiguresAndImportBringsItBack)
{
    FakeLog log;
    log.entries = {{"6/10/2004", "200", "42", "36", "34"}, {"6/17/2004", "198.5", "", "35.5", "34"}};
    ScriptedSaveFiles saves;
    saves.answer(dir.filePath("my log"));
    const QString status = ExportActiveLog(log.access(), nullptr);
    const QString path = dir.filePath("my log.csv");
    EXPECT_EQ(status, QStringLiteral("Exported 2 entries of the Fitness Men log to %1.").arg(path));
    const QByteArray written = ReadAll(path);
    EXPECT_EQ(written, ExportCsvBytes(true, log.entries, ComputeLogFigures(true, "5", "10", log.entries)));
    // BMI of 200 lb at 5 ft 10 in, as the workbook computes it.
    EXPECT_TRUE(written.contains(",28.69\r\n")) << written.toStdString();

    // Into an empty log: the same log, one step.
    FakeLog empty;
    SetImportFileResponder([&] { return path; });
    ScriptedMessages messages;
    EXPECT_FALSE(ImportIntoActiveLog(empty.access(), nullptr).isEmpty());
    EXPECT_EQ(empty.entries, log.entries);
    EXPECT_EQ(empty.steps, QStringList({"Import"}));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(DataCommands, ExportAsksBeforeReplacingAFileAndAFullDiskLosesNothing)
{
    FakeLog log;
    log.entries = {{"6/10/2004", "200", "42", "36", "34"}};
    const QString path = dir.filePath("log.csv");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    ScriptedSaveFiles saves;
    ScriptedMessages messages;
    saves.answer(path);
    messages.answer(MsgAnswer::No);
    EXPECT_TRUE(ExportActiveLog(log.access(), nullptr).isEmpty());
    EXPECT_EQ(ReadAll(path), "old");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("already exists"));

    saves.answer(path);
    messages.answer(MsgAnswer::Yes);
    {
        sheet::DurableFaults faults;
        faults.failWriteAtByte = 10;
        sheet::ScopedDurableFaults scoped(faults);
        EXPECT_TRUE(ExportActiveLog(log.access(), nullptr).isEmpty());
    }
    EXPECT_EQ(ReadAll(path), "old");
    EXPECT_TRUE(messages.asked().last().text.endsWith("Nothing was written."));

    // A cancelled dialog does nothing.
    EXPECT_TRUE(ExportActiveLog(log.access(), nullptr).isEmpty());
    EXPECT_EQ(ExportFileName(false, QDate(2026, 12, 7)), "Fitness Women 2026-12-07.csv");
}

TEST_F(DataCommands, ARefusedOrCancelledImportLeavesTheLogAlone)
{
    FakeLog log;
    log.entries = {{"6/10/2004", "200", "", "", ""}};
    const QString path = dir.filePath("empty.csv");
    QFile(path).open(QIODevice::WriteOnly);
    SetImportFileResponder([&] { return path; });
    ScriptedMessages messages;
    EXPECT_TRUE(ImportIntoActiveLog(log.access(), nullptr).isEmpty());
    EXPECT_TRUE(log.steps.isEmpty());
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("empty"));
    SetImportFileResponder([] { return QString(); });
    EXPECT_TRUE(ImportIntoActiveLog(log.access(), nullptr).isEmpty());
    EXPECT_EQ(messages.count(), 1);
}

TEST_F(DataCommands, RestoreIsOneStepAfterACopyOfTheLogsAsTheyStand)
{
    SetBackupDayForTesting(QDate(2024, 3, 1));
    WriteBackup(QDate(2024, 3, 1), {}, {{"1/1/2024", "70"}});
    WriteSetting(SettingsSection, Keys::FitnessWomen, JoinStoredLog({{"3/1/2024", "68"}}));
    FakeLog log;
    log.entries = {{"3/1/2024", "68"}};
    SetRestoreDialogHook(
        [](RestoreDialog* dialog) { QTimer::singleShot(0, dialog, [dialog] { dialog->restoreButton()->click(); }); });
    const QString status = RestoreActiveLog(log.access(false), nullptr);
    EXPECT_EQ(status, "The Fitness Women log was restored (1 entry); Ctrl+Z takes the restore back.");
    EXPECT_EQ(log.entries, QList<LogEntry>({{"1/1/2024", "70"}}));
    EXPECT_EQ(log.steps, QStringList({"Restore From Backup"}));
    ASSERT_EQ(ListBackups().size(), 2);
    EXPECT_TRUE(ListBackups().first().beforeRestore);
}

} // namespace
