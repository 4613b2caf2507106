#include "server/http/addressratelimit.h"

#include <algorithm>
#include <cmath>

namespace mavrel::server {

AddressRateLimit::AddressRateLimit(double rate, double burst, int maxAddresses)
    : m_rate(rate), m_burst(std::max(1.0, burst)), m_maxAddresses(std::max(1, maxAddresses))
{}

bool AddressRateLimit::take(const QString &client, int *retryAfterSecs, Clock::time_point now)
{
    std::lock_guard lock(m_lock);
    auto found = m_index.find(client);
    if (found == m_index.end()) {
        if (m_recent.size() >= size_t(m_maxAddresses)) {
            m_index.remove(m_recent.back().client);
            m_recent.pop_back();
        }
        m_recent.push_front({client, m_burst, now});
        found = m_index.insert(client, m_recent.begin());
    } else {
        m_recent.splice(m_recent.begin(), m_recent, *found);
    }
    Bucket &b = **found;
    const double elapsed = std::chrono::duration<double>(now - b.updated).count();
    b.tokens = std::min(m_burst, b.tokens + std::max(0.0, elapsed) * m_rate);
    b.updated = now;
    if (b.tokens >= 1) {
        b.tokens -= 1;
        return true;
    }
    if (retryAfterSecs)
        *retryAfterSecs = std::max(1, int(std::ceil((1 - b.tokens) / m_rate)));
    return false;
}

int AddressRateLimit::addresses() const
{
    std::lock_guard lock(m_lock);
    return int(m_recent.size());
}

} // namespace mavrel::server
