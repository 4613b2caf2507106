#pragma once

// What both SQL backends share: running prepared statements, binding bytes, loading the SQL
// texts built into the server, and turning channel rows into catalogue and update lines.

#include "catalogue/channelrecord.h"
#include "platform/result.h"

#include <QByteArray>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <atomic>
#include <utility>

namespace mavrel::server::sql {

// Error code of a failure that another writer caused and a second try resolves: PostgreSQL's
// serialization failure, deadlock, and a unique key taken meanwhile; SQLite's busy database.
constexpr qint64 kConflict = 1;

// The SQLite driver binds a null QByteArray as NULL; an empty field is still a field.
QVariant blob(const QByteArray &bytes);

Result<void> run(QSqlQuery &q);
Result<void> runText(const QSqlDatabase &db, const QString &sql);
// The first column of the first row, or 0 when there is none (or it is NULL).
Result<qint64> single(QSqlQuery &q);
Result<void> prepareAll(std::initializer_list<std::pair<QSqlQuery *, QString>> statements);

// A text of :/sql/, without its comment lines; empty when it is not built in.
QString resourceText(const QString &name);
// The statements of a script whose statements end with ";" at the end of a line.
QStringList scriptStatements(const QString &script);
Result<void> runScript(const QSqlDatabase &db, const QString &name);

// Columns from first: id name kind url lang spare1 spare2 favorites rating_sum rating_count.
ChannelRecord recordAt(const QSqlQuery &q, int first);
// The catalogue line (with CR LF) of such columns, or nothing when it cannot be carried.
QByteArray figureLine(const QSqlQuery &q, int first);
// Update lines from a query whose column 0 says whether the channel was removed: ten fields
// each ("ADD" or "DEL" first, no closing "|"), separated by "<BR>". A dead-channel reply
// removes every channel it lists. Stops early, with what it read so far, once *stop turns true.
QByteArray updateLines(QSqlQuery &q, bool removeAll, const std::atomic<bool> *stop = nullptr);
inline constexpr const char *kLineColumns =
    "id, name, kind, url, lang, spare1, spare2, favorites, rating_sum, rating_count";

// The client's bucket in the reports log, the same in every server process.
int reportLogSlot(const QString &client);

} // namespace mavrel::server::sql
