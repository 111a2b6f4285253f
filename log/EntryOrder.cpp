#include "EntryOrder.h"

#include <algorithm>
#include <limits>
#include <numeric>
#include <vector>

namespace {

// Digits of one part of a date, and how many there were.
struct Number {
    int value = 0;
    int digits = 0;
};

bool IsDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

Number ReadNumber(const QString& text, int& at)
{
    Number n;
    while (at < text.size() && IsDigit(text.at(at)) && n.digits < 5) {
        n.value = n.value * 10 + (text.at(at).unicode() - '0');
        ++n.digits;
        ++at;
    }
    return n;
}

// One to three characters between the parts: "/", "-", ".", ". ", a locale's own.
bool SkipSeparator(const QString& text, int& at)
{
    int length = 0;
    while (at < text.size() && !IsDigit(text.at(at)) && length < 4) {
        ++at;
        ++length;
    }
    return length >= 1 && length <= 3;
}

// What may follow the date: nothing, or a time of day ("8:30", "08:30:00 PM").
bool IsTimeOrNothing(const QString& text, int at)
{
    if (QStringView(text).mid(at).trimmed().isEmpty())
        return true;
    if (!text.at(at).isSpace())
        return false;
    bool colon = false;
    for (; at < text.size(); ++at) {
        const QChar c = text.at(at).toUpper();
        if (c == QLatin1Char(':'))
            colon = true;
        else if (!IsDigit(c) && !c.isSpace() && c != QLatin1Char('.') && c != QLatin1Char('A') && c != QLatin1Char('P')
                 && c != QLatin1Char('M'))
            return false;
    }
    return colon;
}

int FullYear(const Number& year)
{
    if (year.digits == 4)
        return year.value;
    if (year.digits == 2)
        return year.value < 30 ? 2000 + year.value : 1900 + year.value;
    return 0; // no such year
}

// Julian day of a readable date; unreadable ones sort after every date.
constexpr qint64 kUnreadable = std::numeric_limits<qint64>::max();

qint64 DateKey(const QString& text)
{
    const QDate date = ReadEntryDate(text);
    return date.isValid() ? date.toJulianDay() : kUnreadable;
}

} // namespace

QDate FirstWorkbookDate() { return QDate(1900, 1, 1); }

QDate LastWorkbookDate() { return QDate(9999, 12, 31); }

QDate ReadEntryDate(const QString& text)
{
    int at = 0;
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    Number parts[3];
    for (int k = 0; k < 3; ++k) {
        parts[k] = ReadNumber(text, at);
        if (parts[k].digits == 0 || parts[k].digits > 4)
            return QDate();
        if (k < 2 && !SkipSeparator(text, at))
            return QDate();
    }
    if (!IsTimeOrNothing(text, at))
        return QDate();
    QDate date;
    if (parts[0].digits == 4) {
        if (parts[1].digits <= 2 && parts[2].digits <= 2)
            date = QDate(parts[0].value, parts[1].value, parts[2].value);
    } else if (parts[0].digits <= 2 && parts[1].digits <= 2) {
        date = QDate(FullYear(parts[2]), parts[0].value, parts[1].value);
    }
    if (!date.isValid() || date < FirstWorkbookDate() || date > LastWorkbookDate())
        return QDate();
    return date;
}

QList<int> DateOrder(const QList<LogEntry>& entries)
{
    std::vector<qint64> keys;
    keys.reserve(static_cast<std::size_t>(entries.size()));
    for (const LogEntry& entry : entries)
        keys.push_back(entry.isEmpty() ? kUnreadable : DateKey(entry.first()));
    QList<int> order(entries.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&keys](int a, int b) {
        return keys[static_cast<std::size_t>(a)] < keys[static_cast<std::size_t>(b)];
    });
    return order;
}

void SortByDate(QList<LogEntry>& entries)
{
    const QList<int> order = DateOrder(entries);
    QList<LogEntry> sorted;
    sorted.reserve(entries.size());
    for (const int position : order)
        sorted.append(std::move(entries[position]));
    entries = std::move(sorted);
}

bool IsInDateOrder(const QList<LogEntry>& entries)
{
    const QList<int> order = DateOrder(entries);
    for (int i = 0; i < order.size(); ++i) {
        if (order.at(i) != i)
            return false;
    }
    return true;
}
