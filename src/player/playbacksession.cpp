#include "playbacksession.h"

#include <QNetworkAccessManager>

#include <algorithm>

namespace mavrel {

PlaybackSession::PlaybackSession(MediaEngine &engine, QObject *parent)
    : QObject(parent), m_engine(engine), m_network(new QNetworkAccessManager(this))
{
    m_openTimer.setSingleShot(true);
    connect(&m_openTimer, &QTimer::timeout, this, &PlaybackSession::onOpenTimeout);
    m_positionTimer.setInterval(kPositionIntervalMs);
    connect(&m_positionTimer, &QTimer::timeout, this, &PlaybackSession::onPositionTick);
}

PlaybackSession::~PlaybackSession()
{
    abandonItem();
}

void PlaybackSession::setURL(const QString &url)
{
    abandonItem();
    m_text = url;
    if (url.trimmed().isEmpty()) {
        setState(State::Closed);
        return;
    }
    startItem();
}

void PlaybackSession::startItem()
{
    ++m_itemGeneration;
    m_queue = {Candidate{mediaLocationFromText(m_text), 0, false}};
    m_seenPlaylists.clear();
    m_probes = 0;
    m_attempts = 0;
    m_itemActive = true;
    m_itemPlayed = false;
    m_errorRaised = false;
    m_pauseRequested = false;
    m_playingLocation.clear();
    m_failure = {};
    m_nowPlaying.clear();
    m_itemClock.start();
    setState(State::Opening);
    nextCandidate();
}

void PlaybackSession::nextCandidate()
{
    m_openTimer.stop();
    const qint64 budget = 2 * qint64(m_openTimeoutMs) - m_itemClock.elapsed();
    if (m_queue.isEmpty() || budget <= 0) {
        itemFailed();
        return;
    }
    const Candidate candidate = m_queue.takeFirst();
    m_probeFailure = {};
    if (!candidate.url.isValid() || candidate.url.isEmpty()) {
        nextCandidate();
        return;
    }
    m_openTimer.start(int(std::min<qint64>(m_openTimeoutMs, budget)));
    startProbe(candidate);
}

void PlaybackSession::startProbe(const Candidate &candidate)
{
    const bool mayBePlaylist = candidate.depth <= kMaxPlaylistDepth && m_probes < kMaxProbesPerItem;
    m_probing = candidate;
    if (candidate.url.isLocalFile()) {
        // Every local path is looked at, playlist or not: only a regular file may reach the
        // engine, and the look happens off this thread.
        if (mayBePlaylist)
            ++m_probes;
        m_probingPlaylist = mayBePlaylist;
        m_localProbe = std::make_unique<QFutureWatcher<PlaylistProbe::Outcome>>();
        connect(m_localProbe.get(), &QFutureWatcherBase::finished, this,
                &PlaybackSession::onLocalProbeFinished);
        m_localProbe->setFuture(
            PlaylistProbe::probeLocalFileInBackground(candidate.url, candidate.isPlaylist));
        return;
    }
    if (mayBePlaylist && PlaylistProbe::canProbe(candidate.url)) {
        ++m_probes;
        m_probe = new PlaylistProbe(m_network, this);
        connect(m_probe, &PlaylistProbe::finished, this, &PlaybackSession::onProbeFinished);
        m_probe->start(candidate.url, candidate.isPlaylist);
        return;
    }
    startEngine(candidate.url);
}

void PlaybackSession::onLocalProbeFinished()
{
    if (!m_localProbe || sender() != m_localProbe.get())
        return;
    const QFuture<PlaylistProbe::Outcome> future = m_localProbe->future();
    m_localProbe.release()->deleteLater(); // we are inside its signal
    const PlaylistProbe::Outcome outcome =
        future.resultCount() > 0 ? future.result() : PlaylistProbe::Outcome{{}, false, 0, {}};
    if (!outcome.playable)
        candidateFailed();
    else if (!outcome.entries.isEmpty() && m_probingPlaylist)
        expandPlaylist(m_probing, outcome.entries);
    else
        startEngine(m_probing.url);
}

void PlaybackSession::onProbeFinished()
{
    if (!m_probe || sender() != m_probe)
        return;
    const PlaylistProbe::Outcome &outcome = m_probe->outcome();
    const QList<PlaylistEntry> entries = outcome.entries;
    if (outcome.httpStatus >= 400)
        m_probeFailure = {PlaybackFailure::Kind::HttpStatus, m_probing.url.host(),
                          outcome.httpStatus};
    else if (!outcome.unreachableHost.isEmpty())
        m_probeFailure = {PlaybackFailure::Kind::Unreachable, outcome.unreachableHost, 0};
    m_probe->deleteLater();
    m_probe = nullptr;
    if (!entries.isEmpty())
        expandPlaylist(m_probing, entries);
    else
        startEngine(m_probing.url);
}

void PlaybackSession::expandPlaylist(const Candidate &playlist, const QList<PlaylistEntry> &entries)
{
    // A playlist met again through its own entries is a loop: it adds nothing.
    if (!m_seenPlaylists.contains(playlist.url)) {
        m_seenPlaylists.insert(playlist.url);
        QList<Candidate> expanded;
        for (const PlaylistEntry &entry : entries)
            expanded.append({entry.url, playlist.depth + 1, entry.isPlaylist});
        m_queue = expanded + m_queue;
    }
    nextCandidate();
}

void PlaybackSession::startEngine(const QUrl &url)
{
    if (++m_attempts > kMaxAttemptsPerItem) {
        candidateFailed();
        return;
    }
    std::unique_ptr<EnginePlayback> playback =
        m_engine.open(url, m_videoWindow ? m_videoWindow() : 0);
    if (!playback) {
        candidateFailed();
        return;
    }
    m_attempt = std::make_unique<Attempt>();
    m_attempt->url = url;
    m_attempt->playback = std::move(playback);
    // Queued, so that handling an event may end the attempt that sent it; the id drops what a
    // torn-down attempt still had under way.
    const quint64 id = m_attempt->id = m_nextAttemptId++;
    connect(
        m_attempt->playback.get(), &EnginePlayback::engineEvent, this,
        [this, id](EngineEvent event) { onEngineEvent(id, event); }, Qt::QueuedConnection);
    connect(
        m_attempt->playback.get(), &EnginePlayback::buffering, this,
        [this, id](int percent) {
            if (m_attempt && m_attempt->id == id)
                emit buffering(percent);
        },
        Qt::QueuedConnection);
    applyAudio();
    if (!m_attempt->playback->play())
        candidateFailed();
}

void PlaybackSession::onEngineEvent(quint64 attemptId, EngineEvent event)
{
    if (!m_attempt || m_attempt->id != attemptId)
        return;
    Attempt &attempt = *m_attempt;
    switch (event) {
    case EngineEvent::TrackAdded:
        attempt.hasStream = true;
        if (attempt.enginePlaying)
            becomePlaying();
        emit trackAdded();
        break;
    case EngineEvent::MetaChanged:
        if (const QString title = attempt.playback->nowPlaying(); title != m_nowPlaying) {
            m_nowPlaying = title;
            emit nowPlayingChanged(title);
        }
        break;
    case EngineEvent::Playing:
        // The engine says "playing" even for bytes it cannot demultiplex; only a stream
        // with at least one track counts.
        attempt.enginePlaying = true;
        if (attempt.hasStream)
            becomePlaying();
        break;
    case EngineEvent::Paused:
        // The state follows the requests; the engine's events only confirm them.
        break;
    case EngineEvent::Error:
        // Running, but nothing decoded yet: it failed on what it read.
        candidateFailed(attempt.enginePlaying && !attempt.decoding
                            ? PlaybackFailure::Kind::Undecodable
                            : PlaybackFailure::Kind::Unopenable);
        break;
    case EngineEvent::EndReached:
        // The final statistics are in by now: an end with nothing decoded is a failure
        // (no known container, or no decoder for any of its tracks).
        if (!attempt.decoding && !attempt.playback->hasDecoded()) {
            candidateFailed(PlaybackFailure::Kind::Undecodable);
        } else {
            releaseAttempt();
            m_itemActive = false;
            setState(State::Ended);
        }
        break;
    }
}

void PlaybackSession::becomePlaying()
{
    Attempt &attempt = *m_attempt;
    if (!attempt.played) {
        attempt.played = true;
        m_playingLocation = attempt.url;
        m_positionTimer.start();
        // From here the decoders have a full time-out of their own to turn out something.
        m_openTimer.start(m_openTimeoutMs);
    }
    if (!m_pauseRequested) {
        setState(State::Playing);
        return;
    }
    // Paused while it opened: hold it where it is, or, if it cannot hold, stop it.
    if (attempt.playback->canPause()) {
        attempt.playback->setPaused(true);
        setState(State::Paused);
    } else {
        stop();
    }
}

void PlaybackSession::confirmDecoding()
{
    Attempt &attempt = *m_attempt;
    if (attempt.decoding || !attempt.playback->hasDecoded())
        return;
    attempt.decoding = true;
    m_itemPlayed = true;
    m_openTimer.stop();
    m_queue.clear();
}

void PlaybackSession::onOpenTimeout()
{
    if (m_attempt && m_attempt->played) {
        confirmDecoding();
        if (m_attempt->decoding)
            return;
    }
    // Paused once playing, before anything was decoded: the decoders wait with the stream, and
    // so does the clock. Media still opening keeps its time-out, paused or not.
    if (m_attempt && m_attempt->played && m_pauseRequested) {
        m_openTimer.start(m_openTimeoutMs);
        return;
    }
    // The engine running without anything to show for it read bytes it could not use.
    candidateFailed(m_attempt && m_attempt->enginePlaying ? PlaybackFailure::Kind::Undecodable
                                                          : PlaybackFailure::Kind::TimedOut);
}

void PlaybackSession::onPositionTick()
{
    if (!m_attempt || !m_attempt->played)
        return;
    confirmDecoding();
    emit positionChanged(m_attempt->playback->position(), m_attempt->playback->isSeekable());
}

void PlaybackSession::candidateFailed(PlaybackFailure::Kind kind)
{
    // What the address's own server said beats the engine's guess.
    if (m_itemActive)
        m_failure = m_probeFailure.kind != PlaybackFailure::Kind::None
                        ? m_probeFailure
                        : PlaybackFailure{kind, m_probing.url.host(), 0};
    releaseAttempt();
    cancelProbes();
    if (!m_itemActive)
        return;
    if (m_itemPlayed) {
        itemFailed();
        return;
    }
    if (!m_pauseRequested)
        setState(State::Opening);
    nextCandidate();
}

void PlaybackSession::itemFailed()
{
    m_openTimer.stop();
    m_queue.clear();
    releaseAttempt();
    cancelProbes();
    if (!m_itemActive || m_errorRaised)
        return;
    m_itemActive = false;
    m_errorRaised = true;
    m_pauseRequested = false;
    if (m_failure.kind == PlaybackFailure::Kind::None)
        m_failure.kind = m_itemClock.elapsed() >= 2 * qint64(m_openTimeoutMs)
                             ? PlaybackFailure::Kind::TimedOut
                             : PlaybackFailure::Kind::Unopenable;
    // Taken before the state signal, whose receiver may already set the next address.
    const quint64 generation = m_itemGeneration;
    const QString text = m_text;
    setState(State::Error);
    // Never from inside a call; and an item replaced in the meantime no longer reports.
    QMetaObject::invokeMethod(
        this,
        [this, generation, text] {
            if (generation == m_itemGeneration)
                emit mediaError(text);
        },
        Qt::QueuedConnection);
}

void PlaybackSession::releaseAttempt()
{
    m_positionTimer.stop();
    m_attempt.reset();
}

void PlaybackSession::cancelProbes()
{
    if (m_probe) {
        m_probe->disconnect(this);
        m_probe->deleteLater();
        m_probe = nullptr;
    }
    if (m_localProbe) {
        // The look at the file finishes on its own thread; nobody waits for it.
        m_localProbe->disconnect(this);
        m_localProbe.release()->deleteLater();
    }
}

void PlaybackSession::abandonItem()
{
    ++m_itemGeneration;
    m_itemActive = false;
    m_pauseRequested = false;
    m_queue.clear();
    m_openTimer.stop();
    cancelProbes();
    releaseAttempt();
}

void PlaybackSession::play()
{
    if (m_pauseRequested && m_itemActive) {
        m_pauseRequested = false;
        applyAudio();
        if (m_attempt && m_attempt->played) {
            m_attempt->playback->setPaused(false);
            setState(State::Playing);
        } else {
            setState(State::Opening);
        }
        return;
    }
    if (m_state == State::Playing || m_state == State::Opening || m_text.trimmed().isEmpty())
        return;
    setURL(m_text);
}

void PlaybackSession::pause()
{
    if (!m_itemActive || m_pauseRequested)
        return;
    if (m_state == State::Opening) {
        m_pauseRequested = true;
        applyAudio(); // nothing may sound before it is held
        setState(State::Paused);
        return;
    }
    if (m_state != State::Playing || !m_attempt)
        return;
    if (m_attempt->playback->canPause()) {
        m_pauseRequested = true;
        m_attempt->playback->setPaused(true);
        setState(State::Paused);
        return;
    }
    // A live stream the engine cannot hold.
    stop();
}

void PlaybackSession::stop()
{
    abandonItem();
    setState(m_text.isEmpty() ? State::Closed : State::Stopped);
}

void PlaybackSession::close()
{
    abandonItem();
    m_text.clear();
    m_playingLocation.clear();
    setState(State::Closed);
}

void PlaybackSession::setVolume(int volume)
{
    m_volume = std::clamp(volume, 0, 100);
    applyAudio();
}

void PlaybackSession::setMuted(bool muted)
{
    m_muted = muted;
    applyAudio();
}

void PlaybackSession::applyAudio()
{
    if (m_attempt)
        m_attempt->playback->setAudio(m_volume, m_muted || m_pauseRequested);
}

void PlaybackSession::setOpenTimeout(int msecs)
{
    m_openTimeoutMs = std::max(1, msecs);
}

bool PlaybackSession::hasVideo() const
{
    return m_attempt && m_attempt->playback->hasVideo();
}

bool PlaybackSession::isSeekable() const
{
    return m_attempt && m_attempt->played && m_attempt->playback->isSeekable();
}

void PlaybackSession::seek(double position)
{
    if (isSeekable())
        m_attempt->playback->setPosition(std::clamp(position, 0.0, 1.0));
}

void PlaybackSession::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    emit stateChanged(state);
}

} // namespace mavrel
