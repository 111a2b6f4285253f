#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// Daily backups of the stored logs: before the first change of a day, the settings file as it
// stands (both logs, both heights, the chosen log) is copied to
// $XDG_DATA_HOME/Pendrel/Kalmora/backups/kalmora-YYYY-MM-DD.ini (owner-only, in an owner-only
// folder). The newest 30 are kept. Restoring one is copying it over the settings file while
// the program is closed (README).

constexpr int BackupsKept = 30;

// The folder the backups go to.
QString BackupFolder();

// The backup file of a day.
QString BackupFileName(const QDate& day);

// The backups present, oldest first.
QStringList BackupFiles();

// Makes today's backup unless it exists, there is nothing stored yet, or today's attempt
// already failed once in this run; then keeps the newest BackupsKept. Returns the reason when
// the backup could not be written (the caller goes on with its change and reports it), else
// an empty text.
QString BackUpStoredLogsToday();

// Tests: the day the backups take as today; an invalid date restores the clock.
void SetBackupDayForTesting(const QDate& day);
