#include "Constants.h"
#include "Failure.h"
#include "Settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { ClearSettings(); }
    void TearDown() override { ClearSettings(); }
};

TEST_F(SettingsTest, MissingKeyReadsAsTheDefaultOfTheReadSite)
{
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::Text2Men, Defaults::Text2MenAtStartup), "10");
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::Text2Men, Defaults::Text2MenAtSwitch), "7");
    const QString missing = ReadSetting(SettingsSection, Keys::FitnessMen);
    EXPECT_TRUE(missing.isEmpty());
    EXPECT_FALSE(HasSetting(Keys::FitnessMen));
}

TEST_F(SettingsTest, TextsRoundTripVerbatim)
{
    const QStringList values = {
        "a,b",
        "a, b ,c",
        "@Variant(x)",
        "@@",
        "key=value;[section]",
        "line\nbreak\r\nend",
        "tab\there",
        "  padded  ",
        "\"quoted\"",
        "back\\slash",
        "Grüße 测量 ✓",
        "%20 and %",
        "true",
        "0",
        "6/10/2004||SEP1||200||SEP1||||SEP2||",
    };
    for (const QString& value : values) {
        WriteSetting(SettingsSection, Keys::FitnessWomen, value);
        EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessWomen, "default"), value) << value.toStdString();
    }
}

TEST_F(SettingsTest, EmptyTextIsStoredAndNotReplacedByTheDefault)
{
    WriteSetting(SettingsSection, Keys::Text1Men, QString());
    EXPECT_TRUE(HasSetting(Keys::Text1Men));
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::Text1Men, Defaults::Text1Men), "");
}

TEST_F(SettingsTest, LongValueRoundTrips)
{
    QString value;
    for (int i = 0; i < 20000; ++i)
        value += QStringLiteral("%1/1/2004||SEP1||%1.5||SEP2||").arg(i);
    WriteSetting(SettingsSection, Keys::FitnessMen, value);
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen), value);
}

TEST_F(SettingsTest, StoreIsThePendrelFileInTheUsersConfigFolderUnderKalmora)
{
    WriteSetting(SettingsSection, Keys::Option1, "True");
    const QString expected = QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath("Pendrel/Pendrel.ini");
    EXPECT_EQ(QFileInfo(SettingsFilePath()).absoluteFilePath(), QFileInfo(expected).absoluteFilePath());
    QFile file(expected);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray contents = file.readAll();
    EXPECT_TRUE(contents.contains("[Kalmora]"));
    EXPECT_TRUE(contents.contains("Option1=True"));
}

TEST_F(SettingsTest, HandWrittenUnquotedCommaTextReadsAsText)
{
    WriteRawSettingsFile("[Kalmora]\nText1_Men=5,5\n");
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::Text1Men, "x"), "5,5");
}

TEST_F(SettingsTest, WritingOneKeyLeavesTheOthers)
{
    WriteSetting(SettingsSection, Keys::FitnessMen, "men");
    WriteSetting(SettingsSection, Keys::FitnessWomen, "women");
    WriteSetting(SettingsSection, Keys::FitnessMen, "");
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessWomen), "women");
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen, "x"), "");
}

TEST_F(SettingsTest, WritingTheHeldValueLeavesTheFileAlone)
{
    WriteSetting(SettingsSection, Keys::FitnessMen, "long log");
    const QString path = SettingsFilePath();
    const QDateTime old = QDateTime::currentDateTime().addDays(-1);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(old, QFileDevice::FileModificationTime));
    }
    WriteSetting(SettingsSection, Keys::FitnessMen, "long log");
    EXPECT_EQ(QFileInfo(path).lastModified(), old);
    WriteSetting(SettingsSection, Keys::FitnessMen, "longer log");
    EXPECT_NE(QFileInfo(path).lastModified(), old);
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen), "longer log");
}

TEST_F(SettingsTest, FailedWriteThrowsNamingTheKey)
{
    // A folder where the file should be: no user (root included) can write it.
    const QString path = SettingsFilePath();
    QFile::remove(path);
    ASSERT_TRUE(QDir().mkpath(path));
    try {
        WriteSetting(SettingsSection, Keys::Text1Men, "6");
        ADD_FAILURE() << "the write did not fail";
    } catch (const Failure& failure) {
        EXPECT_TRUE(failure.description().contains("Text1_Men")) << failure.what();
    }
    QDir(path).removeRecursively();
}

TEST(SettingToBool, TrueFalseInAnyCaseAndNumbers)
{
    EXPECT_TRUE(SettingToBool("Option1", "True"));
    EXPECT_TRUE(SettingToBool("Option1", "true"));
    EXPECT_TRUE(SettingToBool("Option1", "TRUE"));
    EXPECT_FALSE(SettingToBool("Option1", "False"));
    EXPECT_FALSE(SettingToBool("Option1", "fAlSe"));
    EXPECT_TRUE(SettingToBool("Option1", "1"));
    EXPECT_TRUE(SettingToBool("Option1", "-1"));
    EXPECT_TRUE(SettingToBool("Option1", "2.5"));
    EXPECT_FALSE(SettingToBool("Option1", "0"));
    EXPECT_FALSE(SettingToBool("Option1", "0.0"));
    EXPECT_EQ(BoolSettingText(true), "True");
    EXPECT_EQ(BoolSettingText(false), "False");
}

TEST(SettingToBool, OtherTextsFailNamingKeyAndText)
{
    for (const char* text : {"yes", "", "1,5x", "Tru"}) {
        try {
            SettingToBool("Option2", text);
            ADD_FAILURE() << "accepted " << text;
        } catch (const Failure& failure) {
            EXPECT_TRUE(failure.description().contains("Option2"));
            EXPECT_TRUE(failure.description().contains(QStringLiteral("\"%1\"").arg(text)));
        }
    }
}

} // namespace

// ---------------------------------------------------------------- writes that tell the truth

#include "IniText.h"
#include "MessageBox.h"
#include "SmallDisk.h"
#include "file/DurableFile.h"

#include <QDataStream>
#include <QRect>
#include <QSettings>

#include <memory>
#include <random>

namespace {

QByteArray FileBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

QByteArray Binary()
{
    static const char bytes[] = "\x00\x01\xff binary, with = and ;";
    return QByteArray(bytes, sizeof bytes - 1);
}

// What another program of the same maker may have put into the file, in every form QSettings
// writes.
void WriteForeignKeys(QSettings& s)
{
    s.setValue("General key", "top level");
    s.setValue("general/x", 1);
    s.setValue("Other Program/size", QSize(640, 480));
    s.setValue("Other Program/rect", QRect(1, 2, 3, 4));
    s.setValue("Other Program/point", QPoint(-5, 6));
    s.setValue("Other Program/bytes", Binary());
    s.setValue("Other Program/list", QStringList{"a", "b, c", " d "});
    s.setValue("Other Program/empty list", QStringList{});
    s.setValue("Other Program/mixed", QVariantList{1, "two", 3.5});
    s.setValue("Other Program/one", QVariantList{42});
    s.setValue("Other Program/when", QDateTime(QDate(2021, 8, 31), QTime(12, 30), Qt::UTC));
    s.setValue("Other Program/date", QDate(2004, 6, 10));
    s.setValue("Other Program/number", 2.5);
    s.setValue("Other Program/flag", true);
    s.setValue("Other Program/nested/deeper/key", "n");
    s.setValue(QString::fromUtf8("Ünïcode §/ключ ✓"), QString::fromUtf8("значение 😀"));
    s.setValue("Other Program/at", "@not a type");
    s.setValue("Other Program/invalid", QVariant());
}

class SettingsFileTest : public SettingsTest {
protected:
    QTemporaryDir reference;
};

TEST_F(SettingsFileTest, TextIsByteForByteWhatQSettingsWrites)
{
    // The same history through QSettings on a file of its own, and through the store, both
    // starting from a file another program wrote, read afresh as a new run of this one would.
    const QString written = reference.filePath("other.ini");
    {
        QSettings other(written, QSettings::IniFormat);
        WriteForeignKeys(other);
    }
    const QString refPath = reference.filePath("Pendrel.ini");
    ASSERT_TRUE(QFile::copy(written, refPath));
    QDir().mkpath(QFileInfo(SettingsFilePath()).path());
    WriteRawSettingsFile(FileBytes(written));

    const QList<QPair<QString, QString>> writes = {
        {Keys::Text1Men, "5"},
        {Keys::Text2Men, "10"},
        {Keys::Option1, "True"},
        {Keys::Option2, "False"},
        {Keys::FitnessMen, "6/10/2004||SEP1||200||SEP1||40||SEP1||34||SEP1||38||SEP2||"},
        {Keys::Text1Women, " 1,5 "},
        {Keys::Text2Women,
         "a;b=c\"d\\e\tf\ng\r\x01"
         "7"},
        {Keys::FitnessWomen, QString::fromUtf8("Grüße 测量 😀 @x %41 \x7f")},
        {Keys::Text1Men, ""},
        {Keys::Text2Men, "@@"},
        {Keys::FitnessMen, QString(QChar(0)) + "1"},
    };
    for (const auto& w : writes) {
        SCOPED_TRACE(w.first.toStdString() + "=" + w.second.toStdString());
        {
            QSettings ref(refPath, QSettings::IniFormat);
            ref.setValue(SettingsSection + "/" + w.first, w.second);
        }
        WriteSetting(SettingsSection, w.first, w.second);
        ASSERT_EQ(FileBytes(SettingsFilePath()).toStdString(), FileBytes(refPath).toStdString());
        EXPECT_EQ(ReadSetting(SettingsSection, w.first, "default"), w.second);
    }
    // Read back by QSettings itself (afresh, from a copy it has never seen), every foreign
    // value is what was written.
    const QString copy = reference.filePath("check.ini");
    ASSERT_TRUE(QFile::copy(SettingsFilePath(), copy));
    QSettings check(copy, QSettings::IniFormat);
    EXPECT_EQ(check.value("Other Program/size").toSize(), QSize(640, 480));
    EXPECT_EQ(check.value("Other Program/bytes").toByteArray(), Binary());
    EXPECT_EQ(check.value("Other Program/when").toDateTime(), QDateTime(QDate(2021, 8, 31), QTime(12, 30), Qt::UTC));
}

TEST_F(SettingsFileTest, AFailedWriteKeepsTheFileAndTheChangeStaysPendingUntilAWriteSucceeds)
{
    WriteSetting(SettingsSection, Keys::FitnessMen, "6/10/2004||SEP1||200||SEP2||");
    WriteSetting(SettingsSection, Keys::Text1Men, "5");
    const QByteArray before = FileBytes(SettingsFilePath());
    for (const sheet::DurableFaults faults :
         {sheet::DurableFaults{0, false, false, false}, sheet::DurableFaults{10, false, false, false},
          sheet::DurableFaults{-1, true, false, false}, sheet::DurableFaults{-1, false, true, false}}) {
        sheet::ScopedDurableFaults fault(faults);
        try {
            WriteSetting(SettingsSection, Keys::Text1Men, "6");
            ADD_FAILURE() << "the write was reported as done";
        } catch (const SettingsNotSaved& e) {
            EXPECT_TRUE(e.description().contains("Text1_Men")) << e.what();
            EXPECT_TRUE(e.description().contains(faults.failWriteAtByte >= 0 ? "No space left on device"
                                                                             : "Input/output error"))
                << e.what();
        }
        EXPECT_EQ(FileBytes(SettingsFilePath()), before);
        // What the window shows is what the program reads, and it says so: nothing diverges silently.
        EXPECT_EQ(ReadSetting(SettingsSection, Keys::Text1Men), "6");
        EXPECT_TRUE(HasUnsavedSettings());
        EXPECT_EQ(UnsavedSettingKeys(), QStringList{Keys::Text1Men});
    }
    // The next write that goes through stores the waiting value too.
    WriteSetting(SettingsSection, Keys::Text2Men, "11");
    EXPECT_FALSE(HasUnsavedSettings());
    EXPECT_EQ(StoredInFile("Text1_Men"), "6");
    EXPECT_EQ(StoredInFile("Text2_Men"), "11");
    EXPECT_EQ(StoredInFile("Fitness Men"), "6/10/2004||SEP1||200||SEP2||");

    // Writing the pending value again retries it; with nothing pending, an equal value writes nothing.
    {
        sheet::ScopedDurableFaults full({0, false, false, false});
        EXPECT_THROW(WriteSetting(SettingsSection, Keys::Text2Men, "12"), SettingsNotSaved);
    }
    WriteSetting(SettingsSection, Keys::Text2Men, "12");
    EXPECT_FALSE(HasUnsavedSettings());
    EXPECT_EQ(StoredInFile("Text2_Men"), "12");
}

// Bind-mounts a disk over the store's folder for one test.
struct StoreFolderOn {
    StoreFolderOn(const SmallDisk& disk)
        : folder(QFileInfo(SettingsFilePath()).path())
    {
        QDir().mkpath(folder);
        mounted = ::mount(QFile::encodeName(disk.path()).constData(), QFile::encodeName(folder).constData(), nullptr,
                          MS_BIND, nullptr)
            == 0;
    }
    ~StoreFolderOn()
    {
        if (mounted)
            ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
    }
    QString folder;
    bool mounted = false;
};

TEST_F(SettingsFileTest, TheLastTryAtTheEndStoresWhatIsPendingOrSaysItFailed)
{
    SaveUnsavedSettings(); // nothing pending: nothing to do
    {
        sheet::ScopedDurableFaults full({0, false, false, false});
        EXPECT_THROW(WriteSetting(SettingsSection, Keys::FitnessWomen, "w||SEP2||"), SettingsNotSaved);
        EXPECT_THROW(WriteSetting(SettingsSection, Keys::Text1Women, "1"), SettingsNotSaved);
        EXPECT_THROW(SaveUnsavedSettings(), SettingsNotSaved);
    }
    EXPECT_EQ(UnsavedSettingKeys(), (QStringList{Keys::FitnessWomen, Keys::Text1Women}));
    SaveUnsavedSettings();
    EXPECT_FALSE(HasUnsavedSettings());
    EXPECT_EQ(StoredInFile("Fitness Women"), "w||SEP2||");
    EXPECT_EQ(StoredInFile("Text1_Women"), "1");
}

TEST_F(SettingsFileTest, TemporaryFilesOfAKilledWriteGoWithTheNextWrite)
{
    WriteSetting(SettingsSection, Keys::Text1Men, "5");
    const QDir folder = QFileInfo(SettingsFilePath()).dir();
    for (const char* name : {".Pendrel.ini.1a2b3c.tmp", ".Pendrel.ini.ffff.tmp"})
        QFile(folder.filePath(name)).open(QIODevice::WriteOnly);
    QFile(folder.filePath(".other.ini.1a2b3c.tmp")).open(QIODevice::WriteOnly);
    WriteSetting(SettingsSection, Keys::Text1Men, "6");
    EXPECT_EQ(folder.entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{".other.ini.1a2b3c.tmp", "Pendrel.ini"}));
    QFile::remove(folder.filePath(".other.ini.1a2b3c.tmp"));
}

TEST_F(SettingsFileTest, QuickWritesOfEqualLengthAreReadBack)
{
    // On a memory filesystem writes take microseconds: equal sizes within one millisecond.
    SmallDisk disk("size=1m");
    std::unique_ptr<StoreFolderOn> memory;
    if (disk.mounted())
        memory = std::make_unique<StoreFolderOn>(disk);
    for (int i = 0; i < 200; ++i) {
        const QString value = QString::number(i % 10);
        WriteSetting(SettingsSection, Keys::Text1Men, value);
        ASSERT_EQ(ReadSetting(SettingsSection, Keys::Text1Men), value);
    }
}

TEST_F(SettingsFileTest, AnUnreadableFileIsCopiedOnceBeforeItIsRewritten)
{
    // Garbage QSettings calls a format error, and garbage it reads as keys of its own.
    QByteArray reported = "[Kalmora]\nFitness%20Men=a||SEP1||1||SEP2||\n";
    for (int i = 0; i < 2000; ++i)
        reported.append(static_cast<char>((i * 7919) % 251 + 1));
    reported += "\nText2_Men=72\n";
    QByteArray silent = "[Kalmora]\nFitness%20Men=a||SEP1||1||SEP2||\n";
    std::mt19937 rng(7);
    for (int i = 0; i < 3000; ++i)
        silent.append(static_cast<char>(rng() % 256));
    silent += "\nText2_Men=11\n[Other]\nkey=value\n";

    for (const QByteArray& garbage : {reported, silent}) {
        ClearSettings();
        WriteRawSettingsFile(garbage);
        ScriptedMessages messages;
        WriteSetting(SettingsSection, Keys::Text1Men, "6");
        ASSERT_EQ(messages.count(), 1);
        const QString text = messages.asked().first().text;
        EXPECT_TRUE(text.contains(".unreadable-")) << text.toStdString();

        const QDir folder = QFileInfo(SettingsFilePath()).dir();
        const QStringList copies = folder.entryList({"Pendrel.ini.unreadable-*"}, QDir::Files);
        ASSERT_EQ(copies.size(), 1);
        EXPECT_TRUE(QRegularExpression("^Pendrel\\.ini\\.unreadable-\\d{8}-\\d{6}$").match(copies.first()).hasMatch());
        EXPECT_EQ(FileBytes(folder.filePath(copies.first())), garbage);
        // The readable keys and the new one are in the rewritten file.
        EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen), "a||SEP1||1||SEP2||");
        EXPECT_EQ(ReadSetting(SettingsSection, Keys::Text1Men), "6");

        WriteSetting(SettingsSection, Keys::Text1Men, "7");
        EXPECT_EQ(messages.count(), 1);
        EXPECT_EQ(folder.entryList({"Pendrel.ini.unreadable-*"}, QDir::Files).size(), 1);
        QFile::remove(folder.filePath(copies.first()));
    }
}

TEST_F(SettingsFileTest, AHandEditedFileQSettingsReadsWholeIsNoCaseForACopy)
{
    WriteRawSettingsFile("; written by hand\n\n[Kalmora]\n  Text2_Men = 10  \nFitness%20Men=a||SEP1||1||SEP2||\n"
                         "Text1_Men=5\n; another note\n[Other]\nlist=a, b\nlong=one \\\n  two\n");
    WriteSetting(SettingsSection, Keys::Text1Men, "6");
    EXPECT_TRUE(QFileInfo(SettingsFilePath()).dir().entryList({"Pendrel.ini.unreadable-*"}, QDir::Files).isEmpty());
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::Text2Men), "10");
}

TEST_F(SettingsFileTest, AnUnreadableFileIsNotRewrittenWhenItsCopyCannotBeKept)
{
    QByteArray garbage = "[Kalmora]\nText1_Men=5\n";
    for (int i = 0; i < 500; ++i)
        garbage.append(static_cast<char>((i * 31) % 251 + 1));
    WriteRawSettingsFile(garbage);
    {
        sheet::ScopedDurableFaults full({0, false, false, false});
        EXPECT_THROW(WriteSetting(SettingsSection, Keys::Text1Men, "6"), SettingsNotSaved);
    }
    EXPECT_EQ(FileBytes(SettingsFilePath()), garbage);
    ForgetUnsavedSettingsForTesting();
}

// A real full disk under the settings folder (root only), with the example log stored.
TEST_F(SettingsFileTest, RealFullDiskAndReadOnlyFolder)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason().toStdString();
    // The store's folder becomes the small disk for this test.
    const StoreFolderOn store(disk);
    ASSERT_TRUE(store.mounted);
    const QString& folder = store.folder;

    QString log;
    for (int i = 1; i <= 26; ++i)
        log += QStringLiteral("6/%1/2004||SEP1||200||SEP1||40||SEP1||34||SEP1||38||SEP2||").arg(i);
    WriteSetting(SettingsSection, Keys::FitnessMen, log);
    WriteSetting(SettingsSection, Keys::FitnessWomen, log);
    WriteSetting(SettingsSection, Keys::Text1Men, "5");
    const QByteArray before = FileBytes(SettingsFilePath());
    disk.fill(2048);

    // One digit typed into a height field.
    EXPECT_THROW(WriteSetting(SettingsSection, Keys::Text1Men, "56"), SettingsNotSaved);
    EXPECT_EQ(FileBytes(SettingsFilePath()), before);
    EXPECT_EQ(ReadSetting(SettingsSection, Keys::FitnessMen), log);

    // Room again: the pending digit goes out with the next write.
    QFile::remove(disk.filePath(".filler"));
    WriteSetting(SettingsSection, Keys::Text2Men, "10");
    EXPECT_EQ(StoredInFile("Text1_Men"), "56");

    // A read-only folder (even for root): reported, file kept.
    const QByteArray kept = FileBytes(SettingsFilePath());
    ASSERT_EQ(
        ::mount(nullptr, QFile::encodeName(folder).constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr), 0);
    try {
        WriteSetting(SettingsSection, Keys::Text2Men, "11");
        ADD_FAILURE() << "written into a read-only folder";
    } catch (const SettingsNotSaved& e) {
        EXPECT_TRUE(e.description().contains("Read-only file system")) << e.what();
    }
    EXPECT_EQ(FileBytes(SettingsFilePath()), kept);
    ForgetUnsavedSettingsForTesting();
}

TEST(IniText, ReadingAFileAndWritingItBackGivesTheSameText)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a.ini");
    {
        QSettings s(path, QSettings::IniFormat);
        WriteForeignKeys(s);
        s.setValue("Kalmora/Fitness Men", "x||SEP1||y||SEP2||");
    }
    QSettings s(path, QSettings::IniFormat);
    QMap<QString, QVariant> keys;
    for (const QString& k : s.allKeys())
        keys.insert(k, s.value(k));
    EXPECT_EQ(IniFileText(keys), FileBytes(path));
}

} // namespace
