#include "httpget.h"
#include "pgcluster.h"
#include "rawclient.h"

#include "catalogue/scramble.h"
#include "online/datetext.h"
#include "server/catalogue/cataloguepages.h"
#include "server/demo/demoroutes.h"
#include "server/http/cataloguehttpserver.h"
#include "server/store/cataloguestore.h"
#include "server/videosite/videositepages.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using mavrel::testing::encodeAll;
using mavrel::testing::httpGet;

namespace mavrel::server {
namespace {

QList<QList<QByteArray>> updateLines(const QByteArray &reply)
{
    QList<QList<QByteArray>> lines;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = reply.indexOf("<BR>", start);
        const QByteArray element = reply.mid(start, end < 0 ? -1 : end - start);
        if (element.contains('|'))
            lines.append(element.split('|'));
        if (end < 0)
            return lines;
        start = end + 4;
    }
}

class HttpTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto s = CatalogueStore::open(mavrel::testing::testDatabase(dir));
        ASSERT_TRUE(s.ok());
        store = std::move(s).value();
        pages = std::make_unique<CataloguePages>(*store, localization);
        server = std::make_unique<CatalogueHttpServer>(*pages);
        demo::addMediaRoutes(server->routes());
        port = server->listen(QHostAddress::LocalHost, 0).valueOr(0);
        ASSERT_NE(port, 0);
    }
    void addChannel(const QByteArray &name, const QByteArray &url, const QByteArray &kind = "TV")
    {
        NewChannel c;
        c.name = name;
        c.kind = kind;
        c.url = url;
        c.lang = "English";
        ASSERT_EQ(store->addChannel(c).value().outcome, AddOutcome::Added);
    }
    testing::HttpResult get(const QByteArray &target) { return httpGet(port, target); }
    QList<QList<QByteArray>> fullUpdate()
    {
        const auto r = get("/ostrel/getChannels.asp?date=3/16/2006%2012:00:00%20AM");
        EXPECT_EQ(r.status, 200);
        return updateLines(r.body);
    }
    QList<QByteArray> lineNamed(const QByteArray &name)
    {
        for (const auto &l : fullUpdate()) {
            if (l.size() > 2 && l[2] == name)
                return l;
        }
        return {};
    }

    QTemporaryDir dir;
    QString localization;
    std::unique_ptr<CatalogueStore> store;
    std::unique_ptr<CataloguePages> pages;
    std::unique_ptr<CatalogueHttpServer> server;
    quint16 port = 0;
};

TEST_F(HttpTest, DatesAreUsDateTexts)
{
    const auto empty = get("/ostrel/currentdate.asp");
    EXPECT_EQ(empty.status, 200);
    EXPECT_EQ(empty.body, "3/16/2006");
    addChannel("News", "http://news/");
    const auto current = get("/ostrel/currentdate.asp");
    const auto latest = parseDateText(QByteArrayView(current.body));
    ASSERT_TRUE(latest.ok()) << current.body.data();
    EXPECT_LE(qAbs(latest.value().secsTo(QDateTime::currentDateTimeUtc())), 5);
    EXPECT_TRUE(current.head.contains("Content-Type: text/plain"));

    const auto stored = get("/ostrel/date.asp");
    EXPECT_EQ(stored.status, 200);
    ASSERT_TRUE(parseDateText(QByteArrayView(stored.body)).ok()) << stored.body.data();
}

TEST_F(HttpTest, ViewerUpdateCycleMissesNoChange)
{
    addChannel("First", "http://first/");
    // currentdate, getChannels, a change while the viewer shows its message, date.asp.
    const auto current = parseDateText(QByteArrayView(get("/ostrel/currentdate.asp").body));
    ASSERT_TRUE(current.ok());
    EXPECT_GT(current.value(), initialUpdateDate());
    ASSERT_EQ(fullUpdate().size(), 1);
    addChannel("Meanwhile", "http://meanwhile/");
    const QByteArray stored = get("/ostrel/date.asp").body;
    ASSERT_TRUE(parseDateText(QByteArrayView(stored)).ok());

    const auto next = parseDateText(QByteArrayView(get("/ostrel/currentdate.asp").body));
    EXPECT_GT(next.value(), parseDateText(QByteArrayView(stored)).value());
    QByteArray since = stored;
    since.replace(' ', "%20");
    const auto lines = updateLines(get("/ostrel/getChannels.asp?date=" + since).body);
    bool found = false;
    for (const auto &l : lines)
        found = found || l.value(2) == "Meanwhile";
    EXPECT_TRUE(found);
}

TEST_F(HttpTest, FullUpdateCarriesEveryChannelInTenFields)
{
    addChannel("News", "http://news/live");
    addChannel("Caf\xe9 Radio", "http://cafe/\xe9", "Radio");
    const auto lines = fullUpdate();
    ASSERT_EQ(lines.size(), 2);
    for (const auto &l : lines) {
        EXPECT_EQ(l.size(), 10);
        EXPECT_EQ(l[0], "ADD");
    }
    EXPECT_EQ(lines[1][2], "Caf\xe9 Radio"); // bytes, not re-encoded
    EXPECT_EQ(lines[1][4], encryptString("http://cafe/\xe9").value());

    // A date from after every change gives no lines; a date that is no date is refused without
    // a "|" that the viewer could take for a line.
    const auto later = get("/ostrel/getChannels.asp?date=1/1/2100");
    EXPECT_EQ(later.status, 200);
    EXPECT_TRUE(updateLines(later.body).isEmpty());
    for (const QByteArray bad : {"/ostrel/getChannels.asp", "/ostrel/getChannels.asp?date=tomorrow",
                                 "/ostrel/getChannels.asp?date=1/1/2000%27%20OR%201=1--",
                                 "/ostrel/getChannelsOFFLINE.asp?date=%G1"}) {
        const auto r = get(bad);
        EXPECT_EQ(r.status, 400) << bad.data();
        EXPECT_FALSE(r.body.contains('|'));
    }
}

TEST_F(HttpTest, ReportsChangeFiguresOfTheNamedChannel)
{
    addChannel("News: 24/7", "http://news/");
    const QByteArray item = "News[colon]%2024[slash]7";
    EXPECT_EQ(get("/tv/getData.asp?strType=FAVORITE&strValue=&strItem=" + item).body, "OK");
    EXPECT_EQ(get("/tv/getData.asp?strType=Rate&strValue=4&strItem=" + item).status, 200);
    auto line = lineNamed("News: 24/7");
    ASSERT_EQ(line.size(), 10);
    EXPECT_EQ(line[8], "1");
    EXPECT_EQ(line[9], "4");

    // Unknown types and names are recorded and change nothing.
    const qint64 before = store->reportCount().value();
    EXPECT_EQ(get("/tv/getData.asp?strType=Bogus&strValue=9&strItem=" + item).status, 200);
    EXPECT_EQ(get("/tv/getData.asp?strType=Rate&strValue=5&strItem=Nobody").status, 200);
    EXPECT_EQ(store->reportCount().value(), before + 2);
    EXPECT_EQ(lineNamed("News: 24/7"), line);

    // A staff report marks the channel dead at once.
    EXPECT_EQ(
        get("/tv/getData.asp?strType=OFFLINE&strValue=%22&strItem=" + item + "&admin=true").status,
        200);
    const auto dead = updateLines(get("/ostrel/getChannelsOFFLINE.asp?date=3/16/2006").body);
    ASSERT_EQ(dead.size(), 1);
    EXPECT_EQ(dead[0][0], "DEL");
    EXPECT_EQ(dead[0][2], "News: 24/7");
}

TEST_F(HttpTest, SubmissionKeepsTheScrambledAddressExactly)
{
    QByteArray plain = "http://";
    for (int c = 33; c <= 126; ++c) {
        if (c != '|')
            plain.append(char(c));
    }
    const QByteArray scrambled = encryptString(plain).value(); // bytes 130 to 223
    const QByteArray query =
        "/ostrel/submit.asp?name=" + encodeAll("Rock & Roll Caf\xc3\xa9") +
        "&type=Radio&lang=English%2FMusic&rating=5&url=" + encodeAll(scrambled);
    const auto first = get(query);
    EXPECT_EQ(first.status, 200);
    EXPECT_TRUE(first.body.startsWith("SUCCESS|")) << first.body.data();
    EXPECT_TRUE(get(query).body.startsWith("DUPE|"));

    const auto line = lineNamed("Rock & Roll Caf\xc3\xa9");
    ASSERT_EQ(line.size(), 10);
    EXPECT_EQ(line[3], "Radio");
    EXPECT_EQ(line[4], scrambled);
    EXPECT_EQ(line[5], "English/Music");
    EXPECT_EQ(line[9], "5");
    EXPECT_EQ(store->channelCount().value(), 1);

    const QByteArray url = "&url=" + encodeAll(encryptString("http://other/").value());
    const QByteArray refused[] = {
        "/ostrel/submit.asp?name=A&type=TV%2FVideo&lang=English&rating=5" + url,
        "/ostrel/submit.asp?name=A&type=tv&lang=English&rating=5" + url,
        "/ostrel/submit.asp?name=&type=TV&lang=English&rating=5" + url,
        "/ostrel/submit.asp?name=A&type=TV&lang=&rating=5" + url,
        "/ostrel/submit.asp?name=A&type=TV&lang=English&rating=5&url=",
        "/ostrel/submit.asp?name=A&type=TV&lang=English&rating=5&url=" +
            encodeAll(encryptString("http://").value()),
        "/ostrel/submit.asp?name=A%7CB&type=TV&lang=English&rating=5" + url,
    };
    for (const QByteArray &q : refused) {
        const auto r = get(q);
        const QByteArray status = r.body.left(r.body.indexOf('|'));
        EXPECT_TRUE(r.body.contains('|')) << q.data();
        EXPECT_NE(status, "SUCCESS") << q.data();
        EXPECT_NE(status, "DUPE") << q.data();
    }
    EXPECT_EQ(store->channelCount().value(), 1);
}

TEST_F(HttpTest, HostileQueriesGetAnErrorAndChangeNothing)
{
    addChannel("Target", "http://target/");
    // Request lines beyond the front's memory for one request are refused before any page.
    for (const QByteArray &q :
         {"/tv/getData.asp?strType=Rate&strValue=5&strItem=" + QByteArray(1024 * 1024, 'A'),
          "/ostrel/submit.asp?name=" + QByteArray(100000, 'n') + "&type=TV&lang=E&url=%C9"})
        EXPECT_EQ(get(q).status, 414);
    const QByteArray hostile[] = {
        "/tv/getData.asp?strType=Rate&strValue=5&strItem=" + QByteArray(20 * 1024, 'A'),
        "/tv/getData.asp?strType=Rate&strValue=5&strItem=Tar%00get",
        "/tv/getData.asp?strType=Rate&strValue=5&strItem=Target%G0",
        "/tv/getData.asp?strType=Rate&strValue=5&strItem=Target%",
        "/tv/getData.asp?strType=Rate&strValue=5&strItem=" + QByteArray(300, 'B'),
        "/tv/getData.asp?strType=Rate&strValue=5",
        "/ostrel/submit.asp?name=" + QByteArray(20000, 'n') + "&type=TV&lang=E&url=%C9",
        "/ostrel/submit.asp?name=X&type=TV&lang=E&url=%C9%00",
    };
    for (const QByteArray &q : hostile) {
        const auto r = get(q);
        EXPECT_EQ(r.status, 400) << q.left(60).data();
    }
    EXPECT_EQ(store->reportCount().value(), 0);
    EXPECT_EQ(store->channelCount().value(), 1);

    // SQL in a value is only a name.
    const QByteArray sql = encodeAll("Target'; DROP TABLE channels; --");
    EXPECT_EQ(get("/tv/getData.asp?strType=Rate&strValue=5&strItem=" + sql).status, 200);
    EXPECT_EQ(get("/ostrel/submit.asp?name=" + sql + "&type=TV&lang=English&rating=1&url=" +
                  encodeAll(encryptString("http://x/').delete--").value()))
                  .body.left(8),
              "SUCCESS|");
    EXPECT_EQ(store->channelCount().value(), 2);
    EXPECT_EQ(lineNamed("Target")[9], "0");
}

TEST_F(HttpTest, UnknownPathsAnswer404)
{
    for (const QByteArray p :
         {"/", "/ostrel/", "/OSTREL/currentdate.asp", "/ostrel/currentdate.aspx", "/tv/getdata.asp",
          "/media/none.wav", "/Languages/27/Localization.txt"})
        EXPECT_EQ(get(p).status, 404) << p.data();
}

TEST_F(HttpTest, LocalizationFileIsServedAsItsBytes)
{
    EXPECT_EQ(get("/Languages/26/Localization.txt").status, 404);
    const QByteArray content =
        "\xef\xbb\xbf<?xml version=\"1.0\"?>\r\n<TRANSLATION_ITEMS>\xe9</TRANSLATION_ITEMS>";
    QFile file(dir.filePath(u"Localization.txt"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    CataloguePages withFile(*store, file.fileName());
    CatalogueHttpServer second(withFile);
    const quint16 p = second.listen(QHostAddress::LocalHost, 0).valueOr(0);
    const auto r = httpGet(p, "/Languages/26/Localization.txt");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.body, content);
}

TEST_F(HttpTest, VideoSitePagesAndFileRangesAreRouted)
{
    QByteArray bytes;
    for (int i = 0; i < 100; ++i)
        bytes += char('a' + i % 26);
    ASSERT_TRUE(QDir(dir.path()).mkpath(u"videos/Music"_s));
    QFile file(dir.filePath(u"videos/Music/Song.ogv"_s));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
    file.close();
    VideoSitePages site(scanVideoFolder(dir.filePath(u"videos"_s)));
    CatalogueHttpServer front(*pages);
    front.setVideoSite(&site);
    const quint16 p = front.listen(QHostAddress::LocalHost, 0).valueOr(0);
    const auto browse = httpGet(p, "/browse?c=Music");
    EXPECT_EQ(browse.status, 200);
    EXPECT_TRUE(browse.head.contains("Content-Type: text/html"));
    EXPECT_TRUE(browse.body.contains("Song"));

    testing::RawSocket s(p);
    s.send("GET /videos/" + site.videos().value(0).id +
           ".ogv HTTP/1.1\r\nHost: x\r\nRange: bytes=10-19\r\n\r\n");
    const testing::Response range = testing::readResponses(s, 1).value(0);
    EXPECT_EQ(range.status, 206);
    EXPECT_TRUE(range.head.contains("Content-Range: bytes 10-19/100")) << range.head.data();
    EXPECT_EQ(range.body, bytes.mid(10, 10));
    EXPECT_EQ(httpGet(p, "/videos/unknown.ogv").status, 404);
    EXPECT_EQ(httpGet(p, "/ostrel/currentdate.asp").status, 200);
}

TEST_F(HttpTest, DemoStreamsPlayAndErrorPagesLookDead)
{
    const auto chime = get("/media/chime.wav");
    EXPECT_EQ(chime.status, 200);
    EXPECT_TRUE(chime.body.startsWith("RIFF"));
    EXPECT_EQ(chime.body.mid(8, 4), "WAVE");
    EXPECT_GT(chime.body.size(), 100000);

    const auto video = get("/media/testcard.avi");
    EXPECT_EQ(video.body.mid(8, 4), "AVI ");
    EXPECT_TRUE(video.body.contains("movi"));

    // The radio never ends: read a few seconds' worth and hang up.
    const auto radio = httpGet(port, "/media/radio.wav", 10000, 120000);
    EXPECT_EQ(radio.status, 200);
    EXPECT_TRUE(radio.body.startsWith("RIFF"));
    EXPECT_GE(radio.body.size(), 120000);
    EXPECT_FALSE(radio.head.contains("Content-Length"));

    const auto gone = get("/media/offline.asx");
    EXPECT_EQ(gone.status, 404);
    EXPECT_TRUE(gone.body.contains("Not Found"));
    EXPECT_TRUE(get("/media/moved.asx").body.contains("Has Moved"));
}

} // namespace
} // namespace mavrel::server
