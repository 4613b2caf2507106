#include "catalogue/scramble.h"
#include "online/datetext.h"
#include "server/catalogue/rules.h"
#include "server/store/cataloguestore.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

const QString kA = u"10.0.0.1"_s;
const QString kB = u"10.0.0.2"_s;
const QString kC = u"10.0.0.3"_s;

NewChannel channel(const QByteArray &name, const QByteArray &url, const QByteArray &kind = "TV")
{
    NewChannel c;
    c.name = name;
    c.kind = kind;
    c.url = url;
    c.lang = "English";
    return c;
}

// Ids named by the lines of an update reply, with their commands.
QList<QByteArray> lineHeads(const QByteArray &reply)
{
    QList<QByteArray> heads;
    for (const QByteArray &line : reply.split('<')) {
        QByteArray l = line.startsWith("BR>") ? line.mid(3) : line;
        const QList<QByteArray> f = l.split('|');
        if (f.size() >= 2)
            heads.append(f[0] + ' ' + f[1]);
    }
    return heads;
}

class StoreTest : public ::testing::Test
{
protected:
    void open(qint64 margin = 0)
    {
        StoreOptions options;
        options.updateMarginSecs = margin;
        options.clock = [this]() { return now; };
        auto s = CatalogueStore::open(dir.filePath(u"catalogue.db"_s), options);
        ASSERT_TRUE(s.ok()) << s.error().message.toStdString();
        store = std::move(s).value();
    }
    void SetUp() override { open(); }

    qint64 add(const QByteArray &name, const QByteArray &url)
    {
        auto r = store->addChannel(channel(name, url));
        EXPECT_TRUE(r.ok());
        EXPECT_EQ(r.value().outcome, AddOutcome::Added);
        return r.value().id;
    }
    void report(const char *type, const char *value, const QByteArray &item, const QString &client,
                bool admin = false)
    {
        ASSERT_TRUE(store->recordReport(Report{type, value, item, admin, client}).ok());
    }
    ChannelState state(qint64 id)
    {
        auto s = store->channel(id);
        EXPECT_TRUE(s.ok() && s.value().has_value());
        return *s.value();
    }

    QTemporaryDir dir;
    qint64 now = 1'500'000'000;
    std::unique_ptr<CatalogueStore> store;
};

TEST(RatingFigure, IsTheMeanWithAtMostTwoDecimals)
{
    const struct
    {
        double sum;
        qint64 count;
        const char *text;
    } cases[] = {{0, 0, "0"},     {4, 1, "4"},     {9, 2, "4.5"}, {17, 4, "4.25"},
                 {13, 3, "4.33"}, {14, 3, "4.67"}, {25, 5, "5"},  {4.25 + 3, 2, "3.63"}};
    for (const auto &c : cases)
        EXPECT_EQ(formatRatingFigure(c.sum, c.count), QByteArray(c.text))
            << c.sum << "/" << c.count;
}

TEST(CarriableText, RefusesWhatWouldBreakALine)
{
    EXPECT_TRUE(isCarriableField("News 24"));
    for (const char *bad : {"a|b", "a\rb", "a\nb", "a<BR>b"})
        EXPECT_FALSE(isCarriableField(bad)) << bad;
    EXPECT_TRUE(isCarriableField("a<br>b")); // the viewer splits on the capital form only
    EXPECT_FALSE(isCarriableField(QByteArray("a\0b", 3)));

    EXPECT_TRUE(isCarriableAddress("http://example.com/a?b=c&d=%20"));
    // Plain bytes whose scrambled form is "|", LF or CR, and byte 255, cannot be carried.
    for (int bad : {124 - kScrambleKey, 265 - kScrambleKey, 268 - kScrambleKey, 255})
        EXPECT_FALSE(isCarriableAddress(QByteArray("http://x/") + char(bad))) << bad;
}

TEST_F(StoreTest, FavoritesCountOncePerClientWithinTheWindow)
{
    const qint64 id = add("News", "http://news/");
    for (int i = 0; i < 20; ++i)
        report("FAVORITE", "", "News", kA);
    report("FAVORITE", "", "News", kB);
    EXPECT_EQ(state(id).record.favorites, "2");
    now += kVoteWindowSecs + 1;
    report("FAVORITE", "", "News", kA);
    EXPECT_EQ(state(id).record.favorites, "3");
    EXPECT_EQ(store->reportCount().value(), 22);
}

TEST_F(StoreTest, RatingFloodFromOneAddressCountsOnce)
{
    const qint64 id = add("Jazz", "http://jazz/");
    report("Rate", "5", "Jazz", kA);
    for (int i = 0; i < 100; ++i) {
        report("Rate", "1", "Jazz", kB);
        now += 5; // the window slides with every rating: the flood never gets out of it
    }
    EXPECT_EQ(state(id).record.rating, "3");
    EXPECT_EQ(state(id).ratingCount, 2);
    // A change of mind inside the window replaces the earlier rating.
    report("Rate", "4", "Jazz", kB);
    EXPECT_EQ(state(id).record.rating, "4.5");
    // After a quiet window the same address counts again.
    now += kVoteWindowSecs;
    report("Rate", "3", "Jazz", kB);
    EXPECT_EQ(state(id).record.rating, "4");
    EXPECT_EQ(state(id).ratingCount, 3);
}

TEST_F(StoreTest, ReportsChangeEveryChannelOfThatNameAndIgnoreTheRest)
{
    const qint64 a = add("Twin", "http://twin/1");
    const qint64 b = add("Twin", "http://twin/2");
    const qint64 other = add("Other", "http://other/");
    report("Rate", "4", "Twin", kA);
    EXPECT_EQ(state(a).record.rating, "4");
    EXPECT_EQ(state(b).record.rating, "4");
    EXPECT_EQ(state(other).record.rating, "0");

    const qint64 before = state(other).changed;
    now += 10;
    const struct
    {
        const char *type, *value, *item;
    } ignored[] = {{"Rate", "6", "Other"}, {"Rate", "0", "Other"},     {"Rate", "x", "Other"},
                   {"rate", "3", "Other"}, {"FAVOURITE", "", "Other"}, {"FAVORITE", "", "other"},
                   {"Rate", "33", "Other"}};
    for (const auto &r : ignored)
        report(r.type, r.value, r.item, kA);
    EXPECT_EQ(state(other).record.rating, "0");
    EXPECT_EQ(state(other).record.favorites, "0");
    EXPECT_EQ(state(other).changed, before);
    EXPECT_EQ(store->reportCount().value(), qint64(1 + std::size(ignored)));
}

TEST_F(StoreTest, ChannelDiesAfterThreeReportersWithoutOnlineOrOneStaffReport)
{
    const qint64 id = add("Flaky", "http://flaky/");
    const qint64 staff = add("Gone", "http://gone/");
    const qint64 since = now - 100;
    for (int i = 0; i < 10; ++i)
        report("OFFLINE", "", "Flaky", kA); // one address alone cannot kill it
    report("OFFLINE", "", "Flaky", kB);
    EXPECT_FALSE(state(id).dead);
    report("ONLINE", "", "Flaky", kC); // an ONLINE report starts the count afresh
    report("OFFLINE", "", "Flaky", kC);
    report("OFFLINE", "", "Flaky", kA);
    EXPECT_FALSE(state(id).dead);
    now += 5;
    report("OFFLINE", "", "Flaky", kB);
    EXPECT_TRUE(state(id).dead);

    report("OFFLINE", "\"", "Gone", kA, /*admin=*/true);
    EXPECT_TRUE(state(staff).dead);

    auto dead = store->deadReply(since, kA);
    ASSERT_TRUE(dead.ok());
    EXPECT_EQ(lineHeads(dead.value()), (QList<QByteArray>{"DEL " + QByteArray::number(id),
                                                          "DEL " + QByteArray::number(staff)}));

    // Becoming dead is not a catalogue change; coming back is one.
    const qint64 changedWhileDead = state(id).changed;
    now += 5;
    report("ONLINE", "", "Flaky", kA);
    EXPECT_FALSE(state(id).dead);
    EXPECT_GT(state(id).changed, changedWhileDead);
    auto deadAfter = store->deadReply(since, kA);
    EXPECT_EQ(lineHeads(deadAfter.value()), QList<QByteArray>{"DEL " + QByteArray::number(staff)});
}

TEST_F(StoreTest, ChangeInTheSecondOfAnUpdateReachesTheViewerNextTime)
{
    const qint64 first = add("One", "http://one/");
    const qint64 start = initialUpdateDate().toSecsSinceEpoch();
    auto reply = store->updateReply(start, kA);
    EXPECT_EQ(lineHeads(reply.value()), QList<QByteArray>{"ADD " + QByteArray::number(first)});
    const qint64 stored = store->dateFor(kA).value();
    EXPECT_LT(stored, now); // never the current second

    const qint64 second = add("Two", "http://two/"); // same second as the reply and the date
    EXPECT_GT(store->latestChange().value(), stored);
    auto next = store->updateReply(stored, kA);
    EXPECT_TRUE(lineHeads(next.value()).contains("ADD " + QByteArray::number(second)));
}

TEST_F(StoreTest, ChangeBetweenUpdateAndDateRequestIsNotLost)
{
    add("One", "http://one/");
    const qint64 start = initialUpdateDate().toSecsSinceEpoch();
    ASSERT_TRUE(store->updateReply(start, kA).ok());
    now += 30; // the viewer shows its message box before asking for the date
    const qint64 late = add("Late", "http://late/");
    now += 600;
    const qint64 stored = store->dateFor(kA).value();
    auto next = store->updateReply(stored, kA);
    EXPECT_TRUE(lineHeads(next.value()).contains("ADD " + QByteArray::number(late)));

    // Another address has its own memory: its date does not move to this viewer's fetch.
    ASSERT_TRUE(store->updateReply(start, kB).ok());
    now += 50;
    const qint64 forB = add("ForB", "http://forb/");
    now += 50;
    const qint64 storedA = store->dateFor(kA).value();
    auto nextA = store->updateReply(storedA, kA);
    EXPECT_TRUE(lineHeads(nextA.value()).contains("ADD " + QByteArray::number(forB)));
}

TEST_F(StoreTest, ClockSteppingBackDoesNotDateChangesBeforeAStoredDate)
{
    add("One", "http://one/");
    ASSERT_TRUE(store->updateReply(initialUpdateDate().toSecsSinceEpoch(), kA).ok());
    const qint64 stored = store->dateFor(kA).value();
    now -= 3600;
    const qint64 id = add("Back", "http://back/");
    EXPECT_GT(state(id).changed, stored);
    EXPECT_TRUE(lineHeads(store->updateReply(stored, kA).value())
                    .contains("ADD " + QByteArray::number(id)));
}

TEST_F(StoreTest, DeadMarksMoveTheCurrentDateButAreNoChange)
{
    const qint64 id = add("Flaky", "http://flaky/");
    now += 10;
    ASSERT_TRUE(store->updateReply(initialUpdateDate().toSecsSinceEpoch(), kA).ok());
    const qint64 stored = store->dateFor(kA).value();
    EXPECT_LE(store->latestUpdateDate().value(), stored);
    now += 60;
    report("OFFLINE", "", "Flaky", kB, /*admin=*/true);
    EXPECT_LE(store->latestChange().value(), stored);
    EXPECT_GT(store->latestUpdateDate().value(), stored) << "the dead list must be asked for";
    EXPECT_TRUE(lineHeads(store->updateReply(stored, kA).value()).isEmpty());
    EXPECT_EQ(lineHeads(store->deadReply(stored, kA).value()),
              QList<QByteArray>{"DEL " + QByteArray::number(id)});
}

TEST_F(StoreTest, UpdateFetchesKeepOneRowPerClientAndExpire)
{
    add("One", "http://one/");
    const qint64 start = initialUpdateDate().toSecsSinceEpoch();
    const auto rows = [this] {
        const QString connection = QUuid::createUuid().toString();
        qint64 n = -1;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
            db.setDatabaseName(dir.filePath(u"catalogue.db"_s));
            QSqlQuery q(db);
            if (db.open() && q.exec(u"SELECT COUNT(*) FROM update_fetches"_s) && q.next())
                n = q.value(0).toLongLong();
        }
        QSqlDatabase::removeDatabase(connection);
        return n;
    };
    for (int i = 0; i < 2000; ++i) {
        ASSERT_TRUE(store->updateReply(start + i, kA).ok());
        if (i % 100 == 0)
            now += 1;
    }
    ASSERT_TRUE(store->deadReply(start, kB).ok());
    EXPECT_EQ(rows(), 2);
    // The earliest unconfirmed fetch still decides the date.
    EXPECT_EQ(store->dateFor(kA).value(), 1'500'000'000 - 1);
    now += kReadMemorySecs + 1;
    ASSERT_TRUE(store->updateReply(start, kC).ok());
    EXPECT_EQ(rows(), 1);
}

TEST_F(StoreTest, HandedOutDateSurvivesARestart)
{
    add("One", "http://one/");
    ASSERT_TRUE(store->updateReply(initialUpdateDate().toSecsSinceEpoch(), kA).ok());
    const qint64 stored = store->dateFor(kA).value();
    store.reset();
    now -= 3600;
    open();
    const qint64 id = add("After", "http://after/");
    EXPECT_GT(state(id).changed, stored);
}

TEST_F(StoreTest, MarginReplaysRecentChangesToAnUnknownViewer)
{
    store.reset();
    open(/*margin=*/300);
    const qint64 id = add("One", "http://one/");
    now += 100;
    // A viewer whose fetch the server does not know asks from a date after the change.
    auto reply = store->updateReply(now - 50, kC);
    EXPECT_TRUE(lineHeads(reply.value()).contains("ADD " + QByteArray::number(id)));
    now += 400;
    EXPECT_TRUE(lineHeads(store->updateReply(now - 50, kC).value()).isEmpty());
}

TEST_F(StoreTest, FigureChangesAndRemovalsAreUpdates)
{
    const qint64 keep = add("Keep", "http://keep/");
    const qint64 drop = add("Drop", "http://drop/");
    ASSERT_TRUE(store->updateReply(initialUpdateDate().toSecsSinceEpoch(), kA).ok());
    const qint64 stored = store->dateFor(kA).value();
    now += 10;
    report("Rate", "5", "Keep", kA);
    ASSERT_TRUE(store->removeChannel(drop).value());
    EXPECT_FALSE(store->removeChannel(drop).value());
    const QByteArray reply = store->updateReply(stored, kA).value();
    EXPECT_EQ(lineHeads(reply), (QList<QByteArray>{"ADD " + QByteArray::number(keep),
                                                   "DEL " + QByteArray::number(drop)}));
    // Ten fields each, the figures last, the address scrambled.
    const QList<QByteArray> fields = reply.left(reply.indexOf("<BR>")).split('|');
    ASSERT_EQ(fields.size(), 10);
    EXPECT_EQ(fields[8], "0");
    EXPECT_EQ(fields[9], "5");
    EXPECT_EQ(fields[4], encryptString("http://keep/").value());
    EXPECT_FALSE(store->exportCatalogue().value().contains("Drop"));
}

TEST_F(StoreTest, DuplicatesAndInvalidChannelsAreRefused)
{
    const qint64 id = add("First", "http://same/");
    auto dupe = store->addChannel(channel("Second", "http://same/"));
    EXPECT_EQ(dupe.value().outcome, AddOutcome::Duplicate);
    EXPECT_EQ(dupe.value().id, id);
    EXPECT_EQ(store->submit(channel("Third", "http://same/", "Radio"), 5, kA).value().outcome,
              AddOutcome::Duplicate);
    // A removed channel's address may come back.
    ASSERT_TRUE(store->removeChannel(id).value());
    EXPECT_EQ(store->addChannel(channel("Again", "http://same/")).value().outcome,
              AddOutcome::Added);

    const NewChannel invalid[] = {
        channel("", "http://a/"),
        channel("   ", "http://b/"),
        channel("Pipe|Name", "http://c/"),
        channel("Break<BR>Name", "http://d/"),
        channel("Kind", "http://e/", "tv"),
        channel("NoUrl", ""),
        channel("Cr", QByteArray("http://f/") + char(268 - kScrambleKey)),
        channel("Long", "http://g/" + QByteArray(kMaxUrlBytes, 'x')),
    };
    for (const NewChannel &c : invalid)
        EXPECT_EQ(store->addChannel(c).value().outcome, AddOutcome::Invalid) << c.name.data();
    EXPECT_EQ(store->channelCount().value(), 1);
}

TEST_F(StoreTest, SubmitterRatingIsTheFirstRating)
{
    auto added = store->submit(channel("Sub", "http://sub/", "Radio"), 4, kA);
    ASSERT_EQ(added.value().outcome, AddOutcome::Added);
    EXPECT_EQ(state(added.value().id).record.rating, "4");
    report("Rate", "2", "Sub", kA); // the same address, inside the window: replaces it
    EXPECT_EQ(state(added.value().id).record.rating, "2");
    auto unrated = store->submit(channel("Zero", "http://zero/", "Radio"), 0, kA);
    EXPECT_EQ(state(unrated.value().id).record.rating, "0");
}

// A database from before the bounded log: its store opens, and its reports stay counted.
TEST(StoreMigration, KeepsTheCountOfAnEarlierReportsLog)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(u"catalogue.db"_s);
    const QString connection = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        db.setDatabaseName(file);
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        ASSERT_TRUE(q.exec(u"CREATE TABLE reports (seq INTEGER PRIMARY KEY, at INTEGER NOT NULL,"
                           " client TEXT NOT NULL, type BLOB NOT NULL, value BLOB NOT NULL,"
                           " item BLOB NOT NULL, admin INTEGER NOT NULL)"_s));
        for (int i = 0; i < 3; ++i)
            ASSERT_TRUE(q.exec(u"INSERT INTO reports (at, client, type, value, item, admin)"
                               " VALUES (1, 'a', 'ONLINE', '', 'Gone', 0)"_s));
    }
    QSqlDatabase::removeDatabase(connection);
    auto store = CatalogueStore::open(file);
    ASSERT_TRUE(store.ok()) << store.error().message.toStdString();
    ASSERT_TRUE(store.value()->addChannel(channel("Here", "http://here/")).ok());
    ASSERT_TRUE(store.value()->recordReport(Report{"ONLINE", "", "Here", false, kA}).ok());
    EXPECT_EQ(store.value()->reportCount().value(), 4);
}

} // namespace
} // namespace mavrel::server
