#include "mainwindow/player/mediaplayer.h"
#include "mainwindow/player/vlcengine.h"
#include "testhttpserver.h"
#include "testmedia.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <memory>

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

class PlayerTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        server = new TestHttpServer;
        silent = new SilentServer;
        dir = new QTemporaryDir;
        ASSERT_TRUE(server->listening());
        ASSERT_TRUE(dir->isValid());

        const QByteArray tone = makeWav(2.0);
        server->serve("/tone.wav", {200, "audio/wav", tone});
        server->serve("/long.wav", {200, "audio/x-wav", makeWav(30.0)});
        server->serve("/icy", {200, "audio/wav", tone, "ICY 200 OK"});
        server->serve("/badcodec.wav", {200, "audio/wav", makeWav(2.0, 8000, 0x1234)});
        TestHttpServer::Answer stalled(200, "audio/wav", tone.left(44 + 1600));
        stalled.stall = true;
        server->serve("/stalls.wav", stalled);
        server->serve("/junk.mp4", {200, "video/mp4", makeJunk(20000)});
        video = makeVideo(dir->path());
        if (!video.isEmpty())
            server->serve("/clip.ts", {200, "video/mp2t", video});

        // Playlists under names that say nothing, or with types that say nothing.
        server->serve("/channel", {200, "text/plain",
                                   "<ASX version=\"3.0\"><Entry><Ref href=\"/missing.wav\"/>"
                                   "<Ref href=\"/tone.wav\"/></Entry></ASX>"});
        server->serve("/tv", {200, "video/x-ms-asf", "<asx><entryref href=\"/nested\"/></asx>"});
        server->serve("/nested", {200, "",
                                  "<asx><entry><ref href=\"" +
                                      QByteArray(video.isEmpty() ? "tone.wav" : "clip.ts") +
                                      "\"/></entry></asx>"});
        server->serve("/radio.m3u",
                      {200, "audio/x-mpegurl", "#EXTM3U\n#EXTINF:-1,Tone\ntone.wav\n"});
        server->serve("/listen", {200, "audio/x-scpls",
                                  "[playlist]\nNumberOfEntries=1\nFile1=" +
                                      server->url(u"/tone.wav"_s).toEncoded() + "\n"});
        server->serve("/lists/tone.wav", {200, "audio/wav", tone});
        server->serve("/go", {302, "text/html", "moved", {}, "Location: /lists/tv\r\n"});
        server->serve("/lists/tv", {200, "", "<asx><entry><ref href=\"tone.wav\"/></entry></asx>"});
        server->serve("/loop", {200, "", "<asx><entryref href=\"/loop\"/></asx>"});
        server->serve("/dead", {200, "video/x-ms-wvx",
                                "<asx><entry><ref href=\"http://127.0.0.1:" +
                                    QByteArray::number(refusedPort()) +
                                    "/x\"/><ref href=\"/gone.wmv\"/></entry></asx>"});

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
    static inline SilentServer *silent = nullptr;
    static inline QTemporaryDir *dir = nullptr;
    static inline QByteArray video;
    static inline QString localWav;
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
    const QString tone = server->url(u"/tone.wav"_s).toString();
    const QString clip = server->url(video.isEmpty() ? u"/tone.wav"_s : u"/clip.ts"_s).toString();
    const struct
    {
        const char *name;
        QString address;
        QString expectedLocation;
    } cases[] = {
        {"local file with a space", localWav, QUrl::fromLocalFile(localWav).toString()},
        {"wav over http", tone, tone},
        {"old radio server answering ICY", server->url(u"/icy"_s).toString(),
         server->url(u"/icy"_s).toString()},
        {"video over http", clip, clip},
        {"asx as text/plain, first ref dead", server->url(u"/channel?id=7"_s).toString(), tone},
        {"asx with entryref, served as asf", server->url(u"/tv?id=1"_s).toString(), clip},
        {"m3u with a relative entry", server->url(u"/radio.m3u"_s).toString(), tone},
        {"pls under a bare name", server->url(u"/listen"_s).toString(), tone},
        {"asx behind a redirect, relative ref", server->url(u"/go"_s).toString(),
         server->url(u"/lists/tone.wav"_s).toString()},
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
        {"http 404", server->url(u"/nothere.mp3"_s).toString()},
        {"refused port", u"http://127.0.0.1:%1/live.mp3"_s.arg(refusedPort())},
        {"silent http port", u"http://127.0.0.1:%1/live"_s.arg(silent->port())},
        {"silent mms port", u"mms://127.0.0.1:%1/live"_s.arg(silent->port())},
        {"undecodable bytes", server->url(u"/junk.mp4"_s).toString()},
        {"track no decoder reads", server->url(u"/badcodec.wav"_s).toString()},
        {"stream that stalls after its first bytes", server->url(u"/stalls.wav"_s).toString()},
        {"missing local file", dir->path() + u"/no such file.mp3"_s},
        {"playlist of dead entries", server->url(u"/dead"_s).toString()},
        {"playlist that refers to itself", server->url(u"/loop"_s).toString()},
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
    const QString second = server->url(u"/long.wav"_s).toString();
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
        server->url(u"/long.wav"_s).toString(),                // just started
    };
    for (const QString &address : addresses) {
        SCOPED_TRACE(address.toStdString());
        const int before = silent->connections();
        auto player = std::make_unique<MediaPlayer>();
        player->show();
        player->setURL(address);
        if (address.contains(QString::number(silent->port())))
            ASSERT_TRUE(QTest::qWaitFor([&] { return silent->connections() > before; }, 5000));
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
        const int before = silent->connections();
        QProcess helper;
        helper.start(QStringLiteral(PLAYER_QUIT_HELPER), {address, u"400"_s});
        ASSERT_TRUE(helper.waitForStarted(5000));
        // A hang shows as a process still running long after its quit.
        ASSERT_TRUE(QTest::qWaitFor([&] { return helper.state() == QProcess::NotRunning; }, 20000));
        EXPECT_EQ(helper.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(helper.exitCode(), 0);
        EXPECT_GT(silent->connections(), before); // it really was opening
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

TEST_F(PlayerTest, ShortMediaEndsWithoutError)
{
    MediaPlayer player;
    QSignalSpy errors(&player, &MediaPlayer::MediaError);
    player.setURL(server->url(u"/tone.wav"_s).toString());
    ASSERT_TRUE(waitForState(player, MediaPlayer::State::Ended, 15000));
    EXPECT_EQ(errors.count(), 0);
}

} // namespace
