#include "catalogue/channelrecord.h"

#include "catalogue/carriable.h"
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
        return Result<ChannelRecord>::failure(
            QStringLiteral("damaged line: %1 fields").arg(f.size()));
    auto url = decryptString(f[3]);
    if (!url)
        return url.error();
    return ChannelRecord{f[0].toByteArray(),     f[1].toByteArray(), f[2].toByteArray(),
                         std::move(url).value(), f[4].toByteArray(), f[5].toByteArray(),
                         f[6].toByteArray(),     f[7].toByteArray(), f[8].toByteArray()};
}

Result<QByteArray> ChannelRecord::toLine() const
{
    auto scrambled =
        encryptString(makeCarriable(url, FieldPlacement::Scrambled, FieldContent::Address));
    if (!scrambled)
        return scrambled.error();
    const QByteArray &scrambledUrl = scrambled.value();
    QByteArray line;
    line.reserve(id.size() + name.size() + kind.size() + scrambledUrl.size() + lang.size() +
                 spare1.size() + spare2.size() + favorites.size() + rating.size() + 11);
    for (const QByteArray *field :
         {&id, &name, &kind, &scrambledUrl, &lang, &spare1, &spare2, &favorites, &rating}) {
        if (field == &scrambledUrl)
            line.append(scrambledUrl);
        else
            line.append(makeCarriable(*field, FieldPlacement::Plain, FieldContent::Text));
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
    if (!plain.value().contains('|'))
        return Result<FourFieldRecord>::failure(QStringLiteral("not a favourites line"));
    // Missing fields read as empty texts, further ones are ignored.
    const QList<QByteArrayView> f = splitFields(plain.value());
    const auto field = [&f](int i) { return i < f.size() ? f[i].toByteArray() : QByteArray(); };
    return FourFieldRecord{field(0), field(1), field(2), field(3)};
}

Result<QByteArray> FourFieldRecord::toScrambledLine() const
{
    const auto text = [](const QByteArray &field) {
        return makeCarriable(field, FieldPlacement::InScrambledLine, FieldContent::Text);
    };
    return encryptString(
        text(name) + '|' +
        makeCarriable(url, FieldPlacement::InScrambledLine, FieldContent::Address) + '|' +
        text(kind) + '|' + text(lang));
}

} // namespace mavrel
