#include "PngWriter.h"

#include "model/Error.h"

#include <libdeflate.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void putU32(QByteArray& out, std::uint32_t v)
{
    const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                       static_cast<char>(v)};
    out.append(b, 4);
}

// A chunk: length, type, data, CRC of type and data.
void putChunk(QByteArray& out, const char type[4], const std::uint8_t* data, std::size_t size)
{
    putU32(out, static_cast<std::uint32_t>(size));
    const qsizetype typeAt = out.size();
    out.append(type, 4);
    out.append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::uint32_t crc = libdeflate_crc32(0, out.constData() + typeAt, size + 4);
    putU32(out, crc);
}

} // namespace

QByteArray encodePngFast(const QImage& source)
{
    if (source.isNull())
        throw sheet::Error(QStringLiteral("There is no picture to encode"));
    // Qt's own converters (vectorised) turn the pixels into PNG's byte order.
    const bool alpha = source.hasAlphaChannel();
    const QImage image = source.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width()) * (alpha ? 4 : 3);
    const std::size_t height = static_cast<std::size_t>(image.height());
    const std::size_t width = static_cast<std::size_t>(image.width());

    // The rows as PNG filters them: a filter byte (0, none), then the pixels.
    const std::size_t stride = 1 + rowBytes;
    std::vector<std::uint8_t> raw(stride * height);
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* o = raw.data() + y * stride;
        *o = 0;
        std::memcpy(o + 1, image.constScanLine(static_cast<int>(y)), rowBytes);
    }

    const std::unique_ptr<libdeflate_compressor, void (*)(libdeflate_compressor*)> compressor(
        libdeflate_alloc_compressor(1), libdeflate_free_compressor);
    if (!compressor)
        throw sheet::Error(QStringLiteral("The picture could not be encoded: out of memory"));
    std::vector<std::uint8_t> packed(libdeflate_zlib_compress_bound(compressor.get(), raw.size()));
    const std::size_t packedSize =
        libdeflate_zlib_compress(compressor.get(), raw.data(), raw.size(), packed.data(), packed.size());
    if (packedSize == 0)
        throw sheet::Error(QStringLiteral("The picture could not be encoded as PNG"));

    QByteArray out;
    out.reserve(static_cast<qsizetype>(packedSize + 64));
    out.append("\x89PNG\r\n\x1a\n", 8);
    std::uint8_t header[13];
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<std::uint8_t>(width >> (24 - 8 * i));
        header[4 + i] = static_cast<std::uint8_t>(height >> (24 - 8 * i));
    }
    header[8] = 8;                // bits per channel
    header[9] = alpha ? 6 : 2;    // RGBA or RGB
    header[10] = 0;               // deflate
    header[11] = 0;               // adaptive filtering (every row says "none")
    header[12] = 0;               // not interlaced
    putChunk(out, "IHDR", header, sizeof header);
    // IDAT chunks hold at most 2^31 - 1 bytes; pictures within the renderers' bounds stay far
    // below, yet long data is split the way the format allows.
    constexpr std::size_t kChunk = std::size_t(1) << 30;
    for (std::size_t at = 0; at < packedSize; at += kChunk)
        putChunk(out, "IDAT", packed.data() + at, std::min(kChunk, packedSize - at));
    putChunk(out, "IEND", nullptr, 0);
    return out;
}
