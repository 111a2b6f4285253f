// Workbooks of long logs opened by LibreOffice and Gnumeric: every chart series, its dates
// and its name end at the last entry's row, so no chart has empty slots.
#include "InteropFiles.h"
#include "TrendFill.h"

#include "ToolRun.h"

#include <QFile>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

using namespace kalmora;
using namespace trendref;

using interop::BareRange;
using interop::ReadText;

namespace {

// "values|name" of each series of each chart, as the template defines them for `last` rows.
std::vector<QStringList> ExpectedSeries(const TemplateDefinition& d, int entries, bool withGoal)
{
    std::vector<QStringList> out;
    const QString last = QString::number(d.firstDataRow + entries);
    for (const TemplateChart& c : d.charts) {
        QStringList s;
        for (const TemplateSeries& ts : c.series) {
            if (ts.column == d.goalColumn() && !withGoal)
                continue;
            const QString col = sheet::columnName(ts.column);
            s << col + "6:" + col + last + "|" + col + "5";
        }
        out.push_back(s);
    }
    return out;
}

struct ReadCharts {
    std::vector<QStringList> series;
    QStringList categories;   // one per chart (LibreOffice) or per series (Gnumeric)
    QStringList categoryAxes; // the kind of each chart's category axis, or its label format
};

ReadCharts LibreOfficeCharts(const QString& fods)
{
    ReadCharts out;
    QXmlStreamReader r(fods);
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        const auto a = r.attributes();
        if (r.qualifiedName() == QLatin1String("chart:chart"))
            out.series.emplace_back();
        else if (r.qualifiedName() == QLatin1String("chart:series") && !out.series.empty())
            out.series.back() << BareRange(a.value(QLatin1String("chart:values-cell-range-address")).toString()) + "|"
                    + BareRange(a.value(QLatin1String("chart:label-cell-address")).toString());
        else if (r.qualifiedName() == QLatin1String("chart:categories"))
            out.categories << BareRange(a.value(QLatin1String("table:cell-range-address")).toString());
        else if (r.qualifiedName() == QLatin1String("chart:axis")
                 && a.value(QLatin1String("chart:name")) == QLatin1String("primary-x"))
            out.categoryAxes << a.value(QLatin1String("chartooo:axis-type")).toString();
    }
    return out;
}

ReadCharts GnumericCharts(const QString& xml)
{
    ReadCharts out;
    QXmlStreamReader r(xml);
    QString name;
    while (!r.atEnd()) {
        r.readNext();
        if (!r.isStartElement())
            continue;
        if (r.qualifiedName() == QLatin1String("gnm:SheetObjectGraph")) {
            out.series.emplace_back();
        } else if (r.name() == QLatin1String("property")
                   && r.attributes().value(QLatin1String("name")) == QLatin1String("assigned-format-string-XL")) {
            out.categoryAxes << r.readElementText();
        } else if (r.name() == QLatin1String("dimension") && !out.series.empty()) {
            const QString id = r.attributes().value(QLatin1String("id")).toString();
            const QString ref = BareRange(r.readElementText());
            if (id == QLatin1String("-1"))
                name = ref;
            else if (id == QLatin1String("0") && !ref.startsWith(QLatin1Char('"'))) // titles are texts
                out.categories << ref;
            else if (id == QLatin1String("1"))
                out.series.back() << ref + "|" + name;
        }
    }
    return out;
}

struct LongLog {
    int id;
    int entries;
};

class LongLogInterop : public ::testing::TestWithParam<LongLog> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        def = &templateDefinition(GetParam().id);
        std::vector<Entry> log;
        for (int i = 0; i < GetParam().entries; ++i)
            log.push_back({kJune10 + 2 * i + (i % 3), 80.0 - i * 0.01 + (i % 5) * 0.3});
        const Filled f = Fill(GetParam().id, log, 70.0);
        path = dir.filePath(QStringLiteral("long.xls"));
        sheet::saveWorkbook(*f.book, path);
    }

    QTemporaryDir dir;
    const TemplateDefinition* def = nullptr;
    QString path;
};

} // namespace

TEST_P(LongLogInterop, LibreOfficeReadsTheChartsToTheLastEntry)
{
    ASSERT_TRUE(sheet::test::runTool(dir.path(), QStringLiteral("libreoffice"),
                                     {QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                      QStringLiteral("fods"), QStringLiteral("--outdir"), dir.path(), path}));
    const ReadCharts charts = LibreOfficeCharts(ReadText(dir.filePath(QStringLiteral("long.fods"))));
    EXPECT_EQ(charts.series, ExpectedSeries(*def, GetParam().entries, true));
    const QString dates = "A6:A" + QString::number(5 + GetParam().entries);
    EXPECT_EQ(charts.categories, QStringList(3, dates));
    // Each entry at its date.
    EXPECT_EQ(charts.categoryAxes, QStringList(3, QStringLiteral("date")));
}

TEST_P(LongLogInterop, GnumericReadsTheChartsToTheLastEntry)
{
    const QString xml = dir.filePath(QStringLiteral("long.gnumeric.xml"));
    ASSERT_TRUE(sheet::test::runTool(dir.path(), QStringLiteral("ssconvert"),
                                     {QStringLiteral("-T"), QStringLiteral("Gnumeric_XmlIO:sax:0"), path, xml}));
    const ReadCharts charts = GnumericCharts(ReadText(xml));
    EXPECT_EQ(charts.series, ExpectedSeries(*def, GetParam().entries, true));
    const QString dates = "A6:A" + QString::number(5 + GetParam().entries);
    int seriesCount = 0;
    for (const QStringList& s : charts.series)
        seriesCount += static_cast<int>(s.size());
    EXPECT_EQ(charts.categories, QStringList(seriesCount, dates));
    // Gnumeric's line charts have no date axis: it keeps the dates as the axis' labels.
    ASSERT_EQ(charts.categoryAxes.size(), 3);
    for (const QString& format : charts.categoryAxes)
        EXPECT_TRUE(format.contains(QLatin1String("m/d/yy"))) << format.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Logs, LongLogInterop,
                         ::testing::Values(LongLog{kImperialTemplate, 40}, LongLog{kMetricTemplate, 40},
                                           LongLog{kImperialTemplate, 1000}),
                         [](const ::testing::TestParamInfo<LongLog>& tested) {
                             return QStringLiteral("%1_%2")
                                 .arg(tested.param.id == kImperialTemplate ? "Imperial" : "Metric")
                                 .arg(tested.param.entries)
                                 .toStdString();
                         });
