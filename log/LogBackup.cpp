#include "LogBackup.h"

#include "Settings.h"
#include "file/DurableFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QDate& DayOverride()
{
    static QDate day;
    return day;
}

QDate Today() { return DayOverride().isValid() ? DayOverride() : QDate::currentDate(); }

// The day whose backup failed in this run: not tried again (nor reported again) that day.
QDate& FailedDay()
{
    static QDate day;
    return day;
}

constexpr QFileDevice::Permissions OwnerOnlyFolder
    = QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner;

} // namespace

QString BackupFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Pendrel/Kalmora/backups");
}

QString BackupFileName(const QDate& day)
{
    return QStringLiteral("kalmora-%1.ini").arg(day.toString(QStringLiteral("yyyy-MM-dd")));
}

QStringList BackupFiles()
{
    QDir folder(BackupFolder());
    // The names sort by date.
    return folder.entryList({QStringLiteral("kalmora-\?\?\?\?-\?\?-\?\?.ini")}, QDir::Files, QDir::Name);
}

QString BackUpStoredLogsToday()
{
    const QDate today = Today();
    if (FailedDay() == today)
        return QString();
    const QString folder = BackupFolder();
    const QString target = folder + QLatin1Char('/') + BackupFileName(today);
    if (QFileInfo::exists(target))
        return QString();
    const QString source = SettingsFilePath();
    if (!QFileInfo::exists(source))
        return QString();
    try {
        QFile in(source);
        if (!in.open(QIODevice::ReadOnly))
            throw sheet::Error(QStringLiteral("Cannot read '%1': %2").arg(source, in.errorString()));
        const QByteArray bytes = in.readAll();
        if (in.error() != QFileDevice::NoError)
            throw sheet::Error(QStringLiteral("Cannot read '%1': %2").arg(source, in.errorString()));
        if (!QDir().mkpath(folder))
            throw sheet::Error(QStringLiteral("Cannot create the folder '%1'").arg(folder));
        QFile::setPermissions(folder, OwnerOnlyFolder);
        sheet::DurableWriteOptions options;
        options.newFileMode = 0600;
        options.links = sheet::DurableWriteOptions::Links::Replace;
        sheet::writeFileDurably(target, bytes, options);
    } catch (const sheet::Error& e) {
        FailedDay() = today;
        return QStringLiteral("The daily backup of the logs could not be made: %1").arg(e.message());
    }
    QStringList files = BackupFiles();
    while (files.size() > BackupsKept)
        QFile::remove(folder + QLatin1Char('/') + files.takeFirst());
    return QString();
}

void SetBackupDayForTesting(const QDate& day)
{
    DayOverride() = day;
    FailedDay() = QDate();
}
