#pragma once

#include <QByteArray>
#include <QString>

// The lock every writer of the settings file holds around its read-modify-write:
// "Pendrel.ini.lock" beside it, in the form QLockFile makes, so that QSettings in any program
// honours it and this program honours QSettings'. A lock whose holder is gone (no flock held,
// or its process no longer runs on this machine) is taken over.
class SettingsWriteLock {
public:
    // Waits up to timeoutMs for the lock.
    SettingsWriteLock(const QString& lockPath, int timeoutMs);
    ~SettingsWriteLock();
    SettingsWriteLock(const SettingsWriteLock&) = delete;
    SettingsWriteLock& operator=(const SettingsWriteLock&) = delete;

    bool locked() const { return m_fd >= 0; }
    // Someone alive holds it (as opposed to a folder where no lock can be made at all).
    bool busy() const { return m_busy; }

private:
    QByteArray m_path;
    int m_fd = -1;
    bool m_busy = false;
};

// One program per settings file: the lock "Pendrel.ini.session.lock" beside it, held for the
// program's life. Two programs with different work folders (one run over ssh or su without
// a runtime folder, two machines sharing a home over NFS) share one settings file; a second
// one learns from it that another one uses the file.
class SettingsSessionLock {
public:
    enum class State { Ours, HeldElsewhere, Unavailable };
    explicit SettingsSessionLock(const QString& settingsPath);
    ~SettingsSessionLock();
    SettingsSessionLock(const SettingsSessionLock&) = delete;
    SettingsSessionLock& operator=(const SettingsSessionLock&) = delete;

    State state() const { return m_state; }
    // Who holds it ("process 1234 on host"), when another one does.
    QString holder() const { return m_holder; }

private:
    int m_fd = -1;
    State m_state = State::Unavailable;
    QString m_holder;
};
