#include "PdfReport.h"

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

} // namespace

TEST(PdfPaper, LetterWhereTheTerritoryPrintsOnItA4Elsewhere)
{
    for (const char* name : {"en_US", "es_US", "en_CA", "fr_CA", "es_MX", "en_PH", "es_CL", "C"})
        EXPECT_EQ(PaperForLocale(QLocale(QString::fromLatin1(name))).id(), QPageSize::Letter) << name;
    for (const char* name : {"de_DE", "en_GB", "fr_FR", "en_AU", "ja_JP", "pt_BR", "en_IN"})
        EXPECT_EQ(PaperForLocale(QLocale(QString::fromLatin1(name))).id(), QPageSize::A4) << name;
}

TEST(PdfReportTest, FourLandscapePagesWithTheEntriesAsText)
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
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+4\\n")))) << info.toStdString();
    // Letter, landscape: 11 x 8.5 inches.
    EXPECT_TRUE(info.contains(QStringLiteral("792 x 612 pts"))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Title:\\s+My progress")))) << info.toStdString();

    // Page by page: the data sheet's text on page 1, the charts after it.
    const QString page1
        = Poppler(QStringLiteral("pdftotext"), pdf,
                  {QStringLiteral("-f"), QStringLiteral("1"), QStringLiteral("-l"), QStringLiteral("1")});
    EXPECT_TRUE(page1.contains(QStringLiteral("Fitness Progress Chart for Men"))) << page1.toStdString();
    EXPECT_TRUE(page1.contains(QStringLiteral("187.75"))) << page1.toStdString();
    EXPECT_TRUE(page1.contains(QStringLiteral("183.25")));
    EXPECT_TRUE(page1.contains(QStringLiteral("3/17/2005")));
    EXPECT_TRUE(page1.contains(QStringLiteral("(pounds)")));
    const QString page3
        = Poppler(QStringLiteral("pdftotext"), pdf,
                  {QStringLiteral("-f"), QStringLiteral("3"), QStringLiteral("-l"), QStringLiteral("3")});
    EXPECT_TRUE(page3.contains(QStringLiteral("BMI"))) << page3.toStdString();
    EXPECT_FALSE(page3.contains(QStringLiteral("187.75")));
}

TEST(PdfReportTest, A4PagesAndTheDataSheetFitsThePageWidth)
{
    auto book = Template(102);
    const QByteArray pdf = PdfReport(*book, QPageSize(QPageSize::A4), QStringLiteral("Report"));
    const QString info = PdfInfo(pdf);
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+4\\n")))) << info.toStdString();
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+84[12](\\.\\d+)? x 595(\\.\\d+)? pts"))))
        << info.toStdString();

    // The sheet's text lies within the page's margins: pdftotext -bbox gives word boxes.
    const QString boxes = Poppler(QStringLiteral("pdftotext"), pdf,
                                  {QStringLiteral("-bbox"), QStringLiteral("-f"), QStringLiteral("1"),
                                   QStringLiteral("-l"), QStringLiteral("1")});
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
    EXPECT_TRUE(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n")))) << info.toStdString();
}
