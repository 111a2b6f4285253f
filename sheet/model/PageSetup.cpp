#include "model/PageSetup.h"

#include <cstring>

namespace sheet {

void PageSetup::setPaper(std::uint16_t size, bool inLandscape, std::uint16_t dpi)
{
    paper = size;
    flags &= ~(NoPrinterSettings | NoOrientation | Portrait);
    if (!inLandscape)
        flags |= Portrait;
    horizontalDpi = dpi;
    verticalDpi = dpi;
}

Bytes PageSetup::encode() const
{
    ByteWriter w(kSize);
    w.u16(paper);
    w.u16(scale);
    w.i16(firstPageNumber);
    w.u16(fitWidth);
    w.u16(fitHeight);
    w.u16(flags);
    w.u16(horizontalDpi);
    w.u16(verticalDpi);
    w.f64(headerMargin);
    w.f64(footerMargin);
    w.u16(copies);
    return w.take();
}

PageSetup PageSetup::decode(const Bytes& body)
{
    if (body.size() != kSize)
        throw FormatError(QStringLiteral("SETUP record of %1 bytes, not %2").arg(body.size()).arg(kSize));
    ByteReader r(body);
    PageSetup s;
    s.paper = r.u16();
    s.scale = r.u16();
    s.firstPageNumber = static_cast<std::int16_t>(r.u16());
    s.fitWidth = r.u16();
    s.fitHeight = r.u16();
    s.flags = r.u16();
    s.horizontalDpi = r.u16();
    s.verticalDpi = r.u16();
    s.headerMargin = r.f64();
    s.footerMargin = r.f64();
    s.copies = r.u16();
    return s;
}

bool PageSetup::operator==(const PageSetup& o) const
{
    // Margins compare as stored, bit for bit: a record read and written again is the same.
    return paper == o.paper && scale == o.scale && firstPageNumber == o.firstPageNumber && fitWidth == o.fitWidth
        && fitHeight == o.fitHeight && flags == o.flags && horizontalDpi == o.horizontalDpi
        && verticalDpi == o.verticalDpi && std::memcmp(&headerMargin, &o.headerMargin, sizeof(double)) == 0
        && std::memcmp(&footerMargin, &o.footerMargin, sizeof(double)) == 0 && copies == o.copies
        && fitToPages == o.fitToPages;
}

} // namespace sheet
