// The whole job as a user does it: start with stored settings, load the example, generate,
// save, and open the saved workbook in LibreOffice.
#include "Form1.h"
#include "Form2.h"
#include "FileDialog.h"
#include "ProgramFiles.h"
#include "MessageBox.h"
#include "TestSupport.h"
#include "TrendReference.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <cmath>

namespace {

QString RunProgram(const QString& program, const QStringList& args, bool* ok)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    *ok = p.waitForStarted(30000) && p.waitForFinished(240000) && p.exitStatus() == QProcess::NormalExit
        && p.exitCode() == 0;
    return QString::fromUtf8(p.readAll());
}

QString ReadText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// Comma-separated rows; quoted fields may hold commas, quotes and line breaks.
std::vector<QStringList> Rows(const QString& csv)
{
    std::vector<QStringList> rows(1);
    QString field;
    bool quoted = false;
    for (int i = 0; i < csv.size(); ++i) {
        const QChar c = csv.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < csv.size() && csv.at(i + 1) == QLatin1Char('"'))
                field += csv.at(++i);
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            rows.back() << field;
            field.clear();
        } else if (c == QLatin1Char('\n')) {
            rows.back() << field;
            field.clear();
            rows.emplace_back();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    rows.back() << field;
    return rows;
}

struct MetricRow {
    double weight, chest, waist, hips, wrist, forearm;
};

// The metric template's formulas, computed here to compare with what LibreOffice computes.
std::vector<double> Derived(const MetricRow& r, double metres, double centimetres)
{
    const double lean = ((r.weight / 0.45359) * 0.732 + 8.987 + (r.wrist / 2.54) / 3.14 - (r.waist / 2.54) * 0.157
                         - (r.hips / 2.54) * 0.249 + (r.forearm / 2.54) * 0.434)
        * 0.45359;
    const double fat = r.weight - lean;
    const double percent = fat * 100 / r.weight;
    const double bmi = r.weight / std::pow(metres + centimetres / 100, 2);
    return {lean, fat, percent, bmi};
}

} // namespace

TEST(EndToEnd, StoredMetricLogExampleGeneratedSavedAndOpenedInLibreOffice)
{
    QTemporaryDir dir;
    QTemporaryDir programFolder;
    SetApplicationPathForTesting(programFolder.path());
    qputenv("TEMP", dir.filePath(QStringLiteral("temp")).toUtf8());
    QDir().mkpath(dir.filePath(QStringLiteral("temp")));
    WriteRawSettingsFile("[Kalmora]\nOption1=False\nOption2=True\nText1_Women=1\nText2_Women=70\n"
                         "Fitness Women=1/1/2004||SEP1||70||SEP1||||SEP1||||SEP1||||SEP1||||SEP1||||SEP2||\n");

    ScriptedMessages messages;
    ScriptedSaveFiles dialogs;
    const QString saved = dir.filePath(QStringLiteral("progress.xls"));
    dialogs.answer(saved);

    Form1 form;
    form.Form_Load();
    form.show();
    ASSERT_TRUE(form.Option2()->isChecked());
    form.PushButton(7)->click(); // the metric example, height 1 m 68 cm
    form.PushButton1()->click();
    Form2* preview = form.existingPreview();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->pictureShown());
    preview->findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
    ASSERT_EQ(messages.count(), 1) << messages.asked()[0].text.toStdString();
    EXPECT_EQ(messages.asked()[0].text, QStringLiteral("Done."));
    ASSERT_TRUE(QFile::exists(saved));

    const QString profile
        = QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("lo-profile"));
    bool ok = false;
    QString out = RunProgram(QStringLiteral("libreoffice"),
                             {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                              QStringLiteral("csv"), QStringLiteral("--outdir"), dir.path(), saved},
                             &ok);
    ASSERT_TRUE(ok) << out.toStdString();
    const auto rows = Rows(ReadText(dir.filePath(QStringLiteral("progress.csv"))));
    ASSERT_GE(rows.size(), 11u);

    const MetricRow example[] = {
        {63.5, 81.3, 78.74, 101.6, 17.27, 29.21}, {63.5, 81.3, 78.74, 100.33, 17.02, 29.21},
        {63, 81.3, 78.74, 100.33, 17.02, 29.21},  {63, 81.3, 71.12, 99.06, 16, 27.94},
        {63, 81.3, 71.12, 99.06, 16, 27.94},
    };
    EXPECT_EQ(rows[1].value(10), QStringLiteral("1"));
    EXPECT_EQ(rows[2].value(10), QStringLiteral("68"));
    for (int i = 0; i < 5; ++i) {
        const QStringList& row = rows[5 + i];
        EXPECT_DOUBLE_EQ(row.value(1).toDouble(), example[i].weight) << i;
        EXPECT_DOUBLE_EQ(row.value(4).toDouble(), example[i].hips) << i;
        EXPECT_DOUBLE_EQ(row.value(6).toDouble(), example[i].forearm) << i;
        const std::vector<double> expected = Derived(example[i], 1, 68);
        for (int k = 0; k < 4; ++k)
            EXPECT_NEAR(row.value(7 + k).toDouble(), expected[k], 0.006) << i << "," << k;
    }
    // After the last entry the rows are empty, formulas included.
    for (std::size_t r = 10; r < std::min<std::size_t>(rows.size(), 32); ++r)
        EXPECT_TRUE(rows[r].join(QString()).trimmed().isEmpty())
            << r << ": " << rows[r].join(QLatin1Char(',')).toStdString();

    out = RunProgram(QStringLiteral("libreoffice"),
                     {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"), QStringLiteral("fods"),
                      QStringLiteral("--outdir"), dir.path(), saved},
                     &ok);
    ASSERT_TRUE(ok) << out.toStdString();
    QXmlStreamReader xml(ReadText(dir.filePath(QStringLiteral("progress.fods"))));
    QStringList tables;
    int charts = 0;
    int chartDepth = 0;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.qualifiedName() == QLatin1String("chart:chart")) {
            ++charts;
            ++chartDepth;
        } else if (xml.isEndElement() && xml.qualifiedName() == QLatin1String("chart:chart")) {
            --chartDepth;
        } else if (xml.isStartElement() && xml.qualifiedName() == QLatin1String("table:table") && chartDepth == 0) {
            tables << xml.attributes().value(QLatin1String("table:name")).toString();
        }
    }
    EXPECT_EQ(tables, (QStringList{"Data", "Measurements Chart", "Weight and BMI Chart", "Weight and Body Fat Chart"}));
    EXPECT_EQ(charts, 3);

    form.close();
    SetApplicationPathForTesting(QString());
    qunsetenv("TEMP");
}

namespace {

// A year and a half of entries at uneven intervals, stored out of date order.
struct StoredEntry {
    QDate date;
    double weight;
};

std::vector<StoredEntry> UnevenEntries()
{
    const int days[] = {0, 1, 4, 8, 16, 25, 40, 56, 78, 108, 139, 177, 222, 268, 320, 380, 441, 508, 582, 657};
    std::vector<StoredEntry> entries;
    for (int i = 0; i < 20; ++i)
        entries.push_back({QDate(2004, 6, 10).addDays(days[i]), 210.0 - 0.03 * days[i] + ((i * 7) % 5 - 2) * 0.3});
    return entries;
}

QDate ShownDate(const QString& text)
{
    for (const char* format : {"M/d/yyyy", "MM/dd/yy", "M/d/yy", "yyyy-MM-dd"}) {
        QDate d = QDate::fromString(text, QString::fromLatin1(format));
        if (d.isValid())
            return d.year() < 1950 ? d.addYears(100) : d;
    }
    return {};
}

} // namespace

TEST(EndToEnd, TrendChangePerWeekAndGoalDateAsLibreOfficeRecalculatesThem)
{
    QTemporaryDir dir;
    QTemporaryDir programFolder;
    SetApplicationPathForTesting(programFolder.path());
    const std::vector<StoredEntry> entries = UnevenEntries();
    QString log;
    for (const int i : {3, 0, 1, 2, 19, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18}) {
        const StoredEntry& e = entries[static_cast<std::size_t>(i)];
        log += QStringLiteral("%1/%2/%3||SEP1||%4||SEP1||42||SEP1||36||SEP1||40||SEP2||")
                   .arg(e.date.month())
                   .arg(e.date.day())
                   .arg(e.date.year())
                   .arg(e.weight, 0, 'f', 2);
    }
    WriteRawSettingsFile("[Kalmora]\nOption1=True\nOption2=False\nText1_Men=5\nText2_Men=10\nGoal Men=185\n"
                         "Fitness Men="
                         + log.toUtf8() + "\n");
    ScriptedMessages messages;
    ScriptedSaveFiles dialogs;
    const QString saved = dir.filePath(QStringLiteral("trend.xls"));
    dialogs.answer(saved);

    Form1 form;
    form.Form_Load();
    form.show();
    form.PushButton1()->click();
    Form2* preview = form.existingPreview();
    ASSERT_NE(preview, nullptr);
    preview->findChild<QPushButton*>(QStringLiteral("PushButton6"))->click();
    ASSERT_EQ(messages.count(), 1) << messages.asked()[0].text.toStdString();
    ASSERT_TRUE(QFile::exists(saved));

    const QString profile
        = QStringLiteral("-env:UserInstallation=file://") + dir.filePath(QStringLiteral("lo-profile"));
    bool ok = false;
    const QString out = RunProgram(QStringLiteral("libreoffice"),
                                   {profile, QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                    QStringLiteral("csv"), QStringLiteral("--outdir"), dir.path(), saved},
                                   &ok);
    ASSERT_TRUE(ok) << out.toStdString();
    const auto rows = Rows(ReadText(dir.filePath(QStringLiteral("trend.csv"))));
    ASSERT_GE(rows.size(), 25u);

    // The same figures worked out here, from the entries in date order.
    std::vector<trendref::Entry> reference;
    for (const StoredEntry& e : entries)
        reference.push_back({static_cast<int>(QDate(1899, 12, 30).daysTo(e.date)), std::round(e.weight * 100) / 100});
    const trendref::Figures want = trendref::Compute(reference, 185.0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const QStringList& row = rows[5 + i];
        EXPECT_NEAR(row.value(1).toDouble(), *reference[i].weight, 1e-9) << i; // in date order
        EXPECT_NEAR(row.value(9).toDouble(), *want.trend[i], 0.01) << i;
        EXPECT_NEAR(row.value(10).toDouble(), 185, 1e-9) << i;
    }
    ASSERT_TRUE(want.changePerWeek);
    ASSERT_TRUE(want.goalDate);
    EXPECT_EQ(rows[1].value(2), QStringLiteral("Trend change per week"));
    EXPECT_NEAR(rows[1].value(3).toDouble(), *want.changePerWeek, 0.01) << rows[1].value(3).toStdString();
    EXPECT_EQ(rows[2].value(2), QStringLiteral("Goal date"));
    EXPECT_EQ(ShownDate(rows[2].value(3)), QDate(1899, 12, 30).addDays(*want.goalDate))
        << rows[2].value(3).toStdString();

    form.close();
    SetApplicationPathForTesting(QString());
}
