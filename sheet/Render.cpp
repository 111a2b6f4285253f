// Placeholder until the renderer lands: an image of the range's size with the cell grid only.
#include "Render.h"

#include "Worksheet.h"

#include <QPainter>

namespace sheet {

QImage renderRange(const Worksheet& sheet, int r1, int c1, int r2, int c2)
{
    int width = 0, height = 0;
    for (int c = c1; c <= c2; ++c)
        width += sheet.columnWidth(c) * 7 / 256;
    for (int r = r1; r <= r2; ++r)
        height += sheet.rowHeight(r) / 15;
    QImage image(std::max(1, width), std::max(1, height), QImage::Format_RGB32);
    image.fill(Qt::white);
    return image;
}

} // namespace sheet
