#pragma once

#include "server/app/options.h"

#include <QList>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace mavrel::server::app {

// Syncs the --sync sources on a thread and a database connection of their own, each at start
// and then at its interval, until stopped.
class SyncScheduler
{
public:
    explicit SyncScheduler(const Options &o) : m_db(o.db), m_syncs(o.syncs) {}
    ~SyncScheduler() { stop(); }
    SyncScheduler(const SyncScheduler &) = delete;
    SyncScheduler &operator=(const SyncScheduler &) = delete;

    void start();
    // Cancels a fetch under way and waits for the thread.
    void stop();

private:
    void run();

    QString m_db;
    QList<Options::Sync> m_syncs;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::atomic<bool> m_cancel = false;
    std::jthread m_thread;
};

} // namespace mavrel::server::app
