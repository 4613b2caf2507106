#pragma once

#include "mainwindow/player/playlist.h"

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <memory>

struct libvlc_event_t;
class QNetworkAccessManager;
class QSlider;
class QToolButton;

namespace mavrel {

class PlaylistProbe;

// The embedded media player: give it an address and it plays it, inside its own picture area,
// with a compact control bar underneath.
//
// Every failure of an item arrives later as exactly one MediaError(): an address that cannot
// be opened, media that holds nothing decodable, an address still not playing after
// openTimeout(), or a stream whose decoders turn out nothing within openTimeout() more. Playlists
// (Windows Media metafiles, M3U, PLS, WPL) are read here and their entries tried in order until one
// plays, whatever the address ends with.
class MediaPlayer : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QString URL READ URL WRITE setURL)
    Q_PROPERTY(int volume READ volume WRITE setVolume)
    Q_PROPERTY(bool muted READ isMuted WRITE setMuted)

public:
    enum class State
    {
        Closed,
        Opening,
        Playing,
        Paused,
        Stopped,
        Ended,
        Error
    };
    Q_ENUM(State)

    static constexpr int kDefaultOpenTimeoutMs = 15000;
    static constexpr int kDefaultVolume = 50;
    // Nested playlists followed at most, and addresses looked at per item at most.
    static constexpr int kMaxPlaylistDepth = 4;
    static constexpr int kMaxProbesPerItem = 12;
    static constexpr int kMaxAttemptsPerItem = 8;

    explicit MediaPlayer(QWidget *parent = nullptr);
    ~MediaPlayer() override;

    // Replaces the current media and starts playing the new one; an empty text closes.
    void setURL(const QString &url);
    QString URL() const { return m_text; }

    void play();  // resumes after pause, or starts the current address again
    void pause(); // keeps the media loaded; media that cannot pause is stopped instead
    void stop();  // stops; the address stays, play() starts it again
    // Stops and forgets the address. Hides QWidget::close(): callers of the control mean the
    // media, never the widget.
    void close();

    State state() const { return m_state; }
    // The address finally handed to the engine (a playlist's entry), once playing.
    QUrl playingLocation() const { return m_playingLocation; }

    int volume() const { return m_volume; }
    void setVolume(int volume);
    bool isMuted() const { return m_muted; }
    void setMuted(bool muted);

    int openTimeout() const { return m_openTimeoutMs; }
    void setOpenTimeout(int msecs);

    // The area the video is drawn into.
    QWidget *videoSurface() const { return m_surface; }

    QSize sizeHint() const override;

signals:
    // Raised once for each item that fails; `url` is the address that was set.
    void MediaError(const QString &url);
    // Kept for callers of the control; the engine reports no condition that playback survives
    // in a form that could be tied to one player, so this is not raised.
    void Warning(int warningType, int param, const QString &description);
    void stateChanged(mavrel::MediaPlayer::State state);

private:
    struct Candidate
    {
        QUrl url;
        int depth = 0;
        bool isPlaylist = false;
    };
    struct Attempt;

    void startItem();
    void nextCandidate();
    void onProbeFinished();
    void startEngine(const QUrl &url);
    void onEngineEvent(quint64 attemptId, int type);
    void candidateFailed();
    void itemFailed();
    void becomePlaying();
    void confirmDecoding();
    void onOpenTimeout();
    void releaseAttempt();
    void abandonItem();
    void expandPlaylist(const Candidate &playlist, const QList<PlaylistEntry> &entries);
    void setState(State state);
    void updatePosition();
    void applyAudio();
    void buildUi();
    void updateControls();

    static void engineCallback(const ::libvlc_event_t *event, void *opaque);

    QString m_text;
    QUrl m_playingLocation;
    State m_state = State::Closed;
    int m_volume = kDefaultVolume;
    bool m_muted = false;
    int m_openTimeoutMs = kDefaultOpenTimeoutMs;

    // The current item: candidates still to try, what has been read, and its outcome.
    QList<Candidate> m_queue;
    QSet<QUrl> m_seenPlaylists;
    int m_probes = 0;
    int m_attempts = 0;
    bool m_itemActive = false;
    bool m_itemPlayed = false;
    bool m_errorRaised = false;
    quint64 m_itemGeneration = 0;
    QElapsedTimer m_itemClock;
    Candidate m_probing;

    std::unique_ptr<Attempt> m_attempt;
    quint64 m_nextAttemptId = 1;
    PlaylistProbe *m_probe = nullptr;
    QTimer m_openTimer;
    QTimer m_positionTimer;
    QNetworkAccessManager *m_network;

    QWidget *m_surface = nullptr;
    QToolButton *m_playPause = nullptr;
    QToolButton *m_stop = nullptr;
    QSlider *m_position = nullptr;
    QSlider *m_volumeSlider = nullptr;
    QToolButton *m_mute = nullptr;
};

} // namespace mavrel
