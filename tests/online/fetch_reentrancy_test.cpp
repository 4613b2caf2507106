#include "online/fetch.h"

#include "testhttpserver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

using namespace mavrel;
using namespace mavrel::test;
using namespace Qt::StringLiterals;

namespace {

FetchOptions longLimits(QObject *owner = nullptr)
{
    FetchOptions options;
    options.owner = owner;
    options.limits = FetchLimits{1 << 20, 20'000, 20'000, 20'000};
    return options;
}

class FetchReentrancyTest : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(server.listen()); }
    void TearDown() override { EXPECT_EQ(activeFetchCount(), 0); }

    TestHttpServer server;
};

TEST_F(FetchReentrancyTest, NestedFetchRunsToItsEndBeforeTheOuterContinues)
{
    server.serveDrip("/outer", "OUTER", 100);
    server.serve("/inner", "inner body");
    QStringList events;
    QByteArray innerBody;
    // A click arriving while the outer fetch waits starts a fetch of its own.
    QTimer::singleShot(150, [&] {
        events.append(u"inner start"_s);
        innerBody = fetchPage(server.url("/inner")).body;
        events.append(u"inner end"_s);
    });
    const FetchResult outer = fetchPage(server.url("/outer"), longLimits());
    events.append(u"outer end"_s);
    EXPECT_EQ(outer.body, QByteArray("OUTER"));
    EXPECT_EQ(outer.end, FetchEnd::Complete);
    EXPECT_EQ(innerBody, QByteArray("inner body"));
    EXPECT_EQ(events, QStringList({u"inner start"_s, u"inner end"_s, u"outer end"_s}));
}

TEST_F(FetchReentrancyTest, NestedFetchFromAProgressHandler)
{
    QByteArray body(4096, 'b');
    server.serve("/big", body);
    server.serve("/small", "s");
    int nested = 0;
    QStringList progress;
    const FetchResult r = fetchPageWithStatus(
        server.url("/big"), statusText([&](const QString &t) {
            progress.append(t);
            if (nested++ == 0) {
                EXPECT_EQ(fetchPage(server.url("/small")).body, QByteArray("s"));
            }
        }));
    EXPECT_EQ(r.body, body);
    EXPECT_EQ(progress.size(), 4096 / 256);
    EXPECT_EQ(progress.last(), u"Downloaded 4096 bytes."_s);
}

TEST_F(FetchReentrancyTest, DestroyedOwnerAbortsAndIsNotTouched)
{
    server.serveDrip("/drip", QByteArray(100, 'd'), 50);
    auto *window = new QObject;
    bool destroyed = false;
    int callsAfterDestruction = 0;
    QTimer::singleShot(300, [&] {
        delete window;
        destroyed = true;
    });
    QElapsedTimer clock;
    clock.start();
    const FetchResult r = fetchPageWithStatus(
        server.url("/drip"), [&](qint64) { callsAfterDestruction += destroyed ? 1 : 0; },
        longLimits(window));
    EXPECT_TRUE(r.ownerGone);
    EXPECT_EQ(r.end, FetchEnd::Aborted);
    EXPECT_EQ(callsAfterDestruction, 0);
    EXPECT_LT(clock.elapsed(), 3'000);
}

TEST_F(FetchReentrancyTest, OwnerDestroyedDuringANestedFetch)
{
    server.serveDrip("/outer", QByteArray(50, 'o'), 50);
    server.serveDrip("/inner", "inner", 100);
    auto *outerWindow = new QObject;
    QObject innerWindow;
    FetchResult inner;
    QTimer::singleShot(100, [&] {
        QTimer::singleShot(200, [&] { delete outerWindow; });
        inner = fetchPage(server.url("/inner"), longLimits(&innerWindow));
    });
    const FetchResult outer = fetchPage(server.url("/outer"), longLimits(outerWindow));
    EXPECT_TRUE(outer.ownerGone);
    EXPECT_EQ(outer.end, FetchEnd::Aborted);
    EXPECT_FALSE(inner.ownerGone);
    EXPECT_EQ(inner.body, QByteArray("inner"));
}

TEST_F(FetchReentrancyTest, AbortAllEndsEveryFetch)
{
    server.serveDrip("/a", QByteArray(100, 'a'), 50);
    server.serveDrip("/b", QByteArray(100, 'b'), 50);
    FetchResult inner;
    QTimer::singleShot(100, [&] {
        QTimer::singleShot(200, [] { abortAllFetches(); });
        inner = fetchPage(server.url("/b"), longLimits());
    });
    const FetchResult outer = fetchPage(server.url("/a"), longLimits());
    EXPECT_EQ(inner.end, FetchEnd::Aborted);
    EXPECT_EQ(outer.end, FetchEnd::Aborted);
}

// The application quits while a fetch (slow or flooding) is under way, possibly nested.
TEST_F(FetchReentrancyTest, QuittingApplicationEndsFetches)
{
    server.serveDrip("/slow", QByteArray(100, 's'), 50);
    server.serveEndless("/flood");
    struct Case
    {
        const char *outerPath;
        const char *innerPath; // nullptr: no nested fetch
    };
    const Case cases[] = {
        {"/slow", nullptr},
        {"/flood", nullptr},
        {"/slow", "/flood"},
        {"/flood", "/slow"},
    };
    for (const Case &c : cases) {
        FetchResult outer;
        FetchResult inner;
        bool outerReturned = false;
        QElapsedTimer clock;
        clock.start();
        FetchOptions options = longLimits();
        options.limits->maxBytes = qint64(1) << 40;
        QTimer::singleShot(0, [&] {
            if (c.innerPath != nullptr) {
                QTimer::singleShot(100, [&] {
                    QTimer::singleShot(200, [] { QCoreApplication::quit(); });
                    inner = fetchPage(server.url(c.innerPath), options);
                });
            } else {
                QTimer::singleShot(300, [] { QCoreApplication::quit(); });
            }
            outer = fetchPage(server.url(c.outerPath), options);
            outerReturned = true;
        });
        QCoreApplication::exec();
        EXPECT_TRUE(outerReturned) << c.outerPath;
        EXPECT_EQ(outer.end, FetchEnd::Aborted) << c.outerPath;
        if (c.innerPath != nullptr) {
            EXPECT_EQ(inner.end, FetchEnd::Aborted) << c.innerPath;
        }
        EXPECT_LT(clock.elapsed(), 5'000) << c.outerPath;
    }
    // Fetches work again once the application runs on.
    server.serve("/after", "still here");
    EXPECT_EQ(fetchPage(server.url("/after")).body, QByteArray("still here"));
}

} // namespace
