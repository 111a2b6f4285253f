#include "ActiveLog.h"
#include "EntryDateEdit.h"
#include "NumberText.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

TEST(NumberText, PointLocaleStoresWhatIsShown)
{
    ScopedLocale us("en_US");
    for (const char* text : {"35.5", "200", "5.", ".5", "0.375", " 72.50 ", "3/8", "abc", "1,234", "35,5", ""})
        EXPECT_EQ(StoredNumberText(text), text) << text;
    EXPECT_EQ(ShownNumberText("35.5"), "35.5");
    EXPECT_EQ(ShownNumberText("3/8"), "3/8");
}

TEST(NumberText, CommaLocaleShowsCommasAndStoresPointsKeepingTheDigits)
{
    ScopedLocale german("de_DE");
    EXPECT_EQ(StoredNumberText("35,5"), "35.5");
    EXPECT_EQ(StoredNumberText("35,50"), "35.50");
    EXPECT_EQ(StoredNumberText("5,"), "5.");
    EXPECT_EQ(StoredNumberText(",5"), ".5");
    EXPECT_EQ(StoredNumberText("200"), "200");
    // Not a number of this locale: kept as it is.
    for (const char* text : {"1.234,5", "35.5", "3/8", "zehn", "1,2,3"})
        EXPECT_EQ(StoredNumberText(text), text) << text;
    EXPECT_EQ(ShownNumberText("35.5"), "35,5");
    EXPECT_EQ(ShownNumberText("35.50"), "35,50");
    EXPECT_EQ(ShownNumberText("-2.25"), "-2,25");
    EXPECT_EQ(ShownNumberText("3/8"), "3/8");
    EXPECT_EQ(ShownNumberText("6/10/2004"), "6/10/2004");
    for (const char* stored : {"35.5", "0.375", "5.", "12", "35.50"})
        EXPECT_EQ(StoredNumberText(ShownNumberText(stored)), stored) << stored;
}

TEST(NumberText, OlderDecimalCommasAreReadOnlyWhereUnambiguous)
{
    for (const char* name : {"en_US", "de_DE"}) {
        ScopedLocale locale(QString::fromLatin1(name));
        EXPECT_EQ(CanonicalStoredNumber("35,5"), "35.5");
        EXPECT_EQ(CanonicalStoredNumber("78,74"), "78.74");
        EXPECT_EQ(CanonicalStoredNumber(",5"), ".5");
        // Three digits after the comma may be thousands; a second comma, a point or a word
        // make it something else.
        for (const char* text : {"1,234", "0,375", "1,2,3", "1.234,5", "a,5", "35.5", "3/8"})
            EXPECT_EQ(CanonicalStoredNumber(text), text) << text;
    }
    {
        ScopedLocale us("en_US");
        EXPECT_EQ(ShownNumberText("35,5"), "35.5");
        EXPECT_EQ(ShownNumberText("1,234"), "1,234");
    }
    ScopedLocale german("de_DE");
    EXPECT_EQ(ShownNumberText("35,5"), "35,5");
}

TEST(NumberText, TypedNumbersFollowTheLocaleWithoutThousands)
{
    {
        ScopedLocale us("en_US");
        EXPECT_EQ(ReadTypedNumber("72.5"), 72.5);
        EXPECT_EQ(ReadTypedNumber(" 200 "), 200);
        EXPECT_EQ(ReadTypedNumber(".5"), 0.5);
        EXPECT_EQ(ReadTypedNumber("-3"), -3);
        for (const char* text :
             {"abc", "ten", "1.234,5", "1,234", "35,5", "", " ", ".", "-", "1e3", "5 kg", "3/8", "+-1"})
            EXPECT_FALSE(ReadTypedNumber(text).has_value()) << text;
        EXPECT_EQ(ExampleNumber(72.5), "72.5");
    }
    ScopedLocale german("de_DE");
    EXPECT_EQ(ReadTypedNumber("35,5"), 35.5);
    EXPECT_FALSE(ReadTypedNumber("35.5").has_value());
    EXPECT_FALSE(ReadTypedNumber("1.234,5").has_value());
    EXPECT_EQ(ExampleNumber(72.5), "72,5");
}

TEST(HeightCheck, WholeFirstFieldAndANumberOrFractionAfterIt)
{
    ScopedLocale us("en_US");
    EXPECT_FALSE(CheckHeightForChart(true, "5", "10"));
    EXPECT_FALSE(CheckHeightForChart(true, "6", "3/8"));
    EXPECT_FALSE(CheckHeightForChart(true, "5", "9 1/2"));
    EXPECT_FALSE(CheckHeightForChart(true, "5", "7.5"));
    EXPECT_FALSE(CheckHeightForChart(true, "0", "70"));
    EXPECT_FALSE(CheckHeightForChart(false, "1", "68"));
    EXPECT_FALSE(CheckHeightForChart(false, "1", "67.5"));

    struct Case {
        bool imperial;
        const char* first;
        const char* second;
        int field;
        const char* named;
    };
    const Case cases[] = {
        {true, "5.9", "0", 1, "\"5.9\" under \"Feet\""},
        {true, "five", "9", 1, "\"five\" under \"Feet\""},
        {true, "", "9", 1, "\"Feet\""},
        {true, "-5", "9", 1, "\"-5\" under \"Feet\""},
        {true, "5", "ten", 2, "\"ten\" under \"Inches\""},
        {true, "5", "-1", 2, "\"-1\" under \"Inches\""},
        {true, "5", "3/0", 2, "\"3/0\" under \"Inches\""},
        {true, "5", "", 2, "\"Inches\""},
        {true, "0", "0", 1, "is 0"},
        {false, "1.68", "0", 1, "\"1.68\" under \"Meter\""},
        // The metric template shows no fractions: "3/8" would be read as a date there.
        {false, "1", "3/8", 2, "\"3/8\" under \"CM\""},
        {false, "1", "68,5", 2, "\"68,5\" under \"CM\""},
    };
    for (const Case& c : cases) {
        const std::optional<HeightProblem> problem = CheckHeightForChart(c.imperial, c.first, c.second);
        ASSERT_TRUE(problem.has_value()) << c.first << " " << c.second;
        EXPECT_EQ(problem->field, c.field) << c.first << " " << c.second;
        EXPECT_TRUE(problem->message.contains(c.named)) << problem->message.toStdString();
    }
    ScopedLocale german("de_DE");
    EXPECT_FALSE(CheckHeightForChart(false, "1", "68,5"));
    EXPECT_TRUE(CheckHeightForChart(false, "1", "68.5"));
}

TEST(TypedDate, MonthDayYearInTheFieldsOrder)
{
    const QDate current(2025, 12, 7);
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("6/3/2004", current), QDate(2004, 6, 3));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("06/03/2004", current), QDate(2004, 6, 3));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("6.3.2004", current), QDate(2004, 6, 3));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("6-3-04", current), QDate(2004, 6, 3));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("6/3/99", current), QDate(1999, 6, 3));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("6/3/29", current), QDate(2029, 6, 3));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("6/3/30", current), QDate(1930, 6, 3));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("2/29/2024", current), QDate(2024, 2, 29));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("6/3", current), QDate(2025, 6, 3));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("6/", current), QDate(2025, 6, 7));
    for (const char* text : {"2/30/2024", "13/1/2004", "0/1/2004", "6/3/200", "6/3/20045", "june 3", "", "6//3/2004"})
        EXPECT_FALSE(EntryDateEdit::ReadTypedDate(text, current).isValid()) << text;
    // In the order of the user's locale.
    DateParts dayFirst;
    dayFirst.parts[0] = 'd';
    dayFirst.parts[1] = 'M';
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("15/7/2004", current, dayFirst), QDate(2004, 7, 15));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("15.07.04", current, dayFirst), QDate(2004, 7, 15));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("15", current, dayFirst), QDate(2025, 12, 15));
    EXPECT_FALSE(EntryDateEdit::ReadTypedDate("7/15/2004", current, dayFirst).isValid());
    DateParts yearFirst;
    yearFirst.parts[0] = 'y';
    yearFirst.parts[1] = 'M';
    yearFirst.parts[2] = 'd';
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("2004-07-15", current, yearFirst), QDate(2004, 7, 15));
    EXPECT_EQ(EntryDateEdit::ReadTypedDate("04-7", current, yearFirst), QDate(2004, 7, 7));
    EXPECT_FALSE(EntryDateEdit::ReadTypedDate("15-07-2004", current, yearFirst).isValid());
}

} // namespace
