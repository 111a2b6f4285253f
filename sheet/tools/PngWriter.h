#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

// An opaque picture to draw and save as PNG, made for speed: encode() turns the drawn rows
// into PNG's (a filter byte, none, then red, green, blue) a strip at a time and deflates them
// with ISA-L's fastest level, which on flat-coloured pictures of sheets and charts is several
// times faster than zlib's or libdeflate's fastest for a slightly larger file.
class PngCanvas {
public:
    // A white picture; throws sheet::Error for an empty size or when there is no memory for it.
    explicit PngCanvas(const QSize& size);

    // Format_RGB32, as the raster engine draws fastest and as the program's own pictures are.
    // End the painter before encode().
    QImage& image() { return m_image; }

    // The PNG file's bytes. Throws sheet::Error when the picture cannot be encoded.
    QByteArray encode() const;

private:
    QImage m_image;
};
