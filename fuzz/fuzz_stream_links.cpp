// Pages as any site may send them: the stream links found and their normalisation.
#include "fuzzcheck.h"
#include "submit/links.h"

using namespace mavrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(bytes), qsizetype(size));
    const qsizetype cut = input.indexOf('\n');
    // The first line is the page's address (a one-line text box), the rest the page.
    QByteArray address = (cut < 0 ? input : input.first(cut)).toByteArray();
    address.replace('\r', "");
    const QByteArrayView page = cut < 0 ? QByteArrayView() : input.sliced(cut + 1);
    const PageBase base = pageBase(address);
    const QList<QByteArray> links = extractStreamLinks(page, base);
    for (const QByteArray &link : links) {
        const QByteArray lower = link.toLower();
        // Something a player can open, and one address: nothing that ends a line or a tag.
        check(lower.startsWith("http://") || lower.startsWith("https://") ||
              lower.startsWith("mms://") || lower.startsWith("rtsp://") ||
              lower.startsWith("rtmp://"));
        check(!link.contains('\r') && !link.contains('\n') && !link.contains('<') &&
              !link.contains(' '));
        check(links.count(link) == 1);
    }
    const QByteArray resolved =
        resolveLink(page.toByteArray(), base.address, base.directory, base.domain);
    check(!resolved.contains('<'));
    return 0;
}
