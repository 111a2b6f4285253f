#pragma once

#include "biff/Bytes.h"
#include "model/Value.h"

#include <QString>
#include <vector>

namespace sheet {

// Resolves sheet names of 3-D references (Data!$B$6, 'Weight Chart'!A1) to EXTERNSHEET
// indices and back. Without one, a 3-D reference is an error.
struct FormulaEnv {
    virtual ~FormulaEnv();
    // -1 when the workbook has no such sheet.
    virtual int ixtiForSheet(const QString& sheetName) const = 0;
    // Empty when the index is unknown; the text then shows #REF!.
    virtual QString sheetForIxti(int ixti) const = 0;
};

// A1-style formula text, with or without the leading "=", to BIFF8 tokens (rgce, postfix).
// Throws Error with a readable message for text that is not a formula.
Bytes parseFormula(const QString& text, const FormulaEnv* env = nullptr);

// Tokens back to text, WITHOUT the leading "=" (callers that show a cell's formula prepend it).
// Accepts what real files contain (ptgAttr, ptgMissArg, names, 3-D and error references).
// Malformed or unknown tokens throw FormatError; it never reads past the end of rgce.
QString formulaText(const Bytes& rgce, const FormulaEnv* env = nullptr);

// The cells a formula reads. ixti -1 is the formula's own sheet; rows and columns 0-based.
struct EvalEnv {
    virtual ~EvalEnv();
    virtual Value cellValue(int ixti, int row, int col) const = 0;
    // Optional: the last used row and column of a sheet, so whole-column ranges such as A:A
    // are not walked cell by cell. The default is the whole sheet.
    virtual void usedExtent(int ixti, int* lastRow, int* lastCol) const;
    // Optional: the cell that holds the formula (0-based). With it a range used as a single
    // value reads the cell in the formula's own row or column (=B6:B31*2 in row 10 reads B10)
    // and ROW() and COLUMN() work; without it those give #VALUE!.
    virtual bool formulaCell(int* row, int* col) const;
};

// Evaluates tokens with the spreadsheet's semantics: an empty cell counts 0 in arithmetic
// and "" in text; text in arithmetic is #VALUE! unless it reads as a number; booleans count
// 1 and 0; errors propagate, leftmost first; aggregates skip text, booleans and blanks in
// ranges; NaN and infinite results are #NUM!; text results over 32767 characters #VALUE!.
// Computed functions: SUM AVERAGE MIN MAX COUNT COUNTA COUNTBLANK PRODUCT MEDIAN STDEV(P)
// VAR(P) IF CHOOSE AND OR NOT TRUE FALSE NA PI ABS INT TRUNC ROUND ROUNDUP ROUNDDOWN MOD
// POWER SQRT EXP LN LOG LOG10 SIGN EVEN ODD FLOOR CEILING FACT SIN COS TAN ASIN ACOS ATAN
// ATAN2 RADIANS DEGREES IS* ERROR.TYPE ROW COLUMN ROWS COLUMNS LEN LEFT RIGHT MID UPPER
// LOWER TRIM PROPER CONCATENATE REPT EXACT FIND SEARCH SUBSTITUTE REPLACE CHAR CODE T N
// VALUE TEXT DATE TIME YEAR MONTH DAY WEEKDAY HOUR MINUTE SECOND TODAY NOW DATEVALUE
// TIMEVALUE COUNTIF SUMIF VLOOKUP HLOOKUP MATCH INDEX SUMPRODUCT SMALL LARGE RANK; any
// other function and defined names give #NAME?, shared-formula stubs (ptgExp) #N/A.
// Never throws for a well-formed token stream; malformed tokens throw FormatError.
Value evaluateFormula(const Bytes& rgce, const EvalEnv& env);

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

// Formulas of a SHRFMLA (or ARRAY) group: a cell's FORMULA record then holds only ptgExp
// pointing at the group's anchor cell. Returns true and the anchor when rgce is such a stub.
bool sharedFormulaAnchor(const Bytes& rgce, int* row, int* col);

// The shared tokens (ptgRefN/ptgAreaN hold offsets) as an ordinary formula of cell (row, col).
Bytes sharedFormulaForCell(const Bytes& sharedRgce, int row, int col);

// Limits of a BIFF8 sheet.
constexpr int kMaxRows = 65536;
constexpr int kMaxCols = 256;

} // namespace sheet
