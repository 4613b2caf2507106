#include "server/sources/readers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

const QByteArray kLongestLogo = "http://l/" + QByteArray(kMaxLogoBytes - 9, 'x');

TEST(ImportPlaylist, KeepsGuideIdsLogosAndGuideAddresses)
{
    const struct
    {
        QByteArray attrs, spare1, spare2;
    } cases[] = {
        {R"(tvg-id="Maple.ca" tvg-logo="https://logos/maple.png")", "Maple.ca",
         "https://logos/maple.png"},
        {R"(tvg-logo="HTTP://LOGOS/UP.PNG")", "", "HTTP://LOGOS/UP.PNG"},
        {R"(tvg-id="a|b" tvg-logo="ftp://logos/x.png")", "", ""},
        {R"(tvg-logo="http://logos/a|b.png")", "", ""},
        {R"(tvg-logo="logos/relative.png")", "", ""},
        {"tvg-logo=\"" + kLongestLogo + '"', "", kLongestLogo},
        {"tvg-logo=\"" + kLongestLogo + "y\"", "", ""},
    };
    QByteArray data = "#EXTM3U x-tvg-url=\"http://g/a.xml.gz, http://g/b.xml\" "
                      "url-tvg=\"http://g/a.xml.gz,http://g/c.xml\"\n";
    for (const auto &c : cases)
        data += "#EXTINF:-1 " + c.attrs + ",Channel\nhttp://stream/" +
                QByteArray::number(data.size()) + '\n';
    const ParsedSource parsed = parsePlaylist(data);
    EXPECT_EQ(parsed.guides,
              QStringList({u"http://g/a.xml.gz"_s, u"http://g/b.xml"_s, u"http://g/c.xml"_s}));
    ASSERT_EQ(parsed.entries.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        EXPECT_EQ(parsed.entries[i].channel.spare1, cases[i].spare1) << cases[i].attrs.data();
        EXPECT_EQ(parsed.entries[i].channel.spare2, cases[i].spare2) << cases[i].attrs.data();
    }
}

TEST(ImportStations, FaviconIsTheLogoWhenACatalogueLineCanCarryIt)
{
    const struct
    {
        const char *favicon; // JSON value
        QByteArray spare2;
    } cases[] = {
        {R"("https://radio/icon.png")", "https://radio/icon.png"},
        {R"(" http://radio/padded.ico ")", "http://radio/padded.ico"},
        {R"("")", ""},
        {R"("data:image/png;base64,AAAA")", ""},
        {R"("http://radio/a\r\nb.png")", ""},
        {"42", ""},
    };
    StationListReader reader;
    reader.feed("[");
    for (const auto &c : cases) {
        reader.feed(R"({"name":"R","url":"http://r/)" + QByteArray(c.favicon).toHex() +
                    R"(","favicon":)" + c.favicon + "},");
    }
    reader.feed(R"({"name":"Last","url":"http://r/last"}])");
    ASSERT_TRUE(reader.finish().ok());
    const ParsedSource parsed = reader.take();
    ASSERT_EQ(parsed.entries.size(), std::size(cases) + 1);
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(parsed.entries[i].channel.spare2, cases[i].spare2) << cases[i].favicon;
}

} // namespace
} // namespace mavrel::server
