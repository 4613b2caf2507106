#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QUrl>

#include <utility>

// Playlists and metafiles that stand in for a stream: recognising them and reading their entries.
// Pure functions on bytes; fetching is the caller's business.
namespace mavrel {

enum class PlaylistFormat
{
    None,
    Asx,       // Windows Media metafile (.asx/.wax/.wvx/.wmx): XML-ish <ref href> / <entryref href>
    Reference, // "[Reference]" file with Ref1=, Ref2=, ...
    M3u,       // M3U / M3U8 (but not an HTTP live-streaming manifest)
    Pls,       // "[playlist]" with File1=, File2=, ...
    Wpl,       // SMIL-based playlist with <media src>
    Xspf,      // XML shareable playlist: <track><location> and <title>
};

struct PlaylistEntry
{
    QUrl url;
    // Set for <entryref>: the entry is itself a playlist and must be read, not played.
    bool isPlaylist = false;

    friend bool operator==(const PlaylistEntry &, const PlaylistEntry &) = default;
};

// Most entries a single playlist contributes; a larger file is cut, not rejected.
inline constexpr int kMaxPlaylistEntries = 64;

// The format the first bytes of a document show, or None. An HTTP live-streaming manifest is
// None: the engine plays those itself.
PlaylistFormat sniffPlaylist(QByteArrayView head);

// The format an address's file name suggests (.asx, .m3u, ...), or None.
PlaylistFormat playlistFormatFromAddress(const QUrl &url);

enum class ContentKind
{
    Playlist, // the server says it is a playlist
    Media,    // the server says it is audio or video
    Unknown,  // nothing conclusive (text, octet-stream, none, or a type used for both)
};

// What a Content-Type header (parameters allowed) says about the body.
ContentKind classifyContentType(QByteArrayView contentType);

// The format a playlist Content-Type names, or None.
PlaylistFormat playlistFormatFromContentType(QByteArrayView contentType);

// Reads the entries of a playlist in document order. `hint` is used when the bytes themselves
// do not show the format (an M3U without its header line). Relative entries resolve against
// `base`. Tolerant: malformed markup yields whatever entries can still be read.
QList<PlaylistEntry> parsePlaylist(QByteArrayView data, const QUrl &base,
                                   PlaylistFormat hint = PlaylistFormat::None);

// One entry with what the document says about it, for callers that keep more than the address
// (favourites imported from a playlist).
struct PlaylistItem
{
    QByteArray address; // as written, trimmed, entities decoded; see playlistEntryUrl
    QByteArray title;   // as written; empty when the document names none
    // An M3U entry's #EXTINF attributes (key="value"), keys in lower case.
    QList<std::pair<QByteArray, QByteArray>> attributes;
    bool isPlaylist = false;
    // Another address of the item before it: a further <ref> of an ASX <entry>, a further
    // <location> of an XSPF <track>.
    bool isAlternative = false;
};

// The items of a document read as `format` (sniffed or hinted by the caller), in document order.
// Stops at `maxItems` + 1 items that are not alternatives, so a caller tells a longer list from
// one of exactly `maxItems`. Tolerant like parsePlaylist; nothing for None or a live-streaming
// manifest.
QList<PlaylistItem> readPlaylistItems(QByteArrayView data, PlaylistFormat format,
                                      qsizetype maxItems);

// An entry's address as a URL: one with a scheme as it is, a drive-letter or absolute path as a
// file, anything else against `base`; an empty URL when that cannot be done.
QUrl playlistEntryUrl(QByteArrayView address, const QUrl &base);

// Turns what a caller hands the player (an address, a local path, a file: URL) into a URL.
// A bare path, absolute or relative, and a drive-letter path become file: URLs.
QUrl mediaLocationFromText(const QString &text);

} // namespace mavrel
