#pragma once

// A small in-memory sheet for formula tests: cells by A1 address, other sheets by index.

#include "base/CellNames.h"
#include "base/Value.h"
#include "biff/Bytes.h"
#include "formula/Formula.h"

#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <initializer_list>
#include <ostream>
#include <vector>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace sheet {
inline void PrintTo(const Value& v, std::ostream* os)
{
    switch (v.type()) {
    case Value::Type::Empty: *os << "<empty>"; break;
    case Value::Type::Number: *os << "number " << v.asNumber(); break;
    case Value::Type::String: *os << "text \"" << v.asString().toStdString() << '"'; break;
    case Value::Type::Bool: *os << (v.asBool() ? "TRUE" : "FALSE"); break;
    case Value::Type::Error: *os << errorText(v.asError()).toStdString(); break;
    }
}
} // namespace sheet

namespace sheet::test {

struct TestSheet : EvalEnv, FormulaEnv {
    // ixti -> cells "B6" -> value
    QHash<int, QHash<QString, Value>> cells;
    QStringList sheetNames = {QStringLiteral("Data"), QStringLiteral("Weight Chart"), QStringLiteral("Sheet 'Q'")};

    void set(const QString& a1, const Value& v, int ixti = -1) { cells[ixti][a1] = v; }
    void set(const QString& a1, double v, int ixti = -1) { set(a1, Value::number(v), ixti); }
    void set(const QString& a1, const char* text, int ixti = -1)
    {
        set(a1, Value::string(QString::fromUtf8(text)), ixti);
    }

    static QString address(int row, int col) { return cellName(row, col); }

    Value cellValue(int ixti, int row, int col) const override
    {
        ++reads;
        return cells.value(ixti).value(address(row, col));
    }
    void usedExtent(int, int* lastRow, int* lastCol) const override
    {
        *lastRow = 99;
        *lastCol = 25;
    }
    bool formulaCell(int* row, int* col) const override
    {
        if (ownRow < 0)
            return false;
        *row = ownRow;
        *col = ownCol;
        return true;
    }
    int ixtiForSheet(const QString& name) const override { return static_cast<int>(sheetNames.indexOf(name)); }
    QString sheetForIxti(int ixti) const override
    {
        if (spans.contains(ixti))
            return sheetNames.value(spans[ixti].first) + QLatin1Char(':') + sheetNames.value(spans[ixti].second);
        return sheetNames.value(ixti);
    }
    // Runs of sheets get indices from 100 on.
    int ixtiForSheetSpan(const QString& first, const QString& last) const override
    {
        const int a = static_cast<int>(sheetNames.indexOf(first)), b = static_cast<int>(sheetNames.indexOf(last));
        if (a < 0 || b < 0)
            return -1;
        for (auto it = spans.begin(); it != spans.end(); ++it)
            if (it.value() == qMakePair(a, b))
                return it.key();
        const int ixti = 100 + static_cast<int>(spans.size());
        spans[ixti] = qMakePair(a, b);
        return ixti;
    }
    bool externSheets(int ixti, int* first, int* last) const override
    {
        if (spans.contains(ixti)) {
            *first = spans[ixti].first;
            *last = spans[ixti].second;
            return true;
        }
        *first = *last = ixti;
        return ixti < sheetNames.size();
    }

    // Defined names, 1-based, by formula text (compiled against this sheet).
    void defineName(const QString& name, const char* formula)
    {
        NameDefinition def;
        def.name = name;
        names.append(def); // known while its own formula is read
        names.last().rgce = parseFormula(QString::fromUtf8(formula), this, &names.last().extra, FormulaKind::Name);
    }
    int nameIndex(const QString& name, const QString&) const override
    {
        for (int i = 0; i < names.size(); ++i)
            if (names[i].name.compare(name, Qt::CaseInsensitive) == 0)
                return i + 1;
        return 0;
    }
    QString nameText(int index) const override
    {
        return index >= 1 && index <= names.size() ? names[index - 1].name : QString();
    }
    bool definedName(int index, NameDefinition* out) const override
    {
        if (index < 1 || index > names.size())
            return false;
        *out = names[index - 1];
        return true;
    }

    QList<NameDefinition> names;
    mutable QHash<int, QPair<int, int>> spans;
    mutable int reads = 0;
    int ownRow = -1; // the formula's cell, when a test sets one
    int ownCol = -1;
};

// Formulas evaluated against a TestSheet, in the United States locale whatever the machine's.
class FormulaTest : public ::testing::Test {
protected:
    void SetUp() override { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    static Value err(ErrorCode e) { return Value::error(e); }
    static Value num(double d) { return Value::number(d); }
    static Value text(const char* s) { return Value::string(QString::fromUtf8(s)); }
    static Value boolean(bool b) { return Value::boolean(b); }

    Value eval(const char* formula)
    {
        Bytes extra;
        const Bytes rgce = parseFormula(QString::fromUtf8(formula), &sheet, &extra);
        return evaluateFormula(rgce, sheet, extra);
    }
    std::vector<Value> evalArray(const char* formula, int rows, int cols)
    {
        Bytes extra;
        const Bytes rgce = parseFormula(QString::fromUtf8(formula), &sheet, &extra, FormulaKind::Array);
        return evaluateArrayFormula(rgce, sheet, rows, cols, extra);
    }
    // Numbers down a column from a row (1-based): column("A", 1, {1, 2}) fills A1 and A2.
    void column(const char* col, int firstRow, std::initializer_list<double> values)
    {
        int r = firstRow;
        for (double v : values)
            sheet.set(QString::fromLatin1(col) + QString::number(r++), v);
    }

    TestSheet sheet;
};

inline Bytes hex(const char* text)
{
    Bytes out;
    const QStringList parts = QString::fromLatin1(text).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    for (const QString& p : parts)
        out.push_back(static_cast<std::uint8_t>(p.toUInt(nullptr, 16)));
    return out;
}

inline QString hexText(const Bytes& b)
{
    QStringList parts;
    for (auto x : b)
        parts.append(QStringLiteral("%1").arg(x, 2, 16, QLatin1Char('0')).toUpper());
    return parts.join(QLatin1Char(' '));
}

} // namespace sheet::test
