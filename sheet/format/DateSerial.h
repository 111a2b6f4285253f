#pragma once

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace sheet {

// The 1900 date system: serial 1 is 1900-01-01 and serial 60 is the 1900-02-29 that never
// was (kept for compatibility with the spreadsheets that count it), so from 1900-03-01 on a
// serial is the number of days since 1899-12-30.
double dateToSerial(const QDate& date);
// Whole-day part of the serial. Serial 60 gives 1900-02-28 (there is no QDate for the 29th);
// serials below 1 (a time of day only) give 1899-12-31, the spreadsheet's "1/0/1900" day 0.
// Invalid for negative or very large serials.
QDate serialToDate(double serial);

// The time-of-day fraction (0 <= f < 1) and back, rounded to the millisecond.
double timeToFraction(const QTime& time);
QTime fractionToTime(double serial);

double dateTimeToSerial(const QDateTime& dateTime);

// 1900-02-29 shown by the spreadsheet for serial 60: serialToDate cannot represent it.
bool isPhantomLeapDay(double serial);

} // namespace sheet
