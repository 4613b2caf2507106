#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QHash>
#include <QStringView>

namespace mavrel::server {

// Longest raw query accepted; every page's own limits are far below it.
inline constexpr qsizetype kMaxRawQuery = 16 * 1024;

// Splits a raw query ("a=1&b=%E1") into keys and values decoded byte for byte. The raw text must
// be plain printable ASCII (the viewer percent-encodes every other byte), every "%" must start a
// valid escape, and no value may hold a NUL byte. "+" is a plus sign, not a blank. When a key
// appears twice the first one counts.
Result<QHash<QByteArray, QByteArray>> parseQuery(QStringView rawQuery);

// What arrived as a query cannot be decoded exactly when the URL parser had to repair it: an
// invalid escape makes it take every "%" literally (all of them then read "%25"), and bytes that
// were not valid UTF-8 become replacement characters (EF BF BD). Such a query is refused. A query
// whose only escapes are "%25" is refused too; the viewer never sends one without other escapes.
bool isRepairedQuery(QStringView fullyEncodedQuery);

// Undoes the viewer's three replacements in report names: [colon] [quest] [slash].
QByteArray unescapeItem(QByteArray item);

} // namespace mavrel::server
