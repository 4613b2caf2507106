#include "online/querytext.h"

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

Result<QByteArray> decodePart(QStringView part)
{
    QByteArray out;
    out.reserve(part.size());
    for (qsizetype i = 0; i < part.size(); ++i) {
        const char16_t c = part[i].unicode();
        if (c != u'%') {
            out.append(static_cast<char>(c));
            continue;
        }
        if (i + 2 >= part.size())
            return Result<QByteArray>::failure(u"truncated percent escape"_s);
        const int hi = hexValue(part[i + 1].unicode());
        const int lo = hexValue(part[i + 2].unicode());
        if (hi < 0 || lo < 0)
            return Result<QByteArray>::failure(u"invalid percent escape"_s);
        const char byte = static_cast<char>(hi * 16 + lo);
        if (byte == '\0')
            return Result<QByteArray>::failure(u"NUL byte in query"_s);
        out.append(byte);
        i += 2;
    }
    return out;
}

} // namespace

Result<QList<std::pair<QByteArray, QByteArray>>> parseQueryItems(QStringView rawQuery)
{
    using R = Result<QList<std::pair<QByteArray, QByteArray>>>;
    if (rawQuery.size() > kMaxRawQuery)
        return R::failure(u"query too long"_s);
    for (QChar c : rawQuery) {
        // Anything outside printable ASCII arrived unencoded (or was not valid UTF-8 and is now
        // a replacement character): its bytes are lost, so the request is refused.
        if (c.unicode() < 0x21 || c.unicode() > 0x7e)
            return R::failure(u"unencoded byte in query"_s);
    }
    QList<std::pair<QByteArray, QByteArray>> items;
    if (rawQuery.isEmpty())
        return items;
    for (QStringView pair : rawQuery.split(u'&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf(u'=');
        auto key = decodePart(eq < 0 ? pair : pair.first(eq));
        if (!key)
            return key.error();
        auto value = decodePart(eq < 0 ? QStringView() : pair.sliced(eq + 1));
        if (!value)
            return value.error();
        items.append({std::move(key).value(), std::move(value).value()});
    }
    return items;
}

Result<QHash<QByteArray, QByteArray>> parseQuery(QStringView rawQuery)
{
    auto items = parseQueryItems(rawQuery);
    if (!items)
        return items.error();
    QHash<QByteArray, QByteArray> values;
    for (auto &[key, value] : items.value()) {
        if (!values.contains(key))
            values.insert(std::move(key), std::move(value));
    }
    return values;
}

} // namespace mavrel
