#pragma once

#include "biff/Record.h"

#include <QString>

namespace sheet {

// Reads the substream that starts with the BOF at `offset`: its records from the BOF up to and
// including the matching EOF (substreams nested inside, such as embedded charts, included).
// A stream that ends without the EOF yields what is there. Throws FormatError when no BOF is at
// `offset` or a record runs past the end of the stream. `end` receives the offset after it.
// The records count against `budget` when one is given.
RecordList readSubstream(const Bytes& stream, std::size_t offset, std::size_t* end = nullptr,
                         class ReadBudget* budget = nullptr);

// What an older Excel stream is ("an Excel 4.0 (BIFF4) workbook"), judged by its first BOF
// record; empty for BIFF8 and for anything that does not start with a BOF.
QString olderBiffVersion(const Bytes& stream);

// Bodies of the record at `index` and of the CONTINUE records that follow it; `index` is left
// on the last of them.
std::vector<Bytes> gatherContinues(const RecordList& records, std::size_t& index);

} // namespace sheet
