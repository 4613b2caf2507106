#include "submit/links.h"

#include <array>

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
    return containsAnyCI(link, kStreamFormats);
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

QList<QByteArray> extractStreamLinks(QByteArrayView page, const PageBase &base,
                                     const LineHook &beforeLine)
{
    QList<QByteArray> found;
    const QByteArray text = replaceAllCI(page, "href=", "\r\nhref=") + "\r\n";
    forEachLine(text, [&](QByteArrayView line) {
        if (beforeLine)
            beforeLine();
        const qsizetype at = indexOfCI(line, "href=");
        if (at < 0)
            return;
        QByteArray rest =
            replaceAllCI(replaceAllCI(line.sliced(at), "href=\"", "href="), "href='", "href=");
        qsizetype end = -1;
        for (qsizetype i = 0; i < rest.size(); ++i) {
            if (rest[i] == '"' || rest[i] == '\'' || rest[i] == '>') {
                end = i;
                break;
            }
        }
        QByteArray link;
        if (end >= 0 && end < rest.size() - 1)
            link = rest.left(end);
        else
            link = rest.size() >= 2 ? rest.chopped(2) : QByteArray();
        link = replaceAllCI(link, "href=", "");
        if (isSkippedLink(link))
            return;
        link = resolveLink(link, base.address, base.directory, base.domain);
        if (!isStreamLink(link))
            return;
        if (!containsCI(link, "http://"))
            link.prepend("http://");
        found.append(link);
    });
    return found;
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
            const QList<QByteArray> pieces = word.split('=');
            QByteArray piece = pieces.value(1);
            piece.replace("\"", "").replace("'", "");
            while (piece.startsWith(' '))
                piece.remove(0, 1);
            while (piece.endsWith(' '))
                piece.chop(1);
            piece = resolveLink(piece, base.directory, base.address, base.domain);
            if (isPageLink(piece))
                found.append(piece);
            return;
        }
    });
    return found;
}

} // namespace mavrel
