#include "render/Render.h"

#include "base/Error.h"
#include "model/Font.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "model/Xf.h"
#include "render/RenderLimits.h"
#include "render/SheetRenderer.h"

#include <cmath>

namespace sheet {

namespace {

// Widths are stored in 1/256 of the default font's digit width, padding included; Arial 10
// has a 7-pixel digit at 96 dpi.
constexpr int kDigitPixels = 7;

QColor colorOr(const Workbook& book, int index, const QColor& automatic)
{
    if (index == 0x40 || index == 0x41 || index == 0x7FFF || index < 0)
        return automatic;
    const QColor c = book.paletteColor(index);
    return c.isValid() ? c : automatic;
}

class WorksheetSource : public RenderSource {
public:
    explicit WorksheetSource(const Worksheet& sheet)
        : m_sheet(sheet)
        , m_book(sheet.workbook())
    {
    }

    int columnWidthPixels(int col) const override { return columnPixelWidth(m_sheet, col); }
    int rowHeightPixels(int row) const override { return rowPixelHeight(m_sheet, row); }

    bool showGridlines() const override { return m_sheet.showGridlines(); }

    std::vector<CellRange> mergedRanges() const override { return m_sheet.mergedRanges(); }

    RenderCell cell(int row, int col) const override
    {
        RenderCell out;
        const std::uint16_t xfIndex = m_sheet.cellXf(row, col);
        Xf xf;
        if (xfIndex < m_book.xfCount())
            xf = m_book.xf(xfIndex);
        styleFrom(xf, out.style);

        const Value v = m_sheet.value(row, col);
        switch (v.type()) {
        case Value::Type::Empty: return out;
        case Value::Type::Number: out.kind = RenderCell::Kind::Number; break;
        case Value::Type::String: out.kind = RenderCell::Kind::Text; break;
        case Value::Type::Bool: out.kind = RenderCell::Kind::Bool; break;
        case Value::Type::Error: out.kind = RenderCell::Kind::Error; break;
        }
        out.text = m_sheet.displayText(row, col, QLocale());
        if (out.kind == RenderCell::Kind::Text && out.text.isEmpty())
            out.kind = RenderCell::Kind::Empty;
        return out;
    }

private:
    void styleFrom(const Xf& xf, RenderStyle& s) const
    {
        if (m_book.hasFont(xf.font)) {
            const Font& f = m_book.font(xf.font);
            s.fontName = f.name;
            s.fontPoints = f.points();
            s.bold = f.bold();
            s.italic = f.italic();
            s.strikeOut = f.strikeOut();
            s.underline = f.underline != 0;
            s.fontColor = colorOr(m_book, f.color, Qt::black);
        }
        s.hAlign = static_cast<HAlign>(std::min(xf.horizontalAlignment(), 6));
        switch (xf.verticalAlignment()) {
        case Xf::Top: s.vAlign = VAlign::Top; break;
        case Xf::VCenter: s.vAlign = VAlign::Center; break;
        case Xf::VJustify: s.vAlign = VAlign::Justify; break;
        default: s.vAlign = VAlign::Bottom; break;
        }
        s.wrap = xf.wrapText();
        s.indent = xf.indent & 0x0F;
        if (xf.fillPattern() != 0)
            s.fill = colorOr(m_book, xf.fillForeground(), QColor(Qt::white));
        s.left = {xf.leftBorder(), colorOr(m_book, xf.leftBorderColor(), Qt::black)};
        s.right = {xf.rightBorder(), colorOr(m_book, xf.rightBorderColor(), Qt::black)};
        s.top = {xf.topBorder(), colorOr(m_book, xf.topBorderColor(), Qt::black)};
        s.bottom = {xf.bottomBorder(), colorOr(m_book, xf.bottomBorderColor(), Qt::black)};
    }

    const Worksheet& m_sheet;
    const Workbook& m_book;
};

} // namespace

int columnPixelWidth(const Worksheet& sheet, int col)
{
    const ColumnInfo* info = sheet.columnInfo(col);
    if (info && info->hidden())
        return 0;
    const int width = sheet.columnWidth(col);
    return static_cast<int>(std::floor((width + 18) * kDigitPixels / 256.0));
}

int rowPixelHeight(const Worksheet& sheet, int row)
{
    const RowInfo* info = sheet.rowInfo(row);
    if (info && info->hidden())
        return 0;
    return static_cast<int>(std::lround(sheet.rowHeight(row) / 15.0));
}

namespace {

CellRange checkedRange(int r1, int c1, int r2, int c2)
{
    for (int r : {r1, r2})
        if (r < 0 || r >= kMaxRows)
            throw Error(QStringLiteral("Row %1 is outside the sheet").arg(r + 1));
    for (int c : {c1, c2})
        if (c < 0 || c >= kMaxCols)
            throw Error(QStringLiteral("Column %1 is outside the sheet").arg(c + 1));
    return CellRange{r1, c1, r2, c2};
}

} // namespace

QImage renderRange(const Worksheet& sheet, int r1, int c1, int r2, int c2)
{
    const CellRange range = checkedRange(r1, c1, r2, c2);
    sheet.workbook().ensureCalculated();
    return renderRange(WorksheetSource(sheet), range);
}

void paintRange(const Worksheet& sheet, int r1, int c1, int r2, int c2, QPainter& painter)
{
    const CellRange range = checkedRange(r1, c1, r2, c2);
    sheet.workbook().ensureCalculated();
    paintRange(WorksheetSource(sheet), range, painter);
}

QSize rangePixelSize(const Worksheet& sheet, int r1, int c1, int r2, int c2)
{
    return rangePixelSize(WorksheetSource(sheet), checkedRange(r1, c1, r2, c2));
}

// The sheet's cells of the range read once; the renderer reads each of them once more.
class RangeDrawing::Source : public WorksheetSource {
public:
    Source(const Worksheet& sheet, const CellRange& range)
        : WorksheetSource(sheet)
        , m_range(range)
    {
    }

    void read()
    {
        m_cells.reserve(static_cast<std::size_t>(m_range.lastRow - m_range.firstRow + 1)
                        * static_cast<std::size_t>(m_range.lastCol - m_range.firstCol + 1));
        for (int r = m_range.firstRow; r <= m_range.lastRow; ++r)
            for (int c = m_range.firstCol; c <= m_range.lastCol; ++c)
                m_cells.push_back(WorksheetSource::cell(r, c));
    }

    RenderCell cell(int row, int col) const override
    {
        if (!m_range.contains(row, col))
            return WorksheetSource::cell(row, col);
        const int cols = m_range.lastCol - m_range.firstCol + 1;
        return m_cells[static_cast<std::size_t>(row - m_range.firstRow) * static_cast<std::size_t>(cols)
                       + static_cast<std::size_t>(col - m_range.firstCol)];
    }

    const std::vector<RenderCell>& cells() const { return m_cells; }

private:
    CellRange m_range;
    std::vector<RenderCell> m_cells;
};

RangeDrawing::RangeDrawing(const Worksheet& sheet, int r1, int c1, int r2, int c2)
{
    const CellRange requested = checkedRange(r1, c1, r2, c2);
    m_range = CellRange{std::min(r1, r2), std::min(c1, c2), std::max(r1, r2), std::max(c1, c2)};
    m_source = std::make_unique<Source>(sheet, m_range);
    m_size = checkedRangePixelSize(*m_source, requested);
    sheet.workbook().ensureCalculated();
    m_source->read();
}

RangeDrawing::~RangeDrawing() = default;

const std::vector<RenderCell>& RangeDrawing::cells() const { return m_source->cells(); }

void RangeDrawing::paint(QPainter& painter) const { paintRange(*m_source, m_range, painter); }

class RangeRows::Source : public WorksheetSource {
public:
    using WorksheetSource::WorksheetSource;
};

RangeRows::RangeRows(const Worksheet& sheet, int r1, int c1, int r2, int c2)
{
    const CellRange range = checkedRange(r1, c1, r2, c2);
    sheet.workbook().ensureCalculated();
    m_source = std::make_unique<Source>(sheet);
    m_bands = std::make_unique<RowBands>(*m_source, range);
}

RangeRows::~RangeRows() = default;

QSize RangeRows::pixelSize() const { return m_bands->pixelSize(); }

int RangeRows::rowTop(int row) const { return m_bands->rowTop(row); }

std::pair<int, int> RangeRows::rowsBetween(int top, int bottom) const { return m_bands->rowsBetween(top, bottom); }

void RangeRows::paintRows(QPainter& painter, int firstRow, int lastRow) const
{
    m_bands->paintRows(painter, firstRow, lastRow);
}

void RangeRows::paintView(QPainter& painter, int top, int height, int keptRows) const
{
    const CellRange& range = m_bands->range();
    const int keptLast = std::min(range.firstRow + std::max(keptRows, 0), range.lastRow + 1) - 1;
    const int keptHeight = std::min(m_bands->rowTop(keptLast + 1), height);
    const int scrolled = std::max(top, 0) + keptHeight;
    painter.save();
    painter.fillRect(QRect(0, 0, pixelSize().width(), height), Qt::white);
    if (keptHeight > 0) {
        painter.save();
        painter.setClipRect(QRect(0, 0, pixelSize().width(), keptHeight), Qt::IntersectClip);
        m_bands->paintRows(painter, range.firstRow, keptLast);
        painter.restore();
    }
    if (height > keptHeight) {
        const std::pair<int, int> rows = m_bands->rowsBetween(scrolled, scrolled + height - keptHeight);
        painter.setClipRect(QRect(0, keptHeight, pixelSize().width(), height - keptHeight), Qt::IntersectClip);
        painter.translate(0, keptHeight - scrolled);
        m_bands->paintRows(painter, rows.first, rows.second);
    }
    painter.restore();
}

QImage RangeRows::renderView(int top, int height, int keptRows) const
{
    const int width = pixelSize().width();
    checkPictureSize(width, height, QStringLiteral("The view"));
    QImage image(width, height, QImage::Format_RGB32);
    QPainter p(&image);
    paintView(p, top, height, keptRows);
    p.end();
    return image;
}

} // namespace sheet
