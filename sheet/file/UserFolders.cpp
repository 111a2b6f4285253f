#include "file/UserFolders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace sheet {

bool isOwnFolder(const QString& path)
{
    struct stat st { };
    return !path.isEmpty() && QDir::isAbsolutePath(path) && ::lstat(QFile::encodeName(path).constData(), &st) == 0
        && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

QString userPrivateBase()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (isOwnFolder(runtime))
        return QDir::cleanPath(runtime);
    QString cache = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(cache)) {
        const QString home = QDir::homePath();
        // Without a home there is no cache folder; nothing is made at the root instead.
        if (home.isEmpty() || QDir::cleanPath(home) == QLatin1String("/") || !isOwnFolder(home))
            return QString();
        cache = home + QStringLiteral("/.cache");
    }
    cache = QDir::cleanPath(cache);
    if (!QFileInfo(cache).exists() && isOwnFolder(QFileInfo(cache).absolutePath()))
        ::mkdir(QFile::encodeName(cache).constData(), 0700);
    return isOwnFolder(cache) ? cache : QString();
}

} // namespace sheet
