#pragma once

#include <QIODevice>
#include <QPainter>
#include <QSize>

#include <functional>

// sheet-tool writes SVG through Qt's SVG library, which it loads only for that: named among
// the render program's libraries it slowed the start of every PNG. The module
// sheet-tool-svg.so, beside the program, exports this function.
#define SHEET_TOOL_SVG_MODULE "sheet-tool-svg.so"
#define SHEET_TOOL_SVG_FUNCTION "sheetToolDrawSvg"

// Draws a white picture of `size` (96-dpi pixels) with `draw` as SVG into `out`.
using SheetToolDrawSvg = void (*)(QIODevice* out, const QSize* size, const std::function<void(QPainter&)>* draw);
