// Hostile workbooks read by sheet-tool-engine with its address space capped at 1 GB: each is
// read or refused with the reader's own message, never left to run out of memory or crash.
// The files are written to disk as they are made, so the test itself never holds one.
#include "TestUtil.h"

#include "biff/RecordIds.h"
#include "model/Font.h"
#include "model/Sheet.h"
#include "model/Xf.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <functional>
#include <memory>

#if defined(__SANITIZE_ADDRESS__)
#define SHEET_TEST_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SHEET_TEST_UNDER_ASAN 1
#endif
#endif

namespace sheet::test {
namespace {

constexpr std::uint64_t kAddressSpace = std::uint64_t(1) << 30;
constexpr std::uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD, kDifSector = 0xFFFFFFFC;

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

void put(std::FILE* f, const Bytes& b) { ASSERT_EQ(std::fwrite(b.data(), 1, b.size(), f), b.size()); }

void put32(Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int k = 0; k < 4; ++k)
        b[at + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(v >> (8 * k));
}

struct CompoundShape {
    int sharing = 0;          // more directory entries that claim the workbook's sectors
    bool loopInChain = false; // the chain turns back into itself halfway
};

// A version 3 compound file (512-byte sectors) with the workbook stream in consecutive
// sectors from sector 0, then the directory, the FAT and the DIFAT.
void writeCompound(const QString& path, std::uint64_t size, const std::function<void(std::FILE*)>& body,
                   CompoundShape shape = {})
{
    File f(std::fopen(QFile::encodeName(path).constData(), "wb"), &std::fclose);
    ASSERT_TRUE(f);
    put(f.get(), Bytes(512, 0));
    body(f.get());
    ASSERT_EQ(static_cast<std::uint64_t>(std::ftell(f.get())), 512 + size);
    const std::uint32_t streamSectors = static_cast<std::uint32_t>((size + 511) / 512);
    put(f.get(), Bytes(streamSectors * 512ull - size, 0));

    const std::uint32_t dirSectors = static_cast<std::uint32_t>((2 + shape.sharing + 3) / 4);
    std::uint32_t fatSectors = 1, difSectors = 0;
    for (;;) {
        difSectors = fatSectors > 109 ? (fatSectors - 109 + 126) / 127 : 0;
        const std::uint32_t total = streamSectors + dirSectors + fatSectors + difSectors;
        if ((total + 127) / 128 <= fatSectors)
            break;
        fatSectors = (total + 127) / 128;
    }
    const std::uint32_t dirStart = streamSectors, fatStart = dirStart + dirSectors, difStart = fatStart + fatSectors;

    auto entry = [](const char* name, std::uint8_t type, std::uint32_t start, std::uint32_t bytes, std::uint32_t child,
                    std::uint32_t right) {
        Bytes e(128, 0);
        std::size_t n = 0;
        for (; name[n]; ++n)
            e[2 * n] = static_cast<std::uint8_t>(name[n]);
        e[64] = static_cast<std::uint8_t>(2 * n + 2);
        e[66] = type;
        e[67] = 1;
        put32(e, 68, kFree);
        put32(e, 72, right);
        put32(e, 76, child);
        put32(e, 116, start);
        put32(e, 120, bytes);
        return e;
    };
    const auto claimed = static_cast<std::uint32_t>(size);
    Bytes dir = entry("Root Entry", 5, kEnd, 0, 1, kFree);
    const Bytes workbook = entry("Workbook", 2, 0, claimed, kFree, shape.sharing ? 2 : kFree);
    dir.insert(dir.end(), workbook.begin(), workbook.end());
    for (int k = 0; k < shape.sharing; ++k) {
        const char name[] = {'X', static_cast<char>('A' + k / 26), static_cast<char>('A' + k % 26), 0};
        const Bytes e
            = entry(name, 2, 0, claimed, kFree, k + 1 < shape.sharing ? static_cast<std::uint32_t>(3 + k) : kFree);
        dir.insert(dir.end(), e.begin(), e.end());
    }
    dir.resize(dirSectors * 512ull, 0);
    put(f.get(), dir);

    Bytes fat(fatSectors * 512ull, 0xFF);
    for (std::uint32_t i = 0; i < streamSectors; ++i)
        put32(fat, 4ull * i, i + 1 < streamSectors ? i + 1 : kEnd);
    if (shape.loopInChain)
        put32(fat, 4ull * (streamSectors / 2), 1);
    for (std::uint32_t i = 0; i < dirSectors; ++i)
        put32(fat, 4ull * (dirStart + i), i + 1 < dirSectors ? dirStart + i + 1 : kEnd);
    for (std::uint32_t i = 0; i < fatSectors; ++i)
        put32(fat, 4ull * (fatStart + i), kFatSector);
    for (std::uint32_t i = 0; i < difSectors; ++i)
        put32(fat, 4ull * (difStart + i), kDifSector);
    put(f.get(), fat);
    for (std::uint32_t d = 0; d < difSectors; ++d) {
        Bytes s(512, 0xFF);
        for (std::uint32_t k = 0; k < 127; ++k) {
            const std::uint32_t fatIndex = 109 + d * 127 + k;
            if (fatIndex < fatSectors)
                put32(s, 4ull * k, fatStart + fatIndex);
        }
        put32(s, 508, d + 1 < difSectors ? difStart + d + 1 : kEnd);
        put(f.get(), s);
    }

    Bytes header(512, 0);
    const std::uint8_t signature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(signature, signature + 8, header.begin());
    const std::uint8_t versions[10] = {0x3E, 0, 3, 0, 0xFE, 0xFF, 9, 0, 6, 0};
    std::copy(versions, versions + 10, header.begin() + 24);
    put32(header, 44, fatSectors);
    put32(header, 48, dirStart);
    put32(header, 56, 4096);
    put32(header, 60, kEnd);
    put32(header, 68, difSectors ? difStart : kEnd);
    put32(header, 72, difSectors);
    for (std::uint32_t k = 0; k < 109; ++k)
        put32(header, 76 + 4ull * k, k < fatSectors ? fatStart + k : kFree);
    ASSERT_EQ(std::fseek(f.get(), 0, SEEK_SET), 0);
    put(f.get(), header);
    ASSERT_EQ(std::fflush(f.get()), 0);
}

// A workbook stream with one worksheet "S0" whose records between BOF and WINDOW2 come from
// `body` (`bodySize` bytes); `sst` goes into the globals.
void writeWorkbook(const QString& path, std::uint64_t bodySize, const std::function<void(std::FILE*)>& body,
                   const Bytes& sst = {}, CompoundShape shape = {})
{
    Bytes g = recordBytes(rid::kBof, standardBof(rid::kBofGlobals));
    auto add = [&](std::uint16_t id, const Bytes& b) {
        const Bytes r = recordBytes(id, b);
        g.insert(g.end(), r.begin(), r.end());
    };
    add(rid::kFont, Font().encode());
    for (int i = 0; i < 16; ++i)
        add(rid::kXf, cellXf(0, 0).encode());
    const std::size_t sheetPosAt = g.size() + 4;
    add(rid::kBoundSheet, {0, 0, 0, 0, 0, 0, 2, 0, 'S', '0'});
    g.insert(g.end(), sst.begin(), sst.end());
    add(rid::kEof, {});
    put32(g, sheetPosAt, static_cast<std::uint32_t>(g.size()));
    add(rid::kBof, standardBof(rid::kBofWorksheet));
    Bytes tail = recordBytes(rid::kWindow2, Bytes(18, 0));
    const Bytes eof = recordBytes(rid::kEof, {});
    tail.insert(tail.end(), eof.begin(), eof.end());
    writeCompound(
        path, g.size() + bodySize + tail.size(),
        [&](std::FILE* f) {
            put(f, g);
            body(f);
            put(f, tail);
        },
        shape);
}

// `count` copies of `record`, written a few thousand at a time.
std::function<void(std::FILE*)> repeated(const Bytes& record, std::uint64_t count)
{
    return [record, count](std::FILE* f) {
        Bytes batch;
        for (int k = 0; k < 4096; ++k)
            batch.insert(batch.end(), record.begin(), record.end());
        for (std::uint64_t done = 0; done < count; done += 4096) {
            if (count - done < 4096)
                batch.resize((count - done) * record.size());
            put(f, batch);
        }
    };
}

struct ToolRun {
    int exitCode = -1;
    bool crashed = false;
    QString out;
    QString err;
};

ToolRun dumpWithin1GB(const QString& path)
{
    QProcess p;
    p.setChildProcessModifier([] {
        const rlimit limit{kAddressSpace, kAddressSpace};
        ::setrlimit(RLIMIT_AS, &limit);
    });
    p.start(QStringLiteral(SHEET_TOOL_ENGINE), {QStringLiteral("dump"), path});
    ToolRun r;
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        r.crashed = true;
        r.err = QStringLiteral("did not finish");
        return r;
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError()).trimmed();
    return r;
}

// A sparse file just under the reader's 512 MB whose small-sector table is a chain through a
// million sectors: no stream is readable, but libgsf would hold 128 million small sectors.
void writeLongSmallSectorTable(const QString& path)
{
    const std::uint64_t fileSize = (std::uint64_t(512) << 20) - 4096;
    const std::uint32_t sectors = static_cast<std::uint32_t>((fileSize - 512) / 512);
    const std::uint32_t fatSectors = (sectors + 127) / 128;
    const std::uint32_t difSectors = (fatSectors - 109 + 126) / 127;
    const std::uint32_t fatStart = 1, difStart = fatStart + fatSectors, chainStart = difStart + difSectors;
    const std::uint32_t chain = sectors - chainStart - 16;

    Bytes header(512, 0);
    const std::uint8_t lead[] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    std::copy(lead, lead + 8, header.begin());
    const std::uint8_t versions[10] = {0x3E, 0, 3, 0, 0xFE, 0xFF, 9, 0, 6, 0};
    std::copy(versions, versions + 10, header.begin() + 24);
    put32(header, 44, fatSectors);
    put32(header, 48, 0);
    put32(header, 56, 4096);
    put32(header, 60, chainStart);
    put32(header, 64, chain);
    put32(header, 68, difStart);
    put32(header, 72, difSectors);
    for (std::uint32_t k = 0; k < 109; ++k)
        put32(header, 76 + 4ull * k, fatStart + k);

    Bytes dir(512, 0);
    const char* names[2] = {"Root Entry", "Workbook"};
    for (int e = 0; e < 2; ++e) {
        const std::size_t at = 128 * static_cast<std::size_t>(e);
        std::size_t n = 0;
        for (; names[e][n]; ++n)
            dir[at + 2 * n] = static_cast<std::uint8_t>(names[e][n]);
        dir[at + 64] = static_cast<std::uint8_t>(2 * n + 2);
        dir[at + 66] = e == 0 ? 5 : 2;
        dir[at + 67] = 1;
        put32(dir, at + 68, kFree);
        put32(dir, at + 72, kFree);
        put32(dir, at + 76, e == 0 ? 1 : kFree);
        put32(dir, at + 116, e == 0 ? chainStart : 0);
        put32(dir, at + 120, e == 0 ? 64 * chain : 100);
    }

    Bytes fat(fatSectors * 512ull, 0xFF);
    put32(fat, 0, kEnd);
    for (std::uint32_t i = 0; i < fatSectors; ++i)
        put32(fat, 4ull * (fatStart + i), kFatSector);
    for (std::uint32_t i = 0; i < difSectors; ++i)
        put32(fat, 4ull * (difStart + i), kDifSector);
    for (std::uint32_t k = 0; k < chain; ++k)
        put32(fat, 4ull * (chainStart + k), k + 1 < chain ? chainStart + k + 1 : kEnd);
    Bytes dif(difSectors * 512ull, 0xFF);
    for (std::uint32_t k = 109; k < fatSectors; ++k) {
        const std::uint32_t d = (k - 109) / 127, slot = (k - 109) % 127;
        put32(dif, 512ull * d + 4 * slot, fatStart + k);
    }
    for (std::uint32_t d = 0; d < difSectors; ++d)
        put32(dif, 512ull * d + 508, d + 1 < difSectors ? difStart + d + 1 : kEnd);

    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    for (const Bytes* part : {&header, &dir, &fat, &dif})
        ASSERT_EQ(f.write(reinterpret_cast<const char*>(part->data()), static_cast<qint64>(part->size())),
                  static_cast<qint64>(part->size()));
    ASSERT_TRUE(f.resize(static_cast<qint64>(fileSize)));
}

class ReadMemory : public ::testing::Test {
protected:
    void SetUp() override
    {
#ifdef SHEET_TEST_UNDER_ASAN
        GTEST_SKIP() << "the sanitizer's shadow memory does not fit under an address-space limit";
#endif
        ASSERT_TRUE(m_dir.isValid());
    }

    QString file(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    // Refused with the reader's message, after the tool named the file.
    void expectRefused(const char* name, const char* message)
    {
        const ToolRun r = dumpWithin1GB(file(name));
        EXPECT_FALSE(r.crashed) << name << ": " << r.err.toStdString();
        EXPECT_EQ(r.exitCode, 1) << name;
        EXPECT_TRUE(
            r.err.startsWith(QStringLiteral("sheet-tool: '%1' is not a workbook: ").arg(QString::fromLatin1(name))))
            << r.err.toStdString();
        EXPECT_TRUE(r.err.contains(QString::fromLatin1(message))) << name << ": " << r.err.toStdString();
        QFile::remove(file(name));
    }

    QTemporaryDir m_dir;
};

const Bytes kBigRecord = recordBytes(0x1234, Bytes(8224, 0x5A)); // kept as it is, 8228 bytes

TEST_F(ReadMemory, AWorkbookStreamOf370MBIsRead)
{
    // Held once as the stream and once as the records the sheet keeps.
    const std::uint64_t n = (std::uint64_t(370) << 20) / kBigRecord.size();
    writeWorkbook(file("big.xls"), n * kBigRecord.size(), repeated(kBigRecord, n));
    const ToolRun r = dumpWithin1GB(file("big.xls"));
    EXPECT_FALSE(r.crashed) << r.err.toStdString();
    EXPECT_EQ(r.exitCode, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(QStringLiteral("\"activeSheet\": \"S0\""))) << r.out.left(300).toStdString();
}

TEST_F(ReadMemory, HostileWorkbooksAreRefusedWithinTheLimit)
{
    {
        // 500 MB of records the sheet would keep: the stream and its copy do not fit.
        const std::uint64_t n = (std::uint64_t(500) << 20) / kBigRecord.size();
        writeWorkbook(file("stream.xls"), n * kBigRecord.size(), repeated(kBigRecord, n));
        expectRefused("stream.xls", "too large to read");
    }
    {
        // 34 MB of MULBLANK rows describing 16.7 million cells.
        ByteWriter w;
        w.u16(0);
        w.u16(0);
        for (int c = 0; c < 256; ++c)
            w.u16(15);
        w.u16(255);
        const Bytes row = recordBytes(rid::kMulBlank, w.take());
        writeWorkbook(file("cells.xls"), 65536ull * row.size(), [&](std::FILE* f) {
            Bytes r = row;
            for (std::uint32_t i = 0; i < 65536; ++i) {
                r[4] = static_cast<std::uint8_t>(i);
                r[5] = static_cast<std::uint8_t>(i >> 8);
                put(f, r);
            }
        });
        expectRefused("cells.xls", "too large to read");
    }
    {
        // Eight million one-character strings in the shared-string table and its CONTINUEs.
        const std::uint32_t count = 8000000;
        Bytes sst;
        Bytes body = {0, 0, 0, 0, 0, 0, 0, 0};
        put32(body, 0, count);
        put32(body, 4, count);
        bool first = true;
        for (std::uint32_t i = 0; i < count; ++i) {
            if (body.size() + 4 > 8224) {
                const Bytes r = recordBytes(first ? rid::kSst : rid::kContinue, body);
                sst.insert(sst.end(), r.begin(), r.end());
                body.clear();
                first = false;
            }
            body.insert(body.end(), {1, 0, 0, static_cast<std::uint8_t>('a' + i % 26)});
        }
        const Bytes r = recordBytes(rid::kContinue, body);
        sst.insert(sst.end(), r.begin(), r.end());
        writeWorkbook(
            file("strings.xls"), 0, [](std::FILE*) {}, sst);
        expectRefused("strings.xls", "too large to read");
    }
    {
        // Sixty directory entries claim the same 40 MB chain: 2.4 GB taken out of a 40 MB file.
        const std::uint64_t n = (std::uint64_t(40) << 20) / kBigRecord.size();
        CompoundShape shape;
        shape.sharing = 60;
        writeWorkbook(file("shared.xls"), n * kBigRecord.size(), repeated(kBigRecord, n), {}, shape);
        expectRefused("shared.xls", "more than the");
    }
    {
        // A header claiming 590,000 allocation-table sectors (75 million sectors), in a sparse
        // 300 MB file: following a chain over such a table overflowed libgsf's stack.
        writeWorkbook(file("table.xls"), 10 * kBigRecord.size(), repeated(kBigRecord, 10));
        QFile f(file("table.xls"));
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.seek(44));
        ASSERT_EQ(f.write("\xB0\x00\x09\x00", 4), 4);
        ASSERT_TRUE(f.resize(qint64(300) << 20));
        f.close();
        expectRefused("table.xls", "allocation table claims 75520000 sectors");
    }
    {
        // 8 MB of tables in a sparse 512 MB file: the small-sector table's chain would have
        // had libgsf take half a gigabyte and overflow its stack.
        writeLongSmallSectorTable(file("small-sectors.xls"));
        expectRefused("small-sectors.xls", "small-sector table is longer than");
    }
    {
        // A chain that turns back on itself.
        CompoundShape shape;
        shape.loopInChain = true;
        writeWorkbook(file("loop.xls"), 1000 * kBigRecord.size(), repeated(kBigRecord, 1000), {}, shape);
        expectRefused("loop.xls", "bad compound file");
    }
}

} // namespace
} // namespace sheet::test
