#pragma once

#include "platform/result.h"

#include <QByteArrayView>
#include <QString>

namespace mavrel {

// True when `path` names an existing file (not a folder), also when only the letter case of its
// last component differs. False for names with "*" or "?" and on any error; never fails.
bool fileExists(const QString &path);

// Replaces the file at `path` with `bytes` atomically: afterwards it holds either the old
// content or the new, also after a crash or a full disk.
Result<void> writeFileAtomically(const QString &path, QByteArrayView bytes);

// The part after the last "/" (the whole text when there is none).
QString getFileName(const QString &path);

} // namespace mavrel
