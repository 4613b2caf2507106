#pragma once

#include "favorites/favorites.h"
#include "platform/result.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

// Favourites out to an extended M3U and playlists in to favourites.
namespace mavrel {

// A playlist larger than either is refused whole.
inline constexpr int kMaxImportEntries = 100'000;
inline constexpr qint64 kMaxImportBytes = 32 * 1024 * 1024;

// Why an import was refused; the window says it in the user's language.
enum class ImportRefusal
{
    Unreadable = 1, // the file could not be opened or read (Error::message says why)
    TooLarge,       // over kMaxImportBytes or kMaxImportEntries
    NotAPlaylist,   // no format recognised, broken markup, or no entry at all
};

// An extended M3U (UTF-8, "#EXTM3U" first) of the favourites in their order: per favourite
// `#EXTINF:-1 tvg-language="<lang>" group-title="<kind>",<name>` and then its address. A video of
// the video site is written as its page on `videoSite` (the site's address, as videoSiteAddress()
// gives it): `<videoSite>/watch?v=<id>`. Lines end with "\n"; fields are written as UTF-8 text,
// control bytes (CR and LF among them) as spaces and a '"' in an attribute value as '\'', so no
// field breaks the line structure.
QByteArray favoritesPlaylist(const QList<Favorite> &favorites, QByteArrayView videoSite);

// The favourites a playlist's entries make (M3U/M3U8, PLS, ASX/WAX/WVX, XSPF), in its order,
// before carriableFavorite(): names from the playlist (the address when it has none), the kind
// "Radio" for `radio="true"` or an audio-only address and "TV" otherwise (a `group-title` that is
// one of the catalogue's kinds wins), the language from `tvg-language`. A page of the video
// site's videos on `videoSite` becomes that video's favourite. Relative entries resolve against
// `base`. Refused (Error::code an ImportRefusal) when too large or not a playlist.
// Audio-only addresses end in .mp3, .aac, .m4a, .ogg, .oga, .opus, .flac, .wav or .wma. Only http,
// https, mms, rtsp, rtmp and file addresses and "youtube=<id>" are taken; an ASX <entry> or XSPF
// <track> gives one favourite, its first address that is taken. ASX and XSPF must be well-formed
// XML. A document whose format neither its bytes nor `base`'s name show is read as an M3U only
// when every entry is an absolute address (a text file is no playlist).
Result<QList<Favorite>> favoritesFromPlaylist(QByteArrayView data, const QUrl &base,
                                              QByteArrayView videoSite);

// The same for a file: refuses a file over kMaxImportBytes without reading it, and anything that
// is not a regular file (a FIFO, a device) without opening it. Blocks on the file system: call
// it off the GUI thread.
Result<QList<Favorite>> readPlaylistFile(const QString &path, QByteArrayView videoSite);

} // namespace mavrel
