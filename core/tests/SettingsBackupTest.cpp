// The daily backup the store takes before the day's first change of the program's group.
#include "Constants.h"
#include "Failure.h"
#include "MessageBox.h"
#include "Settings.h"
#include "SettingsBackup.h"
#include "TestSupport.h"
#include "file/DurableFile.h"
#include "file/NativePath.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QString Backup(const QDate& day) { return BackupFolder() + QLatin1Char('/') + BackupFileName(day); }

class SettingsBackupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        QDir(BackupFolder()).removeRecursively();
        SetBackupDayForTesting(QDate(2026, 12, 6));
        WriteSetting(SettingsSection, Keys::Text1Men, "5");
        WriteSetting(SettingsSection, Keys::Text2Men, "10");
        WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP2||");
        SetBackupDayForTesting(today);
        QDir(BackupFolder()).removeRecursively();
        before = Bytes(SettingsFilePath());
    }
    void TearDown() override
    {
        SetBackupDayForTesting(QDate());
        QDir(BackupFolder()).removeRecursively();
        ClearSettings();
    }

    const QDate today{2026, 12, 7};
    QByteArray before;
};

TEST_F(SettingsBackupTest, AHeightAsTheDaysFirstChangeIsBackedUpBeforeItIsStored)
{
    WriteSetting(SettingsSection, Keys::Text2Men, "11");
    EXPECT_EQ(Bytes(Backup(today)), before);
    // The rest of the day leaves it alone: it holds the day's start.
    WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP2||b||SEP2||");
    EXPECT_EQ(Bytes(Backup(today)), before);
    EXPECT_EQ(BackupFiles(), QStringList{BackupFileName(today)});
}

TEST_F(SettingsBackupTest, WritingWhatIsStoredAlreadyTakesNoBackup)
{
    WriteSetting(SettingsSection, Keys::Text2Men, "10");
    // Another program's group is none of the backup's business.
    WriteSetting(QStringLiteral("Other"), QStringLiteral("x"), QStringLiteral("1"));
    EXPECT_TRUE(BackupFiles().isEmpty());
}

TEST_F(SettingsBackupTest, AFailedBackupIsSaidOnceAndTriedAgainWithTheNextChange)
{
    // Settings and backups on one full disk: both failures are said, in one report.
    {
        sheet::ScopedDurableFaults full({0, false, false, false});
        try {
            WriteSetting(SettingsSection, Keys::Text1Men, "6");
            ADD_FAILURE() << "a failed write was taken for done";
        } catch (const SettingsNotSaved& e) {
            EXPECT_TRUE(e.description().contains("Text1_Men")) << e.what();
            EXPECT_TRUE(e.description().contains("daily backup")) << e.what();
        }
    }
    EXPECT_EQ(Bytes(SettingsFilePath()), before);
    // Room again: the next change is backed up first, and stored.
    WriteSetting(SettingsSection, Keys::Text2Men, "11");
    EXPECT_EQ(Bytes(Backup(today)), before);
    EXPECT_EQ(StoredInFile("Text1_Men"), "6");
    EXPECT_EQ(StoredInFile("Text2_Men"), "11");
}

TEST_F(SettingsBackupTest, ABackupFailureAloneIsReportedAfterTheChangeIsStored)
{
    // A file where the backups' folder should be.
    QDir().mkpath(sheet::folderOf(BackupFolder()));
    QFile blocker(BackupFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        WriteSetting(SettingsSection, Keys::Text1Men, "6");
        ADD_FAILURE() << "the failed backup went unsaid";
    } catch (const SettingsNotSaved&) {
        ADD_FAILURE() << "the change itself was stored";
    } catch (const Failure& e) {
        EXPECT_TRUE(e.description().startsWith("The daily backup of the logs could not be made")) << e.what();
    }
    EXPECT_EQ(StoredInFile("Text1_Men"), "6");
    EXPECT_FALSE(HasUnsavedSettings());
    // Once that day.
    EXPECT_NO_THROW(WriteSetting(SettingsSection, Keys::Text1Men, "7"));
    QFile::remove(BackupFolder());
}

TEST_F(SettingsBackupTest, BackupsDatedInTheFutureNeverTakeTodaysPlace)
{
    // A clock that was ahead left 30 backups of days to come, made earlier than today's.
    QDir().mkpath(BackupFolder());
    for (int n = 0; n < BackupsKept; ++n) {
        const QString path = Backup(today.addYears(1).addDays(n));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
        f.close();
        const struct timespec made[2] = {{0, UTIME_OMIT}, {1700000000 + n, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, sheet::encodePath(path).constData(), made, 0), 0);
    }
    WriteSetting(SettingsSection, Keys::Text1Men, "6");
    const QStringList kept = BackupFiles();
    EXPECT_EQ(kept.size(), BackupsKept);
    EXPECT_EQ(Bytes(Backup(today)), before) << "today's backup was rotated away";
    // The one made first went.
    EXPECT_FALSE(kept.contains(BackupFileName(today.addYears(1))));
    EXPECT_EQ(kept.last(), BackupFileName(today));
}

TEST_F(SettingsBackupTest, TheBackupIsTheOwnersAloneInAnOwnerOnlyFolder)
{
    WriteSetting(SettingsSection, Keys::Text1Men, "6");
    struct stat st { };
    ASSERT_EQ(::stat(sheet::encodePath(Backup(today)).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat(sheet::encodePath(BackupFolder()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(SettingsBackupTest, LeftoversOfKilledWritesGoAtStart)
{
    WriteSetting(SettingsSection, Keys::Text1Men, "6");
    const QString settingsFolder = sheet::folderOf(SettingsFilePath());
    for (const QString& path :
         {settingsFolder + "/.Pendrel.ini.0a0b0c.tmp", BackupFolder() + "/.kalmora-2026-12-01.ini.123abc.tmp"})
        QFile(path).open(QIODevice::WriteOnly);
    const QString foreign = settingsFolder + "/.Other.ini.0a0b0c.tmp";
    QFile(foreign).open(QIODevice::WriteOnly);
    RemoveSettingsLeftovers();
    EXPECT_EQ(QDir(settingsFolder).entryList({".*.tmp"}, QDir::Files | QDir::Hidden),
              QStringList{".Other.ini.0a0b0c.tmp"});
    EXPECT_TRUE(QDir(BackupFolder()).entryList({".*.tmp"}, QDir::Files | QDir::Hidden).isEmpty());
    QFile::remove(foreign);
}

} // namespace
