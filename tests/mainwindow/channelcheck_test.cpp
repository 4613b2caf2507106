#include "mainwindow/channelcheck.h"
#include "mainwindow/checkallrun.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

TEST(ChannelCheck, WindowsMediaAddressesSkipTheFetch)
{
    struct Case
    {
        const char *address;
        bool skips;
    };
    const Case cases[] = {
        {"http://host/clip.wmv", true},
        {"http://host/CLIP.WMV", true},
        {"mms://host/a.Wmv?x=1", true},
        {"http://host/x.wmvideo/live", true}, // anywhere in the address
        {"http://host/clip.wma", false},
        {"http://host/wmv", false},
        {"", false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(skipsCheckFetch(c.address), c.skips) << c.address;
}

TEST(ChannelCheck, ReplyDecidesPlayReportAndPicture)
{
    // A stream's bytes: MPEG frames that happen to hold "404".
    QByteArray stream("\xff\xfb\x90\x00\x00\x01", 6);
    stream += QByteArray(300, '\x80') + "404 Not Found" + QByteArray(300, '\x7f');
    struct Case
    {
        QByteArray page, contentType;
        bool checkOnly;
        CheckDecision expected;
    };
    const Case cases[] = {
        {"", "", false, {true, false, CheckReport::None}},
        {"", "", true, {false, false, CheckReport::None}},
        {"<html>live</html>", "text/html", false, {true, false, CheckReport::Online}},
        {"<html>live</html>", "", true, {false, false, CheckReport::Online}},
        {"<h1>404 Not Found</h1>", "text/html", false, {false, true, CheckReport::Offline}},
        {"Not Found", "", false, {false, true, CheckReport::Offline}},
        {"Internal ERROR", "text/plain; charset=utf-8", true, {false, true, CheckReport::Offline}},
        {"   \r\n", "", false, {true, false, CheckReport::Online}},
        {stream, "audio/mpeg", false, {true, false, CheckReport::Online}},
        {stream, "audio/mpeg", true, {false, false, CheckReport::Online}},
        {stream, "", false, {true, false, CheckReport::Online}},
        {"404 Not Found", "audio/aacp", false, {true, false, CheckReport::Online}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.page.left(24).toHex().constData());
        const CheckDecision d = decideCheck(c.page, c.contentType, c.checkOnly);
        EXPECT_EQ(d.play, c.expected.play);
        EXPECT_EQ(d.showOffline, c.expected.showOffline);
        EXPECT_EQ(d.report, c.expected.report);
    }
    EXPECT_EQ(reportType(CheckReport::Online), "ONLINE");
    EXPECT_EQ(reportType(CheckReport::Offline), "OFFLINE");
    EXPECT_TRUE(reportType(CheckReport::None).isEmpty());
}

TEST(ChannelCheck, StatusText)
{
    EXPECT_EQ(checkingStatusText(2, 13, u"Radio Één"_s), u"Checking 2 of 13 - Radio Één"_s);
}

// A list for the run: rows by name, with everything the run does recorded.
struct FakeList
{
    QStringList rows;
    int selected = -1;
    QStringList log;
    std::function<void(int)> onCheck;

    CheckAllRun::Hooks hooks()
    {
        return {
            [this] { return int(rows.size()); },
            [this](int row) { return rows.at(row); },
            [this](int row) {
                EXPECT_GE(row, 0);
                EXPECT_LT(row, rows.size()); // never a row that is not there
                selected = row;
            },
            [this] {
                log << u"check "_s + rows.value(selected);
                if (onCheck)
                    onCheck(selected);
            },
            [this](const QString &text) { log << text; },
        };
    }
};

TEST(CheckAllRun, ChecksEveryRowWithItsStatusAndAPauseOfTwoTicks)
{
    FakeList list;
    list.rows = {u"Alpha"_s, u"Beta"_s, u"Gamma"_s};
    CheckAllRun run(list.hooks());
    run.Timer1.setInterval(5);
    QElapsedTimer clock;
    clock.start();
    run.checkAllChannels();
    EXPECT_GE(clock.elapsed(), 3 * 2 * 5 - 3);
    EXPECT_EQ(list.log, (QStringList{u"Checking 1 of 3 - Alpha"_s, u"check Alpha"_s,
                                     u"Checking 2 of 3 - Beta"_s, u"check Beta"_s,
                                     u"Checking 3 of 3 - Gamma"_s, u"check Gamma"_s}));
    EXPECT_EQ(list.selected, 2);
    EXPECT_FALSE(run.Timer1.isActive());
    EXPECT_EQ(run.checkTicks, 0);
    EXPECT_TRUE(run.checkDone);
    EXPECT_FALSE(run.isRunning());
}

TEST(CheckAllRun, EmptyListDoesNothing)
{
    FakeList list;
    CheckAllRun run(list.hooks());
    run.checkAllChannels();
    EXPECT_TRUE(list.log.isEmpty());
    EXPECT_EQ(list.selected, -1);
}

TEST(CheckAllRun, TimerEndsThePauseOnTheSecondTick)
{
    FakeList list;
    CheckAllRun run(list.hooks());
    run.checkDone = false;
    run.Timer1.start();
    run.Timer1_Timer();
    EXPECT_FALSE(run.checkDone);
    EXPECT_EQ(run.checkTicks, 1);
    run.Timer1_Timer();
    EXPECT_TRUE(run.checkDone);
    EXPECT_EQ(run.checkTicks, 0);
    EXPECT_FALSE(run.Timer1.isActive());
}

// The list changes while the run waits: emptied, shortened, reloaded with other rows.
TEST(CheckAllRun, EndsWhenTheListChangesWhileItWaits)
{
    struct Case
    {
        const char *what;
        QStringList newRows;
    };
    const Case cases[] = {
        {"emptied", {}},
        {"shortened", {u"Alpha"_s}},
        {"reloaded", {u"Xray"_s, u"Yankee"_s, u"Zulu"_s, u"Whisky"_s}},
    };
    for (const Case &c : cases) {
        FakeList list;
        list.rows = {u"Alpha"_s, u"Beta"_s, u"Gamma"_s};
        CheckAllRun run(list.hooks());
        run.Timer1.setInterval(5);
        list.onCheck = [&](int row) {
            if (row == 0) {
                // During the pause after the first row, like a click on a category button.
                QTimer::singleShot(0, &run, [&] {
                    list.rows = c.newRows;
                    list.selected = -1;
                    run.listChanged();
                });
            }
        };
        int checked = -1;
        QObject::connect(&run, &CheckAllRun::finished, [&](int n) { checked = n; });
        run.checkAllChannels();
        EXPECT_EQ(checked, 1) << c.what;
        EXPECT_EQ(list.log.size(), 2) << c.what;
        EXPECT_EQ(list.selected, -1) << c.what;
        EXPECT_FALSE(run.isRunning()) << c.what;
    }
}

TEST(CheckAllRun, RowsRemovedDuringTheCheckAreNeverSelected)
{
    // The list shrinks without a notice (a check that reloads it): row numbers past its end are
    // skipped rather than selected.
    FakeList list;
    list.rows = {u"Alpha"_s, u"Beta"_s, u"Gamma"_s};
    CheckAllRun run(list.hooks());
    run.Timer1.setInterval(1);
    list.onCheck = [&](int row) {
        if (row == 0)
            list.rows = {u"Alpha"_s, u"Beta"_s};
    };
    run.checkAllChannels();
    EXPECT_EQ(list.log.last(), u"check Beta"_s);
    EXPECT_EQ(list.log.size(), 4);
}

TEST(CheckAllRun, AbortEndsTheWaitAndASecondRunIsRefused)
{
    FakeList list;
    list.rows = {u"Alpha"_s, u"Beta"_s};
    CheckAllRun run(list.hooks());
    run.Timer1.setInterval(60000);
    int nestedChecks = 0;
    list.onCheck = [&](int) {
        QTimer::singleShot(0, &run, [&] {
            run.checkAllChannels(); // the menu item again, while the first run waits
            nestedChecks = int(list.log.size());
            run.abort();
        });
    };
    QElapsedTimer clock;
    clock.start();
    run.checkAllChannels();
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(nestedChecks, 2);
    EXPECT_EQ(list.log.size(), 2);
    EXPECT_FALSE(run.Timer1.isActive());
    EXPECT_FALSE(run.isRunning());
}

TEST(CheckAllRun, DestroyedWhileWaitingReturnsQuietly)
{
    FakeList list;
    list.rows = {u"Alpha"_s, u"Beta"_s};
    auto *run = new CheckAllRun(list.hooks());
    run->Timer1.setInterval(60000);
    list.onCheck = [&](int) { QTimer::singleShot(0, run, [&] { delete run; }); };
    run->checkAllChannels();
    EXPECT_EQ(list.log.size(), 2);
}

} // namespace
