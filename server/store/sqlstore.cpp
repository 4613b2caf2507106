#include "server/store/sqlstore.h"

#include "server/store/sqlhelpers.h"

#include "online/datetext.h"

#include <QDateTime>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace mavrel::server {

using namespace sql;

namespace {

// A batch commits after this many rows or this long, whichever comes first.
constexpr int kBatchRows = 8000;
constexpr qint64 kBatchMs = 100;
// A guide's staged rows commit this many at a time, so that reports get their turn meanwhile.
constexpr int kStagedPerTransaction = 4000;
// Staged programmes one insert statement carries: 1,800 bound values, well inside what either
// backend takes in one statement.
constexpr int kProgrammesPerInsert = 200;
// Staged rows of a writer that never finished are cleared by a later guide after this long.
constexpr qint64 kStaleStagingSecs = 24 * 3600;
constexpr const char *kProgrammeColumns =
    "guide_id, start, stop, title, sub_title, description, category";

// The SQLite driver binds a null QString as NULL; an empty field is still a field.
QVariant text(const QString &s)
{
    return s.isNull() ? QVariant(QString::fromLatin1("")) : QVariant(s);
}

Programme programmeAt(const QSqlQuery &q)
{
    return Programme{q.value(0).toByteArray(), q.value(1).toLongLong(), q.value(2).toLongLong(),
                     q.value(3).toString(),    q.value(4).toString(),   q.value(5).toString(),
                     q.value(6).toString()};
}

} // namespace

SqlStore::SqlStore(QString connection, StoreOptions options)
    : m_connection(std::move(connection)), m_options(std::move(options))
{}

SqlStore::~SqlStore()
{
    m_gq.reset();
    m_sq.reset();
    m_q.reset();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connection);
}

SqlStore::Transaction::Transaction(SqlStore &store) : m_store(store), m_outer(store.m_inBatch)
{
    if (!m_outer)
        m_started = m_store.beginTransaction();
}

SqlStore::Transaction::~Transaction()
{
    if (!m_outer && !m_done && m_started)
        m_store.rollbackTransaction();
}

Result<void> SqlStore::Transaction::commit()
{
    m_done = true;
    if (m_outer)
        return {};
    return m_store.commitTransaction();
}

Result<void> SqlStore::prepare()
{
    m_q = std::make_unique<Queries>(m_db);
    const QString lineColumns = QString::fromLatin1(kLineColumns);
    if (auto r = prepareAll({
            {&m_q->insertChannel,
             u"INSERT INTO channels (name, kind, url, lang, spare1, spare2, favorites, rating_sum,"
             " rating_count, changed) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s +
                 returningId()},
            {&m_q->insertChannelWithId,
             u"INSERT INTO channels (id, name, kind, url, lang, spare1, spare2, favorites,"
             " rating_sum, rating_count, changed) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"_s},
            {&m_q->idTaken, u"SELECT 1 FROM channels WHERE id = ?"_s},
            {&m_q->byUrl, u"SELECT id FROM channels WHERE url = ? AND removed = 0"_s},
            {&m_q->remove, u"UPDATE channels SET removed = 1, dead = 0, changed = ?"
                           " WHERE id = ? AND removed = 0"_s},
            {&m_q->latest, u"SELECT MAX(changed) FROM channels"_s},
            {&m_q->latestDead,
             u"SELECT MAX(dead_changed) FROM channels WHERE dead = 1 AND removed = 0"_s},
            // A dead channel goes out as a removal, so that one imported dead or dropped by its
            // source never reaches (or leaves) an ordinary viewer's list; its revival is a change.
            {&m_q->updates, u"SELECT CASE WHEN removed = 1 OR dead = 1 THEN 1 ELSE 0 END, "_s +
                                lineColumns +
                                u" FROM channels WHERE changed > ? ORDER BY changed, id"_s},
            {&m_q->dead, u"SELECT 0, "_s + lineColumns +
                             u" FROM channels WHERE dead = 1 AND removed = 0 AND dead_changed > ?"
                             " ORDER BY dead_changed, id"_s},
            {&m_q->selectVote,
             u"SELECT stars, at FROM votes WHERE channel = ? AND client = ? AND kind = ?"_s},
            {&m_q->upsertVote,
             u"INSERT INTO votes (channel, client, kind, stars, at) VALUES (?, ?, ?, ?, ?)"
             " ON CONFLICT (channel, client, kind)"
             " DO UPDATE SET stars = excluded.stars, at = excluded.at"_s},
            // A vote past its window counts as none: the oldest go, more of them than were cast.
            {&m_q->pruneVotes,
             u"DELETE FROM votes WHERE (channel, client, kind) IN (SELECT channel, client, kind"
             " FROM votes WHERE at <= ? ORDER BY at LIMIT ?)"_s},
            {&m_q->addFavorite,
             u"UPDATE channels SET favorites = favorites + 1, changed = ? WHERE id = ?"_s},
            {&m_q->addRating, u"UPDATE channels SET rating_sum = rating_sum + ?,"
                              " rating_count = rating_count + ?, changed = ? WHERE id = ?"_s},
            {&m_q->pruneReads, u"DELETE FROM update_fetches WHERE at < ?"_s},
            // A fetch from the date the row holds (or later) confirms it; an expired row is
            // forgotten; otherwise the earlier of the two dates stays.
            {&m_q->recordRead,
             u"INSERT INTO update_fetches (client, stored, at) VALUES (?, ?, ?)"
             " ON CONFLICT (client) DO UPDATE SET"
             " stored = CASE WHEN update_fetches.stored <= ? OR update_fetches.at < ?"
             " OR excluded.stored < update_fetches.stored"
             " THEN excluded.stored ELSE update_fetches.stored END,"
             " at = excluded.at"_s},
            {&m_q->minRead, u"SELECT stored FROM update_fetches WHERE client = ? AND at >= ?"_s},
            // Never lowered: on PostgreSQL several servers hand out dates.
            {&m_q->setMeta, u"INSERT INTO meta (key, value) VALUES (?, ?) ON CONFLICT (key)"
                            " DO UPDATE SET value = CASE WHEN excluded.value > meta.value"
                            " THEN excluded.value ELSE meta.value END"_s},
            {&m_q->exportAll, u"SELECT "_s + lineColumns +
                                  u" FROM channels WHERE removed = 0 AND dead = 0 ORDER BY id"_s},
            {&m_q->one, u"SELECT removed, dead, changed, dead_changed, "_s + lineColumns +
                            u" FROM channels WHERE id = ?"_s},
            // Reports the log keeps count in their rows; the others in the tally.
            {&m_q->countReports, u"SELECT (SELECT COALESCE(SUM(n), 0) FROM report_tally)"
                                 " + (SELECT COALESCE(SUM(n), 0) FROM reports)"_s},
            {&m_q->countChannels, u"SELECT COUNT(*) FROM channels WHERE removed = 0"_s},
        });
        !r)
        return r;
    m_q->updates.setForwardOnly(true);
    m_q->dead.setForwardOnly(true);
    m_q->exportAll.setForwardOnly(true);
    QSqlQuery meta(m_db);
    if (meta.exec(u"SELECT value FROM meta WHERE key = 'handed_out'"_s) && meta.next())
        m_handedOut = meta.value(0).toLongLong();
    return {};
}

qint64 SqlStore::now() const
{
    return m_options.clock ? m_options.clock() : clockNow();
}

Result<qint64> SqlStore::settledBefore()
{
    const qint64 settled = now() - 1;
    auto oldest = oldestOtherWriter();
    if (!oldest)
        return oldest;
    // A transaction older than the replay margin is stuck; the margin is all that helps then.
    const qint64 o = oldest.value();
    if (o > 0 && o > settled - m_options.updateMarginSecs && o <= settled)
        return o - 1;
    return settled;
}

qint64 SqlStore::stamp()
{
    // A clock that stepped back must not date a change at or before a date already stored.
    return std::max(now(), m_handedOut + 1);
}

Result<void> SqlStore::handOut(qint64 date)
{
    if (date <= m_handedOut)
        return {};
    m_handedOut = date;
    m_q->setMeta.bindValue(0, u"handed_out"_s);
    m_q->setMeta.bindValue(1, date);
    return run(m_q->setMeta);
}

Result<void> SqlStore::beginChunk()
{
    if (auto r = beginTransaction(); !r)
        return r;
    m_batchClockRead = false;
    m_chunkRows = 0;
    m_chunkTime.start();
    return {};
}

Result<void> SqlStore::beginBatch()
{
    if (auto r = beginChunk(); !r)
        return r;
    m_inBatch = true;
    return {};
}

Result<void> SqlStore::batchStep(int rows)
{
    if (!m_inBatch)
        return {};
    m_chunkRows += rows;
    if (m_chunkRows < kBatchRows && !m_chunkTime.hasExpired(kBatchMs))
        return {};
    if (auto r = commitTransaction(); !r) {
        m_inBatch = false;
        rollbackTransaction();
        return r;
    }
    if (auto r = beginChunk(); !r) {
        m_inBatch = false;
        return r;
    }
    return {};
}

Result<void> SqlStore::commitBatch()
{
    m_inBatch = false;
    if (auto r = commitTransaction(); !r)
        return r;
    batchCommitted();
    return {};
}

void SqlStore::rollbackBatch()
{
    if (!m_inBatch)
        return;
    m_inBatch = false;
    rollbackTransaction();
}

qint64 SqlStore::insertedId(QSqlQuery &q)
{
    return q.next() ? q.value(0).toLongLong() : 0;
}

Result<AddResult> SqlStore::insertChannel(const NewChannel &c)
{
    if (const Result<void> checked = checkChannel(c); !checked)
        return AddResult{AddOutcome::Invalid, 0, checked.error().message};
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
    const qint64 id = useId ? c.wantedId : insertedId(q);
    q.finish();
    if (useId) {
        if (auto r = explicitIdUsed(); !r)
            return r.error();
    }
    return AddResult{AddOutcome::Added, id, {}};
}

Result<AddResult> SqlStore::addChannel(const NewChannel &channel)
{
    Transaction tx(*this);
    if (!tx.started())
        return tx.started().error();
    if (auto r = readClock(); !r)
        return r.error();
    auto added = insertChannel(channel);
    if (!added)
        return added;
    if (auto r = tx.commit(); !r)
        return r.error();
    if (auto r = batchStep(); !r)
        return r.error();
    return added;
}

Result<bool> SqlStore::removeChannel(qint64 id)
{
    if (auto r = readClock(); !r)
        return r.error();
    m_q->remove.bindValue(0, stamp());
    m_q->remove.bindValue(1, id);
    if (auto r = run(m_q->remove); !r)
        return r.error();
    return m_q->remove.numRowsAffected() > 0;
}

Result<qint64> SqlStore::latestChange()
{
    auto latest = single(m_q->latest);
    if (!latest)
        return latest;
    return latest.value() > 0 ? latest.value() : initialUpdateDate().toSecsSinceEpoch();
}

Result<qint64> SqlStore::latestUpdateDate()
{
    auto latest = latestChange();
    if (!latest)
        return latest;
    auto dead = single(m_q->latestDead);
    if (!dead)
        return dead;
    return std::max(latest.value(), dead.value());
}

Result<void> SqlStore::rememberRead(const QString &client, qint64 since, qint64 stored)
{
    const qint64 t = now();
    m_q->pruneReads.bindValue(0, t - kReadMemorySecs);
    if (auto r = run(m_q->pruneReads); !r)
        return r;
    // The viewer asking from since has stored it, so a fetch handed out up to since is settled.
    m_q->recordRead.bindValue(0, client);
    m_q->recordRead.bindValue(1, stored);
    m_q->recordRead.bindValue(2, t);
    m_q->recordRead.bindValue(3, since);
    m_q->recordRead.bindValue(4, t - kReadMemorySecs);
    return run(m_q->recordRead);
}

Result<QByteArray> SqlStore::updateReply(qint64 since, const QString &client, qint64 *covered)
{
    Transaction tx(*this);
    if (!tx.started())
        return tx.started().error();
    if (auto r = readClock(); !r)
        return r.error();
    // Everything committed up to this second is in the reply; later changes are stamped with
    // this second or later, so the date to store is the second before (or before the start of
    // another server's transaction still under way).
    auto settled = settledBefore();
    if (!settled)
        return settled.error();
    const qint64 stored = std::max(settled.value(), m_handedOut);
    QSqlQuery &q = m_q->updates;
    q.bindValue(0, since - m_options.updateMarginSecs);
    if (auto r = run(q); !r)
        return r.error();
    const QByteArray body = updateLines(q, false);
    if (auto r = rememberRead(client, since, stored); !r)
        return r.error();
    // The reply carries its date: from now on no change may be stamped at or before it.
    if (covered) {
        if (auto r = handOut(stored); !r)
            return r.error();
        *covered = stored;
    }
    if (auto r = tx.commit(); !r)
        return r.error();
    return body;
}

Result<QByteArray> SqlStore::deadReply(qint64 since, const QString &client, qint64 *covered)
{
    Transaction tx(*this);
    if (!tx.started())
        return tx.started().error();
    if (auto r = readClock(); !r)
        return r.error();
    QSqlQuery &q = m_q->dead;
    q.bindValue(0, since - m_options.updateMarginSecs);
    if (auto r = run(q); !r)
        return r.error();
    const QByteArray body = updateLines(q, true);
    // The viewer stores the following date answer in the one update date it has: keep it at the
    // date it asked from, so that the ordinary update loses nothing. A date asked from the future
    // must not come back as a date to store: handed out, it would date every later change there.
    auto settled = settledBefore();
    if (!settled)
        return settled.error();
    const qint64 stored = std::min(since, std::max(settled.value(), m_handedOut));
    if (auto r = rememberRead(client, since, stored); !r)
        return r.error();
    if (covered)
        *covered = stored;
    if (auto r = tx.commit(); !r)
        return r.error();
    return body;
}

Result<QByteArray> SqlStore::readReplyLines(qint64 since, bool deadOnly, qint64 *settled,
                                            const std::atomic<bool> *stop)
{
    // No transaction, so no write lock: the date is settled before the lines are read, which
    // then hold every change committed up to it. A write of another connection still under way
    // on SQLite may carry an earlier stamp: the replay margin finds it, as it finds an import's.
    if (auto r = readClock(); !r)
        return r.error();
    auto before = settledBefore();
    if (!before)
        return before.error();
    QSqlQuery &q = deadOnly ? m_q->dead : m_q->updates;
    q.bindValue(0, since - m_options.updateMarginSecs);
    if (auto r = run(q); !r)
        return r.error();
    QByteArray body = updateLines(q, deadOnly, stop);
    if (stop && stop->load())
        return Result<QByteArray>::failure(u"cancelled"_s);
    *settled = std::max(before.value(), m_handedOut);
    return body;
}

Result<void> SqlStore::fetched(const QString &client, qint64 since, qint64 stored,
                               bool handOutStored)
{
    Transaction tx(*this);
    if (!tx.started())
        return tx.started();
    if (auto r = readClock(); !r)
        return r;
    if (auto r = rememberRead(client, since, stored); !r)
        return r;
    if (handOutStored) {
        if (auto r = handOut(stored); !r)
            return r;
    }
    return tx.commit();
}

Result<qint64> SqlStore::dateFor(const QString &client, std::optional<qint64> covered)
{
    if (auto r = readClock(); !r)
        return r.error();
    // The viewer's own reply decides, whatever other viewers at its address fetched meanwhile.
    // A later date than any handed out came from no reply of this catalogue: later changes
    // could still be stamped before it, so the address's memory answers instead.
    if (covered && *covered <= m_handedOut)
        return *covered;
    const qint64 t = now();
    m_q->minRead.bindValue(0, client);
    m_q->minRead.bindValue(1, t - kReadMemorySecs);
    auto date = single(m_q->minRead);
    if (!date)
        return date;
    qint64 d = date.value();
    if (d == 0) {
        // No fetch of this client is known (a restart lost nothing, but the memory is per
        // address): the latest change is the best guess, and the margin covers the rest.
        auto latest = latestChange();
        if (!latest)
            return latest;
        auto settled = settledBefore();
        if (!settled)
            return settled;
        d = std::min(latest.value(), std::max(settled.value(), m_handedOut));
    }
    if (auto r = handOut(d); !r)
        return r.error();
    return d;
}

Result<void> SqlStore::vote(qint64 channel, const QString &client, int kind, int stars)
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
    if (++m_votesCast >= kVotesPerPrune) {
        m_q->pruneVotes.bindValue(0, t - kVoteWindowSecs);
        m_q->pruneVotes.bindValue(1, 4 * m_votesCast);
        if (auto r = run(m_q->pruneVotes); !r)
            return r;
        m_votesCast = 0;
    }

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

SqlStore::ReportAction SqlStore::reportAction(const Report &report, int *stars)
{
    if (report.type == "FAVORITE")
        return Favorite;
    if (report.type == "Rate") {
        bool ok = false;
        *stars = report.value.toInt(&ok);
        return ok && *stars >= 1 && *stars <= 5 && report.value.size() == 1 ? Rate : Other;
    }
    if (report.type == "ONLINE")
        return Online;
    if (report.type == "OFFLINE")
        return Offline;
    return Other;
}

Result<void> SqlStore::recordReport(const Report &report)
{
    for (int attempt = 1;; ++attempt) {
        auto r = recordReportOnce(report);
        if (r || r.error().code != kConflict || attempt == 3 || m_inBatch)
            return r;
    }
}

Result<AddResult> SqlStore::submit(const NewChannel &channel, int stars, const QString &client)
{
    // Two servers taking the same address at once: the second try finds the first one's.
    for (int attempt = 1;; ++attempt) {
        auto r = submitOnce(channel, stars, client);
        if (r || r.error().code != kConflict || attempt == 3 || m_inBatch)
            return r;
    }
}

Result<AddResult> SqlStore::submitOnce(const NewChannel &channel, int stars, const QString &client)
{
    Transaction tx(*this);
    if (!tx.started())
        return tx.started().error();
    if (auto r = readClock(); !r)
        return r.error();
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

Result<QByteArray> SqlStore::exportCatalogue()
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

Result<std::optional<ChannelState>> SqlStore::channel(qint64 id)
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
    s.record = recordAt(q, 4);
    s.ratingCount = q.value(4 + 9).toLongLong();
    q.finish();
    return std::optional<ChannelState>(std::move(s));
}

Result<qint64> SqlStore::reportCount()
{
    return single(m_q->countReports);
}

Result<qint64> SqlStore::channelCount()
{
    return single(m_q->countChannels);
}

Result<bool> SqlStore::isEmpty()
{
    auto n = channelCount();
    if (!n)
        return n.error();
    return n.value() == 0;
}

// Channels that came from a source, for its sync.

Result<void> SqlStore::prepareSourceQueries()
{
    if (m_sq)
        return {};
    auto q = std::make_unique<SourceQueries>(m_db);
    if (auto r = prepareAll({
            {&q->list, u"SELECT c.id, c.name, c.kind, c.url, c.lang, c.dead, s.vanished"
                       " FROM source_channels s JOIN channels c ON c.id = s.channel"
                       " WHERE s.source = ? AND c.removed = 0"_s},
            {&q->claim, u"INSERT INTO source_channels (channel, source) VALUES (?, ?)"
                        " ON CONFLICT (channel) DO NOTHING"_s},
            {&q->fields, u"UPDATE channels SET name = ?, kind = ?, lang = ?, changed = ?"
                         " WHERE id = ? AND removed = 0"_s},
            // Gone from its source: a change too, so that ordinary viewers drop it.
            {&q->vanish,
             u"UPDATE channels SET dead = 1, dead_changed = ?, changed = ? WHERE id = ?"_s},
            // Back in its source: a change, so that viewers that dropped it get it again.
            {&q->returned,
             u"UPDATE channels SET dead = 0, dead_changed = ?, changed = ? WHERE id = ?"_s},
            {&q->deadOnArrival, u"UPDATE channels SET dead = 1, dead_changed = ? WHERE id = ?"_s},
            {&q->flag, u"UPDATE source_channels SET vanished = ? WHERE channel = ?"_s},
        });
        !r)
        return r;
    q->list.setForwardOnly(true);
    m_sq = std::move(q);
    return {};
}

Result<QList<SourceChannel>> SqlStore::sourceChannels(const QString &source)
{
    if (auto r = prepareSourceQueries(); !r)
        return r.error();
    QSqlQuery &q = m_sq->list;
    q.bindValue(0, source);
    if (auto r = run(q); !r)
        return r.error();
    QList<SourceChannel> out;
    while (q.next()) {
        SourceChannel c;
        c.id = q.value(0).toLongLong();
        c.name = q.value(1).toByteArray();
        c.kind = q.value(2).toByteArray();
        c.url = q.value(3).toByteArray();
        c.lang = q.value(4).toByteArray();
        c.dead = q.value(5).toBool();
        c.vanished = q.value(6).toInt();
        out.append(std::move(c));
    }
    q.finish();
    return out;
}

Result<void> SqlStore::claimChannel(qint64 id, const QString &source)
{
    if (auto r = prepareSourceQueries(); !r)
        return r;
    m_sq->claim.bindValue(0, id);
    m_sq->claim.bindValue(1, source);
    return run(m_sq->claim);
}

Result<AddResult> SqlStore::addSourceChannel(const SourceEntry &e, const QString &source)
{
    auto added = insertChannel(e.channel);
    if (!added || added.value().outcome != AddOutcome::Added)
        return added;
    const qint64 id = added.value().id;
    m_sq->claim.bindValue(0, id);
    m_sq->claim.bindValue(1, source);
    if (auto r = run(m_sq->claim); !r)
        return r.error();
    if (e.down) {
        m_sq->deadOnArrival.bindValue(0, stamp());
        m_sq->deadOnArrival.bindValue(1, id);
        if (auto r = run(m_sq->deadOnArrival); !r)
            return r.error();
    }
    return added;
}

Result<void> SqlStore::addFreshChannels(const QList<const SourceEntry *> &fresh,
                                        const QList<qsizetype> &at, QList<AddResult> &out,
                                        const QString &source)
{
    for (qsizetype k = 0; k < fresh.size(); ++k) {
        auto added = addSourceChannel(*fresh[k], source);
        if (!added)
            return added.error();
        out[at[k]] = added.value();
        if (auto r = batchStep(); !r)
            return r;
        if (m_inBatch) {
            if (auto r = readClock(); !r) // a new chunk reads the clock again
                return r;
        }
    }
    return {};
}

Result<QList<AddResult>> SqlStore::addSourceChannels(const QList<const SourceEntry *> &entries,
                                                     const QString &source)
{
    if (entries.isEmpty())
        return QList<AddResult>();
    if (auto r = prepareSourceQueries(); !r)
        return r.error();
    Transaction tx(*this);
    if (!tx.started())
        return tx.started().error();
    if (auto r = readClock(); !r)
        return r.error();
    QList<AddResult> out(entries.size());
    // A later channel at the address of an earlier valid one is a duplicate of it, whatever the
    // earlier one's outcome; only the first of each address goes to the database.
    QHash<QByteArray, qsizetype> firstAt;
    QList<std::pair<qsizetype, qsizetype>> repeats;
    QList<const SourceEntry *> fresh;
    QList<qsizetype> freshAt;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const NewChannel &c = entries[i]->channel;
        if (const Result<void> checked = checkChannel(c); !checked) {
            out[i] = AddResult{AddOutcome::Invalid, 0, checked.error().message};
            continue;
        }
        if (const auto it = firstAt.constFind(c.url); it != firstAt.cend()) {
            repeats.append({i, *it});
            continue;
        }
        firstAt.insert(c.url, i);
        fresh.append(entries[i]);
        freshAt.append(i);
    }
    if (auto r = addFreshChannels(fresh, freshAt, out, source); !r)
        return r.error();
    for (const auto &[later, first] : repeats)
        out[later] = AddResult{AddOutcome::Duplicate, out[first].id, u"address already listed"_s};
    if (auto r = tx.commit(); !r)
        return r.error();
    return out;
}

Result<void> SqlStore::updateSourceFields(qint64 id, const NewChannel &c)
{
    if (auto r = prepareSourceQueries(); !r)
        return r;
    if (auto r = readClock(); !r)
        return r;
    QSqlQuery &q = m_sq->fields;
    q.bindValue(0, blob(c.name));
    q.bindValue(1, blob(c.kind));
    q.bindValue(2, blob(c.lang));
    q.bindValue(3, stamp());
    q.bindValue(4, id);
    if (auto r = run(q); !r)
        return r;
    return batchStep();
}

Result<void> SqlStore::vanish(qint64 id, bool alreadyDead)
{
    if (auto r = prepareSourceQueries(); !r)
        return r;
    if (!alreadyDead) {
        if (auto r = readClock(); !r)
            return r;
        const qint64 t = stamp();
        m_sq->vanish.bindValue(0, t);
        m_sq->vanish.bindValue(1, t);
        m_sq->vanish.bindValue(2, id);
        if (auto r = run(m_sq->vanish); !r)
            return r;
    }
    m_sq->flag.bindValue(0, alreadyDead ? 2 : 1);
    m_sq->flag.bindValue(1, id);
    if (auto r = run(m_sq->flag); !r)
        return r;
    return batchStep();
}

Result<void> SqlStore::relist(qint64 id, bool revive)
{
    if (auto r = prepareSourceQueries(); !r)
        return r;
    if (revive) {
        if (auto r = readClock(); !r)
            return r;
        const qint64 t = stamp();
        m_sq->returned.bindValue(0, t);
        m_sq->returned.bindValue(1, t);
        m_sq->returned.bindValue(2, id);
        if (auto r = run(m_sq->returned); !r)
            return r;
    }
    m_sq->flag.bindValue(0, 0);
    m_sq->flag.bindValue(1, id);
    if (auto r = run(m_sq->flag); !r)
        return r;
    return batchStep();
}

Result<void> SqlStore::markDeadOnArrival(qint64 id)
{
    if (auto r = prepareSourceQueries(); !r)
        return r;
    if (auto r = readClock(); !r)
        return r;
    m_sq->deadOnArrival.bindValue(0, stamp());
    m_sq->deadOnArrival.bindValue(1, id);
    if (auto r = run(m_sq->deadOnArrival); !r)
        return r;
    return batchStep();
}

// The programme guide.

// Programmes go to the staging table under a writer number of their own, a few thousand rows
// a transaction; commit() swaps them in for their guide ids in one transaction.
class SqlStore::SqlGuideWriter final : public CatalogueStore::GuideWriter
{
public:
    SqlGuideWriter(SqlStore &store, qint64 writer)
        : m_store(store), m_writer(writer), m_begun(store.now())
    {}
    ~SqlGuideWriter() override { abandon(); }

    Result<void> add(const Programme &programme) override
    {
        if (m_done)
            return Result<void>::failure(u"the guide was already committed or abandoned"_s);
        m_rows.append(programme);
        // A stop before the start is no end: the next programme's start gives it one.
        if (programme.stop != 0 && programme.stop < programme.start)
            m_rows.last().stop = 0;
        if (m_rows.size() < kStagedPerTransaction)
            return {};
        return flush();
    }

    Result<qint64> commit() override
    {
        if (m_done)
            return Result<qint64>::failure(u"the guide was already committed or abandoned"_s);
        if (auto r = flush(); !r) {
            abandon();
            return r.error();
        }
        auto moved = swap();
        if (!moved) {
            abandon();
            return moved;
        }
        m_done = true;
        m_staged = false;
        return moved;
    }

    void abandon() override
    {
        m_done = true;
        m_rows.clear();
        if (!m_staged)
            return;
        m_staged = false;
        Transaction tx(m_store);
        if (!tx.started())
            return;
        QSqlQuery &q = m_store.m_gq->clearWriter;
        q.bindValue(0, m_writer);
        if (run(q))
            (void)tx.commit();
    }

private:
    Result<void> flush()
    {
        if (m_rows.isEmpty())
            return {};
        Transaction tx(m_store);
        if (!tx.started())
            return tx.started();
        m_staged = true;
        const int perInsert = kProgrammesPerInsert;
        for (qsizetype first = 0; first < m_rows.size(); first += perInsert) {
            const int n = int(std::min<qsizetype>(perInsert, m_rows.size() - first));
            QSqlQuery *q = &m_full;
            bool prepare = !m_fullPrepared;
            if (n != perInsert) {
                m_tail = QSqlQuery(m_store.m_db);
                q = &m_tail;
                prepare = true;
            } else {
                m_fullPrepared = true;
            }
            if (prepare && !q->prepare(insertText(n)))
                return Result<void>::failure(u"database: %1"_s.arg(q->lastError().text()));
            int i = 0;
            for (qsizetype row = first; row < first + n; ++row) {
                const Programme &p = m_rows.at(row);
                q->bindValue(i++, m_writer);
                q->bindValue(i++, m_begun);
                q->bindValue(i++, blob(p.guideId));
                q->bindValue(i++, p.start);
                q->bindValue(i++, p.stop);
                for (const QString *f : {&p.title, &p.subTitle, &p.description, &p.category})
                    q->bindValue(i++, text(*f));
            }
            if (auto r = run(*q); !r)
                return r;
            q->finish();
        }
        m_rows.clear();
        return tx.commit();
    }

    QString insertText(int rows) const
    {
        QString values = u"(?, ?, ?, ?, ?, ?, ?, ?, ?)"_s;
        for (int i = 1; i < rows; ++i)
            values += u", (?, ?, ?, ?, ?, ?, ?, ?, ?)"_s;
        return u"INSERT INTO programmes_staging (writer, begun, "_s +
               QString::fromLatin1(kProgrammeColumns) + u") VALUES "_s + values;
    }

    Result<qint64> swap()
    {
        GuideQueries &g = *m_store.m_gq;
        Transaction tx(m_store);
        if (!tx.started())
            return tx.started().error();
        if (auto r = m_store.lockGuides(); !r)
            return r.error();
        for (QSqlQuery *q : {&g.fillStops, &g.deleteOld, &g.addGuides, &g.move}) {
            q->bindValue(0, m_writer);
            if (auto r = run(*q); !r)
                return r.error();
        }
        const qint64 moved = std::max(0, g.move.numRowsAffected());
        g.clearWriter.bindValue(0, m_writer);
        if (auto r = run(g.clearWriter); !r)
            return r.error();
        if (auto r = tx.commit(); !r)
            return r.error();
        return moved;
    }

    SqlStore &m_store;
    const qint64 m_writer;
    const qint64 m_begun;
    QList<Programme> m_rows;
    QSqlQuery m_full{m_store.m_db};
    QSqlQuery m_tail{m_store.m_db};
    bool m_fullPrepared = false;
    bool m_done = false;
    bool m_staged = false; // rows of this writer may sit in the staging table
};

QString SqlStore::nowAndNextQuery() const
{
    // One index probe per guide id: the latest start up to `at`. A guide's programmes go in
    // together in start order (the swap's ordered insert), so the next one is the row after it
    // by rowid, when that row is the same guide's; a guide with nothing started yet takes a
    // second probe for its first programme after `at`.
    return u"WITH n AS MATERIALIZED (SELECT guide_id AS id,"
           " (SELECT rowid FROM programmes WHERE guide_id = g.guide_id AND start <= ?"
           " ORDER BY start DESC, rowid DESC LIMIT 1) AS nr FROM programme_guides g),"
           " s AS MATERIALIZED (SELECT id, nr, COALESCE(nr + 1, (SELECT rowid FROM programmes"
           " WHERE guide_id = n.id AND start > ? ORDER BY start LIMIT 1)) AS xr FROM n)"
           " SELECT s.id, a.start, a.stop, a.title, b.start, b.stop, b.title FROM s"
           " LEFT JOIN programmes a ON a.rowid = s.nr"
           " LEFT JOIN programmes b ON b.rowid = s.xr AND b.guide_id = s.id"_s;
}

Result<void> SqlStore::prepareGuideQueries()
{
    if (m_gq)
        return {};
    auto g = std::make_unique<GuideQueries>(m_db);
    const QString columns = QString::fromLatin1(kProgrammeColumns);
    if (auto r = prepareAll({
            {&g->ids, u"SELECT DISTINCT spare1 FROM channels"
                      " WHERE removed = 0 AND length(spare1) > 0"_s},
            {&g->nowNext, nowAndNextQuery()},
            // A programme without an end (stop = start) counts when it starts in the range.
            {&g->day, u"SELECT "_s + columns +
                          u" FROM programmes WHERE guide_id = ? AND start < ?"
                          " AND (stop > ? OR start >= ?) ORDER BY start"_s},
            {&g->prune, u"DELETE FROM programmes WHERE stop < ?"_s},
            {&g->clearStale, u"DELETE FROM programmes_staging WHERE begun < ?"_s},
            {&g->clearWriter, u"DELETE FROM programmes_staging WHERE writer = ?"_s},
            // A programme the guide gave no end ends where the next begins; the last one keeps
            // none (stop = start).
            {&g->fillStops, u"UPDATE programmes_staging SET stop = COALESCE((SELECT MIN(n.start)"
                            " FROM programmes_staging n WHERE n.writer = programmes_staging.writer"
                            " AND n.guide_id = programmes_staging.guide_id"
                            " AND n.start > programmes_staging.start), start)"
                            " WHERE writer = ? AND stop = 0"_s},
            {&g->deleteOld, u"DELETE FROM programmes WHERE guide_id IN"
                            " (SELECT guide_id FROM programmes_staging WHERE writer = ?)"_s},
            {&g->addGuides, u"INSERT INTO programme_guides (guide_id) SELECT DISTINCT guide_id"
                            " FROM programmes_staging WHERE writer = ?"
                            " ON CONFLICT (guide_id) DO NOTHING"_s},
            {&g->move, u"INSERT INTO programmes ("_s + columns + u") SELECT "_s + columns +
                           u" FROM programmes_staging WHERE writer = ?"
                           " ORDER BY guide_id, start"_s},
        });
        !r)
        return r;
    g->nowNext.setForwardOnly(true);
    g->day.setForwardOnly(true);
    m_gq = std::move(g);
    return {};
}

Result<std::unique_ptr<CatalogueStore::GuideWriter>> SqlStore::beginGuide()
{
    if (auto r = prepareGuideQueries(); !r)
        return r.error();
    {
        Transaction tx(*this);
        if (!tx.started())
            return tx.started().error();
        // The guide's window is read from now(): on PostgreSQL the database's clock.
        if (auto r = readClock(); !r)
            return r.error();
        m_gq->clearStale.bindValue(0, now() - kStaleStagingSecs);
        if (auto r = run(m_gq->clearStale); !r)
            return r.error();
        if (auto r = tx.commit(); !r)
            return r.error();
    }
    // Writers of other processes stage beside this one: a random number tells them apart.
    const qint64 writer = qint64(QRandomGenerator::global()->generate64() >> 1);
    return std::unique_ptr<GuideWriter>(new SqlGuideWriter(*this, writer));
}

Result<QSet<QByteArray>> SqlStore::guideIds()
{
    if (auto r = prepareGuideQueries(); !r)
        return r.error();
    QSqlQuery &q = m_gq->ids;
    if (auto r = run(q); !r)
        return r.error();
    QSet<QByteArray> ids;
    while (q.next())
        ids.insert(q.value(0).toByteArray());
    q.finish();
    return ids;
}

Result<QList<CatalogueStore::NowNext>> SqlStore::nowAndNext(qint64 at)
{
    if (auto r = prepareGuideQueries(); !r)
        return r.error();
    if (auto r = readingNowAndNext(); !r)
        return r.error();
    QSqlQuery &q = m_gq->nowNext;
    q.bindValue(0, at);
    q.bindValue(1, at);
    if (auto r = run(q); !r)
        return r.error();
    // A row per guide id: the programme of the latest start up to `at` (on now if it has not
    // ended) and the first after it, each possibly NULL.
    QList<NowNext> out;
    bool sorted = true;
    while (q.next()) {
        NowNext n{q.value(0).toByteArray(), {}, {}};
        if (!q.isNull(1) && q.value(2).toLongLong() > at)
            n.now = Programme{n.guideId,
                              q.value(1).toLongLong(),
                              q.value(2).toLongLong(),
                              q.value(3).toString(),
                              {},
                              {},
                              {}};
        if (!q.isNull(4))
            n.next = Programme{n.guideId,
                               q.value(4).toLongLong(),
                               q.value(5).toLongLong(),
                               q.value(6).toString(),
                               {},
                               {},
                               {}};
        if (!n.now && !n.next)
            continue;
        sorted = sorted && (out.isEmpty() || out.last().guideId < n.guideId);
        out.append(std::move(n));
    }
    q.finish();
    if (!sorted)
        std::sort(out.begin(), out.end(),
                  [](const NowNext &a, const NowNext &b) { return a.guideId < b.guideId; });
    return out;
}

Result<QList<Programme>> SqlStore::programmes(const QByteArray &guideId, qint64 from, qint64 to)
{
    if (auto r = prepareGuideQueries(); !r)
        return r.error();
    QSqlQuery &q = m_gq->day;
    q.bindValue(0, blob(guideId));
    q.bindValue(1, to);
    q.bindValue(2, from);
    q.bindValue(3, from);
    if (auto r = run(q); !r)
        return r.error();
    QList<Programme> out;
    while (q.next())
        out.append(programmeAt(q));
    q.finish();
    return out;
}

Result<qint64> SqlStore::pruneProgrammes(qint64 before)
{
    if (auto r = prepareGuideQueries(); !r)
        return r.error();
    Transaction tx(*this);
    if (!tx.started())
        return tx.started().error();
    m_gq->prune.bindValue(0, before);
    if (auto r = run(m_gq->prune); !r)
        return r.error();
    const qint64 n = std::max(0, m_gq->prune.numRowsAffected());
    if (auto r = tx.commit(); !r)
        return r.error();
    return n;
}

} // namespace mavrel::server
