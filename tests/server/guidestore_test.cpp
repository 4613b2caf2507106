// The programme guide in the store and its pages, on SQLite and (built again) on PostgreSQL.

#include "pgcluster.h"

#include "server/catalogue/cataloguepages.h"
#include "server/sources/importer.h"
#include "server/store/cataloguestore.h"
#include "testhttpserver.h"

#include <gtest/gtest.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

constexpr qint64 kDay = 1'796'860'800; // 2026-12-10T00:00:00Z
constexpr qint64 kHour = 3600;

class GuideStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        location = mavrel::testing::testDatabase(dir);
        reopen();
        for (const char *id : {"one.tv", "two.tv"}) {
            NewChannel c{QByteArray(id), "TV", "http://s/" + QByteArray(id), "English", id, ""};
            ASSERT_TRUE(store->addChannel(c).ok());
        }
    }

    void reopen()
    {
        pages.reset();
        store.reset();
        StoreOptions options;
        options.clock = [this] { return now; };
        auto s = CatalogueStore::open(location, options);
        ASSERT_TRUE(s.ok()) << s.error().message.toStdString();
        store = std::move(s).value();
        pages = std::make_unique<CataloguePages>(*store);
    }

    // Stages the programmes and commits when asked; the writer is handed back for a later word.
    std::unique_ptr<CatalogueStore::GuideWriter> write(const QList<Programme> &programmes,
                                                       bool commit = true)
    {
        auto w = store->beginGuide();
        EXPECT_TRUE(w.ok()) << w.error().message.toStdString();
        bool added = w.ok();
        for (qsizetype i = 0; added && i < programmes.size(); ++i)
            added = w.value()->add(programmes[i]).ok();
        EXPECT_TRUE(added);
        if (added && commit) {
            EXPECT_EQ(w.value()->commit().value(), programmes.size());
        }
        return w.ok() ? std::move(w).value() : nullptr;
    }

    QByteArray page(const char *path, const QString &query = {}, int status = 200)
    {
        const auto r = pages->handle(QString::fromLatin1(path), query, u"1.2.3.4"_s);
        EXPECT_TRUE(r.has_value());
        EXPECT_EQ(r->status, status) << r->body.toStdString();
        return r->body;
    }

    QTemporaryDir dir;
    QString location;
    qint64 now = kDay;
    std::unique_ptr<CatalogueStore> store;
    std::unique_ptr<CataloguePages> pages;
};

Programme show(const char *id, qint64 start, qint64 stop, const char *title)
{
    return Programme{id, start, stop, QString::fromUtf8(title), {}, {}, {}};
}

TEST_F(GuideStoreTest, NowAndNextMoveOnAsProgrammesEnd)
{
    // two.tv's first programme gave no end: the next one's start ends it; its last keeps none.
    write({show("one.tv", kDay + 20 * kHour, kDay + 21 * kHour, "News"),
           show("one.tv", kDay + 21 * kHour, kDay + 22 * kHour, "Film"),
           show("two.tv", kDay + 20 * kHour + 1800, 0, "Quiz"),
           show("two.tv", kDay + 22 * kHour, 0, "Late")});
    const std::pair<qint64, const char *> cases[] = {
        {kDay + 19 * kHour, "one.tv||||2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|News\n"
                            "two.tv||||2026-12-10T20:30:00Z|2026-12-10T22:00:00Z|Quiz\n"},
        {kDay + 21 * kHour - 1, "one.tv|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|News|"
                                "2026-12-10T21:00:00Z|2026-12-10T22:00:00Z|Film\n"
                                "two.tv|2026-12-10T20:30:00Z|2026-12-10T22:00:00Z|Quiz|"
                                "2026-12-10T22:00:00Z|2026-12-10T22:00:00Z|Late\n"},
        {kDay + 21 * kHour, "one.tv|2026-12-10T21:00:00Z|2026-12-10T22:00:00Z|Film|||\n"
                            "two.tv|2026-12-10T20:30:00Z|2026-12-10T22:00:00Z|Quiz|"
                            "2026-12-10T22:00:00Z|2026-12-10T22:00:00Z|Late\n"},
        {kDay + 22 * kHour, ""},
    };
    for (const auto &[at, expected] : cases) {
        now = at;
        EXPECT_EQ(page("/guide/now.txt").toStdString(), expected) << "at " << at - kDay;
    }
}

TEST_F(GuideStoreTest, OnlyAGuideThatArrivedWholeReplacesProgrammes)
{
    write({show("one.tv", kDay, kDay + kHour, "Old one"),
           show("two.tv", kDay, kDay + kHour, "Old two")});
    // Abandoned, and dropped uncommitted, in batches past one transaction's worth.
    QList<Programme> many;
    for (int i = 0; i < 9000; ++i)
        many.append(show("one.tv", kDay + i * 60, kDay + i * 60 + 60, "New"));
    write(many, false)->abandon();
    write(many, false);
    // A guide of one channel replaces that channel's programmes and no other's.
    write({show("two.tv", kDay, kDay + 2 * kHour, "New two")});
    EXPECT_EQ(page("/guide/now.txt"),
              "one.tv|2026-12-10T00:00:00Z|2026-12-10T01:00:00Z|Old one|||\n"
              "two.tv|2026-12-10T00:00:00Z|2026-12-10T02:00:00Z|New two|||\n");

    // Whatever was staged and left behind, a large guide committed swaps in whole; its writer
    // takes no more.
    EXPECT_FALSE(write(many)->add(show("one.tv", kDay, kDay + 1, "late")).ok());

    // Ended before: the 100th ends at the moment given and stays.
    EXPECT_EQ(store->pruneProgrammes(kDay + 60 * 100).value(), 99);
    EXPECT_EQ(store->pruneProgrammes(kDay + 60 * 100 + 1).value(), 1);
    EXPECT_EQ(store->programmes("one.tv", kDay, kDay + 9000 * 60).value().size(), 8900);
}

TEST_F(GuideStoreTest, DayPageCoversTheLocalDayAndEncodesFields)
{
    write({show("one.tv", kDay - 2 * kHour, kDay - kHour, "Before"),
           Programme{"one.tv", kDay - kHour, kDay + kHour, u"Nacht|café 100%"_s,
                     u"Zwei\r\nZeilen"_s, u"Lang\nText"_s, u"Film"_s},
           show("one.tv", kDay + 22 * kHour, kDay + 23 * kHour, "Last"),
           show("one.tv", kDay + 23 * kHour, kDay + 24 * kHour, "Midnight")});
    EXPECT_EQ(page("/guide/day.txt", u"id=one.tv&date=2026-12-10"_s),
              "2026-12-09T23:00:00Z|2026-12-10T01:00:00Z|Nacht%7Ccaf\xc3\xa9 100%25|"
              "Zwei%0D%0AZeilen|Film|Lang%0AText\n"
              "2026-12-10T22:00:00Z|2026-12-10T23:00:00Z|Last|||\n"
              "2026-12-10T23:00:00Z|2026-12-11T00:00:00Z|Midnight|||\n");
    // Local midnight at UTC+1 is 23:00 the day before; at UTC-1 it is 01:00.
    const QByteArray east = page("/guide/day.txt", u"id=one.tv&date=2026-12-10&offset=60"_s);
    EXPECT_TRUE(east.startsWith("2026-12-09T23:00:00Z")) << east.data();
    EXPECT_TRUE(east.endsWith("|Last|||\n")) << east.data();
    const QByteArray west = page("/guide/day.txt", u"id=one.tv&date=2026-12-10&offset=-60"_s);
    EXPECT_TRUE(west.startsWith("2026-12-10T22:00:00Z")) << west.data();
    EXPECT_EQ(page("/guide/day.txt", u"id=two.tv&date=2026-12-10"_s), "");

    const std::pair<const char *, int> refused[] = {
        {"id=none.tv&date=2026-12-10", 404},
        {"date=2026-12-10", 400},
        {"id=one.tv&date=2026-13-10", 400},
        {"id=one.tv", 400},
        {"id=one.tv&date=2026-12-10&offset=1e3", 400},
        {"id=one.tv&date=2026-12-10&offset=900", 400},
    };
    for (const auto &[query, status] : refused)
        page("/guide/day.txt", QString::fromLatin1(query), status);
}

TEST_F(GuideStoreTest, ADatabaseFromBeforeTheGuideGetsItsTablesOnOpen)
{
    pages.reset();
    store.reset();
    {
        const bool postgres = isPostgresLocation(location);
        const QUrl url(location);
        QSqlDatabase db =
            QSqlDatabase::addDatabase(postgres ? u"QPSQL"_s : u"QSQLITE"_s, u"earlier"_s);
        db.setDatabaseName(postgres ? url.path().mid(1) : location);
        db.setHostName(url.host());
        db.setPort(url.port());
        db.setUserName(url.userName());
        ASSERT_TRUE(db.open());
        // As the schema was before the guide (PostgreSQL keeps its version in meta).
        for (const QString &statement :
             {u"DROP TABLE programmes"_s, u"DROP TABLE programmes_staging"_s,
              u"DROP TABLE programme_guides"_s,
              u"UPDATE meta SET value = 2 WHERE key = 'schema'"_s})
            EXPECT_TRUE(QSqlQuery(db).exec(statement)) << statement.toStdString();
        db.close();
    }
    QSqlDatabase::removeDatabase(u"earlier"_s);
    reopen();
    write({show("one.tv", kDay, kDay + kHour, "Back")}); // fails without the tables
}

QByteArray xmlProgramme(const char *id, const char *start, const char *stop, const char *title)
{
    return "<programme channel=\"" + QByteArray(id) + "\" start=\"" + start + "\" stop=\"" + stop +
           "\"><title>" + title + "</title></programme>";
}

TEST_F(GuideStoreTest, SyncReadsThePlaylistsGuideAfterItsChannelsAndKeepsItWhenALaterOneFails)
{
    now = kDay + 20 * kHour;
    test::TestHttpServer http;
    ASSERT_TRUE(http.listen());
    // three.tv arrives with the playlist: its programmes are kept only because the guide is read
    // after the channels.
    http.serve("/guide.xml",
               "<tv>" + xmlProgramme("three.tv", "20261210200000", "20261210210000", "Three") +
                   xmlProgramme("one.tv", "20261210190000", "20261210203000", "One") +
                   xmlProgramme("ghost.tv", "20261210200000", "20261210210000", "Ghost") +
                   xmlProgramme("one.tv", "20261225200000", "20261225210000", "Far") + "</tv>");
    http.serve("/cut.xml",
               "<tv>" + xmlProgramme("three.tv", "20261210200000", "20261210210000", "Replaced"));
    const QByteArray guide = http.url("/guide.xml");
    http.serve("/tv.m3u", "#EXTM3U x-tvg-url=\"/etc/passwd," + guide +
                              "\"\n#EXTINF:-1 tvg-id=\"three.tv\",Three\nhttp://three/\n");

    QList<QByteArray> printed;
    QStringList failed;
    const SourceRun run{{QString::fromLatin1(http.url("/tv.m3u"))},
                        {QString::fromLatin1(http.url("/cut.xml")), QString::fromLatin1(guide)},
                        true};
    EXPECT_FALSE(runSources(
        *store, run, {}, [&](const QByteArray &line) { printed.append(line); },
        [&](const QString &why) { failed.append(why); }));
    ASSERT_EQ(printed.size(), 2);
    EXPECT_EQ(printed[1], guide + ": programmes 2, out of window 1, unknown channel 1, bad 0");
    ASSERT_EQ(failed.size(), 2) << failed.join(u'\n').toStdString();
    EXPECT_TRUE(failed[0].contains(u"/etc/passwd"_s));
    EXPECT_TRUE(failed[1].contains(u"cut.xml"_s));
    EXPECT_EQ(http.requestsFor("/guide.xml").size(), 1);

    EXPECT_EQ(page("/guide/now.txt"),
              "one.tv|2026-12-10T19:00:00Z|2026-12-10T20:30:00Z|One|||\n"
              "three.tv|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|Three|||\n");
}

} // namespace
} // namespace mavrel::server
