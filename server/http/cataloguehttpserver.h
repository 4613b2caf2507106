#pragma once

#include "platform/result.h"

#include "server/catalogue/cataloguepages.h"
#include "server/http/httproutes.h"

#include <QByteArray>
#include <QHostAddress>
#include <QString>

#include <cstddef>
#include <functional>
#include <memory>

namespace mavrel::server {

class VideoSitePages;

// What one client may cost the server. The defaults are what `catalogue-server --help` and
// server/README.md document.
struct FrontLimits
{
    // Worker threads, each with its own event loop over its share of the connections.
    unsigned threads = 4;
    // Connections at once; more wait in the listen backlog.
    unsigned maxConnections = 4000;
    // Connections at once from one client address (0: no limit); more are closed unanswered.
    unsigned perAddress = 64;
    // A connection that sends or takes nothing for this long is closed.
    unsigned idleTimeoutSecs = 15;
    // A request's line and headers must be complete this long after its connection opened or
    // its previous reply was sent, however busily they trickle in; else the connection closes.
    // Near maxConnections, the connections waiting longest for their request's headers are
    // closed first, so that new clients get in.
    unsigned headTimeoutSecs = 10;
    // Memory for one request's line and headers; a request that needs more is refused (414 for
    // its line, 431 for its headers) and its connection closed. Room for the longest query the
    // pages refuse themselves (400), so that a long query gets the same answer on every page.
    std::size_t requestMemory = 64 * 1024;
    // Header lines (after the request line) longer in total than this are refused with 431.
    std::size_t maxHeaderBytes = 16 * 1024;
    // Reports (kReportPath) from one client address: this many a second, five times as many
    // at once; beyond that 429 and nothing recorded. 0: no limit.
    unsigned reportRate = 20;
};

// The pages a worker thread answers with, and whatever they need kept alive (their store).
struct PageWorker
{
    virtual ~PageWorker() = default;
    virtual CataloguePages &pages() = 0;
};

// The HTTP front of the catalogue on GNU libmicrohttpd's thread pool: one route table, holding
// the catalogue pages from the start and whatever the app adds (the video site, the demo
// streams), and 404 for everything else. The query reaches the pages exactly as the client sent
// it.
class CatalogueHttpServer
{
public:
    // One set of pages for every thread, used by one request at a time.
    explicit CatalogueHttpServer(CataloguePages &pages, FrontLimits limits = {});
    // A set of pages for each worker thread, made in that thread on its first request (each with
    // its own database connection), so that requests run in parallel.
    using WorkerFactory = std::function<std::unique_ptr<PageWorker>()>;
    explicit CatalogueHttpServer(WorkerFactory factory, FrontLimits limits = {});
    ~CatalogueHttpServer();
    CatalogueHttpServer(const CatalogueHttpServer &) = delete;
    CatalogueHttpServer &operator=(const CatalogueHttpServer &) = delete;

    // The route table; fill it before listen().
    HttpRoutes &routes();
    // Routes the video site's paths to it (not owned, kept alive while serving). Before listen().
    void setVideoSite(const VideoSitePages *site);
    // Who may send staff reports (none but loopback clients of a loopback-only server unless
    // set). Set it before listen().
    void setStaffAccess(StaffAccess access);

    // Starts serving; returns the port (the picked one for port 0).
    Result<quint16> listen(const QHostAddress &address, quint16 port);
    // Starts serving on a TCP socket already listening (the one systemd passes); the server
    // owns it from then on. Returns its port; fails when it is no listening socket.
    Result<quint16> listenOn(int socket);

    // Stops taking connections, lets the requests under way finish for up to graceMs, then
    // closes every connection and waits for the workers. Safe to call more than once.
    void stop(int graceMs = 5000);

    // Requests received and not yet answered (for the shutdown and its tests).
    int requestsInFlight() const;

    struct Impl;

private:
    std::unique_ptr<Impl> d;
};

// "::ffff:1.2.3.4" and "1.2.3.4" are the same client.
QString clientKey(const QHostAddress &address);

// Splits a request target as it arrived into its percent-decoded path and its raw query (after
// the first "?"). The path keeps bytes it cannot decode as they are.
struct RequestTarget
{
    QByteArray path;
    QByteArray rawQuery;
};
RequestTarget splitTarget(QByteArrayView target);

} // namespace mavrel::server
