#pragma once

#include "StoredLog.h"

#include <QList>

// The example of each log: five weekly entries and a matching height.

struct SampleEntry {
    const char* date;           // written literally, whatever the locale
    QList<double> measurements; // stored with a decimal point, shown in the user's locale
};

const QList<SampleEntry>& ImperialSample();
const QList<SampleEntry>& MetricSample();

// Heights of the examples: feet "6", inches "3/8"; metres "1", centimetres "68".
inline const QString ImperialSampleHeight1 = QStringLiteral("6");
inline const QString ImperialSampleHeight2 = QStringLiteral("3/8");
inline const QString MetricSampleHeight1 = QStringLiteral("1");
inline const QString MetricSampleHeight2 = QStringLiteral("68");

// A number as the program stores it: whole numbers as plain digits, fractions with a point.
QString MeasurementText(double value);

// The example's entries as stored texts.
QList<LogEntry> SampleEntries(bool imperial);
