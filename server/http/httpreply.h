#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <utility>

namespace mavrel::server {

class PendingReply; // server/catalogue/cataloguepages.h

// A body made while it is sent, of no length known beforehand (an endless stream).
class HttpStream
{
public:
    virtual ~HttpStream() = default;
    // Writes up to max bytes to buf and returns how many; 0 when the next bytes are not due
    // yet (the front parks the connection and asks again within about 100 ms); -1 at the end.
    virtual qint64 read(char *buf, qint64 max) = 0;
};

// What every page answers, whoever made it: a body, a byte range of a file, or a stream.
struct HttpReply
{
    int status = 200;
    QByteArray contentType = QByteArrayLiteral("text/plain");
    QByteArray body;
    QString filePath; // when set: send [fileOffset, fileOffset + fileLength) of it, no body
    qint64 fileOffset = 0;
    qint64 fileLength = 0;
    QList<std::pair<QByteArray, QByteArray>> headers; // after Content-Type, in this order
    // The body compressed (gzip), for clients that accept it; empty: none.
    QByteArray gzipBody;
    // When set: the body instead, without a length, until it ends or the client hangs up; the
    // connection closes after it, and a shutdown does not wait for it.
    std::shared_ptr<HttpStream> stream;
    // When set: the reply is not ready; the front parks the request until it is.
    std::shared_ptr<PendingReply> pending;
};

inline HttpReply textReply(int status, QByteArray body)
{
    HttpReply r;
    r.status = status;
    r.body = std::move(body);
    return r;
}

} // namespace mavrel::server
