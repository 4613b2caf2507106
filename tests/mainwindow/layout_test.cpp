#include "mainwindow/layout.h"

#include <gtest/gtest.h>

using namespace mavrel;

namespace {

// The design rectangles of the controls that follow the window size.
ResizableControls designControls()
{
    ResizableControls c;
    c.player = {5520, 1020, 9570, 6705};
    c.wbyoutube = c.player;
    c.imgOffline = {11340, 120, 6000, 3000};
    c.frame1 = {60, 1020, 5235, 8175};
    c.frame3 = {60, 1020, 5235, 6675};
    c.frame4 = {180, 1020, 5235, 6735};
    c.frame5 = {60, 1020, 5235, 8175};
    c.listView1 = {180, 960, 4935, 3795};
    c.listView2 = {180, 900, 4935, 3795};
    c.listView3 = {180, 1140, 4935, 3555};
    c.txtStatus = {180, 7800, 4875, 285};
    c.dir1 = {120, 660, 4995, 2340};
    c.file1 = {120, 3060, 4995, 3405};
    c.cmdWebsite = {8160, 60, 2775, 915};
    return c;
}

} // namespace

TEST(LayoutControls, DesignSizeGivesTheDocumentedArithmetic)
{
    const ResizableControls c = layoutControls(designControls(), 15360, 10965);
    EXPECT_EQ(c.player, (TwipsRect{5520, 1020, 9240, 8745}));
    EXPECT_EQ(c.wbyoutube, c.player);
    EXPECT_EQ(c.imgOffline,
              (TwipsRect{5520 + 9240 / 2 - 3000, 1020 + 8745 / 2 - 1500, 6000, 3000}));
    EXPECT_EQ(c.frame1, (TwipsRect{60, 1020, 5235, 8885}));
    // The other frames take the channel frame's rectangle, including its left edge.
    EXPECT_EQ(c.frame3, c.frame1);
    EXPECT_EQ(c.frame4, c.frame1);
    EXPECT_EQ(c.frame5, c.frame1);
    EXPECT_EQ(c.listView1, (TwipsRect{180, 960, 4935, 8885 - 960 - 300}));
    EXPECT_EQ(c.listView2, c.listView1);
    EXPECT_EQ(c.listView3, (TwipsRect{180, 1140, 4935, 7625 - 285 - 60}));
    EXPECT_EQ(c.txtStatus, (TwipsRect{180, 7625 + 960 + 60, 4875, 285}));
    EXPECT_EQ(c.dir1, (TwipsRect{120, 660, 4995, (8885 - 660 - 600) / 2}));
    EXPECT_EQ(c.file1, (TwipsRect{120, 3812 + 660 + 60, 4995, 3812}));
    EXPECT_EQ(c.cmdWebsite, (TwipsRect{8160, 60, 15360 - 8160 - 600, 915}));
    EXPECT_EQ(c.statusPanelWidth, 15360);
}

TEST(LayoutControls, WideningByThousandTwipsWidensOnlyTheRightHandSide)
{
    const ResizableControls before = layoutControls(designControls(), 15360, 10965);
    const ResizableControls after = layoutControls(before, 16360, 10965);
    EXPECT_EQ(after.player.width, before.player.width + 1000);
    EXPECT_EQ(after.wbyoutube.width, before.wbyoutube.width + 1000);
    EXPECT_EQ(after.cmdWebsite.width, before.cmdWebsite.width + 1000);
    EXPECT_EQ(after.statusPanelWidth, before.statusPanelWidth + 1000);
    EXPECT_EQ(after.imgOffline.left, before.imgOffline.left + 500);
    // The player keeps its left and top edges; the left panel keeps its width.
    EXPECT_EQ(after.player.left, before.player.left);
    EXPECT_EQ(after.player.top, before.player.top);
    EXPECT_EQ(after.frame1, before.frame1);
    EXPECT_EQ(after.listView1, before.listView1);
    EXPECT_EQ(after.listView3, before.listView3);
    EXPECT_EQ(after.dir1, before.dir1);
}

TEST(LayoutControls, LayoutIsStableWhenRepeated)
{
    const ResizableControls once = layoutControls(designControls(), 17000, 12000);
    EXPECT_EQ(layoutControls(once, 17000, 12000), once);
}

TEST(LayoutControls, WindowSmallerThanTheMarginsGivesPositiveLengths)
{
    struct Case
    {
        int width;
        int height;
    };
    for (const Case size : {Case{0, 0}, Case{3000, 1500}, Case{6120, 2220}, Case{100, 20000}}) {
        SCOPED_TRACE(testing::Message() << size.width << "x" << size.height);
        const ResizableControls c = layoutControls(designControls(), size.width, size.height);
        for (const TwipsRect &r : {c.player, c.wbyoutube, c.imgOffline, c.frame1, c.listView1,
                                   c.listView3, c.txtStatus, c.dir1, c.file1, c.cmdWebsite}) {
            EXPECT_GE(r.width, 0);
            EXPECT_GE(r.height, 0);
            EXPECT_GE(r.top, 0);
            EXPECT_GE(r.left, 0);
        }
    }
    // |3000 - 5520 - 600| is the width of a window far narrower than the player's left edge.
    EXPECT_EQ(layoutControls(designControls(), 3000, 12000).player.width, 3120);
}
