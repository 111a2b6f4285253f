#include "file/UserFolders.h"

#include "file/DurableFile.h"
#include "file/NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace sheet {

bool isOwnFolder(const QString& path)
{
    struct stat st { };
    return !path.isEmpty() && QDir::isAbsolutePath(path) && ::lstat(encodePath(path).constData(), &st) == 0
        && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

bool isPrivateFolder(const QString& path)
{
    struct stat st { };
    return isOwnFolder(path) && ::lstat(encodePath(path).constData(), &st) == 0
        && (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

QString userPrivateBase()
{
    // Another user could make our folder first in a folder everyone may write to.
    const QString runtime = environmentPath("XDG_RUNTIME_DIR");
    if (isPrivateFolder(runtime))
        return QDir::cleanPath(runtime);
    QString cache = environmentPath("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(cache)) {
        const QString home = environmentPath("HOME");
        // Without a home there is no cache folder; nothing is made at the root instead.
        if (home.isEmpty() || QDir::cleanPath(home) == QLatin1String("/") || !isOwnFolder(home))
            return QString();
        cache = home + QStringLiteral("/.cache");
    }
    cache = QDir::cleanPath(cache);
    struct stat st { };
    if (::lstat(encodePath(cache).constData(), &st) != 0 && isOwnFolder(folderOf(cache)))
        ::mkdir(encodePath(cache).constData(), 0700);
    return isPrivateFolder(cache) ? cache : QString();
}

} // namespace sheet
