#pragma once

#include "player/mediaengine.h"
#include "player/playlist.h"
#include "player/playlistprobe.h"

#include <QElapsedTimer>
#include <QFutureWatcher>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

class QNetworkAccessManager;

namespace mavrel {

// Why an item did not play, as far as it can be told.
struct PlaybackFailure
{
    enum class Kind
    {
        None,
        Unreachable, // no connection to `host` could be made
        HttpStatus,  // the server answered `httpStatus`
        Undecodable, // bytes came, but nothing in them could be played
        TimedOut,    // nothing came back within the open time-out
        Unopenable,  // the engine could not open it (a missing file, a refused stream)
    };
    Kind kind = Kind::None;
    QString host;
    int httpStatus = 0;
};

// Plays one item at a time on a media engine, without any widget: the address given, or the
// entries of the playlists it turns out to be, tried in order until one plays.
//
// Every failure of an item arrives later as exactly one mediaError(), never from inside a call:
// an address that cannot be opened, a local path that is not a regular file, media that holds
// nothing decodable, an address still not playing after openTimeout(), or a stream whose
// decoders turn out nothing within openTimeout() more. A whole item, playlist entries included,
// gets twice openTimeout() to start.
class PlaybackSession : public QObject
{
    Q_OBJECT
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
    static constexpr int kPositionIntervalMs = 250;

    explicit PlaybackSession(MediaEngine &engine, QObject *parent = nullptr);
    ~PlaybackSession() override;

    // Replaces the current item and starts playing the new one; an empty text closes.
    void setURL(const QString &url);
    QString URL() const { return m_text; }

    void play(); // resumes after pause, or starts the current address again
    // Keeps the item loaded. Media still opening opens on and waits, paused and silent; media
    // the engine cannot pause (some live streams) is stopped instead, so play() starts it again.
    void pause();
    void stop();  // stops; the address stays, play() starts it again
    void close(); // stops and forgets the address

    State state() const { return m_state; }
    // The address finally handed to the engine (a playlist's entry), once playing.
    QUrl playingLocation() const { return m_playingLocation; }

    int volume() const { return m_volume; }
    void setVolume(int volume);
    bool isMuted() const { return m_muted; }
    void setMuted(bool muted);

    int openTimeout() const { return m_openTimeoutMs; }
    void setOpenTimeout(int msecs);

    // Asked at each address handed to the engine: the native window to draw into, 0 for none.
    // Asked late, since a widget's native window is made (and remade) with its top level.
    void setVideoWindow(std::function<quintptr()> window) { m_videoWindow = std::move(window); }

    bool isSeekable() const;
    void seek(double position);

    // What the current item's stream announces (a radio's song), empty when nothing.
    QString nowPlaying() const { return m_nowPlaying; }
    bool hasVideo() const;
    // Why the last item failed; set before stateChanged(Error).
    PlaybackFailure failure() const { return m_failure; }

signals:
    // Raised once for each item that fails; `url` is the text that was set.
    void mediaError(const QString &url);
    void stateChanged(mavrel::PlaybackSession::State state);
    // While playing or paused, every kPositionIntervalMs: 0 to 1, negative when unknown.
    void positionChanged(double position, bool seekable);
    // The engine's cache for the current item, 0 to 100, while it fills.
    void buffering(int percent);
    void nowPlayingChanged(const QString &title);
    // A track of the current item was found (hasVideo() may have changed).
    void trackAdded();

private:
    struct Candidate
    {
        QUrl url;
        int depth = 0;
        bool isPlaylist = false;
    };
    struct Attempt
    {
        std::unique_ptr<EnginePlayback> playback;
        quint64 id = 0;
        QUrl url;
        bool enginePlaying = false;
        bool hasStream = false;
        bool played = false;   // the engine plays a stream with tracks
        bool decoding = false; // and its decoders have turned out something
    };

    void startItem();
    void nextCandidate();
    void startProbe(const Candidate &candidate);
    void onProbeFinished();
    void onLocalProbeFinished();
    void startEngine(const QUrl &url);
    void onEngineEvent(quint64 attemptId, EngineEvent event);
    void candidateFailed(PlaybackFailure::Kind kind = PlaybackFailure::Kind::Unopenable);
    void itemFailed();
    void becomePlaying();
    void confirmDecoding();
    void onOpenTimeout();
    void onPositionTick();
    void releaseAttempt();
    void cancelProbes();
    void abandonItem();
    void expandPlaylist(const Candidate &playlist, const QList<PlaylistEntry> &entries);
    void applyAudio();
    void setState(State state);

    MediaEngine &m_engine;
    QString m_text;
    QUrl m_playingLocation;
    State m_state = State::Closed;
    int m_volume = kDefaultVolume;
    bool m_muted = false;
    int m_openTimeoutMs = kDefaultOpenTimeoutMs;
    std::function<quintptr()> m_videoWindow;

    // The current item: candidates still to try, what has been read, and its outcome.
    QList<Candidate> m_queue;
    QSet<QUrl> m_seenPlaylists;
    int m_probes = 0;
    int m_attempts = 0;
    bool m_itemActive = false;
    bool m_itemPlayed = false;
    bool m_errorRaised = false;
    // Pause asked for the item: kept through opening, applied once the engine plays.
    bool m_pauseRequested = false;
    quint64 m_itemGeneration = 0;
    QElapsedTimer m_itemClock;
    Candidate m_probing;
    bool m_probingPlaylist = false;
    quint64 m_nextAttemptId = 1;
    // What the probe of the address being tried found wrong with it, if anything.
    PlaybackFailure m_probeFailure;
    PlaybackFailure m_failure;
    QString m_nowPlaying;

    std::unique_ptr<Attempt> m_attempt;
    PlaylistProbe *m_probe = nullptr;
    std::unique_ptr<QFutureWatcher<PlaylistProbe::Outcome>> m_localProbe;
    QTimer m_openTimer;
    QTimer m_positionTimer;
    QNetworkAccessManager *m_network;
};

} // namespace mavrel
