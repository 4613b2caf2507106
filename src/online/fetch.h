#pragma once

#include "online/fetchlimits.h"
#include "online/statussink.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QObject>
#include <QUrl>

#include <functional>
#include <optional>

namespace mavrel {

// Blocking HTTP GETs for the user-interface thread. Only http and https addresses are fetched;
// any other (a local file, data:, mms:, none) fails at once. A server that answers with an
// "ICY <status>" line instead of HTTP's (old radio servers) is read like an HTTP one, over a
// second plain connection, within the same limits.
//
// The body is read in blocks of 256 bytes; the event loop runs while they wait for data and
// between blocks (at least every few milliseconds while data keeps coming), so windows repaint
// and further commands (even other fetches, which then run to their end first) can start
// meanwhile.
//
// A window fetches like this, so that closing it mid-fetch is safe:
//     FetchOptions options{FetchUse::ListingPage, this};
//     const FetchResult r = fetchPageWithStatus(
//         address, statusTextThrottled([box = txtStatus](const QString &t) { box->setText(t); }),
//         options);
//     if (r.ownerGone)
//         return; // the window is gone

enum class FetchEnd
{
    Complete,     // the server ended the body (whatever its status)
    Failed,       // no reply at all, not an http(s) address, or the transfer broke (the body
                  // holds what came)
    SizeLimit,    // the byte cap was reached
    TimeLimit,    // the total time ran out
    IdleLimit,    // no byte arrived for too long
    ConnectLimit, // no reply headers in time
    Aborted,      // the owner went away, the application is quitting, or abortAllFetches()
};

struct FetchOptions
{
    FetchUse use = FetchUse::ServerPage;
    // When the owner (typically the window that started the fetch) is destroyed, the fetch is
    // aborted, progress is no longer reported, and the result says so.
    QObject *owner = nullptr;
    // Replaces the limits of `use` (measurements, tests).
    std::optional<FetchLimits> limits;
    // Given the body received so far wherever progress is reported, for a caller that counts
    // what has arrived rather than bytes.
    std::function<void(QByteArrayView received)> received = {};
    // Sent with the request, as given.
    QList<std::pair<QByteArray, QByteArray>> headers = {};
};

struct FetchResult
{
    // Exactly the bytes received, in order; empty when nothing could be fetched.
    QByteArray body;
    FetchEnd end = FetchEnd::Failed;
    int httpStatus = 0;
    // The reply's Content-Type header as sent ("audio/mpeg", "text/html; charset=utf-8");
    // empty when the server sent none.
    QByteArray contentType;
    // True when the owner was destroyed during the fetch: the caller must return at once
    // without touching it.
    bool ownerGone = false;
};

// GET with caches bypassed.
FetchResult fetchPage(const QByteArray &address, const FetchOptions &options = {});
FetchResult fetchPage(const QUrl &url, const FetchOptions &options = {});

// The same, and the length read so far goes to `progress` after every read but the first
// (the final empty read included), so the last one is the full length.
FetchResult fetchPageWithStatus(const QByteArray &address, const ProgressSink &progress,
                                const FetchOptions &options = {});
FetchResult fetchPageWithStatus(const QUrl &url, const ProgressSink &progress,
                                const FetchOptions &options = {});

// The page read of the stream finder and the spider: "http://" goes in front of an address that
// holds no "http://" anywhere (any letter case) and no scheme of its own, and the caller's
// address changes with it. The platform's cache may answer.
FetchResult getPage(QByteArray &address, const FetchOptions &options = {});

// Aborts every fetch under way on the calling thread; each returns FetchEnd::Aborted with what
// it had read.
// Fetches also abort by themselves when the application quits.
void abortAllFetches();

// How many fetches are under way on the calling thread (nested ones included).
int activeFetchCount();

} // namespace mavrel
