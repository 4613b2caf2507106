// The merge of an update reply into a catalogue on arbitrary input: the bytes up to the first
// NUL are the catalogue, the rest the reply. A merged catalogue must read back as lines that a
// second merge of the same reply leaves exactly as they are.
#include "catalogue/cataloguelinereader.h"
#include "fuzzcheck.h"
#include "online/catalogueupdate.h"

#include <QBuffer>

using namespace mavrel;

namespace {

Result<int> merge(const QByteArray &catalogue, QByteArrayView reply, QByteArray *out)
{
    QByteArray in = catalogue;
    QBuffer source(&in);
    QBuffer sink(out);
    source.open(QIODevice::ReadOnly);
    sink.open(QIODevice::WriteOnly);
    return mergeUpdateReply(&source, &sink, reply);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char *>(data), qsizetype(size));
    const qsizetype nul = input.indexOf('\0');
    const QByteArray catalogue = (nul < 0 ? input : input.first(nul)).toByteArray();
    const QByteArrayView reply = nul < 0 ? QByteArrayView() : input.sliced(nul + 1);

    const auto parsed = parseUpdateReply(reply);
    QByteArray once;
    const Result<int> first = merge(catalogue, reply, &once);
    check(first.ok() == parsed.ok());
    if (!first) {
        check(once.isEmpty());
        return 0;
    }
    int adds = 0;
    for (const UpdateLine &l : parsed.value())
        adds += l.add ? 1 : 0;
    check(first.value() == adds);
    check(once.endsWith("\r\n"));

    // The appended lines are whole catalogue lines of nine fields each.
    const QList<QByteArray> lines = splitCatalogueLines(once);
    check(lines.size() >= adds + 1);
    for (qsizetype i = lines.size() - adds; i < lines.size(); ++i)
        check(lines[i].count('|') == 9 && lines[i].endsWith('|'));

    QByteArray twice;
    const Result<int> second = merge(once, reply, &twice);
    check(second.ok() && second.value() == adds);
    check(twice == once);
    return 0;
}
