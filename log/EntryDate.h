#pragma once

#include <QDate>
#include <QString>

// Dates of entries are written month, day, four-digit year, without leading zeros, separated
// by the user's date separator ("6/10/2004").

QString FormatEntryDate(const QDate& date);

// The date an entry's date text names, read month, day, year whatever separates them; an
// invalid date when the text is not such a date.
QDate ParseEntryDate(const QString& text);

// The date picker's display format for the same picture ("M/d/yyyy" with the separator).
QString EntryDateDisplayFormat();
