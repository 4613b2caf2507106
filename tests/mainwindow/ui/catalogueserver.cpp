#include "catalogueserver.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace mavrel::test {

namespace {

QString databasePath(const QTemporaryDir &dir)
{
    return dir.path() + u"/catalogue.db"_s;
}

} // namespace

CatalogueServer::CatalogueServer() = default;

CatalogueServer::~CatalogueServer()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished(5000);
    }
}

bool CatalogueServer::start()
{
    m_process.setProgram(QString::fromUtf8(CATALOGUE_SERVER));
    m_process.setArguments(
        QStringList{u"--db"_s, databasePath(m_dir), u"--port"_s, u"0"_s, u"--demo"_s} +
        extraArguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(10000)) {
        m_error = m_process.errorString();
        return false;
    }
    while (!m_process.canReadLine()) {
        if (!m_process.waitForReadyRead(10000)) {
            m_error = QString::fromLocal8Bit(m_process.readAllStandardError());
            return false;
        }
    }
    const QByteArray line = m_process.readLine().trimmed();
    const QByteArray prefix = "listening on ";
    if (!line.startsWith(prefix)) {
        m_error = QString::fromLocal8Bit(line);
        return false;
    }
    m_base = line.mid(prefix.size());
    return true;
}

QList<ChannelRecord> CatalogueServer::catalogue()
{
    if (!m_catalogue.isEmpty())
        return m_catalogue;
    QProcess exporter;
    exporter.start(QString::fromUtf8(CATALOGUE_SERVER),
                   {u"export"_s, u"--db"_s, databasePath(m_dir)});
    exporter.waitForFinished(10000);
    for (const QByteArray &line : exporter.readAllStandardOutput().split('\n')) {
        if (!line.contains('|'))
            continue;
        Result<ChannelRecord> record = ChannelRecord::parse(line.trimmed());
        if (record)
            m_catalogue << record.value();
    }
    return m_catalogue;
}

const ChannelRecord *CatalogueServer::channel(const QByteArray &name)
{
    catalogue();
    for (const ChannelRecord &r : std::as_const(m_catalogue)) {
        if (r.name == name)
            return &r;
    }
    return nullptr;
}

std::optional<QByteArray> CatalogueServer::runCommand(const QString &command,
                                                      const QStringList &arguments)
{
    QProcess tool;
    tool.start(QString::fromUtf8(CATALOGUE_SERVER),
               QStringList{command, u"--db"_s, databasePath(m_dir)} + arguments);
    if (!tool.waitForFinished(30000) || tool.exitStatus() != QProcess::NormalExit ||
        tool.exitCode() != 0)
        return std::nullopt;
    m_catalogue.clear();
    return tool.readAllStandardOutput();
}

QList<CatalogueServer::Report> CatalogueServer::reports() const
{
    QList<Report> out;
    const QString connection = QUuid::createUuid().toString();
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, connection);
        db.setDatabaseName(databasePath(m_dir));
        db.setConnectOptions(u"QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"_s);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(u"SELECT type, value, item, admin FROM reports ORDER BY seq"_s)) {
                while (q.next()) {
                    out.append({q.value(0).toByteArray(), q.value(1).toByteArray(),
                                q.value(2).toByteArray(), q.value(3).toInt() != 0});
                }
            }
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return out;
}

} // namespace mavrel::test
