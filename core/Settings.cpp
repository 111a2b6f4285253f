#include "Settings.h"

#include "Constants.h"
#include "Failure.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace {

QSettings OpenStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, SettingsOrganization,
                     SettingsApplication);
}

} // namespace

QString SettingsFilePath()
{
    return OpenStore().fileName();
}

QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue)
{
    QSettings store = OpenStore();
    store.beginGroup(section);
    if (!store.contains(key))
        return defaultValue;
    const QVariant value = store.value(key);
    // A hand-edited file may hold an unquoted text with commas, which the INI reader turns
    // into a list; give it back as the text it was.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(QLatin1Char(','));
    QString text = value.toString();
    if (text.isNull())
        text = QLatin1String("");
    return text;
}

void WriteSetting(const QString& section, const QString& key, const QString& value)
{
    QSettings store = OpenStore();
    store.beginGroup(section);
    // The store rewrites its whole file on every change, which a long log makes costly;
    // writing the value it already holds changes nothing.
    if (store.contains(key) && store.value(key).typeId() == QMetaType::QString && store.value(key).toString() == value)
        return;
    // A null text would be stored as an invalid value; the store holds texts only.
    store.setValue(key, value.isNull() ? QLatin1String("") : value);
    store.endGroup();
    store.sync();
    switch (store.status()) {
    case QSettings::NoError:
        return;
    case QSettings::AccessError:
        throw Failure(QStringLiteral("The setting \"%1\" could not be saved: %2 cannot be written.")
                          .arg(key, store.fileName()));
    case QSettings::FormatError:
        throw Failure(QStringLiteral("The setting \"%1\" could not be saved: %2 is not a valid settings file.")
                          .arg(key, store.fileName()));
    }
}

bool SettingToBool(const QString& key, const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return true;
    if (trimmed.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return false;
    bool isNumber = false;
    const double number = trimmed.toDouble(&isNumber);
    if (isNumber)
        return number != 0.0;
    throw Failure(QStringLiteral("Type mismatch: the setting \"%1\" holds \"%2\", which is neither True, False nor a number.")
                      .arg(key, text));
}
