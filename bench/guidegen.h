#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QString>

namespace mavrel::bench {

// The shape of a generated XMLTV guide: `channels` channels with programmes back to back for
// `days` days from `firstStart` (UTC seconds), about 500 bytes a programme.
struct GuideShape
{
    int channels = 2000;
    int days = 7;
    qint64 firstStart = 1796860800; // 2026-12-10T00:00:00Z
};

// The guide id of generated channel `i`, as a catalogue line's spare1 would carry it.
QByteArray generatedGuideId(int i);

// Writes the guide to `path` a channel at a time; the number of programmes written.
Result<qint64> writeGeneratedGuide(const QString &path, const GuideShape &shape = {});

} // namespace mavrel::bench
