#include "FormulaTokens.h"

#include "base/Error.h"

#include <QRegularExpression>

namespace sheet::ptg {

namespace {

[[noreturn]] void truncated(std::uint8_t id, std::size_t pos)
{
    throw FormatError(
        QStringLiteral("Formula token 0x%1 at offset %2 is cut short").arg(id, 2, 16, QLatin1Char('0')).arg(pos));
}

// Payload size of a token whose size does not depend on its content; -1 when it does or
// the id is not a BIFF8 token.
int fixedPayload(std::uint8_t b)
{
    switch (b) {
    case Exp:
    case Tbl: return 4;
    case Err:
    case Bool: return 1;
    case Int: return 2;
    case Num: return 8;
    case Array: return 7;
    case Func: return 2;
    case FuncVar: return 3;
    case Name: return 4;
    case Ref:
    case RefErr:
    case RefN: return 4;
    case Area:
    case AreaErr:
    case AreaN: return 8;
    case MemArea:
    case MemErr:
    case MemNoMem: return 6;
    case MemFunc:
    case MemAreaN:
    case MemNoMemN: return 2;
    case NameX: return 6;
    case Ref3d:
    case RefErr3d: return 6;
    case Area3d:
    case AreaErr3d: return 10;
    default: break;
    }
    if (b >= Add && b <= MissArg)
        return 0;
    return -1;
}

} // namespace

Token tokenAt(const Bytes& rgce, std::size_t pos)
{
    const std::size_t n = rgce.size();
    Token t;
    t.id = rgce[pos];
    t.base = base(t.id);
    t.pos = static_cast<std::uint32_t>(pos);
    t.payload = static_cast<std::uint32_t>(pos + 1);
    std::size_t payload = 0;
    if (t.base == Str) {
        if (n - t.payload < 2)
            truncated(t.id, pos);
        const std::size_t cch = rgce[t.payload];
        const bool wide = rgce[t.payload + 1] & 1;
        payload = 2 + (wide ? 2 * cch : cch);
    } else if (t.base == Attr) {
        if (n - t.payload < 3)
            truncated(t.id, pos);
        payload = 3;
        if (rgce[t.payload] & AttrChoose) {
            const std::size_t count = rgce[t.payload + 1] | (rgce[t.payload + 2] << 8);
            payload += 2 * (count + 1);
        }
    } else {
        const int fixed = fixedPayload(t.base);
        if (fixed < 0 || t.id >= 0x80)
            throw FormatError(
                QStringLiteral("Unknown formula token 0x%1 at offset %2").arg(t.id, 2, 16, QLatin1Char('0')).arg(pos));
        payload = static_cast<std::size_t>(fixed);
    }
    if (payload > n - t.payload)
        truncated(t.id, pos);
    t.size = static_cast<std::uint32_t>(1 + payload);
    return t;
}

std::vector<Token> tokenize(const Bytes& rgce)
{
    std::vector<Token> out;
    out.reserve(rgce.size() / 3 + 1);
    for (std::size_t pos = 0; pos < rgce.size();) {
        out.push_back(tokenAt(rgce, pos));
        pos += out.back().size;
    }
    return out;
}

Value constantValue(ByteReader& r)
{
    const std::uint8_t type = r.u8();
    switch (type) {
    case 0x00: r.skip(8); return {};
    case 0x01: return Value::number(r.f64());
    case 0x02: return Value::string(r.xlUnicodeString());
    case 0x04: {
        const bool b = r.u8() != 0;
        r.skip(7);
        return Value::boolean(b);
    }
    case 0x10: {
        const std::uint8_t code = r.u8();
        r.skip(7);
        return Value::error(isKnownErrorCode(code) ? static_cast<ErrorCode>(code) : ErrorCode::NA);
    }
    default: throw FormatError(QStringLiteral("Unknown value type %1 in an array constant").arg(type));
    }
}

QString quoteSheetName(const QString& name)
{
    // Plain names: a letter or underscore first, then letters, digits, '_' and '.', and not
    // something that reads as a cell address or a boolean.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.]*$"));
    static const QRegularExpression cellLike(QStringLiteral("^[A-Za-z]{1,3}[0-9]+$"));
    static const QRegularExpression rcLike(QStringLiteral("^[RrCc][0-9]*$|^[Rr][0-9]*[Cc][0-9]*$"));
    const bool ok = plain.match(name).hasMatch() && !cellLike.match(name).hasMatch() && !rcLike.match(name).hasMatch()
        && name.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) != 0
        && name.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) != 0;
    if (ok)
        return name;
    QString q = name;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

// "Sheet1", "'My Sheet'", "Sheet1:Sheet3" and another workbook's "[Book1.xls]Sheet1", quoted
// as a whole when any part needs it.
QString sheetReferenceText(const QString& name)
{
    const qsizetype close = name.startsWith(QLatin1Char('[')) ? name.indexOf(QLatin1Char(']')) : -1;
    if (close > 0) {
        const QString file = name.mid(1, close - 1), sheets = name.mid(close + 1);
        static const QRegularExpression plainFile(QStringLiteral("^[A-Za-z0-9_.]+$"));
        if (plainFile.match(file).hasMatch() && sheetReferenceText(sheets) == sheets)
            return name;
        QString q = name;
        q.replace(QLatin1Char('\''), QLatin1String("''"));
        return QLatin1Char('\'') + q + QLatin1Char('\'');
    }
    const qsizetype colon = name.indexOf(QLatin1Char(':'));
    if (colon > 0) {
        const QString first = name.left(colon), last = name.mid(colon + 1);
        if (quoteSheetName(first) == first && quoteSheetName(last) == last)
            return name;
    }
    return quoteSheetName(name);
}

} // namespace sheet::ptg
