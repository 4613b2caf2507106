#pragma once

#include "server/store/sqlstore.h"

#include <memory>

namespace mavrel::server {

// The catalogue in a PostgreSQL database that several server processes share: time from the
// database's clock, reports in one call of its record_report, a source's new channels many to a
// statement.
class PostgresStore final : public SqlStore
{
public:
    static Result<std::unique_ptr<CatalogueStore>> open(const QString &location,
                                                        StoreOptions options);
    ~PostgresStore() override;

protected:
    Result<void> beginTransaction() override;
    Result<void> commitTransaction() override;
    void rollbackTransaction() override;
    qint64 clockNow() const override { return m_dbNow; }
    Result<void> readClock() override;
    Result<qint64> oldestOtherWriter() override;
    Result<void> explicitIdUsed() override;
    void batchCommitted() override;
    Result<void> recordReportOnce(const Report &report) override;
    Result<void> lockGuides() override;
    QString nowAndNextQuery() const override;
    Result<void> addFreshChannels(const QList<const SourceEntry *> &fresh,
                                  const QList<qsizetype> &at, QList<AddResult> &out,
                                  const QString &source) override;

private:
    struct PgQueries;

    PostgresStore(QString connection, StoreOptions options);
    Result<void> connect(const QString &location);
    // Valid channels without a wanted id whose addresses differ from each other, in one
    // statement; the outcomes in their order.
    Result<QList<AddResult>> insertSourceRun(const QList<const SourceEntry *> &entries,
                                             const QString &source);

    qint64 m_dbNow = 0;
    std::unique_ptr<PgQueries> m_pg;
};

} // namespace mavrel::server
