// Measures the catalogue server over loopback HTTP: a full update of a 100,000-channel catalogue,
// report throughput with 16 concurrent keep-alive clients, then the server executable with 1,000
// keep-alive clients (on SQLite and on PostgreSQL in a throw-away cluster) and its memory while
// 500 slow clients hold connections; before all that, the import and sync of a generated radio
// directory's station list. Prints one figure per line.

#include "pgcluster.h"
#include "rawclient.h"

#include "server/catalogue/cataloguepages.h"
#include "server/http/cataloguehttpserver.h"
#include "server/store/cataloguestore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QSemaphore>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <vector>

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
        // Every client here has the one address: the report limit would measure itself.
        CatalogueHttpServer server(pages, FrontLimits{.reportRate = 0});
        m_port = server.listen(QHostAddress::LocalHost, 0).valueOr(0);
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

QByteArray reportTarget(int client, int n, int channels = kChannels)
{
    static const char *const types[] = {"Rate", "FAVORITE", "ONLINE", "OFFLINE"};
    const int channel = (client * 7919 + n * 104729) % channels;
    return "/tv/getData.asp?strType=" + QByteArray(types[n % 4]) +
           "&strValue=" + QByteArray::number(1 + n % 5) + "&strItem=Channel%20" +
           QByteArray::number(channel);
}

bool seed(const QString &db, int channels)
{
    {
        auto store = CatalogueStore::open(db);
        if (!store || !store.value()->beginBatch()) {
            std::fprintf(stderr, "bench_server: cannot create the catalogue\n");
            return false;
        }
        for (int i = 0; i < channels; ++i) {
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
                return false;
            }
        }
        if (!store.value()->commitBatch())
            return false;
    }
    return true;
}

using Clock = std::chrono::steady_clock;

double msSince(Clock::time_point t)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// Client i's own loopback address, as many viewers have many addresses.
QByteArray clientAddress(int i)
{
    return "127.1." + QByteArray::number(i / 250) + '.' + QByteArray::number(i % 250 + 1);
}

struct Load
{
    int done = 0;
    int failed = 0;
    double seconds = 0;
    double p99Ms = 0;
};

// Keep-alive clients sending reports for the given time. perClientHz 0: each sends its next
// report as soon as the last is answered (the server's capacity); otherwise each sends at that
// rate, and a reply's latency counts from when its report was due.
Load reportLoad(quint16 port, int clients, double perClientHz, double seconds, int channels)
{
    struct Client
    {
        mavrel::testing::RawSocket socket;
        QByteArray buffer;
        int sent = 0;
        bool waiting = false;
        Clock::time_point due;
    };
    std::vector<Client> all(static_cast<size_t>(clients));
    Load load;
    const Clock::time_point start = Clock::now();
    for (int i = 0; i < clients; ++i) {
        all[size_t(i)].socket = mavrel::testing::RawSocket(port, clientAddress(i).constData());
        if (!all[size_t(i)].socket.ok()) {
            std::fprintf(stderr, "bench_server: cannot connect client %d\n", i);
            return load;
        }
        // Paced clients start spread over one period.
        all[size_t(i)].due =
            start + std::chrono::microseconds(
                        perClientHz > 0 ? qint64(1e6 / perClientHz * i / clients) : 0);
    }
    std::vector<double> latencies;
    std::vector<pollfd> fds(all.size());
    const auto end = start + std::chrono::microseconds(qint64(seconds * 1e6));
    const auto period = std::chrono::microseconds(perClientHz > 0 ? qint64(1e6 / perClientHz) : 0);
    for (;;) {
        const Clock::time_point now = Clock::now();
        bool anyWaiting = false;
        for (size_t i = 0; i < all.size(); ++i) {
            Client &c = all[i];
            if (!c.waiting && now < end && c.due <= now) {
                if (perClientHz <= 0)
                    c.due = now;
                c.socket.send("GET " + reportTarget(int(i), c.sent++, channels) +
                              " HTTP/1.1\r\nHost: bench\r\n\r\n");
                c.waiting = true;
            }
            anyWaiting = anyWaiting || c.waiting;
            fds[i] = pollfd{c.socket.fd(), short(c.waiting ? POLLIN : 0), 0};
        }
        if (!anyWaiting && now >= end)
            break;
        if (Clock::now() > end + std::chrono::seconds(30))
            break; // answers that never come
        if (::poll(fds.data(), nfds_t(fds.size()), 1) <= 0)
            continue;
        for (size_t i = 0; i < all.size(); ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            Client &c = all[i];
            bool eof = false;
            c.buffer += c.socket.readSome(0, &eof);
            const QList<mavrel::testing::Response> got = mavrel::testing::parseResponses(c.buffer);
            if (got.isEmpty() && !eof)
                continue;
            if (got.isEmpty() || got[0].status != 200)
                ++load.failed;
            else
                ++load.done;
            latencies.push_back(msSince(c.due));
            c.buffer.clear();
            c.waiting = false;
            c.due = perClientHz > 0 ? c.due + period : Clock::now();
            if (eof)
                c.socket = mavrel::testing::RawSocket(port, clientAddress(int(i)).constData());
        }
    }
    load.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        load.p99Ms = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
    }
    return load;
}

// CPU seconds (user and system) a process has used, its threads included; with children, also
// those of the processes it started (a database cluster's backends), summed as they are now.
double cpuSeconds(qint64 pid, bool children = false)
{
    auto ticks = [](qint64 p) -> qint64 {
        QFile stat(u"/proc/%1/stat"_s.arg(p));
        if (!stat.open(QIODevice::ReadOnly))
            return 0;
        const QByteArray text = stat.readAll();
        // Fields after the command name, which may hold spaces: state is field 3, utime 14.
        const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
        return f.size() > 12 ? f[11].toLongLong() + f[12].toLongLong() : 0;
    };
    qint64 total = ticks(pid);
    if (children) {
        const QStringList entries = QDir(u"/proc"_s).entryList(QDir::Dirs);
        for (const QString &e : entries) {
            bool number = false;
            const qint64 p = e.toLongLong(&number);
            if (!number)
                continue;
            QFile status(u"/proc/%1/status"_s.arg(p));
            if (!status.open(QIODevice::ReadOnly))
                continue;
            for (const QByteArray &line : status.readAll().split('\n')) {
                if (line.startsWith("PPid:") && line.mid(5).trimmed().toLongLong() == pid)
                    total += ticks(p);
            }
        }
    }
    return double(total) / double(::sysconf(_SC_CLK_TCK));
}

constexpr int kManyClients = 1000;
constexpr int kSlowClients = 500;
constexpr int kLoadChannels = 10000;

// The server executable against 1,000 keep-alive clients: at full speed, then at 5 reports a
// second each (5,000 a second in all). Figures carry the backend's name. The CPU time a report
// costs (the server's, and the database cluster's when databasePid names its postmaster) depends
// far less on what else the machine runs than the rate does.
bool manyClients(const char *backend, const QString &db, qint64 databasePid = 0)
{
    QProcess server;
    const quint16 port = mavrel::testing::startServer(server, QString::fromUtf8(CATALOGUE_SERVER),
                                                      {u"--db"_s, db, u"--report-rate"_s, u"0"_s});
    if (port == 0) {
        std::fprintf(stderr, "bench_server: %s server did not start: %s\n", backend,
                     server.readAllStandardError().constData());
        return false;
    }
    const double serverCpu = cpuSeconds(server.processId());
    const double databaseCpu = databasePid ? cpuSeconds(databasePid, true) : 0;
    const Load full = reportLoad(port, kManyClients, 0, 5, kLoadChannels);
    const double serverMs = (cpuSeconds(server.processId()) - serverCpu) * 1000;
    const double databaseMs =
        databasePid ? (cpuSeconds(databasePid, true) - databaseCpu) * 1000 : 0;
    std::printf("%s_clients %d\n", backend, kManyClients);
    std::printf("%s_reports_per_s %.0f\n", backend, full.done / full.seconds);
    std::printf("%s_reports_failed %d\n", backend, full.failed);
    std::printf("%s_p99_ms_at_full_speed %.1f\n", backend, full.p99Ms);
    if (full.done > 0) {
        std::printf("%s_server_cpu_us_per_report %.0f\n", backend, serverMs * 1000 / full.done);
        if (databasePid)
            std::printf("%s_database_cpu_us_per_report %.0f\n", backend,
                        databaseMs * 1000 / full.done);
    }
    const Load paced = reportLoad(port, kManyClients, 5, 5, kLoadChannels);
    std::printf("%s_paced_offered_per_s %d\n", backend, kManyClients * 5);
    std::printf("%s_paced_reports_per_s %.0f\n", backend, paced.done / paced.seconds);
    std::printf("%s_paced_failed %d\n", backend, paced.failed);
    std::printf("%s_p99_ms %.1f\n", backend, paced.p99Ms);
    std::printf("%s_rss_mb_after_clients %.1f\n", backend,
                double(mavrel::testing::residentKb(server.processId())) / 1024);

    server.terminate();
    server.waitForFinished(10000);
    if (full.failed || paced.failed)
        std::fprintf(stderr, "bench_server: %s server said: %s\n", backend,
                     server.readAllStandardError().right(3000).constData());
    return full.failed == 0 && paced.failed == 0 && full.done > 0;
}

// Resident memory of the server while 500 clients each send a request a byte a second.
bool slowClients(const QString &db)
{
    QProcess server;
    const quint16 port =
        mavrel::testing::startServer(server, QString::fromUtf8(CATALOGUE_SERVER), {u"--db"_s, db});
    if (port == 0)
        return false;
    const double before = double(mavrel::testing::residentKb(server.processId())) / 1024;
    const QByteArray request = "GET /tv/getData.asp?strType=ONLINE&strValue=&strItem=Channel%201"
                               " HTTP/1.1\r\nHost: slow\r\n\r\n";
    std::vector<mavrel::testing::RawSocket> slow;
    for (int i = 0; i < kSlowClients; ++i)
        slow.emplace_back(port, clientAddress(i).constData());
    for (int second = 0; second < 5; ++second) {
        for (auto &s : slow)
            s.send(request.mid(second, 1));
        QThread::msleep(1000);
    }
    qint64 open = 0;
    for (auto &s : slow)
        open += s.ok() && !s.readable(0);
    const double during = double(mavrel::testing::residentKb(server.processId())) / 1024;
    std::printf("slow_clients %d\n", kSlowClients);
    std::printf("slow_clients_still_connected %lld\n", open);
    std::printf("rss_mb_idle %.1f\n", before);
    std::printf("rss_mb %.1f\n", during);
    server.terminate();
    server.waitForFinished(10000);
    return open == kSlowClients;
}

} // namespace

// A radio directory's station list of n stations (about 1 KB each, as the directory's are);
// with changed, every hundredth one is renamed or moved to a new address (its old one vanishes).
QByteArray stationList(int n, bool changed)
{
    QByteArray out = "[";
    out.reserve(qsizetype(n) * 420);
    for (int i = 0; i < n; ++i) {
        const bool touched = changed && i % 100 == 0;
        const int kind = (i / 100) % 4;
        QByteArray name = "Station " + QByteArray::number(i);
        QByteArray url = "http://radio" + QByteArray::number(i % 997) + ".invalid/stream/" +
                         QByteArray::number(i);
        if (touched && kind < 2)
            name += " (new name)";
        if (touched && kind >= 2)
            url += "/moved";
        if (i > 0)
            out += ",\n";
        out += "{\"changeuuid\":\"0f0e0d0c-0b0a-0908-0706-" +
               QByteArray::number(100000000000LL + i) + "\",\"name\":\"" + name + "\",\"url\":\"" +
               url + "\",\"url_resolved\":\"" + url +
               "\",\"homepage\":\"http://radio.invalid/\",\"favicon\":\"" + QByteArray(600, 'f') +
               "\",\"tags\":\"pop,rock,"
               "news\",\"country\":\"Somewhere\",\"countrycode\":\"DE\",\"state\":\"\","
               "\"language\":\"german,english\",\"votes\":" +
               QByteArray::number(i % 5000) +
               ",\"codec\":\"MP3\",\"bitrate\":128,"
               "\"lastcheckok\":" +
               QByteArray(i % 50 == 0 ? "0" : "1") +
               ",\"clickcount\":" + QByteArray::number(i % 300) + "}";
    }
    return out + "]\n";
}

// Imports a generated 50,000-station list with the server executable, then syncs it with 1%
// changed; prints the times, CPU seconds and peak resident memory of the server process.
bool directoryImport(const QTemporaryDir &dir, const QString &db, const char *backend)
{
    constexpr int kStations = 50000;
    const QString list = dir.filePath(u"stations.json"_s);
    std::printf("directory_backend %s\n", backend);
    auto write = [&](bool changed) {
        QFile f(list);
        return f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
               f.write(stationList(kStations, changed)) > 0;
    };
    // The server process's own figures: its CPU seconds (which the other engineers' load
    // disturbs less than the wall clock) and its peak resident memory. The peak is read from
    // /proc while it runs: a child's own maximum, as the kernel keeps it, starts from its parent's
    // (this benchmark holds the 50 MB list), and the children's together hold the PostgreSQL
    // cluster's start.
    struct Figures
    {
        double seconds = 0;
        double cpu = 0;
        double rssMb = 0;
        QByteArray out;
    };
    auto run = [&](const char *command, Figures &f) {
        const QByteArray exe = CATALOGUE_SERVER, dbArg = db.toUtf8(), path = list.toUtf8();
        const QByteArray outPath = dir.filePath(u"server.out"_s).toUtf8();
        char *args[] = {const_cast<char *>(exe.constData()),  const_cast<char *>(command),
                        const_cast<char *>("--db"),           const_cast<char *>(dbArg.constData()),
                        const_cast<char *>(path.constData()), nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
        QElapsedTimer t;
        t.start();
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, exe.constData(), &actions, nullptr, args, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (spawned != 0)
            return false;
        int status = 0;
        rusage u{};
        pid_t done = 0;
        qint64 peakKb = 0;
        while ((done = wait4(pid, &status, WNOHANG, &u)) == 0 && t.elapsed() < 120000) {
            peakKb = std::max(peakKb, mavrel::testing::residentKb(pid, "VmHWM:"));
            QThread::msleep(2);
        }
        if (done == 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return false;
        }
        f.seconds = double(t.nsecsElapsed()) / 1e9;
        f.cpu = double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
                double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
        f.rssMb = double(peakKb) / 1024;
        QFile out(QString::fromUtf8(outPath));
        f.out = out.open(QIODevice::ReadOnly) ? out.readAll().trimmed() : QByteArray();
        return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    };
    Figures import, sync;
    if (!write(false) || !run("import", import))
        return false;
    std::printf("directory_stations %d\n", kStations);
    std::printf("directory_json_mb %.1f\n", double(QFileInfo(list).size()) / 1e6);
    std::printf("directory_import_s %.2f\n", import.seconds);
    std::printf("directory_import_cpu_s %.2f\n", import.cpu);
    std::printf("directory_import_rss_mb %.1f\n", import.rssMb);
    std::printf("directory_import_says %s\n", import.out.constData());
    if (!write(true) || !run("sync", sync))
        return false;
    std::printf("directory_sync_1pct_s %.2f\n", sync.seconds);
    std::printf("directory_sync_1pct_cpu_s %.2f\n", sync.cpu);
    std::printf("directory_sync_1pct_rss_mb %.1f\n", sync.rssMb);
    std::printf("directory_sync_says %s\n", sync.out.constData());
    std::fflush(stdout);
    return true;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    // "bench_server directories" measures the directory import alone.
    {
        mavrel::testing::PgCluster cluster;
        if (!directoryImport(dir, dir.filePath(u"directory.db"_s), "sqlite") || !cluster.ok() ||
            !directoryImport(dir, cluster.newDatabase(), "postgresql"))
            return 1;
    }
    if (argc > 1 && qstrcmp(argv[1], "directories") == 0)
        return 0;
    const QString db = dir.filePath(u"catalogue.db"_s);
    if (!seed(db, kChannels))
        return 1;

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
    bool ok = done == kClients * kReportsPerClient && failed == 0;

    ok = manyClients("sqlite", db) && ok;
    ok = slowClients(db) && ok;
    mavrel::testing::PgCluster cluster;
    const QString pg = cluster.ok() ? cluster.newDatabase() : QString();
    if (pg.isEmpty() || !seed(pg, kLoadChannels)) {
        std::fprintf(stderr, "bench_server: no PostgreSQL cluster: %s\n",
                     qPrintable(cluster.error()));
        return 1;
    }
    ok = manyClients("postgresql", pg, cluster.postmasterPid()) && ok;
    return ok ? 0 : 1;
}
