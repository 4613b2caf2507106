#pragma once

// A throw-away PostgreSQL 15 cluster in a temporary folder, on a free loopback port, for the
// tests of the PostgreSQL backend. PostgreSQL refuses to run as root: under root its programs run
// as "nobody". The cluster is stopped and its folder removed when the object goes, failed test or
// not.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QTemporaryDir>
#include <QUuid>

#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>

namespace mavrel::testing {

class PgCluster
{
public:
    static constexpr const char *kBin = "/usr/lib/postgresql/15/bin/";

    PgCluster() : m_dir(QDir::tempPath() + QStringLiteral("/mavrel-pg-XXXXXX"))
    {
        if (!m_dir.isValid()) {
            m_error = QStringLiteral("no temporary folder");
            return;
        }
        m_asRoot = ::geteuid() == 0;
        if (m_asRoot) {
            const passwd *nobody = ::getpwnam("nobody");
            if (!nobody || ::chown(QFile::encodeName(m_dir.path()).constData(), nobody->pw_uid,
                                   nobody->pw_gid) != 0) {
                m_error = QStringLiteral("cannot hand the folder to nobody");
                return;
            }
        }
        m_port = freePort();
        if (!run({QStringLiteral("initdb"), QStringLiteral("-D"), dataDir(), QStringLiteral("-U"),
                  QStringLiteral("postgres"), QStringLiteral("--auth=trust"), QStringLiteral("-E"),
                  QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"),
                  QStringLiteral("--no-sync")}))
            return;
        const QString options = QStringLiteral("-c listen_addresses=127.0.0.1 -c port=%1 "
                                               "-c unix_socket_directories=%2 -c fsync=off "
                                               "-c max_connections=200")
                                    .arg(m_port)
                                    .arg(m_dir.path());
        if (!run({QStringLiteral("pg_ctl"), QStringLiteral("-D"), dataDir(), QStringLiteral("-l"),
                  m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-w"),
                  QStringLiteral("-o"), options, QStringLiteral("start")}))
            return;
        m_started = true;
    }
    ~PgCluster()
    {
        if (m_started)
            run({QStringLiteral("pg_ctl"), QStringLiteral("-D"), dataDir(), QStringLiteral("-m"),
                 QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
        // QTemporaryDir removes the folder; root may remove what nobody wrote.
    }
    PgCluster(const PgCluster &) = delete;
    PgCluster &operator=(const PgCluster &) = delete;

    bool ok() const { return m_started; }
    // Stops the cluster, dropping every connection, and starts it again.
    bool restart()
    {
        return run({QStringLiteral("pg_ctl"), QStringLiteral("-D"), dataDir(), QStringLiteral("-m"),
                    QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("restart")});
    }
    QString error() const { return m_error; }
    quint16 port() const { return m_port; }

    // A new, empty database; its address for --db, or an empty text on failure.
    QString newDatabase()
    {
        static std::atomic<int> serial{0};
        const QString name = QStringLiteral("t%1").arg(++serial);
        const QString connection = QUuid::createUuid().toString();
        bool created = false;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
            db.setHostName(QStringLiteral("127.0.0.1"));
            db.setPort(m_port);
            db.setUserName(QStringLiteral("postgres"));
            db.setDatabaseName(QStringLiteral("postgres"));
            if (db.open()) {
                QSqlQuery q(db);
                created = q.exec(QStringLiteral("CREATE DATABASE ") + name);
                if (!created)
                    m_error = q.lastError().text();
            } else {
                m_error = db.lastError().text();
            }
            db.close();
        }
        QSqlDatabase::removeDatabase(connection);
        return created
                   ? QStringLiteral("postgresql://postgres@127.0.0.1:%1/%2").arg(m_port).arg(name)
                   : QString();
    }

    // The cluster's main process (its backends are its children), or 0.
    qint64 postmasterPid() const
    {
        QFile f(dataDir() + QStringLiteral("/postmaster.pid"));
        return f.open(QIODevice::ReadOnly) ? f.readLine().trimmed().toLongLong() : 0;
    }

    // The cluster's own log, for failure messages.
    QByteArray log() const
    {
        QFile f(m_dir.filePath(QStringLiteral("server.log")));
        return f.open(QIODevice::ReadOnly) ? f.readAll().right(4000) : QByteArray();
    }

private:
    QString dataDir() const { return m_dir.filePath(QStringLiteral("data")); }

    bool run(QStringList args)
    {
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        args[0] = QString::fromUtf8(kBin) + args[0];
        if (m_asRoot)
            args =
                QStringList{QStringLiteral("-u"), QStringLiteral("nobody"), QStringLiteral("--")} +
                args;
        p.start(m_asRoot ? QStringLiteral("runuser") : args.takeFirst(), args);
        if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit ||
            p.exitCode() != 0) {
            m_error = args.join(u' ') + QStringLiteral(": ") +
                      QString::fromLocal8Bit(p.readAll().right(2000));
            return false;
        }
        return true;
    }

    static quint16 freePort()
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        quint16 port = 0;
        if (::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
            ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) == 0)
            port = ntohs(a.sin_port);
        ::close(fd);
        return port;
    }

    QTemporaryDir m_dir;
    bool m_asRoot = false;
    bool m_started = false;
    quint16 m_port = 0;
    QString m_error;
};

// The database of a test: an SQLite file in dir, or, in the PostgreSQL builds of the suites, a
// new database of one cluster shared by the whole test program.
inline QString testDatabase(const QTemporaryDir &dir)
{
#ifdef SERVER_TEST_POSTGRES
    Q_UNUSED(dir);
    static PgCluster cluster;
    if (!cluster.ok()) {
        // The store then fails to open, and so does the test.
        qWarning("PostgreSQL test cluster: %s", qPrintable(cluster.error()));
        return QStringLiteral("postgresql://no-test-cluster/");
    }
    return cluster.newDatabase();
#else
    return dir.filePath(QStringLiteral("catalogue.db"));
#endif
}

} // namespace mavrel::testing
