#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

namespace mavrel::testing {

struct HttpResult
{
    int status = 0; // 0: no answer
    QByteArray head;
    QByteArray body;
};

// A GET with the request target sent exactly as given (no URL object re-encodes it), answered
// by a server that may run in this very thread: the wait runs the event loop. Stops after
// maxBody bytes of body when maxBody >= 0 (for endless streams).
inline HttpResult httpGet(quint16 port, const QByteArray &target, int timeoutMs = 10000,
                          qint64 maxBody = -1)
{
    HttpResult result;
    QTcpSocket socket;
    QByteArray data;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    auto complete = [&]() {
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0)
            return false;
        const QByteArray head = data.left(end);
        const qsizetype at = head.toLower().indexOf("content-length:");
        if (at >= 0) {
            const qsizetype eol = head.indexOf("\r\n", at);
            const qint64 length =
                head.mid(at + 15, eol < 0 ? -1 : eol - at - 15).trimmed().toLongLong();
            return data.size() - end - 4 >= length;
        }
        return maxBody >= 0 && data.size() - end - 4 >= maxBody;
    };
    QObject::connect(&socket, &QTcpSocket::readyRead, &loop, [&]() {
        data += socket.readAll();
        if (complete())
            loop.quit();
    });
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    QObject::connect(&socket, &QTcpSocket::connected, &loop, [&]() {
        socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
    });
    socket.connectToHost(QHostAddress::LocalHost, port);
    timer.start(timeoutMs);
    loop.exec();
    data += socket.readAll();
    const qsizetype end = data.indexOf("\r\n\r\n");
    if (end < 0)
        return result;
    result.head = data.left(end);
    result.body = data.mid(end + 4);
    const QList<QByteArray> statusLine = result.head.left(result.head.indexOf("\r\n")).split(' ');
    if (statusLine.size() >= 2)
        result.status = statusLine[1].toInt();
    return result;
}

// Percent-encodes every byte but letters and digits, as the viewer sends query values.
inline QByteArray encodeAll(const QByteArray &bytes)
{
    return bytes.toPercentEncoding("", "-._~");
}

} // namespace mavrel::testing
