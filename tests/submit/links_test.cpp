#include "submit/links.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace mavrel;

namespace {

QByteArray readData(const char *name)
{
    QFile file(QStringLiteral(MAVREL_TEST_DATA_DIR "/submit/") + QLatin1String(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

TEST(Links, BackDirAndPageBase)
{
    struct Case
    {
        QByteArray in, expected;
    };
    const Case back[] = {
        {"http://example.com/a/b/", "http://example.com/a/"},
        {"http://example.com/a/b.htm", "http://example.com/a/"},
        {"http://example.com/", "example.com/"},
        {"https://example.com/x/", "https://example.com/"},
        {"example.com", "example.com/"},
        {"", "/"},
    };
    for (const Case &c : back)
        EXPECT_EQ(backDir(c.in), c.expected) << c.in.constData();

    const PageBase b = pageBase("http://www.example.com/tv/live.htm");
    EXPECT_EQ(b.directory, "http://www.example.com/tv/");
    EXPECT_EQ(b.domain, "example.com/");
    EXPECT_EQ(pageBase("example").directory, "");
    EXPECT_EQ(pageBase("example").domain, "example");
    EXPECT_EQ(pageBase("http://a.example/d/").directory, "http://a.example/d/");
}

TEST(Links, ResolveLink)
{
    const QByteArray page = "http://example.com/tv/live.htm";
    const QByteArray dir = "http://example.com/tv/";
    const QByteArray domain = "example.com/";
    struct Case
    {
        QByteArray link, expected;
    };
    const Case cases[] = {
        // Absolute links lose their scheme, collapsed slashes keep the scheme's.
        {"http://example.net/a.asx", "example.net/a.asx"},
        {"HTTPS://example.net//a.asx", "example.net/a.asx"},
        {"/media//live.asx", "http://example.com/tv/live.htm/media/live.asx"},
        {"../up/list.pls", "http://example.com/up/list.pls"},
        {"./a.asx", "example.com/a.asx"},
        {"a.asx", "http://example.com/tv/live.htm/a.asx"},
        {"www.other.org/a.asx", "www.other.org/a.asx"},
        {"host", "http://example.com/tv/live.htm/host"},
        {"x<", "http://example.com/tv/live.htm/x"},
        // The repairs, each on the current end of the link.
        {"example.com/page.as", "example.com/page.asp"},
        {"example.com/page.HT", "example.com/page.htm"},
        {"example.com/a.ph", "example.com/a.php"},
        {"example.com/hre", "example.com"},
        {"example.com/href", "example.com"},
        {"example.com/http:", "example.com"},
        {"example.com/http", "example.com"},
        {"a.as", "http://example.com/tv/live.htm/a.asp"},
        // Short links are never repaired.
        {"e.com/", "e.com/"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(resolveLink(c.link, page, dir, domain), c.expected) << c.link.constData();
}

TEST(Links, StreamLinksOfASavedPage)
{
    const QByteArray page = readData("finder.htm");
    ASSERT_FALSE(page.isEmpty());
    const QList<QByteArray> expected = {
        "http://example.com/media/live.asx", "http://example.net/a.asx",
        "http://example.com/hls/index.m3u8", "http://example.com/up/list.pls",
        "http://example.com/stream.wmv",
    };
    EXPECT_EQ(extractStreamLinks(page, pageBase("http://example.com/")), expected);
    EXPECT_TRUE(extractStreamLinks("", pageBase("")).isEmpty());
}

TEST(Links, StreamLinksResolveAsABrowserDoes)
{
    const struct
    {
        const char *page;
        QList<QByteArray> links;
    } cases[] = {
        {"<a href=\"list.m3u\"><a href=\"https://secure.example.org/live/index.m3u8\">"
         "<a href='//cdn.example/x.pls'><A HREF = \"?f=c.asx\">",
         {"http://h/dir/list.m3u", "https://secure.example.org/live/index.m3u8",
          "http://cdn.example/x.pls", "http://h/dir/page.html?f=c.asx"}},
        // Media elements' sources are streams whatever their names; other sources only when
        // they name a stream format, and never one of the skipped texts.
        {"<audio controls src=\"radio.mp3\"></audio><video src='clip.mp4'><source "
         "type=video/webm SRC=a.webm></video><embed src=\"player.swf\"><embed src=live.wmv>"
         "<img src=\"x.asx.jpg\"><video data-src=\"lazy.mp4\"><audio src=\"javascript:x()\">"
         "<audio src=\"\">",
         {"http://h/dir/radio.mp3", "http://h/dir/clip.mp4", "http://h/dir/a.webm",
          "http://h/dir/live.wmv"}},
        // Streaming addresses anywhere: attributes, text, scripts.
        {"<param name=\"url\" value=\"mms://media.example/live\">Listen: "
         "RTSP://cam.example:554/s1 now<script>play('rtmp://live.radio.example/app/x');</script>"
         "<a href=\"mms://media.example/live\">again</a> xmms://no rtmp://",
         {"mms://media.example/live", "RTSP://cam.example:554/s1",
          "rtmp://live.radio.example/app/x"}},
        // Once per page; the attribute's references and blanks read as a browser reads them.
        {"<a href=\" a.asx?x=1&amp;y=2 \"><a href=\"a.asx?x=1&y=2\">"
         "<a href=\"http://o.example/a b<.asx\"><a href=\"ftp://o.example/f.asx\">",
         {"http://h/dir/a.asx?x=1&y=2", "http://o.example/a%20b%3C.asx"}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.page);
        EXPECT_EQ(extractStreamLinks(c.page, pageBase("http://h/dir/page.html")), c.links);
    }
}

TEST(Links, SkippedStreamAndPageTexts)
{
    struct Case
    {
        QByteArray link;
        bool skipped, stream, pageLink, web;
    };
    const Case cases[] = {
        {"example.com/live.asx", false, true, false, true},
        {"example.com/a.jsp.asx", true, true, false, true},
        {"live.radio.example.com/a.asx", true, true, false, true},
        {"example.com/x.ASX#y", true, true, false, true},
        {"example.com/list.M3U", false, true, false, true},
        {"example.com/page.aspx", false, false, true, true},
        {"example.com:8080/page.cfm", false, false, true, true},
        {"ftp://example.com/page.htm", false, false, true, false},
        {"mailto:a@b.htm", true, false, true, false},
        {"javascript:go('a.htm')", true, false, true, false},
        {"RTSP://cam.example/s", false, true, false, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(isSkippedLink(c.link), c.skipped) << c.link.constData();
        EXPECT_EQ(isStreamLink(c.link), c.stream) << c.link.constData();
        EXPECT_EQ(isPageLink(c.link), c.pageLink) << c.link.constData();
        EXPECT_EQ(isWebLink(c.link), c.web) << c.link.constData();
    }
}

TEST(Links, PageLinksTakeTheFirstLinkOfATagWithItsWholeQuery)
{
    const QByteArray page = "<p><a class=x href=\"page2.htm\">two</a> <a href=\"p3.htm\">three</a>"
                            "\r\n<a href=page.asp?id=1&x=2>q</a><a href='pic.gif'>g</a>"
                            "<a href=\"a.htm\" href=\"b.htm\">";
    const QList<QByteArray> expected = {
        "http://example.com/d/page2.htm", "http://example.com/d/p3.htm",
        "http://example.com/d/page.asp?id=1&x=2", "http://example.com/d/a.htm"};
    EXPECT_EQ(extractPageLinks(page, pageBase("http://example.com/d/")), expected);
    EXPECT_EQ(
        extractPageLinks("<a href=/top.htm><a href=../up.htm><a href=https://s.example/p.htm>",
                         pageBase("http://example.com/d/")),
        (QList<QByteArray>{"http://example.com/top.htm", "http://example.com/up.htm",
                           "https://s.example/p.htm"}));
}
