#include "Constants.h"
#include "Settings.h"
#include "SettingsWatcher.h"
#include "TestSupport.h"
#include "file/DurableFile.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSignalSpy>

namespace {

// Waits up to two seconds for the watcher to speak.
QList<QStringList> Announced(QSignalSpy& spy, int wanted)
{
    const QDeadlineTimer deadline(2000);
    while (spy.count() < wanted && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    // Anything more that was coming.
    const QDeadlineTimer settle(300);
    while (!settle.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    QList<QStringList> said;
    for (const QList<QVariant>& call : spy)
        said << call.at(0).toStringList();
    return said;
}

class SettingsWatcherTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP2||");
        WriteSetting(SettingsSection, Keys::Text1Men, "5");
    }
    void TearDown() override { ClearSettings(); }
};

TEST_F(SettingsWatcherTest, AChangeMadeElsewhereIsAnnouncedOnceAndTheProgramsOwnWritesNot)
{
    SettingsWatcher watcher;
    QSignalSpy spy(&watcher, &SettingsWatcher::keysChangedOnDisk);
    WriteSetting(SettingsSection, Keys::Text1Men, "6");
    EXPECT_TRUE(Announced(spy, 1).isEmpty()) << "the program's own write was taken for another's";

    // Another program replaces the file, as every careful writer does, by a rename.
    sheet::writeFileDurably(SettingsFilePath(), "[Kalmora]\nFitness%20Men=a||SEP2||b||SEP2||\nText1_Men=6\n");
    EXPECT_EQ(Announced(spy, 1), QList<QStringList>{QStringList{"Kalmora/Fitness Men"}});

    // Taken over by the window: nothing more to say until the next change.
    spy.clear();
    AcceptSettingsFromDisk({"Kalmora/Fitness Men"});
    watcher.check();
    EXPECT_TRUE(Announced(spy, 1).isEmpty());
    sheet::writeFileDurably(SettingsFilePath(), "[Kalmora]\nFitness%20Men=c||SEP2||\nText1_Men=6\n");
    EXPECT_EQ(Announced(spy, 1), QList<QStringList>{QStringList{"Kalmora/Fitness Men"}});
}

} // namespace
