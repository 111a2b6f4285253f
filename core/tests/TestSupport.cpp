#include "TestSupport.h"

#include "Constants.h"
#include "IniText.h"
#include "Settings.h"
#include "file/NativePath.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>

namespace {

QByteArray FileBytes(const QString& path)
{
    QFile file(QFile::decodeName(sheet::encodePath(path)));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

void ClearSettings()
{
    ForgetUnsavedSettingsForTesting();
    QFile::remove(SettingsFilePath());
}

bool HasSetting(const QString& key)
{
    return ParseIniText(FileBytes(SettingsFilePath())).contains(SettingsSection, key);
}

QStringList SettingKeys() { return ParseIniText(FileBytes(SettingsFilePath())).sections.value(SettingsSection).keys(); }

QString StoredInFile(const QString& key, const QString& section)
{
    return ParseIniText(FileBytes(SettingsFilePath())).text(section, key, QStringLiteral("<missing>"));
}

void WriteRawSettingsFile(const QByteArray& contents)
{
    ClearSettings();
    const QString path = SettingsFilePath();
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(contents);
    file.close();
    // The store reads the file afresh.
    ReloadSettingsForTesting();
}

ScopedLocale::ScopedLocale(const QString& name)
    : m_previous(QLocale().name())
{
    QLocale::setDefault(QLocale(name));
}

ScopedLocale::~ScopedLocale() { QLocale::setDefault(QLocale(m_previous)); }
