#pragma once

#include "model/Error.h"

#include <cstddef>

namespace sheet {

// What reading one workbook may take in memory, counted as the reader builds its records,
// strings and cells. A small file can describe millions of cells (a MULBLANK row is 2 bytes a
// cell, each cell some 200 bytes in memory): past the budget the file is refused rather than
// the machine run out of memory.
class ReadBudget {
public:
    static constexpr std::size_t kLimit = std::size_t(512) << 20;

    void spend(std::size_t bytes)
    {
        m_used += bytes;
        if (m_used > kLimit)
            throw FormatError(QStringLiteral("the workbook is too large to read: it would take more than %1 MB of memory")
                                  .arg(kLimit >> 20));
    }
    std::size_t used() const { return m_used; }

private:
    std::size_t m_used = 0;
};

} // namespace sheet
