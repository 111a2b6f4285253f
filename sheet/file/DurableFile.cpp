#include "file/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <cerrno>
#include <cstring>
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

QString systemReason(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

[[noreturn]] void fail(const QString& path, int error) { throw WriteError(path, error, systemReason(error)); }

// Closes and removes the temporary file unless it was renamed into place.
class TemporaryFile {
public:
    TemporaryFile(const QString& folder, const QString& name, mode_t mode, const QString& shown)
    {
        // Hidden, beside the target, so the rename stays within one filesystem.
        for (int attempt = 0; attempt < 100; ++attempt) {
            const QString suffix = QString::number(QRandomGenerator::global()->generate() % 0x1000000u, 16);
            m_path = QFile::encodeName(folder + QStringLiteral("/.") + name + QLatin1Char('.') + suffix
                                       + QStringLiteral(".tmp"));
            m_fd = ::open(m_path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (m_fd >= 0 || errno != EEXIST)
                break;
        }
        if (m_fd < 0)
            fail(shown, errno);
    }
    ~TemporaryFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (!m_renamed)
            ::unlink(m_path.constData());
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
    QString current = QFileInfo(path).absoluteFilePath();
    for (int depth = 0; depth < 40; ++depth) {
        const QByteArray native = QFile::encodeName(current);
        struct stat st { };
        if (::lstat(native.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
            return current;
        QByteArray target(4096, '\0');
        const ssize_t n = ::readlink(native.constData(), target.data(), static_cast<size_t>(target.size()));
        if (n < 0 || n >= target.size())
            return current;
        target.truncate(n);
        const QString next = QFile::decodeName(target);
        current = QDir::cleanPath(QFileInfo(next).isAbsolute() ? next : QFileInfo(current).dir().filePath(next));
    }
    fail(path, ELOOP);
}

void writeFileDurably(const QString& path, const QByteArray& bytes)
{
    writeFileDurably(path, bytes, DurableWriteOptions());
}

void writeFileDurably(const QString& path, const QByteArray& bytes, const DurableWriteOptions& options)
{
    if (path.isEmpty())
        fail(path, ENOENT);
    const QString target = options.links == DurableWriteOptions::Links::Follow ? resolvedWriteTarget(path)
                                                                               : QFileInfo(path).absoluteFilePath();
    const QByteArray nativeTarget = QFile::encodeName(target);
    const QFileInfo targetInfo(target);
    const QString folder = targetInfo.absolutePath();

    // What stands at the target decides the new file's permissions, and whether it may be
    // replaced at all: a read-only file is the user's "do not change", a folder or a device
    // is nothing a save replaces.
    mode_t mode = options.newFileMode;
    struct stat st { };
    if (::lstat(nativeTarget.constData(), &st) == 0) {
        if (S_ISDIR(st.st_mode))
            fail(path, EISDIR);
        if (S_ISREG(st.st_mode)) {
            if (::access(nativeTarget.constData(), W_OK) != 0)
                fail(path, errno);
            mode = st.st_mode & 07777;
        } else if (!S_ISLNK(st.st_mode)) {
            throw WriteError(path, EINVAL, QStringLiteral("It is not a regular file"));
        }
    } else if (errno != ENOENT) {
        fail(path, errno);
    }

    TemporaryFile temp(folder, targetInfo.fileName(), options.newFileMode, path);
    // open() applied the umask to a new file's mode; an existing file's mode is copied whole.
    if (mode != options.newFileMode)
        ::fchmod(temp.fd(), mode);

    const char* data = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const size_t chunk = static_cast<size_t>(std::min<qint64>(left, 1 << 20));
        const ssize_t n = writeSome(temp.fd(), data, chunk);
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
    const int dir = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        fail(path, errno);
    const int rc = syncFolder(dir);
    const int error = errno;
    ::close(dir);
    // Some filesystems cannot sync a folder at all; that is no failure of this write.
    if (rc != 0 && error != EINVAL && error != ENOTSUP)
        fail(path, error);
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
