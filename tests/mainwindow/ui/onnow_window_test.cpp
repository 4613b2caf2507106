#include "mainwindow/ui/guidedaywindow.h"
#include "mainwindow/ui/playerarea.h"
#include "online/guideclient.h"
#include "player/ui/mediaplayer.h"
#include "testhttpserver.h"

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

const MessageLookup message = [](const QString &) { return u"next: %1"_s; };

TEST(OnNowWindowTest, TheNowLineFollowsTheClockAcrossAProgrammesEnd)
{
    test::TestHttpServer server;
    ASSERT_TRUE(server.listen());
    server.serve("/guide/now.txt", "bbc|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|World News|"
                                   "2026-12-10T21:00:00Z|2026-12-10T21:30:00Z|Weather%7CSport\n");
    QDateTime clock = utc(20, 30);
    GuideClient guide([&] { return server.url(""); });
    guide.setClock([&] { return clock; });
    QWidget window;
    auto *area = new PlayerArea(&window);
    area->setGuide(&guide, message);
    area->setGuideZone(QTimeZone(3600));
    area->setGuideChannel("bbc", u"BBC"_s);
    QPushButton *line = area->nowNextLine();

    QSignalSpy changed(&guide, &GuideClient::nowChanged);
    guide.refreshNow();
    ASSERT_TRUE(changed.wait(kWaitMs));
    const std::tuple<QDateTime, QByteArray, QString> steps[] = {
        {utc(20, 30), "bbc", u"21:00\u201322:00 World News \u00b7 next: Weather|Sport"_s},
        {utc(21), "bbc", u"22:00\u201322:30 Weather|Sport"_s},
        {utc(21, 30), "bbc", {}}, // empty: hidden
        {utc(20, 30), {}, {}},    // a channel without a guide id has no line
    };
    for (const auto &[at, guideId, text] : steps) {
        clock = at;
        guide.programmeEnded();
        if (guideId != area->guideChannel())
            area->setGuideChannel(guideId, {});
        EXPECT_EQ(line->text(), text);
        EXPECT_EQ(line->isHidden(), text.isEmpty());
        if (!text.isEmpty()) {
            EXPECT_EQ(line->accessibleName(), text);
        }
        // The player takes the rest of the area.
        EXPECT_EQ(area->player()->geometry().bottom() + 1,
                  text.isEmpty() ? area->height() : line->geometry().top());
    }
}

TEST(OnNowWindowTest, TheDayWindowAsksForTheLocalDayAndShowsLocalTimes)
{
    test::TestHttpServer server;
    ASSERT_TRUE(server.listen());
    server.serve("/guide/day.txt", "2026-12-10T04:00:00Z|2026-12-10T05:00:00Z|Early|||<b>Dawn</b>\n"
                                   "2026-12-10T20:00:00Z|2026-12-10T21:30:00Z|Late%7CShow|||\n");
    GuideClient guide([&] { return server.url(""); });
    const std::pair<int, QStringList> cases[] = {
        {330, {u"09:30\u201310:30 Early"_s, u"01:30\u201303:00 Late|Show"_s}},
        {-300, {u"23:00\u201300:00 Early"_s, u"15:00\u201316:30 Late|Show"_s}},
    };
    for (const auto &[offset, items] : cases) {
        QSignalSpy arrived(&guide, &GuideClient::dayArrived);
        GuideDayWindow window(guide, "bbc one", u"BBC"_s, QDate(2026, 12, 10),
                              QTimeZone(offset * 60), message, nullptr);
        ASSERT_TRUE(arrived.wait(kWaitMs));
        const QByteArray target = server.requestsFor("/guide/day.txt").last().target;
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

} // namespace
