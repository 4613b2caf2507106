#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace mavrel {

// Report kinds the catalogue server counts.
inline constexpr char kReportFavorite[] = "FAVORITE";
inline constexpr char kReportRate[] = "Rate";
inline constexpr char kReportOnline[] = "ONLINE";
inline constexpr char kReportOffline[] = "OFFLINE";

// The request header that carries a staff member's token beside a report's "admin=true" (the
// first line of the viewer's admin.txt); the server counts the flag only with a valid token.
inline constexpr char kStaffHeader[] = "X-Mavrel-Staff";

// The server reads ":", "?" and "/" in a channel name through these stand-ins.
QByteArray escapeReportItem(QByteArrayView item);

// The full address of one report: the server address, "/tv/getData.asp?strType=..&strValue=..
// &strItem=.." and, for staff, "&admin=true". Each value travels percent-encoded byte for byte.
QByteArray buildReportAddress(QByteArrayView serverAddress, QByteArrayView strItem,
                              QByteArrayView strType, QByteArrayView strValue, bool staffMode);

} // namespace mavrel
