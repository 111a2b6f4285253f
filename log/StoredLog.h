#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// The stored text of a log: each entry's fields joined by "||SEP1||", each entry followed by
// "||SEP2||"; no header, no escaping. The empty log is the empty text.

inline const QString FieldSeparator = QStringLiteral("||SEP1||");
inline const QString EntrySeparator = QStringLiteral("||SEP2||");

// The add command's limit unless the user chose another; the workbook holds any number of
// entries, so nothing else checks it.
constexpr int EntryLimit = 26;

// The entry-limit message of the add command.
QString EntryLimitMessage();

// Fields of an entry, field 0 being the date.
using LogEntry = QStringList;

// The stored text of entries, in order. An entry without fields adds nothing.
QString JoinStoredLog(const QList<LogEntry>& entries);

// The entries of a stored text. Empty chunks (consecutive entry separators, the end of the
// text) give no entry; empty fields are kept. Linear in the length of the text.
QList<LogEntry> SplitStoredLog(const QString& text);

// The first text of an entry that the stored text could not hold faithfully, because the
// entry would be read back differently (a separator in a text, or a text that runs into the
// separator beside it, as "abc||SEP1" does), or a null text when the entry is safe. The date
// is expected to be a date text as the dialogs write it (digits and a separator).
QString UnstorableText(const LogEntry& entry);
