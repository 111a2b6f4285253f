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

namespace {

class ActiveLogTest : public ::testing::Test {
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

TEST_F(ActiveLogTest, StartupSetupStoresTheHeightsItShows)
{
    LogHarness h;
    h.startImperial();
    EXPECT_EQ(h.c.Text1->text(), "5");
    EXPECT_EQ(h.c.Text2->text(), "10");
    EXPECT_EQ(Stored(Keys::Text1Men), "5");
    EXPECT_EQ(Stored(Keys::Text2Men), "10");
    EXPECT_EQ(h.model.columnCount(), 5);
    EXPECT_EQ(h.model.columns().at(2 - 1), " Weight (lbs)");
    EXPECT_EQ(h.model.columns().at(4 - 1), " Waist (inch)");
    EXPECT_EQ(h.c.ListView1->columnWidth(0), 100);
    EXPECT_EQ(h.model.rowCount(), 0);
}

TEST_F(ActiveLogTest, EmptyListStoresEmptyTextUnderTheActiveKeyOnly)
{
    LogHarness h;
    h.startImperial();
    h.model.storeActiveLog();
    EXPECT_EQ(Stored(Keys::FitnessMen), "");
    EXPECT_FALSE(HasSetting(Keys::FitnessWomen));
}

TEST_F(ActiveLogTest, StoringOneLogNeverTouchesTheOther)
{
    WriteSetting(SettingsSection, Keys::FitnessWomen, "w||SEP2||");
    LogHarness h;
    h.startImperial();
    h.addRows({{"a", "b", "c", "d", "e"}});
    h.model.storeActiveLog();
    EXPECT_EQ(Stored(Keys::FitnessMen), "a||SEP1||b||SEP1||c||SEP1||d||SEP1||e||SEP2||");
    EXPECT_EQ(Stored(Keys::FitnessWomen), "w||SEP2||");

    h.c.Option2->setChecked(true);
    h.addRows({{"1", "2", "3", "4", "5", "6", "7"}});
    h.model.storeActiveLog();
    EXPECT_EQ(Stored(Keys::FitnessMen), "a||SEP1||b||SEP1||c||SEP1||d||SEP1||e||SEP2||");
    EXPECT_EQ(Stored(Keys::FitnessWomen),
              JoinStoredLog({{"w", "", "", "", "", "", ""}, {"1", "2", "3", "4", "5", "6", "7"}}));
}

TEST_F(ActiveLogTest, MetricEntryLoadsSevenFieldsOrFiveUnderTheImperialLog)
{
    const QString text = "d||SEP1||1||SEP1||2||SEP1||3||SEP1||4||SEP1||5||SEP1||6||SEP2||";
    WriteSetting(SettingsSection, Keys::FitnessWomen, text);
    WriteSetting(SettingsSection, Keys::FitnessMen, text);
    LogHarness h;
    h.startImperial();
    EXPECT_EQ(h.rows(), QList<LogEntry>({{"d", "1", "2", "3", "4"}}));
    h.c.Option2->setChecked(true);
    EXPECT_EQ(h.rows(), QList<LogEntry>({{"d", "1", "2", "3", "4", "5", "6"}}));
}

TEST_F(ActiveLogTest, ShortEntriesLoadWithEmptyFieldsAndNoReport)
{
    WriteSetting(SettingsSection, Keys::FitnessMen,
                 "a||SEP1||b||SEP1||c||SEP2||d||SEP1||1||SEP1||2||SEP1||3||SEP1||4||SEP2||");
    ScriptedMessages messages;
    LogHarness h;
    h.startImperial();
    EXPECT_EQ(h.rows(), QList<LogEntry>({{"a", "b", "c", "", ""}, {"d", "1", "2", "3", "4"}}));
    EXPECT_EQ(messages.count(), 0);
    // Loaded rows have a selection.
    EXPECT_EQ(h.model.selected(), 1);
}

TEST_F(ActiveLogTest, HundredThousandStoredEntriesLoadAndStoreBack)
{
    QString text;
    for (int i = 0; i < 100000; ++i)
        text += QStringLiteral("6/%1/2004||SEP1||%2||SEP1||42||SEP1||36||SEP1||34||SEP2||").arg(i % 28 + 1).arg(i);
    WriteSetting(SettingsSection, Keys::FitnessMen, text);
    LogHarness h;
    h.startImperial();
    ASSERT_EQ(h.model.rowCount(), 100000);
    EXPECT_EQ(h.shown(100000, 1), "99999");
    h.model.storeActiveLog();
    EXPECT_TRUE(Stored(Keys::FitnessMen) == text);
}

TEST_F(ActiveLogTest, SwitchToFemaleWithEmptyStore)
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

TEST_F(ActiveLogTest, SwitchBackRestoresTheImperialLogWithPlainCaptions)
{
    WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP1||b||SEP1||c||SEP1||d||SEP1||e||SEP2||");
    WriteSetting(SettingsSection, Keys::FitnessWomen,
                 "m||SEP1||1||SEP1||2||SEP1||3||SEP1||4||SEP1||5||SEP1||6||SEP2||");
    LogHarness h;
    h.startImperial();
    h.c.Text1->setText("6");
    h.c.Text2->setText("2");
    h.c.Option2->setChecked(true);
    EXPECT_EQ(h.rows(), QList<LogEntry>({{"m", "1", "2", "3", "4", "5", "6"}}));
    h.c.Text2->setText("70");
    h.c.Option1->setChecked(true);
    EXPECT_EQ(h.c.Label1[0]->text(), "Feet:");
    EXPECT_EQ(h.c.Label1[1]->text(), "Inches:");
    EXPECT_EQ(h.c.Text1->text(), "6");
    EXPECT_EQ(h.c.Text2->text(), "2");
    QStringList captions;
    for (int i = 1; i <= h.model.columnCount(); ++i)
        captions << h.model.columns().at(i - 1);
    EXPECT_EQ(captions, ImperialColumns());
    EXPECT_EQ(h.rows(), QList<LogEntry>({{"a", "b", "c", "d", "e"}}));
    EXPECT_EQ(Stored(Keys::Text2Women), "70");
    EXPECT_EQ(Stored(Keys::Text2Men), "2");
    // Switching stores no log.
    EXPECT_EQ(Stored(Keys::FitnessMen), "a||SEP1||b||SEP1||c||SEP1||d||SEP1||e||SEP2||");
    EXPECT_EQ(Stored(Keys::FitnessWomen), "m||SEP1||1||SEP1||2||SEP1||3||SEP1||4||SEP1||5||SEP1||6||SEP2||");
    EXPECT_EQ(Stored(Keys::Option1), "True");
    EXPECT_EQ(Stored(Keys::Option2), "False");
}

TEST_F(ActiveLogTest, SwitchToMaleWithMissingHeightKeysUsesItsOwnDefaults)
{
    LogHarness h;
    h.startImperial();
    h.c.Option2->setChecked(true);
    ClearSettings();
    h.c.Option1->setChecked(true);
    EXPECT_EQ(h.c.Text1->text(), "5");
    EXPECT_EQ(h.c.Text2->text(), "7");
    EXPECT_EQ(Stored(Keys::Text2Men), "7");
}

TEST_F(ActiveLogTest, ClickingTheSelectedOptionDoesNotSwitchAgain)
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

TEST_F(ActiveLogTest, TypingInAHeightFieldStoresUnderTheActiveLogsKey)
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

TEST_F(ActiveLogTest, FocusSelectsTheWholeHeightSoTypingReplacesIt)
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

TEST_F(ActiveLogTest, SameTextWritesNothingAndAFailedWriteIsReported)
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

TEST_F(ActiveLogTest, FailingSwitchReportsAndStillLoadsTheLog)
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

TEST_F(ActiveLogTest, RemovingPositionTwoOfThreeMovesTheThirdUpInTheModelAndTheList)
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

TEST_F(ActiveLogTest, ARowStaysSelectedWhateverTheUserClicks)
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

} // namespace
