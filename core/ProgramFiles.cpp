#include "ProgramFiles.h"

#include "Failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString& ApplicationPathOverride()
{
    static QString path;
    return path;
}

} // namespace

QString ApplicationPath()
{
    if (!ApplicationPathOverride().isEmpty())
        return ApplicationPathOverride();
    return QCoreApplication::applicationDirPath();
}

void SetApplicationPathForTesting(const QString& path) { ApplicationPathOverride() = path; }

QString BesideProgram(const QString& relative) { return ApplicationPath() + QLatin1Char('/') + relative; }

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

void DeleteFileForced(const QString& path)
{
    QCoreApplication::processEvents();
    if (path.isEmpty() || QFileInfo(path).isDir())
        return;
    if (QFile::remove(path))
        return;
    // Make the file writable and try once more; a folder that forbids deleting stays as it is.
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner | QFileDevice::WriteUser);
    QFile::remove(path);
}

void WriteBytesIfMissing(const QByteArray& bytes, const QString& path)
{
    QCoreApplication::processEvents();
    if (QFileInfo(path).exists() || QFileInfo(path).isSymLink())
        return;
    QFile file(path);
    // NewOnly: never follow or replace something created meanwhile.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (file.error() == QFileDevice::OpenError && QFileInfo(path).exists())
            return;
        throw Failure(QStringLiteral("The file %1 could not be created: %2")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
    const qint64 written = file.write(bytes);
    const bool flushed = file.flush();
    if (written != bytes.size() || !flushed) {
        const QString reason = file.errorString();
        file.close();
        file.remove();
        throw Failure(
            QStringLiteral("The file %1 could not be written: %2").arg(QDir::toNativeSeparators(path), reason));
    }
    file.close();
}
