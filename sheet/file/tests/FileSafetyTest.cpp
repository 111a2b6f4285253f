// What a write leaves for others to see: owner-only temporary files, names at the folder's
// limit, leftovers of killed writers (and nothing else) cleared, paths that are not UTF-8,
// private folders that are private.
#include "file/DurableFile.h"
#include "file/NativePath.h"
#include "file/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace sheet;

namespace {

QList<QByteArray> namesIn(const QString& folder)
{
    QList<QByteArray> names;
    if (DIR* dir = ::opendir(encodePath(folder).constData())) {
        while (const dirent* entry = ::readdir(dir)) {
            const QByteArray name(entry->d_name);
            if (name != "." && name != "..")
                names << name;
        }
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

void touch(const QString& path, const QByteArray& bytes = "left")
{
    const int fd = ::open(encodePath(path).constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0) << path.toStdString();
    ASSERT_EQ(::write(fd, bytes.constData(), bytes.size()), bytes.size());
    ::close(fd);
}

mode_t modeOf(const QByteArray& path)
{
    struct stat st { };
    return ::stat(path.constData(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(FileSafety, TheTemporaryFileIsTheOwnersAloneUntilItIsComplete)
{
    QTemporaryDir dir;
    const QString target = dir.filePath("log.ini");
    touch(target);
    ASSERT_EQ(::chmod(encodePath(target).constData(), 0644), 0);
    mode_t whileWriting = 0;
    setTemporaryCreatedHookForTesting([&](const QByteArray& temporary) { whileWriting = modeOf(temporary); });
    writeFileDurably(target, "new");
    setTemporaryCreatedHookForTesting({});
    EXPECT_EQ(whileWriting, 0600u) << "another user could open it while it was written";
    EXPECT_EQ(modeOf(encodePath(target)), 0644u) << "the file keeps its own mode";
}

TEST(FileSafety, ANameAtTheFoldersLimitCanBeSaved)
{
    QTemporaryDir dir;
    const long limit = ::pathconf(encodePath(dir.path()).constData(), _PC_NAME_MAX);
    ASSERT_GT(limit, 20);
    for (const long length : {limit - 12, limit - 11, limit - 1, limit}) {
        const QString name = QString(static_cast<int>(length) - 4, QLatin1Char('n')) + QStringLiteral(".xls");
        const QString target = dir.filePath(name);
        EXPECT_NO_THROW(writeFileDurably(target, "workbook")) << length;
        QFile f(target);
        EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << length;
        EXPECT_EQ(f.readAll(), "workbook");
        QFile::remove(target);
    }
    // A multibyte name is cut at a byte, and still saved whole under its own name.
    const QString wide = QString(static_cast<int>(limit / 2) - 3, QChar(0x00e9)) + QStringLiteral(".xls");
    EXPECT_NO_THROW(writeFileDurably(dir.filePath(wide), "x"));
    EXPECT_EQ(namesIn(dir.path()), QList<QByteArray>{encodePath(wide)});
}

TEST(FileSafety, LeftoversOfKilledWritersGoAndNothingElse)
{
    QTemporaryDir dir;
    const QString d = dir.path() + QLatin1Char('/');
    // A killed save of this workbook, of another workbook, a report, an old-style name.
    for (const char* name : {".Fitness Progress.xls.0a1b2c.tmp", ".Other.xls.ffffff.tmp", ".Report.pdf.123456.tmp",
                             ".Fitness Progress.xls.7.tmp"})
        touch(d + QString::fromUtf8(name));
    // Not ours to touch: another kind of file, names that only look alike, a live writer's.
    const QStringList kept = {".notes.txt.abcdef.tmp", ".Other.xls.tmp", ".Other.xls.12345g.tmp",
                              "Other.xls.123456.tmp", ".Live.xls.aaaaaa.tmp"};
    for (const QString& name : kept)
        touch(d + name);
    const int live = ::open(encodePath(d + ".Live.xls.aaaaaa.tmp").constData(), O_RDONLY);
    ASSERT_EQ(::flock(live, LOCK_EX), 0);

    writeFileDurably(d + "Fitness Progress.xls", "saved");
    QList<QByteArray> expected = {"Fitness Progress.xls"};
    for (const QString& name : kept)
        expected << name.toUtf8();
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(namesIn(dir.path()), expected);
    ::close(live);

    // Another user's file of the right pattern stays too (root can give it away).
    if (::geteuid() == 0) {
        touch(d + ".Theirs.xls.bbbbbb.tmp");
        ASSERT_EQ(::chown(encodePath(d + ".Theirs.xls.bbbbbb.tmp").constData(), 65534, 65534), 0);
        writeFileDurably(d + "Fitness Progress.xls", "again");
        EXPECT_TRUE(namesIn(dir.path()).contains(".Theirs.xls.bbbbbb.tmp"));
    }
}

TEST(FileSafety, PathsThatAreNotUtf8KeepEveryByte)
{
    for (const QByteArray& bytes : QList<QByteArray>{"/home/j\xe9r\xf4me", "/plain/ascii", "/caf\xc3\xa9", "/bad\xc3",
                                                     "/\xed\xa0\x80 surrogate", "/\xff\xfe", ""}) {
        const QString path = decodePath(bytes);
        EXPECT_EQ(encodePath(path), bytes) << bytes.toStdString();
    }
    EXPECT_EQ(decodePath("/caf\xc3\xa9"), QString::fromUtf8("/caf\xc3\xa9"));

    QTemporaryDir dir;
    const QString folder = decodePath(encodePath(dir.path()) + "/j\xe9r\xf4me");
    ASSERT_EQ(::mkdir(encodePath(folder).constData(), 0700), 0);
    writeFileDurably(folder + QStringLiteral("/Pendrel.ini"), "[Kalmora]\n");
    EXPECT_EQ(namesIn(folder), QList<QByteArray>{"Pendrel.ini"});
    EXPECT_EQ(namesIn(dir.path()), QList<QByteArray>{"j\xe9r\xf4me"});
}

TEST(FileSafety, ARuntimeFolderOthersMayWriteToIsNotPrivate)
{
    QTemporaryDir runtime, cache;
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray savedCache = qgetenv("XDG_CACHE_HOME");
    qputenv("XDG_RUNTIME_DIR", encodePath(runtime.path()));
    qputenv("XDG_CACHE_HOME", encodePath(cache.path()));
    ::chmod(encodePath(cache.path()).constData(), 0700);
    ::chmod(encodePath(runtime.path()).constData(), 0700);
    EXPECT_EQ(userPrivateBase(), runtime.path());
    for (const mode_t open : {0777, 01777, 0770}) {
        ::chmod(encodePath(runtime.path()).constData(), open);
        EXPECT_EQ(userPrivateBase(), cache.path()) << std::oct << open;
    }
    qputenv("XDG_RUNTIME_DIR", savedRuntime);
    qputenv("XDG_CACHE_HOME", savedCache);
}

} // namespace
