#include "PdfReport.h"
#include "ReportSummary.h"

#include "TemplateResources.h"

#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "io/WorkbookFile.h"

#include <QApplication>
#include <QDate>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>

#include <gtest/gtest.h>

namespace {

std::unique_ptr<sheet::Workbook> Template(int id)
{
    const QByteArray bytes = kalmora::templateResourceBytes(id);
    return sheet::workbookFromBytes(sheet::Bytes(bytes.begin(), bytes.end()));
}

// Runs a poppler tool on the bytes; its standard output.
QString Poppler(const QString& tool, const QByteArray& pdf, const QStringList& extra = {})
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(pdf) != pdf.size())
        return QString();
    f.close();
    QProcess p;
    p.start(tool, extra + QStringList{path, QStringLiteral("-")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("<%1 failed: %2>").arg(tool, QString::fromUtf8(p.readAllStandardError()));
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString PdfInfo(const QByteArray& pdf)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return QString();
    f.write(pdf);
    f.close();
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {path});
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString PageText(const QByteArray& pdf, int page)
{
    const QString number = QString::number(page);
    return Poppler(QStringLiteral("pdftotext"), pdf, {QStringLiteral("-f"), number, QStringLiteral("-l"), number});
}

} // namespace

TEST(PdfPaper, LetterWhereTheTerritoryPrintsOnItA4Elsewhere)
{
    for (const char* name : {"en_US", "es_US", "en_CA", "fr_CA", "es_MX", "en_PH", "es_CL", "C"})
        EXPECT_EQ(PaperForLocale(QLocale(QString::fromLatin1(name))).id(), QPageSize::Letter) << name;
    for (const char* name : {"de_DE", "en_GB", "fr_FR", "en_AU", "ja_JP", "pt_BR", "en_IN"})
        EXPECT_EQ(PaperForLocale(QLocale(QString::fromLatin1(name))).id(), QPageSize::A4) << name;
}

TEST(PdfReportTest, ASummaryAndFourLandscapePagesWithTheEntriesAsText)
{
    auto book = Template(101);
    sheet::Worksheet& data = *book->worksheet(0);
    // Values of their own, so the text found can only come from these cells.
    data.setDate(5, 0, QDate(2005, 3, 17));
    data.setNumber(5, 1, 187.75);
    data.setNumber(6, 1, 183.25);
    book->recalculate();

    const QByteArray pdf = PdfReport(*book, QPageSize(QPageSize::Letter), QStringLiteral("My progress"));
    ASSERT_TRUE(pdf.startsWith("%PDF-"));
    const QString info = PdfInfo(pdf);
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+5\\n")))) << info.toStdString();
    // Letter, landscape: 11 x 8.5 inches.
    EXPECT_TRUE(info.contains(QStringLiteral("792 x 612 pts"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+My progress")))) << info.toStdString();

    // Page by page: the summary, the data sheet's text on page 2, the charts after it.
    const QString summary = PageText(pdf, 1);
    EXPECT_TRUE(summary.startsWith(QStringLiteral("Summary"))) << summary.toStdString();
    EXPECT_FALSE(summary.contains(QStringLiteral("Estimated Lean Body Weight")));
    const QString page1 = PageText(pdf, 2);
    EXPECT_TRUE(page1.contains(QStringLiteral("Fitness Progress Chart for Men"))) << page1.toStdString();
    EXPECT_TRUE(page1.contains(QStringLiteral("187.75"))) << page1.toStdString();
    EXPECT_TRUE(page1.contains(QStringLiteral("183.25")));
    EXPECT_TRUE(page1.contains(QStringLiteral("3/17/2005")));
    EXPECT_TRUE(page1.contains(QStringLiteral("(pounds)")));
    const QString page3 = PageText(pdf, 4);
    EXPECT_TRUE(page3.contains(QStringLiteral("BMI"))) << page3.toStdString();
    EXPECT_FALSE(page3.contains(QStringLiteral("187.75")));
}

TEST(PdfReportTest, A4PagesAndTheDataSheetFitsThePageWidth)
{
    auto book = Template(102);
    const QByteArray pdf = PdfReport(*book, QPageSize(QPageSize::A4), QStringLiteral("Report"));
    const QString info = PdfInfo(pdf);
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+5\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+84[12](\\.\\d+)? x 595(\\.\\d+)? pts"))))
        << info.toStdString();

    // The sheet's text lies within the page's margins: pdftotext -bbox gives word boxes.
    const QString boxes = Poppler(QStringLiteral("pdftotext"), pdf,
                                  {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("2"),
                                   QStringLiteral("-l"), QStringLiteral("2")});
    const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">"));
    double right = 0;
    int words = 0;
    for (auto it = word.globalMatch(boxes); it.hasNext();) {
        const auto m = it.next();
        ++words;
        EXPECT_GE(m.captured(1).toDouble(), 28.0); // 10 mm
        EXPECT_LE(m.captured(4).toDouble(), 595.3 - 28.0);
        right = std::max(right, m.captured(3).toDouble());
    }
    EXPECT_GT(words, 50);
    EXPECT_LE(right, 841.9 - 28.0);
    // Scaled up to the width, or up to the height when that is reached first: the sheet
    // spans well over half the page's width.
    EXPECT_GT(right, 841.9 / 2);
}

TEST(PdfReportTest, HiddenSheetsAreLeftOut)
{
    auto book = Template(101);
    book->sheet(2).setVisibility(sheet::Sheet::Visibility::Hidden);
    const QString info = PdfInfo(PdfReport(*book, QPageSize(QPageSize::A4), QStringLiteral("Report")));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+4\\n")))) << info.toStdString();
}

namespace {

// The imperial template holding two entries of its own: 6/10/2004 and two weeks later, the
// second without a chest measurement.
std::unique_ptr<sheet::Workbook> TwoEntries()
{
    auto book = Template(101);
    sheet::Worksheet& data = *book->worksheet(0);
    for (int row = 5; row <= 30; ++row)
        for (int col = 0; col < 5; ++col)
            data.setBlank(row, col);
    // A workbook of a version without the trend and the goal: their columns and figures gone.
    for (int row = 4; row <= 30; ++row)
        for (int col = 9; col <= 10; ++col)
            data.removeCell(row, col);
    for (int row = 1; row <= 2; ++row)
        for (int col = 2; col <= 4; ++col)
            data.removeCell(row, col);
    data.setDate(5, 0, QDate(2004, 6, 10));
    data.setNumber(5, 1, 200);
    data.setNumber(5, 2, 42);
    data.setNumber(5, 3, 36);
    data.setNumber(5, 4, 34);
    data.setDate(6, 0, QDate(2004, 6, 24));
    data.setNumber(6, 1, 196);
    data.setNumber(6, 3, 35);
    data.setNumber(6, 4, 34);
    book->recalculate();
    return book;
}

} // namespace

TEST(ReportSummaryTest, PeriodFiguresAndMissingMeasurementsComeFromTheCells)
{
    auto book = TwoEntries();
    const std::optional<ReportSummary> s = SummarizeWorkbook(*book);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->title, "Fitness Progress Chart for Men");
    EXPECT_EQ(s->entries, 2);
    EXPECT_EQ(s->firstDate, "6/10/2004");
    EXPECT_EQ(s->lastDate, "6/24/2004");
    EXPECT_EQ(s->days, 14);
    ASSERT_EQ(s->figures.size(), 3); // no trend in this workbook
    EXPECT_EQ(s->figures[0].name, "Weight (pounds)");
    EXPECT_EQ(s->figures[0].first, "200");
    EXPECT_EQ(s->figures[0].last, "196");
    EXPECT_EQ(s->figures[0].change, "-4.00");
    // Height 6 ft 3/8 in: BMI = weight / 72.375^2 * 703.
    const double inches = 72.375;
    EXPECT_EQ(s->figures[2].name, "BMI");
    EXPECT_EQ(s->figures[2].first, QString::number(200 / inches / inches * 703, 'f', 2));
    EXPECT_EQ(s->figures[2].change, QString::number((196 - 200) / inches / inches * 703, 'f', 2));
    const double fat1 = (200 - (200 * 1.082 + 94.42 - 36 * 4.15)) * 100 / 200;
    const double fat2 = (196 - (196 * 1.082 + 94.42 - 35 * 4.15)) * 100 / 196;
    EXPECT_EQ(s->figures[1].change, QString::number(fat2 - fat1, 'f', 2));
    // No trend: the weight's own change, 4 pounds in two weeks.
    EXPECT_EQ(s->changePerWeekLabel, "Weight change per week");
    EXPECT_EQ(s->changePerWeek, "-2.00");
    EXPECT_TRUE(s->goal.isEmpty());
    EXPECT_EQ(s->lacking, QStringList({"6/24/2004: Chest (inches)"}));

    const QString page = PageText(PdfReport(*book, QPageSize(QPageSize::A4), "Report"), 1);
    for (const char* text : {"Summary", "Period: 6/10/2004 to 6/24/2004 (14 days), 2 entries", "Weight (pounds)",
                             "-4.00", "Weight change per week: -2.00", "Goal: none set",
                             "Entries lacking a measurement:", "6/24/2004: Chest (inches)"})
        EXPECT_TRUE(page.contains(QString::fromUtf8(text))) << text << "\n" << page.toStdString();
}

TEST(ReportSummaryTest, TrendAndGoalCellsOfTheWorkbookAreReported)
{
    auto book = TwoEntries();
    sheet::Worksheet& data = *book->worksheet(0);
    // Columns and labels as a workbook with a trend and a goal has them.
    data.setText(4, 9, "Weight Trend (pounds)");
    data.setNumber(5, 9, 200);
    data.setFormula(6, 9, "=J6+(1-0.9^(A7-A6))*(B7-J6)");
    data.setText(4, 10, "Goal (pounds)");
    data.setNumber(5, 10, 180);
    data.setNumber(6, 10, 180);
    data.setText(1, 0, "Trend change per week");
    data.setFormula(1, 1, "=ROUND((J7-J6)/(A7-A6)*7,2)");
    data.setText(2, 0, "Goal date");
    data.setText(2, 1, "not on current trend");
    book->recalculate();
    const std::optional<ReportSummary> s = SummarizeWorkbook(*book);
    ASSERT_TRUE(s.has_value());
    ASSERT_EQ(s->figures.size(), 4);
    const double trend = 200 + (1 - std::pow(0.9, 14)) * (196 - 200);
    EXPECT_EQ(s->figures[3].name, "Weight Trend (pounds)");
    EXPECT_EQ(s->figures[3].change, QString::number(trend - 200, 'f', 2));
    EXPECT_EQ(s->changePerWeekLabel, "Trend change per week");
    EXPECT_EQ(s->changePerWeek, QString::number(std::round((trend - 200) / 14 * 7 * 100) / 100));
    EXPECT_EQ(s->goal, "180");
    EXPECT_EQ(s->goalDate, "not on current trend");
    // The goal and the trend are no measurements an entry could lack.
    EXPECT_EQ(s->lacking.size(), 1);
}

TEST(ReportSummaryTest, TheTemplatesOwnTrendAndFiguresAreReported)
{
    // The example of the imperial template: 26 weekly entries, a goal of 185 pounds.
    auto book = Template(101);
    const sheet::Worksheet& data = *book->worksheet(0);
    const std::optional<ReportSummary> s = SummarizeWorkbook(*book);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->entries, 26);
    ASSERT_EQ(s->figures.size(), 4);
    EXPECT_EQ(s->figures[3].name, "Weight Trend (pounds)");
    EXPECT_EQ(s->figures[3].last, data.displayText(30, 9));
    EXPECT_EQ(s->changePerWeekLabel, "Trend change per week");
    EXPECT_EQ(s->changePerWeek, data.displayText(1, 3));
    EXPECT_EQ(s->goalDate, data.displayText(2, 3));
    EXPECT_TRUE(s->goal.startsWith(QLatin1String("185")));
    EXPECT_TRUE(s->lacking.isEmpty());
}

TEST(ReportSummaryTest, TheTemplatesOwnTrendGoalAndFiguresAreRead)
{
    for (const int id : {101, 102}) {
        auto book = Template(id);
        const sheet::Worksheet& data = *book->worksheet(0);
        const std::optional<ReportSummary> s = SummarizeWorkbook(*book);
        ASSERT_TRUE(s.has_value()) << id;
        // Beside their labels in the header area: "Trend change per week" in C2, "Goal date" in C3.
        EXPECT_EQ(data.value(1, 2).asString(), "Trend change per week");
        EXPECT_EQ(s->changePerWeekLabel, "Trend change per week");
        EXPECT_EQ(s->changePerWeek, data.displayText(1, 3));
        EXPECT_FALSE(s->changePerWeek.isEmpty());
        EXPECT_EQ(s->goalDate, data.displayText(2, 3));
        EXPECT_FALSE(s->goalDate.isEmpty());
        EXPECT_EQ(s->goal, data.displayText(5, id == 101 ? 10 : 12)) << id;
        ASSERT_EQ(s->figures.size(), 4) << id;
        EXPECT_TRUE(s->figures[3].name.startsWith("Weight Trend")) << id;
        EXPECT_EQ(s->entries, id == 101 ? 26 : 27);
    }
}

TEST(ReportSummaryTest, ALongListOfGapsEndsWithHowManyMoreAndStaysOnOnePage)
{
    auto book = Template(101);
    sheet::Worksheet& data = *book->worksheet(0);
    for (int i = 0; i < 400; ++i) {
        data.setDate(5 + i, 0, QDate(2004, 1, 1).addDays(i));
        data.setNumber(5 + i, 1, 200 - i * 0.01);
        for (int col = 2; col < 5; ++col)
            data.setBlank(5 + i, col);
    }
    book->recalculate();
    const std::optional<ReportSummary> s = SummarizeWorkbook(*book);
    ASSERT_TRUE(s.has_value());
    EXPECT_EQ(s->entries, 400);
    EXPECT_EQ(s->lacking.size(), 400);
    const QByteArray pdf = PdfReport(*book, QPageSize(QPageSize::Letter), "Report");
    const QString page = PageText(pdf, 1);
    EXPECT_TRUE(page.contains(QRegularExpression("\\.\\.\\. and \\d+ more"))) << page.toStdString();
    EXPECT_FALSE(PageText(pdf, 2).contains("more"));
}

TEST(ReportSummaryTest, NoSummaryForAWorkbookWithoutEntries)
{
    sheet::Workbook book;
    book.addWorksheet("Sheet1");
    book.worksheet(0)->setText(0, 0, "Weight");
    EXPECT_FALSE(SummarizeWorkbook(book).has_value());
    const QString info = PdfInfo(PdfReport(book, QPageSize(QPageSize::A4), "Report"));
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+1\\n")))) << info.toStdString();
}
