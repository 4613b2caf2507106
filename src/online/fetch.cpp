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
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

constexpr qint64 kBlockSize = 256;
// How much the network layer may buffer ahead of our reads: large enough that a fast transfer
// rarely waits, small enough to bound memory while a nested operation keeps us from reading.
constexpr qint64 kReplyBufferBytes = 1024 * 1024;
constexpr int kMaxRedirects = 20;
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

QList<FetchState *> &activeFetches()
{
    static QList<FetchState *> fetches;
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

FetchResult runFetch(const QUrl &url, bool bypassCache, const ProgressSink *progress,
                     const FetchOptions &options)
{
    FetchResult result;
    if (QCoreApplication::instance() == nullptr || !url.isValid())
        return result;

    FetchLimits limits = options.limits.value_or(fetchLimits(options.use));
    limits.maxBytes = std::max<qint64>(limits.maxBytes, 1);
    const bool hasOwner = options.owner != nullptr;
    const QPointer<QObject> owner(options.owner);
    const auto ownerLost = [&] { return hasOwner && owner.isNull(); };

    FetchState state;
    const ActiveFetch registration(&state);

    QElapsedTimer clock;
    clock.start();
    qint64 lastProgressMs = 0;
    qint64 lastTurnNs = 0;
    bool headersSeen = false;
    QTimer deadline;
    deadline.setSingleShot(true);
    QObject::connect(&deadline, &QTimer::timeout, &state.loop, [&state] { state.wake(); });
    if (hasOwner) {
        QObject::connect(options.owner, &QObject::destroyed, &state.loop, [&state] {
            state.abortRequested = true;
            state.wake();
        });
    }

    QNetworkAccessManager manager;
    manager.setProxy(QNetworkProxy::NoProxy);
    manager.setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::UserAgentHeader, u"Mozilla"_s);
    request.setMaximumRedirectsAllowed(kMaxRedirects);
    request.setTransferTimeout(0);
    if (bypassCache) {
        request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                             QNetworkRequest::AlwaysNetwork);
        request.setRawHeader("Cache-Control", "no-cache");
        request.setRawHeader("Pragma", "no-cache");
    }
    QNetworkReply *reply = manager.get(request);
    reply->setReadBufferSize(kReplyBufferBytes);
    QObject::connect(reply, &QNetworkReply::metaDataChanged, &state.loop, [&] {
        const qint64 announced = reply->header(QNetworkRequest::ContentLengthHeader).toLongLong();
        if (announced > result.body.capacity())
            result.body.reserve(std::min(announced, limits.maxBytes));
        headersSeen = true;
        lastProgressMs = clock.elapsed();
        state.wake();
    });
    QObject::connect(reply, &QNetworkReply::readyRead, &state.loop, [&] {
        headersSeen = true;
        lastProgressMs = clock.elapsed();
        state.wake();
    });
    QObject::connect(reply, &QNetworkReply::finished, &state.loop, [&state] { state.wake(); });

    const auto showProgress = [&] {
        if (progress != nullptr && *progress && !ownerLost())
            (*progress)(result.body.size());
    };
    // One turn of the event loop (wait == false) or a wait for the next wake-up. False when
    // the application is quitting: every event loop has been told to end.
    const auto runLoop = [&state](bool wait) {
        if (!wait)
            QMetaObject::invokeMethod(
                &state.loop, [&state] { state.wake(); }, Qt::QueuedConnection);
        return state.loop.exec() == kWakeCode;
    };
    const auto turnDue = [&] { return clock.nsecsElapsed() - lastTurnNs >= kTurnIntervalNs; };

    int reads = 0;
    FetchEnd end = FetchEnd::Complete;
    for (;;) {
        if (state.abortRequested || ownerLost()) {
            end = FetchEnd::Aborted;
            break;
        }
        const bool finished = reply->isFinished();
        if (finished || reply->bytesAvailable() >= kBlockSize) {
            // Straight into the result: no buffer per block.
            const qsizetype before = result.body.size();
            const qint64 want = std::min(kBlockSize, limits.maxBytes - before);
            result.body.resize(before + want);
            const qint64 got = reply->read(result.body.data() + before, want);
            result.body.resize(before + std::max<qint64>(got, 0));
            ++reads;
            if (reads > 1)
                showProgress();
            if (got <= 0) {
                const bool answered =
                    reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
                end = (reply->error() == QNetworkReply::NoError ||
                       (answered && reply->error() > QNetworkReply::UnknownProxyError))
                          ? FetchEnd::Complete
                          : FetchEnd::Failed;
                break;
            }
            if (result.body.size() >= limits.maxBytes) {
                end = FetchEnd::SizeLimit;
                break;
            }
            if (reads % kBlocksPerClockCheck == 0 && clock.elapsed() >= limits.totalMs) {
                end = FetchEnd::TimeLimit;
                break;
            }
            if (reads > 1 && reads % kBlocksPerClockCheck == 0 && turnDue()) {
                const bool running = runLoop(false);
                lastTurnNs = clock.nsecsElapsed();
                if (!running) {
                    end = FetchEnd::Aborted;
                    break;
                }
            }
            continue;
        }

        const qint64 now = clock.elapsed();
        qint64 waitMs = limits.totalMs - now;
        if (waitMs <= 0) {
            end = FetchEnd::TimeLimit;
            break;
        }
        if (!headersSeen) {
            const qint64 connectLeft = limits.connectMs - now;
            if (connectLeft <= 0) {
                end = FetchEnd::ConnectLimit;
                break;
            }
            waitMs = std::min(waitMs, connectLeft);
        } else {
            const qint64 idleLeft = limits.idleMs - (now - lastProgressMs);
            if (idleLeft <= 0) {
                end = FetchEnd::IdleLimit;
                break;
            }
            waitMs = std::min(waitMs, idleLeft);
        }
        deadline.start(static_cast<int>(waitMs));
        const bool running = runLoop(true);
        lastTurnNs = clock.nsecsElapsed();
        deadline.stop();
        if (!running) {
            end = FetchEnd::Aborted;
            break;
        }
    }

    result.end = end;
    result.ownerGone = ownerLost();
    result.httpStatus = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (end != FetchEnd::Complete && end != FetchEnd::Failed) {
        if (end != FetchEnd::Aborted) {
            // Keep what has already arrived: a cut-off stream still shows what it is.
            const qint64 room = limits.maxBytes - result.body.size();
            const QByteArray rest = reply->read(std::min(reply->bytesAvailable(), room));
            result.body += rest;
            if (reads > 0) {
                if (!rest.isEmpty())
                    showProgress();
                showProgress(); // closes the sequence as the final empty read would
            }
        }
        QObject::disconnect(reply, nullptr, &state.loop, nullptr);
        reply->abort();
    }
    return result;
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
