#pragma once

#include <QDate>
#include <QString>

// Dates of entries are stored month, day, four-digit year, without leading zeros, separated
// by the user's date separator ("6/10/2004"), whatever order the user's locale writes dates
// in. The list and the date field show them in the locale's own short form.

QString FormatEntryDate(const QDate& date);

// The date an entry's stored date text names, read month, day, year whatever separates them;
// an invalid date when the text is not such a date.
QDate ParseEntryDate(const QString& text);

// The order of a date's parts as the user's locale writes them.
struct DateParts {
    char parts[3] = {'M', 'd', 'y'}; // 'd' day, 'M' month, 'y' year
    QString separator = QStringLiteral("/");
    bool padDay = false;   // "05" rather than "5"
    bool padMonth = false; // "07" rather than "7"

    // "day/month/year", "month/day/year", "year-month-day"...
    QString words() const;
    bool operator==(const DateParts& other) const;
};
DateParts LocaleDateParts();

// The locale's short date with a four-digit year: "M/d/yyyy" (US English, and C), "dd/MM/yyyy"
// (British English), "dd.MM.yyyy" (German). The date field's display format.
QString EntryDateDisplayFormat();

// A date as the list and the date field show it; a stored text that is not a date as it is.
QString ShownEntryDate(const QDate& date);
QString ShownEntryDate(const QString& stored);
