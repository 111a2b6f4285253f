#pragma once

// Recalculating a workbook another program wrote and comparing each formula with the value
// that program cached. The cached results are overwritten before the workbook is read, so a
// formula the engine leaves alone cannot pass by keeping the other program's answer.
#include "TestUtil.h"

#include "biff/Compound.h"
#include "model/CellRange.h"
#include "model/Workbook.h"
#include "io/WorkbookFile.h"

#include <QSet>
#include <QStringList>
#include <cmath>
#include <functional>

namespace sheet::test {

// A cached result no formula of these files computes (NaN would read as #NUM!).
inline constexpr double kStale = -1.2345678901e+299;

struct FormulaCell {
    int sheet;
    int row;
    int col;
    Value cached;
};

// Replaces each FORMULA record's cached result with kStale, remembering what it was.
inline Bytes staleResults(Bytes stream)
{
    std::size_t pos = 0;
    while (pos + 4 <= stream.size()) {
        const std::uint16_t id = static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8));
        const std::size_t len = static_cast<std::size_t>(stream[pos + 2] | (stream[pos + 3] << 8));
        if ((id == 0x0006 || id == 0x0406) && len >= 20) {
            ByteWriter w;
            w.f64(kStale);
            std::copy(w.data().begin(), w.data().end(), stream.begin() + static_cast<std::ptrdiff_t>(pos + 4 + 6));
        }
        pos += 4 + len;
    }
    return stream;
}

inline bool sameValue(const Value& got, const Value& want)
{
    if (got.type() != want.type())
        return false;
    if (want.isNumber()) {
        const double a = got.asNumber(), b = want.asNumber();
        return std::fabs(a - b) <= 1e-9 * std::max(1.0, std::fabs(b));
    }
    return got == want;
}

inline QString shown(const Value& v)
{
    switch (v.type()) {
    case Value::Type::Empty: return QStringLiteral("(empty)");
    case Value::Type::Number: return QString::number(v.asNumber(), 'g', 17);
    case Value::Type::String: return QLatin1Char('"') + v.asString() + QLatin1Char('"');
    case Value::Type::Bool: return v.asBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Value::Type::Error: return errorText(v.asError());
    }
    return QString();
}

struct Outcome {
    int total = 0;
    int matched = 0;
    QStringList misses;
};

// `excluded`: "Sheet!A1" of cells left out on purpose (each with its reason at the call site).
// `accept`, when given, may accept a value the cached one does not match ("Sheet!A1", the
// engine's value, the cached one).
using AcceptFn = std::function<bool(const QString&, const Value&, const Value&)>;
inline Outcome recalcAgainstCached(const Bytes& bytes, const QSet<QString>& excluded = {}, const AcceptFn& accept = {})
{
    Outcome out;
    if (bytes.empty())
        return out;
    // The other program's results, read from the file as it is.
    const auto original = workbookFromBytes(bytes);
    std::vector<FormulaCell> cells;
    for (int s = 0; s < original->sheetCount(); ++s) {
        const Worksheet* ws = original->worksheet(s);
        if (!ws)
            continue;
        for (const auto& [key, cell] : ws->cells())
            if (cell.isFormula())
                cells.push_back({s, keyRow(key), keyCol(key), cell.value});
    }
    CompoundFile compound = CompoundFile::fromBytes(bytes);
    const auto book = workbookFromStream(staleResults(compound.workbook));
    book->recalculate();
    for (const FormulaCell& c : cells) {
        const Worksheet* ws = book->worksheet(c.sheet);
        const QString where = ws->name() + QLatin1Char('!') + cellName(c.row, c.col);
        if (excluded.contains(where))
            continue;
        ++out.total;
        const Value got = ws->value(c.row, c.col);
        if (sameValue(got, c.cached) || (accept && accept(where, got, c.cached)))
            ++out.matched;
        else
            out.misses << QStringLiteral("%1 %2: got %3, cached %4")
                              .arg(where, ws->formulaText(c.row, c.col), shown(got), shown(c.cached));
    }
    return out;
}

} // namespace sheet::test
