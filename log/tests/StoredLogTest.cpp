#include "EntryDate.h"
#include "SampleData.h"
#include "StoredLog.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(StoredLog, ExampleEntriesStoreAsOneLine)
{
    const QList<LogEntry> entries = {{"6/10/2004", "200", "42", "36", "34"}, {"6/17/2004", "200", "42", "36", "34"}};
    EXPECT_EQ(JoinStoredLog(entries),
              "6/10/2004||SEP1||200||SEP1||42||SEP1||36||SEP1||34||SEP2||"
              "6/17/2004||SEP1||200||SEP1||42||SEP1||36||SEP1||34||SEP2||");
}

TEST(StoredLog, OneEntryIsItsFieldsSeparatedAndTerminated)
{
    EXPECT_EQ(JoinStoredLog({{"a", "b", "c", "d", "e"}}), "a||SEP1||b||SEP1||c||SEP1||d||SEP1||e||SEP2||");
}

TEST(StoredLog, EmptyLogIsEmptyText)
{
    EXPECT_EQ(JoinStoredLog({}), "");
    EXPECT_TRUE(SplitStoredLog("").isEmpty());
    // An entry without fields adds nothing.
    EXPECT_EQ(JoinStoredLog({{}, {"a"}}), "a||SEP2||");
}

TEST(StoredLog, EmptyFieldsSurviveInEveryPosition)
{
    const QList<LogEntry> entries = {
        {"", "1", "2", "3", "4"}, {"d", "1", "", "3", "4"},      {"d", "1", "2", "3", ""},
        {"", "", "", "", ""},     {"d", "", "", "", "", "", ""},
    };
    const QString text = JoinStoredLog(entries);
    EXPECT_TRUE(text.startsWith("||SEP1||1"));
    EXPECT_TRUE(text.contains("3||SEP1||||SEP2||"));
    EXPECT_EQ(SplitStoredLog(text), entries);
}

TEST(StoredLog, FieldsEndingInABarSurvive)
{
    const QList<LogEntry> entries = {{"1/1/2000", "a|", "|", "||", "x|y|"}, {"2/2/2000", "|||", "b", "|", "z|"}};
    EXPECT_EQ(SplitStoredLog(JoinStoredLog(entries)), entries);
}

TEST(StoredLog, EmptyChunksGiveNoRows)
{
    EXPECT_EQ(SplitStoredLog("||SEP2||||SEP2||a||SEP1||b||SEP2||||SEP2||"), QList<LogEntry>({{"a", "b"}}));
    // A last entry without its terminator still loads.
    EXPECT_EQ(SplitStoredLog("a||SEP1||b"), QList<LogEntry>({{"a", "b"}}));
}

TEST(StoredLog, ShortEntriesKeepTheirFieldCount)
{
    EXPECT_EQ(SplitStoredLog("1/1/2000||SEP1||5||SEP1||6||SEP2||"), QList<LogEntry>({{"1/1/2000", "5", "6"}}));
}

TEST(StoredLog, TextsThatWouldSplitTheirEntryAreNamed)
{
    const LogEntry withSeparators = {"1/1/2000", "a||SEP1||b", "c", "x||SEP2||y", "e"};
    EXPECT_NE(SplitStoredLog(JoinStoredLog({withSeparators})), QList<LogEntry>({withSeparators}));
    EXPECT_EQ(UnstorableText(withSeparators), "a||SEP1||b");
    EXPECT_EQ(UnstorableText({"1/1/2000", "1", "x||SEP2||y", "2", "3"}), "x||SEP2||y");
    // Texts that make a separator with the one written beside them.
    EXPECT_EQ(UnstorableText({"1/1/2000", "abc||SEP1", "1", "2", "3"}), "abc||SEP1");
    EXPECT_EQ(UnstorableText({"1/1/2000", "1", "2", "3", "abc||SEP2|"}), "abc||SEP2|");
    EXPECT_EQ(UnstorableText({"1/1/2000", "1", "SEP2", "2", "3"}), "SEP2");
    EXPECT_EQ(UnstorableText({"1/1/2000", "1", "|SEP2||x", "2", "3"}), "|SEP2||x");
    EXPECT_TRUE(UnstorableText({"1/1/2000", "a|", "|", "SEP1||", "SEP2x"}).isNull());
    EXPECT_TRUE(UnstorableText({"1/1/2000", "", "", "", ""}).isNull());
}

// Entries that pass the check survive storing in any order and company.
TEST(StoredLog, EveryAcceptedEntryRoundTripsAmongOthers)
{
    const QStringList pieces = {"|", "||", "S", "SEP1", "SEP2", "x", "|SEP1|", "||SEP2"};
    QStringList texts = {""};
    for (int round = 0; round < 2; ++round) {
        const QStringList previous = texts;
        for (const QString& text : previous)
            for (const QString& piece : pieces)
                texts << text + piece;
    }
    QList<LogEntry> accepted;
    int refused = 0;
    for (int i = 0; i < texts.size(); ++i) {
        const LogEntry entry = {QStringLiteral("%1/1/2000").arg(i % 12 + 1), texts.at(i),
                                texts.at((i * 7) % texts.size()), texts.at((i * 13) % texts.size())};
        if (UnstorableText(entry).isNull())
            accepted << entry;
        else
            ++refused;
    }
    EXPECT_GT(accepted.size(), 20);
    EXPECT_GT(refused, 20);
    for (int start = 0; start + 3 <= accepted.size(); ++start) {
        const QList<LogEntry> company = accepted.mid(start, 3);
        ASSERT_EQ(SplitStoredLog(JoinStoredLog(company)), company);
    }
}

TEST(StoredLog, HundredThousandEntriesLoad)
{
    QList<LogEntry> entries;
    for (int i = 0; i < 100000; ++i)
        entries.append({QStringLiteral("1/%1/2004").arg(i % 28 + 1), QString::number(i), "42", "", "34"});
    const QString text = JoinStoredLog(entries);
    const QList<LogEntry> loaded = SplitStoredLog(text);
    ASSERT_EQ(loaded.size(), 100000);
    EXPECT_EQ(loaded.last(), entries.last());
    EXPECT_EQ(loaded.at(54321), entries.at(54321));
}

TEST(EntryDate, MonthDayFourDigitYearWithTheLocaleSeparator)
{
    ScopedLocale us("en_US");
    EXPECT_EQ(FormatEntryDate(QDate(2024, 3, 5)), "3/5/2024");
    EXPECT_EQ(FormatEntryDate(QDate(1601, 1, 1)), "1/1/1601");
    EXPECT_EQ(FormatEntryDate(QDate(9999, 12, 31)), "12/31/9999");
    EXPECT_EQ(EntryDateDisplayFormat(), "M/d/yyyy");
    EXPECT_EQ(ShownEntryDate(QDate(2004, 7, 15)), "7/15/2004");
    // Stored month first with the locale's separator; shown in the locale's own order.
    ScopedLocale german("de_DE");
    EXPECT_EQ(FormatEntryDate(QDate(2004, 6, 10)), "6.10.2004");
    EXPECT_EQ(EntryDateDisplayFormat(), "dd.MM.yyyy");
    EXPECT_EQ(ShownEntryDate(QStringLiteral("6.10.2004")), "10.06.2004");
    EXPECT_EQ(LocaleDateParts().words(), "day.month.year");
    ScopedLocale british("en_GB");
    EXPECT_EQ(EntryDateDisplayFormat(), "dd/MM/yyyy");
    EXPECT_EQ(ShownEntryDate(QStringLiteral("6/10/2004")), "10/06/2004");
    EXPECT_EQ(ShownEntryDate(QStringLiteral("someday")), "someday");
    // Year first, and a locale whose short date is not all figures.
    ScopedLocale swedish("sv_SE");
    EXPECT_EQ(EntryDateDisplayFormat(), "yyyy-MM-dd");
    EXPECT_EQ(ShownEntryDate(QDate(2004, 7, 5)), "2004-07-05");
}

TEST(EntryDate, ReadsBackMonthDayYear)
{
    EXPECT_EQ(ParseEntryDate("6/10/2004"), QDate(2004, 6, 10));
    EXPECT_EQ(ParseEntryDate("6.10.2004"), QDate(2004, 6, 10));
    EXPECT_EQ(ParseEntryDate("12-31-9999"), QDate(9999, 12, 31));
    EXPECT_FALSE(ParseEntryDate("13/1/2004").isValid());
    EXPECT_FALSE(ParseEntryDate("2/30/2004").isValid());
    EXPECT_FALSE(ParseEntryDate("yesterday").isValid());
    EXPECT_FALSE(ParseEntryDate("").isValid());
}

TEST(SampleData, StoredWithAPointWhateverTheLocale)
{
    for (const char* name : {"en_US", "de_DE"}) {
        ScopedLocale locale(QString::fromLatin1(name));
        EXPECT_EQ(MeasurementText(200), "200");
        EXPECT_EQ(MeasurementText(35.5), "35.5");
        EXPECT_EQ(MeasurementText(78.74), "78.74");
        EXPECT_EQ(SampleEntries(true).at(2), LogEntry({"6/24/2004", "199", "42", "35.5", "33.6"}));
        EXPECT_EQ(SampleEntries(false).at(3), LogEntry({"7/1/2004", "63", "81.3", "71.12", "99.06", "16", "27.94"}));
    }
}

} // namespace
