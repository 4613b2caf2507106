// Directory playlists as a public source may serve them: every entry that comes out must be one
// the catalogue can take or refuse cleanly, and counts never go negative.
#include "fuzzcheck.h"
#include "server/sources/importer.h"

using namespace mavrel::server;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const ParsedSource parsed = parsePlaylist(raw);
    check(parsed.bad >= 0 && parsed.options >= 0);
    check(parsed.entries.size() + parsed.bad + parsed.options <=
          raw.count('\n') + raw.count('\r') + 1);
    for (const SourceEntry &e : parsed.entries) {
        const NewChannel &c = e.channel;
        check(!c.url.isEmpty() && !c.lang.isEmpty());
        check(c.lang.size() <= kMaxLangBytes);
        check(c.kind == "TV" || c.kind == "Radio");
        channelProblem(c); // may refuse, must not crash
    }
    return 0;
}
