#pragma once

#include <cstdint>
#include <functional>

// A scroll bar as the preview drives it: a value in [0, maximum]; setting the value it already
// has does not notify.
struct ScrollBarState {
    int maximum = 0;
    int value = 0;
    bool enabled = true;
};

// The preview's layout and movement rules, in twips (15 per pixel), without any window: the
// viewport (`Picture2`), the shown picture (`Picture1`) inside it, the unscaled store
// (`Zoom_Ori`), the zoom and the two scroll bars. The window only mirrors this state.
class PreviewGeometry {
public:
    static constexpr int kViewportOuterWidth = 9330;
    static constexpr int kViewportOuterHeight = 7425;
    static constexpr int kViewportBorder = 30; // a 2-pixel sunken frame on each side
    static constexpr int kMaxZoomedWidth = 14099;
    static constexpr int kMaxZoomedHeight = 10699;
    static constexpr int kTwipsPerPixel = 15;

    int viewportOuterWidth() const { return m_viewportWidth; }
    int viewportOuterHeight() const { return m_viewportHeight; }
    int viewportInnerWidth() const { return m_viewportWidth - 2 * kViewportBorder; }
    int viewportInnerHeight() const { return m_viewportHeight - 2 * kViewportBorder; }
    // The viewport is smaller than designed on a screen too small for the window. Takes effect
    // at the next set-up.
    void setViewportSize(int outerWidth, int outerHeight)
    {
        m_viewportWidth = outerWidth;
        m_viewportHeight = outerHeight;
    }
    // The window was resized: the picture keeps its zoom, the bars are fitted to it in the new
    // viewport and the picture stays where it was as far as the bars reach.
    void resizeViewport(int outerWidth, int outerHeight);

    // First activation for a picture whose `Picture1` outer size is width x height twips:
    // store it unscaled, zoom 1, redraw, fit the scroll bars. Also run for every new picture,
    // so a second chart never inherits the first one's zoom and ranges.
    void setUp(int pictureWidth, int pictureHeight);

    // Returns true when the picture was repainted at the new size. A picture too large to
    // show (see setZoomLimits) is not: the zoom goes back to 1 for the next step, the screen
    // keeps what it had.
    bool redrawImage();
    // The largest zoomed picture, in twips (14099 x 10699 unless set). A chart, drawn again
    // at every size, may take a larger one.
    void setZoomLimits(int maxWidth, int maxHeight)
    {
        m_maxZoomedWidth = maxWidth;
        m_maxZoomedHeight = maxHeight;
    }
    // The largest zoomed picture's area, in square twips (0: no bound but the sides'): a picture
    // allowed to grow past its viewport stays one that can be drawn and held.
    void setZoomAreaLimit(double maxArea) { m_maxZoomedArea = maxArea; }
    // The data picture's bars keep the ranges of zoom 1. A picture that fits the viewport at
    // zoom 1 (a chart) would then get bars that are enabled but cannot move it, so its bars
    // are fitted again to each zoomed size.
    void setBarsFollowZoom(bool follow) { m_barsFollowZoom = follow; }
    void setupScrollBars();
    // One zoom step (direction 0 = larger, anything else = smaller), or a zoom: true when the
    // picture is redrawn at the new size; false when the zoom is outside 0.25 to 4 or the
    // picture would be too large to show. Such a step changes nothing: the zoom stays the one
    // on screen, so the next step goes on from there.
    bool zoomStep(int direction);
    bool applyZoom(float zoom);
    void setZoomFactor(float zoom) { m_zoomFactor = zoom; }

    // Scroll bars; a change of value moves the picture.
    void setHScrollValue(int value);
    void setVScrollValue(int value);
    void setHScrollbarByPercent(std::int16_t percent);
    void setVScrollbarByPercent(std::int16_t percent);
    // Keys and the wheel: moves each enabled bar by about dx (dy) twips from where the picture
    // is, within the bar's range, and puts the picture at the bar's position.
    void scrollBy(int dx, int dy);
    // Home and End: a bar to its start or its end.
    void scrollToVerticalEnd(bool end);

    // Dragging, positions in twips inside `Picture1`.
    void mouseDown(float x, float y);
    void mouseMove(float x, float y);
    // Computes both percentages and moves the bars. A step that fails (a picture exactly as
    // wide or as high as the viewport divides by zero) is handed to onFailure with its step
    // number and counts as 0; the other steps still run.
    void mouseUp(const std::function<void(int step, const char* what)>& onFailure);

    int pictureLeft() const { return m_left; }
    int pictureTop() const { return m_top; }
    int pictureWidth() const { return m_width; }
    int pictureHeight() const { return m_height; }
    int baseWidth() const { return m_baseWidth; }
    int baseHeight() const { return m_baseHeight; }
    int zoomedWidth() const { return m_zoomedWidth; }
    int zoomedHeight() const { return m_zoomedHeight; }
    float zoomFactor() const { return m_zoomFactor; }
    std::int16_t hScrollUnit() const { return m_hUnit; }
    std::int16_t vScrollUnit() const { return m_vUnit; }
    const ScrollBarState& hScroll() const { return m_h; }
    const ScrollBarState& vScroll() const { return m_v; }

    // Place the picture directly (tests, and the window's own layout at load).
    void setPicturePosition(int left, int top)
    {
        m_left = left;
        m_top = top;
    }
    void setPictureSize(int width, int height)
    {
        m_width = width;
        m_height = height;
    }

private:
    void hScrollChanged();
    void vScrollChanged();
    bool tooLarge(double width, double height) const;
    static void setByPercent(ScrollBarState& bar, std::int16_t percent, const std::function<void(int)>& set);

    int m_viewportWidth = kViewportOuterWidth;
    int m_viewportHeight = kViewportOuterHeight;
    int m_left = 0;
    int m_top = 0;
    int m_width = 2340;
    int m_height = 3435;
    int m_oriWidth = 0; // inner size of the unscaled store
    int m_oriHeight = 0;
    int m_baseWidth = 0;
    int m_baseHeight = 0;
    int m_zoomedWidth = 0;
    int m_zoomedHeight = 0;
    float m_zoomFactor = 1.0f;
    int m_maxZoomedWidth = kMaxZoomedWidth;
    int m_maxZoomedHeight = kMaxZoomedHeight;
    double m_maxZoomedArea = 0;
    bool m_barsFollowZoom = false;
    std::int16_t m_hUnit = 0;
    std::int16_t m_vUnit = 0;
    ScrollBarState m_h;
    ScrollBarState m_v;
    float m_dragStartX = 0;
    float m_dragStartY = 0;
};

// A control's place in twips.
struct LayoutBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    bool operator==(const LayoutBox& o) const
    {
        return left == o.left && top == o.top && width == o.width && height == o.height;
    }
};

// Where the preview's controls go, in twips: the designed layout with the sheet-tab row
// between the horizontal bar and the "Zoom:" frame (the window grows by the row). On a screen
// too small for the window the picture area gives up what is missing, and the controls below
// it move up with it, so that every button stays on screen.
struct PreviewLayout {
    static constexpr int kTabRowHeight = 390;
    // The picture area never shrinks below this; the buttons below never get narrower than
    // what their captions need.
    static constexpr int kMinViewportWidth = 6000;
    static constexpr int kMinViewportHeight = 2250;

    // The layout with the picture area smaller by shrinkWidth x shrinkHeight (rounded up to
    // whole pixels, at most down to the minimum); a negative shrink makes it larger (rounded
    // down to whole pixels), the two buttons of each row sharing the width.
    static PreviewLayout shrunk(int shrinkWidth, int shrinkHeight);
    static PreviewLayout design() { return shrunk(0, 0); }
    // The largest layout, no larger than the design, whose client area fits availableWidth x
    // availableHeight.
    static PreviewLayout fitting(int availableWidth, int availableHeight);
    // The layout of a window whose client area is width x height (twips), larger or smaller
    // than the design, no smaller than the minimum picture area allows.
    static PreviewLayout forClient(int width, int height);

    int clientWidth = 0;
    int clientHeight = 0;
    LayoutBox picture2;
    LayoutBox vScroll1;
    LayoutBox hScroll1;
    LayoutBox tabStrip1;
    LayoutBox frame1;
    LayoutBox pushButton1; // inside Frame1
    LayoutBox pushButton2; // inside Frame1
    LayoutBox pushButton6;
    LayoutBox pushButton8;
};

// Round to the nearest integer, halfway cases to the even neighbour.
std::int64_t roundHalfEven(double v);
