#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

namespace mavrel {

// One catalogue line. Fields are the file's bytes, untouched; url is held plain.
struct ChannelRecord
{
    QByteArray id;
    QByteArray name;
    QByteArray kind;
    QByteArray url;
    QByteArray lang;
    QByteArray spare1;
    QByteArray spare2;
    QByteArray favorites;
    QByteArray rating;

    static constexpr int kFieldCount = 9;

    // Needs at least nine fields and an address that unscrambles; lines without "|" are not
    // channels and fail too (callers skip those before parsing).
    static Result<ChannelRecord> parse(QByteArrayView line);

    // "id|name|kind|url|lang|spare1|spare2|favorites|rating|" + CR LF, url scrambled. Bytes the
    // line cannot carry are replaced (makeCarriable), so the line always reads back as nine
    // fields. Fails when the address is too long to scramble.
    Result<QByteArray> toLine() const;

    friend bool operator==(const ChannelRecord &, const ChannelRecord &) = default;
};

// A line split on "|", views into the caller's buffer.
QList<QByteArrayView> splitFields(QByteArrayView line);

// The favourites line: name|url|kind|lang, scrambled as a whole.
struct FourFieldRecord
{
    QByteArray name;
    QByteArray url;
    QByteArray kind;
    QByteArray lang;

    // Fails for a line that holds no "|" once unscrambled (not a favourite); missing fields
    // are empty.
    static Result<FourFieldRecord> parse(QByteArrayView scrambledLine);
    // Without the line end; bytes the line cannot carry are replaced (makeCarriable).
    Result<QByteArray> toScrambledLine() const;

    friend bool operator==(const FourFieldRecord &, const FourFieldRecord &) = default;
};

} // namespace mavrel
