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
    for (const QByteArray &link : extractStreamLinks(page, base)) {
        check(isStreamLink(link));
        check(link.toLower().contains("http://"));
        check(!link.contains('\r') && !link.contains('<'));
    }
    const QByteArray resolved =
        resolveLink(page.toByteArray(), base.address, base.directory, base.domain);
    check(!resolved.contains('<'));
    return 0;
}
