#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QIODevice;

namespace mavrel::server {

// One programme of a channel's guide. Times are UTC seconds since the epoch.
struct Programme
{
    QByteArray guideId; // the <programme channel="..."> attribute: a catalogue line's spare1
    qint64 start = 0;
    qint64 stop = 0; // 0: the guide gave none (the next programme's start ends it)
    QString title;
    QString subTitle;
    QString description;
    QString category;
    friend bool operator==(const Programme &, const Programme &) = default;
};

// What reading a guide kept and skipped.
struct GuideCounts
{
    qint64 programmes = 0;     // handed to the sink
    qint64 outOfWindow = 0;    // before the window's start or after its end
    qint64 unknownChannel = 0; // for a guide id the catalogue has not
    qint64 bad = 0;            // unreadable times, missing channel, oversized fields
};

// Which programmes a guide read keeps: those overlapping [from, to), of the channels `wanted`
// accepts (every channel when it is empty).
struct GuideFilter
{
    qint64 from = 0;
    qint64 to = 0;
    std::function<bool(const QByteArray &guideId)> wanted;
};

using ProgrammeSink = std::function<Result<void>(Programme &&)>;

// Reads an XMLTV document (<tv>, <channel id>, <programme start stop channel> with <title>,
// <sub-title>, <desc>, <category>; times "YYYYMMDDhhmmss +zzzz", zone optional) from `in` as a
// stream, plain or gzip (told by its first bytes, not by a name), handing each kept programme
// to `sink` as soon as it is read. An error (malformed XML, a truncated gzip stream, a sink
// error) fails the whole read: the caller keeps the channels' old programmes.
Result<GuideCounts> readXmltv(QIODevice &in, const GuideFilter &filter, const ProgrammeSink &sink);

// "20261210200000 +0100" and the like; an error for anything else.
Result<qint64> parseXmltvTime(QByteArrayView text);

} // namespace mavrel::server
