#include "catalogue/ui/channellistmodel.h"
#include "catalogue/ui/listviewenh.h"
#include "mainwindow/ui/form1.h"
#include "mainwindow/ui/guidedaywindow.h"
#include "mainwindow/ui/playerarea.h"
#include "mainwindowui.h"
#include "online/guideclient.h"
#include "platform/scripteddialogs.h"
#include "player/ui/mediaplayer.h"
#include "testhttpserver.h"
#include "unreachableserver.h"
#include "viewerfolders.h"

#include <QFile>
#include <QHeaderView>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

constexpr int kWaitMs = 20'000;

QDateTime utc(int hour, int minute = 0)
{
    return QDateTime(QDate(2026, 12, 10), QTime(hour, minute), QTimeZone::utc());
}

QByteArray guideTime(const QDateTime &t)
{
    return t.toUTC().toString(u"yyyy-MM-dd'T'HH:mm:ss'Z'"_s).toLatin1();
}

QString message(const QString &)
{
    return u"next: %1"_s;
}

class OnNowWindowTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }
    void TearDown() override
    {
        qputenv("MAVREL_CATALOGUE_URL", mavrel::testing::kUnreachableServer);
    }

    test::TestHttpServer server;
};

} // namespace

TEST_F(OnNowWindowTest, TheNowLineFollowsTheClockAcrossAProgrammesEnd)
{
    server.serve("/guide/now.txt", "bbc|" + guideTime(utc(20)) + '|' + guideTime(utc(21)) +
                                       "|World News|" + guideTime(utc(21)) + '|' +
                                       guideTime(utc(21, 30)) + "|Weather%7CSport\n");
    QDateTime clock = utc(20, 30);
    GuideClient guide([this] { return server.url(""); });
    guide.setClock([&] { return clock; });
    QWidget window;
    window.resize(640, 480);
    auto *area = new PlayerArea(&window);
    area->setGuide(&guide, message);
    area->setGuideZone(QTimeZone(3600));
    area->setGuideChannel("bbc", u"BBC"_s);
    QPushButton *line = area->nowNextLine();
    EXPECT_TRUE(line->isHidden()); // nothing fetched yet

    QSignalSpy changed(&guide, &GuideClient::nowChanged);
    guide.refreshNow();
    ASSERT_TRUE(changed.wait(kWaitMs));
    const std::pair<QDateTime, QString> steps[] = {
        {utc(20, 30), u"21:00\u201322:00 World News \u00b7 next: Weather|Sport"_s},
        {utc(21), u"22:00\u201322:30 Weather|Sport"_s},
        {utc(21, 30), {}}, // empty: hidden
    };
    for (const auto &[at, text] : steps) {
        clock = at;
        guide.programmeEnded();
        EXPECT_EQ(line->text(), text);
        EXPECT_EQ(line->isHidden(), text.isEmpty());
        // The player takes the rest of the area.
        EXPECT_EQ(area->player()->geometry().bottom() + 1,
                  text.isEmpty() ? area->height() : line->geometry().top());
    }
    // A channel without a guide id has no line.
    clock = utc(20, 30);
    guide.programmeEnded();
    EXPECT_EQ(line->accessibleName(), line->text());
    area->setGuideChannel({}, {});
    EXPECT_TRUE(line->isHidden());
}

TEST_F(OnNowWindowTest, TheDayWindowAsksForTheLocalDayAndShowsLocalTimes)
{
    server.serve("/guide/day.txt", guideTime(utc(4)) + '|' + guideTime(utc(5)) +
                                       "|Early|||<b>Dawn</b>\n" + guideTime(utc(20)) + '|' +
                                       guideTime(utc(21, 30)) + "|Late%7CShow|||\n");
    GuideClient guide([this] { return server.url(""); });
    const std::pair<int, QStringList> cases[] = {
        {330, {u"09:30\u201310:30 Early"_s, u"01:30\u201303:00 Late|Show"_s}},
        {-300, {u"23:00\u201300:00 Early"_s, u"15:00\u201316:30 Late|Show"_s}},
    };
    for (const auto &[offset, items] : cases) {
        server.clearRequests();
        QSignalSpy arrived(&guide, &GuideClient::dayArrived);
        GuideDayWindow window(guide, "bbc one", u"BBC"_s, QDate(2026, 12, 10),
                              QTimeZone(offset * 60), message, nullptr);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(arrived.wait(kWaitMs));
        const QByteArray target = server.requestsFor("/guide/day.txt").value(0).target;
        EXPECT_TRUE(
            target.endsWith("?id=bbc%20one&date=2026-12-10&offset=" + QByteArray::number(offset)))
            << target.data();
        QStringList shown;
        for (int i = 0; i < window.list()->count(); ++i)
            shown << window.list()->item(i)->text();
        EXPECT_EQ(shown, items);
        // The description is plain text, markup included.
        EXPECT_TRUE(window.list()->item(0)->toolTip().contains(u"&lt;b&gt;Dawn"_s));
    }
}

TEST_F(OnNowWindowTest, TheColumnShowsForTvListsWithGuideDataAfterTheChannel)
{
    test::ViewerFolders temp;
    ScopedScriptedDialogs boxes;
    QFile data(temp.path() + u"/data/Data.txt"_s);
    ASSERT_TRUE(data.open(QIODevice::WriteOnly));
    const ChannelRecord records[] = {
        {"1", "Alpha", "TV", "http://a.example/1", "English", "alpha", {}, "1", "5"},
        {"2", "Beta", "TV", "http://b.example/2", "English", {}, {}, "2", "4"},
        {"3", "Gamma FM", "Radio", "http://g.example/3", "English", "alpha", {}, "3", "3"},
    };
    for (const ChannelRecord &record : records)
        data.write(record.toLine().value());
    data.close();
    const QDateTime now = QDateTime::currentDateTimeUtc();
    server.serve("/guide/now.txt", "alpha|" + guideTime(now.addSecs(-1800)) + '|' +
                                       guideTime(now.addSecs(1800)) + "|Morning Show|||\n");
    qputenv("MAVREL_CATALOGUE_URL", server.url(""));

    Form1 form;
    const test::MainWindowUi ui(form);
    ASSERT_TRUE(form.Form_Load());
    form.show();
    auto &model = *qobject_cast<ChannelListModel *>(ui.ListView1->sourceModel());
    ASSERT_TRUE(QTest::qWaitFor([&] { return model.columnCount() == 7; }, kWaitMs));
    EXPECT_EQ(ui.ListView1->header()->visualIndex(ChannelListModel::OnNowColumn), 1);
    EXPECT_TRUE(ui.ListView1->header()->isSectionHidden(ChannelListModel::UrlColumn));
    EXPECT_EQ(model.headerData(ChannelListModel::OnNowColumn, Qt::Horizontal), u"On Now"_s);
    EXPECT_EQ(model.onNowText(0), u"Morning Show"_s);

    // Radio has no column, whatever its guide ids.
    ui.cmdRadio->click();
    EXPECT_EQ(model.columnCount(), 5);

    // The line under the player stays out of the picture on the whole screen.
    auto *area = form.findChild<PlayerArea *>(u"playerArea"_s);
    ASSERT_TRUE(area);
    area->setGuideChannel("alpha", u"Alpha"_s);
    EXPECT_TRUE(area->nowNextLine()->text().endsWith(u" Morning Show"_s));
    area->togglePictureFullScreen();
    EXPECT_TRUE(area->nowNextLine()->isHidden());
    EXPECT_EQ(area->player()->geometry(), area->rect());
}
