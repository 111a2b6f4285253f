// The program's start under the C and POSIX locales, which read as US English, and under a
// real locale, which stays itself. Run by CTest with LANG set and EXPECT_LOCALE naming the
// locale that must result.
#include "EntryDate.h"
#include "NumberText.h"
#include "format/CLocale.h"
#include "format/TypedInput.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QProcess>
#include <QTemporaryDir>

namespace {

bool UsEnglish() { return qEnvironmentVariable("EXPECT_LOCALE") == QLatin1String("en_US"); }

TEST(CLocale, ReadsAsUsEnglishAndRealLocalesStayThemselves)
{
    EXPECT_EQ(QLocale().name(), qEnvironmentVariable("EXPECT_LOCALE"));
    if (!UsEnglish())
        return;
    EXPECT_EQ(FormatEntryDate(QDate(2004, 6, 10)), "6/10/2004");
    EXPECT_EQ(EntryDateDisplayFormat(), "M/d/yyyy");
    EXPECT_EQ(ReadTypedNumber("35.5"), 35.5);
    EXPECT_FALSE(ReadTypedNumber("35,5").has_value());
    const sheet::TypedInput date = sheet::interpretTypedInput("6/17/2004", QLocale(), QString());
    EXPECT_EQ(date.kind, sheet::TypedInput::Kind::Number);
    EXPECT_DOUBLE_EQ(date.number, 38155);
}

// sheet-tool makes the same call first thing: a typed date is a date, and dates show month first.
TEST(CLocale, SheetToolReadsAndShowsDatesMonthFirst)
{
    if (!UsEnglish())
        return;
    QTemporaryDir folder;
    const QString out = folder.filePath("out.xls");
    QProcess set;
    set.start(QStringLiteral(SHEET_TOOL),
              {QStringLiteral("set"), QStringLiteral(TEMPLATE_101), out, QStringLiteral("A6=6/17/2004")});
    ASSERT_TRUE(set.waitForFinished(30000));
    ASSERT_EQ(set.exitCode(), 0) << set.readAllStandardError().toStdString();
    QProcess dump;
    dump.start(QStringLiteral(SHEET_TOOL), {QStringLiteral("dump"), out});
    ASSERT_TRUE(dump.waitForFinished(30000));
    ASSERT_EQ(dump.exitCode(), 0);
    const QByteArray json = dump.readAllStandardOutput();
    bool found = false;
    const QJsonArray sheets = QJsonDocument::fromJson(json).object().value("sheets").toArray();
    for (const QJsonValue& sheetValue : sheets) {
        for (const QJsonValue& cell : sheetValue.toObject().value("cells").toArray()) {
            const QJsonObject c = cell.toObject();
            if (c.value("address").toString() == "A6") {
                found = true;
                EXPECT_EQ(c.value("shown").toString(), "6/17/2004");
                EXPECT_EQ(c.value("value").toObject().value("type").toString(), "number");
                EXPECT_DOUBLE_EQ(c.value("value").toObject().value("value").toDouble(), 38155);
            }
        }
    }
    EXPECT_TRUE(found) << json.left(400).toStdString();
}

} // namespace

int main(int argc, char* argv[])
{
    // First, as the programs' main functions do.
    sheet::useUsEnglishForCLocale();
    QCoreApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
