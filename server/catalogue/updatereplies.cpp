#include "server/catalogue/updatereplies.h"

#include "server/store/cataloguestore.h"

#include <sys/resource.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <list>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

using namespace Qt::StringLiterals;

namespace mavrel::server {

namespace {

using Key = std::pair<bool, qint64>; // dead-channel page, date asked

// Below this a compressed copy saves less than its headers cost.
constexpr qsizetype kGzipFrom = 1024;

struct Job;

struct Waiter final : PendingReply
{
    std::shared_ptr<UpdateReplies::Core> core;
    QString client;
    CatalogueVersion seen;
    // Under the core's lock.
    std::shared_ptr<Job> job; // while waiting
    bool waiting = true;
    std::function<void()> wake;
    std::shared_ptr<const BuiltReply> reply;
    Error error;

    void onReady(std::function<void()> w) override;
    void abandon() override;
    HttpReply finish(CataloguePages &pages) override;
};

struct Job
{
    Key key;
    bool running = false;
    std::optional<CatalogueVersion> version; // of the catalogue a running build reads
    std::atomic<bool> stop{false};
    std::vector<std::shared_ptr<Waiter>> waiters;
};

QByteArray gzipped(const QByteArray &data)
{
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    QByteArray out(qsizetype(deflateBound(&z, uLong(data.size()))), Qt::Uninitialized);
    z.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(data.constData()));
    z.avail_in = uInt(data.size());
    z.next_out = reinterpret_cast<Bytef *>(out.data());
    z.avail_out = uInt(out.size());
    const int r = deflate(&z, Z_FINISH);
    const auto size = qsizetype(z.total_out);
    deflateEnd(&z);
    if (r != Z_STREAM_END)
        return {};
    out.resize(size);
    out.squeeze();
    return out;
}

} // namespace

struct UpdateReplies::Core
{
    StoreFactory openStore;
    UpdateReplyLimits limits;

    mutable std::mutex lock;
    std::condition_variable work;
    std::deque<std::shared_ptr<Job>> queue;
    std::map<Key, std::shared_ptr<Job>> queued, running;
    struct Entry
    {
        std::shared_ptr<const BuiltReply> reply;
        std::list<Key>::iterator use;
    };
    std::map<Key, Entry> cache;
    std::list<Key> recent; // most recently asked first
    Counts counts;
    bool quit = false;
    std::vector<std::thread> threads;

    void build();
    Result<std::shared_ptr<const BuiltReply>> buildOne(std::unique_ptr<CatalogueStore> &store,
                                                       Job &job);
    void finish(const std::shared_ptr<Job> &job, Result<std::shared_ptr<const BuiltReply>> result);
    // Under the lock.
    std::shared_ptr<const BuiltReply> lookup(const Key &key, const CatalogueVersion &seen);
    void keep(const std::shared_ptr<const BuiltReply> &reply);
    void forget(std::map<Key, Entry>::iterator entry);
    std::shared_ptr<Job> queueFor(const Key &key);
    void reads(Job &job, const CatalogueVersion &version);
};

void Waiter::onReady(std::function<void()> w)
{
    {
        std::lock_guard l(core->lock);
        if (waiting) {
            wake = std::move(w);
            return;
        }
    }
    w();
}

void Waiter::abandon()
{
    std::lock_guard l(core->lock);
    if (!waiting)
        return;
    waiting = false;
    wake = nullptr;
    --core->counts.waiting;
    const std::shared_ptr<Job> j = std::move(job);
    std::erase_if(j->waiters, [this](const auto &w) { return w.get() == this; });
    if (!j->waiters.empty())
        return;
    // Nobody waits for it any more: it does not start, or stops where it is.
    if (j->running) {
        j->stop = true;
        if (const auto it = core->running.find(j->key);
            it != core->running.end() && it->second == j)
            core->running.erase(it);
        return;
    }
    std::erase(core->queue, j);
    if (const auto it = core->queued.find(j->key); it != core->queued.end() && it->second == j)
        core->queued.erase(it);
    ++core->counts.cancelled;
}

HttpReply Waiter::finish(CataloguePages &pages)
{
    std::shared_ptr<const BuiltReply> built;
    Error failure;
    {
        // The response holds the bytes it sends; the rest may go as soon as nobody else needs it.
        std::lock_guard l(core->lock);
        built = std::move(reply);
        failure = error;
    }
    return built ? pages.builtUpdate(*built, client) : pages.failedUpdate(failure);
}

UpdateReplies::UpdateReplies(StoreFactory openStore, UpdateReplyLimits limits)
    : d(std::make_shared<Core>())
{
    d->openStore = std::move(openStore);
    d->limits = limits;
    for (int i = 0; i < std::max(1, limits.builders); ++i)
        d->threads.emplace_back([core = d.get()]() { core->build(); });
}

UpdateReplies::~UpdateReplies()
{
    {
        std::lock_guard l(d->lock);
        d->quit = true;
    }
    d->work.notify_all();
    for (std::thread &t : d->threads)
        t.join();
    // Requests still queued (the front has stopped before, so normally none) get an error.
    std::vector<std::function<void()>> wakes;
    {
        std::lock_guard l(d->lock);
        for (const auto &job : d->queue) {
            for (const auto &w : job->waiters) {
                w->waiting = false;
                w->job.reset();
                w->error = Error{u"the server is stopping"_s};
                if (w->wake)
                    wakes.push_back(std::move(w->wake));
            }
            d->counts.waiting -= int(job->waiters.size());
            job->waiters.clear();
        }
        d->queue.clear();
        d->queued.clear();
    }
    for (const auto &wake : wakes)
        wake();
}

std::shared_ptr<const BuiltReply> UpdateReplies::Core::lookup(const Key &key,
                                                              const CatalogueVersion &seen)
{
    const auto it = cache.find(key);
    if (it == cache.end() || !it->second.reply->version.covers(seen))
        return nullptr;
    recent.splice(recent.begin(), recent, it->second.use);
    return it->second.reply;
}

void UpdateReplies::Core::forget(std::map<Key, Entry>::iterator entry)
{
    counts.cachedBytes -= entry->second.reply->body.size() + entry->second.reply->gzipBody.size();
    recent.erase(entry->second.use);
    cache.erase(entry);
}

void UpdateReplies::Core::keep(const std::shared_ptr<const BuiltReply> &reply)
{
    // A change in the second the reply was read from might not move the version: such a reply
    // serves the requests that waited for it, and no later one.
    if (reply->version.latestChange > reply->settled ||
        reply->version.latestUpdate > reply->settled)
        return;
    const qint64 bytes = reply->body.size() + reply->gzipBody.size();
    if (bytes > limits.maxCachedBytes)
        return;
    const Key key{reply->deadOnly, reply->since};
    if (const auto it = cache.find(key); it != cache.end()) {
        // Two builders may finish out of order.
        if (!reply->version.covers(it->second.reply->version))
            return;
        forget(it);
    }
    recent.push_front(key);
    cache.emplace(key, Entry{reply, recent.begin()});
    counts.cachedBytes += bytes;
    while (counts.cachedBytes > limits.maxCachedBytes)
        forget(cache.find(recent.back()));
}

std::shared_ptr<const BuiltReply> UpdateReplies::cached(bool deadOnly, qint64 since,
                                                        const CatalogueVersion &seen)
{
    std::lock_guard l(d->lock);
    return d->lookup(Key{deadOnly, since}, seen);
}

std::shared_ptr<PendingReply> UpdateReplies::wait(bool deadOnly, qint64 since,
                                                  const CatalogueVersion &seen,
                                                  const QString &client)
{
    auto w = std::make_shared<Waiter>();
    w->core = d;
    w->client = client;
    w->seen = seen;
    const Key key{deadOnly, since};
    std::lock_guard l(d->lock);
    // Built since the caller looked.
    if (auto hit = d->lookup(key, seen)) {
        w->waiting = false;
        w->reply = std::move(hit);
        return w;
    }
    if (d->counts.waiting >= d->limits.maxWaiting)
        return nullptr;
    // A build under way may have read the catalogue before the change this request has seen
    // (one that has not read it yet sorts its requests when it does); a queued one reads after.
    const auto it = d->running.find(key);
    const bool joins =
        it != d->running.end() && (!it->second->version || it->second->version->covers(seen));
    const std::shared_ptr<Job> job = joins ? it->second : d->queueFor(key);
    w->job = job;
    job->waiters.push_back(w);
    ++d->counts.waiting;
    return w;
}

bool UpdateReplies::full() const
{
    std::lock_guard l(d->lock);
    return d->counts.waiting >= d->limits.maxWaiting;
}

UpdateReplies::Counts UpdateReplies::counts() const
{
    std::lock_guard l(d->lock);
    return d->counts;
}

std::shared_ptr<Job> UpdateReplies::Core::queueFor(const Key &key)
{
    std::shared_ptr<Job> &job = queued[key];
    if (!job) {
        job = std::make_shared<Job>();
        job->key = key;
        queue.push_back(job);
        work.notify_one();
    }
    return job;
}

void UpdateReplies::Core::reads(Job &job, const CatalogueVersion &version)
{
    std::lock_guard l(lock);
    job.version = version;
    // Requests that joined before and saw a later catalogue wait for the next build.
    std::vector<std::shared_ptr<Waiter>> later;
    std::erase_if(job.waiters, [&](const std::shared_ptr<Waiter> &w) {
        if (version.covers(w->seen))
            return false;
        later.push_back(w);
        return true;
    });
    if (later.empty())
        return;
    const std::shared_ptr<Job> next = queueFor(job.key);
    for (const auto &w : later) {
        w->job = next;
        next->waiters.push_back(w);
    }
    if (job.waiters.empty()) {
        job.stop = true;
        if (const auto it = running.find(job.key); it != running.end() && it->second.get() == &job)
            running.erase(it);
    }
}

void UpdateReplies::Core::build()
{
    // Builds are background work: the front's workers, answering cheap pages, come first.
    ::setpriority(PRIO_PROCESS, id_t(::gettid()), 10);
    // The connection is made, used and closed on this thread.
    std::unique_ptr<CatalogueStore> store;
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock l(lock);
            work.wait(l, [this]() { return quit || !queue.empty(); });
            if (quit)
                return;
            job = std::move(queue.front());
            queue.pop_front();
            queued.erase(job->key);
            job->running = true;
            running[job->key] = job;
            ++counts.started;
        }
        auto result = buildOne(store, *job);
        finish(job, std::move(result));
    }
}

Result<std::shared_ptr<const BuiltReply>>
UpdateReplies::Core::buildOne(std::unique_ptr<CatalogueStore> &store, Job &job)
{
    using R = Result<std::shared_ptr<const BuiltReply>>;
    if (!store) {
        auto opened = openStore();
        if (!opened)
            return opened.error();
        store = std::move(opened).value();
    }
    // The version first: a change between it and the lines makes the reply look older than it
    // is, never newer.
    auto change = store->latestChange();
    auto update = change ? store->latestUpdateDate() : change;
    if (!update) {
        store.reset(); // a lost connection: the next build opens a new one
        return update.error();
    }
    const CatalogueVersion version{change.value(), update.value()};
    reads(job, version);
    auto reply = std::make_shared<BuiltReply>();
    reply->deadOnly = job.key.first;
    reply->since = job.key.second;
    reply->version = version;
    auto lines = store->readReplyLines(reply->since, reply->deadOnly, &reply->settled, &job.stop);
    if (job.stop)
        return R::failure(u"nobody waits for the reply"_s);
    if (!lines) {
        store.reset();
        return lines.error();
    }
    // The dead-channel list hands out the date asked from, never one later than settled.
    reply->stored = reply->deadOnly ? std::min(reply->since, reply->settled) : reply->settled;
    reply->body = withCoveredDate(std::move(lines).value(), reply->stored);
    reply->body.squeeze(); // kept and shared: no room for growth it will never use
    if (reply->body.size() >= kGzipFrom)
        reply->gzipBody = gzipped(reply->body);
    return std::shared_ptr<const BuiltReply>(std::move(reply));
}

void UpdateReplies::Core::finish(const std::shared_ptr<Job> &job,
                                 Result<std::shared_ptr<const BuiltReply>> result)
{
    std::vector<std::function<void()>> wakes;
    {
        std::lock_guard l(lock);
        if (const auto it = running.find(job->key); it != running.end() && it->second == job)
            running.erase(it);
        if (result) {
            ++counts.built;
            keep(result.value());
        } else if (job->stop) {
            ++counts.cancelled;
        }
        for (const auto &w : job->waiters) {
            w->waiting = false;
            w->job.reset();
            if (result)
                w->reply = result.value();
            else
                w->error = result.error();
            if (w->wake)
                wakes.push_back(std::move(w->wake));
        }
        counts.waiting -= int(job->waiters.size());
        job->waiters.clear();
    }
    for (const auto &wake : wakes)
        wake();
}

} // namespace mavrel::server
