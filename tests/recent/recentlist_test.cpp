#include "recent/recentlist.h"

#include "killwhilesaving.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace mavrel;
using namespace mavrel::test;

namespace {

QDateTime at(int second)
{
    return QDateTime(QDate(2026, 12, 10), QTime(9, 0, second), Qt::UTC);
}

QList<RecentItem> generated(int count, const QByteArray &tag)
{
    QList<RecentItem> out;
    for (int i = 0; i < count; ++i)
        out.append({RecentSource::Channel, tag + " channel " + QByteArray::number(i),
                    "http://" + tag + ".example/" + QByteArray::number(i), "TV", at(i)});
    return out;
}

TEST(RecentFile, FieldsComeBackAsTheyWere)
{
    // Whatever a name or an address holds, it neither splits a field nor a line.
    const QList<RecentItem> items = {
        {RecentSource::Channel, "Radio Uno", "http://a.example/live?x=1&y=%41", "Radio", at(1)},
        {RecentSource::Favorite, "tab\there|pipe", "youtube=abc", {}, at(2)},
        {RecentSource::File, "line\r\nbreak 100%", "/home/u/My Videos/clip.mkv", {}, at(3)},
        {RecentSource::File, "caf\xe9 \xc3\xa9", "file:///tmp/a%20b.m3u", {}, at(4)},
        {RecentSource::Channel, "#not a comment", "rtsp://c.example/s", "XXX", at(5)},
    };
    EXPECT_EQ(parseRecentFile(recentFileBytes(items)), items);
}

TEST(RecentFile, LinesThatDoNotReadAreSkipped)
{
    const QByteArray good = "2026-12-10T09:00:01Z file  name /a.ogg";
    const struct
    {
        const char *what;
        QByteArray text;
        int items;
    } cases[] = {
        {"good", good + "\n", 1},
        {"CR LF", good + "\r\n" + good + "\r\n", 2},
        {"unknown source", "2026-12-10T09:00:01Z video  name /a.ogg\n", 0},
        {"bad time", "yesterday file  name /a.ogg\n", 0},
        {"four fields", "2026-12-10T09:00:01Z file name /a.ogg\n", 0},
        {"no address", "2026-12-10T09:00:01Z file  name \n", 0},
        {"binary junk", QByteArray("\0\xff\n", 3) + good, 1},
        {"forty: the newest (first) thirty kept", (good + "\n").repeated(40),
         RecentList::kMaxItems},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(parseRecentFile(c.text).size(), c.items);
    }
}

TEST(RecentList, NewestFirstWithoutRepeatsUpToThirtyAndUnsavedReported)
{
    QTemporaryDir dir;
    RecentList list(dir.filePath(u"Recent.txt"_s));
    for (const RecentItem &item : generated(35, "a"))
        ASSERT_TRUE(list.add(item).ok());
    ASSERT_EQ(list.items().size(), RecentList::kMaxItems);
    EXPECT_EQ(list.items().first().name, "a channel 34");
    EXPECT_EQ(list.items().last().name, "a channel 5");

    // The same address played again from the same list moves up; from another list it is
    // another item, since it plays another way.
    RecentItem again = list.items().at(10);
    again.when = at(59);
    ASSERT_TRUE(list.add(again).ok());
    RecentItem asFavorite = again;
    asFavorite.source = RecentSource::Favorite;
    ASSERT_TRUE(list.add(asFavorite).ok());
    EXPECT_EQ(list.items().size(), RecentList::kMaxItems);
    EXPECT_EQ(list.items().at(0), asFavorite);
    EXPECT_EQ(list.items().at(1), again);
    EXPECT_EQ(std::count_if(list.items().begin(), list.items().end(),
                            [&](const RecentItem &i) { return i.address == again.address; }),
              2);

    // A file that cannot be written is reported; the session still has the item.
    RecentList unwritable(dir.filePath(u"missing/Recent.txt"_s));
    EXPECT_FALSE(unwritable.add(again).ok());
    EXPECT_EQ(unwritable.items(), QList<RecentItem>{again});
}

// The child side of the kill test: saves two lists in turn until it is killed.
TEST(RecentSaveChild, DISABLED_SavesUntilKilled)
{
    const QString path = qEnvironmentVariable("RECENT_CHILD_FILE");
    ASSERT_FALSE(path.isEmpty());
    RecentList list(path);
    const QList<RecentItem> lists[] = {generated(30, "a"), generated(30, "b")};
    for (quint64 n = 0;; ++n) {
        for (const RecentItem &item : lists[n % 2])
            ASSERT_TRUE(list.add(item).ok());
        if (n == 0) {
            std::fputs("saved\n", stdout);
            std::fflush(stdout);
        }
    }
}

TEST(RecentList, AKillDuringASaveLeavesAWholeList)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"Recent.txt"_s);
    killWhileSaving(u"RecentSaveChild.DISABLED_SavesUntilKilled"_s, u"RECENT_CHILD_FILE"_s, path, 8,
                    27, [&](int round) {
                        // Every save writes thirty items, so anything else is a torn file.
                        QFile file(path);
                        const QByteArray now = file.open(QIODevice::ReadOnly) ? file.readAll() : "";
                        EXPECT_EQ(parseRecentFile(now).size(), RecentList::kMaxItems) << round;
                        EXPECT_EQ(now.count('\n'), RecentList::kMaxItems + 1) << round;
                    });
}

} // namespace
