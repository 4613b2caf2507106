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

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::test;

namespace {

constexpr int kWaitMs = 10000;

TEST(WindowLogosTest, AClickPlaysWhileTheRowsLogoHangsAndAFavouriteFindsItsLogo)
{
    ViewerFolders temp;
    ScopedScriptedDialogs boxes;
    // Every logo hangs: its server takes the request and never answers. The radio's logo is on
    // another host, as the first one is busy with the hanging logo.
    TestHttpServer logos, otherHost;
    TestHttpServer::Route silent;
    silent.mode = TestHttpServer::Mode::Silent;
    for (TestHttpServer *host : {&logos, &otherHost}) {
        ASSERT_TRUE(host->listen());
        host->setDefaultRoute(silent);
    }
    const ChannelRecord channels[] = {
        {"1", "Clip One", "TV", "http://127.0.0.1:9/one.wmv", "English", "", logos.url("/1.png"),
         "1", "4"},
        // Not in the list at the start: only the favourites ask for its logo.
        {"2", "Radio Uno", "Radio", "http://127.0.0.1:9/r", "English", "", otherHost.url("/2.png"),
         "1", "4"},
    };
    QFile data(temp.path() + u"/data/Data.txt"_s);
    QFile favorites(temp.path() + u"/app/Favorites.txt"_s);
    ASSERT_TRUE(data.open(QIODevice::WriteOnly) && favorites.open(QIODevice::WriteOnly));
    for (const ChannelRecord &r : channels)
        data.write(r.toLine().value());
    const ChannelRecord &radio = channels[1];
    favorites.write(
        Favorite{radio.name, radio.url, radio.kind, radio.lang}.toScrambledLine().value() + "\r\n");
    data.close();
    favorites.close();
    Form1 form;
    const MainWindowUi ui(form);
    ASSERT_TRUE(form.Form_Load());
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const LogoStore *store = form.channelPanel().logos();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !logos.requestsFor("/1.png").isEmpty(); }, kWaitMs));
    EXPECT_TRUE(otherHost.requests().isEmpty());

    const QRect row = ui.ListView1->visualRect(ui.ListView1->model()->index(0, 0));
    QTest::mouseClick(ui.ListView1->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_EQ(ui.WindowsMediaPlayer1->URL(), u"http://127.0.0.1:9/one.wmv"_s);
    EXPECT_EQ(store->fetchCount(), 1);

    // Favourites store no logo: the catalogue line with the same stream address has it.
    ui.cmdFavorites->click();
    ASSERT_EQ(ui.ListView2->model()->rowCount(), 1);
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return !otherHost.requestsFor("/2.png").isEmpty(); }, kWaitMs));
}

} // namespace
