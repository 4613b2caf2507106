// Playlists as any server on the internet may send them: sniffing and reading ASX/WAX/WVX,
// "[Reference]", M3U, PLS, WPL and XSPF from arbitrary bytes, under every format hint, and
// importing them as favourites.
#include "favorites/playlistexchange.h"
#include "fuzzcheck.h"
#include "player/playlist.h"

using namespace mavrel;

namespace {

constexpr PlaylistFormat kHints[] = {
    PlaylistFormat::None, PlaylistFormat::Asx, PlaylistFormat::Reference, PlaylistFormat::M3u,
    PlaylistFormat::Pls,  PlaylistFormat::Wpl, PlaylistFormat::Xspf};

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    // Qt's warnings about names holding NUL would drown the fuzzer's own output.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *bytes, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the hint; the rest is the document.
    const PlaylistFormat hint = kHints[bytes[0] % std::size(kHints)];
    const QByteArrayView data(reinterpret_cast<const char *>(bytes) + 1, qsizetype(size - 1));
    static const QUrl base(QStringLiteral("http://radio.example/lists/channel.asx?id=1"));

    sniffPlaylist(data);
    const QList<PlaylistEntry> entries = parsePlaylist(data, base, hint);
    check(entries.size() <= kMaxPlaylistEntries);
    for (const PlaylistEntry &entry : entries)
        check(entry.url.isValid() && !entry.url.isEmpty());

    if (const Result<QList<Favorite>> imported =
            favoritesFromPlaylist(data, base, "http://v.example"))
        check(imported.value().size() <= kMaxImportEntries);

    // The same bytes as a content type, and as text handed to the player.
    classifyContentType(data.first(std::min<qsizetype>(data.size(), 200)));
    playlistFormatFromContentType(data.first(std::min<qsizetype>(data.size(), 200)));
    mediaLocationFromText(QString::fromLatin1(data.first(std::min<qsizetype>(data.size(), 300))));
    return 0;
}
