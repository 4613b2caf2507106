#include "server/httpserver.h"

#include "server/demomedia.h"
#include "server/wire.h"

#include <QElapsedTimer>
#include <QFile>
#include <QHostAddress>
#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace mavrel::server {

using Status = QHttpServerResponder::StatusCode;

namespace {

// A page that the viewer's error-page test recognises, as dead stations answer.
const char kGonePage[] = "<html><head><title>404 Not Found</title></head><body>"
                         "<h1>Not Found</h1><p>The requested stream is not available.</p>"
                         "</body></html>";
const char kMovedPage[] = "<html><head><title>Station moved</title></head><body>"
                          "<h1>This station Has Moved</h1><p>Stream Not Available.</p>"
                          "</body></html>";

void writeVideoSiteReply(QHttpServerResponder &responder, const VideoSiteReply &reply)
{
    QByteArray body = reply.body;
    if (!reply.filePath.isEmpty()) {
        QFile file(reply.filePath);
        if (!file.open(QIODevice::ReadOnly) || !file.seek(reply.fileOffset)) {
            responder.write(QByteArrayLiteral("Not Found"), QByteArrayLiteral("text/plain"),
                            Status::NotFound);
            return;
        }
        body = file.read(reply.fileLength);
    }
    responder.writeStatusLine(Status(reply.status));
    responder.writeHeader(QByteArrayLiteral("Content-Type"), reply.contentType);
    responder.writeHeader(QByteArrayLiteral("Content-Length"), QByteArray::number(body.size()));
    for (const auto &[name, value] : reply.headers)
        responder.writeHeader(name, value);
    responder.writeBody(body);
}

} // namespace

QString clientKey(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

CatalogueHttpServer::CatalogueHttpServer(CataloguePages &pages, QObject *parent)
    : QAbstractHttpServer(parent), m_pages(pages)
{}

bool CatalogueHttpServer::handleRequest(const QHttpServerRequest &request, QTcpSocket *socket)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    if (request.method() != QHttpServerRequest::Method::Get &&
        request.method() != QHttpServerRequest::Method::Head) {
        responder.write(QByteArrayLiteral("Method Not Allowed"), QByteArrayLiteral("text/plain"),
                        Status::MethodNotAllowed);
        return true;
    }
    const QUrl url = request.url();
    const QString path = url.path(QUrl::FullyDecoded);
    // The encoded form holds every escape as it arrived; it is decoded byte for byte later.
    const QString rawQuery = url.query(QUrl::FullyEncoded);
    if (isRepairedQuery(rawQuery)) {
        responder.write(QByteArrayLiteral("Bad request"), QByteArrayLiteral("text/plain"),
                        Status::BadRequest);
        return true;
    }
    if (auto page = m_pages.handle(path, rawQuery, clientKey(request.remoteAddress()))) {
        responder.write(page->body, page->mimeType, Status(page->status));
        return true;
    }
    if (m_videoSite) {
        if (auto reply = m_videoSite->handle({path, rawQuery.toUtf8(), request.value("Range")})) {
            writeVideoSiteReply(responder, *reply);
            return true;
        }
    }
    if (path.startsWith(u"/media/"_s) && serveMedia(QStringView(path).sliced(7), request, socket))
        return true;
    responder.write(QByteArrayLiteral("404 Not Found"), QByteArrayLiteral("text/plain"),
                    Status::NotFound);
    return true;
}

void CatalogueHttpServer::missingHandler(const QHttpServerRequest &request, QTcpSocket *socket)
{
    makeResponder(request, socket)
        .write(QByteArrayLiteral("404 Not Found"), QByteArrayLiteral("text/plain"),
               Status::NotFound);
}

bool CatalogueHttpServer::serveMedia(QStringView name, const QHttpServerRequest &request,
                                     QTcpSocket *socket)
{
    if (name == u"radio.wav" || name == u"radio2.wav") {
        streamTune(request, socket, name == u"radio.wav" ? 0 : 1);
        return true;
    }
    QHttpServerResponder responder = makeResponder(request, socket);
    if (name == u"chime.wav") {
        if (m_chime.isEmpty())
            m_chime = demo::chimeWav();
        responder.write(m_chime, QByteArrayLiteral("audio/wav"));
        return true;
    }
    if (name == u"testcard.avi") {
        if (m_testCard.isEmpty())
            m_testCard = demo::testCardAvi();
        responder.write(m_testCard, QByteArrayLiteral("video/x-msvideo"));
        return true;
    }
    if (name == u"offline.asx") {
        responder.write(QByteArray(kGonePage), QByteArrayLiteral("text/html"), Status::NotFound);
        return true;
    }
    if (name == u"moved.asx") {
        responder.write(QByteArray(kMovedPage), QByteArrayLiteral("text/html"));
        return true;
    }
    return false;
}

void CatalogueHttpServer::streamTune(const QHttpServerRequest &request, QTcpSocket *socket,
                                     int melody)
{
    QHttpServerResponder responder = makeResponder(request, socket);
    responder.writeStatusLine(Status::Ok);
    responder.writeHeaders({{QByteArrayLiteral("Content-Type"), QByteArrayLiteral("audio/wav")},
                            {QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-cache")},
                            {QByteArrayLiteral("Connection"), QByteArrayLiteral("close")}});
    // The header claims the largest size a WAV can hold: players read it as a live stream.
    responder.writeBody(demo::wavHeader(0xffffffffu - 64));
    if (request.method() == QHttpServerRequest::Method::Head) {
        socket->disconnectFromHost();
        return;
    }

    // Real-time pace with one second ahead, so that a player starts at once and a client that
    // stops reading does not make the server buffer without end.
    struct Stream
    {
        QElapsedTimer clock;
        qint64 sent = 0;
    };
    auto stream = std::make_shared<Stream>();
    stream->clock.start();
    auto *timer = new QTimer(socket);
    const QPointer<QTcpSocket> guard(socket);
    auto pump = [guard, stream, melody]() {
        if (!guard || guard->state() != QAbstractSocket::ConnectedState)
            return;
        if (guard->bytesToWrite() > 256 * 1024)
            return;
        const qint64 due = (stream->clock.elapsed() + 1000) * demo::kSampleRate / 1000;
        const int count = int(std::min<qint64>(due - stream->sent, demo::kSampleRate));
        if (count <= 0)
            return;
        guard->write(demo::tuneSamples(stream->sent, count, melody));
        stream->sent += count;
    };
    connect(timer, &QTimer::timeout, socket, pump);
    connect(socket, &QTcpSocket::disconnected, timer, &QTimer::stop);
    pump();
    timer->start(100);
}

} // namespace mavrel::server
