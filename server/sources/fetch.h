#pragma once

#include "platform/result.h"

#include <QString>
#include <QTemporaryFile>

#include <atomic>
#include <memory>

namespace mavrel::server {

struct FetchLimits
{
    qint64 maxBytes = 512LL * 1024 * 1024;
    int totalMs = 300000;
    int stallMs = 30000;
    int maxRedirects = 5;
    // Channels one source may list; later ones are skipped. What a sync holds grows with the
    // channels a source owns (a few hundred bytes each): this keeps it bounded.
    qint64 maxChannels = 300'000;
    const std::atomic<bool> *cancel = nullptr; // a fetch under way stops soon after it is set
};

bool isAddress(const QString &source);

// Downloads an http(s) address into a temporary file (removed with it), so that the source is
// never held in memory and its import starts only once all of it is here. A status other than
// 2xx, the limits and a cancel fail it.
Result<std::unique_ptr<QTemporaryFile>> fetchToFile(const QString &address,
                                                    const FetchLimits &limits);

} // namespace mavrel::server
