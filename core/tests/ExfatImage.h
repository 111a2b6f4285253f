#pragma once

// A real exFAT filesystem (timestamps of 1 to 2 seconds) on a loop device through exfat-fuse,
// for the tests of settings written on a USB stick or a shared Windows partition. Root only,
// with mkfs.exfat, losetup and mount.exfat-fuse (exfatprogs, mount, exfat-fuse); otherwise the
// case is skipped and says why.

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>

#include <sys/mount.h>
#include <unistd.h>

class ExfatImage {
public:
    ExfatImage()
    {
        if (::geteuid() != 0) {
            m_skipReason = QStringLiteral("the exFAT case needs root to mount a loop device");
            return;
        }
        for (const char* tool : {"mkfs.exfat", "losetup", "mount.exfat-fuse"}) {
            if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()
                && QStandardPaths::findExecutable(QString::fromLatin1(tool), {"/sbin", "/usr/sbin"}).isEmpty()) {
                m_skipReason = QStringLiteral("the exFAT case needs %1 (scripts/deps.sh --tests)").arg(tool);
                return;
            }
        }
        const QString image = m_dir.filePath("image");
        m_mountPoint = m_dir.filePath("mnt");
        if (!run("truncate", {"-s", "8M", image}) || !run("mkfs.exfat", {image}) || !QDir().mkpath(m_mountPoint)) {
            m_skipReason = QStringLiteral("the exFAT image could not be made");
            return;
        }
        QProcess losetup;
        losetup.start("losetup", {"-f", "--show", image});
        losetup.waitForFinished(20000);
        m_device = QString::fromLocal8Bit(losetup.readAllStandardOutput()).trimmed();
        if (m_device.isEmpty() || !run("mount.exfat-fuse", {m_device, m_mountPoint})) {
            m_skipReason = QStringLiteral("the exFAT image could not be mounted (no loop device or no FUSE here)");
            return;
        }
        m_mounted = true;
    }
    ~ExfatImage()
    {
        if (m_mounted)
            run("umount", {m_mountPoint});
        if (!m_device.isEmpty())
            run("losetup", {"-d", m_device});
    }
    ExfatImage(const ExfatImage&) = delete;
    ExfatImage& operator=(const ExfatImage&) = delete;

    bool mounted() const { return m_mounted; }
    const QString& skipReason() const { return m_skipReason; }
    const QString& path() const { return m_mountPoint; }

private:
    static bool run(const QString& program, const QStringList& arguments)
    {
        QProcess process;
        process.start(program, arguments);
        return process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit
            && process.exitCode() == 0;
    }

    QTemporaryDir m_dir;
    QString m_mountPoint;
    QString m_device;
    bool m_mounted = false;
    QString m_skipReason;
};
