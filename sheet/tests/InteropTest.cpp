// Real spreadsheet software reads what the engine writes, with the same values (CTest label
// "interop"; needs LibreOffice and Gnumeric's ssconvert).
#include "TestUtil.h"
#include "ToolRun.h"

#include "model/CellRange.h"
#include "model/Workbook.h"
#include "io/WorkbookFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

namespace sheet::test {
namespace {

using Table = std::vector<std::vector<QString>>;

Table readCsv(const QString& path)
{
    QFile f(path);
    Table table;
    if (!f.open(QIODevice::ReadOnly))
        return table;
    const QString text = QString::fromUtf8(f.readAll());
    std::vector<QString> row;
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                field += c;
                ++i;
            } else if (c == QLatin1Char('"')) {
                quoted = false;
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            row.push_back(field);
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            row.push_back(field);
            table.push_back(row);
            row.clear();
            field.clear();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    if (!field.isEmpty() || !row.empty()) {
        row.push_back(field);
        table.push_back(row);
    }
    return table;
}

QString at(const Table& t, const char* cell)
{
    int r = 0, c = 0;
    if (!parseCellName(QString::fromLatin1(cell), &r, &c))
        return QStringLiteral("<bad cell name>");
    if (r >= static_cast<int>(t.size()) || c >= static_cast<int>(t[static_cast<std::size_t>(r)].size()))
        return QString();
    return t[static_cast<std::size_t>(r)][static_cast<std::size_t>(c)];
}

double number(const Table& t, const char* cell)
{
    bool ok = false;
    const double v = at(t, cell).toDouble(&ok);
    return ok ? v : -1e300;
}

class Interop : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    bool run(const QString& program, const QStringList& args, QString* output = nullptr)
    {
        return test::runTool(dir.path(), program, args, {}, output);
    }

    QString tool(const char* name) { return QStandardPaths::findExecutable(QString::fromLatin1(name)); }

    // Every sheet to <base>-<sheet name>.csv, raw values.
    bool libreOfficeCsv(const QString& xls, const QString& outDir)
    {
        const QString lo = tool("libreoffice");
        const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("lo-profile"))).toString();
        return run(lo,
                   {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                    QStringLiteral("--convert-to"),
                    QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76,1,,1033,false,true,false,false,false,-1"),
                    QStringLiteral("--outdir"), outDir, xls});
    }

    // A workbook with what the templates hold: text, numbers, a date, the formulas of both
    // kinds (relative rows, absolute height cells), a sum and a reference to another sheet.
    QString engineWorkbook()
    {
        Workbook book;
        book.addWorksheet(QStringLiteral("Data"));
        book.addWorksheet(QStringLiteral("Summary"));
        Worksheet* d = book.worksheet(0);
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        d->setText(0, 0, QStringLiteral("Fitness Progress"));
        d->setText(1, 7, QStringLiteral("Height (feet)"));
        d->setInput(1, 8, QStringLiteral("5"), us);
        d->setInput(2, 8, QStringLiteral("10"), us);
        d->setText(4, 0, QStringLiteral("Date"));
        const char* rows[3][4] = {
            {"6/10/2004", "200", "44", "36"}, {"6/17/2004", "198.5", "44", "35.5"}, {"6/24/2004", "197", "43.5", "35"}};
        for (int r = 0; r < 3; ++r) {
            for (int c = 0; c < 4; ++c)
                d->setInput(5 + r, c, QString::fromLatin1(rows[r][c]), us);
            const QString n = QString::number(6 + r);
            d->setFormula(5 + r, 5, QStringLiteral("=(B%1*1.082+94.42)-D%1*4.15").arg(n));
            d->setFormula(5 + r, 6, QStringLiteral("=B%1-F%1").arg(n));
            d->setFormula(5 + r, 7, QStringLiteral("=G%1*100/B%1").arg(n));
            d->setFormula(5 + r, 8, QStringLiteral("=B%1/($I$2*12+$I$3)/($I$2*12+$I$3)*703").arg(n));
        }
        Worksheet* s = book.worksheet(1);
        s->setFormula(0, 0, QStringLiteral("=SUM(Data!B6:B8)"));
        s->setFormula(1, 0, QStringLiteral("=Data!F6*2"));
        s->setText(2, 0, QStringLiteral("Gr\u00F6\u00DFe \u20AC"));
        const QString path = dir.filePath(QStringLiteral("engine.xls"));
        saveWorkbook(book, path);
        return path;
    }

    QTemporaryDir dir;
};

TEST_F(Interop, GnumericRecalculatesTheSameValues)
{
    if (tool("ssconvert").isEmpty())
        GTEST_SKIP() << "ssconvert (gnumeric) is not installed";
    const QString xls = engineWorkbook();
    ASSERT_TRUE(
        run(tool("ssconvert"),
            {QStringLiteral("--recalc"), QStringLiteral("-S"), xls, dir.filePath(QStringLiteral("gnm-%s.csv"))}));
    const Table data = readCsv(dir.filePath(QStringLiteral("gnm-Data.csv")));
    const Table summary = readCsv(dir.filePath(QStringLiteral("gnm-Summary.csv")));
    ASSERT_FALSE(data.empty());
    EXPECT_EQ(at(data, "A1"), QStringLiteral("Fitness Progress"));
    EXPECT_NEAR(number(data, "F6"), 161.42, 1e-9);
    EXPECT_NEAR(number(data, "G6"), 38.58, 1e-9);
    EXPECT_NEAR(number(data, "H6"), 19.29, 1e-9);
    EXPECT_NEAR(number(data, "I6"), 200.0 / 70 / 70 * 703, 1e-9);
    EXPECT_NEAR(number(data, "F8"), (197 * 1.082 + 94.42) - 35 * 4.15, 1e-9);
    EXPECT_NEAR(number(summary, "A1"), 595.5, 1e-9);
    EXPECT_NEAR(number(summary, "A2"), 322.84, 1e-9);
    EXPECT_EQ(at(summary, "A3"), QString::fromUtf8("Gr\u00F6\u00DFe \u20AC"));
}

// Every workbook with sheets or records the engine keeps as they are, saved plainly, reads in
// LibreOffice cell for cell as before: kept text cells still point at their texts.
TEST_F(Interop, APlainSaveKeepsEveryCellsTextAsLibreOfficeReadsIt)
{
    if (tool("libreoffice").isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    const QDir d(dir.path());
    for (const char* sub : {"before", "after", "before-csv", "after-csv"})
        d.mkpath(QString::fromLatin1(sub));
    for (const char* name : {"excel/60405.xls", "12843-1.xls", "44010-SingleChart.xls", "reference-imperial.xls",
                             "reference-metric.xls"}) {
        const QString file = QFileInfo(QString::fromLatin1(name)).fileName();
        const QString before = d.filePath(QStringLiteral("before/") + file);
        const QString after = d.filePath(QStringLiteral("after/") + file);
        ASSERT_TRUE(QFile::copy(dataPath(name), before)) << name;
        saveWorkbook(*loadWorkbook(before), after);
        ASSERT_TRUE(libreOfficeCsv(before, d.filePath(QStringLiteral("before-csv"))));
        ASSERT_TRUE(libreOfficeCsv(after, d.filePath(QStringLiteral("after-csv"))));
    }
    const QStringList sheets = QDir(d.filePath(QStringLiteral("before-csv"))).entryList(QDir::Files, QDir::Name);
    EXPECT_EQ(QDir(d.filePath(QStringLiteral("after-csv"))).entryList(QDir::Files, QDir::Name), sheets);
    EXPECT_TRUE(sheets.contains(QStringLiteral("60405-Macro1.csv"))) << sheets.join(QLatin1Char(' ')).toStdString();
    for (const QString& csv : sheets) {
        const Table a = readCsv(d.filePath(QStringLiteral("before-csv/") + csv));
        const Table b = readCsv(d.filePath(QStringLiteral("after-csv/") + csv));
        EXPECT_EQ(a, b) << csv.toStdString();
    }
}

TEST_F(Interop, LibreOfficeReadsSheetsValuesAndFormulas)
{
    if (tool("libreoffice").isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    const QString xls = engineWorkbook();
    const QString out = dir.filePath(QStringLiteral("lo"));
    QDir().mkpath(out);
    ASSERT_TRUE(libreOfficeCsv(xls, out));
    const Table data = readCsv(QDir(out).filePath(QStringLiteral("engine-Data.csv")));
    const Table summary = readCsv(QDir(out).filePath(QStringLiteral("engine-Summary.csv")));
    ASSERT_FALSE(data.empty()) << QDir(out).entryList().join(QLatin1Char(' ')).toStdString();
    EXPECT_EQ(at(data, "A5"), QStringLiteral("Date"));
    EXPECT_NEAR(number(data, "F6"), 161.42, 1e-9);
    EXPECT_NEAR(number(data, "I7"), 198.5 / 70 / 70 * 703, 1e-9);
    EXPECT_NEAR(number(summary, "A2"), 322.84, 1e-9);
}

TEST_F(Interop, ALibreOfficeWorkbookKeepsItsChartsThroughTheEngine)
{
    if (tool("libreoffice").isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed";
    auto book = loadWorkbook(dataPath("reference-imperial.xls"));
    Worksheet* d = book->worksheet(0);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    d->setInput(5, 1, QStringLiteral("200"), us);
    d->setInput(5, 3, QStringLiteral("36"), us);
    d->setInput(1, 8, QStringLiteral("5"), us);
    d->setInput(2, 8, QStringLiteral("10"), us);
    const QString xls = dir.filePath(QStringLiteral("filled.xls"));
    saveWorkbook(*book, xls);

    // LibreOffice opens it with all four sheets and the new values ...
    const QString out = dir.filePath(QStringLiteral("lo"));
    QDir().mkpath(out);
    ASSERT_TRUE(libreOfficeCsv(xls, out));
    const QStringList csvs = QDir(out).entryList({QStringLiteral("*.csv")}, QDir::Files, QDir::Name);
    EXPECT_EQ(csvs.size(), 4) << csvs.join(QLatin1Char(' ')).toStdString();
    const Table data = readCsv(QDir(out).filePath(QStringLiteral("filled-Data.csv")));
    EXPECT_NEAR(number(data, "F6"), 161.42, 1e-9);

    // ... and saves it again with its three charts, which the engine finds once more.
    const QString lo = tool("libreoffice");
    const QString profile = QUrl::fromLocalFile(dir.filePath(QStringLiteral("lo-profile"))).toString();
    const QString again = dir.filePath(QStringLiteral("again"));
    QDir().mkpath(again);
    ASSERT_TRUE(run(lo,
                    {QStringLiteral("-env:UserInstallation=") + profile, QStringLiteral("--headless"),
                     QStringLiteral("--convert-to"), QStringLiteral("xls:MS Excel 97"), QStringLiteral("--outdir"),
                     again, xls}));
    auto back = loadWorkbook(QDir(again).filePath(QStringLiteral("filled.xls")));
    ASSERT_EQ(back->sheetCount(), 4);
    EXPECT_EQ(back->sheet(2).name(), QStringLiteral("Weight and BMI Chart"));
    EXPECT_EQ(back->worksheet(0)->value(5, 1), Value::number(200));
    const Bytes stream = workbookToStream(*back);
    int charts = 0;
    for (std::size_t i = 0; i + 8 <= stream.size(); ++i)
        if (stream[i] == 0x09 && stream[i + 1] == 0x08 && stream[i + 2] == 16 && stream[i + 3] == 0
            && stream[i + 6] == 0x20 && stream[i + 7] == 0)
            ++charts;
    EXPECT_EQ(charts, 3);
}

} // namespace
} // namespace sheet::test
