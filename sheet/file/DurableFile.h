#pragma once

#include "base/Error.h"

#include <QByteArray>
#include <QString>

#include <functional>

#include <sys/types.h>

namespace sheet {

// A write that did not reach the disk. message() reads "Cannot save '<path>': <reason>";
// reason() is the system's own text (strerror) and errorNumber() its errno.
class WriteError : public Error {
public:
    WriteError(const QString& path, int errorNumber, const QString& reason);
    const QString& path() const noexcept { return m_path; }
    const QString& reason() const noexcept { return m_reason; }
    int errorNumber() const noexcept { return m_errno; }

private:
    QString m_path;
    QString m_reason;
    int m_errno;
};

struct DurableWriteOptions {
    // A link at path is followed (the file it names is replaced, as an editor saving through
    // a link would), or replaced by the new file without touching what it pointed at. The
    // latter is for folders where nobody but the program should put links.
    enum class Links { Follow, Replace };
    Links links = Links::Follow;
    // Permissions of a new file (the umask applies); an existing file keeps its own.
    mode_t newFileMode = 0666;
    // Scratch files skip the waits for the disk (fsync of file and folder) but keep every
    // other check, so they are still never left half-written under their name.
    bool syncToDisk = true;
};

// Replaces path with bytes so that path holds either its old content or all of bytes,
// never a part: written to a temporary file beside it (owner-only until it is complete, its
// name within the folder's limit on name length), each write checked, fsync'ed, its size
// verified, renamed over path, and the folder fsync'ed. Throws sheet::Error with the system's
// reason (strerror) on any failure; the old file then stays byte for byte. A target that
// exists but may not be written is refused, as an editor would.
void writeFileDurably(const QString& path, const QByteArray& bytes);
void writeFileDurably(const QString& path, const QByteArray& bytes, const DurableWriteOptions& options);

// The file path resolves to when its links are followed (at most 40 of them); path itself
// when it is no link. Used to find where the temporary file has to go.
QString resolvedWriteTarget(const QString& path);

// path made absolute and clean, and the folder part of a path; string work only, so that a
// path's bytes (NativePath.h) stay as they are.
QString absolutePath(const QString& path);
QString folderOf(const QString& path);

// Removes what writers of this helper that were killed left beside path: hidden temporary
// copies "." + name + "." + hex digits + ".tmp" made for path itself or, for a workbook or a
// report (.xls, .xlt, .pdf), for another one in its folder, when they belong to this user and no writer holds them (a
// live writer keeps its temporary file locked). Touches nothing else. Every write does this for its target; the program
// calls it at start for its own files. Returns how many went.
int removeDeadTemporaries(const QString& path);
// The same for every temporary file in folder whose target name `belongs` (a program's own
// folder, where it knows every name: the backups, the settings).
int removeDeadTemporaries(const QString& folder, const std::function<bool(const QByteArray& target)>& belongs);

// Fault injection for tests, over the real system calls: the data stops with ENOSPC after
// failWriteAtByte bytes (a full disk), the file's fsync fails with EIO (a disk that lost the
// data), the rename fails with EIO, or the folder's fsync fails with EIO. -1 / false: no fault.
struct DurableFaults {
    qint64 failWriteAtByte = -1;
    bool failFileSync = false;
    bool failRename = false;
    bool failFolderSync = false;
};

// Tests look at the temporary file: called with its path the moment it exists, before
// anything is written to it. An empty function removes the hook.
void setTemporaryCreatedHookForTesting(std::function<void(const QByteArray& temporaryPath)> hook);

// Installs faults for the lifetime of the object (tests run the helper on one thread).
class ScopedDurableFaults {
public:
    explicit ScopedDurableFaults(const DurableFaults& faults);
    ~ScopedDurableFaults();
    ScopedDurableFaults(const ScopedDurableFaults&) = delete;
    ScopedDurableFaults& operator=(const ScopedDurableFaults&) = delete;
    // Bytes the helper wrote through the faulty write so far, and fsyncs asked for.
    qint64 bytesWritten() const;
    int syncs() const;
};

} // namespace sheet
