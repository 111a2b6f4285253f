#include "Formula.h"

#include "FormulaTokens.h"

#include <QLocale>
#include <QRegularExpression>
#include <cmath>

namespace sheet {

namespace {

using namespace ptg;

// Binding strength of what a piece of text ends with, to decide where brackets are needed
// when the tokens carry no ptgParen of their own.
enum Prec {
    PrecCompare = 1,
    PrecConcat,
    PrecAdd,
    PrecMul,
    PrecPower,
    PrecPercent,
    PrecUnary,
    PrecUnion,
    PrecIsect,
    PrecRange,
    PrecAtom,
};

struct Piece {
    QString text;
    int prec = PrecAtom;
};

constexpr int kMaxTextLength = 16384;

[[noreturn]] void badStack() { throw FormatError(QStringLiteral("Formula tokens do not form an expression")); }

QString bracket(const Piece& p, bool need) { return need ? QLatin1Char('(') + p.text + QLatin1Char(')') : p.text; }

QString cellText(int row, int col, std::uint16_t colWord)
{
    QString s;
    if (!(colWord & kColRelative))
        s += QLatin1Char('$');
    s += columnName(col);
    if (!(colWord & kRowRelative))
        s += QLatin1Char('$');
    s += QString::number(row + 1);
    return s;
}

QString areaText(int r1, int r2, int c1, int c2, std::uint16_t w1, std::uint16_t w2)
{
    auto colPart
        = [](int c, std::uint16_t w) { return (w & kColRelative ? QString() : QStringLiteral("$")) + columnName(c); };
    auto rowPart = [](int r, std::uint16_t w) {
        return (w & kRowRelative ? QString() : QStringLiteral("$")) + QString::number(r + 1);
    };
    if (r1 == 0 && r2 == kMaxRows - 1)
        return colPart(c1, w1) + QLatin1Char(':') + colPart(c2, w2);
    if (c1 == 0 && c2 == kMaxCols - 1)
        return rowPart(r1, w1) + QLatin1Char(':') + rowPart(r2, w2);
    return cellText(r1, c1, w1) + QLatin1Char(':') + cellText(r2, c2, w2);
}

QString numberText(double v)
{
    if (!std::isfinite(v))
        return errorText(ErrorCode::Num);
    QString s = QString::number(v, 'g', QLocale::FloatingPointShortest);
    return s.toUpper();
}

// An array constant's element as formula text.
QString constantText(const Value& v)
{
    switch (v.type()) {
    case Value::Type::Number: return numberText(v.asNumber());
    case Value::Type::String:
        return QLatin1Char('"') + QString(v.asString()).replace(QLatin1Char('"'), QLatin1String("\"\""))
            + QLatin1Char('"');
    case Value::Type::Bool: return v.asBool() ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
    case Value::Type::Error: return errorText(v.asError());
    case Value::Type::Empty: break;
    }
    return QString();
}

class Printer {
public:
    Printer(const Bytes& rgce, const FormulaEnv* env, const Bytes& extra)
        : m_rgce(rgce)
        , m_env(env)
        , m_extra(extra)
    {
    }

    QString run()
    {
        const auto tokens = tokenize(m_rgce);
        if (tokens.empty())
            throw FormatError(QStringLiteral("Formula has no tokens"));
        for (const Token& t : tokens)
            token(t);
        if (m_stack.size() != 1)
            badStack();
        return m_stack.back().text;
    }

private:
    std::uint16_t u16(std::size_t at) const { return readU16(m_rgce, at); }

    Piece pop()
    {
        if (m_stack.empty())
            badStack();
        Piece p = std::move(m_stack.back());
        m_stack.pop_back();
        return p;
    }

    void push(QString text, int prec)
    {
        if (text.size() > kMaxTextLength)
            throw FormatError(QStringLiteral("Formula text is too long"));
        m_stack.push_back({std::move(text), prec});
    }

    QString sheetPrefix(int ixti) const
    {
        const QString name = m_env ? m_env->sheetForIxti(ixti) : QString();
        if (name.isEmpty())
            return QStringLiteral("#REF!");
        return sheetReferenceText(name) + QLatin1Char('!');
    }

    void binary(const char* op, int prec)
    {
        Piece b = pop();
        Piece a = pop();
        push(bracket(a, a.prec < prec) + QLatin1String(op) + bracket(b, b.prec <= prec), prec);
    }

    void function(const QString& name, int argc)
    {
        if (argc < 0 || static_cast<std::size_t>(argc) > m_stack.size())
            badStack();
        QStringList args;
        for (std::size_t i = m_stack.size() - argc; i < m_stack.size(); ++i)
            args.append(bracket(m_stack[i], m_stack[i].prec == PrecUnion));
        m_stack.resize(m_stack.size() - argc);
        push(name + QLatin1Char('(') + args.join(QLatin1Char(',')) + QLatin1Char(')'), PrecAtom);
    }

    void token(const Token& t)
    {
        const std::size_t p = t.payload;
        switch (t.base) {
        case Exp:
        case Tbl: {
            const QString anchor = columnName(u16(p + 2) & 0xFF) + QString::number(u16(p) + 1);
            push((t.base == Exp ? QStringLiteral("SHARED(") : QStringLiteral("TABLE(")) + anchor + QLatin1Char(')'),
                 PrecAtom);
            break;
        }
        case Add: binary("+", PrecAdd); break;
        case Sub: binary("-", PrecAdd); break;
        case Mul: binary("*", PrecMul); break;
        case Div: binary("/", PrecMul); break;
        case Power: binary("^", PrecPower); break;
        case Concat: binary("&", PrecConcat); break;
        case LT: binary("<", PrecCompare); break;
        case LE: binary("<=", PrecCompare); break;
        case EQ: binary("=", PrecCompare); break;
        case GE: binary(">=", PrecCompare); break;
        case GT: binary(">", PrecCompare); break;
        case NE: binary("<>", PrecCompare); break;
        case Isect: binary(" ", PrecIsect); break;
        case Union: binary(",", PrecUnion); break;
        case Range: {
            // "A1:Data!B2" would read as a run of sheets "A1:Data": a space keeps them apart
            static const QRegularExpression sheetFirst(QStringLiteral("^('|[^\\s(!:\"]+(:[^\\s(!:\"]+)?!)"));
            binary(!m_stack.empty() && sheetFirst.match(m_stack.back().text).hasMatch() ? ": " : ":", PrecRange);
            break;
        }
        case Uplus:
        case Uminus: {
            Piece a = pop();
            push(QLatin1String(t.base == Uplus ? "+" : "-") + bracket(a, a.prec < PrecUnary), PrecUnary);
            break;
        }
        case Percent: {
            Piece a = pop();
            push(bracket(a, a.prec < PrecPercent) + QLatin1Char('%'), PrecPercent);
            break;
        }
        case Paren: {
            Piece a = pop();
            push(QLatin1Char('(') + a.text + QLatin1Char(')'), PrecAtom);
            break;
        }
        case MissArg: push(QString(), PrecAtom); break;
        case Str: {
            ByteReader r(m_rgce.data() + p, t.size - 1);
            QString s = r.shortXLUnicodeString();
            s.replace(QLatin1Char('"'), QLatin1String("\"\""));
            push(QLatin1Char('"') + s + QLatin1Char('"'), PrecAtom);
            break;
        }
        case Attr: {
            if (m_rgce[p] & AttrSum) {
                function(QStringLiteral("SUM"), 1);
            }
            // Jumps, spaces and the volatile mark change nothing in the text.
            break;
        }
        case Err: push(errorText(static_cast<ErrorCode>(m_rgce[p])), PrecAtom); break;
        case Bool: push(m_rgce[p] ? QStringLiteral("TRUE") : QStringLiteral("FALSE"), PrecAtom); break;
        case Int: push(QString::number(u16(p)), PrecAtom); break;
        case Num: {
            ByteReader r(m_rgce.data() + p, 8);
            push(numberText(r.f64()), PrecAtom);
            break;
        }
        case Array: push(arrayText(), PrecAtom); break;
        case Func: {
            const int index = u16(p);
            const FunctionInfo* info = functionByIndex(index);
            if (!info || !info->fixedCount())
                throw FormatError(QStringLiteral("Unknown function number %1 in a formula").arg(index));
            function(QLatin1String(info->name), info->minArgs);
            break;
        }
        case FuncVar: {
            const int argc = m_rgce[p];
            const int index = u16(p + 1) & 0x7FFF;
            const FunctionInfo* info = functionByIndex(index);
            if (index == 255 && argc >= 1) {
                // Add-in call: the first argument names the function.
                if (static_cast<std::size_t>(argc) > m_stack.size())
                    badStack();
                QString name = m_stack[m_stack.size() - argc].text;
                if (name.startsWith(QLatin1String("_xlfn."), Qt::CaseInsensitive))
                    name = name.mid(6); // a later version's function under its own name
                std::vector<Piece> rest(m_stack.end() - (argc - 1), m_stack.end());
                m_stack.resize(m_stack.size() - argc);
                for (Piece& piece : rest)
                    m_stack.push_back(std::move(piece));
                function(name, argc - 1);
            } else {
                function(info ? QLatin1String(info->name) : QStringLiteral("FUNCTION%1").arg(index), argc);
            }
            break;
        }
        case Name: {
            const QString name = m_env ? m_env->nameText(u16(p)) : QString();
            push(name.isEmpty() ? errorText(ErrorCode::Name) : name, PrecAtom);
            break;
        }
        case NameX: {
            const QString name = m_env ? m_env->externNameText(u16(p), u16(p + 2)) : QString();
            push(name.isEmpty() ? errorText(ErrorCode::Name) : name, PrecAtom);
            break;
        }
        case Ref: {
            const std::uint16_t w = u16(p + 2);
            push(cellText(u16(p), w & 0xFF, w), PrecAtom);
            break;
        }
        case Area: {
            const std::uint16_t w1 = u16(p + 4), w2 = u16(p + 6);
            push(areaText(u16(p), u16(p + 2), w1 & 0xFF, w2 & 0xFF, w1, w2), PrecAtom);
            break;
        }
        case RefN: {
            // Read as the formula of cell A1 of its group.
            int row, col;
            const std::uint16_t w = u16(p + 2);
            resolveRelative(u16(p), w, 0, 0, &row, &col);
            push(cellText(row, col, w), PrecAtom);
            break;
        }
        case AreaN: {
            int r1, c1, r2, c2;
            const std::uint16_t w1 = u16(p + 4), w2 = u16(p + 6);
            resolveRelative(u16(p), w1, 0, 0, &r1, &c1);
            resolveRelative(u16(p + 2), w2, 0, 0, &r2, &c2);
            push(areaText(r1, r2, c1, c2, w1, w2), PrecAtom);
            break;
        }
        case RefErr:
        case AreaErr: push(errorText(ErrorCode::Ref), PrecAtom); break;
        case Ref3d: {
            const std::uint16_t w = u16(p + 4);
            push(sheetPrefix(u16(p)) + cellText(u16(p + 2), w & 0xFF, w), PrecAtom);
            break;
        }
        case Area3d: {
            const std::uint16_t w1 = u16(p + 6), w2 = u16(p + 8);
            push(sheetPrefix(u16(p)) + areaText(u16(p + 2), u16(p + 4), w1 & 0xFF, w2 & 0xFF, w1, w2), PrecAtom);
            break;
        }
        case RefErr3d:
        case AreaErr3d: push(sheetPrefix(u16(p)) + errorText(ErrorCode::Ref), PrecAtom); break;
        default: break; // memory tokens only describe the tokens that follow them
        }
    }

    // {1,2;3,4}: the values are in the extra bytes, one block per constant in order.
    QString arrayText()
    {
        if (m_extraPos + 3 > m_extra.size())
            throw FormatError(QStringLiteral("Array constant without its values"));
        ByteReader r(m_extra.data() + m_extraPos, m_extra.size() - m_extraPos);
        const int cols = r.u8() + 1;
        const int rows = r.u16() + 1;
        QString out = QStringLiteral("{");
        for (int row = 0; row < rows; ++row) {
            if (row > 0)
                out += QLatin1Char(';');
            for (int col = 0; col < cols; ++col) {
                if (col > 0)
                    out += QLatin1Char(',');
                out += constantText(constantValue(r));
                if (out.size() > kMaxTextLength)
                    throw FormatError(QStringLiteral("Formula text is too long"));
            }
        }
        m_extraPos = m_extra.size() - r.remaining();
        return out + QLatin1Char('}');
    }

    const Bytes& m_rgce;
    const FormulaEnv* m_env;
    const Bytes& m_extra;
    std::size_t m_extraPos = 0;
    std::vector<Piece> m_stack;
};

} // namespace

QString formulaText(const Bytes& rgce, const FormulaEnv* env, const Bytes& extra)
{
    return Printer(rgce, env, extra).run();
}

} // namespace sheet
