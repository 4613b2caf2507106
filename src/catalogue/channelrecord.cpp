#include "catalogue/channelrecord.h"

#include "catalogue/scramble.h"

namespace mavrel {

QList<QByteArrayView> splitFields(QByteArrayView line)
{
    QList<QByteArrayView> fields;
    qsizetype start = 0;
    for (;;) {
        const qsizetype bar = line.indexOf('|', start);
        if (bar < 0) {
            fields.append(line.sliced(start));
            return fields;
        }
        fields.append(line.sliced(start, bar - start));
        start = bar + 1;
    }
}

Result<ChannelRecord> ChannelRecord::parse(QByteArrayView line)
{
    const QList<QByteArrayView> f = splitFields(line);
    if (f.size() < kFieldCount)
        return Result<ChannelRecord>::failure(QStringLiteral("damaged line: %1 fields").arg(f.size()));
    auto url = decryptString(f[3]);
    if (!url)
        return url.error();
    return ChannelRecord{f[0].toByteArray(), f[1].toByteArray(), f[2].toByteArray(),
                         std::move(url).value(), f[4].toByteArray(), f[5].toByteArray(),
                         f[6].toByteArray(), f[7].toByteArray(), f[8].toByteArray()};
}

Result<QByteArray> ChannelRecord::toLine() const
{
    auto scrambled = encryptString(url);
    if (!scrambled)
        return scrambled.error();
    QByteArray line;
    line.reserve(id.size() + name.size() + kind.size() + scrambled.value().size() + lang.size() +
                 spare1.size() + spare2.size() + favorites.size() + rating.size() + 11);
    const QByteArray &scrambledUrl = scrambled.value();
    for (const QByteArray *field :
         {&id, &name, &kind, &scrambledUrl, &lang, &spare1, &spare2, &favorites, &rating}) {
        line.append(*field);
        line.append('|');
    }
    line.append("\r\n");
    return line;
}

Result<FourFieldRecord> FourFieldRecord::parse(QByteArrayView scrambledLine)
{
    auto plain = decryptString(scrambledLine);
    if (!plain)
        return plain.error();
    const QList<QByteArrayView> f = splitFields(plain.value());
    if (f.size() < 4)
        return Result<FourFieldRecord>::failure(QStringLiteral("damaged line: %1 fields").arg(f.size()));
    return FourFieldRecord{f[0].toByteArray(), f[1].toByteArray(), f[2].toByteArray(),
                           f[3].toByteArray()};
}

Result<QByteArray> FourFieldRecord::toScrambledLine() const
{
    return encryptString(name + '|' + url + '|' + kind + '|' + lang);
}

} // namespace mavrel
