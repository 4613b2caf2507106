#include "catalogue/scramble.h"

namespace mavrel {

namespace {

Result<QByteArray> shift(QByteArrayView in, int delta)
{
    if (in.size() > kMaxScrambleLength)
        return Result<QByteArray>::failure(QStringLiteral("Overflow"), 6);
    QByteArray out(in.size(), Qt::Uninitialized);
    char *dst = out.data();
    for (char c : in) {
        int d = static_cast<unsigned char>(c) + delta;
        if (d > 255)
            d -= 255;
        else if (d < 0)
            d += 255;
        *dst++ = static_cast<char>(d);
    }
    return out;
}

} // namespace

Result<QByteArray> encryptString(QByteArrayView plain)
{
    return shift(plain, kScrambleKey);
}

Result<QByteArray> decryptString(QByteArrayView scrambled)
{
    return shift(scrambled, -kScrambleKey);
}

} // namespace mavrel
