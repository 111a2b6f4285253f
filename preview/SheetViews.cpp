#include "SheetViews.h"

#include "Constants.h"

#include "charts/ChartRenderer.h"
#include "io/WorkbookFile.h"
#include "model/Workbook.h"
#include "model/Worksheet.h"
#include "render/Render.h"
#include "render/RenderLimits.h"

#include <QPainter>

#include <cmath>

int PixelsOf(int twips) { return static_cast<int>(std::lround(twips / static_cast<double>(TwipsPerPixel))); }

SheetViews::SheetViews() = default;

SheetViews::~SheetViews() = default;

void SheetViews::reset(const QImage& captured, int viewportWidth, int viewportHeight)
{
    m_book.reset();
    m_tabsRead.clear();
    m_drawn = 0;
    m_loaded = captured;
    m_views.clear();
    SheetView data;
    data.tab = SheetTab{QStringLiteral("Data"), 0, SheetTab::Kind::Worksheet};
    data.captured = true;
    data.geo.setViewportSize(viewportWidth, viewportHeight);
    if (!captured.isNull()) {
        // The picture at its own size until the set-up fits the view to it.
        data.shown = QPixmap::fromImage(captured);
        data.geo.setPictureSize(captured.width() * TwipsPerPixel, captured.height() * TwipsPerPixel);
    }
    m_views.push_back(std::move(data));
    m_current = 0;
}

void SheetViews::readTabs(const QString& path, int viewportWidth, int viewportHeight)
{
    if (path.isEmpty() || m_tabsRead == path)
        return;
    m_tabsRead = path;
    const QList<SheetTab> tabs = ReadSheetTabs(path);
    // The captured picture belongs to the first worksheet; the other sheets get views of
    // their own, drawn when first shown.
    std::vector<SheetView> views;
    bool captured = false;
    for (const SheetTab& tab : tabs) {
        if (!captured && tab.kind == SheetTab::Kind::Worksheet) {
            views.push_back(std::move(view()));
            views.back().tab = tab;
            captured = true;
            continue;
        }
        SheetView v;
        v.tab = tab;
        v.geo.setViewportSize(viewportWidth, viewportHeight);
        views.push_back(std::move(v));
    }
    if (!captured)
        views.insert(views.begin(), std::move(view()));
    m_views = std::move(views);
    for (std::size_t i = 0; i < m_views.size(); ++i)
        if (m_views[i].captured)
            m_current = static_cast<int>(i);
}

void SheetViews::openWorkbook(const QString& path)
{
    if (!m_book)
        m_book = sheet::loadWorkbook(path);
}

QSize SheetViews::sheetPixelSize(const SheetView& v) const
{
    const sheet::Worksheet* ws = m_book ? m_book->worksheet(v.tab.sheetIndex) : nullptr;
    const auto used = ws ? ws->usedRange() : std::nullopt;
    if (!used)
        return QSize(1, 1);
    return sheet::rangePixelSize(*ws, used->firstRow, used->firstCol, used->lastRow, used->lastCol);
}

namespace {

// A sheet's picture may grow past its area, the bars reaching all of it, as far as a picture
// can be drawn and held at this screen's pixel ratio.
void AllowZoomPastTheArea(PreviewGeometry& geo, qreal dpr)
{
    const double pixel = TwipsPerPixel / dpr;
    const int side = static_cast<int>(std::floor(static_cast<double>(sheet::kMaxPictureSide) * pixel));
    geo.setBarsFollowZoom(true);
    geo.setZoomLimits(side, side);
    geo.setZoomAreaLimit(static_cast<double>(sheet::kMaxPicturePixels) * pixel * pixel);
}

} // namespace

void SheetViews::setUp(SheetView& v, int viewportWidth, int viewportHeight, qreal dpr)
{
    v.geo.setViewportSize(viewportWidth, viewportHeight);
    if (v.captured) {
        AllowZoomPastTheArea(v.geo, dpr);
        v.geo.setUp(m_original.width() * TwipsPerPixel, m_original.height() * TwipsPerPixel);
    } else if (!m_book) {
        // Without its workbook the tab stays empty; the failure to open it was reported.
        v.shown = QPixmap();
        return;
    } else if (v.tab.kind == SheetTab::Kind::Chart) {
        // A chart sheet has no size of its own: at zoom 1 its text is as large as the data
        // sheet's, and being drawn again at each size it zooms all the way to 4.
        v.geo.setBarsFollowZoom(true);
        v.geo.setZoomLimits(4 * ChartWidthTwips, 4 * ChartHeightTwips);
        v.geo.setUp(ChartWidthTwips + 2, ChartHeightTwips + 2);
    } else {
        const QSize size = sheetPixelSize(v);
        AllowZoomPastTheArea(v.geo, dpr);
        v.geo.setUp(size.width() * TwipsPerPixel + 2, size.height() * TwipsPerPixel + 2);
    }
    v.setUp = true;
    // setUp has redrawn when the picture fits the zoom limits; paint what the model holds.
    paint(v, v.geo.pictureWidth(), v.geo.pictureHeight(), dpr);
}

QImage SheetViews::drawSheet(const SheetView& v, const QSize& size, qreal dpr) const
{
    const QSize device(static_cast<int>(std::ceil(size.width() * dpr)),
                       static_cast<int>(std::ceil(size.height() * dpr)));
    if (v.tab.kind == SheetTab::Kind::Chart)
        return sheet::renderChartSheet(*m_book, v.tab.sheetIndex, device, dpr);
    QImage image(device, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(Qt::white);
    const sheet::Worksheet* ws = m_book->worksheet(v.tab.sheetIndex);
    const auto used = ws ? ws->usedRange() : std::nullopt;
    const QSize base = sheetPixelSize(v);
    if (used && !base.isEmpty()) {
        QPainter p(&image);
        p.scale(static_cast<qreal>(size.width()) / base.width(), static_cast<qreal>(size.height()) / base.height());
        sheet::paintRange(*ws, used->firstRow, used->firstCol, used->lastRow, used->lastCol, p);
    }
    return image;
}

void SheetViews::paint(SheetView& v, int widthTwips, int heightTwips, qreal dpr)
{
    const QSize size(std::max(1, PixelsOf(widthTwips)), std::max(1, PixelsOf(heightTwips)));
    if (v.captured) {
        if (m_original.isNull())
            v.shown = QPixmap();
        else if (size == m_original.size())
            v.shown = QPixmap::fromImage(m_original);
        else
            v.shown = QPixmap::fromImage(m_original.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    } else if (!m_book) {
        v.shown = QPixmap();
    } else {
        // Drawn at the size shown (and the screen's pixel density), never scaled as a bitmap.
        v.shown = QPixmap::fromImage(drawSheet(v, size, dpr));
        ++m_drawn;
    }
}
