#include "WorkFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

#include <stdexcept>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>


namespace {
[[noreturn]] void fail(const QString& message)
{
    throw std::runtime_error(message.toStdString());
}
} // namespace

QString TemporaryFolder()
{
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString exact = env.value(QStringLiteral("TEMP"));
    if (exact.isEmpty())
        exact = env.value(QStringLiteral("temp"));
    if (!exact.isEmpty())
        return QDir::cleanPath(exact);
    for (const QString& key : env.keys()) {
        if (key.compare(QLatin1String("temp"), Qt::CaseInsensitive) == 0 && !env.value(key).isEmpty())
            return QDir::cleanPath(env.value(key));
    }
    return QDir::cleanPath(QDir::tempPath());
}

QString PrivateWorkFolderIn(const QString& temporaryFolder)
{
    const QString path = temporaryFolder + QStringLiteral("/kalmora-") + QString::number(getuid());
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        fail(QStringLiteral("Cannot create the folder %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0)
        fail(QStringLiteral("Cannot examine the folder %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    if (!S_ISDIR(st.st_mode))
        fail(QStringLiteral("%1 is not a folder of its own (a link or a file is in its place)").arg(path));
    if (st.st_uid != getuid())
        fail(QStringLiteral("The folder %1 belongs to another user").arg(path));
    if ((st.st_mode & 077) != 0)
        fail(QStringLiteral("The folder %1 is open to other users").arg(path));
    return path;
}

QString PrivateWorkFolder()
{
    return PrivateWorkFolderIn(TemporaryFolder());
}

QString RandomWorkbookName(std::mt19937& rng)
{
    std::uniform_int_distribution<int> digit(1, 9);
    QString name = QStringLiteral("qarvel");
    for (int i = 0; i < 8; ++i)
        name += QChar('0' + digit(rng));
    return name;
}

QString ChooseTempWorkbookPath(const QString& folder, std::mt19937& rng,
                               const std::function<bool(const QString&)>& exists)
{
    for (;;) {
        const QString path = folder + QLatin1Char('/') + RandomWorkbookName(rng) + QStringLiteral(".xls");
        if (!exists(path))
            return path;
    }
}

void CreateFileExclusively(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        fail(QStringLiteral("Cannot create %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    ::close(fd);
}

