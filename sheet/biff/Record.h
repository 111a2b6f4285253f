#pragma once

#include "biff/Bytes.h"

#include <cstdint>
#include <vector>

namespace sheet {

// One BIFF record: id and body (without the 4-byte header). CONTINUE records that belong to
// a record are kept as records of their own, so a record the engine does not interpret is
// written back exactly as it was read.
struct Record {
    std::uint16_t id = 0;
    Bytes data;
};

using RecordList = std::vector<Record>;

// Appends header + body; bodies longer than the BIFF8 limit are split into CONTINUE records.
void appendRecord(Bytes& stream, std::uint16_t id, const Bytes& body);
void appendRecord(Bytes& stream, const Record& record);

constexpr std::size_t kMaxRecordData = 8224;

} // namespace sheet
