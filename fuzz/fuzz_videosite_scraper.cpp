// Listing pages as any server may send them: the scraper in both listing forms, and the player
// page written from whatever it found.
#include "fuzzcheck.h"
#include "videosite/playerpage.h"
#include "videosite/scraper.h"

using namespace mavrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArrayView page(reinterpret_cast<const char *>(bytes), qsizetype(size));
    qsizetype lineBytes = 0;
    for (const QByteArrayView line : scraperLines(page)) {
        check(!line.contains('\r'));
        lineBytes += line.size();
    }
    check(lineBytes <= page.size());
    for (const bool search : {false, true}) {
        VideoListing listing;
        for (const ScrapedVideo &video : parseVideoPage(page, search)) {
            check(!video.title.isEmpty());
            listing.add(video);
        }
        for (const ScrapedVideo &video : listing.videos()) {
            const QByteArray html = videoPage("http://h", video.title, video.id);
            // Nothing from the page can open a tag or leave an attribute.
            const qsizetype heading = html.indexOf("<h1>") + 4;
            const QByteArrayView title(html.constData() + heading, html.indexOf("</h1>") - heading);
            check(!title.contains('<') && !title.contains('>'));
            check(html.count('<') == videoPage("http://h", "t", "i").count('<'));
            check(html.count('\'') == videoPage("http://h", "t", "i").count('\''));
            for (const char c : html)
                check(c == '\r' || c == '\n' || (c >= 0x20 && c < 0x7f));
        }
    }
    return 0;
}
