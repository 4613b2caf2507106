#include "server/http/addressratelimit.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace mavrel::server {
namespace {

TEST(AddressRateLimit, BucketsRefillAtTheRateAndTheTableStaysBounded)
{
    const AddressRateLimit::Clock::time_point t0{};
    AddressRateLimit limit(2, 4, 3); // 2 a second, 4 at once, 3 addresses kept
    int retry = 0;
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(limit.take(u"a"_s, &retry, t0)) << i;
    EXPECT_FALSE(limit.take(u"a"_s, &retry, t0));
    EXPECT_EQ(retry, 1);
    EXPECT_TRUE(limit.take(u"a"_s, &retry, t0 + 500ms));
    EXPECT_FALSE(limit.take(u"a"_s, &retry, t0 + 500ms));
    EXPECT_TRUE(limit.take(u"b"_s, &retry, t0 + 500ms)); // a bucket of its own

    // More addresses than the table holds: the least recent make room, and start full again.
    for (const QString &client : {u"c"_s, u"d"_s})
        EXPECT_TRUE(limit.take(client, &retry, t0 + 600ms));
    EXPECT_EQ(limit.addresses(), 3);
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(limit.take(u"a"_s, &retry, t0 + 600ms)) << i;
    EXPECT_EQ(limit.addresses(), 3);
}

} // namespace
} // namespace mavrel::server
