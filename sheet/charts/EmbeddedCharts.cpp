#include "charts/EmbeddedCharts.h"

#include "base/Error.h"
#include "biff/RecordStream.h"
#include "charts/ChartRenderer.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "render/Render.h"

namespace sheet {

namespace {

constexpr std::uint16_t kBof = 0x0809;
constexpr std::uint16_t kEof = 0x000A;
constexpr std::uint16_t kObj = 0x005D;
constexpr std::uint16_t kMsoDrawing = 0x00EC;
constexpr std::uint16_t kContinue = 0x003C;
constexpr std::uint16_t kBofChart = 0x0020;
constexpr std::uint16_t kClientAnchor = 0xF010;
constexpr std::uint16_t kObjChart = 0x0005;

std::uint16_t u16(const Bytes& b, std::size_t at) { return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8)); }

std::uint32_t u32(const Bytes& b, std::size_t at)
{
    return static_cast<std::uint32_t>(u16(b, at)) | (static_cast<std::uint32_t>(u16(b, at + 2)) << 16);
}

bool isChartBof(const Record& r) { return r.id == kBof && r.data.size() >= 4 && u16(r.data, 2) == kBofChart; }

// The object type of an OBJ record (its first subrecord, ftCmo).
int objectType(const Record& r) { return r.data.size() >= 6 && u16(r.data, 0) == 0x0015 ? u16(r.data, 4) : -1; }

// Excel carries on a sheet's drawing data in CONTINUE records once it has begun; a text box's
// CONTINUE records hold its text and runs instead, which never start with an OfficeArt header.
bool holdsDrawing(const Record& r)
{
    if (r.id == kMsoDrawing)
        return true;
    if (r.id != kContinue || r.data.size() < 8)
        return false;
    const std::uint16_t type = u16(r.data, 2);
    return type >= 0xF000 && type <= 0xF122;
}

} // namespace

std::optional<ChartAnchor> drawingAnchor(const Bytes& data)
{
    std::optional<ChartAnchor> found;
    std::size_t at = 0;
    while (at + 8 <= data.size()) {
        const std::uint16_t verInstance = u16(data, at);
        const std::uint16_t type = u16(data, at + 2);
        const std::uint32_t length = u32(data, at + 4);
        if ((verInstance & 0x000F) == 0x000F) {
            at += 8; // a container: its records follow, here or in the next drawing record
            continue;
        }
        if (length > data.size() - at - 8)
            break;
        if (type == kClientAnchor && length >= 18) {
            const std::size_t p = at + 8 + 2; // after the move and size flags
            ChartAnchor a;
            a.firstCol = u16(data, p);
            a.firstColFraction = std::min(1024, static_cast<int>(u16(data, p + 2))) / 1024.0;
            a.firstRow = u16(data, p + 4);
            a.firstRowFraction = std::min(256, static_cast<int>(u16(data, p + 6))) / 256.0;
            a.lastCol = u16(data, p + 8);
            a.lastColFraction = std::min(1024, static_cast<int>(u16(data, p + 10))) / 1024.0;
            a.lastRow = u16(data, p + 12);
            a.lastRowFraction = std::min(256, static_cast<int>(u16(data, p + 14))) / 256.0;
            if (a.firstCol < kMaxCols && a.lastCol < kMaxCols && a.firstRow < kMaxRows && a.lastRow < kMaxRows
                && a.firstCol <= a.lastCol && a.firstRow <= a.lastRow)
                found = a;
        }
        at += 8 + length;
    }
    return found;
}

std::vector<EmbeddedChart> embeddedChartsIn(const RecordList& sheet)
{
    std::vector<EmbeddedChart> out;
    std::optional<ChartAnchor> anchor;
    bool chartObject = false;
    // The sheet's own BOF is first; a chart's BOF opens a substream that runs to its EOF.
    for (std::size_t i = 1; i < sheet.size(); ++i) {
        const Record& r = sheet[i];
        if (holdsDrawing(r)) {
            if (auto a = drawingAnchor(r.data))
                anchor = a;
        } else if (r.id == kObj) {
            chartObject = objectType(r) == kObjChart;
            if (!chartObject)
                anchor.reset(); // that anchor was this object's, not a chart's to come
        } else if (r.id == kBof) {
            std::size_t end = i + 1;
            int depth = 1;
            for (; end < sheet.size() && depth > 0; ++end)
                depth += sheet[end].id == kBof ? 1 : sheet[end].id == kEof ? -1 : 0;
            if (isChartBof(r)) {
                const bool closed = depth == 0;
                EmbeddedChart chart;
                chart.records.assign(sheet.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                                     sheet.begin() + static_cast<std::ptrdiff_t>(closed ? end - 1 : end));
                if (chartObject)
                    chart.anchor = anchor;
                out.push_back(std::move(chart));
            }
            anchor.reset();
            chartObject = false;
            i = end - 1;
        }
    }
    return out;
}

std::vector<EmbeddedChart> embeddedChartList(const Workbook& book, int sheetIndex)
{
    if (sheetIndex < 0 || sheetIndex >= book.sheetCount())
        throw Error(QStringLiteral("There is no sheet %1 in the workbook").arg(sheetIndex + 1));
    const Worksheet* sheet = book.worksheet(sheetIndex);
    if (!sheet)
        return {};
    // The drawings (MSODRAWING, OBJ) are records the worksheet keeps as they are, in file
    // order, and its embedded substreams a list of their own.
    RecordList records{Record{kBof, sheet->bof()}};
    for (const Record& r : sheet->keptRecords())
        records.push_back(r);
    return embeddedChartsIn(records);
}

QRectF anchorRect(const Worksheet& sheet, const CellRange& range, const ChartAnchor& a)
{
    // Pixel edges as the range's picture lays them out, counted from its first cell.
    auto columnX = [&](int col, double fraction) {
        double x = 0;
        for (int c = range.firstCol; c < col; ++c)
            x += columnPixelWidth(sheet, c);
        for (int c = col; c < range.firstCol; ++c)
            x -= columnPixelWidth(sheet, c);
        return x + fraction * columnPixelWidth(sheet, col);
    };
    auto rowY = [&](int row, double fraction) {
        double y = 0;
        for (int r = range.firstRow; r < row; ++r)
            y += rowPixelHeight(sheet, r);
        for (int r = row; r < range.firstRow; ++r)
            y -= rowPixelHeight(sheet, r);
        return y + fraction * rowPixelHeight(sheet, row);
    };
    return QRectF(QPointF(columnX(a.firstCol, a.firstColFraction), rowY(a.firstRow, a.firstRowFraction)),
                  QPointF(columnX(a.lastCol, a.lastColFraction), rowY(a.lastRow, a.lastRowFraction)));
}

void paintEmbeddedCharts(const Workbook& book, int sheetIndex, const CellRange& range, QPainter& painter,
                         QStringList* placeholders)
{
    const Worksheet* ws = book.worksheet(sheetIndex);
    if (!ws)
        return;
    const QString sheetName = book.sheet(sheetIndex).name();
    int number = 0;
    for (const EmbeddedChart& chart : embeddedChartList(book, sheetIndex)) {
        ++number;
        if (!chart.anchor)
            continue;
        const QRectF rect = anchorRect(*ws, range, *chart.anchor);
        if (rect.width() < 1 || rect.height() < 1)
            continue;
        const ChartDrawing drawing(book, chart.records, QStringLiteral("%1 chart %2").arg(sheetName).arg(number));
        if (placeholders && !drawing.placeholderText().isEmpty())
            placeholders->append(
                QStringLiteral("chart %1 of '%2': %3").arg(number).arg(sheetName, drawing.placeholderText()));
        drawing.paint(painter, rect);
    }
}

} // namespace sheet
