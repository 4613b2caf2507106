#include "platform/bytetext.h"

#include <QStringDecoder>

#include <array>

namespace mavrel {

namespace {

// 0x80..0x9F of Windows-1252; the undefined bytes keep their own value.
constexpr std::array<char16_t, 32> kCp1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool isAscii(QByteArrayView bytes)
{
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

} // namespace

bool isValidUtf8(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return true;
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    return !decoder.hasError();
}

QString displayText(QByteArrayView bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString decoded = decoder.decode(bytes);
    if (!decoder.hasError())
        return decoded;

    QString text(bytes.size(), Qt::Uninitialized);
    QChar *out = text.data();
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        *out++ = QChar((b >= 0x80 && b < 0xA0) ? kCp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

bool toWindows1252(QStringView text, QByteArray *out)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    bool complete = true;
    for (QChar ch : text) {
        const char16_t u = ch.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            bytes.append(static_cast<char>(u));
            continue;
        }
        int found = -1;
        for (int i = 0; i < int(kCp1252High.size()); ++i) {
            if (kCp1252High[i] == u) {
                found = i;
                break;
            }
        }
        if (found < 0) {
            complete = false;
            bytes.append('?');
        } else {
            bytes.append(static_cast<char>(0x80 + found));
        }
    }
    if (out)
        *out = std::move(bytes);
    return complete;
}

QString htmlEscaped(QStringView text)
{
    QString out;
    out.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'&':
            out += u"&amp;";
            break;
        case u'<':
            out += u"&lt;";
            break;
        case u'>':
            out += u"&gt;";
            break;
        case u'"':
            out += u"&quot;";
            break;
        case u'\'':
            out += u"&#39;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

QString plainToolTip(const QString &text)
{
    if (text.isEmpty())
        return {};
    return QStringLiteral("<p style='white-space:pre'>") + htmlEscaped(text) +
           QStringLiteral("</p>");
}

} // namespace mavrel
