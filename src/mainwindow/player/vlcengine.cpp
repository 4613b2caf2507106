#include "vlcengine.h"

#include <QByteArray>
#include <QGuiApplication>

#include <vlc/vlc.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace mavrel::vlc {
namespace {

struct Engine
{
    std::mutex mutex;
    std::condition_variable idle;
    int pending = 0;
    libvlc_instance_t *instance = nullptr;
    bool created = false;
};

// Never destroyed: detached release threads may still touch it while the process exits.
Engine &engine()
{
    static Engine *const e = new Engine;
    return *e;
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

} // namespace

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
    Engine &e = engine();
    std::lock_guard lock(e.mutex);
    if (!e.created) {
        e.created = true;
        std::vector<QByteArray> storage;
        for (const QString &arg : instanceArguments())
            storage.push_back(arg.toUtf8());
        std::vector<const char *> argv;
        for (const QByteArray &arg : storage)
            argv.push_back(arg.constData());
        e.instance = libvlc_new(int(argv.size()), argv.data());
        if (e.instance)
            libvlc_set_user_agent(e.instance, "Mavrel", "Mavrel/2.1");
    }
    return e.instance;
}

void releaseInBackground(libvlc_media_player_t *player, libvlc_media_t *media)
{
    if (!player && !media)
        return;
    Engine &e = engine();
    {
        std::lock_guard lock(e.mutex);
        ++e.pending;
    }
    std::thread([player, media, &e] {
        if (player) {
            libvlc_media_player_stop(player);
            libvlc_media_player_release(player);
        }
        if (media)
            libvlc_media_release(media);
        std::lock_guard lock(e.mutex);
        --e.pending;
        e.idle.notify_all();
    }).detach();
}

bool waitForReleases(int msecs)
{
    Engine &e = engine();
    std::unique_lock lock(e.mutex);
    return e.idle.wait_for(lock, std::chrono::milliseconds(msecs), [&] { return e.pending == 0; });
}

} // namespace mavrel::vlc
