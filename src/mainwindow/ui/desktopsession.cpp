#include "mainwindow/ui/desktopsession.h"

#include "branding/branding.h"
#include "desktop/mprisservice.h"
#include "desktop/screensaverinhibitor.h"
#include "mainwindow/localfiles.h"
#include "player/ui/mediaplayer.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace mavrel {

DesktopSession::DesktopSession(const QDBusConnection &bus, MediaPlayer *player, const Lists &lists,
                               QWidget *window)
    : QObject(window), m_player(player), m_lists(lists),
      m_mpris(new MprisService(bus, branding().productName, u"mavrel"_s, this)),
      m_screenSaver(new ScreenSaverInhibitor(bus, branding().productName, this))
{
    connect(m_mpris, &MprisService::playRequested, player, &MediaPlayer::play);
    connect(m_mpris, &MprisService::pauseRequested, player, &MediaPlayer::pause);
    connect(m_mpris, &MprisService::stopRequested, player, &MediaPlayer::stop);
    connect(m_mpris, &MprisService::playPauseRequested, this, &DesktopSession::playPauseRequested);
    connect(m_mpris, &MprisService::volumeRequested, player, [player](double volume) {
        player->setVolume(qRound(volume * 100));
        // Muted reads as volume 0 on the bus, so a louder volume from there is heard.
        if (player->volume() > 0)
            player->setMuted(false);
    });
    connect(m_mpris, &MprisService::raiseRequested, window, [window] {
        window->showNormal();
        window->raise();
        window->activateWindow();
    });
    connect(player, &MediaPlayer::stateChanged, this, &DesktopSession::followPlayer);
    connect(player, &MediaPlayer::audioChanged, this, &DesktopSession::showVolume);
    // A radio's song is the title the desktop shows; without one, the station's name.
    connect(player, &MediaPlayer::nowPlayingChanged, this, [this](const QString &title) {
        m_mpris->setNowPlaying(title.isEmpty() ? m_player->mediaName() : title, m_playingKind);
    });
    followPlayer();
}

void DesktopSession::followPlayer()
{
    using State = MediaPlayer::State;
    const State state = m_player->state();
    if (state == State::Opening) {
        QString title = QFileInfo(m_player->URL()).fileName();
        QString kind;
        for (const auto &[frame, list] : std::as_const(m_lists)) {
            const QModelIndex row = list->currentIndex();
            if (!frame->isHidden() && row.isValid()) {
                title = row.siblingAtColumn(0).data().toString();
                kind = row.siblingAtColumn(1).data().toString();
            }
        }
        m_playingKind = kind;
        if (!m_player->mediaName().isEmpty())
            title = m_player->mediaName();
        m_mpris->setNowPlaying(title, m_playingKind);
    }
    m_mpris->setStatus(state == State::Playing || state == State::Opening
                           ? MprisService::Status::Playing
                       : state == State::Paused ? MprisService::Status::Paused
                                                : MprisService::Status::Stopped);
    showVolume();
    const bool picture = m_playingKind.compare(u"Radio"_s, Qt::CaseInsensitive) != 0 &&
                         !(m_playingKind.isEmpty() && isAudioFileName(m_player->URL()));
    m_screenSaver->setInhibited(state == State::Playing && picture);
}

void DesktopSession::showVolume()
{
    m_mpris->setVolume(m_player->isMuted() ? 0.0 : m_player->volume() / 100.0);
}

} // namespace mavrel
