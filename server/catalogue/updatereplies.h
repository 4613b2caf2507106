#pragma once

#include "platform/result.h"
#include "server/catalogue/cataloguepages.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>

namespace mavrel::server {

// The catalogue as the update pages see it: every change moves one of the two dates, unless it
// falls in the second of the latest change (a reply read then is not kept for later requests).
struct CatalogueVersion
{
    qint64 latestChange = 0;
    qint64 latestUpdate = 0; // latest change or dead mark

    // Read from this catalogue or a later one.
    bool covers(const CatalogueVersion &seen) const
    {
        return latestChange >= seen.latestChange && latestUpdate >= seen.latestUpdate;
    }
};

// One update page's reply, built once and sent as it is to everyone who asks the same.
struct BuiltReply
{
    bool deadOnly = false;
    qint64 since = 0;
    CatalogueVersion version;
    qint64 settled = 0; // every change up to it is in the reply
    qint64 stored = 0;  // its COVERED date: what the viewer stores
    QByteArray body;
    QByteArray gzipBody; // empty when the body is too small to gain
};

struct UpdateReplyLimits
{
    // Threads that build replies, each on a database connection of its own.
    int builders = 2;
    // Requests waiting for a build at once; more are told to come back later (503).
    int maxWaiting = 256;
    // Bytes of replies kept for later requests; the least recently asked go first.
    qint64 maxCachedBytes = 64 * 1024 * 1024;
};

// The update pages' replies for the whole front: built off the front's workers by a few threads
// of their own, once per catalogue version and date asked (requests asking the same meanwhile
// share the build), kept while the catalogue stays as it was, and compressed once.
class UpdateReplies
{
public:
    using StoreFactory = std::function<Result<std::unique_ptr<CatalogueStore>>()>;
    // openStore runs on each builder thread before its first build.
    explicit UpdateReplies(StoreFactory openStore, UpdateReplyLimits limits = {});
    ~UpdateReplies();
    UpdateReplies(const UpdateReplies &) = delete;
    UpdateReplies &operator=(const UpdateReplies &) = delete;

    // A kept reply read from the catalogue `seen` or a later one.
    std::shared_ptr<const BuiltReply> cached(bool deadOnly, qint64 since,
                                             const CatalogueVersion &seen);
    // A request's wait for a reply read from `seen` or later: it joins the build queued for the
    // same date, or the one under way when that reads a catalogue as recent, else queues one.
    // Nothing when maxWaiting requests wait already.
    std::shared_ptr<PendingReply> wait(bool deadOnly, qint64 since, const CatalogueVersion &seen,
                                       const QString &client);

    // As many requests wait as may: whatever the catalogue, the next one is told to come back.
    bool full() const;

    struct Counts
    {
        qint64 started = 0;   // builds begun
        qint64 built = 0;     // builds finished
        qint64 cancelled = 0; // builds stopped or dropped because nobody waits any more
        int waiting = 0;
        qint64 cachedBytes = 0;
    };
    Counts counts() const;

    struct Core;

private:
    std::shared_ptr<Core> d;
};

} // namespace mavrel::server
