#include "SettingsLock.h"

#include "file/DurableFile.h"
#include "file/NativePath.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QSysInfo>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray OwnerText()
{
    return QByteArray::number(QCoreApplication::applicationPid()) + '\n' + QCoreApplication::applicationName().toUtf8()
        + '\n' + QSysInfo::machineHostName().toUtf8() + '\n';
}

// A lock file whose writer is gone: nobody holds its flock, or it names a process of this
// machine that no longer runs.
bool IsStale(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool stale = ::flock(fd, LOCK_SH | LOCK_NB) == 0;
    QByteArray text(256, '\0');
    const ssize_t n = ::read(fd, text.data(), static_cast<size_t>(text.size()));
    ::close(fd);
    if (n > 0) {
        const QList<QByteArray> lines = text.left(n).split('\n');
        const qint64 pid = lines.value(0).toLongLong();
        const bool here = lines.value(2) == QSysInfo::machineHostName().toUtf8();
        if (here && pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
            stale = true;
    }
    return stale;
}

int CreateLockFile(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0)
        return -1;
    const QByteArray text = OwnerText();
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0
        || ::write(fd, text.constData(), static_cast<size_t>(text.size())) != text.size()) {
        ::unlink(path.constData());
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

SettingsWriteLock::SettingsWriteLock(const QString& lockPath, int timeoutMs)
    : m_path(sheet::encodePath(lockPath))
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        m_fd = CreateLockFile(m_path);
        if (m_fd >= 0)
            return;
        if (errno != EEXIST) {
            m_busy = false;
            return;
        }
        m_busy = true;
        if (IsStale(m_path)) {
            ::unlink(m_path.constData());
            continue;
        }
        if (deadline.hasExpired())
            return;
        QThread::msleep(10);
    }
}

SettingsWriteLock::~SettingsWriteLock()
{
    if (m_fd < 0)
        return;
    ::unlink(m_path.constData());
    ::close(m_fd);
}

SettingsSessionLock::SettingsSessionLock(const QString& settingsPath)
{
    const QByteArray path = sheet::encodePath(settingsPath + QStringLiteral(".session.lock"));
    m_fd = ::open(path.constData(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (m_fd < 0)
        return;
    if (::flock(m_fd, LOCK_EX | LOCK_NB) == 0) {
        const QByteArray text = OwnerText();
        if (::ftruncate(m_fd, 0) == 0) [[maybe_unused]]
            const ssize_t n = ::pwrite(m_fd, text.constData(), static_cast<size_t>(text.size()), 0);
        m_state = State::Ours;
        return;
    }
    QByteArray text(256, '\0');
    const ssize_t n = ::pread(m_fd, text.data(), static_cast<size_t>(text.size()), 0);
    const QList<QByteArray> lines = text.left(n > 0 ? n : 0).split('\n');
    m_holder
        = QStringLiteral("process %1 on %2").arg(QString::fromUtf8(lines.value(0)), QString::fromUtf8(lines.value(2)));
    ::close(m_fd);
    m_fd = -1;
    m_state = State::HeldElsewhere;
}

SettingsSessionLock::~SettingsSessionLock()
{
    if (m_fd >= 0)
        ::close(m_fd);
}
