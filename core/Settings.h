#pragma once

#include <QString>

// The per-user settings store: text values under a section and a key. Every key is read with
// the default of its read site; keys are written whole and never deleted.

// The stored text of section/key, or defaultValue when the key does not exist.
QString ReadSetting(const QString& section, const QString& key,
                    const QString& defaultValue = QString());

// Stores value under section/key and writes it to disk at once. Throws Failure when the store
// cannot carry out the write (read-only location, full disk), so the caller's report shows it.
void WriteSetting(const QString& section, const QString& key, const QString& value);

// The true/false state of an option key: True/False in any letter case, or a number (0 is
// false, anything else true). Throws Failure for any other text.
bool SettingToBool(const QString& key, const QString& text);

// The text an option key is written as.
inline QString BoolSettingText(bool state) { return state ? QStringLiteral("True") : QStringLiteral("False"); }

// Where the store lives (for messages and tests).
QString SettingsFilePath();

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
