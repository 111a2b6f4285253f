#include "Constants.h"
#include "EntryDate.h"
#include "Guarded.h"
#include "LogHarness.h"
#include "ApplicationTitle.h"
#include "MessageBox.h"
#include "Pointer.h"
#include "SampleData.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QUndoStack>

namespace {

LogEntry Row(const QString& date) { return {date, "1", "2", "3", "4"}; }

QList<LogEntry> Rows(int count)
{
    QList<LogEntry> rows;
    for (int i = 1; i <= count; ++i)
        rows << Row(QStringLiteral("1/%1/2020").arg(i));
    return rows;
}

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        h.startImperial();
    }
    void TearDown() override { ClearSettings(); }

    void add()
    {
        Guarded proc("Form1.PushButton2_Click");
        AddNewEntry(h.model, &h.window, proc);
    }
    void remove()
    {
        Guarded proc("Form1.PushButton3_Click");
        DeleteSelectedEntry(h.model, proc);
    }
    void edit()
    {
        Guarded proc("Form1.PushButton4_Click");
        EditSelectedEntry(h.model, &h.window, proc);
    }
    void clear()
    {
        Guarded proc("Form1.PushButton5_Click");
        ClearList(h.model, proc);
    }
    void sample()
    {
        Guarded proc("Form1.PushButton7_Click");
        LoadSampleData(h.model, proc);
    }

    LogHarness h;
};

TEST_F(CommandsTest, AddOpensTheDialogBelowTheLimit)
{
    h.addRows(Rows(25));
    DriveDialog drive([](EntryDialog* dialog) { dialog->PushButton1()->click(); });
    ScriptedMessages messages;
    add();
    EXPECT_EQ(drive.opened, 1);
    EXPECT_EQ(drive.lastCaption, "Add New Record");
    EXPECT_EQ(messages.count(), 0);
    // Cancel without saving still rewrites the stored log.
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog(Rows(25)));
}

TEST_F(CommandsTest, AddAtTheLimitShowsTheMessageAndNothingElse)
{
    h.addRows(Rows(26));
    WriteSetting(SettingsSection, Keys::FitnessMen, "untouched");
    DriveDialog drive([](EntryDialog*) {});
    ScriptedMessages messages;
    add();
    EXPECT_EQ(drive.opened, 0);
    ASSERT_EQ(messages.count(), 1);
    const MessageRequest& box = messages.asked().first();
    EXPECT_EQ(box.text, "Template chart will not fit perfectly.\r\nUp to 26 items only to be added. ");
    EXPECT_EQ(box.buttons, MsgButtons::Ok);
    EXPECT_EQ(box.icon, MsgIcon::None);
    EXPECT_EQ(box.title, ApplicationTitle());
    EXPECT_EQ(Stored(Keys::FitnessMen), "untouched");
}

TEST_F(CommandsTest, SeveralSavesInOneDialogAppendInOrder)
{
    h.addRows(Rows(25));
    QDate pickerDate;
    bool emptied = false;
    bool focusInWeight = false;
    QString storedAfterFirstSave;
    ScriptedMessages messages;
    DriveDialog drive([&](EntryDialog* dialog) {
        dialog->DateTimePicker1()->setDate(QDate(2024, 3, 5));
        Type(dialog, {"180", "40", "34", "38"});
        dialog->PushButton2()->click();
        // On disk while the dialog is still open: a killed program keeps the entry.
        storedAfterFirstSave = Stored(Keys::FitnessMen);
        emptied = dialog->Text(1)->text().isEmpty() && dialog->Text(4)->text().isEmpty();
        focusInWeight = dialog->focusWidget() == dialog->Text(1);
        pickerDate = dialog->DateTimePicker1()->date();
        Type(dialog, {"179", "39.5", "33", "37"});
        dialog->PushButton2()->click();
        // A third "Save" of the emptied boxes saves nothing.
        dialog->PushButton2()->click();
        EXPECT_TRUE(dialog->isVisible());
        dialog->PushButton1()->click();
    });
    add();
    EXPECT_TRUE(emptied);
    EXPECT_TRUE(focusInWeight);
    EXPECT_EQ(pickerDate, QDate(2024, 3, 5));
    EXPECT_EQ(messages.count(), 1);
    QList<LogEntry> expected = Rows(25);
    expected << LogEntry{"3/5/2024", "180", "40", "34", "38"} << LogEntry{"3/5/2024", "179", "39.5", "33", "37"};
    EXPECT_EQ(h.rows(), expected);
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog(expected));
    EXPECT_EQ(storedAfterFirstSave, JoinStoredLog(expected.mid(0, 26)));
    // Each saved entry is a step of its own.
    EXPECT_EQ(h.model.history().activeStack()->count(), 2);
    h.model.undo();
    EXPECT_EQ(h.rows(), expected.mid(0, 26));
    h.model.redo();
    // Past the limit now: the next add refuses.
    messages.clear();
    add();
    EXPECT_EQ(messages.count(), 1);
}

TEST_F(CommandsTest, EachSaveInTheAddDialogIsStoredAndIsAStepWhileTheDialogIsOpen)
{
    const LogEntry a = LogEntry{"1/1/2024", "181", "40", "34", "38"}, b = LogEntry{"1/8/2024", "180", "40", "34", "38"};
    QStringList storedAfterSave;
    QList<int> stepsAfterSave;
    DriveDialog drive([&](EntryDialog* dialog) {
        for (const LogEntry& row : {a, b}) {
            dialog->DateTimePicker1()->setDate(ParseEntryDate(row.first()));
            Type(dialog, row.mid(1));
            dialog->PushButton2()->click();
            storedAfterSave << Stored(Keys::FitnessMen);
            stepsAfterSave << h.model.history().activeStack()->count();
        }
        dialog->PushButton1()->click();
    });
    add();
    // On disk the moment "Save" was pressed, not when the dialog closed.
    EXPECT_EQ(storedAfterSave, (QStringList{JoinStoredLog({a}), JoinStoredLog({a, b})}));
    EXPECT_EQ(stepsAfterSave, (QList<int>{1, 2}));
    EXPECT_EQ(h.rows(), QList<LogEntry>({a, b}));
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog({a, b}));
    h.model.undo();
    EXPECT_EQ(h.rows(), QList<LogEntry>({a}));
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog({a}));
    h.model.undo();
    EXPECT_EQ(h.rows(), QList<LogEntry>({}));
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog({}));
}

TEST_F(CommandsTest, Form3TakesWaistFromTheUpperRightBox)
{
    DriveDialog drive([](EntryDialog* dialog) {
        // Screen order: weight, waist, chest, hips.
        EXPECT_EQ(dialog->objectName(), "Form3");
        EXPECT_EQ(dialog->Text(1)->nextInFocusChain(), dialog->Text(3));
        Type(dialog, {"201", "43", "37", "35"});
        dialog->PushButton2()->click();
    });
    add();
    ASSERT_EQ(h.model.rowCount(), 1);
    EXPECT_EQ(h.rows().first().mid(1), QStringList({"201", "43", "37", "35"}));
}

TEST_F(CommandsTest, Form4WritesSixMeasurements)
{
    h.c.Option2->setChecked(true);
    DriveDialog drive([](EntryDialog* dialog) {
        EXPECT_EQ(dialog->objectName(), "Form4");
        EXPECT_EQ(dialog->measurementCount(), 6);
        dialog->DateTimePicker1()->setDate(QDate(2004, 6, 10));
        Type(dialog, {"63.5", "81.3", " 70 ", "99", "17", "29"});
        dialog->PushButton2()->click();
    });
    add();
    EXPECT_EQ(h.rows(), QList<LogEntry>({{"6/10/2004", "63.5", "81.3", "70", "99", "17", "29"}}));
    EXPECT_EQ(Stored(Keys::FitnessWomen),
              "6/10/2004||SEP1||63.5||SEP1||81.3||SEP1||70||SEP1||99||SEP1||17||SEP1||29||SEP2||");
    EXPECT_FALSE(HasSetting(Keys::FitnessMen));
}

TEST_F(CommandsTest, FreshDialogShowsTodayWithinTheFullRange)
{
    DriveDialog drive([](EntryDialog* dialog) {
        EXPECT_EQ(dialog->DateTimePicker1()->date(), QDate::currentDate());
        EXPECT_EQ(dialog->DateTimePicker1()->minimumDate(), QDate(1601, 1, 1));
        EXPECT_EQ(dialog->DateTimePicker1()->maximumDate(), QDate(9999, 12, 31));
        EXPECT_EQ(dialog->DateTimePicker1()->displayFormat(), "M/d/yyyy");
        EXPECT_TRUE(dialog->DateTimePicker1()->calendarPopup());
        EXPECT_TRUE(dialog->isModal());
        EXPECT_FALSE(dialog->windowIcon().isNull());
    });
    add();
    EXPECT_EQ(drive.opened, 1);
}

TEST_F(CommandsTest, EscapeCancels)
{
    DriveDialog drive([](EntryDialog* dialog) {
        Type(dialog, {"1", "2", "3", "4"});
        QTest::keyClick(dialog->Text(2), Qt::Key_Escape);
        EXPECT_FALSE(dialog->isVisible());
    });
    add();
    EXPECT_EQ(h.model.rowCount(), 0);
    EXPECT_EQ(Stored(Keys::FitnessMen), "");
}

TEST_F(CommandsTest, SeparatorTextIsRefusedAndTheDialogKeepsWhatWasTyped)
{
    ScriptedMessages messages;
    DriveDialog drive([&](EntryDialog* dialog) {
        Type(dialog, {"80", "a||SEP2||b", "30", "35"});
        dialog->PushButton2()->click();
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->Text(2)->text(), "a||SEP2||b");
        EXPECT_EQ(dialog->Text(1)->text(), "80");
        dialog->Text(2)->setText("40");
        dialog->PushButton2()->click();
        dialog->PushButton1()->click();
    });
    add();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("\"a||SEP2||b\""));
    EXPECT_EQ(messages.asked().first().icon, MsgIcon::Exclamation);
    ASSERT_EQ(h.model.rowCount(), 1);
    EXPECT_EQ(h.rows().first().mid(1), QStringList({"80", "40", "30", "35"}));
}

TEST_F(CommandsTest, EditPresetsTheDialogAndChangesTheRowInPlace)
{
    h.addRows({Row("1/1/2020"), {"6/10/2004", "200", "42", "36", "34"}, Row("1/3/2020")});
    h.model.select(2);
    DriveDialog drive([](EntryDialog* dialog) {
        EXPECT_EQ(dialog->windowTitle(), "Edit Record");
        EXPECT_EQ(dialog->DateTimePicker1()->date(), QDate(2004, 6, 10));
        EXPECT_EQ(dialog->Text(1)->text(), "200");
        EXPECT_EQ(dialog->Text(4)->text(), "34");
        dialog->DateTimePicker1()->setDate(QDate(2004, 6, 11));
        dialog->Text(3)->setText("35");
        dialog->PushButton2()->click();
        EXPECT_FALSE(dialog->isVisible());
    });
    edit();
    EXPECT_EQ(drive.opened, 1);
    const QList<LogEntry> expected = {Row("1/1/2020"), {"6/11/2004", "200", "42", "35", "34"}, Row("1/3/2020")};
    EXPECT_EQ(h.rows(), expected);
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog(expected));
}

TEST_F(CommandsTest, EditCancelLeavesTheRow)
{
    h.addRows({Row("1/1/2020")});
    h.model.select(1);
    DriveDialog drive([](EntryDialog* dialog) {
        dialog->Text(1)->setText("999");
        dialog->PushButton1()->click();
    });
    edit();
    EXPECT_EQ(h.rows(), QList<LogEntry>({Row("1/1/2020")}));
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog({Row("1/1/2020")}));
}

TEST_F(CommandsTest, EditWithNothingToEditDoesNothing)
{
    DriveDialog drive([](EntryDialog*) {});
    edit();
    EXPECT_EQ(drive.opened, 0);
    EXPECT_FALSE(HasSetting(Keys::FitnessMen));
    h.addRows({Row("1/1/2020")});
    // A cleared selection in the list leaves the row selected: there is always a row to edit.
    h.c.ListView1->clearSelection();
    h.c.ListView1->selectionModel()->clearCurrentIndex();
    EXPECT_EQ(h.model.selected(), 1);
    EXPECT_EQ(h.listSelection(), 1);
    h.model.select(0);
    EXPECT_EQ(h.model.selected(), 1);
}

TEST_F(CommandsTest, EditOfAnUnreadableDateIsReportedAndTheDialogStillOpens)
{
    h.addRows({{"someday", "1", "2", "3", "4"}});
    h.model.select(1);
    ScriptedMessages messages;
    DriveDialog drive([](EntryDialog* dialog) {
        EXPECT_EQ(dialog->DateTimePicker1()->date(), QDate::currentDate());
        EXPECT_EQ(dialog->Text(1)->text(), "1");
    });
    edit();
    EXPECT_EQ(drive.opened, 1);
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("\"someday\""));
    EXPECT_TRUE(messages.asked().first().text.contains("Form1.PushButton4_Click at line 40"));
}

} // namespace
