// A flood of reports of every kind, to existing and unknown names from ever new addresses, on
// both backends: what the database holds after a second flood ten times the first is no more
// than after the first.

#include "bothstores.h"

#include "server/store/cataloguestore.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUrl>
#include <QUuid>

#include <map>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

constexpr int kNames = 10;
const char *const kTables[] = {"reports", "votes", "offline_votes", "report_tally"};

// Rows of each table, read through a connection of the test's own.
std::map<std::string, qint64> rowCounts(const QString &location)
{
    std::map<std::string, qint64> out;
    const QString connection = QUuid::createUuid().toString();
    {
        QSqlDatabase db;
        if (location.startsWith(u"postgresql://"_s)) {
            const QUrl url(location);
            db = QSqlDatabase::addDatabase(u"QPSQL"_s, connection);
            db.setHostName(url.host());
            db.setPort(url.port());
            db.setUserName(url.userName());
            db.setDatabaseName(url.path().mid(1));
        } else {
            db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
            db.setDatabaseName(location);
        }
        if (db.open()) {
            QSqlQuery q(db);
            for (const char *table : kTables) {
                if (q.exec(u"SELECT COUNT(*) FROM "_s + QLatin1String(table)) && q.next())
                    out[table] = q.value(0).toLongLong();
            }
            // The file's size after the log is folded back into it.
            (void)q.exec(u"PRAGMA wal_checkpoint(TRUNCATE)"_s);
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return out;
}

TEST(ReportFlood, LeavesTheDatabaseNoLargerThanASmallerOne)
{
    testing::BothStores both;
    ASSERT_TRUE(both.ok()) << both.error.toStdString();
    CatalogueStore *stores[] = {both.sqlite.get(), both.postgres.get()};
    for (int i = 0; i < kNames; ++i) {
        NewChannel c;
        c.name = "Known " + QByteArray::number(i);
        c.kind = "TV";
        c.url = "http://known.invalid/" + QByteArray::number(i);
        c.lang = "English";
        for (CatalogueStore *s : stores)
            ASSERT_TRUE(s->addChannel(c).ok());
    }
    // ONLINE clears a channel's offline votes: rare, so that they pile up in between.
    static const struct
    {
        const char *type, *value;
    } kinds[] = {{"FAVORITE", ""}, {"Rate", "3"}, {"OFFLINE", ""}, {"Bogus", "x"}, {"OFFLINE", ""}};
    int sent = 0;
    // Every report from a new address; a second passes every report, so each flood outlasts
    // the vote window many times.
    auto flood = [&](int n) {
        for (int i = 0; i < n; ++i, ++sent) {
            both.now += 1;
            const auto &kind = kinds[sent % std::size(kinds)];
            const char *type = sent % 500 == 499 ? "ONLINE" : kind.type;
            const QByteArray item = sent % 3 == 0
                                        ? "Unknown " + QByteArray::number(sent)
                                        : "Known " + QByteArray::number(sent / 7 % kNames);
            const QString client =
                u"10.%1.%2.%3"_s.arg(sent / 65536 % 256).arg(sent / 256 % 256).arg(sent % 256);
            for (CatalogueStore *s : stores)
                ASSERT_TRUE(s->recordReport(Report{type, kind.value, item, false, client}).ok());
        }
    };
    flood(1500);
    const auto sqliteFirst = rowCounts(both.sqliteFile);
    const auto postgresFirst = rowCounts(both.postgresLocation);
    const qint64 sizeFirst = QFileInfo(both.sqliteFile).size();
    flood(15000);
    const auto sqliteSecond = rowCounts(both.sqliteFile);
    const auto postgresSecond = rowCounts(both.postgresLocation);
    const qint64 sizeSecond = QFileInfo(both.sqliteFile).size();

    for (const auto &[backend, first, second] :
         {std::tuple{"sqlite", sqliteFirst, sqliteSecond},
          std::tuple{"postgresql", postgresFirst, postgresSecond}}) {
        SCOPED_TRACE(backend);
        ASSERT_EQ(second.size(), std::size(kTables));
        // One log row per name and bucket of addresses, three offline votes a name at most.
        EXPECT_LE(second.at("reports"), kNames * kReportLogSlots);
        EXPECT_LE(second.at("offline_votes"), kNames * kDeadReporters);
        // The votes of the last window, the same number in both floods, and a few more.
        EXPECT_LE(second.at("votes"), first.at("votes") * 11 / 10 + 8);
        EXPECT_LE(second.at("report_tally"), 64);
    }
    EXPECT_EQ(both.sqlite->reportCount().value(), sent);
    EXPECT_EQ(both.postgres->reportCount().value(), sent);
    EXPECT_LE(sizeSecond, sizeFirst + sizeFirst / 4) << sizeFirst << " then " << sizeSecond;
}

} // namespace
} // namespace mavrel::server
