// The log's logic without a window: store and load, the switch, heights, the commands.
#include "ActiveLog.h"
#include "Constants.h"
#include "EntryTableModel.h"
#include "Guarded.h"
#include "LogModel.h"
#include "MessageBox.h"
#include "SampleData.h"
#include "Settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QDir>
#include <QFile>
#include <QUndoStack>

namespace {

QString Stored(const QString& key) { return ReadSetting(SettingsSection, key, QStringLiteral("<missing>")); }

LogEntry Row(const QString& date) { return {date, "1", "2", "3", "4"}; }

QList<LogEntry> Rows(int count)
{
    QList<LogEntry> rows;
    for (int i = 1; i <= count; ++i)
        rows << Row(QStringLiteral("1/%1/2020").arg(i));
    return rows;
}

class LogModelTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override { ClearSettings(); }

    // What start-up does with the imperial log.
    void startImperial()
    {
        log.setUpImperialView();
        log.loadActiveLog();
    }
    // The switch, as selecting "Male" (imperial) or "Female" runs it.
    void switchTo(bool imperial)
    {
        Guarded proc(imperial ? "Form1.Option1_Click" : "Form1.Option2_Click", Guarded::InCaller);
        log.switchTemplate(imperial, proc);
    }
    void remove()
    {
        Guarded proc("Form1.PushButton3_Click");
        log.deleteSelected(proc);
    }
    void clear()
    {
        Guarded proc("Form1.PushButton5_Click");
        log.clear(proc);
    }
    void sample()
    {
        Guarded proc("Form1.PushButton7_Click");
        log.loadSample(proc);
    }

    LogModel log;
};

TEST_F(LogModelTest, StartupSetupStoresTheHeightsItShows)
{
    startImperial();
    EXPECT_EQ(log.height(1), "5");
    EXPECT_EQ(log.height(2), "10");
    EXPECT_EQ(Stored(Keys::Text1Men), "5");
    EXPECT_EQ(Stored(Keys::Text2Men), "10");
    EXPECT_EQ(log.columnCount(), 5);
    EXPECT_EQ(log.columns().at(2 - 1), " Weight (lbs)");
    EXPECT_EQ(log.columns().at(4 - 1), " Waist (inch)");
    EXPECT_EQ(log.rowCount(), 0);
}

TEST_F(LogModelTest, EmptyListStoresEmptyTextUnderTheActiveKeyOnly)
{
    startImperial();
    log.storeActiveLog();
    EXPECT_EQ(Stored(Keys::FitnessMen), "");
    EXPECT_FALSE(HasSetting(Keys::FitnessWomen));
}

TEST_F(LogModelTest, StoringOneLogNeverTouchesTheOther)
{
    WriteSetting(SettingsSection, Keys::FitnessWomen, "w||SEP2||");
    startImperial();
    log.appendEntries({{"a", "b", "c", "d", "e"}});
    log.storeActiveLog();
    EXPECT_EQ(Stored(Keys::FitnessMen), "a||SEP1||b||SEP1||c||SEP1||d||SEP1||e||SEP2||");
    EXPECT_EQ(Stored(Keys::FitnessWomen), "w||SEP2||");

    switchTo(false);
    log.appendEntries({{"1", "2", "3", "4", "5", "6", "7"}});
    log.storeActiveLog();
    EXPECT_EQ(Stored(Keys::FitnessMen), "a||SEP1||b||SEP1||c||SEP1||d||SEP1||e||SEP2||");
    EXPECT_EQ(Stored(Keys::FitnessWomen),
              JoinStoredLog({{"w", "", "", "", "", "", ""}, {"1", "2", "3", "4", "5", "6", "7"}}));
}

TEST_F(LogModelTest, MetricEntryLoadsSevenFieldsOrFiveUnderTheImperialLog)
{
    const QString text = "d||SEP1||1||SEP1||2||SEP1||3||SEP1||4||SEP1||5||SEP1||6||SEP2||";
    WriteSetting(SettingsSection, Keys::FitnessWomen, text);
    WriteSetting(SettingsSection, Keys::FitnessMen, text);
    startImperial();
    EXPECT_EQ(log.entries(), QList<LogEntry>({{"d", "1", "2", "3", "4"}}));
    switchTo(false);
    EXPECT_EQ(log.entries(), QList<LogEntry>({{"d", "1", "2", "3", "4", "5", "6"}}));
}

TEST_F(LogModelTest, ShortEntriesLoadWithEmptyFieldsAndNoReport)
{
    WriteSetting(SettingsSection, Keys::FitnessMen,
                 "a||SEP1||b||SEP1||c||SEP2||d||SEP1||1||SEP1||2||SEP1||3||SEP1||4||SEP2||");
    ScriptedMessages messages;
    startImperial();
    EXPECT_EQ(log.entries(), QList<LogEntry>({{"a", "b", "c", "", ""}, {"d", "1", "2", "3", "4"}}));
    EXPECT_EQ(messages.count(), 0);
    // Loaded rows have a selection.
    EXPECT_EQ(log.selected(), 1);
}

TEST_F(LogModelTest, HundredThousandStoredEntriesLoadAndStoreBack)
{
    QString text;
    for (int i = 0; i < 100000; ++i)
        text += QStringLiteral("6/%1/2004||SEP1||%2||SEP1||42||SEP1||36||SEP1||34||SEP2||").arg(i % 28 + 1).arg(i);
    WriteSetting(SettingsSection, Keys::FitnessMen, text);
    startImperial();
    ASSERT_EQ(log.rowCount(), 100000);
    EXPECT_EQ(EntryTableModel::ShownField(log.field(100000, 1), 1), "99999");
    log.storeActiveLog();
    EXPECT_TRUE(Stored(Keys::FitnessMen) == text);
}

TEST_F(LogModelTest, SwitchToMaleWithMissingHeightKeysUsesItsOwnDefaults)
{
    startImperial();
    switchTo(false);
    ClearSettings();
    switchTo(true);
    EXPECT_EQ(log.height(1), "5");
    EXPECT_EQ(log.height(2), "7");
    EXPECT_EQ(Stored(Keys::Text2Men), "7");
}

TEST_F(LogModelTest, SwitchBackRestoresTheImperialLogWithPlainCaptions)
{
    WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP1||b||SEP1||c||SEP1||d||SEP1||e||SEP2||");
    WriteSetting(SettingsSection, Keys::FitnessWomen,
                 "m||SEP1||1||SEP1||2||SEP1||3||SEP1||4||SEP1||5||SEP1||6||SEP2||");
    startImperial();
    log.typeHeight(1, "6");
    log.typeHeight(2, "2");
    switchTo(false);
    EXPECT_EQ(log.entries(), QList<LogEntry>({{"m", "1", "2", "3", "4", "5", "6"}}));
    log.typeHeight(2, "70");
    switchTo(true);
    EXPECT_EQ(LogModel::HeightCaptions(log.imperial()), (std::array<QString, 2>{"Feet:", "Inches:"}));
    EXPECT_EQ(log.height(1), "6");
    EXPECT_EQ(log.height(2), "2");
    QStringList captions;
    for (int i = 1; i <= log.columnCount(); ++i)
        captions << log.columns().at(i - 1);
    EXPECT_EQ(captions, ImperialColumns());
    EXPECT_EQ(log.entries(), QList<LogEntry>({{"a", "b", "c", "d", "e"}}));
    EXPECT_EQ(Stored(Keys::Text2Women), "70");
    EXPECT_EQ(Stored(Keys::Text2Men), "2");
    // Switching stores no log.
    EXPECT_EQ(Stored(Keys::FitnessMen), "a||SEP1||b||SEP1||c||SEP1||d||SEP1||e||SEP2||");
    EXPECT_EQ(Stored(Keys::FitnessWomen), "m||SEP1||1||SEP1||2||SEP1||3||SEP1||4||SEP1||5||SEP1||6||SEP2||");
    EXPECT_EQ(Stored(Keys::Option1), "True");
    EXPECT_EQ(Stored(Keys::Option2), "False");
}

TEST_F(LogModelTest, DeleteTheMiddleOfThree)
{
    startImperial();
    log.appendEntries({Row("a"), Row("b"), Row("c")});
    log.select(2);
    remove();
    EXPECT_EQ(log.entries(), QList<LogEntry>({Row("a"), Row("c")}));
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog({Row("a"), Row("c")}));
    // The row that moved up is selected; deleting the last row selects the new last.
    EXPECT_EQ(log.selected(), 2);
    remove();
    EXPECT_EQ(log.selected(), 1);
    remove();
    EXPECT_EQ(log.rowCount(), 0);
}

TEST_F(LogModelTest, DeleteOnAnEmptyListStoresTheEmptyText)
{
    startImperial();
    WriteSetting(SettingsSection, Keys::FitnessMen, "x||SEP2||");
    remove();
    EXPECT_EQ(Stored(Keys::FitnessMen), "");
}

TEST_F(LogModelTest, BusyPointerKeepsTheRowsButStillStores)
{
    startImperial();
    log.appendEntries({Row("a"), Row("b")});
    log.select(1);
    log.setBusy(true);
    remove();
    clear();
    EXPECT_EQ(log.rowCount(), 2);
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog({Row("a"), Row("b")}));
    sample();
    EXPECT_EQ(log.rowCount(), 7);
    log.setBusy(false);
}

TEST_F(LogModelTest, ClearEmptiesOnlyTheActiveLog)
{
    startImperial();
    WriteSetting(SettingsSection, Keys::FitnessWomen, "w||SEP2||");
    log.appendEntries({Row("a")});
    clear();
    EXPECT_EQ(log.rowCount(), 0);
    EXPECT_EQ(Stored(Keys::FitnessMen), "");
    EXPECT_EQ(Stored(Keys::FitnessWomen), "w||SEP2||");
}

TEST_F(LogModelTest, FailedStoreIsReportedUnderTheCommand)
{
    startImperial();
    log.appendEntries({Row("a")});
    ScriptedMessages messages;
    const QString path = SettingsFilePath();
    QFile::remove(path);
    QDir().mkpath(path);
    clear();
    QDir(path).removeRecursively();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("Fitness Men"));
    EXPECT_TRUE(messages.asked().first().text.contains("in Trevasso2021/08/31.Form1.PushButton5_Click at line 20"));
    EXPECT_EQ(messages.asked().first().title, "Application Error");
}

TEST_F(LogModelTest, SampleReplacesTheImperialLogAndHeight)
{
    startImperial();
    WriteSetting(SettingsSection, Keys::FitnessWomen, "w||SEP2||");
    log.appendEntries(Rows(20));
    sample();
    sample();
    EXPECT_EQ(log.rowCount(), 5);
    EXPECT_EQ(log.entries(), SampleEntries(true));
    EXPECT_TRUE(Stored(Keys::FitnessMen).startsWith("6/10/2004||SEP1||200||SEP1||"));
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog(SampleEntries(true)));
    EXPECT_EQ(Stored(Keys::FitnessWomen), "w||SEP2||");
    EXPECT_EQ(log.height(1), "6");
    EXPECT_EQ(log.height(2), "3/8");
    EXPECT_EQ(Stored(Keys::Text1Men), "6");
    EXPECT_EQ(Stored(Keys::Text2Men), "3/8");
    EXPECT_EQ(log.selected(), 1);
}

TEST_F(LogModelTest, SampleOfTheMetricLog)
{
    startImperial();
    switchTo(false);
    sample();
    EXPECT_EQ(log.entries(), SampleEntries(false));
    EXPECT_EQ(log.entries().at(1), LogEntry({"6/17/2004", "63.5", "81.3", "78.74", "100.33", "17.02", "29.21"}));
    EXPECT_EQ(Stored(Keys::Text1Women), "1");
    EXPECT_EQ(Stored(Keys::Text2Women), "68");
    EXPECT_EQ(Stored(Keys::FitnessWomen), JoinStoredLog(SampleEntries(false)));
}

TEST_F(LogModelTest, SampleWithACommaLocaleShowsCommasAndStoresPoints)
{
    startImperial();
    ScopedLocale german("de_DE");
    sample();
    EXPECT_EQ(EntryTableModel::ShownField(log.field(3, 3), 3), "35,5");
    EXPECT_TRUE(Stored(Keys::FitnessMen).contains("||SEP1||35.5||SEP1||33.6||SEP2||"));
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog(SampleEntries(true)));
}

TEST_F(LogModelTest, ReplacingTheLogIsOneStepThatUndoTakesBack)
{
    startImperial();
    log.appendEntries({Row("a"), Row("b")});
    log.select(2);
    log.storeActiveLog();
    log.replaceLog({Row("x"), {"y", "1"}, Row("z")}, "Reload");
    const QList<LogEntry> replaced = {Row("x"), {"y", "1", "", "", ""}, Row("z")};
    EXPECT_EQ(log.entries(), replaced);
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog(replaced));
    EXPECT_EQ(log.selected(), 2);
    ASSERT_EQ(log.history().activeStack()->count(), 1);
    EXPECT_EQ(log.history().activeStack()->text(0), "Reload");
    log.undo();
    EXPECT_EQ(log.entries(), QList<LogEntry>({Row("a"), Row("b")}));
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog({Row("a"), Row("b")}));
    log.redo();
    EXPECT_EQ(Stored(Keys::FitnessMen), JoinStoredLog(replaced));
    // The same log again is no step.
    log.replaceLog(replaced, "Reload");
    EXPECT_EQ(log.history().activeStack()->count(), 1);
}

TEST_F(LogModelTest, ReloadingReadsTheStoreWithoutAStepAndKeepsTheSelection)
{
    startImperial();
    log.appendEntries(Rows(3));
    log.select(3);
    WriteSetting(SettingsSection, Keys::FitnessMen, JoinStoredLog(Rows(4)));
    log.reloadActiveLog();
    EXPECT_EQ(log.entries(), Rows(4));
    EXPECT_EQ(log.selected(), 3);
    EXPECT_FALSE(log.canUndo());
    WriteSetting(SettingsSection, Keys::FitnessMen, JoinStoredLog(Rows(1)));
    log.reloadActiveLog();
    EXPECT_EQ(log.selected(), 1);
}

TEST_F(LogModelTest, TheListModelFollowsEveryChange)
{
    // The tester fails the test on any change the list model reports wrongly.
    EntryTableModel table(log);
    QAbstractItemModelTester tester(&table, QAbstractItemModelTester::FailureReportingMode::Fatal);
    startImperial();
    log.appendEntries(Rows(3));
    log.appendEntry(Row("4"));
    EXPECT_EQ(table.rowCount(), 4);
    log.select(2);
    remove();
    log.replaceSelected(Row("b2"));
    EXPECT_EQ(table.index(1, 0).data().toString(), "b2");
    sample();
    EXPECT_EQ(table.rowCount(), 5);
    log.undo();
    log.undo();
    EXPECT_EQ(table.rowCount(), 3);
    switchTo(false);
    EXPECT_EQ(table.columnCount(), 7);
    EXPECT_EQ(table.headerData(6, Qt::Horizontal).toString(), "Forearm (cm)");
    clear();
    EXPECT_EQ(table.rowCount(), 0);
}

TEST_F(LogModelTest, TypedHeightsAreStepsAndHeightsSetByTheProgramAreNot)
{
    startImperial();
    log.typeHeight(2, "1");
    log.typeHeight(2, "11");
    log.startHeightSession();
    log.typeHeight(2, "12");
    EXPECT_EQ(log.history().activeStack()->count(), 2);
    log.setHeight(1, "7");
    EXPECT_EQ(log.history().activeStack()->count(), 2);
    EXPECT_EQ(Stored(Keys::Text1Men), "7");
    log.undo();
    EXPECT_EQ(log.height(2), "11");
    log.undo();
    EXPECT_EQ(log.height(2), "10");
    EXPECT_EQ(Stored(Keys::Text2Men), "10");
    // Typed back to where it started: no step.
    log.startHeightSession();
    log.typeHeight(1, "8");
    log.typeHeight(1, "7");
    EXPECT_FALSE(log.canUndo());
}

} // namespace
