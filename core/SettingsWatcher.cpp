#include "SettingsWatcher.h"

#include "Settings.h"
#include "file/DurableFile.h"

#include <QFileSystemWatcher>
#include <QTimer>

SettingsWatcher::SettingsWatcher(QObject* parent)
    : QObject(parent)
    , m_watcher(new QFileSystemWatcher(this))
    , m_settle(new QTimer(this))
{
    m_settle->setSingleShot(true);
    m_settle->setInterval(150);
    connect(m_settle, &QTimer::timeout, this, &SettingsWatcher::check);
    auto changed = [this] {
        // A file replaced by a rename is no longer watched; watch the new one.
        watch();
        m_settle->start();
    };
    connect(m_watcher, &QFileSystemWatcher::fileChanged, this, changed);
    connect(m_watcher, &QFileSystemWatcher::directoryChanged, this, changed);
    watch();
}

void SettingsWatcher::watch()
{
    const QString file = SettingsFilePath();
    const QString folder = sheet::folderOf(file);
    if (!m_watcher->files().contains(file))
        m_watcher->addPath(file);
    if (!m_watcher->directories().contains(folder))
        m_watcher->addPath(folder);
}

void SettingsWatcher::check()
{
    const QStringList changed = SettingsChangedOnDisk();
    // The same change is announced once, however often the folder stirs.
    if (changed == m_announced)
        return;
    m_announced = changed;
    if (!changed.isEmpty())
        emit keysChangedOnDisk(changed);
}
