#pragma once

#include <QHash>
#include <QString>

#include <chrono>
#include <list>
#include <mutex>

namespace mavrel::server {

// A token bucket for each client address: `rate` requests a second sustained, `burst` at once.
// The table keeps the addresses seen last, at most `maxAddresses`; one dropped for room starts
// again with a full bucket, which is what an address idle for burst / rate seconds has anyway.
class AddressRateLimit
{
public:
    using Clock = std::chrono::steady_clock;

    AddressRateLimit(double rate, double burst, int maxAddresses = 10000);

    // Takes one token of the address's bucket; false when it is empty, with the whole seconds
    // until the next token in retryAfterSecs.
    bool take(const QString &client, int *retryAfterSecs = nullptr,
              Clock::time_point now = Clock::now());
    int addresses() const;

private:
    struct Bucket
    {
        QString client;
        double tokens = 0;
        Clock::time_point updated;
    };
    double m_rate;
    double m_burst;
    int m_maxAddresses;
    mutable std::mutex m_lock;
    std::list<Bucket> m_recent; // most recently used first
    QHash<QString, std::list<Bucket>::iterator> m_index;
};

} // namespace mavrel::server
