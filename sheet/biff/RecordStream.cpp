#include "biff/RecordStream.h"

#include "biff/ReadBudget.h"
#include "biff/RecordIds.h"

#include <limits>

namespace sheet {

SubstreamRecords::~SubstreamRecords() { give(); }

SubstreamRecords::SubstreamRecords(SubstreamRecords&& other) noexcept
    : m_base(other.m_base)
    , m_refs(std::move(other.m_refs))
    , m_budget(other.m_budget)
    , m_spent(other.m_spent)
{
    other.m_refs.clear();
    other.m_budget = nullptr;
    other.m_spent = 0;
}

SubstreamRecords& SubstreamRecords::operator=(SubstreamRecords&& other) noexcept
{
    if (this != &other) {
        give();
        m_base = other.m_base;
        m_refs = std::move(other.m_refs);
        m_budget = other.m_budget;
        m_spent = other.m_spent;
        other.m_refs.clear();
        other.m_budget = nullptr;
        other.m_spent = 0;
    }
    return *this;
}

void SubstreamRecords::give()
{
    m_refs = std::vector<Ref>();
    if (m_budget)
        m_budget->give(m_spent);
    m_budget = nullptr;
    m_spent = 0;
}

SubstreamRecords scanSubstream(const Bytes& stream, std::size_t offset, std::size_t* end, ReadBudget* budget)
{
    // Positions are kept in 32 bits, as BOUNDSHEET keeps them.
    if (stream.size() > std::numeric_limits<std::uint32_t>::max())
        throw FormatError(QStringLiteral("the workbook stream is larger than 4 GB"));
    // Checked and counted first, so that the list is made once at its size.
    std::size_t pos = offset;
    std::size_t count = 0;
    int depth = 0;
    while (pos + 4 <= stream.size()) {
        const std::uint16_t id = static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8));
        const std::size_t len = static_cast<std::size_t>(stream[pos + 2] | (stream[pos + 3] << 8));
        if (count == 0 && id != rid::kBof)
            throw FormatError(QStringLiteral("expected a BOF record at offset %1").arg(pos));
        if (pos + 4 + len > stream.size())
            throw FormatError(QStringLiteral("record 0x%1 at offset %2 runs past the end of the stream")
                                  .arg(id, 4, 16, QLatin1Char('0'))
                                  .arg(pos));
        ++count;
        pos += 4 + len;
        if (id == rid::kBof) {
            if (++depth > 8)
                throw FormatError(QStringLiteral("substreams nested too deeply at offset %1").arg(pos));
        } else if (id == rid::kEof) {
            if (--depth == 0)
                break;
        }
    }
    if (count == 0)
        throw FormatError(QStringLiteral("expected a BOF record at offset %1").arg(offset));
    if (end)
        *end = pos;

    SubstreamRecords out;
    const std::size_t bytes = count * sizeof(SubstreamRecords::Ref);
    if (budget) {
        budget->spend(bytes);
        out.m_budget = budget;
        out.m_spent = bytes;
    }
    out.m_base = stream.data();
    out.m_refs.reserve(count);
    pos = offset;
    for (std::size_t k = 0; k < count; ++k) {
        const std::uint16_t id = static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8));
        const std::uint16_t len = static_cast<std::uint16_t>(stream[pos + 2] | (stream[pos + 3] << 8));
        out.m_refs.push_back(SubstreamRecords::Ref{static_cast<std::uint32_t>(pos + 4), id, len});
        pos += 4 + len;
    }
    return out;
}

RecordList readSubstream(const Bytes& stream, std::size_t offset, std::size_t* end)
{
    const SubstreamRecords records = scanSubstream(stream, offset, end);
    RecordList out;
    out.reserve(records.size());
    for (std::size_t i = 0; i < records.size(); ++i)
        out.push_back(records[i].copy());
    return out;
}

QString olderBiffVersion(const std::uint8_t* stream, std::size_t size)
{
    if (size < 8)
        return QString();
    const std::uint16_t id = static_cast<std::uint16_t>(stream[0] | (stream[1] << 8));
    const std::uint16_t version = static_cast<std::uint16_t>(stream[4] | (stream[5] << 8));
    const std::uint16_t kind = static_cast<std::uint16_t>(stream[6] | (stream[7] << 8));
    switch (id) {
    case 0x0009: return QStringLiteral("an Excel 2.x (BIFF2) worksheet");
    case 0x0209: return QStringLiteral("an Excel 3.0 (BIFF3) worksheet");
    case 0x0409:
        return kind == 0x0100 ? QStringLiteral("an Excel 4.0 (BIFF4) workbook")
                              : QStringLiteral("an Excel 4.0 (BIFF4) worksheet");
    case rid::kBof:
        if (version == 0x0500)
            return QStringLiteral("an Excel 5.0/95 (BIFF5) workbook");
        if (version == 0x0400)
            return QStringLiteral("an Excel 4.0 (BIFF4) workbook");
        return QString();
    default: return QString();
    }
}

namespace {
template <typename Records> std::vector<ByteView> gatherContinuesIn(const Records& records, std::size_t& index)
{
    std::vector<ByteView> chunks;
    chunks.push_back(records[index].data);
    while (index + 1 < records.size() && records[index + 1].id == rid::kContinue) {
        ++index;
        chunks.push_back(records[index].data);
    }
    return chunks;
}
} // namespace

std::vector<ByteView> gatherContinues(const SubstreamRecords& records, std::size_t& index)
{
    return gatherContinuesIn(records, index);
}

std::vector<ByteView> gatherContinues(const RecordList& records, std::size_t& index)
{
    return gatherContinuesIn(records, index);
}

} // namespace sheet
