#pragma once
// Reading what other spreadsheet programs wrote: whole text files, their CSV, their cell ranges.

#include <QFile>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <ostream>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

namespace interop {

inline QString ReadText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// "Data.$C$6:.$C$31", "$Data.C6:Data.C31", "Data!$C$6:$C$31" -> "C6:C31"; "C5:C5" -> "C5"
inline QString BareRange(QString ref)
{
    ref.remove(QLatin1Char('$'));
    ref.remove(QLatin1Char('\''));
    QStringList out;
    for (const QString& part : ref.split(QLatin1Char(':'))) {
        const int dot
            = static_cast<int>(std::max(part.lastIndexOf(QLatin1Char('.')), part.lastIndexOf(QLatin1Char('!'))));
        out << part.mid(dot + 1);
    }
    if (out.size() == 2 && out[0] == out[1])
        out.removeLast();
    return out.join(QLatin1Char(':'));
}

// A CSV file as rows of fields (quoted fields may hold commas, quotes and line breaks).
inline std::vector<QStringList> ParseCsv(const QString& csv)
{
    std::vector<QStringList> rows(1);
    QString field;
    bool quoted = false;
    for (int i = 0; i < csv.size(); ++i) {
        const QChar c = csv.at(i);
        if (quoted) {
            if (c == QLatin1Char('"') && i + 1 < csv.size() && csv.at(i + 1) == QLatin1Char('"'))
                field += csv.at(++i);
            else if (c == QLatin1Char('"'))
                quoted = false;
            else
                field += c;
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',') || c == QLatin1Char('\n')) {
            rows.back() << field;
            field.clear();
            if (c == QLatin1Char('\n'))
                rows.emplace_back();
        } else if (c != QLatin1Char('\r')) {
            field += c;
        }
    }
    rows.back() << field;
    return rows;
}

} // namespace interop
