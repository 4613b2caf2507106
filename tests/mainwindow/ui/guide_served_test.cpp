// A catalogue synced from a playlist with logos, guide ids and a guide address, all served from
// loopback, as the viewer shows it: the logo, the On Now column and the line under the player.
#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/collatingsortproxy.h"
#include "catalogue/ui/listviewenh.h"
#include "logos/logostore.h"
#include "mainwindow/ui/channelpanel.h"
#include "mainwindow/ui/playerarea.h"
#include "mainwindowui.h"
#include "servedwindow.h"
#include "testhttpserver.h"

#include <QBuffer>
#include <QDateTime>
#include <QImage>
#include <QPushButton>
#include <QThread>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

constexpr int kWaitMs = 20'000;

QByteArray xmltvTime(const QDateTime &t)
{
    return t.toUTC().toString(u"yyyyMMddHHmmss"_s).toLatin1() + " +0000";
}

class GuideServedTest : public test::ServedWindowTest
{
protected:
    void SetUp() override
    {
        test::ServedWindowTest::SetUp();
        // The playlist's server answers while the sync command runs: it has a thread of its own.
        sources.moveToThread(&sourcesThread);
        sourcesThread.start();
        bool listening = false;
        QMetaObject::invokeMethod(&sources, &test::TestHttpServer::listen,
                                  Qt::BlockingQueuedConnection, &listening);
        ASSERT_TRUE(listening);
    }
    void TearDown() override
    {
        test::ServedWindowTest::TearDown();
        QMetaObject::invokeMethod(
            &sources, [this] { sources.moveToThread(sourcesThread.thread()); },
            Qt::BlockingQueuedConnection);
        sourcesThread.quit();
        sourcesThread.wait();
    }
    QThread sourcesThread;
    test::TestHttpServer sources;
};

} // namespace

TEST_F(GuideServedTest, ASyncedPlaylistShowsItsLogoOnNowAndTheNowLine)
{
    QImage picture(48, 32, QImage::Format_RGB32);
    picture.fill(Qt::red);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    ASSERT_TRUE(picture.save(&png, "PNG"));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QByteArray guide =
        "<?xml version=\"1.0\"?>\n<tv><channel id=\"news.example\"/>"
        "<programme start=\"" +
        xmltvTime(now.addSecs(-1800)) + "\" stop=\"" + xmltvTime(now.addSecs(1800)) +
        "\" channel=\"news.example\"><title>World &amp; News</title>"
        "</programme><programme start=\"" +
        xmltvTime(now.addSecs(1800)) + "\" stop=\"" + xmltvTime(now.addSecs(3600)) +
        "\" channel=\"news.example\"><title>Weather</title></programme></tv>\n";
    sources.serve("/logo.png", png.data());
    sources.serve("/guide.xml", guide);
    sources.serve("/list.m3u", "#EXTM3U x-tvg-url=\"" + sources.url("/guide.xml") +
                                   "\"\n#EXTINF:-1 tvg-id=\"news.example\" tvg-logo=\"" +
                                   sources.url("/logo.png") +
                                   "\" tvg-language=\"English\",Loopback News\n" +
                                   server->baseUrl() + "/media/testcard.avi?guide\n");
    const std::optional<QByteArray> synced =
        server->runCommand(u"sync"_s, {QString::fromUtf8(sources.url("/list.m3u"))});
    ASSERT_TRUE(synced) << "sync failed";

    // The viewer's catalogue is the server's, as after an update.
    QFile data(temp.path() + u"/data/Data.txt"_s);
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    for (const ChannelRecord &record : server->catalogue())
        data.write(record.toLine().value());
    data.close();
    load();
    const test::MainWindowUi ui(*form);
    auto &model = form->channelPanel().model();
    int row = -1;
    for (int r = 0; r < model.rowCount(); ++r) {
        if (model.index(r, ChannelListModel::ChannelColumn).data() == u"Loopback News"_s)
            row = r;
    }
    ASSERT_GE(row, 0);
    const QModelIndex name = model.index(row, ChannelListModel::ChannelColumn);
    EXPECT_EQ(name.data(ChannelListModel::kLogoRole).toByteArray(), sources.url("/logo.png"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.columnCount() > ChannelListModel::OnNowColumn; },
                                kWaitMs));
    EXPECT_EQ(model.index(row, ChannelListModel::OnNowColumn).data(), u"World & News"_s);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !form->channelPanel().logos()->logo(sources.url("/logo.png")).isNull(); },
        kWaitMs));
    EXPECT_EQ(form->channelPanel().logos()->logo(sources.url("/logo.png")).height(),
              LogoStore::kLogoHeight);

    // Played from the list, its now and next show under the player.
    const QModelIndex shown = ui.ListView1->proxy()->mapFromSource(name);
    ui.ListView1->selectionModel()->select(shown, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    emit ui.ListView1->clicked(shown);
    QPushButton *line = form->playerArea().nowNextLine();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !line->isHidden(); }, kWaitMs));
    EXPECT_TRUE(line->text().contains(u"World & News"_s)) << line->text().toStdString();
    EXPECT_TRUE(line->text().contains(u"Weather"_s)) << line->text().toStdString();
}
