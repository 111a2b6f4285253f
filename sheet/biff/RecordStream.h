#pragma once

#include "biff/Record.h"

#include <QString>

namespace sheet {

class ReadBudget;

// One record inside the stream being read: its body is not copied.
struct RecordView {
    std::uint16_t id = 0;
    ByteView data;

    Record copy() const { return Record{id, data.copy()}; }
};

// The records of one substream as positions in the stream the reader holds, 8 bytes a record
// instead of a copy of each body. Valid while that stream is; what it takes counts against
// the budget it was read with until it is gone.
class SubstreamRecords {
public:
    SubstreamRecords() = default;
    ~SubstreamRecords();
    SubstreamRecords(SubstreamRecords&& other) noexcept;
    SubstreamRecords& operator=(SubstreamRecords&& other) noexcept;
    SubstreamRecords(const SubstreamRecords&) = delete;
    SubstreamRecords& operator=(const SubstreamRecords&) = delete;

    std::size_t size() const { return m_refs.size(); }
    bool empty() const { return m_refs.empty(); }
    RecordView operator[](std::size_t i) const
    {
        const Ref& r = m_refs[i];
        return RecordView{r.id, ByteView(m_base + r.body, r.size)};
    }
    RecordView front() const { return (*this)[0]; }
    RecordView back() const { return (*this)[m_refs.size() - 1]; }

private:
    friend SubstreamRecords scanSubstream(const Bytes&, std::size_t, std::size_t*, ReadBudget*);
    struct Ref {
        std::uint32_t body; // offset of the body in the stream
        std::uint16_t id;
        std::uint16_t size;
    };
    void give();

    const std::uint8_t* m_base = nullptr;
    std::vector<Ref> m_refs;
    ReadBudget* m_budget = nullptr;
    std::size_t m_spent = 0;
};

// Finds the substream that starts with the BOF at `offset`: its records from the BOF up to and
// including the matching EOF (substreams nested inside, such as embedded charts, included).
// A stream that ends without the EOF yields what is there. Throws FormatError when no BOF is at
// `offset` or a record runs past the end of the stream. `end` receives the offset after it.
SubstreamRecords scanSubstream(const Bytes& stream, std::size_t offset, std::size_t* end = nullptr,
                               ReadBudget* budget = nullptr);

// The same records as copies of their own.
RecordList readSubstream(const Bytes& stream, std::size_t offset, std::size_t* end = nullptr);

// What an older Excel stream is ("an Excel 4.0 (BIFF4) workbook"), judged by its first BOF
// record; empty for BIFF8 and for anything that does not start with a BOF.
QString olderBiffVersion(const std::uint8_t* stream, std::size_t size);
inline QString olderBiffVersion(const Bytes& stream) { return olderBiffVersion(stream.data(), stream.size()); }

// Bodies of the record at `index` and of the CONTINUE records that follow it; `index` is left
// on the last of them. The views point into `records`.
std::vector<ByteView> gatherContinues(const SubstreamRecords& records, std::size_t& index);
std::vector<ByteView> gatherContinues(const RecordList& records, std::size_t& index);

} // namespace sheet
