#include "SettingsBackup.h"

#include "file/DurableFile.h"
#include "file/NativePath.h"

#include <QDir>

#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QDate& DayOverride()
{
    static QDate day;
    return day;
}

QDate Today() { return DayOverride().isValid() ? DayOverride() : QDate::currentDate(); }

// The day whose backup failure was reported: not reported again that day.
QDate& ReportedDay()
{
    static QDate day;
    return day;
}

bool IsBackupName(const QByteArray& name)
{
    return name.size() == 22 && name.startsWith("kalmora-") && name.endsWith(".ini")
        && QDate::fromString(QString::fromLatin1(name.mid(8, 10)), QStringLiteral("yyyy-MM-dd")).isValid();
}

struct Made {
    QString name;
    qint64 when = 0; // modification time in nanoseconds
};

QList<Made> BackupsMade()
{
    QList<Made> found;
    const QByteArray folder = sheet::encodePath(BackupFolder());
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return found;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        struct stat st { };
        if (!IsBackupName(name) || ::lstat((folder + '/' + name).constData(), &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        found.append({QString::fromLatin1(name), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec});
    }
    ::closedir(dir);
    // By when they were made (a clock that was ahead named some after days yet to come), the
    // name breaking ties.
    std::sort(found.begin(), found.end(),
              [](const Made& a, const Made& b) { return a.when != b.when ? a.when < b.when : a.name < b.name; });
    return found;
}

void MakeFolder(const QString& folder)
{
    // Each missing folder on the way, owner-only.
    const QStringList parts = folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString path;
    for (const QString& part : parts) {
        path += QLatin1Char('/') + part;
        ::mkdir(sheet::encodePath(path).constData(), 0700);
    }
    struct stat st { };
    if (::lstat(sheet::encodePath(folder).constData(), &st) != 0 || !S_ISDIR(st.st_mode))
        throw sheet::Error(QStringLiteral("Cannot create the folder '%1'").arg(QDir::toNativeSeparators(folder)));
    if ((st.st_mode & 0077) != 0)
        ::chmod(sheet::encodePath(folder).constData(), 0700);
}

void KeepNewest(const QString& justMade)
{
    const QByteArray folder = sheet::encodePath(BackupFolder());
    const QList<Made> made = BackupsMade();
    qsizetype excess = made.size() - BackupsKept;
    for (const Made& backup : made) {
        if (excess <= 0)
            break;
        // Never the one just made, however its date sorts.
        if (backup.name == justMade)
            continue;
        ::unlink((folder + '/' + backup.name.toLatin1()).constData());
        --excess;
    }
}

} // namespace

QString BackupFolder()
{
    QString data = sheet::environmentPath("XDG_DATA_HOME");
    if (!data.startsWith(QLatin1Char('/')))
        data = sheet::environmentPath("HOME") + QStringLiteral("/.local/share");
    return QDir::cleanPath(data) + QStringLiteral("/Pendrel/Kalmora/backups");
}

QString BackupFileName(const QDate& day)
{
    return QStringLiteral("kalmora-%1.ini").arg(day.toString(QStringLiteral("yyyy-MM-dd")));
}

QStringList BackupFiles()
{
    QStringList names;
    for (const Made& made : BackupsMade())
        names << made.name;
    return names;
}

QString BackUpSettingsToday(const QByteArray& current)
{
    const QDate today = Today();
    const QString folder = BackupFolder();
    const QString name = BackupFileName(today);
    const QString target = folder + QLatin1Char('/') + name;
    struct stat st { };
    if (::lstat(sheet::encodePath(target).constData(), &st) == 0)
        return QString();
    try {
        MakeFolder(folder);
        // What a killed backup left in the folder goes first.
        sheet::removeDeadTemporaries(folder, [](const QByteArray& made) { return IsBackupName(made); });
        sheet::DurableWriteOptions options;
        options.newFileMode = 0600;
        options.links = sheet::DurableWriteOptions::Links::Replace;
        sheet::writeFileDurably(target, current, options);
    } catch (const sheet::Error& e) {
        if (ReportedDay() == today)
            return QString();
        ReportedDay() = today;
        return QStringLiteral("The daily backup of the logs could not be made: %1").arg(e.message());
    }
    KeepNewest(name);
    return QString();
}

void SetBackupDayForTesting(const QDate& day)
{
    DayOverride() = day;
    ReportedDay() = QDate();
}
