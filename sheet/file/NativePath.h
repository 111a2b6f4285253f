#pragma once

#include <QByteArray>
#include <QString>

namespace sheet {

// File names are bytes to the system and need not be UTF-8 ("/home/j\xe9r\xf4me" under a
// UTF-8 locale). Qt's QFile::decodeName turns such bytes into U+FFFD and cannot give them
// back, so a path that went through it names another file. These two keep every byte: a byte
// that is no part of valid UTF-8 becomes the lone surrogate U+DC80..U+DCFF, and goes back to
// that byte. For UTF-8 names both give what QFile's give.
QString decodePath(const QByteArray& bytes);
QByteArray encodePath(const QString& path);

// An environment variable as a path, every byte kept; empty when unset.
QString environmentPath(const char* name);

} // namespace sheet
