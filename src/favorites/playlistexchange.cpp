#include "favorites/playlistexchange.h"

#include "catalogue/kinds.h"
#include "platform/bytetext.h"
#include "player/mediakinds.h"
#include "player/playlist.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>
#include <QUrlQuery>

#include <algorithm>
#include <cctype>
#include <optional>

using namespace Qt::StringLiterals;

namespace mavrel {
namespace {

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
    if (!url.isValid() || !isPlayableScheme(url.scheme()))
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
             isAudioFileName(url.path()))
        favorite.kind = QByteArray(kKindRadio.data(), kKindRadio.size());
    else
        favorite.kind = QByteArray(kKindTV.data(), kKindTV.size());
    favorite.lang = attributeValue(item, "tvg-language");
    return favorite;
}

// The bytes as UTF-8 without a byte order mark, for the markup check; refers to `data` unless
// that is UTF-16.
QByteArray utf8Document(QByteArrayView data)
{
    if (data.startsWith("\xFF\xFE") || data.startsWith("\xFE\xFF")) {
        QStringDecoder decoder(data[0] == '\xFF' ? QStringDecoder::Utf16LE
                                                 : QStringDecoder::Utf16BE);
        return QString(decoder.decode(data.sliced(2))).toUtf8();
    }
    const QByteArrayView text = data.sliced(data.startsWith("\xEF\xBB\xBF") ? 3 : 0);
    return QByteArray::fromRawData(text.data(), text.size());
}

bool isXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isXmlNameStart(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool isXmlNameChar(char c)
{
    return isXmlNameStart(c) || (c >= '0' && c <= '9') || c == '-' || c == '.';
}

// Every '&' starts a reference that ends in ';': "&name;", "&#123;" or "&#x7B;".
bool referencesEnd(QByteArrayView text)
{
    for (qsizetype amp = text.indexOf('&'); amp >= 0; amp = text.indexOf('&', amp + 1)) {
        const qsizetype semi = text.first(std::min(text.size(), amp + 34)).indexOf(';', amp);
        if (semi < 0)
            return false;
        const QByteArrayView name = text.sliced(amp + 1, semi - amp - 1);
        const bool hex = name.startsWith("#x");
        const QByteArrayView digits = name.sliced(std::min<qsizetype>(name.size(), hex ? 2 : 1));
        bool ok = !name.isEmpty();
        if (ok && name[0] == '#') {
            ok = !digits.isEmpty();
            for (char c : digits)
                ok = ok && (std::isdigit(static_cast<unsigned char>(c)) ||
                            (hex && std::isxdigit(static_cast<unsigned char>(c))));
        } else if (ok) {
            ok = isXmlNameStart(name[0]) && std::all_of(name.begin(), name.end(), isXmlNameChar);
        }
        if (!ok)
            return false;
    }
    return true;
}

// Whether the document is well-formed XML, as far as bytes show it: one root element, end tags
// matching in order, quoted attribute values, references that end, and comments, CDATA sections,
// processing instructions and the document type closed. The player's readers forgive broken
// markup, an import does not; a full XML reader took most of an import's time on big lists.
std::optional<QString> markupError(QByteArrayView data)
{
    QList<QByteArrayView> open;
    bool rootSeen = false;
    qsizetype i = 0;
    const qsizetype n = data.size();
    const auto at = [&](QByteArrayView what) {
        return std::optional<QString>(u"%1 at byte %2"_s.arg(QLatin1StringView(what)).arg(i));
    };
    const auto skipPast = [&](QByteArrayView end) {
        const qsizetype found = data.indexOf(end, i);
        i = found < 0 ? n + 1 : found + end.size();
        return found >= 0;
    };
    const auto skipSpace = [&](qsizetype *p) {
        while (*p < n && isXmlSpace(data[*p]))
            ++*p;
    };
    while (i < n) {
        if (data[i] != '<') {
            qsizetype stop = data.indexOf('<', i);
            if (stop < 0)
                stop = n;
            const QByteArrayView text = data.sliced(i, stop - i);
            if (open.isEmpty() && !std::all_of(text.begin(), text.end(), isXmlSpace))
                return at("text outside the root element");
            if (!referencesEnd(text))
                return at("a broken reference");
            i = stop;
            continue;
        }
        const QByteArrayView rest = data.sliced(i);
        if (rest.startsWith("<!--")) {
            i += 4;
            const qsizetype body = i;
            if (!skipPast("-->") || data.sliced(body, i - 3 - body).contains("--"))
                return at("an unclosed or broken comment");
        } else if (rest.startsWith("<?")) {
            i += 2;
            if (!skipPast("?>"))
                return at("an unclosed processing instruction");
        } else if (rest.startsWith("<![CDATA[")) {
            if (open.isEmpty() || !skipPast("]]>"))
                return at("a misplaced or unclosed CDATA section");
        } else if (rest.startsWith("<!DOCTYPE")) {
            const qsizetype gt = data.indexOf('>', i);
            const qsizetype bracket = data.indexOf('[', i);
            if (rootSeen || gt < 0)
                return at("a misplaced or unclosed document type");
            i = bracket >= 0 && bracket < gt ? data.indexOf("]", bracket) : gt;
            if (i < 0 || !skipPast(">"))
                return at("an unclosed document type");
        } else {
            const bool closing = rest.size() > 1 && rest[1] == '/';
            qsizetype p = i + (closing ? 2 : 1);
            if (p >= n || !isXmlNameStart(data[p]))
                return at("a '<' that starts no tag");
            const qsizetype nameStart = p;
            while (p < n && isXmlNameChar(data[p]))
                ++p;
            const QByteArrayView name = data.sliced(nameStart, p - nameStart);
            if (closing) {
                skipSpace(&p);
                if (p >= n || data[p] != '>' || open.isEmpty() || open.last() != name)
                    return at("an end tag that closes no open element");
                open.removeLast();
                i = p + 1;
                continue;
            }
            if (rootSeen && open.isEmpty())
                return at("a second root element");
            rootSeen = true;
            for (;;) {
                const qsizetype before = p;
                skipSpace(&p);
                if (p < n && data[p] == '>') {
                    open.append(name);
                    ++p;
                    break;
                }
                if (p + 1 < n && data[p] == '/' && data[p + 1] == '>') {
                    p += 2;
                    break;
                }
                if (p == before || p >= n || !isXmlNameStart(data[p]))
                    return at("a broken tag");
                while (p < n && isXmlNameChar(data[p]))
                    ++p;
                skipSpace(&p);
                if (p >= n || data[p] != '=')
                    return at("an attribute without a value");
                ++p;
                skipSpace(&p);
                if (p >= n || (data[p] != '"' && data[p] != '\''))
                    return at("an unquoted attribute value");
                const qsizetype close = data.indexOf(data[p], p + 1);
                if (close < 0)
                    return at("an unclosed attribute value");
                const QByteArrayView value = data.sliced(p + 1, close - p - 1);
                if (value.contains('<') || !referencesEnd(value))
                    return at("a broken attribute value");
                p = close + 1;
            }
            i = p;
        }
    }
    if (!open.isEmpty())
        return at("an unclosed element");
    if (!rootSeen)
        return at("no root element");
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
        if (const auto error = markupError(utf8Document(data)))
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
    // The reasons follow the file's name in the window's message.
    const QFileInfo info(path);
    if (!info.exists())
        return refusal(ImportRefusal::Unreadable, u"it does not exist"_s);
    // A FIFO or a device could block the open or never end.
    if (!info.isFile())
        return refusal(ImportRefusal::Unreadable, u"it is not a regular file"_s);
    if (info.size() > kMaxImportBytes)
        return refusal(ImportRefusal::TooLarge,
                       u"it is larger than %1 bytes"_s.arg(kMaxImportBytes));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return refusal(ImportRefusal::Unreadable, file.errorString());
    // The file may have grown since it was looked at: one byte more shows it.
    const QByteArray data = file.read(kMaxImportBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return refusal(ImportRefusal::Unreadable, file.errorString());
    return favoritesFromPlaylist(data, QUrl::fromLocalFile(info.absoluteFilePath()), videoSite);
}

} // namespace mavrel
