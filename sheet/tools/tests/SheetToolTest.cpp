// Runs the built sheet-tool on workbooks made here with the engine and checks what it prints,
// writes and how it fails.
#include "biff/Compound.h"
#include "charts/Chart.h"
#include "charts/ChartRenderer.h"
#include "charts/EmbeddedCharts.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "model/Xf.h"
#include "render/Render.h"
#include "io/WorkbookFile.h"

#include <QFile>
#include <cstring>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace sheet;

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ToolRun runTool(const QStringList& args, const QProcessEnvironment& extra = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("LC_ALL", "en_US.UTF-8");
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert(extra);
    for (const QString& key : extra.keys())
        if (extra.value(key).isEmpty())
            env.remove(key); // an empty value unsets
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(SHEET_TOOL), args);
    EXPECT_TRUE(p.waitForFinished(60000)) << "sheet-tool did not finish";
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardOutput(),
            p.readAllStandardError()};
}

// The value at a dotted path such as "sheets.0.cells" or "value.type".
QJsonValue at(QJsonValue v, const char* path)
{
    for (const QString& key : QString::fromLatin1(path).split(QLatin1Char('.'))) {
        bool index = false;
        const int i = key.toInt(&index);
        v = index ? v.toArray().at(i) : v.toObject().value(key);
    }
    return v;
}
QString text(const QJsonValue& v, const char* path) { return at(v, path).toString(); }
double number(const QJsonValue& v, const char* path) { return at(v, path).toDouble(); }

QJsonObject cellAt(const QJsonValue& sheet, const char* address)
{
    for (const QJsonValue& c : at(sheet, "cells").toArray())
        if (text(c, "address") == QLatin1String(address))
            return c.toObject();
    return {};
}

class SheetTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        Workbook book;
        const int data = book.addWorksheet("Data");
        Worksheet& ws = *book.worksheet(data);
        ws.setText(0, 0, "Weight");
        ws.setNumber(0, 1, 72.5);
        const auto baseXf = static_cast<std::uint16_t>(book.defaultCellXf());
        ws.setCellXf(0, 1, book.xfWithFormat(baseXf, book.addNumberFormat("0.00")));
        ws.setFormula(1, 1, "=B1*2");
        ws.setBool(2, 2, true);
        ws.setColumnWidth(0, 0, 20 * 256);

        Chart chart;
        ChartSeries weight;
        weight.values = SheetRange::column(data, 1, 0, 1);
        weight.categories = SheetRange::column(data, 0, 0, 1);
        weight.nameCell = SheetRange::cell(data, 0, 0);
        ChartSeries other = weight;
        other.nameCell = SheetRange();
        other.name = "Flag";
        other.values = SheetRange::column(data, 2, 0, 2);
        other.secondaryAxis = true;
        chart.series = {weight, other};
        book.addChartSheet("Weight Chart", writeChartSheetBody(chart, [&](int s) { return book.externSheetIndex(s); }));
        book.setActiveSheet(data);
        book.setTemplate(true);
        saveWorkbook(book, path("book.xlt"));
    }

    QString path(const char* name) const { return dir.filePath(name); }

    QJsonObject dump(const QString& file)
    {
        const ToolRun r = runTool({"dump", file});
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
        EXPECT_FALSE(QFile::exists(path("out.xls")));
        EXPECT_FALSE(QFile::exists(path("out.png")));
    }

    QTemporaryDir dir;
};

TEST_F(SheetTool, DumpListsSheetsCellsAndChartSeries)
{
    const QJsonObject root = dump(path("book.xlt"));
    EXPECT_EQ(text(root, "activeSheet"), "Data");
    EXPECT_TRUE(at(root, "template").toBool());
    ASSERT_EQ(at(root, "sheets").toArray().size(), 2);
    const QJsonValue data = at(root, "sheets.0");
    const QJsonValue chart = at(root, "sheets.1");
    EXPECT_EQ(text(data, "name") + text(data, "kind"), "Dataworksheet");
    EXPECT_EQ(text(chart, "name") + text(chart, "kind"), "Weight Chartchart");
    EXPECT_EQ(text(data, "usedRange"), "A1:C3");
    EXPECT_EQ(at(data, "cells").toArray().size(), 4);

    const QJsonObject b1 = cellAt(data, "B1");
    EXPECT_EQ(text(b1, "shown") + " " + text(b1, "numberFormat") + " " + text(b1, "value.type"), "72.50 0.00 number");
    EXPECT_DOUBLE_EQ(number(b1, "value.value"), 72.5);
    EXPECT_TRUE(at(b1, "formula").isNull());
    EXPECT_EQ(text(cellAt(data, "B2"), "formula"), "=B1*2");
    EXPECT_DOUBLE_EQ(number(cellAt(data, "B2"), "value.value"), 145);
    EXPECT_EQ(text(cellAt(data, "C3"), "value.type"), "bool");
    EXPECT_EQ(text(cellAt(data, "C3"), "shown"), "TRUE");

    ASSERT_EQ(at(chart, "series").toArray().size(), 2);
    EXPECT_EQ(text(chart, "series.0.nameRef"), "Data!$A$1");
    EXPECT_EQ(text(chart, "series.0.values"), "Data!$B$1:$B$2");
    EXPECT_EQ(text(chart, "series.0.categories"), "Data!$A$1:$A$2");
    EXPECT_EQ(text(chart, "series.0.axis"), "primary");
    EXPECT_TRUE(at(chart, "series.1.nameRef").isNull());
    EXPECT_EQ(text(chart, "series.1.name"), "Flag");
    EXPECT_EQ(text(chart, "series.1.values"), "Data!$C$1:$C$3");
    EXPECT_EQ(text(chart, "series.1.axis"), "secondary");
}

TEST_F(SheetTool, SetTypesTextsAndSavesAWorkbook)
{
    const QString out = path("out.xls");
    const ToolRun r
        = runTool({"set", path("book.xlt"), out, "D4=6/10/2004", "C5==B1*2", "B1=80", "A1=", "E2=hello = world"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty());

    const QJsonObject root = dump(out);
    EXPECT_FALSE(at(root, "template").toBool());       // format 56 is a workbook
    EXPECT_EQ(at(root, "sheets").toArray().size(), 2); // the chart sheet stays
    const QJsonValue data = at(root, "sheets.0");
    EXPECT_DOUBLE_EQ(number(cellAt(data, "D4"), "value.value"), 38148);
    EXPECT_EQ(text(cellAt(data, "D4"), "shown"), "6/10/2004");
    EXPECT_EQ(text(cellAt(data, "C5"), "formula"), "=B1*2");
    EXPECT_DOUBLE_EQ(number(cellAt(data, "C5"), "value.value"), 160);
    // A cell with a format of its own keeps it; formulas on a changed cell are recomputed.
    EXPECT_EQ(text(cellAt(data, "B1"), "shown"), "80.00");
    EXPECT_DOUBLE_EQ(number(cellAt(data, "B2"), "value.value"), 160);
    EXPECT_EQ(text(cellAt(data, "E2"), "value.value"), "hello = world");
    EXPECT_NE(text(cellAt(data, "A1"), "value.type"), "string");
}

TEST_F(SheetTool, RenderWritesTheUsedRangeOrTheGivenOne)
{
    const auto book = loadWorkbook(path("book.xlt"));
    const Worksheet& ws = *book->worksheet(0);
    const QSize usedSize = renderRange(ws, 0, 0, 2, 2).size();
    const QSize smallSize = renderRange(ws, 0, 0, 0, 1).size();
    ASSERT_NE(usedSize, smallSize);

    const QString png = path("out.png");
    ToolRun r = runTool({"render", path("book.xlt"), png});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QImage(png, "PNG").size(), usedSize);
    r = runTool({"render", path("book.xlt"), png, "A1:B1"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QImage(png, "PNG").size(), smallSize);
}

TEST_F(SheetTool, FailuresExitOneWithOneLine)
{
    const QString book = path("book.xlt");
    const QString out = path("out.xls");
    expectFailure({"dump", path("missing.xls")}, "missing.xls");

    QFile text(path("notes.xls"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("just some text, not a workbook\n");
    text.close();
    expectFailure({"dump", text.fileName()}, "notes.xls");

    expectFailure({"set", book, out, "B=3"}, "'B' is not a cell name");
    expectFailure({"set", book, out, "A1=1", "IW1=2"}, "'IW1'");
    expectFailure({"set", book, out, "C1==SUM("}, "C1");
    expectFailure({"render", book, path("out.png"), "A1:"}, "'A1:'");
    expectFailure({"render", book, dir.filePath("no/such/dir/x.png")}, "x.png");

    expectFailure({}, "usage:");
    expectFailure({"frobnicate", book}, "usage:");
    expectFailure({"set", book, out, "B1"}, "usage:");

    auto chartActive = loadWorkbook(book);
    chartActive->setActiveSheet(1);
    saveWorkbook(*chartActive, path("chart-active.xls"));
    expectFailure({"set", path("chart-active.xls"), out, "A1=1"}, "not a worksheet");
}

TEST_F(SheetTool, HelpAndVersion)
{
    ToolRun r = runTool({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    for (const char* word : {"Usage:", "dump", "set", "recalc", "render", "--sheet", "--size"})
        EXPECT_TRUE(r.out.contains(word)) << word;
    r = runTool({"--version"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, QByteArray("sheet-tool " SHEET_TOOL_VERSION "\n"));
    EXPECT_TRUE(r.err.isEmpty());
}

TEST_F(SheetTool, SetWithoutAssignmentsResavesAndRecalcRecomputes)
{
    // A workbook whose cached formula result (B2 = B1*2) is stale, as another writer may leave it.
    CompoundFile file = CompoundFile::fromBytes(workbookToBytes(*loadWorkbook(path("book.xlt"))));
    bool patched = false;
    for (std::size_t pos = 0; pos + 4 <= file.workbook.size() && !patched;) {
        const std::uint16_t id = static_cast<std::uint16_t>(file.workbook[pos] | (file.workbook[pos + 1] << 8));
        const std::size_t len = static_cast<std::size_t>(file.workbook[pos + 2] | (file.workbook[pos + 3] << 8));
        if (id == 0x0006) { // FORMULA: row, column, XF, then the cached number
            const double stale = 999;
            std::memcpy(file.workbook.data() + pos + 4 + 6, &stale, 8);
            patched = true;
        }
        pos += 4 + len;
    }
    ASSERT_TRUE(patched);
    const Bytes bytes = file.toBytes();
    QFile stale(path("stale.xlt"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    stale.close();

    ToolRun r = runTool({"set", path("stale.xlt"), path("resaved.xls")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QJsonObject root = dump(path("resaved.xls"));
    EXPECT_FALSE(at(root, "template").toBool());
    EXPECT_EQ(at(root, "sheets").toArray().size(), 2);
    EXPECT_DOUBLE_EQ(number(cellAt(at(root, "sheets.0"), "B2"), "value.value"), 999); // kept as read
    EXPECT_EQ(text(cellAt(at(root, "sheets.0"), "A1"), "value.value"), "Weight");

    r = runTool({"recalc", path("stale.xlt"), path("recalculated.xls")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    root = dump(path("recalculated.xls"));
    EXPECT_DOUBLE_EQ(number(cellAt(at(root, "sheets.0"), "B2"), "value.value"), 145);
    EXPECT_FALSE(at(root, "template").toBool());

    expectFailure({"recalc", path("stale.xlt")}, "usage:");
    expectFailure({"recalc", path("missing.xls"), path("out.xls")}, "missing.xls");
}

TEST_F(SheetTool, RenderDrawsChartSheetsAndWritesPngSvgOrPdf)
{
    // A chart sheet by name, at its default size and at a given one.
    ToolRun r = runTool({"render", "--sheet", "weight chart", path("book.xlt"), path("chart.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QImage png(path("chart.png"), "PNG");
    EXPECT_EQ(png.size(), QSize(1000, 700));
    int coloured = 0;
    for (int y = 0; y < png.height(); y += 2)
        for (int x = 0; x < png.width(); x += 2)
            coloured += qRed(png.pixel(x, y)) != qBlue(png.pixel(x, y));
    EXPECT_GT(coloured, 200); // series lines, not an empty page
    // The PNG holds exactly the picture the renderer draws.
    const auto book = loadWorkbook(path("book.xlt"));
    EXPECT_EQ(png.convertToFormat(QImage::Format_RGB32),
              renderChartSheet(*book, 1, QSize(1000, 700)).convertToFormat(QImage::Format_RGB32));

    r = runTool({"render", "--sheet", "2", "--size", "640x480", path("book.xlt"), path("chart.svg")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QFile svgFile(path("chart.svg"));
    ASSERT_TRUE(svgFile.open(QIODevice::ReadOnly));
    QXmlStreamReader svg(&svgFile);
    QString width;
    int paths = 0;
    while (!svg.atEnd()) {
        svg.readNext();
        if (svg.isStartElement() && svg.name() == QLatin1String("svg"))
            width = svg.attributes().value(QLatin1String("width")).toString();
        if (svg.isStartElement() && (svg.name() == QLatin1String("path") || svg.name() == QLatin1String("polyline")))
            ++paths;
    }
    EXPECT_FALSE(svg.hasError()) << svg.errorString().toStdString();
    EXPECT_TRUE(width.startsWith(QLatin1String("169")) || width.startsWith(QLatin1String("640")))
        << width.toStdString();
    EXPECT_GT(paths, 5);

    // PDF: one page of the chart's text, as vectors.
    r = runTool({"render", "--sheet", "Weight Chart", path("book.xlt"), path("chart.pdf")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    QFile pdf(path("chart.pdf"));
    ASSERT_TRUE(pdf.open(QIODevice::ReadOnly));
    EXPECT_TRUE(pdf.read(5) == "%PDF-");
    QProcess text;
    text.start(QStringLiteral("pdftotext"), {path("chart.pdf"), QStringLiteral("-")});
    if (text.waitForFinished(30000) && text.exitCode() == 0) {
        const QByteArray words = text.readAllStandardOutput();
        EXPECT_TRUE(words.contains("Weight")) << words.constData();
        EXPECT_TRUE(words.contains("Flag")) << words.constData();
    }

    // A worksheet range, scaled into the size asked for.
    r = runTool({"render", "--sheet", "Data", "--size", "300x200", path("book.xlt"), path("data.png"), "A1:C3"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QImage(path("data.png"), "PNG").size(), QSize(300, 200));
    r = runTool({"render", path("book.xlt"), path("data.pdf"), "A1:B2"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
}

TEST_F(SheetTool, RenderDrawsTextAsTheSystemsFontConfigurationDoes)
{
    // The tool draws Arial, Times New Roman and Courier New from the Liberation fonts without
    // the system's font configuration when they hold every character, and through it when
    // not; either way its picture is the one this process draws through that configuration.
    Workbook book;
    const int data = book.addWorksheet("Fonts");
    Worksheet& ws = *book.worksheet(data);
    const char* families[] = {"Arial", "Times New Roman", "Courier New"};
    int row = 0;
    for (const char* family : families) {
        for (int look = 0; look < 4; ++look) {
            Font f;
            f.name = family;
            f.height = static_cast<std::uint16_t>(160 + 40 * look);
            f.weight = look & 1 ? 700 : 400;
            f.flags = look & 2 ? 0x02 : 0;
            const auto xf
                = static_cast<std::uint16_t>(book.addXf(cellXf(static_cast<std::uint16_t>(book.addFont(f)), 0)));
            ws.setText(row, 0, QString::fromUtf8("Größe – 72,5 kg € Ωμέγα Вес"));
            ws.setNumber(row, 1, 1234.5 * (row + 1));
            ws.setCellXf(row, 0, xf);
            ws.setCellXf(row, 1, xf);
            ++row;
        }
    }
    ws.setColumnWidth(0, 0, 45 * 256);
    saveWorkbook(book, path("fonts.xls"));
    const QImage expected = renderRange(ws, 0, 0, row - 1, 1);

    QProcessEnvironment system;
    system.insert("FONTCONFIG_FILE", "/etc/fonts/fonts.conf");
    for (const QProcessEnvironment& env : {QProcessEnvironment(), system}) {
        const ToolRun r = runTool({"render", path("fonts.xls"), path("fonts.png")}, env);
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_EQ(QImage(path("fonts.png"), "PNG").convertToFormat(QImage::Format_RGB32), expected)
            << env.toStringList().join(' ').toStdString();
    }

    // Without a platform named, the tool draws offscreen even where a display is named (one
    // that is gone here).
    QProcessEnvironment display;
    display.insert("QT_QPA_PLATFORM", "");
    display.insert("DISPLAY", ":97");
    display.insert("WAYLAND_DISPLAY", "wayland-97");
    {
        const ToolRun r = runTool({"render", path("fonts.xls"), path("fonts.png")}, display);
        ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
        EXPECT_EQ(QImage(path("fonts.png"), "PNG").convertToFormat(QImage::Format_RGB32), expected);
    }

    // Text beyond the Liberation fonts.
    ws.setText(0, 0, QString::fromUtf8("体重 Gewicht"));
    saveWorkbook(book, path("fonts.xls"));
    const ToolRun r = runTool({"render", path("fonts.xls"), path("fonts.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QImage(path("fonts.png"), "PNG").convertToFormat(QImage::Format_RGB32),
              renderRange(ws, 0, 0, row - 1, 1));
}

TEST_F(SheetTool, RenderRefusesWhatItCannotDrawWithOneLine)
{
    const QString book = path("book.xlt");
    expectFailure({"render", "--sheet", "Nope", book, path("out.png")}, "'Data', 'Weight Chart'");
    expectFailure({"render", "--sheet", "3", book, path("out.png")}, "no sheet '3'");
    expectFailure({"render", "--sheet", "Weight Chart", book, path("out.png"), "A1:B2"}, "RANGE is for worksheets");
    expectFailure({"render", "--size", "12x", book, path("out.png")}, "WIDTHxHEIGHT");
    expectFailure({"render", "--size", "20000x20000", book, path("out.png")}, "16384");
    expectFailure({"render", book, path("out.gif")}, ".png, .svg or .pdf");
    expectFailure({"set", "--size", "10x10", book, path("out.xls"), "A1=1"}, "options of render");
    expectFailure({"render", "--frobnicate", book, path("out.png")}, "usage:");

    // A sheet whose last cell is 32,770 rows down: the whole of it is too tall to draw, a
    // range of it is not.
    auto tall = loadWorkbook(book);
    tall->worksheet(0)->setNumber(32769, 0, 1);
    saveWorkbook(*tall, path("tall.xls"));
    expectFailure({"render", path("tall.xls"), path("out.png")}, "16384");
    ToolRun r = runTool({"render", path("tall.xls"), path("part.png"), "A32760:C32770"});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_FALSE(QImage(path("part.png"), "PNG").isNull());
    // Scaled to a size that fits, the whole of it draws: the limit is on the picture drawn.
    r = runTool({"render", "--size", "400x3000", path("tall.xls"), path("whole.png")});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(QImage(path("whole.png"), "PNG").size(), QSize(400, 3000));
    expectFailure({"render", "--size", "16385x10", path("tall.xls"), path("out.png")}, "16384");

    expectFailure({"render", "--chart", "1", book, path("out.png")}, "no chart 1");
    expectFailure({"render", "--chart", "x", book, path("out.png")}, "--chart takes");
    expectFailure({"render", "--sheet", "2", "--chart", "1", book, path("out.png")}, "embedded in a worksheet");
    expectFailure({"recalc", "--chart", "1", book, path("out.xls")}, "options of render");
}

TEST_F(SheetTool, RenderDrawsTheActiveChartSheetAndSaysWhenAChartIsAPlaceholder)
{
    // The man page's promise: the active sheet, a chart sheet too.
    auto chartActive = loadWorkbook(path("book.xlt"));
    chartActive->setActiveSheet(1);
    saveWorkbook(*chartActive, path("chart-active.xls"));
    ToolRun r = runTool({"render", "--size", "500x350", path("chart-active.xls"), path("active.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();
    EXPECT_EQ(QImage(path("active.png"), "PNG").convertToFormat(QImage::Format_RGB32),
              renderChartSheet(*chartActive, 1, QSize(500, 350)).convertToFormat(QImage::Format_RGB32));

    // A chart it cannot draw: the picture is written, says why, and the status tells.
    RecordList bar = chartActive->sheet(1).records();
    for (Record& rec : bar)
        if (rec.id == 0x1018) // LINE: a bar chart group instead
            rec = Record{0x1017, Bytes{0, 0, 150, 0, 0, 0}};
    chartActive->addChartSheet(QStringLiteral("Bars"), bar);
    saveWorkbook(*chartActive, path("bars.xls"));
    r = runTool({"render", "--sheet", "Bars", path("bars.xls"), path("bars.png")});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_FALSE(QImage(path("bars.png"), "PNG").isNull());
    EXPECT_EQ(r.err.count('\n'), 1) << r.err.constData();
    EXPECT_TRUE(r.err.startsWith("sheet-tool: ")) << r.err.constData();
    EXPECT_TRUE(r.err.contains("'Bars' is drawn as a placeholder: This is a bar chart")) << r.err.constData();
}

TEST_F(SheetTool, RenderDrawsChartsEmbeddedInWorksheets)
{
    // LibreOffice's reference workbook: each chart sits on a worksheet of its own.
    const QString lo = QStringLiteral(SHEET_TEST_DATA "/reference-imperial.xls");
    const auto book = loadWorkbook(lo);
    const std::vector<EmbeddedChart> charts = embeddedChartList(*book, 1);
    ASSERT_EQ(charts.size(), 1u);
    ASSERT_TRUE(charts[0].anchor);
    const Worksheet& ws = *book->worksheet(1);
    ASSERT_FALSE(ws.usedRange()); // no cells: the picture is the chart's cells
    const QRectF where = anchorRect(ws, charts[0].anchor->cells(), *charts[0].anchor);

    // The sheet: its cells with the chart where it sits; the picture reaches the chart's end.
    ToolRun r = runTool({"render", "--sheet", "2", lo, path("sheet.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QImage sheetPicture = QImage(path("sheet.png"), "PNG").convertToFormat(QImage::Format_RGB32);
    EXPECT_GE(sheetPicture.width(), std::floor(where.right()));
    EXPECT_GE(sheetPicture.height(), std::floor(where.bottom()));
    EXPECT_LT(sheetPicture.height(), where.bottom() + 40); // and ends in the chart's last row
    // The chart alone, at its size on the sheet.
    r = runTool({"render", "--sheet", "2", "--chart", "1", lo, path("chart.png")});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    const QImage alone = QImage(path("chart.png"), "PNG").convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(alone.size(),
              QSize(static_cast<int>(std::lround(where.width())), static_cast<int>(std::lround(where.height()))));
    int coloured = 0;
    for (int y = 0; y < alone.height(); y += 2)
        for (int x = 0; x < alone.width(); x += 2)
            coloured += std::abs(qRed(alone.pixel(x, y)) - qBlue(alone.pixel(x, y))) > 80;
    EXPECT_GT(coloured, 300); // the series, not a placeholder
    r = runTool({"render", "--sheet", "2", "--chart", "2", lo, path("none.png")});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("holds 1 charts")) << r.err.constData();
}

} // namespace
