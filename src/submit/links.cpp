#include "submit/links.h"

#include <QSet>
#include <QUrl>

#include <array>
#include <cctype>

namespace mavrel {

namespace {

qsizetype indexOfCI(QByteArrayView text, QByteArrayView what, qsizetype from = 0)
{
    const qsizetype n = what.size();
    for (qsizetype i = from; i + n <= text.size(); ++i) {
        if (text.sliced(i, n).compare(what, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool containsCI(QByteArrayView text, QByteArrayView what)
{
    return indexOfCI(text, what) >= 0;
}

bool endsWithCI(QByteArrayView text, QByteArrayView what)
{
    return text.size() >= what.size() &&
           text.last(what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

QByteArray replaceAllCI(QByteArrayView text, QByteArrayView what, QByteArrayView with)
{
    QByteArray out;
    out.reserve(text.size());
    qsizetype from = 0;
    for (qsizetype at = indexOfCI(text, what); at >= 0; at = indexOfCI(text, what, from)) {
        out += text.sliced(from, at - from);
        out += with;
        from = at + what.size();
    }
    out += text.sliced(from);
    return out;
}

bool endsWithScheme(const QByteArray &text)
{
    return endsWithCI(text, "http:") || endsWithCI(text, "https:");
}

// One pass: every "//" becomes "/", except the one after a scheme name.
QByteArray collapseSlashes(const QByteArray &link)
{
    QByteArray out;
    out.reserve(link.size());
    qsizetype i = 0;
    while (i < link.size()) {
        if (link[i] == '/' && i + 1 < link.size() && link[i + 1] == '/') {
            out += endsWithScheme(out) ? "//" : "/";
            i += 2;
        } else {
            out += link[i++];
        }
    }
    return out;
}

// A line ends at CR or CR LF; a lone LF stays inside the line.
template<typename F> void forEachLine(QByteArrayView text, F &&f)
{
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\r')
            continue;
        f(text.sliced(start, i - start));
        if (i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        f(text.sliced(start));
}

constexpr std::array<const char *, 10> kStreamFormats = {
    ".asx", ".asf", ".wma", ".wmv", ".wmvhd", ".dvr-ms", ".wmx", ".m3u8", ".pls", ".m3u"};
constexpr std::array<const char *, 27> kSkipped = {
    "javascript", "mailto", ".mpg", ".js",  ".mpeg", ".swf", ".avi", ".jpg", ".jpeg",
    ".gif",       ".bmp",   ".mov", ".rm",  ".mp3",  ".wav", ".ra",  ".pdf", ".css",
    ".exe",       ".sit",   ".zip", ".msi", ".ppt",  ".doc", ".xls", ".ico", "#"};
constexpr std::array<const char *, 6> kHostHints = {".com", "www.", ".net", ".edu", ".gov", "ww2."};
constexpr std::array<const char *, 3> kPageKinds = {".asp", ".htm", ".cfm"};

constexpr std::array<const char *, 3> kStreamingSchemes = {"mms://", "rtsp://", "rtmp://"};

bool matchesCI(QByteArrayView text, qsizetype at, QByteArrayView what)
{
    return text.size() - at >= what.size() &&
           text.sliced(at, what.size()).compare(what, Qt::CaseInsensitive) == 0;
}

// The length of the streaming scheme the text starts with ("mms://", ...), 0 for none.
qsizetype streamingSchemeLength(QByteArrayView text)
{
    if (text.isEmpty() || (text[0] != 'm' && text[0] != 'M' && text[0] != 'r' && text[0] != 'R'))
        return 0;
    for (const char *scheme : kStreamingSchemes) {
        if (matchesCI(text, 0, scheme))
            return qsizetype(qstrlen(scheme));
    }
    return 0;
}

bool isHttpAddress(QByteArrayView link)
{
    return matchesCI(link, 0, "http://") || matchesCI(link, 0, "https://");
}

template<std::size_t N>
bool containsAnyCI(QByteArrayView text, const std::array<const char *, N> &list)
{
    for (const char *item : list) {
        if (containsCI(text, item))
            return true;
    }
    return false;
}

} // namespace

PageBase pageBase(const QByteArray &address)
{
    PageBase base;
    base.address = address;
    const qsizetype lastSlash = address.lastIndexOf('/');
    base.directory = lastSlash < 0 ? QByteArray() : address.left(lastSlash + 1);
    QByteArray domain = address;
    domain.replace("http://", "").replace("https://", "").replace("www.", "");
    const qsizetype firstSlash = domain.indexOf('/');
    if (firstSlash >= 0)
        domain.truncate(firstSlash + 1);
    base.domain = domain;
    return base;
}

QByteArray backDir(const QByteArray &address)
{
    const bool hadHttp = containsCI(address, "http://");
    const bool hadHttps = containsCI(address, "https://");
    QByteArray rest = address;
    rest.replace("http://", "").replace("https://", "");
    if (rest.endsWith('/'))
        rest.chop(1);
    QByteArray result = rest;
    while (!result.isEmpty() && !result.endsWith('/'))
        result.chop(1);
    if (hadHttp)
        result.prepend("http://");
    if (hadHttps)
        result.prepend("https://");
    if (result.isEmpty() || result == "http://" || result == "https://")
        return rest + '/';
    return result;
}

QByteArray resolveLink(QByteArray link, const QByteArray &firstBase, const QByteArray &secondBase,
                       const QByteArray &domain)
{
    bool absolute = false;
    if (containsCI(link, "http://")) {
        link = replaceAllCI(link, "http://", "");
        absolute = true;
    }
    if (containsCI(link, "https://"))
        link = replaceAllCI(link, "https://", "");
    if (link.startsWith('/')) {
        link = collapseSlashes(firstBase + link);
    } else if (link.startsWith("..")) {
        link.replace("..", "");
        link = collapseSlashes(backDir(secondBase) + link);
    } else {
        if (link.startsWith("./")) {
            link.replace("./", "");
            link = domain + '/' + link;
        }
        if (!absolute && !containsAnyCI(link, kHostHints))
            link = firstBase + '/' + link;
    }
    if (!link.contains('/'))
        link += '/';
    for (int i = 0; i < 4; ++i)
        link = collapseSlashes(link);
    link.replace("<", "");
    if (link.size() > 6) {
        if (endsWithCI(link, ".as"))
            link = replaceAllCI(link, ".as", ".asp");
        if (endsWithCI(link, ".ht"))
            link = replaceAllCI(link, ".ht", ".htm");
        if (endsWithCI(link, ".ph"))
            link = replaceAllCI(link, ".ph", ".php");
        if (endsWithCI(link, "/hre"))
            link.chop(4);
        if (endsWithCI(link, "/href"))
            link.chop(5);
        if (endsWithCI(link, "/http:"))
            link.chop(6);
        if (endsWithCI(link, "/http"))
            link.chop(5);
    }
    return link;
}

bool isStreamLink(QByteArrayView link)
{
    return containsAnyCI(link, kStreamFormats) || streamingSchemeLength(link) > 0;
}

bool isSkippedLink(QByteArrayView link)
{
    return containsAnyCI(link, kSkipped);
}

bool isPageLink(QByteArrayView link)
{
    return containsAnyCI(link, kPageKinds);
}

bool isWebLink(QByteArrayView link)
{
    if (link.startsWith("http://") || link.startsWith("https://"))
        return true;
    const qsizetype slash = link.indexOf('/');
    const QByteArrayView head = slash < 0 ? link : link.first(slash);
    const qsizetype colon = head.lastIndexOf(':');
    if (colon < 0)
        return true;
    // "host:8080" is a port, anything else before a colon is a scheme of its own.
    const QByteArrayView port = head.sliced(colon + 1);
    if (port.isEmpty())
        return false;
    for (char c : port) {
        if (c < '0' || c > '9')
            return false;
    }
    return true;
}

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':';
}

// Where an attribute value ends when it is not quoted, and where an address written in the
// page's text or a script ends.
bool endsBareAddress(char c)
{
    return isSpace(c) || c == '"' || c == '\'' || c == '<' || c == '>' || c == '`' || c == '\\';
}

bool hasScheme(QByteArrayView link)
{
    qsizetype i = 0;
    while (i < link.size() && (std::isalnum(static_cast<unsigned char>(link[i])) ||
                               link[i] == '+' || link[i] == '-' || link[i] == '.'))
        ++i;
    return i > 0 && i < link.size() && link[i] == ':' &&
           std::isalpha(static_cast<unsigned char>(link[0]));
}

// Elements whose source is media whatever its name says.
bool isMediaElement(QByteArrayView tag)
{
    return tag == "audio" || tag == "video" || tag == "source";
}

struct Found
{
    QList<QByteArray> links;
    QSet<QByteArray> seen;

    void add(QByteArray link)
    {
        if (!link.isEmpty() && !seen.contains(link)) {
            seen.insert(link);
            links.append(std::move(link));
        }
    }
};

// What no address may hold as such is percent-encoded, as browsers do; the rest is kept.
QByteArray encodeUnsafe(const QByteArray &link)
{
    QByteArray out;
    out.reserve(link.size());
    for (const char c : link) {
        const auto b = static_cast<unsigned char>(c);
        if (b <= 0x20 || b >= 0x7f || c == '"' || c == '<' || c == '>' || c == '`') {
            out += '%';
            out += QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
        } else {
            out += c;
        }
    }
    return out;
}

QByteArray resolveAgainstPage(QByteArrayView link, const QByteArray &pageAddress)
{
    // As browsers read an attribute: blanks around it and line breaks in it do not count.
    QByteArray written = link.trimmed().toByteArray();
    written = replaceAllCI(written, "&amp;", "&");
    written.replace('\n', "").replace('\r', "").replace('\t', "");
    if (written.isEmpty())
        return {};
    // An absolute address stays exactly as written.
    if (hasScheme(written))
        return encodeUnsafe(written);
    const QUrl base = QUrl::fromEncoded(pageAddress, QUrl::TolerantMode);
    if (base.isRelative() || !base.isValid())
        return {};
    const QUrl resolved = base.resolved(QUrl::fromEncoded(written, QUrl::TolerantMode));
    return resolved.isValid() ? resolved.toEncoded() : QByteArray();
}

} // namespace

QList<QByteArray> extractStreamLinks(QByteArrayView page, const PageBase &base,
                                     const LineHook &beforeLine)
{
    Found found;
    QByteArray tag; // the element the scan is in, lower case
    const qsizetype n = page.size();
    qsizetype i = 0;
    while (i < n) {
        const char c = page[i];
        if (c == '\n' && beforeLine)
            beforeLine();
        if (c == '<') {
            qsizetype end = i + 1;
            while (end < n && isNameChar(page[end]))
                ++end;
            tag = page.sliced(i + 1, end - i - 1).toByteArray().toLower();
            i = end;
            continue;
        }
        if (c == '>') {
            tag.clear();
            ++i;
            continue;
        }
        if (const qsizetype scheme = streamingSchemeLength(page.sliced(i));
            scheme > 0 && (i == 0 || !isNameChar(page[i - 1]))) {
            qsizetype end = i + scheme;
            while (end < n && !endsBareAddress(page[end]))
                ++end;
            if (end > i + scheme)
                found.add(page.sliced(i, end - i).toByteArray());
            i = end;
            continue;
        }
        // An href or src attribute: the name, not the end of a longer one ("data-src"), then "=".
        const bool href = matchesCI(page, i, "href");
        const bool src = !href && matchesCI(page, i, "src");
        if ((!href && !src) || (i > 0 && isNameChar(page[i - 1]))) {
            ++i;
            continue;
        }
        qsizetype at = i + (href ? 4 : 3);
        while (at < n && isSpace(page[at]))
            ++at;
        if (at >= n || page[at] != '=') {
            i = at;
            continue;
        }
        ++at;
        while (at < n && isSpace(page[at]))
            ++at;
        qsizetype valueStart = at;
        qsizetype valueEnd = at;
        qsizetype next = at;
        if (at < n && (page[at] == '"' || page[at] == '\'')) {
            const qsizetype close = page.indexOf(page[at], at + 1);
            valueStart = at + 1;
            valueEnd = close < 0 ? n : close;
            next = close < 0 ? n : close + 1;
        } else {
            while (valueEnd < n && !isSpace(page[valueEnd]) && page[valueEnd] != '>')
                ++valueEnd;
            next = valueEnd;
        }
        i = next;
        if (beforeLine)
            beforeLine();
        const QByteArrayView value = page.sliced(valueStart, valueEnd - valueStart);
        const bool media = src && isMediaElement(tag);
        // The skip list is for web links; a media element's source is media by its element.
        if (!media && streamingSchemeLength(value.trimmed()) == 0 && isSkippedLink(value))
            continue;
        QByteArray link = resolveAgainstPage(value, base.address);
        if (link.isEmpty())
            continue;
        // Only what a player can open: web and streaming addresses.
        if (!isHttpAddress(link) && streamingSchemeLength(link) == 0)
            continue;
        if (media || isStreamLink(link))
            found.add(std::move(link));
    }
    return found.links;
}

QList<QByteArray> extractPageLinks(QByteArrayView page, const PageBase &base)
{
    QList<QByteArray> found;
    QByteArray text = page.toByteArray();
    text.replace(">", "<\r\n");
    text += "\r\n";
    forEachLine(text, [&](QByteArrayView line) {
        if (!containsCI(line, "href="))
            return;
        for (const QByteArray &word : line.toByteArray().split(' ')) {
            if (!containsCI(word, "href="))
                continue;
            // Everything after "href=": a query's own "=" belongs to the address.
            QByteArray piece = word.sliced(word.toLower().indexOf("href=") + 5);
            // The "<" is the end of the tag as split above.
            piece.replace("\"", "").replace("'", "").replace("<", "");
            while (piece.startsWith(' '))
                piece.remove(0, 1);
            while (piece.endsWith(' '))
                piece.chop(1);
            piece = resolveAgainstPage(piece, base.address);
            if (isPageLink(piece))
                found.append(piece);
            return;
        }
    });
    return found;
}

} // namespace mavrel
