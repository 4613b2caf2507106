#include "vlcengine.h"

#include "player/vlcref.h"

#include <QByteArray>
#include <QFile>
#include <QGuiApplication>
#include <QTimer>

#include <vlc/vlc.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace mavrel::vlc {
namespace {

using MediaRef = Ref<libvlc_media_t, libvlc_media_release>;
using PlayerRef = Ref<libvlc_media_player_t, libvlc_media_player_release>;

struct Process
{
    std::mutex mutex;
    std::condition_variable idle;
    int pending = 0;
    libvlc_instance_t *instance = nullptr;
    bool created = false;
};

// Never destroyed: detached release threads may still touch it while the process exits.
Process &process()
{
    static Process *const p = new Process;
    return *p;
}

QString platformName()
{
    return qGuiApp ? QGuiApplication::platformName() : QString();
}

bool soundWanted()
{
    if (qEnvironmentVariableIsSet("CI") || qEnvironmentVariableIsSet("MAVREL_NO_SOUND"))
        return false;
    const QString platform = platformName();
    const QByteArray requested = qgetenv("QT_QPA_PLATFORM");
    return platform != u"offscreen"_s && platform != u"minimal"_s && requested != "offscreen";
}

// At exit, lets the releases still under way finish (they close connections cleanly). The
// instance itself is left to the operating system: unloading every plugin at exit only costs
// time, and a release stuck in a plugin would then run into unloaded code.
struct ExitGuard
{
    ~ExitGuard() { waitForReleases(2000); }
};

// Stopping a player joins its input thread, which some access modules keep blocked on the
// network; so stop and release happen on a thread of their own, never on the caller's.
void releaseInBackground(PlayerRef player, MediaRef media)
{
    if (!player && !media)
        return;
    Process &p = process();
    {
        std::lock_guard lock(p.mutex);
        ++p.pending;
    }
    std::thread([player = std::move(player), media = std::move(media), &p]() mutable {
        if (player)
            libvlc_media_player_stop(player.get());
        player.reset();
        media.reset();
        std::lock_guard lock(p.mutex);
        --p.pending;
        p.idle.notify_all();
    }).detach();
}

// Engine events handed over as they come. Buffering and track events carry a value and are
// handled on their own.
constexpr struct
{
    libvlc_event_e type;
    EngineEvent event;
} kWatchedEvents[] = {
    {libvlc_MediaPlayerPlaying, EngineEvent::Playing},
    {libvlc_MediaPlayerPaused, EngineEvent::Paused},
    {libvlc_MediaPlayerEndReached, EngineEvent::EndReached},
    {libvlc_MediaPlayerEncounteredError, EngineEvent::Error},
};
constexpr libvlc_event_e kValueEvents[] = {libvlc_MediaPlayerESAdded, libvlc_MediaPlayerBuffering};

// Buffering fires hundreds of times while the cache fills: the engine thread only keeps the
// latest figure, and it is handed over at most this often (the last one always).
constexpr int kBufferingGapMs = 150;
// A stream's title is text from the network: kept to what a caption can show.
constexpr qsizetype kMaxTitleLength = 300;

class VlcPlayback final : public EnginePlayback
{
public:
    VlcPlayback(MediaRef media, PlayerRef player)
        : m_media(std::move(media)), m_player(std::move(player))
    {
        libvlc_video_set_mouse_input(m_player.get(), 0);
        libvlc_video_set_key_input(m_player.get(), 0);
        m_bufferingGap.setSingleShot(true);
        m_bufferingGap.setInterval(kBufferingGapMs);
        connect(&m_bufferingGap, &QTimer::timeout, this, &VlcPlayback::deliverBuffering);
        forEachEvent([this](libvlc_event_manager_t *events, libvlc_event_e type) {
            libvlc_event_attach(events, type, &VlcPlayback::callback, this);
        });
    }

    ~VlcPlayback() override
    {
        // Detaching waits for a callback in flight; after it no engine thread posts to us, and
        // what was posted already dies with this object.
        forEachEvent([this](libvlc_event_manager_t *events, libvlc_event_e type) {
            libvlc_event_detach(events, type, &VlcPlayback::callback, this);
        });
        releaseInBackground(std::move(m_player), std::move(m_media));
    }

    bool play() override { return libvlc_media_player_play(m_player.get()) == 0; }
    void setPaused(bool paused) override
    {
        // libVLC stops media it cannot pause instead of pausing it.
        if (!paused || canPause())
            libvlc_media_player_set_pause(m_player.get(), paused ? 1 : 0);
    }
    bool canPause() const override { return libvlc_media_player_can_pause(m_player.get()) != 0; }
    bool isSeekable() const override
    {
        return libvlc_media_player_is_seekable(m_player.get()) != 0;
    }
    double position() const override { return libvlc_media_player_get_position(m_player.get()); }
    void setPosition(double position) override
    {
        libvlc_media_player_set_position(m_player.get(), float(position));
    }
    bool hasDecoded() const override
    {
        libvlc_media_stats_t stats{};
        return libvlc_media_get_stats(m_media.get(), &stats) &&
               stats.i_decoded_audio + stats.i_decoded_video > 0;
    }
    void setAudio(int volume, bool muted) override
    {
        libvlc_audio_set_volume(m_player.get(), volume);
        libvlc_audio_set_mute(m_player.get(), muted ? 1 : 0);
    }
    QString nowPlaying() const override
    {
        char *meta = libvlc_media_get_meta(m_media.get(), libvlc_meta_NowPlaying);
        if (!meta)
            return {};
        QString title = QString::fromUtf8(meta).left(kMaxTitleLength);
        libvlc_free(meta);
        // One line of plain text, whatever the stream sent.
        for (QChar &c : title) {
            if (c.category() == QChar::Other_Control)
                c = u' ';
        }
        return title.simplified();
    }
    bool hasVideo() const override { return m_hasVideo.load(); }

private:
    template<typename F> void forEachEvent(F f)
    {
        libvlc_event_manager_t *events = libvlc_media_player_event_manager(m_player.get());
        for (const auto &watched : kWatchedEvents)
            f(events, watched.type);
        for (const libvlc_event_e type : kValueEvents)
            f(events, type);
        f(libvlc_media_event_manager(m_media.get()), libvlc_MediaMetaChanged);
    }

    // On our thread: hands over the latest figure, then waits kBufferingGapMs before the next.
    void deliverBuffering()
    {
        m_bufferingPosted = false;
        if (m_bufferingGap.isActive())
            return;
        const int percent = m_latestBuffering.load();
        if (percent == m_deliveredBuffering)
            return;
        m_deliveredBuffering = percent;
        m_bufferingGap.start();
        emit buffering(percent);
    }

    void post(EngineEvent e)
    {
        QMetaObject::invokeMethod(
            this, [this, e] { emit engineEvent(e); }, Qt::QueuedConnection);
    }

    static void callback(const libvlc_event_t *event, void *opaque)
    {
        // On an engine thread: only hand the event over, never call the player from here.
        auto *self = static_cast<VlcPlayback *>(opaque);
        switch (event->type) {
        case libvlc_MediaPlayerESAdded:
            if (event->u.media_player_es_changed.i_type == libvlc_track_video)
                self->m_hasVideo = true;
            self->post(EngineEvent::TrackAdded);
            return;
        case libvlc_MediaPlayerBuffering:
            self->m_latestBuffering =
                std::clamp(int(event->u.media_player_buffering.new_cache), 0, 100);
            // One hand-over in flight at a time, whatever the rate.
            if (!self->m_bufferingPosted.exchange(true))
                QMetaObject::invokeMethod(
                    self, [self] { self->deliverBuffering(); }, Qt::QueuedConnection);
            return;
        case libvlc_MediaMetaChanged:
            if (event->u.media_meta_changed.meta_type == libvlc_meta_NowPlaying)
                self->post(EngineEvent::MetaChanged);
            return;
        default:
            break;
        }
        for (const auto &watched : kWatchedEvents) {
            if (watched.type == event->type) {
                self->post(watched.event);
                return;
            }
        }
    }

    MediaRef m_media;
    PlayerRef m_player;
    std::atomic<bool> m_hasVideo{false};
    std::atomic<int> m_latestBuffering{-1};
    std::atomic<bool> m_bufferingPosted{false};
    int m_deliveredBuffering = -1;
    QTimer m_bufferingGap;
};

class VlcEngine final : public MediaEngine
{
public:
    std::unique_ptr<EnginePlayback> open(const QUrl &url, quintptr videoWindow) override
    {
        libvlc_instance_t *vlc = instance();
        if (!vlc)
            return nullptr;
        MediaRef media(
            url.isLocalFile()
                ? libvlc_media_new_path(vlc, QFile::encodeName(url.toLocalFile()).constData())
                : libvlc_media_new_location(vlc, url.toEncoded().constData()));
        if (!media)
            return nullptr;
        PlayerRef player(libvlc_media_player_new_from_media(media.get()));
        if (!player) {
            releaseInBackground({}, std::move(media));
            return nullptr;
        }
        if (videoWindow && embedsVideo())
            libvlc_media_player_set_xwindow(player.get(), uint32_t(videoWindow));
        return std::make_unique<VlcPlayback>(std::move(media), std::move(player));
    }
};

} // namespace

MediaEngine &engine()
{
    static VlcEngine *const e = new VlcEngine;
    return *e;
}

bool embedsVideo()
{
    return platformName() == u"xcb"_s;
}

QStringList instanceArguments()
{
    QStringList args{u"--no-xlib"_s, u"--no-disable-screensaver"_s, u"--no-video-title-show"_s,
                     u"--no-snapshot-preview"_s, u"--no-osd"_s};
    if (!embedsVideo())
        args << u"--vout=vdummy"_s;
    if (!soundWanted())
        args << u"--aout=adummy"_s;
    if (!qEnvironmentVariableIsSet("MAVREL_VLC_VERBOSE"))
        args << u"--quiet"_s;
    return args;
}

libvlc_instance_t *instance()
{
    static ExitGuard guard;
    Process &p = process();
    std::lock_guard lock(p.mutex);
    if (!p.created) {
        p.created = true;
        std::vector<QByteArray> storage;
        for (const QString &arg : instanceArguments())
            storage.push_back(arg.toUtf8());
        std::vector<const char *> argv;
        for (const QByteArray &arg : storage)
            argv.push_back(arg.constData());
        p.instance = libvlc_new(int(argv.size()), argv.data());
        if (p.instance)
            libvlc_set_user_agent(p.instance, "Mavrel", "Mavrel/2.1");
    }
    return p.instance;
}

bool waitForReleases(int msecs)
{
    Process &p = process();
    std::unique_lock lock(p.mutex);
    return p.idle.wait_for(lock, std::chrono::milliseconds(msecs), [&] { return p.pending == 0; });
}

} // namespace mavrel::vlc
