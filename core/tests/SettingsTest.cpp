#include "Constants.h"
#include "Failure.h"
#include "Settings.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

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
        "a,b", "a, b ,c", "@Variant(x)", "@@", "key=value;[section]", "line\nbreak\r\nend", "tab\there",
        "  padded  ", "\"quoted\"", "back\\slash", "Grüße 测量 ✓", "%20 and %", "true", "0",
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
