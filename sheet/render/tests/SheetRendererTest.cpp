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

    int columnWidthPixels(int) const override { return colWidth; }
    int rowHeightPixels(int) const override { return rowHeight; }
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
