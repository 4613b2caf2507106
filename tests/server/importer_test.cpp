#include "catalogue/scramble.h"
#include "server/sources/importer.h"

#include <gtest/gtest.h>

#include <QFile>

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

namespace mavrel::server {
namespace {

QByteArray fixture(const char *name)
{
    QFile f(QStringLiteral(DIRECTORY_FIXTURES "/") + QLatin1StringView(name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct Expected
{
    const char *name, *kind, *lang, *url;
};

void expectEntries(const ParsedSource &parsed, const QList<Expected> &expected)
{
    ASSERT_EQ(parsed.entries.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const NewChannel &c = parsed.entries[i].channel;
        EXPECT_EQ(c.name, expected[i].name) << i;
        EXPECT_EQ(c.kind, expected[i].kind) << i;
        EXPECT_EQ(c.lang, expected[i].lang) << i;
        EXPECT_EQ(c.url, expected[i].url) << i;
    }
}

TEST(ImportPlaylist, PerCountryFilesTakeTheirCategoriesFromCountriesAndGroups)
{
    const ParsedSource ca = parsePlaylist(fixture("ca.m3u"));
    EXPECT_EQ(ca.bad, 1);     // Prairie One has no address
    EXPECT_EQ(ca.options, 2); // and Lake Side TV keeps its place despite them
    expectEntries(
        ca, {
                {"Maple News (720p)", "TV", "Canada", "http://tv.maple.invalid/news/index.m3u8"},
                {"Lake Side TV [Geo-blocked]", "TV", "Canada",
                 "http://tv.lake.invalid/live/playlist.m3u8"},
                {"Northern Hits", "TV", "Music", "http://tv.north.invalid/hits.m3u8"},
                {"Coast FM", "Radio", "Canada/Radio", "http://radio.coast.invalid/live"},
            });
    const ParsedSource es = parsePlaylist(fixture("es.m3u"));
    EXPECT_EQ(es.bad, 0);
    expectEntries(
        es, {
                {"Sol TV (1080p)", "TV", "Spanish/News/General", "http://tv.sol.invalid/sol.m3u8"},
                {"Puente Infantil", "TV", "Spain/Andorra/Kids",
                 "https://tv.puente.invalid/kids/master.m3u8"},
                {"Onda Musical", "Radio", "Catalan/Spanish", "http://radio.onda.invalid/stream"},
                {"Faro Radio", "Radio", "Spain", "http://radio.faro.invalid/faro.MP3?listen=1"},
            });
}

TEST(ImportStations, MapsFieldsAndCountsBrokenEntries)
{
    StationListReader reader;
    reader.feed(fixture("stations.json"));
    ASSERT_TRUE(reader.finish());
    const ParsedSource parsed = reader.take();
    // No address, a number for a name, and the elements that are no objects.
    EXPECT_EQ(parsed.bad, 6);
    expectEntries(
        parsed,
        {
            {"Harbour Jazz", "Radio", "English", "http://edge.harbour.invalid/jazz.mp3"},
            {"Valle Clásica", "Radio", "Classical", "http://radio.valle.invalid/clasica"},
            {"Plain Country Station", "Radio", "Canada", "http://radio.plain.invalid/"},
            {"Silent Nights", "Radio", "German/English", "http://radio.silent.invalid/"},
            {"Wrong Types", "Radio", "Other", "http://radio.types.invalid/"},
            {"Harbour Jazz Again", "Radio", "English", "http://edge.harbour.invalid/jazz.mp3"},
            {"Caf\xef\xbf\xbd Latino", "Radio", "Spanish", "http://radio.cafe.invalid/"},
        });
    const struct
    {
        qint64 favorites;
        double ratingSum;
        qint64 ratingCount;
        bool down;
    } figures[] = {{250, 4, 1, false},  {5, 2, 1, false},   {0, 0, 0, false},  {999999, 5, 1, true},
                   {0, 2.08, 1, false}, {0, 1.3, 1, false}, {1, 1.7, 1, false}};
    for (int i = 0; i < 7; ++i) {
        const SourceEntry &e = parsed.entries[i];
        EXPECT_EQ(e.channel.favorites, figures[i].favorites) << i;
        EXPECT_DOUBLE_EQ(e.channel.ratingSum, figures[i].ratingSum) << i;
        EXPECT_EQ(e.channel.ratingCount, figures[i].ratingCount) << i;
        EXPECT_EQ(e.down, figures[i].down) << i;
    }
}

TEST(ImportStations, PiecesOfAnySizeReadAlike)
{
    const QByteArray data = fixture("stations.json") + "\n";
    StationListReader whole;
    whole.feed(data);
    ASSERT_TRUE(whole.finish());
    const ParsedSource expected = whole.take();
    for (const qsizetype piece : {1, 7, 4096}) {
        StationListReader reader;
        for (qsizetype at = 0; at < data.size(); at += piece)
            reader.feed(QByteArrayView(data).sliced(at, std::min(piece, data.size() - at)));
        ASSERT_TRUE(reader.finish()) << piece;
        const ParsedSource parsed = reader.take();
        EXPECT_EQ(parsed.bad, expected.bad) << piece;
        ASSERT_EQ(parsed.entries.size(), expected.entries.size()) << piece;
        for (qsizetype i = 0; i < parsed.entries.size(); ++i)
            EXPECT_EQ(parsed.entries[i].channel.name, expected.entries[i].channel.name) << piece;
    }
}

TEST(ImportStations, TellsAWholeListFromAnythingElse)
{
    const struct
    {
        QByteArray data;
        bool whole;
        qsizetype stations;
    } cases[] = {
        {"[]", true, 0},
        {"\xef\xbb\xbf [ {\"name\":\"a}]{\\\"\",\"url\":\"http://x/\"} ]", true, 1},
        {"[{\"name\":\"a\",\"url\":\"http://x/\"}", false, 1},
        {"{\"stations\":[]}", false, 0},
        {"<html>busy</html>", false, 0},
        {"[{\"name\":\"a\",\"url\":\"http://x/\"}]]", false, 1},
    };
    for (const auto &c : cases) {
        StationListReader reader;
        reader.feed(c.data);
        EXPECT_EQ(reader.finish().ok(), c.whole) << c.data.data();
        EXPECT_EQ(reader.take().entries.size(), c.stations) << c.data.data();
    }
}

} // namespace
} // namespace mavrel::server

namespace mavrel::server {
namespace {

// What goes past the limits is passed over and counted; what is around it is read.
TEST(ImportLimits, OversizedPiecesAreSkippedAndCounted)
{
    const QByteArray longString(kMaxJsonStringBytes + 1, 's');
    const QByteArray longLine(kMaxSourceLineBytes + 1, 'x');
    const QByteArray manyKeys = [] {
        QByteArray keys;
        for (int i = 0; keys.size() <= kMaxStationBytes; ++i)
            keys += ",\"k" + QByteArray::number(i) + "\":1";
        return keys;
    }();
    const struct
    {
        const char *what;
        QByteArray data;
        QList<QByteArray> names; // what is read, in order
        qint64 bad;
    } cases[] = {
        {"a long icon",
         "[{\"name\":\"A\",\"url\":\"http://a/\",\"favicon\":\"" + longString +
             "\"},{\"name\":\"B\",\"url\":\"http://b/\"}]",
         {"A", "B"},
         0},
        {"a long key",
         "[{\"" + longString + "\":1,\"name\":\"A\",\"url\":\"http://a/\"}]",
         {"A"},
         0},
        {"a long name", "[{\"name\":\"" + longString + "\",\"url\":\"http://a/\"}]", {}, 1},
        {"a long escaped name",
         "[{\"name\":\"\\\"" + longString + "\\\\\",\"url\":\"u\"},{}]",
         {},
         2},
        {"a long station",
         "[{\"name\":\"A\",\"url\":\"http://a/\"" + manyKeys +
             "},{\"name\":\"B\",\"url\":\"http://b/\"}]",
         {"B"},
         1},
        {"a long title",
         "#EXTM3U\n#EXTINF:-1," + longLine + "\nhttp://a/\n#EXTINF:-1,B\nhttp://b/",
         {"B"},
         1},
        // A lost before it, one lost at the end: each counted once.
        {"long titles among entries",
         "#EXTM3U\n#EXTINF:-1,A\n#EXTINF:-1," + longLine +
             "\n#EXTINF:-1,B\nhttp://b/\n#EXTINF:-1," + longLine,
         {"B"},
         3},
        {"a long address",
         "#EXTM3U\n#EXTINF:-1,A\nhttp://" + longLine + "\n#EXTINF:-1,B\nhttp://b/",
         {"B"},
         1},
        {"a long address alone",
         "#EXTM3U\nhttp://" + longLine + "\n#EXTINF:-1,B\nhttp://b/",
         {"B"},
         1},
        {"a long comment", "#EXTM3U\n#" + longLine + "\n#EXTINF:-1,B\nhttp://b/", {"B"}, 0},
        {"a long catalogue line",
         "12|" + longLine + "\r\n" + line("7", "B", "http://b/") + "\r\n" + longLine,
         {"B"},
         1},
    };
    for (const auto &c : cases) {
        SourceParser parser(u"source"_s, {});
        parser.feed(c.data);
        const auto parsed = parser.finish();
        ASSERT_TRUE(parsed.ok()) << c.what;
        QList<QByteArray> names;
        for (const SourceEntry &e : parsed.value().entries)
            names.append(e.channel.name);
        EXPECT_EQ(names, c.names) << c.what;
        EXPECT_EQ(parsed.value().bad, c.bad) << c.what;
    }
}

// Lines, their ends (CR LF split between pieces too) and the kind of source do not depend on
// where the pieces break.
TEST(ImportLimits, LinesReadAlikeInPiecesOfAnySize)
{
    const QByteArray sources[] = {
        "\xef\xbb\xbf#EXTM3U\r\n#EXTINF:-1 group-title=\"News\",A\r\nhttp://a/\r\n\r\n"
        "#EXTINF:-1,B\rhttp://b/\r#EXTVLCOPT:x\nhttp://orphan/\n#EXTINF:-1,C\nhttp://c/",
        line("1", "A", "http://a/") + "\r\n" + line("2", "B", "http://b/") + "\r\n\r\n" +
            line("3", "C", "http://c/"),
        "  \r\n\t[{\"name\":\"A\",\"url\":\"http://a/\"}]",
    };
    for (const QByteArray &data : sources) {
        SourceParser whole(u"source"_s, {});
        whole.feed(data);
        const ParsedSource expected = whole.finish().value();
        ASSERT_EQ(expected.entries.size(), data.contains('[') ? 1 : 3) << data.data();
        for (const qsizetype piece : {1, 2, 5}) {
            SourceParser parser(u"source"_s, {});
            for (qsizetype at = 0; at < data.size(); at += piece)
                parser.feed(QByteArrayView(data).sliced(at, std::min(piece, data.size() - at)));
            const ParsedSource parsed = parser.finish().value();
            EXPECT_EQ(parsed.bad, expected.bad) << piece;
            EXPECT_EQ(parsed.options, expected.options) << piece;
            ASSERT_EQ(parsed.entries.size(), expected.entries.size()) << piece;
            for (qsizetype i = 0; i < parsed.entries.size(); ++i) {
                EXPECT_EQ(parsed.entries[i].channel.name, expected.entries[i].channel.name);
                EXPECT_EQ(parsed.entries[i].channel.url, expected.entries[i].channel.url);
                EXPECT_EQ(parsed.entries[i].channel.lang, expected.entries[i].channel.lang);
            }
        }
    }
}

} // namespace
} // namespace mavrel::server
