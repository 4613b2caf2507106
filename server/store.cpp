#include "server/store.h"

#include "online/datetext.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace mavrel::server {

namespace {

enum VoteKind
{
    FavoriteVote = 0,
    RatingVote = 1
};

// The SQLite driver binds a null QByteArray as NULL; an empty field is still a field.
QVariant blob(const QByteArray &bytes)
{
    return bytes.isNull() ? QVariant(QByteArray("")) : QVariant(bytes);
}

Result<void> run(QSqlQuery &q)
{
    if (!q.exec())
        return Result<void>::failure(u"database: %1"_s.arg(q.lastError().text()));
    return {};
}

Result<void> runText(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        return Result<void>::failure(u"database: %1 (%2)"_s.arg(q.lastError().text(), sql));
    return {};
}

const char *const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS channels ("
    " id INTEGER PRIMARY KEY,"
    " name BLOB NOT NULL, kind BLOB NOT NULL, url BLOB NOT NULL, lang BLOB NOT NULL,"
    " spare1 BLOB NOT NULL, spare2 BLOB NOT NULL,"
    " favorites INTEGER NOT NULL DEFAULT 0,"
    " rating_sum REAL NOT NULL DEFAULT 0, rating_count INTEGER NOT NULL DEFAULT 0,"
    " removed INTEGER NOT NULL DEFAULT 0, changed INTEGER NOT NULL,"
    " dead INTEGER NOT NULL DEFAULT 0, dead_changed INTEGER NOT NULL DEFAULT 0)",
    "CREATE INDEX IF NOT EXISTS channels_name ON channels(name)",
    "CREATE INDEX IF NOT EXISTS channels_changed ON channels(changed)",
    "CREATE INDEX IF NOT EXISTS channels_dead ON channels(dead_changed) WHERE dead = 1",
    "CREATE UNIQUE INDEX IF NOT EXISTS channels_url ON channels(url) WHERE removed = 0",
    "CREATE TABLE IF NOT EXISTS reports ("
    " seq INTEGER PRIMARY KEY, at INTEGER NOT NULL, client TEXT NOT NULL,"
    " type BLOB NOT NULL, value BLOB NOT NULL, item BLOB NOT NULL, admin INTEGER NOT NULL)",
    "CREATE TABLE IF NOT EXISTS votes ("
    " channel INTEGER NOT NULL, client TEXT NOT NULL, kind INTEGER NOT NULL,"
    " stars INTEGER NOT NULL, at INTEGER NOT NULL, PRIMARY KEY (channel, client, kind))"
    " WITHOUT ROWID",
    "CREATE TABLE IF NOT EXISTS offline_votes ("
    " channel INTEGER NOT NULL, client TEXT NOT NULL, PRIMARY KEY (channel, client))"
    " WITHOUT ROWID",
    "CREATE TABLE IF NOT EXISTS update_reads ("
    " client TEXT NOT NULL, stored INTEGER NOT NULL, at INTEGER NOT NULL)",
    "CREATE INDEX IF NOT EXISTS update_reads_client ON update_reads(client)",
    "CREATE INDEX IF NOT EXISTS update_reads_at ON update_reads(at)",
    "CREATE TABLE IF NOT EXISTS meta (key TEXT PRIMARY KEY, value INTEGER NOT NULL)",
};

QByteArray figureLine(const QSqlQuery &q, int first)
{
    // Columns from first: id name kind url lang spare1 spare2 favorites rating_sum rating_count.
    ChannelRecord r{
        q.value(first).toByteArray(),
        q.value(first + 1).toByteArray(),
        q.value(first + 2).toByteArray(),
        q.value(first + 3).toByteArray(),
        q.value(first + 4).toByteArray(),
        q.value(first + 5).toByteArray(),
        q.value(first + 6).toByteArray(),
        QByteArray::number(q.value(first + 7).toLongLong()),
        formatRatingFigure(q.value(first + 8).toDouble(), q.value(first + 9).toLongLong())};
    auto line = r.toLine();
    return line ? std::move(line).value() : QByteArray();
}

// Update lines from a query whose column 0 says whether the channel was removed: ten fields
// each ("ADD" or "DEL" first, no closing "|"), separated by "<BR>". A dead-channel reply
// removes every channel it lists.
QByteArray updateLines(QSqlQuery &q, bool removeAll)
{
    QByteArray body;
    while (q.next()) {
        QByteArray line = figureLine(q, 1);
        if (line.size() < 3)
            continue;
        line.chop(3); // the closing "|" and CR LF
        body.append(removeAll || q.value(0).toInt() ? "DEL|" : "ADD|");
        body.append(line);
        body.append("<BR>");
    }
    q.finish();
    return body;
}

constexpr const char *kLineColumns =
    "id, name, kind, url, lang, spare1, spare2, favorites, rating_sum, rating_count";

} // namespace

std::optional<QString> channelProblem(const NewChannel &c)
{
    if (c.name.trimmed().isEmpty())
        return u"missing name"_s;
    if (!isKnownKind(c.kind))
        return u"unknown kind"_s;
    if (c.url.trimmed().isEmpty())
        return u"missing address"_s;
    if (c.lang.isEmpty())
        return u"missing language"_s;
    if (c.name.size() > kMaxNameBytes || c.lang.size() > kMaxLangBytes ||
        c.spare1.size() > kMaxSpareBytes || c.spare2.size() > kMaxSpareBytes ||
        c.url.size() > kMaxUrlBytes)
        return u"field too long"_s;
    for (const QByteArray *f : {&c.name, &c.kind, &c.lang, &c.spare1, &c.spare2}) {
        if (!isCarriableField(*f))
            return u"field holds a separator"_s;
    }
    if (!isCarriableField(c.url) || !isCarriableAddress(c.url))
        return u"address cannot be carried in a catalogue line"_s;
    return std::nullopt;
}

struct CatalogueStore::Queries
{
    explicit Queries(const QSqlDatabase &db)
        : insertChannel(db), insertChannelWithId(db), idTaken(db), byUrl(db), remove(db),
          latest(db), updates(db), dead(db), insertReport(db), byName(db), selectVote(db),
          upsertVote(db), addFavorite(db), addRating(db), clearOffline(db), addOffline(db),
          countOffline(db), markDead(db), revive(db), forgetReads(db), pruneReads(db),
          insertRead(db), minRead(db), setMeta(db), exportAll(db), one(db), countReports(db),
          countChannels(db)
    {}
    QSqlQuery insertChannel, insertChannelWithId, idTaken, byUrl, remove, latest, updates, dead,
        insertReport, byName, selectVote, upsertVote, addFavorite, addRating, clearOffline,
        addOffline, countOffline, markDead, revive, forgetReads, pruneReads, insertRead, minRead,
        setMeta, exportAll, one, countReports, countChannels;
};

CatalogueStore::CatalogueStore(QString connection, StoreOptions options)
    : m_connection(std::move(connection)), m_options(std::move(options))
{}

CatalogueStore::~CatalogueStore()
{
    m_q.reset();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

Result<std::unique_ptr<CatalogueStore>> CatalogueStore::open(const QString &path,
                                                             StoreOptions options)
{
    using R = Result<std::unique_ptr<CatalogueStore>>;
    const QString connection = u"catalogue-"_s + QUuid::createUuid().toString(QUuid::WithoutBraces);
    std::unique_ptr<CatalogueStore> store(new CatalogueStore(connection, std::move(options)));
    {
        store->m_db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        QSqlDatabase &db = store->m_db;
        db.setDatabaseName(path);
        db.setConnectOptions(u"QSQLITE_BUSY_TIMEOUT=5000"_s);
        if (!db.open())
            return R::failure(u"cannot open %1: %2"_s.arg(path, db.lastError().text()));
        QSqlQuery wal(db);
        if (!wal.exec(u"PRAGMA journal_mode=WAL"_s) || !wal.next() ||
            wal.value(0).toString().compare(u"wal"_s, Qt::CaseInsensitive) != 0)
            return R::failure(u"cannot switch %1 to write-ahead logging"_s.arg(path));
        wal.finish();
        // Committed transactions survive a killed process in WAL mode with NORMAL; only a power
        // cut can lose the last ones.
        if (auto r = runText(db, u"PRAGMA synchronous=NORMAL"_s); !r)
            return r.error();
        for (const char *sql : kSchema) {
            if (auto r = runText(db, QString::fromLatin1(sql)); !r)
                return r.error();
        }
        QSqlQuery meta(db);
        if (meta.exec(u"SELECT value FROM meta WHERE key = 'handed_out'"_s) && meta.next())
            store->m_handedOut = meta.value(0).toLongLong();
    }
    if (auto r = store->prepare(); !r)
        return r.error();
    return store;
}

Result<void> CatalogueStore::prepare()
{
    m_q = std::make_unique<Queries>(m_db);
    const QString lineColumns = QString::fromLatin1(kLineColumns);
    const std::pair<QSqlQuery *, QString> statements[] = {
        {&m_q->insertChannel,
         u"INSERT INTO channels (name, kind, url, lang, spare1, spare2, favorites, rating_sum,"
         " rating_count, changed) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s},
        {&m_q->insertChannelWithId,
         u"INSERT INTO channels (id, name, kind, url, lang, spare1, spare2, favorites, rating_sum,"
         " rating_count, changed) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s},
        {&m_q->idTaken, u"SELECT 1 FROM channels WHERE id = ?"_s},
        {&m_q->byUrl, u"SELECT id FROM channels WHERE url = ? AND removed = 0"_s},
        {&m_q->remove,
         u"UPDATE channels SET removed = 1, dead = 0, changed = ? WHERE id = ? AND removed = 0"_s},
        {&m_q->latest, u"SELECT MAX(changed) FROM channels"_s},
        {&m_q->updates, u"SELECT removed, "_s + lineColumns +
                            u" FROM channels WHERE changed > ? ORDER BY changed, id"_s},
        {&m_q->dead, u"SELECT 0, "_s + lineColumns +
                         u" FROM channels WHERE dead = 1 AND removed = 0 AND dead_changed > ?"
                         " ORDER BY dead_changed, id"_s},
        {&m_q->insertReport, u"INSERT INTO reports (at, client, type, value, item, admin)"
                             " VALUES (?, ?, ?, ?, ?, ?)"_s},
        {&m_q->byName, u"SELECT id, dead FROM channels WHERE name = ? AND removed = 0"_s},
        {&m_q->selectVote,
         u"SELECT stars, at FROM votes WHERE channel = ? AND client = ? AND kind = ?"_s},
        {&m_q->upsertVote, u"INSERT OR REPLACE INTO votes (channel, client, kind, stars, at)"
                           " VALUES (?, ?, ?, ?, ?)"_s},
        {&m_q->addFavorite,
         u"UPDATE channels SET favorites = favorites + 1, changed = ? WHERE id = ?"_s},
        {&m_q->addRating, u"UPDATE channels SET rating_sum = rating_sum + ?,"
                          " rating_count = rating_count + ?, changed = ? WHERE id = ?"_s},
        {&m_q->clearOffline, u"DELETE FROM offline_votes WHERE channel = ?"_s},
        {&m_q->addOffline,
         u"INSERT OR IGNORE INTO offline_votes (channel, client) VALUES (?, ?)"_s},
        {&m_q->countOffline, u"SELECT COUNT(*) FROM offline_votes WHERE channel = ?"_s},
        {&m_q->markDead, u"UPDATE channels SET dead = 1, dead_changed = ? WHERE id = ?"_s},
        {&m_q->revive,
         u"UPDATE channels SET dead = 0, dead_changed = ?, changed = ? WHERE id = ?"_s},
        {&m_q->forgetReads, u"DELETE FROM update_reads WHERE client = ? AND stored <= ?"_s},
        {&m_q->pruneReads, u"DELETE FROM update_reads WHERE at < ?"_s},
        {&m_q->insertRead, u"INSERT INTO update_reads (client, stored, at) VALUES (?, ?, ?)"_s},
        {&m_q->minRead, u"SELECT MIN(stored) FROM update_reads WHERE client = ? AND at >= ?"_s},
        {&m_q->setMeta, u"INSERT OR REPLACE INTO meta (key, value) VALUES (?, ?)"_s},
        {&m_q->exportAll,
         u"SELECT "_s + lineColumns + u" FROM channels WHERE removed = 0 ORDER BY id"_s},
        {&m_q->one, u"SELECT removed, dead, changed, dead_changed, "_s + lineColumns +
                        u" FROM channels WHERE id = ?"_s},
        {&m_q->countReports, u"SELECT COUNT(*) FROM reports"_s},
        {&m_q->countChannels, u"SELECT COUNT(*) FROM channels WHERE removed = 0"_s},
    };
    for (const auto &[query, sql] : statements) {
        if (!query->prepare(sql))
            return Result<void>::failure(
                u"database: %1 (%2)"_s.arg(query->lastError().text(), sql));
    }
    m_q->updates.setForwardOnly(true);
    m_q->dead.setForwardOnly(true);
    m_q->exportAll.setForwardOnly(true);
    return {};
}

qint64 CatalogueStore::now() const
{
    return m_options.clock ? m_options.clock() : QDateTime::currentSecsSinceEpoch();
}

qint64 CatalogueStore::stamp()
{
    // A clock that stepped back must not date a change at or before a date already stored.
    return std::max(now(), m_handedOut + 1);
}

Result<void> CatalogueStore::handOut(qint64 date)
{
    if (date <= m_handedOut)
        return {};
    m_handedOut = date;
    m_q->setMeta.bindValue(0, u"handed_out"_s);
    m_q->setMeta.bindValue(1, date);
    return run(m_q->setMeta);
}

namespace {

// Commits on success unless the caller already holds a transaction.
class Transaction
{
public:
    Transaction(const QSqlDatabase &db, bool outer) : m_db(db), m_outer(outer)
    {
        m_ok = outer || m_db.transaction();
    }
    ~Transaction()
    {
        if (!m_outer && !m_done && m_ok)
            m_db.rollback();
    }
    bool started() const { return m_ok; }
    Result<void> commit()
    {
        m_done = true;
        if (m_outer)
            return {};
        if (!m_db.commit())
            return Result<void>::failure(u"database commit: %1"_s.arg(m_db.lastError().text()));
        return {};
    }

private:
    QSqlDatabase m_db;
    bool m_outer;
    bool m_ok = false;
    bool m_done = false;
};

} // namespace

Result<void> CatalogueStore::beginBatch()
{
    if (!m_db.transaction())
        return Result<void>::failure(u"database: %1"_s.arg(m_db.lastError().text()));
    m_inBatch = true;
    return {};
}

Result<void> CatalogueStore::commitBatch()
{
    m_inBatch = false;
    if (!m_db.commit())
        return Result<void>::failure(u"database commit: %1"_s.arg(m_db.lastError().text()));
    return {};
}

void CatalogueStore::rollbackBatch()
{
    m_inBatch = false;
    m_db.rollback();
}

Result<AddResult> CatalogueStore::insertChannel(const NewChannel &c)
{
    if (const auto problem = channelProblem(c))
        return AddResult{AddOutcome::Invalid, 0, *problem};
    m_q->byUrl.bindValue(0, blob(c.url));
    if (auto r = run(m_q->byUrl); !r)
        return r.error();
    if (m_q->byUrl.next()) {
        const qint64 existing = m_q->byUrl.value(0).toLongLong();
        m_q->byUrl.finish();
        return AddResult{AddOutcome::Duplicate, existing, u"address already listed"_s};
    }
    bool useId = false;
    if (c.wantedId > 0) {
        m_q->idTaken.bindValue(0, c.wantedId);
        if (auto r = run(m_q->idTaken); !r)
            return r.error();
        useId = !m_q->idTaken.next();
        m_q->idTaken.finish();
    }
    QSqlQuery &q = useId ? m_q->insertChannelWithId : m_q->insertChannel;
    int i = 0;
    if (useId)
        q.bindValue(i++, c.wantedId);
    for (const QByteArray *f : {&c.name, &c.kind, &c.url, &c.lang, &c.spare1, &c.spare2})
        q.bindValue(i++, blob(*f));
    q.bindValue(i++, std::max<qint64>(0, c.favorites));
    q.bindValue(i++, c.ratingSum);
    q.bindValue(i++, c.ratingCount);
    q.bindValue(i++, stamp());
    if (auto r = run(q); !r)
        return r.error();
    return AddResult{AddOutcome::Added, q.lastInsertId().toLongLong(), {}};
}

Result<AddResult> CatalogueStore::addChannel(const NewChannel &channel)
{
    Transaction tx(m_db, m_inBatch);
    if (!tx.started())
        return Result<AddResult>::failure(u"database: cannot start a transaction"_s);
    auto added = insertChannel(channel);
    if (!added)
        return added;
    if (auto r = tx.commit(); !r)
        return r.error();
    return added;
}

Result<bool> CatalogueStore::removeChannel(qint64 id)
{
    m_q->remove.bindValue(0, stamp());
    m_q->remove.bindValue(1, id);
    if (auto r = run(m_q->remove); !r)
        return r.error();
    return m_q->remove.numRowsAffected() > 0;
}

Result<qint64> CatalogueStore::latestChange()
{
    if (auto r = run(m_q->latest); !r)
        return r.error();
    qint64 latest = 0;
    if (m_q->latest.next() && !m_q->latest.value(0).isNull())
        latest = m_q->latest.value(0).toLongLong();
    m_q->latest.finish();
    return latest > 0 ? latest : initialUpdateDate().toSecsSinceEpoch();
}

Result<void> CatalogueStore::rememberRead(const QString &client, qint64 since, qint64 stored)
{
    const qint64 t = now();
    // The viewer asking from since has stored it, so reads up to since are settled.
    m_q->forgetReads.bindValue(0, client);
    m_q->forgetReads.bindValue(1, since);
    if (auto r = run(m_q->forgetReads); !r)
        return r;
    m_q->pruneReads.bindValue(0, t - kReadMemorySecs);
    if (auto r = run(m_q->pruneReads); !r)
        return r;
    m_q->insertRead.bindValue(0, client);
    m_q->insertRead.bindValue(1, stored);
    m_q->insertRead.bindValue(2, t);
    return run(m_q->insertRead);
}

Result<QByteArray> CatalogueStore::updateReply(qint64 since, const QString &client)
{
    Transaction tx(m_db, m_inBatch);
    if (!tx.started())
        return Result<QByteArray>::failure(u"database: cannot start a transaction"_s);
    // Everything committed up to this second is in the reply; later changes are stamped with
    // this second or later, so the date to store is the second before.
    const qint64 stored = std::max(now() - 1, m_handedOut);
    QSqlQuery &q = m_q->updates;
    q.bindValue(0, since - m_options.updateMarginSecs);
    if (auto r = run(q); !r)
        return r.error();
    const QByteArray body = updateLines(q, false);
    if (auto r = rememberRead(client, since, stored); !r)
        return r.error();
    if (auto r = tx.commit(); !r)
        return r.error();
    return body;
}

Result<QByteArray> CatalogueStore::deadReply(qint64 since, const QString &client)
{
    Transaction tx(m_db, m_inBatch);
    if (!tx.started())
        return Result<QByteArray>::failure(u"database: cannot start a transaction"_s);
    QSqlQuery &q = m_q->dead;
    q.bindValue(0, since - m_options.updateMarginSecs);
    if (auto r = run(q); !r)
        return r.error();
    const QByteArray body = updateLines(q, true);
    // The viewer stores the following date answer in the one update date it has: keep it at the
    // date it asked from, so that the ordinary update loses nothing.
    if (auto r = rememberRead(client, since, since); !r)
        return r.error();
    if (auto r = tx.commit(); !r)
        return r.error();
    return body;
}

Result<qint64> CatalogueStore::dateFor(const QString &client)
{
    const qint64 t = now();
    m_q->minRead.bindValue(0, client);
    m_q->minRead.bindValue(1, t - kReadMemorySecs);
    if (auto r = run(m_q->minRead); !r)
        return r.error();
    qint64 date = 0;
    if (m_q->minRead.next() && !m_q->minRead.value(0).isNull())
        date = m_q->minRead.value(0).toLongLong();
    m_q->minRead.finish();
    if (date == 0) {
        // No fetch of this client is known (a restart lost nothing, but the memory is per
        // address): the latest change is the best guess, and the margin covers the rest.
        auto latest = latestChange();
        if (!latest)
            return latest;
        date = std::min(latest.value(), std::max(t - 1, m_handedOut));
    }
    if (auto r = handOut(date); !r)
        return r.error();
    return date;
}

Result<void> CatalogueStore::vote(qint64 channel, const QString &client, int kind, int stars)
{
    const qint64 t = now();
    m_q->selectVote.bindValue(0, channel);
    m_q->selectVote.bindValue(1, client);
    m_q->selectVote.bindValue(2, kind);
    if (auto r = run(m_q->selectVote); !r)
        return r;
    bool inWindow = false;
    int previousStars = 0;
    if (m_q->selectVote.next()) {
        previousStars = m_q->selectVote.value(0).toInt();
        inWindow = t - m_q->selectVote.value(1).toLongLong() < kVoteWindowSecs;
    }
    m_q->selectVote.finish();

    m_q->upsertVote.bindValue(0, channel);
    m_q->upsertVote.bindValue(1, client);
    m_q->upsertVote.bindValue(2, kind);
    m_q->upsertVote.bindValue(3, stars);
    m_q->upsertVote.bindValue(4, t); // the window slides: a flood keeps one vote
    if (auto r = run(m_q->upsertVote); !r)
        return r;

    if (kind == FavoriteVote) {
        if (inWindow)
            return {};
        m_q->addFavorite.bindValue(0, stamp());
        m_q->addFavorite.bindValue(1, channel);
        return run(m_q->addFavorite);
    }
    if (inWindow && previousStars == stars)
        return {};
    m_q->addRating.bindValue(0, double(inWindow ? stars - previousStars : stars));
    m_q->addRating.bindValue(1, inWindow ? 0 : 1);
    m_q->addRating.bindValue(2, stamp());
    m_q->addRating.bindValue(3, channel);
    return run(m_q->addRating);
}

Result<void> CatalogueStore::applyReport(const Report &report)
{
    int stars = 0;
    enum
    {
        Favorite,
        Rate,
        Online,
        Offline,
        Other
    } type = Other;
    if (report.type == "FAVORITE") {
        type = Favorite;
    } else if (report.type == "Rate") {
        bool ok = false;
        stars = report.value.toInt(&ok);
        if (ok && stars >= 1 && stars <= 5 && report.value.size() == 1)
            type = Rate;
    } else if (report.type == "ONLINE") {
        type = Online;
    } else if (report.type == "OFFLINE") {
        type = Offline;
    }
    if (type == Other)
        return {};

    QList<std::pair<qint64, bool>> channels;
    m_q->byName.bindValue(0, blob(report.item));
    if (auto r = run(m_q->byName); !r)
        return r;
    while (m_q->byName.next())
        channels.append({m_q->byName.value(0).toLongLong(), m_q->byName.value(1).toBool()});
    m_q->byName.finish();

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
            m_q->clearOffline.bindValue(0, id);
            r = run(m_q->clearOffline);
            if (r && dead) {
                // Back from the dead: a change, so that viewers that dropped it get it again.
                const qint64 t = stamp();
                m_q->revive.bindValue(0, t);
                m_q->revive.bindValue(1, t);
                m_q->revive.bindValue(2, id);
                r = run(m_q->revive);
            }
            break;
        case Offline: {
            bool nowDead = report.admin;
            if (!nowDead) {
                m_q->addOffline.bindValue(0, id);
                m_q->addOffline.bindValue(1, report.client);
                r = run(m_q->addOffline);
                if (!r)
                    break;
                m_q->countOffline.bindValue(0, id);
                r = run(m_q->countOffline);
                if (!r)
                    break;
                nowDead = m_q->countOffline.next() &&
                          m_q->countOffline.value(0).toInt() >= kDeadReporters;
                m_q->countOffline.finish();
            }
            if (nowDead && !dead) {
                m_q->markDead.bindValue(0, stamp());
                m_q->markDead.bindValue(1, id);
                r = run(m_q->markDead);
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

Result<void> CatalogueStore::recordReport(const Report &report)
{
    Transaction tx(m_db, m_inBatch);
    if (!tx.started())
        return Result<void>::failure(u"database: cannot start a transaction"_s);
    QSqlQuery &q = m_q->insertReport;
    q.bindValue(0, now());
    q.bindValue(1, report.client);
    q.bindValue(2, blob(report.type));
    q.bindValue(3, blob(report.value));
    q.bindValue(4, blob(report.item));
    q.bindValue(5, report.admin ? 1 : 0);
    if (auto r = run(q); !r)
        return r;
    if (auto r = applyReport(report); !r)
        return r;
    return tx.commit();
}

Result<AddResult> CatalogueStore::submit(const NewChannel &channel, int stars,
                                         const QString &client)
{
    Transaction tx(m_db, m_inBatch);
    if (!tx.started())
        return Result<AddResult>::failure(u"database: cannot start a transaction"_s);
    NewChannel c = channel;
    c.favorites = 0;
    c.ratingSum = 0;
    c.ratingCount = 0;
    c.wantedId = 0;
    auto added = insertChannel(c);
    if (!added || added.value().outcome != AddOutcome::Added)
        return added;
    if (stars >= 1 && stars <= 5) {
        if (auto r = vote(added.value().id, client, RatingVote, stars); !r)
            return r.error();
    }
    if (auto r = tx.commit(); !r)
        return r.error();
    return added;
}

Result<QByteArray> CatalogueStore::exportCatalogue()
{
    QSqlQuery &q = m_q->exportAll;
    if (auto r = run(q); !r)
        return r.error();
    QByteArray out;
    while (q.next())
        out.append(figureLine(q, 0));
    q.finish();
    return out;
}

Result<std::optional<ChannelState>> CatalogueStore::channel(qint64 id)
{
    QSqlQuery &q = m_q->one;
    q.bindValue(0, id);
    if (auto r = run(q); !r)
        return r.error();
    if (!q.next())
        return std::optional<ChannelState>();
    ChannelState s;
    s.removed = q.value(0).toBool();
    s.dead = q.value(1).toBool();
    s.changed = q.value(2).toLongLong();
    s.deadChanged = q.value(3).toLongLong();
    const int f = 4;
    s.record =
        ChannelRecord{q.value(f).toByteArray(),
                      q.value(f + 1).toByteArray(),
                      q.value(f + 2).toByteArray(),
                      q.value(f + 3).toByteArray(),
                      q.value(f + 4).toByteArray(),
                      q.value(f + 5).toByteArray(),
                      q.value(f + 6).toByteArray(),
                      QByteArray::number(q.value(f + 7).toLongLong()),
                      formatRatingFigure(q.value(f + 8).toDouble(), q.value(f + 9).toLongLong())};
    s.ratingCount = q.value(f + 9).toLongLong();
    q.finish();
    return std::optional<ChannelState>(std::move(s));
}

namespace {

Result<qint64> single(QSqlQuery &q)
{
    if (auto r = run(q); !r)
        return r.error();
    const qint64 n = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return n;
}

} // namespace

Result<qint64> CatalogueStore::reportCount()
{
    return single(m_q->countReports);
}

Result<qint64> CatalogueStore::channelCount()
{
    return single(m_q->countChannels);
}

Result<bool> CatalogueStore::isEmpty()
{
    auto n = channelCount();
    if (!n)
        return n.error();
    return n.value() == 0;
}

} // namespace mavrel::server
