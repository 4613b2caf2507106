// Reports recorded by PostgreSQL's record_report against the same reports on SQLite, step by
// step under one clock: every figure, dead mark and change date must come out the same.

#include "bothstores.h"

#include "server/store/cataloguestore.h"

#include <gtest/gtest.h>

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

TEST(PostgresReports, ComeOutAsOnSqlite)
{
    testing::BothStores both;
    ASSERT_TRUE(both.ok()) << both.error.toStdString();
    qint64 &now = both.now;
    CatalogueStore *stores[] = {both.sqlite.get(), both.postgres.get()};

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
            EXPECT_EQ(testing::channelText(*stores[0], id), testing::channelText(*stores[1], id));
    }
    EXPECT_EQ(both.sqlite->reportCount().value(), qint64(std::size(kSteps)));
    EXPECT_EQ(both.postgres->reportCount().value(), qint64(std::size(kSteps)));
    // The rules did apply, on both: a favourite counted, the staff report killed Two.
    const auto one = both.postgres->channel(ids[0]).value();
    const auto two = both.postgres->channel(ids[1]).value();
    EXPECT_EQ(one->record.favorites, "5");
    EXPECT_TRUE(two->dead);
    EXPECT_TRUE(one->dead);
}

} // namespace
} // namespace mavrel::server
