// The raw query decoder and the request-target split: every byte sequence a client can send.
#include "fuzzcheck.h"
#include "server/http/cataloguehttpserver.h"
#include "server/http/wire.h"

using namespace mavrel;
using namespace mavrel::server;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray raw(reinterpret_cast<const char *>(data), qsizetype(size));
    const RequestTarget target = splitTarget(QByteArrayView(raw));
    check(target.path.size() <= raw.size());
    check(raw.contains('?') == !target.rawQuery.isNull());

    auto parsed = parseQuery(QString::fromLatin1(target.rawQuery));
    if (!parsed)
        return 0;
    // What was accepted comes back the same when encoded again and decoded.
    QByteArray again;
    for (auto it = parsed.value().cbegin(); it != parsed.value().cend(); ++it) {
        check(!it.key().contains('\0') && !it.value().contains('\0'));
        if (!again.isEmpty())
            again.append('&');
        again.append(it.key().toPercentEncoding() + '=' + it.value().toPercentEncoding());
    }
    auto reparsed = parseQuery(QString::fromLatin1(again));
    check(reparsed.ok() || again.size() > kMaxRawQuery);
    if (reparsed)
        check(reparsed.value() == parsed.value());
    return 0;
}
