#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>

// Daily backups of the settings: before the first change of the day to anything in the
// program's group (a log, a height, the chosen log), the settings file as it stands is copied
// to $XDG_DATA_HOME/Pendrel/Kalmora/backups/kalmora-YYYY-MM-DD.ini (owner-only, in an
// owner-only folder). The newest 30, by when they were made, are kept; the one just made
// always. Restoring one is copying it over the settings file while the program is closed
// (README). The settings store calls this itself, under its lock, with the bytes it is about
// to replace.

constexpr int BackupsKept = 30;

// The folder the backups go to (every byte of $XDG_DATA_HOME or $HOME kept).
QString BackupFolder();

// The backup file of a day.
QString BackupFileName(const QDate& day);

// The backups present, oldest made first.
QStringList BackupFiles();

// Makes today's backup of `current` (the settings file's bytes) unless it exists, then keeps
// the newest BackupsKept. Returns why it could not be made, or an empty text; a failure is
// returned once a day (then the change is stored without a word), and the backup is tried
// again with each later change that day.
QString BackUpSettingsToday(const QByteArray& current);

// Tests: the day the backups take as today; an invalid date restores the clock. Also forgets
// that a failure was reported.
void SetBackupDayForTesting(const QDate& day);
