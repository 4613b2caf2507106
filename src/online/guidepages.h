#pragma once

#include "platform/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QDate>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QTimeZone>

namespace mavrel {

// One programme of the catalogue server's guide pages; a programme that is absent has no
// valid start.
struct GuideProgramme
{
    QDateTime start; // UTC
    QDateTime stop;  // UTC
    QString title;
    QString subTitle;
    QString category;
    QString description;

    bool isNull() const { return !start.isValid(); }
    // A programme whose end is not known (stop = start) is never on now, only ahead.
    bool endKnown() const { return stop > start; }
    bool runsAt(const QDateTime &at) const { return !isNull() && start <= at && at < stop; }
    friend bool operator==(const GuideProgramme &, const GuideProgramme &) = default;
};

// A line of /guide/now.txt.
struct NowAndNext
{
    QByteArray guideId;
    GuideProgramme now;
    GuideProgramme next;
    friend bool operator==(const NowAndNext &, const NowAndNext &) = default;
};

// A text field of the guide pages: %25, %7C, %0D and %0A back to their bytes, nothing else.
QString decodeGuideField(QByteArrayView field);
// "2026-12-10T20:00:00Z"; the empty field of an absent programme is an error too.
Result<QDateTime> parseGuideTime(QByteArrayView field);

// "id|start|stop|title|next start|next stop|next title".
Result<NowAndNext> parseNowLine(QByteArrayView line);
// "start|stop|title|sub-title|category|description".
Result<GuideProgramme> parseDayLine(QByteArrayView line);
// Whole pages: a line that does not read is left out, so one bad programme costs only itself.
QList<NowAndNext> parseNowPage(QByteArrayView page);
QList<GuideProgramme> parseDayPage(QByteArrayView page);

// "/guide/day.txt?id=…&date=YYYY-MM-DD&offset=…", offset in minutes east of UTC.
QByteArray dayPagePath(const QByteArray &guideId, QDate date, int offsetMinutes);

// "20:00–21:00 World News" in the given zone.
QString programmeLine(const GuideProgramme &programme, const QTimeZone &zone);

// The latest now.txt, asked what runs at a given time.
class GuideNowTable
{
public:
    void setLines(const QList<NowAndNext> &lines);
    bool isEmpty() const { return m_lines.isEmpty(); }
    bool contains(const QByteArray &guideId) const { return m_lines.contains(guideId); }

    struct OnAt
    {
        GuideProgramme on;        // null when nothing runs
        GuideProgramme following; // null when the page does not tell
    };
    // The page's "now" may have ended since it was fetched: then its "next" is on.
    OnAt at(const QByteArray &guideId, const QDateTime &when) const;
    // The first start or stop after `when`: the moment some channel's programme changes;
    // invalid when the page holds none.
    QDateTime nextChange(const QDateTime &when) const;

private:
    QHash<QByteArray, NowAndNext> m_lines;
};

} // namespace mavrel
