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

// Undoes the viewer's three replacements in report names: [colon] [quest] [slash].
QByteArray unescapeItem(QByteArray item);

} // namespace mavrel::server
