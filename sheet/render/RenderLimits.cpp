#include "render/RenderLimits.h"

#include "base/Error.h"

namespace sheet {

void checkPictureSize(qint64 width, qint64 height, const QString& what)
{
    if (width <= 0 || height <= 0)
        throw Error(QStringLiteral("%1 has no area to draw (%2 x %3 pixels)").arg(what).arg(width).arg(height));
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > kMaxPicturePixels)
        throw Error(QStringLiteral("%1 would be a picture of %2 x %3 pixels; pictures are limited to %4 pixels "
                                   "on a side and %5 megapixels, so draw a smaller part")
                        .arg(what)
                        .arg(width)
                        .arg(height)
                        .arg(kMaxPictureSide)
                        .arg(kMaxPicturePixels / 1'000'000));
}

} // namespace sheet
