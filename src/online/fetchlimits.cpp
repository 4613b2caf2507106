#include "online/fetchlimits.h"

namespace mavrel {

namespace {

constexpr qint64 kKiB = 1024;
constexpr qint64 kMiB = 1024 * kKiB;
constexpr int kConnectMs = 15'000;

} // namespace

FetchLimits fetchLimits(FetchUse use)
{
    switch (use) {
    case FetchUse::ChannelCheck:
        // An error page is small; an endless stream must not keep the user waiting.
        return {256 * kKiB, 10'000, 5'000, kConnectMs};
    case FetchUse::ListingPage:
        return {8 * kMiB, 60'000, 20'000, kConnectMs};
    case FetchUse::FinderPage:
        return {4 * kMiB, 30'000, 15'000, kConnectMs};
    case FetchUse::ServerPage:
        return {32 * kMiB, 180'000, 30'000, kConnectMs};
    case FetchUse::UpdateReply:
        // A full update of a million channels is about 100 MB and must arrive whole; a slow
        // line may need many minutes for it, a stalled one is given up after a minute.
        return {512 * kMiB, 1'800'000, 60'000, kConnectMs};
    case FetchUse::Report:
        return {64 * kKiB, 15'000, 10'000, kConnectMs};
    }
    return {kMiB, 30'000, 15'000, kConnectMs};
}

} // namespace mavrel
