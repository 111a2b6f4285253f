#include "file/DurableFile.h"

#include "file/NativePath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <dirent.h>
#include <sys/file.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sheet {

namespace {

struct FaultState {
    bool active = false;
    DurableFaults faults;
    qint64 written = 0;
    int syncs = 0;
};

FaultState& faultState()
{
    static FaultState state;
    return state;
}

ssize_t writeSome(int fd, const char* data, size_t size)
{
    FaultState& f = faultState();
    if (f.active && f.faults.failWriteAtByte >= 0) {
        const qint64 room = f.faults.failWriteAtByte - f.written;
        if (room <= 0) {
            errno = ENOSPC;
            return -1;
        }
        size = std::min<size_t>(size, static_cast<size_t>(room));
    }
    const ssize_t n = ::write(fd, data, size);
    if (f.active && n > 0)
        f.written += n;
    return n;
}

int syncFile(int fd)
{
    FaultState& f = faultState();
    if (f.active) {
        ++f.syncs;
        if (f.faults.failFileSync) {
            errno = EIO;
            return -1;
        }
    }
    return ::fsync(fd);
}

int syncFolder(int fd)
{
    FaultState& f = faultState();
    if (f.active && f.faults.failFolderSync) {
        errno = EIO;
        return -1;
    }
    return ::fsync(fd);
}

int renameFile(const char* from, const char* to)
{
    FaultState& f = faultState();
    if (f.active && f.faults.failRename) {
        errno = EIO;
        return -1;
    }
    return ::rename(from, to);
}

std::function<void(const QByteArray&)>& CreatedHook()
{
    static std::function<void(const QByteArray&)> hook;
    return hook;
}

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

[[noreturn]] void fail(const QString& path, int error) { throw WriteError(path, error, systemReason(error)); }

// The temporary file's name beside the target: "." + name + "." + six hex digits + ".tmp",
// the name cut short (at a byte) when the whole would pass the folder's limit on a name's
// length, so that a name of 244 to 255 bytes can be saved too.
QByteArray temporaryName(const QByteArray& folder, const QByteArray& name, quint32 random)
{
    long limit = ::pathconf(folder.constData(), _PC_NAME_MAX);
    if (limit <= 0)
        limit = NAME_MAX;
    const qsizetype room = std::max<qsizetype>(1, limit - 12);
    QByteArray suffix = QByteArray::number(random % 0x1000000u, 16).rightJustified(6, '0');
    return '.' + name.left(room) + '.' + suffix + ".tmp";
}

// The target a temporary file's name was made for: "." + target + "." + one to six hex digits
// + ".tmp" (earlier versions used fewer digits); empty when the name is no such name.
QByteArray temporaryTarget(const QByteArray& name)
{
    if (!name.startsWith('.') || !name.endsWith(".tmp") || name.size() < 8)
        return QByteArray();
    const QByteArray middle = name.mid(1, name.size() - 5);
    const qsizetype dot = middle.lastIndexOf('.');
    const qsizetype digits = middle.size() - dot - 1;
    if (dot <= 0 || digits < 1 || digits > 6)
        return QByteArray();
    for (const char c : middle.mid(dot + 1)) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return QByteArray();
    }
    return middle.left(dot);
}

// Whether a temporary file made for `made` is a leftover that a write of `target` clears:
// one of the target itself (its name maybe cut short), or of another workbook or report.
bool sameTargetOrKind(const QByteArray& made, const QByteArray& target)
{
    if (made == target || (made.size() >= 200 && target.startsWith(made)))
        return true;
    // Workbooks and reports saved in one folder: a save there clears what a killed save of
    // another one left. Other kinds of files in a shared folder are no business of ours.
    const auto saved = [](const QByteArray& name) {
        const QByteArray lower = name.toLower();
        return lower.endsWith(".xls") || lower.endsWith(".xlt") || lower.endsWith(".pdf");
    };
    return saved(target) && saved(made);
}

// Closes and removes the temporary file unless it was renamed into place. Created owner-only
// and locked (flock) for as long as it lives: whoever finds one unlocked knows that its
// writer is gone.
class TemporaryFile {
public:
    TemporaryFile(const QByteArray& folder, const QByteArray& name, const QString& shown)
    {
        // Hidden, beside the target, so the rename stays within one filesystem.
        for (int attempt = 0; attempt < 100; ++attempt) {
            m_path = folder + '/' + temporaryName(folder, name, QRandomGenerator::global()->generate());
            // Nobody else may read it, not even for a moment: the mode is widened once it is ours.
            m_fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
            if (m_fd >= 0 || errno != EEXIST)
                break;
        }
        if (m_fd < 0)
            fail(shown, errno);
        // The lock lives on a second descriptor, so that closing the first (which reports
        // what a network filesystem could not write back) does not drop it before the rename.
        m_lock = ::dup(m_fd);
        if (m_lock >= 0)
            ::flock(m_lock, LOCK_EX | LOCK_NB);
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_renamed)
            ::unlink(m_path.constData());
        if (m_lock >= 0)
            ::close(m_lock);
    }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    int fd() const { return m_fd; }
    const QByteArray& path() const { return m_path; }
    // close(2) reports what a network filesystem could not write back.
    int close()
    {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc;
    }
    void renamed() { m_renamed = true; }

private:
    QByteArray m_path;
    int m_fd = -1;
    int m_lock = -1;
    bool m_renamed = false;
};

} // namespace

WriteError::WriteError(const QString& path, int errorNumber, const QString& reason)
    : Error(QStringLiteral("Cannot save '%1': %2").arg(QDir::toNativeSeparators(path), reason))
    , m_path(path)
    , m_reason(reason)
    , m_errno(errorNumber)
{
}

QString resolvedWriteTarget(const QString& path)
{
    QString current = absolutePath(path);
    for (int depth = 0; depth < 40; ++depth) {
        const QByteArray native = encodePath(current);
        struct stat st { };
        if (::lstat(native.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        QByteArray target(4096, '\0');
        const ssize_t n = ::readlink(native.constData(), target.data(), static_cast<size_t>(target.size()));
        if (n < 0 || n >= target.size())
            return current;
        target.truncate(n);
        const QString next = decodePath(target);
        current
            = QDir::cleanPath(next.startsWith(QLatin1Char('/')) ? next : folderOf(current) + QLatin1Char('/') + next);
    }
    fail(path, ELOOP);
}

QString absolutePath(const QString& path)
{
    if (path.startsWith(QLatin1Char('/')))
        return QDir::cleanPath(path);
    QByteArray here(4096, '\0');
    if (!::getcwd(here.data(), static_cast<size_t>(here.size())))
        return QDir::cleanPath(path);
    here.truncate(static_cast<qsizetype>(std::strlen(here.constData())));
    return QDir::cleanPath(decodePath(here) + QLatin1Char('/') + path);
}

QString folderOf(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

int removeDeadTemporaries(const QString& folder, const std::function<bool(const QByteArray& target)>& belongs)
{
    const QByteArray native = encodePath(absolutePath(folder));
    DIR* dir = ::opendir(native.constData());
    if (!dir)
        return 0;
    int removed = 0;
    const uid_t me = ::geteuid();
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        const QByteArray made = temporaryTarget(name);
        if (made.isEmpty() || !belongs(made))
            continue;
        const QByteArray full = native + '/' + name;
        // Ours alone, a plain file, and no writer holds it: its writer is gone.
        const int fd = ::open(full.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st { };
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == me && ::flock(fd, LOCK_EX | LOCK_NB) == 0
            && ::unlink(full.constData()) == 0)
            ++removed;
        ::close(fd);
    }
    ::closedir(dir);
    return removed;
}

int removeDeadTemporaries(const QString& path)
{
    const QString target = absolutePath(path);
    const QByteArray name = encodePath(target.mid(target.lastIndexOf(QLatin1Char('/')) + 1));
    return removeDeadTemporaries(folderOf(target),
                                 [&](const QByteArray& made) { return sameTargetOrKind(made, name); });
}

void writeFileDurably(const QString& path, const QByteArray& bytes)
{
    writeFileDurably(path, bytes, DurableWriteOptions());
}

namespace {

// The mode the new file gets: an existing file's own, else the asked-for mode less the umask.
// Throws for what a save must not replace.
mode_t targetMode(const QString& path, const QByteArray& nativeTarget, mode_t newFileMode)
{
    struct stat st { };
    if (::lstat(nativeTarget.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            fail(path, EISDIR);
        if (S_ISREG(st.st_mode)) {
            if (::access(nativeTarget.constData(), W_OK) != 0)
                fail(path, errno);
            return st.st_mode & 07777;
        }
        if (!S_ISLNK(st.st_mode))
            throw WriteError(path, EINVAL, QStringLiteral("It is not a regular file"));
    } else if (errno != ENOENT) {
        fail(path, errno);
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return newFileMode & ~mask & 07777;
}

void writeAll(int fd, const QByteArray& bytes, const QString& path)
{
    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const size_t chunk = static_cast<size_t>(std::min<qint64>(left, 1 << 20));
        const ssize_t n = writeSome(fd, data, chunk);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(path, errno);
        }
        if (n == 0)
            fail(path, ENOSPC);
        data += n;
        left -= n;
    }
}

} // namespace

void writeFileDurably(const QString& path, const QByteArray& bytes, const DurableWriteOptions& options)
{
    if (path.isEmpty())
        fail(path, ENOENT);
    const QString target
        = options.links == DurableWriteOptions::Links::Follow ? resolvedWriteTarget(path) : absolutePath(path);
    const QByteArray nativeTarget = encodePath(target);
    const QString folder = folderOf(target);
    const QByteArray nativeFolder = encodePath(folder);

    // What stands at the target decides the new file's permissions, and whether it may be
    // replaced at all: a read-only file is the user's "do not change", a folder or a device
    // is nothing a save replaces.
    const mode_t mode = targetMode(path, nativeTarget, options.newFileMode);

    // What killed writers left beside it goes first.
    removeDeadTemporaries(target);
    TemporaryFile temp(nativeFolder, nativeTarget.mid(nativeTarget.lastIndexOf('/') + 1), path);
    if (CreatedHook())
        CreatedHook()(temp.path());
    // Widened only now that it is ours; a filesystem without modes (FAT) refuses, harmlessly.
    if (mode != 0600)
        ::fchmod(temp.fd(), mode);

    writeAll(temp.fd(), bytes, path);
    if (options.syncToDisk && syncFile(temp.fd()) != 0)
        fail(path, errno);
    struct stat written { };
    if (::fstat(temp.fd(), &written) != 0)
        fail(path, errno);
    if (written.st_size != bytes.size())
        throw WriteError(path, EIO,
                         QStringLiteral("%1 of %2 bytes reached the disk").arg(written.st_size).arg(bytes.size()));
    if (temp.close() != 0)
        fail(path, errno);
    if (renameFile(temp.path().constData(), nativeTarget.constData()) != 0)
        fail(path, errno);
    temp.renamed();
    if (!options.syncToDisk)
        return;
    // The rename itself lives in the folder: without this a power cut could bring back the old name.
    const int dir = ::open(nativeFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        fail(path, errno);
    const int rc = syncFolder(dir);
    const int error = errno;
    ::close(dir);
    // Some filesystems cannot sync a folder at all; that is no failure of this write.
    if (rc != 0 && error != EINVAL && error != ENOTSUP)
        fail(path, error);
}

void setTemporaryCreatedHookForTesting(std::function<void(const QByteArray& temporaryPath)> hook)
{
    CreatedHook() = std::move(hook);
}

ScopedDurableFaults::ScopedDurableFaults(const DurableFaults& faults)
{
    FaultState& f = faultState();
    f = FaultState();
    f.active = true;
    f.faults = faults;
}

ScopedDurableFaults::~ScopedDurableFaults() { faultState() = FaultState(); }

qint64 ScopedDurableFaults::bytesWritten() const { return faultState().written; }

int ScopedDurableFaults::syncs() const { return faultState().syncs; }

} // namespace sheet
