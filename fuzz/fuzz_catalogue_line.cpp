// Catalogue and favourites lines: reading, parsing and writing them back.
#include "catalogue/carriable.h"
#include "catalogue/cataloguelinereader.h"
#include "catalogue/channelrecord.h"
#include "fuzzcheck.h"

#include <QBuffer>

using namespace mavrel;

namespace {

// Line ends found one byte at a time, for comparison with the block reader.
QList<QByteArray> simpleLines(QByteArrayView data)
{
    QList<QByteArray> lines;
    QByteArray current;
    for (qsizetype i = 0; i < data.size(); ++i) {
        if (data[i] != '\r') {
            current.append(data[i]);
            continue;
        }
        lines.append(current);
        current.clear();
        if (i + 1 < data.size() && data[i + 1] == '\n')
            ++i;
    }
    if (!current.isEmpty())
        lines.append(current);
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the block size, so line ends fall across block boundaries.
    const qsizetype blockSize = 1 + data[0] % 16;
    QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    QBuffer buffer(&input);
    buffer.open(QIODevice::ReadOnly);
    CatalogueLineReader reader(&buffer, blockSize);
    QList<QByteArray> lines;
    QByteArrayView line;
    Result<bool> more = reader.readLine(&line);
    for (; more.ok() && more.value(); more = reader.readLine(&line))
        lines.append(line.toByteArray());
    check(more.ok());
    check(lines == simpleLines(input));

    for (const QByteArray &l : lines) {
        const auto record = ChannelRecord::parse(l);
        if (record) {
            const auto written = record.value().toLine();
            if (written) {
                const QList<QByteArray> back = splitCatalogueLines(written.value());
                check(back.size() == 1);
                check(splitFields(back[0]).size() == 10);
                check(ChannelRecord::parse(back[0]).ok());
            }
        }
        const auto favourite = FourFieldRecord::parse(l);
        if (favourite) {
            const auto written = favourite.value().toScrambledLine();
            if (written) {
                check(splitCatalogueLines(written.value() + "\r\n").size() == 1);
                check(FourFieldRecord::parse(written.value()).ok());
            }
        }
        for (const auto placement :
             {FieldPlacement::Plain, FieldPlacement::Scrambled, FieldPlacement::InScrambledLine}) {
            for (const auto content : {FieldContent::Text, FieldContent::Address}) {
                const QByteArray carried = makeCarriable(l, placement, content);
                check(isCarriable(carried, placement));
                if (isCarriable(l, placement))
                    check(carried == l);
            }
        }
    }
    return 0;
}
