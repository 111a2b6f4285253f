#pragma once

#include "StoredLog.h"

#include <QDate>
#include <QList>
#include <QString>

// Entries in the order of their dates. Date texts are month, day, year as the dialogs write
// them, with whatever separator the locale had when they were written ("6/10/2004",
// "6.10.2004", "6. 10. 2004"); a two-digit year reads as the spreadsheet reads it (00-29 this
// century, 30-99 the last); a year first reads year, month, day ("2004-06-10"); a time of day
// after the date is ignored.

// The first and last dates a workbook holds as dates.
QDate FirstWorkbookDate();
QDate LastWorkbookDate();

// The date an entry's date text names, or an invalid date when it names none that a workbook
// can hold (unreadable, no such day, before 1900 or after 9999).
QDate ReadEntryDate(const QString& text);

// Positions of `entries` in date order: earlier dates first; entries of one date, and every
// entry without a readable date, keep their stored order; entries without a readable date come
// after all the others.
QList<int> DateOrder(const QList<LogEntry>& entries);

// Sorts the entries into that order (the "Sort by Date" command's one step).
void SortByDate(QList<LogEntry>& entries);

// Whether the entries already are in that order.
bool IsInDateOrder(const QList<LogEntry>& entries);
