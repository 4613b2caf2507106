#include "playlist.h"

#include "platform/bytetext.h"

#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>

#include <algorithm>
#include <limits>
#include <utility>

using namespace Qt::StringLiterals;

namespace mavrel {
namespace {

constexpr qsizetype kSniffWindow = 4096;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// By hand rather than through compare(): whole documents of many megabytes are searched.
bool startsWithNoCase(QByteArrayView data, qsizetype pos, QByteArrayView prefix)
{
    if (pos < 0 || data.size() - pos < prefix.size())
        return false;
    for (qsizetype i = 0; i < prefix.size(); ++i) {
        if (asciiLower(data[pos + i]) != asciiLower(prefix[i]))
            return false;
    }
    return true;
}

qsizetype indexOfNoCase(QByteArrayView data, qsizetype from, QByteArrayView needle)
{
    if (needle.isEmpty())
        return from;
    const char first = asciiLower(needle[0]);
    for (qsizetype i = from; i + needle.size() <= data.size(); ++i) {
        if (asciiLower(data[i]) == first && startsWithNoCase(data, i, needle))
            return i;
    }
    return -1;
}

// UTF-16 documents (some metafiles are saved that way) become UTF-8; a UTF-8 byte order mark
// goes. Anything else is not copied: the result refers to `data` and must not outlive it.
QByteArray normalised(QByteArrayView data)
{
    if (data.size() >= 2) {
        const auto b0 = static_cast<unsigned char>(data[0]);
        const auto b1 = static_cast<unsigned char>(data[1]);
        if ((b0 == 0xFF && b1 == 0xFE) || (b0 == 0xFE && b1 == 0xFF)) {
            QStringDecoder decoder(b0 == 0xFF ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE);
            const QString text = decoder.decode(data.sliced(2));
            return text.toUtf8();
        }
    }
    const QByteArrayView text = data.sliced(data.startsWith("\xEF\xBB\xBF") ? 3 : 0);
    return QByteArray::fromRawData(text.data(), text.size());
}

// Position of the first element tag, past white space, processing instructions, comments and
// declarations; -1 when the document does not start with markup.
qsizetype firstElement(QByteArrayView data, bool *sawWplInstruction)
{
    qsizetype pos = 0;
    while (pos < data.size()) {
        while (pos < data.size() && isSpace(data[pos]))
            ++pos;
        if (pos >= data.size() || data[pos] != '<')
            return -1;
        if (startsWithNoCase(data, pos, "<?")) {
            if (startsWithNoCase(data, pos, "<?wpl") && sawWplInstruction)
                *sawWplInstruction = true;
            const qsizetype end = data.indexOf("?>", pos);
            if (end < 0)
                return -1;
            pos = end + 2;
        } else if (startsWithNoCase(data, pos, "<!--")) {
            const qsizetype end = data.indexOf("-->", pos + 4);
            if (end < 0)
                return -1;
            pos = end + 3;
        } else if (startsWithNoCase(data, pos, "<!")) {
            const qsizetype end = data.indexOf('>', pos);
            if (end < 0)
                return -1;
            pos = end + 1;
        } else {
            return pos;
        }
    }
    return -1;
}

bool isHttpLiveManifest(QByteArrayView data)
{
    return indexOfNoCase(data, 0, "#EXT-X-") >= 0;
}

QByteArray decodeEntities(QByteArrayView value)
{
    QByteArray out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] != '&') {
            // The text up to the next reference in one piece: byte by byte is slow on big lists.
            qsizetype next = value.indexOf('&', i);
            if (next < 0)
                next = value.size();
            out += value.sliced(i, next - i);
            i = next - 1;
            continue;
        }
        // Names are short: a long search per '&' would make a run of them quadratic.
        const qsizetype semi = value.first(std::min(value.size(), i + 12)).indexOf(';', i);
        if (semi < 0 || semi - i > 10) {
            out += '&';
            continue;
        }
        const QByteArrayView name = value.sliced(i + 1, semi - i - 1);
        QByteArray replacement;
        if (name == "amp")
            replacement = "&";
        else if (name == "lt")
            replacement = "<";
        else if (name == "gt")
            replacement = ">";
        else if (name == "quot")
            replacement = "\"";
        else if (name == "apos")
            replacement = "'";
        else if (name.startsWith('#') && name.size() > 1) {
            bool ok = false;
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const uint code = hex ? name.sliced(2).toUInt(&ok, 16) : name.sliced(1).toUInt(&ok, 10);
            if (ok && code > 0 && code <= 0x10FFFF) {
                const char32_t c = code;
                replacement = QString::fromUcs4(&c, 1).toUtf8();
            }
        }
        if (replacement.isEmpty()) {
            out += '&';
            continue;
        }
        out += replacement;
        i = semi;
    }
    return out;
}

// End of a tag that starts at `lt`: the first '>' outside a quoted value. A quote that is not
// closed before the next '>' is taken as a literal character, so one broken tag cannot swallow
// the rest of the document.
qsizetype tagEnd(QByteArrayView data, qsizetype lt)
{
    // A quote closed before the next '>' holds no '>', and one that is not is literal: either way
    // the tag ends at the next '>', found in one pass rather than once per quote.
    const qsizetype gt = data.indexOf('>', lt + 1);
    return gt < 0 ? data.size() : gt;
}

// The value of one attribute of a tag body (the text between the name and '>'), or a null
// array when absent.
QByteArray attribute(QByteArrayView body, QByteArrayView wanted)
{
    qsizetype i = 0;
    while (i < body.size()) {
        while (i < body.size() && (isSpace(body[i]) || body[i] == '/'))
            ++i;
        const qsizetype nameStart = i;
        while (i < body.size() && !isSpace(body[i]) && body[i] != '=' && body[i] != '/')
            ++i;
        const QByteArrayView name = body.sliced(nameStart, i - nameStart);
        while (i < body.size() && isSpace(body[i]))
            ++i;
        QByteArrayView value;
        bool hasValue = false;
        if (i < body.size() && body[i] == '=') {
            ++i;
            while (i < body.size() && isSpace(body[i]))
                ++i;
            hasValue = true;
            if (i < body.size() && (body[i] == '"' || body[i] == '\'')) {
                const char quote = body[i];
                qsizetype close = body.indexOf(quote, i + 1);
                if (close < 0) {
                    // Unclosed: the value ends where the white space starts.
                    close = i + 1;
                    while (close < body.size() && !isSpace(body[close]))
                        ++close;
                    value = body.sliced(i + 1, close - i - 1);
                    i = close;
                } else {
                    value = body.sliced(i + 1, close - i - 1);
                    i = close + 1;
                }
            } else {
                const qsizetype start = i;
                while (i < body.size() && !isSpace(body[i]))
                    ++i;
                value = body.sliced(start, i - start);
            }
        }
        if (name.isEmpty() && !hasValue) {
            ++i; // a stray character: step over it
            continue;
        }
        if (hasValue && name.compare(wanted, Qt::CaseInsensitive) == 0)
            return decodeEntities(value);
    }
    return {};
}

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || c == ':' || c == '.';
}

// Calls `visit(name, body, isClosing, end)` for every tag outside comments and CDATA sections in
// document order, `end` being the position of its '>', while `visit` returns true.
template<typename Visit> void forEachTag(QByteArrayView data, Visit &&visit)
{
    qsizetype pos = 0;
    while (pos < data.size()) {
        const qsizetype lt = data.indexOf('<', pos);
        if (lt < 0)
            break;
        const bool comment = startsWithNoCase(data, lt, "<!--");
        if (comment || startsWithNoCase(data, lt, "<![CDATA[")) {
            const qsizetype end = data.indexOf(comment ? "-->" : "]]>", lt + 4);
            if (end < 0)
                break;
            pos = end + 3;
            continue;
        }
        const bool closing = lt + 1 < data.size() && data[lt + 1] == '/';
        const qsizetype nameStart = lt + 1 + (closing ? 1 : 0);
        qsizetype nameEnd = nameStart;
        while (nameEnd < data.size() && isNameChar(data[nameEnd]))
            ++nameEnd;
        const QByteArrayView name = data.sliced(nameStart, nameEnd - nameStart);
        if (name.isEmpty()) {
            pos = lt + 1; // "<?...", a stray '<'
            continue;
        }
        const qsizetype end = tagEnd(data, lt);
        if (!visit(name, data.sliced(nameEnd, end - nameEnd), closing, end))
            break;
        pos = end + 1;
    }
}

bool isTag(QByteArrayView name, QByteArrayView wanted)
{
    return name.size() == wanted.size() && startsWithNoCase(name, 0, wanted);
}

// The text of an element whose start tag ends at `from`: up to the next tag, CDATA sections
// taken as they are, white space runs made one space.
QByteArray elementText(QByteArrayView data, qsizetype from)
{
    QByteArray text;
    qsizetype pos = from + 1;
    while (pos < data.size()) {
        qsizetype lt = data.indexOf('<', pos);
        if (lt < 0)
            lt = data.size();
        text += decodeEntities(data.sliced(pos, lt - pos));
        if (!startsWithNoCase(data, lt, "<![CDATA["))
            break;
        const qsizetype close = data.indexOf("]]>", lt + 9);
        if (close < 0)
            break;
        text += data.sliced(lt + 9, close - lt - 9);
        pos = close + 3;
    }
    return text.simplified();
}

// Collects items, counting those that are not alternatives against the limit.
class ItemSink
{
public:
    explicit ItemSink(qsizetype maxItems) : m_maxItems(maxItems) {}

    // False once the limit has been passed: the caller stops reading.
    bool add(PlaylistItem item)
    {
        if (item.address.trimmed().isEmpty())
            return true;
        item.address = item.address.trimmed();
        if (!item.isAlternative)
            ++m_count;
        m_items.append(std::move(item));
        return m_count <= m_maxItems;
    }
    QList<PlaylistItem> &items() { return m_items; }

private:
    qsizetype m_maxItems;
    qsizetype m_count = 0;
    QList<PlaylistItem> m_items;
};

// ASX <entry> and XSPF <track>: a group of addresses (the first one the item, the rest its
// alternatives) and a title, which may come before or after the addresses.
class ItemGroup
{
public:
    void open(qsizetype firstIndex)
    {
        m_open = true;
        m_first = firstIndex;
        m_title.clear();
        m_titled = false;
    }
    void close() { m_open = false; }
    bool isOpen() const { return m_open; }
    // Addresses before the first title get it; later ones take it as they come, so each item is
    // visited once however many titles the group repeats.
    void setTitle(QList<PlaylistItem> &items, const QByteArray &title)
    {
        if (!m_titled) {
            for (qsizetype i = m_first; i < items.size(); ++i)
                items[i].title = title;
        }
        m_titled = true;
        m_title = title;
    }
    PlaylistItem item(const QList<PlaylistItem> &items, QByteArray address) const
    {
        PlaylistItem item;
        item.address = std::move(address);
        if (m_open) {
            item.title = m_title;
            item.isAlternative = items.size() > m_first;
        }
        return item;
    }

private:
    bool m_open = false;
    qsizetype m_first = 0;
    QByteArray m_title;
    bool m_titled = false;
};

QList<PlaylistItem> asxItems(QByteArrayView data, qsizetype maxItems)
{
    ItemSink sink(maxItems);
    ItemGroup entry;
    forEachTag(data, [&](QByteArrayView name, QByteArrayView body, bool closing, qsizetype end) {
        if (isTag(name, "entry")) {
            if (closing)
                entry.close();
            else
                entry.open(sink.items().size());
            return true;
        }
        if (closing)
            return true;
        if (isTag(name, "title") && entry.isOpen()) {
            entry.setTitle(sink.items(), elementText(data, end));
        } else if (isTag(name, "ref")) {
            return sink.add(entry.item(sink.items(), attribute(body, "href")));
        } else if (isTag(name, "entryref")) {
            PlaylistItem item;
            item.address = attribute(body, "href");
            item.isPlaylist = true;
            return sink.add(std::move(item));
        }
        return true;
    });
    return std::move(sink.items());
}

QList<PlaylistItem> xspfItems(QByteArrayView data, qsizetype maxItems)
{
    ItemSink sink(maxItems);
    ItemGroup track;
    forEachTag(data, [&](QByteArrayView name, QByteArrayView, bool closing, qsizetype end) {
        if (isTag(name, "track")) {
            if (closing)
                track.close();
            else
                track.open(sink.items().size());
            return true;
        }
        // The playlist's own <title> and <location> are not entries.
        if (closing || !track.isOpen())
            return true;
        if (isTag(name, "title"))
            track.setTitle(sink.items(), elementText(data, end));
        else if (isTag(name, "location"))
            return sink.add(track.item(sink.items(), elementText(data, end)));
        return true;
    });
    return std::move(sink.items());
}

QList<PlaylistItem> wplItems(QByteArrayView data, qsizetype maxItems)
{
    ItemSink sink(maxItems);
    forEachTag(data, [&](QByteArrayView name, QByteArrayView body, bool closing, qsizetype) {
        if (closing || !isTag(name, "media"))
            return true;
        PlaylistItem item;
        item.address = attribute(body, "src");
        return sink.add(std::move(item));
    });
    return std::move(sink.items());
}

// Calls `visit(line)` for every line, trimmed, while it returns true.
template<typename Visit> void forEachLine(QByteArrayView data, Visit &&visit)
{
    qsizetype start = 0;
    while (start <= data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        if (!visit(data.sliced(start, end - start).trimmed()))
            return;
        start = end + 1;
    }
}

// "#EXTINF:<duration> key="value" ...,<title>": the title starts after the first comma outside
// quotes, since attribute values may hold commas.
void readExtinf(QByteArrayView info, PlaylistItem *item)
{
    qsizetype comma = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < info.size() && comma < 0; ++i) {
        if (info[i] == '"')
            quoted = !quoted;
        else if (info[i] == ',' && !quoted)
            comma = i;
    }
    const QByteArrayView head = comma < 0 ? info : info.first(comma);
    if (comma >= 0)
        item->title = info.sliced(comma + 1).trimmed().toByteArray();
    qsizetype i = 0;
    while (i < head.size()) {
        while (i < head.size() && isSpace(head[i]))
            ++i;
        const qsizetype keyStart = i;
        while (i < head.size() && !isSpace(head[i]) && head[i] != '=')
            ++i;
        const QByteArrayView key = head.sliced(keyStart, i - keyStart);
        if (i >= head.size() || head[i] != '=')
            continue; // the duration, or a word without a value
        ++i;
        qsizetype valueEnd;
        qsizetype valueStart = i;
        if (i < head.size() && head[i] == '"') {
            valueStart = i + 1;
            valueEnd = head.indexOf('"', valueStart);
            if (valueEnd < 0)
                valueEnd = head.size();
            i = valueEnd + 1;
        } else {
            while (i < head.size() && !isSpace(head[i]))
                ++i;
            valueEnd = i;
        }
        if (!key.isEmpty())
            item->attributes.append({key.toByteArray().toLower(),
                                     head.sliced(valueStart, valueEnd - valueStart).toByteArray()});
    }
}

QList<PlaylistItem> m3uItems(QByteArrayView data, qsizetype maxItems)
{
    ItemSink sink(maxItems);
    PlaylistItem pending;
    forEachLine(data, [&](QByteArrayView line) {
        if (startsWithNoCase(line, 0, "#EXTINF:")) {
            pending = {};
            readExtinf(line.sliced(8), &pending);
            return true;
        }
        if (line.isEmpty() || line.startsWith('#'))
            return true;
        // Binary lines mean this is a stream, not a list.
        const bool binary = std::any_of(line.begin(), line.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 && c != '\t';
        });
        if (binary)
            return true;
        pending.address = line.toByteArray();
        return sink.add(std::exchange(pending, {}));
    });
    return std::move(sink.items());
}

// "Key<n>=value" lines (PLS File<n>, Reference Ref<n>), in the order of n, with the title of the
// same number under `titleKey` (PLS Title<n>).
QList<PlaylistItem> numberedItems(QByteArrayView data, QByteArrayView key, QByteArrayView titleKey,
                                  qsizetype maxItems)
{
    const auto numbered = [](QByteArrayView line, QByteArrayView key, uint *n) {
        const qsizetype eq = line.indexOf('=');
        if (key.isEmpty() || eq <= key.size() || !startsWithNoCase(line, 0, key))
            return false;
        bool ok = false;
        *n = line.sliced(key.size(), eq - key.size()).trimmed().toUInt(&ok);
        return ok;
    };
    QList<std::pair<uint, QByteArray>> addresses;
    QHash<uint, QByteArray> titles;
    forEachLine(data, [&](QByteArrayView line) {
        uint n = 0;
        if (numbered(line, key, &n)) {
            addresses.append({n, line.sliced(line.indexOf('=') + 1).trimmed().toByteArray()});
            return addresses.size() <= maxItems;
        }
        if (numbered(line, titleKey, &n))
            titles.insert(n, line.sliced(line.indexOf('=') + 1).trimmed().toByteArray());
        return true;
    });
    std::stable_sort(addresses.begin(), addresses.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    ItemSink sink(maxItems);
    for (auto &[n, address] : addresses) {
        PlaylistItem item;
        item.address = std::move(address);
        item.title = titles.value(n);
        if (!sink.add(std::move(item)))
            break;
    }
    return std::move(sink.items());
}

QList<PlaylistItem> itemsOf(const QByteArray &data, PlaylistFormat format, qsizetype maxItems)
{
    switch (format) {
    case PlaylistFormat::None:
        return {};
    case PlaylistFormat::Asx:
        return asxItems(data, maxItems);
    case PlaylistFormat::Wpl:
        return wplItems(data, maxItems);
    case PlaylistFormat::Xspf:
        return xspfItems(data, maxItems);
    case PlaylistFormat::M3u:
        return isHttpLiveManifest(data) ? QList<PlaylistItem>() : m3uItems(data, maxItems);
    case PlaylistFormat::Pls:
        return numberedItems(data, "File", "Title", maxItems);
    case PlaylistFormat::Reference:
        return numberedItems(data, "Ref", {}, maxItems);
    }
    return {};
}

bool hasScheme(const QString &text)
{
    // A scheme needs two characters at least, so "C:\..." stays a path.
    const qsizetype colon = text.indexOf(u':');
    if (colon < 2)
        return false;
    if (!text.at(0).isLetter())
        return false;
    for (qsizetype i = 1; i < colon; ++i) {
        const QChar c = text.at(i);
        if (!(c.isLetterOrNumber() || c == u'+' || c == u'-' || c == u'.'))
            return false;
    }
    return true;
}

bool isDrivePath(const QString &text)
{
    return text.size() >= 2 && text.at(0).isLetter() && text.at(1) == u':' &&
           (text.size() == 2 || text.at(2) == u'\\' || text.at(2) == u'/');
}

QUrl entryUrl(QByteArrayView raw, const QUrl &base)
{
    QString text = displayText(raw.trimmed()).trimmed();
    if (text.isEmpty())
        return {};
    if (hasScheme(text))
        return QUrl(text, QUrl::TolerantMode);
    if (isDrivePath(text))
        return QUrl::fromLocalFile(text);
    if (base.isLocalFile())
        text.replace(u'\\', u'/');
    if (text.startsWith(u'/') && base.isLocalFile())
        return QUrl::fromLocalFile(text);
    if (!base.isValid() || base.isEmpty())
        return {};
    return base.resolved(QUrl(text, QUrl::TolerantMode));
}

} // namespace

PlaylistFormat sniffPlaylist(QByteArrayView rawHead)
{
    const QByteArray head = normalised(rawHead.first(std::min(rawHead.size(), kSniffWindow)));
    bool wpl = false;
    const qsizetype element = firstElement(head, &wpl);
    if (element >= 0) {
        if (startsWithNoCase(head, element, "<asx"))
            return PlaylistFormat::Asx;
        if (wpl || startsWithNoCase(head, element, "<smil"))
            return PlaylistFormat::Wpl;
        if (startsWithNoCase(head, element, "<playlist") &&
            (head.size() == element + 9 || !isNameChar(head[element + 9])))
            return PlaylistFormat::Xspf;
        return PlaylistFormat::None;
    }
    const QByteArrayView text = QByteArrayView(head).trimmed();
    if (startsWithNoCase(text, 0, "#EXTM3U"))
        return isHttpLiveManifest(text) ? PlaylistFormat::None : PlaylistFormat::M3u;
    if (startsWithNoCase(text, 0, "[playlist]"))
        return PlaylistFormat::Pls;
    if (startsWithNoCase(text, 0, "[Reference]"))
        return PlaylistFormat::Reference;
    return PlaylistFormat::None;
}

PlaylistFormat playlistFormatFromAddress(const QUrl &url)
{
    const QString name = url.path().section(u'/', -1).toLower();
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot < 0)
        return PlaylistFormat::None;
    const QStringView ext = QStringView(name).sliced(dot + 1);
    if (ext == u"asx" || ext == u"wax" || ext == u"wvx" || ext == u"wmx")
        return PlaylistFormat::Asx;
    if (ext == u"m3u" || ext == u"m3u8")
        return PlaylistFormat::M3u;
    if (ext == u"pls")
        return PlaylistFormat::Pls;
    if (ext == u"wpl")
        return PlaylistFormat::Wpl;
    if (ext == u"xspf")
        return PlaylistFormat::Xspf;
    return PlaylistFormat::None;
}

namespace {

QByteArray mimeType(QByteArrayView contentType)
{
    const qsizetype semi = contentType.indexOf(';');
    return (semi < 0 ? contentType : contentType.first(semi)).trimmed().toByteArray().toLower();
}

} // namespace

PlaylistFormat playlistFormatFromContentType(QByteArrayView contentType)
{
    const QByteArray type = mimeType(contentType);
    if (type == "audio/x-ms-wax" || type == "video/x-ms-wvx" || type == "video/x-ms-wmx" ||
        type == "video/x-ms-asx" || type == "application/x-ms-asx")
        return PlaylistFormat::Asx;
    if (type == "audio/x-mpegurl" || type == "audio/mpegurl" || type == "application/x-mpegurl" ||
        type == "application/vnd.apple.mpegurl" || type == "audio/x-mpequrl")
        return PlaylistFormat::M3u;
    if (type == "audio/x-scpls" || type == "audio/scpls" || type == "application/pls+xml" ||
        type == "application/pls")
        return PlaylistFormat::Pls;
    if (type == "application/vnd.ms-wpl")
        return PlaylistFormat::Wpl;
    if (type == "application/xspf+xml")
        return PlaylistFormat::Xspf;
    return PlaylistFormat::None;
}

ContentKind classifyContentType(QByteArrayView contentType)
{
    if (playlistFormatFromContentType(contentType) != PlaylistFormat::None)
        return ContentKind::Playlist;
    const QByteArray type = mimeType(contentType);
    // Windows Media servers send both metafiles and the stream itself as video/x-ms-asf.
    if (type == "video/x-ms-asf" || type == "application/octet-stream")
        return ContentKind::Unknown;
    if (type.startsWith("audio/") || type.startsWith("video/") || type == "application/ogg" ||
        type == "application/x-mms-framed" || type == "application/vnd.ms.wms-hdr.asfv1")
        return ContentKind::Media;
    return ContentKind::Unknown;
}

QList<PlaylistEntry> parsePlaylist(QByteArrayView rawData, const QUrl &base, PlaylistFormat hint)
{
    const QByteArray data = normalised(rawData);
    PlaylistFormat format = sniffPlaylist(data);
    if (format == PlaylistFormat::None)
        format = hint;

    QList<PlaylistEntry> entries;
    for (const PlaylistItem &item : itemsOf(data, format, std::numeric_limits<qsizetype>::max())) {
        const QUrl url = entryUrl(item.address, base);
        if (!url.isValid() || url.isEmpty())
            continue;
        entries.append({url, item.isPlaylist});
        if (entries.size() == kMaxPlaylistEntries)
            break;
    }
    return entries;
}

QList<PlaylistItem> readPlaylistItems(QByteArrayView data, PlaylistFormat format,
                                      qsizetype maxItems)
{
    return itemsOf(normalised(data), format, maxItems);
}

QUrl playlistEntryUrl(QByteArrayView address, const QUrl &base)
{
    return entryUrl(address, base);
}

QUrl mediaLocationFromText(const QString &rawText)
{
    const QString text = rawText.trimmed();
    if (text.isEmpty())
        return {};
    if (text.startsWith(u'/') || isDrivePath(text))
        return QUrl::fromLocalFile(text);
    if (hasScheme(text)) {
        const QUrl url(text, QUrl::TolerantMode);
        if (url.isValid())
            return url;
    }
    return QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath());
}

} // namespace mavrel
