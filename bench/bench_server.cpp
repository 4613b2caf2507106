// Measures the catalogue server over loopback HTTP: a full update of a 100,000-channel catalogue,
// and report throughput with 16 concurrent keep-alive clients. Prints one figure per line.

#include "server/httpserver.h"
#include "server/pages.h"
#include "server/store.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSemaphore>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>

using namespace Qt::StringLiterals;
using namespace mavrel::server;

namespace {

constexpr int kChannels = 100000;
constexpr int kClients = 16;
constexpr int kReportsPerClient = 1500;

class ServerThread : public QThread
{
public:
    explicit ServerThread(QString db) : m_db(std::move(db)) {}
    quint16 port() const { return m_port.load(); }
    QSemaphore ready;

protected:
    void run() override
    {
        auto store = CatalogueStore::open(m_db);
        if (!store) {
            std::fprintf(stderr, "bench_server: %s\n", qPrintable(store.error().message));
            ready.release();
            return;
        }
        CataloguePages pages(*store.value());
        CatalogueHttpServer server(pages);
        m_port = server.listen(QHostAddress::LocalHost, 0);
        ready.release();
        exec();
    }

private:
    QString m_db;
    std::atomic<quint16> m_port{0};
};

// Length of a complete response at the start of buffer, or -1.
qsizetype responseLength(const QByteArray &buffer)
{
    const qsizetype end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return -1;
    const QByteArray head = buffer.left(end).toLower();
    const qsizetype at = head.indexOf("content-length:");
    if (at < 0)
        return -1;
    const qsizetype eol = head.indexOf("\r\n", at);
    const qint64 length = head.mid(at + 15, eol < 0 ? -1 : eol - at - 15).trimmed().toLongLong();
    return buffer.size() >= end + 4 + length ? end + 4 + length : -1;
}

QByteArray fetch(QTcpSocket &socket, const QByteArray &target)
{
    socket.write("GET " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
    QByteArray buffer;
    while (responseLength(buffer) < 0 && socket.waitForReadyRead(30000))
        buffer += socket.readAll();
    const qsizetype length = responseLength(buffer);
    return length < 0 ? QByteArray() : buffer.mid(buffer.indexOf("\r\n\r\n") + 4);
}

struct Client
{
    QTcpSocket socket;
    QByteArray buffer;
    int sent = 0;
    int done = 0;
    int failed = 0;
};

QByteArray reportTarget(int client, int n)
{
    static const char *const types[] = {"Rate", "FAVORITE", "ONLINE", "OFFLINE"};
    const int channel = (client * 7919 + n * 104729) % kChannels;
    return "/tv/getData.asp?strType=" + QByteArray(types[n % 4]) +
           "&strValue=" + QByteArray::number(1 + n % 5) + "&strItem=Channel%20" +
           QByteArray::number(channel);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString db = dir.filePath(u"catalogue.db"_s);
    {
        auto store = CatalogueStore::open(db);
        if (!store || !store.value()->beginBatch()) {
            std::fprintf(stderr, "bench_server: cannot create the catalogue\n");
            return 1;
        }
        for (int i = 0; i < kChannels; ++i) {
            NewChannel c;
            c.name = "Channel " + QByteArray::number(i);
            c.kind = i % 3 ? "TV" : "Radio";
            c.url = "http://stream" + QByteArray::number(i % 977) + ".example.com:8080/live/" +
                    QByteArray::number(i) + ".asx";
            c.lang = i % 2 ? "English/News" : "Spanish";
            c.favorites = i % 500;
            c.ratingSum = 1 + i % 5;
            c.ratingCount = 1;
            if (auto r = store.value()->addChannel(c);
                !r || r.value().outcome != AddOutcome::Added) {
                std::fprintf(stderr, "bench_server: cannot add channel %d\n", i);
                return 1;
            }
        }
        if (!store.value()->commitBatch())
            return 1;
    }

    ServerThread server(db);
    server.start();
    server.ready.acquire();
    if (server.port() == 0)
        return 1;

    // Full update since the first date a viewer ever asks from.
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, server.port());
    if (!socket.waitForConnected(5000))
        return 1;
    QList<double> times;
    qsizetype bytes = 0;
    qsizetype lines = 0;
    for (int run = 0; run < 5; ++run) {
        QElapsedTimer t;
        t.start();
        const QByteArray body = fetch(socket, "/ostrel/getChannels.asp?date=3/16/2006");
        times.append(double(t.nsecsElapsed()) / 1e6);
        bytes = body.size();
        lines = body.count("<BR>");
    }
    socket.disconnectFromHost();
    if (lines != kChannels) {
        std::fprintf(stderr, "bench_server: full update gave %lld lines\n", qint64(lines));
        return 1;
    }
    std::sort(times.begin(), times.end());
    std::printf("full_update_channels %d\n", kChannels);
    std::printf("full_update_bytes %lld\n", qint64(bytes));
    std::printf("full_update_median_ms %.1f\n", times[times.size() / 2]);
    std::printf("full_update_best_ms %.1f\n", times.front());

    // Reports from 16 keep-alive clients, each sending its next report when the last is answered.
    QList<Client *> clients;
    QEventLoop loop;
    int finished = 0;
    QElapsedTimer clock;
    for (int i = 0; i < kClients; ++i) {
        auto *c = new Client;
        clients.append(c);
        auto next = [c, i]() {
            c->socket.write("GET " + reportTarget(i, c->sent++) +
                            " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
        };
        QObject::connect(&c->socket, &QTcpSocket::connected, &c->socket, next);
        QObject::connect(&c->socket, &QTcpSocket::readyRead, &c->socket, [&, c, next]() {
            c->buffer += c->socket.readAll();
            for (qsizetype n; (n = responseLength(c->buffer)) >= 0;) {
                if (!c->buffer.startsWith("HTTP/1.1 200"))
                    ++c->failed;
                c->buffer.remove(0, n);
                if (++c->done == kReportsPerClient) {
                    if (++finished == kClients)
                        loop.quit();
                    return;
                }
                next();
            }
        });
    }
    clock.start();
    for (Client *c : clients)
        c->socket.connectToHost(QHostAddress::LocalHost, server.port());
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    int done = 0, failed = 0;
    for (Client *c : clients) {
        done += c->done;
        failed += c->failed;
        delete c;
    }
    std::printf("reports_clients %d\n", kClients);
    std::printf("reports_sent %d\n", done);
    std::printf("reports_failed %d\n", failed);
    std::printf("reports_per_s %.0f\n", done / seconds);

    server.quit();
    server.wait();
    return done == kClients * kReportsPerClient && failed == 0 ? 0 : 1;
}
