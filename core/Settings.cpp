#include "Settings.h"

#include "Constants.h"
#include "Failure.h"
#include "IniText.h"
#include "MessageBox.h"
#include "file/DurableFile.h"
#include "file/ReadFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QMap>
#include <QRegularExpression>
#include <QSettings>
#include <QStringDecoder>
#include <QStringList>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>

// The store reads through QSettings, which knows every form an INI file may take, and writes
// its own file: the same text QSettings would write (IniFileText), replaced through the durable
// helper. QSettings' own writer reports success after a failed write on a full disk and then
// replaces the file with an empty or truncated one.

namespace {

QSettings OpenStore()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, SettingsOrganization, SettingsApplication);
}

// Values whose write failed: still what the program shows and reads, and written with the
// next write that succeeds.
QMap<QString, QString>& Pending()
{
    static QMap<QString, QString> pending;
    return pending;
}

// The unreadable file of which a copy was kept, so one file is copied and announced once.
QString& CopiedUnreadable()
{
    static QString identity;
    return identity;
}

// The file as this store last wrote it: readable, so it needs no second look.
QString& LastWritten()
{
    static QString identity;
    return identity;
}

// Whether rewriting the file from the keys QSettings could read would drop part of it: text
// that is no UTF-8, control characters, or lines that are neither a section, a comment nor a
// key. Hand edits that QSettings reads whole (blanks, comments, another order) are readable.
bool LooksUnreadable(const QByteArray& bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (utf8.hasError())
        return true;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\r') && c != QLatin1Char('\t'))
            return true;
    }
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
            continue;
        if (line.contains(QLatin1Char('=')))
            continue;
        // A value continued on the next line ends its line with a backslash.
        if (i > 0 && lines.at(i - 1).trimmed().endsWith(QLatin1Char('\\')))
            continue;
        return true;
    }
    return false;
}

struct FileStamp {
    bool exists = false;
    qint64 size = 0;
    qint64 modifiedMs = 0;
    QString identity; // device, inode, size and time: changes with every replacement
};

FileStamp Stamp(const QString& path)
{
    FileStamp stamp;
    struct stat st { };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.modifiedMs = static_cast<qint64>(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    stamp.identity = QStringLiteral("%1:%2:%3:%4.%5")
                         .arg(st.st_dev)
                         .arg(st.st_ino)
                         .arg(st.st_size)
                         .arg(st.st_mtim.tv_sec)
                         .arg(st.st_mtim.tv_nsec);
    return stamp;
}

QString FullKey(const QString& section, const QString& key) { return section + QLatin1Char('/') + key; }

QString NotSaved(const QString& key, const QString& reason)
{
    return QStringLiteral("The setting \"%1\" could not be saved: %2\r\n"
                          "The change stays on screen and is saved with the next change that can be saved.")
        .arg(key, reason);
}

// A settings file QSettings could read only in part is copied beside it, once, before the
// first rewrite drops what could not be read. Throws when the copy cannot be made: then
// nothing is rewritten.
void KeepUnreadableCopy(const QString& path, const FileStamp& stamp, const QString& key)
{
    if (CopiedUnreadable() == stamp.identity)
        return;
    QByteArray raw;
    QString copy;
    try {
        raw = sheet::readRegularFile(path);
        copy = path + QStringLiteral(".unreadable-")
            + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        for (int n = 2; QFileInfo::exists(copy) || QFileInfo(copy).isSymLink(); ++n)
            copy = copy.section(QLatin1Char('~'), 0, 0) + QStringLiteral("~%1").arg(n);
        sheet::DurableWriteOptions options;
        options.links = sheet::DurableWriteOptions::Links::Replace;
        options.newFileMode = 0600;
        sheet::writeFileDurably(copy, raw, options);
    } catch (const sheet::WriteError& e) {
        throw SettingsNotSaved(
            NotSaved(key,
                     QStringLiteral("%1 cannot be read completely, and a copy of it could not be kept: %2")
                         .arg(QDir::toNativeSeparators(path), e.reason())));
    } catch (const sheet::Error& e) {
        throw SettingsNotSaved(NotSaved(key, e.message()));
    }
    CopiedUnreadable() = stamp.identity;
    ShowMessage(QStringLiteral("The settings file %1 could not be read completely. A copy of it was kept as %2 "
                               "before it was written again with the settings that could be read.")
                    .arg(QDir::toNativeSeparators(path), QDir::toNativeSeparators(copy)),
                MsgButtons::Ok, MsgIcon::Exclamation);
}

} // namespace

QString SettingsFilePath() { return OpenStore().fileName(); }

QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue)
{
    const auto pending = Pending().constFind(FullKey(section, key));
    if (pending != Pending().constEnd())
        return pending.value();
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

namespace {

void StoreSetting(const QString& key, const QString& fullKey, const QString& text)
{
    const QString path = SettingsFilePath();

    // Writers of this file (QSettings in any program included) take this lock around their
    // read-modify-write. A folder where it cannot be made is left to the write to report.
    QDir().mkpath(QFileInfo(path).absolutePath());
    QLockFile lock(path + QStringLiteral(".lock"));
    if (lock.tryLock(5000)) {
        // Every writer holds the lock while its temporary file exists: any found now was left
        // by a writer that was killed.
        const QFileInfo target(sheet::resolvedWriteTarget(path));
        const QStringList stale
            = target.dir().entryList({QLatin1Char('.') + target.fileName() + QStringLiteral(".*.tmp")},
                                     QDir::Files | QDir::Hidden | QDir::System);
        for (const QString& name : stale)
            QFile::remove(target.dir().filePath(name));
    } else if (lock.error() == QLockFile::LockFailedError) {
        throw SettingsNotSaved(
            NotSaved(key, QStringLiteral("%1 is locked by another program.").arg(QDir::toNativeSeparators(path))));
    }

    const FileStamp before = Stamp(path);
    QSettings store = OpenStore();
    // Sections are parsed when first asked for; a section that cannot be parsed shows in the
    // status only then.
    const QStringList existing = store.allKeys();
    const QSettings::Status status = store.status();
    if (status == QSettings::AccessError)
        throw SettingsNotSaved(NotSaved(key, QStringLiteral("%1 cannot be read.").arg(QDir::toNativeSeparators(path))));

    // The file rewrites whole on every change, which a long log makes costly; writing the
    // value it already holds changes nothing (unless earlier values wait to be stored).
    const auto pending = Pending().constFind(fullKey);
    const bool held = pending != Pending().constEnd() ? pending.value() == text
                                                      : store.contains(fullKey)
            && store.value(fullKey).typeId() == QMetaType::QString && store.value(fullKey).toString() == text;
    if (held && Pending().isEmpty())
        return;
    if (before.exists && before.identity != LastWritten() && before.identity != CopiedUnreadable()) {
        bool unreadable = status == QSettings::FormatError;
        if (!unreadable) {
            try {
                unreadable = LooksUnreadable(sheet::readRegularFile(path));
            } catch (const sheet::Error& e) {
                throw SettingsNotSaved(NotSaved(key, e.message()));
            }
        }
        if (unreadable)
            KeepUnreadableCopy(path, before, key);
    }

    QMap<QString, QVariant> keys;
    for (const QString& k : existing)
        keys.insert(k, store.value(k));
    for (auto it = Pending().constBegin(); it != Pending().constEnd(); ++it)
        keys.insert(it.key(), it.value());
    keys.insert(fullKey, text);

    try {
        sheet::writeFileDurably(path, IniFileText(keys));
    } catch (const sheet::WriteError& e) {
        throw SettingsNotSaved(NotSaved(key, QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), e.reason())));
    }
    Pending().clear();

    // QSettings takes a file of the same size and modification time (in milliseconds) for the
    // one it has read already; two quick writes of equal length must not look alike.
    const FileStamp after = Stamp(path);
    if (before.exists && after.size == before.size && after.modifiedMs <= before.modifiedMs) {
        const qint64 ms = before.modifiedMs + 1;
        const struct timespec times[2]
            = {{0, UTIME_OMIT}, {static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000}};
        ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0);
    }
    LastWritten() = Stamp(path).identity;
}

} // namespace

void WriteSetting(const QString& section, const QString& key, const QString& value)
{
    // The store holds texts only; a null text is the empty one.
    const QString text = value.isNull() ? QLatin1String("") : value;
    const QString fullKey = FullKey(section, key);
    try {
        StoreSetting(key, fullKey, text);
    } catch (const SettingsNotSaved&) {
        // What the window shows stays what the program reads, until a write stores it.
        Pending().insert(fullKey, text);
        throw;
    }
}

bool HasUnsavedSettings() { return !Pending().isEmpty(); }

QStringList UnsavedSettingKeys()
{
    QStringList keys;
    for (auto it = Pending().constBegin(); it != Pending().constEnd(); ++it)
        keys << it.key().section(QLatin1Char('/'), 1);
    return keys;
}

void SaveUnsavedSettings()
{
    if (Pending().isEmpty())
        return;
    // Any pending value rewrites them all.
    const auto first = Pending().constBegin();
    WriteSetting(first.key().section(QLatin1Char('/'), 0, 0), first.key().section(QLatin1Char('/'), 1), first.value());
}

void ForgetUnsavedSettingsForTesting()
{
    Pending().clear();
    CopiedUnreadable().clear();
    LastWritten().clear();
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
    throw Failure(
        QStringLiteral("Type mismatch: the setting \"%1\" holds \"%2\", which is neither True, False nor a number.")
            .arg(key, text));
}
