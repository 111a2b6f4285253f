// The templates opened by other spreadsheet programs on this machine: LibreOffice and Gnumeric
// must see the same sheets, chart series and values, and LibreOffice must draw the charts.
#include "TemplateDefinitions.h"
#include "InteropFiles.h"

#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "io/WorkbookFile.h"

#include <QDir>
#include <QLocale>
#include <cstring>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace kalmora;

using interop::ParseCsv;
using interop::ReadText;

namespace {

struct ProcessResult {
    bool ok = false;
    QString output;
};

ProcessResult run(const QString& program, const QStringList& args, int timeoutMs = 240000)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    ProcessResult r;
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

// Field `col` of row `row` as a number with two decimals (the text itself when not a number).
QString csvNumber(const std::vector<QStringList>& rows, int row, int col)
{
    if (row >= static_cast<int>(rows.size()) || col >= rows[static_cast<std::size_t>(row)].size())
        return QStringLiteral("<missing>");
    bool ok = false;
    const QString text = rows[static_cast<std::size_t>(row)][col];
    const double v = text.toDouble(&ok);
    return ok ? QString::number(v, 'f', 2) : text;
}

// Overwrites the cached result of the formula in (row, col), so that only a recalculation
// shows the right figure.
bool spoilCachedResult(QByteArray& file, int row, int col)
{
    const QByteArray head("\x06\x00", 2);
    const auto u16 = [&](int i) {
        return static_cast<int>(static_cast<unsigned char>(file[i]))
            | (static_cast<int>(static_cast<unsigned char>(file[i + 1])) << 8);
    };
    for (int at = file.indexOf(head); at >= 0 && at + 18 <= file.size(); at = file.indexOf(head, at + 1)) {
        if (u16(at + 2) >= 22 && u16(at + 4) == row && u16(at + 6) == col) {
            const double bogus = 12345.0;
            std::memcpy(file.data() + at + 10, &bogus, 8);
            return true;
        }
    }
    return false;
}

class TemplateInterop : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        def = &templateDefinition(GetParam());
        wb = buildTemplateWorkbook(GetParam());
        // The figures of the program's edge cases, typed in as generation does.
        const QLocale us(QLocale::English, QLocale::UnitedStates);
        sheet::Worksheet& ws = *wb->worksheet(0);
        const bool men = GetParam() == kImperialTemplate;
        ws.setInput(1, def->heightColumn, men ? QStringLiteral("5") : QStringLiteral("1"), us);
        ws.setInput(2, def->heightColumn, men ? QStringLiteral("10") : QStringLiteral("65"), us);
        ws.setInput(5, 1, men ? QStringLiteral("200") : QStringLiteral("63.5"), us);
        ws.setInput(5, 3, men ? QStringLiteral("36") : QStringLiteral("70"), us);
        path = dir.filePath(QStringLiteral("fitness-%1.xls").arg(GetParam()));
        const sheet::Bytes b = sheet::workbookToBytes(*wb);
        QByteArray bytes(reinterpret_cast<const char*>(b.data()), static_cast<int>(b.size()));
        for (int k = 0; k < 4; ++k)
            ASSERT_TRUE(spoilCachedResult(bytes, 5, def->formulaColumn(k)));
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(bytes), bytes.size());
        f.close();
        profile = QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("lo-profile"));
    }

    // The derived figures of data row 6 with two decimals, as our engine computes them.
    QStringList derivedRow6() const
    {
        QStringList out;
        for (int k = 0; k < 4; ++k)
            out << QString::number(wb->worksheet(0)->value(5, def->formulaColumn(k)).asNumber(), 'f', 2);
        return out;
    }
    QStringList shownRow6(const std::vector<QStringList>& rows) const
    {
        QStringList out;
        for (int k = 0; k < 4; ++k)
            out << csvNumber(rows, 5, def->formulaColumn(k));
        return out;
    }
    void expectEdgeCaseFigures(const QStringList& shown) const
    {
        EXPECT_EQ(shown, derivedRow6());
        if (GetParam() == kImperialTemplate)
            EXPECT_EQ(shown, (QStringList{"161.42", "38.58", "19.29", "28.69"}));
        else
            EXPECT_EQ(shown.value(3), QStringLiteral("23.32"));
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
    const ProcessResult fods = run(QStringLiteral("libreoffice"),
                                   {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                    QStringLiteral("fods"), QStringLiteral("--outdir"), dir.path(), path});
    ASSERT_TRUE(fods.ok) << fods.output.toStdString();
    const QString xml = ReadText(dir.filePath(QStringLiteral("fitness-%1.fods").arg(GetParam())));
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
                charts.back() << interop::BareRange(
                                     a.value(QLatin1String("chart:values-cell-range-address")).toString())
                        + "|" + interop::BareRange(a.value(QLatin1String("chart:label-cell-address")).toString());
            }
        } else if (r.isEndElement() && r.qualifiedName() == QLatin1String("chart:chart")) {
            --depthInChart;
        }
    }
    ASSERT_FALSE(r.hasError()) << r.errorString().toStdString();
    EXPECT_EQ(tables, (QStringList{"Data", "Measurements Chart", "Weight and BMI Chart", "Weight and Body Fat Chart"}));
    EXPECT_EQ(charts, expectedSeries(*def));

    const ProcessResult csv = run(QStringLiteral("libreoffice"),
                                  {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                   QStringLiteral("csv"), QStringLiteral("--outdir"), dir.path(), path});
    ASSERT_TRUE(csv.ok) << csv.output.toStdString();
    expectEdgeCaseFigures(
        shownRow6(ParseCsv(ReadText(dir.filePath(QStringLiteral("fitness-%1.csv").arg(GetParam()))))));
}

TEST_P(TemplateInterop, GnumericSeesTheSheetsSeriesAndRecalculatesTheValues)
{
    const QString xmlPath = dir.filePath(QStringLiteral("fitness.xml"));
    const ProcessResult conv = run(QStringLiteral("ssconvert"),
                                   {QStringLiteral("-T"), QStringLiteral("Gnumeric_XmlIO:sax:0"), path, xmlPath});
    ASSERT_TRUE(conv.ok) << conv.output.toStdString();
    const QString xml = ReadText(xmlPath);
    QStringList sheets;
    int objectSheets = 0;
    std::vector<QStringList> charts;
    std::vector<int> valueAxes;
    QXmlStreamReader r(xml);
    QString name;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        if (r.qualifiedName() == QLatin1String("gnm:SheetName")) {
            if (r.attributes().value(QLatin1String("gnm:SheetType")) == QLatin1String("object"))
                ++objectSheets;
            sheets << r.readElementText();
        } else if (r.qualifiedName() == QLatin1String("gnm:SheetObjectGraph")) {
            charts.emplace_back();
            valueAxes.push_back(0);
        } else if (r.name() == QLatin1String("GogObject") && !charts.empty()
                   && r.attributes().value(QLatin1String("role")) == QLatin1String("Y-Axis")) {
            ++valueAxes.back();
        } else if (r.name() == QLatin1String("dimension") && !charts.empty()) {
            const QString id = r.attributes().value(QLatin1String("id")).toString();
            const QString ref = r.readElementText();
            if (id == QLatin1String("-1"))
                name = interop::BareRange(ref);
            else if (id == QLatin1String("1"))
                charts.back() << interop::BareRange(ref) + "|" + name;
        }
    }
    ASSERT_FALSE(r.hasError()) << r.errorString().toStdString();
    EXPECT_EQ(sheets, (QStringList{"Data", "Measurements Chart", "Weight and BMI Chart", "Weight and Body Fat Chart"}));
    EXPECT_EQ(objectSheets, 3);
    EXPECT_EQ(charts, expectedSeries(*def));
    EXPECT_EQ(valueAxes, (std::vector<int>{1, 2, 2})); // the secondary axis is a second Y axis

    const QString csvPath = dir.filePath(QStringLiteral("fitness.csv"));
    const ProcessResult csv = run(QStringLiteral("ssconvert"), {QStringLiteral("--recalc"), path, csvPath});
    ASSERT_TRUE(csv.ok) << csv.output.toStdString();
    expectEdgeCaseFigures(shownRow6(ParseCsv(ReadText(csvPath))));
}

TEST_P(TemplateInterop, LibreOfficeDrawsTheChartLines)
{
    const ProcessResult pdf = run(QStringLiteral("libreoffice"),
                                  {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                   QStringLiteral("pdf"), QStringLiteral("--outdir"), dir.path(), path});
    ASSERT_TRUE(pdf.ok) << pdf.output.toStdString();
    // Pages are kept next to the test binary so that a person can look at them.
    const QString pages = QDir::current().filePath(QStringLiteral("interop-pages"));
    QDir().mkpath(pages);
    const QString prefix = QDir(pages).filePath(QStringLiteral("fitness-%1").arg(GetParam()));
    const ProcessResult png = run(QStringLiteral("pdftoppm"),
                                  {QStringLiteral("-r"), QStringLiteral("60"), QStringLiteral("-png"),
                                   dir.filePath(QStringLiteral("fitness-%1.pdf").arg(GetParam())), prefix});
    ASSERT_TRUE(png.ok) << png.output.toStdString();
    const QStringList files
        = QDir(pages).entryList({QStringLiteral("fitness-%1-*.png").arg(GetParam())}, QDir::Files, QDir::Name);
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
                         [](const ::testing::TestParamInfo<int>& tested) {
                             return tested.param == kImperialTemplate ? "Imperial" : "Metric";
                         });
