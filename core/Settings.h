#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The per-user settings store: text values under a section and a key. Every key is read with
// the default of its read site; keys are written whole and never deleted.

// The stored text of section/key, or defaultValue when the key does not exist.
QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue = QString());

// Stores value under section/key and writes the file to disk at once, whole or not at all.
// The first change of a day to the program's group is preceded by the day's backup
// (SettingsBackup.h); a backup that cannot be made does not hold the change up: the change is
// stored, and then Failure is thrown with the reason (once a day).
// Throws SettingsNotSaved with the system's reason when it cannot (read-only file or folder,
// full disk, unreadable file); the value then stays pending: ReadSetting gives it, and the next
// write that succeeds stores it too, so what the program shows and what is stored never part
// without a word. A file that could be read only in part is copied beside it first
// ("Pendrel.ini.unreadable-YYYYMMDD-HHMMSS"), and the user is told so once.
void WriteSetting(const QString& section, const QString& key, const QString& value);

// Removes what killed writes of the settings and of their backups left (at start).
void RemoveSettingsLeftovers();

// Values whose write failed and that no later write has stored yet.
bool HasUnsavedSettings();
QStringList UnsavedSettingKeys();
// Tries once more to store them (at the end of the program). Throws like WriteSetting.
void SaveUnsavedSettings();
// Tests start each case with nothing pending.
void ForgetUnsavedSettingsForTesting();

// The true/false state of an option key: True/False in any letter case, or a number (0 is
// false, anything else true). Throws Failure for any other text.
bool SettingToBool(const QString& key, const QString& text);

// The text an option key is written as.
inline QString BoolSettingText(bool state) { return state ? QStringLiteral("True") : QStringLiteral("False"); }

// Where the store lives: $XDG_CONFIG_HOME/Pendrel/Pendrel.ini ($XDG_CONFIG_HOME is ~/.config
// when unset), every byte of the environment's path kept (see sheet/file/NativePath.h).
QString SettingsFilePath();

// The store reads the file once and then keeps what the program has read or written, so that
// a change made to the file by anyone else (another session, a hand edit) never slips under
// what the window shows. Each write re-reads the file under the lock, keeps every change made
// elsewhere and writes its own keys on top.
//
// A key the program has read and is now writing that was changed elsewhere in the meantime
// (to another value) is a conflict: the program's value is stored, and the other value is
// handed to the conflict handler after the write. The default handler names the key in a message.
struct SettingsConflict {
    QString section;
    QString key;
    QString otherValue; // what the file held, now replaced; empty when the key was missing
    bool otherMissing = false;
};
using SettingsConflictHandler = std::function<void(const SettingsConflict&)>;
// Installs the handler; an empty one restores the default.
void SetSettingsConflictHandler(SettingsConflictHandler handler);
// The default handler's message.
void ShowSettingsConflictMessage(const SettingsConflict& conflict);
// What the file itself holds under section/key now (read afresh), or defaultValue.
QString SettingOnDisk(const QString& section, const QString& key, const QString& defaultValue = QString());

// Keys ("section/key") the program has read whose value in the file now differs from what the
// program holds, as the file stands now (read afresh). Pending keys are among them when the
// file holds something else.
QStringList SettingsChangedOnDisk();
// Takes the file's values of these keys as what the program holds (the window shows them now).
void AcceptSettingsFromDisk(const QStringList& fullKeys);
// Forgets what was read, so the next read sees the file as it is (tests that write the file
// themselves; start-up reads afresh anyway).
void ReloadSettingsForTesting();

// The keys, each with the defaults of its read sites.
namespace Keys {
inline const QString Option1 = QStringLiteral("Option1");
inline const QString Option2 = QStringLiteral("Option2");
inline const QString Text1Men = QStringLiteral("Text1_Men");
inline const QString Text2Men = QStringLiteral("Text2_Men");
inline const QString Text1Women = QStringLiteral("Text1_Women");
inline const QString Text2Women = QStringLiteral("Text2_Women");
inline const QString FitnessMen = QStringLiteral("Fitness Men");
inline const QString FitnessWomen = QStringLiteral("Fitness Women");
// The goal weight of each log: a number with a point; empty (the default) means no goal.
inline const QString GoalMen = QStringLiteral("Goal Men");
inline const QString GoalWomen = QStringLiteral("Goal Women");
} // namespace Keys

namespace Defaults {
inline const QString Option1 = QStringLiteral("1");
inline const QString Option2 = QStringLiteral("0");
inline const QString Text1Men = QStringLiteral("5");
// "Text2_Men" has two read sites with different defaults.
inline const QString Text2MenAtStartup = QStringLiteral("10");
inline const QString Text2MenAtSwitch = QStringLiteral("7");
inline const QString Text1Women = QStringLiteral("1");
inline const QString Text2Women = QStringLiteral("68");
} // namespace Defaults
