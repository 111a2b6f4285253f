#pragma once

#include "biff/Bytes.h"

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

namespace sheet {

// One stream or storage of a compound file other than the workbook stream. They are
// carried through a save unchanged (summary information, OLE data, VBA storage...).
struct CompoundEntry {
    std::string name; // UTF-8, as libgsf names it
    bool storage = false;
    Bytes data;                          // streams only
    std::vector<CompoundEntry> children; // storages only
};

class ReadBudget;

// The Compound File Binary container around a BIFF8 "Workbook" stream.
class CompoundFile {
public:
    // Throws FormatError when the bytes are not a compound file or hold no workbook stream.
    // The streams taken out count against the budget: the workbook stream once, the others
    // twice (a save holds them again in the file it builds). Without one, a budget of the
    // standard size applies.
    static CompoundFile fromBytes(const Bytes& bytes, ReadBudget* budget = nullptr);
    // The same, read where it lies from an open regular file of `size` bytes: the file is
    // never held whole. `file` stays open.
    static CompoundFile fromFile(std::FILE* file, std::size_t size, ReadBudget* budget = nullptr);
    // Same bytes for the same content: libgsf writes no time stamps into the directory.
    Bytes toBytes() const;
    // The compound file of these streams, handed to `sink` as it lies in memory, without a
    // copy of its own. A workbook stream passed by value is let go once it is in the container.
    using Sink = std::function<void(const std::uint8_t* data, std::size_t size)>;
    static void write(const Bytes& workbook, const std::vector<CompoundEntry>& others, const Sink& sink);
    static void write(Bytes&& workbook, const std::vector<CompoundEntry>& others, const Sink& sink);

    Bytes workbook;
    std::vector<CompoundEntry> others;
};

} // namespace sheet
