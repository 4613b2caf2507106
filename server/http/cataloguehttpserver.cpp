#include "server/http/cataloguehttpserver.h"

#include "online/reportquery.h"
#include "server/http/addressratelimit.h"
#include "server/http/parkedrequests.h"
#include "server/http/ratelimitedlog.h"
#include "server/videosite/videositepages.h"

#include <QFile>
#include <QMutex>

#include <arpa/inet.h>
#include <fcntl.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_set>
#include <vector>

using namespace Qt::StringLiterals;

namespace mavrel::server {

namespace {

using Clock = std::chrono::steady_clock;

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One request, from its request line to its completion.
struct Request
{
    QByteArray target;
    bool started = false;
    bool counted = true; // in requestsInFlight()
    // Set while it waits for its reply, and after.
    std::shared_ptr<ParkedRequests::Ticket> parked;
};

// One connection, for the housekeeping that closes the ones whose request head is late.
struct Connection
{
    int fd = -1;
    std::atomic<bool> busy{false};  // a request's head is complete and its reply not yet sent
    std::atomic<qint64> sinceMs{0}; // opened, or its previous reply sent
    bool dropped = false;           // shut down, not yet closed by the library
};

// A streamed reply. Ahead of its time the connection is parked (suspended) until the pacer
// wakes it, so that a paced stream holds no worker.
struct Stream
{
    CatalogueHttpServer::Impl *server = nullptr;
    MHD_Connection *connection = nullptr;
    std::shared_ptr<HttpStream> source;
};

} // namespace

struct CatalogueHttpServer::Impl
{
    CataloguePages *shared = nullptr;
    QMutex sharedLock;
    StaffAccess staffAccess;
    bool loopbackOnly = false; // listening on a loopback address alone
    WorkerFactory factory;
    FrontLimits limits;
    HttpRoutes routes;
    std::unique_ptr<AddressRateLimit> reportLimit;
    MHD_Daemon *daemon = nullptr;
    MHD_socket quiescedSocket = MHD_INVALID_SOCKET;
    std::atomic<int> inFlight{0};
    std::atomic<bool> stopping{false};
    std::atomic<bool> serving{false};
    QString error; // what the library logged while starting
    std::mutex errorLock;

    // Every open connection, for the housekeeping.
    std::mutex connectionLock;
    std::unordered_set<Connection *> connections;

    // Parked streams and the thread that wakes them and keeps house.
    std::mutex parkLock;
    std::condition_variable parkWake;
    std::vector<Stream *> parked;
    std::thread pacer;
    bool pacerQuit = false;
    // Requests whose page reply is being made elsewhere.
    ParkedRequests parking;

    static MHD_Result access(void *cls, MHD_Connection *connection, const char *url,
                             const char *method, const char *version, const char *uploadData,
                             size_t *uploadSize, void **state);
    static void *logUri(void *cls, const char *uri, MHD_Connection *connection);
    static void completed(void *cls, MHD_Connection *connection, void **state,
                          MHD_RequestTerminationCode code);
    static void notifyConnection(void *cls, MHD_Connection *connection, void **socketContext,
                                 MHD_ConnectionNotificationCode code);
    static size_t keepEscapes(void *cls, MHD_Connection *connection, char *text);
    static void log(void *cls, const char *format, va_list ap);
    static ssize_t readStream(void *cls, uint64_t pos, char *buf, size_t max);
    static void freeStream(void *cls);

    void addPages();
    MHD_Result answer(MHD_Connection *connection, Request &request);
    MHD_Result queueReply(MHD_Connection *connection, Request &request, const HttpReply &reply);
    // With `resumed`, the reply of a request that waited for it.
    HttpReply page(const HttpRequest &request, PendingReply *resumed = nullptr);
    void pace();
    void keepHouse();
    // Starts the daemon on the listening place `where` names (MHD_OPTION_ARRAY items).
    Result<void> start(unsigned flags, quint16 port, const MHD_OptionItem *where);
};

namespace {

MHD_Result queue(MHD_Connection *connection, int status, const QByteArray &body, bool close = false)
{
    MHD_Response *response = MHD_create_response_from_buffer(
        size_t(body.size()), const_cast<char *>(body.constData()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "text/plain");
    if (close)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result r = MHD_queue_response(connection, unsigned(status), response);
    MHD_destroy_response(response);
    return r;
}

MHD_Result countHeaderBytes(void *cls, MHD_ValueKind, const char *key, const char *value)
{
    *static_cast<size_t *>(cls) += std::strlen(key) + (value ? std::strlen(value) : 0) + 4;
    return MHD_YES;
}

Connection *connectionOf(MHD_Connection *connection)
{
    const MHD_ConnectionInfo *info =
        MHD_get_connection_info(connection, MHD_CONNECTION_INFO_SOCKET_CONTEXT);
    return info ? static_cast<Connection *>(info->socket_context) : nullptr;
}

// Requests the library takes as they come but no page may see: refused before any page.
bool badRequest(MHD_Connection *connection, const char *url, const char *version,
                const QByteArray &target)
{
    // The library cuts the target at a NUL byte, but its request line still holds the version
    // right after the whole target: a cut target ends before that.
    const std::intptr_t rawLength = std::intptr_t(version) - std::intptr_t(url) - 1;
    if (rawLength >= 0 && rawLength <= 1024 * 1024 && rawLength != target.size())
        return true;
    auto has = [connection](const char *header) {
        return MHD_lookup_connection_value(connection, MHD_HEADER_KIND, header) != nullptr;
    };
    if (std::strcmp(version, MHD_HTTP_VERSION_1_1) == 0 && !has(MHD_HTTP_HEADER_HOST))
        return true;
    // Two lengths for one body could end it at two places: a smuggled request.
    return has(MHD_HTTP_HEADER_CONTENT_LENGTH) && has(MHD_HTTP_HEADER_TRANSFER_ENCODING);
}

thread_local struct
{
    const CatalogueHttpServer::Impl *owner = nullptr;
    std::unique_ptr<PageWorker> worker;
} t_worker;

} // namespace

QString clientKey(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

RequestTarget splitTarget(QByteArrayView target)
{
    RequestTarget t;
    const qsizetype q = target.indexOf('?');
    const QByteArrayView path = q < 0 ? target : target.first(q);
    if (q >= 0)
        t.rawQuery = target.sliced(q + 1).toByteArray();
    t.path.reserve(path.size());
    for (qsizetype i = 0; i < path.size(); ++i) {
        const int hi = path[i] == '%' && i + 2 < path.size() ? hexDigit(path[i + 1]) : -1;
        const int lo = hi >= 0 ? hexDigit(path[i + 2]) : -1;
        if (lo < 0) {
            t.path.append(path[i]);
            continue;
        }
        t.path.append(char(hi * 16 + lo));
        i += 2;
    }
    return t;
}

void *CatalogueHttpServer::Impl::logUri(void *cls, const char *uri, MHD_Connection *)
{
    auto *self = static_cast<Impl *>(cls);
    auto *request = new Request;
    request->target = QByteArray(uri);
    self->inFlight.fetch_add(1);
    return request;
}

void CatalogueHttpServer::Impl::completed(void *cls, MHD_Connection *connection, void **state,
                                          MHD_RequestTerminationCode)
{
    auto *self = static_cast<Impl *>(cls);
    if (Connection *c = connectionOf(connection)) {
        c->sinceMs = nowMs();
        c->busy = false;
    }
    auto *request = static_cast<Request *>(*state);
    if (!request)
        return;
    if (request->counted)
        self->inFlight.fetch_sub(1);
    if (request->parked)
        self->parking.release(request->parked);
    delete request;
    *state = nullptr;
}

void CatalogueHttpServer::Impl::notifyConnection(void *cls, MHD_Connection *connection,
                                                 void **socketContext,
                                                 MHD_ConnectionNotificationCode code)
{
    auto *self = static_cast<Impl *>(cls);
    std::lock_guard lock(self->connectionLock);
    if (code == MHD_CONNECTION_NOTIFY_STARTED) {
        const MHD_ConnectionInfo *fd =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CONNECTION_FD);
        auto *c = new Connection;
        c->fd = fd ? fd->connect_fd : -1;
        c->sinceMs = nowMs();
        self->connections.insert(c);
        *socketContext = c;
        return;
    }
    // The library closes the socket only after this, so the housekeeping never shuts down a
    // descriptor that another connection has taken over.
    auto *c = static_cast<Connection *>(*socketContext);
    self->connections.erase(c);
    delete c;
    *socketContext = nullptr;
}

size_t CatalogueHttpServer::Impl::keepEscapes(void *, MHD_Connection *, char *text)
{
    // The query is decoded byte for byte from the raw target; nothing is unescaped here.
    return std::strlen(text);
}

void CatalogueHttpServer::Impl::log(void *cls, const char *format, va_list ap)
{
    auto *self = static_cast<Impl *>(cls);
    char text[512];
    std::vsnprintf(text, sizeof text, format, ap);
    if (self->serving.load()) {
        static RateLimitedLog log("catalogue-server: http: ");
        log.write(QString::fromLocal8Bit(text));
        return;
    }
    std::lock_guard lock(self->errorLock);
    self->error = QString::fromLocal8Bit(text).trimmed();
}

MHD_Result CatalogueHttpServer::Impl::access(void *cls, MHD_Connection *connection, const char *url,
                                             const char *method, const char *version, const char *,
                                             size_t *uploadSize, void **state)
{
    auto *self = static_cast<Impl *>(cls);
    auto *request = static_cast<Request *>(*state);
    if (!request)
        return MHD_NO;
    if (!request->started) {
        request->started = true;
        if (Connection *c = connectionOf(connection))
            c->busy = true;
        size_t headerBytes = 0;
        MHD_get_connection_values(connection, MHD_HEADER_KIND, countHeaderBytes, &headerBytes);
        if (headerBytes > self->limits.maxHeaderBytes)
            return queue(connection, MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE,
                         QByteArrayLiteral("Request Header Fields Too Large"), true);
        if (badRequest(connection, url, version, request->target))
            return queue(connection, MHD_HTTP_BAD_REQUEST, QByteArrayLiteral("Bad Request"), true);
        // A reply queued on the first call would close a keep-alive connection.
        return MHD_YES;
    }
    if (*uploadSize != 0) {
        *uploadSize = 0; // a body is never used
        return MHD_YES;
    }
    // HEAD is answered as GET; the library sends the head alone.
    if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 &&
        std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0)
        return queue(connection, MHD_HTTP_METHOD_NOT_ALLOWED,
                     QByteArrayLiteral("Method Not Allowed"));
    return self->answer(connection, *request);
}

HttpReply CatalogueHttpServer::Impl::page(const HttpRequest &request, PendingReply *resumed)
{
    // Latin-1 keeps one character per byte: the query decoder refuses what is not ASCII.
    const QString p = QString::fromLatin1(request.path);
    const QString q = QString::fromLatin1(request.rawQuery);
    const auto handle = [&](CataloguePages &pages) {
        if (resumed)
            return resumed->finish(pages);
        return pages.handle(p, q, request.client, request.staff).value_or(notFoundReply());
    };
    if (shared) {
        QMutexLocker lock(&sharedLock);
        return handle(*shared);
    }
    if (t_worker.owner != this || !t_worker.worker) {
        t_worker.worker.reset();
        t_worker.worker = factory();
        t_worker.owner = this;
        if (!t_worker.worker)
            return textReply(500, QByteArrayLiteral("Server error"));
    }
    HttpReply reply = handle(t_worker.worker->pages());
    // A database error may be a lost connection (a restarted database): the next request of
    // this thread opens a new one.
    if (reply.status >= 500)
        t_worker.worker.reset();
    return reply;
}

void CatalogueHttpServer::Impl::addPages()
{
    for (const QByteArray &path : CataloguePages::paths())
        routes.add(path, [this](const HttpRequest &request) { return page(request); });
    if (limits.reportRate == 0)
        return;
    reportLimit = std::make_unique<AddressRateLimit>(limits.reportRate, 5.0 * limits.reportRate);
    routes.wrap(kReportPath, [this](HttpHandler report) -> HttpHandler {
        return [this, report = std::move(report)](const HttpRequest &request) {
            int retryAfter = 1;
            if (reportLimit->take(request.client, &retryAfter))
                return report(request);
            HttpReply r = textReply(429, QByteArrayLiteral("Too Many Requests"));
            r.headers.append({QByteArrayLiteral("Retry-After"), QByteArray::number(retryAfter)});
            return r;
        };
    });
}

MHD_Result CatalogueHttpServer::Impl::answer(MHD_Connection *connection, Request &request)
{
    const RequestTarget target = splitTarget(QByteArrayView(request.target));
    QHostAddress address;
    if (const MHD_ConnectionInfo *info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS))
        address = QHostAddress(info->client_addr);
    HttpRequest r{target.path, target.rawQuery, {}, {}};
    if (!address.isNull())
        r.client = clientKey(address);
    r.range = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Range");
    // Only a report can be a staff report: other pages skip the header and the digest.
    if (r.path == kReportPath) {
        const char *credential =
            MHD_lookup_connection_value(connection, MHD_HEADER_KIND, kStaffHeader);
        r.staff = staffAccess.allows(credential, address, loopbackOnly);
    }
    std::shared_ptr<PendingReply> resumed;
    if (request.parked && !(resumed = parking.resumed(request.parked)))
        return MHD_NO; // its client has gone
    HttpReply reply = resumed ? page(r, resumed.get()) : routes.answer(r);
    if (!reply.pending)
        return queueReply(connection, request, reply);
    // Answered when resumed; when ready at once or gone already, now.
    if (parking.park(connection, std::move(reply.pending), request.parked))
        return MHD_YES;
    return answer(connection, request);
}

MHD_Result CatalogueHttpServer::Impl::queueReply(MHD_Connection *connection, Request &request,
                                                 const HttpReply &reply)
{
    MHD_Response *response = nullptr;
    if (reply.stream) {
        auto *stream = new Stream{this, connection, reply.stream};
        response = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 8192, readStream, stream,
                                                     freeStream);
        if (!response) {
            delete stream;
            return MHD_NO;
        }
        // No chunked coding: the body is the stream itself, until the client hangs up.
        MHD_set_response_options(response, MHD_RF_HTTP_1_0_COMPATIBLE_STRICT, MHD_RO_END);
    } else if (!reply.filePath.isEmpty()) {
        // The library sends the range from the file itself and closes it when done.
        const int fd = ::open(QFile::encodeName(reply.filePath).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return queueReply(connection, request, notFoundReply());
        response = MHD_create_response_from_fd_at_offset64(uint64_t(reply.fileLength), fd,
                                                           uint64_t(reply.fileOffset));
        if (!response)
            ::close(fd);
    } else {
        bool gzip = false;
        if (!reply.gzipBody.isEmpty()) {
            const char *accepted = MHD_lookup_connection_value(connection, MHD_HEADER_KIND,
                                                               MHD_HTTP_HEADER_ACCEPT_ENCODING);
            gzip = accepted && acceptsGzip(accepted);
        }
        response = bodyResponse(connection, gzip ? reply.gzipBody : reply.body);
        if (response && !reply.gzipBody.isEmpty())
            MHD_add_response_header(response, MHD_HTTP_HEADER_VARY,
                                    MHD_HTTP_HEADER_ACCEPT_ENCODING);
        if (response && gzip)
            MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_ENCODING, "gzip");
    }
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.constData());
    for (const auto &[name, value] : reply.headers)
        MHD_add_response_header(response, name.constData(), value.constData());
    if (reply.stream)
        MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result r = MHD_queue_response(connection, unsigned(reply.status), response);
    MHD_destroy_response(response);
    if (reply.stream && request.counted) {
        // A stream lasts as long as its listener: shutdown does not wait for it.
        request.counted = false;
        inFlight.fetch_sub(1);
    }
    return r;
}

ssize_t CatalogueHttpServer::Impl::readStream(void *cls, uint64_t, char *buf, size_t max)
{
    auto *stream = static_cast<Stream *>(cls);
    Impl *self = stream->server;
    if (self->stopping.load())
        return MHD_CONTENT_READER_END_OF_STREAM;
    const qint64 n = stream->source->read(buf, qint64(max));
    if (n < 0)
        return MHD_CONTENT_READER_END_OF_STREAM;
    if (n == 0) {
        std::lock_guard lock(self->parkLock);
        if (self->stopping.load())
            return MHD_CONTENT_READER_END_OF_STREAM;
        self->parked.push_back(stream);
        MHD_suspend_connection(stream->connection);
    }
    return ssize_t(n);
}

void CatalogueHttpServer::Impl::freeStream(void *cls)
{
    auto *stream = static_cast<Stream *>(cls);
    Impl *self = stream->server;
    {
        std::lock_guard lock(self->parkLock);
        std::erase(self->parked, stream);
    }
    delete stream;
}

void CatalogueHttpServer::Impl::pace()
{
    std::unique_lock lock(parkLock);
    while (!pacerQuit) {
        parkWake.wait_for(lock, std::chrono::milliseconds(100));
        for (Stream *s : parked)
            MHD_resume_connection(s->connection);
        parked.clear();
        lock.unlock();
        keepHouse();
        lock.lock();
    }
}

void CatalogueHttpServer::Impl::keepHouse()
{
    const qsizetype keepFree = std::max<qsizetype>(1, limits.maxConnections / 50);
    const qint64 lateBefore = nowMs() - qint64(limits.headTimeoutSecs) * 1000;
    // Shutting the socket down makes the library see the client hang up and close it.
    auto drop = [](Connection *c) {
        ::shutdown(c->fd, SHUT_RDWR);
        c->dropped = true;
    };
    std::lock_guard lock(connectionLock);
    std::vector<Connection *> waiting;
    qsizetype open = 0;
    for (Connection *c : connections) {
        if (c->dropped)
            continue;
        if (c->busy.load()) {
            ++open;
        } else if (c->sinceMs.load() < lateBefore) {
            drop(c);
        } else {
            ++open;
            waiting.push_back(c);
        }
    }
    // Near the limit, the connections waiting longest for a request's head make room.
    const qsizetype excess =
        std::min(open - (qsizetype(limits.maxConnections) - keepFree), qsizetype(waiting.size()));
    if (excess <= 0)
        return;
    std::partial_sort(waiting.begin(), waiting.begin() + excess, waiting.end(),
                      [](const Connection *a, const Connection *b) {
                          return a->sinceMs.load() < b->sinceMs.load();
                      });
    std::for_each(waiting.begin(), waiting.begin() + excess, drop);
}

CatalogueHttpServer::CatalogueHttpServer(CataloguePages &pages, FrontLimits limits)
    : d(std::make_unique<Impl>())
{
    d->shared = &pages;
    d->limits = limits;
    d->addPages();
}

CatalogueHttpServer::CatalogueHttpServer(WorkerFactory factory, FrontLimits limits)
    : d(std::make_unique<Impl>())
{
    d->factory = std::move(factory);
    d->limits = limits;
    d->addPages();
}

CatalogueHttpServer::~CatalogueHttpServer()
{
    stop(0);
}

HttpRoutes &CatalogueHttpServer::routes()
{
    return d->routes;
}

void CatalogueHttpServer::setVideoSite(const VideoSitePages *site)
{
    if (!site)
        return;
    const HttpHandler handler = [site](const HttpRequest &r) {
        return site->handle({QString::fromUtf8(r.path), r.rawQuery, r.range})
            .value_or(notFoundReply());
    };
    for (const char *path : {"/browse", "/results", "/watch"})
        d->routes.add(path, handler);
    for (const char *prefix : {"/v/", "/videos/"})
        d->routes.addPrefix(prefix, handler);
}

void CatalogueHttpServer::setStaffAccess(StaffAccess access)
{
    d->staffAccess = std::move(access);
}

Result<quint16> CatalogueHttpServer::listen(const QHostAddress &address, quint16 port)
{
    using R = Result<quint16>;
    sockaddr_storage storage{};
    unsigned flags = 0;
    if (address.protocol() == QAbstractSocket::IPv6Protocol) {
        auto *a6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&a6->sin6_addr, &bytes, sizeof bytes);
        flags |= MHD_USE_IPv6;
    } else {
        bool ok = false;
        const quint32 v4 = address.toIPv4Address(&ok);
        if (!ok)
            return R::failure(u"not an IP address"_s);
        auto *a4 = reinterpret_cast<sockaddr_in *>(&storage);
        a4->sin_family = AF_INET;
        a4->sin_port = htons(port);
        a4->sin_addr.s_addr = htonl(v4);
    }
    const MHD_OptionItem where[] = {
        {MHD_OPTION_SOCK_ADDR, 0, &storage},
        {MHD_OPTION_END, 0, nullptr},
    };
    d->loopbackOnly = address.isLoopback();
    if (Result<void> started = d->start(flags, port, where); !started)
        return started.error();
    const MHD_DaemonInfo *info = MHD_get_daemon_info(d->daemon, MHD_DAEMON_INFO_BIND_PORT);
    if (!info || info->port == 0)
        return R::failure(u"the port bound is unknown"_s);
    return quint16(info->port);
}

Result<quint16> CatalogueHttpServer::listenOn(int socket)
{
    using R = Result<quint16>;
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    int listening = 0;
    socklen_t intSize = sizeof listening;
    if (getsockopt(socket, SOL_SOCKET, SO_ACCEPTCONN, &listening, &intSize) != 0 || !listening ||
        getsockname(socket, reinterpret_cast<sockaddr *>(&storage), &size) != 0 ||
        (storage.ss_family != AF_INET && storage.ss_family != AF_INET6)) {
        return R::failure(u"descriptor %1 is not a listening TCP socket"_s.arg(socket));
    }
    // Every pool thread accepts on it: a blocking accept would stall the losers.
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
    ::fcntl(socket, F_SETFD, FD_CLOEXEC);
    const MHD_OptionItem where[] = {
        {MHD_OPTION_LISTEN_SOCKET, socket, nullptr},
        {MHD_OPTION_END, 0, nullptr},
    };
    const unsigned flags = storage.ss_family == AF_INET6 ? unsigned(MHD_USE_IPv6) : 0u;
    d->loopbackOnly = QHostAddress(reinterpret_cast<const sockaddr *>(&storage)).isLoopback();
    if (Result<void> started = d->start(flags, 0, where); !started)
        return started.error();
    return quint16(ntohs(storage.ss_family == AF_INET6
                             ? reinterpret_cast<const sockaddr_in6 *>(&storage)->sin6_port
                             : reinterpret_cast<const sockaddr_in *>(&storage)->sin_port));
}

Result<void> CatalogueHttpServer::Impl::start(unsigned flags, quint16 port,
                                              const MHD_OptionItem *where)
{
    if (daemon)
        return Result<void>::failure(u"already serving"_s);
    flags |= MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME |
             MHD_USE_ERROR_LOG;
    const FrontLimits &l = limits;
    // The pool must not outnumber the connection limit, or stopping hangs.
    const unsigned threads = std::max(1u, std::min(l.threads, l.maxConnections));
    daemon = MHD_start_daemon(
        flags, port, nullptr, nullptr, &Impl::access, this, MHD_OPTION_EXTERNAL_LOGGER, &Impl::log,
        this, MHD_OPTION_ARRAY, where, MHD_OPTION_URI_LOG_CALLBACK, &Impl::logUri, this,
        MHD_OPTION_NOTIFY_COMPLETED, &Impl::completed, this, MHD_OPTION_NOTIFY_CONNECTION,
        &Impl::notifyConnection, this, MHD_OPTION_UNESCAPE_CALLBACK, &Impl::keepEscapes, this,
        MHD_OPTION_THREAD_POOL_SIZE, threads, MHD_OPTION_CONNECTION_LIMIT, l.maxConnections,
        MHD_OPTION_PER_IP_CONNECTION_LIMIT, l.perAddress, MHD_OPTION_CONNECTION_TIMEOUT,
        l.idleTimeoutSecs, MHD_OPTION_CONNECTION_MEMORY_LIMIT, l.requestMemory,
        MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u, MHD_OPTION_END);
    if (!daemon) {
        std::lock_guard lock(errorLock);
        return Result<void>::failure(error.isEmpty() ? QString::fromLocal8Bit(std::strerror(errno))
                                                     : error);
    }
    serving = true;
    pacerQuit = false;
    pacer = std::thread([this]() { pace(); });
    parking.start();
    return {};
}

int CatalogueHttpServer::requestsInFlight() const
{
    return d->inFlight.load();
}

void CatalogueHttpServer::stop(int graceMs)
{
    if (!d->daemon)
        return;
    d->quiescedSocket = MHD_quiesce_daemon(d->daemon);
    const auto deadline = Clock::now() + std::chrono::milliseconds(graceMs);
    while (d->inFlight.load() > 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    // Endless streams end at their next read; parked ones are woken for it.
    {
        std::lock_guard lock(d->parkLock);
        d->stopping = true;
        d->pacerQuit = true;
        for (Stream *s : d->parked)
            MHD_resume_connection(s->connection);
        d->parked.clear();
    }
    d->parkWake.notify_all();
    if (d->pacer.joinable())
        d->pacer.join();
    d->parking.stop();
    MHD_stop_daemon(d->daemon);
    d->daemon = nullptr;
    d->serving = false;
    if (d->quiescedSocket != MHD_INVALID_SOCKET)
        ::close(d->quiescedSocket);
    d->quiescedSocket = MHD_INVALID_SOCKET;
    d->stopping = false;
}

} // namespace mavrel::server
