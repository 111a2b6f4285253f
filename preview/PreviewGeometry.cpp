#include "PreviewGeometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <stdexcept>

std::int64_t roundHalfEven(double v)
{
    const double r = std::round(v);
    if (std::fabs(v - std::trunc(v)) == 0.5)
        return static_cast<std::int64_t>(2.0 * std::round(v / 2.0));
    return static_cast<std::int64_t>(r);
}

void PreviewGeometry::setUp(int pictureWidth, int pictureHeight)
{
    m_width = pictureWidth;
    m_height = pictureHeight;
    m_oriWidth = pictureWidth;
    m_oriHeight = pictureHeight;
    m_zoomFactor = 1.0f;
    m_baseWidth = m_oriWidth - 2;
    m_baseHeight = m_oriHeight - 2;
    m_zoomedWidth = m_baseWidth;
    m_zoomedHeight = m_baseHeight;
    redrawImage();
    setupScrollBars();
}

bool PreviewGeometry::redrawImage()
{
    m_zoomedWidth = static_cast<int>(std::floor(static_cast<double>(m_baseWidth) * m_zoomFactor));
    m_zoomedHeight = static_cast<int>(std::floor(static_cast<double>(m_baseHeight) * m_zoomFactor));
    if (tooLarge(m_zoomedWidth, m_zoomedHeight)) {
        // Too large to show: the next step starts from 1 again, the screen keeps what it had.
        m_zoomFactor = 1.0f;
        m_baseWidth = m_oriWidth - 2;
        m_baseHeight = m_oriHeight - 2;
        m_zoomedWidth = m_baseWidth;
        m_zoomedHeight = m_baseHeight;
        return false;
    }
    m_width = m_zoomedWidth;
    m_height = m_zoomedHeight;
    setHScrollValue(0);
    setVScrollValue(0);
    // A drag can leave the picture beyond the bars' reach while a bar still reads 0; the
    // redrawn picture starts at the origin all the same.
    m_left = 0;
    m_top = 0;
    m_h.enabled = viewportInnerWidth() < m_zoomedWidth;
    m_v.enabled = viewportInnerHeight() < m_zoomedHeight;
    if (m_barsFollowZoom)
        setupScrollBars();
    return true;
}

namespace {
void fitBar(ScrollBarState& bar, std::int16_t& unit, int picture, int viewport)
{
    if (picture <= viewport) {
        bar.enabled = false;
        unit = 0;
        return;
    }
    const double d = picture - viewport;
    bar.enabled = true;
    if (d <= 100) {
        bar.maximum = static_cast<int>(roundHalfEven(d));
        unit = 1;
    } else {
        bar.maximum = static_cast<int>(roundHalfEven(d / 10));
        unit = 10;
    }
    bar.value = 0;
}
} // namespace

void PreviewGeometry::resizeViewport(int outerWidth, int outerHeight)
{
    const int left = m_left;
    const int top = m_top;
    setViewportSize(outerWidth, outerHeight);
    fitBar(m_h, m_hUnit, m_width, m_viewportWidth);
    fitBar(m_v, m_vUnit, m_height, m_viewportHeight);
    m_left = 0;
    m_top = 0;
    scrollBy(-left, -top);
}

void PreviewGeometry::setupScrollBars()
{
    m_top = 0;
    m_left = 0;
    fitBar(m_h, m_hUnit, m_width, m_viewportWidth);
    fitBar(m_v, m_vUnit, m_height, m_viewportHeight);
}

bool PreviewGeometry::tooLarge(double width, double height) const
{
    return width > m_maxZoomedWidth || height > m_maxZoomedHeight
        || (m_maxZoomedArea > 0 && width * height > m_maxZoomedArea);
}

bool PreviewGeometry::zoomStep(int direction)
{
    const float candidate = direction == 0 ? m_zoomFactor + 0.25f : m_zoomFactor - 0.25f;
    return applyZoom(candidate);
}

bool PreviewGeometry::applyZoom(float zoom)
{
    if (zoom < 0.25f || zoom > 4.0f)
        return false;
    // A step to a picture too large to show is left out, rather than taking the zoom back to 1
    // while the screen still shows the last size (Zoom Out would then skip a step).
    const double width = std::floor(static_cast<double>(m_baseWidth) * zoom);
    const double height = std::floor(static_cast<double>(m_baseHeight) * zoom);
    if (tooLarge(width, height))
        return false;
    m_zoomFactor = zoom;
    return redrawImage();
}

// The offsets are exact for any picture size: within the 16-bit range they equal the 16-bit
// products, beyond it they do not wrap.
void PreviewGeometry::hScrollChanged() { m_left = -(static_cast<int>(m_hUnit) * m_h.value); }
void PreviewGeometry::vScrollChanged() { m_top = -(static_cast<int>(m_vUnit) * m_v.value); }

void PreviewGeometry::setHScrollValue(int value)
{
    if (value == m_h.value)
        return;
    m_h.value = value;
    hScrollChanged();
}

void PreviewGeometry::setVScrollValue(int value)
{
    if (value == m_v.value)
        return;
    m_v.value = value;
    vScrollChanged();
}

void PreviewGeometry::setByPercent(ScrollBarState& bar, std::int16_t percent, const std::function<void(int)>& set)
{
    if (percent < 0)
        return;
    const double v = percent / 100.0 * bar.maximum;
    if (v > bar.maximum)
        return;
    set(static_cast<int>(roundHalfEven(v)));
}

void PreviewGeometry::setHScrollbarByPercent(std::int16_t percent)
{
    setByPercent(m_h, percent, [this](int v) { setHScrollValue(v); });
}

void PreviewGeometry::setVScrollbarByPercent(std::int16_t percent)
{
    setByPercent(m_v, percent, [this](int v) { setVScrollValue(v); });
}

void PreviewGeometry::mouseDown(float x, float y)
{
    m_dragStartX = x;
    m_dragStartY = y;
}

void PreviewGeometry::mouseMove(float x, float y)
{
    float newLeft = m_left - m_dragStartX + x;
    if (newLeft > 0)
        newLeft = 0;
    else if (static_cast<float>(viewportInnerWidth() - m_width) > newLeft)
        newLeft = static_cast<float>(viewportInnerWidth() - m_width);
    float newTop = m_top - m_dragStartY + y;
    if (newTop > 0)
        newTop = 0;
    else if (static_cast<float>(viewportInnerHeight() - m_height) > newTop)
        newTop = static_cast<float>(viewportInnerHeight() - m_height);
    m_left = static_cast<int>(roundHalfEven(newLeft));
    m_top = static_cast<int>(roundHalfEven(newTop));
}

namespace {
std::int16_t percentOf(int offset, int span)
{
    if (span == 0)
        throw std::domain_error("Division by zero");
    const std::int64_t p = roundHalfEven(std::abs(static_cast<double>(offset)) / span * 100.0);
    if (p < -32768 || p > 32767)
        throw std::overflow_error("Overflow");
    return static_cast<std::int16_t>(p);
}
} // namespace

void PreviewGeometry::mouseUp(const std::function<void(int step, const char* what)>& onFailure)
{
    std::int16_t percentH = 0;
    std::int16_t percentV = 0;
    try {
        percentH = percentOf(m_left, m_width - m_viewportWidth);
    } catch (const std::exception& e) {
        onFailure(1, e.what());
    }
    try {
        percentV = percentOf(m_top, m_height - m_viewportHeight);
    } catch (const std::exception& e) {
        onFailure(2, e.what());
    }
    setHScrollbarByPercent(percentH);
    setVScrollbarByPercent(percentV);
}

namespace {
// The bar value nearest to the picture's offset moved by distance, within the bar's range.
int scrolledValue(const ScrollBarState& bar, int unit, int offset, int distance)
{
    const std::int64_t v = roundHalfEven(static_cast<double>(-offset + distance) / unit);
    return static_cast<int>(std::clamp<std::int64_t>(v, 0, bar.maximum));
}
} // namespace

void PreviewGeometry::scrollBy(int dx, int dy)
{
    // From where the picture is rather than from the bar: a drag can leave them apart.
    if (dx != 0 && m_h.enabled && m_hUnit > 0) {
        m_h.value = scrolledValue(m_h, m_hUnit, m_left, dx);
        hScrollChanged();
    }
    if (dy != 0 && m_v.enabled && m_vUnit > 0) {
        m_v.value = scrolledValue(m_v, m_vUnit, m_top, dy);
        vScrollChanged();
    }
}

void PreviewGeometry::scrollToVerticalEnd(bool end)
{
    if (!m_v.enabled || m_vUnit == 0)
        return;
    m_v.value = end ? m_v.maximum : 0;
    vScrollChanged();
}

namespace {
constexpr int kPixel = PreviewGeometry::kTwipsPerPixel;

// Whole pixels, rounded up.
int wholePixels(int twips) { return twips <= 0 ? 0 : (twips + kPixel - 1) / kPixel * kPixel; }
} // namespace

PreviewLayout PreviewLayout::shrunk(int shrinkWidth, int shrinkHeight)
{
    // Whole pixels: a shrink rounded up, a growth rounded down.
    auto pixels = [](int twips) { return twips >= 0 ? wholePixels(twips) : -(-twips / kPixel * kPixel); };
    const int w = std::min(pixels(shrinkWidth), PreviewGeometry::kViewportOuterWidth - kMinViewportWidth);
    const int h = std::min(pixels(shrinkHeight), PreviewGeometry::kViewportOuterHeight - kMinViewportHeight);
    // Each row of two buttons gives up the width in halves (whole pixels each).
    const int half = w / 2 / kPixel * kPixel;
    const int t = kTabRowHeight;

    PreviewLayout l;
    l.clientWidth = 9840 - w;
    l.clientHeight = 9390 + t - h;
    l.picture2 = {120, 120, 9330 - w, 7425 - h};
    l.vScroll1 = {9450 - w, 120, 255, 7425 - h};
    l.hScroll1 = {120, 7545 - h, 9330 - w, 255};
    l.tabStrip1 = {120, 7800 - h, 9600 - w, t};
    l.frame1 = {120, 7860 + t - h, 9600 - w, 855};
    l.pushButton1 = {240, 300, 4440 - half, 405};
    l.pushButton2 = {4800 - half, 300, 4560 - (w - half), 405};
    l.pushButton8 = {120, 8850 + t - h, 4680 - half, 405};
    l.pushButton6 = {4920 - half, 8850 + t - h, 4800 - (w - half), 405};
    return l;
}

PreviewLayout PreviewLayout::fitting(int availableWidth, int availableHeight)
{
    const PreviewLayout full = design();
    return shrunk(std::max(0, full.clientWidth - availableWidth), std::max(0, full.clientHeight - availableHeight));
}

PreviewLayout PreviewLayout::forClient(int width, int height)
{
    const PreviewLayout full = design();
    return shrunk(full.clientWidth - width, full.clientHeight - height);
}
