#pragma once

namespace sheet {

// Limits of a BIFF8 sheet.
constexpr int kMaxRows = 65536;
constexpr int kMaxCols = 256;

} // namespace sheet
