#include "mediaplayer.h"

#include "mainwindow/player/playlistprobe.h"
#include "mainwindow/player/vlcengine.h"

#include <QFile>
#include <QHBoxLayout>
#include <QNetworkAccessManager>
#include <QSlider>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include <vlc/vlc.h>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace mavrel {
namespace {

// Engine events we act on; Buffering is left out on purpose (it fires hundreds of times).
constexpr libvlc_event_e kWatchedEvents[] = {
    libvlc_MediaPlayerPlaying,          libvlc_MediaPlayerPaused,  libvlc_MediaPlayerEndReached,
    libvlc_MediaPlayerEncounteredError, libvlc_MediaPlayerESAdded,
};

constexpr int kPositionSteps = 1000;

bool hasDecoded(libvlc_media_t *media)
{
    libvlc_media_stats_t stats{};
    return libvlc_media_get_stats(media, &stats) &&
           stats.i_decoded_audio + stats.i_decoded_video > 0;
}

} // namespace

// One try of one address on a player of its own, so that tearing it down never waits on the
// next one and its events can never be mistaken for another address's.
struct MediaPlayer::Attempt
{
    MediaPlayer *owner = nullptr;
    quint64 id = 0;
    QUrl url;
    libvlc_media_t *media = nullptr;
    libvlc_media_player_t *player = nullptr;
    bool attached = false;
    bool enginePlaying = false;
    bool hasStream = false;
    bool played = false;   // the engine plays a stream with tracks
    bool decoding = false; // and its decoders have turned out something
    bool pauseRequested = false;
};

MediaPlayer::MediaPlayer(QWidget *parent)
    : QWidget(parent), m_network(new QNetworkAccessManager(this))
{
    m_openTimer.setSingleShot(true);
    connect(&m_openTimer, &QTimer::timeout, this, &MediaPlayer::onOpenTimeout);
    m_positionTimer.setInterval(250);
    connect(&m_positionTimer, &QTimer::timeout, this, &MediaPlayer::updatePosition);
    buildUi();
    updateControls();
}

MediaPlayer::~MediaPlayer()
{
    // Detaching waits for a callback in flight, so after this no engine thread can post to us.
    abandonItem();
}

QSize MediaPlayer::sizeHint() const
{
    return {320, 280};
}

void MediaPlayer::buildUi()
{
    m_surface = new QWidget(this);
    m_surface->setObjectName(u"videoSurface"_s);
    m_surface->setAutoFillBackground(true);
    QPalette black = m_surface->palette();
    black.setColor(QPalette::Window, Qt::black);
    m_surface->setPalette(black);
    m_surface->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    if (vlc::embedsVideo()) {
        // Only the picture gets an X11 window of its own; the engine draws into it.
        m_surface->setAttribute(Qt::WA_DontCreateNativeAncestors);
        m_surface->setAttribute(Qt::WA_NativeWindow);
    }

    auto makeButton = [this](const QString &name, QStyle::StandardPixmap icon) {
        auto *button = new QToolButton(this);
        button->setObjectName(name);
        button->setIcon(style()->standardIcon(icon));
        button->setAutoRaise(true);
        button->setFocusPolicy(Qt::NoFocus);
        return button;
    };
    m_playPause = makeButton(u"playPauseButton"_s, QStyle::SP_MediaPlay);
    m_stop = makeButton(u"stopButton"_s, QStyle::SP_MediaStop);
    m_mute = makeButton(u"muteButton"_s, QStyle::SP_MediaVolume);
    m_mute->setCheckable(true);

    m_position = new QSlider(Qt::Horizontal, this);
    m_position->setObjectName(u"positionSlider"_s);
    m_position->setRange(0, kPositionSteps);
    m_position->setFocusPolicy(Qt::NoFocus);

    m_volumeSlider = new QSlider(Qt::Horizontal, this);
    m_volumeSlider->setObjectName(u"volumeSlider"_s);
    m_volumeSlider->setRange(0, 100);
    m_volumeSlider->setValue(m_volume);
    m_volumeSlider->setFixedWidth(80);
    m_volumeSlider->setFocusPolicy(Qt::NoFocus);

    auto *bar = new QHBoxLayout;
    bar->setContentsMargins(2, 0, 2, 0);
    bar->setSpacing(2);
    bar->addWidget(m_playPause);
    bar->addWidget(m_stop);
    bar->addWidget(m_position, 1);
    bar->addWidget(m_mute);
    bar->addWidget(m_volumeSlider);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_surface, 1);
    layout->addLayout(bar);

    connect(m_playPause, &QToolButton::clicked, this, [this] {
        if (m_state == State::Playing || m_state == State::Opening)
            pause();
        else
            play();
    });
    connect(m_stop, &QToolButton::clicked, this, &MediaPlayer::stop);
    connect(m_mute, &QToolButton::toggled, this, &MediaPlayer::setMuted);
    connect(m_volumeSlider, &QSlider::valueChanged, this, &MediaPlayer::setVolume);
    connect(m_position, &QSlider::sliderReleased, this, [this] {
        if (m_attempt && m_attempt->played && libvlc_media_player_is_seekable(m_attempt->player))
            libvlc_media_player_set_position(m_attempt->player,
                                             float(m_position->value()) / kPositionSteps);
    });
}

void MediaPlayer::updateControls()
{
    const bool active = m_state == State::Playing || m_state == State::Opening;
    m_playPause->setIcon(
        style()->standardIcon(active ? QStyle::SP_MediaPause : QStyle::SP_MediaPlay));
    m_playPause->setEnabled(active || !m_text.isEmpty());
    m_stop->setEnabled(m_state != State::Closed && m_state != State::Stopped);
    m_mute->setIcon(
        style()->standardIcon(m_muted ? QStyle::SP_MediaVolumeMuted : QStyle::SP_MediaVolume));
    if (m_state != State::Playing && m_state != State::Paused) {
        m_position->setEnabled(false);
        m_position->setValue(0);
    }
}

void MediaPlayer::setURL(const QString &url)
{
    abandonItem();
    m_text = url;
    if (url.trimmed().isEmpty()) {
        setState(State::Closed);
        return;
    }
    startItem();
}

void MediaPlayer::startItem()
{
    ++m_itemGeneration;
    m_queue = {Candidate{mediaLocationFromText(m_text), 0, false}};
    m_seenPlaylists.clear();
    m_probes = 0;
    m_attempts = 0;
    m_itemActive = true;
    m_itemPlayed = false;
    m_errorRaised = false;
    m_playingLocation.clear();
    m_itemClock.start();
    setState(State::Opening);
    nextCandidate();
}

void MediaPlayer::nextCandidate()
{
    m_openTimer.stop();
    // A playlist of dead entries gets twice the open time-out in all, not that per entry.
    const qint64 budget = 2 * qint64(m_openTimeoutMs) - m_itemClock.elapsed();
    if (m_queue.isEmpty() || budget <= 0) {
        itemFailed();
        return;
    }
    const Candidate candidate = m_queue.takeFirst();
    if (!candidate.url.isValid() || candidate.url.isEmpty()) {
        nextCandidate();
        return;
    }
    m_openTimer.start(int(std::min<qint64>(m_openTimeoutMs, budget)));

    const bool mayBePlaylist = candidate.depth <= kMaxPlaylistDepth && m_probes < kMaxProbesPerItem;
    if (mayBePlaylist && candidate.url.isLocalFile()) {
        ++m_probes;
        const auto outcome = PlaylistProbe::probeLocalFile(candidate.url, candidate.isPlaylist);
        if (!outcome.entries.isEmpty()) {
            expandPlaylist(candidate, outcome.entries);
            return;
        }
    } else if (mayBePlaylist && PlaylistProbe::canProbe(candidate.url)) {
        ++m_probes;
        m_probing = candidate;
        m_probe = new PlaylistProbe(m_network, this);
        connect(m_probe, &PlaylistProbe::finished, this, &MediaPlayer::onProbeFinished);
        m_probe->start(candidate.url, candidate.isPlaylist);
        return;
    }
    startEngine(candidate.url);
}

void MediaPlayer::onProbeFinished()
{
    if (!m_probe || sender() != m_probe)
        return;
    const QList<PlaylistEntry> entries = m_probe->outcome().entries;
    m_probe->deleteLater();
    m_probe = nullptr;
    if (!entries.isEmpty())
        expandPlaylist(m_probing, entries);
    else
        startEngine(m_probing.url);
}

void MediaPlayer::expandPlaylist(const Candidate &playlist, const QList<PlaylistEntry> &entries)
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

void MediaPlayer::startEngine(const QUrl &url)
{
    libvlc_instance_t *engine = vlc::instance();
    if (!engine || ++m_attempts > kMaxAttemptsPerItem) {
        candidateFailed();
        return;
    }
    auto attempt = std::make_unique<Attempt>();
    attempt->owner = this;
    attempt->id = m_nextAttemptId++;
    attempt->url = url;
    attempt->media =
        url.isLocalFile()
            ? libvlc_media_new_path(engine, QFile::encodeName(url.toLocalFile()).constData())
            : libvlc_media_new_location(engine, url.toEncoded().constData());
    if (attempt->media)
        attempt->player = libvlc_media_player_new_from_media(attempt->media);
    if (!attempt->player) {
        vlc::releaseInBackground(nullptr, attempt->media);
        candidateFailed();
        return;
    }
    if (vlc::embedsVideo())
        libvlc_media_player_set_xwindow(attempt->player, uint32_t(m_surface->winId()));
    libvlc_video_set_mouse_input(attempt->player, 0);
    libvlc_video_set_key_input(attempt->player, 0);
    libvlc_event_manager_t *events = libvlc_media_player_event_manager(attempt->player);
    for (libvlc_event_e type : kWatchedEvents)
        libvlc_event_attach(events, type, &MediaPlayer::engineCallback, attempt.get());
    attempt->attached = true;
    m_attempt = std::move(attempt);
    applyAudio();
    if (libvlc_media_player_play(m_attempt->player) != 0)
        candidateFailed();
}

void MediaPlayer::engineCallback(const libvlc_event_t *event, void *opaque)
{
    // On an engine thread: only hand the event over. The owner is alive, since it detaches
    // (which waits for this callback) before it goes.
    const auto *attempt = static_cast<const Attempt *>(opaque);
    MediaPlayer *owner = attempt->owner;
    const quint64 id = attempt->id;
    const int type = event->type;
    QMetaObject::invokeMethod(
        owner, [owner, id, type] { owner->onEngineEvent(id, type); }, Qt::QueuedConnection);
}

void MediaPlayer::onEngineEvent(quint64 attemptId, int type)
{
    if (!m_attempt || m_attempt->id != attemptId)
        return; // a torn-down attempt
    Attempt &attempt = *m_attempt;
    switch (type) {
    case libvlc_MediaPlayerESAdded:
        attempt.hasStream = true;
        if (attempt.enginePlaying && !attempt.pauseRequested)
            becomePlaying();
        break;
    case libvlc_MediaPlayerPlaying:
        // The engine says "playing" even for bytes it cannot demultiplex; only a stream
        // with at least one track counts.
        attempt.enginePlaying = true;
        if (attempt.hasStream && !attempt.pauseRequested)
            becomePlaying();
        break;
    case libvlc_MediaPlayerPaused:
        // A pause and a resume in quick succession may reach the engine as one; the state
        // follows the requests, the events only confirm them.
        if (attempt.played && attempt.pauseRequested)
            setState(State::Paused);
        break;
    case libvlc_MediaPlayerEncounteredError:
        candidateFailed();
        break;
    case libvlc_MediaPlayerEndReached:
        // The final statistics are in by now: an end with nothing decoded is a failure
        // (no known container, or no decoder for any of its tracks).
        if (!attempt.decoding && !hasDecoded(attempt.media)) {
            candidateFailed();
        } else {
            releaseAttempt();
            m_itemActive = false;
            setState(State::Ended);
        }
        break;
    default:
        break;
    }
}

void MediaPlayer::becomePlaying()
{
    Attempt &attempt = *m_attempt;
    if (!attempt.played) {
        attempt.played = true;
        m_playingLocation = attempt.url;
        m_positionTimer.start();
        // From here the decoders have a full time-out of their own to turn out something.
        m_openTimer.start(m_openTimeoutMs);
    }
    setState(State::Playing);
}

void MediaPlayer::confirmDecoding()
{
    Attempt &attempt = *m_attempt;
    if (attempt.decoding || !hasDecoded(attempt.media))
        return;
    attempt.decoding = true;
    m_itemPlayed = true;
    m_openTimer.stop();
    m_queue.clear();
}

void MediaPlayer::onOpenTimeout()
{
    // Paused before anything was decoded: decoders wait with the stream, so does the clock.
    if (m_attempt && m_attempt->pauseRequested) {
        m_openTimer.start(m_openTimeoutMs);
        return;
    }
    candidateFailed();
}

void MediaPlayer::candidateFailed()
{
    releaseAttempt();
    if (m_probe) {
        m_probe->deleteLater();
        m_probe = nullptr;
    }
    if (!m_itemActive)
        return;
    if (m_itemPlayed) {
        itemFailed();
        return;
    }
    setState(State::Opening);
    nextCandidate();
}

void MediaPlayer::itemFailed()
{
    m_openTimer.stop();
    m_queue.clear();
    releaseAttempt();
    if (!m_itemActive || m_errorRaised)
        return;
    m_itemActive = false;
    m_errorRaised = true;
    // Taken before the state signal, whose receiver may already set the next address.
    const quint64 generation = m_itemGeneration;
    const QString text = m_text;
    setState(State::Error);
    // Never from inside setURL(); and an item replaced in the meantime no longer reports.
    QMetaObject::invokeMethod(
        this,
        [this, generation, text] {
            if (generation == m_itemGeneration)
                emit MediaError(text);
        },
        Qt::QueuedConnection);
}

void MediaPlayer::releaseAttempt()
{
    m_positionTimer.stop();
    if (!m_attempt)
        return;
    std::unique_ptr<Attempt> attempt = std::move(m_attempt);
    if (attempt->attached) {
        libvlc_event_manager_t *events = libvlc_media_player_event_manager(attempt->player);
        for (libvlc_event_e type : kWatchedEvents)
            libvlc_event_detach(events, type, &MediaPlayer::engineCallback, attempt.get());
    }
    vlc::releaseInBackground(attempt->player, attempt->media);
}

void MediaPlayer::abandonItem()
{
    ++m_itemGeneration;
    m_itemActive = false;
    m_queue.clear();
    m_openTimer.stop();
    if (m_probe) {
        delete m_probe;
        m_probe = nullptr;
    }
    releaseAttempt();
}

void MediaPlayer::play()
{
    if (m_attempt && m_attempt->played && m_attempt->pauseRequested) {
        m_attempt->pauseRequested = false;
        libvlc_media_player_set_pause(m_attempt->player, 0);
        setState(State::Playing);
        return;
    }
    if (m_state == State::Playing || m_state == State::Opening || m_text.trimmed().isEmpty())
        return;
    setURL(m_text);
}

void MediaPlayer::pause()
{
    if (m_state == State::Playing && m_attempt &&
        libvlc_media_player_can_pause(m_attempt->player)) {
        m_attempt->pauseRequested = true;
        libvlc_media_player_set_pause(m_attempt->player, 1);
        setState(State::Paused);
        return;
    }
    // A live stream cannot hold its place, and an address still opening has none.
    if (m_state == State::Playing || m_state == State::Opening)
        stop();
}

void MediaPlayer::stop()
{
    abandonItem();
    setState(m_text.isEmpty() ? State::Closed : State::Stopped);
}

void MediaPlayer::close()
{
    abandonItem();
    m_text.clear();
    m_playingLocation.clear();
    setState(State::Closed);
}

void MediaPlayer::setVolume(int volume)
{
    volume = std::clamp(volume, 0, 100);
    if (volume == m_volume)
        return;
    m_volume = volume;
    const QSignalBlocker blocker(m_volumeSlider);
    m_volumeSlider->setValue(volume);
    applyAudio();
}

void MediaPlayer::setMuted(bool muted)
{
    if (muted == m_muted)
        return;
    m_muted = muted;
    const QSignalBlocker blocker(m_mute);
    m_mute->setChecked(muted);
    applyAudio();
    updateControls();
}

void MediaPlayer::applyAudio()
{
    if (!m_attempt)
        return;
    libvlc_audio_set_volume(m_attempt->player, m_volume);
    libvlc_audio_set_mute(m_attempt->player, m_muted ? 1 : 0);
}

void MediaPlayer::setOpenTimeout(int msecs)
{
    m_openTimeoutMs = std::max(1, msecs);
}

void MediaPlayer::updatePosition()
{
    if (!m_attempt || !m_attempt->played)
        return;
    confirmDecoding();
    m_position->setEnabled(libvlc_media_player_is_seekable(m_attempt->player) != 0);
    if (m_position->isSliderDown())
        return;
    const float position = libvlc_media_player_get_position(m_attempt->player);
    if (position >= 0)
        m_position->setValue(int(position * kPositionSteps));
}

void MediaPlayer::setState(State state)
{
    if (state == m_state)
        return;
    m_state = state;
    updateControls();
    emit stateChanged(state);
}

} // namespace mavrel
