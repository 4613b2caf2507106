#pragma once

#include <QRect>

namespace mavrel {

// Window geometry is designed in twips; at 96 dpi fifteen of them make a pixel. Qt scales the
// pixels for high-density screens.
constexpr int kTwipsPerPixel = 15;
constexpr int twipsToPixels(int twips)
{
    return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel;
}
constexpr int pixelsToTwips(int pixels)
{
    return pixels * kTwipsPerPixel;
}

struct TwipsRect
{
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
    friend bool operator==(const TwipsRect &, const TwipsRect &) = default;
};

inline QRect toPixels(const TwipsRect &r)
{
    return {twipsToPixels(r.left), twipsToPixels(r.top), twipsToPixels(r.width),
            twipsToPixels(r.height)};
}
inline TwipsRect toTwips(const QRect &r)
{
    return {pixelsToTwips(r.x()), pixelsToTwips(r.y()), pixelsToTwips(r.width()),
            pixelsToTwips(r.height())};
}

// The controls that follow the window size, in twips; children of a frame in the frame's
// coordinates.
struct ResizableControls
{
    TwipsRect player; // WindowsMediaPlayer1
    TwipsRect wbyoutube;
    TwipsRect imgOffline;
    TwipsRect frame1;
    TwipsRect frame3;
    TwipsRect frame4;
    TwipsRect frame5;
    TwipsRect listView1;
    TwipsRect listView2;
    TwipsRect listView3;
    TwipsRect txtStatus;
    TwipsRect dir1;
    TwipsRect file1;
    TwipsRect cmdWebsite;
    int statusPanelWidth = 0;
    friend bool operator==(const ResizableControls &, const ResizableControls &) = default;
};

// The main window's arithmetic for its outer size (frame, caption and menu bar included).
// Lengths come out positive even when the window is smaller than the margins.
ResizableControls layoutControls(const ResizableControls &current, int windowWidth,
                                 int windowHeight);

// The divider between the left panel and the player. `frameWidth` is the width the user dragged
// the frames to; it is kept between the design width and what leaves the player
// kMinPlayerTwips of a window `windowWidth` wide (outer size, as for layoutControls).
inline constexpr int kDesignFrameWidth = 5235;
inline constexpr int kMinPlayerTwips = 4500;
int clampDivider(const ResizableControls &current, int frameWidth, int windowWidth);
// Gives the frames `frameWidth` (already clamped): the lists and boxes in them keep their right
// margins and the player starts the same gap after them. Run before layoutControls, which then
// gives the player the rest of the window.
ResizableControls placeDivider(const ResizableControls &current, int frameWidth);

} // namespace mavrel
