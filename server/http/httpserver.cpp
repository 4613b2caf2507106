#include "server/http/httpserver.h"

#include "server/demo/demomedia.h"
#include "server/http/deferred.h"
#include "server/videosite/videosite.h"

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
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace mavrel::server {

namespace {

// A page that the viewer's error-page test recognises, as dead stations answer.
const char kGonePage[] = "<html><head><title>404 Not Found</title></head><body>"
                         "<h1>Not Found</h1><p>The requested stream is not available.</p>"
                         "</body></html>";
const char kMovedPage[] = "<html><head><title>Station moved</title></head><body>"
                          "<h1>This station Has Moved</h1><p>Stream Not Available.</p>"
                          "</body></html>";

using Clock = std::chrono::steady_clock;

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

// An endless demo tune, paced to real time with one second ahead: a player starts at once and a
// client that stops reading costs nothing. Ahead of time, the connection is parked (suspended)
// until the pacer thread wakes it.
struct Stream
{
    CatalogueHttpServer::Impl *server = nullptr;
    MHD_Connection *connection = nullptr;
    Clock::time_point start = Clock::now();
    QByteArray header = demo::wavHeader(0xffffffffu - 64);
    qint64 sent = 0;
    int melody = 0;
};

} // namespace

struct CatalogueHttpServer::Impl
{
    CataloguePages *shared = nullptr;
    QMutex sharedLock;
    const VideoSitePages *videoSite = nullptr;
    WorkerFactory factory;
    FrontLimits limits;
    MHD_Daemon *daemon = nullptr;
    MHD_socket quiescedSocket = MHD_INVALID_SOCKET;
    std::atomic<int> inFlight{0};
    std::atomic<bool> stopping{false};
    QString error;
    std::mutex errorLock;

    std::once_flag chimeOnce, testCardOnce;
    QByteArray chime, testCard;

    // Parked streams and the thread that wakes them.
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
    static size_t keepEscapes(void *cls, MHD_Connection *connection, char *text);
    static void log(void *cls, const char *format, va_list ap);
    static ssize_t readStream(void *cls, uint64_t pos, char *buf, size_t max);
    static void freeStream(void *cls);

    MHD_Result answer(MHD_Connection *connection, Request &request);
    MHD_Result queueVideoSite(MHD_Connection *connection, const VideoSiteReply &reply);
    // With `resumed`, the reply of a request that waited for it.
    std::optional<PageReply> page(const QByteArray &path, const QByteArray &rawQuery,
                                  const QString &client, PendingReply *resumed = nullptr);
    MHD_Result serveStream(MHD_Connection *connection, Request &request, int melody);
    void pace();
    // Starts the daemon on the listening place `where` names (MHD_OPTION_ARRAY items).
    bool start(unsigned flags, quint16 port, const MHD_OptionItem *where);
};

namespace {

MHD_Result queue(MHD_Connection *connection, int status, const QByteArray &mimeType,
                 const QByteArray &body, bool close = false)
{
    MHD_Response *response = MHD_create_response_from_buffer(
        size_t(body.size()), const_cast<char *>(body.constData()), MHD_RESPMEM_MUST_COPY);
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, mimeType.constData());
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

void CatalogueHttpServer::Impl::completed(void *cls, MHD_Connection *, void **state,
                                          MHD_RequestTerminationCode)
{
    auto *self = static_cast<Impl *>(cls);
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
    std::lock_guard lock(self->errorLock);
    self->error = QString::fromLocal8Bit(text).trimmed();
}

MHD_Result CatalogueHttpServer::Impl::access(void *cls, MHD_Connection *connection, const char *,
                                             const char *method, const char *, const char *,
                                             size_t *uploadSize, void **state)
{
    auto *self = static_cast<Impl *>(cls);
    auto *request = static_cast<Request *>(*state);
    if (!request)
        return MHD_NO;
    if (!request->started) {
        // A reply queued on the first call would close a keep-alive connection.
        request->started = true;
        return MHD_YES;
    }
    if (*uploadSize != 0) {
        *uploadSize = 0; // a body is never used
        return MHD_YES;
    }
    // HEAD is answered as GET; the library sends the head alone.
    if (std::strcmp(method, MHD_HTTP_METHOD_GET) != 0 &&
        std::strcmp(method, MHD_HTTP_METHOD_HEAD) != 0)
        return queue(connection, MHD_HTTP_METHOD_NOT_ALLOWED, "text/plain",
                     QByteArrayLiteral("Method Not Allowed"));
    size_t headerBytes = 0;
    MHD_get_connection_values(connection, MHD_HEADER_KIND, countHeaderBytes, &headerBytes);
    if (headerBytes > self->limits.maxHeaderBytes)
        return queue(connection, MHD_HTTP_REQUEST_HEADER_FIELDS_TOO_LARGE, "text/plain",
                     QByteArrayLiteral("Request Header Fields Too Large"), true);
    return self->answer(connection, *request);
}

std::optional<PageReply> CatalogueHttpServer::Impl::page(const QByteArray &path,
                                                         const QByteArray &rawQuery,
                                                         const QString &client,
                                                         PendingReply *resumed)
{
    // Latin-1 keeps one character per byte: the query decoder refuses what is not ASCII.
    const QString p = QString::fromLatin1(path);
    const QString q = QString::fromLatin1(rawQuery);
    const auto handle = [&](CataloguePages &pages) -> std::optional<PageReply> {
        return resumed ? resumed->finish(pages) : pages.handle(p, q, client);
    };
    if (shared) {
        QMutexLocker lock(&sharedLock);
        return handle(*shared);
    }
    if (t_worker.owner != this || !t_worker.worker) {
        t_worker.worker.reset();
        t_worker.worker = factory();
        t_worker.owner = this;
        if (!t_worker.worker) {
            PageReply failed;
            failed.status = 500;
            failed.body = QByteArrayLiteral("Server error");
            return failed;
        }
    }
    auto reply = handle(t_worker.worker->pages());
    // A database error may be a lost connection (a restarted database): the next request of
    // this thread opens a new one.
    if (reply && reply->status >= 500)
        t_worker.worker.reset();
    return reply;
}

MHD_Result CatalogueHttpServer::Impl::answer(MHD_Connection *connection, Request &request)
{
    const RequestTarget target = splitTarget(QByteArrayView(request.target));
    QString client;
    if (const MHD_ConnectionInfo *info =
            MHD_get_connection_info(connection, MHD_CONNECTION_INFO_CLIENT_ADDRESS))
        client = clientKey(QHostAddress(info->client_addr));
    std::shared_ptr<PendingReply> resumed;
    if (request.parked && !(resumed = parking.resumed(request.parked)))
        return MHD_NO; // its client has gone
    if (auto reply = page(target.path, target.rawQuery, client, resumed.get())) {
        if (!reply->pending)
            return queuePageReply(connection, *reply);
        // Answered when resumed; when ready at once or gone already, now.
        if (parking.park(connection, std::move(reply->pending), request.parked))
            return MHD_YES;
        return answer(connection, request);
    }
    if (videoSite) {
        const char *range = MHD_lookup_connection_value(connection, MHD_HEADER_KIND, "Range");
        if (auto reply = videoSite->handle(
                {QString::fromUtf8(target.path), target.rawQuery, QByteArray(range)}))
            return queueVideoSite(connection, *reply);
    }

    if (target.path.startsWith("/media/")) {
        const QByteArray name = target.path.sliced(7);
        if (name == "radio.wav" || name == "radio2.wav")
            return serveStream(connection, request, name == "radio.wav" ? 0 : 1);
        if (name == "chime.wav") {
            std::call_once(chimeOnce, [this]() { chime = demo::chimeWav(); });
            return queue(connection, 200, "audio/wav", chime);
        }
        if (name == "testcard.avi") {
            std::call_once(testCardOnce, [this]() { testCard = demo::testCardAvi(); });
            return queue(connection, 200, "video/x-msvideo", testCard);
        }
        if (name == "offline.asx")
            return queue(connection, 404, "text/html", QByteArray(kGonePage));
        if (name == "moved.asx")
            return queue(connection, 200, "text/html", QByteArray(kMovedPage));
    }
    return queue(connection, 404, "text/plain", QByteArrayLiteral("404 Not Found"));
}

MHD_Result CatalogueHttpServer::Impl::queueVideoSite(MHD_Connection *connection,
                                                     const VideoSiteReply &reply)
{
    MHD_Response *response = nullptr;
    if (reply.filePath.isEmpty()) {
        response = MHD_create_response_from_buffer(size_t(reply.body.size()),
                                                   const_cast<char *>(reply.body.constData()),
                                                   MHD_RESPMEM_MUST_COPY);
    } else {
        // The library sends the range from the file itself and closes it when done.
        const int fd = ::open(QFile::encodeName(reply.filePath).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return queue(connection, 404, "text/plain", QByteArrayLiteral("404 Not Found"));
        response = MHD_create_response_from_fd_at_offset64(uint64_t(reply.fileLength), fd,
                                                           uint64_t(reply.fileOffset));
        if (!response)
            ::close(fd);
    }
    if (!response)
        return MHD_NO;
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, reply.contentType.constData());
    for (const auto &[name, value] : reply.headers)
        MHD_add_response_header(response, name.constData(), value.constData());
    const MHD_Result r = MHD_queue_response(connection, unsigned(reply.status), response);
    MHD_destroy_response(response);
    return r;
}

MHD_Result CatalogueHttpServer::Impl::serveStream(MHD_Connection *connection, Request &request,
                                                  int melody)
{
    auto *stream = new Stream;
    stream->server = this;
    stream->connection = connection;
    stream->melody = melody;
    MHD_Response *response =
        MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 8192, readStream, stream, freeStream);
    if (!response) {
        delete stream;
        return MHD_NO;
    }
    // No chunked coding: the body is the WAV file itself, until the client hangs up.
    MHD_set_response_options(response, MHD_RF_HTTP_1_0_COMPATIBLE_STRICT, MHD_RO_END);
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONTENT_TYPE, "audio/wav");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CACHE_CONTROL, "no-cache");
    MHD_add_response_header(response, MHD_HTTP_HEADER_CONNECTION, "close");
    const MHD_Result r = MHD_queue_response(connection, MHD_HTTP_OK, response);
    MHD_destroy_response(response);
    // A stream lasts as long as its listener: shutdown does not wait for it.
    request.counted = false;
    inFlight.fetch_sub(1);
    return r;
}

ssize_t CatalogueHttpServer::Impl::readStream(void *cls, uint64_t, char *buf, size_t max)
{
    auto *stream = static_cast<Stream *>(cls);
    Impl *self = stream->server;
    if (self->stopping.load())
        return MHD_CONTENT_READER_END_OF_STREAM;
    if (!stream->header.isEmpty()) {
        const size_t n = std::min(max, size_t(stream->header.size()));
        std::memcpy(buf, stream->header.constData(), n);
        stream->header.remove(0, qsizetype(n));
        return ssize_t(n);
    }
    const auto elapsedMs =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - stream->start).count();
    const qint64 due = (elapsedMs + 1000) * demo::kSampleRate / 1000;
    const qint64 count = std::min<qint64>(due - stream->sent, qint64(max / 2));
    if (count <= 0) {
        std::lock_guard lock(self->parkLock);
        if (self->stopping.load())
            return MHD_CONTENT_READER_END_OF_STREAM;
        self->parked.push_back(stream);
        MHD_suspend_connection(stream->connection);
        return 0;
    }
    const QByteArray samples = demo::tuneSamples(stream->sent, int(count), stream->melody);
    std::memcpy(buf, samples.constData(), size_t(samples.size()));
    stream->sent += count;
    return ssize_t(samples.size());
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
    }
}

CatalogueHttpServer::CatalogueHttpServer(CataloguePages &pages, FrontLimits limits)
    : d(std::make_unique<Impl>())
{
    d->shared = &pages;
    d->limits = limits;
}

CatalogueHttpServer::CatalogueHttpServer(WorkerFactory factory, FrontLimits limits)
    : d(std::make_unique<Impl>())
{
    d->factory = std::move(factory);
    d->limits = limits;
}

CatalogueHttpServer::~CatalogueHttpServer()
{
    stop(0);
}

void CatalogueHttpServer::setVideoSite(const VideoSitePages *site)
{
    d->videoSite = site;
}

quint16 CatalogueHttpServer::listen(const QHostAddress &address, quint16 port)
{
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
        if (!ok) {
            d->error = u"not an IP address"_s;
            return 0;
        }
        auto *a4 = reinterpret_cast<sockaddr_in *>(&storage);
        a4->sin_family = AF_INET;
        a4->sin_port = htons(port);
        a4->sin_addr.s_addr = htonl(v4);
    }
    const MHD_OptionItem where[] = {
        {MHD_OPTION_SOCK_ADDR, 0, &storage},
        {MHD_OPTION_END, 0, nullptr},
    };
    if (!d->start(flags, port, where))
        return 0;
    const MHD_DaemonInfo *info = MHD_get_daemon_info(d->daemon, MHD_DAEMON_INFO_BIND_PORT);
    return info ? info->port : 0;
}

quint16 CatalogueHttpServer::listenOn(int socket)
{
    sockaddr_storage storage{};
    socklen_t size = sizeof storage;
    int listening = 0;
    socklen_t intSize = sizeof listening;
    if (getsockopt(socket, SOL_SOCKET, SO_ACCEPTCONN, &listening, &intSize) != 0 || !listening ||
        getsockname(socket, reinterpret_cast<sockaddr *>(&storage), &size) != 0 ||
        (storage.ss_family != AF_INET && storage.ss_family != AF_INET6)) {
        d->error = u"descriptor %1 is not a listening TCP socket"_s.arg(socket);
        return 0;
    }
    // Every pool thread accepts on it: a blocking accept would stall the losers.
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
    ::fcntl(socket, F_SETFD, FD_CLOEXEC);
    const MHD_OptionItem where[] = {
        {MHD_OPTION_LISTEN_SOCKET, socket, nullptr},
        {MHD_OPTION_END, 0, nullptr},
    };
    const unsigned flags = storage.ss_family == AF_INET6 ? unsigned(MHD_USE_IPv6) : 0u;
    if (!d->start(flags, 0, where))
        return 0;
    return ntohs(storage.ss_family == AF_INET6
                     ? reinterpret_cast<const sockaddr_in6 *>(&storage)->sin6_port
                     : reinterpret_cast<const sockaddr_in *>(&storage)->sin_port);
}

bool CatalogueHttpServer::Impl::start(unsigned flags, quint16 port, const MHD_OptionItem *where)
{
    if (daemon)
        return false;
    flags |= MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_EPOLL | MHD_ALLOW_SUSPEND_RESUME |
             MHD_USE_ERROR_LOG;
    const FrontLimits &l = limits;
    // The pool must not outnumber the connection limit, or stopping hangs.
    const unsigned threads = std::max(1u, std::min(l.threads, l.maxConnections));
    daemon = MHD_start_daemon(
        flags, port, nullptr, nullptr, &Impl::access, this, MHD_OPTION_EXTERNAL_LOGGER, &Impl::log,
        this, MHD_OPTION_ARRAY, where, MHD_OPTION_URI_LOG_CALLBACK, &Impl::logUri, this,
        MHD_OPTION_NOTIFY_COMPLETED, &Impl::completed, this, MHD_OPTION_UNESCAPE_CALLBACK,
        &Impl::keepEscapes, this, MHD_OPTION_THREAD_POOL_SIZE, threads, MHD_OPTION_CONNECTION_LIMIT,
        l.maxConnections, MHD_OPTION_PER_IP_CONNECTION_LIMIT, l.perAddress,
        MHD_OPTION_CONNECTION_TIMEOUT, l.idleTimeoutSecs, MHD_OPTION_CONNECTION_MEMORY_LIMIT,
        l.requestMemory, MHD_OPTION_LISTEN_BACKLOG_SIZE, 1024u, MHD_OPTION_END);
    if (!daemon) {
        std::lock_guard lock(errorLock);
        if (error.isEmpty())
            error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    pacerQuit = false;
    pacer = std::thread([this]() { pace(); });
    parking.start();
    return true;
}

QString CatalogueHttpServer::errorString() const
{
    std::lock_guard lock(d->errorLock);
    return d->error;
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
    if (d->quiescedSocket != MHD_INVALID_SOCKET)
        ::close(d->quiescedSocket);
    d->quiescedSocket = MHD_INVALID_SOCKET;
    d->stopping = false;
}

} // namespace mavrel::server
