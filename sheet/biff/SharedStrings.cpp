#include "biff/SharedStrings.h"

#include "biff/ReadBudget.h"

#include "biff/RecordIds.h"

namespace sheet {

namespace {

// Walks the SST body across chunk boundaries.
class ChunkReader {
public:
    explicit ChunkReader(const std::vector<ByteView>& chunks)
        : m_chunks(chunks)
    {
    }

    bool atEnd()
    {
        skipEmpty();
        return m_chunk >= m_chunks.size();
    }
    std::uint8_t u8()
    {
        skipEmpty();
        if (m_chunk >= m_chunks.size())
            throw FormatError(QStringLiteral("Shared string table ends inside a string"));
        return m_chunks[m_chunk][m_pos++];
    }
    std::uint16_t u16()
    {
        const std::uint16_t lo = u8();
        return lo | (u8() << 8);
    }
    std::uint32_t u32()
    {
        const std::uint32_t lo = u16();
        return lo | (static_cast<std::uint32_t>(u16()) << 16);
    }
    Bytes bytes(std::size_t n)
    {
        Bytes out;
        out.reserve(std::min<std::size_t>(n, remainingTotal()));
        while (n > 0) {
            skipEmpty();
            if (m_chunk >= m_chunks.size())
                throw FormatError(QStringLiteral("Shared string table ends inside a string"));
            const ByteView c = m_chunks[m_chunk];
            const std::size_t take = std::min(n, c.size - m_pos);
            out.insert(out.end(), c.data + m_pos, c.data + m_pos + take);
            m_pos += take;
            n -= take;
        }
        return out;
    }
    // Character data: at each new CONTINUE, a flags byte restates the character width.
    QString chars(std::size_t cch, bool wide)
    {
        QString out;
        out.reserve(static_cast<int>(std::min<std::size_t>(cch, remainingTotal())));
        while (cch > 0) {
            if (m_chunk >= m_chunks.size() || m_pos >= m_chunks[m_chunk].size) {
                ++m_chunk;
                m_pos = 0;
                if (m_chunk >= m_chunks.size() || m_chunks[m_chunk].size == 0)
                    throw FormatError(QStringLiteral("Shared string table ends inside a string"));
                wide = m_chunks[m_chunk][m_pos++] & 0x01;
                continue;
            }
            const ByteView c = m_chunks[m_chunk];
            if (wide) {
                if (m_pos + 2 > c.size)
                    throw FormatError(QStringLiteral("Shared string splits a character"));
                out.append(QChar(static_cast<char16_t>(c[m_pos] | (c[m_pos + 1] << 8))));
                m_pos += 2;
            } else {
                out.append(QChar(static_cast<char16_t>(c[m_pos])));
                m_pos += 1;
            }
            --cch;
        }
        return out;
    }

private:
    void skipEmpty()
    {
        while (m_chunk < m_chunks.size() && m_pos >= m_chunks[m_chunk].size) {
            ++m_chunk;
            m_pos = 0;
        }
    }
    std::size_t remainingTotal() const
    {
        std::size_t n = 0;
        for (std::size_t i = m_chunk; i < m_chunks.size() && n < (1u << 20); ++i)
            n += m_chunks[i].size;
        return n;
    }

    const std::vector<ByteView>& m_chunks;
    std::size_t m_chunk = 0;
    std::size_t m_pos = 0;
};

} // namespace

namespace {
std::vector<ByteView> views(const std::vector<Bytes>& chunks)
{
    return std::vector<ByteView>(chunks.begin(), chunks.end());
}
} // namespace

std::vector<SharedString> readSst(const std::vector<Bytes>& chunks, ReadBudget* budget)
{
    return readSst(views(chunks), budget);
}

QString readContinuedString(const std::vector<Bytes>& chunks) { return readContinuedString(views(chunks)); }

std::vector<SharedString> readSst(const std::vector<ByteView>& chunks, ReadBudget* budget)
{
    ChunkReader r(chunks);
    r.u32(); // total uses
    const std::uint32_t unique = r.u32();
    std::vector<SharedString> out;
    out.reserve(std::min<std::uint32_t>(unique, 65536));
    for (std::uint32_t i = 0; i < unique && !r.atEnd(); ++i) {
        SharedString s;
        const std::size_t cch = r.u16();
        const std::uint8_t flags = r.u8();
        std::size_t runs = 0, ext = 0;
        if (flags & 0x08)
            runs = r.u16();
        if (flags & 0x04)
            ext = r.u32();
        s.text = r.chars(cch, flags & 0x01);
        if (runs)
            s.runs = r.bytes(runs * 4);
        if (ext)
            s.ext = r.bytes(ext);
        if (budget)
            budget->spend(
                readcost::kStringCopies
                * (sizeof(SharedString) + readcost::kMapNode + readcost::text(cch) + s.runs.size() + s.ext.size()));
        out.push_back(std::move(s));
    }
    return out;
}

QString readContinuedString(const std::vector<ByteView>& chunks)
{
    ChunkReader r(chunks);
    const std::size_t cch = r.u16();
    const std::uint8_t flags = r.u8();
    return r.chars(cch, flags & 0x01);
}

void writeContinuedString(Bytes& stream, std::uint16_t id, const QString& text)
{
    const bool wide = !fitsLatin1(text);
    ByteWriter w;
    w.xlUnicodeString(text);
    if (w.size() <= kMaxRecordData) {
        appendRecord(stream, id, w.data());
        return;
    }
    // Character data split on character boundaries, each CONTINUE led by a flags byte.
    const Bytes& all = w.data();
    const std::size_t unit = wide ? 2 : 1;
    std::size_t first = 3 + (kMaxRecordData - 3) / unit * unit;
    appendRecord(stream, id, Bytes(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(first)));
    std::size_t off = first;
    while (off < all.size()) {
        const std::size_t n = std::min(all.size() - off, (kMaxRecordData - 1) / unit * unit);
        Bytes chunk;
        chunk.reserve(n + 1);
        chunk.push_back(wide ? 0x01 : 0x00);
        chunk.insert(chunk.end(), all.begin() + static_cast<std::ptrdiff_t>(off),
                     all.begin() + static_cast<std::ptrdiff_t>(off + n));
        appendRecord(stream, rid::kContinue, chunk);
        off += n;
    }
}

namespace {

class SstWriter {
public:
    SstWriter(Bytes& stream, std::size_t base)
        : m_stream(stream)
        , m_base(base)
    {
    }

    std::size_t room() const { return kMaxRecordData - m_body.size(); }
    void newContinue()
    {
        flush();
        m_id = rid::kContinue;
    }
    void flush()
    {
        appendRecord(m_stream, m_id, m_body);
        m_body.clear();
    }
    std::uint32_t streamPos() const { return static_cast<std::uint32_t>(m_base + m_stream.size() + 4 + m_body.size()); }
    std::uint16_t recordOffset() const { return static_cast<std::uint16_t>(4 + m_body.size()); }
    void u8(std::uint8_t v) { m_body.push_back(v); }
    void u16(std::uint16_t v)
    {
        u8(v & 0xFF);
        u8(v >> 8);
    }
    void u32(std::uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    // Bytes that may continue in the next record without any marker (runs, phonetic data).
    void spill(const Bytes& b, std::size_t unit)
    {
        std::size_t off = 0;
        while (off < b.size()) {
            std::size_t n = std::min(b.size() - off, room() / unit * unit);
            if (n == 0) {
                newContinue();
                continue;
            }
            m_body.insert(m_body.end(), b.begin() + off, b.begin() + off + n);
            off += n;
        }
    }

    Bytes m_body;
    std::uint16_t m_id = rid::kSst;

private:
    Bytes& m_stream;
    std::size_t m_base;
};

} // namespace

void writeSst(Bytes& stream, std::size_t streamBase, const std::vector<SharedString>& strings, std::uint32_t totalUses,
              std::uint16_t bucketSize, std::vector<SstBucket>* buckets)
{
    SstWriter w(stream, streamBase);
    w.m_body.reserve(kMaxRecordData);
    w.u32(totalUses);
    w.u32(static_cast<std::uint32_t>(strings.size()));
    for (std::size_t i = 0; i < strings.size(); ++i) {
        const SharedString& s = strings[i];
        const bool wide = !fitsLatin1(s.text);
        const std::size_t charSize = wide ? 2 : 1;
        std::size_t header = 3 + (s.runs.empty() ? 0 : 2) + (s.ext.empty() ? 0 : 4);
        // The header never splits and takes its first character with it.
        if (w.room() < header + (s.text.isEmpty() ? 0 : charSize))
            w.newContinue();
        if (buckets && bucketSize && i % bucketSize == 0)
            buckets->push_back({w.streamPos(), w.recordOffset()});
        std::uint8_t flags = wide ? 0x01 : 0x00;
        if (!s.runs.empty())
            flags |= 0x08;
        if (!s.ext.empty())
            flags |= 0x04;
        w.u16(static_cast<std::uint16_t>(s.text.size()));
        w.u8(flags);
        if (!s.runs.empty())
            w.u16(static_cast<std::uint16_t>(s.runs.size() / 4));
        if (!s.ext.empty())
            w.u32(static_cast<std::uint32_t>(s.ext.size()));
        const QChar* p = s.text.constData();
        std::size_t left = static_cast<std::size_t>(s.text.size());
        while (left > 0) {
            std::size_t n = std::min(left, w.room() / charSize);
            if (n == 0) {
                w.newContinue();
                w.u8(wide ? 0x01 : 0x00);
                continue;
            }
            for (std::size_t k = 0; k < n; ++k, ++p) {
                if (wide)
                    w.u16(p->unicode());
                else
                    w.u8(static_cast<std::uint8_t>(p->unicode()));
            }
            left -= n;
        }
        w.spill(s.runs, 4);
        w.spill(s.ext, 1);
    }
    w.flush();
}

std::uint16_t extSstBucketSize(std::size_t n)
{
    // Keeps the EXTSST record inside one record's limit.
    std::size_t size = std::max<std::size_t>(8, n / 128 + 1);
    while ((n + size - 1) / size * 8 + 2 > kMaxRecordData)
        ++size;
    return static_cast<std::uint16_t>(std::min<std::size_t>(size, 0xFFFF));
}

Bytes encodeExtSst(std::uint16_t bucketSize, const std::vector<SstBucket>& buckets)
{
    ByteWriter w;
    w.u16(bucketSize);
    for (const SstBucket& b : buckets) {
        w.u32(b.streamPos);
        w.u16(b.recordOffset);
        w.u16(0);
    }
    return w.take();
}

std::uint32_t StringPool::add(const QString& text)
{
    auto it = m_plain.constFind(text);
    if (it != m_plain.constEnd())
        return it.value();
    const auto index = static_cast<std::uint32_t>(m_strings.size());
    m_strings.push_back(SharedString{text, {}, {}});
    m_plain.insert(text, index);
    return index;
}

std::uint32_t StringPool::add(SharedString s)
{
    if (s.plain())
        return add(s.text);
    const auto index = static_cast<std::uint32_t>(m_strings.size());
    m_strings.push_back(std::move(s));
    return index;
}

void StringPool::clear()
{
    m_strings.clear();
    m_plain.clear();
}

} // namespace sheet
