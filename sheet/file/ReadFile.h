#pragma once

#include <QByteArray>
#include <QString>

namespace sheet {

// Files the engine reads are refused above this size.
constexpr qint64 kMaxReadFileSize = 512LL * 1024 * 1024;

// The whole content of the regular file at path. Refuses, with a readable sheet::Error, what
// is not a regular file (a folder, a device such as /dev/zero, a pipe, which would never end
// or never start) and files larger than limit, before reading anything. A pipe is never
// waited on.
QByteArray readRegularFile(const QString& path, qint64 limit = kMaxReadFileSize);

// The regular file at path open for reading (close-on-exec), refused as readRegularFile
// refuses; *size receives its size. The caller closes the descriptor.
int openRegularFile(const QString& path, qint64* size, qint64 limit = kMaxReadFileSize);

} // namespace sheet
