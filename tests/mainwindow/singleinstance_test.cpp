#include "mainwindow/singleinstance.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using namespace Qt::StringLiterals;
using mavrel::SingleInstance;

namespace {

constexpr auto kLockVariable = "SINGLE_INSTANCE_CHILD_LOCK";
constexpr auto kTargetsVariable = "SINGLE_INSTANCE_CHILD_TARGETS";

// Runs the event loop until `done` holds; false after a minute, only to avoid a hang.
template<typename Done> bool spinUntil(Done done)
{
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    poll.start(10);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

void startChild(QProcess &child, const QString &test, const QString &lockPath,
                const QList<QUrl> &targets = {})
{
    QStringList lines;
    for (const QUrl &url : targets)
        lines.append(QString::fromLatin1(url.toEncoded()));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(kLockVariable), lockPath);
    env.insert(QString::fromLatin1(kTargetsVariable), lines.join(u'\n'));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(
        QCoreApplication::applicationFilePath(),
        {u"--gtest_also_run_disabled_tests"_s, u"--gtest_filter=SingleInstanceChild."_s + test});
}

// A second process hands `targets` over while this one keeps its event loop running.
bool handOverFromChild(const QString &lockPath, const QList<QUrl> &targets)
{
    QProcess child;
    startChild(child, u"DISABLED_HandsOver"_s, lockPath, targets);
    const bool ended = spinUntil([&] { return child.state() == QProcess::NotRunning; });
    if (!ended) {
        child.kill();
        child.waitForFinished(10000);
    }
    if (child.exitCode() != 0)
        std::fputs(child.readAll().constData(), stderr);
    return ended && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

QList<QUrl> urls(const QStringList &texts)
{
    QList<QUrl> out;
    for (const QString &text : texts)
        out.append(QUrl(text));
    return out;
}

TEST(SingleInstanceChild, DISABLED_HandsOver)
{
    SingleInstance instance(qEnvironmentVariable(kLockVariable));
    ASSERT_FALSE(instance.tryAcquire());
    QList<QUrl> targets;
    for (const QString &line : qEnvironmentVariable(kTargetsVariable).split(u'\n'))
        if (!line.isEmpty())
            targets.append(QUrl::fromEncoded(line.toLatin1()));
    const auto sent = instance.handOver(targets, 30000);
    ASSERT_TRUE(sent.ok()) << sent.error().message.toStdString();
}

TEST(SingleInstanceChild, DISABLED_HoldsUntilKilled)
{
    SingleInstance instance(qEnvironmentVariable(kLockVariable));
    ASSERT_TRUE(instance.tryAcquire());
    std::fputs("held\n", stdout);
    std::fflush(stdout);
    QEventLoop().exec();
}

class SingleInstanceTest : public testing::Test
{
protected:
    QTemporaryDir m_dir;
    QString m_lockPath = m_dir.filePath(u"viewer.lock"_s);
};

TEST_F(SingleInstanceTest, TheHolderReceivesWhatASecondProcessHandsOver)
{
    SingleInstance holder(m_lockPath);
    ASSERT_TRUE(holder.tryAcquire());
    QList<QList<QUrl>> received;
    QObject::connect(&holder, &SingleInstance::openRequested,
                     [&](const QList<QUrl> &targets) { received.append(targets); });

    QStringList many;
    for (int i = 0; i < 1000; ++i)
        many.append(u"http://a.example/%1"_s.arg(i));
    const QList<QUrl> cases[] = {
        {}, // come to the front
        urls({u"http://a.example/live.m3u8?x=1&y=%20"_s, u"file:///tmp/a b/\u00fc.m3u"_s,
              u"rtsp://user:pw@cam.example/s"_s}),
        urls(many),
    };
    for (const QList<QUrl> &targets : cases) {
        received.clear();
        ASSERT_TRUE(handOverFromChild(m_lockPath, targets));
        ASSERT_TRUE(spinUntil([&] { return !received.isEmpty(); }));
        EXPECT_EQ(received, QList<QList<QUrl>>{targets});
    }
}

TEST_F(SingleInstanceTest, AHandOverBeforeAnyReceiverWaitsForOne)
{
    SingleInstance holder(m_lockPath);
    ASSERT_TRUE(holder.tryAcquire());
    const QList<QUrl> targets = urls({u"mms://a.example/s"_s});
    ASSERT_TRUE(handOverFromChild(m_lockPath, targets));
    QList<QList<QUrl>> received;
    QObject::connect(&holder, &SingleInstance::openRequested,
                     [&](const QList<QUrl> &got) { received.append(got); });
    ASSERT_TRUE(spinUntil([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received, QList<QList<QUrl>>{targets});
}

TEST_F(SingleInstanceTest, BadClientsNeitherBlockTheHolderNorReachTheWindow)
{
    SingleInstance holder(m_lockPath);
    holder.setClientTimeout(200);
    ASSERT_TRUE(holder.tryAcquire());
    QList<QList<QUrl>> received;
    QObject::connect(&holder, &SingleInstance::openRequested,
                     [&](const QList<QUrl> &targets) { received.append(targets); });

    const QByteArray header = "mavrel-open 1\n";
    QByteArray tooMany = header;
    for (int i = 0; i < 1001; ++i)
        tooMany += "http://a.example/\n";
    const struct
    {
        const char *name;
        QByteArray bytes;
        bool vanishes;
        QList<QUrl> delivered; // what the holder passes on besides the later hand-over
    } cases[] = {
        {"silent", {}, false, {}},
        {"not the protocol", "GET / HTTP/1.0\r\n\r\n", false, {}},
        {"other version", "mavrel-open 2\n\n", false, {}},
        {"too long", header + QByteArray(70000, 'a'), false, {}},
        {"too many", tooMany + '\n', false, {}},
        {"not UTF-8", header + "http://a.example/\xff\n\n", false, {}},
        {"vanishes", header + "http://a.example/\n", true, {}},
        // Checked again by the holder: a client is not trusted.
        {"unplayable address", header + "javascript:alert(1)\nhttp://b.example/\n\n", false,
         urls({u"http://b.example/"_s})},
    };
    const QList<QUrl> later = urls({u"http://ok.example/"_s});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        received.clear();
        QLocalSocket client;
        client.connectToServer(holder.socketPath());
        ASSERT_TRUE(client.waitForConnected(10000));
        client.write(c.bytes);
        client.flush();
        if (c.vanishes)
            client.abort();
        ASSERT_TRUE(handOverFromChild(m_lockPath, later));
        // Dropped or answered, the client is let go.
        ASSERT_TRUE(spinUntil([&] { return client.state() == QLocalSocket::UnconnectedState; }));
        QList<QList<QUrl>> expected{later};
        if (!c.delivered.isEmpty())
            expected.append(c.delivered);
        ASSERT_TRUE(spinUntil([&] { return received.size() >= expected.size(); }));
        std::sort(received.begin(), received.end(), [](const auto &a, const auto &b) {
            return a.first().toString() > b.first().toString();
        });
        EXPECT_EQ(received, expected);
    }
}

TEST_F(SingleInstanceTest, WithoutAHolderAHandOverFails)
{
    SingleInstance client(m_lockPath);
    EXPECT_FALSE(client.handOver({}, 60000).ok());
}

TEST_F(SingleInstanceTest, AKilledHoldersSocketDoesNotStopTheNextHolder)
{
    QProcess child;
    startChild(child, u"DISABLED_HoldsUntilKilled"_s, m_lockPath);
    ASSERT_TRUE(child.waitForStarted(10000));
    while (!child.readAll().contains("held"))
        ASSERT_TRUE(child.waitForReadyRead(30000));
    child.kill(); // SIGKILL: nothing is cleaned up
    ASSERT_TRUE(child.waitForFinished(10000));

    SingleInstance holder(m_lockPath);
    ASSERT_TRUE(QFileInfo::exists(holder.socketPath()));
    EXPECT_FALSE(holder.handOver({}, 60000).ok()); // nobody listens on it
    ASSERT_TRUE(holder.tryAcquire());
    QList<QList<QUrl>> received;
    QObject::connect(&holder, &SingleInstance::openRequested,
                     [&](const QList<QUrl> &targets) { received.append(targets); });
    const QList<QUrl> targets = urls({u"rtmp://a.example/app"_s});
    ASSERT_TRUE(handOverFromChild(m_lockPath, targets));
    ASSERT_TRUE(spinUntil([&] { return !received.isEmpty(); }));
    EXPECT_EQ(received, QList<QList<QUrl>>{targets});
}

} // namespace
