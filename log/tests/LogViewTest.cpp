#include "Constants.h"
#include "LogHarness.h"
#include "MessageBox.h"
#include "Guarded.h"
#include "Settings.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QUndoStack>

namespace {

class LogViewTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override { ClearSettings(); }
};

// Makes the store unwritable for the lifetime of the object.
class BrokenStore {
public:
    BrokenStore()
        : m_path(SettingsFilePath())
    {
        QFile::remove(m_path);
        QDir().mkpath(m_path);
    }
    ~BrokenStore() { QDir(m_path).removeRecursively(); }

private:
    QString m_path;
};

TEST_F(LogViewTest, SwitchToFemaleWithEmptyStore)
{
    LogHarness h;
    h.startImperial();
    h.c.Option2->setChecked(true);
    EXPECT_EQ(h.c.Label1[0]->text(), "Meter:");
    EXPECT_EQ(h.c.Label1[1]->text(), "CM:");
    EXPECT_EQ(h.c.Text1->text(), "1");
    EXPECT_EQ(h.c.Text2->text(), "68");
    EXPECT_EQ(Stored(Keys::Text1Women), "1");
    EXPECT_EQ(Stored(Keys::Text2Women), "68");
    QStringList captions;
    for (int i = 1; i <= h.model.columnCount(); ++i)
        captions << h.model.columns().at(i - 1);
    EXPECT_EQ(captions, MetricColumns());
    EXPECT_EQ(h.model.rowCount(), 0);
    EXPECT_EQ(Stored(Keys::Option1), "False");
    EXPECT_EQ(Stored(Keys::Option2), "True");
    EXPECT_FALSE(HasSetting(Keys::FitnessWomen));
    EXPECT_EQ(h.c.ListView1->columnWidth(0), 100);
}

TEST_F(LogViewTest, ClickingTheSelectedOptionDoesNotSwitchAgain)
{
    LogHarness h;
    h.startImperial();
    h.window.show();
    h.addRows({{"kept", "", "", "", ""}});
    WriteSetting(SettingsSection, Keys::FitnessMen, "other||SEP2||");
    QTest::mouseClick(h.c.Option1, Qt::LeftButton);
    EXPECT_TRUE(h.c.Option1->isChecked());
    EXPECT_EQ(h.rows(), QList<LogEntry>({{"kept", "", "", "", ""}}));
    EXPECT_EQ(h.model.columns().at(2 - 1), " Weight (lbs)");
    // A click on the other option does switch.
    QTest::mouseClick(h.c.Option2, Qt::LeftButton);
    EXPECT_EQ(h.model.columnCount(), 7);
}

TEST_F(LogViewTest, TypingInAHeightFieldStoresUnderTheActiveLogsKey)
{
    LogHarness h;
    h.startImperial();
    h.c.Option2->setChecked(true);
    h.c.Text2->clear();
    QTest::keyClicks(h.c.Text2, "5.5");
    EXPECT_EQ(Stored(Keys::Text2Women), "5.5");
    EXPECT_EQ(Stored(Keys::Text2Men), "10");
    h.c.Text1->clear();
    EXPECT_EQ(Stored(Keys::Text1Women), "");
}

TEST_F(LogViewTest, FocusSelectsTheWholeHeightSoTypingReplacesIt)
{
    LogHarness h;
    h.startImperial();
    h.window.show();
    QApplication::setActiveWindow(&h.window);
    h.c.Text2->setText("180");
    h.c.Text1->setFocus();
    h.c.Text2->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(h.c.Text2->selectedText(), "180");
    QTest::keyClick(h.c.Text2, Qt::Key_1);
    EXPECT_EQ(h.c.Text2->text(), "1");
    EXPECT_EQ(Stored(Keys::Text2Men), "1");
}

TEST_F(LogViewTest, SameTextWritesNothingAndAFailedWriteIsReported)
{
    LogHarness h;
    h.startImperial();
    ScriptedMessages messages;
    BrokenStore broken;
    h.model.setHeight(1, "5");
    EXPECT_EQ(messages.count(), 0);
    h.c.Text1->setText("6");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("Text1_Men"));
    EXPECT_TRUE(messages.asked().first().text.contains("in Trevasso2021/08/31.Form1.Text1_Change at line 10"));
}

TEST_F(LogViewTest, FailingSwitchReportsAndStillLoadsTheLog)
{
    WriteSetting(SettingsSection, Keys::FitnessWomen, "m||SEP1||1||SEP2||");
    LogHarness h;
    h.startImperial();
    ScriptedMessages messages;
    {
        BrokenStore broken;
        h.c.Option2->setChecked(true);
    }
    // The two height writes and the two option writes fail: one report for the one cause,
    // and every step still ran.
    EXPECT_EQ(messages.count(), 1);
    for (const MessageRequest& box : messages.asked())
        EXPECT_TRUE(box.text.contains("Form1.Option2_Click")) << box.text.toStdString();
    EXPECT_EQ(h.model.columnCount(), 7);
    EXPECT_EQ(h.c.Label1[0]->text(), "Meter:");
}

TEST_F(LogViewTest, RemovingPositionTwoOfThreeMovesTheThirdUpInTheModelAndTheList)
{
    LogHarness h;
    h.model.setColumns({"0", "1", "2", "3", "4", "5", "6"});
    h.addRows({{"1"}, {"2"}, {"3", "", "", "", "four"}});
    EXPECT_EQ(h.model.field(3, 5), "");
    EXPECT_EQ(h.model.field(3, 6), "");
    h.model.select(2);
    Guarded proc("Form1.PushButton3_Click");
    h.model.deleteSelected(proc);
    ASSERT_EQ(h.model.rowCount(), 2);
    EXPECT_EQ(h.model.field(1, 0), "1");
    EXPECT_EQ(h.model.field(2, 0), "3");
    EXPECT_EQ(h.model.field(2, 4), "four");
    // The list shows the same rows, and the row that moved up is selected.
    const QAbstractItemModel* table = h.c.ListView1->model();
    ASSERT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->columnCount(), 7);
    EXPECT_EQ(h.shown(2, 0), "3");
    EXPECT_EQ(h.shown(2, 4), "four");
    EXPECT_EQ(h.shown(2, 6), "");
    EXPECT_EQ(h.model.selected(), 2);
    EXPECT_EQ(h.listSelection(), 2);
    h.model.setColumns({});
    EXPECT_EQ(table->columnCount(), 0);
    h.model.clearEntries();
    EXPECT_EQ(table->rowCount(), 0);
    EXPECT_EQ(h.model.selected(), 0);
    EXPECT_EQ(h.listSelection(), 0);
}

TEST_F(LogViewTest, ARowStaysSelectedWhateverTheUserClicks)
{
    LogHarness h;
    h.startImperial();
    h.addRows({{"a"}, {"b"}});
    h.c.ListView1->selectionModel()->select(h.c.ListView1->model()->index(1, 0),
                                            QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    EXPECT_EQ(h.model.selected(), 2);
    h.c.ListView1->clearSelection();
    EXPECT_EQ(h.model.selected(), 2);
    EXPECT_EQ(h.listSelection(), 2);
}

TEST_F(LogViewTest, TypedHeightsAreStepsOneFieldAtATime)
{
    LogHarness h;
    h.startImperial();
    h.window.show();
    QApplication::setActiveWindow(&h.window);
    h.c.Text1->setFocus();
    QTest::keyClicks(h.c.Text1, "6");
    h.c.Text2->setFocus();
    QTest::keyClick(h.c.Text2, Qt::Key_End);
    QTest::keyClicks(h.c.Text2, ".5");
    EXPECT_EQ(Stored(Keys::Text2Men), "10.5");
    // Consecutive keys in one field are one step.
    EXPECT_EQ(h.model.history().activeStack()->count(), 2);
    h.model.undo();
    EXPECT_EQ(h.c.Text2->text(), "10");
    EXPECT_EQ(Stored(Keys::Text2Men), "10");
    h.model.undo();
    EXPECT_EQ(h.c.Text1->text(), "5");
    EXPECT_EQ(Stored(Keys::Text1Men), "5");
    h.model.redo();
    EXPECT_EQ(Stored(Keys::Text1Men), "6");
    // Coming back to a field starts a new step.
    h.c.Text2->setFocus();
    QTest::keyClicks(h.c.Text2, "9");
    h.c.Text1->setFocus();
    h.c.Text2->setFocus();
    QTest::keyClicks(h.c.Text2, "8");
    EXPECT_EQ(h.model.history().activeStack()->count(), 3);
}

} // namespace
