#include "TestSupport.h"

#include "Constants.h"
#include "Settings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>

namespace {

QSettings Store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, SettingsOrganization, SettingsApplication);
}

} // namespace

void ClearSettings()
{
    ForgetUnsavedSettingsForTesting();
    QSettings store = Store();
    store.clear();
    store.sync();
}

bool HasSetting(const QString& key)
{
    QSettings store = Store();
    store.beginGroup(SettingsSection);
    return store.contains(key);
}

QStringList SettingKeys()
{
    QSettings store = Store();
    store.beginGroup(SettingsSection);
    return store.childKeys();
}

void WriteRawSettingsFile(const QByteArray& contents)
{
    ClearSettings();
    const QString path = SettingsFilePath();
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(contents);
        // The store notices a changed file by its size and time; make the time differ from
        // the cached copy's.
        file.setFileTime(QDateTime::currentDateTime().addSecs(3600), QFileDevice::FileModificationTime);
    }
    file.close();
}

ScopedLocale::ScopedLocale(const QString& name)
    : m_previous(QLocale().name())
{
    QLocale::setDefault(QLocale(name));
}

ScopedLocale::~ScopedLocale() { QLocale::setDefault(QLocale(m_previous)); }
