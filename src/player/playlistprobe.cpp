#include "playlistprobe.h"

#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPromise>
#include <QThreadPool>

using namespace Qt::StringLiterals;

namespace mavrel {
namespace {

// Failures before any byte came back from the host.
bool isConnectFailure(QNetworkReply::NetworkError error)
{
    switch (error) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::TimeoutError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::UnknownNetworkError:
        return true;
    default:
        return false;
    }
}

} // namespace

PlaylistProbe::PlaylistProbe(QNetworkAccessManager *network, QObject *parent)
    : QObject(parent), m_network(network)
{
    m_sniffTimer.setSingleShot(true);
    m_sniffTimer.setInterval(kSniffWaitMs);
    connect(&m_sniffTimer, &QTimer::timeout, this, [this] { decide(true); });
}

PlaylistProbe::~PlaylistProbe()
{
    m_done = true;
    if (m_reply) {
        // Deleting a running reply aborts it; aborting here, inside one of its own signals,
        // would make it report a second error.
        m_reply->disconnect(this);
        m_reply->deleteLater();
    }
}

bool PlaylistProbe::canProbe(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == u"http"_s || scheme == u"https"_s;
}

void PlaylistProbe::start(const QUrl &url, bool expectPlaylist)
{
    m_url = url;
    m_hint = playlistFormatFromAddress(url);
    if (expectPlaylist && m_hint == PlaylistFormat::None)
        m_hint = PlaylistFormat::Asx; // an <entryref> names a metafile
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::NoLessSafeRedirectPolicy);
    request.setMaximumRedirectsAllowed(5);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Mozilla/5.0 Mavrel"));
    request.setRawHeader("Accept", "*/*");
    m_reply = m_network->get(request);
    m_reply->setReadBufferSize(kProbeCap + 1);
    connect(m_reply, &QNetworkReply::metaDataChanged, this, &PlaylistProbe::onHeaders);
    connect(m_reply, &QNetworkReply::readyRead, this, &PlaylistProbe::onData);
    connect(m_reply, &QNetworkReply::finished, this, &PlaylistProbe::onFinished);
}

void PlaylistProbe::onHeaders()
{
    if (m_done || !m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (status >= 300 && status < 400)
        return; // a redirect on its way
    m_headersSeen = true;
    if (status >= 400) {
        m_outcome.httpStatus = status;
        finish(false); // an error page: the engine will report the failure itself
        return;
    }
    const QByteArray contentType = m_reply->rawHeader("Content-Type");
    switch (classifyContentType(contentType)) {
    case ContentKind::Playlist:
        m_hint = playlistFormatFromContentType(contentType);
        m_isPlaylist = true;
        break;
    case ContentKind::Media:
        m_hint = PlaylistFormat::None; // the server's word beats the file name
        break;
    case ContentKind::Unknown:
        if (contentType.toLower().startsWith("text/html"))
            m_hint = PlaylistFormat::None;
        break;
    }
    m_sniffTimer.start();
    decide(false);
}

void PlaylistProbe::onData()
{
    if (m_done || !m_reply)
        return;
    const qsizetype room = kProbeCap + 1 - m_data.size();
    if (room > 0)
        m_data += m_reply->read(room);
    decide(false);
}

void PlaylistProbe::onFinished()
{
    if (m_done || !m_reply)
        return;
    const int status = m_reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (m_reply->error() != QNetworkReply::NoError && (m_data.isEmpty() || status >= 400)) {
        if (status >= 400)
            m_outcome.httpStatus = status;
        else if (isConnectFailure(m_reply->error()))
            m_outcome.unreachableHost = m_reply->url().host();
        finish(false);
        return;
    }
    m_data += m_reply->read(qMax<qsizetype>(0, kProbeCap + 1 - m_data.size()));
    decide(true);
    if (!m_done)
        finish(true);
}

void PlaylistProbe::decide(bool atEnd)
{
    if (m_done)
        return;
    if (m_data.size() > kProbeCap) {
        // Too big for a playlist; read what fits if it was announced as one.
        finish(m_isPlaylist);
        return;
    }
    if (m_isPlaylist || (!atEnd && m_data.size() < kSniffBytes))
        return;
    if (sniffPlaylist(m_data) != PlaylistFormat::None || m_hint != PlaylistFormat::None) {
        m_isPlaylist = true;
        m_sniffTimer.stop();
        return;
    }
    finish(false);
}

void PlaylistProbe::finish(bool parse)
{
    if (m_done)
        return;
    m_done = true;
    m_sniffTimer.stop();
    if (parse) {
        // Relative entries are relative to where a redirect ended, not to where it began.
        const QUrl base = m_reply ? m_reply->url() : m_url;
        m_outcome.entries = parsePlaylist(m_data, base, m_hint);
    }
    if (m_reply) {
        // Deleting a running reply aborts it; aborting here, inside one of its own signals,
        // would make it report a second error.
        m_reply->disconnect(this);
        m_reply->deleteLater();
        m_reply = nullptr;
    }
    // Always asynchronous, so the owner never sees finished() from inside start().
    QMetaObject::invokeMethod(this, &PlaylistProbe::finished, Qt::QueuedConnection);
}

PlaylistProbe::Outcome PlaylistProbe::probeLocalFile(const QUrl &url, bool expectPlaylist)
{
    // Opening a FIFO waits for a writer, and a device may never answer: regular files only.
    const QFileInfo info(url.toLocalFile());
    if (!info.isFile())
        return {{}, false, 0, {}};
    QFile file(info.filePath());
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return {};
    PlaylistFormat hint = playlistFormatFromAddress(url);
    if (expectPlaylist && hint == PlaylistFormat::None)
        hint = PlaylistFormat::Asx;
    QByteArray data = file.read(kSniffBytes * 8);
    if (hint == PlaylistFormat::None && sniffPlaylist(data) == PlaylistFormat::None)
        return {};
    data += file.read(kProbeCap - data.size());
    return {parsePlaylist(data, url, hint), true, 0, {}};
}

QFuture<PlaylistProbe::Outcome> PlaylistProbe::probeLocalFileInBackground(const QUrl &url,
                                                                          bool expectPlaylist)
{
    // A pool of its own, never destroyed: a probe stuck on a dead mount must neither hold up
    // the application's shared pool nor the exit.
    static QThreadPool *const pool = [] {
        auto *p = new QThreadPool;
        p->setMaxThreadCount(4);
        return p;
    }();
    auto promise = std::make_shared<QPromise<Outcome>>();
    QFuture<Outcome> future = promise->future();
    promise->start();
    pool->start([promise, url, expectPlaylist] {
        promise->addResult(probeLocalFile(url, expectPlaylist));
        promise->finish();
    });
    return future;
}

} // namespace mavrel
