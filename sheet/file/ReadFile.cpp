#include "file/ReadFile.h"

#include "base/Error.h"
#include "file/NativePath.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace sheet {

namespace {

[[noreturn]] void refuse(const QString& path, const QString& reason)
{
    const QString shown = QFileInfo(path).fileName().isEmpty() ? path : QFileInfo(path).fileName();
    throw Error(QStringLiteral("Cannot open '%1': %2").arg(shown, reason));
}

} // namespace

int openRegularFile(const QString& path, qint64* size, qint64 limit)
{
    auto fail = [&](const QString& reason) { refuse(path, reason); };
    // Non-blocking, so opening a pipe does not wait for a writer; checked before any read.
    const int fd = ::open(encodePath(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        fail(QString::fromLocal8Bit(std::strerror(errno)));
    struct Closer {
        int fd;
        ~Closer()
        {
            if (fd >= 0)
                ::close(fd);
        }
    } closer{fd};
    struct stat st { };
    if (::fstat(fd, &st) != 0)
        fail(QString::fromLocal8Bit(std::strerror(errno)));
    if (S_ISDIR(st.st_mode))
        fail(QStringLiteral("it is a folder, not a file"));
    if (!S_ISREG(st.st_mode))
        fail(QStringLiteral("it is not a regular file (a device, a pipe or a socket)"));
    if (st.st_size > limit)
        fail(QStringLiteral("the file is larger than %1 MB").arg(limit / (1024 * 1024)));
    *size = st.st_size;
    closer.fd = -1;
    return fd;
}

QByteArray readRegularFile(const QString& path, qint64 limit)
{
    auto fail = [&](const QString& reason) { refuse(path, reason); };
    qint64 size = 0;
    const int fd = openRegularFile(path, &size, limit);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    QByteArray data;
    data.resize(static_cast<qsizetype>(size));
    qint64 done = 0;
    for (;;) {
        if (done == data.size()) {
            // The file may have grown since fstat; anything more is read up to the limit.
            if (done >= limit + 1)
                break;
            data.resize(static_cast<qsizetype>(std::min<qint64>(limit + 1, done + 65536)));
        }
        const ssize_t n = ::read(fd, data.data() + done, static_cast<size_t>(data.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            fail(QString::fromLocal8Bit(std::strerror(errno)));
        }
        if (n == 0)
            break;
        done += n;
    }
    if (done > limit)
        fail(QStringLiteral("the file is larger than %1 MB").arg(limit / (1024 * 1024)));
    data.truncate(static_cast<qsizetype>(done));
    return data;
}

} // namespace sheet
