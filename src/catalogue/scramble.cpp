#include "catalogue/scramble.h"

#include <array>

namespace mavrel {

namespace {

// One table per direction: a lookup per byte instead of a compare and branch on the wrap.
using ShiftTable = std::array<unsigned char, 256>;

constexpr ShiftTable makeTable(int delta)
{
    ShiftTable table{};
    for (int c = 0; c < 256; ++c) {
        int d = c + delta;
        if (d > 255)
            d -= 255;
        else if (d < 0)
            d += 255;
        table[size_t(c)] = static_cast<unsigned char>(d);
    }
    return table;
}

constexpr ShiftTable kEncrypt = makeTable(kScrambleKey);
constexpr ShiftTable kDecrypt = makeTable(-kScrambleKey);

Result<QByteArray> shift(QByteArrayView in, const ShiftTable &table)
{
    if (in.size() > kMaxScrambleLength)
        return Result<QByteArray>::failure(QStringLiteral("Overflow"), 6);
    QByteArray out(in.size(), Qt::Uninitialized);
    const auto *src = reinterpret_cast<const unsigned char *>(in.data());
    auto *dst = reinterpret_cast<unsigned char *>(out.data());
    for (qsizetype i = 0; i < in.size(); ++i)
        dst[i] = table[src[i]];
    return out;
}

} // namespace

Result<QByteArray> encryptString(QByteArrayView plain)
{
    return shift(plain, kEncrypt);
}

Result<QByteArray> decryptString(QByteArrayView scrambled)
{
    return shift(scrambled, kDecrypt);
}

} // namespace mavrel
