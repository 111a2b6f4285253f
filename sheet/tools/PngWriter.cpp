#include "PngWriter.h"

#include "model/Error.h"

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <cstring>
#include <new>

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
    putU32(out, crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(out.constData() + typeAt), size + 4));
}

// Uninitialised: the pages a buffer never touches cost nothing.
std::unique_ptr<std::uint8_t[]> allocate(std::size_t bytes)
{
    std::unique_ptr<std::uint8_t[]> p(new (std::nothrow) std::uint8_t[bytes]);
    if (!p)
        throw sheet::Error(QStringLiteral("There is not enough memory for a picture of %1 MB").arg(bytes >> 20));
    return p;
}

} // namespace

PngCanvas::PngCanvas(const QSize& size)
    : m_size(size)
{
    if (size.isEmpty())
        throw sheet::Error(QStringLiteral("There is no picture to draw"));
    const auto width = static_cast<std::size_t>(size.width());
    const auto height = static_cast<std::size_t>(size.height());
    m_rowBytes = 1 + 3 * width;
    m_rows = allocate(m_rowBytes * height);
    for (std::size_t y = 0; y < height; ++y)
        m_rows[y * m_rowBytes] = 0;
    // The pixels of a row start after its filter byte; QImage takes any stride for 24-bit rows.
    m_image = QImage(m_rows.get() + 1, size.width(), size.height(), static_cast<qsizetype>(m_rowBytes),
                     QImage::Format_RGB888);
    m_image.fill(Qt::white);
}

PngCanvas::~PngCanvas() = default;

QByteArray PngCanvas::encode() const
{
    const std::size_t rawSize = m_rowBytes * static_cast<std::size_t>(m_size.height());
    // Level 1 with the library's default buffer for it; the output rarely needs a tenth of the
    // input, and a stream that does not fit is made again with more room.
    const std::size_t levelBytes = ISAL_DEF_LVL1_DEFAULT;
    const auto level = allocate(levelBytes);
    std::size_t room = rawSize / 8 + 4096;
    for (;;) {
        const auto packed = allocate(room);
        isal_zstream stream;
        isal_deflate_stateless_init(&stream);
        stream.level = 1;
        stream.level_buf = level.get();
        stream.level_buf_size = static_cast<std::uint32_t>(levelBytes);
        stream.gzip_flag = IGZIP_ZLIB;
        stream.end_of_stream = 1;
        stream.flush = NO_FLUSH;
        stream.next_in = m_rows.get();
        stream.next_out = packed.get();
        // The stateless call takes 32-bit lengths; pictures within the renderers' bounds (100
        // megapixels) are far below.
        if (rawSize > UINT32_MAX || room > UINT32_MAX)
            throw sheet::Error(QStringLiteral("The picture is too large to encode as PNG"));
        stream.avail_in = static_cast<std::uint32_t>(rawSize);
        stream.avail_out = static_cast<std::uint32_t>(room);
        const int result = isal_deflate_stateless(&stream);
        if (result == STATELESS_OVERFLOW && room < rawSize * 2 + 65536) {
            room = room * 4;
            continue;
        }
        if (result != COMP_OK)
            throw sheet::Error(QStringLiteral("The picture could not be encoded as PNG"));
        const std::size_t packedSize = stream.total_out;

        QByteArray out;
        out.reserve(static_cast<qsizetype>(packedSize + 64));
        out.append("\x89PNG\r\n\x1a\n", 8);
        std::uint8_t header[13];
        for (int i = 0; i < 4; ++i) {
            header[i] = static_cast<std::uint8_t>(m_size.width() >> (24 - 8 * i));
            header[4 + i] = static_cast<std::uint8_t>(m_size.height() >> (24 - 8 * i));
        }
        header[8] = 8;  // bits per channel
        header[9] = 2;  // RGB
        header[10] = 0; // deflate
        header[11] = 0; // adaptive filtering (every row says "none")
        header[12] = 0; // not interlaced
        putChunk(out, "IHDR", header, sizeof header);
        // IDAT chunks hold at most 2^31 - 1 bytes; the stream is split the way the format allows.
        constexpr std::size_t kChunk = std::size_t(1) << 30;
        for (std::size_t at = 0; at < packedSize; at += kChunk)
            putChunk(out, "IDAT", packed.get() + at, std::min(kChunk, packedSize - at));
        putChunk(out, "IEND", nullptr, 0);
        return out;
    }
}
