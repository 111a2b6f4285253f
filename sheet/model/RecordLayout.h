#pragma once

#include "biff/Record.h"

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace sheet {

// The order of a substream's records: the parts the model writes itself from what it holds
// (Part values other than Part::Raw), and between them the records it keeps as they were read.
// A file read and saved again keeps its order; a part a file lacks goes where the spreadsheet
// expects it. Part is an enum of fewer than 32 values with a member Raw.
template <typename Part> class RecordLayout {
public:
    struct Item {
        Part part = Part::Raw;
        Record record; // Part::Raw only
    };

    const std::vector<Item>& items() const { return m_items; }
    void clear()
    {
        m_items.clear();
        m_placed = 0;
    }

    // The part, at the end, unless it is already placed.
    void place(Part part)
    {
        if (!has(part))
            insert(static_cast<int>(m_items.size()), part);
    }
    // A part that comes as often as the file has it (each standing for the next of a list), at
    // the end.
    void append(Part part) { insert(static_cast<int>(m_items.size()), part); }
    // A record kept as it is, at the end.
    void keep(Record record) { m_items.push_back(Item{Part::Raw, std::move(record)}); }
    bool has(Part part) const { return (m_placed & bit(part)) != 0; }

    // Position of the part, or of the first kept record with that id; -1 when there is none.
    int indexOf(Part part) const
    {
        for (std::size_t i = 0; i < m_items.size(); ++i)
            if (m_items[i].part == part)
                return static_cast<int>(i);
        return -1;
    }
    int indexOfRecord(std::uint16_t id) const
    {
        for (std::size_t i = 0; i < m_items.size(); ++i)
            if (m_items[i].part == Part::Raw && m_items[i].record.id == id)
                return static_cast<int>(i);
        return -1;
    }
    // The first of the positions that exists; -1 when none does.
    static int firstOf(std::initializer_list<int> positions)
    {
        for (int p : positions)
            if (p >= 0)
                return p;
        return -1;
    }

    // The part before position `at` (at the end when `at` is outside the layout).
    void insert(int at, Part part)
    {
        if (at < 0 || at > static_cast<int>(m_items.size()))
            at = static_cast<int>(m_items.size());
        m_items.insert(m_items.begin() + at, Item{part, {}});
        if (part != Part::Raw)
            m_placed |= bit(part);
    }

private:
    static std::uint32_t bit(Part part) { return std::uint32_t(1) << static_cast<unsigned>(part); }

    std::vector<Item> m_items;
    std::uint32_t m_placed = 0;
};

} // namespace sheet
