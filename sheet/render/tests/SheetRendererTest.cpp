#include "base/Error.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "render/Render.h"
#include "render/SheetRenderer.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <gtest/gtest.h>

#include <map>

using namespace sheet;

namespace {

class FakeSheet : public RenderSource {
public:
    std::map<std::pair<int, int>, RenderCell> cells;
    std::vector<CellRange> merges;
    bool grid = true;
    int colWidth = 64;
    int rowHeight = 20;
    std::map<int, int> heights; // rows of another height than rowHeight

    int columnWidthPixels(int) const override { return colWidth; }
    int rowHeightPixels(int r) const override
    {
        auto it = heights.find(r);
        return it == heights.end() ? rowHeight : it->second;
    }
    bool showGridlines() const override { return grid; }
    RenderCell cell(int r, int c) const override
    {
        auto it = cells.find({r, c});
        return it == cells.end() ? RenderCell{} : it->second;
    }
    std::vector<CellRange> mergedRanges() const override { return merges; }

    RenderCell& text(int r, int c, const QString& t)
    {
        RenderCell& cell = cells[{r, c}];
        cell.kind = RenderCell::Kind::Text;
        cell.text = t;
        return cell;
    }
    RenderCell& number(int r, int c, const QString& t)
    {
        RenderCell& cell = text(r, c, t);
        cell.kind = RenderCell::Kind::Number;
        return cell;
    }
};

// Dark pixels (text) inside a rectangle.
int inkIn(const QImage& img, const QRect& rect)
{
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (qGray(img.pixel(x, y)) < 128)
                ++n;
    return n;
}

} // namespace

TEST(SheetRenderer, SizeFollowsColumnsRowsAndGridlinesShowWhenAsked)
{
    FakeSheet s;
    const QImage img = renderRange(s, {0, 0, 2, 3});
    EXPECT_EQ(img.width(), 4 * 64 + 1);
    EXPECT_EQ(img.height(), 3 * 20 + 1);
    EXPECT_NE(img.pixel(64, 10), QColor(Qt::white).rgb()); // vertical grid line
    EXPECT_NE(img.pixel(30, 20), QColor(Qt::white).rgb()); // horizontal grid line
    EXPECT_EQ(img.pixel(30, 10), QColor(Qt::white).rgb());

    s.grid = false;
    const QImage bare = renderRange(s, {0, 0, 2, 3});
    EXPECT_EQ(bare.pixel(64, 10), QColor(Qt::white).rgb());
    EXPECT_EQ(bare.pixel(30, 20), QColor(Qt::white).rgb());
}

TEST(SheetRenderer, FillsAndBordersAreDrawn)
{
    FakeSheet s;
    RenderCell& c = s.text(1, 1, QString());
    c.kind = RenderCell::Kind::Empty;
    c.style.fill = QColor(0x20, 0x60, 0xA0);
    c.style.bottom = {2, QColor(0xFF, 0, 0)};
    const QImage img = renderRange(s, {0, 0, 2, 2});
    EXPECT_EQ(QColor(img.pixel(64 + 32, 20 + 5)), QColor(0x20, 0x60, 0xA0));
    EXPECT_EQ(QColor(img.pixel(64 + 32, 40)), QColor(0xFF, 0, 0));
}

TEST(SheetRenderer, LeftTextRunsOnOverEmptyNeighboursOnly)
{
    FakeSheet s;
    s.grid = false;
    s.text(0, 0, QStringLiteral("A rather long title that needs room"));
    const QImage spilled = renderRange(s, {0, 0, 0, 3});
    EXPECT_GT(inkIn(spilled, QRect(70, 0, 50, 20)), 0);

    s.number(0, 1, QStringLiteral("1"));
    const QImage blocked = renderRange(s, {0, 0, 0, 3});
    // Only the right-aligned "1" may show in the second column.
    EXPECT_EQ(inkIn(blocked, QRect(66, 0, 40, 20)), 0);
    EXPECT_GT(inkIn(blocked, QRect(110, 0, 18, 20)), 0);
}

TEST(SheetRenderer, NumbersAlignRightAndTooWideNumbersStayInTheirCell)
{
    FakeSheet s;
    s.grid = false;
    s.number(0, 0, QStringLiteral("42"));
    const QImage img = renderRange(s, {0, 0, 0, 1});
    EXPECT_EQ(inkIn(img, QRect(0, 0, 30, 20)), 0);
    EXPECT_GT(inkIn(img, QRect(34, 0, 30, 20)), 0);

    s.number(0, 0, QStringLiteral("123456789012345678"));
    const QImage wide = renderRange(s, {0, 0, 0, 1});
    EXPECT_GT(inkIn(wide, QRect(0, 0, 64, 20)), 0);
    EXPECT_EQ(inkIn(wide, QRect(65, 0, 63, 20)), 0);
}

TEST(SheetRenderer, WrappedTextUsesSeveralLinesAndMergedAreaIsOneCell)
{
    FakeSheet s;
    s.grid = true;
    s.rowHeight = 60;
    RenderCell& w = s.text(0, 0, QStringLiteral("Estimated Body Fat Percentage"));
    w.style.wrap = true;
    w.style.vAlign = VAlign::Top;
    const QImage img = renderRange(s, {0, 0, 0, 1});
    EXPECT_GT(inkIn(img, QRect(1, 1, 62, 15)), 0);
    EXPECT_GT(inkIn(img, QRect(1, 16, 62, 15)), 0);
    EXPECT_EQ(inkIn(img, QRect(66, 1, 60, 57)), 0); // wrapped text never spills

    FakeSheet m;
    m.merges.push_back({0, 0, 0, 2});
    RenderCell& t = m.text(0, 0, QStringLiteral("X"));
    t.style.hAlign = HAlign::Center;
    const QImage merged = renderRange(m, {0, 0, 0, 2});
    EXPECT_EQ(merged.pixel(64, 10), QColor(Qt::white).rgb()); // no grid line inside the merge
    EXPECT_GT(inkIn(merged, QRect(88, 0, 16, 20)), 0);        // centred over three columns
    EXPECT_EQ(inkIn(merged, QRect(2, 0, 60, 20)), 0);
}

namespace {

// A sheet whose bands have every reason to differ from the whole picture at their edges:
// thick and double borders on both sides of row edges, a merged area reaching across rows,
// a hidden row, a tall row, fills, text that spills and wraps.
FakeSheet bandedSheet()
{
    FakeSheet s;
    s.heights[4] = 0;
    s.heights[7] = 45;
    for (int r = 0; r < 12; ++r) {
        RenderCell& t = s.text(r, 0, QStringLiteral("row %1 with a title that runs on").arg(r + 1));
        t.style.bottom = {r % 3 == 0 ? 5 : 6, QColor(0x10, 0x80, 0x10)};
        RenderCell& n = s.number(r, 2, QString::number(r * 1.25));
        n.style.top = {r % 2 ? 2 : 3, QColor(0xC0, 0, 0)};
        n.style.fill = QColor(0xF0, 0xE0, 0x90);
    }
    s.heights[3] = 20;
    s.merges.push_back({2, 3, 6, 3});
    RenderCell& m = s.text(2, 3, QStringLiteral("merged over five rows, wrapped"));
    m.style.wrap = true;
    m.style.vAlign = VAlign::Center;
    m.style.left = {5, QColor(0, 0, 0xC0)};
    return s;
}

// The pixels of rows top..bottom-1 of both pictures are the same, and the band's picture
// has nothing outside them.
void expectSameBand(const QImage& whole, const QImage& band, int top, int bottom, const char* what)
{
    SCOPED_TRACE(what);
    const QRgb untouched = qRgb(0xFF, 0x00, 0xFF);
    int differing = 0;
    int outside = 0;
    for (int y = 0; y < whole.height(); ++y)
        for (int x = 0; x < whole.width(); ++x) {
            if (y >= top && y < bottom)
                differing += whole.pixel(x, y) != band.pixel(x, y);
            else
                outside += band.pixel(x, y) != untouched;
        }
    EXPECT_EQ(differing, 0) << "rows " << top << " to " << bottom;
    EXPECT_EQ(outside, 0);
}

} // namespace

TEST(SheetRendererBands, EachBandHasTheWholePicturesPixels)
{
    const FakeSheet s = bandedSheet();
    const CellRange range{0, 0, 11, 4};
    const QImage whole = renderRange(s, range);
    const RowBands bands(s, range);
    ASSERT_EQ(bands.pixelSize(), whole.size());
    // Single rows, a band ending on the hidden row, one starting in the merged area, the
    // last row (with the closing grid line) and all of them.
    for (const auto& [first, last] :
         std::vector<std::pair<int, int>>{{0, 0}, {1, 1}, {3, 4}, {5, 6}, {4, 8}, {6, 7}, {8, 10}, {11, 11}, {0, 11}}) {
        QImage band(whole.size(), QImage::Format_RGB32);
        band.fill(qRgb(0xFF, 0x00, 0xFF));
        QPainter p(&band);
        bands.paintRows(p, first, last);
        p.end();
        const int bottom = last == range.lastRow ? whole.height() : bands.rowTop(last + 1);
        expectSameBand(whole, band, bands.rowTop(first), bottom,
                       qPrintable(QStringLiteral("rows %1 to %2").arg(first).arg(last)));
    }
}

TEST(SheetRendererBands, RowsBetweenPixelEdges)
{
    FakeSheet s;
    s.heights[2] = 0;  // hidden: never a row in view
    s.heights[3] = 45; // rows start at 0, 20, 40, 40, 85, 105; the picture ends at 125
    const RowBands bands(s, {0, 0, 5, 1});
    EXPECT_EQ(bands.rowTop(3), 40);
    EXPECT_EQ(bands.rowTop(6), 125);
    EXPECT_EQ(bands.rowsBetween(0, 20), std::make_pair(0, 0));
    EXPECT_EQ(bands.rowsBetween(19, 21), std::make_pair(0, 1));
    EXPECT_EQ(bands.rowsBetween(40, 41), std::make_pair(3, 3));
    EXPECT_EQ(bands.rowsBetween(-50, 30), std::make_pair(0, 1));
    EXPECT_EQ(bands.rowsBetween(100, 500), std::make_pair(4, 5));
    EXPECT_EQ(bands.rowsBetween(125, 126), std::make_pair(5, 5)); // the closing grid line
    for (const auto& [top, bottom] : std::vector<std::pair<int, int>>{{126, 200}, {30, 30}, {50, 10}, {-9, 0}}) {
        const auto rows = bands.rowsBetween(top, bottom);
        EXPECT_GT(rows.first, rows.second) << top << ".." << bottom;
    }
    // A range lower in the sheet counts from its own first row.
    const RowBands lower(s, {3, 0, 5, 1});
    EXPECT_EQ(lower.rowTop(3), 0);
    EXPECT_EQ(lower.rowsBetween(44, 46), std::make_pair(3, 4));
}

TEST(SheetRendererBands, BandsOfARangeTooTallForOnePicture)
{
    FakeSheet s;
    s.grid = false;
    s.text(40000, 1, QStringLiteral("last"));
    const CellRange range{0, 0, 40000, 29};
    EXPECT_THROW(renderRange(s, range), Error);
    const RowBands bands(s, range);
    EXPECT_EQ(bands.pixelSize().height(), 40001 * 20 + 1);
    const auto rows = bands.rowsBetween(bands.pixelSize().height() - 30, bands.pixelSize().height());
    EXPECT_EQ(rows, std::make_pair(39999, 40000));
    QImage view(bands.pixelSize().width(), 30, QImage::Format_RGB32);
    view.fill(Qt::white);
    QPainter p(&view);
    p.translate(0, 30 - bands.pixelSize().height());
    bands.paintRows(p, rows.first, rows.second);
    p.end();
    EXPECT_GT(inkIn(view, QRect(64, 10, 64, 20)), 0);
    EXPECT_EQ(inkIn(view, QRect(0, 0, 64, 30)), 0);
    // A band is bounded as a range is: a million cells.
    EXPECT_THROW(
        {
            QImage small(10, 10, QImage::Format_RGB32);
            QPainter q(&small);
            bands.paintRows(q, 0, 40000);
        },
        Error);
}

TEST(SheetRendererBands, ViewOfAWorksheetWithRowsHeldAtItsTop)
{
    Workbook book;
    Worksheet& ws = *book.worksheet(book.addWorksheet(QStringLiteral("Data")));
    ws.setText(0, 0, QStringLiteral("Heading that runs on over the columns"));
    ws.setRowHeight(1, 600);
    for (int r = 2; r < 40; ++r) {
        ws.setNumber(r, 0, r * 0.5);
        ws.setFormula(r, 1, QStringLiteral("=A%1*2").arg(r + 1));
        ws.setText(r, 2, QStringLiteral("entry %1").arg(r));
    }
    const QImage whole = renderRange(ws, 0, 0, 39, 3);
    const RangeRows rows(ws, 0, 0, 39, 3);
    ASSERT_EQ(rows.pixelSize(), whole.size());
    const int width = whole.width();
    // Unscrolled, the view is the top of the picture.
    EXPECT_EQ(rows.renderView(0, 200), whole.copy(0, 0, width, 200));
    // Scrolled by 150 pixels with two rows held: those rows, then the picture from 150 lower.
    const int held = rows.rowTop(2);
    const QImage view = rows.renderView(150, 300, 2);
    EXPECT_EQ(view.copy(0, 0, width, held), whole.copy(0, 0, width, held));
    EXPECT_EQ(view.copy(0, held, width, 300 - held), whole.copy(0, 150 + held, width, 300 - held));
    // Past the last row the view is white.
    const QImage end = rows.renderView(whole.height() - 10, 40);
    EXPECT_EQ(end.copy(0, 0, width, 10), whole.copy(0, whole.height() - 10, width, 10));
    EXPECT_EQ(inkIn(end, QRect(0, 10, width, 30)), 0);
    EXPECT_EQ(end.pixel(width / 2, 20), QColor(Qt::white).rgb());
}

TEST(SheetRendererBands, EveryRowOfAFullSheetCanBeViewed)
{
    Workbook book;
    Worksheet& ws = *book.worksheet(book.addWorksheet(QStringLiteral("Data")));
    const int last = kMaxRows - 1;
    ws.setText(0, 0, QStringLiteral("first"));
    ws.setText(last, 1, QStringLiteral("last"));
    EXPECT_THROW(renderRange(ws, 0, 0, last, 1), Error);
    const RangeRows rows(ws, 0, 0, last, 1);
    EXPECT_GT(rows.pixelSize().height(), 16384 * 50);
    const QImage bottom = rows.renderView(rows.pixelSize().height() - 40, 40, 1);
    const int held = rows.rowTop(1);
    EXPECT_GT(inkIn(bottom, QRect(0, 0, 64, held)), 0);          // "first", held at the top
    EXPECT_GT(inkIn(bottom, QRect(65, held, 64, 40 - held)), 0); // "last"
    EXPECT_THROW(rows.renderView(0, 20000), Error);              // a view is a picture
}
