// Station lists from a public directory: the streaming reader, fed the same bytes whole and in
// pieces, must agree, and what it yields must be whole stations.
#include "fuzzcheck.h"
#include "server/sources/importer.h"

#include <cmath>

using namespace mavrel::server;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView raw(reinterpret_cast<const char *>(data), qsizetype(size));
    StationListReader whole;
    whole.feed(raw);
    const bool wholeOk = whole.finish().ok();
    const ParsedSource a = whole.take();

    // Pieces of a size taken from the first byte.
    const qsizetype piece = size > 0 ? 1 + data[0] % 13 : 1;
    StationListReader pieces;
    for (qsizetype at = 0; at < raw.size(); at += piece)
        pieces.feed(raw.sliced(at, std::min(piece, raw.size() - at)));
    check(pieces.finish().ok() == wholeOk);
    const ParsedSource b = pieces.take();
    check(a.bad == b.bad && a.entries.size() == b.entries.size());
    for (qsizetype i = 0; i < a.entries.size(); ++i) {
        const NewChannel &c = a.entries[i].channel;
        check(c.name == b.entries[i].channel.name && c.url == b.entries[i].channel.url);
        check(!c.name.isEmpty() && !c.url.isEmpty() && c.kind == "Radio");
        check(c.favorites >= 0 && c.favorites <= 999999);
        check(c.ratingCount == 0 || (c.ratingSum >= 1 && c.ratingSum <= 5));
        check(std::isfinite(c.ratingSum));
    }
    return 0;
}
