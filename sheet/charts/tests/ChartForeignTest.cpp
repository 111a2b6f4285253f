// Charts written by another program: LibreOffice's line charts (embedded in worksheets, with a
// secondary axis) leave out records ours always write; the reader still finds the series.
#include "biff/Compound.h"
#include "biff/RecordStream.h"
#include "model/Workbook.h"
#include "charts/Chart.h"
#include "io/WorkbookFile.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace sheet;

namespace {

std::vector<Chart> chartsIn(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray raw = f.readAll();
    const Bytes bytes(raw.begin(), raw.end());
    const auto book = workbookFromBytes(bytes);
    const Bytes stream = CompoundFile::fromBytes(bytes).workbook;
    std::vector<Chart> charts;
    for (std::size_t pos = 0; pos + 8 <= stream.size();) {
        const std::uint16_t id = static_cast<std::uint16_t>(stream[pos] | (stream[pos + 1] << 8));
        const std::size_t len = static_cast<std::size_t>(stream[pos + 2] | (stream[pos + 3] << 8));
        if (id == 0x0809 && (stream[pos + 6] | (stream[pos + 7] << 8)) == 0x0020) {
            std::size_t end = 0;
            RecordList records = readSubstream(stream, pos, &end);
            records.erase(records.begin());
            records.pop_back();
            charts.push_back(
                readChartSheetBody(records, [&](std::uint16_t ixti) { return book->sheetForExternSheetIndex(ixti); }));
            pos = end;
            continue;
        }
        pos += 4 + len;
    }
    return charts;
}

} // namespace

TEST(ChartForeign, ReadsLibreOfficeLineChartsWithASecondaryAxis)
{
    const auto charts = chartsIn(QStringLiteral(SHEET_TEST_DATA "/reference-imperial.xls"));
    ASSERT_EQ(charts.size(), 3u);

    ASSERT_EQ(charts[0].series.size(), 3u);
    for (int k = 0; k < 3; ++k) {
        const ChartSeries& s = charts[0].series[static_cast<std::size_t>(k)];
        EXPECT_EQ(s.values, SheetRange::column(0, 2 + k, 5, 30));
        EXPECT_EQ(s.categories, SheetRange::column(0, 0, 5, 30));
        EXPECT_EQ(s.nameCell, SheetRange::cell(0, 4, 2 + k));
        EXPECT_FALSE(s.secondaryAxis);
    }
    EXPECT_EQ(charts[0].title, QStringLiteral("Measurements"));

    ASSERT_EQ(charts[1].series.size(), 2u);
    EXPECT_EQ(charts[1].series[1].values, SheetRange::column(0, 8, 5, 30));
    EXPECT_TRUE(charts[1].series[1].secondaryAxis);
    EXPECT_FALSE(charts[1].series[1].categories.isSet()); // LibreOffice leaves them to the first series
    EXPECT_EQ(charts[2].series[1].values, SheetRange::column(0, 7, 5, 30));
    EXPECT_TRUE(charts[2].series[1].secondaryAxis);
    EXPECT_EQ(charts[2].title, QStringLiteral("Weight and Body Fat"));
}
