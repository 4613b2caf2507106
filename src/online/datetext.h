#pragma once

#include "platform/result.h"

#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>

namespace mavrel {

// The date texts the catalogue server and date.dat use: US general form, "5/21/2009 3:04:05 PM",
// and the date alone when the time is exactly midnight, "3/16/2006". Second resolution.
//
// The calendar fields of the given date-time are written as they are; the server and the viewer
// both mean UTC.
QString formatDateText(const QDateTime &when);

// Reads both forms (AM/PM in any letter case, blanks around tolerated). The result is in UTC.
// Anything else, an impossible date included, fails.
Result<QDateTime> parseDateText(QStringView text);
Result<QDateTime> parseDateText(QByteArrayView text);

// The update date of a viewer that has never updated.
QDateTime initialUpdateDate();

} // namespace mavrel
