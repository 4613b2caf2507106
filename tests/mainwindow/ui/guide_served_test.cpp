// A catalogue synced from a playlist with logos, guide ids and a guide address, all served from
// loopback, as the viewer shows it: the logo address, the On Now column and the now line.
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/collatingsortproxy.h"
#include "catalogue/ui/listviewenh.h"
#include "mainwindow/ui/channelpanel.h"
#include "mainwindow/ui/playerarea.h"
#include "mainwindowui.h"
#include "servedwindow.h"
#include "testhttpserver.h"

#include <QDateTime>
#include <QHeaderView>
#include <QPushButton>

#include <chrono>
#include <future>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

constexpr int kWaitMs = 20'000;

QByteArray xmltvTime(const QDateTime &t)
{
    return t.toUTC().toString(u"yyyyMMddHHmmss"_s).toLatin1() + " +0000";
}

using GuideServedTest = test::ServedWindowTest;

} // namespace

TEST_F(GuideServedTest, ASyncedPlaylistShowsItsLogoOnNowAndTheNowLine)
{
    test::TestHttpServer sources;
    ASSERT_TRUE(sources.listen());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QByteArray guide = "<tv><channel id=\"news.example\"/><programme start=\"" +
                             xmltvTime(now.addSecs(-1800)) + "\" stop=\"" +
                             xmltvTime(now.addSecs(1800)) +
                             "\" channel=\"news.example\"><title>World &amp; News</title>"
                             "</programme></tv>\n";
    sources.serve("/guide.xml", guide);
    sources.serve("/list.m3u", "#EXTM3U x-tvg-url=\"" + sources.url("/guide.xml") +
                                   "\"\n#EXTINF:-1 tvg-id=\"news.example\" tvg-logo=\"" +
                                   sources.url("/logo.png") +
                                   "\" tvg-language=\"English\",Loopback News\n" +
                                   server->baseUrl() + "/media/testcard.avi?guide\n");
    // The sync command fetches from `sources`, which answers from this thread meanwhile.
    auto synced = std::async(std::launch::async, [&] {
        return server->runCommand(u"sync"_s, {QString::fromUtf8(sources.url("/list.m3u"))});
    });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return synced.wait_for(std::chrono::seconds(0)) == std::future_status::ready; },
        60'000));
    ASSERT_TRUE(synced.get()) << "sync failed";

    // The viewer's catalogue is the server's, as after an update, and a radio with the guide id.
    QFile data(temp.path() + u"/data/Data.txt"_s);
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    const QList<ChannelRecord> radio = {
        {"9", "News FM", "Radio", "http://x.invalid/fm", "English", "news.example", {}, "1", "4"}};
    for (const ChannelRecord &record : server->catalogue() + radio)
        data.write(record.toLine().value());
    data.close();
    load();
    auto &model = form->channelPanel().model();
    const QModelIndexList found =
        model.match(model.index(0, ChannelListModel::ChannelColumn), Qt::DisplayRole,
                    u"Loopback News"_s, 1, Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    const QModelIndex name = found[0];
    EXPECT_EQ(name.data(ChannelListModel::kLogoRole).toByteArray(), sources.url("/logo.png"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.columnCount() > ChannelListModel::OnNowColumn; },
                                kWaitMs));
    EXPECT_EQ(model.index(name.row(), ChannelListModel::OnNowColumn).data(), u"World & News"_s);
    EXPECT_EQ(model.headerData(ChannelListModel::OnNowColumn, Qt::Horizontal), u"On Now"_s);
    // After the channel's name; the address column it comes after stays hidden.
    EXPECT_EQ(ui->ListView1->header()->visualIndex(ChannelListModel::OnNowColumn), 1);
    EXPECT_TRUE(ui->ListView1->header()->isSectionHidden(ChannelListModel::UrlColumn));

    // Played from the list, what is on shows under the player, but not on the whole screen.
    const QModelIndex shown = ui->ListView1->proxy()->mapFromSource(name);
    ui->ListView1->selectionModel()->select(shown, QItemSelectionModel::ClearAndSelect |
                                                       QItemSelectionModel::Rows);
    emit ui->ListView1->clicked(shown);
    PlayerArea &area = form->playerArea();
    QPushButton *line = area.nowNextLine();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !line->isHidden(); }, kWaitMs));
    EXPECT_TRUE(line->text().endsWith(u" World & News"_s)) << line->text().toStdString();
    area.togglePictureFullScreen();
    EXPECT_TRUE(line->isHidden());
    EXPECT_EQ(area.player()->geometry(), area.rect());
    area.togglePictureFullScreen();

    // Radio has no column, whatever its guide ids.
    ui->cmdRadio->click();
    EXPECT_FALSE(model.hasOnNowColumn());
}
