#include "testhttpserver.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace mavrel::test {

namespace {

constexpr qint64 kPatternPeriod = 64 * 1024;
// Keep this much queued on the socket while streaming a long body.
constexpr qint64 kSendAhead = 256 * 1024;

const QByteArray &patternBlock()
{
    // Two periods, so any window of one period is a plain slice.
    static const QByteArray block = [] {
        QByteArray b(2 * kPatternPeriod, Qt::Uninitialized);
        for (qint64 i = 0; i < b.size(); ++i)
            b[i] = static_cast<char>('a' + (i % kPatternPeriod) * 7 % 26);
        return b;
    }();
    return block;
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

} // namespace

// One accepted connection: reads a request, then answers it as its route says.
class TestHttpConnection : public QObject
{
public:
    TestHttpConnection(TestHttpServer *server, QTcpSocket *socket)
        : QObject(server), m_server(server), m_socket(socket)
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, &TestHttpConnection::onReadyRead);
        connect(socket, &QTcpSocket::bytesWritten, this, &TestHttpConnection::sendMore);
        connect(socket, &QTcpSocket::disconnected, this, &QObject::deleteLater);
        connect(&m_drip, &QTimer::timeout, this, &TestHttpConnection::dripOne);
    }

private:
    void onReadyRead()
    {
        if (m_answering) {
            m_socket->readAll();
            return;
        }
        m_request += m_socket->readAll();
        const qsizetype headEnd = m_request.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        m_answering = true;
        RecordedRequest recorded;
        const QList<QByteArray> lines = m_request.left(headEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        recorded.method = requestLine.value(0);
        recorded.target = requestLine.value(1);
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const qsizetype colon = lines[i].indexOf(':');
            if (colon > 0)
                recorded.headers.insert(lines[i].left(colon).trimmed().toLower(),
                                        lines[i].mid(colon + 1).trimmed());
        }
        m_server->m_requests.append(recorded);
        answer(m_server->routeFor(recorded.target));
    }

    void answer(const TestHttpServer::Route &route)
    {
        m_route = route;
        if (route.mode == TestHttpServer::Mode::Silent)
            return;
        QByteArray head = route.statusLine.isEmpty()
                              ? "HTTP/1.1 " + QByteArray::number(route.status) + ' ' +
                                    reasonPhrase(route.status) + "\r\n"
                              : route.statusLine + "\r\n";
        if (!route.contentType.isEmpty())
            head += "Content-Type: " + route.contentType + "\r\n";
        head += "Connection: close\r\n";
        if (!route.location.isEmpty())
            head += "Location: " + route.location + "\r\n";
        switch (route.mode) {
        case TestHttpServer::Mode::Fixed:
            if (route.sendLength)
                head += "Content-Length: " + QByteArray::number(route.body.size()) + "\r\n";
            break;
        case TestHttpServer::Mode::Stall:
        case TestHttpServer::Mode::Cut:
            // Promises more than it ever sends.
            if (route.sendLength)
                head +=
                    "Content-Length: " + QByteArray::number(route.body.size() + 1'000'000) + "\r\n";
            break;
        case TestHttpServer::Mode::Generated:
            head += "Content-Length: " + QByteArray::number(route.size) + "\r\n";
            m_remaining = route.size;
            break;
        case TestHttpServer::Mode::Endless:
            m_remaining = -1;
            break;
        case TestHttpServer::Mode::Drip:
            break;
        case TestHttpServer::Mode::Silent:
            break;
        }
        head += "\r\n";
        if (route.mode == TestHttpServer::Mode::Fixed ||
            route.mode == TestHttpServer::Mode::Stall || route.mode == TestHttpServer::Mode::Cut)
            head += route.body;
        m_socket->write(head);
        if (route.mode == TestHttpServer::Mode::Fixed || route.mode == TestHttpServer::Mode::Cut) {
            m_socket->disconnectFromHost();
        } else if (route.mode == TestHttpServer::Mode::Drip) {
            m_drip.start(route.intervalMs);
        } else if (route.mode == TestHttpServer::Mode::Generated ||
                   route.mode == TestHttpServer::Mode::Endless) {
            sendMore();
        }
    }

    void sendMore()
    {
        const auto mode = m_route.mode;
        if (mode != TestHttpServer::Mode::Generated && mode != TestHttpServer::Mode::Endless)
            return;
        if (m_remaining == 0)
            return;
        while (m_socket->bytesToWrite() < kSendAhead && m_remaining != 0) {
            qint64 count = kPatternPeriod;
            if (m_remaining > 0)
                count = std::min(count, m_remaining);
            m_socket->write(TestHttpServer::patternBytes(m_sent, count));
            m_sent += count;
            if (m_remaining > 0)
                m_remaining -= count;
        }
        if (m_remaining == 0)
            m_socket->disconnectFromHost();
    }

    void dripOne()
    {
        if (m_dripped >= m_route.body.size()) {
            m_drip.stop();
            m_socket->disconnectFromHost();
            return;
        }
        m_socket->write(m_route.body.mid(m_dripped, 1));
        ++m_dripped;
    }

    TestHttpServer *m_server;
    QTcpSocket *m_socket;
    QByteArray m_request;
    bool m_answering = false;
    TestHttpServer::Route m_route;
    qint64 m_remaining = 0; // -1: endless
    qint64 m_sent = 0;
    qsizetype m_dripped = 0;
    QTimer m_drip;
};

TestHttpServer::TestHttpServer(QObject *parent) : QObject(parent), m_server(this)
{
    m_defaultRoute.status = 404;
    m_defaultRoute.body = "<html><head><title>404 Not Found</title></head>"
                          "<body><h1>Not Found</h1></body></html>";
    connect(&m_server, &QTcpServer::newConnection, this, &TestHttpServer::onNewConnection);
}

bool TestHttpServer::listen()
{
    return m_server.listen(QHostAddress::LocalHost, 0);
}

QByteArray TestHttpServer::url(const QByteArray &path) const
{
    return "http://127.0.0.1:" + QByteArray::number(port()) + path;
}

void TestHttpServer::setRoute(const QByteArray &path, const Route &route)
{
    m_routes.insert(path, route);
}

void TestHttpServer::serve(const QByteArray &path, const QByteArray &body, int status)
{
    Route route;
    route.body = body;
    route.status = status;
    setRoute(path, route);
}

void TestHttpServer::serveRedirect(const QByteArray &path, const QByteArray &location, int status)
{
    Route route;
    route.status = status;
    route.location = location;
    route.body = "<html>moved</html>";
    setRoute(path, route);
}

void TestHttpServer::serveGenerated(const QByteArray &path, qint64 size)
{
    Route route;
    route.mode = Mode::Generated;
    route.size = size;
    setRoute(path, route);
}

void TestHttpServer::serveEndless(const QByteArray &path)
{
    Route route;
    route.mode = Mode::Endless;
    setRoute(path, route);
}

void TestHttpServer::serveDrip(const QByteArray &path, const QByteArray &body, int intervalMs)
{
    Route route;
    route.mode = Mode::Drip;
    route.body = body;
    route.intervalMs = intervalMs;
    setRoute(path, route);
}

void TestHttpServer::serveStall(const QByteArray &path, const QByteArray &body)
{
    Route route;
    route.mode = Mode::Stall;
    route.body = body;
    setRoute(path, route);
}

void TestHttpServer::serveCut(const QByteArray &path, const QByteArray &body)
{
    Route route;
    route.mode = Mode::Cut;
    route.body = body;
    setRoute(path, route);
}

void TestHttpServer::serveSilent(const QByteArray &path)
{
    Route route;
    route.mode = Mode::Silent;
    setRoute(path, route);
}

QList<RecordedRequest> TestHttpServer::requestsFor(const QByteArray &path) const
{
    QList<RecordedRequest> found;
    for (const RecordedRequest &r : m_requests) {
        if (r.target.split('?').value(0) == path)
            found.append(r);
    }
    return found;
}

quint16 TestHttpServer::refusedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

QByteArray TestHttpServer::refusedUrl(const QByteArray &path)
{
    return "http://127.0.0.1:" + QByteArray::number(refusedPort()) + path;
}

QByteArray TestHttpServer::patternBytes(qint64 offset, qint64 count)
{
    QByteArray out;
    out.reserve(count);
    while (count > 0) {
        const qint64 start = offset % kPatternPeriod;
        const qint64 n = std::min(count, kPatternPeriod);
        out.append(patternBlock().constData() + start, n);
        offset += n;
        count -= n;
    }
    return out;
}

void TestHttpServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        ++m_connectionCount;
        new TestHttpConnection(this, socket);
    }
}

TestHttpServer::Route TestHttpServer::routeFor(const QByteArray &target) const
{
    const qsizetype query = target.indexOf('?');
    const QByteArray path = query < 0 ? target : target.left(query);
    const auto it = m_routes.constFind(path);
    if (it != m_routes.constEnd())
        return *it;
    return m_defaultRoute;
}

} // namespace mavrel::test
