#pragma once

#include "catalogue/channelrecord.h"
#include "platform/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <optional>

namespace mavrel {

// One favourite: name, address, kind and lang, as bytes. A video of the video site has the
// address "youtube=" + its id and empty kind and lang.
using Favorite = FourFieldRecord;

// What other windows (the submission window) may do with the favourites.
class FavoriteList
{
public:
    virtual ~FavoriteList();
    // Appends a row; the list shows it as the file will give it back (see carriableFavorite).
    virtual void addFavorite(const Favorite &favorite) = 0;
    // Rewrites the file from the list, in the order shown. When the file cannot be replaced the
    // list itself is kept, and the user has been told.
    virtual Result<void> saveFavorites() = 0;
};

// The favourite as a save and a load give it back: the bytes the four-field line cannot carry
// ("|" anywhere, the bytes that scramble to CR or LF, byte 255) are replaced as the line writer
// replaces them. Rows are normalised when they are added, so the list never shows what the
// file would not keep.
Favorite carriableFavorite(const Favorite &favorite);

// The favourites of a file: a missing or unreadable file is an empty list; a line without "|"
// once unscrambled is skipped.
QList<Favorite> readFavorites(const QString &path);

// The file's bytes for a list: one scrambled line with CR LF per favourite. Fails when a
// favourite is too long to scramble.
Result<QByteArray> favoritesFileBytes(const QList<Favorite> &favorites);

// Replaces the file atomically: afterwards it holds either the old list or the new one, also
// after a crash or a full disk.
Result<void> writeFavorites(const QString &path, const QList<Favorite> &favorites);

// The favourite of a video of the video site.
Favorite videoFavorite(const QByteArray &title, const QByteArray &videoId);

// The video id of a favourite whose address holds "youtube=" (any letter case): the text after
// the first "=" up to the next one. Nothing for a stream address.
std::optional<QByteArray> favoriteVideoId(QByteArrayView address);

// The channel actions menu: its items in order, and the action word each one hands on.
struct ActionItem
{
    const char *caption; // "-" is a separator line
    const char *word;    // nullptr for a separator
};
inline constexpr ActionItem kChannelActionItems[] = {
    {"Add to Favorites", "Favorites"},     {"-", nullptr},
    {"Rate 5 Stars - Love it", "Rate5"},   {"Rate 4 Stars - Like it a lot", "Rate4"},
    {"Rate 3 Stars - It's ok", "Rate3"},   {"Rate 2 Stars - Don't like it", "Rate2"},
    {"Rate 1 Stars - Hate it", "Rate1"},   {"-", nullptr},
    {"Report Channel Offline", "Offline"},
};
inline constexpr ActionItem kVideoActionItems[] = {
    {"Add to Favorites", "Favorites"},
};

// What an action word asks for.
struct ChannelAction
{
    enum Kind
    {
        None,
        AddFavorite,
        Rate,
        ReportOffline,
    };
    Kind kind = None;
    QByteArray stars; // "1".."5" for Rate
};
ChannelAction parseActionWord(QByteArrayView word);

} // namespace mavrel
