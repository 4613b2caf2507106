#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace mavrel {

// The progress of fetchPageWithStatus: the length read so far, after every read but the first
// (the final empty read included). Turn it into the status text with one of the adapters below.
using ProgressSink = std::function<void(qint64 length)>;

// "Downloaded 1000 bytes."
QString downloadedText(qint64 length);

// Sets the status text at every call: exactly the sequence of texts the fetch produces.
ProgressSink statusText(std::function<void(const QString &)> setText);

// Sets the status text once per turn of the event loop, to the latest length: a text box shows
// nothing new until it repaints anyway, and setting it for each block of a long body would cost
// far more than the transfer. Nothing is set once `box` is gone.
ProgressSink statusTextOnEachTurn(QObject *box, std::function<void(const QString &)> setText);

} // namespace mavrel
