#pragma once

#include "biff/Bytes.h"
#include "biff/Record.h"

#include <QHash>
#include <QString>
#include <vector>

namespace sheet {

// One entry of the shared string table. Rich-text runs and phonetic data are kept as bytes so
// that a string read from a file keeps its formatting when written back.
struct SharedString {
    QString text;
    Bytes runs; // 4 bytes per formatting run
    Bytes ext;  // ExtRst (phonetic) block

    bool plain() const { return runs.empty() && ext.empty(); }
    bool operator==(const SharedString& o) const { return text == o.text && runs == o.runs && ext == o.ext; }
};

// Decodes an SST record whose body is split over the record and its CONTINUE records.
// Reads at most the strings that are there, whatever the stated count claims.
// The strings count against `budget` when one is given (twice: the pool keeps them too).
std::vector<SharedString> readSst(const std::vector<ByteView>& chunks, class ReadBudget* budget = nullptr);
std::vector<SharedString> readSst(const std::vector<Bytes>& chunks, class ReadBudget* budget = nullptr);

// An XLUnicodeString (cch u16, flags, characters) that may continue in CONTINUE records, each
// of which restarts with a flags byte (the STRING record after a formula).
QString readContinuedString(const std::vector<ByteView>& chunks);
QString readContinuedString(const std::vector<Bytes>& chunks);
void writeContinuedString(Bytes& stream, std::uint16_t id, const QString& text);

// Where EXTSST finds a bucket's first string.
struct SstBucket {
    std::uint32_t streamPos;    // absolute position of the string in the workbook stream
    std::uint16_t recordOffset; // offset from the start of its SST/CONTINUE record, header included
};

// Appends SST (+ CONTINUE) records following the splitting rules: a string header is never
// split, split character data restarts with a flags byte. streamBase is the stream position of
// `stream`'s first byte; every `bucketSize`-th string's position goes to `buckets`.
void writeSst(Bytes& stream, std::size_t streamBase, const std::vector<SharedString>& strings, std::uint32_t totalUses,
              std::uint16_t bucketSize, std::vector<SstBucket>* buckets);

// EXTSST bucket size for a table of n strings.
std::uint16_t extSstBucketSize(std::size_t n);
Bytes encodeExtSst(std::uint16_t bucketSize, const std::vector<SstBucket>& buckets);

// The workbook's string pool: cells refer to entries by index; plain strings are shared.
class StringPool {
public:
    std::uint32_t add(const QString& text);
    std::uint32_t add(SharedString s);
    const SharedString& at(std::uint32_t index) const { return m_strings.at(index); }
    std::size_t size() const { return m_strings.size(); }
    void clear();

private:
    std::vector<SharedString> m_strings;
    QHash<QString, std::uint32_t> m_plain;
};

} // namespace sheet
