#include "LogOnDisk.h"

#include "ActiveLog.h"
#include "Constants.h"
#include "EntryList.h"
#include "Guarded.h"
#include "LogHistory.h"
#include "MessageBox.h"
#include "Pointer.h"
#include "Settings.h"
#include "SettingsWatcher.h"
#include "StoredLog.h"

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

namespace {

QString FullActiveKey(const LogControls& c) { return SettingsSection + QLatin1Char('/') + ActiveLogKey(c); }

QStringList ActiveHeightKeys(const LogControls& c)
{
    const bool imperial = c.Option1->isChecked();
    return {SettingsSection + QLatin1Char('/') + (imperial ? Keys::Text1Men : Keys::Text1Women),
            SettingsSection + QLatin1Char('/') + (imperial ? Keys::Text2Men : Keys::Text2Women)};
}

// A dialog of the program's, or a chart generation, is running: the list must not change now.
bool Busy(const LogControls& c) { return QApplication::activeModalWidget() != nullptr || IsBusyPointer(c.window); }

// Puts `rows` on screen and into the store as one undo step.
void ShowRows(const LogControls& c, const QList<LogEntry>& rows, const QString& step)
{
    const LogState before = c.history ? CaptureLogState(c) : LogState();
    Guarded proc(QStringLiteral("Form1.LogChangedOnDisk"));
    EntryList list(c.ListView1);
    proc(10, [&] {
        list.clearRows();
        list.appendEntries(rows, list.columnCount());
        list.ensureSelection();
    });
    proc(20, [&] { StoreActiveLog(c); });
    if (c.history)
        c.history->recordChange(step, before);
}

void OfferOtherVersion(const LogControls& c, const QString& key, const QString& other)
{
    const MsgAnswer answer = ShowMessage(
        QStringLiteral("The log \"%1\" was also changed outside Kalmora (by hand, or by Kalmora running "
                       "elsewhere) while you changed it here. The settings file holds the version shown here.\r\n\r\n"
                       "Show the other version instead? Ctrl+Z brings this one back.")
            .arg(key),
        MsgButtons::YesNo, MsgIcon::Exclamation);
    if (answer == MsgAnswer::Yes)
        ShowRows(c, SplitStoredLog(other), QStringLiteral("Other Version"));
}

} // namespace

void LogKeysChangedOnDisk(const LogControls& c, const QStringList& fullKeys)
{
    if (Busy(c)) {
        // Looked at again once the dialog or the generation is over.
        QTimer::singleShot(500, c.window, [c] { LogKeysChangedOnDisk(c, SettingsChangedOnDisk()); });
        return;
    }
    const QString active = FullActiveKey(c);
    const QStringList heights = ActiveHeightKeys(c);
    QStringList offScreen;
    for (const QString& key : fullKeys) {
        if (key != active && !heights.contains(key))
            offScreen << key;
    }
    // Not on screen: read afresh when shown.
    AcceptSettingsFromDisk(offScreen);
    for (int field = 1; field <= 2; ++field) {
        const QString& key = heights.at(field - 1);
        if (!fullKeys.contains(key) || UnsavedSettingKeys().contains(key.section(QLatin1Char('/'), 1)))
            continue;
        AcceptSettingsFromDisk({key});
        ShowStoredHeight(field == 1 ? c.Text1 : c.Text2,
                         ReadSetting(SettingsSection, key.section(QLatin1Char('/'), 1)));
    }
    if (!fullKeys.contains(active))
        return;
    const QString key = ActiveLogKey(c);
    if (UnsavedSettingKeys().contains(key)) {
        // Both changed: this window's version waits to be saved; the file has another.
        OfferOtherVersion(c, key, SettingOnDisk(SettingsSection, key));
        return;
    }
    AcceptSettingsFromDisk({active});
    ShowRows(c, SplitStoredLog(ReadSetting(SettingsSection, key)), QStringLiteral("Changed in the Settings File"));
}

void LogConflictOnSave(const LogControls& c, const SettingsConflict& conflict)
{
    if (conflict.section != SettingsSection || conflict.key != ActiveLogKey(c))
        return;
    // After the command that saved has finished (and recorded its own step).
    const QString key = conflict.key;
    const QString other = conflict.otherValue;
    QTimer::singleShot(0, c.window, [c, key, other] {
        if (key == ActiveLogKey(c))
            OfferOtherVersion(c, key, other);
    });
}

void WatchLogOnDisk(const LogControls& c)
{
    auto* watcher = new SettingsWatcher(c.window);
    QObject::connect(watcher, &SettingsWatcher::keysChangedOnDisk, c.window,
                     [c](const QStringList& keys) { LogKeysChangedOnDisk(c, keys); });
    // The handler goes with the window.
    QObject::connect(c.window, &QObject::destroyed, [] { SetSettingsConflictHandler({}); });
    SetSettingsConflictHandler([c](const SettingsConflict& conflict) {
        if (conflict.section == SettingsSection
            && (conflict.key == Keys::FitnessMen || conflict.key == Keys::FitnessWomen)) {
            LogConflictOnSave(c, conflict);
            return;
        }
        ShowSettingsConflictMessage(conflict);
    });
}
