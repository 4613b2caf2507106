#include "online/errorpage.h"
#include "online/fetchlimits.h"
#include "online/querytext.h"
#include "online/reportquery.h"
#include "online/serveraddress.h"
#include "online/statussink.h"
#include "online/urlbytes.h"

#include "buildconfig.h"

#include <QByteArray>
#include <QList>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>

using namespace mavrel;
using namespace Qt::StringLiterals;

namespace {

TEST(ErrorPage, MarkersAnywhereIgnoringCase)
{
    struct Case
    {
        QByteArray page;
        bool valid;
    };
    const Case cases[] = {
        {"", true},
        {"   \r\n", true},
        {"<html><body>Live radio</body></html>", true},
        {"FILE NOT FOUND", false},
        {"an eRRoR occurred", false},
        {"<script>onerror=x</script>", false},
        {"Terrorist", false},
        {"channel 4041", false},
        {"40 4", true},
        {"Not  Found", true},
        {"service not available", false},
        {"This page has MOVED", false},
        {"no web site is configured at this address", false},
        {QByteArray("binary\0\xff 404", 12), false},
        {"N\xf6t Found", true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(isValidPage(c.page), c.valid) << c.page.constData();
}

TEST(ErrorPage, OnlyTextRepliesCanBeErrorPages)
{
    QByteArray mp3("\xff\xfb\x90\x64", 4);
    for (int i = 0; i < 600; ++i)
        mp3.append(static_cast<char>(0x80 + i % 0x7f)); // no control byte in the first 512...
    mp3.append("\x01 404", 5);                          // ...and one later
    struct Case
    {
        QByteArray type, body;
        bool text;
    };
    const Case cases[] = {
        {"text/html", "<h1>404 Not Found</h1>", true},
        {" Text/HTML; charset=UTF-8", "x", true},
        {"application/rss+xml", "x", true},
        {"application/json;charset=utf-8", "x", true},
        {"audio/mpeg", "Not Found", false},
        {"video/mp2t", "404", false},
        {"application/octet-stream", "404", false},
        {"audio/x-mpegurl", "#EXTM3U\nhttp://host/404", false}, // the type says audio
        {"", "Not Found\r\n\tplain\x1b[0m", true},
        {"", QByteArray("ID3\x04\0\0 404", 10), false},
        {"", mp3, true}, // bytes beyond the first 512 do not count
        {"text/html", QByteArray("OggS\0\x02 404", 10), false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type.constData());
        EXPECT_EQ(isTextReply(c.type, c.body), c.text) << c.body.left(20).toHex().constData();
        EXPECT_EQ(isErrorReply(c.type, c.body), c.text && !isValidPage(c.body));
    }
}

// Splits "k=v&k=v" and decodes each part to bytes, as the catalogue server does.
QList<std::pair<QByteArray, QByteArray>> decodeQuery(const QByteArray &address)
{
    const qsizetype q = address.indexOf('?');
    if (q < 0)
        return {};
    return parseQueryItems(QString::fromLatin1(address.mid(q + 1))).valueOr({});
}

TEST(UrlBytes, EveryReservedOrHighByteIsEncodedAndDecodesBack)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(static_cast<char>(b));
    const QByteArray encoded = percentEncodeBytes(all);
    EXPECT_EQ(QByteArray::fromPercentEncoding(encoded), all);
    for (char c : encoded) {
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' ||
                           c == '%';
        EXPECT_TRUE(plain) << "unencoded byte " << int(static_cast<unsigned char>(c));
    }
    const std::pair<QByteArray, QByteArray> samples[] = {
        {" ", "%20"}, {"&", "%26"},    {"=", "%3D"},    {"#", "%23"},  {"%", "%25"},
        {"+", "%2B"}, {"\x01", "%01"}, {"\xE9", "%E9"}, {"\"", "%22"}, {"a-Z.9_~", "a-Z.9_~"},
    };
    for (const auto &[in, out] : samples)
        EXPECT_EQ(percentEncodeBytes(in), out) << in.constData();
}

// What the viewer writes the server reads back exactly, whoever the reader takes it from.
TEST(QueryText, BuiltQueriesReadBackWhateverTheyHold)
{
    const QueryItems cases[] = {
        {{"name", "rock & roll+pop"},
         {"lang", "Fran\xe7"
                  "ais"}},
        {{"q", " + "}, {"empty", ""}, {"eq", "a=b=c"}},
        {{"k y", "%2B%20"}, {"url", "http://h/a?b=c#d"}},
    };
    for (const QueryItems &items : cases) {
        const QByteArray raw = buildQuery(items);
        SCOPED_TRACE(raw.constData());
        EXPECT_FALSE(raw.contains('+') || raw.contains(' '));
        for (const QuerySender sender : {QuerySender::Viewer, QuerySender::Browser}) {
            const auto parsed = parseQueryItems(QString::fromLatin1(raw), sender);
            ASSERT_TRUE(parsed.ok()) << parsed.error().message.toStdString();
            EXPECT_EQ(parsed.value(), items);
        }
    }
}

// A browser writes a blank as "+" and sends what it does not encode as it is; the viewer never
// does, so there "+" is a plus sign and such bytes are refused. The first of two keys counts.
TEST(QueryText, BrowsersReadPlusAsBlankAndFirstKeyWins)
{
    const struct
    {
        QString raw;
        QuerySender sender;
        bool ok;
        QByteArray a;
    } cases[] = {
        {u"a=one+song"_s, QuerySender::Viewer, true, "one+song"},
        {u"a=one+song"_s, QuerySender::Browser, true, "one song"},
        {u"a=x%2By"_s, QuerySender::Browser, true, "x+y"},
        {u"a=song two"_s, QuerySender::Viewer, false, {}},
        {u"a=song two&a=x"_s, QuerySender::Browser, true, "song two"},
        {u"a=100%&a=x"_s, QuerySender::Browser, true, "100%"},
        {u"a=caf\u00e9"_s, QuerySender::Browser, true, "caf\xe9"},
        {u"a=1&a=2"_s, QuerySender::Viewer, true, "1"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.raw.toStdString());
        const auto q = parseQuery(c.raw, c.sender);
        ASSERT_EQ(q.ok(), c.ok);
        if (c.ok) {
            EXPECT_EQ(q.value().value("a"), c.a);
        }
    }
}

TEST(UrlBytes, AddressKeepsItsEscapesAndEncodesUnsafeBytes)
{
    EXPECT_EQ(encodeAddressBytes("http://h/a b?x=%41&y=\xE9\x01"),
              QByteArray("http://h/a%20b?x=%41&y=%E9%01"));
}

TEST(UrlBytes, HttpPrefixUnlessHttpAnywhere)
{
    const std::pair<QByteArray, QByteArray> cases[] = {
        {"www.example.com/tv/live.htm", "http://www.example.com/tv/live.htm"},
        {"HTTP://Example.com/a", "HTTP://Example.com/a"},
        {"https://example.com/a", "http://https://example.com/a"},
        {"example.com/go?to=hTTp://x", "example.com/go?to=hTTp://x"},
        {"", "http://"},
    };
    for (const auto &[in, out] : cases)
        EXPECT_EQ(withHttpPrefix(in), out) << in.constData();
}

TEST(Reports, ItemEscapesAreOrderIndependent)
{
    EXPECT_EQ(escapeReportItem("News: 24/7"), QByteArray("News[colon] 24[slash]7"));
    EXPECT_EQ(escapeReportItem("What?"), QByteArray("What[quest]"));

    const QByteArray name = "a:b?c/d::?\?//[colon]";
    const std::array<std::pair<QByteArray, QByteArray>, 3> steps = {{
        {":", "[colon]"},
        {"?", "[quest]"},
        {"/", "[slash]"},
    }};
    std::array<int, 3> order = {0, 1, 2};
    do {
        QByteArray s = name;
        for (int i : order)
            s.replace(steps[i].first, steps[i].second);
        EXPECT_EQ(escapeReportItem(name), s);
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST(Reports, QueryCarriesEachValueAsItsBytes)
{
    struct Case
    {
        QByteArray item, type, value, expectedItem;
    };
    const Case cases[] = {
        {"Foo", "Rate", "3", "Foo"},
        {"News: 24/7", "ONLINE", "", "News[colon] 24[slash]7"},
        {"What?", "OFFLINE", "\"", "What[quest]"},
        {"A&strType=X#y", "FAVORITE", "", "A&strType=X#y"},
        {"100% + caf\xE9 =", "OFFLINE", "", "100% + caf\xE9 ="},
    };
    for (const Case &c : cases) {
        for (bool staff : {false, true}) {
            const QByteArray address =
                buildReportAddress("http://srv:8077", c.item, c.type, c.value, staff);
            EXPECT_TRUE(address.startsWith("http://srv:8077/tv/getData.asp?strType="));
            EXPECT_EQ(address.endsWith("&admin=true"), staff);
            EXPECT_EQ(address.count('#'), 0);
            const auto items = decodeQuery(address);
            ASSERT_EQ(items.size(), staff ? 4 : 3) << address.constData();
            EXPECT_EQ(items[0], std::make_pair(QByteArray("strType"), c.type));
            EXPECT_EQ(items[1], std::make_pair(QByteArray("strValue"), c.value));
            EXPECT_EQ(items[2], std::make_pair(QByteArray("strItem"), c.expectedItem));
        }
    }
    EXPECT_EQ(buildReportAddress("http://srv", "Foo", "Rate", "3", false),
              QByteArray("http://srv/tv/getData.asp?strType=Rate&strValue=3&strItem=Foo"));
}

TEST(ServerAddress, EnvironmentOverridesBuildDefault)
{
    const QByteArray saved = qgetenv("MAVREL_CATALOGUE_URL");
    qunsetenv("MAVREL_CATALOGUE_URL");
    EXPECT_EQ(catalogueServerAddress(), QByteArray(MAVREL_DEFAULT_CATALOGUE_URL));
    qputenv("MAVREL_CATALOGUE_URL", "");
    EXPECT_EQ(catalogueServerAddress(), QByteArray(MAVREL_DEFAULT_CATALOGUE_URL));
    qputenv("MAVREL_CATALOGUE_URL", "http://10.1.2.3:9000/");
    EXPECT_EQ(catalogueServerAddress(), QByteArray("http://10.1.2.3:9000"));
    if (saved.isNull())
        qunsetenv("MAVREL_CATALOGUE_URL");
    else
        qputenv("MAVREL_CATALOGUE_URL", saved);

    const QByteArray savedSite = qgetenv("MAVREL_VIDEOSITE_URL");
    qputenv("MAVREL_VIDEOSITE_URL", "http://127.0.0.1:1234");
    EXPECT_EQ(videoSiteAddress(), QByteArray("http://127.0.0.1:1234"));
    qunsetenv("MAVREL_VIDEOSITE_URL");
    EXPECT_EQ(videoSiteAddress(), QByteArray(MAVREL_DEFAULT_VIDEOSITE_URL));
    if (!savedSite.isNull())
        qputenv("MAVREL_VIDEOSITE_URL", savedSite);
}

TEST(FetchLimits, EveryUseEndsByItself)
{
    for (FetchUse use : {FetchUse::ChannelCheck, FetchUse::ListingPage, FetchUse::FinderPage,
                         FetchUse::ServerPage, FetchUse::UpdateReply, FetchUse::Report}) {
        const FetchLimits l = fetchLimits(use);
        EXPECT_GT(l.maxBytes, 0);
        EXPECT_GT(l.totalMs, 0);
        EXPECT_GT(l.idleMs, 0);
        EXPECT_GT(l.connectMs, 0);
        EXPECT_LE(l.idleMs, l.totalMs);
    }
    EXPECT_LT(fetchLimits(FetchUse::ChannelCheck).maxBytes,
              fetchLimits(FetchUse::ListingPage).maxBytes);
    // A full update of a million channels (about 100 MB) arrives whole, with room to grow.
    EXPECT_GE(fetchLimits(FetchUse::UpdateReply).maxBytes, qint64(300) * 1000 * 1000);
}

TEST(StatusSink, EveryOrThrottledTexts)
{
    EXPECT_EQ(downloadedText(1234567), u"Downloaded 1234567 bytes."_s);

    QStringList every;
    const ProgressSink direct = statusText([&](const QString &t) { every.append(t); });
    direct(512);
    direct(512);
    EXPECT_EQ(every, QStringList({downloadedText(512), downloadedText(512)}));

    // Long bodies: the first length, then at most one per interval, and always the last.
    QStringList shown;
    const ProgressSink throttled =
        statusTextThrottled([&](const QString &t) { shown.append(t); }, 60'000);
    for (qint64 length = 512; length <= 100'000; length += 256)
        throttled(length);
    throttled(100'096);
    throttled(100'096);
    EXPECT_EQ(shown, QStringList({downloadedText(512), downloadedText(100'096)}));

    shown.clear();
    const ProgressSink eager = statusTextThrottled([&](const QString &t) { shown.append(t); }, 0);
    eager(512);
    eager(768);
    eager(768);
    EXPECT_EQ(shown, QStringList({downloadedText(512), downloadedText(768), downloadedText(768)}));
}

} // namespace
