#include "online/datetext.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace mavrel {
namespace {

QDateTime utc(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::UTC);
}

TEST(DateText, FormatsUsGeneralFormAndMidnightAsDateAlone)
{
    const struct
    {
        QDateTime when;
        QString text;
    } cases[] = {
        {utc(2006, 3, 16), u"3/16/2006"_s},
        {utc(2009, 5, 21, 10, 0, 0), u"5/21/2009 10:00:00 AM"_s},
        {utc(2009, 5, 21, 0, 0, 1), u"5/21/2009 12:00:01 AM"_s},
        {utc(2009, 5, 21, 12, 0, 0), u"5/21/2009 12:00:00 PM"_s},
        {utc(2009, 12, 1, 23, 5, 9), u"12/1/2009 11:05:09 PM"_s},
        {utc(2010, 1, 2, 13, 0, 0), u"1/2/2010 1:00:00 PM"_s},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(formatDateText(c.when), c.text);
        const auto back = parseDateText(QStringView(c.text));
        ASSERT_TRUE(back.ok()) << c.text.toStdString();
        EXPECT_EQ(back.value(), c.when) << c.text.toStdString();
    }
}

TEST(DateText, ReadsBothFormsLeniently)
{
    const struct
    {
        const char *text;
        QDateTime when;
    } cases[] = {
        {"3/16/2006 12:00:00 AM", utc(2006, 3, 16)},
        {"3/16/2006", utc(2006, 3, 16)},
        {"  03/16/2006  ", utc(2006, 3, 16)},
        {"5/21/2009 10:00:00 pm", utc(2009, 5, 21, 22)},
        {"5/21/2009 12:30:00 AM", utc(2009, 5, 21, 0, 30)},
        {"5/21/2009 10:00 AM", utc(2009, 5, 21, 10)},
        {"2/29/2008 1:02:03 PM", utc(2008, 2, 29, 13, 2, 3)},
    };
    for (const auto &c : cases) {
        const auto got = parseDateText(QByteArrayView(c.text));
        ASSERT_TRUE(got.ok()) << c.text;
        EXPECT_EQ(got.value(), c.when) << c.text;
        EXPECT_EQ(got.value().timeSpec(), Qt::UTC);
    }
}

TEST(DateText, RefusesWhatIsNotADate)
{
    const char *cases[] = {
        "",
        "yesterday",
        "16.3.2006",
        "2006-03-16",
        "3/16/06",
        "2/30/2006",
        "13/1/2006",
        "3/16/2006 13:00:00 PM",
        "3/16/2006 0:00:00 AM",
        "3/16/2006 10:00:00",
        "3/16/2006 10:60:00 AM",
        "3/16/2006 10:00:00 AM<br>",
        "3/16/2006 10:00:00 AMX",
        "123/16/2006",
    };
    for (const char *c : cases)
        EXPECT_FALSE(parseDateText(QByteArrayView(c)).ok()) << c;
}

TEST(DateText, InitialUpdateDateIsWrittenWithoutTime)
{
    EXPECT_EQ(formatDateText(initialUpdateDate()), u"3/16/2006"_s);
}

} // namespace
} // namespace mavrel
