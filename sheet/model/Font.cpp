#include "model/Font.h"

namespace sheet {

Bytes Font::encode() const
{
    ByteWriter w;
    w.u16(height);
    w.u16(flags);
    w.u16(color);
    w.u16(weight);
    w.u16(script);
    w.u8(underline);
    w.u8(family);
    w.u8(charset);
    w.u8(0);
    w.shortXLUnicodeString(name);
    return w.take();
}

Font Font::decode(const Bytes& body)
{
    ByteReader r(body);
    Font f;
    f.height = r.u16();
    f.flags = r.u16();
    f.color = r.u16();
    f.weight = r.u16();
    f.script = r.u16();
    f.underline = r.u8();
    f.family = r.u8();
    f.charset = r.u8();
    r.skip(1);
    f.name = r.shortXLUnicodeString();
    return f;
}

bool Font::operator==(const Font& o) const
{
    return height == o.height && flags == o.flags && color == o.color && weight == o.weight && script == o.script
        && underline == o.underline && family == o.family && charset == o.charset && name == o.name;
}

} // namespace sheet
