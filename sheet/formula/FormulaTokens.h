#pragma once

// Token layout shared by the formula parser, printer, evaluator and shifter. Internal.

#include "base/CellNames.h"
#include "base/Value.h"
#include "biff/Bytes.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace sheet::ptg {

// Base token ids. Operand tokens (0x20 and up) come in three classes; `base()` folds the
// value (0x40) and array (0x60) forms onto the reference form (0x20).
enum : std::uint8_t {
    Exp = 0x01,
    Tbl = 0x02,
    Add = 0x03,
    Sub = 0x04,
    Mul = 0x05,
    Div = 0x06,
    Power = 0x07,
    Concat = 0x08,
    LT = 0x09,
    LE = 0x0A,
    EQ = 0x0B,
    GE = 0x0C,
    GT = 0x0D,
    NE = 0x0E,
    Isect = 0x0F,
    Union = 0x10,
    Range = 0x11,
    Uplus = 0x12,
    Uminus = 0x13,
    Percent = 0x14,
    Paren = 0x15,
    MissArg = 0x16,
    Str = 0x17,
    Attr = 0x19,
    Err = 0x1C,
    Bool = 0x1D,
    Int = 0x1E,
    Num = 0x1F,
    Array = 0x20,
    Func = 0x21,
    FuncVar = 0x22,
    Name = 0x23,
    Ref = 0x24,
    Area = 0x25,
    MemArea = 0x26,
    MemErr = 0x27,
    MemNoMem = 0x28,
    MemFunc = 0x29,
    RefErr = 0x2A,
    AreaErr = 0x2B,
    RefN = 0x2C,
    AreaN = 0x2D,
    MemAreaN = 0x2E,
    MemNoMemN = 0x2F,
    NameX = 0x39,
    Ref3d = 0x3A,
    Area3d = 0x3B,
    RefErr3d = 0x3C,
    AreaErr3d = 0x3D,
};

// Class bits of operand tokens.
enum : std::uint8_t { ClassRef = 0x20, ClassValue = 0x40, ClassArray = 0x60 };

// ptgAttr kinds.
enum : std::uint8_t {
    AttrVolatile = 0x01,
    AttrIf = 0x02,
    AttrChoose = 0x04,
    AttrGoto = 0x08,
    AttrSum = 0x10,
    AttrBaxcel = 0x20,
    AttrSpace = 0x40,
};

// Relative flags in the column word of a cell address.
constexpr std::uint16_t kColRelative = 0x4000;
constexpr std::uint16_t kRowRelative = 0x8000;
constexpr std::uint16_t kColMask = 0x3FFF;

inline std::uint8_t base(std::uint8_t id) { return id < 0x20 ? id : std::uint8_t((id & 0x1F) | 0x20); }
inline std::uint8_t withClass(std::uint8_t id, std::uint8_t cls) { return std::uint8_t((id & 0x1F) | cls); }

// One token of an rgce: its id and where its payload lies (after the id byte). Plain data
// (no initializers), so a buffer of them costs nothing to set up.
struct Token {
    std::uint8_t id;
    std::uint8_t base;
    std::uint32_t pos;     // offset of the id byte
    std::uint32_t payload; // offset of the first payload byte
    std::uint32_t size;    // whole token, id byte included
};

// Decodes the token starting at pos (< rgce.size()); truncated or unknown tokens throw
// FormatError.
Token tokenAt(const Bytes& rgce, std::size_t pos);

// Splits rgce into tokens.
std::vector<Token> tokenize(const Bytes& rgce);

// Function table of the BIFF8 built-in functions (FunctionTable.cpp).
enum : int { kVolatile = 1, kMacroOnly = 2 };
struct FunctionInfo {
    const char* name;
    int index;
    int minArgs;      // -1: a macro-sheet function whose arguments are not known
    int maxArgs;      // equal to minArgs: fixed-count ptgFunc; else ptgFuncVar
    char returnClass; // 'V' value, 'R' reference, 'A' array
    // Class of each argument: 'V' value, 'R' reference, 'A' array, 'M' reference or array
    // (an expression there is computed as an array); the last letter repeats.
    const char* argClasses;
    int flags;
    char argClass(int i) const;
    bool fixedCount() const { return minArgs >= 0 && minArgs == maxArgs; }
};
const FunctionInfo* functionByName(const QString& name);
const FunctionInfo* functionByIndex(int index);
// Add-in functions (Analysis ToolPak) and later Excel versions' functions ("_xlfn." names)
// that a BIFF8 file calls through an external name; the canonical spelling, or empty.
QString addInFunctionName(const QString& name);

// What each token of a formula is computed as (TokenClasses.cpp). `want` is what its parent
// takes from it; `force` marks arguments of a function computed element by element; `cls` is
// the class a reference, name or function token is written with; `lifted` marks a value
// function called on arrays element by element.
enum : std::uint8_t { WantV = 0, WantR = 1, WantA = 2 };
struct TokenClass {
    std::uint8_t want = WantV;
    bool force = false;
    std::uint8_t cls = ClassValue;
    bool lifted = false;
};
// Operands a token takes off the stack; `known` false for a fixed-count call of a function
// whose argument count is not known.
std::uint8_t tokenArity(const Bytes& rgce, const Token& t, bool* known);
// False for tokens that leave the stack alone (memory tokens, jumps, spaces).
bool producesValue(const Bytes& rgce, const Token& t);
// `rootWant`: WantV for a cell formula, WantA for an array formula, WantR for a name. False
// when the tokens do not form one expression.
bool classifyTokens(const Bytes& rgce, const std::vector<Token>& tokens, std::uint8_t rootWant,
                    std::vector<TokenClass>* out);

// Which operands of a formula have their cells read and which only give a position (ROW(A1),
// OFFSET's first argument, CELL("address",A1)): one flag per token, false for an operand only
// used as a position. `rootRead` false when the formula's result itself is used as a position
// (a name inside ROW()). All true when the tokens do not form one expression.
std::vector<char> readOperands(const Bytes& rgce, const std::vector<Token>& tokens, bool rootRead);
// Functions that may take a reference for its position only (ROW, OFFSET, CELL, ...): a
// formula that calls none reads every operand, and readOperands need not be asked.
bool isPositionFunction(int index);

// One value of an array constant in the extra bytes (rgcb); error codes it does not know
// read as #N/A. Throws FormatError on an unknown value type.
Value constantValue(ByteReader& r);

QString quoteSheetName(const QString& name); // adds quotes when the name needs them
// A reference's sheet part as a formula shows it: "Sheet1", "'My Sheet'", "Sheet1:Sheet3",
// "[Book1.xls]Sheet1", quoted as a whole when any part needs it.
QString sheetReferenceText(const QString& name);

} // namespace sheet::ptg

namespace sheet::ptg {

// A ptgRefN/ptgAreaN address (offsets where the flags say relative) as the address it
// names from cell (baseRow, baseCol); BIFF8 keeps row offsets in 16 bits and column
// offsets in the low 8 bits, both wrapping around the sheet.
inline void resolveRelative(std::uint16_t rw, std::uint16_t colWord, int baseRow, int baseCol, int* row, int* col)
{
    if (colWord & kRowRelative)
        *row = (baseRow + static_cast<std::int16_t>(rw)) & 0xFFFF;
    else
        *row = rw;
    if (colWord & kColRelative)
        *col = (baseCol + static_cast<std::int8_t>(colWord & 0xFF)) & 0xFF;
    else
        *col = colWord & 0xFF;
}

inline std::uint16_t readU16(const Bytes& b, std::size_t at) { return std::uint16_t(b[at] | (b[at + 1] << 8)); }

} // namespace sheet::ptg
