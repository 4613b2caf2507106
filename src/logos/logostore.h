#pragma once

#include "online/fetchlimits.h"

#include <QByteArray>
#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <memory>
#include <vector>

class QThread;

namespace mavrel {

class LogoDiskCache;

// Channel logos by address (http or https), for the lists. Views say which addresses they show
// now; the store loads those from its disk cache or fetches them on worker threads, at most
// `maxJobs` at once and one fetch per host (host and port) at a time. Logos come back decoded
// and scaled to kLogoHeight pixels high. The memory cache is all the user-interface thread ever
// reads; failures are remembered until the store goes.
class LogoStore : public QObject
{
    Q_OBJECT
public:
    static constexpr int kLogoHeight = 24;
    static constexpr int kMaxLogoWidth = 4 * kLogoHeight;

    struct Options
    {
        QString cacheFolder = defaultCacheFolder();
        qint64 cacheBytes = 100LL * 1024 * 1024;
        int maxJobs = 4;
        FetchLimits limits = logoFetchLimits();
    };

    // $XDG_CACHE_HOME/mavrel/logos
    static QString defaultCacheFolder();
    static FetchLimits logoFetchLimits();

    explicit LogoStore(QObject *parent = nullptr);
    explicit LogoStore(const Options &options, QObject *parent = nullptr);
    ~LogoStore() override;

    // From memory only; a null image while it is not there (yet, or it failed).
    QImage logo(const QByteArray &address) const;
    bool failed(const QByteArray &address) const { return m_failed.contains(address); }

    // The addresses `view` shows now, most wanted first. Requests of no view that have not
    // started are forgotten; an empty list withdraws the view's wishes.
    void setWanted(QObject *view, const QList<QByteArray> &addresses);

    // Waiting requests, and the network fetches under way (diagnostics and tests).
    int queuedCount() const { return int(m_queue.size()); }
    int fetchCount() const { return m_fetching; }

signals:
    // A logo arrived or failed for good.
    void logoChanged(const QByteArray &address);

private:
    struct Worker;
    struct Request
    {
        QByteArray address;
        QByteArray host;
    };

    void rebuildQueue();
    void startJobs();
    void startJob(Worker *worker, const Request &request);
    void finishJob(Worker *worker, const Request &request, const QImage &logo, bool fromDisk);
    bool known(const QByteArray &address) const;

    const Options m_options;
    std::shared_ptr<LogoDiskCache> m_disk;
    std::vector<std::unique_ptr<Worker>> m_workers;
    QList<Worker *> m_idle;
    QHash<QObject *, QList<QByteArray>> m_wanted;
    QSet<QObject *> m_watched; // views whose end withdraws their wishes
    QList<Request> m_queue;
    QHash<QByteArray, Request> m_running; // by address
    QSet<QByteArray> m_busyHosts;
    QSet<QByteArray> m_failed;
    QSet<QByteArray> m_diskMissed; // not on disk: fetched when wanted
    QCache<QByteArray, QImage> m_logos;
    int m_fetching = 0;
};

} // namespace mavrel
