#include "WorkFiles.h"

#include "automation/InstanceRegistry.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

TEST(TempWorkbookName, ShapeIsPrefixAndEightNonZeroDigits)
{
    std::mt19937 rng(12345);
    const QRegularExpression shape(QStringLiteral("^qarvel[1-9]{8}$"));
    QSet<QString> seen;
    QSet<QChar> digits;
    for (int i = 0; i < 200; ++i) {
        const QString name = RandomWorkbookName(rng);
        EXPECT_TRUE(shape.match(name).hasMatch()) << name.toStdString();
        seen.insert(name);
        for (QChar c : name.mid(6))
            digits.insert(c);
    }
    EXPECT_EQ(seen.size(), 200); // one seeded generator: names do not repeat
    EXPECT_EQ(digits.size(), 9); // every digit 1..9 shows up, 0 never
}

TEST(TempWorkbookName, DrawsAgainWhileTheNameIsTaken)
{
    std::mt19937 rng(7);
    int asked = 0;
    const QString path = ChooseTempWorkbookPath(QStringLiteral("/tmp/x"), rng, [&](const QString&) {
        return ++asked < 3; // the first two names exist
    });
    EXPECT_EQ(asked, 3);
    EXPECT_TRUE(path.startsWith(QStringLiteral("/tmp/x/qarvel")));
    EXPECT_TRUE(path.endsWith(QStringLiteral(".xls")));
    EXPECT_EQ(path.size(), QStringLiteral("/tmp/x/qarvel12345678.xls").size());
}

namespace {

// Sets environment variables for one test and restores them.
class ScopedEnv {
public:
    void set(const char* name, const QByteArray& value)
    {
        remember(name);
        qputenv(name, value);
    }
    void unset(const char* name)
    {
        remember(name);
        qunsetenv(name);
    }
    ~ScopedEnv()
    {
        for (auto it = m_saved.cbegin(); it != m_saved.cend(); ++it) {
            if (it.value().isNull())
                qunsetenv(it.key().constData());
            else
                qputenv(it.key().constData(), it.value());
        }
    }

private:
    void remember(const char* name)
    {
        if (!m_saved.contains(name))
            m_saved.insert(name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray());
    }
    QMap<QByteArray, QByteArray> m_saved;
};

} // namespace

TEST(PrivateFolder, CreatedOwnerOnlyAndReused)
{
    QTemporaryDir tmp;
    const QString folder = PrivateWorkFolderIn(tmp.path());
    EXPECT_EQ(folder, tmp.path() + QStringLiteral("/kalmora"));
    struct stat st { };
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(PrivateWorkFolderIn(tmp.path()), folder);
}

TEST(PrivateFolder, RefusesLinkOpenFolderFileAndAnotherUsersFolder)
{
    QTemporaryDir tmp;
    const QString name = tmp.path() + QStringLiteral("/kalmora");

    QDir().mkpath(tmp.path() + QStringLiteral("/elsewhere"));
    ASSERT_TRUE(QFile::link(tmp.path() + QStringLiteral("/elsewhere"), name));
    EXPECT_THROW(PrivateWorkFolderIn(tmp.path()), std::runtime_error);
    QFile::remove(name);

    ASSERT_TRUE(QDir().mkdir(name));
    ::chmod(QFile::encodeName(name).constData(), 0777);
    EXPECT_THROW(PrivateWorkFolderIn(tmp.path()), std::runtime_error);
    ::chmod(QFile::encodeName(name).constData(), 0700);
    if (::geteuid() == 0) {
        ASSERT_EQ(::chown(QFile::encodeName(name).constData(), 65534, 65534), 0);
        EXPECT_THROW(PrivateWorkFolderIn(tmp.path()), std::runtime_error);
    }
    QDir().rmdir(name);

    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_THROW(PrivateWorkFolderIn(tmp.path()), std::runtime_error);
    EXPECT_THROW(PrivateWorkFolderIn(QString()), std::runtime_error);
}

TEST(PrivateFolder, LivesInTheRuntimeFolderElseTheCacheFolderAndNeverAtTheRoot)
{
    QTemporaryDir runtime, cache, home;
    ScopedEnv env;
    env.set("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    env.set("XDG_CACHE_HOME", cache.path().toUtf8());
    // A temporary folder named in the environment matters no more, however odd it is.
    env.set("TMPDIR", "/no/such/folder");
    env.set("TEMP", "/no/such/folder");
    EXPECT_EQ(PrivateWorkFolder(), runtime.path() + QStringLiteral("/kalmora"));

    // A runtime folder that is missing, relative or a link is passed over for the cache folder.
    for (const QByteArray& bad : {QByteArray("/no/such/runtime"), QByteArray("relative/runtime")}) {
        env.set("XDG_RUNTIME_DIR", bad);
        EXPECT_EQ(PrivateFolderBase(), cache.path());
    }
    const QString link = home.path() + QStringLiteral("/runtime-link");
    ASSERT_TRUE(QFile::link(runtime.path(), link));
    env.set("XDG_RUNTIME_DIR", link.toUtf8());
    EXPECT_EQ(PrivateWorkFolder(), cache.path() + QStringLiteral("/kalmora"));

    // No runtime folder and no cache folder set: ~/.cache, made when missing.
    env.unset("XDG_RUNTIME_DIR");
    env.unset("XDG_CACHE_HOME");
    env.set("HOME", home.path().toUtf8());
    EXPECT_EQ(PrivateWorkFolder(), home.path() + QStringLiteral("/.cache/kalmora"));

    // A home of "/" gives no place at all: the failure is reported, nothing is made at '/'.
    env.set("HOME", "/");
    EXPECT_EQ(PrivateFolderBase(), QString());
    EXPECT_THROW(PrivateWorkFolder(), std::runtime_error);
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/kalmora")));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("/.cache/kalmora")));
}

TEST(ExclusiveCreate, RefusesExistingFileAndLink)
{
    QTemporaryDir tmp;
    const QString path = tmp.path() + QStringLiteral("/a.xls");
    CreateFileExclusively(path);
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_THROW(CreateFileExclusively(path), std::runtime_error);

    const QString link = tmp.path() + QStringLiteral("/b.xls");
    ASSERT_TRUE(QFile::link(tmp.path() + QStringLiteral("/target"), link));
    EXPECT_THROW(CreateFileExclusively(link), std::runtime_error);
    EXPECT_FALSE(QFile::exists(tmp.path() + QStringLiteral("/target")));
}

TEST(ReplaceWorkFile, WhateverStandsAtTheTemplatesNameIsReplaced)
{
    QTemporaryDir tmp;
    const QString path = tmp.filePath(QStringLiteral("Fitness.xlt"));
    auto contents = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    };
    // A folder, with something in it.
    ASSERT_TRUE(QDir().mkpath(path + QStringLiteral("/inner")));
    ReplaceWorkFile(path, "template");
    EXPECT_EQ(contents(), "template");
    // A dangling link.
    QFile::remove(path);
    ASSERT_TRUE(QFile::link(tmp.filePath(QStringLiteral("gone")), path));
    ReplaceWorkFile(path, "template 2");
    EXPECT_FALSE(QFileInfo(path).isSymLink());
    EXPECT_EQ(contents(), "template 2");
    EXPECT_FALSE(QFileInfo::exists(tmp.filePath(QStringLiteral("gone"))));
    // A link to a file: the file stays as it was.
    const QString victim = tmp.filePath(QStringLiteral("victim"));
    {
        QFile f(victim);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("keep");
    }
    QFile::remove(path);
    ASSERT_TRUE(QFile::link(victim, path));
    ReplaceWorkFile(path, "template 3");
    EXPECT_EQ(contents(), "template 3");
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), "keep");
}

TEST(WorkLeftovers, OnlyWhatNoLiveProcessHoldsIsRemoved)
{
    QTemporaryDir runtime, tmp;
    ScopedEnv env;
    env.set("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString folder = tmp.path();
    auto touch = [&](const QString& name) {
        QFile f(folder + QLatin1Char('/') + name);
        f.open(QIODevice::WriteOnly);
    };
    for (const char* name : {"qarvel11111111.xls", "qarvel22222222.xls", "qarvel33333333.xls", "temp.bmp",
                             ".qarvel44444444.xls.1a2b.tmp", "Fitness.xlt", "notes.txt"})
        touch(QString::fromLatin1(name));
    const sheet::FileHold mine(folder + QStringLiteral("/qarvel11111111.xls"));

    // Another process holds the second one, then dies the hard way.
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const sheet::FileHold theirs(folder + QStringLiteral("/qarvel22222222.xls"));
        [[maybe_unused]] const ssize_t n = ::write(ready[1], "x", 1);
        ::pause();
        ::_exit(0);
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);

    QStringList removed = RemoveWorkLeftovers(folder);
    removed.sort();
    EXPECT_EQ(removed, (QStringList{".qarvel44444444.xls.1a2b.tmp", "qarvel33333333.xls", "temp.bmp"}));
    EXPECT_TRUE(QFileInfo::exists(folder + QStringLiteral("/qarvel22222222.xls")));

    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    EXPECT_EQ(RemoveWorkLeftovers(folder), QStringList{"qarvel22222222.xls"});
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              (QStringList{"Fitness.xlt", "notes.txt", "qarvel11111111.xls"}));
    ::close(ready[0]);
    ::close(ready[1]);
}
