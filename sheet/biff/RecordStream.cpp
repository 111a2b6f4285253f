#include "biff/RecordStream.h"

#include "biff/ReadBudget.h"
#include "biff/RecordIds.h"

namespace sheet {

RecordList readSubstream(const Bytes& stream, std::size_t offset, std::size_t* end, ReadBudget* budget)
{
    RecordList out;
    std::size_t pos = offset;
    int depth = 0;
    while (pos + 4 <= stream.size()) {
        const std::uint16_t id = static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8));
        const std::size_t len = static_cast<std::size_t>(stream[pos + 2] | (stream[pos + 3] << 8));
        if (out.empty() && id != rid::kBof)
            throw FormatError(QStringLiteral("expected a BOF record at offset %1").arg(pos));
        if (pos + 4 + len > stream.size())
            throw FormatError(QStringLiteral("record 0x%1 at offset %2 runs past the end of the stream")
                                  .arg(id, 4, 16, QLatin1Char('0'))
                                  .arg(pos));
        if (budget)
            budget->spend(sizeof(Record) + len + 16);
        out.push_back(Record{id, Bytes(stream.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                                       stream.begin() + static_cast<std::ptrdiff_t>(pos + 4 + len))});
        pos += 4 + len;
        if (id == rid::kBof) {
            if (++depth > 8)
                throw FormatError(QStringLiteral("substreams nested too deeply at offset %1").arg(pos));
        } else if (id == rid::kEof) {
            if (--depth == 0)
                break;
        }
    }
    if (out.empty())
        throw FormatError(QStringLiteral("expected a BOF record at offset %1").arg(offset));
    if (end)
        *end = pos;
    return out;
}

QString olderBiffVersion(const Bytes& stream)
{
    if (stream.size() < 8)
        return QString();
    const std::uint16_t id = static_cast<std::uint16_t>(stream[0] | (stream[1] << 8));
    const std::uint16_t version = static_cast<std::uint16_t>(stream[4] | (stream[5] << 8));
    const std::uint16_t kind = static_cast<std::uint16_t>(stream[6] | (stream[7] << 8));
    switch (id) {
    case 0x0009: return QStringLiteral("an Excel 2.x (BIFF2) worksheet");
    case 0x0209: return QStringLiteral("an Excel 3.0 (BIFF3) worksheet");
    case 0x0409:
        return kind == 0x0100 ? QStringLiteral("an Excel 4.0 (BIFF4) workbook") : QStringLiteral("an Excel 4.0 (BIFF4) worksheet");
    case rid::kBof:
        if (version == 0x0500)
            return QStringLiteral("an Excel 5.0/95 (BIFF5) workbook");
        if (version == 0x0400)
            return QStringLiteral("an Excel 4.0 (BIFF4) workbook");
        return QString();
    default: return QString();
    }
}

std::vector<Bytes> gatherContinues(const RecordList& records, std::size_t& index)
{
    std::vector<Bytes> chunks;
    chunks.push_back(records[index].data);
    while (index + 1 < records.size() && records[index + 1].id == rid::kContinue) {
        ++index;
        chunks.push_back(records[index].data);
    }
    return chunks;
}

} // namespace sheet
