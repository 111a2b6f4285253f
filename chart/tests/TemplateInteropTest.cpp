// The templates opened by other spreadsheet programs on this machine: LibreOffice and Gnumeric
// must see the same sheets, chart series and values, and LibreOffice must draw the charts.
#include "TemplateDefinitions.h"

#include "Workbook.h"
#include "Worksheet.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace kalmora;

namespace {

struct Run {
    bool ok = false;
    QString output;
};

Run run(const QString& program, const QStringList& args, int timeoutMs = 240000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    Run r;
    if (!p.waitForStarted(20000)) {
        r.output = QStringLiteral("could not start ") + program;
        return r;
    }
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished(5000);
        r.output = program + QStringLiteral(" timed out");
        return r;
    }
    r.output = QString::fromLocal8Bit(p.readAll());
    r.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    return r;
}

QString readText(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll());
}

// "Data.$C$6:.$C$31", "$Data.C6:Data.C31", "Data!$C$6:$C$31" -> "C6:C31"
QString bareRange(QString ref)
{
    ref.remove(QLatin1Char('$'));
    ref.remove(QLatin1Char('\''));
    const QStringList parts = ref.split(QLatin1Char(':'));
    QStringList out;
    for (QString part : parts) {
        const int dot = std::max(part.lastIndexOf(QLatin1Char('.')), part.lastIndexOf(QLatin1Char('!')));
        out << part.mid(dot + 1);
    }
    return out.join(QLatin1Char(':'));
}

QString columnLetter(int col) { return QString(QChar('A' + col)); }

// What the template's charts should show: "values|name" per series, chart by chart.
std::vector<QStringList> expectedSeries(const TemplateDefinition& d)
{
    std::vector<QStringList> out;
    const QString last = QString::number(d.lastDataRow() + 1);
    for (const TemplateChart& c : d.charts) {
        QStringList s;
        for (const TemplateSeries& ts : c.series)
            s << columnLetter(ts.column) + "6:" + columnLetter(ts.column) + last + "|" + columnLetter(ts.column) + "5";
        out.push_back(s);
    }
    return out;
}

// First data row as the other program shows it (CSV of the first sheet).
QStringList csvRow(const QString& csv, int row)
{
    const QStringList lines = csv.split(QLatin1Char('\n'));
    if (row >= lines.size())
        return {};
    QStringList cells;
    QString cur;
    bool quoted = false;
    for (QChar ch : lines[row]) {
        if (ch == QLatin1Char('"'))
            quoted = !quoted;
        else if (ch == QLatin1Char(',') && !quoted) {
            cells << cur;
            cur.clear();
        } else if (ch != QLatin1Char('\r'))
            cur += ch;
    }
    cells << cur;
    return cells;
}

class TemplateInterop : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        def = &templateDefinition(GetParam());
        wb = buildTemplateWorkbook(GetParam());
        path = dir.filePath(QStringLiteral("fitness-%1.xls").arg(GetParam()));
        wb->save(path);
        profile = QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("lo-profile"));
    }

    // The derived figures of data row 6 as the template stores them, to two decimals.
    QStringList derivedRow6() const
    {
        QStringList out;
        for (int k = 0; k < 4; ++k)
            out << QString::number(wb->worksheet(0)->value(5, def->formulaColumn(k)).asNumber(), 'f', 2);
        return out;
    }

    QTemporaryDir dir;
    const TemplateDefinition* def = nullptr;
    std::unique_ptr<sheet::Workbook> wb;
    QString path;
    QString profile;
};

} // namespace

TEST_P(TemplateInterop, LibreOfficeSeesTheSheetsSeriesAndValues)
{
    const Run fods = run(QStringLiteral("libreoffice"),
        {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("fods"),
            QStringLiteral("--outdir"), dir.path(), path});
    ASSERT_TRUE(fods.ok) << fods.output.toStdString();
    const QString xml = readText(dir.filePath(QStringLiteral("fitness-%1.fods").arg(GetParam())));
    ASSERT_FALSE(xml.isEmpty());

    // sheet names in order and one chart object on each chart sheet
    QStringList tables;
    std::vector<QStringList> charts;
    QXmlStreamReader r(xml);
    int depthInChart = 0;
    while (!r.atEnd()) {
        r.readNext();
        if (r.isStartElement()) {
            if (r.qualifiedName() == QLatin1String("table:table") && depthInChart == 0)
                tables << r.attributes().value(QLatin1String("table:name")).toString();
            if (r.qualifiedName() == QLatin1String("chart:chart")) {
                ++depthInChart;
                charts.emplace_back();
            }
            if (r.qualifiedName() == QLatin1String("chart:series") && !charts.empty()) {
                const auto a = r.attributes();
                charts.back() << bareRange(a.value(QLatin1String("chart:values-cell-range-address")).toString()) + "|"
                        + bareRange(a.value(QLatin1String("chart:label-cell-address")).toString());
            }
        } else if (r.isEndElement() && r.qualifiedName() == QLatin1String("chart:chart")) {
            --depthInChart;
        }
    }
    ASSERT_FALSE(r.hasError()) << r.errorString().toStdString();
    EXPECT_EQ(tables, (QStringList{"Data", "Measurements Chart", "Weight and BMI Chart", "Weight and Body Fat Chart"}));
    EXPECT_EQ(charts, expectedSeries(*def));

    const Run csv = run(QStringLiteral("libreoffice"),
        {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("csv"),
            QStringLiteral("--outdir"), dir.path(), path});
    ASSERT_TRUE(csv.ok) << csv.output.toStdString();
    const QStringList row6 = csvRow(readText(dir.filePath(QStringLiteral("fitness-%1.csv").arg(GetParam()))), 5);
    ASSERT_GE(row6.size(), def->columnCount());
    EXPECT_EQ(row6.mid(def->dataColumns, 4), derivedRow6());
}

TEST_P(TemplateInterop, GnumericSeesTheSheetsSeriesAndRecalculatesTheValues)
{
    const QString xmlPath = dir.filePath(QStringLiteral("fitness.xml"));
    const Run conv = run(QStringLiteral("ssconvert"),
        {QStringLiteral("-T"), QStringLiteral("Gnumeric_XmlIO:sax:0"), path, xmlPath});
    ASSERT_TRUE(conv.ok) << conv.output.toStdString();
    const QString xml = readText(xmlPath);
    QStringList sheets;
    int objectSheets = 0;
    std::vector<QStringList> charts;
    QXmlStreamReader r(xml);
    QString pendingName;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        const QStringView name = r.name();
        if (name == QLatin1String("Sheet")) {
            if (r.attributes().value(QLatin1String("Type")) == QLatin1String("object"))
                ++objectSheets;
        } else if (name == QLatin1String("Name") && r.namespaceUri().contains(QLatin1String("gnumeric"))) {
            const QString text = r.readElementText();
            if (sheets.size() < 4 && !text.isEmpty() && !sheets.contains(text))
                sheets << text;
        } else if (name == QLatin1String("SheetObjectGraph")) {
            charts.emplace_back();
        } else if (name == QLatin1String("Series") && !charts.empty()) {
            charts.back() << QString();
        } else if (name == QLatin1String("Dimension") && !charts.empty() && !charts.back().isEmpty()) {
            const QString role = r.attributes().value(QLatin1String("dim-name")).toString();
            const QString ref = bareRange(r.readElementText());
            QString& entry = charts.back().last();
            if (role == QLatin1String("values"))
                entry = ref + entry;
            else if (role == QLatin1String("labels") || role == QLatin1String("legend"))
                entry += "|" + ref;
        }
    }
    EXPECT_EQ(sheets, (QStringList{"Data", "Measurements Chart", "Weight and BMI Chart", "Weight and Body Fat Chart"}));
    EXPECT_EQ(objectSheets, 3);
    std::vector<QStringList> expected = expectedSeries(*def);
    ASSERT_EQ(charts.size(), expected.size());
    for (std::size_t i = 0; i < charts.size(); ++i) {
        // Gnumeric lists the category link too; compare values and names
        QStringList got;
        for (const QString& s : charts[i]) {
            const QStringList parts = s.split(QLatin1Char('|'));
            got << parts.value(0) + "|" + parts.value(parts.size() > 2 ? 2 : 1);
        }
        EXPECT_EQ(got, expected[i]) << i;
    }

    const QString csvPath = dir.filePath(QStringLiteral("fitness.csv"));
    const Run csv = run(QStringLiteral("ssconvert"), {QStringLiteral("--recalc"), path, csvPath});
    ASSERT_TRUE(csv.ok) << csv.output.toStdString();
    const QStringList row6 = csvRow(readText(csvPath), 5);
    ASSERT_GE(row6.size(), def->columnCount());
    EXPECT_EQ(row6.mid(def->dataColumns, 4), derivedRow6());
}

TEST_P(TemplateInterop, LibreOfficeDrawsTheChartLines)
{
    const Run pdf = run(QStringLiteral("libreoffice"),
        {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("pdf"),
            QStringLiteral("--outdir"), dir.path(), path});
    ASSERT_TRUE(pdf.ok) << pdf.output.toStdString();
    // Pages are kept next to the test binary so that a person can look at them.
    const QString pages = QDir::current().filePath(QStringLiteral("interop-pages"));
    QDir().mkpath(pages);
    const QString prefix = QDir(pages).filePath(QStringLiteral("fitness-%1").arg(GetParam()));
    const Run png = run(QStringLiteral("pdftoppm"),
        {QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-png"),
            dir.filePath(QStringLiteral("fitness-%1.pdf").arg(GetParam())), prefix});
    ASSERT_TRUE(png.ok) << png.output.toStdString();
    const QStringList files = QDir(pages).entryList({QStringLiteral("fitness-%1-*.png").arg(GetParam())}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 4);

    // Each chart page shows the colour of every one of its series (a line or its markers).
    int chartPages = 0;
    for (const TemplateChart& chart : def->charts) {
        bool foundPage = false;
        for (const QString& f : files) {
            QImage img(QDir(pages).filePath(f));
            ASSERT_FALSE(img.isNull());
            img = img.convertToFormat(QImage::Format_RGB32);
            int seen = 0;
            for (const TemplateSeries& s : chart.series) {
                const QColor want = QColor::fromRgb(sheet::paletteRgb(s.colour));
                int hits = 0;
                for (int y = 0; y < img.height() && hits < 40; ++y)
                    for (int x = 0; x < img.width() && hits < 40; ++x) {
                        const QColor c = img.pixelColor(x, y);
                        if (std::abs(c.red() - want.red()) < 40 && std::abs(c.green() - want.green()) < 40
                            && std::abs(c.blue() - want.blue()) < 40)
                            ++hits;
                    }
                if (hits >= 40)
                    ++seen;
            }
            if (seen == static_cast<int>(chart.series.size())) {
                foundPage = true;
                break;
            }
        }
        if (foundPage)
            ++chartPages;
    }
    EXPECT_EQ(chartPages, 3);
}

INSTANTIATE_TEST_SUITE_P(Templates, TemplateInterop, ::testing::Values(kImperialTemplate, kMetricTemplate),
    [](const ::testing::TestParamInfo<int>& info) { return info.param == kImperialTemplate ? "Imperial" : "Metric"; });
