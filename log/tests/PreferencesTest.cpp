#include "BackupRestore.h"
#include "Constants.h"
#include "IniText.h"
#include "Failure.h"
#include "LogBackup.h"
#include "Preferences.h"
#include "Settings.h"
#include "StoredLog.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include "file/DurableFile.h"

#include <sys/stat.h>
#include <unistd.h>

namespace {

class PreferencesTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override { ClearSettings(); }
};

TEST_F(PreferencesTest, EntryLimitIs26UntilAnotherIsStored)
{
    EXPECT_EQ(ReadEntryLimit(), 26);
    EXPECT_FALSE(EntryLimitReached(25, 26));
    EXPECT_TRUE(EntryLimitReached(26, 26));
    // No limit: any count.
    EXPECT_FALSE(EntryLimitReached(1000000, 0));
    // At 26 the add command's message is the one it has always shown.
    EXPECT_EQ(EntryLimitReachedMessage(26),
              "Template chart will not fit perfectly.\r\nUp to 26 items only to be added. ");
    EXPECT_TRUE(EntryLimitReachedMessage(500).contains("500 entries"));

    StoreEntryLimit(" 0 ");
    EXPECT_EQ(ReadSetting(SettingsSection, EntryLimitKey), "0");
    EXPECT_EQ(ReadEntryLimit(), 0);
    StoreEntryLimit("3650");
    EXPECT_EQ(ReadEntryLimit(), 3650);
    // A hand-edited value that is no limit reads as the default.
    for (const char* stored : {"-5", "ten", "", "2.5", "99999999"}) {
        WriteSetting(SettingsSection, EntryLimitKey, stored);
        EXPECT_EQ(ReadEntryLimit(), 26) << stored;
    }
}

TEST_F(PreferencesTest, TypedLimitsAreWholeNumbersInRange)
{
    for (const char* typed : {"0", "26", " 100 ", "1000000"})
        EXPECT_TRUE(EntryLimitProblem(typed).isEmpty()) << typed;
    for (const char* typed : {"", "-1", "1.5", "abc", "1000001", "1e3"})
        EXPECT_TRUE(EntryLimitProblem(typed).contains("whole number from 0")) << typed;
}

TEST_F(PreferencesTest, GoalsAreCheckedLikeOtherNumbersAndStoredWithAPoint)
{
    EXPECT_EQ(GoalKey(true), "Goal Men");
    EXPECT_EQ(GoalKey(false), "Goal Women");
    EXPECT_EQ(ReadGoal(true), "");

    GoalCheck check = CheckGoal("", true);
    EXPECT_EQ(check.kind, GoalCheck::Kind::Accepted);
    EXPECT_EQ(check.stored, "");
    check = CheckGoal(" 180.5 ", true);
    EXPECT_EQ(check.kind, GoalCheck::Kind::Accepted);
    EXPECT_EQ(check.stored, "180.5");
    for (const char* refused : {"0", "-70", "abc", "70 kg"})
        EXPECT_EQ(CheckGoal(refused, false).kind, GoalCheck::Kind::Refused) << refused;
    EXPECT_TRUE(CheckGoal("0", false).message.contains("more than 0"));
    // Far outside human range: asked about, in the log's own unit.
    EXPECT_EQ(CheckGoal("500", false).kind, GoalCheck::Kind::Unlikely);
    EXPECT_EQ(CheckGoal("500", true).kind, GoalCheck::Kind::Accepted);
    EXPECT_EQ(CheckGoal("0.0001", true).message, "That looks unlikely. Save anyway?");
    EXPECT_EQ(CheckGoal("99999999", true).stored, "99999999");

    ScopedLocale german("de_DE");
    check = CheckGoal("72,5", false);
    EXPECT_EQ(check.kind, GoalCheck::Kind::Accepted);
    EXPECT_EQ(check.stored, "72.5");
    EXPECT_EQ(CheckGoal("72.5", false).kind, GoalCheck::Kind::Refused);
}

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

class RestoreTest : public PreferencesTest {
protected:
    void SetUp() override
    {
        PreferencesTest::SetUp();
        QDir(BackupFolder()).removeRecursively();
        SetBackupDayForTesting(QDate(2024, 3, 1));
        SetRestoreClockForTesting(QDateTime(QDate(2024, 3, 5), QTime(9, 30, 15)));
    }
    void TearDown() override
    {
        SetBackupDayForTesting(QDate());
        SetRestoreClockForTesting(QDateTime());
        QFile::setPermissions(BackupFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QDir(BackupFolder()).removeRecursively();
        PreferencesTest::TearDown();
    }
};

TEST_F(RestoreTest, BackupsAreListedNewestFirstWithTheEntriesOfEachLog)
{
    WriteBackup(QDate(2024, 3, 1), {{"6/10/2004", "200"}, {"6/17/2004", "199"}}, {});
    WriteBackup(QDate(2024, 3, 2), {{"6/10/2004", "200"}, {"6/17/2004", "199"}}, {{"6/10/2004", "72"}});
    WriteSetting(SettingsSection, Keys::FitnessWomen, JoinStoredLog({{"6/10/2004", "72"}}));
    const QString before = BackUpBeforeRestore();
    EXPECT_TRUE(before.endsWith("/kalmora-2024-03-05-093015-before-restore.ini")) << before.toStdString();
    struct stat st { };
    ASSERT_EQ(::stat(QFile::encodeName(before).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    // Not one of the daily backups that are kept to 30.
    EXPECT_EQ(BackupFiles().size(), 2);

    const QList<BackupInfo> backups = ListBackups();
    ASSERT_EQ(backups.size(), 3);
    EXPECT_EQ(backups[0].day, QDate(2024, 3, 5));
    EXPECT_TRUE(backups[0].beforeRestore);
    EXPECT_EQ(backups[0].metricEntries, 1);
    EXPECT_EQ(backups[1].day, QDate(2024, 3, 2));
    EXPECT_FALSE(backups[1].beforeRestore);
    EXPECT_EQ(backups[1].imperialEntries, 2);
    EXPECT_EQ(backups[1].metricEntries, 1);
    EXPECT_EQ(backups[2].day, QDate(2024, 3, 1));
    EXPECT_EQ(backups[2].metricEntries, 0);
    EXPECT_EQ(BackupLog(backups[2].path, true), QList<LogEntry>({{"6/10/2004", "200"}, {"6/17/2004", "199"}}));
    EXPECT_TRUE(BackupLog(backups[2].path, false).isEmpty());
}

TEST_F(RestoreTest, OnlyTheNewestTenCopiesBeforeARestoreAreKept)
{
    WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP2||");
    for (int i = 0; i < 12; ++i) {
        SetRestoreClockForTesting(QDateTime(QDate(2024, 3, 5), QTime(10, i, 0)));
        ASSERT_FALSE(BackUpBeforeRestore().isEmpty());
    }
    QList<BackupInfo> backups;
    for (const BackupInfo& b : ListBackups()) {
        if (b.beforeRestore)
            backups.append(b);
    }
    ASSERT_EQ(backups.size(), 10);
    EXPECT_TRUE(backups.first().path.endsWith("-101100-before-restore.ini"));
    EXPECT_TRUE(backups.last().path.endsWith("-100200-before-restore.ini"));
}

TEST_F(RestoreTest, NoCopyNoRestoreAndUnreadableBackupsSaySo)
{
    // Nothing stored yet: nothing to keep.
    QFile::remove(SettingsFilePath());
    EXPECT_TRUE(BackUpBeforeRestore().isEmpty());
    WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP2||");
    QDir().mkpath(BackupFolder());
    if (::geteuid() != 0) {
        // A folder that cannot be written: the restore must not go on.
        QFile::setPermissions(BackupFolder(), QFile::ReadOwner | QFile::ExeOwner);
        EXPECT_THROW(BackUpBeforeRestore(), Failure);
        QFile::setPermissions(BackupFolder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    {
        sheet::DurableFaults faults;
        faults.failFileSync = true;
        sheet::ScopedDurableFaults scoped(faults);
        try {
            BackUpBeforeRestore();
            ADD_FAILURE() << "a failed copy was taken for made";
        } catch (const Failure& e) {
            EXPECT_TRUE(e.description().contains("nothing was restored"));
        }
    }
    const QString gone = BackupFolder() + "/kalmora-2024-01-01.ini";
    EXPECT_THROW(BackupLog(gone, true), Failure);
    // Read only in part: listed as unreadable, never restored.
    QFile partly(BackupFolder() + "/kalmora-2024-01-03.ini");
    ASSERT_TRUE(partly.open(QIODevice::WriteOnly));
    partly.write("[Kalmora]\nFitness%20Men=1/1/2024||SEP1||80||SEP2||\nthis line is no setting\n");
    partly.close();
    EXPECT_THROW(BackupLog(partly.fileName(), true), Failure);
    const QList<BackupInfo> listed = ListBackups();
    ASSERT_FALSE(listed.isEmpty());
    EXPECT_EQ(listed.last().problem, "cannot be read");
    const QString folder = BackupFolder() + "/kalmora-2024-01-02.ini";
    QDir().mkpath(folder);
    EXPECT_THROW(BackupLog(folder, true), Failure);
}

} // namespace
