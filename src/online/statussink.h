#pragma once

#include <QObject>
#include <QString>

#include <functional>

namespace mavrel {

// Where a fetch shows its progress: called with "Downloaded N bytes." after every read but the
// first. The windows hand in a setter of their status box.
using StatusSink = std::function<void(const QString &text)>;

// "Downloaded 1000 bytes."
QString downloadedText(qint64 byteCount);

// A sink that keeps only the latest text and hands it to `apply` at the next turn of the event
// loop: a text box shows nothing new until it repaints anyway, and setting it for each block of
// a long body would cost far more than the transfer. Nothing is applied once `context` is gone.
StatusSink latestTextOnEachTurn(QObject *context, std::function<void(const QString &)> apply);

} // namespace mavrel
