#pragma once

#include "mainwindow/commandline.h"
#include "mainwindow/ui/panelcontext.h"

#include <QObject>
#include <QUrl>

class QWidget;

namespace mavrel {

class ChannelPanel;
class FavoritesController;

// Plays what does not come from a list shown: files and addresses from the command line, from
// another start of the viewer and from drops on the window, played as they are (no check, no
// report, as My Files), and the recent list's items, each the way its own list plays it.
class MediaOpener : public QObject
{
    Q_OBJECT
public:
    // Drops on `window` are taken.
    MediaOpener(const PanelContext &context, ChannelPanel *channels, FavoritesController *favorites,
                QWidget *window);

    // Plays the first target; what was refused is said.
    void open(const QList<QUrl> &targets, const QList<OpenRequest::Refusal> &refused = {});
    // Another start handed its arguments over: the window comes to the front, then plays them.
    void openFromAnotherStart(const QList<QUrl> &targets);
    void replay(const RecentItem &item);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void playAsIs(const QString &location, const QString &name);

    PanelContext m_context;
    ChannelPanel *m_channels;
    FavoritesController *m_favorites;
    QWidget *m_window;
};

} // namespace mavrel
