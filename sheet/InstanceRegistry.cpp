#include "InstanceRegistry.h"

#include "Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

#include <atomic>
#include <sys/stat.h>
#include <unistd.h>

namespace sheet {

namespace {
std::atomic<int> g_counter{0};
const QLatin1String kPrefix("instance-");
const QLatin1String kSuffix(".lock");
} // namespace

QString instanceRegistryFolder()
{
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    QString folder;
    if (!base.isEmpty() && QFileInfo(base).isDir() && QFileInfo(base).isWritable()) {
        folder = QDir(base).filePath(QStringLiteral("sheet-instances"));
    } else {
        folder = QDir(QDir::tempPath()).filePath(QStringLiteral("sheet-instances-%1").arg(::getuid()));
    }
    QDir dir(folder);
    if (!dir.exists()) {
        ::mkdir(QFile::encodeName(folder).constData(), 0700);
    }
    // Another user must not be able to plant entries for us: the folder is ours and private.
    struct stat st{};
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        throw Error(QStringLiteral("The instance folder '%1' is missing or belongs to another user").arg(folder));
    if ((st.st_mode & 0077) != 0)
        ::chmod(QFile::encodeName(folder).constData(), 0700);
    return folder;
}

InstanceRegistration::InstanceRegistration()
{
    const QString folder = instanceRegistryFolder();
    m_path = QDir(folder).filePath(QStringLiteral("%1%2-%3%4")
                                       .arg(kPrefix)
                                       .arg(QCoreApplication::applicationPid())
                                       .arg(g_counter.fetch_add(1))
                                       .arg(kSuffix));
    m_lock = std::make_unique<QLockFile>(m_path);
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0))
        throw Error(QStringLiteral("Cannot register the spreadsheet application instance in '%1'").arg(folder));
}

InstanceRegistration::~InstanceRegistration()
{
    if (m_lock)
        m_lock->unlock();
}

bool isApplicationRunning()
{
    QString folder;
    try {
        folder = instanceRegistryFolder();
    } catch (const Error&) {
        return false;
    }
    const QStringList entries =
        QDir(folder).entryList(QStringList{kPrefix + QLatin1Char('*') + kSuffix}, QDir::Files | QDir::Hidden);
    for (const QString& name : entries) {
        const QString path = QDir(folder).filePath(name);
        QLockFile probe(path);
        probe.setStaleLockTime(0);
        qint64 pid = 0;
        QString host, app;
        if (!probe.getLockInfo(&pid, &host, &app))
            continue; // being written or unreadable: not an instance we can vouch for
        if (pid == QCoreApplication::applicationPid())
            return true;
        // tryLock takes over (and later removes) a lock whose process is gone.
        if (probe.tryLock(0)) {
            probe.unlock();
            continue;
        }
        return true;
    }
    return false;
}

} // namespace sheet
