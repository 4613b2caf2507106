#include "catalogue/scramble.h"

#include <gtest/gtest.h>

using namespace mavrel;

namespace {

QByteArray bytes(std::initializer_list<int> codes)
{
    QByteArray out;
    for (int c : codes)
        out.append(static_cast<char>(c));
    return out;
}

TEST(Scramble, EmptyTextStaysEmpty)
{
    EXPECT_EQ(encryptString("").value(), QByteArray());
    EXPECT_EQ(decryptString("").value(), QByteArray());
}

TEST(Scramble, EveryCarriableByteRoundTripsInOrder)
{
    QByteArray plain;
    for (int c = 0; c <= 254; ++c)
        plain.append(static_cast<char>(c));
    const QByteArray scrambled = encryptString(plain).value();
    ASSERT_EQ(scrambled.size(), plain.size());
    EXPECT_EQ(decryptString(scrambled).value(), plain);
    EXPECT_FALSE(scrambled.contains('\0'));
}

TEST(Scramble, WrapsBy255NotBy256)
{
    const struct
    {
        int plain;
        int scrambled;
    } cases[] = {
        {0, kScrambleKey},         // code 0 becomes the key itself
        {256 - kScrambleKey, 1},   // first code that wraps
        {255 - kScrambleKey, 255}, // last code that does not
        {'A', 'A' + kScrambleKey}, // no wrap
        {124 - kScrambleKey, '|'}, // these three break lines, see makeCarriable
        {265 - kScrambleKey, '\n'}, {268 - kScrambleKey, '\r'},
        {255, kScrambleKey}, // 255 cannot be carried: it looks like code 0
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.plain);
        EXPECT_EQ(encryptString(bytes({c.plain})).value(), bytes({c.scrambled}));
    }
    // Unscrambling a code below the key adds 255; code 0 (never produced) gives 255 - key.
    EXPECT_EQ(decryptString(bytes({1})).value(), bytes({256 - kScrambleKey}));
    EXPECT_EQ(decryptString(bytes({0})).value(), bytes({255 - kScrambleKey}));
    EXPECT_EQ(decryptString(bytes({kScrambleKey})).value(), bytes({0}));
}

TEST(Scramble, KeepsOrderInsteadOfReversing)
{
    EXPECT_EQ(decryptString(encryptString("http://a/b").value()).value(), "http://a/b");
    EXPECT_EQ(encryptString("ab").value(), bytes({'a' + kScrambleKey, 'b' + kScrambleKey}));
}

TEST(Scramble, RefusesTextsOfOverflowLength)
{
    const QByteArray longest(kMaxScrambleLength, 'x');
    EXPECT_TRUE(encryptString(longest).ok());
    EXPECT_TRUE(decryptString(longest).ok());
    const QByteArray tooLong(kMaxScrambleLength + 1, 'x');
    EXPECT_FALSE(encryptString(tooLong).ok());
    EXPECT_FALSE(decryptString(tooLong).ok());
}

} // namespace
