#include "automation/InstanceRegistry.h"

#include "model/Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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
    const QString stem = QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(g_counter.fetch_add(1));
    const QString pending = QDir(folder).filePath(QStringLiteral("pending-") + stem);
    m_path = QDir(folder).filePath(kPrefix + stem + kSuffix);
    // Locked under a name probes ignore, then renamed into view: a probe never sees an
    // instance file that is not locked yet and so never takes a live one for stale.
    m_fd = ::open(QFile::encodeName(pending).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_fd < 0 || ::flock(m_fd, LOCK_EX | LOCK_NB) != 0
        || ::rename(QFile::encodeName(pending).constData(), QFile::encodeName(m_path).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        if (m_fd >= 0) {
            ::unlink(QFile::encodeName(pending).constData());
            ::close(m_fd);
        }
        m_fd = -1;
        throw Error(QStringLiteral("Cannot register the spreadsheet application instance in '%1': %2").arg(folder, reason));
    }
    const QByteArray pid = QByteArray::number(QCoreApplication::applicationPid()) + '\n';
    [[maybe_unused]] const ssize_t written = ::write(m_fd, pid.constData(), static_cast<size_t>(pid.size()));
}

InstanceRegistration::~InstanceRegistration()
{
    if (m_fd >= 0) {
        ::unlink(QFile::encodeName(m_path).constData());
        ::close(m_fd);
    }
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
    bool running = false;
    for (const QString& name : entries) {
        const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_SH | LOCK_NB) != 0) {
            running = true; // held by a live instance (of any process, this one included)
        } else {
            ::unlink(path.constData()); // left behind by a process that is gone
        }
        ::close(fd);
        if (running)
            break;
    }
    return running;
}

} // namespace sheet
