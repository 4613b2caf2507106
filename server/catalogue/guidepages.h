#pragma once

// The programme guide's plain-text pages, now.txt and day.txt: their lines and their query.
// Both sides read them field by field, so a field never holds the separator or a line break.

#include "platform/result.h"
#include "server/store/cataloguestore.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

namespace mavrel::server {

inline constexpr char kGuideNowPath[] = "/guide/now.txt";
inline constexpr char kGuideDayPath[] = "/guide/day.txt";
// How far east or west of UTC a day.txt offset may place the day, in minutes.
inline constexpr int kMaxGuideOffsetMinutes = 14 * 60;

// '%', '|', CR and LF as %25, %7C, %0D, %0A; every other byte as it is.
QByteArray encodeGuideField(QByteArrayView utf8);
// "2026-12-10T20:00:00Z".
QByteArray guideTime(qint64 secs);

// id|start|stop|title|next start|next stop|next title, one line each, in the order given.
QByteArray guideNowText(const QList<CatalogueStore::NowNext> &rows);
// start|stop|title|sub-title|category|description, one line each.
QByteArray guideDayText(const QList<Programme> &programmes);

// What day.txt asks for: a guide id and the local day as [from, to) in UTC seconds.
struct GuideDay
{
    QByteArray guideId;
    qint64 from = 0;
    qint64 to = 0;
};
// From "id=X&date=YYYY-MM-DD[&offset=MINUTES]"; an error when any of it is missing or malformed.
Result<GuideDay> parseGuideDay(QStringView rawQuery);

} // namespace mavrel::server
