#include "online/errorpage.h"
#include "online/fetch.h"

#include "testhttpserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace mavrel;
using namespace mavrel::test;
using namespace Qt::StringLiterals;

namespace {

FetchOptions withLimits(qint64 maxBytes, int totalMs, int idleMs = 10'000, int connectMs = 10'000)
{
    FetchOptions options;
    options.limits = FetchLimits{maxBytes, totalMs, idleMs, connectMs};
    return options;
}

class FetchTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }

    TestHttpServer server;
};

TEST_F(FetchTest, BodyAndProgressSequence)
{
    struct Case
    {
        qsizetype size;
        QStringList progress;
    };
    const Case cases[] = {
        {0, {}},
        {100, {u"Downloaded 100 bytes."_s}},
        {256, {u"Downloaded 256 bytes."_s}},
        {1000,
         {u"Downloaded 512 bytes."_s, u"Downloaded 768 bytes."_s, u"Downloaded 1000 bytes."_s,
          u"Downloaded 1000 bytes."_s}},
        {513, {u"Downloaded 512 bytes."_s, u"Downloaded 513 bytes."_s, u"Downloaded 513 bytes."_s}},
    };
    for (const Case &c : cases) {
        QByteArray body;
        for (qsizetype i = 0; i < c.size; ++i)
            body.append(static_cast<char>(i % 256)); // NULs and high bytes included
        const QByteArray path = "/body" + QByteArray::number(c.size);
        server.serve(path, body);
        QStringList progress;
        const FetchResult r = fetchPageWithStatus(
            server.url(path), statusText([&](const QString &text) { progress.append(text); }));
        EXPECT_EQ(r.body, body) << c.size;
        EXPECT_EQ(r.end, FetchEnd::Complete);
        EXPECT_EQ(progress, c.progress) << c.size;
        EXPECT_EQ(fetchPage(server.url(path)).body, body);
    }
}

TEST_F(FetchTest, ErrorStatusStillDeliversTheBody)
{
    const FetchResult missing = fetchPage(server.url("/nowhere.asx"));
    EXPECT_EQ(missing.httpStatus, 404);
    EXPECT_EQ(missing.end, FetchEnd::Complete);
    EXPECT_TRUE(missing.body.contains("Not Found"));
    EXPECT_FALSE(isValidPage(missing.body));

    server.serve("/oops", "<html>temporarily down</html>", 500);
    const FetchResult failed = fetchPage(server.url("/oops"));
    EXPECT_EQ(failed.httpStatus, 500);
    EXPECT_EQ(failed.body, QByteArray("<html>temporarily down</html>"));
}

TEST_F(FetchTest, FollowsRedirectChainsButNotLoops)
{
    server.serveRedirect("/r1", server.url("/r2"), 301);
    server.serveRedirect("/r2", "/r3");
    server.serveRedirect("/r3", server.url("/final"));
    server.serve("/final", "arrived");
    const FetchResult r = fetchPage(server.url("/r1"));
    EXPECT_EQ(r.body, QByteArray("arrived"));
    // The network layer may resend a request on a connection the server just closed.
    QByteArrayList hops;
    for (const auto &request : server.requests()) {
        if (hops.isEmpty() || hops.last() != request.target)
            hops.append(request.target);
    }
    EXPECT_EQ(hops, QByteArrayList({"/r1", "/r2", "/r3", "/final"}));

    server.serveRedirect("/loop", "/loop");
    const FetchResult loop = fetchPage(server.url("/loop"), withLimits(1 << 20, 10'000));
    EXPECT_EQ(loop.end, FetchEnd::Failed);
    EXPECT_TRUE(loop.body.isEmpty());
}

TEST_F(FetchTest, RequestHeadersPerVariant)
{
    server.serve("/page", "x");
    QByteArray address = server.url("/page");
    ASSERT_EQ(fetchPage(address).body, QByteArray("x"));
    ASSERT_EQ(fetchPageWithStatus(address, {}).body, QByteArray("x"));
    ASSERT_EQ(getPage(address).body, QByteArray("x"));
    const auto requests = server.requests();
    ASSERT_EQ(requests.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const bool bypass = i < 2;
        EXPECT_EQ(requests[i].headers.value("user-agent"), QByteArray("Mozilla"));
        EXPECT_EQ(requests[i].headers.value("pragma") == "no-cache", bypass) << i;
        EXPECT_EQ(requests[i].headers.value("cache-control") == "no-cache", bypass) << i;
    }
}

TEST_F(FetchTest, StreamFinderPrefixesHttpAndChangesTheAddress)
{
    server.serve("/tv/live.htm", "page");
    const QByteArray hostAndPath =
        "127.0.0.1:" + QByteArray::number(server.port()) + "/tv/live.htm";
    struct Case
    {
        QByteArray address, expectedAddress, expectedBody;
    };
    const Case cases[] = {
        {hostAndPath, "http://" + hostAndPath, "page"},
        {"HTTP://" + hostAndPath, "HTTP://" + hostAndPath, "page"},
        {"https://" + hostAndPath, "https://" + hostAndPath, ""},
    };
    for (const Case &c : cases) {
        QByteArray address = c.address;
        const FetchResult r = getPage(address);
        EXPECT_EQ(address, c.expectedAddress);
        EXPECT_EQ(r.body, c.expectedBody) << c.address.constData();
    }
}

TEST_F(FetchTest, UnreachableAddressesAndOtherSchemesGiveNothingAtOnce)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray fifo = QFile::encodeName(dir.filePath(u"never-written"_s));
    ASSERT_EQ(mkfifo(fifo.constData(), 0600), 0);
    QFile regular(dir.filePath(u"page.html"_s));
    ASSERT_TRUE(regular.open(QIODevice::WriteOnly) && regular.write("<html>page</html>") > 0);
    regular.close();
    // Should a reader ever open the FIFO, a writer that opens and closes it ends the read, so
    // the test fails on the time instead of hanging.
    std::atomic<bool> done = false;
    std::thread watchdog([&] {
        for (int waited = 0; !done; waited += 50) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const int writer =
                waited >= 5'000 ? ::open(fifo.constData(), O_WRONLY | O_NONBLOCK) : -1;
            if (writer >= 0)
                ::close(writer);
        }
    });

    const QByteArray addresses[] = {
        "mms://127.0.0.1:" + QByteArray::number(server.port()) + "/live",
        TestHttpServer::refusedUrl("/"),
        "no scheme at all",
        "file://" + fifo,
        "FILE://" + QFile::encodeName(regular.fileName()),
        "data:text/plain,hello",
        "ftp://127.0.0.1:" + QByteArray::number(server.port()) + "/x",
        "rtsp://127.0.0.1:" + QByteArray::number(server.port()) + "/x",
    };
    for (const QByteArray &address : addresses) {
        QElapsedTimer clock;
        clock.start();
        const FetchResult r = fetchPage(address, withLimits(1 << 20, 30'000, 30'000, 30'000));
        EXPECT_TRUE(r.body.isEmpty()) << address.constData();
        EXPECT_EQ(r.end, FetchEnd::Failed) << address.constData();
        EXPECT_LT(clock.elapsed(), 3'000) << address.constData();
    }
    done = true;
    watchdog.join();
    EXPECT_TRUE(server.requests().isEmpty());
}

// Old radio servers answer "ICY 200 OK", which QtNetwork refuses.
TEST_F(FetchTest, IcyStatusLineIsReadLikeHttp)
{
    QByteArray audio;
    for (int i = 0; i < 3000; ++i)
        audio.append(static_cast<char>((i * 37) % 256)); // NULs and high bytes included
    using Mode = TestHttpServer::Mode;
    struct Case
    {
        const char *path, *statusLine, *type;
        Mode mode;
        bool sendLength;
        FetchEnd end;
    };
    const Case cases[] = {
        {"/icy", "ICY 200 OK", "audio/mpeg", Mode::Fixed, false, FetchEnd::Complete},
        {"/icy-length", "ICY 200 OK", "", Mode::Fixed, true, FetchEnd::Complete},
        {"/icy-stall", "ICY 200 OK", "audio/aacp", Mode::Stall, true, FetchEnd::IdleLimit},
        {"/endless", "ICY 200 OK", "audio/mpeg", Mode::Endless, false, FetchEnd::Aborted},
        {"/not-http", "SIP/2.0 200 OK", "audio/mpeg", Mode::Fixed, false, FetchEnd::Failed},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path);
        TestHttpServer::Route route;
        route.mode = c.mode;
        route.body = audio;
        route.contentType = c.type;
        route.statusLine = c.statusLine;
        route.sendLength = c.sendLength;
        server.setRoute(c.path, route);
        // The owner of the endless fetch goes away mid-stream.
        FetchOptions options = withLimits(qint64(1) << 40, 10'000, 1'000);
        options.owner = c.mode == Mode::Endless ? new QObject : nullptr;
        if (options.owner)
            QTimer::singleShot(300, options.owner, [o = options.owner] { delete o; });
        QList<qint64> progress;
        const FetchResult r = fetchPageWithStatus(
            server.url(c.path), [&](qint64 length) { progress.append(length); }, options);
        EXPECT_EQ(r.end, c.end);
        EXPECT_EQ(r.ownerGone, c.end == FetchEnd::Aborted);
        if (c.end == FetchEnd::Aborted) {
            EXPECT_FALSE(r.body.isEmpty());
            EXPECT_EQ(r.body, TestHttpServer::patternBytes(0, r.body.size()));
            continue;
        }
        const bool read = c.end != FetchEnd::Failed;
        EXPECT_EQ(r.body, read ? audio : QByteArray());
        EXPECT_EQ(r.httpStatus, read ? 200 : 0);
        EXPECT_EQ(r.contentType, read ? QByteArray(c.type) : QByteArray());
        EXPECT_EQ(progress.value(progress.size() - 1), r.body.size());
    }
    // The second request, on a socket of our own, is the same GET.
    const auto requests = server.requestsFor("/icy");
    ASSERT_FALSE(requests.isEmpty());
    const RecordedRequest &request = requests.last();
    EXPECT_EQ(request.headers.value("user-agent"), QByteArray("Mozilla"));
    EXPECT_EQ(request.headers.value("pragma"), QByteArray("no-cache"));
    EXPECT_EQ(request.headers.value("host"), "127.0.0.1:" + QByteArray::number(server.port()));
    // A live stream ends at the channel check's cap.
    FetchOptions check;
    check.use = FetchUse::ChannelCheck;
    const FetchResult live = fetchPage(server.url("/endless"), check);
    EXPECT_EQ(live.end, FetchEnd::SizeLimit);
    EXPECT_EQ(live.body, TestHttpServer::patternBytes(0, live.body.size()));
    EXPECT_EQ(live.body.size(), fetchLimits(FetchUse::ChannelCheck).maxBytes);
}

TEST_F(FetchTest, EndlessBodyStopsAtTheByteCapOrTheTimeLimit)
{
    server.serveEndless("/stream");
    const FetchResult r = fetchPage(server.url("/stream"), withLimits(10'000, 30'000));
    EXPECT_EQ(r.end, FetchEnd::SizeLimit);
    EXPECT_EQ(r.body, TestHttpServer::patternBytes(0, 10'000));

    const FetchResult timed = fetchPage(server.url("/stream"), withLimits(qint64(1) << 40, 500));
    EXPECT_EQ(timed.end, FetchEnd::TimeLimit);
    EXPECT_EQ(timed.body, TestHttpServer::patternBytes(0, timed.body.size()));

    FetchOptions check;
    check.use = FetchUse::ChannelCheck;
    const FetchResult checked = fetchPage(server.url("/stream"), check);
    EXPECT_EQ(checked.end, FetchEnd::SizeLimit);
    EXPECT_EQ(checked.body.size(), fetchLimits(FetchUse::ChannelCheck).maxBytes);
}

TEST_F(FetchTest, SlowBodyStopsAtTheTimeLimitWithWhatCame)
{
    server.serveDrip("/drip", "abcdefghij", 1000);
    QStringList progress;
    const FetchResult r = fetchPageWithStatus(
        server.url("/drip"), statusText([&](const QString &t) { progress.append(t); }),
        withLimits(1 << 20, 2'500, 2'000));
    EXPECT_EQ(r.end, FetchEnd::TimeLimit);
    EXPECT_GE(r.body.size(), 1);
    EXPECT_LE(r.body.size(), 3);
    EXPECT_TRUE(QByteArray("abcdefghij").startsWith(r.body));
}

TEST_F(FetchTest, StalledBodyStopsAtTheIdleLimit)
{
    const QByteArray head(300, 'x');
    server.serveStall("/stall", head);
    QStringList progress;
    const FetchResult r = fetchPageWithStatus(
        server.url("/stall"), statusText([&](const QString &t) { progress.append(t); }),
        withLimits(1 << 20, 20'000, 400));
    EXPECT_EQ(r.end, FetchEnd::IdleLimit);
    EXPECT_EQ(r.body, head);
    EXPECT_EQ(progress, QStringList({u"Downloaded 300 bytes."_s, u"Downloaded 300 bytes."_s}));
}

// QtNetwork can take a connection closed before the announced length for the end of the body.
TEST_F(FetchTest, BodyCutBeforeItsLengthFails)
{
    server.serveCut("/cut", QByteArray(300, 'x'));
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(fetchPageWithStatus(server.url("/cut"), {}).end, FetchEnd::Failed) << i;
}

TEST_F(FetchTest, SilentServerStopsAtTheConnectLimit)
{
    server.serveSilent("/silent");
    QElapsedTimer clock;
    clock.start();
    const FetchResult r =
        fetchPage(server.url("/silent"), withLimits(1 << 20, 20'000, 20'000, 400));
    EXPECT_EQ(r.end, FetchEnd::ConnectLimit);
    EXPECT_TRUE(r.body.isEmpty());
    EXPECT_LT(clock.elapsed(), 10'000);
}

} // namespace
