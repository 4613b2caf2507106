#include "server/store/sqlitestore.h"

#include "server/store/sqlhelpers.h"

#include <QDateTime>
#include <QFileInfo>
#include <QHash>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

using namespace Qt::StringLiterals;

namespace mavrel::server {

using namespace sql;

// The stores of this process on one file write in order of arrival. SQLite's busy handler
// polls with growing sleeps, so a writer that commits and begins again at once (an import in
// short transactions) would otherwise win the lock nearly every time.
class SqliteStore::WriteTurns
{
public:
    static std::shared_ptr<WriteTurns> forFile(const QString &file)
    {
        static std::mutex mutex;
        static QHash<QString, std::weak_ptr<WriteTurns>> files;
        std::lock_guard lock(mutex);
        auto turns = files.value(file).lock();
        if (!turns) {
            turns = std::make_shared<WriteTurns>();
            files.insert(file, turns);
        }
        return turns;
    }

    bool take(int timeoutMs)
    {
        std::unique_lock lock(m_mutex);
        const quint64 ticket = m_next++;
        if (m_turn.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return m_serving == ticket; }))
            return true;
        m_abandoned.insert(ticket);
        return false;
    }

    void give()
    {
        {
            std::lock_guard lock(m_mutex);
            ++m_serving;
            while (m_abandoned.erase(m_serving) > 0)
                ++m_serving;
        }
        m_turn.notify_all();
    }

    // The log order of the file's reports, read once; only the holder of the turn moves it.
    qint64 lastSeq = -1;

private:
    std::mutex m_mutex;
    std::condition_variable m_turn;
    quint64 m_next = 0;
    quint64 m_serving = 0;
    std::set<quint64> m_abandoned;
};

struct SqliteStore::ReportQueries
{
    explicit ReportQueries(const QSqlDatabase &db)
        : begin(db), commit(db), rollback(db), byName(db), tally(db), log(db), lastSeq(db),
          clearOffline(db), addOffline(db), countOffline(db), markDead(db), revive(db)
    {}
    QSqlQuery begin, commit, rollback, byName, tally, log, lastSeq, clearOffline, addOffline,
        countOffline, markDead, revive;
};

SqliteStore::SqliteStore(QString connection, StoreOptions options)
    : SqlStore(std::move(connection), std::move(options))
{}

SqliteStore::~SqliteStore()
{
    if (m_holdsTurn)
        rollbackTransaction();
    m_r.reset();
}

Result<std::unique_ptr<CatalogueStore>> SqliteStore::open(const QString &path, StoreOptions options)
{
    const QString connection = u"catalogue-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    std::unique_ptr<SqliteStore> store(new SqliteStore(connection, std::move(options)));
    if (auto r = store->openFile(path); !r)
        return r.error();
    return std::unique_ptr<CatalogueStore>(std::move(store));
}

Result<void> SqliteStore::openFile(const QString &path)
{
    m_db = QSqlDatabase::addDatabase(u"QSQLITE"_s, m_connection);
    m_db.setDatabaseName(path);
    m_db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=%1"_s.arg(m_options.busyTimeoutMs));
    if (!m_db.open())
        return Result<void>::failure(u"cannot open %1: %2"_s.arg(path, m_db.lastError().text()));
    QSqlQuery wal(m_db);
    if (!wal.exec(u"PRAGMA journal_mode=WAL"_s) || !wal.next() ||
        wal.value(0).toString().compare(u"wal"_s, Qt::CaseInsensitive) != 0)
        return Result<void>::failure(u"cannot switch %1 to write-ahead logging"_s.arg(path));
    wal.finish();
    // Committed transactions survive a killed process in WAL mode with NORMAL; only a power
    // cut can lose the last ones. A log that grew under readers shrinks after its checkpoint.
    for (const QString &pragma :
         {u"PRAGMA synchronous=NORMAL"_s, u"PRAGMA journal_size_limit=67108864"_s}) {
        if (auto r = runText(m_db, pragma); !r)
            return r;
    }
    m_turns = WriteTurns::forFile(QFileInfo(path).canonicalFilePath());
    m_r = std::make_unique<ReportQueries>(m_db);
    if (auto r = prepareAll({
            {&m_r->begin, u"BEGIN IMMEDIATE"_s},
            {&m_r->commit, u"COMMIT"_s},
            {&m_r->rollback, u"ROLLBACK"_s},
        });
        !r)
        return r;
    {
        Transaction tx(*this);
        if (!tx.started())
            return tx.started();
        if (auto r = migrateReports(); !r)
            return r;
        if (auto r = tx.commit(); !r)
            return r;
    }
    if (auto r = prepare(); !r)
        return r;
    return prepareAll({
        {&m_r->byName, u"SELECT id, dead FROM channels WHERE name = ? AND removed = 0"_s},
        {&m_r->tally, u"UPDATE report_tally SET n = n + 1 WHERE slot = 0"_s},
        {&m_r->log, u"INSERT INTO reports (item, slot, seq, at, client, type, value, admin, n)"
                    " VALUES (?, ?, ?, ?, ?, ?, ?, ?, 1) ON CONFLICT (item, slot) DO UPDATE SET"
                    " seq = excluded.seq, at = excluded.at, client = excluded.client,"
                    " type = excluded.type, value = excluded.value, admin = excluded.admin,"
                    " n = reports.n + 1"_s},
        {&m_r->lastSeq, u"SELECT COALESCE(MAX(seq), 0) FROM reports"_s},
        {&m_r->clearOffline, u"DELETE FROM offline_votes WHERE channel = ?"_s},
        {&m_r->addOffline, u"INSERT INTO offline_votes (channel, client) VALUES (?, ?)"
                           " ON CONFLICT DO NOTHING"_s},
        {&m_r->countOffline, u"SELECT COUNT(*) FROM offline_votes WHERE channel = ?"_s},
        {&m_r->markDead, u"UPDATE channels SET dead = 1, dead_changed = ? WHERE id = ?"_s},
        {&m_r->revive,
         u"UPDATE channels SET dead = 0, dead_changed = ?, changed = ? WHERE id = ?"_s},
    });
}

Result<void> SqliteStore::migrateReports()
{
    QSqlQuery q(m_db);
    qint64 counted = -1;
    if (!q.exec(u"SELECT (SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND"
                " name = 'reports'), (SELECT COUNT(*) FROM pragma_table_info('reports')"
                " WHERE name = 'slot')"_s) ||
        !q.next())
        return Result<void>::failure(u"database: %1"_s.arg(q.lastError().text()));
    if (q.value(0).toInt() == 1 && q.value(1).toInt() == 0) {
        q.finish();
        // Its sequence numbers counted every report; its rows go.
        if (!q.exec(u"SELECT COALESCE(MAX(seq), 0) FROM reports"_s) || !q.next())
            return Result<void>::failure(u"database: %1"_s.arg(q.lastError().text()));
        counted = q.value(0).toLongLong();
        q.finish();
        if (auto r = runText(m_db, u"DROP TABLE reports"_s); !r)
            return r;
    }
    q.finish();
    if (auto r = runScript(m_db, u"sqlite_schema.sql"_s); !r)
        return r;
    if (counted >= 0) {
        if (auto r =
                runText(m_db, u"UPDATE report_tally SET n = n + %1 WHERE slot = 0"_s.arg(counted));
            !r)
            return r;
    }
    return {};
}

Result<void> SqliteStore::beginTransaction()
{
    if (!m_turns->take(m_options.busyTimeoutMs))
        return Result<void>::failure(u"database: the database is busy"_s, kConflict);
    m_holdsTurn = true;
    auto r = run(m_r->begin);
    m_r->begin.finish();
    if (!r) {
        m_holdsTurn = false;
        m_turns->give();
    }
    return r;
}

Result<void> SqliteStore::commitTransaction()
{
    auto r = run(m_r->commit);
    m_r->commit.finish();
    if (!r)
        return r; // still open: the caller rolls back
    m_holdsTurn = false;
    m_turns->give();
    return {};
}

void SqliteStore::rollbackTransaction()
{
    (void)run(m_r->rollback);
    m_r->rollback.finish();
    if (m_holdsTurn) {
        m_holdsTurn = false;
        m_turns->give();
    }
}

Result<void> SqliteStore::readingNowAndNext()
{
    // Now and next read a row or two of every channel's programmes, all over the file: mapped,
    // they are read from the system's page cache without a call per page. Only the connections
    // that answer it map the file, so an import's memory stays its own.
    if (m_mapped)
        return {};
    m_mapped = true;
    return runText(m_db, u"PRAGMA mmap_size=1073741824"_s);
}

qint64 SqliteStore::clockNow() const
{
    return QDateTime::currentSecsSinceEpoch();
}

Result<void> SqliteStore::recordReportOnce(const Report &report)
{
    Transaction tx(*this);
    if (!tx.started())
        return tx.started();
    QList<std::pair<qint64, bool>> channels;
    m_r->byName.bindValue(0, blob(report.item));
    if (auto r = run(m_r->byName); !r)
        return r;
    while (m_r->byName.next())
        channels.append({m_r->byName.value(0).toLongLong(), m_r->byName.value(1).toBool()});
    m_r->byName.finish();
    // A report that names no channel is counted, and that is all; one that does is counted in
    // its log row, whose place in the log's order the writer holding the turn hands out.
    if (channels.isEmpty()) {
        if (auto r = run(m_r->tally); !r)
            return r;
        return tx.commit();
    }
    if (m_turns->lastSeq < 0) {
        auto last = single(m_r->lastSeq);
        if (!last)
            return last.error();
        m_turns->lastSeq = last.value();
    }
    {
        QSqlQuery &q = m_r->log;
        int i = 0;
        q.bindValue(i++, blob(report.item));
        q.bindValue(i++, reportLogSlot(report.client));
        q.bindValue(i++, m_turns->lastSeq + 1);
        q.bindValue(i++, now());
        q.bindValue(i++, report.client);
        q.bindValue(i++, blob(report.type));
        q.bindValue(i++, blob(report.value));
        q.bindValue(i++, report.admin ? 1 : 0);
        if (auto r = run(q); !r)
            return r;
        ++m_turns->lastSeq;
        if (auto r = applyReport(report, channels); !r)
            return r;
    }
    return tx.commit();
}

Result<void> SqliteStore::applyReport(const Report &report,
                                      const QList<std::pair<qint64, bool>> &channels)
{
    int stars = 0;
    const ReportAction type = reportAction(report, &stars);
    if (type == Other)
        return {};
    for (const auto &[id, dead] : channels) {
        Result<void> r;
        switch (type) {
        case Favorite:
            r = vote(id, report.client, FavoriteVote, 0);
            break;
        case Rate:
            r = vote(id, report.client, RatingVote, stars);
            break;
        case Online:
            m_r->clearOffline.bindValue(0, id);
            r = run(m_r->clearOffline);
            if (r && dead) {
                // Back from the dead: a change, so that viewers that dropped it get it again.
                const qint64 t = stamp();
                m_r->revive.bindValue(0, t);
                m_r->revive.bindValue(1, t);
                m_r->revive.bindValue(2, id);
                r = run(m_r->revive);
            }
            break;
        case Offline: {
            bool nowDead = report.admin;
            if (!nowDead) {
                // Reporters past the number that kills a channel change nothing: not kept.
                m_r->countOffline.bindValue(0, id);
                auto offline = single(m_r->countOffline);
                if (!offline) {
                    r = offline.error();
                    break;
                }
                qint64 n = offline.value();
                if (n < kDeadReporters) {
                    m_r->addOffline.bindValue(0, id);
                    m_r->addOffline.bindValue(1, report.client);
                    r = run(m_r->addOffline);
                    if (!r)
                        break;
                    n += std::max(0, m_r->addOffline.numRowsAffected());
                }
                nowDead = n >= kDeadReporters;
            }
            if (nowDead && !dead) {
                m_r->markDead.bindValue(0, stamp());
                m_r->markDead.bindValue(1, id);
                r = run(m_r->markDead);
            }
            break;
        }
        case Other:
            break;
        }
        if (!r)
            return r;
    }
    return {};
}

} // namespace mavrel::server
