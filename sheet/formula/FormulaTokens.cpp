#include "FormulaTokens.h"

#include "model/Error.h"

#include <QRegularExpression>
#include <cstring>

namespace sheet::ptg {

namespace {

[[noreturn]] void truncated(std::uint8_t id, std::size_t pos)
{
    throw FormatError(QStringLiteral("Formula token 0x%1 at offset %2 is cut short")
                          .arg(id, 2, 16, QLatin1Char('0'))
                          .arg(pos));
}

// Payload size of a token whose size does not depend on its content; -1 when it does or
// the id is not a BIFF8 token.
int fixedPayload(std::uint8_t b)
{
    switch (b) {
    case Exp: case Tbl: return 4;
    case Err: case Bool: return 1;
    case Int: return 2;
    case Num: return 8;
    case Array: return 7;
    case Func: return 2;
    case FuncVar: return 3;
    case Name: return 4;
    case Ref: case RefErr: case RefN: return 4;
    case Area: case AreaErr: case AreaN: return 8;
    case MemArea: case MemErr: case MemNoMem: return 6;
    case MemFunc: case MemAreaN: case MemNoMemN: return 2;
    case NameX: return 6;
    case Ref3d: case RefErr3d: return 6;
    case Area3d: case AreaErr3d: return 10;
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
    t.pos = pos;
    t.payload = pos + 1;
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
            throw FormatError(QStringLiteral("Unknown formula token 0x%1 at offset %2")
                                  .arg(t.id, 2, 16, QLatin1Char('0'))
                                  .arg(pos));
        payload = static_cast<std::size_t>(fixed);
    }
    if (payload > n - t.payload)
        truncated(t.id, pos);
    t.size = 1 + payload;
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

namespace {
// BIFF8 built-in function numbers (iftab). Arguments of class 'R' take ranges (aggregates,
// lookup tables): a bare reference there is written in reference class.
constexpr FunctionInfo kFunctions[] = {
    {"COUNT", 0, 0, 30, "R"},    {"IF", 1, 2, 3, "V"},         {"ISNA", 2, 1, 1, "V"},
    {"ISERROR", 3, 1, 1, "V"},   {"SUM", 4, 0, 30, "R"},       {"AVERAGE", 5, 1, 30, "R"},
    {"MIN", 6, 1, 30, "R"},      {"MAX", 7, 1, 30, "R"},       {"ROW", 8, 0, 1, "R"},
    {"COLUMN", 9, 0, 1, "R"},    {"NA", 10, 0, 0, "V"},        {"STDEV", 12, 1, 30, "R"},
    {"SIN", 15, 1, 1, "V"},      {"COS", 16, 1, 1, "V"},       {"TAN", 17, 1, 1, "V"},
    {"ATAN", 18, 1, 1, "V"},     {"PI", 19, 0, 0, "V"},        {"SQRT", 20, 1, 1, "V"},
    {"EXP", 21, 1, 1, "V"},      {"LN", 22, 1, 1, "V"},        {"LOG10", 23, 1, 1, "V"},
    {"ABS", 24, 1, 1, "V"},      {"INT", 25, 1, 1, "V"},       {"SIGN", 26, 1, 1, "V"},
    {"ROUND", 27, 2, 2, "V"},    {"LOOKUP", 28, 2, 3, "VRR"},    {"INDEX", 29, 2, 4, "RV"},
    {"REPT", 30, 2, 2, "V"},     {"MID", 31, 3, 3, "V"},       {"LEN", 32, 1, 1, "V"},
    {"VALUE", 33, 1, 1, "V"},    {"TRUE", 34, 0, 0, "V"},      {"FALSE", 35, 0, 0, "V"},
    {"AND", 36, 1, 30, "R"},     {"OR", 37, 1, 30, "R"},       {"NOT", 38, 1, 1, "V"},
    {"MOD", 39, 2, 2, "V"},      {"VAR", 46, 1, 30, "R"},      {"TEXT", 48, 2, 2, "V"},
    {"RAND", 63, 0, 0, "V"},     {"MATCH", 64, 2, 3, "VRV"},     {"DATE", 65, 3, 3, "V"},
    {"TIME", 66, 3, 3, "V"},     {"DAY", 67, 1, 1, "V"},       {"MONTH", 68, 1, 1, "V"},
    {"YEAR", 69, 1, 1, "V"},     {"WEEKDAY", 70, 1, 2, "V"},   {"HOUR", 71, 1, 1, "V"},
    {"MINUTE", 72, 1, 1, "V"},   {"SECOND", 73, 1, 1, "V"},    {"NOW", 74, 0, 0, "V"},
    {"ROWS", 76, 1, 1, "R"},     {"COLUMNS", 77, 1, 1, "R"},   {"OFFSET", 78, 3, 5, "RV"},
    {"SEARCH", 82, 2, 3, "V"},   {"ATAN2", 97, 2, 2, "V"},     {"ASIN", 98, 1, 1, "V"},
    {"ACOS", 99, 1, 1, "V"},     {"CHOOSE", 100, 2, 30, "V"},  {"HLOOKUP", 101, 3, 4, "VRRV"},
    {"VLOOKUP", 102, 3, 4, "VRRV"}, {"ISREF", 105, 1, 1, "R"},    {"LOG", 109, 1, 2, "V"},
    {"CHAR", 111, 1, 1, "V"},    {"LOWER", 112, 1, 1, "V"},    {"UPPER", 113, 1, 1, "V"},
    {"PROPER", 114, 1, 1, "V"},  {"LEFT", 115, 1, 2, "V"},     {"RIGHT", 116, 1, 2, "V"},
    {"EXACT", 117, 2, 2, "V"},   {"TRIM", 118, 1, 1, "V"},     {"REPLACE", 119, 4, 4, "V"},
    {"SUBSTITUTE", 120, 3, 4, "V"}, {"CODE", 121, 1, 1, "V"},  {"FIND", 124, 2, 3, "V"},
    {"ISERR", 126, 1, 1, "V"},   {"ISTEXT", 127, 1, 1, "V"},   {"ISNUMBER", 128, 1, 1, "V"},
    {"ISBLANK", 129, 1, 1, "V"}, {"T", 130, 1, 1, "V"},        {"N", 131, 1, 1, "V"},
    {"DATEVALUE", 140, 1, 1, "V"}, {"TIMEVALUE", 141, 1, 1, "V"}, {"INDIRECT", 148, 1, 2, "V"},
    {"COUNTA", 169, 0, 30, "R"}, {"PRODUCT", 183, 0, 30, "R"}, {"FACT", 184, 1, 1, "V"},
    {"ISNONTEXT", 190, 1, 1, "V"}, {"STDEVP", 193, 1, 30, "R"}, {"VARP", 194, 1, 30, "R"},
    {"TRUNC", 197, 1, 2, "V"},   {"ISLOGICAL", 198, 1, 1, "V"}, {"ROUNDUP", 212, 2, 2, "V"},
    {"ROUNDDOWN", 213, 2, 2, "V"}, {"RANK", 216, 2, 3, "VRV"},   {"ADDRESS", 219, 2, 5, "V"},
    {"DAYS360", 220, 2, 3, "V"}, {"TODAY", 221, 0, 0, "V"},    {"MEDIAN", 227, 1, 30, "R"},
    {"SUMPRODUCT", 228, 1, 30, "R"}, {"ERROR.TYPE", 261, 1, 1, "V"}, {"EVEN", 279, 1, 1, "V"},
    {"FLOOR", 285, 2, 2, "V"},   {"CEILING", 288, 2, 2, "V"},  {"ODD", 298, 1, 1, "V"},
    {"SMALL", 324, 2, 2, "RV"},   {"LARGE", 325, 2, 2, "RV"},    {"CONCATENATE", 336, 1, 30, "V"},
    {"POWER", 337, 2, 2, "V"},   {"RADIANS", 342, 1, 1, "V"},  {"DEGREES", 343, 1, 1, "V"},
    {"SUMIF", 345, 2, 3, "RVR"},   {"COUNTIF", 346, 2, 2, "RV"},  {"COUNTBLANK", 347, 1, 1, "R"},
    {"AVERAGEA", 361, 1, 30, "R"}, {"MAXA", 362, 1, 30, "R"},  {"MINA", 363, 1, 30, "R"},
};
} // namespace

char FunctionInfo::argClass(int i) const
{
    const int n = static_cast<int>(std::strlen(argClasses));
    return argClasses[i < n ? i : n - 1];
}

const FunctionInfo* functionByName(const QString& name)
{
    const QString upper = name.toUpper();
    for (const auto& f : kFunctions)
        if (upper == QLatin1String(f.name))
            return &f;
    return nullptr;
}

const FunctionInfo* functionByIndex(int index)
{
    for (const auto& f : kFunctions)
        if (f.index == index)
            return &f;
    return nullptr;
}

QString columnName(int col)
{
    QString s;
    int c = col;
    do {
        s.prepend(QChar('A' + c % 26));
        c = c / 26 - 1;
    } while (c >= 0);
    return s;
}

QString quoteSheetName(const QString& name)
{
    // Plain names: a letter or underscore first, then letters, digits, '_' and '.', and not
    // something that reads as a cell address or a boolean.
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_.]*$"));
    static const QRegularExpression cellLike(QStringLiteral("^[A-Za-z]{1,3}[0-9]+$"));
    static const QRegularExpression rcLike(QStringLiteral("^[RrCc][0-9]*$|^[Rr][0-9]*[Cc][0-9]*$"));
    const bool ok = plain.match(name).hasMatch() && !cellLike.match(name).hasMatch()
                    && !rcLike.match(name).hasMatch()
                    && name.compare(QLatin1String("TRUE"), Qt::CaseInsensitive) != 0
                    && name.compare(QLatin1String("FALSE"), Qt::CaseInsensitive) != 0;
    if (ok)
        return name;
    QString q = name;
    q.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + q + QLatin1Char('\'');
}

} // namespace sheet::ptg
