#pragma once

#include <QStringList>

class LogModel;
class QWidget;
struct SettingsConflict;

// The log on screen and the settings file, when something else changes the file while the
// program runs (a hand edit, another session on the same file):
// - a log on screen changed on disk while nothing of it waits to be saved is shown as the file
//   has it, as one undo step ("Ctrl+Z" brings back what was shown);
// - changed on both sides (this window's change waits unsaved, or the store found the file
//   changed when it saved this window's version), the user is told and offered the file's
//   version as such an undoable replacement;
// - whatever is not on screen (the other log, its heights) is simply taken from the file.
// Waits while a dialog or a chart generation runs. `window` owns the watcher.
void WatchLogOnDisk(LogModel& log, QWidget* window);

// The reactions, for tests and for the watcher: the keys that changed on disk, and a conflict
// the store reported when it saved.
void LogKeysChangedOnDisk(LogModel& log, QWidget* window, const QStringList& fullKeys);
void LogConflictOnSave(LogModel& log, QWidget* window, const SettingsConflict& conflict);
