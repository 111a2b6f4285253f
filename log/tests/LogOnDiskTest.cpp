// The log on screen when the settings file is changed by something else while the program runs.
#include "Failure.h"
#include "LogHarness.h"
#include "LogOnDisk.h"
#include "MessageBox.h"
#include "file/DurableFile.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QUndoStack>

namespace {

LogEntry Row(const QString& date, const QString& weight = "180") { return {date, weight, "40", "34", "38"}; }

// Another program writes the file: the log under "Fitness Men" becomes `rows`.
void WriteElsewhere(const QList<LogEntry>& rows)
{
    sheet::writeFileDurably(SettingsFilePath(),
                            "[Kalmora]\nFitness%20Men=" + JoinStoredLog(rows).toUtf8()
                                + "\nText1_Men=5\nText2_Men=10\n");
}

class LogOnDiskTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        h.startImperial();
        h.addRows({a});
        h.model.storeActiveLog();
    }
    void TearDown() override
    {
        SetSettingsConflictHandler({});
        ClearSettings();
    }

    const LogEntry a = Row("1/1/2024"), b = Row("1/8/2024"), mine = Row("1/15/2024", "179");
    LogHarness h;
};

TEST_F(LogOnDiskTest, ALogChangedInTheFileIsShownAsOneUndoStep)
{
    WriteElsewhere({a, b});
    ScriptedMessages messages;
    LogKeysChangedOnDisk(h.model, &h.window, SettingsChangedOnDisk());
    EXPECT_EQ(h.rows(), (QList<LogEntry>{a, b}));
    EXPECT_EQ(messages.count(), 0);
    // Nothing changed in the file by showing it.
    EXPECT_EQ(StoredInFile("Fitness Men"), JoinStoredLog({a, b}));
    h.model.undo();
    EXPECT_EQ(h.rows(), QList<LogEntry>{a});
    EXPECT_EQ(StoredInFile("Fitness Men"), JoinStoredLog({a}));
}

TEST_F(LogOnDiskTest, ALogSavedHereAfterAChangeThereKeepsOursAndOffersTheirs)
{
    WatchLogOnDisk(h.model, &h.window);
    WriteElsewhere({a, b});
    ScriptedMessages messages;
    messages.answer(MsgAnswer::Yes);
    // This window adds its own entry before it has seen the other change.
    h.addRows({mine});
    h.model.storeActiveLog();
    EXPECT_EQ(StoredInFile("Fitness Men"), JoinStoredLog({a, mine}));
    QCoreApplication::processEvents();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("\"Fitness Men\""))
        << messages.asked().first().text.toStdString();
    // Taken: the other version is shown and stored; Ctrl+Z brings this window's back.
    EXPECT_EQ(h.rows(), (QList<LogEntry>{a, b}));
    EXPECT_EQ(StoredInFile("Fitness Men"), JoinStoredLog({a, b}));
    h.model.undo();
    EXPECT_EQ(h.rows(), (QList<LogEntry>{a, mine}));
    EXPECT_EQ(StoredInFile("Fitness Men"), JoinStoredLog({a, mine}));
}

TEST_F(LogOnDiskTest, AChangeWaitingToBeSavedIsNotReplacedUnasked)
{
    h.addRows({mine});
    {
        sheet::ScopedDurableFaults full({0, false, false, false});
        EXPECT_THROW(h.model.storeActiveLog(), SettingsNotSaved);
    }
    WriteElsewhere({a, b});
    ScriptedMessages messages;
    messages.answer(MsgAnswer::No);
    LogKeysChangedOnDisk(h.model, &h.window, SettingsChangedOnDisk());
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.asked().first().buttons, MsgButtons::YesNo);
    EXPECT_EQ(h.rows(), (QList<LogEntry>{a, mine}));
    // The waiting change is stored with the next write, over the other one (which was offered).
    SetSettingsConflictHandler([](const SettingsConflict&) {});
    h.model.storeActiveLog();
    EXPECT_EQ(StoredInFile("Fitness Men"), JoinStoredLog({a, mine}));
}

TEST_F(LogOnDiskTest, TheLogNotOnScreenIsReadAfreshWhenShown)
{
    ASSERT_EQ(ReadSetting(SettingsSection, Keys::FitnessWomen), "");
    sheet::writeFileDurably(SettingsFilePath(),
                            "[Kalmora]\nFitness%20Men=" + JoinStoredLog({a}).toUtf8()
                                + "\nFitness%20Women=w||SEP1||70||SEP2||\nText1_Men=5\nText2_Men=10\n");
    LogKeysChangedOnDisk(h.model, &h.window, SettingsChangedOnDisk());
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessWomen), "w||SEP1||70||SEP2||");
    EXPECT_EQ(h.rows(), QList<LogEntry>{a});
}

TEST_F(LogOnDiskTest, AGoalChangedInTheFileIsShownForItsLog)
{
    ASSERT_EQ(h.model.goal(), ""); // on screen, as the goal field shows it
    QList<QPair<bool, QString>> shown;
    QObject::connect(&h.model, &LogModel::goalChanged, [&](bool imperial, const QString& goal) {
        shown.append({imperial, goal});
    });
    sheet::writeFileDurably(SettingsFilePath(),
                            "[Kalmora]\nFitness%20Men=" + JoinStoredLog({a}).toUtf8()
                                + "\nGoal%20Men=180.5\nText1_Men=5\nText2_Men=10\n");
    LogKeysChangedOnDisk(h.model, &h.window, SettingsChangedOnDisk());
    EXPECT_EQ(shown, (QList<QPair<bool, QString>>{{true, "180.5"}}));
    EXPECT_EQ(h.model.goal(), "180.5");
    EXPECT_EQ(h.rows(), QList<LogEntry>{a});
}

} // namespace
