// The HTTP front against clients that are slow, idle, oversized or odd, over loopback, with the
// real executable.

#include "pgcluster.h"
#include "rawclient.h"

#include "server/store/cataloguestore.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using namespace mavrel::testing;

namespace mavrel::server {
namespace {

const QByteArray kDateGet = "GET /ostrel/currentdate.asp HTTP/1.1\r\nHost: x\r\n\r\n";

class FrontTest : public ::testing::Test
{
protected:
    void serve(const QStringList &extra = {})
    {
        port = startServer(process, QString::fromUtf8(CATALOGUE_SERVER_EXE),
                           QStringList{u"--db"_s, db()} + extra);
        ASSERT_NE(port, 0) << process.readAllStandardError().data();
    }
    void TearDown() override
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished();
        }
    }
    QString db()
    {
        if (database.isEmpty())
            database = testDatabase(dir);
        return database;
    }
    // One request on a connection of its own, answered within timeoutMs.
    Response ask(const QByteArray &request, int timeoutMs = 2000, const char *from = nullptr)
    {
        RawSocket s(port, from);
        if (!s.send(request))
            return {};
        return readResponses(s, 1, timeoutMs).value(0);
    }

    QTemporaryDir dir;
    QString database;
    QProcess process;
    quint16 port = 0;
};

TEST_F(FrontTest, OversizedRequestsAreRefusedWithBoundedMemory)
{
    serve();
    ASSERT_EQ(ask(kDateGet).status, 200);
    const qint64 before = residentKb(process.processId());

    // Header lines without an end, from many connections: each is refused once the request
    // outgrows its memory, long before 1 MB has arrived.
    std::vector<RawSocket> floods;
    for (int i = 0; i < 40; ++i) {
        floods.emplace_back(port);
        ASSERT_TRUE(floods.back().send("GET /ostrel/date.asp HTTP/1.1\r\nX-Long: "));
    }
    const QByteArray chunk(16 * 1024, 'a');
    int refused = 0;
    for (RawSocket &s : floods) {
        QByteArray answer;
        for (int sent = 0; sent < 1024 * 1024 && answer.isEmpty(); sent += chunk.size()) {
            if (!s.send(chunk))
                break;
            if (s.readable(0))
                answer = s.read(200);
        }
        if (answer.isEmpty())
            answer = s.read(1000);
        refused += answer.startsWith("HTTP/1.1 431");
    }
    EXPECT_EQ(refused, 40);
    const qint64 after = residentKb(process.processId());
    EXPECT_LT(after - before, 16 * 1024) << before << " kB before, " << after << " kB after";

    // A complete request whose headers are too long, and one whose line is.
    const Response longHeaders =
        ask("GET /ostrel/date.asp HTTP/1.1\r\nX-Long: " + QByteArray(30000, 'b') + "\r\n\r\n");
    EXPECT_EQ(longHeaders.status, 431);
    EXPECT_TRUE(longHeaders.head.contains("Connection: close"));
    EXPECT_EQ(
        ask("GET /ostrel/date.asp?" + QByteArray(1024 * 1024, 'c') + " HTTP/1.1\r\n\r\n").status,
        414);
    EXPECT_EQ(ask(kDateGet).status, 200);
}

TEST_F(FrontTest, IdleConnectionsCloseAfterTheTimeOutWhileTheServerAnswers)
{
    serve({u"--idle-timeout"_s, u"4"_s, u"--per-address"_s, u"0"_s});
    // Silent connections, half-sent requests and idle keep-alive connections.
    std::vector<RawSocket> idle;
    for (int i = 0; i < 2000; ++i) {
        idle.emplace_back(port);
        ASSERT_TRUE(idle.back().ok()) << i;
        if (i % 4 == 1)
            idle.back().send("GET /ostrel/currentdate.asp HT");
        if (i % 4 == 2)
            idle.back().send(kDateGet);
    }
    for (int i = 2; i < 2000; i += 4)
        ASSERT_EQ(readResponses(idle[size_t(i)], 1).value(0).status, 200) << i;

    QElapsedTimer t;
    t.start();
    EXPECT_EQ(ask(kDateGet, 1000).status, 200);
    EXPECT_LT(t.elapsed(), 1000);
    int closedEarly = 0;
    for (RawSocket &s : idle)
        closedEarly += s.readable(0);
    EXPECT_EQ(closedEarly, 0);

    int closed = 0;
    for (RawSocket &s : idle)
        closed += s.closedWithin(8000);
    EXPECT_EQ(closed, 2000);
    EXPECT_EQ(ask(kDateGet).status, 200);
}

TEST_F(FrontTest, ConnectionsBeyondThePerAddressLimitAreClosed)
{
    serve({u"--per-address"_s, u"8"_s});
    std::vector<RawSocket> held;
    for (int i = 0; i < 8; ++i)
        held.emplace_back(port, "127.0.0.1");
    RawSocket extra(port, "127.0.0.1");
    extra.send(kDateGet);
    EXPECT_TRUE(extra.closedWithin(2000));
    // Another address has a quota of its own, and a held connection still works.
    EXPECT_EQ(ask(kDateGet, 2000, "127.0.0.2").status, 200);
    ASSERT_TRUE(held[0].send(kDateGet));
    EXPECT_EQ(readResponses(held[0], 1).value(0).status, 200);
}

TEST_F(FrontTest, SlowClientsAreAnsweredWithoutHoldingUpOthers)
{
    serve({u"--idle-timeout"_s, u"2"_s});
    const QByteArray request = "GET /ostrel/date.asp HTTP/1.1\r\nHost: slow\r\n\r\n";
    std::vector<RawSocket> slow;
    for (int i = 0; i < 20; ++i)
        slow.emplace_back(port);
    qint64 worstMs = 0;
    for (int byte = 0; byte < 5; ++byte) {
        QElapsedTimer second;
        second.start();
        for (RawSocket &s : slow)
            ASSERT_TRUE(s.send(request.mid(byte, 1)));
        while (second.elapsed() < 1000) {
            QElapsedTimer t;
            t.start();
            EXPECT_EQ(ask(kDateGet).status, 200);
            worstMs = std::max(worstMs, t.elapsed());
            QThread::msleep(50);
        }
    }
    EXPECT_LT(worstMs, 500);
    for (RawSocket &s : slow) {
        ASSERT_TRUE(s.send(request.mid(5)));
        EXPECT_EQ(readResponses(s, 1).value(0).status, 200);
    }
}

TEST_F(FrontTest, HeadCloseHttp10AndPipelining)
{
    serve();
    const QByteArray report = "GET /tv/getData.asp?strType=ONLINE&strValue=&strItem=X HTTP/1.1\r\n"
                              "Host: x\r\n\r\n";
    const struct
    {
        const char *what;
        QByteArray request;
        QList<int> statuses;
        bool closes;
    } cases[] = {
        {"keep-alive", kDateGet + kDateGet, {200, 200}, false},
        {"head, then get",
         "HEAD /ostrel/currentdate.asp HTTP/1.1\r\nHost: x\r\n\r\n" + kDateGet,
         {200, 200},
         false},
        {"connection close",
         "GET /ostrel/date.asp HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
         {200},
         true},
        {"http/1.0", "GET /ostrel/currentdate.asp HTTP/1.0\r\n\r\n", {200}, true},
        {"http/1.0 keep-alive",
         "GET /ostrel/currentdate.asp HTTP/1.0\r\nConnection: keep-alive\r\n\r\n",
         {200},
         false},
        {"pipelined",
         kDateGet + "GET /nowhere HTTP/1.1\r\nHost: x\r\n\r\n" + report,
         {200, 404, 200},
         false},
        {"post",
         "POST /tv/getData.asp HTTP/1.1\r\nHost: x\r\nContent-Length: 3\r\n\r\nabc" + kDateGet,
         {405, 200},
         false},
        {"head of a stream", "HEAD /media/radio.wav HTTP/1.1\r\nHost: x\r\n\r\n", {200}, true},
    };
    for (const auto &c : cases) {
        RawSocket s(port);
        ASSERT_TRUE(s.send(c.request)) << c.what;
        bool eof = false;
        const QByteArray data = s.read(400, &eof);
        const QList<Response> responses = parseResponses(data, c.request.startsWith("HEAD"));
        QList<int> statuses;
        qsizetype parsed = 0;
        for (const Response &r : responses) {
            statuses.append(r.status);
            parsed += r.head.size() + 4 + r.body.size();
        }
        EXPECT_EQ(parsed, data.size()) << c.what << ": stray bytes after the replies";
        EXPECT_EQ(statuses, c.statuses) << c.what << "\n" << data.left(600).data();
        EXPECT_EQ(eof, c.closes) << c.what;
    }

    // HEAD keeps the length of the body it leaves out.
    RawSocket s(port);
    s.send("HEAD /ostrel/currentdate.asp HTTP/1.1\r\nHost: x\r\n\r\n");
    const Response head = readResponses(s, 1, 2000, 1).value(0);
    const Response get = ask(kDateGet);
    ASSERT_FALSE(get.body.isEmpty());
    EXPECT_TRUE(head.head.contains("Content-Length: " + QByteArray::number(get.body.size())))
        << head.head.data();
}

TEST_F(FrontTest, QueryWhoseOnlyEscapeIsPercentReachesThePage)
{
    serve();
    const Response submitted = ask("GET /ostrel/submit.asp?name=100%25&type=Radio&lang=English&"
                                   "rating=0&url=%EA%F6%F6%F2 HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(submitted.body.startsWith("SUCCESS|")) << submitted.body.data();
    const Response report = ask("GET /tv/getData.asp?strType=FAVORITE&strValue=&strItem=100%25 "
                                "HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(report.status, 200);
    EXPECT_EQ(report.body, "OK");
    const QList<QByteArray> line =
        ask("GET /ostrel/getChannels.asp?date=3/16/2006 HTTP/1.1\r\nHost: x\r\n\r\n")
            .body.split('|');
    ASSERT_GE(line.size(), 10);
    EXPECT_EQ(line[2], "100%");
    EXPECT_EQ(line[8], "1");
}

TEST_F(FrontTest, SlowHeadsFromManyAddressesLeaveRoomForNewClients)
{
    // 14 addresses, 4 connections each, against room for 40: every one trickles its request
    // line a byte at a time, never idle long enough for the idle time-out, and the head
    // time-out is far off: only making room lets the client in.
    serve({u"--max-connections"_s, u"40"_s, u"--threads"_s, u"2"_s, u"--per-address"_s, u"4"_s,
           u"--head-timeout"_s, u"1000"_s});
    const QByteArray line = "GET /ostrel/date.asp?" + QByteArray(200, 'x') + " HTTP/1.1\r\n";
    std::vector<RawSocket> slow;
    for (int a = 2; a < 16; ++a) {
        const QByteArray from = "127.0.0." + QByteArray::number(a);
        for (int i = 0; i < 4; ++i)
            slow.emplace_back(port, from.constData());
    }
    RawSocket client(port, "127.0.0.1");
    ASSERT_TRUE(client.send(kDateGet));
    QList<Response> answered;
    QElapsedTimer t;
    t.start();
    for (int byte = 0; answered.isEmpty() && t.elapsed() < 15000; ++byte) {
        for (RawSocket &s : slow)
            s.send(line.mid(byte % line.size(), 1));
        answered = readResponses(client, 1, 300);
    }
    ASSERT_EQ(answered.size(), 1);
    EXPECT_EQ(answered[0].status, 200);
}

TEST_F(FrontTest, ARequestHeadMustArriveInTimeHoweverBusyItsClient)
{
    serve({u"--head-timeout"_s, u"2"_s});
    RawSocket trickle(port);
    RawSocket answered(port);
    ASSERT_TRUE(answered.send(kDateGet));
    ASSERT_EQ(readResponses(answered, 1).value(0).status, 200);
    // A byte every 200 ms, for 10 s (the idle time-out is 15 s); the reply sent before starts
    // the kept-alive connection's clock again.
    const QByteArray request = "GET /ostrel/date.asp?" + QByteArray(200, 'x') + " HTTP/1.1\r\n";
    bool closed = false;
    for (int byte = 0; byte < 50 && !closed; ++byte) {
        closed = !trickle.send(request.mid(byte, 1)) || trickle.closedWithin(200);
        answered.send(request.mid(byte, 1));
    }
    EXPECT_TRUE(closed);
    EXPECT_TRUE(answered.closedWithin(5000));
}

TEST_F(FrontTest, MalformedRequestsAreRefusedAndClosed)
{
    serve();
    const QByteArray report = "GET /tv/getData.asp?strType=ONLINE&strValue=&strItem=";
    const struct
    {
        const char *what;
        QByteArray request;
        int status;
        bool closes;
    } cases[] = {
        {"NUL in the target", report + "Tar" + '\0' + "get HTTP/1.1\r\nHost: x\r\n\r\n", 400, true},
        {"HTTP/1.1 without Host", report + "A HTTP/1.1\r\n\r\n", 400, true},
        {"two body lengths",
         report +
             "B HTTP/1.1\r\nHost: x\r\nContent-Length: 5\r\nTransfer-Encoding: chunked\r\n\r\n"
             "0\r\n\r\n" +
             kDateGet,
         400, true},
        {"HTTP/1.0 without Host", "GET /ostrel/currentdate.asp HTTP/1.0\r\n\r\n", 200, true},
        {"HTTP/1.1 with Host", kDateGet, 200, false},
    };
    for (const auto &c : cases) {
        RawSocket s(port);
        ASSERT_TRUE(s.send(c.request)) << c.what;
        bool eof = false;
        const QList<Response> responses = parseResponses(s.read(400, &eof));
        ASSERT_EQ(responses.size(), 1) << c.what;
        EXPECT_EQ(responses[0].status, c.status) << c.what;
        EXPECT_EQ(eof, c.closes) << c.what;
    }
    auto store = CatalogueStore::open(db());
    ASSERT_TRUE(store.ok());
    EXPECT_EQ(store.value()->reportCount().value(), 0);
}

TEST_F(FrontTest, ReportsBeyondTheAddressRateAreRefused)
{
    serve({u"--report-rate"_s, u"1"_s}); // a burst of 5
    const QByteArray report = "GET /tv/getData.asp?strType=ONLINE&strValue=&strItem=X HTTP/1.1\r\n"
                              "Host: x\r\n\r\n";
    RawSocket s(port, "127.0.0.1");
    ASSERT_TRUE(s.send(report.repeated(20)));
    int accepted = 0;
    for (const Response &r : readResponses(s, 20, 10000)) {
        accepted += r.status == 200;
        if (r.status != 200) {
            EXPECT_EQ(r.status, 429);
            EXPECT_TRUE(r.head.contains("Retry-After: ")) << r.head.data();
        }
    }
    EXPECT_GE(accepted, 5);
    EXPECT_LT(accepted, 20);
    EXPECT_EQ(ask(report, 2000, "127.0.0.2").status, 200);
    auto store = CatalogueStore::open(db());
    ASSERT_TRUE(store.ok());
    EXPECT_EQ(store.value()->reportCount().value(), accepted + 1);
}

#ifdef SERVER_TEST_POSTGRES
TEST(FrontLog, StaysShortWhileTheDatabaseIsDown)
{
    PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error().toStdString();
    const QString database = cluster.newDatabase();
    QProcess process;
    const quint16 port =
        startServer(process, QString::fromUtf8(CATALOGUE_SERVER_EXE), {u"--db"_s, database});
    ASSERT_NE(port, 0) << process.readAllStandardError().data();
    // The database goes down under the running server: every request fails to open it.
    const pid_t postmaster = pid_t(cluster.postmasterPid());
    ASSERT_EQ(::kill(postmaster, SIGQUIT), 0);
    QElapsedTimer t;
    t.start();
    while (::kill(postmaster, 0) == 0 && t.elapsed() < 10000)
        QThread::msleep(20);
    t.restart();
    int failed = 0;
    while (t.elapsed() < 2500) {
        RawSocket s(port);
        s.send(kDateGet);
        failed += readResponses(s, 1).value(0).status == 500;
    }
    const qint64 seconds = t.elapsed() / 1000 + 1;
    process.kill();
    process.waitForFinished();
    const QList<QByteArray> lines = process.readAllStandardError().split('\n');
    ASSERT_GT(failed, 100);
    // A few kinds of line, each at most once a second, saying how many it stands for.
    EXPECT_LE(lines.size(), 4 * seconds + 4) << lines.join('\n').data();
    EXPECT_TRUE(lines.join('\n').contains("more since the last line")) << lines.join('\n').data();
}
#endif

class StopSignalTest : public FrontTest, public ::testing::WithParamInterface<int>
{
};

TEST_P(StopSignalTest, FinishesTheRequestUnderWayAndExitsZero)
{
    serve();
    RawSocket stream(port);
    stream.send("GET /media/radio.wav HTTP/1.1\r\nHost: x\r\n\r\n");
    ASSERT_TRUE(stream.readable(2000));
    RawSocket keepAlive(port);
    keepAlive.send(kDateGet);
    ASSERT_EQ(readResponses(keepAlive, 1).value(0).status, 200);
    RawSocket halfSent(port);
    halfSent.send("GET /tv/getData.asp?strType=ONLINE&strValue=&strItem=Late HTTP/1.1\r\n");
    QThread::msleep(200);

    QElapsedTimer t;
    t.start();
    ::kill(pid_t(process.processId()), GetParam());
    QThread::msleep(300);
    ASSERT_TRUE(halfSent.send("Host: x\r\n\r\n"));
    EXPECT_EQ(readResponses(halfSent, 1).value(0).body, "OK");
    ASSERT_TRUE(process.waitForFinished(4000));
    EXPECT_LT(t.elapsed(), 3000);
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().data();
    EXPECT_TRUE(stream.closedWithin(1000));

    auto store = CatalogueStore::open(db());
    ASSERT_TRUE(store.ok());
    EXPECT_EQ(store.value()->reportCount().value(), 1);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest, ::testing::Values(SIGTERM, SIGINT),
                         [](const auto &info) {
                             return std::string(info.param == SIGTERM ? "Term" : "Int");
                         });

} // namespace
} // namespace mavrel::server
