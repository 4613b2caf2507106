#pragma once

#include "submit/links.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>

#include <deque>

namespace mavrel {

// Keeps a long crawl civil and its memory bounded.
struct SpiderLimits
{
    // Pause between two requests to the same host.
    int hostPauseMs = 1000;
    // Addresses queued or visited at most; further links are dropped.
    qsizetype maxKnownPages = 100'000;
    // New page links taken from one page at most.
    qsizetype maxLinksPerPage = 1'000;
};

// The breadth-first crawl without widgets: the queue, the visited list and the set of every
// address in either (lower case), so a known page is found in constant time.
class SpiderCrawl
{
public:
    explicit SpiderCrawl(SpiderLimits limits = {}) : m_limits(limits) {}

    // Queues the start address in lower case, without testing whether it is known.
    void enqueueStart(const QByteArray &address);

    bool queueEmpty() const { return m_queue.empty(); }
    // Copies the queue's head to the end of the visited list and returns it.
    QByteArray spiderNext();
    // Removes the queue's head; nothing when the queue is empty.
    void dropQueueHead();

    // Lower-cases the link in place; true when it is already queued or visited.
    bool isKnownPage(QByteArray &link) const;

    // Queues the page links of a visited page that are web links and not yet known, within the
    // limits; returns what was queued.
    QList<QByteArray> addPageLinks(QByteArrayView page, const PageBase &base);

    // How long to wait before the next request to the host of this address, at time nowMs.
    int waitBeforeMs(const QByteArray &address, qint64 nowMs) const;
    void noteRequest(const QByteArray &address, qint64 nowMs);

    const std::deque<QByteArray> &queue() const { return m_queue; }
    const QList<QByteArray> &visited() const { return m_visited; }
    const SpiderLimits &limits() const { return m_limits; }

private:
    SpiderLimits m_limits;
    std::deque<QByteArray> m_queue;
    QList<QByteArray> m_visited;
    QSet<QByteArray> m_known;
    QHash<QByteArray, qint64> m_lastRequest;
};

// The host (and port) of an address, in lower case: "http://A.example/x" gives "a.example".
QByteArray hostOf(const QByteArray &address);

} // namespace mavrel
