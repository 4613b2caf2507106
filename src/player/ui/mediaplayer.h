#pragma once

#include "player/playbacksession.h"

#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

class QLabel;
class QSlider;
class QToolButton;

namespace mavrel {

class MediaEngine;

// The embedded media player: give it an address and it plays it, inside its own picture area,
// with a compact control bar underneath. The playing itself, and the rule that each failed item
// raises exactly one MediaError(), are the session's (see PlaybackSession).
class MediaPlayer : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString URL READ URL WRITE setURL)
    Q_PROPERTY(int volume READ volume WRITE setVolume)
    Q_PROPERTY(bool muted READ isMuted WRITE setMuted)

public:
    using State = PlaybackSession::State;
    static constexpr int kDefaultOpenTimeoutMs = PlaybackSession::kDefaultOpenTimeoutMs;
    static constexpr int kDefaultVolume = PlaybackSession::kDefaultVolume;

    // Plays on libVLC.
    explicit MediaPlayer(QWidget *parent = nullptr);
    // Plays on the given engine, which must outlive the player.
    MediaPlayer(MediaEngine &engine, QWidget *parent);
    ~MediaPlayer() override;

    // Replaces the current media and starts playing the new one; an empty text closes.
    void setURL(const QString &url) { setURL(url, QString()); }
    // The same, with the name the feedback calls it by (a channel's); empty for one made from
    // the address (a file's name, a host).
    void setURL(const QString &url, const QString &name);
    QString URL() const { return m_session->URL(); }
    QString mediaName() const { return m_name; }

    // A choice is being looked at before it plays: whatever played stops, and the feedback says
    // it connects to `name`.
    void prepare(const QString &name);
    // The choice turned out offline: nothing plays, and the feedback says so.
    void showOffline(const QString &name);

    // What the status line shows for the current media: "Connecting to Name…", "Buffering 40%",
    // the name (and what the stream announces), or why it failed. Empty when nothing is loaded.
    QString statusText() const { return m_statusText; }
    QString nowPlaying() const { return m_session->nowPlaying(); }
    // Looks up the feedback's texts by message key; an empty answer keeps the built-in English.
    void setMessages(std::function<QString(const QString &key)> lookup);

    void play() { m_session->play(); }
    // Keeps the media loaded and paused; media the engine cannot pause is stopped instead.
    void pause() { m_session->pause(); }
    // The address stays, play() starts it again.
    void stop()
    {
        forgetNotice();
        m_session->stop();
    }
    // Stops and forgets the address. Hides QWidget::close(): callers of the control mean the
    // media, never the widget.
    void close()
    {
        forgetNotice();
        m_session->close();
    }

    State state() const { return m_session->state(); }
    // The address finally handed to the engine (a playlist's entry), once playing.
    QUrl playingLocation() const { return m_session->playingLocation(); }

    int volume() const { return m_session->volume(); }
    void setVolume(int volume);
    bool isMuted() const { return m_session->isMuted(); }
    void setMuted(bool muted);

    int openTimeout() const { return m_session->openTimeout(); }
    void setOpenTimeout(int msecs) { m_session->setOpenTimeout(msecs); }

    // The area the video is drawn into.
    QWidget *videoSurface() const { return m_surface; }
    PlaybackSession &session() { return *m_session; }

    QSize sizeHint() const override;

signals:
    // Raised once for each item that fails; `url` is the address that was set.
    void MediaError(const QString &url);
    // Kept for callers of the control; the engine reports no condition that playback survives
    // in a form that could be tied to one player, so this is not raised.
    void Warning(int warningType, int param, const QString &description);
    void stateChanged(mavrel::PlaybackSession::State state);
    // The volume or the mute switch changed, by the controls or by a call.
    void audioChanged();
    void statusTextChanged(const QString &text);
    // The title the stream announces changed (empty: none any more).
    void nowPlayingChanged(const QString &title);

private:
    void buildUi();
    QString message(const QString &key, const QString &arg = QString()) const;
    QString failureText() const;
    void forgetNotice();
    void updateFeedback();
    void updateControls();
    void onPositionChanged(double position, bool seekable);

    PlaybackSession *m_session;
    QWidget *m_surface = nullptr;
    QToolButton *m_playPause = nullptr;
    QToolButton *m_stop = nullptr;
    QSlider *m_position = nullptr;
    QSlider *m_volumeSlider = nullptr;
    QToolButton *m_mute = nullptr;
    QLabel *m_caption = nullptr;

    std::function<QString(const QString &)> m_messages;
    QString m_name;
    QString m_notice;         // shown instead of the state's text (offline)
    bool m_preparing = false; // prepare() was called and no media set since
    int m_buffering = -1;
    QString m_statusText;
};

} // namespace mavrel
