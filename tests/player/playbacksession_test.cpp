#include "player/playbacksession.h"
#include "scriptedengine.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::test;

namespace {

using O = ScriptedEngine::Outcome;
using State = PlaybackSession::State;

constexpr int kTimeoutMs = 200;

class SessionTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        fifo = dir.path() + u"/hang.mp3"_s;
        ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        for (const auto &[name, outcome] :
             std::initializer_list<std::pair<QString, O>>{{u"test:plays"_s, O::Plays},
                                                          {u"test:silent"_s, O::PlaysSilent},
                                                          {u"test:fails"_s, O::Fails},
                                                          {u"test:hangs"_s, O::Hangs},
                                                          {u"test:refuses-open"_s, O::RefusesOpen},
                                                          {u"test:refuses-play"_s, O::RefusesPlay},
                                                          {u"test:ends-empty"_s, O::EndsEmpty}})
            engine.setScript(name, {outcome, true, 5, {}, {}});
        engine.setScript(u"test:live"_s, {O::Plays, false, 5, {}, {}});
        session.setOpenTimeout(kTimeoutMs);
    }

    QString playlist(const QString &name, const QByteArray &entries)
    {
        const QString path = dir.path() + u'/' + name;
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#EXTM3U\n" + entries);
        return path;
    }

    bool waitFor(State state, int msecs = 3000)
    {
        return QTest::qWaitFor([&] { return session.state() == state; }, msecs);
    }

    QTemporaryDir dir;
    QString fifo;
    ScriptedEngine engine;
    PlaybackSession session{engine};
};

TEST_F(SessionTest, EachFailingItemRaisesExactlyOneMediaError)
{
    using K = PlaybackFailure::Kind;
    const struct
    {
        const char *name;
        QString address; // "$" is the temporary folder
        PlaybackFailure::Kind kind;
    } cases[] = {
        {"engine error", u"test:fails"_s, K::Unopenable},
        {"engine refuses the address", u"test:refuses-open"_s, K::Unopenable},
        {"engine refuses to play", u"test:refuses-play"_s, K::Unopenable},
        {"never opens", u"test:hangs"_s, K::TimedOut},
        {"plays a track that never decodes", u"test:silent"_s, K::Undecodable},
        {"ends with nothing decoded", u"test:ends-empty"_s, K::Undecodable},
        {"a FIFO", u"$/hang.mp3"_s, K::Unopenable},
        {"a folder", u"$"_s, K::Unopenable},
        {"a missing file", u"$/none.mp3"_s, K::Unopenable},
        {"playlist of failures and hangs", u"$/dead.m3u"_s, K::TimedOut},
        {"playlist naming itself", u"$/loop.m3u"_s, K::Unopenable},
    };
    playlist(u"dead.m3u"_s,
             "test:fails\ntest:hangs\ntest:hangs\ntest:hangs\nhang.mp3\ntest:silent\n");
    playlist(u"loop.m3u"_s, "loop.m3u\n");
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString address = QString(c.address).replace(u'$', dir.path());
        QSignalSpy errors(&session, &PlaybackSession::mediaError);
        QElapsedTimer clock;
        clock.start();
        session.setURL(address);
        EXPECT_EQ(errors.count(), 0); // never from inside setURL
        ASSERT_TRUE(QTest::qWaitFor([&] { return errors.count() > 0; }, 5000));
        // The whole item, playlist or not, fails within twice the open time-out (and slack).
        EXPECT_LT(clock.elapsed(), 2 * kTimeoutMs + 400);
        QTest::qWait(3 * kTimeoutMs); // no second report may follow
        EXPECT_EQ(errors.count(), 1);
        EXPECT_EQ(errors.first().first().toString(), address);
        EXPECT_EQ(session.state(), State::Error);
        EXPECT_EQ(session.failure().kind, c.kind);
        EXPECT_FALSE(engine.opened.contains(QUrl::fromLocalFile(fifo).toString()));
    }
}

TEST_F(SessionTest, PlaysTheFirstEntryThatPlays)
{
    const QString list = playlist(
        u"list.m3u"_s, "test:fails\nhang.mp3\ntest:refuses-open\ntest:plays\ntest:hangs\n");
    QSignalSpy errors(&session, &PlaybackSession::mediaError);
    session.setURL(list);
    ASSERT_TRUE(waitFor(State::Playing));
    EXPECT_EQ(session.playingLocation().toString(), u"test:plays"_s);
    QTest::qWait(3 * kTimeoutMs); // decoding was confirmed: no time-out strikes later
    EXPECT_EQ(session.state(), State::Playing);
    EXPECT_EQ(errors.count(), 0);
    EXPECT_EQ(engine.opened,
              (QStringList{u"test:fails"_s, u"test:refuses-open"_s, u"test:plays"_s}));
}

TEST_F(SessionTest, PauseKeepsMediaLoaded)
{
    const struct
    {
        const char *name;
        QString address;
        bool pauseWhileOpening;
        State afterPause;  // once the engine has settled
        int opensOnResume; // further opens that play() costs
    } cases[] = {
        {"playing, pausable", u"test:plays"_s, false, State::Paused, 0},
        {"opening, pausable", u"test:plays"_s, true, State::Paused, 0},
        {"playing, live stream that cannot pause", u"test:live"_s, false, State::Stopped, 1},
        {"opening, live stream that cannot pause", u"test:live"_s, true, State::Stopped, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        engine.opened.clear();
        engine.pauseCalls = 0;
        QSignalSpy errors(&session, &PlaybackSession::mediaError);
        session.setURL(c.address);
        if (!c.pauseWhileOpening) {
            ASSERT_TRUE(waitFor(State::Playing));
        }
        session.pause();
        if (c.pauseWhileOpening) {
            EXPECT_EQ(session.state(), State::Paused);
            EXPECT_TRUE(engine.lastMuted); // silent until it is held
        }
        QTest::qWait(3 * kTimeoutMs); // long past every time-out
        EXPECT_EQ(session.state(), c.afterPause);
        EXPECT_EQ(engine.opened.count(), 1);
        EXPECT_EQ(errors.count(), 0);
        if (c.afterPause == State::Paused) {
            EXPECT_TRUE(engine.lastPaused);
        }

        session.play();
        ASSERT_TRUE(waitFor(State::Playing));
        EXPECT_FALSE(engine.lastMuted);
        EXPECT_EQ(engine.opened.count(), 1 + c.opensOnResume);
        session.stop();
    }
}

TEST_F(SessionTest, PausedItemThatFailsStillReportsOnce)
{
    QSignalSpy errors(&session, &PlaybackSession::mediaError);
    session.setURL(u"test:hangs"_s);
    session.pause();
    ASSERT_TRUE(QTest::qWaitFor([&] { return errors.count() > 0; }, 3000));
    QTest::qWait(2 * kTimeoutMs);
    EXPECT_EQ(errors.count(), 1);
    EXPECT_EQ(session.state(), State::Error);
}

TEST_F(SessionTest, ReplacedOrStoppedItemNeverReports)
{
    for (const bool replace : {true, false}) {
        SCOPED_TRACE(replace ? "replaced" : "stopped");
        QSignalSpy errors(&session, &PlaybackSession::mediaError);
        session.setURL(u"test:hangs"_s);
        QTest::qWait(kTimeoutMs / 2);
        if (replace) {
            session.setURL(u"test:plays"_s);
        } else {
            session.stop();
        }
        QTest::qWait(3 * kTimeoutMs);
        EXPECT_EQ(errors.count(), 0);
        EXPECT_EQ(session.state(), replace ? State::Playing : State::Stopped);
    }
}

} // namespace
