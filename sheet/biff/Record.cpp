#include "biff/Record.h"

namespace sheet {

namespace {
void appendRaw(Bytes& stream, std::uint16_t id, const std::uint8_t* p, std::size_t n)
{
    stream.push_back(id & 0xFF);
    stream.push_back(id >> 8);
    stream.push_back(n & 0xFF);
    stream.push_back((n >> 8) & 0xFF);
    stream.insert(stream.end(), p, p + n);
}
} // namespace

void appendRecord(Bytes& stream, std::uint16_t id, const Bytes& body)
{
    constexpr std::uint16_t kContinue = 0x003C;
    std::size_t off = 0;
    std::size_t n = std::min(body.size(), kMaxRecordData);
    appendRaw(stream, id, body.data(), n);
    off = n;
    while (off < body.size()) {
        n = std::min(body.size() - off, kMaxRecordData);
        appendRaw(stream, kContinue, body.data() + off, n);
        off += n;
    }
}

void appendRecord(Bytes& stream, const Record& record) { appendRecord(stream, record.id, record.data); }

} // namespace sheet
