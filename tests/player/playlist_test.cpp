#include "player/playlist.h"

#include <gtest/gtest.h>

#include <QDir>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

struct ParseCase
{
    const char *name;
    QByteArray data;
    const char *base;
    PlaylistFormat hint;
    QList<PlaylistEntry> expected;
};

PlaylistEntry media(const char *url)
{
    return {QUrl(QString::fromUtf8(url)), false};
}

PlaylistEntry nested(const char *url)
{
    return {QUrl(QString::fromUtf8(url)), true};
}

QByteArray utf16le(const QString &text)
{
    QByteArray out("\xFF\xFE");
    for (QChar c : text) {
        out += char(c.unicode() & 0xFF);
        out += char(c.unicode() >> 8);
    }
    return out;
}

} // namespace

TEST(Playlist, ParsesEntriesInOrder)
{
    const ParseCase cases[] = {
        {"asx, mixed case tags and quotes",
         "<ASX version=\"3.0\"><Title>Radio</Title><Entry><REF HREF=\"mms://a.example/live\"/>"
         "<ref href='http://b.example/live'/></Entry></ASX>",
         "http://h.example/x",
         PlaylistFormat::None,
         {media("mms://a.example/live"), media("http://b.example/live")}},
        {"asx entryref and relative ref",
         "<asx version=\"3.0\"><entryref href=\"http://x.example/more.asx\"/>"
         "<entry><ref href=\"song.mp3\" /></entry></asx>",
         "http://h.example/dir/list",
         PlaylistFormat::None,
         {nested("http://x.example/more.asx"), media("http://h.example/dir/song.mp3")}},
        {"asx ignores banner, logo, moreinfo and commented refs",
         "<asx><banner href=\"http://h/b.gif\"/><!-- <ref href=\"http://h/old\"/> -->"
         "<entry><logo href=\"http://h/l.png\"/><moreinfo href=\"http://h/info\"/>"
         "<ref href=\"http://h/live\"/></entry></asx>",
         "",
         PlaylistFormat::None,
         {media("http://h/live")}},
        {"asx malformed: unquoted value, spaces around '=', no closing tags, entity",
         "<?xml version=\"1.0\"?>\n<asx>\n<entry>\n<ref href=http://h/a?x=1&amp;y=2>\n"
         "<entry><ref href = \"http://h/b\">\n",
         "",
         PlaylistFormat::None,
         {media("http://h/a?x=1&y=2"), media("http://h/b")}},
        {"asx unclosed quote does not swallow the next entry",
         "<asx><entry><ref href=\"http://h/a /></entry><entry><ref href=\"http://h/b\"/></entry>",
         "",
         PlaylistFormat::None,
         {media("http://h/a"), media("http://h/b")}},
        {"asx saved as UTF-16 with byte order mark",
         utf16le(u"<asx version=\"3.0\"><entry><ref href=\"http://h/w\"/></entry></asx>"_s),
         "",
         PlaylistFormat::None,
         {media("http://h/w")}},
        {"asx without a root, known only from its address",
         "<entry><ref href=\"http://h/c\"/></entry>",
         "",
         PlaylistFormat::Asx,
         {media("http://h/c")}},
        {"reference file, numbered out of order",
         "[Reference]\r\nRef2=http://h/second\r\nRef1=http://h/first?MSWMExt=.asf\r\n",
         "",
         PlaylistFormat::None,
         {media("http://h/first?MSWMExt=.asf"), media("http://h/second")}},
        {"m3u with header, comments, CRLF and a relative entry",
         "\xEF\xBB\xBF#EXTM3U\r\n#EXTINF:-1,Radio\r\nhttp://h/one\r\n\r\n# note\r\ntwo.mp3\r\n",
         "http://h/lists/radio.m3u",
         PlaylistFormat::None,
         {media("http://h/one"), media("http://h/lists/two.mp3")}},
        {"m3u without header, known from its address",
         "http://h/one\nhttp://h/two\n",
         "http://h/a.m3u",
         PlaylistFormat::M3u,
         {media("http://h/one"), media("http://h/two")}},
        {"m3u local entries with backslashes",
         "#EXTM3U\nsub\\song.mp3\n",
         "file:///music/list.m3u",
         PlaylistFormat::None,
         {media("file:///music/sub/song.mp3")}},
        {"live-streaming manifest is left to the engine",
         "#EXTM3U\n#EXT-X-TARGETDURATION:10\nseg1.ts\n",
         "http://h/live.m3u8",
         PlaylistFormat::M3u,
         {}},
        {"pls numbered out of order, other keys ignored",
         "[playlist]\nNumberOfEntries=2\nFile2=http://h/backup\nTitle1=Radio\n"
         "File1=http://h/main\nLength1=-1\nVersion=2\n",
         "",
         PlaylistFormat::None,
         {media("http://h/main"), media("http://h/backup")}},
        {"wpl media sources",
         "<?wpl version=\"1.0\"?><smil><body><seq><media src=\"C:\\Music\\a.wma\"/>"
         "<media src=\"http://h/b.wma\"/></seq></body></smil>",
         "",
         PlaylistFormat::None,
         {{QUrl::fromLocalFile(u"C:\\Music\\a.wma"_s), false}, media("http://h/b.wma")}},
        {"xspf: tracks in order, the playlist's own title and location skipped, alternatives "
         "kept",
         "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<playlist version=\"1\" "
         "xmlns=\"http://xspf.org/ns/0/\"><title>Mine</title><location>http://h/self.xspf"
         "</location><trackList><track><location>http://h/a?x=1&amp;y=2</location><title>A"
         "</title></track><track><title>B</title><location> b.ogg </location><location>"
         "http://h/b2</location></track></trackList></playlist>",
         "http://h/dir/list.xspf",
         PlaylistFormat::None,
         {media("http://h/a?x=1&y=2"), media("http://h/dir/b.ogg"), media("http://h/b2")}},
        {"xspf: CDATA location, commented track",
         "<playlist><trackList><!-- <track><location>http://h/old</location></track> -->"
         "<track><location><![CDATA[http://h/d?a=1&b=2]]></location></track></trackList>"
         "</playlist>",
         "",
         PlaylistFormat::None,
         {media("http://h/d?a=1&b=2")}},
        {"html page is not a playlist",
         "<!DOCTYPE html><html><body>Not found</body></html>",
         "http://h/x",
         PlaylistFormat::None,
         {}},
        {"binary data behind a playlist address gives nothing",
         QByteArray("\x00\x01\x02\xFF\xFE\x10\n\x03\x04", 9),
         "http://h/a.m3u",
         PlaylistFormat::M3u,
         {}},
        {"empty document", "", "http://h/a.asx", PlaylistFormat::Asx, {}},
    };
    for (const ParseCase &c : cases) {
        SCOPED_TRACE(c.name);
        const auto entries = parsePlaylist(c.data, QUrl(QString::fromUtf8(c.base)), c.hint);
        ASSERT_EQ(entries.size(), c.expected.size());
        for (qsizetype i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(entries[i].url.toString(), c.expected[i].url.toString()) << i;
            EXPECT_EQ(entries[i].isPlaylist, c.expected[i].isPlaylist) << i;
        }
    }
}

TEST(Playlist, HugeListIsCut)
{
    QByteArray data = "#EXTM3U\n";
    for (int i = 0; i < 1000; ++i)
        data += "http://h/" + QByteArray::number(i) + "\n";
    const auto entries = parsePlaylist(data, {});
    ASSERT_EQ(entries.size(), kMaxPlaylistEntries);
    EXPECT_EQ(entries.first().url, QUrl(u"http://h/0"_s));
}

TEST(Playlist, SniffsFormatFromFirstBytes)
{
    const struct
    {
        QByteArray head;
        PlaylistFormat expected;
    } cases[] = {
        {"<asx version=\"3.0\">", PlaylistFormat::Asx},
        {"  \r\n<?xml version=\"1.0\"?><!-- hi --><ASX>", PlaylistFormat::Asx},
        {"\xEF\xBB\xBF<Asx>", PlaylistFormat::Asx},
        {"#EXTM3U\nhttp://h/a", PlaylistFormat::M3u},
        {"#extm3u\n#EXT-X-STREAM-INF:BANDWIDTH=1\nlow.m3u8", PlaylistFormat::None},
        {"[playlist]\nFile1=x", PlaylistFormat::Pls},
        {"[Reference]\r\nRef1=http://h/", PlaylistFormat::Reference},
        {"<?wpl version=\"1.0\"?><smil>", PlaylistFormat::Wpl},
        {"<?xml version=\"1.0\"?><playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\">",
         PlaylistFormat::Xspf},
        {"<playlists><playlist>", PlaylistFormat::None},
        {"<html><body>", PlaylistFormat::None},
        {"ID3\x03\x00", PlaylistFormat::None},
        {"RIFF\x24\x00\x00\x00WAVE", PlaylistFormat::None},
        {"", PlaylistFormat::None},
    };
    for (const auto &c : cases)
        EXPECT_EQ(sniffPlaylist(c.head), c.expected) << c.head.constData();
}

TEST(Playlist, ContentTypeAndAddressHints)
{
    const struct
    {
        const char *type;
        ContentKind kind;
    } types[] = {
        {"video/x-ms-asx", ContentKind::Playlist},
        {"audio/x-ms-wax", ContentKind::Playlist},
        {"Audio/X-MpegURL; charset=utf-8", ContentKind::Playlist},
        {"audio/x-scpls", ContentKind::Playlist},
        {"application/xspf+xml", ContentKind::Playlist},
        {"video/x-ms-asf", ContentKind::Unknown}, // used for metafiles and streams alike
        {"application/octet-stream", ContentKind::Unknown},
        {"text/plain", ContentKind::Unknown},
        {"", ContentKind::Unknown},
        {"audio/mpeg", ContentKind::Media},
        {"video/mp2t", ContentKind::Media},
        {"application/ogg", ContentKind::Media},
    };
    for (const auto &t : types)
        EXPECT_EQ(classifyContentType(t.type), t.kind) << t.type;

    const struct
    {
        const char *url;
        PlaylistFormat format;
    } addresses[] = {
        {"http://h/live.asx", PlaylistFormat::Asx},
        {"http://h/live.WAX?id=3", PlaylistFormat::Asx},
        {"http://h/tv.wvx", PlaylistFormat::Asx},
        {"http://h/radio.m3u8", PlaylistFormat::M3u},
        {"http://h/radio.pls", PlaylistFormat::Pls},
        {"http://h/mix.XSPF", PlaylistFormat::Xspf},
        {"http://h/get.asp?file=live.asx", PlaylistFormat::None},
        {"http://h/live.mp3", PlaylistFormat::None},
        {"http://h/", PlaylistFormat::None},
    };
    for (const auto &a : addresses)
        EXPECT_EQ(playlistFormatFromAddress(QUrl(QString::fromUtf8(a.url))), a.format) << a.url;
}

TEST(Playlist, MediaLocationFromText)
{
    const struct
    {
        QString text;
        QUrl expected;
    } cases[] = {
        {u"http://h/a b.asx"_s, QUrl(u"http://h/a%20b.asx"_s)},
        {u"  mms://h/live  "_s, QUrl(u"mms://h/live"_s)},
        {u"/music/a.mp3"_s, QUrl::fromLocalFile(u"/music/a.mp3"_s)},
        {u"C:\\Music\\\\a.mp3"_s, QUrl::fromLocalFile(u"C:\\Music\\\\a.mp3"_s)},
        {u"file:///music/a.mp3"_s, QUrl(u"file:///music/a.mp3"_s)},
        {u"rel/a.mp3"_s, QUrl::fromLocalFile(QDir::current().absoluteFilePath(u"rel/a.mp3"_s))},
        {u"   "_s, QUrl()},
    };
    for (const auto &c : cases)
        EXPECT_EQ(mediaLocationFromText(c.text), c.expected) << c.text.toStdString();
}
