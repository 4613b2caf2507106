#include "favorites/playlistexchange.h"
#include "platform/bytetext.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QUrl>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace mavrel;

namespace {

constexpr QByteArrayView kSite = "http://site.example:8077";

// One line per favourite, readable in a failure; a refusal as its code.
std::string shown(const Result<QList<Favorite>> &result)
{
    if (!result)
        return "refused " + std::to_string(result.error().code);
    std::string out;
    for (const Favorite &raw : result.value()) {
        const Favorite f = carriableFavorite(raw);
        out += (f.name + '|' + f.url + '|' + f.kind + '|' + f.lang + '\n').toStdString();
    }
    return out;
}

std::string refused(ImportRefusal why)
{
    return shown(Result<QList<Favorite>>::failure({}, int(why)));
}

QByteArray manyEntries(int count)
{
    QByteArray data = "#EXTM3U\n";
    for (int i = 0; i < count; ++i)
        data += "#EXTINF:-1,Channel " + QByteArray::number(i) + "\nhttp://h.example/live/" +
                QByteArray::number(i) + ".m3u8\n";
    return data;
}

} // namespace

TEST(PlaylistExchange, ExportThenImportGivesTheFavouritesBack)
{
    const QList<Favorite> favorites = {
        {"News 24", "http://h/live.m3u8", "TV", "English"},
        {"Jazz", "http://h/jazz", "Radio", ""},
        {"Clips", "http://h/a.mp3", "TV", ""}, // the group title beats the audio address
        videoFavorite("A clip", "ab_-9Z"),
        {"Say \"Hi\", Bob", "mms://h/a,b", "Radio", "French"},
        {"Caf\xC3\xA9 \xE2\x82\xAC", "http://h/c", "TV", "French"},
        {"Caf\xE9 \x80", "http://h/d", "TV", "French"},
        {"Two\r\nLines", "http://h/e", "TV", "Eng\"lish"},
    };
    // Names come back as UTF-8; what would break a line or an attribute, replaced.
    QList<Favorite> expected = favorites;
    for (Favorite &f : expected)
        f.name = displayText(f.name).toUtf8();
    expected.last() = {"Two  Lines", "http://h/e", "TV", "Eng'lish"};
    const QByteArray playlist = favoritesPlaylist(favorites, kSite.toByteArray() + '/');
    EXPECT_EQ(shown(favoritesFromPlaylist(playlist, QUrl(u"file:///tmp/fav.m3u"_s), kSite)),
              shown(expected))
        << playlist.toStdString();
    EXPECT_EQ(
        favoritesPlaylist({{"A", "http://h/x", "TV", "English"}, videoFavorite("V", "i&d")}, kSite),
        "#EXTM3U\n#EXTINF:-1 tvg-language=\"English\" group-title=\"TV\",A\nhttp://h/x\n"
        "#EXTINF:-1 tvg-language=\"\" group-title=\"\",V\n"
        "http://site.example:8077/watch?v=i%26d\n");
}

TEST(PlaylistExchange, ImportsEachFormatAndRefusesWhatIsNoPlaylistOrTooLarge)
{
    const std::string tooLarge = refused(ImportRefusal::TooLarge);
    const std::string notAPlaylist = refused(ImportRefusal::NotAPlaylist);
    const struct
    {
        const char *label;
        QByteArray data;
        const char *base;
        std::string expected;
    } rows[] = {
        {"extended m3u",
         "#EXTM3U\n#EXTINF:-1 tvg-language=\"Spanish\" group-title=\"News, 24h\",Uno, Dos\n"
         "http://h/1\n#EXTINF:-1 radio=\"true\",Talk\nhttp://h/2\n#EXTINF:-1,\nhttp://h/3.AAC\n"
         "javascript:alert(1)\nrel/4.ts\n#EXTINF:-1 group-title=\"Video\",Clip\n"
         "http://site.example:8077/watch?v=xyz\nyoutube=abc\nhttp://site.example:9/watch?v=q\n",
         "http://h/lists/a.m3u",
         "Uno, Dos|http://h/1|TV|Spanish\nTalk|http://h/2|Radio|\nhttp://h/3.AAC|http://h/3.AAC|"
         "Radio|\nrel/4.ts|http://h/lists/rel/"
         "4.ts|TV|\nClip|youtube=xyz||\nyoutube=abc|youtube=abc||"
         "\nhttp://site.example:9/watch?v=q|http://site.example:9/watch?v=q|TV|\n"},
        {"m3u without header, known from its name", "rtmp://h/a\nb.mp3\n", "file:///m/l.m3u",
         "rtmp://h/a|rtmp://h/a|TV|\nb.mp3|file:///m/b.mp3|Radio|\n"},
        {"header-less list of addresses, no name", "http://h/a\r\nmms://h/b\r\n", "",
         "http://h/a|http://h/a|TV|\nmms://h/b|mms://h/b|TV|\n"},
        {"pls", "[playlist]\nFile2=http://h/b.ogg\nTitle1=One\nFile1=http://h/a\nTitle2=Two\n", "",
         "One|http://h/a|TV|\nTwo|http://h/b.ogg|Radio|\n"},
        {"asx: entry title after its refs, alternatives, root title, entryref",
         "<asx version=\"3.0\"><title>All</title><entry><ref href=\"gopher://h/x\"/>"
         "<ref href=\"mms://h/a\"/><ref href=\"http://h/a2\"/><title>A</title></entry>"
         "<entryref href=\"http://h/more.asx\"/><entry><ref href=\"http://h/b\"/></entry></asx>",
         "",
         "A|mms://h/a|TV|\nhttp://h/more.asx|http://h/more.asx|TV|\nhttp://h/b|http://h/b|TV|\n"},
        {"xspf",
         "<?xml version=\"1.0\"?><!-- by hand --><!DOCTYPE playlist [<!ENTITY c \"d\">]>\n"
         "<playlist version=\"1\" xmlns=\"http://xspf.org/ns/0/\"><title>P</title><trackList>"
         "<track><title>Song &amp; Co</title><location>s.oga</location></track>"
         "</trackList></playlist>",
         "http://h/x/p.xspf", "Song & Co|http://h/x/s.oga|Radio|\n"},
        {"asx saved as UTF-16",
         QStringEncoder(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom)(
             u"<asx><entry><title>\u00C9t\u00E9</title><ref href='http://h/u'/></entry></asx>"_s),
         "", "\xC3\x89t\xC3\xA9|http://h/u|TV|\n"},
        {"100,001 entries", manyEntries(kMaxImportEntries + 1), "", tooLarge},
        {"32 MiB + 1 bytes", "#EXTM3U\nhttp://h/a\n" + QByteArray(kMaxImportBytes - 18, '#'), "",
         tooLarge},
        {"broken xspf", "<playlist><trackList><track><location>http://h/a</location></trackList>",
         "", notAPlaylist},
        {"xspf with two roots",
         "<playlist><trackList><track><location>http://h/a</location></track></trackList>"
         "</playlist><playlist/>",
         "", notAPlaylist},
        {"asx with a bare '&'", "<asx><entry><ref href=\"http://h/a?x=1&y=2\"/></entry></asx>", "",
         notAPlaylist},
        {"xspf with text after its root",
         "<playlist><trackList><track><location>http://h/a</location></track></trackList>"
         "</playlist> and more",
         "", notAPlaylist},
        {"broken asx", "<asx><entry><ref href=http://h/a></entry></asx>", "", notAPlaylist},
        {"text", "Shopping list:\nmilk\nhttp://h/a\n", "file:///t/notes.txt", notAPlaylist},
        {"live-streaming manifest", "#EXTM3U\n#EXT-X-TARGETDURATION:9\nhttp://h/s.ts\n",
         "http://h/l.m3u8", notAPlaylist},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(shown(favoritesFromPlaylist(row.data, QUrl(QString::fromUtf8(row.base)), kSite)),
                  row.expected);
    }
    const auto atTheLimit = favoritesFromPlaylist(manyEntries(kMaxImportEntries), {}, kSite);
    EXPECT_EQ(atTheLimit ? atTheLimit.value().size() : 0, kMaxImportEntries);
}

TEST(PlaylistExchange, ReadsOnlyRegularFiles)
{
    QTemporaryDir dir;
    QFile list(dir.filePath(u"list.m3u"_s));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly) && list.write("sub/a.mp3\n") == 10);
    list.close();
    const QString fifo = dir.filePath(u"fifo.m3u"_s);
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    EXPECT_EQ(shown(readPlaylistFile(list.fileName(), kSite)),
              "sub/a.mp3|" +
                  QUrl::fromLocalFile(dir.filePath(u"sub/a.mp3"_s)).toString().toStdString() +
                  "|Radio|\n");
    EXPECT_EQ(shown(readPlaylistFile(fifo, kSite)), refused(ImportRefusal::Unreadable));
}
