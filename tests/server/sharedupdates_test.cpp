// The update pages' replies over loopback, built off the front's workers and shared: the same
// bytes (or their gzip) for everyone asking the same until the catalogue changes, no build for
// clients that hung up, and a bound on the requests that wait.

#include "pgcluster.h"
#include "rawclient.h"

#include "online/catalogueupdate.h"
#include "online/datetext.h"
#include "server/catalogue/cataloguepages.h"
#include "server/catalogue/updatereplies.h"
#include "server/http/cataloguehttpserver.h"
#include "server/store/cataloguestore.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>

#include <zlib.h>

#include <atomic>
#include <vector>

using namespace Qt::StringLiterals;
using namespace mavrel::testing;

namespace mavrel::server {
namespace {

constexpr int kChannels = 30000; // every tenth one dead
constexpr qint64 kFilled = 1'600'000'000;
constexpr qint64 kLongAgo = 946'684'800; // 1/1/2000

QByteArray dateQuery(qint64 secs)
{
    return formatDateText(QDateTime::fromSecsSinceEpoch(secs, Qt::UTC))
        .toLatin1()
        .replace(" ", "%20");
}

QByteArray gunzip(const QByteArray &data)
{
    z_stream z{};
    if (inflateInit2(&z, 15 + 16) != Z_OK)
        return {};
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    QByteArray out;
    char buffer[65536];
    int r = Z_OK;
    while (r == Z_OK) {
        z.next_out = reinterpret_cast<Bytef *>(buffer);
        z.avail_out = sizeof buffer;
        r = inflate(&z, Z_NO_FLUSH);
        out.append(buffer, qsizetype(sizeof buffer - z.avail_out));
    }
    inflateEnd(&z);
    return r == Z_STREAM_END ? out : QByteArray("not gzip");
}

QByteArray headerValue(const Response &r, QByteArrayView name)
{
    for (const QByteArray &line : r.head.split('\n')) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().compare(name, Qt::CaseInsensitive) == 0)
            return line.mid(colon + 1).trimmed();
    }
    return {};
}

// The fields of the update line naming the channel, or none.
QList<QByteArray> lineOf(const QByteArray &reply, const QByteArray &name)
{
    for (const QByteArray &line : reply.split('<')) {
        const QList<QByteArray> fields = line.mid(line.startsWith("BR>") ? 3 : 0).split('|');
        if (fields.value(2) == name)
            return fields;
    }
    return {};
}

class SharedUpdates : public ::testing::Test
{
protected:
    void serve(UpdateReplyLimits limits = {})
    {
        location = testDatabase(dir);
        options.clock = [this]() { return now.load(); };
        auto opened = CatalogueStore::open(location, options);
        ASSERT_TRUE(opened.ok()) << opened.error().message.toStdString();
        store = std::move(opened).value();
        QList<SourceEntry> entries(kChannels);
        QList<const SourceEntry *> list;
        for (int i = 0; i < kChannels; ++i) {
            NewChannel &c = entries[i].channel;
            c.name = "Channel " + QByteArray::number(i);
            c.kind = "TV";
            c.url = "http://example.org/live/" + QByteArray::number(i);
            c.lang = "English";
            entries[i].down = i % 10 == 0;
            list.append(&entries[i]);
        }
        ASSERT_TRUE(store->addSourceChannels(list, u"generated"_s).ok());
        now = kFilled + 100;
        replies = std::make_unique<UpdateReplies>(
            [this]() { return CatalogueStore::open(location, options); }, limits);
        pages = std::make_unique<CataloguePages>(*store);
        pages->setUpdateReplies(replies.get());
        FrontLimits front;
        front.perAddress = 0;
        server = std::make_unique<CatalogueHttpServer>(*pages, front);
        port = server->listen(QHostAddress::LocalHost, 0).valueOr(0);
        ASSERT_NE(port, 0);
    }

    // Requests sent at once, each on a connection of its own (from 127.0.0.<firstFrom + i> when
    // firstFrom is given); their answers in order.
    QList<Response> askAll(const QList<QByteArray> &targets, const QByteArray &headers = {},
                           int firstFrom = 0)
    {
        std::vector<RawSocket> sockets;
        for (qsizetype i = 0; i < targets.size(); ++i) {
            const QByteArray from = "127.0.0." + QByteArray::number(firstFrom + i);
            sockets.emplace_back(port, firstFrom ? from.constData() : nullptr);
            sockets.back().send("GET " + targets[i] + " HTTP/1.1\r\nHost: x\r\n" + headers +
                                "\r\n");
        }
        QList<Response> answers;
        for (RawSocket &s : sockets)
            answers.append(readResponses(s, 1, 60000).value(0));
        return answers;
    }
    Response ask(const QByteArray &target, const QByteArray &headers = {}, int from = 0)
    {
        return askAll({target}, headers, from).value(0);
    }

    QTemporaryDir dir;
    QString location;
    StoreOptions options;
    std::atomic<qint64> now = kFilled;
    std::unique_ptr<CatalogueStore> store;
    std::unique_ptr<UpdateReplies> replies;
    std::unique_ptr<CataloguePages> pages;
    std::unique_ptr<CatalogueHttpServer> server;
    quint16 port = 0;
};

TEST_F(SharedUpdates, RequestsWhoseClientsHungUpBuildNothing)
{
    UpdateReplyLimits limits;
    limits.builders = 1;
    serve(limits);
    // Every request a date of its own, so that none shares another's build.
    {
        std::vector<RawSocket> burst;
        for (int i = 0; i < 200; ++i) {
            burst.emplace_back(port);
            ASSERT_TRUE(
                burst.back().send("GET /ostrel/getChannels.asp?date=" + dateQuery(kLongAgo + i) +
                                  " HTTP/1.1\r\nHost: x\r\n\r\n"));
        }
    }
    EXPECT_EQ(ask("/ostrel/currentdate.asp").status, 200);

    // A client that stays is answered, after whatever was queued before it.
    const Response full = ask("/ostrel/getChannels.asp?date=1/1/1999");
    EXPECT_EQ(full.status, 200);
    EXPECT_EQ(full.body.count("<BR>"), kChannels);
    QElapsedTimer t;
    t.start();
    while (replies->counts().waiting > 0 && t.elapsed() < 30000)
        QThread::msleep(10);
    const UpdateReplies::Counts counts = replies->counts();
    EXPECT_EQ(counts.waiting, 0);
    EXPECT_EQ(counts.built, 1) << counts.started << " started, " << counts.cancelled
                               << " cancelled";
}

TEST_F(SharedUpdates, EveryoneAskingTheSameGetsTheSameBytesOfOneBuild)
{
    serve();
    const struct
    {
        QByteArray target;
        qsizetype lines;
    } updatePages[] = {
        {"/ostrel/getChannels.asp?date=1/1/2000", kChannels},
        {"/ostrel/getChannelsOFFLINE.asp?date=1/1/2000", kChannels / 10},
    };
    const struct
    {
        QByteArray accept;
        bool gzip;
    } encodings[] = {
        {"gzip", true},      {"deflate, gzip;q=0.8", true}, {"X-GZIP", true},
        {"gzip;q=0", false}, {"identity", false},           {"deflate", false},
    };
    int from = 2;
    for (const auto &page : updatePages) {
        SCOPED_TRACE(page.target.data());
        const qint64 started = replies->counts().started;
        const QList<Response> answers = askAll(QList<QByteArray>(6, page.target), {}, from);
        const QByteArray body = answers[0].body;
        for (const Response &r : answers) {
            EXPECT_EQ(r.status, 200);
            EXPECT_TRUE(r.body == body);
        }
        EXPECT_EQ(body.count("<BR>"), page.lines);
        EXPECT_EQ(replies->counts().started, started + 1);

        // Each fetch left its own trace: the address's remembered date, and the reply's date
        // handed out, which date.asp then answers unchanged.
        const QByteArray covered = replyCoveredDate(QByteArrayView(body)).toLatin1();
        ASSERT_FALSE(covered.isEmpty());
        for (int i = 0; i < answers.size(); ++i)
            EXPECT_EQ(ask("/ostrel/date.asp", {}, from + i).body, covered) << i;
        EXPECT_EQ(ask("/ostrel/date.asp?date=" + QByteArray(covered).replace(" ", "%20")).body,
                  covered);
        from += int(answers.size());

        for (const auto &e : encodings) {
            const Response r = ask(page.target, "Accept-Encoding: " + e.accept + "\r\n");
            EXPECT_EQ(headerValue(r, "Vary"), "Accept-Encoding") << e.accept.data();
            EXPECT_EQ(headerValue(r, "Content-Encoding"), e.gzip ? "gzip" : "") << e.accept.data();
            EXPECT_TRUE((e.gzip ? gunzip(r.body) : r.body) == body) << e.accept.data();
        }
        EXPECT_EQ(replies->counts().started, started + 1);
    }
}

TEST_F(SharedUpdates, ACatalogueChangeGivesANewReply)
{
    serve();
    const struct
    {
        QByteArray target;
        QByteArray report; // a change of the channel named last
        bool (*changed)(const QList<QByteArray> &line);
    } rows[] = {
        {"/ostrel/getChannels.asp?date=1/1/2000",
         "/tv/getData.asp?strType=FAVORITE&strValue=&strItem=Channel%20",
         [](const QList<QByteArray> &line) { return line.value(8) == "1"; }},
        {"/ostrel/getChannelsOFFLINE.asp?date=1/1/2000",
         "/tv/getData.asp?strType=OFFLINE&strValue=&admin=true&strItem=Channel%20",
         [](const QList<QByteArray> &line) { return !line.isEmpty(); }},
    };
    int channel = 1;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.target.data());
        // Two changes in one second: the second leaves the catalogue's latest dates as they
        // were, and must still reach the next reply.
        for (int i = 0; i < 2; ++i, ++channel) {
            const QByteArray name = "Channel " + QByteArray::number(channel);
            EXPECT_FALSE(row.changed(lineOf(ask(row.target).body, name))) << name.data();
            ASSERT_EQ(ask(row.report + QByteArray::number(channel)).status, 200);
            EXPECT_TRUE(row.changed(lineOf(ask(row.target).body, name))) << name.data();
        }
        // Settled, the reply is kept while nothing changes.
        now += 5;
        const QByteArray settled = ask(row.target).body;
        const qint64 started = replies->counts().started;
        EXPECT_TRUE(ask(row.target).body == settled);
        EXPECT_EQ(replies->counts().started, started);
    }
}

TEST_F(SharedUpdates, RequestsBeyondTheWaitingBoundAreToldToComeBack)
{
    UpdateReplyLimits limits;
    limits.builders = 1;
    limits.maxWaiting = 2;
    serve(limits);
    QList<QByteArray> targets;
    for (int i = 0; i < 30; ++i)
        targets.append("/ostrel/getChannels.asp?date=" + dateQuery(kLongAgo + i));
    int full = 0;
    int busy = 0;
    for (const Response &r : askAll(targets)) {
        if (r.status == 200) {
            ++full;
            EXPECT_EQ(r.body.count("<BR>"), kChannels);
            continue;
        }
        ++busy;
        EXPECT_EQ(r.status, 503);
        EXPECT_FALSE(r.body.contains('|'));
        EXPECT_EQ(headerValue(r, "Retry-After"), "1");
    }
    EXPECT_GE(full, 2);
    EXPECT_GE(busy, 1);
    EXPECT_EQ(full + busy, 30);
    EXPECT_EQ(ask("/ostrel/currentdate.asp").status, 200);
}

} // namespace
} // namespace mavrel::server
