#pragma once

#include "biff/Bytes.h"

#include <QString>
#include <cstdint>

namespace sheet {

// A FONT record. Font indices skip 4: index 0..3 are the first four records, index 5 the fifth.
struct Font {
    std::uint16_t height = 200;   // twips (1/20 pt)
    std::uint16_t flags = 0;      // 0x02 italic, 0x08 strike-out
    std::uint16_t color = 0x7FFF; // palette index, 0x7FFF automatic
    std::uint16_t weight = 400;   // 400 normal, 700 bold
    std::uint16_t script = 0;     // 1 superscript, 2 subscript
    std::uint8_t underline = 0;   // 1 single, 2 double
    std::uint8_t family = 0;
    std::uint8_t charset = 0;
    QString name = QStringLiteral("Arial");

    bool bold() const { return weight >= 700; }
    bool italic() const { return flags & 0x02; }
    bool strikeOut() const { return flags & 0x08; }
    double points() const { return height / 20.0; }

    Bytes encode() const;
    static Font decode(const Bytes& body);

    bool operator==(const Font& o) const;
    bool operator!=(const Font& o) const { return !(*this == o); }
};

} // namespace sheet
