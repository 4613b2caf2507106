#include "mainwindow/singleinstance.h"

#include <QCoreApplication>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using mavrel::SingleInstance;

namespace {

// A second process hands `targets` over while this one runs its event loop.
bool handOverFromChild(const QString &lockPath, const QList<QUrl> &targets)
{
    QStringList arguments{u"--gtest_also_run_disabled_tests"_s,
                          u"--gtest_filter=SingleInstanceChild.DISABLED_HandsOver"_s, lockPath};
    for (const QUrl &url : targets)
        arguments.append(QString::fromLatin1(url.toEncoded()));
    QProcess child;
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!QTest::qWaitFor([&] { return child.state() == QProcess::NotRunning; }, 60000))
        child.kill();
    child.waitForFinished(10000);
    return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

// The child side: the lock path, then the encoded addresses.
TEST(SingleInstanceChild, DISABLED_HandsOver)
{
    const QStringList arguments = QCoreApplication::arguments();
    SingleInstance instance(arguments.value(1));
    ASSERT_FALSE(instance.tryAcquire());
    QList<QUrl> targets;
    for (const QString &text : arguments.mid(2))
        targets.append(QUrl::fromEncoded(text.toLatin1()));
    ASSERT_TRUE(instance.handOver(targets, 30000).ok());
}

class SingleInstanceTest : public testing::Test
{
protected:
    void collect()
    {
        QObject::connect(&holder, &SingleInstance::openRequested,
                         [this](const QList<QUrl> &targets) { received.append(targets); });
    }

    QTemporaryDir dir;
    QString lockPath = dir.filePath(u"viewer.lock"_s);
    SingleInstance holder{lockPath};
    QList<QList<QUrl>> received;
};

TEST_F(SingleInstanceTest, AfterAKilledHolderTheNextReceivesWhatASecondProcessHandsOver)
{
    // What a killed holder leaves: a socket file nobody listens on.
    sockaddr_un address{AF_UNIX, {}};
    qstrncpy(address.sun_path, QFile::encodeName(holder.socketPath()).constData(),
             sizeof address.sun_path);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ::close(fd);
    EXPECT_FALSE(holder.handOver({}, 60000).ok());

    ASSERT_TRUE(holder.tryAcquire());
    const QList<QUrl> targets{QUrl(u"http://a.example/l.m3u8?x=1&y=%20"_s),
                              QUrl(u"file:///tmp/a b/\u00fc.m3u"_s),
                              QUrl(u"rtsp://me:pw@cam.example/s"_s)};
    ASSERT_TRUE(handOverFromChild(lockPath, targets));
    collect(); // the window connects after the first start's hand-over
    ASSERT_TRUE(QTest::qWaitFor([&] { return !received.isEmpty(); }, 60000));
    EXPECT_EQ(received, QList<QList<QUrl>>{targets});
}

TEST_F(SingleInstanceTest, BadClientsNeitherBlockTheHolderNorGetThrough)
{
    collect();
    ASSERT_TRUE(holder.tryAcquire());
    const QByteArray header = "mavrel-open 1\n";
    const QList<QUrl> good{QUrl(u"http://ok.example/"_s)};
    const struct
    {
        const char *name;
        QByteArray bytes;
        int handedOver; // counting the good hand-over that follows
    } cases[] = {
        {"silent", {}, 1},
        {"another protocol", "GET / HTTP/1.0\r\n\r\n", 1},
        {"too long", header + QByteArray(70000, 'a'), 1},
        {"not UTF-8", header + "http://a.example/\xff\n\n", 1},
        // A client is not trusted: its addresses are checked again.
        {"unplayable", header + "javascript:alert(1)\nhttp://ok.example/\n\n", 2},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        received.clear();
        // Only a silent client is dropped for its time; junk goes at once.
        holder.setClientTimeout(c.bytes.isEmpty() ? 200 : 600000);
        QLocalSocket client;
        client.connectToServer(holder.socketPath());
        ASSERT_TRUE(client.waitForConnected(10000));
        client.write(c.bytes);
        client.flush();
        ASSERT_TRUE(handOverFromChild(lockPath, good));
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return client.state() == QLocalSocket::UnconnectedState; }, 60000));
        ASSERT_TRUE(QTest::qWaitFor([&] { return received.size() >= c.handedOver; }, 60000));
        EXPECT_EQ(received, QList<QList<QUrl>>(c.handedOver, good));
    }
}

} // namespace
