#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QString>

#include <functional>

namespace mavrel {

// Writes into the application folder. A folder the user cannot write (an installed copy run
// with a bad MAVREL_APP_DIR, a full disk, ...) is reported to the user instead of being skipped.

// Replaces the file `path` with `bytes` atomically; a failure is reported and returned.
Result<void> writeFileReported(const QString &path, const QByteArray &bytes);

// The same for the file `name` in applicationFolder().
Result<void> writeApplicationFile(const QString &name, const QByteArray &bytes);

// Reports that `path` could not be written, once per path and run.
void reportApplicationFolderFailure(const QString &path, const QString &reason);

// Shows a report to the user; returns false when it could not (its window is gone), and the
// report waits for the next sink. Reports made while no sink is set wait too, and a new sink
// gets them all in one text.
using FailureSink = std::function<bool(const QString &text)>;
void setApplicationFolderFailureSink(FailureSink sink); // empty: reports wait

// Forgets what was reported and waits, for tests.
void resetApplicationFolderReports();

} // namespace mavrel
