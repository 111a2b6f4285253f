#pragma once

#include <QByteArray>
#include <QString>

// The program's folder and the file helpers of the program.

// The program's own folder (where the optional cursor and skin files are looked for).
QString ApplicationPath();
// Tests put the optional files in a folder of their own; an empty path restores the default.
void SetApplicationPathForTesting(const QString& path);
// ApplicationPath() + "/" + relative.
QString BesideProgram(const QString& relative);

// True when a file (not a folder) exists at path. Never fails.
bool FileExists(const QString& path);

// Deletes the file at path, read-only or not. Never fails and reports nothing; a file that
// cannot be deleted at all is left in place.
void DeleteFileForced(const QString& path);

// Writes bytes to a new file at path unless something already exists there (an existing file
// is never overwritten or examined). Throws Failure when the file cannot be written; a file
// left half-written is removed.
void WriteBytesIfMissing(const QByteArray& bytes, const QString& path);
