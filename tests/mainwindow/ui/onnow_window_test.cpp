#include "catalogue/channelrecord.h"
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

QString message(const QString &key)
{
    if (key == u"MSG_GUIDENEXT"_s)
        return u"next: %1"_s;
    return u"%1 \u2013 %2"_s;
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
    struct Step
    {
        QDateTime at;
        QString text; // empty: hidden
    };
    const Step steps[] = {
        {utc(20, 30), u"21:00\u201322:00 World News \u00b7 next: Weather|Sport"_s},
        {utc(21), u"22:00\u201322:30 Weather|Sport"_s},
        {utc(21, 30), {}},
    };
    for (const Step &step : steps) {
        SCOPED_TRACE(step.at.toString(Qt::ISODate).toStdString());
        clock = step.at;
        guide.programmeEnded();
        EXPECT_EQ(line->text(), step.text);
        EXPECT_EQ(line->isHidden(), step.text.isEmpty());
        if (!step.text.isEmpty()) {
            EXPECT_EQ(line->accessibleName(), step.text);
        }
        // The player takes the rest of the area.
        EXPECT_EQ(area->player()->geometry().bottom() + 1,
                  step.text.isEmpty() ? area->height() : line->geometry().top());
    }
    // A channel without a guide id has no line.
    clock = utc(20, 30);
    guide.programmeEnded();
    EXPECT_FALSE(line->isHidden());
    area->setGuideChannel({}, {});
    EXPECT_TRUE(line->isHidden());
}

TEST_F(OnNowWindowTest, TheDayWindowAsksForTheLocalDayAndShowsLocalTimes)
{
    server.serve("/guide/day.txt", guideTime(utc(4)) + '|' + guideTime(utc(5)) +
                                       "|Early|||<b>Dawn</b> news\n" + guideTime(utc(20)) + '|' +
                                       guideTime(utc(21, 30)) + "|Late%7CShow|||\n");
    GuideClient guide([this] { return server.url(""); });
    struct Case
    {
        int offsetMinutes;
        QByteArray offsetText;
        QStringList items;
    };
    const Case cases[] = {
        {330, "offset=330", {u"09:30\u201310:30 Early"_s, u"01:30\u201303:00 Late|Show"_s}},
        {-300, "offset=-300", {u"23:00\u201300:00 Early"_s, u"15:00\u201316:30 Late|Show"_s}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.offsetMinutes);
        server.clearRequests();
        QSignalSpy arrived(&guide, &GuideClient::dayArrived);
        GuideDayWindow window(guide, "bbc one", u"BBC"_s, QDate(2026, 12, 10),
                              QTimeZone(c.offsetMinutes * 60), message, nullptr);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        ASSERT_TRUE(arrived.wait(kWaitMs));
        const auto requests = server.requestsFor("/guide/day.txt");
        ASSERT_EQ(requests.size(), 1);
        EXPECT_TRUE(requests[0].target.contains("id=bbc%20one")) << requests[0].target.data();
        EXPECT_TRUE(requests[0].target.contains("date=2026-12-10"));
        EXPECT_TRUE(requests[0].target.contains(c.offsetText)) << requests[0].target.data();
        QStringList items;
        for (int i = 0; i < window.list()->count(); ++i)
            items << window.list()->item(i)->text();
        EXPECT_EQ(items, c.items);
        EXPECT_EQ(window.windowTitle(), u"BBC \u2013 "_s + QLocale().toString(QDate(2026, 12, 10)));
        // The description is plain text, markup included.
        const QString tip = window.list()->item(0)->toolTip();
        EXPECT_TRUE(tip.contains(u"&lt;b&gt;Dawn&lt;/b&gt; news"_s)) << tip.toStdString();
        EXPECT_TRUE(window.list()->item(1)->toolTip().isEmpty());
    }
    // No page: an empty list and no message.
    server.serve("/guide/day.txt", "not here", 404);
    QSignalSpy failed(&guide, &GuideClient::dayFailed);
    GuideDayWindow window(guide, "bbc", u"BBC"_s, QDate(2026, 12, 10), QTimeZone(0), message,
                          nullptr);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    ASSERT_TRUE(failed.wait(kWaitMs));
    EXPECT_EQ(window.list()->count(), 0);
}

TEST_F(OnNowWindowTest, TheColumnShowsForTvListsWithGuideDataAfterTheChannel)
{
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    test::ViewerFolders temp;
    ASSERT_TRUE(temp.isValid());
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
    const QHeaderView *header = ui.ListView1->header();
    EXPECT_EQ(header->visualIndex(ChannelListModel::OnNowColumn), 1);
    EXPECT_TRUE(header->isSectionHidden(ChannelListModel::UrlColumn));
    EXPECT_EQ(model.headerData(ChannelListModel::OnNowColumn, Qt::Horizontal), u"On Now"_s);
    EXPECT_EQ(model.onNowText(0), u"Morning Show"_s);

    // Radio has no column, whatever its guide ids; TV has it again without asking anew.
    ui.cmdRadio->click();
    EXPECT_EQ(model.columnCount(), 5);
    const qsizetype asked = server.requestsFor("/guide/now.txt").size();
    ui.cmdTV->click();
    EXPECT_EQ(model.columnCount(), 7);
    EXPECT_EQ(server.requestsFor("/guide/now.txt").size(), asked);

    // The line under the player stays out of the picture on the whole screen.
    auto *area = form.findChild<PlayerArea *>(u"playerArea"_s);
    ASSERT_TRUE(area);
    area->setGuideChannel("alpha", u"Alpha"_s);
    EXPECT_TRUE(area->nowNextLine()->text().endsWith(u" Morning Show"_s));
    EXPECT_FALSE(area->nowNextLine()->isHidden());
    area->togglePictureFullScreen();
    ASSERT_TRUE(area->pictureFullScreen());
    EXPECT_TRUE(area->nowNextLine()->isHidden());
    EXPECT_EQ(area->player()->geometry(), area->rect());
    area->togglePictureFullScreen();
    EXPECT_FALSE(area->nowNextLine()->isHidden());
}
