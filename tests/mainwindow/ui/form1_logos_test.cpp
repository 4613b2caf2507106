// Channel logos in the main window: the lists ask for the logos of the rows they show, and a
// logo that never comes holds nothing up.
#include "catalogue/channelrecord.h"
#include "catalogue/ui/listviewenh.h"
#include "favorites/favorites.h"
#include "logos/logostore.h"
#include "mainwindow/ui/channelpanel.h"
#include "mainwindow/ui/form1.h"
#include "mainwindowui.h"
#include "platform/scripteddialogs.h"
#include "player/ui/mediaplayer.h"
#include "testhttpserver.h"
#include "viewerfolders.h"

#include <QFile>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::test;

namespace {

constexpr int kWaitMs = 10000;

class WindowLogosTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
        ASSERT_TRUE(temp.isValid());
        ASSERT_TRUE(logos.listen());
        // Every logo hangs: the server takes the request and never answers.
        TestHttpServer::Route silent;
        silent.mode = TestHttpServer::Mode::Silent;
        logos.setDefaultRoute(silent);
        ASSERT_TRUE(otherHost.listen());
        otherHost.setDefaultRoute(silent);
        channels[0].spare2 = logos.url("/1.png");
        // Another host: the first one is busy with the hanging logo.
        channels[1].spare2 = otherHost.url("/2.png");
        QFile data(temp.path() + u"/data/Data.txt"_s);
        ASSERT_TRUE(data.open(QIODevice::WriteOnly));
        for (const ChannelRecord &r : channels)
            data.write(r.toLine().value());
    }

    std::unique_ptr<Form1> shown()
    {
        auto form = std::make_unique<Form1>();
        EXPECT_TRUE(form->Form_Load());
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        return form;
    }

    ViewerFolders temp;
    ScopedScriptedDialogs boxes;
    TestHttpServer logos;
    TestHttpServer otherHost;
    ChannelRecord channels[2] = {
        {"1", "Clip One", "TV", "http://127.0.0.1:9/one.wmv", "English", "", logos.url("/1.png"),
         "1", "4"},
        // Not in the list at the start: only the favourites ask for its logo.
        {"2", "Radio Uno", "Radio", "http://127.0.0.1:9/r", "English", "", logos.url("/2.png"), "1",
         "4"},
    };
};

TEST_F(WindowLogosTest, AClickPlaysWhileTheRowsLogoHangsAndAFavouriteFindsItsLogo)
{
    QFile favorites(temp.path() + u"/app/Favorites.txt"_s);
    ASSERT_TRUE(favorites.open(QIODevice::WriteOnly));
    const ChannelRecord &radio = channels[1];
    favorites.write(
        Favorite{radio.name, radio.url, radio.kind, radio.lang}.toScrambledLine().value() + "\r\n");
    favorites.close();
    auto form = shown();
    const MainWindowUi ui(*form);
    const LogoStore *store = form->channelPanel().logos();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !logos.requestsFor("/1.png").isEmpty(); }, kWaitMs));
    EXPECT_TRUE(otherHost.requests().isEmpty());
    EXPECT_EQ(store->fetchCount(), 1);

    const QRect row = ui.ListView1->visualRect(ui.ListView1->model()->index(0, 0));
    QTest::mouseClick(ui.ListView1->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(ui.WindowsMediaPlayer1->URL(), u"http://127.0.0.1:9/one.wmv"_s);
    EXPECT_EQ(store->fetchCount(), 1);
    EXPECT_TRUE(store->logo(channels[0].spare2).isNull());

    // Favourites store no logo: the catalogue line with the same stream address has it.
    ui.cmdFavorites->click();
    ASSERT_EQ(ui.ListView2->model()->rowCount(), 1);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !otherHost.requestsFor("/2.png").isEmpty(); }, kWaitMs));
}

} // namespace
