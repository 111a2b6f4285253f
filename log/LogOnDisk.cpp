#include "LogOnDisk.h"

#include "Constants.h"
#include "Guarded.h"
#include "LogModel.h"
#include "MessageBox.h"
#include "NumberText.h"
#include "Preferences.h"
#include "Settings.h"
#include "SettingsWatcher.h"
#include "StoredLog.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>

namespace {

QString FullActiveKey(const LogModel& log) { return SettingsSection + QLatin1Char('/') + log.activeKey(); }

QStringList ActiveHeightKeys(const LogModel& log)
{
    const bool imperial = log.imperial();
    return {SettingsSection + QLatin1Char('/') + (imperial ? Keys::Text1Men : Keys::Text1Women),
            SettingsSection + QLatin1Char('/') + (imperial ? Keys::Text2Men : Keys::Text2Women)};
}

// A dialog of the program's, or a chart generation, is running: the list must not change now.
bool Busy(const LogModel& log) { return QApplication::activeModalWidget() != nullptr || log.busy(); }

// Puts `rows` on screen and into the store as one undo step.
void ShowRows(LogModel& log, const QList<LogEntry>& rows, const QString& step)
{
    Guarded proc(QStringLiteral("Form1.LogChangedOnDisk"));
    proc(20, [&] { log.replaceLog(rows, step); });
}

void OfferOtherVersion(LogModel& log, const QString& key, const QString& other)
{
    const MsgAnswer answer = ShowMessage(
        QStringLiteral("The log \"%1\" was also changed outside Kalmora (by hand, or by Kalmora running "
                       "elsewhere) while you changed it here. The settings file holds the version shown here.\r\n\r\n"
                       "Show the other version instead? Ctrl+Z brings this one back.")
            .arg(key),
        MsgButtons::YesNo, MsgIcon::Exclamation);
    if (answer == MsgAnswer::Yes)
        ShowRows(log, SplitStoredLog(other), QStringLiteral("Other Version"));
}

} // namespace

void LogKeysChangedOnDisk(LogModel& log, QWidget* window, const QStringList& fullKeys)
{
    if (Busy(log)) {
        // Looked at again once the dialog or the generation is over.
        QPointer<LogModel> model(&log);
        QTimer::singleShot(500, window, [model, window] {
            if (model)
                LogKeysChangedOnDisk(*model, window, SettingsChangedOnDisk());
        });
        return;
    }
    const QString active = FullActiveKey(log);
    const QStringList heights = ActiveHeightKeys(log);
    QStringList offScreen;
    for (const QString& key : fullKeys) {
        if (key != active && !heights.contains(key))
            offScreen << key;
    }
    // Not on screen: read afresh when shown. A goal is shown at once.
    AcceptSettingsFromDisk(offScreen);
    for (const bool imperial : {true, false}) {
        if (offScreen.contains(SettingsSection + QLatin1Char('/') + GoalKey(imperial)))
            log.goalReadAgain(imperial);
    }
    for (int field = 1; field <= 2; ++field) {
        const QString& key = heights.at(field - 1);
        if (!fullKeys.contains(key) || UnsavedSettingKeys().contains(key.section(QLatin1Char('/'), 1)))
            continue;
        AcceptSettingsFromDisk({key});
        Guarded proc(QStringLiteral("Form1.LogChangedOnDisk"));
        proc(10, [&] {
            log.setHeight(field, ShownNumberText(ReadSetting(SettingsSection, key.section(QLatin1Char('/'), 1))));
        });
    }
    if (!fullKeys.contains(active))
        return;
    const QString key = log.activeKey();
    if (UnsavedSettingKeys().contains(key)) {
        // Both changed: this window's version waits to be saved; the file has another.
        OfferOtherVersion(log, key, SettingOnDisk(SettingsSection, key));
        return;
    }
    AcceptSettingsFromDisk({active});
    ShowRows(log, SplitStoredLog(ReadSetting(SettingsSection, key)), QStringLiteral("Changed in the Settings File"));
}

void LogConflictOnSave(LogModel& log, QWidget* window, const SettingsConflict& conflict)
{
    if (conflict.section != SettingsSection || conflict.key != log.activeKey())
        return;
    // After the command that saved has finished (and recorded its own step).
    const QString key = conflict.key;
    const QString other = conflict.otherValue;
    QPointer<LogModel> model(&log);
    QTimer::singleShot(0, window, [model, key, other] {
        if (model && key == model->activeKey())
            OfferOtherVersion(*model, key, other);
    });
}

void WatchLogOnDisk(LogModel& log, QWidget* window)
{
    auto* watcher = new SettingsWatcher(window);
    QObject::connect(watcher, &SettingsWatcher::keysChangedOnDisk, window,
                     [&log, window](const QStringList& keys) { LogKeysChangedOnDisk(log, window, keys); });
    // The handler goes with the window.
    QObject::connect(window, &QObject::destroyed, [] { SetSettingsConflictHandler({}); });
    SetSettingsConflictHandler([&log, window](const SettingsConflict& conflict) {
        if (conflict.section == SettingsSection
            && (conflict.key == Keys::FitnessMen || conflict.key == Keys::FitnessWomen)) {
            LogConflictOnSave(log, window, conflict);
            return;
        }
        ShowSettingsConflictMessage(conflict);
    });
}
