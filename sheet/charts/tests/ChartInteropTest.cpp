// Our charts beside other programs: the value axes LibreOffice draws for the same data as
// our scaling rule, and the chart records as Apache POI and xlrd read them.
#include "charts/Chart.h"
#include "charts/ChartScale.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "io/WorkbookFile.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cmath>
#include <map>

using namespace sheet;

namespace {

struct ProcessRun {
    bool ok = false;
    QString out;
};

ProcessRun run(const QString& program, const QStringList& args, int timeoutMs = 240000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("en_US.UTF-8"));
    p.setProcessEnvironment(env);
    p.start(program, args);
    ProcessRun r;
    if (!p.waitForStarted(20000) || !p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.out = program + QStringLiteral(" did not run: ") + p.errorString();
        return r;
    }
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (!r.ok)
        r.out += QString::fromUtf8(p.readAllStandardError());
    return r;
}

// One chart's data: a primary series and, when given, a secondary one.
struct AxisCase {
    std::vector<double> primary;
    std::vector<double> secondary;
};

std::vector<double> ticksOf(const AxisScale& s)
{
    std::vector<double> out;
    const int n = static_cast<int>(std::floor((s.max - s.min) / s.major + 1e-9));
    for (int i = 0; i <= n; ++i)
        out.push_back(s.min + i * s.major);
    return out;
}

std::vector<double> ourTicks(const std::vector<double>& values)
{
    if (values.empty())
        return ticksOf(scaleValueAxis(0, 0));
    const auto [lo, hi] = std::minmax_element(values.begin(), values.end());
    return ticksOf(scaleValueAxis(*lo, *hi));
}

bool isNumber(const QString& token, double* v)
{
    bool ok = false;
    *v = token.toDouble(&ok);
    return ok;
}

// The labels of the left and right value axes on one page of `pdftotext -layout` output,
// from the bottom up: numbers that start a line near the left edge, and numbers that end a
// line far to the right.
void axisLabels(const QString& page, std::vector<double>* left, std::vector<double>* right)
{
    int width = 0;
    const QStringList lines = page.split(QLatin1Char('\n'));
    for (const QString& line : lines)
        width = std::max(width, static_cast<int>(line.size()));
    static const QRegularExpression token(QStringLiteral("\\S+"));
    for (const QString& line : lines) {
        std::vector<std::pair<int, QString>> tokens;
        for (auto it = token.globalMatch(line); it.hasNext();) {
            const auto m = it.next();
            tokens.emplace_back(static_cast<int>(m.capturedStart()), m.captured());
        }
        if (tokens.empty())
            continue;
        double v = 0;
        if (tokens.front().first < width / 4 && isNumber(tokens.front().second, &v))
            left->push_back(v);
        if (tokens.size() > 1 || tokens.front().first >= width / 4)
            if (tokens.back().first > width * 3 / 4 && isNumber(tokens.back().second, &v))
                right->push_back(v);
    }
    std::reverse(left->begin(), left->end());
    std::reverse(right->begin(), right->end());
}

void expectSameTicks(const std::vector<double>& libreOffice, const std::vector<double>& ours, const std::string& what)
{
    ASSERT_EQ(libreOffice.size(), ours.size()) << what;
    for (std::size_t i = 0; i < ours.size(); ++i)
        EXPECT_NEAR(libreOffice[i], ours[i], std::fabs(ours.back() - ours.front()) * 1e-6) << what << " tick " << i;
}

} // namespace

TEST(ChartInterop, ValueAxesScaleAsLibreOfficeScalesThem)
{
    const std::vector<AxisCase> cases = {
        {{193, 197.5, 210, 204, 201}, {}},      // weights: the axis does not start at 0
        {{20, 45, 100, 70}, {}},                // wide data starts at 0
        {{-40, -10, -25, -5}, {}},              // all negative
        {{-3, 4, -2, 6}, {}},                   // both signs
        {{5}, {}},                              // one entry
        {{0.0012, 0.0015, 0.0011}, {}},         // small numbers
        {{1250000, 1930000, 1640000}, {}},      // large numbers
        {{150, 152.5, 160}, {21.5, 35, 27.25}}, // a secondary axis beside the primary
        {{212, 209, 205.5, 201, 196.5, 192.5}, {28.45, 28.05, 27.65, 27.04, 26.37, 25.84}},
        {{36.5, 44.5, 40.25}, {}}, // just below 5/6: starts at 0
        {{-4, 3, 10, 7}, {}},      // a minimum on a tick gets one more unit below
        {{-3.3, 3, 10, 7}, {}},    // ... and one just clear of it does not
    };

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Workbook book;
    const int data = book.addWorksheet(QStringLiteral("Data"));
    Worksheet& ws = *book.worksheet(data);
    for (int row = 1; row <= 26; ++row)
        ws.setText(row, 0, QStringLiteral("w%1").arg(row));
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const int primaryCol = 1 + 2 * static_cast<int>(k);
        ws.setText(0, primaryCol, QStringLiteral("P%1").arg(k));
        ws.setText(0, primaryCol + 1, QStringLiteral("S%1").arg(k));
        for (std::size_t i = 0; i < cases[k].primary.size(); ++i)
            ws.setNumber(1 + static_cast<int>(i), primaryCol, cases[k].primary[i]);
        for (std::size_t i = 0; i < cases[k].secondary.size(); ++i)
            ws.setNumber(1 + static_cast<int>(i), primaryCol + 1, cases[k].secondary[i]);
        Chart c;
        c.title = QStringLiteral("Case %1").arg(k);
        for (int col : {primaryCol, primaryCol + 1}) {
            if (col == primaryCol + 1 && cases[k].secondary.empty())
                continue;
            ChartSeries s;
            const int rows = static_cast<int>(col == primaryCol ? cases[k].primary.size() : cases[k].secondary.size());
            s.values = SheetRange::column(data, col, 1, rows);
            s.categories = SheetRange::column(data, 0, 1, rows);
            s.nameCell = SheetRange::cell(data, 0, col);
            s.secondaryAxis = col != primaryCol;
            c.series.push_back(s);
        }
        book.addChartSheet(QStringLiteral("Chart %1").arg(k),
                           writeChartSheetBody(c, [&](int s) { return book.externSheetIndex(s); }));
    }
    const QString xls = dir.filePath(QStringLiteral("axes.xls"));
    saveWorkbook(book, xls);

    const QString profile = QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile"));
    const ProcessRun pdf = run(QStringLiteral("soffice"),
                               {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(), xls});
    ASSERT_TRUE(pdf.ok) << pdf.out.toStdString();
    const ProcessRun text
        = run(QStringLiteral("pdftotext"),
              {QStringLiteral("-layout"), dir.filePath(QStringLiteral("axes.pdf")), QStringLiteral("-")});
    ASSERT_TRUE(text.ok) << text.out.toStdString();

    const QStringList pages = text.out.split(QLatin1Char('\f'));
    for (std::size_t k = 0; k < cases.size(); ++k) {
        const QString title = QStringLiteral("Case %1").arg(k);
        const QRegularExpression titled(QStringLiteral("(^|\\s)") + title + QStringLiteral("(\\s|$)"));
        const QString* page = nullptr;
        for (const QString& p : pages)
            if (titled.match(p).hasMatch())
                page = &p;
        ASSERT_TRUE(page) << title.toStdString();
        std::vector<double> left, right;
        axisLabels(*page, &left, &right);
        expectSameTicks(left, ourTicks(cases[k].primary), title.toStdString() + " primary");
        if (!cases[k].secondary.empty())
            expectSameTicks(right, ourTicks(cases[k].secondary), title.toStdString() + " secondary");
    }
}

namespace {

// `BiffViewer` output as records: each with its id and its text.
struct PoiRecord {
    int sid = 0;
    QString text;
    QString field(const QString& name) const
    {
        const QRegularExpression re(QStringLiteral("\\.") + QRegularExpression::escape(name)
                                    + QStringLiteral("\\s*=\\s*(.*)"));
        const auto m = re.match(text);
        return m.hasMatch() ? m.captured(1).trimmed() : QString();
    }
};

std::vector<PoiRecord> poiRecords(const QString& dump)
{
    std::vector<PoiRecord> out;
    static const QRegularExpression head(QStringLiteral("^Offset=.* sid=0x([0-9A-Fa-f]{4})"),
                                         QRegularExpression::MultilineOption);
    auto it = head.globalMatch(dump);
    std::vector<std::pair<int, int>> starts;
    while (it.hasNext()) {
        const auto m = it.next();
        starts.emplace_back(static_cast<int>(m.capturedStart()), m.captured(1).toInt(nullptr, 16));
    }
    for (std::size_t i = 0; i < starts.size(); ++i) {
        const int end = i + 1 < starts.size() ? starts[i + 1].first : static_cast<int>(dump.size());
        out.push_back(PoiRecord{starts[i].second, dump.mid(starts[i].first, end - starts[i].first)});
    }
    return out;
}

QString poiClassPath()
{
    QStringList jars;
    for (const char* jar : {"poi.jar", "commons-collections4.jar", "commons-codec.jar", "commons-math3.jar"})
        jars << QStringLiteral("/usr/share/java/") + QLatin1String(jar);
    return jars.join(QLatin1Char(':'));
}

// The program's kind of workbook: dates and two measured series over a fixed range of 26
// rows with 5 entries, a chart of both (the second on a secondary axis).
QString writeChartWorkbook(const QTemporaryDir& dir)
{
    Workbook book;
    const int data = book.addWorksheet(QStringLiteral("Data"));
    Worksheet& ws = *book.worksheet(data);
    ws.setText(4, 1, QStringLiteral("Weight"));
    ws.setText(4, 2, QStringLiteral("BMI"));
    for (int i = 0; i < 5; ++i) {
        ws.setDate(5 + i, 0, QDate(2004, 6, 10).addDays(7 * i));
        ws.setNumber(5 + i, 1, 200 - i);
        ws.setFormula(5 + i, 2, QStringLiteral("=B%1/7.25").arg(6 + i));
    }
    Chart c;
    c.title = QStringLiteral("Weight and BMI");
    for (int col : {1, 2}) {
        ChartSeries s;
        s.values = SheetRange::column(data, col, 5, 30);
        s.categories = SheetRange::column(data, 0, 5, 30);
        s.nameCell = SheetRange::cell(data, 4, col);
        s.secondaryAxis = col == 2;
        c.series.push_back(s);
    }
    book.addChartSheet(QStringLiteral("Chart"),
                       writeChartSheetBody(c, [&](int s) { return book.externSheetIndex(s); }));
    const QString path = dir.filePath(QStringLiteral("chart.xls"));
    saveWorkbook(book, path);
    return path;
}

} // namespace

TEST(ChartInterop, ApachePoiReadsTheRecordsAsExcelShapesThem)
{
    QTemporaryDir dir;
    const QString path = writeChartWorkbook(dir);
    const ProcessRun dump
        = run(QStringLiteral("java"),
              {QStringLiteral("-cp"), poiClassPath(), QStringLiteral("org.apache.poi.hssf.dev.BiffViewer"), path});
    ASSERT_TRUE(dump.ok) << dump.out.left(2000).toStdString();
    const std::vector<PoiRecord> records = poiRecords(dump.out);
    ASSERT_GT(records.size(), 100u);

    int bofs = 0;
    bool inChart = false;
    std::vector<QString> defaultTexts, seriesNames, cacheKinds;
    std::vector<double> cachedValues;
    QString dimensions;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const PoiRecord& r = records[i];
        if (r.sid == 0x0809) {
            ++bofs;
            EXPECT_EQ(r.field(QStringLiteral("history")), QStringLiteral("0x00000049")) << r.text.toStdString();
            inChart = r.field(QStringLiteral("type")).startsWith(QLatin1String("0x0020"));
        }
        if (!inChart)
            continue;
        EXPECT_FALSE(r.text.contains(QLatin1String("[UNKNOWN"))
                     && (r.sid == 0x1024 || r.sid == 0x100D || r.sid == 0x1065))
            << r.text.toStdString();
        if (r.sid == 0x1024)
            defaultTexts.push_back(r.field(QStringLiteral("categoryDataType")));
        // A series name linked to a cell, then its cached text.
        if (r.sid == 0x1051 && r.field(QStringLiteral("linkType")) == QLatin1String("0x00")
            && r.field(QStringLiteral("referenceType")) == QLatin1String("0x02") && i + 1 < records.size()
            && records[i + 1].sid == 0x100D)
            seriesNames.push_back(records[i + 1].field(QStringLiteral("text")));
        if (r.sid == 0x0200)
            dimensions = r.field(QStringLiteral("lastrow")) + QLatin1Char('/') + r.field(QStringLiteral("lastcol"));
        if (r.sid == 0x1065)
            cacheKinds.push_back(r.field(QStringLiteral("index")));
        if (r.sid == 0x0203 && cacheKinds.size() == 2)
            cachedValues.push_back(r.field(QStringLiteral("value")).toDouble());
    }
    EXPECT_EQ(bofs, 3);
    EXPECT_EQ(defaultTexts, (std::vector<QString>{QStringLiteral("0x0002 (2 )"), QStringLiteral("0x0003 (3 )")}));
    EXPECT_EQ(seriesNames, (std::vector<QString>{QStringLiteral("(Weight )"), QStringLiteral("(BMI )")}));
    EXPECT_EQ(dimensions, QStringLiteral("1a/2")); // 26 points, 2 series
    EXPECT_EQ(cacheKinds,
              (std::vector<QString>{QStringLiteral("0x0002 (2 )"), QStringLiteral("0x0001 (1 )"),
                                    QStringLiteral("0x0003 (3 )")}));
    ASSERT_EQ(cachedValues.size(), 10u); // five entries of two series; the empty rows are blanks
    EXPECT_EQ(cachedValues[0], 200);
    EXPECT_NEAR(cachedValues[1], 200 / 7.25, 1e-9);
    EXPECT_EQ(cachedValues[8], 196);

    // POI's workbook model opens it too and sees the data sheet.
    const ProcessRun text
        = run(QStringLiteral("java"),
              {QStringLiteral("-cp"), poiClassPath(), QStringLiteral("org.apache.poi.hssf.extractor.ExcelExtractor"),
               QStringLiteral("-i"), path});
    ASSERT_TRUE(text.ok) << text.out.toStdString();
    EXPECT_TRUE(text.out.contains(QLatin1String("Weight"))) << text.out.toStdString();
}

TEST(ChartInterop, XlrdReadsTheWorkbookAroundTheChartSheets)
{
    QTemporaryDir dir;
    const QString path = writeChartWorkbook(dir);
    const ProcessRun r = run(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys, xlrd\n"
                        "b = xlrd.open_workbook(sys.argv[1])\n"
                        "s = b.sheet_by_name('Data')\n"
                        "print(b.nsheets, s.cell_value(4, 1), s.cell_value(5, 1), round(s.cell_value(5, 2), 4))\n"),
         path});
    ASSERT_TRUE(r.ok) << r.out.toStdString();
    // xlrd lists worksheets only; the chart sheet is skipped without complaint.
    EXPECT_EQ(r.out.trimmed(), QStringLiteral("1 Weight 200.0 27.5862"));
}

namespace {

// Weights at uneven dates with a trend (a line without markers) and a goal (a dashed line),
// BMI on the secondary axis: on chart sheet "Weekly" labels every 7 days, on "Quarterly"
// points by the month and labels every 3 months.
QString writeDateAxisWorkbook(const QTemporaryDir& dir)
{
    Workbook book;
    const int data = book.addWorksheet(QStringLiteral("Data"));
    Worksheet& ws = *book.worksheet(data);
    const QStringList names
        = {QStringLiteral("Weight"), QStringLiteral("Trend"), QStringLiteral("Goal"), QStringLiteral("BMI")};
    for (int col = 1; col <= 4; ++col)
        ws.setText(0, col, names[col - 1]);
    const int days[] = {0, 7, 14, 28, 35, 63, 70, 150};
    for (int i = 0; i < 8; ++i) {
        ws.setDate(1 + i, 0, QDate(2004, 6, 10).addDays(days[i]));
        ws.setNumber(1 + i, 1, 200 - i * 1.5 + (i % 2) * 2);
        ws.setNumber(1 + i, 2, 200 - i * 1.3);
        ws.setNumber(1 + i, 3, 185);
        ws.setNumber(1 + i, 4, 27 - i * 0.2);
    }
    for (const bool weekly : {true, false}) {
        Chart c;
        c.title = weekly ? QStringLiteral("Weekly") : QStringLiteral("Quarterly");
        c.dateCategoryAxis = true;
        c.categoryNumberFormat = 14;
        c.dateScaling = weekly ? DateAxisScaling{true, DateUnit::Days, false, 7, DateUnit::Days}
                               : DateAxisScaling{false, DateUnit::Months, false, 3, DateUnit::Months};
        for (int col = 1; col <= 4; ++col) {
            ChartSeries s;
            s.values = SheetRange::column(data, col, 1, 8);
            s.categories = SheetRange::column(data, 0, 1, 8);
            s.nameCell = SheetRange::cell(data, 0, col);
            s.colour = static_cast<PaletteIndex>(0x0B + col);
            s.marker = col == 2 || col == 3 ? ChartMarker::None : ChartMarker::Diamond;
            s.pattern = col == 3 ? ChartLinePattern::Dash : ChartLinePattern::Solid;
            s.secondaryAxis = col == 4;
            c.series.push_back(s);
        }
        book.addChartSheet(c.title, writeChartSheetBody(c, [&](int s) { return book.externSheetIndex(s); }));
    }
    const QString path = dir.filePath(QStringLiteral("dates.xls"));
    saveWorkbook(book, path);
    return path;
}

// A member of a zip file or the whole of a gzip file, as text.
QString unpacked(const QString& path, const QString& member = QString())
{
    QStringList args{QStringLiteral("-c"),
                     QStringLiteral("import sys, zipfile, gzip\n"
                                    "if len(sys.argv) > 2:\n"
                                    "    print(zipfile.ZipFile(sys.argv[1]).read(sys.argv[2]).decode())\n"
                                    "else:\n"
                                    "    print(gzip.open(sys.argv[1]).read().decode())\n"),
                     path};
    if (!member.isEmpty())
        args << member;
    const ProcessRun r = run(QStringLiteral("/usr/bin/python3"), args);
    return r.ok ? r.out : QString();
}

QStringList allMatches(const QString& text, const QString& pattern)
{
    QStringList out;
    const QRegularExpression re(pattern, QRegularExpression::DotMatchesEverythingOption);
    for (auto it = re.globalMatch(text); it.hasNext();)
        out << it.next().captured(1);
    return out;
}

} // namespace

TEST(ChartInterop, LibreOfficeReadsTheDateAxisDashesAndMarkerlessLines)
{
    QTemporaryDir dir;
    const QString xls = writeDateAxisWorkbook(dir);
    const QString profile = QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("profile"));
    const ProcessRun converted = run(QStringLiteral("soffice"),
                                     {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                      QStringLiteral("xlsx"), QStringLiteral("--outdir"), dir.path(), xls});
    ASSERT_TRUE(converted.ok) << converted.out.toStdString();
    const QString xlsx = dir.filePath(QStringLiteral("dates.xlsx"));
    QStringList charts;
    for (int k = 1; k <= 2; ++k)
        charts << unpacked(xlsx, QStringLiteral("xl/charts/chart%1.xml").arg(k));
    const int weekly = charts[0].contains(QLatin1String(">Weekly<")) ? 0 : 1;
    ASSERT_TRUE(charts[weekly].contains(QLatin1String(">Weekly<"))) << charts[weekly].left(400).toStdString();

    // The category axis of each group is a date axis with the units stored.
    const QString units = QStringLiteral("<c:dateAx>.*?<c:baseTimeUnit val=\"(\\w+)\"/>");
    const QString major = QStringLiteral("<c:dateAx>.*?<c:majorUnit val=\"(\\w+)\"/><c:majorTimeUnit val=\"(\\w+)\"/>");
    EXPECT_FALSE(charts[weekly].contains(QLatin1String("<c:catAx>")));
    EXPECT_EQ(allMatches(charts[weekly], major), (QStringList{QStringLiteral("7"), QStringLiteral("7")}));
    EXPECT_TRUE(charts[weekly].contains(QLatin1String("<c:majorTimeUnit val=\"days\"/>")));
    const QString& quarterly = charts[1 - weekly];
    EXPECT_EQ(allMatches(quarterly, units), (QStringList{QStringLiteral("months"), QStringLiteral("months")}));
    EXPECT_EQ(allMatches(quarterly, major), (QStringList{QStringLiteral("3"), QStringLiteral("3")}));
    EXPECT_TRUE(quarterly.contains(QLatin1String("<c:majorTimeUnit val=\"months\"/>")));

    // Series in order: markers, none (trend), none and dashed (goal), markers.
    const QStringList series = allMatches(charts[weekly], QStringLiteral("(<c:ser>.*?</c:ser>)"));
    ASSERT_EQ(series.size(), 4);
    const QStringList symbols = allMatches(charts[weekly], QStringLiteral("<c:symbol val=\"(\\w+)\"/>"));
    EXPECT_EQ(symbols,
              (QStringList{QStringLiteral("diamond"), QStringLiteral("none"), QStringLiteral("none"),
                           QStringLiteral("diamond")}));
    const QRegularExpression dashed(QStringLiteral("<a:(custDash|prstDash)"));
    EXPECT_FALSE(series[0].contains(dashed));
    EXPECT_FALSE(series[1].contains(dashed));
    EXPECT_TRUE(series[2].contains(dashed)) << series[2].toStdString();
}

TEST(ChartInterop, GnumericReadsTheDashesAndMarkerlessLines)
{
    QTemporaryDir dir;
    const QString xls = writeDateAxisWorkbook(dir);
    const QString out = dir.filePath(QStringLiteral("dates.gnumeric"));
    const ProcessRun converted = run(QStringLiteral("ssconvert"), {xls, out});
    ASSERT_TRUE(converted.ok) << converted.out.toStdString();
    const QString xml = unpacked(out);
    ASSERT_EQ(xml.count(QLatin1String("type=\"GogLinePlot\"")), 4) // two charts of two axis groups
        << xml.left(400).toStdString();
    // Gnumeric's line plots put categories side by side: it opens the date axis as a text
    // axis, and keeps the line styles.
    const QStringList shapes = allMatches(xml, QStringLiteral("<marker auto-shape=\"0\" shape=\"(\\w+)\""));
    ASSERT_EQ(shapes.size(), 8); // two charts of four series
    EXPECT_EQ(shapes.mid(0, 4),
              (QStringList{QStringLiteral("diamond"), QStringLiteral("none"), QStringLiteral("none"),
                           QStringLiteral("diamond")}));
    const QStringList dashes = allMatches(xml, QStringLiteral("<line auto-dash=\"0\" dash=\"([\\w-]+)\" auto-width"));
    EXPECT_EQ(dashes.count(QStringLiteral("dash")), 2) << dashes.join(QLatin1Char(' ')).toStdString();
}
