#include "server/app/syncscheduler.h"

#include "server/sources/importer.h"
#include "server/store/cataloguestore.h"

#include <chrono>
#include <cstdio>

#include <malloc.h>

using namespace Qt::StringLiterals;

namespace mavrel::server::app {

void SyncScheduler::start()
{
    if (m_syncs.isEmpty())
        return;
    m_thread = std::jthread([this] { run(); });
}

void SyncScheduler::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_cancel = true;
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

void SyncScheduler::run()
{
    auto opened = CatalogueStore::open(m_db);
    if (!opened) {
        err(u"sync: "_s + opened.error().message);
        return;
    }
    CatalogueStore &store = *opened.value();
    using Clock = std::chrono::steady_clock;
    QList<Clock::time_point> due(m_syncs.size(), Clock::now());
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        Clock::time_point next = Clock::time_point::max();
        for (qsizetype i = 0; i < m_syncs.size(); ++i) {
            if (Clock::now() >= due[i]) {
                lock.unlock();
                SourceLimits limits;
                limits.cancel = &m_cancel;
                const SourceRun run{{m_syncs[i].source}, m_syncs[i].guides, true};
                runSources(
                    store, run, limits,
                    [](const QByteArray &line) { std::printf("sync %s\n", line.constData()); },
                    [](const QString &why) { err(u"sync: "_s + why); });
                std::fflush(stdout);
                // What the sync took goes back to the system, not only to the heap: the server
                // may idle for a day until the next one.
                malloc_trim(0);
                lock.lock();
                due[i] = Clock::now() + std::chrono::seconds(m_syncs[i].everySecs);
            }
            next = std::min(next, due[i]);
        }
        m_wake.wait_until(lock, next, [this] { return m_stop; });
    }
}

} // namespace mavrel::server::app
