#include "videosite/scraper.h"

#include <optional>

namespace mavrel {

namespace {

constexpr char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Whether lowerNeedle stands at position i of text, ignoring the case of text.
bool matchesNoCaseAt(QByteArrayView text, qsizetype i, QByteArrayView lowerNeedle)
{
    if (lowerNeedle.size() > text.size() - i)
        return false;
    for (qsizetype k = 0; k < lowerNeedle.size(); ++k) {
        if (lower(text[i + k]) != lowerNeedle[k])
            return false;
    }
    return true;
}

bool containsNoCase(QByteArrayView text, QByteArrayView lowerNeedle)
{
    for (qsizetype i = 0; i + lowerNeedle.size() <= text.size(); ++i) {
        if (matchesNoCaseAt(text, i, lowerNeedle))
            return true;
    }
    return false;
}

// Every occurrence of lowerNeedle, ignoring case, replaced by with; an empty needle changes
// nothing.
QByteArray replaceNoCase(QByteArrayView text, QByteArrayView lowerNeedle, QByteArrayView with)
{
    QByteArray out;
    out.reserve(text.size());
    qsizetype i = 0;
    while (i < text.size()) {
        if (!lowerNeedle.isEmpty() && matchesNoCaseAt(text, i, lowerNeedle)) {
            out += with;
            i += lowerNeedle.size();
        } else {
            out += text[i++];
        }
    }
    return out;
}

bool isDigit(char c, int base)
{
    const char l = lower(c);
    return (l >= '0' && l <= '9') || (base == 16 && l >= 'a' && l <= 'f');
}

// A NUL, a control character, a surrogate or no character at all shows as U+FFFD, so no
// reference can end a line or a field of what the title is stored in.
void appendCodePoint(QByteArray &out, char32_t c)
{
    if (c < 0x20 || (c >= 0x7f && c < 0xa0) || (c >= 0xd800 && c <= 0xdfff) || c > 0x10ffff)
        c = 0xfffd;
    out += QString::fromUcs4(&c, 1).toUtf8();
}

// "&#233;", "&#xE9;" (the ";" may be missing, as browsers allow): the length read, 0 when
// the text at `at` is no numeric reference.
qsizetype numericReference(QByteArrayView text, qsizetype at, QByteArray &out)
{
    qsizetype i = at + 2;
    int base = 10;
    if (i < text.size() && lower(text[i]) == 'x') {
        base = 16;
        ++i;
    }
    const qsizetype digits = i;
    char32_t value = 0;
    for (; i < text.size() && isDigit(text[i], base); ++i) {
        const char l = lower(text[i]);
        // Past U+10FFFF it stays out of range without overflowing.
        if (value <= 0x10ffff)
            value = value * base + char32_t(l <= '9' ? l - '0' : l - 'a' + 10);
    }
    if (i == digits)
        return 0;
    if (i < text.size() && text[i] == ';')
        ++i;
    appendCodePoint(out, value);
    return i - at;
}

struct NamedEntity
{
    const char *name; // with its ";"
    const char *utf8;
};

// What listing pages write: the markup characters, both quotation marks and the non-breaking
// space. Matched ignoring case, as "&QUOT;" always was.
constexpr NamedEntity kNamedEntities[] = {
    {"amp;", "&"},   {"lt;", "<"},   {"gt;", ">"},
    {"quot;", "\""}, {"apos;", "'"}, {"nbsp;", "\xc2\xa0"},
};

// One pass, so "&amp;lt;" is the text "&lt;"; anything that is no known reference stays as it is.
QByteArray decodeTitle(QByteArrayView title)
{
    QByteArray out;
    out.reserve(title.size());
    qsizetype i = 0;
    while (i < title.size()) {
        if (title[i] != '&') {
            out += title[i++];
            continue;
        }
        if (i + 1 < title.size() && title[i + 1] == '#') {
            if (const qsizetype used = numericReference(title, i, out)) {
                i += used;
                continue;
            }
        }
        bool named = false;
        for (const NamedEntity &e : kNamedEntities) {
            if (matchesNoCaseAt(title, i + 1, e.name)) {
                out += e.utf8;
                i += 1 + qsizetype(qstrlen(e.name));
                named = true;
                break;
            }
        }
        if (!named)
            out += title[i++];
    }
    return out;
}

QList<QByteArrayView> split(QByteArrayView text, char sep)
{
    QList<QByteArrayView> out;
    qsizetype start = 0;
    for (;;) {
        const qsizetype at = text.indexOf(sep, start);
        if (at < 0) {
            out.append(text.sliced(start));
            return out;
        }
        out.append(text.sliced(start, at - start));
        start = at + 1;
    }
}

// The piece after the first "title=" (exact letter case), up to the next one.
std::optional<QByteArrayView> secondPieceOn(QByteArrayView text, QByteArrayView separator)
{
    const qsizetype at = text.indexOf(separator);
    if (at < 0)
        return std::nullopt;
    const qsizetype start = at + separator.size();
    const qsizetype next = text.indexOf(separator, start);
    return text.sliced(start, (next < 0 ? text.size() : next) - start);
}

std::optional<ScrapedVideo> videoOfLine(QByteArrayView line, bool searchListing)
{
    if (!containsNoCase(line, "href=\"/watch?") || !line.contains('>'))
        return std::nullopt;
    const QList<QByteArrayView> pieces = split(line, '>');
    const QByteArrayView p0 = pieces[0];
    const QByteArrayView p1 = pieces[1];

    const qsizetype lt = p1.indexOf('<');
    if (lt >= 0) {
        // The link text follows the tag.
        const QByteArrayView title = p1.first(lt);
        if (title.isEmpty())
            return std::nullopt;
        const QList<QByteArrayView> quoted = split(p0, '"');
        if (quoted.size() < 2)
            return std::nullopt;
        QByteArray id = p0.toByteArray();
        for (const QByteArrayView piece : quoted) {
            if (containsNoCase(piece, "/watch")) {
                id = replaceNoCase(piece, "/watch?v=", {});
                break;
            }
        }
        return ScrapedVideo{id, decodeTitle(title)};
    }

    // The tag carries the title; the link text is on the next line.
    if (!searchListing || !containsNoCase(line, "title="))
        return std::nullopt;
    const std::optional<QByteArrayView> t1 = secondPieceOn(line, "title=");
    if (!t1)
        return std::nullopt;
    const QList<QByteArrayView> titlePieces = split(*t1, '"');
    if (titlePieces.size() < 2)
        return std::nullopt;
    const QByteArray title = decodeTitle(titlePieces[1]);
    if (title.isEmpty())
        return std::nullopt;
    const QByteArrayView t0 = line.first(line.indexOf("title="));
    const QList<QByteArrayView> hrefPieces = split(t0, '"');
    if (hrefPieces.size() < 2)
        return std::nullopt;
    return ScrapedVideo{hrefPieces[1].toByteArray().replace("/watch?v=", ""), title};
}

} // namespace

QList<QByteArrayView> scraperLines(QByteArrayView page)
{
    QList<QByteArrayView> lines;
    qsizetype start = 0;
    const qsizetype n = page.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char c = page[i];
        if (c == '\r') {
            lines.append(page.sliced(start, i - start));
            if (i + 1 < n && page[i + 1] == '\n')
                ++i;
            start = i + 1;
        } else if (c == '<' && (i + 1 >= n || page[i + 1] != '/')) {
            lines.append(page.sliced(start, i - start));
            start = i;
        }
    }
    if (start < n)
        lines.append(page.sliced(start));
    return lines;
}

QList<ScrapedVideo> parseVideoPage(QByteArrayView page, bool searchListing)
{
    QList<ScrapedVideo> out;
    for (const QByteArrayView line : scraperLines(page)) {
        if (std::optional<ScrapedVideo> video = videoOfLine(line, searchListing))
            out.append(std::move(*video));
    }
    return out;
}

bool VideoListing::add(const ScrapedVideo &video)
{
    if (video.id.isEmpty() || m_ids.contains(video.id))
        return false;
    m_ids.insert(video.id);
    m_videos.append(video);
    return true;
}

void VideoListing::clear()
{
    m_videos.clear();
    m_ids.clear();
}

} // namespace mavrel
