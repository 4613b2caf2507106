#pragma once

// The same store on SQLite and on a throw-away PostgreSQL cluster under one clock, and a
// channel's whole state as one text, for tests that compare the two backends row for row.

#include "pgcluster.h"

#include "server/store/cataloguestore.h"

#include <QTemporaryDir>

#include <memory>
#include <string>

namespace mavrel::server::testing {

struct BothStores
{
    BothStores()
    {
        using namespace Qt::StringLiterals;
        if (!cluster.ok()) {
            error = cluster.error();
            return;
        }
        StoreOptions options;
        options.clock = [this]() { return now; };
        sqliteFile = dir.filePath(u"catalogue.db"_s);
        postgresLocation = cluster.newDatabase();
        auto s = CatalogueStore::open(sqliteFile, options);
        auto p = CatalogueStore::open(postgresLocation, options);
        if (!s.ok() || !p.ok()) {
            error = (s.ok() ? p.error() : s.error()).message;
            return;
        }
        sqlite = std::move(s).value();
        postgres = std::move(p).value();
    }
    bool ok() const { return sqlite && postgres; }

    mavrel::testing::PgCluster cluster;
    QTemporaryDir dir;
    qint64 now = 1'500'000'000;
    QString error;
    QString sqliteFile;
    QString postgresLocation;
    std::unique_ptr<CatalogueStore> sqlite;
    std::unique_ptr<CatalogueStore> postgres;
};

// Everything that can change of a channel, as one text; `extra` is appended.
inline std::string channelText(CatalogueStore &store, qint64 id, const std::string &extra = {})
{
    const auto s = store.channel(id);
    if (!s.ok() || !s.value())
        return "no channel " + std::to_string(id);
    const ChannelState &c = *s.value();
    return c.record.toLine().value().toStdString() + " dead " + std::to_string(c.dead) +
           " removed " + std::to_string(c.removed) + " changed " + std::to_string(c.changed) +
           " dead changed " + std::to_string(c.deadChanged) + " ratings " +
           std::to_string(c.ratingCount) + extra;
}

} // namespace mavrel::server::testing
