#include "online/querytext.h"

#include "online/urlbytes.h"

using namespace Qt::StringLiterals;

namespace mavrel {

namespace {

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

Result<QByteArray> decodePart(QStringView part, QuerySender sender)
{
    const bool browser = sender == QuerySender::Browser;
    QByteArray out;
    out.reserve(part.size());
    for (qsizetype i = 0; i < part.size(); ++i) {
        const char16_t c = part[i].unicode();
        if (c != u'%') {
            out.append(browser && c == u'+' ? ' ' : static_cast<char>(c));
            continue;
        }
        const int hi = i + 2 < part.size() ? hexValue(part[i + 1].unicode()) : -1;
        const int lo = i + 2 < part.size() ? hexValue(part[i + 2].unicode()) : -1;
        if (hi < 0 || lo < 0) {
            if (browser) {
                out.append('%');
                continue;
            }
            return Result<QByteArray>::failure(i + 2 >= part.size() ? u"truncated percent escape"_s
                                                                    : u"invalid percent escape"_s);
        }
        const char byte = static_cast<char>(hi * 16 + lo);
        if (byte == '\0' && !browser)
            return Result<QByteArray>::failure(u"NUL byte in query"_s);
        out.append(byte);
        i += 2;
    }
    return out;
}

} // namespace

Result<QueryItems> parseQueryItems(QStringView rawQuery, QuerySender sender)
{
    using R = Result<QueryItems>;
    if (rawQuery.size() > kMaxRawQuery)
        return R::failure(u"query too long"_s);
    for (QChar c : rawQuery) {
        // Anything outside printable ASCII arrived unencoded (or was not valid UTF-8 and is now
        // a replacement character): its bytes are lost, so the viewer's request is refused.
        const bool sent = sender == QuerySender::Browser
                              ? c.unicode() <= 0xff
                              : c.unicode() >= 0x21 && c.unicode() <= 0x7e;
        if (!sent)
            return R::failure(u"unencoded byte in query"_s);
    }
    QueryItems items;
    if (rawQuery.isEmpty())
        return items;
    for (QStringView pair : rawQuery.split(u'&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf(u'=');
        auto key = decodePart(eq < 0 ? pair : pair.first(eq), sender);
        if (!key)
            return key.error();
        auto value = decodePart(eq < 0 ? QStringView() : pair.sliced(eq + 1), sender);
        if (!value)
            return value.error();
        items.append({std::move(key).value(), std::move(value).value()});
    }
    return items;
}

Result<QHash<QByteArray, QByteArray>> parseQuery(QStringView rawQuery, QuerySender sender)
{
    auto items = parseQueryItems(rawQuery, sender);
    if (!items)
        return items.error();
    QHash<QByteArray, QByteArray> values;
    for (auto &[key, value] : items.value()) {
        if (!values.contains(key))
            values.insert(std::move(key), std::move(value));
    }
    return values;
}

QByteArray buildQuery(const QueryItems &items)
{
    QByteArray query;
    for (const auto &[key, value] : items) {
        if (!query.isEmpty())
            query += '&';
        query += percentEncodeBytes(key);
        query += '=';
        query += percentEncodeBytes(value);
    }
    return query;
}

} // namespace mavrel
