#include "httpget.h"
#include "pgcluster.h"

#include "server/store/cataloguestore.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QThread>

using namespace Qt::StringLiterals;
using mavrel::testing::httpGet;

namespace mavrel::server {
namespace {

struct ProcessRun
{
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

ProcessRun runServer(const QStringList &args)
{
    QProcess p;
    p.start(QString::fromUtf8(CATALOGUE_SERVER_EXE), args);
    ProcessRun r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

// Starts "serve --port 0" and reads the port from the first line.
quint16 startServing(QProcess &p, const QStringList &extra)
{
    p.start(QString::fromUtf8(CATALOGUE_SERVER_EXE), QStringList{u"--port"_s, u"0"_s} + extra);
    QByteArray line;
    while (!line.contains('\n') && p.waitForReadyRead(10000))
        line += p.readAllStandardOutput();
    const QByteArray prefix = "listening on http://127.0.0.1:";
    if (!line.startsWith(prefix))
        return 0;
    return quint16(line.mid(prefix.size()).trimmed().toUInt());
}

class CliTest : public ::testing::Test
{
protected:
    QString db()
    {
        if (database.isEmpty())
            database = mavrel::testing::testDatabase(dir);
        return database;
    }
    QTemporaryDir dir;
    QString database;
};

TEST_F(CliTest, ArgumentsAndExitCodes)
{
    const ProcessRun help = runServer({u"--help"_s});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("Usage:"));

    const QStringList usage[] = {
        {},
        {u"--port"_s, u"1"_s},
        {u"--db"_s},
        {u"--db"_s, db(), u"--port"_s, u"70000"_s},
        {u"--db"_s, db(), u"--port"_s, u"x"_s},
        {u"--db"_s, db(), u"--bogus"_s},
        {u"frobnicate"_s, u"--db"_s, db()},
        {u"import"_s, u"--db"_s, db()},
        {u"export"_s, u"--db"_s, db(), u"extra"_s},
        {u"--db"_s, db(), u"--listen"_s, u"not-an-address"_s},
        {u"sync"_s, u"--db"_s, db()},
        {u"--db"_s, db(), u"--sync"_s, u"x.json"_s},
        {u"--db"_s, db(), u"--every"_s, u"1h"_s},
        {u"--db"_s, db(), u"--sync"_s, u"x.json"_s, u"--every"_s, u"30s"_s},
        {u"--db"_s, db(), u"--sync"_s, u"x.json"_s, u"--every"_s, u"often"_s},
        {u"import"_s, u"--db"_s, db(), u"--sync"_s, u"x.json"_s, u"--every"_s, u"1h"_s},
        {u"--db"_s, db(), u"--staff-tokens"_s, dir.filePath(u"no-such-tokens"_s)},
        {u"--db"_s, db(), u"--staff-tokens"_s},
        {u"import"_s, u"--db"_s, db(), u"--staff-tokens"_s, dir.path(), u"x.json"_s},
    };
    for (const QStringList &args : usage) {
        const ProcessRun r = runServer(args);
        EXPECT_EQ(r.exitCode, 2) << args.join(u' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    EXPECT_EQ(runServer({u"export"_s, u"--db"_s, dir.filePath(u"no/such/dir/x.db"_s)}).exitCode, 1);
    EXPECT_EQ(runServer({u"import"_s, u"--db"_s, db(), dir.filePath(u"missing.txt"_s)}).exitCode,
              1);
}

TEST_F(CliTest, ImportsCatalogueAndPlaylistThenExports)
{
    const QString data = QString::fromUtf8(SERVER_TEST_DATA);
    const ProcessRun imported =
        runServer({u"import"_s, u"--db"_s, db(), data + u"/Data.txt"_s, data + u"/channels.m3u"_s});
    EXPECT_EQ(imported.exitCode, 0) << imported.err.data();
    EXPECT_TRUE(imported.out.contains("Data.txt: added 3, skipped 1, duplicate 1"))
        << imported.out.data();
    EXPECT_TRUE(imported.out.contains("channels.m3u: added 2, skipped 1, duplicate 1"))
        << imported.out.data();

    const ProcessRun exported = runServer({u"export"_s, u"--db"_s, db()});
    EXPECT_EQ(exported.exitCode, 0);
    QFile original(data + u"/Data.txt"_s);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray first = original.readLine();
    // The catalogue line comes back as it went in: same id, same scrambled address, figures.
    EXPECT_TRUE(exported.out.startsWith(first)) << exported.out.left(200).toHex().data();
    EXPECT_EQ(exported.out.count("\r\n"), 5);
    EXPECT_EQ(exported.out.count('\n'), 5);
}

TEST_F(CliTest, SyncsAtStartWhileServingAndStopsPromptly)
{
    const QString stations = dir.filePath(u"stations.json"_s);
    QFile f(stations);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("[{\"name\":\"Loop Radio\",\"url\":\"http://loop/\",\"language\":\"french\"}]");
    f.close();
    QProcess server;
    server.start(
        QString::fromUtf8(CATALOGUE_SERVER_EXE),
        {u"--port"_s, u"0"_s, u"--db"_s, db(), u"--sync"_s, stations, u"--every"_s, u"6h"_s});
    QByteArray out;
    while (out.count('\n') < 2 && server.waitForReadyRead(10000))
        out += server.readAllStandardOutput();
    const QByteArray prefix = "listening on http://127.0.0.1:";
    ASSERT_TRUE(out.startsWith(prefix)) << out.data();
    const quint16 port =
        quint16(out.mid(prefix.size(), out.indexOf('\n') - prefix.size()).toUInt());
    EXPECT_TRUE(out.contains("\nsync " + stations.toUtf8() + ": added 1")) << out.data();
    const auto update = httpGet(port, "/ostrel/getChannels.asp?date=3/16/2006");
    EXPECT_TRUE(update.body.contains("|Loop Radio|Radio|")) << update.body.data();
    server.terminate();
    EXPECT_TRUE(server.waitForFinished(3000));
    EXPECT_EQ(server.exitCode(), 0);

    const ProcessRun again = runServer({u"sync"_s, u"--db"_s, db(), stations});
    EXPECT_EQ(again.exitCode, 0) << again.err.data();
    EXPECT_TRUE(
        again.out.contains("added 0, skipped 0, duplicate 0, updated 0, vanished 0, returned 0"))
        << again.out.data();
}

TEST_F(CliTest, StopCancelsASyncWaitingForItsSource)
{
    // Listening but never answering: the source's fetch waits (30 s before it counts as stalled).
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost));
    const QString source = u"http://127.0.0.1:%1/json/stations"_s.arg(silent.serverPort());
    QProcess server;
    const quint16 port =
        startServing(server, {u"--db"_s, db(), u"--sync"_s, source, u"--every"_s, u"1h"_s});
    ASSERT_NE(port, 0);
    QThread::msleep(500);
    QElapsedTimer t;
    t.start();
    server.terminate();
    ASSERT_TRUE(server.waitForFinished(10000));
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_EQ(server.exitCode(), 0);
}

TEST_F(CliTest, ServesOnAPickedPortWithDemoContent)
{
    QProcess server;
    const quint16 port = startServing(server, {u"--db"_s, db(), u"--demo"_s});
    ASSERT_NE(port, 0);
    const auto update = httpGet(port, "/ostrel/getChannels.asp?date=3/16/2006");
    EXPECT_EQ(update.status, 200);
    for (const char *kind : {"|TV|", "|Radio|", "|Video|", "|XXX|"})
        EXPECT_TRUE(update.body.contains(kind)) << kind;
    // The demo addresses point at this very server.
    const ProcessRun exported = runServer({u"export"_s, u"--db"_s, db()});
    EXPECT_GE(exported.out.count("\r\n"), 6);
    server.kill();
    server.waitForFinished();
}

TEST_F(CliTest, AcceptedReportsSurviveAKill)
{
    QProcess server;
    quint16 port = startServing(server, {u"--db"_s, db(), u"--report-rate"_s, u"0"_s});
    ASSERT_NE(port, 0);
    const int n = 200;
    for (int i = 0; i < n; ++i) {
        const auto r = httpGet(port, "/tv/getData.asp?strType=ONLINE&strValue=&strItem=Ch" +
                                         QByteArray::number(i));
        ASSERT_EQ(r.status, 200) << i;
    }
    server.kill(); // SIGKILL: no shutdown code runs
    ASSERT_TRUE(server.waitForFinished());

    QProcess again;
    port = startServing(again, {u"--db"_s, db()});
    ASSERT_NE(port, 0);
    EXPECT_EQ(httpGet(port, "/ostrel/currentdate.asp").status, 200);
    again.kill();
    again.waitForFinished();

    auto store = CatalogueStore::open(db());
    ASSERT_TRUE(store.ok());
    EXPECT_EQ(store.value()->reportCount().value(), n);
}

} // namespace
} // namespace mavrel::server
