#include "SampleData.h"

#include <cmath>

const QList<SampleEntry>& ImperialSample()
{
    static const QList<SampleEntry> sample = {
        {"6/10/2004", {200, 42, 36, 34}}, {"6/17/2004", {200, 42, 36, 34}},  {"6/24/2004", {199, 42, 35.5, 33.6}},
        {"7/1/2004", {199, 42, 35, 33}},  {"7/8/2004", {198, 42.5, 35, 33}},
    };
    return sample;
}

const QList<SampleEntry>& MetricSample()
{
    static const QList<SampleEntry> sample = {
        {"6/10/2004", {63.5, 81.3, 78.74, 101.6, 17.27, 29.21}},
        {"6/17/2004", {63.5, 81.3, 78.74, 100.33, 17.02, 29.21}},
        {"6/24/2004", {63, 81.3, 78.74, 100.33, 17.02, 29.21}},
        {"7/1/2004", {63, 81.3, 71.12, 99.06, 16, 27.94}},
        {"7/8/2004", {63, 81.3, 71.12, 99.06, 16, 27.94}},
    };
    return sample;
}

QString MeasurementText(double value)
{
    if (std::floor(value) == value)
        return QString::number(value, 'f', 0);
    // Shortest text that reads back as the same number; the list shows it in the user's locale.
    return QString::number(value, 'g', 15);
}

QList<LogEntry> SampleEntries(bool imperial)
{
    QList<LogEntry> entries;
    for (const SampleEntry& sample : imperial ? ImperialSample() : MetricSample()) {
        LogEntry entry{QString::fromLatin1(sample.date)};
        for (double value : sample.measurements)
            entry.append(MeasurementText(value));
        entries.append(entry);
    }
    return entries;
}
