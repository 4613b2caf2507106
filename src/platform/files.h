#pragma once

#include <QString>

namespace mavrel {

// True when `path` names an existing file (not a folder), also when only the letter case of its
// last component differs. False for names with "*" or "?" and on any error; never fails.
bool fileExists(const QString &path);

// The part after the last "/" (the whole text when there is none).
QString getFileName(const QString &path);

} // namespace mavrel
