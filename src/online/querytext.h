#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QStringView>

#include <utility>

namespace mavrel {

// Longest raw query accepted; every page's own limits are far below it.
inline constexpr qsizetype kMaxRawQuery = 16 * 1024;

// The one reading of a query string, for the catalogue server and for whatever checks what the
// viewer sent. Splits a raw query ("a=1&b=%E1") into keys and values decoded byte for byte, in
// their order. The raw text must be plain printable ASCII (the viewer percent-encodes every other
// byte), every "%" must start a valid escape, and no value may hold a NUL byte. "+" is a plus
// sign, not a blank.
Result<QList<std::pair<QByteArray, QByteArray>>> parseQueryItems(QStringView rawQuery);

// The same as keys and values; when a key appears twice the first one counts.
Result<QHash<QByteArray, QByteArray>> parseQuery(QStringView rawQuery);

} // namespace mavrel
