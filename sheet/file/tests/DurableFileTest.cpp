// Durable replacement of files: every way a write can fail leaves the old file byte for byte
// and no temporary file behind; links and read-only targets keep their meaning.
#include "file/DurableFile.h"
#include "file/ReadFile.h"
#include "model/Workbook.h"
#include "io/WorkbookFile.h"

#include "SmallDisk.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cerrno>
#include <sys/stat.h>

using namespace sheet;

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writePlain(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray pattern(int size, char seed)
{
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i)
        b[i] = static_cast<char>(seed + i % 61);
    return b;
}

// Everything in the folder, hidden temporaries included.
QStringList folderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

mode_t modeOf(const QString& path)
{
    struct stat st { };
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st.st_mode & 07777;
}

TEST(DurableFile, ReplacesWholeAndKeepsTheModeOfTheOldFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("book.xls");
    writeFileDurably(path, "first");
    EXPECT_EQ(readAll(path), "first");
    ::chmod(QFile::encodeName(path).constData(), 0640);
    const QByteArray big = pattern(3 * 1024 * 1024 + 17, 'a'); // several write chunks
    writeFileDurably(path, big);
    EXPECT_EQ(readAll(path), big);
    EXPECT_EQ(modeOf(path), 0640u);
    writeFileDurably(path, QByteArray());
    EXPECT_EQ(readAll(path), "");
    EXPECT_EQ(folderEntries(dir.path()), QStringList{"book.xls"});
}

TEST(DurableFile, EveryInjectedFaultLeavesTheOldFileAndNoTemporary)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("old.xls");
    const QByteArray old = pattern(8000, 'o');
    const QByteArray next = pattern(20000, 'n');
    writePlain(path, old);

    struct Case {
        const char* what;
        DurableFaults faults;
        const char* reason;
    };
    const Case cases[] = {
        {"full before the first byte", {0, false, false, false}, "No space left on device"},
        {"full after one byte", {1, false, false, false}, "No space left on device"},
        {"full after a page", {4096, false, false, false}, "No space left on device"},
        {"full one byte short", {next.size() - 1, false, false, false}, "No space left on device"},
        {"fsync fails", {-1, true, false, false}, "Input/output error"},
        {"rename fails", {-1, false, true, false}, "Input/output error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScopedDurableFaults faults(c.faults);
        try {
            writeFileDurably(path, next);
            ADD_FAILURE() << "the write was reported as done";
        } catch (const WriteError& e) {
            EXPECT_EQ(e.reason(), QString::fromLatin1(c.reason));
            EXPECT_TRUE(e.message().contains(path)) << e.what();
        }
        EXPECT_EQ(readAll(path), old);
        EXPECT_EQ(folderEntries(dir.path()), QStringList{"old.xls"});
    }
    // A new file that cannot be written completely is not there at all.
    {
        ScopedDurableFaults faults({100, false, false, false});
        EXPECT_THROW(writeFileDurably(dir.filePath("new.xls"), next), WriteError);
    }
    EXPECT_EQ(folderEntries(dir.path()), QStringList{"old.xls"});
    // With the faults gone the same write goes through, having waited for the disk.
    ScopedDurableFaults counting({});
    writeFileDurably(path, next);
    EXPECT_EQ(readAll(path), next);
    EXPECT_EQ(counting.bytesWritten(), next.size());
    EXPECT_EQ(counting.syncs(), 1);
}

TEST(DurableFile, FailedFolderSyncIsReportedAfterTheNewContentIsInPlace)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("f.bin");
    writePlain(path, "old");
    ScopedDurableFaults faults({-1, false, false, true});
    EXPECT_THROW(writeFileDurably(path, "new"), WriteError);
    // The rename happened: the name holds the complete new content, never a part.
    EXPECT_EQ(readAll(path), "new");
}

TEST(DurableFile, ScratchWritesSkipTheDiskWaitsOnly)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("scratch.xls");
    DurableWriteOptions scratch;
    scratch.syncToDisk = false;
    scratch.newFileMode = 0600;
    {
        ScopedDurableFaults faults({-1, true, false, true}); // fsync would fail, and is not asked
        writeFileDurably(path, "data", scratch);
        EXPECT_EQ(faults.syncs(), 0);
    }
    EXPECT_EQ(modeOf(path), 0600u);
    ScopedDurableFaults full({2, false, false, false});
    EXPECT_THROW(writeFileDurably(path, "longer data", scratch), WriteError);
    EXPECT_EQ(readAll(path), "data");
}

TEST(DurableFile, LinksAreFollowedOrReplacedWithoutTouchingTheirTarget)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("real.xls");
    const QString link = dir.filePath("link.xls");
    writePlain(target, "target");
    ASSERT_TRUE(QFile::link("real.xls", link)); // relative, as users make them

    writeFileDurably(link, "through the link");
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(target), "through the link");

    DurableWriteOptions replace;
    replace.links = DurableWriteOptions::Links::Replace;
    writeFileDurably(link, "in place of the link", replace);
    EXPECT_FALSE(QFileInfo(link).isSymLink());
    EXPECT_EQ(readAll(link), "in place of the link");
    EXPECT_EQ(readAll(target), "through the link");

    // A planted link to a file that does not exist yet creates nothing there when replaced.
    const QString planted = dir.filePath("planted.xls");
    ASSERT_TRUE(QFile::link(dir.filePath("victim"), planted));
    writeFileDurably(planted, "x", replace);
    EXPECT_FALSE(QFile::exists(dir.filePath("victim")));
}

TEST(DurableFile, RefusesFoldersDevicesPipesAndReadOnlyFiles)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath("folder");
    ASSERT_TRUE(QDir().mkdir(folder));
    try {
        writeFileDurably(folder, "x");
        ADD_FAILURE() << "a folder was replaced";
    } catch (const WriteError& e) {
        EXPECT_EQ(e.errorNumber(), EISDIR);
    }
    EXPECT_TRUE(QFileInfo(folder).isDir());

    const QString fifo = dir.filePath("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_THROW(writeFileDurably(fifo, "x"), WriteError);
    struct stat st { };
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    const QString readOnly = dir.filePath("ro.xls");
    writePlain(readOnly, "keep");
    ::chmod(QFile::encodeName(readOnly).constData(), 0444);
    if (::geteuid() != 0) {
        EXPECT_THROW(writeFileDurably(readOnly, "x"), WriteError);
        EXPECT_EQ(readAll(readOnly), "keep");
    }
    EXPECT_THROW(writeFileDurably(dir.filePath("no/such/folder/f.xls"), "x"), WriteError);
    EXPECT_EQ(folderEntries(dir.path()), (QStringList{"folder", "pipe", "ro.xls"}));
}

TEST(DurableFile, RealFullDiskAndReadOnlyMount)
{
    SmallDisk disk;
    if (!disk.mounted())
        GTEST_SKIP() << disk.skipReason().toStdString();
    const QString path = disk.filePath("old.xls");
    const QByteArray old = pattern(8000, 'o');
    writePlain(path, old);
    disk.fill(4096);
    ASSERT_GE(disk.freeBytes(), 4096);
    ASSERT_LT(disk.freeBytes(), 16384);
    // Small writes (at most 16 KB) are the ones a buffered writer reports as done.
    for (const int size : {6000, 8000, 16384, 40000}) {
        SCOPED_TRACE(size);
        try {
            writeFileDurably(path, pattern(size, 'n'));
            ADD_FAILURE() << "the write was reported as done";
        } catch (const WriteError& e) {
            EXPECT_EQ(e.errorNumber(), ENOSPC) << e.what();
        }
        EXPECT_EQ(readAll(path), old);
    }
    const QString fresh = disk.filePath("new.xls");
    EXPECT_THROW(writeFileDurably(fresh, pattern(8192, 'n')), WriteError);
    EXPECT_FALSE(QFile::exists(fresh));
    EXPECT_EQ(folderEntries(disk.path()), (QStringList{".filler", "old.xls"}));

    // What fits is written.
    writeFileDurably(path, "short");
    EXPECT_EQ(readAll(path), "short");

    // A read-only filesystem refuses even root, and keeps the file.
    ASSERT_EQ(::mount(nullptr, QFile::encodeName(disk.path()).constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr),
              0);
    try {
        writeFileDurably(path, "x");
        ADD_FAILURE() << "written on a read-only filesystem";
    } catch (const WriteError& e) {
        EXPECT_EQ(e.errorNumber(), EROFS) << e.what();
    }
    EXPECT_EQ(readAll(path), "short");
}

TEST(DurableFile, WorkbookSaveOnAFullDiskKeepsTheOldWorkbook)
{
    Workbook book;
    book.addWorksheet(QStringLiteral("Data"));
    for (int r = 0; r < 200; ++r)
        book.worksheet(0)->setInput(r, 0, QStringLiteral("row %1").arg(r));
    QTemporaryDir dir;
    const QString path = dir.filePath("old.xls");
    const QByteArray old = pattern(8000, 'o');
    writePlain(path, old);
    for (const auto durability : {Durability::Durable, Durability::Scratch}) {
        ScopedDurableFaults full({4096, false, false, false});
        try {
            saveWorkbook(book, path, durability);
            ADD_FAILURE() << "the save was reported as done";
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains("No space left on device")) << e.what();
        }
        EXPECT_EQ(readAll(path), old);
    }
    saveWorkbook(book, path);
    EXPECT_EQ(loadWorkbook(path)->worksheet(0)->value(199, 0).asString(), QStringLiteral("row 199"));
}

// ---------------------------------------------------------------- reading

TEST(ReadRegularFile, RefusesDevicesPipesFoldersAndHugeFilesBeforeReading)
{
    QTemporaryDir dir;
    auto refusal = [](const QString& path) -> QString {
        try {
            loadWorkbook(path);
        } catch (const Error& e) {
            return e.message();
        }
        return QStringLiteral("<loaded>");
    };
    EXPECT_TRUE(refusal(QStringLiteral("/dev/zero")).contains("not a regular file"))
        << refusal("/dev/zero").toStdString();
    const QString fifo = dir.filePath("pipe.xls");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_TRUE(refusal(fifo).contains("not a regular file")); // returns at once, no writer needed
    EXPECT_TRUE(refusal(dir.path()).contains("folder"));

    // A sparse file over the limit costs nothing to make and must not be read.
    const QString huge = dir.filePath("huge.xls");
    {
        QFile f(huge);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(kMaxReadFileSize + 1));
    }
    EXPECT_TRUE(refusal(huge).contains("larger than 512 MB")) << refusal(huge).toStdString();
    EXPECT_TRUE(refusal(dir.filePath("missing.xls")).contains("No such file or directory"));

    writePlain(dir.filePath("small"), "12345");
    EXPECT_EQ(readRegularFile(dir.filePath("small")), "12345");
    EXPECT_THROW(readRegularFile(dir.filePath("small"), 4), Error);
}

} // namespace
