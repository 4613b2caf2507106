#include "playlist.h"

#include "platform/bytetext.h"

#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

namespace mavrel {
namespace {

constexpr qsizetype kSniffWindow = 4096;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

bool startsWithNoCase(QByteArrayView data, qsizetype pos, QByteArrayView prefix)
{
    if (pos < 0 || data.size() - pos < prefix.size())
        return false;
    return data.sliced(pos, prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

qsizetype indexOfNoCase(QByteArrayView data, qsizetype from, QByteArrayView needle)
{
    for (qsizetype i = from; i + needle.size() <= data.size(); ++i) {
        if (startsWithNoCase(data, i, needle))
            return i;
    }
    return -1;
}

// UTF-16 documents (some metafiles are saved that way) become UTF-8; a UTF-8 byte order mark
// goes.
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
    if (data.startsWith("\xEF\xBB\xBF"))
        return data.sliced(3).toByteArray();
    return data.toByteArray();
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
            out += value[i];
            continue;
        }
        const qsizetype semi = value.indexOf(';', i);
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
    qsizetype i = lt + 1;
    while (i < data.size()) {
        const char c = data[i];
        if (c == '>')
            return i;
        if (c == '"' || c == '\'') {
            const qsizetype close = data.indexOf(c, i + 1);
            const qsizetype gt = data.indexOf('>', i + 1);
            if (close >= 0 && (gt < 0 || close < gt)) {
                i = close + 1;
                continue;
            }
        }
        ++i;
    }
    return data.size();
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

struct TagRule
{
    QByteArrayView tag;
    QByteArrayView attribute;
    bool isPlaylist;
};

template<size_t N>
QList<std::pair<QByteArray, bool>> scanTags(QByteArrayView data, const TagRule (&rules)[N])
{
    QList<std::pair<QByteArray, bool>> found;
    qsizetype pos = 0;
    while (pos < data.size()) {
        const qsizetype lt = data.indexOf('<', pos);
        if (lt < 0)
            break;
        if (startsWithNoCase(data, lt, "<!--")) {
            const qsizetype end = data.indexOf("-->", lt + 4);
            if (end < 0)
                break;
            pos = end + 3;
            continue;
        }
        qsizetype nameEnd = lt + 1;
        while (nameEnd < data.size() && isNameChar(data[nameEnd]))
            ++nameEnd;
        const QByteArrayView name = data.sliced(lt + 1, nameEnd - lt - 1);
        if (name.isEmpty()) {
            pos = lt + 1; // "</x>", "<?...", a stray '<'
            continue;
        }
        const qsizetype end = tagEnd(data, lt);
        for (const TagRule &rule : rules) {
            if (name.compare(rule.tag, Qt::CaseInsensitive) != 0)
                continue;
            const QByteArray value = attribute(data.sliced(nameEnd, end - nameEnd), rule.attribute);
            if (!value.trimmed().isEmpty())
                found.append({value, rule.isPlaylist});
        }
        pos = end + 1;
    }
    return found;
}

QList<std::pair<QByteArray, bool>> asxEntries(QByteArrayView data)
{
    static const TagRule rules[] = {{"ref", "href", false}, {"entryref", "href", true}};
    return scanTags(data, rules);
}

QList<std::pair<QByteArray, bool>> wplEntries(QByteArrayView data)
{
    static const TagRule rules[] = {{"media", "src", false}};
    return scanTags(data, rules);
}

QList<QByteArrayView> lines(QByteArrayView data)
{
    QList<QByteArrayView> out;
    qsizetype start = 0;
    while (start <= data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        QByteArrayView line = data.sliced(start, end - start).trimmed();
        out.append(line);
        start = end + 1;
    }
    return out;
}

QList<std::pair<QByteArray, bool>> m3uEntries(QByteArrayView data)
{
    QList<std::pair<QByteArray, bool>> found;
    for (QByteArrayView line : lines(data)) {
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        // Binary lines mean this is a stream, not a list.
        const bool binary = std::any_of(line.begin(), line.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 && c != '\t';
        });
        if (!binary)
            found.append({line.toByteArray(), false});
    }
    return found;
}

// "Key<n>=value" lines (PLS File<n>, Reference Ref<n>), in the order of n.
QList<std::pair<QByteArray, bool>> numberedEntries(QByteArrayView data, QByteArrayView key)
{
    QList<std::pair<uint, QByteArray>> numbered;
    for (QByteArrayView line : lines(data)) {
        const qsizetype eq = line.indexOf('=');
        if (eq <= key.size() || !startsWithNoCase(line, 0, key))
            continue;
        bool ok = false;
        const uint n = line.sliced(key.size(), eq - key.size()).trimmed().toUInt(&ok);
        if (ok)
            numbered.append({n, line.sliced(eq + 1).trimmed().toByteArray()});
    }
    std::stable_sort(numbered.begin(), numbered.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    QList<std::pair<QByteArray, bool>> found;
    for (auto &[n, value] : numbered)
        found.append({std::move(value), false});
    return found;
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

QUrl entryUrl(const QByteArray &raw, const QUrl &base)
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
    if (format == PlaylistFormat::M3u && isHttpLiveManifest(data))
        return {};

    QList<std::pair<QByteArray, bool>> raw;
    switch (format) {
    case PlaylistFormat::None:
        return {};
    case PlaylistFormat::Asx:
        raw = asxEntries(data);
        break;
    case PlaylistFormat::Wpl:
        raw = wplEntries(data);
        break;
    case PlaylistFormat::M3u:
        raw = m3uEntries(data);
        break;
    case PlaylistFormat::Pls:
        raw = numberedEntries(data, "File");
        break;
    case PlaylistFormat::Reference:
        raw = numberedEntries(data, "Ref");
        break;
    }

    QList<PlaylistEntry> entries;
    for (const auto &[text, isPlaylist] : raw) {
        const QUrl url = entryUrl(text, base);
        if (!url.isValid() || url.isEmpty())
            continue;
        entries.append({url, isPlaylist});
        if (entries.size() == kMaxPlaylistEntries)
            break;
    }
    return entries;
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
