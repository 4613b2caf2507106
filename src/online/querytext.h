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

using QueryItems = QList<std::pair<QByteArray, QByteArray>>;

// Who wrote the query.
enum class QuerySender
{
    // The viewer (buildQuery): the raw text must be plain printable ASCII, every "%" must start
    // a valid escape, and no value may hold a NUL byte. "+" is a plus sign, not a blank.
    Viewer,
    // A browser's form or a typed address (the video site): "+" is a blank, and a byte sent
    // unencoded (one Latin-1 character of the raw text) or a "%" that starts no escape is
    // taken as it is.
    Browser,
};

// The one reading of a query string, for the catalogue server, the video site and whatever
// checks what the viewer sent. Splits a raw query ("a=1&b=%E1") into keys and values decoded
// byte for byte, in their order.
Result<QueryItems> parseQueryItems(QStringView rawQuery, QuerySender sender = QuerySender::Viewer);

// The same as keys and values; when a key appears twice the first one counts.
Result<QHash<QByteArray, QByteArray>> parseQuery(QStringView rawQuery,
                                                 QuerySender sender = QuerySender::Viewer);

// The one writing of a query, for everything the viewer sends: "k=v&k2=v2", every byte of a key
// or value that is not an unreserved URL character percent-encoded (a blank as "%20", "+" as
// "%2B"), so parseQueryItems gives back exactly these items.
QByteArray buildQuery(const QueryItems &items);

} // namespace mavrel
