#include "testhttpserver.h"

using namespace Qt::StringLiterals;

namespace mavrel::test {

TestHttpServer::TestHttpServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, &TestHttpServer::onConnection);
    m_server.listen(QHostAddress::LocalHost, 0);
}

QUrl TestHttpServer::url(const QString &pathAndQuery) const
{
    return QUrl(u"http://127.0.0.1:%1%2"_s.arg(port()).arg(pathAndQuery));
}

void TestHttpServer::serve(const QByteArray &path, Answer answer)
{
    m_answers.insert(path, std::move(answer));
}

void TestHttpServer::onConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void TestHttpServer::onData(QTcpSocket *socket)
{
    if (socket->property("answered").toBool())
        return;
    QByteArray request = socket->property("request").toByteArray() + socket->readAll();
    socket->setProperty("request", request);
    if (!request.contains("\r\n\r\n"))
        return;
    socket->setProperty("answered", true);

    const QList<QByteArray> requestLine = request.left(request.indexOf("\r\n")).split(' ');
    QByteArray path = requestLine.value(1);
    if (const qsizetype query = path.indexOf('?'); query >= 0)
        path.truncate(query);
    ++m_hits[path];
    const Answer answer =
        m_answers.value(path, Answer{404, "text/html", "<html><body>Not found</body></html>"});

    QByteArray response = answer.statusLine.isEmpty()
                              ? "HTTP/1.0 " + QByteArray::number(answer.status) +
                                    (answer.status < 400 ? " OK\r\n" : " Error\r\n")
                              : answer.statusLine + "\r\n";
    if (!answer.contentType.isEmpty())
        response += "Content-Type: " + answer.contentType + "\r\n";
    if (!answer.stall)
        response += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    response += answer.extraHeaders;
    response += "Connection: close\r\n\r\n";
    const bool head = requestLine.value(0) == "HEAD";
    socket->write(response + (head ? QByteArray() : answer.body));
    if (!answer.stall)
        socket->disconnectFromHost();
}

SilentServer::SilentServer()
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            ++m_connections;
            m_sockets.append(socket); // held open, never read
        }
    });
    m_server.listen(QHostAddress::LocalHost, 0);
}

quint16 refusedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

} // namespace mavrel::test
