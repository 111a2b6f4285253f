// Broken inputs, each with the error it must produce. None may crash or hang.
#include "TestUtil.h"

#include "biff/Compound.h"
#include "biff/RecordIds.h"
#include "model/Sheet.h"
#include "model/Workbook.h"
#include "model/Xf.h"
#include "io/WorkbookFile.h"

#include <QTemporaryDir>

#include <functional>

namespace sheet::test {
namespace {

Record rec(std::uint16_t id, Bytes body = {}) { return Record{id, std::move(body)}; }

Record boundSheet(const char* name)
{
    ByteWriter w;
    w.u32(0);
    w.u8(0);
    w.u8(0);
    w.shortXLUnicodeString(QString::fromLatin1(name));
    return rec(rid::kBoundSheet, w.take());
}

Record cell(std::uint16_t id, int row, int col, std::uint16_t xf, const Bytes& rest)
{
    ByteWriter w;
    w.u16(static_cast<std::uint16_t>(row));
    w.u16(static_cast<std::uint16_t>(col));
    w.u16(xf);
    w.bytes(rest);
    return rec(id, w.take());
}

// A small valid workbook as records, for the cases to break one piece of.
struct Stream {
    RecordList globals;
    std::vector<RecordList> sheets;

    Stream()
    {
        Font f;
        globals = {rec(rid::kBof, standardBof(rid::kBofGlobals)), rec(rid::kFont, f.encode())};
        for (int i = 0; i < 16; ++i)
            globals.push_back(rec(rid::kXf, cellXf(0, 0).encode()));
        globals.push_back(boundSheet("Data"));
        globals.push_back(rec(rid::kSst, {1, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 'h', 'i'}));
        globals.push_back(rec(rid::kEof));
        sheets.push_back({rec(rid::kBof, standardBof(rid::kBofWorksheet)), cell(rid::kLabelSst, 0, 0, 15, {0, 0, 0, 0}),
                          rec(rid::kWindow2, Bytes(18, 0)), rec(rid::kEof)});
    }

    // Concatenates, pointing the BOUNDSHEET records at the sheets unless told otherwise.
    Bytes build(bool patchOffsets = true) const
    {
        Bytes g;
        std::vector<std::size_t> at;
        for (const Record& r : globals) {
            if (r.id == rid::kBoundSheet)
                at.push_back(g.size() + 4);
            appendRecord(g, r);
        }
        std::size_t pos = g.size();
        for (std::size_t i = 0; i < sheets.size(); ++i) {
            if (patchOffsets && i < at.size())
                for (int k = 0; k < 4; ++k)
                    g[at[i] + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(pos >> (8 * k));
            for (const Record& r : sheets[i])
                appendRecord(g, r);
            pos = g.size();
        }
        return g;
    }
};

Bytes compoundWith(const Bytes& stream)
{
    CompoundFile f;
    f.workbook = stream;
    return f.toBytes();
}

struct BrokenCase {
    const char* name;
    std::function<Bytes()> bytes; // a whole file
    const char* message;          // what the error must say
};

Bytes streamCase(const std::function<void(Stream&)>& change)
{
    Stream s;
    change(s);
    return compoundWith(s.build());
}

const BrokenCase kCases[] = {
    {"empty file", [] { return Bytes{}; }, "bad compound file header"},
    {"text file", [] { return Bytes(600, 'x'); }, "bad compound file header"},
    {"signature then zeros",
     [] {
         Bytes b(1536, 0);
         const std::uint8_t sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
         std::copy(sig, sig + 8, b.begin());
         return b;
     },
     "bad compound file"},
    {"truncated container",
     [] {
         Bytes b = compoundWith(Stream().build());
         b.resize(b.size() / 2 + 1);
         return b;
     },
     "bad compound file"},
    {"no workbook stream",
     [] {
         Bytes b = compoundWith(Stream().build());
         // rename the directory entry "Workbook" (UTF-16) to "Wxrkbook"
         for (std::size_t i = 0; i + 4 < b.size(); ++i)
             if (b[i] == 'W' && b[i + 1] == 0 && b[i + 2] == 'o' && b[i + 3] == 0 && b[i + 4] == 'r')
                 b[i + 2] = 'x';
         return b;
     },
     "holds no workbook stream"},
    {"stream size larger than the file",
     [] {
         Stream s;
         s.sheets[0].insert(s.sheets[0].begin() + 1, rec(0x00FE, Bytes(5000, 0))); // big-block stream
         Bytes b = compoundWith(s.build());
         for (std::size_t i = 512; i + 128 <= b.size(); i += 128)
             if (b[i] == 'W' && b[i + 2] == 'o' && b[i + 4] == 'r') {
                 b[i + 0x78] = 0xFF;
                 b[i + 0x79] = 0xFF;
                 b[i + 0x7A] = 0x7F;
             }
         return b;
     },
     "holds no workbook stream"}, // libgsf drops an entry whose size cannot be right
    {"empty workbook stream", [] { return compoundWith({}); }, "the workbook stream is empty"},
    {"no BOF first", [] { return streamCase([](Stream& s) { s.globals[0].id = rid::kFont; }); }, "expected a BOF"},
    {"BIFF5 workbook", [] { return streamCase([](Stream& s) { s.globals[0].data[1] = 0x05; }); },
     "an Excel 5.0/95 (BIFF5) workbook; only Excel 97-2003 (BIFF8) workbooks are read"},
    {"worksheet where the globals belong", [] { return streamCase([](Stream& s) { s.globals[0].data[2] = 0x10; }); },
     "does not start with the workbook globals"},
    {"encrypted",
     [] { return streamCase([](Stream& s) {
              s.globals.insert(s.globals.begin() + 1, rec(rid::kFilePass, {0, 0}));
          }); },
     "encrypted"},
    {"no XF records",
     [] {
         return streamCase([](Stream& s) {
             s.globals.erase(
                 std::remove_if(s.globals.begin(), s.globals.end(), [](const Record& r) { return r.id == rid::kXf; }),
                 s.globals.end());
         });
     },
     "no cell formats"},
    {"record running past the end",
     [] {
         Bytes b = Stream().build();
         b[2] = 0xFF; // BOF claims 255 bytes... then the next records overrun
         b[3] = 0x7F;
         return compoundWith(b);
     },
     "runs past the end of the stream"},
    {"sheet offset past the end",
     [] {
         Stream s;
         Bytes b = s.build();
         // find the BOUNDSHEET and point it far away
         for (std::size_t i = 0; i + 8 < b.size(); ++i)
             if (b[i] == 0x85 && b[i + 1] == 0x00) {
                 b[i + 4] = 0xFF;
                 b[i + 5] = 0xFF;
                 b[i + 6] = 0x0F;
                 break;
             }
         return compoundWith(b);
     },
     "starts past the end of the stream"},
    {"sheet offset not at a BOF",
     [] {
         Stream s;
         Bytes b = s.build(false); // offsets left at 0 + 4: inside the globals' BOF
         for (std::size_t i = 0; i + 8 < b.size(); ++i)
             if (b[i] == 0x85 && b[i + 1] == 0x00) {
                 b[i + 4] = 4;
                 break;
             }
         return compoundWith(b);
     },
     "expected a BOF"},
    {"shared string index out of range",
     [] { return streamCase([](Stream& s) {
              s.sheets[0][1] = cell(rid::kLabelSst, 0, 0, 15, {7, 0, 0, 0});
          }); },
     "refers to shared string 7"},
    {"cell format out of range",
     [] { return streamCase([](Stream& s) {
              s.sheets[0][1] = cell(rid::kLabelSst, 0, 0, 99, {0, 0, 0, 0});
          }); },
     "uses cell format 99"},
    {"column outside the sheet",
     [] { return streamCase([](Stream& s) { s.sheets[0][1] = cell(rid::kBlank, 0, 300, 15, {}); }); },
     "outside the sheet"},
    {"MULRK count and range disagree",
     [] {
         return streamCase([](Stream& s) {
             s.sheets[0][1] = rec(rid::kMulRk, {0, 0, 1, 0, 15, 0, 2, 0, 0, 0, 15, 0, 6, 0, 0, 0, 9, 0});
         });
     },
     "cell count and column range disagree"},
    {"truncated NUMBER",
     [] { return streamCase([](Stream& s) {
              s.sheets[0][1] = cell(rid::kNumber, 0, 0, 15, {1, 2, 3});
          }); },
     "shorter than its content"},
    {"formula longer than its record",
     [] {
         return streamCase([](Stream& s) {
             s.sheets[0][1]
                 = cell(rid::kFormula, 0, 0, 15, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF, 0x00, 0x1E});
         });
     },
     "shorter than its content"},
    {"shared strings cut short",
     [] {
         return streamCase([](Stream& s) {
             for (Record& r : s.globals)
                 if (r.id == rid::kSst)
                     r.data = {1, 0, 0, 0, 1, 0, 0, 0, 50, 0, 0, 'h', 'i'};
         });
     },
     "ends inside a string"},
    {"short WINDOW1",
     [] { return streamCase([](Stream& s) {
              s.globals.insert(s.globals.begin() + 1, rec(rid::kWindow1, {0, 0}));
          }); },
     "WINDOW1 record is too short"},
    {"BOF nested inside the globals",
     [] { return streamCase([](Stream& s) { s.globals.insert(s.globals.begin() + 1, s.globals[0]); }); }, "BOF"},
    // Older Excel files say what they are: BIFF2 to BIFF4 are bare streams, no compound file.
    {"Excel 4.0 workbook", [] { return Bytes{0x09, 0x04, 0x06, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}; },
     "an Excel 4.0 (BIFF4) workbook; only Excel 97-2003 (BIFF8) workbooks are read"},
    {"Excel 3.0 worksheet", [] { return Bytes{0x09, 0x02, 0x06, 0x00, 0x00, 0x00, 0x10, 0x00, 0x00, 0x00}; },
     "an Excel 3.0 (BIFF3) worksheet"},
    {"Excel 2.1 worksheet", [] { return Bytes{0x09, 0x00, 0x04, 0x00, 0x00, 0x00, 0x10, 0x00}; },
     "an Excel 2.x (BIFF2) worksheet"},
    {"a small file that would take gigabytes",
     [] {
         // MULBLANK rows: two bytes a cell in the file, some 200 in memory
         return streamCase([](Stream& s) {
             for (int r = 1; r < 20000; ++r) {
                 ByteWriter w;
                 w.u16(static_cast<std::uint16_t>(r));
                 w.u16(0);
                 for (int c = 0; c < 256; ++c)
                     w.u16(15);
                 w.u16(255);
                 s.sheets[0].insert(s.sheets[0].end() - 2, rec(rid::kMulBlank, w.take()));
             }
         });
     },
     "too large to read"},
};

void PrintTo(const BrokenCase& c, std::ostream* os) { *os << c.name; }

class BrokenFile : public ::testing::TestWithParam<BrokenCase> { };

TEST_P(BrokenFile, IsRefusedWithItsMessage)
{
    const BrokenCase& c = GetParam();
    try {
        auto book = workbookFromBytes(c.bytes());
        FAIL() << c.name << ": was accepted";
    } catch (const FormatError& e) {
        EXPECT_TRUE(e.message().contains(QString::fromLatin1(c.message)))
            << c.name << ": got \"" << e.message().toStdString() << "\", expected it to contain \"" << c.message << '"';
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenFile, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<BrokenCase>& tested) {
                             std::string n = tested.param.name;
                             for (char& ch : n)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return n;
                         });

TEST(BrokenFile, TheValidBaseOfTheTableOpens)
{
    auto book = workbookFromBytes(compoundWith(Stream().build()));
    EXPECT_EQ(book->worksheet(0)->value(0, 0), Value::string(QStringLiteral("hi")));
}

TEST(BrokenFile, LoadNamesTheFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("x.xls"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("not a workbook at all, just some text that is long enough");
    f.close();
    try {
        loadWorkbook(path);
        FAIL();
    } catch (const FormatError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("'x.xls' is not a workbook: bad compound file header"));
    }
    EXPECT_THROW(loadWorkbook(dir.filePath(QStringLiteral("missing.xls"))), Error);
}

TEST(BrokenFile, OlderExcelFilesAreNamedByLoad)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("old.xls"));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray::fromHex("090406000000000100000a000000"));
    f.close();
    try {
        loadWorkbook(path);
        FAIL();
    } catch (const UnsupportedFormatError& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral(
                      "'old.xls' is an Excel 4.0 (BIFF4) workbook; only Excel 97-2003 (BIFF8) workbooks are read"));
    }
}

TEST(BrokenFile, WhatOtherWritersGetWrongStillReads)
{
    Stream s;
    // A FORMAT record whose text is one character short (cch 5, four characters).
    s.globals.insert(s.globals.begin() + 2, rec(rid::kFormat, {0xA4, 0x00, 0x05, 0x00, 0x00, '0', '.', '0', '0'}));
    // A row with the default-height flag: 0x8000, not 32768 twips.
    s.sheets[0].insert(s.sheets[0].begin() + 1,
                       rec(rid::kRow, {0, 0, 0, 0, 1, 0, 0x00, 0x80, 0, 0, 0, 0, 0x00, 0x01, 0x0F, 0x00}));
    // A formula under the id BIFF3 and BIFF4 used (0x0406): 1+2.
    s.sheets[0].insert(s.sheets[0].begin() + 3, cell(0x0406, 0, 1, 15, {0, 0, 0, 0, 0,    0, 0, 0,    0, 0, 0,   0,
                                                                        0, 0, 7, 0, 0x1E, 1, 0, 0x1E, 2, 0, 0x03}));
    const Bytes file = compoundWith(s.build());
    auto book = workbookFromBytes(file);
    EXPECT_EQ(book->numberFormat(0xA4), QStringLiteral("0.00"));
    Worksheet* ws = book->worksheet(0);
    EXPECT_EQ(ws->rowHeight(0), ws->defaultRowHeight());
    EXPECT_EQ(ws->formulaText(0, 1), QStringLiteral("=1+2"));
    book->recalculate();
    EXPECT_EQ(ws->value(0, 1), Value::number(3));
    // The row goes back as it came; the formula as a FORMULA record of today.
    auto again = workbookFromBytes(workbookToBytes(*book));
    EXPECT_EQ(again->worksheet(0)->rowInfo(0)->height, 0x8000);
    EXPECT_EQ(again->worksheet(0)->formulaText(0, 1), QStringLiteral("=1+2"));
}

TEST(BrokenFile, LooseEndsAreTolerated)
{
    // Zero padding after the last EOF, a missing final EOF on the last sheet, a STRING with no
    // formula before it and a reversed merged range: the file opens.
    Stream s;
    s.sheets[0].insert(s.sheets[0].begin() + 2, rec(rid::kString, {1, 0, 0, 'z'}));
    s.sheets[0].insert(s.sheets[0].begin() + 2, rec(rid::kMergedCells, {1, 0, 5, 0, 1, 0, 0, 0, 0, 0}));
    s.sheets[0].pop_back();
    Bytes b = s.build();
    b.resize(b.size() + 700, 0);
    auto book = workbookFromBytes(compoundWith(b));
    EXPECT_EQ(book->worksheet(0)->value(0, 0), Value::string(QStringLiteral("hi")));
    EXPECT_TRUE(book->worksheet(0)->mergedRanges().empty());
    EXPECT_NO_THROW(workbookToBytes(*book));
}

} // namespace
} // namespace sheet::test
