// The automation facade and the per-user registry of running instances.
#include "TestUtil.h"

#include "automation/Automation.h"
#include "automation/InstanceRegistry.h"
#include "model/Workbook.h"
#include "render/Render.h"
#include "render/RenderLimits.h"
#include "io/WorkbookFile.h"

#include <QDir>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace sheet::test {
namespace {

namespace ax = sheet::automation;
using ax::Application;

// Every test gets its own runtime folder, so instances of other test runs are not seen.
class AutomationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(runtime.isValid());
        oldRuntime = qgetenv("XDG_RUNTIME_DIR");
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        const QString path = dataPath("reference-imperial.xls");
        copy = files.filePath(QStringLiteral("template.xlt"));
        ASSERT_TRUE(QFile::copy(path, copy));
    }
    void TearDown() override { qputenv("XDG_RUNTIME_DIR", oldRuntime); }

    QTemporaryDir runtime;
    QTemporaryDir files;
    QByteArray oldRuntime;
    QString copy;
};

TEST_F(AutomationTest, AnInstanceIsSeenWhileItRunsAndNotAfterQuit)
{
    EXPECT_FALSE(isApplicationRunning());
    {
        Application app;
        EXPECT_TRUE(isApplicationRunning());
        EXPECT_EQ(app.Value(), QStringLiteral("Microsoft Excel"));
        EXPECT_EQ(app.Version(), QStringLiteral("12.0"));
        app.Quit();
        EXPECT_FALSE(isApplicationRunning());
        EXPECT_THROW(app.Workbooks().Open(copy), Error);
    }
    {
        Application a;
        {
            Application b;
        }
        EXPECT_TRUE(isApplicationRunning()); // b's end does not hide a
    }
    EXPECT_FALSE(isApplicationRunning());
}

TEST_F(AutomationTest, EntriesOfDeadProcessesAreIgnored)
{
    QProcess child;
    child.start(QStringLiteral("/bin/true"), {});
    ASSERT_TRUE(child.waitForFinished(10000));
    const qint64 deadPid = child.processId() > 0 ? child.processId() : 999999;
    const QString folder = instanceRegistryFolder();
    QFile stale(QDir(folder).filePath(QStringLiteral("instance-%1-0.lock").arg(deadPid)));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray::number(deadPid) + "\nsheet\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    stale.close();
    EXPECT_FALSE(isApplicationRunning());
    EXPECT_FALSE(QFile::exists(stale.fileName()));
}

TEST_F(AutomationTest, RegistrationsAKilledProcessLeftHalfwayGo)
{
    const QString folder = instanceRegistryFolder();
    const QString left = QDir(folder).filePath(QStringLiteral("pending-instance-999999-0.lock"));
    const QString fresh = QDir(folder).filePath(QStringLiteral("pending-instance-999999-1.lock"));
    for (const QString& path : {left, fresh}) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    // Killed a minute ago; the other may be a registration under way.
    const struct timespec aMinuteAgo[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 60, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(left).constData(), aMinuteAgo, 0), 0);
    isApplicationRunning();
    EXPECT_FALSE(QFile::exists(left));
    EXPECT_TRUE(QFile::exists(fresh));
    QFile::remove(fresh);
}

TEST_F(AutomationTest, OpenFillSaveReopenAsThePrograms)
{
    Application a;
    ax::Workbook w = a.Workbooks().Open(copy);
    EXPECT_EQ(a.Workbooks().count(), 1);
    ax::Worksheet data = w.ActiveSheet();
    EXPECT_EQ(data.Name(), QStringLiteral("Data"));
    data.Cells(2, 9).setValue(QStringLiteral("5"));
    data.Cells(3, 9).setValue(QStringLiteral("10"));
    for (int r = 6; r <= 32; ++r)
        for (int c = 1; c <= 9; ++c)
            data.Cells(r, c).setValue(r == 6 && c == 2 ? QStringLiteral("200")
                                                       : (r == 6 && c == 4 ? QStringLiteral("36") : QString()));
    EXPECT_NEAR(data.Cells(6, 6).Value().asNumber(), 0, 1e-12); // the formula went with the cleared row
    const QString out = files.filePath(QStringLiteral("qarvel12345678.xls"));
    w.SaveAs(out, ax::xlExcel8);
    EXPECT_THROW(w.SaveAs(files.filePath(QStringLiteral("x.xlsx")), 51), Error);
    a.setDisplayAlerts(false);
    w.Close();
    EXPECT_EQ(a.Workbooks().count(), 0);
    EXPECT_THROW(w.ActiveSheet(), Error);
    a.Quit();

    Application b;
    b.Workbooks().Open(copy);
    b.Workbooks().Open(out);
    EXPECT_EQ(b.Workbooks().count(), 2);
    ax::Workbook v = b.Workbooks()(b.Workbooks().count());
    EXPECT_EQ(v.FullName(), QFileInfo(out).absoluteFilePath());
    ax::Worksheet sheet = v.ActiveSheet();
    EXPECT_EQ(sheet.Cells(2, 9).Value(), Value::number(5));
    ax::Range used = sheet.UsedRange();
    // The template's formatted cells reach column I and row 31; the title is in A1.
    EXPECT_EQ(used.Row(), 1);
    EXPECT_EQ(used.Rows().Row(used.Rows().count()), used.LastRow());
    EXPECT_EQ(used.Columns().Column(used.Columns().count()), 9);
    EXPECT_THROW(used.Rows().Row(0), Error);
    EXPECT_THROW(b.Workbooks()(3), Error);
    // What the user copied on the desktop stays there: the picture travels inside the program.
    QGuiApplication::clipboard()->setText(QStringLiteral("a paragraph the user copied"));
    ax::clearCopiedPicture();
    used.CopyPicture();
    const QImage copied = ax::copiedPicture();
    EXPECT_FALSE(copied.isNull());
    EXPECT_EQ(copied.size(), used.Picture().size());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("a paragraph the user copied"));
    EXPECT_TRUE(QGuiApplication::clipboard()->image().isNull());
    b.Quit();
    EXPECT_THROW(sheet.Cells(1, 1).Value(), Error);
}

TEST_F(AutomationTest, BothFileFormatsWriteTheSameWorkbook)
{
    Application a;
    ax::Workbook w = a.Workbooks().Open(copy);
    const QString p56 = files.filePath(QStringLiteral("a.xls"));
    const QString p4143 = files.filePath(QStringLiteral("b.xls"));
    w.SaveAs(p56, ax::xlExcel8);
    w.SaveAs(p4143, ax::xlWorkbookNormal);
    EXPECT_EQ(readFile(p56), readFile(p4143));
    EXPECT_NO_THROW(sheet::loadWorkbook(p4143));
}

TEST_F(AutomationTest, ErrorsSayWhatWentWrong)
{
    Application a;
    try {
        a.Workbooks().Open(files.filePath(QStringLiteral("nothing.xls")));
        FAIL();
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("nothing.xls")));
    }
    ax::Workbook w = a.Workbooks().Open(copy);
    EXPECT_THROW(w.ActiveSheet().Cells(0, 1), Error);
    EXPECT_THROW(w.ActiveSheet().Cells(1, 257), Error);
    EXPECT_THROW(w.ActiveSheet().Range(QStringLiteral("A1:ZZ9")), Error);
    w.model().setActiveSheet(1);
    EXPECT_NO_THROW(w.ActiveSheet()); // the reference's other sheets are worksheets with a chart
}

TEST_F(AutomationTest, APictureTooLargeToHandleIsCutFromTheTopLeft)
{
    Application a;
    ax::Workbook w = a.Workbooks().Open(copy);
    ax::Worksheet sheet = w.ActiveSheet();
    // A sheet's worth of rows, as a damaged log would give.
    for (int r = 6; r <= 40000; r += 7)
        sheet.Cells(r, 1).setValue(QStringLiteral("row %1").arg(r));
    const ax::Range used = sheet.UsedRange();
    const QSize full = rangePixelSize(sheet.model(), used.range().firstRow, used.range().firstCol, used.range().lastRow,
                                      used.range().lastCol);
    ASSERT_GT(full.height(), kMaxPictureSide);
    const QImage picture = used.Picture();
    ASSERT_FALSE(picture.isNull());
    EXPECT_EQ(picture.width(), full.width());
    EXPECT_LE(picture.height(), kMaxPictureSide);
    EXPECT_GT(picture.height(), kMaxPictureSide - 40); // as many whole rows as fit
    // Its top is the range's top: the same pixels as a picture of the first rows alone.
    const QImage top = sheet.Range(QStringLiteral("A1:I30")).Picture();
    EXPECT_EQ(picture.copy(0, 0, top.width(), top.height() - 1), top.copy(0, 0, top.width(), top.height() - 1));
}

} // namespace
} // namespace sheet::test
