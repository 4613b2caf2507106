#include "catalogueserver.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace mavrel::test {

namespace {

QString databasePath(const QTemporaryDir &dir)
{
    return dir.path() + u"/catalogue.db"_s;
}

// The database keeps only what its rules need; the log has every report the viewer sent.
QString reportLogPath(const QTemporaryDir &dir)
{
    return dir.path() + u"/reports.log"_s;
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
    m_process.setArguments(QStringList{u"--db"_s, databasePath(m_dir), u"--port"_s, u"0"_s,
                                       u"--demo"_s, u"--report-log"_s, reportLogPath(m_dir)} +
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
    QFile log(reportLogPath(m_dir));
    if (!log.open(QIODevice::ReadOnly))
        return out;
    for (const QByteArray &line : log.readAll().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 4)
            out.append({QByteArray::fromPercentEncoding(f[0]),
                        QByteArray::fromPercentEncoding(f[1]),
                        QByteArray::fromPercentEncoding(f[2]), f[3] == "1"});
    }
    return out;
}

} // namespace mavrel::test
