#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// Readable texts in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

// Shared by the GUI and settings tests of every layer. The test main has already pointed
// XDG_CONFIG_HOME at a temporary folder, fixed the locale to US English and chosen the
// offscreen platform (unless one was set).

// Removes every key of the settings store.
void ClearSettings();
// Whether section "Kalmora" holds key.
bool HasSetting(const QString& key);
// The keys present in section "Kalmora".
QStringList SettingKeys();
// The text the settings file itself holds under section/key (read afresh), or "<missing>".
QString StoredInFile(const QString& key, const QString& section = QStringLiteral("Kalmora"));
// Writes the settings file by hand (as something other than this program would), replacing
// whatever the store held.
void WriteRawSettingsFile(const QByteArray& contents);

// Sets the default locale for the lifetime of the object.
class ScopedLocale {
public:
    explicit ScopedLocale(const QString& name);
    ~ScopedLocale();

private:
    QString m_previous;
};
