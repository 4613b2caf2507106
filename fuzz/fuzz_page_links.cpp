// Pages as any site may send them: the page links the spider would queue.
#include "fuzzcheck.h"
#include "submit/spidercrawl.h"

using namespace mavrel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    const QByteArrayView page(reinterpret_cast<const char *>(bytes), qsizetype(size));
    SpiderCrawl crawl(SpiderLimits{0, 1'000, 100});
    crawl.enqueueStart("http://example.com/start.htm");
    crawl.spiderNext();
    const QList<QByteArray> queued =
        crawl.addPageLinks(page, pageBase("http://example.com/start.htm"));
    check(queued.size() <= 100);
    check(qsizetype(crawl.queue().size()) == queued.size() + 1);
    for (QByteArray link : queued) {
        check(isPageLink(link) && isWebLink(link));
        check(link == link.toLower());
        check(crawl.isKnownPage(link));
    }
    return 0;
}
