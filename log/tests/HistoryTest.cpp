// Undo and redo of the logs, and their daily backups.
#include "Constants.h"
#include "EntryDate.h"
#include "Guarded.h"
#include "LogBackup.h"
#include "LogHarness.h"
#include "MessageBox.h"
#include "Pointer.h"
#include "SampleData.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QUndoStack>

#include <sys/stat.h>

namespace {

LogEntry Row(const QString& date, const QString& weight = "180") { return {date, weight, "40", "34", "38"}; }

class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        QDir(BackupFolder()).removeRecursively();
        SetBackupDayForTesting(QDate(2024, 3, 1));
        h.startImperial();
    }
    void TearDown() override
    {
        SetBackupDayForTesting(QDate());
        QDir(BackupFolder()).removeRecursively();
        ClearSettings();
    }

    template <typename Command> void run(Command command, const char* name)
    {
        Guarded proc(name);
        command(h.c, proc);
    }
    // One "Add New Entry" with one save per row given.
    void add(const QList<LogEntry>& rows)
    {
        DriveDialog drive([&](EntryDialog* dialog) {
            for (const LogEntry& row : rows) {
                dialog->DateTimePicker1()->setDate(ParseEntryDate(row.first()));
                Type(dialog, row.mid(1));
                dialog->PushButton2()->click();
            }
            dialog->PushButton1()->click();
        });
        run(AddNewEntry, "Form1.PushButton2_Click");
    }
    void editSelected(const QString& weight)
    {
        DriveDialog drive([&](EntryDialog* dialog) {
            dialog->Text(1)->setText(weight);
            dialog->PushButton2()->click();
        });
        run(EditSelectedEntry, "Form1.PushButton4_Click");
    }
    void remove() { run(DeleteSelectedEntry, "Form1.PushButton3_Click"); }
    void clear() { run(ClearList, "Form1.PushButton5_Click"); }
    void sample() { run(LoadSampleData, "Form1.PushButton7_Click"); }
    LogHistory& history() { return *h.c.history; }
    // The list and the store agree, and hold these rows.
    void expectLog(const QList<LogEntry>& rows, const QString& key = Keys::FitnessMen)
    {
        EXPECT_EQ(h.rows(), rows);
        EXPECT_EQ(Stored(key), JoinStoredLog(rows));
    }

    LogHarness h{true};
};

TEST_F(HistoryTest, EveryCommandIsUndoneAndRedoneInListAndStoreTogether)
{
    const LogEntry a = Row("1/1/2024", "181"), b = Row("1/8/2024", "180"), c = Row("1/15/2024", "179");
    add({a, b, c});
    // One step per saved entry.
    EXPECT_EQ(history().activeStack()->count(), 3);
    h.list().selectRow(h.list().row(2));
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

    history().undo(); // the example, and its height
    expectLog({});
    EXPECT_EQ(h.c.Text2->text(), "10");
    EXPECT_EQ(Stored(Keys::Text2Men), "10");
    history().undo(); // the clear
    expectLog({a, c});
    history().undo(); // the delete, which selects the row again
    expectLog({a, edited, c});
    EXPECT_EQ(h.list().selectedRow(), h.list().row(2));
    history().undo(); // the edit
    expectLog({a, b, c});
    history().undo(); // the third entry
    expectLog({a, b});
    history().redo();
    history().redo();
    expectLog({a, edited, c});
    history().redo();
    history().redo();
    history().redo();
    expectLog(SampleEntries(true));
    EXPECT_FALSE(history().canRedo());
    // Nothing more to redo: nothing happens.
    history().redo();
    expectLog(SampleEntries(true));
}

TEST_F(HistoryTest, EachSaveInTheAddDialogIsStoredAndIsAStepWhileTheDialogIsOpen)
{
    const LogEntry a = Row("1/1/2024", "181"), b = Row("1/8/2024", "180");
    QStringList storedAfterSave;
    QList<int> stepsAfterSave;
    DriveDialog drive([&](EntryDialog* dialog) {
        for (const LogEntry& row : {a, b}) {
            dialog->DateTimePicker1()->setDate(ParseEntryDate(row.first()));
            Type(dialog, row.mid(1));
            dialog->PushButton2()->click();
            storedAfterSave << Stored(Keys::FitnessMen);
            stepsAfterSave << history().activeStack()->count();
        }
        dialog->PushButton1()->click();
    });
    run(AddNewEntry, "Form1.PushButton2_Click");
    // On disk the moment "Save" was pressed, not when the dialog closed.
    EXPECT_EQ(storedAfterSave, (QStringList{JoinStoredLog({a}), JoinStoredLog({a, b})}));
    EXPECT_EQ(stepsAfterSave, (QList<int>{1, 2}));
    expectLog({a, b});
    history().undo();
    expectLog({a});
    history().undo();
    expectLog({});
}

TEST_F(HistoryTest, StepsOfALongLogPutBackExactlyTheirOwnRows)
{
    // A damaged or hand-made store can hold far more than 26 entries; each step keeps only
    // the rows it changed, and undoing them all gives the log back as it was.
    QList<LogEntry> rows;
    for (int i = 0; i < 3000; ++i)
        rows << Row(QStringLiteral("1/%1/2000").arg(i % 28 + 1), QString::number(100 + i % 97));
    h.addRows(rows);
    StoreActiveLog(h.c);
    for (int n : {1, 2999, 500, 500, 2000}) {
        h.list().selectRow(h.list().row(n - (n > h.list().rowCount() ? 1 : 0)));
        remove();
    }
    EXPECT_EQ(h.list().rowCount(), 2995);
    for (int i = 0; i < 5; ++i)
        history().undo();
    expectLog(rows);
    for (int i = 0; i < 5; ++i)
        history().redo();
    EXPECT_EQ(h.list().rowCount(), 2995);
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog(h.list().storedEntries()));
    clear();
    history().undo();
    history().undo();
    EXPECT_EQ(h.list().rowCount(), 2996);
}

TEST_F(HistoryTest, ANewChangeAfterUndoDropsTheRedoSteps)
{
    add({Row("1/1/2024"), Row("1/2/2024")});
    history().undo();
    EXPECT_TRUE(history().canRedo());
    h.list().selectRow(h.list().row(1));
    remove();
    EXPECT_FALSE(history().canRedo());
    history().undo();
    expectLog({Row("1/1/2024")});
}

TEST_F(HistoryTest, CommandsThatChangeNothingLeaveNoStep)
{
    add({}); // opened and cancelled
    clear();
    remove();
    DriveDialog cancel([](EntryDialog* dialog) { dialog->PushButton1()->click(); });
    run(EditSelectedEntry, "Form1.PushButton4_Click");
    EXPECT_FALSE(history().canUndo());
}

TEST_F(HistoryTest, TheHistoryFollowsItsLogAcrossSwitches)
{
    add({Row("1/1/2024")});
    h.c.Option2->setChecked(true);
    // The metric log has a history of its own.
    EXPECT_FALSE(history().canUndo());
    sample();
    const QString men = Stored(Keys::FitnessMen);
    history().undo();
    expectLog({}, Keys::FitnessWomen);
    EXPECT_EQ(Stored(Keys::FitnessMen), men);
    h.c.Option1->setChecked(true);
    EXPECT_TRUE(history().canUndo());
    history().undo();
    expectLog({});
    EXPECT_EQ(Stored(Keys::FitnessWomen), "");
    h.c.Option2->setChecked(true);
    history().redo();
    expectLog(SampleEntries(false), Keys::FitnessWomen);
}

TEST_F(HistoryTest, TypedHeightsAreStepsOneFieldAtATime)
{
    h.window.show();
    QApplication::setActiveWindow(&h.window);
    h.c.Text1->setFocus();
    QTest::keyClicks(h.c.Text1, "6");
    h.c.Text2->setFocus();
    QTest::keyClick(h.c.Text2, Qt::Key_End);
    QTest::keyClicks(h.c.Text2, ".5");
    EXPECT_EQ(Stored(Keys::Text2Men), "10.5");
    // Consecutive keys in one field are one step.
    EXPECT_EQ(history().activeStack()->count(), 2);
    history().undo();
    EXPECT_EQ(h.c.Text2->text(), "10");
    EXPECT_EQ(Stored(Keys::Text2Men), "10");
    history().undo();
    EXPECT_EQ(h.c.Text1->text(), "5");
    EXPECT_EQ(Stored(Keys::Text1Men), "5");
    history().redo();
    EXPECT_EQ(Stored(Keys::Text1Men), "6");
    // Coming back to a field starts a new step.
    h.c.Text2->setFocus();
    QTest::keyClicks(h.c.Text2, "9");
    h.c.Text1->setFocus();
    h.c.Text2->setFocus();
    QTest::keyClicks(h.c.Text2, "8");
    EXPECT_EQ(history().activeStack()->count(), 3);
}

TEST_F(HistoryTest, HeightsSetByTheProgramAreNoSteps)
{
    h.c.Option2->setChecked(true);
    h.c.Option1->setChecked(true);
    EXPECT_FALSE(history().canUndo());
    h.c.Option2->setChecked(true);
    EXPECT_FALSE(history().canUndo());
}

TEST_F(HistoryTest, NothingIsUndoneWhileAChartIsGenerated)
{
    add({Row("1/1/2024")});
    SetBusyPointer(&h.window, true);
    history().undo();
    SetBusyPointer(&h.window, false);
    expectLog({Row("1/1/2024")});
    history().undo();
    expectLog({});
}

TEST_F(HistoryTest, AFailedStoreDuringUndoIsReported)
{
    add({Row("1/1/2024")});
    const QString path = SettingsFilePath();
    QFile::remove(path);
    QDir().mkpath(path);
    ScriptedMessages messages;
    history().undo();
    QDir(path).removeRecursively();
    ASSERT_GE(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("Form1.Undo at line 30"))
        << messages.asked().first().text.toStdString();
    EXPECT_EQ(h.list().rowCount(), 0);
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
    history().undo();
    clear();
    EXPECT_EQ(ReadAll(backup), before);
    // Restoring is copying it back while the program is closed; the next run reads it.
    QFile::remove(SettingsFilePath());
    ASSERT_TRUE(QFile::copy(backup, SettingsFilePath()));
    ReloadSettingsForTesting();
    LogHarness restored;
    restored.startImperial();
    EXPECT_EQ(restored.rows(), QList<LogEntry>({Row("1/1/2024")}));
}

TEST_F(HistoryTest, AHeightAloneTakesTheBackupAndUnchangedStoresNone)
{
    add({Row("1/1/2024")});
    SetBackupDayForTesting(QDate(2024, 3, 2));
    DriveDialog cancel([](EntryDialog* dialog) { dialog->PushButton1()->click(); });
    run(AddNewEntry, "Form1.PushButton2_Click");
    EXPECT_EQ(BackupFiles(), QStringList({"kalmora-2024-03-01.ini"}));
    // The heights are in the backup as they were before the day's first change, a height.
    const QByteArray before = ReadAll(SettingsFilePath());
    h.c.Text1->setText("6");
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
