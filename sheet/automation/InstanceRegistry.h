#pragma once

#include <QString>
#include <QStringList>

namespace sheet {

// Per-user registry of running spreadsheet application instances, and of the files processes
// hold: one file per entry in the user's runtime folder ($XDG_RUNTIME_DIR) or, without one, in
// the user's cache folder, where no other user can plant entries or take the registry's place.
// An entry's owner holds an flock on it for as long as it lives, so the lock goes with the
// process however it ends; an entry nobody holds is stale.
class InstanceRegistration {
public:
    InstanceRegistration(); // registers this instance; throws Error when it cannot
    ~InstanceRegistration();
    InstanceRegistration(const InstanceRegistration&) = delete;
    InstanceRegistration& operator=(const InstanceRegistration&) = delete;

    const QString& path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};

// A file this process works with and nobody else may remove while it lives (a temporary
// workbook on screen). Ends with the object or with the process, however it ends.
class FileHold {
public:
    explicit FileHold(const QString& path); // throws Error when it cannot register
    ~FileHold();
    FileHold(const FileHold&) = delete;
    FileHold& operator=(const FileHold&) = delete;

    const QString& path() const { return m_path; }

private:
    QString m_path;  // absolute
    QString m_entry; // the registry entry
    int m_fd = -1;
};

// Absolute paths of the files live processes of this user hold (this one included). Stale
// entries are removed on the way.
QStringList heldFiles();

// Folder holding the lock files (created owner-only when missing).
QString instanceRegistryFolder();

// True when some live process of this user has a spreadsheet application instance open
// (this process included). Stale entries are removed on the way.
bool isApplicationRunning();

} // namespace sheet
