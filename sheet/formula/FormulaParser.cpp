#include "Formula.h"

#include "format/Decimal.h"
#include "FormulaTokens.h"

#include <QRegularExpression>
#include <cmath>

namespace sheet {

FormulaEnv::~FormulaEnv() = default;

int FormulaEnv::ixtiForSheetSpan(const QString&, const QString&) const { return -1; }

int FormulaEnv::nameIndex(const QString&, const QString&) const { return 0; }

QString FormulaEnv::nameText(int) const { return QString(); }

QString FormulaEnv::externNameText(int, int) const { return QString(); }

bool FormulaEnv::addInFunction(const QString&, int*, int*) const { return false; }

namespace {

using namespace ptg;

// A compiled piece of formula. `refLike`: it gives a reference (a reference token, a name,
// a reference operator), so a space after it can be the intersection operator.
struct Frag {
    Bytes code;
    bool refLike = false;
};

struct CellAddr {
    int row = 0;
    int col = 0;
    bool rowAbs = false;
    bool colAbs = false;
};

constexpr int kMaxDepth = 100;
// What a token and the operators after it usually take: room set aside once.
constexpr std::size_t kTokenBytes = 16;

bool isAsciiDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }

std::uint16_t colWord(const CellAddr& a)
{
    std::uint16_t w = static_cast<std::uint16_t>(a.col);
    if (!a.colAbs)
        w |= kColRelative;
    if (!a.rowAbs)
        w |= kRowRelative;
    return w;
}

class Parser {
public:
    Parser(const QString& text, const FormulaEnv* env, Bytes* extra, FormulaKind kind)
        : m_text(text)
        , m_env(env)
        , m_extra(extra)
        , m_kind(kind)
    {
    }

    Bytes run()
    {
        skipSpace();
        if (peek() == QLatin1Char('='))
            ++m_pos;
        skipSpace();
        if (atEnd())
            fail(QStringLiteral("the formula is empty"));
        Frag f = comparison();
        skipSpace();
        if (!atEnd())
            fail(QStringLiteral("unexpected '%1'").arg(m_text.at(m_pos)));
        if (f.code.size() > 0xFFFF)
            fail(QStringLiteral("the formula is too long"));
        if (m_calls || m_kind != FormulaKind::Cell)
            setClasses(f.code);
        if (m_extra)
            *m_extra = std::move(m_arrays);
        return std::move(f.code);
    }

private:
    [[noreturn]] void fail(const QString& what) const
    {
        throw Error(
            QStringLiteral("Cannot read the formula \"%1\": %2 at position %3").arg(m_text, what).arg(m_pos + 1));
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    QChar peek(int ahead = 0) const
    {
        const int i = m_pos + ahead;
        return i < m_text.size() ? m_text.at(i) : QChar();
    }
    void skipSpace()
    {
        while (!atEnd()
               && (m_text.at(m_pos) == QLatin1Char(' ') || m_text.at(m_pos) == QLatin1Char('\n')
                   || m_text.at(m_pos) == QLatin1Char('\r') || m_text.at(m_pos) == QLatin1Char('\t')))
            ++m_pos;
    }
    bool accept(QChar c)
    {
        skipSpace();
        if (peek() == c) {
            ++m_pos;
            return true;
        }
        return false;
    }

    static Frag binary(Frag a, const Frag& b, std::uint8_t op)
    {
        a.code.reserve(a.code.size() + b.code.size() + 1);
        a.code.insert(a.code.end(), b.code.begin(), b.code.end());
        a.code.push_back(op);
        a.refLike = op == Range || op == Isect || op == Union;
        return a;
    }

    // The token classes Excel writes: what each reference, name and call is computed as.
    void setClasses(Bytes& code) const
    {
        const std::vector<Token> tokens = tokenize(code);
        std::vector<TokenClass> classes;
        const std::uint8_t root = m_kind == FormulaKind::Array ? WantA : m_kind == FormulaKind::Name ? WantR : WantV;
        if (!classifyTokens(code, tokens, root, &classes))
            fail(QStringLiteral("the formula does not form one expression"));
        for (std::size_t i = 0; i < tokens.size(); ++i) {
            const Token& t = tokens[i];
            switch (t.base) {
            case Ref:
            case Area:
            case Ref3d:
            case Area3d:
            case RefErr:
            case AreaErr:
            case RefErr3d:
            case AreaErr3d:
            case Name:
            case NameX:
            case Func:
            case FuncVar: code[t.pos] = withClass(t.id, classes[i].cls); break;
            default: break;
            }
        }
    }

    struct DepthGuard {
        explicit DepthGuard(Parser& p)
            : parser(p)
        {
            if (++parser.m_depth > kMaxDepth)
                parser.fail(QStringLiteral("the formula is nested too deeply"));
        }
        ~DepthGuard() { --parser.m_depth; }
        Parser& parser;
    };

    Frag comparison()
    {
        DepthGuard guard(*this);
        Frag left = concat();
        for (;;) {
            skipSpace();
            std::uint8_t op = 0;
            if (m_text.mid(m_pos, 2) == QLatin1String("<=")) {
                op = LE;
                m_pos += 2;
            } else if (m_text.mid(m_pos, 2) == QLatin1String(">=")) {
                op = GE;
                m_pos += 2;
            } else if (m_text.mid(m_pos, 2) == QLatin1String("<>")) {
                op = NE;
                m_pos += 2;
            } else if (peek() == QLatin1Char('<')) {
                op = LT;
                ++m_pos;
            } else if (peek() == QLatin1Char('>')) {
                op = GT;
                ++m_pos;
            } else if (peek() == QLatin1Char('=')) {
                op = EQ;
                ++m_pos;
            } else {
                return left;
            }
            left = binary(std::move(left), concat(), op);
        }
    }

    Frag concat()
    {
        Frag left = additive();
        while (accept(QLatin1Char('&')))
            left = binary(std::move(left), additive(), Concat);
        return left;
    }

    Frag additive()
    {
        Frag left = multiplicative();
        for (;;) {
            if (accept(QLatin1Char('+')))
                left = binary(std::move(left), multiplicative(), Add);
            else if (accept(QLatin1Char('-')))
                left = binary(std::move(left), multiplicative(), Sub);
            else
                return left;
        }
    }

    Frag multiplicative()
    {
        Frag left = power();
        for (;;) {
            if (accept(QLatin1Char('*')))
                left = binary(std::move(left), power(), Mul);
            else if (accept(QLatin1Char('/')))
                left = binary(std::move(left), power(), Div);
            else
                return left;
        }
    }

    // '^' is left-associative: 2^3^2 is (2^3)^2.
    Frag power()
    {
        Frag left = percent();
        while (accept(QLatin1Char('^')))
            left = binary(std::move(left), percent(), Power);
        return left;
    }

    Frag percent()
    {
        Frag f = unary();
        while (accept(QLatin1Char('%'))) {
            f.code.push_back(Percent);
            f.refLike = false;
        }
        return f;
    }

    // Sign binds tighter than '^': -2^2 is 4.
    Frag unary()
    {
        DepthGuard guard(*this);
        if (accept(QLatin1Char('-'))) {
            Frag f = unary();
            f.code.push_back(Uminus);
            f.refLike = false;
            return f;
        }
        if (accept(QLatin1Char('+'))) {
            Frag f = unary();
            f.code.push_back(Uplus);
            f.refLike = false;
            return f;
        }
        return intersection();
    }

    // A space between two references is their intersection.
    Frag intersection()
    {
        Frag left = rangeOperand();
        for (;;) {
            const int before = m_pos;
            skipSpace();
            const QChar c = peek();
            const bool startsRef = c.isLetter() || c == QLatin1Char('$') || c == QLatin1Char('\'')
                || c == QLatin1Char('_') || c == QLatin1Char('(');
            if (m_pos == before || !left.refLike || !startsRef) {
                m_pos = before;
                return left;
            }
            Frag right = rangeOperand();
            if (!right.refLike)
                fail(QStringLiteral("a space between a reference and something else"));
            left = binary(std::move(left), right, Isect);
        }
    }

    // "A1:B2" is one area token; a ':' left over joins references into their bounding range.
    Frag rangeOperand()
    {
        Frag left = primary();
        while (peek() == QLatin1Char(':') && left.refLike) {
            ++m_pos;
            skipSpace();
            Frag right = primary();
            if (!right.refLike)
                fail(QStringLiteral("a range needs references on both sides of ':'"));
            left = binary(std::move(left), right, Range);
        }
        return left;
    }

    Frag primary()
    {
        skipSpace();
        if (atEnd())
            fail(QStringLiteral("the formula ends too early"));
        const QChar c = peek();
        if (c.isDigit() || (c == QLatin1Char('.') && peek(1).isDigit())) {
            Frag rows;
            if (rowRange(-1, &rows))
                return rows;
            return number();
        }
        if (c == QLatin1Char('"'))
            return string();
        if (c == QLatin1Char('#'))
            return errorLiteral();
        if (c == QLatin1Char('(')) {
            ++m_pos;
            Frag inner = comparison();
            // (A1,B2:C3): a union of references
            while (accept(QLatin1Char(','))) {
                Frag next = comparison();
                if (!inner.refLike || !next.refLike)
                    fail(QStringLiteral("a list in brackets must hold references"));
                inner = binary(std::move(inner), next, Union);
            }
            if (!accept(QLatin1Char(')')))
                fail(QStringLiteral("missing ')'"));
            inner.code.push_back(Paren);
            return inner;
        }
        if (c == QLatin1Char('{'))
            return arrayConstant();
        if (c == QLatin1Char('\''))
            return quotedSheetReference();
        if (c == QLatin1Char('['))
            return otherBookReference();
        if (c == QLatin1Char('$') && peek(1).isDigit()) {
            Frag rows;
            if (rowRange(-1, &rows))
                return rows;
        }
        if (c.isLetter() || c == QLatin1Char('_') || c == QLatin1Char('$'))
            return identifier();
        fail(QStringLiteral("unexpected '%1'").arg(c));
    }

    Frag number()
    {
        // digits [. digits] [E [+-] digits], or . digits
        int i = m_pos;
        auto digitsFrom = [&](int j) {
            while (j < m_text.size() && isAsciiDigit(m_text.at(j)))
                ++j;
            return j;
        };
        i = digitsFrom(i);
        if (i < m_text.size() && m_text.at(i) == QLatin1Char('.'))
            i = digitsFrom(i + 1);
        if (i < m_text.size() && (m_text.at(i) == QLatin1Char('e') || m_text.at(i) == QLatin1Char('E'))) {
            int j = i + 1;
            if (j < m_text.size() && (m_text.at(j) == QLatin1Char('+') || m_text.at(j) == QLatin1Char('-')))
                ++j;
            const int end = digitsFrom(j);
            if (end == j)
                fail(QStringLiteral("bad number"));
            i = end;
        }
        double v = 0;
        if (!decimal::parse(m_text.mid(m_pos, i - m_pos), &v))
            fail(QStringLiteral("number out of range"));
        m_pos = i;
        Frag f;
        ByteWriter w(kTokenBytes);
        if (v >= 0 && v <= 65535 && v == std::floor(v)) {
            w.u8(Int);
            w.u16(static_cast<std::uint16_t>(v));
        } else {
            w.u8(Num);
            w.f64(v);
        }
        f.code = w.take();
        return f;
    }

    Frag string()
    {
        ++m_pos; // opening quote
        QString s;
        for (;;) {
            if (atEnd())
                fail(QStringLiteral("text without its closing quote"));
            const QChar c = m_text.at(m_pos++);
            if (c == QLatin1Char('"')) {
                if (peek() == QLatin1Char('"')) {
                    s.append(c);
                    ++m_pos;
                    continue;
                }
                break;
            }
            s.append(c);
        }
        if (s.size() > 255)
            fail(QStringLiteral("text longer than 255 characters"));
        ByteWriter w(kTokenBytes);
        w.u8(Str);
        w.shortXLUnicodeString(s);
        Frag f;
        f.code = w.take();
        return f;
    }

    bool matchError(ErrorCode* code)
    {
        static const ErrorCode all[] = {ErrorCode::Null, ErrorCode::Div0, ErrorCode::Value, ErrorCode::Ref,
                                        ErrorCode::Name, ErrorCode::Num,  ErrorCode::NA};
        for (ErrorCode e : all) {
            const QString t = errorText(e);
            if (m_text.mid(m_pos, t.size()).compare(t, Qt::CaseInsensitive) == 0) {
                m_pos += t.size();
                *code = e;
                return true;
            }
        }
        return false;
    }

    Frag errorLiteral()
    {
        ErrorCode e;
        if (!matchError(&e))
            fail(QStringLiteral("unknown error value"));
        Frag f;
        f.code = {Err, static_cast<std::uint8_t>(e)};
        return f;
    }

    QString lexIdentifier()
    {
        const int start = m_pos;
        while (!atEnd()) {
            const QChar c = m_text.at(m_pos);
            if (c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.') || c == QLatin1Char('$'))
                ++m_pos;
            else
                break;
        }
        return m_text.mid(start, m_pos - start);
    }

    // "B6", "$B$2", "B$6"; false when the text is not a cell address at all.
    bool cellAddress(const QString& s, CellAddr* out)
    {
        int i = 0;
        CellAddr a;
        if (!columnPart(s, &i, &a))
            return false;
        if (i < s.size() && s.at(i) == QLatin1Char('$')) {
            a.rowAbs = true;
            ++i;
        }
        const int start = i;
        long row = 0;
        while (i < s.size() && isAsciiDigit(s.at(i)) && i - start < 7)
            row = row * 10 + (s.at(i++).unicode() - '0');
        if (i == start || i != s.size())
            return false;
        if (row < 1 || row > kMaxRows)
            fail(QStringLiteral("row %1 is outside the sheet").arg(s.mid(start)));
        a.row = static_cast<int>(row - 1);
        *out = a;
        return true;
    }

    bool columnOnly(const QString& s, CellAddr* out)
    {
        int i = 0;
        CellAddr a;
        if (!columnPart(s, &i, &a) || i != s.size())
            return false;
        out->col = a.col;
        out->colAbs = a.colAbs;
        return true;
    }

    // "$AB" at the start of s: one to three letters naming a column up to IV (LOG10 and
    // ABC1 are names, not addresses).
    static bool columnPart(const QString& s, int* i, CellAddr* a)
    {
        int j = 0;
        if (j < s.size() && s.at(j) == QLatin1Char('$')) {
            a->colAbs = true;
            ++j;
        }
        int col = 0;
        const int start = j;
        while (j < s.size() && j - start < 4) {
            const char16_t c = s.at(j).unicode();
            if (c >= 'a' && c <= 'z')
                col = col * 26 + (c - 'a' + 1);
            else if (c >= 'A' && c <= 'Z')
                col = col * 26 + (c - 'A' + 1);
            else
                break;
            ++j;
        }
        if (j == start || j - start > 3 || col > kMaxCols)
            return false;
        a->col = col - 1;
        *i = j;
        return true;
    }

    static void normalise(CellAddr* a, CellAddr* b)
    {
        if (a->row > b->row) {
            std::swap(a->row, b->row);
            std::swap(a->rowAbs, b->rowAbs);
        }
        if (a->col > b->col) {
            std::swap(a->col, b->col);
            std::swap(a->colAbs, b->colAbs);
        }
    }

    // The reference that starts at the current position (after any "Sheet!"). ixti -1: own sheet.
    Frag reference(int ixti)
    {
        if (ixti < 0 && m_kind == FormulaKind::Name)
            fail(QStringLiteral("a name's cells must say which sheet they are on (Data!$B$6)"));
        Frag rows;
        if (rowRange(ixti, &rows))
            return rows;
        if (ixti >= 0 && peek() == QLatin1Char('#')) {
            ErrorCode e;
            if (!matchError(&e) || e != ErrorCode::Ref)
                fail(QStringLiteral("bad reference"));
            ByteWriter w(kTokenBytes);
            w.u8(withClass(RefErr3d, ClassValue));
            w.u16(static_cast<std::uint16_t>(ixti));
            w.zeros(4);
            return refFrag(w);
        }
        const int start = m_pos;
        const QString first = lexIdentifier();
        CellAddr a;
        if (cellAddress(first, &a)) {
            if (peek() == QLatin1Char(':')) {
                const int colon = m_pos++;
                skipSpace(); // "A1: C4" is A1:C4, as Excel reads it
                CellAddr b;
                if (cellAddress(lexIdentifier(), &b) && !isNameChar(peek()) && peek() != QLatin1Char('('))
                    return area(ixti, a, b);
                m_pos = colon; // a range operator with something else on its right
            }
            ByteWriter w(kTokenBytes);
            if (ixti >= 0) {
                w.u8(withClass(Ref3d, ClassValue));
                w.u16(static_cast<std::uint16_t>(ixti));
            } else {
                w.u8(withClass(Ref, ClassValue));
            }
            w.u16(static_cast<std::uint16_t>(a.row));
            w.u16(colWord(a));
            return refFrag(w);
        }
        if (columnOnly(first, &a) && peek() == QLatin1Char(':')) {
            ++m_pos;
            CellAddr b;
            if (!columnOnly(lexIdentifier(), &b))
                fail(QStringLiteral("bad column range"));
            a.row = 0;
            b.row = kMaxRows - 1;
            return area(ixti, a, b);
        }
        if (ixti >= 0 && !first.isEmpty() && !first.contains(QLatin1Char('$'))) {
            // Sheet1!Rate: a name of that sheet
            const int index = m_env ? m_env->nameIndex(first, m_lastSheet) : 0;
            if (index > 0) {
                ByteWriter w(kTokenBytes);
                w.u8(withClass(NameX, ClassRef));
                w.u16(static_cast<std::uint16_t>(ixti));
                w.u16(static_cast<std::uint16_t>(index));
                w.u16(0);
                return refFrag(w);
            }
        }
        m_pos = start;
        fail(QStringLiteral("'%1' is not a cell reference").arg(first));
    }

    static bool isNameChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('.'); }

    bool rowRange(int ixti, Frag* out)
    {
        if (ixti < 0 && m_kind == FormulaKind::Name)
            return false;
        int j = m_pos;
        if (j < m_text.size() && m_text.at(j) == QLatin1Char('$'))
            ++j;
        while (j < m_text.size() && isAsciiDigit(m_text.at(j)))
            ++j;
        if (j >= m_text.size() || m_text.at(j) != QLatin1Char(':'))
            return false;
        static const QRegularExpression re(QStringLiteral("(\\$?)([0-9]{1,7}):(\\$?)([0-9]{1,7})(?![0-9.A-Za-z])"));
        const auto m
            = re.match(m_text, m_pos, QRegularExpression::NormalMatch, QRegularExpression::AnchorAtOffsetMatchOption);
        if (!m.hasMatch())
            return false;
        CellAddr a, b;
        a.row = m.captured(2).toInt() - 1;
        b.row = m.captured(4).toInt() - 1;
        if (a.row < 0 || a.row >= kMaxRows || b.row < 0 || b.row >= kMaxRows)
            fail(QStringLiteral("row outside the sheet"));
        a.rowAbs = !m.captured(1).isEmpty();
        b.rowAbs = !m.captured(3).isEmpty();
        a.col = 0;
        b.col = kMaxCols - 1;
        m_pos += m.capturedLength(0);
        *out = area(ixti, a, b);
        return true;
    }

    static Frag refFrag(ByteWriter& w)
    {
        Frag f;
        f.code = w.take();
        f.refLike = true;
        return f;
    }

    static Frag area(int ixti, CellAddr a, CellAddr b)
    {
        normalise(&a, &b);
        ByteWriter w(kTokenBytes);
        if (ixti >= 0) {
            w.u8(withClass(Area3d, ClassValue));
            w.u16(static_cast<std::uint16_t>(ixti));
        } else {
            w.u8(withClass(Area, ClassValue));
        }
        w.u16(static_cast<std::uint16_t>(a.row));
        w.u16(static_cast<std::uint16_t>(b.row));
        w.u16(colWord(a));
        w.u16(colWord(b));
        return refFrag(w);
    }

    // "Sheet1" or the run of sheets "Sheet1:Sheet3".
    int sheetIndex(const QString& name)
    {
        if (!m_env)
            fail(QStringLiteral("a reference to sheet '%1' needs a workbook").arg(name));
        m_lastSheet = name;
        const qsizetype colon = name.startsWith(QLatin1Char('[')) ? -1 : name.indexOf(QLatin1Char(':'));
        int ixti = -1;
        if (colon > 0) {
            ixti = m_env->ixtiForSheetSpan(name.left(colon), name.mid(colon + 1));
            if (ixti < 0 || ixti > 0xFFFF)
                fail(QStringLiteral("there is no run of sheets '%1'").arg(name));
            return ixti;
        }
        ixti = m_env->ixtiForSheet(name);
        if (ixti < 0 || ixti > 0xFFFF)
            fail(QStringLiteral("there is no sheet '%1'").arg(name));
        return ixti;
    }

    Frag quotedSheetReference()
    {
        ++m_pos;
        QString name;
        for (;;) {
            if (atEnd())
                fail(QStringLiteral("sheet name without its closing quote"));
            const QChar c = m_text.at(m_pos++);
            if (c == QLatin1Char('\'')) {
                if (peek() == QLatin1Char('\'')) {
                    name.append(c);
                    ++m_pos;
                    continue;
                }
                break;
            }
            name.append(c);
        }
        if (peek() != QLatin1Char('!'))
            fail(QStringLiteral("'!' expected after the sheet name"));
        ++m_pos;
        return reference(sheetIndex(name));
    }

    // Another workbook's sheet: [Book1.xls]Sheet1!A1, a sheet the workbook already refers to.
    Frag otherBookReference()
    {
        const qsizetype close = m_text.indexOf(QLatin1Char(']'), m_pos);
        if (close < 0)
            fail(QStringLiteral("'[' without its ']'"));
        const QString book = m_text.mid(m_pos, close - m_pos + 1);
        m_pos = static_cast<int>(close) + 1;
        QString sheets = lexIdentifier();
        if (peek() == QLatin1Char(':')) {
            ++m_pos;
            sheets += QLatin1Char(':') + lexIdentifier();
        }
        if (sheets.isEmpty() || peek() != QLatin1Char('!'))
            fail(QStringLiteral("'!' expected after the sheet name"));
        ++m_pos;
        return reference(sheetIndex(book + sheets));
    }

    Frag identifier()
    {
        const int start = m_pos;
        const QString id = lexIdentifier();
        if (peek() == QLatin1Char('!')) {
            if (id.contains(QLatin1Char('$')))
                fail(QStringLiteral("bad sheet name '%1'").arg(id));
            ++m_pos;
            return reference(sheetIndex(id));
        }
        if (peek() == QLatin1Char(':') && !id.contains(QLatin1Char('$'))) {
            // Sheet1:Sheet3!A1
            const int colon = m_pos++;
            const QString last = lexIdentifier();
            if (!last.isEmpty() && peek() == QLatin1Char('!') && !last.contains(QLatin1Char('$'))) {
                ++m_pos;
                return reference(sheetIndex(id + QLatin1Char(':') + last));
            }
            m_pos = colon;
        }
        skipSpace();
        if (peek() == QLatin1Char('(') && !id.contains(QLatin1Char('$')))
            return function(id);
        m_pos = start;
        CellAddr probe;
        if (cellAddress(id, &probe))
            return reference(-1);
        if (columnOnly(id, &probe) && m_text.mid(start + id.size(), 1) == QLatin1String(":"))
            return reference(-1);
        const QString upper = id.toUpper();
        if (upper == QLatin1String("TRUE") || upper == QLatin1String("FALSE")) {
            m_pos += id.size();
            Frag f;
            f.code = {Bool, static_cast<std::uint8_t>(upper == QLatin1String("TRUE") ? 1 : 0)};
            return f;
        }
        const int index = m_env && !id.contains(QLatin1Char('$')) ? m_env->nameIndex(id, QString()) : 0;
        if (index > 0) {
            m_pos += id.size();
            ByteWriter w(kTokenBytes);
            w.u8(withClass(Name, ClassRef));
            w.u16(static_cast<std::uint16_t>(index));
            w.u16(0);
            return refFrag(w);
        }
        fail(QStringLiteral("unknown name '%1'").arg(id));
    }

    // {1,2;3,4}: numbers, text, TRUE/FALSE and errors; the values go to the extra bytes.
    Frag arrayConstant()
    {
        if (!m_extra)
            fail(QStringLiteral("array constants are not taken here"));
        ++m_pos; // '{'
        std::vector<std::vector<Value>> rows(1);
        for (;;) {
            skipSpace();
            Value v;
            const QChar c = peek();
            if (c == QLatin1Char('"')) {
                Frag s = string();
                ByteReader r(s.code.data() + 1, s.code.size() - 1);
                v = Value::string(r.shortXLUnicodeString());
            } else if (c == QLatin1Char('#')) {
                ErrorCode e;
                if (!matchError(&e))
                    fail(QStringLiteral("unknown error value"));
                v = Value::error(e);
            } else if (c.isLetter()) {
                const QString word = lexIdentifier().toUpper();
                if (word != QLatin1String("TRUE") && word != QLatin1String("FALSE"))
                    fail(QStringLiteral("an array constant holds only values"));
                v = Value::boolean(word == QLatin1String("TRUE"));
            } else {
                bool negative = false;
                if (c == QLatin1Char('-') || c == QLatin1Char('+')) {
                    negative = c == QLatin1Char('-');
                    ++m_pos;
                }
                if (!(peek().isDigit() || peek() == QLatin1Char('.')))
                    fail(QStringLiteral("an array constant holds only values"));
                Frag n = number();
                ByteReader r(n.code.data() + 1, n.code.size() - 1);
                const double d = n.code[0] == Int ? r.u16() : r.f64();
                v = Value::number(negative ? -d : d);
            }
            rows.back().push_back(v);
            skipSpace();
            if (accept(QLatin1Char(',')))
                continue;
            if (accept(QLatin1Char(';'))) {
                rows.emplace_back();
                continue;
            }
            if (accept(QLatin1Char('}')))
                break;
            fail(QStringLiteral("',', ';' or '}' expected in an array constant"));
        }
        const std::size_t cols = rows.front().size();
        for (const auto& r : rows)
            if (r.size() != cols)
                fail(QStringLiteral("the rows of an array constant differ in length"));
        if (cols > 256 || rows.size() > 65536)
            fail(QStringLiteral("the array constant is too large"));
        ByteWriter w(kTokenBytes);
        w.u8(static_cast<std::uint8_t>(cols - 1));
        w.u16(static_cast<std::uint16_t>(rows.size() - 1));
        for (const auto& r : rows) {
            for (const Value& v : r) {
                switch (v.type()) {
                case Value::Type::Number:
                    w.u8(0x01);
                    w.f64(v.asNumber());
                    break;
                case Value::Type::String:
                    w.u8(0x02);
                    w.xlUnicodeString(v.asString());
                    break;
                case Value::Type::Bool:
                    w.u8(0x04);
                    w.u8(v.asBool() ? 1 : 0);
                    w.zeros(7);
                    break;
                case Value::Type::Error:
                    w.u8(0x10);
                    w.u8(static_cast<std::uint8_t>(v.asError()));
                    w.zeros(7);
                    break;
                case Value::Type::Empty:
                    w.u8(0x00);
                    w.zeros(8);
                    break;
                }
            }
        }
        m_arrays.insert(m_arrays.end(), w.data().begin(), w.data().end());
        Frag f;
        f.code = {withClass(Array, ClassValue), 0, 0, 0, 0, 0, 0, 0};
        return f;
    }

    Frag function(const QString& name)
    {
        const FunctionInfo* info = functionByName(name);
        int addInIxti = -1, addInIndex = 0;
        if (!info) {
            const QString canonical = addInFunctionName(name);
            if (canonical.isEmpty() || !m_env || !m_env->addInFunction(canonical, &addInIxti, &addInIndex))
                fail(QStringLiteral("unknown function %1").arg(name.toUpper()));
        }
        const QString shown = info ? QLatin1String(info->name) : name.toUpper();
        accept(QLatin1Char('('));
        std::vector<Frag> args;
        skipSpace();
        if (peek() == QLatin1Char(')')) {
            ++m_pos;
        } else {
            for (;;) {
                skipSpace();
                if (peek() == QLatin1Char(',') || peek() == QLatin1Char(')')) {
                    Frag miss;
                    miss.code = {MissArg};
                    args.push_back(miss);
                } else {
                    args.push_back(comparison());
                }
                if (accept(QLatin1Char(',')))
                    continue;
                if (accept(QLatin1Char(')')))
                    break;
                fail(QStringLiteral("',' or ')' expected in %1").arg(shown));
            }
        }
        const int n = static_cast<int>(args.size());
        const int minArgs = info && info->minArgs >= 0 ? info->minArgs : 0;
        const int maxArgs = info && info->maxArgs >= 0 ? info->maxArgs : 29;
        if (n < minArgs || n > maxArgs) {
            if (minArgs == maxArgs)
                fail(QStringLiteral("%1 takes %2 argument(s), not %3").arg(shown).arg(minArgs).arg(n));
            fail(QStringLiteral("%1 takes %2 to %3 arguments, not %4").arg(shown).arg(minArgs).arg(maxArgs).arg(n));
        }
        m_calls = true;
        Frag out;
        if (!info) {
            // an add-in: its name first, then the arguments, then function 255
            ByteWriter w(kTokenBytes);
            if (addInIxti >= 0) {
                w.u8(withClass(NameX, ClassRef));
                w.u16(static_cast<std::uint16_t>(addInIxti));
                w.u16(static_cast<std::uint16_t>(addInIndex));
                w.u16(0);
            } else {
                w.u8(withClass(Name, ClassRef));
                w.u16(static_cast<std::uint16_t>(addInIndex));
                w.u16(0);
            }
            out.code = w.take();
        }
        for (const Frag& a : args)
            out.code.insert(out.code.end(), a.code.begin(), a.code.end());
        ByteWriter w(kTokenBytes);
        if (info && info->fixedCount()) {
            w.u8(withClass(Func, ClassValue));
        } else {
            w.u8(withClass(FuncVar, ClassValue));
            w.u8(static_cast<std::uint8_t>(info ? n : n + 1));
        }
        w.u16(static_cast<std::uint16_t>(info ? info->index : 255));
        out.code.insert(out.code.end(), w.data().begin(), w.data().end());
        out.refLike = info && info->returnClass == 'R';
        return out;
    }

    QString m_text;
    const FormulaEnv* m_env;
    Bytes* m_extra;
    FormulaKind m_kind;
    Bytes m_arrays;      // array constants' values, in order
    QString m_lastSheet; // the sheet a reference named last (for Sheet1!Name)
    bool m_calls = false;
    int m_pos = 0;
    int m_depth = 0;
};

} // namespace

Bytes parseFormula(const QString& text, const FormulaEnv* env, Bytes* extra, FormulaKind kind)
{
    return Parser(text, env, extra, kind).run();
}

} // namespace sheet
