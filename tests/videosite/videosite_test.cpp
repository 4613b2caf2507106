#include "videosite/listing.h"
#include "videosite/playerpage.h"
#include "videosite/scraper.h"

#include <gtest/gtest.h>

#include <QFile>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

QByteArray savedPage(const char *name)
{
    QFile f(QStringLiteral(MAVREL_TEST_DATA_DIR "/videosite/") + QString::fromLatin1(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

using Videos = QList<ScrapedVideo>;

} // namespace

namespace mavrel {
void PrintTo(const ScrapedVideo &v, std::ostream *os)
{
    *os << '{' << v.id.toStdString() << ", " << v.title.toStdString() << '}';
}
} // namespace mavrel

namespace {

TEST(VideoScraper, SavedPages)
{
    const struct
    {
        const char *page;
        bool search;
        Videos videos;
    } cases[] = {
        {"browse_page1.html",
         false,
         {{"abc123", "Cats & Dogs"},
          {"abc&feature=xyz", "Extra \"parameters\" <kept>"},
          {"abc123", "Cats and Dogs again"},
          {"Up9", "Upper case tag"},
          {"", "No id"},
          {"tom1", "Tom &quot;Jerry&quot; &amp; co"}}},
        // The title attribute counts in search listings only.
        {"browse_page1.html",
         true,
         {{"abc123", "Cats & Dogs"},
          {"abc&feature=xyz", "Extra \"parameters\" <kept>"},
          {"abc123", "Cats and Dogs again"},
          {"Up9", "Upper case tag"},
          {"", "No id"},
          {"titled1", "Only in the attribute"},
          {"tom1", "Tom &quot;Jerry&quot; &amp; co"}}},
        {"browse_page2.html",
         false,
         {{"abc123", "Cats & Dogs, page two"}, {"new2", "Second page 'only'"}}},
        {"search_page1.html",
         true,
         {{"xyz", "A \"quoted\" title"}, {"abc123", "Cats & Dogs"}, {"plain1", "Plain link text"}}},
        {"search_page1.html", false, {{"plain1", "Plain link text"}}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.page) + (c.search ? " (search)" : ""));
        const QByteArray page = savedPage(c.page);
        ASSERT_FALSE(page.isEmpty());
        const Videos found = parseVideoPage(page, c.search);
        ASSERT_EQ(found.size(), c.videos.size());
        for (qsizetype i = 0; i < found.size(); ++i) {
            EXPECT_EQ(found[i].id, c.videos[i].id) << i;
            EXPECT_EQ(found[i].title, c.videos[i].title) << i;
        }
    }
}

TEST(VideoScraper, TheFivePagesOfAListingGiveEachIdOnce)
{
    VideoListing listing;
    for (const char *page : {"browse_page1.html", "browse_page2.html", "browse_page1.html"}) {
        for (const ScrapedVideo &v : parseVideoPage(savedPage(page), false))
            listing.add(v);
    }
    EXPECT_EQ(listing.videos(), (Videos{{"abc123", "Cats & Dogs"},
                                        {"abc&feature=xyz", "Extra \"parameters\" <kept>"},
                                        {"Up9", "Upper case tag"},
                                        {"tom1", "Tom &quot;Jerry&quot; &amp; co"},
                                        {"new2", "Second page 'only'"}}));
}

TEST(VideoScraper, LineRules)
{
    const struct
    {
        QByteArray page;
        Videos videos;
    } cases[] = {
        // A lone LF stays inside the line, so it is part of the link text.
        {"<a href=\"/watch?v=a\">one\ntwo</a>", {{"a", "one\ntwo"}}},
        // A lone CR ends the line; the tag alone is a title-form line (browse: skipped).
        {"<a href=\"/watch?v=a\">\rtext</a>", {}},
        // A closing tag does not start a line.
        {"<a href=\"/watch?v=a\">x</b></a>", {{"a", "x"}}},
        // No ">" at all, or nothing after it.
        {"<a href=\"/watch?v=a\"", {}},
        {"<a href=\"/watch?v=a\">", {}},
        // The marker needs its quotation mark.
        {"<a href='/watch?v=a'>x</a>", {}},
        // The link sits in the text, not the tag: no quoted piece of the tag names it, so the
        // whole tag is the id.
        {"<a title=\"t\">y href=\"/watch?v=1\"</a>", {{"<a title=\"t\"", "y href=\"/watch?v=1\""}}},
        {"", {}},
        {"<<<>>>", {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.page.toStdString());
        EXPECT_EQ(parseVideoPage(c.page, false), c.videos);
    }
}

TEST(VideoScraper, TitleReferences)
{
    const struct
    {
        QByteArray text, title;
    } cases[] = {
        {"Tom &gt; &AMP; &Quot;q&quot; &apos;a&#39; a&nbsp;!", "Tom > & \"q\" 'a' a\xc2\xa0!"},
        {"Caf&#233; &#xE9;&#Xe9 &#127916;", "Caf\xc3\xa9 \xc3\xa9\xc3\xa9 \xf0\x9f\x8e\xac"},
        // Nothing a field or a line could end on, nor what is no character.
        {"a&#10;b&#0;c&#xD800;d&#x110000;e&#99999999999;f",
         QByteArray("a~b~c~d~e~f").replace('~', "\xef\xbf\xbd")},
        // What is no reference stays.
        {"R&D &copy; &#; &#x; &#xG; & ;&", "R&D &copy; &#; &#x; &#xG; & ;&"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(parseVideoPage("<a href=\"/watch?v=i\">" + c.text + "</a>", false),
                  (Videos{{"i", c.title}}));
        EXPECT_EQ(parseVideoPage("<a href=\"/watch?v=i\" title=\"" + c.text + "\">", true),
                  (Videos{{"i", c.title}}));
    }
}

TEST(VideoListingAddress, Table)
{
    const QByteArray site = "http://127.0.0.1:8077";
    const struct
    {
        QString category;
        QByteArray country;
        QByteArray search;
        std::optional<QByteArray> address;
    } cases[] = {
        {u"Featured"_s, "en_us", "", site + "/browse?s=rf&t=&l=&e=en_us&p="},
        {u"Most Viewed"_s, "de_DE", "", site + "/browse?s=mp&t=&l=&e=de_DE&p="},
        {u"Music"_s, "en_GB", "x", site + "/browse?s=mf&t=t&c=10&l=&e=en_GB&p="},
        {u"Comedy"_s, "en_US", "", site + "/browse?s=mf&t=t&c=23&l=&e=en_US&p="},
        {u"Travel and Events"_s, "ja_JP", "", site + "/browse?s=mf&t=t&c=19&l=&e=ja_JP&p="},
        // The search text is one value whatever it holds; the country does not count.
        {u"Search YouTube Videos"_s, "fr_FR", "C# tutorial",
         site + "/results?search_query=C%23%20tutorial&search_type=&page="},
        {u"Search YouTube Videos"_s, "en_US", "rock & roll+pop",
         site + "/results?search_query=rock%20%26%20roll%2Bpop&search_type=&page="},
        {u"featured"_s, "en_US", "", std::nullopt},
        {u""_s, "en_US", "", std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.category.toStdString());
        EXPECT_EQ(listingAddress(site, c.category, c.country, c.search), c.address);
    }
    EXPECT_EQ(videoCategories().size(), 18);
    EXPECT_EQ(videoCategories().first(), u"Featured"_s);
    EXPECT_EQ(videoCountries().size(), 18);
    EXPECT_EQ(countryCodeOf(u"Hong Kong"_s), QByteArray("zh_HK"));
    EXPECT_EQ(countryCodeOf(u"Atlantis"_s), std::nullopt);
}

TEST(PlayerPage, IsTheEmbedPageWithEscapedValues)
{
    EXPECT_EQ(videoPage("http://h:1", "Test", "abc123"),
              "<html><body bgcolor=black><center><font color=white><h1>Test</h1><br></font>"
              "<object width='425' height='355'><param name='movie' "
              "value='http://h:1/v/abc123&rel=1'></param><param name='wmode' "
              "value='transparent'></param><embed src='http://h:1/v/abc123&rel=1' "
              "type='application/x-shockwave-flash' wmode='transparent' width='425' "
              "height='355'></embed></object></center></body></html>\r\n");

    const QByteArray hostile =
        videoPage("http://h:1", "<script>alert(1)</script> & \"q\" 'a'", "x'><script>y");
    EXPECT_FALSE(hostile.contains("<script>"));
    EXPECT_TRUE(hostile.contains("<h1>&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;q&quot; "
                                 "&#39;a&#39;</h1>"));
    EXPECT_TRUE(hostile.contains("value='http://h:1/v/x&#39;&gt;&lt;script&gt;y&rel=1'"));
    // Other characters as references: the page is ASCII whatever the title's bytes.
    EXPECT_TRUE(
        videoPage("h", "Caf\xc3\xa9 \xf0\x9f\x8e\xac", "i").contains("Caf&#233; &#127916;"));
    EXPECT_TRUE(videoPage("h", "caf\xe9", "i").contains("<h1>caf&#233;</h1>"));
}

} // namespace
