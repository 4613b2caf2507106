#pragma once

#include "server/store/sqlstore.h"

#include <memory>

namespace mavrel::server {

// The catalogue in one SQLite file (WAL): one writer at a time. A transaction that will write
// takes the file's lock from its start (BEGIN IMMEDIATE), so that a writer that must wait waits
// (on the busy timeout) instead of failing when it would upgrade a read; stores of one process
// on one file take their turns in order of arrival.
class SqliteStore final : public SqlStore
{
public:
    static Result<std::unique_ptr<CatalogueStore>> open(const QString &path, StoreOptions options);
    ~SqliteStore() override;

protected:
    Result<void> beginTransaction() override;
    Result<void> commitTransaction() override;
    void rollbackTransaction() override;
    qint64 clockNow() const override;
    Result<void> readingNowAndNext() override;
    // The driver's last insert id costs less than a returned row.
    QString returningId() const override { return {}; }
    qint64 insertedId(QSqlQuery &q) override { return q.lastInsertId().toLongLong(); }
    Result<void> recordReportOnce(const Report &report) override;

private:
    class WriteTurns;
    struct ReportQueries;

    SqliteStore(QString connection, StoreOptions options);
    Result<void> openFile(const QString &path);
    // An earlier schema's reports table held every report: what it counted stays counted.
    Result<void> migrateReports();
    Result<void> applyReport(const Report &report, const QList<std::pair<qint64, bool>> &channels);

    std::shared_ptr<WriteTurns> m_turns;
    bool m_holdsTurn = false;
    bool m_mapped = false;
    std::unique_ptr<ReportQueries> m_r;
};

} // namespace mavrel::server
