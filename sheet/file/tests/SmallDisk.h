#pragma once

// A real, nearly full filesystem for the tests of writes on a full disk: a 64 KB tmpfs
// mounted on a temporary folder (root only, as CI runs), filled up to a given number of free
// bytes. Without root the case is skipped, and the test log says so.

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>

#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>

class SmallDisk {
public:
    explicit SmallDisk(const char* size = "size=64k")
    {
        if (::geteuid() != 0) {
            m_skipReason
                = QStringLiteral("the real-filesystem (full tmpfs) case was skipped: it needs root to mount a tmpfs");
            return;
        }
        if (!m_dir.isValid() || ::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0, size) != 0) {
            m_skipReason = QStringLiteral("the real-filesystem (full tmpfs) case was skipped: mounting a tmpfs failed");
            return;
        }
        m_mounted = true;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;

    bool mounted() const { return m_mounted; }
    const QString& skipReason() const { return m_skipReason; }
    QString path() const { return m_dir.path(); }
    QString filePath(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }

    // Fills the disk with a filler file until about `free` bytes stay free (whole pages).
    void fill(qint64 free)
    {
        QFile filler(filePath(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
            return;
        const QByteArray page(4096, 'f');
        while (filler.write(page) == page.size()) { }
        filler.close();
        // Give back whole pages until the wanted room is there.
        qint64 size = QFileInfo(filler.fileName()).size();
        while (freeBytes() < free && size > 0) {
            size = std::max<qint64>(0, size - 4096);
            QFile::resize(filler.fileName(), size);
        }
    }
    qint64 freeBytes() const
    {
        struct statvfs st { };
        if (::statvfs(QFile::encodeName(m_dir.path()).constData(), &st) != 0)
            return -1;
        return static_cast<qint64>(st.f_bavail) * static_cast<qint64>(st.f_frsize);
    }

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_skipReason;
};
