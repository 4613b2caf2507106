#pragma once

// Plain sockets for driving the server the way hostile or odd clients do: many at once, slow,
// pipelined, from chosen loopback addresses. Blocking calls with time-outs.

#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QList>
#include <QProcess>
#include <QStringList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace mavrel::testing {

class RawSocket
{
public:
    RawSocket() = default;
    RawSocket(quint16 port, const char *from = nullptr)
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_fd < 0)
            return;
        if (from) {
            sockaddr_in local{};
            local.sin_family = AF_INET;
            inet_pton(AF_INET, from, &local.sin_addr);
            ::bind(m_fd, reinterpret_cast<sockaddr *>(&local), sizeof local);
        }
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(m_fd, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
            ::close(m_fd);
            m_fd = -1;
        }
    }
    RawSocket(RawSocket &&o) noexcept : m_fd(o.m_fd) { o.m_fd = -1; }
    RawSocket &operator=(RawSocket &&o) noexcept
    {
        std::swap(m_fd, o.m_fd);
        return *this;
    }
    ~RawSocket()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool ok() const { return m_fd >= 0; }
    int fd() const { return m_fd; }

    bool send(const QByteArray &data)
    {
        qsizetype at = 0;
        while (at < data.size()) {
            const ssize_t n =
                ::send(m_fd, data.constData() + at, size_t(data.size() - at), MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            at += n;
        }
        return true;
    }
    bool readable(int timeoutMs) const
    {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, timeoutMs) > 0;
    }
    // Everything that arrives until the peer closes (eof) or stays silent for quietMs.
    QByteArray read(int quietMs, bool *eof = nullptr)
    {
        QByteArray out;
        char buf[65536];
        if (eof)
            *eof = false;
        while (readable(quietMs)) {
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) {
                if (eof)
                    *eof = true;
                break;
            }
            out.append(buf, n);
        }
        return out;
    }
    // What arrives within timeoutMs, and whatever follows it at once.
    QByteArray readSome(int timeoutMs, bool *eof)
    {
        QByteArray out;
        char buf[65536];
        *eof = false;
        for (int wait = timeoutMs; readable(wait); wait = 0) {
            const ssize_t n = ::recv(m_fd, buf, sizeof buf, 0);
            if (n <= 0) {
                *eof = true;
                break;
            }
            out.append(buf, n);
        }
        return out;
    }
    // True when the server closed the connection within timeoutMs (data before it is dropped).
    bool closedWithin(int timeoutMs)
    {
        QElapsedTimer t;
        t.start();
        char buf[4096];
        while (t.elapsed() < timeoutMs) {
            if (!readable(int(timeoutMs - t.elapsed())))
                return false;
            if (::recv(m_fd, buf, sizeof buf, 0) <= 0)
                return true;
        }
        return false;
    }

private:
    int m_fd = -1;
};

struct Response
{
    int status = 0;
    QByteArray head;
    QByteArray body;
};

// Splits what arrived into complete responses; bodies by Content-Length, else to the end. The
// first headOnly responses answer HEAD and have no body.
inline QList<Response> parseResponses(QByteArray data, int headOnly = 0)
{
    QList<Response> out;
    while (data.startsWith("HTTP/")) {
        const qsizetype end = data.indexOf("\r\n\r\n");
        if (end < 0)
            break;
        Response r;
        r.head = data.left(end);
        r.status = r.head.mid(9, 3).toInt();
        qint64 length = -1;
        for (const QByteArray &line : r.head.split('\n')) {
            if (line.toLower().startsWith("content-length:"))
                length = line.mid(15).trimmed().toLongLong();
        }
        const qint64 take =
            out.size() < headOnly ? 0 : (length < 0 ? data.size() - end - 4 : length);
        if (data.size() - end - 4 < take)
            break;
        r.body = data.mid(end + 4, take);
        data.remove(0, end + 4 + take);
        out.append(r);
    }
    return out;
}

// Reads until count complete responses have arrived, the peer closes, or timeoutMs pass.
inline QList<Response> readResponses(RawSocket &s, int count, int timeoutMs = 2000,
                                     int headOnly = 0)
{
    QElapsedTimer t;
    t.start();
    QByteArray data;
    QList<Response> out;
    while ((out = parseResponses(data, headOnly)).size() < count && t.elapsed() < timeoutMs) {
        bool eof = false;
        data += s.readSome(int(std::max<qint64>(1, timeoutMs - t.elapsed())), &eof);
        if (eof)
            return parseResponses(data, headOnly);
    }
    return out;
}

// A figure of /proc/PID/status: the resident memory now, or with "VmHWM:" its peak.
inline qint64 residentKb(qint64 pid, QByteArrayView field = "VmRSS:")
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(field.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

// Starts "catalogue-server --port 0 ..." and reads the port from its first line; 0 on failure.
inline quint16 startServer(QProcess &p, const QString &program, const QStringList &args)
{
    p.start(program, QStringList{QStringLiteral("--port"), QStringLiteral("0")} + args);
    QByteArray line;
    while (!line.contains('\n') && p.waitForReadyRead(10000))
        line += p.readAllStandardOutput();
    const QByteArray prefix = "listening on http://127.0.0.1:";
    if (!line.startsWith(prefix)) {
        // What the server said, for the failure message: why it did not come up.
        p.waitForFinished(1000);
        qWarning("server did not come up (state %d, exit %d): stdout '%s' stderr '%s'",
                 int(p.state()), p.exitCode(), line.constData(),
                 p.readAllStandardError().constData());
        return 0;
    }
    return quint16(line.mid(prefix.size()).trimmed().toUInt());
}

} // namespace mavrel::testing
