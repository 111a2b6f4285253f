#include "EntryDate.h"
#include "LogExport.h"
#include "LogImport.h"
#include "TestSupport.h"
#include "WorkbookImport.h"

#include "file/DurableFile.h"
#include "io/WorkbookFile.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A file with these bytes in a folder of its own.
class ImportFile {
public:
    explicit ImportFile(const QByteArray& bytes, const QString& name = QStringLiteral("log.csv"))
    {
        m_path = m_dir.filePath(name);
        QFile file(m_path);
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }
    const QString& path() const { return m_path; }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

ImportTable Table(const QByteArray& bytes) { return ReadImportFile(ImportFile(bytes).path()); }

// The whole import without a question: read, detect, convert.
ImportResult Import(const QByteArray& bytes, bool imperial, ImportLayout* layoutOut = nullptr)
{
    const ImportTable table = Table(bytes);
    const ImportLayout layout = DetectLayout(table, imperial);
    if (layoutOut)
        *layoutOut = layout;
    return ConvertImport(table, layout, imperial);
}

// The message a refused file gets.
QString Refusal(const QByteArray& bytes)
{
    try {
        const ImportTable table = Table(bytes);
        DetectLayout(table, true);
    } catch (const ImportRefused& e) {
        return e.description();
    }
    return QStringLiteral("<not refused>");
}

TEST(ImportShapes, SemicolonsDecimalCommasAndDayFirstDates)
{
    ScopedLocale us("en_US");
    // As a German spreadsheet saves it: day first although the user's locale puts the month first.
    const QByteArray csv = "Datum;Gewicht (kg);Brust;Taille (cm);Hüfte\r\n"
                           "15.07.2024;80,5;101;90,5;\r\n"
                           "01.08.2024;79,8;100,5;89;104\r\n";
    ImportLayout layout;
    const ImportResult result = Import(csv, false, &layout);
    EXPECT_TRUE(layout.header);
    EXPECT_EQ(layout.decimal, u',');
    EXPECT_EQ(layout.dateOrder, DateOrder::DayFirst);
    EXPECT_EQ(layout.fields,
              QList<int>(
                  {ImportField::Date, ImportField::Weight, ImportField::Chest, ImportField::Waist, ImportField::Hips}));
    EXPECT_TRUE(result.rejected.isEmpty());
    ASSERT_EQ(result.entries.size(), 2);
    EXPECT_EQ(result.entries.at(0), LogEntry({"7/15/2024", "80.5", "101", "90.5", "", "", ""}));
    EXPECT_EQ(result.entries.at(1), LogEntry({"8/1/2024", "79.8", "100.5", "89", "104", "", ""}));
}

TEST(ImportShapes, IsoTimestampsWithZonesKeepTheirDateAndConvertUnits)
{
    const QByteArray csv = "timestamp,weight_kg,waist_cm\n"
                           "2024-03-01T07:15:00Z,82.3,95\n"
                           "2024-03-02 23:59:59+01:00,82.1,94.5\n"
                           "2024-03-04T06:00:00.250-05:00,81.9,\n";
    ImportLayout layout;
    const ImportResult result = Import(csv, true, &layout);
    EXPECT_EQ(layout.weightUnit, WeightUnit::Kilograms);
    EXPECT_EQ(layout.lengthUnit, LengthUnit::Centimetres);
    ASSERT_TRUE(result.rejected.isEmpty()) << DescribeRejected(result.rejected).toStdString();
    ASSERT_EQ(result.entries.size(), 3);
    // 82.3 kg in pounds, 95 cm in inches, rounded to two decimals; the time of day is left out.
    EXPECT_EQ(result.entries.at(0), LogEntry({"3/1/2024", "181.44", "", "37.4", ""}));
    EXPECT_EQ(result.entries.at(1), LogEntry({"3/2/2024", "181", "", "37.2", ""}));
    EXPECT_EQ(result.entries.at(2), LogEntry({"3/4/2024", "180.56", "", "", ""}));
}

TEST(ImportShapes, ByteOrderMarkOfASpreadsheetAndAPlainDateWeightFile)
{
    // "CSV UTF-8" of a spreadsheet: a byte-order mark, CR LF, a last line without one.
    ImportLayout layout;
    const ImportResult result = Import("\xEF\xBB\xBF"
                                       "Date,Weight (lbs)\r\n6/10/2004,200\r\n6/17/2004,199.5",
                                       true, &layout);
    EXPECT_TRUE(layout.known);
    EXPECT_EQ(layout.fields, QList<int>({ImportField::Date, ImportField::Weight}));
    EXPECT_EQ(result.entries, QList<LogEntry>({{"6/10/2004", "200", "", "", ""}, {"6/17/2004", "199.5", "", "", ""}}));

    // No header: a date and a number per line is the weight in the log's unit, no question.
    const ImportResult plain = Import("2024-01-02\t71.5\n2024-01-09\t71.1\n", false, &layout);
    EXPECT_TRUE(layout.known);
    EXPECT_FALSE(layout.header);
    EXPECT_EQ(plain.entries.first(), LogEntry({"1/2/2024", "71.5", "", "", "", "", ""}));

    // UTF-16 with its mark, as "Unicode Text" is saved.
    QByteArray utf16("\xFF\xFE");
    const QString text = QStringLiteral("Date\tWeight\r\n2024-05-01\t80\r\n");
    utf16.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    EXPECT_EQ(Import(utf16, false).entries.size(), 1);
}

TEST(ImportShapes, OtherColumnsNeedTheMappingDialog)
{
    ImportLayout layout;
    Import("Date,Weight,Fat %,Note\n2024-01-01,80,20,\"after dinner, late\"\n", false, &layout);
    EXPECT_FALSE(layout.known);
    // What is recognised is proposed all the same.
    EXPECT_EQ(layout.fields,
              QList<int>({ImportField::Date, ImportField::Weight, ImportField::None, ImportField::None}));
    EXPECT_TRUE(LayoutProblem(layout, false).isEmpty());
}

TEST(ImportDates, DayOrMonthFirstFromTheDatesThenTheLocale)
{
    const QByteArray ambiguous = "Date,Weight\n01/02/2024,80\n03/04/2024,81\n";
    {
        ScopedLocale us("en_US");
        EXPECT_EQ(Import(ambiguous, false).entries.first().first(), "1/2/2024");
    }
    {
        ScopedLocale gb("en_GB");
        ImportLayout layout;
        const ImportResult result = Import(ambiguous, false, &layout);
        EXPECT_EQ(layout.dateOrder, DateOrder::DayFirst);
        EXPECT_EQ(ParseEntryDate(result.entries.first().first()), QDate(2024, 2, 1));
    }
    {
        // One date that only reads day first settles it whatever the locale.
        ScopedLocale us("en_US");
        const ImportResult result = Import("Date,Weight\n01/02/2024,80\n13/02/2024,81\n", false);
        EXPECT_EQ(result.entries.at(0).first(), "2/1/2024");
        EXPECT_EQ(result.entries.at(1).first(), "2/13/2024");
    }
    {
        ScopedLocale c("C");
        EXPECT_EQ(Import(ambiguous, false).entries.first().first(), "1/2/2024");
    }
}

TEST(ImportDates, FormsReadAndRefused)
{
    EXPECT_EQ(ReadImportDate("2024-02-29", DateOrder::MonthFirst), QDate(2024, 2, 29));
    EXPECT_EQ(ReadImportDate(" 2024/2/3 ", DateOrder::DayFirst), QDate(2024, 2, 3));
    EXPECT_EQ(ReadImportDate("7/15/24 8:30 PM", DateOrder::MonthFirst), QDate(2024, 7, 15));
    EXPECT_EQ(ReadImportDate("15-07-1985", DateOrder::DayFirst), QDate(1985, 7, 15));
    EXPECT_EQ(ReadImportDate("1.2.29", DateOrder::DayFirst), QDate(2029, 2, 1));
    EXPECT_EQ(ReadImportDate("1.2.30", DateOrder::DayFirst), QDate(1930, 2, 1));
    for (const char* text :
         {"2023-02-29", "13/13/2024", "15.07", "yesterday", "", "2024-01-01x", "1/2-2024", "99999-01-01", "1500-01-01"})
        EXPECT_FALSE(ReadImportDate(text, DateOrder::MonthFirst).has_value()) << text;
    // 15 cannot be a month.
    EXPECT_FALSE(ReadImportDate("15/07/2024", DateOrder::MonthFirst).has_value());
}

TEST(ImportNumbers, SeparatorsAndUnits)
{
    QString unit;
    EXPECT_EQ(ReadImportNumber("80,5", u','), 80.5);
    EXPECT_FALSE(ReadImportNumber("80,5", u'.').has_value());
    EXPECT_FALSE(ReadImportNumber("80.5", u',').has_value());
    EXPECT_EQ(ReadImportNumber(" 176 lbs ", u'.', &unit), 176);
    EXPECT_EQ(unit, "lb");
    EXPECT_EQ(ReadImportNumber("36\"", u'.', &unit), 36);
    EXPECT_EQ(unit, "in");
    EXPECT_EQ(ReadImportNumber(".5", u'.'), 0.5);
    for (const char* text : {"", "abc", "1.2.3", "1,234.5", "80 stone", "1e5", "-", "."})
        EXPECT_FALSE(ReadImportNumber(text, u'.').has_value()) << text;
}

TEST(ImportRows, UnreadableRowsAreListedWithTheirLinesAndLeftOut)
{
    const QByteArray csv = "Date,Weight,Waist\n"
                           "1/2/2024,80,90\n"
                           "someday,81,90\n"
                           "\n"
                           "1/4/2024,abc,90\n"
                           "1/5/2024,-3,90\n"
                           ",82,90\n"
                           "\"1/6/2024\",\"82\n\",90\n"
                           "1/7/2024,83,\n";
    ImportLayout layout;
    const ImportResult result = Import(csv, true, &layout);
    ASSERT_EQ(result.rejected.size(), 4);
    EXPECT_EQ(result.rejected.at(0).line, 3);
    EXPECT_TRUE(result.rejected.at(0).reason.contains("\"someday\" is not a date"));
    EXPECT_EQ(result.rejected.at(1).line, 5);
    EXPECT_TRUE(result.rejected.at(1).reason.contains("\"abc\" is not a number (Weight)"));
    EXPECT_EQ(result.rejected.at(2).line, 6);
    EXPECT_EQ(result.rejected.at(3).line, 7);
    // A quoted value with a line break in it counts both lines; the next row starts on line 10.
    ASSERT_EQ(result.entries.size(), 3);
    EXPECT_EQ(result.entries.at(1).at(1), "82");
    EXPECT_EQ(result.entries.at(2), LogEntry({"1/7/2024", "83", "", "", ""}));
    const QString described = DescribeRejected(result.rejected, 2);
    EXPECT_TRUE(described.startsWith("Line 3: "));
    EXPECT_TRUE(described.endsWith("... and 2 more."));
}

TEST(ImportRows, UnlikelyValuesAreImportedAndPointedOut)
{
    const ImportResult result = Import("Date,Weight (kg)\n2024-01-01,80\n2024-01-02,800\n2024-01-03,0.0001\n", false);
    EXPECT_EQ(result.entries.size(), 3);
    EXPECT_EQ(result.unlikelyLines, QList<int>({3, 4}));
}

TEST(ImportDelimiters, TabSemicolonOrCommaByWhatSplitsEveryLine)
{
    EXPECT_EQ(DetectDelimiter("a\tb\n1\t2\n"), u'\t');
    EXPECT_EQ(DetectDelimiter("Date;Weight\n1.2.2024;80,5\n2.2.2024;80\n"), u';');
    // Semicolons inside quotes do not split.
    EXPECT_EQ(DetectDelimiter("Date,Note\n2024-01-01,\"a;b\"\n2024-01-02,\"c;d;e\"\n"), u',');
    // A file of one column.
    EXPECT_EQ(DetectDelimiter("2024-01-01\n"), u',');
    const ImportTable table = SplitDelimited("a,\"b \"\"q\"\"\",c\r\n\r\n1,2,3\r\n", u',');
    ASSERT_EQ(table.rows.size(), 2);
    EXPECT_EQ(table.rows.at(0).cells, QStringList({"a", "b \"q\"", "c"}));
    EXPECT_EQ(table.rows.at(1).line, 3);
}

TEST(ImportRefusals, EachBadFileGetsOneClearMessage)
{
    EXPECT_TRUE(Refusal("").contains("empty"));
    EXPECT_TRUE(Refusal(" \r\n\r\n").contains("no values"));
    EXPECT_TRUE(Refusal("Date,Weight\r\n").contains("only a header row"));
    const char png[] = "\x89PNG\r\n\x1A\n\0\0\0\rIHDR";
    EXPECT_TRUE(Refusal(QByteArray(png, sizeof png - 1)).contains("not a text file"));
    EXPECT_TRUE(Refusal("Date\x01,Weight\n").contains("not a text file"));
    // Latin-1 "Größe" on the third line.
    const QString badBytes = Refusal("Date,Weight\n2024-01-01,80\nGr\xF6\xDF"
                                     "e,81\n");
    EXPECT_TRUE(badBytes.contains("Line 3")) << badBytes.toStdString();
    EXPECT_TRUE(badBytes.contains("UTF-8"));
    EXPECT_TRUE(Refusal("\xEF\xBB").contains("UTF-8"));
    EXPECT_TRUE(Refusal("Date,Note\n2024-01-01,\"open\n2024-01-02,80\n").contains("line 2 is never closed"));
    EXPECT_TRUE(Refusal("PK\x03\x04rest of a zip").contains(".xlsx"));
    EXPECT_TRUE(
        Refusal(QByteArray("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + QByteArray(504, '\0')).contains("cannot be read"));
}

TEST(ImportRefusals, FilesOverTheLimitsAreRefusedWholeBeforeAnyRow)
{
    QTemporaryDir dir;
    const QString big = dir.filePath("big.csv");
    {
        QFile file(big);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        // Sparse: 50 MB and one byte without writing them.
        ASSERT_TRUE(file.resize(ImportByteLimit + 1));
    }
    try {
        ReadImportFile(big);
        ADD_FAILURE() << "a file over 50 MB was read";
    } catch (const ImportRefused& e) {
        EXPECT_EQ(e.description(), TooLargeMessage());
    }

    QByteArray rows = "Date,Weight\n";
    rows.reserve(ImportRowLimit * 8);
    for (int i = 0; i <= ImportRowLimit; ++i)
        rows += "1/1/24,1\n";
    EXPECT_EQ(Refusal(rows), TooLargeMessage());
    // Rows too wide for any log, and a file of nothing but separators.
    EXPECT_TRUE(Refusal("Date,Weight\n1/1/24,1" + QByteArray(300, ',') + "\n")
                    .contains("Line 2 of this file holds "
                              "more than 256 values"));
    QByteArray commas;
    for (int i = 0; i < 40000; ++i)
        commas += QByteArray(250, ',') + '\n';
    EXPECT_TRUE(Refusal(commas).contains("more values than a log could use"));
    // Exactly the limit of rows under a header is taken.
    rows.chop(9);
    EXPECT_EQ(Refusal(rows), "<not refused>");

    try {
        ReadImportFile(dir.path());
        ADD_FAILURE() << "a folder was read";
    } catch (const ImportRefused& e) {
        EXPECT_TRUE(e.description().contains("folder"));
    }
}

TEST(ImportMerge, SkipReplaceOrKeepBothOnDatesTheLogHas)
{
    const QList<LogEntry> log = {{"1/1/2024", "80"}, {"1/2/2024", "81"}, {"1/2/2024", "81.5"}, {"1/3/2024", "82"}};
    const QList<LogEntry> imported = {{"1/2/2024", "70"}, {"1/5/2024", "72"}, {"1/3/2024", "71"}};
    EXPECT_EQ(CountSameDates(log, imported), 2);
    EXPECT_EQ(
        MergeImport(log, imported, SameDate::Skip),
        QList<LogEntry>(
            {{"1/1/2024", "80"}, {"1/2/2024", "81"}, {"1/2/2024", "81.5"}, {"1/3/2024", "82"}, {"1/5/2024", "72"}}));
    // The day's entries give way to the imported ones, where the first of them stood.
    EXPECT_EQ(MergeImport(log, imported, SameDate::Replace),
              QList<LogEntry>({{"1/1/2024", "80"}, {"1/2/2024", "70"}, {"1/3/2024", "71"}, {"1/5/2024", "72"}}));
    EXPECT_EQ(MergeImport(log, imported, SameDate::KeepBoth), log + imported);
    // Dates written with another separator are the same dates.
    EXPECT_EQ(CountSameDates({{"1.2.2024", "80"}}, {{"1/2/2024", "81"}}), 1);
    EXPECT_EQ(MergeImport({}, imported, SameDate::Skip), imported);
}

TEST(ImportLayoutCheck, ProblemsNameWhatToChoose)
{
    ImportLayout layout;
    layout.fields = {ImportField::None, ImportField::Weight};
    EXPECT_TRUE(LayoutProblem(layout, true).contains("dates"));
    layout.fields = {ImportField::Date, ImportField::None};
    EXPECT_TRUE(LayoutProblem(layout, true).contains("at least one column"));
    layout.fields = {ImportField::Date, ImportField::Weight, ImportField::Weight};
    EXPECT_TRUE(LayoutProblem(layout, true).contains("\"Weight\" is chosen for more than one column"));
    layout.fields = {ImportField::Date, ImportField::Wrist};
    EXPECT_FALSE(LayoutProblem(layout, true).isEmpty());
    EXPECT_TRUE(LayoutProblem(layout, false).isEmpty());
}

TEST(ExportImport, ExportThenImportIntoAnEmptyLogGivesTheSameLog)
{
    for (const bool imperial : {true, false}) {
        const QList<LogEntry> log = imperial ? QList<LogEntry>{{"6/10/2004", "200", "42", "36", "34"},
                                                               {"6/17/2004", "199.5", "", "35.75", "34"},
                                                               {"6/17/2004", "201", "42.25", "36", ""},
                                                               {"1/3/2005", "198.20", "41", "35", "33.5"}}
                                             : QList<LogEntry>{{"6/10/2004", "72.4", "96", "82", "104", "15.6", "25.6"},
                                                               {"12/31/2004", "71", "", "81.5", "103", "", "25.55"}};
        const QList<ComputedFigures> figures(log.size(), ComputedFigures{27.5, std::nullopt, 12.25, 1.0 / 3});
        const QByteArray csv = ExportCsvBytes(imperial, log, figures);
        ImportLayout layout;
        const ImportResult result = Import(csv, imperial, &layout);
        EXPECT_TRUE(layout.known) << imperial;
        EXPECT_TRUE(result.rejected.isEmpty());
        EXPECT_EQ(MergeImport({}, result.entries, SameDate::Skip), log) << imperial;
    }
}

TEST(Export, HeaderIsoDatesPointsAndTheComputedFigures)
{
    ScopedLocale german("de_DE");
    const QByteArray csv = ExportCsvBytes(
        true, {{"6/10/2004", "200", "42,5", "36", "34"}, {"6.17.2004", "", "", "", ""}, {"soon", "a,b", "", "", ""}},
        {ComputedFigures{180.1234, 19.876, 9.938, std::nullopt}});
    EXPECT_EQ(csv,
              "Date,Weight (lbs),Chest (inch),Waist (inch),Hips (inch),Lean Body Weight (lbs),Body Fat Weight (lbs),"
              "Body Fat Percentage,BMI\r\n"
              "2004-06-10,200,42.5,36,34,180.12,19.88,9.94,\r\n"
              "2004-06-17,,,,,,,,\r\n"
              "soon,\"a,b\",,,,,,,\r\n");
    EXPECT_EQ(ExportHeader(false).mid(5, 3), QStringList({"Wrist (cm)", "Forearm (cm)", "Lean Body Weight (kg)"}));
}

TEST(Export, WrittenWholeOrNotAtAll)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("log.csv");
    WriteExportFile(path, "old");
    {
        sheet::DurableFaults faults;
        faults.failWriteAtByte = 3;
        sheet::ScopedDurableFaults scoped(faults);
        EXPECT_THROW(WriteExportFile(path, "new and longer"), Failure);
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "old");
    EXPECT_THROW(WriteExportFile(dir.filePath("no/such/folder/log.csv"), "x"), Failure);
}

} // namespace

namespace {

// A workbook laid out as Kalmora's: a title, the height, headers in row 5, entries from row 6
// with formulas beside them, and rows emptied after the entries.
QByteArray KalmoraLikeWorkbook()
{
    sheet::Workbook book;
    const int other = book.addWorksheet("Notes");
    book.worksheet(other)->setText(0, 0, "Date");
    const int data = book.addWorksheet("Data");
    sheet::Worksheet& ws = *book.worksheet(data);
    ws.setText(0, 0, "Fitness Progress Chart for Men");
    ws.setText(1, 7, "Height (feet)");
    ws.setNumber(1, 8, 5);
    const QStringList headers = {"Date",           "Weight (pounds)", "Chest (inches)",
                                 "Waist (inches)", "Hips (inches)",   "Estimated Lean Body Weight"};
    for (int c = 0; c < headers.size(); ++c)
        ws.setText(4, c, headers.at(c));
    ws.setDate(5, 0, QDate(2004, 6, 10));
    ws.setNumber(5, 1, 200.5);
    ws.setNumber(5, 2, 42);
    ws.setNumber(5, 3, 36.25);
    ws.setNumber(5, 4, 34);
    ws.setFormula(5, 5, "=B6*1.082+94.42-D6*4.15");
    ws.setDate(6, 0, QDate(2004, 6, 17));
    ws.setNumber(6, 1, 199);
    ws.setFormula(6, 5, "=B7*1.082+94.42-D7*4.15");
    // Emptied rows keep their formats only.
    ws.setBlank(7, 0);
    ws.setBlank(7, 1);
    book.setActiveSheet(data);
    const sheet::Bytes bytes = sheet::workbookToBytes(book);
    return QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size()));
}

TEST(ImportWorkbook, TheDataSheetsEntriesComeBack)
{
    ImportFile file(KalmoraLikeWorkbook(), "Fitness Progress.xls");
    const ImportTable table = ReadImportFile(file.path());
    EXPECT_TRUE(table.fromWorkbook);
    const ImportLayout layout = DetectLayout(table, true);
    EXPECT_TRUE(layout.known);
    EXPECT_EQ(layout.fields.mid(0, 6),
              QList<int>({ImportField::Date, ImportField::Weight, ImportField::Chest, ImportField::Waist,
                          ImportField::Hips, ImportField::None}));
    const ImportResult result = ConvertImport(table, layout, true);
    EXPECT_TRUE(result.rejected.isEmpty()) << DescribeRejected(result.rejected).toStdString();
    EXPECT_EQ(result.entries,
              QList<LogEntry>({{"6/10/2004", "200.5", "42", "36.25", "34"}, {"6/17/2004", "199", "", "", ""}}));

    // Into the metric log the pounds and inches become kilograms and centimetres.
    const ImportResult metric = ConvertImport(table, DetectLayout(table, false), false);
    ASSERT_EQ(metric.entries.size(), 2);
    EXPECT_EQ(metric.entries.first(), LogEntry({"6/10/2004", "90.95", "106.68", "92.08", "86.36", "", ""}));
}

TEST(ImportWorkbook, AWorkbookWithoutEntriesIsRefused)
{
    sheet::Workbook book;
    book.addWorksheet("Sheet1");
    book.worksheet(0)->setText(0, 0, "Weight");
    const sheet::Bytes bytes = sheet::workbookToBytes(book);
    ImportFile file(QByteArray(reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())));
    // The name says CSV; the bytes say workbook.
    EXPECT_THROW(
        {
            try {
                ReadImportFile(file.path());
            } catch (const ImportRefused& e) {
                EXPECT_TRUE(e.description().contains("no sheet with a \"Date\" column"));
                throw;
            }
        },
        ImportRefused);
}

} // namespace
