#pragma once

#include "base/Error.h"

#include <QString>
#include <cstdint>
#include <cstring>
#include <vector>

namespace sheet {

using Bytes = std::vector<std::uint8_t>;

// Bytes held by someone else, such as a record body inside the stream being read.
struct ByteView {
    const std::uint8_t* data = nullptr;
    std::size_t size = 0;

    ByteView() = default;
    ByteView(const std::uint8_t* d, std::size_t n)
        : data(d)
        , size(n)
    {
    }
    ByteView(const Bytes& b)
        : data(b.data())
        , size(b.size())
    {
    } // NOLINT: views convert freely
    Bytes copy() const { return Bytes(data, data + size); }
    std::uint8_t operator[](std::size_t i) const { return data[i]; }
};

// Little-endian emitter for record bodies.
class ByteWriter {
public:
    // Most record bodies are short: room for them from the start spares the reallocations of
    // growing a byte at a time.
    ByteWriter() { m_data.reserve(kUsualBody); }
    // Room for `capacity` bytes from the start: small writers then grow without reallocating.
    explicit ByteWriter(std::size_t capacity) { m_data.reserve(capacity); }
    void u8(std::uint8_t v) { m_data.push_back(v); }
    void u16(std::uint16_t v)
    {
        u8(v & 0xFF);
        u8(v >> 8);
    }
    void i16(std::int16_t v) { u16(static_cast<std::uint16_t>(v)); }
    void u32(std::uint32_t v)
    {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    void i32(std::int32_t v) { u32(static_cast<std::uint32_t>(v)); }
    void f64(double v)
    {
        std::uint64_t b;
        std::memcpy(&b, &v, 8);
        u32(b & 0xFFFFFFFFu);
        u32(b >> 32);
    }
    void bytes(const Bytes& b) { m_data.insert(m_data.end(), b.begin(), b.end()); }
    void bytes(const std::uint8_t* p, std::size_t n) { m_data.insert(m_data.end(), p, p + n); }
    void zeros(std::size_t n) { m_data.insert(m_data.end(), n, 0); }
    // Patch a u16 written earlier (lengths known only afterwards).
    void patchU16(std::size_t at, std::uint16_t v)
    {
        m_data.at(at) = v & 0xFF;
        m_data.at(at + 1) = v >> 8;
    }
    void patchU32(std::size_t at, std::uint32_t v)
    {
        patchU16(at, v & 0xFFFF);
        patchU16(at + 2, v >> 16);
    }

    // BIFF8 strings: 8-bit ("compressed") when every code unit is Latin-1, else UTF-16LE.
    void shortXLUnicodeString(const QString& s); // cch u8, flags u8, chars
    void xlUnicodeString(const QString& s);      // cch u16, flags u8, chars
    void unicodeChars(const QString& s, bool wide);

    std::size_t size() const { return m_data.size(); }
    const Bytes& data() const { return m_data; }
    Bytes take() { return std::move(m_data); }
    // Empty again, keeping the room: one writer serves record after record.
    void clear() { m_data.clear(); }

private:
    static constexpr std::size_t kUsualBody = 32;
    Bytes m_data;
};

bool fitsLatin1(const QString& s);

// Bounds-checked little-endian reader; every overrun throws FormatError.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size)
        : m_data(data)
        , m_size(size)
    {
    }
    explicit ByteReader(const Bytes& b)
        : ByteReader(b.data(), b.size())
    {
    }
    explicit ByteReader(ByteView b)
        : ByteReader(b.data, b.size)
    {
    }

    std::uint8_t u8()
    {
        need(1);
        return m_data[m_pos++];
    }
    std::uint16_t u16()
    {
        need(2);
        std::uint16_t v = m_data[m_pos] | (m_data[m_pos + 1] << 8);
        m_pos += 2;
        return v;
    }
    std::int16_t i16() { return static_cast<std::int16_t>(u16()); }
    std::uint32_t u32()
    {
        std::uint32_t lo = u16();
        std::uint32_t hi = u16();
        return lo | (hi << 16);
    }
    std::int32_t i32() { return static_cast<std::int32_t>(u32()); }
    double f64()
    {
        std::uint64_t lo = u32();
        std::uint64_t hi = u32();
        std::uint64_t b = lo | (hi << 32);
        double v;
        std::memcpy(&v, &b, 8);
        return v;
    }
    void skip(std::size_t n)
    {
        need(n);
        m_pos += n;
    }
    Bytes bytes(std::size_t n)
    {
        need(n);
        Bytes b(m_data + m_pos, m_data + m_pos + n);
        m_pos += n;
        return b;
    }

    QString shortXLUnicodeString();
    QString xlUnicodeString();
    QString unicodeChars(std::size_t cch, bool wide);

    std::size_t pos() const { return m_pos; }
    std::size_t size() const { return m_size; }
    std::size_t remaining() const { return m_size - m_pos; }
    bool atEnd() const { return m_pos >= m_size; }
    void seek(std::size_t p)
    {
        if (p > m_size)
            throw FormatError(QStringLiteral("Seek past the end of a record"));
        m_pos = p;
    }
    void need(std::size_t n) const
    {
        if (n > m_size - m_pos)
            throw FormatError(QStringLiteral("Record is shorter than its content"));
    }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

} // namespace sheet
