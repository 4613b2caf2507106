// Sources that own their channels, on SQLite and (built again) on PostgreSQL.

#include "pgcluster.h"

#include "online/catalogueupdate.h"
#include "server/sources/importer.h"
#include "server/store/cataloguestore.h"
#include "testhttpserver.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

// The update line of a reply that holds the given text, or nothing.
QByteArray updateLine(const QByteArray &reply, const QByteArray &text)
{
    for (qsizetype start = 0; start < reply.size();) {
        qsizetype end = reply.indexOf("<BR>", start);
        if (end < 0)
            end = reply.size();
        const QByteArray line = reply.mid(start, end - start);
        if (line.contains(text))
            return line;
        start = end + 4;
    }
    return {};
}

struct Station
{
    QByteArray name;
    QByteArray url;
    QByteArray language = "english";
    int check = 1;
};

QByteArray stationList(const QList<Station> &stations)
{
    QByteArray out = "[";
    for (const Station &s : stations) {
        if (out.size() > 1)
            out += ",\n";
        out += "{\"name\":\"" + s.name + "\",\"url\":\"" + s.url + "\",\"language\":\"" +
               s.language +
               "\",\"votes\":100,\"clickcount\":7,\"lastcheckok\":" + QByteArray::number(s.check) +
               "}";
    }
    return out + "]";
}

class SyncTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        StoreOptions options;
        options.updateMarginSecs = 0;
        options.clock = [this] { return now; };
        auto s = CatalogueStore::open(mavrel::testing::testDatabase(dir), options);
        ASSERT_TRUE(s.ok()) << s.error().message.toStdString();
        store = std::move(s).value();
    }

    QString write(const QByteArray &data, const QString &name = u"stations.json"_s)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(data);
        return path;
    }

    ImportCounts sync(const QString &source)
    {
        ++now;
        auto r = syncSource(*store, source);
        EXPECT_TRUE(r.ok()) << r.error().message.toStdString();
        return r.ok() ? r.value() : ImportCounts{};
    }

    std::optional<ChannelState> byUrl(const QByteArray &url)
    {
        for (qint64 id = 1; id < 50; ++id) {
            auto s = store->channel(id);
            if (s.ok() && s.value() && !s.value()->removed && s.value()->record.url == url)
                return s.value();
        }
        return std::nullopt;
    }

    QTemporaryDir dir;
    qint64 now = 1'600'000'000;
    std::unique_ptr<CatalogueStore> store;
};

TEST_F(SyncTest, SecondSyncChangesNothing)
{
    const QString source = write(stationList({{"A", "http://a/"}, {"B", "http://b/"}}));
    const ImportCounts first = sync(source);
    EXPECT_EQ(first.added, 2);
    const qint64 latest = store->latestUpdateDate().value();
    now += 100;
    const ImportCounts second = sync(source);
    EXPECT_EQ(second.added + second.updated + second.vanished + second.returned, 0);
    EXPECT_EQ(second.duplicate, 0);
    EXPECT_EQ(store->latestUpdateDate().value(), latest);
    EXPECT_EQ(store->updateReply(latest, u"viewer"_s).value(), "");
}

TEST_F(SyncTest, ChangesReachViewersAsUpdateLinesAndFiguresStay)
{
    const QString source = write(stationList(
        {{"Keep", "http://keep/"}, {"Old", "http://rename/"}, {"Gone", "http://gone/"}}));
    sync(source);
    // A viewer's catalogue as the server gave it.
    const QString viewer = write(store->exportCatalogue().value(), u"Data.txt"_s);
    // The crowd's figures, which a sync must leave alone.
    ASSERT_TRUE(store->recordReport({"FAVORITE", "", "Old", false, u"1.1.1.1"_s}).ok());
    ASSERT_TRUE(store->recordReport({"RATING", "1", "Old", false, u"1.1.1.1"_s}).ok());
    const ChannelState before = *byUrl("http://rename/");
    const qint64 since = ++now;
    now += 10;

    write(stationList({{"Keep", "http://keep/"},
                       {"New Name", "http://rename/", "german"},
                       {"Fresh", "http://fresh/"}}));
    const ImportCounts c = sync(source);
    EXPECT_EQ(c.added, 1);
    EXPECT_EQ(c.updated, 1);
    EXPECT_EQ(c.vanished, 1);

    const QByteArray updates = store->updateReply(since, u"viewer"_s).value();
    EXPECT_TRUE(updates.contains("|New Name|Radio|")) << updates.data();
    EXPECT_TRUE(updates.contains("|Fresh|Radio|")) << updates.data();
    EXPECT_FALSE(updates.contains("|Keep|")) << updates.data();
    EXPECT_TRUE(updateLine(updates, "|Gone|").startsWith("DEL|")) << updates.data();
    const QByteArray dead = store->deadReply(since, u"viewer"_s).value();
    EXPECT_TRUE(dead.startsWith("DEL|") && dead.contains("|Gone|")) << dead.data();
    // An ordinary viewer merges the ordinary update alone: the vanished channel leaves its list.
    ASSERT_TRUE(extractNewDefs(viewer, updates).ok());
    QFile merged(viewer);
    ASSERT_TRUE(merged.open(QIODevice::ReadOnly));
    const QByteArray list = merged.readAll();
    EXPECT_FALSE(list.contains("|Gone|")) << list.data();
    for (const char *name : {"|Keep|", "|New Name|", "|Fresh|"})
        EXPECT_TRUE(list.contains(name)) << name << list.data();

    const ChannelState renamed = *byUrl("http://rename/");
    EXPECT_EQ(renamed.record.lang, "German");
    EXPECT_EQ(renamed.record.favorites, before.record.favorites);
    EXPECT_EQ(renamed.record.rating, before.record.rating);
    EXPECT_EQ(renamed.ratingCount, before.ratingCount);

    // Listed again: alive, and a change the ordinary update carries.
    const qint64 back = ++now;
    now += 10;
    write(stationList({{"Keep", "http://keep/"},
                       {"New Name", "http://rename/", "german"},
                       {"Fresh", "http://fresh/"},
                       {"Gone", "http://gone/"}}));
    EXPECT_EQ(sync(source).returned, 1);
    EXPECT_FALSE(byUrl("http://gone/")->dead);
    EXPECT_TRUE(
        updateLine(store->updateReply(back, u"viewer"_s).value(), "|Gone|").startsWith("ADD|"));
}

TEST_F(SyncTest, LeavesUserChannelsOtherSourcesAndCrowdDeathAlone)
{
    NewChannel submitted;
    submitted.name = "Mine";
    submitted.kind = "Radio";
    submitted.url = "http://shared/";
    submitted.lang = "English";
    ASSERT_EQ(store->submit(submitted, 4, u"9.9.9.9"_s).value().outcome, AddOutcome::Added);
    const QString one = write(stationList({{"Theirs", "http://shared/"}, {"X", "http://x/"}}));
    const QString other = write(stationList({{"Y", "http://y/"}}), u"other.json"_s);
    EXPECT_EQ(sync(one).duplicate, 1);
    sync(other);
    // Three viewers find X offline: the crowd's dead mark outlives syncs that still list it.
    for (const QString &client : {u"1.0.0.1"_s, u"1.0.0.2"_s, u"1.0.0.3"_s})
        ASSERT_TRUE(store->recordReport({"OFFLINE", "", "X", false, client}).ok());
    ASSERT_TRUE(byUrl("http://x/")->dead);

    write(stationList({{"Z", "http://z/"}}));
    const ImportCounts c = sync(one);
    EXPECT_EQ(c.vanished, 1); // X; the user's channel was never the source's
    const ChannelState mine = *byUrl("http://shared/");
    EXPECT_EQ(mine.record.name, "Mine");
    EXPECT_FALSE(mine.dead);
    EXPECT_FALSE(byUrl("http://y/")->dead);

    // Listed again, it stays dead: the viewers found it so, and only their ONLINE report lifts it.
    write(stationList({{"Z", "http://z/"}, {"X", "http://x/"}}));
    EXPECT_EQ(sync(one).returned, 0);
    EXPECT_TRUE(byUrl("http://x/")->dead);
    ASSERT_TRUE(store->recordReport({"ONLINE", "", "X", false, u"1.0.0.4"_s}).ok());
    EXPECT_FALSE(byUrl("http://x/")->dead);
}

TEST_F(SyncTest, UnreadableOrEmptySourceChangesNothing)
{
    const QString source = write(stationList({{"A", "http://a/"}}));
    sync(source);
    for (const QByteArray &broken : {QByteArray("[]"), QByteArray("[{\"name\":\"A\""),
                                     QByteArray("{\"error\":\"rate limited\"}")}) {
        write(broken);
        ++now;
        EXPECT_FALSE(syncSource(*store, source).ok()) << broken.data();
        EXPECT_FALSE(byUrl("http://a/")->dead) << broken.data();
    }
    EXPECT_FALSE(syncSource(*store, dir.filePath(u"missing.json"_s)).ok());
}

// A source's channels past its limit are skipped, at every sync.
TEST_F(SyncTest, ChannelsPastTheLimitAreSkipped)
{
    QList<Station> stations;
    for (int i = 0; i < 5; ++i)
        stations.append({"S" + QByteArray::number(i), "http://s" + QByteArray::number(i) + "/"});
    const QString source = write(stationList(stations));
    SourceLimits limits;
    limits.maxChannels = 3;
    for (int run = 0; run < 2; ++run) {
        ++now;
        auto r = syncSource(*store, source, limits);
        ASSERT_TRUE(r.ok()) << r.error().message.toStdString();
        EXPECT_EQ(r.value().added, run == 0 ? limits.maxChannels : 0);
        EXPECT_EQ(r.value().skipped, 2);
        EXPECT_EQ(r.value().vanished, 0);
    }
    EXPECT_EQ(store->channelCount().value(), limits.maxChannels);
}

TEST_F(SyncTest, StationDownAtItsSourceIsImportedDead)
{
    const QString source =
        write(stationList({{"Up", "http://up/"}, {"Down", "http://down/", "english", 0}}));
    ASSERT_TRUE(importSource(*store, source).ok());
    EXPECT_FALSE(byUrl("http://up/")->dead);
    EXPECT_TRUE(byUrl("http://down/")->dead);
    EXPECT_TRUE(store->deadReply(0, u"viewer"_s).value().contains("|Down|"));
    // Ordinary viewers never list it: it reaches them as a removal.
    const QByteArray updates = store->updateReply(0, u"viewer"_s).value();
    EXPECT_TRUE(updateLine(updates, "|Down|").startsWith("DEL|")) << updates.data();
    EXPECT_TRUE(updateLine(updates, "|Up|").startsWith("ADD|")) << updates.data();
    const QByteArray exported = store->exportCatalogue().value();
    EXPECT_TRUE(exported.contains("|Up|") && !exported.contains("|Down|")) << exported.data();
}

TEST_F(SyncTest, LoopbackSourcesAndTheirFailures)
{
    test::TestHttpServer http;
    ASSERT_TRUE(http.listen());
    const QByteArray list = stationList({{"Net", "http://net/"}});
    http.serve("/json/stations", list);
    http.serveRedirect("/moved", "/json/stations");
    http.serve("/tv/ca.m3u", "#EXTM3U\n#EXTINF:-1 tvg-id=\"N.ca\",Net TV\nhttp://nettv/\n");
    http.serve("/broken", "oops", 500);
    http.serveStall("/stall", list.first(20));
    http.serveGenerated("/huge", 2'000'000'000LL);

    ++now;
    auto moved = syncSource(*store, QString::fromLatin1(http.url("/moved")));
    ASSERT_TRUE(moved.ok()) << moved.error().message.toStdString();
    EXPECT_EQ(moved.value().added, 1);
    auto tv = syncSource(*store, QString::fromLatin1(http.url("/tv/ca.m3u")));
    ASSERT_TRUE(tv.ok()) << tv.error().message.toStdString();
    EXPECT_EQ(byUrl("http://nettv/")->record.lang, "Canada");
    const auto asked = http.requestsFor("/json/stations");
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].headers.value("user-agent").startsWith("catalogue-server/"));

    SourceLimits limits;
    limits.fetch.idleMs = 300;
    limits.fetch.totalMs = 5000;
    limits.fetch.maxBytes = 4 * 1024 * 1024;
    const struct
    {
        const char *path;
        const char *says;
    } failures[] = {{"/broken", "500"}, {"/stall", "stalled"}, {"/huge", "larger"}};
    for (const auto &f : failures) {
        auto r = syncSource(*store, QString::fromLatin1(http.url(f.path)), limits);
        ASSERT_FALSE(r.ok()) << f.path;
        EXPECT_TRUE(r.error().message.contains(QLatin1StringView(f.says)))
            << f.path << ": " << r.error().message.toStdString();
    }
    EXPECT_EQ(store->channelCount().value(), 2);
}

} // namespace
} // namespace mavrel::server
