#pragma once

#include "base/SheetLimits.h"
#include "base/Value.h"
#include "biff/Bytes.h"

#include <QString>
#include <vector>

namespace sheet {

// What the text of a formula refers to beyond its own sheet's cells: other sheets (through
// EXTERNSHEET indices), defined names and add-in functions. Without one, such a formula is
// an error.
struct FormulaEnv {
    virtual ~FormulaEnv();
    // -1 when the workbook has no such sheet.
    virtual int ixtiForSheet(const QString& sheetName) const = 0;
    // Empty when the index is unknown; the text then shows #REF!. A run of sheets reads
    // "Sheet1:Sheet3".
    virtual QString sheetForIxti(int ixti) const = 0;
    // The index for a run of sheets (Sheet1:Sheet3!A1); -1 when there is none.
    virtual int ixtiForSheetSpan(const QString& first, const QString& last) const;
    // The 1-based NAME index a name has where the formula is: with `sheet` empty, the
    // formula's own sheet's name first, then the workbook's; else the name of that sheet.
    // 0 when there is none.
    virtual int nameIndex(const QString& name, const QString& sheet) const;
    // How a NAME index reads in a formula ("Total", "Sheet2!Rate"); empty when unknown.
    virtual QString nameText(int index) const;
    // An external name (ptgNameX): an add-in function, another sheet's name; empty when unknown.
    virtual QString externNameText(int ixti, int index) const;
    // The external name a formula calls an add-in function through, added when needed;
    // false when the workbook cannot call it.
    virtual bool addInFunction(const QString& name, int* ixti, int* index) const;
};

// Where a formula stands: in a cell, over an array (Ctrl+Shift+Enter) range, or as the
// definition of a name. It decides the token classes the parser writes.
enum class FormulaKind { Cell, Array, Name };

// A1-style formula text, with or without the leading "=", to BIFF8 tokens (rgce, postfix).
// Array constants ({1,2;3,4}) go to `extra` (rgcb); without it they are refused.
// Throws Error with a readable message for text that is not a formula.
Bytes parseFormula(const QString& text, const FormulaEnv* env = nullptr, Bytes* extra = nullptr,
                   FormulaKind kind = FormulaKind::Cell);

// Tokens back to text, WITHOUT the leading "=" (callers that show a cell's formula prepend it).
// Accepts what real files contain (ptgAttr, ptgMissArg, names, 3-D and error references,
// array constants given their `extra` bytes). Malformed or unknown tokens throw FormatError;
// it never reads past the end of rgce.
QString formulaText(const Bytes& rgce, const FormulaEnv* env = nullptr, const Bytes& extra = Bytes());

// A defined name or external name as the evaluator needs it.
struct NameDefinition {
    QString name; // as written; add-in functions by their canonical name ("BIN2DEC")
    Bytes rgce;   // empty: the name has no definition (#NAME?)
    Bytes extra;
    bool function = false; // a function name (add-in, macro, later Excel versions')
    bool constant = false; // stands for `value` (a database field inside a criteria formula)
    Value value;
    // stands for these cells (another workbook's name, its sheets by the numbers the
    // environment gives them)
    bool reference = false;
    int sheet = -1, lastSheet = -1, firstRow = 0, lastRow = 0, firstCol = 0, lastCol = 0;
};

// The cells a formula reads. Sheet -1 is the formula's own sheet; other sheet numbers are
// what externSheets gives. Rows and columns 0-based.
struct EvalEnv {
    virtual ~EvalEnv();
    virtual Value cellValue(int sheet, int row, int col) const = 0;
    // Optional: the last used row and column of a sheet, so whole-column ranges such as A:A
    // are not walked cell by cell. The default is the whole sheet.
    virtual void usedExtent(int sheet, int* lastRow, int* lastCol) const;
    // Optional: the cell that holds the formula (0-based). With it a range used as a single
    // value reads the cell in the formula's own row or column (=B6:B31*2 in row 10 reads B10)
    // and ROW() and COLUMN() work; without it those give #VALUE!.
    virtual bool formulaCell(int* row, int* col) const;
    // The sheets an EXTERNSHEET index covers (Sheet1:Sheet3 covers several); false when
    // they are gone (#REF!). The default: each index is a sheet of its own.
    virtual bool externSheets(int ixti, int* first, int* last) const;
    // A sheet by name (INDIRECT); false when there is none.
    virtual bool sheetByName(const QString& name, int* sheet) const;
    // A sheet's name (CELL, ADDRESS-like texts); empty when unknown.
    virtual QString sheetName(int sheet) const;
    // Defined names by their 1-based NAME index, external names by EXTERNSHEET index and
    // position; false when unknown (#NAME?).
    virtual bool definedName(int index, NameDefinition* out) const;
    virtual bool externName(int ixti, int index, NameDefinition* out) const;
    // Optional: whether a cell holds a formula that calls SUBTOTAL, and whether a row is
    // hidden: SUBTOTAL leaves such cells out of its ranges (hidden rows for its kinds 101 to
    // 111). The default: none is.
    virtual bool isSubtotalCell(int sheet, int row, int col) const;
    virtual bool isHiddenRow(int sheet, int row) const;
    // Optional: the formula a cell holds (a database function computes a criteria range's
    // formulas for each record); false for cells without one, the default.
    virtual bool cellFormula(int sheet, int row, int col, Bytes* rgce, Bytes* extra) const;
};

// Whether a formula calls SUBTOTAL.
bool formulaCallsSubtotal(const Bytes& rgce);

// Evaluates tokens with the spreadsheet's semantics: an empty cell counts 0 in arithmetic
// and "" in text; text in arithmetic is #VALUE! unless it reads as a number; booleans count
// 1 and 0; errors propagate, leftmost first; aggregates skip text, booleans and blanks in
// ranges; NaN and infinite results are #NUM!; text results over 32767 characters #VALUE!.
// A range used as one value is the cell in the formula's row or column; inside arguments
// that take arrays (SUMPRODUCT, INDEX's first, ...) operators work element by element.
// A shared or array formula's stub (ptgExp) and a data table cell (ptgTbl) are computed by
// the workbook, not here: alone they give #N/A. Names the environment does not know are
// #NAME?. Malformed tokens throw FormatError; a call of a function the engine does not
// compute (macro-sheet functions, Visual Basic, a few rare ones) throws Error, so that a
// workbook can keep the result its file came with.
Value evaluateFormula(const Bytes& rgce, const EvalEnv& env, const Bytes& extra = Bytes());

// An array formula over a range of rows x cols cells: the value of each cell, row by row.
// A result smaller than the range fills the rest with #N/A; a single row or column repeats.
std::vector<Value> evaluateArrayFormula(const Bytes& rgce, const EvalEnv& env, int rows, int cols,
                                        const Bytes& extra = Bytes());

// The formula as it reads after copying it dRow rows and dCol columns away: relative parts
// move, absolute ones stay; a reference pushed off the sheet becomes #REF!.
Bytes shiftFormula(const Bytes& rgce, int dRow, int dCol);

// A rectangle of cells a formula refers to (for dependency tracking). Rows and columns
// 0-based and inclusive; ixti -1 for the formula's own sheet.
struct FormulaRef {
    int ixti = -1;
    int firstRow = 0;
    int lastRow = 0;
    int firstCol = 0;
    int lastCol = 0;
};
std::vector<FormulaRef> formulaReferences(const Bytes& rgce);
// The defined names (1-based NAME indices) a formula uses directly.
std::vector<int> formulaNames(const Bytes& rgce);
// True when the formula calls a function whose result changes without its inputs changing
// (NOW, TODAY, RAND, ...).
bool formulaIsVolatile(const Bytes& rgce);

// How many bytes of `extra` the array constants of rgce take (records that carry more data
// after them need it); FormatError when they are cut short.
std::size_t arrayConstantsSize(const Bytes& rgce, const Bytes& extra);

// Formulas of a SHRFMLA (or ARRAY) group: a cell's FORMULA record then holds only ptgExp
// pointing at the group's anchor cell. Returns true and the anchor when rgce is such a stub.
bool sharedFormulaAnchor(const Bytes& rgce, int* row, int* col);
// A data table's cell (ptgTbl): true and the table's anchor, the first cell of its results.
bool dataTableAnchor(const Bytes& rgce, int* row, int* col);

// The shared tokens (ptgRefN/ptgAreaN hold offsets) as an ordinary formula of cell (row, col).
Bytes sharedFormulaForCell(const Bytes& sharedRgce, int row, int col);

} // namespace sheet
