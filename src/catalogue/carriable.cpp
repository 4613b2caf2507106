#include "catalogue/carriable.h"

#include "platform/bytetext.h"

#include <QString>

namespace mavrel {

namespace {

bool isForbidden(unsigned char b, FieldPlacement placement)
{
    switch (placement) {
    case FieldPlacement::Plain:
        return b == '|' || b == '\r' || b == '\n';
    case FieldPlacement::Scrambled:
        return b == 27 || b == 168 || b == 171 || b == 255;
    case FieldPlacement::InScrambledLine:
        return b == 27 || b == 168 || b == 171 || b == 255 || b == '|';
    }
    return true;
}

// Structure characters become a space so that words stay apart; anything else a "?".
char replacementFor(char16_t c)
{
    return (c == u'|' || c == u'\r' || c == u'\n') ? ' ' : '?';
}

QByteArray percentEncode(QByteArrayView bytes, FieldPlacement placement)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray out;
    out.reserve(bytes.size() + 8);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (isForbidden(b, placement)) {
            out.append('%');
            out.append(kHex[b >> 4]);
            out.append(kHex[b & 0xF]);
        } else {
            out.append(c);
        }
    }
    return out;
}

// UTF-8 of text, each character whose encoding holds a forbidden byte replaced.
QByteArray utf8WithReplacements(QStringView text, FieldPlacement placement)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size();) {
        qsizetype len = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            len = 2;
        const QByteArray encoded = text.sliced(i, len).toUtf8();
        bool ok = true;
        for (char c : encoded)
            ok = ok && !isForbidden(static_cast<unsigned char>(c), placement);
        if (ok)
            out.append(encoded);
        else
            out.append(replacementFor(text[i].unicode()));
        i += len;
    }
    return out;
}

} // namespace

bool isCarriable(QByteArrayView bytes, FieldPlacement placement)
{
    for (char c : bytes) {
        if (isForbidden(static_cast<unsigned char>(c), placement))
            return false;
    }
    return true;
}

QByteArray makeCarriable(QByteArrayView bytes, FieldPlacement placement, FieldContent content)
{
    if (isCarriable(bytes, placement))
        return bytes.toByteArray();
    if (content == FieldContent::Address)
        return percentEncode(bytes, placement);

    const QString text = displayText(bytes);
    if (isValidUtf8(bytes)) {
        QByteArray legacy;
        if (toWindows1252(text, &legacy) && isCarriable(legacy, placement) &&
            displayText(legacy) == text)
            return legacy;
        return utf8WithReplacements(text, placement);
    }

    // Windows-1252 bytes: one byte per character, so the offending bytes are the characters.
    QByteArray out = bytes.toByteArray();
    QString shown = text;
    for (qsizetype i = 0; i < out.size(); ++i) {
        if (isForbidden(static_cast<unsigned char>(out[i]), placement)) {
            out[i] = replacementFor(static_cast<unsigned char>(out[i]));
            shown[i] = QLatin1Char(out[i]);
        }
    }
    if (displayText(out) == shown)
        return out;
    // Without the offending bytes the rest became UTF-8 and would display differently.
    return utf8WithReplacements(shown, placement);
}

} // namespace mavrel
