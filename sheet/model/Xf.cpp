#include "model/Xf.h"

namespace sheet {

namespace {
// "Attribute used" bits of a cell XF: it differs from its parent in these groups.
constexpr std::uint16_t kUsedFormat = 0x0400;
constexpr std::uint16_t kUsedFont = 0x0800;
constexpr std::uint16_t kUsedBorder = 0x2000;
constexpr std::uint16_t kUsedFill = 0x4000;
} // namespace

void Xf::setSolidFill(int color)
{
    border3 = (border3 & 0x03FFFFFFu) | (1u << 26);
    fillColors = static_cast<std::uint16_t>((color & 0x7F) | (0x41 << 7));
    if (!isStyle())
        indent |= kUsedFill;
}

void Xf::setBorders(int style, int color)
{
    const std::uint16_t s = style & 0x0F;
    border1 = static_cast<std::uint16_t>(s | (s << 4) | (s << 8) | (s << 12));
    const std::uint16_t c = color & 0x7F;
    border2 = static_cast<std::uint16_t>((border2 & 0xC000) | c | (c << 7));
    border3 = (border3 & ~0x3FFFu) | c | (static_cast<std::uint32_t>(c) << 7);
    if (!isStyle())
        indent |= kUsedBorder;
}

Bytes Xf::encode() const
{
    ByteWriter w;
    w.u16(font);
    w.u16(format);
    w.u16(type);
    w.u8(alignment);
    w.u8(rotation);
    w.u16(indent);
    w.u16(border1);
    w.u16(border2);
    w.u32(border3);
    w.u16(fillColors);
    return w.take();
}

Xf Xf::decode(const Bytes& body)
{
    ByteReader r(body);
    Xf x;
    x.font = r.u16();
    x.format = r.u16();
    x.type = r.u16();
    x.alignment = r.u8();
    x.rotation = r.u8();
    x.indent = r.u16();
    x.border1 = r.u16();
    x.border2 = r.u16();
    x.border3 = r.u32();
    x.fillColors = r.u16();
    return x;
}

bool Xf::operator==(const Xf& o) const
{
    return font == o.font && format == o.format && type == o.type && alignment == o.alignment && rotation == o.rotation
        && indent == o.indent && border1 == o.border1 && border2 == o.border2 && border3 == o.border3
        && fillColors == o.fillColors;
}

Xf cellXf(std::uint16_t font, std::uint16_t format)
{
    Xf x;
    x.font = font;
    x.format = format;
    x.type = 0x0001;
    if (font != 0)
        x.indent |= kUsedFont;
    if (format != 0)
        x.indent |= kUsedFormat;
    return x;
}

} // namespace sheet
