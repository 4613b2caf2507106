#include "server/sources/readers.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace mavrel::server {
namespace {

TEST(ImportLogos, OnlyWhatACatalogueLineCanCarry)
{
    const QByteArray longest = "http://l/" + QByteArray(kMaxLogoBytes - 9, 'x');
    const std::pair<QByteArray, QByteArray> cases[] = {
        {" HTTP://LOGOS/UP.PNG ", "HTTP://LOGOS/UP.PNG"},
        {"http://logos/a|b.png", ""},
        {longest, longest},
        {longest + 'y', ""},
    };
    for (const auto &[given, kept] : cases)
        EXPECT_EQ(logoAddress(given), kept) << given.first(40).data();
}

TEST(ImportPlaylist, KeepsGuideIdsLogosAndGuideAddresses)
{
    const ParsedSource parsed = parsePlaylist(
        "#EXTM3U x-tvg-url=\"http://g/a.xml.gz, http://g/b.xml\" "
        "url-tvg=\"http://g/a.xml.gz,http://g/c.xml\"\n"
        "#EXTINF:-1 tvg-id=\"Maple.ca\" tvg-logo=\"https://logos/maple.png\",Maple\nhttp://m/\n"
        "#EXTINF:-1 tvg-id=\"a|b\" tvg-logo=\"ftp://logos/x.png\",Bar\nhttp://b/\n");
    EXPECT_EQ(parsed.guides,
              QStringList({u"http://g/a.xml.gz"_s, u"http://g/b.xml"_s, u"http://g/c.xml"_s}));
    ASSERT_EQ(parsed.entries.size(), 2);
    EXPECT_EQ(parsed.entries[0].channel.spare1, "Maple.ca");
    EXPECT_EQ(parsed.entries[0].channel.spare2, "https://logos/maple.png");
    EXPECT_EQ(parsed.entries[1].channel.spare1, "");
    EXPECT_EQ(parsed.entries[1].channel.spare2, "");
}

TEST(ImportStations, FaviconIsTheLogo)
{
    StationListReader reader;
    reader.feed(R"([{"name":"A","url":"http://a/","favicon":"https://a/icon.png"},)"
                R"({"name":"B","url":"http://b/","favicon":"ftp://b/icon.png"}])");
    ASSERT_TRUE(reader.finish().ok());
    const ParsedSource parsed = reader.take();
    ASSERT_EQ(parsed.entries.size(), 2);
    EXPECT_EQ(parsed.entries[0].channel.spare2, "https://a/icon.png");
    EXPECT_EQ(parsed.entries[1].channel.spare2, "");
}

} // namespace
} // namespace mavrel::server
