#pragma once

#include "PreviewGeometry.h"
#include "SheetTabs.h"

#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>

#include <memory>
#include <vector>

namespace sheet {
class Workbook;
}

// A chart sheet's picture at zoom 1: 1000 x 700 pixels, the size its text was chosen for
// (the chart sheet's own 14,666 x 9,014 twips), so that it reads as large as the data sheet's.
constexpr int ChartWidthTwips = 15000;
constexpr int ChartHeightTwips = 10500;

// One sheet tab of the preview: the sheet it shows, its own zoom and scroll position, and
// its picture at the size shown.
struct SheetView {
    SheetTab tab;
    bool captured = false; // the data sheet's captured picture
    bool setUp = false;
    PreviewGeometry geo;
    QPixmap shown;
};

// The preview's tabs, without a window: first only the captured picture of the data sheet;
// once the workbook's sheets are read, one view per visible sheet in the workbook's order.
// A sheet other than the captured one is drawn by the engine from the workbook, opened the
// first time a tab needs it, and again at every zoom step.
class SheetViews {
public:
    SheetViews();
    ~SheetViews();

    // A new picture of a new workbook: back to the one data view; the old workbook and chart
    // pictures are dropped. The viewport is the picture area's outer size in twips.
    void reset(const QImage& captured, int viewportWidth, int viewportHeight);
    // The captured picture becomes the unscaled store every redraw starts from (at the first
    // activation after a new picture).
    void storeOriginal() { m_original = m_loaded; }
    // Reads the sheets of the workbook at path into views (once per workbook). Throws
    // Failure when the file cannot be read.
    void readTabs(const QString& path, int viewportWidth, int viewportHeight);
    // Opens the workbook at path unless it is open. Throws when it cannot be read.
    void openWorkbook(const QString& path);

    std::vector<SheetView>& all() { return m_views; }
    const std::vector<SheetView>& all() const { return m_views; }
    int count() const { return static_cast<int>(m_views.size()); }
    int current() const { return m_current; }
    void setCurrent(int index) { m_current = index; }
    SheetView& view() { return m_views[static_cast<std::size_t>(m_current)]; }
    const SheetView& view() const { return m_views[static_cast<std::size_t>(m_current)]; }

    const sheet::Workbook* workbook() const { return m_book.get(); }
    // How many sheet pictures were drawn since the last picture.
    int drawnPictures() const { return m_drawn; }

    // Fits the view's geometry to its sheet at zoom 1 and draws its picture; a view whose
    // workbook is not open stays empty. dpr is the screen's pixel density.
    void setUp(SheetView& v, int viewportWidth, int viewportHeight, qreal dpr);
    // Draws the view's picture at widthTwips x heightTwips: the captured picture scaled, any
    // other sheet drawn at that size, never scaled as a bitmap.
    void paint(SheetView& v, int widthTwips, int heightTwips, qreal dpr);

private:
    QSize sheetPixelSize(const SheetView& v) const;
    QImage drawSheet(const SheetView& v, const QSize& size, qreal dpr) const;

    std::vector<SheetView> m_views;
    int m_current = 0;
    QImage m_loaded;   // the captured picture as given
    QImage m_original; // the unscaled store every redraw of the captured picture starts from
    std::unique_ptr<sheet::Workbook> m_book;
    QString m_tabsRead; // the workbook the tabs were read from
    int m_drawn = 0;
};

// Whole pixels of a length in twips.
int PixelsOf(int twips);
