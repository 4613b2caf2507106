#pragma once

#include <QString>

#include <functional>

namespace mavrel {

// The progress of fetchPageWithStatus: the length read so far, after every read but the first.
// Every read but the last adds bytes; the last call repeats the final length (the final empty
// read, or the close of a fetch cut short by a limit). Turn it into the status text with one of
// the adapters below.
using ProgressSink = std::function<void(qint64 length)>;

// "Downloaded 1000 bytes."
QString downloadedText(qint64 length);

// Sets the status text at every call: exactly the sequence of texts the fetch produces.
ProgressSink statusText(std::function<void(const QString &)> setText);

// Sets the status text at most once per `minIntervalMs`, and always at the end (the repeated
// length), so the box shows the full length as soon as the fetch returns. Setting a text box
// for each block of a long body would cost far more than the transfer, and the box shows
// nothing new until it repaints anyway.
ProgressSink statusTextThrottled(std::function<void(const QString &)> setText,
                                 int minIntervalMs = 15);

} // namespace mavrel
