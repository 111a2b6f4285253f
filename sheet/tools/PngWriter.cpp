#include "PngWriter.h"

#include "base/Error.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#define PNG_WRITER_SSSE3 1
#endif

namespace {

void putU32(QByteArray& out, std::uint32_t v)
{
    const char b[4]
        = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
    out.append(b, 4);
}

// A chunk: length, type, data, CRC of type and data.
void putChunk(QByteArray& out, const char type[4], const char* data, std::size_t size)
{
    putU32(out, static_cast<std::uint32_t>(size));
    const qsizetype typeAt = out.size();
    out.append(type, 4);
    out.append(data, static_cast<qsizetype>(size));
    putU32(out, crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(out.constData() + typeAt), size + 4));
}

// Pixels 0xAARRGGBB to the bytes R, G, B.
void toRgbPlain(const std::uint32_t* in, std::uint8_t* out, int count)
{
    for (int i = 0; i < count; ++i, out += 3) {
        const std::uint32_t v = in[i];
        out[0] = static_cast<std::uint8_t>(v >> 16);
        out[1] = static_cast<std::uint8_t>(v >> 8);
        out[2] = static_cast<std::uint8_t>(v);
    }
}

#ifdef PNG_WRITER_SSSE3
// Four pixels a step: one byte shuffle, 12 of the 16 bytes stored count. The last pixels go
// the plain way, so nothing is written past the row.
__attribute__((target("ssse3"))) void toRgbSsse3(const std::uint32_t* in, std::uint8_t* out, int count)
{
    const __m128i order = _mm_setr_epi8(2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, -1, -1, -1, -1);
    int i = 0;
    for (; i + 6 <= count; i += 4, out += 12)
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                         _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in + i)), order));
    toRgbPlain(in + i, out, count - i);
}
#endif

using RowConverter = void (*)(const std::uint32_t*, std::uint8_t*, int);

RowConverter rowConverter()
{
#ifdef PNG_WRITER_SSSE3
    if (__builtin_cpu_supports("ssse3"))
        return toRgbSsse3;
#endif
    return toRgbPlain;
}

std::unique_ptr<std::uint8_t[]> allocate(std::size_t bytes)
{
    // Uninitialised: pages a buffer never touches cost nothing.
    std::unique_ptr<std::uint8_t[]> p(new (std::nothrow) std::uint8_t[bytes]);
    if (!p)
        throw sheet::Error(QStringLiteral("There is not enough memory to encode the picture"));
    return p;
}

} // namespace

PngCanvas::PngCanvas(const QSize& size)
{
    if (size.isEmpty())
        throw sheet::Error(QStringLiteral("There is no picture to draw"));
    m_image = QImage(size, QImage::Format_RGB32);
    if (m_image.isNull())
        throw sheet::Error(QStringLiteral("There is not enough memory for a picture of %1x%2 pixels")
                               .arg(size.width())
                               .arg(size.height()));
    m_image.fill(Qt::white);
}

QByteArray PngCanvas::encode() const
{
    const QImage image
        = m_image.format() == QImage::Format_RGB32 ? m_image : m_image.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();
    const std::size_t rowBytes = 1 + 3 * static_cast<std::size_t>(width);
    // Strips of about 128 KB: the converted rows stay in the cache for the compressor.
    const int stripRows = static_cast<int>(std::clamp<std::size_t>((std::size_t(1) << 17) / rowBytes, 1, height));
    const auto strip = allocate(rowBytes * static_cast<std::size_t>(stripRows));
    const auto level = allocate(ISAL_DEF_LVL1_DEFAULT);
    const RowConverter convert = rowConverter();

    isal_zstream stream;
    isal_deflate_init(&stream);
    stream.level = 1;
    stream.level_buf = level.get();
    stream.level_buf_size = ISAL_DEF_LVL1_DEFAULT;
    stream.gzip_flag = IGZIP_ZLIB;
    stream.flush = NO_FLUSH;

    // The zlib stream, grown as it needs; it rarely takes a tenth of the rows.
    QByteArray packed;
    packed.resize(static_cast<qsizetype>(
        std::min<std::size_t>(rowBytes * static_cast<std::size_t>(height) / 8 + 4096, std::size_t(1) << 30)));
    std::size_t written = 0;
    auto deflateSome = [&] {
        if (written == static_cast<std::size_t>(packed.size())) {
            if (packed.size() >= (qsizetype(1) << 30))
                throw sheet::Error(QStringLiteral("The picture is too large to encode as PNG"));
            packed.resize(packed.size() * 2);
        }
        stream.next_out = reinterpret_cast<std::uint8_t*>(packed.data()) + written;
        stream.avail_out = static_cast<std::uint32_t>(static_cast<std::size_t>(packed.size()) - written);
        if (isal_deflate(&stream) != COMP_OK)
            throw sheet::Error(QStringLiteral("The picture could not be encoded as PNG"));
        written = stream.total_out;
    };
    for (int y0 = 0; y0 < height; y0 += stripRows) {
        const int rows = std::min(stripRows, height - y0);
        for (int r = 0; r < rows; ++r) {
            std::uint8_t* row = strip.get() + static_cast<std::size_t>(r) * rowBytes;
            row[0] = 0;
            convert(reinterpret_cast<const std::uint32_t*>(image.constScanLine(y0 + r)), row + 1, width);
        }
        stream.next_in = strip.get();
        stream.avail_in = static_cast<std::uint32_t>(rowBytes * static_cast<std::size_t>(rows));
        stream.end_of_stream = y0 + rows == height ? 1 : 0;
        do
            deflateSome();
        while (stream.avail_in > 0 || (stream.end_of_stream && stream.internal_state.state != ZSTATE_END));
    }

    QByteArray out;
    out.reserve(static_cast<qsizetype>(written + 64));
    out.append("\x89PNG\r\n\x1a\n", 8);
    char header[13];
    for (int i = 0; i < 4; ++i) {
        header[i] = static_cast<char>(width >> (24 - 8 * i));
        header[4 + i] = static_cast<char>(height >> (24 - 8 * i));
    }
    header[8] = 8;  // bits per channel
    header[9] = 2;  // RGB
    header[10] = 0; // deflate
    header[11] = 0; // adaptive filtering (every row says "none")
    header[12] = 0; // not interlaced
    putChunk(out, "IHDR", header, sizeof header);
    putChunk(out, "IDAT", packed.constData(), written);
    putChunk(out, "IEND", nullptr, 0);
    return out;
}
