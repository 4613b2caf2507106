#include "server/app/commands.h"

#include "server/app/syncscheduler.h"
#include "server/catalogue/cataloguepages.h"
#include "server/catalogue/updatereplies.h"
#include "server/demo/democlips.h"
#include "server/demo/demomedia.h"
#include "server/demo/demoroutes.h"
#include "server/http/cataloguehttpserver.h"
#include "server/http/ratelimitedlog.h"
#include "server/sources/importer.h"
#include "server/videosite/videositepages.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QScopeGuard>
#include <QStandardPaths>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <memory>
#include <thread>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace mavrel::server::app {

PassedSocket takePassedSocket()
{
    const QByteArray pid = qgetenv("LISTEN_PID");
    const QByteArray fds = qgetenv("LISTEN_FDS");
    unsetenv("LISTEN_PID");
    unsetenv("LISTEN_FDS");
    unsetenv("LISTEN_FDNAMES");
    bool ok = false;
    if (pid.isEmpty() || pid.toLongLong(&ok) != getpid() || !ok)
        return std::optional<int>();
    const int count = fds.toInt(&ok);
    constexpr int firstPassed = 3; // SD_LISTEN_FDS_START
    if (!ok || count < 0)
        return PassedSocket::failure(
            u"LISTEN_FDS='%1' is not a number of sockets"_s.arg(QString::fromLatin1(fds)));
    if (count > 1)
        return PassedSocket::failure(
            u"%1 sockets were passed (LISTEN_FDS); the server takes one"_s.arg(count));
    return count == 1 ? std::optional<int>(firstPassed) : std::nullopt;
}

namespace {

// The demo clips live beside an SQLite database; a PostgreSQL server keeps them in the cache.
QString demoClipFolder(const QString &db)
{
    if (isPostgresLocation(db))
        return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) +
               u"/mavrel-catalogue/demo-videos"_s;
    return QFileInfo(db).absolutePath() + u"/demo-videos"_s;
}

// Many idle connections need as many descriptors: take what the system allows.
void raiseDescriptorLimit()
{
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

} // namespace

int serve(const Options &o, CatalogueStore &store, const PassedSocket &passed)
{
    QHostAddress address;
    if (!address.setAddress(o.listen))
        return usageError(u"--listen: '%1' is not an IP address"_s.arg(o.listen));
    if (!passed) {
        err(passed.error().message);
        return ExitFailure;
    }
    const int passedSocket = passed.value().value_or(-1);
    // A passed socket names the address served; --listen and --port are left aside.
    quint16 port = 0;
    if (passedSocket >= 0) {
        sockaddr_storage bound{};
        socklen_t size = sizeof bound;
        if (getsockname(passedSocket, reinterpret_cast<sockaddr *>(&bound), &size) != 0 ||
            (bound.ss_family != AF_INET && bound.ss_family != AF_INET6)) {
            err(u"descriptor %1 (LISTEN_FDS) is not an IP socket"_s.arg(passedSocket));
            return ExitFailure;
        }
        address.setAddress(reinterpret_cast<const sockaddr *>(&bound));
        port = quint16(address.protocol() == QAbstractSocket::IPv6Protocol
                           ? ntohs(reinterpret_cast<const sockaddr_in6 *>(&bound)->sin6_port)
                           : ntohs(reinterpret_cast<const sockaddr_in *>(&bound)->sin_port));
    }
    raiseDescriptorLimit();
    // The stop signals are taken by sigwait below; every server thread inherits them blocked.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    // Update replies are built off the front's workers, each builder on a connection of its own
    // (on SQLite a reader beside the writer, so reports never wait for a build).
    const StoreTraits traits = CatalogueStore::traitsFor(o.db);
    UpdateReplyLimits replyLimits;
    replyLimits.builders = traits.updateBuilders;
    UpdateReplies replies([&o]() { return CatalogueStore::open(o.db); }, replyLimits);
    std::unique_ptr<ReportLog> reportLog;
    if (!o.reportLog.isEmpty())
        reportLog = std::make_unique<ReportLog>(o.reportLog);
    CataloguePages pages(store, o.localization);
    pages.setUpdateReplies(&replies);
    pages.setReportLog(reportLog.get());
    // SQLite takes one writer at a time: every thread shares the one store. PostgreSQL serves
    // many connections at once: each worker thread gets a connection of its own.
    struct Worker : PageWorker
    {
        std::unique_ptr<CatalogueStore> store;
        std::unique_ptr<CataloguePages> ownPages;
        CataloguePages &pages() override { return *ownPages; }
    };
    auto makeWorker = [&o, &replies, &reportLog]() -> std::unique_ptr<PageWorker> {
        auto opened = CatalogueStore::open(o.db);
        if (!opened) {
            static RateLimitedLog log("catalogue-server: ");
            log.write(opened.error().message);
            return nullptr;
        }
        auto w = std::make_unique<Worker>();
        w->store = std::move(opened).value();
        w->ownPages = std::make_unique<CataloguePages>(*w->store, o.localization);
        w->ownPages->setUpdateReplies(&replies);
        w->ownPages->setReportLog(reportLog.get());
        return w;
    };
    FrontLimits limits = o.limits;
    if (!o.threadsGiven)
        limits.threads = traits.defaultWorkerThreads;
    std::unique_ptr<CatalogueHttpServer> front =
        traits.connectionPerWorker ? std::make_unique<CatalogueHttpServer>(makeWorker, limits)
                                   : std::make_unique<CatalogueHttpServer>(pages, limits);
    CatalogueHttpServer &server = *front;
    const QList<SiteVideo> videos = scanVideoFolder(o.videos);
    if (!o.videos.isEmpty() && videos.isEmpty())
        err(u"--videos: no video files under '%1'"_s.arg(o.videos));
    VideoSitePages videoSite(videos);
    videoSite.setRequestLog(o.videoLog);
    server.setVideoSite(&videoSite);
    demo::addMediaRoutes(server.routes());
    server.setStaffAccess(StaffAccess(o.staffTokens));
    // The demo clips are made once, beside the database; the first time takes seconds, so the
    // server answers meanwhile and lists them when they are ready.
    // A stop ends it after the clip under way; it is joined on every way out.
    std::atomic<bool> stopClips = false;
    std::jthread clipMaker;
    if (o.demo) {
        const QString clips = demoClipFolder(o.db);
        clipMaker = std::jthread([&videoSite, &stopClips, videos, clips] {
            demo::writeDemoClips(clips, &stopClips);
            videoSite.setVideos(videos + scanVideoFolder(clips));
        });
    }
    const auto finishClips = qScopeGuard([&] {
        stopClips = true;
        if (clipMaker.joinable())
            clipMaker.join();
    });
    if (passedSocket < 0) {
        const Result<quint16> listening = server.listen(address, quint16(o.port));
        if (!listening) {
            err(u"cannot listen on %1:%2: %3"_s.arg(o.listen).arg(o.port).arg(
                listening.error().message));
            return ExitFailure;
        }
        port = listening.value();
    }
    const QString host = address == QHostAddress::Any || address == QHostAddress::AnyIPv4 ||
                                 address == QHostAddress::AnyIPv6
                             ? u"127.0.0.1"_s
                             : (address.protocol() == QAbstractSocket::IPv6Protocol
                                    ? u"[%1]"_s.arg(address.toString())
                                    : address.toString());
    const QString base = u"http://%1:%2"_s.arg(host).arg(port);
    if (o.demo) {
        auto empty = store.isEmpty();
        if (!empty) {
            err(empty.error().message);
            return ExitFailure;
        }
        if (empty.value()) {
            for (const NewChannel &c : demo::channels(base)) {
                if (auto r = store.addChannel(c); !r) {
                    err(r.error().message);
                    return ExitFailure;
                }
            }
        }
    }
    // The connection that started a socket-activated server waits in the backlog meanwhile: it
    // finds the demo channels in place.
    if (passedSocket >= 0) {
        if (const Result<quint16> serving = server.listenOn(passedSocket); !serving) {
            err(u"cannot serve on the socket systemd passed: %1"_s.arg(serving.error().message));
            return ExitFailure;
        }
    }
    std::printf("listening on %s\n", qPrintable(base));
    std::fflush(stdout);
    SyncScheduler syncs(o);
    syncs.start();
    int signal = 0;
    while (sigwait(&stopSignals, &signal) != 0) {
    }
    // A sync under way finishes (or fails on the closed network) before the server goes.
    syncs.stop();
    server.stop(5000);
    return ExitOk;
}

int importSources(const Options &o, CatalogueStore &store)
{
    const SourceRun run{o.rest, o.guides, o.command == u"sync"};
    const bool ok = runSources(
        store, run, {}, [](const QByteArray &line) { std::printf("%s\n", line.constData()); },
        [](const QString &why) { err(why); });
    std::fflush(stdout);
    return ok ? ExitOk : ExitFailure;
}

int exportCatalogue(CatalogueStore &store)
{
    auto lines = store.exportCatalogue();
    if (!lines) {
        err(lines.error().message);
        return ExitFailure;
    }
    const QByteArray &bytes = lines.value();
    if (std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout) != size_t(bytes.size()) ||
        std::fflush(stdout) != 0) {
        err(u"cannot write the catalogue"_s);
        return ExitFailure;
    }
    return ExitOk;
}

int removeChannels(const Options &o, CatalogueStore &store)
{
    int exit = ExitOk;
    for (const QString &text : o.rest) {
        bool ok = false;
        const qint64 id = text.toLongLong(&ok);
        if (!ok)
            return usageError(u"'%1' is not a channel id"_s.arg(text));
        auto removed = store.removeChannel(id);
        if (!removed) {
            err(removed.error().message);
            return ExitFailure;
        }
        if (!removed.value()) {
            err(u"no channel %1"_s.arg(id));
            exit = ExitFailure;
        }
    }
    return exit;
}

} // namespace mavrel::server::app
