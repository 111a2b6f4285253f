#include "biff/Bytes.h"

namespace sheet {

bool fitsLatin1(const QString& s)
{
    for (QChar c : s)
        if (c.unicode() > 0xFF)
            return false;
    return true;
}

void ByteWriter::unicodeChars(const QString& s, bool wide)
{
    for (QChar c : s) {
        if (wide)
            u16(c.unicode());
        else
            u8(static_cast<std::uint8_t>(c.unicode()));
    }
}

void ByteWriter::shortXLUnicodeString(const QString& s)
{
    if (s.size() > 255)
        throw Error(QStringLiteral("Text longer than 255 characters: %1").arg(s.left(40)));
    const bool wide = !fitsLatin1(s);
    u8(static_cast<std::uint8_t>(s.size()));
    u8(wide ? 1 : 0);
    unicodeChars(s, wide);
}

void ByteWriter::xlUnicodeString(const QString& s)
{
    if (s.size() > 0xFFFF)
        throw Error(QStringLiteral("Text longer than 65535 characters"));
    const bool wide = !fitsLatin1(s);
    u16(static_cast<std::uint16_t>(s.size()));
    u8(wide ? 1 : 0);
    unicodeChars(s, wide);
}

QString ByteReader::unicodeChars(std::size_t cch, bool wide)
{
    QString out;
    need(wide ? cch * 2 : cch);
    out.reserve(static_cast<int>(cch));
    for (std::size_t i = 0; i < cch; ++i)
        out.append(QChar(wide ? u16() : u8()));
    return out;
}

QString ByteReader::shortXLUnicodeString()
{
    const std::size_t cch = u8();
    const std::uint8_t flags = u8();
    return unicodeChars(cch, flags & 1);
}

QString ByteReader::xlUnicodeString()
{
    const std::size_t cch = u16();
    const std::uint8_t flags = u8();
    return unicodeChars(cch, flags & 1);
}

} // namespace sheet
