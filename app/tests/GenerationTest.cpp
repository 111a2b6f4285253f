#include "automation/Automation.h"
#include "Constants.h"
#include "EntryDate.h"
#include "LogModel.h"
#include "Excel1.h"
#include "Form1.h"
#include "Form2.h"
#include "ProgramFiles.h"
#include "PreviewGeometry.h"
#include "MessageBox.h"
#include "TestSupport.h"
#include "model/Workbook.h"
#include "format/NumberFormat.h"
#include "model/Worksheet.h"
#include "charts/Chart.h"
#include "charts/ChartData.h"
#include "charts/ChartLayout.h"
#include "io/WorkbookFile.h"
#include "Settings.h"
#include "StoredLog.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <functional>

namespace {

class GenerationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearSettings();
        SetApplicationPathForTesting(programFolder.path());
        // The work folder lives in the user's runtime folder.
        savedRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", temp.path().toUtf8());
        form = std::make_unique<Form1>();
        form->Form_Load();
        form->show();
    }
    void TearDown() override
    {
        form.reset();
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
        SetApplicationPathForTesting(QString());
        ClearSettings();
    }

    void loadExample(bool metric)
    {
        if (metric)
            form->Option2()->click();
        form->PushButton(7)->click();
    }

    std::unique_ptr<sheet::Workbook> generate()
    {
        form->PushButton1()->click();
        Form2* preview = form->existingPreview();
        if (!preview || preview->mExcelFile.isEmpty())
            return nullptr;
        return sheet::loadWorkbook(preview->mExcelFile);
    }

    void addRows(int n)
    {
        LogModel& log = form->logModel();
        QList<LogEntry> rows;
        for (int i = 0; i < n; ++i) {
            LogEntry row{QStringLiteral("7/%1/2005").arg(i % 28 + 1)};
            for (int k = 1; k < log.columnCount(); ++k)
                row.append(QString::number(50 + i + k));
            rows.append(row);
        }
        log.appendEntries(rows);
    }

    QString workFolder() const { return temp.path() + QStringLiteral("/kalmora"); }

    QTemporaryDir programFolder;
    QTemporaryDir temp;
    QByteArray savedRuntime;
    std::unique_ptr<Form1> form;
};

} // namespace

TEST_F(GenerationTest, ImperialExampleFillsTemplateAndShowsPreview)
{
    ScriptedMessages messages;
    loadExample(false);
    const auto book = generate();
    ASSERT_TRUE(book);
    EXPECT_EQ(messages.count(), 0) << (messages.count() ? messages.asked()[0].text.toStdString() : "");

    Form2* preview = form->existingPreview();
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(form->isVisible());
    EXPECT_TRUE(preview->pictureShown());
    EXPECT_FALSE(form->generationBusy);
    EXPECT_FALSE(form->isBusyPointer());

    const QFileInfo workbook(preview->mExcelFile);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^qarvel[1-9]{8}\\.xls$")).match(workbook.fileName()).hasMatch());
    const QString folder = workbook.absolutePath();
    EXPECT_TRUE(folder.startsWith(QDir(temp.path()).absolutePath()));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/Fitness.xlt")));
    EXPECT_FALSE(QFileInfo::exists(folder + QStringLiteral("/temp.bmp")));
    EXPECT_FALSE(QFileInfo::exists(programFolder.filePath(QStringLiteral("temp.bmp"))));

    EXPECT_FALSE(book->isTemplate()); // a workbook, though it began as the template
    ASSERT_EQ(book->sheetCount(), 4);
    EXPECT_TRUE(book->sheet(1).isChart());
    const sheet::Worksheet* data = book->worksheet(book->activeSheet());
    ASSERT_TRUE(data);
    EXPECT_EQ(data->name(), QStringLiteral("Data"));
    EXPECT_DOUBLE_EQ(data->value(1, 8).asNumber(), 6);
    EXPECT_DOUBLE_EQ(data->value(2, 8).asNumber(), 0.375);
    EXPECT_DOUBLE_EQ(data->value(5, 0).asNumber(), 38148); // 6/10/2004
    EXPECT_DOUBLE_EQ(data->value(5, 1).asNumber(), 200);
    EXPECT_NEAR(data->value(5, 5).asNumber(), 161.42, 1e-9);
    EXPECT_NEAR(data->value(5, 6).asNumber(), 38.58, 1e-9);
    EXPECT_NEAR(data->value(5, 7).asNumber(), 19.29, 1e-9);
    EXPECT_NEAR(data->value(5, 8).asNumber(), 200.0 / 72.375 / 72.375 * 703, 1e-9);
    EXPECT_NEAR(data->value(7, 3).asNumber(), 35.5, 1e-12);
    // The example has 5 entries: rows 11 to 32 are empty, formulas included.
    for (int row = 10; row <= 31; ++row)
        for (int col = 0; col <= 8; ++col)
            EXPECT_TRUE(data->value(row, col).isEmpty()) << row << "," << col;
    EXPECT_TRUE(data->formulaText(10, 5).isEmpty());
}

TEST_F(GenerationTest, MetricExampleUsesItsOwnTemplateAndCells)
{
    ScriptedMessages messages;
    loadExample(true);
    const auto book = generate();
    ASSERT_TRUE(book);
    EXPECT_EQ(messages.count(), 0);
    const sheet::Worksheet* data = book->worksheet(book->activeSheet());
    ASSERT_TRUE(data);
    EXPECT_DOUBLE_EQ(data->value(1, 10).asNumber(), 1);
    EXPECT_DOUBLE_EQ(data->value(2, 10).asNumber(), 68);
    EXPECT_DOUBLE_EQ(data->value(5, 6).asNumber(), 29.21);
    EXPECT_NEAR(data->value(5, 10).asNumber(), 63.5 / 1.68 / 1.68, 1e-9);
    EXPECT_TRUE(data->value(10, 10).isEmpty());
    EXPECT_EQ(data->formulaText(9, 10), QStringLiteral("=B10/($K$2+$K$3/100)^2"));
}

TEST_F(GenerationTest, EntryDatesAreMonthFirstWhateverTheLocale)
{
    ScriptedMessages messages;
    for (const char* name : {"en_GB", "de_DE"}) {
        ScopedLocale locale(QString::fromLatin1(name));
        if (Form2* preview = form->existingPreview())
            preview->findChild<QPushButton*>(QStringLiteral("PushButton8"))->click();
        loadExample(false);
        const auto book = generate();
        ASSERT_TRUE(book) << name;
        const sheet::Worksheet* data = book->worksheet(book->activeSheet());
        EXPECT_DOUBLE_EQ(data->value(5, 0).asNumber(), 38148) << name; // 10 June 2004
        EXPECT_DOUBLE_EQ(data->value(8, 0).asNumber(), 38169) << name; // 1 July 2004
        EXPECT_TRUE(sheet::isDateFormat(book->xfNumberFormat(data->cellXf(5, 0)))) << name;
    }
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(GenerationTest, EmptyAndOverfullLogsFollowTheCellMap)
{
    ScriptedMessages messages;
    form->Option2()->click();
    addRows(28);
    auto book = generate();
    ASSERT_TRUE(book);
    const sheet::Worksheet* data = book->worksheet(book->activeSheet());
    EXPECT_DOUBLE_EQ(data->value(31, 6).asNumber(), 50 + 26 + 6); // entry 27 in row 32
    EXPECT_FALSE(data->value(32, 0).isEmpty());                   // entry 28 in row 33
    EXPECT_FALSE(data->formulaText(31, 10).isEmpty());            // nothing cleared

    form->existingPreview()->findChild<QPushButton*>(QStringLiteral("PushButton8"))->click();
    form->PushButton(5)->click(); // clear list
    book = generate();
    ASSERT_TRUE(book);
    data = book->worksheet(book->activeSheet());
    for (int row = 5; row <= 31; ++row)
        for (int col = 0; col <= 12; ++col)
            EXPECT_TRUE(data->value(row, col).isEmpty()) << row << "," << col;
    EXPECT_EQ(messages.count(), 0);
}

namespace {

sheet::Chart ChartOf(const sheet::Workbook& book, int index)
{
    return sheet::readChartSheetBody(book.sheet(index).records(),
                                     [&](std::uint16_t ixti) { return book.sheetForExternSheetIndex(ixti); });
}

// Every series of the three charts: values and dates from row 6 to `lastRow` (1-based), its
// name in row 5 above its values.
void ExpectChartsEndAt(const sheet::Workbook& book, int lastRow)
{
    for (int i = 1; i <= 3; ++i) {
        const sheet::Chart chart = ChartOf(book, i);
        ASSERT_FALSE(chart.series.empty()) << i;
        for (const sheet::ChartSeries& s : chart.series) {
            EXPECT_EQ(s.values.firstRow, 5) << i;
            EXPECT_EQ(s.values.lastRow, lastRow - 1) << i;
            EXPECT_EQ(s.categories, sheet::SheetRange::column(0, 0, 5, lastRow - 1)) << i;
            EXPECT_EQ(s.nameCell, sheet::SheetRange::cell(0, 4, s.values.firstCol)) << i;
        }
    }
}

} // namespace

TEST_F(GenerationTest, EveryEntryGetsItsRowFormulasAndChartPointsHoweverLongTheLog)
{
    ScriptedMessages messages;
    for (const bool metric : {false, true}) {
        if (metric)
            form->Option2()->click();
        for (const int n : {1, 27, 40, 1000, 10000}) {
            if (metric && n > 1000)
                break; // one log of years of daily entries is enough
            SCOPED_TRACE(testing::Message() << (metric ? "metric " : "imperial ") << n);
            if (Form2* preview = form->existingPreview())
                preview->findChild<QPushButton*>(QStringLiteral("PushButton8"))->click();
            LogModel& log = form->logModel();
            log.clearEntries();
            QList<LogEntry> rows;
            for (int i = 0; i < n; ++i) {
                LogEntry row{FormatEntryDate(QDate(2005, 1, 1).addDays(3 * i))};
                for (int k = 1; k < log.columnCount(); ++k)
                    row.append(QString::number(60 + (i % 9) + k));
                rows.append(row);
            }
            log.appendEntries(rows);
            const auto book = generate();
            ASSERT_TRUE(book);
            const sheet::Worksheet* data = book->worksheet(0);
            const int last = 5 + n - 1; // 0-based row of the last entry
            const int columns = metric ? 13 : 11;
            EXPECT_DOUBLE_EQ(data->value(last, 0).asNumber(), 38353 + 3 * (n - 1));
            for (int col = metric ? 7 : 5; col < columns; ++col) {
                EXPECT_FALSE(data->formulaText(last, col).isEmpty()) << col;
                EXPECT_TRUE(data->value(last, col).isNumber() || col == columns - 1) << col; // no goal: ""
                EXPECT_EQ(data->cellXf(last, col), data->cellXf(6, col)) << col;
            }
            EXPECT_EQ(data->rowHeight(last), data->rowHeight(6));
            for (int col = 0; col < columns; ++col)
                EXPECT_TRUE(data->value(last + 1, col).isEmpty()) << col;
            ExpectChartsEndAt(*book, last + 1);
        }
    }
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(GenerationTest, TheWorkbookIsInDateOrderWhileTheListKeepsItsOwn)
{
    ScriptedMessages messages;
    const QList<LogEntry> entries = {
        {"7/4/2005", "204", "42", "36", "34"},  {"someday", "203", "42", "36", "34"},
        {"6/1/2005", "201", "42", "36", "34"},  {"7/4/2005", "202", "42", "36", "34"},
        {"6.20.2005", "205", "42", "36", "34"},
    };
    form->logModel().clearEntries();
    form->logModel().appendEntries(entries);
    const auto book = generate();
    ASSERT_TRUE(book);
    const sheet::Worksheet* data = book->worksheet(0);
    const double weights[] = {201, 205, 204, 202, 203}; // equal dates in list order; no date last
    for (int i = 0; i < 5; ++i)
        EXPECT_DOUBLE_EQ(data->value(5 + i, 1).asNumber(), weights[i]) << i;
    EXPECT_DOUBLE_EQ(data->value(6, 0).asNumber(), 38523); // 6/20/2005, whatever its separator
    EXPECT_EQ(data->value(9, 0).asString(), QStringLiteral("someday"));
    EXPECT_EQ(form->logModel().entries(), entries);
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(GenerationTest, TheGoalComesFromTheActiveLogsSetting)
{
    ScriptedMessages messages;
    struct Case {
        bool metric;
        const char* stored;
        std::optional<double> goal;
    };
    const Case cases[] = {{false, "185.5", 185.5},     {false, "", std::nullopt},      {false, "lots", std::nullopt},
                          {false, "-5", std::nullopt}, {false, "1e308", std::nullopt}, {true, "62", 62}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        if (Form2* preview = form->existingPreview())
            preview->findChild<QPushButton*>(QStringLiteral("PushButton8"))->click();
        if (c.metric)
            form->Option2()->click();
        WriteSetting(SettingsSection, c.metric ? Keys::GoalWomen : Keys::GoalMen, QString::fromUtf8(c.stored));
        // The other log's goal is not this one's.
        WriteSetting(SettingsSection, c.metric ? Keys::GoalMen : Keys::GoalWomen, QStringLiteral("99"));
        loadExample(c.metric);
        const auto book = generate();
        ASSERT_TRUE(book);
        const sheet::Worksheet* data = book->worksheet(0);
        const int goalColumn = c.metric ? 12 : 10;
        const sheet::Value cell = data->value(3, c.metric ? 10 : 8);
        const sheet::Value column = data->value(7, goalColumn);
        if (c.goal) {
            EXPECT_DOUBLE_EQ(cell.asNumber(), *c.goal);
            EXPECT_DOUBLE_EQ(column.asNumber(), *c.goal);
        } else {
            EXPECT_TRUE(cell.isEmpty());
            EXPECT_EQ(column.asString(), QString());
        }
        for (int i = 2; i <= 3; ++i) {
            int goalLines = 0;
            for (const sheet::ChartSeries& s : ChartOf(*book, i).series)
                goalLines += s.values.firstCol == goalColumn ? 1 : 0;
            EXPECT_EQ(goalLines, c.goal ? 1 : 0) << i;
        }
    }
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(GenerationTest, SecondClickWhileBusyDoesNothing)
{
    form->generationBusy = true;
    form->PushButton1()->click();
    EXPECT_EQ(form->existingPreview(), nullptr);
    EXPECT_TRUE(form->isVisible());
}

TEST_F(GenerationTest, RunningSpreadsheetWarningAnsweredNoStops)
{
    sheet::automation::Application running; // another instance of this user
    ScriptedMessages messages;
    messages.answer(MsgAnswer::No);
    loadExample(false);
    form->PushButton1()->click();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_EQ(messages.asked()[0].text, ExcelOpenWarningText());
    EXPECT_EQ(messages.asked()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(form->existingPreview(), nullptr);
    EXPECT_FALSE(form->generationBusy);
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(QFileInfo::exists(workFolder()));

    messages.answer(MsgAnswer::Yes);
    form->PushButton1()->click();
    ASSERT_NE(form->existingPreview(), nullptr);
    EXPECT_TRUE(form->existingPreview()->isVisible());
}

TEST_F(GenerationTest, BackThenNewGenerationShowsTheNewPicture)
{
    ScriptedMessages messages;
    loadExample(false);
    ASSERT_TRUE(generate());
    Form2* preview = form->existingPreview();
    const QString first = preview->mExcelFile;
    const QImage firstPicture = preview->picture()->pixmap().toImage();
    preview->findChild<QPushButton*>(QStringLiteral("PushButton1"))->click(); // zoom in
    preview->findChild<QPushButton*>(QStringLiteral("PushButton8"))->click(); // back
    EXPECT_FALSE(QFileInfo::exists(first));
    EXPECT_TRUE(form->isVisible());

    form->Text1()->setText(QStringLiteral("5"));
    ASSERT_TRUE(generate());
    EXPECT_NE(preview->mExcelFile, first);
    EXPECT_FLOAT_EQ(preview->geometryModel().zoomFactor(), 1.0f);
    const QImage second = preview->picture()->pixmap().toImage();
    EXPECT_EQ(second.size(), firstPicture.size());
    EXPECT_NE(second, firstPicture);
    if (!qEnvironmentVariableIsEmpty("KALMORA_SAVE_PICTURES"))
        second.save(qEnvironmentVariable("KALMORA_SAVE_PICTURES"));
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(GenerationTest, DataPictureShowsTheWholeTableForBothTemplates)
{
    ScriptedMessages messages;
    for (const bool metric : {false, true}) {
        if (Form2* preview = form->existingPreview())
            preview->findChild<QPushButton*>(QStringLiteral("PushButton8"))->click();
        if (metric)
            form->Option2()->click();
        // Every data row filled, with the widest numbers a log holds.
        LogModel& log = form->logModel();
        log.clearEntries();
        for (int i = 0; i < (metric ? 27 : 26); ++i) {
            LogEntry row{QStringLiteral("12/%1/2004").arg(i + 1)};
            for (int k = 1; k < log.columnCount(); ++k)
                row.append(QStringLiteral("188.88"));
            log.appendEntries({row});
        }
        ASSERT_TRUE(generate()) << metric;
        Form2* preview = form->existingPreview();
        const PreviewGeometry& geometry = preview->geometryModel();
        // The trend and goal columns are in the picture, and the table stays about a screen
        // wide and high: not shrunk to a stamp, not grown past what the columns need.
        EXPECT_GE(geometry.pictureWidth(), (metric ? 840 : 765) * 15) << metric;
        EXPECT_LE(geometry.pictureWidth(), (metric ? 860 : 785) * 15) << metric;
        EXPECT_GE(geometry.pictureHeight(), 530 * 15) << metric;
        EXPECT_LE(geometry.pictureHeight(), 580 * 15) << metric;
    }
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(GenerationTest, NumbersReachTheWorkbookAsNumbersInEveryLocale)
{
    ScriptedMessages messages;
    form->PushButton(5)->click();
    struct Case {
        const char* locale;
        const char* stored;
    };
    // Today's stored form, and the decimal comma older versions stored under German settings.
    const Case cases[] = {{"en_US", "35.5"}, {"de_DE", "35.5"}, {"en_US", "35,5"}, {"de_DE", "35,5"}};
    for (const Case& c : cases) {
        ScopedLocale locale(QString::fromLatin1(c.locale));
        if (Form2* preview = form->existingPreview())
            preview->findChild<QPushButton*>(QStringLiteral("PushButton8"))->click();
        form->logModel().clearEntries();
        form->logModel().appendEntries({{"6/10/2004", "200.5", "42", QString::fromLatin1(c.stored), "34"}});
        const auto book = generate();
        ASSERT_TRUE(book) << c.locale << c.stored;
        const sheet::Worksheet* data = book->worksheet(book->activeSheet());
        EXPECT_DOUBLE_EQ(data->value(5, 1).asNumber(), 200.5) << c.locale << c.stored;
        EXPECT_DOUBLE_EQ(data->value(5, 3).asNumber(), 35.5) << c.locale << c.stored;
        EXPECT_NEAR(data->value(5, 5).asNumber(), 200.5 * 1.082 + 94.42 - 35.5 * 4.15, 1e-9) << c.locale << c.stored;
    }
    EXPECT_EQ(messages.count(), 0);
}

TEST_F(GenerationTest, AHeightTheTemplateCannotUseIsReportedAndNothingIsGenerated)
{
    loadExample(false);
    struct Case {
        bool metric;
        const char* first;
        const char* second;
        int field;
    };
    const Case cases[] = {{false, "5.9", "0", 1}, {false, "5", "ten", 2}, {true, "1", "3/8", 2}};
    for (const Case& c : cases) {
        if (c.metric)
            form->Option2()->click();
        form->Text1()->setText(c.first);
        form->Text2()->setText(c.second);
        ScriptedMessages messages;
        form->PushButton1()->click();
        ASSERT_EQ(messages.count(), 1) << c.first << c.second;
        EXPECT_EQ(messages.asked().first().icon, MsgIcon::Exclamation);
        EXPECT_EQ(form->existingPreview(), nullptr);
        EXPECT_TRUE(form->isVisible());
        EXPECT_FALSE(form->generationBusy);
        EXPECT_FALSE(form->isBusyPointer());
        QLineEdit* field = c.field == 1 ? form->Text1() : form->Text2();
        EXPECT_EQ(field->selectedText(), field->text());
        // The height stays as typed.
        EXPECT_EQ(form->Text1()->text(), c.first);
        EXPECT_EQ(form->Text2()->text(), c.second);
    }
    // Put right, it generates.
    form->Text2()->setText("68");
    ScriptedMessages messages;
    ASSERT_TRUE(generate());
    EXPECT_EQ(messages.count(), 0);
}

// ---------------------------------------------------------------- one failure, one message

namespace {

void ExpectNoPreview(Form1& form)
{
    EXPECT_TRUE(form.existingPreview() == nullptr || !form.existingPreview()->isVisible());
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(form.generationBusy);
    EXPECT_FALSE(form.isBusyPointer());
}

} // namespace

TEST_F(GenerationTest, AnUnusableWorkFolderIsReportedOnceAndNothingElseHappens)
{
    loadExample(false);
    struct Case {
        const char* what;
        std::function<void(const QString&)> spoil;
    };
    const Case cases[] = {
        {"a file in its place", [](const QString& f) { QFile(f).open(QIODevice::WriteOnly); }},
        {"a link in its place", [this](const QString& f) { QFile::link(programFolder.path(), f); }},
        {"open to others",
         [](const QString& f) {
             QDir().mkdir(f);
             QFile::setPermissions(f, QFileDevice::Permissions(0x7777));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(workFolder()).removeRecursively();
        QFile::remove(workFolder());
        c.spoil(workFolder());
        ScriptedMessages messages;
        form->PushButton1()->click();
        ASSERT_EQ(messages.count(), 1);
        EXPECT_TRUE(messages.asked()[0].text.contains(QStringLiteral("Form1.PushButton1_Click at line 35")))
            << messages.asked()[0].text.toStdString();
        EXPECT_TRUE(messages.asked()[0].text.contains(workFolder())) << messages.asked()[0].text.toStdString();
        ExpectNoPreview(*form);
    }
    QFile::remove(workFolder());
    QDir(workFolder()).removeRecursively();
}

TEST_F(GenerationTest, NoPictureMeansOneReportAndNoPreview)
{
    loadExample(false);
    // A folder where the picture should go: the capture cannot write it.
    ASSERT_TRUE(QDir().mkpath(workFolder() + QStringLiteral("/temp.bmp")));
    QFile::setPermissions(workFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    ScriptedMessages messages;
    form->PushButton1()->click();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked()[0].text.contains(QStringLiteral("Excel1.saveCellsActivesheet")))
        << messages.asked()[0].text.toStdString();
    ExpectNoPreview(*form);
    // The workbook of a generation that did not finish is not left behind.
    EXPECT_TRUE(QDir(workFolder()).entryList({QStringLiteral("qarvel*")}, QDir::Files).isEmpty());
}

TEST_F(GenerationTest, WhatCannotFitASheetIsRefusedInOneMessage)
{
    ScriptedMessages messages;
    addRows(65532); // one more than rows 6 to 65536 hold
    form->PushButton1()->click();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked()[0].text.startsWith(QStringLiteral("The log has 65532 entries")))
        << messages.asked()[0].text.toStdString();
    ExpectNoPreview(*form);

    messages.clear();
    form->PushButton(5)->click(); // clear list
    addRows(3);
    form->logModel().select(2);
    LogEntry long2 = form->logModel().entry(2);
    long2[3] = QString(40000, QLatin1Char('7'));
    form->logModel().replaceSelected(long2);
    form->PushButton1()->click();
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked()[0].text.contains(QStringLiteral("field 4 of entry 2 holds 40000 characters")))
        << messages.asked()[0].text.toStdString();
    ExpectNoPreview(*form);
    EXPECT_FALSE(QFileInfo::exists(workFolder() + QStringLiteral("/Fitness.xlt")));
}

TEST_F(GenerationTest, LeftoversGoAndWhateverStandsAtTheTemplatesNameIsReplaced)
{
    ScriptedMessages messages;
    loadExample(false);
    ASSERT_TRUE(QDir().mkpath(workFolder() + QStringLiteral("/Fitness.xlt/inside")));
    QFile::setPermissions(workFolder(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (const char* name : {"qarvel11111111.xls", "qarvel99999999.xls", "temp.bmp"})
        QFile(workFolder() + QLatin1Char('/') + QLatin1String(name)).open(QIODevice::WriteOnly);
    ASSERT_TRUE(generate());
    EXPECT_EQ(messages.count(), 0) << (messages.count() ? messages.asked()[0].text.toStdString() : "");
    const QString shown = form->existingPreview()->mExcelFile;
    EXPECT_EQ(QDir(workFolder()).entryList({QStringLiteral("qarvel*")}, QDir::Files),
              QStringList{QFileInfo(shown).fileName()});
    EXPECT_TRUE(QFileInfo(workFolder() + QStringLiteral("/Fitness.xlt")).isFile());

    // The template's name taken by a dangling link: replaced again.
    form->existingPreview()->findChild<QPushButton*>(QStringLiteral("PushButton8"))->click();
    QFile::remove(workFolder() + QStringLiteral("/Fitness.xlt"));
    ASSERT_TRUE(QFile::link(temp.path() + QStringLiteral("/nowhere"), workFolder() + QStringLiteral("/Fitness.xlt")));
    ASSERT_TRUE(generate());
    EXPECT_EQ(messages.count(), 0);
    EXPECT_FALSE(QFileInfo::exists(temp.path() + QStringLiteral("/nowhere")));
}

TEST_F(GenerationTest, TheWeightAxisReachesTheGoal)
{
    ScriptedMessages messages;
    WriteSetting(SettingsSection, Keys::GoalMen, QStringLiteral("150"));
    loadExample(false); // weights of 200 to 205
    const auto book = generate();
    ASSERT_TRUE(book);
    for (int i = 2; i <= 3; ++i) {
        const sheet::Chart chart = ChartOf(*book, i);
        const sheet::ChartLayout layout
            = sheet::layoutChart(*book, chart, sheet::readChartData(*book, chart), QRectF(0, 0, 1000, 700));
        ASSERT_TRUE(layout.hasPlot) << i;
        EXPECT_LE(layout.primary.scale.min, 150) << i;
        EXPECT_GE(layout.primary.scale.max, 205) << i;
    }
    EXPECT_EQ(messages.count(), 0);
}
