#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QNetworkAccessManager;
class QNetworkReply;
class QTimer;

namespace mavrel {

// What a catalogue server address gave when asked for its date.
struct ServerProbeResult
{
    enum class Kind
    {
        Answered,     // detail: the server's date text
        Refused,      // the connection was refused
        HostNotFound, // the host name has no address
        TimedOut,     // no whole answer within the time-out
        Unreachable,  // any other network failure; detail: the network's own words
        HttpStatus,   // it answered with a status other than 200 (httpStatus)
        NotADate,     // it answered 200, but with something else than a date
    };
    Kind kind = Kind::Unreachable;
    int httpStatus = 0;
    QString detail;
};

// Asks one address for /ostrel/currentdate.asp without blocking: the answer comes through
// finished(), once per start(), from the event loop. A new start() drops the one under way.
class ServerProbe : public QObject
{
    Q_OBJECT
public:
    static constexpr int kDefaultTimeoutMs = 10000;

    explicit ServerProbe(QObject *parent = nullptr);
    ~ServerProbe() override;

    void setTimeout(int milliseconds) { m_timeoutMs = milliseconds; }
    int timeout() const { return m_timeoutMs; }
    // `address` as catalogueServerAddress() gives it (no trailing slash).
    void start(const QByteArray &address);
    bool running() const { return m_reply != nullptr; }

signals:
    void finished(const mavrel::ServerProbeResult &result);

private:
    void replyFinished();
    void timedOut();
    void finish(const ServerProbeResult &result);

    QNetworkAccessManager *m_manager;
    QTimer *m_timer;
    QNetworkReply *m_reply = nullptr; // the request under way
    QByteArray m_body;
    int m_timeoutMs = kDefaultTimeoutMs;
};

} // namespace mavrel
