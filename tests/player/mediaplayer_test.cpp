#include "player/ui/mediaplayer.h"
#include "player/vlcengine.h"
#include "scriptedengine.h"
#include "testhttpserver.h"
#include "testmedia.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <atomic>
#include <memory>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::test;

// Under the address sanitizer: libnuma, loaded with the engine's codecs, leaks at start-up.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libnuma.so\n";
}

namespace {

constexpr int kPlayWaitMs = 10000;

bool waitForState(MediaPlayer &player, MediaPlayer::State state, int msecs = kPlayWaitMs)
{
    return QTest::qWaitFor([&] { return player.state() == state; }, msecs);
}

// A fixed answer of the given type; an empty type sends no Content-Type line.
TestHttpServer::Route fixed(const QByteArray &contentType, const QByteArray &body)
{
    TestHttpServer::Route route;
    route.contentType = contentType;
    route.body = body;
    return route;
}

class PlayerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = new TestHttpServer;
        silent = new TestHttpServer;
        dir = new QTemporaryDir;
        ASSERT_TRUE(server->listen());
        TestHttpServer::Route never;
        never.mode = TestHttpServer::Mode::Silent;
        silent->setDefaultRoute(never);
        ASSERT_TRUE(silent->listen());
        ASSERT_TRUE(dir->isValid());

        const QByteArray tone = makeWav(2.0);
        server->setRoute("/tone.wav", fixed("audio/wav", tone));
        server->setRoute("/long.wav", fixed("audio/x-wav", makeWav(30.0)));
        TestHttpServer::Route icy = fixed("audio/wav", tone);
        icy.statusLine = "ICY 200 OK";
        server->setRoute("/icy", icy);
        server->setRoute("/badcodec.wav", fixed("audio/wav", makeWav(2.0, 8000, 0x1234)));
        TestHttpServer::Route stalled = fixed("audio/wav", tone.left(44 + 1600));
        stalled.mode = TestHttpServer::Mode::Stall;
        stalled.sendLength = false; // the start of an endless stream
        server->setRoute("/stalls.wav", stalled);
        server->setRoute("/junk.mp4", fixed("video/mp4", makeJunk(20000)));
        video = makeVideo(dir->path());
        if (!video.isEmpty())
            server->setRoute("/clip.ts", fixed("video/mp2t", video));

        // Playlists under names that say nothing, or with types that say nothing.
        server->setRoute("/channel",
                         fixed("text/plain",
                               "<ASX version=\"3.0\"><Entry><Ref href=\"/missing.wav\"/>"
                               "<Ref href=\"/tone.wav\"/></Entry></ASX>"));
        server->setRoute("/tv", fixed("video/x-ms-asf", "<asx><entryref href=\"/nested\"/></asx>"));
        server->setRoute("/nested",
                         fixed("", "<asx><entry><ref href=\"" +
                                       QByteArray(video.isEmpty() ? "tone.wav" : "clip.ts") +
                                       "\"/></entry></asx>"));
        server->setRoute("/radio.m3u",
                         fixed("audio/x-mpegurl", "#EXTM3U\n#EXTINF:-1,Tone\ntone.wav\n"));
        server->setRoute("/listen", fixed("audio/x-scpls", "[playlist]\nNumberOfEntries=1\nFile1=" +
                                                               server->url("/tone.wav") + "\n"));
        server->setRoute("/lists/tone.wav", fixed("audio/wav", tone));
        TestHttpServer::Route go = fixed("text/html", "moved");
        go.status = 302;
        go.location = "/lists/tv";
        server->setRoute("/go", go);
        server->setRoute("/lists/tv",
                         fixed("", "<asx><entry><ref href=\"tone.wav\"/></entry></asx>"));
        server->setRoute("/loop", fixed("", "<asx><entryref href=\"/loop\"/></asx>"));
        server->setRoute(
            "/dead", fixed("video/x-ms-wvx", "<asx><entry><ref href=\"http://127.0.0.1:" +
                                                 QByteArray::number(TestHttpServer::refusedPort()) +
                                                 "/x\"/><ref href=\"/gone.wmv\"/></entry></asx>"));

        localWav = dir->path() + u"/long tone.wav"_s;
        QFile file(localWav);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(makeWav(30.0));
    }

    static void TearDownTestSuite()
    {
        EXPECT_TRUE(vlc::waitForReleases(10000));
        delete server;
        delete silent;
        delete dir;
    }

    static inline TestHttpServer *server = nullptr;
    // Accepts connections and never answers, whatever the protocol.
    static inline TestHttpServer *silent = nullptr;
    static inline QTemporaryDir *dir = nullptr;
    static inline QByteArray video;
    static inline QString localWav;

    static QString at(const QByteArray &pathAndQuery)
    {
        return QString::fromLatin1(server->url(pathAndQuery));
    }
};

TEST_F(PlayerTest, StartsWithVolumeFiftyAndMiniBar)
{
    MediaPlayer player;
    EXPECT_EQ(player.volume(), 50);
    EXPECT_FALSE(player.isMuted());
    EXPECT_EQ(player.state(), MediaPlayer::State::Closed);
    EXPECT_TRUE(player.URL().isEmpty());
    for (const char *name : {"playPauseButton", "stopButton", "muteButton"})
        EXPECT_NE(player.findChild<QToolButton *>(QString::fromLatin1(name)), nullptr) << name;
    auto *volume = player.findChild<QSlider *>(u"volumeSlider"_s);
    ASSERT_NE(volume, nullptr);
    EXPECT_EQ(volume->value(), 50);
    EXPECT_NE(player.findChild<QSlider *>(u"positionSlider"_s), nullptr);
    ASSERT_NE(player.videoSurface(), nullptr);

    volume->setValue(30);
    EXPECT_EQ(player.volume(), 30);
    player.setVolume(150);
    EXPECT_EQ(player.volume(), 100);
    EXPECT_EQ(volume->value(), 100);
    player.findChild<QToolButton *>(u"muteButton"_s)->click();
    EXPECT_TRUE(player.isMuted());
}

TEST_F(PlayerTest, PlaysMediaAndPlaylistsWhateverTheirNames)
{
    const QString tone = at("/tone.wav");
    const QString clip = at(video.isEmpty() ? "/tone.wav" : "/clip.ts");
    const struct
    {
        const char *name;
        QString address;
        QString expectedLocation;
    } cases[] = {
        {"local file with a space", localWav, QUrl::fromLocalFile(localWav).toString()},
        {"wav over http", tone, tone},
        {"old radio server answering ICY", at("/icy"), at("/icy")},
        {"video over http", clip, clip},
        {"asx as text/plain, first ref dead", at("/channel?id=7"), tone},
        {"asx with entryref, served as asf", at("/tv?id=1"), clip},
        {"m3u with a relative entry", at("/radio.m3u"), tone},
        {"pls under a bare name", at("/listen"), tone},
        {"asx behind a redirect, relative ref", at("/go"), at("/lists/tone.wav")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MediaPlayer player;
        QSignalSpy errors(&player, &MediaPlayer::MediaError);
        QSignalSpy states(&player, &MediaPlayer::stateChanged);
        player.setURL(c.address);
        EXPECT_EQ(player.URL(), c.address);
        ASSERT_TRUE(waitForState(player, MediaPlayer::State::Playing));
        EXPECT_EQ(errors.count(), 0);
        EXPECT_EQ(player.playingLocation().toString(), c.expectedLocation);
        ASSERT_GE(states.count(), 2);
        EXPECT_EQ(states.first().first().value<MediaPlayer::State>(), MediaPlayer::State::Opening);
    }
}

TEST_F(PlayerTest, EachFailingItemRaisesExactlyOneMediaError)
{
    const int timeoutMs = 500;
    const struct
    {
        const char *name;
        QString address;
    } cases[] = {
        {"http 404", at("/nothere.mp3")},
        {"refused port", u"http://127.0.0.1:%1/live.mp3"_s.arg(TestHttpServer::refusedPort())},
        {"silent http port", u"http://127.0.0.1:%1/live"_s.arg(silent->port())},
        {"silent mms port", u"mms://127.0.0.1:%1/live"_s.arg(silent->port())},
        {"undecodable bytes", at("/junk.mp4")},
        {"track no decoder reads", at("/badcodec.wav")},
        {"stream that stalls after its first bytes", at("/stalls.wav")},
        {"missing local file", dir->path() + u"/no such file.mp3"_s},
        {"playlist of dead entries", at("/dead")},
        {"playlist that refers to itself", at("/loop")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        MediaPlayer player;
        player.setOpenTimeout(timeoutMs);
        QSignalSpy errors(&player, &MediaPlayer::MediaError);
        player.setURL(c.address);
        EXPECT_EQ(errors.count(), 0); // never from inside setURL
        ASSERT_TRUE(QTest::qWaitFor([&] { return errors.count() > 0; }, 8000));
        // Longer than any time-out of the item: no second report may follow.
        QTest::qWait(2 * timeoutMs + 300);
        EXPECT_EQ(errors.count(), 1);
        EXPECT_EQ(errors.first().first().toString(), c.address);
        EXPECT_EQ(player.state(), MediaPlayer::State::Error);
    }
}

TEST_F(PlayerTest, ReplacedItemDoesNotReport)
{
    MediaPlayer player;
    player.setOpenTimeout(600);
    QSignalSpy errors(&player, &MediaPlayer::MediaError);
    player.setURL(u"mms://127.0.0.1:%1/stuck"_s.arg(silent->port()));
    QTest::qWait(200);
    const QString second = at("/long.wav");
    player.setURL(second);
    ASSERT_TRUE(waitForState(player, MediaPlayer::State::Playing));
    QTest::qWait(1500); // past the first item's time-out
    EXPECT_EQ(errors.count(), 0);
    EXPECT_EQ(player.state(), MediaPlayer::State::Playing);
}

TEST_F(PlayerTest, DestroyingWhileAStreamOpensNeitherCrashesNorHangs)
{
    const QString addresses[] = {
        u"http://127.0.0.1:%1/live.asx"_s.arg(silent->port()), // stuck reading the playlist
        u"mms://127.0.0.1:%1/live"_s.arg(silent->port()),      // stuck inside the engine
        at("/long.wav"),                                       // just started
    };
    for (const QString &address : addresses) {
        SCOPED_TRACE(address.toStdString());
        const int before = silent->connectionCount();
        auto player = std::make_unique<MediaPlayer>();
        player->show();
        player->setURL(address);
        if (address.contains(QString::number(silent->port())))
            ASSERT_TRUE(QTest::qWaitFor([&] { return silent->connectionCount() > before; }, 5000));
        else
            QTest::qWait(5);
        player.reset();
        QTest::qWait(50); // events the engine posted for the dead widget must go nowhere
        EXPECT_TRUE(vlc::waitForReleases(10000));
    }
}

TEST_F(PlayerTest, QuittingWhileAStreamOpensEndsTheProcess)
{
    const QString addresses[] = {
        u"http://127.0.0.1:%1/live.asx"_s.arg(silent->port()),
        u"mms://127.0.0.1:%1/live"_s.arg(silent->port()),
    };
    for (const QString &address : addresses) {
        SCOPED_TRACE(address.toStdString());
        const int before = silent->connectionCount();
        QProcess helper;
        helper.start(QStringLiteral(PLAYER_QUIT_HELPER), {address, u"400"_s});
        ASSERT_TRUE(helper.waitForStarted(5000));
        // A hang shows as a process still running long after its quit.
        ASSERT_TRUE(QTest::qWaitFor([&] { return helper.state() == QProcess::NotRunning; }, 20000));
        EXPECT_EQ(helper.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(helper.exitCode(), 0);
        EXPECT_GT(silent->connectionCount(), before); // it really was opening
        EXPECT_TRUE(helper.readAllStandardOutput().contains("done"));
    }
}

TEST_F(PlayerTest, PauseStopAndClose)
{
    MediaPlayer player;
    QSignalSpy errors(&player, &MediaPlayer::MediaError);
    player.setURL(localWav);
    ASSERT_TRUE(waitForState(player, MediaPlayer::State::Playing));

    player.pause();
    EXPECT_TRUE(waitForState(player, MediaPlayer::State::Paused));
    player.play();
    EXPECT_TRUE(waitForState(player, MediaPlayer::State::Playing));

    player.findChild<QToolButton *>(u"stopButton"_s)->click();
    EXPECT_EQ(player.state(), MediaPlayer::State::Stopped);
    EXPECT_EQ(player.URL(), localWav);
    player.findChild<QToolButton *>(u"playPauseButton"_s)->click();
    EXPECT_TRUE(waitForState(player, MediaPlayer::State::Playing));

    player.stop();
    player.close();
    EXPECT_EQ(player.state(), MediaPlayer::State::Closed);
    EXPECT_TRUE(player.URL().isEmpty());
    EXPECT_EQ(errors.count(), 0);
}

TEST_F(PlayerTest, PauseWhileOpeningHoldsTheMediaLoaded)
{
    const QByteArray path = "/long.wav";
    for (const bool whileOpening : {true, false}) {
        SCOPED_TRACE(whileOpening ? "while opening" : "while playing");
        server->clearRequests();
        MediaPlayer player;
        QSignalSpy errors(&player, &MediaPlayer::MediaError);
        player.setURL(at(path));
        if (!whileOpening) {
            ASSERT_TRUE(waitForState(player, MediaPlayer::State::Playing));
        }
        player.pause();
        EXPECT_EQ(player.state(), MediaPlayer::State::Paused);
        QTest::qWait(1000); // the engine has opened it by now, and must keep it held
        EXPECT_EQ(player.state(), MediaPlayer::State::Paused);
        const qsizetype fetched = server->requestsFor(path).size();
        player.play();
        ASSERT_TRUE(waitForState(player, MediaPlayer::State::Playing));
        QTest::qWait(300);
        EXPECT_EQ(server->requestsFor(path).size(), fetched); // resumed, not opened again
        EXPECT_EQ(errors.count(), 0);
    }
}

TEST_F(PlayerTest, PathThatIsNoRegularFileFailsWithoutBlocking)
{
    const QByteArray fifo = QFile::encodeName(dir->path() + u"/hang.mp3"_s);
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    // Watchdog: a reader blocked on the FIFO is released by a writer, and the test then fails
    // instead of hanging.
    std::atomic<bool> readerFound = false;
    std::atomic<bool> done = false;
    std::thread watchdog([&] {
        for (int i = 0; i < 40 && !done; ++i) {
            const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                readerFound = true;
                ::close(fd);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    for (const QString &address : {QString::fromLocal8Bit(fifo),
                                   QUrl::fromLocalFile(QString::fromLocal8Bit(fifo)).toString()}) {
        SCOPED_TRACE(address.toStdString());
        MediaPlayer player;
        QSignalSpy errors(&player, &MediaPlayer::MediaError);
        player.setURL(address);
        ASSERT_TRUE(QTest::qWaitFor([&] { return errors.count() > 0; }, 3000));
        QTest::qWait(100);
        EXPECT_EQ(errors.count(), 1);
    }
    done = true;
    watchdog.join();
    EXPECT_FALSE(readerFound);
}

TEST_F(PlayerTest, ShortMediaEndsWithoutError)
{
    MediaPlayer player;
    QSignalSpy errors(&player, &MediaPlayer::MediaError);
    player.setURL(at("/tone.wav"));
    ASSERT_TRUE(waitForState(player, MediaPlayer::State::Ended, 15000));
    EXPECT_EQ(errors.count(), 0);
}

} // namespace

// What the status line and the picture say while a stream opens, buffers and plays, as the
// engine's events drive it; a radio's announced title joins its name.
TEST(PlayerFeedback, FollowsTheEngineFromConnectingToTheAnnouncedTitle)
{
    ScriptedEngine engine;
    engine.setScript(u"test:radio"_s,
                     {ScriptedEngine::Outcome::Plays, true, 30, {40, 100}, u"<b>Song</b> One"_s});
    MediaPlayer player(engine, nullptr);
    auto *caption = player.findChild<QLabel *>(u"playbackCaption"_s);
    ASSERT_TRUE(caption);
    QStringList said;
    QObject::connect(&player, &MediaPlayer::statusTextChanged,
                     [&](const QString &text) { said << text; });
    QSignalSpy titles(&player, &MediaPlayer::nowPlayingChanged);

    player.prepare(u"Old Name"_s);
    player.setURL(u"test:radio"_s, u"Radio One"_s);
    ASSERT_TRUE(QTest::qWaitFor([&] { return titles.count() == 1; }, 3000));
    EXPECT_EQ(said,
              (QStringList{u"Connecting to Old Name\u2026"_s, u"Connecting to Radio One\u2026"_s,
                           u"Buffering 40%"_s, u"Buffering 100%"_s, u"Radio One"_s,
                           u"Radio One \u2013 <b>Song</b> One"_s}));
    EXPECT_EQ(caption->text(), u"Radio One\n<b>Song</b> One"_s);
    EXPECT_FALSE(caption->isHidden());
}

TEST(PlayerFeedback, ARadioShowsTheTitleItsStreamAnnounces)
{
    // As radio servers send it: a metadata block after every 4000 bytes of sound.
    const QByteArray sound = makeWav(60.0);
    QByteArray stream;
    QByteArray block = "StreamTitle='Test Song - The Band';";
    block.append((16 - block.size() % 16) % 16, '\0');
    for (qsizetype at = 0; at + 4000 <= sound.size(); at += 4000)
        stream += sound.mid(at, 4000) + char(block.size() / 16) + block;
    TestHttpServer station;
    ASSERT_TRUE(station.listen());
    // The header lines a radio server adds ride on the Content-Type line.
    TestHttpServer::Route route =
        fixed("audio/wav\r\nicy-name: Test FM\r\nicy-metaint: 4000", stream);
    route.sendLength = false;
    station.setRoute("/radio", route);

    MediaPlayer player;
    player.setURL(QString::fromLatin1(station.url("/radio")), u"Test FM"_s);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return player.statusText() == u"Test FM \u2013 Test Song - The Band"_s; },
        kPlayWaitMs))
        << player.statusText().toStdString();
}
