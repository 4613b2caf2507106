#include "logos/logodiskcache.h"
#include "logos/logostore.h"

#include "testhttpserver.h"

#include <QBuffer>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace mavrel;
using namespace mavrel::test;
using namespace Qt::StringLiterals;

namespace {

constexpr int kWaitMs = 20'000;

QImage picture(int width, int height, QColor color = Qt::red)
{
    QImage image(width, height, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

QByteArray png(int width, int height, QColor color = Qt::red)
{
    const QImage image = picture(width, height, color);
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

    LogoStore::Options options(qint64 cacheBytes = 100LL * 1024 * 1024) const
    {
        LogoStore::Options o;
        o.cacheFolder = cache.path();
        o.cacheBytes = cacheBytes;
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
    struct Case
    {
        QByteArray path;
        std::function<void()> serve;
    };
    const QByteArray logo = png(40, 20);
    const Case cases[] = {
        {"/missing", [] {}},
        {"/text", [&] { server.serve("/text", "<html>no picture here</html>"); }},
        {"/huge", [&] { server.serveGenerated("/huge", 2 * 1024 * 1024); }},
        {"/loop", [&] { server.serveRedirect("/loop", server.url("/loop")); }},
        {"/slow", [&] { server.serveDrip("/slow", logo, 200); }},
        {"/broken", [&] { server.serve("/broken", logo.left(logo.size() / 2)); }},
    };
    LogoStore::Options o = options();
    o.limits.totalMs = 1'500;
    o.limits.connectMs = 1'500;
    LogoStore store(o);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.path.constData());
        c.serve();
        const QByteArray address = server.url(c.path);
        store.setWanted(&view, {address});
        ASSERT_TRUE(settle(store, {address}));
        EXPECT_TRUE(store.failed(address));
        EXPECT_TRUE(store.logo(address).isNull());
        EXPECT_FALSE(QFile::exists(LogoDiskCache(cache.path(), 0).filePath(address)));

        // Shown again: remembered, not fetched again.
        const qsizetype asked = server.requestsFor(c.path).size();
        store.setWanted(&view, {});
        store.setWanted(&view, {address});
        QTest::qWait(100);
        EXPECT_EQ(server.requestsFor(c.path).size(), asked);
        EXPECT_EQ(store.queuedCount(), 0);
    }
}

TEST_F(LogoStoreTest, LogosAreScaledToTheRowAndASecondStoreReadsThemFromDisk)
{
    struct Case
    {
        QByteArray path;
        QSize served;
        QSize shown;
    };
    const Case cases[] = {
        {"/wide.png", {200, 100}, {48, 24}},
        {"/small.png", {12, 12}, {24, 24}},
        {"/banner.png", {960, 48}, {96, 4}},
        // 36 MB of pixels, beyond the decoder's allocation limit unless decoded small.
        {"/vast.png", {3000, 3000}, {24, 24}},
    };
    QList<QByteArray> addresses;
    for (const Case &c : cases) {
        server.serve(c.path, png(c.served.width(), c.served.height()));
        addresses.append(server.url(c.path));
    }
    {
        LogoStore store(options());
        store.setWanted(&view, addresses);
        ASSERT_TRUE(settle(store, addresses));
        for (qsizetype i = 0; i < addresses.size(); ++i)
            EXPECT_EQ(store.logo(addresses[i]).size(), cases[i].shown) << cases[i].path.constData();
    }
    server.clearRequests();
    LogoStore second(options());
    second.setWanted(&view, addresses);
    ASSERT_TRUE(settle(second, addresses));
    for (qsizetype i = 0; i < addresses.size(); ++i)
        EXPECT_EQ(second.logo(addresses[i]).size(), cases[i].shown) << cases[i].path.constData();
    EXPECT_TRUE(server.requests().isEmpty());
}

TEST_F(LogoStoreTest, TheSizeCapDropsTheLogoUnusedLongest)
{
    struct Case
    {
        const char *name;
        int readFirst; // a seeded logo shown again before the new one arrives, or -1
        int dropped;
    };
    const Case cases[] = {{"untouched", -1, 0}, {"oldest shown again", 0, 1}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        LogoDiskCache disk(folder.path(), 1LL << 30);
        QList<QByteArray> seeded;
        qint64 total = 0;
        for (int i = 0; i < 3; ++i) {
            seeded.append("http://seed.invalid/" + QByteArray::number(i));
            ASSERT_TRUE(disk.write(seeded[i], picture(24, 24)).ok());
            QFile file(disk.filePath(seeded[i]));
            ASSERT_TRUE(file.open(QIODevice::ReadWrite));
            file.setFileTime(QDateTime::currentDateTimeUtc().addSecs(-3600 + i * 60),
                             QFileDevice::FileModificationTime);
            total += file.size();
        }
        const QByteArray fresh = png(30, 24, Qt::blue);
        server.serve("/fresh.png", fresh);
        const QByteArray address = server.url("/fresh.png");
        // Room for all but half a logo more: the new one pushes exactly one out.
        const qint64 seedSize = QFileInfo(disk.filePath(seeded[0])).size();
        LogoStore::Options o = options(total + seedSize / 2);
        o.cacheFolder = folder.path();
        LogoStore store(o);
        if (c.readFirst >= 0) {
            store.setWanted(&view, {seeded[c.readFirst]});
            ASSERT_TRUE(settle(store, {seeded[c.readFirst]}));
        }
        store.setWanted(&view, {address});
        ASSERT_TRUE(settle(store, {address}));
        ASSERT_FALSE(store.logo(address).isNull());
        EXPECT_TRUE(QFile::exists(disk.filePath(address)));
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(QFile::exists(disk.filePath(seeded[i])), i != c.dropped) << i;
    }
}

TEST_F(LogoStoreTest, AtMostFourFetchesAtOnceAndOnePerHost)
{
    std::vector<std::unique_ptr<TestHttpServer>> hosts;
    QList<QByteArray> addresses;
    for (int i = 0; i < 6; ++i) {
        hosts.push_back(std::make_unique<TestHttpServer>());
        ASSERT_TRUE(hosts.back()->listen());
        TestHttpServer::Route silent;
        silent.mode = TestHttpServer::Mode::Silent;
        hosts.back()->setDefaultRoute(silent);
        addresses.append(hosts.back()->url("/logo.png"));
    }
    // Two more on the first host wait for it even while other slots are free.
    addresses.append(hosts[0]->url("/second.png"));
    addresses.append(hosts[0]->url("/third.png"));
    const auto connections = [&] {
        int n = 0;
        for (const auto &h : hosts)
            n += h->connectionCount();
        return n;
    };

    {
        LogoStore store(options());
        store.setWanted(&view, {addresses[0], addresses[6], addresses[7]});
        ASSERT_TRUE(QTest::qWaitFor([&] { return connections() == 1; }, kWaitMs));
        QTest::qWait(300);
        EXPECT_EQ(connections(), 1);
        EXPECT_EQ(store.fetchCount(), 1);
        EXPECT_EQ(store.queuedCount(), 2);
    }
    {
        LogoStore store(options());
        store.setWanted(&view, addresses);
        ASSERT_TRUE(QTest::qWaitFor([&] { return connections() >= 5; }, kWaitMs));
        QTest::qWait(300);
        EXPECT_EQ(connections(), 5); // one from the first store, four from this one
        EXPECT_EQ(store.fetchCount(), 4);
        EXPECT_EQ(store.queuedCount(), 4);
    } // hanging fetches end with the store
}

TEST_F(LogoStoreTest, RowsScrolledAwayBeforeTheirTurnAreNotFetched)
{
    const QByteArray logo = png(24, 24);
    server.serveDrip("/a.png", logo, 5);
    server.serve("/b.png", logo);
    server.serve("/c.png", logo);
    const QByteArray a = server.url("/a.png"), b = server.url("/b.png"), c = server.url("/c.png");
    QObject other;
    LogoStore store(options());
    store.setWanted(&view, {a});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !server.requestsFor("/a.png").isEmpty(); }, kWaitMs));
    // b is not on disk and waits for the host.
    store.setWanted(&view, {a, b});
    ASSERT_TRUE(QTest::qWaitFor([&] { return store.queuedCount() == 1; }, kWaitMs));
    store.setWanted(&view, {a, c});
    store.setWanted(&other, {c});
    ASSERT_TRUE(settle(store, {a, c}));
    EXPECT_FALSE(store.logo(a).isNull());
    EXPECT_FALSE(store.logo(c).isNull());
    EXPECT_TRUE(server.requestsFor("/b.png").isEmpty());
    EXPECT_EQ(server.requestsFor("/c.png").size(), 1);
}

} // namespace
