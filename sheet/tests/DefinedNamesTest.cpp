// Defined names and add-in functions in a workbook: typed, computed, saved and read back.
#include "TestUtil.h"

#include "biff/Compound.h"
#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "model/Workbook.h"
#include "DumpJson.h"
#include "io/WorkbookFile.h"

#include <QJsonArray>

namespace sheet::test {
namespace {

// The NAME records of a workbook stream, bodies with their CONTINUE records.
std::vector<Bytes> nameRecords(const Bytes& file)
{
    const CompoundFile c = CompoundFile::fromBytes(file);
    RecordList globals = readSubstream(c.workbook, 0);
    std::vector<Bytes> out;
    for (const Record& r : globals)
        if (r.id == rid::kName)
            out.push_back(r.data);
    return out;
}

class DefinedNames : public ::testing::Test {
protected:
    void SetUp() override
    {
        book.addWorksheet(QStringLiteral("Data"));
        book.addWorksheet(QStringLiteral("Totals"));
        data = book.worksheet(0);
        totals = book.worksheet(1);
        for (int r = 5; r < 8; ++r)
            data->setNumber(r, 1, (r - 4) * 10); // B6:B8 = 10, 20, 30
    }

    Workbook book;
    Worksheet* data = nullptr;
    Worksheet* totals = nullptr;
};

TEST_F(DefinedNames, TypedInFormulasAndComputed)
{
    book.defineName(QStringLiteral("Weights"), QStringLiteral("=Data!$B$6:$B$8"));
    book.defineName(QStringLiteral("Total"), QStringLiteral("=SUM(Weights)"));
    book.defineName(QStringLiteral("Factor"), QStringLiteral("=2"));
    totals->setFormula(0, 0, QStringLiteral("=Total*Factor"));
    EXPECT_EQ(totals->formulaText(0, 0), QStringLiteral("=Total*Factor"));
    EXPECT_EQ(totals->value(0, 0), Value::number(120));
    // the name's cells change: so does the result
    data->setNumber(5, 1, 40);
    EXPECT_EQ(totals->value(0, 0), Value::number(180));
    // a new formula gives the name a new meaning
    book.defineName(QStringLiteral("Factor"), QStringLiteral("=3"));
    EXPECT_EQ(totals->value(0, 0), Value::number(270));
    EXPECT_EQ(book.nameFormula(book.findName(QStringLiteral("Total"), -1)), QStringLiteral("=SUM(Weights)"));
    EXPECT_EQ(book.nameCount(), 3);
}

TEST_F(DefinedNames, ASheetsOwnNameComesBeforeTheWorkbooks)
{
    book.defineName(QStringLiteral("Rate"), QStringLiteral("=1"));
    book.defineName(QStringLiteral("Rate"), QStringLiteral("=5"), 1); // Totals' own
    totals->setFormula(0, 0, QStringLiteral("=Rate*10"));
    data->setFormula(0, 0, QStringLiteral("=Rate*10"));
    data->setFormula(1, 0, QStringLiteral("=Totals!Rate*10"));
    EXPECT_EQ(totals->value(0, 0), Value::number(50));
    EXPECT_EQ(data->value(0, 0), Value::number(10));
    EXPECT_EQ(data->value(1, 0), Value::number(50));
    EXPECT_EQ(data->formulaText(1, 0), QStringLiteral("=Totals!Rate*10"));
}

TEST_F(DefinedNames, BadNamesAndFormulasAreRefused)
{
    for (const char* bad : {"A1", "B$2", "TRUE", "1abc", "has space", "R1C1", "", "x-y"})
        EXPECT_THROW(book.defineName(QString::fromLatin1(bad), QStringLiteral("=1")), Error) << bad;
    // a name's cells must say which sheet they are on
    EXPECT_THROW(book.defineName(QStringLiteral("Cells"), QStringLiteral("=B6:B8")), Error);
    EXPECT_THROW(book.defineName(QStringLiteral("Broken"), QStringLiteral("=SUM(")), Error);
    EXPECT_THROW(book.defineName(QStringLiteral("Elsewhere"), QStringLiteral("=1"), 7), Error);
    EXPECT_EQ(book.nameCount(), 0);
    // a formula with a name the workbook does not have is refused with the name
    try {
        totals->setFormula(0, 0, QStringLiteral("=Totl*2"));
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("unknown name 'Totl'"))) << e.message().toStdString();
    }
}

TEST_F(DefinedNames, SurviveSavingAndReading)
{
    book.defineName(QStringLiteral("Weights"), QStringLiteral("=Data!$B$6:$B$8"));
    book.defineName(QStringLiteral("Items"), QStringLiteral("={\"a\",\"b\"}"));
    book.defineName(QStringLiteral("Local"), QStringLiteral("=Data!$B$7*2"), 1);
    totals->setFormula(0, 0, QStringLiteral("=SUM(Weights)+Local"));
    totals->setFormula(1, 0, QStringLiteral("=INDEX(Items,2)"));
    const Bytes saved = workbookToBytes(book);
    auto again = workbookFromBytes(saved);
    ASSERT_EQ(again->nameCount(), 3);
    EXPECT_EQ(again->definedName(2).sheet, 1);
    EXPECT_EQ(again->nameFormula(1), QStringLiteral("={\"a\",\"b\"}"));
    Worksheet* t = again->worksheet(1);
    EXPECT_EQ(t->formulaText(0, 0), QStringLiteral("=SUM(Weights)+Local"));
    again->recalculate();
    EXPECT_EQ(t->value(0, 0), Value::number(100));
    EXPECT_EQ(t->value(1, 0), Value::string(QStringLiteral("b")));
    // What was read goes back byte for byte.
    EXPECT_EQ(nameRecords(workbookToBytes(*again)), nameRecords(saved));
}

TEST_F(DefinedNames, ExcelsOwnNamesStayAsTheyAre)
{
    // Print_Area and Sheet_Title of each sheet, written by Excel
    const Bytes file = readFile(dataPath("excel/3dFormulas.xls"));
    auto book3d = workbookFromBytes(file);
    ASSERT_EQ(book3d->nameCount(), 6);
    EXPECT_TRUE(book3d->definedName(1).isBuiltIn());
    EXPECT_EQ(book3d->definedName(1).displayName(), QStringLiteral("Print_Area"));
    EXPECT_EQ(book3d->nameFormula(1), QStringLiteral("=Sheet1!$A:$IV"));
    EXPECT_EQ(book3d->findName(QStringLiteral("print_area"), 1), 3);
    EXPECT_EQ(nameRecords(workbookToBytes(*book3d)), nameRecords(file));
    // the same after a name is added: the others do not move
    book3d->defineName(QStringLiteral("Extra"), QStringLiteral("=Sheet1!$A$1"));
    const auto names = nameRecords(workbookToBytes(*book3d));
    ASSERT_EQ(names.size(), 7u);
    EXPECT_EQ(std::vector<Bytes>(names.begin(), names.begin() + 6), nameRecords(file));
}

TEST_F(DefinedNames, AddInAndLaterFunctionsAreCalledThroughNames)
{
    totals->setFormula(0, 0, QStringLiteral("=BIN2DEC(\"101\")+DEC2BIN(5)"));
    totals->setFormula(1, 0, QStringLiteral("=IFERROR(1/0,7)"));
    totals->setFormula(2, 0, QStringLiteral("=BIN2DEC(\"11\")"));
    EXPECT_EQ(totals->formulaText(0, 0), QStringLiteral("=BIN2DEC(\"101\")+DEC2BIN(5)"));
    EXPECT_EQ(totals->formulaText(1, 0), QStringLiteral("=IFERROR(1/0,7)"));
    EXPECT_EQ(totals->value(0, 0), Value::number(106));
    EXPECT_EQ(totals->value(1, 0), Value::number(7));
    EXPECT_EQ(totals->value(2, 0), Value::number(3));
    auto again = workbookFromBytes(workbookToBytes(book));
    Worksheet* t = again->worksheet(1);
    EXPECT_EQ(t->formulaText(0, 0), QStringLiteral("=BIN2DEC(\"101\")+DEC2BIN(5)"));
    EXPECT_EQ(t->formulaText(1, 0), QStringLiteral("=IFERROR(1/0,7)"));
    again->recalculate();
    EXPECT_EQ(t->value(0, 0), Value::number(106));
    EXPECT_EQ(t->value(1, 0), Value::number(7));
    // the same add-in name serves every call; the later function's name is hidden
    EXPECT_EQ(again->nameCount(), 1);
    EXPECT_TRUE(again->definedName(0).flags & DefinedName::Hidden);
}

TEST_F(DefinedNames, BuiltInFunctionsCalledThroughANameAreComputed)
{
    // LibreOffice writes ERROR.TYPE as a call of the name "_xlfn.ERROR.TYPE"
    int ixti = 0, index = 0;
    book.addInFunction(QStringLiteral("_xlfn.ERROR.TYPE"), &ixti, &index);
    ASSERT_EQ(ixti, -1);
    const Bytes tokens = {0x23, static_cast<std::uint8_t>(index),
                          0,    0,
                          0, // ptgName
                          0x1E, 1,
                          0,    0x1E,
                          0,    0,
                          0x06, // 1/0
                          0x42, 2,
                          0xFF, 0}; // ptgFuncVar 255, 2 arguments
    totals->setFormulaTokens(0, 0, tokens);
    EXPECT_EQ(totals->formulaText(0, 0), QStringLiteral("=ERROR.TYPE(1/0)"));
    book.recalculate();
    EXPECT_EQ(totals->value(0, 0), Value::number(2));
}

TEST_F(DefinedNames, FunctionsTheEngineDoesNotComputeKeepTheFilesResult)
{
    // testNames.xls calls Visual Basic functions; their results stay what Excel left.
    auto names = workbookFromBytes(readFile(dataPath("excel/testNames.xls")));
    const Worksheet* ws = names->worksheet(0);
    EXPECT_EQ(ws->formulaText(0, 1), QStringLiteral("=myFunc(\"_\")"));
    names->recalculate();
    EXPECT_EQ(ws->value(0, 1), Value::string(QStringLiteral("_abc")));
    EXPECT_EQ(ws->value(8, 0), Value::number(3.72));
    // and the dump lists the names with what they are
    const QJsonArray dumped = dumpWorkbook(*names, QLocale::c())[QStringLiteral("names")].toArray();
    ASSERT_EQ(dumped.size(), names->nameCount());
    EXPECT_EQ(dumped[1].toObject()[QStringLiteral("name")].toString(), QStringLiteral("myFunc"));
    EXPECT_TRUE(dumped[1].toObject()[QStringLiteral("function")].toBool());
    EXPECT_EQ(dumped[5].toObject()[QStringLiteral("formula")].toString(), QStringLiteral("=Sheet1!$A$1"));
}

} // namespace
} // namespace sheet::test
