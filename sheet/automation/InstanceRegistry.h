#pragma once

#include <QString>

namespace sheet {

// Per-user registry of running spreadsheet application instances: one file per instance in the
// user's runtime folder ($XDG_RUNTIME_DIR) or, without one, in a private folder of the user's
// under the temporary folder. The instance holds an flock on its file for as long as it lives,
// so the lock goes with the process however it ends; a file nobody holds is stale.
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

// Folder holding the lock files (created owner-only when missing).
QString instanceRegistryFolder();

// True when some live process of this user has a spreadsheet application instance open
// (this process included). Stale entries are removed on the way.
bool isApplicationRunning();

} // namespace sheet
