#pragma once

// What the SQLite and the PostgreSQL store share: the same tables, the same statements where
// both speak them, and the rules of dates, updates and sources. Each backend supplies its
// connection, transactions, clock and the steps where the two differ.

#include "server/store/cataloguestore.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>

namespace mavrel::server {

class SqlStore : public CatalogueStore
{
public:
    ~SqlStore() override;

    qint64 now() const override;
    Result<AddResult> addChannel(const NewChannel &channel) override;
    Result<void> beginBatch() override;
    Result<void> commitBatch() override;
    void rollbackBatch() override;
    Result<bool> removeChannel(qint64 id) override;
    Result<qint64> latestChange() override;
    Result<qint64> latestUpdateDate() override;
    Result<QByteArray> updateReply(qint64 since, const QString &client,
                                   qint64 *covered = nullptr) override;
    Result<QByteArray> deadReply(qint64 since, const QString &client,
                                 qint64 *covered = nullptr) override;
    Result<qint64> dateFor(const QString &client,
                           std::optional<qint64> covered = std::nullopt) override;
    Result<QByteArray> readReplyLines(qint64 since, bool deadOnly, qint64 *settled,
                                      const std::atomic<bool> *stop = nullptr) override;
    Result<void> fetched(const QString &client, qint64 since, qint64 stored,
                         bool handOutStored) override;
    Result<void> recordReport(const Report &report) override;
    Result<AddResult> submit(const NewChannel &channel, int stars, const QString &client) override;
    Result<QByteArray> exportCatalogue() override;
    Result<std::optional<ChannelState>> channel(qint64 id) override;
    Result<qint64> reportCount() override;
    Result<qint64> channelCount() override;
    Result<bool> isEmpty() override;
    Result<QList<SourceChannel>> sourceChannels(const QString &source) override;
    Result<void> claimChannel(qint64 id, const QString &source) override;
    Result<QList<AddResult>> addSourceChannels(const QList<const SourceEntry *> &entries,
                                               const QString &source) override;
    Result<void> updateSourceFields(qint64 id, const NewChannel &channel) override;
    Result<void> vanish(qint64 id, bool alreadyDead) override;
    Result<void> relist(qint64 id, bool revive) override;
    Result<void> markDeadOnArrival(qint64 id) override;
    Result<std::unique_ptr<GuideWriter>> beginGuide() override;
    Result<QSet<QByteArray>> guideIds() override;
    Result<QList<NowNext>> nowAndNext(qint64 at) override;
    Result<QList<Programme>> programmes(const QByteArray &guideId, qint64 from, qint64 to) override;
    Result<qint64> pruneProgrammes(qint64 before) override;

protected:
    enum VoteKind
    {
        FavoriteVote = 0,
        RatingVote = 1
    };
    // What a report does; the numbers are record_report's p_kind.
    enum ReportAction
    {
        Favorite = 0,
        Rate = 1,
        Online = 2,
        Offline = 3,
        Other = -1
    };
    static ReportAction reportAction(const Report &report, int *stars);
    // Votes past their window are deleted every few votes cast, four for each.
    static constexpr int kVotesPerPrune = 8;

    // Commits on success unless the store is in a batch, whose transaction it joins.
    class Transaction
    {
    public:
        explicit Transaction(SqlStore &store);
        ~Transaction();
        const Result<void> &started() const { return m_started; }
        Result<void> commit();

    private:
        SqlStore &m_store;
        bool m_outer;
        bool m_done = false;
        Result<void> m_started;
    };

    SqlStore(QString connection, StoreOptions options);
    // Prepares the statements both backends share, once the schema is in place.
    Result<void> prepare();

    // A transaction that will write: it holds the right to write from its start.
    virtual Result<void> beginTransaction() = 0;
    virtual Result<void> commitTransaction() = 0;
    virtual void rollbackTransaction() = 0;
    // The current second when no test clock is set.
    virtual qint64 clockNow() const = 0;
    // Reads the clock for the operation that begins (PostgreSQL: the database's).
    virtual Result<void> readClock() { return {}; }
    // The start of the oldest transaction of another writer still under way, or 0.
    virtual Result<qint64> oldestOtherWriter() { return qint64(0); }
    // How the insert of a channel answers its new id.
    virtual QString returningId() const { return u" RETURNING id"_qs; }
    virtual qint64 insertedId(QSqlQuery &q);
    // After a channel was inserted with an id of its own.
    virtual Result<void> explicitIdUsed() { return {}; }
    virtual void batchCommitted() {}
    // Records one report, without retrying.
    virtual Result<void> recordReportOnce(const Report &report) = 0;
    // Adds valid channels with addresses of their own (positions `at` of `out`) for a source.
    // A row per guide id of programme_guides: the id, then start, stop and title of the programme
    // of the latest start up to the first parameter and of the first start after the second
    // (NULL when there is none).
    virtual QString nowAndNextQuery() const;
    // Before the first now-and-next query of this connection.
    virtual Result<void> readingNowAndNext() { return {}; }
    // In a guide's swap transaction: keeps other writers off the same guide ids until it ends.
    virtual Result<void> lockGuides() { return {}; }
    virtual Result<void> addFreshChannels(const QList<const SourceEntry *> &fresh,
                                          const QList<qsizetype> &at, QList<AddResult> &out,
                                          const QString &source);

    // In a batch: counts rows done and, past a few thousand rows or about 50 ms, commits the
    // transaction and begins the next, so that other writers get their turn.
    Result<void> batchStep(int rows = 1);
    Result<AddResult> insertChannel(const NewChannel &channel);
    Result<AddResult> addSourceChannel(const SourceEntry &entry, const QString &source);
    Result<void> vote(qint64 channel, const QString &client, int kind, int stars);
    qint64 stamp();
    Result<void> prepareSourceQueries();

    QString m_connection;
    // Held rather than looked up by name, so that a store handed from thread to thread (one at a
    // time) keeps working.
    QSqlDatabase m_db;
    StoreOptions m_options;
    qint64 m_handedOut = 0;
    bool m_inBatch = false;
    // A batch's transaction takes one reading of the clock.
    bool m_batchClockRead = false;
    int m_votesCast = 0; // since expired votes were last deleted

    struct Queries;
    struct SourceQueries;
    struct GuideQueries;
    std::unique_ptr<Queries> m_q;
    std::unique_ptr<SourceQueries> m_sq;
    std::unique_ptr<GuideQueries> m_gq;

private:
    class SqlGuideWriter;

    Result<void> prepareGuideQueries();
    Result<qint64> settledBefore();
    Result<void> handOut(qint64 date);
    Result<void> rememberRead(const QString &client, qint64 since, qint64 stored);
    Result<AddResult> submitOnce(const NewChannel &channel, int stars, const QString &client);
    Result<void> beginChunk();

    int m_chunkRows = 0;
    QElapsedTimer m_chunkTime;
};

struct SqlStore::Queries
{
    explicit Queries(const QSqlDatabase &db)
        : insertChannel(db), insertChannelWithId(db), idTaken(db), byUrl(db), remove(db),
          latest(db), latestDead(db), updates(db), dead(db), selectVote(db), upsertVote(db),
          pruneVotes(db), addFavorite(db), addRating(db), pruneReads(db), recordRead(db),
          minRead(db), setMeta(db), exportAll(db), one(db), countReports(db), countChannels(db)
    {}
    QSqlQuery insertChannel, insertChannelWithId, idTaken, byUrl, remove, latest, latestDead,
        updates, dead, selectVote, upsertVote, pruneVotes, addFavorite, addRating, pruneReads,
        recordRead, minRead, setMeta, exportAll, one, countReports, countChannels;
};

struct SqlStore::SourceQueries
{
    explicit SourceQueries(const QSqlDatabase &db)
        : list(db), claim(db), fields(db), vanish(db), returned(db), deadOnArrival(db), flag(db)
    {}
    QSqlQuery list, claim, fields, vanish, returned, deadOnArrival, flag;
};

struct SqlStore::GuideQueries
{
    explicit GuideQueries(const QSqlDatabase &db)
        : ids(db), nowNext(db), day(db), prune(db), clearStale(db), clearWriter(db), fillStops(db),
          deleteOld(db), addGuides(db), move(db)
    {}
    QSqlQuery ids, nowNext, day, prune, clearStale, clearWriter, fillStops, deleteOld, addGuides,
        move;
};

} // namespace mavrel::server
