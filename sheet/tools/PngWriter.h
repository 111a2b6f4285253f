#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

#include <cstdint>
#include <memory>

// An opaque RGB picture kept in memory as a PNG stream holds its rows: each row one filter
// byte (0, none) and then its pixels, red, green, blue. A QPainter draws into image(), and
// encode() compresses the rows as they lie, with no conversion or copy of the pixels: ISA-L's
// fast deflate, which on flat-coloured pictures of sheets and charts is several times faster
// than the fastest zlib or libdeflate level for a slightly larger file.
class PngCanvas {
public:
    // A white picture; throws sheet::Error when the memory cannot be had.
    explicit PngCanvas(const QSize& size);
    ~PngCanvas();
    PngCanvas(const PngCanvas&) = delete;
    PngCanvas& operator=(const PngCanvas&) = delete;

    // Format_RGB888 over the rows. Draw, then end the painter before encode().
    QImage& image() { return m_image; }

    // The PNG file's bytes. Throws sheet::Error when the picture cannot be encoded.
    QByteArray encode() const;

private:
    std::unique_ptr<std::uint8_t[]> m_rows;
    std::size_t m_rowBytes = 0; // filter byte included
    QSize m_size;
    QImage m_image;
};
