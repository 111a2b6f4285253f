#include "Settings.h"

#include "Constants.h"
#include "Failure.h"
#include "IniText.h"
#include "MessageBox.h"
#include "SettingsBackup.h"
#include "SettingsLock.h"
#include "file/DurableFile.h"
#include "file/NativePath.h"
#include "file/ReadFile.h"

#include <QDateTime>
#include <QDir>
#include <QMap>

#include <optional>

#include <cerrno>
#include <sys/stat.h>

// The store reads and writes its file with its own INI code (IniText): the text QSettings
// writes, read back exactly. QSettings itself is not used: it reuses its parsed copy while
// size and modification time are unchanged, which a filesystem with 2-second timestamps
// (FAT) keeps unchanged across two quick writes; it cuts a value at an unquoted ";"; and its
// writer reports success after a failed write on a full disk.

namespace {

using MaybeText = std::optional<QString>;

struct Store {
    bool loaded = false;
    // The file as last read or written, its bytes, and what in it cannot be written back.
    IniDocument file;
    QByteArray fileBytes;
    bool fileExists = false;
    // What the program has read or written, by "section/key" (nullopt: read as missing). A
    // change made elsewhere to one of these is a change under the program's feet.
    QMap<QString, MaybeText> seen;
    // For those keys, what the file held when the program last read or stored them: what it
    // shows is based on that. The file holding anything else now means a change made elsewhere.
    QMap<QString, MaybeText> base;
    // Values whose write failed: shown and read all the same, written with the next write.
    QStringList pending;
    // The content of which an unreadable copy was kept, so one file is copied and announced once.
    QByteArray copiedUnreadable;
    bool copiedAny = false;
    // The settings file that is no regular file, already announced.
    QString refusedPath;
    SettingsConflictHandler conflictHandler;
};

Store& TheStore()
{
    static Store store;
    return store;
}

QString FullKey(const QString& section, const QString& key) { return section + QLatin1Char('/') + key; }
QString SectionOf(const QString& fullKey) { return fullKey.section(QLatin1Char('/'), 0, 0); }
QString KeyOf(const QString& fullKey) { return fullKey.section(QLatin1Char('/'), 1); }

MaybeText ValueIn(const IniDocument& document, const QString& fullKey)
{
    if (!document.contains(SectionOf(fullKey), KeyOf(fullKey)))
        return std::nullopt;
    return document.text(SectionOf(fullKey), KeyOf(fullKey));
}

QString NotSaved(const QString& key, const QString& reason)
{
    return QStringLiteral("The setting \"%1\" could not be saved: %2\r\n"
                          "The change stays on screen and is saved with the next change that can be saved.")
        .arg(key, reason);
}

QString Shown(const QString& path) { return QDir::toNativeSeparators(path); }

// The file's bytes; nullopt when there is none. Throws sheet::Error for anything but a
// regular file (a pipe would hang the program), and when it cannot be read.
std::optional<QByteArray> ReadStoreFile(const QString& path)
{
    struct stat st { };
    if (::stat(sheet::encodePath(path).constData(), &st) != 0 && errno == ENOENT)
        return std::nullopt;
    return sheet::readRegularFile(path);
}

void TakeFile(Store& store, const std::optional<QByteArray>& bytes)
{
    store.fileExists = bytes.has_value();
    store.fileBytes = bytes.value_or(QByteArray());
    store.file = ParseIniText(store.fileBytes);
}

// A file that is no regular file is announced once; the program then runs on the defaults.
void AnnounceRefused(Store& store, const QString& path, const QString& reason)
{
    if (store.refusedPath == path)
        return;
    store.refusedPath = path;
    ShowMessage(QStringLiteral("The settings file %1 cannot be used: %2\r\n"
                               "Kalmora starts with its defaults, and changes cannot be saved until it is "
                               "replaced by a regular file.")
                    .arg(Shown(path), reason),
                MsgButtons::Ok, MsgIcon::Exclamation);
}

// A pipe, a device or a socket where the file should be: reading it could hang the program.
bool IsSpecialFile(const QString& path)
{
    struct stat st { };
    return ::stat(sheet::encodePath(path).constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
}

void LoadOnce(Store& store)
{
    if (store.loaded)
        return;
    store.loaded = true;
    const QString path = SettingsFilePath();
    try {
        TakeFile(store, ReadStoreFile(path));
    } catch (const sheet::Error& e) {
        // Unreadable (a folder in its place, no permission): read as empty, as before; every
        // write then says why it fails.
        TakeFile(store, std::nullopt);
        if (IsSpecialFile(path))
            AnnounceRefused(store, path, e.message());
    }
}

// A file whose text cannot be written back whole is copied beside it, once, before the first
// rewrite drops what could not be read. Throws when the copy cannot be made: then nothing is
// rewritten.
void KeepUnreadableCopy(Store& store, const QString& path, const QByteArray& bytes, const QStringList& problems,
                        const QString& key)
{
    if (store.copiedAny && store.copiedUnreadable == bytes)
        return;
    const QString stem = path + QStringLiteral(".unreadable-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString copy = stem;
    struct stat st { };
    for (int n = 2; ::lstat(sheet::encodePath(copy).constData(), &st) == 0; ++n)
        copy = stem + QStringLiteral("~%1").arg(n);
    try {
        sheet::DurableWriteOptions options;
        options.links = sheet::DurableWriteOptions::Links::Replace;
        options.newFileMode = 0600;
        sheet::writeFileDurably(copy, bytes, options);
    } catch (const sheet::WriteError& e) {
        throw SettingsNotSaved(
            NotSaved(key,
                     QStringLiteral("%1 cannot be read completely, and a copy of it could not be kept: %2")
                         .arg(Shown(path), e.reason())));
    }
    store.copiedAny = true;
    store.copiedUnreadable = bytes;
    ShowMessage(QStringLiteral("The settings file %1 could not be read completely (%2). A copy of it was kept as %3 "
                               "before it was written again with the settings that could be read.")
                    .arg(Shown(path), problems.mid(0, 3).join(QStringLiteral("; ")), Shown(copy)),
                MsgButtons::Ok, MsgIcon::Exclamation);
}

// The keys this write stores: the one written now and those waiting from failed writes.
QStringList KeysToStore(const Store& store, const QString& fullKey)
{
    QStringList keys = store.pending;
    if (!keys.contains(fullKey))
        keys << fullKey;
    return keys;
}

// The file re-read under the lock, the program's keys on top. Conflicts: keys the program read
// that the file now holds with another value, which is not the program's either.
IniDocument Merged(const Store& store, const IniDocument& disk, const QStringList& keys,
                   QList<SettingsConflict>* conflicts)
{
    IniDocument merged = disk;
    merged.problems.clear();
    for (const QString& fullKey : keys) {
        const QString ours = store.seen.value(fullKey).value_or(QString());
        const MaybeText onDisk = ValueIn(disk, fullKey);
        const auto was = store.base.constFind(fullKey);
        if (was != store.base.constEnd() && onDisk != *was && onDisk != MaybeText(ours))
            conflicts->append({SectionOf(fullKey), KeyOf(fullKey), onDisk.value_or(QString()), !onDisk.has_value()});
        merged.setText(SectionOf(fullKey), KeyOf(fullKey), ours);
    }
    return merged;
}

void ReportConflicts(const QList<SettingsConflict>& conflicts)
{
    const SettingsConflictHandler& handler = TheStore().conflictHandler;
    for (const SettingsConflict& conflict : conflicts) {
        if (handler)
            handler(conflict);
        else
            ShowSettingsConflictMessage(conflict);
    }
}

// Each missing folder on the way to the file, owner-only (a folder that cannot be made is
// left to the write to report).
void MakeFolders(const QString& folder)
{
    QString path;
    for (const QString& part : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        path += QLatin1Char('/') + part;
        ::mkdir(sheet::encodePath(path).constData(), 0700);
    }
}

// Writes the program's keys into the file as it stands now. Throws SettingsNotSaved.
void StoreSetting(Store& store, const QString& key, const QString& fullKey)
{
    const QString path = SettingsFilePath();
    MakeFolders(sheet::folderOf(path));
    // Writers of this file (QSettings in any program included) take this lock around their
    // read-modify-write. A folder where it cannot be made is left to the write to report.
    const SettingsWriteLock lock(path + QStringLiteral(".lock"), 5000);
    if (!lock.locked() && lock.busy())
        throw SettingsNotSaved(NotSaved(key, QStringLiteral("%1 is locked by another program.").arg(Shown(path))));

    std::optional<QByteArray> bytes;
    try {
        bytes = ReadStoreFile(path);
    } catch (const sheet::Error& e) {
        throw SettingsNotSaved(NotSaved(key, e.message()));
    }
    IniDocument disk = store.file;
    if (bytes.value_or(QByteArray()) != store.fileBytes || bytes.has_value() != store.fileExists)
        disk = ParseIniText(bytes.value_or(QByteArray()));
    if (!disk.problems.isEmpty())
        KeepUnreadableCopy(store, path, *bytes, disk.problems, key);

    const QStringList keys = KeysToStore(store, fullKey);
    QList<SettingsConflict> conflicts;
    const IniDocument merged = Merged(store, disk, keys, &conflicts);
    // Writing what the file holds already changes nothing (a long log makes rewrites costly).
    QString backupFailure;
    if (merged != disk || !disk.problems.isEmpty() || !bytes) {
        // The day's first change of the program's group is backed up first, heights included.
        if (bytes && merged.sections.value(SettingsSection) != disk.sections.value(SettingsSection))
            backupFailure = BackUpSettingsToday(*bytes);
        const QByteArray text = IniDocumentText(merged);
        try {
            sheet::DurableWriteOptions options;
            options.newFileMode = 0600;
            sheet::writeFileDurably(path, text, options);
        } catch (const sheet::WriteError& e) {
            TakeFile(store, bytes);
            QString reason = QStringLiteral("%1: %2").arg(Shown(path), e.reason());
            if (!backupFailure.isEmpty())
                reason += QStringLiteral("\r\n") + backupFailure;
            throw SettingsNotSaved(NotSaved(key, reason));
        }
        TakeFile(store, text);
    } else {
        TakeFile(store, bytes);
    }
    for (const QString& k : keys)
        store.base.insert(k, store.seen.value(k).value_or(QString()));
    store.pending.clear();
    ReportConflicts(conflicts);
    // Stored all the same; said once that day.
    if (!backupFailure.isEmpty())
        throw Failure(backupFailure);
}

} // namespace

QString SettingsFilePath()
{
    QString config = sheet::environmentPath("XDG_CONFIG_HOME");
    if (!config.startsWith(QLatin1Char('/')))
        config = sheet::environmentPath("HOME") + QStringLiteral("/.config");
    return QDir::cleanPath(config) + QLatin1Char('/') + SettingsOrganization + QLatin1Char('/') + SettingsApplication
        + QStringLiteral(".ini");
}

QString ReadSetting(const QString& section, const QString& key, const QString& defaultValue)
{
    Store& store = TheStore();
    LoadOnce(store);
    const QString fullKey = FullKey(section, key);
    auto seen = store.seen.constFind(fullKey);
    if (seen == store.seen.constEnd()) {
        seen = store.seen.insert(fullKey, ValueIn(store.file, fullKey));
        store.base.insert(fullKey, *seen);
    }
    return seen->value_or(defaultValue);
}

void WriteSetting(const QString& section, const QString& key, const QString& value)
{
    Store& store = TheStore();
    LoadOnce(store);
    const QString fullKey = FullKey(section, key);
    // The store holds texts only; a null text is the empty one.
    const QString text = value.isNull() ? QLatin1String("") : value;
    store.seen.insert(fullKey, text);
    try {
        StoreSetting(store, key, fullKey);
    } catch (const SettingsNotSaved&) {
        // What the window shows stays what the program reads, until a write stores it.
        if (!store.pending.contains(fullKey))
            store.pending << fullKey;
        // A file that is no regular file was announced once; its writes fail quietly after.
        if (!store.refusedPath.isEmpty() && store.refusedPath == SettingsFilePath())
            return;
        throw;
    }
}

void RemoveSettingsLeftovers()
{
    sheet::removeDeadTemporaries(sheet::folderOf(SettingsFilePath()),
                                 [](const QByteArray& made) { return made == SettingsApplication.toUtf8() + ".ini"; });
    sheet::removeDeadTemporaries(
        BackupFolder(), [](const QByteArray& made) { return made.startsWith("kalmora-") && made.endsWith(".ini"); });
}

bool HasUnsavedSettings() { return !TheStore().pending.isEmpty(); }

QStringList UnsavedSettingKeys()
{
    QStringList keys;
    for (const QString& fullKey : TheStore().pending)
        keys << KeyOf(fullKey);
    return keys;
}

void SaveUnsavedSettings()
{
    Store& store = TheStore();
    if (store.pending.isEmpty())
        return;
    // Any pending value rewrites them all.
    const QString first = store.pending.first();
    WriteSetting(SectionOf(first), KeyOf(first), store.seen.value(first).value_or(QString()));
}

void ForgetUnsavedSettingsForTesting()
{
    Store& store = TheStore();
    const SettingsConflictHandler handler = store.conflictHandler;
    store = Store();
    store.conflictHandler = handler;
}

void ReloadSettingsForTesting() { ForgetUnsavedSettingsForTesting(); }

void ShowSettingsConflictMessage(const SettingsConflict& conflict)
{
    ShowMessage(QStringLiteral("The setting \"%1\" was also changed outside Kalmora while it ran. Kalmora's "
                               "value was saved; the other one is no longer in %2.")
                    .arg(conflict.key, Shown(SettingsFilePath())),
                MsgButtons::Ok, MsgIcon::Exclamation);
}

QString SettingOnDisk(const QString& section, const QString& key, const QString& defaultValue)
{
    try {
        const std::optional<QByteArray> bytes = ReadStoreFile(SettingsFilePath());
        return bytes ? ParseIniText(*bytes).text(section, key, defaultValue) : defaultValue;
    } catch (const sheet::Error&) {
        return defaultValue;
    }
}

void SetSettingsConflictHandler(SettingsConflictHandler handler) { TheStore().conflictHandler = std::move(handler); }

QStringList SettingsChangedOnDisk()
{
    Store& store = TheStore();
    LoadOnce(store);
    std::optional<QByteArray> bytes;
    try {
        bytes = ReadStoreFile(SettingsFilePath());
    } catch (const sheet::Error&) {
        return {};
    }
    const IniDocument disk = ParseIniText(bytes.value_or(QByteArray()));
    QStringList changed;
    for (auto it = store.base.constBegin(); it != store.base.constEnd(); ++it) {
        const MaybeText now = ValueIn(disk, it.key());
        if (now != it.value() && now != store.seen.value(it.key()))
            changed << it.key();
    }
    return changed;
}

void AcceptSettingsFromDisk(const QStringList& fullKeys)
{
    Store& store = TheStore();
    std::optional<QByteArray> bytes;
    try {
        bytes = ReadStoreFile(SettingsFilePath());
    } catch (const sheet::Error&) {
        return;
    }
    TakeFile(store, bytes);
    for (const QString& fullKey : fullKeys) {
        store.seen.insert(fullKey, ValueIn(store.file, fullKey));
        store.base.insert(fullKey, ValueIn(store.file, fullKey));
        store.pending.removeAll(fullKey);
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
    throw Failure(
        QStringLiteral("Type mismatch: the setting \"%1\" holds \"%2\", which is neither True, False nor a number.")
            .arg(key, text));
}
