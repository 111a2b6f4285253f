#include "Excel1.h"

#include "automation/Automation.h"
#include "MessageBox.h"
#include "TestSupport.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "io/WorkbookFile.h"

#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ax = sheet::automation;

TEST(ExcelSaveFormat, VersionsAfterElevenGetTheNewNumber)
{
    EXPECT_EQ(SaveFormatForVersion(QStringLiteral("11.0")), -4143);
    EXPECT_EQ(SaveFormatForVersion(QStringLiteral("9.0")), -4143);
    EXPECT_EQ(SaveFormatForVersion(QStringLiteral("12.0")), 56);
    EXPECT_EQ(SaveFormatForVersion(QStringLiteral("14.0")), 56);
    EXPECT_EQ(SaveFormatForVersion(QStringLiteral("16.0")), 56);
    {
        ScopedLocale german(QStringLiteral("de_DE"));
        EXPECT_EQ(SaveFormatForVersion(QStringLiteral("12.0")), 56);
        EXPECT_EQ(SaveFormatForVersion(QStringLiteral("11.0")), -4143);
    }
    EXPECT_THROW(SaveFormatForVersion(QStringLiteral("twelve")), std::exception);
}

TEST(ExcelSaveFormat, OwnInstanceEndsGivenOneKeepsRunning)
{
    EXPECT_FALSE(isExcelRunning());
    EXPECT_EQ(excelSaveFormat(), 56);
    EXPECT_FALSE(isExcelRunning()); // the instance it started is gone again
    ax::Application app;
    EXPECT_EQ(excelSaveFormat(&app), 56);
    EXPECT_TRUE(app.isRunning());
    EXPECT_TRUE(isExcelRunning());
}

TEST(ExcelWarning, OnlyWhenRunningAndYesGoesOn)
{
    ScriptedMessages messages;
    EXPECT_FALSE(warnExcelOpen());
    EXPECT_EQ(messages.count(), 0);

    ax::Application running;
    messages.answer(MsgAnswer::Yes);
    EXPECT_FALSE(warnExcelOpen());
    messages.answer(MsgAnswer::No);
    EXPECT_TRUE(warnExcelOpen());
    ASSERT_EQ(messages.count(), 2);
    EXPECT_EQ(messages.asked()[0].text,
              QStringLiteral("Excel may be open. It is recommended that you close Excel first.\r"
                             "Use Ctrl+Alt+Del > Task Manager > EXCEL.EXE if necessary.\r\n\r\n"
                             "Would you like to proceed anyway?"));
    EXPECT_EQ(messages.asked()[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(messages.asked()[0].icon, MsgIcon::None);
}

namespace {

// A workbook whose only sheet has text in the given cells (1-based), saved and reopened.
QString WorkbookWith(const QTemporaryDir& dir, const QList<QPair<int, int>>& cells)
{
    sheet::Workbook wb;
    const int index = wb.addWorksheet(QStringLiteral("Data"));
    for (const auto& c : cells)
        wb.worksheet(index)->setText(c.first - 1, c.second - 1, QStringLiteral("x"));
    const QString path = dir.filePath(QStringLiteral("w%1.xls").arg(cells.size()));
    sheet::saveWorkbook(wb, path);
    return path;
}

} // namespace

TEST(SaveCellsActivesheet, PictureOnlyWhenTheUsedRangeGoesPastRowAndColumnOne)
{
    QTemporaryDir dir;
    ScriptedMessages messages;
    const QString picture = dir.filePath(QStringLiteral("temp.bmp"));
    const QList<QList<QPair<int, int>>> noPicture = {{{1, 1}}, {{1, 1}, {9, 1}}, {{1, 1}, {1, 9}}};
    for (const auto& cells : noPicture) {
        auto app = openExcelWithWorkbook(WorkbookWith(dir, cells));
        saveCellsActivesheet(app->Workbooks()(1), picture);
        EXPECT_FALSE(QFile::exists(picture)) << cells.size();
        app->Quit();
    }

    auto app = openExcelWithWorkbook(WorkbookWith(dir, {{1, 1}, {32, 11}}));
    saveCellsActivesheet(app->Workbooks()(1), picture);
    const QImage image(picture);
    ASSERT_FALSE(image.isNull());
    EXPECT_EQ(image, app->Workbooks()(1).ActiveSheet().UsedRange().Picture().convertToFormat(image.format()));
    EXPECT_EQ(messages.count(), 0);
}

TEST(SaveCellsActivesheet, UnwritablePictureIsReportedOnce)
{
    QTemporaryDir dir;
    ScriptedMessages messages;
    auto app = openExcelWithWorkbook(WorkbookWith(dir, {{1, 1}, {3, 3}}));
    saveCellsActivesheet(app->Workbooks()(1), dir.filePath(QStringLiteral("missing/temp.bmp")));
    ASSERT_EQ(messages.count(), 1);
    EXPECT_TRUE(messages.asked()[0].text.contains(QStringLiteral("Excel1.saveCellsActivesheet ")));
    EXPECT_EQ(messages.asked()[0].title, QStringLiteral("Application Error"));
}
