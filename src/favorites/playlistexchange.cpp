#include "playlistexchange.h"

#include "catalogue/kinds.h"
#include "platform/bytetext.h"
#include "player/playlist.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>
#include <QUrlQuery>
#include <QXmlStreamReader>

#include <optional>

using namespace Qt::StringLiterals;

namespace mavrel {
namespace {

// Addresses of audio alone: a favourite of one is a radio station.
constexpr QLatin1StringView kAudioExtensions[] = {
    "mp3"_L1, "aac"_L1, "m4a"_L1, "ogg"_L1, "oga"_L1, "opus"_L1, "flac"_L1, "wav"_L1, "wma"_L1};

// What the player streams; anything else (javascript:, data:, ...) is not imported.
constexpr QLatin1StringView kImportedSchemes[] = {"http"_L1, "https"_L1, "mms"_L1,
                                                  "rtsp"_L1, "rtmp"_L1,  "file"_L1};

Error refusal(ImportRefusal why, QString message)
{
    return {std::move(message), static_cast<qint64>(why)};
}

// A field as UTF-8 on one line: control bytes (CR and LF among them) become spaces, so no field
// can start a line of its own.
QByteArray lineText(QByteArrayView field)
{
    QByteArray text = displayText(field).toUtf8();
    for (char &c : text) {
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    }
    return text;
}

// A quoted attribute value: '"' would end it early, so it becomes '\''.
QByteArray attributeText(QByteArrayView field)
{
    return lineText(field).replace('"', '\'');
}

QByteArray withoutTrailingSlashes(QByteArrayView address)
{
    QByteArray out = address.toByteArray();
    while (out.endsWith('/'))
        out.chop(1);
    return out;
}

int defaultPort(const QString &scheme)
{
    if (scheme == u"http"_s)
        return 80;
    if (scheme == u"https"_s)
        return 443;
    return -1;
}

// The video id of a page `<videoSite>/watch?v=<id>`, or nothing for any other address.
std::optional<QByteArray> videoPageId(const QUrl &url, const QUrl &site)
{
    const QString scheme = url.scheme().toLower();
    if (!site.isValid() || scheme != site.scheme().toLower() ||
        url.host().compare(site.host(), Qt::CaseInsensitive) != 0 ||
        url.port(defaultPort(scheme)) != site.port(defaultPort(scheme)) ||
        url.path() != site.path() + u"/watch"_s)
        return std::nullopt;
    const QString id = QUrlQuery(url).queryItemValue(u"v"_s, QUrl::FullyDecoded);
    if (id.isEmpty())
        return std::nullopt;
    return id.toUtf8();
}

bool isAudioAddress(const QUrl &url)
{
    const QString name = url.path().section(u'/', -1);
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return false;
    const QStringView ext = QStringView(name).sliced(dot + 1);
    for (QLatin1StringView audio : kAudioExtensions) {
        if (ext.compare(audio, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

bool isImportedScheme(const QString &scheme)
{
    for (QLatin1StringView imported : kImportedSchemes) {
        if (scheme.compare(imported, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

QByteArray attributeValue(const PlaylistItem &item, QByteArrayView key)
{
    for (const auto &[name, value] : item.attributes) {
        if (name == key)
            return value;
    }
    return {};
}

bool isVideoAddress(QByteArrayView address)
{
    return address.size() > 8 && address.first(8).compare("youtube=", Qt::CaseInsensitive) == 0;
}

std::optional<Favorite> favoriteFromItem(const PlaylistItem &item, const QUrl &base,
                                         const QUrl &site)
{
    const QByteArray name = item.title.isEmpty() ? item.address : item.title;
    if (isVideoAddress(item.address)) {
        const QByteArray id = favoriteVideoId(item.address).value_or(QByteArray());
        if (id.isEmpty())
            return std::nullopt;
        return videoFavorite(name, id);
    }
    const QUrl url = playlistEntryUrl(item.address, base);
    if (!url.isValid() || !isImportedScheme(url.scheme()))
        return std::nullopt;
    if (const auto id = videoPageId(url, site))
        return videoFavorite(name, *id);

    // An absolute address keeps its spelling, so an exported list reads back as it was written.
    const bool absolute = item.address.toLower().startsWith(url.scheme().toLower().toUtf8() + ':');
    Favorite favorite;
    favorite.name = name;
    favorite.url = absolute ? item.address : url.toString().toUtf8();
    const QByteArray group = attributeValue(item, "group-title");
    if (isCatalogueKind(group))
        favorite.kind = group;
    else if (attributeValue(item, "radio").compare("true", Qt::CaseInsensitive) == 0 ||
             isAudioAddress(url))
        favorite.kind = QByteArray(kKindRadio.data(), kKindRadio.size());
    else
        favorite.kind = QByteArray(kKindTV.data(), kKindTV.size());
    favorite.lang = attributeValue(item, "tvg-language");
    return favorite;
}

// The player's readers forgive broken markup; an import takes only a document that parses.
std::optional<QString> markupError(QByteArrayView data)
{
    QXmlStreamReader reader(QByteArray::fromRawData(data.data(), data.size()));
    while (!reader.atEnd())
        reader.readNext();
    if (reader.hasError())
        return reader.errorString();
    return std::nullopt;
}

} // namespace

QByteArray favoritesPlaylist(const QList<Favorite> &favorites, QByteArrayView videoSite)
{
    const QByteArray site = withoutTrailingSlashes(videoSite);
    QByteArray out = "#EXTM3U\n";
    for (const Favorite &favorite : favorites) {
        QByteArray address = lineText(favorite.url);
        if (const auto id = favoriteVideoId(favorite.url))
            address = site + "/watch?v=" + QUrl::toPercentEncoding(displayText(*id));
        out += "#EXTINF:-1 tvg-language=\"" + attributeText(favorite.lang) + "\" group-title=\"" +
               attributeText(favorite.kind) + "\"," + lineText(favorite.name) + '\n' + address +
               '\n';
    }
    return out;
}

Result<QList<Favorite>> favoritesFromPlaylist(QByteArrayView data, const QUrl &base,
                                              QByteArrayView videoSite)
{
    if (data.size() > kMaxImportBytes)
        return refusal(ImportRefusal::TooLarge,
                       u"The playlist is larger than %1 bytes."_s.arg(kMaxImportBytes));
    PlaylistFormat format = sniffPlaylist(data);
    if (format == PlaylistFormat::None)
        format = playlistFormatFromAddress(base);
    // Neither the bytes nor the name tell: a header-less M3U of absolute addresses still is one.
    const bool guessed = format == PlaylistFormat::None;
    if (guessed)
        format = PlaylistFormat::M3u;
    if (format == PlaylistFormat::Asx || format == PlaylistFormat::Xspf) {
        if (const auto error = markupError(data))
            return refusal(ImportRefusal::NotAPlaylist,
                           u"The playlist's markup is broken: %1"_s.arg(*error));
    }

    const QList<PlaylistItem> items = readPlaylistItems(data, format, kMaxImportEntries);
    const qsizetype entries = std::count_if(items.begin(), items.end(),
                                            [](const auto &item) { return !item.isAlternative; });
    if (entries > kMaxImportEntries)
        return refusal(ImportRefusal::TooLarge,
                       u"The playlist has more than %1 entries."_s.arg(kMaxImportEntries));

    const QUrl site(QString::fromUtf8(withoutTrailingSlashes(videoSite)));
    QList<Favorite> favorites;
    bool groupTaken = false;
    for (const PlaylistItem &item : items) {
        // Alternatives stand in only for an address that could not be imported.
        if (!item.isAlternative)
            groupTaken = false;
        else if (groupTaken)
            continue;
        if (guessed && !isVideoAddress(item.address) &&
            playlistEntryUrl(item.address, QUrl()).isEmpty())
            return refusal(ImportRefusal::NotAPlaylist,
                           u"The file is not a playlist: a line is no address."_s);
        if (auto favorite = favoriteFromItem(item, base, site)) {
            favorites.append(std::move(*favorite));
            groupTaken = true;
        }
    }
    if (favorites.isEmpty())
        return refusal(ImportRefusal::NotAPlaylist,
                       u"The file holds no entry that can be imported."_s);
    return favorites;
}

Result<QList<Favorite>> readPlaylistFile(const QString &path, QByteArrayView videoSite)
{
    const QFileInfo info(path);
    if (!info.exists())
        return refusal(ImportRefusal::Unreadable, u"%1 does not exist."_s.arg(path));
    // A FIFO or a device could block the open or never end.
    if (!info.isFile())
        return refusal(ImportRefusal::Unreadable, u"%1 is not a regular file."_s.arg(path));
    if (info.size() > kMaxImportBytes)
        return refusal(ImportRefusal::TooLarge,
                       u"%1 is larger than %2 bytes."_s.arg(path).arg(kMaxImportBytes));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refusal(ImportRefusal::Unreadable,
                       u"%1 cannot be opened: %2"_s.arg(path, file.errorString()));
    // The file may have grown since it was looked at: one byte more shows it.
    const QByteArray data = file.read(kMaxImportBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return refusal(ImportRefusal::Unreadable,
                       u"%1 cannot be read: %2"_s.arg(path, file.errorString()));
    return favoritesFromPlaylist(data, QUrl::fromLocalFile(info.absoluteFilePath()), videoSite);
}

} // namespace mavrel
