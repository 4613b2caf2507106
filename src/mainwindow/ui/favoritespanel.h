#pragma once

#include "favorites/ui/favoritescontroller.h"
#include "mainwindow/layout.h"
#include "mainwindow/ui/panelcontext.h"

#include <QGroupBox>

class QPushButton;

namespace mavrel {

class ChannelPanel;
class FavoritesExchange;
class FindBar;
class VideoSitePanel;
class ListViewEnh;
class WindowControls;

// The favourites ("Frame3"): the list with its find bar and the Remove button. A click checks and
// plays the favourite; the channel actions of the channel list and the video list add to it.
class FavoritesPanel : public QGroupBox
{
    Q_OBJECT
public:
    FavoritesPanel(const QString &filePath, const PanelContext &context, ChannelPanel *channels,
                   VideoSitePanel *videos, QWidget *parent);

    FavoritesController &controller() const { return *m_controller; }
    // Export to and import from playlists.
    FavoritesExchange &exchange() const { return *m_exchange; }
    ListViewEnh *list() const { return ListView2; }
    FindBar *findBar() const { return m_find; }

    void readGeometry(ResizableControls &c) const;
    void applyGeometry(const ResizableControls &c);
    void addControls(WindowControls &c);

private:
    void installLogos(ChannelPanel *channels);

    QPushButton *Command1;
    ListViewEnh *ListView2;
    FindBar *m_find;
    FavoritesController *m_controller;
    FavoritesExchange *m_exchange;
};

} // namespace mavrel
