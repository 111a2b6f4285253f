#include "PngWriter.h"

#include "model/Error.h"

#include <png.h>

#include <csetjmp>
#include <vector>

namespace {

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<QByteArray*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}

void noFlush(png_structp) { }

} // namespace

QByteArray encodePngFast(const QImage& source)
{
    if (source.isNull())
        throw sheet::Error(QStringLiteral("There is no picture to encode"));
    const QImage image = source.format() == QImage::Format_RGB32 || source.format() == QImage::Format_ARGB32
        ? source
        : source.convertToFormat(QImage::Format_ARGB32);
    const bool alpha = image.hasAlphaChannel();
    const int channels = alpha ? 4 : 3;

    QByteArray out;
    out.reserve(image.width() * image.height() / 16 + 1024);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        throw sheet::Error(QStringLiteral("The picture could not be encoded: out of memory"));
    png_infop info = png_create_info_struct(png);
    std::vector<png_byte> row(static_cast<std::size_t>(image.width()) * channels);
    // libpng reports its errors by jumping back here; nothing with a destructor is made
    // between setjmp and the jump.
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw sheet::Error(QStringLiteral("The picture could not be encoded as PNG"));
    }
    png_set_write_fn(png, &out, appendBytes, noFlush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()), static_cast<png_uint_32>(image.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, 0, PNG_FILTER_NONE);
    png_set_compression_level(png, 1);
    png_write_info(png, info);
    for (int y = 0; y < image.height(); ++y) {
        const QRgb* in = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        png_byte* o = row.data();
        for (int x = 0; x < image.width(); ++x) {
            *o++ = static_cast<png_byte>(qRed(in[x]));
            *o++ = static_cast<png_byte>(qGreen(in[x]));
            *o++ = static_cast<png_byte>(qBlue(in[x]));
            if (alpha)
                *o++ = static_cast<png_byte>(qAlpha(in[x]));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}
