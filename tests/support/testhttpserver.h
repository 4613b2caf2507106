#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QTcpServer>

namespace mavrel::test {

// What the server saw of one request.
struct RecordedRequest
{
    QByteArray method;
    QByteArray target;                     // path and query exactly as sent
    QHash<QByteArray, QByteArray> headers; // names in lower case
};

// A small HTTP/1.1 server on 127.0.0.1 and an ephemeral port, for tests and benchmarks.
// Every answer closes its connection. Unknown paths get a 404 page with a body, unless a
// default route says otherwise.
class TestHttpServer : public QObject
{
    Q_OBJECT
public:
    enum class Mode
    {
        Fixed,     // the body, with its length
        Generated, // `size` bytes made on the fly, with their length
        Endless,   // bytes without end, no length
        Drip,      // the body one byte per interval, then the connection closes
        Stall,     // the headers and the body, then nothing though more was promised
        Cut,       // the same, then the connection closes
        Silent,    // reads the request and never answers
    };

    struct Route
    {
        Mode mode = Mode::Fixed;
        int status = 200;
        QByteArray body;
        qint64 size = 0;
        int intervalMs = 1000;
        QByteArray location;                  // a redirect target when set
        QByteArray contentType = "text/html"; // empty: no Content-Type line
        // Replaces "HTTP/1.1 <status> <reason>" (an old radio server says "ICY 200 OK").
        QByteArray statusLine;
        // Fixed and Stall only; without a length the body reads as the start of a stream.
        bool sendLength = true;
    };

    explicit TestHttpServer(QObject *parent = nullptr);

    // Listens on 127.0.0.1 and an ephemeral port; false on failure.
    Q_INVOKABLE bool listen();
    quint16 port() const { return m_server.serverPort(); }
    // "http://127.0.0.1:<port>" followed by the path.
    QByteArray url(const QByteArray &path) const;

    void setRoute(const QByteArray &path, const Route &route);
    void serve(const QByteArray &path, const QByteArray &body, int status = 200);
    void serveRedirect(const QByteArray &path, const QByteArray &location, int status = 302);
    void serveGenerated(const QByteArray &path, qint64 size);
    void serveEndless(const QByteArray &path);
    void serveDrip(const QByteArray &path, const QByteArray &body, int intervalMs = 1000);
    void serveStall(const QByteArray &path, const QByteArray &body);
    void serveCut(const QByteArray &path, const QByteArray &body);
    void serveSilent(const QByteArray &path);
    // The answer for paths without a route of their own; a Silent one makes a port that
    // accepts connections and never answers, whatever the protocol.
    void setDefaultRoute(const Route &route) { m_defaultRoute = route; }

    // Connections accepted so far, whether or not a request came.
    int connectionCount() const { return m_connectionCount; }

    const QList<RecordedRequest> &requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    // The requests whose path (the target before "?") is the given one.
    QList<RecordedRequest> requestsFor(const QByteArray &path) const;

    // A port on 127.0.0.1 where nothing listens, so connecting is refused.
    static quint16 refusedPort();
    // "http://127.0.0.1:<refused port>" followed by `path`.
    static QByteArray refusedUrl(const QByteArray &path = {});

    // The bytes a Generated or Endless route sends, from the given offset.
    static QByteArray patternBytes(qint64 offset, qint64 count);

private:
    void onNewConnection();
    Route routeFor(const QByteArray &target) const;

    QTcpServer m_server;
    QHash<QByteArray, Route> m_routes;
    Route m_defaultRoute;
    int m_connectionCount = 0;
    QList<RecordedRequest> m_requests;
    friend class TestHttpConnection;
};

} // namespace mavrel::test
