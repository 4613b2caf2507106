// Several server processes on one PostgreSQL database: every report counts once, whichever
// server took it, and one server killed outright does not stop the other.

#include "pgcluster.h"
#include "rawclient.h"

#include "online/datetext.h"
#include "server/store/cataloguestore.h"

#include <gtest/gtest.h>

#include <QMap>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <QUuid>

#include <csignal>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using namespace mavrel::testing;

namespace mavrel::server {
namespace {

constexpr int kChannels = 5;

class SharedDatabaseTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { cluster = new PgCluster; }
    static void TearDownTestSuite()
    {
        delete cluster;
        cluster = nullptr;
    }
    void SetUp() override
    {
        ASSERT_TRUE(cluster->ok()) << cluster->error().toStdString();
        db = cluster->newDatabase();
        ASSERT_FALSE(db.isEmpty()) << cluster->error().toStdString();
        auto store = CatalogueStore::open(db);
        ASSERT_TRUE(store.ok()) << store.error().message.toStdString();
        for (int i = 0; i < kChannels; ++i) {
            NewChannel c;
            c.name = "C" + QByteArray::number(i);
            c.kind = "TV";
            c.url = "http://c" + QByteArray::number(i) + "/";
            c.lang = "English";
            ASSERT_EQ(store.value()->addChannel(c).value().outcome, AddOutcome::Added);
        }
        for (auto &server : servers) {
            server.port = startServer(
                server.process, QString::fromUtf8(CATALOGUE_SERVER_EXE),
                {u"--db"_s, db, u"--per-address"_s, u"0"_s, u"--report-rate"_s, u"0"_s});
            ASSERT_NE(server.port, 0) << server.process.readAllStandardError().data();
        }
    }
    void TearDown() override
    {
        for (auto &server : servers) {
            server.process.kill();
            server.process.waitForFinished();
        }
    }
    // Favourite figures by channel name, as a full update from one server gives them.
    QMap<QByteArray, int> favorites(quint16 port)
    {
        RawSocket s(port);
        s.send("GET /ostrel/getChannels.asp?date=3/16/2006 HTTP/1.1\r\nHost: x\r\n\r\n");
        QMap<QByteArray, int> out;
        for (const QByteArray &line : readResponses(s, 1).value(0).body.split('<')) {
            const QList<QByteArray> f = line.split('|');
            if (f.size() >= 10)
                out[f[2]] = f[8].toInt();
        }
        return out;
    }

    struct Server
    {
        QProcess process;
        quint16 port = 0;
    };
    static inline PgCluster *cluster = nullptr;
    QString db;
    Server servers[2];
};

TEST_F(SharedDatabaseTest, ReportsToEitherServerAllCount)
{
    // 100 client addresses, each favouring every channel once, half through each server, all
    // under way at the same time.
    const int clients = 100;
    std::vector<RawSocket> sockets;
    for (int i = 0; i < clients; ++i) {
        const QByteArray from = "127.0.1." + QByteArray::number(i + 1);
        sockets.emplace_back(servers[i % 2].port, from.constData());
        ASSERT_TRUE(sockets.back().ok());
    }
    for (RawSocket &s : sockets) {
        QByteArray pipeline;
        for (int c = 0; c < kChannels; ++c)
            pipeline += "GET /tv/getData.asp?strType=FAVORITE&strValue=&strItem=C" +
                        QByteArray::number(c) + " HTTP/1.1\r\nHost: x\r\n\r\n";
        ASSERT_TRUE(s.send(pipeline));
    }
    int accepted = 0;
    for (RawSocket &s : sockets) {
        for (const Response &r : readResponses(s, kChannels, 10000))
            accepted += r.status == 200 && r.body == "OK";
    }
    EXPECT_EQ(accepted, clients * kChannels);

    const QMap<QByteArray, int> a = favorites(servers[0].port);
    EXPECT_EQ(a, favorites(servers[1].port));
    ASSERT_EQ(a.size(), kChannels);
    for (auto it = a.cbegin(); it != a.cend(); ++it)
        EXPECT_EQ(it.value(), clients) << it.key().data();

    // Both servers hand out dates from the database's clock, never before the latest change.
    RawSocket s(servers[1].port);
    s.send("GET /ostrel/currentdate.asp HTTP/1.1\r\nHost: x\r\n\r\n");
    const QByteArray current = readResponses(s, 1).value(0).body;
    RawSocket t(servers[0].port);
    t.send("GET /ostrel/currentdate.asp HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(readResponses(t, 1).value(0).body, current);
}

TEST_F(SharedDatabaseTest, KilledServerLeavesTheOtherServingAndLosesNothingAccepted)
{
    std::vector<RawSocket> toVictim, toSurvivor;
    for (int i = 0; i < 20; ++i) {
        toVictim.emplace_back(servers[0].port);
        toSurvivor.emplace_back(servers[1].port);
    }
    QByteArray reports;
    for (int n = 0; n < 50; ++n)
        reports +=
            "GET /tv/getData.asp?strType=ONLINE&strValue=&strItem=C1 HTTP/1.1\r\nHost: x\r\n\r\n";
    for (size_t i = 0; i < toVictim.size(); ++i) {
        toVictim[i].send(reports);
        toSurvivor[i].send(reports);
    }
    QThread::msleep(20);
    ::kill(pid_t(servers[0].process.processId()), SIGKILL);
    ASSERT_TRUE(servers[0].process.waitForFinished(5000));

    int accepted = 0;
    for (RawSocket &s : toVictim) {
        for (const Response &r : readResponses(s, 50, 3000))
            accepted += r.body == "OK";
    }
    int survived = 0;
    for (RawSocket &s : toSurvivor) {
        for (const Response &r : readResponses(s, 50, 10000))
            survived += r.body == "OK";
    }
    EXPECT_EQ(survived, 20 * 50);
    RawSocket fresh(servers[1].port);
    fresh.send(
        "GET /tv/getData.asp?strType=ONLINE&strValue=&strItem=C2 HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_EQ(readResponses(fresh, 1).value(0).body, "OK");

    // Every report a client saw accepted is in the database; the killed server's unanswered
    // ones may or may not be.
    auto store = CatalogueStore::open(db);
    ASSERT_TRUE(store.ok());
    const qint64 count = store.value()->reportCount().value();
    EXPECT_GE(count, accepted + survived + 1);
    EXPECT_LE(count, 2 * 20 * 50 + 1);
}

TEST_F(SharedDatabaseTest, StoredDateStaysBeforeAnotherServersTransactionUnderWay)
{
    // Another server's slow transaction: its change is stamped with its start and committed
    // later. A viewer that updates meanwhile must store a date before that stamp.
    const QString connection = QUuid::createUuid().toString();
    qint64 started = 0;
    {
        const QUrl url(db);
        QSqlDatabase other = QSqlDatabase::addDatabase(u"QPSQL"_s, connection);
        other.setHostName(url.host());
        other.setPort(url.port());
        other.setUserName(url.userName());
        other.setDatabaseName(url.path().mid(1));
        ASSERT_TRUE(other.open());
        ASSERT_TRUE(other.transaction());
        QSqlQuery q(other);
        ASSERT_TRUE(q.exec(u"SELECT floor(extract(epoch FROM clock_timestamp()))::bigint"_s));
        ASSERT_TRUE(q.next());
        started = q.value(0).toLongLong();
        q.finish();
        QThread::msleep(2200);

        // A viewer's update from a date, then the date it stores.
        auto storedDate = [this](qint64 since) {
            const QByteArray date =
                formatDateText(QDateTime::fromSecsSinceEpoch(since, Qt::UTC)).toLatin1();
            RawSocket s(servers[1].port);
            s.send("GET /ostrel/getChannels.asp?date=" + date.toPercentEncoding("/:") +
                   " HTTP/1.1\r\nHost: x\r\n\r\nGET /ostrel/date.asp HTTP/1.1\r\nHost: x\r\n\r\n");
            const QByteArray text = readResponses(s, 2).value(1).body;
            const auto stored = parseDateText(QByteArrayView(text));
            return stored ? stored.value().toSecsSinceEpoch() : 0;
        };
        const qint64 during = storedDate(started - 3600);
        EXPECT_GT(during, 0);
        EXPECT_LT(during, started);
        ASSERT_TRUE(other.commit());
        // Nothing under way any more: the date is the second before the fetch again.
        EXPECT_GE(storedDate(during), started + 1);
        other.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

TEST_F(SharedDatabaseTest, ServersReconnectAfterTheDatabaseRestarts)
{
    auto report = [](quint16 port) {
        RawSocket s(port);
        s.send(
            "GET /tv/getData.asp?strType=ONLINE&strValue=&strItem=C3 HTTP/1.1\r\nHost: x\r\n\r\n");
        return readResponses(s, 1, 5000).value(0).status;
    };
    // Enough requests that every worker thread of both servers holds a connection.
    for (const auto &server : servers) {
        for (int i = 0; i < 100; ++i)
            ASSERT_EQ(report(server.port), 200);
    }
    ASSERT_TRUE(cluster->restart()) << cluster->error().toStdString();
    // Each of the 16 worker threads may fail once on its dead connection, then opens a new one.
    for (auto &server : servers) {
        int failures = 0;
        for (int i = 0; i < 100; ++i)
            failures += report(server.port) != 200;
        EXPECT_LE(failures, 16);
        // The operator learns why.
        server.process.setReadChannel(QProcess::StandardError);
        server.process.waitForReadyRead(failures > 0 ? 2000 : 0);
        const QByteArray log = server.process.readAllStandardError();
        EXPECT_EQ(failures > 0, log.contains("catalogue-server: request failed: ")) << log.data();
    }
}

} // namespace
} // namespace mavrel::server
