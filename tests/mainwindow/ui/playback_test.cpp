#include "localization/clslanguages.h"
#include "localization/modlanguages.h"
#include "mainwindow/checkallrun.h"
#include "mainwindow/ui/channelplayback.h"
#include "online/networkstate.h"
#include "online/querytext.h"
#include "platform/scripteddialogs.h"
#include "player/ui/mediaplayer.h"

#include "../../player/testmedia.h"
#include "catalogueserver.h"
#include "testhttpserver.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QLabel>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>

#include <memory>

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::test;

namespace {

constexpr int kWaitMs = 10000;

// The parts of the main window a channel check touches: the list with its selection, the
// player, the offline picture; reports go to a recording server.
class PlaybackTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(server.listen());
        registerDefaultMessages(languages);
        m_savedUrl = qgetenv("MAVREL_CATALOGUE_URL");
        qputenv("MAVREL_CATALOGUE_URL", server.url(""));
        server.serve("/tv/getData.asp", "OK");
        server.serve("/tone.wav", makeWav(3.0));
        server.serve("/dead", "<html><h1>404 Not Found</h1></html>", 404);
        server.serve("/moved", "<html>This page Has Moved</html>");

        window = std::make_unique<QWidget>();
        list = new QTreeView(window.get());
        list->setModel(&model);
        player = new MediaPlayer(window.get());
        player->setOpenTimeout(3000);
        offline = new QLabel(u"offline"_s, window.get());
        offline->hide();
        playback =
            new ChannelPlayback(player, offline,
                                {[this] { return selected(); },
                                 [this] {
                                     return ReportContext{staff, nullptr};
                                 },
                                 [this](const QString &text) { statusText = text; },
                                 [this](const QString &key) { return languages.getMessages(key); },
                                 {}},
                                window.get(), &requests);
        QObject::connect(player, &MediaPlayer::MediaError, playback,
                         &ChannelPlayback::WindowsMediaPlayer1_MediaError);
    }
    void TearDown() override
    {
        window.reset();
        if (m_savedUrl.isNull())
            qunsetenv("MAVREL_CATALOGUE_URL");
        else
            qputenv("MAVREL_CATALOGUE_URL", m_savedUrl);
    }

    std::optional<SelectedChannel> selected() const
    {
        const QModelIndex index = list->currentIndex();
        if (!index.isValid() || !list->selectionModel()->isSelected(index))
            return std::nullopt;
        const QModelIndex first = model.index(index.row(), 0);
        return SelectedChannel{first.data().toString().toUtf8(),
                               first.data(Qt::UserRole).toByteArray(), "TV"};
    }

    void addChannel(const QString &name, const QByteArray &address)
    {
        auto *item = new QStandardItem(name);
        item->setData(address, Qt::UserRole);
        model.appendRow(item);
    }
    void select(int row) { list->setCurrentIndex(model.index(row, 0)); }

    // The reports the server received, as "TYPE name".
    QStringList reports() const
    {
        QStringList out;
        for (const RecordedRequest &r : server.requestsFor("/tv/getData.asp")) {
            const auto query =
                parseQuery(QString::fromLatin1(r.target.mid(r.target.indexOf('?') + 1)))
                    .valueOr({});
            out << QString::fromUtf8(query.value("strType") + ' ' + query.value("strItem"));
        }
        return out;
    }
    int fetchesOf(const QByteArray &path) const { return int(server.requestsFor(path).size()); }

    TestHttpServer server;
    QStandardItemModel model;
    PlayRequests requests; // as the window shares it with its other ways to play
    std::unique_ptr<QWidget> window;
    QTreeView *list = nullptr;
    MediaPlayer *player = nullptr;
    QLabel *offline = nullptr;
    ChannelPlayback *playback = nullptr;
    bool staff = false;
    clsLanguages languages;
    QString statusText;

private:
    QByteArray m_savedUrl;
};

TEST_F(PlaybackTest, ALiveChannelPlaysAndIsReportedOnline)
{
    addChannel(u"Tone FM"_s, server.url("/tone.wav"));
    select(0);
    offline->show();
    playback->ListView1_Click();
    EXPECT_TRUE(offline->isHidden());
    EXPECT_EQ(player->URL(), QString::fromLatin1(server.url("/tone.wav")));
    EXPECT_EQ(reports(), QStringList{u"ONLINE Tone FM"_s});
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return player->state() == MediaPlayer::State::Playing; }, kWaitMs));
    EXPECT_EQ(reports().size(), 1);
}

TEST_F(PlaybackTest, AnErrorPageShowsTheOfflinePictureAndDoesNotPlay)
{
    struct Case
    {
        QString name;
        QByteArray path;
    };
    const Case cases[] = {{u"Gone TV"_s, "/dead"}, {u"Moved TV"_s, "/moved"}};
    for (const Case &c : cases) {
        model.clear();
        server.clearRequests();
        player->close();
        addChannel(c.name, server.url(c.path));
        select(0);
        playback->ListView1_Click();
        EXPECT_FALSE(offline->isHidden()) << c.path.constData();
        EXPECT_TRUE(player->URL().isEmpty()) << c.path.constData();
        EXPECT_EQ(reports(), QStringList{u"OFFLINE "_s + c.name});
        // A click on the picture hides it; checking the dead channel again shows it again.
        playback->imgOffline_Click();
        EXPECT_TRUE(offline->isHidden());
        QTest::mouseClick(window.get(), Qt::LeftButton); // elsewhere: nothing
        playback->ListView1_Click();
        EXPECT_FALSE(offline->isHidden());
        QTest::mouseClick(offline, Qt::LeftButton);
        EXPECT_TRUE(offline->isHidden());
    }
}

// Each way a chosen channel can fail: the old channel stops at the click, and the reason is
// said in plain words within a generous bound.
TEST_F(PlaybackTest, AFailedChoiceStopsTheOldOneAndSaysWhy)
{
    const QByteArray refused = TestHttpServer::refusedUrl("/");
    server.serve("/long.wav", makeWav(60.0));
    server.serve("/gone", "", 404);
    server.serve("/junk", makeJunk(48 * 1024));
    struct Case
    {
        QByteArray address;
        QString status;
        QStringList reported;
    };
    const Case cases[] = {
        {"http://no-such-host.invalid/live",
         u"Could not reach no-such-host.invalid"_s,
         {u"OFFLINE Next TV"_s}},
        {refused, u"Could not reach 127.0.0.1"_s, {u"OFFLINE Next TV"_s}},
        {server.url("/gone"), u"The server answered 404"_s, {u"OFFLINE Next TV"_s}},
        {server.url("/junk"),
         u"The stream could not be decoded"_s,
         {u"ONLINE Next TV"_s, u"OFFLINE Next TV"_s}},
        {server.url("/dead"), u"Next TV is offline"_s, {u"OFFLINE Next TV"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.address.constData());
        model.clear();
        addChannel(u"Old FM"_s, server.url("/long.wav"));
        addChannel(u"Next TV"_s, c.address);
        select(0);
        playback->ListView1_Click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return player->state() == MediaPlayer::State::Playing; },
                                    kWaitMs));
        // Once its cache is full, the name alone.
        EXPECT_TRUE(QTest::qWaitFor([&] { return player->statusText() == u"Old FM"_s; }, 3000));
        server.clearRequests();

        select(1);
        QElapsedTimer clock;
        clock.start();
        playback->ListView1_Click();
        EXPECT_NE(player->URL(), QString::fromLatin1(server.url("/long.wav")));
        EXPECT_NE(player->state(), MediaPlayer::State::Playing);
        EXPECT_TRUE(QTest::qWaitFor([&] { return player->statusText() == c.status; }, kWaitMs))
            << player->statusText().toStdString();
        EXPECT_LT(clock.elapsed(), 10000);
        EXPECT_NE(player->state(), MediaPlayer::State::Playing);
        EXPECT_TRUE(QTest::qWaitFor([&] { return reports() == c.reported; }, 3000))
            << reports().join(u", "_s).toStdString();
    }
}

TEST_F(PlaybackTest, WindowsMediaAddressPlaysWithoutFetchOrReport)
{
    // Served so that a fetch would be seen, and undecodable so that the player fails it.
    server.serve("/clip.WMV", makeJunk(4000));
    addChannel(u"Clip"_s, server.url("/clip.WMV"));
    select(0);
    playback->ListView1_Click();
    EXPECT_EQ(player->URL(), QString::fromLatin1(server.url("/clip.WMV")));
    EXPECT_TRUE(reports().isEmpty());
    // The player's own read is the only one, and its failure reports the channel.
    EXPECT_TRUE(QTest::qWaitFor([&] { return !reports().isEmpty(); }, kWaitMs));
    EXPECT_EQ(reports(), QStringList{u"OFFLINE Clip"_s});
    QTest::qWait(300);
    EXPECT_EQ(reports().size(), 1);
}

TEST_F(PlaybackTest, UnfetchableAddressPlaysUnreportedUntilThePlayerFails)
{
    const QByteArray refused = TestHttpServer::refusedUrl("/live");
    addChannel(u"Nowhere Radio"_s, refused);
    addChannel(u"Other"_s, server.url("/tone.wav"));
    select(0);
    playback->ListView1_Click();
    EXPECT_EQ(player->URL(), QString::fromLatin1(refused));
    EXPECT_TRUE(reports().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !reports().isEmpty(); }, kWaitMs));
    EXPECT_EQ(reports(), QStringList{u"OFFLINE Nowhere Radio"_s});
}

TEST_F(PlaybackTest, AnOfflineViewerReportsOnlyWhatTheHostAnswered)
{
    struct Offline : NetworkState
    {
        bool appearsOffline() const override { return true; }
    } offlineNetwork;
    const NetworkState *saved = setNetworkState(&offlineNetwork);
    addChannel(u"Nowhere Radio"_s, TestHttpServer::refusedUrl("/live"));
    addChannel(u"Dead TV"_s, server.url("/dead"));
    select(0);
    playback->ListView1_Click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !statusText.isEmpty(); }, kWaitMs));
    EXPECT_EQ(statusText, u"You appear to be offline"_s);
    EXPECT_EQ(player->state(), MediaPlayer::State::Error);
    select(1);
    playback->ListView1_Click();
    EXPECT_EQ(reports(), QStringList{u"OFFLINE Dead TV"_s});
    setNetworkState(saved);
}

TEST_F(PlaybackTest, ErrorsOfMediaNotPlayedFromTheListReportNothing)
{
    addChannel(u"Selected TV"_s, server.url("/tone.wav"));
    select(0);
    // A favourite or a local file handed straight to the player while a row is selected.
    const QString missing = u"/nonexistent/folder/file.mp3"_s;
    player->setURL(missing);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return player->state() == MediaPlayer::State::Error; }, kWaitMs));
    QTest::qWait(100);
    EXPECT_TRUE(reports().isEmpty());

    // And with no row selected a click does nothing at all.
    list->selectionModel()->clear();
    list->setCurrentIndex({});
    offline->show();
    playback->ListView1_Click();
    EXPECT_FALSE(offline->isHidden());
    EXPECT_EQ(fetchesOf("/tone.wav"), 0);
}

TEST_F(PlaybackTest, StaffReportsCarryTheFlag)
{
    staff = true;
    addChannel(u"News: 24/7"_s, server.url("/dead"));
    select(0);
    playback->checkChannel(true);
    const auto requests = server.requestsFor("/tv/getData.asp");
    ASSERT_EQ(requests.size(), 1);
    EXPECT_TRUE(requests[0].target.endsWith("&admin=true"));
    EXPECT_EQ(reports(), QStringList{u"OFFLINE News[colon] 24[slash]7"_s});
}

TEST_F(PlaybackTest, OnlyTheNewestChoicePlaysShowsThePictureOrReports)
{
    server.serveDrip("/slow", "<html>slow but alive</html>", 20);
    server.serveDrip("/slow-dead", "<h1>404 Not Found</h1>", 20);
    addChannel(u"Slow"_s, server.url("/slow"));
    addChannel(u"Slow dead"_s, server.url("/slow-dead"));
    addChannel(u"Fast"_s, server.url("/tone.wav"));
    const QString fast = QString::fromLatin1(server.url("/tone.wav"));
    struct Case
    {
        const char *what;
        int row;
        bool checkOnly;
        bool newerInList; // else something else of the window plays meanwhile
        QString url;
        QStringList reports;
    };
    const Case cases[] = {
        {"live, then a newer click", 0, false, true, fast, {u"ONLINE Fast"_s}},
        {"dead, then a favourite or file", 1, false, false, {}, {}},
        {"checked only, dead, then a newer click",
         1,
         true,
         true,
         fast,
         {u"ONLINE Fast"_s, u"OFFLINE Slow dead"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        player->setURL({});
        offline->hide();
        server.clearRequests();
        select(c.row);
        QTimer::singleShot(50, [&] {
            if (!c.newerInList) {
                requests.begin();
                return;
            }
            select(2);
            playback->ListView1_Click();
        });
        playback->checkChannel(c.checkOnly);
        EXPECT_EQ(player->URL(), c.url);
        EXPECT_TRUE(offline->isHidden());
        EXPECT_EQ(reports(), c.reports);
    }
}

TEST_F(PlaybackTest, WarningShowsItsBox)
{
    ScopedScriptedDialogs dialogs;
    playback->WindowsMediaPlayer1_Warning(1, 2, u"codec missing"_s);
    ASSERT_EQ(dialogs.shown().size(), 1);
    EXPECT_EQ(dialogs.shown()[0].text, u"warning"_s);
    EXPECT_EQ(dialogs.shown()[0].buttons, DialogButtons::Ok);
}

TEST_F(PlaybackTest, CheckAllOverFourRowsReportsEachAndPlaysNone)
{
    // An old radio server: "ICY 200 OK", and audio bytes that happen to hold "404". Only the
    // type tells them from text here.
    TestHttpServer::Route icy;
    icy.body = QByteArray(2000, '\xe3') + "404 Not Found" + QByteArray(2000, '\x9c');
    icy.contentType = "audio/mpeg";
    icy.statusLine = "ICY 200 OK";
    icy.sendLength = false;
    server.setRoute("/icy", icy);
    addChannel(u"Alive"_s, server.url("/tone.wav"));
    addChannel(u"Dead"_s, server.url("/dead"));
    addChannel(u"Windows"_s, server.url("/x.wmv"));
    addChannel(u"Icy"_s, server.url("/icy"));
    QStringList statuses;
    QList<int> selectedRows;
    CheckAllRun run({[&] { return model.rowCount(); },
                     [&](int row) { return model.index(row, 0).data().toString(); },
                     [&](int row) { select(row); },
                     [&] {
                         selectedRows << list->currentIndex().row();
                         playback->checkChannel(true);
                     },
                     [&](const QString &text) { statuses << text; }},
                    window.get());
    run.Timer1.setInterval(10);
    run.checkAllChannels();
    EXPECT_EQ(statuses, (QStringList{u"Checking 1 of 4 - Alive"_s, u"Checking 2 of 4 - Dead"_s,
                                     u"Checking 3 of 4 - Windows"_s, u"Checking 4 of 4 - Icy"_s}));
    EXPECT_EQ(selectedRows, (QList<int>{0, 1, 2, 3}));
    EXPECT_EQ(reports(), (QStringList{u"ONLINE Alive"_s, u"OFFLINE Dead"_s, u"ONLINE Icy"_s}));
    EXPECT_TRUE(player->URL().isEmpty());
    EXPECT_EQ(fetchesOf("/x.wmv"), 0);
    EXPECT_TRUE(offline->isHidden()); // each check hides it first; the last row is alive
}

TEST_F(PlaybackTest, WindowClosedDuringTheCheckFetch)
{
    server.serveSilent("/silent");
    addChannel(u"Silent"_s, server.url("/silent"));
    select(0);
    QTimer::singleShot(100, [&] { window.reset(); });
    playback->ListView1_Click(); // returns once the window is gone, touching nothing
    EXPECT_FALSE(window);
}

// The same flows against the real catalogue server and its demo catalogue: the reports are
// read back from what the server recorded.
class CatalogueServerPlaybackTest : public PlaybackTest
{
protected:
    static void SetUpTestSuite()
    {
        catalogue = new CatalogueServer;
        if (!catalogue->start())
            FAIL() << "catalogue server: " << catalogue->error().toStdString();
    }
    static void TearDownTestSuite()
    {
        delete catalogue;
        catalogue = nullptr;
    }
    void SetUp() override
    {
        PlaybackTest::SetUp();
        ASSERT_FALSE(catalogue->baseUrl().isEmpty());
        qputenv("MAVREL_CATALOGUE_URL", catalogue->baseUrl());
        m_reportsBefore = int(catalogue->reports().size());
    }

    void addDemoChannel(const QByteArray &name)
    {
        const ChannelRecord *record = catalogue->channel(name);
        ASSERT_NE(record, nullptr) << name.constData();
        addChannel(QString::fromUtf8(record->name), record->url);
    }
    // What this test made the server record, as "TYPE name".
    QStringList recorded() const
    {
        QStringList out;
        const auto all = catalogue->reports();
        for (qsizetype i = m_reportsBefore; i < all.size(); ++i)
            out << QString::fromUtf8(all[i].type + ' ' + all[i].item);
        return out;
    }
    bool waitPlaying()
    {
        return QTest::qWaitFor([&] { return player->state() == MediaPlayer::State::Playing; },
                               kWaitMs);
    }

    static inline CatalogueServer *catalogue = nullptr;

private:
    int m_reportsBefore = 0;
};

TEST_F(CatalogueServerPlaybackTest, DemoChannelsPlayAndAreReportedOnline)
{
    const QByteArray names[] = {"Demo Chime", "Demo Radio", "Demo Test Card"};
    int row = 0;
    for (const QByteArray &name : names) {
        addDemoChannel(name);
        select(row++);
        playback->ListView1_Click();
        EXPECT_TRUE(offline->isHidden()) << name.constData();
        EXPECT_TRUE(waitPlaying()) << name.constData();
    }
    EXPECT_EQ(recorded(), (QStringList{u"ONLINE Demo Chime"_s, u"ONLINE Demo Radio"_s,
                                       u"ONLINE Demo Test Card"_s}));
}

TEST_F(CatalogueServerPlaybackTest, DeadDemoChannelShowsThePictureAndIsReportedOffline)
{
    addDemoChannel("Demo Offline Channel");
    select(0);
    playback->ListView1_Click();
    EXPECT_FALSE(offline->isHidden());
    EXPECT_TRUE(player->URL().isEmpty());
    EXPECT_EQ(recorded(), QStringList{u"OFFLINE Demo Offline Channel"_s});
}

TEST_F(CatalogueServerPlaybackTest, PlayerErrorReportsTheChannelOffline)
{
    // A Windows Media address is played unchecked; the server answers it with a 404.
    addChannel(u"Demo Radio"_s, catalogue->baseUrl() + "/media/gone.wmv");
    select(0);
    playback->ListView1_Click();
    EXPECT_TRUE(recorded().isEmpty());
    EXPECT_TRUE(QTest::qWaitFor([&] { return !recorded().isEmpty(); }, kWaitMs));
    EXPECT_EQ(recorded(), QStringList{u"OFFLINE Demo Radio"_s});
}

TEST_F(CatalogueServerPlaybackTest, CheckAllReportsEveryDemoRow)
{
    staff = true;
    for (const char *name : {"Demo Chime", "Demo Offline Channel", "Demo Radio"})
        addDemoChannel(name);
    CheckAllRun run({[&] { return model.rowCount(); },
                     [&](int row) { return model.index(row, 0).data().toString(); },
                     [&](int row) { select(row); }, [&] { playback->checkChannel(true); },
                     [&](const QString &) {}},
                    window.get());
    run.Timer1.setInterval(10);
    run.checkAllChannels();
    EXPECT_EQ(recorded(), (QStringList{u"ONLINE Demo Chime"_s, u"OFFLINE Demo Offline Channel"_s,
                                       u"ONLINE Demo Radio"_s}));
    const auto all = catalogue->reports();
    ASSERT_FALSE(all.isEmpty());
    EXPECT_TRUE(all.last().admin);
    EXPECT_TRUE(player->URL().isEmpty());
}

TEST(StatusMirror, CopiesTextAndLetsEventsRun)
{
    QLabel panel;
    bool ran = false;
    QTimer::singleShot(0, [&] { ran = true; });
    mirrorStatusText(u"Downloaded 512 bytes."_s, &panel);
    EXPECT_EQ(panel.text(), u"Downloaded 512 bytes."_s);
    EXPECT_TRUE(ran);
}

} // namespace
