#include "SheetRenderer.h"

#include "base/Error.h"
#include "render/RenderLimits.h"

#include <QFont>
#include <QGlyphRun>
#include <QRawFont>
#include <QHash>
#include <QVector>
#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <memory>

namespace sheet {

namespace {

constexpr int kTextPadding = 2;
const QColor kGridColor(0xD0, 0xD0, 0xD0);

QFont fontFor(const RenderStyle& s)
{
    QFont f(s.fontName);
    // Pixel size fixed at 96 dpi so the picture does not depend on the screen.
    f.setPixelSize(std::max(1, static_cast<int>(std::lround(s.fontPoints * 96.0 / 72.0))));
    f.setBold(s.bold);
    f.setItalic(s.italic);
    f.setUnderline(s.underline);
    f.setStrikeOut(s.strikeOut);
    f.setStyleStrategy(QFont::PreferAntialias);
    return f;
}

// Characters that need no shaping: left-to-right or neutral, no marks, no surrogates.
bool plainChar(QChar c)
{
    if (c.isSurrogate() || c.isMark() || c.unicode() < 0x20)
        return false;
    switch (c.direction()) {
    case QChar::DirL:
    case QChar::DirEN:
    case QChar::DirES:
    case QChar::DirET:
    case QChar::DirCS:
    case QChar::DirON:
    case QChar::DirWS: return true;
    default: return false;
    }
}

// Fonts and their metrics, made once per distinct look. Plain texts (every character has a
// glyph in the font itself) are laid out from cached glyph advances and drawn as glyph runs,
// which spares a full shaping pass per cell; anything else goes through QPainter::drawText.
class FontCache {
public:
    struct Entry {
        QFont font;
        QFontMetrics metrics;
        QRawFont raw;
        int hashAdvance = 0;
        int zeroAdvance = 0;
        QHash<char16_t, std::pair<quint32, int>> glyphs; // glyph index, advance in pixels
        QHash<QString, int> widths;

        bool glyph(char16_t c, quint32* index, int* advance)
        {
            auto it = glyphs.constFind(c);
            if (it == glyphs.constEnd()) {
                quint32 g = 0;
                int n = 1;
                const QChar ch(c);
                if (!raw.isValid() || !raw.glyphIndexesForChars(&ch, 1, &g, &n) || n != 1)
                    g = 0;
                QPointF adv;
                if (g != 0)
                    raw.advancesForGlyphIndexes(&g, &adv, 1);
                it = glyphs.insert(c, {g, static_cast<int>(std::lround(adv.x()))});
            }
            *index = it->first;
            *advance = it->second;
            return it->first != 0;
        }

        // Lays out text on one line; false when it needs the full text engine.
        bool layout(const QString& text, QVector<quint32>* indexes, QVector<QPointF>* positions, int* width)
        {
            int x = 0;
            if (indexes) {
                indexes->resize(text.size());
                positions->resize(text.size());
            }
            for (int i = 0; i < text.size(); ++i) {
                const QChar c = text.at(i);
                if (!plainChar(c))
                    return false;
                quint32 g;
                int adv;
                if (!glyph(c.unicode(), &g, &adv))
                    return false;
                if (indexes) {
                    (*indexes)[i] = g;
                    (*positions)[i] = QPointF(x, 0);
                }
                x += adv;
            }
            *width = x;
            return true;
        }

        int width(const QString& text)
        {
            auto it = widths.constFind(text);
            if (it != widths.constEnd())
                return *it;
            int w = 0;
            if (!layout(text, nullptr, nullptr, &w))
                w = metrics.horizontalAdvance(text);
            widths.insert(text, w);
            return w;
        }

        void draw(QPainter& p, const QPoint& at, const QString& text)
        {
            QVector<quint32> indexes;
            QVector<QPointF> positions;
            int w = 0;
            if (!layout(text, &indexes, &positions, &w)) {
                p.drawText(at, text);
                return;
            }
            QGlyphRun run;
            run.setRawFont(raw);
            run.setGlyphIndexes(indexes);
            run.setPositions(positions);
            run.setUnderline(font.underline());
            run.setStrikeOut(font.strikeOut());
            p.drawGlyphRun(QPointF(at), run);
        }
    };
    Entry& get(const RenderStyle& s)
    {
        const QString key = s.fontName + QLatin1Char('|') + QString::number(s.fontPoints) + QLatin1Char('|')
            + QLatin1Char(s.bold ? 'b' : '-') + QLatin1Char(s.italic ? 'i' : '-') + QLatin1Char(s.underline ? 'u' : '-')
            + QLatin1Char(s.strikeOut ? 's' : '-');
        for (const auto& e : m_entries)
            if (e.first == key)
                return *e.second;
        auto entry = std::make_unique<Entry>(Entry{fontFor(s), QFontMetrics(fontFor(s)), QRawFont(), 0, 0, {}, {}});
        entry->raw = QRawFont::fromFont(entry->font);
        entry->hashAdvance = entry->metrics.horizontalAdvance(QLatin1Char('#'));
        entry->zeroAdvance = entry->metrics.horizontalAdvance(QLatin1Char('0'));
        m_entries.emplace_back(key, std::move(entry));
        return *m_entries.back().second;
    }

private:
    std::vector<std::pair<QString, std::unique_ptr<Entry>>> m_entries;
};

QPen penFor(const BorderLine& line)
{
    QPen pen(line.color.isValid() ? line.color : QColor(Qt::black));
    pen.setCapStyle(Qt::SquareCap);
    switch (line.style) {
    case 2:
    case 8:
    case 10:
    case 12: pen.setWidth(2); break;
    case 5:
    case 6: pen.setWidth(3); break;
    default: pen.setWidth(1); break;
    }
    switch (line.style) {
    case 3:
    case 8: pen.setStyle(Qt::DashLine); break;
    case 4:
    case 7: pen.setStyle(Qt::DotLine); break;
    case 9:
    case 10: pen.setStyle(Qt::DashDotLine); break;
    case 11:
    case 12: pen.setStyle(Qt::DashDotDotLine); break;
    default: pen.setStyle(Qt::SolidLine); break;
    }
    return pen;
}

struct Layout {
    std::vector<int> x; // left edge of each column of the range, plus the right edge
    std::vector<int> y;
    CellRange range;
    int left(int col) const { return x[col - range.firstCol]; }
    int right(int col) const { return x[col - range.firstCol + 1]; }
    int top(int row) const { return y[row - range.firstRow]; }
    int bottom(int row) const { return y[row - range.firstRow + 1]; }
    QRect rect(const CellRange& r) const
    {
        return QRect(QPoint(left(r.firstCol), top(r.firstRow)), QPoint(right(r.lastCol) - 1, bottom(r.lastRow) - 1));
    }
};

HAlign effectiveAlign(const RenderCell& c)
{
    if (c.style.hAlign != HAlign::General)
        return c.style.hAlign;
    switch (c.kind) {
    case RenderCell::Kind::Number: return HAlign::Right;
    case RenderCell::Kind::Bool:
    case RenderCell::Kind::Error: return HAlign::Center;
    default: return HAlign::Left;
    }
}

int verticalFlag(VAlign v)
{
    switch (v) {
    case VAlign::Top: return Qt::AlignTop;
    case VAlign::Center:
    case VAlign::Justify: return Qt::AlignVCenter;
    case VAlign::Bottom: break;
    }
    return Qt::AlignBottom;
}

} // namespace

namespace {

QString rangeName(const CellRange& r)
{
    const QString first = cellName(r.firstRow, r.firstCol);
    return r.firstRow == r.lastRow && r.firstCol == r.lastCol
        ? first
        : first + QLatin1Char(':') + cellName(r.lastRow, r.lastCol);
}

CellRange normalized(const CellRange& requested)
{
    CellRange range = requested;
    if (range.lastRow < range.firstRow)
        std::swap(range.lastRow, range.firstRow);
    if (range.lastCol < range.firstCol)
        std::swap(range.lastCol, range.firstCol);
    return range;
}

Layout layoutOf(const RenderSource& source, const CellRange& range)
{
    Layout L;
    L.range = range;
    L.x.reserve(static_cast<std::size_t>(range.lastCol - range.firstCol + 2));
    L.y.reserve(static_cast<std::size_t>(range.lastRow - range.firstRow + 2));
    L.x.push_back(0);
    for (int c = range.firstCol; c <= range.lastCol; ++c)
        L.x.push_back(L.x.back() + std::max(0, source.columnWidthPixels(c)));
    L.y.push_back(0);
    for (int r = range.firstRow; r <= range.lastRow; ++r)
        L.y.push_back(L.y.back() + std::max(0, source.rowHeightPixels(r)));
    return L;
}

// One extra pixel holds the closing grid line on the right and at the bottom.
QSize sizeOf(const Layout& L) { return QSize(std::max(1, L.x.back() + 1), std::max(1, L.y.back() + 1)); }

void paintLayout(const RenderSource& source, const Layout& L, QPainter& p);

} // namespace

QSize rangePixelSize(const RenderSource& source, const CellRange& range)
{
    return sizeOf(layoutOf(source, normalized(range)));
}

namespace {

// Each cell of the range is looked at once, hidden ones too: a range of millions of cells
// would hold gigabytes of cell styles, however small its picture.
constexpr qint64 kMaxRangeCells = 1'000'000;

// The picture's own size is checked where a picture of that size is made (renderRange); a
// painter may draw the range scaled into a device of any size.
enum class SizeCheck { Picture, None };

Layout checkedLayout(const RenderSource& source, const CellRange& requested, SizeCheck check)
{
    const CellRange range = normalized(requested);
    const qint64 cells = static_cast<qint64>(range.lastRow - range.firstRow + 1) * (range.lastCol - range.firstCol + 1);
    const QString name = rangeName(range);
    if (cells > kMaxRangeCells)
        throw Error(QStringLiteral("The range %1 has %2 cells; a picture shows at most %3, so draw a smaller part")
                        .arg(name)
                        .arg(cells)
                        .arg(kMaxRangeCells));
    Layout L = layoutOf(source, range);
    if (check == SizeCheck::Picture) {
        const QSize size = sizeOf(L);
        checkPictureSize(size.width(), size.height(), QStringLiteral("The range %1").arg(name));
    }
    return L;
}

} // namespace

QSize checkedRangePixelSize(const RenderSource& source, const CellRange& range)
{
    return sizeOf(checkedLayout(source, range, SizeCheck::None));
}

void paintRange(const RenderSource& source, const CellRange& range, QPainter& painter)
{
    paintLayout(source, checkedLayout(source, range, SizeCheck::None), painter);
}

QImage renderRange(const RenderSource& source, const CellRange& requested)
{
    const Layout L = checkedLayout(source, requested, SizeCheck::Picture);
    const QSize size = sizeOf(L);
    // The painter whitens every pixel first: a fill here would be a second pass over a
    // picture of up to 400 MB.
    QImage image(size, QImage::Format_RGB32);
    QPainter p(&image);
    paintLayout(source, L, p);
    p.end();
    return image;
}

namespace {

// Draws a laid-out range: grid lines, fills, texts, then borders, as the spreadsheet layers
// them. The cells of the range are read once.
class RangePainter {
public:
    RangePainter(const RenderSource& source, const Layout& L, QPainter& p)
        : m_source(source)
        , m_L(L)
        , m_p(p)
        , m_range(L.range)
        , m_cols(L.range.lastCol - L.range.firstCol + 1)
    {
    }

    void paint();

private:
    std::size_t indexOf(int r, int c) const
    {
        return static_cast<std::size_t>(r - m_range.firstRow) * m_cols + (c - m_range.firstCol);
    }
    const RenderCell& at(int r, int c) const { return m_cells[indexOf(r, c)]; }
    int mergeAt(int r, int c) const { return m_mergeOf[indexOf(r, c)]; }
    CellRange areaOf(int r, int c) const
    {
        const int m = mergeAt(r, c);
        return m >= 0 ? m_merges[m] : CellRange{r, c, r, c};
    }
    bool isAnchor(int r, int c) const
    {
        const int m = mergeAt(r, c);
        return m < 0 || (m_merges[m].firstRow == r && m_merges[m].firstCol == c);
    }
    bool emptyAt(int r, int c) const
    {
        return c >= m_range.firstCol && c <= m_range.lastCol && mergeAt(r, c) < 0
            && at(r, c).kind == RenderCell::Kind::Empty;
    }
    void readCells();
    void paintGridAndFills();
    void paintText(int r, int c, FontCache& fonts);
    void paintWrapped(const RenderCell& cell, const QRect& cellRect, HAlign align, int indent, int vflag);
    QRect spillRoom(int r, int c, const CellRange& area, const QRect& cellRect, HAlign align, int textWidth,
                    int room) const;
    void paintBorders();

    const RenderSource& m_source;
    const Layout& m_L;
    QPainter& m_p;
    const CellRange m_range;
    const int m_cols;
    std::vector<RenderCell> m_cells;
    std::vector<CellRange> m_merges; // merged areas clipped to the range
    std::vector<int> m_mergeOf;      // each cell's merged area, or -1
};

void RangePainter::readCells()
{
    const int rows = m_range.lastRow - m_range.firstRow + 1;
    m_cells.resize(static_cast<std::size_t>(rows) * m_cols);
    for (int r = m_range.firstRow; r <= m_range.lastRow; ++r)
        for (int c = m_range.firstCol; c <= m_range.lastCol; ++c)
            m_cells[indexOf(r, c)] = m_source.cell(r, c);
    m_mergeOf.assign(m_cells.size(), -1);
    for (const CellRange& m : m_source.mergedRanges()) {
        CellRange clipped{std::max(m.firstRow, m_range.firstRow), std::max(m.firstCol, m_range.firstCol),
                          std::min(m.lastRow, m_range.lastRow), std::min(m.lastCol, m_range.lastCol)};
        if (clipped.firstRow > clipped.lastRow || clipped.firstCol > clipped.lastCol)
            continue;
        if (clipped.firstRow != m.firstRow || clipped.firstCol != m.firstCol)
            continue; // the anchor lies outside: nothing of it is drawn here
        const int index = static_cast<int>(m_merges.size());
        m_merges.push_back(clipped);
        for (int r = clipped.firstRow; r <= clipped.lastRow; ++r)
            for (int c = clipped.firstCol; c <= clipped.lastCol; ++c)
                m_mergeOf[indexOf(r, c)] = index;
    }
}

// Grid lines first; fills then cover the lines of filled cells as the spreadsheet shows them.
void RangePainter::paintGridAndFills()
{
    if (m_source.showGridlines()) {
        for (int r = m_range.firstRow; r <= m_range.lastRow; ++r) {
            for (int c = m_range.firstCol; c <= m_range.lastCol; ++c) {
                if (!isAnchor(r, c))
                    continue;
                // Each area outlines itself; shared edges are drawn twice, identically.
                const QRect rc = m_L.rect(areaOf(r, c));
                m_p.fillRect(QRect(rc.left(), rc.top(), rc.width() + 1, 1), kGridColor);
                m_p.fillRect(QRect(rc.left(), rc.bottom() + 1, rc.width() + 1, 1), kGridColor);
                m_p.fillRect(QRect(rc.left(), rc.top(), 1, rc.height() + 1), kGridColor);
                m_p.fillRect(QRect(rc.right() + 1, rc.top(), 1, rc.height() + 1), kGridColor);
            }
        }
    }
    for (int r = m_range.firstRow; r <= m_range.lastRow; ++r) {
        for (int c = m_range.firstCol; c <= m_range.lastCol; ++c) {
            if (!isAnchor(r, c))
                continue;
            const RenderCell& cell = at(r, c);
            if (cell.style.fill.isValid())
                m_p.fillRect(m_L.rect(areaOf(r, c)).adjusted(0, 0, 1, 1), cell.style.fill);
        }
    }
}

void RangePainter::paintWrapped(const RenderCell& cell, const QRect& cellRect, HAlign align, int indent, int vflag)
{
    int hflag = Qt::AlignLeft;
    if (align == HAlign::Center || align == HAlign::CenterAcross)
        hflag = Qt::AlignHCenter;
    else if (align == HAlign::Right)
        hflag = Qt::AlignRight;
    else if (align == HAlign::Justify)
        hflag = Qt::AlignJustify;
    const QRect textRect = cellRect.adjusted(kTextPadding + indent, 1, -kTextPadding, -1);
    m_p.save();
    m_p.setClipRect(cellRect, Qt::IntersectClip);
    m_p.drawText(textRect, hflag | vflag | Qt::TextWordWrap, cell.text);
    m_p.restore();
}

// How far a line of text may spill: a left-aligned line that does not wrap runs on to the
// right over empty cells, a right-aligned one to the left, a centred one both ways.
QRect RangePainter::spillRoom(int r, int c, const CellRange& area, const QRect& cellRect, HAlign align, int textWidth,
                              int room) const
{
    int clipLeft = cellRect.left();
    int clipRight = cellRect.right() + 1;
    const bool mayOverflow = at(r, c).kind == RenderCell::Kind::Text && area.firstCol == area.lastCol;
    if (mayOverflow && textWidth > room) {
        if (align == HAlign::Left || align == HAlign::Center || align == HAlign::CenterAcross
            || align == HAlign::Justify) {
            int cc = c + 1;
            while (emptyAt(r, cc) && clipRight - cellRect.left() < textWidth + 2 * kTextPadding) {
                clipRight = m_L.right(cc);
                ++cc;
            }
        }
        if (align == HAlign::Right || align == HAlign::Center || align == HAlign::CenterAcross) {
            int cc = c - 1;
            while (emptyAt(r, cc) && clipRight - clipLeft < textWidth + 2 * kTextPadding) {
                clipLeft = m_L.left(cc);
                --cc;
            }
        }
    }
    return QRect(QPoint(clipLeft, cellRect.top()), QPoint(clipRight - 1, cellRect.bottom()));
}

void RangePainter::paintText(int r, int c, FontCache& fonts)
{
    const RenderCell& cell = at(r, c);
    const CellRange area = areaOf(r, c);
    const QRect cellRect = m_L.rect(area);
    FontCache::Entry& fe = fonts.get(cell.style);
    const QFontMetrics& fm = fe.metrics;
    m_p.setFont(fe.font);
    m_p.setPen(cell.style.fontColor.isValid() ? cell.style.fontColor : QColor(Qt::black));
    const HAlign align = effectiveAlign(cell);
    const int indent = cell.style.indent * fe.zeroAdvance * 3 / 2;
    const int vflag = verticalFlag(cell.style.vAlign);
    if (cell.style.wrap && cell.kind == RenderCell::Kind::Text) {
        paintWrapped(cell, cellRect, align, indent, vflag);
        return;
    }

    QString text = cell.text;
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    int textWidth = fe.width(text);
    const int room = cellRect.width() - 2 * kTextPadding - indent;
    if (cell.kind == RenderCell::Kind::Number && textWidth > room) {
        const int hashes = std::max(1, room / std::max(1, fe.hashAdvance));
        text = QString(hashes, QLatin1Char('#'));
    }
    if (align == HAlign::Fill && !text.isEmpty()) {
        const int unit = std::max(1, fe.width(text));
        text = text.repeated(std::max(1, room / unit));
    }
    textWidth = fe.width(text);
    const QRect clip = spillRoom(r, c, area, cellRect, align, textWidth, room);

    int x = cellRect.left() + kTextPadding + indent;
    if (align == HAlign::Right)
        x = cellRect.right() + 1 - kTextPadding - textWidth;
    else if (align == HAlign::Center || align == HAlign::CenterAcross)
        x = cellRect.left() + (cellRect.width() - textWidth) / 2;
    int yBase;
    if (vflag == Qt::AlignTop)
        yBase = cellRect.top() + 1 + fm.ascent();
    else if (vflag == Qt::AlignVCenter)
        yBase = cellRect.top() + (cellRect.height() - fm.height()) / 2 + fm.ascent();
    else
        yBase = cellRect.bottom() - 1 - fm.descent();

    // Clip only when the text reaches past what it may cover.
    const bool inside = x >= clip.left() && x + textWidth <= clip.right() + 1 && yBase - fm.ascent() >= clip.top()
        && yBase + fm.descent() <= clip.bottom() + 1;
    if (!inside) {
        m_p.save();
        m_p.setClipRect(clip, Qt::IntersectClip);
    }
    fe.draw(m_p, QPoint(x, yBase), text);
    if (!inside)
        m_p.restore();
}

// Borders last. A cell's right/bottom border and its neighbour's left/top border are the
// same line; lines are gathered per pen and drawn in one call each.
void RangePainter::paintBorders()
{
    m_p.setRenderHint(QPainter::Antialiasing, false);
    std::vector<std::pair<QPen, QVector<QLine>>> lines;
    auto add = [&](const BorderLine& b, int x0, int y0, int x1, int y1) {
        if (!b.style)
            return;
        const QPen pen = penFor(b);
        if (pen.style() == Qt::SolidLine) {
            // Solid lines as filled bars: the raster engine fills far faster than it strokes.
            const int w = pen.width();
            const int lo = -(w - 1) / 2;
            const QRect bar
                = y0 == y1 ? QRect(x0 + lo, y0 + lo, x1 - x0 + w, w) : QRect(x0 + lo, y0 + lo, w, y1 - y0 + w);
            m_p.fillRect(bar, pen.color());
            return;
        }
        for (auto& entry : lines) {
            if (entry.first == pen) {
                entry.second.append(QLine(x0, y0, x1, y1));
                return;
            }
        }
        lines.push_back({pen, QVector<QLine>{QLine(x0, y0, x1, y1)}});
    };
    for (int r = m_range.firstRow; r <= m_range.lastRow; ++r) {
        for (int c = m_range.firstCol; c <= m_range.lastCol; ++c) {
            if (!isAnchor(r, c))
                continue;
            const RenderStyle& s = at(r, c).style;
            if (!s.top.style && !s.bottom.style && !s.left.style && !s.right.style)
                continue;
            const QRect rc = m_L.rect(areaOf(r, c));
            const int x0 = rc.left(), y0 = rc.top(), x1 = rc.right() + 1, y1 = rc.bottom() + 1;
            add(s.top, x0, y0, x1, y0);
            add(s.bottom, x0, y1, x1, y1);
            add(s.left, x0, y0, x0, y1);
            add(s.right, x1, y0, x1, y1);
        }
    }
    for (const auto& entry : lines) {
        m_p.setPen(entry.first);
        m_p.drawLines(entry.second);
    }
}

void RangePainter::paint()
{
    const int width = m_L.x.back() + 1;
    const int height = m_L.y.back() + 1;
    m_p.save();
    m_p.setRenderHint(QPainter::Antialiasing, false);
    m_p.fillRect(QRect(0, m_L.y.front(), width, height - m_L.y.front()), Qt::white);
    readCells();
    m_p.setRenderHint(QPainter::TextAntialiasing, true);
    paintGridAndFills();
    FontCache fonts;
    for (int r = m_range.firstRow; r <= m_range.lastRow; ++r) {
        for (int c = m_range.firstCol; c <= m_range.lastCol; ++c) {
            const RenderCell& cell = at(r, c);
            if (cell.kind != RenderCell::Kind::Empty && !cell.text.isEmpty() && isAnchor(r, c))
                paintText(r, c, fonts);
        }
    }
    paintBorders();
    m_p.restore();
}

void paintLayout(const RenderSource& source, const Layout& L, QPainter& p) { RangePainter(source, L, p).paint(); }

} // namespace

RowBands::RowBands(const RenderSource& source, const CellRange& range)
    : m_source(source)
{
    Layout L = layoutOf(source, normalized(range));
    m_range = L.range;
    m_x = std::move(L.x);
    m_y = std::move(L.y);
}

QSize RowBands::pixelSize() const { return QSize(std::max(1, m_x.back() + 1), std::max(1, m_y.back() + 1)); }

int RowBands::rowTop(int row) const
{
    const int r = std::clamp(row, m_range.firstRow, m_range.lastRow + 1);
    return m_y[static_cast<std::size_t>(r - m_range.firstRow)];
}

std::pair<int, int> RowBands::rowsBetween(int top, int bottom) const
{
    // m_y holds each row's top edge, then the range's bottom; the closing grid line below
    // it belongs to the last row.
    const auto edges = m_y.begin();
    const auto rows = m_y.end() - 1;
    const int first = static_cast<int>(std::upper_bound(edges, rows, std::max(top, 0)) - edges) - 1;
    const int last = bottom > m_y.back() ? static_cast<int>(rows - edges) - 1
                                         : static_cast<int>(std::lower_bound(edges, rows, bottom) - edges) - 1;
    if (top >= bottom || first > last || top > m_y.back())
        return {m_range.lastRow + 1, m_range.lastRow};
    return {m_range.firstRow + std::max(first, 0), m_range.firstRow + last};
}

namespace {

// A band grown to hold every merged area that crosses it whole (within the range), as the
// whole picture draws such an area from its top left cell.
CellRange withMergedAreas(const RenderSource& source, const CellRange& range, CellRange band)
{
    const std::vector<CellRange> merges = source.mergedRanges();
    for (bool grew = true; grew;) {
        grew = false;
        for (const CellRange& m : merges) {
            if (m.lastRow < band.firstRow || m.firstRow > band.lastRow || m.lastCol < range.firstCol
                || m.firstCol > range.lastCol)
                continue;
            const int first = std::max(m.firstRow, range.firstRow);
            const int last = std::min(m.lastRow, range.lastRow);
            if (first < band.firstRow || last > band.lastRow) {
                band.firstRow = std::min(band.firstRow, first);
                band.lastRow = std::max(band.lastRow, last);
                grew = true;
            }
        }
    }
    return band;
}

} // namespace

void RowBands::paintRows(QPainter& painter, int firstRow, int lastRow) const
{
    firstRow = std::max(firstRow, m_range.firstRow);
    lastRow = std::min(lastRow, m_range.lastRow);
    if (firstRow > lastRow)
        return;
    // The rows next to the band are drawn too (and hidden rows next to them): their borders
    // lie on the band's edges. The clip keeps their own pixels out.
    const auto height = [&](int r) { return m_y[static_cast<std::size_t>(r - m_range.firstRow + 1)] - rowTop(r); };
    CellRange band{std::max(firstRow - 1, m_range.firstRow), m_range.firstCol, std::min(lastRow + 1, m_range.lastRow),
                   m_range.lastCol};
    while (band.firstRow > m_range.firstRow && height(band.firstRow) == 0)
        --band.firstRow;
    while (band.lastRow < m_range.lastRow && height(band.lastRow) == 0)
        ++band.lastRow;
    band = withMergedAreas(m_source, m_range, band);
    const qint64 cells = static_cast<qint64>(band.rowCount()) * band.colCount();
    if (cells > kMaxRangeCells)
        throw Error(QStringLiteral("The rows %1 to %2 have %3 cells; a picture shows at most %4, so draw fewer rows")
                        .arg(band.firstRow + 1)
                        .arg(band.lastRow + 1)
                        .arg(cells)
                        .arg(kMaxRangeCells));
    Layout L;
    L.range = band;
    L.x = m_x;
    const auto from = m_y.begin() + (band.firstRow - m_range.firstRow);
    L.y.assign(from, from + band.rowCount() + 1);
    const int top = rowTop(firstRow);
    const int bottom = lastRow == m_range.lastRow ? m_y.back() + 1 : rowTop(lastRow + 1);
    painter.save();
    painter.setClipRect(QRect(0, top, m_x.back() + 1, bottom - top), Qt::IntersectClip);
    paintLayout(m_source, L, painter);
    painter.restore();
}

} // namespace sheet
