#include "mainwindow/ui/mediaopener.h"

#include "favorites/ui/favoritescontroller.h"
#include "mainwindow/opentarget.h"
#include "mainwindow/ui/channelpanel.h"
#include "mainwindow/ui/channelplayback.h"
#include "mainwindow/ui/playerarea.h"
#include "platform/bytetext.h"
#include "player/ui/mediaplayer.h"

#include <QDropEvent>
#include <QLabel>
#include <QMimeData>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace mavrel {

MediaOpener::MediaOpener(const PanelContext &context, ChannelPanel *channels,
                         FavoritesController *favorites, QWidget *window)
    : QObject(window), m_context(context), m_channels(channels), m_favorites(favorites),
      m_window(window)
{
    window->setAcceptDrops(true);
    window->installEventFilter(this);
}

void MediaOpener::open(const QList<QUrl> &targets, const QList<OpenRequest::Refusal> &refused)
{
    if (!refused.isEmpty() && m_context.status)
        m_context.status(m_context.messages(u"MSG_OPENREFUSED"_s).arg(refused.first().text));
    if (targets.isEmpty())
        return;
    // One item plays; a queue of the rest would surprise more than it helps.
    const QUrl &target = targets.first();
    const QString location = target.isLocalFile() ? target.toLocalFile() : target.toString();
    playAsIs(location, openTargetName(target));
}

void MediaOpener::openFromAnotherStart(const QList<QUrl> &targets)
{
    if (m_window->isMinimized())
        m_window->showNormal();
    m_window->raise();
    m_window->activateWindow();
    open(targets);
}

void MediaOpener::replay(const RecentItem &item)
{
    switch (item.source) {
    case RecentSource::Channel:
        m_context.player->showPlayer();
        m_channels->playback().playChannel({item.name, item.address, item.kind});
        return;
    case RecentSource::Favorite:
        m_favorites->playFavorite({item.name, item.address, item.kind, {}});
        return;
    case RecentSource::File:
        playAsIs(displayText(item.address), displayText(item.name));
        return;
    }
}

void MediaOpener::playAsIs(const QString &location, const QString &name)
{
    m_context.player->showPlayer();
    m_context.player->offlinePicture()->hide();
    m_context.playRequests->begin();
    m_context.player->player()->setURL(location, name);
    if (m_context.played)
        m_context.played(playedNow(RecentSource::File, name.toUtf8(), location.toUtf8()));
}

bool MediaOpener::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_window)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto *drag = static_cast<QDropEvent *>(event);
        // Only what can be played is taken, so the pointer says so before the drop.
        if (drag->mimeData() && !openTargetsFromMime(*drag->mimeData()).isEmpty()) {
            drag->setDropAction(Qt::CopyAction);
            drag->accept();
        } else {
            drag->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto *drop = static_cast<QDropEvent *>(event);
        if (!drop->mimeData())
            return true;
        const QList<QUrl> targets = openTargetsFromMime(*drop->mimeData());
        if (targets.isEmpty()) {
            drop->ignore();
            return true;
        }
        drop->setDropAction(Qt::CopyAction);
        drop->accept();
        open(targets);
        return true;
    }
    default:
        return QObject::eventFilter(watched, event);
    }
}

} // namespace mavrel
