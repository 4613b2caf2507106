#include "online/fetch.h"

#include "online/urlbytes.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QList>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

constexpr qint64 kBlockSize = 256;
// How much the network layer may buffer ahead of our reads: large enough that a fast transfer
// rarely waits, small enough to bound memory while a nested operation keeps us from reading.
constexpr qint64 kReplyBufferBytes = 1024 * 1024;
// While data keeps coming, the event loop runs between two blocks once this much time has
// passed since its last turn: a turn per 256-byte block would make a long transfer several
// times slower than the network, and this keeps the window responsive all the same.
constexpr qint64 kTurnIntervalNs = 4'000'000;
// Reading the clock after every block costs more than the block itself.
constexpr int kBlocksPerClockCheck = 16;
// Our own wake-ups end the local loop with this code; any other code means the application
// asked every event loop to end (QCoreApplication::exit), i.e. it is quitting. That is how a
// quit reaches fetches nested deep in the stack: aboutToQuit only comes once they unwound.
constexpr int kWakeCode = 0x4D76;

struct FetchState
{
    QEventLoop loop;
    bool abortRequested = false;

    void wake() { loop.exit(kWakeCode); }
};

// Per thread: fetches on worker threads (the logos) are neither counted nor aborted here.
QList<FetchState *> &activeFetches()
{
    thread_local QList<FetchState *> fetches;
    return fetches;
}

class ActiveFetch
{
public:
    explicit ActiveFetch(FetchState *state) : m_state(state) { activeFetches().append(state); }
    ~ActiveFetch() { activeFetches().removeOne(m_state); }
    ActiveFetch(const ActiveFetch &) = delete;
    ActiveFetch &operator=(const ActiveFetch &) = delete;

private:
    FetchState *m_state;
};

QUrl addressToUrl(const QByteArray &address)
{
    return QUrl::fromEncoded(encodeAddressBytes(address), QUrl::TolerantMode);
}

// Anything else (files, data, streaming protocols) is not ours to read: a local path may be a
// FIFO or a device that never answers, and no time limit could end that read.
bool isHttpScheme(const QUrl &url)
{
    const QString scheme = url.scheme();
    return scheme.compare(u"http"_s, Qt::CaseInsensitive) == 0 ||
           scheme.compare(u"https"_s, Qt::CaseInsensitive) == 0;
}

// The reply side of one transfer, read by FetchRun::pump whatever carries it.
class Transfer
{
public:
    virtual ~Transfer() = default;
    // Nothing more will arrive; what is buffered can still be read.
    virtual bool finished() = 0;
    virtual qint64 bytesAvailable() = 0;
    virtual qint64 read(char *data, qint64 maxSize) = 0;
    // How a transfer ended whose last read came back empty: Complete or Failed.
    virtual FetchEnd endOfData() = 0;
    virtual int status() = 0;
    virtual QByteArray contentType() = 0;
    virtual void abort() = 0;
};

// The state one fetch shares between its transfers: limits, clock, owner, event loop, result.
class FetchRun
{
public:
    FetchRun(const ProgressSink *progress, const FetchOptions &options)
        : m_progress(progress), m_received(options.received), m_hasOwner(options.owner != nullptr),
          m_owner(options.owner)
    {
        m_limits = options.limits.value_or(fetchLimits(options.use));
        m_limits.maxBytes = std::max<qint64>(m_limits.maxBytes, 1);
        m_clock.start();
        m_deadline.setSingleShot(true);
        QObject::connect(&m_deadline, &QTimer::timeout, &m_state.loop, [this] { m_state.wake(); });
        if (m_hasOwner) {
            QObject::connect(options.owner, &QObject::destroyed, &m_state.loop, [this] {
                m_state.abortRequested = true;
                m_state.wake();
            });
        }
    }

    QObject *context() { return &m_state.loop; }
    const FetchLimits &limits() const { return m_limits; }
    FetchResult &result() { return m_result; }
    bool ownerLost() const { return m_hasOwner && m_owner.isNull(); }
    void wake() { m_state.wake(); }
    void headersArrived(qint64 announcedLength)
    {
        if (announcedLength > m_result.body.capacity())
            m_result.body.reserve(std::min(announcedLength, m_limits.maxBytes));
        dataArrived();
    }
    void dataArrived()
    {
        m_headersSeen = true;
        m_lastProgressMs = m_clock.elapsed();
        m_state.wake();
    }

    // Reads the transfer to its end or to a limit, and stops it unless it ended by itself.
    FetchEnd pump(Transfer &transfer);

private:
    void showProgress()
    {
        if (ownerLost())
            return;
        if (m_progress != nullptr && *m_progress)
            (*m_progress)(m_result.body.size());
        if (m_received)
            m_received(QByteArrayView(m_result.body));
    }
    // One turn of the event loop (wait == false) or a wait for the next wake-up. False when
    // the application is quitting: every event loop has been told to end.
    bool runLoop(bool wait)
    {
        if (!wait)
            QMetaObject::invokeMethod(
                &m_state.loop, [this] { m_state.wake(); }, Qt::QueuedConnection);
        return m_state.loop.exec() == kWakeCode;
    }
    bool turnDue() const { return m_clock.nsecsElapsed() - m_lastTurnNs >= kTurnIntervalNs; }

    const ProgressSink *m_progress;
    const std::function<void(QByteArrayView)> m_received;
    const bool m_hasOwner;
    const QPointer<QObject> m_owner;
    FetchLimits m_limits;
    FetchState m_state;
    const ActiveFetch m_registration{&m_state};
    QElapsedTimer m_clock;
    QTimer m_deadline;
    qint64 m_lastProgressMs = 0;
    qint64 m_lastTurnNs = 0;
    bool m_headersSeen = false;
    FetchResult m_result;
};

FetchEnd FetchRun::pump(Transfer &transfer)
{
    int reads = 0;
    FetchEnd end = FetchEnd::Complete;
    QByteArray &body = m_result.body;
    for (;;) {
        if (m_state.abortRequested || ownerLost()) {
            end = FetchEnd::Aborted;
            break;
        }
        const bool finished = transfer.finished();
        if (finished || transfer.bytesAvailable() >= kBlockSize) {
            // Straight into the result: no buffer per block.
            const qsizetype before = body.size();
            const qint64 want = std::min(kBlockSize, m_limits.maxBytes - before);
            body.resize(before + want);
            const qint64 got = transfer.read(body.data() + before, want);
            body.resize(before + std::max<qint64>(got, 0));
            ++reads;
            if (reads > 1)
                showProgress();
            if (got <= 0) {
                end = transfer.endOfData();
                break;
            }
            if (body.size() >= m_limits.maxBytes) {
                end = FetchEnd::SizeLimit;
                break;
            }
            if (reads % kBlocksPerClockCheck == 0 && m_clock.elapsed() >= m_limits.totalMs) {
                end = FetchEnd::TimeLimit;
                break;
            }
            if (reads > 1 && reads % kBlocksPerClockCheck == 0 && turnDue()) {
                const bool running = runLoop(false);
                m_lastTurnNs = m_clock.nsecsElapsed();
                if (!running) {
                    end = FetchEnd::Aborted;
                    break;
                }
            }
            continue;
        }

        const qint64 now = m_clock.elapsed();
        qint64 waitMs = m_limits.totalMs - now;
        if (waitMs <= 0) {
            end = FetchEnd::TimeLimit;
            break;
        }
        if (!m_headersSeen) {
            const qint64 connectLeft = m_limits.connectMs - now;
            if (connectLeft <= 0) {
                end = FetchEnd::ConnectLimit;
                break;
            }
            waitMs = std::min(waitMs, connectLeft);
        } else {
            const qint64 idleLeft = m_limits.idleMs - (now - m_lastProgressMs);
            if (idleLeft <= 0) {
                end = FetchEnd::IdleLimit;
                break;
            }
            waitMs = std::min(waitMs, idleLeft);
        }
        m_deadline.start(static_cast<int>(waitMs));
        const bool running = runLoop(true);
        m_lastTurnNs = m_clock.nsecsElapsed();
        m_deadline.stop();
        if (!running) {
            end = FetchEnd::Aborted;
            break;
        }
    }

    m_result.end = end;
    m_result.ownerGone = ownerLost();
    m_result.httpStatus = transfer.status();
    m_result.contentType = transfer.contentType();
    if (end != FetchEnd::Complete && end != FetchEnd::Failed) {
        if (end != FetchEnd::Aborted) {
            // Keep what has already arrived: a cut-off stream still shows what it is.
            const qint64 room = m_limits.maxBytes - body.size();
            const qsizetype before = body.size();
            const qint64 want = std::min(transfer.bytesAvailable(), room);
            body.resize(before + want);
            const qint64 got = transfer.read(body.data() + before, want);
            body.resize(before + std::max<qint64>(got, 0));
            if (reads > 0) {
                if (got > 0)
                    showProgress();
                showProgress(); // closes the sequence as the final empty read would
            }
        }
        transfer.abort();
    }
    return end;
}

// The fetch through QtNetwork: redirects, TLS, caches.
class NetworkTransfer final : public Transfer
{
public:
    NetworkTransfer(FetchRun &run, const QUrl &url, bool bypassCache, const FetchOptions &options)
        : m_context(run.context())
    {
        m_manager.setProxy(QNetworkProxy::NoProxy);
        m_manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
        QNetworkRequest request(url);
        request.setHeader(QNetworkRequest::UserAgentHeader, u"Mozilla"_s);
        request.setMaximumRedirectsAllowed(run.limits().maxRedirects);
        request.setTransferTimeout(0);
        if (bypassCache) {
            request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                                 QNetworkRequest::AlwaysNetwork);
            request.setRawHeader("Cache-Control", "no-cache");
            request.setRawHeader("Pragma", "no-cache");
        }
        for (const auto &[name, value] : options.headers)
            request.setRawHeader(name, value);
        m_reply = m_manager.get(request);
        m_reply->setReadBufferSize(kReplyBufferBytes);
        QObject::connect(m_reply, &QNetworkReply::metaDataChanged, run.context(), [this, &run] {
            m_headersSeen = true;
            run.headersArrived(m_reply->header(QNetworkRequest::ContentLengthHeader).toLongLong());
        });
        QObject::connect(m_reply, &QNetworkReply::readyRead, run.context(),
                         [&run] { run.dataArrived(); });
        QObject::connect(m_reply, &QNetworkReply::finished, run.context(), [&run] { run.wake(); });
    }

    bool finished() override { return m_reply->isFinished(); }
    qint64 bytesAvailable() override { return m_reply->bytesAvailable(); }
    qint64 read(char *data, qint64 maxSize) override
    {
        const qint64 got = m_reply->read(data, maxSize);
        m_received += std::max<qint64>(got, 0);
        return got;
    }
    FetchEnd endOfData() override
    {
        // QtNetwork may report a connection closed before the announced length as a whole
        // reply; half an update is not one.
        const QVariant length = m_reply->header(QNetworkRequest::ContentLengthHeader);
        if (length.isValid() && m_reply->rawHeader("Content-Encoding").isEmpty() &&
            m_received < length.toLongLong())
            return FetchEnd::Failed;
        return (m_reply->error() == QNetworkReply::NoError ||
                (answered() && m_reply->error() > QNetworkReply::UnknownProxyError))
                   ? FetchEnd::Complete
                   : FetchEnd::Failed;
    }
    int status() override
    {
        return m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }
    QByteArray contentType() override { return m_reply->rawHeader("Content-Type"); }
    void abort() override
    {
        QObject::disconnect(m_reply, nullptr, m_context, nullptr);
        m_reply->abort();
    }
    ~NetworkTransfer() override { QObject::disconnect(m_reply, nullptr, m_context, nullptr); }

    // The connection ended before any HTTP status line: the server may have answered in a
    // protocol QtNetwork does not take (an old radio server's "ICY 200 OK"), which it reports
    // as the server closing the connection.
    bool endedWithoutStatus() const
    {
        const auto error = m_reply->error();
        return (error == QNetworkReply::RemoteHostClosedError ||
                error == QNetworkReply::ProtocolFailure) &&
               !m_headersSeen && !answered();
    }
    // Where the request ended up after redirects.
    QUrl url() const { return m_reply->url(); }

private:
    bool answered() const
    {
        return m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    }

    QObject *m_context;
    QNetworkAccessManager m_manager;
    QNetworkReply *m_reply = nullptr;
    bool m_headersSeen = false;
    qint64 m_received = 0;
};

// A plain GET over a socket that also accepts an "ICY <status>" line, for the radio servers
// QtNetwork refuses. HTTP/1.0 keeps the body unchunked; no metadata is asked for, so the body
// is the stream's bytes alone.
class IcyTransfer final : public Transfer
{
public:
    IcyTransfer(FetchRun &run, const QUrl &url, bool bypassCache, const FetchOptions &options)
        : m_run(run)
    {
        QByteArray target =
            url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
        if (target.isEmpty())
            target = "/";
        QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
        if (host.contains(':'))
            host = '[' + host + ']';
        if (url.port() != -1)
            host += ':' + QByteArray::number(url.port());
        m_request = "GET " + target + " HTTP/1.0\r\nHost: " + host +
                    "\r\nUser-Agent: Mozilla\r\nAccept: */*\r\n";
        if (bypassCache)
            m_request += "Cache-Control: no-cache\r\nPragma: no-cache\r\n";
        for (const auto &[name, value] : options.headers)
            m_request += name + ": " + value + "\r\n";
        m_request += "Connection: close\r\n\r\n";

        m_socket.setProxy(QNetworkProxy::NoProxy);
        m_socket.setReadBufferSize(kReplyBufferBytes);
        QObject::connect(&m_socket, &QTcpSocket::connected, run.context(),
                         [this] { m_socket.write(m_request); });
        QObject::connect(&m_socket, &QTcpSocket::readyRead, run.context(), [this] {
            if (readHead())
                m_run.dataArrived();
        });
        QObject::connect(&m_socket, &QTcpSocket::disconnected, run.context(),
                         [this] { m_run.wake(); });
        QObject::connect(&m_socket, &QTcpSocket::errorOccurred, run.context(),
                         [this] { m_run.wake(); });
        m_socket.connectToHost(url.host(), static_cast<quint16>(url.port(80)));
    }

    bool finished() override
    {
        readHead();
        return m_refused || m_left == 0 || m_socket.state() == QAbstractSocket::UnconnectedState;
    }
    qint64 bytesAvailable() override
    {
        if (!readHead())
            return 0;
        const qint64 available = m_socket.bytesAvailable();
        return m_left < 0 ? available : std::min(available, m_left);
    }
    qint64 read(char *data, qint64 maxSize) override
    {
        if (!readHead())
            return 0;
        if (m_left >= 0)
            maxSize = std::min(maxSize, m_left);
        const qint64 got = maxSize > 0 ? m_socket.read(data, maxSize) : 0;
        if (got > 0 && m_left > 0)
            m_left -= got;
        return got;
    }
    FetchEnd endOfData() override
    {
        if (!m_headDone || m_refused)
            return FetchEnd::Failed;
        // A stream ends by closing; a length, when given, must have been met.
        const auto error = m_socket.error();
        return m_left <= 0 && (error == QAbstractSocket::RemoteHostClosedError ||
                               error == QAbstractSocket::UnknownSocketError)
                   ? FetchEnd::Complete
                   : FetchEnd::Failed;
    }
    int status() override { return m_status; }
    QByteArray contentType() override { return m_contentType; }
    void abort() override
    {
        QObject::disconnect(&m_socket, nullptr, m_run.context(), nullptr);
        m_socket.abort();
    }
    ~IcyTransfer() override { QObject::disconnect(&m_socket, nullptr, m_run.context(), nullptr); }

private:
    // Takes the status line and headers off the socket once they are all there; true when
    // the body can be read.
    bool readHead()
    {
        if (m_headDone || m_refused)
            return m_headDone;
        const QByteArray seen = m_socket.peek(kMaxHeadBytes);
        qsizetype lineStart = 0;
        QByteArrayList lines;
        for (;;) {
            const qsizetype newline = seen.indexOf('\n', lineStart);
            if (newline < 0) {
                if (seen.size() >= kMaxHeadBytes)
                    refuse();
                return false;
            }
            QByteArray line = seen.mid(lineStart, newline - lineStart);
            if (line.endsWith('\r'))
                line.chop(1);
            lineStart = newline + 1;
            if (line.isEmpty())
                break;
            lines.append(line);
        }
        m_socket.skip(lineStart);

        const QByteArrayList statusLine = lines.value(0).simplified().split(' ');
        const QByteArray protocol = statusLine.value(0).toUpper();
        bool numeric = false;
        m_status = statusLine.value(1).toInt(&numeric);
        if (!numeric || (protocol != "ICY" && !protocol.startsWith("HTTP/"))) {
            m_status = 0;
            refuse();
            return false;
        }
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = lines[i].left(colon).trimmed().toLower();
            const QByteArray value = lines[i].mid(colon + 1).trimmed();
            if (name == "content-type") {
                m_contentType = value;
            } else if (name == "content-length") {
                bool valid = false;
                const qint64 length = value.toLongLong(&valid);
                if (valid && length >= 0)
                    m_left = length;
            }
        }
        m_headDone = true;
        m_run.headersArrived(m_left);
        return true;
    }
    void refuse()
    {
        m_refused = true;
        m_socket.abort();
        m_run.wake();
    }

    // More than any real header; a server sending endless bytes without an empty line is not
    // speaking HTTP.
    static constexpr qint64 kMaxHeadBytes = 16 * 1024;

    FetchRun &m_run;
    QTcpSocket m_socket;
    QByteArray m_request;
    bool m_headDone = false;
    bool m_refused = false;
    int m_status = 0;
    QByteArray m_contentType;
    qint64 m_left = -1; // body bytes still announced; -1: no length, read to the close
};

FetchResult runFetch(const QUrl &url, bool bypassCache, const ProgressSink *progress,
                     const FetchOptions &options)
{
    if (QCoreApplication::instance() == nullptr || !url.isValid() || !isHttpScheme(url))
        return {};

    FetchRun run(progress, options);
    QUrl icyUrl;
    {
        NetworkTransfer network(run, url, bypassCache, options);
        // Only when the server answered in something else than HTTP is the request made again,
        // on a socket of our own. TLS would need its own socket; radio servers that answer
        // this way speak plain HTTP.
        if (run.pump(network) == FetchEnd::Failed && network.endedWithoutStatus() &&
            network.url().scheme().compare(u"http"_s, Qt::CaseInsensitive) == 0)
            icyUrl = network.url();
    }
    if (!icyUrl.isEmpty()) {
        run.result().body.clear();
        IcyTransfer icy(run, icyUrl, bypassCache, options);
        run.pump(icy);
    }
    return run.result();
}

} // namespace

FetchResult fetchPage(const QUrl &url, const FetchOptions &options)
{
    return runFetch(url, true, nullptr, options);
}

FetchResult fetchPage(const QByteArray &address, const FetchOptions &options)
{
    return fetchPage(addressToUrl(address), options);
}

FetchResult fetchPageWithStatus(const QUrl &url, const ProgressSink &progress,
                                const FetchOptions &options)
{
    return runFetch(url, true, &progress, options);
}

FetchResult fetchPageWithStatus(const QByteArray &address, const ProgressSink &progress,
                                const FetchOptions &options)
{
    return fetchPageWithStatus(addressToUrl(address), progress, options);
}

FetchResult getPage(QByteArray &address, const FetchOptions &options)
{
    // "https://host" must not become "http://https://host".
    static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*://"));
    if (!scheme.match(QString::fromLatin1(address)).hasMatch())
        address = withHttpPrefix(address);
    return runFetch(addressToUrl(address), false, nullptr, options);
}

void abortAllFetches()
{
    for (FetchState *state : std::as_const(activeFetches())) {
        state->abortRequested = true;
        state->wake();
    }
}

int activeFetchCount()
{
    return static_cast<int>(activeFetches().size());
}

} // namespace mavrel
