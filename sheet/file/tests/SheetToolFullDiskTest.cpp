// sheet-tool as a user runs it, on a full disk and on inputs that are no workbooks.
#include "model/Workbook.h"
#include "io/WorkbookFile.h"

#include "SmallDisk.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray err;
};

ToolRun runTool(const QStringList& args)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(SHEET_TOOL), args);
    if (!p.waitForFinished(20000)) {
        p.kill();
        p.waitForFinished();
        ADD_FAILURE() << "sheet-tool did not finish";
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, p.readAllStandardError()};
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void makeWorkbook(const QString& path, int rows)
{
    sheet::Workbook book;
    book.addWorksheet(QStringLiteral("Data"));
    for (int r = 0; r < rows; ++r)
        book.worksheet(0)->setInput(r, 0, QStringLiteral("entry %1").arg(r));
    saveWorkbook(book, path);
}

TEST(SheetToolFullDisk, SetOntoAFullDiskFailsAndKeepsTheOldWorkbook)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason().toStdString();
    QTemporaryDir dir;
    const QString good = dir.filePath("good.xls");
    makeWorkbook(good, 40);
    const QString old = disk.filePath("old.xls");
    makeWorkbook(old, 10);
    const QByteArray before = readAll(old);
    disk.fill(4096);

    const ToolRun run = runTool({"set", good, old, "A1=x"});
    EXPECT_NE(run.exitCode, 0);
    EXPECT_TRUE(run.err.contains("No space left on device")) << run.err.toStdString();
    EXPECT_EQ(readAll(old), before);

    // A new output file on the full disk is not left behind half-written.
    const QString fresh = disk.filePath("new.xls");
    EXPECT_NE(runTool({"set", good, fresh, "A1=x"}).exitCode, 0);
    EXPECT_FALSE(QFile::exists(fresh));
}

TEST(SheetToolInput, DevicesAndPipesAreRefusedAtOnce)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.xls");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& input : {QStringLiteral("/dev/zero"), fifo}) {
        SCOPED_TRACE(input.toStdString());
        const ToolRun run = runTool({"dump", input});
        EXPECT_NE(run.exitCode, 0);
        EXPECT_TRUE(run.err.contains("not a regular file")) << run.err.toStdString();
    }
}

} // namespace
