#pragma once

#include "biff/Bytes.h"

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

// The Compound File Binary container around a BIFF8 "Workbook" stream.
class CompoundFile {
public:
    // Throws FormatError when the bytes are not a compound file or hold no workbook stream.
    static CompoundFile fromBytes(const Bytes& bytes);
    // Same bytes for the same content: libgsf writes no time stamps into the directory.
    Bytes toBytes() const;

    Bytes workbook;
    std::vector<CompoundEntry> others;
};

} // namespace sheet
