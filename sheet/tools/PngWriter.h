#pragma once

#include <QByteArray>
#include <QImage>

// PNG bytes of an image, made for speed: libdeflate's fastest level and no row filters. On
// pictures of sheets and charts (mostly flat colour) that is smaller than Qt's default PNG
// in a fraction of the time. Transparent images keep their alpha channel. Throws
// sheet::Error when the image cannot be encoded.
QByteArray encodePngFast(const QImage& image);
