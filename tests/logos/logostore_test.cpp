#include "logos/logodiskcache.h"
#include "logos/logostore.h"

#include "testhttpserver.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace mavrel;
using namespace mavrel::test;

namespace {

constexpr int kWaitMs = 20'000;

QByteArray png(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "png");
    return bytes;
}

class LogoStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(cache.isValid());
        ASSERT_TRUE(server.listen());
    }

    LogoStore::Options options() const
    {
        LogoStore::Options o;
        o.cacheFolder = cache.path();
        return o;
    }

    // Waits for the store to settle on each address: a logo or a failure.
    static bool settle(const LogoStore &store, const QList<QByteArray> &addresses)
    {
        return QTest::qWaitFor(
            [&] {
                for (const QByteArray &a : addresses) {
                    if (store.logo(a).isNull() && !store.failed(a))
                        return false;
                }
                return true;
            },
            kWaitMs);
    }

    QTemporaryDir cache;
    TestHttpServer server;
    QObject view;
};

TEST_F(LogoStoreTest, FailuresShowThePlaceholderAndAreNotFetchedAgain)
{
    // A logo slower than the store's own time limit fails as any other failure does.
    server.serveDrip("/slow", png({40, 20}), 200);
    const QByteArray address = server.url("/slow");
    LogoStore::Options o = options();
    o.limits.totalMs = 1'500;
    LogoStore store(o);
    store.setWanted(&view, {address});
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.failed(address); }, kWaitMs));

    // Shown again: remembered, not fetched again.
    store.setWanted(&view, {});
    store.setWanted(&view, {address});
    QTest::qWait(100);
    EXPECT_EQ(server.requestsFor("/slow").size(), 1);
    EXPECT_EQ(store.queuedCount(), 0);
}

TEST_F(LogoStoreTest, LogosAreScaledToTheRowAndASecondStoreReadsThemFromDisk)
{
    const struct
    {
        QByteArray path;
        QSize served, shown;
    } cases[] = {
        {"/wide.png", {200, 100}, {48, 24}},
        {"/small.png", {12, 12}, {24, 24}},
        {"/banner.png", {960, 48}, {96, 4}},
        // 36 MB of pixels, beyond the decoder's allocation limit unless decoded small.
        {"/vast.png", {3000, 3000}, {24, 24}},
    };
    QList<QByteArray> addresses;
    for (const auto &c : cases) {
        server.serve(c.path, png(c.served));
        addresses.append(server.url(c.path));
    }
    const auto expectShown = [&](LogoStore &store) {
        store.setWanted(&view, addresses);
        ASSERT_TRUE(settle(store, addresses));
        for (qsizetype i = 0; i < addresses.size(); ++i)
            EXPECT_EQ(store.logo(addresses[i]).size(), cases[i].shown) << cases[i].path.constData();
    };
    LogoStore first(options());
    expectShown(first);
    server.clearRequests();
    LogoStore second(options());
    expectShown(second);
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(LogoStoreTest, TheSizeCapDropsTheLogoUnusedLongest)
{
    server.serve("/fresh.png", png({30, 24}));
    const QByteArray fresh = server.url("/fresh.png");
    // readFirst: a seeded logo shown again before the new one arrives, or -1.
    for (const auto &[readFirst, dropped] : {std::pair{-1, 0}, std::pair{0, 1}}) {
        SCOPED_TRACE(readFirst);
        QTemporaryDir folder;
        LogoDiskCache disk(folder.path(), 1LL << 30);
        QList<QByteArray> seeded;
        qint64 total = 0;
        for (int i = 0; i < 3; ++i) {
            seeded.append("http://seed.invalid/" + QByteArray::number(i));
            ASSERT_TRUE(disk.write(seeded[i], QImage::fromData(png({24, 24}))).ok());
            QFile file(disk.filePath(seeded[i]));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600 + i * 60),
                             QFileDevice::FileModificationTime);
            total += file.size();
        }
        // Room for all but half a logo more: the new one pushes exactly one out.
        LogoStore::Options o = options();
        o.cacheFolder = folder.path();
        o.cacheBytes = total + total / 6;
        LogoStore store(o);
        if (readFirst >= 0) {
            store.setWanted(&view, {seeded[readFirst]});
            ASSERT_TRUE(settle(store, {seeded[readFirst]}));
        }
        store.setWanted(&view, {fresh});
        ASSERT_TRUE(settle(store, {fresh}));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(QFile::exists(disk.filePath(seeded[i])), i != dropped) << i;
    }
}

TEST_F(LogoStoreTest, AtMostFourFetchesAtOnceOnePerHostAndRowsScrolledAwayAreForgotten)
{
    std::vector<std::unique_ptr<TestHttpServer>> hosts;
    QList<QByteArray> addresses;
    TestHttpServer::Route silent;
    silent.mode = TestHttpServer::Mode::Silent;
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(hosts.emplace_back(std::make_unique<TestHttpServer>())->listen());
        hosts.back()->setDefaultRoute(silent);
        addresses.append(hosts.back()->url("/logo.png"));
    }
    // Two more on the first host wait for it even while other slots are free. Which of
    // the three goes first depends on which disk read ends first, so steps keep all three.
    addresses << hosts[0]->url("/second.png") << hosts[0]->url("/third.png");
    const auto connections = [&] {
        int n = 0;
        for (const auto &h : hosts)
            n += h->connectionCount();
        return n;
    };
    const struct
    {
        QList<QByteArray> wanted;
        int fetches, queued;
    } steps[] = {
        {{addresses[0], addresses[6], addresses[7]}, 1, 2},
        {addresses, 4, 4},
        {addresses.first(4) << addresses[6] << addresses[7], 4, 2}, // 4 and 5 scrolled away
    };
    LogoStore store(options());
    for (const auto &step : steps) {
        store.setWanted(&view, step.wanted);
        ASSERT_TRUE(QTest::qWaitFor([&] { return connections() >= step.fetches; }, kWaitMs));
        QTest::qWait(300);
        EXPECT_EQ(connections(), step.fetches);
        EXPECT_EQ(store.fetchCount(), step.fetches);
        EXPECT_EQ(store.queuedCount(), step.queued);
    }
}

} // namespace
