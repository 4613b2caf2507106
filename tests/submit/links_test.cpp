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
        "http://example.com/media/live.asx",
        "http://example.net/a.asx",
        "http://example.com/hls/index.m3u8",
        "http://example.com/up/list.pls",
    };
    // The last link's quote ends its line: it loses the character before it as well.
    EXPECT_EQ(extractStreamLinks(page, pageBase("http://example.com/")), expected);

    // A quote at the very end costs one more character: ".asx" becomes ".as", repaired to ".asp".
    const QByteArray cut = "<a href=\"example.com/live.asx\"\r\n<a href=\"example.com/a.wmvx\"";
    EXPECT_EQ(extractStreamLinks(cut, pageBase("http://example.com/")),
              QList<QByteArray>{"http://example.com/a.wmv"});
    EXPECT_TRUE(extractStreamLinks("", pageBase("")).isEmpty());
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
    };
    for (const Case &c : cases) {
        EXPECT_EQ(isSkippedLink(c.link), c.skipped) << c.link.constData();
        EXPECT_EQ(isStreamLink(c.link), c.stream) << c.link.constData();
        EXPECT_EQ(isPageLink(c.link), c.pageLink) << c.link.constData();
        EXPECT_EQ(isWebLink(c.link), c.web) << c.link.constData();
    }
}

TEST(Links, PageLinksTakeTheFirstLinkOfALine)
{
    const QByteArray page = "<p><a class=x href=\"page2.htm\">two</a> <a href=\"p3.htm\">three</a>"
                            "\r\n<a href=page.asp?id=1&x=2>q</a><a href='pic.gif'>g</a>"
                            "<a href=\"a.htm\" href=\"b.htm\">";
    const QList<QByteArray> expected = {
        "http://example.com/d/page2.htm", "http://example.com/d/p3.htm",
        "http://example.com/d/page.asp?id", "http://example.com/d/a.htm"};
    EXPECT_EQ(extractPageLinks(page, pageBase("http://example.com/d/")), expected);
}
