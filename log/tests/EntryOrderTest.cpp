#include "EntryOrder.h"

#include <gtest/gtest.h>

namespace {

TEST(EntryOrder, DateTextsReadMonthFirstWhateverTheSeparator)
{
    struct Case {
        const char* text;
        QDate date;
    };
    const Case cases[] = {
        {"6/10/2004", QDate(2004, 6, 10)},
        {"6.10.2004", QDate(2004, 6, 10)},
        {"6-10-2004", QDate(2004, 6, 10)},
        {"6. 10. 2004", QDate(2004, 6, 10)},
        {"  06/01/2004  ", QDate(2004, 6, 1)},
        {"12/31/9999", QDate(9999, 12, 31)},
        {"1/1/1900", QDate(1900, 1, 1)},
        {"2/29/2004", QDate(2004, 2, 29)},
        // Two-digit years as the spreadsheet reads them.
        {"6/10/04", QDate(2004, 6, 10)},
        {"6/10/29", QDate(2029, 6, 10)},
        {"6/10/30", QDate(1930, 6, 10)},
        // Year first, and a time of day that is not part of the date.
        {"2004-06-10", QDate(2004, 6, 10)},
        {"2004/6/9", QDate(2004, 6, 9)},
        {"6/10/2004 8:30", QDate(2004, 6, 10)},
        {"6/10/2004 08:30:00 PM", QDate(2004, 6, 10)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ReadEntryDate(QString::fromUtf8(c.text)), c.date) << c.text;
}

TEST(EntryOrder, TextsThatNameNoWorkbookDateAreUnreadable)
{
    for (const char* text :
         {"", "   ", "abc", "6/10", "6/10/", "13/1/2004", "2/30/2004", "2/29/2001", "0/1/2004", "6/10/1899", "6/10/204",
          "6/10/20045", "6/10/2004x", "6/10/2004 noon", "6 of 10 of 2004", "2004-13-01", "123/1/2004", "6/10/2004/7"}) {
        EXPECT_FALSE(ReadEntryDate(QString::fromUtf8(text)).isValid()) << text;
    }
}

TEST(EntryOrder, EarlierDatesFirstAndEqualDatesKeepTheirOrder)
{
    const QList<LogEntry> entries = {
        {"6/24/2004", "a"}, {"6/10/2004", "b"}, {"6/17/2004", "c"},  {"6/10/2004", "d"},
        {"1/5/2005", "e"},  {"6/10/2004", "f"}, {"12/31/2003", "g"},
    };
    EXPECT_EQ(DateOrder(entries), (QList<int>{6, 1, 3, 5, 2, 0, 4}));
    // Months and days compare as dates, not as texts.
    EXPECT_EQ(DateOrder({{"10/1/2004"}, {"9/30/2004"}, {"2/1/2004"}, {"11/2/2003"}}), (QList<int>{3, 2, 1, 0}));
}

TEST(EntryOrder, EntriesWithoutADateComeLastInTheirStoredOrder)
{
    const QList<LogEntry> entries = {{"soon", "1"}, {"6/17/2004", "2"}, {}, {"2/30/2004", "4"}, {"6/10/2004", "5"}};
    EXPECT_EQ(DateOrder(entries), (QList<int>{4, 1, 0, 2, 3}));
    EXPECT_TRUE(DateOrder({}).isEmpty());
}

TEST(EntryOrder, SortingMovesWholeEntries)
{
    QList<LogEntry> entries = {{"7/1/2004", "190", "", "35"}, {"6/1/2004", "200", "42", "36", "34"}, {"x", "1"}};
    EXPECT_FALSE(IsInDateOrder(entries));
    SortByDate(entries);
    EXPECT_EQ(entries,
              (QList<LogEntry>{{"6/1/2004", "200", "42", "36", "34"}, {"7/1/2004", "190", "", "35"}, {"x", "1"}}));
    EXPECT_TRUE(IsInDateOrder(entries));
    // Sorting a sorted log changes nothing.
    const QList<LogEntry> again = entries;
    SortByDate(entries);
    EXPECT_EQ(entries, again);
}

TEST(EntryOrder, ALongLogSortsStably)
{
    QList<LogEntry> entries;
    for (int i = 0; i < 10000; ++i)
        entries.append({QStringLiteral("1/%1/2005").arg(31 - i % 31), QString::number(i)});
    SortByDate(entries);
    ASSERT_EQ(entries.size(), 10000);
    EXPECT_EQ(entries.first(), (LogEntry{"1/1/2005", "30"}));
    EXPECT_EQ(entries.last(), (LogEntry{"1/31/2005", "9982"}));
    for (int i = 1; i < entries.size(); ++i) {
        const QDate a = ReadEntryDate(entries.at(i - 1).first());
        const QDate b = ReadEntryDate(entries.at(i).first());
        ASSERT_TRUE(a < b || (a == b && entries.at(i - 1).at(1).toInt() < entries.at(i).at(1).toInt())) << i;
    }
}

} // namespace
