#include "catalogue/channelrows.h"

#include "catalogue/catalogueview.h"
#include "catalogue/scramble.h"
#include "platform/bytetext.h"

#include <cstring>

namespace mavrel {

bool isAsciiBytes(QByteArrayView bytes)
{
    const char *p = bytes.data();
    const char *const end = p + bytes.size();
    for (; end - p >= 8; p += 8) {
        quint64 word;
        std::memcpy(&word, p, 8);
        if (word & 0x8080808080808080u)
            return false;
    }
    for (; p < end; ++p) {
        if (static_cast<unsigned char>(*p) >= 0x80)
            return false;
    }
    return true;
}

QString catalogueText(QByteArrayView bytes)
{
    return isAsciiBytes(bytes) ? QString::fromLatin1(bytes) : displayText(bytes);
}

QString ChannelRow::urlText() const
{
    return catalogueText(record.url);
}

ChannelRows ChannelRows::fromDecoded(const std::vector<ChannelRow> &rows)
{
    ChannelRows result;
    result.m_decodedTexts = true;
    result.m_rows.reserve(rows.size());
    QByteArray &buffer = result.m_buffer;
    for (const ChannelRow &row : rows) {
        const qsizetype start = buffer.size();
        std::array<quint32, 9> ends{};
        const QByteArray fields[] = {
            row.record.id,     row.name.toUtf8(),      row.kind.toUtf8(),
            row.record.url,    row.lang.toUtf8(),      row.record.spare1,
            row.record.spare2, row.favorites.toUtf8(), row.rating.toUtf8()};
        for (std::size_t f = 0; f < ends.size(); ++f) {
            if (f > 0)
                buffer.append('|');
            buffer.append(fields[f]);
            ends[f] = quint32(buffer.size() - start);
        }
        result.m_rows.push_back({quint64(start), ends});
    }
    return result;
}

ChannelRecord ChannelRows::record(std::size_t row) const
{
    const auto field = [&](Field f) { return bytes(row, f).toByteArray(); };
    QByteArray url;
    if (m_decodedTexts) {
        url = field(Url);
    } else {
        // The load refused lines whose address cannot be unscrambled.
        url = decryptString(bytes(row, Url)).value();
    }
    return ChannelRecord{field(Id),      field(Name),      field(Kind),
                         std::move(url), field(Lang),      field(Spare1),
                         field(Spare2),  field(Favorites), field(Rating)};
}

QString ChannelRows::text(std::size_t row, Text which) const
{
    switch (which) {
    case Text::Name:
        return catalogueText(bytes(row, Name));
    case Text::Kind:
        return catalogueText(bytes(row, Kind));
    case Text::Lang:
        return catalogueText(bytes(row, Lang));
    case Text::Rating:
        return m_decodedTexts ? catalogueText(bytes(row, Rating))
                              : formatRating(catalogueText(bytes(row, Rating)));
    case Text::Favorites:
        return m_decodedTexts ? catalogueText(bytes(row, Favorites))
                              : padFavorites(catalogueText(bytes(row, Favorites)));
    case Text::Url:
        if (m_decodedTexts)
            return catalogueText(bytes(row, Url));
        return catalogueText(decryptString(bytes(row, Url)).value());
    }
    return {};
}

ChannelRow ChannelRows::decoded(std::size_t row) const
{
    return ChannelRow{record(row),           text(row, Text::Name),   text(row, Text::Kind),
                      text(row, Text::Lang), text(row, Text::Rating), text(row, Text::Favorites)};
}

void ChannelRows::compact()
{
    if (m_rows.capacity() - m_rows.size() > m_rows.size() / 8 + 64)
        m_rows.shrink_to_fit();
    qsizetype used = 0;
    for (const Entry &e : m_rows)
        used += e.ends[8];
    // Copying costs about what reading did; worth it only when most of the buffer would be dead.
    if (used * 4 > m_buffer.size())
        return;
    QByteArray kept(used, Qt::Uninitialized);
    char *out = kept.data();
    for (Entry &e : m_rows) {
        std::memcpy(out, m_buffer.constData() + e.start, e.ends[8]);
        e.start = quint64(out - kept.constData());
        out += e.ends[8];
    }
    m_buffer = std::move(kept);
}

} // namespace mavrel
