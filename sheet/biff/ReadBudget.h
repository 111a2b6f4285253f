#pragma once

#include "base/Error.h"
#include "biff/Record.h"

#include <cstddef>

namespace sheet {

// What reading one workbook may hold in memory at once: the streams taken out of the file,
// the positions of the records being read, the records, strings and cells kept. A small file
// can describe millions of cells (a MULBLANK row is 2 bytes a cell, each cell some 200 bytes
// in memory): past the budget the file is refused rather than the machine run out of memory.
// With the program itself, a reading then stays under 1 GB. The other streams of the file
// count twice: a save holds them again in the file it builds.
class ReadBudget {
public:
    static constexpr std::size_t kLimit = std::size_t(768) << 20;

    explicit ReadBudget(std::size_t limit = kLimit)
        : m_limit(limit)
    {
    }

    void spend(std::size_t bytes)
    {
        if (bytes > m_limit - m_used)
            throw FormatError(
                QStringLiteral("the workbook is too large to read: it would take more than %1 MB of memory")
                    .arg(m_limit >> 20));
        m_used += bytes;
        if (m_used > m_peak)
            m_peak = m_used;
    }
    // Memory the reader no longer holds (the positions of a substream it has read).
    void give(std::size_t bytes) { m_used -= bytes < m_used ? bytes : m_used; }

    std::size_t used() const { return m_used; }
    std::size_t peak() const { return m_peak; }
    std::size_t limit() const { return m_limit; }

private:
    std::size_t m_limit;
    std::size_t m_used = 0;
    std::size_t m_peak = 0;
};

// What the reader counts for what it holds beyond the bytes of the data itself: the
// bookkeeping of the containers that hold it and the allocator's share. Estimates, on the
// generous side; the tests of hostile workbooks check that a reading stays within them.
namespace readcost {

// The allocator's share of one block.
constexpr std::size_t kAllocation = 16;
// A node of a map (a cell, a row, a shared formula) with its allocation.
constexpr std::size_t kMapNode = 64;
// What a formula takes again while the workbook is recalculated, beyond its tokens twice.
constexpr std::size_t kRecalculation = 256;
// A worksheet's bookkeeping beyond its object (its column table, its layout).
constexpr std::size_t kWorksheet = 1024;
// A sheet kept as its records (a chart, a macro sheet), beyond its object.
constexpr std::size_t kKeptSheet = 256;
// A string's entry in the workbook's string pool and the pool's index of it.
constexpr std::size_t kPooledString = 128;
// A text a cell holds itself (a formula's text result).
constexpr std::size_t kCellString = 32;
// A list that grows may take twice its size while it does.
constexpr std::size_t kGrowth = 2;
// Shared strings are held twice while they are read: the table as read, the pool the cells use.
constexpr std::size_t kStringCopies = 2;

// Text of `chars` UTF-16 characters.
constexpr std::size_t text(std::size_t chars) { return 2 * chars; }
// A record kept as it was read: the Record, its body and the allocation.
constexpr std::size_t keptRecord(std::size_t body) { return sizeof(Record) + body + kAllocation; }
// A stream of another part of the file, kept for the save: a save holds it again in the file
// it builds.
constexpr std::size_t keptStream(std::size_t bytes) { return 2 * bytes; }
// A cell's formula: its tokens and array constants, and what recalculation takes for it.
constexpr std::size_t formula(std::size_t tokens, std::size_t extra) { return kRecalculation + 2 * tokens + extra; }
// A shared formula made a cell's own: the tokens, and about as much again once recalculated.
constexpr std::size_t expandedFormula(std::size_t tokens) { return 2 * tokens; }

} // namespace readcost

} // namespace sheet
