// The video site the catalogue server serves, read back with the viewer's own scraper.
#include "server/videosite/videositepages.h"
#include "videosite/scraper.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

class VideoSitePagesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        for (int i = 0; i < 25; ++i)
            file(u"Comedy/Joke %1.ogv"_s.arg(i, 2, 10, QChar(u'0')), 100 + i);
        file(u"Music/Song One.webm"_s, 50);
        file(u"Music/notes.txt"_s, 10); // not a video
        file(u"Loose Clip.MP4"_s, 40);  // no category
        file(u"Pets and Animals/<b>\"Cat\" & Dog>.ogv"_s, 30);
        pages.emplace(scanVideoFolder(dir.path()));
    }
    void file(const QString &relative, int size)
    {
        const QString path = dir.filePath(relative);
        QDir().mkpath(QFileInfo(path).path());
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QByteArray bytes;
        for (int i = 0; i < size; ++i)
            bytes += char('a' + i % 26);
        f.write(bytes);
    }
    HttpReply get(const QString &path, const QByteArray &query = {}, const QByteArray &range = {})
    {
        std::optional<HttpReply> r = pages->handle({path, query, range});
        return r ? *r : HttpReply{0, {}, {}, {}, 0, 0, {}, {}, {}, {}};
    }
    QStringList titles(const QByteArray &body, bool search)
    {
        QStringList out;
        for (const ScrapedVideo &v : parseVideoPage(body, search))
            out << QString::fromUtf8(v.title);
        return out;
    }

    QTemporaryDir dir;
    std::optional<VideoSitePages> pages;
};

TEST_F(VideoSitePagesTest, FolderNamesTheCategoryAndFileTheTitle)
{
    ASSERT_EQ(pages->videos().size(), 28);
    QSet<QByteArray> ids;
    for (const SiteVideo &v : pages->videos()) {
        EXPECT_EQ(v.id.size(), 11);
        ids.insert(v.id);
    }
    EXPECT_EQ(ids.size(), 28);
    // The same folder gives the same ids.
    EXPECT_EQ(scanVideoFolder(dir.path()).first().id, pages->videos().first().id);
    EXPECT_TRUE(scanVideoFolder(dir.filePath(u"missing"_s)).isEmpty());
    EXPECT_TRUE(scanVideoFolder({}).isEmpty());
}

TEST_F(VideoSitePagesTest, BrowseListingsInPagesOfTwenty)
{
    const struct
    {
        QByteArray query;
        int status;
        int count;
        QString first;
    } cases[] = {
        {"s=mf&t=t&c=23&l=&e=en_US&p=1", 200, 20, u"Joke 00"_s}, // Comedy
        {"s=mf&t=t&c=23&l=&e=en_US&p=2", 200, 5, u"Joke 20"_s},
        {"s=mf&t=t&c=23&l=&e=en_US&p=3", 200, 0, {}},
        {"s=mf&t=t&c=10&l=&e=de_DE&p=1", 200, 1, u"Song One"_s}, // Music
        {"s=mf&t=t&c=15&l=&e=&p=1", 200, 1, u"<b>\"Cat\" & Dog>"_s},
        {"s=mf&t=t&c=17&l=&e=&p=1", 200, 0, {}},                     // Sports: none here
        {"s=rf&t=&l=&e=en_us&p=1", 200, 20, u"<b>\"Cat\" & Dog>"_s}, // everything
        {"s=mp&t=&l=&e=en_us&p=1", 200, 20, u"Joke 24"_s},           // largest first
        {"s=rf&t=&l=&e=en_us&p=bogus", 200, 20, u"<b>\"Cat\" & Dog>"_s},
        {"s=mf&t=t&c=99&l=&e=&p=1", 404, 0, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        const HttpReply r = get(u"/browse"_s, c.query);
        EXPECT_EQ(r.status, c.status);
        const QStringList shown = titles(r.body, false);
        EXPECT_EQ(shown.size(), c.count);
        if (!shown.isEmpty()) {
            EXPECT_EQ(shown.first(), c.first);
        }
    }
}

TEST_F(VideoSitePagesTest, SearchFindsEveryWordInAnyCase)
{
    const struct
    {
        QByteArray query;
        QStringList titles;
    } cases[] = {
        {"search_query=song&search_type=&page=1", {u"Song One"_s}},
        {"search_query=SONG%20one&search_type=&page=1", {u"Song One"_s}},
        {"search_query=one+song&search_type=&page=1", {u"Song One"_s}},
        {"search_query=song two&search_type=&page=1", {}},
        {"search_query=%22cat%22%20%26&search_type=&page=1", {u"<b>\"Cat\" & Dog>"_s}},
        {"search_query=joke 2&search_type=&page=1",
         {u"Joke 02"_s, u"Joke 12"_s, u"Joke 20"_s, u"Joke 21"_s, u"Joke 22"_s, u"Joke 23"_s,
          u"Joke 24"_s}},
        {"search_query=joke&search_type=&page=2",
         {u"Joke 20"_s, u"Joke 21"_s, u"Joke 22"_s, u"Joke 23"_s, u"Joke 24"_s}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.query.toStdString());
        const HttpReply r = get(u"/results"_s, c.query);
        EXPECT_EQ(r.status, 200);
        // Only the title attribute carries the title: a browse reading finds nothing.
        EXPECT_EQ(titles(r.body, true), c.titles);
        EXPECT_TRUE(titles(r.body, false).isEmpty());
    }
}

TEST_F(VideoSitePagesTest, PlayerPageAndMediaWithRanges)
{
    const SiteVideo video = pages->videos().first(); // a Comedy joke, 100 bytes
    ASSERT_EQ(video.size, 100);
    const HttpReply player = get(u"/v/"_s + QString::fromLatin1(video.id) + u"&rel=1"_s);
    EXPECT_EQ(player.status, 200);
    EXPECT_TRUE(player.contentType.startsWith("text/html"));
    const QByteArray src = "/videos/" + video.id + ".ogv";
    EXPECT_TRUE(player.body.contains("<video src=\"" + src + "\" autoplay"));
    EXPECT_EQ(get(u"/v/nosuchvideo&rel=1"_s).status, 404);
    EXPECT_TRUE(get(u"/watch"_s, "v=" + video.id).body.contains("/v/" + video.id));
    EXPECT_EQ(get(u"/watch"_s, "v=nope").status, 404);

    const struct
    {
        QByteArray range;
        int status;
        qint64 offset;
        qint64 length;
        QByteArray contentRange;
    } cases[] = {
        {"", 200, 0, 100, ""},
        {"bytes=0-", 206, 0, 100, "bytes 0-99/100"},
        {"bytes=10-19", 206, 10, 10, "bytes 10-19/100"},
        {"bytes=90-500", 206, 90, 10, "bytes 90-99/100"},
        {"bytes=-30", 206, 70, 30, "bytes 70-99/100"},
        {"bytes=-300", 206, 0, 100, "bytes 0-99/100"},
        {"bytes=100-", 416, 0, 0, "bytes */100"},
        {"bytes=-0", 416, 0, 0, "bytes */100"},
        {"bytes=5-2", 200, 0, 100, ""},     // malformed: the whole file
        {"bytes=0-1,5-6", 200, 0, 100, ""}, // several ranges: the whole file
        {"items=0-1", 200, 0, 100, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.range.toStdString());
        const HttpReply r = get(QString::fromLatin1(src), {}, c.range);
        EXPECT_EQ(r.status, c.status);
        QByteArray contentRange;
        for (const auto &[name, value] : r.headers) {
            if (name == "Content-Range")
                contentRange = value;
        }
        EXPECT_EQ(contentRange, c.contentRange);
        if (c.status != 416) {
            EXPECT_EQ(r.contentType, "video/ogg");
            EXPECT_EQ(r.filePath, video.filePath);
            EXPECT_EQ(r.fileOffset, c.offset);
            EXPECT_EQ(r.fileLength, c.length);
        }
    }
    EXPECT_EQ(get(u"/videos/unknown.ogv"_s).status, 404);
    EXPECT_FALSE(pages->handle({u"/ostrel/date.asp"_s, {}, {}}).has_value());
}

} // namespace
} // namespace mavrel::server
