#pragma once

#include <QtGlobal>

namespace mavrel {

// What a fetch is for; each use has its own limits (see fetchLimits()).
enum class FetchUse
{
    ChannelCheck, // a stream address, fetched only to look for an error page
    ListingPage,  // a video-site listing or search page
    FinderPage,   // a page read by the stream finder or the spider
    ServerPage,   // dates, submissions, the localisation download
    UpdateReply,  // the update lines of a catalogue update: up to the whole catalogue
    Report,       // a report whose reply nobody reads
};

// Every fetch ends by itself: after maxBytes, after totalMs, after idleMs without a new byte,
// or when no reply headers came within connectMs. The viewer's fetches then return what they
// read; the server's fetch of a source fails.
struct FetchLimits
{
    qint64 maxBytes = 0;
    int totalMs = 0;
    int idleMs = 0;
    int connectMs = 0;
    int maxRedirects = 20;
};

// The viewer's limits for each use.
FetchLimits fetchLimits(FetchUse use);

// The catalogue server's fetch of a public directory: one large file that must arrive whole,
// given up after half a minute without a byte.
inline constexpr FetchLimits kSourceFetchLimits{512LL * 1024 * 1024, 300'000, 30'000, 30'000, 5};

} // namespace mavrel
