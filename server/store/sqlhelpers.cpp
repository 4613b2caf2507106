#include "server/store/sqlhelpers.h"

#include "server/catalogue/rules.h"
#include "server/store/cataloguestore.h"

#include <QFile>
#include <QSqlDriver>
#include <QSqlError>

using namespace Qt::StringLiterals;

namespace mavrel::server::sql {

QVariant blob(const QByteArray &bytes)
{
    return bytes.isNull() ? QVariant(QByteArray("")) : QVariant(bytes);
}

Result<void> run(QSqlQuery &q)
{
    if (!q.exec()) {
        const QString code = q.lastError().nativeErrorCode();
        // SQLITE_BUSY (5) and its extended codes end in 5 in their low byte.
        const bool busy = q.driver() && q.driver()->dbmsType() == QSqlDriver::SQLite &&
                          (code.toInt() & 0xff) == 5;
        const bool conflict = busy || code == u"40001" || code == u"40P01" || code == u"23505";
        return Result<void>::failure(u"database: %1"_s.arg(q.lastError().text()),
                                     conflict ? kConflict : 0);
    }
    return {};
}

Result<void> runText(const QSqlDatabase &db, const QString &sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        return Result<void>::failure(u"database: %1 (%2)"_s.arg(q.lastError().text(), sql));
    return {};
}

Result<qint64> single(QSqlQuery &q)
{
    if (auto r = run(q); !r)
        return r.error();
    const qint64 n = q.next() ? q.value(0).toLongLong() : 0;
    q.finish();
    return n;
}

Result<void> prepareAll(std::initializer_list<std::pair<QSqlQuery *, QString>> statements)
{
    for (const auto &[query, text] : statements) {
        if (text.isEmpty())
            return Result<void>::failure(u"database: a statement is missing from the build"_s);
        if (!query->prepare(text))
            return Result<void>::failure(
                u"database: %1 (%2)"_s.arg(query->lastError().text(), text));
    }
    return {};
}

QString resourceText(const QString &name)
{
    QFile f(u":/sql/"_s + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList kept;
    for (const QString &line : QString::fromUtf8(f.readAll()).split(u'\n')) {
        if (!line.startsWith(u"--"_s))
            kept.append(line);
    }
    return kept.join(u'\n').trimmed();
}

QStringList scriptStatements(const QString &script)
{
    QStringList out;
    QString statement;
    for (const QString &line : script.split(u'\n')) {
        statement += line + u'\n';
        if (line.trimmed().endsWith(u';')) {
            statement = statement.trimmed();
            statement.chop(1);
            out.append(statement);
            statement.clear();
        }
    }
    if (!statement.trimmed().isEmpty())
        out.append(statement.trimmed());
    return out;
}

Result<void> runScript(const QSqlDatabase &db, const QString &name)
{
    const QString script = resourceText(name);
    if (script.isEmpty())
        return Result<void>::failure(u"database: %1 is missing from the build"_s.arg(name));
    for (const QString &statement : scriptStatements(script)) {
        if (auto r = runText(db, statement); !r)
            return r;
    }
    return {};
}

ChannelRecord recordAt(const QSqlQuery &q, int first)
{
    return ChannelRecord{
        q.value(first).toByteArray(),
        q.value(first + 1).toByteArray(),
        q.value(first + 2).toByteArray(),
        q.value(first + 3).toByteArray(),
        q.value(first + 4).toByteArray(),
        q.value(first + 5).toByteArray(),
        q.value(first + 6).toByteArray(),
        QByteArray::number(q.value(first + 7).toLongLong()),
        formatRatingFigure(q.value(first + 8).toDouble(), q.value(first + 9).toLongLong())};
}

QByteArray figureLine(const QSqlQuery &q, int first)
{
    auto line = recordAt(q, first).toLine();
    return line ? std::move(line).value() : QByteArray();
}

QByteArray updateLines(QSqlQuery &q, bool removeAll, const std::atomic<bool> *stop)
{
    QByteArray body;
    for (int row = 0; q.next(); ++row) {
        if (stop && row % 1024 == 0 && stop->load())
            break;
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

int reportLogSlot(const QString &client)
{
    // FNV-1a: qHash is seeded per process.
    quint32 h = 2166136261u;
    for (const char c : client.toUtf8())
        h = (h ^ quint8(c)) * 16777619u;
    return int(h % kReportLogSlots);
}

} // namespace mavrel::server::sql
