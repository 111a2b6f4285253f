#pragma once

#include "StoredLog.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

// Going back to a backup of the logs (LogBackup.h) from inside the program: the backups with
// what each holds, and a copy of the settings as they stand, made before a restore changes them.

struct BackupInfo {
    QString path;
    QDate day;          // the day the backup was made (from its name)
    QDateTime modified; // when the file was last written
    int imperialEntries = 0;
    int metricEntries = 0;
    bool beforeRestore = false; // made before a restore, not at a day's first change
    QString problem;            // why it cannot be read; empty when it can
};

// The backups in the backup folder, newest first: the daily ones and those made before a
// restore.
QList<BackupInfo> ListBackups();

// What a backup holds of one log, as stored. Throws Failure when it cannot be read.
QList<LogEntry> BackupLog(const QString& path, bool imperial);

// Copies the settings file as it stands to the backup folder as
// kalmora-YYYY-MM-DD-HHMMSS-before-restore.ini (owner-only), keeping the newest ten such copies,
// and returns its path; the empty text when nothing is stored yet. Throws Failure when the copy
// cannot be made: then nothing may be restored.
QString BackUpBeforeRestore();

// Tests: the time the copies before a restore take as now; an invalid one restores the clock.
void SetRestoreClockForTesting(const QDateTime& now);
