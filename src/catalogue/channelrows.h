#pragma once

#include "catalogue/channelrecord.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstddef>
#include <iterator>
#include <vector>

namespace mavrel {

bool isAsciiBytes(QByteArrayView bytes);
// displayText, with the usual all-ASCII field decided without a full check.
QString catalogueText(QByteArrayView bytes);

// One row of the channel list, decoded: the record's bytes (reports, favourites and playback use
// them) and the texts the list shows.
struct ChannelRow
{
    ChannelRecord record; // url plain
    QString name;
    QString kind;
    QString lang;
    QString rating;    // formatRating
    QString favorites; // padFavorites

    QString urlText() const;
};

// The rows of a load. The catalogue's bytes stay in one buffer that every copy shares, so a
// catalogue replaced on disk does not touch rows already made; per row only the positions of
// its nine fields are kept, and texts are decoded when asked for.
class ChannelRows
{
public:
    enum class Text
    {
        Name,
        Kind,
        Lang,
        Rating,    // formatRating
        Favorites, // padFavorites
        Url        // plain
    };
    enum Field
    {
        Id,
        Name,
        Kind,
        Url, // scrambled, unless made from decoded rows
        Lang,
        Spare1,
        Spare2,
        Favorites,
        Rating
    };

    ChannelRows() = default;
    // Rows made elsewhere (tests, tools): the texts are what the list shows, and the record's
    // name, kind, lang, favorites and rating become the UTF-8 of those texts.
    static ChannelRows fromDecoded(const std::vector<ChannelRow> &rows);

    std::size_t size() const { return m_rows.size(); }
    bool empty() const { return m_rows.empty(); }

    ChannelRow operator[](std::size_t row) const { return decoded(row); }
    ChannelRow decoded(std::size_t row) const;
    ChannelRecord record(std::size_t row) const;
    QString text(std::size_t row, Text which) const;
    // The field as it is held, without decoding.
    QByteArrayView bytes(std::size_t row, Field field) const
    {
        const Entry &e = m_rows[row];
        const quint32 begin = field == 0 ? 0 : e.ends[std::size_t(field) - 1] + 1;
        return QByteArrayView(m_buffer.constData() + e.start + begin,
                              qsizetype(e.ends[std::size_t(field)] - begin));
    }
    // The bytes held for all rows (shared between copies).
    qsizetype bufferBytes() const { return m_buffer.capacity(); }

    class const_iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = ChannelRow;
        using difference_type = std::ptrdiff_t;
        using pointer = void;
        using reference = ChannelRow;

        const_iterator() = default;
        const_iterator(const ChannelRows *rows, std::size_t index) : m_rows(rows), m_index(index) {}
        ChannelRow operator*() const { return m_rows->decoded(m_index); }
        const_iterator &operator++()
        {
            ++m_index;
            return *this;
        }
        const_iterator operator++(int)
        {
            const_iterator before = *this;
            ++m_index;
            return before;
        }
        friend bool operator==(const const_iterator &, const const_iterator &) = default;

    private:
        const ChannelRows *m_rows = nullptr;
        std::size_t m_index = 0;
    };
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }

    // Building, for the load: the buffer is the catalogue as read, each row a line in it.
    void setBuffer(QByteArray buffer) { m_buffer = std::move(buffer); }
    QByteArray &buffer() { return m_buffer; }
    // ends: where each field ends, counted from the line's start.
    void append(qsizetype lineStart, const std::array<quint32, 9> &ends)
    {
        m_rows.push_back({quint64(lineStart), ends});
    }
    void reserve(std::size_t rows) { m_rows.reserve(rows); }
    // Drops the bytes no row uses once they are nearly all of the buffer (a few rows shown out of
    // a big catalogue), and spare room in the row list.
    void compact();

private:
    struct Entry
    {
        quint64 start;
        std::array<quint32, 9> ends;
    };

    QByteArray m_buffer;
    std::vector<Entry> m_rows;
    bool m_decodedTexts = false; // fromDecoded: texts held as shown, addresses plain
};

} // namespace mavrel
