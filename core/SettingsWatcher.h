#pragma once

#include <QObject>
#include <QStringList>

class QFileSystemWatcher;
class QTimer;

// Watches the settings file for changes made by anyone else (a hand edit, another session):
// the file and its folder, since every writer replaces the file by renaming a new one over it.
// Each change is looked at once things are quiet again (an editor may write in steps); the
// keys the program has read whose value in the file now differs from what the program holds
// are announced. The program's own writes announce nothing.
class SettingsWatcher : public QObject {
    Q_OBJECT
public:
    explicit SettingsWatcher(QObject* parent = nullptr);

    // Looks at the file now (the watcher does so by itself after a change).
    void check();

signals:
    // "section/key" of each key that changed on disk; see SettingsChangedOnDisk().
    void keysChangedOnDisk(const QStringList& fullKeys);

private:
    void watch();

    QFileSystemWatcher* m_watcher;
    QTimer* m_settle;
    QStringList m_announced;
};
