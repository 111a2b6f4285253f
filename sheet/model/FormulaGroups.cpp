#include "model/FormulaGroups.h"

#include "biff/RecordIds.h"

namespace sheet {

namespace {

// The body of the first record of kind `id` among a cell's trailing records, CONTINUE joined.
bool trailingBody(const Cell& c, std::uint16_t id, Bytes* out)
{
    for (std::size_t i = 0; i < c.trailing.size(); ++i) {
        if (c.trailing[i].id != id)
            continue;
        *out = c.trailing[i].data;
        for (std::size_t k = i + 1; k < c.trailing.size() && c.trailing[k].id == rid::kContinue; ++k)
            out->insert(out->end(), c.trailing[k].data.begin(), c.trailing[k].data.end());
        return true;
    }
    return false;
}

CellRange rangeOf(ByteReader& r)
{
    CellRange range;
    range.firstRow = r.u16();
    range.lastRow = r.u16();
    range.firstCol = r.u8();
    range.lastCol = r.u8();
    return range;
}

} // namespace

bool arrayGroupOf(const Cell& anchor, ArrayGroup* out)
{
    Bytes body;
    if (!trailingBody(anchor, rid::kArray, &body))
        return false;
    try {
        ByteReader r(body);
        out->range = rangeOf(r);
        r.skip(6); // grbit, chn
        const std::size_t cce = r.u16();
        out->rgce = r.bytes(cce);
        out->extra = r.bytes(r.remaining());
    } catch (const FormatError&) {
        return false;
    }
    return out->range.firstRow <= out->range.lastRow && out->range.firstCol <= out->range.lastCol;
}

Record arrayRecord(const CellRange& range, const Bytes& rgce, const Bytes& extra)
{
    ByteWriter w;
    w.u16(static_cast<std::uint16_t>(range.firstRow));
    w.u16(static_cast<std::uint16_t>(range.lastRow));
    w.u8(static_cast<std::uint8_t>(range.firstCol));
    w.u8(static_cast<std::uint8_t>(range.lastCol));
    w.u16(0x0001); // always calculate
    w.u32(0);
    w.u16(static_cast<std::uint16_t>(rgce.size()));
    w.bytes(rgce);
    w.bytes(extra);
    return Record{rid::kArray, w.take()};
}

bool dataTableOf(const Cell& anchor, DataTable* out)
{
    Bytes body;
    if (!trailingBody(anchor, rid::kTable, &body))
        return false;
    try {
        ByteReader r(body);
        out->range = rangeOf(r);
        const std::uint16_t flags = r.u16();
        out->rowInput = flags & 0x0004;
        out->twoInputs = flags & 0x0008;
        out->rowInputRow = r.u16();
        out->rowInputCol = r.u16();
        out->colInputRow = r.u16();
        out->colInputCol = r.u16();
    } catch (const FormatError&) {
        return false;
    }
    const CellRange& g = out->range;
    // the formulas and input values stand in the row above and the column left of it
    return g.firstRow >= 1 && g.firstCol >= 1 && g.firstRow <= g.lastRow && g.firstCol <= g.lastCol
        && g.lastCol < kMaxCols && out->rowInputCol < kMaxCols && out->colInputCol < kMaxCols;
}

} // namespace sheet
