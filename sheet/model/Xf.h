#pragma once

#include "biff/Bytes.h"

#include <cstdint>

namespace sheet {

// An XF record (cell or style format): 20 bytes, kept field by field so that a record read
// from a file is written back bit for bit.
struct Xf {
    enum HAlign : std::uint8_t {
        General = 0,
        Left = 1,
        Center = 2,
        Right = 3,
        Fill = 4,
        Justify = 5,
        CenterAcross = 6
    };
    enum VAlign : std::uint8_t { Top = 0, VCenter = 1, Bottom = 2, VJustify = 3 };

    std::uint16_t font = 0;        // font index (with the index-4 gap)
    std::uint16_t format = 0;      // number format index
    std::uint16_t type = 0x0001;   // bit 0 locked, bit 2 style XF, bits 4..15 parent XF
    std::uint8_t alignment = 0x20; // bits 0-2 horizontal, bit 3 wrap, bits 4-6 vertical
    std::uint8_t rotation = 0;
    std::uint16_t indent = 0;          // indent, shrink, merge, reading order, "attribute used" bits 10-15
    std::uint16_t border1 = 0;         // left, right, top, bottom line styles (4 bits each)
    std::uint16_t border2 = 0;         // left and right colours, diagonal flags
    std::uint32_t border3 = 0;         // top, bottom, diagonal colours, diagonal style, fill pattern
    std::uint16_t fillColors = 0x20C0; // pattern foreground (bits 0-6) and background (7-13)

    bool isStyle() const { return type & 0x0004; }
    int horizontalAlignment() const { return alignment & 0x07; }
    bool wrapText() const { return alignment & 0x08; }
    int verticalAlignment() const { return (alignment >> 4) & 0x07; }
    int leftBorder() const { return border1 & 0x0F; }
    int rightBorder() const { return (border1 >> 4) & 0x0F; }
    int topBorder() const { return (border1 >> 8) & 0x0F; }
    int bottomBorder() const { return (border1 >> 12) & 0x0F; }
    int leftBorderColor() const { return border2 & 0x7F; }
    int rightBorderColor() const { return (border2 >> 7) & 0x7F; }
    int topBorderColor() const { return border3 & 0x7F; }
    int bottomBorderColor() const { return (border3 >> 7) & 0x7F; }
    int fillPattern() const { return static_cast<int>(border3 >> 26); } // 0 none, 1 solid
    int fillForeground() const { return fillColors & 0x7F; }
    int fillBackground() const { return (fillColors >> 7) & 0x7F; }

    void setHorizontalAlignment(int a) { alignment = static_cast<std::uint8_t>((alignment & ~0x07) | (a & 0x07)); }
    void setVerticalAlignment(int a) { alignment = static_cast<std::uint8_t>((alignment & ~0x70) | ((a & 0x07) << 4)); }
    void setWrapText(bool on) { alignment = static_cast<std::uint8_t>(on ? alignment | 0x08 : alignment & ~0x08); }
    // Solid fill in a palette colour.
    void setSolidFill(int color);
    // Same line style (1 thin, 2 medium, 5 thick...) and colour on all four sides.
    void setBorders(int style, int color = 8);

    Bytes encode() const;
    static Xf decode(const Bytes& body);

    bool operator==(const Xf& o) const;
    bool operator!=(const Xf& o) const { return !(*this == o); }
};

// XF of a cell format that uses the parent style XF 0 ("Normal") with the given font and format.
Xf cellXf(std::uint16_t font, std::uint16_t format);

} // namespace sheet
