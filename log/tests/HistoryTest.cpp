// Undo and redo of the logs, and their daily backups.
#include "Constants.h"
#include "EntryDate.h"
#include "Guarded.h"
#include "LogBackup.h"
#include "LogModel.h"
#include "TestSupport.h"
#include "MessageBox.h"
#include "Pointer.h"
#include "SampleData.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUndoStack>

#include <sys/stat.h>

namespace {

QString Stored(const QString& key) { return ReadSetting(SettingsSection, key, QStringLiteral("<missing>")); }

LogEntry Row(const QString& date, const QString& weight = "180") { return {date, weight, "40", "34", "38"}; }

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        QDir(BackupFolder()).removeRecursively();
        SetBackupDayForTesting(QDate(2024, 3, 1));
        log.setUpImperialView();
        log.loadActiveLog();
    }
    void TearDown() override
    {
        SetBackupDayForTesting(QDate());
        QDir(BackupFolder()).removeRecursively();
        ClearSettings();
    }

    template <typename Command> void run(const char* name, Command command)
    {
        Guarded proc(name);
        command(proc);
    }
    // One "Add New Entry" with one save per row given: what its dialog does with the log.
    void add(const QList<LogEntry>& rows)
    {
        run("Form1.PushButton2_Click", [&](Guarded& proc) {
            for (const LogEntry& row : rows) {
                Guarded save("Form3.PushButton2_Click");
                save(20, [&] { log.appendEntry(row); });
                // Stored at once, as the command's own store.
                Guarded store("Form1.PushButton2_Click");
                store(30, [&] { log.storeActiveLog(); });
            }
            proc(30, [&] { log.storeActiveLog(); });
        });
    }
    // "Edit Selected Entry" with a new weight saved.
    void editSelected(const QString& weight)
    {
        LogEntry row = log.entry(log.selected());
        row[1] = weight;
        run("Form1.PushButton4_Click", [&](Guarded& proc) {
            proc(30, [&] { log.replaceSelected(row); });
            proc(70, [&] { log.storeActiveLog(); });
        });
    }
    void remove()
    {
        run("Form1.PushButton3_Click", [&](Guarded& proc) { log.deleteSelected(proc); });
    }
    void clear()
    {
        run("Form1.PushButton5_Click", [&](Guarded& proc) { log.clear(proc); });
    }
    void sample()
    {
        run("Form1.PushButton7_Click", [&](Guarded& proc) { log.loadSample(proc); });
    }
    void switchTo(bool imperial)
    {
        Guarded proc(imperial ? "Form1.Option1_Click" : "Form1.Option2_Click", Guarded::InCaller);
        log.switchTemplate(imperial, proc);
    }
    // The log and the store agree, and hold these rows.
    void expectLog(const QList<LogEntry>& rows, const QString& key = Keys::FitnessMen)
    {
        EXPECT_EQ(log.entries(), rows);
        EXPECT_EQ(Stored(key), JoinStoredLog(rows));
    }

    LogModel log;
};

TEST_F(HistoryTest, EveryCommandIsUndoneAndRedoneInListAndStoreTogether)
{
    const LogEntry a = Row("1/1/2024", "181"), b = Row("1/8/2024", "180"), c = Row("1/15/2024", "179");
    add({a, b, c});
    // One step per saved entry.
    EXPECT_EQ(log.history().activeStack()->count(), 3);
    log.select(2);
    editSelected("175.5");
    const LogEntry edited = {"1/8/2024", "175.5", "40", "34", "38"};
    expectLog({a, edited, c});
    remove();
    expectLog({a, c});
    clear();
    expectLog({});
    sample();
    expectLog(SampleEntries(true));
    EXPECT_EQ(Stored(Keys::Text2Men), "3/8");

    log.undo(); // the example, and its height
    expectLog({});
    EXPECT_EQ(log.height(2), "10");
    EXPECT_EQ(Stored(Keys::Text2Men), "10");
    log.undo(); // the clear
    expectLog({a, c});
    log.undo(); // the delete, which selects the row again
    expectLog({a, edited, c});
    EXPECT_EQ(log.selected(), 2);
    log.undo(); // the edit
    expectLog({a, b, c});
    log.undo(); // the third entry
    expectLog({a, b});
    log.redo();
    log.redo();
    expectLog({a, edited, c});
    log.redo();
    log.redo();
    log.redo();
    expectLog(SampleEntries(true));
    EXPECT_FALSE(log.canRedo());
    // Nothing more to redo: nothing happens.
    log.redo();
    expectLog(SampleEntries(true));
}

TEST_F(HistoryTest, StepsOfALongLogPutBackExactlyTheirOwnRows)
{
    // A damaged or hand-made store can hold far more than 26 entries; each step keeps only
    // the rows it changed, and undoing them all gives the log back as it was.
    QList<LogEntry> rows;
    for (int i = 0; i < 3000; ++i)
        rows << Row(QStringLiteral("1/%1/2000").arg(i % 28 + 1), QString::number(100 + i % 97));
    log.appendEntries(rows);
    log.storeActiveLog();
    for (int n : {1, 2999, 500, 500, 2000}) {
        log.select(n - (n > log.rowCount() ? 1 : 0));
        remove();
    }
    EXPECT_EQ(log.rowCount(), 2995);
    for (int i = 0; i < 5; ++i)
        log.undo();
    expectLog(rows);
    for (int i = 0; i < 5; ++i)
        log.redo();
    EXPECT_EQ(log.rowCount(), 2995);
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog(log.entries()));
    clear();
    log.undo();
    log.undo();
    EXPECT_EQ(log.rowCount(), 2996);
}

TEST_F(HistoryTest, ANewChangeAfterUndoDropsTheRedoSteps)
{
    add({Row("1/1/2024"), Row("1/2/2024")});
    log.undo();
    EXPECT_TRUE(log.canRedo());
    log.select(1);
    remove();
    EXPECT_FALSE(log.canRedo());
    log.undo();
    expectLog({Row("1/1/2024")});
}

TEST_F(HistoryTest, CommandsThatChangeNothingLeaveNoStep)
{
    add({}); // opened and cancelled
    clear();
    remove();
    log.appendEntries({Row("1/1/2024")});
    editSelected("180"); // saved unchanged
    EXPECT_FALSE(log.canUndo());
}

TEST_F(HistoryTest, TheHistoryFollowsItsLogAcrossSwitches)
{
    add({Row("1/1/2024")});
    switchTo(false);
    // The metric log has a history of its own.
    EXPECT_FALSE(log.canUndo());
    sample();
    const QString men = Stored(Keys::FitnessMen);
    log.undo();
    expectLog({}, Keys::FitnessWomen);
    EXPECT_EQ(Stored(Keys::FitnessMen), men);
    switchTo(true);
    EXPECT_TRUE(log.canUndo());
    log.undo();
    expectLog({});
    EXPECT_EQ(Stored(Keys::FitnessWomen), "");
    switchTo(false);
    log.redo();
    expectLog(SampleEntries(false), Keys::FitnessWomen);
}

TEST_F(HistoryTest, HeightsSetByTheProgramAreNoSteps)
{
    switchTo(false);
    switchTo(true);
    EXPECT_FALSE(log.canUndo());
    switchTo(false);
    EXPECT_FALSE(log.canUndo());
}

TEST_F(HistoryTest, NothingIsUndoneWhileAChartIsGenerated)
{
    add({Row("1/1/2024")});
    log.setBusy(true);
    log.undo();
    log.setBusy(false);
    expectLog({Row("1/1/2024")});
    log.undo();
    expectLog({});
}

TEST_F(HistoryTest, AFailedStoreDuringUndoIsReported)
{
    add({Row("1/1/2024")});
    const QString path = SettingsFilePath();
    QFile::remove(path);
    QDir().mkpath(path);
    ScriptedMessages messages;
    log.undo();
    QDir(path).removeRecursively();
    ASSERT_GE(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("Form1.Undo at line 30"))
        << messages.asked().first().text.toStdString();
    EXPECT_EQ(log.rowCount(), 0);
}

// ------------------------------------------------------------------------- backups

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST_F(HistoryTest, TheFirstChangeOfADayIsBackedUpBeforeItIsStored)
{
    // The first change of the first day: the store held the heights start-up wrote.
    add({Row("1/1/2024")});
    ASSERT_EQ(BackupFiles(), QStringList({"kalmora-2024-03-01.ini"}));
    EXPECT_FALSE(ReadAll(BackupFolder() + "/kalmora-2024-03-01.ini").contains("Fitness"));
    SetBackupDayForTesting(QDate(2024, 3, 2));
    const QByteArray before = ReadAll(SettingsFilePath());
    add({Row("1/2/2024")});
    ASSERT_EQ(BackupFiles(), QStringList({"kalmora-2024-03-01.ini", "kalmora-2024-03-02.ini"}));
    const QString backup = BackupFolder() + "/kalmora-2024-03-02.ini";
    EXPECT_EQ(ReadAll(backup), before);
    EXPECT_TRUE(before.contains("1/1/2024") && !before.contains("1/2/2024"));
    EXPECT_EQ(QFileInfo(backup).permissions() & 0x0077, 0);
    struct stat info { };
    ASSERT_EQ(::stat(QFile::encodeName(backup).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(QFile::encodeName(BackupFolder()).constData(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    // Later changes that day leave it alone, undo included.
    log.undo();
    clear();
    EXPECT_EQ(ReadAll(backup), before);
    // Restoring is copying it back while the program is closed; the next run reads it.
    QFile::remove(SettingsFilePath());
    ASSERT_TRUE(QFile::copy(backup, SettingsFilePath()));
    ReloadSettingsForTesting();
    LogModel restored;
    restored.setUpImperialView();
    restored.loadActiveLog();
    EXPECT_EQ(restored.entries(), QList<LogEntry>({Row("1/1/2024")}));
}

TEST_F(HistoryTest, AHeightAloneTakesTheBackupAndUnchangedStoresNone)
{
    add({Row("1/1/2024")});
    SetBackupDayForTesting(QDate(2024, 3, 2));
    add({}); // opened and cancelled
    EXPECT_EQ(BackupFiles(), QStringList({"kalmora-2024-03-01.ini"}));
    // The heights are in the backup as they were before the day's first change, a height.
    const QByteArray before = ReadAll(SettingsFilePath());
    log.typeHeight(1, "6");
    EXPECT_EQ(BackupFiles(), QStringList({"kalmora-2024-03-01.ini", "kalmora-2024-03-02.ini"}));
    EXPECT_EQ(ReadAll(BackupFolder() + "/kalmora-2024-03-02.ini"), before);
}

TEST_F(HistoryTest, TheNewestThirtyBackupsAreKept)
{
    for (int day = 0; day < 33; ++day) {
        SetBackupDayForTesting(QDate(2024, 4, 1).addDays(day));
        if (day % 2)
            clear();
        else
            sample();
    }
    const QStringList files = BackupFiles();
    ASSERT_EQ(files.size(), BackupsKept);
    EXPECT_EQ(files.first(), BackupFileName(QDate(2024, 4, 1).addDays(3)));
    EXPECT_EQ(files.last(), BackupFileName(QDate(2024, 4, 1).addDays(32)));
}

TEST_F(HistoryTest, AFailedBackupIsReportedOnceAndTheChangeIsStoredAllTheSame)
{
    add({Row("1/1/2024")});
    SetBackupDayForTesting(QDate(2024, 3, 2));
    // A file where the folder should be.
    QDir(BackupFolder()).removeRecursively();
    QDir().mkpath(QFileInfo(BackupFolder()).path());
    QFile blocker(BackupFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    ScriptedMessages messages;
    add({Row("1/2/2024")});
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.startsWith("The daily backup of the logs could not be made"));
    EXPECT_TRUE(messages.asked().first().text.contains("Form1.PushButton2_Click"));
    expectLog({Row("1/1/2024"), Row("1/2/2024")});
    // Not again that day.
    remove();
    EXPECT_EQ(messages.count(), 1);
    QFile::remove(BackupFolder());
}

} // namespace
