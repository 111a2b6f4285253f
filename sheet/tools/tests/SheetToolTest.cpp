// Runs the built sheet-tool on workbooks made here with the engine and checks what it prints,
// writes and how it fails.
#include "Workbook.h"
#include "Render.h"
#include "charts/Chart.h"

#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace sheet;

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun runTool(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(SHEET_TOOL), args);
    if (!p.waitForFinished(60000)) {
        ADD_FAILURE() << "sheet-tool did not finish";
        p.kill();
        p.waitForFinished();
    }
    ToolRun r;
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

QJsonObject cellAt(const QJsonObject& sheet, const QString& address)
{
    for (const QJsonValue& c : sheet.value(QStringLiteral("cells")).toArray())
        if (c[QStringLiteral("address")].toString() == address)
            return c.toObject();
    return {};
}

class SheetTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        Workbook book;
        const int data = book.addWorksheet(QStringLiteral("Data"));
        Worksheet& ws = *book.worksheet(data);
        ws.setText(0, 0, QStringLiteral("Weight"));
        ws.setNumber(0, 1, 72.5);
        ws.setCellXf(0, 1, book.xfWithFormat(static_cast<std::uint16_t>(book.defaultCellXf()), book.addNumberFormat(QStringLiteral("0.00"))));
        ws.setFormula(1, 1, QStringLiteral("=B1*2"));
        ws.setBool(2, 2, true);
        ws.setColumnWidth(0, 0, 20 * 256);

        Chart chart;
        ChartSeries weight;
        weight.values = SheetRange::column(data, 1, 0, 1);
        weight.categories = SheetRange::column(data, 0, 0, 1);
        weight.nameCell = SheetRange::cell(data, 0, 0);
        ChartSeries other = weight;
        other.nameCell = SheetRange();
        other.name = QStringLiteral("Flag");
        other.values = SheetRange::column(data, 2, 0, 2);
        other.secondaryAxis = true;
        chart.series = {weight, other};
        book.addChartSheet(QStringLiteral("Weight Chart"),
                           writeChartSheetBody(chart, [&](int s) { return book.externSheetIndex(s); }));
        book.setActiveSheet(data);
        book.setTemplate(true);
        book.save(path(QStringLiteral("book.xlt")));
    }

    QString path(const QString& name) const { return dir.filePath(name); }

    QJsonObject dump(const QString& file)
    {
        const ToolRun r = runTool({QStringLiteral("dump"), file});
        EXPECT_EQ(r.exitCode, 0) << r.err.constData();
        QJsonParseError error;
        const QJsonDocument doc = QJsonDocument::fromJson(r.out, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << r.out.constData();
        return doc.object();
    }

    // A failure is status 1 with exactly one line on standard error, and nothing written.
    void expectFailure(const QStringList& args, const char* expected)
    {
        const ToolRun r = runTool(args);
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.endsWith('\n')) << r.err.constData();
        EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
        EXPECT_TRUE(r.err.contains(expected)) << r.err.constData();
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("out.xls"))));
        EXPECT_FALSE(QFile::exists(path(QStringLiteral("out.png"))));
    }

    QTemporaryDir dir;
};

TEST_F(SheetTool, DumpListsSheetsCellsAndChartSeries)
{
    const QJsonObject root = dump(path(QStringLiteral("book.xlt")));
    EXPECT_EQ(root[QStringLiteral("activeSheet")].toString(), QStringLiteral("Data"));
    EXPECT_TRUE(root[QStringLiteral("template")].toBool());
    const QJsonArray sheets = root[QStringLiteral("sheets")].toArray();
    ASSERT_EQ(sheets.size(), 2);
    const QJsonObject data = sheets[0].toObject();
    const QJsonObject chart = sheets[1].toObject();
    EXPECT_EQ(data[QStringLiteral("name")].toString(), QStringLiteral("Data"));
    EXPECT_EQ(data[QStringLiteral("kind")].toString(), QStringLiteral("worksheet"));
    EXPECT_EQ(chart[QStringLiteral("name")].toString(), QStringLiteral("Weight Chart"));
    EXPECT_EQ(chart[QStringLiteral("kind")].toString(), QStringLiteral("chart"));
    EXPECT_EQ(data[QStringLiteral("usedRange")].toString(), QStringLiteral("A1:C3"));
    EXPECT_EQ(data[QStringLiteral("cells")].toArray().size(), 4);

    const QJsonObject number = cellAt(data, QStringLiteral("B1"));
    EXPECT_EQ(number[QStringLiteral("shown")].toString(), QStringLiteral("72.50"));
    EXPECT_EQ(number[QStringLiteral("numberFormat")].toString(), QStringLiteral("0.00"));
    EXPECT_EQ(number[QStringLiteral("value")][QStringLiteral("type")].toString(), QStringLiteral("number"));
    EXPECT_DOUBLE_EQ(number[QStringLiteral("value")][QStringLiteral("value")].toDouble(), 72.5);
    EXPECT_TRUE(number[QStringLiteral("formula")].isNull());

    const QJsonObject formula = cellAt(data, QStringLiteral("B2"));
    EXPECT_EQ(formula[QStringLiteral("formula")].toString(), QStringLiteral("=B1*2"));
    EXPECT_DOUBLE_EQ(formula[QStringLiteral("value")][QStringLiteral("value")].toDouble(), 145);
    EXPECT_EQ(formula[QStringLiteral("numberFormat")].toString(), QStringLiteral("General"));

    EXPECT_EQ(cellAt(data, QStringLiteral("A1"))[QStringLiteral("value")][QStringLiteral("type")].toString(),
              QStringLiteral("string"));
    const QJsonObject flag = cellAt(data, QStringLiteral("C3"));
    EXPECT_EQ(flag[QStringLiteral("value")][QStringLiteral("type")].toString(), QStringLiteral("bool"));
    EXPECT_EQ(flag[QStringLiteral("shown")].toString(), QStringLiteral("TRUE"));

    const QJsonArray series = chart[QStringLiteral("series")].toArray();
    ASSERT_EQ(series.size(), 2);
    EXPECT_EQ(series[0][QStringLiteral("nameRef")].toString(), QStringLiteral("Data!$A$1"));
    EXPECT_EQ(series[0][QStringLiteral("values")].toString(), QStringLiteral("Data!$B$1:$B$2"));
    EXPECT_EQ(series[0][QStringLiteral("categories")].toString(), QStringLiteral("Data!$A$1:$A$2"));
    EXPECT_EQ(series[0][QStringLiteral("axis")].toString(), QStringLiteral("primary"));
    EXPECT_TRUE(series[1][QStringLiteral("nameRef")].isNull());
    EXPECT_EQ(series[1][QStringLiteral("name")].toString(), QStringLiteral("Flag"));
    EXPECT_EQ(series[1][QStringLiteral("values")].toString(), QStringLiteral("Data!$C$1:$C$3"));
    EXPECT_EQ(series[1][QStringLiteral("axis")].toString(), QStringLiteral("secondary"));
}

TEST_F(SheetTool, SetTypesTextsAndSavesAWorkbook)
{
    const QString out = path(QStringLiteral("out.xls"));
    const ToolRun r = runTool({QStringLiteral("set"), path(QStringLiteral("book.xlt")), out, QStringLiteral("D4=6/10/2004"),
                           QStringLiteral("C5==B1*2"), QStringLiteral("B1=80"), QStringLiteral("A1="),
                           QStringLiteral("E1=5 3/8"), QStringLiteral("E2=hello = world")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty());

    const QJsonObject root = dump(out);
    EXPECT_FALSE(root[QStringLiteral("template")].toBool());
    EXPECT_EQ(root[QStringLiteral("sheets")].toArray().size(), 2); // the chart sheet stays
    const QJsonObject data = root[QStringLiteral("sheets")][0].toObject();

    const QJsonObject date = cellAt(data, QStringLiteral("D4"));
    EXPECT_DOUBLE_EQ(date[QStringLiteral("value")][QStringLiteral("value")].toDouble(), 38148);
    EXPECT_EQ(date[QStringLiteral("shown")].toString(), QStringLiteral("6/10/2004"));

    const QJsonObject formula = cellAt(data, QStringLiteral("C5"));
    EXPECT_EQ(formula[QStringLiteral("formula")].toString(), QStringLiteral("=B1*2"));
    EXPECT_DOUBLE_EQ(formula[QStringLiteral("value")][QStringLiteral("value")].toDouble(), 160);

    // A cell with a format of its own keeps it; the typed-over formula input is recomputed.
    EXPECT_EQ(cellAt(data, QStringLiteral("B1"))[QStringLiteral("shown")].toString(), QStringLiteral("80.00"));
    EXPECT_DOUBLE_EQ(cellAt(data, QStringLiteral("B2"))[QStringLiteral("value")][QStringLiteral("value")].toDouble(), 160);
    EXPECT_DOUBLE_EQ(cellAt(data, QStringLiteral("E1"))[QStringLiteral("value")][QStringLiteral("value")].toDouble(), 5.375);
    EXPECT_EQ(cellAt(data, QStringLiteral("E2"))[QStringLiteral("value")][QStringLiteral("value")].toString(),
              QStringLiteral("hello = world"));
    EXPECT_NE(cellAt(data, QStringLiteral("A1"))[QStringLiteral("value")][QStringLiteral("type")].toString(),
              QStringLiteral("string"));
}

TEST_F(SheetTool, RenderWritesTheUsedRangeOrTheGivenOne)
{
    const auto book = Workbook::load(path(QStringLiteral("book.xlt")));
    const Worksheet& ws = *book->worksheet(0);
    const QSize usedSize = renderRange(ws, 0, 0, 2, 2).size();
    const QSize smallSize = renderRange(ws, 0, 0, 0, 1).size();
    ASSERT_NE(usedSize, smallSize);

    const QString png = path(QStringLiteral("out.png"));
    ToolRun r = runTool({QStringLiteral("render"), path(QStringLiteral("book.xlt")), png});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QImage image(png, "PNG");
    EXPECT_EQ(image.size(), usedSize);

    r = runTool({QStringLiteral("render"), path(QStringLiteral("book.xlt")), png, QStringLiteral("A1:B1")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    image = QImage(png, "PNG");
    EXPECT_EQ(image.size(), smallSize);
}

TEST_F(SheetTool, FailuresExitOneWithOneLine)
{
    const QString book = path(QStringLiteral("book.xlt"));
    const QString out = path(QStringLiteral("out.xls"));
    expectFailure({QStringLiteral("dump"), path(QStringLiteral("missing.xls"))}, "missing.xls");

    QFile text(path(QStringLiteral("notes.xls")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just some text, not a workbook\n");
    text.close();
    expectFailure({QStringLiteral("dump"), text.fileName()}, "notes.xls");

    expectFailure({QStringLiteral("set"), book, out, QStringLiteral("B=3")}, "'B' is not a cell name");
    expectFailure({QStringLiteral("set"), book, out, QStringLiteral("A1=1"), QStringLiteral("IW1=2")}, "'IW1'");
    expectFailure({QStringLiteral("set"), book, out, QStringLiteral("C1==SUM(")}, "C1");
    expectFailure({QStringLiteral("render"), book, path(QStringLiteral("out.png")), QStringLiteral("A1:")}, "'A1:'");
    expectFailure({QStringLiteral("render"), book, dir.filePath(QStringLiteral("no/such/dir/x.png"))}, "x.png");

    expectFailure({}, "usage:");
    expectFailure({QStringLiteral("frobnicate"), book}, "usage:");
    expectFailure({QStringLiteral("set"), book, out}, "usage:");
    expectFailure({QStringLiteral("set"), book, out, QStringLiteral("B1")}, "usage:");
}

TEST_F(SheetTool, ChartActiveSheetCannotBeEdited)
{
    {
        auto book = Workbook::load(path(QStringLiteral("book.xlt")));
        book->setActiveSheet(1);
        book->save(path(QStringLiteral("chart-active.xls")));
    }
    const QJsonObject root = dump(path(QStringLiteral("chart-active.xls")));
    EXPECT_EQ(root[QStringLiteral("activeSheet")].toString(), QStringLiteral("Weight Chart"));
    expectFailure({QStringLiteral("set"), path(QStringLiteral("chart-active.xls")), path(QStringLiteral("out.xls")),
                   QStringLiteral("A1=1")},
                  "not a worksheet");
}

} // namespace

int main(int argc, char** argv)
{
    // The in-process pictures the tool's are compared with need fonts.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
