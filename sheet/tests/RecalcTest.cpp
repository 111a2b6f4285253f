// Recalculation order, circular references, cross-sheet references and cached results.
#include "TestUtil.h"

#include "model/Workbook.h"
#include "io/WorkbookFile.h"

#include <utility>
#include <vector>

namespace sheet::test {
namespace {

class Recalculation : public ::testing::Test {
protected:
    void SetUp() override
    {
        book.addWorksheet(QStringLiteral("Data"));
        ws = book.worksheet(0);
    }
    Workbook book;
    Worksheet* ws = nullptr;
};

TEST_F(Recalculation, CellsAreComputedAfterTheCellsTheyRead)
{
    // Entered so that a single pass in cell order would read stale values.
    ws->setFormula(0, 0, QStringLiteral("=B1+1"));
    ws->setFormula(0, 1, QStringLiteral("=C1*2"));
    ws->setNumber(0, 2, 3);
    ws->setFormula(1, 0, QStringLiteral("=SUM(A1:C1)"));
    EXPECT_EQ(ws->value(0, 0), Value::number(7));
    EXPECT_EQ(ws->value(1, 0), Value::number(16));
    ws->setNumber(0, 2, 10);
    EXPECT_EQ(ws->value(0, 0), Value::number(21));
    EXPECT_EQ(ws->value(1, 0), Value::number(51));
}

TEST_F(Recalculation, CircularReferencesGiveAnErrorNotAHang)
{
    ws->setFormula(0, 0, QStringLiteral("=B1"));
    ws->setFormula(0, 1, QStringLiteral("=A1+1"));
    ws->setFormula(0, 2, QStringLiteral("=A1*2")); // reads the cycle
    ws->setFormula(0, 3, QStringLiteral("=D1"));   // reads itself
    ws->setFormula(0, 4, QStringLiteral("=1+1"));  // unrelated
    EXPECT_EQ(ws->value(0, 0), Value::error(ErrorCode::Ref));
    EXPECT_EQ(ws->value(0, 1), Value::error(ErrorCode::Ref));
    EXPECT_EQ(ws->value(0, 2), Value::error(ErrorCode::Ref));
    EXPECT_EQ(ws->value(0, 3), Value::error(ErrorCode::Ref));
    EXPECT_EQ(ws->value(0, 4), Value::number(2));
    // Breaking the cycle heals it.
    ws->setNumber(0, 1, 5);
    EXPECT_EQ(ws->value(0, 0), Value::number(5));
    EXPECT_EQ(ws->value(0, 2), Value::number(10));
}

TEST_F(Recalculation, ACellNamedOnlyForItsPositionIsNoCircle)
{
    ws->setNumber(3, 1, 7); // B4
    ws->setFormula(4, 1, QStringLiteral("=OFFSET(B5,-1,0,1)"));
    ws->setFormula(4, 4, QStringLiteral("=ROW(E5)+COLUMN(E5)+ROWS(E5:E9)"));
    ws->setFormula(4, 5, QStringLiteral("=CELL(\"address\",F5)"));
    ws->setFormula(4, 6, QStringLiteral("=IF(ISREF(G5),AREAS(G5),0)"));
    book.defineName(QStringLiteral("Here"), QStringLiteral("=Data!$H$5"));
    ws->setFormula(4, 7, QStringLiteral("=ROW(Here)"));
    EXPECT_EQ(ws->value(4, 1), Value::number(7));
    EXPECT_EQ(ws->value(4, 4), Value::number(15));
    EXPECT_EQ(ws->value(4, 5), Value::string(QStringLiteral("$F$5")));
    EXPECT_EQ(ws->value(4, 6), Value::number(1));
    EXPECT_EQ(ws->value(4, 7), Value::number(5));
    // The offset's cell is computed first, though nothing in the formula names it.
    ws->setFormula(3, 1, QStringLiteral("=B3*3"));
    ws->setNumber(2, 1, 5);
    EXPECT_EQ(ws->value(4, 1), Value::number(15));

    // What reads the cell's value is still a circle: the contents, through OFFSET too, and a
    // position computed from the cell's own value.
    ws->setFormula(6, 0, QStringLiteral("=CELL(\"contents\",A7)"));
    ws->setFormula(6, 1, QStringLiteral("=OFFSET(B7,0,0)+1"));
    ws->setFormula(6, 2, QStringLiteral("=ROW(OFFSET(A1,C7,0))"));
    ws->setFormula(6, 3, QStringLiteral("=ROW(INDEX(D1:D9,D7))"));
    for (int col = 0; col < 4; ++col)
        EXPECT_EQ(ws->value(6, col), Value::error(ErrorCode::Ref)) << col;
}

TEST_F(Recalculation, ALookupInATableHoldingItsReadersIsNoCircle)
{
    // D1 looks up C5 in A1:C1000, whose column B counts down from D1: the cells read one
    // another's ranges, but no value depends on itself.
    for (int r = 0; r < 1000; ++r) {
        ws->setNumber(r, 0, r + 1);
        ws->setNumber(r, 2, r == 4 ? 7 : 0);
        ws->setFormula(r, 1, r < 999 ? QStringLiteral("=B%1+1").arg(r + 2) : QStringLiteral("=D1"));
    }
    ws->setFormula(0, 3, QStringLiteral("=VLOOKUP(5,A1:C1000,3,FALSE)"));
    EXPECT_EQ(ws->value(0, 3), Value::number(7));
    EXPECT_EQ(ws->value(999, 1), Value::number(7));
    EXPECT_EQ(ws->value(0, 1), Value::number(1006)); // a chain longer than one pass follows
    // Looking up the cell's own row is a circle.
    ws->setFormula(0, 4, QStringLiteral("=VLOOKUP(1,A1:E9,5,FALSE)"));
    EXPECT_EQ(ws->value(0, 4), Value::error(ErrorCode::Ref));
    EXPECT_EQ(ws->value(0, 3), Value::number(7));
    // A circle too long to follow is one still.
    for (int r = 0; r < 5000; ++r)
        ws->setFormula(r, 6, QStringLiteral("=G%1+1").arg(r == 4999 ? 1 : r + 2));
    EXPECT_EQ(ws->value(0, 6), Value::error(ErrorCode::Ref));
    EXPECT_EQ(ws->value(2500, 6), Value::error(ErrorCode::Ref));
}

// Complex numbers as text (Analysis ToolPak functions, called through the add-in entry),
// against the results Excel's help gives; a result keeps the argument's "i" or "j".
TEST_F(Recalculation, ComplexNumbers)
{
    const std::vector<std::pair<const char*, Value>> cases = {
        {"=IMABS(\"5+12i\")", Value::number(13)},
        {"=ROUND(IMARGUMENT(\"3+4i\"),8)", Value::number(0.92729522)},
        {"=IMARGUMENT(\"0\")", Value::error(ErrorCode::Div0)},
        {"=IMCONJUGATE(\"3+4i\")", Value::string(QStringLiteral("3-4i"))},
        {"=IMCONJUGATE(\"-2j\")", Value::string(QStringLiteral("2j"))},
        {"=IMEXP(\"1+i\")", Value::string(QStringLiteral("1.46869393991589+2.28735528717884i"))},
        {"=IMLN(\"3+4i\")", Value::string(QStringLiteral("1.6094379124341+0.927295218001612i"))},
        {"=IMLN(0)", Value::error(ErrorCode::Num)},
        {"=IMLN(\"3+4k\")", Value::error(ErrorCode::Num)},
        {"=IMEXP(TRUE)", Value::error(ErrorCode::Value)},
    };
    for (std::size_t k = 0; k < cases.size(); ++k)
        ws->setFormula(static_cast<int>(k), 0, QString::fromUtf8(cases[k].first));
    for (std::size_t k = 0; k < cases.size(); ++k)
        EXPECT_EQ(ws->value(static_cast<int>(k), 0), cases[k].second) << cases[k].first;
}

TEST_F(Recalculation, LongChainsNeedNoDeepRecursion)
{
    const int n = 30000;
    ws->setNumber(0, 0, 1);
    const Bytes plusOne = {0x44, 0x00, 0x00, 0x00, 0xC0, 0x1E, 0x01, 0x00, 0x03}; // =A(row-1)+1 pattern
    for (int r = n - 1; r >= 1; --r) {
        Bytes t = plusOne;
        t[1] = static_cast<std::uint8_t>((r - 1) & 0xFF);
        t[2] = static_cast<std::uint8_t>((r - 1) >> 8);
        ws->setFormulaTokens(r, 0, t);
    }
    EXPECT_EQ(ws->value(n - 1, 0), Value::number(n));
}

TEST_F(Recalculation, OtherSheetsThroughExternSheetEntries)
{
    book.addWorksheet(QStringLiteral("Totals"));
    book.addChartSheet(QStringLiteral("Chart"), {});
    Worksheet* totals = book.worksheet(1);
    ws->setNumber(5, 1, 70);
    totals->setFormula(0, 0, QStringLiteral("=Data!B6*2"));
    EXPECT_EQ(totals->formulaText(0, 0), QStringLiteral("=Data!B6*2"));
    EXPECT_EQ(totals->value(0, 0), Value::number(140));
    ws->setNumber(5, 1, 80);
    EXPECT_EQ(totals->value(0, 0), Value::number(160));
    // A reference to a chart sheet reads as #REF!
    totals->setFormulaTokens(1, 0, {0x5A, static_cast<std::uint8_t>(book.externSheetIndex(2)), 0, 0, 0, 0, 0});
    EXPECT_EQ(totals->value(1, 0), Value::error(ErrorCode::Ref));
}

TEST_F(Recalculation, RangesOnSparseAndDenseSheetsAlike)
{
    // A far corner cell makes the sheet too large for a dense grid: reads go through the map.
    book.addWorksheet(QStringLiteral("Sparse"));
    Worksheet* sparse = book.worksheet(1);
    sparse->setNumber(65535, 255, 1000);
    sparse->setNumber(0, 0, 1);
    sparse->setFormula(1, 0, QStringLiteral("=A1*2"));
    sparse->setFormula(2, 0, QStringLiteral("=SUM(A1:A2)"));
    ws->setFormula(0, 0, QStringLiteral("=SUM(Sparse!A1:A3)+Sparse!IV65536"));
    EXPECT_EQ(sparse->value(2, 0), Value::number(3));
    EXPECT_EQ(ws->value(0, 0), Value::number(1006));
}

TEST_F(Recalculation, SavedFormulasCarryTheirResults)
{
    ws->setNumber(0, 0, 4);
    ws->setFormula(0, 1, QStringLiteral("=A1/0"));
    ws->setFormula(0, 2, QStringLiteral("=A1*2.5"));
    ws->setFormula(0, 3, QStringLiteral("=\"x\"&A1"));
    ws->setFormula(0, 4, QStringLiteral("=A1>3"));
    auto again = workbookFromStream(workbookToStream(book));
    // Read straight from the cells: the cached results, not a new computation.
    const Worksheet* d = again->worksheet(0);
    EXPECT_EQ(d->cell(0, 1)->value, Value::error(ErrorCode::Div0));
    EXPECT_EQ(d->cell(0, 2)->value, Value::number(10));
    EXPECT_EQ(d->cell(0, 3)->value, Value::string(QStringLiteral("x4")));
    EXPECT_EQ(d->cell(0, 4)->value, Value::boolean(true));
    EXPECT_FALSE(again->isDirty());
}

TEST_F(Recalculation, TypedInputAndFormats)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de(QLocale::German, QLocale::Germany);
    ws->setInput(0, 0, QStringLiteral("6/10/2004"), us);
    EXPECT_EQ(ws->value(0, 0), Value::number(38148));
    EXPECT_EQ(book.xf(ws->cellXf(0, 0)).format, 14); // General cell takes the short date
    ws->setInput(1, 0, QStringLiteral("1.234,5"), de);
    EXPECT_EQ(ws->value(1, 0), Value::number(1234.5));
    ws->setInput(2, 0, QStringLiteral("hello"), us);
    EXPECT_EQ(ws->value(2, 0), Value::string(QStringLiteral("hello")));
    ws->setInput(3, 0, QStringLiteral("=A2*2"), us);
    EXPECT_EQ(ws->value(3, 0), Value::number(2469));

    // A fraction cell keeps its format and reads "3/8" as 0.375.
    const int fraction = book.addXf(cellXf(0, 12));
    ws->setCellXf(4, 0, static_cast<std::uint16_t>(fraction));
    ws->setInput(4, 0, QStringLiteral("3/8"), us);
    EXPECT_EQ(ws->value(4, 0), Value::number(0.375));
    EXPECT_EQ(ws->cellXf(4, 0), fraction);

    // "" empties the cell, formula included; a formatted cell stays as a blank with its format.
    ws->setInput(3, 0, QString(), us);
    EXPECT_EQ(ws->cell(3, 0), nullptr);
    ws->setInput(4, 0, QString(), us);
    ASSERT_NE(ws->cell(4, 0), nullptr);
    EXPECT_TRUE(ws->cell(4, 0)->isBlank());
    EXPECT_EQ(ws->cellXf(4, 0), fraction);
    EXPECT_THROW(ws->setInput(5, 0, QStringLiteral("=1+"), us), Error);
}

TEST_F(Recalculation, UsedRangeCoversValuesFormulasAndFormattedBlanks)
{
    EXPECT_FALSE(ws->usedRange().has_value());
    ws->setNumber(3, 2, 1);
    ws->setFormula(7, 1, QStringLiteral("=C4"));
    ws->setCellXf(1, 5, static_cast<std::uint16_t>(book.addXf(cellXf(0, 2))));
    EXPECT_EQ(*ws->usedRange(), (CellRange{1, 1, 7, 5}));
    ws->removeCell(1, 5);
    ws->clearContents(7, 1);
    EXPECT_EQ(*ws->usedRange(), (CellRange{3, 2, 3, 2}));
}

} // namespace
} // namespace sheet::test
