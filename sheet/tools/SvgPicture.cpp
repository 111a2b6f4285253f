#include "SvgPicture.h"

#include <QSvgGenerator>

#include <type_traits>

extern "C" Q_DECL_EXPORT void sheetToolDrawSvg(QIODevice* out, const QSize* size,
                                               const std::function<void(QPainter&)>* draw)
{
    QSvgGenerator svg;
    svg.setOutputDevice(out);
    svg.setSize(*size);
    svg.setViewBox(QRect(QPoint(0, 0), *size));
    svg.setResolution(96);
    QPainter p(&svg);
    p.fillRect(QRect(QPoint(0, 0), *size), Qt::white);
    (*draw)(p);
    p.end();
}

static_assert(std::is_same_v<decltype(&sheetToolDrawSvg), SheetToolDrawSvg>,
              "the type sheet-tool-render resolves it as");
