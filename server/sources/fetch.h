#pragma once

#include "online/fetchlimits.h"
#include "platform/result.h"

#include <QString>
#include <QTemporaryFile>

#include <atomic>
#include <memory>

namespace mavrel::server {

// What one import or sync of a source may take.
struct SourceLimits
{
    FetchLimits fetch = kSourceFetchLimits;
    // Channels one source may list; later ones are skipped. What a sync holds grows with the
    // channels a source owns (a few hundred bytes each): this keeps it bounded.
    qint64 maxChannels = 300'000;
    const std::atomic<bool> *cancel = nullptr; // a fetch under way stops soon after it is set
};

bool isAddress(const QString &source);

// Downloads an http(s) address into a temporary file (removed with it), so that the source is
// never held in memory and its import starts only once all of it is here. A status other than
// 2xx, the limits and a cancel fail it. Headers that do not come within the idle limit fail it
// as a stall does.
Result<std::unique_ptr<QTemporaryFile>> fetchToFile(const QString &address,
                                                    const FetchLimits &limits,
                                                    const std::atomic<bool> *cancel = nullptr);

} // namespace mavrel::server
