// What each part of a formula is computed as: a single value, a reference or an array. The
// parser writes it into the token classes as Excel does; the evaluator uses it to decide
// where a range is one value (implicit intersection) and where it is an array.
#include "FormulaTokens.h"

namespace sheet::ptg {

namespace {

bool isOperand(std::uint8_t b)
{
    switch (b) {
    case Exp:
    case Tbl:
    case MissArg:
    case Str:
    case Err:
    case Bool:
    case Int:
    case Num:
    case Array:
    case Name:
    case Ref:
    case Area:
    case RefErr:
    case AreaErr:
    case RefN:
    case AreaN:
    case NameX:
    case Ref3d:
    case Area3d:
    case RefErr3d:
    case AreaErr3d: return true;
    default: return false;
    }
}

// References and names: what their class says is what they are computed as.
bool isReferenceOperand(std::uint8_t b)
{
    switch (b) {
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
    case RefN:
    case AreaN: return true;
    default: return false;
    }
}

bool isValueOperator(std::uint8_t b) { return (b >= Add && b <= NE) || b == Uplus || b == Uminus || b == Percent; }

bool isReferenceOperator(std::uint8_t b) { return b == Isect || b == Union || b == Range; }

} // namespace

std::uint8_t tokenArity(const Bytes& rgce, const Token& t, bool* known)
{
    *known = true;
    if (isOperand(t.base))
        return 0;
    if (isReferenceOperator(t.base) || (t.base >= Add && t.base <= NE))
        return 2;
    if (t.base == Uplus || t.base == Uminus || t.base == Percent || t.base == Paren)
        return 1;
    if (t.base == Attr)
        return (rgce[t.payload] & AttrSum) ? 1 : 0;
    if (t.base == FuncVar)
        return rgce[t.payload];
    if (t.base == Func) {
        const FunctionInfo* f = functionByIndex(readU16(rgce, t.payload));
        if (!f || !f->fixedCount()) {
            *known = false;
            return 0;
        }
        return static_cast<std::uint8_t>(f->minArgs);
    }
    return 0; // memory tokens only describe what follows
}

bool producesValue(const Bytes& rgce, const Token& t)
{
    if (t.base == Attr)
        return (rgce[t.payload] & AttrSum) != 0;
    return t.base < MemArea || t.base > MemNoMemN;
}

namespace {

// A reference-shaped argument: a reference token, a name, a reference operator or a call of
// a function that returns a reference.
bool refLike(const Bytes& rgce, const std::vector<Token>& tokens, const std::vector<int>& kids,
             const std::vector<int>& firstKid, int i)
{
    for (;;) {
        const Token& t = tokens[static_cast<std::size_t>(i)];
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
        case RefN:
        case AreaN:
        case Isect:
        case Union:
        case Range: return true;
        case Paren: i = kids[static_cast<std::size_t>(firstKid[static_cast<std::size_t>(i)])]; continue;
        case Func:
        case FuncVar: {
            const int index = readU16(rgce, t.payload + (t.base == FuncVar ? 1 : 0)) & 0x7FFF;
            const FunctionInfo* f = functionByIndex(index);
            return f && f->returnClass == 'R';
        }
        default: return false;
        }
    }
}

} // namespace

namespace {

// The expression tree of postfix tokens: each token's arguments, in order.
struct Tree {
    std::vector<int> firstKid, kidCount, kids;
    int root = -1;

    int kid(int parent, int k) const
    {
        return kids[static_cast<std::size_t>(firstKid[static_cast<std::size_t>(parent)] + k)];
    }
    // False when the tokens do not form one expression.
    bool build(const Bytes& rgce, const std::vector<Token>& tokens)
    {
        const int n = static_cast<int>(tokens.size());
        firstKid.assign(static_cast<std::size_t>(n), 0);
        kidCount.assign(static_cast<std::size_t>(n), 0);
        kids.clear();
        kids.reserve(static_cast<std::size_t>(n));
        std::vector<int> stack;
        stack.reserve(16);
        for (int i = 0; i < n; ++i) {
            const Token& t = tokens[static_cast<std::size_t>(i)];
            bool known = true;
            const int arity = tokenArity(rgce, t, &known);
            if (!known || static_cast<int>(stack.size()) < arity)
                return false;
            if (!producesValue(rgce, t))
                continue;
            firstKid[static_cast<std::size_t>(i)] = static_cast<int>(kids.size());
            kidCount[static_cast<std::size_t>(i)] = arity;
            kids.insert(kids.end(), stack.end() - arity, stack.end());
            stack.resize(stack.size() - static_cast<std::size_t>(arity));
            stack.push_back(i);
        }
        if (stack.size() != 1)
            return false;
        root = stack.back();
        return true;
    }
};

} // namespace

namespace {

// The class a call is written with, given what its function returns and what its parent
// wants of it; `force` when its value arguments are computed as arrays.
std::uint8_t callClass(char ret, std::uint8_t want, bool forced, bool* force)
{
    *force = false;
    if (forced) {
        *force = ret == 'V';
        return ret == 'R' ? (want == WantR ? ClassRef : ClassArray) : ClassArray;
    }
    if ((ret == 'V' && want == WantV) || (ret == 'R' && want == WantR) || (ret == 'A' && want == WantA))
        return ret == 'V' ? ClassValue : ret == 'R' ? ClassRef : ClassArray;
    if (want == WantV)
        return ClassValue;
    if (want == WantA) {
        *force = ret == 'V';
        return ret == 'R' ? ClassRef : ClassArray;
    }
    return ret == 'A' ? ClassArray : ClassValue; // a reference is wanted from a function that gives none
}

} // namespace

bool classifyTokens(const Bytes& rgce, const std::vector<Token>& tokens, std::uint8_t rootWant,
                    std::vector<TokenClass>* out)
{
    const int n = static_cast<int>(tokens.size());
    Tree tree;
    if (!tree.build(rgce, tokens))
        return false;
    const std::vector<int>& firstKid = tree.firstKid;
    const std::vector<int>& kidCount = tree.kidCount;
    const std::vector<int>& kids = tree.kids;

    out->assign(static_cast<std::size_t>(n), TokenClass{});
    (*out)[static_cast<std::size_t>(tree.root)].want = rootWant;
    // Parents follow their arguments, so walking backwards reaches a parent first.
    for (int i = n - 1; i >= 0; --i) {
        const Token& t = tokens[static_cast<std::size_t>(i)];
        TokenClass& self = (*out)[static_cast<std::size_t>(i)];
        const int first = firstKid[static_cast<std::size_t>(i)];
        const int count = kidCount[static_cast<std::size_t>(i)];
        auto setKid = [&](int k, std::uint8_t want, bool force) {
            TokenClass& kid = (*out)[static_cast<std::size_t>(kids[static_cast<std::size_t>(first + k)])];
            kid.want = want;
            kid.force = force;
        };
        if (isReferenceOperand(t.base)) {
            self.cls = self.want == WantR ? ClassRef : (self.want == WantA || self.force ? ClassArray : ClassValue);
            continue;
        }
        switch (t.base) {
        case Paren: setKid(0, self.want, self.force); break;
        case Isect:
        case Union:
        case Range:
            for (int k = 0; k < count; ++k)
                setKid(k, WantR, false);
            break;
        case Attr: // SUM through tAttrSum
            if (count == 1)
                setKid(0, WantR, self.force);
            break;
        case Func:
        case FuncVar: {
            const int index = readU16(rgce, t.payload + (t.base == FuncVar ? 1 : 0)) & 0x7FFF;
            const FunctionInfo* f = functionByIndex(index);
            const char ret = f ? f->returnClass : 'V';
            bool force = false;
            const std::uint8_t cls = callClass(ret, self.want, self.force, &force);
            self.cls = cls;
            self.lifted = cls == ClassArray && ret == 'V';
            for (int k = 0; k < count; ++k) {
                // Add-in calls (255): the name, then value arguments.
                const char p = !f || index == 255 ? (k == 0 ? 'R' : 'V') : f->argClass(k);
                std::uint8_t kw = WantV;
                if (p == 'R')
                    kw = WantR;
                else if (p == 'A')
                    kw = WantA;
                else if (p == 'M')
                    kw = refLike(rgce, tokens, kids, firstKid, kids[static_cast<std::size_t>(first + k)]) ? WantR
                                                                                                          : WantA;
                setKid(k, kw, force);
            }
            break;
        }
        default:
            if (isValueOperator(t.base)) {
                const std::uint8_t kw = self.want == WantR ? std::uint8_t(WantV) : self.want;
                for (int k = 0; k < count; ++k)
                    setKid(k, kw, self.force);
            }
            break;
        }
    }
    return true;
}

bool isPositionFunction(int index)
{
    switch (index) {
    case 8:   // ROW
    case 9:   // COLUMN
    case 75:  // AREAS
    case 76:  // ROWS
    case 77:  // COLUMNS
    case 78:  // OFFSET
    case 105: // ISREF
    case 125: // CELL
        return true;
    default: return false;
    }
}

namespace {

enum class Use : std::uint8_t { Unused, Position, Read };

// CELL's info types that read the cell's value; the others read its position or format.
bool cellReadsValue(const Bytes& rgce, const Token& info)
{
    if (info.base != Str)
        return true;
    const std::size_t cch = rgce[info.payload];
    const bool wide = rgce[info.payload + 1] & 1;
    ByteReader r(rgce.data() + info.payload + 2, info.size - 3);
    const QString what = r.unicodeChars(cch, wide);
    return what.compare(QLatin1String("contents"), Qt::CaseInsensitive) == 0
        || what.compare(QLatin1String("type"), Qt::CaseInsensitive) == 0;
}

// How a function uses argument k when its own result is used as `self`.
Use argumentUse(const Bytes& rgce, const std::vector<Token>& tokens, const Tree& tree, int call, int index, int k,
                Use self)
{
    switch (index) {
    case 8:
    case 9:
    case 75:
    case 76:
    case 77:
    case 105: return Use::Position;
    case 78: return k == 0 ? Use::Position : Use::Read; // OFFSET: the cells it lands on are read as computed
    case 29: return k == 0 ? self : Use::Read;          // INDEX gives a part of its first argument
    case 1:
    case 100: return k == 0 ? Use::Read : self; // IF, CHOOSE give one of their other arguments
    case 125:
        if (k == 1 && !cellReadsValue(rgce, tokens[static_cast<std::size_t>(tree.kid(call, 0))]))
            return Use::Position;
        return Use::Read;
    default: return Use::Read;
    }
}

} // namespace

std::vector<char> readOperands(const Bytes& rgce, const std::vector<Token>& tokens, bool rootRead)
{
    const std::size_t n = tokens.size();
    Tree tree;
    if (!tree.build(rgce, tokens))
        return std::vector<char>(n, 1);
    std::vector<Use> use(n, Use::Unused);
    use[static_cast<std::size_t>(tree.root)] = rootRead ? Use::Read : Use::Position;
    // Parents follow their arguments, so walking backwards reaches a parent first.
    for (int i = static_cast<int>(n) - 1; i >= 0; --i) {
        const Token& t = tokens[static_cast<std::size_t>(i)];
        const Use self = use[static_cast<std::size_t>(i)];
        const int count = tree.kidCount[static_cast<std::size_t>(i)];
        for (int k = 0; k < count; ++k) {
            Use kidUse = Use::Read;
            if (t.base == Paren || t.base == Isect || t.base == Union || t.base == Range)
                kidUse = self; // a reference operator passes its operands' use on
            else if (t.base == Func || t.base == FuncVar)
                kidUse = argumentUse(rgce, tokens, tree, i,
                                     readU16(rgce, t.payload + (t.base == FuncVar ? 1 : 0)) & 0x7FFF, k, self);
            use[static_cast<std::size_t>(tree.kid(i, k))] = kidUse;
        }
    }
    std::vector<char> read(n, 1);
    for (std::size_t i = 0; i < n; ++i)
        read[i] = use[i] != Use::Position;
    return read;
}

} // namespace sheet::ptg
