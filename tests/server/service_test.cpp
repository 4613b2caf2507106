#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace {

struct ServerRun
{
    int exitCode = -1;
    QByteArray firstLine;
    QByteArray err;
};

// Runs the server through sh, which sets what precedes "exec" (the variables systemd would set,
// descriptor 3), and stops it once it has printed its first line.
ServerRun runThroughShell(const QString &setup, const QStringList &args)
{
    QProcess p;
    p.start(u"/bin/sh"_s, QStringList{u"-c"_s, setup + u" exec \"$0\" \"$@\""_s,
                                      QString::fromUtf8(CATALOGUE_SERVER_EXE)} +
                              args);
    ServerRun r;
    while (!r.firstLine.contains('\n') && p.state() != QProcess::NotRunning &&
           p.waitForReadyRead(10000))
        r.firstLine += p.readAllStandardOutput();
    if (p.state() != QProcess::NotRunning)
        p.terminate();
    p.waitForFinished(10000);
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.firstLine += p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

TEST(ServiceTest, ConfigurationFileOptionsAndBadLines)
{
    QTemporaryDir dir;
    const QString conf = dir.filePath(u"server.conf"_s);
    const QString db = dir.filePath(u"c.db"_s);
    const struct
    {
        const char *text;
        int exitCode;
        const char *message; // in the error, after "FILE:"; nothing: it serves
    } cases[] = {
        // The address that cannot be bound is replaced by the command line's after --config.
        {"# comment\n\n  --demo\n--listen 203.0.113.7\n--sync %1/none.json --every 1d\n", 0, ""},
        {"--demo\nport 0\n", 2, "2: expected an option such as --demo, found 'port'"},
        {"--demo\n\n--bogus 1\n", 2, "3: unknown option '--bogus'"},
        {"--port\n", 2, "1: --port needs a number"},
        {"--every 1d\n", 2, "1: --every follows a --sync SOURCE"},
        {"--config other.conf\n", 2, "1: unknown option '--config'"},
        {"--sync a.json\n--demo\n", 2, "1: --sync a.json needs --every DURATION on its line"},
    };
    for (const auto &c : cases) {
        QFile f(conf);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QString::fromUtf8(c.text).replace(u"%1"_s, dir.path()).toUtf8());
        f.close();
        const ServerRun r = runThroughShell({}, {u"--db"_s, db, u"--config"_s, conf, u"--listen"_s,
                                                 u"127.0.0.1"_s, u"--port"_s, u"0"_s});
        EXPECT_TRUE(r.firstLine.startsWith(*c.message ? "" : "listening on http://127.0.0.1:"))
            << c.text << r.err.data();
        EXPECT_EQ(r.exitCode, c.exitCode) << c.text << r.err.data();
        EXPECT_TRUE(r.err.contains(*c.message ? (conf + u':').toUtf8() + c.message : ""))
            << c.text << r.err.data();
    }
    const ServerRun missing =
        runThroughShell({}, {u"--db"_s, db, u"--config"_s, dir.filePath(u"no"_s)});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.contains("cannot read the configuration file")) << missing.err.data();
}

TEST(ServiceTest, PassedSocketVariables)
{
    QTemporaryDir dir;
    const struct
    {
        const char *setup;
        int exitCode;
        const char *message; // nothing: it serves on a port of its own
    } cases[] = {
        {"LISTEN_PID=1 LISTEN_FDS=1 exec 3</dev/null;", 0, ""},
        {"export LISTEN_PID=$$ LISTEN_FDS=0;", 0, ""},
        {"export LISTEN_PID=$$ LISTEN_FDS=2;", 1, "2 sockets were passed"},
        {"export LISTEN_PID=$$ LISTEN_FDS=one;", 1, "LISTEN_FDS='one' is not a number"},
        {"export LISTEN_PID=$$ LISTEN_FDS=1; exec 3</dev/null;", 1, "is not an IP socket"},
    };
    for (const auto &c : cases) {
        const ServerRun r = runThroughShell(
            QString::fromUtf8(c.setup), {u"--db"_s, dir.filePath(u"c.db"_s), u"--port"_s, u"0"_s});
        EXPECT_EQ(r.exitCode, c.exitCode) << c.setup << r.err.data();
        EXPECT_TRUE(r.err.contains(c.message)) << c.setup << r.err.data();
        if (!*c.message) {
            EXPECT_TRUE(r.firstLine.startsWith("listening on http://127.0.0.1:")) << c.setup;
        }
    }
}

} // namespace
