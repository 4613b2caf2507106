#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

// What the server makes of its configuration file and of the variables systemd sets for a
// socket-activated service. sh sets those (LISTEN_PID=$$ is the server's pid after exec) and
// descriptor 3; a case with no message serves and prints its first line.
TEST(ServiceTest, ConfigurationFileAndPassedSocketVariables)
{
    QTemporaryDir dir;
    const QString conf = dir.filePath(u"server.conf"_s);
    const struct
    {
        const char *shell;
        const char *config;
        int exitCode;
        const char *message;
    } cases[] = {
        // The command line's address, after --config, replaces one that cannot be bound.
        {"", "# comment\n\n  --demo\n--listen 203.0.113.7\n--sync none.json --every 1d\n", 0, ""},
        {"", "--demo\nport 0\n", 2, ":2: expected an option such as --demo, found 'port'"},
        {"", "--demo\n\n--bogus 1\n", 2, ":3: unknown option '--bogus'"},
        {"", "--config other.conf\n", 2, ":1: unknown option '--config'"},
        {"", "--sync a.json\n--every 1d\n", 2, ":1: --sync a.json needs --every DURATION on its"},
        {"rm server.conf;", "", 2, "cannot read the configuration file"},
        // Variables meant for another process are no concern of this one.
        {"LISTEN_PID=1 LISTEN_FDS=1 exec 3</dev/null;", "", 0, ""},
        {"export LISTEN_PID=$$ LISTEN_FDS=2;", "", 1, "2 sockets were passed"},
        {"export LISTEN_PID=$$ LISTEN_FDS=one;", "", 1, "LISTEN_FDS='one' is not a number"},
        {"export LISTEN_PID=$$ LISTEN_FDS=1; exec 3</dev/null;", "", 1, "is not an IP socket"},
    };
    for (const auto &c : cases) {
        QFile f(conf);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(c.config);
        f.close();
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(u"/bin/sh"_s,
                {u"-c"_s, QString::fromUtf8(c.shell) + u" exec \"$@\""_s, u"sh"_s,
                 QString::fromUtf8(CATALOGUE_SERVER_EXE), u"--db"_s, u"c.db"_s, u"--config"_s, conf,
                 u"--listen"_s, u"127.0.0.1"_s, u"--port"_s, u"0"_s});
        QByteArray out;
        while (!out.contains('\n') && p.waitForReadyRead(10000))
            out += p.readAllStandardOutput();
        p.terminate();
        p.waitForFinished(10000);
        const QByteArray err = p.readAllStandardError();
        EXPECT_EQ(p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, c.exitCode)
            << c.shell << c.config << err.data();
        EXPECT_TRUE(err.contains(c.message)) << c.shell << c.config << err.data();
        if (!*c.message) {
            EXPECT_TRUE(out.startsWith("listening on http://127.0.0.1:")) << c.shell << c.config;
        }
    }
}

} // namespace
