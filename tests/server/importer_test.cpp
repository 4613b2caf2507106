#include "catalogue/scramble.h"
#include "server/importer.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

QByteArray line(const QByteArray &id, const QByteArray &name, const QByteArray &url,
                const QByteArray &tail = "English|||12|4.25|")
{
    return id + '|' + name + "|TV|" + encryptString(url).value() + '|' + tail;
}

TEST(ImportCatalogueFile, KeepsIdsAndFiguresAndCountsDamagedLines)
{
    const QByteArray data = line("7", "News", "http://news/") + "\r\n" + "heading without bar\r\n" +
                            "\r\n" + "8|Short|TV\r\n" +
                            line(" 9", "Lf", "http://lf/", "German|a|b|x|9|") + "\n" +
                            line("x", "NoId", "http://noid/");
    const ParsedSource parsed = parseCatalogueFile(data);
    EXPECT_EQ(parsed.bad, 1);
    ASSERT_EQ(parsed.entries.size(), 3);
    const NewChannel &news = parsed.entries[0].channel;
    EXPECT_EQ(news.wantedId, 7);
    EXPECT_EQ(news.name, "News");
    EXPECT_EQ(news.url, "http://news/");
    EXPECT_EQ(news.favorites, 12);
    EXPECT_DOUBLE_EQ(news.ratingSum, 4.25);
    EXPECT_EQ(news.ratingCount, 1);
    const NewChannel &lf = parsed.entries[1].channel;
    EXPECT_EQ(lf.wantedId, 9);
    EXPECT_EQ(lf.lang, "German");
    EXPECT_EQ(lf.spare1, "a");
    EXPECT_EQ(lf.favorites, 0);   // "x" is no figure
    EXPECT_EQ(lf.ratingCount, 0); // 9 is outside 1..5
    EXPECT_EQ(parsed.entries[2].channel.wantedId, 0);
}

TEST(ImportPlaylist, ReadsTitlesLanguagesGroupsAndKinds)
{
    const QByteArray data =
        "\xef\xbb\xbf#EXTM3U\r\n"
        "#EXTINF:-1 tvg-language=\"English;Spanish\" group-title=\"News\",World, Live\r\n"
        "http://world/live.m3u8\r\n"
        "#EXTINF:-1 radio=\"true\" group-title=\"Music\" tvg-name=\"a,b\",Jazz FM\n"
        "#EXTVLCOPT:network-caching=1000\n"
        "http://jazz/stream\n"
        "#EXTINF:0 group-title=\"Radio Stations\",Talk\n"
        "rtsp://talk/\n"
        "#EXTINF:-1,Plain\n"
        "mms://plain/\n"
        "#EXTINF:-1,No address\n"
        "#EXTINF:-1,Next\n"
        "http://next/\n"
        "http://orphan/\n"
        "#EXTINF:-1,Trailing\n";
    const ParsedSource parsed = parsePlaylist(data);
    EXPECT_EQ(parsed.bad, 3);
    ASSERT_EQ(parsed.entries.size(), 5);
    const struct
    {
        const char *name, *kind, *lang, *url;
    } expected[] = {
        {"World, Live", "TV", "English/Spanish/News", "http://world/live.m3u8"},
        {"Jazz FM", "Radio", "Music", "http://jazz/stream"},
        {"Talk", "Radio", "Radio Stations", "rtsp://talk/"},
        {"Plain", "TV", "Other", "mms://plain/"},
        {"Next", "TV", "Other", "http://next/"},
    };
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(parsed.entries[i].channel.name, expected[i].name);
        EXPECT_EQ(parsed.entries[i].channel.kind, expected[i].kind) << i;
        EXPECT_EQ(parsed.entries[i].channel.lang, expected[i].lang) << i;
        EXPECT_EQ(parsed.entries[i].channel.url, expected[i].url) << i;
    }
}

TEST(ImportPlaylist, IsRecognisedByNameOrHeading)
{
    EXPECT_TRUE(looksLikePlaylist(u"list.M3U8"_s, "anything"));
    EXPECT_TRUE(looksLikePlaylist(u"list.txt"_s, "#EXTM3U\n"));
    EXPECT_TRUE(looksLikePlaylist(u"list"_s, "\xef\xbb\xbf#EXTM3U\n"));
    EXPECT_FALSE(looksLikePlaylist(u"Data.txt"_s, "1|a|TV|x|English||||\r\n"));
}

} // namespace
} // namespace mavrel::server
