#include "PreviewGeometry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// setUp takes the picture box's size before the store's 2-twip trim.
PreviewGeometry setUpWithShownSize(int width, int height)
{
    PreviewGeometry g;
    g.setUp(width + 2, height + 2);
    return g;
}

struct Failure {
    int step;
    std::string what;
};

std::vector<Failure> release(PreviewGeometry& g)
{
    std::vector<Failure> failures;
    g.mouseUp([&](int step, const char* what) { failures.push_back({step, what}); });
    return failures;
}

} // namespace

TEST(PreviewRounding, HalfwayGoesToEven)
{
    EXPECT_EQ(roundHalfEven(73.5), 74);
    EXPECT_EQ(roundHalfEven(72.5), 72);
    EXPECT_EQ(roundHalfEven(116.8), 117);
    EXPECT_EQ(roundHalfEven(0.5), 0);
    EXPECT_EQ(roundHalfEven(-2.5), -2);
    EXPECT_EQ(roundHalfEven(-2.6), -3);
}

TEST(PreviewScrollBars, LargePictureGetsUnitTenAndRoundedMaxima)
{
    PreviewGeometry g = setUpWithShownSize(10500, 8160);
    EXPECT_EQ(g.pictureWidth(), 10500);
    EXPECT_EQ(g.pictureHeight(), 8160);
    EXPECT_TRUE(g.hScroll().enabled);
    EXPECT_EQ(g.hScroll().maximum, 117); // d = 1170
    EXPECT_EQ(g.hScrollUnit(), 10);
    EXPECT_TRUE(g.vScroll().enabled);
    EXPECT_EQ(g.vScroll().maximum, 74); // d = 735, 73.5 to the even neighbour
    EXPECT_EQ(g.vScrollUnit(), 10);

    g.setHScrollValue(50);
    EXPECT_EQ(g.pictureLeft(), -500);
    g.setVScrollValue(74);
    EXPECT_EQ(g.pictureTop(), -740);
}

TEST(PreviewScrollBars, SmallExcessGetsUnitOne)
{
    PreviewGeometry g = setUpWithShownSize(PreviewGeometry::kViewportOuterWidth + 80, 3000);
    EXPECT_EQ(g.hScroll().maximum, 80);
    EXPECT_EQ(g.hScrollUnit(), 1);
    EXPECT_FALSE(g.vScroll().enabled);
    EXPECT_EQ(g.vScrollUnit(), 0);
    g.setHScrollValue(80);
    EXPECT_EQ(g.pictureLeft(), -80);
}

TEST(PreviewDrag, PictureSmallerThanViewportStaysInside)
{
    PreviewGeometry g = setUpWithShownSize(4000, 3000);
    EXPECT_FALSE(g.hScroll().enabled);
    EXPECT_FALSE(g.vScroll().enabled);

    // Right and down: the first clamp keeps it at 0.
    g.mouseDown(100, 100);
    g.mouseMove(900, 700);
    EXPECT_EQ(g.pictureLeft(), 0);
    EXPECT_EQ(g.pictureTop(), 0);

    // Left and up: the second clamp puts its far edges on the viewport's inner edges.
    g.mouseDown(1000, 1000);
    g.mouseMove(200, 300);
    EXPECT_EQ(g.pictureLeft(), g.viewportInnerWidth() - 4000);
    EXPECT_EQ(g.pictureTop(), g.viewportInnerHeight() - 3000);
    EXPECT_GT(g.pictureLeft(), 0);
}

TEST(PreviewDrag, GrabbedPointStaysUnderPointerAndCoverageIsKept)
{
    PreviewGeometry g = setUpWithShownSize(12000, 9000);
    g.mouseDown(5000, 4000);
    g.mouseMove(4000, 3500); // pointer moved 1000 left, 500 up
    EXPECT_EQ(g.pictureLeft(), -1000);
    EXPECT_EQ(g.pictureTop(), -500);

    g.mouseDown(0, 0);
    g.mouseMove(-20000, -20000);
    EXPECT_EQ(g.pictureLeft(), g.viewportInnerWidth() - 12000);
    EXPECT_EQ(g.pictureTop(), g.viewportInnerHeight() - 9000);
}

TEST(PreviewDrag, ReleaseSnapsBarsToNearestStep)
{
    PreviewGeometry g = setUpWithShownSize(10500, 8160);
    g.mouseDown(600, 600);
    g.mouseMove(0, 300); // left -600, top -300
    EXPECT_TRUE(release(g).empty());
    // 600 / 1170 = 51.28% -> 51; 51% of 117 = 59.67 -> 60; picture at -600.
    EXPECT_EQ(g.hScroll().value, 60);
    EXPECT_EQ(g.pictureLeft(), -600);
    // 300 / 735 = 40.8% -> 41; 41% of 74 = 30.34 -> 30; picture at -300.
    EXPECT_EQ(g.vScroll().value, 30);
    EXPECT_EQ(g.pictureTop(), -300);
}

TEST(PreviewDrag, ReleaseAtEndOfTravelLeavesBarWherePercentExceedsHundred)
{
    PreviewGeometry g = setUpWithShownSize(10500, 8160);
    g.mouseDown(0, 0);
    g.mouseMove(-50000, 0);
    const int left = g.pictureLeft();
    EXPECT_EQ(left, g.viewportInnerWidth() - 10500); // -1230: more than the 1170 of the bar
    EXPECT_TRUE(release(g).empty());
    EXPECT_EQ(g.hScroll().value, 0);
    EXPECT_EQ(g.pictureLeft(), left);
}

TEST(PreviewDrag, ZoomAfterDragPastTheBarsReturnsToOrigin)
{
    PreviewGeometry g = setUpWithShownSize(10500, 8160);
    g.mouseDown(0, 0);
    g.mouseMove(-50000, -50000);
    EXPECT_TRUE(release(g).empty());
    ASSERT_EQ(g.hScroll().value, 0); // beyond the bar's reach: the bar stayed at 0
    ASSERT_LT(g.pictureLeft(), 0);
    g.zoomStep(1);
    EXPECT_EQ(g.pictureLeft(), 0);
    EXPECT_EQ(g.pictureTop(), 0);
}

TEST(PreviewDrag, ReleaseWithPictureAsWideAsViewportReportsAndCountsZero)
{
    PreviewGeometry g = setUpWithShownSize(10000, 9000);
    g.setHScrollValue(20);
    g.setPictureSize(PreviewGeometry::kViewportOuterWidth, 9000);
    const auto failures = release(g);
    ASSERT_EQ(failures.size(), 1u);
    EXPECT_EQ(failures[0].step, 1);
    EXPECT_EQ(failures[0].what, "Division by zero");
    EXPECT_EQ(g.hScroll().value, 0); // the failed percentage counted as 0
}

TEST(PreviewZoom, AStepAboveTheLargestPictureIsLeftOutAndZoomOutGoesBackOneStep)
{
    PreviewGeometry g;
    g.setUp(11002, 5002);
    ASSERT_EQ(g.baseWidth(), 11000);

    EXPECT_TRUE(g.zoomStep(0));
    EXPECT_FLOAT_EQ(g.zoomFactor(), 1.25f);
    EXPECT_EQ(g.pictureWidth(), 13750);

    // 16500 is too wide: nothing changes, the 1.25 picture stays and so does its zoom.
    EXPECT_FALSE(g.zoomStep(0));
    EXPECT_FLOAT_EQ(g.zoomFactor(), 1.25f);
    EXPECT_EQ(g.pictureWidth(), 13750);
    EXPECT_EQ(g.zoomedWidth(), 13750);

    // Zoom Out goes to 100 %, not past it to 75 %.
    EXPECT_TRUE(g.zoomStep(1));
    EXPECT_FLOAT_EQ(g.zoomFactor(), 1.0f);
    EXPECT_EQ(g.pictureWidth(), 11000);
}

TEST(PreviewZoom, APictureWithLargerLimitsZoomsOn)
{
    PreviewGeometry g;
    g.setZoomLimits(60000, 42000);
    g.setUp(15002, 10502);
    EXPECT_EQ(g.pictureWidth(), 15000);
    for (int i = 0; i < 12; ++i)
        g.zoomStep(0);
    EXPECT_FLOAT_EQ(g.zoomFactor(), 4.0f);
    EXPECT_EQ(g.pictureWidth(), 60000);
    EXPECT_EQ(g.pictureHeight(), 42000);
}

TEST(PreviewZoom, LimitsAtQuarterAndFour)
{
    PreviewGeometry g;
    g.setUp(3002, 2002);
    for (int i = 0; i < 3; ++i)
        g.zoomStep(1);
    EXPECT_FLOAT_EQ(g.zoomFactor(), 0.25f);
    EXPECT_EQ(g.pictureWidth(), 750);
    g.zoomStep(1);
    EXPECT_FLOAT_EQ(g.zoomFactor(), 0.25f);

    for (int i = 0; i < 15; ++i)
        g.zoomStep(0);
    EXPECT_FLOAT_EQ(g.zoomFactor(), 4.0f);
    EXPECT_EQ(g.pictureWidth(), 12000);
    g.zoomStep(0);
    EXPECT_FLOAT_EQ(g.zoomFactor(), 4.0f);
}

TEST(PreviewZoom, RedrawReturnsToOriginAndEnablesBarsBySize)
{
    PreviewGeometry g;
    g.setUp(8002, 6002); // fits at zoom 1
    EXPECT_FALSE(g.hScroll().enabled);
    g.zoomStep(0); // 10000 x 7500: wider and higher than the inner viewport
    EXPECT_TRUE(g.hScroll().enabled);
    EXPECT_TRUE(g.vScroll().enabled);
    // Ranges are those of zoom 1 (no bars), so the bars cannot move the picture.
    EXPECT_EQ(g.hScrollUnit(), 0);
    EXPECT_EQ(g.pictureLeft(), 0);
}

TEST(PreviewSetUp, NewPictureResetsZoomAndRanges)
{
    PreviewGeometry g = setUpWithShownSize(10500, 8160);
    g.zoomStep(0);
    g.setHScrollValue(30);
    g.setUp(4002, 3002);
    EXPECT_FLOAT_EQ(g.zoomFactor(), 1.0f);
    EXPECT_EQ(g.pictureWidth(), 4000);
    EXPECT_EQ(g.pictureLeft(), 0);
    EXPECT_FALSE(g.hScroll().enabled);
    EXPECT_EQ(g.hScrollUnit(), 0);
}

TEST(PreviewScrollBars, PercentOutsideRangeChangesNothing)
{
    PreviewGeometry g = setUpWithShownSize(10500, 8160);
    g.setHScrollValue(10);
    g.setHScrollbarByPercent(-1);
    EXPECT_EQ(g.hScroll().value, 10);
    g.setHScrollbarByPercent(101);
    EXPECT_EQ(g.hScroll().value, 10);
    g.setHScrollbarByPercent(50); // 58.5 to the even neighbour
    EXPECT_EQ(g.hScroll().value, 58);
    EXPECT_EQ(g.pictureLeft(), -580);
}

TEST(PreviewScrollBars, BarsFollowTheZoomWhenAskedSoAZoomedChartCanBeScrolled)
{
    PreviewGeometry chart;
    chart.setBarsFollowZoom(true);
    chart.setUp(chart.viewportInnerWidth() + 2, chart.viewportInnerHeight() + 2);
    EXPECT_FALSE(chart.hScroll().enabled);
    chart.zoomStep(0); // 11587 x 9206
    ASSERT_TRUE(chart.hScroll().enabled);
    EXPECT_EQ(chart.hScrollUnit(), 10);
    EXPECT_EQ(chart.hScroll().maximum, 226); // (11587 - 9330) / 10 = 225.7
    EXPECT_EQ(chart.vScroll().maximum, 178); // (9206 - 7425) / 10 = 178.1
    chart.setHScrollValue(226);
    EXPECT_EQ(chart.pictureLeft(), -2260);
    chart.zoomStep(1);
    EXPECT_FALSE(chart.hScroll().enabled);
    EXPECT_EQ(chart.pictureLeft(), 0);
}

TEST(PreviewScroll, KeysMoveFromWhereThePictureIsWithinTheBarsRange)
{
    PreviewGeometry g = setUpWithShownSize(10500, 8160); // bars 117 and 74, unit 10
    g.scrollBy(300, 0);
    EXPECT_EQ(g.hScroll().value, 30);
    EXPECT_EQ(g.pictureLeft(), -300);
    g.scrollBy(5000, -400); // the end of the bar; the top cannot go above 0
    EXPECT_EQ(g.hScroll().value, 117);
    EXPECT_EQ(g.pictureLeft(), -1170);
    EXPECT_EQ(g.pictureTop(), 0);
    EXPECT_EQ(g.vScroll().value, 0);

    // After a drag the picture and the bar disagree: the keys go on from the picture.
    g.mouseDown(0, 0);
    g.mouseMove(600, 450); // left -570, top 0
    ASSERT_EQ(g.pictureLeft(), -570);
    g.scrollBy(-300, 0);
    EXPECT_EQ(g.hScroll().value, 27);
    EXPECT_EQ(g.pictureLeft(), -270);

    g.scrollToVerticalEnd(true);
    EXPECT_EQ(g.pictureTop(), -740);
    g.scrollToVerticalEnd(false);
    EXPECT_EQ(g.pictureTop(), 0);
}

TEST(PreviewScroll, KeysLeaveAPictureWithoutBarsWhereItIs)
{
    PreviewGeometry g = setUpWithShownSize(4000, 3000);
    g.scrollBy(300, 300);
    g.scrollToVerticalEnd(true);
    EXPECT_EQ(g.pictureLeft(), 0);
    EXPECT_EQ(g.pictureTop(), 0);

    // Zoomed past the viewport with the ranges of zoom 1 (unit 0): still nothing moves.
    PreviewGeometry z;
    z.setUp(8002, 6002);
    z.zoomStep(0);
    ASSERT_TRUE(z.hScroll().enabled);
    z.scrollBy(300, 300);
    EXPECT_EQ(z.pictureLeft(), 0);
    EXPECT_EQ(z.pictureTop(), 0);
}

TEST(PreviewViewport, ASmallerViewportGetsItsOwnBarsAndClamps)
{
    PreviewGeometry g;
    g.setViewportSize(9330, 5025);
    g.setUp(9002, 6002); // 9000 x 6000 shown
    EXPECT_FALSE(g.hScroll().enabled);
    ASSERT_TRUE(g.vScroll().enabled);
    EXPECT_EQ(g.vScroll().maximum, 98); // (6000 - 5025) / 10 = 97.5, to the even neighbour
    g.mouseDown(0, 0);
    g.mouseMove(0, -5000);
    EXPECT_EQ(g.pictureTop(), g.viewportInnerHeight() - 6000);
    EXPECT_TRUE(release(g).empty());
}

TEST(PreviewLayoutModel, DesignKeepsEveryControlAndPutsTheTabRowAboveTheZoomFrame)
{
    const PreviewLayout l = PreviewLayout::design();
    const int t = PreviewLayout::kTabRowHeight;
    EXPECT_EQ(l.clientWidth, 9840);
    EXPECT_EQ(l.clientHeight, 9390 + t);
    EXPECT_EQ(l.picture2, (LayoutBox{120, 120, 9330, 7425}));
    EXPECT_EQ(l.vScroll1, (LayoutBox{9450, 120, 255, 7425}));
    EXPECT_EQ(l.hScroll1, (LayoutBox{120, 7545, 9330, 255}));
    EXPECT_EQ(l.tabStrip1, (LayoutBox{120, 7800, 9600, t}));
    EXPECT_EQ(l.frame1, (LayoutBox{120, 7860 + t, 9600, 855}));
    EXPECT_EQ(l.pushButton1, (LayoutBox{240, 300, 4440, 405}));
    EXPECT_EQ(l.pushButton2, (LayoutBox{4800, 300, 4560, 405}));
    EXPECT_EQ(l.pushButton6, (LayoutBox{4920, 8850 + t, 4800, 405}));
    EXPECT_EQ(l.pushButton8, (LayoutBox{120, 8850 + t, 4680, 405}));
    EXPECT_EQ(PreviewLayout::fitting(20000, 20000).picture2, l.picture2);
}

TEST(PreviewLayoutModel, TooSmallAnAreaShrinksThePictureAreaInWholePixels)
{
    const PreviewLayout full = PreviewLayout::design();
    // 1920 x 1200 at twice the scale, less a panel and a title bar: 960 x 532 pixels.
    const PreviewLayout l = PreviewLayout::fitting(960 * 15, 532 * 15);
    EXPECT_EQ(l.clientHeight, 532 * 15);
    EXPECT_EQ(l.clientWidth, full.clientWidth);
    const int shrink = full.clientHeight - l.clientHeight;
    EXPECT_EQ(l.picture2.height, 7425 - shrink);
    EXPECT_EQ(l.vScroll1.height, 7425 - shrink);
    // Everything below moves up together, keeping its distances.
    EXPECT_EQ(l.hScroll1.top, l.picture2.top + l.picture2.height);
    EXPECT_EQ(l.frame1.top - l.tabStrip1.top, full.frame1.top - full.tabStrip1.top);
    EXPECT_EQ(l.pushButton6.top + l.pushButton6.height,
              l.clientHeight - (full.clientHeight - full.pushButton6.top - full.pushButton6.height));

    // An odd amount rounds up to a whole pixel.
    EXPECT_EQ(PreviewLayout::fitting(9840, full.clientHeight - 7).clientHeight, full.clientHeight - 15);

    // Narrow: the picture area, the bars, the tab row and the frame narrow; each pair of
    // buttons shares the loss.
    const PreviewLayout n = PreviewLayout::fitting(9840 - 300, 20000);
    EXPECT_EQ(n.clientWidth, 9540);
    EXPECT_EQ(n.picture2.width, 9030);
    EXPECT_EQ(n.vScroll1.left, 9150);
    EXPECT_EQ(n.frame1.width, 9300);
    EXPECT_EQ(n.pushButton8.width + n.pushButton6.width, 4680 + 4800 - 300);
    EXPECT_EQ(n.pushButton6.left + n.pushButton6.width, n.frame1.left + n.frame1.width);
    EXPECT_EQ(n.pushButton2.left + n.pushButton2.width, 9360 - 300);
    for (const LayoutBox& b : {n.pushButton1, n.pushButton2, n.pushButton6, n.pushButton8})
        EXPECT_EQ(b.width % 15, 0);
}

TEST(PreviewLayoutModel, ALargerWindowGivesThePictureAreaTheRoom)
{
    const PreviewLayout d = PreviewLayout::design();
    // 3000 twips wider and 1500 higher, one odd pixel in each.
    const PreviewLayout l = PreviewLayout::forClient(d.clientWidth + 3015, d.clientHeight + 1507);
    EXPECT_EQ(l.clientWidth, d.clientWidth + 3015);
    EXPECT_EQ(l.clientHeight, d.clientHeight + 1500);
    EXPECT_EQ(l.picture2.width, d.picture2.width + 3015);
    EXPECT_EQ(l.picture2.height, d.picture2.height + 1500);
    EXPECT_EQ(l.vScroll1.left, d.vScroll1.left + 3015);
    EXPECT_EQ(l.hScroll1.top, d.hScroll1.top + 1500);
    EXPECT_EQ(l.frame1.width, d.frame1.width + 3015);
    // The two buttons of a row share the extra width in whole pixels, side by side as before.
    EXPECT_EQ(l.pushButton8.width + l.pushButton6.width, d.pushButton8.width + d.pushButton6.width + 3015);
    EXPECT_EQ(l.pushButton6.left - (l.pushButton8.left + l.pushButton8.width),
              d.pushButton6.left - (d.pushButton8.left + d.pushButton8.width));
    EXPECT_EQ(l.pushButton8.width % 15, 0);
    EXPECT_EQ(l.pushButton6.top, d.pushButton6.top + 1500);
    // The design itself, and a smaller area than the design shrinks as before.
    EXPECT_EQ(PreviewLayout::forClient(d.clientWidth, d.clientHeight).picture2, d.picture2);
    EXPECT_EQ(PreviewLayout::forClient(d.clientWidth - 300, d.clientHeight).picture2.width, d.picture2.width - 300);
}

TEST(PreviewViewport, AResizedViewportKeepsTheZoomAndThePlaceWithinTheBars)
{
    PreviewGeometry g;
    g.setZoomLimits(100000, 100000);
    g.setUp(20002, 16002);
    g.zoomStep(1); // 0.75: 15000 x 12000
    g.setHScrollValue(20);
    const int left = g.pictureLeft();
    ASSERT_EQ(left, -200);
    g.resizeViewport(12000, 9000);
    EXPECT_FLOAT_EQ(g.zoomFactor(), 0.75f);
    EXPECT_EQ(g.pictureLeft(), -200);
    EXPECT_EQ(g.hScroll().maximum, (g.pictureWidth() - 12000 + 5) / 10);
    // Larger than the picture: no bars, the picture at the origin.
    g.resizeViewport(30000, 30000);
    EXPECT_FALSE(g.hScroll().enabled);
    EXPECT_FALSE(g.vScroll().enabled);
    EXPECT_EQ(g.pictureLeft(), 0);
    EXPECT_EQ(g.pictureTop(), 0);
}

TEST(PreviewLayoutModel, ThePictureAreaStopsAtItsMinimum)
{
    const PreviewLayout l = PreviewLayout::fitting(100, 100);
    EXPECT_EQ(l.picture2.width, PreviewLayout::kMinViewportWidth);
    EXPECT_EQ(l.picture2.height, PreviewLayout::kMinViewportHeight);
    EXPECT_GT(l.pushButton6.width, 0);
}
