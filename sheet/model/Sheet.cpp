#include "model/Sheet.h"

#include "biff/RecordIds.h"

namespace sheet {

Sheet::Sheet(Workbook* book, Kind kind, const QString& name)
    : m_book(book)
    , m_kind(kind)
    , m_name(name)
{
    m_bof = standardBof(kind == Kind::Chart ? rid::kBofChart : rid::kBofWorksheet);
    m_boundType = kind == Kind::Chart ? 2 : 0;
}

Sheet::~Sheet() = default;

Bytes standardBof(std::uint16_t substreamType)
{
    ByteWriter w;
    w.u16(0x0600); // BIFF8
    w.u16(substreamType);
    w.u16(0x0DBB);     // build
    w.u16(0x07CC);     // year
    w.u32(0x00000049); // file history: saved on Windows (fWin, fWinAny) and bit 6, as Excel sets them
    w.u32(0x00000006); // lowest version that can read it
    return w.take();
}

} // namespace sheet
