#pragma once

#include "mainwindow/layout.h"

#include <QObject>

class QLabel;
class QSize;
class QStatusBar;
class QWidget;

namespace mavrel {

class CategoryBar;
class ChannelPanel;
class DividerHandle;
class FavoritesPanel;
class MyFilesPanel;
class PlayerArea;
class VideoSitePanel;

// Places the main window's panels for its size: the design's arithmetic, with the divider
// between the left panel and the player where the user left it (kept in the settings).
class PanelLayout : public QObject
{
    Q_OBJECT
public:
    struct Panels
    {
        CategoryBar *categories;
        ChannelPanel *channels;
        FavoritesPanel *favorites;
        MyFilesPanel *files;
        VideoSitePanel *videoSite;
        QWidget *recent; // takes the favourites' place
        PlayerArea *player;
        QLabel *statusPanel;
    };
    // The divider is created in `client`, between the frames and the player.
    PanelLayout(const Panels &panels, QWidget *client);

    // The window's first size: the designed client area under a menu bar this high.
    static QSize designSize(int menuHeight);
    // Moves a window to the middle of the primary screen.
    static void centre(QWidget *window);

    DividerHandle *divider() const { return m_divider; }
    // Takes the divider's place from the settings.
    void restoreDivider();
    // Places everything for a window of this outer size (caption and frame not included).
    void place(const QSize &windowSize);
    // Shows one of the left panel's frames and hides the others.
    void showFrame(QWidget *frame);

private:
    void moveDivider(int x);

    Panels m_panels;
    DividerHandle *m_divider;
    int m_windowWidth = 0;
    int m_windowHeight = 0;
    int m_frameWidth = kDesignFrameWidth; // where the user left the divider, in twips
    bool m_userWidth = false;             // the user has moved it, now or before
};

// The status bar's one panel, which takes the bar's width.
QLabel *addStatusPanel(QStatusBar *bar);

} // namespace mavrel
