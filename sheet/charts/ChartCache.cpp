#include "charts/Chart.h"

#include "base/Error.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"

#include <algorithm>

namespace sheet {

namespace {

using namespace chartrec;

// Points cached per series and per chart at most, as Excel 97-2003 charts hold them;
// readers take longer series from the sheet.
constexpr int kMaxCachedPoints = 4000;
constexpr int kMaxCachedChartPoints = 32000;

struct SeriesLinks {
    SheetRange name;
    SheetRange values;
    SheetRange categories;
};

int lengthOf(const SheetRange& r)
{
    if (!r.isSet())
        return 0;
    return r.firstRow == r.lastRow ? r.lastCol - r.firstCol + 1 : r.lastRow - r.firstRow + 1;
}

Value cellValue(const Workbook& book, const SheetRange& r, int index)
{
    const Worksheet* ws = book.worksheet(r.sheet);
    if (!ws)
        return {};
    const bool across = r.firstRow == r.lastRow && r.firstCol != r.lastCol;
    return ws->value(across ? r.firstRow : r.firstRow + index, across ? r.firstCol + index : r.firstCol);
}

Record seriesText(const QString& text) { return Record{SeriesText, seriesTextBody(text.left(255))}; }

// One cached point: row = point, column = series, as Excel writes them (XF 0).
Record cachedCell(const Value& v, int point, int series)
{
    ByteWriter w;
    w.u16(static_cast<std::uint16_t>(point));
    w.u16(static_cast<std::uint16_t>(series));
    w.u16(0);
    switch (v.type()) {
    case Value::Type::Number: w.f64(v.asNumber()); return Record{Number, w.take()};
    case Value::Type::String: w.xlUnicodeString(v.asString().left(255)); return Record{Label, w.take()};
    case Value::Type::Bool:
        w.u8(v.asBool() ? 1 : 0);
        w.u8(0);
        return Record{BoolErr, w.take()};
    case Value::Type::Error:
        w.u8(static_cast<std::uint8_t>(v.asError()));
        w.u8(1);
        return Record{BoolErr, w.take()};
    case Value::Type::Empty: break;
    }
    return Record{Blank, w.take()};
}

bool isCachedCell(std::uint16_t id) { return id == Number || id == Label || id == BoolErr || id == Blank; }

// SERIESDATA: DIMENSIONS, then SIINDEX 2 (categories) and 1 (values) each followed by one
// cell record per point and series, and SIINDEX 3 (no bubbles).
RecordList cacheRecords(const Workbook& book, const std::vector<SeriesLinks>& series)
{
    int points = 0;
    for (const SeriesLinks& s : series)
        points = std::max({points, lengthOf(s.values), lengthOf(s.categories)});
    const int seriesCount = std::min<int>(static_cast<int>(series.size()), 255);
    points = std::min({points, kMaxCachedPoints, kMaxCachedChartPoints / std::max(1, seriesCount)});

    RecordList cache;
    ByteWriter dims;
    dims.u32(0);
    dims.u32(static_cast<std::uint32_t>(points));
    dims.u16(0);
    dims.u16(static_cast<std::uint16_t>(seriesCount));
    dims.u16(0);
    cache.push_back(Record{Dimensions, dims.take()});
    for (std::uint16_t kind : {std::uint16_t(2), std::uint16_t(1)}) {
        ByteWriter w;
        w.u16(kind);
        cache.push_back(Record{SIIndex, w.take()});
        for (int p = 0; p < points; ++p) {
            for (int k = 0; k < seriesCount; ++k) {
                const SheetRange& range = kind == 2 ? series[static_cast<std::size_t>(k)].categories
                                                    : series[static_cast<std::size_t>(k)].values;
                if (!range.isSet())
                    continue;
                cache.push_back(cachedCell(p < lengthOf(range) ? cellValue(book, range, p) : Value(), p, k));
            }
        }
    }
    ByteWriter bubbles;
    bubbles.u16(3);
    cache.push_back(Record{SIIndex, bubbles.take()});
    return cache;
}

} // namespace

Bytes seriesTextBody(const QString& text)
{
    // Always in two-byte characters, as Excel writes it.
    ByteWriter w;
    w.u16(0);
    w.u8(static_cast<std::uint8_t>(std::min<qsizetype>(text.size(), 255)));
    w.u8(0x01);
    w.unicodeChars(text.left(255), true);
    return w.take();
}

RecordList refreshChartCache(const Workbook& book, const RecordList& body)
{
    auto sheetFor = [&](std::uint16_t ixti) { return book.sheetForExternSheetIndex(ixti); };
    RecordList out;
    out.reserve(body.size() + 64);
    std::vector<SeriesLinks> series;
    std::size_t chartEnd = 0; // position in `out` after the CHART block's END
    try {
        int depth = 0;
        bool inSeries = false;
        bool chartOpen = false;
        for (std::size_t i = 0; i < body.size(); ++i) {
            const Record& r = body[i];
            if (r.id == Begin) {
                ++depth;
            } else if (r.id == End) {
                if (--depth < 0)
                    return body;
                if (depth == 1)
                    inSeries = false;
                if (depth == 0 && chartOpen) {
                    chartOpen = false;
                    out.push_back(r);
                    chartEnd = out.size();
                    continue;
                }
            } else if (depth == 0 && r.id == ChartRecord && chartEnd == 0) {
                chartOpen = true;
            } else if (chartOpen && depth == 1 && r.id == SeriesRecord) {
                inSeries = true;
                series.emplace_back();
            } else if (inSeries && depth == 2 && r.id == BRAI) {
                const ChartLink link = readChartLink(r.data, sheetFor);
                if (link.type == 2 && !link.range.isSet())
                    return body; // a reference we cannot follow: leave the cache alone
                if (link.type == 2 && link.range.isSet() && !link.range.isLine())
                    return body;
                SeriesLinks& s = series.back();
                if (link.id == 0 && link.range.isSet()) {
                    out.push_back(r);
                    // The name's text as the cell shows it now, after its reference.
                    QString name;
                    if (const Worksheet* ws = book.worksheet(link.range.sheet))
                        name = ws->displayText(link.range.firstRow, link.range.firstCol);
                    out.push_back(seriesText(name));
                    if (i + 1 < body.size() && body[i + 1].id == SeriesText)
                        ++i;
                    s.name = link.range;
                    continue;
                }
                if (link.id == 1)
                    s.values = link.range;
                else if (link.id == 2)
                    s.categories = link.range;
            } else if (depth == 0 && chartEnd != 0 && r.id == Dimensions) {
                // The old cache goes; the new one is written where it stood.
                while (i + 1 < body.size() && (body[i + 1].id == SIIndex || isCachedCell(body[i + 1].id)))
                    ++i;
                chartEnd = out.size();
                continue;
            }
            out.push_back(r);
        }
        if (depth != 0 || chartEnd == 0)
            return body;
    } catch (const FormatError&) {
        return body;
    }

    RecordList cache = cacheRecords(book, series);
    out.insert(out.begin() + static_cast<std::ptrdiff_t>(chartEnd), std::make_move_iterator(cache.begin()),
               std::make_move_iterator(cache.end()));
    return out;
}

} // namespace sheet
