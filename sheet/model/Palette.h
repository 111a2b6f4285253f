#pragma once

#include <QColor>

#include <cstdint>

namespace sheet {

// The default BIFF8 colour palette (indices 8..63), plus the fixed and system indices:
// 0..7 the eight basic colours, 0x40 / 0x7FFF window text (black), 0x41 window background.
QColor defaultPaletteColor(int index);
std::uint32_t defaultPaletteRgb(int index); // 0x00RRGGBB of indices 0..63, black past them
QColor rgbColor(std::uint32_t rgb);         // 0x00RRGGBB

} // namespace sheet
