#pragma once

// The evaluator's stack machine and what function implementations see of it. Internal to
// the formula layer: EvalCore.cpp runs formulas, Fn*.cpp compute the functions.

#include "EvalTypes.h"
#include "FormulaTokens.h"

#include <QHash>
#include <QStringList>

#include <array>
#include <cmath>

namespace sheet::eval {

class Evaluator;

// A function the engine does not compute: the workbook keeps the value the file came with.
class NotComputed : public Error {
public:
    using Error::Error;
};

// One call of a function: its arguments and the ways a function reads them.
struct Call {
    Evaluator& ev;
    std::vector<Item>& args;
    int index = -1;          // built-in function number; -1 for add-ins
    bool wantsArray = false; // the call stands where an array is wanted (ROW(A1:A3) gives one)

    int size() const { return static_cast<int>(args.size()); }
    // The argument is there and not left empty (f(1,,2)).
    bool has(int i) const { return i < size() && args[static_cast<std::size_t>(i)].kind != Item::Kind::Missing; }
    const Item& arg(int i) const { return args[static_cast<std::size_t>(i)]; }
    // The single value an argument stands for: a range gives the cell in the formula's row
    // or column, an array its first element; an absent argument is empty.
    Value value(int i) const;
    // Conversions for value arguments; they return an error value, or an empty one on
    // success. Absent and empty arguments give `fallback`.
    Value number(int i, double* out, double fallback = 0) const;
    Value integer(int i, double* out, double fallback = 0) const; // truncated towards zero
    Value text(int i, QString* out) const;
    Value boolean(int i, bool* out, bool fallback = false) const;

    // Reads several arguments in order and stops at the first that fails; its error value,
    // or an empty one when all were read: c.read(numArg(0, &x), boolArg(3, &cumulative)).
    // A reader is one of the *Arg below or any callable taking the call and giving a Value.
    template <typename... Readers> Value read(const Readers&... readers) const
    {
        Value e;
        (void)((e = readers(*this)).isEmpty() && ...);
        return e;
    }
};

// What Call::read reads: the argument's index, where the result goes and the value of an
// absent or empty argument.
struct NumArg {
    int i;
    double* out;
    double fallback = 0;
    Value operator()(const Call& c) const { return c.number(i, out, fallback); }
};
struct IntArg {
    int i;
    double* out;
    double fallback = 0;
    Value operator()(const Call& c) const { return c.integer(i, out, fallback); }
};
struct TextArg {
    int i;
    QString* out;
    Value operator()(const Call& c) const { return c.text(i, out); }
};
struct BoolArg {
    int i;
    bool* out;
    bool fallback = false;
    Value operator()(const Call& c) const { return c.boolean(i, out, fallback); }
};
inline NumArg numArg(int i, double* out, double fallback = 0) { return {i, out, fallback}; }
inline IntArg intArg(int i, double* out, double fallback = 0) { return {i, out, fallback}; }
inline TextArg textArg(int i, QString* out) { return {i, out}; }
inline BoolArg boolArg(int i, bool* out, bool fallback = false) { return {i, out, fallback}; }

using Fn = Item (*)(Call&);

// Functions by built-in number and add-ins by canonical name (Functions.cpp).
Fn builtinFunction(int index);
Fn addInFunction(const QString& name);

// Registration from each family's file, by name: a built-in function of the file format
// (SUM) is found by its number, any other (an add-in's, a later Excel's) by its name. A name
// that is neither, or registered twice, is a mistake in the code: the registration throws.
class Registry {
public:
    static constexpr int kBuiltins = 400;
    void add(const char* name, Fn f);
    Fn builtin(int index) const
    {
        return index >= 0 && index < kBuiltins ? m_builtin[static_cast<std::size_t>(index)] : nullptr;
    }
    Fn addIn(const QString& name) const { return m_addIns.value(name); }
    int builtinCount() const;
    QStringList names() const;

private:
    std::array<Fn, kBuiltins> m_builtin = {};
    QHash<QString, Fn> m_addIns;
};
const Registry& functionRegistry();
void registerMathFunctions(Registry& r);
void registerStatFunctions(Registry& r);
void registerTextFunctions(Registry& r);
void registerDateFunctions(Registry& r);
void registerLookupFunctions(Registry& r);
void registerInfoFunctions(Registry& r);
void registerFinanceFunctions(Registry& r);
void registerDatabaseFunctions(Registry& r);
void registerEngineeringFunctions(Registry& r);

// Memory for the evaluator's stack inside the evaluator itself: most formulas never need
// more, and a formula is evaluated too often for a heap allocation each time. Larger stacks
// go to the heap as usual.
class StackArena {
public:
    static constexpr std::size_t kSize = 1024;
    void* allocate(std::size_t bytes)
    {
        bytes = (bytes + 15) & ~std::size_t(15);
        if (static_cast<std::size_t>(m_buffer + kSize - m_next) >= bytes) {
            void* p = m_next;
            m_next += bytes;
            return p;
        }
        return ::operator new(bytes);
    }
    void deallocate(void* p, std::size_t bytes)
    {
        bytes = (bytes + 15) & ~std::size_t(15);
        char* c = static_cast<char*>(p);
        if (c >= m_buffer && c < m_buffer + kSize) {
            if (c + bytes == m_next)
                m_next = c; // the last block given out comes back
            return;
        }
        ::operator delete(p);
    }

private:
    alignas(16) char m_buffer[kSize];
    char* m_next = m_buffer;
};

template <typename T> struct ArenaAllocator {
    using value_type = T;
    StackArena* arena;
    explicit ArenaAllocator(StackArena* a)
        : arena(a)
    {
    }
    template <typename U>
    ArenaAllocator(const ArenaAllocator<U>& o)
        : arena(o.arena)
    {
    }
    T* allocate(std::size_t n) { return static_cast<T*>(arena->allocate(n * sizeof(T))); }
    void deallocate(T* p, std::size_t n) { arena->deallocate(p, n * sizeof(T)); }
    template <typename U> bool operator==(const ArenaAllocator<U>& o) const { return arena == o.arena; }
    template <typename U> bool operator!=(const ArenaAllocator<U>& o) const { return arena != o.arena; }
};

class Evaluator {
public:
    Evaluator(const EvalEnv& env, bool arrayMode, int depth = 0)
        : m_env(env)
        , m_arrayMode(arrayMode)
        , m_depth(depth)
        , m_stack(ArenaAllocator<Item>(&m_arena))
    {
    }
    Evaluator(const Evaluator&) = delete;
    Evaluator& operator=(const Evaluator&) = delete;

    // Runs the tokens; the item they leave (a reference stays a reference).
    Item evaluate(const Bytes& rgce, const Bytes& extra, std::uint8_t rootWant);

    const EvalEnv& env() const { return m_env; }
    bool arrayMode() const { return m_arrayMode; }
    int depth() const { return m_depth; }

    // A cell; NaN and infinities in a file read as #NUM!.
    Value cell(int sheet, int row, int col) const
    {
        Value v = m_env.cellValue(sheet, row, col);
        if (v.isNumber() && !std::isfinite(v.asNumber()))
            return Value::error(ErrorCode::Num);
        return v;
    }
    bool ownCell(int* row, int* col) const { return m_env.formulaCell(row, col); }
    // The last row and column worth reading of an area (within its sheet's used part).
    void usedEnd(const Area& a, int* lastRow, int* lastCol) const;

    // The single value an item stands for where one value is wanted.
    Value scalar(const Item& it) const;
    // A range used as one value: the cell in the formula's row or column, else #VALUE!.
    Value intersection(const Area& a) const;
    // The values of an item as rows and columns (a reference's cells, a value alone 1x1);
    // an error value in *error when it cannot be one (several sheets or areas, too large).
    MatrixPtr matrix(const Item& it, Value* error) const;

    // Calls f(value, fromRange) for each value an argument gives: the cells of a reference
    // (only its used part; blanks beyond it are not visited), the elements of an array
    // (fromRange true) or the value itself (fromRange false). Stops when f returns false.
    template <typename F> bool forEach(const Item& it, F f) const
    {
        switch (it.kind) {
        case Item::Kind::Val: return f(it.v, false);
        case Item::Kind::Missing: return f(Value(), false);
        case Item::Kind::Function: return f(Value::error(ErrorCode::Name), false);
        case Item::Kind::Array:
            for (const Value& v : it.array->cells)
                if (!f(v, true))
                    return false;
            return true;
        case Item::Kind::Ref: return forEachCell(it.ref, f);
        case Item::Kind::Refs:
            for (const Area& a : it.array->areas)
                if (!forEachCell(a, f))
                    return false;
            return true;
        }
        return true;
    }

    template <typename F> bool forEachCell(const Area& a, F f) const
    {
        for (int s = a.sheet; s <= a.lastSheet; ++s) {
            Area one = a;
            one.sheet = one.lastSheet = s;
            int lastRow, lastCol;
            usedEnd(one, &lastRow, &lastCol);
            for (int r = a.r1; r <= lastRow; ++r)
                for (int c = a.c1; c <= lastCol; ++c)
                    if (!f(cell(s, r, c), true))
                        return false;
        }
        return true;
    }

    // Calls a defined name's or add-in's tokens in this evaluator's context.
    Item evaluateName(const NameDefinition& def, std::uint8_t want) const;

private:
    void run(const Bytes& rgce, const Bytes& extra, std::uint8_t rootWant);
    void token(const ptg::Token& t, const ptg::TokenClass* tc);
    void referenceToken(const ptg::Token& t);
    void placeAddress(std::uint16_t rw, std::uint16_t colWord, bool offsets, int* row, int* col) const;
    Item pop();
    void push(Item i) { m_stack.push_back(std::move(i)); }
    void binaryOp(std::uint8_t op, bool elementwise);
    void unaryOp(std::uint8_t op, bool elementwise);
    void referenceOp(std::uint8_t op);
    void sameSheet(Area* a, Area* b) const;
    void call(int index, int argc, const ptg::TokenClass* tc, std::uint8_t cls = ptg::ClassValue);
    Item callLifted(Fn fn, const ptg::FunctionInfo* info, int index, std::vector<Item>& args);
    static bool arrayForValue(const ptg::FunctionInfo* info, const std::vector<Item>& args);
    void intersectRanges(Item& it) const;
    Item nameItem(int index, const ptg::TokenClass* tc);
    Item externNameItem(int ixti, int index, const ptg::TokenClass* tc);
    Item arrayConstant();
    bool area(int ixti, int r1, int r2, int c1, int c2, Area* out) const;

    const EvalEnv& m_env;
    bool m_arrayMode;
    int m_depth;
    bool m_inName = false;
    StackArena m_arena;
    std::vector<Item, ArenaAllocator<Item>> m_stack;
    const Bytes* m_rgce = nullptr;
    const Bytes* m_extra = nullptr;
    std::size_t m_extraPos = 0;
};

// Scalar arithmetic shared by operators and functions.
Value arithmetic(std::uint8_t op, const Value& a, const Value& b);
Value comparison(std::uint8_t op, const Value& a, const Value& b);
Value concatenation(const Value& a, const Value& b);

} // namespace sheet::eval
