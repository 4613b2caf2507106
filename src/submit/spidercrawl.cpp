#include "submit/spidercrawl.h"

#include <algorithm>

namespace mavrel {

QByteArray hostOf(const QByteArray &address)
{
    QByteArray host = address.toLower();
    const qsizetype scheme = host.indexOf("://");
    if (scheme >= 0)
        host.remove(0, scheme + 3);
    const qsizetype slash = host.indexOf('/');
    if (slash >= 0)
        host.truncate(slash);
    return host;
}

void SpiderCrawl::enqueueStart(const QByteArray &address)
{
    const QByteArray lower = address.toLower();
    m_queue.push_back(lower);
    m_known.insert(lower);
}

QByteArray SpiderCrawl::spiderNext()
{
    if (m_queue.empty())
        return {};
    m_visited.append(m_queue.front());
    return m_queue.front();
}

void SpiderCrawl::dropQueueHead()
{
    if (!m_queue.empty())
        m_queue.pop_front();
}

bool SpiderCrawl::isKnownPage(QByteArray &link) const
{
    link = link.toLower();
    return m_known.contains(link);
}

QList<QByteArray> SpiderCrawl::addPageLinks(QByteArrayView page, const PageBase &base)
{
    QList<QByteArray> queued;
    for (QByteArray link : extractPageLinks(page, base)) {
        if (queued.size() >= m_limits.maxLinksPerPage || m_known.size() >= m_limits.maxKnownPages)
            break;
        if (!isWebLink(link) || isKnownPage(link))
            continue;
        m_queue.push_back(link);
        m_known.insert(link);
        queued.append(link);
    }
    return queued;
}

int SpiderCrawl::waitBeforeMs(const QByteArray &address, qint64 nowMs) const
{
    const auto last = m_lastRequest.constFind(hostOf(address));
    if (last == m_lastRequest.cend())
        return 0;
    const qint64 wait = *last + m_limits.hostPauseMs - nowMs;
    return static_cast<int>(std::clamp<qint64>(wait, 0, m_limits.hostPauseMs));
}

void SpiderCrawl::noteRequest(const QByteArray &address, qint64 nowMs)
{
    // Bounded like the queue: one entry per host of a known page at most.
    m_lastRequest.insert(hostOf(address), nowMs);
}

} // namespace mavrel
