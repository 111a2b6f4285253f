#pragma once

#include "base/Error.h"

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

} // namespace sheet
