// The tool's PNG canvas: what it encodes must decode (through libpng, which checks every
// chunk's CRC) to exactly the pixels drawn, whatever the row length and however little the
// pixels compress.
#include "PngWriter.h"

#include "base/Error.h"

#include <QPainter>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace {

QImage decoded(const QByteArray& png)
{
    QImage image;
    EXPECT_TRUE(png.startsWith("\x89PNG\r\n\x1a\n"));
    EXPECT_TRUE(image.loadFromData(png, "PNG"));
    return image.convertToFormat(QImage::Format_RGB32);
}

TEST(PngCanvas, DecodesToThePixelsDrawnAtAnyRowLength)
{
    for (const QSize size : {QSize(1, 1), QSize(2, 3), QSize(3, 1), QSize(5, 7), QSize(333, 45)}) {
        PngCanvas canvas(size);
        EXPECT_EQ(canvas.image().pixel(0, 0), qRgb(255, 255, 255)); // starts white
        QPainter p(&canvas.image());
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(QColor(200, 30, 60), 1.5));
        p.drawLine(QPointF(0, 0), QPointF(size.width(), size.height()));
        p.fillRect(QRect(size.width() / 2, 0, 1, size.height()), QColor(10, 120, 250));
        p.end();
        canvas.image().setPixel(size.width() - 1, size.height() - 1, qRgb(1, 2, 3)); // the last pixel
        const QImage drawn = canvas.image().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(decoded(canvas.encode()), drawn) << size.width() << "x" << size.height();
    }
}

TEST(PngCanvas, NoiseThatDoesNotCompressStillEncodes)
{
    // Random pixels deflate to more than the first guess of room for the stream, in many strips.
    PngCanvas canvas(QSize(640, 480));
    QRandomGenerator random(42);
    for (int y = 0; y < 480; ++y)
        for (int x = 0; x < 640; ++x)
            canvas.image().setPixel(x, y, random.generate() | 0xFF000000u);
    const QImage drawn = canvas.image().convertToFormat(QImage::Format_RGB32);
    const QByteArray png = canvas.encode();
    EXPECT_GT(png.size(), 640 * 480 * 3);
    EXPECT_EQ(decoded(png), drawn);
}

TEST(PngCanvas, RefusesAnEmptyPicture)
{
    EXPECT_THROW(PngCanvas(QSize(0, 10)), sheet::Error);
    EXPECT_THROW(PngCanvas(QSize(10, -1)), sheet::Error);
}

} // namespace
