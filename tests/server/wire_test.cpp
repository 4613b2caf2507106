#include "server/http/wire.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

TEST(Query, DecodesEveryValueByteForByte)
{
    QByteArray scrambled;
    for (int b = 129; b <= 223; ++b)
        scrambled.append(char(b));
    const QString raw = u"url="_s + QString::fromLatin1(scrambled.toPercentEncoding()) +
                        u"&name=Caf%C3%A9+%26+Bar&lang=Fran%E7ais&rating=5&empty=&flag"_s;
    auto q = parseQuery(raw);
    ASSERT_TRUE(q.ok()) << q.error().message.toStdString();
    EXPECT_EQ(q.value().value("url"), scrambled);
    EXPECT_EQ(q.value().value("name"), "Caf\xc3\xa9+&+Bar"); // "+" is a plus sign
    EXPECT_EQ(q.value().value("lang"), "Fran\xe7"
                                       "ais");
    EXPECT_EQ(q.value().value("rating"), "5");
    EXPECT_TRUE(q.value().contains("empty"));
    EXPECT_TRUE(q.value().contains("flag"));
    EXPECT_EQ(parseQuery(u"a=1&a=2"_s).value().value("a"), "1");
    EXPECT_TRUE(parseQuery(u""_s).value().isEmpty());
}

TEST(Query, RefusesWhatCannotBeDecodedExactly)
{
    const QString bad[] = {
        u"a=%G1"_s,    u"a=%"_s,
        u"a=%4"_s,     u"a=b%00c"_s,
        u"a=b c"_s,    u"a=\u00e9"_s,
        u"a=\ufffd"_s, u"a=\t"_s,
        u"%zz=1"_s,    u"a="_s + QString(kMaxRawQuery, u'x'),
    };
    for (const QString &q : bad)
        EXPECT_FALSE(parseQuery(q).ok()) << q.left(20).toStdString();
}

TEST(Query, ItemNamesLoseTheViewersReplacements)
{
    EXPECT_EQ(unescapeItem("News[colon] 24[slash]7"), "News: 24/7");
    EXPECT_EQ(unescapeItem("What[quest]"), "What?");
    EXPECT_EQ(unescapeItem("[colon][quest][slash][other]"), ":?/[other]");
}

} // namespace
} // namespace mavrel::server
