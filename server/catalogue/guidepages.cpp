#include "server/catalogue/guidepages.h"

#include "online/querytext.h"
#include "server/catalogue/rules.h"

#include <QDate>
#include <QDateTime>

#include <chrono>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace mavrel::server {

namespace {

void appendProgramme(QByteArray &out, const std::optional<Programme> &p)
{
    if (!p) {
        out.append("||");
        return;
    }
    out.append(guideTime(p->start));
    out.append('|');
    out.append(guideTime(p->stop));
    out.append('|');
    out.append(encodeGuideField(p->title.toUtf8()));
}

// Digits with an optional sign, nothing else: "+60", "-330", "0".
std::optional<int> offsetMinutes(const QByteArray &text)
{
    if (text.isEmpty() || text.size() > 6)
        return std::nullopt;
    qsizetype i = text.front() == '-' || text.front() == '+' ? 1 : 0;
    if (i == text.size())
        return std::nullopt;
    for (qsizetype j = i; j < text.size(); ++j) {
        if (text.at(j) < '0' || text.at(j) > '9')
            return std::nullopt;
    }
    const int minutes = text.toInt();
    if (minutes < -kMaxGuideOffsetMinutes || minutes > kMaxGuideOffsetMinutes)
        return std::nullopt;
    return minutes;
}

} // namespace

QByteArray encodeGuideField(QByteArrayView utf8)
{
    QByteArray out;
    out.reserve(utf8.size());
    for (const char c : utf8) {
        switch (c) {
        case '%':
            out.append("%25");
            break;
        case '|':
            out.append("%7C");
            break;
        case '\r':
            out.append("%0D");
            break;
        case '\n':
            out.append("%0A");
            break;
        default:
            out.append(c);
        }
    }
    return out;
}

QByteArray guideTime(qint64 secs)
{
    // A page of 10,000 channels writes 40,000 of these: no date-time object per call.
    using namespace std::chrono;
    const sys_days day = floor<days>(sys_seconds(seconds(secs)));
    const year_month_day date(day);
    const qint64 inDay = secs - qint64(day.time_since_epoch().count()) * 86400;
    char text[32];
    const int n = std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ",
                                int(date.year()), unsigned(date.month()), unsigned(date.day()),
                                int(inDay / 3600), int(inDay / 60 % 60), int(inDay % 60));
    return QByteArray(text, n);
}

QByteArray guideNowText(const QList<CatalogueStore::NowNext> &rows)
{
    QByteArray out;
    for (const CatalogueStore::NowNext &row : rows) {
        out.append(encodeGuideField(row.guideId));
        out.append('|');
        appendProgramme(out, row.now);
        out.append('|');
        appendProgramme(out, row.next);
        out.append('\n');
    }
    return out;
}

QByteArray guideDayText(const QList<Programme> &programmes)
{
    QByteArray out;
    for (const Programme &p : programmes) {
        out.append(guideTime(p.start));
        out.append('|');
        out.append(guideTime(p.stop));
        for (const QString *f : {&p.title, &p.subTitle, &p.category, &p.description}) {
            out.append('|');
            out.append(encodeGuideField(f->toUtf8()));
        }
        out.append('\n');
    }
    return out;
}

Result<GuideDay> parseGuideDay(QStringView rawQuery)
{
    auto query = parseQuery(rawQuery);
    if (!query)
        return query.error();
    const auto &items = query.value();
    GuideDay day;
    day.guideId = items.value(QByteArrayLiteral("id"));
    if (day.guideId.isEmpty() || day.guideId.size() > kMaxSpareBytes)
        return Result<GuideDay>::failure(u"no guide id"_s);
    const QByteArray dateText = items.value(QByteArrayLiteral("date"));
    const QDate date = QDate::fromString(QString::fromLatin1(dateText), u"yyyy-MM-dd"_s);
    if (dateText.size() != 10 || !date.isValid())
        return Result<GuideDay>::failure(u"no date YYYY-MM-DD"_s);
    int offset = 0;
    if (items.contains(QByteArrayLiteral("offset"))) {
        const auto minutes = offsetMinutes(items.value(QByteArrayLiteral("offset")));
        if (!minutes)
            return Result<GuideDay>::failure(u"bad offset"_s);
        offset = *minutes;
    }
    // Local midnight at `offset` minutes east of UTC is that many minutes before UTC midnight.
    day.from = QDateTime(date, QTime(0, 0), Qt::UTC).toSecsSinceEpoch() - offset * 60LL;
    day.to = day.from + 24 * 3600;
    return day;
}

} // namespace mavrel::server
