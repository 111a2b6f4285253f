#include "formula/tests/TestSheet.h"

#include "format/DateSerial.h"
#include "format/NumberFormat.h"
#include "format/TypedInput.h"

#include <gtest/gtest.h>

using namespace sheet;
using Kind = TypedInput::Kind;

namespace {

const QLocale kUs(QLocale::English, QLocale::UnitedStates);
const QLocale kDe(QLocale::German, QLocale::Germany);
const QString kGeneral = QStringLiteral("General");
const QString kFraction = QStringLiteral("# ?/?");

struct NumberCase {
    const char* typed;
    double value;
    int format;
};

void expectNumbers(const QLocale& locale, std::initializer_list<NumberCase> cases, const QString& cellFormat = kGeneral)
{
    for (const NumberCase& c : cases) {
        SCOPED_TRACE(c.typed);
        const TypedInput in = interpretTypedInput(QString::fromUtf8(c.typed), locale, cellFormat);
        ASSERT_EQ(in.kind, Kind::Number);
        EXPECT_DOUBLE_EQ(in.number, c.value);
        EXPECT_EQ(in.suggestedFormat, c.format);
    }
}

void expectText(const QLocale& locale, std::initializer_list<const char*> typed, const QString& cellFormat = kGeneral)
{
    for (const char* t : typed) {
        SCOPED_TRACE(t);
        const TypedInput in = interpretTypedInput(QString::fromUtf8(t), locale, cellFormat);
        EXPECT_EQ(in.kind, Kind::Text);
        EXPECT_EQ(in.text, QString::fromUtf8(t)); // kept exactly as typed
    }
}

double thisYear(int month, int day) { return dateToSerial(QDate(QDate::currentDate().year(), month, day)); }

TEST(TypedInput, NumbersInAPointLocale)
{
    expectNumbers(kUs,
                  {
                      {"200", 200, -1},
                      {"161.42", 161.42, -1},
                      {"  36 ", 36, -1},
                      {"+5", 5, -1},
                      {"-5.5", -5.5, -1},
                      {".5", 0.5, -1},
                      {"5.", 5, -1},
                      {"1,234", 1234, 3},
                      {"1,234,567.5", 1234567.5, 4},
                      {"1.5e3", 1500, 11},
                      {"2E-2", 0.02, 11},
                      {"50%", 0.5, 9},
                      {"12.5 %", 0.125, 10},
                      {"(12)", -12, -1},
                      {"$5", 5, 5},
                      {"$1,234.50", 1234.5, 7},
                      {"-$5.5", -5.5, 7},
                      {"($5)", -5, 5},
                      {"0", 0, -1},
                      // Digits beyond the fifteenth significant one become zeros.
                      {"12345678901234567", 12345678901234500, -1},
                      {"0.1234567890123456789", 0.123456789012345, -1},
                  });
}

TEST(TypedInput, NumbersInACommaLocale)
{
    expectNumbers(kDe,
                  {
                      {"161,42", 161.42, -1},
                      {"63,5", 63.5, -1},
                      {"-0,5", -0.5, -1},
                      {"1.234", 1234, 3},
                      {"1.234,5", 1234.5, 4},
                      {"5%", 0.05, 9},
                      {"2,5e2", 250, 11},
                      {"5,50 €", 5.5, 7},
                  });
    // Locales that group with a no-break space accept a typed space.
    expectNumbers(QLocale(QLocale::French, QLocale::France), {{"1 234,5", 1234.5, 4}, {"1234,5", 1234.5, -1}});
}

TEST(TypedInput, MisplacedSeparatorsAreNotNumbers)
{
    expectText(kUs,
               {"$",
                "$$5",
                "5$5",
                "$5%",
                "€5",
                "1,23",
                "12,34.5",
                "1.2.3",
                "--5",
                "5-",
                "e5",
                "1e",
                ".",
                "-",
                "%",
                "5%%",
                "(5",
                "1 000",
                "abc",
                "12abc",
                "Height (feet)",
                "Fitness Progress Chart for Men",
                "0x10",
                "inf",
                "nan"});
    // In the comma locale "161.42" is no number (and no date: no month 42).
    expectText(kDe, {"161.42", "1,2,3"});
}

TEST(TypedInput, DatesInTheLocaleOrder)
{
    expectNumbers(kUs,
                  {
                      {"6/10/2004", 38148, 14},
                      {"12/2/2004", 38323, 14},
                      {"6-10-2004", 38148, 14},
                      {"6/10/04", 38148, 14},
                      {"1/1/30", dateToSerial(QDate(1930, 1, 1)), 14},
                      {"1/1/29", dateToSerial(QDate(2029, 1, 1)), 14},
                      {"2004-06-10", 38148, 14},
                      {"2/29/1900", 60, 14},
                      {"10-Jun-2004", 38148, 15},
                      {"10-jun-04", 38148, 15},
                      {"6/2004", 38139, 17}, // month and year: the first of the month
                      {"6/10/2004 18:00", 38148.75, 22},
                      {"6/10/2004 6:00 PM", 38148.75, 22},
                  });
    expectNumbers(kDe,
                  {
                      {"10.06.2004", 38148, 14},
                      {"10.6.04", 38148, 14},
                      {"10/6/2004", 38148, 14},
                      {"10-6-2004", 38148, 14},
                  });
    expectText(kUs, {"13/1/2004", "2/30/2004", "2/29/2005", "6/10/2004/1", "6//2004", "1/1/1899"});
    expectText(kDe, {"6/31/2004"});
}

TEST(TypedInput, ADateShownInTheLocaleReadsBackAsTheSameDate)
{
    const QLocale locales[] = {kUs,
                               kDe,
                               QLocale(QLocale::English, QLocale::UnitedKingdom),
                               QLocale(QLocale::French, QLocale::France),
                               QLocale(QLocale::Japanese, QLocale::Japan),
                               QLocale(QLocale::Dutch, QLocale::Netherlands)};
    for (const QLocale& locale : locales) {
        SCOPED_TRACE(locale.name().toStdString());
        for (double serial : {38148.0, 38323.0, 61.0, 2958465.0, 40000.0}) {
            const QString shown = formatValue(Value::number(serial), localeShortDateCode(locale), locale);
            const TypedInput in = interpretTypedInput(shown, locale, kGeneral);
            EXPECT_EQ(in.kind, Kind::Number) << shown.toStdString();
            EXPECT_EQ(in.number, serial) << shown.toStdString();
        }
    }
}

TEST(TypedInput, TwoPartDatesFallInTheCurrentYear)
{
    expectNumbers(kUs, {{"3/8", thisYear(3, 8), 16}, {"12-25", thisYear(12, 25), 16}, {"Jun-10", thisYear(6, 10), 16}});
    expectNumbers(kDe, {{"8.3", thisYear(3, 8), 16}, {"8.3.", thisYear(3, 8), 16}});
}

TEST(TypedInput, FractionsInAFractionCell)
{
    // The imperial template's inches cell is formatted # ?/?.
    expectNumbers(kUs,
                  {
                      {"3/8", 0.375, 12},
                      {"5 3/8", 5.375, 12},
                      {"-1/2", -0.5, 12},
                      {"10", 10, -1},
                      {"0.375", 0.375, -1},
                      {"11 15/16", 11.9375, 13},
                  },
                  kFraction);
    expectNumbers(kDe, {{"3/8", 0.375, 12}, {"0,375", 0.375, -1}}, QStringLiteral("# ?\?/?\?"));
    // A zero denominator is no number.
    expectText(kUs, {"3/0"}, kFraction);
}

TEST(TypedInput, MixedNumbersAreFractionsAnywhere)
{
    // "5 3/8" can only be five and three eighths; a plain "3/8" is a date outside fraction cells.
    expectNumbers(kUs, {{"5 3/8", 5.375, 12}});
    expectNumbers(kUs, {{"3/8", thisYear(3, 8), 16}}, QStringLiteral("0.00"));
}

TEST(TypedInput, Times)
{
    expectNumbers(kUs,
                  {
                      {"18:00", 0.75, 20},
                      {"6:30:15", (6 * 3600 + 30 * 60 + 15) / 86400.0, 21},
                      {"6:00 PM", 0.75, 18},
                      {"12:00 am", 0, 18},
                  });
    expectText(kUs, {"25:00", "10:60", "13:00 PM"});
}

TEST(TypedInput, TextCellsKeepNumbersAsText)
{
    expectText(kUs, {"123", "6/10/2004", "TRUE", "3/8"}, QStringLiteral("@"));
}

TEST(TypedInput, BooleansEmptyAndText)
{
    TypedInput in = interpretTypedInput(QStringLiteral("true"), kUs, kGeneral);
    EXPECT_EQ(in.kind, Kind::Bool);
    EXPECT_TRUE(in.boolean);
    in = interpretTypedInput(QStringLiteral(" FALSE "), kDe, kGeneral);
    EXPECT_EQ(in.kind, Kind::Bool);
    EXPECT_FALSE(in.boolean);

    EXPECT_EQ(interpretTypedInput(QString(), kUs, kGeneral).kind, Kind::Empty);
    EXPECT_EQ(interpretTypedInput(QStringLiteral(""), kUs, kFraction).kind, Kind::Empty);
    // Blanks only are text, kept as typed.
    expectText(kUs, {"   ", "TRUEISH", "=B6*2"});
    // A leading apostrophe forces text and is dropped.
    in = interpretTypedInput(QStringLiteral("'5"), kUs, kGeneral);
    EXPECT_EQ(in.kind, Kind::Text);
    EXPECT_EQ(in.text, "5");
}

} // namespace
