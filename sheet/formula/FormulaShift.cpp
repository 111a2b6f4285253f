#include "Formula.h"

#include "FormulaTokens.h"

namespace sheet {

namespace {

using namespace ptg;

void putU16(Bytes& b, std::size_t at, int v)
{
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>((v >> 8) & 0xFF);
}

// Moves one address by (dRow, dCol) where its flags say relative; false when it leaves the sheet.
bool moveAddress(Bytes& b, std::size_t rowAt, std::size_t colAt, int dRow, int dCol, bool moveRow, bool moveCol)
{
    const std::uint16_t w = readU16(b, colAt);
    int row = readU16(b, rowAt);
    int col = w & 0xFF;
    if (moveRow && (w & kRowRelative))
        row += dRow;
    if (moveCol && (w & kColRelative))
        col += dCol;
    if (row < 0 || row >= kMaxRows || col < 0 || col >= kMaxCols)
        return false;
    putU16(b, rowAt, row);
    putU16(b, colAt, (w & ~kColMask) | col);
    return true;
}

// Shifts an area given the offsets of rwFirst, rwLast, colFirst and colLast. Whole columns
// and whole rows stay whole.
bool moveArea(Bytes& b, std::size_t at, int dRow, int dCol)
{
    const bool allRows = readU16(b, at) == 0 && readU16(b, at + 2) == kMaxRows - 1;
    const bool allCols = (readU16(b, at + 4) & 0xFF) == 0 && (readU16(b, at + 6) & 0xFF) == kMaxCols - 1;
    Bytes probe = b;
    if (!moveAddress(probe, at, at + 4, dRow, dCol, !allRows, !allCols)
        || !moveAddress(probe, at + 2, at + 6, dRow, dCol, !allRows, !allCols))
        return false;
    std::copy(probe.begin() + at, probe.begin() + at + 8, b.begin() + at);
    return true;
}

} // namespace

Bytes shiftFormula(const Bytes& rgce, int dRow, int dCol)
{
    Bytes out = rgce;
    for (const Token& t : tokenize(rgce)) {
        const std::size_t p = t.payload;
        const std::uint8_t cls = t.id & 0x60;
        switch (t.base) {
        case Ref:
            if (!moveAddress(out, p, p + 2, dRow, dCol, true, true))
                out[t.pos] = withClass(RefErr, cls);
            break;
        case Area:
            if (!moveArea(out, p, dRow, dCol))
                out[t.pos] = withClass(AreaErr, cls);
            break;
        case Ref3d:
            if (!moveAddress(out, p + 2, p + 4, dRow, dCol, true, true))
                out[t.pos] = withClass(RefErr3d, cls);
            break;
        case Area3d:
            if (!moveArea(out, p + 2, dRow, dCol))
                out[t.pos] = withClass(AreaErr3d, cls);
            break;
        default: break;
        }
    }
    return out;
}

std::vector<FormulaRef> formulaReferences(const Bytes& rgce)
{
    std::vector<FormulaRef> refs;
    for (const Token& t : tokenize(rgce)) {
        const std::size_t p = t.payload;
        FormulaRef r;
        switch (t.base) {
        case Ref:
            r.firstRow = r.lastRow = readU16(rgce, p);
            r.firstCol = r.lastCol = readU16(rgce, p + 2) & 0xFF;
            break;
        case Area:
            r.firstRow = readU16(rgce, p);
            r.lastRow = readU16(rgce, p + 2);
            r.firstCol = readU16(rgce, p + 4) & 0xFF;
            r.lastCol = readU16(rgce, p + 6) & 0xFF;
            break;
        case Ref3d:
            r.ixti = readU16(rgce, p);
            r.firstRow = r.lastRow = readU16(rgce, p + 2);
            r.firstCol = r.lastCol = readU16(rgce, p + 4) & 0xFF;
            break;
        case Area3d:
            r.ixti = readU16(rgce, p);
            r.firstRow = readU16(rgce, p + 2);
            r.lastRow = readU16(rgce, p + 4);
            r.firstCol = readU16(rgce, p + 6) & 0xFF;
            r.lastCol = readU16(rgce, p + 8) & 0xFF;
            break;
        default: continue;
        }
        if (r.firstRow > r.lastRow)
            std::swap(r.firstRow, r.lastRow);
        if (r.firstCol > r.lastCol)
            std::swap(r.firstCol, r.lastCol);
        refs.push_back(r);
    }
    return refs;
}

std::vector<int> formulaNames(const Bytes& rgce)
{
    std::vector<int> names;
    for (const Token& t : tokenize(rgce))
        if (t.base == Name)
            names.push_back(readU16(rgce, t.payload));
    return names;
}

bool formulaIsVolatile(const Bytes& rgce)
{
    for (const Token& t : tokenize(rgce)) {
        if (t.base == Attr && (rgce[t.payload] & AttrVolatile))
            return true;
        if (t.base == Func || t.base == FuncVar) {
            const int index = readU16(rgce, t.payload + (t.base == FuncVar ? 1 : 0)) & 0x7FFF;
            const FunctionInfo* f = functionByIndex(index);
            if (f && (f->flags & kVolatile))
                return true;
        }
    }
    return false;
}

bool formulaCallsSubtotal(const Bytes& rgce)
{
    constexpr int kSubtotal = 344;
    for (std::size_t pos = 0; pos < rgce.size();) {
        const Token t = tokenAt(rgce, pos);
        pos += t.size;
        if ((t.base == Func || t.base == FuncVar)
            && (readU16(rgce, t.payload + (t.base == FuncVar ? 1 : 0)) & 0x7FFF) == kSubtotal)
            return true;
    }
    return false;
}

std::size_t arrayConstantsSize(const Bytes& rgce, const Bytes& extra)
{
    std::size_t pos = 0;
    for (const Token& t : tokenize(rgce)) {
        if (t.base != Array)
            continue;
        ByteReader r(extra.data() + pos, extra.size() - pos);
        const std::size_t count = static_cast<std::size_t>(r.u8() + 1) * static_cast<std::size_t>(r.u16() + 1);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint8_t type = r.u8();
            if (type == 0x02) {
                const std::size_t cch = r.u16();
                const bool wide = r.u8() & 1;
                r.skip(wide ? 2 * cch : cch);
            } else {
                r.skip(8);
            }
        }
        pos += r.pos();
    }
    return pos;
}

namespace {

// The cell that tokens made of one ptgTbl or ptgExp point at.
bool anchor(const Bytes& rgce, std::uint8_t token, int* row, int* col)
{
    if (rgce.size() != 5 || rgce[0] != token)
        return false;
    if (row)
        *row = readU16(rgce, 1);
    if (col)
        *col = readU16(rgce, 3);
    return true;
}

} // namespace

bool dataTableAnchor(const Bytes& rgce, int* row, int* col) { return anchor(rgce, Tbl, row, col); }

bool sharedFormulaAnchor(const Bytes& rgce, int* row, int* col) { return anchor(rgce, Exp, row, col); }

Bytes sharedFormulaForCell(const Bytes& sharedRgce, int row, int col)
{
    Bytes out = sharedRgce;
    for (const Token& t : tokenize(sharedRgce)) {
        const std::size_t p = t.payload;
        const std::uint8_t cls = t.id & 0x60;
        if (t.base == RefN) {
            int r, c;
            const std::uint16_t w = readU16(sharedRgce, p + 2);
            resolveRelative(readU16(sharedRgce, p), w, row, col, &r, &c);
            out[t.pos] = withClass(Ref, cls);
            putU16(out, p, r);
            putU16(out, p + 2, (w & ~kColMask) | c);
        } else if (t.base == AreaN) {
            int r1, c1, r2, c2;
            const std::uint16_t w1 = readU16(sharedRgce, p + 4), w2 = readU16(sharedRgce, p + 6);
            resolveRelative(readU16(sharedRgce, p), w1, row, col, &r1, &c1);
            resolveRelative(readU16(sharedRgce, p + 2), w2, row, col, &r2, &c2);
            out[t.pos] = withClass(Area, cls);
            putU16(out, p, r1);
            putU16(out, p + 2, r2);
            putU16(out, p + 4, (w1 & ~kColMask) | c1);
            putU16(out, p + 6, (w2 & ~kColMask) | c2);
        }
    }
    return out;
}

} // namespace sheet
