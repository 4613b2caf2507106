#include "online/guidepages.h"

#include <gtest/gtest.h>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

QDateTime utc(int hour, int minute = 0)
{
    return QDateTime(QDate(2026, 12, 10), QTime(hour, minute), QTimeZone::utc());
}

TEST(GuidePages, NowLinesReadTheirFieldsOrFail)
{
    const QByteArray on = "|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|";
    struct Case
    {
        QByteArray line;
        bool ok;
        QString now = {}; // "-": no programme on now
        QString next = {};
    };
    const Case cases[] = {
        {"bbc" + on + "News|2026-12-10T21:00:00Z|2026-12-10T21:30:00Z|Weather\r\n", true, u"News"_s,
         u"Weather"_s},
        {"bbc||||2026-12-10T21:00:00Z|2026-12-10T21:30:00Z|Weather", true, u"-"_s, u"Weather"_s},
        // Only these four are decoded, case and all; a lone "%" is text.
        {"x" + on + "A%7CB%0D%0Aline%25 50%41%7c 100%|||", true, u"A|B\r\nline% 50%41%7c 100%"_s},
        {"x|2026-12-10 20:00:00Z|2026-12-10T21:00:00Z|A|||", false},
        {"x|2026-12-10T20:00:00|2026-12-10T21:00:00Z|A|||", false},
        {"x|2026-12-10T24:00:00Z|2026-12-10T25:00:00Z|A|||", false},
        {"x|2026-02-30T20:00:00Z|2026-02-30T21:00:00Z|A|||", false},
        {"x|2026-12-10T21:00:00Z|2026-12-10T20:59:59Z|A|||", false}, // ends before it starts
        // No end known: the next programme is kept all the same.
        {"x" + on + "A|2026-12-10T21:00:00Z|2026-12-10T21:00:00Z|Late", true, u"A"_s, u"Late"_s},
        {"x" + on + "A||||", false},
        {on + "A|||", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        const Result<NowAndNext> line = parseNowLine(c.line);
        ASSERT_EQ(line.ok(), c.ok);
        if (c.ok) {
            const NowAndNext &n = line.value();
            EXPECT_EQ(n.now.isNull() ? u"-"_s : n.now.title, c.now);
            EXPECT_EQ(n.next.title, c.next);
            EXPECT_EQ(n.next.isNull(), c.next.isEmpty());
        }
    }
    // An end no guide gave is not shown as a programme of no length.
    const NowAndNext late =
        parseNowLine("x" + on + "A|2026-12-10T21:00:00Z|2026-12-10T21:00:00Z|Late").value();
    EXPECT_EQ(programmeLine(late.now, QTimeZone::utc()), u"20:00\u201321:00 A"_s);
    EXPECT_EQ(programmeLine(late.next, QTimeZone::utc()), u"21:00 Late"_s);
}

TEST(GuidePages, PagesKeepTheLinesThatRead)
{
    const QList<GuideProgramme> day = parseDayPage(
        "2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|News|Late%7Cedition|Talk|Head%0Alines\n"
        "2026-12-10T21:00:00Z|bad|Lost|||\n\n"
        "2026-12-10T21:00:00Z|2026-12-10T22:00:00Z|Film|||\r\n"
        "2026-12-10T22:00:00Z|2026-12-10T23:00:00Z|Short\n");
    ASSERT_EQ(day.size(), 2);
    EXPECT_EQ(day[0].subTitle, u"Late|edition"_s);
    EXPECT_EQ(day[0].category, u"Talk"_s);
    EXPECT_EQ(day[1].title, u"Film"_s);
    EXPECT_EQ(parseNowPage("a|||||\nb||||||\n").size(), 1);
}

TEST(GuidePages, TheNextChangeIsTheFirstStartOrStopAhead)
{
    GuideNowTable table;
    table.setLines(parseNowPage("bbc|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|News|"
                                "2026-12-10T21:00:00Z|2026-12-10T21:30:00Z|Weather\n"
                                "arte||||2026-12-10T22:00:00Z|2026-12-10T23:00:00Z|Film\n"));
    const std::pair<QDateTime, QDateTime> cases[] = {
        {utc(20, 30), utc(21)}, {utc(21), utc(21, 30)}, {utc(21, 30), utc(22)},
        {utc(22, 30), utc(23)}, {utc(23), {}},
    };
    for (const auto &[at, change] : cases)
        EXPECT_EQ(table.nextChange(at), change) << at.toString(Qt::ISODate).toStdString();
    EXPECT_TRUE(table.at("arte", utc(21)).on.isNull());
}

} // namespace
