// An import of more channels than PostgreSQL takes in one statement, against the same import on
// SQLite under one clock: ids, duplicates, dead marks, figures, dates and ownership must match.

#include "bothstores.h"

#include "server/sources/importer.h"
#include "server/store/cataloguestore.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

constexpr int kStations = kChannelsPerInsert + 20;

struct Special
{
    int at; // replaces the station at this position
    const char *name;
    const char *url;
    qint64 wantedId = 0;
};

// Taken before the import: id 1 at http://taken/, id 2 removed from http://removed/. The first
// statement holds stations 0 to 501 (two of them take none), the second the rest up to 509.
const Special kSpecials[] = {
    {5, "", "http://later/"},                           // invalid: does not hold the address
    {10, "Twin", "http://twin/"},                       // and its duplicate in the same statement
    {11, "Twin again", "http://twin/"},                 //
    {12, "Back", "http://removed/"},                    // a removed channel's address is free
    {kChannelsPerInsert - 2, "Split", "http://split/"}, // and its duplicate in the next one
    {kChannelsPerInsert + 3, "Split again", "http://split/"},
    {kChannelsPerInsert + 5, "Later", "http://later/"},
    {kChannelsPerInsert + 6, "Taken", "http://taken/"},           // duplicate of a listed channel
    {kChannelsPerInsert + 10, "Wants 900", "http://w900/", 900},  // free: kept, later ids follow
    {kChannelsPerInsert + 11, "Wants 1", "http://w1/", 1},        // taken before: a new id
    {kChannelsPerInsert + 12, "Wants 8", "http://w8/", 8},        // taken by station 6
    {kChannelsPerInsert + 13, "Wants 950", "http://taken/", 950}, // a duplicate takes no id
};

ParsedSource stations()
{
    ParsedSource parsed;
    for (int i = 0; i < kStations; ++i) {
        SourceEntry e{{"Station " + QByteArray::number(i), "Radio",
                       "http://s.invalid/" + QByteArray::number(i), i % 2 ? "German" : "Other", "",
                       ""},
                      i % 7 == 0};
        seedFigures(e.channel, i * 7.3, i % 40);
        parsed.entries.append(e);
    }
    for (const Special &s : kSpecials) {
        NewChannel &c = parsed.entries[s.at].channel;
        std::tie(c.name, c.url, c.wantedId) = std::tuple(s.name, s.url, s.wantedId);
    }
    return parsed;
}

// Everything an import sets of a channel, and who owns it, as one text.
std::string shown(CatalogueStore &store, qint64 id, const QHash<qint64, int> &owned)
{
    return testing::channelText(store, id, " owned " + std::to_string(owned.value(id, -1)));
}

TEST(PostgresImport, ComesOutAsOnSqliteAcrossStatements)
{
    testing::BothStores both;
    ASSERT_TRUE(both.ok()) << both.error.toStdString();
    qint64 &now = both.now;
    CatalogueStore *stores[] = {both.sqlite.get(), both.postgres.get()};
    const ParsedSource parsed = stations();
    const QString key = u"http://directory.invalid/json/stations"_s;

    for (CatalogueStore *s : stores) {
        for (const char *url : {"http://taken/", "http://removed/"}) {
            ASSERT_TRUE(s->addChannel(NewChannel{"User's", "TV", url, "English", "", ""}).ok());
        }
        ASSERT_TRUE(s->removeChannel(2).value());
        // A date handed out, then the clock steps back: the import is dated after that date.
        now += 10;
        ASSERT_TRUE(s->dateFor(u"viewer"_s).ok());
        now -= 60;
        auto r = syncParsed(*s, key, parsed, false);
        ASSERT_TRUE(r.ok()) << r.error().message.toStdString();
        EXPECT_EQ(r.value().added, kStations - 5);
        EXPECT_EQ(r.value().duplicate, 4);
        EXPECT_EQ(r.value().skipped, 1);
        now += 50;
    }
    QHash<qint64, int> owned[2];
    for (int b = 0; b < 2; ++b) {
        const auto list = stores[b]->sourceChannels(key);
        ASSERT_TRUE(list.ok());
        for (const SourceChannel &c : list.value())
            owned[b].insert(c.id, c.vanished);
    }
    for (qint64 id = 1; id <= 901 + kStations; ++id)
        ASSERT_EQ(shown(*stores[0], id, owned[0]), shown(*stores[1], id, owned[1]));

    // The rules did apply, on both: ids run on across statements and around the wanted ones.
    CatalogueStore &pg = *stores[1];
    const std::pair<qint64, const char *> names[] = {
        {499, "Split"},   {503, "Station 502"}, {900, "Wants 900"},
        {901, "Wants 1"}, {902, "Wants 8"},     {903, "Station 514"},
    };
    for (const auto &[id, name] : names)
        EXPECT_EQ(pg.channel(id).value().value_or(ChannelState{}).record.name, name) << id;
    EXPECT_TRUE(pg.channel(3).value()->dead); // station 0, down at its source
    EXPECT_EQ(pg.channel(3).value()->changed, 1'500'000'001);
}

} // namespace
} // namespace mavrel::server
