#include "WorkFiles.h"

#include "automation/InstanceRegistry.h"
#include "file/DurableFile.h"
#include "file/NativePath.h"
#include "file/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
[[noreturn]] void fail(const QString& message) { throw std::runtime_error(message.toStdString()); }

QString systemReason() { return QString::fromLocal8Bit(std::strerror(errno)); }

} // namespace

QString PrivateFolderBase() { return sheet::userPrivateBase(); }

QString PrivateWorkFolderIn(const QString& base, const QString& name)
{
    if (base.isEmpty())
        fail(QStringLiteral(
            "Path not found: there is no runtime folder ($XDG_RUNTIME_DIR) and no cache folder for the work files"));
    const QString path = QDir::cleanPath(base) + QLatin1Char('/') + name;
    const QByteArray native = sheet::encodePath(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        fail(QStringLiteral("Cannot create the folder %1: %2").arg(path, systemReason()));
    struct stat st { };
    if (::lstat(native.constData(), &st) != 0)
        fail(QStringLiteral("Cannot examine the folder %1: %2").arg(path, systemReason()));
    if (!S_ISDIR(st.st_mode))
        fail(QStringLiteral("%1 is not a folder of its own (a link or a file is in its place)").arg(path));
    if (st.st_uid != getuid())
        fail(QStringLiteral("The folder %1 belongs to another user").arg(path));
    if ((st.st_mode & 077) != 0)
        fail(QStringLiteral("The folder %1 is open to other users").arg(path));
    return path;
}

QString PrivateWorkFolder() { return PrivateWorkFolderIn(PrivateFolderBase()); }

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
    const int fd
        = ::open(sheet::encodePath(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        fail(QStringLiteral("Cannot create %1: %2").arg(path, systemReason()));
    ::close(fd);
}

void ReplaceWorkFile(const QString& path, const QByteArray& bytes)
{
    // A folder in the way (left by anything) goes first; links and files are replaced by the
    // rename itself.
    struct stat st { };
    if (::lstat(sheet::encodePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode)
        && !QDir(path).removeRecursively())
        fail(QStringLiteral("Cannot replace the folder %1 with the file").arg(path));
    sheet::DurableWriteOptions scratch;
    scratch.links = sheet::DurableWriteOptions::Links::Replace;
    scratch.newFileMode = 0600;
    scratch.syncToDisk = false;
    sheet::writeFileDurably(path, bytes, scratch);
}

QStringList RemoveWorkLeftovers(const QString& folder)
{
    QStringList removed;
    if (folder.isEmpty())
        return removed;
    const QDir dir(folder);
    QStringList held;
    for (const QString& path : sheet::heldFiles())
        held << QFileInfo(path).absoluteFilePath();
    const QStringList names
        = dir.entryList({QStringLiteral("qarvel*.xls"), QStringLiteral("temp.bmp"), QStringLiteral(".qarvel*.tmp"),
                         QStringLiteral(".Fitness.xlt.*.tmp"), QStringLiteral(".temp.bmp.*.tmp")},
                        QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : names) {
        const QString path = dir.absoluteFilePath(name);
        if (held.contains(path))
            continue;
        if (QFile::remove(path))
            removed << name;
    }
    return removed;
}
