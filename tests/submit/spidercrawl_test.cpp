#include "submit/spidercrawl.h"

#include <gtest/gtest.h>

using namespace mavrel;

TEST(Spider, KnownPagesAndQueueOrder)
{
    SpiderCrawl crawl;
    crawl.enqueueStart("HTTP://Example.com/Start.htm");
    ASSERT_EQ(crawl.queue().front(), "http://example.com/start.htm");
    const QByteArray page = "<a href=\"Page2.htm\"><a href=\"page2.htm\"><a href=\"pic.gif\">"
                            "<a href=\"ftp://example.com/f.htm\"><a href=\"start.htm\">";
    EXPECT_EQ(crawl.spiderNext(), "http://example.com/start.htm");
    const auto queued = crawl.addPageLinks(page, pageBase("http://example.com/start.htm"));
    EXPECT_EQ(queued, QList<QByteArray>{"http://example.com/page2.htm"});
    crawl.dropQueueHead();
    QByteArray mixed = "HTTP://EXAMPLE.COM/PAGE2.HTM";
    EXPECT_TRUE(crawl.isKnownPage(mixed));
    EXPECT_EQ(mixed, "http://example.com/page2.htm");
    QByteArray visited = "http://example.com/start.htm";
    EXPECT_TRUE(crawl.isKnownPage(visited));
    EXPECT_EQ(crawl.visited(), QList<QByteArray>{"http://example.com/start.htm"});
    crawl.dropQueueHead();
    crawl.dropQueueHead(); // an empty queue is no failure
    EXPECT_TRUE(crawl.queueEmpty());
}

TEST(Spider, PageOfManyLinksStaysBounded)
{
    SpiderLimits limits;
    limits.maxLinksPerPage = 500;
    limits.maxKnownPages = 1'200;
    SpiderCrawl crawl(limits);
    crawl.enqueueStart("http://example.com/");
    for (int round = 0; round < 3; ++round) {
        QByteArray page;
        for (int i = 0; i < 100'000; ++i)
            page +=
                "<a href=\"p" + QByteArray::number(round) + '_' + QByteArray::number(i) + ".htm\">";
        crawl.spiderNext();
        crawl.addPageLinks(page, pageBase("http://example.com/"));
    }
    EXPECT_EQ(crawl.queue().size(), 1'200u);
    EXPECT_EQ(crawl.queue()[1], "http://example.com/p0_0.htm");
    EXPECT_EQ(crawl.queue()[501], "http://example.com/p1_0.htm");
}

TEST(Spider, PauseBetweenRequestsToOneHost)
{
    SpiderCrawl crawl(SpiderLimits{1000, 10, 10});
    EXPECT_EQ(crawl.waitBeforeMs("http://a.example/x.htm", 5'000), 0);
    crawl.noteRequest("http://A.example/x.htm", 5'000);
    EXPECT_EQ(crawl.waitBeforeMs("a.example/y.htm", 5'300), 700);
    EXPECT_EQ(crawl.waitBeforeMs("http://b.example/y.htm", 5'300), 0);
    EXPECT_EQ(crawl.waitBeforeMs("http://a.example/", 6'000), 0);
    EXPECT_EQ(hostOf("https://Host.example:81/p"), "host.example:81");
}
