#include "catalogue/scramble.h"

#include <gtest/gtest.h>

using namespace mavrel;

namespace {

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

} // namespace
