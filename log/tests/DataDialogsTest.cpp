#include "BackupRestore.h"
#include "Constants.h"
#include "IniText.h"
#include "LogBackup.h"
#include "MessageBox.h"
#include "Preferences.h"
#include "PreferencesDialog.h"
#include "RestoreDialog.h"
#include "Settings.h"
#include "StoredLog.h"
#include "TestSupport.h"
#include "file/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTreeWidget>
#include <QUndoStack>

#include <gtest/gtest.h>

namespace {

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

class DataDialogs : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        QDir(BackupFolder()).removeRecursively();
        SetBackupDayForTesting(QDate(2024, 3, 1));
        SetRestoreClockForTesting(QDateTime(QDate(2024, 3, 5), QTime(9, 0)));
    }
    void TearDown() override
    {
        SetRestoreDialogHook({});
        SetPreferenceDialogHook({});
        SetBackupDayForTesting(QDate());
        SetRestoreClockForTesting(QDateTime());
        QDir(BackupFolder()).removeRecursively();
        ClearSettings();
    }

    // Two daily backups: 3/1 with two imperial entries, 3/2 with none of them left.
    void MakeBackups()
    {
        WriteBackup(QDate(2024, 3, 1), {{"6/10/2004", "200"}, {"6/17/2004", "199"}}, {});
        WriteBackup(QDate(2024, 3, 2), {}, {{"1/1/2024", "70"}});
        // What stands now, after that day's changes.
        WriteSetting(SettingsSection, Keys::FitnessMen, JoinStoredLog({{"3/2/2024", "150"}}));
    }

    // Chooses the backup in `row` and presses "Restore" once the dialog runs.
    static void ChooseRow(int row)
    {
        SetRestoreDialogHook([row](RestoreDialog* dialog) {
            QTimer::singleShot(0, dialog, [dialog, row] {
                dialog->list()->setCurrentItem(dialog->list()->topLevelItem(row));
                dialog->restoreButton()->click();
            });
        });
    }
};

TEST_F(DataDialogs, TheListShowsEachBackupsDateAndEntriesNewestFirst)
{
    MakeBackups();
    RestoreDialog dialog(ListBackups(), true);
    ASSERT_EQ(dialog.list()->topLevelItemCount(), 2);
    QTreeWidgetItem* newest = dialog.list()->topLevelItem(0);
    EXPECT_EQ(newest->text(0), "3/2/2024");
    EXPECT_EQ(newest->text(1), "0 entries");
    EXPECT_EQ(newest->text(2), "1 entry");
    EXPECT_EQ(dialog.list()->topLevelItem(1)->text(1), "2 entries");
    EXPECT_TRUE(dialog.restoreButton()->isEnabled());
    EXPECT_EQ(dialog.chosen()->day, QDate(2024, 3, 2));

    RestoreDialog empty({}, true);
    EXPECT_FALSE(empty.restoreButton()->isEnabled());
    EXPECT_FALSE(empty.chosen().has_value());
    EXPECT_NE(empty.findChild<QObject*>("NoBackups"), nullptr);
}

TEST_F(DataDialogs, RestoringCopiesTheSettingsFirstAndGivesTheActiveLogOfTheBackup)
{
    MakeBackups();
    ChooseRow(1);
    const std::optional<QList<LogEntry>> entries = ChooseRestore(true, nullptr);
    ASSERT_TRUE(entries.has_value());
    EXPECT_EQ(*entries, QList<LogEntry>({{"6/10/2004", "200"}, {"6/17/2004", "199"}}));
    // The log as it stood is in the copy made first.
    const QList<BackupInfo> backups = ListBackups();
    ASSERT_EQ(backups.size(), 3);
    EXPECT_TRUE(backups.first().beforeRestore);
    EXPECT_EQ(BackupLog(backups.first().path, true), QList<LogEntry>({{"3/2/2024", "150"}}));
    // Restoring gives the entries; storing them is the caller's one step.
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen), JoinStoredLog({{"3/2/2024", "150"}}));
}

TEST_F(DataDialogs, ABackupWithoutEntriesOfTheLogIsAskedAboutAndNoLeavesAllAsItWas)
{
    MakeBackups();
    ChooseRow(0);
    {
        ScriptedMessages messages;
        messages.answer(MsgAnswer::No);
        EXPECT_FALSE(ChooseRestore(true, nullptr).has_value());
        ASSERT_EQ(messages.count(), 1);
        EXPECT_TRUE(messages.asked().first().text.contains("holds no entries of the Fitness Men log"));
    }
    EXPECT_EQ(ListBackups().size(), 2);
    ScriptedMessages messages;
    messages.answer(MsgAnswer::Yes);
    const auto entries = ChooseRestore(true, nullptr);
    ASSERT_TRUE(entries.has_value());
    EXPECT_TRUE(entries->isEmpty());
}

TEST_F(DataDialogs, ACopyThatCannotBeMadeStopsTheRestoreWithAMessage)
{
    MakeBackups();
    ChooseRow(1);
    ScriptedMessages messages;
    sheet::DurableFaults faults;
    faults.failRename = true;
    sheet::ScopedDurableFaults scoped(faults);
    EXPECT_FALSE(ChooseRestore(true, nullptr).has_value());
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("nothing was restored"));
}

TEST_F(DataDialogs, PreferencesStoreTheEntryLimit)
{
    PreferencesDialog dialog;
    EXPECT_EQ(dialog.entryLimit()->value(), 26);
    dialog.entryLimit()->setValue(0);
    EXPECT_EQ(dialog.entryLimit()->text(), "No limit");
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(ReadEntryLimit(), 0);
    EXPECT_EQ(PreferencesDialog().entryLimit()->value(), 0);
}

TEST_F(DataDialogs, TheGoalIsCheckedAndAnUnlikelyOneAskedAbout)
{
    WriteSetting(SettingsSection, "Goal Women", "65.5");
    GoalDialog dialog(false, ReadGoal(false));
    EXPECT_EQ(dialog.goalField()->text(), "65.5");
    ScriptedMessages messages;
    dialog.goalField()->setText("-3");
    dialog.accept();
    EXPECT_EQ(messages.count(), 1);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    messages.answer(MsgAnswer::No);
    dialog.goalField()->setText("600");
    dialog.accept();
    EXPECT_EQ(messages.asked().last().text, "That looks unlikely. Save anyway?");
    EXPECT_EQ(messages.asked().last().buttons, MsgButtons::YesNo);
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    messages.answer(MsgAnswer::Yes);
    dialog.accept();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.storedGoal(), "600");
}

TEST_F(DataDialogs, AGoalIsOneUndoStepStoredAtOnce)
{
    ScopedLocale german("de_DE");
    SetPreferenceDialogHook([](QDialog* dialog) {
        QTimer::singleShot(0, dialog, [dialog] {
            dialog->findChild<QLineEdit*>("Goal")->setText("72,5");
            dialog->accept();
        });
    });
    const std::optional<QString> goal = AskGoal(false, nullptr);
    ASSERT_TRUE(goal.has_value());
    EXPECT_EQ(*goal, "72.5");

    QUndoStack stack;
    QList<QString> shown;
    stack.push(new GoalStep(false, ReadGoal(false), *goal, [&](bool, const QString& g) { shown.append(g); }));
    EXPECT_EQ(ReadSetting(SettingsSection, "Goal Women"), "72.5");
    EXPECT_EQ(ReadSetting(SettingsSection, "Goal Men", "<missing>"), "<missing>");
    stack.undo();
    EXPECT_EQ(ReadSetting(SettingsSection, "Goal Women"), "");
    stack.redo();
    EXPECT_EQ(ReadGoal(false), "72.5");
    EXPECT_EQ(shown, QList<QString>({"72.5", "", "72.5"}));

    // The same goal again, or a cancelled dialog: nothing to do.
    SetPreferenceDialogHook([](QDialog* dialog) { QTimer::singleShot(0, dialog, [dialog] { dialog->accept(); }); });
    EXPECT_FALSE(AskGoal(false, nullptr).has_value());
}

} // namespace
