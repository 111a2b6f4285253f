// The settings store against what reaches the file: coarse timestamps, hand edits, other
// sessions writing the same file, odd files and odd folder names.
#include "Constants.h"
#include "ExfatImage.h"
#include "Failure.h"
#include "IniText.h"
#include "MessageBox.h"
#include "Settings.h"
#include "SettingsLock.h"
#include "TestSupport.h"
#include "file/NativePath.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>

#include <dirent.h>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray Bytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Points the store at another config folder for one test, every byte of it kept.
class ConfigFolder {
public:
    explicit ConfigFolder(const QByteArray& folder)
        : m_saved(qgetenv("XDG_CONFIG_HOME"))
    {
        qputenv("XDG_CONFIG_HOME", folder);
        ForgetUnsavedSettingsForTesting();
    }
    ~ConfigFolder()
    {
        qputenv("XDG_CONFIG_HOME", m_saved);
        ForgetUnsavedSettingsForTesting();
    }

private:
    QByteArray m_saved;
};

// The names in a folder as the system has them.
QList<QByteArray> NamesIn(const QByteArray& folder)
{
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(folder.constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names << name;
        }
        ::closedir(dir);
    }
    return names;
}

// Sets the file's modification time to its whole even second, as FAT keeps it.
void RoundTimestampToTwoSeconds(const QString& path)
{
    struct stat st { };
    ASSERT_EQ(::stat(sheet::encodePath(path).constData(), &st), 0);
    const struct timespec times[2] = {{0, UTIME_OMIT}, {st.st_mtim.tv_sec - st.st_mtim.tv_sec % 2, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, sheet::encodePath(path).constData(), times, 0), 0);
}

class SettingsStoreTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override
    {
        SetSettingsConflictHandler({});
        ClearSettings();
    }
};

// Feet 7, then 8 within one timestamp tick (same length, so same size), then Inches: the
// file must say 8.
void TypeFeetTwiceThenInches(const std::function<void()>& afterEachWrite)
{
    WriteSetting(SettingsSection, Keys::Text1Men, "7");
    afterEachWrite();
    WriteSetting(SettingsSection, Keys::Text1Men, "8");
    afterEachWrite();
    WriteSetting(SettingsSection, Keys::Text2Men, "11");
    afterEachWrite();
    EXPECT_EQ(StoredInFile("Text1_Men"), "8");
    EXPECT_EQ(StoredInFile("Text2_Men"), "11");
}

TEST_F(SettingsStoreTest, QuickEqualSizedRewritesOnCoarseTimestampsAreAllStored)
{
    // Timestamps rounded to 2 s after every write, as vfat keeps them.
    WriteSetting(SettingsSection, Keys::Text2Men, "10");
    TypeFeetTwiceThenInches([] { RoundTimestampToTwoSeconds(SettingsFilePath()); });
}

TEST_F(SettingsStoreTest, QuickEqualSizedRewritesOnARealExfatImageAreAllStored)
{
    ExfatImage exfat;
    if (!exfat.mounted())
        GTEST_SKIP() << exfat.skipReason().toStdString();
    const ConfigFolder config(sheet::encodePath(exfat.path()));
    WriteSetting(SettingsSection, Keys::Text2Men, "10");
    TypeFeetTwiceThenInches([] {});
    // A new run reads what the first one wrote.
    ReloadSettingsForTesting();
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::Text1Men), "8");
}

// Another session writes a change of the same length within one timestamp tick; this one
// then writes another key. The other change must stay.
void AnotherSessionWithinOneTick(const std::function<void()>& afterEachWrite)
{
    WriteSetting(SettingsSection, Keys::FitnessWomen, "w1||SEP2||");
    afterEachWrite();
    ASSERT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen), "");
    {
        IniDocument other = ParseIniText(Bytes(SettingsFilePath()));
        other.setText(SettingsSection, Keys::FitnessWomen, "w2||SEP2||");
        QFile f(SettingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(IniDocumentText(other));
    }
    afterEachWrite();
    WriteSetting(SettingsSection, Keys::Text1Men, "6");
    EXPECT_EQ(StoredInFile("Fitness Women"), "w2||SEP2||") << "the other session's change was overwritten";
    EXPECT_EQ(StoredInFile("Text1_Men"), "6");
}

TEST_F(SettingsStoreTest, AnotherSessionsQuickChangeStaysOnCoarseTimestamps)
{
    AnotherSessionWithinOneTick([] { RoundTimestampToTwoSeconds(SettingsFilePath()); });
}

TEST_F(SettingsStoreTest, AnotherSessionsQuickChangeStaysOnARealExfatImage)
{
    ExfatImage exfat;
    if (!exfat.mounted())
        GTEST_SKIP() << exfat.skipReason().toStdString();
    const ConfigFolder config(sheet::encodePath(exfat.path()));
    AnotherSessionWithinOneTick([] {});
}

TEST_F(SettingsStoreTest, ASemicolonInAHandEditedValueKeepsTheWholeLog)
{
    const QByteArray log = "6/10/2004||SEP1||200||SEP1||42||SEP1||36||SEP1||34||SEP2||"
                           "6/17/2004||SEP1||199||SEP1||42;5||SEP1||36||SEP1||34||SEP2||"
                           "6/24/2004||SEP1||198||SEP1||42||SEP1||35||SEP1||34||SEP2||"
                           "7/1/2004||SEP1||197||SEP1||41||SEP1||35||SEP1||33||SEP2||";
    WriteRawSettingsFile("[Kalmora]\nFitness%20Men=" + log + "\nText1_Men=5\n");
    ScriptedMessages messages;
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen), QString::fromUtf8(log));
    WriteSetting(SettingsSection, Keys::Text1Men, "6");
    EXPECT_EQ(StoredInFile("Fitness Men"), QString::fromUtf8(log));
    // Read whole, so there is nothing to keep a copy of.
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(SettingsStoreTest, ASectionWhoseNameBeginsWithABackslashKeepsItsValues)
{
    WriteRawSettingsFile("[\\Lead]\nx=1\ny=two words\n\n[Kalmora]\nText1_Men=5\n");
    WriteSetting(SettingsSection, Keys::Text1Men, "6");
    // "/Lead" sorts before "Kalmora", as QSettings sorts it.
    EXPECT_EQ(Bytes(SettingsFilePath()), "[\\Lead]\nx=1\ny=two words\n\n[Kalmora]\nText1_Men=6\n");
}

TEST_F(SettingsStoreTest, AChangeMadeElsewhereIsKeptAndTheSameKeyChangedOnBothSidesIsHandedOver)
{
    WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP2||");
    WriteSetting(SettingsSection, Keys::FitnessWomen, "w||SEP2||");
    ASSERT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen), "a||SEP2||");
    // Another session (another work folder, another machine on the same home) stores both logs.
    {
        IniDocument other = ParseIniText(Bytes(SettingsFilePath()));
        other.setText(SettingsSection, Keys::FitnessMen, "a||SEP2||b||SEP2||");
        other.setText(SettingsSection, Keys::FitnessWomen, "w||SEP2||v||SEP2||");
        other.setText("Other Program", "size", "3");
        QFile f(SettingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(IniDocumentText(other));
    }
    QList<SettingsConflict> handed;
    SetSettingsConflictHandler([&](const SettingsConflict& conflict) { handed << conflict; });
    // This session adds an entry of its own to the log it shows.
    WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP2||c||SEP2||");
    EXPECT_EQ(StoredInFile("Fitness Men"), "a||SEP2||c||SEP2||");
    // Keys this write did not touch are the other session's.
    EXPECT_EQ(StoredInFile("Fitness Women"), "w||SEP2||v||SEP2||");
    EXPECT_EQ(StoredInFile("size", "Other Program"), "3");
    ASSERT_EQ(handed.size(), 1);
    EXPECT_EQ(handed.first().key, Keys::FitnessMen);
    EXPECT_EQ(handed.first().otherValue, "a||SEP2||b||SEP2||");
    // Only once: the next write is based on what this one stored.
    WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP2||c||SEP2||d||SEP2||");
    EXPECT_EQ(handed.size(), 1);
}

TEST_F(SettingsStoreTest, TheDefaultConflictHandlerNamesTheKey)
{
    ASSERT_EQ(ReadSetting(SettingsSection, Keys::FitnessWomen, "none"), "none");
    WriteRawSettingsFile("[Kalmora]\nFitness%20Women=x||SEP2||\n");
    // The program still shows what it read before the file was written elsewhere.
    ReadSetting(SettingsSection, Keys::FitnessWomen);
    ScriptedMessages messages;
    WriteSetting(SettingsSection, Keys::FitnessWomen, "y||SEP2||");
    EXPECT_EQ(messages.count(), 0) << "a key read after the other change is no conflict";
    {
        QFile f(SettingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Kalmora]\nFitness%20Women=z||SEP2||\n");
    }
    WriteSetting(SettingsSection, Keys::FitnessWomen, "y||SEP2||q||SEP2||");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("\"Fitness Women\""))
        << messages.asked().first().text.toStdString();
}

TEST_F(SettingsStoreTest, KeysChangedOnDiskAreFoundAndCanBeTakenOver)
{
    WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP2||");
    ASSERT_EQ(ReadSetting(SettingsSection, Keys::Text1Men, "5"), "5");
    EXPECT_TRUE(SettingsChangedOnDisk().isEmpty());
    {
        QFile f(SettingsFilePath());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[Kalmora]\nFitness%20Men=b||SEP2||\nText1_Men=6\nUnread=1\n");
    }
    EXPECT_EQ(SettingsChangedOnDisk(), (QStringList{"Kalmora/Fitness Men", "Kalmora/Text1_Men"}));
    // Until taken over, the program reads what it showed.
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen), "a||SEP2||");
    AcceptSettingsFromDisk({"Kalmora/Fitness Men"});
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen), "b||SEP2||");
    EXPECT_EQ(SettingsChangedOnDisk(), QStringList{"Kalmora/Text1_Men"});
}

TEST_F(SettingsStoreTest, ASettingsFileThatIsAPipeGetsOneMessageAndNoHang)
{
    // A hang would end the test here, not block the suite.
    ::alarm(30);
    const QString path = SettingsFilePath();
    QDir().mkpath(QFileInfo(path).path());
    ASSERT_EQ(::mkfifo(sheet::encodePath(path).constData(), 0600), 0);
    ScriptedMessages messages;
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::Text1Men, "5"), "5");
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::Text2Men, "10"), "10");
    WriteSetting(SettingsSection, Keys::Text1Men, "6");
    WriteSetting(SettingsSection, Keys::Text1Men, "7");
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked().first().text.contains("not a regular file"))
        << messages.asked().first().text.toStdString();
    // What the window shows is still what the program reads, and it is known to be unsaved.
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::Text1Men), "7");
    EXPECT_TRUE(HasUnsavedSettings());
    ::alarm(0);
    QFile::remove(path);
}

TEST_F(SettingsStoreTest, ANewSettingsFileIsTheOwnersAloneAndAnExistingOneKeepsItsMode)
{
    const mode_t mask = ::umask(022);
    WriteSetting(SettingsSection, Keys::Text1Men, "5");
    struct stat st { };
    ASSERT_EQ(::stat(sheet::encodePath(SettingsFilePath()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    ASSERT_EQ(::chmod(sheet::encodePath(SettingsFilePath()).constData(), 0640), 0);
    WriteSetting(SettingsSection, Keys::Text1Men, "6");
    ASSERT_EQ(::stat(sheet::encodePath(SettingsFilePath()).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    ::umask(mask);
}

TEST_F(SettingsStoreTest, AConfigFolderWhoseNameIsNotUtf8IsUsedByteForByte)
{
    QTemporaryDir home;
    const QByteArray folder = sheet::encodePath(home.path()) + "/j\xe9r\xf4me/.config";
    ASSERT_EQ(::mkdir((sheet::encodePath(home.path()) + "/j\xe9r\xf4me").constData(), 0700), 0);
    {
        const ConfigFolder config(folder);
        WriteSetting(SettingsSection, Keys::FitnessMen, "a||SEP2||");
        ReloadSettingsForTesting();
        EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen), "a||SEP2||");
    }
    struct stat st { };
    EXPECT_EQ(::stat((folder + "/Pendrel/Pendrel.ini").constData(), &st), 0) << "not stored under the real name";
    // Nothing was made under a mangled name beside it.
    EXPECT_EQ(NamesIn(sheet::encodePath(home.path())), QList<QByteArray>{"j\xe9r\xf4me"});
}

TEST_F(SettingsStoreTest, AConfigFolderThatDoesNotExistYetIsMadeOwnerOnly)
{
    QTemporaryDir home;
    const QByteArray folder = sheet::encodePath(home.path()) + "/not/yet/there";
    {
        const ConfigFolder config(folder);
        WriteSetting(SettingsSection, Keys::Text1Men, "5");
    }
    EXPECT_EQ(Bytes(sheet::decodePath(folder + "/Pendrel/Pendrel.ini")), "[Kalmora]\nText1_Men=5\n");
    struct stat st { };
    ASSERT_EQ(::stat((folder + "/Pendrel").constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST_F(SettingsStoreTest, ASecondSessionOnOneSettingsFileSeesTheFirst)
{
    WriteSetting(SettingsSection, Keys::Text1Men, "5");
    SettingsSessionLock first(SettingsFilePath());
    ASSERT_EQ(first.state(), SettingsSessionLock::State::Ours);
    {
        SettingsSessionLock second(SettingsFilePath());
        EXPECT_EQ(second.state(), SettingsSessionLock::State::HeldElsewhere);
        EXPECT_TRUE(second.holder().contains(QString::number(::getpid()))) << second.holder().toStdString();
    }
    QFile::remove(SettingsFilePath() + ".session.lock");
}

TEST_F(SettingsStoreTest, TheWriteLockWaitsForALiveHolderAndTakesOverADeadOnesLock)
{
    const QString lockPath = SettingsFilePath() + ".lock";
    QDir().mkpath(QFileInfo(lockPath).path());
    {
        SettingsWriteLock held(lockPath, 0);
        ASSERT_TRUE(held.locked());
        SettingsWriteLock second(lockPath, 50);
        EXPECT_FALSE(second.locked());
        EXPECT_TRUE(second.busy());
    }
    // A lock file left by a process that is gone (no flock held on it).
    {
        QFile left(lockPath);
        ASSERT_TRUE(left.open(QIODevice::WriteOnly));
        left.write("999999999\nkalmora\nnowhere\n");
    }
    SettingsWriteLock taken(lockPath, 0);
    EXPECT_TRUE(taken.locked());
}

// Our reader reads every text as QSettings wrote it, and QSettings reads every text as our
// writer wrote it.
TEST(IniTextReader, ReadsWhatQSettingsWritesAndQSettingsReadsWhatItWrites)
{
    QTemporaryDir dir;
    QRandomGenerator rng(16);
    const QString alphabet = QString::fromUtf8(" \t\"\\;,=@%/[]#abcXYZ019|\x01\x7f\u00e9\u4e2d\U0001F600\r\n");
    for (int round = 0; round < 300; ++round) {
        QString text;
        const int length = static_cast<int>(rng.bounded(12));
        for (int i = 0; i < length; ++i) {
            const QChar c = alphabet.at(static_cast<int>(rng.bounded(alphabet.size())));
            // Keep surrogate pairs whole.
            if (c.isLowSurrogate())
                continue;
            text += c;
            if (c.isHighSurrogate())
                text += alphabet.at(alphabet.indexOf(c) + 1);
        }
        const QString theirs = dir.filePath(QStringLiteral("q%1.ini").arg(round));
        {
            QSettings q(theirs, QSettings::IniFormat);
            q.setValue("Kalmora/Fitness Men", text);
        }
        const IniDocument read = ParseIniText(Bytes(theirs));
        EXPECT_TRUE(read.problems.isEmpty()) << read.problems.join("; ").toStdString();
        EXPECT_EQ(read.text("Kalmora", "Fitness Men"), text) << Bytes(theirs).toStdString();

        IniDocument ours;
        ours.setText("Kalmora", "Fitness Men", text);
        const QString mine = dir.filePath(QStringLiteral("o%1.ini").arg(round));
        {
            QFile f(mine);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(IniDocumentText(ours));
        }
        EXPECT_EQ(Bytes(mine), Bytes(theirs));
        EXPECT_EQ(QSettings(mine, QSettings::IniFormat).value("Kalmora/Fitness Men").toString(), text);
    }
}

// Texts a fuzzer found (continued lines, a lone backslash at the end, escapes of half a
// surrogate pair, empty sections): what is written back reads whole, and the same.
TEST(IniTextReader, WhatIsWrittenBackReadsWholeAndTheSame)
{
    const QList<QByteArray> texts = {
        QByteArray::fromBase64("DQ1cb1xdDbFdCgo9JiYmJiYmJiYmJiYmJiYmJiYmJiYmJiYmJiY9UCYmXA0NUDJc"),
        QByteArray::fromBase64(
            "AQAAAAAAAAptXApGaXRuZXMyS2E9W2wxJGFsJ21cNTU1NTU1NTU1NTU1NTU1NTU1NTU1NTU1NTU1NTVuPWFubmVzbA0NXFxcXA0NXA=="),
        QByteArray::fromBase64("CidtXApGaQpuJ/7//////0ZbXDNtMgAAb3JdCng9MQoAAAAAbXSeFksKcz1bMnSeSxYKcz1bMidtXA=="),
        "[Kalmora]\nFitners%20Men=a||SEP1||\"b;=1\n",
        "[Kalmora]\nlong=one \\\n  two\nnext=1\nlast=x\\",
    };
    for (const QByteArray& text : texts) {
        const IniDocument read = ParseIniText(text);
        const IniDocument again = ParseIniText(IniDocumentText(read));
        EXPECT_TRUE(again.problems.isEmpty()) << text.toBase64().toStdString();
        EXPECT_TRUE(again == read) << text.toBase64().toStdString();
        for (auto section = read.sections.cbegin(); section != read.sections.cend(); ++section) {
            for (auto key = section->cbegin(); key != section->cend(); ++key) {
                const QString value = IniValueText(key.value());
                EXPECT_EQ(IniValueText(IniRawValue(value)), value) << text.toBase64().toStdString();
            }
        }
    }
    // A continued value keeps its text, and the key after it stays a key of its own.
    const IniDocument continued = ParseIniText(texts.last());
    EXPECT_EQ(continued.text("Kalmora", "long"), "one   two");
    EXPECT_EQ(continued.text("Kalmora", "next"), "1");
    EXPECT_EQ(continued.text("Kalmora", "last"), "x");
}

TEST(IniTextReader, LinesThatCannotBeReadBackExactlyAreNamedAndLeftOut)
{
    const IniDocument document = ParseIniText("[Kalmora]\nText1_Men=5\nnot a key\nText2_Men=\"open\nA=\xff\n"
                                              "Text1_Men=6\n[Other] junk\nx=1\n");
    EXPECT_EQ(document.problems.size(), 5) << document.problems.join("\n").toStdString();
    EXPECT_EQ(document.text("Kalmora", "Text1_Men"), "6");
    EXPECT_FALSE(document.contains("Kalmora", "Text2_Men"));
    EXPECT_FALSE(document.contains("Kalmora", "A"));
    EXPECT_EQ(document.text("Other", "x"), "1");
    // Written back, the text reads whole.
    EXPECT_TRUE(ParseIniText(IniDocumentText(document)).problems.isEmpty());
}

} // namespace
