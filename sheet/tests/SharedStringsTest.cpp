// The shared string table across CONTINUE records, both directions.
#include "TestUtil.h"

#include "biff/RecordIds.h"
#include "biff/RecordStream.h"
#include "biff/SharedStrings.h"

namespace sheet::test {
namespace {

// The SST record and its CONTINUEs as written, as chunks of bodies.
std::vector<Bytes> writtenChunks(const std::vector<SharedString>& strings, std::vector<SstBucket>* buckets = nullptr,
                                 Bytes* raw = nullptr)
{
    Bytes stream;
    appendRecord(stream, rid::kBof, Bytes(16, 0)); // something before, so positions are not 0
    writeSst(stream, 0, strings, static_cast<std::uint32_t>(strings.size()), 8, buckets);
    if (raw)
        *raw = stream;
    std::vector<Bytes> chunks;
    std::size_t pos = 20;
    while (pos + 4 <= stream.size()) {
        const std::size_t len = stream[pos + 2] | (stream[pos + 3] << 8);
        const std::uint16_t id = static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8));
        EXPECT_EQ(id, chunks.empty() ? rid::kSst : rid::kContinue);
        EXPECT_LE(len, kMaxRecordData);
        chunks.emplace_back(stream.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                            stream.begin() + static_cast<std::ptrdiff_t>(pos + 4 + len));
        pos += 4 + len;
    }
    return chunks;
}

SharedString plain(const QString& s) { return SharedString{s, {}, {}}; }

TEST(SstWriter, LatinTextSplitsWithAFlagsByteInTheContinue)
{
    const QString text(9000, QLatin1Char('x'));
    const auto chunks = writtenChunks({plain(text)});
    ASSERT_EQ(chunks.size(), 2u);
    // SST: total 1, unique 1, cch 9000 (0x2328), flags 0, then characters up to the limit
    ASSERT_EQ(chunks[0].size(), kMaxRecordData);
    EXPECT_TRUE(
        sameBytes(Bytes(chunks[0].begin(), chunks[0].begin() + 12), {1, 0, 0, 0, 1, 0, 0, 0, 0x28, 0x23, 0x00, 'x'}));
    // CONTINUE: a fresh flags byte (compressed), then the 787 remaining characters
    EXPECT_EQ(chunks[1].size(), 1u + 9000 - (kMaxRecordData - 11));
    EXPECT_EQ(chunks[1][0], 0x00);
    EXPECT_EQ(readSst(chunks)[0].text, text);
}

TEST(SstWriter, WideTextSplitsOnACharacterBoundary)
{
    const QString text(5000, QChar(0x03A9));
    const auto chunks = writtenChunks({plain(text)});
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].size(), 11u + 4106 * 2); // one byte left unused rather than half a character
    EXPECT_EQ(chunks[1][0], 0x01);
    EXPECT_EQ(chunks[1].size(), 1u + (5000 - 4106) * 2);
    EXPECT_EQ(readSst(chunks)[0].text, text);
}

TEST(SstWriter, AStringHeaderNeverSplits)
{
    // The first string leaves two bytes of room: the next header (3 bytes + a character) moves on.
    const auto chunks = writtenChunks({plain(QString(8211, QLatin1Char('a'))), plain(QStringLiteral("abc"))});
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].size(), kMaxRecordData - 2);
    EXPECT_TRUE(sameBytes(chunks[1], {3, 0, 0, 'a', 'b', 'c'})); // no flags byte before a new string
    const auto back = readSst(chunks);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].text, QStringLiteral("abc"));
}

TEST(SstWriter, RichRunsAndPhoneticDataComeBack)
{
    SharedString rich{QStringLiteral("Bold and plain"), {0, 0, 5, 0, 4, 0, 0, 0}, {1, 2, 3, 4, 5, 6}};
    const auto chunks = writtenChunks({rich, plain(QString())});
    // cch 14, flags 0x0C (runs + ext), 2 runs, 6 bytes of ext
    EXPECT_TRUE(sameBytes(Bytes(chunks[0].begin() + 8, chunks[0].begin() + 17), {14, 0, 0x0C, 2, 0, 6, 0, 0, 0}));
    const auto back = readSst(chunks);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0], rich);
    EXPECT_TRUE(back[1].text.isEmpty());
}

TEST(SstWriter, ExtSstBucketsPointAtTheirStrings)
{
    std::vector<SharedString> strings;
    for (int i = 0; i < 20; ++i)
        strings.push_back(plain(QStringLiteral("s%1").arg(i)));
    std::vector<SstBucket> buckets;
    Bytes raw;
    writtenChunks(strings, &buckets, &raw);
    ASSERT_EQ(buckets.size(), 3u);
    // bucket 0 starts at string 0: header "s0" = 02 00 00 's' '0' right after the 8-byte counts
    EXPECT_EQ(buckets[0].streamPos, 20u + 4 + 8);
    EXPECT_EQ(buckets[0].recordOffset, 12);
    for (int b = 0; b < 3; ++b) {
        const std::size_t p = buckets[static_cast<std::size_t>(b)].streamPos;
        const QString expected = QStringLiteral("s%1").arg(b * 8);
        EXPECT_EQ(raw[p], expected.size());
        EXPECT_EQ(raw[p + 3], 's');
    }
    const Bytes ext = encodeExtSst(8, buckets);
    EXPECT_EQ(ext.size(), 2u + 3 * 8);
}

TEST(SstReader, TheWidthMayChangeInTheContinue)
{
    // "ab" compressed, then the CONTINUE switches to UTF-16 for "cd"
    const std::vector<Bytes> chunks = {{1, 0, 0, 0, 1, 0, 0, 0, 4, 0, 0x00, 'a', 'b'}, {0x01, 'c', 0, 'd', 0}};
    const auto s = readSst(chunks);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].text, QStringLiteral("abcd"));
}

TEST(SstReader, HeaderEndingAtARecordEnd)
{
    const std::vector<Bytes> chunks = {{1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0x01}, {0x01, 0xAC, 0x20, 'x', 0}};
    const auto s = readSst(chunks);
    ASSERT_EQ(s.size(), 1u);
    EXPECT_EQ(s[0].text, QString::fromUtf8("\u20ACx"));
}

TEST(SstReader, ACountThatLiesReadsWhatIsThere)
{
    const std::vector<Bytes> chunks = {{9, 0, 0, 0, 0xE8, 0x03, 0, 0, 1, 0, 0, 'a', 0, 0, 0}};
    const auto s = readSst(chunks);
    ASSERT_EQ(s.size(), 2u);
    EXPECT_EQ(s[0].text, QStringLiteral("a"));
    EXPECT_TRUE(s[1].text.isEmpty());
}

TEST(SstReader, AStringCutShortIsAFormatError)
{
    EXPECT_THROW(readSst({{1, 0, 0, 0, 1, 0, 0, 0, 200, 0, 0, 'a', 'b'}}), FormatError);
    EXPECT_THROW(readSst({{1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 1, 'a', 0, 'b'}}), FormatError); // half a character
}

TEST(ContinuedString, LongFormulaTextResultsSplitAndComeBack)
{
    const QString text(9000, QChar(0x0101));
    Bytes stream;
    writeContinuedString(stream, rid::kString, text);
    const RecordList records = [&] {
        RecordList out;
        std::size_t pos = 0;
        while (pos + 4 <= stream.size()) {
            const std::size_t len = stream[pos + 2] | (stream[pos + 3] << 8);
            out.push_back(Record{static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8)),
                                 Bytes(stream.begin() + static_cast<std::ptrdiff_t>(pos + 4),
                                       stream.begin() + static_cast<std::ptrdiff_t>(pos + 4 + len))});
            pos += 4 + len;
        }
        return out;
    }();
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[1].id, rid::kContinue);
    EXPECT_EQ(records[1].data[0], 0x01);
    std::size_t i = 0;
    EXPECT_EQ(readContinuedString(gatherContinues(records, i)), text);
}

TEST(StringPool, PlainTextIsSharedRichTextIsNot)
{
    StringPool pool;
    const auto a = pool.add(QStringLiteral("x"));
    EXPECT_EQ(pool.add(QStringLiteral("x")), a);
    const auto r1 = pool.add(SharedString{QStringLiteral("x"), {0, 0, 1, 0}, {}});
    EXPECT_NE(r1, a);
    EXPECT_EQ(pool.size(), 2u);
}

} // namespace
} // namespace sheet::test
