// Reports recorded by PostgreSQL's record_report against the same reports on SQLite, step by
// step under one clock: every figure, dead mark and change date must come out the same.

#include "pgcluster.h"

#include "server/store.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

struct Step
{
    qint64 seconds; // the clock moves by this much first (back, when negative)
    const char *type;
    const char *value;
    QByteArray item;
    const char *client;
    bool admin = false;
    bool handOut = false; // a viewer fetches its stored date before the report
};

const Step kSteps[] = {
    {0, "FAVORITE", "", "One", "10.0.0.1"},
    {10, "FAVORITE", "", "One", "10.0.0.1"}, // inside the window: not counted
    {700, "FAVORITE", "", "One", "10.0.0.1"},
    {1, "FAVORITE", "", "One", "10.0.0.2"},
    {1, "Rate", "4", "Two", "10.0.0.1"}, // both channels named Two
    {5, "Rate", "2", "Two", "10.0.0.1"}, // replaces the 4
    {5, "Rate", "2", "Two", "10.0.0.1"}, // the same again: no change
    {1, "Rate", "5", "Two", "10.0.0.2"},
    {1, "Rate", "9", "Two", "10.0.0.3"},
    {1, "Rate", "44", "Two", "10.0.0.3"},
    {700, "Rate", "1", "Two", "10.0.0.1"}, // the window has passed: a new rating
    {1, "OFFLINE", "", "One", "10.0.0.1"},
    {1, "OFFLINE", "", "One", "10.0.0.2"},
    {1, "ONLINE", "", "One", "10.0.0.3"}, // clears the two
    {1, "OFFLINE", "", "One", "10.0.0.1"},
    {1, "OFFLINE", "", "One", "10.0.0.1"},
    {1, "OFFLINE", "", "One", "10.0.0.2"},
    {1, "OFFLINE", "", "One", "10.0.0.3"},       // the third address: dead
    {1, "OFFLINE", "", "One", "10.0.0.4"},       // already dead: no new dead date
    {1, "ONLINE", "", "One", "10.0.0.2"},        // revived
    {1, "OFFLINE", "", "Two", "10.0.0.1", true}, // staff: dead at once
    {1, "FAVORITE", "", "Gone", "10.0.0.1"},     // removed: untouched
    {1, "Hello", "", "One", "10.0.0.1"},
    {1, "FAVORITE", "", "No such channel", "10.0.0.1"},
    // The clock steps back after a date was handed out: changes still come after that date.
    {5, "FAVORITE", "", "One", "10.0.0.5", false, true},
    {-60, "FAVORITE", "", "One", "10.0.0.6"},
    {-1, "Rate", "3", "One", "10.0.0.6"},
    {0, "OFFLINE", "", "One", "10.0.0.6", true},
};

// Everything a report can change of a channel, as one text.
std::string shown(CatalogueStore &store, qint64 id)
{
    const auto s = store.channel(id);
    if (!s.ok() || !s.value())
        return "no channel " + std::to_string(id);
    const ChannelState &c = *s.value();
    return c.record.toLine().value().toStdString() + " dead " + std::to_string(c.dead) +
           " removed " + std::to_string(c.removed) + " changed " + std::to_string(c.changed) +
           " dead changed " + std::to_string(c.deadChanged) + " ratings " +
           std::to_string(c.ratingCount);
}

TEST(PostgresReports, ComeOutAsOnSqlite)
{
    testing::PgCluster cluster;
    ASSERT_TRUE(cluster.ok()) << cluster.error().toStdString();
    QTemporaryDir dir;
    qint64 now = 1'500'000'000;
    StoreOptions options;
    options.clock = [&now]() { return now; };
    auto sqlite = CatalogueStore::open(dir.filePath(u"catalogue.db"_s), options);
    auto postgres = CatalogueStore::open(cluster.newDatabase(), options);
    ASSERT_TRUE(sqlite.ok()) << sqlite.error().message.toStdString();
    ASSERT_TRUE(postgres.ok()) << postgres.error().message.toStdString();
    CatalogueStore *stores[] = {sqlite.value().get(), postgres.value().get()};

    QList<qint64> ids;
    for (const char *name : {"One", "Two", "Two", "Gone"}) {
        NewChannel c;
        c.name = name;
        c.kind = "TV";
        c.url = "http://example.com/" + QByteArray::number(ids.size());
        c.lang = "English";
        qint64 id = 0;
        for (CatalogueStore *s : stores) {
            auto added = s->addChannel(c);
            ASSERT_TRUE(added.ok() && added.value().outcome == AddOutcome::Added);
            EXPECT_TRUE(id == 0 || id == added.value().id);
            id = added.value().id;
        }
        ids.append(id);
    }
    for (CatalogueStore *s : stores)
        ASSERT_TRUE(s->removeChannel(ids.last()).ok());

    for (const Step &step : kSteps) {
        now += step.seconds;
        SCOPED_TRACE(QByteArray(step.type + (" " + step.item) + " from " + step.client + " at " +
                                QByteArray::number(now))
                         .toStdString());
        for (CatalogueStore *s : stores) {
            if (step.handOut) {
                ASSERT_TRUE(s->dateFor(QString::fromLatin1(step.client)).ok());
            }
            ASSERT_TRUE(s->recordReport(Report{step.type, step.value, step.item, step.admin,
                                               QString::fromLatin1(step.client)})
                            .ok());
        }
        for (qint64 id : ids)
            EXPECT_EQ(shown(*sqlite.value(), id), shown(*postgres.value(), id));
    }
    EXPECT_EQ(sqlite.value()->reportCount().value(), qint64(std::size(kSteps)));
    EXPECT_EQ(postgres.value()->reportCount().value(), qint64(std::size(kSteps)));
    // The rules did apply, on both: a favourite counted, the staff report killed Two.
    const auto one = postgres.value()->channel(ids[0]).value();
    const auto two = postgres.value()->channel(ids[1]).value();
    EXPECT_EQ(one->record.favorites, "5");
    EXPECT_TRUE(two->dead);
    EXPECT_TRUE(one->dead);
}

} // namespace
} // namespace mavrel::server
