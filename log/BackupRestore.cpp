#include "BackupRestore.h"

#include "Constants.h"
#include "Failure.h"
#include "IniText.h"
#include "LogBackup.h"
#include "Settings.h"

#include "file/DurableFile.h"
#include "file/ReadFile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

namespace {

// Copies made before a restore that are kept.
constexpr int RestoreCopiesKept = 10;

QDateTime& ClockOverride()
{
    static QDateTime now;
    return now;
}

QDateTime Now() { return ClockOverride().isValid() ? ClockOverride() : QDateTime::currentDateTime(); }

const QRegularExpression& BackupName()
{
    static const QRegularExpression name(
        QStringLiteral("^kalmora-(\\d{4}-\\d{2}-\\d{2})(-\\d{6}-before-restore)?\\.ini$"));
    return name;
}

// A backup is a settings file: read with the store's own reader. Throws Failure when it
// cannot be read, or only in part (restoring part of a log would lose the rest).
IniDocument ReadBackup(const QString& path)
{
    IniDocument document;
    try {
        document = ParseIniText(sheet::readRegularFile(path));
    } catch (const sheet::Error& e) {
        throw Failure(
            QStringLiteral("The backup %1 cannot be read: %2").arg(QDir::toNativeSeparators(path), e.message()));
    }
    if (!document.problems.isEmpty())
        throw Failure(QStringLiteral("The backup %1 cannot be read completely: %2")
                          .arg(QDir::toNativeSeparators(path), document.problems.first()));
    return document;
}

int EntryCount(const IniDocument& backup, const QString& key)
{
    return static_cast<int>(SplitStoredLog(backup.text(SettingsSection, key)).size());
}

void ReadCounts(BackupInfo& info)
{
    try {
        const IniDocument backup = ReadBackup(info.path);
        info.imperialEntries = EntryCount(backup, Keys::FitnessMen);
        info.metricEntries = EntryCount(backup, Keys::FitnessWomen);
    } catch (const Failure&) {
        info.problem = QStringLiteral("cannot be read");
    }
}

} // namespace

QList<BackupInfo> ListBackups()
{
    QList<BackupInfo> backups;
    const QDir folder(BackupFolder());
    for (const QFileInfo& file : folder.entryInfoList({QStringLiteral("kalmora-*.ini")}, QDir::Files)) {
        const QRegularExpressionMatch m = BackupName().match(file.fileName());
        if (!m.hasMatch())
            continue;
        BackupInfo info;
        info.path = file.absoluteFilePath();
        info.day = QDate::fromString(m.captured(1), Qt::ISODate);
        info.modified = file.lastModified();
        info.beforeRestore = m.capturedLength(2) > 0;
        if (!info.day.isValid())
            continue;
        ReadCounts(info);
        backups.append(info);
    }
    // Newest first: by day, then the later copy of a day first.
    std::sort(backups.begin(), backups.end(), [](const BackupInfo& a, const BackupInfo& b) {
        if (a.day != b.day)
            return a.day > b.day;
        return QFileInfo(a.path).fileName() > QFileInfo(b.path).fileName();
    });
    return backups;
}

QList<LogEntry> BackupLog(const QString& path, bool imperial)
{
    return SplitStoredLog(ReadBackup(path).text(SettingsSection, imperial ? Keys::FitnessMen : Keys::FitnessWomen));
}

QString BackUpBeforeRestore()
{
    const QString source = SettingsFilePath();
    if (!QFileInfo::exists(source))
        return QString();
    const QString folder = BackupFolder();
    const QString target = folder
        + QStringLiteral("/kalmora-%1-before-restore.ini").arg(Now().toString(QStringLiteral("yyyy-MM-dd-HHmmss")));
    try {
        const QByteArray bytes = sheet::readRegularFile(source);
        if (!QDir().mkpath(folder))
            throw sheet::Error(QStringLiteral("Cannot create the folder '%1'").arg(folder));
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        sheet::DurableWriteOptions options;
        options.newFileMode = 0600;
        options.links = sheet::DurableWriteOptions::Links::Replace;
        sheet::writeFileDurably(target, bytes, options);
    } catch (const sheet::Error& e) {
        throw Failure(QStringLiteral("The logs as they stand could not be backed up, so nothing was restored: %1")
                          .arg(e.message()));
    }
    QStringList copies
        = QDir(folder).entryList({QStringLiteral("kalmora-*-before-restore.ini")}, QDir::Files, QDir::Name);
    while (copies.size() > RestoreCopiesKept)
        QFile::remove(folder + QLatin1Char('/') + copies.takeFirst());
    return target;
}

void SetRestoreClockForTesting(const QDateTime& now) { ClockOverride() = now; }
