#pragma once

#include "BackupRestore.h"

#include <QDialog>
#include <QList>

#include <functional>
#include <optional>

class QLabel;
class QPushButton;
class QTreeWidget;

// File > Restore From Backup...: the backups, newest first, each with its date and the
// entries of each log; the one chosen gives the active log back as it was then.
class RestoreDialog : public QDialog {
    Q_OBJECT
public:
    RestoreDialog(const QList<BackupInfo>& backups, bool imperial, QWidget* parent = nullptr);

    QTreeWidget* list() const { return m_list; }
    QPushButton* restoreButton() const { return m_restore; }
    // The backup chosen, or nothing.
    std::optional<BackupInfo> chosen() const;

private:
    QList<BackupInfo> m_backups;
    QTreeWidget* m_list;
    QPushButton* m_restore;
};

// The entries of the active log in the backup at path, after the settings as they stand have
// been backed up (BackUpBeforeRestore). Throws Failure when the backup cannot be read or the
// copy cannot be made; then nothing has changed.
QList<LogEntry> PrepareRestore(const QString& path, bool imperial);

// The whole command up to the change: the list, the choice, a question when the backup holds
// no entries of the log, the copy. Gives the entries to put in the log, or nothing when the
// user cancels or it fails (the user has been told). Tests watch the dialog through the hook.
std::optional<QList<LogEntry>> ChooseRestore(bool imperial, QWidget* parent);
void SetRestoreDialogHook(std::function<void(RestoreDialog*)> hook);
