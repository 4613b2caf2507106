#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUrl>

namespace mavrel::test {

// A small HTTP/1.0 server on 127.0.0.1 for the player's tests: fixed answers by path.
class TestHttpServer : public QObject
{
    Q_OBJECT
public:
    struct Answer
    {
        Answer(int status = 200, QByteArray contentType = {}, QByteArray body = {},
               QByteArray statusLine = {}, QByteArray extraHeaders = {})
            : status(status), contentType(std::move(contentType)), body(std::move(body)),
              statusLine(std::move(statusLine)), extraHeaders(std::move(extraHeaders))
        {}
        int status;
        QByteArray contentType;
        QByteArray body;
        // Replaces "HTTP/1.0 <status> ..." (an old radio server says "ICY 200 OK").
        QByteArray statusLine;
        QByteArray extraHeaders; // whole lines, each ending in CR LF
        // Sends the body as the start of an endless stream, then nothing more.
        bool stall = false;
    };

    TestHttpServer();
    bool listening() const { return m_server.isListening(); }
    quint16 port() const { return m_server.serverPort(); }
    QUrl url(const QString &pathAndQuery) const;

    // `path` without the query; a request whose path has no answer gets a 404 page.
    void serve(const QByteArray &path, Answer answer);
    int hits(const QByteArray &path) const { return m_hits.value(path); }

private:
    void onConnection();
    void onData(QTcpSocket *socket);

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
    QHash<QByteArray, int> m_hits;
};

// Accepts connections and never answers: a server that hangs.
class SilentServer : public QObject
{
    Q_OBJECT
public:
    SilentServer();
    quint16 port() const { return m_server.serverPort(); }
    int connections() const { return m_connections; }

private:
    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_sockets;
    int m_connections = 0;
};

// A loopback port on which nothing listens.
quint16 refusedPort();

} // namespace mavrel::test
