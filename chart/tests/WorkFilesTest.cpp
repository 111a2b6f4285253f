#include "WorkFiles.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>


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
    EXPECT_EQ(seen.size(), 200);  // one seeded generator: names do not repeat
    EXPECT_EQ(digits.size(), 9);  // every digit 1..9 shows up, 0 never
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

TEST(PrivateFolder, CreatedOwnerOnlyAndReused)
{
    QTemporaryDir tmp;
    const QString folder = PrivateWorkFolderIn(tmp.path());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(folder).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(PrivateWorkFolderIn(tmp.path()), folder);
}

TEST(PrivateFolder, RefusesLinkOpenFolderAndFile)
{
    QTemporaryDir tmp;
    const QString name = tmp.path() + QStringLiteral("/kalmora-") + QString::number(getuid());

    QDir().mkpath(tmp.path() + QStringLiteral("/elsewhere"));
    ASSERT_TRUE(QFile::link(tmp.path() + QStringLiteral("/elsewhere"), name));
    EXPECT_THROW(PrivateWorkFolderIn(tmp.path()), std::runtime_error);
    QFile::remove(name);

    ASSERT_TRUE(QDir().mkdir(name));
    ::chmod(QFile::encodeName(name).constData(), 0777);
    EXPECT_THROW(PrivateWorkFolderIn(tmp.path()), std::runtime_error);
    QDir().rmdir(name);

    QFile f(name);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_THROW(PrivateWorkFolderIn(tmp.path()), std::runtime_error);
}

TEST(PrivateFolder, TemporaryFolderFollowsTempInAnyCase)
{
    const QByteArray saved = qgetenv("TEMP");
    qunsetenv("TEMP");
    qputenv("temp", "/some/where/");
    EXPECT_EQ(TemporaryFolder(), QStringLiteral("/some/where"));
    qunsetenv("temp");
    qputenv("Temp", "/other");
    EXPECT_EQ(TemporaryFolder(), QStringLiteral("/other"));
    qunsetenv("Temp");
    EXPECT_EQ(TemporaryFolder(), QDir::cleanPath(QDir::tempPath()));
    if (!saved.isEmpty())
        qputenv("TEMP", saved);
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
