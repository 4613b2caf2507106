#pragma once

#include <QLockFile>
#include <QString>

namespace mavrel {

// One viewer per user: a lock file in the user's runtime folder. A lock left behind by a
// process that no longer runs does not count.
class SingleInstance
{
public:
    explicit SingleInstance(const QString &lockPath = defaultLockPath());

    // True when this process holds the lock (now or already).
    bool tryAcquire();
    bool held() const { return m_lock.isLocked(); }

    static QString defaultLockPath();

private:
    QLockFile m_lock;
};

} // namespace mavrel
