#pragma once

#include <QSettings>
#include <QString>

namespace mavrel::detail {

// The spelling under which "<groupPath>/<key>" is stored in `settings` (at its top level),
// matching letter case loosely as the registry does, an exact spelling first; the given
// spelling where nothing matches. Keeps a value from being stored twice as "Dir" and "DIR".
QString storedKey(QSettings &settings, const QString &groupPath, const QString &key);

} // namespace mavrel::detail
