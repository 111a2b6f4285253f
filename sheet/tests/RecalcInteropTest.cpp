// Formulas of every function family, computed by LibreOffice and by Gnumeric: each program
// recalculates a workbook and saves it as its own .xls; the engine then recalculates that
// file and must agree with the program's cached values (CTest label "interop").
#include "RecalcCheck.h"
#include "ToolRun.h"

#include <QDir>
#include <QLocale>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace sheet::test {
namespace {

struct Sample {
    const char* cell; // on the sheet "Calc"
    const char* formula;
};

// One formula or more for each function, with arguments every program reads alike.
const Sample kSamples[] = {
    // references built from values
    {"A1", "=SUM(OFFSET(Data!A1,1,0,3,1))"},
    {"A2", "=OFFSET(Data!B1,2,0)"},
    {"A3", "=INDIRECT(\"A15\")"},
    {"A4", "=SUM(INDIRECT(\"B9:B10\"))+INDIRECT(\"R15C1\",FALSE)"},
    {"A5", "=ADDRESS(2,3)"},
    {"A6", "=ADDRESS(2,3,4)"},
    {"A7", "=ADDRESS(5,27,2)"},
    {"A8", "=CELL(\"row\",Data!B5)+CELL(\"col\",Data!C5)"},
    {"A9", "=LOOKUP(4.5,Data!F1:F10,Data!G1:G10)"},
    {"A10", "=LOOKUP(7,Data!F1:F10)"},
    {"A11", "=INDEX(Data!A1:B10,3,2)"},
    {"A12", "=MATCH(6,Data!F1:F10,0)"},
    {"A13", "=VLOOKUP(5,Data!F1:G10,2,FALSE)"},
    {"A14", "=HLOOKUP(\"Score\",Data!H1:J5,3,FALSE)"},
    {"A15", "=ROWS(Data!A1:B10)*COLUMNS(Data!A1:B10)"},
    // dates
    {"B1", "=DAYS360(DATE(2020,1,31),DATE(2020,3,31))"},
    {"B2", "=DAYS360(DATE(2020,1,15),DATE(2021,3,1))"},
    {"B3", "=DAYS360(DATE(2020,1,31),DATE(2020,3,31),TRUE)"},
    {"B4", "=DATEDIF(DATE(2019,1,31),DATE(2020,3,1),\"M\")"},
    {"B5", "=DATEDIF(DATE(2019,1,31),DATE(2020,3,1),\"D\")"},
    {"B6", "=DATEDIF(DATE(2019,1,31),DATE(2020,3,1),\"Y\")"},
    {"B7", "=DATE(2020,14,35)"},
    {"B8", "=WEEKDAY(DATE(2020,3,15),2)"},
    {"B9", "=YEAR(43900)*10000+MONTH(43900)*100+DAY(43900)"},
    {"B10", "=EDATE(DATE(2020,1,31),1)"},
    {"B11", "=EOMONTH(DATE(2020,1,15),2)"},
    {"B12", "=NETWORKDAYS(DATE(2020,1,1),DATE(2020,1,31))"},
    {"B13", "=TIME(13,30,15)"},
    // text
    {"C1", "=FIXED(1234.567,1)"},
    {"C2", "=FIXED(-1234.567,-1,TRUE)"},
    {"C3", "=ROMAN(1999)"},
    {"C4", "=ROMAN(2024)"},
    {"C5", "=SUBSTITUTE(\"a-b-c\",\"-\",\"+\",2)"},
    {"C6", "=TEXT(0.75,\"hh:mm\")"},
    {"C7", "=TRIM(\"  a   b  \")&\"|\""},
    {"C8", "=REPT(\"ab\",3)&LEN(\"hello\")"},
    {"C9", "=PROPER(\"hello wORLD\")"},
    {"C10", "=MID(\"spreadsheet\",3,4)&LEFT(\"abc\",2)&RIGHT(\"abc\")"},
    {"C11", "=FIND(\"s\",\"mississippi\",4)+SEARCH(\"S?P\",\"mississippi\")"},
    {"C12", "=VALUE(\"12.5\")*2"},
    {"C13", "=CONCATENATE(\"x\",1,TRUE)"},
    {"C14", "=DOLLAR(1234.567)"},
    {"C15", "=DOLLAR(-0.5,1)"},
    {"C16", "=SUBSTITUTE(\"aaa\",\"a\",\"b\",5)"},
    {"C17", "=TEXT(1.25,\"0.0\")&\"|\"&TEXT(-3,\"0;(0)\")"},
    {"C18", "=MATCH(\"C*\",Data!H1:H5,0)+COUNTIF(Data!H1:H5,\"?e*\")"},
    {"C19", "=COUNTIF(Data!I1:I5,\">=35\")+COUNTIF(Data!A1:A10,3)+COUNTIF(Data!H1:H5,\"<>Bob\")"},
    // statistics
    {"D1", "=SUBTOTAL(9,Data!A1:A10)"},
    {"D2", "=SUBTOTAL(1,Data!A1:A10)"},
    {"D3", "=SUBTOTAL(4,Data!B1:B10)"},
    {"D4", "=MODE(Data!B1:B10)"},
    {"D5", "=AVEDEV(Data!A1:A10)"},
    {"D6", "=DEVSQ(Data!A1:A10)"},
    {"D7", "=SUMSQ(Data!A1:A10)"},
    {"D8", "=MAXA(Data!D1:D3)"},
    {"D9", "=MINA(Data!D1:D3)"},
    {"D10", "=AVERAGEA(Data!D1:D3)"},
    {"D11", "=INTERCEPT(Data!B1:B10,Data!A1:A10)"},
    {"D12", "=SLOPE(Data!B1:B10,Data!A1:A10)"},
    {"D13", "=CORREL(Data!A1:A10,Data!B1:B10)"},
    {"D14", "=FORECAST(7,Data!B1:B10,Data!A1:A10)"},
    {"D15", "=STDEV(Data!A1:A10)+VAR(Data!A1:A10)+STDEVP(Data!A1:A10)"},
    {"D16", "=MEDIAN(Data!A1:A10)+LARGE(Data!A1:A10,2)+SMALL(Data!A1:A10,3)"},
    {"D17", "=PERCENTILE(Data!A1:A10,0.3)+QUARTILE(Data!A1:A10,1)"},
    {"D18", "=RANK(5,Data!A1:A10)"},
    {"D19", "=TREND(Data!B1:B10,Data!A1:A10,6)"},
    {"D20", "=COUNTIF(Data!A1:A10,\">3\")+SUMIF(Data!A1:A10,\"<3\",Data!B1:B10)"},
    {"D21", "=SUMPRODUCT(Data!A1:A10,Data!B1:B10)"},
    {"D22", "=SUMPRODUCT((Data!A1:A10>2)*Data!B1:B10)"},
    {"D23", "=NORMSDIST(1.5)+NORMDIST(2,1,0.5,TRUE)"},
    {"D24", "=POISSON(3,2.5,FALSE)+BINOMDIST(3,10,0.3,TRUE)"},
    {"D25", "=STEYX(Data!B1:B10,Data!A1:A10)+RSQ(Data!B1:B10,Data!A1:A10)"},
    // finance
    {"E1", "=NPV(0.1,Data!C2:C5)+Data!C1"},
    {"E2", "=FV(0.05/12,60,-100)"},
    {"E3", "=PV(0.08/12,240,500)"},
    {"E4", "=PMT(0.06/12,360,200000)"},
    {"E5", "=NPER(0.01,-100,1000)"},
    {"E6", "=IPMT(0.1/12,3,36,8000)"},
    {"E7", "=PPMT(0.1/12,3,36,8000)"},
    {"E8", "=IRR(Data!C1:C5)"},
    {"E9", "=MIRR(Data!C1:C5,0.1,0.12)"},
    {"E10", "=RATE(48,-200,8000)"},
    {"E11", "=SLN(10000,1000,5)+SYD(10000,1000,5,2)+DDB(10000,1000,5,2)"},
    // database
    {"F1", "=DSUM(Data!H1:J5,\"Score\",Data!L1:L2)"},
    {"F2", "=DGET(Data!H1:J5,\"Name\",Data!N1:N2)"},
    {"F3", "=DCOUNT(Data!H1:J5,\"Age\",Data!L1:L2)+DAVERAGE(Data!H1:J5,3,Data!L1:L2)"},
    {"F4", "=DMAX(Data!H1:J5,\"Score\",Data!L1:L2)+DMIN(Data!H1:J5,\"Age\",Data!L1:L2)"},
    // mathematics
    {"G1", "=ACOSH(2)+ASINH(1)+ATANH(0.5)"},
    {"G2", "=COSH(1)+SINH(1)+TANH(1)"},
    {"G3", "=COMBIN(10,3)+PERMUT(5,2)+FACT(5)"},
    {"G4", "=MOD(-7,3)+ROUNDUP(2.141,2)+ROUNDDOWN(-2.19,1)+TRUNC(7.9)"},
    {"G5", "=CEILING(7.3,2)+FLOOR(7.3,2)+EVEN(3)+ODD(4)"},
    {"G6", "=SUMX2MY2(Data!A1:A5,Data!B1:B5)+SUMXMY2(Data!A1:A5,Data!B1:B5)"},
    {"G7", "=MDETERM({1,2;3,4})"},
    {"G8", "=BIN2DEC(\"1010\")+HEX2DEC(\"FF\")+QUOTIENT(17,5)"},
    {"G9", "=DEC2BIN(10)&DEC2HEX(255,4)"},
    {"G10", "=GCD(12,18)+LCM(4,6)+MROUND(10,3)"},
    // names, runs of sheets, logic
    {"H1", "=SUM(Weights)*Factor"},
    {"H2", "=SUM(Data:Third!A1)"},
    {"H3", "=AND(Data!D2,1)"},
    {"H8", "=OR(FALSE,0)"},
    {"H9", "=NOT(FALSE)"},
    {"H4", "=IF(Data!A1>2,\"big\",\"small\")"},
    {"H5", "=CHOOSE(2,\"a\",\"b\",\"c\")"},
    {"H6", "=ISNUMBER(Data!A1)"},
    {"H10", "=ISTEXT(Data!D1)"},
    {"H11", "=ISBLANK(Data!Z99)"},
    {"H12", "=ISERROR(1/0)"},
    {"H7", "=ERROR.TYPE(1/0)+N(Data!A1)"},
    {"H13", "=Total+1"},
    {"H14", "=Local*3"},
    {"H16", "=Calc!Local+1"},
    {"H15", "=SUM(Data:Third!A1:A2)+COUNT(Data:Third!A1)"},
};

class RecalcInterop : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    QString tool(const char* name) { return QStandardPaths::findExecutable(QString::fromLatin1(name)); }
    static QByteArray readFileText(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // In the C locale, so that the programs' number output reads the same everywhere.
    bool run(const QString& program, const QStringList& args)
    {
        QProcessEnvironment locale;
        locale.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        return test::runTool(dir.path(), program, args, locale);
    }

    // The workbook the programs compute, its cached results spoiled so that a program that
    // did not recalculate cannot pass.
    QString workbook()
    {
        Workbook book;
        book.addWorksheet(QStringLiteral("Data"));
        book.addWorksheet(QStringLiteral("Calc"));
        book.addWorksheet(QStringLiteral("Third"));
        Worksheet* d = book.worksheet(0);
        const double a[] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3};
        const double b[] = {2, 7, 1, 8, 2, 8, 1, 8, 2, 8};
        for (int r = 0; r < 10; ++r) {
            d->setNumber(r, 0, a[r]);
            d->setNumber(r, 1, b[r]);
            d->setNumber(r, 5, r + 1);         // F: sorted keys
            d->setNumber(r, 6, 100 * (r + 1)); // G
        }
        const double flows[] = {-1000, 300, 400, 500, 200};
        for (int r = 0; r < 5; ++r)
            d->setNumber(r, 2, flows[r]);
        d->setText(0, 3, QStringLiteral("abc"));
        d->setBool(1, 3, true);
        d->setNumber(2, 3, 5);
        // a database: Name, Age, Score
        const char* names[] = {"Ann", "Bob", "Cid", "Dee"};
        const double ages[] = {28, 35, 42, 31}, scores[] = {90, 75, 60, 85};
        d->setText(0, 7, QStringLiteral("Name"));
        d->setText(0, 8, QStringLiteral("Age"));
        d->setText(0, 9, QStringLiteral("Score"));
        for (int r = 0; r < 4; ++r) {
            d->setText(r + 1, 7, QString::fromLatin1(names[r]));
            d->setNumber(r + 1, 8, ages[r]);
            d->setNumber(r + 1, 9, scores[r]);
        }
        d->setText(0, 11, QStringLiteral("Age"));
        d->setText(1, 11, QStringLiteral(">30"));
        d->setText(0, 13, QStringLiteral("Score"));
        d->setText(1, 13, QStringLiteral("<70"));
        book.worksheet(2)->setNumber(0, 0, 100);
        book.defineName(QStringLiteral("Weights"), QStringLiteral("=Data!$B$1:$B$3"));
        book.defineName(QStringLiteral("Factor"), QStringLiteral("=2"));
        book.defineName(QStringLiteral("Total"), QStringLiteral("=SUM(Weights)*Factor"));
        book.defineName(QStringLiteral("Local"), QStringLiteral("=Data!$A$2"), 1); // the sheet Calc's own
        Worksheet* c = book.worksheet(1);
        for (const Sample& s : kSamples) {
            int row = 0, col = 0;
            parseCellName(QString::fromLatin1(s.cell), &row, &col);
            c->setFormula(row, col, QString::fromLatin1(s.formula));
        }
        c->setArrayFormula(CellRange{0, 9, 2, 9}, QStringLiteral("=Data!A1:A3*2"));
        c->setArrayFormula(CellRange{3, 9, 3, 9}, QStringLiteral("=SUM(Data!A1:A10*Data!B1:B10)"));
        c->setArrayFormula(CellRange{4, 9, 6, 9}, QStringLiteral("=TREND(Data!B1:B10,Data!A1:A10,Data!A1:A3)"));
        CompoundFile file = CompoundFile::fromBytes(workbookToBytes(book));
        file.workbook = staleResults(file.workbook);
        const QString path = dir.filePath(QStringLiteral("formulas.xls"));
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        const Bytes bytes = file.toBytes();
        f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
        return path;
    }

    // Every formula the program cached, recomputed by the engine.
    void expectAgreement(const QString& written, const char* program, const QSet<QString>& excluded,
                         const AcceptFn& accept = {})
    {
        const Bytes bytes = readFile(written);
        ASSERT_FALSE(bytes.empty()) << program << " wrote nothing";
        // the program computed the formulas: none kept the spoiled result
        auto theirs = workbookFromBytes(bytes);
        int formulas = 0;
        for (int s = 0; s < theirs->sheetCount(); ++s)
            if (const Worksheet* ws = theirs->worksheet(s))
                for (const auto& kv : ws->cells())
                    if (kv.second.isFormula()) {
                        ++formulas;
                        EXPECT_FALSE(kv.second.value.isNumber() && kv.second.value.asNumber() == kStale)
                            << program << " did not compute " << ws->name().toStdString() << '!'
                            << cellName(keyRow(kv.first), keyCol(kv.first)).toStdString();
                    }
        EXPECT_GE(formulas, static_cast<int>(sizeof kSamples / sizeof kSamples[0]));
        const Outcome o = recalcAgainstCached(bytes, excluded, accept);
        std::printf("%s: %d of %d formulas recomputed to its value\n", program, o.matched, o.total);
        EXPECT_EQ(o.matched, o.total) << o.misses.join(QLatin1Char('\n')).toStdString();
    }

    QTemporaryDir dir;
};

TEST_F(RecalcInterop, LibreOfficeComputesWhatTheEngineComputes)
{
    if (tool("soffice").isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    const QString xls = workbook();
    const QString out = dir.filePath(QStringLiteral("lo"));
    QDir().mkpath(out);
    const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("lo-profile"))).toString();
    ASSERT_TRUE(
        run(tool("soffice"),
            {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
             QStringLiteral("--convert-to"), QStringLiteral("xls:MS Excel 97"), QStringLiteral("--outdir"), out, xls}));
    // LibreOffice's .xls export writes text results as 0 (its own files show them; its CSV
    // export does too): text results are checked against the values of its CSV export.
    const QString csvDir = dir.filePath(QStringLiteral("csv"));
    QDir().mkpath(csvDir);
    ASSERT_TRUE(run(tool("soffice"),
                    {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                     QStringLiteral("--convert-to"),
                     QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,false,true,false,false,false,2"),
                     QStringLiteral("--outdir"), csvDir, xls}));
    const QStringList csv = QString::fromUtf8(readFileText(QDir(csvDir).filePath(QStringLiteral("formulas-Calc.csv"))))
                                .split(QLatin1Char('\n'));
    auto csvText = [&](int row, int col) {
        if (row >= csv.size())
            return QString();
        // fields are separated by commas and quoted when they hold one
        QStringList fields(1);
        bool quoted = false;
        for (const QChar ch : csv[row]) {
            if (ch == QLatin1Char('"'))
                quoted = !quoted;
            else if (ch == QLatin1Char(',') && !quoted)
                fields.append(QString());
            else
                fields.last().append(ch);
        }
        return col < fields.size() ? fields[col] : QString();
    };
    const AcceptFn textFromCsv = [&](const QString& where, const Value& got, const Value& cached) {
        int row = 0, col = 0;
        if (!got.isString() || !(cached.isNumber() && cached.asNumber() == 0)
            || !where.startsWith(QLatin1String("Calc!")) || !parseCellName(where.mid(5), &row, &col))
            return false;
        return got.asString() == csvText(row, col);
    };
    // LibreOffice joins TRUE as "1" ("x11"); Excel joins it as "TRUE".
    expectAgreement(QDir(out).filePath(QStringLiteral("formulas.xls")), "LibreOffice", {QStringLiteral("Calc!C13")},
                    textFromCsv);
}

TEST_F(RecalcInterop, GnumericComputesWhatTheEngineComputes)
{
    if (tool("ssconvert").isEmpty())
        GTEST_SKIP() << "ssconvert (gnumeric) is not installed";
    const QString xls = workbook();
    const QString out = dir.filePath(QStringLiteral("gnumeric.xls"));
    ASSERT_TRUE(
        run(tool("ssconvert"),
            {QStringLiteral("--recalc"), QStringLiteral("--export-type=Gnumeric_Excel:excel_biff8"), xls, out}));
    // Gnumeric 1.12 gives #VALUE! for these DATEDIF calls, where Excel gives 13, 395 and 1.
    // Gnumeric shows a negative DOLLAR amount in parentheses, "($0.5)"; Excel follows the
    // system's currency format, a minus sign by default (as LibreOffice does).
    // Gnumeric writes Calc!Local as external name 6 of its add-in functions (EDATE there):
    // what it saved means EDATE, to Excel as to the engine.
    expectAgreement(out, "Gnumeric",
                    {QStringLiteral("Calc!B4"), QStringLiteral("Calc!B5"), QStringLiteral("Calc!B6"),
                     QStringLiteral("Calc!C15"), QStringLiteral("Calc!H16")});
}

} // namespace
} // namespace sheet::test
