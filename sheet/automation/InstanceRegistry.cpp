#include "automation/InstanceRegistry.h"

#include "file/UserFolders.h"
#include "base/Error.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sheet {

namespace {
std::atomic<int> g_counter{0};
const QLatin1String kPrefix("instance-");
const QLatin1String kHoldPrefix("hold-");
const QLatin1String kSuffix(".lock");
} // namespace

namespace {

// Locks a new entry under a name probes ignore, writes its text, then renames it into view: a
// probe never sees an entry that is not locked yet and so never takes a live one for stale.
int createEntry(const QString& folder, const QString& name, const QByteArray& text, const char* what)
{
    const QString pending = QDir(folder).filePath(QStringLiteral("pending-") + name);
    const QString path = QDir(folder).filePath(name);
    const int fd
        = ::open(QFile::encodeName(pending).constData(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0
        || ::write(fd, text.constData(), static_cast<size_t>(text.size())) != text.size()
        || ::rename(QFile::encodeName(pending).constData(), QFile::encodeName(path).constData()) != 0) {
        const QString reason = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0) {
            ::unlink(QFile::encodeName(pending).constData());
            ::close(fd);
        }
        throw Error(QStringLiteral("Cannot register the %1 in '%2': %3").arg(QLatin1String(what), folder, reason));
    }
    return fd;
}

// Calls live(path) for each entry of the prefix that a live process holds; removes the others.
template <typename Live> void forEachLiveEntry(const QString& folder, const QString& prefix, Live live)
{
    const QStringList entries
        = QDir(folder).entryList(QStringList{prefix + QLatin1Char('*') + kSuffix}, QDir::Files | QDir::Hidden);
    for (const QString& name : entries) {
        const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        bool stop = false;
        if (::flock(fd, LOCK_SH | LOCK_NB) != 0)
            stop = live(fd); // held by a live process (this one included)
        else
            ::unlink(path.constData()); // left behind by a process that is gone
        ::close(fd);
        if (stop)
            break;
    }
}

// An entry a process was killed in the midst of registering: still under its "pending-" name,
// nobody holds its lock, and it is older than any registration takes.
void removeDeadPendingEntries(const QString& folder)
{
    const QStringList entries = QDir(folder).entryList(QStringList{QStringLiteral("pending-*") + kSuffix},
                                                       QDir::Files | QDir::Hidden | QDir::System);
    const time_t now = ::time(nullptr);
    for (const QString& name : entries) {
        const QByteArray path = QFile::encodeName(QDir(folder).filePath(name));
        struct stat st { };
        if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::getuid()
            || now - st.st_mtime < 10)
            continue;
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0)
            continue;
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}

} // namespace

QString instanceRegistryFolder()
{
    const QString base = userPrivateBase();
    if (!isOwnFolder(base))
        throw Error(QStringLiteral("There is no runtime or cache folder of this user for the instance registry"));
    const QString folder = QDir(base).filePath(QStringLiteral("sheet-instances"));
    ::mkdir(QFile::encodeName(folder).constData(), 0700);
    // Another user must not be able to plant entries for us: the folder is ours and private.
    struct stat st { };
    if (::lstat(QFile::encodeName(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        throw Error(QStringLiteral("The instance folder '%1' is missing or belongs to another user").arg(folder));
    if ((st.st_mode & 0077) != 0)
        ::chmod(QFile::encodeName(folder).constData(), 0700);
    removeDeadPendingEntries(folder);
    return folder;
}

InstanceRegistration::InstanceRegistration()
{
    const QString folder = instanceRegistryFolder();
    const QString stem = QStringLiteral("%1-%2").arg(QCoreApplication::applicationPid()).arg(g_counter.fetch_add(1));
    m_path = QDir(folder).filePath(kPrefix + stem + kSuffix);
    m_fd = createEntry(folder, kPrefix + stem + kSuffix, QByteArray::number(QCoreApplication::applicationPid()) + '\n',
                       "spreadsheet application instance");
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
    bool running = false;
    forEachLiveEntry(folder, kPrefix, [&](int) { return running = true; });
    return running;
}

FileHold::FileHold(const QString& path)
    : m_path(QFileInfo(path).absoluteFilePath())
{
    const QString folder = instanceRegistryFolder();
    const QString name = QStringLiteral("%1%2-%3%4")
                             .arg(kHoldPrefix)
                             .arg(QCoreApplication::applicationPid())
                             .arg(g_counter.fetch_add(1))
                             .arg(kSuffix);
    m_entry = QDir(folder).filePath(name);
    m_fd = createEntry(folder, name, m_path.toUtf8(), "file hold");
}

FileHold::~FileHold()
{
    ::unlink(QFile::encodeName(m_entry).constData());
    ::close(m_fd);
}

QStringList heldFiles()
{
    QStringList held;
    QString folder;
    try {
        folder = instanceRegistryFolder();
    } catch (const Error&) {
        return held;
    }
    forEachLiveEntry(folder, kHoldPrefix, [&](int fd) {
        QByteArray text(4096, '\0');
        const ssize_t n = ::pread(fd, text.data(), static_cast<size_t>(text.size()), 0);
        if (n > 0)
            held << QString::fromUtf8(text.left(static_cast<qsizetype>(n)));
        return false;
    });
    return held;
}

} // namespace sheet
