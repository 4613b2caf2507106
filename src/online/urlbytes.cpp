#include "online/urlbytes.h"

namespace mavrel {

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

bool isUnreserved(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

void appendEscaped(QByteArray &out, unsigned char c)
{
    out.append('%');
    out.append(kHex[c >> 4]);
    out.append(kHex[c & 0x0F]);
}

} // namespace

QByteArray percentEncodeBytes(QByteArrayView bytes)
{
    QByteArray out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (isUnreserved(c))
            out.append(ch);
        else
            appendEscaped(out, c);
    }
    return out;
}

QByteArray encodeAddressBytes(QByteArrayView address)
{
    QByteArray out;
    out.reserve(address.size());
    for (char ch : address) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c >= 0x7F)
            appendEscaped(out, c);
        else
            out.append(ch);
    }
    return out;
}

QByteArray withHttpPrefix(const QByteArray &address)
{
    if (address.toLower().contains("http://"))
        return address;
    return "http://" + address;
}

} // namespace mavrel
