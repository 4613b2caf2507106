#include "mainwindow/layout.h"

#include <algorithm>
#include <cstdlib>

namespace mavrel {

ResizableControls layoutControls(const ResizableControls &current, int windowWidth,
                                 int windowHeight)
{
    ResizableControls c = current;

    c.player.width = std::abs(windowWidth - c.player.left - 600);
    c.player.height = std::abs(windowHeight - c.player.top - 1200);

    c.wbyoutube = c.player;

    c.imgOffline.top = std::abs(c.player.height / 2 - c.imgOffline.height / 2 + c.player.top);
    c.imgOffline.left = std::abs(c.player.width / 2 - c.imgOffline.width / 2 + c.player.left);

    c.frame1.height = c.player.height + 140;
    c.frame3 = c.frame1;
    c.frame4 = c.frame1;
    c.frame5 = c.frame1;

    c.listView1.height = std::abs(c.frame1.height - c.listView1.top - 300);
    c.listView2.top = c.listView1.top;
    c.listView2.left = c.listView1.left;
    c.listView2.height = c.listView1.height;
    c.listView2.width = c.listView1.width;

    c.listView3.height = std::abs(c.listView2.height - c.txtStatus.height - 60);
    c.txtStatus.top = c.listView1.height + c.listView1.top + 60;

    c.dir1.height = std::abs((c.frame4.height - c.dir1.top - 600) / 2);
    c.file1.top = std::abs(c.dir1.height + c.dir1.top + 60);
    c.file1.height = c.dir1.height;

    c.cmdWebsite.width = std::abs(windowWidth - c.cmdWebsite.left - 600);
    c.statusPanelWidth = windowWidth;
    return c;
}

int clampDivider(const ResizableControls &current, int frameWidth, int windowWidth)
{
    const int gap = current.player.left - (current.frame1.left + current.frame1.width);
    // The layout leaves 600 twips right of the player.
    const int widest = windowWidth - 600 - kMinPlayerTwips - gap - current.frame1.left;
    return std::max(kDesignFrameWidth, std::min(frameWidth, widest));
}

ResizableControls placeDivider(const ResizableControls &current, int frameWidth)
{
    ResizableControls c = current;
    const int delta = frameWidth - c.frame1.width;
    for (TwipsRect *r : {&c.frame1, &c.frame3, &c.frame4, &c.frame5, &c.listView1, &c.listView2,
                         &c.listView3, &c.txtStatus, &c.dir1, &c.file1})
        r->width += delta;
    c.player.left += delta;
    c.wbyoutube.left += delta;
    c.imgOffline.left += delta;
    return c;
}

} // namespace mavrel
