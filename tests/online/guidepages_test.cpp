#include "online/guidepages.h"
#include "online/querytext.h"

#include <QTimeZone>

#include <gtest/gtest.h>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

QDateTime utc(int day, int hour, int minute = 0)
{
    return QDateTime(QDate(2026, 12, day), QTime(hour, minute), QTimeZone::utc());
}

TEST(GuidePages, NowLinesReadTheirFieldsOrFail)
{
    struct Case
    {
        const char *line;
        bool ok;
        QString now;
        QString next;
        bool hasNow;
        bool hasNext;
    };
    const Case cases[] = {
        {"bbc|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|World News|2026-12-10T21:00:00Z|"
         "2026-12-10T21:30:00Z|Weather\r\n",
         true, u"World News"_s, u"Weather"_s, true, true},
        // Nothing on now, only later; and nothing after.
        {"bbc|||||2026-12-10T21:00:00Z|2026-12-10T21:30:00Z|Weather", false, {}, {}, false, false},
        {"bbc||||2026-12-10T21:00:00Z|2026-12-10T21:30:00Z|Weather",
         true,
         {},
         u"Weather"_s,
         false,
         true},
        {"bbc|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|News|||", true, u"News"_s, {}, true, false},
        // Only these four are encoded; anything else after "%" is text.
        {"x|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|A%7CB%0D%0Aline%25 50%41%7c|||",
         true,
         u"A|B\r\nline% 50%41%7c"_s,
         {},
         true,
         false},
        {"x|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|100%|||", true, u"100%"_s, {}, true, false},
        // Bad times: another form, out of range, a half, stop not after start.
        {"x|2026-12-10 20:00:00Z|2026-12-10T21:00:00Z|A|||", false, {}, {}, false, false},
        {"x|2026-12-10T20:00:00|2026-12-10T21:00:00Z|A|||", false, {}, {}, false, false},
        {"x|2026-12-10T24:00:00Z|2026-12-10T25:00:00Z|A|||", false, {}, {}, false, false},
        {"x|2026-02-30T20:00:00Z|2026-02-30T21:00:00Z|A|||", false, {}, {}, false, false},
        {"x|2026-12-10T20:00:00Z||A|||", false, {}, {}, false, false},
        {"x|2026-12-10T21:00:00Z|2026-12-10T21:00:00Z|A|||", false, {}, {}, false, false},
        {"x|2026-12-10T2a:00:00Z|2026-12-10T21:00:00Z|A|||", false, {}, {}, false, false},
        // Field counts and the id.
        {"x|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|A||", false, {}, {}, false, false},
        {"x|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|A||||", false, {}, {}, false, false},
        {"|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|A|||", false, {}, {}, false, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.line);
        const Result<NowAndNext> line = parseNowLine(c.line);
        ASSERT_EQ(line.ok(), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(line.value().now.title, c.now);
        EXPECT_EQ(line.value().next.title, c.next);
        EXPECT_EQ(!line.value().now.isNull(), c.hasNow);
        EXPECT_EQ(!line.value().next.isNull(), c.hasNext);
    }
    const NowAndNext first = parseNowLine(cases[0].line).value();
    EXPECT_EQ(first.guideId, "bbc");
    EXPECT_EQ(first.now.start, utc(10, 20));
    EXPECT_EQ(first.next.stop, utc(10, 21, 30));
}

TEST(GuidePages, DayLinesAndPagesKeepTheLinesThatRead)
{
    const QByteArray page = "2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|News|Late%7Cedition|"
                            "News|Headlines%0Aand weather\n"
                            "2026-12-10T21:00:00Z|bad|Lost||||\n"
                            "\n"
                            "2026-12-10T21:00:00Z|2026-12-10T22:00:00Z|Film|||\r\n"
                            "2026-12-10T22:00:00Z|2026-12-10T23:00:00Z|Short\n";
    const QList<GuideProgramme> day = parseDayPage(page);
    ASSERT_EQ(day.size(), 2);
    EXPECT_EQ(day[0].title, u"News"_s);
    EXPECT_EQ(day[0].subTitle, u"Late|edition"_s);
    EXPECT_EQ(day[0].category, u"News"_s);
    EXPECT_EQ(day[0].description, u"Headlines\nand weather"_s);
    EXPECT_EQ(day[1].title, u"Film"_s);
    EXPECT_TRUE(day[1].description.isEmpty());
    EXPECT_EQ(day[1].stop, utc(10, 22));

    const QList<NowAndNext> now = parseNowPage("a|||||\nb||||||\nc|2026-12-10T20:00:00Z|"
                                               "2026-12-10T21:00:00Z|N|||");
    ASSERT_EQ(now.size(), 2);
    EXPECT_EQ(now[0].guideId, "b");
    EXPECT_EQ(now[1].guideId, "c");
}

TEST(GuidePages, TheTableTellsWhatIsOnAsProgrammesEnd)
{
    GuideNowTable table;
    table.setLines(parseNowPage("bbc|2026-12-10T20:00:00Z|2026-12-10T21:00:00Z|News|"
                                "2026-12-10T21:00:00Z|2026-12-10T21:30:00Z|Weather\n"
                                "arte||||2026-12-10T22:00:00Z|2026-12-10T23:00:00Z|Film\n"));
    struct Case
    {
        QByteArray id;
        QDateTime at;
        QString on;
        QString following;
    };
    const Case cases[] = {
        {"bbc", utc(10, 19, 59), {}, {}},
        {"bbc", utc(10, 20), u"News"_s, u"Weather"_s},
        {"bbc", utc(10, 20, 59), u"News"_s, u"Weather"_s},
        {"bbc", utc(10, 21), u"Weather"_s, {}},
        {"bbc", utc(10, 21, 30), {}, {}},
        {"arte", utc(10, 21), {}, {}},
        {"arte", utc(10, 22), u"Film"_s, {}},
        {"none", utc(10, 20), {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id.toStdString() + ' ' + c.at.toString(Qt::ISODate).toStdString());
        const GuideNowTable::OnAt on = table.at(c.id, c.at);
        EXPECT_EQ(on.on.title, c.on);
        EXPECT_EQ(on.following.title, c.following);
    }
    EXPECT_EQ(table.nextChange(utc(10, 20, 30)), utc(10, 21));
    EXPECT_EQ(table.nextChange(utc(10, 21)), utc(10, 21, 30));
    EXPECT_EQ(table.nextChange(utc(10, 22, 30)), utc(10, 23));
    EXPECT_FALSE(table.nextChange(utc(10, 23)).isValid());
}

TEST(GuidePages, DayAddressCarriesTheIdEncodedAndTheLocalOffset)
{
    const QByteArray path = dayPagePath("bbc one&two", QDate(2026, 12, 10), -330);
    ASSERT_TRUE(path.startsWith("/guide/day.txt?"));
    const auto query = parseQuery(QString::fromLatin1(path.mid(15)));
    ASSERT_TRUE(query.ok());
    EXPECT_EQ(query.value().value("id"), "bbc one&two");
    EXPECT_EQ(query.value().value("date"), "2026-12-10");
    EXPECT_EQ(query.value().value("offset"), "-330");

    GuideProgramme p;
    p.start = utc(10, 20);
    p.stop = utc(10, 21);
    p.title = u"World News"_s;
    EXPECT_EQ(programmeLine(p, QTimeZone(5 * 3600 + 1800)), u"01:30\u201302:30 World News"_s);
}

} // namespace
